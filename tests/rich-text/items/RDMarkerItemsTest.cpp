// List markers: counting, marker texts, measuring and drawing, the marker
// list and its state block, RDF records, and RTF, HTML and text output.

#include <gtest/gtest.h>

#include <QtGui/QPainter>

#include "Graphics.h"
#include "RDDocTestSupport.h"
#include "document/RDFDocIO.h"
#include "core/RDFStream.h"
#include "RDFTestIO.h"
#include "RDLayoutTestSupport.h"
#include "RDMarkerTestSupport.h"
#include "items/RDMarkerItems.h"
#include "items/RDPictureItems.h"
#include "styles/RDStyleCSS.h"
#include "styles/RDStyleStream.h"
#include "document/RDTextItems.h"

namespace {

// A root document that keeps a marker list, and optionally a list whose
// numbering it continues.
class TMarkerDoc : public TWithMarkerList<TTestSelectionData> {
public:
    using TWithMarkerList::TWithMarkerList;

    TRDMarkerList* Prior = nullptr;
    TRDSaveRange PrintRange;
    bool HasPrintRange = false;

    TRDMarkerList* GetPrevMarkerList() override { return Prior; }
    void GetSaveRange(int scope, TRDSaveRange& range) override
    {
        if (scope == 2 && HasPrintRange)
            range = PrintRange;
        else
            TTestSelectionData::GetSaveRange(scope, range);
    }
};

TRDListLevel CounterLevel(TRDListType type, const char* format, uint8_t options = rdloContinuous | rdloLevelReset)
{
    TRDListLevel level;
    level.ListType = type;
    level.FormatString = format;
    level.Options = options;
    return level;
}

class MarkerTest : public ::testing::Test {
protected:
    MarkerTest()
    {
        Sheet.ParaStyles()[0]->DefStyleNo = -1;
        TRDListInfo* list = Sheet.ListStyles().Add();
        list->Levels = {CounterLevel(TRDListType::rdlstDecimal, "%0:s."),
                        CounterLevel(TRDListType::rdlstDecimal, "%0:s.%1:s"),
                        CounterLevel(TRDListType::rdlstLowerAlpha, "%0:s.%1:s.%2:s")};
    }

    TRDListInfo& List(int n = 0) { return *Sheet.ListStyles()[n]; }

    // A paragraph of a marker and a text.
    TRDMarkerItemInfo* AddPara(int level, int listNo = 0, bool reset = false, int startFrom = 0)
    {
        auto marker = TRDMarkerItemInfo::CreateEx(&Doc, listNo, level, startFrom, reset);
        TRDMarkerItemInfo* m = marker.get();
        Doc.AddItem(QByteArray(), marker.release());
        Doc.AddTextRawNoTag("text", 0, -1);
        return m;
    }

    QStringList Texts()
    {
        QStringList texts;
        for (int i = 0; i < Doc.ItemCount(); ++i)
            if (auto* m = dynamic_cast<TRDMarkerItemInfo*>(Doc.ItemAt(i)))
                texts << QString::fromLatin1(m->DisplayString);
        return texts;
    }

