// The editor control: coordinates, commands on ASCII and Chinese lines with
// their undo and redo, the dictation screens' calls, keys, the input method,
// the clipboard, painting and scrolling.
#include "TextEdit.h"
#include "TextEditCommandTable.h"
#include "TextEditUtils.h"
#include "TestSupport.h"

#include <QtCore/QMimeData>
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QInputMethodEvent>
#include <QtGui/QShortcut>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QScrollBar>
#include <gtest/gtest.h>

#include <QtCore/QTextStream>
#include <QtCore/QUrl>
#include <functional>
#include <memory>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

TEST(TextEditControl, DefaultsAndRowHeight)
{
    TTextEdit e;
    EXPECT_EQ(e.Options(), 0x0A6C0192u);
    EXPECT_TRUE(e.HasOption(eoGroupUndo));
    EXPECT_TRUE(e.HasOption(eoScrollPastEol));
    EXPECT_FALSE(e.HasOption(eoScrollPastEof));
    EXPECT_TRUE(e.InsertMode());
    EXPECT_EQ(e.TabWidth(), 8);
    EXPECT_TRUE(e.WantReturns());
    EXPECT_FALSE(e.WantTabs());
    EXPECT_EQ(e.MaxUndo(), 1024);
    EXPECT_EQ(e.CaretPos(), BufferCoord(1, 1));
    EXPECT_EQ(e.ReadFullText(), QString());
    const int th = e.TextHeight();
    ASSERT_GT(th, 0);
    EXPECT_EQ(e.RowHeight(), th + 2);
    e.SetLineSpacingRule(lsOneAndHalf);
    EXPECT_EQ(e.RowHeight(), th + static_cast<int>(std::nearbyint(th * 0.5)) + 2);
    e.SetLineSpacingRule(lsDouble);
    EXPECT_EQ(e.RowHeight(), 2 * th + 2);
    e.SetLineSpacingRule(lsSpecified);
    EXPECT_EQ(e.RowHeight(), th);
    // A negative spacing leaves rows at least one pixel high.
    e.SetLineSpacing(-1000);
    EXPECT_EQ(e.RowHeight(), 1);
    EXPECT_GE(e.PixelsToDisplayPos(10, 10).Row, 1);
    e.SetMaxUndo(-5);
    EXPECT_EQ(e.MaxUndo(), 1024);
}

TEST(TextEditControl, CoordinateSystems)
{
    TTextEdit e;
    SetText(e, {QStringLiteral("\tab"), QStringLiteral("a你b")});
    EXPECT_EQ(e.BufferToDisplayPos(BufferCoord(2, 1)), DisplayPos(9, 1));
    for (int column = 1; column <= 8; ++column)
        EXPECT_EQ(e.DisplayToBufferPos(DisplayPos(column, 1)), BufferCoord(1, 1)) << column;
    EXPECT_EQ(e.DisplayToBufferPos(DisplayPos(9, 1)), BufferCoord(2, 1));
    // The trail cell of 你 maps past the character.
    EXPECT_EQ(e.DisplayToBufferPos(DisplayPos(3, 2)), BufferCoord(4, 2));
    EXPECT_EQ(e.DisplayToBufferPos(DisplayPos(2, 2)), BufferCoord(2, 2));
    EXPECT_EQ(e.BufferToDisplayPos(BufferCoord(4, 2)), DisplayPos(4, 2));
    // Clicks: the right half of a cell lands after the character.
    const int cw = e.CharWidth();
    const int left = e.GutterPixels() + 2;
    e.resize(400, 300);
    EXPECT_EQ(e.PixelsToNearestRowColumn(left + cw / 4, 1).Column, 1);
    EXPECT_EQ(e.PixelsToNearestRowColumn(left + cw - 1, 1).Column, 2);
    if (cw % 2 == 0) {
        EXPECT_EQ(e.PixelsToNearestRowColumn(left + cw / 2, 1).Column, 1);           // 0.5 -> 0
        EXPECT_EQ(e.PixelsToNearestRowColumn(left + cw + cw / 2, 1).Column, 3);      // 1.5 -> 2
    }
    // Clicking anywhere on 你 never puts the caret inside it.
    for (int x = left + cw; x < left + 3 * cw; ++x) {
        e.MoveCaretToPixel(x, e.RowHeight() + 1);
        EXPECT_TRUE(e.CaretPos().Char == 2 || e.CaretPos().Char == 4) << x;
    }
}

struct TCommandRow {
    const char* name;
    QStringList text;
    TBufferCoord caret;
    TBufferCoord anchor;  // (0,0): no selection
    std::vector<TTextEditorCommand> commands;
    QString typed;        // characters for ecChar / the string for ecImeStr
    QStringList expected;
    TBufferCoord expectedCaret;
    TBufferCoord expectedAnchor;  // (0,0): no selection
};

class TextEditCommands : public ::testing::TestWithParam<TCommandRow> {};

TEST_P(TextEditCommands, RunUndoRedo)
{
    const TCommandRow& row = GetParam();
    RunCommandCase({row.text, row.caret, row.anchor, row.commands, row.typed, row.expected, row.expectedCaret,
                    row.expectedAnchor});
}

const QString zh = QStringLiteral("你好世界");

INSTANTIATE_TEST_SUITE_P(
    Table, TextEditCommands,
    ::testing::Values(
        TCommandRow{"TypeAscii", {"ab"}, {2, 1}, {}, {ecChar}, "xy", {"axyb"}, {4, 1}, {}},
        TCommandRow{"TypeChinese", {zh}, {3, 1}, {}, {ecChar}, QStringLiteral("中"), {QStringLiteral("你中好世界")}, {5, 1}, {}},
        TCommandRow{"TypePastEnd", {"ab"}, {5, 1}, {}, {ecChar}, "x", {"ab  x"}, {6, 1}, {}},
        TCommandRow{"TypeOverSelection", {"hello"}, {4, 1}, {2, 1}, {ecChar}, "Z", {"hZlo"}, {3, 1}, {}},
        TCommandRow{"BackspaceAscii", {"abc"}, {3, 1}, {}, {ecDeleteLastChar}, "", {"ac"}, {2, 1}, {}},
        TCommandRow{"BackspaceChinese", {zh}, {5, 1}, {}, {ecDeleteLastChar}, "", {QStringLiteral("你世界")}, {3, 1}, {}},
        TCommandRow{"BackspaceJoins", {"ab", "cd"}, {1, 2}, {}, {ecDeleteLastChar}, "", {"abcd"}, {3, 1}, {}},
        TCommandRow{"BackspaceAtStart", {"ab"}, {1, 1}, {}, {ecDeleteLastChar}, "", {"ab"}, {1, 1}, {}},
        TCommandRow{"DeleteChinese", {zh}, {3, 1}, {}, {ecDeleteChar}, "", {QStringLiteral("你世界")}, {3, 1}, {}},
        TCommandRow{"DeleteJoins", {"ab", "cd"}, {3, 1}, {}, {ecDeleteChar}, "", {"abcd"}, {3, 1}, {}},
        TCommandRow{"DeleteSelectionKeepsBlanks", {"a  ", " b"}, {3, 2}, {2, 1}, {ecDeleteChar}, "", {"a"}, {2, 1}, {}},
        TCommandRow{"EnterSplits", {zh}, {5, 1}, {}, {ecLineBreak}, "", {QStringLiteral("你好"), QStringLiteral("世界")}, {1, 2}, {}},
        TCommandRow{"EnterAtEnd", {"ab"}, {3, 1}, {}, {ecLineBreak}, "", {"ab", ""}, {1, 2}, {}},
        TCommandRow{"ImeOnce", {"ab"}, {2, 1}, {}, {ecImeStr}, QStringLiteral("你好"), {QStringLiteral("a你好b")}, {6, 1}, {}},
        // A typed character is inserted in overwrite mode too; a composed
        // string overwrites, keeping a wide character it only half covers.
        TCommandRow{"OverwriteModeTypesInserted", {zh}, {1, 1}, {}, {ecOverwriteMode, ecChar}, "x", {QStringLiteral("x你好世界")}, {2, 1}, {}},
        TCommandRow{"OverwriteModeAsciiTypedInserted", {"abcd"}, {2, 1}, {}, {ecOverwriteMode, ecChar}, "X", {"aXbcd"}, {3, 1}, {}},
        TCommandRow{"ImeOverwritesAscii", {"abcd"}, {2, 1}, {}, {ecOverwriteMode, ecImeStr}, "XY", {"aXYd"}, {4, 1}, {}},
        TCommandRow{"ImeOverwritesWholeWide", {zh}, {1, 1}, {}, {ecOverwriteMode, ecImeStr}, "ab", {QStringLiteral("ab好世界")}, {3, 1}, {}},
        TCommandRow{"ImeOverwriteKeepsHalfCoveredWide", {zh}, {1, 1}, {}, {ecOverwriteMode, ecImeStr}, "abc", {QStringLiteral("abc好世界")}, {4, 1}, {}},
        TCommandRow{"ImeOverwriteOneCellKeepsWide", {zh}, {3, 1}, {}, {ecOverwriteMode, ecImeStr}, "x", {QStringLiteral("你x好世界")}, {4, 1}, {}},
        TCommandRow{"ImeOverwritePastEnd", {"ab"}, {2, 1}, {}, {ecOverwriteMode, ecImeStr}, QStringLiteral("你好"), {QStringLiteral("a你好")}, {6, 1}, {}},
        TCommandRow{"ImeOverSelectionInOverwrite", {"abcdef"}, {3, 1}, {1, 1}, {ecOverwriteMode, ecImeStr}, "Z", {"Zcdef"}, {2, 1}, {}},
        TCommandRow{"RightOverChinese", {zh}, {1, 1}, {}, {ecRight, ecRight}, "", {zh}, {5, 1}, {}},
        TCommandRow{"LeftOverChinese", {zh}, {5, 1}, {}, {ecLeft}, "", {zh}, {3, 1}, {}},
        // A column on the second cell of a wide character puts the caret
        // before it.
        TCommandRow{"UpKeepsColumn", {zh, "abcdefgh"}, {4, 2}, {}, {ecUp}, "", {zh, "abcdefgh"}, {3, 1}, {}},
        TCommandRow{"DownIntoVirtual", {"abcdef", "a"}, {6, 1}, {}, {ecDown}, "", {"abcdef", "a"}, {6, 2}, {}},
        TCommandRow{"HomeEnd", {zh}, {3, 1}, {}, {ecLineEnd}, "", {zh}, {9, 1}, {}},
        TCommandRow{"SelectRight", {zh}, {1, 1}, {}, {ecSelRight, ecSelRight}, "", {zh}, {5, 1}, {1, 1}},
        TCommandRow{"SelectHome", {"abc"}, {3, 1}, {}, {ecSelLineStart}, "", {"abc"}, {1, 1}, {3, 1}},
        // Left and Right step from the caret and collapse the selection.
        TCommandRow{"LeftCollapses", {"abc"}, {3, 1}, {1, 1}, {ecLeft}, "", {"abc"}, {2, 1}, {}},
        TCommandRow{"MatchBracket", {"(a[b])"}, {1, 1}, {}, {ecMatchBracket}, "", {"(a[b])"}, {6, 1}, {}},
        // Without a partner the caret stays.
        TCommandRow{"NoBracketStays", {"ab", "c(d"}, {2, 2}, {}, {ecMatchBracket}, "", {"ab", "c(d"}, {2, 2}, {}},
        TCommandRow{"DeleteLine", {"a", "b", "c"}, {1, 2}, {}, {ecDeleteLine}, "", {"a", "c"}, {1, 2}, {}},
        TCommandRow{"WordLeft", {"one two"}, {8, 1}, {}, {ecWordLeft}, "", {"one two"}, {5, 1}, {}},
        // Automatic indentation (on by default).
        TCommandRow{"EnterKeepsIndent", {"  ab"}, {4, 1}, {}, {ecLineBreak}, "", {"  a", "  b"}, {3, 2}, {}},
        TCommandRow{"EnterPastEndRepeatsBlanks", {"\tab"}, {6, 1}, {}, {ecLineBreak}, "", {"\tab", "\t"}, {2, 2}, {}},
        TCommandRow{"EnterOnEmptyLine", {"    x", ""}, {1, 2}, {}, {ecLineBreak}, "", {"    x", "", ""}, {5, 3}, {}},
        TCommandRow{"InsertLineStays", {"  ab"}, {4, 1}, {}, {ecInsertLine}, "", {"  a", "  b"}, {4, 1}, {}},
        // Blocks: a selection ending at character 1 leaves that line alone.
        TCommandRow{"BlockIndent", {"a", "b", "c", "d"}, {1, 4}, {1, 1}, {ecBlockIndent}, "", {"  a", "  b", "  c", "d"}, {1, 4}, {3, 1}},
        TCommandRow{"BlockUnindent", {"  a", " b", "\tc"}, {2, 3}, {2, 1}, {ecBlockUnindent}, "", {"a", "b", "c"}, {1, 3}, {1, 1}},
        TCommandRow{"TabToTheTabStop", {"ab"}, {3, 1}, {}, {ecTab}, "", {"ab      "}, {9, 1}, {}},
        TCommandRow{"SmartTabToTheNextWord", {"one two", "x"}, {2, 2}, {}, {ecTab}, "", {"one two", "x   "}, {5, 2}, {}},
        TCommandRow{"ShiftTabToThePreviousStop", {"            "}, {10, 1}, {}, {ecShiftTab}, "", {"           "}, {9, 1}, {}},
        // Case commands change ASCII letters only.
        TCommandRow{"ToggleCaseWord", {"heLLo wOrld"}, {3, 1}, {}, {ecToggleCase}, "", {"HEllO wOrld"}, {3, 1}, {}},
        TCommandRow{"TitleCaseWord", {"heLLo wOrld"}, {8, 1}, {}, {ecTitleCase}, "", {"heLLo World"}, {8, 1}, {}},
        // A character beyond ASCII ends a word.
        TCommandRow{"ToggleCaseNonAscii", {QStringLiteral("Straße")}, {2, 1}, {}, {ecToggleCase}, "", {QStringLiteral("sTRAße")}, {2, 1}, {}},
        TCommandRow{"UpperCaseBlockKeepsSelection", {"abcdef"}, {4, 1}, {1, 1}, {ecUpperCaseBlock}, "", {"ABCdef"}, {4, 1}, {1, 1}},
        TCommandRow{"LowerCaseBlockOneChar", {"ABC"}, {2, 1}, {}, {ecLowerCaseBlock}, "", {"AbC"}, {3, 1}, {}},
        TCommandRow{"UpperCaseWordBeforeCaret", {"ab  "}, {4, 1}, {}, {ecUpperCase}, "", {"AB  "}, {4, 1}, {}}),
    [](const ::testing::TestParamInfo<TCommandRow>& info) { return std::string(info.param.name); });

