// Editor commands under their options: Home and End, Backspace over
// indentation, typing into a column block, vertical moves and paging, word
// scans, shift-tab; the way a command travels (process events, hooks, the
// after-event), the guard of a collapsed fold, and what a read-only text
// still takes.
#include "TextEdit.h"
#include "TextEditCommandTable.h"
#include "TestSupport.h"

#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr TBufferCoord None{0, 0};

struct TOptionRow {
    const char* name;
    TTextEditorOptions set;    // added to the defaults
    TTextEditorOptions clear;  // taken from the defaults
    TTextSelectionMode mode;
    QStringList text;
    TBufferCoord caret;
    TBufferCoord anchor;  // None: no selection
    std::vector<TTextEditorCommand> commands;
    QString typed;  // the characters of ecChar, the string of ecImeStr
    QStringList expected;
    TBufferCoord expectedCaret;
    TBufferCoord expectedAnchor;  // None: no selection
    TTextSelectionMode expectedMode;
};

class TextEditOptionCommands : public ::testing::TestWithParam<TOptionRow> {};

TEST_P(TextEditOptionCommands, RunUndoRedo)
{
    const TOptionRow& row = GetParam();
    RunCommandCase({row.text, row.caret, row.anchor, row.commands, row.typed, row.expected, row.expectedCaret,
                    row.expectedAnchor, (TextEditDefaultOptions | row.set) & ~row.clear, row.mode, row.expectedMode});
}

constexpr TTextEditorOptions Home = OptionBit(eoEnhanceHomeKey);
constexpr TTextEditorOptions End = OptionBit(eoEnhanceEndKey);
constexpr TTextEditorOptions SmartDelete = OptionBit(eoSmartTabDelete);
constexpr TTextEditorOptions ColumnEdit = OptionBit(eoColumnEditExtension);
constexpr TTextEditorOptions PastEol = OptionBit(eoScrollPastEol);
constexpr TTextEditorOptions KeepX = OptionBit(eoKeepCaretX);
constexpr TTextEditorOptions SmartTabs = OptionBit(eoSmartTabs);
constexpr TTextEditorOptions Trim = OptionBit(eoTrimTrailingSpaces);