    TTestStyleSheet Sheet;
    TMarkerDoc Doc{&Sheet};
};

// Counting.

TEST_F(MarkerTest, CountsRestartsAndContinues)
{
    for (int i = 0; i < 3; ++i)
        AddPara(0);
    AddPara(0, 0, true, 7);
    AddPara(0);
    EXPECT_EQ(Texts(), QStringList({"1.", "2.", "3.", "7.", "8."}));
    ASSERT_TRUE(Doc.GetMarkerList(false));
    EXPECT_EQ(Doc.GetMarkerList(false)->Count(), 5);
}

TEST_F(MarkerTest, TakenMarkerLeavesTheCountAndComesBack)
{
    for (int i = 0; i < 3; ++i)
        AddPara(0);
    TCustomRDItemInfo* second = Doc.ItemAt(2);
    std::unique_ptr<TCustomRDItemInfo> taken = Doc.TakeItem(2);
    EXPECT_EQ(taken.get(), second);
    EXPECT_EQ(Texts(), QStringList({"1.", "2."}));
    EXPECT_EQ(Doc.GetMarkerList(false)->Count(), 2);
    Doc.GiveItem(2, QByteArray(), std::move(taken));
    EXPECT_EQ(Doc.ItemAt(2), second);
    EXPECT_EQ(Texts(), QStringList({"1.", "2.", "3."}));
    EXPECT_EQ(Doc.GetMarkerList(false)->Count(), 3);
    EXPECT_EQ((*Doc.GetMarkerList(false))[1], dynamic_cast<TRDMarkerListEntry*>(second));
}

TEST_F(MarkerTest, LevelResetDecidesWhetherASubLevelStartsAgain)
{
    struct Case {
        uint8_t Options;
        QStringList Expected;
    };
    const Case cases[] = {
        {rdloContinuous | rdloLevelReset, {"1.", "1.1", "1.2", "2.", "2.1"}},
        {rdloContinuous, {"1.", "1.1", "1.2", "2.", "2.3"}},
    };
    for (const Case& c : cases) {
        Doc.Clear();
        List().Levels[1].Options = c.Options;
        for (int level : {0, 1, 1, 0, 1})
            AddPara(level);
        EXPECT_EQ(Texts(), c.Expected) << int(c.Options);
    }
}

TEST_F(MarkerTest, ShallowMarkerAfterDeeperOnesOnlyCountsOnFromStart)
{
    AddPara(1);
    AddPara(1);
    AddPara(0);
    // Level 0 has no marker before the level-1 ones: its part comes from StartFrom.
    EXPECT_EQ(Texts(), QStringList({"1.1", "1.2", "2."}));
}

TEST_F(MarkerTest, LegalNumberingShowsHigherLevelsAsDecimals)
{
    List().Levels[0] = CounterLevel(TRDListType::rdlstUpperRoman, "%0:s.");
    AddPara(0);
    AddPara(0);
    for (int i = 0; i < 3; ++i)
        AddPara(1);
    EXPECT_EQ(Texts().last(), "II.3");
    List().Levels[1].Options |= rdloLegalStyleNumbering;
    Doc.RenumberMarkersFrom(0, false);
    EXPECT_EQ(Texts().last(), "2.3");
    EXPECT_EQ(Texts().first(), "I.");
}

TEST_F(MarkerTest, MissingMiddleLevelTakesItsStartValue)
{
    List().Levels[1].StartFrom = 5;
    AddPara(0);
    AddPara(2);
    EXPECT_EQ(Texts(), QStringList({"1.", "1.5.a"}));
}

TEST_F(MarkerTest, NumberingContinuesFromThePriorList)
{
    TRDMarkerList prior;
    ASSERT_TRUE(prior.LoadFromBinaryString(QByteArray::fromHex("00000000" "01000000" "00000000" "00000000" "00"
                                                               "01000000" "04000000"),
                                           &Doc));
    Doc.Prior = &prior;
    AddPara(1);
    // The level-0 part is the prior list's level-0 marker; counting stays in this list.
    EXPECT_EQ(Texts(), QStringList({"4.1"}));
}

TEST_F(MarkerTest, InsertingAndRemovingRenumbers)
{
    for (int i = 0; i < 3; ++i)
        AddPara(0);
    int index = 0;
    QByteArray text;
    TCustomRDItemInfo* item = TRDMarkerItemInfo::CreateEx(&Doc, 0, 0, 0, false).release();
    bool reformat = false;
    int newListNo = -1;
    ASSERT_TRUE(Doc.InsertItem(index, text, item, false, reformat, newListNo));
    EXPECT_EQ(Texts(), QStringList({"1.", "2.", "3.", "4."}));
    EXPECT_EQ(Doc.GetMarkerList(false)->IndexOf(static_cast<TRDMarkerItemInfo*>(item)), 0);

    Doc.DeleteItemRange(0, 1);
    Doc.DeleteItemRange(0, 2);
    EXPECT_EQ(Texts(), QStringList({"1.", "2."}));

    auto* first = static_cast<TRDMarkerItemInfo*>(Doc.ItemAt(0));
    first->MovingToUndoList(0, &Doc, nullptr);
    EXPECT_EQ(Doc.GetMarkerList(false)->Count(), 1);
    EXPECT_EQ(Texts().last(), "1.");
    first->MovingFromUndoList(0, &Doc);
    EXPECT_EQ(Texts(), QStringList({"1.", "2."}));

    Doc.DeleteItemRange(0, Doc.ItemCount());
    EXPECT_EQ(Doc.GetMarkerList(false), nullptr);  // an emptied list goes
}

TEST_F(MarkerTest, OtherListsAreNotTouched)
{
    *Sheet.ListStyles().Add() = List();
    AddPara(0, 0);
    AddPara(0, 1);
    AddPara(0, 0);
    AddPara(0, 1);
    EXPECT_EQ(Texts(), QStringList({"1.", "1.", "2.", "2."}));
}

// Marker texts from data that cannot be trusted.

TEST_F(MarkerTest, UnusableListsLevelsAndFormatsGiveSafeTexts)
{
    struct Case {
        const char* Name;
        int ListNo;
        int Level;
        QByteArray Format;
        QByteArray Expected;
    };
    const Case cases[] = {
        {"list past the styles", 5, 0, "%0:s.", ""},
        {"negative list", -1, 0, "%0:s.", ""},
        {"negative level", 0, -1, "%0:s.", ""},
        {"level past the arguments", 0, 300, "%0:s.", ""},
        {"refused directive", 0, 0, "%x.", "%x."},
        {"argument past the levels", 0, 0, "%300:s", "%300:s"},
        {"unfinished directive", 0, 0, "No. %", "No. %"},
        {"deeper level is empty", 0, 0, "%0:s-%1:s", "1-"},
        {"percent and width", 0, 0, "%%%3s", "%  1"},
        {"width past the bound", 0, 0, "%9999999s", "%9999999s"},
        {"precision is no width", 0, 0, "%.9999999s", "1"},
        {"digits past the bound", 0, 0, "%.9999999d", "%.9999999d"},
        {"digits", 0, 0, "%.3d", "001"},
    };
    for (const Case& c : cases) {
        Doc.Clear();
        for (TRDListLevel& level : List().Levels)
            level.FormatString = c.Format;
        TRDMarkerItemInfo* m = AddPara(c.Level, c.ListNo);
        EXPECT_EQ(m->DisplayString, c.Expected) << c.Name;
    }
}

TEST_F(MarkerTest, BulletFormatThatTheFormatterRefusesShowsItself)
{
    List().Levels[0] = TRDListLevel();
    List().Levels[0].FormatString = "%q";
    EXPECT_EQ(AddPara(0)->DisplayString, "%q");
    List().Levels[0].FormatString = "\xB7";
    Doc.RenumberMarkersFrom(0, false);
    EXPECT_EQ(static_cast<TRDMarkerItemInfo*>(Doc.ItemAt(0))->DisplayString, "\xB7");
}

TEST_F(MarkerTest, MarkerWithoutListMeasuresDrawsAndWritesNothing)
{
    TRDMarkerItemInfo* m = AddPara(0, 9);
    int extra = 1, descent = 1;
    TRDDrawLineInfo drawItem;
    m->OnDocWidthChange(500, &drawItem, false, nullptr, &Doc, nullptr, extra, descent);
    EXPECT_EQ(drawItem.Width, 0);
    EXPECT_EQ(drawItem.Height, 0);
    EXPECT_EQ(m->GetMinWidth(nullptr), 0);
    QImage image(20, 20, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        TCanvas canvas(painter);
        m->Paint(canvas, 0, 0, &Sheet, nullptr);
    }
    EXPECT_EQ(image.pixel(5, 5), QColor(Qt::white).rgb());
    TRDColorList colors;
    TRDRTFFontTable fonts;
    TRDIntegerList overrides, restarts;
    EXPECT_TRUE(m->SaveRTF(&Doc, colors, fonts, overrides, restarts).isEmpty());
    TRDHTMLImageContext context;
    context.SaveOptions = rdhsListMarkersAsText;
    EXPECT_TRUE(m->SaveToHTML(&Doc, 0, context).isEmpty());
    EXPECT_TRUE(m->AsText(0, &Doc, false, false, {}, {}).isEmpty());
}

// Measuring and drawing.

class MarkerMeasureTest : public MarkerTest {
protected:
    MarkerMeasureTest()
    {
        TRDListLevel& level = List().Levels[0];
        level.ListType = TRDListType::rdlstPicture;
        TBitmapGraphic graphic;
        QImage image(9, 4, QImage::Format_RGB32);
        image.fill(Qt::red);
        // The bottom-left pixel gives the transparent colour.
        image.setPixelColor(0, 3, Qt::blue);
        graphic.Assign(image);
        TPicture picture;
        picture.SetGraphic(&graphic);
        level.SetPicture(&picture);
        level.FirstIndent = 0;
    }
};

TEST_F(MarkerMeasureTest, AlignmentSplitsTheMarkerAroundItsPosition)
{
    struct Case {
        TRDMarkerAlignment Alignment;
        TRDBiDiMode BiDi;
        int FirstIndent;
        int DrawWidth, LeftShift, InnerX, MinWidth;
    };
    const Case cases[] = {
        {TRDMarkerAlignment::rdmaCenter, TRDBiDiMode::rdbdUnspecified, 0, 9, -5, 0, 4},
        {TRDMarkerAlignment::rdmaCenter, TRDBiDiMode::rdbdRightToLeft, 0, 9, 5, 0, 4},
        {TRDMarkerAlignment::rdmaLeft, TRDBiDiMode::rdbdUnspecified, 0, 9, 0, 0, 9},
        {TRDMarkerAlignment::rdmaLeft, TRDBiDiMode::rdbdUnspecified, 20, 20, 0, 0, 20},
        {TRDMarkerAlignment::rdmaRight, TRDBiDiMode::rdbdUnspecified, 0, 9, -9, 0, 0},
        {TRDMarkerAlignment::rdmaRight, TRDBiDiMode::rdbdRightToLeft, 15, 24, 9, 15, 15},
    };
    for (const Case& c : cases) {
        TRDListLevel& level = List().Levels[0];
        level.MarkerAlignment = c.Alignment;
        level.FirstIndent = c.FirstIndent;
        auto m = TRDMarkerItemInfo::CreateEx(&Doc, 0, 0, 0, false);
        const TRDMarkerItemInfo::TMeasure measure = m->MeasureMarker(&Sheet, c.BiDi, nullptr, nullptr);
        EXPECT_EQ(measure.Width, 9);
        EXPECT_EQ(measure.Height, 4);
        EXPECT_EQ(measure.DrawWidth, c.DrawWidth);
        EXPECT_EQ(measure.LeftShift, c.LeftShift);
        EXPECT_EQ(measure.InnerX, c.InnerX);
        EXPECT_EQ(measure.MinWidth, c.MinWidth);
    }
}

TEST_F(MarkerMeasureTest, LayoutCachesTheSizeAndDrawingUsesTheInnerOffset)
{
    List().Levels[0].MarkerAlignment = TRDMarkerAlignment::rdmaRight;
    List().Levels[0].FirstIndent = 15;
    Sheet.ParaStyles()[0]->BiDiMode = TRDBiDiMode::rdbdRightToLeft;
    TRDMarkerItemInfo* m = AddPara(0);
    TRDDrawLineInfo drawItem;
    int extra = 0, descent = 0;
    m->OnDocWidthChange(500, &drawItem, false, nullptr, &Doc, nullptr, extra, descent);
    EXPECT_EQ(drawItem.Width, 24);
    EXPECT_EQ(drawItem.X, 15);
    EXPECT_EQ(extra, 9);
    EXPECT_EQ(m->GetLeftShift(), 9);
    EXPECT_EQ(m->GetWidthEx(), 24);
    EXPECT_TRUE(m->GetBoolValueEx(6, &Sheet));
    EXPECT_TRUE(m->GetBoolValueEx(1, &Sheet));

    QImage image(40, 10, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        TCanvas canvas(painter);
        m->Paint(canvas, 0, 0, &Sheet, &drawItem);
    }
    EXPECT_EQ(image.pixel(14, 1), QColor(Qt::white).rgb());
    EXPECT_EQ(image.pixel(15, 1), QColor(Qt::red).rgb());
    EXPECT_EQ(image.pixel(23, 1), QColor(Qt::red).rgb());
}

TEST_F(MarkerTest, ImageCounterDrawsTheImageOfItsNumberAndNothingPastTheList)
{
    TImageList images(4, 4);
    QImage red(4, 4, QImage::Format_RGB32), blue(4, 4, QImage::Format_RGB32);
    red.fill(Qt::red);
    blue.fill(Qt::blue);
    images.Add(red);
    images.Add(blue);
    TRDListLevel& level = List().Levels[0];
    level.ListType = TRDListType::rdlstImageListCounter;
    level.ImageList = &images;
    AddPara(0);
    AddPara(0);
    AddPara(0);
    const QRgb drawn[] = {QColor(Qt::red).rgb(), QColor(Qt::blue).rgb(), QColor(Qt::white).rgb()};
    for (int k = 0; k < 3; ++k) {
        auto* m = static_cast<TRDMarkerItemInfo*>(Doc.ItemAt(2 * k));
        EXPECT_EQ(m->Counter, k + 1);
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            TCanvas canvas(painter);
            m->Paint(canvas, 0, 0, &Sheet, nullptr);
        }
        EXPECT_EQ(image.pixel(1, 1), drawn[k]) << k;
    }
    TRDColorList colors;
    TRDRTFFontTable fonts;
    TRDIntegerList overrides, restarts;
    EXPECT_TRUE(static_cast<TRDMarkerItemInfo*>(Doc.ItemAt(4))->SaveRTF(&Doc, colors, fonts, overrides, restarts)
                    .isEmpty());
    EXPECT_TRUE(static_cast<TRDMarkerItemInfo*>(Doc.ItemAt(0))->SaveRTF(&Doc, colors, fonts, overrides, restarts)
                    .startsWith("{\\pict"));
}