TEST(TextEditControl, TypingGroupsIntoOneUndoStep)
{
    TTextEdit e;
    for (QChar c : QStringLiteral("abc"))
        e.DispatchEditorCommand(ecChar, c);
    e.DispatchEditorCommand(ecLineBreak, QChar());
    for (QChar c : QStringLiteral("de"))
        e.DispatchEditorCommand(ecChar, c);
    EXPECT_EQ(e.ReadFullText(), QStringLiteral("abc\r\nde\r\n"));
    e.Undo();
    EXPECT_EQ(e.ReadFullText(), QStringLiteral("abc\r\n\r\n"));
    e.Undo();
    EXPECT_EQ(e.ReadFullText(), QStringLiteral("abc\r\n"));
    e.Undo();
    EXPECT_EQ(e.ReadFullText(), QString());
    e.Redo();
    e.Redo();
    e.Redo();
    EXPECT_EQ(e.ReadFullText(), QStringLiteral("abc\r\nde\r\n"));
}

TEST(TextEditControl, ScreensCalls)
{
    TTextEdit e;
    int changes = 0;
    e.OnChange = [&](TCustomTextEdit*) { ++changes; };
    EXPECT_FALSE(e.Modified());
    e.ReplaceAllText(QStringLiteral("I like 苹果.\r\nSecond  "));
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(e.Modified());
    EXPECT_EQ(e.ReadFullText(), QStringLiteral("I like 苹果.\r\nSecond  \r\n"));
    e.ReplaceAllText(QStringLiteral("new"));
    EXPECT_EQ(changes, 2);
    e.Undo();
    EXPECT_EQ(changes, 3);
    // Trailing blanks come back too.
    EXPECT_EQ(e.ReadFullText(), QStringLiteral("I like 苹果.\r\nSecond  \r\n"));
    e.Undo();
    EXPECT_EQ(e.ReadFullText(), QString());
    EXPECT_FALSE(e.Modified());
    e.Redo();
    EXPECT_TRUE(e.Modified());
    e.ClearContent();
    EXPECT_FALSE(e.Modified());
    EXPECT_EQ(e.ReadFullText(), QString());
    EXPECT_FALSE(e.CanUndo());
    e.Undo();
    EXPECT_EQ(e.ReadFullText(), QString());
}

TEST(TextEditControl, PlaceCaretAtCharIndex)
{
    TTextEdit e;
    e.PlaceCaretAtCharIndex(5);
    EXPECT_EQ(e.CaretPos(), BufferCoord(1, 1));
    // "ab" CR LF "cd": an index inside a line's break stands past its end
    // (clamped unless eoScrollPastEol); at or past the end of the text the
    // caret goes to the start of the last line.
    e.ReplaceAllText(QStringLiteral("ab\r\ncd"));
    const bool pastEol = e.HasOption(eoScrollPastEol);
    const struct {
        int Index;
        TBufferCoord Computed, Caret, CaretWithoutPastEol;
    } rows[] = {
        {0, {1, 1}, {1, 1}, {1, 1}},  {1, {2, 1}, {2, 1}, {2, 1}},   {2, {3, 1}, {3, 1}, {3, 1}},
        {3, {4, 1}, {4, 1}, {3, 1}},  {4, {1, 2}, {1, 2}, {1, 2}},   {5, {2, 2}, {2, 2}, {2, 2}},
        {6, {1, 3}, {1, 2}, {1, 2}},  {7, {1, 3}, {1, 2}, {1, 2}},   {100, {1, 3}, {1, 2}, {1, 2}},
    };
    for (bool scrollPastEol : {pastEol, !pastEol}) {
        e.SetOptions(scrollPastEol ? e.Options() | OptionBit(eoScrollPastEol) : e.Options() & ~OptionBit(eoScrollPastEol));
        for (const auto& r : rows) {
            EXPECT_EQ(e.CharIndexToCaretPos(r.Index), r.Computed) << r.Index;
            e.SelectWholeText();
            e.PlaceCaretAtCharIndex(r.Index);
            EXPECT_EQ(e.CaretPos(), scrollPastEol ? r.Caret : r.CaretWithoutPastEol) << r.Index << " " << scrollPastEol;
            EXPECT_FALSE(e.SelectionAvailable());
        }
    }
    // Characters are counted as the text holds them; the caret stands in cells.
    e.ReplaceAllText(QStringLiteral("ab\r\n你好c"));
    EXPECT_EQ(e.CharIndexToCaretPos(5), BufferCoord(3, 2));
    EXPECT_EQ(e.CharIndexToCaretPos(6), BufferCoord(5, 2));
    EXPECT_EQ(e.CharIndexToCaretPos(7), BufferCoord(1, 3));
}

TEST(TextEditControl, KeysThroughBindings)
{
    QWidget form;
    auto* e = new TTextEdit(&form);
    form.resize(300, 200);
    form.show();
    e->setFocus();
    int keyUp = -1;
    e->OnKeyUp = [&](TCustomTextEdit*, std::uint16_t& key, TShiftState) { keyUp = key; };
    int f5 = 0;
    QShortcut shortcut(QKeySequence(Qt::Key_F5), &form, [&] { ++f5; }, Qt::ApplicationShortcut);
    QApplication::setActiveWindow(&form);
    QTest::keyClicks(e, QStringLiteral("Hi"));
    QTest::keyClick(e, Qt::Key_Return);
    EXPECT_EQ(keyUp, 13);
    QTest::keyClick(e, Qt::Key_A);
    QTest::keyClick(e, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(e->SelectedText(), QStringLiteral("a"));
    QTest::keyClick(e, Qt::Key_Backspace);
    EXPECT_EQ(e->ReadFullText(), QStringLiteral("Hi\r\n\r\n"));
    QTest::keyClick(e, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(e->ReadFullText(), QStringLiteral("Hi\r\na\r\n"));
    QTest::keyClick(e, Qt::Key_F5);
    EXPECT_EQ(f5, 1);
    EXPECT_EQ(e->ReadFullText(), QStringLiteral("Hi\r\na\r\n"));
}

TEST(TextEditControl, InputMethod)
{
    TTextEdit e;
    e.ReplaceAllText(QStringLiteral("ab"));
    e.PlaceCaretAtCharIndex(1);
    e.ClearUndoHistory();
    QInputMethodEvent preedit(QStringLiteral("ni"), {});
    QApplication::sendEvent(&e, &preedit);
    EXPECT_EQ(e.ReadFullText(), QStringLiteral("ab\r\n"));
    EXPECT_EQ(e.PreeditText(), QStringLiteral("ni"));
    EXPECT_FALSE(e.CanUndo());
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("你好"));
    QApplication::sendEvent(&e, &commit);
    EXPECT_EQ(e.ReadFullText(), QStringLiteral("a你好b\r\n"));
    EXPECT_EQ(e.CaretPos(), BufferCoord(6, 1));
    EXPECT_TRUE(e.PreeditText().isEmpty());
    e.Undo();
    EXPECT_EQ(e.ReadFullText(), QStringLiteral("ab\r\n"));
    EXPECT_FALSE(e.CanUndo());
    EXPECT_TRUE(static_cast<QWidget&>(e).inputMethodQuery(Qt::ImCursorRectangle).toRect().isValid());
}

TEST(TextEditControl, ClipboardBetweenEditors)
{
    TTextEdit a, b;
    a.ReplaceAllText(QStringLiteral("one  \r\n二三"));
    a.SelectWholeText();
    a.CopyToClipboard();
    // Copying trims trailing blanks; lines are separated by CR LF.
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("one\r\n二三"));
    b.ReplaceAllText(QStringLiteral("xy"));
    b.PlaceCaretAtCharIndex(1);
    b.ClearUndoHistory();
    b.PasteFromClipboard();
    EXPECT_EQ(b.ReadFullText(), QStringLiteral("xone\r\n二三y\r\n"));
    EXPECT_EQ(b.CaretPos(), BufferCoord(5, 2));
    b.Undo();
    EXPECT_EQ(b.ReadFullText(), QStringLiteral("xy\r\n"));
    a.SelectWholeText();
    a.CutToClipboard();
    EXPECT_EQ(a.ReadFullText(), QStringLiteral("\r\n"));
    a.Undo();
    EXPECT_EQ(a.ReadFullText(), QStringLiteral("one  \r\n二三\r\n"));
}

