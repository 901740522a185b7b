#include "text/RDTextLayout.h"

#include <QtGui/QGlyphRun>
#include <QtGui/QPainter>
#include <QtGui/QTextOption>

#include <algorithm>
#include <numeric>

#include "text/RDTextMeasure.h"

bool HasRightToLeftText(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x0590)
            continue;
        switch (c.direction()) {
        case QChar::DirR:
        case QChar::DirAL:
        case QChar::DirAN:
        case QChar::DirRLE:
        case QChar::DirRLO:
        case QChar::DirRLI:
            return true;
        default:
            break;
        }
    }
    return false;
}

namespace {

// Characters whose advance in a line is their own advance: no shaping,
// combining, joining or direction of their own. The table holds the units
// where that changes, beginning with simple ones at 0: Latin, Greek and
// Cyrillic, Latin and Greek extended, spaces and punctuation without the zero
// width and direction marks, symbols without their combining marks, CJK
// punctuation, kana and ideographs without the combining marks among them,
// Hangul syllables, compatibility ideographs, CJK compatibility forms, and
// full-width forms.
constexpr char16_t SimpleUnitChanges[] = {
    0x0300, 0x0370, 0x0483, 0x048A, 0x0530, 0x1E00, 0x200B, 0x2010, 0x2028, 0x2030, 0x2060, 0x2070, 0x20D0, 0x2100,
    0x302A, 0x3030, 0x3099, 0x309B, 0xA000, 0xAC00, 0xD7A4, 0xF900, 0xFB00, 0xFE30, 0xFE70, 0xFF00, 0xFFF0};

bool IsSimpleUnit(char16_t u)
{
    if (u < SimpleUnitChanges[0])
        return true;
    const auto changes = std::upper_bound(std::begin(SimpleUnitChanges), std::end(SimpleUnitChanges), u)
                         - std::begin(SimpleUnitChanges);
    return changes % 2 == 0;
}

}  // namespace

TRDLineLayout::TRDLineLayout(TCanvas& canvas, const QString& text, bool measure)
    : FText(text), FFont(canvas.Painter().font()), FDevice(canvas.Painter().device()),
      FDirection(canvas.Painter().layoutDirection())
{
    FRightToLeft = FDirection == Qt::RightToLeft || HasRightToLeftText(text);
    FSimple = measure && !FRightToLeft && MeasureSimple();
}

TRDLineLayout::TRDLineLayout(TCanvas& canvas, const QString& text, const QList<QTextLayout::FormatRange>& formats)
    : FText(text), FFont(canvas.Painter().font()), FDevice(canvas.Painter().device()),
      FDirection(canvas.Painter().layoutDirection()), FFormats(formats)
{
    FRightToLeft = FDirection == Qt::RightToLeft || HasRightToLeftText(text);
}

bool TRDLineLayout::MeasureSimple()
{
    for (const QChar c : FText)
        if (!IsSimpleUnit(c.unicode()))
            return false;
    const QFontMetricsF fm(FFont, FDevice);
    double spacing = 0;
    if (FFont.letterSpacingType() == QFont::AbsoluteSpacing)
        spacing = FFont.letterSpacing();
    else if (FFont.letterSpacing() != 0.0 && FFont.letterSpacing() != 100.0)
        return false;  // a share of each advance: the engine's own rounding

    FPrefix.resize(size_t(FText.size()) + 1);
    double x = 0;
    FPrefix[0] = 0;
    for (qsizetype i = 0; i < FText.size(); ++i) {
        x += fm.horizontalAdvance(FText.at(i)) + spacing;
        FPrefix[size_t(i) + 1] = x;
    }
    return true;
}

