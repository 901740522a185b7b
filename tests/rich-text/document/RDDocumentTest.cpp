// The document model, its items, checkpoints, positions, joining and text output.

#include <gtest/gtest.h>

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>

#include "RDDocTestSupport.h"
#include "items/RDPictureItems.h"
#include "document/RDTextItems.h"

namespace {

class RDDocumentTest : public ::testing::Test {
protected:
    RDDocumentTest() { Sheet.ParaStyles()[0]->DefStyleNo = -1; }
    TTestStyleSheet Sheet;
    TTestRDData Doc{&Sheet};

    QByteArray Texts() const
    {
        QByteArray s;
        for (int i = 0; i < Doc.ItemCount(); ++i)
            s += (Doc.StartsParagraph(i) ? "|" : Doc.StartsNewLine(i) ? "/" : "+") + Doc.TextOfItem(i);
        return s;
    }
};

TCustomRDItemInfo* MakeLabelLike(TCustomRDData* d) { return new TRDTabItemInfo(d); }
TCustomRDItemInfo* MakeOther(TCustomRDData* d) { return new TRDBreakItemInfo(d); }

TEST_F(RDDocumentTest, AddItemPlacesParagraphs)
{
    Doc.AddTextRawNoTag("a", 0, -1);
    EXPECT_TRUE(Doc.StartsParagraph(0));
    EXPECT_EQ(Doc.ParaOfItem(0), 0);
    Doc.AddTextRawNoTag("b", 0, -1);
    EXPECT_FALSE(Doc.StartsNewLine(1));
    auto line = std::make_unique<TRDBreakItemInfo>(&Doc);
    line->StyleNo = BreakStyleNo;
    line->ParaNo = 0;
    Doc.AddItem(QByteArray(), line.release());
    EXPECT_TRUE(Doc.StartsParagraph(2));
    // After a full-line item -1 cannot continue: a new paragraph.
    Doc.AddTextRawNoTag("c", 0, -1);
    EXPECT_TRUE(Doc.StartsParagraph(3));
    Doc.SetAllowNewPara(false);
    Doc.AddTextRawNoTag("d", 0, 1);
    EXPECT_TRUE(Doc.StartsNewLine(4));
    EXPECT_FALSE(Doc.StartsParagraph(4));
    // Offsets: a text item runs 1..length+1, a non-text item 0..1.
    EXPECT_EQ(Doc.StartOffsetOf(2), 0);
    EXPECT_EQ(Doc.EndOffsetOf(2), 1);
    EXPECT_EQ(Doc.EndOffsetOf(0), 2);
}

TEST_F(RDDocumentTest, EmptyTextItemHasOneOffset)
{
    Doc.AddTextRawNoTag("", 0, 0);
    EXPECT_EQ(Doc.StartOffsetOf(0), 1);
    EXPECT_EQ(Doc.EndOffsetOf(0), 1);
    EXPECT_EQ(Doc.ItemLengthOf(0), 0);
}

TEST_F(RDDocumentTest, SplittingEngine)
{
    struct Case {
        QByteArray Text;
        int Spaces;
        QByteArray Expected;
    } cases[] = {
        {"x\r\ny", 8, "|x|y"},
        {"x\n\ry", 8, "|x|y"},
        {"x\r\ry", 8, "|x||y"},
        {"x\r\n", 8, "|x|"},
        {"x\ty", 0, "|x+\t+y"},
        {"x\ty", 4, "|x    y"},
        {"x\x0By", 8, "|x\x0By"},
    };
    for (const Case& c : cases) {
        TTestRDData doc(&Sheet);
        Sheet.SpacesInTab = c.Spaces;
        ASSERT_TRUE(doc.AddMultilineText(c.Text, 0, 0, 0, TRDTag()));
        QByteArray s;
        for (int i = 0; i < doc.ItemCount(); ++i)
            s += (doc.StartsParagraph(i) ? "|" : "+")
                 + (doc.ItemAt(i)->StyleNo == -12 ? QByteArray("\t") : doc.TextOfItem(i));
        EXPECT_EQ(s, c.Expected) << c.Text.toHex().constData();
    }
}

TEST_F(RDDocumentTest, FormFeedBreaksThePage)
{
    ASSERT_TRUE(Doc.AddMultilineText("a\fb", 0, 0, 0, TRDTag()));
    ASSERT_EQ(Doc.ItemCount(), 2);
    EXPECT_TRUE(Doc.BreaksPageBeforeItem(1));
    EXPECT_THROW(Doc.BreaksPageBeforeItem(2), ERichDocError);
    EXPECT_THROW(Doc.SetBreaksPageBefore(-1, true), ERichDocError);
}

TEST_F(RDDocumentTest, OneParagraphAndStringTagsPerItem)
{
    Doc.Options = rdoTagsArePChars;
    ASSERT_TRUE(Doc.AddTextLines("a\rb\rc", 0, 0, 0, true, false, TRDTag::FromString("t")));
    EXPECT_EQ(Texts(), QByteArray("|a/b/c"));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(*Doc.TagOfItem(i).Str, QByteArray("t"));
    EXPECT_TRUE(Doc.AllowNewPara);
}

TEST_F(RDDocumentTest, ConvertedTextFollowsUnicodeStyle)
{
    Sheet.TextStyles()[1]->Unicode = true;
    Doc.AddTextConverted("\xd6\xd0", 1, 0, TRDTag());
    EXPECT_EQ(Doc.TextOfItem(0), QByteArray("\x2d\x4e"));
    EXPECT_TRUE(Doc.ItemOptionsOf(0) & rdioUnicode);
    EXPECT_EQ(Doc.ItemTextAsAnsi(0), QByteArray("\xd6\xd0"));
    EXPECT_EQ(Doc.ItemLengthOf(0), 1);
    // MaxInt takes the paragraph style's default text style.
    Sheet.ParaStyles()[1]->DefStyleNo = 1;
    Doc.AddTextConverted("\xd6\xd0", -5, 1, TRDTag());
    EXPECT_EQ(Doc.ItemAt(1)->StyleNo, RDMaxInt);
    EXPECT_EQ(Doc.EffectiveStyleOfItem(1), 1);
    EXPECT_EQ(Doc.TextOfItem(1), QByteArray("\x2d\x4e"));
}

TEST_F(RDDocumentTest, DoubleByteCharactersStepWhole)
{
    // 中a文 in GBK: D6 D0 61 CE C4; a trail byte equal to a delimiter.
    const QByteArray gbk("\xd6\xd0" "a\xce\xc4", 5);
    Doc.AddTextRawNoTag(gbk, 0, 0);
    EXPECT_EQ(Doc.NextCharPos(gbk, 0, 1), 3);
    EXPECT_EQ(Doc.NextCharPos(gbk, 0, 3), 4);
    EXPECT_EQ(Doc.PrevCharPos(gbk, 0, 6), 4);
    EXPECT_EQ(Doc.PrevCharPos(gbk, 0, 4), 3);
    EXPECT_EQ(Doc.PrevCharPos(gbk, 0, 3), 1);
    const QByteArray trailIsDelimiter("\x81\x5c", 2);  // 乗-like pair whose trail is '\'
    Doc.AddTextRawNoTag(trailIsDelimiter, 0, 0);
    EXPECT_FALSE(Doc.IsDelimiterAt(trailIsDelimiter, 2, 0, 1));
    EXPECT_TRUE(Doc.IsDelimiterAt(QByteArray("a b"), 2, 0, -1));
    // A surrogate pair in UTF-16 steps as one.
    Sheet.TextStyles()[1]->Unicode = true;
    const QString emoji = QStringLiteral("x\U0001F600y");
    const QByteArray utf16(reinterpret_cast<const char*>(emoji.utf16()), emoji.size() * 2);
    Doc.AddTextRawNoTag(utf16, 1, 0);
    EXPECT_EQ(Doc.NextCharPos(utf16, 2, 2), 4);
    EXPECT_EQ(Doc.PrevCharPos(utf16, 2, 4), 2);
}

TEST_F(RDDocumentTest, MarkerKeepsItsParagraphAndBreak)
{
    RegisterRDItemType(-11 - 100, &MakeOther);  // a free number is accepted
    auto marker = std::make_unique<TRDTabItemInfo>(&Doc);
    marker->StyleNo = MarkerStyleNo;
    marker->SetBreaksPageBefore(true);
    Doc.AddItem(QByteArray(), marker.release());
    Doc.AddTextRawNoTag("p", 0, 0);
    // The marker's paragraph got an empty text item before the new paragraph.
    ASSERT_EQ(Doc.ItemCount(), 3);
    EXPECT_FALSE(Doc.StartsNewLine(1));
    EXPECT_TRUE(Doc.BreaksPageBeforeItem(1));
    EXPECT_TRUE(Doc.BreaksPageBeforeItem(0));
}

TEST_F(RDDocumentTest, RegistryAndCopies)
{
    EXPECT_THROW(RegisterRDItemType(-10, &MakeLabelLike), ERichDocError);
    EXPECT_THROW(RegisterRDItemType(-9, &MakeLabelLike), ERichDocError);
    RegisterRDItemType(-300, &MakeLabelLike);
    RegisterRDItemType(-300, &MakeLabelLike);
    EXPECT_THROW(RegisterRDItemType(-300, &MakeOther), ERichDocError);
    EXPECT_EQ(CreateItemByStyleNo(-7, &Doc), nullptr);
    EXPECT_EQ(CreateItemByStyleNo(-2, &Doc), nullptr);
    EXPECT_EQ(CreateItemByStyleNo(-299, &Doc), nullptr);
    auto text = CreateItemByStyleNo(5, &Doc);
    ASSERT_NE(dynamic_cast<TRDTextItemInfo*>(text.get()), nullptr);
    EXPECT_EQ(text->StyleNo, 5);
    EXPECT_EQ(CreateItemByStyleNo(-300, &Doc)->StyleNo, -300);

    Doc.Options = rdoTagsArePChars;
    auto line = CreateItemByStyleNo(-1, &Doc);
    static_cast<TRDBreakItemInfo*>(line.get())->LineWidth = 3;
    line->Tag = TRDTag::FromString("tag");
    line->Hint = QStringLiteral("h");
    auto copy = CreateItemCopy(*line, &Doc, false);
    EXPECT_EQ(static_cast<TRDBreakItemInfo*>(copy.get())->LineWidth, 3);
    EXPECT_EQ(*copy->Tag.Str, QByteArray("tag"));
    EXPECT_EQ(copy->Hint, QStringLiteral("h"));
    EXPECT_EQ(copy->StyleNo, -1);
}

// The kinds every document knows come through the registry like the
// registered ones, and their numbers are taken.
TEST_F(RDDocumentTest, SuiteKindsAreInTheRegistry)
{
    struct TKindCase {
        int StyleNo;
        bool (*IsKind)(const TCustomRDItemInfo*);
    };
    const TKindCase cases[] = {
        {-1, [](const TCustomRDItemInfo* i) { return dynamic_cast<const TRDBreakItemInfo*>(i) != nullptr; }},
        {-12, [](const TCustomRDItemInfo* i) { return dynamic_cast<const TRDTabItemInfo*>(i) != nullptr; }},
        {-3, [](const TCustomRDItemInfo* i) { return typeid(*i) == typeid(TRDGraphicItemInfo); }},
        {-10, [](const TCustomRDItemInfo* i) { return typeid(*i) == typeid(TRDHotGraphicItemInfo); }},
        {-6, [](const TCustomRDItemInfo* i) { return typeid(*i) == typeid(TRDBulletItemInfo); }},
        {-4, [](const TCustomRDItemInfo* i) { return typeid(*i) == typeid(TRDHotspotItemInfo); }},
    };
    for (const TKindCase& c : cases) {
        auto item = CreateItemByStyleNo(c.StyleNo, &Doc);
        ASSERT_NE(item, nullptr) << c.StyleNo;
        EXPECT_TRUE(c.IsKind(item.get())) << c.StyleNo;
        EXPECT_EQ(item->StyleNo, c.StyleNo);
        // A copy is of the same class.
        const auto copy = CreateItemCopy(*item, &Doc, false);
        ASSERT_NE(copy, nullptr);
        const TCustomRDItemInfo& copied = *copy;
        const TCustomRDItemInfo& original = *item;
        EXPECT_EQ(typeid(copied), typeid(original)) << c.StyleNo;
    }
    for (int records : {-2, -7, -8, -9})
        EXPECT_EQ(CreateItemByStyleNo(records, &Doc), nullptr) << records;
    // The suite's class again is accepted; another class for its number is not.
    RegisterRDItemType(-10, &NewRDItem<TRDHotGraphicItemInfo>);
    EXPECT_THROW(RegisterRDItemType(-12, &MakeOther), ERichDocError);
    EXPECT_THROW(RegisterRDItemType(-4, &MakeOther), ERichDocError);
    const auto hot = CreateItemByStyleNo(-10, &Doc);
    ASSERT_NE(hot, nullptr);
    const TCustomRDItemInfo& hotItem = *hot;
    EXPECT_EQ(typeid(hotItem), typeid(TRDHotGraphicItemInfo));
    for (const auto& kind : SuiteItemKinds())
        EXPECT_LT(kind.StyleNo, 0);
}

class TConvertingItem : public TRDRectItemInfo {
public:
    using TRDRectItemInfo::TRDRectItemInfo;
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* d) const override { return new TConvertingItem(d); }
    int UserData = -1, Mode = -1;
    bool Recursive = false;
    void ApplyStyleConversion(int userData, int mode, bool recursive) override
    {
        UserData = userData;
        Mode = mode;
        Recursive = recursive;
    }
};