namespace {
bool HasColor(const QImage& image, const QRect& area, const QColor& color)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y) == color)
                return true;
    return false;
}
}  // namespace

TEST(TextEditControl, PaintingGrabs)
{
    TTextEdit e;
    e.resize(300, 200);
    e.ActiveLine().SetVisible(true);
    e.ActiveLine().SetBackground(0x00D7EEFD);
    e.ReplaceAllText(QStringLiteral("Hello 世界\r\nsecond"));
    e.PlaceCaretAtCharIndex(0);
    const int rh = e.RowHeight();
    QImage image = e.grab().toImage();
    const QRect row1(e.GutterPixels() + 2 + 20 * e.CharWidth(), 1, 10, rh - 2);
    EXPECT_TRUE(HasColor(image, row1, ToQColor(0x00D7EEFD)));
    EXPECT_FALSE(HasColor(image, row1.translated(0, rh), ToQColor(0x00D7EEFD)));
    // A selection is painted in the selection colour, unless hidden without focus.
    e.SelectWholeText();
    image = e.grab().toImage();
    const QRect firstCell(e.GutterPixels() + 2, 1, e.CharWidth(), rh - 2);
    EXPECT_TRUE(HasColor(image, firstCell, ToQColor(e.SelectedColor().Background())));
    e.SetHideSelection(true);
    image = e.grab().toImage();
    EXPECT_FALSE(HasColor(image, firstCell, ToQColor(e.SelectedColor().Background())));
    // Gutter numbers.
    e.Gutter().SetVisible(true);
    e.Gutter().SetShowLineNumbers(true);
    e.Gutter().SetColor(0x00FFF8ED);
    ASSERT_GT(e.GutterPixels(), 0);
    image = e.grab().toImage();
    const QRect gutter(0, 0, e.GutterPixels() - 1, rh - 1);
    EXPECT_TRUE(HasColor(image, gutter, ToQColor(0x00FFF8ED)));
    bool hasInk = false;
    for (int y = 0; y < rh; ++y)
        for (int x = 0; x < e.GutterPixels(); ++x)
            hasInk = hasInk || image.pixelColor(x, y) != ToQColor(0x00FFF8ED);
    EXPECT_TRUE(hasInk);
}

TEST(TextEditControl, ScrollBarsAndWheel)
{
    TTextEdit e;
    e.resize(300, 200);
    QStringList lines;
    for (int i = 0; i < 40000; ++i)
        lines << QString::number(i);
    SetText(e, lines);
    e.RefreshScrollBars();
    // Past 32767 rows the bar works on a 0..32767 scale.
    const int page = MulDiv(32767, e.RowsInWindow(), 40000);
    EXPECT_EQ(e.VerticalScrollBar()->minimum(), 0);
    EXPECT_EQ(e.VerticalScrollBar()->maximum(), 32767 - page + 1);
    e.VerticalScrollBar()->setValue(16384);
    EXPECT_EQ(e.TopRow(), MulDiv(40000, 16384, 32767));
    e.SetTopRow(100);
    EXPECT_EQ(e.VerticalScrollBar()->value(), MulDiv(32767, 100, 40000));
    // Dragging the thumb scales back and shows the hint until it is let go.
    e.VerticalScrollBar()->setSliderDown(true);
    e.VerticalScrollBar()->setSliderPosition(32767 - page + 1);
    EXPECT_EQ(e.TopRow(), 40000 - e.RowsInWindow() + 1);
    EXPECT_TRUE(e.ThumbTracking());
    ASSERT_NE(e.ScrollHintWindow(), nullptr);
    EXPECT_TRUE(e.ScrollHintWindow()->isVisible());
    EXPECT_EQ(e.ScrollHintText(), QStringLiteral("Top Line: %1").arg(e.TopRow()));
    e.VerticalScrollBar()->setSliderDown(false);
    EXPECT_FALSE(e.ThumbTracking());
    EXPECT_FALSE(e.ScrollHintWindow()->isVisible());
    e.ScrollBars().SetHintFormat(shfTopToBottom);
    e.SetTopRow(100);
    EXPECT_EQ(e.ScrollHintText(), QStringLiteral("100 - %1").arg(100 + e.RowsInWindow()));
    int scrolled = 0;
    e.OnScroll = [&](TCustomTextEdit*, TScrollBarKind bar) { scrolled += bar == sbVertical; };
    const int step = QApplication::wheelScrollLines();
    QWheelEvent half(QPointF(50, 50), QPointF(50, 50), QPoint(), QPoint(0, -60), Qt::NoButton, Qt::NoModifier,
                     Qt::NoScrollPhase, false);
    QApplication::sendEvent(&e, &half);
    EXPECT_EQ(e.TopRow(), 100);
    QApplication::sendEvent(&e, &half);
    EXPECT_EQ(e.TopRow(), 100 + step);
    EXPECT_EQ(scrolled, 1);
    // Ctrl turns a wheel step into a page.
    QWheelEvent ctrlUp(QPointF(50, 50), QPointF(50, 50), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::ControlModifier,
                       Qt::NoScrollPhase, false);
    QApplication::sendEvent(&e, &ctrlUp);
    EXPECT_EQ(e.TopRow(), 100 + step + e.RowsInWindow());
    e.PlaceCaretAtCharIndex(static_cast<int>(e.ReadFullText().size()));
    EXPECT_EQ(e.CaretPos().Line, 40000);
    EXPECT_GE(e.TopRow() + e.RowsInWindow() - 1, 40000);
}

TEST(TextEditControl, SetUpAsTheFreeDictationScreen)
{
    QWidget form;
    auto* e = new TTextEdit(&form);
    e->setGeometry(0, 0, 320, 240);
    e->SetColor(0x00FFF8ED);
    e->ActiveLine().SetVisible(true);
    e->ActiveLine().SetBackground(0x00FDEED7);
    e->SetLineSpacingRule(lsOneAndHalf);
    e->ScrollBars().SetScrollBars(ssVertical);
    TFont font;
    font.Name = QStringLiteral("Courier New");
    font.SetHeight(-13);
    e->SetFont(font);
    e->Gutter().SetVisible(true);
    e->Gutter().SetShowLineNumbers(true);
    e->Gutter().SetDigitCount(2);
    e->Gutter().SetColor(0x00FFF8ED);
    e->Gutter().SetBorderColor(0x00F5D59A);
    form.show();
    EXPECT_FALSE(e->HorizontalScrollBar()->isVisible());
    EXPECT_TRUE(e->VerticalScrollBar()->isVisible());
    EXPECT_EQ(e->ColumnsInWindow(),
              (320 - e->VerticalScrollBar()->sizeHint().width() - e->GutterPixels() - 2) / e->CharWidth());
    e->ReplaceAllText(QStringLiteral("Dear Sir,\r\n我想学英语。"));
    // As the screens call it: past the end of the text, the start of the last line.
    e->PlaceCaretAtCharIndex(static_cast<int>(e->ReadFullText().size()));
    EXPECT_EQ(e->CaretPos(), BufferCoord(1, 2));
    e->SetCaretPos(BufferCoord(13, 2));
    e->DispatchEditorCommand(ecImeStr, QChar(), QStringLiteral("！"));
    EXPECT_EQ(e->ReadFullText(), QStringLiteral("Dear Sir,\r\n我想学英语。！\r\n"));
    const QImage image = e->grab().toImage();
    ASSERT_FALSE(image.isNull());
    // The gutter's border in the screen's colour, down the whole height.
    for (int y : {0, 100, 230})
        EXPECT_EQ(image.pixelColor(e->GutterPixels() - 2, y), ToQColor(0x00F5D59A)) << y;
}

TEST(TextEditControl, ClipboardCarriesTheBlockType)
{
    TTextEdit a;
    a.ReplaceAllText(QStringLiteral("中文 text"));
    a.SelectWholeText();
    a.CopyToClipboard();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(data);
    const QByteArray block = data->data(TCustomTextEdit::BlockMimeType());
    ASSERT_FALSE(block.isEmpty());
    EXPECT_EQ(block.at(0), static_cast<char>(smNormal));
    EXPECT_EQ(QString::fromUtf8(block.mid(1)), QStringLiteral("中文 text"));
    // Plain text from elsewhere with CR LF lines pastes as lines.
    QGuiApplication::clipboard()->setText(QStringLiteral("x\r\ny\r\n"));
    TTextEdit b;
    b.PasteFromClipboard();
    EXPECT_EQ(b.Lines().ToStringList(), (QStringList{"x", "y", ""}));
    EXPECT_EQ(b.CaretPos(), BufferCoord(1, 3));
    b.Undo();
    EXPECT_EQ(b.ReadFullText(), QString());
}

