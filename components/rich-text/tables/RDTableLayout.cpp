// Table layout: column widths, row heights and cell rectangles, and the geometry queries over them.
//
// Lengths read from files may be as large as 2^31, so every sum of widths,
// heights and spacing is taken in 64 bits and saturated to the 32-bit range
// when it is stored.

#include "tables/RDTable.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "document/CRDData.h"
#include "document/RDTextItems.h"
#include "styles/RDStyle.h"

void TRDTableItemFormattingInfo::Clear()
{
    ColumnWidths.clear();
    ColumnLefts.clear();
    RowHeights.clear();
    RowTops.clear();
}

namespace {

int LayoutSat(int64_t n)
{
    return static_cast<int>(std::clamp<int64_t>(n, INT_MIN, INT_MAX));
}

// The starts of count columns or rows from first: each size plus its share
// of spread, shared out as evenly as whole pixels allow.
void LayoutPlaceStarts(std::vector<int32_t>& starts, const std::vector<int32_t>& sizes, int count, int64_t first,
                       int64_t spread)
{
    int64_t at = first;
    int64_t left = spread;
    for (int i = 0, n = count; i < count; ++i, --n) {
        starts[size_t(i)] = LayoutSat(at);
        const int64_t share = left / n;
        left -= share;
        at += share + sizes[size_t(i)];
    }
}

// a * b / c rounded to nearest, saturated; -1 for a zero divisor. A product
// beyond 64 bits is taken in floating point.
int64_t LayoutMulDiv(int64_t a, int64_t b, int64_t c)
{
    if (c == 0)
        return -1;
    constexpr int64_t limit = INT64_MAX / 4;
    int64_t product;
    if (__builtin_mul_overflow(a, b, &product)) {
        const long double q = static_cast<long double>(a) * static_cast<long double>(b) / static_cast<long double>(c);
        return q >= limit ? limit : q <= -limit ? -limit : static_cast<int64_t>(q);
    }
    int64_t quotient = product / c;
    const int64_t remainder = product % c;
    if (remainder != 0 && std::abs(remainder) >= std::abs(c) - std::abs(remainder))
        quotient += ((product < 0) != (c < 0)) ? -1 : 1;
    return std::clamp(quotient, -limit, limit);
}

// d / count rounded half to even; count > 0.
int64_t LayoutRoundDiv(int64_t d, int64_t count)
{
    int64_t q = d / count, r = d % count;
    if (r < 0) {
        r += count;
        --q;
    }
    if (2 * r > count || (2 * r == count && (q & 1)))
        ++q;
    return q;
}

TRDTableCellData* LayoutMainCell(const TRDTableItemInfo& table, int row, int col, int& mainRow, int& mainCol)
{
    return table.Rows->GetMainCell(row, col, mainCol, mainRow);
}

int LayoutCellMinWidth(TRDTableCellData& cell, const TRDResolutionInfo* scaling, TCanvas* canvas)
{
    return cell.GetMinWidth(scaling, canvas);
}

// until TRDTableRows::GetColumnMinWidth lands: the largest minimum width of
// the cells standing in the column with ColSpan 1.
int LayoutColumnMinWidth(const TRDTableItemInfo& table, int col, const TRDResolutionInfo* scaling, TCanvas* canvas)
{
    int best = 0;
    for (int r = 0; r < table.RowCount(); ++r)
        if (TRDTableCellData* cell = table.GetCell(r, col); cell && cell->ColSpan <= 1)
            best = std::max(best, LayoutCellMinWidth(*cell, scaling, canvas));
    return best;
}

int LayoutColumnBestWidth(const TRDTableItemInfo& table, int col)
{
    return table.Rows->GetColumnBestWidth(col);
}

int LayoutColumnPercentWidth(const TRDTableItemInfo& table, int col, int64_t tableWidth)
{
    return table.Rows->GetColumnPercentWidth(col, LayoutSat(tableWidth));
}

bool LayoutColumnHasPercent(const TRDTableItemInfo& table, int col)
{
    return table.Rows->ColumnHasPercentWidth(col);
}

// Per-column states while laying out.
enum : int { LayoutFree = 0, LayoutFixed = 1, LayoutPercent = 2 };

// One layout (or minimum-width) computation over a list of column widths.
struct TLayoutPass {
    TRDTableItemInfo& Table;
    std::vector<int32_t>& Widths;
    // Per-column state; empty in the minimum-width computation.
    std::vector<int> States;
    int64_t Remaining = 0;
    bool AllFixed = false;
    // The sum of the column widths, grown by the minimum-width spreading.
    int64_t Sum = 0;
    // The minimum-width variant stops at any need <= 0.
    bool MinWidthVariant = false;
    int64_t Pad = 0, Gap = 0;

