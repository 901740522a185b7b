#include <gtest/gtest.h>

#include <QtGui/QImage>
#include <QtGui/QPainter>

#include <memory>
#include <utility>
#include <vector>

#include "document/RDItem.h"
#include "RDLayoutTestSupport.h"
#include "styles/RDStyle.h"
#include "document/RDTextItems.h"

namespace {

constexpr TColor OverSpellBack = 196604;  // RGB FC FF 02
constexpr TColor MissSpellBack = 57670;   // RGB 46 E1 00
constexpr TColor FocusedSel = 0x0000FF;   // red
constexpr TColor InactiveSel = 0x00FF00;  // green
constexpr TColor ParaBack = 0xFF0000;     // blue

// Text style 0 plain, 1 and 2 on the two misspelling backgrounds, 3 struck
// out; paragraph style 1 with space before and after, 2 with a background
// and a border.
class TPaintSheet : public TRDStyle {
public:
    TPaintSheet()
    {
        for (int i = 0; i < 4; ++i) {
            TFontInfo* f = TextStyles().Items(i);
            f->FontName = QStringLiteral("Liberation Mono");
            f->Size = 15;
            f->Style = 0;
            f->Color = clBlack;
            f->BackColor = clNone;
            f->Jump = false;
        }
        TextStyles().Items(1)->BackColor = OverSpellBack;
        TextStyles().Items(2)->BackColor = MissSpellBack;
        TextStyles().Items(3)->Style = fsStrikeOut;
        SelColor = FocusedSel;
        InactiveSelColor = InactiveSel;
        SelTextColor = clWhite;
        InactiveSelTextColor = clWhite;
        TParaInfo* spaced = ParaStyles().Items(1);
        spaced->SpaceBefore = 8;
        spaced->SpaceAfter = 6;
        TParaInfo* framed = ParaStyles().Add();
        framed->Background.Color = ParaBack;
        framed->Border.Style = TRDBorderStyle::rdbSingle;
        framed->Border.Color = clBlack;
        framed->Border.Width = 1;
    }
};

// A non-text item of 30 x 20 with 2 pixels of spacing that records where it is painted.
class TBoxItem : public TRDRectItemInfo {
public:
    explicit TBoxItem(TCustomRDData* data) : TRDRectItemInfo(data) { StyleNo = -20; }
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* data) const override { return new TBoxItem(data); }
    int GetWidthEx() const override { return 30; }
    int GetHeightEx() const override { return 20; }
    int GetHorzSpacing() const override { return 2; }
    int GetVertSpacing() const override { return 2; }
    void Paint(TCanvas&, int x, int y, int, uint16_t state, const TRDStyle*, const TRDDrawLineInfo* d,
               TCustomRDData*) const override
    {
        Painted.push_back({x, y, state, d});
    }
    struct TCall {
        int X, Y;
        uint16_t State;
        const TRDDrawLineInfo* DrawItem;
    };
    mutable std::vector<TCall> Painted;
};

class TPaintData : public TLayoutData {
public:
    using TLayoutData::TLayoutData;
    bool Focused = true;
    bool IsControlFocused() override { return Focused; }
    TColor GetColor() override { return clWhite; }
};

class RDPaintTest : public ::testing::Test {
protected:
    RDPaintTest() { Doc.ClientWidth = 400; }

