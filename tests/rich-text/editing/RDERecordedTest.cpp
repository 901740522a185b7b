#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <QtCore/QObject>
#include <QtWidgets/QWidget>

#include "RDEditTestSupport.h"
#include "core/RDError.h"
#include "core/RDUnicode.h"
#include "document/RDMarkerLists.h"
#include "document/RDTextItems.h"
#include "editing/RDEdit.h"
#include "items/RDControlItems.h"
#include "items/RDMarkerItems.h"
#include "styles/RDStyle.h"

// The recorded edit primitives on an offscreen editor: what each changes,
// the record it leaves, and what it leaves alone.

namespace {

// Styles: text 0 plain, 1 bold, 2 Unicode; paragraph 0 plain, 1 another,
// 2 style-protected; list 0 numbered "1.".
class TRecSheet : public TRDStyle {
public:
    TRecSheet()
    {
        while (TextStyles().Count() < 3)
            TextStyles().Add();
        for (int i = 0; i < 3; ++i) {
            TextStyles().Items(i)->FontName = QStringLiteral("DejaVu Sans Mono");
            TextStyles().Items(i)->Size = 9;
        }
        TextStyles().Items(1)->Style = 1;  // bold
        TextStyles().Items(2)->Unicode = true;
        while (ParaStyles().Count() < 3)
            ParaStyles().Add();
        ParaStyles().Items(2)->Options |= rdpaoStyleProtect;
        TRDListInfo* list = ListStyles().Add();
        list->Levels.resize(1);
        list->Levels[0].ListType = TRDListType::rdlstDecimal;
        list->Levels[0].FormatString = "%0:s.";
    }
};

// The shared test editor (no border or bars, 400 x 300, RDF as text) over
// the sheet above.
class TRecEditor : public TTestEditor {
public:
    TRecEditor() : TTestEditor(nullptr) { SetStyle(&Sheet); }
    TRecSheet Sheet;
    QByteArray Rdf() { return RDFText(*this); }
    QByteArray Text(int i) { return Data().TextOfItem(i); }
};

QByteArray RecUtf16(const QString& s)
{
    return WideStringToRaw(s);
}

// Items: 0 "Hello" and 1 " world" (bold) in one paragraph, 2 "second",
// 3 "prot" (protected paragraph style), 4 "uni" (Unicode style).
void RecFill(TRecEditor& editor)
{
    editor.AddTextInNewParagraph(QStringLiteral("Hello"), 0, 0);
    editor.AddTextToParagraph(QStringLiteral(" world"), 1);
    editor.AddTextInNewParagraph(QStringLiteral("second"), 0, 0);
    editor.AddTextInNewParagraph(QStringLiteral("prot"), 0, 2);
    editor.AddTextInNewParagraph(QStringLiteral("uni"), 2, 0);
    editor.FormatDocument();
}

// item, continuing the paragraph, inserted at index without text.
template <typename T>
T* RecInsertContinuing(TRDEditRDData& data, int index, std::unique_ptr<T> item)
{
    T* raw = item.get();
    raw->SetContinuesPara(true);
    bool full = false;
    data.InsertItemRecorded(index, QByteArray(), full, false, std::move(item));
    return raw;
}

// A tab item continuing the paragraph, inserted at index.
void RecInsertTab(TRDEditRDData& data, int index)
{
    auto tab = std::make_unique<TRDTabItemInfo>(&data);
    tab->StyleNo = TabStyleNo;
    RecInsertContinuing(data, index, std::move(tab));
}

// A group to record into, begun on the undo list as the editor begins one.
void RecBegin(TRDEditRDData& data)
{
    ASSERT_TRUE(data.UndoList->BeginGroup(rdutModifyItem, QString(), 0, 1));
    data.RecordingState = 1;
}

std::vector<int> RecKinds(TRDEditRDData& data)
{
    std::vector<int> kinds;
    if (!data.UndoList->Groups.empty())
        for (const auto& record : data.UndoList->Groups.back()->Records)
            kinds.push_back(record->Kind);
    return kinds;
}

template <typename T>
T* RecRecord(TRDEditRDData& data, size_t index = 0)
{
    if (data.UndoList->Groups.empty() || index >= data.UndoList->Groups.back()->Records.size())
        return nullptr;
    return dynamic_cast<T*>(data.UndoList->Groups.back()->Records[index].get());
}

// The draw items equal those of a fresh full format of the same document.
::testing::AssertionResult RecSameAsFreshFormat(TRecEditor& editor)
{
    return DrawItemsMatchFreshFormat(editor);
}

// An item with published properties, as tables and cells have them.
class TRecPropItem : public QObject, public TRDRectItemInfo {
    Q_OBJECT
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
public:
    explicit TRecPropItem(TCustomRDData* data) : TRDRectItemInfo(data) { StyleNo = -30; }
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* data) const override { return new TRecPropItem(data); }
    int Width() const { return FWidth; }
    void SetWidth(int value) { FWidth = value; }
    int Height() const { return FHeight; }
    void SetHeight(int value) { FHeight = value; }
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& value) { FCaption = value; }
    void BeforePropertyChange() override { ++Opened; }
    void AfterPropertyChange() override { ++Closed; }
    int Opened = 0, Closed = 0;

private:
    int FWidth = 10, FHeight = 20;
    QString FCaption = QStringLiteral("cap");
};

// A plain QObject standing for a part of an item (a cell).
class TRecPropTarget : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Span READ Span WRITE SetSpan)
public:
    int Span() const { return FSpan; }
    void SetSpan(int value) { FSpan = value; }

private:
    int FSpan = 1;
};

}  // namespace

// ---- each primitive: its change and its record; with UndoLimit 0 the same change and no record ----

