// Painting a table on the screen: background, borders, rules, cells.
//
// Every border, rule and grid line is drawn as one-pixel lines or bands that
// are cut to the area being painted, so a width of any size costs no more
// than the pixels it can reach.

#include "tables/RDTable.h"

#include <algorithm>
#include <cstdint>

#include <QtGui/QPainter>

#include "core/RDGraphUtils.h"
#include "document/CRDData.h"
#include "document/RDTextItems.h"
#include "editing/RDEdit.h"
#include "editing/RDERDData.h"
#include "layout/CRDFData.h"
#include "styles/RDStyle.h"

namespace {

// The grid of a table that can be edited, where borders are not drawn.
constexpr TColor PaintGridColor = clBtnFace;

// The area a drawing may touch, in the canvas's coordinates: the painter's
// clip, else the whole paint device.
QRect PaintClipOf(TCanvas& canvas)
{
    QPainter& p = canvas.Painter();
    if (p.hasClipping())
        return p.clipBoundingRect().toAlignedRect();
    const QPaintDevice* device = p.device();
    const QRect whole = device ? QRect(0, 0, device->width(), device->height()) : QRect();
    return p.transform().inverted().mapRect(whole);
}

// The pixels x0..x1, y0..y1 (both ends included) in colour, as far as they lie
// within clip grown by one pixel; nothing when the range is empty.
void PaintBand(QPainter& p, int64_t x0, int64_t y0, int64_t x1, int64_t y1, const QColor& color, const QRect& clip)
{
    x0 = std::max<int64_t>(x0, int64_t(clip.left()) - 1);
    y0 = std::max<int64_t>(y0, int64_t(clip.top()) - 1);
    x1 = std::min<int64_t>(x1, int64_t(clip.right()) + 1);
    y1 = std::min<int64_t>(y1, int64_t(clip.bottom()) + 1);
    if (x0 > x1 || y0 > y1)
        return;
    p.fillRect(QRect(int(x0), int(y0), int(x1 - x0 + 1), int(y1 - y0 + 1)), color);
}

// Dotted one-pixel lines: a dot on every second pixel from the start, the end
// left out, as a dotted pen draws them.
void PaintDotLineH(QPainter& p, int64_t x0, int64_t x1, int64_t y, const QColor& color, const QRect& clip)
{
    if (y < clip.top() - 1 || y > clip.bottom() + 1)
        return;
    int64_t from = std::max<int64_t>(x0, int64_t(clip.left()) - 2);
    from += (from - x0) & 1;
    const int64_t to = std::min<int64_t>(x1 - 1, int64_t(clip.right()) + 1);
    for (int64_t x = from; x <= to; x += 2)
        p.fillRect(QRect(int(x), int(y), 1, 1), color);
}

void PaintDotLineV(QPainter& p, int64_t x, int64_t y0, int64_t y1, const QColor& color, const QRect& clip)
{
    if (x < clip.left() - 1 || x > clip.right() + 1)
        return;
    int64_t from = std::max<int64_t>(y0, int64_t(clip.top()) - 2);
    from += (from - y0) & 1;
    const int64_t to = std::min<int64_t>(y1 - 1, int64_t(clip.bottom()) + 1);
    for (int64_t y = from; y <= to; y += 2)
        p.fillRect(QRect(int(x), int(y), 1, 1), color);
}

// The grid line along a side without a border: groups of three dots two
// pixels apart, a group every eight pixels from the start, as long as a group
// starts before the end (so the last group may pass it by up to five pixels).
void PaintGridLineV(QPainter& p, int64_t x, int64_t y1, int64_t y2, const QColor& color, const QRect& clip)
{
    if (x < clip.left() - 1 || x > clip.right() + 1 || y1 >= y2)
        return;
    int64_t y = y1;
    const int64_t firstUseful = int64_t(clip.top()) - 6;
    if (y < firstUseful)
        y += (firstUseful - y) / 8 * 8;
    const int64_t last = std::min<int64_t>(y2 - 1, int64_t(clip.bottom()) + 1);
    for (; y <= last; y += 8)
        for (int k = 0; k <= 4; k += 2)
            p.fillRect(QRect(int(x), int(y + k), 1, 1), color);
}

void PaintGridLineH(QPainter& p, int64_t x1, int64_t x2, int64_t y, const QColor& color, const QRect& clip)
{
    if (y < clip.top() - 1 || y > clip.bottom() + 1 || x1 >= x2)
        return;
    int64_t x = x1;
    const int64_t firstUseful = int64_t(clip.left()) - 6;
    if (x < firstUseful)
        x += (firstUseful - x) / 8 * 8;
    const int64_t last = std::min<int64_t>(x2 - 1, int64_t(clip.right()) + 1);
    for (; x <= last; x += 8)
        for (int k = 0; k <= 4; k += 2)
            p.fillRect(QRect(int(x + k), int(y), 1, 1), color);
}

// The strokes k = 0 .. count-1 of one side that can reach clip: a stroke
// stands at base + step * k (step 1 or -1) and only positions within
// [lo, hi] (the clip) are kept; the answer is the first and last k.
bool PaintStrokeRange(int64_t base, int step, int64_t count, int64_t lo, int64_t hi, int64_t& first, int64_t& last)
{
    if (count <= 0)
        return false;
    if (step > 0) {
        first = std::max<int64_t>(0, lo - base);
        last = std::min<int64_t>(count - 1, hi - base);
    } else {
        first = std::max<int64_t>(0, base - hi);
        last = std::min<int64_t>(count - 1, base - lo);
    }
    return first <= last;
}

}  // namespace