    // The whole client painted onto white.
    QImage Paint(QRect clip = QRect(0, 0, 400, 300))
    {
        QImage image(clip.size(), QImage::Format_RGB32);
        image.fill(Qt::magenta);
        QPainter painter(&image);
        TCanvas canvas(painter);
        Doc.PaintBackground(canvas, clip);
        Doc.PaintDocument(canvas, clip, false, false, false, false);
        return image;
    }
    static QRgb Rgb(TColor c) { return ToQColor(c).rgb() | 0xFF000000; }
    const TRDDrawLineInfo& D(int i) const { return *Doc.DrawItems[i]; }
    // Draw items of an item.
    std::vector<int> Of(int itemNo) const
    {
        std::vector<int> r;
        for (int i = 0; i < Doc.DrawItems.Count(); ++i)
            if (Doc.DrawItems[i]->ItemNo == itemNo)
                r.push_back(i);
        return r;
    }
    // Every pixel of the rectangle's top and bottom rows has the colour (glyphs keep off them).
    static ::testing::AssertionResult RimIs(const QImage& image, QRect r, QRgb colour)
    {
        std::vector<QPoint> rim;
        for (int x = r.left(); x <= r.right(); ++x)
            rim.insert(rim.end(), {QPoint(x, r.top()), QPoint(x, r.bottom())});
        for (const QPoint& p : rim)
            if (image.pixel(p) != colour)
                return ::testing::AssertionFailure()
                       << "(" << p.x() << "," << p.y() << ") is " << std::hex << image.pixel(p);
        return ::testing::AssertionSuccess();
    }
    static QRect Rect(const TRDDrawLineInfo& d) { return QRect(d.Left, d.Top, d.Width, d.Height); }
    static int InkInRect(const QImage& image, const QRect& r)
    {
        int ink = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (image.pixel(x, y) != 0xFFFFFFFF)
                    ++ink;
        return ink;
    }

    TPaintSheet Sheet;
    TPaintData Doc{&Sheet};
};

TEST_F(RDPaintTest, MisspellingBackgroundsStrikeOutAndWhitePage)
{
    Doc.AddTextRawNoTag("Plain ", 0, 0);
    Doc.AddTextRawNoTag("overr", 1, -1);
    Doc.AddTextRawNoTag(" and ", 0, -1);
    Doc.AddTextRawNoTag("mis", 2, -1);
    Doc.AddTextRawNoTag("wrong", 3, 0);
    Doc.AddTextRawNoTag("over again", 1, 0);
    Doc.Format();
    const QImage image = Paint();
    int checked = 0;
    for (int i = 0; i < Doc.DrawItems.Count(); ++i) {
        const int style = Doc.ItemAt(D(i).ItemNo)->StyleNo;
        if (style == 1 || style == 2) {
            EXPECT_TRUE(RimIs(image, Rect(D(i)), Rgb(style == 1 ? OverSpellBack : MissSpellBack))) << i << " " << std::hex << image.pixel(D(i).Left, D(i).Top + D(i).Height - 1) << " " << image.pixel(D(i).Left + D(i).Width - 1, D(i).Top);
            ++checked;
        }
        if (style == 3) {
            // Some row across the middle half is inked from end to end.
            bool struck = false;
            for (int y = D(i).Top + D(i).Height / 4; y < D(i).Top + 3 * D(i).Height / 4 && !struck; ++y)
                struck = InkInRect(image, QRect(D(i).Left + 1, y, D(i).Width - 2, 1)) == D(i).Width - 2;
            EXPECT_TRUE(struck);
        }
    }
    EXPECT_EQ(checked, 3);
    // The page right of the lines and below them is white.
    EXPECT_EQ(InkInRect(image, QRect(D(0).Left + 300, 0, 95, 300)), 0);
    EXPECT_EQ(InkInRect(image, QRect(0, Doc.DocumentHeight, 400, 300 - Doc.DocumentHeight)), 0);
}

