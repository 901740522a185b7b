// What the editor repaints after a change (only the rows concerned, and of
// a paint only the rows and parts inside it), the overlay notifications
// around changes, the search-and-replace answer, the mouse cursor, the key
// and mouse handler chains, and the highlighter's states kept per line.
#include "TextEdit.h"
#include "TextEditCommandTable.h"
#include "TextEditHighlighter.h"

#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtGui/QPixmap>
#include <QtGui/QScreen>
#include <QtGui/QGuiApplication>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// An editor shown offscreen with 30 numbered lines; records which lines
// each paint drew: the text through the special-line question (asked once
// per painted row), the gutter through its text question.
struct TPaintedEditor {
    TTextEdit e;
    std::set<int> text;
    std::set<int> gutter;

    explicit TPaintedEditor(bool gutterShown = true)
    {
        e.resize(400, 300);
        e.Gutter().SetVisible(gutterShown);
        e.Gutter().SetShowLineNumbers(gutterShown);
        QStringList lines;
        for (int i = 1; i <= 30; ++i)
            lines << QStringLiteral("line %1 中文").arg(i);
        SetText(e, lines);
        e.OnSpecialLineColors = [this](TCustomTextEdit*, int line, bool&, TColor&, TColor&) { text.insert(line); };
        e.OnGutterGetText = [this](TCustomTextEdit*, int line, QString&) { gutter.insert(line); };
        e.show();
        Settle();
    }
    // Delivers the pending paints and starts a new record.
    void Settle()
    {
        QApplication::processEvents();
        text.clear();
        gutter.clear();
    }
    // Delivers the pending paints and answers the text lines drawn.
    std::set<int> Painted()
    {
        QApplication::processEvents();
        return text;
    }
    std::set<int> From(int first) const
    {
        std::set<int> lines;
        for (int l = first; l <= e.TopRow() + e.RowsInWindow(); ++l)
            if (l <= e.Lines().Count())
                lines.insert(l);
        return lines;
    }
};

}  // namespace

TEST(TextEditRepaint, OnlyTheRowsAChangeConcerns)
{
    TPaintedEditor p;
    ASSERT_GT(p.e.RowsInWindow(), 12);
    TTextEdit& e = p.e;
    // A caret move: the old and the new row.
    e.DispatchEditorCommand(ecDown, QChar());
    EXPECT_EQ(p.Painted(), (std::set<int>{1, 2}));
    EXPECT_EQ(p.gutter, (std::set<int>{1, 2}));
    p.Settle();
    // A jump: the two rows, not the rows between them.
    TBufferCoord to = BufferCoord(3, 10);
    e.DispatchEditorCommand(ecGotoXY, QChar(), &to);
    EXPECT_EQ(p.Painted(), (std::set<int>{2, 10}));
    p.Settle();
    // Typing: the caret's row.
    e.DispatchEditorCommand(ecChar, QLatin1Char('x'));
    EXPECT_EQ(p.Painted(), (std::set<int>{10}));
    p.Settle();
    e.DispatchEditorCommand(ecChar, QStringLiteral("好")[0]);
    EXPECT_EQ(p.Painted(), (std::set<int>{10}));
    p.Settle();
    // Selecting down: the rows the selection's end crossed.
    e.DispatchEditorCommand(ecSelDown, QChar());
    EXPECT_EQ(p.Painted(), (std::set<int>{10, 11}));
    p.Settle();
    // Collapsing a selection of three lines repaints them.
    e.DispatchEditorCommand(ecSelDown, QChar());
    p.Settle();
    e.DispatchEditorCommand(ecRight, QChar());
    EXPECT_EQ(p.Painted(), (std::set<int>{10, 11, 12}));
    p.Settle();
    // A line break moves every line below it: the rest of the window.
    e.DispatchEditorCommand(ecLineBreak, QChar());
    EXPECT_EQ(p.Painted(), p.From(12));
    p.Settle();
    // Undo of it as well.
    e.Undo();
    EXPECT_EQ(p.Painted(), p.From(12));
    p.Settle();
    // A line changed from outside through the lines: that line.
    e.Lines().Put(4, QStringLiteral("changed"));
    EXPECT_EQ(p.Painted(), (std::set<int>{5}));
}

