#include <gtest/gtest.h>

#include <QtCore/QCoreApplication>
#include <QtGui/QFontInfo>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtWidgets/QWidget>

#include <memory>
#include <ostream>
#include <random>
#include <tuple>
#include <vector>

#include "layout/CRDFData.h"
#include "RDLayoutTestSupport.h"
#include "text/RDTextCanvas.h"
#include "items/RDControlItems.h"
#include "styles/RDListStyles.h"
#include "items/RDMarkerItems.h"
#include "document/RDTextItems.h"
#include "text/RDTextMeasure.h"

namespace {

// A sheet whose text style 0 is "Courier New" 15 pt, drawn as Liberation Mono 20 px.
class TLayoutSheet : public TRDStyle {
public:
    TLayoutSheet()
    {
        TFontInfo* f = TextStyles().Items(0);
        f->FontName = QStringLiteral("Courier New");
        f->Size = 15;
    }
};

// A picture-like item that records where the layout placed it.
class TPlacedItem : public TRDRectItemInfo {
public:
    explicit TPlacedItem(TCustomRDData* data) : TRDRectItemInfo(data) { StyleNo = -20; }
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* data) const override { return new TPlacedItem(data); }
    int GetWidthEx() const override { return 30; }
    int GetHeightEx() const override { return 20; }
    bool GetBoolValueEx(int id, const TRDStyle* sheet) const override
    {
        return id == 2 ? Link : TRDRectItemInfo::GetBoolValueEx(id, sheet);
    }
    void SetPosition(int left, int top, bool) override { Places.emplace_back(left, top); }
    void BuildJumps(int left, int top, int&, std::vector<std::unique_ptr<TRDJumpInfo>>&) override
    {
        JumpPlaces.emplace_back(left, top);
    }
    bool Link = false;
    std::vector<std::pair<int, int>> Places, JumpPlaces;
};

using Jump = std::tuple<int, int, int, int, int, int>;  // Id, DrawItemNo, Left, Top, Width, Height

std::vector<Jump> Jumps(const TLayoutData& d)
{
    std::vector<Jump> r;
    for (const auto& j : d.JumpList)
        r.emplace_back(j->Id, j->DrawItemNo, j->Left, j->Top, j->Width, j->Height);
    return r;
}

std::vector<int> JumpIds(const TLayoutData& d)
{
    std::vector<int> r;
    for (int i = 0; i < d.ItemCount(); ++i)
        r.push_back(d.ItemAt(i)->JumpIndex);
    return r;
}

// Adds a text style in the font at 15 pt (11 pt: 15 px); answers it and its number.
TFontInfo* AddTextStyle(TRDStyle& sheet, const QString& font, int& number, int size = 15)
{
    TFontInfo* f = sheet.TextStyles().Add();
    f->FontName = font;
    f->Size = size;
    number = sheet.TextStyles().Count() - 1;
    return f;
}

