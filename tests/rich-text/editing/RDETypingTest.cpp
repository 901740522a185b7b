#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <set>
#include <string>

#include <QtCore/QCoreApplication>
#include <QtCore/QEventLoop>

#include "RDETypingTestSupport.h"
#include "document/RDTextItems.h"
#include "editing/RDEdit.h"
#include "items/RDMarkerItems.h"
#include "viewer/RDLiveSpell.h"

// Typing at the caret and inserting one item there, on an offscreen editor.

namespace {

class RDETypingTest : public ::testing::Test {
protected:
    TTypingSheet Sheet;
    TTypingEditor E{&Sheet};

    int Groups() const { return E.Data->UndoList->Count(); }
    uint8_t LastKind() const { return E.Data->UndoList->GetCurrentKind(); }
    TRDUndoTypingInfo* TypingRecord() const
    {
        auto& groups = E.Data->UndoList->Groups;
        if (groups.empty() || groups.back()->Records.empty())
            return nullptr;
        return dynamic_cast<TRDUndoTypingInfo*>(groups.back()->Records.front().get());
    }
};

// Typing a, b, c is one kind-7 group with one typing record; Undo takes the
// characters back last first, Redo puts them back in typing order, and
// every state equals the document it stands for and a fresh layout.
TEST_F(RDETypingTest, ThreeCharactersAreOneTypingGroupUndoneAndRedoneOneByOne)
{
    E.Para(QStringLiteral("xy"));
    E.Format();
    E.Caret(0, 2);
    const QByteArray original = E.Rdf();
    for (const char* c : {"a", "b", "c"}) {
        E.Data->TypeChar(QByteArray(c));
        E.ExpectFreshLayout(c);
    }
    const QByteArray edited = E.Rdf();
    EXPECT_EQ(E.Texts(), QStringList{QStringLiteral("xabcy")});
    EXPECT_EQ(E.CaretOffset(), 5);
    ASSERT_EQ(Groups(), 1);
    EXPECT_EQ(LastKind(), rdutTyping);
    ASSERT_NE(TypingRecord(), nullptr);
    EXPECT_EQ(E.Data->UndoList->Groups.back()->Records.size(), 1u);
    EXPECT_EQ(TypingRecord()->Length, 3);

    const char* afterUndo[] = {"xaby", "xay", "xy"};
    const int caretAfterUndo[] = {4, 3, 2};
    for (int i = 0; i < 3; ++i) {
        E.Undo();
        EXPECT_EQ(E.Texts(), QStringList{QString::fromLatin1(afterUndo[i])}) << i;
        EXPECT_EQ(E.CaretOffset(), caretAfterUndo[i]) << i;
        E.ExpectFreshLayout(afterUndo[i]);
    }
    EXPECT_EQ(Groups(), 0);
    EXPECT_EQ(E.Rdf(), original);
    ASSERT_EQ(E.Data->RedoList->Count(), 1);
    EXPECT_EQ(E.Data->RedoList->GetCurrentKind(), rdutTyping);

    const char* afterRedo[] = {"xay", "xaby", "xabcy"};
    for (int i = 0; i < 3; ++i) {
        E.Redo();
        EXPECT_EQ(E.Texts(), QStringList{QString::fromLatin1(afterRedo[i])}) << i;
        E.ExpectFreshLayout(afterRedo[i]);
    }
    EXPECT_EQ(E.Rdf(), edited);
    EXPECT_EQ(E.Data->RedoList->Count(), 0);
}

// Refused typing changes nothing: the document, both undo lists, and one beep.
TEST_F(RDETypingTest, RefusalsChangeNothingAndBeepOnce)
{
    struct Case {
        const char* Name;
        std::function<void(TTypingEditor&)> Build;
        int Item, Offset, CurrentStyle;
    };
    const Case cases[] = {
        {"modify-protected item, caret inside",
         [](TTypingEditor& e) { e.Para(QStringLiteral("locked"), tsModifyProtected); }, 0, 3, tsModifyProtected},
        {"read-only paragraph", [](TTypingEditor& e) { e.Para(QStringLiteral("fixed"), tsPlain, psReadOnly); }, 0,
         3, tsPlain},
        {"between stuck items",
         [](TTypingEditor& e) {
             e.Para(QStringLiteral("ab"), tsSticking);
             e.More(QStringLiteral("cd"), tsSticking);
         },
         0, 3, tsPlain},
    };
    for (const Case& c : cases) {
        TTypingEditor e(&Sheet);
        c.Build(e);
        e.Para(QStringLiteral("tail"));
        e.Format();
        e.Caret(c.Item, c.Offset);
        // A group on each list, to see that they stay as they are.
        const int tail = e.Count() - 1;
        bool full = false;
        e.Data->BeginUndoGroup(rdutPara);
        e.Data->SetParaRangeRecorded(tail, tail, full, psHeading);
        e.Data->BeginUndoGroup(rdutPara);
        e.Data->SetParaRangeRecorded(tail, tail, full, psPlain);
        e.Undo();
        ASSERT_EQ(e.Data->UndoList->Count(), 1) << c.Name;
        ASSERT_EQ(e.Data->RedoList->Count(), 1) << c.Name;
        e.Format();
        e.Caret(c.Item, c.Offset);
        e.Data->CurrentTextStyleNo = c.CurrentStyle;
        const QByteArray before = e.Rdf();
        const int undoGroups = e.Data->UndoList->Count(), redoGroups = e.Data->RedoList->Count();
        TTypingBeeps beeps;
        e.Data->TypeChar(QByteArray("x"));
        EXPECT_EQ(e.Rdf(), before) << c.Name;
        EXPECT_EQ(e.Data->UndoList->Count(), undoGroups) << c.Name;
        EXPECT_EQ(e.Data->RedoList->Count(), redoGroups) << c.Name;
        EXPECT_EQ(TTypingBeeps::Count, 1) << c.Name;
    }
}

// Which item takes typed text: the caret's item of the current style, the
// next item when it has the current style and the caret is at the end, a
// new item otherwise; protected styles never take it.
TEST_F(RDETypingTest, TargetItemFollowsTheCurrentStyleAndProtection)
{
    struct Case {
        const char* Name;
        int FirstStyle, SecondStyle;  // -1: no second item
        int Item, Offset, CurrentStyle;
        QStringList Texts;
        uint8_t Kind;
    };
    const Case cases[] = {
        {"end of a bold word, plain current: a new plain item", tsBold, -1, 0, 5, tsPlain,
         {QStringLiteral("bold"), QStringLiteral("x")}, rdutInsert},
        {"end of plain before bold, bold current: start of the bold item", tsPlain, tsBold, 0, 6, tsBold,
         {QStringLiteral("plain"), QStringLiteral("xbold")}, rdutTyping},
        {"concat-protected end: a new item", tsConcatProtected, -1, 0, 5, tsConcatProtected,
         {QStringLiteral("glue"), QStringLiteral("x")}, rdutInsert},
        {"concat-protected start: a new item before", tsConcatProtected, -1, 0, 1, tsConcatProtected,
         {QStringLiteral("x"), QStringLiteral("glue")}, rdutInsert},
        {"modify-protected edge: a new item", tsModifyProtected, -1, 0, 7, tsModifyProtected,
         {QStringLiteral("locked"), QStringLiteral("x")}, rdutInsert},
    };
    for (const Case& c : cases) {
        TTypingEditor e(&Sheet);
        e.Para(c.SecondStyle >= 0 ? QStringLiteral("plain") : c.FirstStyle == tsBold ? QStringLiteral("bold")
                                    : c.FirstStyle == tsConcatProtected              ? QStringLiteral("glue")
                                                                                     : QStringLiteral("locked"),
               c.FirstStyle);
        if (c.SecondStyle >= 0)
            e.More(QStringLiteral("bold"), c.SecondStyle);
        e.Format();
        e.Caret(c.Item, c.Offset);
        e.Data->CurrentTextStyleNo = c.CurrentStyle;
        const QByteArray before = e.Rdf();
        e.Data->TypeChar(QByteArray("x"));
        EXPECT_EQ(e.Texts(), c.Texts) << c.Name;
        EXPECT_EQ(e.Data->UndoList->GetCurrentKind(), c.Kind) << c.Name;
        e.ExpectFreshLayout(c.Name);
        // The caret stands after the typed character.
        const int caretItem = e.CaretItem();
        EXPECT_EQ(e.Texts()[caretItem].left(e.CaretOffset() - 1).right(1), QStringLiteral("x")) << c.Name;
        while (e.Data->UndoList->Count() > 0)
            e.Undo();
        EXPECT_EQ(e.Rdf(), before) << c.Name;
    }
}

// A character of the keyboard code page: one GB18030 ideograph typed as its
// two bytes into ANSI text is one insertion (kind 4), never a typing record
// holding half of it; into UTF-16 text it is one typing step; a character
// outside the BMP (four bytes, a surrogate pair) goes in whole.
TEST_F(RDETypingTest, MultiByteCharactersGoInWhole)
{
    const QByteArray zhong("\xd6\xd0");               // U+4E2D
    const QByteArray beyond("\x95\x32\x82\x36");      // U+20000
    struct Case {
        const char* Name;
        int Style;
        QByteArray Typed;
        QString Result;
        uint8_t Kind;
    };
    const Case cases[] = {
        {"ideograph into ANSI text", tsPlain, zhong, QStringLiteral("a\u4E2Db"), rdutNewLine},
        {"ideograph into UTF-16 text", tsUnicode, zhong, QStringLiteral("a\u4E2Db"), rdutTyping},
        {"surrogate pair into UTF-16 text", tsUnicode, beyond, QStringLiteral("a") + QString::fromUcs4(U"\U00020000")
                                                               + QStringLiteral("b"),
         rdutNewLine},
    };
    for (const Case& c : cases) {
        TTypingEditor e(&Sheet);
        e.Para(QStringLiteral("ab"), c.Style);
        e.Format();
        e.Caret(0, 2);
        e.Data->CurrentTextStyleNo = c.Style;
        const QByteArray before = e.Rdf();
        e.Data->TypeChar(c.Typed);
        EXPECT_EQ(e.Edit->GetItemTextW(0), c.Result) << c.Name;
        EXPECT_EQ(e.Data->UndoList->Count(), 1) << c.Name;
        EXPECT_EQ(e.Data->UndoList->GetCurrentKind(), c.Kind) << c.Name;
        // The caret stands after the whole character.
        EXPECT_EQ(e.CaretOffset(), 2 + (c.Style == tsUnicode ? int(c.Result.size()) - 2 : int(c.Typed.size())))
            << c.Name;
        e.ExpectFreshLayout(c.Name);
        const QByteArray after = e.Rdf();
        e.Undo();
        EXPECT_EQ(e.Rdf(), before) << c.Name;
        EXPECT_EQ(e.Data->UndoList->Count(), 0) << c.Name;
        e.Redo();
        EXPECT_EQ(e.Rdf(), after) << c.Name;
    }
}

// Typing into an empty line gives the line the current paragraph style, and
// undo gives the old one back.
TEST_F(RDETypingTest, TypingIntoAnEmptyLineTakesTheCurrentParagraphStyle)
{
    E.Para(QStringLiteral("head"), tsPlain, psHeading);
    E.Para(QString(), tsPlain, psPlain);
    E.Format();
    E.Caret(1, 1);
    E.Data->CurrentParaNo = psHeading;
    E.Data->CurrentTextStyleNo = tsPlain;
    const QByteArray before = E.Rdf();
    E.Data->TypeChar(QByteArray("x"));
    EXPECT_EQ(E.Texts(), (QStringList{QStringLiteral("head"), QStringLiteral("x")}));
    EXPECT_EQ(E.Item(1)->ParaNo, psHeading);
    E.ExpectFreshLayout("typed");
    while (E.Data->UndoList->Count() > 0)
        E.Undo();
    EXPECT_EQ(E.Rdf(), before);
}

// Inserting an inline item in the middle of a text item splits it; the three
// changes are one group and undo gives back the single item.
TEST_F(RDETypingTest, AnInlineItemSplitsTheTextItemAndUndoJoinsIt)
{
    E.Para(QStringLiteral("hello world"));
    E.Format();
    E.Caret(0, 6);
    const QByteArray before = E.Rdf();
    E.Data->BeginUndoGroup(rdutInsert);
    auto tab = std::make_unique<TRDTabItemInfo>(E.Data);
    tab->StyleNo = TabStyleNo;
    QByteArray oldText;
    ASSERT_TRUE(E.Data->InsertItemAndShow(std::move(tab), QByteArray(), oldText, false, false, true));
    EXPECT_EQ(oldText, QByteArray("hello world"));
    ASSERT_EQ(E.Count(), 3);
    EXPECT_EQ(E.Texts()[0], QStringLiteral("hello"));
    EXPECT_EQ(E.Item(1)->StyleNo, TabStyleNo);
    EXPECT_EQ(E.Texts()[2], QStringLiteral(" world"));
    EXPECT_TRUE(E.Item(1)->ContinuesPara());
    EXPECT_TRUE(E.Item(2)->ContinuesPara());
    EXPECT_EQ(E.CaretItem(), 1);
    EXPECT_EQ(E.CaretOffset(), 1);
    EXPECT_EQ(E.Data->UndoList->Count(), 1);
    E.ExpectFreshLayout("split");
    const QByteArray after = E.Rdf();
    E.Undo();
    EXPECT_EQ(E.Count(), 1);
    EXPECT_EQ(E.Rdf(), before);
    E.ExpectFreshLayout("undone");
    E.Redo();
    EXPECT_EQ(E.Rdf(), after);
}

// A full-line item at the start of a paragraph goes before it: it takes
// over the paragraph start, and the text after it starts a new paragraph.
TEST_F(RDETypingTest, AFullLineItemAtAParagraphStartGoesBeforeIt)
{
    E.Para(QStringLiteral("first"));
    E.Para(QStringLiteral("second"));
    E.Format();
    E.Caret(1, 1);
    const QByteArray before = E.Rdf();
    E.Data->BeginUndoGroup(rdutInsert);
    QByteArray oldText;
    ASSERT_TRUE(E.Data->InsertItemAndShow(CreateItemByStyleNo(BreakStyleNo, E.Data), QByteArray(), oldText, false,
                                          false, true));
    ASSERT_EQ(E.Count(), 3);
    EXPECT_EQ(E.Item(1)->StyleNo, BreakStyleNo);
    EXPECT_TRUE(E.Item(1)->StartsParagraph());
    EXPECT_TRUE(E.Item(2)->StartsParagraph());
    EXPECT_EQ(E.Texts()[2], QStringLiteral("second"));
    E.ExpectFreshLayout("break");
    E.Undo();
    EXPECT_EQ(E.Rdf(), before);
    E.ExpectFreshLayout("undone");
}

// A list marker where the caret is at a non-text item or inside a text item
// with text is not inserted, and the insertion still succeeds.
TEST_F(RDETypingTest, AListMarkerInTextOrAtAnItemIsDroppedSilently)
{
    E.Para(QStringLiteral("text"));
    E.Format();
    for (int offset : {1, 3, 5}) {
        E.Caret(0, offset);
        const QByteArray before = E.Rdf();
        QByteArray oldText;
        TTypingBeeps beeps;
        EXPECT_TRUE(E.Data->InsertItemAndShow(std::make_unique<TRDMarkerItemInfo>(E.Data), QByteArray(), oldText,
                                              false, false, true))
            << offset;
        EXPECT_EQ(E.Rdf(), before) << offset;
        EXPECT_EQ(TTypingBeeps::Count, 0) << offset;
    }
}

// A new text item of the current style without a tag takes the pending tag.
TEST_F(RDETypingTest, ANewTextItemTakesThePendingTag)
{
    E.Para(QStringLiteral("bold"), tsBold);
    E.Format();
    E.Caret(0, 5);
    E.Data->CurrentTextStyleNo = tsPlain;
    E.Data->PendingTag = TRDTag::FromInt(42);
    E.Data->State |= dsOpenInsertion;
    E.Data->TypeChar(QByteArray("x"));
    E.Data->State &= ~dsOpenInsertion;
    ASSERT_EQ(E.Count(), 2);
    EXPECT_EQ(E.Item(1)->Tag.Int, 42);
    EXPECT_EQ(E.Item(0)->Tag.Int, 0);
}

// A text-edit handler that changes the tag of the item makes that keystroke
// a group of its own, undone with the character.
TEST_F(RDETypingTest, AHandlerChangingTheTagGroupsItsKeystroke)
{
    E.Para(QStringLiteral("ab"));
    E.Format();
    E.Caret(0, 3);
    E.Data->CurrentTextStyleNo = tsPlain;
    const QByteArray before = E.Rdf();
    int calls = 0;
    QString seenOld;
    E.Edit->OnItemTextEdit = [&](TCustomRichDocEdit*, const QString& oldText, TCustomRDData*, int, int& tag, int&) {
        ++calls;
        seenOld = oldText;
        tag = 7;
    };
    E.Data->TypeChar(QByteArray("c"));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seenOld, QStringLiteral("ab"));
    EXPECT_EQ(E.Texts(), QStringList{QStringLiteral("abc")});
    EXPECT_EQ(E.Item(0)->Tag.Int, 7);
    EXPECT_EQ(E.Data->UndoList->Count(), 1);
    EXPECT_EQ(E.Data->UndoList->GetCurrentKind(), rdutTyping);
    E.Edit->OnItemTextEdit = nullptr;
    E.Undo();
    EXPECT_EQ(E.Rdf(), before);
}

