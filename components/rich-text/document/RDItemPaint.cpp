// Painting and HTML and RTF output of break and tab items.

#include <cmath>

#include <QtGui/QFontMetrics>
#include <QtGui/QPainter>

#include "AnsiText.h"
#include "document/CRDData.h"
#include "core/RDMarkup.h"
#include "text/RDStyleDraw.h"
#include "document/RDTextItems.h"

namespace {

// A one-pixel outline of the rectangle left..right-1, top..bottom-1.
void FrameRect(QPainter& painter, TColor color, int left, int top, int right, int bottom)
{
    if (right - left < 1 || bottom - top < 1)
        return;
    painter.save();
    painter.setPen(QPen(ToQColor(color), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(left, top, right - left - 1, bottom - top - 1));
    painter.restore();
}

void Line(QPainter& painter, TColor color, int x1, int y1, int x2, int y2)
{
    painter.setPen(QPen(ToQColor(color), 1));
    painter.drawLine(x1, y1, x2, y2);
}

}  // namespace

void DrawSunkenFrame(TCanvas& canvas, QRect rect, TColor topLeft, TColor bottomRight, int rounds)
{
    rounds = std::max(rounds, 1);
    QPainter& painter = canvas.Painter();
    painter.save();
    int left = rect.left();
    int top = rect.top();
    int right = rect.left() + rect.width();
    int bottom = rect.top() + rect.height();
    const bool high = bottom - top >= rounds;
    for (int i = 0; i < rounds; ++i) {
        Line(painter, topLeft, left, bottom, left, top);
        Line(painter, topLeft, left, top, right, top);
        if (high) {
            Line(painter, bottomRight, right, top, right, bottom);
            Line(painter, bottomRight, right, bottom, left, bottom);
            ++left;
            --right;
        }
        ++top;
        --bottom;
    }
    painter.restore();
}

void DrawTabArrow(TCanvas& canvas, const QRect& rect, bool rightToLeft)
{
    const int length = std::clamp(rect.width(), 5, 10);
    const int right = rect.left() + rect.width();
    const int bottom = rect.top() + rect.height();
    const int x = (right + rect.left() + length) / 2;
    const int y = (rect.top() + bottom) / 2;
    QPainter& painter = canvas.Painter();
    painter.save();
    painter.setPen(QPen(ToQColor(canvas.Font.Color), 1));
    // The shaft: length + 1 pixels ending at x.
    painter.drawLine(x - length, y, x, y);
    const int heights[] = {3, 5, 5};
    for (int k = 0; k < 3; ++k) {
        const int sx = rightToLeft ? x - length + 1 + k : x - 1 - k;
        const int h = heights[k] / 2;
        painter.drawLine(sx, y - h, sx, y + h);
    }
    painter.restore();
}

// Break.

TColor TRDBreakItemInfo::LineColor(TRDStyle* rdStyle) const
{
    if (Color != clNone || !rdStyle)
        return Color == clNone ? clWindowText : Color;
    return rdStyle->TextStyles().TextStyleAt(0)->Color;
}

void TRDBreakItemInfo::PaintFullLine(int left, int right, int top, TRDStyle* rdStyle, uint16_t state,
                                     TCanvas& canvas, TCustomRDData*) const
{
    const TColor color = LineColor(rdStyle);
    QPainter& painter = canvas.Painter();
    const int l = left + 5;
    const int r = right - 5;
    const int bandTop = top + 5 - LineWidth / 2;
    const int bandBottom = bandTop + LineWidth;
    switch (static_cast<TRDBreakLook>(BreakStyle)) {
    case TRDBreakLook::blLine: DrawStyledHLine(painter, color, 0, LineWidth, l, r, top + 5, 0); break;
    case TRDBreakLook::blRectangle: FrameRect(painter, color, l, bandTop, r, bandBottom); break;
    case TRDBreakLook::bl3D:
        DrawSunkenFrame(canvas, QRect(l, bandTop, r - 1 - l, bandBottom - 1 - bandTop), clBtnShadow, clBtnFace, 1);
        break;
    case TRDBreakLook::blDotted: DrawStyledHLine(painter, color, 1, LineWidth, l, r, top + 5, 0); break;
    case TRDBreakLook::blDashed: DrawStyledHLine(painter, color, 3, LineWidth, l, r, top + 5, 0); break;
    }
    canvas.PenWidth = 1;
    canvas.BrushStyle = TBrushStyle::Clear;
    if ((state & rdisSelected) && rdStyle) {
        const TColor frame = (state & rdisControlFocused) ? rdStyle->SelColor : rdStyle->InactiveSelColor;
        if (frame != clNone)
            FrameRect(painter, frame, l, bandTop - 1, r, bandBottom + 1);
    }
}

void TRDBreakItemInfo::Print(TCanvas& canvas, int left, int right, int top, TRDStyle* rdStyle,
                             const TRDResolutionInfo* info, int colorMode) const
{
    const TColor color = ColorByColorMode(LineColor(rdStyle), colorMode);
    const int h = ScaleToDeviceX(5, info);
    const int v = ScaleToDeviceY(5, info);
    const int g = ScaleToDeviceY(LineWidth, info);
    const int bandTop = top + v - g / 2;
    QPainter& painter = canvas.Painter();
    switch (static_cast<TRDBreakLook>(BreakStyle)) {
    case TRDBreakLook::blRectangle: {
        painter.save();
        painter.setPen(QPen(ToQColor(color), std::max(ScaleToDeviceY(1, info), 1)));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(left + h, bandTop, right - h - (left + h), g));
        painter.restore();
        break;
    }
    case TRDBreakLook::bl3D: {
        const double ratio = info && info->ScreenPpiY > 0 ? static_cast<double>(info->DevicePpiY) / info->ScreenPpiY : 1;
        const int rounds = static_cast<int>(std::nearbyint(ratio));
        DrawSunkenFrame(canvas, QRect(left + h, bandTop, right - h - 1 - (left + h), g - 1),
                        ColorByColorMode(clBtnShadow, colorMode), ColorByColorMode(clBtnHighlight, colorMode), rounds);
        break;
    }
    case TRDBreakLook::blLine: DrawStyledHLine(painter, color, 0, g, left + h, right - h, top + v, 0); break;
    case TRDBreakLook::blDotted: DrawStyledHLine(painter, color, 1, g, left + h, right - h, top + v, 0); break;
    case TRDBreakLook::blDashed: DrawStyledHLine(painter, color, 3, g, left + h, right - h, top + v, 0); break;
    }
}

