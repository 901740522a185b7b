// Cell selection: choosing a rectangle of cells and the cells' shown state.

#include "tables/RDTable.h"

#include <algorithm>

#include "layout/CRDFData.h"

namespace {

// The cell covering (row, col) and its own position; nil outside the grid
// or where no cell covers it (a broken grid).
TRDTableCellData* SelectMainCell(const TRDTableItemInfo& table, int row, int col, int& mainRow, int& mainCol)
{
    TRDTableCellData* cell = table.Rows->GetMainCell(row, col, mainCol, mainRow);
    if (!cell)
        mainRow = mainCol = -1;
    return cell;
}

TCustomRDFormattedData* SelectOwnerData(const TRDTableItemInfo& table)
{
    return dynamic_cast<TCustomRDFormattedData*>(table.Rows->OwningData);
}

// A rectangle of positions: top, left, bottom and right inclusive.
struct SelectRect {
    int Top = 0, Left = 0, Bottom = -1, Right = -1;
    void Include(int row, int col, const TRDTableCellData* cell)
    {
        Top = std::min(Top, row);
        Left = std::min(Left, col);
        Bottom = std::max<int64_t>(Bottom, int64_t(row) + cell->RowSpan - 1);
        Right = std::max<int64_t>(Right, int64_t(col) + cell->ColSpan - 1);
    }
};

}  // namespace

void TRDTableItemInfo::SelectCells(int row, int col, int colOffset, int rowOffset)
{
    if (!(TableState & tsInDocument))
        return;
    TCustomRDFormattedData* owner = SelectOwnerData(*this);
    if (!owner || !(owner->GetOptions() & rdoAllowSelection))
        return;
    // Both corners lie in the grid, or nothing is selected.
    const int64_t farRow = int64_t(row) + rowOffset, farCol = int64_t(col) + colOffset;
    if (row < 0 || col < 0 || row >= RowCount() || col >= ColCount() || farRow < 0 || farCol < 0 ||
        farRow >= RowCount() || farCol >= ColCount())
        return;
    owner->SetChosenItem(this);
    TableState |= tsCellsSelected;
    SelStartRow = row;
    SelStartCol = col;
    SelRowOffset = rowOffset;
    SelColOffset = colOffset;
    UpdateCellStates();
    owner->InvalidateControl();
    owner->DoSelect();
}

void TRDTableItemInfo::SelectCols(int firstCol, int count)
{
    SelectCells(0, firstCol, count - 1, RowCount() - 1);
}

void TRDTableItemInfo::SelectRows(int firstRow, int count)
{
    SelectCells(firstRow, 0, ColCount() - 1, count - 1);
}

void TRDTableItemInfo::ClearCellSelection()
{
    TableState &= ~tsCellsSelected;
    MouseSelecting = false;
    SelStartRow = SelStartCol = -1;
    SelRowOffset = SelColOffset = 0;
    UpdateCellStates();
    TCustomRDFormattedData* owner = SelectOwnerData(*this);
    if (ChosenRow >= 0 && ChosenRow < RowCount() && ChosenCol >= 0 && ChosenCol < Rows->Row(ChosenRow)->Count())
        if (TRDTableCellData* cell = GetCell(ChosenRow, ChosenCol); cell && owner)
            owner->UnchooseSubData(cell);
    if (owner) {
        owner->InvalidateControl();
        owner->DoSelect();
    }
}

void TRDTableItemInfo::RepairCellSelection()
{
    if (!(TableState & tsCellsSelected) || (SelStartRow >= 0 && SelStartCol >= 0))
        return;
    TableState &= ~tsCellsSelected;
    if (TCustomRDFormattedData* owner = SelectOwnerData(*this)) {
        owner->ReleaseItemCapture(this);
        if (owner->GetChosenSubData())
            owner->ReplaceChosenSubData(nullptr);
    }
    MouseSelecting = false;
}

bool TRDTableItemInfo::GetSelectionBounds(bool withEditor, int& topRow, int& leftCol, int& rowCount, int& colCount)
{
    topRow = leftCol = -1;
    rowCount = colCount = 0;
    RepairCellSelection();
    // No cell editor opens in this layer: without marked cells nothing is selected.
    if (!(TableState & tsCellsSelected) || RowCount() == 0 || ColCount() == 0)
        return false;
    // A corner the grid no longer holds (rows or columns removed) counts as
    // the nearest position inside it.
    auto clampRow = [this](int64_t r) { return int(std::clamp<int64_t>(r, 0, RowCount() - 1)); };
    auto clampCol = [this](int64_t c) { return int(std::clamp<int64_t>(c, 0, ColCount() - 1)); };
    int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
    const TRDTableCellData* first = SelectMainCell(*this, clampRow(SelStartRow), clampCol(SelStartCol), r1, c1);
    const TRDTableCellData* last = SelectMainCell(*this, clampRow(int64_t(SelStartRow) + SelRowOffset),
                                                  clampCol(int64_t(SelStartCol) + SelColOffset), r2, c2);
    if (!first || !last)
        return false;
    SelectRect rect{r1, c1, r1, c1};
    rect.Include(r1, c1, first);
    rect.Include(r2, c2, last);
    topRow = rect.Top;
    leftCol = rect.Left;
    rowCount = rect.Bottom - rect.Top + 1;
    colCount = rect.Right - rect.Left + 1;
    return true;
}