TEST_F(MarkerTest, TextMarkerIsMeasuredAndDrawnInItsFont)
{
    TRDMarkerItemInfo* m = AddPara(0);
    const auto measure = m->MeasureMarker(&Sheet, TRDBiDiMode::rdbdUnspecified, nullptr, nullptr);
    EXPECT_GT(measure.Width, 0);
    EXPECT_GT(measure.Height, measure.Descent);
    List().Levels[0].Font().Size = 30;
    const auto larger = m->MeasureMarker(&Sheet, TRDBiDiMode::rdbdUnspecified, nullptr, nullptr);
    EXPECT_GT(larger.Width, measure.Width);
    EXPECT_GT(larger.Height, measure.Height);

    QImage image(60, 60, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        TCanvas canvas(painter);
        m->Paint(canvas, 0, 0, &Sheet, nullptr);
    }
    int dark = 0;
    for (int y = 0; y < larger.Height; ++y)
        for (int x = 0; x < larger.Width; ++x)
            dark += qGray(image.pixel(x, y)) < 128;
    EXPECT_GT(dark, 0);
}

// The marker list's state block.

TEST_F(MarkerTest, StateBlockRoundTripsInBothForms)
{
    AddPara(0);
    AddPara(1, 0, true, 4);
    AddPara(0);
    TRDMarkerList& list = *Doc.GetMarkerList(false);
    TRDMemoryStream binary;
    list.SaveBinary(binary, 3, true);
    const QByteArray expected = QByteArray::fromHex("3b000000" "00000000" "03000000"
                                                    "00000000" "00000000" "00" "00000000" "01000000"
                                                    "00000000" "01000000" "01" "04000000" "04000000"
                                                    "00000000" "00000000" "00" "00000000" "02000000");
    EXPECT_EQ(binary.ToBytes(), expected);

    TRDMemoryStream text;
    list.SaveToRDF(text, 2);
    EXPECT_EQ(text.ToBytes(), expected.mid(4, 8 + 2 * 17).toHex().toUpper().replace("03000000", "02000000")
                                  + "\r\n");

    TRDMarkerList loaded;
    binary.SetPosition(0);
    ASSERT_TRUE(loaded.LoadBinary(binary, &Doc, true));
    ASSERT_EQ(loaded.Count(), 3);
    EXPECT_EQ(loaded[1]->Level, 1);
    EXPECT_TRUE(loaded[1]->Reset);
    EXPECT_EQ(loaded[1]->StartFrom, 4);
    EXPECT_EQ(loaded[2]->Counter, 2);
    TRDMarkerList fromHex;
    ASSERT_TRUE(fromHex.LoadFromHexString(text.ToBytes().chopped(2), &Doc));
    EXPECT_EQ(fromHex.Count(), 2);
}

