// The undo records of table structure and property changes.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "RDEditTestSupport.h"
#include "RDPictureTestSupport.h"
#include "RDTableTestSupport.h"
#include "core/RDError.h"
#include "editing/RDUndo.h"
#include "tables/RDTable.h"
#include "tables/RDTableUndo.h"

namespace {

int UndoTestRecordCount(TRDUndoList& list)
{
    int n = 0;
    for (const auto& group : list.Groups)
        n += static_cast<int>(group->Records.size());
    return n;
}

// Undo, redo, undo of the last group, checking the state after each step.
void UndoTestRoundTrip(TRDEditRDData& data, const std::function<void()>& expectBefore,
                       const std::function<void()>& expectAfter)
{
    ASSERT_FALSE(data.UndoList->Groups.empty());
    {
        SCOPED_TRACE("undo");
        data.UndoList->Undo(data);
        expectBefore();
    }
    {
        SCOPED_TRACE("redo");
        ASSERT_FALSE(data.RedoList->Groups.empty());
        data.RedoList->Redo(data);
        expectAfter();
    }
    {
        SCOPED_TRACE("undo again");
        ASSERT_FALSE(data.UndoList->Groups.empty());
        data.UndoList->Undo(data);
        expectBefore();
    }
}

}  // namespace

// A published cell property set the way the table's cell commands do: one
// group, the editing engine's property change with the cell record as class.
TEST(RDTableUndo, CellPropertyRecordsFindTheirCellAnewAndAlternate)
{
    TTableEditor editor(2, 3);
    TRDEditRDData& data = editor.Data();
    TRDTableItemInfo& table = *editor.Table;
    TRDTableCellData& cell = TableCell(table, 1, 2);
    const int item = table.GetMyItemNo();
    ASSERT_EQ(item, 1);

    data.BeginUndoGroup(rdutModifyItem, true);
    TRDUndoModifyCellIntProperty intClass;
    auto* made = dynamic_cast<TRDUndoModifyCellIntProperty*>(
        data.ModifyItemIntProperty(item, &cell, &intClass, true, true, 77, QStringLiteral("BestWidth")));
    ASSERT_NE(made, nullptr);
    made->Row = 1;
    made->Col = 2;
    // The record's target is found again from the position, not kept.
    made->Target = nullptr;

    data.BeginUndoGroup(rdutModifyItem, true);
    TRDUndoModifyCellStrProperty strClass;
    auto* madeStr = dynamic_cast<TRDUndoModifyCellStrProperty*>(
        data.ModifyItemStrProperty(item, &cell, &strClass, QStringLiteral("提示"), QStringLiteral("Hint")));
    ASSERT_NE(madeStr, nullptr);
    madeStr->Row = 1;
    madeStr->Col = 2;

    data.BeginUndoGroup(rdutModifyItem, true);
    TRDUndoModifyCellIntProperties intsClass;
    auto* madeInts = dynamic_cast<TRDUndoModifyCellIntProperties*>(data.ModifyItemIntProperties(
        item, &cell, &intsClass, false, false,
        {{QStringLiteral("Color"), 0x00FF00}, {QStringLiteral("VAlign"), 1}}));
    ASSERT_NE(madeInts, nullptr);
    madeInts->Row = 1;
    madeInts->Col = 2;
    EXPECT_EQ(cell.BestWidth, 77);
    EXPECT_EQ(cell.Hint, QStringLiteral("提示"));
    EXPECT_EQ(cell.Color, 0x00FF00u);

    UndoTestRoundTrip(
        data,
        [&] {
            EXPECT_EQ(cell.Color, clNone);
            EXPECT_EQ(cell.VAlign, TRDCellVAlign::rdcVDefault);
            EXPECT_EQ(cell.Hint, QStringLiteral("提示"));
        },
        [&] {
            EXPECT_EQ(cell.Color, 0x00FF00u);
            EXPECT_EQ(cell.VAlign, TRDCellVAlign::rdcMiddle);
        });
    // The redo list's record is of the cell's class and knows the cell.
    ASSERT_EQ(data.RedoList->Groups.back()->Records.size(), 1u);
    auto* opposite = dynamic_cast<TRDUndoModifyCellIntProperties*>(data.RedoList->Groups.back()->Records[0].get());
    ASSERT_NE(opposite, nullptr);
    EXPECT_EQ(opposite->Row, 1);
    EXPECT_EQ(opposite->Col, 2);
    EXPECT_EQ(opposite->Kind, 15);

    data.UndoList->Undo(data);
    EXPECT_TRUE(cell.Hint.isEmpty());
    EXPECT_EQ(cell.BestWidth, 77);
    data.UndoList->Undo(data);
    EXPECT_EQ(cell.BestWidth, 0);
    // Marked for layout, and laid out again by the document's formatting.
    EXPECT_FALSE(table.TableState & TRDTableItemInfo::tsNeedsLayout);
    EXPECT_NE(table.Layout.ColumnWidths[2], 77);
    data.RedoList->Redo(data);
    EXPECT_EQ(cell.BestWidth, 77);
    EXPECT_EQ(table.Layout.ColumnWidths[2], 77);
    EXPECT_EQ(data.ItemAt(1), &table);
}

