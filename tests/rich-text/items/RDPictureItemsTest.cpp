// Picture, hot picture, bullet and hotspot items: RDF records in both forms,
// damaged and hostile data, HTML attributes, RTF forms and painting.

#include <gtest/gtest.h>

#include <QtCore/QBuffer>
#include <QtCore/QTemporaryDir>
#include <QtGui/QPainter>

#include "Graphics.h"
#include "RDDocTestSupport.h"
#include "RDPictureTestSupport.h"
#include "RDFTestIO.h"
#include "document/RDFDocIO.h"
#include "core/RDFStream.h"
#include "items/RDPictureItems.h"
#include "document/RDTextItems.h"

namespace {

class TPictureDoc : public TTestRDData {
public:
    using TTestRDData::TTestRDData;
    std::map<int, TImageList*> Lists;
    int SavedImages = 0;
    void* DoRDFImageListNeeded(int tag) override
    {
        auto it = Lists.find(tag);
        return it == Lists.end() ? nullptr : it->second;
    }
    void DoSaveImage2(const QImage&, TRDSaveFormat, const QString&, const QString&, int& no, QString& location,
                      bool& doDefault) override
    {
        ++SavedImages;
        location = QStringLiteral("img%1.png").arg(++no);
        doDefault = false;
    }
};

class PictureItemsTest : public ::testing::Test {
protected:
    PictureItemsTest()
    {
        Sheet.ParaStyles()[0]->DefStyleNo = -1;
        List.Add(QImage(16, 16, QImage::Format_RGB32));
        List.Add(QImage(16, 16, QImage::Format_RGB32));
        List.Tag = 7;
        Doc.Lists[7] = &List;
    }
    TTestStyleSheet Sheet;
    TPictureDoc Doc{&Sheet};
    TImageList List{16, 16};