    TLayoutPass(TRDTableItemInfo& table, std::vector<int32_t>& widths) : Table(table), Widths(widths)
    {
        Pad = table.ScaleX(2 * int64_t(table.GetCellHPadding()));
        Gap = table.ScaleX(int64_t(table.GetCellHSpacing()) + 2 * int64_t(table.GetCellHPadding()) +
                           2 * int64_t(table.GetCellBorderWidth()));
    }

    bool Eligible(int k, int mode, int level) const
    {
        return mode == 1 || States.empty() || States[k] <= level;
    }

    void SetWidth(int k, int64_t w) { Widths[k] = LayoutSat(w); }

    // Widens the columns under the spanned cell at (row, col) so that it
    // holds need.
    void SpreadSpan(int row, int col, int64_t need, int depth, int mode, int maxLevel)
    {
        const TRDTableCellData* cell = Table.GetCell(row, col);
        const int first = col, last = std::min<int>(col + cell->ColSpan, int(Widths.size())) - 1;
        for (;;) {
            if (MinWidthVariant ? need <= 0 : need == 0)
                return;
            const bool proportional = mode == 0 || depth > 30;
            const int64_t needP = need + Pad;
            int64_t total = 0, count = 0, weight = 0;
            int level = 0;
            for (;; ++level) {
                total = Table.ScaleX(-int64_t(Table.GetCellHSpacing()) - 2 * int64_t(Table.GetCellBorderWidth()));
                count = 0;
                weight = 0;
                for (int k = first; k <= last; ++k) {
                    total += Widths[k] + Gap;
                    if (!Eligible(k, mode, level))
                        continue;
                    ++count;
                    const int64_t w = int64_t(Widths[k]) + Pad;
                    weight += (proportional && w == 0) ? 1 : w;
                }
                if (!(mode == 0 && count == 0 && level + 1 <= maxLevel))
                    break;
            }
            if (total >= needP || count == 0)
                return;
            int64_t deficit = needP - total;
            if (mode == 0 && !AllFixed) {
                deficit = std::min(deficit, Remaining);
                if (proportional)
                    Remaining -= deficit;
            }
            int64_t d = deficit + weight;
            if (proportional) {
                for (int k = first; k <= last; ++k) {
                    if (!Eligible(k, mode, level))
                        continue;
                    int64_t w = int64_t(Widths[k]) + Pad;
                    if (w == 0)
                        w = 1;
                    const int64_t nw = LayoutMulDiv(w, d, weight);
                    SetWidth(k, nw - Pad);
                    weight -= w;
                    d -= nw;
                    if (mode == 1)
                        Sum += nw - w;
                }
                return;
            }
            for (int k = first; k <= last && count > 0 && d > 0; ++k) {
                const int64_t w = int64_t(Widths[k]) + Pad;
                if (w >= LayoutRoundDiv(d, count)) {
                    d -= w;
                    --count;
                }
            }
            for (int k = first; k <= last && count > 0 && d > 0; ++k) {
                const int64_t w = int64_t(Widths[k]) + Pad;
                const int64_t avg = LayoutRoundDiv(d, count);
                if (w < avg) {
                    SetWidth(k, avg - Pad);
                    Sum += avg - w;
                    d -= avg;
                    --count;
                }
            }
            ++depth;
        }
    }
};

}  // namespace

// ---- measures ----