TEST(TextEditRepaint, NamedRowsAndParts)
{
    TPaintedEditor p;
    TTextEdit& e = p.e;
    // A text row only: no gutter.
    e.RepaintLine(7);
    EXPECT_EQ(p.Painted(), (std::set<int>{7}));
    EXPECT_TRUE(p.gutter.empty());
    p.Settle();
    // Gutter rows only: no text.
    e.InvalidateGutterLines(5, 6);
    EXPECT_TRUE(p.Painted().empty());
    EXPECT_EQ(p.gutter, (std::set<int>{5, 6}));
    p.Settle();
    e.InvalidateLines(8, 9);
    EXPECT_EQ(p.Painted(), (std::set<int>{8, 9}));
    EXPECT_EQ(p.gutter, (std::set<int>{8, 9}));
    p.Settle();
    // Reversed bounds are ordered; lines outside the window paint nothing.
    e.RepaintLineRange(4, 3);
    EXPECT_EQ(p.Painted(), (std::set<int>{3, 4}));
    p.Settle();
    e.RepaintLineRange(e.RowsInWindow() + 3, e.RowsInWindow() + 4);
    EXPECT_TRUE(p.Painted().empty());
    p.Settle();
    // The whole text part.
    e.RepaintLineRange(-1, -1);
    EXPECT_EQ(p.Painted(), p.From(1));
    EXPECT_TRUE(p.gutter.empty());
    p.Settle();
    e.RepaintGutter();
    EXPECT_TRUE(p.Painted().empty());
    EXPECT_EQ(p.gutter, p.From(1));
    p.Settle();
    // The selection's lines.
    e.PlaceCaretCollapsed(BufferCoord(2, 3));
    e.SetSelectionEnd(BufferCoord(2, 5));
    p.Settle();
    e.InvalidateSelection();
    EXPECT_EQ(p.Painted(), (std::set<int>{3, 4, 5}));
}

TEST(TextEditRepaint, APaintDrawsOnlyItsRowsAndParts)
{
    TPaintedEditor p;
    TTextEdit& e = p.e;
    const int rh = e.RowHeight();
    // A rectangle over the text of rows 4 and 5 only.
    e.repaint(QRect(e.GutterPixels() + 10, 3 * rh + 1, 50, rh));
    EXPECT_EQ(p.text, (std::set<int>{4, 5}));
    EXPECT_TRUE(p.gutter.empty());
    p.Settle();
    // Over the gutter only.
    e.repaint(QRect(0, 0, e.GutterPixels() - 1, 2 * rh));
    EXPECT_TRUE(p.text.empty());
    EXPECT_EQ(p.gutter, (std::set<int>{1, 2}));
    p.Settle();
    // Two rectangles far apart paint two rows.
    e.repaint(QRegion(QRect(e.GutterPixels() + 4, 0, 30, rh - 1)) +
              QRegion(QRect(e.GutterPixels() + 4, 9 * rh, 30, rh - 1)));
    EXPECT_EQ(p.text, (std::set<int>{1, 10}));
}

TEST(TextEditRepaint, APartialPaintLooksLikeAWholeOne)
{
    // Drawing only the columns of a clip must leave the same pixels, also
    // where the clip's edge cuts a wide character.
    TTextEdit e;
    e.resize(400, 200);
    SetText(e, {QStringLiteral("ab中文cd中文ef"), QStringLiteral("\t中x"), QStringLiteral("一二三四五六七八九十")});
    e.PlaceCaretCollapsed(BufferCoord(3, 1));
    e.SetSelectionEnd(BufferCoord(6, 3));
    e.show();
    QApplication::processEvents();
    const QImage whole = e.grab().toImage();
    const int cw = e.CharWidth();
    QImage pieces(whole.size(), whole.format());
    pieces.fill(Qt::magenta);
    // Strips whose edges fall inside the second and third cells of wide
    // characters.
    for (int x = 0; x < e.width(); x += cw * 3 + cw / 2) {
        const QRect strip(x, 0, cw * 3 + cw / 2, e.height());
        QPixmap part(e.size());
        part.fill(Qt::magenta);
        e.render(&part, strip.topLeft(), QRegion(strip));
        QPainter painter(&pieces);
        painter.setClipRect(strip);
        painter.drawPixmap(0, 0, part);
    }
    const QRect text(e.GutterPixels(), 0, e.ClientRect().width() - e.GutterPixels(), 3 * e.RowHeight());
    EXPECT_EQ(pieces.copy(text), whole.copy(text));
}