QByteArray TRDBreakItemInfo::SaveToHTML(TRDStyle*, int saveOptions, bool css) const
{
    QByteArray title;
    if (!Hint.isEmpty()) {
        title = MakeHintAttribute(1, StringToAnsi(Hint)) + ' ';
        if (saveOptions & rdhsUTF8)
            title = AnsiToUtf8(CP_ACP, title);
    }
    QByteArray style;
    if (css || (saveOptions & rdhsCSS)) {
        if (Color != clNone)
            style = "color : " + ColorToHtml(Color);
        const QByteArray border = BreakStyle == static_cast<uint8_t>(TRDBreakLook::blDotted) ? "border-style: dotted"
                                  : BreakStyle == static_cast<uint8_t>(TRDBreakLook::blDashed) ? "border-style: dashed"
                                                                                               : "";
        if (!border.isEmpty())
            style += (style.isEmpty() ? "" : "; ") + border;
    }
    const QByteArray noshade = HtmlBoolAttr("noshade", saveOptions);
    const QByteArray size = HtmlIntAttr(LineWidth, saveOptions);
    const QByteArray end = HtmlEmptyTagEnd(saveOptions);
    if (!style.isEmpty())
        return "<hr " + noshade + " size=" + size + ' ' + title + "style=\"" + style + '"' + end + '>';
    if (Color == clNone)
        return "<hr " + noshade + ' ' + title + "size=" + size + end + '>';
    return "<hr " + noshade + " size=" + size + ' ' + title + "color=" + ColorToHtml(Color, true) + end + '>';
}