int TRDTableItemInfo::ScaleX(int64_t n) const
{
    if (!PrintScale)
        return LayoutSat(n);
    return LayoutSat(LayoutMulDiv(n, PrintScale->DevicePpiX, PrintScale->ScreenPpiX));
}

int TRDTableItemInfo::ScaleY(int64_t n) const
{
    if (!PrintScale)
        return LayoutSat(n);
    return LayoutSat(LayoutMulDiv(n, PrintScale->DevicePpiY, PrintScale->ScreenPpiY));
}

int TRDTableItemInfo::GetHorzOverhead() const
{
    const int64_t cols = ColCount();
    return ScaleX((cols - 1) * GetCellHSpacing() + 2 * (int64_t(GetBorderWidth()) + GetBorderHSpacing()) +
                  2 * cols * GetCellBorderWidth());
}

bool TRDTableItemInfo::AllColumnsFixed() const
{
    const int cols = ColCount();
    for (int c = 0; c < cols; ++c) {
        bool starts = false;
        for (int r = 0; r < RowCount() && !starts; ++r)
            starts = GetCell(r, c) != nullptr;
        if (!starts)
            return false;
    }
    for (int c = 0; c < cols; ++c) {
        bool passes = false;
        for (int r = 0; r < RowCount(); ++r) {
            int mr, mc;
            const TRDTableCellData* cell = LayoutMainCell(*this, r, c, mr, mc);
            if (!cell)
                continue;
            if (cell->BestWidth < 0)
                return false;
            if (mc + cell->ColSpan - 1 == c && cell->BestWidth > 0)
                passes = true;
        }
        if (!passes)
            return false;
    }
    return true;
}

int TRDTableItemInfo::GetMinWidth(const TRDResolutionInfo* scaling, TCanvas* canvas, TCustomRDData*) const
{
    auto* self = const_cast<TRDTableItemInfo*>(this);
    const TRDResolutionInfo* saved = PrintScale;
    PrintScale = scaling;
    struct Restore {
        const TRDTableItemInfo* Table;
        const TRDResolutionInfo* Saved;
        ~Restore() { Table->PrintScale = Saved; }
    } restore{this, saved};

    const int cols = ColCount();
    if (RowCount() == 0 || cols == 0)
        return ScaleX(2 * (int64_t(GetBorderWidth()) + GetBorderHSpacing()));
    const bool ignoreContent = Options & rdtoIgnoreContentWidth;
    std::vector<int32_t> widths(cols);
    TLayoutPass pass(*self, widths);
    pass.MinWidthVariant = true;
    for (int c = 0; c < cols; ++c) {
        int w = ignoreContent ? 0 : LayoutColumnMinWidth(*this, c, PrintScale, canvas);
        if (FBestWidth == 0)
            w = std::max(w, ScaleX(LayoutColumnBestWidth(*this, c)));
        widths[c] = w;
        pass.Sum += w;
    }
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < Rows->Row(r)->Count(); ++c) {
            TRDTableCellData* cell = GetCell(r, c);
            if (!cell || cell->ColSpan <= 1)
                continue;
            int64_t need = ignoreContent ? 0 : LayoutCellMinWidth(*cell, PrintScale, canvas);
            if (FBestWidth == 0)
                need = std::max<int64_t>(need, ScaleX(cell->BestWidth));
            pass.SpreadSpan(r, c, need, 0, 1, 0);
        }
    const int64_t result = int64_t(ScaleX(2 * int64_t(cols) * GetCellHPadding())) + GetHorzOverhead() + pass.Sum;
    return LayoutSat(std::max<int64_t>(result, ScaleX(FBestWidth)));
}

// ---- the layout ----

void TRDTableItemInfo::OnDocWidthChange(int docWidth, TRDDrawLineInfo* drawItem, bool printing, TCanvas* canvas,
                                        TCustomRDData* rdData, const TRDResolutionInfo* scaling, int& extra,
                                        int& descent)
{
    OnDocWidthChangeEx(docWidth, drawItem, printing, canvas, rdData, scaling, extra, descent, false, false);
}