namespace {

// What the window shows (the pixels kept between paints) and what a paint
// of the whole control draws, over its client area.
std::pair<QImage, QImage> ShownAndWhole(TTextEdit& e)
{
    const QRect client = e.ClientRect();
    const QImage shown = QGuiApplication::primaryScreen()->grabWindow(e.winId()).toImage();
    const QImage whole = e.grab().toImage();
    return {shown.copy(client).convertToFormat(QImage::Format_RGB32),
            whole.copy(client).convertToFormat(QImage::Format_RGB32)};
}

}  // namespace

TEST(TextEditRepaint, AScrollOfAFewRowsPaintsOnlyTheUncoveredRows)
{
    TPaintedEditor p;
    TTextEdit& e = p.e;
    e.SetOptions(e.Options() | OptionBit(eoNoCaret));
    e.PlaceCaretCollapsed(BufferCoord(3, 4));
    e.SetSelectionEnd(BufferCoord(6, 9));
    const int rh = e.RowHeight();
    const int h = e.ClientRect().height();
    ASSERT_GT(e.RowsInWindow(), 6);
    p.Settle();
    for (const int top : {2, 5, 4, 1, 3}) {
        SCOPED_TRACE(top);
        const int shift = (e.TopRow() - top) * rh;
        e.SetTopRow(top);
        // The strip the moved pixels left behind: at the top when the rows
        // moved down, else at the bottom.
        const int y0 = shift > 0 ? 0 : h + shift;
        const int y1 = shift > 0 ? shift : h;
        std::set<int> uncovered;
        for (int row = top + y0 / rh; row <= top + (y1 - 1) / rh; ++row)
            uncovered.insert(row);
        EXPECT_EQ(p.Painted(), uncovered);
        EXPECT_EQ(p.gutter, uncovered);
        const auto [shown, whole] = ShownAndWhole(e);
        EXPECT_EQ(shown, whole);
        p.Settle();
    }
    // A window's height or more paints everything.
    e.SetOptions(e.Options() | OptionBit(eoScrollPastEof));
    e.SetTopRow(1);
    p.Settle();
    e.SetTopRow(1 + e.RowsInWindow());
    ASSERT_EQ(e.TopRow(), 1 + e.RowsInWindow());
    EXPECT_EQ(p.Painted(), p.From(e.TopRow()));
    const auto [shown, whole] = ShownAndWhole(e);
    EXPECT_EQ(shown, whole);
}

TEST(TextEditRepaint, AScrollOfAFewColumnsLooksLikeAWholePaint)
{
    TTextEdit e;
    e.resize(300, 200);
    e.SetOptions(e.Options() | OptionBit(eoNoCaret));
    QStringList lines;
    for (int i = 1; i <= 6; ++i)
        lines << QStringLiteral("%1 abcdefghij中文klmnopqrstuvwxyz一二三四五六七八九十 0123456789 end").arg(i).repeated(2);
    SetText(e, lines);
    // A selection reaching left of the first visible column.
    e.PlaceCaretCollapsed(BufferCoord(1, 2));
    e.SetSelectionEnd(BufferCoord(20, 4));
    e.show();
    QApplication::processEvents();
    ASSERT_GT(e.ColumnsInWindow(), 8);
    for (const int left : {2, 5, 4, 1, 8}) {
        SCOPED_TRACE(left);
        e.SetLeftColumn(left);
        ASSERT_EQ(e.LeftColumn(), left);
        QApplication::processEvents();
        const auto [shown, whole] = ShownAndWhole(e);
        EXPECT_EQ(shown, whole);
    }
}

