#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "RDFTestIO.h"
#include "core/RDError.h"
#include "core/RDUnicode.h"
#include "editing/RDEdit.h"
#include "editing/RDUndo.h"
#include "document/RDTextItems.h"
#include "styles/RDStyle.h"

// The undo and redo lists: groups, their limit and mode, typing runs, and
// performing groups on an editor's document (layout, caret, corrupted records).

namespace {

// A record that stands for any ordinary change in the list tests.
std::unique_ptr<TRDUndoRecord> UndoTestRecord()
{
    return std::make_unique<TRDUndoReformateRange>();
}

std::vector<int> UndoTestKinds(const TRDUndoList& list)
{
    std::vector<int> kinds;
    for (const auto& g : list.Groups)
        kinds.push_back(g->Kind);
    return kinds;
}

std::string UndoTestMessage(const std::function<void()>& call)
{
    try {
        call();
    } catch (const ERichDocError& e) {
        return e.what();
    }
    return "(nothing raised)";
}

} // namespace

// ======== the lists on their own ========

TEST(UndoListTest, GroupLimitKeepsTheLastGroups)
{
    TRDUndoList list(nullptr);
    list.MaxGroupCount = 3;
    for (uint8_t kind : {rdutDelete, rdutInsert, rdutPara, rdutNewLine}) {
        ASSERT_TRUE(list.BeginGroup(kind, QString(), 0, 1));
        list.AddInfo(UndoTestRecord());
    }
    EXPECT_EQ(UndoTestKinds(list), (std::vector<int>{rdutInsert, rdutPara, rdutNewLine}));

    // A lower limit trims nothing at once; the next group brings the list down to it.
    list.MaxGroupCount = 2;
    EXPECT_EQ(list.Count(), 3);
    ASSERT_TRUE(list.BeginGroup(rdutStyleNo, QString(), 0, 1));
    list.AddInfo(UndoTestRecord());
    EXPECT_EQ(UndoTestKinds(list), (std::vector<int>{rdutNewLine, rdutStyleNo}));

    // Limit 0 records nothing and raises nothing.
    TRDUndoList none(nullptr);
    none.MaxGroupCount = 0;
    EXPECT_FALSE(none.BeginGroup(rdutInsert, QString(), 0, 1));
    none.AddTyping(0, 1, nullptr, false);
    EXPECT_EQ(none.Count(), 0);
    EXPECT_EQ(none.GetCurrentKind(), rdutNone);
}

TEST(UndoListTest, EmptyGroupIsReplacedByTheNextKeepingTitleAndCaret)
{
    TRDUndoList list(nullptr);
    ASSERT_TRUE(list.BeginGroup(rdutDelete, QStringLiteral("Cut"), 2, 5));
    ASSERT_TRUE(list.BeginGroup(rdutPara, QStringLiteral("Other"), 0, 1));
    ASSERT_EQ(list.Count(), 1);
    const TRDUndoInfos& g = *list.Groups.back();
    EXPECT_EQ(g.Kind, rdutPara);
    EXPECT_EQ(g.Title, QStringLiteral("Cut"));
    EXPECT_EQ(g.CaretItem, 2);
    EXPECT_EQ(g.CaretPos, 5);
    EXPECT_EQ(list.GetCurrentKind(), rdutPara);

    // A typing run begun after an empty group takes its place too.
    list.AddTyping(0, 3, nullptr, false);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.GetCurrentKind(), rdutTyping);

    // PopIfEmpty removes only an empty last group, and not in group mode.
    list.BeginGroup(rdutInsert, QString(), 0, 1);
    list.ChangeGroupMode(true);
    list.PopIfEmpty();
    EXPECT_EQ(list.Count(), 2);
    list.ChangeGroupMode(false);
    list.PopIfEmpty();
    EXPECT_EQ(list.Count(), 1);
    list.PopIfEmpty();
    EXPECT_EQ(list.Count(), 1);
}