void TRDTableItemInfo::OnDocWidthChangeEx(int docWidth, TRDDrawLineInfo*, bool printing, TCanvas* canvas,
                                          TCustomRDData*, const TRDResolutionInfo*, int& extra, int& descent,
                                          bool noCache, bool editorFlag)
{
    extra = 0;
    descent = 0;
    // A printed table is laid out by its print draw item.
    if (printing)
        return;
    if (TableState & tsNeedsLayout) {
        TableState &= ~tsNeedsLayout;
        Layout.Width = 0;
    }
    LayoutTable(docWidth, Layout, editorFlag, noCache, canvas);
}

void TRDTableItemInfo::LayoutTable(int available, TRDTableItemFormattingInfo& record, bool editorFlag, bool noCache,
                                   TCanvas* canvas)
{
    const int cols = ColCount(), rows = RowCount();
    if (rows == 0 || cols == 0) {
        record.Clear();
        record.Width = ScaleX(2 * (int64_t(GetBorderWidth()) + GetBorderHSpacing()));
        record.Height = ScaleY(2 * (int64_t(GetBorderWidth()) + GetBorderVSpacing()));
        return;
    }
    FLastHitRow = FLastHitCol = -1;
    const bool ignoreContent = Options & rdtoIgnoreContentWidth;
    bool allFixed = false;
    int64_t w;
    if (FBestWidth > 0)
        w = ScaleX(FBestWidth);
    else if (FBestWidth < 0)
        w = int64_t(available) * -int64_t(FBestWidth) / 100;
    else if (AllColumnsFixed()) {
        allFixed = true;
        w = 0;
    } else
        w = std::max<int64_t>(GetMinWidth(PrintScale, canvas), available);
    if (w != 0 && w == record.Width && !noCache)
        return;
    record.Width = LayoutSat(w);

    const int64_t overhead = GetHorzOverhead();
    const int64_t pad = ScaleX(2 * int64_t(GetCellHPadding()));
    const int64_t allPadding = ScaleX(2 * int64_t(cols) * GetCellHPadding());
    const int64_t base = allFixed ? 0 : w - overhead;
    const int64_t content = allFixed ? 0 : base - allPadding;

    record.Clear();
    record.ColumnWidths.assign(cols, 0);
    record.ColumnLefts.assign(cols, 0);
    record.RowHeights.assign(rows, 0);
    record.RowTops.assign(rows, 0);
    TLayoutPass pass(*this, record.ColumnWidths);
    pass.AllFixed = allFixed;
    for (int c = 0; c < cols; ++c) {
        record.ColumnWidths[c] = ignoreContent ? 0 : LayoutColumnMinWidth(*this, c, PrintScale, canvas);
        pass.Sum += record.ColumnWidths[c];
    }
    auto forSpannedCells = [this](auto&& action) {
        for (int r = 0; r < RowCount(); ++r)
            for (int c = 0; c < Rows->Row(r)->Count(); ++c)
                if (TRDTableCellData* cell = GetCell(r, c); cell && cell->ColSpan > 1)
                    action(r, c, *cell);
    };
    if (!ignoreContent)
        forSpannedCells([&](int r, int c, TRDTableCellData& cell) {
            pass.SpreadSpan(r, c, LayoutCellMinWidth(cell, PrintScale, canvas), 0, 1, 0);
        });
    const int64_t sumMin = pass.Sum;

    if (!allFixed && sumMin >= content) {
        record.Width = LayoutSat(int64_t(record.Width) + sumMin - content);
    } else {
        pass.States.assign(cols, LayoutFree);
        std::vector<int32_t>& widths = record.ColumnWidths;
        auto markUnder = [&](int c, const TRDTableCellData& cell, int state) {
            for (int k = c; k < std::min(cols, c + cell.ColSpan); ++k)
                if (pass.States[k] == LayoutFree)
                    pass.States[k] = state;
        };
        if (!allFixed) {
            // Percent columns.
            pass.Remaining = content - sumMin;
            int64_t want = 0, held = 0;
            std::vector<int64_t> p(cols, 0);
            for (int c = 0; c < cols; ++c) {
                p[c] = std::max<int64_t>(int64_t(LayoutColumnPercentWidth(*this, c, base)) - pad, 0);
                if (p[c] > widths[c]) {
                    want += p[c];
                    held += widths[c];
                    pass.Remaining += widths[c];
                }
            }
            if (want != 0) {
                int64_t div = std::max(want, pass.Remaining);
                for (int c = 0; c < cols; ++c) {
                    if (p[c] == 0)
                        continue;
                    if (p[c] <= widths[c]) {
                        pass.States[c] = LayoutPercent;
                        continue;
                    }
                    held -= widths[c];
                    int64_t nw = LayoutMulDiv(p[c], pass.Remaining, div);
                    div -= p[c];
                    if (nw > 0)
                        pass.States[c] = LayoutPercent;
                    nw = std::min(nw, pass.Remaining - held);
                    if (nw > widths[c])
                        widths[c] = LayoutSat(nw);
                    pass.Remaining -= widths[c];
                    if (pass.Remaining == 0 && held == 0)
                        break;
                }
                // Percent spanned cells.
                forSpannedCells([&](int r, int c, TRDTableCellData& cell) {
                    if (pass.Remaining <= 0 || cell.BestWidth >= 0)
                        return;
                    pass.SpreadSpan(r, c, LayoutMulDiv(-int64_t(cell.BestWidth), base, 100) - pad, 0, 0, 2);
                    markUnder(c, cell, LayoutPercent);
                });
            }
        }
        if (allFixed) {
            for (int c = 0; c < cols; ++c) {
                if (pass.States[c] != LayoutFree)
                    continue;
                const int f = ScaleX(LayoutColumnBestWidth(*this, c));
                if (f > 0)
                    pass.States[c] = LayoutFixed;
                if (f > widths[c])
                    widths[c] = f;
            }
        } else if (pass.Remaining > 0) {
            int64_t want = 0;
            std::vector<int64_t> kept(cols, 0);
            for (int c = 0; c < cols; ++c) {
                if (pass.States[c] != LayoutFree)
                    continue;
                const int f = ScaleX(LayoutColumnBestWidth(*this, c));
                if (f > 0)
                    pass.States[c] = LayoutFixed;
                if (f > widths[c]) {
                    kept[c] = f;
                    want += f;
                    pass.Remaining += widths[c];
                }
            }
            int64_t total = want, avail = std::min(want, pass.Remaining);
            if (total > 0)
                for (int c = 0; c < cols; ++c) {
                    if (kept[c] == 0)
                        continue;
                    int64_t nw = LayoutMulDiv(kept[c], avail, total);
                    nw = std::max<int64_t>(std::min(nw, pass.Remaining), widths[c]);
                    pass.Remaining -= nw;
                    widths[c] = LayoutSat(nw);
                    total -= kept[c];
                    avail -= nw;
                }
        }
        // Fixed spanned cells.
        forSpannedCells([&](int r, int c, TRDTableCellData& cell) {
            if (!(allFixed || pass.Remaining > 0) || cell.BestWidth <= 0)
                return;
            pass.SpreadSpan(r, c, ScaleX(cell.BestWidth), 0, 0, 1);
            markUnder(c, cell, LayoutFixed);
        });

        if (allFixed) {
            int64_t sum = 0;
            for (int c = 0; c < cols; ++c)
                sum += widths[c];
            record.Width = LayoutSat(overhead + allPadding + sum);
        } else if (pass.Remaining > 0) {
            const auto countState = [&](int state) {
                return std::count(pass.States.begin(), pass.States.end(), state);
            };
            if (countState(LayoutFree) > 0) {
                int64_t unmarked = countState(LayoutFree);
                for (int c = 0; c < cols && pass.Remaining > 0; ++c) {
                    if (pass.States[c] != LayoutFree)
                        continue;
                    const int64_t share = pass.Remaining / unmarked;
                    widths[c] = LayoutSat(int64_t(widths[c]) + share);
                    pass.Remaining -= share;
                    --unmarked;
                }
            } else {
                std::vector<int64_t> weights(cols, 0);
                int64_t weightSum = 0;
                const bool byFixed = countState(LayoutFixed) > 0;
                for (int c = 0; c < cols; ++c) {
                    if (byFixed) {
                        if (!LayoutColumnHasPercent(*this, c)) {
                            const int b = LayoutColumnBestWidth(*this, c);
                            weights[c] = b == 0 ? 1 : b;
                        }
                    } else if (LayoutColumnHasPercent(*this, c)) {
                        weights[c] = std::max<int64_t>(int64_t(LayoutColumnPercentWidth(*this, c, base)) - pad, 1);
                    }
                    weightSum += weights[c];
                }
                for (int c = 0; c < cols && pass.Remaining > 0; ++c) {
                    if (weights[c] <= 0)
                        continue;
                    int64_t add = LayoutMulDiv(pass.Remaining, weights[c], weightSum);
                    if (!byFixed)
                        add = std::min(add, pass.Remaining);
                    widths[c] = LayoutSat(int64_t(widths[c]) + add);
                    pass.Remaining -= add;
                    weightSum -= weights[c];
                }
            }
        }
    }

    PlaceColumns(record, noCache, editorFlag);

    // Row heights.
    const bool ignoreHeight = Options & rdtoIgnoreContentHeight;
    int64_t height = ScaleY(2 * int64_t(rows) * GetCellVPadding() + 2 * (int64_t(GetBorderWidth()) + GetBorderVSpacing()) +
                            (int64_t(rows) - 1) * GetCellVSpacing() + 2 * int64_t(rows) * GetCellBorderWidth());
    for (int r = 0; r < rows; ++r) {
        record.RowHeights[r] = ScaleY(Rows->Row(r)->GetHeightNeeded(ignoreHeight));
        height += record.RowHeights[r];
    }
    // Vertically spanned cells taller than their rows.
    const int64_t vGap = ScaleY(int64_t(GetCellVSpacing()) + 2 * int64_t(GetCellVPadding()) +
                                2 * int64_t(GetCellBorderWidth()));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < Rows->Row(r)->Count(); ++c) {
            TRDTableCellData* cell = GetCell(r, c);
            if (!cell || cell->RowSpan <= 1)
                continue;
            const int last = std::min(rows, r + cell->RowSpan) - 1;
            const int64_t need = ScaleY(int64_t(cell->GetContentHeight(ignoreHeight)) + 2 * int64_t(GetCellVPadding()));
            int64_t total = ScaleY(-int64_t(GetCellVSpacing()) - 2 * int64_t(GetCellBorderWidth()));
            int64_t allSum = 0, freeSum = 0;
            std::vector<bool> bound(last - r + 1);
            bool someFree = false;
            for (int k = r; k <= last; ++k) {
                total += record.RowHeights[k] + vGap;
                allSum += record.RowHeights[k];
                bound[k - r] = k == r || Rows->Row(k)->HasCellEndingWithin(k, r, last - r + 1);
                if (!bound[k - r]) {
                    freeSum += record.RowHeights[k];
                    someFree = true;
                }
            }
            if (total >= need)
                continue;
            int64_t extraHeight = need - total;
            height += extraHeight;
            int64_t divisor = someFree ? freeSum : allSum;
            for (int k = r; k <= last; ++k) {
                if (someFree && bound[k - r])
                    continue;
                const int64_t old = record.RowHeights[k];
                const int64_t add = LayoutMulDiv(old, extraHeight, divisor);
                record.RowHeights[k] = LayoutSat(old + add);
                divisor -= old;
                extraHeight -= add;
            }
        }
    record.Height = LayoutSat(height);
    PlaceRows(record);
}