TEST(TextEditTransientPaint, AroundChangesAndAfterPaints)
{
    TTextEdit e;
    e.resize(300, 200);
    SetText(e, {QStringLiteral("abc"), QStringLiteral("def")});
    e.PlaceCaretCollapsed(BufferCoord(3, 1));
    struct TCall {
        bool canvas;
        TTransientType type;
        bool operator==(const TCall&) const = default;
    };
    std::vector<TCall> calls;
    e.OnPaintTransient = [&](TCustomTextEdit*, TCanvas* canvas, TTransientType type) {
        calls.push_back({canvas != nullptr, type});
    };
    // Backspace is one locked pair: the caret move inside it is not told.
    e.DispatchEditorCommand(ecDeleteLastChar, QChar());
    EXPECT_EQ(calls, (std::vector<TCall>{{false, ttBefore}, {false, ttAfter}}));
    calls.clear();
    // A caret move alone.
    e.DispatchEditorCommand(ecDown, QChar());
    EXPECT_EQ(calls, (std::vector<TCall>{{false, ttBefore}, {false, ttAfter}}));
    calls.clear();
    // Typing: around the edit and around the caret move inside it.
    e.DispatchEditorCommand(ecChar, QLatin1Char('x'));
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls.front(), (TCall{false, ttBefore}));
    EXPECT_EQ(calls.back(), (TCall{false, ttAfter}));
    calls.clear();
    // Refused edits tell nothing.
    e.DispatchEditorCommand(ecChar, QChar(9));
    e.SetReadOnly(true);
    e.DispatchEditorCommand(ecDeleteLastChar, QChar());
    e.SetReadOnly(false);
    EXPECT_TRUE(calls.empty());
    // After a paint, with the canvas to draw on.
    e.show();
    QApplication::processEvents();
    e.repaint();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), (TCall{true, ttAfter}));
    calls.clear();
    // A handler failing after Backspace's edit: the failure reaches the
    // caller, and the counts stay balanced, so the next change is told again.
    bool fail = true;
    e.OnPaintTransient = [&](TCustomTextEdit*, TCanvas*, TTransientType type) {
        calls.push_back({false, type});
        if (type == ttAfter && std::exchange(fail, false))
            throw std::runtime_error("overlay");
    };
    EXPECT_THROW(e.DispatchEditorCommand(ecDeleteLastChar, QChar()), std::runtime_error);
    calls.clear();
    e.DispatchEditorCommand(ecDeleteLastChar, QChar());
    EXPECT_EQ(calls, (std::vector<TCall>{{false, ttBefore}, {false, ttAfter}}));
}

TEST(TextEditTransientPaint, LockedPairsNest)
{
    TTextEdit e;
    std::vector<TTransientType> fired;
    e.OnPaintTransient = [&](TCustomTextEdit*, TCanvas*, TTransientType type) { fired.push_back(type); };
    e.PaintTransient(ttBefore, true);
    e.PaintTransient(ttBefore, true);
    e.PaintTransient(ttBefore);
    e.PaintTransient(ttAfter);
    e.PaintTransient(ttAfter, true);
    EXPECT_EQ(fired, (std::vector<TTransientType>{ttBefore}));
    e.PaintTransient(ttAfter, true);
    EXPECT_EQ(fired, (std::vector<TTransientType>{ttBefore, ttAfter}));
    // An unbalanced ttAfter does not take the count below 0.
    e.PaintTransient(ttAfter, true);
    e.PaintTransient(ttBefore);
    EXPECT_EQ(fired, (std::vector<TTransientType>{ttBefore, ttAfter, ttAfter, ttBefore}));
}

TEST(TextEditReplaceText, TheHandlersAnswerOrCancel)
{
    TTextEdit e;
    EXPECT_EQ(e.DoReplaceText(QStringLiteral("a"), QStringLiteral("b"), 1, 1), raCancel);
    struct {
        QString search, replace;
        int line, column;
    } seen{};
    e.OnReplaceText = [&](TCustomTextEdit*, const QString& s, const QString& r, int line, int column,
                          TTextReplaceAction& action) {
        seen = {s, r, line, column};
        EXPECT_EQ(action, raCancel);
        action = line == 2 ? raReplaceAll : raSkip;
    };
    EXPECT_EQ(e.DoReplaceText(QStringLiteral("你"), QStringLiteral("我"), 2, 5), raReplaceAll);
    EXPECT_EQ(seen.search, QStringLiteral("你"));
    EXPECT_EQ(seen.replace, QStringLiteral("我"));
    EXPECT_EQ(seen.column, 5);
    EXPECT_EQ(e.DoReplaceText(QStringLiteral("a"), QString(), 1, 1), raSkip);
}