// What the base answers to the layout, the editor and the exports.
TEST_F(RDDocumentTest, BaseSlotsAnswerTheirDefaults)
{
    TConvertingItem item(&Doc);
    item.Hint = QStringLiteral("提示");
    EXPECT_EQ(item.GetPageBreakOffset(7), 7);
    EXPECT_EQ(item.GetJumpCursor(nullptr), crJump);
    Sheet.JumpCursor = 5;
    EXPECT_EQ(item.GetJumpCursor(&Sheet), 5);
    EXPECT_EQ(item.GetGraphic(), nullptr);
    QImage bitmap(4, 4, QImage::Format_RGB32);
    EXPECT_FALSE(item.PrintToBitmap(bitmap, false, &Doc, TRDItemPrintInfo{}));
    TRDHTMLImageContext html;
    EXPECT_TRUE(item.SaveToHTML(&Doc, 0, html).isEmpty());
    TRDRTFExportContext rtf;
    EXPECT_TRUE(item.SaveRTF(&Doc, 0, rtf).isEmpty());
    EXPECT_FALSE(item.HasSelectionInside());
    EXPECT_FALSE(item.CanDeleteSelectionInside());
    EXPECT_FALSE(item.ExecuteInside(1, 0));
    TCustomRDData* top = nullptr;
    int topItem = 3;
    EXPECT_FALSE(item.MoveFocus(true, top, topItem));
    EXPECT_EQ(topItem, 3);
    std::unique_ptr<TRDStoreSubRDData> store;
    EXPECT_EQ(item.EnumSubDocuments(store, 2), nullptr);
    EXPECT_EQ(store, nullptr);
    EXPECT_EQ(TRDStoreSubRDData().Duplicate(), nullptr);
    EXPECT_EQ(TRDMultiDrawItemPart().GetPartPosition(), -1);
    // The editor's default conversion goes through the item's own.
    item.ApplyStyleConversionDefault(&Doc, 0, 42);
    EXPECT_EQ(item.UserData, 42);
    EXPECT_EQ(item.Mode, 0);
    EXPECT_TRUE(item.Recursive);
    // Hints show only when the options ask for them.
    EXPECT_FALSE(item.MouseMove(1, 1, 0, &Doc));
    EXPECT_TRUE(Doc.ShownHint.isEmpty());
    Doc.Options = rdoShowItemHints;
    EXPECT_FALSE(item.MouseMove(1, 1, 0, &Doc));
    EXPECT_EQ(Doc.ShownHint, QStringLiteral("提示"));
}

