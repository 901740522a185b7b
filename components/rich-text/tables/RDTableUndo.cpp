// The undo records of table structure and property changes.

#include "tables/RDTableUndo.h"

#include <cstdint>

#include "core/RDError.h"
#include "document/RDBack.h"
#include "editing/RDERDData.h"
#include "layout/CRDFData.h"

namespace {

[[noreturn]] void UndoTableFail()
{
    throw ERichDocError("Undo error");
}

// The opposite record of record: a new record of its class about the same
// item, with the class's own reformatting flags; nil when no list records.
template <typename TRecord>
TRecord* UndoTableOpposite(TRDEditRDData& data, const TRecord& record)
{
    std::unique_ptr<TRDUndoModifyItemProps> made = record.CreateSameClass();
    const bool changesSize = made->ChangesSize;
    const bool changesWidth = made->ChangesWidth;
    return static_cast<TRecord*>(
        AddTableUndoRecord(&data, std::move(made), record.ItemIndex, changesSize, changesWidth));
}

// The cell a borders or picture record is about; nil for the table itself.
TRDTableCellData* UndoTableTarget(TRDTableItemInfo& table, int row, int col)
{
    return row < 0 || col < 0 ? nullptr : &TableUndoCell(table, row, col);
}



TRDTableCellData* UndoGridCell(TRDTableRows& rows, int row, int col)
{
    return rows.Row(row)->GetCell(col);
}

// Raises unless the rectangle lies inside the grid.
void UndoGridCheckRectangle(TRDTableRows& rows, int row, int col, int rowCount, int colCount)
{
    if (row < 0 || col < 0 || rowCount < 0 || colCount < 0 || row > rows.Count() - rowCount)
        UndoTableFail();
    for (int r = row; r < row + rowCount; ++r)
        if (col > rows.Row(r)->Count() - colCount)
            UndoTableFail();
}

}  // namespace

// ---- making records ----

TRDUndoModifyItemProps* AddTableUndoRecord(TCustomRDData* data, std::unique_ptr<TRDUndoModifyItemProps> record,
                                           int itemIndex, bool changesSize, bool changesWidth)
{
    auto* editData = dynamic_cast<TRDEditRDData*>(data);
    TRDUndoList* list = editData ? editData->GetRecordingUndoList() : nullptr;
    if (!list || !record)
        return nullptr;
    record->Kind = 15;
    record->ItemIndex = itemIndex;
    record->ChangesSize = changesSize;
    record->ChangesWidth = changesWidth;
    return static_cast<TRDUndoModifyItemProps*>(list->AddInfo(std::move(record)));
}

TRDTableItemInfo& TableUndoTable(TCustomRDData& data, int itemIndex)
{
    if (itemIndex < 0 || itemIndex >= data.ItemCount())
        UndoTableFail();
    auto* table = dynamic_cast<TRDTableItemInfo*>(data.ItemAt(itemIndex));
    if (!table)
        UndoTableFail();
    return *table;
}

TRDTableCellData& TableUndoCell(TRDTableItemInfo& table, int row, int col)
{
    if (row < 0 || col < 0 || row >= table.RowCount() || col >= table.Rows->Row(row)->Count())
        UndoTableFail();
    TRDTableCellData* cell = table.GetCell(row, col);
    if (!cell)
        UndoTableFail();
    return *cell;
}

// ---- borders and pictures ----

void TRDUndoModifyVisibleBorders::Undo(TRDEditRDData& data)
{
    TRDTableItemInfo& table = TableUndoTable(data, ItemIndex);
    TRDTableCellData* cell = UndoTableTarget(table, Row, Col);
    Target = cell;
    TRDBooleanRect& borders = cell ? cell->VisibleBorders : table.VisibleBorders;
    if (auto* opposite = UndoTableOpposite(data, *this)) {
        opposite->Row = Row;
        opposite->Col = Col;
        opposite->Target = cell;
        opposite->Left = borders.Left;
        opposite->Right = borders.Right;
        opposite->Top = borders.Top;
        opposite->Bottom = borders.Bottom;
    }
    borders.SetValues(Left, Top, Right, Bottom);
    table.MarkChanged();
}

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoModifyVisibleBorders::CreateSameClass() const
{
    return std::make_unique<TRDUndoModifyVisibleBorders>();
}