namespace {

struct TRecPrimitiveCase {
    const char* Name;
    std::function<void(TRDEditRDData&)> Edit;
    std::vector<int> Kinds;  // record kinds left, oldest first; empty: nothing recorded
    std::function<void(TRecEditor&)> CheckDocument;
    std::function<void(TRDEditRDData&)> CheckRecords;
};

std::vector<TRecPrimitiveCase> RecPrimitiveCases()
{
    bool full = false;
    return {
        {"delete characters", [](TRDEditRDData& d) { d.DeleteSubstringRecorded(0, 2, 3); }, {3},
         [](TRecEditor& e) { EXPECT_EQ(e.Text(0), "Ho"); },
         [](TRDEditRDData& d) {
             auto* r = RecRecord<TRDUndoDeleteSubstringInfo>(d);
             ASSERT_NE(r, nullptr);
             EXPECT_EQ(r->ItemIndex, 0);
             EXPECT_EQ(r->Position, 2);
             EXPECT_EQ(r->Text, "ell");
         }},
        {"delete characters to the end", [](TRDEditRDData& d) { d.DeleteSubstringRecorded(0, 3, -1); }, {3},
         [](TRecEditor& e) { EXPECT_EQ(e.Text(0), "He"); },
         [](TRDEditRDData& d) { EXPECT_EQ(RecRecord<TRDUndoDeleteSubstringInfo>(d)->Text, "llo"); }},
        {"delete a UTF-16 character", [](TRDEditRDData& d) { d.DeleteSubstringRecorded(4, 2, 1); }, {3},
         [](TRecEditor& e) { EXPECT_EQ(e.Text(4), RecUtf16(QStringLiteral("ui"))); },
         [](TRDEditRDData& d) { EXPECT_EQ(RecRecord<TRDUndoDeleteSubstringInfo>(d)->Text, RecUtf16("n")); }},
        {"delete no characters", [](TRDEditRDData& d) { d.DeleteSubstringRecorded(0, 2, 0); }, {},
         [](TRecEditor& e) { EXPECT_EQ(e.Text(0), "Hello"); }, nullptr},
        {"insert characters at the end", [](TRDEditRDData& d) { d.InsertSubstringRecorded(0, 6, "!!"); }, {6},
         [](TRecEditor& e) { EXPECT_EQ(e.Text(0), "Hello!!"); },
         [](TRDEditRDData& d) {
             auto* r = RecRecord<TRDUndoInsertSubstringInfo>(d);
             ASSERT_NE(r, nullptr);
             EXPECT_EQ(r->Position, 6);
             EXPECT_EQ(r->Length, 2);
         }},
        {"insert UTF-16 characters", [](TRDEditRDData& d) { d.InsertSubstringRecorded(4, 1, RecUtf16("ab")); },
         {6}, [](TRecEditor& e) { EXPECT_EQ(e.Text(4), RecUtf16(QStringLiteral("abuni"))); },
         [](TRDEditRDData& d) { EXPECT_EQ(RecRecord<TRDUndoInsertSubstringInfo>(d)->Length, 2); }},
        {"change an item's text", [](TRDEditRDData& d) { d.ChangeItemTextRecorded(2, "changed"); }, {16},
         [](TRecEditor& e) { EXPECT_EQ(e.Text(2), "changed"); },
         [](TRDEditRDData& d) { EXPECT_EQ(RecRecord<TRDUndoChangeTextInfo>(d)->Text, "second"); }},
        {"the same text again", [](TRDEditRDData& d) { d.ChangeItemTextRecorded(2, "second"); }, {}, nullptr,
         nullptr},
        {"another text style", [](TRDEditRDData& d) { d.SetItemStyleRecorded(0, 1); }, {13},
         [](TRecEditor& e) { EXPECT_EQ(e.Data().ItemAt(0)->StyleNo, 1); },
         [](TRDEditRDData& d) { EXPECT_EQ(RecRecord<TRDUndoStyleNoInfo>(d)->OldStyleIndex, 0); }},
        {"a Unicode style sets the Unicode bit, the text stays",
         [](TRDEditRDData& d) {
             // As a style conversion does: the text first, then the style.
             const QByteArray converted = RecUtf16(QStringLiteral("Hello"));
             d.ChangeItemTextRecorded(0, converted);
             d.SetItemStyleRecorded(0, 2);
             EXPECT_TRUE(d.ItemAt(0)->ItemOptions & rdioUnicode);
             EXPECT_EQ(d.TextOfItem(0), converted);
         },
         {16, 13}, nullptr, nullptr},
        {"an ANSI style clears the Unicode bit",
         [](TRDEditRDData& d) {
             // As a style conversion does: the text first, then the style.
             d.ChangeItemTextRecorded(4, "uni");
             d.SetItemStyleRecorded(4, 0);
             EXPECT_FALSE(d.ItemAt(4)->ItemOptions & rdioUnicode);
         },
         {16, 13}, [](TRecEditor& e) { EXPECT_EQ(e.Text(4), "uni"); }, nullptr},
        {"the same text style again", [](TRDEditRDData& d) { d.SetItemStyleRecorded(1, 1); }, {}, nullptr, nullptr},
        {"a paragraph style over a range",
         [full](TRDEditRDData& d) mutable { d.SetParaRangeRecorded(0, 2, full, 1); }, {9},
         [](TRecEditor& e) {
             for (int i = 0; i <= 2; ++i)
                 EXPECT_EQ(e.Data().ItemAt(i)->ParaNo, 1) << i;
         },
         [](TRDEditRDData& d) {
             auto* r = RecRecord<TRDUndoParaListInfo>(d);
             ASSERT_NE(r, nullptr);
             EXPECT_EQ(r->FirstItem, 0);
             EXPECT_EQ(r->Values, (std::vector<int>{0, 0, 0}));
         }},
        {"a protected paragraph style stays",
         [full](TRDEditRDData& d) mutable { d.SetParaRangeRecorded(3, 3, full, 1); }, {9},
         [](TRecEditor& e) { EXPECT_EQ(e.Data().ItemAt(3)->ParaNo, 2); }, nullptr},
        {"paragraph styles from a list",
         [full](TRDEditRDData& d) mutable { d.SetParaListRecorded(0, {1, 1}, full); }, {9},
         [](TRecEditor& e) {
             EXPECT_EQ(e.Data().ItemAt(0)->ParaNo, 1);
             EXPECT_EQ(e.Data().ItemAt(1)->ParaNo, 1);
             EXPECT_EQ(e.Data().ItemAt(2)->ParaNo, 0);
         },
         [](TRDEditRDData& d) {
             auto* r = RecRecord<TRDUndoParaInfo>(d);
             ASSERT_NE(r, nullptr);
             EXPECT_EQ(r->ItemIndex, 0);
             EXPECT_EQ(r->Count, 2);
             EXPECT_EQ(r->OldParaIndex, 0);
         }},
        {"joining a paragraph takes the style before it",
         [full](TRDEditRDData& d) mutable { d.SetContinuesParaRecorded(4, true, full, -1); }, {7, 9},
         [](TRecEditor& e) {
             EXPECT_TRUE(e.Data().ItemAt(4)->ContinuesPara());
             EXPECT_EQ(e.Data().ItemAt(4)->ParaNo, 2);
         },
         [](TRDEditRDData& d) {
             auto* r = RecRecord<TRDUndoNewLineInfo>(d);
             ASSERT_NE(r, nullptr);
             EXPECT_EQ(r->ItemIndex, 4);
             EXPECT_FALSE(r->ContinuedPara);
             EXPECT_EQ(r->OldParaIndex, 0);
             EXPECT_EQ(r->LastItemIndex, -1);
             EXPECT_EQ(RecRecord<TRDUndoParaListInfo>(d, 1)->Values, std::vector<int>{0});
         }},
        {"a protected paragraph joined keeps its style",
         [full](TRDEditRDData& d) mutable { d.SetContinuesParaRecorded(3, true, full, -1); }, {7, 9},
         [](TRecEditor& e) {
             EXPECT_TRUE(e.Data().ItemAt(3)->ContinuesPara());
             EXPECT_EQ(e.Data().ItemAt(3)->ParaNo, 2);
         },
         nullptr},
        {"splitting a paragraph with a new style",
         [full](TRDEditRDData& d) mutable { d.SetContinuesParaRecorded(1, false, full, 1); }, {7, 9},
         [](TRecEditor& e) {
             EXPECT_TRUE(e.Data().ItemAt(1)->StartsParagraph());
             EXPECT_EQ(e.Data().ItemAt(1)->ParaNo, 1);
             EXPECT_EQ(e.Data().ItemAt(0)->ParaNo, 0);
         },
         [](TRDEditRDData& d) { EXPECT_TRUE(RecRecord<TRDUndoNewLineInfo>(d)->ContinuedPara); }},
        {"starting a paragraph where one starts",
         [full](TRDEditRDData& d) mutable { d.SetContinuesParaRecorded(2, false, full, 1); }, {},
         [](TRecEditor& e) { EXPECT_EQ(e.Data().ItemAt(2)->ParaNo, 0); }, nullptr},
        {"a line break", [full](TRDEditRDData& d) mutable { d.SetLineBreakRecorded(2, true, full); }, {8},
         [](TRecEditor& e) {
             EXPECT_TRUE(e.Data().ItemAt(2)->HasLineBreakBefore());
             EXPECT_FALSE(e.Data().StartsParagraph(2));
         },
         [](TRDEditRDData& d) { EXPECT_FALSE(RecRecord<TRDUndoBRInfo>(d)->HadLineBreak); }},
        {"a line break where the item continues the line",
         [full](TRDEditRDData& d) mutable { d.SetLineBreakRecorded(1, true, full); }, {}, nullptr, nullptr},
        {"a page break", [](TRDEditRDData& d) { d.SetPageBreakRecorded(2, true); }, {10},
         [](TRecEditor& e) { EXPECT_TRUE(e.Data().ItemAt(2)->BreaksPageBefore()); },
         [](TRDEditRDData& d) {
             auto* r = RecRecord<TRDUndoPageBreakInfo>(d);
             ASSERT_NE(r, nullptr);
             EXPECT_EQ(r->ItemIndex, 2);
             EXPECT_FALSE(r->HadPageBreak);
         }},
        {"no page break where there is none", [](TRDEditRDData& d) { d.SetPageBreakRecorded(2, false); }, {},
         nullptr, nullptr},
        {"a hint", [](TRDEditRDData& d) { d.SetExtraStrPropertyRecorded(0, 1, QStringLiteral("tip")); }, {15},
         [](TRecEditor& e) { EXPECT_EQ(e.Data().ItemAt(0)->Hint, QStringLiteral("tip")); },
         [](TRDEditRDData& d) {
             auto* r = RecRecord<TRDUndoExtraStrProperty>(d);
             ASSERT_NE(r, nullptr);
             EXPECT_EQ(r->PropId, 1);
             EXPECT_TRUE(r->OldValue.isEmpty());
         }},
        {"the same hint again", [](TRDEditRDData& d) { d.SetExtraStrPropertyRecorded(0, 1, QString()); }, {},
         nullptr, nullptr},
        {"an integer property a text item lacks", [](TRDEditRDData& d) { d.SetExtraIntPropertyRecorded(0, 3, 5); },
         {}, nullptr, nullptr},
        {"a tag", [](TRDEditRDData& d) { d.SetItemTagRecorded(0, TRDTag::FromInt(7), false); }, {12},
         [](TRecEditor& e) { EXPECT_EQ(e.Data().ItemAt(0)->Tag.Int, 7); },
         [](TRDEditRDData& d) { EXPECT_EQ(RecRecord<TRDUndoTagInfo>(d)->OldTag.Int, 0); }},
        {"the same tag again", [](TRDEditRDData& d) { d.SetItemTagRecorded(0, TRDTag::FromInt(0), false); }, {},
         nullptr, nullptr},
        {"deleting an item", [full](TRDEditRDData& d) mutable { d.DeleteItemRecorded(1, full); }, {1},
         [](TRecEditor& e) {
             EXPECT_EQ(e.Data().ItemCount(), 4);
             EXPECT_EQ(e.Text(1), "second");
         },
         [](TRDEditRDData& d) {
             auto* r = RecRecord<TRDUndoDeleteItemInfo>(d);
             ASSERT_NE(r, nullptr);
             EXPECT_EQ(r->ItemIndex, 1);
             EXPECT_EQ(r->Text, " world");
             ASSERT_NE(r->SavedItem, nullptr);
             EXPECT_EQ(r->SavedItem->StyleNo, 1);
         }},
        {"inserting an item", [full](TRDEditRDData& d) mutable {
             auto item = std::make_unique<TRDTextItemInfo>(&d);
             item->StyleNo = 1;
             item->ParaNo = 0;
             item->SetContinuesPara(true);
             d.InsertItemRecorded(2, "new", full, false, std::move(item));
         },
         {4},
         [](TRecEditor& e) {
             EXPECT_EQ(e.Data().ItemCount(), 6);
             EXPECT_EQ(e.Text(2), "new");
             EXPECT_EQ(e.Text(3), "second");
         },
         [](TRDEditRDData& d) {
             auto* r = RecRecord<TRDUndoInsertItemInfo>(d);
             ASSERT_NE(r, nullptr);
             EXPECT_EQ(r->ItemIndex, 2);
             EXPECT_EQ(r->LastItemIndex, -1);
         }},
        {"joining two text items", [full](TRDEditRDData& d) mutable { d.JoinItemsRecorded(2, full); }, {6, 1},
         [](TRecEditor& e) {
             EXPECT_EQ(e.Data().ItemCount(), 4);
             EXPECT_EQ(e.Text(2), "secondprot");
         },
         nullptr},
        {"deleting several items", [full](TRDEditRDData& d) mutable { d.DeleteItemsRecorded(1, 3, full); }, {2},
         [](TRecEditor& e) {
             EXPECT_EQ(e.Data().ItemCount(), 2);
             EXPECT_EQ(e.Text(1), RecUtf16(QStringLiteral("uni")));
         },
         nullptr},
        {"deleting an item that holds a checkpoint",
         [full](TRDEditRDData& d) mutable {
             auto cp = std::make_unique<TRDCPInfo>();
             cp->Name = QStringLiteral("gone");
             d.AttachCheckpointRecorded(2, std::move(cp));
             d.DeleteItemRecorded(2, full);
         },
         {14, 14, 1}, [](TRecEditor& e) { EXPECT_EQ(e.Data().CPCount, 0); }, nullptr},
        {"moving a checkpoint",
         [](TRDEditRDData& d) {
             auto cp = std::make_unique<TRDCPInfo>();
             cp->Name = QStringLiteral("moved");
             d.AttachCheckpointRecorded(3, std::move(cp));
             d.MoveCheckpointRecorded(3, 0);
         },
         {14, 14, 14},
         [](TRecEditor& e) {
             ASSERT_NE(e.Data().CheckpointOfItem(0), nullptr);
             EXPECT_EQ(e.Data().CheckpointOfItem(0)->Name, QStringLiteral("moved"));
             EXPECT_EQ(e.Data().CheckpointOfItem(3), nullptr);
         },
         nullptr},
        {"inserting items kept last first",
         [full](TRDEditRDData& d) mutable {
             std::vector<std::pair<QByteArray, std::unique_ptr<TCustomRDItemInfo>>> items;
             for (const char* text : {"y", "x"}) {
                 auto item = std::make_unique<TRDTextItemInfo>(&d);
                 item->SetContinuesPara(true);
                 items.emplace_back(text, std::move(item));
             }
             d.InsertItemListRecorded(1, items, full, false);
         },
         {5, 9},  // the item after the block continues the paragraph: its style is recorded
         [](TRecEditor& e) {
             EXPECT_EQ(e.Text(1), "x");
             EXPECT_EQ(e.Text(2), "y");
             EXPECT_EQ(e.Text(3), " world");
         },
         [](TRDEditRDData& d) {
             auto* r = RecRecord<TRDUndoInsertItemsInfo>(d);
             ASSERT_NE(r, nullptr);
             EXPECT_EQ(r->ItemIndex, 1);
             EXPECT_EQ(r->Count, 2);
         }},
        {"an item starting a paragraph in front of continuing items",
         [full](TRDEditRDData& d) mutable {
             auto item = std::make_unique<TRDTextItemInfo>(&d);
             item->ParaNo = 1;
             d.InsertItemRecorded(1, "N", full, false, std::move(item));
         },
         {4, 9},
         [](TRecEditor& e) {
             EXPECT_EQ(e.Data().ItemAt(1)->ParaNo, 1);
             EXPECT_EQ(e.Data().ItemAt(2)->ParaNo, 1);
             EXPECT_EQ(e.Data().ItemAt(0)->ParaNo, 0);
         },
         nullptr},
        {"joining an item whose tag and style the empty one takes",
         [](TRDEditRDData& d) {
             d.ChangeItemTextRecorded(0, QByteArray());
             d.SetItemTagRecorded(1, TRDTag::FromInt(3), false);
             bool joinFull = false;
             d.JoinItemsRecorded(0, joinFull);
         },
         {16, 12, 12, 13, 6, 1},
         [](TRecEditor& e) {
             EXPECT_EQ(e.Text(0), " world");
             EXPECT_EQ(e.Data().ItemAt(0)->StyleNo, 1);
             EXPECT_EQ(e.Data().ItemAt(0)->Tag.Int, 3);
         },
         nullptr},
    };
}

class RDERecordedPrimitives : public ::testing::TestWithParam<size_t> {};

TEST_P(RDERecordedPrimitives, ChangeRecordAndWithoutUndoTheSameChange)
{
    const TRecPrimitiveCase c = RecPrimitiveCases()[GetParam()];
    SCOPED_TRACE(c.Name);
    TRecEditor recording;
    RecFill(recording);
    const QByteArray before = recording.Rdf();
    RecBegin(recording.Data());
    c.Edit(recording.Data());
    EXPECT_EQ(RecKinds(recording.Data()), c.Kinds);
    if (c.CheckDocument)
        c.CheckDocument(recording);
    if (c.CheckRecords)
        c.CheckRecords(recording.Data());
    if (c.Kinds.empty()) {
        EXPECT_EQ(recording.Rdf(), before);
    }
    for (const auto& record : recording.Data().UndoList->Groups.back()->Records)
        EXPECT_EQ(record->OwnerList, recording.Data().UndoList.get());

    // UndoLimit 0: the list takes no group, yet the edit happens alike.
    TRecEditor plain;
    RecFill(plain);
    plain.Data().UndoList->MaxGroupCount = 0;
    EXPECT_FALSE(plain.Data().UndoList->BeginGroup(rdutModifyItem, QString(), 0, 1));
    plain.Data().RecordingState = 1;
    EXPECT_EQ(plain.Data().GetRecordingUndoList(), nullptr);
    c.Edit(plain.Data());
    EXPECT_EQ(plain.Data().UndoList->Count(), 0);
    EXPECT_EQ(plain.Rdf(), recording.Rdf());
}

TEST_P(RDERecordedPrimitives, UndoneAndRedoneExactly)
{
    const TRecPrimitiveCase c = RecPrimitiveCases()[GetParam()];
    if (c.Kinds.empty())
        return;
    SCOPED_TRACE(c.Name);
    TRecEditor editor;
    RecFill(editor);
    TRDEditRDData& data = editor.Data();
    const QByteArray before = editor.Rdf();
    ASSERT_TRUE(data.BeginUndoGroup(rdutModifyItem));
    c.Edit(data);
    editor.FormatDocument();
    const QByteArray after = editor.Rdf();
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        data.UndoList->Undo(data);
        EXPECT_EQ(editor.Rdf(), before);
        EXPECT_TRUE(RecSameAsFreshFormat(editor));
        EXPECT_EQ(data.UndoList->Count(), 0);
        ASSERT_EQ(data.RedoList->Count(), 1);
        data.RedoList->Redo(data);
        EXPECT_EQ(editor.Rdf(), after);
        EXPECT_TRUE(RecSameAsFreshFormat(editor));
        EXPECT_EQ(data.RedoList->Count(), 0);
        ASSERT_EQ(data.UndoList->Count(), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, RDERecordedPrimitives, ::testing::Range<size_t>(0, RecPrimitiveCases().size()),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                             std::string name = RecPrimitiveCases()[info.param].Name;
                             for (char& ch : name)
                                 if (!isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

}  // namespace

// ---- the recording switch ----

TEST(RDERecorded, TheRecordingStateChoosesTheList)
{
    TRecEditor editor;
    RecFill(editor);
    TRDEditRDData& data = editor.Data();
    data.RecordingState = 0;
    EXPECT_EQ(data.GetRecordingUndoList(), nullptr);
    data.RecordingState = 1;
    EXPECT_EQ(data.GetRecordingUndoList(), data.UndoList.get());
    data.RecordingState = 2;
    EXPECT_EQ(data.GetRecordingUndoList(), data.RedoList.get());
    // The redo list records even when the undo list keeps nothing.
    data.UndoList->MaxGroupCount = 0;
    EXPECT_EQ(data.GetRecordingUndoList(), data.RedoList.get());
    data.RecordingState = 1;
    EXPECT_EQ(data.GetRecordingUndoList(), nullptr);
}

TEST(RDERecorded, GroupsSetTheRecordingState)
{
    TRecEditor editor;
    RecFill(editor);
    TRDEditRDData& data = editor.Data();
    EXPECT_TRUE(data.BeginUndoGroup(rdutInsert));
    EXPECT_EQ(data.RecordingState, 1);
    EXPECT_EQ(data.UndoList->GetCurrentKind(), rdutInsert);
    EXPECT_TRUE(data.BeginRedoGroup(rdutDelete, QStringLiteral("again")));
    EXPECT_EQ(data.RecordingState, 2);
    ASSERT_EQ(data.RedoList->Count(), 1);
    EXPECT_EQ(data.RedoList->Groups.back()->Title, QStringLiteral("again"));
    data.UndoList->MaxGroupCount = 0;
    EXPECT_FALSE(data.BeginUndoGroup(rdutInsert));
    EXPECT_EQ(data.RecordingState, 0);
}

// ---- items ----

TEST(RDERecorded, DeletedItemsGoBackInTheirOrder)
{
    TRecEditor editor;
    for (const char* text : {"i0", "i1", "i2", "i3", "i4", "i5", "i6"})
        editor.AddTextInNewParagraph(QString::fromLatin1(text), 0, 0);
    editor.FormatDocument();
    TRDEditRDData& data = editor.Data();
    const QByteArray before = editor.Rdf();
    RecBegin(data);
    bool full = false;
    data.DeleteItemsRecorded(3, 5, full);
    ASSERT_EQ(data.ItemCount(), 4);
    EXPECT_EQ(editor.Text(3), "i6");
    auto* record = RecRecord<TRDUndoDeleteItemsInfo>(data);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->Kind, 2);
    EXPECT_EQ(record->FirstItem, 3);
    EXPECT_EQ(record->LastItem, -1);
    ASSERT_EQ(record->Items.size(), 3u);
    EXPECT_EQ(record->Items.front().first, "i5");  // last item first
    EXPECT_EQ(record->Items.back().first, "i3");

    // What the record keeps, put back at its first index, restores the document.
    data.RecordingState = 0;
    data.InsertItemListRecorded(record->FirstItem, record->Items, full, true);
    EXPECT_TRUE(record->Items.empty());
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(editor.Text(i), QByteArray("i") + QByteArray::number(i));
    EXPECT_EQ(editor.Rdf(), before);

    // The same through the undo list, with the layout.
    data.UndoList->Clear();
    editor.FormatDocument();
    ASSERT_TRUE(data.BeginUndoGroup(rdutDelete));
    data.DeleteItemsRecorded(3, 5, full);
    editor.FormatDocument();
    const QByteArray after = editor.Rdf();
    data.UndoList->Undo(data);
    EXPECT_EQ(editor.Rdf(), before);
    EXPECT_TRUE(RecSameAsFreshFormat(editor));
    data.RedoList->Redo(data);
    EXPECT_EQ(editor.Rdf(), after);
    EXPECT_TRUE(RecSameAsFreshFormat(editor));
}

TEST(RDERecorded, AParagraphStartInFrontOfContinuingItemsTakesThemIntoItsStyle)
{
    TRecEditor editor;
    editor.AddTextInNewParagraph(QStringLiteral("a"), 0, 0);
    editor.AddTextToParagraph(QStringLiteral("b"), 1);
    editor.AddTextToParagraph(QStringLiteral("c"), 0);
    editor.AddTextInNewParagraph(QStringLiteral("d"), 0, 0);
    editor.FormatDocument();
    TRDEditRDData& data = editor.Data();
    RecBegin(data);
    auto item = std::make_unique<TRDTextItemInfo>(&data);
    item->ParaNo = 1;
    bool full = false;
    data.InsertItemRecorded(1, "N", full, false, std::move(item));
    ASSERT_EQ(data.ItemCount(), 5);
    EXPECT_EQ(data.ItemAt(2)->ParaNo, 1);
    EXPECT_EQ(data.ItemAt(3)->ParaNo, 1);
    EXPECT_EQ(data.ItemAt(0)->ParaNo, 0);
    EXPECT_EQ(data.ItemAt(4)->ParaNo, 0);  // the next paragraph is not touched
    EXPECT_EQ(RecKinds(data), (std::vector<int>{4, 9}));
    auto* inserted = RecRecord<TRDUndoInsertItemInfo>(data, 0);
    EXPECT_EQ(inserted->LastItemIndex, 3);
    auto* styles = RecRecord<TRDUndoParaListInfo>(data, 1);
    EXPECT_EQ(styles->FirstItem, 2);
    EXPECT_EQ(styles->Values, (std::vector<int>{0, 0}));
}

TEST(RDERecorded, WithoutRecordingARemovedItemIsFreedWithItsCheckpoint)
{
    TRecEditor editor;
    RecFill(editor);
    TRDEditRDData& data = editor.Data();
    auto cp = std::make_unique<TRDCPInfo>();
    cp->Name = QStringLiteral("mark");
    data.AttachCheckpointRecorded(1, std::move(cp));
    ASSERT_EQ(data.CPCount, 1);
    bool full = false;
    data.DeleteItemRecorded(1, full);
    EXPECT_EQ(data.CPCount, 0);
    EXPECT_EQ(data.FirstCP, nullptr);
    EXPECT_EQ(data.LastCP, nullptr);
    EXPECT_EQ(data.ItemCount(), 4);
}

// ---- substrings: corrupted numbers raise "Undo error" and change nothing ----

TEST(RDERecorded, CharactersOutsideATextRaiseUndoError)
{
    TRecEditor editor;
    RecFill(editor);
    TRDEditRDData& data = editor.Data();
    RecInsertTab(data, 1);
    const QByteArray before = editor.Rdf();
    RecBegin(data);
    const std::vector<std::pair<const char*, std::function<void()>>> cases = {
        {"an item past the end", [&] { data.InsertSubstringRecorded(9, 1, "x"); }},
        {"a negative item", [&] { data.InsertSubstringRecorded(-1, 1, "x"); }},
        {"a non-text item", [&] { data.InsertSubstringRecorded(1, 1, "x"); }},
        {"a position past the text", [&] { data.InsertSubstringRecorded(0, 7, "x"); }},
        {"position 0", [&] { data.InsertSubstringRecorded(0, 0, "x"); }},
        {"half a UTF-16 character", [&] { data.InsertSubstringRecorded(5, 1, "x"); }},
        {"deleting past the text", [&] { data.DeleteSubstringRecorded(0, 8, 1); }},
        {"deleting in a non-text item", [&] { data.DeleteSubstringRecorded(1, 1, 1); }},
    };
    for (const auto& [name, edit] : cases) {
        SCOPED_TRACE(name);
        try {
            edit();
            ADD_FAILURE() << "no error";
        } catch (const ERichDocError& e) {
            EXPECT_STREQ(e.what(), "Undo error");
        }
        EXPECT_EQ(editor.Rdf(), before);
        EXPECT_TRUE(RecKinds(data).empty());
    }
}

// ---- page breaks and list markers ----

TEST(RDERecorded, APageBreakAtTheTextAfterAMarkerGoesToTheMarker)
{
    TRecEditor editor;
    editor.AddTextInNewParagraph(QStringLiteral("before"), 0, 0);
    TRDEditRDData& data = editor.Data();
    data.AddItem(QByteArray(), std::make_unique<TRDMarkerItemInfo>(&data, 0, 0, 1, false));
    editor.AddTextToParagraph(QStringLiteral("listed"), 0);
    editor.FormatDocument();
    ASSERT_EQ(data.ItemAt(1)->StyleNo, MarkerStyleNo);
    const QByteArray before = editor.Rdf();
    ASSERT_TRUE(data.BeginUndoGroup(rdutPageBreak));
    data.SetPageBreakRecorded(2, true);
    EXPECT_TRUE(data.ItemAt(1)->BreaksPageBefore());
    EXPECT_FALSE(data.ItemAt(2)->BreaksPageBefore());
    auto* record = RecRecord<TRDUndoPageBreakInfo>(data);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->ItemIndex, 1);
    // Asked again at the text, the marker already has it: nothing more.
    data.SetPageBreakRecorded(2, true);
    EXPECT_EQ(RecKinds(data).size(), 1u);

    editor.FormatDocument();
    const QByteArray after = editor.Rdf();
    data.UndoList->Undo(data);
    EXPECT_EQ(editor.Rdf(), before);
    EXPECT_FALSE(data.ItemAt(1)->BreaksPageBefore());
    data.RedoList->Redo(data);
    EXPECT_EQ(editor.Rdf(), after);
    EXPECT_TRUE(RecSameAsFreshFormat(editor));
}

TEST(RDERecorded, APageBreakGivesTheLineBreakItEndsToTheRecords)
{
    TRecEditor editor;
    RecFill(editor);
    TRDEditRDData& data = editor.Data();
    bool full = false;
    data.SetLineBreakRecorded(2, true, full);
    RecBegin(data);
    data.SetPageBreakRecorded(2, true);
    EXPECT_TRUE(data.ItemAt(2)->BreaksPageBefore());
    EXPECT_FALSE(data.ItemAt(2)->HasLineBreakBefore());
    EXPECT_EQ(RecKinds(data), (std::vector<int>{8, 10}));
    EXPECT_TRUE(RecRecord<TRDUndoBRInfo>(data, 0)->HadLineBreak);
}

// ---- checkpoints ----

TEST(RDERecorded, CheckpointsAttachDetachAndMove)
{
    TRecEditor editor;
    RecFill(editor);
    TRDEditRDData& data = editor.Data();
    RecBegin(data);
    auto cp = std::make_unique<TRDCPInfo>();
    cp->Name = QStringLiteral("here");
    cp->Sticky = true;
    TRDCPInfo* raw = cp.get();
    data.AttachCheckpointRecorded(2, std::move(cp));
    EXPECT_EQ(data.CheckpointOfItem(2), raw);
    EXPECT_EQ(raw->Item, data.ItemAt(2));
    EXPECT_EQ(data.CPCount, 1);
    EXPECT_EQ(data.FirstCP, raw);

    EXPECT_THROW(data.AttachCheckpointRecorded(2, std::make_unique<TRDCPInfo>()), ERichDocError);
    EXPECT_THROW(data.DetachCheckpointRecorded(0), ERichDocError);

    data.MoveCheckpointRecorded(2, 0);
    EXPECT_EQ(data.CheckpointOfItem(2), nullptr);
    ASSERT_NE(data.CheckpointOfItem(0), nullptr);
    EXPECT_EQ(data.CheckpointOfItem(0)->Name, QStringLiteral("here"));
    EXPECT_TRUE(data.CheckpointOfItem(0)->Sticky);
    EXPECT_EQ(data.CPCount, 1);
    EXPECT_EQ(data.FirstCP, data.CheckpointOfItem(0));
    EXPECT_EQ(data.LastCP, data.CheckpointOfItem(0));
    EXPECT_EQ(RecKinds(data), (std::vector<int>{14, 14, 14}));
    // The detached one is kept by its record, out of the chain.
    auto* kept = RecRecord<TRDUndoDeleteCPInfo>(data, 2);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->Checkpoint.get(), raw);
    EXPECT_EQ(kept->ItemIndex, 2);
    EXPECT_EQ(raw->NextCP, nullptr);
    EXPECT_EQ(raw->PrevCP, nullptr);