QByteArray Utf16(const QString& s)
{
    return QByteArray(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
}

using Box = std::tuple<int, int, int, int, int, int>;  // Left, Top, Width, Height, Offs, Length

std::vector<Box> Boxes(const TLayoutData& d)
{
    std::vector<Box> r;
    for (int i = 0; i < d.DrawItems.Count(); ++i) {
        const TRDDrawLineInfo* x = d.DrawItems[i];
        r.emplace_back(x->Left, x->Top, x->Width, x->Height, x->Offs, x->Length);
    }
    return r;
}

class RDLayoutTest : public ::testing::Test {
protected:
    TLayoutSheet Sheet;
    TLayoutData Doc{&Sheet};
};

TEST(RDDrawLinesTest, GapReplacesFewerOrMoreAndNoGapInsertsNormally)
{
    for (int replacement : {3, 5}) {
        TRDDrawLines lines;
        for (int i = 0; i < 8; ++i)
            lines.Add(new TRDDrawLineInfo(0, i, 1, 1, i, true));
        lines.BeginReplace(2, 6);  // five slots
        for (int k = 0; k < replacement; ++k)
            lines.InsertDrawItem(2 + k, new TRDDrawLineInfo(0, 100 + k, 1, 1, 100 + k, false));
        lines.EndReplace();
        ASSERT_EQ(lines.Count(), 8 - 5 + replacement);
        EXPECT_EQ(lines.GapCount, 0);
        EXPECT_EQ(lines[2 + replacement]->ItemNo, 7);
        EXPECT_EQ(lines[1]->ItemNo, 1);
        EXPECT_EQ(lines[1 + replacement]->ItemNo, 100 + replacement - 1);
    }
    TRDDrawLines lines;
    for (int i = 0; i < 3; ++i)
        lines.Add(new TRDDrawLineInfo(0, 0, 1, 1, i, true));
    lines.BeginReplace(1, 0);
    EXPECT_EQ(lines.GapCount, 0);
    lines.InsertDrawItem(1, new TRDDrawLineInfo(0, 0, 1, 1, 9, false));
    EXPECT_EQ(lines.Count(), 4);
    EXPECT_EQ(lines[2]->ItemNo, 1);
    EXPECT_TRUE(lines[0]->StartsLine());
    EXPECT_EQ(lines[0]->FromNewLine, 255);
}

TEST(RDDrawLinesTest, TakenPieceIsNotFreedAndLeavesItsSlot)
{
    TRDDrawLines lines;
    for (int i = 0; i < 4; ++i)
        lines.Add(std::make_unique<TRDDrawLineInfo>(0, i, 1, 1, i, true));
    TRDDrawLineInfo* second = lines[1];
    std::unique_ptr<TRDDrawLineInfo> taken = lines.TakeDrawItem(1);
    EXPECT_EQ(taken.get(), second);
    ASSERT_EQ(lines.Count(), 3);
    EXPECT_EQ(lines[1]->ItemNo, 2);
    lines.InsertDrawItem(1, std::move(taken));
    EXPECT_EQ(lines[1], second);
    // In an open gap the slot taken from joins the gap.
    lines.BeginReplace(2, 3);
    taken = lines.TakeDrawItem(1);
    EXPECT_EQ(taken.get(), second);
    EXPECT_EQ(lines.GapStart, 1);
    EXPECT_EQ(lines.GapCount, 3);
    lines.InsertDrawItem(1, std::move(taken));
    lines.EndReplace();
    ASSERT_EQ(lines.Count(), 2);
    EXPECT_EQ(lines[1], second);
}

TEST_F(RDLayoutTest, DrawItemSubTextClipsToThePieceAndIsEmptyPastIt)
{
    Doc.AddTextRawNoTag("abcdefgh", 0, 0);
    TRDDrawLines lines;
    auto* d = new TRDDrawLineInfo(0, 0, 1, 1, 0, true);
    d->Offs = 3;
    d->Length = 4;
    lines.Add(d);
    EXPECT_EQ(lines.GetDrawItemText(0, Doc), "cdef");
    EXPECT_EQ(lines.GetDrawItemSubText(0, Doc, 10, 2), "def");
    EXPECT_EQ(lines.GetDrawItemSubText(0, Doc, 2, 1), "cd");
    EXPECT_EQ(lines.GetDrawItemSubText(0, Doc, 2, 5), "");
}

TEST_F(RDLayoutTest, FixtureFontMeasuresTwelveByTwentyThree)
{
    TRDFontInfoCache cache(&Doc, &Sheet, Doc.Canvas.get(), false);
    TRDFontInfoCacheItem* e = cache.GetItems(0);
    // the platform's font mapping stands in for "Courier New"
    EXPECT_EQ(QFontInfo(e->Font).family(), QStringLiteral("Liberation Mono"));
    EXPECT_EQ(e->TextMetric.tmAscent, 17);
    EXPECT_EQ(e->TextMetric.tmDescent, 6);
    EXPECT_EQ(ItemTextWidth("a", *Doc.Canvas, 0), 12);
    cache.GetItems(0);
    cache.GetItems(99);  // an unknown style is measured as style 0
    EXPECT_EQ(cache.MeasuredCount, 1);
}

TEST_F(RDLayoutTest, EmptyDocumentIsBothMargins)
{
    Doc.Format();
    EXPECT_EQ(Doc.DrawItems.Count(), 0);
    EXPECT_EQ(Doc.DocumentHeight, 10);
    int off, d;
    Doc.FindDrawItemAtPos(10, 10, false, off, d);
    EXPECT_EQ(d, -1);
    EXPECT_EQ(Doc.FindDrawItemByY(3, 1), -1);
}

TEST_F(RDLayoutTest, WrapsWordsAtTheClientWidth)
{
    struct Case {
        const char* text;
        int width;
        uint16_t flags;
        std::vector<Box> boxes;
        int height;
    };
    const std::vector<Case> cases = {
        {"aaa bbb ccc ddd", 118, cfSwallowWrapSpaces, {{5, 5, 84, 23, 1, 7}, {5, 28, 84, 23, 9, 7}}, 56},
        // two spaces at the wrap both vanish
        {"aaa bbb  ccc", 118, cfSwallowWrapSpaces, {{5, 5, 84, 23, 1, 7}, {5, 28, 36, 23, 10, 3}}, 56},
        // a word wider than the line is cut at the last fitting character
        {"abcdefghijkl", 118, cfSwallowWrapSpaces, {{5, 5, 108, 23, 1, 9}, {5, 28, 36, 23, 10, 3}}, 56},
        // not even one character fits: one is placed anyway
        {"ab", 16, cfSwallowWrapSpaces, {{5, 5, 12, 23, 1, 1}, {5, 28, 12, 23, 2, 1}}, 56},
        // without swallowing the space is kept on the line, then trimmed when the next line opens
        {"aaa bbb ccc ddd", 118, 0, {{5, 5, 84, 23, 1, 7}, {5, 28, 84, 23, 9, 7}}, 56},
        // a space as the whole wrapped piece goes
        {"aaaaaaaaa b", 118, cfSwallowWrapSpaces, {{5, 5, 108, 23, 1, 9}, {5, 28, 12, 23, 11, 1}}, 56},
    };
    for (const Case& c : cases) {
        TLayoutData doc(&Sheet);
        doc.ClientWidth = c.width;
        doc.ControlFlags = c.flags;
        doc.AddTextRawNoTag(c.text, 0, 0);
        doc.Format();
        EXPECT_EQ(Boxes(doc), c.boxes) << c.text << " " << c.flags;
        EXPECT_EQ(doc.DocumentHeight, c.height) << c.text;
    }
}

TEST_F(RDLayoutTest, MaxLengthLimitsEveryLine)
{
    Doc.MaxLength = 3;
    Doc.ClientWidth = 500;
    Doc.AddTextRawNoTag("abcdefg", 0, 0);
    Doc.Format();
    std::vector<Box> expected = {{5, 5, 36, 23, 1, 3}, {5, 28, 36, 23, 4, 3}, {5, 51, 12, 23, 7, 1}};
    EXPECT_EQ(Boxes(Doc), expected);
}

TEST_F(RDLayoutTest, AlignmentAndLineSpacing)
{
    Sheet.ParaStyles().Add();  // 1 right
    Sheet.ParaStyles().Add();  // 2 centre
    Sheet.ParaStyles().Add();  // 3 justified
    Sheet.ParaStyles().Add();  // 4 150 %
    Sheet.ParaStyles().Add();  // 5 space between 10
    Sheet.ParaStyles().Items(1)->Alignment = TRDAlignment::rdaRight;
    Sheet.ParaStyles().Items(2)->Alignment = TRDAlignment::rdaCenter;
    Sheet.ParaStyles().Items(3)->Alignment = TRDAlignment::rdaJustify;
    Sheet.ParaStyles().Items(4)->LineSpacing = 150;
    Sheet.ParaStyles().Items(5)->LineSpacingType = TRDLineSpacingType::rdlsSpaceBetween;
    Sheet.ParaStyles().Items(5)->LineSpacing = 10;
    Doc.ClientWidth = 118;
    Doc.AddTextRawNoTag("ab", 0, 1);
    Doc.AddTextRawNoTag("ab", 0, 2);
    Doc.AddTextRawNoTag("a b c dd xx", 0, 3);  // first line "a b c dd" 96 wide in 108: 12 spare? no: 8 chars
    Doc.AddTextRawNoTag("ab", 0, 4);
    Doc.AddTextRawNoTag("ab", 0, 5);
    Doc.Format();
    EXPECT_EQ(Doc.DrawItems[0]->Left, 5 + 108 - 24);
    EXPECT_EQ(Doc.DrawItems[1]->Left, 5 + (108 - 24) / 2);
    // justified: "a", " b", " c", " dd" on the first line, 108 - 96 = 12 spare over three space-initial pieces
    int j = 2;
    EXPECT_EQ(Doc.DrawItems[j]->Length, 1);
    EXPECT_EQ(Doc.DrawItems[j + 1]->JustifyExtra + Doc.DrawItems[j + 2]->JustifyExtra
                  + Doc.DrawItems[j + 3]->JustifyExtra,
              12);
    EXPECT_EQ(Doc.DrawItems[j + 3]->Left + Doc.DrawItems[j + 3]->Width, 5 + 108);
    int k = Doc.DrawItems.Count() - 2;
    EXPECT_EQ(Doc.DrawItems[k]->ExtraSpaceBelow, 23 / 2);
    EXPECT_EQ(Doc.DrawItems[k + 1]->ExtraSpaceBelow, 10);
    EXPECT_EQ(Doc.DrawItems[k + 1]->Top, Doc.DrawItems[k]->Top + 23 + 11);
}

TEST_F(RDLayoutTest, JustifiedSpareGoesThreeThreeFour)
{
    Sheet.ParaStyles().Add()->Alignment = TRDAlignment::rdaJustify;
    // "a b c d" = 7 chars = 84 px in 94 px: 10 spare over " b", " c", " d"
    Doc.ClientWidth = 104;
    Doc.AddTextRawNoTag("a b c d eeeeee", 0, Sheet.ParaStyles().Count() - 1);
    Doc.Format();
    ASSERT_GE(Doc.DrawItems.Count(), 5);
    EXPECT_EQ(Doc.DrawItems[1]->JustifyExtra, 3);
    EXPECT_EQ(Doc.DrawItems[2]->JustifyExtra, 3);
    EXPECT_EQ(Doc.DrawItems[3]->JustifyExtra, 4);
    EXPECT_EQ(Doc.DrawItems[4]->JustifyExtra, 0);  // the last line stays left aligned
}

TEST_F(RDLayoutTest, BreakItemAndNoWrapAndWidths)
{
    Sheet.ParaStyles().Add()->Options = rdpaoNoWrap;
    Doc.AddTextRawNoTag("aaa", 0, 0);
    Doc.AddItem("", new TRDBreakItemInfo(&Doc));
    Doc.ItemAt(1)->StyleNo = BreakStyleNo;
    Doc.Format();
    ASSERT_EQ(Doc.DrawItems.Count(), 2);
    EXPECT_EQ(Doc.DrawItems[1]->Height, 11);
    EXPECT_EQ(Doc.DrawItems[1]->Width, Doc.DocumentWidth);

    TLayoutData wide(&Sheet);
    wide.AddTextRawNoTag(QByteArray(200, 'x'), 0, Sheet.ParaStyles().Count() - 1);
    wide.AddTextRawNoTag("aaa bbb ccc", 0, 0);
    wide.Format();
    EXPECT_EQ(wide.TextWidth, 2400);
    EXPECT_EQ(wide.DrawItems[0]->Width, 2400);
    EXPECT_EQ(wide.DocumentWidth, 2400);

    TLayoutData minmax(&Sheet);
    minmax.MinText = 500;
    minmax.AddTextRawNoTag("aaa", 0, 0);
    minmax.Format();
    EXPECT_EQ(minmax.TextWidth, 500);
    minmax.MinText = 0;
    minmax.MaxText = 300;
    minmax.ClientWidth = 700;
    minmax.Format();
    EXPECT_EQ(minmax.DocumentWidth, 300);
}

TEST_F(RDLayoutTest, ChineseWrapsBetweenWholeCharacters)
{
    int gb = 0, wide = 0;
    AddTextStyle(Sheet, QStringLiteral("宋体"), gb)->Charset = 134;
    AddTextStyle(Sheet, QStringLiteral("宋体"), wide)->Unicode = true;
    QByteArray gbk;
    QString ideographs;
    for (int i = 0; i < 20; ++i) {
        gbk += "\xd6\xd0";  // 中
        ideographs += QChar(0x4E2D + i % 3);
    }
    Doc.AddTextRawNoTag(gbk, gb, 0);
    Doc.AddTextRawNoTag(Utf16(ideographs), wide, 0);
    Doc.Format();
    int gbPieces = 0, widePieces = 0;
    for (int i = 0; i < Doc.DrawItems.Count(); ++i) {
        const TRDDrawLineInfo* d = Doc.DrawItems[i];
        if (d->ItemNo == 0) {
            ++gbPieces;
            EXPECT_EQ(d->Length % 2, 0) << i;
            EXPECT_EQ(d->Offs % 2, 1) << i;
        } else {
            ++widePieces;
        }
        EXPECT_LE(d->Left + d->Width, 5 + 108) << i;
    }
    // both wrap between characters, not as one unbreakable word
    EXPECT_GT(gbPieces, 1);
    EXPECT_GT(widePieces, 1);
    int chars = 0;
    for (int i = 0; i < Doc.DrawItems.Count(); ++i)
        if (Doc.DrawItems[i]->ItemNo == 1)
            chars += Doc.DrawItems[i]->Length;
    EXPECT_EQ(chars, 20);
}

TEST_F(RDLayoutTest, PositionsRoundTripAndSwallowedSpaceMapsToTheEarlierEnd)
{
    Doc.AddTextRawNoTag("aaa bbb ccc ddd", 0, 0);
    Doc.AddTextRawNoTag("xy", 0, 0);
    Doc.Format();
    for (int item = 0; item < Doc.ItemCount(); ++item)
        for (int off = 1; off <= Doc.ItemLengthOf(item) + 1; ++off) {
            int dOff, d, iOff, i;
            Doc.ItemPosToDrawPos(item, off, dOff, d);
            ASSERT_GE(d, 0);
            Doc.DrawPosToItemPos(d, dOff, iOff, i);
            if (item == 0 && off == 9) {  // the space swallowed at the wrap
                EXPECT_EQ(d, 0);
                EXPECT_EQ(dOff, 8);
                continue;
            }
            EXPECT_EQ(i, item);
            EXPECT_EQ(iOff, off) << item << ":" << off;
        }
    // every caret stop's point maps back to it (12 pixels a character)
    for (int d = 0; d < Doc.DrawItems.Count(); ++d) {
        const TRDDrawLineInfo* di = Doc.DrawItems[d];
        for (int o = 1; o <= di->Length + 1; ++o) {
            int off = -1, hit = -1;
            Doc.FindDrawItemAtPos(di->Left + 12 * (o - 1), di->Top + 3, true, off, hit);
            if (o == di->Length + 1)  // the right edge belongs to no piece in strict mode
                Doc.FindDrawItemAtPos(di->Left + 12 * (o - 1), di->Top + 3, false, off, hit);
            EXPECT_EQ(std::make_pair(hit, off), std::make_pair(d, o));
        }
    }
    int off, d;
    Doc.FindDrawItemAtPos(0, 10, false, off, d);  // left of the first line
    EXPECT_EQ(d, 0);
    EXPECT_EQ(off, 1);
    Doc.FindDrawItemAtPos(500, 10, false, off, d);  // right of it
    EXPECT_EQ(d, 0);
    EXPECT_EQ(off, 8);
    Doc.FindDrawItemAtPos(5 + 12 * 2 + 7, 30, false, off, d);  // past the middle of the third character
    EXPECT_EQ(d, 1);
    EXPECT_EQ(off, 4);
    Doc.FindDrawItemAtPos(5 + 12 * 2 + 5, 30, false, off, d);  // before it
    EXPECT_EQ(off, 3);
    Doc.FindDrawItemAtPos(10, 1000, false, off, d);  // below the last line
    EXPECT_EQ(d, Doc.DrawItems.Count() - 1);
}

// Everything a pass leaves: every draw item's fields and every item's first draw item.
using Piece = std::tuple<int, int, int, int, int, int, int, bool, int, int>;
struct TLayoutCapture {
    std::vector<Piece> Pieces;
    std::vector<int> FirstDrawItems;
    bool operator==(const TLayoutCapture&) const = default;
};

TLayoutCapture Capture(const TLayoutData& d)
{
    TLayoutCapture r;
    for (int i = 0; i < d.DrawItems.Count(); ++i) {
        const TRDDrawLineInfo* x = d.DrawItems[i];
        r.Pieces.emplace_back(x->ItemNo, x->Left, x->Top, x->Width, x->Height, x->Offs, x->Length, x->StartsLine(),
                              x->JustifyExtra, x->ExtraSpaceBelow);
    }
    for (int i = 0; i < d.ItemCount(); ++i)
        r.FirstDrawItems.push_back(d.ItemAt(i)->FirstDrawItem);
    return r;
}

std::ostream& operator<<(std::ostream& os, const TLayoutCapture& c)
{
    for (const Piece& p : c.Pieces)
        os << "(" << std::get<0>(p) << ": " << std::get<1>(p) << "," << std::get<2>(p) << " " << std::get<3>(p) << "x"
           << std::get<4>(p) << " " << std::get<5>(p) << "+" << std::get<6>(p) << (std::get<7>(p) ? " new" : "") << " j"
           << std::get<8>(p) << " s" << std::get<9>(p) << ") ";
    os << "first:";
    for (int f : c.FirstDrawItems)
        os << " " << f;
    return os;
}

TEST_F(RDLayoutTest, PartialFormattingEqualsAFullPass)
{
    int link = 0;
    AddTextStyle(Sheet, QStringLiteral("Courier New"), link)->Jump = true;
    Sheet.ParaStyles().Add()->Alignment = TRDAlignment::rdaJustify;
    Sheet.ParaStyles().Add()->BiDiMode = TRDBiDiMode::rdbdRightToLeft;
    TParaInfo* spaced = Sheet.ParaStyles().Add();
    spaced->SpaceBefore = 7;
    spaced->SpaceAfter = 4;
    spaced->LineSpacing = 150;
    const int paras[] = {0, Sheet.ParaStyles().Count() - 3, Sheet.ParaStyles().Count() - 2,
                         Sheet.ParaStyles().Count() - 1};
    int operations[7] = {};
    for (bool active : {true, false}) {
        TLayoutData doc(&Sheet);
        if (active)
            doc.ControlFlags |= cfJumpsActive;
        std::mt19937 rng(25);
        const char* words[] = {"a", "bb", "ccc", "dddd", "eeeee", "ffffff"};
        auto randomText = [&]() {
            QByteArray s;
            int n = 1 + int(rng() % 8);
            for (int k = 0; k < n; ++k)
                s += QByteArray(k ? " " : "") + words[rng() % 6];
            return s;
        };
        auto addRandom = [&]() {
            int style = rng() % 3 == 0 ? link : 0;
            doc.AddTextRawNoTag(randomText(), style, rng() % 2 ? paras[rng() % 4] : -1);
        };
        for (int i = 0; i < 12; ++i)
            addRandom();
        doc.ItemAt(0)->SetContinuesPara(false);
        doc.Format();
        for (int round = 0; round < 120; ++round) {
            int item = int(rng() % doc.ItemCount());
            int first = doc.FirstDrawItemOfItem(item);
            int last = doc.LastDrawItemOfItem(item);
            bool text = doc.ItemAt(item)->StyleNo >= 0;
            int delta = 0;
            int op = int(rng() % 7);
            switch (op) {
            case 0:
            case 1:
            case 2:
                if (!text)
                    continue;
                if (op == 0)
                    doc.SetTextOfItem(item, randomText());
                else if (op == 1)
                    doc.SetTextOfItem(item, doc.TextOfItem(item) + " " + randomText());
                else
                    doc.SetTextOfItem(item, doc.TextOfItem(item).left(1));
                break;
            case 3:    // a new paragraph after the item
            case 4: {  // an item (text or picture) going on in the item's paragraph after it
                int at = item + 1;
                QByteArray added = op == 3 || rng() % 2 ? randomText() : QByteArray();
                TCustomRDItemInfo* made;
                if (added.isEmpty()) {
                    auto* picture = new TPlacedItem(&doc);
                    picture->Link = rng() % 2;
                    made = picture;
                } else {
                    made = TextItemClass(&doc);
                    made->StyleNo = rng() % 2 ? link : 0;
                }
                if (op == 3) {
                    made->ParaNo = paras[rng() % 4];
                } else {
                    made->ParaNo = doc.ItemAt(item)->ParaNo;
                    made->SetContinuesPara(true);
                }
                bool all = false;
                int list = -1;
                doc.InsertItem(at, added, made, true, all, list);
                delta = 1;
                break;
            }
            case 5:  // the next paragraph goes, when the item has one of one item after it
                if (item + 1 >= doc.ItemCount() || !doc.ItemAt(item + 1)->StartsParagraph()
                    || (item + 2 < doc.ItemCount() && doc.ItemAt(item + 2)->ContinuesPara()))
                    continue;
                last = doc.LastDrawItemOfItem(item + 1);
                doc.DeleteItemRange(item + 1, 1);
                delta = -1;
                break;
            default:  // the item after it in its paragraph goes
                if (item + 1 >= doc.ItemCount() || !doc.ItemAt(item + 1)->ContinuesPara())
                    continue;
                last = doc.LastDrawItemOfItem(item + 1);
                doc.DeleteItemRange(item + 1, 1);
                delta = -1;
                break;
            }
            ++operations[op];
            doc.FormatParagraphsOfDrawRange(first, last, false, delta);
            TLayoutCapture partial = Capture(doc);
            std::vector<Jump> partialJumps = Jumps(doc);
            std::vector<int> partialIds = JumpIds(doc);
            int partialHeight = doc.DocumentHeight, partialCount = doc.JumpCount;
            doc.Format();
            ASSERT_EQ(partial, Capture(doc)) << "round " << round << ", operation " << op;
            ASSERT_EQ(partialHeight, doc.DocumentHeight) << round;
            ASSERT_EQ(partialJumps, Jumps(doc)) << round;
            ASSERT_EQ(partialIds, JumpIds(doc)) << round;
            ASSERT_EQ(partialCount, doc.JumpCount) << round;
        }
        EXPECT_GT(doc.JumpCount, 0);
        EXPECT_EQ(doc.JumpList.empty(), !active);
    }
    for (int op = 0; op < 7; ++op)
        EXPECT_GT(operations[op], 0) << op;  // every kind of change was tried
}

TEST_F(RDLayoutTest, ControlsArePlacedInClientCoordinatesAndLinksGetAreas)
{
    QWidget owner;
    QWidget child(&owner);
    Doc.ControlFlags |= cfJumpsActive;
    Doc.ClientWidth = 600;
    Doc.AddTextRawNoTag("ab", 0, 0);
    auto* picture = new TPlacedItem(&Doc);
    picture->Link = true;
    picture->ParaNo = -1;
    Doc.AddItem("", picture);
    Doc.VOffset = 3;
    Doc.Format();
    EXPECT_TRUE(picture->Places.empty());  // no owner: nothing to place
    Doc.Owner = &owner;
    Doc.Format();
    ASSERT_EQ(Doc.DrawItems.Count(), 2);
    const TRDDrawLineInfo* d = Doc.DrawItems[1];
    EXPECT_EQ(d->Left, 5 + 24);
    ASSERT_EQ(picture->Places.size(), 1u);
    EXPECT_EQ(picture->Places[0], std::make_pair(d->Left, d->Top - 3));
    ASSERT_EQ(Doc.PlacedReports.size(), 1u);
    EXPECT_EQ(Doc.PlacedReports[0], &Doc);
    ASSERT_EQ(Doc.JumpList.size(), 1u);
    EXPECT_EQ(Jumps(Doc)[0], Jump(0, 1, d->Left, d->Top, 30, 20));
    EXPECT_EQ(picture->JumpIndex, 0);
    // the item was asked for jump areas of its own where it stands
    ASSERT_FALSE(picture->JumpPlaces.empty());
    EXPECT_EQ(picture->JumpPlaces.back(), std::make_pair(d->Left, d->Top));

    Doc.ControlFlags |= cfNoControlPlacing;
    Doc.Format();
    EXPECT_EQ(picture->Places.size(), 1u);
}

TEST_F(RDLayoutTest, KeepSelectionKeepsTheTopItemAndTheSelection)
{
    for (int i = 0; i < 30; ++i)
        Doc.AddTextRawNoTag("aaa bbb ccc ddd eee", 0, 0);
    Doc.ClientWidth = 300;
    Doc.Format();
    int top = Doc.ItemAt(10)->FirstDrawItem;
    Doc.VOffset = Doc.DrawItems[top]->Top + 4;
    Doc.SetSelectionBounds(12, 5, 14, 3);
    int anchor = Doc.DrawItems[Doc.FindDrawItemByY(Doc.VOffset, 1)]->ItemNo;
    int dist = Doc.VOffset - Doc.DrawItems[Doc.ItemAt(anchor)->FirstDrawItem]->Top;
    Doc.ClientWidth = 118;
    Doc.DoFormat(true, true, true, true, false, nullptr, 0, false);
    EXPECT_EQ(Doc.VOffset, Doc.DrawItems[Doc.ItemAt(anchor)->FirstDrawItem]->Top + dist);
    int a, ao, b, bo;
    Doc.GetSelectionBounds(a, ao, b, bo, false);
    EXPECT_EQ(std::make_tuple(a, ao, b, bo), std::make_tuple(12, 5, 14, 3));
}

TEST_F(RDLayoutTest, AppendingFormatsOnlyNewItems)
{
    Doc.AddTextRawNoTag("aaa", 0, 0);
    Doc.Format();
    auto* first = Doc.DrawItems[0];
    Doc.AddTextRawNoTag("bbb", 0, 0);
    Doc.DoFormat(false, false, false, false, true, nullptr, 0, false);
    ASSERT_EQ(Doc.DrawItems.Count(), 2);
    EXPECT_EQ(Doc.DrawItems[0], first);
    EXPECT_EQ(Doc.DrawItems[1]->Top, 28);
    EXPECT_EQ(Doc.DocumentHeight, 56);
}

TEST_F(RDLayoutTest, StylesTheSheetDoesNotHoldAreLaidOutAsStyleZero)
{
    Doc.AddTextRawNoTag("aaa", 0, 0);
    Doc.ItemAt(0)->StyleNo = 77;
    Doc.ItemAt(0)->ParaNo = 55;
    Doc.Format();
    ASSERT_EQ(Doc.DrawItems.Count(), 1);
    EXPECT_EQ(Doc.DrawItems[0]->Width, 36);
    EXPECT_EQ(Doc.ItemAt(0)->StyleNo, 77);
    EXPECT_EQ(Doc.ItemAt(0)->ParaNo, 55);
}

TEST_F(RDLayoutTest, ANarrowingClientGivesExactlyOneRepeat)
{
    Doc.AddTextRawNoTag("aaa bbb ccc ddd", 0, 0);
    Doc.ClientWidth = 130;
    Doc.NarrowBy = 12;
    Doc.Format();
    EXPECT_EQ(Doc.SizeReports, 2);
    EXPECT_EQ(Doc.DocumentWidth, 130 - 12 - 10);
    EXPECT_FALSE(Doc.State & dsFormatting);
}

TEST_F(RDLayoutTest, RightToLeftLineKeepsLeftToRightWordsInReadingOrder)
{
    TParaInfo* rtl = Sheet.ParaStyles().Add();
    rtl->BiDiMode = TRDBiDiMode::rdbdRightToLeft;
    int para = Sheet.ParaStyles().Count() - 1;
    int heb = 0;
    AddTextStyle(Sheet, QStringLiteral("DejaVu Sans"), heb)->Unicode = true;
    Doc.ClientWidth = 600;
    Doc.AddTextRawNoTag("one", 0, para);
    Doc.AddTextRawNoTag("two", 0, -1);
    Doc.AddTextRawNoTag(Utf16(QString::fromUtf8(" שלום")), heb, -1);
    Doc.Format();
    ASSERT_EQ(Doc.DrawItems.Count(), 3);
    const TRDDrawLineInfo* one = Doc.DrawItems[0];
    const TRDDrawLineInfo* two = Doc.DrawItems[1];
    const TRDDrawLineInfo* shalom = Doc.DrawItems[2];
    // visually: the Hebrew word, then "one two" as written
    EXPECT_EQ(shalom->Left, 5);
    EXPECT_EQ(one->Left, shalom->Left + shalom->Width);
    EXPECT_EQ(two->Left, one->Left + one->Width);

    TRDBiDiMode first, last;
    Doc.GetSegmentDirections(2, first, last);
    EXPECT_EQ(first, TRDBiDiMode::rdbdRightToLeft);  // a space: the paragraph's direction
    EXPECT_EQ(last, TRDBiDiMode::rdbdRightToLeft);
    Doc.GetSegmentDirections(0, first, last);
    EXPECT_EQ(first, TRDBiDiMode::rdbdLeftToRight);
    EXPECT_EQ(last, TRDBiDiMode::rdbdLeftToRight);

    // a left-to-right paragraph keeps the logical order
    TLayoutData ltr(&Sheet);
    ltr.ClientWidth = 600;
    Sheet.ParaStyles().Add()->BiDiMode = TRDBiDiMode::rdbdLeftToRight;
    ltr.AddTextRawNoTag("one", 0, Sheet.ParaStyles().Count() - 1);
    ltr.AddTextRawNoTag(Utf16(QString::fromUtf8("שלום")), heb, -1);
    ltr.AddTextRawNoTag("two", 0, -1);
    ltr.Format();
    ASSERT_EQ(ltr.DrawItems.Count(), 3);
    EXPECT_LT(ltr.DrawItems[0]->Left, ltr.DrawItems[1]->Left);
    EXPECT_LT(ltr.DrawItems[1]->Left, ltr.DrawItems[2]->Left);
}

TEST_F(RDLayoutTest, RightToLeftFirstLineMovesLeftByTheFirstIndent)
{
    TParaInfo* rtl = Sheet.ParaStyles().Add();
    rtl->BiDiMode = TRDBiDiMode::rdbdRightToLeft;
    rtl->FirstIndent = 24;
    Doc.ClientWidth = 118;
    Doc.AddTextRawNoTag("aaa bbb ccc", 0, Sheet.ParaStyles().Count() - 1);
    Doc.Format();
    ASSERT_EQ(Doc.DrawItems.Count(), 2);
    EXPECT_EQ(Doc.DrawItems[0]->Left, 5 + 24 - 24);  // the first line's indent taken back
    EXPECT_EQ(Doc.DrawItems[1]->Left, 5);
}

TEST_F(RDLayoutTest, DrawItemAtPointAgreesWithAScanOfEveryPiece)
{
    Doc.ClientWidth = 200;
    Doc.AddTextRawNoTag("aaa bbb ccc ddd eee fff ggg", 0, 0);
    auto* tall = new TPlacedItem(&Doc);  // raises its line
    tall->ParaNo = -1;
    Doc.AddItem("", tall);
    Doc.AddTextRawNoTag("hh ii", 0, -1);
    Doc.AddTextRawNoTag("jjj kkk lll mmm nnn", 0, 0);
    Doc.Format();
    ASSERT_GT(Doc.DrawItems.Count(), 6);
    for (int y = -2; y < Doc.DocumentHeight + 4; y += 3)
        for (int x = -2; x < 220; x += 5) {
            int expected = -1;
            for (int d = 0; d < Doc.DrawItems.Count() && expected < 0; ++d) {
                const TRDDrawLineInfo* di = Doc.DrawItems[d];
                if (x >= di->Left && x < di->Left + di->Width && y >= di->Top && y < di->Top + di->Height)
                    expected = d;
            }
            ASSERT_EQ(Doc.DrawItemAtPoint(x, y), expected) << x << "," << y;
        }
}

TEST_F(RDLayoutTest, WordsUnderThePointAndItemPositions)
{
    Doc.ClientWidth = 600;
    Doc.AddTextRawNoTag("aaa bbb, ccc", 0, 0);
    auto* picture = new TPlacedItem(&Doc);
    picture->ParaNo = -1;
    Doc.AddItem("pic", picture);
    Doc.VOffset = 2;
    Doc.Format();
    struct Case {
        int x;
        QByteArray word;
        int start;
        int item;
        int style;
    };
    // x in client coordinates; the text starts at 5, 12 pixels a character
    const std::vector<Case> cases = {
        {5 + 12 * 4 + 2, "bbb", 5, 0, 0},    // on "b"
        {5 + 12 * 6 + 11, "bbb", 5, 0, 0},   // the right edge of the last "b"
        {5 + 12 * 7 + 3, "", 8, 0, 0},       // on the comma
        {5 + 1, "aaa", 1, 0, 0},
        {5 + 12 * 11 + 3, "ccc", 10, 0, 0},
        {5 + 12 * 12 + 5, "pic", -1, 1, -20},  // a non-text item answers its text
    };
    int y = Doc.DrawItems[0]->Top + 5 - Doc.VOffset;
    for (const Case& c : cases) {
        QByteArray word;
        TCustomRDFormattedData* data = nullptr;
        int start = 0, item = 0, style = 0;
        ASSERT_TRUE(Doc.GetWordAt(word, c.x, data, start, item, style, y)) << c.x;
        EXPECT_EQ(word, c.word) << c.x;
        EXPECT_EQ(data, &Doc);
        if (c.start > 0) {
            EXPECT_EQ(start, c.start) << c.x;
        }
        EXPECT_EQ(item, c.item) << c.x;
        EXPECT_EQ(style, c.style) << c.x;
    }
    QByteArray word;
    TCustomRDFormattedData* data = nullptr;
    int start = 0, item = 0, style = 0;
    EXPECT_FALSE(Doc.GetWordAt(word, 5, data, start, item, style, 300));
    EXPECT_EQ(item, -1);

    bool special = true;
    int offset = 0;
    Doc.FindItemAtPos(5 + 12 * 4 + 7, Doc.DrawItems[0]->Top + 5, special, false, offset, item, data);
    EXPECT_EQ(std::make_tuple(item, offset, special, data), std::make_tuple(0, 6, false, &Doc));
    Doc.FindItemAtPos(5 + 12 * 12 + 20, Doc.DrawItems[0]->Top + 5, special, false, offset, item, data);
    EXPECT_EQ(std::make_pair(item, offset), std::make_pair(1, 1));

    TLayoutData empty(&Sheet);
    empty.FindItemAtPos(10, 10, special, false, offset, item, data);
    EXPECT_EQ(item, -1);

    // an item holding a document: the point goes on into it
    TLayoutData inner(&Sheet);
    inner.ClientWidth = 600;
    inner.AddTextRawNoTag("xyz", 0, 0);
    inner.Format();
    struct THolder : TPlacedItem {
        using TPlacedItem::TPlacedItem;
        TCustomRDData* Inner = nullptr;
        TCustomRDData* GetActiveSubDocumentAt(int, int) override { return Inner; }
    };
    TLayoutData outer(&Sheet);
    outer.ClientWidth = 600;
    auto* holder = new THolder(&outer);
    holder->Inner = &inner;
    outer.AddItem("", holder);
    outer.Format();
    const TRDDrawLineInfo* h = outer.DrawItems[0];
    inner.PointOriginX = h->Left;
    inner.PointOriginY = h->Top;
    // inner text starts at 5, 5 of the inner document: the second character's right half
    outer.FindItemAtPos(h->Left + 5 + 12 + 8, h->Top + 5 + 3, special, false, offset, item, data);
    EXPECT_EQ(data, &inner);
    EXPECT_EQ(std::make_pair(item, offset), std::make_pair(0, 3));
}

TEST_F(RDLayoutTest, RightToLeftPictureHalvesAreSwapped)
{
    Sheet.ParaStyles().Add()->BiDiMode = TRDBiDiMode::rdbdRightToLeft;
    Doc.ClientWidth = 600;
    auto* picture = new TPlacedItem(&Doc);
    picture->ParaNo = Sheet.ParaStyles().Count() - 1;
    Doc.AddItem("", picture);
    Doc.Format();
    const TRDDrawLineInfo* d = Doc.DrawItems[0];
    int off = -1, n = -1;
    Doc.FindDrawItemAtPos(d->Left + 3, d->Top + 3, false, off, n);
    EXPECT_EQ(off, 1);
    Doc.FindDrawItemAtPos(d->Left + d->Width - 3, d->Top + 3, false, off, n);
    EXPECT_EQ(off, 0);
}

// A list marker of list 0, level 0, 10 by 10 pixels.
class TTestMarker : public TRDMarkerItemInfo {
public:
    explicit TTestMarker(TCustomRDData* data) : TRDMarkerItemInfo(data, 0, 0, 1, false)
    {
        Width = Height = 10;
    }
    void OnDocWidthChange(int, TRDDrawLineInfo* drawItem, bool, TCanvas*, TCustomRDData*, const TRDResolutionInfo*,
                          int& extra, int& descent) override
    {
        drawItem->Width = Width;
        drawItem->Height = Height;
        extra = descent = 0;
    }
};

TEST_F(RDLayoutTest, ListLevelsGiveTheMarkerAndTextIndents)
{
    TRDListInfo* list = Sheet.ListStyles().Add();
    list->Levels.resize(1);
    list->Levels[0].MarkerIndent = 20;
    list->Levels[0].LeftIndent = 40;
    list->Levels[0].FirstIndent = 0;
    Doc.ClientWidth = 5 + 40 + 12 * 7 + 5;
    auto* marker = new TTestMarker(&Doc);
    Doc.AddItem("", marker);
    Doc.AddTextRawNoTag("aaa bbb ccc", 0, -1);
    Doc.Format();
    ASSERT_EQ(Doc.DrawItems.Count(), 3);
    EXPECT_EQ(Doc.DrawItems[0]->Left, 5 + 20);  // the marker
    EXPECT_EQ(Doc.DrawItems[1]->Left, 5 + 20 + 10);
    EXPECT_EQ(Doc.DrawItems[2]->Left, 5 + 40);  // wrapped lines at the level's indent
    EXPECT_EQ(Doc.DrawItems[2]->Offs, 9);
    // a click on the marker goes to the start of the text after it
    int off = -1, hit = -1;
    Doc.FindDrawItemAtPos(5 + 22, Doc.DrawItems[0]->Top + 2, false, off, hit);
    EXPECT_EQ(std::make_pair(hit, off), std::make_pair(1, 1));
    Doc.FindDrawItemAtPos(5 + 22, Doc.DrawItems[0]->Top + 2, true, off, hit);
    EXPECT_EQ(hit, 0);

    // a marker that measures itself: the wrapped lines still take the level's indent
    TLayoutData real(&Sheet);
    real.ClientWidth = Doc.ClientWidth;
    real.AddItem("", new TRDMarkerItemInfo(&real, 0, 0, 1, false));
    real.AddTextRawNoTag("aaa bbb ccc", 0, -1);
    real.Format();
    ASSERT_GE(real.DrawItems.Count(), 3);
    EXPECT_EQ(real.DrawItems[1]->Left, real.DrawItems[0]->Left + real.DrawItems[0]->Width);
    EXPECT_EQ(real.DrawItems[real.DrawItems.Count() - 1]->Left, 5 + 40);

    // a right-to-left paragraph moves the marker's line by the marker's shift
    TLayoutData rtl(&Sheet);
    Sheet.ParaStyles().Add()->BiDiMode = TRDBiDiMode::rdbdRightToLeft;
    rtl.ClientWidth = 600;
    auto* m = new TTestMarker(&rtl);
    m->LeftShift = 7;
    m->ParaNo = Sheet.ParaStyles().Count() - 1;
    rtl.AddItem("", m);
    rtl.AddTextRawNoTag("aaa", 0, -1);
    rtl.Format();
    ASSERT_EQ(rtl.DrawItems.Count(), 2);
    int markerLeft = std::min(rtl.DrawItems[0]->Left, rtl.DrawItems[1]->Left);
    EXPECT_EQ(markerLeft, 5 + 7);  // the level's left indent is on the right in this direction
}

TEST_F(RDLayoutTest, PartialPassRepaintsItsBandOrDownToTheEnd)
{
    Doc.ClientHeight = 200;
    for (int i = 0; i < 6; ++i)
        Doc.AddTextRawNoTag("aaa bbb", 0, 0);  // one line a paragraph, 23 high
    Doc.Format();
    Doc.VOffset = 20;
    // same height: only the band of paragraph 2 (document y 51..74)
    Doc.SetTextOfItem(2, "ccc ddd");
    Doc.FormatParagraphsOfDrawRange(2, 2, false, 0);
    ASSERT_EQ(Doc.Invalidated.size(), 1u);
    EXPECT_EQ(Doc.Invalidated[0], QRect(QPoint(0, 51 - 20 - 10), QPoint(118 - 1, 74 - 20 + 10 - 1)));
    EXPECT_EQ(Doc.Updates, 0);
    int reports = Doc.SizeReports;
    // one more line: everything below moves, repainted down to the client's bottom
    Doc.SetTextOfItem(2, "ccc ddd eee");
    Doc.FormatParagraphsOfDrawRange(2, 2, true, 0);
    ASSERT_EQ(Doc.Invalidated.size(), 2u);
    EXPECT_EQ(Doc.Invalidated[1], QRect(QPoint(0, 51 - 20 - 10), QPoint(118 - 1, std::min(5 + 7 * 23 - 20 + 10, 200) - 1)));
    EXPECT_EQ(Doc.Updates, 1);
    EXPECT_EQ(Doc.DocumentHeight, 10 + 7 * 23);
    EXPECT_EQ(Doc.SizeReports, reports + 1);  // the owner hears of the new height
    EXPECT_FALSE(Doc.SkipNextFormat);
}

TEST_F(RDLayoutTest, AdvanceTableGivesTheMeasuredExtents)
{
    int style = 0;
    AddTextStyle(Sheet, QStringLiteral("Liberation Sans"), style, 11);
    TRDFontInfoCache cache(&Doc, &Sheet, Doc.Canvas.get(), false);
    TRDFontInfoCacheItem* e = cache.GetItems(style);
    struct Case {
        QByteArray text;
        int flags;
        bool simple;
    };
    const std::vector<Case> cases = {
        {"Listen to the sentence, and write it down!", 0, true},
        {"WAVY fill ij lT 1.5 (x) {y} ~", 0, true},
        {Utf16(QStringLiteral("Caf\u00e9 na\u00efve \u0141\u00f3d\u017a")), rdioUnicode, true},
        {"caf\xe9", 0, false},                                   // a byte of the code page's upper half
        {Utf16(QStringLiteral("\u4e2d\u6587 text")), rdioUnicode, false},  // ideographs
        {Utf16(QStringLiteral("a\u200bb")), rdioUnicode, false},           // a zero-width space
    };
    for (const Case& c : cases) {
        int count = (c.flags & rdioUnicode) ? int(c.text.size() / 2) : int(c.text.size());
        std::vector<int> table;
        int height = 0;
        ASSERT_EQ(e->SimpleExtents(c.text.constData(), count, c.flags, table, height), c.simple) << c.text.toHex().toStdString();
        if (!c.simple)
            continue;
        std::vector<int> measured;
        int fit = 0;
        QSize size;
        TextExtentEx(*Doc.Canvas, c.text.constData(), count, RDMaxInt, fit, &measured, c.flags, size);
        EXPECT_EQ(table, measured) << c.text.toHex().toStdString();
        EXPECT_EQ(height, size.height());
    }
}

TEST_F(RDLayoutTest, FitByExtentsKeepsWholeCharactersAndSoftHyphens)
{
    TRDFormatState st;
    st.Canvas = Doc.Canvas.get();
    Doc.Sheet->ApplyStyle(*st.Canvas, 0, TRDBiDiMode::rdbdUnspecified, false, nullptr, false);
    const QByteArray stored = Utf16(QStringLiteral("ab\u00adcd"));
    const QByteArray display = Utf16(QStringLiteral("ab\u200bcd"));  // extents 12 24 24 36 48
    struct Case {
        int free;
        int maxLength;
        bool wraps;
        int fit;
    };
    const std::vector<Case> cases = {
        {40, 0, true, 4},
        {36, 0, true, 4},
        {30, 0, true, 1},   // the hyphen after "ab" does not fit, and the next one is the hyphen
        {5, 0, true, 0},
        {100, 2, true, 2},  // MaxLength
        {5, 0, false, 5},   // no wrapping: everything
    };
    for (const Case& c : cases) {
        st.MaxLength = c.maxLength;
        EXPECT_EQ(Doc.FitCharsByExtentEx(display, stored, 0, 5, c.free, rdioUnicode, st, c.wraps, 12), c.fit)
            << c.free;
    }
    st.MaxLength = 0;
    // a surrogate pair is never split
    const QByteArray pair = Utf16(QStringLiteral("a\U0001F600b"));
    int one = ItemTextWidth(Utf16(QStringLiteral("a")), *st.Canvas, rdioUnicode);
    EXPECT_EQ(Doc.FitCharsByExtentEx(pair, pair, 0, 4, one + 1, rdioUnicode, st, true, 12), 1);
    // nor a GB18030 character
    int song = 0;
    AddTextStyle(Sheet, QStringLiteral("宋体"), song)->Charset = 134;
    Doc.Sheet->ApplyStyle(*st.Canvas, song, TRDBiDiMode::rdbdUnspecified, false, nullptr, false);
    const QByteArray gbk = "\xd6\xd0\xce\xc4\xd6\xd0";  // three ideographs
    int w = ItemTextWidth(gbk.left(2), *st.Canvas, 0);
    EXPECT_EQ(Doc.FitCharsByExtentEx(gbk, gbk, 0, 6, w + w / 2, 0, st, true, 12), 2);
    EXPECT_EQ(Doc.FitCharsByExtentEx(gbk, gbk, 0, 6, w - 1, 0, st, true, 12), 0);
}

TEST_F(RDLayoutTest, EmbeddedControlMovesToItsPlaceInTheClient)
{
    QWidget owner;
    owner.resize(600, 400);
    Doc.Owner = &owner;
    Doc.ClientWidth = 600;
    Doc.VOffset = 4;
    Doc.AddTextRawNoTag("ab", 0, 0);
    auto* edit = new QWidget;
    edit->resize(40, 20);
    auto* item = new TRDControlItemInfo(&Doc, edit, TRDItemVAlign::ivaBaseline);
    item->ParaNo = -1;
    Doc.AddItem("", item);
    ASSERT_EQ(edit->parentWidget(), &owner);
    Doc.Format();
    ASSERT_EQ(Doc.DrawItems.Count(), 2);
    const TRDDrawLineInfo* d = Doc.DrawItems[1];
    EXPECT_EQ(edit->pos(), QPoint(d->Left + item->Spacing, d->Top - 4 + item->Spacing));
}

TEST_F(RDLayoutTest, ChangingAPieceWidthMovesItsLineByTheAlignment)
{
    struct Case {
        TRDAlignment align;
        std::vector<int> lefts;
    };
    const std::vector<Case> cases = {
        {TRDAlignment::rdaLeft, {5, 29, 59}},
        {TRDAlignment::rdaRight, {35, 59, 89}},
        {TRDAlignment::rdaCenter, {23, 47, 77}},
    };
    for (const Case& c : cases) {
        Sheet.ParaStyles().Add()->Alignment = c.align;
        TLayoutData doc(&Sheet);
        doc.AddTextRawNoTag("aa", 0, Sheet.ParaStyles().Count() - 1);
        doc.AddTextRawNoTag("bb", 0, -1);
        doc.AddTextRawNoTag("cc", 0, -1);
        doc.Format();
        doc.ChangeDrawItemWidth(1, 30);
        std::vector<int> lefts;
        for (int d = 0; d < doc.DrawItems.Count(); ++d)
            lefts.push_back(doc.DrawItems[d]->Left);
        EXPECT_EQ(lefts, c.lefts) << int(c.align);
    }
    // justified: the space-initial pieces give the growth back, the line still ends at the margin
    Sheet.ParaStyles().Add()->Alignment = TRDAlignment::rdaJustify;
    Doc.ClientWidth = 104;
    Doc.AddTextRawNoTag("a b c d eeeeee", 0, Sheet.ParaStyles().Count() - 1);
    Doc.Format();
    Doc.ChangeDrawItemWidth(1, Doc.DrawItems[1]->Width + 6);
    int extra = 0;
    for (int d = 0; d < 4; ++d)
        extra += Doc.DrawItems[d]->JustifyExtra;
    EXPECT_EQ(extra, 10 - 6);
    EXPECT_EQ(Doc.DrawItems[3]->Left + Doc.DrawItems[3]->Width, 5 + 94);
    EXPECT_EQ(Doc.DrawItems[2]->Left, Doc.DrawItems[1]->Left + Doc.DrawItems[1]->Width);
}

TEST_F(RDLayoutTest, RangeWidthsAndScrollingARectangleIntoView)
{
    Sheet.ParaStyles().Add()->Options = rdpaoNoWrap;
    int noWrap = Sheet.ParaStyles().Count() - 1;
    Doc.AddTextRawNoTag("aaaa", 0, noWrap);
    Doc.AddTextRawNoTag("bb", 0, -1);
    Doc.AddTextRawNoTag("cccccc", 0, 0);
    Doc.AddTextRawNoTag("dddddddddd", 0, noWrap);
    EXPECT_EQ(Doc.RangeWidthOf(0, 0), 72);  // a line that does not wrap counts whole
    EXPECT_EQ(Doc.RangeWidthOf(0, 3), 120);
    EXPECT_EQ(Doc.RangeWidthOf(2, 2), 20);  // text that wraps needs only an item's least width
    EXPECT_EQ(Doc.RangeWidthOf(3, 1), 0);
    EXPECT_EQ(Doc.SectionWidthOf(1), 72);
    EXPECT_EQ(Doc.MaxLineWidth(0, 3), 120);

    struct Case {
        int from, y, height, to;
    };
    const std::vector<Case> cases = {
        {0, 500, 20, 130},      // below: its bottom one step above the view's
        {130, 0, 20, 0},        // above: its top at the view's
        {100, 105, 1000, 100},  // taller than the view with its top shown: stays
        {0, 50, 20, 0},         // shown
    };
    for (const Case& c : cases) {
        Doc.VOffset = c.from;
        Doc.ScrollRectIntoView(5, c.y, 10, c.height);
        EXPECT_EQ(Doc.VOffset, c.to) << c.y;
    }
}

TEST_F(RDLayoutTest, ClearDropsDrawItemsSelectionAndHeight)
{
    Doc.AddTextRawNoTag("aaa bbb ccc", 0, 0);
    Doc.Format();
    Doc.SelectAll();
    int x = 0, y = 0;
    EXPECT_TRUE(Doc.GetItemCoords(0, x, y));
    Doc.Clear();
    EXPECT_EQ(Doc.DrawItems.Count(), 0);
    EXPECT_FALSE(Doc.DataSelectionExists());
    EXPECT_EQ(Doc.DocumentHeight, 10);
    EXPECT_FALSE(Doc.State & dsClearing);
    EXPECT_FALSE(Doc.GetItemCoords(0, x, y));
}

TEST_F(RDLayoutTest, RightAndCentreTabsPlaceTheTextAfterThem)
{
    struct Case {
        TRDTabAlign align;
        int stop;
        int tabWidth, textLeft, textTop;
    };
    const std::vector<Case> cases = {
        {TRDTabAlign::rdtaRight, 100, 47, 100 - 24, 5},   // the text ends at the stop
        {TRDTabAlign::rdtaCenter, 100, 59, 100 - 12, 5},  // centred on it
        {TRDTabAlign::rdtaRight, 300, 84, 113 - 24, 28},  // beyond the line: on the next, at its right edge
    };
    for (const Case& c : cases) {
        TParaInfo* para = Sheet.ParaStyles().Add();
        TRDTabInfo* tab = para->Tabs.Add();
        tab->SetPosition(c.stop);
        tab->Align = c.align;
        TLayoutData doc(&Sheet);
        doc.AddTextRawNoTag("ab", 0, Sheet.ParaStyles().Count() - 1);
        auto* item = new TRDTabItemInfo(&doc);
        item->StyleNo = TabStyleNo;
        item->ParaNo = -1;
        doc.AddItem("", item);
        doc.AddTextRawNoTag("cd", 0, -1);
        doc.Format();
        ASSERT_EQ(doc.DrawItems.Count(), 3);
        EXPECT_EQ(doc.DrawItems[1]->Width, c.tabWidth) << c.stop;
        EXPECT_EQ(doc.DrawItems[2]->Left, c.textLeft) << c.stop;
        EXPECT_EQ(doc.DrawItems[2]->Top, c.textTop) << c.stop;
    }
}

TEST_F(RDLayoutTest, CharacterSpacingIsScaledForAnotherDevice)
{
    int style = 0;
    AddTextStyle(Sheet, QStringLiteral("Courier New"), style)->CharSpacing = 2;
    for (int dpi : {96, 192}) {
        TLayoutData doc(&Sheet, dpi);
        doc.ClientWidth = 2000;
        doc.AddTextRawNoTag("aaa", style, 0);
        doc.Format();
        ASSERT_EQ(doc.DrawItems.Count(), 1);
        EXPECT_EQ(doc.DrawItems[0]->Width, 3 * (12 + 2 * dpi / 96)) << dpi;
    }
}

TEST_F(RDLayoutTest, EachStyleIsMeasuredOncePerPass)
{
    int b = 0;
    AddTextStyle(Sheet, QStringLiteral("Courier New"), b)->Style = fsBold;
    Doc.ClientWidth = 300;
    for (int i = 0; i < 20; ++i)
        Doc.AddTextRawNoTag("aaa bbb ccc ddd", i % 2 ? b : 0, i % 3 ? -1 : 0);
    Doc.Format();
    EXPECT_EQ(Doc.LastMeasured, 2);
    Doc.SetTextOfItem(5, "x");
    Doc.FormatParagraphsOfDrawRange(Doc.FirstDrawItemOfItem(5), Doc.LastDrawItemOfItem(5), false, 0);
    EXPECT_EQ(Doc.LastMeasured, 2);
}

TEST_F(RDLayoutTest, ItemsWithoutDrawItemsHaveNoDrawPositions)
{
    // a document never formatted
    Doc.AddTextRawNoTag("aaa bbb", 0, 0);
    int off = 0, d = 0, item = 0, x = 0, y = 0;
    Doc.ItemPosToDrawPos(0, 1, off, d);
    EXPECT_EQ(d, -1);
    Doc.DrawPosToItemPos(0, 1, off, item);
    EXPECT_EQ(item, -1);
    EXPECT_EQ(Doc.FindDrawItemByY(10, 1), -1);
    EXPECT_EQ(Doc.FindDrawItemByY(10, 3), -1);
    EXPECT_EQ(Doc.DrawItemAtPoint(10, 10), -1);
    EXPECT_EQ(Doc.GetFirstVisibleItemNo(), -1);
    EXPECT_EQ(Doc.GetLastVisibleItemNo(), -1);
    Doc.FindDrawItemAtPos(10, 10, false, off, d);
    EXPECT_EQ(d, -1);
    QByteArray word;
    TCustomRDFormattedData* data = nullptr;
    int start = 0, style = 0;
    EXPECT_FALSE(Doc.GetWordAt(word, 10, data, start, item, style, 10));
    Doc.SelectAll();
    EXPECT_EQ(Doc.GetSelStartNo(), -1);

    // items appended after the pass: none of their positions has a draw item
    Doc.Format();
    Doc.AddTextRawNoTag("ccc", 0, 0);
    auto* picture = new TPlacedItem(&Doc);
    picture->ParaNo = -1;
    Doc.AddItem("", picture);
    for (int i : {1, 2}) {
        for (int o : {0, 1, 2}) {
            Doc.ItemPosToDrawPos(i, o, off, d);
            EXPECT_EQ(d, -1) << i << ":" << o;
        }
        EXPECT_EQ(Doc.FirstDrawItemOfItem(i), -1) << i;
        EXPECT_EQ(Doc.LastDrawItemOfItem(i), -1) << i;
        EXPECT_FALSE(Doc.GetItemCoords(i, x, y)) << i;
    }
    // a selection with an end there is none; the formatted item still answers
    Doc.SetSelectionBounds(0, 2, 1, 2);
    EXPECT_EQ(Doc.GetSelStartNo(), -1);
    EXPECT_FALSE(Doc.DataSelectionExists());
    Doc.SetSelectionBounds(0, 2, 0, 4);
    EXPECT_TRUE(Doc.DataSelectionExists());
    // a pass that keeps the selection over them keeps it
    Doc.DoFormat(true, true, false, false, true, nullptr, 0, false);
    EXPECT_EQ(Doc.FirstDrawItemOfItem(1), 1);
    int a, ao, b, bo;
    Doc.GetSelectionBounds(a, ao, b, bo, false);
    EXPECT_EQ(std::make_tuple(a, ao, b, bo), std::make_tuple(0, 2, 0, 4));
}

TEST_F(RDLayoutTest, APointBetweenTwoLinesHitsTheUpperOneUnlessTheLowerBeginsAboveIt)
{
    TParaInfo* spaced = Sheet.ParaStyles().Add();
    spaced->SpaceBefore = 10;
    Doc.ClientWidth = 600;
    Doc.AddTextRawNoTag("aaa", 0, 0);
    Doc.AddTextRawNoTag("bb", 0, Sheet.ParaStyles().Count() - 1);
    auto* picture = new TPlacedItem(&Doc);  // 20 high on the base line: above the text
    picture->ParaNo = -1;
    Doc.AddItem("", picture);
    Doc.Format();
    ASSERT_EQ(Doc.DrawItems.Count(), 3);
    // the upper line ends at 28; the lower text begins at 40, the picture at 38
    ASSERT_EQ(Doc.DrawItems[0]->Top + Doc.DrawItems[0]->Height, 28);
    ASSERT_EQ(Doc.DrawItems[1]->Top, 40);
    ASSERT_EQ(Doc.DrawItems[2]->Top, 38);
    struct Case {
        int y;
        int drawItem, offset;
    };
    // x near the end of the second character of either line
    const std::vector<Case> cases = {
        {30, 0, 3},  // in the gap
        {37, 0, 3},  // just above the picture
        {38, 1, 3},  // the picture begins here: the lower line
        {39, 1, 3},  // above the lower text, still the lower line
        {45, 1, 3},
    };
    for (const Case& c : cases) {
        int off = -1, d = -1;
        Doc.FindDrawItemAtPos(5 + 12 + 9, c.y, false, off, d);
        EXPECT_EQ(std::make_pair(d, off), std::make_pair(c.drawItem, c.offset)) << c.y;
    }
    // strictly, nothing is hit in the gap
    int off = -1, d = -1;
    Doc.FindDrawItemAtPos(5 + 12 + 2, 30, true, off, d);
    EXPECT_EQ(d, -1);
}

TEST_F(RDLayoutTest, FastFormattingOptionChoosesTheCacheKind)
{
    struct Case {
        TRDOptions options;
        uint16_t flags;
        bool fast;
    };
    const std::vector<Case> cases = {
        {0, 0, false},
        {rdoFastFormatting, 0, true},
        {rdoFastFormatting, cfPrinting, true},  // printing does not decide
        {0, cfPrinting, false},
        {rdoFastFormatting | rdoAllowSelection, cfStylePixelsPerInch, true},
    };
    for (const Case& c : cases) {
        TLayoutData doc(&Sheet);
        doc.Options = c.options;
        doc.ControlFlags = c.flags;
        TRDFontInfoCache* cache = doc.GetFontInfoCache(doc.Canvas.get(), &doc);
        ASSERT_NE(cache, nullptr);
        EXPECT_EQ(dynamic_cast<TRDFontInfoCacheFast*>(cache) != nullptr, c.fast) << c.options << " " << c.flags;
        EXPECT_EQ(dynamic_cast<TRDFontInfoCacheLowResource*>(cache) != nullptr, !c.fast);
        EXPECT_EQ(cache->CanUseCustomPPI, bool(c.flags & cfStylePixelsPerInch));
        EXPECT_EQ(cache->OwnerRDData, &doc);
        doc.ReleaseFontInfoCache(cache);
        EXPECT_EQ(cache, nullptr);
    }
    // both kinds lay out alike
    std::vector<std::vector<Box>> boxes;
    for (TRDOptions options : {TRDOptions(0), TRDOptions(rdoFastFormatting)}) {
        TLayoutData doc(&Sheet);
        doc.Options = options;
        doc.AddTextRawNoTag("aaa bbb ccc ddd", 0, 0);
        doc.Format();
        boxes.push_back(Boxes(doc));
    }
    EXPECT_EQ(boxes[0], boxes[1]);
}

// An item the selection tests choose, focus and ask.
class TChoosableItem : public TPlacedItem {
public:
    using TPlacedItem::TPlacedItem;
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* data) const override { return new TChoosableItem(data); }
    bool HasSelectionInside() const override { return Inside; }
    void LeaveChosenSubDocument() override { ++Left; }
    void ClearFocus() override
    {
        ++FocusLost;
        if (Reenter)
            Reenter->Deselect(nullptr, true);
    }
    bool GetBoolValueEx(int id, const TRDStyle* sheet) const override
    {
        return id == 3 ? Focusable : TPlacedItem::GetBoolValueEx(id, sheet);
    }
    bool MoveFocus(bool, TCustomRDData*& data, int& itemNo) override
    {
        if (!InnerData)
            return false;
        data = InnerData;
        itemNo = InnerItem;
        return true;
    }
    int GetAssociatedTextStyleNo() const override { return Associated; }
    bool Inside = false, Focusable = false;
    int Left = 0, FocusLost = 0, InnerItem = -1, Associated = -1;
    TCustomRDFormattedData* Reenter = nullptr;
    TCustomRDData* InnerData = nullptr;
};