bool TRDTableItemInfo::GetNormalizedSelectionBounds(bool withEditor, int& topRow, int& leftCol, int& rowCount,
                                                    int& colCount)
{
    topRow = leftCol = -1;
    rowCount = colCount = 0;
    RepairCellSelection();
    if (!(TableState & tsCellsSelected) || RowCount() == 0 || ColCount() == 0)
        return false;
    auto clampRow = [this](int64_t r) { return int(std::clamp<int64_t>(r, 0, RowCount() - 1)); };
    auto clampCol = [this](int64_t c) { return int(std::clamp<int64_t>(c, 0, ColCount() - 1)); };
    const int anchorRow = clampRow(SelStartRow), anchorCol = clampCol(SelStartCol);
    const int farRow = clampRow(int64_t(SelStartRow) + SelRowOffset);
    const int farCol = clampCol(int64_t(SelStartCol) + SelColOffset);
    const int top = std::min(anchorRow, farRow), bottom = std::max(anchorRow, farRow);
    const int left = std::min(anchorCol, farCol), right = std::max(anchorCol, farCol);
    SelectRect rect{top, left, bottom, right};
    auto include = [&](int r, int c) {
        int mr = 0, mc = 0;
        if (const TRDTableCellData* cell = SelectMainCell(*this, r, c, mr, mc))
            rect.Include(mr, mc, cell);
    };
    for (int c = left; c <= right; ++c) {
        include(anchorRow, c);
        include(farRow, c);
    }
    for (int r = top; r <= bottom; ++r) {
        include(r, anchorCol);
        include(r, farCol);
    }
    topRow = rect.Top;
    leftCol = rect.Left;
    rowCount = rect.Bottom - rect.Top + 1;
    colCount = rect.Right - rect.Left + 1;
    return true;
}

bool TRDTableItemInfo::IsCellSelected(int row, int col)
{
    if (!(TableState & tsCellsSelected) || row < 0 || col < 0 || row >= RowCount() || col >= ColCount())
        return false;
    int top = 0, left = 0, rows = 0, cols = 0;
    if (!GetSelectionBounds(true, top, left, rows, cols))
        return false;
    int mr = 0, mc = 0;
    const TRDTableCellData* cell = SelectMainCell(*this, row, col, mr, mc);
    if (!cell)
        return false;
    return mr < int64_t(top) + rows && int64_t(mr) + cell->RowSpan > top && mc < int64_t(left) + cols &&
           int64_t(mc) + cell->ColSpan > left;
}

void TRDTableItemInfo::UpdateCellStates()
{
    int top = 0, left = 0, rows = 0, cols = 0;
    const bool any = (TableState & tsCellsSelected) && GetSelectionBounds(true, top, left, rows, cols);
    int anchorRow = -1, anchorCol = -1;
    if (SelStartRow >= 0 && SelStartCol >= 0 && SelStartRow < RowCount() && SelStartCol < ColCount())
        SelectMainCell(*this, SelStartRow, SelStartCol, anchorRow, anchorCol);
    for (int r = 0; r < RowCount(); ++r) {
        const TRDTableRow* tableRow = Rows->Row(r);
        for (int c = 0; c < tableRow->Count(); ++c) {
            TRDTableCellData* cell = tableRow->GetCell(c);
            if (!cell)
                continue;
            const bool selected = any && r < int64_t(top) + rows && int64_t(r) + cell->RowSpan > top &&
                                  c < int64_t(left) + cols && int64_t(c) + cell->ColSpan > left;
            if (selected) {
                cell->ShownSelected = true;
                continue;
            }
            if (r != anchorRow || c != anchorCol)
                cell->Deselect(nullptr, true);
            cell->ShownSelected = false;
        }
    }
    if (TCustomRDFormattedData* owner = SelectOwnerData(*this))
        owner->ResetAnimations();
}

bool TRDTableItemInfo::StartCellSelection(int row, int col)
{
    TCustomRDFormattedData* owner = SelectOwnerData(*this);
    if (!owner || !(owner->GetOptions() & rdoAllowSelection) || (Options & rdtoNoCellSelect))
        return false;
    SelStartRow = row;
    SelStartCol = col;
    SelRowOffset = SelColOffset = 0;
    TableState &= ~tsCellsSelected;
    owner->SetChosenItem(this);
    int left = 0, top = 0;
    owner->SetItemCapture(this, left, top);
    UpdateCellStates();
    MouseSelecting = true;
    return true;
}

bool TRDTableItemInfo::IsSelectedAsWhole()
{
    TCustomRDFormattedData* owner = SelectOwnerData(*this);
    if (!owner)
        return false;
    if (auto* cell = dynamic_cast<TRDTableCellData*>(owner); cell && cell->ShownSelected)
        return true;
    int s = -1, so = 0, e = -1, eo = 0;
    owner->GetSelectionBounds(s, so, e, eo, true);
    if (s < 0 || e < 0)
        return false;
    const int i = GetMyItemNo();
    if (i < 0)
        return false;
    return (s < i || (s == i && so == 0)) && (e > i || (e == i && eo == 1));
}
