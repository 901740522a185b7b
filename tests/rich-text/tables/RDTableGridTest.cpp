// Grid operations: inserting, deleting, merging and splitting rows, columns and cells, with and without undo, and the cell property operations.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "RDEditTestSupport.h"
#include "RDPictureTestSupport.h"
#include "RDTableTestSupport.h"
#include "core/RDError.h"
#include "editing/RDUndo.h"
#include "tables/RDTable.h"
#include "tables/RDTableUndo.h"

namespace {

// The grid as text: each entry "RxC" (its spans) or "." (covered), rows
// separated by "|".
std::string GridShape(const TRDTableItemInfo& table)
{
    std::string shape;
    for (int r = 0; r < table.RowCount(); ++r) {
        if (r > 0)
            shape += "|";
        const TRDTableRow* row = table.Rows->Row(r);
        for (int c = 0; c < row->Count(); ++c) {
            if (c > 0)
                shape += " ";
            const TRDTableCellData* cell = row->GetCell(c);
            shape += cell ? std::to_string(cell->RowSpan) + "x" + std::to_string(cell->ColSpan) : ".";
        }
    }
    return shape;
}

// Every row has the same count, every position is covered by exactly one
// cell and no span reaches out of the grid.
::testing::AssertionResult GridIsSound(const TRDTableItemInfo& table)
{
    const int rows = table.RowCount(), cols = table.ColCount();
    std::vector<int> covered(size_t(rows) * size_t(cols), 0);
    for (int r = 0; r < rows; ++r) {
        if (table.Rows->Row(r)->Count() != cols)
            return ::testing::AssertionFailure() << "row " << r << " has another count";
        for (int c = 0; c < cols; ++c)
            if (const TRDTableCellData* cell = table.GetCell(r, c)) {
                if (cell->RowSpan < 1 || cell->ColSpan < 1 || r + cell->RowSpan > rows || c + cell->ColSpan > cols)
                    return ::testing::AssertionFailure() << "cell " << r << "," << c << " reaches out";
                for (int i = r; i < r + cell->RowSpan; ++i)
                    for (int j = c; j < c + cell->ColSpan; ++j)
                        ++covered[size_t(i) * size_t(cols) + size_t(j)];
            }
    }
    for (size_t k = 0; k < covered.size(); ++k)
        if (covered[k] != 1)
            return ::testing::AssertionFailure()
                   << "position " << k / size_t(cols) << "," << k % size_t(cols) << " covered " << covered[k];
    return ::testing::AssertionSuccess();
}

void GridSetText(TRDTableCellData& cell, const char* text)
{
    cell.Clear();
    cell.AddTextConverted(QByteArray(text), 0, 0, TRDTag());
}

std::string GridText(TRDTableCellData& cell)
{
    std::string text;
    for (int i = 0; i < cell.ItemCount(); ++i)
        text += cell.TextOfItem(i).toStdString();
    return text;
}

// Every cell of the table with a text naming its place: "r,c".
void GridNameCells(TRDTableItemInfo& table)
{
    for (int r = 0; r < table.RowCount(); ++r)
        for (int c = 0; c < table.ColCount(); ++c)
            if (TRDTableCellData* cell = table.GetCell(r, c))
                GridSetText(*cell, (std::to_string(r) + "," + std::to_string(c)).c_str());
}

// The cell objects with their texts, row by row (nil for covered places).
struct TGridSnapshot {
    std::vector<TRDTableCellData*> Cells;
    std::vector<std::string> Texts;
    std::string Shape;
    bool operator==(const TGridSnapshot& other) const
    {
        return Cells == other.Cells && Texts == other.Texts && Shape == other.Shape;
    }
};

TGridSnapshot GridSnap(TRDTableItemInfo& table)
{
    TGridSnapshot snap;
    snap.Shape = GridShape(table);
    for (int r = 0; r < table.RowCount(); ++r)
        for (int c = 0; c < table.ColCount(); ++c) {
            TRDTableCellData* cell = table.GetCell(r, c);
            snap.Cells.push_back(cell);
            snap.Texts.push_back(cell ? GridText(*cell) : std::string());
        }
    return snap;
}

void GridExpectIndexError(const std::function<void()>& call)
{
    try {
        call();
        ADD_FAILURE() << "no error";
    } catch (const ERichDocError& e) {
        EXPECT_STREQ(e.what(), "Invalid row or column index");
    }
}

size_t GridRecordCount(TRDEditRDData& data)
{
    size_t count = 0;
    for (const auto& group : data.UndoList->Groups)
        count += group->Records.size();
    return count;
}

}  // namespace