void TRDTableItemInfo::PlaceColumns(TRDTableItemFormattingInfo& record, bool noCache, bool)
{
    const int cols = ColCount();
    if (int(record.ColumnWidths.size()) < cols || int(record.ColumnLefts.size()) < cols)
        return;
    const int64_t x = ScaleX(int64_t(GetBorderWidth()) + GetBorderHSpacing() + GetCellBorderWidth());
    const int64_t spread =
        ScaleX(int64_t(cols) * (2 * (int64_t(GetCellHPadding()) + GetCellBorderWidth()) + GetCellHSpacing()));
    LayoutPlaceStarts(record.ColumnLefts, record.ColumnWidths, cols, x, spread);
    const int64_t pad = ScaleX(2 * int64_t(GetCellHPadding()));
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < std::min(cols, Rows->Row(r)->Count()); ++c) {
            TRDTableCellData* cell = GetCell(r, c);
            if (!cell)
                continue;
            const int span = std::clamp(cell->ColSpan, 1, cols - c);
            int64_t width = pad + LayoutMulDiv(spread, span - 1, cols);
            for (int k = c; k < c + span; ++k)
                width += record.ColumnWidths[k];
            cell->Left = record.ColumnLefts[c];
            cell->Width = LayoutSat(width);
        }
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < Rows->Row(r)->Count(); ++c)
            if (TRDTableCellData* cell = GetCell(r, c))
                cell->FormatAll(noCache);
}