TEST(TextEditControl, DropsMoveAndCopyText)
{
    TTextEdit e;
    e.resize(400, 200);
    e.ReplaceAllText(QStringLiteral("abc 中文 xyz"));
    const int cw = e.CharWidth();
    const int left = e.GutterPixels() + 2;
    const int y = e.RowHeight() / 2;
    // Moving "abc" behind "xyz" within the editor: one undo step.
    e.PlaceCaretCollapsed(BufferCoord(1, 1));
    e.SetCaretPos(BufferCoord(4, 1));
    e.SetSelectionEnd(BufferCoord(4, 1));
    e.ClearUndoHistory();
    EXPECT_TRUE(e.DropTextAt(QPoint(left + 12 * cw, y), e.SelectedText(), true));
    EXPECT_EQ(e.ReadFullText(), QStringLiteral(" 中文 xyzabc\r\n"));
    e.Undo();
    EXPECT_EQ(e.ReadFullText(), QStringLiteral("abc 中文 xyz\r\n"));
    // Dropped onto itself nothing changes.
    e.PlaceCaretCollapsed(BufferCoord(1, 1));
    e.SetCaretPos(BufferCoord(4, 1));
    e.SetSelectionEnd(BufferCoord(4, 1));
    EXPECT_FALSE(e.DropTextAt(QPoint(left + cw, y), QStringLiteral("abc"), true));
    // A drop event from elsewhere inserts at the pointer, never inside 中.
    auto* data = new QMimeData;
    data->setText(QStringLiteral("+"));
    e.show();
    QDragEnterEvent enter(QPoint(left + 5 * cw + cw / 4, y), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&e, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(left + 5 * cw + cw / 4, y), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    const bool sent = QApplication::sendEvent(&e, &drop);
    EXPECT_TRUE(sent);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(e.ReadFullText(), QStringLiteral("abc 中+文 xyz\r\n"));
    delete data;
}

namespace {

struct TDragCase {
    const char* name;
    Qt::KeyboardModifiers modifiers;
    bool sameEditor;
    QString source;  // the source editor's text after the drop
    QString target;  // the target editor's text after the drop
    TBufferCoord caret, anchor;  // in the target: the dropped text selected, the caret at its start
    Qt::DropAction shown;        // the action the target offers while the drag passes over it
};

}  // namespace

TEST(TextEditControl, DragsMoveWithinAnEditorAndCopyBetweenEditors)
{
    const std::vector<TDragCase> cases = {
        {"OtherEditorCopies", Qt::NoModifier, false, "one two", "xtwoy", {2, 1}, {5, 1}, Qt::CopyAction},
        {"OtherEditorMovesWithShift", Qt::ShiftModifier, false, "one ", "xtwoy", {2, 1}, {5, 1}, Qt::MoveAction},
        {"SameEditorMoves", Qt::NoModifier, true, "", "one  xtwoy", {7, 1}, {10, 1}, Qt::MoveAction},
        {"SameEditorCopiesWithCtrl", Qt::ControlModifier, true, "", "one two xtwoy", {10, 1}, {13, 1}, Qt::CopyAction},
    };
    for (const TDragCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTextEdit a, b;
        a.resize(400, 200);
        b.resize(400, 200);
        a.show();
        b.show();
        TTextEdit& target = c.sameEditor ? a : b;
        a.ReplaceAllText(QStringLiteral("one two"));
        if (c.sameEditor)
            a.ReplaceAllText(QStringLiteral("one two xy"));
        else
            b.ReplaceAllText(QStringLiteral("xy"));
        a.ClearUndoHistory();
        b.ClearUndoHistory();
        a.PlaceCaretCollapsed(BufferCoord(5, 1));
        a.SetCaretPos(BufferCoord(8, 1));
        a.SetSelectionEnd(BufferCoord(8, 1));
        ASSERT_EQ(a.SelectedText(), QStringLiteral("two"));
        // Between "x" and "y" of the target.
        const int column = c.sameEditor ? 10 : 2;
        const QPoint at(target.GutterPixels() + 2 + (column - 1) * target.CharWidth() + 1, target.RowHeight() / 2);
        std::unique_ptr<QMimeData> data(a.CreateDragData());
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(at, actions, data.get(), Qt::LeftButton, c.modifiers);
        QApplication::sendEvent(&target, &enter);
        EXPECT_TRUE(enter.isAccepted());
        EXPECT_EQ(enter.dropAction(), c.shown);
        QDragMoveEvent move(at, actions, data.get(), Qt::LeftButton, c.modifiers);
        QApplication::sendEvent(&target, &move);
        EXPECT_EQ(move.dropAction(), c.shown);
        QDropEvent drop(QPointF(at), actions, data.get(), Qt::LeftButton, c.modifiers);
        QApplication::sendEvent(&target, &drop);
        EXPECT_TRUE(drop.isAccepted());
        // The drop did all there was to do: the source must not delete again.
        EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
        EXPECT_EQ(target.ReadFullText(), c.target + QStringLiteral("\r\n"));
        EXPECT_EQ(target.CaretPos(), c.caret);
        EXPECT_EQ(target.SelectionAnchor(), c.anchor);
        EXPECT_EQ(target.SelectedText(), QStringLiteral("two"));
        if (!c.sameEditor) {
            EXPECT_EQ(a.ReadFullText(), c.source + QStringLiteral("\r\n"));
            // A move is undone in the source's own list.
            EXPECT_EQ(a.CanUndo(), c.source != QStringLiteral("one two"));
            a.Undo();
            EXPECT_EQ(a.ReadFullText(), QStringLiteral("one two\r\n"));
        }
        target.Undo();
        EXPECT_EQ(target.ReadFullText(), c.sameEditor ? QStringLiteral("one two xy\r\n") : QStringLiteral("xy\r\n"));
    }
}

// ---------------------------------------------------------------- plugins

namespace {

// Records every call in one log shared by the plugins of a test.
class TRecordingPlugin : public TTextEditPlugin {
public:
    TRecordingPlugin(TCustomTextEdit* owner, QString name, QStringList& log, int* freed = nullptr)
        : TTextEditPlugin(owner), FName(std::move(name)), FLog(log), FFreed(freed)
    {
    }
    ~TRecordingPlugin() override
    {
        if (FFreed)
            ++*FFreed;
    }
    void PaintOverlay(TCanvas& canvas, const QRect& clip, int firstLine, int lastLine) override
    {
        FLog << QStringLiteral("%1 paint %2..%3").arg(FName).arg(firstLine).arg(lastLine);
        LastClip = clip;
        // A mark the grab can find: a red square at the text's top left.
        canvas.BrushColor = clRed;
        canvas.FillRect(QRect(Owner()->GutterPixels() + 2, 0, 4, 4));
    }
    void NotifyLinesAdded(int firstLine, int count) override
    {
        FLog << QStringLiteral("%1 added %2 %3").arg(FName).arg(firstLine).arg(count);
    }
    void NotifyLinesRemoved(int firstLine, int count) override
    {
        FLog << QStringLiteral("%1 removed %2 %3").arg(FName).arg(firstLine).arg(count);
    }
    QRect LastClip;

private:
    QString FName;
    QStringList& FLog;
    int* FFreed;
};

}  // namespace

TEST(TextEditPlugins, LineChangesReachEveryPluginInOrder)
{
    QStringList log;
    TTextEdit e;
    SetText(e, {QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")});
    auto* a = new TRecordingPlugin(&e, QStringLiteral("a"), log);
    new TRecordingPlugin(&e, QStringLiteral("b"), log);
    TRecordingPlugin loose(nullptr, QStringLiteral("loose"), log);
    EXPECT_EQ(e.PluginCount(), 2);
    EXPECT_EQ(e.Plugin(0), a);
    EXPECT_EQ(loose.Owner(), nullptr);

    // A line break inside line 1 adds line 2; joining it back removes it.
    e.PlaceCaretCollapsed(BufferCoord(2, 1));
    e.DispatchEditorCommand(ecLineBreak, QChar());
    e.DispatchEditorCommand(ecDeleteLastChar, QChar());
    // Undoing the join adds the line again; a paste of two breaks adds two.
    e.Undo();
    e.PlaceCaretCollapsed(BufferCoord(1, 4));
    e.SetSelectedText(QStringLiteral("x\r\ny\r\nz"));
    // Typing within a line adds and removes no line.
    e.DispatchEditorCommand(ecChar, QLatin1Char('q'));
    EXPECT_EQ(log, (QStringList{QStringLiteral("a added 2 1"), QStringLiteral("b added 2 1"),
                                QStringLiteral("a removed 2 1"), QStringLiteral("b removed 2 1"),
                                QStringLiteral("a added 2 1"), QStringLiteral("b added 2 1"),
                                QStringLiteral("a added 5 2"), QStringLiteral("b added 5 2")}));
}

TEST(TextEditPlugins, FreedEarlyOrWithTheEditor)
{
    QStringList log;
    int freed = 0;
    {
        TTextEdit e;
        SetText(e, {QStringLiteral("one")});
        auto* first = new TRecordingPlugin(&e, QStringLiteral("first"), log, &freed);
        new TRecordingPlugin(&e, QStringLiteral("second"), log, &freed);
        new TRecordingPlugin(&e, QStringLiteral("third"), log, &freed);
        delete first;
        EXPECT_EQ(freed, 1);
        EXPECT_EQ(e.PluginCount(), 2);
        e.Lines().Insert(0, QStringLiteral("zero"));
        EXPECT_EQ(log, (QStringList{QStringLiteral("second added 1 1"), QStringLiteral("third added 1 1")}));
    }
    // The editor freed the two it still held, and not the first again.
    EXPECT_EQ(freed, 3);
}

namespace {

// Frees another plugin of its editor the first time it hears anything.
class TFreeingPlugin : public TTextEditPlugin {
public:
    using TTextEditPlugin::TTextEditPlugin;
    void PaintOverlay(TCanvas&, const QRect&, int, int) override { FreeVictim(); }
    void NotifyLinesAdded(int, int) override { FreeVictim(); }
    void NotifyLinesRemoved(int, int) override { FreeVictim(); }
    TTextEditPlugin* Victim = nullptr;

private:
    void FreeVictim() { delete std::exchange(Victim, nullptr); }
};

struct TPluginFreeCase {
    const char* name;
    std::function<void(TTextEdit&)> notify;
    QString heardAfter;  // what the plugin behind the freed one logs
};

}  // namespace

TEST(TextEditPlugins, PluginFreedDuringANotificationIsNotCalled)
{
    const std::vector<TPluginFreeCase> cases{
        {"lines added", [](TTextEdit& e) { e.Lines().Insert(0, QStringLiteral("zero")); },
         QStringLiteral("after added 1 1")},
        {"lines removed", [](TTextEdit& e) { e.Lines().Delete(0); }, QStringLiteral("after removed 1 1")},
        {"overlay painted", [](TTextEdit& e) { e.grab(); }, QStringLiteral("after paint 1..2")},
    };
    for (const TPluginFreeCase& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList log;
        int freed = 0;
        TTextEdit e;
        e.resize(300, 200);
        SetText(e, {QStringLiteral("one"), QStringLiteral("two")});
        // The freeing plugin comes first: the freed one's turn is still to
        // come when it goes, and the one behind it is still called.
        auto* freer = new TFreeingPlugin(&e);
        freer->Victim = new TRecordingPlugin(&e, QStringLiteral("victim"), log, &freed);
        new TRecordingPlugin(&e, QStringLiteral("after"), log, &freed);
        c.notify(e);
        EXPECT_EQ(freed, 1);
        EXPECT_EQ(e.PluginCount(), 2);
        EXPECT_EQ(log, QStringList{c.heardAfter});
    }
}

TEST(TextEditPlugins, MarksMoveWithTheirLines)
{
    TTextEdit e;
    SetText(e, {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
                QStringLiteral("5")});
    auto addMark = [&](int line) {
        auto mark = std::make_unique<TTextEditMark>();
        mark->SetMarkLine(line);
        TTextEditMark* raw = mark.get();
        e.Marks().Add(std::move(mark));
        return raw;
    };
    TTextEditMark* m1 = addMark(1);
    TTextEditMark* m3 = addMark(3);
    TTextEditMark* m5 = addMark(5);
    e.Lines().Insert(1, QStringLiteral("new"));  // before line 2
    EXPECT_EQ(m1->MarkLine(), 1);
    EXPECT_EQ(m3->MarkLine(), 4);
    EXPECT_EQ(m5->MarkLine(), 6);
    e.Lines().DeleteLineRange(2, 3);  // lines 3..5
    EXPECT_EQ(m1->MarkLine(), 1);
    EXPECT_EQ(m3->MarkLine(), 3);  // inside the removed range: to its first line
    EXPECT_EQ(m5->MarkLine(), 3);
}

TEST(TextEditPlugins, OverlaysPaintAfterTheTextAndBeforeOnPaint)
{
    QStringList log;
    TTextEdit e;
    e.resize(300, 200);
    SetText(e, {QStringLiteral("alpha"), QStringLiteral("beta")});
    auto* plugin = new TRecordingPlugin(&e, QStringLiteral("p"), log);
    e.OnPaint = [&](TCustomTextEdit*, TCanvas&) { log << QStringLiteral("OnPaint"); };
    const QImage shot = e.grab().toImage();
    // Rows past the text are not handed to the plugins.
    EXPECT_EQ(log, (QStringList{QStringLiteral("p paint 1..2"), QStringLiteral("OnPaint")}));
    EXPECT_EQ(plugin->LastClip, e.ClientRect());
    EXPECT_EQ(shot.pixelColor(e.GutterPixels() + 3, 1), QColor(Qt::red));
    // Without text the plugins are not called; OnPaint still fires.
    log.clear();
    e.ClearContent();
    e.grab();
    EXPECT_EQ(log, QStringList{QStringLiteral("OnPaint")});
}

// ---------------------------------------------------------------- selection modes

struct TModeCase {
    const char* name;
    TTextSelectionMode mode;
    TBufferCoord anchor, end;
    QString selected;       // SelectedText
    QStringList afterDelete;  // the lines after the selection is replaced by nothing
    TBufferCoord caret;     // the caret after the deletion
};

class TextEditSelectionModes : public ::testing::TestWithParam<TModeCase> {};

TEST_P(TextEditSelectionModes, ReadDeleteUndoRedo)
{
    const TModeCase& c = GetParam();
    const QStringList start{QStringLiteral("abc  "), QStringLiteral("d你fgh"), QStringLiteral("ij")};
    TTextEdit e;
    SetText(e, start);
    e.SetSelectionMode(c.mode);
    e.SetCaretPos(c.end);
    e.SetSelectionBegin(c.anchor);
    e.SetSelectionEnd(c.end);
    EXPECT_EQ(e.SelectedText(), c.selected);
    e.SetSelectedText(QString());
    EXPECT_EQ(LinesOf(e), c.afterDelete);
    EXPECT_EQ(e.CaretPos(), c.caret);
    e.Undo();
    EXPECT_EQ(LinesOf(e), start);
    e.Redo();
    EXPECT_EQ(LinesOf(e), c.afterDelete);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, TextEditSelectionModes,
    ::testing::Values(
        TModeCase{"NormalAcrossLines", smNormal, BufferCoord(3, 1), BufferCoord(2, 3),
                  QStringLiteral("c\r\nd你fgh\r\ni"), {QStringLiteral("abj")}, BufferCoord(3, 1)},
        // Trailing blanks are not copied but are removed and given back.
        TModeCase{"LinesInTheMiddle", smLine, BufferCoord(4, 1), BufferCoord(2, 2),
                  QStringLiteral("abc\r\nd你fgh\r\n"), {QStringLiteral("ij")}, BufferCoord(1, 1)},
        TModeCase{"LinesToTheEndKeepAnEmptyLastLine", smLine, BufferCoord(1, 2), BufferCoord(1, 3),
                  QStringLiteral("d你fgh\r\nij\r\n"), {QStringLiteral("abc  "), QString()}, BufferCoord(1, 2)},
        // A column through the wide character takes it whole; short lines are padded.
        TModeCase{"ColumnOverAWideCharacter", smColumn, BufferCoord(2, 1), BufferCoord(4, 3),
                  QStringLiteral("bc\r\n你\r\nj "),
                  {QStringLiteral("a  "), QStringLiteral("dfgh"), QStringLiteral("i")}, BufferCoord(2, 3)},
        // A block edge on the second half of a wide character moves past it.
        TModeCase{"ColumnEdgeInsideAWideCharacter", smColumn, BufferCoord(3, 1), BufferCoord(5, 3),
                  QStringLiteral("c \r\nf \r\n  "),
                  {QStringLiteral("ab "), QStringLiteral("d你gh"), QStringLiteral("ij")}, BufferCoord(3, 3)},
        TModeCase{"ColumnAnchorBelow", smColumn, BufferCoord(1, 3), BufferCoord(2, 1),
                  QStringLiteral("a\r\nd\r\ni"), {QStringLiteral("bc  "), QStringLiteral("你fgh"), QStringLiteral("j")},
                  BufferCoord(1, 1)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TextEditControl, ColumnSelectionEmptinessAndPointInSelection)
{
    TTextEdit e;
    SetText(e, {QStringLiteral("abcdef"), QStringLiteral("abcdef"), QStringLiteral("abcdef")});
    e.SetSelectionBegin(BufferCoord(3, 1));
    e.SetSelectionEnd(BufferCoord(3, 3));
    EXPECT_TRUE(e.SelectionAvailable());
    e.SetSelectionMode(smColumn);
    EXPECT_FALSE(e.SelectionAvailable());
    e.SetSelectionEnd(BufferCoord(5, 3));
    EXPECT_TRUE(e.PointInSelection(BufferCoord(3, 2)));
    EXPECT_TRUE(e.PointInSelection(BufferCoord(4, 2)));
    EXPECT_FALSE(e.PointInSelection(BufferCoord(5, 2)));
    EXPECT_FALSE(e.PointInSelection(BufferCoord(2, 2)));
    e.SetSelectionMode(smLine);
    EXPECT_TRUE(e.PointInSelection(BufferCoord(1, 2)));
    e.SetSelectionMode(smNormal);
    EXPECT_FALSE(e.PointInSelection(BufferCoord(2, 1)));
    EXPECT_TRUE(e.PointInSelection(BufferCoord(6, 1)));
    EXPECT_FALSE(e.PointInSelection(BufferCoord(5, 3)));
    // Shift+Down keeps growing a column block from the same character.
    e.SetSelectionMode(smColumn);
    e.PlaceCaretCollapsed(BufferCoord(2, 1));
    e.DispatchEditorCommand(ecSelDown, QChar());
    e.DispatchEditorCommand(ecSelDown, QChar());
    e.DispatchEditorCommand(ecSelRight, QChar());
    EXPECT_EQ(e.SelectionAnchor(), BufferCoord(2, 1));
    EXPECT_EQ(e.SelectedText(), QStringLiteral("b\r\nb\r\nb"));
}

TEST(TextEditControl, BlocksPastedInTheModeTheyWereCopied)
{
    TTextEdit source;
    SetText(source, {QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")});
    TTextEdit target;
    // A column block pasted at column 5 below the last line appends lines
    // padded with four blanks; one undo takes it all back.
    source.SetSelectionMode(smColumn);
    source.SetSelectionBegin(BufferCoord(1, 1));
    source.SetSelectionEnd(BufferCoord(3, 3));
    source.CopyToClipboard();
    SetText(target, {QStringLiteral("x")});
    target.SetCaretPos(BufferCoord(5, 1));
    target.PasteFromClipboard();
    EXPECT_EQ(LinesOf(target), (QStringList{QStringLiteral("x   on"), QStringLiteral("    tw"), QStringLiteral("    th")}));
    EXPECT_EQ(target.CaretPos(), BufferCoord(7, 3));
    target.Undo();
    EXPECT_EQ(LinesOf(target), QStringList{QStringLiteral("x")});
    // Whole lines go in before the caret line.
    source.SetSelectionMode(smLine);
    source.SetSelectionBegin(BufferCoord(2, 2));
    source.SetSelectionEnd(BufferCoord(1, 3));
    source.CopyToClipboard();
    SetText(target, {QStringLiteral("a"), QStringLiteral("b")});
    target.PlaceCaretCollapsed(BufferCoord(2, 2));
    target.PasteFromClipboard();
    EXPECT_EQ(LinesOf(target), (QStringList{QStringLiteral("a"), QStringLiteral("two"), QStringLiteral("three"),
                                            QStringLiteral("b")}));
    EXPECT_EQ(target.CaretPos(), BufferCoord(1, 4));
    target.Undo();
    EXPECT_EQ(LinesOf(target), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    // The plain text of a column block keeps its padding.
    source.SetSelectionMode(smColumn);
    source.SetOptions(source.Options() | OptionBit(eoTrimTrailingSpaces));
    source.SetSelectionBegin(BufferCoord(3, 1));
    source.SetSelectionEnd(BufferCoord(5, 3));
    EXPECT_EQ(source.SelectedText(), QStringLiteral("e\r\no\r\nre"));
    source.CopyToClipboard();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("e \r\no \r\nre"));
}

// ---------------------------------------------------------------- bookmarks

TEST(TextEditBookmarks, PlaceReplaceRefuseToggleAndClear)
{
    TTextEdit e;
    QStringList lines;
    for (int i = 1; i <= 10; ++i)
        lines << QStringLiteral("line %1").arg(i);
    SetText(e, lines);
    e.PlaceBookmark(3, 2, 4);
    TTextEditMark* first = e.Bookmark(3);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->MarkLine(), 4);
    EXPECT_EQ(first->PictureIndex(), 3);
    EXPECT_TRUE(first->Shown());
    // Placing number 3 again replaces the first mark.
    QStringList cleared;
    e.OnClearBookmark = [&](TCustomTextEdit*, TTextEditMark*& m) { cleared << QString::number(m->MarkLine()); };
    e.PlaceBookmark(3, 1, 6);
    EXPECT_EQ(cleared, QStringList{QStringLiteral("4")});
    EXPECT_EQ(e.Marks().Count(), 1);
    EXPECT_EQ(e.Bookmark(3)->MarkLine(), 6);
    // Out of range numbers and lines are ignored; a handler may refuse.
    e.PlaceBookmark(10, 1, 1);
    e.PlaceBookmark(4, 1, 11);
    e.OnPlaceBookmark = [](TCustomTextEdit*, TTextEditMark*& m) { m = nullptr; };
    e.PlaceBookmark(5, 1, 1);
    EXPECT_EQ(e.Marks().Count(), 1);
    e.OnPlaceBookmark = nullptr;
    // ecSetMarker toggles on the bookmark's own line and moves it from another.
    e.PlaceCaretCollapsed(BufferCoord(1, 6));
    e.DispatchEditorCommand(static_cast<TTextEditorCommand>(ecSetMarker0 + 3), QChar());
    EXPECT_EQ(e.Bookmark(3), nullptr);
    e.DispatchEditorCommand(static_cast<TTextEditorCommand>(ecSetMarker0 + 3), QChar());
    ASSERT_NE(e.Bookmark(3), nullptr);
    e.PlaceCaretCollapsed(BufferCoord(3, 2));
    e.DispatchEditorCommand(static_cast<TTextEditorCommand>(ecSetMarker0 + 3), QChar());
    EXPECT_EQ(e.Bookmark(3)->MarkLine(), 2);
    EXPECT_EQ(e.Marks().Count(), 1);
    // The bookmark moves with its line; the screens' clearing removes it.
    e.PlaceCaretCollapsed(BufferCoord(1, 1));
    e.DispatchEditorCommand(ecLineBreak, QChar());
    EXPECT_EQ(e.Bookmark(3)->MarkLine(), 3);
    e.ClearContent();
    EXPECT_EQ(e.Bookmark(3), nullptr);
    EXPECT_EQ(e.Marks().Count(), 0);
}

TEST(TextEditBookmarks, JumpCentresAndKeysNeedEnableKeys)
{
    TTextEdit e;
    e.resize(300, 10 * e.RowHeight());
    QStringList lines;
    for (int i = 1; i <= 200; ++i)
        lines << QStringLiteral("line %1").arg(i);
    SetText(e, lines);
    const int rows = e.RowsInWindow();
    ASSERT_GT(rows, 2);
    e.PlaceBookmark(1, 3, 100);
    e.SetSelectionEnd(BufferCoord(2, 2));
    e.DispatchEditorCommand(static_cast<TTextEditorCommand>(ecGotoMarker0 + 1), QChar());
    EXPECT_EQ(e.CaretPos(), BufferCoord(3, 100));
    EXPECT_FALSE(e.SelectionAvailable());
    EXPECT_EQ(e.TopRow(), 100 - rows / 2);
    // Inside the window the view stays.
    e.PlaceBookmark(2, 1, e.TopRow() + 1);
    const int top = e.TopRow();
    e.JumpToBookmark(2);
    EXPECT_EQ(e.TopRow(), top);
    e.BookMarkOptions().SetEnableKeys(false);
    e.PlaceCaretCollapsed(BufferCoord(1, 1));
    e.DispatchEditorCommand(static_cast<TTextEditorCommand>(ecGotoMarker0 + 1), QChar());
    e.DispatchEditorCommand(static_cast<TTextEditorCommand>(ecSetMarker0 + 4), QChar());
    EXPECT_EQ(e.CaretPos(), BufferCoord(1, 1));
    EXPECT_EQ(e.Bookmark(4), nullptr);
}

TEST(TextEditBookmarks, GlyphDrawnInTheGutter)
{
    TTextEdit e;
    e.resize(300, 200);
    e.Gutter().SetVisible(true);
    SetText(e, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    const int rh = e.RowHeight();
    auto differingPixels = [&](const QImage& shot, int row) {
        const QColor gutter = shot.pixelColor(0, row * rh);
        int n = 0;
        // Left of the border, which the default style draws.
        for (int y = row * rh; y < (row + 1) * rh; ++y)
            for (int x = 0; x < e.GutterPixels() - 2; ++x)
                n += shot.pixelColor(x, y) != gutter;
        return n;
    };
    e.Gutter().SetShowLineNumbers(false);
    const QImage before = e.grab().toImage();
    EXPECT_EQ(differingPixels(before, 1), 0);
    e.PlaceBookmark(0, 1, 2);
    const QImage after = e.grab().toImage();
    EXPECT_GT(differingPixels(after, 1), 0);
    EXPECT_EQ(differingPixels(after, 0), 0);
    e.BookMarkOptions().SetGlyphsVisible(false);
    EXPECT_EQ(differingPixels(e.grab().toImage(), 1), 0);
}

TEST(TextEditGutter, BorderStyles)
{
    struct TCase {
        TTextGutterBorderStyle style;
        QColor middle, last;  // the gutter's second last and last pixel columns
    };
    const QColor gutter = ToQColor(0x00FFF8ED);
    const QColor border = ToQColor(0x00F5D59A);
    for (const TCase& c : {TCase{gbsMiddle, border, gutter}, TCase{gbsRight, gutter, border}, TCase{gbsNone, gutter, gutter}}) {
        SCOPED_TRACE(static_cast<int>(c.style));
        TTextEdit e;
        e.resize(300, 200);
        e.Gutter().SetVisible(true);
        e.Gutter().SetColor(0x00FFF8ED);
        e.Gutter().SetBorderColor(0x00F5D59A);
        e.Gutter().SetBorderStyle(c.style);
        SetText(e, {QStringLiteral("a")});
        const QImage shot = e.grab().toImage();
        const int g = e.GutterPixels();
        ASSERT_GT(g, 3);
        for (int y : {0, e.RowHeight() * 3}) {
            EXPECT_EQ(shot.pixelColor(g - 2, y), c.middle) << y;
            EXPECT_EQ(shot.pixelColor(g - 1, y), c.last) << y;
            EXPECT_EQ(shot.pixelColor(g - 3, y), gutter) << y;
        }
    }
}

TEST(TextEditGutter, ModifiedLineBars)
{
    TTextEdit e;
    e.resize(300, 200);
    e.Gutter().SetVisible(true);
    e.Gutter().SetShowLineNumbers(false);
    e.Gutter().SetBorderStyle(gbsNone);
    e.Gutter().SetColor(clWhite);
    SetText(e, {QStringLiteral("saved"), QStringLiteral("changed"), QStringLiteral("same")});
    *e.Lines().LineExtra(0) = lsSaved;
    *e.Lines().LineExtra(1) = lsChanged;
    *e.Lines().LineExtra(2) = lsUnchanged;
    e.Gutter().SetRightOffset(8);
    const int rh = e.RowHeight();
    const int x = e.GutterPixels() - 8;
    QImage shot = e.grab().toImage();
    // Without the option no bars.
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(shot.pixelColor(x, row * rh + rh / 2), QColor(Qt::white)) << row;
    e.Gutter().SetShowLineModified(true);
    shot = e.grab().toImage();
    EXPECT_EQ(shot.pixelColor(x, rh / 2), ToQColor(e.Gutter().LineNormalColor()));
    EXPECT_EQ(shot.pixelColor(x, rh + rh / 2), ToQColor(e.Gutter().LineModifiedColor()));
    EXPECT_EQ(shot.pixelColor(x, 2 * rh + rh / 2), QColor(Qt::white));
    // The bar is five pixels wide.
    EXPECT_EQ(shot.pixelColor(x + 4, rh / 2), ToQColor(e.Gutter().LineNormalColor()));
    EXPECT_EQ(shot.pixelColor(x + 5, rh / 2), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(x - 1, rh / 2), QColor(Qt::white));
}

TEST(TextEditGutter, TicksTextAndPaintEvents)
{
    TTextEdit e;
    e.resize(300, 40 * 20);
    e.Gutter().SetVisible(true);
    e.Gutter().SetShowLineNumbers(true);
    e.Gutter().SetBorderStyle(gbsNone);
    e.Gutter().SetColor(clWhite);
    QStringList lines;
    for (int i = 1; i <= 25; ++i)
        lines << QStringLiteral("x");
    SetText(e, lines);
    e.PlaceCaretCollapsed(BufferCoord(1, 3));
    const int rh = e.RowHeight();
    ASSERT_GE(e.RowsInWindow(), 21);
    const int g = e.GutterPixels();
    // The inked pixels of a row's gutter, and how many pixel rows hold them.
    auto ink = [&](const QImage& shot, int line) {
        int pixels = 0;
        std::set<int> ys;
        for (int y = (line - 1) * rh; y < line * rh; ++y)
            for (int x = 0; x < g; ++x)
                if (shot.pixelColor(x, y) != QColor(Qt::white)) {
                    ++pixels;
                    ys.insert(y);
                }
        return std::make_pair(pixels, static_cast<int>(ys.size()));
    };
    const QImage numbers = e.grab().toImage();
    e.Gutter().SetIntens(true);
    const QImage ticks = e.grab().toImage();
    // Lines 10 and 20 and the caret's line keep their numbers.
    for (int line : {3, 10, 20})
        EXPECT_EQ(ink(ticks, line), ink(numbers, line)) << line;
    // Line 15 shows a dash (one pixel row), line 13 two short strokes (two).
    EXPECT_EQ(ink(ticks, 15).second, 1);
    EXPECT_EQ(ink(ticks, 13).second, 2);
    EXPECT_LT(ink(ticks, 15).first, ink(numbers, 15).first);
    // Handlers may change the text and draw after each line.
    e.Gutter().SetIntens(false);
    std::vector<int> painted;
    e.OnGutterGetText = [](TCustomTextEdit*, int line, QString& text) {
        if (line == 2)
            text.clear();
    };
    e.OnGutterPaint = [&](TCustomTextEdit*, int line, int x, int y) {
        EXPECT_EQ(x, 0);
        EXPECT_EQ(y, (line - 1) * rh);
        painted.push_back(line);
    };
    const QImage changed = e.grab().toImage();
    EXPECT_EQ(ink(changed, 2).first, 0);
    EXPECT_GT(ink(changed, 1).first, 0);
    ASSERT_FALSE(painted.empty());
    EXPECT_EQ(painted.front(), 1);
    EXPECT_EQ(painted.back(), 25);
}

TEST(TextEditGutter, ClicksReportLineAndMark)
{
    TTextEdit e;
    e.resize(300, 200);
    e.Gutter().SetVisible(true);
    e.show();
    SetText(e, {QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")});
    const int rh = e.RowHeight();
    struct TClick {
        Qt::MouseButton button;
        int line;
        TTextEditMark* mark;
    };
    std::vector<TClick> clicks;
    e.OnGutterClick = [&](TCustomTextEdit*, Qt::MouseButton button, int, int, int line, TTextEditMark* mark, bool) {
        clicks.push_back({button, line, mark});
    };
    e.PlaceBookmark(3, 1, 2);
    QTest::mouseClick(&e, Qt::LeftButton, Qt::NoModifier, QPoint(3, rh / 2));
    QTest::mouseClick(&e, Qt::LeftButton, Qt::NoModifier, QPoint(3, rh + rh / 2));
    QTest::mouseClick(&e, Qt::RightButton, Qt::NoModifier, QPoint(3, 2 * rh + 1));
    // Below the text and in the text area no gutter click.
    QTest::mouseClick(&e, Qt::LeftButton, Qt::NoModifier, QPoint(3, 6 * rh));
    QTest::mouseClick(&e, Qt::LeftButton, Qt::NoModifier, QPoint(e.GutterPixels() + 10, rh / 2));
    ASSERT_EQ(clicks.size(), 3u);
    EXPECT_EQ(clicks[0].line, 1);
    EXPECT_EQ(clicks[0].mark, nullptr);
    EXPECT_EQ(clicks[1].line, 2);
    EXPECT_EQ(clicks[1].mark, e.Bookmark(3));
    EXPECT_EQ(clicks[2].button, Qt::RightButton);
    EXPECT_EQ(clicks[2].line, 3);
}

TEST(TextEditControl, SpecialLineColours)
{
    TTextEdit e;
    e.resize(300, 200);
    e.ActiveLine().SetVisible(false);
    SetText(e, {QStringLiteral("aaaa"), QStringLiteral("bbbb"), QStringLiteral("cccc")});
    std::vector<int> asked;
    e.OnSpecialLineColors = [&](TCustomTextEdit*, int line, bool& special, TColor& fg, TColor& bg) {
        asked.push_back(line);
        EXPECT_EQ(fg, clNone);
        EXPECT_EQ(bg, clNone);
        if (line == 2) {
            special = true;
            bg = clRed;
            fg = clWhite;
        }
        if (line == 3)
            bg = clRed;  // not special: ignored
    };
    const int rh = e.RowHeight();
    const int x = e.GutterPixels() + 2 + 10 * e.CharWidth();
    QImage shot = e.grab().toImage();
    EXPECT_EQ(asked, std::vector<int>({1, 2, 3}));
    EXPECT_EQ(shot.pixelColor(x, rh / 2), ToQColor(clWindow));
    EXPECT_EQ(shot.pixelColor(x, rh + rh / 2), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(x, 2 * rh + rh / 2), ToQColor(clWindow));
    // Selected text of a special line is drawn inverted.
    e.SelectWholeText();
    shot = e.grab().toImage();
    const QRect firstCell(e.GutterPixels() + 2, 0, e.CharWidth(), rh);
    EXPECT_TRUE(HasColor(shot, firstCell, ToQColor(e.SelectedColor().Background())));
    EXPECT_FALSE(HasColor(shot, firstCell.translated(0, rh), ToQColor(e.SelectedColor().Background())));
    EXPECT_TRUE(HasColor(shot, firstCell.translated(0, rh), QColor(Qt::white)));
}

TEST(TextEditControl, LeftColumnStopsWhereTheLastColumnFits)
{
    TTextEdit e;
    e.resize(300, 200);
    e.show();
    SetText(e, {QStringLiteral("short"), QString(100, QLatin1Char('w'))});
    const int columns = e.ColumnsInWindow();
    ASSERT_GT(columns, 5);
    // With eoScrollPastEol up to MaxScrollWidth - ColumnsInWindow + 1.
    e.SetMaxScrollWidth(200);
    e.SetLeftColumn(100000);
    EXPECT_EQ(e.LeftColumn(), 200 - columns + 1);
    e.SetLeftColumn(-4);
    EXPECT_EQ(e.LeftColumn(), 1);
    // Without it, up to the longest line.
    e.SetOptions(e.Options() & ~OptionBit(eoScrollPastEol));
    e.SetLeftColumn(100000);
    EXPECT_EQ(e.LeftColumn(), 100 - columns + 1);
    // With eoAutoSizeMaxScrollWidth the width grows with the view.
    e.SetOptions(e.Options() | OptionBit(eoScrollPastEol) | OptionBit(eoAutoSizeMaxScrollWidth));
    e.SetLeftColumn(500);
    EXPECT_EQ(e.LeftColumn(), 500);
    EXPECT_EQ(e.MaxScrollWidth(), 500 + columns);
}

// ---------------------------------------------------------------- settings

namespace {

std::set<std::tuple<int, int, int>> BindingSet(const TTextEditKeyStrokes& keys)
{
    std::set<std::tuple<int, int, int>> result;
    for (int i = 0; i < keys.Count(); ++i)
        result.insert({keys.Items(i)->Command(), keys.Items(i)->GetShortCut(), keys.Items(i)->GetShortCut2()});
    return result;
}

}  // namespace

TEST(TextEditSettings, KeystrokesStoreOnlyTheDifference)
{
    TTextEdit e;
    QString stored;
    {
        QTextStream out(&stored);
        e.WriteKeystrokes(out);
    }
    EXPECT_TRUE(stored.isEmpty());
    // One binding moved to another shortcut: it is added, the default removed.
    const int up = e.Keystrokes().FindSingleKey(VK_UP, 0);
    ASSERT_GE(up, 0);
    e.Keystrokes().Items(up)->SetShortCut(ShortCut('U', ssCtrl | ssAlt));
    {
        QTextStream out(&stored);
        e.WriteKeystrokes(out);
    }
    EXPECT_EQ(stored, QStringLiteral("AddedKeystrokes\n  ecUp %1 0\nend\nRemovedKeystrokes\n  ecUp %2 0\nend\n")
                          .arg(ShortCut('U', ssCtrl | ssAlt))
                          .arg(ShortCut(VK_UP, 0)));
    TTextEdit reread;
    QTextStream in(&stored);
    reread.ReadKeystrokes(in);
    EXPECT_EQ(BindingSet(reread.Keystrokes()), BindingSet(e.Keystrokes()));
    EXPECT_EQ(reread.TranslateKeyCode('U', ssCtrl | ssAlt), ecUp);
    EXPECT_EQ(reread.TranslateKeyCode(VK_UP, 0), ecNone);
}

TEST(TextEditSettings, MalformedKeystrokesChangeNothing)
{
    for (const QString& text : {QStringLiteral("AddedKeystrokes\n  ecUp 1\nend\n"),
                                QStringLiteral("AddedKeystrokes\n  ecNoSuchCommand 85 0\nend\n"),
                                QStringLiteral("AddedKeystrokes\n  ecUp 70000 0\nend\n"),
                                QStringLiteral("AddedKeystrokes\n  ecUp 85 0\n"),
                                QStringLiteral("Something else\n")}) {
        TTextEdit e;
        const auto before = BindingSet(e.Keystrokes());
        QString copy = text;
        QTextStream in(&copy);
        EXPECT_THROW(e.ReadKeystrokes(in), ETextKeyError) << text.toStdString();
        EXPECT_EQ(BindingSet(e.Keystrokes()), before);
    }
}

TEST(TextEditSettings, StatusChangesReportedOncePerChange)
{
    TTextEdit e;
    SetText(e, {QStringLiteral("abc"), QStringLiteral("def")});
    std::vector<TTextStatusChanges> reports;
    e.OnStatusChange = [&](TCustomTextEdit*, TTextStatusChanges c) { reports.push_back(c); };
    e.DispatchEditorCommand(ecDown, QChar());
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0] & (scCaretY | scCaretX), scCaretY);
    reports.clear();
    e.DispatchEditorCommand(ecChar, QLatin1Char('x'));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0] & scCaretX);
    EXPECT_TRUE(reports[0] & scModified);
    reports.clear();
    e.DispatchEditorCommand(ecToggleMode, QChar());
    e.SetReadOnly(true);
    e.SetReadOnly(true);
    e.DispatchEditorCommand(ecSelLeft, QChar());
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[0], scInsertMode);
    EXPECT_EQ(reports[1], scReadOnly);
    EXPECT_EQ(reports[2] & scSelection, scSelection);
    reports.clear();
    e.SetOptions(e.Options());
    EXPECT_TRUE(reports.empty());
    e.ClearContent();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0] & scAll);
}

TEST(TextEditSettings, UnicodeFontNameAndTabWidthLimits)
{
    TTextEdit e;
    EXPECT_EQ(e.UnicodeFontName(), QString());
    e.SetUnicodeFontName(QStringLiteral("Noto Sans CJK SC"));
    EXPECT_EQ(e.UnicodeFontName(), QStringLiteral("Noto Sans CJK SC"));
    e.SetUnicodeFontName(QString());
    EXPECT_EQ(e.UnicodeFontName(), QString());
    e.SetTabWidth(0);
    EXPECT_EQ(e.TabWidth(), 1);
    e.SetTabWidth(300);
    EXPECT_EQ(e.TabWidth(), 256);
}

TEST(TextEditControl, DroppedFilesReachTheHandlerOnlyWithTheOption)
{
    TTextEdit e;
    e.resize(300, 200);
    SetText(e, {QStringLiteral("text")});
    // A long path with Chinese folder names arrives whole.
    const QString longPath = QStringLiteral("/tmp/") + QString(300, QLatin1Char('d')) + QStringLiteral("/课文 1.txt");
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(longPath), QUrl(QStringLiteral("https://127.0.0.1/x.txt")),
                   QUrl::fromLocalFile(QStringLiteral("/tmp/b.mp3"))});
    std::unique_ptr<QMimeData> owner(data);
    QStringList got;
    QPoint at;
    e.OnDropFiles = [&](TCustomTextEdit*, int x, int y, const QStringList& files) {
        got = files;
        at = QPoint(x, y);
    };
    auto dropAt = [&](QPoint p) {
        QDragEnterEvent enter(p, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&e, &enter);
        QDropEvent drop(QPointF(p), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&e, &drop);
        return enter.isAccepted();
    };
    // Without eoDropFiles nothing arrives and the paths are not typed in either.
    dropAt(QPoint(40, 5));
    EXPECT_TRUE(got.isEmpty());
    e.SetOptions(e.Options() | OptionBit(eoDropFiles));
    EXPECT_TRUE(dropAt(QPoint(40, 5)));
    EXPECT_EQ(got, (QStringList{longPath, QStringLiteral("/tmp/b.mp3")}));
    EXPECT_EQ(at, QPoint(40, 5));
    EXPECT_EQ(LinesOf(e), QStringList{QStringLiteral("text")});
}