// Typing 10,000 characters (words and spaces) in a row keeps one record.
// (UTF-16 text: caret stops of long double-byte ANSI items are found from
// the item's start, which makes a long run of them slow to lay out.)
TEST_F(RDETypingTest, ALongRunOfTypingKeepsOneRecord)
{
    E.Para(QStringLiteral("start"), tsUnicode);
    E.Format();
    E.Caret(0, 6);
    E.Data->CurrentTextStyleNo = tsUnicode;
    for (int i = 0; i < 10000; ++i)
        E.Data->TypeChar(QByteArray(1, i % 6 == 5 ? ' ' : char('a' + i % 26)));
    ASSERT_EQ(E.Data->UndoList->Count(), 1);
    EXPECT_EQ(E.Data->UndoList->Groups.back()->Records.size(), 1u);
    ASSERT_NE(TypingRecord(), nullptr);
    EXPECT_EQ(TypingRecord()->Length, 10000);
    EXPECT_EQ(E.Data->TextOfItem(0).size(), 2 * 10005);
    EXPECT_EQ(E.CaretOffset(), 10006);
    E.ExpectFreshLayout("long run");
}

// Typing words and spaces across line wraps: a space typed where the line
// wraps is swallowed at the line's end, and the caret after it stands at
// the next line's start, so the next character goes after the space. Word
// lengths are varied so that some space lands exactly on a full line.
TEST_F(RDETypingTest, TypingOnAcrossLineWrapsKeepsTheOrder)
{
    // A proportional font: the line ends fall at every kind of place.
    Sheet.TextStyles().Items(tsPlain)->FontName = QStringLiteral("Liberation Sans");
    Sheet.TextStyles().Items(tsPlain)->Size = 11;
    for (int wordLength = 2; wordLength <= 9; ++wordLength) {
        TTypingEditor e(&Sheet);
        const QByteArray tail("-and the rest of the paragraph after the caret, long enough to wrap");
        e.Para(QStringLiteral("start") + QString::fromLatin1(tail));
        e.Format();
        e.Caret(0, 6);
        e.Data->CurrentTextStyleNo = tsPlain;
        QByteArray typed;
        for (int i = 0; i < 200; ++i) {
            const char c = i % (wordLength + 1) == wordLength ? ' ' : char('a' + i % 26);
            e.Data->TypeChar(QByteArray(1, c));
            typed += c;
        }
        EXPECT_EQ(e.Data->TextOfItem(0), QByteArray("start") + typed + tail) << wordLength;
        EXPECT_EQ(e.Data->UndoList->Count(), 1) << wordLength;
        EXPECT_EQ(e.CaretOffset(), 206) << wordLength;
        e.ExpectFreshLayout("typed across wraps");
    }
}