// The break and the tab answer the export slots as their own writers do.
TEST_F(RDDocumentTest, BreakAndTabAnswerTheExportSlots)
{
    TRDBreakItemInfo line(&Doc);
    line.LineWidth = 2;
    line.Color = 0x0000FF;
    TRDHTMLImageContext html;
    html.CSS = true;
    EXPECT_EQ(line.SaveToHTML(&Doc, 0, html), line.SaveToHTML(&Sheet, 0, true));
    TRDColorList colors;
    line.FillRTFTables(colors, nullptr, &Doc);
    EXPECT_EQ(colors.Count(), 1);
    TRDRTFExportContext rtf;
    rtf.Colors = &colors;
    rtf.Level = 1;
    EXPECT_EQ(line.SaveRTF(&Doc, 0, rtf), line.SaveRTF(15.0, colors, 1));
    TRDTabItemInfo tab(&Doc);
    EXPECT_EQ(tab.SaveRTF(&Doc, 0, rtf), QByteArray("\\tab "));
    EXPECT_EQ(tab.SaveToHTML(&Doc, 0, html), tab.SaveToHTML(&Sheet));
}

TEST_F(RDDocumentTest, FlagAccessors)
{
    TRDTextItemInfo text;
    text.SetBreaksPageBefore(true);
    text.SetContinuesPara(true);
    EXPECT_EQ(text.ItemOptions, rdioContinuesPara);
    text.SetLineBreakBefore(true);
    EXPECT_EQ(text.ItemOptions, rdioLineBreakBefore);
    TRDBreakItemInfo line;
    line.SetLineBreakBefore(true);
    EXPECT_EQ(line.ItemOptions, 0);
    EXPECT_EQ(line.AsText(3, nullptr, false, false, {}, {}), QByteArray("---"));
    line.LineWidth = 2;
    EXPECT_EQ(line.AsText(3, nullptr, false, false, {}, {}), QByteArray("==="));
    EXPECT_EQ(line.AsText(0, nullptr, false, false, {}, {}), QByteArray("="));
    TRDTabItemInfo tab;
    tab.TextStyleNo = RDMaxInt;
    EXPECT_EQ(tab.GetActualTextStyleNo(&Sheet), 0);
}