TEST_F(RDLayoutTest, SetSelectionBoundsStoresCheckedEnds)
{
    TRDListInfo* list = Sheet.ListStyles().Add();
    list->Levels.resize(1);
    list->Levels[0].MarkerIndent = 20;
    list->Levels[0].LeftIndent = 40;
    Doc.ClientWidth = 5 + 40 + 12 * 7 + 5;
    Doc.AddItem("", new TTestMarker(&Doc));     // 0
    Doc.AddTextRawNoTag("aaa bbb ccc", 0, -1);  // 1: "aaa bbb" | "ccc"
    auto* picture = new TPlacedItem(&Doc);      // 2: after "ccc"
    picture->ParaNo = -1;
    Doc.AddItem("", picture);
    Doc.AddTextRawNoTag("xy", 0, 0);             // 3
    Doc.AddItem("", new TTestMarker(&Doc));     // 4: a marker as the last item
    Doc.Format();
    ASSERT_EQ(Doc.DrawItems.Count(), 6);
    ASSERT_EQ(Doc.DrawItems[3]->ItemNo, 2);
    using Sel = std::tuple<int, int, int, int>;
    struct Case {
        Sel items;     // start item, offset, end item, offset
        Sel expected;  // SelStartNo, SelStartOffs, SelEndNo, SelEndOffs
    };
    const std::vector<Case> cases = {
        {{1, 2, 1, 5}, {1, 2, 1, 5}},
        {{1, 5, 1, 2}, {1, 5, 1, 2}},      // backwards: the anchor stays first
        {{3, 2, 1, 10}, {4, 2, 2, 2}},     // across draw items
        {{0, 0, 1, 3}, {1, 1, 1, 3}},      // the start on the marker: the text after it
        {{1, 3, 0, 1}, {1, 3, 1, 1}},      // the end on it
        {{0, 1, 0, 0}, {1, 1, 1, 1}},      // both
        {{4, 0, 4, 1}, {5, 0, 5, 1}},      // a last marker stays
        {{1, 0, 1, 99}, {1, 1, 2, 4}},     // offsets kept inside the item's text
        {{1, -7, 3, 3}, {1, 1, 4, 3}},
        {{2, 5, 2, -1}, {3, 1, 3, 0}},     // a non-text item has offsets 0 and 1
        {{1, 9, 1, 9}, {1, 8, 1, 8}},      // after the space swallowed at the wrap: the earlier end
        {{-1, 0, 1, 1}, {-1, 0, -1, 0}},   // no start, no selection
        {{1, 1, 9, 1}, {-1, 0, -1, 0}},    // an item the document does not hold
    };
    for (const Case& c : cases) {
        auto [a, ao, b, bo] = c.items;
        Doc.SelectAll();
        Doc.Hooks.clear();
        Doc.SetSelectionBounds(a, ao, b, bo);
        EXPECT_EQ(Sel(Doc.GetSelStartNo(), Doc.GetSelStartOffs(), Doc.GetSelEndNo(), Doc.GetSelEndOffs()), c.expected)
            << a << ":" << ao << " " << b << ":" << bo;
        EXPECT_FALSE(Doc.State & dsAllSelected);
        EXPECT_EQ(Doc.Hooks, (std::vector<std::string>{"caret", "unchoose", "editor", "after", "select"}));
    }
    // storing converts as it is, with no hooks
    Doc.Hooks.clear();
    Doc.StoreSelection(0, 0, 1, 3);
    EXPECT_EQ(Sel(Doc.GetSelStartNo(), Doc.GetSelStartOffs(), Doc.GetSelEndNo(), Doc.GetSelEndOffs()), Sel(0, 0, 1, 3));
    EXPECT_TRUE(Doc.Hooks.empty());
    // the bounds as item positions, as stored or earlier first
    Doc.SetSelectionBounds(3, 2, 1, 4);
    int a, ao, b, bo;
    Doc.GetSelectionBounds(a, ao, b, bo, false);
    EXPECT_EQ(Sel(a, ao, b, bo), Sel(3, 2, 1, 4));
    Doc.GetSelBoundsItems(a, ao, b, bo, true);
    EXPECT_EQ(Sel(a, ao, b, bo), Sel(1, 4, 3, 2));
    Doc.GetSelBoundsDraw(a, ao, b, bo, false);
    EXPECT_EQ(Sel(a, ao, b, bo), Sel(4, 2, 1, 4));
    // a chosen item is let go
    auto* chosen = new TChoosableItem(&Doc);
    chosen->ParaNo = 0;
    Doc.AddItem("", chosen);
    Doc.SetChosenItem(chosen);
    Doc.SetSelectionBounds(1, 1, 1, 2);
    EXPECT_EQ(Doc.GetChosenItem(), nullptr);
    EXPECT_EQ(chosen->Left, 1);
}

