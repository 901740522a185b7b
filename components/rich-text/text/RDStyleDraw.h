#pragma once

// The default drawing behind the style sheet's owner-draw hooks: colours of a
// text style in the selection, hover and print colour modes, a run of styled
// text with its hand-drawn underlines, overline, leading space, character
// spacing and justification, the marks of visible spaces, and the checkpoint,
// page-break and paragraph-background marks. The sheet gives the selection,
// hover, checkpoint and page-break colours.

#include <cstdint>
#include <vector>

#include <QtCore/QByteArray>
#include <QtCore/QRect>

#include "Graphics.h"
#include "styles/RDDrawStates.h"
#include "styles/RDParaStyles.h"
#include "styles/RDTextStyles.h"

class TRDStyle;

// Font colour and brush of the canvas for a text style. Colour modes: 0 as
// they are, 1 system colours resolved, 2 grey, 3 black and white, 4 black text
// on no background.
void ApplyColor(const TCustomRDFontInfo& style, TCanvas& canvas, const TRDStyle& sheet, int colorMode,
                bool printing, TRDTextDrawStates drawState);

// Draws item text s (ANSI, or UTF-16 for a Unicode style) of a style whose font
// and colours are on the canvas, in the box left, top, width, height that
// starts with spaceBefore pixels of leading space.
void DrawText(const TFontInfo& style, const QByteArray& s, TCanvas& canvas, const TRDStyle& sheet,
              int spaceBefore, int left, int top, int width, int height, TRDTextDrawStates drawState,
              bool printing, bool fitWidth, int colorMode, TRDBiDiMode defBiDiMode);

// The pixels added to each of n characters to spread them over d more pixels:
// d div r from the first character on, r the characters left.
std::vector<int> SpreadOverCharacters(int n, int d);

// The line drawn for an underline kind at y (thickness before doubling).
void DrawUnderline(QPainter& painter, TColor color, TRDUnderlineType kind, int thickness, int left, int right, int y);

void DrawCheckpointMark(TCanvas& canvas, const TRDStyle& sheet, int x, int y, int lineLeft, int lineWidth,
                    int itemNo, int xShift, bool raiseEvent);
// documentWidth is the width of the document the mark stands in.
void DrawPageBreakMark(TCanvas& canvas, const TRDStyle& sheet, int y, int xShift, TRDPageBreakType pageBreakType,
                   int documentWidth);
void DrawParaBackground(TCanvas& canvas, const TCustomRDParaInfo& paraStyle, const QRect& rect, bool printing,
                  int colorMode);