TRDUndoModifyBackgroundImage::TRDUndoModifyBackgroundImage() = default;

TRDUndoModifyBackgroundImage::~TRDUndoModifyBackgroundImage() = default;

void TRDUndoModifyBackgroundImage::Undo(TRDEditRDData& data)
{
    TRDTableItemInfo& table = TableUndoTable(data, ItemIndex);
    TRDTableCellData* cell = UndoTableTarget(table, Row, Col);
    Target = cell;
    TRDBackground* background = cell ? cell->Background.get() : table.Background.get();
    std::unique_ptr<TGraphic> current = background ? background->TakeImage() : nullptr;
    if (auto* opposite = UndoTableOpposite(data, *this)) {
        opposite->Row = Row;
        opposite->Col = Col;
        opposite->Target = cell;
        opposite->Picture = std::move(current);
    }
    if (cell)
        cell->SetBackgroundImageEx(std::move(Picture));
    else
        TableTakeBackgroundImage(table, std::move(Picture));
    table.MarkChanged();
}

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoModifyBackgroundImage::CreateSameClass() const
{
    return std::make_unique<TRDUndoModifyBackgroundImage>();
}

// ---- cell content ----

void TRDUndoChangeEmptyCellStyles::Undo(TRDEditRDData& data)
{
    TRDTableItemInfo& table = TableUndoTable(data, ItemIndex);
    TRDTableCellData& cell = TableUndoCell(table, Row, Col);
    if (auto* opposite = UndoTableOpposite(data, *this)) {
        opposite->Row = Row;
        opposite->Col = Col;
        if (cell.ItemCount() > 0) {
            const TCustomRDItemInfo* first = cell.ItemAt(0);
            opposite->StyleNo = first->StyleNo >= 0 ? first->StyleNo : 0;
            opposite->ParaNo = first->ParaNo;
        }
    }
    cell.Clear();
    cell.AddTextConverted(QByteArray(), StyleNo, ParaNo, TRDTag());
    table.MarkChanged();
}

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoChangeEmptyCellStyles::CreateSameClass() const
{
    auto record = std::make_unique<TRDUndoChangeEmptyCellStyles>();
    record->ChangesSize = record->ChangesWidth = true;
    return record;
}

// ---- grid structure ----

void TRDUndoSpan::Undo(TRDEditRDData& data)
{
    TRDTableItemInfo& table = TableUndoTable(data, ItemIndex);
    TRDTableCellData& cell = TableUndoCell(table, Row, Col);
    // Only the span is checked: within a group the grid may reach the span's
    // cells after this record (columns inserted after a cell was widened).
    if (SpanBefore < 1)
        UndoTableFail();
    int32_t& span = ForColumns ? cell.ColSpan : cell.RowSpan;
    if (auto* opposite = static_cast<TRDUndoSpan*>(
            AddTableUndoRecord(&data, CreateSameClass(), ItemIndex, true, ForColumns))) {
        opposite->ForColumns = ForColumns;
        opposite->Row = Row;
        opposite->Col = Col;
        opposite->SpanBefore = span;
    }
    span = SpanBefore;
    table.MarkChanged();
}

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoSpan::CreateSameClass() const
{
    return std::make_unique<TRDUndoSpan>();
}

void TRDUndoInsertTableRows::Undo(TRDEditRDData& data)
{
    TRDTableItemInfo& table = TableUndoTable(data, ItemIndex);
    TRDTableRows& rows = *table.Rows;
    if (Count < 1 || Row < 0 || Row > rows.Count() - (Redoes ? 0 : Count))
        UndoTableFail();
    if (auto* opposite = UndoTableOpposite(data, *this)) {
        opposite->Row = Row;
        opposite->Count = Count;
        opposite->Redoes = !Redoes;
    }
    if (Redoes)
        rows.InsertEmptyRows(Row, Count);
    else
        rows.RemoveRowsPlain(Row, Count);
    table.MarkChanged();
}

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoInsertTableRows::CreateSameClass() const
{
    auto record = std::make_unique<TRDUndoInsertTableRows>();
    record->ChangesSize = record->ChangesWidth = true;
    return record;
}