TEST_F(MarkerTest, StateBlockThatLiesFailsWithTheListKept)
{
    TRDMarkerList list;
    ASSERT_TRUE(list.LoadFromBinaryString(QByteArray::fromHex("00000000" "01000000" "00000000" "00000000" "00"
                                                              "01000000" "05000000"),
                                          &Doc));
    const QByteArray cases[] = {
        QByteArray::fromHex("00000000" "00ca9a3b"),            // 10^9 entries
        QByteArray::fromHex("00000000" "ffffffff"),            // negative
        QByteArray::fromHex("00000000" "02000000") + QByteArray(17, '\0'),  // one short
        QByteArray::fromHex("000000"),                         // no header
        QByteArray::fromHex("00000000" "0f0f0f0f"),            // 17 * count past 32 bits
    };
    for (const QByteArray& bytes : cases) {
        EXPECT_FALSE(list.LoadFromBinaryString(bytes, &Doc)) << bytes.toHex().constData();
        ASSERT_EQ(list.Count(), 1);
        EXPECT_EQ(list[0]->Counter, 5);
    }
    EXPECT_FALSE(list.LoadFromHexString("0000000001", &Doc));
    // A size field that claims more than is there.
    TRDMemoryStream sized;
    sized.LoadFromBytes(QByteArray::fromHex("ff000000" "00000000" "00000000"));
    sized.SetPosition(0);
    EXPECT_FALSE(list.LoadBinary(sized, &Doc, true));
    EXPECT_EQ(sized.Position(), 0);
}

// RDF.

TEST_F(MarkerTest, MarkerRecordsReadAndWriteBackInBothForms)
{
    const QByteArray text = "-8 1 3\r\n"
                            "-11 0 0 0 0 0 0 0 1 0\r\n"
                            "0 1 -1 1 0 0\r\n"
                            "first\r\n"
                            "-11 1 0 0 0 0 0 1 4 1\r\n"
                            "nohtmlsize=1\r\n"
                            "0 1 -1 1 0 0\r\n"
                            "second\r\n";
    ASSERT_TRUE(Load(Doc, text));
    ASSERT_EQ(Doc.ItemCount(), 4);
    auto* second = dynamic_cast<TRDMarkerItemInfo*>(Doc.ItemAt(2));
    ASSERT_TRUE(second);
    EXPECT_EQ(second->Level, 1);
    EXPECT_TRUE(second->Reset);
    EXPECT_EQ(second->StartFrom, 4);
    EXPECT_TRUE(second->NoHtmlSize);
    EXPECT_EQ(Texts(), QStringList({"1.", "1.4"}));
    EXPECT_EQ(Save(Doc), text);

    Doc.RDFOptions = rdfoSaveBinary;
    const QByteArray binary = Save(Doc);
    TMarkerDoc again(&Sheet);
    again.RDFOptions = rdfoSaveBinary;
    ASSERT_TRUE(Load(again, binary));
    EXPECT_EQ(Save(again), binary);
    EXPECT_EQ(again.GetMarkerList(false)->Count(), 2);
}

