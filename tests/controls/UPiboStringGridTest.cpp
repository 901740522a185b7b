#include "UPiboStringGrid.h"

#include "TestSupport.h"

#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QScrollBar>

#include <gtest/gtest.h>

#include <vector>

namespace {

// A list grid as the screens build it: a check-box column, two text columns,
// a button column, ten rows, shown in a window of its own.
struct TListGrid {
    TListGrid()
    {
        Window.resize(420, 340);
        Grid = new TPiboStringGrid(&Window);
        Grid->setGeometry(0, 0, 400, 300);
        Grid->SetColCount(4);
        Grid->SetColWidths(0, 60);
        Grid->SetColWidths(1, 140);
        Grid->SetColWidths(2, 140);
        Grid->SetColWidths(3, 40);
        Grid->SetRowCountEx(10);
        for (int r = 0; r < 10; ++r) {
            Grid->SetCells(0, r, QString::number(r + 1));
            Grid->SetCells(1, r, QStringLiteral("english %1").arg(r));
            Grid->SetCells(2, r, QStringLiteral("中文 %1").arg(r));
        }
        Window.show();
        QApplication::setActiveWindow(&Window);
        Grid->setFocus();
        ProcessEvents();
        Record();
    }

    void Record()
    {
        Grid->OnCellClick = [this](int c, int r) { Events.push_back(QStringLiteral("cell %1 %2").arg(c).arg(r)); };
        Grid->OnSelectClick = [this](int c, int r) {
            Events.push_back(QStringLiteral("select %1 %2").arg(c).arg(r));
        };
        Grid->OnCheckBoxClick = [this](int c, int r) {
            Events.push_back(QStringLiteral("check %1 %2").arg(c).arg(r));
        };
        Grid->OnAddClick = [this](int c, int r) { Events.push_back(QStringLiteral("add %1 %2").arg(c).arg(r)); };
        Grid->OnMouseDown = [this](TMouseButton, Qt::KeyboardModifiers, int, int) { Events.push_back("down"); };
        Grid->OnMouseUp = [this](TMouseButton, Qt::KeyboardModifiers, int, int) { Events.push_back("up"); };
    }

    void ClickAt(QPoint pos)
    {
        QTest::mouseClick(Grid->viewport(), Qt::LeftButton, Qt::NoModifier, pos);
        ProcessEvents();
    }

