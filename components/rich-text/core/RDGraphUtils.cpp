#include "core/RDGraphUtils.h"

#include <algorithm>
#include <cmath>

#include <QtGui/QFontMetricsF>
#include <QtGui/QPaintDevice>
#include <QtGui/QRawFont>
#include <QtGui/QPainter>

int PixelsPerInchOverride = 0;
bool HalftoneBitmapPrinting = false;

namespace {

constexpr int ScreenPpi = 96;  // the resolution the platform's fonts assume

}  // namespace

namespace {
int16_t BigEndian16(const QByteArray& table, int offset)
{
    if (offset + 2 > table.size())
        return 0;
    return static_cast<int16_t>((static_cast<unsigned char>(table.at(offset)) << 8)
                                | static_cast<unsigned char>(table.at(offset + 1)));
}
}  // namespace

std::optional<TRDOutlineTextMetrics> AllocOutlineTextMetrics(const QFont& font, const QPaintDevice* device)
{
    const QRawFont raw = QRawFont::fromFont(font);
    if (!raw.isValid())
        return std::nullopt;
    const QByteArray os2 = raw.fontTable("OS/2");
    // The fields used below end at byte 78 (usWinDescent).
    if (os2.size() < 78)
        return std::nullopt;
    const QFontMetricsF metrics = device ? QFontMetricsF(font, device) : QFontMetricsF(font);
    const double units = raw.unitsPerEm() > 0 ? raw.unitsPerEm() : 2048.0;
    // Design units to device pixels: the raw font is at the screen's size,
    // the metrics at the device's.
    const double rawHeight = raw.ascent() + raw.descent();
    const double deviceScale = rawHeight > 0 ? (metrics.ascent() + metrics.descent()) / rawHeight : 1.0;
    const double scale = raw.pixelSize() / units * deviceScale;
    auto design = [&](int16_t value) { return static_cast<int>(std::lround(value * scale)); };
    TRDOutlineTextMetrics m;
    m.Ascent = static_cast<int>(std::lround(metrics.ascent()));
    m.Descent = static_cast<int>(std::lround(metrics.descent()));
    m.LineGap = static_cast<int>(std::lround(metrics.leading()));
    m.EmSquare = static_cast<int>(units);
    m.AvgCharWidth = design(BigEndian16(os2, 2));
    m.Weight = static_cast<uint16_t>(BigEndian16(os2, 4));
    m.StrikeoutSize = std::max(1, design(BigEndian16(os2, 26)));
    m.StrikeoutPosition = design(BigEndian16(os2, 28));
    m.UnderscoreSize = std::max(1, static_cast<int>(std::lround(metrics.lineWidth())));
    m.UnderscorePosition = -static_cast<int>(std::lround(metrics.underlinePos()));
    return m;
}

std::unique_ptr<TGraphic> DefaultCreateGraphic(const QString& className)
{
    return CreateGraphicByName(className);
}

void DefaultAfterImportGraphic(TGraphic&) {}

TCreateGraphicHook CreateGraphicHook = DefaultCreateGraphic;
TAfterImportGraphicHook AfterImportGraphicHook = DefaultAfterImportGraphic;

bool GraphicMayBeTransparent(const TGraphic& graphic)
{
    if (dynamic_cast<const TBitmapGraphic*>(&graphic))
        return graphic.Transparent();
    return dynamic_cast<const TJPEGImage*>(&graphic) == nullptr;
}

void DrawGraphicScaled(QPainter& painter, int x, int y, int width, int height, const TRDResolutionInfo* info,
                       const TGraphic& graphic, bool useStretchDraw)
{
    if (width < 0)
        width = graphic.Width();
    if (height < 0)
        height = graphic.Height();
    if (info) {
        width = ScaleToDeviceX(width, info);
        height = ScaleToDeviceY(height, info);
    }
    if (!useStretchDraw && !dynamic_cast<const TBitmapGraphic*>(&graphic))
        return;
    if (!useStretchDraw) {
        // Device-independent path: the bitmap's pixels as they are, no transparency.
        painter.drawImage(QRect(x, y, width & 0xFFFF, height & 0xFFFF), graphic.Image());
        return;
    }
    graphic.Draw(painter, QRect(x, y, width, height));
}

void FillResolutionInfo(TRDResolutionInfo& info, const QPaintDevice& device)
{
    info.DevicePpiX = device.logicalDpiX();
    info.DevicePpiY = device.logicalDpiY();
    info.ScreenPpiX = ScreenPpi;
    info.ScreenPpiY = GetScreenPixelsPerInch();
}

int ScaleToDeviceX(int n, const TRDResolutionInfo* info)
{
    return info ? MulDiv(n, info->DevicePpiX, info->ScreenPpiX) : n;
}

int ScaleToDeviceY(int n, const TRDResolutionInfo* info)
{
    return info ? MulDiv(n, info->DevicePpiY, info->ScreenPpiY) : n;
}

int ScaleToScreenX(int n, const TRDResolutionInfo* info)
{
    return info ? MulDiv(n, info->ScreenPpiX, info->DevicePpiX) : n;
}

