#include <gtest/gtest.h>

#include <QtCore/QBuffer>
#include <QtGui/QImage>
#include <QtGui/QPainter>

#include "document/RDBack.h"
#include "RDFTestIO.h"
#include "core/RDGraphUtils.h"

namespace {

// A w x h picture of one colour, stored in the class's own format.
std::unique_ptr<TGraphic> Picture(const char* className, int w, int h, QRgb rgb, bool transparent = false)
{
    std::unique_ptr<TGraphic> g = CreateGraphicByName(QString::fromLatin1(className));
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(rgb);
    g->Assign(image);
    g->SetTransparent(transparent);
    return g;
}

QImage Blank(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(0x808080);
    return image;
}

QRgb At(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

// Paints the window rectangle rect of a window width x height into an image
// whose point (0, 0) is rect's corner, as the buffered painting does.
QImage PaintRect(const TRDBackground& back, const QRect& rect, TColor color, int width, int height, int scrollX = 0,
                 int scrollY = 0)
{
    QImage image = Blank(rect.width(), rect.height());
    QPainter painter(&image);
    TCanvas canvas(painter);
    back.DrawBackgroundRect(canvas, rect, false, false, color, width, height, 0, 0, scrollX, scrollY);
    return image;
}

} // namespace

TEST(RDBackgroundTest, StateQuestionsPerStyleAndPictureKind)
{
    struct Case {
        const char* Name;
        const char* Class;  // nullptr: the owned empty bitmap
        bool Transparent;
        TBackgroundStyle Style;
        bool Empty, Visible, FullRedraw, ColorFill;
    };
    using S = TBackgroundStyle;
    const Case cases[] = {
        {"new background", nullptr, false, S::bsNoBitmap, true, false, false, false},
        {"empty bitmap tiled", nullptr, false, S::bsTiled, false, false, false, false},
        {"bitmap no style", "TBitmap", false, S::bsNoBitmap, false, false, false, false},
        {"bitmap tiled", "TBitmap", false, S::bsTiled, false, true, true, false},
        {"bitmap tiled and scrolled", "TBitmap", false, S::bsTiledAndScrolled, false, true, false, false},
        {"bitmap stretched", "TBitmap", false, S::bsStretched, false, true, true, false},
        {"bitmap centred", "TBitmap", false, S::bsCentered, false, true, true, true},
        {"bitmap bottom right", "TBitmap", false, S::bsBottomRight, false, true, true, true},
        {"transparent bitmap tiled", "TBitmap", true, S::bsTiled, false, true, true, true},
        {"jpeg stretched", "TJPEGImage", false, S::bsStretched, false, true, true, false},
        {"jpeg top left", "TJPEGImage", false, S::bsTopLeft, false, true, true, true},
        {"icon tiled", "TIcon", false, S::bsTiled, false, true, true, true},
    };
    for (const Case& c : cases) {
        TRDBackground back(true);
        if (c.Class)
            back.AssignImage(Picture(c.Class, 4, 4, 0x00FF00, c.Transparent));
        back.Style = c.Style;
        EXPECT_EQ(back.IsEmpty(), c.Empty) << c.Name;
        EXPECT_EQ(back.HasVisibleImage(), c.Visible) << c.Name;
        EXPECT_EQ(back.NeedsFullRedraw(), c.FullRedraw) << c.Name;
        EXPECT_EQ(back.NeedsColorFill(), c.ColorFill) << c.Name;
    }
    TRDBackground none(false);
    EXPECT_EQ(none.GetImage(), nullptr);
    EXPECT_TRUE(none.IsEmpty());
}

TEST(RDBackgroundTest, ItemStyleMappingNeverGivesTiledAndScrolled)
{
    TRDBackground back(true);
    back.SetItemBackgroundStyle(TRDItemBackgroundStyle::rdbsTiled);
    EXPECT_EQ(back.Style, TBackgroundStyle::bsTiled);
    back.Style = TBackgroundStyle::bsTiledAndScrolled;
    EXPECT_EQ(back.GetItemBackgroundStyle(), TRDItemBackgroundStyle::rdbsTiled);
    back.Style = TBackgroundStyle::bsBottomLeft;
    EXPECT_EQ(back.GetItemBackgroundStyle(), TRDItemBackgroundStyle::rdbsCentered);
    back.SetItemBackgroundStyle(TRDItemBackgroundStyle::rdbsCentered);
    EXPECT_EQ(back.Style, TBackgroundStyle::bsCentered);
}

TEST(RDBackgroundTest, CopyingAssignmentKeepsTheCallersPicture)
{
    TRDBackground back(true);
    std::unique_ptr<TGraphic> mine = Picture("TJPEGImage", 3, 2, 0xFF0000);
    back.AssignImage(mine.get());
    ASSERT_NE(back.GetImage(), nullptr);
    EXPECT_NE(back.GetImage(), mine.get());
    EXPECT_EQ(back.GetImage()->ClassName(), QStringLiteral("TJPEGImage"));
    EXPECT_EQ(back.GetImage()->Width(), 3);
    back.AssignImage(back.GetImage());  // itself: nothing happens
    EXPECT_EQ(back.GetImage()->Width(), 3);
    back.AssignImage(static_cast<const TGraphic*>(nullptr));
    EXPECT_EQ(back.GetImage(), nullptr);
}

TEST(RDBackgroundTest, CurrentLineBandFollowsTheControlsCaret)
{
    TRDBackground back(true);
    back.SetHasSelectColor(true);
    back.SetSelectColor(0x00FF00);  // green
    struct Case {
        int CaretY, Top;
    } cases[] = {{50, 46}, {3, 0}, {4, 0}, {10, 6}};
    for (const Case& c : cases) {
        back.CaretPoint = QPoint(7, c.CaretY);
        const QImage image = PaintRect(back, QRect(0, 0, 120, 100), clWhite, 120, 100);
        for (int y = 0; y < 100; ++y) {
            const bool inBand = y >= c.Top && y < c.Top + TRDBackground::BandHeight;
            EXPECT_EQ(At(image, 0, y), inBand ? 0x00FF00u : 0xFFFFFFu) << "caret " << c.CaretY << " row " << y;
            EXPECT_EQ(At(image, 119, y), At(image, 0, y));
        }
    }
    // A window rectangle further down: the band keeps its window rows.
    back.CaretPoint = QPoint(0, 50);
    const QImage part = PaintRect(back, QRect(10, 40, 50, 40), clWhite, 120, 100);
    EXPECT_EQ(At(part, 0, 5), 0xFFFFFFu);    // window row 45
    EXPECT_EQ(At(part, 0, 6), 0x00FF00u);    // row 46
    EXPECT_EQ(At(part, 49, 31), 0x00FF00u);  // row 71
    EXPECT_EQ(At(part, 0, 32), 0xFFFFFFu);   // row 72
    // No caret, or the band switched off: no band.
    back.CaretPoint.reset();
    EXPECT_EQ(At(PaintRect(back, QRect(0, 0, 120, 100), clWhite, 120, 100), 0, 50), 0xFFFFFFu);
    back.CaretPoint = QPoint(0, 50);
    back.SetHasSelectColor(false);
    EXPECT_EQ(At(PaintRect(back, QRect(0, 0, 120, 100), clWhite, 120, 100), 0, 50), 0xFFFFFFu);
}

TEST(RDBackgroundTest, NoColourFillsNothingAndOpaquePicturesGetNoFill)
{
    TRDBackground back(true);
    EXPECT_EQ(At(PaintRect(back, QRect(0, 0, 20, 20), clNone, 20, 20), 5, 5), 0x808080u);
    EXPECT_EQ(At(PaintRect(back, QRect(0, 0, 20, 20), clRed, 20, 20), 5, 5), 0xFF0000u);
    // A centred 4 x 4 picture in 20 x 20: the colour around it, the picture in the middle.
    back.AssignImage(Picture("TBitmap", 4, 4, 0x0000FF));
    back.Style = TBackgroundStyle::bsCentered;
    QImage image = PaintRect(back, QRect(0, 0, 20, 20), clRed, 20, 20);
    EXPECT_EQ(At(image, 0, 0), 0xFF0000u);
    EXPECT_EQ(At(image, 8, 8), 0x0000FFu);
    EXPECT_EQ(At(image, 11, 11), 0x0000FFu);
    EXPECT_EQ(At(image, 12, 12), 0xFF0000u);
    // Stretched and opaque: the picture covers all and the colour is never painted.
    back.Style = TBackgroundStyle::bsStretched;
    image = PaintRect(back, QRect(0, 0, 20, 20), clRed, 20, 20);
    EXPECT_EQ(At(image, 0, 0), 0x0000FFu);
    EXPECT_EQ(At(image, 19, 19), 0x0000FFu);
}

TEST(RDBackgroundTest, TiledStaysWithTheWindowTiledAndScrolledMovesWithTheDocument)
{
    // A 10 x 10 tile: left half black, right half white.
    QImage tile(10, 10, QImage::Format_RGB32);
    tile.fill(0xFFFFFF);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 5; ++x)
            tile.setPixel(x, y, 0x000000);
    std::unique_ptr<TGraphic> g = CreateGraphicByName(QStringLiteral("TBitmap"));
    g->Assign(tile);
    TRDBackground back(true);
    back.AssignImage(std::move(g));
    for (TBackgroundStyle style : {TBackgroundStyle::bsTiled, TBackgroundStyle::bsTiledAndScrolled}) {
        back.Style = style;
        const QImage before = PaintRect(back, QRect(0, 0, 40, 40), clNone, 40, 40, 0, 0);
        const QImage after = PaintRect(back, QRect(0, 0, 40, 40), clNone, 40, 40, 3, 0);
        EXPECT_EQ(At(before, 4, 0), 0u);
        EXPECT_EQ(At(before, 25, 30), 0xFFFFFFu);
        if (style == TBackgroundStyle::bsTiled) {
            EXPECT_EQ(before, after);
        } else {
            // Three pixels to the left: window column 1 shows tile column 4.
            EXPECT_EQ(At(after, 1, 0), 0u);
            EXPECT_EQ(At(after, 2, 0), 0xFFFFFFu);
            EXPECT_EQ(At(after, 6, 39), 0xFFFFFFu);
            EXPECT_EQ(At(after, 7, 39), 0u);
        }
    }
    // A rectangle of the window: the tiles stay on the window's grid.
    back.Style = TBackgroundStyle::bsTiled;
    const QImage part = PaintRect(back, QRect(13, 7, 10, 10), clNone, 40, 40);
    EXPECT_EQ(At(part, 0, 0), 0u);           // window column 13 is tile column 3
    EXPECT_EQ(At(part, 2, 0), 0xFFFFFFu);    // column 15
    EXPECT_EQ(At(part, 7, 9), 0u);           // column 20
}

