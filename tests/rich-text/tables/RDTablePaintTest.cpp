// Painting a table on the screen: background, borders, rules, cells.

#include <gtest/gtest.h>

#include <memory>

#include <QtGui/QPainter>
#include <QtGui/QResizeEvent>
#include <QtWidgets/QApplication>

#include "RDPictureTestSupport.h"
#include "RDTableTestSupport.h"
#include "tables/RDTable.h"
#include "viewer/RDRichDoc.h"

namespace {

QRgb PaintRgb(TColor color) { return ToQColor(color).rgb(); }

// How many pixels of the rectangle have exactly the colour.
int PaintCount(const QImage& image, const QRect& rect, QRgb rgb)
{
    int n = 0;
    const QRect r = rect.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += (image.pixel(x, y) | 0xFF000000) == (rgb | 0xFF000000);
    return n;
}

// A viewer holding "a", a rows x cols table and "b", on a plain sheet.
class TPaintViewer : public TRichDoc {
public:
    TPaintViewer(int rows, int cols)
    {
        SetBorderStyle(TBorderStyle::bsNone);
        SetHScrollVisible(false);
        SetVScrollVisible(false);
        SetStyle(&Sheet);
        // Laid out for its size at once, also while it is not shown.
        const QSize old = size();
        resize(400, 300);
        QResizeEvent event(size(), old);
        QApplication::sendEvent(this, &event);
        TRichDocRDData& data = *DocumentData();
        data.AddTextConverted("a", 0, 0, TRDTag());
        auto table = std::make_unique<TRDTableItemInfo>(rows, cols, &data);
        Table = table.get();
        data.AddItem(QByteArray(), std::move(table));
        data.AddTextConverted("b", 0, 0, TRDTag());
        FormatDocument();
    }
    TRDStyle Sheet;
    TRDTableItemInfo* Table = nullptr;
};

// The control's picture, and where the table stands in it.
QImage PaintGrab(TCustomRichDoc& control)
{
    return control.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QPoint PaintTableOrigin(TCustomRDFormattedData& data, TRDTableItemInfo& table)
{
    const int itemNo = data.IndexOfItem(&table);
    for (int i = 0; i < data.DrawItems.Count(); ++i)
        if (data.DrawItems[i]->ItemNo == itemNo)
            return QPoint(data.DrawItems[i]->Left - data.GetHOffset(), data.DrawItems[i]->Top - data.GetVOffset());
    ADD_FAILURE() << "the table has no draw item";
    return {};
}

// A cell's rectangle (padding included) in the control.
QRect PaintCellRect(TCustomRDFormattedData& data, TRDTableItemInfo& table, int row, int col)
{
    const TRDTableCellData& cell = TableCell(table, row, col);
    return QRect(PaintTableOrigin(data, table) + QPoint(cell.Left, cell.Top), QSize(cell.Width, cell.Height));
}

// Paints the table alone at (x, y) of a white picture, only within clip.
QImage PaintAlone(TRDTableItemInfo& table, const QSize& size, const QPoint& at, const QRect& clip,
                  uint16_t state = 0, TRDStyle* style = nullptr)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setClipRect(clip);
    TCanvas canvas(painter);
    table.PaintTo(canvas, at.x(), at.y(), clip, state, style);
    return image;
}

}  // namespace