// ---- colours ----

namespace {

// The background colour of the paragraph the table stands in, in a
// formatted document; clNone otherwise.
TColor PaintParaBackColor(const TRDTableItemInfo& table, TCustomRDData* owner)
{
    if (dynamic_cast<TCustomRDFormattedData*>(owner) == nullptr)
        return clNone;
    const TRDStyle* style = owner->GetRDStyle();
    if (style == nullptr || table.ParaNo < 0 || table.ParaNo >= style->ParaStyles().Count())
        return clNone;
    return style->ParaStyles().Items(table.ParaNo)->Background.Color;
}

}  // namespace

TColor TRDTableItemInfo::GetCellColor(const TRDTableCellData& cell) const
{
    if (cell.Color != clNone)
        return cell.Color;
    if (FColor != clNone)
        return FColor;
    TCustomRDData* owner = Rows->OwningData;
    if (owner == nullptr)
        return clNone;
    const TColor para = PaintParaBackColor(*this, owner);
    return para != clNone ? para : owner->GetColor();
}

bool TRDTableItemInfo::IsCellTransparent(const TRDTableCellData& cell) const
{
    return cell.Color == clNone && FColor == clNone && PaintParaBackColor(*this, Rows->OwningData) == clNone;
}

TColor TRDTableItemInfo::GetTableBackColor(bool withDocumentColor) const
{
    if (FColor != clNone)
        return FColor;
    TCustomRDData* owner = Rows->OwningData;
    const TColor para = PaintParaBackColor(*this, owner);
    if (para != clNone || !withDocumentColor || owner == nullptr)
        return para;
    return owner->GetColor();
}

TColor TRDTableItemInfo::GetCellOrTableColor(const TRDTableCellData& cell) const
{
    return cell.Color != clNone ? cell.Color : FColor;
}

// ---- borders ----

bool TRDTableItemInfo::GridSideCovered(int row, int col, int side) const
{
    const TRDTableCellData* cell = GetCell(row, col);
    if (cell == nullptr)
        return false;
    const bool vertical = side == 0 || side == 2;
    int64_t nRow = row, nCol = col;
    switch (side) {
    case 0: nCol = int64_t(col) - 1; break;
    case 1: nRow = int64_t(row) - 1; break;
    case 2: nCol = int64_t(col) + cell->ColSpan; break;
    default: nRow = int64_t(row) + cell->RowSpan; break;
    }
    const bool atEdge = nRow < 0 || nCol < 0 || nRow >= RowCount() || nCol >= ColCount();
    if (atEdge) {
        const int spacing = vertical ? FBorderHSpacing : FBorderVSpacing;
        if (spacing >= 0 || FBorderWidth <= 0)
            return false;
        switch (side) {
        case 0: return VisibleBorders.Left;
        case 1: return VisibleBorders.Top;
        case 2: return VisibleBorders.Right;
        default: return VisibleBorders.Bottom;
        }
    }
    if ((vertical ? FCellHSpacing : FCellVSpacing) >= 0)
        return false;
    int mainCol = 0, mainRow = 0;
    const TRDTableCellData* neighbour = Rows->GetMainCell(int(nRow), int(nCol), mainCol, mainRow);
    if (neighbour == nullptr)
        return false;
    switch (side) {
    case 0: return neighbour->VisibleBorders.Right;
    case 1: return neighbour->VisibleBorders.Bottom;
    case 2: return neighbour->VisibleBorders.Left;
    default: return neighbour->VisibleBorders.Top;
    }
}

