#pragma once

// Measuring item strings (ANSI in the code page of the canvas's font, or
// UTF-16) and placing right-to-left text: caret positions, range extents and
// drawing a range in visual order. The zero-width characters U+200B, U+200D
// and U+2060 never take width.

#include <vector>

#include <QtCore/QByteArray>
#include <QtCore/QSize>

#include "Graphics.h"
#include "text/RDTextCanvas.h"

// The extent of count UTF-16 units at p, zero-width characters left out.
QSize TextExtentW(TCanvas& canvas, const char16_t* p, int count);

// The pixel width of an item string.
int ItemTextWidth(const QByteArray& s, TCanvas& canvas, int flags);

// How many of count characters at p fit into maxExtent (fit) and, when extents
// is given, the extent after each character (resized to count). Both bytes of
// a double-byte character, and both units of a surrogate pair, carry the extent
// after the whole character, so that fit never ends inside one. Count 0 gives
// fit 0 and leaves size alone.
void TextExtentEx(TCanvas& canvas, const char* p, int count, int maxExtent, int& fit, std::vector<int>* extents,
                  int flags, QSize& size);

// TextExtentEx over a whole item string.
void ItemTextExtentEx(TCanvas& canvas, const QByteArray& s, int maxExtent, int& fit, std::vector<int>* extents,
                      int flags);

// The visual order, cell advances and direction of the characters of a text,
// as the text engine places them.
struct TRDPlacement {
    std::vector<int> Order;         // logical character -> visual position
    std::vector<int> Advances;      // by visual position
    std::vector<uint8_t> Classes;   // by logical character; RDRightToLeftClass for R and AL
    int Width = 0;
    int Height = 0;
};
constexpr uint8_t RDRightToLeftClass = 2;

// Places text and checks its width against expectedWidth (within 2 pixels) and
// its height; false otherwise (callers then treat the text as left to right).
bool PlaceItemText(TCanvas& canvas, const QByteArray& text, int flags, int expectedWidth, TRDPlacement& placement);

// Caret positions of text: Count+1 x values, entry 0 before the first character
// and entry i after character i (logical order). False on failure, and for an
// empty text.
bool GetBiDiCaretPositions(TCanvas& canvas, const QByteArray& text, std::vector<int>& positions, int flags,
                           int expectedWidth);

// The outer edges (left <= right) of count characters from character start
// (1-based); false when the range lies outside the text or the positions cannot
// be had.
bool GetBiDiRangeExtent(TCanvas& canvas, const QByteArray& text, int start, int count, int flags, int expectedWidth,
                        int& left, int& right);

// Draws characters first to last (1-based) of text drawn at x, y, in visual
// order, run by run, each over its own cells in the canvas's brush colour.
// False at once when enabled is false; else whether the placement succeeded.
bool TryDrawBiDiTextRange(int x, int y, int expectedWidth, TCanvas& canvas, const QByteArray& text, int height,
                          int first, int last, int flags, bool enabled);