TEST_F(RDLayoutTest, DeselectDropsSelectionFocusAndChosenItems)
{
    Doc.AddTextRawNoTag("aaa bbb", 0, 0);
    auto* kept = new TChoosableItem(&Doc);
    auto* other = new TChoosableItem(&Doc);
    Doc.AddItem("", kept);
    Doc.AddItem("", other);
    Doc.Format();
    struct Case {
        bool keepChosen;
        bool notify;
    };
    for (const Case& c : std::vector<Case>{{false, false}, {false, true}, {true, false}, {true, true}}) {
        Doc.SetSelectionBounds(0, 1, 0, 4);
        Doc.State |= dsMouseSelecting | dsLineSelecting;
        Doc.SetChosenItem(kept);
        Doc.FocusedItemNo = 2;
        other->Reenter = &Doc;  // its lost focus deselects again: nothing happens then
        int left = kept->Left, lost = other->FocusLost;
        Doc.Hooks.clear();
        Doc.Deselect(c.keepChosen ? kept : nullptr, c.notify);
        EXPECT_EQ(std::make_tuple(Doc.GetSelStartNo(), Doc.GetSelStartOffs(), Doc.GetSelEndNo(), Doc.GetSelEndOffs()),
                  std::make_tuple(-1, 0, -1, 0));
        EXPECT_FALSE(Doc.State & (dsMouseSelecting | dsLineSelecting | dsDeselecting));
        EXPECT_EQ(Doc.FocusedItemNo, -1);
        EXPECT_EQ(other->FocusLost, lost + 1);
        EXPECT_EQ(Doc.GetChosenItem(), c.keepChosen ? kept : nullptr);
        EXPECT_EQ(kept->Left, left + (c.keepChosen ? 0 : 1));
        std::vector<std::string> hooks{"unchoose"};
        if (c.notify)
            hooks.push_back("select");
        EXPECT_EQ(Doc.Hooks, hooks) << c.keepChosen << c.notify;
    }
    other->Reenter = nullptr;
    // clearing tells the owner
    Doc.Hooks.clear();
    Doc.Clear();
    EXPECT_EQ(Doc.Hooks.back(), "select");
}