void TRDUndoInsertTableCell::Undo(TRDEditRDData& data)
{
    TRDTableItemInfo& table = TableUndoTable(data, ItemIndex);
    TRDTableRows& rows = *table.Rows;
    if (Row < 0 || Row >= rows.Count() || Col < 0 || Col > rows.Row(Row)->Count() - (Redoes ? 0 : 1))
        UndoTableFail();
    if (!Redoes)
        TableUndoCell(table, Row, Col);
    if (auto* opposite = UndoTableOpposite(data, *this)) {
        opposite->Row = Row;
        opposite->Col = Col;
        opposite->Redoes = !Redoes;
    }
    if (Redoes)
        rows.Row(Row)->InsertCell(Col);
    else
        rows.Row(Row)->Delete(Col);
    table.MarkChanged();
}

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoInsertTableCell::CreateSameClass() const
{
    auto record = std::make_unique<TRDUndoInsertTableCell>();
    record->ChangesSize = record->ChangesWidth = true;
    return record;
}

void TRDUndoSpreadOverEmptyCells::Undo(TRDEditRDData& data)
{
    TRDTableItemInfo& table = TableUndoTable(data, ItemIndex);
    TableUndoCell(table, Row, Col);
    if (ColSpan < 1 || Col > table.Rows->Row(Row)->Count() - ColSpan)
        UndoTableFail();
    if (auto* opposite = UndoTableOpposite(data, *this)) {
        opposite->Row = Row;
        opposite->Col = Col;
        opposite->ColSpan = ColSpan;
        opposite->Redoes = !Redoes;
    }
    if (Redoes)
        table.Rows->SpreadOverEmptyCells(Row, Col, ColSpan);
    else
        table.Rows->UnspreadCell(Row, Col, ColSpan);
    table.MarkChanged();
}

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoSpreadOverEmptyCells::CreateSameClass() const
{
    auto record = std::make_unique<TRDUndoSpreadOverEmptyCells>();
    record->ChangesSize = record->ChangesWidth = true;
    return record;
}

void TRDUndoFreeEmptyCell::Undo(TRDEditRDData& data)
{
    TRDTableItemInfo& table = TableUndoTable(data, ItemIndex);
    UndoGridCheckRectangle(*table.Rows, Row, Col, RowCount, ColCount);
    if (auto* opposite = UndoTableOpposite(data, *this)) {
        opposite->Row = Row;
        opposite->Col = Col;
        opposite->ColCount = ColCount;
        opposite->RowCount = RowCount;
        opposite->Redoes = !Redoes;
    }
    if (Redoes)
        table.Rows->FreeCells(Row, Col, RowCount, ColCount);
    else
        table.Rows->CreateCells(Row, Col, RowCount, ColCount);
    table.MarkChanged();
}

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoFreeEmptyCell::CreateSameClass() const
{
    auto record = std::make_unique<TRDUndoFreeEmptyCell>();
    record->ChangesSize = record->ChangesWidth = true;
    return record;
}

void TRDUndoInsertEmptyCell::Undo(TRDEditRDData& data)
{
    TRDTableItemInfo& table = TableUndoTable(data, ItemIndex);
    TRDTableRows& rows = *table.Rows;
    if (RowCount < 0 || ColCount < 0 || Row < 0 || Row > rows.Count() - RowCount || Col < 0)
        UndoTableFail();
    for (int r = Row; r < Row + RowCount; ++r)
        if (Col > rows.Row(r)->Count() - (Redoes ? 0 : ColCount))
            UndoTableFail();
    if (auto* opposite = UndoTableOpposite(data, *this)) {
        opposite->Row = Row;
        opposite->Col = Col;
        opposite->ColCount = ColCount;
        opposite->RowCount = RowCount;
        opposite->Redoes = !Redoes;
    }
    if (Redoes)
        rows.InsertNils(Row, Col, RowCount, ColCount);
    else
        rows.DeleteEntries(Row, Col, RowCount, ColCount);
    table.MarkChanged();
}

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoInsertEmptyCell::CreateSameClass() const
{
    auto record = std::make_unique<TRDUndoInsertEmptyCell>();
    record->ChangesSize = record->ChangesWidth = true;
    return record;
}

