#include "UPlayerShared.h"

#include "Graphics.h"

#include <QtGui/QColor>
#include <QtGui/QFontMetrics>
#include <QtGui/QPaintEvent>
#include <QtGui/QPainter>
#include <QtGui/QTextLayout>

#include <algorithm>
#include <cmath>

namespace {

// Glyphs in one chunk of a shaped line: small enough that a paint of a few
// columns (the sung edge moving on) draws little beyond them, large enough
// that a line of 150,000 characters keeps only some thousand chunks.
constexpr qsizetype BoxChunkGlyphs = 16;

TFont BoxFont(const QString& name, TColor color)
{
    TFont font;
    font.Name = name;
    font.Size = 12;
    font.Bold = true;
    font.Color = color;
    return font;
}

QFont EnglishBoxFont()
{
    return BoxFont(QStringLiteral("MS Sans Serif"), SubtitleEnglishColor).ToQFont();
}

QFont ChinaBoxFont()
{
    return BoxFont(QStringLiteral("宋体"), SubtitleChinaColor).ToQFont();
}

bool SameText(const QString& a, const QString& b)
{
    return a.size() == b.size() && (a.constData() == b.constData() || a == b);
}

// Left of a line of width pixels centred in rect.
int CentredLeft(const QRect& rect, int width)
{
    return rect.left() + RoundHalfEven((rect.width() - width) / 2.0);
}

}  // namespace

// ------------------------------------------------------------ one line

void TSubtitleLine::Prepare(const QFont& font, const QString& text)
{
    if (FPrepared && SameText(text, FText) && font == FFont)
        return;
    FChunks.clear();
    FText = text;
    FFont = font;
    FPrepared = true;
    const QFontMetrics metrics(font);
    FWidth = metrics.horizontalAdvance(text);
    FHeight = metrics.height();
    FAscent = metrics.ascent();
    // The reach of a glyph's ink past its origin, either way: generous, as a
    // chunk drawn in vain is only clipped away.
    const double reach = std::max(metrics.maxWidth(), 2 * FHeight);

    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(Qt::LeftToRight);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid()) {
        line.setLineWidth(16777215.0);
        line.setPosition(QPointF(0, 0));
    }
    layout.endLayout();
    if (!line.isValid())
        return;
    const double baseline = line.ascent();
    for (const QGlyphRun& run : line.glyphRuns()) {
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        const qsizetype n = std::min(glyphs.size(), positions.size());
        for (qsizetype i = 0; i < n; i += BoxChunkGlyphs) {
            const qsizetype k = std::min(BoxChunkGlyphs, n - i);
            QList<QPointF> at = positions.mid(i, k);
            double left = at.front().x();
            double right = left;
            for (QPointF& p : at) {
                p.ry() -= baseline;
                left = std::min(left, p.x());
                right = std::max(right, p.x());
            }
            TChunk chunk;
            chunk.Run.setRawFont(run.rawFont());
            chunk.Run.setFlags(run.flags());
            chunk.Run.setGlyphIndexes(glyphs.mid(i, k));
            chunk.Run.setPositions(at);
            chunk.Left = left - reach;
            chunk.Right = right + reach;
            FChunks.push_back(std::move(chunk));
        }
    }
}

qsizetype TSubtitleLine::Glyphs() const
{
    qsizetype n = 0;
    for (const TChunk& chunk : FChunks)
        n += chunk.Run.glyphIndexes().size();
    return n;
}