TEST_F(RDLayoutTest, DataSelectionExistsDropsAnEmptySelectionWhenAsked)
{
    Doc.AddTextRawNoTag("aaa bbb", 0, 0);
    auto* chosen = new TChoosableItem(&Doc);
    Doc.AddItem("", chosen);
    Doc.Format();
    struct Case {
        int from, to;  // offsets in item 0; -1: no selection
        bool deselect, mouseSelecting, chosenHasOne, askChosen;
        bool answer, kept;
    };
    const std::vector<Case> cases = {
        {1, 4, false, false, false, false, true, true},
        {4, 1, true, false, false, false, true, true},
        {3, 3, false, false, false, false, false, true},  // empty: kept unless asked
        {3, 3, true, false, false, false, false, false},
        {3, 3, true, true, false, false, false, true},    // not while the mouse selects
        {-1, -1, true, false, false, false, false, false},
        {3, 3, true, false, true, true, true, true},      // the chosen item's selection counts
        {3, 3, true, false, true, false, false, false},   // when asked for
    };
    for (const Case& c : cases) {
        if (c.from < 0)
            Doc.Deselect();
        else
            Doc.SetSelectionBounds(0, c.from, 0, c.to);
        Doc.SetChosenItem(chosen);
        chosen->Inside = c.chosenHasOne;
        if (c.mouseSelecting)
            Doc.State |= dsMouseSelecting;
        Doc.Hooks.clear();
        EXPECT_EQ(Doc.DataSelectionExists(c.deselect, c.askChosen), c.answer) << c.from << " " << c.to;
        EXPECT_EQ(Doc.GetSelStartNo() >= 0, c.kept) << c.from << " " << c.to;
        bool dropped = c.from >= 0 && !c.kept;
        const std::vector<std::string> hooks =
            dropped ? std::vector<std::string>{"unchoose", "select"} : std::vector<std::string>{};
        EXPECT_EQ(Doc.Hooks, hooks);
        // the chosen item stays chosen when an empty selection goes
        EXPECT_EQ(Doc.GetChosenItem(), chosen);
        Doc.State &= ~dsMouseSelecting;
    }
    Doc.SetChosenItem(nullptr);
}

