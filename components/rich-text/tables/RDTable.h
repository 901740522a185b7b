#pragma once

// The table item (StyleNo TableStyleNo): a grid of cells, each a formatted
// document of its own, with the table's and the cells' published
// properties. Layout, painting and the file forms live in their own sources.

#include <QtCore/QObject>
#include <QtCore/QString>

#include <cstdint>
#include <memory>

#include "document/RDBack.h"
#include "document/RDItem.h"
#include "document/RDItemKind.h"
#include "styles/RDParaStyles.h"
#include "tables/RDDataList.h"
#include "tables/RDTableLayout.h"

class TRDTableItemInfo;
class TRDTableRows;
class TRDTableRow;
class TRDTableStreamSaveInfo;

enum class TRDCellVAlign : uint8_t { rdcTop, rdcMiddle, rdcBottom, rdcVDefault };
enum class TRDTableBorderStyle : uint8_t { rdtbRaised, rdtbLowered, rdtbColor, rdtbRaisedColor, rdtbLoweredColor };

// Table options (bit n = value n); 16 bits.
enum TRDTableOption : uint16_t {
    rdtoEditing = 1u << 0,
    rdtoRowSizing = 1u << 1,
    rdtoColSizing = 1u << 2,
    rdtoRowSelect = 1u << 3,
    rdtoColSelect = 1u << 4,
    rdtoNoCellSelect = 1u << 5,
    rdtoRTFSaveCellPixelBestWidth = 1u << 6,
    rdtoRTFAllowAutofit = 1u << 7,
    rdtoHideGridLines = 1u << 8,
    rdtoOverlappingCorners = 1u << 9,
    rdtoCellBelowBorders = 1u << 10,
    rdtoIgnoreContentWidth = 1u << 11,
    rdtoIgnoreContentHeight = 1u << 12,
};
using TRDTableOptions = uint16_t;
enum TRDTablePrintOption : uint8_t {
    rdtoHalftoneBorders = 1u << 0,
    rdtoRowsSplit = 1u << 1,
    rdtoWhiteBackground = 1u << 2,
};
using TRDTablePrintOptions = uint8_t;

// A width: positive pixels, negative percent (-p is p %), 0 automatic.
using TRDHTMLLength = int32_t;

// The document of one table cell. Its published properties are Qt
// properties, so that the editing layer can change and record them by name.
class TRDTableCellData : public QObject, public TRDItemFormattedData {
    Q_OBJECT
    Q_PROPERTY(int Color READ GetCellColorValue WRITE SetColor)
    Q_PROPERTY(int BorderColor READ GetBorderColorValue WRITE SetBorderColorValue)
    Q_PROPERTY(int BorderLightColor READ GetBorderLightColorValue WRITE SetBorderLightColorValue)
    Q_PROPERTY(int BestWidth MEMBER BestWidth)
    Q_PROPERTY(int BestHeight MEMBER BestHeight)
    Q_PROPERTY(int VAlign READ GetVAlignValue WRITE SetVAlignValue)
    Q_PROPERTY(int BackgroundStyle READ GetBackgroundStyleValue WRITE SetBackgroundStyleValue)
    Q_PROPERTY(QString BackgroundImageFileName MEMBER BackgroundImageFileName)
    Q_PROPERTY(QString Hint MEMBER Hint)

public:
    explicit TRDTableCellData(TRDTableRow* row);
    ~TRDTableCellData() override;

    TColor Color = clNone;
    TColor BorderColor = clNone;
    TColor BorderLightColor = clNone;
    TRDHTMLLength BestWidth = 0;
    int32_t BestHeight = 0;
    TRDBooleanRect VisibleBorders;
    TRDCellVAlign VAlign = TRDCellVAlign::rdcVDefault;
    QString BackgroundImageFileName;
    QString Hint;

    int32_t RowSpan = 1;
    int32_t ColSpan = 1;
    // The cell's rectangle in the table, padding included; set by the layout.
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    // Made on first need, freed when it holds nothing.
    std::unique_ptr<TRDBackground> Background;
    TCustomRDFormattedData* ChosenSubData = nullptr;
    TCustomRDItemInfo* ChosenItem = nullptr;
    // The undo record holding the cell while it is detached from its table.
    TRDUndoInfo* UndoOwner = nullptr;
    // Cell state: part of a multi-cell selection; only attributes are written.
    bool ShownSelected = false;
    bool SkipContent = false;

    int GetCellColorValue() const { return static_cast<int>(Color); }
    void SetColor(int value);
    int GetBorderColorValue() const { return static_cast<int>(BorderColor); }
    void SetBorderColorValue(int value) { BorderColor = static_cast<TColor>(value); }
    int GetBorderLightColorValue() const { return static_cast<int>(BorderLightColor); }
    void SetBorderLightColorValue(int value) { BorderLightColor = static_cast<TColor>(value); }
    int GetVAlignValue() const { return static_cast<int>(VAlign); }
    void SetVAlignValue(int value);
    int GetBackgroundStyleValue() const { return static_cast<int>(GetBackgroundStyle()); }
    void SetBackgroundStyleValue(int value);