TEST_F(RDPaintTest, SelectionFocusedInactiveWholeAndPart)
{
    Doc.AddTextRawNoTag("aaaa", 0, 0);
    Doc.AddTextRawNoTag("bbbbbb", 0, -1);
    Doc.AddTextRawNoTag("cccc", 0, -1);
    Doc.Format();
    ASSERT_EQ(Doc.DrawItems.Count(), 3);
    // From the middle of "bbbbbb" into the whole of "cccc".
    Doc.SetSelectionBounds(1, 4, 2, 5);
    for (bool focused : {true, false}) {
        Doc.Focused = focused;
        const QImage image = Paint();
        const QRgb sel = Rgb(focused ? FocusedSel : InactiveSel);
        const int charWidth = D(1).Width / 6;
        EXPECT_TRUE(RimIs(image, Rect(D(2)), sel));
        EXPECT_TRUE(RimIs(image, QRect(D(1).Left + 3 * charWidth, D(1).Top, 3 * charWidth, D(1).Height), sel));
        // The unselected characters of "bbbbbb" and all of "aaaa" keep the page.
        EXPECT_EQ(image.pixel(D(1).Left + 1, D(1).Top + 1), 0xFFFFFFFF);
        EXPECT_EQ(image.pixel(D(1).Left + 3 * charWidth - 2, D(1).Top + 1), 0xFFFFFFFF);
        EXPECT_EQ(image.pixel(D(0).Left + 1, D(0).Top + 1), 0xFFFFFFFF);
    }
    // A selection that ends at the start of a text draw item selects nothing of it.
    Doc.SetSelectionBounds(0, 1, 1, 1);
    Doc.Focused = true;
    const QImage image = Paint();
    EXPECT_TRUE(RimIs(image, Rect(D(0)), Rgb(FocusedSel))) << std::hex << image.pixel(D(0).Left, D(0).Top) << " " << image.pixel(D(0).Left + D(0).Width - 1, D(0).Top + D(0).Height - 1);
    EXPECT_EQ(image.pixel(D(1).Left + 1, D(1).Top + 1), 0xFFFFFFFF);
}

TEST_F(RDPaintTest, LineSelectionBandsCoverSpaceBeforeAndAfter)
{
    Sheet.SelectionStyle = TRDSelectionStyle::rdssLines;
    Doc.AddTextRawNoTag("first", 0, 1);
    Doc.AddTextRawNoTag("second", 0, 1);
    Doc.AddTextRawNoTag("third", 0, 1);
    Doc.Format();
    ASSERT_EQ(Doc.DrawItems.Count(), 3);
    Doc.SetSelectionBounds(1, 1, 1, 7);
    const QImage image = Paint();
    const TRDDrawLineInfo& d = D(1);
    const QRgb sel = Rgb(FocusedSel);
    // The band reaches 8 pixels above the line and 6 below it.
    EXPECT_EQ(image.pixel(d.Left + 2, d.Top - 7), sel);
    EXPECT_EQ(image.pixel(d.Left + 2, d.Top + d.Height + d.ExtraSpaceBelow + 5), sel);
    EXPECT_EQ(image.pixel(d.Left + 2, d.Top - 9), 0xFFFFFFFF);
    EXPECT_EQ(image.pixel(D(0).Left + 1, D(0).Top + 1), 0xFFFFFFFF);
}

TEST_F(RDPaintTest, NonTextItemSelectedOnlyWhenCovered)
{
    Sheet.SelectionStyle = TRDSelectionStyle::rdssLines;
    Doc.AddTextRawNoTag("ab", 0, 0);
    Doc.AddItem("", new TBoxItem(&Doc));
    Doc.AddTextRawNoTag("cd", 0, -1);
    Doc.ItemAt(1)->ItemOptions |= rdioContinuesPara;
    Doc.ItemAt(2)->ItemOptions |= rdioContinuesPara;
    Doc.Format();
    ASSERT_EQ(Doc.DrawItems.Count(), 3);
    const QRect box = Rect(D(1));
    struct Case {
        int startItem, startOffs, endItem, endOffs;
        bool selected;
    };
    const std::vector<Case> cases = {
        {0, 1, 2, 3, true},   // across it
        {1, 0, 1, 1, true},   // exactly it
        {0, 1, 1, 0, false},  // ends before it
        {1, 1, 2, 3, false},  // starts after it
    };
    for (const Case& c : cases) {
        Doc.SetSelectionBounds(c.startItem, c.startOffs, c.endItem, c.endOffs);
        const QImage image = Paint();
        EXPECT_EQ(image.pixel(box.center()) == Rgb(FocusedSel), c.selected)
            << c.startItem << ":" << c.startOffs << "-" << c.endItem << ":" << c.endOffs;
    }
}