    // The end of the document holds one too.
    data.AttachCheckpointRecorded(-1, std::make_unique<TRDCPInfo>());
    EXPECT_NE(data.PendingCP, nullptr);
    EXPECT_EQ(data.CPCount, 2);
    data.DetachCheckpointRecorded(-1);
    EXPECT_EQ(data.PendingCP, nullptr);
    EXPECT_EQ(data.CPCount, 1);
}

TEST(RDERecorded, PersistentCheckpointsMoveToAnItemOfTheirParagraph)
{
    // Items: 0 "a" | 1 "b" 2 "c" continuing | 3 "d".
    struct TCase {
        const char* Name;
        int Item;
        bool PreferPrevious;
        std::vector<int> Others;  // items that already hold a persistent checkpoint
        bool Moved;
        int Target;
    };
    const std::vector<TCase> cases = {
        {"to the next item", 1, false, {}, true, 2},
        {"to the previous item when preferred", 2, true, {}, true, 1},
        {"back when the next starts a paragraph", 2, false, {}, true, 1},
        {"nowhere from a lone paragraph", 3, false, {}, false, 3},
        {"nowhere when both neighbours have one", 2, false, {1}, false, 2},
        {"not before a paragraph start", 1, true, {}, false, 1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TRecEditor editor;
        editor.AddTextInNewParagraph(QStringLiteral("a"), 0, 0);
        editor.AddTextInNewParagraph(QStringLiteral("b"), 0, 0);
        editor.AddTextToParagraph(QStringLiteral("c"), 0);
        editor.AddTextInNewParagraph(QStringLiteral("d"), 0, 0);
        editor.FormatDocument();
        TRDEditRDData& data = editor.Data();
        for (int i : c.Others) {
            auto cp = std::make_unique<TRDCPInfo>();
            cp->Sticky = true;
            data.AttachCheckpointRecorded(i, std::move(cp));
        }
        auto cp = std::make_unique<TRDCPInfo>();
        cp->Name = QStringLiteral("kept");
        cp->Sticky = true;
        data.AttachCheckpointRecorded(c.Item, std::move(cp));
        EXPECT_TRUE(data.ParaHasPersistentCheckpoint(c.Item));
        EXPECT_EQ(data.MovePersistentCheckpointAway(c.Item, c.PreferPrevious), c.Moved);
        ASSERT_NE(data.CheckpointOfItem(c.Target), nullptr);
        EXPECT_EQ(data.CheckpointOfItem(c.Target)->Name, QStringLiteral("kept"));
    }
}

TEST(RDERecorded, ParagraphEnds)
{
    TRecEditor editor;
    editor.AddTextInNewParagraph(QStringLiteral("a"), 0, 0);
    editor.AddTextToParagraph(QStringLiteral("b"), 0);
    editor.AddTextInNewParagraph(QStringLiteral("c"), 0, 0);
    editor.FormatDocument();
    TRDEditRDData& data = editor.Data();
    bool full = false;
    data.SetLineBreakRecorded(2, true, full);  // a new line of the same paragraph
    EXPECT_EQ(data.ParagraphEndItem(0), 2);
    EXPECT_EQ(data.ParagraphEndItem(1), 2);
    EXPECT_EQ(data.ParagraphEndItem(2), 2);
    data.SetLineBreakRecorded(2, false, full);
    EXPECT_EQ(data.ParagraphEndItem(0), 1);
    EXPECT_EQ(data.ParagraphEndItem(2), 2);
}

// ---- joining ----

TEST(RDERecorded, AnEmptyItemOfAnotherEncodingGivesWayToTheOther)
{
    TRecEditor editor;
    editor.AddTextInNewParagraph(QString(), 0, 1);
    editor.AddTextToParagraph(QStringLiteral("uni"), 2);
    editor.FormatDocument();
    TRDEditRDData& data = editor.Data();
    auto cp = std::make_unique<TRDCPInfo>();
    cp->Name = QStringLiteral("start");
    data.AttachCheckpointRecorded(0, std::move(cp));
    RecBegin(data);
    bool full = false;
    data.JoinItemsRecorded(0, full);
    ASSERT_EQ(data.ItemCount(), 1);
    EXPECT_EQ(editor.Text(0), RecUtf16(QStringLiteral("uni")));
    EXPECT_TRUE(data.ItemAt(0)->StartsParagraph());
    EXPECT_EQ(data.ItemAt(0)->ParaNo, 1);
    ASSERT_NE(data.CheckpointOfItem(0), nullptr);
    EXPECT_EQ(data.CheckpointOfItem(0)->Name, QStringLiteral("start"));
    EXPECT_EQ(data.CPCount, 1);
}

TEST(RDERecorded, TextsOfTwoEncodingsAreNotJoined)
{
    TRecEditor editor;
    editor.AddTextInNewParagraph(QStringLiteral("ansi"), 0, 0);
    editor.AddTextToParagraph(QStringLiteral("uni"), 2);
    editor.FormatDocument();
    TRDEditRDData& data = editor.Data();
    const QByteArray before = editor.Rdf();
    RecBegin(data);
    bool full = false;
    EXPECT_THROW(data.JoinItemsRecorded(0, full), ERichDocError);
    EXPECT_EQ(editor.Rdf(), before);
    EXPECT_TRUE(RecKinds(data).empty());
}

TEST(RDERecorded, AnEmptyItemTakesTheTagAndStyleOfTheTextJoinedToIt)
{
    TRecEditor editor;
    editor.AddTextInNewParagraph(QString(), 0, 0);
    editor.AddTextToParagraph(QStringLiteral("bold"), 1);
    editor.FormatDocument();
    TRDEditRDData& data = editor.Data();
    data.ItemAt(1)->Tag = TRDTag::FromInt(42);
    RecBegin(data);
    bool full = false;
    data.JoinItemsRecorded(0, full);
    ASSERT_EQ(data.ItemCount(), 1);
    EXPECT_EQ(editor.Text(0), "bold");
    EXPECT_EQ(data.ItemAt(0)->StyleNo, 1);
    EXPECT_EQ(data.ItemAt(0)->Tag.Int, 42);
    EXPECT_EQ(RecKinds(data), (std::vector<int>{12, 13, 6, 1}));
}

// ---- published properties ----

TEST(RDERecorded, PublishedPropertiesAreSetAndRecordedByName)
{
    TRecEditor editor;
    RecFill(editor);
    TRDEditRDData& data = editor.Data();
    TRecPropItem* item = RecInsertContinuing(data, 1, std::make_unique<TRecPropItem>(&data));
    RecBegin(data);

    TRDUndoModifyItemProps* record =
        data.ModifyItemIntProperty(1, nullptr, nullptr, true, true, 30, QStringLiteral("Width"));
    EXPECT_EQ(item->Width(), 30);
    auto* intRecord = dynamic_cast<TRDUndoModifyItemIntProperty*>(record);
    ASSERT_NE(intRecord, nullptr);
    EXPECT_EQ(intRecord->Kind, 15);
    EXPECT_EQ(intRecord->ItemIndex, 1);
    EXPECT_EQ(intRecord->PropName, QStringLiteral("Width"));
    EXPECT_EQ(intRecord->OldValue, 10);
    EXPECT_TRUE(intRecord->ChangesWidth);
    EXPECT_TRUE(intRecord->ChangesSize);
    EXPECT_EQ(intRecord->Target, nullptr);
    EXPECT_EQ(item->Opened, 1);
    EXPECT_EQ(item->Closed, 1);

    // The same value again: no record, no change bracket.
    EXPECT_EQ(data.ModifyItemIntProperty(1, nullptr, nullptr, true, true, 30, QStringLiteral("Width")), nullptr);
    EXPECT_EQ(item->Opened, 1);

    auto* strRecord = dynamic_cast<TRDUndoModifyItemStrProperty*>(
        data.ModifyItemStrProperty(1, nullptr, nullptr, QStringLiteral("new"), QStringLiteral("Caption")));
    ASSERT_NE(strRecord, nullptr);
    EXPECT_EQ(strRecord->OldValue, QStringLiteral("cap"));
    EXPECT_EQ(item->Caption(), QStringLiteral("new"));

    // Several at once: one record of those that change, from the last entry back.
    EXPECT_EQ(data.ModifyItemIntProperties(1, nullptr, nullptr, false, false,
                                           {{QStringLiteral("Width"), 30}, {QStringLiteral("Height"), 20}}),
              nullptr);
    const size_t recordsBefore = RecKinds(data).size();
    auto* several = dynamic_cast<TRDUndoModifyItemIntProperties*>(data.ModifyItemIntProperties(
        1, nullptr, nullptr, false, false,
        {{QStringLiteral("Width"), 30}, {QStringLiteral("Height"), 5}, {QStringLiteral("Width"), 31}}));
    ASSERT_NE(several, nullptr);
    EXPECT_EQ(RecKinds(data).size(), recordsBefore + 1);
    ASSERT_EQ(several->Props.size(), 2u);
    EXPECT_EQ(several->Props[0], std::make_pair(QStringLiteral("Width"), 30));
    EXPECT_EQ(several->Props[1], std::make_pair(QStringLiteral("Height"), 20));
    EXPECT_EQ(item->Width(), 31);
    EXPECT_EQ(item->Height(), 5);
    EXPECT_EQ(item->Opened, 3);
    EXPECT_EQ(item->Closed, 3);

    // A property of another object (a part of the item).
    TRecPropTarget target;
    auto* targeted = data.ModifyItemIntProperty(1, &target, nullptr, false, false, 3, QStringLiteral("Span"));
    ASSERT_NE(targeted, nullptr);
    EXPECT_EQ(targeted->Target, &target);
    EXPECT_EQ(target.Span(), 3);

    // Unknown names and items without properties are errors, not silent.
    EXPECT_THROW(data.ModifyItemIntProperty(1, nullptr, nullptr, false, false, 1, QStringLiteral("Nope")),
                 ERichDocError);
    EXPECT_THROW(data.ModifyItemIntProperty(0, nullptr, nullptr, false, false, 1, QStringLiteral("Width")),
                 ERichDocError);
}

TEST(RDERecorded, PublishedPropertiesWithoutRecordingStillChange)
{
    TRecEditor editor;
    RecFill(editor);
    TRDEditRDData& data = editor.Data();
    TRecPropItem* item = RecInsertContinuing(data, 1, std::make_unique<TRecPropItem>(&data));
    data.RecordingState = 0;
    EXPECT_EQ(data.ModifyItemIntProperty(1, nullptr, nullptr, true, true, 44, QStringLiteral("Width")), nullptr);
    EXPECT_EQ(item->Width(), 44);
    EXPECT_EQ(data.UndoList->Count(), 0);
}

// ---- records that ask for layout ----

TEST(RDERecorded, ReformatRangesAndTerminatorsAreRecorded)
{
    TRecEditor editor;
    RecFill(editor);
    TRDEditRDData& data = editor.Data();
    RecBegin(data);
    data.RecordReformatRange(1, 3, true);
    data.AddModifyItemTerminator(2, true);
    EXPECT_EQ(RecKinds(data), (std::vector<int>{0, 15}));
    auto* range = RecRecord<TRDUndoReformateRange>(data, 0);
    EXPECT_EQ(range->ItemIndex, 1);
    EXPECT_EQ(range->LastItemIndex, 3);
    EXPECT_TRUE(range->FullFormat);
    auto* terminator = RecRecord<TRDUndoModifyItemTerminator>(data, 1);
    EXPECT_EQ(terminator->ItemIndex, 2);
    EXPECT_TRUE(terminator->IsOpening);
}

// ---- numbering ----

TEST(RDERecorded, NumberingAfterDeletingAListParagraph)
{
    TRecEditor editor;
    TRDEditRDData& data = editor.Data();
    for (const char* text : {"one", "two", "three"}) {
        data.AddItem(QByteArray(), std::make_unique<TRDMarkerItemInfo>(&data, 0, 0, 1, false));
        editor.AddTextToParagraph(QString::fromLatin1(text), 0);
    }
    editor.FormatDocument();
    auto markerText = [&](int i) {
        return static_cast<TRDMarkerItemInfo*>(data.ItemAt(i))->DisplayString;
    };
    ASSERT_EQ(markerText(4), "3.");

    QStringList names;
    TRDIntegerList lists;
    int seqPos = -1, markerPos = -1, lastItem = -1;
    data.CollectNumbering(1, 1, names, lists, seqPos, markerPos, lastItem, true);
    EXPECT_EQ(lists.Count(), 1);
    EXPECT_EQ(lists[0], 0);
    EXPECT_EQ(markerPos, -1);  // the first marker of the range, minus one
    EXPECT_EQ(lastItem, 1);    // widened to the paragraph's last item

    RecBegin(data);
    bool full = false;
    data.DeleteItemsRecorded(0, 1, full);
    data.ApplyNumbering(lastItem - 2, seqPos, names, lists, markerPos);
    EXPECT_EQ(markerText(0), "1.");
    EXPECT_EQ(markerText(2), "2.");
    const std::vector<int> kinds = RecKinds(data);
    ASSERT_FALSE(kinds.empty());
    EXPECT_EQ(kinds.back(), 0);
    auto* range = RecRecord<TRDUndoReformateRange>(data, kinds.size() - 1);
    EXPECT_EQ(range->ItemIndex, 0);
    EXPECT_EQ(range->LastItemIndex, 2);
    EXPECT_FALSE(range->FullFormat);
}

#include "RDERecordedTest.moc"

// ---- the full-format signal ----

TEST(RDERecorded, TheFullFormatSignalFollowsTheDocumentWidth)
{
    // A line that does not wrap and is wider than the window sets the
    // document width; a short paragraph does not.
    const QString wide = QString(90, QLatin1Char('w'));
    auto build = [&](TRecEditor& editor) {
        editor.Sheet.ParaStyles().Items(1)->Options |= rdpaoNoWrap;
        editor.Sheet.ParaStyles().Items(1)->Alignment = TRDAlignment::rdaLeft;
        editor.AddTextInNewParagraph(wide, 0, 1);
        editor.AddTextInNewParagraph(QStringLiteral("short"), 0, 0);
        editor.AddTextInNewParagraph(QStringLiteral("more"), 0, 0);
        editor.FormatDocument();
        ASSERT_GE(editor.Data().SectionWidthOf(0), editor.Data().DocumentWidth);
        ASSERT_LT(editor.Data().SectionWidthOf(1), editor.Data().DocumentWidth);
    };
    struct TCase {
        const char* Name;
        std::function<bool(TRDEditRDData&)> Edit;
        bool Full;
    };
    const std::vector<TCase> cases = {
        {"deleting the widest item", [](TRDEditRDData& d) { bool f = false; d.DeleteItemRecorded(0, f); return f; },
         true},
        {"deleting a short item", [](TRDEditRDData& d) { bool f = false; d.DeleteItemRecorded(1, f); return f; },
         false},
        {"deleting a range with the widest item",
         [](TRDEditRDData& d) { bool f = false; d.DeleteItemsRecorded(0, 1, f); return f; }, true},
        {"deleting short items", [](TRDEditRDData& d) { bool f = false; d.DeleteItemsRecorded(1, 2, f); return f; },
         false},
        {"letting the widest line wrap",
         [](TRDEditRDData& d) { bool f = false; d.SetParaRangeRecorded(0, 0, f, 0); return f; }, true},
        {"another style for a short paragraph",
         [](TRDEditRDData& d) { bool f = false; d.SetParaRangeRecorded(1, 1, f, 1); return f; }, false},
        {"a short line that stops wrapping stays narrow",
         [](TRDEditRDData& d) { bool f = false; d.SetParaListRecorded(2, {1}, f); return f; }, false},
        {"an item lengthening the widest line",
         [](TRDEditRDData& d) {
             auto item = std::make_unique<TRDTextItemInfo>(&d);
             item->ParaNo = 1;
             item->SetContinuesPara(true);
             bool f = false;
             d.InsertItemRecorded(1, "more", f, false, std::move(item));
             return f;
         },
         true},
        {"an item in a short paragraph",
         [](TRDEditRDData& d) {
             auto item = std::make_unique<TRDTextItemInfo>(&d);
             item->SetContinuesPara(true);
             bool f = false;
             d.InsertItemRecorded(3, "more", f, false, std::move(item));
             return f;
         },
         false},
        {"joining into the widest item", [](TRDEditRDData& d) {
             bool f = false;
             d.SetContinuesParaRecorded(1, true, f, -1);
             d.JoinItemsRecorded(0, f);
             return f;
         },
         true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TRecEditor editor;
        build(editor);
        RecBegin(editor.Data());
        EXPECT_EQ(c.Edit(editor.Data()), c.Full);
    }
}

// ---- groups ----

namespace {

// An item edited in place: it hands its inner undo records over when asked.
class TRecInnerEditItem : public TRDRectItemInfo {
public:
    TRecInnerEditItem(TCustomRDData* data, TRDEditRDData* editing) : TRDRectItemInfo(data), Editing(editing)
    {
        StyleNo = -31;
    }
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* data) const override
    {
        return new TRecInnerEditItem(data, Editing);
    }
    void MergeInnerUndo() override
    {
        ++Merged;
        Editing->EndChosenItemEditing();  // asked again while handing over: no second hand-over
    }
    TRDEditRDData* Editing;
    int Merged = 0;
};

}  // namespace

TEST(RDERecorded, BeginningAGroupEndsEditingInsideTheChosenItemFirst)
{
    TRecEditor editor;
    RecFill(editor);
    TRDEditRDData& data = editor.Data();
    TRecInnerEditItem* item = RecInsertContinuing(data, 1, std::make_unique<TRecInnerEditItem>(&data, &data));
    data.SetChosenItem(item);
    EXPECT_TRUE(data.BeginUndoGroup(rdutInsert));
    EXPECT_EQ(item->Merged, 1);
    EXPECT_TRUE(data.BeginUndoGroup(rdutInsert, false));
    EXPECT_EQ(item->Merged, 1);
    EXPECT_TRUE(data.BeginNamedUndoGroup(rdutDelete, QStringLiteral("named")));
    EXPECT_EQ(item->Merged, 2);
    data.SetChosenItem(nullptr);
}

TEST(RDERecorded, GroupModeJoinsGroupsIntoOne)
{
    TRecEditor editor;
    RecFill(editor);
    TRDEditRDData& data = editor.Data();
    data.SetUndoGroupMode(true);
    ASSERT_TRUE(data.BeginUndoGroup(rdutInsert));
    data.InsertSubstringRecorded(0, 1, "a");
    ASSERT_TRUE(data.BeginUndoGroup(rdutDelete));
    data.DeleteSubstringRecorded(2, 1, 1);
    data.SetUndoGroupMode(false);
    ASSERT_EQ(data.UndoList->Count(), 1);
    EXPECT_EQ(data.UndoList->GetCurrentKind(), rdutInsert);
    EXPECT_EQ(RecKinds(data), (std::vector<int>{6, 3}));
    ASSERT_TRUE(data.BeginUndoGroup(rdutDelete));
    EXPECT_EQ(data.UndoList->Count(), 2);
}

// ---- controls ----

TEST(RDERecorded, ResizingAControlIsRecordedAndLaidOut)
{
    TRecEditor editor;
    RecFill(editor);
    TRDEditRDData& data = editor.Data();
    auto* widget = new QWidget(&editor);
    widget->resize(50, 20);
    RecInsertContinuing(data, 1, std::make_unique<TRDControlItemInfo>(&data, widget, TRDItemVAlign::ivaBaseline));
    editor.FormatDocument();
    ASSERT_TRUE(data.BeginUndoGroup(rdutModifyItem));
    data.ResizeControlRecorded(1, 80, true, 30);
    EXPECT_EQ(widget->size(), QSize(80, 30));
    EXPECT_EQ(data.ResizingControl, nullptr);
    auto* record = RecRecord<TRDUndoResizeInfo>(data);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->Kind, 15);
    EXPECT_EQ(record->OldWidth, 50);
    EXPECT_EQ(record->OldHeight, 20);
    const int d = data.FirstDrawItemOfItem(1);
    ASSERT_GE(d, 0);
    EXPECT_EQ(data.DrawItems[d]->Width, data.ItemAt(1)->GetHorzSpacing() * 2 + 80);

    data.ResizeControlRecorded(1, 80, true, 30);  // the same size: nothing more
    EXPECT_EQ(RecKinds(data).size(), 1u);
    data.UndoList->Undo(data);
    EXPECT_EQ(widget->size(), QSize(50, 20));
    EXPECT_THROW(data.ResizeControlRecorded(0, 10, false, 10), ERichDocError);  // not a control
}

