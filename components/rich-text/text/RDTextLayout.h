#pragma once

// One line of text laid out by the text engine in the canvas's font, with the
// painter's layout direction as the base direction (right to left for text of
// a right-to-left style), with no wrapping: the source of the caret x of
// every boundary, the cells in visual order and the drawing of measured text.
// Text that needs no shaping (Latin, Greek, Cyrillic, CJK and the common
// symbols) is measured as the sum of its characters' advances, which is what
// the engine gives for it without laying a line out.

#include <memory>
#include <vector>

#include <QtCore/QRect>
#include <QtGui/QFont>
#include <QtGui/QGlyphRun>
#include <QtGui/QTextLayout>

#include "Graphics.h"
#include "text/RDTextCanvas.h"

struct TRDPlacement;

class TRDLineLayout {
public:
    // measure false leaves out the measuring of text that needs no shaping
    // (for a caller that reads the glyphs only).
    TRDLineLayout(TCanvas& canvas, const QString& text, bool measure = true);
    // With format ranges (per-range letter spacing of a spread run).
    TRDLineLayout(TCanvas& canvas, const QString& text, const QList<QTextLayout::FormatRange>& formats);

    // The extent after each character, in logical order (resized to the
    // character count).
    void LogicalExtents(const TRDItemChars& chars, std::vector<int>& extents) const;
    // Visual order, cell advances, direction classes and width of the characters.
    void Place(const TRDItemChars& chars, TRDPlacement& placement) const;
    int Width() const;
    // Measured as the sum of its characters' advances.
    bool IsSimple() const { return FSimple; }
    // Draws the text with its top-left corner at x, y in the canvas's font colour.
    void Draw(TCanvas& canvas, int x, int y) const;
    // The x of each glyph and, last, the line's width, when the glyphs stand one
    // per character (count of them) from left to right; false otherwise.
    bool GlyphPlaces(int count, std::vector<double>& places) const;
    // Draws those glyphs with their left edges at starts.
    void DrawGlyphsAt(TCanvas& canvas, int x, int y, const std::vector<int>& starts) const;
    // Draws it clipped to clip; opaque fills clip with the brush colour first.
    void DrawClipped(TCanvas& canvas, int x, int y, const QRect& clip, bool opaque) const;

private:
    struct TCell {
        int Left = 0;
        int Advance = 0;
        bool Rtl = false;
    };
    // The cell of each character (lead bytes and units; the others stay empty).
    void Cells(const TRDItemChars& chars, std::vector<TCell>& cells) const;
    // The laid-out line, made on first use.
    const QTextLine& Line() const;
    // The x of every unit boundary of simple text; false for other text.
    bool MeasureSimple();

    QString FText;
    QFont FFont;
    QPaintDevice* FDevice = nullptr;
    Qt::LayoutDirection FDirection = Qt::LeftToRight;
    QList<QTextLayout::FormatRange> FFormats;
    bool FRightToLeft = false;  // right-to-left text, or a right-to-left base
    bool FSimple = false;
    std::vector<double> FPrefix;
    mutable std::unique_ptr<QTextLayout> FLayout;
    mutable QTextLine FLine;
    mutable QList<QGlyphRun> FRuns;
};

// True when text holds characters of a right-to-left script.
bool HasRightToLeftText(const QString& text);