// Borders of a cell and of the table itself (row and column -1).
TEST(RDTableUndo, VisibleBordersOfACellAndOfTheTable)
{
    struct TCase {
        const char* Name;
        int Row, Col;
    };
    for (const TCase& c : {TCase{"cell", 0, 1}, TCase{"table", -1, -1}}) {
        SCOPED_TRACE(c.Name);
        TTableEditor editor;
        TRDEditRDData& data = editor.Data();
        TRDTableItemInfo& table = *editor.Table;
        TRDBooleanRect& borders = c.Row < 0 ? table.VisibleBorders : TableCell(table, c.Row, c.Col).VisibleBorders;

        data.BeginUndoGroup(rdutModifyItem, true);
        auto* record = AddTableUndoRecord<TRDUndoModifyVisibleBorders>(&data, table.GetMyItemNo(), false, false);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->Kind, 15);
        record->Row = c.Row;
        record->Col = c.Col;
        record->Left = borders.Left;
        record->Right = borders.Right;
        record->Top = borders.Top;
        record->Bottom = borders.Bottom;
        borders.SetValues(false, true, false, true);

        UndoTestRoundTrip(
            data, [&] { EXPECT_TRUE(borders.IsAllEqual(true)); },
            [&] { EXPECT_TRUE(borders.IsEqualToValues(false, true, false, true)); });
        // The other table's borders stayed as they were.
        EXPECT_TRUE((c.Row < 0 ? TableCell(table, 0, 1).VisibleBorders : table.VisibleBorders).IsAllEqual(true));
    }
}

// The table's picture: undo gives back the very picture object it had.
TEST(RDTableUndo, TableBackgroundPictureComesBackAsItself)
{
    TTableEditor editor;
    TRDEditRDData& data = editor.Data();
    TRDTableItemInfo& table = *editor.Table;
    std::unique_ptr<TGraphic> red = Graphic<TBitmapGraphic>(Encoded("BMP", Qt::red));
    std::unique_ptr<TGraphic> blue = Graphic<TBitmapGraphic>(Encoded("BMP", Qt::blue));

    SetTableBackgroundImage(table, red.get());
    TGraphic* first = table.GetBackgroundImage();
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, red.get());  // the table keeps a copy
    SetTableBackgroundImage(table, blue.get());
    TGraphic* second = table.GetBackgroundImage();
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(data.UndoList->Count(), 2);
    // The same picture object again records nothing.
    SetTableBackgroundImage(table, second);
    EXPECT_EQ(data.UndoList->Count(), 2);

    UndoTestRoundTrip(
        data, [&] { EXPECT_EQ(table.GetBackgroundImage(), first); },
        [&] { EXPECT_EQ(table.GetBackgroundImage(), second); });
    data.UndoList->Undo(data);
    EXPECT_EQ(table.GetBackgroundImage(), nullptr);
    EXPECT_EQ(table.Background, nullptr);  // nothing left to hold
    data.RedoList->Redo(data);
    EXPECT_EQ(table.GetBackgroundImage(), first);
    data.RedoList->Redo(data);
    EXPECT_EQ(table.GetBackgroundImage(), second);

    // Outside an editor the picture is set with no record.
    TRDTableItemInfo loose(nullptr);
    SetTableBackgroundImage(loose, red.get());
    EXPECT_NE(loose.GetBackgroundImage(), nullptr);
}