TEST_F(RDLayoutTest, WordsInADocumentHeldByAnItem)
{
    QWidget owner;
    TLayoutData inner(&Sheet);
    inner.ClientWidth = 600;
    inner.AddTextRawNoTag("ab cd", 0, 0);
    inner.Format();
    struct THolder : TPlacedItem {
        using TPlacedItem::TPlacedItem;
        int GetWidthEx() const override { return 100; }
        int GetHeightEx() const override { return 40; }
        TCustomRDData* Inner = nullptr;
        std::vector<std::pair<int, int>> Asked;
        int Updates = 0;
        TCustomRDData* GetActiveSubDocumentAt(int x, int y) override
        {
            Asked.emplace_back(x, y);
            return Inner;
        }
        bool UpdateSubCoords() override
        {
            ++Updates;
            return true;
        }
    };
    TLayoutData outer(&Sheet);
    outer.Owner = &owner;
    outer.ClientWidth = 600;
    outer.AddTextRawNoTag("zz", 0, 0);
    auto* holder = new THolder(&outer);
    holder->ParaNo = -1;
    holder->Inner = &inner;
    outer.AddItem("", holder);
    outer.VOffset = 2;
    outer.Format();
    const TRDDrawLineInfo* h = outer.DrawItems[1];
    const int hx = h->Left, hy = h->Top - outer.VOffset;  // the holder in client coordinates
    // the nested document turns the outer client's points into its own
    inner.HOffset = -hx;
    inner.VOffset = -hy;
    QByteArray word;
    TCustomRDFormattedData* data = nullptr;
    int start = 0, item = 0, style = 0;
    ASSERT_TRUE(outer.GetWordAt(word, hx + 5 + 12 + 3, data, start, item, style, hy + 8));
    EXPECT_EQ(holder->Asked.back(), std::make_pair(5 + 12 + 3, 8));
    EXPECT_EQ(holder->Updates, 1);
    EXPECT_EQ(data, &inner);
    EXPECT_EQ(word, "ab");
    EXPECT_EQ(std::make_tuple(start, item, style), std::make_tuple(1, 0, 0));
    ASSERT_TRUE(outer.GetWordAt(word, hx + 5 + 12 * 4 + 3, data, start, item, style, hy + 8));
    EXPECT_EQ(word, "cd");
    EXPECT_EQ(start, 4);
    // nothing of the nested document at the point
    EXPECT_FALSE(outer.GetWordAt(word, hx + 2, data, start, item, style, hy + 2));
    EXPECT_EQ(data, &inner);
    EXPECT_EQ(item, -1);

    // an in-place editor: its document takes points of its own control
    QWidget editor(&owner);
    editor.move(hx, hy);
    inner.Owner = &editor;
    inner.HOffset = inner.VOffset = 0;
    ASSERT_TRUE(outer.GetWordAt(word, hx + 5 + 12 * 4 + 3, data, start, item, style, hy + 8));
    EXPECT_EQ(data, &inner);
    EXPECT_EQ(word, "cd");

    // an item without a document at the point answers itself
    holder->Inner = nullptr;
    ASSERT_TRUE(outer.GetWordAt(word, hx + 3, data, start, item, style, hy + 3));
    EXPECT_EQ(data, &outer);
    EXPECT_EQ(std::make_pair(item, style), std::make_pair(1, -20));
}