TEST_F(RDDocumentTest, PropertyLinesAndMisspellings)
{
    TRDTabItemInfo tab;
    tab.ReadRDFExtraLine("spacing=x");
    EXPECT_EQ(tab.Spacing, 0);
    tab.ReadRDFExtraLine("Spacing=3");
    EXPECT_EQ(tab.Spacing, 0);
    tab.ReadRDFExtraLine("vshift=-4");
    tab.ReadRDFExtraLine("unremovable=1");
    tab.ReadRDFExtraLine("hint=tip");
    tab.ReadRDFExtraLine("no equals");
    EXPECT_EQ(tab.VShift, -4);
    EXPECT_TRUE(tab.Unremovable);
    EXPECT_EQ(tab.Hint, QStringLiteral("tip"));
    EXPECT_EQ(tab.GetRDFExtraPropertyCount(), 4);
    TRDMemoryStream lines;
    tab.SaveRDFExtraProperties(lines);
    EXPECT_EQ(lines.ToBytes(), QByteArray("hint=tip\r\nunremovable=1\r\nvshift=-4\r\nspacing=0\r\n"));

    TRDTextItemInfo item;
    item.AddMisspelling(5, 3);  // covers 5..7
    EXPECT_TRUE(item.IsMisspelledAt(7));
    EXPECT_FALSE(item.IsMisspelledAt(8));
    int start = 0, length = 0;
    EXPECT_TRUE(item.GetMisspelling(8, start, length));
    // A delimiter typed just behind keeps the mark; a letter removes it.
    EXPECT_TRUE(item.AdjustPaintersOnInsert(8, ' ', &Doc));
    EXPECT_TRUE(item.IsMisspelledAt(5));
    EXPECT_TRUE(item.AdjustPaintersOnInsert(8, 'a', &Doc));
    EXPECT_EQ(item.WordPainters, nullptr);
    item.AddMisspelling(10, 2);
    EXPECT_FALSE(item.AdjustPaintersOnDelete(6, 3));
    EXPECT_TRUE(item.IsMisspelledAt(7));
    EXPECT_TRUE(item.AdjustPaintersOnDelete(6, 3));
    EXPECT_EQ(item.WordPainters, nullptr);
}

