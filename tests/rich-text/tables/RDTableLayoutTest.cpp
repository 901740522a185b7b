// Table layout: column widths, row heights and cell rectangles, and the geometry queries over them.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

#include "RDTableTestSupport.h"
#include "tables/RDTable.h"

namespace {

// Merges the rectangle at (row, col) into its top-left cell by hand.
void LayoutMerge(TRDTableItemInfo& table, int row, int col, int rowSpan, int colSpan)
{
    for (int r = row; r < row + rowSpan; ++r)
        for (int c = col; c < col + colSpan; ++c)
            if (r != row || c != col)
                table.Rows->Row(r)->PutCell(c, nullptr);
    table.GetCell(row, col)->RowSpan = rowSpan;
    table.GetCell(row, col)->ColSpan = colSpan;
}

// A cell with no items: no content width, no content height.
void LayoutEmpty(TRDTableItemInfo& table)
{
    for (int r = 0; r < table.RowCount(); ++r)
        for (int c = 0; c < table.ColCount(); ++c)
            if (TRDTableCellData* cell = table.GetCell(r, c))
                cell->Clear();
}

std::vector<int32_t> LayoutWidths(const TRDTableItemFormattingInfo& record)
{
    return record.ColumnWidths;
}

struct TLayoutWidthCase {
    const char* Name;
    int Available;
    int TableBestWidth;
    std::vector<int> CellBestWidths;  // one row
    int Padding;
    int ExpectedWidth;
    std::vector<int32_t> ExpectedColumns;
};

}  // namespace

// Column widths and the table's width for one row of empty cells.
// Defaults: CellHSpacing 2, BorderHSpacing 2, no borders.
TEST(RDTableLayoutTest, ColumnWidthsFollowPixelAndPercentWidths)
{
    const std::vector<TLayoutWidthCase> cases = {
        // 4 + 4 spacing, 6 padding, the widths themselves, at any available width.
        {"all fixed in 600", 600, 0, {50, 60, 70}, 1, 194, {50, 60, 70}},
        {"all fixed in 100", 100, 0, {50, 60, 70}, 1, 194, {50, 60, 70}},
        {"all fixed, padding 2", 600, 0, {50, 60, 70}, 2, 200, {50, 60, 70}},
        {"all fixed, padding 3", 600, 0, {50, 60, 70}, 3, 206, {50, 60, 70}},
        // The automatic table fills the line; the free column takes the rest.
        {"one free and one 100 px", 600, 0, {0, 100}, 1, 600, {490, 100}},
        {"one free and one 100 px, padding 3", 600, 0, {0, 100}, 3, 600, {482, 100}},
        {"half of 600", 600, -50, {0, 0}, 1, 300, {145, 145}},
        {"pixel table width", 600, 250, {0, 0}, 1, 250, {120, 120}},
        // Wants of 354 each share 590 in the ratio of the wants.
        {"60 % and 60 %", 600, 0, {-60, -60}, 1, 600, {295, 295}},
        {"70 % and 50 %", 600, 0, {-70, -50}, 1, 600, {344, 246}},
        // The wants fit; the one pixel left goes by the percent weights.
        {"60 % and 40 %", 600, 0, {-60, -40}, 1, 600, {355, 235}},
        {"60 % and 30 %", 600, 0, {-60, -30}, 1, 600, {394, 196}},
        {"percent and free", 600, 0, {-50, 0}, 1, 600, {295, 295}},
        {"percent and fixed", 600, 0, {-50, 100}, 1, 600, {295, 295}},
    };
    for (const TLayoutWidthCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTableEditor editor(1, int(c.CellBestWidths.size()));
        TRDTableItemInfo& table = *editor.Table;
        LayoutEmpty(table);
        table.SetBestWidth(c.TableBestWidth);
        table.SetCellPadding(c.Padding);
        for (size_t i = 0; i < c.CellBestWidths.size(); ++i)
            TableCell(table, 0, int(i)).BestWidth = c.CellBestWidths[i];
        TRDTableItemFormattingInfo record;
        table.LayoutTable(c.Available, record, false, false, nullptr);
        EXPECT_EQ(record.Width, c.ExpectedWidth);
        EXPECT_EQ(LayoutWidths(record), c.ExpectedColumns);
        // The cells' padding boxes follow the columns.
        for (size_t i = 0; i < c.ExpectedColumns.size(); ++i) {
            EXPECT_EQ(TableCell(table, 0, int(i)).Left, record.ColumnLefts[i]);
            EXPECT_EQ(TableCell(table, 0, int(i)).Width, record.ColumnWidths[i] + 2 * c.Padding);
            EXPECT_EQ(TableCell(table, 0, int(i)).GetWidth(), record.ColumnWidths[i]);
        }
    }
}