TEST_F(RDPaintTest, ItemsPaintThemselvesAtTheirPlaceWithTheirState)
{
    Doc.AddTextRawNoTag("ab", 0, 0);
    auto* box = new TBoxItem(&Doc);
    Doc.AddItem("", box);
    box->ItemOptions |= rdioContinuesPara;
    auto* line = new TRDBreakItemInfo(&Doc);
    line->Color = clBlack;
    line->LineWidth = 1;
    Doc.AddItem("", line);
    line->StyleNo = BreakStyleNo;
    Doc.Format();
    ASSERT_EQ(Doc.DrawItems.Count(), 3);
    Doc.SetSelectionBounds(1, 0, 1, 1);
    for (bool focused : {true, false}) {
        Doc.Focused = focused;
        box->Painted.clear();
        const QImage image = Paint(QRect(0, 3, 400, 300));
        ASSERT_EQ(box->Painted.size(), 1u);
        EXPECT_EQ(box->Painted[0].X, D(1).Left + 2);
        EXPECT_EQ(box->Painted[0].Y, D(1).Top - 3 + 2);
        EXPECT_EQ(box->Painted[0].DrawItem, Doc.DrawItems[1]);
        EXPECT_TRUE(box->Painted[0].State & rdisSelected);
        EXPECT_EQ(bool(box->Painted[0].State & rdisControlFocused), focused);
        // The break line, 5 pixels below its top, runs to 5 pixels inside the right margin.
        const int lineY = D(2).Top - 3 + 5;
        EXPECT_NE(image.pixel(400 - 5 - 5 - 2, lineY), 0xFFFFFFFF);
        EXPECT_EQ(image.pixel(400 - 5 - 5 + 2, lineY), 0xFFFFFFFF);
    }
}

TEST_F(RDPaintTest, MisspelledWordsWavyUnderTheirCharactersAcrossWraps)
{
    Sheet.LiveSpellingColor = 0xFF0000;  // blue
    Doc.ClientWidth = 118;
    // Nine characters a line: "aaaa bbbb " then "cccc dddd".
    Doc.AddTextRawNoTag("aaaa bbbb cccc dddd", 0, 0);
    Doc.AddTextRawNoTag("eeee", 0, 0);
    Doc.ItemAt(0)->AddMisspelling(6, 9);  // "bbbb cccc", over the wrap
    Doc.Format();
    ASSERT_EQ(Of(0).size(), 2u);
    Doc.ClientWidth = 400;
    const QImage image = Paint();
    const QRgb blue = Rgb(0xFF0000);
    auto blueInColumns = [&](int i, int from, int to) {
        const TRDDrawLineInfo& d = D(i);
        int n = 0;
        for (int x = from; x < to; ++x)
            for (int y = d.Top + d.Height - 3; y < d.Top + d.Height; ++y)
                n += image.pixel(x, y) == blue;
        return n;
    };
    const int cw = D(0).Width / int(Doc.DrawItems[0]->Length);
    // First line: under "bbbb" only; second line: under "cccc" only.
    EXPECT_EQ(blueInColumns(0, D(0).Left, D(0).Left + 5 * cw - 1), 0);
    EXPECT_GT(blueInColumns(0, D(0).Left + 5 * cw + 1, D(0).Left + 9 * cw - 1), 4 * cw / 2);
    EXPECT_GT(blueInColumns(1, D(1).Left + 1, D(1).Left + 4 * cw - 1), 4 * cw / 2);
    EXPECT_EQ(blueInColumns(1, D(1).Left + 4 * cw + 2, D(1).Left + D(1).Width), 0);
    EXPECT_EQ(blueInColumns(2, 0, 400), 0);
}