// ---- reformatting after edits ----

TEST(RDERecorded, ReformattingAfterAnEditMatchesAFreshFormat)
{
    TRecEditor editor;
    RecFill(editor);
    TRDEditRDData& data = editor.Data();
    bool full = false;
    // One paragraph's draw items, taken before the edit.
    int d1 = data.FirstDrawItemOfItem(0), d2 = data.LastDrawItemOfItem(1);
    data.InsertSubstringRecorded(0, 3, "-inserted text that makes the first line long enough to wrap-");
    data.ReformatAfterEdit(false, d1, d2, 0);
    EXPECT_TRUE(RecSameAsFreshFormat(editor));

    // An item less: the count change is passed on, also when the range held
    // nothing but the deleted paragraph (in the middle, first, last).
    // Items: 0, 1 | 2 | 3 | 4; then 0, 1 | 2 | 3; then 0 | 1.
    for (const auto& [first, last] : {std::pair{2, 2}, std::pair{0, 1}, std::pair{1, 1}}) {
        SCOPED_TRACE(first);
        d1 = data.FirstDrawItemOfItem(first);
        d2 = data.LastDrawItemOfItem(last);
        data.DeleteItemsRecorded(first, last, full);
        data.ReformatAfterEdit(full, d1, d2, first - last - 1);
        EXPECT_TRUE(RecSameAsFreshFormat(editor));
    }
}

