#include <gtest/gtest.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QEventLoop>

#include <mutex>
#include <set>
#include <string>
#include <tuple>

#include "paint/RDMisspellMark.h"
#include "viewer/RDLiveSpell.h"
#include "viewer/RDRichDoc.h"
#include "styles/RDStyle.h"
#include "core/RDUnicode.h"

// Live spelling: the thread walks the document, a handler judges the words
// on the thread, the marks land on the GUI thread. Every wait is for the
// thread's end-of-document call, which arrives as a posted event.

namespace {

enum { stPlain, stJump, stSymbol, stUnicode };

class TSpellSheet : public TRDStyle {
public:
    TSpellSheet()
    {
        while (TextStyles().Count() < 4)
            TextStyles().Add();
        for (int i = 0; i < 4; ++i) {
            TFontInfo* f = TextStyles().Items(i);
            f->FontName = QStringLiteral("Arial");
            f->Size = 10;
            f->Unicode = i == stUnicode;
        }
        TextStyles().Items(stJump)->Jump = true;
        TextStyles().Items(stSymbol)->Charset = 2;  // SYMBOL_CHARSET
        Color = clWhite;
    }
};

using TMark = std::tuple<int, int, int>;  // item, start, length

class TSpellViewer : public TRichDoc {
public:
    explicit TSpellViewer(TRDStyle* sheet)
    {
        SetStyle(sheet);
        resize(300, 200);
        show();
        OnSpellingCheck = [this](TCustomRichDoc*, const QString& word, int, bool& misspelled) {
            std::lock_guard<std::mutex> lock(Mutex);
            Checked.insert(word.toStdString());
            misspelled = Wrong.count(word.toStdString()) > 0;
        };
    }
    std::mutex Mutex;
    std::set<std::string> Wrong{"teh", "wrod", "paragrah", "tis", "zzwrong"};
    std::set<std::string> Checked;