    TRDGraphicItemInfo* AddPicture(std::unique_ptr<TGraphic> graphic, int styleNo = -3)
    {
        auto item = CreateItemByStyleNo(styleNo, &Doc);
        auto* picture = static_cast<TRDGraphicItemInfo*>(item.get());
        picture->Image = std::move(graphic);
        Doc.AddItem("pic", item.release());
        return picture;
    }
};

// Every picture kind in hex and in binary blocks: the bytes read come back
// unchanged, and writing the read document again gives the same file.
TEST_F(PictureItemsTest, PicturesWriteTheirOwnBytesInBothForms)
{
    const QByteArray bmp = Encoded("BMP", Qt::red);
    const QByteArray jpeg = Encoded("JPEG", Qt::blue, 8, 8);
    QByteArray wmf(40, '\x01');
    for (TRDFOptions form : {TRDFOptions(0), TRDFOptions(rdfoSaveBinary)}) {
        TPictureDoc doc(&Sheet);
        doc.Lists[7] = &List;
        doc.RDFOptions = rdfoSavePicturesBody | form;
        doc.AddTextRawNoTag("text", 0, 0);
        auto add = [&](std::unique_ptr<TGraphic> g, int kind) {
            auto item = CreateItemByStyleNo(kind, &doc);
            static_cast<TRDGraphicItemInfo*>(item.get())->Image = std::move(g);
            static_cast<TRDGraphicItemInfo*>(item.get())->Alt = QStringLiteral("alt text");
            item->SetContinuesPara(true);
            doc.AddItem("p", item.release());
        };
        add(Graphic<TBitmapGraphic>(bmp), -3);
        add(Graphic<TJPEGImage>(jpeg), -10);
        add(Graphic<TMetafile>(wmf), -3);
        auto bullet = CreateItemByStyleNo(-6, &doc);
        static_cast<TRDBulletItemInfo*>(bullet.get())->ImageList = &List;
        static_cast<TRDBulletItemInfo*>(bullet.get())->ImageIndex = 1;
        doc.AddItem("b", bullet.release());
        auto hotspot = CreateItemByStyleNo(-4, &doc);
        auto* hs = static_cast<TRDHotspotItemInfo*>(hotspot.get());
        hs->ImageList = &List;
        hs->HoverImageIndex = 1;
        doc.AddItem("h", hotspot.release());

        const QByteArray first = Save(doc);
        TPictureDoc read(&Sheet);
        read.Lists[7] = &List;
        read.RDFOptions = doc.RDFOptions;
        ASSERT_TRUE(Load(read, first)) << form << first.left(300).constData();
        ASSERT_EQ(read.ItemCount(), 6);
        EXPECT_EQ(read.Warnings, 0);
        auto* p1 = dynamic_cast<TRDGraphicItemInfo*>(read.ItemAt(1));
        ASSERT_NE(p1, nullptr);
        EXPECT_EQ(p1->Image->SaveToStream(), bmp);
        EXPECT_EQ(p1->Alt, QStringLiteral("alt text"));
        EXPECT_EQ(p1->GetImageWidth(), 4);
        auto* p2 = dynamic_cast<TRDHotGraphicItemInfo*>(read.ItemAt(2));
        ASSERT_NE(p2, nullptr);
        EXPECT_EQ(p2->Image->SaveToStream(), jpeg);
        EXPECT_TRUE(p2->GetBoolValueEx(5, &Sheet));
        EXPECT_EQ(static_cast<TRDGraphicItemInfo*>(read.ItemAt(3))->Image->SaveToStream(), wmf);
        EXPECT_EQ(static_cast<TRDBulletItemInfo*>(read.ItemAt(4))->ImageIndex, 1);
        EXPECT_EQ(static_cast<TRDHotspotItemInfo*>(read.ItemAt(5))->HoverImageIndex, 1);
        EXPECT_EQ(Save(read), first);
    }
}

TEST_F(PictureItemsTest, RecordsWithoutBodiesHoldNameAndProperties)
{
    auto* picture = AddPicture(Graphic<TBitmapGraphic>(Encoded("BMP", Qt::red)));
    picture->ImageWidth = 20;
    picture->Resizable = false;
    picture->FileName = QStringLiteral("a.bmp");
    EXPECT_EQ(Save(Doc), QByteArray("-8 1 3\r\n-3 4 0 0 1 0 0\r\npic\r\nresizable=0\r\nwidth=20\r\nfilename=a.bmp\r\n"));
}

struct TBadPictureCase {
    const char* Name;
    QByteArray Record;
    TRDFOptions Options;
    bool Loads;
    uint8_t Warnings;
    bool HasImage;
};

void PrintTo(const TBadPictureCase& c, std::ostream* os)
{
    *os << c.Name;
}

class BadPictureTest : public PictureItemsTest, public ::testing::WithParamInterface<TBadPictureCase> {};

TEST_P(BadPictureTest, FailsOrStandsInCleanly)
{
    const TBadPictureCase& c = GetParam();
    Doc.RDFOptions = c.Options;
    EXPECT_EQ(Load(Doc, c.Record), c.Loads) << c.Name;
    EXPECT_EQ(Doc.Warnings, c.Warnings) << c.Name;
    if (c.Loads && Doc.ItemCount() == 1) {
        auto* picture = dynamic_cast<TRDGraphicItemInfo*>(Doc.ItemAt(0));
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->Image != nullptr, c.HasImage) << c.Name;
        if (c.HasImage && c.Warnings & rdfwInvalidPicture) {
            EXPECT_EQ(picture->Image->SaveToStream(), Sheet.InvalidPicture().Graphic()->SaveToStream());
        }
    }
}

QByteArray HexRecord(const QByteArray& className, const QByteArray& data)
{
    return "-8 1 3\r\n-3 3 0 0 0 0 0 0\r\npic\r\n" + className + "\r\n" + data.toHex().toUpper() + "\r\n";
}

QByteArray TruncatedBmp()
{
    return Encoded("BMP", Qt::green, 30, 30).left(80);
}