TEST(RDBackgroundTest, ClipAndShiftPaintsOnlyTheRectangleAtItsWindowPlace)
{
    TRDBackground back(true);
    QImage image = Blank(40, 40);
    {
        QPainter painter(&image);
        TCanvas canvas(painter);
        back.DrawBackgroundRect(canvas, QRect(10, 10, 5, 5), false, true, clWhite, 40, 40, 0, 0, 0, 0);
    }
    EXPECT_EQ(At(image, 10, 10), 0xFFFFFFu);
    EXPECT_EQ(At(image, 14, 14), 0xFFFFFFu);
    EXPECT_EQ(At(image, 15, 15), 0x808080u);
    EXPECT_EQ(At(image, 9, 9), 0x808080u);
}

TEST(RDBackgroundTest, PrintRectScalesPicturesToTheDevice)
{
    TRDResolutionInfo twice;
    twice.DevicePpiX = twice.DevicePpiY = 192;
    TRDBackground back(true);
    back.AssignImage(Picture("TBitmap", 4, 4, 0x0000FF));
    back.Style = TBackgroundStyle::bsCentered;
    QImage page = Blank(40, 40);
    {
        QPainter painter(&page);
        back.PrintRect(painter, QRect(0, 0, 40, 40), QRect(0, 0, 40, 40), &twice, clWhite, {});
    }
    // 8 x 8 device pixels in the middle of the page, white around.
    EXPECT_EQ(At(page, 16, 16), 0x0000FFu);
    EXPECT_EQ(At(page, 23, 23), 0x0000FFu);
    EXPECT_EQ(At(page, 15, 15), 0xFFFFFFu);
    EXPECT_EQ(At(page, 24, 24), 0xFFFFFFu);
    // Tiled, in a part of the page: tiles of 8 from the part's corner, clipped to it.
    back.Style = TBackgroundStyle::bsTiled;
    back.AssignImage(Picture("TBitmap", 2, 2, 0x00FF00));
    page = Blank(40, 40);
    {
        QPainter painter(&page);
        back.PrintRect(painter, QRect(5, 5, 10, 10), QRect(0, 0, 40, 40), &twice, clNone, {});
    }
    EXPECT_EQ(At(page, 5, 5), 0x00FF00u);
    EXPECT_EQ(At(page, 14, 14), 0x00FF00u);
    EXPECT_EQ(At(page, 15, 15), 0x808080u);
    EXPECT_EQ(At(page, 4, 4), 0x808080u);
    // A see-through picture with no colour asks the page for what lies behind it.
    back.AssignImage(Picture("TBitmap", 2, 2, 0x00FF00, true));
    page = Blank(40, 40);
    int asked = 0;
    {
        QPainter painter(&page);
        back.PrintRect(painter, QRect(0, 0, 4, 4), QRect(0, 0, 4, 4), &twice, clNone,
                       [&](QPainter& p, const QRect& r) {
                           ++asked;
                           p.fillRect(r, QColor(0x12, 0x34, 0x56));
                       });
    }
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(At(page, 1, 1), 0x123456u);
}