// A cell's picture record (as the cell command makes it) gives its object back.
TEST(RDTableUndo, CellBackgroundPictureComesBackAsItself)
{
    TTableEditor editor;
    TRDEditRDData& data = editor.Data();
    TRDTableItemInfo& table = *editor.Table;
    TRDTableCellData& cell = TableCell(table, 1, 0);
    cell.SetBackgroundImage(Graphic<TBitmapGraphic>(Encoded("BMP", Qt::red)).get());
    TGraphic* before = cell.GetBackgroundImage();
    ASSERT_NE(before, nullptr);

    data.BeginUndoGroup(rdutModifyItem, true);
    auto* record = AddTableUndoRecord<TRDUndoModifyBackgroundImage>(&data, table.GetMyItemNo(), false, false);
    ASSERT_NE(record, nullptr);
    record->Row = 1;
    record->Col = 0;
    record->Picture = cell.Background->TakeImage();
    cell.SetBackgroundImageEx(nullptr);
    EXPECT_EQ(cell.Background, nullptr);

    UndoTestRoundTrip(
        data, [&] { EXPECT_EQ(cell.GetBackgroundImage(), before); },
        [&] { EXPECT_EQ(cell.GetBackgroundImage(), nullptr); });
}

TEST(RDTableUndo, SpanAndEmptyCellStyleRecordsAlternate)
{
    TTableEditor editor(2, 2);
    TRDEditRDData& data = editor.Data();
    TRDTableItemInfo& table = *editor.Table;
    TRDTableCellData& cell = TableCell(table, 0, 1);
    TRDTableCellData* const cellObject = &cell;

    // The row span of (0, 1) and the styles of its empty item change in one group.
    data.BeginUndoGroup(rdutModifyItem, true);
    auto* span = AddTableUndoRecord<TRDUndoSpan>(&data, table.GetMyItemNo(), true, false);
    ASSERT_NE(span, nullptr);
    span->ForColumns = false;
    span->Row = 0;
    span->Col = 1;
    span->SpanBefore = 1;
    auto* styles = AddTableUndoRecord<TRDUndoChangeEmptyCellStyles>(&data, table.GetMyItemNo(), true, true);
    ASSERT_NE(styles, nullptr);
    styles->Row = 0;
    styles->Col = 1;
    styles->StyleNo = 0;
    styles->ParaNo = 0;
    cell.RowSpan = 2;
    cell.Clear();
    cell.AddTextConverted(QByteArray(), 2, 0, TRDTag());

    UndoTestRoundTrip(
        data,
        [&] {
            EXPECT_EQ(cell.RowSpan, 1);
            ASSERT_EQ(cell.ItemCount(), 1);
            EXPECT_EQ(cell.ItemAt(0)->StyleNo, 0);
        },
        [&] {
            EXPECT_EQ(cell.RowSpan, 2);
            ASSERT_EQ(cell.ItemCount(), 1);
            EXPECT_EQ(cell.ItemAt(0)->StyleNo, 2);
            EXPECT_TRUE(cell.TextOfItem(0).isEmpty());
        });
    EXPECT_EQ(table.GetCell(0, 1), cellObject);
}