    TGraphic* GetBackgroundImage() const { return Background ? Background->GetImage() : nullptr; }
    void SetBackgroundImage(const TGraphic* graphic);
    // copy false: the cell's background takes graphic over.
    void SetBackgroundImageEx(std::unique_ptr<TGraphic> graphic);
    TRDItemBackgroundStyle GetBackgroundStyle() const;
    void SetBackgroundStyle(TRDItemBackgroundStyle style);

    TRDTableRow* Row() const;
    // The table that owns the cell; nil while detached.
    TRDTableItemInfo* GetTable() const;
    bool HasContent(bool compareWithFresh);
    bool CanDeleteContent();
    void AssignAttributes(const TRDTableCellData& source, bool divideBestSize, int rowDivisor, int colDivisor);
    void AssignLayout(const TRDTableCellData& source);
    TRDCellVAlign GetEffectiveVAlign() const;
    int GetContentVOffset();
    int GetContentHeight(bool ignoreContentWhenBestHeight);
    void DetachToUndo(TRDUndoInfo* record);
    void ReattachFromUndo();

    TRDOptions GetOptions() override;
    TColor GetColor() override;
    int GetScrollWidth() override { return GetWidth(); }
    int GetWidth() override;
    int GetHeight() override;
    TRDBackground* GetBackground() override { return Background.get(); }
    bool AllowsPageBreaks() override { return false; }
    void GetParentInfo(int& parentItemNo, std::unique_ptr<TRDLocation>& location) override;
    void DoItemAction(TRDItemAction action, TCustomRDItemInfo* item, QByteArray& text,
                      TCustomRDData* rdData) override;
    void DoControlAction(TRDControlAction action, int itemNo, void*& control) override;
    TRDSeqList* GetSeqList(bool create) override;
    TRDMarkerList* GetMarkerList(bool create) override;

    // ---- cell: layout and geometry (RDTableLayout.cpp) ----
    // ---- end cell: layout and geometry ----

    // ---- cell: painting (RDTablePaint.cpp) ----
    // ---- end cell: painting ----

    // ---- cell: file forms (RDTableStream.cpp) ----
    // ---- end cell: file forms ----

    // ---- cell: model extras, choosing and selection (RDTable.cpp, RDTableSelect.cpp) ----
    // Where the content starts: in the document holding the table (GetOrigin,
    // GetPointOrigin), and as negative offsets in the control showing it.
    void GetOrigin(int& x, int& y) override;
    void GetPointOrigin(int& x, int& y) override;
    int GetHOffset() override;
    int GetVOffset() override;
    // The cell colour, the selection colour, or what shows through from the
    // table and the document holding it.
    void GetParaBackground(int itemNo, QRect& rect, bool& hasBitmap, QImage& bitmap, TColor& color,
                           bool useItemRect) override;
    void SetFocusedItem(int itemNo) override;
    void PrepareInvalidate() override;
    TCustomRDData* GetChosenSubData() override { return ChosenSubData; }
    TCustomRDItemInfo* GetChosenSubItem() override { return ChosenItem; }
    void ChooseSubData(TCustomRDData* data, TCustomRDItemInfo* item) override;
    void UnchooseSubData(TCustomRDData* data) override;
    void Deselect(TCustomRDItemInfo* keep = nullptr, bool notify = false) override;
    // Cells fire no selection event of their own.
    void DoSelect() override {}
    // The narrowest width the content allows (0 without items).
    int GetMinWidth(const TRDResolutionInfo* info, TCanvas* canvas);
private:
    // Draws the cell's picture (over the whole cell) into bitmap behind rect.
    void DrawCellPicture(QImage& bitmap, const QRect& rect, TColor color) const;

public:
    // ---- end cell: model extras ----

private:
    void DropEmptyBackground();
    void BackgroundChanged();
};

// One row of cells; entries at positions covered by a spanning cell are nil.
class TRDTableRow : public TRDDataList {
public:
    TRDTableRow(int cellCount, TRDTableRows* rows);
    TRDCellVAlign VAlign = TRDCellVAlign::rdcTop;
    bool PageBreakBefore = false;
    TRDTableRows* OwnerRows = nullptr;

    TCustomRDData* GetParentRDData() override;
    TRDTableCellData* AddCell();
    TRDTableCellData* InsertCell(int index);
    void InsertNil(int index);
    void InsertCellObject(int index, std::unique_ptr<TRDTableCellData> cell);
    TRDTableCellData* GetCell(int index) const;
    // Replaces the entry; the old cell is handed back, not freed.
    std::unique_ptr<TRDTableCellData> PutCell(int index, std::unique_ptr<TRDTableCellData> cell);
    int GetBestHeight() const;
    int GetHeightNeeded(bool ignoreContentWhenBestHeight) const;
    bool HasCellEndingWithin(int rowIndex, int firstRow, int rowCount) const;
};