int ScaleToScreenY(int n, const TRDResolutionInfo* info)
{
    return info ? MulDiv(n, info->ScreenPpiY, info->DevicePpiY) : n;
}

void ScaleRectToScreen(QRect& r, const TRDResolutionInfo* info)
{
    const int left = ScaleToScreenX(r.left(), info);
    const int right = ScaleToScreenX(r.left() + r.width(), info);
    const int top = ScaleToScreenY(r.top(), info);
    const int bottom = ScaleToScreenY(r.top() + r.height(), info);
    r = QRect(left, top, right - left, bottom - top);
}

int GetScreenPixelsPerInch()
{
    return PixelsPerInchOverride > 0 ? PixelsPerInchOverride : ScreenPpi;
}

bool PointInBounds(int x, int y, int left, int top, int width, int height)
{
    return x >= left && x < left + width && y >= top && y < top + height;
}

int ColorLuminance(TColor color)
{
    const TColor rgb = ColorToRGB(color);
    const int r = rgb & 0xFF;
    const int g = (rgb >> 8) & 0xFF;
    const int b = (rgb >> 16) & 0xFF;
    return RoundHalfEven(0.30 * r + 0.59 * g + 0.11 * b);
}

TColor ColorToGray(TColor color)
{
    if (color == clNone)
        return clNone;
    const TColor l = static_cast<TColor>(std::min(ColorLuminance(color), 255));
    return l | (l << 8) | (l << 16);
}

TColor ResolveSystemColor(TColor color)
{
    switch (color) {
    case clScrollBar:
    case clBtnFace: return 0xC0C0C0;
    case clWindow:
    case clBtnHighlight: return 0xFFFFFF;
    case clWindowText: return 0x000000;
    case clBtnShadow: return 0x808080;
    default: return color;
    }
}

TColor ColorByColorMode(TColor color, int mode)
{
    if (color == clNone || mode <= 0)
        return color;
    const TColor resolved = ResolveSystemColor(color);
    if (mode == 1)
        return resolved;
    if (mode == 2)
        return ColorToGray(resolved);
    return ColorToRGB(resolved) == 0xFFFFFF ? 0xFFFFFF : 0x000000;
}

TColor BackColorByColorMode(TColor color, int mode)
{
    if (color == clNone)
        return clNone;
    if (mode >= 3)
        return 0xFFFFFF;
    return ColorByColorMode(color, mode);
}

void DrawStyledHLine(QPainter& painter, TColor color, int lineStyle, int width, int left, int right, int y,
                     int patternBase)
{
    const QColor c = ToQColor(color);
    const int w = width;
    const int top = y - w / 2;
    const int height = w;
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(c);
    auto fill = [&](int x, int length) {
        const int r = std::min(x + length, right);
        if (r > x)
            painter.fillRect(QRect(x, top, r - x, height), c);
    };
    const double fontPpi = painter.device() ? painter.device()->logicalDpiY() : ScreenPpi;
    const int p = RoundHalfEven(patternBase * fontPpi / 96.0);
    auto part = [p](double factor) { return RoundHalfEven(p * factor); };
    switch (lineStyle) {
    case 0:
        if (w == 1) {
            painter.setPen(QPen(c, 1));
            painter.drawLine(left, y, right, y);
        } else {
            fill(left, right - left);
        }
        break;
    case 1:
        for (int x = left; x + w < right; x += 2 * w) {
            if (w > 2) {
                painter.setRenderHint(QPainter::Antialiasing, false);
                painter.drawEllipse(QRect(x, top, w + 1, w + 1));
            } else {
                fill(x, w);
            }
        }
        break;
    case 2:
    case 3: {
        const int period = patternBase != 0 ? p : (lineStyle == 2 ? 2 * w : 3 * w);
        const int dash = patternBase != 0 ? (lineStyle == 2 ? part(0.5) : part(2.0 / 3)) : (lineStyle == 2 ? w : 2 * w);
        if (period <= 0)
            break;
        for (int x = left; x < right; x += period)
            fill(x, dash);
        break;
    }
    case 4:
    case 5: {
        int dash, afterDash, dot, afterDot;
        const int dots = lineStyle == 4 ? 1 : 2;
        if (patternBase == 0) {
            dash = 2 * w; afterDash = 3 * w; dot = w; afterDot = 2 * w;
        } else if (lineStyle == 4) {
            dash = part(4.0 / 7); afterDash = part(5.0 / 7); dot = part(1.0 / 7); afterDot = part(2.0 / 7);
        } else {
            dash = part(3.0 / 8); afterDash = part(0.5); dot = part(1.0 / 8); afterDot = part(0.25);
        }
        if (afterDash + afterDot <= 0)
            break;
        int x = left;
        while (x < right) {
            fill(x, dash);
            x += afterDash;
            for (int i = 0; i < dots && x < right; ++i) {
                fill(x, dot);
                x += afterDot;
            }
            if (afterDash <= 0 && afterDot <= 0)
                break;
        }
        break;
    }
    default: break;
    }
    painter.restore();
}