void TRDTableItemInfo::PlaceRows(TRDTableItemFormattingInfo& record)
{
    const int rows = RowCount();
    if (int(record.RowHeights.size()) < rows || int(record.RowTops.size()) < rows)
        return;
    const int64_t y = ScaleY(int64_t(GetBorderWidth()) + GetBorderVSpacing() + GetCellBorderWidth());
    const int64_t spread =
        ScaleY(int64_t(rows) * (2 * (int64_t(GetCellVPadding()) + GetCellBorderWidth()) + GetCellVSpacing()));
    LayoutPlaceStarts(record.RowTops, record.RowHeights, rows, y, spread);
    const int64_t pad = ScaleY(2 * int64_t(GetCellVPadding()));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < Rows->Row(r)->Count(); ++c) {
            TRDTableCellData* cell = GetCell(r, c);
            if (!cell)
                continue;
            const int span = std::clamp(cell->RowSpan, 1, rows - r);
            int64_t height = pad + LayoutMulDiv(spread, span - 1, rows);
            for (int k = r; k < r + span; ++k)
                height += record.RowHeights[k];
            cell->Top = record.RowTops[r];
            cell->Height = LayoutSat(height);
        }
}

// ---- geometry ----

namespace {

bool LayoutNear(int64_t x, int64_t p, int64_t w)
{
    return std::llabs(x - p) <= std::max<int64_t>(w / 2, 2);
}

// The border of one axis near position p: starts holds the columns' lefts
// or the rows' tops, extent the table's width or height, spacing the
// table's horizontal or vertical spacing. The border's number (0 the outer
// start, starts.size() the outer end), or -1.
int LayoutBorderAt(int p, const std::vector<int>& starts, int extent, int borderWidth, int spacing,
                   int cellBorderWidth, int& start, int& borderPos)
{
    const int count = int(starts.size());
    if (p < 0 || p > extent || count == 0)
        return -1;
    const int64_t outer = int64_t(borderWidth) + spacing + cellBorderWidth;
    const int64_t inner = 2 * int64_t(cellBorderWidth) + spacing;
    if (LayoutNear(p, outer / 2, outer)) {
        start = -1;
        borderPos = LayoutSat(outer / 2);
        return 0;
    }
    if (LayoutNear(p, extent - outer / 2, outer)) {
        start = starts[count - 1];
        borderPos = LayoutSat(extent - outer / 2);
        return count;
    }
    for (int i = 0; i + 1 < count; ++i)
        if (LayoutNear(p, starts[i + 1] - inner / 2, inner)) {
            start = starts[i];
            borderPos = LayoutSat(starts[i + 1] - (inner + 1) / 2);
            return i + 1;
        }
    return -1;
}

}  // namespace