TEST(RDERecorded, AnItemChangedOutsideThePrimitivesIsLaidOutAgainKeepingTheCaret)
{
    TRecEditor editor;
    RecFill(editor);
    TRDEditRDData& data = editor.Data();
    RecInsertTab(data, 3);
    editor.FormatDocument();
    PutCaret(editor, 4, 2);
    ASSERT_TRUE(data.BeginUndoGroup(rdutModifyItem));
    const int width = data.BeginItemModify(3);
    data.SetExtraIntPropertyRecorded(3, 1, 6);  // vertical shift
    data.EndItemModify(3, width);
    auto* record = RecRecord<TRDUndoExtraIntProperty>(data);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->PropId, 1);
    EXPECT_EQ(record->OldValue, 0);
    EXPECT_TRUE(RecSameAsFreshFormat(editor));
    EXPECT_EQ(data.GetCaretItemNo(), 4);
    EXPECT_EQ(data.GetCaretOffset(), 2);

    data.ReformatKeepingCaret(true, true, false, 3, false);
    EXPECT_TRUE(RecSameAsFreshFormat(editor));
    EXPECT_EQ(data.GetCaretItemNo(), 4);
    EXPECT_EQ(data.GetCaretOffset(), 2);
}

// ---- live spelling ----

TEST(RDERecorded, RespellingClearsTheMarksFromTheEditOn)
{
    TRecEditor editor;
    editor.AddTextInNewParagraph(QStringLiteral("bad wrds here"), 0, 0);
    editor.FormatDocument();
    TRDEditRDData& data = editor.Data();
    TCustomRDItemInfo* item = data.ItemAt(0);
    item->AddMisspelling(1, 3);
    item->AddMisspelling(5, 4);
    data.RespellFrom(0, 6, true);
    EXPECT_TRUE(item->IsMisspelledAt(2));
    EXPECT_FALSE(item->IsMisspelledAt(6));
    data.RespellFrom(0, 1, false);
    EXPECT_TRUE(item->IsMisspelledAt(2));
}

