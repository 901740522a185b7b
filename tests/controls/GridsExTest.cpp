#include "GridsEx.h"

#include "ApplicationException.h"
#include "TestSupport.h"

#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QScrollBar>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// A string grid shown in a window of its own, its client area of a known size.
struct TShownGrid {
    explicit TShownGrid(int width = 322, int height = 122)
    {
        Window.resize(width + 40, height + 40);
        Grid = new TStringGrid(&Window);
        Grid->SetBorderStyle(bsNone);
        Grid->setGeometry(0, 0, width, height);
        Window.show();
        QApplication::setActiveWindow(&Window);
        ProcessEvents();
    }
    QWidget Window;
    TStringGrid* Grid;
};

QString MessageOf(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
    return QString();
}

void SendKey(QWidget* target, int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = QString())
{
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods, text);
    QCoreApplication::sendEvent(target, &release);
}

void SendMouse(QWidget* target, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers mods = Qt::NoModifier, ulong timestamp = 0)
{
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, QPointF(pos), target->mapToGlobal(QPointF(pos)), button, buttons, mods);
    event.setTimestamp(timestamp);
    QCoreApplication::sendEvent(target, &event);
}

void SendWheel(QWidget* target, int delta, QPoint pos = {5, 5})
{
    QWheelEvent event(QPointF(pos), target->mapToGlobal(QPointF(pos)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(target, &event);
}

// ---------------------------------------------------------------------------
// Model (counts, fixed counts, extents)
// ---------------------------------------------------------------------------

TEST(GridModel, CountsAndFixedCounts)
{
    TShownGrid shown;
    TStringGrid& grid = *shown.Grid;
    EXPECT_EQ(grid.ColCount(), 5);
    EXPECT_EQ(grid.FixedCols(), 1);
    EXPECT_EQ(grid.Col(), 1);
    EXPECT_EQ(grid.Row(), 1);

    grid.SetColCount(0);
    EXPECT_EQ(grid.ColCount(), 1);
    EXPECT_EQ(grid.FixedCols(), 0);

    struct TCase {
        const char* What;
        std::function<void()> Action;
        QString Message;
    };
    TShownGrid other;
    TStringGrid& g = *other.Grid;
    const std::vector<TCase> cases = {
        {"fixed rows = row count", [&] { g.SetFixedRows(g.RowCount()); },
         "Fixed row count must be less than row count"},
        {"fixed cols = col count", [&] { g.SetFixedCols(g.ColCount()); },
         "Fixed column count must be less than column count"},
        {"negative fixed", [&] { g.SetFixedRows(-1); }, "Grid index out of range"},
        {"width beyond last column", [&] { g.SetColWidths(g.ColCount(), 10); }, "Grid index out of range"},
        {"negative width index", [&] { g.SetColWidths(-1, 10); }, "Grid index out of range"},
        {"current cell outside", [&] { g.SetRow(99); }, "Grid index out of range"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(MessageOf(c.Action), c.Message) << c.What;
        EXPECT_EQ(g.FixedRows(), 1) << c.What;
        EXPECT_EQ(g.FixedCols(), 1) << c.What;
    }
}

TEST(GridModel, HugeCountsWithExtentsFailAndRestore)
{
    TShownGrid shown;
    TStringGrid& grid = *shown.Grid;
    grid.SetRowHeights(2, 30);  // the row heights now exist as an array
    EXPECT_EQ(MessageOf([&] { grid.SetRowCount(200000000); }), "Grid too large for operation");
    EXPECT_EQ(grid.RowCount(), 5);
    EXPECT_EQ(grid.RowHeights(2), 30);
    // Without individual extents a large count costs nothing.
    TShownGrid plain;
    plain.Grid->SetRowCount(200000000);
    EXPECT_EQ(plain.Grid->RowCount(), 200000000);
    EXPECT_EQ(plain.Grid->RowHeights(199999999), 24);
}

TEST(GridModel, DefaultExtentDropsIndividualOnes)
{
    TShownGrid shown;
    TStringGrid& grid = *shown.Grid;
    grid.SetColWidths(1, 100);
    grid.SetColWidths(3, 10);
    grid.SetDefaultColWidth(40);
    for (int c = 0; c < grid.ColCount(); ++c)
        EXPECT_EQ(grid.ColWidths(c), 40);
    grid.SetColCount(8);
    EXPECT_EQ(grid.ColWidths(7), 40);
}

TEST(GridModel, CellRectsAndHitTest)
{
    TShownGrid shown;
    TStringGrid& grid = *shown.Grid;
    // 64 + 1 line per column, 24 + 1 per row.
    EXPECT_EQ(grid.CellRect(0, 0), Rect(0, 0, 64, 24));
    EXPECT_EQ(grid.CellRect(2, 1), Rect(130, 25, 194, 49));
    int col = 0, row = 0;
    grid.MouseToCell(131, 26, col, row);
    EXPECT_EQ(col, 2);
    EXPECT_EQ(row, 1);
    grid.MouseToCell(131, 500, col, row);
    EXPECT_EQ(col, -1);
    EXPECT_EQ(row, -1);

    // Without any line option the cells touch.
    grid.SetOptions(goRangeSelect);
    EXPECT_EQ(grid.CellRect(1, 0).left(), grid.CellRect(0, 0).left() + grid.CellRect(0, 0).width());
    EXPECT_EQ(grid.CellRect(0, 1).top(), 24);
}

// ---------------------------------------------------------------------------
// Painting
// ---------------------------------------------------------------------------

TEST(GridPaint, SelectedCellKeepsTheBrushAndLinesFollowOptions)
{
    TShownGrid shown;
    TStringGrid& grid = *shown.Grid;
    grid.SetColor(0x00FFFF);        // yellow
    grid.SetFixedColor(0xFF0000);   // blue
    grid.SetFixedCols(0);
    grid.SetFixedRows(0);
    // Cells (1,1) to (2,2) selected; the grid is not focused.
    grid.setFocusPolicy(Qt::NoFocus);
    grid.SetSelection(TGridRect{1, 1, 2, 2});
    ProcessEvents();
    const QImage image = grid.viewport()->grab().toImage();
    // An unselected cell gets the grid colour.
    EXPECT_EQ(image.pixelColor(10, 10), ToQColor(0x00FFFF));
    // A selected cell keeps the brush of the cell drawn before it: the grid
    // colour as well, never a highlight colour.
    EXPECT_EQ(image.pixelColor(64 + 1 + 10, 25 + 10), ToQColor(0x00FFFF));
    // The line after the first column is silver in the scrolling area.
    EXPECT_EQ(image.pixelColor(64, 10), ToQColor(0xC0C0C0));

    grid.SetOptions(goRangeSelect);
    const QImage noLines = grid.viewport()->grab().toImage();
    EXPECT_EQ(noLines.pixelColor(64, 10), ToQColor(0x00FFFF));
}

// ---------------------------------------------------------------------------
// Scrolling and scroll bars
// ---------------------------------------------------------------------------

TEST(GridScroll, ThumbPositionRangesAndPullBack)
{
    TShownGrid shown(200, 250);  // ten rows of 25 pixels
    TStringGrid& grid = *shown.Grid;
    grid.SetScrollBars(ssVertical);
    grid.SetColCount(2);
    grid.SetRowCount(100);
    ProcessEvents();
    ASSERT_EQ(grid.VisibleRowCount(), 9);  // one fixed row plus nine
    grid.SetTopRow(45);
    QScrollBar* bar = grid.verticalScrollBar();
    EXPECT_EQ(bar->maximum(), 127);
    const int maxTop = 100 - 9;
    EXPECT_EQ(bar->value(), (44 * 127 + (maxTop - 1) / 2) / (maxTop - 1));

    // Removing rows pulls the top row back.
    grid.SetRowCount(30);
    ProcessEvents();
    EXPECT_EQ(grid.TopRow(), 30 - 9);

    // All rows fit: no range.
    grid.SetRowCount(5);
    ProcessEvents();
    EXPECT_EQ(bar->maximum(), 0);
    EXPECT_EQ(grid.TopRow(), 1);
}

TEST(GridScroll, ThumbTrackingOnlyWithTheOption)
{
    TShownGrid shown(200, 250);
    TStringGrid& grid = *shown.Grid;
    grid.SetColCount(2);
    grid.SetRowCount(100);
    ProcessEvents();
    QScrollBar* bar = grid.verticalScrollBar();
    for (const bool tracking : {false, true}) {
        grid.SetTopRow(1);
        grid.SetOptions(tracking ? grid.Options() | goThumbTracking : grid.Options() & ~TGridOptions(goThumbTracking));
        bar->setSliderDown(true);
        bar->setSliderPosition(127);
        EXPECT_EQ(grid.TopRow(), tracking ? 91 : 1) << tracking;
        bar->setSliderDown(false);  // the release always moves the grid
        EXPECT_EQ(grid.TopRow(), 91) << tracking;
    }
    // Line and page steps.
    grid.SetTopRow(10);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(grid.TopRow(), 11);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(grid.TopRow(), 19);
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(grid.TopRow(), 1);
}

TEST(GridScroll, OneColumnScrollsByPixels)
{
    TShownGrid shown(200, 150);
    TStringGrid& grid = *shown.Grid;
    grid.SetFixedCols(0);
    grid.SetColCount(1);
    grid.SetColWidths(0, 500);
    ProcessEvents();
    QScrollBar* bar = grid.horizontalScrollBar();
    ASSERT_EQ(bar->maximum(), 500 - grid.ClientWidth());
    const int zero = QFontMetrics(grid.Font().ToQFont()).horizontalAdvance(QLatin1Char('0'));
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(grid.ColOffset(), zero);
    EXPECT_EQ(bar->value(), zero);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(grid.ColOffset(), 500 - grid.ClientWidth());
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(grid.ColOffset(), 0);
    // The left end shows the column's left edge.
    EXPECT_EQ(grid.CellRect(0, 1).left(), 0);
}

// ---------------------------------------------------------------------------
// Navigation and mouse
// ---------------------------------------------------------------------------

struct TKeyCase {
    const char* What;
    int StartCol;
    int Key;
    Qt::KeyboardModifiers Mods;
    TGridOptions ExtraOptions;
    int Col;
    int Row;
    int LeftCol;
};

TEST(GridNavigation, KeysBesideTheCheckBoxAndButtonColumns)
{
    const std::vector<TKeyCase> cases = {
        {"Left next to the check-box column", 1, Qt::Key_Left, Qt::NoModifier, {}, 1, 2, 0},
        {"Home still goes to the first column", 2, Qt::Key_Home, Qt::NoModifier, {}, 0, 2, 0},
        {"Right next to the button column", 3, Qt::Key_Right, Qt::NoModifier, {}, 3, 2, 0},
        {"End still goes to the last column", 2, Qt::Key_End, Qt::NoModifier, {}, 4, 2, 1},
        {"Right inside", 2, Qt::Key_Right, Qt::NoModifier, {}, 3, 2, 0},
        {"Down", 2, Qt::Key_Down, Qt::NoModifier, {}, 2, 3, 0},
        {"Ctrl+Home", 2, Qt::Key_Home, Qt::ControlModifier, {}, 0, 0, 0},
        {"Ctrl+End", 2, Qt::Key_End, Qt::ControlModifier, {}, 4, 9, 1},
        {"Ctrl+Left with row select", 2, Qt::Key_Left, Qt::ControlModifier, goRowSelect, 0, 2, 0},
        {"Tab with tabs", 4, Qt::Key_Tab, Qt::NoModifier, goTabs, 0, 3, 0},
    };
    for (const TKeyCase& c : cases) {
        TShownGrid shown;
        TStringGrid& grid = *shown.Grid;
        grid.SetFixedCols(0);
        grid.SetFixedRows(0);
        grid.SetRowCount(10);
        grid.SetOptions(grid.Options() | c.ExtraOptions);
        grid.setFocus();
        grid.SetRow(2);
        grid.SetCol(c.StartCol);
        SendKey(&grid, c.Key, c.Mods);
        EXPECT_EQ(grid.Col(), c.Col) << c.What;
        EXPECT_EQ(grid.Row(), c.Row) << c.What;
        EXPECT_EQ(grid.LeftCol(), c.LeftCol) << c.What;
    }
}

TEST(GridNavigation, PressInTheCheckBoxColumnTouchesNothing)
{
    TShownGrid shown;
    TStringGrid& grid = *shown.Grid;
    grid.SetFixedCols(0);
    grid.SetFixedRows(0);
    grid.setFocusPolicy(Qt::StrongFocus);
    grid.SetRow(2);
    grid.SetCol(2);
    std::vector<QString> events;
    grid.OnMouseDown = [&](TMouseButton, Qt::KeyboardModifiers, int, int) { events.push_back("down"); };
    grid.OnMouseUp = [&](TMouseButton, Qt::KeyboardModifiers, int, int) { events.push_back("up"); };
    grid.OnClick = [&] { events.push_back("click"); };
    const QRect box = grid.CellRect(0, 4);
    SendMouse(grid.viewport(), QEvent::MouseButtonPress, box.center());
    EXPECT_EQ(grid.Col(), 2);
    EXPECT_EQ(grid.Row(), 2);
    EXPECT_EQ(grid.Selection(), (TGridRect{2, 2, 2, 2}));
    SendMouse(grid.viewport(), QEvent::MouseButtonRelease, box.center());
    EXPECT_EQ(events, (std::vector<QString>{"down", "up"}));

    // An ordinary cell becomes current and fires the click.
    events.clear();
    const QRect cell = grid.CellRect(1, 3);
    SendMouse(grid.viewport(), QEvent::MouseButtonPress, cell.center());
    SendMouse(grid.viewport(), QEvent::MouseButtonRelease, cell.center());
    EXPECT_EQ(grid.Col(), 1);
    EXPECT_EQ(grid.Row(), 3);
}

TEST(GridNavigation, SizingBorderAndRightButton)
{
    TShownGrid shown;
    TStringGrid& grid = *shown.Grid;
    grid.SetOptions(grid.Options() | goColSizing);
    // The border between columns 1 and 2 in the fixed row.
    const int border = grid.CellRect(1, 0).left() + grid.CellRect(1, 0).width();
    SendMouse(grid.viewport(), QEvent::MouseButtonPress, QPoint(border, 5), Qt::RightButton);
    EXPECT_EQ(grid.GridState(), gsColSizing);
    SendMouse(grid.viewport(), QEvent::MouseMove, QPoint(border + 20, 5), Qt::RightButton);
    SendMouse(grid.viewport(), QEvent::MouseButtonRelease, QPoint(border + 20, 5), Qt::RightButton);
    EXPECT_EQ(grid.GridState(), gsNormal);
    EXPECT_EQ(grid.ColWidths(1), 84);
}

// A grid whose 60 ms timer a test can fire at once.
class TTimedGrid : public TStringGrid {
public:
    void FireTimer()
    {
        ASSERT_TRUE(FTimer.isActive());
        QTimerEvent event(FTimer.timerId());
        QCoreApplication::sendEvent(this, &event);
    }
    bool TimerActive() const { return FTimer.isActive(); }
};

TEST(GridNavigation, SelectingBeyondTheEdgeScrollsWithTheTimer)
{
    QWidget window;
    window.resize(400, 300);
    auto* grid = new TTimedGrid;
    grid->setParent(&window);
    grid->SetBorderStyle(bsNone);
    grid->setGeometry(0, 0, 322, 252);
    grid->SetRowCount(100);
    window.show();
    ProcessEvents();
    const int lastVisible = grid->TopRow() + grid->VisibleRowCount() - 1;
    const QPoint start = grid->CellRect(1, 2).center();
    SendMouse(grid->viewport(), QEvent::MouseButtonPress, start);
    EXPECT_EQ(grid->GridState(), gsSelecting);
    EXPECT_TRUE(grid->TimerActive());
    SendMouse(grid->viewport(), QEvent::MouseMove, QPoint(start.x(), grid->ClientHeight() + 30));
    const TGridRect before = grid->Selection();
    grid->FireTimer();
    EXPECT_EQ(grid->Selection().Bottom, before.Bottom + 1);
    for (int i = 0; i < 8; ++i)
        grid->FireTimer();
    EXPECT_EQ(grid->Selection().Bottom, before.Bottom + 9);
    EXPECT_GT(grid->Selection().Bottom, lastVisible);
    EXPECT_GT(grid->TopRow(), 1);  // the anchor is kept in view
    SendMouse(grid->viewport(), QEvent::MouseButtonRelease, QPoint(start.x(), grid->ClientHeight() + 30));
    EXPECT_EQ(grid->GridState(), gsNormal);
    EXPECT_FALSE(grid->TimerActive());
    EXPECT_EQ(grid->Row(), 2);
}

TEST(GridNavigation, DraggingAFixedCellMovesTheRow)
{
    TShownGrid shown;
    TStringGrid& grid = *shown.Grid;
    grid.SetHasCheckBox(false);  // column 0 takes presses again
    grid.SetOptions(grid.Options() | goRowMoving);
    grid.SetCells(1, 1, "first");
    grid.SetCells(1, 3, "third");
    std::vector<std::pair<int, int>> moves;
    grid.OnRowMoved = [&](int from, int to) { moves.emplace_back(from, to); };
    SendMouse(grid.viewport(), QEvent::MouseButtonPress, grid.CellRect(0, 1).center());
    EXPECT_EQ(grid.GridState(), gsRowMoving);
    // Moves over the scrolling cells carry the line along.
    SendMouse(grid.viewport(), QEvent::MouseMove, grid.CellRect(1, 3).center());
    SendMouse(grid.viewport(), QEvent::MouseButtonRelease, grid.CellRect(1, 3).center());
    EXPECT_EQ(moves, (std::vector<std::pair<int, int>>{{1, 3}}));
    EXPECT_EQ(grid.GetCells(1, 3), "first");
    EXPECT_EQ(grid.GetCells(1, 2), "third");
    EXPECT_EQ(grid.Row(), 3);  // the current row moved with it
}

TEST(GridNavigation, WheelMovesTheCurrentRow)
{
    TShownGrid shown;
    TStringGrid& grid = *shown.Grid;
    grid.SetRowCount(4);
    int handledUp = 0;
    grid.OnMouseWheelUp = [&](Qt::KeyboardModifiers, QPoint, bool&) { ++handledUp; };
    // On the first scrolling row wheel up does nothing but counts as handled.
    EXPECT_TRUE(grid.DoMouseWheelUp(Qt::NoModifier, QPoint()));
    EXPECT_EQ(grid.Row(), 1);
    SendWheel(grid.viewport(), -120);
    SendWheel(grid.viewport(), -240);
    EXPECT_EQ(grid.Row(), 3);
    SendWheel(grid.viewport(), 120);
    EXPECT_EQ(grid.Row(), 2);
    EXPECT_EQ(handledUp, 2);
}

TEST(GridNavigation, RightToLeftMirrorsCellsAndKeys)
{
    TShownGrid shown;
    TStringGrid& grid = *shown.Grid;
    grid.setLayoutDirection(Qt::RightToLeft);
    ProcessEvents();
    const int width = grid.ClientWidth();
    EXPECT_EQ(grid.CellRect(0, 0), Rect(width - 64, 0, width, 24));
    int col = 0, row = 0;
    grid.MouseToCell(width - 5, 30, col, row);
    EXPECT_EQ(col, 0);
    EXPECT_EQ(row, 1);
    grid.SetCol(2);
    int key = Qt::Key_Right;
    grid.KeyDown(key, Qt::NoModifier);
    EXPECT_EQ(grid.Col(), 1);
}

// ---------------------------------------------------------------------------
// In-place editor
// ---------------------------------------------------------------------------

TEST(GridEditor, PlacementOverTheCell)
{
    EXPECT_EQ(InplaceEditorRect(Rect(100, 50, 164, 74), 13), Rect(101, 54, 162, 74));
    EXPECT_EQ(InplaceEditorRect(Rect(0, 0, 64, 25), 13), Rect(1, 4, 62, 25));  // 6 rounds to even 6, 6-2
    EXPECT_EQ(InplaceEditorRect(Rect(0, 0, 64, 23), 12), Rect(1, 4, 62, 23));  // 5.5 rounds to 6
}

struct TEditorGrid : TShownGrid {
    explicit TEditorGrid(TGridOptions extra = {})
    {
        Grid->SetHasCheckBox(false);
        Grid->SetHasSpeedButton(false);
        Grid->SetOptions(Grid->Options() | goEditing | extra);
        Grid->setFocus();
        ProcessEvents();
    }
};

TEST(GridEditor, TypingChangesTheCellAtEveryKey)
{
    TEditorGrid shown;
    TStringGrid& grid = *shown.Grid;
    grid.SetCells(1, 1, "x");
    std::vector<QString> seen;
    grid.OnSetEditText = [&](int, int, const QString& value) { seen.push_back(value); };
    SendKey(&grid, Qt::Key_A, Qt::NoModifier, "a");
    ASSERT_TRUE(grid.InplaceEdit());
    EXPECT_TRUE(grid.EditorMode());
    EXPECT_EQ(grid.GetCells(1, 1), "a");
    SendKey(grid.InplaceEdit(), Qt::Key_B, Qt::NoModifier, "b");
    EXPECT_EQ(grid.GetCells(1, 1), "ab");
    SendKey(grid.InplaceEdit(), Qt::Key_Backspace, Qt::NoModifier, QString(QChar(8)));
    EXPECT_EQ(grid.GetCells(1, 1), "a");
    EXPECT_EQ(seen, (std::vector<QString>{"a", "ab", "a"}));

    // The editor lies over the cell as placed.
    const QRect cell = grid.CellRect(1, 1);
    const QRect expected = InplaceEditorRect(cell, TextHeightOf(grid.Font(), "SAMPLE"));
    EXPECT_EQ(grid.InplaceEdit()->geometry(), expected);

    // Escape reaches the grid's key handling and the text stays.
    std::vector<int> keys;
    grid.OnKeyDown = [&](int& key, Qt::KeyboardModifiers) { keys.push_back(key); };
    SendKey(grid.InplaceEdit(), Qt::Key_Escape, Qt::NoModifier, QString(QChar(27)));
    EXPECT_EQ(keys, (std::vector<int>{Qt::Key_Escape}));
    EXPECT_EQ(grid.GetCells(1, 1), "a");

    // Writing the cell from outside reloads the editor.
    grid.SetCells(1, 1, "outside");
    EXPECT_EQ(grid.InplaceEdit()->text(), "outside");
}

TEST(GridEditor, CtrlLeftPagesOnlyWithAlwaysShowEditor)
{
    for (const bool always : {true, false}) {
        TEditorGrid shown(always ? TGridOptions(goAlwaysShowEditor) : TGridOptions());
        TStringGrid& grid = *shown.Grid;
        grid.SetColCount(12);
        grid.SetCol(8);
        grid.SetCells(8, 1, "one two");
        grid.ShowEditor();
        ASSERT_TRUE(grid.InplaceEdit() && grid.InplaceEdit()->isVisible()) << always;
        grid.InplaceEdit()->setCursorPosition(7);
        SendKey(grid.InplaceEdit(), Qt::Key_Left, Qt::ControlModifier);
        if (always) {
            EXPECT_LT(grid.Col(), 8);
        } else {
            EXPECT_EQ(grid.Col(), 8);
            EXPECT_EQ(grid.InplaceEdit()->cursorPosition(), 4);
        }
    }
}

TEST(GridEditor, CheckBoxColumnTurnsTheEditorModeOff)
{
    TShownGrid shown;
    TStringGrid& grid = *shown.Grid;
    grid.SetFixedCols(0);
    grid.SetOptions(grid.Options() | goEditing | goAlwaysShowEditor);
    grid.setFocus();
    grid.SetCol(1);
    EXPECT_FALSE(grid.InplaceEdit());  // the mode went off in column 0
    grid.SetEditorMode(true);
    ASSERT_TRUE(grid.InplaceEdit() && grid.InplaceEdit()->isVisible());
    const QRect where = grid.InplaceEdit()->geometry();
    grid.SetCol(0);
    EXPECT_FALSE(grid.EditorMode());
    EXPECT_EQ(grid.InplaceEdit()->geometry(), where);
    grid.SetCol(1);
    EXPECT_FALSE(grid.EditorMode());
    grid.SetEditorMode(true);
    EXPECT_TRUE(grid.InplaceEdit()->isVisible());
}

TEST(GridEditor, FailureHandingTextToTheCellIsCaughtAtTheEvent)
{
    TEditorGrid shown;
    TStringGrid& grid = *shown.Grid;
    QString reported;
    SetApplicationExceptionHandler([&](const QString& message) { reported = message; });
    grid.OnSetEditText = [](int, int, const QString&) { throw EInvalidGridOperation("Grid index out of range"); };
    SendKey(&grid, Qt::Key_A, Qt::NoModifier, "a");
    SetApplicationExceptionHandler({});
    EXPECT_EQ(reported, "Grid index out of range");
    EXPECT_EQ(grid.GetCells(1, 1), "a");
}

TEST(GridEditor, SecondPressOnTheEditorIsTheGridsDoubleClick)
{
    TEditorGrid shown(goAlwaysShowEditor);
    TStringGrid& grid = *shown.Grid;
    int doubles = 0;
    grid.OnDblClick = [&] { ++doubles; };
    const QPoint at = grid.CellRect(2, 2).center();
    SendMouse(grid.viewport(), QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::NoModifier, 1000);
    SendMouse(grid.viewport(), QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoModifier, 1010);
    ASSERT_TRUE(grid.InplaceEdit() && grid.InplaceEdit()->isVisible());
    TInplaceEdit* edit = grid.InplaceEdit();
    SendMouse(edit, QEvent::MouseButtonPress, QPoint(3, 3), Qt::LeftButton, Qt::NoModifier, 1100);
    SendMouse(edit, QEvent::MouseButtonRelease, QPoint(3, 3), Qt::LeftButton, Qt::NoModifier, 1110);
    EXPECT_EQ(doubles, 1);
    // Long after, a press is a press.
    SendMouse(edit, QEvent::MouseButtonPress, QPoint(3, 3), Qt::LeftButton, Qt::NoModifier, 90000);
    EXPECT_EQ(doubles, 1);
}

// ---------------------------------------------------------------------------
// Sparse storage and the string grid
// ---------------------------------------------------------------------------

TEST(GridStrings, SparseCases)
{
    TShownGrid shown;
    TStringGrid& grid = *shown.Grid;
    grid.SetRowCount(2000);
    const std::size_t empty = grid.StorageBytes();
    EXPECT_EQ(grid.GetCells(3, 1000), "");
    EXPECT_EQ(grid.StorageBytes(), empty);  // reading allocates nothing

    grid.SetCells(3, 1000, "x");
    EXPECT_EQ(grid.GetCells(3, 1000), "x");
    EXPECT_GT(grid.StorageBytes(), empty);
    const std::size_t one = grid.StorageBytes();
    grid.SetCells(3, 1000, "");
    EXPECT_LT(grid.StorageBytes(), one);  // the record goes, the row list stays
    EXPECT_EQ(grid.GetCells(3, 1000), "");

    // A cell with an object keeps its record for an empty text.
    int token = 0;
    grid.SetObjects(2, 7, &token);
    grid.SetCells(2, 7, "");
    EXPECT_EQ(grid.GetObjects(2, 7), &token);

    EXPECT_EQ(MessageOf([&] { grid.GetCells(0, -1); }), "List index out of bounds (-1)");
    EXPECT_EQ(MessageOf([&] { grid.Rows(3).Insert(0, "a"); }), "Cannot insert or delete rows from grid");
    EXPECT_EQ(MessageOf([&] { grid.Cols(1).Delete(0); }), "Cannot insert or delete rows from grid");

    TShownGrid small;
    TStringGrid& s = *small.Grid;
    for (int r = 0; r < s.RowCount(); ++r)
        s.SetCells(2, r, "t");
    EXPECT_EQ(s.Cols(2).Add("more"), -1);
    EXPECT_EQ(s.Cols(3).Add(""), 0);
    EXPECT_EQ(s.GetCells(3, 0), " ");
    s.Rows(1).Assign(QStringList{"a", "b", "c", "d", "e", "f", "g"});
    EXPECT_EQ(s.Rows(1).ToStringList(), (QStringList{"a", "b", "c", "d", "e"}));
    s.Rows(1).Clear();
    EXPECT_EQ(s.Rows(1).ToStringList(), (QStringList{"", "", "", "", ""}));
}

TEST(GridStrings, SparseListOperations)
{
    TSparseList list(TSparsePointerArray::ss16);
    int a = 0, b = 0, c = 0;
    list.Put(0, &a);
    list.Put(40, &b);
    EXPECT_EQ(list.Count(), 41);
    list.Insert(1, &c);
    EXPECT_EQ(list.Get(41), &b);
    EXPECT_EQ(list.Count(), 42);
    list.Delete(0);
    EXPECT_EQ(list.Get(0), &c);
    EXPECT_EQ(list.Get(40), &b);
    list.Move(40, 2);
    EXPECT_EQ(list.Get(2), &b);
    list.Put(2, nullptr);
    EXPECT_EQ(list.Count(), 1);
    std::vector<int> seen;
    list.ForAll([&](int index, void*) {
        seen.push_back(index);
        return 0;
    });
    EXPECT_EQ(seen, std::vector<int>{0});
    EXPECT_EQ(MessageOf([&] { list.Put(-3, &a); }), "List index out of bounds (-3)");
}

TEST(GridStrings, MovingRowsAndColumnsMovesTheData)
{
    TShownGrid shown;
    TStringGrid& grid = *shown.Grid;
    grid.SetCells(1, 1, "a");
    grid.SetCells(2, 1, "b");
    grid.SetCells(1, 2, "c");
    std::vector<std::pair<int, int>> moves;
    grid.OnColumnMoved = [&](int from, int to) { moves.emplace_back(from, to); };
    grid.MoveColumn(1, 3);
    EXPECT_EQ(grid.GetCells(3, 1), "a");
    EXPECT_EQ(grid.GetCells(1, 1), "b");
    grid.MoveRow(2, 1);
    EXPECT_EQ(grid.GetCells(3, 2), "a");
    EXPECT_EQ(grid.GetCells(1, 1), "");
    EXPECT_EQ(moves, (std::vector<std::pair<int, int>>{{1, 3}}));
}

}  // namespace