    std::set<std::string> CheckedWords()
    {
        std::lock_guard<std::mutex> lock(Mutex);
        return Checked;
    }
    // The end-of-document calls counted so far.
    int Ends() const { return SpellingThread() ? SpellingThread()->EndOfDocumentCount() : 0; }
    // Waits for the next end of the document after `after` ends.
    void WaitForEnd(int after)
    {
        while (SpellingThread() != nullptr && SpellingThread()->EndOfDocumentCount() <= after)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    void StartAndWait()
    {
        StartLiveSpelling();
        ASSERT_NE(SpellingThread(), nullptr);
        WaitForEnd(0);
    }
    std::set<TMark> Marks()
    {
        std::set<TMark> marks;
        TRichDocRDData& data = *DocumentData();
        for (int i = 0; i < data.ItemCount(); ++i) {
            const TCustomRDItemInfo* item = data.ItemAt(i);
            if (!item->WordPainters)
                continue;
            for (int k = 0; k < item->WordPainters->Count(); ++k)
                marks.emplace(i, item->WordPainters->PainterAt(k)->StartOffset,
                              item->WordPainters->PainterAt(k)->Length);
        }
        return marks;
    }
};

class LiveSpellTest : public ::testing::Test {
protected:
    TSpellSheet Sheet;
};

// Words found wrong are marked by (item, 1-based start, length) in the
// item's own characters: bytes of GB18030 text, UTF-16 units of a Unicode item.
TEST_F(LiveSpellTest, MarksTheWrongWordsOfEveryKindOfItem)
{
    TSpellViewer v(&Sheet);
    v.AddTextInNewParagraph(QStringLiteral("This is teh wrod."), stPlain, 0);
    v.AddTextInNewParagraph(QStringLiteral("Another paragrah here"), stPlain, 0);
    v.AddTextInNewParagraph(QStringLiteral("中文 teh, fine"), stPlain, 0);
    v.AddTextInNewParagraph(QStringLiteral("中文 teh"), stUnicode, 0);
    v.FormatDocument();
    v.StartAndWait();
    const std::set<TMark> expected{{0, 9, 3}, {0, 13, 4}, {1, 9, 8}, {2, 6, 3}, {3, 4, 3}};
    EXPECT_EQ(v.Marks(), expected);
    // Every item is flagged as checked.
    for (int i = 0; i < v.GetItemCount(); ++i)
        EXPECT_TRUE(v.GetItem(i)->SpellFlags & 1) << i;
    v.StopLiveSpelling();
    EXPECT_EQ(v.SpellingThread(), nullptr);
    EXPECT_TRUE(v.Marks().empty());
}

// Addresses in a hypertext style and text in a symbol font are never
// checked; the same address in a plain style is checked word by word. A
// word between apostrophes is checked without them, from its first letter.
TEST_F(LiveSpellTest, SkipsAddressesAndSymbolsAndCutsApostrophes)
{
    TSpellViewer v(&Sheet);
    v.AddTextInNewParagraph(QStringLiteral("http://www.teh.com"), stJump, 0);
    v.AddTextInNewParagraph(QStringLiteral("http://www.teh.com"), stPlain, 0);
    v.AddTextInNewParagraph(QStringLiteral("teh symbols"), stSymbol, 0);
    v.AddTextInNewParagraph(QStringLiteral("'tis' so"), stPlain, 0);
    v.FormatDocument();
    v.StartAndWait();
    const std::set<TMark> expected{{1, 12, 3}, {3, 2, 3}};
    EXPECT_EQ(v.Marks(), expected);
    const std::set<std::string> checked = v.CheckedWords();
    EXPECT_EQ(checked.count("symbols"), 0u);
    EXPECT_EQ(checked.count("tis"), 1u);
    EXPECT_EQ(checked.count("'tis"), 0u);
    EXPECT_EQ(checked.count("tis'"), 0u);
}

// The -1 rule: a document without draw items gets its marks and nothing
// is repainted (nothing to convert).
TEST_F(LiveSpellTest, MarksAnUnformattedDocument)
{
    TSpellViewer v(&Sheet);
    v.AddTextInNewParagraph(QStringLiteral("teh end"), stPlain, 0);
    ASSERT_EQ(v.DocumentData()->DrawItems.Count(), 0);
    v.StartAndWait();
    EXPECT_EQ(v.Marks(), (std::set<TMark>{{0, 1, 3}}));
}

// The viewer's own changes hold the thread while the list changes:
// appended paragraphs and deleted items while it runs leave exactly the
// marks of the text that is there at the end.
TEST_F(LiveSpellTest, AppendingAndDeletingWhileTheThreadRuns)
{
    TSpellViewer v(&Sheet);
    for (int i = 0; i < 400; ++i)
        v.AddTextInNewParagraph(QStringLiteral("one teh two three four five six wrod seven"), stPlain, 0);
    v.FormatDocument();
    v.StartLiveSpelling();
    for (int i = 0; i < 50; ++i) {
        v.AddTextInNewParagraph(QStringLiteral("appended zzwrong"), stPlain, 0);
        v.AddTextToParagraph(QStringLiteral(" more zzwrong"), stPlain);
        QCoreApplication::processEvents();
    }
    v.DeleteItemRange(10, 100);
    v.DeleteItemRange(0, 3);
    const int after = v.Ends();
    v.WaitForEnd(after);
    std::set<TMark> expected;
    for (int i = 0; i < 297; ++i) {
        expected.emplace(i, 5, 3);
        expected.emplace(i, 33, 4);
    }
    for (int k = 0; k < 50; ++k) {
        expected.emplace(297 + 2 * k, 10, 7);
        expected.emplace(297 + 2 * k + 1, 7, 7);
    }
    EXPECT_EQ(v.GetItemCount(), 397);
    EXPECT_EQ(v.Marks(), expected);
}

// Stopping in the middle ends and joins the thread, removes every mark,
// and no late call of the thread reaches the viewer.
TEST_F(LiveSpellTest, StopInTheMiddle)
{
    TSpellViewer v(&Sheet);
    for (int i = 0; i < 3000; ++i)
        v.AddTextInNewParagraph(QStringLiteral("teh quick brown fox wrod jumps over the lazy dog"), stPlain, 0);
    v.FormatDocument();
    v.StartLiveSpelling();
    // Until the first marks arrive (each comes as a posted call).
    while (v.Marks().empty())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    v.StopLiveSpelling();
    EXPECT_EQ(v.SpellingThread(), nullptr);
    EXPECT_TRUE(v.Marks().empty());
    QCoreApplication::processEvents();
    EXPECT_TRUE(v.Marks().empty());
    // And it starts again from the top.
    v.StartAndWait();
    EXPECT_EQ(v.Marks().size(), 6000u);
}

// Restarting pauses the running thread and checks everything again; a
// viewer destroyed while its thread runs joins it.
TEST_F(LiveSpellTest, RestartAndDestroyWhileRunning)
{
    auto v = std::make_unique<TSpellViewer>(&Sheet);
    for (int i = 0; i < 2000; ++i)
        v->AddTextInNewParagraph(QStringLiteral("teh quick brown fox"), stPlain, 0);
    v->FormatDocument();
    v->StartLiveSpelling();
    v->StartLiveSpelling();
    v->WaitForEnd(0);
    EXPECT_EQ(v->Marks().size(), 2000u);
    v->StartLiveSpelling();
    v.reset();
}

// Live spelling needs a handler and a style sheet.
TEST_F(LiveSpellTest, StartsOnlyWithHandlerAndSheet)
{
    TSpellViewer v(&Sheet);
    v.OnSpellingCheck = nullptr;
    v.StartLiveSpelling();
    EXPECT_EQ(v.SpellingThread(), nullptr);
    TSpellViewer w(&Sheet);
    w.SetStyle(nullptr);
    w.StartLiveSpelling();
    EXPECT_EQ(w.SpellingThread(), nullptr);
}

// The wavy underline: a point every 2 pixels, alternately 2 pixels above
// the bottom and at it, the last one moved to the right edge.
TEST(MisspellPolylineTest, PointsOfTheWavyLine)
{
    const QPolygon five = MisspellPolyline(QRect(10, 20, 5, 8));
    ASSERT_EQ(five.size(), 3);
    EXPECT_EQ(five[0], QPoint(10, 26));
    EXPECT_EQ(five[1], QPoint(12, 28));
    EXPECT_EQ(five[2], QPoint(15, 26));
    EXPECT_TRUE(MisspellPolyline(QRect(0, 0, 2, 8)).isEmpty());
    EXPECT_EQ(MisspellPolyline(QRect(0, 0, 3, 8)).size(), 2);
    EXPECT_EQ(MisspellPolyline(QRect(0, 0, 5000, 8)).size(), 1024);
}

}  // namespace