TEST_F(MarkerTest, MarkerHeaderWithoutItsTailFails)
{
    EXPECT_FALSE(Load(Doc, "-8 1 3\r\n-11 0 0 0 0 0 0 0 1\r\n"));
    EXPECT_FALSE(Load(Doc, "-8 1 3\r\n-11 0 0 0 0 0 x 0 1 0\r\n"));
}

TEST_F(MarkerTest, ReadMarkersOfUnknownListsAreCheckedAgainstTheSheet)
{
    ASSERT_TRUE(Load(Doc, "-8 1 3\r\n-11 0 0 0 0 0 7 0 1 0\r\n0 1 -1 1 0 0\r\nx\r\n"));
    EXPECT_EQ(static_cast<TRDMarkerItemInfo*>(Doc.ItemAt(0))->ListNo, 0);
    EXPECT_TRUE(Doc.Warnings & rdfwConvertedUnknownStyles);
    Sheet.ListStyles().Clear();
    ASSERT_TRUE(Load(Doc, "-8 1 3\r\n-11 0 0 0 0 0 0 0 1 0\r\n0 1 -1 1 0 0\r\nx\r\n"));
    EXPECT_EQ(static_cast<TRDMarkerItemInfo*>(Doc.ItemAt(0))->ListNo, -1);
}

TEST_F(MarkerTest, ReadingMapsMarkersThroughTheListMap)
{
    *Sheet.ListStyles().Add() = List();
    Doc.ListMap = std::make_unique<TRDIntegerList>();
    Doc.ListMap->Add(1);
    int index = 0;
    TRDMemoryStream stream;
    stream.LoadFromBytes("-8 1 3\r\n-11 0 0 0 0 0 0 0 1 0\r\n0 1 -1 1 0 0\r\nx\r\n");
    stream.SetPosition(0);
    int added = 0;
    bool interrupted = false, reformat = false;
    TColor color = clNone;
    ASSERT_TRUE(Doc.LoadRDF(stream, index, -1, false, false, false, color, nullptr, nullptr, added, interrupted,
                            reformat, true));
    EXPECT_EQ(static_cast<TRDMarkerItemInfo*>(Doc.ItemAt(0))->ListNo, 1);
}

TEST_F(MarkerTest, StateRecordFillsThePreviousListInBothForms)
{
    TRDMarkerList prior;
    Doc.Prior = &prior;
    Doc.RDFOptions = rdfoLoadLayout;
    const QByteArray state = QByteArray::fromHex("00000000" "01000000" "00000000" "00000000" "00" "01000000"
                                                 "06000000");
    ASSERT_TRUE(Load(Doc, "-8 1 3\r\n-9 2 0 0 0 0 6\r\n\r\n" + state.toHex() + "\r\n"));
    ASSERT_EQ(prior.Count(), 1);
    EXPECT_EQ(prior[0]->Counter, 6);

    QByteArray binary = "-8 1 3\r\n-9 2 0 0 2 0 6\r\n\r\n";
    binary += QByteArray::fromHex("19000000") + state;
    prior.Clear();
    ASSERT_TRUE(Load(Doc, binary));
    ASSERT_EQ(prior.Count(), 1);

    // Without the layout option the state is not read.
    Doc.RDFOptions = 0;
    prior.Clear();
    ASSERT_TRUE(Load(Doc, binary));
    EXPECT_EQ(prior.Count(), 0);
}

TEST_F(MarkerTest, StateRecordClaimingTooManyMarkersFailsTheRead)
{
    TRDMarkerList prior;
    Doc.Prior = &prior;
    Doc.RDFOptions = rdfoLoadLayout;
    EXPECT_FALSE(Load(Doc, "-8 1 3\r\n-9 2 0 0 0 0 6\r\n\r\n0000000000CA9A3B\r\n0 1 0 0 0 0\r\nx\r\n"));
    EXPECT_EQ(prior.Count(), 0);
    QByteArray binary = "-8 1 3\r\n-9 2 0 0 2 0 6\r\n\r\n";
    binary += QByteArray::fromHex("08000000" "00000000" "00ca9a3b");
    EXPECT_FALSE(Load(Doc, binary));
}

TEST_F(MarkerTest, PrintedPartWritesTheStateOfTheMarkersBeforeIt)
{
    AddPara(0);
    AddPara(0);
    AddPara(1);
    Doc.HasPrintRange = true;
    // From inside the text of the third paragraph to the end.
    Doc.PrintRange.StartItemNo = 5;
    Doc.PrintRange.StartOffs = 2;
    Doc.PrintRange.EndItemNo = 5;
    Doc.PrintRange.EndOffs = 5;
    TRDLayoutInfo layout;
    TRDMemoryStream stream;
    ASSERT_TRUE(Doc.SaveRDF(stream, 2, &layout, nullptr, clNone));
    EXPECT_TRUE(layout.FirstParaAborted);
    EXPECT_EQ(layout.FirstMarkerListNo, 0);
    EXPECT_EQ(layout.FirstMarkerLevel, 1);
    const QByteArray written = stream.ToBytes();
    TRDMemoryStream block;
    Doc.GetMarkerList(false)->SaveBinary(block, 3, false);
    EXPECT_TRUE(written.contains("-9 2 0 0 0 0 6\r\n\r\n" + block.ToBytes().toHex().toUpper() + "\r\n"))
        << written.constData();
}

// Output.

TEST_F(MarkerTest, RtfNumbersRestartingMarkersByTheSecondList)
{
    TRDMarkerItemInfo* restarting = AddPara(0, 0, true, 3);
    TRDMarkerItemInfo* following = AddPara(0);
    TRDIntegerList restartCounts;
    restartCounts.Add(0);
    restarting->FillRTFTables(restartCounts, &Doc);
    following->FillRTFTables(restartCounts, &Doc);
    EXPECT_EQ(restartCounts[0], 1);

    TRDColorList colors;
    TRDRTFFontTable fonts;
    fonts.AddUnique(QStringLiteral("Arial"), DEFAULT_CHARSET);
    TRDIntegerList overrides, restarts;
    overrides.Add(2);
    restarts.Add(5);
    EXPECT_EQ(restarting->SaveRTF(&Doc, colors, fonts, overrides, restarts),
              "{\\listtext\\pard\\plain\\f0\\fs16 3.\\tab}\\ls6\\ilvl0 ");
    EXPECT_EQ(following->SaveRTF(&Doc, colors, fonts, overrides, restarts),
              "{\\listtext\\pard\\plain\\f0\\fs16 4.\\tab}\\ls2\\ilvl0 ");
    EXPECT_EQ(restarts[0], 6);
}

