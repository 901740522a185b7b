#pragma once

// The undo records of table structure and property changes. They hold what
// they take out of the table (cells, rows, pictures) and give the very same
// objects back on undo. Every record is a "modify item" record (kind 15)
// about the table item's index; undoing one first records the opposite
// record in the list that records at that moment, so undo and redo
// alternate without limit.
//
// Ownership while a record holds table parts: cells and rows taken out of
// the grid are detached (their documents report to the record's document)
// and freed with the record unless an undo put them back first.

#include <memory>
#include <vector>

#include "core/RDLists.h"
#include "editing/RDUndo.h"
#include "tables/RDTable.h"

class TGraphic;

// ---- making records ----

// Appends record (kind 15, about itemIndex, with the two flags) to the current
// group of data's recording list (the undo list while an edit runs, the redo
// list while an undo runs). Answers the record, or nil when data is not an
// editor's document or no list records (then record is dropped).
TRDUndoModifyItemProps* AddTableUndoRecord(TCustomRDData* data, std::unique_ptr<TRDUndoModifyItemProps> record,
                                           int itemIndex, bool changesSize, bool changesWidth);

template <typename TRecord>
TRecord* AddTableUndoRecord(TCustomRDData* data, int itemIndex, bool changesSize, bool changesWidth)
{
    return static_cast<TRecord*>(
        AddTableUndoRecord(data, std::make_unique<TRecord>(), itemIndex, changesSize, changesWidth));
}

// The table at itemIndex of data; raises ERichDocError when there is no such
// item or it is not a table.
TRDTableItemInfo& TableUndoTable(TCustomRDData& data, int itemIndex);
// The cell standing at (row, col); raises ERichDocError when the position is
// outside the grid or holds no cell (it is covered by a merged cell).
TRDTableCellData& TableUndoCell(TRDTableItemInfo& table, int row, int col);

// ---- published cell properties ----

// A cell's published integer property (Target is the cell, looked up anew
// from Row and Col on undo).
// A published property of one cell: the item record of Base, pointed at the
// cell found again by its row and column when undone.
template <class Base, class Self>
class TRDUndoModifyCellPropertyOf : public Base {
public:
    int Row = 0, Col = 0;
    void Undo(TRDEditRDData& data) override
    {
        TRDTableItemInfo& table = TableUndoTable(data, this->ItemIndex);
        this->Target = &TableUndoCell(table, Row, Col);
        table.MarkChanged();
        Base::Undo(data);
    }
    std::unique_ptr<TRDUndoModifyItemProps> CreateSameClass() const override { return std::make_unique<Self>(); }
    void SetUpOpposite(TRDUndoModifyItemProps* opposite) override
    {
        auto* record = static_cast<Self*>(opposite);
        record->Row = Row;
        record->Col = Col;
    }
};

class TRDUndoModifyCellIntProperty
    : public TRDUndoModifyCellPropertyOf<TRDUndoModifyItemIntProperty, TRDUndoModifyCellIntProperty> {};
class TRDUndoModifyCellStrProperty
    : public TRDUndoModifyCellPropertyOf<TRDUndoModifyItemStrProperty, TRDUndoModifyCellStrProperty> {};
class TRDUndoModifyCellIntProperties
    : public TRDUndoModifyCellPropertyOf<TRDUndoModifyItemIntProperties, TRDUndoModifyCellIntProperties> {};

// ---- borders and pictures (Row or Col below 0: the table itself) ----

class TRDUndoModifyVisibleBorders : public TRDUndoModifyItemProps {
public:
    int Row = 0, Col = 0;
    bool Left = true, Right = true, Top = true, Bottom = true;
    void Undo(TRDEditRDData& data) override;
    std::unique_ptr<TRDUndoModifyItemProps> CreateSameClass() const override;
};

class TRDUndoModifyBackgroundImage : public TRDUndoModifyItemProps {
public:
    TRDUndoModifyBackgroundImage();
    ~TRDUndoModifyBackgroundImage() override;
    int Row = 0, Col = 0;
    // The picture the target had (nil: none); owned until an undo gives it back.
    std::unique_ptr<TGraphic> Picture;
    void Undo(TRDEditRDData& data) override;
    std::unique_ptr<TRDUndoModifyItemProps> CreateSameClass() const override;
};

