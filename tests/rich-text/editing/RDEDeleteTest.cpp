// Deleting the selection: what remains of the first and last paragraph is
// joined, the caret stands where the selection began (never on a list
// marker), the whole deletion is one undo group that undoes and redoes byte
// for byte; protected and read-only parts refuse it with one beep and no
// change at all.

#include <gtest/gtest.h>

#include "RDEKeysTestSupport.h"

namespace {

struct TDeleteCase {
    const char* Name;
    std::vector<TEditPara> Doc;
    int StartItem, StartOffs, EndItem, EndOffs;
    const char* Expected;
    const char* Caret;
};

class RDEDeleteSelectionTest : public TKeysTest, public ::testing::WithParamInterface<TDeleteCase> {};

TEST_P(RDEDeleteSelectionTest, ChangesTheDocumentAndUndoesExactly)
{
    const TDeleteCase& c = GetParam();
    Fill(c.Doc);
    const QByteArray before = RDFText(Ed);
    Select(c.StartItem, c.StartOffs, c.EndItem, c.EndOffs);
    TBeepCounter beeps;
    ASSERT_TRUE(D().DeleteSelection());
    EXPECT_FALSE(D().DataSelectionExists());
    ExpectOneExactGroup(beeps, before, c.Expected, c.Caret, rdutDelete);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RDEDeleteSelectionTest,
    ::testing::Values(
        TDeleteCase{"inside_one_item", {KeysPara("Hello world")}, 0, 1, 0, 7, "P0:'world'", "0:1"},
        TDeleteCase{"the_whole_document", {KeysPara("abc", epHeading), KeysPara("def")}, 0, 1, 1, 4, "P1:''", "0:1"},
        // A word wider than the editor: the document's width follows it back.
        TDeleteCase{"a_line_wider_than_the_document",
                    {KeysPara("abc"), KeysPara("wwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwww")}, 0, 4, 1, 69,
                    "P0:'abc'", "0:4"},
        // The heads and tails of two paragraphs become one paragraph of the
        // first one's style; two text items of one style become one item.
        TDeleteCase{"middle_to_middle_joins",
                    {KeysPara("Hello world", epHeading), KeysPara("Second line")},
                    0, 7, 1, 8, "P1:'Hello line'", "0:7"},
        TDeleteCase{"middle_to_middle_other_styles_stay_two_items",
                    {KeysPara("abc"), KeysPara("def", epNormal, esBold)},
                    0, 2, 1, 2, "P0:'a' 1'ef'", "0:2"},
        // Two whole paragraphs: one empty text item of the current text style
        // (taken from the selection's end, bold) in the first one's style.
        TDeleteCase{"two_whole_paragraphs_leave_one_empty_item",
                    {KeysPara("aaa", epHeading), KeysPara("bbb", epNormal, esBold), KeysPara("ccc")},
                    0, 1, 1, 4, "P1:1'' | P0:'ccc'", "0:1"},
        TDeleteCase{"whole_middle_item_neighbours_join",
                    {KeysRuns({{"aa", esPlain}, {"bb", esBold}, {"cc", esPlain}})},
                    1, 1, 1, 3, "P0:'aacc'", "0:3"},
        // A modify-protected item may go whole.
        TDeleteCase{"whole_modify_protected_item",
                    {KeysRuns({{"aa", esPlain}, {"lock", esModifyProtect}, {"cc", esPlain}})},
                    0, 3, 2, 1, "P0:'aacc'", "0:3"},
        TDeleteCase{"three_paragraphs_middle_one_goes",
                    {KeysPara("one"), KeysPara("two"), KeysPara("three")},
                    0, 4, 2, 1, "P0:'onethree'", "0:4"},
        // After text that began right after a list marker the caret is on the
        // text, never on the marker.
        TDeleteCase{"head_of_list_text", {KeysRuns({{"item", esPlain}}, epList, true)},
                    1, 1, 1, 3, "P3:* 'em'", "1:1"},
        TDeleteCase{"all_list_text_leaves_an_empty_item_after_the_marker",
                    {KeysRuns({{"item", esPlain}}, epList, true), KeysPara("next")},
                    1, 1, 1, 5, "P3:* '' | P0:'next'", "1:1"},
        TDeleteCase{"from_a_list_paragraph_into_the_next",
                    {KeysRuns({{"item", esPlain}}, epList, true), KeysPara("next")},
                    1, 3, 2, 3, "P3:* 'itxt'", "1:3"}),
    [](const ::testing::TestParamInfo<TDeleteCase>& info) { return std::string(info.param.Name); });

struct TRefusedDeleteCase {
    const char* Name;
    std::vector<TEditPara> Doc;
    int StartItem, StartOffs, EndItem, EndOffs;
};

class RDEDeleteRefusedTest : public TKeysTest, public ::testing::WithParamInterface<TRefusedDeleteCase> {};

TEST_P(RDEDeleteRefusedTest, BeepsOnceAndChangesNothing)
{
    const TRefusedDeleteCase& c = GetParam();
    Fill(c.Doc);
    Select(c.StartItem, c.StartOffs, c.EndItem, c.EndOffs);
    const TKeysState before = KeysState(Ed);
    EXPECT_FALSE(D().CanDeleteSelection());
    TBeepCounter beeps;
    EXPECT_FALSE(D().DeleteSelection());
    EXPECT_EQ(beeps.Count, 1);
    EXPECT_TRUE(KeysState(Ed) == before);
    EXPECT_TRUE(D().DataSelectionExists());
}

INSTANTIATE_TEST_SUITE_P(
    Table, RDEDeleteRefusedTest,
    ::testing::Values(
        TRefusedDeleteCase{"whole_delete_protected_item_inside",
                           {KeysRuns({{"aa", esPlain}, {"keep", esDeleteProtect}, {"bb", esPlain}})}, 0, 2, 2, 2},
        TRefusedDeleteCase{"selection_is_a_whole_delete_protected_item",
                           {KeysRuns({{"aa", esPlain}, {"keep", esDeleteProtect}, {"bb", esPlain}})}, 1, 1, 1, 5},
        TRefusedDeleteCase{"part_of_a_modify_protected_item",
                           {KeysRuns({{"aa", esPlain}, {"lock", esModifyProtect}})}, 0, 2, 1, 3},
        TRefusedDeleteCase{"start_inside_a_read_only_paragraph",
                           {KeysPara("read only", epReadOnly), KeysPara("free")}, 0, 3, 1, 2},
        TRefusedDeleteCase{"end_inside_a_read_only_paragraph",
                           {KeysPara("free"), KeysPara("read only", epReadOnly)}, 0, 2, 1, 3}),
    [](const ::testing::TestParamInfo<TRefusedDeleteCase>& info) { return std::string(info.param.Name); });

using RDEDeleteTest = TKeysTest;

// A persistent checkpoint in a paragraph that the deletion would merge away
// refuses it; the same checkpoint in the first paragraph does not.
TEST_F(RDEDeleteTest, PersistentCheckpointOfAMergedParagraphRefuses)
{
    const QByteArray rdf("-8 1 3\r\n0 1 0 0 0 0\r\nfirst\r\n-2 1 0 0 0 0 0 1\r\ncp\r\n0 1 0 0 0 0\r\nsecond\r\n");
    ASSERT_TRUE(LoadRDFText(Ed, rdf));
    ASSERT_TRUE(D().HasPersistentCheckpoint(1));
    Select(0, 3, 1, 3);
    EXPECT_FALSE(D().CanDeleteSelection());
    Select(1, 2, 1, 4);
    EXPECT_TRUE(D().CanDeleteSelection());
    const QByteArray before = RDFText(Ed);
    ASSERT_TRUE(D().DeleteSelection());
    EXPECT_EQ(KeysDescribe(D()), "P0:'first' | P0:'sond'");
    EXPECT_TRUE(D().HasPersistentCheckpoint(1));
    ExpectUndoRedoExact(before, RDFText(Ed));
}

// A selection made backwards deletes the same, the caret where it began.
TEST_F(RDEDeleteTest, BackwardSelectionDeletesTheSame)
{
    Fill({KeysPara("Hello world", epHeading), KeysPara("Second line")});
    const QByteArray before = RDFText(Ed);
    Select(1, 8, 0, 7);
    ASSERT_TRUE(D().DeleteSelection());
    EXPECT_EQ(KeysDescribe(D()), "P1:'Hello line'");
    EXPECT_EQ(KeysCaret(D()), "0:7");
    ExpectUndoRedoExact(before, RDFText(Ed));
}

// The drop caret of a drag over the editor: inside the selection it refuses
// the deletion; after it, it follows the characters and items that go.
TEST_F(RDEDeleteTest, DropCaretRefusesInsideAndFollowsAfter)
{
    Ed.ControlFlags |= cfOwnOptions;
    D().AcquireDragDropCaret();
    TRDDragDropCaretInfo& drop = *D().DragDropCaret;
    drop.RDData = &D();
    struct TDropCase {
        int ItemNo, ItemOffs;
        bool Deletes;
        int NewItemNo, NewItemOffs;
    };
    for (const TDropCase& c : {TDropCase{1, 3, false, 0, 0}, TDropCase{1, 10, true, 0, 9},
                               TDropCase{2, 2, true, 1, 2}}) {
        SCOPED_TRACE(std::to_string(c.ItemNo) + ":" + std::to_string(c.ItemOffs));
        Fill({KeysPara("Hello world"), KeysPara("Second line"), KeysPara("Third")});
        Select(0, 7, 1, 8);
        drop.ItemNo = c.ItemNo;
        drop.ItemOffs = c.ItemOffs;
        const TKeysState before = KeysState(Ed);
        TBeepCounter beeps;
        EXPECT_EQ(D().DeleteSelection(), c.Deletes);
        if (!c.Deletes) {
            EXPECT_EQ(beeps.Count, 1);
            EXPECT_TRUE(KeysState(Ed) == before);
            continue;
        }
        EXPECT_EQ(KeysDescribe(D()), "P0:'Hello line' | P0:'Third'");
        EXPECT_EQ(drop.ItemNo, c.NewItemNo);
        EXPECT_EQ(drop.ItemOffs, c.NewItemOffs);
    }
    D().ReleaseDragDropCaret();
    Ed.ControlFlags &= ~cfOwnOptions;
}

// Nothing selected: nothing to delete, no group, no beep.
TEST_F(RDEDeleteTest, NoSelectionDeletesNothing)
{
    Fill({KeysPara("abc")});
    Caret(0, 2);
    const TKeysState before = KeysState(Ed);
    TBeepCounter beeps;
    EXPECT_TRUE(D().DeleteSelection());
    EXPECT_EQ(beeps.Count, 0);
    EXPECT_TRUE(KeysState(Ed) == before);
}

// The deleted paragraphs' items, texts, bits and paragraph styles come back in
// one undo step, and the joined paragraph took the first one's style.
TEST_F(RDEDeleteTest, UndoRestoresParagraphStylesInOneStep)
{
    Fill({KeysPara("Title", epHeading), KeysRuns({{"bold", esBold}, {" tail", esPlain}}), KeysPara("last")});
    const QByteArray before = RDFText(Ed);
    const std::string shape = KeysDescribe(D());
    Select(0, 3, 1, 2);
    ASSERT_TRUE(D().DeleteSelection());
    EXPECT_EQ(KeysDescribe(D()), "P1:'Ti' 1'old' ' tail' | P0:'last'");
    D().UndoList->Undo(D());
    EXPECT_EQ(RDFText(Ed), before);
    EXPECT_EQ(KeysDescribe(D()), shape);
    EXPECT_EQ(D().RedoList->Count(), 1);
    EXPECT_TRUE(DrawItemsMatchFreshFormat(Ed));
}

}  // namespace
