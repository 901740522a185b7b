// Backspace and Delete without a selection: characters (a surrogate pair or
// a double-byte character whole), words with Ctrl, paragraph joins, list
// markers, page breaks, full-line items stepped over; each change one undo
// group undone and redone byte for byte; refusals beep once and change
// nothing.

#include <gtest/gtest.h>

#include "RDEKeysTestSupport.h"
#include "core/RDUnicode.h"
#include "document/RDTextItems.h"

namespace {

enum TKeysKey { kBackspace, kCtrlBackspace, kDelete, kCtrlDelete };

struct TKeysCase {
    const char* Name;
    std::vector<TEditPara> Doc;
    int Item, Offset;
    TKeysKey Key;
    const char* Expected;
    const char* Caret;
};

void KeysPress(TRDEditRDData& data, TKeysKey key)
{
    switch (key) {
    case kBackspace: data.BackspaceKey(false); break;
    case kCtrlBackspace: data.BackspaceKey(true); break;
    case kDelete: data.DeleteKey(false); break;
    case kCtrlDelete: data.DeleteKey(true); break;
    }
}

class RDEKeysEditTest : public TKeysTest, public ::testing::WithParamInterface<TKeysCase> {};

TEST_P(RDEKeysEditTest, ChangesTheDocumentAndUndoesExactly)
{
    const TKeysCase& c = GetParam();
    Fill(c.Doc);
    Caret(c.Item, c.Offset);
    const QByteArray before = RDFText(Ed);
    TBeepCounter beeps;
    KeysPress(D(), c.Key);
    ExpectOneExactGroup(beeps, before, c.Expected, c.Caret, rdutDelete);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RDEKeysEditTest,
    ::testing::Values(
        TKeysCase{"backspace_one_character", {KeysPara("abc")}, 0, 3, kBackspace, "P0:'ac'", "0:2"},
        // A word wider than the editor: the document's width follows each change.
        TKeysCase{"backspace_in_a_line_wider_than_the_document",
                  {KeysPara("wwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwww")}, 0, 69, kBackspace,
                  "P0:'wwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwww'", "0:68"},
        TKeysCase{"delete_joins_a_wide_line",
                  {KeysPara("abc"), KeysPara("wwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwww")}, 0, 4, kDelete,
                  "P0:'abcwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwww'", "0:4"},
        TKeysCase{"delete_one_character", {KeysPara("abc")}, 0, 2, kDelete, "P0:'ac'", "0:2"},
        // Ctrl+Backspace after the second word takes the word and keeps the space.
        TKeysCase{"ctrl_backspace_a_word", {KeysPara("one two")}, 0, 8, kCtrlBackspace, "P0:'one '", "0:5"},
        // Paragraph 2 joins paragraph 1 and takes its style; the two text
        // items of one style become one.
        TKeysCase{"backspace_joins_paragraphs", {KeysPara("abc", epHeading), KeysPara("def")}, 1, 1, kBackspace,
                  "P1:'abcdef'", "0:4"},
        TKeysCase{"backspace_joins_items_of_other_styles",
                  {KeysPara("abc", epHeading), KeysPara("def", epNormal, esBold)}, 1, 1, kBackspace,
                  "P1:'abc' 1'def'", "0:4"},
        TKeysCase{"delete_joins_paragraphs", {KeysPara("abc"), KeysPara("def", epHeading)}, 0, 4, kDelete,
                  "P0:'abcdef'", "0:4"},
        TKeysCase{"delete_at_a_paragraph_end_before_other_style",
                  {KeysPara("abc"), KeysPara("def", epHeading, esBold)}, 0, 4, kDelete, "P0:'abc' 1'def'", "0:4"},
        // An empty paragraph goes.
        TKeysCase{"backspace_in_an_empty_paragraph", {KeysPara("abc"), KeysPara("")}, 1, 1, kBackspace,
                  "P0:'abc'", "0:4"},
        TKeysCase{"delete_before_an_empty_paragraph", {KeysPara("abc"), KeysPara(""), KeysPara("x")}, 0, 4,
                  kDelete, "P0:'abc' | P0:'x'", "0:4"},
        // Delete at the end of the last, empty paragraph acts as Backspace.
        TKeysCase{"delete_in_the_last_empty_paragraph", {KeysPara("abc"), KeysPara("")}, 1, 1, kDelete,
                  "P0:'abc'", "0:4"},
        // Right after a list marker: the marker goes, the text starts the paragraph.
        TKeysCase{"backspace_after_a_list_marker", {KeysRuns({{"item", esPlain}}, epList, true)}, 1, 1,
                  kBackspace, "P3:'item'", "0:1"},
        // Delete at the end of a paragraph before a list paragraph joins the
        // list text and drops its marker.
        TKeysCase{"delete_before_a_list_paragraph",
                  {KeysPara("abc"), KeysRuns({{"item", esPlain}}, epList, true)}, 0, 4, kDelete,
                  "P0:'abcitem'", "0:4"},
        TKeysCase{"backspace_a_bold_item_in_a_line",
                  {KeysRuns({{"aa", esPlain}, {"b", esBold}, {"cc", esPlain}})}, 1, 2, kBackspace,
                  "P0:'aa' 1'' 'cc'", "1:1"}),
    [](const ::testing::TestParamInfo<TKeysCase>& info) { return std::string(info.param.Name); });

struct TRefusedKeyCase {
    const char* Name;
    std::vector<TEditPara> Doc;
    int Item, Offset;
    TKeysKey Key;
};

class RDEKeysRefusedTest : public TKeysTest, public ::testing::WithParamInterface<TRefusedKeyCase> {};

TEST_P(RDEKeysRefusedTest, BeepsOnceAndChangesNothing)
{
    const TRefusedKeyCase& c = GetParam();
    Fill(c.Doc);
    Caret(c.Item, c.Offset);
    const QByteArray rdf = RDFText(Ed);
    const int redo = D().RedoList->Count();
    TBeepCounter beeps;
    KeysPress(D(), c.Key);
    EXPECT_EQ(beeps.Count, 1);
    EXPECT_EQ(RDFText(Ed), rdf);
    EXPECT_EQ(D().RedoList->Count(), redo);
    // A group begun before the refusal stays empty.
    for (const auto& group : D().UndoList->Groups)
        EXPECT_TRUE(group->Records.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, RDEKeysRefusedTest,
    ::testing::Values(
        TRefusedKeyCase{"backspace_in_a_read_only_paragraph", {KeysPara("read only", epReadOnly)}, 0, 3, kBackspace},
        TRefusedKeyCase{"delete_in_a_read_only_paragraph", {KeysPara("read only", epReadOnly)}, 0, 3, kDelete},
        TRefusedKeyCase{"backspace_inside_modify_protected_text",
                        {KeysPara("lock", epNormal, esModifyProtect)}, 0, 3, kBackspace},
        TRefusedKeyCase{"delete_inside_modify_protected_text", {KeysPara("lock", epNormal, esModifyProtect)}, 0, 2,
                        kDelete},
        TRefusedKeyCase{"backspace_an_empty_delete_protected_paragraph",
                        {KeysPara("abc"), KeysPara("", epNormal, esDeleteProtect)}, 1, 1, kBackspace},
        TRefusedKeyCase{"delete_an_empty_delete_protected_paragraph",
                        {KeysPara("abc"), KeysPara("", epNormal, esDeleteProtect), KeysPara("x")}, 0, 4, kDelete},
        TRefusedKeyCase{"backspace_joining_into_a_read_only_paragraph",
                        {KeysPara("read only", epReadOnly), KeysPara("free")}, 1, 1, kBackspace},
        TRefusedKeyCase{"delete_joining_a_read_only_paragraph",
                        {KeysPara("free"), KeysPara("read only", epReadOnly)}, 0, 5, kDelete}),
    [](const ::testing::TestParamInfo<TRefusedKeyCase>& info) { return std::string(info.param.Name); });

using RDEKeysTest = TKeysTest;

QByteArray KeysUtf16(const QString& s)
{
    return QByteArray(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
}

// Backspace in UTF-16 text takes a whole surrogate pair, as Delete does: no
// half of a pair is ever left behind.
TEST_F(RDEKeysTest, SurrogatePairGoesWholeWithEitherKey)
{
    const QString text = QStringLiteral("a") + QString::fromUcs4(U"\U0001F600") + QStringLiteral("b");
    Fill({KeysPara("", epNormal, esUnicode)});
    D().SetTextOfItem(0, KeysUtf16(text));
    Ed.FormatDocument();
    const QByteArray start = RDFText(Ed);
    Caret(0, 4);  // after the pair
    D().BackspaceKey(false);
    EXPECT_EQ(D().TextOfItem(0), KeysUtf16(QStringLiteral("ab")));
    EXPECT_EQ(KeysCaret(D()), "0:2");
    ExpectUndoRedoExact(start, RDFText(Ed));

    LoadRDFText(Ed, start);
    Caret(0, 2);  // before the pair
    D().DeleteKey(false);
    EXPECT_EQ(D().TextOfItem(0), KeysUtf16(QStringLiteral("ab")));
    EXPECT_EQ(KeysCaret(D()), "0:2");
}

// A GB18030 character of ANSI text (two bytes, or four) is one Backspace
// and one Delete.
TEST_F(RDEKeysTest, MultiByteCharacterIsOneBackspaceAndOneDelete)
{
    for (const QByteArray& ch : {QByteArray("\xD6\xD0", 2), QByteArray("\x95\x32\x82\x36", 4)}) {
        SCOPED_TRACE(ch.size());
        const int after = 2 + int(ch.size());
        Fill({KeysPara("")});
        D().SetTextOfItem(0, QByteArray("a") + ch + QByteArray("b"));
        Ed.FormatDocument();
        const QByteArray start = RDFText(Ed);
        Caret(0, after);
        D().BackspaceKey(false);
        EXPECT_EQ(D().TextOfItem(0), QByteArray("ab"));
        EXPECT_EQ(KeysCaret(D()), "0:2");
        ExpectUndoRedoExact(start, RDFText(Ed));
        LoadRDFText(Ed, start);
        Caret(0, 2);
        D().DeleteKey(false);
        EXPECT_EQ(D().TextOfItem(0), QByteArray("ab"));
        EXPECT_EQ(KeysCaret(D()), "0:2");
    }
}

// At the start of the document a page break before the first item is all
// that Backspace takes (its own group); a second Backspace does nothing.
TEST_F(RDEKeysTest, BackspaceAtTheStartRemovesThePageBreakOnly)
{
    Fill({KeysPara("abc"), KeysPara("def")});
    D().ItemAt(0)->SetBreaksPageBefore(true);
    const QByteArray before = RDFText(Ed);
    Caret(0, 1);
    D().BackspaceKey(false);
    EXPECT_EQ(KeysDescribe(D()), "P0:'abc' | P0:'def'");
    EXPECT_EQ(D().UndoList->GetCurrentKind(), rdutPageBreak);
    ExpectUndoRedoExact(before, RDFText(Ed));
    const QByteArray after = RDFText(Ed);
    D().BackspaceKey(false);
    EXPECT_EQ(RDFText(Ed), after);
}

// Backspace at the start of a paragraph with a page break removes the page
// break first; the second Backspace joins.
TEST_F(RDEKeysTest, BackspaceBeforeAPageBreakRemovesItThenJoins)
{
    Fill({KeysPara("abc"), KeysPara("def")});
    D().ItemAt(1)->SetBreaksPageBefore(true);
    Ed.FormatDocument();
    const QByteArray before = RDFText(Ed);
    Caret(1, 1);
    D().BackspaceKey(false);
    EXPECT_EQ(KeysDescribe(D()), "P0:'abc' | P0:'def'");
    ExpectUndoRedoExact(before, RDFText(Ed));
    Caret(1, 1);
    D().BackspaceKey(false);
    EXPECT_EQ(KeysDescribe(D()), "P0:'abcdef'");
}

// Backspace right after a list marker keeps the marker's page break on the
// text that now starts the paragraph.
TEST_F(RDEKeysTest, BackspaceAfterAMarkerKeepsItsPageBreak)
{
    Fill({KeysPara("abc"), KeysRuns({{"item", esPlain}}, epList, true)});
    D().ItemAt(1)->SetBreaksPageBefore(true);
    Ed.FormatDocument();
    const QByteArray before = RDFText(Ed);
    Caret(2, 1);
    D().BackspaceKey(false);
    EXPECT_EQ(KeysDescribe(D()), "P0:'abc' | ^P3:'item'");
    EXPECT_EQ(KeysCaret(D()), "1:1");
    ExpectUndoRedoExact(before, RDFText(Ed));
}

// A full-line item is stepped over, not deleted: Backspace after it and
// Delete before it only move the caret and record nothing.
TEST_F(RDEKeysTest, BreakItemIsSteppedOver)
{
    Fill({KeysPara("abc"), KeysPara("def")});
    auto* br = new TRDBreakItemInfo(&D());
    br->StyleNo = BreakStyleNo;
    D().GiveItem(1, QByteArray(), std::unique_ptr<TCustomRDItemInfo>(br));
    Ed.FormatDocument();
    const QByteArray rdf = RDFText(Ed);
    ASSERT_EQ(KeysDescribe(D()), "P0:'abc' | P0:--- | P0:'def'");
    Caret(2, 1);
    D().BackspaceKey(false);
    EXPECT_EQ(RDFText(Ed), rdf);
    EXPECT_EQ(D().GetCaretItemNo(), 1);
    Caret(0, 4);
    D().DeleteKey(false);
    EXPECT_EQ(RDFText(Ed), rdf);
    EXPECT_EQ(D().GetCaretItemNo(), 1);
    EXPECT_EQ(D().UndoList->Count(), 0);
}

// Backspace on a wrapped line's start (the bold item wrapped onto its own
// line) acts at the end of the line before: it removes the space there.
TEST_F(RDEKeysTest, BackspaceAtAWrappedLineStart)
{
    TTestEditor& narrow = Ed;
    Fill({KeysPara("x")});
    const int perLine = (D().GetWidth() - D().GetLeftMargin() - D().GetRightMargin()) / 12;
    ASSERT_GT(perLine, 8);
    const int heads = perLine - 4;  // the head and its space fit, the bold word does not
    const QString head = QString(heads, QLatin1Char('a')) + QLatin1Char(' ');
    FillEditor(narrow, {KeysRuns({{head, esPlain}, {"bbbbbbbbbb", esBold}})});
    TRDEditRDData& d = narrow.Data();
    ASSERT_TRUE(d.DrawItems[1]->StartsLine());
    PutCaret(narrow, 1, 1);
    ASSERT_EQ(d.CaretCharPosNo, 0);
    const QByteArray before = RDFText(narrow);
    d.BackspaceKey(false);
    EXPECT_EQ(KeysDescribe(d), "P0:'" + std::string(size_t(heads), 'a') + "' 1'bbbbbbbbbb'");
    EXPECT_TRUE(DrawItemsMatchFreshFormat(narrow));
    d.UndoList->Undo(d);
    EXPECT_EQ(RDFText(narrow), before);
}

// Deleting the only picture-like item of a paragraph (here a tab) leaves an
// empty text line with the current styles.
TEST_F(RDEKeysTest, OnlyNonTextItemOfAParagraphBecomesAnEmptyLine)
{
    Fill({KeysPara("abc"), KeysPara("x")});
    auto tab = CreateItemByStyleNo(TabStyleNo, &D());
    ASSERT_TRUE(tab);
    tab->ParaNo = epNormal;
    D().RemoveItem(1);
    D().GiveItem(1, QByteArray(), std::move(tab));
    Ed.FormatDocument();
    ASSERT_EQ(KeysDescribe(D()), "P0:'abc' | P0:#-12");
    const QByteArray before = RDFText(Ed);
    Caret(1, 1);
    D().BackspaceKey(false);
    EXPECT_EQ(KeysDescribe(D()), "P0:'abc' | P0:''");
    EXPECT_EQ(KeysCaret(D()), "1:1");
    ExpectUndoRedoExact(before, RDFText(Ed));
}

// With UndoLimit 0 nothing is recorded, yet the keys still edit.
TEST_F(RDEKeysTest, UndoLimitZeroRecordsNothingAndStillEdits)
{
    Ed.SetUndoLimit(0);
    Fill({KeysPara("abc"), KeysPara("def")});
    Caret(1, 1);
    D().BackspaceKey(false);
    EXPECT_EQ(KeysDescribe(D()), "P0:'abcdef'");
    Caret(0, 7);
    D().BackspaceKey(false);
    Caret(0, 1);
    D().DeleteKey(false);
    ASSERT_TRUE(D().BreakParagraph(false));
    EXPECT_EQ(KeysDescribe(D()), "P0:'' | P0:'bcde'");
    EXPECT_TRUE(DrawItemsMatchFreshFormat(Ed));
    EXPECT_EQ(D().UndoList->Count(), 0);
    EXPECT_EQ(D().RedoList->Count(), 0);
}

// A refusing editor (read-only) stops every deleting path silently.
TEST_F(RDEKeysTest, ReadOnlyEditorChangesNothing)
{
    Fill({KeysPara("abc"), KeysPara("def")});
    Ed.SetReadOnly(true);
    const QByteArray rdf = RDFText(Ed);
    for (int item : {0, 1}) {
        Caret(item, item == 0 ? 3 : 1);
        D().BackspaceKey(false);
        D().DeleteKey(false);
    }
    EXPECT_EQ(RDFText(Ed), rdf);
}

}  // namespace