TEST_F(RDPaintTest, ParagraphBackgroundAndBorder)
{
    Doc.AddTextRawNoTag("plain", 0, 0);
    Doc.AddTextRawNoTag("framed", 0, 2);
    Doc.Format();
    const QImage image = Paint();
    const TRDDrawLineInfo& d = D(1);
    const QRgb blue = Rgb(ParaBack);
    // The background spans the width between the margins, right of the text too.
    EXPECT_EQ(image.pixel(d.Left + d.Width + 20, d.Top + d.Height / 2), blue);
    EXPECT_EQ(image.pixel(400 - 5 - 3, d.Top + d.Height / 2), blue);
    // The border's left and top edges are drawn in its colour.
    EXPECT_EQ(image.pixel(5, d.Top + d.Height / 2), 0xFF000000);
    EXPECT_EQ(image.pixel(d.Left + d.Width + 20, d.Top), 0xFF000000);
    // The first paragraph has none.
    EXPECT_EQ(image.pixel(D(0).Left + D(0).Width + 20, D(0).Top + 3), 0xFFFFFFFF);
}

TEST_F(RDPaintTest, HardPageBreakOncePerItemAboveItsFirstLine)
{
    Doc.ClientWidth = 118;
    Doc.Options = rdoShowPageBreaks;
    Doc.AddTextRawNoTag("one", 0, 0);
    Doc.AddTextRawNoTag("two words wrap here", 0, 0);
    Doc.ItemAt(1)->ItemOptions |= rdioPageBreakBefore;
    Doc.Format();
    ASSERT_GT(Of(1).size(), 1u);
    std::vector<std::pair<int, TRDPageBreakType>> breaks;
    Sheet.OnDrawPageBreak = [&](TRDStyle&, TCanvas&, int y, int, TRDPageBreakType type, QWidget*, bool& doDefault) {
        breaks.emplace_back(y, type);
        doDefault = false;
    };
    Paint();
    ASSERT_EQ(breaks.size(), 1u);
    EXPECT_EQ(breaks[0].first, D(Of(1)[0]).Top - 1);
    EXPECT_EQ(breaks[0].second, TRDPageBreakType::rdpbPageBreak);
    // Without the option nothing is marked.
    Doc.Options = 0;
    breaks.clear();
    Paint();
    EXPECT_TRUE(breaks.empty());
}

TEST_F(RDPaintTest, ParagraphMarksAtParagraphEndsNeverAtWraps)
{
    Doc.ClientWidth = 118;
    Doc.AddTextRawNoTag("one two three", 0, 0);
    Doc.AddTextRawNoTag("x", 0, 0);
    Doc.Format();
    const std::vector<int> first = Of(0);
    ASSERT_GT(first.size(), 1u);
    Doc.ClientWidth = 400;  // room right of every line for the sign
    auto inkRightOf = [&](const QImage& image, int i) {
        const TRDDrawLineInfo& d = D(i);
        return InkInRect(image, QRect(d.Left + d.Width, d.Top, 14, d.Height));
    };
    const QImage plain = Paint();
    Doc.Options = rdoShowSpecialCharacters;
    const QImage special = Paint();
    for (size_t k = 0; k + 1 < first.size(); ++k)
        EXPECT_EQ(inkRightOf(special, first[k]), inkRightOf(plain, first[k])) << "wrap " << k;
    EXPECT_GT(inkRightOf(special, first.back()), inkRightOf(plain, first.back()) + 5);
    EXPECT_GT(inkRightOf(special, Of(1).back()), inkRightOf(plain, Of(1).back()) + 5);
}