// ---- grid operations: the records the grid fills (RDTableUndo.h) ----
class TCustomRDUndoWithCells;
class TRDUndoCellsClear;
class TRDUndoDeleteCols;
class TRDUndoDeleteRows;
class TRDUndoMerge;
class TRDUndoMergeItem;
// ---- end grid operations: records ----

// The rows of a table; knows the table and the document holding it.
class TRDTableRows : public TRDList<TRDTableRow> {
public:
    TRDTableRows(TCustomRDData* rdData, TRDTableItemInfo* table);
    // Appends rowCount rows of colCount new cells each.
    void AddRows(int rowCount, int colCount);
    TCustomRDData* OwningData = nullptr;
    TRDTableItemInfo* Table = nullptr;
    TRDTableRow* Row(int index) const { return Items(index); }

    // ---- rows: grid operations (RDTableGrid.cpp) ----
    // An undo item index U is the table's index in OwningData when the
    // change is recorded, -1 when it is not: removed cells and rows are then
    // freed instead of being kept in records.
    void Reset(int rowCount, int colCount);
    bool IsEmpty() const;
    TRDTableRow* AddRow(int colCount);
    TRDTableRow* InsertRow(int index, int colCount);
    void InsertRowObject(int index, std::unique_ptr<TRDTableRow> row);
    TRDTableRow* GetRow(int index) const { return Items(index); }
    int GetColCount() const;
    // The cell covering (row, col) and the position it stands at; nil when
    // the position is outside the grid or no cell covers it (a broken grid).
    TRDTableCellData* GetMainCell(int row, int col, int& mainCol, int& mainRow) const;
    // The text style of the first untagged text item of data; 0 when none.
    static int FirstTextStyleOf(TCustomRDData* data);

    // Column questions of the layout.
    int GetColumnMinWidth(int col, const TRDResolutionInfo* resolution, TCanvas* canvas) const;
    bool ColumnHasPercentWidth(int col) const;
    int GetColumnPercentWidth(int col, int tableWidth) const;
    int GetColumnBestWidth(int col) const;
    // The BestWidth a cell merged from the rectangle gets: percentages win
    // over pixels, the widest row wins within each kind.
    int GetCombinedBestWidth(int row, int col, int rowCount, int colCount) const;

    // Structure commands, recorded for undo when the table records.
    void InsertRows(int index, int count, bool divideHeights, int copyRow);
    void InsertCols(int index, int count, int copyCol, bool divideWidths);
    void DeleteRows(int first, int count, bool adjustHeights);
    void DeleteCols(int first, int count, bool adjustWidths);
    void MergeCells(int topRow, int leftCol, int colCount, int rowCount, bool allowLoneLines, bool combineWidths);
    // Cuts the rectangle to the grid; false when there is nothing to merge.
    bool CheckMergeParams(int topRow, int leftCol, int& colCount, int& rowCount) const;
    bool CanMergeCells(int topRow, int leftCol, int colCount, int rowCount, bool allowLoneLines) const;
    // Empties the cells at (rows[k], cols[k]); with a record the cells go
    // into it and new empty cells take their places.
    void ClearCells(TRDUndoCellsClear* record, const TRDIntegerList& rows, const TRDIntegerList& cols);

    // Primitives, each the inverse of another (rectangles: first row, first
    // column, row count, column count).
    void InsertEmptyRows(int index, int count);
    void RemoveRowsPlain(int index, int count);
    void InsertNils(int row, int col, int rowCount, int colCount);
    void DeleteEntries(int row, int col, int rowCount, int colCount);
    void CreateCells(int row, int col, int rowCount, int colCount);
    void FreeCells(int row, int col, int rowCount, int colCount);
    void SpreadOverEmptyCells(int row, int col, int span);
    void UnspreadCell(int row, int col, int span);
    void SetSpan(int undoItemNo, int row, bool isColSpan, int value, int col);
    void ChangeEmptyCellStyle(int undoItemNo, int row, int paraNo, int styleNo, int col);
    void SplitCellAtRow(int row, int col, bool shrinkBestHeight, int splitRow);
    void JoinCellAtRow(int row, int col, int oldBestHeight, int splitRow);
    void SplitCellAtCol(int row, int col, bool shrinkBestWidth, int splitCol);
    void JoinCellAtCol(int row, int col, int oldBestWidth, int splitCol);
    void DetachCells(int row, int col, int rowCount, int colCount, TRDUndoInfo* record);
    void AttachCells(int row, int col, int rowCount, int colCount);
    void RemoveRows(int undoItemNo, int first, TRDUndoDeleteRows* record, int count);
    void RestoreRows(int first, TRDList<TRDTableRow>& rows);
    void RemoveCols(int undoItemNo, int first, TRDUndoDeleteCols* record, int count);
    // cells: per row, from the last removed column down to the first.
    void RestoreCols(int first, TRDList<TRDTableCellData>& cells);
    void DoMerge(int undoItemNo, int topRow, bool combineWidths, TRDUndoMerge* record, int rowCount, int colCount,
                 int leftCol);
    void Unmerge(int topRow, int oldBestWidth, TRDList<TRDUndoMergeItem>& mergeItems, int oldRowSpan,
                 int oldColSpan, int leftCol);
    void RestoreClearedCells(TRDList<TRDTableCellData>& cells, const TRDIntegerList& rows,
                             const TRDIntegerList& cols);