// Content wider than a percent table widens the table instead of wrapping.
TEST(RDTableLayoutTest, WideContentWidensAPercentTable)
{
    TTableEditor editor(1, 2);
    TRDTableItemInfo& table = *editor.Table;
    TParaInfo* indented = editor.Sheet.ParaStyles().Add();
    indented->LeftIndent = 400;
    table.SetBestWidth(-50);
    LayoutEmpty(table);
    TRDTableCellData& cell = TableCell(table, 0, 0);
    cell.AddTextConverted(QByteArray(), 0, editor.Sheet.ParaStyles().Count() - 1, TRDTag());
    TRDTableItemFormattingInfo record;
    table.LayoutTable(600, record, false, false, nullptr);
    EXPECT_EQ(LayoutWidths(record), (std::vector<int32_t>{400, 0}));
    // 300 wide before widening: content 290, spacing 6, padding 4.
    EXPECT_EQ(record.Width, 300 + 400 - 290);
    EXPECT_EQ(cell.GetWidth(), 400);
    // Border spacing 2, then padding 2 and spacing 2 between the columns.
    EXPECT_EQ(TableCell(table, 0, 1).Left, 2 + 400 + 4);
}

// A span over two empty columns with a minimum width of 100 gives both
// columns 48, so that the span measures 102 = need + padding.
TEST(RDTableLayoutTest, SpannedMinimumWidthIsEqualisedOverItsColumns)
{
    TTableEditor editor(2, 2);
    TRDTableItemInfo& table = *editor.Table;
    TParaInfo* indented = editor.Sheet.ParaStyles().Add();
    indented->LeftIndent = 100;
    LayoutEmpty(table);
    LayoutMerge(table, 0, 0, 1, 2);
    TRDTableCellData& span = TableCell(table, 0, 0);
    span.AddTextConverted(QByteArray(), 0, editor.Sheet.ParaStyles().Count() - 1, TRDTag());

    // 4 padding + 6 spacing + 96.
    EXPECT_EQ(table.GetMinWidth(nullptr), 106);
    TRDTableItemFormattingInfo record;
    table.LayoutTable(0, record, false, false, nullptr);
    EXPECT_EQ(record.Width, 106);
    EXPECT_EQ(LayoutWidths(record), (std::vector<int32_t>{48, 48}));
    EXPECT_EQ(span.Width, 102);
    EXPECT_EQ(span.GetWidth(), 100);

    // In a wider line the free columns share the rest equally.
    table.LayoutTable(206, record, false, false, nullptr);
    EXPECT_EQ(LayoutWidths(record), (std::vector<int32_t>{98, 98}));
    EXPECT_EQ(span.Width, 202);
}

// Rows: an empty row is 10 high; a vertically spanned cell taller than its
// rows grows the rows holding no other cell ending inside the span, or all
// of them in proportion.
TEST(RDTableLayoutTest, RowHeightsAndSpannedRowGrowth)
{
    struct TCase {
        const char* Name;
        int Rows;
        void (*Build)(TRDTableItemInfo&);
        std::vector<int32_t> Heights;
        int TableHeight;
    };
    const std::vector<TCase> cases = {
        {"empty rows", 2, [](TRDTableItemInfo&) {}, {10, 10},
         // 4 padding + 4 border spacing + 2 spacing + 20.
         30},
        {"best height", 2, [](TRDTableItemInfo& t) { t.GetCell(1, 1)->BestHeight = 30; }, {10, 30}, 50},
        {"free middle row grows",
         3,
         [](TRDTableItemInfo& t) {
             LayoutMerge(t, 0, 0, 3, 1);
             LayoutMerge(t, 0, 1, 2, 1);
             t.GetCell(0, 0)->BestHeight = 200;
         },
         {10, 172, 10},
         206},
        {"all rows bound grow in proportion",
         2,
         [](TRDTableItemInfo& t) {
             LayoutMerge(t, 0, 0, 2, 1);
             t.GetCell(0, 0)->BestHeight = 100;
             t.GetCell(1, 1)->BestHeight = 30;
         },
         {24, 72},
         106},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTableEditor editor(c.Rows, 2);
        TRDTableItemInfo& table = *editor.Table;
        LayoutEmpty(table);
        c.Build(table);
        TRDTableItemFormattingInfo record;
        table.LayoutTable(300, record, false, false, nullptr);
        EXPECT_EQ(record.RowHeights, c.Heights);
        EXPECT_EQ(record.Height, c.TableHeight);
        // Every cell's padding box reaches over its rows and the spacing between.
        for (int r = 0; r < c.Rows; ++r)
            for (int col = 0; col < 2; ++col)
                if (TRDTableCellData* cell = table.GetCell(r, col)) {
                    int bottomRow = r + cell->RowSpan - 1;
                    EXPECT_EQ(cell->Top, record.RowTops[r]);
                    EXPECT_EQ(cell->Top + cell->Height, record.RowTops[bottomRow] + record.RowHeights[bottomRow] + 2);
                }
    }
}