// ---- cell content ----

// The text style and paragraph style of the single empty item a cell had.
class TRDUndoChangeEmptyCellStyles : public TRDUndoModifyItemProps {
public:
    int Row = 0, Col = 0, StyleNo = 0, ParaNo = 0;
    void Undo(TRDEditRDData& data) override;
    std::unique_ptr<TRDUndoModifyItemProps> CreateSameClass() const override;
};

// ---- grid structure ----
// Redoes: false in a record a command made (undoing removes what the command
// added or puts back what it took), true in a record made while undoing.

class TRDUndoInsertTableRows : public TRDUndoModifyItemProps {
public:
    int Row = 0, Count = 0;
    bool Redoes = false;
    void Undo(TRDEditRDData& data) override;
    std::unique_ptr<TRDUndoModifyItemProps> CreateSameClass() const override;
};

class TRDUndoInsertTableCell : public TRDUndoModifyItemProps {
public:
    int Row = 0, Col = 0;
    bool Redoes = false;
    void Undo(TRDEditRDData& data) override;
    std::unique_ptr<TRDUndoModifyItemProps> CreateSameClass() const override;
};

class TRDUndoSpreadOverEmptyCells : public TRDUndoModifyItemProps {
public:
    int Row = 0, Col = 0, ColSpan = 0;
    bool Redoes = false;
    void Undo(TRDEditRDData& data) override;
    std::unique_ptr<TRDUndoModifyItemProps> CreateSameClass() const override;
};

// The ColSpan (ForColumns) or RowSpan a cell had.
class TRDUndoSpan : public TRDUndoModifyItemProps {
public:
    bool ForColumns = false;
    int Row = 0, Col = 0, SpanBefore = 1;
    void Undo(TRDEditRDData& data) override;
    std::unique_ptr<TRDUndoModifyItemProps> CreateSameClass() const override;
};

// Cells a command freed from a rectangle (undo makes new ones there).
class TRDUndoFreeEmptyCell : public TRDUndoModifyItemProps {
public:
    bool Redoes = false;
    int Row = 0, Col = 0, ColCount = 0, RowCount = 0;
    void Undo(TRDEditRDData& data) override;
    std::unique_ptr<TRDUndoModifyItemProps> CreateSameClass() const override;
};

// Nil entries a command inserted in a range of rows (undo deletes them).
class TRDUndoInsertEmptyCell : public TRDUndoModifyItemProps {
public:
    bool Redoes = false;
    int Row = 0, Col = 0, ColCount = 0, RowCount = 0;
    void Undo(TRDEditRDData& data) override;
    std::unique_ptr<TRDUndoModifyItemProps> CreateSameClass() const override;
};

// A cell cut so that a new cell starts at SplitRow (undo joins them again).
class TRDUndoCellSpitHorz : public TRDUndoModifyItemProps {
public:
    bool Redoes = false, Shrink = false;
    int Row = 0, Col = 0, SplitRow = 0, BestHeightBefore = 0;
    void Undo(TRDEditRDData& data) override;
    std::unique_ptr<TRDUndoModifyItemProps> CreateSameClass() const override;
};

// A cell cut so that a new cell starts at SplitCol.
class TRDUndoCellSpitVert : public TRDUndoModifyItemProps {
public:
    bool Redoes = false, Shrink = false;
    int Row = 0, Col = 0, SplitCol = 0, BestWidthBefore = 0;
    void Undo(TRDEditRDData& data) override;
    std::unique_ptr<TRDUndoModifyItemProps> CreateSameClass() const override;
};