    // Record makers: each adds one record (nothing when the table records no
    // undo); an index of -1 is the table's own.
    void RecordInsertRows(int undoItemNo, int first, int count);
    void RecordInsertCell(int undoItemNo, int row, int col);
    void RecordSpreadOverEmptyCells(int undoItemNo, int row, int span, int col);
    void RecordFreeEmptyCells(int undoItemNo, int row, int col, int rowCount, int colCount);
    void RecordInsertEmptyCells(int undoItemNo, int row, int col, int rowCount, int colCount);
    void RecordSplitCellAtRow(int undoItemNo, int row, bool shrink, int splitRow, int col);
    void RecordSplitCellAtCol(int undoItemNo, int row, bool shrink, int splitCol, int col);
    TRDUndoDeleteRows* RecordDeleteRows(int undoItemNo, int first, int count);
    TRDUndoDeleteCols* RecordDeleteCols(int undoItemNo, int first, int count);
    TRDUndoCellsClear* RecordCellsClear(int undoItemNo, const TRDIntegerList& rows, const TRDIntegerList& cols);
    TRDUndoMerge* RecordMerge(int undoItemNo, int topRow, int rowCount, int colCount, int leftCol);

private:
    // The editing document records go to, and the item index they name;
    // nil when nothing is recorded.
    TCustomRDData* GridRecordingData(int& undoItemNo) const;
    // Raises when (row, col) is outside the grid.
    void GridCheckPosition(int row, int col) const;
    // The undo item index the table records with now (-1: none).
    int GridUndoItemNo() const;
    // ---- end rows: grid operations ----
};