QByteArray TRDBreakItemInfo::SaveRTF(double twipsPerPixel, const TRDColorList& colors, int level) const
{
    const QByteArray nesting = level == 0 ? QByteArray()
                               : level == 1 ? QByteArray("\\intbl\\itap1")
                                            : "\\itap" + QByteArray::number(level);
    const int width = static_cast<int>(std::lround(LineWidth * twipsPerPixel));
    const int colorNo = Color == clNone ? 0 : std::max(colors.IndexOf(Color), 0);
    return "\\pard" + nesting + "\\plain\\fs6\\brdrb\\brdrs\\brdrw" + QByteArray::number(width) + "\\brdrcf"
           + QByteArray::number(colorNo) + "\\par\\pard" + nesting;
}

void TRDBreakItemInfo::FillRTFTables(TRDColorList& colors) const
{
    if (Color != clNone)
        colors.AddUnique(Color);
}

// Tab.

void TRDTabItemInfo::OnDocWidthChange(int, TRDDrawLineInfo* drawItem, bool, TCanvas* canvas,
                                      TCustomRDData* rdData,
                                      const TRDResolutionInfo*, int& extra, int& descent)
{
    extra = 0;
    TRDStyle* rdStyle = rdData ? rdData->GetRDStyle() : nullptr;
    if (!rdStyle || !canvas)
        return;
    const bool usePpi = rdData->GetControlFlags() & (1 << 10);
    rdStyle->ApplyStyle(*canvas, GetActualTextStyleNo(rdStyle), TRDBiDiMode::rdbdUnspecified, usePpi, nullptr, false);
    const QFontMetrics metrics(canvas->Font.ToQFont(), canvas->Painter().device());
    if (drawItem) {
        drawItem->Width = 0;
        drawItem->Height = metrics.height();
    }
    descent = metrics.descent();
}

void TRDTabItemInfo::PaintTab(TCanvas& canvas, const QRect& rect, TRDStyle* rdStyle, uint16_t state, bool printing,
                              bool useFontPixelsPerInch, int colorMode, bool rightToLeft) const
{
    if (!rdStyle)
        return;
    const int styleNo = GetActualTextStyleNo(rdStyle);
    TRDTextDrawStates drawState = 0;
    if (!printing) {
        if (state & rdisSelected)
            drawState |= rdtsSelected;
        if (state & rdisHover)
            drawState |= rdtsHover;
        if (state & rdisControlFocused)
            drawState |= rdtsControlFocused;
    }
    rdStyle->ApplyStyleColor(canvas, styleNo, drawState, printing, colorMode);
    rdStyle->ApplyStyle(canvas, styleNo, TRDBiDiMode::rdbdUnspecified, useFontPixelsPerInch, nullptr, false);
    if (canvas.BrushColor != clNone && canvas.BrushStyle != TBrushStyle::Clear)
        canvas.FillRect(rect);
    const TFontInfo& style = *rdStyle->TextStyles().TextStyleAt(styleNo);
    const QFont font = canvas.Font.ToQFont();
    // Underlines are drawn by hand, so the style says which lines there are.
    const bool underline = style.Style & fsUnderline;
    const bool strikeOut = style.Style & fsStrikeOut;
    const bool overline = style.StyleEx & rdfsOverline;
    if (underline || strikeOut || overline) {
        const QFontMetrics metrics(font);
        QPainter& painter = canvas.Painter();
        const int left = rect.left() - 1;
        const int right = rect.left() + rect.width() + 1;
        const int thickness = std::max(metrics.lineWidth(), 1);
        const int baseline = rect.top() + metrics.ascent();
        if (underline) {
            TColor color = canvas.Font.Color;
            if (!(drawState & rdtsSelected)) {
                color = style.UnderlineColor != clNone ? style.UnderlineColor : style.Color;
                if ((drawState & rdtsHover) && style.HoverUnderlineColor != clNone)
                    color = style.HoverUnderlineColor;
            }
            DrawUnderline(painter, color, style.UnderlineType, thickness, left, right,
                          baseline + metrics.underlinePos());
        }
        if (overline)
            DrawUnderline(painter, canvas.Font.Color, TRDUnderlineType::rdutNormal, thickness, left, right, rect.top());
        if (strikeOut)
            DrawUnderline(painter, canvas.Font.Color, TRDUnderlineType::rdutNormal, thickness, left, right,
                          baseline - metrics.strikeOutPos());
    }
    if (!printing && (state & rdisSpecialCharacters))
        DrawTabArrow(canvas, rect, rightToLeft);
    if (!Leader.isEmpty()) {
        rdStyle->ApplyStyle(canvas, styleNo, TRDBiDiMode::rdbdUnspecified, useFontPixelsPerInch, nullptr, false);
        const int width = canvas.TextWidth(Leader);
        if (width <= 0)
            return;
        const int right = rect.left() + rect.width();
        for (int x = rect.left() + width; x + width <= right - width; x += width)
            canvas.TextOut(x, rect.top(), Leader);
    }
}