    QImage Grab()
    {
        ProcessEvents();
        return Grid->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    QWidget Window;
    TPiboStringGrid* Grid;
    std::vector<QString> Events;
};

using TEvents = std::vector<QString>;

TEST(PiboStringGrid, ConstructionDefaults)
{
    TListGrid list;
    TPiboStringGrid& grid = *list.Grid;
    EXPECT_EQ(grid.FixedCols(), 0);
    EXPECT_EQ(grid.FixedRows(), 0);
    EXPECT_EQ(grid.Options(), TGridOptions(goRangeSelect) | goEditing | goAlwaysShowEditor);
    EXPECT_EQ(grid.Color(), 0xFFF4E3u);
    EXPECT_EQ(grid.FocusColorValue(), 0xFFE8C6u);
    EXPECT_EQ(grid.LineColorValue(), 0xF5CB82u);
    EXPECT_TRUE(grid.HasCheckBox());
    EXPECT_TRUE(grid.HasSpeedButton());
    EXPECT_EQ(grid.FirstCheckBoxType(), 1);
}

TEST(PiboStringGrid, CheckBoxClickOnAnotherRow)
{
    TListGrid list;
    TPiboStringGrid& grid = *list.Grid;
    grid.GotoCell(1, 1);
    list.Events.clear();
    list.ClickAt(TPiboStringGrid::CheckBoxRect(grid.CellRect(0, 4)).center());
    EXPECT_EQ(list.Events, (TEvents{"down", "cell 0 4", "check 0 4", "up"}));
    EXPECT_TRUE(grid.GetRowChecked(4));
    EXPECT_FALSE(grid.GetRowChecked(1));
    EXPECT_EQ(grid.Row(), 4);
    EXPECT_EQ(grid.Col(), 1);

    // Beside the check box in the same column: the cell event only.
    list.Events.clear();
    const QRect cell = grid.CellRect(0, 6);
    list.ClickAt(QPoint(cell.left() + 40, cell.center().y()));
    EXPECT_EQ(list.Events, (TEvents{"down", "cell 0 6", "up"}));
    EXPECT_FALSE(grid.GetRowChecked(6));
    EXPECT_EQ(grid.Row(), 4);
}

TEST(PiboStringGrid, ReleasesOnTextButtonAndBelowTheRows)
{
    TListGrid list;
    TPiboStringGrid& grid = *list.Grid;
    list.ClickAt(grid.CellRect(2, 3).center());
    EXPECT_EQ(list.Events, (TEvents{"down", "cell 2 3", "select 2 3", "up"}));
    EXPECT_EQ(grid.Row(), 3);
    EXPECT_EQ(grid.Col(), 2);

    list.Events.clear();
    list.ClickAt(TPiboStringGrid::ButtonRect(grid.CellRect(3, 5)).center());
    EXPECT_EQ(list.Events, (TEvents{"down", "cell 3 5", "add 3 5", "up"}));
    EXPECT_EQ(grid.Row(), 3);  // the button column leaves the current cell

    list.Events.clear();
    list.ClickAt(QPoint(100, 290));  // ten rows of 25 pixels end at 250
    EXPECT_EQ(list.Events, (TEvents{"down", "cell -1 -1", "select -1 -1", "up"}));
}

TEST(PiboStringGrid, DeleteGlyphStillFlipsTheFlag)
{
    TListGrid list;
    TPiboStringGrid& grid = *list.Grid;
    grid.SetFirstCheckBoxType(2);
    list.ClickAt(TPiboStringGrid::CheckBoxRect(grid.CellRect(0, 2)).center());
    EXPECT_EQ(list.Events, (TEvents{"down", "cell 0 2", "check 0 2", "up"}));
    EXPECT_TRUE(grid.GetRowChecked(2));
    // The delete glyph is drawn in place of the check box.
    const QImage image = list.Grab();
    QImage glyph = LoadBitmapResource("DeleteBG");
    const QRect cell = grid.CellRect(0, 0);
    const int top = cell.top() + RoundHalfEven((cell.height() - 12) / 2.0);
    EXPECT_EQ(image.pixel(10 + 6, top + 6), glyph.pixel(6, 6));
}

TEST(PiboStringGrid, KeysAndWheelSelectRows)
{
    TListGrid list;
    TPiboStringGrid& grid = *list.Grid;
    grid.GotoCell(1, 8);
    grid.SetEditorMode(true);  // as the screens do after filling
    list.Events.clear();
    QTest::keyClick(&grid, Qt::Key_Down);
    EXPECT_EQ(grid.Row(), 9);
    QWheelEvent down(QPointF(50, 50), grid.viewport()->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, -120),
                     Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(grid.viewport(), &down);
    // Wheel down on the last row still selects it.
    EXPECT_EQ(grid.Row(), 9);
    QTest::keyClick(&grid, Qt::Key_Up);
    EXPECT_EQ(list.Events, (TEvents{"select 1 9", "select 1 9", "select 1 8"}));
    // The keys also arrive from the editor.
    ASSERT_TRUE(grid.InplaceEdit() && grid.InplaceEdit()->isVisible());
    QTest::keyClick(grid.InplaceEdit(), Qt::Key_Up);
    EXPECT_EQ(grid.Row(), 7);
    EXPECT_EQ(list.Events.back(), "select 1 7");
}

TEST(PiboStringGrid, RowCountExKeepsFlags)
{
    TListGrid list;
    TPiboStringGrid& grid = *list.Grid;
    grid.SetRowCountEx(5);
    for (int r = 0; r < 5; ++r)
        grid.SetRowChecked(r, r % 2 == 0);
    grid.SetRowCountEx(8);
    for (int r = 0; r < 8; ++r)
        EXPECT_EQ(grid.GetRowChecked(r), r < 5 && r % 2 == 0) << r;
    EXPECT_THROW(grid.GetRowChecked(8), EInvalidGridOperation);
}

TEST(PiboStringGrid, DeletingARowTakesItsCheckFlagAlong)
{
    TListGrid list;
    TPiboStringGrid& grid = *list.Grid;
    // The user checks rows 2, 5 and 9 by their check boxes.
    for (int r : {2, 5, 9})
        list.ClickAt(TPiboStringGrid::CheckBoxRect(grid.CellRect(0, r)).center());
    grid.DeleteRow(3);
    ASSERT_EQ(grid.RowCount(), 9);
    for (int r = 0; r < 9; ++r)
        EXPECT_EQ(grid.GetRowChecked(r), r == 2 || r == 4 || r == 8) << r;
    EXPECT_EQ(grid.GetCells(1, 4), QStringLiteral("english 5"));
    EXPECT_EQ(grid.GetCells(1, 8), QStringLiteral("english 9"));
    // Deleting a checked row takes its flag with it.
    grid.DeleteRow(4);
    for (int r = 0; r < 8; ++r)
        EXPECT_EQ(grid.GetRowChecked(r), r == 2 || r == 7) << r;
    EXPECT_THROW(grid.GetRowChecked(8), EInvalidGridOperation);
    EXPECT_THROW(grid.DeleteRow(8), EInvalidGridOperation);

    // The grid's last row stays, blank and unchecked.
    grid.SetRowCountEx(1);
    grid.SetRowChecked(0, true);
    grid.DeleteRow(0);
    EXPECT_EQ(grid.RowCount(), 1);
    EXPECT_FALSE(grid.GetRowChecked(0));
    EXPECT_EQ(grid.GetCells(1, 0), QString());
}

TEST(PiboStringGrid, TheEditorShowsTheStartOfATextWiderThanItsCell)
{
    TListGrid list;
    TPiboStringGrid& grid = *list.Grid;
    const QString longText = QStringLiteral("Good morning, everyone, and welcome to the first lesson of our course");
    grid.SetCells(1, 4, longText);
    grid.GotoCell(1, 0);
    grid.SetEditorMode(true);  // as the screens do after filling
    // A click on the cell moves the editor to it.
    list.ClickAt(grid.CellRect(1, 4).center());
    TInplaceEdit* editor = grid.InplaceEdit();
    ASSERT_TRUE(editor && editor->isVisible());
    ASSERT_EQ(editor->text(), longText);
    ASSERT_GT(editor->fontMetrics().horizontalAdvance(longText), editor->width());
    // All of it is selected, so a typed key replaces it, and the caret is at
    // the start, where the editor shows it.
    EXPECT_EQ(editor->selectedText(), longText);
    EXPECT_EQ(editor->cursorPosition(), 0);
    ProcessEvents();
    EXPECT_LT(editor->inputMethodQuery(Qt::ImCursorRectangle).toRect().left(), 8);
    // Return toggles the selection; selecting again keeps the start in view.
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(editor->selectedText(), longText);
    EXPECT_EQ(editor->cursorPosition(), 0);
    // The next row's text shows its start as well.
    grid.SetCells(1, 5, longText + QStringLiteral(" again"));
    QTest::keyClick(editor, Qt::Key_Down);
    ASSERT_EQ(grid.Row(), 5);
    EXPECT_EQ(grid.InplaceEdit()->cursorPosition(), 0);
    QTest::keyClick(grid.InplaceEdit(), Qt::Key_X);
    EXPECT_EQ(grid.GetCells(1, 5), QStringLiteral("x"));
}

TEST(PiboStringGrid, PaintedLook)
{
    TListGrid list;
    TPiboStringGrid& grid = *list.Grid;
    grid.SetFocusColorValue(0x00FF00);  // green
    grid.SetLineColorValue(0xFF0000);   // blue
    grid.SetRowChecked(2, true);
    grid.GotoCell(1, 2);
    QImage image = list.Grab();

    // The current row is filled with the focus colour, the other rows not.
    const QRect current = grid.CellRect(2, 2);
    EXPECT_EQ(image.pixelColor(current.right() - 3, current.top() + 2), ToQColor(0x00FF00));
    const QRect other = grid.CellRect(2, 5);
    EXPECT_EQ(image.pixelColor(other.right() - 3, other.top() + 2), ToQColor(0xFFF4E3));
    // A line in the line colour at each cell's left.
    EXPECT_EQ(image.pixelColor(other.left(), other.top() + 3), ToQColor(0xFF0000));

    // The check-box pictures 10 pixels into column 0.
    const QImage checked = LoadBitmapResource("GridCheckBoxCheckedBG");
    const QImage unchecked = LoadBitmapResource("GridCheckBoxNotCheckedBG");
    for (const int row : {2, 5}) {
        const QRect box = TPiboStringGrid::CheckBoxRect(grid.CellRect(0, row));
        ASSERT_EQ(box.left(), 10);
        const QImage& picture = row == 2 ? checked : unchecked;
        bool same = true;
        for (int y = 0; y < 13; ++y)
            for (int x = 0; x < 13; ++x)
                same = same && image.pixel(box.left() + x, box.top() + y) == picture.pixel(x, y);
        EXPECT_TRUE(same) << row;
    }

    // Column fonts: the current row's text takes the column's font and colour.
    grid.InitColumns();
    TFont big;
    big.Size = 16;
    big.Bold = true;
    big.Color = 0x0000FF;  // red
    grid.SetColFont(2, big);
    grid.SetCells(2, 2, QStringLiteral("HHHH"));
    image = list.Grab();
    auto countOf = [&](const QRect& r, QColor colour) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                n += image.pixelColor(x, y) == colour;
        return n;
    };
    EXPECT_GT(countOf(grid.CellRect(2, 2), ToQColor(0x0000FF)), 20);
    // A focus font colour wins in the current row only.
    grid.SetFocusFontColor(0x800000);
    grid.SetCells(2, 3, QStringLiteral("HHHH"));
    image = list.Grab();
    EXPECT_EQ(countOf(grid.CellRect(2, 2), ToQColor(0x0000FF)), 0);
    EXPECT_GT(countOf(grid.CellRect(2, 3), ToQColor(0x0000FF)), 20);
}

TEST(PiboStringGrid, TopAlignedFollowsTheParentsWidth)
{
    QWidget panel;
    panel.resize(300, 200);
    panel.show();
    ProcessEvents();
    auto* grid = new TPiboStringGrid(&panel);
    grid->resize(100, 80);
    grid->SetAlign(alTop);
    EXPECT_EQ(grid->geometry(), QRect(0, 0, 300, 80));
    panel.resize(420, 150);
    ProcessEvents();
    EXPECT_EQ(grid->geometry(), QRect(0, 0, 420, 80));
    grid->SetAlign(alClient);
    EXPECT_EQ(grid->geometry(), QRect(0, 0, 420, 150));
    grid->SetAlign(alNone);
    panel.resize(500, 500);
    ProcessEvents();
    EXPECT_EQ(grid->geometry(), QRect(0, 0, 420, 150));
}

TEST(PiboStringGrid, ThousandsOfRows)
{
    TListGrid list;
    TPiboStringGrid& grid = *list.Grid;
    grid.SetRowCountEx(5000);
    for (int r = 0; r < 5000; ++r)
        grid.SetCells(1, r, QString::number(r));
    grid.GotoCell(1, 0);
    QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(grid.Row(), 4999);
    EXPECT_EQ(grid.Col(), 3);
    grid.GotoCell(1, 4999);
    grid.SetEditorMode(true);
    ASSERT_TRUE(grid.InplaceEdit() && grid.InplaceEdit()->isVisible());
    EXPECT_EQ(grid.TopRow(), 4999 - grid.VisibleRowCount() + 1);
    EXPECT_EQ(grid.verticalScrollBar()->value(), 127);
    QTest::keyClick(grid.InplaceEdit(), Qt::Key_PageUp);
    EXPECT_EQ(grid.Row(), 4999 - (grid.VisibleRowCount() - 1));
    // Typing into the editor writes the cell.
    QTest::keyClicks(grid.InplaceEdit(), "x");
    EXPECT_EQ(grid.GetCells(1, grid.Row()), "x");
}

}  // namespace