TEST(RDERecorded, PublishedPropertyEditsAreUndoneAndRedone)
{
    TRecEditor editor;
    RecFill(editor);
    TRDEditRDData& data = editor.Data();
    TRecPropItem* item = RecInsertContinuing(data, 1, std::make_unique<TRecPropItem>(&data));
    TRecPropTarget target;
    auto state = [&] {
        return std::vector<QVariant>{item->Width(), item->Height(), item->Caption(), target.Span()};
    };
    struct TCase {
        const char* Name;
        std::function<void()> Edit;
    };
    const std::vector<TCase> cases = {
        {"one integer",
         [&] { data.ModifyItemIntProperty(1, nullptr, nullptr, false, false, 33, QStringLiteral("Width")); }},
        {"one string",
         [&] { data.ModifyItemStrProperty(1, nullptr, nullptr, QStringLiteral("other"), QStringLiteral("Caption")); }},
        {"several integers",
         [&] {
             data.ModifyItemIntProperties(1, nullptr, nullptr, false, false,
                                          {{QStringLiteral("Width"), 1}, {QStringLiteral("Height"), 2}});
         }},
        {"a property of another object",
         [&] { data.ModifyItemIntProperty(1, &target, nullptr, false, false, 9, QStringLiteral("Span")); }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::vector<QVariant> before = state();
        ASSERT_TRUE(data.BeginUndoGroup(rdutModifyItem));
        c.Edit();
        const std::vector<QVariant> after = state();
        ASSERT_NE(after, before);
        data.UndoList->Undo(data);
        EXPECT_EQ(state(), before);
        data.RedoList->Redo(data);
        EXPECT_EQ(state(), after);
    }
}