// A table without borders shows its cells as a dotted grid only where it can
// be edited: not in a viewer, a read-only editor, or with the grid hidden.
TEST(RDTablePaint, GridLinesOnlyWhileTheTableCanBeEdited)
{
    struct TCase {
        const char* Name;
        bool Viewer;
        bool ReadOnly;
        bool HideGrid;
        bool GridShown;
    };
    const TCase cases[] = {
        {"editor", false, false, false, true},
        {"viewer", true, false, false, false},
        {"read-only editor", false, true, false, false},
        {"editor, grid hidden", false, false, true, false},
    };
    const QRgb grid = PaintRgb(clBtnFace);
    ASSERT_NE(grid, PaintRgb(clWindow));
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::unique_ptr<TTableEditor> editor;
        std::unique_ptr<TPaintViewer> viewer;
        TCustomRichDoc* control = nullptr;
        TCustomRDFormattedData* data = nullptr;
        TRDTableItemInfo* table = nullptr;
        if (c.Viewer) {
            viewer = std::make_unique<TPaintViewer>(2, 2);
            control = viewer.get();
            data = viewer->DocumentData();
            table = viewer->Table;
        } else {
            editor = std::make_unique<TTableEditor>(2, 2);
            editor->SetReadOnly(c.ReadOnly);
            control = editor.get();
            data = &editor->Data();
            table = editor->Table;
        }
        if (c.HideGrid)
            table->Options |= rdtoHideGridLines;
        const QImage image = PaintGrab(*control);
        for (int row = 0; row < 2; ++row)
            for (int col = 0; col < 2; ++col) {
                const QRect cell = PaintCellRect(*data, *table, row, col);
                ASSERT_GT(cell.width(), 4);
                // The cell's left and top edges.
                const int left = PaintCount(image, QRect(cell.left(), cell.top(), 1, cell.height()), grid);
                const int top = PaintCount(image, QRect(cell.left(), cell.top(), cell.width(), 1), grid);
                if (c.GridShown) {
                    EXPECT_GE(left, cell.height() / 2 - 1);
                    EXPECT_GE(top, cell.width() / 2 - 1);
                } else {
                    EXPECT_EQ(left + top, 0);
                }
            }
        // The table's own outer edge likewise.
        const QPoint origin = PaintTableOrigin(*data, *table);
        const int outer = PaintCount(image, QRect(origin.x(), origin.y(), table->Layout.Width, 1), grid);
        if (c.GridShown)
            EXPECT_GE(outer, table->Layout.Width / 2 - 1);
        else
            EXPECT_EQ(outer, 0);
    }
}

// An invisible side shows the grid unless the neighbour's border lies over it
// through negative spacing.
TEST(RDTablePaint, GridLineHiddenUnderAnOverlappingNeighbour)
{
    for (const int spacing : {2, -1}) {
        SCOPED_TRACE(spacing);
        TTableEditor editor(1, 2);
        TRDTableItemInfo& table = *editor.Table;
        table.SetCellBorderWidth(1);
        table.SetCellBorderStyleValue(int(TRDTableBorderStyle::rdtbColor));
        table.SetCellBorderColor(int(clRed));
        table.SetCellHSpacing(spacing);
        TableCell(table, 0, 0).VisibleBorders.Right = false;
        editor.FormatDocument();
        const QImage image = PaintGrab(editor);
        const QRect cell = PaintCellRect(editor.Data(), table, 0, 0);
        // The right side of (0, 0): one pixel outside its padding box.
        const int grid = PaintCount(image, QRect(cell.right() + 1, cell.top(), 1, cell.height()), PaintRgb(clBtnFace));
        if (spacing >= 0)
            EXPECT_GT(grid, 0);
        else
            EXPECT_EQ(grid, 0);
    }
}