// A record whose item index no longer holds a table, or whose position holds
// no cell, refuses to undo instead of touching the wrong object.
TEST(RDTableUndo, BrokenRecordsRaiseInsteadOfGuessing)
{
    struct TCase {
        const char* Name;
        int ItemShift;  // added to the table's index
        int Row, Col;
    };
    const TCase cases[] = {
        {"text item", -1, 0, 0},
        {"past the end", 5, 0, 0},
        {"negative item", -100, 0, 0},
        {"covered position", 0, 1, 1},
        {"row outside", 0, 2, 0},
        {"column outside", 0, 0, 2},
        {"negative row", 0, -1, 0},
    };
    using TMaker = std::function<void(TRDEditRDData&, int, int, int)>;
    const std::vector<std::pair<const char*, TMaker>> makers = {
        {"span",
         [](TRDEditRDData& data, int item, int row, int col) {
             auto* r = AddTableUndoRecord<TRDUndoSpan>(&data, item, true, false);
             r->Row = row;
             r->Col = col;
         }},
        {"int property",
         [](TRDEditRDData& data, int item, int row, int col) {
             auto* r = static_cast<TRDUndoModifyCellIntProperty*>(AddTableUndoRecord(
                 &data, std::make_unique<TRDUndoModifyCellIntProperty>(), item, false, false));
             r->PropName = QStringLiteral("BestWidth");
             r->Row = row;
             r->Col = col;
         }},
        {"empty cell styles",
         [](TRDEditRDData& data, int item, int row, int col) {
             auto* r = AddTableUndoRecord<TRDUndoChangeEmptyCellStyles>(&data, item, true, true);
             r->Row = row;
             r->Col = col;
         }},
    };
    for (const auto& [makerName, maker] : makers)
        for (const TCase& c : cases) {
            SCOPED_TRACE(std::string(makerName) + ": " + c.Name);
            TTableEditor editor(2, 2);
            TRDEditRDData& data = editor.Data();
            TRDTableItemInfo& table = *editor.Table;
            // (0, 0) spans both columns of row 1: (1, 1) is covered.
            TableCell(table, 1, 0).ColSpan = 2;
            std::unique_ptr<TRDTableCellData> gone = table.Rows->Row(1)->PutCell(1, nullptr);
            data.BeginUndoGroup(rdutModifyItem, true);
            maker(data, table.GetMyItemNo() + c.ItemShift, c.Row, c.Col);
            EXPECT_THROW(data.UndoList->Undo(data), ERichDocError);
            EXPECT_EQ(data.ItemAt(1), &table);
            EXPECT_EQ(data.ItemCount(), 3);
        }
}

TEST(RDTableUndo, NothingIsRecordedWithoutARecordingList)
{
    TTableEditor editor;
    TRDEditRDData& data = editor.Data();
    data.UndoList->MaxGroupCount = 0;
    data.BeginUndoGroup(rdutModifyItem, true);
    EXPECT_EQ(AddTableUndoRecord<TRDUndoSpan>(&data, 1, true, false), nullptr);
    EXPECT_EQ(AddTableUndoRecord<TRDUndoSpan>(nullptr, 1, true, false), nullptr);
    EXPECT_EQ(UndoTestRecordCount(*data.UndoList), 0);
}

// ---- structure records ----