TEST(TextEditControl, CustomScrollBarsGetTheCalls)
{
    TTextEdit e;
    e.resize(300, 200);
    QStringList lines;
    for (int i = 0; i < 100; ++i)
        lines << QString::number(i);
    SetText(e, lines);
    TTextEditScrollBar vertical;
    std::vector<TTextScrollInfo> infos;
    std::vector<bool> shown;
    std::vector<int> arrows;
    vertical.OnSetScrollInfo = [&](TTextEditScrollBar*, const TTextScrollInfo& info, bool) {
        infos.push_back(info);
        return info.Pos;
    };
    vertical.OnShowScrollBar = [&](TTextEditScrollBar*, bool show) {
        shown.push_back(show);
        return true;
    };
    vertical.OnEnabledScrollBar = [&](TTextEditScrollBar*, int a) {
        arrows.push_back(a);
        return true;
    };
    // Without a horizontal object that bar is skipped.
    e.ScrollBars().SetVertical(&vertical);
    e.ScrollBars().SetStyle(sbsCustom);
    e.SetTopRow(5);
    ASSERT_FALSE(infos.empty());
    EXPECT_EQ(infos.back().Min, 1);
    EXPECT_EQ(infos.back().Max, 100);
    EXPECT_EQ(static_cast<int>(infos.back().Page), e.RowsInWindow());
    EXPECT_EQ(infos.back().Pos, 5);
    EXPECT_TRUE(shown.back());
    EXPECT_EQ(arrows.back(), 0);
    EXPECT_FALSE(e.VerticalScrollBar()->isVisibleTo(&e));
    EXPECT_FALSE(e.HorizontalScrollBar()->isVisibleTo(&e));
    // The application's bar scrolls the editor through the scroll requests.
    e.VScroll(scLineDown, 0);
    EXPECT_EQ(e.TopRow(), 6);
    EXPECT_EQ(infos.back().Pos, 6);
    e.VScroll(scTop, 0);
    EXPECT_EQ(arrows.back(), 0);
    // With eoDisableScrollArrows the up arrow is off at the top.
    e.SetOptions(e.Options() | OptionBit(eoDisableScrollArrows));
    EXPECT_EQ(arrows.back(), 1);
    e.ScrollBars().SetVertical(nullptr);
}