class TRDTableItemInfo : public QObject, public TRDFullLineItemInfo {
    Q_OBJECT
    Q_PROPERTY(int BestWidth READ GetBestWidth WRITE SetBestWidth)
    Q_PROPERTY(int Color READ GetColorValue WRITE SetColor)
    Q_PROPERTY(int BackgroundStyle READ GetBackgroundStyleValue WRITE SetBackgroundStyleValue)
    Q_PROPERTY(int HeadingRowCount READ GetHeadingRowCount WRITE SetHeadingRowCount)
    Q_PROPERTY(int BorderWidth READ GetBorderWidth WRITE SetBorderWidth)
    Q_PROPERTY(int BorderColor READ GetBorderColor WRITE SetBorderColor)
    Q_PROPERTY(int BorderLightColor READ GetBorderLightColor WRITE SetBorderLightColor)
    Q_PROPERTY(int BorderStyle READ GetBorderStyleValue WRITE SetBorderStyleValue)
    Q_PROPERTY(int BorderVSpacing READ GetBorderVSpacing WRITE SetBorderVSpacing)
    Q_PROPERTY(int BorderHSpacing READ GetBorderHSpacing WRITE SetBorderHSpacing)
    Q_PROPERTY(int CellBorderWidth READ GetCellBorderWidth WRITE SetCellBorderWidth)
    Q_PROPERTY(int CellBorderColor READ GetCellBorderColor WRITE SetCellBorderColor)
    Q_PROPERTY(int CellBorderLightColor READ GetCellBorderLightColor WRITE SetCellBorderLightColor)
    Q_PROPERTY(int CellHPadding READ GetCellHPadding WRITE SetCellHPadding)
    Q_PROPERTY(int CellVPadding READ GetCellVPadding WRITE SetCellVPadding)
    Q_PROPERTY(int CellBorderStyle READ GetCellBorderStyleValue WRITE SetCellBorderStyleValue)
    Q_PROPERTY(int VRuleWidth READ GetVRuleWidth WRITE SetVRuleWidth)
    Q_PROPERTY(int VRuleColor READ GetVRuleColor WRITE SetVRuleColor)
    Q_PROPERTY(int HRuleWidth READ GetHRuleWidth WRITE SetHRuleWidth)
    Q_PROPERTY(int HRuleColor READ GetHRuleColor WRITE SetHRuleColor)
    Q_PROPERTY(int CellVSpacing READ GetCellVSpacing WRITE SetCellVSpacing)
    Q_PROPERTY(int CellHSpacing READ GetCellHSpacing WRITE SetCellHSpacing)
    Q_PROPERTY(int VOutermostRule READ GetVOutermostRule WRITE SetVOutermostRule)
    Q_PROPERTY(int HOutermostRule READ GetHOutermostRule WRITE SetHOutermostRule)

public:
    // A table of one row and one column.
    explicit TRDTableItemInfo(TCustomRDData* rdData = nullptr);
    TRDTableItemInfo(int rowCount, int colCount, TCustomRDData* rdData);
    ~TRDTableItemInfo() override;
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* rdData) const override;

    // Table state bits.
    enum : uint16_t {
        tsInDocument = 1u << 0,
        tsInEditor = 1u << 1,
        tsNeedsLayout = 1u << 2,
        tsPaddingChanged = 1u << 3,
        tsResizingColumns = 1u << 4,
        tsResizeShift = 1u << 5,
        tsNewItem = 1u << 6,
        tsEditorResizing = 1u << 7,
        tsCellsSelected = 1u << 8,
    };

    std::unique_ptr<TRDTableRows> Rows;
    TRDTableOptions Options = rdtoEditing | rdtoRowSizing | rdtoColSizing | rdtoRowSelect | rdtoColSelect;
    TRDTablePrintOptions PrintOptions = rdtoHalftoneBorders | rdtoRowsSplit;
    QString TextRowSeparator = QStringLiteral("\r\n");
    QString TextColSeparator = QStringLiteral("\r\n");
    TRDBooleanRect VisibleBorders;
    QString BackgroundImageFileName;
    uint16_t TableState = 0;
    int FocusRow = -1, FocusCol = -1;
    int ChosenRow = -1, ChosenCol = -1;
    int SelStartRow = -1, SelStartCol = -1, SelRowOffset = 0, SelColOffset = 0;
    int MouseLockCount = 0;

    TRDTableCellData* GetCell(int row, int col) const;
    int RowCount() const { return Rows->Count(); }
    int ColCount() const;
    int GetMyItemNo();
    bool InEditingDocument() const;
    bool UndoEnabled() const;
    int GetUndoItemNo();
    void MarkChanged() { TableState |= tsNeedsLayout; }
    bool HasRowPageBreaks(int from, int to) const;
    bool HeadingRowsRepeatable() const;

    // The property setters: undoable while the table is in an editor's
    // document, plain stores otherwise.
    int GetBestWidth() const { return FBestWidth; }
    void SetBestWidth(int value);
    TColor GetColor() const { return FColor; }
    int GetColorValue() const { return static_cast<int>(FColor); }
    void SetColor(int value);
    TRDItemBackgroundStyle GetBackgroundStyle() const;
    int GetBackgroundStyleValue() const { return static_cast<int>(GetBackgroundStyle()); }
    void SetBackgroundStyleValue(int value);
    TGraphic* GetBackgroundImage() const { return Background ? Background->GetImage() : nullptr; }
    // Stores a copy of graphic; nothing when graphic is the picture already.
    void SetBackgroundImageEx(const TGraphic* graphic);
    int GetHeadingRowCount() const { return FHeadingRowCount; }
    void SetHeadingRowCount(int value);
    int GetBorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int value);
    int GetBorderColor() const { return static_cast<int>(FBorderColor); }
    void SetBorderColor(int value);
    int GetBorderLightColor() const { return static_cast<int>(FBorderLightColor); }
    void SetBorderLightColor(int value);
    TRDTableBorderStyle GetBorderStyle() const { return FBorderStyle; }
    int GetBorderStyleValue() const { return static_cast<int>(FBorderStyle); }
    void SetBorderStyleValue(int value);
    int GetBorderVSpacing() const { return FBorderVSpacing; }
    void SetBorderVSpacing(int value);
    int GetBorderHSpacing() const { return FBorderHSpacing; }
    void SetBorderHSpacing(int value);
    int GetCellBorderWidth() const { return FCellBorderWidth; }
    void SetCellBorderWidth(int value);
    int GetCellBorderColor() const { return static_cast<int>(FCellBorderColor); }
    void SetCellBorderColor(int value);
    int GetCellBorderLightColor() const { return static_cast<int>(FCellBorderLightColor); }
    void SetCellBorderLightColor(int value);
    int GetCellHPadding() const { return FCellHPadding; }
    void SetCellHPadding(int value);
    int GetCellVPadding() const { return FCellVPadding; }
    void SetCellVPadding(int value);
    // The mean of both paddings, rounded half to even; setting sets both.
    int GetCellPadding() const;
    void SetCellPadding(int value);
    TRDTableBorderStyle GetCellBorderStyle() const { return FCellBorderStyle; }
    int GetCellBorderStyleValue() const { return static_cast<int>(FCellBorderStyle); }
    void SetCellBorderStyleValue(int value);
    int GetVRuleWidth() const { return FVRuleWidth; }
    void SetVRuleWidth(int value);
    int GetVRuleColor() const { return static_cast<int>(FVRuleColor); }
    void SetVRuleColor(int value);
    int GetHRuleWidth() const { return FHRuleWidth; }
    void SetHRuleWidth(int value);
    int GetHRuleColor() const { return static_cast<int>(FHRuleColor); }
    void SetHRuleColor(int value);
    int GetCellVSpacing() const { return FCellVSpacing; }
    void SetCellVSpacing(int value);
    int GetCellHSpacing() const { return FCellHSpacing; }
    void SetCellHSpacing(int value);
    int GetVOutermostRule() const { return FVOutermostRule ? 1 : 0; }
    void SetVOutermostRule(int value);
    int GetHOutermostRule() const { return FHOutermostRule ? 1 : 0; }
    void SetHOutermostRule(int value);

    // Which of the paddings are stored (the others take their defaults).
    bool IsCellHPaddingStored() const;
    bool IsCellVPaddingStored() const;
    bool IsCellPaddingStored() const;
    bool IsVisibleBordersStored() const { return !VisibleBorders.IsAllEqual(true); }

    // Sets a published integer property by name: recorded for undo in an
    // editor's document, stored directly otherwise; then marks the layout.
    void SetPropertyByName(const QString& name, int value, bool reformat, bool changesWidth);

    bool GetBoolValue(int id) const override;
    bool GetBoolValueEx(int id, const TRDStyle* rdStyle) const override;
    void Inserting(TCustomRDData* rdData, QByteArray& text, bool detached) override;
    void Inserted(TCustomRDData* rdData, int itemNo) override;
    void MovingToUndoList(int itemNo, TCustomRDData* rdData, TRDUndoInfo* undoInfo) override;
    void MovingFromUndoList(int itemNo, TCustomRDData* rdData) override;
    void BeforeLoading(TRDLoadFormat format) override;
    void AfterLoading(TRDLoadFormat format) override;
    void BeforePropertyChange() override;
    void AfterPropertyChange() override;
    bool SetExtraStrProperty(int id, const QString& value) override;
    bool GetExtraStrProperty(int id, QString& value) const override;
    int GetRDFExtraPropertyCount() const override;
    void SaveRDFExtraProperties(TRDStream& stream) const override;
    void MarkStylesInUse(TRDStyleUsage& usage) const override;
    void UpdateStyles(const TRDStyleMaps& maps) override;

    std::unique_ptr<TRDBackground> Background;

    // ---- table: grid operations and cell properties (RDTableGrid.cpp) ----
    // The undo bracket of a table operation: one group of kind 13 in group
    // mode while the table is in an editor's document.
    void BeginTableOperation();
    void EndTableOperation();
    // Structure commands: checked, recorded as one undo group, then laid out anew.
    // select: the new rows (columns) become the cell selection.
    void InsertRows(int index, int count, bool select, int copyRow);
    void InsertCols(int index, int count, bool select, int copyCol);
    void DeleteRows(int first, int count, bool adjustHeights);
    void DeleteCols(int first, int count, bool adjustWidths);
    // Deletes every row in which no cell stands.
    void DeleteEmptyRows();
    void MergeCells(int topRow, int leftCol, int colCount, int rowCount, bool allowLoneLines);
    // The cell standing at (row, col); raises "Invalid row or column index"
    // for a negative, covered or out-of-grid position.
    TRDTableCellData& GetCheckedCell(int row, int col) const;
    // Cell properties by name (itemNo -1: the table's own index); recorded in
    // an editor's document, set directly otherwise.
    void SetCellIntProperty(int itemNo, const QString& name, bool reformat, bool changesWidth, int row, int col,
                            int value);
    void SetCellStrProperty(int itemNo, const QString& name, int row, int col, const QString& value);
    void SetCellBestHeight(int value, int row, int col);
    void SetCellBestWidth(int value, int row, int col);
    void SetCellBackgroundImageFileName(const QString& value, int row, int col);
    void SetCellHint(const QString& value, int row, int col);
    void SetCellVisibleBorders(int itemNo, bool left, bool top, bool right, bool bottom, int row, int col);
    // The cell shows a copy of picture (nil: none).
    void SetCellBackgroundImage(const TGraphic* picture, int row, int col);
    void AssignCellAttributes(int itemNo, int row, int col, const TRDTableCellData& source, bool divideBestSize,
                              int rowDivisor, int colDivisor);
    // ---- end table: grid operations ----

    // ---- table: layout and geometry (RDTableLayout.cpp) ----
    // The screen layout.
    TRDTableItemFormattingInfo Layout;
    // The device scaling while laying out or drawing for a printer; nil on
    // screen (not owned).
    mutable const TRDResolutionInfo* PrintScale = nullptr;
    // A length of the table's properties in device pixels.
    int ScaleX(int64_t n) const;
    int ScaleY(int64_t n) const;
    // Width taken by spacing and borders between and around the columns.
    int GetHorzOverhead() const;

    int GetMinWidth(const TRDResolutionInfo* scaling, TCanvas* canvas = nullptr,
                    TCustomRDData* rdData = nullptr) const override;
    int GetWidthEx() const override { return Layout.Width; }
    int GetHeightEx() const override { return Layout.Height; }
    void OnDocWidthChange(int docWidth, TRDDrawLineInfo* drawItem, bool printing, TCanvas* canvas,
                          TCustomRDData* rdData, const TRDResolutionInfo* scaling, int& extra,
                          int& descent) override;
    void OnDocWidthChangeEx(int docWidth, TRDDrawLineInfo* drawItem, bool printing, TCanvas* canvas,
                            TCustomRDData* rdData, const TRDResolutionInfo* scaling, int& extra, int& descent,
                            bool noCache, bool editorFlag) override;

    // Lays the table out for the available width into record.
    void LayoutTable(int available, TRDTableItemFormattingInfo& record, bool editorFlag, bool noCache,
                     TCanvas* canvas);
    // True when every column has a pixel width of its own and none has a
    // percent width.
    bool AllColumnsFixed() const;
    // The lefts and tops from the column widths and row heights; cell
    // rectangles follow, and the cells are formatted at their new widths.
    void PlaceColumns(TRDTableItemFormattingInfo& record, bool noCache, bool editorFlag);
    void PlaceRows(TRDTableItemFormattingInfo& record);

    // Geometry of the screen layout, in table coordinates. The border at x
    // or y (-1 when none), with the start of the column or row before it and
    // the border's position.
    int ColumnBorderAt(int x, int& colStart, int& borderPos) const;
    int RowBorderAt(int y, int& rowStart, int& borderPos) const;
    // The column or row whose content span holds x or y; -1 in spacing.
    int ColumnAt(int x) const;
    int RowAt(int y) const;
    // The last index whose start is below position (binary search).
    static int FindStartIndex(int position, const std::vector<int32_t>& starts);
    // The main cell whose inside (a pixel in from its rectangle) holds the
    // point.
    bool CellAtUncached(int x, int y, int& col, int& row) const;
    bool CellAt(int x, int y, int& col, int& row);
    // The active document of the cell at the point; nil when none.
    TCustomRDData* GetSubDocAt(int x, int y);

