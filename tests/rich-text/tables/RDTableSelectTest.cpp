// Cell selection: choosing a rectangle of cells and the cells' shown state.

#include <gtest/gtest.h>

#include <vector>

#include "RDTableTestSupport.h"
#include "tables/RDTable.h"

namespace {

// Merges by hand (the grid operations are not used here): the cell at
// (row, col) spans rows x cols and the positions it covers hold nil.
void SelectMergeByHand(TRDTableItemInfo& table, int row, int col, int rows, int cols)
{
    for (int r = row; r < row + rows; ++r)
        for (int c = col; c < col + cols; ++c)
            if (r != row || c != col)
                table.Rows->Row(r)->PutCell(c, nullptr);
    TableCell(table, row, col).RowSpan = rows;
    TableCell(table, row, col).ColSpan = cols;
}

// A 4 x 4 table whose cell (1, 1) covers rows 1-2 and columns 1-2:
//   . . . .
//   . M M .
//   . M M .
//   . . . .
class TSelectTableEditor : public TTableEditor {
public:
    TSelectTableEditor() : TTableEditor(4, 4) { SelectMergeByHand(*Table, 1, 1, 2, 2); }
};

struct TSelectBounds {
    int Top, Left, Rows, Cols;
    bool operator==(const TSelectBounds&) const = default;
};

void PrintTo(const TSelectBounds& b, std::ostream* os)
{
    *os << "(" << b.Top << ", " << b.Left << ", " << b.Rows << " x " << b.Cols << ")";
}

}  // namespace