// Scaled for a printer the spacing is spread by repeated division: no column
// left drifts more than a pixel from its exact share.
TEST(RDTableLayoutTest, ScaledColumnLeftsStayWithinOnePixel)
{
    for (int cols : {1, 2, 3, 5, 7})
        for (int ppi : {120, 300, 600}) {
            SCOPED_TRACE(testing::Message() << cols << " columns at " << ppi);
            TTableEditor editor(1, cols);
            TRDTableItemInfo& table = *editor.Table;
            LayoutEmpty(table);
            table.SetCellHSpacing(1);
            for (int c = 0; c < cols; ++c)
                TableCell(table, 0, c).BestWidth = 10 + c;
            TRDResolutionInfo printer;
            printer.DevicePpiX = printer.DevicePpiY = ppi;
            table.PrintScale = &printer;
            TRDTableItemFormattingInfo record;
            table.LayoutTable(2000, record, false, false, nullptr);
            table.PrintScale = nullptr;
            // The spacing is scaled as one sum, then shared out: every
            // share is within a pixel of the exact one.
            const int spread = int(std::lround(3.0 * cols * ppi / 96));
            const double exact = double(spread) / cols;
            int shares = 0;
            for (int c = 0; c + 1 < cols; ++c) {
                const int share = record.ColumnLefts[c + 1] - record.ColumnLefts[c] - record.ColumnWidths[c];
                EXPECT_LT(std::abs(share - exact), 1.0);
                shares += share;
            }
            EXPECT_EQ(record.ColumnLefts[0], int(std::lround(2.0 * ppi / 96)));
            EXPECT_LE(shares, spread);
            EXPECT_GE(shares, spread - int(std::ceil(exact)));
        }
}

// Widths and heights up to 2^31 from a file saturate instead of wrapping.
TEST(RDTableLayoutTest, HugeSizesSaturate)
{
    TTableEditor editor(2, 3);
    TRDTableItemInfo& table = *editor.Table;
    LayoutEmpty(table);
    for (int c = 0; c < 3; ++c)
        TableCell(table, 0, c).BestWidth = INT_MAX;
    TableCell(table, 1, 0).BestHeight = INT_MAX;
    TableCell(table, 1, 1).BestHeight = INT_MAX;
    table.SetCellVSpacing(INT_MAX / 2);
    TRDTableItemFormattingInfo record;
    table.LayoutTable(600, record, false, false, nullptr);
    EXPECT_EQ(record.Width, INT_MAX);
    EXPECT_EQ(record.Height, INT_MAX);
    for (int32_t w : record.ColumnWidths)
        EXPECT_EQ(w, INT_MAX);
    for (int32_t top : record.RowTops)
        EXPECT_GE(top, 0);
    EXPECT_GE(table.GetMinWidth(nullptr), 0);

    table.SetBestWidth(INT_MAX);
    table.SetBorderHSpacing(INT_MAX);
    table.LayoutTable(600, record, false, true, nullptr);
    EXPECT_EQ(record.Width, INT_MAX);
    for (int32_t left : record.ColumnLefts)
        EXPECT_GE(left, 0);
}