TEST_F(RDLayoutTest, ProtectionOfStylesAndParagraphs)
{
    int locked = 0, stick1 = 0, stick2 = 0, top = 0, bottom = 0;
    AddTextStyle(Sheet, QStringLiteral("Courier New"), locked)->Protection = rdprModifyProtect | rdprDeleteProtect;
    AddTextStyle(Sheet, QStringLiteral("Courier New"), stick1)->Protection = rdprSticking | rdprSticking3;
    AddTextStyle(Sheet, QStringLiteral("Courier New"), stick2)->Protection = rdprSticking2 | rdprSticking3;
    AddTextStyle(Sheet, QStringLiteral("Courier New"), top)->Protection = rdprStickToTop | rdprSticking;
    AddTextStyle(Sheet, QStringLiteral("Courier New"), bottom)->Protection = rdprStickToBottom | rdprSticking2;
    Sheet.ParaStyles().Add()->Options = rdpaoReadOnly | rdpaoNoWrap;
    const int readOnly = Sheet.ParaStyles().Count() - 1;
    Doc.AddTextRawNoTag("top", top, 0);          // 0
    Doc.AddTextRawNoTag("one", stick1, -1);      // 1: sticks to 0 (rdprSticking)
    Doc.AddTextRawNoTag("two", stick1, -1);      // 2: sticks to 1 (both)
    Doc.AddTextRawNoTag("three", stick2, -1);    // 3: sticks to 2 (rdprSticking3)
    auto* tied = new TChoosableItem(&Doc);       // 4: sticks to 3 through its associated style
    tied->ParaNo = -1;
    tied->Associated = stick2;
    Doc.AddItem("", tied);
    auto* plain = new TChoosableItem(&Doc);      // 5: no associated style
    plain->ParaNo = -1;
    Doc.AddItem("", plain);
    Doc.AddTextRawNoTag("ro", locked, readOnly);  // 6
    Doc.AddTextRawNoTag("end", bottom, 0);       // 7

    struct ProtCase {
        int item;
        uint32_t options;
        bool has;
    };
    const std::vector<ProtCase> prot = {
        {6, rdprModifyProtect, true},
        {6, rdprDeleteProtect | rdprSticking, true},  // any of them
        {6, rdprSticking, false},
        {6, 1u << 16, false},  // beyond the sixteen options
        {1, rdprSticking, true},
        {5, rdprDeleteProtect, false},
        {4, rdprSticking3, true},  // through its associated style
        {4, rdprModifyProtect, false},
        {-1, rdprSticking, false},
        {8, rdprSticking, false},
    };
    for (const ProtCase& c : prot)
        EXPECT_EQ(Doc.StyleHasProtection(c.item, c.options), c.has) << c.item << " " << c.options;
    plain->Unremovable = true;  // an item that cannot be removed is delete-protected
    EXPECT_TRUE(Doc.StyleHasProtection(5, rdprDeleteProtect));
    EXPECT_FALSE(Doc.StyleHasProtection(5, rdprModifyProtect));
    Doc.ItemAt(1)->StyleNo = 77;  // not held by the sheet: style 0, unprotected
    EXPECT_FALSE(Doc.StyleHasProtection(1, rdprSticking));
    Doc.ItemAt(1)->StyleNo = stick1;

    EXPECT_TRUE(Doc.ParaHasOption(readOnly, rdpaoNoWrap));
    EXPECT_FALSE(Doc.ParaHasOption(0, rdpaoReadOnly));
    EXPECT_FALSE(Doc.ParaHasOption(readOnly, 1u << 8));
    EXPECT_FALSE(Doc.ParaHasOption(55, rdpaoReadOnly));  // not held by the sheet: style 0
    EXPECT_TRUE(Doc.ParaIsReadOnly(6));
    EXPECT_FALSE(Doc.ParaIsReadOnly(7));

    // boundary i lies between items i and i + 1
    const std::vector<std::pair<int, bool>> sticks = {
        {-1, true}, {0, true}, {1, true}, {2, true}, {3, true}, {4, false}, {5, false}, {6, false}, {7, true},
    };
    for (auto [i, stuck] : sticks)
        EXPECT_EQ(Doc.ItemsStick(i, true), stuck) << i;

    struct InsertCase {
        int item, offset;
        bool can;
    };
    const std::vector<InsertCase> inserts = {
        {0, 1, false},  // before the first item, which sticks to the top
        {0, 2, true},
        {0, 4, false},  // its end sticks to item 1
        {3, 1, false},
        {3, 3, true},
        {3, 6, false},  // item 4 sticks to it
        {4, 0, false},
        {5, 0, true},
        {5, 1, true},
        {6, 2, false},  // a read-only paragraph
        {7, 2, true},
        {7, 4, false},  // after the last item, which sticks to the bottom
        {9, 1, false},
    };
    for (const InsertCase& c : inserts)
        EXPECT_EQ(Doc.CanInsertAt(c.item, c.offset), c.can) << c.item << ":" << c.offset;
    tied->Associated = -1;  // no associated style: nothing sticks to it
    EXPECT_FALSE(Doc.ItemsStick(3, true));
    EXPECT_TRUE(Doc.CanInsertAt(3, 6));
    // inside an item whose text may not change
    Sheet.ParaStyles().Items(readOnly)->Options = 0;
    EXPECT_FALSE(Doc.CanInsertAt(6, 2));
    EXPECT_TRUE(Doc.CanInsertAt(6, 1));
}