private:
    int FLastHitRow = -1, FLastHitCol = -1;

public:
    // ---- end table: layout and geometry ----

    // ---- table: painting (RDTablePaint.cpp) ----
    // Asked before every border is drawn; Row and Col are -1 for the table's
    // outer border; DoDefault false leaves the border to the handler.
    using TRDTableDrawBorderEvent =
        std::function<void(TRDTableItemInfo* sender, TCanvas& canvas, int left, int top, int right, int bottom,
                           int width, TColor lightColor, TColor color, TColor backgroundColor,
                           TRDTableBorderStyle style, bool printing, const TRDBooleanRect& visibleBorders, int row,
                           int col, bool& doDefault)>;
    TRDTableDrawBorderEvent OnDrawBorder;
    // Where the table was last painted (canvas coordinates).
    mutable int PaintOriginX = 0, PaintOriginY = 0;

    void PaintFullLine(int left, int right, int top, TRDStyle* rdStyle, uint16_t state, TCanvas& canvas,
                       TCustomRDData* rdData) const override;
    // Paints the laid-out table with its top left corner at x, y: what lies
    // in clip (canvas coordinates). drawState bit 0: selected as a whole;
    // bits 10 and 11 are handed to the cells' documents.
    void PaintTo(TCanvas& canvas, int x, int y, const QRect& clip, uint16_t drawState, TRDStyle* rdStyle) const;
    // Colours of cells: the cell's, else the table's, else the background of
    // the table's paragraph, else the document's.
    TColor GetCellColor(const TRDTableCellData& cell) const;
    bool IsCellTransparent(const TRDTableCellData& cell) const;
    TColor GetTableBackColor(bool withDocumentColor) const;
    TColor GetCellOrTableColor(const TRDTableCellData& cell) const;
    // Draws the border of the rectangle left..right, top..bottom (right and
    // bottom outside it), and the dotted grid where a side is invisible.
    // Only what lies in clip is drawn, whatever the width.
    void DrawBorder(TCanvas& canvas, int left, int top, int right, int bottom, int width, TColor lightColor,
                    TColor color, TColor backgroundColor, TRDTableBorderStyle style, bool printing, bool editing,
                    bool showGrid, const TRDBooleanRect& visibleBorders, int row, int col, int colorMode,
                    const QRect& clip) const;