// In the document: the table takes the line's width; it lays out again at an
// unchanged width only when asked (no-cache flag) or marked changed.
TEST(RDTableLayoutTest, DocumentLayoutCachesUntilAskedOrMarked)
{
    TTableEditor editor(1, 2);
    TRDTableItemInfo& table = *editor.Table;
    TRDEditRDData& data = editor.Data();
    const int width = table.Layout.Width;
    EXPECT_EQ(width, data.DocumentWidth);
    EXPECT_EQ(table.GetWidthEx(), width);
    EXPECT_EQ(table.GetHeightEx(), table.Layout.Height);
    const std::vector<int32_t> before = table.Layout.ColumnWidths;

    TableCell(table, 0, 1).BestWidth = 100;
    data.FormatAll(false);
    EXPECT_EQ(table.Layout.ColumnWidths, before);

    data.FormatAll(true);
    EXPECT_EQ(table.Layout.ColumnWidths[1], 100);

    TableCell(table, 0, 1).BestWidth = 50;
    table.MarkChanged();
    data.FormatAll(false);
    EXPECT_EQ(table.Layout.ColumnWidths[1], 50);
    EXPECT_FALSE(table.TableState & TRDTableItemInfo::tsNeedsLayout);
}

// Hit testing over a 3 x 3 table whose top-left 2 x 2 cells are merged.
TEST(RDTableLayoutTest, CellAtFindsMainCellsOverMergedCells)
{
    TTableEditor editor(3, 3);
    TRDTableItemInfo& table = *editor.Table;
    LayoutEmpty(table);
    for (int c = 0; c < 3; ++c)
        TableCell(table, 0, c).BestWidth = 30;
    LayoutMerge(table, 0, 0, 2, 2);
    table.LayoutTable(0, table.Layout, false, true, nullptr);
    const TRDTableItemFormattingInfo& l = table.Layout;
    auto centre = [&](int r, int c) {
        return std::pair{l.ColumnLefts[c] + l.ColumnWidths[c] / 2 + 1, l.RowTops[r] + 5};
    };
    struct TCase {
        int Row, Col, MainRow, MainCol;
    };
    for (TCase c : std::vector<TCase>{{0, 0, 0, 0}, {0, 1, 0, 0}, {1, 0, 0, 0}, {1, 1, 0, 0}, {0, 2, 0, 2},
                                      {1, 2, 1, 2}, {2, 0, 2, 0}, {2, 1, 2, 1}, {2, 2, 2, 2}, {1, 1, 0, 0}}) {
        SCOPED_TRACE(testing::Message() << c.Row << "," << c.Col);
        auto [x, y] = centre(c.Row, c.Col);
        int row = -1, col = -1;
        ASSERT_TRUE(table.CellAt(x, y, col, row));
        EXPECT_EQ(row, c.MainRow);
        EXPECT_EQ(col, c.MainCol);
        EXPECT_EQ(table.GetSubDocAt(x, y), table.GetCell(c.MainRow, c.MainCol));
        int urow = -1, ucol = -1;
        ASSERT_TRUE(table.CellAtUncached(x, y, ucol, urow));
        EXPECT_EQ(std::pair(urow, ucol), std::pair(row, col));
    }
    // The spacing between the merged cell's rows (inside it) is the cell;
    // the spacing beside it, a cell's edge pixel and the outside are not.
    const TRDTableCellData& merged = TableCell(table, 0, 0);
    int row, col;
    EXPECT_TRUE(table.CellAt(merged.Left + 15, l.RowTops[1] - 1, col, row));
    EXPECT_FALSE(table.CellAt(l.ColumnLefts[2] - 1, l.RowTops[0] + 5, col, row));
    EXPECT_FALSE(table.CellAt(merged.Left, merged.Top + 5, col, row));
    EXPECT_FALSE(table.CellAt(merged.Left + merged.Width - 1, merged.Top + 5, col, row));
    EXPECT_FALSE(table.CellAt(-5, -5, col, row));
    EXPECT_FALSE(table.CellAt(l.Width + 5, 5, col, row));
    EXPECT_EQ(table.GetSubDocAt(-5, -5), nullptr);
}