TEST(RDTableGrid, MainCellOfEveryPosition)
{
    // 3 x 3: (0,0) covers a 2 x 2 block, (1,2) covers two rows.
    TRDTableItemInfo table(3, 3, nullptr);
    table.Rows->MergeCells(0, 0, 2, 2, true, false);
    table.Rows->MergeCells(1, 2, 1, 2, true, false);
    ASSERT_EQ(GridShape(table), "2x2 . 1x1|. . 2x1|1x1 1x1 .");
    struct TCase {
        int Row, Col;
        int MainRow, MainCol;  // -1: no cell
    };
    const TCase cases[] = {
        {0, 0, 0, 0}, {0, 1, 0, 0}, {1, 0, 0, 0}, {1, 1, 0, 0}, {2, 2, 1, 2}, {1, 2, 1, 2},
        {2, 1, 2, 1}, {-1, 0, -1, -1}, {0, -1, -1, -1}, {3, 0, -1, -1}, {0, 3, -1, -1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Row << "," << c.Col);
        int mainCol = 99, mainRow = 99;
        TRDTableCellData* cell = table.Rows->GetMainCell(c.Row, c.Col, mainCol, mainRow);
        if (c.MainRow < 0) {
            EXPECT_EQ(cell, nullptr);
            continue;
        }
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell, table.GetCell(c.MainRow, c.MainCol));
        EXPECT_EQ(mainRow, c.MainRow);
        EXPECT_EQ(mainCol, c.MainCol);
    }
}

TEST(RDTableGrid, BrokenGridHasNoMainCellAndCommandsDoNotReadOutside)
{
    // A grid broken by hand: nothing covers (0,1) nor (2,1).
    TRDTableItemInfo table(3, 2, nullptr);
    table.Rows->FreeCells(0, 1, 1, 1);
    table.Rows->FreeCells(2, 1, 1, 1);
    int mainCol = 0, mainRow = 0;
    EXPECT_EQ(table.Rows->GetMainCell(0, 1, mainCol, mainRow), nullptr);
    EXPECT_EQ(table.Rows->GetMainCell(2, 1, mainCol, mainRow), nullptr);
    // The commands scan over the holes as over positions without a cell.
    table.Rows->InsertCols(1, 1, -1, false);
    table.Rows->InsertRows(1, 1, false, -1);
    table.Rows->DeleteRows(2, 2, false);
    table.Rows->DeleteCols(2, 1, false);
    EXPECT_EQ(GridShape(table), "1x1 1x1|1x1 1x1");
    EXPECT_FALSE(table.Rows->ColumnHasPercentWidth(1));
}