// The colours of each border style on the two halves of a cell's border, and
// the highlight that shows as the button face on a background of its colour.
TEST(RDTablePaint, BorderStylesPaintTheirColours)
{
    const TColor highlightRgb = ColorToRGB(clBtnHighlight);
    struct TCase {
        const char* Name;
        TRDTableBorderStyle Style;
        TColor TableColor;
        TColor TopLeft;
        TColor BottomRight;
    };
    const TCase cases[] = {
        {"raised", TRDTableBorderStyle::rdtbRaised, clYellow, clBtnHighlight, clBtnShadow},
        {"raised on highlight", TRDTableBorderStyle::rdtbRaised, highlightRgb, clBtnFace, clBtnShadow},
        {"lowered", TRDTableBorderStyle::rdtbLowered, clYellow, clBtnShadow, clBtnHighlight},
        {"lowered on highlight", TRDTableBorderStyle::rdtbLowered, highlightRgb, clBtnShadow, clBtnFace},
        {"raised colour", TRDTableBorderStyle::rdtbRaisedColor, clYellow, clLime, clRed},
        {"lowered colour", TRDTableBorderStyle::rdtbLoweredColor, clYellow, clRed, clLime},
        {"colour", TRDTableBorderStyle::rdtbColor, clYellow, clRed, clRed},
    };
    ASSERT_NE(PaintRgb(clBtnFace), PaintRgb(clBtnHighlight));
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TPaintViewer viewer(1, 1);
        TRDTableItemInfo& table = *viewer.Table;
        table.SetColor(int(c.TableColor));
        table.SetCellBorderWidth(3);
        table.SetCellBorderStyleValue(int(c.Style));
        TRDTableCellData& cell = TableCell(table, 0, 0);
        cell.BorderColor = clRed;
        cell.BorderLightColor = clLime;
        viewer.FormatDocument();
        const QImage image = PaintGrab(viewer);
        const QRect box = PaintCellRect(*viewer.DocumentData(), table, 0, 0).adjusted(-3, -3, 3, 3);
        // Three strokes on each side; the middle of each side.
        const int mx = box.center().x(), my = box.center().y();
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(image.pixel(mx, box.top() + k) | 0xFF000000, PaintRgb(c.TopLeft) | 0xFF000000) << k;
            EXPECT_EQ(image.pixel(box.left() + k, my) | 0xFF000000, PaintRgb(c.TopLeft) | 0xFF000000) << k;
            EXPECT_EQ(image.pixel(mx, box.bottom() - k) | 0xFF000000, PaintRgb(c.BottomRight) | 0xFF000000) << k;
            EXPECT_EQ(image.pixel(box.right() - k, my) | 0xFF000000, PaintRgb(c.BottomRight) | 0xFF000000) << k;
        }
        // Inside the border, the table's colour.
        EXPECT_EQ(image.pixel(box.left() + 3, box.top() + 3) | 0xFF000000, PaintRgb(c.TableColor) | 0xFF000000);
        // The 3D styles meet on the corner's diagonal: the bottom-right colour
        // holds the top-right corner's outer pixel.
        if (c.Style != TRDTableBorderStyle::rdtbColor) {
            EXPECT_EQ(image.pixel(box.right(), box.top()) | 0xFF000000, PaintRgb(c.BottomRight) | 0xFF000000);
        }
    }
}

// A whole table in the selection paints every cell in the selection colour
// (the inactive one without the focus), the picture of a cell included, and
// the cells' selected marks are as before afterwards.
TEST(RDTablePaint, TableSelectedAsAWholePaintsTheSelectionColour)
{
    TTableEditor editor(2, 2);
    editor.Sheet.SelColor = clRed;
    editor.Sheet.InactiveSelColor = clLime;
    TRDTableItemInfo& table = *editor.Table;
    TableCell(table, 1, 1).SetBackgroundImageEx(Graphic<TBitmapGraphic>(Encoded("BMP", Qt::blue, 8, 8)));
    TableCell(table, 1, 1).SetBackgroundStyle(TRDItemBackgroundStyle::rdbsTiled);
    TableCell(table, 0, 1).ShownSelected = true;
    editor.FormatDocument();
    // Not selected: the picture shows.
    QImage image = PaintGrab(editor);
    QRect pictured = PaintCellRect(editor.Data(), table, 1, 1);
    EXPECT_GT(PaintCount(image, pictured, qRgb(0, 0, 255)), pictured.width() * pictured.height() / 2);
    editor.Data().SelectAll();
    image = PaintGrab(editor);
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 2; ++col) {
            const QRect cell = PaintCellRect(editor.Data(), table, row, col);
            EXPECT_GT(PaintCount(image, cell, PaintRgb(clLime)), cell.width() * cell.height() / 2) << row << col;
        }
    EXPECT_EQ(PaintCount(image, pictured, qRgb(0, 0, 255)), 0);
    EXPECT_FALSE(TableCell(table, 0, 0).ShownSelected);
    EXPECT_TRUE(TableCell(table, 0, 1).ShownSelected);
    EXPECT_FALSE(TableCell(table, 1, 1).ShownSelected);
}