// Borders, columns and rows under a coordinate; the start index search.
TEST(RDTableLayoutTest, BordersColumnsAndRowsUnderAPoint)
{
    TTableEditor editor(2, 3);
    TRDTableItemInfo& table = *editor.Table;
    LayoutEmpty(table);
    for (int c = 0; c < 3; ++c)
        TableCell(table, 0, c).BestWidth = 40;
    table.SetBorderWidth(4);
    table.SetCellBorderWidth(1);
    table.LayoutTable(0, table.Layout, false, true, nullptr);
    const TRDTableItemFormattingInfo& l = table.Layout;
    // Outer 4 + 2 + 1 = 7, inner 2 + 2 = 4; 6 between column contents.
    ASSERT_EQ(l.ColumnLefts, (std::vector<int32_t>{7, 53, 99}));
    ASSERT_EQ(l.Width, 148);
    struct TCase {
        int X, Index, Start, Pos;
    };
    for (TCase c : std::vector<TCase>{{3, 0, -1, 3},
                                      {0, 0, -1, 3},
                                      {6, 0, -1, 3},
                                      {51, 1, 7, 51},
                                      {49, 1, 7, 51},
                                      {53, 1, 7, 51},
                                      {97, 2, 53, 97},
                                      {l.Width - 3, 3, 99, l.Width - 3},
                                      {30, -1, 0, 0},
                                      {-1, -1, 0, 0},
                                      {l.Width + 1, -1, 0, 0}}) {
        SCOPED_TRACE(c.X);
        int start = 0, pos = 0;
        EXPECT_EQ(table.ColumnBorderAt(c.X, start, pos), c.Index);
        if (c.Index >= 0) {
            EXPECT_EQ(start, c.Start);
            EXPECT_EQ(pos, c.Pos);
        }
    }
    int start = 0, pos = 0;
    EXPECT_EQ(table.RowBorderAt(3, start, pos), 0);
    EXPECT_EQ(table.RowBorderAt(l.RowTops[1] - 2, start, pos), 1);
    EXPECT_EQ(start, l.RowTops[0]);
    EXPECT_EQ(table.RowBorderAt(l.Height - 3, start, pos), 2);

    EXPECT_EQ(table.ColumnAt(7), 0);
    EXPECT_EQ(table.ColumnAt(47), 0);
    EXPECT_EQ(table.ColumnAt(49), -1);
    EXPECT_EQ(table.ColumnAt(60), 1);
    EXPECT_EQ(table.RowAt(l.RowTops[1] + 1), 1);
    EXPECT_EQ(table.RowAt(l.Height + 10), -1);

    const std::vector<int32_t> starts{0, 10, 20, 30};
    for (auto [position, index] : std::vector<std::pair<int, int>>{{-5, 0}, {0, 0}, {5, 0}, {10, 0}, {11, 1},
                                                                   {20, 1}, {29, 2}, {30, 3}, {99, 3}})
        EXPECT_EQ(TRDTableItemInfo::FindStartIndex(position, starts), index) << position;
    EXPECT_EQ(TRDTableItemInfo::FindStartIndex(50, {7}), 0);
}

// The width a cell merged from a rectangle gets: percentages win over
// pixels and add up within a row; the widest row wins within each kind.
TEST(RDTableLayoutTest, CombinedBestWidthOfARectangle)
{
    struct TCase {
        std::vector<int> Row0, Row1;
        int Expected;
    };
    const std::vector<TCase> cases = {
        {{100, 50, 0}, {-30, 0, 0}, -30},
        {{100, 50, 0}, {120, 0, 0}, 150},
        {{-20, -30, 0}, {200, 0, 0}, -50},
        {{100, -20, 0}, {0, 0, 0}, -20},
        {{-20, 100, 0}, {-40, 0, 0}, -40},
        {{-20, 0, 0}, {-10, 0, 0}, -20},
        {{0, 0, 0}, {0, 0, 0}, 0},
        // The column outside the rectangle does not count.
        {{10, 10, 500}, {0, 0, -90}, 20},
    };
    for (const TCase& c : cases) {
        TTableEditor editor(2, 3);
        TRDTableItemInfo& table = *editor.Table;
        for (int col = 0; col < 3; ++col) {
            TableCell(table, 0, col).BestWidth = c.Row0[size_t(col)];
            TableCell(table, 1, col).BestWidth = c.Row1[size_t(col)];
        }
        EXPECT_EQ(table.Rows->GetCombinedBestWidth(0, 0, 2, 2), c.Expected)
            << c.Row0[0] << " " << c.Row0[1] << " / " << c.Row1[0] << " " << c.Row1[1];
    }
}
