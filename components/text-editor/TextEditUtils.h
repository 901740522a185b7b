#pragma once

// Small routines and value types shared by the editor's classes.
//
// Positions count cells: an ASCII character is one cell, every other
// character (a surrogate pair counts as one character) two cells, the first
// being the character's lead cell and the second its trail cell. This is how
// the editor lays Chinese text out in its fixed-width grid: a Chinese
// character is two columns wide, and no position ever falls inside it.

#include "Graphics.h"

#include <QtCore/QString>

#include <cstdint>

class TCanvas;

// A position in the text: 1-based character (cell) index and line number.
struct TBufferCoord {
    std::int32_t Char = 0;
    std::int32_t Line = 0;
    friend bool operator==(const TBufferCoord&, const TBufferCoord&) = default;
};
inline TBufferCoord BufferCoord(int aChar, int aLine) { return {aChar, aLine}; }

// A position on the screen grid: 1-based column (tabs expanded) and row
// (after folding and wrapping).
struct TDisplayPos {
    std::int32_t Column = 0;
    std::int32_t Row = 0;
    friend bool operator==(const TDisplayPos&, const TDisplayPos&) = default;
};
inline TDisplayPos DisplayPos(int column, int row) { return {column, row}; }

// ---------------------------------------------------------------- cells

// The number of cells of a character (1 for ASCII, else 2).
inline int CellsOf(QChar c) { return c.unicode() < 0x80 ? 1 : 2; }
// The number of cells of a text.
int CellLength(const QString& text);
// The QString index of the character that cell (0-based) belongs to; the
// text's length for a cell at or past the end.
int CellToIndex(const QString& text, int cell);
// The 0-based cell where the character at a QString index starts; the cell
// length for an index at or past the end.
int IndexToCell(const QString& text, int index);
// The character that owns a 0-based cell, and whether the cell is its
// trail cell; a null character outside the text.
QChar CharAtCell(const QString& text, int cell, bool* trail = nullptr);
// True when the 1-based cell is the trail cell of a wide character.
bool IsTrailCell(const QString& text, int pos);
// True when the 1-based cell is the lead cell of a wide character.
bool IsLeadCell(const QString& text, int pos);
// The part of a text between two 0-based cells (a half character at either
// end belongs to the part it starts in).
QString CellMid(const QString& text, int cell, int count = -1);

// ---------------------------------------------------------------- routines

inline int MinMax(int value, int lo, int hi)
{
    value = value < hi ? value : hi;
    return value > lo ? value : lo;
}
inline void SwapInt(int& a, int& b)
{
    const int t = a;
    a = b;
    b = t;
}
// The earlier position; a when equal.
TBufferCoord MinPos(const TBufferCoord& a, const TBufferCoord& b);

// Cells before the first tab of text; true when there is a tab.
bool FindFirstTab(const QString& text, int& before);

// Expands the tabs of a line: each tab becomes as many tab characters as
// columns it spans (one space for a width of 1 or less). hasTabs tells
// whether the line held a tab; without one the line is returned as it is.
using TTabExpander = QString (*)(const QString& line, int tabWidth, bool& hasTabs);
TTabExpander ChooseTabExpander(int tabWidth);

bool IsPowerOfTwo(int n);
// The display width of a line: tabs advance to the next multiple of tabWidth,
// other characters count their cells; stops at a zero character.
int ExpandedWidth(const QString& line, int tabWidth);
// The 1-based display column of the 1-based cell index.
int CharIndexToColumn(int index, int tabWidth, const QString& line);

// Scans over cells, never stopping on a trail cell (positions are 1-based;
// 0 means none).
int ScanForChars(const QString& line, int start, const QString& chars);
int ScanBackForChars(const QString& line, int start, const QString& chars);
int NextDoubleByteStart(const QString& line, int start);
int LastDoubleByteStart(const QString& line, int stop);
// The index of the first zero, LF or CR character of text (its length when none).
int EndOfLine(const QString& text, int from = 0);

// Fills rect with steps bands from startColor to endColor, across its width
// (horizontal) or its height.
void GradientFill(TCanvas& canvas, TColor startColor, TColor endColor, int steps, const QRect& rect,
                  bool horizontal);

struct THSL {
    int Hue = 0;         // degrees 0..359
    int Saturation = 0;  // percent
    int Lightness = 0;   // percent
};
THSL ColorToHSL(TColor color);
TColor HSLToColor(int hue, int saturation, int lightness);

// A folder name made absolute: a value starting with "/" stays as it is,
// any other is taken relative to the program folder ("\" read as "/", one
// leading "\" dropped); a non-empty result ends in "/". Empty stays empty.
QString ResolveFolder(const QString& path);

// MulDiv (a * b / c rounded half away from zero, -1 for a zero divisor)
// comes from Graphics.h.
