#include <gtest/gtest.h>

#include <functional>

#include <QtCore/QBuffer>

#include "RDEKeysTestSupport.h"
#include "RDETypingTestSupport.h"
#include "document/RDTextItems.h"
#include "items/RDPictureItems.h"
#include "Pictures.h"
#include "editing/RDEdit.h"

// Undo and redo exactness: each row builds a fixture document, puts the
// caret, runs an edit script through the engine's operations; then undoing
// every group gives the original's RDF text byte for byte and redoing every
// group the edited one's, and after every single step the draw items equal
// those of a fresh full format.

// One script of the table.
struct TUndoScriptRow {
    const char* Name;
    std::function<void(TTypingEditor&)> Build;  // the document (formatted by the machinery)
    int CaretItem, CaretOffset;
    std::function<void(TTypingEditor&)> Edit;   // the script
};

// Runs one row; every failure names the row and the step.
inline void RunUndoScript(TRDStyle* sheet, const TUndoScriptRow& row)
{
    SCOPED_TRACE(row.Name);
    TTypingEditor e(sheet);
    row.Build(e);
    e.Format();
    e.Caret(row.CaretItem, row.CaretOffset);
    const QByteArray original = e.Rdf();
    row.Edit(e);
    e.ExpectFreshLayout("edited");
    const QByteArray edited = e.Rdf();
    ASSERT_NE(edited, original) << "the script changed nothing";
    ASSERT_GT(e.Data->UndoList->Count(), 0);
    int steps = 0;
    while (e.Data->UndoList->Count() > 0) {
        ASSERT_LT(++steps, 1000);
        e.Undo();
        e.ExpectFreshLayout("undo step");
    }
    EXPECT_EQ(e.Rdf(), original);
    ASSERT_GT(e.Data->RedoList->Count(), 0);
    steps = 0;
    while (e.Data->RedoList->Count() > 0) {
        ASSERT_LT(++steps, 1000);
        e.Redo();
        e.ExpectFreshLayout("redo step");
    }
    EXPECT_EQ(e.Rdf(), edited);
    // And back once more: the records made by redoing undo exactly too.
    while (e.Data->UndoList->Count() > 0)
        e.Undo();
    EXPECT_EQ(e.Rdf(), original);
}