TEST(MarkerFontRtf, WritesFontStylesSizeLanguageAndColour)
{
    TTestStyleSheet sheet;
    TRDRTFFontTable fonts;
    fonts.AddUnique(QStringLiteral("Times"), DEFAULT_CHARSET);
    fonts.AddUnique(QStringLiteral("Arial"), 134);
    TRDColorList colors;
    colors.AddUnique(clBlack);
    colors.AddUnique(clRed);
    TRDMarkerFont font;
    font.Charset = 134;
    font.Size = 10;
    font.Style = fsBold | fsStrikeOut;
    font.Color = clRed;
    EXPECT_EQ(SaveRTFMarkerFont(font, colors, &sheet, fonts), "\\f1\\b\\strike\\fs20\\lang2052\\cf1");
    font = TRDMarkerFont();
    font.Name = QStringLiteral("Unknown");
    EXPECT_EQ(SaveRTFMarkerFont(font, colors, &sheet, fonts), "\\fs16");
}

TEST_F(MarkerTest, HtmlWritesMarkersAsTextOnlyWhenAsked)
{
    TRDListLevel& level = List().Levels[0];
    level = TRDListLevel();
    level.FormatString = QByteArray(1, char(108));
    level.Font().Name = QStringLiteral("Wingdings");
    TRDMarkerItemInfo* m = AddPara(0);
    TRDHTMLImageContext context;
    EXPECT_TRUE(m->SaveToHTML(&Doc, 0, context).isEmpty());
    context.SaveOptions = rdhsListMarkersAsText;
    const QByteArray html = m->SaveToHTML(&Doc, 0, context);
    EXPECT_TRUE(html.contains("&#9679;")) << html.constData();
    EXPECT_TRUE(html.endsWith("\r\n"));
    context.CSS = true;
    const QByteArray css = m->SaveToHTML(&Doc, 0, context);
    EXPECT_TRUE(css.startsWith("<span style=\"")) << css.constData();
    EXPECT_TRUE(css.contains("&#9679;</span>"));
}

TEST(MarkerHtml, WingdingsAndSymbolTables)
{
    struct Case {
        uint8_t Byte;
        char16_t Expected;
    };
    const Case cases[] = {{108, 0x25CF}, {40, 0x260E}, {128, u'0'}, {138, u':'}, {139, u'0'}, {149, u':'},
                          {170, 0x2605}, {255, 0x25A1}, {164, 0x25CE}, {240, 0x25BA}, {1, 0x2022}};
    for (const Case& c : cases)
        EXPECT_EQ(WingdingsBulletToUnicode(c.Byte), c.Expected) << int(c.Byte);
    EXPECT_EQ(SymbolMarkerToText("\xB7\xDB\xAC\xAE"), "*<=><-->");
}

TEST_F(MarkerTest, PlainTextForms)
{
    struct Case {
        TRDListType Type;
        const char* FontName;
        QByteArray Format;
        QString FormatW;
        QByteArray Ansi;
    };
    const Case cases[] = {
        {TRDListType::rdlstPicture, "Arial", "", {}, "* "},
        {TRDListType::rdlstImageList, "Arial", "", {}, "* "},
        {TRDListType::rdlstBullet, "Symbol", "\xB7", {}, "* "},
        {TRDListType::rdlstBullet, "Arial", "-", {}, "- "},
        {TRDListType::rdlstDecimal, "Arial", "(%0:s)", {}, "(1) "},
        {TRDListType::rdlstUnicodeBullet, "Arial", "", QStringLiteral("?\u4E2D"), "?\xD6\xD0 "},
    };
    for (const Case& c : cases) {
        Doc.Clear();
        TRDListLevel& level = List().Levels[0];
        level.ListType = c.Type;
        level.FormatString = c.Format;
        level.FormatStringW = c.FormatW;
        level.Font().Name = QString::fromLatin1(c.FontName);
        TRDMarkerItemInfo* m = AddPara(0);
        EXPECT_EQ(m->AsText(0, &Doc, false, false, {}, {}), c.Ansi) << int(c.Type);
        EXPECT_EQ(m->AsText(0, &Doc, true, false, {}, {}).size() % 2, 0);
    }
}

TEST_F(MarkerTest, HtmlListTagsOpenAndCloseLevels)
{
    List().Levels[1].ListType = TRDListType::rdlstBullet;
    TRDMarkerItemInfo* first = AddPara(0);
    TRDMarkerItemInfo* second = AddPara(1);
    EXPECT_EQ(first->WriteHTMLListsAfter(nullptr, false, &Sheet), "<ol>\r\n");
    EXPECT_EQ(second->WriteHTMLListsAfter(first, false, &Sheet), "<ul>\r\n");
    EXPECT_EQ(first->WriteHTMLListsAfter(second, false, &Sheet), "</ul>\r\n");
    EXPECT_EQ(second->WriteHTMLListLevels(1, false, &Sheet, -1), "</ul></ol>\r\n");
}

TEST_F(MarkerTest, StyleUsageAndRenumberingOfListStyles)
{
    *Sheet.ListStyles().Add() = List();
    TRDMarkerItemInfo* m = AddPara(0, 1);
    TRDStyleUsage usage;
    usage.DoList = true;
    InitStyleUsage(usage, &Sheet);
    Doc.MarkStylesInUse(usage);
    EXPECT_EQ(usage.ListUsed[0], 0);
    EXPECT_EQ(usage.ListUsed[1], 1);
    TRDStyleMaps maps;
    maps.ListMap.Add(1);
    maps.ListMap.Add(2);  // list 1 becomes 0
    Doc.UpdateStyles(maps);
    EXPECT_EQ(m->ListNo, 0);
}