TEST(RDBackgroundTest, RDFKeepsThePicturesBytesAndStyle)
{
    TTestStyleSheet sheet;
    TTestRDData doc(&sheet);
    doc.RDFOptions = rdfoSaveBack | rdfoLoadBack;
    doc.AddTextRawNoTag(QByteArray("x"), 0, 0);
    TRDBackground back(true);
    back.AssignImage(Picture("TJPEGImage", 6, 5, 0x336699));
    back.Style = TBackgroundStyle::bsTopRight;
    const QByteArray stored = back.GetImage()->SaveToStream();
    TRDMemoryStream out;
    ASSERT_TRUE(doc.SaveRDF(out, 0, nullptr, &back, 0x123456));

    TTestRDData copy(&sheet);
    copy.RDFOptions = rdfoSaveBack | rdfoLoadBack;
    TRDBackground read(true);
    TRDMemoryStream in;
    in.LoadFromBytes(out.ToBytes());
    in.SetPosition(0);
    TColor color = clNone;
    ASSERT_TRUE(copy.LoadFromRDF(in, color, &read, nullptr));
    EXPECT_EQ(color, 0x123456u);
    EXPECT_EQ(read.Style, TBackgroundStyle::bsTopRight);
    ASSERT_NE(read.GetImage(), nullptr);
    EXPECT_EQ(read.GetImage()->ClassName(), QStringLiteral("TJPEGImage"));
    EXPECT_EQ(read.GetImage()->SaveToStream(), stored);
    EXPECT_EQ(read.GetImage()->Width(), 6);
}
