#include <gtest/gtest.h>

#include "editing/RDEdit.h"

// ======== deleting, Backspace, Delete and Enter: scripts undone and redone exactly ========

#include "RDEKeysTestSupport.h"

namespace {

enum TScriptOp { soCaret, soSelect, soEnter, soShiftEnter, soBackspace, soCtrlBackspace, soDelete, soDeleteSelection };

struct TScriptStep {
    TScriptOp Op;
    int A = 0, B = 0, C = 0, E = 0;
};

struct TKeysScript {
    const char* Name;
    std::vector<TEditPara> Doc;
    std::vector<TScriptStep> Steps;
    const char* Expected;
};

TEditPara ScriptRuns(std::vector<TEditRun> runs, int paraStyle = epNormal, bool bullet = false)
{
    return TEditPara{std::move(runs), paraStyle, bullet};
}

class RDEKeysUndoScriptTest : public TKeysTest, public ::testing::WithParamInterface<TKeysScript> {};

// After every step the draw items equal a fresh format; undoing every group
// gives the original RDF byte for byte, redoing every group the edited one.
TEST_P(RDEKeysUndoScriptTest, UndoAndRedoEveryGroupExactly)
{
    const TKeysScript& script = GetParam();
    Fill(script.Doc);
    const QByteArray original = RDFText(Ed);
    for (size_t i = 0; i < script.Steps.size(); ++i) {
        const TScriptStep& s = script.Steps[i];
        SCOPED_TRACE("step " + std::to_string(i));
        switch (s.Op) {
        case soCaret: Caret(s.A, s.B); break;
        case soSelect: Select(s.A, s.B, s.C, s.E); break;
        case soEnter: EXPECT_TRUE(D().BreakParagraph(false)); break;
        case soShiftEnter: EXPECT_TRUE(D().BreakParagraph(true)); break;
        case soBackspace: D().BackspaceKey(false); break;
        case soCtrlBackspace: D().BackspaceKey(true); break;
        case soDelete: D().DeleteKey(false); break;
        case soDeleteSelection: EXPECT_TRUE(D().DeleteSelection()); break;
        }
        ASSERT_TRUE(DrawItemsMatchFreshFormat(Ed));
    }
    EXPECT_EQ(KeysDescribe(D()), script.Expected);
    const QByteArray edited = RDFText(Ed);
    const int groups = D().UndoList->Count();
    ASSERT_GT(groups, 0);
    for (int g = 0; g < groups; ++g) {
        D().UndoList->Undo(D());
        ASSERT_TRUE(DrawItemsMatchFreshFormat(Ed)) << "undo " << g;
    }
    EXPECT_EQ(RDFText(Ed), original);
    EXPECT_EQ(D().RedoList->Count(), groups);
    for (int g = 0; g < groups; ++g) {
        D().RedoList->Redo(D());
        ASSERT_TRUE(DrawItemsMatchFreshFormat(Ed)) << "redo " << g;
    }
    EXPECT_EQ(RDFText(Ed), edited);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, RDEKeysUndoScriptTest,
    ::testing::Values(
        TKeysScript{"enter_at_the_end_start_and_middle",
                    {KeysPara("Title", epHeading), KeysPara("body text")},
                    {{soCaret, 0, 6}, {soEnter}, {soCaret, 2, 1}, {soEnter}, {soCaret, 3, 5}, {soEnter}},
                    "P1:'Title' | P0:'' | P0:'' | P0:'body' | P0:' text'"},
        TKeysScript{"enter_in_a_list_paragraph_and_in_its_empty_item",
                    {ScriptRuns({{"one", esPlain}}, epList, true), KeysPara("after")},
                    {{soCaret, 1, 3}, {soEnter}, {soCaret, 3, 2}, {soEnter}, {soEnter}},
                    "P3:* 'on' | P3:* 'e' | P3:'' | P3:'' | P0:'after'"},
        TKeysScript{"shift_enter_then_joined_again",
                    {KeysPara("abcdef")},
                    {{soCaret, 0, 4}, {soShiftEnter}, {soCaret, 1, 1}, {soBackspace}},
                    "P0:'abcdef'"},
        TKeysScript{"backspace_and_delete_at_paragraph_ends",
                    {KeysPara("one", epHeading), KeysPara("two"), KeysPara("three", epNormal, esBold)},
                    {{soCaret, 1, 1}, {soBackspace}, {soCaret, 0, 7}, {soDelete}},
                    "P1:'onetwo' 1'three'"},
        TKeysScript{"backspace_after_a_list_marker_and_delete_before_one",
                    {KeysPara("zero"), ScriptRuns({{"one", esPlain}}, epList, true),
                     ScriptRuns({{"two", esPlain}}, epList, true)},
                    {{soCaret, 2, 1}, {soBackspace}, {soCaret, 1, 4}, {soDelete}},
                    "P0:'zero' | P3:'onetwo'"},
        TKeysScript{"enter_at_the_start_then_joined_back",
                    {KeysPara("abc"), KeysPara("def")},
                    {{soCaret, 0, 1}, {soEnter}, {soCaret, 1, 1}, {soBackspace}, {soCtrlBackspace}},
                    "P0:'abc' | P0:'def'"},
        TKeysScript{"deleting_across_two_paragraphs_then_typing_keys",
                    {KeysPara("first line"), KeysPara("second line"), KeysPara("third")},
                    {{soSelect, 0, 7, 1, 8}, {soDeleteSelection}, {soCtrlBackspace}, {soDelete}},
                    "P0:'ine' | P0:'third'"}),
    [](const ::testing::TestParamInfo<TKeysScript>& info) { return std::string(info.param.Name); });

}  // namespace