void TRDTableItemInfo::DrawBorder(TCanvas& canvas, int left, int top, int right, int bottom, int width,
                                  TColor lightColor, TColor color, TColor backgroundColor, TRDTableBorderStyle style,
                                  bool printing, bool editing, bool showGrid, const TRDBooleanRect& visibleBorders,
                                  int row, int col, int colorMode, const QRect& clip) const
{
    // 1. Nothing outside the area painted.
    if (int64_t(right) < clip.left() || int64_t(left) > clip.right() || int64_t(bottom) < clip.top() ||
        int64_t(top) > clip.bottom())
        return;
    // 2. The handler may draw the border itself.
    if (OnDrawBorder) {
        bool doDefault = true;
        OnDrawBorder(const_cast<TRDTableItemInfo*>(this), canvas, left, top, right, bottom, width, lightColor, color,
                     backgroundColor, style, printing, visibleBorders, row, col, doDefault);
        if (!doDefault)
            return;
    }
    QPainter& p = canvas.Painter();
    // 3. The dotted grid shows only on the screen of a table that can be edited.
    const bool grid = showGrid && !printing && editing;
    const QColor gridColor = ToQColor(PaintGridColor);
    // 4. No border: the grid rectangle.
    if (width <= 0) {
        if (grid) {
            PaintDotLineH(p, left, right, top, gridColor, clip);
            PaintDotLineH(p, left, right, int64_t(bottom) - 1, gridColor, clip);
            PaintDotLineV(p, left, top, bottom, gridColor, clip);
            PaintDotLineV(p, int64_t(right) - 1, top, bottom, gridColor, clip);
        }
        return;
    }
    // 5. The grid along the invisible sides, unless a neighbour's border lies
    // over that side.
    if (grid && !visibleBorders.IsAllEqual(true)) {
        const bool cellSides = row >= 0 && col >= 0;
        auto covered = [&](int side) { return cellSides && GridSideCovered(row, col, side); };
        if (!visibleBorders.Left && !covered(0))
            PaintGridLineV(p, left, top, bottom, gridColor, clip);
        if (!visibleBorders.Top && !covered(1))
            PaintGridLineH(p, left, right, top, gridColor, clip);
        if (!visibleBorders.Right && !covered(2))
            PaintGridLineV(p, int64_t(right) - 1, top, bottom, gridColor, clip);
        if (!visibleBorders.Bottom && !covered(3))
            PaintGridLineH(p, left, right, int64_t(bottom) - 1, gridColor, clip);
    }
    // 6. The border itself. Right and bottom become the last pixels inside.
    const int64_t l = left, t = top, r = int64_t(right) - 1, b = int64_t(bottom) - 1;
    const int64_t w = width;
    // The strokes k of one side: horizontal ones at y = y0 + dir * k from
    // x = l + k * inset to r - k * inset, vertical ones likewise; a side stops
    // once its strokes have crossed the rectangle.
    auto strokesH = [&](int64_t y0, int dir, int inset, const QColor& c) {
        const int64_t crossing = b - t + 1;
        int64_t first = 0, last = 0;
        if (!PaintStrokeRange(y0, dir, std::min(w, crossing), int64_t(clip.top()) - 1, int64_t(clip.bottom()) + 1,
                              first, last))
            return;
        if (inset == 0) {
            const int64_t y1 = y0 + dir * first, y2 = y0 + dir * last;
            PaintBand(p, l, std::min(y1, y2), r, std::max(y1, y2), c, clip);
            return;
        }
        for (int64_t k = first; k <= last; ++k)
            PaintBand(p, l + k, y0 + dir * k, r - k, y0 + dir * k, c, clip);
    };
    auto strokesV = [&](int64_t x0, int dir, int inset, const QColor& c) {
        const int64_t crossing = r - l + 1;
        int64_t first = 0, last = 0;
        if (!PaintStrokeRange(x0, dir, std::min(w, crossing), int64_t(clip.left()) - 1, int64_t(clip.right()) + 1,
                              first, last))
            return;
        if (inset == 0) {
            const int64_t x1 = x0 + dir * first, x2 = x0 + dir * last;
            PaintBand(p, std::min(x1, x2), t, std::max(x1, x2), b, c, clip);
            return;
        }
        for (int64_t k = first; k <= last; ++k)
            PaintBand(p, x0 + dir * k, t + k, x0 + dir * k, b - k, c, clip);
    };
    switch (style) {
    case TRDTableBorderStyle::rdtbRaised:
    case TRDTableBorderStyle::rdtbLowered:
    case TRDTableBorderStyle::rdtbRaisedColor:
    case TRDTableBorderStyle::rdtbLoweredColor: {
        // Highlight against a background of the highlight's own colour shows
        // as the button face.
        const bool sameAsHighlight = backgroundColor != clNone &&
                                     ColorToRGB(backgroundColor) == ColorToRGB(clBtnHighlight);
        const TColor highlight = sameAsHighlight ? clBtnFace : clBtnHighlight;
        TColor topLeft = highlight, bottomRight = clBtnShadow;
        switch (style) {
        case TRDTableBorderStyle::rdtbLowered: topLeft = clBtnShadow; bottomRight = highlight; break;
        case TRDTableBorderStyle::rdtbRaisedColor: topLeft = lightColor; bottomRight = color; break;
        case TRDTableBorderStyle::rdtbLoweredColor: topLeft = color; bottomRight = lightColor; break;
        default: break;
        }
        topLeft = ColorByColorMode(topLeft, colorMode);
        bottomRight = ColorByColorMode(bottomRight, colorMode);
        // Every stroke moves one pixel in from the last on all four edges, so
        // the colours meet on the diagonals of the corners.
        if (topLeft != clNone) {
            const QColor c = ToQColor(topLeft);
            if (visibleBorders.Top)
                strokesH(t, 1, 1, c);
            if (visibleBorders.Left)
                strokesV(l, 1, 1, c);
        }
        if (bottomRight != clNone) {
            const QColor c = ToQColor(bottomRight);
            if (visibleBorders.Bottom)
                strokesH(b, -1, 1, c);
            if (visibleBorders.Right)
                strokesV(r, -1, 1, c);
        }
        break;
    }
    case TRDTableBorderStyle::rdtbColor: {
        if (color == clNone)
            break;
        const QColor c = ToQColor(ColorByColorMode(color, colorMode));
        if (visibleBorders.IsAllEqual(true)) {
            // One frame inside the rectangle, as wide as the border.
            strokesH(t, 1, 0, c);
            strokesH(b, -1, 0, c);
            strokesV(l, 1, 0, c);
            strokesV(r, -1, 0, c);
            break;
        }
        // Side by side: with overlapping corners every stroke runs the full
        // length of its side, else the edges move in after each stroke.
        const int inset = (Options & rdtoOverlappingCorners) ? 0 : 1;
        if (visibleBorders.Left)
            strokesV(l, 1, inset, c);
        if (visibleBorders.Top)
            strokesH(t, 1, inset, c);
        if (visibleBorders.Right)
            strokesV(r, -1, inset, c);
        if (visibleBorders.Bottom)
            strokesH(b, -1, inset, c);
        break;
    }
    }
}