// Live spelling while typing: a character typed inside a marked word drops
// the mark at once and the item is checked again (the word as it is now).
TEST_F(RDETypingTest, TypingInsideAMarkedWordDropsTheMarkAndRechecks)
{
    std::mutex mutex;
    std::set<std::string> checked;
    E.Edit->OnSpellingCheck = [&](TCustomRichDoc*, const QString& word, int, bool& misspelled) {
        std::lock_guard<std::mutex> lock(mutex);
        checked.insert(word.toStdString());
        misspelled = word == QStringLiteral("teh");
    };
    E.Para(QStringLiteral("one teh two"));
    E.Format();
    E.Edit->show();
    ASSERT_EQ(E.Texts(), QStringList{QStringLiteral("one teh two")});
    E.Edit->StartLiveSpelling();
    TRDWordEnumThread* thread = E.Edit->SpellingThread();
    ASSERT_NE(thread, nullptr);
    auto waitForEnd = [&](int after) {
        while (thread->EndOfDocumentCount() <= after)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    };
    waitForEnd(0);
    ASSERT_TRUE(E.Item(0)->WordPainters);
    ASSERT_EQ(E.Item(0)->WordPainters->Count(), 1);
    EXPECT_EQ(E.Item(0)->WordPainters->PainterAt(0)->StartOffset, 5);

    // Inside the marked word: the mark goes at once, the item is checked again.
    const int ends = thread->EndOfDocumentCount();
    {
        std::lock_guard<std::mutex> lock(mutex);
        checked.clear();
    }
    E.Caret(0, 6);
    E.Data->CurrentTextStyleNo = tsPlain;
    E.Data->TypeChar(QByteArray("x"));
    EXPECT_EQ(E.Texts(), QStringList{QStringLiteral("one txeh two")});
    EXPECT_FALSE(E.Item(0)->WordPainters && E.Item(0)->WordPainters->Count() > 0);
    waitForEnd(ends);
    {
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_TRUE(checked.count("txeh")) << "the edited word is checked again";
    }
    EXPECT_FALSE(E.Item(0)->WordPainters && E.Item(0)->WordPainters->Count() > 0);

    E.Edit->StopLiveSpelling();
}

}  // namespace
