// Grid operations: inserting, deleting, merging and splitting rows, columns and cells, with and without undo, and the cell property operations.
//
// A grid of m rows has m rows of the same number of entries; an entry holds
// the cell that starts there or nil when a cell spanning from above or from
// the left covers it. Every command keeps that shape. While the table
// records undo, each command writes the records that take it back, between
// an opening and a closing terminator, and hands the cells and rows it takes
// out to those records instead of freeing them, so that undo puts back the
// very same objects.

#include <QtCore/QMetaProperty>
#include <QtCore/QVariant>

#include <algorithm>
#include <climits>
#include <vector>

#include "core/RDError.h"
#include "document/RDBack.h"
#include "editing/RDERDData.h"
#include "tables/RDTable.h"
#include "tables/RDTableUndo.h"

namespace {

[[noreturn]] void GridIndexError()
{
    throw ERichDocError("Invalid row or column index");
}

int GridSaturate(int64_t value)
{
    return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

// value x numerator div denominator, truncated toward zero, in 64 bits.
int GridScale(int value, int numerator, int denominator)
{
    if (denominator == 0)
        return value;
    return GridSaturate(int64_t(value) * numerator / denominator);
}

// The cell standing at (row, col); raises for a position outside the grid
// or one that holds no cell.
TRDTableCellData* GridCellAt(const TRDTableRows& rows, int row, int col)
{
    if (row < 0 || row >= rows.Count() || col < 0 || col >= rows.Row(row)->Count())
        GridIndexError();
    TRDTableCellData* cell = rows.Row(row)->GetCell(col);
    if (!cell)
        GridIndexError();
    return cell;
}

// Raises unless rows row .. row + rowCount - 1 exist and each has entries
// col .. col + colCount - 1 (colCount 0 allows col up to the row's count).
void GridCheckRect(const TRDTableRows& rows, int row, int col, int rowCount, int colCount)
{
    if (rowCount < 0 || colCount < 0 || row < 0 || col < 0 || int64_t(row) + rowCount > rows.Count())
        GridIndexError();
    for (int r = row; r < row + rowCount; ++r)
        if (int64_t(col) + colCount > rows.Row(r)->Count())
            GridIndexError();
}

// The paragraph style of the first item of data (0 without items).
int GridFirstParaOf(TCustomRDData* data)
{
    return data && data->ItemCount() > 0 ? data->ItemAt(0)->ParaNo : 0;
}

// The opening terminator of a recorded command, and the closing one when
// the command ends, also when it raises.
class TGridTerminators {
public:
    TGridTerminators(TCustomRDData* data, int undoItemNo)
        : FData(undoItemNo < 0 ? nullptr : dynamic_cast<TRDEditRDData*>(data)), FItemNo(undoItemNo)
    {
        if (FData)
            FData->AddModifyItemTerminator(FItemNo, true);
    }
    ~TGridTerminators()
    {
        if (!FData)
            return;
        try {
            FData->AddModifyItemTerminator(FItemNo, false);
        } catch (const ERichDocError&) {
            // The group cannot take the record (its list was cleared while
            // the command ran): there is nothing left to close.
        }
    }
    TGridTerminators(const TGridTerminators&) = delete;
    TGridTerminators& operator=(const TGridTerminators&) = delete;

private:
    TRDEditRDData* FData;
    int FItemNo;
};

// The undo bracket of a table operation, closed also when it raises.
class TGridTableOperation {
public:
    explicit TGridTableOperation(TRDTableItemInfo& table) : FTable(table) { FTable.BeginTableOperation(); }
    ~TGridTableOperation() { FTable.EndTableOperation(); }
    TGridTableOperation(const TGridTableOperation&) = delete;
    TGridTableOperation& operator=(const TGridTableOperation&) = delete;

private:
    TRDTableItemInfo& FTable;
};

// The length of the run of clear marks from first, at most limit long.
int GridUnmarkedRun(const std::vector<char>& marks, int first, int limit)
{
    int run = 0;
    while (run < limit && first + run < static_cast<int>(marks.size()) && !marks[first + run])
        ++run;
    return run;
}

// Calls visit(cell, mainRow, mainCol) once for each main cell that meets
// row line (alongRow: walking its count columns from the right) or column
// line (walking its count rows from the bottom).
template <typename Visit>
void GridEachMainCell(const TRDTableRows& rows, bool alongRow, int line, int count, Visit&& visit)
{
    for (int i = count - 1; i >= 0;) {
        int mainCol = 0, mainRow = 0;
        TRDTableCellData* cell =
            alongRow ? rows.GetMainCell(line, i, mainCol, mainRow) : rows.GetMainCell(i, line, mainCol, mainRow);
        if (!cell) {
            --i;
            continue;
        }
        visit(cell, mainRow, mainCol);
        i = (alongRow ? mainCol : mainRow) - 1;
    }
}

}  // namespace

// ======== building and access ========

void TRDTableRows::Reset(int rowCount, int colCount)
{
    Clear();
    AddRows(rowCount, colCount);
}

bool TRDTableRows::IsEmpty() const
{
    return Count() == 0 || Row(0)->Count() == 0;
}

TRDTableRow* TRDTableRows::AddRow(int colCount)
{
    return Add(std::make_unique<TRDTableRow>(colCount, this));
}

TRDTableRow* TRDTableRows::InsertRow(int index, int colCount)
{
    return Insert(index, std::make_unique<TRDTableRow>(colCount, this));
}

void TRDTableRows::InsertRowObject(int index, std::unique_ptr<TRDTableRow> row)
{
    row->OwnerRows = this;
    Insert(index, std::move(row));
}

int TRDTableRows::GetColCount() const
{
    return Count() == 0 ? 0 : Row(0)->Count();
}

TRDTableCellData* TRDTableRows::GetMainCell(int row, int col, int& mainCol, int& mainRow) const
{
    mainRow = row;
    mainCol = col;
    if (row < 0 || row >= Count() || col < 0 || col >= Row(row)->Count())
        return nullptr;
    if (TRDTableCellData* cell = Row(row)->GetCell(col))
        return cell;
    // Up the rows from the position: in each, the first cell at or left of
    // the column; the first that reaches over the position covers it. A
    // broken grid has none, and the search ends at row 0.
    for (int r = row; r >= 0; --r) {
        const TRDTableRow* line = Row(r);
        if (col >= line->Count())
            continue;
        int c = col;
        while (c > 0 && !line->GetCell(c))
            --c;
        TRDTableCellData* cell = line->GetCell(c);
        if (cell && cell->ColSpan > col - c && cell->RowSpan > row - r) {
            mainRow = r;
            mainCol = c;
            return cell;
        }
    }
    return nullptr;
}

int TRDTableRows::FirstTextStyleOf(TCustomRDData* data)
{
    if (!data)
        return 0;
    for (int i = 0; i < data->ItemCount(); ++i) {
        const TCustomRDItemInfo* item = data->ItemAt(i);
        if (item->StyleNo >= 0 && item->Tag.IsNil())
            return item->StyleNo;
    }
    return 0;
}

// ======== column questions ========

int TRDTableRows::GetColumnMinWidth(int col, const TRDResolutionInfo* resolution, TCanvas* canvas) const
{
    int width = 0;
    for (int r = 0; r < Count(); ++r) {
        if (col < 0 || col >= Row(r)->Count())
            continue;
        TRDTableCellData* cell = Row(r)->GetCell(col);
        if (cell && cell->ColSpan <= 1)
            width = std::max(width, cell->GetMinWidth(resolution, canvas));
    }
    return width;
}

bool TRDTableRows::ColumnHasPercentWidth(int col) const
{
    for (int r = 0; r < Count(); ++r) {
        if (col < 0 || col >= Row(r)->Count())
            continue;
        if (const TRDTableCellData* cell = Row(r)->GetCell(col)) {
            if (cell->ColSpan <= 1 && cell->BestWidth < 0)
                return true;
            continue;
        }
        int mainCol = 0, mainRow = 0;
        const TRDTableCellData* main = GetMainCell(r, col, mainCol, mainRow);
        if (main && main->BestWidth < 0 && int64_t(mainCol) + main->ColSpan - 1 == col)
            return true;
    }
    return false;
}

int TRDTableRows::GetColumnPercentWidth(int col, int tableWidth) const
{
    int64_t best = 0;
    for (int r = 0; r < Count(); ++r) {
        if (col < 0 || col >= Row(r)->Count())
            continue;
        const TRDTableCellData* cell = Row(r)->GetCell(col);
        if (cell && cell->ColSpan <= 1 && cell->BestWidth < 0)
            best = std::max(best, int64_t(tableWidth) * -int64_t(cell->BestWidth) / 100);
    }
    return GridSaturate(best);
}

int TRDTableRows::GetColumnBestWidth(int col) const
{
    int best = 0;
    for (int r = 0; r < Count(); ++r) {
        if (col < 0 || col >= Row(r)->Count())
            continue;
        const TRDTableCellData* cell = Row(r)->GetCell(col);
        if (!cell || cell->ColSpan > 1)
            continue;
        if (cell->BestWidth < 0)
            return 0;
        best = std::max(best, cell->BestWidth);
    }
    return best;
}

int TRDTableRows::GetCombinedBestWidth(int row, int col, int rowCount, int colCount) const
{
    int64_t answer = 0;
    for (int r = std::max(row, 0); r < Count() && int64_t(r) < int64_t(row) + rowCount; ++r) {
        int64_t w = 0;
        for (int c = std::max(col, 0); c < Row(r)->Count() && int64_t(c) < int64_t(col) + colCount; ++c) {
            const TRDTableCellData* cell = Row(r)->GetCell(c);
            if (!cell)
                continue;
            const int64_t b = cell->BestWidth;
            if (b > 0 && w >= 0)
                w += b;
            else if (b < 0)
                w = std::min<int64_t>(w, 0) + b;  // a percentage drops the pixels; percentages add up
        }
        const bool takes = (w < 0 && answer >= 0) || (w < 0 && answer < 0 && w < answer) ||
                           (w > 0 && answer >= 0 && w > answer);
        if (takes)
            answer = w;
    }
    return GridSaturate(answer);
}

// ======== recording ========

TCustomRDData* TRDTableRows::GridRecordingData(int& undoItemNo) const
{
    if (!Table || !Table->UndoEnabled() || !Table->InEditingDocument())
        return nullptr;
    if (undoItemNo < 0)
        undoItemNo = Table->GetMyItemNo();
    return undoItemNo < 0 ? nullptr : OwningData;
}

int TRDTableRows::GridUndoItemNo() const
{
    return Table ? Table->GetUndoItemNo() : -1;
}

void TRDTableRows::GridCheckPosition(int row, int col) const
{
    if (row < 0 || row >= Count() || col < 0 || col >= Row(row)->Count())
        GridIndexError();
}

void TRDTableRows::RecordInsertRows(int undoItemNo, int first, int count)
{
    if (TCustomRDData* data = GridRecordingData(undoItemNo))
        if (auto* record = AddTableUndoRecord<TRDUndoInsertTableRows>(data, undoItemNo, true, true)) {
            record->Row = first;
            record->Count = count;
        }
}

void TRDTableRows::RecordInsertCell(int undoItemNo, int row, int col)
{
    if (TCustomRDData* data = GridRecordingData(undoItemNo))
        if (auto* record = AddTableUndoRecord<TRDUndoInsertTableCell>(data, undoItemNo, true, true)) {
            record->Row = row;
            record->Col = col;
        }
}

void TRDTableRows::RecordSpreadOverEmptyCells(int undoItemNo, int row, int span, int col)
{
    if (TCustomRDData* data = GridRecordingData(undoItemNo))
        if (auto* record = AddTableUndoRecord<TRDUndoSpreadOverEmptyCells>(data, undoItemNo, true, true)) {
            record->Row = row;
            record->Col = col;
            record->ColSpan = span;
        }
}

void TRDTableRows::RecordFreeEmptyCells(int undoItemNo, int row, int col, int rowCount, int colCount)
{
    if (TCustomRDData* data = GridRecordingData(undoItemNo))
        if (auto* record = AddTableUndoRecord<TRDUndoFreeEmptyCell>(data, undoItemNo, true, true)) {
            record->Row = row;
            record->Col = col;
            record->RowCount = rowCount;
            record->ColCount = colCount;
        }
}

void TRDTableRows::RecordInsertEmptyCells(int undoItemNo, int row, int col, int rowCount, int colCount)
{
    if (rowCount <= 0 || colCount <= 0)
        return;
    if (TCustomRDData* data = GridRecordingData(undoItemNo))
        if (auto* record = AddTableUndoRecord<TRDUndoInsertEmptyCell>(data, undoItemNo, true, true)) {
            record->Row = row;
            record->Col = col;
            record->RowCount = rowCount;
            record->ColCount = colCount;
        }
}

void TRDTableRows::RecordSplitCellAtRow(int undoItemNo, int row, bool shrink, int splitRow, int col)
{
    if (TCustomRDData* data = GridRecordingData(undoItemNo))
        if (auto* record = AddTableUndoRecord<TRDUndoCellSpitHorz>(data, undoItemNo, true, false)) {
            record->Row = row;
            record->Col = col;
            record->Shrink = shrink;
            record->SplitRow = splitRow;
            record->BestHeightBefore = GridCellAt(*this, row, col)->BestHeight;
        }
}

void TRDTableRows::RecordSplitCellAtCol(int undoItemNo, int row, bool shrink, int splitCol, int col)
{
    if (TCustomRDData* data = GridRecordingData(undoItemNo))
        if (auto* record = AddTableUndoRecord<TRDUndoCellSpitVert>(data, undoItemNo, true, true)) {
            record->Row = row;
            record->Col = col;
            record->Shrink = shrink;
            record->SplitCol = splitCol;
            record->BestWidthBefore = GridCellAt(*this, row, col)->BestWidth;
        }
}

TRDUndoDeleteRows* TRDTableRows::RecordDeleteRows(int undoItemNo, int first, int count)
{
    TCustomRDData* data = GridRecordingData(undoItemNo);
    if (!data)
        return nullptr;
    auto* record = AddTableUndoRecord<TRDUndoDeleteRows>(data, undoItemNo, true, true);
    if (record) {
        record->Row = first;
        record->Count = count;
    }
    return record;
}

TRDUndoDeleteCols* TRDTableRows::RecordDeleteCols(int undoItemNo, int first, int count)
{
    TCustomRDData* data = GridRecordingData(undoItemNo);
    if (!data)
        return nullptr;
    auto* record = AddTableUndoRecord<TRDUndoDeleteCols>(data, undoItemNo, true, true);
    if (record) {
        record->Col = first;
        record->Count = count;
    }
    return record;
}

TRDUndoCellsClear* TRDTableRows::RecordCellsClear(int undoItemNo, const TRDIntegerList& rows,
                                                  const TRDIntegerList& cols)
{
    TCustomRDData* data = GridRecordingData(undoItemNo);
    if (!data)
        return nullptr;
    auto* record = AddTableUndoRecord<TRDUndoCellsClear>(data, undoItemNo, true, true);
    if (record) {
        record->ClearedRows.Assign(rows);
        record->ClearedCols.Assign(cols);
    }
    return record;
}

TRDUndoMerge* TRDTableRows::RecordMerge(int undoItemNo, int topRow, int rowCount, int colCount, int leftCol)
{
    TCustomRDData* data = GridRecordingData(undoItemNo);
    if (!data)
        return nullptr;
    const TRDTableCellData* main = GridCellAt(*this, topRow, leftCol);
    auto* record = AddTableUndoRecord<TRDUndoMerge>(data, undoItemNo, true, true);
    if (record) {
        record->Row = topRow;
        record->Col = leftCol;
        record->ColSpanBefore = main->ColSpan;
        record->RowSpanBefore = main->RowSpan;
        record->ColSpanAfter = colCount;
        record->RowSpanAfter = rowCount;
        record->BestWidthBefore = main->BestWidth;
        record->AddMergeItems(*Table, rowCount, colCount);
    }
    return record;
}

// ======== primitives ========

void TRDTableRows::InsertEmptyRows(int index, int count)
{
    if (index < 0 || index > Count() || count < 0)
        GridIndexError();
    const int colCount = GetColCount();
    for (int k = 0; k < count; ++k)
        InsertRow(index, colCount);
}

void TRDTableRows::RemoveRowsPlain(int index, int count)
{
    if (index < 0 || count < 0 || int64_t(index) + count > Count())
        GridIndexError();
    for (int k = 0; k < count; ++k)
        Delete(index);
}

void TRDTableRows::InsertNils(int row, int col, int rowCount, int colCount)
{
    GridCheckRect(*this, row, col, rowCount, 0);
    if (colCount < 0)
        GridIndexError();
    for (int r = row; r < row + rowCount; ++r)
        for (int k = 0; k < colCount; ++k)
            Row(r)->InsertNil(col);
}

void TRDTableRows::DeleteEntries(int row, int col, int rowCount, int colCount)
{
    GridCheckRect(*this, row, col, rowCount, colCount);
    for (int r = row; r < row + rowCount; ++r)
        for (int k = 0; k < colCount; ++k)
            Row(r)->Delete(col);
}

void TRDTableRows::CreateCells(int row, int col, int rowCount, int colCount)
{
    GridCheckRect(*this, row, col, rowCount, colCount);
    for (int r = row; r < row + rowCount; ++r)
        for (int c = col; c < col + colCount; ++c)
            if (Row(r)->GetCell(c))
                GridIndexError();
    for (int r = row; r < row + rowCount; ++r)
        for (int c = col; c < col + colCount; ++c)
            Row(r)->PutCell(c, std::make_unique<TRDTableCellData>(Row(r)));
}

void TRDTableRows::FreeCells(int row, int col, int rowCount, int colCount)
{
    GridCheckRect(*this, row, col, rowCount, colCount);
    for (int r = row; r < row + rowCount; ++r)
        for (int c = col; c < col + colCount; ++c)
            Row(r)->PutCell(c, nullptr);
}

void TRDTableRows::SpreadOverEmptyCells(int row, int col, int span)
{
    TRDTableCellData* cell = GridCellAt(*this, row, col);
    if (span < 1)
        GridIndexError();
    GridCheckRect(*this, row, col, 1, span);
    cell->ColSpan = span;
    for (int c = col + 1; c < col + span; ++c)
        Row(row)->PutCell(c, nullptr);
}

void TRDTableRows::UnspreadCell(int row, int col, int span)
{
    TRDTableCellData* cell = GridCellAt(*this, row, col);
    if (span < 1)
        GridIndexError();
    GridCheckRect(*this, row, col, 1, span);
    cell->ColSpan = 1;
    for (int c = col + 1; c < col + span; ++c)
        Row(row)->PutCell(c, std::make_unique<TRDTableCellData>(Row(row)));
}

void TRDTableRows::SetSpan(int undoItemNo, int row, bool isColSpan, int value, int col)
{
    TRDTableCellData* cell = GridCellAt(*this, row, col);
    int32_t& span = isColSpan ? cell->ColSpan : cell->RowSpan;
    if (span == value)
        return;
    if (undoItemNo != -1)
        if (TCustomRDData* data = GridRecordingData(undoItemNo))
            if (auto* record = AddTableUndoRecord<TRDUndoSpan>(data, undoItemNo, true, isColSpan)) {
                record->ForColumns = isColSpan;
                record->Row = row;
                record->Col = col;
                record->SpanBefore = span;
            }
    span = value;
}

void TRDTableRows::ChangeEmptyCellStyle(int undoItemNo, int row, int paraNo, int styleNo, int col)
{
    TRDTableCellData* cell = GridCellAt(*this, row, col);
    if (undoItemNo != -1)
        if (TCustomRDData* data = GridRecordingData(undoItemNo))
            if (auto* record = AddTableUndoRecord<TRDUndoChangeEmptyCellStyles>(data, undoItemNo, true, true)) {
                record->Row = row;
                record->Col = col;
                if (cell->ItemCount() > 0) {
                    const TCustomRDItemInfo* first = cell->ItemAt(0);
                    record->StyleNo = first->StyleNo >= 0 ? first->StyleNo : 0;
                    record->ParaNo = first->ParaNo;
                }
            }
    cell->Clear();
    cell->AddTextConverted(QByteArray(), styleNo, paraNo, TRDTag());
}

void TRDTableRows::SplitCellAtRow(int row, int col, bool shrinkBestHeight, int splitRow)
{
    TRDTableCellData* cell = GridCellAt(*this, row, col);
    if (splitRow <= row || int64_t(splitRow) >= int64_t(row) + cell->RowSpan || splitRow >= Count() ||
        Row(splitRow)->GetCell(col))
        GridIndexError();
    auto made = std::make_unique<TRDTableCellData>(Row(splitRow));
    TRDTableCellData* part = made.get();
    part->AssignAttributes(*cell, true, 1, 1);
    part->ColSpan = cell->ColSpan;
    part->RowSpan = row + cell->RowSpan - splitRow;
    part->BestHeight = GridScale(cell->BestHeight, part->RowSpan, cell->RowSpan);
    Row(splitRow)->PutCell(col, std::move(made));
    if (shrinkBestHeight)
        cell->BestHeight = GridScale(cell->BestHeight, cell->RowSpan - part->RowSpan, cell->RowSpan);
    cell->RowSpan -= part->RowSpan;
}

void TRDTableRows::JoinCellAtRow(int row, int col, int oldBestHeight, int splitRow)
{
    TRDTableCellData* cell = GridCellAt(*this, row, col);
    TRDTableCellData* part = GridCellAt(*this, splitRow, col);
    if (splitRow <= row)
        GridIndexError();
    cell->BestHeight = oldBestHeight;
    cell->RowSpan += part->RowSpan;
    Row(splitRow)->PutCell(col, nullptr);
}

void TRDTableRows::SplitCellAtCol(int row, int col, bool shrinkBestWidth, int splitCol)
{
    TRDTableCellData* cell = GridCellAt(*this, row, col);
    if (splitCol <= col || int64_t(splitCol) >= int64_t(col) + cell->ColSpan ||
        splitCol >= Row(row)->Count() || Row(row)->GetCell(splitCol))
        GridIndexError();
    auto made = std::make_unique<TRDTableCellData>(Row(row));
    TRDTableCellData* part = made.get();
    part->AssignAttributes(*cell, true, 1, 1);
    part->RowSpan = cell->RowSpan;
    part->ColSpan = col + cell->ColSpan - splitCol;
    part->BestWidth = GridScale(cell->BestWidth, part->ColSpan, cell->ColSpan);
    Row(row)->PutCell(splitCol, std::move(made));
    if (shrinkBestWidth)
        cell->BestWidth = GridScale(cell->BestWidth, cell->ColSpan - part->ColSpan, cell->ColSpan);
    cell->ColSpan -= part->ColSpan;
}

void TRDTableRows::JoinCellAtCol(int row, int col, int oldBestWidth, int splitCol)
{
    TRDTableCellData* cell = GridCellAt(*this, row, col);
    TRDTableCellData* part = GridCellAt(*this, row, splitCol);
    if (splitCol <= col)
        GridIndexError();
    cell->BestWidth = oldBestWidth;
    cell->ColSpan += part->ColSpan;
    Row(row)->PutCell(splitCol, nullptr);
}

void TRDTableRows::DetachCells(int row, int col, int rowCount, int colCount, TRDUndoInfo* record)
{
    GridCheckRect(*this, row, col, rowCount, colCount);
    for (int r = row; r < row + rowCount; ++r)
        for (int c = col; c < col + colCount; ++c)
            if (TRDTableCellData* cell = Row(r)->GetCell(c))
                cell->DetachToUndo(record);
}

void TRDTableRows::AttachCells(int row, int col, int rowCount, int colCount)
{
    GridCheckRect(*this, row, col, rowCount, colCount);
    for (int r = row; r < row + rowCount; ++r)
        for (int c = col; c < col + colCount; ++c)
            if (TRDTableCellData* cell = Row(r)->GetCell(c)) {
                cell->OwnerList = Row(r);
                cell->ReattachFromUndo();
            }
}

void TRDTableRows::RemoveRows(int undoItemNo, int first, TRDUndoDeleteRows* record, int count)
{
    if (first < 0 || count < 0 || int64_t(first) + count > Count())
        GridIndexError();
    for (int k = 0; k < count; ++k) {
        if (undoItemNo == -1 || !record)
            Delete(first);
        else
            record->KeepRow(DetachAt(first));
    }
}

void TRDTableRows::RestoreRows(int first, TRDList<TRDTableRow>& rows)
{
    if (first < 0 || first > Count())
        GridIndexError();
    const int count = rows.Count();
    for (int i = count - 1; i >= 0; --i)
        InsertRowObject(first, rows.DetachAt(i));
    for (int r = first; r < first + count; ++r) {
        TRDTableRow* row = Row(r);
        for (int c = 0; c < row->Count(); ++c)
            if (TRDTableCellData* cell = row->GetCell(c)) {
                cell->OwnerList = row;
                cell->ReattachFromUndo();
            }
    }
}

void TRDTableRows::RemoveCols(int undoItemNo, int first, TRDUndoDeleteCols* record, int count)
{
    GridCheckRect(*this, 0, first, Count(), count);
    for (int r = 0; r < Count(); ++r) {
        TRDTableRow* row = Row(r);
        for (int c = first + count - 1; c >= first; --c) {
            if (undoItemNo == -1 || !record) {
                row->Delete(c);
                continue;
            }
            std::unique_ptr<TRDItemFormattedData> entry = row->DetachAt(c);
            record->KeepCell(std::unique_ptr<TRDTableCellData>(static_cast<TRDTableCellData*>(entry.release())));
        }
    }
}

void TRDTableRows::RestoreCols(int first, TRDList<TRDTableCellData>& cells)
{
    const int rowCount = Count();
    if (rowCount == 0 || cells.Count() % rowCount != 0)
        GridIndexError();
    const int perRow = cells.Count() / rowCount;
    GridCheckRect(*this, 0, first, rowCount, 0);
    for (int r = 0; r < rowCount; ++r) {
        TRDTableRow* row = Row(r);
        // The list holds each row's cells from the last column down to the
        // first: inserting each at first restores the column order.
        for (int k = 0; k < perRow; ++k) {
            std::unique_ptr<TRDTableCellData> cell = cells.DetachAt(0);
            TRDTableCellData* raw = cell.get();
            row->InsertCellObject(first, std::move(cell));
            if (raw)
                raw->ReattachFromUndo();
        }
    }
}

void TRDTableRows::DoMerge(int undoItemNo, int topRow, bool combineWidths, TRDUndoMerge* record, int rowCount,
                           int colCount, int leftCol)
{
    TRDTableCellData* main = GridCellAt(*this, topRow, leftCol);
    GridCheckRect(*this, topRow, leftCol, rowCount, colCount);
    if (combineWidths)
        main->BestWidth = GetCombinedBestWidth(topRow, leftCol, rowCount, colCount);
    for (int r = topRow; r < topRow + rowCount; ++r)
        for (int c = leftCol; c < leftCol + colCount; ++c) {
            TRDTableCellData* cell = Row(r)->GetCell(c);
            if (!cell || cell == main)
                continue;
            if (cell->HasContent(false))
                main->MoveItemsFrom(cell);
            std::unique_ptr<TRDTableCellData> taken = Row(r)->PutCell(c, nullptr);
            if (undoItemNo != -1 && record)
                record->KeepCell(r, c, std::move(taken));
        }
    main->ColSpan = colCount;
    main->RowSpan = rowCount;
}

void TRDTableRows::Unmerge(int topRow, int oldBestWidth, TRDList<TRDUndoMergeItem>& mergeItems, int oldRowSpan,
                           int oldColSpan, int leftCol)
{
    TRDTableCellData* main = GridCellAt(*this, topRow, leftCol);
    // Everything is checked before the first change: the positions, and the
    // items the cells gave, which must all still be in the merged cell.
    int64_t given = 0;
    for (int i = 0; i < mergeItems.Count(); ++i) {
        const TRDUndoMergeItem* item = mergeItems[i];
        GridCheckRect(*this, item->Row, item->Col, 1, 1);
        if (item->GivenItemCount < 0 || (item->GivenItemCount > 0 && !item->Cell) ||
            (item->Cell && Row(item->Row)->GetCell(item->Col)))
            GridIndexError();
        given += item->GivenItemCount;
    }
    if (given > main->ItemCount())
        GridIndexError();
    main->BestWidth = oldBestWidth;
    int n = main->ItemCount();
    for (int i = mergeItems.Count() - 1; i >= 0; --i) {
        TRDUndoMergeItem* item = mergeItems[i];
        if (!item->Cell)
            continue;
        TRDTableCellData* cell = item->Cell.get();
        Row(item->Row)->PutCell(item->Col, std::move(item->Cell));
        cell->ReattachFromUndo();
        n -= item->GivenItemCount;
        for (int k = 0; k < item->GivenItemCount; ++k) {
            QByteArray text;
            std::unique_ptr<TCustomRDItemInfo> moved = main->TakeItem(n, &text);
            cell->AddItemAsIs(text, std::move(moved));
        }
    }
    main->ColSpan = oldColSpan;
    main->RowSpan = oldRowSpan;
    mergeItems.Clear();
}

void TRDTableRows::ClearCells(TRDUndoCellsClear* record, const TRDIntegerList& rows, const TRDIntegerList& cols)
{
    if (rows.Count() != cols.Count())
        GridIndexError();
    for (int k = 0; k < rows.Count(); ++k)
        GridCellAt(*this, rows[k], cols[k]);
    for (int k = 0; k < rows.Count(); ++k) {
        const int r = rows[k], c = cols[k];
        TRDTableCellData* cell = Row(r)->GetCell(c);
        TCustomRDData* active = cell->GetActiveData();
        const int styleNo = FirstTextStyleOf(active);
        const int paraNo = GridFirstParaOf(active);
        if (!record) {
            cell->Clear();
            cell->AddTextConverted(QByteArray(), styleNo, paraNo, TRDTag());
            continue;
        }
        cell->Deselect(nullptr, true);
        cell->ShownSelected = false;
        auto made = std::make_unique<TRDTableCellData>(Row(r));
        TRDTableCellData* fresh = made.get();
        fresh->AssignAttributes(*cell, true, 1, 1);
        fresh->AssignLayout(*cell);
        fresh->Clear();
        fresh->AddTextConverted(QByteArray(), styleNo, paraNo, TRDTag());
        fresh->ColSpan = cell->ColSpan;
        fresh->RowSpan = cell->RowSpan;
        record->KeepCell(Row(r)->PutCell(c, std::move(made)));
    }
}

void TRDTableRows::RestoreClearedCells(TRDList<TRDTableCellData>& cells, const TRDIntegerList& rows,
                                       const TRDIntegerList& cols)
{
    if (rows.Count() != cols.Count() || cells.Count() != rows.Count())
        GridIndexError();
    for (int k = 0; k < rows.Count(); ++k) {
        GridCellAt(*this, rows[k], cols[k]);
        if (!cells[k])
            GridIndexError();
    }
    for (int k = 0; k < rows.Count(); ++k) {
        std::unique_ptr<TRDTableCellData> cell = cells.DetachAt(0);
        TRDTableCellData* raw = cell.get();
        Row(rows[k])->PutCell(cols[k], std::move(cell));
        raw->ReattachFromUndo();
    }
}

// ======== structure commands ========

void TRDTableRows::InsertCols(int index, int count, int copyCol, bool divideWidths)
{
    const int colCount = GetColCount();
    if (index < 0 || index > colCount || copyCol < -1 || copyCol >= colCount)
        GridIndexError();
    if (count < 1)
        return;
    const int undoItemNo = GridUndoItemNo();
    TGridTerminators terminators(OwningData, undoItemNo);
    const int rowCount = Count();
    std::vector<char> marked(rowCount, 0);
    // Cells straddling the insertion point grow over the new columns.
    if (index < colCount)
        GridEachMainCell(*this, false, index, rowCount, [&](TRDTableCellData* cell, int mainRow, int mainCol) {
            if (mainCol < index && int64_t(mainCol) + cell->ColSpan - 1 >= index) {
                for (int m = mainRow; m < rowCount && m < int64_t(mainRow) + cell->RowSpan; ++m)
                    marked[m] = 1;
                SetSpan(undoItemNo, mainRow, true, GridSaturate(int64_t(cell->ColSpan) + count), mainCol);
            }
        });
    for (int i = 0; i < rowCount;) {
        if (marked[i]) {
            RecordInsertEmptyCells(undoItemNo, i, index, 1, count);
            InsertNils(i, index, 1, count);
            ++i;
            continue;
        }
        TRDTableCellData* source = copyCol >= 0 ? Row(i)->GetCell(copyCol) : nullptr;
        // The new cells repeat the source's rows, but never over a row that a
        // widened cell covers.
        const int span = source ? std::max(1, GridUnmarkedRun(marked, i, source->RowSpan)) : 1;
        if (source && divideWidths && Table)
            Table->SetCellBestWidth(GridScale(source->BestWidth, source->ColSpan, count + source->ColSpan), i,
                                    copyCol);
        for (int k = 0; k < count; ++k) {
            RecordInsertCell(undoItemNo, i, index);
            Row(i)->InsertCell(index);
            if (!source)
                continue;
            if (Table)
                Table->AssignCellAttributes(-1, i, index, *source, true, 1, source->ColSpan);
            ChangeEmptyCellStyle(undoItemNo, i, GridFirstParaOf(source), FirstTextStyleOf(source), index);
            SetSpan(undoItemNo, i, false, span, index);
        }
        if (source) {
            RecordInsertEmptyCells(undoItemNo, i + 1, index, span - 1, count);
            InsertNils(i + 1, index, span - 1, count);
            i += span;
        } else {
            ++i;
        }
    }
}

void TRDTableRows::InsertRows(int index, int count, bool divideHeights, int copyRow)
{
    const int rowCount = Count();
    if (index < 0 || index > rowCount || copyRow < -1 || copyRow >= rowCount)
        GridIndexError();
    if (count < 1)
        return;
    const int undoItemNo = GridUndoItemNo();
    TGridTerminators terminators(OwningData, undoItemNo);
    const int colCount = GetColCount();
    std::vector<char> marked(colCount, 0);
    // Cells straddling the insertion point grow over the new rows.
    if (index < rowCount)
        GridEachMainCell(*this, true, index, colCount, [&](TRDTableCellData* cell, int mainRow, int mainCol) {
            if (mainRow < index && int64_t(mainRow) + cell->RowSpan - 1 >= index) {
                for (int m = mainCol; m < colCount && m < int64_t(mainCol) + cell->ColSpan; ++m)
                    marked[m] = 1;
                SetSpan(undoItemNo, mainRow, false, GridSaturate(int64_t(cell->RowSpan) + count), mainCol);
            }
        });
    if (copyRow >= index)
        copyRow += count;
    RecordInsertRows(undoItemNo, index, count);
    InsertEmptyRows(index, count);
    for (int c = 0; c < colCount;) {
        if (marked[c]) {
            RecordFreeEmptyCells(undoItemNo, index, c, count, 1);
            FreeCells(index, c, count, 1);
            ++c;
            continue;
        }
        TRDTableCellData* source = copyRow >= 0 ? Row(copyRow)->GetCell(c) : nullptr;
        if (!source) {
            ++c;
            continue;
        }
        // The new cells repeat the source's columns, but never over a column
        // that a heightened cell covers.
        const int span = std::max(1, GridUnmarkedRun(marked, c, source->ColSpan));
        if (divideHeights && Table)
            Table->SetCellBestHeight(GridScale(source->BestHeight, source->RowSpan, count + source->RowSpan),
                                     copyRow, c);
        for (int e = index; e < index + count; ++e) {
            if (Table)
                Table->AssignCellAttributes(-1, e, c, *source, true, source->RowSpan, 1);
            ChangeEmptyCellStyle(undoItemNo, e, GridFirstParaOf(source), FirstTextStyleOf(source), c);
            RecordSpreadOverEmptyCells(undoItemNo, e, span, c);
            SpreadOverEmptyCells(e, c, span);
        }
        c += span;
    }
}

void TRDTableRows::DeleteRows(int first, int count, bool adjustHeights)
{
    const int rowCount = Count();
    if (first < 0 || first >= rowCount || count <= 0 || (first == 0 && count > rowCount))
        GridIndexError();
    count = std::min(count, rowCount - first);
    const int undoItemNo = GridUndoItemNo();
    TGridTerminators terminators(OwningData, undoItemNo);
    const int colCount = GetColCount();
    const int last = first + count - 1;
    // A cell starting among the deleted rows and reaching below them leaves
    // its lower part behind as a new, empty cell.
    GridEachMainCell(*this, true, last, colCount, [&](TRDTableCellData* cell, int mainRow, int mainCol) {
        if (int64_t(mainRow) + cell->RowSpan - 1 > last && mainRow >= first) {
            RecordSplitCellAtRow(undoItemNo, mainRow, adjustHeights, first + count, mainCol);
            SplitCellAtRow(mainRow, mainCol, adjustHeights, first + count);
        }
    });
    // A cell starting above the deleted rows and reaching into them shrinks.
    GridEachMainCell(*this, true, first, colCount, [&](TRDTableCellData* cell, int mainRow, int mainCol) {
        if (mainRow < first) {
            const int height = cell->RowSpan;
            const int left = int64_t(mainRow) + height - 1 > last ? height - count : first - mainRow;
            if (adjustHeights && Table)
                Table->SetCellBestHeight(GridScale(cell->BestHeight, left, height), mainRow, mainCol);
            SetSpan(undoItemNo, mainRow, false, left, mainCol);
        }
    });
    TRDUndoDeleteRows* record = RecordDeleteRows(undoItemNo, first, count);
    RemoveRows(undoItemNo, first, record, count);
}

void TRDTableRows::DeleteCols(int first, int count, bool adjustWidths)
{
    const int colCount = GetColCount();
    if (first < 0 || first >= colCount || count < 1 || (first == 0 && count > colCount))
        GridIndexError();
    count = std::min(count, colCount - first);
    const int undoItemNo = GridUndoItemNo();
    TGridTerminators terminators(OwningData, undoItemNo);
    const int rowCount = Count();
    const int last = first + count - 1;
    GridEachMainCell(*this, false, last, rowCount, [&](TRDTableCellData* cell, int mainRow, int mainCol) {
        if (int64_t(mainCol) + cell->ColSpan - 1 > last && mainCol >= first) {
            RecordSplitCellAtCol(undoItemNo, mainRow, adjustWidths, first + count, mainCol);
            SplitCellAtCol(mainRow, mainCol, adjustWidths, first + count);
        }
    });
    GridEachMainCell(*this, false, first, rowCount, [&](TRDTableCellData* cell, int mainRow, int mainCol) {
        if (mainCol < first) {
            const int width = cell->ColSpan;
            const int left = int64_t(mainCol) + width - 1 > last ? width - count : first - mainCol;
            if (adjustWidths && Table)
                Table->SetCellBestWidth(GridScale(cell->BestWidth, left, width), mainRow, mainCol);
            SetSpan(undoItemNo, mainRow, true, left, mainCol);
        }
    });
    TRDUndoDeleteCols* record = RecordDeleteCols(undoItemNo, first, count);
    RemoveCols(undoItemNo, first, record, count);
}

bool TRDTableRows::CheckMergeParams(int topRow, int leftCol, int& colCount, int& rowCount) const
{
    GridCheckPosition(topRow, leftCol);
    rowCount = std::min(rowCount, Count() - topRow);
    colCount = std::min(colCount, Row(topRow)->Count() - leftCol);
    if (rowCount < 2 && colCount < 2)
        return false;
    if (rowCount < 1 || colCount < 1)
        throw ERichDocError("Parameters for cell merging are not correct");
    const TRDTableCellData* cell = Row(topRow)->GetCell(leftCol);
    return cell && (cell->RowSpan < rowCount || cell->ColSpan < colCount);
}

bool TRDTableRows::CanMergeCells(int topRow, int leftCol, int colCount, int rowCount, bool allowLoneLines) const
{
    if (!CheckMergeParams(topRow, leftCol, colCount, rowCount))
        return false;
    int mainCol = 0, mainRow = 0;
    const TRDTableCellData* main = GetMainCell(topRow, leftCol, mainCol, mainRow);
    bool otherSeen = false;
    for (int r = topRow; r < topRow + rowCount; ++r)
        for (int c = leftCol; c < leftCol + colCount; ++c) {
            const TRDTableCellData* cell = GetMainCell(r, c, mainCol, mainRow);
            if (!cell || mainRow < topRow || mainCol < leftCol ||
                int64_t(mainRow) + cell->RowSpan > int64_t(topRow) + rowCount ||
                int64_t(mainCol) + cell->ColSpan > int64_t(leftCol) + colCount)
                return false;
            otherSeen = otherSeen || cell != main;
        }
    if (allowLoneLines)
        return otherSeen;
    // Without lone lines no column or row may be left without a cell
    // standing in it.
    auto outsideRowsNil = [&](int c) {
        for (int r = 0; r < Count(); ++r)
            if ((r < topRow || r >= topRow + rowCount) && Row(r)->GetCell(c))
                return false;
        return true;
    };
    auto outsideColsNil = [&](int r) {
        for (int c = 0; c < Row(r)->Count(); ++c)
            if ((c < leftCol || c >= leftCol + colCount) && Row(r)->GetCell(c))
                return false;
        return true;
    };
    if (colCount > 1)
        for (int c = leftCol + 1; c < leftCol + colCount; ++c)
            if (outsideRowsNil(c))
                return false;
    if (rowCount > 1)
        for (int r = topRow + 1; r < topRow + rowCount; ++r)
            if (outsideColsNil(r))
                return false;
    return true;
}

void TRDTableRows::MergeCells(int topRow, int leftCol, int colCount, int rowCount, bool allowLoneLines,
                              bool combineWidths)
{
    // The rectangle starts at a cell: a covered position is no place to merge at.
    GridCellAt(*this, topRow, leftCol);
    if (!CheckMergeParams(topRow, leftCol, colCount, rowCount))
        return;
    if (!CanMergeCells(topRow, leftCol, colCount, rowCount, allowLoneLines)) {
        if (OwningData)
            OwningData->BeepIfEnabled();
        return;
    }
    const int undoItemNo = GridUndoItemNo();
    TRDUndoMerge* record = RecordMerge(undoItemNo, topRow, rowCount, colCount, leftCol);
    DoMerge(undoItemNo, topRow, combineWidths, record, rowCount, colCount, leftCol);
}

// ======== the table's operations ========

void TRDTableItemInfo::BeginTableOperation()
{
    if ((TableState & tsInDocument) && InEditingDocument()) {
        auto* data = static_cast<TRDEditRDData*>(Rows->OwningData);
        data->BeginUndoGroup(rdutModifyItem, true);
        data->SetUndoGroupMode(true);
    }
}

void TRDTableItemInfo::EndTableOperation()
{
    if ((TableState & tsInDocument) && InEditingDocument())
        static_cast<TRDEditRDData*>(Rows->OwningData)->SetUndoGroupMode(false);
}

void TRDTableItemInfo::InsertRows(int index, int count, bool select, int copyRow)
{
    if (index < 0 || index > RowCount() || copyRow < -1 || copyRow >= RowCount())
        GridIndexError();
    {
        TGridTableOperation operation(*this);
        Rows->InsertRows(index, count, false, copyRow);
    }
    if (select && count > 0)
        SelectRows(index, count);
    MarkChanged();
}

void TRDTableItemInfo::InsertCols(int index, int count, bool select, int copyCol)
{
    if (index < 0 || index > ColCount() || copyCol < -1 || copyCol >= ColCount())
        GridIndexError();
    {
        TGridTableOperation operation(*this);
        Rows->InsertCols(index, count, copyCol, false);
    }
    if (select && count > 0)
        SelectCols(index, count);
    MarkChanged();
}

void TRDTableItemInfo::DeleteRows(int first, int count, bool adjustHeights)
{
    if (RowCount() == 0)
        return;
    if (first < 0 || first >= RowCount() || count <= 0 || (first == 0 && count > RowCount()))
        GridIndexError();
    ClearCellSelection();
    {
        TGridTableOperation operation(*this);
        Rows->DeleteRows(first, count, adjustHeights);
    }
    MarkChanged();
}

void TRDTableItemInfo::DeleteCols(int first, int count, bool adjustWidths)
{
    if (RowCount() == 0)
        return;
    if (first < 0 || first >= ColCount() || count <= 0 || (first == 0 && count > ColCount()))
        GridIndexError();
    ClearCellSelection();
    {
        TGridTableOperation operation(*this);
        Rows->DeleteCols(first, count, adjustWidths);
    }
    MarkChanged();
}

void TRDTableItemInfo::DeleteEmptyRows()
{
    for (int r = RowCount() - 1; r >= 0; --r) {
        const TRDTableRow* row = Rows->Row(r);
        bool standing = false;
        for (int c = 0; c < row->Count() && !standing; ++c)
            standing = row->GetCell(c) != nullptr;
        if (!standing)
            DeleteRows(r, 1, false);
    }
}

void TRDTableItemInfo::MergeCells(int topRow, int leftCol, int colCount, int rowCount, bool allowLoneLines)
{
    {
        TGridTableOperation operation(*this);
        Rows->MergeCells(topRow, leftCol, colCount, rowCount, allowLoneLines, true);
    }
    MarkChanged();
}

TRDTableCellData& TRDTableItemInfo::GetCheckedCell(int row, int col) const
{
    return *GridCellAt(*Rows, row, col);
}

void TRDTableItemInfo::SetCellIntProperty(int itemNo, const QString& name, bool reformat, bool changesWidth, int row,
                                          int col, int value)
{
    TRDTableCellData& cell = GetCheckedCell(row, col);
    const bool wasInDocument = TableState & tsInDocument;
    struct TRestore {
        uint16_t& State;
        bool Was;
        ~TRestore()
        {
            if (Was)
                State |= tsInDocument;
        }
    } restore{TableState, wasInDocument};
    if (wasInDocument && InEditingDocument()) {
        auto* data = static_cast<TRDEditRDData*>(Rows->OwningData);
        if (itemNo < 0)
            itemNo = GetMyItemNo();
        TableState &= ~tsInDocument;
        data->BeginUndoGroup(rdutModifyItem, true);
        TRDUndoModifyCellIntProperty recordClass;
        if (auto* record = static_cast<TRDUndoModifyCellIntProperty*>(
                data->ModifyItemIntProperty(itemNo, &cell, &recordClass, reformat, changesWidth, value, name))) {
            record->Row = row;
            record->Col = col;
        }
    } else {
        TableState &= ~tsInDocument;
        const QMetaObject* meta = cell.metaObject();
        const int index = meta->indexOfProperty(name.toLatin1().constData());
        if (index < 0 || !meta->property(index).write(&cell, value))
            throw ERichDocError(QStringLiteral("Cannot set property %1").arg(name));
    }
    MarkChanged();
}

void TRDTableItemInfo::SetCellStrProperty(int itemNo, const QString& name, int row, int col, const QString& value)
{
    TRDTableCellData& cell = GetCheckedCell(row, col);
    const bool wasInDocument = TableState & tsInDocument;
    struct TRestore {
        uint16_t& State;
        bool Was;
        ~TRestore()
        {
            if (Was)
                State |= tsInDocument;
        }
    } restore{TableState, wasInDocument};
    if (wasInDocument && InEditingDocument()) {
        auto* data = static_cast<TRDEditRDData*>(Rows->OwningData);
        if (itemNo < 0)
            itemNo = GetMyItemNo();
        TableState &= ~tsInDocument;
        data->BeginUndoGroup(rdutModifyItem, true);
        TRDUndoModifyCellStrProperty recordClass;
        if (auto* record = static_cast<TRDUndoModifyCellStrProperty*>(
                data->ModifyItemStrProperty(itemNo, &cell, &recordClass, value, name))) {
            record->Row = row;
            record->Col = col;
        }
    } else {
        TableState &= ~tsInDocument;
        const QMetaObject* meta = cell.metaObject();
        const int index = meta->indexOfProperty(name.toLatin1().constData());
        if (index < 0 || !meta->property(index).write(&cell, value))
            throw ERichDocError(QStringLiteral("Cannot set property %1").arg(name));
    }
    MarkChanged();
}

void TRDTableItemInfo::SetCellBestHeight(int value, int row, int col)
{
    SetCellIntProperty(-1, QStringLiteral("BestHeight"), false, true, row, col, value);
}

void TRDTableItemInfo::SetCellBestWidth(int value, int row, int col)
{
    SetCellIntProperty(-1, QStringLiteral("BestWidth"), true, true, row, col, value);
}

void TRDTableItemInfo::SetCellBackgroundImageFileName(const QString& value, int row, int col)
{
    SetCellStrProperty(-1, QStringLiteral("BackgroundImageFileName"), row, col, value);
}

void TRDTableItemInfo::SetCellHint(const QString& value, int row, int col)
{
    SetCellStrProperty(-1, QStringLiteral("Hint"), row, col, value);
}

void TRDTableItemInfo::SetCellVisibleBorders(int itemNo, bool left, bool top, bool right, bool bottom, int row,
                                             int col)
{
    TRDTableCellData& cell = GetCheckedCell(row, col);
    TRDBooleanRect& borders = cell.VisibleBorders;
    if (borders.IsEqualToValues(left, top, right, bottom))
        return;
    if ((TableState & tsInDocument) && InEditingDocument()) {
        auto* data = static_cast<TRDEditRDData*>(Rows->OwningData);
        if (itemNo < 0)
            itemNo = GetMyItemNo();
        data->BeginUndoGroup(rdutModifyItem, true);
        if (auto* record = AddTableUndoRecord<TRDUndoModifyVisibleBorders>(data, itemNo, false, false)) {
            record->Row = row;
            record->Col = col;
            record->Target = &cell;
            record->Left = borders.Left;
            record->Top = borders.Top;
            record->Right = borders.Right;
            record->Bottom = borders.Bottom;
        }
    }
    borders.SetValues(left, top, right, bottom);
    MarkChanged();
}

void TRDTableItemInfo::SetCellBackgroundImage(const TGraphic* picture, int row, int col)
{
    TRDTableCellData& cell = GetCheckedCell(row, col);
    if (picture == cell.GetBackgroundImage())
        return;
    if ((TableState & tsInDocument) && InEditingDocument()) {
        auto* data = static_cast<TRDEditRDData*>(Rows->OwningData);
        data->BeginUndoGroup(rdutModifyItem, true);
        auto* record = AddTableUndoRecord<TRDUndoModifyBackgroundImage>(data, GetMyItemNo(), false, false);
        // The old picture object goes into the record as it is.
        std::unique_ptr<TGraphic> old = cell.Background ? cell.Background->TakeImage() : nullptr;
        cell.SetBackgroundImageEx(nullptr);
        if (record) {
            record->Row = row;
            record->Col = col;
            record->Target = &cell;
            record->Picture = std::move(old);
        }
    }
    cell.SetBackgroundImage(picture);
    MarkChanged();
}

void TRDTableItemInfo::AssignCellAttributes(int itemNo, int row, int col, const TRDTableCellData& source,
                                            bool divideBestSize, int rowDivisor, int colDivisor)
{
    TRDTableCellData& cell = GetCheckedCell(row, col);
    if ((TableState & tsInDocument) && InEditingDocument()) {
        // One undo group for all the cell's attributes, also when called alone.
        TGridTableOperation operation(*this);
        const TRDBooleanRect& borders = source.VisibleBorders;
        SetCellVisibleBorders(itemNo, borders.Left, borders.Top, borders.Right, borders.Bottom, row, col);
        SetCellBackgroundImage(source.GetBackgroundImage(), row, col);
        SetCellBackgroundImageFileName(source.BackgroundImageFileName, row, col);
        SetCellHint(source.Hint, row, col);
        std::vector<std::pair<QString, int>> props = {
            {QStringLiteral("Color"), static_cast<int>(source.Color)},
            {QStringLiteral("BorderColor"), static_cast<int>(source.BorderColor)},
            {QStringLiteral("BorderLightColor"), static_cast<int>(source.BorderLightColor)},
            {QStringLiteral("VAlign"), static_cast<int>(source.VAlign)},
            {QStringLiteral("BackgroundStyle"), static_cast<int>(source.GetBackgroundStyle())},
        };
        if (divideBestSize) {
            // A divisor below 1 would be a broken caller: the size stays whole.
            props.emplace_back(QStringLiteral("BestWidth"),
                               colDivisor > 0 ? source.BestWidth / colDivisor : source.BestWidth);
            props.emplace_back(QStringLiteral("BestHeight"),
                               rowDivisor > 0 ? source.BestHeight / rowDivisor : source.BestHeight);
        }
        auto* data = static_cast<TRDEditRDData*>(Rows->OwningData);
        if (itemNo < 0)
            itemNo = GetMyItemNo();
        data->BeginUndoGroup(rdutModifyItem, true);
        TRDUndoModifyCellIntProperties recordClass;
        if (auto* record = static_cast<TRDUndoModifyCellIntProperties*>(data->ModifyItemIntProperties(
                itemNo, &cell, &recordClass, divideBestSize, divideBestSize, props))) {
            record->Row = row;
            record->Col = col;
        }
    } else {
        cell.AssignAttributes(source, divideBestSize, rowDivisor, colDivisor);
    }
    MarkChanged();
}