qsizetype TSubtitleLine::Draw(QPainter& painter, int x, int y, const QRect& clip, const QColor& color) const
{
    if (clip.isEmpty())
        return 0;
    // The clip's span in the line's own x.
    const double from = clip.left() - x;
    const double to = clip.left() + clip.width() - x;
    painter.save();
    painter.setClipRect(clip, painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    painter.setPen(color);
    const QPointF origin(x, y + FAscent);
    qsizetype drawn = 0;
    for (const TChunk& chunk : FChunks) {
        if (chunk.Right <= from || chunk.Left >= to)
            continue;
        painter.drawGlyphRun(origin, chunk.Run);
        drawn += chunk.Run.glyphIndexes().size();
    }
    painter.restore();
    return drawn;
}

// ------------------------------------------------------------ the box

void TSubtitleBoxPainter::MakeFonts()
{
    if (FFontsMade)
        return;
    FEnglishFont = EnglishBoxFont();
    FChinaFont = ChinaBoxFont();
    FChinaGap = QFontMetrics(FChinaFont).height() + 8;
    FFontsMade = true;
}

int TSubtitleBoxPainter::EnglishWidth(const QString& english)
{
    MakeFonts();
    FEnglish.Prepare(FEnglishFont, english);
    return FEnglish.Width();
}

void TSubtitleBoxPainter::Paint(QPainter& painter, const QRect& rect, const TSubtitleBoxText& text, const QRect& dirty)
{
    FDrawnGlyphs = 0;
    const QRect part = dirty.isEmpty() ? rect : dirty & rect;
    if (part.isEmpty())
        return;
    MakeFonts();
    painter.save();
    painter.fillRect(part, Qt::black);
    if (text.ShowEnglish && !IsBlankLine(text.English)) {
        FEnglish.Prepare(FEnglishFont, text.English);
        const int w = FEnglish.Width();
        const int h = FEnglish.Height();
        const int x = CentredLeft(rect, w);
        const int y = rect.top() + text.EnglishTop;
        // The line's own rectangle (at least a pixel, as a picture of it would
        // be), as far as the box shows it; the sung part is its left part.
        const QRect line = QRect(x, y, std::max(1, w), std::max(1, h)) & rect;
        const int sung = SungWidth(w, text.Progress);
        FDrawnGlyphs += FEnglish.Draw(painter, x, y, QRect(x, y, sung, h) & line & part, ToQColor(SubtitleSungColor));
        const QRect rest = QRect(x + sung, y, std::max(1, w) - sung, h) & line & part;
        FDrawnGlyphs += FEnglish.Draw(painter, x, y, rest, ToQColor(SubtitleEnglishColor));
    }
    if (text.ShowChina && !IsBlankLine(text.China)) {
        FChina.Prepare(FChinaFont, text.China);
        const int x = CentredLeft(rect, FChina.Width());
        const int y = rect.top() + text.EnglishTop + FChinaGap;
        FDrawnGlyphs += FChina.Draw(painter, x, y, part, ToQColor(SubtitleChinaColor));
    }
    painter.restore();
}

void TSubtitlePaintBox::paintEvent(QPaintEvent* event)
{
    // The players' paint handlers let nothing escape.
    FPaintRect = event->rect();
    TPaintBox::paintEvent(event);
    FPaintRect = QRect();
}

void PaintSubtitleBox(QPainter& painter, const QRect& rect, const TSubtitleBoxText& text)
{
    TSubtitleBoxPainter box;
    box.Paint(painter, rect, text);
}

int SungWidth(int width, double progress)
{
    if (!(progress > 0) || width <= 0)
        return 0;
    if (progress >= 1)
        return width;
    return std::clamp(RoundHalfEven(width * progress), 0, width);
}

int VisibleSungEdge(const QRect& rect, int width, double progress)
{
    const int left = CentredLeft(rect, width);
    return std::clamp(left + SungWidth(width, progress), rect.left(), rect.left() + std::max(0, rect.width()));
}

QRect SungEdgeChange(const QRect& rect, int top, int height, int from, int to)
{
    if (from < 0)
        return rect;
    if (from == to)
        return QRect();
    if (height <= 0) {
        top = 0;
        height = rect.height();
    }
    const int left = std::min(from, to);
    return QRect(left, rect.top() + top, std::max(from, to) - left, height) & rect;
}

bool IsBlankLine(const QString& line)
{
    return std::all_of(line.cbegin(), line.cend(), [](QChar c) { return c.isSpace(); });
}

int NextSelected(int count, int from, const TIsSelected& selected)
{
    for (int i = std::max(0, from); i < count; ++i)
        if (selected(i))
            return i;
    return -1;
}

int PrevSelected(int count, int from, const TIsSelected& selected)
{
    for (int i = std::min(from, count - 1); i >= 0; --i)
        if (selected(i))
            return i;
    return -1;
}

int IndexOfTime(int count, std::int64_t ms, const TTimeOf& start, const TTimeOf& end, bool endIncluded)
{
    for (int i = 0; i < count; ++i) {
        const std::int64_t s = start(i);
        const std::int64_t e = end(i);
        if (s <= ms && (ms < e || (endIncluded && ms == e)))
            return i;
    }
    return -1;
}

int IndexNearTime(int count, std::int64_t ms, const TTimeOf& start)
{
    int after = -1;
    int last = -1;
    std::int64_t afterStart = 0;
    std::int64_t lastStart = 0;
    for (int i = 0; i < count; ++i) {
        const std::int64_t s = start(i);
        if (s > ms) {
            if (after < 0 || s < afterStart) {
                after = i;
                afterStart = s;
            }
        } else if (last < 0 || s > lastStart) {
            last = i;
            lastStart = s;
        }
    }
    return after >= 0 ? after : last;
}
