#pragma once

// One line of text laid out by the text engine in the canvas's font, left to
// right as the base direction, with no wrapping: the source of the caret x of
// every boundary, the cells in visual order and the drawing of measured text.

#include <vector>

#include <QtCore/QRect>
#include <QtGui/QTextLayout>

#include "Graphics.h"
#include "RDTextCanvas.h"

struct TRDPlacement;

class TRDLineLayout {
public:
    TRDLineLayout(TCanvas& canvas, const QString& text);
    // With format ranges (per-range letter spacing of a spread run).
    TRDLineLayout(TCanvas& canvas, const QString& text, const QList<QTextLayout::FormatRange>& formats);

    // The extent after each character, in logical order (resized to the
    // character count).
    void LogicalExtents(const TRDItemChars& chars, std::vector<int>& extents) const;
    // Visual order, cell advances, direction classes and width of the characters.
    void Place(const TRDItemChars& chars, TRDPlacement& placement) const;
    int Width() const;
    // Draws the text with its top-left corner at x, y in the canvas's font colour.
    void Draw(TCanvas& canvas, int x, int y) const;
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
    void Build(TCanvas& canvas, const QString& text);

    QTextLayout FLayout;
    QTextLine FLine;
    bool FRightToLeft = false;
};

// True when text holds characters of a right-to-left script.
bool HasRightToLeftText(const QString& text);