TEST_F(RDDocumentTest, Checkpoints)
{
    EXPECT_EQ(Doc.SetPendingCheckpoint(QStringLiteral("first"), false, TRDTag()), 0);
    EXPECT_EQ(Doc.SetPendingCheckpoint(QStringLiteral("second"), true, TRDTag()), 0);
    EXPECT_EQ(Doc.PendingCP->Name, QStringLiteral("first"));
    Doc.AddTextRawNoTag("a", 0, 0);
    Doc.AddTextRawNoTag("b", 0, 0);
    Doc.AddTextRawNoTag("c", 0, 0);
    TRDCPInfo* x = new TRDCPInfo;
    TRDCPInfo* y = new TRDCPInfo;
    ++Doc.CPCount;
    Doc.LinkCheckpoint(x, 2);
    ++Doc.CPCount;
    Doc.LinkCheckpoint(y, 2);
    EXPECT_EQ(Doc.FirstCP->NextCP, x);
    EXPECT_EQ(x->NextCP, y);
    EXPECT_EQ(Doc.LastCP, y);
    EXPECT_EQ(Doc.CheckpointBefore(1), Doc.FirstCP);
    EXPECT_EQ(Doc.CheckpointBefore(0), nullptr);
    // Attach the linked ones to items so the document frees them.
    Doc.UnlinkCheckpoint(x, true);
    Doc.UnlinkCheckpoint(y, true);
    delete x;
    delete y;
    EXPECT_EQ(Doc.CPCount, 1);
    Doc.DeleteItemRange(0, 1);
    EXPECT_EQ(Doc.CPCount, 0);
    EXPECT_EQ(Doc.FirstCP, nullptr);
}