namespace {

// What a position of the grid shows: its cell object, spans, best sizes and
// the texts of its items.
struct TUndoTestSlot {
    const TRDTableCellData* Cell = nullptr;
    int RowSpan = 0, ColSpan = 0, BestWidth = 0, BestHeight = 0;
    QByteArray Texts;
};

std::vector<std::vector<TUndoTestSlot>> UndoTestGrid(const TRDTableItemInfo& table)
{
    std::vector<std::vector<TUndoTestSlot>> grid;
    for (int r = 0; r < table.RowCount(); ++r) {
        grid.emplace_back();
        for (int c = 0; c < table.Rows->Row(r)->Count(); ++c) {
            TUndoTestSlot slot;
            if (const TRDTableCellData* cell = table.GetCell(r, c)) {
                slot = {cell, cell->RowSpan, cell->ColSpan, cell->BestWidth, cell->BestHeight, {}};
                for (int i = 0; i < cell->ItemCount(); ++i)
                    slot.Texts += cell->TextOfItem(i) + "|";
            }
            grid.back().push_back(slot);
        }
    }
    return grid;
}

// sameObjects: the cells must be the very objects of the snapshot.
void UndoTestExpectGrid(const TRDTableItemInfo& table, const std::vector<std::vector<TUndoTestSlot>>& expected,
                        bool sameObjects)
{
    const auto grid = UndoTestGrid(table);
    ASSERT_EQ(grid.size(), expected.size());
    for (size_t r = 0; r < grid.size(); ++r) {
        ASSERT_EQ(grid[r].size(), expected[r].size()) << "row " << r;
        for (size_t c = 0; c < grid[r].size(); ++c) {
            SCOPED_TRACE(testing::Message() << "(" << r << ", " << c << ")");
            const TUndoTestSlot& got = grid[r][c];
            const TUndoTestSlot& want = expected[r][c];
            EXPECT_EQ(got.Cell != nullptr, want.Cell != nullptr);
            if (sameObjects) {
                EXPECT_EQ(got.Cell, want.Cell);
            }
            EXPECT_EQ(got.RowSpan, want.RowSpan);
            EXPECT_EQ(got.ColSpan, want.ColSpan);
            EXPECT_EQ(got.BestWidth, want.BestWidth);
            EXPECT_EQ(got.BestHeight, want.BestHeight);
            EXPECT_EQ(got.Texts, want.Texts);
            if (const TRDTableCellData* cell = table.GetCell(static_cast<int>(r), static_cast<int>(c))) {
                EXPECT_EQ(cell->UndoOwner, nullptr);
                EXPECT_EQ(cell->GetTable(), &table);
            }
        }
    }
}

// Every cell's text is its position, "rc".
void UndoTestNameCells(TRDTableItemInfo& table)
{
    for (int r = 0; r < table.RowCount(); ++r)
        for (int c = 0; c < table.Rows->Row(r)->Count(); ++c)
            if (TRDTableCellData* cell = table.GetCell(r, c)) {
                cell->Clear();
                cell->AddTextConverted(QByteArray::number(r * 10 + c).rightJustified(2, '0'), 0, 0, TRDTag());
            }
}

// Records given as a redo group perform the change; the undo list then holds
// the records that take it back.
void UndoTestPerform(TRDEditRDData& data, const std::function<void(TRDUndoList&)>& addRecords)
{
    data.RedoList->BeginGroup(rdutModifyItem, QString(), 0, 0);
    addRecords(*data.RedoList);
    data.RedoList->Redo(data);
}

template <typename TRecord>
TRecord& UndoTestAdd(TRDUndoList& list, int itemIndex, bool redoes = true)
{
    auto record = std::make_unique<TRecord>();
    record->ItemIndex = itemIndex;
    record->ChangesSize = record->ChangesWidth = true;
    if constexpr (requires { record->Redoes; })
        record->Redoes = redoes;
    return static_cast<TRecord&>(*list.AddInfo(std::move(record)));
}

}  // namespace