// ---- the table ----

namespace {

// Draws the background picture over area (canvas coordinates) as if it
// covered the rectangle window, the colour under it where the picture needs one.
void PaintPicture(TCanvas& canvas, const TRDBackground& background, const QRect& area, const QRect& window,
                  TColor color)
{
    if (area.isEmpty())
        return;
    QPainter& p = canvas.Painter();
    p.save();
    p.setClipRect(area, Qt::IntersectClip);
    p.translate(area.topLeft());
    background.DrawBackgroundRect(canvas, area.translated(-window.topLeft()), false, false, color, window.width(),
                                  window.height(), 0, 0, 0, 0);
    p.restore();
}

bool PaintHasPicture(const TRDBackground* background)
{
    return background != nullptr && background->GetImage() != nullptr && !background->GetImage()->Empty();
}

// A rectangle of canvas coordinates from 64-bit edges, cut to what an int holds.
QRect PaintRectOf(int64_t left, int64_t top, int64_t width, int64_t height)
{
    auto clamp = [](int64_t v) { return int(std::clamp<int64_t>(v, INT32_MIN / 2, INT32_MAX / 2)); };
    const int l = clamp(left), t = clamp(top);
    return QRect(QPoint(l, t), QPoint(clamp(left + width) - 1, clamp(top + height) - 1));
}

}  // namespace