TEST(TextEditMouseCursor, IBeamOverTextArrowOverGutterAndSelection)
{
    TTextEdit e;
    e.resize(300, 200);
    e.Gutter().SetVisible(true);
    SetText(e, {QStringLiteral("abcdef"), QStringLiteral("ghijkl")});
    e.show();
    QApplication::processEvents();
    const int rh = e.RowHeight();
    const int cw = e.CharWidth();
    const int x0 = e.GutterPixels() + 2;
    std::vector<TBufferCoord> asked;
    e.OnMouseCursor = [&](TCustomTextEdit*, const TBufferCoord& pos, TCursor&) { asked.push_back(pos); };
    struct {
        QPoint at;
        Qt::CursorShape shape;
    } rows[] = {
        {QPoint(x0 + cw / 2, rh / 2), Qt::IBeamCursor},
        {QPoint(2, rh / 2), Qt::ArrowCursor},
        {QPoint(x0 + 30 * cw, rh + 2), Qt::IBeamCursor},
    };
    for (const auto& r : rows) {
        QTest::mouseMove(&e, r.at);
        EXPECT_EQ(e.cursor().shape(), r.shape) << r.at.x() << "," << r.at.y();
    }
    // The handler heard the text positions, not the gutter.
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0], BufferCoord(1, 1));
    EXPECT_EQ(asked[1], BufferCoord(31, 2));
    // Over a selection that a press would drag: the arrow; without drag and
    // drop the I-beam.
    e.PlaceCaretCollapsed(BufferCoord(2, 1));
    e.SetSelectionEnd(BufferCoord(5, 1));
    QTest::mouseMove(&e, QPoint(x0 + 2 * cw + 2, rh / 2));
    EXPECT_EQ(e.cursor().shape(), Qt::ArrowCursor);
    e.SetOptions(e.Options() & ~OptionBit(eoDragDropEditing));
    QTest::mouseMove(&e, QPoint(x0 + 2 * cw + 3, rh / 2));
    EXPECT_EQ(e.cursor().shape(), Qt::IBeamCursor);
    // The handler, then the mouse-cursor handlers, may change it.
    e.OnMouseCursor = [&](TCustomTextEdit*, const TBufferCoord& pos, TCursor& cursor) {
        if (pos.Line == 2)
            cursor = -21;
    };
    QTest::mouseMove(&e, QPoint(x0 + cw, rh + 2));
    EXPECT_EQ(e.cursor().shape(), Qt::PointingHandCursor);
    TTextEditKbdHandler::TMouseCursorHandler last;
    last.Key.Data = &last;
    last.Call = [](void*, const TBufferCoord&, int& cursor) { cursor = crIBeam; };
    e.KbdHandler().HookMouseCursor(last);
    QTest::mouseMove(&e, QPoint(x0 + cw + 1, rh + 2));
    EXPECT_EQ(e.cursor().shape(), Qt::IBeamCursor);
    // The gutter's own cursor.
    e.Gutter().SetCursor(-21);
    QTest::mouseMove(&e, QPoint(1, 1));
    EXPECT_EQ(e.cursor().shape(), Qt::PointingHandCursor);
}

namespace {

struct TKeyLog {
    std::vector<std::string> calls;
    std::uint16_t swallowDown = 0;
    QChar swallowPress;
    void FirstDown(void*, std::uint16_t& key, TShiftState) { calls.push_back("first " + std::to_string(key)); }
    void SecondDown(void*, std::uint16_t& key, TShiftState)
    {
        calls.push_back("second " + std::to_string(key));
        if (key == swallowDown)
            key = 0;
    }
    void Press(void*, QChar& c)
    {
        calls.push_back("press " + QString(c).toStdString());
        if (c == swallowPress)
            c = QChar();
    }
};

}  // namespace