void TRDUndoCellSpitHorz::Undo(TRDEditRDData& data)
{
    TRDTableItemInfo& table = TableUndoTable(data, ItemIndex);
    const TRDTableCellData& cell = TableUndoCell(table, Row, Col);
    if (Redoes ? SplitRow <= Row || SplitRow >= Row + cell.RowSpan : &TableUndoCell(table, SplitRow, Col) == &cell)
        UndoTableFail();
    if (auto* opposite = UndoTableOpposite(data, *this)) {
        opposite->Row = Row;
        opposite->Col = Col;
        opposite->SplitRow = SplitRow;
        opposite->BestHeightBefore = BestHeightBefore;
        opposite->Shrink = Shrink;
        opposite->Redoes = !Redoes;
    }
    if (Redoes)
        table.Rows->SplitCellAtRow(Row, Col, Shrink, SplitRow);
    else
        table.Rows->JoinCellAtRow(Row, Col, BestHeightBefore, SplitRow);
    table.MarkChanged();
}

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoCellSpitHorz::CreateSameClass() const
{
    auto record = std::make_unique<TRDUndoCellSpitHorz>();
    record->ChangesSize = true;
    return record;
}

void TRDUndoCellSpitVert::Undo(TRDEditRDData& data)
{
    TRDTableItemInfo& table = TableUndoTable(data, ItemIndex);
    const TRDTableCellData& cell = TableUndoCell(table, Row, Col);
    if (Redoes ? SplitCol <= Col || SplitCol >= Col + cell.ColSpan : &TableUndoCell(table, Row, SplitCol) == &cell)
        UndoTableFail();
    if (auto* opposite = UndoTableOpposite(data, *this)) {
        opposite->Row = Row;
        opposite->Col = Col;
        opposite->SplitCol = SplitCol;
        opposite->BestWidthBefore = BestWidthBefore;
        opposite->Shrink = Shrink;
        opposite->Redoes = !Redoes;
    }
    if (Redoes)
        table.Rows->SplitCellAtCol(Row, Col, Shrink, SplitCol);
    else
        table.Rows->JoinCellAtCol(Row, Col, BestWidthBefore, SplitCol);
    table.MarkChanged();
}

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoCellSpitVert::CreateSameClass() const
{
    auto record = std::make_unique<TRDUndoCellSpitVert>();
    record->ChangesSize = record->ChangesWidth = true;
    return record;
}

TRDUndoDeleteRows::TRDUndoDeleteRows() = default;

TRDUndoDeleteRows::~TRDUndoDeleteRows()
{
    RemovedRows.Clear();
}

void TRDUndoDeleteRows::KeepRow(std::unique_ptr<TRDTableRow> row)
{
    if (row)
        for (int c = 0; c < row->Count(); ++c)
            if (TRDTableCellData* cell = row->GetCell(c)) {
                cell->ShownSelected = false;
                cell->DetachToUndo(this);
            }
    RemovedRows.Add(std::move(row));
}

void TRDUndoDeleteRows::Undo(TRDEditRDData& data)
{
    TRDTableItemInfo& table = TableUndoTable(data, ItemIndex);
    TRDTableRows& rows = *table.Rows;
    if (Redoes) {
        if (Count < 1 || Row < 0 || Row > rows.Count() - Count)
            UndoTableFail();
    } else {
        const int colCount = rows.GetColCount();
        if (Row < 0 || Row > rows.Count() || RemovedRows.Count() != Count)
            UndoTableFail();
        for (int i = 0; i < RemovedRows.Count(); ++i)
            if (!RemovedRows[i] || (rows.Count() > 0 && RemovedRows[i]->Count() != colCount))
                UndoTableFail();
    }
    auto* opposite = UndoTableOpposite(data, *this);
    if (opposite) {
        opposite->Row = Row;
        opposite->Count = Count;
        opposite->Redoes = !Redoes;
    }
    if (Redoes)
        rows.RemoveRows(opposite ? ItemIndex : -1, Row, opposite, Count);
    else
        rows.RestoreRows(Row, RemovedRows);
    table.MarkChanged();
}

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoDeleteRows::CreateSameClass() const
{
    auto record = std::make_unique<TRDUndoDeleteRows>();
    record->ChangesSize = record->ChangesWidth = true;
    return record;
}

TCustomRDUndoWithCells::TCustomRDUndoWithCells() = default;