INSTANTIATE_TEST_SUITE_P(
    Table, TextEditOptionCommands,
    ::testing::Values(
        // Home alternates between the first non-blank character and column 1.
        TOptionRow{"HomeToFirstNonBlank", Home, 0, smNormal, {"    abc"}, {6, 1}, None, {ecLineStart}, "", {"    abc"}, {5, 1}, None, smNormal},
        TOptionRow{"HomeFromFirstNonBlankToOne", Home, 0, smNormal, {"    abc"}, {5, 1}, None, {ecLineStart}, "", {"    abc"}, {1, 1}, None, smNormal},
        TOptionRow{"HomeFromOneToFirstNonBlank", Home, 0, smNormal, {"    abc"}, {1, 1}, None, {ecLineStart}, "", {"    abc"}, {5, 1}, None, smNormal},
        TOptionRow{"HomeInsideBlanks", Home, 0, smNormal, {"\t  x"}, {3, 1}, None, {ecLineStart}, "", {"\t  x"}, {1, 1}, None, smNormal},
        TOptionRow{"HomePlain", 0, 0, smNormal, {"    abc"}, {6, 1}, None, {ecLineStart}, "", {"    abc"}, {1, 1}, None, smNormal},
        TOptionRow{"HomeSelecting", Home, 0, smNormal, {"  ab"}, {5, 1}, None, {ecSelLineStart}, "", {"  ab"}, {3, 1}, {5, 1}, smNormal},
        // End (enhanced by default) stops after the text, then after the blanks.
        TOptionRow{"EndBeforeTrailingBlanks", 0, 0, smNormal, {"abc   "}, {1, 1}, None, {ecLineEnd}, "", {"abc   "}, {4, 1}, None, smNormal},
        TOptionRow{"EndThenAfterBlanks", 0, 0, smNormal, {"abc   "}, {1, 1}, None, {ecLineEnd, ecLineEnd}, "", {"abc   "}, {7, 1}, None, smNormal},
        TOptionRow{"EndThreeTimes", 0, 0, smNormal, {"abc \t"}, {1, 1}, None, {ecLineEnd, ecLineEnd, ecLineEnd}, "", {"abc \t"}, {4, 1}, None, smNormal},
        TOptionRow{"EndChinese", 0, 0, smNormal, {QStringLiteral("你好  ")}, {1, 1}, None, {ecLineEnd}, "", {QStringLiteral("你好  ")}, {5, 1}, None, smNormal},
        TOptionRow{"EndPlain", 0, End, smNormal, {"abc   "}, {1, 1}, None, {ecLineEnd}, "", {"abc   "}, {7, 1}, None, smNormal},
        // Backspace just after the leading blanks.
        TOptionRow{"BackspaceToTheIndentAbove", 0, 0, smNormal, {"  a", "      b"}, {7, 2}, None, {ecDeleteLastChar}, "", {"  a", "  b"}, {3, 2}, None, smNormal},
        TOptionRow{"BackspaceAllBlanksWithoutLessIndentAbove", 0, 0, smNormal, {"      b"}, {7, 1}, None, {ecDeleteLastChar}, "", {"b"}, {1, 1}, None, smNormal},
        TOptionRow{"BackspaceSkipsMoreIndentedLines", 0, 0, smNormal, {" a", "    b", "    c"}, {5, 3}, None, {ecDeleteLastChar}, "", {" a", "    b", " c"}, {2, 3}, None, smNormal},
        TOptionRow{"BackspaceToTheTabStop", 0, SmartDelete, smNormal, {"          b"}, {11, 1}, None, {ecDeleteLastChar}, "", {"        b"}, {9, 1}, None, smNormal},
        TOptionRow{"BackspaceFullTabWidth", 0, SmartDelete, smNormal, {"        b"}, {9, 1}, None, {ecDeleteLastChar}, "", {"b"}, {1, 1}, None, smNormal},
        // Inside the leading blanks Backspace removes one character.
        TOptionRow{"BackspaceInsideTheIndent", 0, SmartDelete, smNormal, {"          b"}, {9, 1}, None, {ecDeleteLastChar}, "", {"         b"}, {8, 1}, None, smNormal},
        TOptionRow{"BackspaceStopsAtATab", 0, SmartDelete, smNormal, {"\t\tb"}, {3, 1}, None, {ecDeleteLastChar}, "", {"\tb"}, {2, 1}, None, smNormal},
        TOptionRow{"BackspaceOverAnIndentTab", 0, SmartDelete, smNormal, {"\tb"}, {2, 1}, None, {ecDeleteLastChar}, "", {"b"}, {1, 1}, None, smNormal},
        TOptionRow{"BackspaceBlankInsideText", 0, 0, smNormal, {"a b"}, {3, 1}, None, {ecDeleteLastChar}, "", {"ab"}, {2, 1}, None, smNormal},
        // Without automatic indentation a blank is only a blank.
        TOptionRow{"BackspaceBlankWithoutAutoIndent", 0, OptionBit(eoAutoIndent), smNormal, {"  a", "      b"}, {7, 2}, None, {ecDeleteLastChar}, "", {"  a", "     b"}, {6, 2}, None, smNormal},
        // Backspace in the virtual space after a line only moves the caret.
        TOptionRow{"BackspaceVirtualToTheLineEnd", 0, 0, smNormal, {"ab"}, {6, 1}, None, {ecDeleteLastChar}, "", {"ab"}, {3, 1}, None, smNormal},
        TOptionRow{"BackspaceVirtualToTheIndentAbove", 0, 0, smNormal, {"  x", ""}, {6, 2}, None, {ecDeleteLastChar}, "", {"  x", ""}, {3, 2}, None, smNormal},
        TOptionRow{"BackspaceVirtualOneColumn", 0, SmartDelete, smNormal, {"ab"}, {6, 1}, None, {ecDeleteLastChar}, "", {"ab"}, {5, 1}, None, smNormal},
        TOptionRow{"BackspaceAfterSurrogatePair", 0, 0, smNormal, {QStringLiteral("a\U0001F600b")}, {4, 1}, None, {ecDeleteLastChar}, "", {"ab"}, {2, 1}, None, smNormal},
        // Typing into a column block: in front of every row, or over the block.
        TOptionRow{"ColumnTypingInsertsOnEveryRow", 0, 0, smColumn, {"abcd", "efgh", "ijkl"}, {4, 3}, {2, 1}, {ecChar}, "X", {"aXbcd", "eXfgh", "iXjkl"}, {5, 3}, {3, 1}, smColumn},
        TOptionRow{"ColumnImeInsertsOnEveryRow", 0, 0, smColumn, {"abcd", "efgh"}, {3, 2}, {2, 1}, {ecImeStr}, QStringLiteral("你"), {QStringLiteral("a你bcd"), QStringLiteral("e你fgh")}, {5, 2}, {4, 1}, smColumn},
        TOptionRow{"ColumnTypingOverwrites", 0, 0, smColumn, {"abcd", "efgh", "ijkl"}, {4, 3}, {2, 1}, {ecOverwriteMode, ecChar}, "X", {"aXXd", "eXXh", "iXXl"}, {4, 3}, {2, 1}, smColumn},
        TOptionRow{"ColumnImeOverwritesWithTheString", 0, 0, smColumn, {"abcde", "fghij"}, {5, 2}, {2, 1}, {ecOverwriteMode, ecImeStr}, "xy", {"axyxe", "fxyxj"}, {5, 2}, {2, 1}, smColumn},
        TOptionRow{"ColumnTypingWithoutTheExtension", 0, ColumnEdit, smColumn, {"abcd", "efgh"}, {4, 2}, {2, 1}, {ecChar}, "X", {"ad", "eXh"}, {3, 2}, None, smColumn},
        // Without the extension a typed character replaces the block: it goes
        // in once, at the block's left column on the moving end's line.
        TOptionRow{"ColumnTypingWithoutTheExtensionMovingEndAbove", 0, ColumnEdit, smColumn, {"abcd", "efgh", "ijkl"}, {2, 1}, {4, 3}, {ecChar}, "X", {"aXd", "eh", "il"}, {3, 1}, None, smColumn},
        TOptionRow{"ColumnTypingWithoutTheExtensionRightToLeft", 0, ColumnEdit, smColumn, {"abcd", "efgh", "ijkl"}, {2, 3}, {4, 1}, {ecChar}, "X", {"ad", "eh", "iXl"}, {3, 3}, None, smColumn},
        TOptionRow{"ColumnTypingWithoutTheExtensionChinese", 0, ColumnEdit, smColumn, {QStringLiteral("a你好b"), "cdefgh"}, {4, 2}, {2, 1}, {ecChar}, QStringLiteral("中"), {QStringLiteral("a好b"), QStringLiteral("c中fgh")}, {4, 2}, None, smColumn},
        TOptionRow{"ColumnTypingWithoutTheExtensionShortLine", 0, ColumnEdit, smColumn, {"abcdef", "a", "abcdef"}, {4, 3}, {2, 1}, {ecChar}, "X", {"adef", "a", "aXdef"}, {3, 3}, None, smColumn},
        TOptionRow{"ColumnTypingWithoutTheExtensionOverwriteMode", 0, ColumnEdit, smColumn, {"abcd", "efgh"}, {4, 2}, {2, 1}, {ecOverwriteMode, ecChar}, "X", {"ad", "eXh"}, {3, 2}, None, smColumn},
        TOptionRow{"ColumnTypingWithoutTheExtensionEmptyBlock", 0, ColumnEdit, smColumn, {"abcd", "efgh"}, {2, 2}, {2, 1}, {ecChar}, "X", {"abcd", "eXfgh"}, {3, 2}, None, smColumn},
        // Without eoScrollPastEol Left and Right cross line ends; with it Left
        // stops at column 1.
        TOptionRow{"LeftWrapsWithoutPastEol", 0, PastEol, smNormal, {"ab", "cd"}, {1, 2}, None, {ecLeft}, "", {"ab", "cd"}, {3, 1}, None, smNormal},
        TOptionRow{"RightWrapsWithoutPastEol", 0, PastEol, smNormal, {"ab", "cd"}, {3, 1}, None, {ecRight}, "", {"ab", "cd"}, {1, 2}, None, smNormal},
        TOptionRow{"LeftStopsAtColumnOne", 0, 0, smNormal, {"ab", "cd"}, {1, 2}, None, {ecLeft}, "", {"ab", "cd"}, {1, 2}, None, smNormal},
        TOptionRow{"RightIntoVirtualSpace", 0, 0, smNormal, {"ab", "cd"}, {3, 1}, None, {ecRight}, "", {"ab", "cd"}, {4, 1}, None, smNormal},
        // Vertical moves: the caret's own column, or the remembered one.
        TOptionRow{"DownTakesTheCurrentColumn", 0, PastEol, smNormal, {"abcdefgh", "ab", "abcdefgh"}, {7, 1}, None, {ecDown, ecDown}, "", {"abcdefgh", "ab", "abcdefgh"}, {3, 3}, None, smNormal},
        TOptionRow{"DownKeepsTheCaretX", KeepX, PastEol, smNormal, {"abcdefgh", "ab", "abcdefgh"}, {7, 1}, None, {ecDown, ecDown}, "", {"abcdefgh", "ab", "abcdefgh"}, {7, 3}, None, smNormal},
        // Up and down keep the caret's cell column: a column on the second
        // cell of a wide character puts the caret before that character,
        // and the next move aims for the old column again.
        TOptionRow{"UpOntoAWideCharacter", 0, 0, smNormal, {QStringLiteral("你好"), "abcd"}, {2, 2}, None, {ecUp}, "", {QStringLiteral("你好"), "abcd"}, {1, 1}, None, smNormal},
        TOptionRow{"DownOntoTheSecondCell", 0, 0, smNormal, {"abcdef", QStringLiteral("a你好"), "abcdef"}, {3, 1}, None, {ecDown}, "", {"abcdef", QStringLiteral("a你好"), "abcdef"}, {2, 2}, None, smNormal},
        TOptionRow{"DownOverChineseBackToTheColumn", 0, 0, smNormal, {"abcdef", QStringLiteral("a你好"), "abcdef"}, {3, 1}, None, {ecDown, ecDown}, "", {"abcdef", QStringLiteral("a你好"), "abcdef"}, {3, 3}, None, smNormal},
        TOptionRow{"DownAndUpOverChinese", 0, 0, smNormal, {"abcdef", QStringLiteral("a你好"), "abcdef"}, {3, 1}, None, {ecDown, ecUp}, "", {"abcdef", QStringLiteral("a你好"), "abcdef"}, {3, 1}, None, smNormal},
        TOptionRow{"DownOverTwoChineseLines", 0, 0, smNormal, {"abcdef", QStringLiteral("你好世界"), QStringLiteral("a你好"), "abcdef"}, {4, 1}, None, {ecDown, ecDown, ecDown}, "", {"abcdef", QStringLiteral("你好世界"), QStringLiteral("a你好"), "abcdef"}, {4, 4}, None, smNormal},
        TOptionRow{"DownOverChineseKeepingTheCaretX", KeepX, 0, smNormal, {"abcdef", QStringLiteral("a你好"), "abcdef"}, {3, 1}, None, {ecDown, ecDown}, "", {"abcdef", QStringLiteral("a你好"), "abcdef"}, {3, 3}, None, smNormal},
        TOptionRow{"SelectDownOntoChinese", 0, 0, smNormal, {"abcdef", QStringLiteral("a你好")}, {3, 1}, None, {ecSelDown}, "", {"abcdef", QStringLiteral("a你好")}, {2, 2}, {3, 1}, smNormal},
        // A horizontal move in between starts from where the caret stands.
        TOptionRow{"DownRightDownOverChinese", 0, 0, smNormal, {"abcdef", QStringLiteral("a你好"), "abcdef"}, {3, 1}, None, {ecDown, ecRight, ecDown}, "", {"abcdef", QStringLiteral("a你好"), "abcdef"}, {4, 3}, None, smNormal},
        // Left and Right with a selection step from the caret; the selection
        // collapses there.
        TOptionRow{"LeftWithASelection", 0, 0, smNormal, {"abcdef"}, {5, 1}, {2, 1}, {ecLeft}, "", {"abcdef"}, {4, 1}, None, smNormal},
        TOptionRow{"LeftWithASelectionMadeBackwards", 0, 0, smNormal, {"abcdef"}, {2, 1}, {5, 1}, {ecLeft}, "", {"abcdef"}, {1, 1}, None, smNormal},
        TOptionRow{"RightWithASelection", 0, 0, smNormal, {"abcdef"}, {2, 1}, {5, 1}, {ecRight}, "", {"abcdef"}, {3, 1}, None, smNormal},
        TOptionRow{"LeftWithASelectionOverChinese", 0, 0, smNormal, {QStringLiteral("你好世界")}, {5, 1}, {1, 1}, {ecLeft}, "", {QStringLiteral("你好世界")}, {3, 1}, None, smNormal},
        TOptionRow{"RightWithASelectionAcrossLines", 0, PastEol, smNormal, {"ab", "cd"}, {3, 1}, {1, 2}, {ecRight}, "", {"ab", "cd"}, {1, 2}, None, smNormal},
        TOptionRow{"SelLeftWithASelectionExtendsIt", 0, 0, smNormal, {"abcdef"}, {5, 1}, {2, 1}, {ecSelLeft}, "", {"abcdef"}, {4, 1}, {2, 1}, smNormal},
        // Word scans: ASCII letters, digits and "_" are word characters; a
        // wide character is a word of its own.
        TOptionRow{"WordRightOverChinese", 0, 0, smNormal, {QStringLiteral("ab你好cd")}, {1, 1}, None, {ecWordRight, ecWordRight, ecWordRight}, "", {QStringLiteral("ab你好cd")}, {7, 1}, None, smNormal},
        TOptionRow{"WordRightOverPunctuation", 0, 0, smNormal, {"foo.bar_1 x"}, {1, 1}, None, {ecWordRight, ecWordRight}, "", {"foo.bar_1 x"}, {11, 1}, None, smNormal},
        TOptionRow{"WordRightFromTheLastCharacter", 0, 0, smNormal, {"ab", "  cd"}, {2, 1}, None, {ecWordRight}, "", {"ab", "  cd"}, {3, 2}, None, smNormal},
        TOptionRow{"WordRightOnABlankNextLine", 0, 0, smNormal, {"ab", "   "}, {3, 1}, None, {ecWordRight}, "", {"ab", "   "}, {1, 2}, None, smNormal},
        TOptionRow{"WordRightStaysOnTheLastLine", 0, 0, smNormal, {"ab"}, {2, 1}, None, {ecWordRight}, "", {"ab"}, {2, 1}, None, smNormal},
        TOptionRow{"WordLeftOverChinese", 0, 0, smNormal, {QStringLiteral("ab你好")}, {7, 1}, None, {ecWordLeft, ecWordLeft, ecWordLeft}, "", {QStringLiteral("ab你好")}, {1, 1}, None, smNormal},
        TOptionRow{"WordLeftToThePreviousLineEnd", 0, 0, smNormal, {"abc", "de"}, {1, 2}, None, {ecWordLeft}, "", {"abc", "de"}, {4, 1}, None, smNormal},
        TOptionRow{"WordLeftWithoutAWordGoesUp", 0, 0, smNormal, {"abc", " .."}, {4, 2}, None, {ecWordLeft}, "", {"abc", " .."}, {4, 1}, None, smNormal},
        TOptionRow{"SelWord", 0, 0, smNormal, {"foo bar.baz"}, {6, 1}, None, {ecSelWord}, "", {"foo bar.baz"}, {8, 1}, {5, 1}, smNormal},
        TOptionRow{"SelWordOnChineseSelectsNothing", 0, 0, smNormal, {QStringLiteral("你好")}, {1, 1}, None, {ecSelWord}, "", {QStringLiteral("你好")}, {1, 1}, None, smNormal},
        // Deleting words.
        TOptionRow{"DeleteWordWithBlanks", 0, 0, smNormal, {"foo bar"}, {1, 1}, None, {ecDeleteWord}, "", {"bar"}, {1, 1}, None, smNormal},
        TOptionRow{"DeleteWordPunctuation", 0, 0, smNormal, {"a.b", "c"}, {2, 1}, None, {ecDeleteWord}, "", {"ab", "c"}, {2, 1}, None, smNormal},
        TOptionRow{"DeleteWordJoinsAtTheEnd", 0, 0, smNormal, {"ab", "  cd"}, {3, 1}, None, {ecDeleteWord}, "", {"abcd"}, {3, 1}, None, smNormal},
        TOptionRow{"DeleteWordJoinsFromVirtualSpace", 0, 0, smNormal, {"ab", "cd"}, {5, 1}, None, {ecDeleteWord}, "", {"ab  cd"}, {5, 1}, None, smNormal},
        TOptionRow{"DeleteWordLeavesColumnMode", 0, 0, smColumn, {"foo bar"}, {1, 1}, None, {ecDeleteWord}, "", {"bar"}, {1, 1}, None, smNormal},
        TOptionRow{"DeleteLastWord", 0, 0, smNormal, {"foo bar"}, {8, 1}, None, {ecDeleteLastWord}, "", {"foo "}, {5, 1}, None, smNormal},
        TOptionRow{"DeleteLastWordKeepsColumnMode", 0, 0, smColumn, {"foo bar"}, {8, 1}, None, {ecDeleteLastWord}, "", {"foo "}, {5, 1}, None, smColumn},
        TOptionRow{"DeleteLastWordChinese", 0, 0, smNormal, {QStringLiteral("ab你好")}, {7, 1}, None, {ecDeleteLastWord}, "", {QStringLiteral("ab你")}, {5, 1}, None, smNormal},
        // Shift+Tab back to a word start on the line above.
        TOptionRow{"SmartShiftTab", 0, 0, smNormal, {"one two three", "          x"}, {11, 2}, None, {ecShiftTab}, "", {"one two three", "        x"}, {9, 2}, None, smNormal},
        TOptionRow{"ShiftTabWithoutSmartTabs", 0, SmartTabs, smNormal, {"one two three", "          x"}, {11, 2}, None, {ecShiftTab}, "", {"one two three", "        x"}, {9, 2}, None, smNormal},
        TOptionRow{"SmartShiftTabAboveTooShort", 0, 0, smNormal, {"ab", "            x"}, {13, 2}, None, {ecShiftTab}, "", {"ab", "        x"}, {9, 2}, None, smNormal},
        // Trailing blanks of the lines an edit writes go; the caret may stay beyond them.
        TOptionRow{"TrimTypedBlank", Trim, 0, smNormal, {"ab"}, {3, 1}, None, {ecChar}, " ", {"ab"}, {4, 1}, None, smNormal},
        TOptionRow{"TrimTypedBlankThenWord", Trim, 0, smNormal, {"ab"}, {3, 1}, None, {ecChar}, " x ", {"ab x"}, {6, 1}, None, smNormal},
        TOptionRow{"TrimOnLineBreak", Trim, 0, smNormal, {"ab  cd"}, {5, 1}, None, {ecLineBreak}, "", {"ab", "cd"}, {1, 2}, None, smNormal},
        TOptionRow{"TrimTabPastTheEnd", Trim, 0, smNormal, {"ab"}, {3, 1}, None, {ecTab}, "", {"ab"}, {9, 1}, None, smNormal},
        TOptionRow{"TrimOnBackspaceJoin", Trim, 0, smNormal, {"ab", "c  "}, {1, 2}, None, {ecDeleteLastChar}, "", {"abc"}, {3, 1}, None, smNormal},
        TOptionRow{"NoTrimByDefault", 0, 0, smNormal, {"ab"}, {3, 1}, None, {ecChar}, " ", {"ab "}, {4, 1}, None, smNormal},
        // Backspace whose trimming takes tabs from behind the caret: the
        // caret keeps its screen column (17), also without eoScrollPastEol.
        TOptionRow{"TrimBackspaceKeepsTheScreenColumn", Trim, 0, smNormal, {"ab\t\tx"}, {6, 1}, None, {ecDeleteLastChar}, "", {"ab"}, {17, 1}, None, smNormal},
        TOptionRow{"TrimBackspaceKeepsTheScreenColumnWithoutPastEol", Trim, PastEol, smNormal, {"ab\t\tx"}, {6, 1}, None, {ecDeleteLastChar}, "", {"ab"}, {17, 1}, None, smNormal},
        TOptionRow{"TrimBackspaceAfterATabAndBlanks", Trim, 0, smNormal, {"a\t  x"}, {6, 1}, None, {ecDeleteLastChar}, "", {"a"}, {11, 1}, None, smNormal},
        TOptionRow{"TrimBackspaceWithoutTabsKeepsTheCell", Trim, 0, smNormal, {"ab  x"}, {6, 1}, None, {ecDeleteLastChar}, "", {"ab"}, {5, 1}, None, smNormal},
        TOptionRow{"TrimBackspaceTabBeforeTheText", Trim, 0, smNormal, {"\tab"}, {4, 1}, None, {ecDeleteLastChar}, "", {"\ta"}, {3, 1}, None, smNormal},
        TOptionRow{"TrimBackspaceChineseAfterTabs", Trim, 0, smNormal, {QStringLiteral("a\t\t你")}, {6, 1}, None, {ecDeleteLastChar}, "", {"a"}, {17, 1}, None, smNormal},
        TOptionRow{"TabOnTheFirstLineToTheStop", 0, 0, smNormal, {"abcd"}, {3, 1}, None, {ecTab}, "", {"ab      cd"}, {9, 1}, None, smNormal}),
    [](const ::testing::TestParamInfo<TOptionRow>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- undo after deleting

struct TUndoSelectRow {
    const char* name;
    TTextSelectionMode mode;
    TBufferCoord anchor, caret;  // the selection before the command (anchor == caret: none)
    TTextEditorCommand command;
    TBufferCoord caretAfterUndo;
    TBufferCoord anchorAfterUndo;  // None: nothing selected after the undo
    QString selectedAfterUndo;
};

class TextEditUndoSelects : public ::testing::TestWithParam<TUndoSelectRow> {};

TEST_P(TextEditUndoSelects, TheRestoredText)
{
    const TUndoSelectRow& row = GetParam();
    TTextEdit e;
    SetText(e, {"hello world", "second line"});
    e.SetSelectionMode(row.mode);
    e.PlaceCaretCollapsed(row.anchor);
    e.SetCaretPos(row.caret);
    e.SetSelectionEnd(row.caret);
    const QString before = e.ReadFullText();
    if (row.command == ecCut)
        e.CutToClipboard();
    else
        e.DispatchEditorCommand(row.command, QLatin1Char('X'));
    ASSERT_NE(e.ReadFullText(), before);
    e.Undo();
    EXPECT_EQ(e.ReadFullText(), before);
    EXPECT_EQ(e.CaretPos(), row.caretAfterUndo);
    if (row.anchorAfterUndo.Char > 0) {
        EXPECT_EQ(e.SelectionAnchor(), row.anchorAfterUndo);
        EXPECT_EQ(e.SelectedText(), row.selectedAfterUndo);
    } else {
        EXPECT_FALSE(e.SelectionAvailable());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextEditUndoSelects,
    ::testing::Values(
        TUndoSelectRow{"DeletedSelection", smNormal, {1, 1}, {6, 1}, ecDeleteChar, {6, 1}, {1, 1}, "hello"},
        TUndoSelectRow{"BackspacedSelection", smNormal, {8, 1}, {3, 2}, ecDeleteLastChar, {3, 2}, {8, 1}, "orld\r\nse"},
        TUndoSelectRow{"Cut", smNormal, {7, 1}, {12, 1}, ecCut, {12, 1}, {7, 1}, "world"},
        TUndoSelectRow{"TypedOverSelection", smNormal, {1, 1}, {6, 1}, ecChar, {6, 1}, {1, 1}, "hello"},
        TUndoSelectRow{"DeletedLines", smLine, {3, 1}, {3, 2}, ecDeleteChar, {12, 2}, {1, 1}, "hello world\r\nsecond line\r\n"},
        TUndoSelectRow{"DeletedColumnBlock", smColumn, {2, 1}, {4, 2}, ecDeleteChar, {4, 2}, {2, 1}, "el\r\nec"},
        // Single keys give back only what they removed, the caret beside it.
        TUndoSelectRow{"Backspace", smNormal, {3, 1}, {3, 1}, ecDeleteLastChar, {3, 1}, None, ""},
        TUndoSelectRow{"Delete", smNormal, {3, 1}, {3, 1}, ecDeleteChar, {3, 1}, None, ""},
        TUndoSelectRow{"DeleteWord", smNormal, {1, 1}, {1, 1}, ecDeleteWord, {1, 1}, None, ""},
        TUndoSelectRow{"DeleteLastWord", smNormal, {12, 1}, {12, 1}, ecDeleteLastWord, {12, 1}, None, ""}),
    [](const ::testing::TestParamInfo<TUndoSelectRow>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- paging

struct TPageRow {
    const char* name;
    TTextEditorOptions set;
    TTextEditorCommand command;
    int startLine;
    int rows;  // the expected move in rows, 20 visible
};

class TextEditPaging : public ::testing::TestWithParam<TPageRow> {};

TEST_P(TextEditPaging, MovesByThePageStep)
{
    const TPageRow& row = GetParam();
    TTextEdit e;
    e.SetOptions(TextEditDefaultOptions | row.set);
    QStringList lines;
    for (int i = 1; i <= 200; ++i)
        lines << QStringLiteral("line %1").arg(i);
    SetText(e, lines);
    e.resize(400, 100);
    e.show();
    e.resize(400, 20 * e.RowHeight() + (e.height() - e.ClientRect().height()));
    ASSERT_EQ(e.RowsInWindow(), 20);
    e.PlaceCaretCollapsed(BufferCoord(3, row.startLine));
    e.SetTopRow(row.startLine);
    const int top = e.TopRow();
    e.DispatchEditorCommand(row.command, QChar());
    EXPECT_EQ(e.CaretPos(), BufferCoord(3, row.startLine + row.rows));
    EXPECT_EQ(e.TopRow(), top + row.rows);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextEditPaging,
    ::testing::Values(TPageRow{"Down", 0, ecPageDown, 1, 20},
                      TPageRow{"DownHalf", OptionBit(eoHalfPageScroll), ecPageDown, 1, 10},
                      TPageRow{"DownOneLess", OptionBit(eoScrollByOneLess), ecPageDown, 1, 19},
                      TPageRow{"DownHalfOneLess", OptionBit(eoHalfPageScroll) | OptionBit(eoScrollByOneLess), ecPageDown, 1, 9},
                      TPageRow{"Up", 0, ecPageUp, 100, -20},
                      TPageRow{"UpHalfOneLess", OptionBit(eoHalfPageScroll) | OptionBit(eoScrollByOneLess), ecPageUp, 100, -9}),
    [](const ::testing::TestParamInfo<TPageRow>& info) { return std::string(info.param.name); });

TEST(TextEditNavigation, PageEdgesColumnsAndGoto)
{
    TTextEdit e;
    QStringList lines;
    for (int i = 1; i <= 100; ++i)
        lines << QStringLiteral("%1 ").arg(i).repeated(30);
    SetText(e, lines);
    e.resize(300, 10 * e.RowHeight() + 40);
    e.show();
    const int rows = e.RowsInWindow();
    const int columns = e.ColumnsInWindow();
    ASSERT_GT(rows, 2);
    ASSERT_GT(columns, 3);
    e.SetTopRow(30);
    e.PlaceCaretCollapsed(BufferCoord(5, 35));
    e.SetTopRow(30);
    e.DispatchEditorCommand(ecPageTop, QChar());
    EXPECT_EQ(e.CaretPos(), BufferCoord(5, 30));
    e.DispatchEditorCommand(ecSelPageBottom, QChar());
    EXPECT_EQ(e.CaretPos(), BufferCoord(5, 30 + rows - 1));
    EXPECT_EQ(e.SelectionAnchor(), BufferCoord(5, 30));
    EXPECT_EQ(e.TopRow(), 30);
    e.DispatchEditorCommand(ecPageRight, QChar());
    EXPECT_EQ(e.CaretPos(), BufferCoord(5 + columns, 30 + rows - 1));
    EXPECT_FALSE(e.SelectionAvailable());
    e.DispatchEditorCommand(ecPageLeft, QChar());
    e.DispatchEditorCommand(ecPageLeft, QChar());
    EXPECT_EQ(e.CaretPos(), BufferCoord(1, 30 + rows - 1));
    // ecGotoXY takes its position from the data; without data it does nothing.
    TBufferCoord target{4, 7};
    e.DispatchEditorCommand(ecGotoXY, QChar(), &target);
    EXPECT_EQ(e.CaretPos(), target);
    e.DispatchEditorCommand(ecGotoXY, QChar());
    EXPECT_EQ(e.CaretPos(), target);
    TBufferCoord further{2, 9};
    e.DispatchEditorCommand(ecSelGotoXY, QChar(), &further);
    EXPECT_EQ(e.CaretPos(), further);
    EXPECT_EQ(e.SelectionAnchor(), target);
    // Select all leaves the caret where it was.
    e.DispatchEditorCommand(ecSelectAll, QChar());
    EXPECT_EQ(e.CaretPos(), further);
    EXPECT_EQ(e.SelectionBegin(), BufferCoord(1, 1));
    EXPECT_EQ(e.SelectionEnd(), BufferCoord(static_cast<int>(e.Lines().Get(99).size()) + 1, 100));
}

TEST(TextEditNavigation, CaretMovesBreakUndoGroups)
{
    TTextEdit e;
    for (QChar c : QStringLiteral("ab"))
        e.DispatchEditorCommand(ecChar, c);
    e.DispatchEditorCommand(ecLeft, QChar());
    e.DispatchEditorCommand(ecChar, QLatin1Char('c'));
    EXPECT_EQ(e.ReadFullText(), QStringLiteral("acb\r\n"));
    e.Undo();
    EXPECT_EQ(e.ReadFullText(), QStringLiteral("ab\r\n"));
    e.Undo();
    EXPECT_EQ(e.ReadFullText(), QString());
    // Without eoGroupUndo the typing around the move is still two steps.
    TTextEdit f;
    f.SetOptions(TextEditDefaultOptions & ~OptionBit(eoGroupUndo));
    f.DispatchEditorCommand(ecChar, QLatin1Char('a'));
    f.DispatchEditorCommand(ecLeft, QChar());
    f.DispatchEditorCommand(ecChar, QLatin1Char('b'));
    EXPECT_EQ(f.ReadFullText(), QStringLiteral("ba\r\n"));
    f.Undo();
    EXPECT_EQ(f.ReadFullText(), QStringLiteral("a\r\n"));
}

TEST(TextEditNavigation, CaretMovesChangeNeitherTextStateNorRedo)
{
    TTextEdit e;
    int changes = 0;
    e.OnChange = [&](TCustomTextEdit*) { ++changes; };
    e.DispatchEditorCommand(ecChar, QLatin1Char('a'));
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(e.Modified());
    e.DispatchEditorCommand(ecLeft, QChar());
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(e.Modified());
    // Saved, then moved: still unmodified.
    e.SetModified(false);
    e.DispatchEditorCommand(ecRight, QChar());
    e.DispatchEditorCommand(ecLeft, QChar());
    EXPECT_FALSE(e.Modified());
    EXPECT_EQ(changes, 1);
    // A move between undo and redo keeps the redo.
    e.Undo();
    EXPECT_TRUE(e.Modified());
    e.DispatchEditorCommand(ecRight, QChar());
    ASSERT_TRUE(e.CanRedo());
    e.Redo();
    EXPECT_EQ(e.ReadFullText(), QStringLiteral("a\r\n"));
    EXPECT_FALSE(e.Modified());
}

TEST(TextEditNavigation, WordLimitsAndContextHelp)
{
    TTextEdit e;
    SetText(e, {QStringLiteral("say hello_2 你好, ok")});
    EXPECT_EQ(e.WordStartOf(BufferCoord(8, 1)), BufferCoord(5, 1));
    EXPECT_EQ(e.WordEndOf(BufferCoord(8, 1)), BufferCoord(12, 1));
    EXPECT_EQ(e.WordAtPosition(BufferCoord(8, 1)), QStringLiteral("hello_2"));
    EXPECT_EQ(e.WordAtPosition(BufferCoord(13, 1)), QString());
    EXPECT_EQ(e.WordAtPosition(BufferCoord(4, 1)), QStringLiteral("say"));
    // Positions outside the text come back unchanged.
    EXPECT_EQ(e.NextWordStart(BufferCoord(3, 5)), BufferCoord(3, 5));
    EXPECT_EQ(e.PreviousWordStart(BufferCoord(3, 0)), BufferCoord(3, 0));
    QStringList asked;
    e.OnContextHelp = [&](TCustomTextEdit*, const QString& word) { asked << word; };
    e.PlaceCaretCollapsed(BufferCoord(6, 1));
    e.DispatchEditorCommand(ecContextHelp, QChar());
    e.PlaceCaretCollapsed(BufferCoord(13, 1));
    e.DispatchEditorCommand(ecContextHelp, QChar());
    EXPECT_EQ(asked, QStringList({QStringLiteral("hello_2"), QString()}));
}

// ---------------------------------------------------------------- dispatch

class TLoggingHook : public ITextEditCommandHook {
public:
    TLoggingHook(QStringList& log, QString name, bool handle) : FLog(log), FName(std::move(name)), FHandle(handle) {}
    void HookedCommand(TCustomTextEdit*, bool afterProcessing, bool& handled, TTextEditorCommand& command, QChar&,
                       void*, void* handlerData) override
    {
        FLog << QStringLiteral("%1 %2 %3 %4 %5")
                    .arg(FName, afterProcessing ? QStringLiteral("after") : QStringLiteral("before"))
                    .arg(static_cast<int>(command))
                    .arg(handled ? QStringLiteral("handled") : QStringLiteral("-"))
                    .arg(reinterpret_cast<quintptr>(handlerData));
        if (FHandle)
            handled = true;
    }

private:
    QStringList& FLog;
    QString FName;
    bool FHandle;
};

TEST(TextEditDispatch, EventsAndHooksInOrder)
{
    TTextEdit e;
    QStringList log;
    TLoggingHook first(log, "first", false);
    TLoggingHook second(log, "second", false);
    e.AddCommandHook(&first);
    e.AddCommandHook(&second, reinterpret_cast<void*>(7));
    e.AddCommandHook(&first);  // the same handler with the same data: once
    EXPECT_EQ(e.FindCommandHook(&first), 0);
    EXPECT_EQ(e.FindCommandHook(&second, reinterpret_cast<void*>(7)), 1);
    EXPECT_EQ(e.FindCommandHook(&second), -1);
    e.RemoveCommandHook(&second);  // not registered with this data: nothing
    e.RemoveCommandHook(nullptr);
    EXPECT_EQ(e.FindCommandHook(&second, reinterpret_cast<void*>(7)), 1);
    e.OnProcessCommand = [&](TCustomTextEdit*, TTextEditorCommand& c, QChar&, void*) { log << QStringLiteral("process %1").arg(static_cast<int>(c)); };
    e.OnProcessUserCommand = [&](TCustomTextEdit*, TTextEditorCommand& c, QChar&, void*) { log << QStringLiteral("user %1").arg(static_cast<int>(c)); };
    e.OnCommandProcessed = [&](TCustomTextEdit*, TTextEditorCommand& c, QChar&, void*) { log << QStringLiteral("processed %1").arg(static_cast<int>(c)); };
    e.DispatchEditorCommand(ecChar, QLatin1Char('a'));
    EXPECT_EQ(e.ReadFullText(), QStringLiteral("a\r\n"));
    EXPECT_EQ(log, QStringList({"process 511", "first before 511 - 0", "second before 511 - 7", "first after 511 - 0",
                                "second after 511 - 7", "processed 511"}));
    // A user command goes through its own event and the hooks, never run.
    log.clear();
    e.DispatchEditorCommand(static_cast<TTextEditorCommand>(1001), QLatin1Char('b'));
    EXPECT_EQ(e.ReadFullText(), QStringLiteral("a\r\n"));
    EXPECT_EQ(log, QStringList({"user 1001", "first before 1001 - 0", "second before 1001 - 7", "first after 1001 - 0",
                                "second after 1001 - 7", "processed 1001"}));
    // ecCommentBlock, ecString and ecAutoCompletion never change the text.
    for (TTextEditorCommand c : {ecCommentBlock, ecString, ecAutoCompletion})
        e.DispatchEditorCommand(c, QLatin1Char('x'));
    EXPECT_EQ(e.ReadFullText(), QStringLiteral("a\r\n"));
    e.RemoveCommandHook(&first);
    e.RemoveCommandHook(&second, reinterpret_cast<void*>(7));
    EXPECT_EQ(e.FindCommandHook(&first), -1);
}

TEST(TextEditDispatch, CancelledCommandsStillReportProcessed)
{
    TTextEdit e;
    QStringList log;
    TLoggingHook cancelling(log, "cancel", true);
    TLoggingHook later(log, "later", false);
    std::vector<TTextEditorCommand> processed;
    e.OnCommandProcessed = [&](TCustomTextEdit*, TTextEditorCommand& c, QChar&, void*) { processed.push_back(c); };
    // The process event clears the command: no hooks, no change.
    e.OnProcessCommand = [](TCustomTextEdit*, TTextEditorCommand& c, QChar&, void*) {
        if (c == ecChar)
            c = ecNone;
    };
    e.AddCommandHook(&later);
    e.DispatchEditorCommand(ecChar, QLatin1Char('a'));
    EXPECT_EQ(e.ReadFullText(), QString());
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(processed, std::vector<TTextEditorCommand>({ecNone}));
    // A hook that handles the command before it runs cancels it; the hooks
    // after it still hear it, with handled set; no after-hooks.
    e.OnProcessCommand = nullptr;
    e.RemoveCommandHook(&later);
    e.AddCommandHook(&cancelling);
    e.AddCommandHook(&later);
    e.DispatchEditorCommand(ecChar, QLatin1Char('a'));
    EXPECT_EQ(e.ReadFullText(), QString());
    EXPECT_EQ(log, QStringList({"cancel before 511 - 0", "later before 511 handled 0"}));
    EXPECT_EQ(processed, std::vector<TTextEditorCommand>({ecNone, ecNone}));
    // The process event may also change the command.
    e.RemoveCommandHook(&cancelling);
    e.OnProcessCommand = [](TCustomTextEdit*, TTextEditorCommand& c, QChar& ch, void*) {
        if (c == ecChar)
            ch = QLatin1Char('z');
    };
    e.DispatchEditorCommand(ecChar, QLatin1Char('a'));
    EXPECT_EQ(e.ReadFullText(), QStringLiteral("z\r\n"));
    // Hooks are taken out before they go; the editor outlives them here.
    e.RemoveCommandHook(&later);
}

// ---------------------------------------------------------------- the fold guard

class TCollapsedHeaderEditor : public TTextEdit {
public:
    bool Collapsed = true;

protected:
    bool CaretOnCollapsedFold() const override { return Collapsed && CaretPos().Line == 1; }
};

TEST(TextEditDispatch, NoEditingOnACollapsedFoldHeader)
{
    TCollapsedHeaderEditor e;
    e.CodeFolding().SetEnabled(true);
    SetText(e, {QStringLiteral("head {"), QStringLiteral("body")});
    e.PlaceCaretCollapsed(BufferCoord(3, 1));
    const QStringList before = LinesOf(e);
    for (TTextEditorCommand c : {ecChar, ecTab, ecShiftTab, ecDeleteLastChar, ecDeleteChar, ecDeleteWord, ecDeleteLastWord,
                                 ecDeleteBOL, ecDeleteEOL, ecDeleteLine, ecLineBreak, ecInsertLine, ecImeStr, ecPaste,
                                 ecString, ecAutoCompletion})
        e.DispatchEditorCommand(c, QLatin1Char('x'), QStringLiteral("你"));
    EXPECT_EQ(LinesOf(e), before);
    EXPECT_EQ(e.CaretPos(), BufferCoord(3, 1));
    // Moving the caret is no edit; off the header editing works again.
    e.DispatchEditorCommand(ecDown, QChar());
    e.DispatchEditorCommand(ecChar, QLatin1Char('x'));
    EXPECT_EQ(LinesOf(e), QStringList({"head {", "boxdy"}));
    // Without folding enabled the guard is off.
    e.CodeFolding().SetEnabled(false);
    e.PlaceCaretCollapsed(BufferCoord(1, 1));
    e.DispatchEditorCommand(ecChar, QLatin1Char('y'));
    EXPECT_EQ(LinesOf(e).front(), QStringLiteral("yhead {"));
}

}  // namespace

TEST(TextEditDispatch, ReadOnlyTakesMovesAndViewsButNoEdit)
{
    TTextEdit e;
    SetText(e, {QStringLiteral("alpha beta"), QStringLiteral("  gamma")});
    // An undo step and a redo step, and a clipboard text, that an edit
    // would use.
    e.SetOptions(e.Options() & ~OptionBit(eoGroupUndo));
    e.PlaceCaretCollapsed(BufferCoord(1, 1));
    e.DispatchEditorCommand(ecChar, QLatin1Char('x'));
    e.PlaceCaretCollapsed(BufferCoord(3, 2));
    e.DispatchEditorCommand(ecChar, QLatin1Char('y'));
    e.Undo();
    ASSERT_EQ(LinesOf(e), QStringList({QStringLiteral("xalpha beta"), QStringLiteral("  gamma")}));
    ASSERT_TRUE(e.CanRedo());
    QGuiApplication::clipboard()->setText(QStringLiteral("clip"));
    e.SetModified(false);
    const QStringList text = LinesOf(e);
    e.SetReadOnly(true);
    const std::vector<TTextEditorCommand> edits{
        ecChar, ecImeStr, ecTab, ecShiftTab, ecLineBreak, ecInsertLine, ecBlockIndent, ecBlockUnindent,
        ecUpperCase, ecLowerCase, ecToggleCase, ecTitleCase, ecUpperCaseBlock, ecLowerCaseBlock,
        ecToggleCaseBlock, ecDeleteLastChar, ecDeleteChar, ecDeleteWord, ecDeleteLastWord, ecDeleteBOL,
        ecDeleteEOL, ecDeleteLine, ecClearAll, ecUndo, ecRedo, ecCut, ecPaste};
    for (const TTextEditorCommand command : edits) {
        SCOPED_TRACE(static_cast<int>(command));
        // "alpha" selected, the caret at its end.
        e.PlaceCaretCollapsed(BufferCoord(2, 1));
        e.SetCaretPos(BufferCoord(7, 1));
        e.SetSelectionEnd(BufferCoord(7, 1));
        if (command == ecImeStr)
            e.DispatchEditorCommand(command, QChar(), QStringLiteral("字"));
        else
            e.DispatchEditorCommand(command, QLatin1Char('q'));
        EXPECT_EQ(LinesOf(e), text);
        EXPECT_FALSE(e.Modified());
    }

    // Moves, selections, copying, modes and bookmarks still work.
    e.PlaceCaretCollapsed(BufferCoord(2, 1));
    e.DispatchEditorCommand(ecSelWordRight, QChar());
    EXPECT_EQ(e.SelectionEnd(), BufferCoord(8, 1));
    e.DispatchEditorCommand(ecCopy, QChar());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("alpha"));
    // A number ecSelection above something that is no move does nothing.
    e.DispatchEditorCommand(static_cast<TTextEditorCommand>(ecSelection + 50), QChar());
    EXPECT_EQ(e.CaretPos(), BufferCoord(8, 1));
    EXPECT_EQ(e.SelectionEnd(), BufferCoord(8, 1));
    e.DispatchEditorCommand(ecSelectAll, QChar());
    EXPECT_EQ(e.SelectedText(), QStringLiteral("xalpha beta\r\n  gamma"));
    e.DispatchEditorCommand(ecToggleMode, QChar());
    EXPECT_FALSE(e.InsertMode());
    e.DispatchEditorCommand(ecColumnSelect, QChar());
    EXPECT_EQ(e.SelectionMode(), smColumn);
    e.PlaceCaretCollapsed(BufferCoord(3, 2));
    e.DispatchEditorCommand(static_cast<TTextEditorCommand>(ecSetMarker0 + 2), QChar());
    ASSERT_NE(e.Bookmark(2), nullptr);
    EXPECT_EQ(e.Bookmark(2)->MarkLine(), 2);
    EXPECT_EQ(LinesOf(e), text);
}