TEST_F(MarkerTest, CopiesCarryTheMarkerProperties)
{
    TRDMarkerItemInfo* m = AddPara(1, 0, true, 9);
    m->NoHtmlSize = true;
    auto copy = CreateItemCopy(*m, &Doc, false);
    auto* c = dynamic_cast<TRDMarkerItemInfo*>(copy.get());
    ASSERT_TRUE(c);
    EXPECT_EQ(c->StyleNo, MarkerStyleNo);
    EXPECT_EQ(c->Level, 1);
    EXPECT_TRUE(c->Reset);
    EXPECT_EQ(c->StartFrom, 9);
    EXPECT_TRUE(c->NoHtmlSize);
    int value = 0;
    EXPECT_TRUE(c->GetExtraIntProperty(12, value));
    EXPECT_EQ(value, 1);
    auto made = CreateItemByStyleNo(MarkerStyleNo, &Doc);
    EXPECT_TRUE(dynamic_cast<TRDMarkerItemInfo*>(made.get()));
}

}  // namespace

namespace {

// Image lists of list levels.

class TImageListDoc : public TMarkerDoc {
public:
    using TMarkerDoc::TMarkerDoc;
    std::map<int, TImageList*> Lists;
    void* DoRDFImageListNeeded(int tag) override
    {
        auto it = Lists.find(tag);
        return it == Lists.end() ? nullptr : it->second;
    }
};

TEST(MarkerImageLists, LevelImageListTravelsAsItsTagWithTheDocument)
{
    TImageList images(4, 4);
    images.Tag = 7;
    TTestStyleSheet sheet;
    TRDListLevel level;
    level.ListType = TRDListType::rdlstImageList;
    level.ImageList = &images;
    sheet.ListStyles().Add()->Levels = {level};

    // Without a document the tag is not written.
    EXPECT_FALSE(SaveStylesToBytes(sheet.ListStyles()).contains("ILTag"));

    TImageListDoc doc(&sheet);
    doc.RDFOptions = rdfoSaveParaStyles;
    doc.AddItem(QByteArray(), TRDMarkerItemInfo::CreateEx(&doc, 0, 0, 0, false).release());
    doc.AddTextRawNoTag("x", 0, -1);
    const QByteArray rdf = Save(doc);

    TTestStyleSheet otherSheet;
    TImageListDoc other(&otherSheet);
    TImageList found(4, 4);
    found.Tag = 7;
    other.Lists[7] = &found;
    other.RDFOptions = rdfoSaveParaStyles;
    ASSERT_TRUE(Load(other, rdf));
    ASSERT_EQ(otherSheet.ListStyles().Count(), 1);
    EXPECT_EQ(otherSheet.ListStyles()[0]->Levels[0].ImageList, &found);
    EXPECT_EQ(Save(other), rdf);

    // A tag the document does not know gives no list.
    TTestStyleSheet thirdSheet;
    TImageListDoc third(&thirdSheet);
    ASSERT_TRUE(Load(third, rdf));
    EXPECT_EQ(thirdSheet.ListStyles()[0]->Levels[0].ImageList, nullptr);

    otherSheet.Notification(&found);
    EXPECT_EQ(otherSheet.ListStyles()[0]->Levels[0].ImageList, nullptr);
}

TEST(MarkerImageLists, ImageListTakesPartInEqualityAndCopies)
{
    TImageList a(4, 4), b(4, 4);
    TRDListLevel x, y;
    x.ImageList = &a;
    y.ImageList = &a;
    EXPECT_TRUE(x.IsEqual(y));
    const int same = x.Likeness(y);
    y.ImageList = &b;
    EXPECT_FALSE(x.IsEqual(y));
    EXPECT_EQ(x.Likeness(y), same - 100);
    TRDListLevel copy(x);
    EXPECT_EQ(copy.ImageList, &a);
}

}  // namespace

namespace {

TEST_F(MarkerTest, NumberedAndBulletedListsOnTwoLevelsRoundTripWithTheirStyles)
{
    TRDListInfo* bullets = Sheet.ListStyles().Add();
    bullets->Levels = {TRDListLevel(), TRDListLevel()};
    bullets->Levels[1].FormatString = "o";
    bullets->Levels[1].LeftIndent = 24;
    for (int level : {0, 1, 1, 0})
        AddPara(level, 0);
    for (int level : {0, 1, 0})
        AddPara(level, 1);
    AddPara(1, 0);
    const QStringList shown = Texts();
    const QString dot(QChar(0xB7));
    EXPECT_EQ(shown, QStringList({"1.", "1.1", "1.2", "2.", dot, "o", dot, "2.1"}));
    for (const TRDFOptions form : {TRDFOptions(0), TRDFOptions(rdfoSaveBinary)}) {
        Doc.RDFOptions = rdfoSaveParaStyles | rdfoSaveTextStyles | form;
        const QByteArray rdf = Save(Doc);
        TTestStyleSheet sheet;
        TMarkerDoc read(&sheet);
        read.RDFOptions = Doc.RDFOptions;
        ASSERT_TRUE(Load(read, rdf)) << int(form);
        EXPECT_EQ(sheet.ListStyles().Count(), 2);
        EXPECT_EQ(Save(read), rdf) << int(form);
        QStringList readShown;
        for (int i = 0; i < read.ItemCount(); ++i)
            if (auto* m = dynamic_cast<TRDMarkerItemInfo*>(read.ItemAt(i)))
                readShown << QString::fromLatin1(m->DisplayString);
        EXPECT_EQ(readShown, shown) << int(form);
    }
}

}  // namespace

namespace {

TEST_F(MarkerTest, TextExportShowsTheMarkerTexts)
{
    AddPara(0);
    AddPara(1);
    for (const bool unicode : {false, true}) {
        TRDMemoryStream stream;
        ASSERT_TRUE(Doc.SaveTextToStream(QString(), stream, 80, false, false, unicode, false));
        const QByteArray expected = "1. text\r\n1.1 text";
        EXPECT_EQ(stream.ToBytes(), unicode ? AnsiToUtf16(CP_ACP, expected) : expected) << unicode;
    }
}

}  // namespace

