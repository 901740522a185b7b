#pragma once

// The default drawing behind the style sheet's owner-draw hooks: colours of a
// text style in the selection, hover and print colour modes, a run of styled
// text with its hand-drawn underlines, overline, leading space, character
// spacing and justification, the marks of visible spaces, and the checkpoint,
// page-break and paragraph-background marks.

#include <cstdint>
#include <vector>

#include <QtCore/QByteArray>
#include <QtCore/QRect>

#include "Graphics.h"
#include "RDParaStyles.h"
#include "RDTextStyles.h"

enum TRDTextDrawState : uint16_t {
    rdtsSelected = 1 << 0,
    rdtsHover = 1 << 1,
    rdtsItemStart = 1 << 2,
    rdtsItemEnd = 1 << 3,
    rdtsDrawItemStart = 1 << 4,
    rdtsDrawItemEnd = 1 << 5,
    rdtsControlFocused = 1 << 6,
    rdtsSpecialCharacters = 1 << 7
};
using TRDTextDrawStates = uint16_t;

enum class TRDPageBreakType : uint8_t { rdpbSoftPageBreak, rdpbPageBreak };

// The style sheet's colours that the default drawing reads, with the sheet's
// defaults.
struct TRDDrawColors {
    TColor HoverColor = clNone;
    TColor SelColor = clHighlight;
    TColor SelTextColor = clHighlightText;
    TColor InactiveSelColor = clHighlight;
    TColor InactiveSelTextColor = clHighlightText;
    TColor CheckpointColor = 0x008000;
    TColor CheckpointEvColor = 0x00FF00;
    TColor PageBreakColor = clBtnShadow;
    TColor SoftPageBreakColor = clBtnFace;

    // color, or the sheet's hover colour when it is clNone.
    TColor GetHoverColor(TColor color) const { return color == clNone ? HoverColor : color; }
};

// Font colour and brush of the canvas for a text style. Colour modes: 0 as
// they are, 1 system colours resolved, 2 grey, 3 black and white, 4 black text
// on no background.
void ApplyColor(const TCustomRDFontInfo& style, TCanvas& canvas, const TRDDrawColors& sheet, int colorMode,
                bool printing, TRDTextDrawStates drawState);

// Draws item text s (ANSI, or UTF-16 for a Unicode style) of a style whose font
// and colours are on the canvas, in the box left, top, width, height that
// starts with spaceBefore pixels of leading space.
void DrawText(const TFontInfo& style, const QByteArray& s, TCanvas& canvas, const TRDDrawColors& sheet,
              int spaceBefore, int left, int top, int width, int height, TRDTextDrawStates drawState,
              bool printing, bool fitWidth, int colorMode, TRDBiDiMode defBiDiMode);

// The pixels added to each of n characters to spread them over d more pixels:
// d div r from the first character on, r the characters left.
std::vector<int> SpreadOverCharacters(int n, int d);

// The line drawn for an underline kind at y (thickness before doubling).
void DrawUnderline(QPainter& painter, TColor color, TRDUnderlineType kind, int thickness, int left, int right, int y);

void DrawCheckpoint(TCanvas& canvas, const TRDDrawColors& sheet, int x, int y, int lineLeft, int lineWidth,
                    int itemNo, int xShift, bool raiseEvent);
// documentWidth is the width of the document the mark stands in.
void DrawPageBreak(TCanvas& canvas, const TRDDrawColors& sheet, int y, int xShift, TRDPageBreakType pageBreakType,
                   int documentWidth);
void DrawParaBack(TCanvas& canvas, const TCustomRDParaInfo& paraStyle, const QRect& rect, bool printing,
                  int colorMode);