// Each case starts from a 4 x 3 table (merges made first), runs one command
// with undo off, and checks the shape; every result keeps the grid sound.
TEST(RDTableGrid, InsertAndDeleteCases)
{
    struct TMerge {
        int Row, Col, ColCount, RowCount;
    };
    struct TCase {
        const char* Name;
        std::vector<TMerge> Merges;
        std::function<void(TRDTableRows&)> Run;
        const char* Shape;
    };
    const TCase cases[] = {
        {"columns appended", {}, [](TRDTableRows& g) { g.InsertCols(3, 1, -1, false); },
         "1x1 1x1 1x1 1x1|1x1 1x1 1x1 1x1|1x1 1x1 1x1 1x1|1x1 1x1 1x1 1x1"},
        {"columns inside a merged cell widen it over all its rows",
         {{0, 0, 2, 2}},
         [](TRDTableRows& g) { g.InsertCols(1, 2, -1, false); },
         "2x4 . . . 1x1|. . . . 1x1|1x1 1x1 1x1 1x1 1x1|1x1 1x1 1x1 1x1 1x1"},
        {"a copied column repeats a two-row cell",
         {{1, 0, 1, 2}},
         [](TRDTableRows& g) { g.InsertCols(1, 1, 0, false); },
         "1x1 1x1 1x1 1x1|2x1 2x1 1x1 1x1|. . 1x1 1x1|1x1 1x1 1x1 1x1"},
        {"a copied column never spreads over a widened cell",
         {{0, 2, 1, 3}, {1, 0, 2, 1}},
         [](TRDTableRows& g) { g.InsertCols(1, 1, 2, false); },
         "1x1 1x1 1x1 3x1|1x3 . . .|1x1 1x1 1x1 .|1x1 1x1 1x1 1x1"},
        {"rows at the end copy the last row's spans",
         {{3, 0, 2, 1}},
         [](TRDTableRows& g) { g.InsertRows(4, 2, false, 3); },
         "1x1 1x1 1x1|1x1 1x1 1x1|1x1 1x1 1x1|1x2 . 1x1|1x2 . 1x1|1x2 . 1x1"},
        {"rows inside a tall cell lengthen it",
         {{0, 1, 1, 3}},
         [](TRDTableRows& g) { g.InsertRows(1, 1, false, -1); },
         "1x1 4x1 1x1|1x1 . 1x1|1x1 . 1x1|1x1 . 1x1|1x1 1x1 1x1"},
        {"copied rows never spread over a lengthened cell",
         {{0, 0, 2, 1}, {2, 1, 1, 2}},
         [](TRDTableRows& g) { g.InsertRows(3, 1, false, 0); },
         "1x2 . 1x1|1x1 1x1 1x1|1x1 3x1 1x1|1x1 . 1x1|1x1 . 1x1"},
        {"a middle row of a three-row cell", {{0, 0, 1, 3}}, [](TRDTableRows& g) { g.DeleteRows(1, 1, false); },
         "2x1 1x1 1x1|. 1x1 1x1|1x1 1x1 1x1"},
        {"the first row of a two-row cell splits it", {{0, 0, 1, 2}}, [](TRDTableRows& g) { g.DeleteRows(0, 1, false); },
         "1x1 1x1 1x1|1x1 1x1 1x1|1x1 1x1 1x1"},
        {"a count past the end is cut", {}, [](TRDTableRows& g) { g.DeleteRows(2, 10, false); },
         "1x1 1x1 1x1|1x1 1x1 1x1"},
        {"all rows", {}, [](TRDTableRows& g) { g.DeleteRows(0, 4, false); }, ""},
        {"a middle column of a three-column cell", {{1, 0, 3, 1}}, [](TRDTableRows& g) { g.DeleteCols(1, 1, false); },
         "1x1 1x1|1x2 .|1x1 1x1|1x1 1x1"},
        {"the first column of a wide tall cell splits it", {{1, 0, 2, 2}},
         [](TRDTableRows& g) { g.DeleteCols(0, 1, false); }, "1x1 1x1|2x1 1x1|. 1x1|1x1 1x1"},
        {"columns cut at the end", {}, [](TRDTableRows& g) { g.DeleteCols(1, 5, false); }, "1x1|1x1|1x1|1x1"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TRDTableItemInfo table(4, 3, nullptr);
        for (const TMerge& m : c.Merges)
            table.Rows->MergeCells(m.Row, m.Col, m.ColCount, m.RowCount, true, false);
        ASSERT_TRUE(GridIsSound(table));
        c.Run(*table.Rows);
        EXPECT_EQ(GridShape(table), c.Shape);
        EXPECT_TRUE(GridIsSound(table));
    }
}

TEST(RDTableGrid, InvalidIndicesRaiseBeforeAnyChange)
{
    TRDTableItemInfo table(4, 3, nullptr);
    TRDTableRows& g = *table.Rows;
    const std::function<void()> calls[] = {
        [&] { g.InsertCols(-1, 1, -1, false); }, [&] { g.InsertCols(4, 1, -1, false); },
        [&] { g.InsertCols(0, 1, 3, false); },   [&] { g.InsertCols(0, 1, -2, false); },
        [&] { g.InsertRows(5, 1, false, -1); },  [&] { g.InsertRows(0, 1, false, 4); },
        [&] { g.DeleteRows(0, 10, false); },     [&] { g.DeleteRows(4, 1, false); },
        [&] { g.DeleteRows(1, 0, false); },      [&] { g.DeleteCols(0, 4, false); },
        [&] { g.DeleteCols(-1, 1, false); },     [&] { table.DeleteRows(0, 5, false); },
        [&] { table.InsertCols(0, 1, false, 3); },
    };
    for (const auto& call : calls)
        GridExpectIndexError(call);
    EXPECT_EQ(GridShape(table), "1x1 1x1 1x1|1x1 1x1 1x1|1x1 1x1 1x1|1x1 1x1 1x1");
}

TEST(RDTableGrid, SpanChangesScaleBestSizes)
{
    // (0,0) spans three rows with BestHeight 90: deleting one of its rows
    // leaves two thirds of it when heights are adjusted.
    for (bool adjust : {false, true}) {
        TRDTableItemInfo table(3, 2, nullptr);
        table.Rows->MergeCells(0, 0, 1, 3, true, false);
        TableCell(table, 0, 0).BestHeight = 90;
        table.Rows->DeleteRows(1, 1, adjust);
        EXPECT_EQ(TableCell(table, 0, 0).RowSpan, 2);
        EXPECT_EQ(TableCell(table, 0, 0).BestHeight, adjust ? 60 : 90);
    }
    // Splitting a two-row cell by deleting its first row: the part left
    // behind is a new empty cell with the old attributes and half the height.
    TRDTableItemInfo table(3, 2, nullptr);
    table.Rows->MergeCells(0, 0, 1, 2, true, false);
    TRDTableCellData& old = TableCell(table, 0, 0);
    old.BestHeight = 81;
    old.Color = 0x123456;
    GridSetText(old, "gone");
    table.Rows->DeleteRows(0, 1, true);
    TRDTableCellData& part = TableCell(table, 0, 0);
    EXPECT_EQ(part.RowSpan, 1);
    EXPECT_EQ(part.Color, TColor(0x123456));
    EXPECT_EQ(part.BestHeight, 40);
    EXPECT_EQ(GridText(part), "");
    // Columns: a three-column cell of width -90 (percent) keeps two thirds.
    TRDTableItemInfo wide(2, 3, nullptr);
    wide.Rows->MergeCells(0, 0, 3, 1, true, false);
    TableCell(wide, 0, 0).BestWidth = -90;
    wide.Rows->DeleteCols(2, 1, true);
    EXPECT_EQ(TableCell(wide, 0, 0).ColSpan, 2);
    EXPECT_EQ(TableCell(wide, 0, 0).BestWidth, -60);
}

TEST(RDTableGrid, InsertedCellsTakeTheCopiedLook)
{
    TRDTableItemInfo table(2, 2, nullptr);
    TRDTableCellData& source = TableCell(table, 1, 0);
    source.Color = 0x00AA00;
    source.BestWidth = 40;
    source.BestHeight = 30;
    source.Hint = QStringLiteral("提示");
    source.VisibleBorders.SetValues(false, true, true, false);
    source.Clear();
    source.AddTextConverted("x", 2, 0, TRDTag());
    table.InsertRows(2, 1, false, 1);
    TRDTableCellData& row = TableCell(table, 2, 0);
    EXPECT_EQ(row.Color, TColor(0x00AA00));
    EXPECT_EQ(row.Hint, QStringLiteral("提示"));
    EXPECT_TRUE(row.VisibleBorders.IsEqualToValues(false, true, true, false));
    EXPECT_EQ(row.BestHeight, 30);
    // The new cell is empty, in the copied cell's first text style.
    ASSERT_EQ(row.ItemCount(), 1);
    EXPECT_EQ(row.ItemAt(0)->StyleNo, 2);
    EXPECT_EQ(GridText(row), "");
    table.InsertCols(0, 1, false, 0);
    EXPECT_EQ(TableCell(table, 1, 0).BestWidth, 40);
    EXPECT_EQ(TableCell(table, 1, 0).Color, TColor(0x00AA00));
    EXPECT_EQ(GridShape(table), "1x1 1x1 1x1|1x1 1x1 1x1|1x1 1x1 1x1");
}

TEST(RDTableGrid, MergesAllowedAndRefused)
{
    struct TCase {
        const char* Name;
        int Rows, Cols;
        int Row, Col, ColCount, RowCount;
        bool AllowLoneLines;
        const char* Shape;  // after the call
    };
    const TCase cases[] = {
        {"a 2 x 2 block", 3, 3, 0, 0, 2, 2, false, "2x2 . 1x1|. . 1x1|1x1 1x1 1x1"},
        {"a column over both rows keeps a cell in each row", 2, 2, 0, 0, 1, 2, false, "2x1 1x1|. 1x1"},
        {"a whole one-row table leaves a column without a cell", 1, 2, 0, 0, 2, 1, false, "1x1 1x1"},
        {"the same with lone lines allowed", 1, 2, 0, 0, 2, 1, true, "1x2 ."},
        {"a whole table leaves a row without a cell", 2, 2, 0, 0, 2, 2, false, "1x1 1x1|1x1 1x1"},
        {"a rectangle cut to the grid", 2, 3, 0, 1, 5, 5, true, "1x1 2x2 .|1x1 . ."},
        {"one cell: nothing to merge", 2, 2, 1, 1, 1, 1, false, "1x1 1x1|1x1 1x1"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TRDTableItemInfo table(c.Rows, c.Cols, nullptr);
        table.MergeCells(c.Row, c.Col, c.ColCount, c.RowCount, c.AllowLoneLines);
        EXPECT_EQ(GridShape(table), c.Shape);
        EXPECT_TRUE(GridIsSound(table));
    }
}

TEST(RDTableGrid, RefusedMergeBeepsInADocument)
{
    TTableEditor editor(1, 2);
    TBeepCounter beeps;
    editor.Sheet.UseSound = true;
    editor.Table->MergeCells(0, 0, 2, 1, false);
    EXPECT_EQ(GridShape(*editor.Table), "1x1 1x1");
    EXPECT_EQ(beeps.Count, 1);
    // A cell reaching out of the rectangle refuses the merge too.
    TTableEditor wide(2, 3);
    wide.Table->MergeCells(0, 1, 2, 1, true);
    wide.Table->MergeCells(0, 0, 2, 2, true);
    EXPECT_EQ(GridShape(*wide.Table), "1x1 1x2 .|1x1 1x1 1x1");
    EXPECT_EQ(beeps.Count, 2);
}

TEST(RDTableGrid, MergeMovesContentsInReadingOrder)
{
    TRDTableItemInfo table(3, 3, nullptr);
    const char* texts[2][2] = {{"a", "b"}, {"", "d"}};
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c)
            GridSetText(TableCell(table, r, c), texts[r][c]);
    table.MergeCells(0, 0, 2, 2, false);
    EXPECT_EQ(GridShape(table), "2x2 . 1x1|. . 1x1|1x1 1x1 1x1");
    // The empty cell gave nothing.
    EXPECT_EQ(GridText(TableCell(table, 0, 0)), "abd");
    EXPECT_EQ(TableCell(table, 0, 0).ItemCount(), 3);
}

TEST(RDTableGrid, MergeErrors)
{
    TRDTableItemInfo table(3, 3, nullptr);
    table.MergeCells(0, 0, 2, 2, false);
    // Negative, out of the grid and covered top-left positions.
    GridExpectIndexError([&] { table.MergeCells(-1, 0, 2, 2, false); });
    GridExpectIndexError([&] { table.MergeCells(0, 3, 2, 2, false); });
    GridExpectIndexError([&] { table.MergeCells(3, 0, 2, 2, false); });
    GridExpectIndexError([&] { table.MergeCells(1, 1, 2, 2, false); });
    GridExpectIndexError([&] { table.Rows->CanMergeCells(0, -1, 2, 2, true); });
    // One extent cut to nothing while the other is wide.
    try {
        table.MergeCells(2, 0, 3, 0, true);
        ADD_FAILURE() << "no error";
    } catch (const ERichDocError& e) {
        EXPECT_STREQ(e.what(), "Parameters for cell merging are not correct");
    }
    EXPECT_EQ(GridShape(table), "2x2 . 1x1|. . 1x1|1x1 1x1 1x1");
}

TEST(RDTableGrid, CombinedBestWidth)
{
    struct TCase {
        const char* Name;
        std::vector<std::vector<int>> Widths;  // a 2 x 2 rectangle's BestWidths
        int Combined;
    };
    const TCase cases[] = {
        {"a percentage row wins over pixels", {{100, 50}, {-30, 0}}, -30},
        {"the widest pixel row", {{100, 50}, {120, 0}}, 150},
        {"percentages add up and drop pixels", {{40, -20}, {-10, -5}}, -20},
        {"the larger percentage", {{-10, -5}, {-20, 0}}, -20},
        {"all automatic", {{0, 0}, {0, 0}}, 0},
        {"sums saturate", {{INT_MAX, INT_MAX}, {0, 0}}, INT_MAX},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TRDTableItemInfo table(2, 2, nullptr);
        for (int r = 0; r < 2; ++r)
            for (int col = 0; col < 2; ++col)
                TableCell(table, r, col).BestWidth = c.Widths[r][col];
        EXPECT_EQ(table.Rows->GetCombinedBestWidth(0, 0, 2, 2), c.Combined);
        table.MergeCells(0, 0, 2, 2, true);
        EXPECT_EQ(TableCell(table, 0, 0).BestWidth, c.Combined);
    }
}

TEST(RDTableGrid, ColumnQuestions)
{
    // Row 0: a merged cell over columns 0-1 with -40; row 1: 30 and -10;
    // row 2: 50 and 20.
    TRDTableItemInfo table(3, 3, nullptr);
    table.Rows->MergeCells(0, 0, 2, 1, true, false);
    TableCell(table, 0, 0).BestWidth = -40;
    TableCell(table, 1, 0).BestWidth = 30;
    TableCell(table, 1, 1).BestWidth = -10;
    TableCell(table, 2, 0).BestWidth = 50;
    TableCell(table, 2, 1).BestWidth = 20;
    TRDTableRows& g = *table.Rows;
    // Column 0 has only the merged cell starting in it: no percentage there.
    EXPECT_FALSE(g.ColumnHasPercentWidth(0));
    EXPECT_TRUE(g.ColumnHasPercentWidth(1));
    EXPECT_FALSE(g.ColumnHasPercentWidth(2));
    EXPECT_EQ(g.GetColumnBestWidth(0), 50);
    EXPECT_EQ(g.GetColumnBestWidth(1), 0);
    EXPECT_EQ(g.GetColumnPercentWidth(1, 600), 60);
    EXPECT_EQ(g.GetColumnPercentWidth(0, 600), 0);
    // The merged cell alone makes column 1 a percentage column.
    TableCell(table, 1, 1).BestWidth = 5;
    EXPECT_TRUE(g.ColumnHasPercentWidth(1));
    EXPECT_EQ(g.GetColumnPercentWidth(1, INT_MAX), 0);
}

TEST(RDTableGrid, CellPropertiesAtPositionsWithoutACell)
{
    TTableEditor editor(3, 3);
    TRDTableItemInfo& table = *editor.Table;
    table.MergeCells(0, 0, 2, 2, false);
    const size_t records = GridRecordCount(editor.Data());
    TRDTableCellData& source = TableCell(table, 2, 2);
    const std::pair<int, int> places[] = {{-1, 0}, {0, -1}, {1, 1}, {0, 1}, {3, 0}, {0, 3}};
    for (const auto& [r, c] : places) {
        SCOPED_TRACE(testing::Message() << r << "," << c);
        GridExpectIndexError([&] { table.SetCellBestWidth(10, r, c); });
        GridExpectIndexError([&] { table.SetCellHint(QStringLiteral("x"), r, c); });
        GridExpectIndexError([&] { table.SetCellVisibleBorders(-1, false, false, false, false, r, c); });
        GridExpectIndexError([&] { table.SetCellBackgroundImage(nullptr, r, c); });
        GridExpectIndexError([&] { table.AssignCellAttributes(-1, r, c, source, true, 1, 1); });
    }
    EXPECT_EQ(GridRecordCount(editor.Data()), records);
}

TEST(RDTableGrid, CellPropertiesAreRecordedInAnEditorAndDirectElsewhere)
{
    struct TCase {
        const char* Name;
        std::function<void(TRDTableItemInfo&)> Set;
        std::function<std::string(TRDTableCellData&)> Get;
        std::string Before, After;
    };
    const TCase cases[] = {
        {"BestWidth", [](TRDTableItemInfo& t) { t.SetCellBestWidth(-25, 1, 0); },
         [](TRDTableCellData& c) { return std::to_string(c.BestWidth); }, "0", "-25"},
        {"BestHeight", [](TRDTableItemInfo& t) { t.SetCellBestHeight(44, 1, 0); },
         [](TRDTableCellData& c) { return std::to_string(c.BestHeight); }, "0", "44"},
        {"Color", [](TRDTableItemInfo& t) { t.SetCellIntProperty(-1, "Color", false, false, 1, 0, 0x0000FF); },
         [](TRDTableCellData& c) { return std::to_string(c.Color); }, std::to_string(clNone), "255"},
        {"Hint", [](TRDTableItemInfo& t) { t.SetCellHint(QStringLiteral("单元格"), 1, 0); },
         [](TRDTableCellData& c) { return c.Hint.toStdString(); }, "", "单元格"},
        {"file name", [](TRDTableItemInfo& t) { t.SetCellBackgroundImageFileName(QStringLiteral("a.png"), 1, 0); },
         [](TRDTableCellData& c) { return c.BackgroundImageFileName.toStdString(); }, "", "a.png"},
        {"borders", [](TRDTableItemInfo& t) { t.SetCellVisibleBorders(-1, true, false, true, false, 1, 0); },
         [](TRDTableCellData& c) {
             const TRDBooleanRect& b = c.VisibleBorders;
             return std::string{char('0' + b.Left), char('0' + b.Top), char('0' + b.Right), char('0' + b.Bottom)};
         },
         "1111", "1010"},
        {"attributes",
         [](TRDTableItemInfo& t) {
             TRDTableCellData& s = TableCell(t, 0, 0);
             s.Color = 0x010203;
             s.VAlign = TRDCellVAlign::rdcBottom;
             s.BestWidth = 90;
             s.Hint = QStringLiteral("h");
             t.AssignCellAttributes(-1, 1, 0, s, true, 1, 3);
         },
         [](TRDTableCellData& c) {
             return std::to_string(c.Color) + "/" + std::to_string(int(c.VAlign)) + "/" +
                    std::to_string(c.BestWidth) + "/" + c.Hint.toStdString();
         },
         std::to_string(clNone) + "/3/0/", std::to_string(0x010203) + "/2/30/h"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        {
            // Outside a document the cell changes at once and nothing records.
            TRDTableItemInfo table(2, 2, nullptr);
            c.Set(table);
            EXPECT_EQ(c.Get(TableCell(table, 1, 0)), c.After);
            EXPECT_TRUE(table.TableState & TRDTableItemInfo::tsNeedsLayout);
        }
        TTableEditor editor(2, 2);
        TRDEditRDData& data = editor.Data();
        TRDTableItemInfo& table = *editor.Table;
        TRDTableCellData& cell = TableCell(table, 1, 0);
        c.Set(table);
        EXPECT_EQ(c.Get(cell), c.After);
        EXPECT_TRUE(table.TableState & TRDTableItemInfo::tsInDocument);
        ASSERT_FALSE(data.UndoList->Groups.empty());
        data.UndoList->Undo(data);
        EXPECT_EQ(c.Get(cell), c.Before);
        data.RedoList->Redo(data);
        EXPECT_EQ(c.Get(cell), c.After);
        data.UndoList->Undo(data);
        EXPECT_EQ(c.Get(cell), c.Before);
        EXPECT_EQ(&TableCell(table, 1, 0), &cell);
    }
}

TEST(RDTableGrid, SameBordersOrPictureRecordNothing)
{
    TTableEditor editor(2, 2);
    TRDEditRDData& data = editor.Data();
    TRDTableItemInfo& table = *editor.Table;
    table.SetCellVisibleBorders(-1, true, true, true, true, 0, 0);
    table.SetCellBackgroundImage(nullptr, 0, 0);
    EXPECT_EQ(GridRecordCount(data), 0u);

    // A picture change keeps the old picture object for undo.
    std::unique_ptr<TGraphic> red = Graphic<TBitmapGraphic>(Encoded("BMP", Qt::red));
    std::unique_ptr<TGraphic> blue = Graphic<TBitmapGraphic>(Encoded("BMP", Qt::blue));
    TRDTableCellData& cell = TableCell(table, 0, 0);
    table.SetCellBackgroundImage(red.get(), 0, 0);
    TGraphic* first = cell.GetBackgroundImage();
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, red.get());
    table.SetCellBackgroundImage(blue.get(), 0, 0);
    EXPECT_NE(cell.GetBackgroundImage(), first);
    table.SetCellBackgroundImage(cell.GetBackgroundImage(), 0, 0);
    EXPECT_EQ(data.UndoList->Count(), 2);
    data.UndoList->Undo(data);
    EXPECT_EQ(cell.GetBackgroundImage(), first);
    data.UndoList->Undo(data);
    EXPECT_EQ(cell.GetBackgroundImage(), nullptr);
    EXPECT_EQ(cell.Background, nullptr);
}

TEST(RDTableGrid, CommandsWithoutUndoRecordNothing)
{
    // Undo limit 0: the same shapes, no record, cells freed.
    TTableEditor editor(3, 3);
    editor.Data().UndoList->MaxGroupCount = 0;
    TRDTableItemInfo& table = *editor.Table;
    table.MergeCells(0, 0, 2, 2, false);
    table.InsertCols(1, 1, false, 2);
    table.InsertRows(1, 1, false, 2);
    table.DeleteRows(0, 1, true);
    table.DeleteCols(0, 1, true);
    EXPECT_EQ(GridShape(table), "2x2 . 1x1|. . 1x1|1x1 1x1 1x1");
    EXPECT_TRUE(GridIsSound(table));
    EXPECT_TRUE(editor.Data().UndoList->Groups.empty());
}

TEST(RDTableGrid, EveryCommandIsOneUndoGroupBetweenTerminators)
{
    TTableEditor editor(3, 3);
    TRDEditRDData& data = editor.Data();
    TRDTableItemInfo& table = *editor.Table;
    const std::function<void()> commands[] = {
        [&] { table.InsertRows(1, 2, false, 0); },  [&] { table.InsertCols(3, 1, false, 2); },
        [&] { table.DeleteRows(0, 1, true); }, [&] { table.DeleteCols(1, 2, false); },
        [&] { table.MergeCells(0, 0, 2, 2, true); },
    };
    for (const auto& command : commands) {
        const int groups = data.UndoList->Count();
        command();
        ASSERT_EQ(data.UndoList->Count(), groups + 1);
        const auto& records = data.UndoList->Groups.back()->Records;
        ASSERT_FALSE(records.empty());
        EXPECT_EQ(data.UndoList->Groups.back()->Kind, rdutModifyItem);
        EXPECT_EQ(data.UndoList->GroupModeDepth, 0);
        for (const auto& record : records)
            EXPECT_EQ(static_cast<TRDUndoItemNoInfo*>(record.get())->ItemIndex, 1);
        auto* opening = dynamic_cast<TRDUndoModifyItemTerminator*>(records.front().get());
        auto* closing = dynamic_cast<TRDUndoModifyItemTerminator*>(records.back().get());
        // The merge alone writes no terminators (one record does it all).
        if (records.size() > 1) {
            ASSERT_NE(opening, nullptr);
            ASSERT_NE(closing, nullptr);
            EXPECT_TRUE(opening->IsOpening);
            EXPECT_FALSE(closing->IsOpening);
        }
    }
}

TEST(RDTableGrid, CommandsInAnEditorUndoAndRedoToTheSameCells)
{
    TTableEditor editor(4, 4);
    TRDEditRDData& data = editor.Data();
    TRDTableItemInfo& table = *editor.Table;
    GridNameCells(table);
    TableCell(table, 2, 1).BestWidth = 60;
    TableCell(table, 2, 1).BestHeight = 90;
    const std::function<void()> commands[] = {
        [&] { table.MergeCells(0, 0, 2, 2, false); },
        [&] { table.InsertRows(1, 2, false, 2); },  // inside the merged cell, copying a row
        [&] { table.InsertCols(1, 1, false, 1); },  // inside it again, copying a column
        [&] { table.DeleteRows(0, 1, true); },  // cuts the merged cell
        [&] { table.DeleteCols(2, 2, true); },
        [&] { table.MergeCells(3, 0, 3, 2, true); },
        [&] { table.DeleteRows(3, 1, true); },
        [&] { table.InsertRows(0, 1, false, -1); },
    };
    std::vector<TGridSnapshot> before, after;
    for (const auto& command : commands) {
        before.push_back(GridSnap(table));
        const int groups = data.UndoList->Count();
        command();
        ASSERT_EQ(data.UndoList->Count(), groups + 1);
        ASSERT_TRUE(GridIsSound(table));
        after.push_back(GridSnap(table));
        ASSERT_FALSE(after.back() == before.back());
    }
    const int count = static_cast<int>(before.size());
    for (int i = count - 1; i >= 0; --i) {
        SCOPED_TRACE(testing::Message() << "undo " << i);
        data.UndoList->Undo(data);
        ASSERT_TRUE(GridIsSound(table));
        EXPECT_TRUE(GridSnap(table) == before[i]) << GridSnap(table).Shape << " / " << before[i].Shape;
        EXPECT_EQ(data.ItemAt(1), &table);
    }
    EXPECT_EQ(TableCell(table, 2, 1).BestWidth, 60);
    EXPECT_EQ(TableCell(table, 2, 1).BestHeight, 90);
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(testing::Message() << "redo " << i);
        data.RedoList->Redo(data);
        ASSERT_TRUE(GridIsSound(table));
        const TGridSnapshot now = GridSnap(table);
        EXPECT_EQ(now.Shape, after[i].Shape);
        EXPECT_EQ(now.Texts, after[i].Texts);
    }
    // Undone again: the shapes and texts of the first pass; the cells that
    // were there before the first insertion are the same objects again (the
    // ones an insertion made are made anew by its redo).
    for (int i = count - 1; i >= 0; --i) {
        SCOPED_TRACE(testing::Message() << "undo again " << i);
        data.UndoList->Undo(data);
        const TGridSnapshot now = GridSnap(table);
        EXPECT_EQ(now.Shape, before[i].Shape);
        EXPECT_EQ(now.Texts, before[i].Texts);
        if (i <= 1) {
            EXPECT_TRUE(now.Cells == before[i].Cells);
        }
    }
    EXPECT_TRUE(data.UndoList->Groups.empty());
}