// Rules between columns and rows and at the outer edges, w pixels wide with
// the first w div 2 before the rule's place.
TEST(RDTablePaint, RulesBetweenColumnsAndRows)
{
    TPaintViewer viewer(2, 3);
    TRDTableItemInfo& table = *viewer.Table;
    table.SetVRuleWidth(3);
    table.SetVRuleColor(int(clRed));
    table.SetHRuleWidth(1);
    table.SetHRuleColor(int(clLime));
    table.SetHOutermostRule(1);
    table.SetCellHSpacing(6);
    table.SetCellVSpacing(6);
    viewer.FormatDocument();
    const QImage image = PaintGrab(viewer);
    const QPoint origin = PaintTableOrigin(*viewer.DocumentData(), table);
    const TRDTableItemFormattingInfo& layout = table.Layout;
    // Between columns 0 and 1: at ColumnLefts[1] - 3, pixels -1 .. +1.
    const int vx = origin.x() + layout.ColumnLefts[1] - 3;
    const int midRow0 = origin.y() + layout.RowTops[0] + 2;
    for (int dx = -1; dx <= 1; ++dx)
        EXPECT_EQ(image.pixel(vx + dx, midRow0) | 0xFF000000, qRgb(255, 0, 0)) << dx;
    EXPECT_NE(image.pixel(vx - 2, midRow0) | 0xFF000000, qRgb(255, 0, 0));
    EXPECT_NE(image.pixel(vx + 2, midRow0) | 0xFF000000, qRgb(255, 0, 0));
    // No vertical outermost rule.
    EXPECT_EQ(PaintCount(image, QRect(origin.x(), midRow0, 3, 1), qRgb(255, 0, 0)), 0);
    // Between rows 0 and 1, and the outer ones at top and bottom.
    const int hy = origin.y() + layout.RowTops[1] - 3;
    const int midCol0 = origin.x() + layout.ColumnLefts[0] + 2;
    EXPECT_EQ(image.pixel(midCol0, hy) | 0xFF000000, qRgb(0, 255, 0));
    EXPECT_EQ(image.pixel(midCol0, origin.y() + 1) | 0xFF000000, qRgb(0, 255, 0));
    EXPECT_EQ(image.pixel(midCol0, origin.y() + layout.Height - 1 - 1) | 0xFF000000, qRgb(0, 255, 0));
}

// Borders and rules of enormous widths (as a file may give them) draw only
// the pixels they can reach: each style fills the cell's frame and stops.
TEST(RDTablePaint, EnormousWidthsDrawOnlyWhatTheyReach)
{
    const int huge = 1 << 30;
    for (const TRDTableBorderStyle style :
         {TRDTableBorderStyle::rdtbRaised, TRDTableBorderStyle::rdtbColor, TRDTableBorderStyle::rdtbRaisedColor}) {
        SCOPED_TRACE(int(style));
        TRDTableItemInfo table(1, 1, nullptr);
        table.SetBorderColor(int(clRed));
        table.SetBorderLightColor(int(clLime));
        QImage image(60, 40, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            TCanvas canvas(painter);
            const TRDBooleanRect sides;
            table.DrawBorder(canvas, 10, 5, 50, 35, huge, clLime, clRed, clWhite, style, false, false, false, sides,
                             -1, -1, 0, image.rect());
            TRDBooleanRect threeSides;
            threeSides.Bottom = false;
            table.DrawBorder(canvas, 0, 0, 8, 8, huge, clLime, clRed, clWhite, style, false, false, false, threeSides,
                             -1, -1, 0, image.rect());
        }
        // The whole rectangle is border, nothing outside it.
        EXPECT_EQ(PaintCount(image, QRect(10, 5, 40, 30), qRgb(255, 255, 255)), 0);
        EXPECT_EQ(PaintCount(image, QRect(51, 0, 9, 40), qRgb(255, 255, 255)), 9 * 40);
        EXPECT_EQ(PaintCount(image, QRect(10, 36, 40, 4), qRgb(255, 255, 255)), 40 * 4);
    }
    // Rules too.
    TRDTableItemInfo table(2, 2, nullptr);
    table.Layout.ColumnLefts = {3, 30};
    table.Layout.ColumnWidths = {20, 20};
    table.Layout.RowTops = {3, 20};
    table.Layout.RowHeights = {10, 10};
    table.Layout.Width = 55;
    table.Layout.Height = 35;
    table.SetColor(int(clNone));
    table.SetVRuleWidth(huge);
    table.SetVRuleColor(int(clRed));
    table.SetHRuleWidth(huge);
    table.SetHRuleColor(int(clRed));
    table.SetVOutermostRule(1);
    table.SetHOutermostRule(1);
    const QImage image = PaintAlone(table, QSize(80, 60), QPoint(5, 5), QRect(0, 0, 80, 60));
    // The table is covered but for the corners where the outer rules stop
    // short of each other; nothing lies outside it.
    EXPECT_EQ(PaintCount(image, QRect(5, 5, 55, 35), qRgb(255, 0, 0)), 55 * 35 - 4);
    EXPECT_EQ(PaintCount(image, QRect(0, 0, 80, 60), qRgb(255, 0, 0)), 55 * 35 - 4);
}

