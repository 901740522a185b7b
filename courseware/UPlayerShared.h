#pragma once

// What the audio and the video player share: the subtitle box under the
// picture or waveform, with its sung-along English line, and the lookups over
// a player's sentence list (the next and previous selected sentence, the
// sentence that holds a time).
//
// The lookups take the list as a count and accessors by position, so that
// the audio player can walk its play queue and the video player its cue list.
//
// The box is painted on every step of the sung part while a sentence plays,
// so a paint must cost what it shows: each line is shaped once (for its text
// and font) and kept as glyphs in short chunks, and a paint draws only the
// chunks that meet the box. A line of any length paints in the same time and
// memory as one that just fills the box.

#include "Forms.h"

#include <QtCore/QRect>
#include <QtCore/QString>
#include <QtGui/QFont>
#include <QtGui/QGlyphRun>

#include <cstdint>
#include <functional>
#include <vector>

class QColor;
class QPainter;

// ------------------------------------------------------------ subtitle box

// Height of the subtitle box in pixels.
constexpr int SubtitleBoxHeight = 58;

// Colours of the box (colour numbers: red in the lowest byte).
constexpr std::uint32_t SubtitleEnglishColor = 0xFED302;  // the English line not yet sung
constexpr std::uint32_t SubtitleSungColor = 0x65FFFE;     // the part of it already sung
constexpr std::uint32_t SubtitleChinaColor = 0x50DD94;    // the Chinese line

// What the box shows.
struct TSubtitleBoxText {
    QString English;
    QString China;
    bool ShowEnglish = true;
    bool ShowChina = true;
    // The sung part of the English line as a fraction of its width; below 0
    // nothing is sung, above 1 all of it.
    double Progress = 0;
    // Top of the English line; the Chinese line follows it after a gap of 8.
    int EnglishTop = 0;
};

// One line of text shaped once: its measures, and its glyphs in chunks of a
// few dozen, each with the span of x its glyphs may ink.
class TSubtitleLine {
public:
    // Shapes text in font; nothing is done when both are those of the last
    // call.
    void Prepare(const QFont& font, const QString& text);
    // The advance of the whole text in whole pixels (as the font's metrics
    // measure it) and the font's line height.
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // Draws the line in color with its top-left corner at (x, y), only inside
    // clip (within the painter's own clip); gives the number of glyphs handed
    // to the painter.
    qsizetype Draw(QPainter& painter, int x, int y, const QRect& clip, const QColor& color) const;
    // The glyphs kept for the whole line.
    qsizetype Glyphs() const;

private:
    struct TChunk {
        QGlyphRun Run;  // positions with the baseline at y = 0
        double Left = 0;
        double Right = 0;
    };
    QString FText;
    QFont FFont;
    bool FPrepared = false;
    int FWidth = 0;
    int FHeight = 0;
    int FAscent = 0;
    std::vector<TChunk> FChunks;
};

// The box's painter, keeping the shaped lines of the sentence on show from
// one paint to the next (a new sentence, font or text shapes them again).
class TSubtitleBoxPainter {
public:
    // Paints the box into rect: black, the English line (when not blank and
    // shown) centred at EnglishTop in bold 12-point "MS Sans Serif", its left
    // part up to Progress of its width in the sung colour; the Chinese line
    // (when not blank and shown) centred in bold 12-point "宋体", at EnglishTop
    // plus the height of the English text measured in the Chinese font plus
    // 8. Each line shows as a picture of exactly the text's width and height
    // would: glyph parts outside that rectangle are cut. Only the part dirty
    // of the box is painted (the whole box when dirty is empty).
    void Paint(QPainter& painter, const QRect& rect, const TSubtitleBoxText& text, const QRect& dirty = QRect());
    // The width of an English line in the box's English font (shaped for the
    // next paint as well).
    int EnglishWidth(const QString& english);

    const TSubtitleLine& EnglishLine() const { return FEnglish; }
    const TSubtitleLine& ChinaLine() const { return FChina; }
    // The glyphs the last paint handed to the painter (both lines).
    qsizetype DrawnGlyphs() const { return FDrawnGlyphs; }

private:
    // The box's fonts and the Chinese line's offset below the English line's
    // top, made at the first use.
    void MakeFonts();

    TSubtitleLine FEnglish;
    TSubtitleLine FChina;
    qsizetype FDrawnGlyphs = 0;
    bool FFontsMade = false;
    QFont FEnglishFont;
    QFont FChinaFont;
    int FChinaGap = 0;
};

// The control of a player's subtitle box: a paint box that knows, while it
// paints, which part of it is being painted, so that a repaint of a few
// columns draws only what meets them.
class TSubtitlePaintBox : public TPaintBox {
public:
    using TPaintBox::TPaintBox;
    // During a paint the part being painted, else the whole box.
    QRect PaintRect() const { return FPaintRect.isNull() ? rect() : FPaintRect; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect FPaintRect;
};

// Paints the box once (see TSubtitleBoxPainter::Paint).
void PaintSubtitleBox(QPainter& painter, const QRect& rect, const TSubtitleBoxText& text);

// The sung width of a line of width pixels at progress (to the nearest
// whole pixel, halves to even; 0 .. width).
int SungWidth(int width, double progress);

// Where the sung part of an English line of width pixels at progress ends
// as the box of rect shows it: the sung edge, held to the box's left and
// right. The box looks different only when this moves. Sung widths are
// whole pixels of the box, so this moves whenever a device pixel changes,
// at any device pixel ratio.
int VisibleSungEdge(const QRect& rect, int width, double progress);

// The part of a box of rect that looks different when its sung edge moves
// from `from` to `to` (both as VisibleSungEdge gives them): the columns
// between the two edges, on the rows of the English line (top and height in
// the box; the box's whole height when height is not above 0). Empty when
// the edge stands; the whole box when from is below 0 (nothing is known of
// what the box shows).
QRect SungEdgeChange(const QRect& rect, int top, int height, int from, int to);

// Whether a line is blank (only white space): such a line is not drawn.
bool IsBlankLine(const QString& line);

// ------------------------------------------------------------ lookups

using TIsSelected = std::function<bool(int index)>;
using TTimeOf = std::function<std::int64_t(int index)>;

// The first index at or after from (from below 0 counts as 0) whose sentence
// is selected; -1 when there is none, also when from lies past the end.
int NextSelected(int count, int from, const TIsSelected& selected);
// The last index at or before from (from past the end counts as the last
// index) whose sentence is selected; -1 when there is none or from is below 0.
int PrevSelected(int count, int from, const TIsSelected& selected);

// The first index whose sentence holds ms: start <= ms < end, or
// start <= ms <= end with endIncluded; -1 when none does.
int IndexOfTime(int count, std::int64_t ms, const TTimeOf& start, const TTimeOf& end, bool endIncluded);
// The index of the sentence that starts first after ms; when none starts
// after it, the one that starts last (at or before ms). -1 only for an empty
// list. Gives a valid current sentence for a time that no sentence holds
// (before the first, in a gap).
int IndexNearTime(int count, std::int64_t ms, const TTimeOf& start);