TEST(TextEditControl, TypingPastTheRightEdgeLeavesRoomAhead)
{
    TTextEdit e;
    e.resize(400, 100);
    const int columns = e.ColumnsInWindow();
    ASSERT_GT(columns, 10);
    for (int i = 0; i < columns; ++i)
        e.DispatchEditorCommand(ecChar, QLatin1Char('a'));
    const int caretColumn = e.BufferToDisplayPos(e.CaretPos()).Column;
    EXPECT_EQ(caretColumn, columns + 1);
    // 23 columns stay free to the right of the caret.
    EXPECT_EQ(e.LeftColumn() + columns - 1 - caretColumn, 23);
}

TEST(TextEditControl, UndoOfACaseChangeGivesBackSelectionAndCaret)
{
    TTextEdit e;
    SetText(e, {QStringLiteral("abc def"), QStringLiteral("ghi")});
    e.SetCaretPos(BufferCoord(3, 2));
    e.SetSelectionBegin(BufferCoord(5, 1));
    e.SetSelectionEnd(BufferCoord(3, 2));
    e.DispatchEditorCommand(ecUpperCaseBlock, QChar());
    EXPECT_EQ(LinesOf(e), (QStringList{QStringLiteral("abc DEF"), QStringLiteral("GHi")}));
    e.PlaceCaretCollapsed(BufferCoord(1, 1));
    e.Undo();
    EXPECT_EQ(LinesOf(e), (QStringList{QStringLiteral("abc def"), QStringLiteral("ghi")}));
    EXPECT_EQ(e.SelectionAnchor(), BufferCoord(5, 1));
    EXPECT_EQ(e.SelectionEnd(), BufferCoord(3, 2));
    EXPECT_EQ(e.CaretPos(), BufferCoord(3, 2));
    EXPECT_FALSE(e.CanUndo());
    e.Redo();
    EXPECT_EQ(LinesOf(e), (QStringList{QStringLiteral("abc DEF"), QStringLiteral("GHi")}));
    e.Undo();
    EXPECT_EQ(LinesOf(e), (QStringList{QStringLiteral("abc def"), QStringLiteral("ghi")}));
}