namespace {

void ScriptTwoParas(TTypingEditor& e)
{
    e.Para(QStringLiteral("first line of text"));
    e.More(QStringLiteral(" bold"), tsBold);
    e.Para(QStringLiteral("second"));
}

void ScriptType(TTypingEditor& e, const char* text, int style)
{
    e.Data->CurrentTextStyleNo = style;
    for (const char* p = text; *p; ++p)
        e.Data->TypeChar(QByteArray(1, *p));
}

void ScriptInsert(TTypingEditor& e, const QString& text, bool unicode)
{
    TypingInsertText(*e.Data, unicode ? TypingUtf16(text) : text.toLatin1(), unicode);
}

void ScriptInsertItem(TTypingEditor& e, std::unique_ptr<TCustomRDItemInfo> item)
{
    e.Data->BeginUndoGroup(rdutInsert);
    QByteArray oldText;
    e.Data->InsertItemAndShow(std::move(item), QByteArray(), oldText, false, false, true);
    e.Data->DoChange(true);
}

// ---- typing and inserting rows ----
const TUndoScriptRow TypingInsertRows[] = {
    {"typing abc mid-item", ScriptTwoParas, 0, 6, [](TTypingEditor& e) { ScriptType(e, "abc", tsPlain); }},
    {"typing at a bold end in plain (new item)", ScriptTwoParas, 1, 6,
     [](TTypingEditor& e) { ScriptType(e, "xy", tsPlain); }},
    {"typing plain before bold in bold", ScriptTwoParas, 0, 19,
     [](TTypingEditor& e) { ScriptType(e, "zz", tsBold); }},
    {"typing in two places", ScriptTwoParas, 0, 3,
     [](TTypingEditor& e) {
         ScriptType(e, "ab", tsPlain);
         e.Caret(2, 4);
         ScriptType(e, "cd", tsPlain);
     }},
    {"typing into an empty line", [](TTypingEditor& e) {
         e.Para(QStringLiteral("top"));
         e.Para(QString());
     },
     1, 1, [](TTypingEditor& e) { ScriptType(e, "new", tsPlain); }},
    {"typing a wrapping line", ScriptTwoParas, 2, 7,
     [](TTypingEditor& e) { ScriptType(e, " and more and more words until the line has to wrap twice over", tsPlain); }},
    {"GB18030 ideograph in ANSI text", ScriptTwoParas, 0, 2,
     [](TTypingEditor& e) {
         e.Data->CurrentTextStyleNo = tsPlain;
         e.Data->TypeChar(QByteArray("\xd6\xd0"));
     }},
    {"surrogate pair in UTF-16 text", [](TTypingEditor& e) { e.Para(QStringLiteral("uni"), tsUnicode); }, 0, 2,
     [](TTypingEditor& e) {
         e.Data->CurrentTextStyleNo = tsUnicode;
         e.Data->TypeChar(QByteArray("\x95\x32\x82\x36"));
         e.Data->TypeChar(QByteArray("\xd6\xd0"));
     }},
    {"inserting a CR LF b", ScriptTwoParas, 0, 6,
     [](TTypingEditor& e) { ScriptInsert(e, QStringLiteral("a\r\nb"), false); }},
    {"inserting a CR CR b", ScriptTwoParas, 0, 6,
     [](TTypingEditor& e) { ScriptInsert(e, QStringLiteral("a\r\rb"), false); }},
    {"inserting tabs as items", ScriptTwoParas, 2, 3,
     [](TTypingEditor& e) { ScriptInsert(e, QStringLiteral("\ta\t"), false); }},
    {"inserting tabs as spaces",
     [](TTypingEditor& e) {
         e.Sheet->SpacesInTab = 4;
         ScriptTwoParas(e);
     },
     2, 3,
     [](TTypingEditor& e) {
         ScriptInsert(e, QStringLiteral("\ta\t"), false);
         e.Sheet->SpacesInTab = 0;
     }},
    {"inserting U+2028 and U+2029", ScriptTwoParas, 0, 6,
     [](TTypingEditor& e) { ScriptInsert(e, QStringLiteral("a\u2028b\u2029c"), true); }},
    {"inserting form feeds", ScriptTwoParas, 0, 6,
     [](TTypingEditor& e) { ScriptInsert(e, QStringLiteral("a\fb\u2028c\fd"), true); }},
    {"inserting at a paragraph end", ScriptTwoParas, 2, 7,
     [](TTypingEditor& e) { ScriptInsert(e, QStringLiteral("x\r\ny\r\n"), false); }},
    {"inserting an inline item mid-text", ScriptTwoParas, 0, 6,
     [](TTypingEditor& e) {
         auto tab = std::make_unique<TRDTabItemInfo>(e.Data);
         tab->StyleNo = TabStyleNo;
         ScriptInsertItem(e, std::move(tab));
     }},
    {"inserting a picture mid-text", ScriptTwoParas, 0, 6,
     [](TTypingEditor& e) {
         auto picture = CreateItemByStyleNo(PictureStyleNo, e.Data);
         auto graphic = std::make_unique<TBitmapGraphic>();
         QImage image(20, 30, QImage::Format_RGB32);
         image.fill(Qt::red);
         graphic->Assign(image);
         static_cast<TRDGraphicItemInfo*>(picture.get())->Image = std::move(graphic);
         ScriptInsertItem(e, std::move(picture));
     }},
    {"inserting a full-line item at a paragraph start", ScriptTwoParas, 2, 1,
     [](TTypingEditor& e) { ScriptInsertItem(e, CreateItemByStyleNo(BreakStyleNo, e.Data)); }},
    {"inserting a full-line item mid-text", ScriptTwoParas, 0, 6,
     [](TTypingEditor& e) { ScriptInsertItem(e, CreateItemByStyleNo(BreakStyleNo, e.Data)); }},
    {"inserting RDF with another background", ScriptTwoParas, 0, 6,
     [](TTypingEditor& e) {
         TTypingEditor source(e.Sheet);
         source.Edit->SetColor(0x0000FF);
         source.Edit->RDFOptions |= rdfoSaveBack;
         source.Para(QStringLiteral("one"));
         source.More(QStringLiteral("two"), tsBold);
         source.Para(QStringLiteral("three"));
         source.Format();
         TRDMemoryStream saved;
         ASSERT_TRUE(source.Edit->SaveRDFToStream(saved, false));
         QByteArray rdf = saved.ToBytes();
         QBuffer buffer(&rdf);
         ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
         const TColor color = e.Edit->Color();
         e.Data->InsertRDFFromStream(buffer);
         e.Data->DoChange(true);
         EXPECT_EQ(e.Edit->Color(), color);
     }},
};

TEST(RDEUndoScriptTest, TypingAndInserting)
{
    TTypingSheet sheet;
    for (const TUndoScriptRow& row : TypingInsertRows)
        RunUndoScript(&sheet, row);
}

}  // namespace

// ======== deleting, Backspace, Delete and Enter: scripts undone and redone exactly ========

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
                    {KeysRuns({{"one", esPlain}}, epList, true), KeysPara("after")},
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
                    {KeysPara("zero"), KeysRuns({{"one", esPlain}}, epList, true),
                     KeysRuns({{"two", esPlain}}, epList, true)},
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