void TRDTableItemInfo::PaintFullLine(int left, int right, int top, TRDStyle* rdStyle, uint16_t state,
                                     TCanvas& canvas, TCustomRDData* rdData) const
{
    Q_UNUSED(right);
    Q_UNUSED(rdData);
    PaintTo(canvas, left, top, PaintClipOf(canvas), state, rdStyle);
}

void TRDTableItemInfo::PaintTo(TCanvas& canvas, int x, int y, const QRect& clip, uint16_t drawState,
                               TRDStyle* rdStyle) const
{
    QPainter& p = canvas.Painter();
    TCustomRDData* owner = Rows->OwningData;
    auto* formatted = dynamic_cast<TCustomRDFormattedData*>(owner);
    // 1. The selection colour by the focus; whether the table can be edited.
    TColor selColor = clNone;
    if (rdStyle != nullptr) {
        const bool focused = formatted != nullptr && formatted->IsControlFocused();
        selColor = focused ? rdStyle->SelColor : rdStyle->InactiveSelColor;
    }
    bool editing = false;
    if (TableState & tsInEditor)
        if (auto* edit = dynamic_cast<TRDEditRDData*>(owner))
            editing = edit->Editor() == nullptr || !edit->Editor()->ReadOnly();
    PaintOriginX = x;
    PaintOriginY = y;
    const TRDTableItemFormattingInfo& layout = Layout;
    const int rowCount = RowCount(), colCount = ColCount();
    if (int(layout.RowTops.size()) < rowCount || int(layout.ColumnLefts.size()) < colCount)
        return;
    // 2. Rules and the cell border width.
    const bool vRule = FVRuleWidth != 0 && FVRuleColor != clNone;
    const bool hRule = FHRuleWidth != 0 && FHRuleColor != clNone;
    const int cb = ScaleY(FCellBorderWidth);
    // 3. The rows from the one the clip's top falls in; the table's rectangle.
    const int first = FindStartIndex(clip.top() - y - ScaleY(FBorderWidth), layout.RowTops);
    const int last = rowCount - 1;
    const QRect tr = PaintRectOf(x, y, layout.Width, layout.Height);
    // 4. The background.
    const QRect visibleTable = tr.intersected(clip);
    if (PaintHasPicture(Background.get()))
        PaintPicture(canvas, *Background, visibleTable, tr, BackColorByColorMode(FColor, 0));
    else if (FColor != clNone && !visibleTable.isEmpty())
        p.fillRect(visibleTable, ToQColor(FColor));
    canvas.PenWidth = 1;
    const int64_t trTop = tr.top(), trBottom = int64_t(tr.bottom()) + 1;
    const int64_t trLeft = tr.left(), trRight = int64_t(tr.right()) + 1;
    // 6. Vertical rules: w one-pixel lines each, the first w div 2 left of x.
    if (vRule) {
        const QColor c = ToQColor(FVRuleColor);
        const int64_t w = ScaleX(FVRuleWidth);
        const int64_t half = (int64_t(ScaleX(int64_t(FCellHSpacing) + 2 * int64_t(FCellBorderWidth))) + 1) / 2;
        const int firstCol = FindStartIndex(
            int(std::clamp<int64_t>(int64_t(clip.left()) - x -
                                        ScaleX(int64_t(FBorderWidth) + FCellHSpacing + FBorderHSpacing),
                                    INT32_MIN, INT32_MAX)),
            layout.ColumnLefts);
        const int64_t inset = hRule && FHOutermostRule ? ScaleY(int64_t(FBorderWidth) + FBorderVSpacing / 2) : 0;
        auto rule = [&](int64_t at) {
            // Lines past the table's sides are not drawn.
            PaintBand(p, std::max(at - w / 2, trLeft), trTop + inset, std::min(at - w / 2 + w - 1, trRight - 1),
                      trBottom - inset - 1, c, clip);
        };
        if (FVOutermostRule && firstCol == 0)
            rule(trLeft + ScaleX(int64_t(FBorderWidth) + FBorderHSpacing / 2));
        for (int col = firstCol + 1; col < colCount; ++col) {
            const int64_t at = int64_t(layout.ColumnLefts[col]) + x - half;
            if (clip.right() < at - w)
                break;
            rule(at);
        }
        if (FVOutermostRule)
            rule(trRight - ScaleX(int64_t(FBorderWidth) + FBorderHSpacing / 2) - (w % 2 != 0 ? 1 : 0));
    }
    // 7. Horizontal rules: w one-pixel lines each, the first w div 2 above y.
    if (hRule) {
        const QColor c = ToQColor(FHRuleColor);
        const int64_t w = ScaleY(FHRuleWidth);
        const int64_t half = (int64_t(ScaleY(int64_t(FCellVSpacing) + 2 * int64_t(FCellBorderWidth))) + 1) / 2;
        const int64_t inset = vRule && FVOutermostRule ? ScaleX(int64_t(FBorderWidth) + FBorderHSpacing / 2) : 0;
        auto rule = [&](int64_t at) {
            PaintBand(p, trLeft + inset, std::max(at - w / 2, trTop), trRight - inset - 1,
                      std::min(at - w / 2 + w - 1, trBottom - 1), c, clip);
        };
        if (FHOutermostRule && first < 2)
            rule(trTop + ScaleY(int64_t(FBorderWidth) + FBorderVSpacing / 2));
        for (int row = first; row < last; ++row) {
            const int64_t at = int64_t(layout.RowTops[row + 1]) + y - half;
            if (clip.bottom() < at - w)
                break;
            rule(at);
        }
        if (FHOutermostRule)
            rule(trBottom - ScaleY(int64_t(FBorderWidth) + FBorderVSpacing / 2) - (w % 2 != 0 ? 1 : 0));
    }
    // 8. The outer border.
    DrawBorder(canvas, tr.left(), tr.top(), tr.right() + 1, tr.bottom() + 1, FBorderWidth, FBorderLightColor,
               FBorderColor, owner ? owner->GetColor() : clNone, FBorderStyle, false, editing,
               !(Options & rdtoHideGridLines), VisibleBorders, -1, -1, 0, clip);
    if (rowCount == 0 || first > last)
        return;
    // 9a. Cells reaching into the first row painted from rows above it.
    if (first > 0)
        for (int col = colCount - 1; col >= 0; --col) {
            if (GetCell(first, col) != nullptr)
                continue;
            for (int row = first - 1; row >= 0; --row)
                if (const TRDTableCellData* cell = GetCell(row, col)) {
                    if (int64_t(row) + cell->RowSpan > first)
                        PaintCell(canvas, row, col, layout.ColumnLefts[col] + x, layout.RowTops[row] + y, clip,
                                  drawState, selColor, editing, rdStyle);
                    break;
                }
        }
    // 9c. The rows from the first, as far as the clip reaches.
    const bool showBreaks = formatted != nullptr && (owner->GetOptions() & rdoShowPageBreaks);
    for (int row = first; row <= last; ++row) {
        const int cellTop = layout.RowTops[row] + y;
        if (clip.bottom() < int64_t(cellTop) - cb)
            break;
        for (int col = 0; col < colCount; ++col) {
            const int cellLeft = layout.ColumnLefts[col] + x;
            if (clip.right() < int64_t(cellLeft) - cb)
                break;
            if (GetCell(row, col) != nullptr)
                PaintCell(canvas, row, col, cellLeft, cellTop, clip, drawState, selColor, editing, rdStyle);
        }
        // 9d. A row that starts a printed page shows the break.
        if (showBreaks && row > 0 && Rows->Row(row)->PageBreakBefore && rdStyle != nullptr) {
            int docX = 0, docY = 0;
            const int itemNo = const_cast<TRDTableItemInfo*>(this)->GetMyItemNo();
            const int xShift = formatted->GetItemCoords(itemNo, docX, docY) ? docX - x : 0;
            TRDHost* host = formatted->GetHost();
            rdStyle->DrawPageBreak(canvas, cellTop, xShift, TRDPageBreakType::rdpbPageBreak,
                                   host ? host->EventControl() : nullptr, formatted, itemNo, formatted->GetWidth());
        }
    }
    canvas.PenWidth = 1;
}