// Painting a band of a tall table still paints a merged cell that starts
// above the band and reaches into it; nothing is painted outside the band.
TEST(RDTablePaint, AClipBelowAMergedCellsTopStillPaintsIt)
{
    TRDTableItemInfo table(4, 2, nullptr);
    table.SetColor(int(clNone));
    table.Layout.ColumnLefts = {3, 33};
    table.Layout.ColumnWidths = {26, 26};
    table.Layout.RowTops = {3, 23, 43, 63};
    table.Layout.RowHeights = {16, 16, 16, 16};
    table.Layout.Width = 62;
    table.Layout.Height = 85;
    // (0, 0) over three rows.
    for (int r = 1; r < 3; ++r)
        table.Rows->Row(r)->PutCell(0, nullptr);
    TRDTableCellData& merged = TableCell(table, 0, 0);
    merged.RowSpan = 3;
    merged.Color = clRed;
    merged.Left = 3;
    merged.Top = 3;
    merged.Width = 28;
    merged.Height = 58;
    for (int r = 0; r < 4; ++r) {
        TRDTableCellData& cell = TableCell(table, r, 1);
        cell.Color = clLime;
        cell.Left = 33;
        cell.Top = table.Layout.RowTops[r];
        cell.Width = 28;
        cell.Height = 18;
    }
    TRDTableCellData& last = TableCell(table, 3, 0);
    last.Color = clLime;
    last.Left = 3;
    last.Top = 63;
    last.Width = 28;
    last.Height = 18;
    // Only the band of row 2.
    const QRect band(0, 45, 80, 15);
    const QImage image = PaintAlone(table, QSize(80, 100), QPoint(0, 0), band);
    EXPECT_EQ(PaintCount(image, QRect(3, 45, 28, 15), qRgb(255, 0, 0)), 28 * 15);
    EXPECT_EQ(PaintCount(image, QRect(33, 45, 28, 15), qRgb(0, 255, 0)), 28 * 15);
    EXPECT_EQ(PaintCount(image, QRect(0, 0, 80, 45), qRgb(255, 255, 255)), 80 * 45);
    EXPECT_EQ(PaintCount(image, QRect(0, 60, 80, 40), qRgb(255, 255, 255)), 80 * 40);
}

// A cell's text is painted inside the cell, at the cell's place.
TEST(RDTablePaint, CellContentIsPaintedInItsCell)
{
    TPaintViewer viewer(1, 2);
    TRDTableItemInfo& table = *viewer.Table;
    TRDTableCellData& cell = TableCell(table, 0, 1);
    cell.Clear();
    cell.AddTextConverted("MMMM", 0, 0, TRDTag());
    viewer.FormatDocument();
    const QImage image = PaintGrab(viewer);
    const QRgb back = PaintRgb(clWindow);
    const QRect withText = PaintCellRect(*viewer.DocumentData(), table, 0, 1);
    const QRect empty = PaintCellRect(*viewer.DocumentData(), table, 0, 0);
    EXPECT_GT(withText.width() * withText.height() - PaintCount(image, withText, back), 10);
    EXPECT_EQ(empty.width() * empty.height() - PaintCount(image, empty, back), 0);
}

