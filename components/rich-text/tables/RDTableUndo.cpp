// The undo records of table structure and property changes.

#include "tables/RDTableUndo.h"

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

// ---- published cell properties ----

void TRDUndoModifyCellIntProperty::Undo(TRDEditRDData& data)
{
    TRDTableItemInfo& table = TableUndoTable(data, ItemIndex);
    Target = &TableUndoCell(table, Row, Col);
    table.MarkChanged();
    TRDUndoModifyItemIntProperty::Undo(data);
}

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoModifyCellIntProperty::CreateSameClass() const
{
    return std::make_unique<TRDUndoModifyCellIntProperty>();
}

void TRDUndoModifyCellIntProperty::SetUpOpposite(TRDUndoModifyItemProps* opposite)
{
    auto* record = static_cast<TRDUndoModifyCellIntProperty*>(opposite);
    record->Row = Row;
    record->Col = Col;
}

void TRDUndoModifyCellStrProperty::Undo(TRDEditRDData& data)
{
    TRDTableItemInfo& table = TableUndoTable(data, ItemIndex);
    Target = &TableUndoCell(table, Row, Col);
    table.MarkChanged();
    TRDUndoModifyItemStrProperty::Undo(data);
}

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoModifyCellStrProperty::CreateSameClass() const
{
    return std::make_unique<TRDUndoModifyCellStrProperty>();
}

void TRDUndoModifyCellStrProperty::SetUpOpposite(TRDUndoModifyItemProps* opposite)
{
    auto* record = static_cast<TRDUndoModifyCellStrProperty*>(opposite);
    record->Row = Row;
    record->Col = Col;
}

void TRDUndoModifyCellIntProperties::Undo(TRDEditRDData& data)
{
    TRDTableItemInfo& table = TableUndoTable(data, ItemIndex);
    Target = &TableUndoCell(table, Row, Col);
    table.MarkChanged();
    TRDUndoModifyItemIntProperties::Undo(data);
}

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoModifyCellIntProperties::CreateSameClass() const
{
    return std::make_unique<TRDUndoModifyCellIntProperties>();
}

void TRDUndoModifyCellIntProperties::SetUpOpposite(TRDUndoModifyItemProps* opposite)
{
    auto* record = static_cast<TRDUndoModifyCellIntProperties*>(opposite);
    record->Row = Row;
    record->Col = Col;
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

// The records below change the grid through the table's structure
// primitives; they are written against the grid operations.

void TRDUndoInsertTableRows::Undo(TRDEditRDData&) { UndoTableFail(); }

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoInsertTableRows::CreateSameClass() const
{
    auto record = std::make_unique<TRDUndoInsertTableRows>();
    record->ChangesSize = record->ChangesWidth = true;
    return record;
}

void TRDUndoInsertTableCell::Undo(TRDEditRDData&) { UndoTableFail(); }

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoInsertTableCell::CreateSameClass() const
{
    auto record = std::make_unique<TRDUndoInsertTableCell>();
    record->ChangesSize = record->ChangesWidth = true;
    return record;
}

void TRDUndoSpreadOverEmptyCells::Undo(TRDEditRDData&) { UndoTableFail(); }

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoSpreadOverEmptyCells::CreateSameClass() const
{
    auto record = std::make_unique<TRDUndoSpreadOverEmptyCells>();
    record->ChangesSize = record->ChangesWidth = true;
    return record;
}

void TRDUndoFreeEmptyCell::Undo(TRDEditRDData&) { UndoTableFail(); }

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoFreeEmptyCell::CreateSameClass() const
{
    auto record = std::make_unique<TRDUndoFreeEmptyCell>();
    record->ChangesSize = record->ChangesWidth = true;
    return record;
}

void TRDUndoInsertEmptyCell::Undo(TRDEditRDData&) { UndoTableFail(); }

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoInsertEmptyCell::CreateSameClass() const
{
    auto record = std::make_unique<TRDUndoInsertEmptyCell>();
    record->ChangesSize = record->ChangesWidth = true;
    return record;
}

void TRDUndoCellSpitHorz::Undo(TRDEditRDData&) { UndoTableFail(); }

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoCellSpitHorz::CreateSameClass() const
{
    auto record = std::make_unique<TRDUndoCellSpitHorz>();
    record->ChangesSize = true;
    return record;
}

void TRDUndoCellSpitVert::Undo(TRDEditRDData&) { UndoTableFail(); }

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

void TRDUndoDeleteRows::Undo(TRDEditRDData&) { UndoTableFail(); }

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

void TRDUndoDeleteCols::Undo(TRDEditRDData&) { UndoTableFail(); }

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoDeleteCols::CreateSameClass() const
{
    auto record = std::make_unique<TRDUndoDeleteCols>();
    record->ChangesSize = record->ChangesWidth = true;
    return record;
}

void TRDUndoCellsClear::Undo(TRDEditRDData&) { UndoTableFail(); }

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

void TRDUndoMerge::Undo(TRDEditRDData&) { UndoTableFail(); }

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