// Each structure record performs its change as a redo, its opposite takes it
// back to the same grid, and the two alternate.
TEST(RDTableUndo, StructureRecordsAlternateBetweenTwoGrids)
{
    struct TCase {
        const char* Name;
        int Rows, Cols;
        std::function<void(TRDTableItemInfo&)> Setup;
        std::function<void(TRDUndoList&, int)> Records;
        bool RedoKeepsObjects;  // the changed grid has the same cells each time
        int RowsAfter, ColsAfter;
        // Cells a command frees are new empty ones: undo makes fresh empty cells.
        bool EmptyCellsOnly = false;
    };
    auto nilAt = [](TRDTableItemInfo& t, int r, int c) { t.Rows->Row(r)->PutCell(c, nullptr); };
    const std::vector<TCase> cases = {
        {"insert rows", 2, 2, nullptr,
         [](TRDUndoList& l, int item) {
             auto& r = UndoTestAdd<TRDUndoInsertTableRows>(l, item);
             r.Row = 1;
             r.Count = 2;
         },
         false, 4, 2},
        {"insert a cell", 1, 2, nullptr,
         [](TRDUndoList& l, int item) {
             auto& r = UndoTestAdd<TRDUndoInsertTableCell>(l, item);
             r.Row = 0;
             r.Col = 1;
         },
         false, 1, 3},
        {"spread over empty cells", 1, 3, nullptr,
         [](TRDUndoList& l, int item) {
             auto& r = UndoTestAdd<TRDUndoSpreadOverEmptyCells>(l, item);
             r.Row = 0;
             r.Col = 0;
             r.ColSpan = 3;
         },
         true, 1, 3, true},
        {"free cells", 2, 2, nullptr,
         [](TRDUndoList& l, int item) {
             auto& r = UndoTestAdd<TRDUndoFreeEmptyCell>(l, item);
             r.Row = 1;
             r.Col = 0;
             r.RowCount = 1;
             r.ColCount = 2;
         },
         true, 2, 2, true},
        {"insert nils", 2, 2, nullptr,
         [](TRDUndoList& l, int item) {
             auto& r = UndoTestAdd<TRDUndoInsertEmptyCell>(l, item);
             r.Row = 0;
             r.Col = 1;
             r.RowCount = 2;
             r.ColCount = 3;
         },
         true, 2, 5},
        {"split across rows", 3, 1,
         [nilAt](TRDTableItemInfo& t) {
             TableCell(t, 0, 0).RowSpan = 3;
             TableCell(t, 0, 0).BestHeight = 90;
             nilAt(t, 1, 0);
             nilAt(t, 2, 0);
         },
         [](TRDUndoList& l, int item) {
             auto& r = UndoTestAdd<TRDUndoCellSpitHorz>(l, item);
             r.Row = 0;
             r.Col = 0;
             r.SplitRow = 1;
             r.Shrink = true;
             r.BestHeightBefore = 90;
         },
         false, 3, 1},
        {"split across columns", 1, 3,
         [nilAt](TRDTableItemInfo& t) {
             TableCell(t, 0, 0).ColSpan = 3;
             TableCell(t, 0, 0).BestWidth = -60;
             nilAt(t, 0, 1);
             nilAt(t, 0, 2);
         },
         [](TRDUndoList& l, int item) {
             auto& r = UndoTestAdd<TRDUndoCellSpitVert>(l, item);
             r.Row = 0;
             r.Col = 0;
             r.SplitCol = 2;
             r.Shrink = true;
             r.BestWidthBefore = -60;
         },
         false, 1, 3},
        {"delete columns", 2, 4, nullptr,
         [](TRDUndoList& l, int item) {
             auto& r = UndoTestAdd<TRDUndoDeleteCols>(l, item);
             r.Col = 1;
             r.Count = 2;
         },
         true, 2, 2},
        {"delete columns through a merged cell", 2, 3,
         [nilAt](TRDTableItemInfo& t) {
             TableCell(t, 1, 1).ColSpan = 2;
             nilAt(t, 1, 2);
         },
         [](TRDUndoList& l, int item) {
             auto& r = UndoTestAdd<TRDUndoDeleteCols>(l, item);
             r.Col = 2;
             r.Count = 1;
         },
         true, 2, 2},
        {"clear cells", 2, 2, nullptr,
         [](TRDUndoList& l, int item) {
             auto& r = UndoTestAdd<TRDUndoCellsClear>(l, item);
             r.ClearedRows.Add(0);
             r.ClearedCols.Add(1);
             r.ClearedRows.Add(1);
             r.ClearedCols.Add(0);
         },
         false, 2, 2},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTableEditor editor(c.Rows, c.Cols);
        TRDEditRDData& data = editor.Data();
        TRDTableItemInfo& table = *editor.Table;
        if (c.Setup)
            c.Setup(table);
        if (!c.EmptyCellsOnly)
            UndoTestNameCells(table);
        const int item = table.GetMyItemNo();
        const auto before = UndoTestGrid(table);

        UndoTestPerform(data, [&](TRDUndoList& list) { c.Records(list, item); });
        ASSERT_EQ(table.RowCount(), c.RowsAfter);
        ASSERT_EQ(table.Rows->Row(0)->Count(), c.ColsAfter);
        const auto after = UndoTestGrid(table);
        ASSERT_EQ(data.UndoList->Count(), 1);
        EXPECT_EQ(data.RedoList->Count(), 0);

        for (int round = 0; round < 2; ++round) {
            SCOPED_TRACE(round);
            data.UndoList->Undo(data);
            UndoTestExpectGrid(table, before, !c.EmptyCellsOnly);
            data.RedoList->Redo(data);
            UndoTestExpectGrid(table, after, c.RedoKeepsObjects);
        }
        EXPECT_EQ(data.ItemAt(item), &table);
        EXPECT_TRUE(table.TableState & TRDTableItemInfo::tsNeedsLayout);
    }
}

