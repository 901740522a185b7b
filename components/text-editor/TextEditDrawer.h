#pragma once

// The editor's text drawer: every cell of a line takes the same advance, so
// columns line up and a caret position maps to pixels by multiplication. A
// wide (two-cell) character is placed in its two cells. Fonts are shared per
// process: one reference-counted record per family, pixel size and weight,
// with a font and its measures for each of the sixteen style combinations.

#include "Graphics.h"

#include <QtCore/QString>
#include <QtGui/QFont>
#include <QtGui/QRawFont>

#include <array>
#include <climits>
#include <memory>
#include <stdexcept>
#include <vector>

class QPainter;

class EheFontStockException : public std::runtime_error {
public:
    explicit EheFontStockException(const QString& m) : std::runtime_error(m.toStdString()) {}
};
class EheTextDrawerException : public std::runtime_error {
public:
    explicit EheTextDrawerException(const QString& m) : std::runtime_error(m.toStdString()) {}
};

// Style bits: bold 1, italic 2, underline 4, strike-out 8.
using TTextFontStyles = unsigned;
constexpr TTextFontStyles tfsBold = 1, tfsItalic = 2, tfsUnderline = 4, tfsStrikeOut = 8;
TTextFontStyles StylesOf(const TFont& font);

struct TheFontStyleEntry {
    bool Made = false;
    QFont Font;
    QRawFont Raw;          // the font's own glyphs
    QRawFont FallbackRaw;  // where the font has no glyph for a Chinese character
    int Advance = 0;
    int WideAdvance = INT_MAX;  // a wide character's advance; INT_MAX when not measured
    int Height = 0;
    int Ascent = 0;
};

struct TheSharedFontsInfo {
    int UseCount = 0;
    int HandleLocks = 0;
    TFont SourceFont;
    QString KeyFamily;
    int KeyPixelSize = 0;
    bool KeyBold = false;
    std::array<TheFontStyleEntry, 16> Styles;
};

// The process's font records; made on first use, freed with the last record.
class TheFontsInfoManager {
public:
    static TheSharedFontsInfo* AcquireFontRecord(const TFont& font);
    static void DropFontRecord(TheSharedFontsInfo* record);
    static void LockHandles(TheSharedFontsInfo* record);
    static void UnlockHandles(TheSharedFontsInfo* record);
    static int RecordCount();
};

// The fonts of one base font in its sixteen style combinations.
class TheFontStock {
public:
    explicit TheFontStock(const TFont& baseFont);
    ~TheFontStock();
    TheFontStock(const TheFontStock&) = delete;
    TheFontStock& operator=(const TheFontStock&) = delete;

    void SetBaseFont(const TFont& font);
    void SelectStyle(TTextFontStyles style);
    int CurrentAdvance() const { return FCurrent->Advance; }
    int CurrentHeight() const { return FCurrent->Height; }
    int CurrentWideAdvance() const { return FCurrent->WideAdvance; }
    int CurrentAscent() const { return FCurrent->Ascent; }
    const QFont& CurrentFont() const { return FCurrent->Font; }
    const TheFontStyleEntry& Current() const { return *FCurrent; }
    TheSharedFontsInfo* Record() const { return FRecord; }
    void UnlockFontHandles();

private:
    void MakeStyledFont(TTextFontStyles style, TheFontStyleEntry& entry) const;

    TheSharedFontsInfo* FRecord = nullptr;
    bool FLocked = false;
    TheFontStyleEntry* FCurrent = nullptr;
    int FCurrentStyle = -1;
};

class TheTextDrawer {
public:
    TheTextDrawer(TTextFontStyles measureStyle, const TFont& baseFont);
    ~TheTextDrawer();
    TheTextDrawer(const TheTextDrawer&) = delete;
    TheTextDrawer& operator=(const TheTextDrawer&) = delete;

    int CellWidth() const { return FCellWidth; }
    int CellHeight() const { return FCellHeight; }

    void StartDrawing(QPainter* painter);
    void FinishDrawing();
    bool Drawing() const { return FDrawingCount > 0; }
    // Draws text with its top-left corner at x, y, each cell CellWidth apart.
    void PutText(int x, int y, const QString& text);
    // The same, clipped to rect, whose background is filled first when
    // opaque is set.
    void PutTextClipped(int x, int y, const QRect& rect, const QString& text, bool opaque = true);

    void SetBaseFont(const TFont& font);
    TTextFontStyles MeasureStyle() const { return FMeasureStyle; }
    void SetMeasureStyle(TTextFontStyles style);
    void SelectStyle(TTextFontStyles style);
    void ChangeForeColor(TColor color);
    void ChangeBackColor(TColor color);
    void ChangeCharExtra(int value);
    TColor ForeColor() const { return FForeColor; }
    TColor BackColor() const { return FBackColor; }
    int CharExtra() const { return FCharExtra; }
    void ReleaseFontCache();

    // A second font for wide characters; empty for none.
    QString SecondFontName() const { return FUseSecondFont ? FSecondFont.Name : QString(); }
    void SetSecondFontName(const QString& name);
    bool UseSecondFont() const { return FUseSecondFont; }
    // The pixel height the second font was fitted to.
    int SecondFontPixelSize() const { return -FSecondFont.Height(); }

    const TheFontStock& MainStock() const { return *FFontStock; }

private:
    void FitSecondFont();
    void DrawRun(QPainter& painter, const QString& text, int x, int baseline, const QRect& clip);

    std::unique_ptr<TheFontStock> FFontStock;
    TTextFontStyles FMeasureStyle;
    TTextFontStyles FStyle = 0;
    int FCellWidth = 0;
    int FCellHeight = 0;
    TColor FForeColor = clWindowText;
    TColor FBackColor = clWindow;
    int FCharExtra = 0;
    QPainter* FPainter = nullptr;
    int FDrawingCount = 0;
    TFont FBaseFont;
    TFont FSecondFont;
    std::unique_ptr<TheFontStock> FSecondStock;
    bool FUseSecondFont = false;
    // Work buffers reused from call to call.
    std::vector<quint32> FGlyphs;
    std::vector<QPointF> FPositions;
};