namespace {

TEST_F(MarkerTest, CountersFromFilesStayBoundedInValueAndText)
{
    List().Levels[0] = CounterLevel(TRDListType::rdlstUpperRoman, "%0:s");
    AddPara(0, 0, true, INT32_MAX);
    AddPara(0);
    AddPara(0, 0, true, 3999);
    EXPECT_EQ(Texts(), QStringList({"2147483647", "2147483647", "MMMCMXCIX"}));
    AddPara(0);
    EXPECT_EQ(Texts().last(), "4000");
    EXPECT_EQ(NumberText(4, TRDListType::rdlstLowerRoman), "iv");
    EXPECT_EQ(NumberText(28, TRDListType::rdlstLowerAlpha), "ab");
    EXPECT_EQ(NumberText(3, TRDListType::rdlstBullet), "");
}

}  // namespace

namespace {

// A laid-out document that keeps a marker list.
using TMarkerLayoutDoc = TWithMarkerList<TLayoutData>;

TEST(MarkerLayout, MarkerTakesTheRoomUpToTheTextOrItsOwnWidth)
{
    TTestStyleSheet sheet;
    sheet.ParaStyles()[0]->DefStyleNo = -1;
    TRDListInfo* list = sheet.ListStyles().Add();
    list->Levels = {CounterLevel(TRDListType::rdlstDecimal, "%0:s.")};
    TRDListLevel& level = list->Levels[0];
    level.MarkerIndent = 20;
    level.LeftIndent = 40;
    level.FirstIndent = 0;
    TMarkerLayoutDoc doc(&sheet);
    doc.ClientWidth = 400;
    doc.AddItem(QByteArray(), TRDMarkerItemInfo::CreateEx(&doc, 0, 0, 0, false).release());
    doc.AddTextRawNoTag("text", 0, -1);
    doc.Format();
    ASSERT_EQ(doc.DrawItems.Count(), 2);
    auto* marker = static_cast<TRDMarkerItemInfo*>(doc.ItemAt(0));
    EXPECT_EQ(doc.DrawItems[0]->Left, 5 + 20);
    EXPECT_EQ(doc.DrawItems[0]->Width, 20);  // "1." is narrower than the room
    EXPECT_EQ(doc.DrawItems[1]->Left, 5 + 40);
    EXPECT_EQ(marker->GetWidthEx(), 20);

    // A marker wider than the room pushes the text on.
    level.FormatString = "Chapter %0:s:";
    doc.RenumberMarkersFrom(0, false);
    doc.Format();
    EXPECT_GT(doc.DrawItems[0]->Width, 20);
    EXPECT_EQ(doc.DrawItems[1]->Left, doc.DrawItems[0]->Left + doc.DrawItems[0]->Width);
}

}  // namespace

namespace {

TEST_F(MarkerTest, PreviousMarkerIsSoughtInTheDocumentsAround)
{
    TRDMarkerItemInfo* first = AddPara(0);
    TRDMarkerItemInfo* second = AddPara(0);
    AddPara(0);
    // A document inside item 3 (the second paragraph's text).
    TTestSubData sub(&Doc, 3, 0);
    sub.AddTextRawNoTag("inner", 0, 0);
    EXPECT_EQ(sub.PrevMarkerItem(0), second);
    TTestSubData early(&Doc, 1, 0);
    EXPECT_EQ(early.PrevMarkerItem(-1), first);
    TTestSubData none(&Doc, 0, 0);
    EXPECT_EQ(none.PrevMarkerItem(0), nullptr);
    auto own = TRDMarkerItemInfo::CreateEx(&sub, 0, 0, 0, false);
    TRDMarkerItemInfo* inner = own.get();
    sub.AddItem(QByteArray(), own.release());
    EXPECT_EQ(sub.PrevMarkerItem(1), inner);
}

}  // namespace

namespace {

class THtmlImageDoc : public TMarkerDoc {
public:
    using TMarkerDoc::TMarkerDoc;
    void DoHTMLSaveImage(TCustomRDData*, int, const QString&, TColor, QString& location, bool& doDefault) override
    {
        location = QStringLiteral("bullet.png");
        doDefault = false;
    }
};

TEST(MarkerHtmlImages, ImageMarkersAndListItemStyles)
{
    TTestStyleSheet sheet;
    sheet.ParaStyles()[0]->DefStyleNo = -1;
    TImageList images(6, 5);
    images.Add(QImage(6, 5, QImage::Format_RGB32));
    TRDListLevel level;
    level.ListType = TRDListType::rdlstImageList;
    level.ImageList = &images;
    level.LeftIndent = 24;
    level.FirstIndent = 10;
    sheet.ListStyles().Add()->Levels = {level};
    THtmlImageDoc doc(&sheet);
    doc.AddItem(QByteArray(), TRDMarkerItemInfo::CreateEx(&doc, 0, 0, 0, false).release());
    doc.AddTextRawNoTag("x", 0, -1);
    auto* m = static_cast<TRDMarkerItemInfo*>(doc.ItemAt(0));

    TRDHTMLImageContext context;
    context.SaveOptions = rdhsListMarkersAsText | rdhsImageSizes;
    EXPECT_EQ(m->SaveToHTML(&doc, 0, context), "<img width=6 height=5 src=\"bullet.png\">\r\n");
    m->NoHtmlSize = true;
    EXPECT_EQ(m->SaveToHTML(&doc, 0, context), "<img src=\"bullet.png\">\r\n");

    EXPECT_EQ(m->GetHTMLItemStyle(&doc, 0, context),
              " style=\"list-style-image: url('bullet.png'); text-indent: 10px\"");
    sheet.ParaStyles()[0]->LeftIndent = 24;
    sheet.ParaStyles()[0]->FirstIndent = 10;
    EXPECT_EQ(m->GetHTMLItemStyle(&doc, 0, context),
              " style=\"list-style-image: url('bullet.png'); margin-left: 0\"");
}

}  // namespace