TEST(UndoListTest, GroupModeJoinsGroupsExceptAfterATypingGroup)
{
    TRDUndoList list(nullptr);
    list.ChangeGroupMode(true);
    ASSERT_TRUE(list.BeginGroup(rdutInsert, QStringLiteral("Paste"), 0, 1));
    list.AddInfo(UndoTestRecord());
    ASSERT_TRUE(list.BeginGroup(rdutNewLine, QStringLiteral("Enter"), 3, 4));
    list.AddInfo(UndoTestRecord());
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Groups[0]->Kind, rdutInsert);
    EXPECT_EQ(list.Groups[0]->Title, QStringLiteral("Paste"));
    EXPECT_EQ(list.Groups[0]->CaretPos, 1);
    EXPECT_EQ(list.Groups[0]->Records.size(), 2u);

    TRDUndoList typed(nullptr);
    typed.AddTyping(0, 1, nullptr, false);
    typed.ChangeGroupMode(true);
    ASSERT_TRUE(typed.BeginGroup(rdutInsert, QString(), 0, 2));
    EXPECT_EQ(UndoTestKinds(typed), (std::vector<int>{rdutTyping, rdutInsert}));

    // The depth has no lower bound: closing more than was opened keeps it below 0.
    typed.ChangeGroupMode(false);
    typed.ChangeGroupMode(false);
    EXPECT_EQ(typed.GroupModeDepth, -1);
}

TEST(UndoListTest, AddingFailsOnAnEmptyListAndIntoATypingGroup)
{
    TRDUndoList list(nullptr);
    EXPECT_EQ(UndoTestMessage([&] { list.AddInfo(UndoTestRecord()); }), "Can't modify empty undo list");
    list.AddTyping(0, 1, nullptr, false);
    EXPECT_EQ(UndoTestMessage([&] { list.AddInfo(UndoTestRecord()); }), "Incorrect adding into undo list");
    EXPECT_EQ(list.Groups.back()->Records.size(), 1u);
}

