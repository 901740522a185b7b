// Enter and Shift+Enter: a new paragraph at the end, start and middle, the
// next paragraph and text styles of the style sheet, list items repeated and
// ended, a new line of the same paragraph; each Enter one undo group (kind 4)
// undone and redone byte for byte; refusals beep once and change nothing.

#include <gtest/gtest.h>

#include "RDEKeysTestSupport.h"

namespace {

struct TEnterCase {
    const char* Name;
    std::vector<TEditPara> Doc;
    int Item, Offset;
    bool Shift;
    const char* Expected;
    const char* Caret;
};

class RDEEnterEditTest : public TKeysTest, public ::testing::WithParamInterface<TEnterCase> {};

TEST_P(RDEEnterEditTest, ChangesTheDocumentAndUndoesExactly)
{
    const TEnterCase& c = GetParam();
    Fill(c.Doc);
    Caret(c.Item, c.Offset);
    const QByteArray before = RDFText(Ed);
    TBeepCounter beeps;
    EXPECT_TRUE(D().BreakParagraph(c.Shift));
    ExpectOneExactGroup(beeps, before, c.Expected, c.Caret, rdutNewLine);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RDEEnterEditTest,
    ::testing::Values(
        // The heading's NextParaNo (normal) for the new paragraph at its end;
        // inside it both halves keep the heading.
        TEnterCase{"end_of_a_heading", {KeysPara("Title", epHeading)}, 0, 6, false, "P1:'Title' | P0:''", "1:1"},
        TEnterCase{"middle_of_a_heading", {KeysPara("Title", epHeading)}, 0, 3, false, "P1:'Ti' | P1:'tle'", "1:1"},
        // At the start: an empty paragraph above, the caret stays on the text.
        TEnterCase{"start_of_a_paragraph", {KeysPara("abc")}, 0, 1, false, "P0:'' | P0:'abc'", "1:1"},
        TEnterCase{"middle_between_items", {KeysRuns({{"ab", esPlain}, {"cd", esBold}})}, 0, 3, false,
                   "P0:'ab' | P0:1'cd'", "1:1"},
        // The end of a list paragraph: a new list item with a copy of the marker.
        TEnterCase{"end_of_a_list_paragraph", {KeysRuns({{"one", esPlain}}, epList, true)}, 1, 4, false,
                   "P3:* 'one' | P3:* ''", "3:1"},
        TEnterCase{"middle_of_a_list_paragraph", {KeysRuns({{"onetwo", esPlain}}, epList, true)}, 1, 4, false,
                   "P3:* 'one' | P3:* 'two'", "3:1"},
        TEnterCase{"start_of_a_list_paragraph", {KeysRuns({{"one", esPlain}}, epList, true)}, 1, 1, false,
                   "P3:* '' | P3:* 'one'", "3:1"},
        // Shift+Enter: a new line of the same paragraph, in its style.
        TEnterCase{"shift_middle_splits_into_a_new_line", {KeysPara("abcdef", epHeading)}, 0, 4, true,
                   "P1:'abc' / 'def'", "1:1"},
        TEnterCase{"shift_at_the_end", {KeysPara("abc", epHeading)}, 0, 4, true, "P1:'abc' / ''", "1:1"},
        TEnterCase{"shift_at_the_start", {KeysPara("abc")}, 0, 1, true, "P0:'' / 'abc'", "1:1"},
        // Splitting a line wider than the editor: the document's width follows.
        TEnterCase{"middle_of_a_line_wider_than_the_document",
                   {KeysPara("wwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx")}, 0, 41, false,
                   "P0:'wwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwww' | P0:'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx'", "1:1"}),
    [](const ::testing::TestParamInfo<TEnterCase>& info) { return std::string(info.param.Name); });

using RDEEnterTest = TKeysTest;

// The text style with NextStyleNo: Enter at its end makes the next style
// current, and the new line has it.
TEST_F(RDEEnterTest, NextStyleNoBecomesCurrentForTheNewLine)
{
    Fill({KeysPara("Head", epNormal, esHeading)});
    Caret(0, 5);
    ASSERT_EQ(D().CurrentTextStyleNo, esHeading);
    EXPECT_TRUE(D().BreakParagraph(false));
    EXPECT_EQ(D().CurrentTextStyleNo, esPlain);
    EXPECT_EQ(KeysDescribe(D()), "P0:7'Head' | P0:''");
}

// Enter in an empty list item ends the list: its marker goes, then Enter
// runs again in the plain paragraph. Undoing both groups gives the list back.
TEST_F(RDEEnterTest, EnterInAnEmptyListItemEndsTheList)
{
    Fill({KeysRuns({{"one", esPlain}}, epList, true)});
    const QByteArray start = RDFText(Ed);
    Caret(1, 4);
    ASSERT_TRUE(D().BreakParagraph(false));
    ASSERT_EQ(KeysDescribe(D()), "P3:* 'one' | P3:* ''");
    const QByteArray oneItem = RDFText(Ed);
    ASSERT_TRUE(D().BreakParagraph(false));
    EXPECT_EQ(KeysDescribe(D()), "P3:* 'one' | P3:'' | P3:''");
    EXPECT_EQ(KeysCaret(D()), "3:1");
    EXPECT_TRUE(DrawItemsMatchFreshFormat(Ed));
    // The Backspace group, then the Enter group.
    ASSERT_EQ(D().UndoList->Count(), 3);
    EXPECT_EQ(D().UndoList->GetCurrentKind(), rdutNewLine);
    D().UndoList->Undo(D());
    D().UndoList->Undo(D());
    EXPECT_EQ(RDFText(Ed), oneItem);
    D().UndoList->Undo(D());
    EXPECT_EQ(RDFText(Ed), start);
    EXPECT_TRUE(DrawItemsMatchFreshFormat(Ed));
}

struct TRefusedEnterCase {
    const char* Name;
    std::vector<TEditPara> Doc;
    int Item, Offset;
    bool Shift;
};

class RDEEnterRefusedTest : public TKeysTest, public ::testing::WithParamInterface<TRefusedEnterCase> {};

TEST_P(RDEEnterRefusedTest, BeepsOnceAndChangesNothing)
{
    const TRefusedEnterCase& c = GetParam();
    Sheet.ParaStyles().Items(epHeading)->Options = rdpaoDoNotWantReturns;
    Fill(c.Doc);
    Caret(c.Item, c.Offset);
    const QByteArray rdf = RDFText(Ed);
    TBeepCounter beeps;
    EXPECT_FALSE(D().BreakParagraph(c.Shift));
    EXPECT_EQ(beeps.Count, 1);
    EXPECT_EQ(RDFText(Ed), rdf);
    EXPECT_EQ(D().RedoList->Count(), 0);
    for (const auto& group : D().UndoList->Groups)
        EXPECT_TRUE(group->Records.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, RDEEnterRefusedTest,
    ::testing::Values(
        // (the heading paragraph style does not want returns here)
        TRefusedEnterCase{"paragraph_that_wants_no_returns", {KeysPara("abc", epHeading)}, 0, 2, false},
        TRefusedEnterCase{"inside_a_read_only_paragraph", {KeysPara("abc", epReadOnly)}, 0, 2, false},
        TRefusedEnterCase{"shift_in_a_read_only_paragraph", {KeysPara("abc", epReadOnly)}, 0, 4, true},
        TRefusedEnterCase{"splitting_modify_protected_text", {KeysPara("lock", epNormal, esModifyProtect)}, 0, 3,
                          false}),
    [](const ::testing::TestParamInfo<TRefusedEnterCase>& info) { return std::string(info.param.Name); });

// A checkpoint stands before the item that held the caret: Enter at the
// paragraph's start puts the new empty paragraph in front, and the
// checkpoint moves onto it, so that it still marks the same place.
TEST_F(RDEEnterTest, EnterAtTheStartTakesTheCheckpointAlong)
{
    const QByteArray rdf("-8 1 3\r\n0 1 0 0 0 0\r\nfirst\r\n-2 1 0 0 0 0 0 0\r\ncp\r\n0 1 0 0 0 0\r\nsecond\r\n");
    ASSERT_TRUE(LoadRDFText(Ed, rdf));
    ASSERT_NE(D().CheckpointOfItem(1), nullptr);
    const QByteArray before = RDFText(Ed);
    Caret(1, 1);
    ASSERT_TRUE(D().BreakParagraph(false));
    EXPECT_EQ(KeysDescribe(D()), "P0:'first' | P0:'' | P0:'second'");
    ASSERT_NE(D().CheckpointOfItem(1), nullptr);
    EXPECT_EQ(D().CheckpointOfItem(1)->Name, QStringLiteral("cp"));
    EXPECT_EQ(D().CheckpointOfItem(2), nullptr);
    EXPECT_EQ(KeysCaret(D()), "2:1");
    ExpectUndoRedoExact(before, RDFText(Ed));
}

// At the real end of a read-only paragraph Enter may start a new paragraph,
// which takes the read-only style's next style (normal when it has none).
TEST_F(RDEEnterTest, ReadOnlyParagraphEndGivesAPlainParagraph)
{
    Fill({KeysPara("fixed", epReadOnly)});
    Caret(0, 6);
    const QByteArray before = RDFText(Ed);
    EXPECT_TRUE(D().BreakParagraph(false));
    EXPECT_EQ(KeysDescribe(D()), "P2:'fixed' | P0:''");
    ExpectUndoRedoExact(before, RDFText(Ed));
}

}  // namespace