const QTextLine& TRDLineLayout::Line() const
{
    if (FLayout)
        return FLine;
    FLayout = std::make_unique<QTextLayout>(FText, FFont, FDevice);
    if (!FFormats.isEmpty())
        FLayout->setFormats(FFormats);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(FDirection == Qt::RightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    FLayout->setTextOption(option);
    FLayout->beginLayout();
    FLine = FLayout->createLine();
    if (FLine.isValid()) {
        FLine.setLineWidth(1.0e7);
        FLine.setPosition(QPointF(0, 0));
    }
    FLayout->endLayout();
    return FLine;
}

int TRDLineLayout::Width() const
{
    if (FSimple)
        return qRound(FPrefix.back());
    return Line().isValid() ? qRound(Line().naturalTextWidth()) : 0;
}

void TRDLineLayout::LogicalExtents(const TRDItemChars& chars, std::vector<int>& extents) const
{
    const int count = chars.Count();
    extents.resize(size_t(count));
    if (FSimple) {
        for (int i = 0; i < count; ++i)
            extents[size_t(i)] = qRound(FPrefix[size_t(chars.UnitEnd[size_t(i)])]);
        return;
    }
    const QTextLine& line = Line();
    if (!line.isValid()) {
        std::fill(extents.begin(), extents.end(), 0);
        return;
    }
    if (!FRightToLeft) {
        // Left to right: the extent after a character is the x of its end.
        int lastUnit = -1, lastX = 0;
        for (int i = 0; i < count; ++i) {
            const int unit = chars.UnitEnd[size_t(i)];
            if (unit != lastUnit) {
                lastX = qRound(line.cursorToX(unit));
                lastUnit = unit;
            }
            extents[size_t(i)] = lastX;
        }
        return;
    }
    // Mixed directions: the sum of the cell widths in logical order.
    std::vector<TCell> cells;
    Cells(chars, cells);
    int sum = 0;
    for (int i = 0; i < count; ++i) {
        sum += cells[size_t(i)].Advance;
        extents[size_t(i)] = sum;
    }
}

void TRDLineLayout::Cells(const TRDItemChars& chars, std::vector<TCell>& cells) const
{
    const int count = chars.Count();
    cells.assign(size_t(count), TCell{});
    if (count == 0)
        return;
    const QTextLine& line = FSimple ? FLine : Line();
    if (!FSimple && !line.isValid())
        return;
    // The first unit of every character.
    std::vector<int> startUnit(size_t(count), 0);
    for (int i = 1; i < count; ++i)
        startUnit[size_t(i)] = chars.UnitEnd[size_t(i - 1)];
    for (int i = 0; i < count; ++i) {
        const int u = startUnit[size_t(i)];
        const QChar::Direction dir = u < chars.Text.size() ? chars.Text.at(u).direction() : QChar::DirL;
        cells[size_t(i)].Rtl = dir == QChar::DirR || dir == QChar::DirAL;
    }
    if (!FRightToLeft) {
        int x = 0;
        for (int i = 0; i < count; ++i) {
            if (!chars.Lead[size_t(i)])
                continue;
            const int unit = chars.UnitEnd[size_t(i)];
            const int right = qRound(FSimple ? FPrefix[size_t(unit)] : line.cursorToX(unit));
            cells[size_t(i)].Left = x;
            cells[size_t(i)].Advance = right - x;
            x = right;
        }
        return;
    }
    // The edges of a character next to a change of direction are ambiguous:
    // cut the line at every edge the engine knows and give each piece to the
    // character with the narrowest edges around it, or else to the character
    // the engine finds there.
    const int units = int(chars.Text.size());
    std::vector<int> edges;
    edges.reserve(size_t(units) * 2 + 2);
    std::vector<std::pair<int, int>> own(size_t(count), {0, 0});
    for (int i = 0; i < count; ++i) {
        if (!chars.Lead[size_t(i)])
            continue;
        const int a = qRound(line.cursorToX(startUnit[size_t(i)], QTextLine::Leading));
        const int b = qRound(line.cursorToX(startUnit[size_t(i)], QTextLine::Trailing));
        own[size_t(i)] = {std::min(a, b), std::max(a, b)};
        edges.push_back(a);
        edges.push_back(b);
    }
    edges.push_back(0);
    edges.push_back(Width());
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    std::vector<int> charOfUnit(size_t(units) + 1, -1);
    for (int i = count - 1; i >= 0; --i)
        if (chars.Lead[size_t(i)])
            for (int u = startUnit[size_t(i)]; u < chars.UnitEnd[size_t(i)]; ++u)
                charOfUnit[size_t(u)] = i;
    std::vector<uint8_t> seen(size_t(count), 0);
    for (size_t k = 1; k < edges.size(); ++k) {
        const int from = edges[k - 1], to = edges[k];
        int c = -1;
        for (int i = 0; i < count; ++i) {
            const auto [lo, hi] = own[size_t(i)];
            if (hi > lo && lo <= from && to <= hi && (c < 0 || hi - lo < own[size_t(c)].second - own[size_t(c)].first))
                c = i;
        }
        if (c < 0) {
            const int u = line.xToCursor((from + to) / 2.0, QTextLine::CursorOnCharacter);
            if (u < 0 || u >= units || charOfUnit[size_t(u)] < 0)
                continue;
            c = charOfUnit[size_t(u)];
        }
        TCell& cell = cells[size_t(c)];
        if (!seen[size_t(c)] || from < cell.Left)
            cell.Left = from;
        cell.Advance += to - from;
        seen[size_t(c)] = 1;
    }
    // A character without a piece of its own (a zero-width character, the
    // second of a ligature) takes no width right after the one before it.
    int prev = -1;
    for (int i = 0; i < count; ++i) {
        if (!chars.Lead[size_t(i)])
            continue;
        if (!seen[size_t(i)]) {
            if (prev < 0)
                cells[size_t(i)].Left = qRound(line.cursorToX(startUnit[size_t(i)], QTextLine::Leading));
            else if (cells[size_t(prev)].Rtl)
                cells[size_t(i)].Left = cells[size_t(prev)].Left;
            else
                cells[size_t(i)].Left = cells[size_t(prev)].Left + cells[size_t(prev)].Advance;
        }
        prev = i;
    }
}

void TRDLineLayout::Place(const TRDItemChars& chars, TRDPlacement& placement) const
{
    const int count = chars.Count();
    placement.Order.assign(size_t(count), 0);
    placement.Advances.assign(size_t(count), 0);
    placement.Classes.assign(size_t(count), 0);
    placement.Width = 0;
    std::vector<TCell> cells;
    Cells(chars, cells);
    std::vector<int> leads;
    leads.reserve(size_t(count));
    for (int i = 0; i < count; ++i)
        if (chars.Lead[size_t(i)])
            leads.push_back(i);
    std::stable_sort(leads.begin(), leads.end(), [&cells](int a, int b) {
        const TCell& x = cells[size_t(a)];
        const TCell& y = cells[size_t(b)];
        if (x.Left != y.Left)
            return x.Left < y.Left;
        if ((x.Advance > 0) != (y.Advance > 0))
            return x.Advance == 0;
        return x.Rtl ? a > b : a < b;
    });
    int v = 0;
    for (const int lead : leads) {
        const TCell& cell = cells[size_t(lead)];
        // The lead, then the other bytes or units of its character in cells of
        // no width.
        for (int k = lead; k < count && (k == lead || !chars.Lead[size_t(k)]); ++k) {
            placement.Order[size_t(k)] = v;
            placement.Advances[size_t(v)] = k == lead ? cell.Advance : 0;
            placement.Classes[size_t(k)] = cell.Rtl ? RDRightToLeftClass : 0;
            ++v;
        }
        placement.Width += cell.Advance;
    }
}

void TRDLineLayout::Draw(TCanvas& canvas, int x, int y) const
{
    QPainter& painter = canvas.Painter();
    painter.setPen(ToQColor(canvas.Font.Color));
    Line();
    FLayout->draw(&painter, QPointF(x, y));
}

bool TRDLineLayout::GlyphPlaces(int count, std::vector<double>& places) const
{
    if (FRightToLeft || !Line().isValid())
        return false;
    FRuns = FLine.glyphRuns();
    places.clear();
    places.reserve(size_t(count) + 1);
    for (const QGlyphRun& run : FRuns)
        for (const QPointF& p : run.positions())
            places.push_back(p.x());
    if (places.size() != size_t(count) || !std::is_sorted(places.begin(), places.end()))
        return false;
    places.push_back(FLine.naturalTextWidth());
    return true;
}

void TRDLineLayout::DrawGlyphsAt(TCanvas& canvas, int x, int y, const std::vector<int>& starts) const
{
    QPainter& painter = canvas.Painter();
    painter.setPen(ToQColor(canvas.Font.Color));
    size_t g = 0;
    for (QGlyphRun& run : FRuns) {
        QList<QPointF> positions = run.positions();
        for (QPointF& p : positions)
            p.setX(starts[g++]);
        run.setPositions(positions);
        painter.drawGlyphRun(QPointF(x, y), run);
    }
}

void TRDLineLayout::DrawClipped(TCanvas& canvas, int x, int y, const QRect& clip, bool opaque) const
{
    QPainter& painter = canvas.Painter();
    painter.save();
    painter.setClipRect(clip, painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    if (opaque && canvas.BrushColor != clNone)
        painter.fillRect(clip, ToQColor(canvas.BrushColor));
    Draw(canvas, x, y);
    painter.restore();
}