// ---------------------------------------------------------------- word wrap

TEST(TextEditWordWrapInTheEditor, RowsPositionsAndEdits)
{
    TTextEdit e;
    e.resize(400, 300);
    SetText(e, {QStringLiteral("abcd efgh ijkl"), QStringLiteral("你好")});
    e.WordWrap().SetStyle(wwsSpecified);
    e.WordWrap().SetPosition(10);
    e.WordWrap().SetEnabled(true);
    ASSERT_TRUE(e.WordWrapActive());
    // The space at cell 10 ends the first row; the second holds " ijkl".
    EXPECT_EQ(e.DisplayRowCount(), 3);
    EXPECT_EQ(e.LineToRow(2), 3);
    EXPECT_EQ(e.RowToLine(2), 1);
    EXPECT_EQ(e.BufferToDisplayPos(BufferCoord(11, 1)), DisplayPos(2, 2));
    EXPECT_EQ(e.DisplayToBufferPos(DisplayPos(2, 2)), BufferCoord(11, 1));
    EXPECT_EQ(e.BufferToDisplayPos(BufferCoord(3, 2)), DisplayPos(3, 3));
    // Down moves by rows, not lines.
    e.PlaceCaretCollapsed(BufferCoord(1, 1));
    e.DispatchEditorCommand(ecDown, QChar());
    EXPECT_EQ(e.CaretPos(), BufferCoord(10, 1));
    e.DispatchEditorCommand(ecDown, QChar());
    EXPECT_EQ(e.CaretPos().Line, 2);
    // Typing at the end of line 2 wraps it onto a new row; undo unwraps.
    e.PlaceCaretCollapsed(BufferCoord(5, 2));
    for (QChar c : QStringLiteral("0123456789"))
        e.DispatchEditorCommand(ecChar, c);
    EXPECT_EQ(e.DisplayRowCount(), 4);
    e.Undo();
    EXPECT_EQ(e.DisplayRowCount(), 3);
    // A line break adds rows, a paint shows both rows of the wrapped line.
    e.PlaceCaretCollapsed(BufferCoord(15, 1));
    e.DispatchEditorCommand(ecLineBreak, QChar());
    EXPECT_EQ(e.DisplayRowCount(), 4);
    e.grab();
    // Off again: rows are lines and the top line stays.
    e.WordWrap().SetEnabled(false);
    EXPECT_FALSE(e.WordWrapActive());
    EXPECT_EQ(e.DisplayRowCount(), 3);
    EXPECT_EQ(e.BufferToDisplayPos(BufferCoord(11, 1)), DisplayPos(11, 1));
    EXPECT_EQ(e.TopRow(), 1);
}