TEST(UndoListTest, TypingMergesOnlyAtTheEndOfTheSameRun)
{
    struct Case {
        const char* name;
        std::vector<std::pair<int, int>> typed;  // item, position
        std::vector<int> lengths;                // of the groups' records
        int lastCaret;
    };
    const Case cases[] = {
        {"three in a row", {{0, 1}, {0, 2}, {0, 3}}, {3}, 3},
        {"caret moved in the item", {{0, 1}, {0, 2}, {0, 7}}, {2, 1}, 7},
        {"typed before the run", {{0, 4}, {0, 4}}, {1, 1}, 4},
        {"another item", {{0, 1}, {1, 2}}, {1, 1}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TRDUndoList list(nullptr);
        for (auto [item, pos] : c.typed)
            list.AddTyping(item, pos, nullptr, false);
        std::vector<int> lengths;
        for (const auto& g : list.Groups) {
            ASSERT_EQ(g->Kind, rdutTyping);
            ASSERT_EQ(g->Records.size(), 1u);
            auto* typing = dynamic_cast<TRDUndoTypingInfo*>(g->Records[0].get());
            ASSERT_NE(typing, nullptr);
            EXPECT_EQ(typing->Kind, 11);
            lengths.push_back(typing->Length);
        }
        EXPECT_EQ(lengths, c.lengths);
        EXPECT_EQ(list.Groups.back()->CaretPos, c.lastCaret);
    }
}

TEST(UndoListTest, RedoTypingCollectsCharactersInTheOrderTheyWereTakenBack)
{
    TRDRedoList list(nullptr);
    list.AddRedoTyping("c", 0, 4, nullptr);
    list.AddRedoTyping("b", 0, 3, nullptr);
    list.AddRedoTyping("a", 0, 2, nullptr);
    ASSERT_EQ(list.Count(), 1);
    auto* redo = dynamic_cast<TRDRedoTypingInfo*>(list.Groups[0]->Records[0].get());
    ASSERT_NE(redo, nullptr);
    EXPECT_EQ(redo->Text, QByteArray("cba"));
    EXPECT_EQ(redo->Position, 4);
    EXPECT_FALSE(redo->IsUnicode);
    EXPECT_EQ(list.Groups[0]->CaretPos, 2);

    // Not where the run's next character belongs: a group of its own.
    list.AddRedoTyping("x", 0, 9, nullptr);
    EXPECT_EQ(list.Count(), 2);

    // UTF-16 characters count by units.
    TRDRedoList wide(nullptr);
    wide.AddRedoTyping(QByteArray("b\0", 2), 1, 3, nullptr);
    wide.AddRedoTyping(QByteArray("a\0", 2), 1, 2, nullptr);
    ASSERT_EQ(wide.Count(), 1);
    auto* wideRedo = dynamic_cast<TRDRedoTypingInfo*>(wide.Groups[0]->Records[0].get());
    EXPECT_TRUE(wideRedo->IsUnicode);
    EXPECT_EQ(wideRedo->Text, QByteArray("b\0a\0", 4));
}

TEST(UndoListTest, GroupIsUsedUpByItsFirstRecord)
{
    auto group = [](std::unique_ptr<TRDUndoRecord> record) {
        auto g = std::make_unique<TRDUndoInfos>();
        if (record)
            g->Records.push_back(std::move(record));
        return g;
    };
    auto typing = [](int length) {
        auto r = std::make_unique<TRDUndoTypingInfo>();
        r->Length = length;
        return r;
    };
    auto redoTyping = [](const char* text) {
        auto r = std::make_unique<TRDRedoTypingInfo>();
        r->Text = text;
        return r;
    };
    auto composite = [](int groups) {
        auto r = std::make_unique<TRDCompositeUndo>();
        r->Nested = std::make_unique<TRDUndoList>(nullptr);
        for (int i = 0; i < groups; ++i) {
            r->Nested->BeginGroup(rdutInsert, QString(), 0, 1);
            r->Nested->AddInfo(UndoTestRecord());
        }
        return r;
    };
    EXPECT_TRUE(group(nullptr)->IsExhausted());
    EXPECT_TRUE(group(typing(0))->IsExhausted());
    EXPECT_FALSE(group(typing(2))->IsExhausted());
    EXPECT_TRUE(group(redoTyping(""))->IsExhausted());
    EXPECT_FALSE(group(redoTyping("a"))->IsExhausted());
    EXPECT_TRUE(group(composite(0))->IsExhausted());
    EXPECT_FALSE(group(composite(1))->IsExhausted());
    EXPECT_TRUE(group(UndoTestRecord())->IsExhausted());
}

TEST(UndoListTest, MovedGroupBelongsToItsNewList)
{
    TRDUndoList from(nullptr), to(nullptr);
    from.BeginGroup(rdutInsert, QString(), 0, 1);
    from.AddInfo(UndoTestRecord());
    from.AddInfo(UndoTestRecord());
    std::unique_ptr<TRDUndoInfos> g = std::move(from.Groups.back());
    from.Groups.pop_back();
    to.AddInfos(std::move(g));
    ASSERT_EQ(to.Count(), 1);
    for (const auto& record : to.Groups[0]->Records)
        EXPECT_EQ(record->OwnerList, &to);
}

// ======== performing groups on an editor's document ========

class TUndoTestSheet : public TRDStyle {
public:
    TUndoTestSheet()
    {
        TextStyles().Items(0)->FontName = QStringLiteral("Courier New");
        UnicodeStyle = TextStyles().Count();
        TFontInfo* wide = TextStyles().Add();
        wide->FontName = QStringLiteral("Courier New");
        wide->Unicode = true;
        BoldStyle = TextStyles().Count();
        TFontInfo* bold = TextStyles().Add();
        bold->FontName = QStringLiteral("Courier New");
        bold->Style = fsBold;
        SecondPara = ParaStyles().Count();
        ParaStyles().Add()->LeftIndent = 20;
    }
    int UnicodeStyle = 0, BoldStyle = 0, SecondPara = 0;
};

using TUndoDrawSnapshot = std::vector<std::array<int, 7>>;

class RDUndoPerformTest : public ::testing::Test {
protected:
    RDUndoPerformTest()
    {
        Edit.SetStyle(&Sheet);
        Edit.resize(400, 300);
        Edit.show();
    }

    TRDEditRDData& Data() { return *Edit.EditData(); }

    // One paragraph per text; a text of the Unicode style when wide.
    void Build(const std::vector<std::pair<QByteArray, bool>>& paragraphs)
    {
        Edit.ClearDocument();
        for (const auto& [text, wide] : paragraphs)
            Edit.AddTextInNewParagraph(text, wide ? Sheet.UnicodeStyle : 0, 0);
        Edit.FormatDocument();
    }

    TUndoDrawSnapshot Snapshot()
    {
        TUndoDrawSnapshot s;
        for (int d = 0; d < Data().DrawItems.Count(); ++d) {
            const auto& di = *Data().DrawItems[d];
            s.push_back({di.ItemNo, di.Offs, di.Length, di.Left, di.Top, di.Width, di.Height});
        }
        return s;
    }

    // The draw items equal those of a fresh layout of the whole document.
    void ExpectFreshLayout()
    {
        const TUndoDrawSnapshot now = Snapshot();
        const int width = Data().DocumentWidth, height = Data().DocumentHeight;
        Edit.FormatDocument();
        EXPECT_EQ(now, Snapshot());
        EXPECT_EQ(width, Data().DocumentWidth);
        EXPECT_EQ(height, Data().DocumentHeight);
    }

    void ExpectCaret(int item, int offset)
    {
        EXPECT_EQ(Data().GetCaretItemNo(), item);
        EXPECT_EQ(Data().GetCaretOffset(), offset);
    }

    // A character typed into a text item, recorded as typing records it.
    void Type(int item, int position, const QByteArray& ch)
    {
        Data().RecordingState = 0;
        Data().InsertSubstringRecorded(item, position, ch);
        const bool wide = Data().ItemAt(item)->ItemOptions & rdioUnicode;
        const int units = wide ? int(ch.size() / 2) : int(ch.size());
        for (int k = 0; k < units; ++k)
            Data().UndoList->AddTyping(item, position + k, nullptr, wide);
        Edit.FormatDocument();
    }

    QByteArray Rdf() { return Save(Data()); }

    TUndoTestSheet Sheet;
    TRichDocEdit Edit;
};

namespace {

QByteArray UndoTestWide(const QString& s)
{
    return WideStringToRaw(s);
}

} // namespace

TEST_F(RDUndoPerformTest, EmptyListsRaise)
{
    Build({{"abc", false}});
    EXPECT_EQ(UndoTestMessage([&] { Data().UndoList->Undo(Data()); }), "Undo buffer is empty");
    EXPECT_EQ(UndoTestMessage([&] { Data().RedoList->Redo(Data()); }), "Undo buffer is empty");
}

TEST_F(RDUndoPerformTest, TypingIsTakenBackAndPutBackOneCharacterAtATime)
{
    Build({{"xy", false}});
    const QByteArray original = Rdf();
    Type(0, 2, "a");
    Type(0, 3, "b");
    Type(0, 4, "c");
    const QByteArray typed = Rdf();
    ASSERT_EQ(Data().UndoList->Count(), 1);
    EXPECT_EQ(Data().UndoList->GetCurrentKind(), rdutTyping);

    struct Step {
        const char* text;
        int caret;
    };
    const Step undoSteps[] = {{"xaby", 4}, {"xay", 3}, {"xy", 2}};
    for (const Step& step : undoSteps) {
        SCOPED_TRACE(step.text);
        Data().UndoList->Undo(Data());
        EXPECT_EQ(Data().TextOfItem(0), QByteArray(step.text));
        ExpectCaret(0, step.caret);
        ExpectFreshLayout();
    }
    EXPECT_EQ(Rdf(), original);
    EXPECT_EQ(Data().UndoList->Count(), 0);
    ASSERT_EQ(Data().RedoList->Count(), 1);
    EXPECT_EQ(Data().RedoList->GetCurrentKind(), rdutTyping);
    auto* redo = dynamic_cast<TRDRedoTypingInfo*>(Data().RedoList->Groups[0]->Records[0].get());
    ASSERT_NE(redo, nullptr);
    EXPECT_EQ(redo->Text, QByteArray("cba"));

    const Step redoSteps[] = {{"xay", 3}, {"xaby", 4}, {"xabcy", 5}};
    for (const Step& step : redoSteps) {
        SCOPED_TRACE(step.text);
        Data().RedoList->Redo(Data());
        EXPECT_EQ(Data().TextOfItem(0), QByteArray(step.text));
        ExpectCaret(0, step.caret);
        ExpectFreshLayout();
    }
    EXPECT_EQ(Rdf(), typed);
    EXPECT_EQ(Data().RedoList->Count(), 0);
    ASSERT_EQ(Data().UndoList->Count(), 1);
    auto* typing = dynamic_cast<TRDUndoTypingInfo*>(Data().UndoList->Groups[0]->Records[0].get());
    ASSERT_NE(typing, nullptr);
    EXPECT_EQ(typing->Position, 2);
    EXPECT_EQ(typing->Length, 3);
}

TEST_F(RDUndoPerformTest, TypingUndoKeepsSurrogatePairsWhole)
{
    Build({{UndoTestWide(QStringLiteral("x")), true}});
    const QString face = QString::fromUcs4(U"\U0001F600", 1);
    Type(0, 2, UndoTestWide(face));
    Type(0, 4, UndoTestWide(QStringLiteral("a")));
    const QByteArray typed = Rdf();

    Data().UndoList->Undo(Data());
    EXPECT_EQ(Data().TextOfItem(0), UndoTestWide(QStringLiteral("x") + face));
    ExpectCaret(0, 4);
    Data().UndoList->Undo(Data());
    EXPECT_EQ(Data().TextOfItem(0), UndoTestWide(QStringLiteral("x")));
    ExpectCaret(0, 2);
    ExpectFreshLayout();
    EXPECT_EQ(Data().UndoList->Count(), 0);

    Data().RedoList->Redo(Data());
    EXPECT_EQ(Data().TextOfItem(0), UndoTestWide(QStringLiteral("x") + face));
    ExpectCaret(0, 4);
    Data().RedoList->Redo(Data());
    EXPECT_EQ(Data().TextOfItem(0), UndoTestWide(QStringLiteral("x") + face + QStringLiteral("a")));
    ExpectCaret(0, 5);
    ExpectFreshLayout();
    EXPECT_EQ(Rdf(), typed);
}

TEST_F(RDUndoPerformTest, CorruptedRecordsRaiseUndoErrorAndChangeNothing)
{
    Build({{"abc", false}, {"def", false}, {UndoTestWide(QStringLiteral("uv")), true}});
    struct Case {
        const char* name;
        std::function<std::unique_ptr<TRDUndoRecord>()> make;
    };
    const Case cases[] = {
        {"insert back past the end of the text",
         [] {
             auto r = std::make_unique<TRDUndoDeleteSubstringInfo>();
             r->ItemIndex = 0;
             r->Position = 5;
             r->Text = "zz";
             return r;
         }},
        {"insert back into an item that is not there",
         [] {
             auto r = std::make_unique<TRDUndoDeleteSubstringInfo>();
             r->ItemIndex = 9;
             r->Position = 1;
             r->Text = "zz";
             return r;
         }},
        {"insert half a UTF-16 unit",
         [] {
             auto r = std::make_unique<TRDUndoDeleteSubstringInfo>();
             r->ItemIndex = 2;
             r->Position = 1;
             r->Text = "z";
             return r;
         }},
        {"delete more characters than follow",
         [] {
             auto r = std::make_unique<TRDUndoInsertSubstringInfo>();
             r->ItemIndex = 1;
             r->Position = 2;
             r->Length = 3;
             return r;
         }},
        {"delete a negative count",
         [] {
             auto r = std::make_unique<TRDUndoInsertSubstringInfo>();
             r->ItemIndex = 1;
             r->Position = 2;
             r->Length = -1;
             return r;
         }},
        {"typing run past the end",
         [] {
             auto r = std::make_unique<TRDUndoTypingInfo>();
             r->ItemIndex = 0;
             r->Position = 3;
             r->Length = 2;
             return r;
         }},
        {"typing run of the other encoding",
         [] {
             auto r = std::make_unique<TRDUndoTypingInfo>();
             r->ItemIndex = 0;
             r->Position = 1;
             r->Length = 2;
             r->IsUnicode = true;
             return r;
         }},
        {"characters to put back before the text",
         [] {
             auto r = std::make_unique<TRDRedoTypingInfo>();
             r->ItemIndex = 0;
             r->Position = 2;
             r->Text = "xyz";
             return r;
         }},
        {"item text of no item",
         [] {
             auto r = std::make_unique<TRDUndoChangeTextInfo>();
             r->ItemIndex = -1;
             r->Text = "new";
             return r;
         }},
        {"items to delete beyond the document",
         [] {
             auto r = std::make_unique<TRDUndoInsertItemsInfo>();
             r->ItemIndex = 1;
             r->Count = 5;
             return r;
         }},
        {"paragraph styles for more items than there are",
         [] {
             auto r = std::make_unique<TRDUndoParaListInfo>();
             r->FirstItem = 1;
             r->Values = {0, 0, 0, 0};
             return r;
         }},
        {"text style of no item",
         [] {
             auto r = std::make_unique<TRDUndoStyleNoInfo>();
             r->ItemIndex = 3;
             return r;
         }},
        {"page break of no item",
         [] {
             auto r = std::make_unique<TRDUndoPageBreakInfo>();
             r->ItemIndex = 7;
             r->HadPageBreak = true;
             return r;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Data().UndoList->BeginGroup(rdutModifyItem, QString(), 0, 1));
        Data().UndoList->AddInfo(c.make());
        const QByteArray before = Rdf();
        const TUndoDrawSnapshot drawn = Snapshot();
        const int undoGroups = Data().UndoList->Count(), redoGroups = Data().RedoList->Count();
        EXPECT_EQ(UndoTestMessage([&] { Data().UndoList->Undo(Data()); }), "Undo error");
        EXPECT_EQ(Rdf(), before);
        EXPECT_EQ(Snapshot(), drawn);
        EXPECT_EQ(Data().UndoList->Count(), undoGroups);
        EXPECT_EQ(Data().RedoList->Count(), redoGroups);
        Data().UndoList->Clear();
    }
}

TEST_F(RDUndoPerformTest, DeletionAcrossItemsIsUndoneAndRedoneExactly)
{
    Build({{"first line", false}, {"second", false}, {"third", false}, {"fourth line", false}});
    const QByteArray original = Rdf();
    Data().SetSelectionBounds(0, 7, 0, 7);
    ASSERT_TRUE(Data().BeginNamedUndoGroup(rdutDelete, QStringLiteral("Delete"), true));
    bool full = false;
    Data().DeleteSubstringRecorded(0, 6, -1);
    Data().DeleteItemsRecorded(1, 2, full);
    Data().DeleteSubstringRecorded(1, 1, 7);
    Data().JoinItemsRecorded(0, full);
    Edit.FormatDocument();
    Data().SetSelectionBounds(0, 6, 0, 6);
    const QByteArray edited = Rdf();
    ASSERT_EQ(Data().ItemCount(), 1);
    ASSERT_EQ(Data().TextOfItem(0), QByteArray("firstline"));

    Data().UndoList->Undo(Data());
    EXPECT_EQ(Rdf(), original);
    ExpectCaret(0, 7);
    ExpectFreshLayout();
    EXPECT_EQ(Data().UndoList->Count(), 0);
    ASSERT_EQ(Data().RedoList->Count(), 1);
    EXPECT_EQ(Data().RedoList->GetCurrentKind(), rdutDelete);
    EXPECT_EQ(Data().RedoList->Groups[0]->Title, QStringLiteral("Delete"));

    // Redo leaves the caret where it was when the group was undone.
    Data().RedoList->Redo(Data());
    EXPECT_EQ(Rdf(), edited);
    ExpectCaret(0, 6);
    ExpectFreshLayout();

    Data().UndoList->Undo(Data());
    EXPECT_EQ(Rdf(), original);
    ExpectFreshLayout();
}

// Every kind of record, each in a group of its own, taken back and put back
// exactly: the RDF bytes of the document before and after the edit, the
// draw items those of a fresh layout, the caret where the group began.
TEST_F(RDUndoPerformTest, EachRecordIsUndoneAndRedoneExactly)
{
    struct Case {
        const char* name;
        uint8_t kind;
        std::function<void(TRDEditRDData&)> edit;
    };
    const Case cases[] = {
        {"paragraph split", rdutNewLine,
         [](TRDEditRDData& d) {
             bool full = false;
             d.SetContinuesParaRecorded(2, false, full, 0);
         }},
        {"paragraphs joined", rdutDelete,
         [](TRDEditRDData& d) {
             bool full = false;
             d.SetContinuesParaRecorded(3, true, full, -1);
         }},
        {"paragraph style of a range", rdutPara,
         [this](TRDEditRDData& d) {
             bool full = false;
             d.SetParaRangeRecorded(0, 2, full, Sheet.SecondPara);
         }},
        {"text style", rdutStyleNo, [this](TRDEditRDData& d) { d.SetItemStyleRecorded(1, Sheet.BoldStyle); }},
        {"line break", rdutNewLine,
         [](TRDEditRDData& d) {
             bool full = false;
             d.SetLineBreakRecorded(3, true, full);
         }},
        {"page break", rdutPageBreak, [](TRDEditRDData& d) { d.SetPageBreakRecorded(3, true); }},
        {"item text", rdutModifyItem, [](TRDEditRDData& d) { d.ChangeItemTextRecorded(0, "changed text"); }},
        {"substring inserted", rdutInsert, [](TRDEditRDData& d) { d.InsertSubstringRecorded(1, 3, "inner"); }},
        {"substring deleted", rdutDelete, [](TRDEditRDData& d) { d.DeleteSubstringRecorded(0, 2, 3); }},
        {"item deleted", rdutDelete,
         [](TRDEditRDData& d) {
             bool full = false;
             d.DeleteItemRecorded(1, full);
         }},
        {"items deleted", rdutDelete,
         [](TRDEditRDData& d) {
             bool full = false;
             d.DeleteItemsRecorded(1, 2, full);
         }},
        {"item inserted", rdutInsert,
         [](TRDEditRDData& d) {
             bool full = false;
             auto item = std::make_unique<TRDTextItemInfo>(&d);
             d.InsertItemRecorded(2, "new paragraph", full, false, std::move(item));
         }},
        {"checkpoint added", rdutModifyItem,
         [](TRDEditRDData& d) {
             auto cp = std::make_unique<TRDCPInfo>();
             cp->Name = QStringLiteral("mark");
             d.AttachCheckpointRecorded(1, std::move(cp));
         }},
        {"tag", rdutModifyItem, [](TRDEditRDData& d) { d.SetItemTagRecorded(0, TRDTag::FromInt(42), false); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Edit.ClearDocument();
        Data().UndoList->Clear();
        Data().RedoList->Clear();
        Edit.AddTextInNewParagraph(QByteArray("first words"), 0, 0);
        Edit.AddTextToParagraph(QByteArray("second"), 0);
        Edit.AddTextToParagraph(QByteArray(" third"), 0);
        Edit.AddTextInNewParagraph(QByteArray("last paragraph"), 0, 0);
        Edit.FormatDocument();
        Data().SetSelectionBounds(0, 3, 0, 3);
        const QByteArray original = Rdf();
        ASSERT_TRUE(Data().BeginUndoGroup(c.kind, true));
        c.edit(Data());
        Edit.FormatDocument();
        Data().SetSelectionBounds(0, 1, 0, 1);
        const QByteArray edited = Rdf();
        ASSERT_NE(edited, original);

        Data().UndoList->Undo(Data());
        EXPECT_EQ(Rdf(), original);
        ExpectCaret(0, 3);
        ExpectFreshLayout();
        ASSERT_EQ(Data().RedoList->GetCurrentKind(), c.kind);

        Data().RedoList->Redo(Data());
        EXPECT_EQ(Rdf(), edited);
        ExpectCaret(0, 1);
        ExpectFreshLayout();

        Data().UndoList->Undo(Data());
        EXPECT_EQ(Rdf(), original);
        ExpectFreshLayout();
        EXPECT_EQ(Data().UndoList->Count(), 0);
        EXPECT_EQ(Data().RedoList->Count(), 1);
    }
}

namespace {

// A text item that tells when it goes.
class TUndoTestCountedItem : public TRDTextItemInfo {
public:
    TUndoTestCountedItem(TCustomRDData* data, bool& gone) : TRDTextItemInfo(data), Gone(gone) {}
    ~TUndoTestCountedItem() override { Gone = true; }
    bool& Gone;
};

} // namespace

TEST_F(RDUndoPerformTest, ItemsThatRecordsKeepAreFreedWithThemAndAnnounced)
{
    bool gone = false;
    std::vector<TCustomRDItemInfo*> destroying;
    Edit.ClearDocument();
    Edit.AddTextInNewParagraph(QByteArray("kept"), 0, 0);
    auto* counted = new TUndoTestCountedItem(&Data(), gone);
    counted->StyleNo = 0;
    Data().AddItem("counted", counted);
    Edit.FormatDocument();
    Edit.OnItemAction = [&](TCustomRichDoc*, TRDItemAction action, TCustomRDItemInfo* item, QByteArray&,
                            TCustomRDData*) {
        if (action == TRDItemAction::rdiaDestroying)
            destroying.push_back(item);
    };

    ASSERT_TRUE(Data().BeginUndoGroup(rdutDelete, true));
    bool full = false;
    Data().DeleteItemRecorded(1, full);
    EXPECT_FALSE(gone);
    EXPECT_TRUE(destroying.empty());

    Data().UndoList->Clear();
    EXPECT_TRUE(gone);
    EXPECT_EQ(destroying, std::vector<TCustomRDItemInfo*>{counted});
    Edit.OnItemAction = nullptr;
}

// A group that a corrupted record stops half way is laid out again: the
// draw items match the items, whatever went back before the failure.
TEST_F(RDUndoPerformTest, GroupStoppedHalfWayIsLaidOutAgain)
{
    Build({{"alpha", false}, {"beta", false}});
    ASSERT_TRUE(Data().BeginUndoGroup(rdutModifyItem, true));
    auto broken = std::make_unique<TRDUndoInsertSubstringInfo>();
    broken->ItemIndex = 0;
    broken->Position = 9;
    broken->Length = 4;
    Data().UndoList->AddInfo(std::move(broken));
    Data().ChangeItemTextRecorded(1, "a much longer second paragraph");
    Edit.FormatDocument();

    EXPECT_EQ(UndoTestMessage([&] { Data().UndoList->Undo(Data()); }), "Undo error");
    EXPECT_EQ(Data().TextOfItem(1), QByteArray("beta"));
    ExpectFreshLayout();
    EXPECT_EQ(Data().UndoList->Count(), 1);
}

// Undoing clears the live-spelling marks of the lines it touches and only those.
TEST_F(RDUndoPerformTest, UndoDropsTheMisspellingMarksOfTheTouchedLines)
{
    Build({{"wrng word", false}, {"othr line", false}});
    Data().ItemAt(0)->AddMisspelling(1, 4);
    Data().ItemAt(1)->AddMisspelling(1, 4);
    ASSERT_TRUE(Data().BeginUndoGroup(rdutDelete, true));
    Data().DeleteSubstringRecorded(0, 6, 4);
    Edit.FormatDocument();

    Data().UndoList->Undo(Data());
    EXPECT_EQ(Data().TextOfItem(0), QByteArray("wrng word"));
    EXPECT_FALSE(Data().ItemAt(0)->IsMisspelledAt(2));
    EXPECT_TRUE(Data().ItemAt(1)->IsMisspelledAt(2));
}

// Without word wrap a line wider than the document widens it: taking the
// change back narrows it again (the whole document is laid out), and
// putting it back widens it again.
TEST_F(RDUndoPerformTest, WidthChangesLayOutTheWholeDocument)
{
    Edit.WordWrap = false;
    Build({{"short", false}, {"text", false}, {"end", false}});
    const int narrow = Data().DocumentWidth;
    const QByteArray original = Rdf();
    ASSERT_TRUE(Data().BeginUndoGroup(rdutModifyItem, true));
    Data().ChangeItemTextRecorded(1, QByteArray(300, 'x'));
    Edit.FormatDocument();
    const int wide = Data().DocumentWidth;
    ASSERT_GT(wide, narrow);

    Data().UndoList->Undo(Data());
    EXPECT_EQ(Rdf(), original);
    EXPECT_EQ(Data().DocumentWidth, narrow);
    ExpectFreshLayout();

    Data().RedoList->Redo(Data());
    EXPECT_EQ(Data().DocumentWidth, wide);
    ExpectFreshLayout();
}