QByteArray TRDTabItemInfo::SaveToHTML(TRDStyle* rdStyle) const
{
    const QByteArray piece = Leader.isEmpty() ? QByteArray(" &nbsp;") : EscapeHtmlText(StringToAnsi(Leader), false);
    const int length = Leader.isEmpty() ? 2 : static_cast<int>(Leader.size());
    int spaces = rdStyle ? rdStyle->SpacesInTab : 0;
    if (spaces <= 0)
        spaces = 8;
    return piece.repeated((spaces + length - 1) / length);
}

// The item slots of the break and the tab.

void TRDBreakItemInfo::Print(TCanvas& canvas, int x, int y, TRDStyle* rdStyle, TCustomRDData*,
                             const TRDItemPrintInfo& info) const
{
    Print(canvas, x, info.Right, y, rdStyle, info.Scaling, info.ColorMode);
}

QByteArray TRDBreakItemInfo::SaveToHTML(TCustomRDData* rdData, int, TRDHTMLImageContext& context) const
{
    return SaveToHTML(rdData ? rdData->GetRDStyle() : nullptr, context.SaveOptions, context.CSS);
}

QByteArray TRDBreakItemInfo::SaveRTF(TCustomRDData*, int, TRDRTFExportContext& context) const
{
    const TRDColorList none;
    return SaveRTF(context.TwipsPerPixel, context.Colors ? *context.Colors : none, context.Level);
}

namespace {

bool TabIsRightToLeft(TCustomRDData* rdData, const TRDDrawLineInfo* drawItem)
{
    return rdData && drawItem && drawItem->ItemNo >= 0 && drawItem->ItemNo < rdData->ItemCount()
           && rdData->BiDiModeOfItem(drawItem->ItemNo) == TRDBiDiMode::rdbdRightToLeft;
}

QRect DrawItemRect(int x, int y, const TRDDrawLineInfo* drawItem)
{
    return drawItem ? QRect(x, y, drawItem->Width, drawItem->Height) : QRect(x, y, 0, 0);
}

}  // namespace

void TRDTabItemInfo::Paint(TCanvas& canvas, int x, int y, int, uint16_t state, const TRDStyle* rdStyle,
                           const TRDDrawLineInfo* drawItem, TCustomRDData* rdData) const
{
    PaintTab(canvas, DrawItemRect(x, y, drawItem), const_cast<TRDStyle*>(rdStyle), state, false,
             state & rdisStylePixelsPerInch, 0, TabIsRightToLeft(rdData, drawItem));
}

void TRDTabItemInfo::Print(TCanvas& canvas, int x, int y, TRDStyle* rdStyle, TCustomRDData* rdData,
                           const TRDItemPrintInfo& info) const
{
    const bool fontPixelsPerInch = rdData && (rdData->GetControlFlags() & 0x400);
    PaintTab(canvas, DrawItemRect(x, y, info.DrawItem), rdStyle, 0, true, fontPixelsPerInch, info.ColorMode,
             TabIsRightToLeft(rdData, info.DrawItem));
}