TCustomRDUndoWithCells::~TCustomRDUndoWithCells()
{
    RemovedCells.Clear();
}

void TCustomRDUndoWithCells::KeepCell(std::unique_ptr<TRDTableCellData> cell)
{
    if (cell) {
        cell->ShownSelected = false;
        cell->DetachToUndo(this);
    }
    RemovedCells.Add(std::move(cell));
}

void TRDUndoDeleteCols::Undo(TRDEditRDData& data)
{
    TRDTableItemInfo& table = TableUndoTable(data, ItemIndex);
    TRDTableRows& rows = *table.Rows;
    const int colCount = rows.GetColCount();
    if (Redoes) {
        if (Count < 1 || Col < 0 || Col > colCount - Count)
            UndoTableFail();
    } else if (Count < 1 || Col < 0 || Col > colCount || int64_t{rows.Count()} * Count != RemovedCells.Count()) {
        UndoTableFail();
    }
    auto* opposite = UndoTableOpposite(data, *this);
    if (opposite) {
        opposite->Col = Col;
        opposite->Count = Count;
        opposite->Redoes = !Redoes;
    }
    if (Redoes)
        rows.RemoveCols(opposite ? ItemIndex : -1, Col, opposite, Count);
    else
        rows.RestoreCols(Col, RemovedCells);
    table.MarkChanged();
}

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoDeleteCols::CreateSameClass() const
{
    auto record = std::make_unique<TRDUndoDeleteCols>();
    record->ChangesSize = record->ChangesWidth = true;
    return record;
}

void TRDUndoCellsClear::Undo(TRDEditRDData& data)
{
    TRDTableItemInfo& table = TableUndoTable(data, ItemIndex);
    if (ClearedRows.Count() != ClearedCols.Count() || (!Redoes && RemovedCells.Count() != ClearedRows.Count()))
        UndoTableFail();
    for (int k = 0; k < ClearedRows.Count(); ++k)
        TableUndoCell(table, ClearedRows[k], ClearedCols[k]);
    auto* opposite = UndoTableOpposite(data, *this);
    if (opposite) {
        opposite->ClearedRows.Assign(ClearedRows);
        opposite->ClearedCols.Assign(ClearedCols);
        opposite->Redoes = !Redoes;
    }
    if (Redoes)
        table.Rows->ClearCells(opposite, ClearedRows, ClearedCols);
    else
        table.Rows->RestoreClearedCells(RemovedCells, ClearedRows, ClearedCols);
    table.MarkChanged();
}

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoCellsClear::CreateSameClass() const
{
    auto record = std::make_unique<TRDUndoCellsClear>();
    record->ChangesSize = record->ChangesWidth = true;
    return record;
}

TRDUndoMergeItem::TRDUndoMergeItem(TRDTableItemInfo& table, int row, int col) : Row(row), Col(col)
{
    TRDTableCellData* cell = row >= 0 && col >= 0 && row < table.RowCount() && col < table.Rows->Row(row)->Count()
                                 ? table.GetCell(row, col)
                                 : nullptr;
    GivenItemCount = cell && cell->HasContent(false) ? cell->ItemCount() : 0;
}

TRDUndoMergeItem::TRDUndoMergeItem(int row, int col, int givenItemCount)
    : Row(row), Col(col), GivenItemCount(givenItemCount)
{
}

TRDUndoMergeItem::~TRDUndoMergeItem() = default;

TRDUndoMerge::TRDUndoMerge() = default;

TRDUndoMerge::~TRDUndoMerge()
{
    MergeItems.Clear();
}

void TRDUndoMerge::AddMergeItems(TRDTableItemInfo& table, int rowCount, int colCount)
{
    for (int r = Row; r < Row + rowCount; ++r)
        for (int c = Col; c < Col + colCount; ++c)
            if (r != Row || c != Col)
                MergeItems.Add(std::make_unique<TRDUndoMergeItem>(table, r, c));
}