TEST_F(RDPaintTest, SoftPageBreaksAtLineTopsNotAtTheDocumentStart)
{
    Doc.Options = rdoShowPageBreaks;
    Doc.AddTextRawNoTag("alpha", 0, 0);
    Doc.AddTextRawNoTag("beta", 0, 0);
    Doc.AddTextRawNoTag("gamma", 0, 0);
    Doc.Format();
    std::vector<std::pair<int, TRDPageBreakType>> breaks;
    Sheet.OnDrawPageBreak = [&](TRDStyle&, TCanvas&, int y, int, TRDPageBreakType type, QWidget*, bool& doDefault) {
        breaks.emplace_back(y, type);
        doDefault = false;
    };
    Paint();
    EXPECT_TRUE(breaks.empty());
    EXPECT_FALSE(Doc.ClearSoftPageBreaks());

    Doc.SoftPageBreaks = std::make_unique<TRDSoftPageBreakList>();
    Doc.SoftPageBreaks->push_back({0, 1, -1});  // the document start: not marked
    Doc.SoftPageBreaks->push_back({0, 1, 7});   // inside a leading split item: marked
    Doc.SoftPageBreaks->push_back({2, 1, -1});
    Paint();
    ASSERT_EQ(breaks.size(), 2u);
    EXPECT_EQ(breaks[0].first, D(0).Top + 7 - 1);
    EXPECT_EQ(breaks[1].first, D(2).Top - 1);
    EXPECT_EQ(breaks[1].second, TRDPageBreakType::rdpbSoftPageBreak);
    // A clip that starts lower moves the marks up with it.
    breaks.clear();
    Paint(QRect(0, 10, 400, 200));
    ASSERT_EQ(breaks.size(), 2u);
    EXPECT_EQ(breaks[1].first, D(2).Top - 1 - 10);

    Doc.State |= dsKeepSoftPageBreaks;
    EXPECT_FALSE(Doc.ClearSoftPageBreaks());
    EXPECT_EQ(Doc.SoftPageBreaks->size(), 3u);
    Doc.State &= ~dsKeepSoftPageBreaks;
    EXPECT_TRUE(Doc.ClearSoftPageBreaks());
    EXPECT_EQ(Doc.SoftPageBreaks, nullptr);
    // Clearing the document drops them too.
    Doc.SoftPageBreaks = std::make_unique<TRDSoftPageBreakList>();
    Doc.Clear();
    EXPECT_EQ(Doc.SoftPageBreaks, nullptr);
}

// Two pages of a paginated copy: the second begins in a plain paragraph, the
// third inside a split item's cells.
class TTwoPages : public TRDPageStarts {
public:
    std::vector<TCustomRDFormattedData*> Passed;
    bool PageStartsInsideCells(int pageNo) override { return pageNo == 3; }
    void PassPageStartToPart(int, TCustomRDFormattedData* data) override { Passed.push_back(data); }
    TRDSoftPageBreakInfo GetPageStartInfo(int pageNo) override { return {pageNo, 4, -1}; }
};

TEST_F(RDPaintTest, AddSoftPageBreakTakesThePageStartOrPassesItToTheCells)
{
    TTwoPages pages;
    Doc.AddSoftPageBreak(pages, 2);
    Doc.AddSoftPageBreak(pages, 3);
    ASSERT_NE(Doc.SoftPageBreaks, nullptr);
    ASSERT_EQ(Doc.SoftPageBreaks->size(), 1u);
    EXPECT_EQ((*Doc.SoftPageBreaks)[0].ItemNo, 2);
    EXPECT_EQ((*Doc.SoftPageBreaks)[0].ItemOffset, 4);
    EXPECT_EQ((*Doc.SoftPageBreaks)[0].PartPosition, -1);
    EXPECT_EQ(pages.Passed, std::vector<TCustomRDFormattedData*>{&Doc});
}

TEST_F(RDPaintTest, ClipBelowTheContentPaintsOnlyTheBackground)
{
    Doc.Options = rdoShowPageBreaks | rdoShowSpecialCharacters;
    Doc.AddTextRawNoTag("some text", 1, 0);
    Doc.AddTextRawNoTag("more", 0, 2);
    Doc.Format();
    const QRect clip(0, Doc.DocumentHeight + 5, 400, 100);
    const QImage image = Paint(clip);
    EXPECT_EQ(InkInRect(image, image.rect()), 0);
}

} // namespace