// The middle row of a 3 x 3 table whose first cell spans all rows: the same
// row and cell objects come back each time, the span goes 3, 2, 3.
TEST(RDTableUndo, DeletedMiddleRowComesBackUnderItsSpanningCell)
{
    TTableEditor editor(3, 3);
    TRDEditRDData& data = editor.Data();
    TRDTableItemInfo& table = *editor.Table;
    TRDTableCellData& spanning = TableCell(table, 0, 0);
    spanning.RowSpan = 3;
    table.Rows->Row(1)->PutCell(0, nullptr);
    table.Rows->Row(2)->PutCell(0, nullptr);
    UndoTestNameCells(table);
    const TRDTableRow* middle = table.Rows->Row(1);
    TRDTableCellData* middleCell = table.GetCell(1, 1);
    const auto before = UndoTestGrid(table);
    const int item = table.GetMyItemNo();

    UndoTestPerform(data, [&](TRDUndoList& list) {
        // Performed last to first: the span shrinks, then the row goes.
        auto& rows = UndoTestAdd<TRDUndoDeleteRows>(list, item);
        rows.Row = 1;
        rows.Count = 1;
        auto& span = UndoTestAdd<TRDUndoSpan>(list, item);
        span.Row = 0;
        span.Col = 0;
        span.SpanBefore = 2;
    });
    ASSERT_EQ(table.RowCount(), 2);
    EXPECT_EQ(spanning.RowSpan, 2);
    EXPECT_EQ(table.GetCell(1, 1)->TextOfItem(0), "21");
    // The row waits in the undo record with its cells detached into it.
    auto& kept = *dynamic_cast<TRDUndoDeleteRows*>(data.UndoList->Groups.back()->Records.back().get());
    ASSERT_EQ(kept.RemovedRows.Count(), 1);
    EXPECT_EQ(kept.RemovedRows[0], middle);
    EXPECT_EQ(middleCell->UndoOwner, &kept);
    EXPECT_EQ(middleCell->GetTable(), nullptr);
    const auto after = UndoTestGrid(table);

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        data.UndoList->Undo(data);
        EXPECT_EQ(spanning.RowSpan, 3);
        EXPECT_EQ(table.Rows->Row(1), middle);
        UndoTestExpectGrid(table, before, true);
        data.RedoList->Redo(data);
        EXPECT_EQ(spanning.RowSpan, 2);
        UndoTestExpectGrid(table, after, true);
    }
    data.UndoList->Undo(data);
    EXPECT_EQ(middleCell->GetTable(), &table);
    EXPECT_EQ(middleCell->TextOfItem(0), "11");
}