TEST(RDTableSelect, BothBoundsOverMergedCells)
{
    struct Case {
        int Row, Col, RowOffset, ColOffset;
        TSelectBounds Corners;     // the two corner cells only
        TSelectBounds Normalized;  // every merged cell crossing an edge
    };
    const std::vector<Case> cases = {
        // One plain cell.
        {0, 0, 0, 0, {0, 0, 1, 1}, {0, 0, 1, 1}},
        // The far corner falls into the merged cell: it counts whole.
        {0, 0, 1, 1, {0, 0, 3, 3}, {0, 0, 3, 3}},
        // Anchored on a covered position, reaching back to (0, 0).
        {2, 2, -2, -2, {0, 0, 3, 3}, {0, 0, 3, 3}},
        // The anchor alone on a covered position: the merged cell.
        {2, 1, 0, 0, {1, 1, 2, 2}, {1, 1, 2, 2}},
        // Column 1 top to bottom: the corners are plain cells, but the merged
        // cell crosses the right edge.
        {0, 1, 3, 0, {0, 1, 4, 1}, {0, 1, 4, 2}},
        // Row 2 from the right to column 0: the merged cell crosses the top edge.
        {2, 3, 0, -3, {2, 0, 1, 4}, {1, 0, 2, 4}},
        // The whole table.
        {3, 3, -3, -3, {0, 0, 4, 4}, {0, 0, 4, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "anchor (" << c.Row << ", " << c.Col << "), offsets (" << c.RowOffset
                                        << ", " << c.ColOffset << ")");
        TSelectTableEditor editor;
        TRDTableItemInfo& table = *editor.Table;
        table.SelectCells(c.Row, c.Col, c.ColOffset, c.RowOffset);
        ASSERT_TRUE(table.HasSelectionInside());
        TSelectBounds b{};
        ASSERT_TRUE(table.GetSelectionBounds(true, b.Top, b.Left, b.Rows, b.Cols));
        EXPECT_EQ(b, c.Corners);
        ASSERT_TRUE(table.GetNormalizedSelectionBounds(true, b.Top, b.Left, b.Rows, b.Cols));
        EXPECT_EQ(b, c.Normalized);
        // Every cell shows itself selected exactly when it overlaps the
        // corner rectangle; covered positions answer for their merged cell.
        for (int r = 0; r < 4; ++r)
            for (int col = 0; col < 4; ++col) {
                const bool inside = r >= c.Corners.Top && r < c.Corners.Top + c.Corners.Rows &&
                                    col >= c.Corners.Left && col < c.Corners.Left + c.Corners.Cols;
                const bool merged = r >= 1 && r <= 2 && col >= 1 && col <= 2;
                const bool mergedSelected = c.Corners.Top <= 2 && c.Corners.Top + c.Corners.Rows > 1 &&
                                            c.Corners.Left <= 2 && c.Corners.Left + c.Corners.Cols > 1;
                EXPECT_EQ(table.IsCellSelected(r, col), merged ? mergedSelected : inside) << r << ", " << col;
                if (TRDTableCellData* cell = table.GetCell(r, col)) {
                    EXPECT_EQ(cell->ShownSelected, table.IsCellSelected(r, col)) << r << ", " << col;
                }
            }
    }
}

TEST(RDTableSelect, RefusedSelectionsChangeNothing)
{
    struct Case {
        const char* What;
        int Row, Col, RowOffset, ColOffset;
    };
    const std::vector<Case> cases = {
        {"anchor left of the grid", 0, -1, 0, 1},
        {"anchor below the grid", 4, 0, 0, 0},
        {"far corner right of the grid", 0, 0, 0, 4},
        {"far corner above the grid", 1, 0, -2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        TSelectTableEditor editor;
        TRDTableItemInfo& table = *editor.Table;
        table.SelectCells(c.Row, c.Col, c.ColOffset, c.RowOffset);
        EXPECT_FALSE(table.HasSelectionInside());
        EXPECT_EQ(table.SelStartRow, -1);
        int top = 0, left = 0, rows = 0, cols = 0;
        EXPECT_FALSE(table.GetSelectionBounds(true, top, left, rows, cols));
    }
    // A document that does not allow selecting.
    TSelectTableEditor editor;
    editor.Data().SetOptions(editor.Data().GetOptions() & ~rdoAllowSelection);
    editor.Table->SelectCells(0, 0, 1, 1);
    EXPECT_FALSE(editor.Table->HasSelectionInside());
    EXPECT_FALSE(editor.Table->StartCellSelection(0, 0));
    // A detached table.
    TRDTableItemInfo detached(2, 2, nullptr);
    detached.SelectCells(0, 0, 1, 1);
    EXPECT_FALSE(detached.HasSelectionInside());
}

TEST(RDTableSelect, RowsAndColumnsAndClearing)
{
    TSelectTableEditor editor;
    TRDTableItemInfo& table = *editor.Table;
    int top = 0, left = 0, rows = 0, cols = 0;
    // Column 2 crosses the merged cell, which widens the normalised bounds to column 1.
    table.SelectCols(2, 1);
    ASSERT_TRUE(table.GetNormalizedSelectionBounds(true, top, left, rows, cols));
    EXPECT_EQ((TSelectBounds{top, left, rows, cols}), (TSelectBounds{0, 1, 4, 2}));
    EXPECT_EQ(editor.Data().GetChosenItem(), &table);
    table.SelectRows(3, 1);
    ASSERT_TRUE(table.GetSelectionBounds(true, top, left, rows, cols));
    EXPECT_EQ((TSelectBounds{top, left, rows, cols}), (TSelectBounds{3, 0, 1, 4}));
    EXPECT_FALSE(TableCell(table, 1, 1).ShownSelected);
    EXPECT_TRUE(TableCell(table, 3, 2).ShownSelected);

    table.ClearCellSelection();
    EXPECT_FALSE(table.HasSelectionInside());
    EXPECT_EQ(table.SelStartRow, -1);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (TRDTableCellData* cell = table.GetCell(r, c)) {
                EXPECT_FALSE(cell->ShownSelected) << r << ", " << c;
            }
}

TEST(RDTableSelect, CellsLeavingTheSelectionLoseTheirTextSelectionButTheAnchorKeepsIt)
{
    TSelectTableEditor editor;
    TRDTableItemInfo& table = *editor.Table;
    for (TRDTableCellData* cell : {&TableCell(table, 0, 0), &TableCell(table, 3, 3)}) {
        cell->Clear();
        cell->AddTextConverted("xyz", 0, 0, TRDTag());
        cell->FormatAll(false);
    }
    ASSERT_TRUE(table.StartCellSelection(0, 0));
    EXPECT_TRUE(table.MouseSelecting);
    EXPECT_EQ(editor.Data().GetCapturingItem(), &table);
    EXPECT_EQ(editor.Data().GetChosenItem(), &table);
    EXPECT_FALSE(table.HasSelectionInside());
    TableCell(table, 0, 0).SetSelectionBounds(0, 1, 0, 3);
    TableCell(table, 3, 3).SetSelectionBounds(0, 1, 0, 3);
    table.UpdateCellStates();
    EXPECT_TRUE(TableCell(table, 0, 0).DataSelectionExists());
    EXPECT_FALSE(TableCell(table, 3, 3).DataSelectionExists());
}

TEST(RDTableSelect, ALostAnchorIsRepaired)
{
    TSelectTableEditor editor;
    TRDTableItemInfo& table = *editor.Table;
    table.SelectCells(0, 0, 1, 1);
    table.SelStartRow = -1;
    int top = 0, left = 0, rows = 0, cols = 0;
    EXPECT_FALSE(table.GetSelectionBounds(true, top, left, rows, cols));
    EXPECT_FALSE(table.HasSelectionInside());
    EXPECT_FALSE(table.MouseSelecting);
    // Corners the grid lost meanwhile count as the nearest positions.
    table.SelectCells(0, 0, 3, 3);
    table.SelRowOffset = 40;
    table.SelColOffset = -40;
    ASSERT_TRUE(table.GetSelectionBounds(true, top, left, rows, cols));
    EXPECT_EQ((TSelectBounds{top, left, rows, cols}), (TSelectBounds{0, 0, 4, 1}));
}

TEST(RDTableSelect, SelectedAsWholeByTheDocumentSelection)
{
    // Items: "a" 0, the table 1, "b" 2.
    struct Case {
        int StartItem, StartOffs, EndItem, EndOffs;
        bool Whole;
    };
    const std::vector<Case> cases = {
        {0, 1, 2, 2, true},   // across the table
        {1, 0, 1, 1, true},   // the table alone
        {0, 1, 1, 0, false},  // ends before the table
        {1, 1, 2, 2, false},  // starts after it
        {0, 1, 0, 2, false},  // inside "a"
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.StartItem << "." << c.StartOffs << " - " << c.EndItem << "."
                                        << c.EndOffs);
        TTableEditor editor;
        editor.Data().SetSelectionBounds(c.StartItem, c.StartOffs, c.EndItem, c.EndOffs);
        EXPECT_EQ(editor.Table->IsSelectedAsWhole(), c.Whole);
    }
    TTableEditor editor;
    editor.Data().Deselect();
    EXPECT_FALSE(editor.Table->IsSelectedAsWhole());
}

TEST(RDTableSelect, ATableGoneWhileSelectingLeavesNothingBehindInItsDocument)
{
    TTableEditor editor;
    TRDEditRDData& data = editor.Data();
    {
        // A table attached to the document but freed outside it.
        TRDTableItemInfo table(2, 2, &data);
        QByteArray text;
        table.Inserting(&data, text, false);
        ASSERT_TRUE(table.StartCellSelection(0, 0));
        EXPECT_EQ(data.GetChosenItem(), &table);
    }
    EXPECT_EQ(data.GetChosenItem(), nullptr);
    EXPECT_EQ(data.GetCapturingItem(), nullptr);
}