private:
    void PaintCell(TCanvas& canvas, int row, int col, int x, int y, const QRect& clip, uint16_t drawState,
                   TColor selColor, bool editing, TRDStyle* rdStyle) const;
    // Whether the grid line of a cell's invisible side is hidden under the
    // border of its neighbour through negative spacing; side 0 left, 1 top,
    // 2 right, 3 bottom.
    bool GridSideCovered(int row, int col, int side) const;

public:
    // ---- end table: painting ----

    // ---- table: file forms (RDTableStream.cpp) ----
    // The RDF record: header, name line, extra property lines, "1", then the
    // table's component as hexadecimal text or a binary block.
    void SaveRDF(TRDStream& stream, TCustomRDData* rdData, int itemNo, int paraNo, const QByteArray& name,
                 bool forceContinuePara, int partCode) const override;
    bool ReadRDFLine(const QByteArray& line, TCustomRDData* rdData, int dataMode, int lineNo, int lineCount,
                     QByteArray& name, int& readMode, int& readState) override;
    // The record of the table's selected rectangle: a whole table whose
    // cells outside the selection keep their attributes only.
    void SaveRDFSelection(TRDStream& stream, TCustomRDData* rdData, int paraNo) const override;
    // The record of the rectangle info names (a whole table by default).
    void WriteRDFRecord(TRDStream& stream, TCustomRDData* rdData, const TRDTableStreamSaveInfo* info,
                        const QByteArray& name, int paraNo) const;
    // What the running write or read covers; nil outside them.
    const TRDTableStreamSaveInfo* StreamSaveInfo = nullptr;
    // ---- end table: file forms ----

    // ---- table: cell selection (RDTableSelect.cpp) ----
    // A mouse selection across cells is in progress.
    bool MouseSelecting = false;
    // Selects the rectangle from the anchor (row, col) over the offsets.
    void SelectCells(int row, int col, int colOffset, int rowOffset);
    void SelectCols(int firstCol, int count);
    void SelectRows(int firstRow, int count);
    void ClearCellSelection();
    void DeselectInside() override { ClearCellSelection(); }
    bool HasSelectionInside() const override { return TableState & tsCellsSelected; }
    // The rectangle of the two corner cells (merged cells at the corners
    // whole); false without a selection.
    bool GetSelectionBounds(bool withEditor, int& topRow, int& leftCol, int& rowCount, int& colCount);
    // The smallest rectangle that holds every merged cell crossing its edges.
    bool GetNormalizedSelectionBounds(bool withEditor, int& topRow, int& leftCol, int& rowCount, int& colCount);
    bool IsCellSelected(int row, int col);
    // Shows the selection in the cells: selected cells marked, the others
    // (but the anchor) deselected.
    void UpdateCellStates();
    // Anchors a mouse selection at (row, col); false when not allowed.
    bool StartCellSelection(int row, int col);
    // The table lies inside the selection of the document holding it (or
    // that document is a selected cell).
    bool IsSelectedAsWhole();

