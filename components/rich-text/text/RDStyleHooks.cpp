// The style sheet's owner-draw hooks: the event first, then the default drawing.

#include <QtGui/QPainter>

#include "styles/RDStyle.h"
#include "text/RDStyleDraw.h"
#include "text/RDTextCanvas.h"

namespace {

// The charset that stands for the sheet's code page where a style leaves the
// charset to the default; the style's own charset otherwise.
uint8_t CharsetForCodePage(uint8_t charset, TRDCodePage defCodePage)
{
    if (charset != DEFAULT_CHARSET || defCodePage == CP_ACP)
        return charset;
    for (int c = 0; c < 256; ++c)
        if (c != DEFAULT_CHARSET && CodePageOfCharset(uint8_t(c)) == defCodePage)
            return uint8_t(c);
    return charset;
}

}  // namespace

void TRDStyle::ApplyStyle(TCanvas& canvas, int styleNo, TRDBiDiMode defBiDiMode, bool useFontPixelsPerInch,
                          const int* subSuperScriptHeight, bool ignoreSubSuperScript)
{
    bool doDefault = true;
    if (OnApplyStyle)
        OnApplyStyle(*this, canvas, styleNo, doDefault);
    if (!doDefault)
        return;
    const TFontInfo& style = *TextStyles().TextStyleAt(styleNo);
    QFont font = style.MakeFont(defBiDiMode, useFontPixelsPerInch, ignoreSubSuperScript);
    // The caller's height for sub- and superscript text.
    if (subSuperScriptHeight && !ignoreSubSuperScript && *subSuperScriptHeight > 0
        && style.SubSuperScriptType != TRDSubSuperScriptType::rdsssNormal)
        font.setPixelSize(*subSuperScriptHeight);
    SelectCanvasFont(canvas, font, CharsetForCodePage(style.Charset, DefCodePage));
    // Right-to-left reading for text of that direction; text without one keeps
    // what the canvas has (its character spacing is in the font).
    const TRDBiDiMode direction = style.BiDiMode == TRDBiDiMode::rdbdUnspecified ? defBiDiMode : style.BiDiMode;
    if (direction == TRDBiDiMode::rdbdLeftToRight)
        canvas.Painter().setLayoutDirection(Qt::LeftToRight);
    else if (direction == TRDBiDiMode::rdbdRightToLeft)
        canvas.Painter().setLayoutDirection(Qt::RightToLeft);
}

void TRDStyle::ApplyStyleColor(TCanvas& canvas, int styleNo, TRDTextDrawStates drawState, bool printing,
                               int colorMode)
{
    bool doDefault = true;
    if (OnApplyStyleColor)
        OnApplyStyleColor(*this, canvas, styleNo, drawState, doDefault);
    if (doDefault)
        ApplyColor(*TextStyles().TextStyleAt(styleNo), canvas, *this, colorMode, printing, drawState);
}

void TRDStyle::DrawStyleText(const QByteArray& s, TCanvas& canvas, int itemNo, int offsetInItem, int styleNo,
                             TCustomRDFormattedData* data, int spaceBefore, int left, int top, int width,
                             int height, int reserved, TRDTextDrawStates drawState, bool printing, bool fitWidth,
                             int colorMode, TRDBiDiMode defBiDiMode)
{
    Q_UNUSED(reserved);
    bool doDefault = true;
    if (OnDrawStyleText) {
        DrawingItemNo = itemNo;
        DrawingOffset = offsetInItem;
        DrawingData = data;
        OnDrawStyleText(*this, s, canvas, styleNo, spaceBefore, left, top, width, height, drawState, doDefault);
    }
    if (doDefault)
        DrawText(*TextStyles().TextStyleAt(styleNo), s, canvas, *this, spaceBefore, left, top, width, height,
                 drawState, printing, fitWidth, colorMode, defBiDiMode);
}

void TRDStyle::DrawTextBack(TCanvas& canvas, int itemNo, int styleNo, TCustomRDFormattedData* data, int left,
                            int top, int width, int height, TRDTextDrawStates drawState)
{
    if (!OnDrawTextBack)
        return;
    DrawingItemNo = itemNo;
    DrawingData = data;
    bool doDefault = true;
    OnDrawTextBack(*this, canvas, styleNo, left, top, width, height, drawState, doDefault);
}

void TRDStyle::DrawCheckpoint(TCanvas& canvas, int x, int y, int lineLeft, int lineWidth,
                              TCustomRDFormattedData* data, int itemNo, int xShift, bool raiseEvent,
                              QWidget* control)
{
    bool doDefault = true;
    if (OnDrawCheckpoint) {
        DrawingData = data;
        DrawingItemNo = itemNo;
        OnDrawCheckpoint(*this, canvas, x, y, itemNo, xShift, raiseEvent, control, doDefault);
    }
    if (doDefault)
        DrawCheckpointMark(canvas, *this, x, y, lineLeft, lineWidth, itemNo, xShift, raiseEvent);
    canvas.BrushStyle = TBrushStyle::Clear;
}

void TRDStyle::DrawPageBreak(TCanvas& canvas, int y, int xShift, TRDPageBreakType pageBreakType, QWidget* control,
                             TCustomRDFormattedData* data, int itemNo, int documentWidth)
{
    bool doDefault = true;
    if (OnDrawPageBreak) {
        DrawingData = data;
        DrawingItemNo = itemNo;
        OnDrawPageBreak(*this, canvas, y, xShift, pageBreakType, control, doDefault);
    }
    if (doDefault)
        DrawPageBreakMark(canvas, *this, y, xShift, pageBreakType, documentWidth);
    canvas.BrushStyle = TBrushStyle::Clear;
}

void TRDStyle::DrawParaBack(TCanvas& canvas, int paraNo, const QRect& rect, bool printing, int colorMode)
{
    bool doDefault = true;
    if (OnDrawParaBack)
        OnDrawParaBack(*this, canvas, paraNo, rect, doDefault);
    if (doDefault)
        DrawParaBackground(canvas, *ParaStyles().ParaStyleAt(paraNo), rect, printing, colorMode);
}