TEST_F(RDLayoutTest, FindingTheNextItemThatTakesTheFocus)
{
    TLayoutData inner(&Sheet);
    auto add = [&](bool focusable, TCustomRDData* innerData) {
        auto* item = new TChoosableItem(&Doc);
        item->ParaNo = -1;
        item->Focusable = focusable;
        item->InnerData = innerData;
        item->InnerItem = innerData ? 7 : -1;
        Doc.AddItem("", item);
        return item;
    };
    Doc.AddTextRawNoTag("aaa", 0, 0);  // 0
    add(true, nullptr);                // 1
    add(false, nullptr);               // 2
    add(false, &inner);                // 3: focus goes into its document
    add(true, nullptr);                // 4
    Doc.AddTextRawNoTag("bbb", 0, 0);  // 5
    struct Case {
        int from;
        bool forward;
        TCustomRDData* data;
        int item;
    };
    const std::vector<Case> cases = {
        {-1, true, &Doc, 1},     // from -1 forward: item 0 on
        {0, true, &Doc, 1},
        {1, true, &inner, 7},    // after a focusable one
        {2, true, &inner, 7},
        {3, true, &inner, 7},    // not focusable itself: it is asked again
        {4, true, nullptr, -1},
        {6, true, nullptr, -1},
        {-1, false, &Doc, 4},    // from -1 backward: the last item on
        {6, false, &Doc, 4},     // from the count: one before
        {4, false, &inner, 7},
        {2, false, &Doc, 1},
        {1, false, nullptr, -1},
        {0, false, nullptr, -1},
    };
    for (const Case& c : cases) {
        TCustomRDData* data = nullptr;
        int item = -2;
        Doc.FindNextFocusableItem(c.from, c.forward, data, item);
        EXPECT_EQ(std::make_pair(data, item), std::make_pair(c.data, c.item)) << c.from << " " << c.forward;
    }
    // a focused item beyond the items is forgotten
    Doc.FocusedItemNo = 40;
    TCustomRDData* data = nullptr;
    int item = 0;
    Doc.FindNextFocusableItem(0, true, data, item);
    EXPECT_EQ(Doc.FocusedItemNo, -1);

    auto* focused = static_cast<TChoosableItem*>(Doc.ItemAt(4));
    Doc.FocusedItemNo = 4;
    Doc.UnfocusItem();
    EXPECT_EQ(focused->FocusLost, 1);
    Doc.FocusedItemNo = 40;
    Doc.UnfocusItem();
    EXPECT_EQ(Doc.FocusedItemNo, -1);
    EXPECT_EQ(focused->FocusLost, 1);
}

// Counts the paints a widget receives.
class TPaintCounter : public QObject {
public:
    int Paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++Paints;
        return false;
    }
};

TEST_F(RDLayoutTest, RepaintRequestsReachTheOwningControl)
{
    Doc.AddTextRawNoTag("aaa bbb ccc", 0, 0);
    Doc.Format();
    Doc.HOffset = 2;
    Doc.VOffset = 20;
    Doc.Invalidated.clear();
    Doc.InvalidateDrawItem(1, 3);
    ASSERT_EQ(Doc.Invalidated.size(), 1u);
    const TRDDrawLineInfo* d = Doc.DrawItems[1];
    EXPECT_EQ(Doc.Invalidated[0], QRect(d->Left - 2 - 3, d->Top - 20 - 3, d->Width + 6, d->Height + 6));
    Doc.InvalidateDrawItem(5, 0);  // no such draw item
    Doc.InvalidateDrawItem(-1, 0);
    EXPECT_EQ(Doc.Invalidated.size(), 1u);

    Doc.InvalidateControl();  // no control: nothing
    Doc.RefreshControl();
    QWidget owner;
    owner.setAttribute(Qt::WA_DontShowOnScreen);
    owner.resize(200, 100);
    owner.show();
    QCoreApplication::sendPostedEvents();
    TPaintCounter counter;
    owner.installEventFilter(&counter);
    Doc.Owner = &owner;
    Doc.RefreshControl();  // at once
    EXPECT_EQ(counter.Paints, 1);
    Doc.InvalidateControl();  // later
    EXPECT_EQ(counter.Paints, 1);
    QCoreApplication::sendPostedEvents(&owner, QEvent::UpdateRequest);
    EXPECT_EQ(counter.Paints, 2);
}

} // namespace