private:
    // Clears an anchor lost while cells are marked selected.
    void RepairCellSelection();

public:
    // ---- end table: cell selection ----

    // ---- table: model extras (RDTable.cpp) ----
    // The screen cursors of row and column selection at the outer border.
    static constexpr int16_t crRDSelectRow = 104;
    static constexpr int16_t crRDSelectCol = 105;
    // The table's place in the client area of the control showing it,
    // refreshed whenever it is painted or a cell is about to be invalidated.
    int ClientLeft = 0, ClientTop = 0;
    void UpdateClientPosition();
    // The cell at (row, col) becomes the chosen one of the document holding
    // the table, the table selected there as one item.
    void ChooseCell(int row, int col);
    // The chosen cell was released: it is deselected and forgotten.
    void LeaveChosenSubDocument() override;
    // The cell at (row, col) holds the keyboard-focused item.
    void SetFocusedCell(int row, int col);
    // The position of a cell of this table; false when it is not one.
    bool GetCellPosition(const TRDTableCellData* cell, int& row, int& col) const;
    // ---- end table: model extras ----

private:
    void Construct(int rowCount, int colCount, TCustomRDData* rdData);
    // A plain integer property: stored directly, or through SetPropertyByName.
    void SetIntProperty(int& field, int value, const char* name, bool reformat, bool changesWidth);
    void SetColorProperty(TColor& field, int value, const char* name);
    void DropEmptyBackground();

    TRDHTMLLength FBestWidth = 0;
    TColor FColor = clWindow;
    int FHeadingRowCount = 0;
    int FBorderWidth = 0;
    TColor FBorderColor = clWindowText;
    TColor FBorderLightColor = clBtnHighlight;
    TRDTableBorderStyle FBorderStyle = TRDTableBorderStyle::rdtbRaised;
    int FBorderVSpacing = 2;
    int FBorderHSpacing = 2;
    int FCellBorderWidth = 0;
    TColor FCellBorderColor = clWindowText;
    TColor FCellBorderLightColor = clBtnHighlight;
    int FCellHPadding = 1;
    int FCellVPadding = 1;
    TRDTableBorderStyle FCellBorderStyle = TRDTableBorderStyle::rdtbLowered;
    int FVRuleWidth = 0;
    TColor FVRuleColor = clWindowText;
    int FHRuleWidth = 0;
    TColor FHRuleColor = clWindowText;
    int FCellVSpacing = 2;
    int FCellHSpacing = 2;
    bool FVOutermostRule = false;
    bool FHOutermostRule = false;
    int FCachedItemNo = -1;
};