TEST(RDTableGrid, InsertedRowsAndColumnsCanBecomeTheSelection)
{
    TTableEditor editor(3, 3);
    TRDTableItemInfo& table = *editor.Table;
    table.InsertRows(1, 2, true, -1);
    for (int r = 0; r < table.RowCount(); ++r)
        for (int c = 0; c < table.ColCount(); ++c)
            EXPECT_EQ(table.IsCellSelected(r, c), r == 1 || r == 2) << r << "," << c;
    table.InsertCols(3, 1, true, 0);
    for (int r = 0; r < table.RowCount(); ++r)
        for (int c = 0; c < table.ColCount(); ++c)
            EXPECT_EQ(table.IsCellSelected(r, c), c == 3) << r << "," << c;
    // Deleting takes the selection away with the cells it held.
    table.DeleteCols(3, 1, false);
    EXPECT_FALSE(table.TableState & TRDTableItemInfo::tsCellsSelected);
    for (int r = 0; r < table.RowCount(); ++r)
        for (int c = 0; c < table.ColCount(); ++c)
            EXPECT_FALSE(TableCell(table, r, c).ShownSelected);
}

TEST(RDTableGrid, ColumnMinWidthCountsCellsOfTheColumnOnly)
{
    // Empty cells are as narrow as their paragraph's indents: 30 and 70.
    TTableEditor editor(3, 2);
    while (editor.Sheet.ParaStyles().Count() < 3)
        editor.Sheet.ParaStyles().Add();
    editor.Sheet.ParaStyles().Items(1)->LeftIndent = 30;
    editor.Sheet.ParaStyles().Items(2)->LeftIndent = 50;
    editor.Sheet.ParaStyles().Items(2)->RightIndent = 20;
    TRDTableItemInfo& table = *editor.Table;
    auto indent = [&](int r, int c, int paraNo) {
        TRDTableCellData& cell = TableCell(table, r, c);
        cell.Clear();
        cell.AddTextConverted(QByteArray(), 0, paraNo, TRDTag());
    };
    indent(0, 0, 1);
    indent(1, 0, 2);
    indent(2, 1, 1);
    TRDTableRows& g = *table.Rows;
    ASSERT_EQ(TableCell(table, 1, 0).GetMinWidth(nullptr, nullptr), 70);
    EXPECT_EQ(g.GetColumnMinWidth(0, nullptr, nullptr), 70);
    EXPECT_EQ(g.GetColumnMinWidth(1, nullptr, nullptr), 30);
    // A cell spanning over the column no longer counts for it.
    table.MergeCells(1, 0, 2, 1, true);
    EXPECT_EQ(g.GetColumnMinWidth(0, nullptr, nullptr), 30);
    EXPECT_EQ(g.GetColumnMinWidth(1, nullptr, nullptr), 30);
    EXPECT_EQ(g.GetColumnMinWidth(5, nullptr, nullptr), 0);
}
