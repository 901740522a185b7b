#include "Graphics.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QPalette>

#include <QtCore/QHash>
#include <QtCore/QStringList>
#include <QtGui/QFontDatabase>
#include <QtGui/QFontMetrics>
#include <QtGui/QPainter>

#include <cmath>
#include <cstdint>
#include <cstdlib>

TColor ColorToRGB(TColor color)
{
    if (!IsSystemColor(color))
        return color;
    const QPalette palette = QGuiApplication::palette();
    QPalette::ColorRole role = QPalette::Window;
    switch (color & 0xFF) {
    case 0: role = QPalette::Button; break;               // scroll bar
    case 1: case 12: role = QPalette::Dark; break;       // desktop, application work space
    case 2: case 13: case 29: role = QPalette::Highlight; break;
    case 3: case 15: case 4: case 30: role = QPalette::Button; break;
    case 5: role = QPalette::Base; break;
    case 6: case 21: role = QPalette::Shadow; break;
    case 7: case 8: role = QPalette::Text; break;
    case 9: case 14: role = QPalette::HighlightedText; break;
    case 10: case 11: case 22: role = QPalette::Midlight; break;
    case 16: role = QPalette::Mid; break;
    case 17: return FromQColor(palette.color(QPalette::Disabled, QPalette::Text));
    case 18: case 19: role = QPalette::ButtonText; break;
    case 20: role = QPalette::Light; break;
    case 23: role = QPalette::ToolTipText; break;
    case 24: role = QPalette::ToolTipBase; break;
    case 26: role = QPalette::Link; break;
    default: role = QPalette::Window; break;
    }
    return FromQColor(palette.color(QPalette::Active, role));
}