TEST_F(RDDocumentTest, MovingAndJoining)
{
    TTestRDData source(&Sheet);
    source.AddTextRawNoTag("a", 3, 0);
    source.SetPendingCheckpoint(QStringLiteral("p"), false, TRDTag());
    source.AddTextRawNoTag("b", 3, -1);
    Doc.AddTextRawNoTag("x", 0, 0);
    Doc.MoveItemsFrom(&source);
    EXPECT_EQ(source.ItemCount(), 0);
    EXPECT_EQ(source.CPCount, 0);
    ASSERT_EQ(Doc.ItemCount(), 3);
    EXPECT_NE(Doc.CheckpointOfItem(2), nullptr);
    EXPECT_EQ(Doc.CPCount, 1);

    TTestRDData strings(&Sheet);
    strings.Options = rdoTagsArePChars;
    strings.AddTextRawNoTag("s", 0, 0);
    EXPECT_THROW(Doc.MoveItemsFrom(&strings), ERichDocError);
    EXPECT_EQ(strings.ItemCount(), 1);

    TTestRDData join(&Sheet);
    join.AddTextRawNoTag("one", 3, 0);
    join.AddTextRawNoTag("two", 3, -1);
    join.AddTextRawNoTag("three", 3, 0);
    join.AddTextRawNoTag("", 0, 1);
    join.AddTextRawNoTag("four", 2, -1);
    join.JoinItemRange(0, join.ItemCount() - 1);
    ASSERT_EQ(join.ItemCount(), 3);
    EXPECT_EQ(join.TextOfItem(0), QByteArray("onetwo"));
    EXPECT_EQ(join.TextOfItem(2), QByteArray("four"));
    EXPECT_EQ(join.ItemAt(2)->StyleNo, 2);
    EXPECT_EQ(join.ParaOfItem(2), 1);
}

// A full-line item that counts how often an item of its kind is freed.
class TCountedItem : public TRDBreakItemInfo {
public:
    TCountedItem(TCustomRDData* rdData, int& freed) : TRDBreakItemInfo(rdData), Freed(freed)
    {
        StyleNo = BreakStyleNo;
    }
    ~TCountedItem() override { ++Freed; }
    int& Freed;
};