TEST(TextEditRightEdge, DraggedWithTheMouseWhenAllowed)
{
    TTextEdit e;
    e.resize(400, 200);
    e.SetOptions(e.Options() | OptionBit(eoNoCaret));
    SetText(e, {QStringLiteral("abc"), QStringLiteral("de"), QStringLiteral("0123456789").repeated(8)});
    e.RightEdge().SetPosition(10);
    e.RightEdge().SetMouseMove(true);
    e.show();
    QApplication::processEvents();
    const int cw = e.CharWidth();
    const int x0 = e.GutterPixels() + 2;
    const int h = e.ClientRect().height();
    ASSERT_GT(x0 + 20 * cw, 0);
    ASSERT_LT(x0 + 20 * cw, e.ClientRect().width());
    // The split cursor within 3 pixels of the line.
    const int edge = x0 + 10 * cw;
    struct {
        int x;
        Qt::CursorShape shape;
    } near[] = {{edge - 2, Qt::SplitHCursor}, {edge + 2, Qt::SplitHCursor}, {edge, Qt::SplitHCursor},
                {edge - 3, Qt::IBeamCursor}, {edge + 3, Qt::IBeamCursor}};
    for (const auto& n : near) {
        QTest::mouseMove(&e, QPoint(n.x, 20));
        EXPECT_EQ(e.cursor().shape(), n.shape) << n.x;
    }
    // Whether a dotted black line stands at x (every other pixel from y 1).
    const auto lineAt = [&](const QImage& image, int x) {
        for (int y = 1; y < h; y += 2)
            if (image.pixel(x, y) != qRgb(0, 0, 0))
                return false;
        return true;
    };
    // Press near the line, move, release: the edge lands on the column
    // boundary left of the pointer going left, right of it going right.
    struct {
        int press, through, release, position;
    } drags[] = {
        {edge + 1, x0 + 13 * cw + 1, x0 + 16 * cw + 2, 17},
        {x0 + 17 * cw - 2, x0 + 9 * cw + 3, x0 + 5 * cw + 2, 5},
    };
    for (const auto& d : drags) {
        SCOPED_TRACE(d.position);
        QTest::mousePress(&e, Qt::LeftButton, Qt::NoModifier, QPoint(d.press, 20));
        QTest::mouseMove(&e, QPoint(d.through, 30));
        QApplication::processEvents();
        EXPECT_EQ(e.cursor().shape(), Qt::SplitHCursor);
        auto [shown, whole] = ShownAndWhole(e);
        EXPECT_TRUE(lineAt(shown, d.through));
        EXPECT_EQ(shown, whole);
        // The line follows; its old place shows the text again.
        QTest::mouseMove(&e, QPoint(d.release, 30));
        QApplication::processEvents();
        std::tie(shown, whole) = ShownAndWhole(e);
        EXPECT_TRUE(lineAt(shown, d.release));
        EXPECT_FALSE(lineAt(shown, d.through));
        EXPECT_EQ(shown, whole);
        EXPECT_NE(e.RightEdge().Position(), d.position);
        QTest::mouseRelease(&e, Qt::LeftButton, Qt::NoModifier, QPoint(d.release, 30));
        QApplication::processEvents();
        EXPECT_EQ(e.RightEdge().Position(), d.position);
        std::tie(shown, whole) = ShownAndWhole(e);
        EXPECT_FALSE(lineAt(shown, d.release));
        EXPECT_EQ(shown, whole);
        // The press neither moved the caret nor selected.
        EXPECT_EQ(e.CaretPos(), BufferCoord(1, 1));
        EXPECT_FALSE(e.SelectionAvailable());
    }
    // Rows and columns scrolling under a shown drag line leave it in place.
    e.SetOptions(e.Options() | OptionBit(eoScrollPastEof) | OptionBit(eoScrollPastEol));
    QTest::mousePress(&e, Qt::LeftButton, Qt::NoModifier, QPoint(x0 + 5 * cw, 20));
    QTest::mouseMove(&e, QPoint(x0 + 12 * cw + 1, 30));
    QApplication::processEvents();
    for (const QPoint topLeft : {QPoint(1, 2), QPoint(3, 2), QPoint(1, 1)}) {
        e.SetTopRow(topLeft.y());
        e.SetLeftColumn(topLeft.x());
        ASSERT_EQ(QPoint(e.LeftColumn(), e.TopRow()), topLeft);
        QApplication::processEvents();
        const auto [shown, whole] = ShownAndWhole(e);
        EXPECT_TRUE(lineAt(shown, x0 + 12 * cw + 1));
        EXPECT_EQ(shown, whole);
    }
    QTest::mouseRelease(&e, Qt::LeftButton, Qt::NoModifier, QPoint(x0 + 12 * cw + 1, 30));
    EXPECT_EQ(e.RightEdge().Position(), 13);
    e.RightEdge().SetPosition(5);
    // Without MouseMove, or with the edge hidden, a press there is a click
    // in the text.
    for (const bool hidden : {false, true}) {
        e.RightEdge().SetMouseMove(hidden);
        e.RightEdge().SetVisible(!hidden);
        const int at = x0 + 5 * cw;
        QTest::mouseMove(&e, QPoint(at, 5));
        EXPECT_EQ(e.cursor().shape(), Qt::IBeamCursor);
        QTest::mousePress(&e, Qt::LeftButton, Qt::NoModifier, QPoint(at, 5));
        QTest::mouseMove(&e, QPoint(at + 4 * cw, 5));
        QTest::mouseRelease(&e, Qt::LeftButton, Qt::NoModifier, QPoint(at + 4 * cw, 5));
        EXPECT_EQ(e.RightEdge().Position(), 5);
        EXPECT_NE(e.CaretPos(), BufferCoord(1, 1));
        e.PlaceCaretCollapsed(BufferCoord(1, 1));
    }
}