// A viewer showing a 4 x 4 table with everything a table paints: a 2 x 2
// merged cell, a nested table, a raised outer border and coloured cell
// borders, rules, a background picture, and percent, pixel and automatic
// column widths. With PIBO_TABLE_SHOT set, the picture is written there.
TEST(RDTablePaint, ViewerShowsACompleteTable)
{
    TPaintViewer viewer(4, 4);
    viewer.resize(520, 360);
    QResizeEvent resized(viewer.size(), QSize(400, 300));
    QApplication::sendEvent(&viewer, &resized);
    TRDTableItemInfo& table = *viewer.Table;
    table.SetBorderWidth(3);
    table.SetBorderStyleValue(int(TRDTableBorderStyle::rdtbRaised));
    table.SetCellBorderWidth(1);
    table.SetCellBorderStyleValue(int(TRDTableBorderStyle::rdtbColor));
    table.SetCellBorderColor(int(clNavy));
    table.SetCellHSpacing(5);
    table.SetCellVSpacing(5);
    table.SetCellPadding(4);
    table.SetVRuleWidth(1);
    table.SetVRuleColor(int(clTeal));
    table.SetHRuleWidth(1);
    table.SetHRuleColor(int(clTeal));
    table.SetBackgroundImageEx(Graphic<TBitmapGraphic>(Encoded("BMP", Qt::yellow, 8, 8)).get());
    table.SetBackgroundStyleValue(int(TRDItemBackgroundStyle::rdbsTiled));
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            TRDTableCellData& cell = TableCell(table, r, c);
            cell.Clear();
            cell.AddTextConverted(QByteArray("cell ") + char('0' + r) + char('0' + c), 0, 0, TRDTag());
        }
    table.MergeCells(0, 0, 2, 2, false);
    TableCell(table, 0, 0).Color = clAqua;
    TableCell(table, 3, 0).BestWidth = -25;
    TableCell(table, 3, 2).BestWidth = 80;
    TRDTableCellData& red = TableCell(table, 3, 3);
    red.BorderColor = clRed;
    // A nested 2 x 2 table with red borders in cell (2, 3).
    TRDTableCellData& host = TableCell(table, 2, 3);
    auto nested = std::make_unique<TRDTableItemInfo>(2, 2, &host);
    TRDTableItemInfo* inner = nested.get();
    inner->SetBorderWidth(1);
    inner->SetBorderStyleValue(int(TRDTableBorderStyle::rdtbColor));
    inner->SetBorderColor(int(clRed));
    inner->SetColor(int(clWhite));
    host.AddItem(QByteArray(), std::move(nested));
    table.MarkChanged();
    viewer.FormatDocument();
    if (qEnvironmentVariableIsSet("PIBO_TABLE_SHOW"))
        viewer.show();
    const QImage image = PaintGrab(viewer);
    if (qEnvironmentVariableIsSet("PIBO_TABLE_SHOT"))
        image.save(qEnvironmentVariable("PIBO_TABLE_SHOT"));

    TRichDocRDData& data = *viewer.DocumentData();
    const QPoint origin = PaintTableOrigin(data, table);
    const TRDTableItemFormattingInfo& layout = table.Layout;
    // Widths: the table fills the line; 80 pixels and a quarter of the line.
    EXPECT_EQ(layout.ColumnWidths[2], 80);
    EXPECT_NEAR(layout.ColumnWidths[0] + 8, layout.Width / 4, layout.Width / 20);
    EXPECT_LE(origin.x() + layout.Width, viewer.viewport()->width());
    // The merged cell is one aqua area over four positions.
    const QRect merged = PaintCellRect(data, table, 0, 0);
    const QRect right = PaintCellRect(data, table, 0, 2);
    EXPECT_GT(merged.width(), 2 * right.width() - 5 * 2);
    EXPECT_EQ(merged.bottom() + 1, PaintCellRect(data, table, 2, 0).top() - 5 - 2);
    EXPECT_GT(PaintCount(image, merged, qRgb(0, 255, 255)), merged.width() * merged.height() / 2);
    // Other cells show the table's picture; the spacing between them too.
    const QRect plain = PaintCellRect(data, table, 1, 2);
    EXPECT_GT(PaintCount(image, plain, qRgb(255, 255, 0)), plain.width() * plain.height() / 2);
    // The outer border: raised, three pixels.
    EXPECT_EQ(image.pixel(origin.x() + layout.Width - 1, origin.y() + 40) | 0xFF000000, PaintRgb(clBtnShadow));
    EXPECT_EQ(image.pixel(origin.x() + layout.Width / 2, origin.y() + layout.Height - 3) | 0xFF000000,
              PaintRgb(clBtnShadow));
    // Cell borders: navy, and red around (3, 3).
    EXPECT_EQ(image.pixel(plain.left() - 1, plain.center().y()) | 0xFF000000, qRgb(0, 0, 128));
    const QRect last = PaintCellRect(data, table, 3, 3);
    EXPECT_EQ(image.pixel(last.left() - 1, last.center().y()) | 0xFF000000, qRgb(255, 0, 0));
    // Rules in the spacing between columns 2 and 3 and between rows 2 and 3.
    const int ruleX = origin.x() + layout.ColumnLefts[3] - 4;
    EXPECT_EQ(image.pixel(ruleX, last.center().y()) | 0xFF000000, qRgb(0, 128, 128));
    const int ruleY = origin.y() + layout.RowTops[3] - 4;
    EXPECT_EQ(image.pixel(plain.center().x(), ruleY) | 0xFF000000, qRgb(0, 128, 128));
    // The nested table: its red border inside cell (2, 3), on white.
    const QRect nestHost = PaintCellRect(data, table, 2, 3);
    EXPECT_GT(PaintCount(image, nestHost, qRgb(255, 0, 0)), 2 * inner->Layout.Width);
    EXPECT_GT(PaintCount(image, nestHost, qRgb(255, 255, 255)), 20);
    // A viewer shows no grid inside the table.
    EXPECT_EQ(PaintCount(image, merged.adjusted(-1, -1, 1, 1), PaintRgb(clBtnFace)), 0);
}