void TRDUndoMerge::KeepCell(int row, int col, std::unique_ptr<TRDTableCellData> cell)
{
    TRDUndoMergeItem* item = nullptr;
    for (int i = 0; i < MergeItems.Count() && !item; ++i)
        if (MergeItems[i]->Row == row && MergeItems[i]->Col == col)
            item = MergeItems[i];
    if (!item) {
        // A cell the record was not made for gave nothing it could take back.
        item = MergeItems.Add(std::make_unique<TRDUndoMergeItem>(row, col, 0));
    }
    if (cell) {
        cell->ShownSelected = false;
        cell->DetachToUndo(this);
    }
    item->Cell = std::move(cell);
}

void TRDUndoMerge::Undo(TRDEditRDData& data)
{
    TRDTableItemInfo& table = TableUndoTable(data, ItemIndex);
    TRDTableRows& rows = *table.Rows;
    TRDTableCellData& main = TableUndoCell(table, Row, Col);
    if (RowSpanAfter < 1 || ColSpanAfter < 1 || RowSpanBefore < 1 || ColSpanBefore < 1)
        UndoTableFail();
    if (Redoes) {
        UndoGridCheckRectangle(rows, Row, Col, RowSpanAfter, ColSpanAfter);
    } else {
        // Every merged-away position is empty now, and the merged cell holds
        // at least the items the others gave it.
        int64_t given = 0;
        for (int i = 0; i < MergeItems.Count(); ++i) {
            const TRDUndoMergeItem& item = *MergeItems[i];
            UndoGridCheckRectangle(rows, item.Row, item.Col, 1, 1);
            if (UndoGridCell(rows, item.Row, item.Col) || item.GivenItemCount < 0 ||
                (item.GivenItemCount > 0 && !item.Cell))
                UndoTableFail();
            given += item.GivenItemCount;
        }
        if (given > main.ItemCount())
            UndoTableFail();
    }
    auto* opposite = UndoTableOpposite(data, *this);
    if (opposite) {
        opposite->Row = Row;
        opposite->Col = Col;
        opposite->ColSpanBefore = ColSpanBefore;
        opposite->RowSpanBefore = RowSpanBefore;
        opposite->ColSpanAfter = ColSpanAfter;
        opposite->RowSpanAfter = RowSpanAfter;
        opposite->BestWidthBefore = BestWidthBefore;
        opposite->Redoes = !Redoes;
        if (Redoes)
            opposite->AddMergeItems(table, RowSpanAfter, ColSpanAfter);
    }
    if (Redoes)
        rows.DoMerge(opposite ? ItemIndex : -1, Row, true, opposite, RowSpanAfter, ColSpanAfter, Col);
    else
        rows.Unmerge(Row, BestWidthBefore, MergeItems, RowSpanBefore, ColSpanBefore, Col);
    table.MarkChanged();
}

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoMerge::CreateSameClass() const
{
    auto record = std::make_unique<TRDUndoMerge>();
    record->ChangesSize = record->ChangesWidth = true;
    return record;
}

// ---- the table's background picture ----

void TableTakeBackgroundImage(TRDTableItemInfo& table, std::unique_ptr<TGraphic> graphic)
{
    if (graphic && graphic.get() == table.GetBackgroundImage())
        return;
    if (!table.Background && graphic && !graphic->Empty())
        table.Background = std::make_unique<TRDBackground>(false);
    if (table.Background) {
        table.Background->AssignImage(std::move(graphic));
        if (table.Background->IsEmpty())
            table.Background.reset();
    }
    if (auto* owner = dynamic_cast<TCustomRDFormattedData*>(table.Rows->OwningData))
        owner->ResetAnimations();
}

void SetTableBackgroundImage(TRDTableItemInfo& table, const TGraphic* graphic)
{
    if (graphic == table.GetBackgroundImage())
        return;
    if ((table.TableState & TRDTableItemInfo::tsInDocument) && table.InEditingDocument()) {
        auto* data = static_cast<TRDEditRDData*>(table.Rows->OwningData);
        data->BeginUndoGroup(rdutModifyItem, true);
        auto* record = AddTableUndoRecord<TRDUndoModifyBackgroundImage>(data, table.GetMyItemNo(), false, false);
        std::unique_ptr<TGraphic> old = table.Background ? table.Background->TakeImage() : nullptr;
        if (table.Background && table.Background->IsEmpty())
            table.Background.reset();
        if (record) {
            record->Row = -1;
            record->Col = -1;
            record->Picture = std::move(old);
        }
    }
    table.SetBackgroundImageEx(graphic);
}