TEST(TextEditWordWrapInTheEditor, ClientWidthFollowsTheWindow)
{
    TTextEdit e;
    e.resize(400, 200);
    e.show();
    SetText(e, {QString(200, QLatin1Char('x'))});
    e.WordWrap().SetEnabled(true);
    const int columns = e.ColumnsInWindow();
    ASSERT_GT(columns, 0);
    EXPECT_EQ(e.DisplayRowCount(), (200 + columns - 1) / columns);
    e.resize(200, 200);
    const int narrower = e.ColumnsInWindow();
    EXPECT_LT(narrower, columns);
    EXPECT_EQ(e.DisplayRowCount(), (200 + narrower - 1) / narrower);
    e.ClearContent();
    EXPECT_EQ(e.DisplayRowCount(), 0);
}

// ---------------------------------------------------------------- folding hooks

namespace {

// Stands in for code folding: one hidden line, keys refused on line 1.
class TFoldingEditor : public TTextEdit {
public:
    int FilterCalls = 0;
    int FoldBarPaints = 0;
    QStringList ExpandedCopyOfLines() const override
    {
        QStringList lines = TTextEdit::ExpandedCopyOfLines();
        lines.insert(1, QStringLiteral("hidden"));
        return lines;
    }

protected:
    bool FoldKeyFilter(std::uint16_t) override
    {
        ++FilterCalls;
        return CaretPos().Line != 1;
    }
    void PaintFoldBar(QPainter&, int, int) override { ++FoldBarPaints; }
};

}  // namespace

TEST(TextEditFoldingHooks, CalledOnlyWhileFoldingIsEnabled)
{
    TFoldingEditor e;
    e.resize(300, 200);
    e.Gutter().SetVisible(true);
    SetText(e, {QStringLiteral("head"), QStringLiteral("tail")});
    // Indent guides alone also ask the key filter.
    e.CodeFolding().SetIndentGuides(false);
    QTest::keyClick(&e, Qt::Key_X);
    EXPECT_EQ(e.FilterCalls, 0);
    EXPECT_EQ(e.ReadFullText(), QStringLiteral("xhead\r\ntail\r\n"));
    e.grab();
    EXPECT_EQ(e.FoldBarPaints, 0);
    e.CodeFolding().SetEnabled(true);
    EXPECT_GE(e.Gutter().RightOffset(), 18);
    QTest::keyClick(&e, Qt::Key_Y);
    EXPECT_EQ(e.FilterCalls, 1);
    EXPECT_EQ(LinesOf(e).front(), QStringLiteral("xhead"));
    EXPECT_EQ(e.ReadFullText(), QStringLiteral("xhead\r\nhidden\r\ntail\r\n"));
    e.grab();
    EXPECT_EQ(e.FoldBarPaints, 1);
    e.CodeFolding().SetEnabled(false);
    EXPECT_GE(e.Gutter().RightOffset(), 18);
}

TEST(TextEditControl, FollowsChangesMadeThroughTheLines)
{
    TTextEdit e;
    e.resize(300, 200);
    SetText(e, {QStringLiteral("abc"), QStringLiteral("def")});
    // A change through the lines collapses the selection at the caret.
    e.SetCaretPos(BufferCoord(3, 2));
    e.SetSelectionBegin(BufferCoord(1, 1));
    e.SetSelectionEnd(BufferCoord(3, 2));
    e.Lines().Add(QStringLiteral("ghi"));
    EXPECT_FALSE(e.SelectionAvailable());
    EXPECT_EQ(e.CaretPos(), BufferCoord(3, 2));
    // A line longer than MaxScrollWidth widens it with eoAutoSizeMaxScrollWidth.
    e.SetOptions(e.Options() | OptionBit(eoAutoSizeMaxScrollWidth));
    e.Lines().Add(QString(1500, QLatin1Char('x')));
    EXPECT_EQ(e.MaxScrollWidth(), 1500);
    // The line-number gutter grows when the count gains a digit.
    e.Gutter().SetVisible(true);
    e.Gutter().SetShowLineNumbers(true);
    e.Gutter().SetAutoSize(true);
    e.Gutter().SetDigitCount(2);
    const int narrow = e.GutterPixels();
    for (int i = 0; i < 200; ++i)
        e.Lines().Add(QStringLiteral("more"));
    EXPECT_GT(e.GutterPixels(), narrow);
    // Clearing the lines puts everything back to the start and forgets undo.
    e.DispatchEditorCommand(ecChar, QLatin1Char('q'));
    e.SetTopRow(50);
    ASSERT_TRUE(e.CanUndo());
    e.Lines().Clear();
    EXPECT_FALSE(e.CanUndo());
    EXPECT_EQ(e.CaretPos(), BufferCoord(1, 1));
    EXPECT_EQ(e.TopRow(), 1);
    EXPECT_EQ(e.LeftColumn(), 1);
}

TEST(TextEditControl, AltDragSelectsAColumnUntilAltIsReleased)
{
    TTextEdit e;
    e.resize(400, 300);
    SetText(e, {QStringLiteral("abcdef"), QStringLiteral("ghijkl"), QStringLiteral("mnopqr")});
    const int cw = e.CharWidth();
    const int rh = e.RowHeight();
    const int left = e.GutterPixels() + 2;
    auto at = [&](int column, int row) { return QPoint(left + (column - 1) * cw + 1, (row - 1) * rh + rh / 2); };
    // Without the option Alt changes nothing.
    QTest::mousePress(&e, Qt::LeftButton, Qt::AltModifier, at(2, 1));
    QTest::mouseRelease(&e, Qt::LeftButton, Qt::AltModifier, at(2, 1));
    EXPECT_EQ(e.SelectionMode(), smNormal);
    e.SetOptions(e.Options() | OptionBit(eoAltSetsColumnMode));
    QTest::mousePress(&e, Qt::LeftButton, Qt::AltModifier, at(2, 1));
    QMouseEvent move(QEvent::MouseMove, QPointF(at(4, 3)), QPointF(e.mapToGlobal(at(4, 3))), Qt::NoButton,
                     Qt::LeftButton, Qt::AltModifier);
    QApplication::sendEvent(&e, &move);
    QTest::mouseRelease(&e, Qt::LeftButton, Qt::AltModifier, at(4, 3));
    EXPECT_EQ(e.SelectionMode(), smColumn);
    EXPECT_EQ(e.SelectedText(), QStringLiteral("bc\r\nhi\r\nno"));
    QTest::keyRelease(&e, Qt::Key_Alt);
    EXPECT_EQ(e.SelectionMode(), smNormal);
}