int TRDTableItemInfo::ColumnBorderAt(int x, int& colStart, int& borderPos) const
{
    return LayoutBorderAt(x, Layout.ColumnLefts, Layout.Width, GetBorderWidth(), GetBorderHSpacing(),
                          GetCellBorderWidth(), colStart, borderPos);
}

int TRDTableItemInfo::RowBorderAt(int y, int& rowStart, int& borderPos) const
{
    return LayoutBorderAt(y, Layout.RowTops, Layout.Height, GetBorderWidth(), GetBorderVSpacing(),
                          GetCellBorderWidth(), rowStart, borderPos);
}

int TRDTableItemInfo::ColumnAt(int x) const
{
    const size_t n = std::min(Layout.ColumnLefts.size(), Layout.ColumnWidths.size());
    for (size_t c = 0; c < n; ++c)
        if (Layout.ColumnLefts[c] <= x && int64_t(x) <= int64_t(Layout.ColumnLefts[c]) + Layout.ColumnWidths[c])
            return int(c);
    return -1;
}

int TRDTableItemInfo::RowAt(int y) const
{
    const size_t n = std::min(Layout.RowTops.size(), Layout.RowHeights.size());
    for (size_t r = 0; r < n; ++r)
        if (Layout.RowTops[r] <= y && int64_t(y) <= int64_t(Layout.RowTops[r]) + Layout.RowHeights[r])
            return int(r);
    return -1;
}