TEST(TextEditKeyHandlers, RunNewestFirstAndSwallow)
{
    TTextEdit e;
    SetText(e, {QStringLiteral("ab")});
    e.PlaceCaretCollapsed(BufferCoord(3, 1));
    TKeyLog log;
    using TKey = TTextEditKbdHandler::TKeyHandler;
    using TPress = TTextEditKbdHandler::TKeyPressHandler;
    const TKey first = Method<void(void*, std::uint16_t&, TShiftState)>(&log, &TKeyLog::FirstDown);
    const TKey second = Method<void(void*, std::uint16_t&, TShiftState)>(&log, &TKeyLog::SecondDown);
    const TPress press = Method<void(void*, QChar&)>(&log, &TKeyLog::Press);
    e.RegisterKeyDownHandler(first);
    e.HookKeyDown(second);
    e.RegisterKeyPressHandler(press);
    QTest::keyClick(&e, Qt::Key_X);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"second 88", "first 88", "press x"}));
    EXPECT_EQ(LinesOf(e), QStringList{QStringLiteral("abx")});
    // The newer handler clears Left: the older one and the editor see nothing.
    log.calls.clear();
    log.swallowDown = 0x25;
    QTest::keyClick(&e, Qt::Key_Left);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"second 37"}));
    EXPECT_EQ(e.CaretPos(), BufferCoord(4, 1));
    // A swallowed character is not typed.
    log.calls.clear();
    log.swallowPress = QLatin1Char('y');
    QTest::keyClick(&e, Qt::Key_Y);
    EXPECT_EQ(LinesOf(e), QStringList{QStringLiteral("abx")});
    // Removed handlers are not called; removing one twice is harmless.
    e.UnregisterKeyDownHandler(second);
    e.UnhookKeyDown(second);
    e.UnregisterKeyPressHandler(press);
    log.calls.clear();
    QTest::keyClick(&e, Qt::Key_Z);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"first 90"}));
    EXPECT_EQ(LinesOf(e), QStringList{QStringLiteral("abxz")});
}

TEST(TextEditKeyHandlers, MouseHandlersHearPressAndRelease)
{
    TTextEdit e;
    e.resize(300, 200);
    SetText(e, {QStringLiteral("abc")});
    std::vector<std::string> heard;
    TTextEditKbdHandler::TMouseHandler down;
    down.Key.Data = &heard;
    down.Call = [&](void*, Qt::MouseButton, TShiftState, int x, int) { heard.push_back("down " + std::to_string(x)); };
    TTextEditKbdHandler::TMouseHandler up = down;
    up.Call = [&](void*, Qt::MouseButton, TShiftState, int x, int) { heard.push_back("up " + std::to_string(x)); };
    e.KbdHandler().HookMouseDown(down);
    e.KbdHandler().HookMouseUp(up);
    QTest::mouseClick(&e, Qt::LeftButton, Qt::NoModifier, QPoint(40, 5));
    EXPECT_EQ(heard, (std::vector<std::string>{"down 40", "up 40"}));
}

namespace {

// A highlighter whose state says whether a line ends inside a block comment
// ("/*" opens it, "*/" closes it); counts the lines it scans.
class TCommentHighlighter : public TTextCustomHighlighter {
public:
    TCommentHighlighter() { AddAttribute(std::make_unique<TTextTokenAttr>(QStringLiteral("Text"))); }
    TTextTokenAttr* StandardAttribute(int) const override { return AttributeAt(0); }
    bool AtEndOfLine() const override { return FPos >= FLine.size(); }
    QString Token() const override { return FLine.mid(FPos, 1); }
    TTextTokenAttr* TokenAttribute() const override { return AttributeAt(0); }
    int TokenKind() const override { return FInComment ? 1 : 0; }
    int TokenPosition() const override { return static_cast<int>(FPos); }
    void NextToken() override
    {
        if (FLine.mid(FPos, 2) == QStringLiteral("/*")) {
            FInComment = true;
            FPos += 2;
        } else if (FLine.mid(FPos, 2) == QStringLiteral("*/")) {
            FInComment = false;
            FPos += 2;
        } else {
            ++FPos;
        }
    }
    void SetLine(const QString& line, int lineNumber) override
    {
        FLine = line;
        FPos = 0;
        Scanned.push_back(lineNumber);
    }
    void* CurrentRange() const override { return reinterpret_cast<void*>(std::intptr_t(FInComment ? 1 : 0)); }
    void ClearRange() override { FInComment = false; }
    void RestoreRange(void* range) override { FInComment = reinterpret_cast<std::intptr_t>(range) == 1; }
    void Announce() { DefHighlightChange(this); }