void TRDTableItemInfo::PaintCell(TCanvas& canvas, int row, int col, int x, int y, const QRect& clip,
                                 uint16_t drawState, TColor selColor, bool editing, TRDStyle* rdStyle) const
{
    Q_UNUSED(rdStyle);
    TRDTableCellData* cell = GetCell(row, col);
    QPainter& p = canvas.Painter();
    // 1. The size, padding included.
    const int width = cell->Width, height = cell->Height;
    const int cb = ScaleY(FCellBorderWidth);
    // 2. The colour: the selection's, or the cell's own.
    const bool wholeTable = drawState & rdisSelected;
    const bool wasShownSelected = cell->ShownSelected;
    bool selected = false;
    if (wholeTable) {
        selected = true;
        cell->ShownSelected = true;
    } else
        selected = const_cast<TRDTableItemInfo*>(this)->IsCellSelected(row, col);
    const bool selectionColored = selected && selColor != clNone;
    const TColor color = selectionColored ? selColor : cell->Color;
    // 3. The background: the selection colour hides the cell's picture.
    const bool picture = !selectionColored && PaintHasPicture(cell->Background.get());
    if (color != clNone || picture) {
        const TColor back = BackColorByColorMode(color, 0);
        QRect r = PaintRectOf(x, y, width, height);
        if (Options & rdtoCellBelowBorders)
            r.adjust(-cb, -cb, cb, cb);
        if (picture)
            PaintPicture(canvas, *cell->Background, r.intersected(clip), r, back);
        else if (back != clNone && r.intersects(clip))
            p.fillRect(r.intersected(clip), ToQColor(back));
    }
    // 4. The content, cut to the cell.
    const QRect cellRect = PaintRectOf(x, y, width, height);
    const QRect visible = cellRect.intersected(clip);
    if (!visible.isEmpty()) {
        const int ox = x + ScaleX(FCellHPadding);
        const int oy = y + ScaleY(FCellVPadding) + cell->GetContentVOffset();
        // The cell's document paints a clip of its client coordinates onto a
        // canvas whose origin is that clip's top left corner.
        const QRect inDocument = visible.translated(-ox, -oy);
        const QRect clientClip = inDocument.translated(-cell->GetHOffset(), -cell->GetVOffset());
        p.save();
        p.setClipRect(visible, Qt::IntersectClip);
        p.translate(visible.topLeft());
        try {
            cell->PaintDocument(canvas, clientClip, drawState & 0x800, drawState & 0x400, false, false);
        } catch (...) {
            p.restore();
            if (wholeTable)
                cell->ShownSelected = wasShownSelected;
            throw;
        }
        p.restore();
    }
    if (wholeTable)
        cell->ShownSelected = wasShownSelected;
    // 5. The cell's border.
    const TColor borderColor = cell->BorderColor != clNone ? cell->BorderColor : FCellBorderColor;
    const TColor lightColor = cell->BorderLightColor != clNone ? cell->BorderLightColor : FCellBorderLightColor;
    DrawBorder(canvas, cellRect.left() - cb, cellRect.top() - cb, cellRect.right() + 1 + cb,
               cellRect.bottom() + 1 + cb, FCellBorderWidth,
               lightColor, borderColor, FColor, FCellBorderStyle, false, editing, !(Options & rdtoHideGridLines),
               cell->VisibleBorders, row, col, 0, clip);
}