// Four cells "a" "b" "c" "d" merged: undo gives each its own text back, redo
// merges them again in reading order.
TEST(RDTableUndo, MergeOfFourCellsGivesEachItsTextBack)
{
    TTableEditor editor(2, 2);
    TRDEditRDData& data = editor.Data();
    TRDTableItemInfo& table = *editor.Table;
    const char* texts[] = {"a", "b", "c", "d"};
    for (int i = 0; i < 4; ++i) {
        TRDTableCellData& cell = TableCell(table, i / 2, i % 2);
        cell.Clear();
        cell.AddTextConverted(texts[i], 0, 0, TRDTag());
        cell.BestWidth = i < 2 ? 100 : 40;
    }
    const auto before = UndoTestGrid(table);
    const int item = table.GetMyItemNo();

    UndoTestPerform(data, [&](TRDUndoList& list) {
        auto& merge = UndoTestAdd<TRDUndoMerge>(list, item);
        merge.ColSpanAfter = merge.RowSpanAfter = 2;
        merge.BestWidthBefore = 100;
    });
    auto expectMerged = [&] {
        TRDTableCellData& main = TableCell(table, 0, 0);
        EXPECT_EQ(main.RowSpan, 2);
        EXPECT_EQ(main.ColSpan, 2);
        EXPECT_EQ(main.BestWidth, 200);  // the widest row
        ASSERT_EQ(main.ItemCount(), 4);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(main.TextOfItem(i), texts[i]);
        EXPECT_EQ(table.GetCell(0, 1), nullptr);
        EXPECT_EQ(table.GetCell(1, 0), nullptr);
        EXPECT_EQ(table.GetCell(1, 1), nullptr);
    };
    expectMerged();
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        data.UndoList->Undo(data);
        UndoTestExpectGrid(table, before, true);
        data.RedoList->Redo(data);
        expectMerged();
    }
}

// A structure record that no longer fits the grid raises and changes nothing.
TEST(RDTableUndo, StructureRecordsThatNoLongerFitRaise)
{
    struct TCase {
        const char* Name;
        std::function<void(TRDUndoList&, int)> Records;
    };
    const std::vector<TCase> cases = {
        {"rows past the end",
         [](TRDUndoList& l, int item) {
             auto& r = UndoTestAdd<TRDUndoInsertTableRows>(l, item, false);
             r.Row = 1;
             r.Count = 2;
         }},
        {"restored rows missing",
         [](TRDUndoList& l, int item) {
             auto& r = UndoTestAdd<TRDUndoDeleteRows>(l, item, false);
             r.Row = 0;
             r.Count = 1;
         }},
        {"columns past the end",
         [](TRDUndoList& l, int item) {
             auto& r = UndoTestAdd<TRDUndoDeleteCols>(l, item);
             r.Col = 1;
             r.Count = 2;
         }},
        {"merge onto a covered cell",
         [](TRDUndoList& l, int item) {
             auto& r = UndoTestAdd<TRDUndoMerge>(l, item);
             r.Row = 1;
             r.Col = 1;
             r.RowSpanAfter = 1;
             r.ColSpanAfter = 1;
         }},
        {"unmerge into a position that holds a cell",
         [](TRDUndoList& l, int item) {
             auto& r = UndoTestAdd<TRDUndoMerge>(l, item, false);
             r.MergeItems.Add(std::make_unique<TRDUndoMergeItem>(0, 1, 0));
         }},
        {"split below the cell",
         [](TRDUndoList& l, int item) {
             auto& r = UndoTestAdd<TRDUndoCellSpitHorz>(l, item);
             r.SplitRow = 1;
         }},
        {"cleared position out of the grid",
         [](TRDUndoList& l, int item) {
             auto& r = UndoTestAdd<TRDUndoCellsClear>(l, item);
             r.ClearedRows.Add(0);
             r.ClearedCols.Add(5);
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTableEditor editor(2, 2);
        TRDEditRDData& data = editor.Data();
        TRDTableItemInfo& table = *editor.Table;
        TableCell(table, 1, 0).ColSpan = 2;
        table.Rows->Row(1)->PutCell(1, nullptr);
        UndoTestNameCells(table);
        const auto before = UndoTestGrid(table);
        data.BeginUndoGroup(rdutModifyItem, true);
        c.Records(*data.UndoList, table.GetMyItemNo());
        EXPECT_THROW(data.UndoList->Undo(data), ERichDocError);
        UndoTestExpectGrid(table, before, true);
    }
}