TEST_F(RDDocumentTest, TakenItemComesBackAsTheSameObject)
{
    Doc.AddTextRawNoTag("a", 0, 0);
    Doc.SetPendingCheckpoint(QStringLiteral("cp"), true, TRDTag::FromInt(5));
    Doc.AddTextRawNoTag("b", 0, 0);
    Doc.AddTextRawNoTag("c", 0, 0);
    Doc.SetPendingCheckpoint(QStringLiteral("last"), false, TRDTag());
    Doc.AddTextRawNoTag("d", 0, 0);
    TCustomRDItemInfo* b = Doc.ItemAt(1);
    TRDCPInfo* cp = Doc.CheckpointOfItem(1);
    ASSERT_NE(cp, nullptr);
    ASSERT_EQ(Doc.CPCount, 2);

    // Out: the item, its text and its checkpoint leave the document unfreed.
    QByteArray text;
    std::unique_ptr<TCustomRDItemInfo> taken = Doc.TakeItem(1, &text);
    EXPECT_EQ(taken.get(), b);
    EXPECT_EQ(text, "b");
    EXPECT_EQ(Texts(), "|a|c|d");
    EXPECT_EQ(taken->Checkpoint.get(), cp);
    EXPECT_EQ(cp->Name, QStringLiteral("cp"));
    EXPECT_EQ(Doc.CPCount, 1);
    EXPECT_EQ(Doc.FirstCP, Doc.CheckpointOfItem(2));
    EXPECT_EQ(Doc.FirstCP->PrevCP, nullptr);
    EXPECT_EQ(Doc.CheckpointBefore(3), Doc.FirstCP);

    // Back: the same object at its place, its checkpoint in the chain again.
    Doc.GiveItem(1, text, std::move(taken));
    EXPECT_EQ(Doc.ItemAt(1), b);
    EXPECT_EQ(Texts(), "|a|b|c|d");
    EXPECT_EQ(Doc.CheckpointOfItem(1), cp);
    EXPECT_EQ(cp->Item, b);
    EXPECT_EQ(Doc.CPCount, 2);
    EXPECT_EQ(Doc.FirstCP, cp);
    EXPECT_EQ(cp->NextCP, Doc.CheckpointOfItem(3));
    EXPECT_EQ(Doc.LastCP, Doc.CheckpointOfItem(3));
    EXPECT_EQ(Doc.CheckpointBefore(2), cp);
    // It goes on as any item of the document: saved, and freed with it.
    EXPECT_EQ(Doc.CheckpointBefore(3), cp);
    Doc.DeleteItemRange(1, 1);
    EXPECT_EQ(Doc.CPCount, 1);
    EXPECT_EQ(Doc.FirstCP, Doc.CheckpointOfItem(2));

    // The ends of the list are places too; a place off the list is refused.
    std::unique_ptr<TCustomRDItemInfo> last = Doc.TakeItem(2);
    EXPECT_EQ(Doc.FirstCP, nullptr);
    EXPECT_EQ(Doc.LastCP, nullptr);
    Doc.GiveItem(0, "d", std::move(last));
    EXPECT_EQ(Texts(), "|d|a|c");
    EXPECT_EQ(Doc.FirstCP, Doc.CheckpointOfItem(0));
    EXPECT_EQ(Doc.LastCP, Doc.CheckpointOfItem(0));
    EXPECT_THROW(Doc.TakeItem(3), ERichDocError);
    EXPECT_THROW(Doc.TakeItem(-1), ERichDocError);
    EXPECT_THROW(Doc.GiveItem(4, "x", std::make_unique<TRDBreakItemInfo>(&Doc)), ERichDocError);
    EXPECT_EQ(Texts(), "|d|a|c");
}

TEST_F(RDDocumentTest, DocumentFreesWhatItStillOwns)
{
    int freed = 0;
    std::unique_ptr<TCustomRDItemInfo> kept;
    {
        TTestRDData doc(&Sheet);
        for (int i = 0; i < 4; ++i)
            doc.AddItem(QByteArray(), std::make_unique<TCountedItem>(&doc, freed));
        kept = doc.TakeItem(2);
        EXPECT_EQ(freed, 0);
        doc.RemoveItem(0);
        EXPECT_EQ(freed, 1);
        ASSERT_EQ(doc.ItemCount(), 2);
        // Taken and given back, an item is the document's again.
        std::unique_ptr<TCustomRDItemInfo> again = doc.TakeItem(0);
        doc.GiveItem(1, QByteArray(), std::move(again));
        EXPECT_EQ(freed, 1);
    }
    EXPECT_EQ(freed, 3);
    kept.reset();
    EXPECT_EQ(freed, 4);
}

TEST_F(RDDocumentTest, ComparePositionsInOneDocument)
{
    Doc.AddTextRawNoTag("a", 0, 0);
    Doc.AddTextRawNoTag("b", 0, 0);
    EXPECT_LT(Doc.ComparePositions(0, &Doc, 1), 0);
    EXPECT_EQ(Doc.ComparePositions(1, &Doc, 1), 0);
    TTestRDData other(&Sheet);
    EXPECT_THROW(Doc.ComparePositions(0, &other, 0), ERichDocError);
}

TEST_F(RDDocumentTest, TextExport)
{
    Doc.AddTextRawNoTag("a", 0, 0);
    Doc.AddTextRawNoTag("b", 0, 0);
    auto tab = CreateItemByStyleNo(-12, &Doc);
    tab->ParaNo = -1;
    Doc.AddItem(QByteArray(), tab.release());
    TRDMemoryStream ansi;
    ASSERT_TRUE(Doc.SaveTextToStream({}, ansi, 80, false, false, false, false));
    EXPECT_EQ(ansi.ToBytes(), QByteArray("a\r\nb\t"));
    TRDMemoryStream wide;
    ASSERT_TRUE(Doc.SaveTextToStream({}, wide, 80, false, false, true, true));
    EXPECT_EQ(wide.ToBytes(), QByteArray("\xff\xfe" "a\0\r\0\n\0b\0\t\0", 12));
}