int TRDTableItemInfo::FindStartIndex(int position, const std::vector<int32_t>& starts)
{
    const int n = int(starts.size());
    if (n < 2)
        return 0;
    if (position >= starts[n - 1])
        return n - 1;
    // The last index whose start is below position; 0 when none is.
    const auto it = std::lower_bound(starts.begin(), starts.end(), position);
    return std::max(0, int(it - starts.begin()) - 1);
}

namespace {

// The cell's rectangle shrunk by one pixel on every side holds the point.
bool LayoutInsideCell(const TRDTableCellData& cell, int x, int y)
{
    return int64_t(cell.Left) + 1 <= x && x < int64_t(cell.Left) + cell.Width - 1 && int64_t(cell.Top) + 1 <= y &&
           y < int64_t(cell.Top) + cell.Height - 1;
}

}  // namespace

bool TRDTableItemInfo::CellAtUncached(int x, int y, int& col, int& row) const
{
    const int rows = RowCount(), cols = ColCount();
    if (rows == 0 || cols == 0 || int(Layout.RowTops.size()) < rows || int(Layout.ColumnLefts.size()) < cols)
        return false;
    const TRDTableCellData* first = GetCell(0, 0);
    if (!first)
        return false;
    const int64_t l = first->Left, t = first->Top;
    if (!(l + 1 <= x && x < l + 1 + (Layout.Width - 2 * l - 2) && t + 1 <= y && y < t + 1 + (Layout.Height - 2 * t - 2)))
        return false;
    row = rows - 1;
    for (int r = 0; r + 1 < rows; ++r)
        if (y < Layout.RowTops[r + 1]) {
            row = r;
            break;
        }
    col = cols - 1;
    for (int c = 0; c + 1 < cols; ++c)
        if (x < Layout.ColumnLefts[c + 1]) {
            col = c;
            break;
        }
    int mr, mc;
    const TRDTableCellData* cell = LayoutMainCell(*this, row, col, mr, mc);
    if (!cell)
        return false;
    row = mr;
    col = mc;
    return LayoutInsideCell(*cell, x, y);
}

bool TRDTableItemInfo::CellAt(int x, int y, int& col, int& row)
{
    if (FLastHitRow >= 0 && FLastHitRow < RowCount() && FLastHitCol >= 0 && FLastHitCol < ColCount())
        if (const TRDTableCellData* cell = GetCell(FLastHitRow, FLastHitCol); cell && LayoutInsideCell(*cell, x, y)) {
            row = FLastHitRow;
            col = FLastHitCol;
            return true;
        }
    if (!CellAtUncached(x, y, col, row))
        return false;
    FLastHitRow = row;
    FLastHitCol = col;
    return true;
}

TCustomRDData* TRDTableItemInfo::GetSubDocAt(int x, int y)
{
    int col, row;
    if (!CellAt(x, y, col, row))
        return nullptr;
    TRDTableCellData* cell = GetCell(row, col);
    return cell ? cell->GetActiveData() : nullptr;
}