// Selected cells paint in the selection colour, the others in their own; the
// active colour while the editor has the focus is another test's concern.
TEST(RDTablePaint, SelectedCellsPaintTheSelectionColour)
{
    TTableEditor editor(2, 3);
    editor.Sheet.SelColor = clRed;
    editor.Sheet.InactiveSelColor = clLime;
    TRDTableItemInfo& table = *editor.Table;
    TableCell(table, 1, 2).Color = clAqua;
    // Rows 0 and 1 of columns 1 and 2.
    table.SelectCells(0, 1, 1, 1);
    ASSERT_TRUE(table.TableState & TRDTableItemInfo::tsCellsSelected);
    const QImage image = PaintGrab(editor);
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 3; ++col) {
            SCOPED_TRACE(QStringLiteral("%1, %2").arg(row).arg(col).toStdString());
            const QRect cell = PaintCellRect(editor.Data(), table, row, col);
            const int lime = PaintCount(image, cell, PaintRgb(clLime));
            if (col >= 1)
                EXPECT_GT(lime, cell.width() * cell.height() / 2);
            else
                EXPECT_EQ(lime, 0);
        }
    const QRect aqua = PaintCellRect(editor.Data(), table, 1, 2);
    EXPECT_EQ(PaintCount(image, aqua, qRgb(0, 255, 255)), 0);
    // A selection colour of none leaves the cells their own colours.
    editor.Sheet.InactiveSelColor = clNone;
    const QImage plain = PaintGrab(editor);
    EXPECT_GT(PaintCount(plain, aqua, qRgb(0, 255, 255)), aqua.width() * aqua.height() / 2);
}