TEST_F(RDDocumentTest, NextImageFileName)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QLatin1Char('/');
    for (const char* name : {"img1.jpg", "img2.jpg"}) {
        QFile f(path + QLatin1String(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    int counter = 0;
    QString fileName;
    ASSERT_TRUE(Doc.GetNextImageFileName(QStringLiteral("img"), path, fileName, false, counter, QStringLiteral(".jpg")));
    EXPECT_EQ(fileName, path + QStringLiteral("img3.jpg"));
    EXPECT_EQ(counter, 3);
    counter = 0;
    ASSERT_TRUE(Doc.GetNextImageFileName(path + QStringLiteral("img"), QStringLiteral("/elsewhere/"), fileName, true,
                                         counter, QStringLiteral(".jpg")));
    EXPECT_EQ(fileName, path + QStringLiteral("img1.jpg"));
    counter = INT_MAX;
    EXPECT_FALSE(Doc.GetNextImageFileName(QStringLiteral("img"), path, fileName, false, counter, QStringLiteral(".jpg")));
}

TEST_F(RDDocumentTest, DocParametersNumbers)
{
    TRDDocParameters params;
    EXPECT_TRUE(params.IsAllDefault());
    EXPECT_EQ(params.UnitsToTwips(1.25), 1800);
    params.Units = TRDUnits::rduCentimeters;
    EXPECT_DOUBLE_EQ(params.TwipsToUnits(1440), 2.54);
    EXPECT_EQ(RDFloatToStr(0.1), QByteArray("0.1"));
    EXPECT_EQ(RDFloatToStr(210), QByteArray("210"));
    EXPECT_EQ(RDFloatToStr(1.0 / 3), QByteArray("0.333333333333333"));
    params.ReadRDFLine("MirrorMargins=0");
    params.ReadRDFLine("Bogus=1");
    params.ReadRDFLine("LeftMargin=2.5");
    EXPECT_FALSE(params.MirrorMargins);
    EXPECT_DOUBLE_EQ(params.LeftMargin, 2.5);
    EXPECT_THROW(params.ReadRDFLine("ZoomPercent=abc"), ERichDocError);
}

TEST_F(RDDocumentTest, ComparePositionsAcrossNestedDocuments)
{
    for (int i = 0; i < 4; ++i)
        Doc.AddTextRawNoTag("x", 0, 0);
    TTestSubData cell(&Doc, 2, 5);
    TTestSubData otherCell(&Doc, 2, 7);
    cell.AddTextRawNoTag("c", 0, 0);
    // A cell of the item at 2 lies before item 3 and after the item's own place.
    EXPECT_LT(cell.ComparePositions(0, &Doc, 3), 0);
    EXPECT_GT(cell.ComparePositions(0, &Doc, 2), 0);
    EXPECT_LT(Doc.ComparePositions(2, &cell, 0), 0);
    EXPECT_GT(Doc.ComparePositions(3, &cell, 0), 0);
    // Two cells of one item compare by their places.
    EXPECT_LT(cell.ComparePositions(0, &otherCell, 0), 0);
    EXPECT_EQ(cell.ComparePositions(0, &cell, 0), 0);
}

TEST_F(RDDocumentTest, QuestionsOfTheSpellingThreadMakeNoPlaceholder)
{
    // Dangling style numbers answer like style 0, the placeholder's model.
    Sheet.TextStyles()[0]->Charset = 0;  // ANSI_CHARSET: code page 1252
    Sheet.ParaStyles()[0]->DefStyleNo = 2;
    Doc.AddTextRawNoTag("a", 40, 0);
    Doc.AddTextRawNoTag("b", RDMaxInt, 9);
    EXPECT_EQ(Doc.CodePageOfStyle(40), 1252u);
    EXPECT_EQ(Doc.EffectiveStyleOfItem(1), 2);
    EXPECT_EQ(Doc.ItemTextAsAnsi(0), QByteArray("a"));
}

}  // namespace