QColor ToQColor(TColor color)
{
    color = ColorToRGB(color);
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

TColor FromQColor(const QColor& color)
{
    return static_cast<TColor>(color.red()) | (static_cast<TColor>(color.green()) << 8) |
           (static_cast<TColor>(color.blue()) << 16);
}

int RoundHalfEven(double value)
{
    return static_cast<int>(std::nearbyint(value));  // default rounding mode: to nearest, ties to even
}

int MulDiv(int n, int numerator, int denominator)
{
    if (denominator == 0)
        return -1;
    const std::int64_t product = static_cast<std::int64_t>(n) * numerator;
    std::int64_t quotient = product / denominator;
    const std::int64_t remainder = product % denominator;
    if (2 * std::abs(remainder) >= std::abs(static_cast<std::int64_t>(denominator)))
        quotient += ((product < 0) != (denominator < 0)) ? -1 : 1;
    return static_cast<int>(quotient);
}

QString MapFontName(const QString& layoutName)
{
    static const QHash<QString, QStringList> map = {
        {QStringLiteral("宋体"), {QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")}},
        {QStringLiteral("新宋体"), {QStringLiteral("WenQuanYi Micro Hei Mono"), QStringLiteral("WenQuanYi Micro Hei")}},
        {QStringLiteral("黑体"), {QStringLiteral("WenQuanYi Micro Hei")}},
        {QStringLiteral("楷体_gb2312"),
         {QStringLiteral("AR PL UKai CN"), QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")}},
        {QStringLiteral("微软雅黑"), {QStringLiteral("WenQuanYi Micro Hei")}},
        {QStringLiteral("arial"), {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")}},
        {QStringLiteral("tahoma"), {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")}},
        {QStringLiteral("verdana"), {QStringLiteral("DejaVu Sans")}},
        {QStringLiteral("ms sans serif"), {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")}},
        {QStringLiteral("times new roman"), {QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif")}},
        {QStringLiteral("courier new"), {QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")}},
    };
    // Layouts write the names in any case ("ARIAL"): the keys are lower case.
    const QString key = layoutName.toLower();
    const auto it = map.constFind(key);
    if (it == map.constEnd())
        return layoutName;
    // Painting asks on every text: look the installed families up once per name.
    static QHash<QString, QString> resolved;
    const auto known = resolved.constFind(key);
    if (known != resolved.constEnd())
        return *known;
    QString family = it->first();
    const QStringList installed = QFontDatabase::families();
    for (const QString& candidate : *it)
        if (installed.contains(candidate)) {
            family = candidate;
            break;
        }
    resolved.insert(key, family);
    return family;
}

int TFont::Height() const
{
    return -RoundHalfEven(Size * 96.0 / 72.0);
}

void TFont::SetHeight(int height)
{
    Size = RoundHalfEven(std::abs(height) * 72.0 / 96.0);
}

QFont TFont::ToQFont() const
{
    QFont font(MapFontName(Name));
    font.setPixelSize(std::max(1, -Height()));
    font.setBold(Bold);
    font.setItalic(Italic);
    font.setUnderline(Underline);
    font.setStrikeOut(StrikeOut);
    return font;
}

EResNotFound::EResNotFound(const QString& name)
    : std::runtime_error(QStringLiteral("Resource %1 not found").arg(name).toStdString())
{
}

namespace {
struct BitmapRegistry {
    QHash<QString, TBitmapRenderer> renderers;
    QHash<QString, QImage> cache;
};

BitmapRegistry& Registry()
{
    static BitmapRegistry registry;
    return registry;
}
}  // namespace

void RegisterBitmapResource(const QString& name, TBitmapRenderer renderer)
{
    Registry().renderers.insert(name, std::move(renderer));
    Registry().cache.remove(name);
}

void UnregisterBitmapResource(const QString& name)
{
    Registry().renderers.remove(name);
    Registry().cache.remove(name);
}

bool BitmapResourceExists(const QString& name)
{
    return Registry().renderers.contains(name);
}

QStringList BitmapResourceNames()
{
    QStringList names = Registry().renderers.keys();
    names.sort();
    return names;
}

QImage LoadBitmapResource(const QString& name)
{
    BitmapRegistry& registry = Registry();
    const auto cached = registry.cache.constFind(name);
    if (cached != registry.cache.constEnd())
        return *cached;
    const auto renderer = registry.renderers.constFind(name);
    if (renderer == registry.renderers.constEnd())
        throw EResNotFound(name);
    QImage image = (*renderer)().convertToFormat(QImage::Format_RGB32);
    registry.cache.insert(name, image);
    return image;
}

void TBitmap::LoadFromResourceName(const QString& name)
{
    Assign(LoadBitmapResource(name));
}

void TBitmap::Assign(const QImage& image)
{
    FImage = image;
    FDrawImageValid = false;
}

void TBitmap::Clear()
{
    FImage = QImage();
    FDrawImageValid = false;
}

void TBitmap::SetTransparent(bool value)
{
    FTransparent = value;
    FDrawImageValid = false;
}

TColor TBitmap::TransparentColor() const
{
    if (FAutoTransparentColor && !FImage.isNull())
        return FromQColor(FImage.pixelColor(0, FImage.height() - 1));
    return FTransparentColor;
}

void TBitmap::SetTransparentColor(TColor color)
{
    FTransparentColor = color;
    FAutoTransparentColor = false;
    FDrawImageValid = false;
}

const QImage& TBitmap::DrawImage() const
{
    if (!FTransparent || FImage.isNull())
        return FImage;
    if (!FDrawImageValid) {
        const QRgb key = ToQColor(TransparentColor()).rgb() & 0xFFFFFF;
        FDrawImage = FImage.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < FDrawImage.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(FDrawImage.scanLine(y));
            for (int x = 0; x < FDrawImage.width(); ++x)
                if ((line[x] & 0xFFFFFF) == key)
                    line[x] = 0;
        }
        FDrawImageValid = true;
    }
    return FDrawImage;
}

TCanvas::TCanvas(QPainter& painter) : FPainter(painter) {}

void TCanvas::Draw(int x, int y, const TBitmap& bitmap)
{
    if (!bitmap.Empty())
        FPainter.drawImage(QPoint(x, y), bitmap.DrawImage());
}

void TCanvas::StretchDraw(const QRect& rect, const TBitmap& bitmap)
{
    if (!bitmap.Empty() && rect.width() > 0 && rect.height() > 0)
        FPainter.drawImage(rect, bitmap.DrawImage());
}

void TCanvas::TextOut(int x, int y, const QString& text)
{
    const QFont font = Font.ToQFont();
    const QFontMetrics metrics(font);
    if (BrushStyle == TBrushStyle::Solid)
        FPainter.fillRect(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()), ToQColor(BrushColor));
    FPainter.setFont(font);
    FPainter.setPen(ToQColor(Font.Color));
    FPainter.drawText(QPoint(x, y + metrics.ascent()), text);
    FPenPos = QPoint(x + metrics.horizontalAdvance(text), y);
}

int TCanvas::TextWidth(const QString& text) const
{
    return TextWidthOf(Font, text);
}

int TCanvas::TextHeight(const QString& text) const
{
    return TextHeightOf(Font, text);
}

void TCanvas::FillRect(const QRect& rect)
{
    if (BrushStyle == TBrushStyle::Solid)
        FPainter.fillRect(rect, ToQColor(BrushColor));
}

void TCanvas::Rectangle(const QRect& rect)
{
    FillRect(rect);
    FPainter.setPen(QPen(ToQColor(PenColor), PenWidth));
    FPainter.setBrush(Qt::NoBrush);
    FPainter.drawRect(rect.adjusted(0, 0, -1, -1));
}

void TCanvas::MoveTo(int x, int y)
{
    FPenPos = QPoint(x, y);
}

void TCanvas::LineTo(int x, int y)
{
    // Like the GUI library, the end point itself is not drawn.
    FPainter.setPen(QPen(ToQColor(PenColor), PenWidth));
    const QPoint to(x, y);
    if (to != FPenPos) {
        const QPoint d = to - FPenPos;
        const int steps = std::max(std::abs(d.x()), std::abs(d.y()));
        const QPoint last(FPenPos.x() + RoundHalfEven(d.x() * (steps - 1.0) / steps),
                          FPenPos.y() + RoundHalfEven(d.y() * (steps - 1.0) / steps));
        FPainter.drawLine(FPenPos, last);
    }
    FPenPos = to;
}

int TextWidthOf(const TFont& font, const QString& text)
{
    return QFontMetrics(font.ToQFont()).horizontalAdvance(text);
}

int TextHeightOf(const TFont& font, const QString& text)
{
    Q_UNUSED(text);
    return QFontMetrics(font.ToQFont()).height();
}
