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