INSTANTIATE_TEST_SUITE_P(
    Records, BadPictureTest,
    ::testing::Values(
        TBadPictureCase{"unknown class stops", HexRecord("TGIFImage", "x"), 0, false, rdfwUnknownPictureFormat, false},
        TBadPictureCase{"unknown class ignored", HexRecord("TGIFImage", "x"), rdfoIgnoreUnknownPicFmt, true,
                        rdfwUnknownPictureFormat, false},
        TBadPictureCase{"data that does not decode", HexRecord("TJPEGImage", "not a jpeg"), 0, true,
                        rdfwInvalidPicture, true},
        TBadPictureCase{"declared size past the data", HexRecord("TBitmap", TruncatedBmp()), 0, true,
                        rdfwInvalidPicture, true},
        TBadPictureCase{"hex that is not hex", "-8 1 3\r\n-3 3 0 0 0 0 0 0\r\npic\r\nTBitmap\r\nZZZZ\r\n", 0, true,
                        rdfwInvalidPicture, true},
        TBadPictureCase{"binary block longer than the file",
                        QByteArray("-8 1 3\r\n-3 3 0 0 2 0 0 0\r\npic\r\nTBitmap\r\n") + QByteArray("\xff\xff\x00\x00", 4) + "ab",
                        0, false, 0, false}),
    [](const auto& info) {
        std::string name = info.param.Name;
        for (char& ch : name)
            if (!isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

struct TBulletTailCase {
    const char* Record;
    TRDFOptions Options;
    bool Loads;
    uint8_t Warnings;
    int Index;
    int Hover;
};

void PrintTo(const TBulletTailCase& c, std::ostream* os)
{
    *os << QByteArray(c.Record).simplified().constData() << " options " << c.Options;
}

class BulletTailTest : public PictureItemsTest, public ::testing::WithParamInterface<TBulletTailCase> {};

TEST_P(BulletTailTest, IndexesAreCheckedAgainstTheList)
{
    const TBulletTailCase& c = GetParam();
    Doc.RDFOptions = c.Options;
    ASSERT_EQ(Load(Doc, c.Record), c.Loads) << c.Record;
    EXPECT_EQ(Doc.Warnings, c.Warnings) << c.Record;
    if (!c.Loads)
        return;
    auto* bullet = dynamic_cast<TRDBulletItemInfo*>(Doc.ItemAt(0));
    ASSERT_NE(bullet, nullptr);
    EXPECT_EQ(bullet->ImageIndex, c.Index);
    EXPECT_EQ(bullet->GetImageIndex(true), c.Hover);
    if (auto* hotspot = dynamic_cast<TRDHotspotItemInfo*>(bullet)) {
        EXPECT_EQ(hotspot->GetBoolValueEx(4, &Sheet), c.Index != c.Hover);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Records, BulletTailTest,
    ::testing::Values(TBulletTailCase{"-8 1 3\r\n-6 1 0 0 0 0 7 1\r\nb\r\n", 0, true, 0, 1, 1},
                      TBulletTailCase{"-8 1 3\r\n-6 1 0 0 0 0 7 5\r\nb\r\n", 0, false, rdfwImageIndexTooLarge, 0, 0},
                      TBulletTailCase{"-8 1 3\r\n-6 1 0 0 0 0 7 5\r\nb\r\n", rdfoConvLargeImageIdxToZero, true,
                                      rdfwImageIndexTooLarge, 0, 0},
                      TBulletTailCase{"-8 1 3\r\n-6 1 0 0 0 0 7\r\nb\r\n", 0, false, 0, 0, 0},
                      TBulletTailCase{"-8 1 3\r\n-6 1 0 0 0 0 99 3\r\nb\r\n", 0, true, 0, 3, 3},
                      TBulletTailCase{"-8 1 3\r\n-4 1 0 0 0 0 7 1\r\nh\r\n", 0, true, 0, 1, 1},
                      TBulletTailCase{"-8 1 3\r\n-4 1 0 0 0 0 7 0 1\r\nh\r\n", 0, true, 0, 0, 1},
                      TBulletTailCase{"-8 1 3\r\n-4 1 0 0 0 0 7 0 9\r\nh\r\n", 0, false, rdfwImageIndexTooLarge, 0, 0}));

struct THtmlSizeCase {
    int ImageWidth;
    bool NoHTMLSize;
    int SaveOptions;
    const char* Expected;
};

void PrintTo(const THtmlSizeCase& c, std::ostream* os)
{
    *os << c.Expected;
}

class PictureHtmlTest : public PictureItemsTest, public ::testing::WithParamInterface<THtmlSizeCase> {};

TEST_P(PictureHtmlTest, SizeAttributes)
{
    const THtmlSizeCase& c = GetParam();
    auto* picture = AddPicture(Graphic<TBitmapGraphic>(Encoded("BMP", Qt::red)));
    picture->Spacing = 0;
    picture->ImageWidth = c.ImageWidth;
    picture->NoHTMLSize = c.NoHTMLSize;
    TRDHTMLImageContext context;
    context.SaveOptions = c.SaveOptions;
    EXPECT_EQ(picture->SaveToHTML(&Doc, 0, context), QByteArray(c.Expected));
}

INSTANTIATE_TEST_SUITE_P(Sizes, PictureHtmlTest,
                         ::testing::Values(THtmlSizeCase{0, false, 0, "<img src=\"img1.png\">"},
                                           THtmlSizeCase{0, false, rdhsImageSizes,
                                                         "<img width=4 height=3 src=\"img1.png\">"},
                                           THtmlSizeCase{0, true, rdhsImageSizes, "<img src=\"img1.png\">"},
                                           THtmlSizeCase{10, true, 0, "<img width=10 height=3 src=\"img1.png\">"},
                                           THtmlSizeCase{0, false, rdhsBorderZero,
                                                         "<img border=0 src=\"img1.png\">"}));

TEST_F(PictureItemsTest, BulletImagesAreWrittenOncePerExport)
{
    std::vector<TRDHTMLBulletInfo> written;
    TRDHTMLImageContext context;
    context.Bullets = &written;
    TRDBulletItemInfo a(&Doc), b(&Doc), outside(&Doc);
    a.ImageList = b.ImageList = outside.ImageList = &List;
    outside.ImageIndex = 5;
    const QByteArray first = a.SaveToHTML(&Doc, 0, context);
    EXPECT_EQ(b.SaveToHTML(&Doc, 1, context), first);
    EXPECT_EQ(Doc.SavedImages, 1);
    EXPECT_EQ(outside.SaveToHTML(&Doc, 2, context), QByteArray());
    EXPECT_EQ(outside.SaveRTF(&Doc), QByteArray());
    context.BackColor = clRed;
    a.SaveToHTML(&Doc, 0, context);
    EXPECT_EQ(Doc.SavedImages, 2);
}

TEST_F(PictureItemsTest, RTFForms)
{
    const auto bmp = Graphic<TBitmapGraphic>(Encoded("BMP", Qt::red));
    const QByteArray dib = SavePictureToRTF(bmp.get(), 8, nullptr, 0, 0, 15);
    EXPECT_TRUE(dib.startsWith("{\\pict\\picscalex200\\dibitmap0\\wbmwidthbytes16\\picw4\\pich3\\picwgoal60\\pichgoal45 "))
        << dib.left(100).constData();
    EXPECT_TRUE(dib.endsWith('}'));

    QByteArray emf(48, '\0');
    emf[0] = 1;
    emf.replace(40, 4, " EMF");
    const auto metafile = Graphic<TMetafile>(emf);
    for (TRDRTFOptions options : {TRDRTFOptions(0), rdrtfSaveEMFAsWMF})
        EXPECT_TRUE(SavePictureToRTF(metafile.get(), 0, nullptr, options, 0, 15).startsWith("{\\pict\\emfblip"));

    const auto jpeg = Graphic<TJPEGImage>(Encoded("JPEG", Qt::blue));
    EXPECT_TRUE(SavePictureToRTF(jpeg.get(), 0, nullptr, rdrtfSaveJpegAsJpeg, 0, 15).startsWith("{\\pict\\jpegblip"));
    EXPECT_TRUE(SavePictureToRTF(jpeg.get(), 0, nullptr, 0, 0, 15).startsWith("{\\pict\\dibitmap0"));
    const QByteArray binary = SavePictureToRTF(jpeg.get(), 0, nullptr, rdrtfSaveJpegAsJpeg | rdrtfSavePicturesBinary, 0, 15);
    EXPECT_TRUE(binary.contains("{\\bin" + QByteArray::number(jpeg->SaveToStream().size()) + ' '));
    EXPECT_EQ(SavePictureToRTF(nullptr, 0, nullptr, 0, 0, 15), QByteArray());
}

TEST_F(PictureItemsTest, SelectedBulletIsBlendedWithTheSelectionColour)
{
    TImageList list(4, 4);
    QImage white(4, 4, QImage::Format_RGB32);
    white.fill(Qt::white);
    list.Add(white);
    TRDBulletItemInfo bullet(&Doc);
    bullet.ImageList = &list;
    Sheet.SelColor = 0xFF0000;  // blue
    QImage target(10, 10, QImage::Format_RGB32);
    target.fill(Qt::black);
    {
        QPainter painter(&target);
        TCanvas canvas(painter);
        bullet.Paint(canvas, 0, 0, 0, &Sheet);
        bullet.Paint(canvas, 5, 0, rdisSelected | rdisControlFocused, &Sheet);
    }
    EXPECT_EQ(target.pixelColor(2, 2), QColor(Qt::white));
    const QColor blended = target.pixelColor(7, 2);
    EXPECT_NEAR(blended.red(), 127, 2);
    EXPECT_NEAR(blended.blue(), 255, 2);
    bullet.ImageIndex = 3;
    QImage untouched(10, 10, QImage::Format_RGB32);
    untouched.fill(Qt::black);
    {
        QPainter painter(&untouched);
        TCanvas canvas(painter);
        bullet.Paint(canvas, 0, 0, 0, &Sheet);
    }
    EXPECT_EQ(untouched.pixelColor(2, 2), QColor(Qt::black));
}

}  // namespace