    std::vector<int> Scanned;

private:
    QString FLine;
    qsizetype FPos = 0;
    bool FInComment = false;
};

std::vector<std::intptr_t> Ranges(const TCustomTextEdit& e)
{
    std::vector<std::intptr_t> r;
    for (int i = 0; i < e.Lines().Count(); ++i)
        r.push_back(e.Lines().LineRange(i));
    return r;
}

}  // namespace

TEST(TextEditHighlighterRanges, KeptPerLineAndRescannedOnlyAsFarAsNeeded)
{
    TTextEdit e;
    SetText(e, {"a", "b /* c", "d", "e */ f", "g", "h"});
    TCommentHighlighter h;
    e.SetHighlighter(&h);
    EXPECT_EQ(Ranges(e), (std::vector<std::intptr_t>{0, 1, 1, 0, 0, 0}));
    EXPECT_EQ(h.Scanned, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    // An edit that keeps the line's end state rescans that line only.
    h.Scanned.clear();
    e.PlaceCaretCollapsed(BufferCoord(2, 5));
    e.DispatchEditorCommand(ecChar, QLatin1Char('x'));
    EXPECT_EQ(h.Scanned, (std::vector<int>{5}));
    // Opening a comment rescans until a line ends as it did before.
    h.Scanned.clear();
    e.PlaceCaretCollapsed(BufferCoord(2, 1));
    e.DispatchEditorCommand(ecImeStr, QChar(), QStringLiteral("/*"));
    EXPECT_EQ(Ranges(e), (std::vector<std::intptr_t>{1, 1, 1, 0, 0, 0}));
    EXPECT_EQ(h.Scanned, (std::vector<int>{1, 2}));
    // Closing the comment early reaches down to the line that closed it.
    h.Scanned.clear();
    e.PlaceCaretCollapsed(BufferCoord(7, 2));
    e.DispatchEditorCommand(ecImeStr, QChar(), QStringLiteral("*/"));
    EXPECT_EQ(Ranges(e), (std::vector<std::intptr_t>{1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(h.Scanned, (std::vector<int>{2, 3, 4}));
    // Inserted lines are scanned, and the scan runs on while states change.
    h.Scanned.clear();
    e.PlaceCaretCollapsed(BufferCoord(2, 5));
    e.DispatchEditorCommand(ecImeStr, QChar(), QStringLiteral("/*"));
    h.Scanned.clear();
    e.Lines().Insert(5, QStringLiteral("new"));
    EXPECT_EQ(Ranges(e), (std::vector<std::intptr_t>{1, 0, 0, 0, 1, 1, 1}));
    EXPECT_EQ(h.Scanned, (std::vector<int>{6, 7}));
    // Deleting the line that opened the comment rescans from there.
    h.Scanned.clear();
    e.Lines().Delete(4);
    EXPECT_EQ(Ranges(e), (std::vector<std::intptr_t>{1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(h.Scanned, (std::vector<int>{5, 6}));
    // Undo restores the states with the text.
    e.PlaceCaretCollapsed(BufferCoord(2, 1));
    e.DispatchEditorCommand(ecDeleteChar, QChar());
    EXPECT_EQ(Ranges(e), (std::vector<std::intptr_t>{0, 0, 0, 0, 0, 0}));
    e.Undo();
    EXPECT_EQ(Ranges(e), (std::vector<std::intptr_t>{1, 0, 0, 0, 0, 0}));
    // A scan keeps the selection and the text's modified state.
    e.PlaceCaretCollapsed(BufferCoord(1, 2));
    e.SetSelectionEnd(BufferCoord(2, 3));
    h.Scanned.clear();
    e.ScanAllRanges();
    EXPECT_EQ(h.Scanned.size(), 6u);
    EXPECT_TRUE(e.SelectionAvailable());
    // A change of the highlighter's attributes rescans every line; after it
    // is taken away nothing scans.
    h.Scanned.clear();
    h.Announce();
    EXPECT_EQ(h.Scanned.size(), 6u);
    e.SetHighlighter(nullptr);
    h.Scanned.clear();
    h.Announce();
    e.DispatchEditorCommand(ecChar, QLatin1Char('y'));
    EXPECT_TRUE(h.Scanned.empty());
    EXPECT_EQ(e.RescanRanges(0), 0);
}