// Rows Row .. Row + Count - 1 taken out of the table.
class TRDUndoDeleteRows : public TRDUndoModifyItemProps {
public:
    TRDUndoDeleteRows();
    ~TRDUndoDeleteRows() override;
    bool Redoes = false;
    int Row = 0, Count = 0;
    // The row objects, top to bottom, with their cells detached into this
    // record; filled as the rows leave the table (KeepRow), emptied when an
    // undo puts them back.
    TRDList<TRDTableRow> RemovedRows;
    // Takes a row that left the table: its cells are detached into this record.
    void KeepRow(std::unique_ptr<TRDTableRow> row);
    void Undo(TRDEditRDData& data) override;
    std::unique_ptr<TRDUndoModifyItemProps> CreateSameClass() const override;
};

// A record holding cells taken out of the table (entries may be nil: covered
// positions).
class TCustomRDUndoWithCells : public TRDUndoModifyItemProps {
public:
    TCustomRDUndoWithCells();
    ~TCustomRDUndoWithCells() override;
    bool Redoes = false;
    TRDList<TRDTableCellData> RemovedCells;
    // Appends a cell that left the table (or nil), detached into this record.
    void KeepCell(std::unique_ptr<TRDTableCellData> cell);
};

// Columns Col .. Col + Count - 1 taken out of the table. RemovedCells holds
// them row by row, within a row from the last column down to Col.
class TRDUndoDeleteCols : public TCustomRDUndoWithCells {
public:
    int Col = 0, Count = 0;
    void Undo(TRDEditRDData& data) override;
    std::unique_ptr<TRDUndoModifyItemProps> CreateSameClass() const override;
};

// Cells emptied by replacing them with new empty cells; RemovedCells[k] stood
// at (ClearedRows[k], ClearedCols[k]).
class TRDUndoCellsClear : public TCustomRDUndoWithCells {
public:
    TRDIntegerList ClearedRows, ClearedCols;
    void Undo(TRDEditRDData& data) override;
    std::unique_ptr<TRDUndoModifyItemProps> CreateSameClass() const override;
};

// One cell merged away: its position, the cell itself once the merge took it
// out of the grid, and how many items it gave to the merged cell.
class TRDUndoMergeItem {
public:
    // Reads the position's cell item count now (0 when the cell has no content).
    TRDUndoMergeItem(TRDTableItemInfo& table, int row, int col);
    TRDUndoMergeItem(int row, int col, int givenItemCount);
    ~TRDUndoMergeItem();
    TRDUndoMergeItem(const TRDUndoMergeItem&) = delete;
    TRDUndoMergeItem& operator=(const TRDUndoMergeItem&) = delete;
    int Row = 0, Col = 0;
    std::unique_ptr<TRDTableCellData> Cell;
    int GivenItemCount = 0;
};

// A rectangle merged into its top-left cell.
class TRDUndoMerge : public TRDUndoModifyItemProps {
public:
    TRDUndoMerge();
    ~TRDUndoMerge() override;
    bool Redoes = false;
    int Row = 0, Col = 0, ColSpanBefore = 1, RowSpanBefore = 1, ColSpanAfter = 1, RowSpanAfter = 1;
    int BestWidthBefore = 0;
    // One item for every cell of the rectangle other than the top-left one,
    // made before merging, row by row, left to right.
    TRDList<TRDUndoMergeItem> MergeItems;
    // Adds the merge items of the rectangle's cells (before merging).
    void AddMergeItems(TRDTableItemInfo& table, int rowCount, int colCount);
    // Takes the cell merged away from (row, col) into its merge item, detached
    // into this record and no longer shown selected.
    void KeepCell(int row, int col, std::unique_ptr<TRDTableCellData> cell);
    void Undo(TRDEditRDData& data) override;
    std::unique_ptr<TRDUndoModifyItemProps> CreateSameClass() const override;
};

// ---- the table's background picture ----

// The table takes graphic over as its background picture (no copy).
void TableTakeBackgroundImage(TRDTableItemInfo& table, std::unique_ptr<TGraphic> graphic);
// Sets the table's background picture (a copy of graphic): in an editor's
// document as an undoable change (the old picture object goes into the record),
// directly otherwise. Nothing when graphic is the picture already.
void SetTableBackgroundImage(TRDTableItemInfo& table, const TGraphic* graphic);
