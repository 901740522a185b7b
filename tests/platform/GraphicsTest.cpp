#include "Graphics.h"

#include <QtGui/QFontDatabase>
#include <QtGui/QGuiApplication>
#include <QtGui/QPainter>
#include <QtGui/QPalette>

#include <gtest/gtest.h>

TEST(Graphics, RoundsHalvesToEven)
{
    const struct {
        double value;
        int rounded;
    } cases[] = {{2.5, 2}, {3.5, 4}, {-0.5, 0}, {-1.5, -2}, {0.49, 0}, {7.51, 8}};
    for (const auto& c : cases)
        EXPECT_EQ(RoundHalfEven(c.value), c.rounded) << c.value;
}

TEST(Graphics, ColourNumbersHoldRedInTheLowestByte)
{
    EXPECT_EQ(ToQColor(255), QColor(255, 0, 0));
    EXPECT_EQ(ToQColor(65280), QColor(0, 255, 0));
    EXPECT_EQ(ToQColor(16711680), QColor(0, 0, 255));
    EXPECT_EQ(FromQColor(QColor(0x0D, 0x82, 0xC8)), 0xC8820Du);
}

TEST(Graphics, RectExcludesRightAndBottomEdges)
{
    const QRect r = Rect(3, 5, 29, 93);
    EXPECT_EQ(r.width(), 26);
    EXPECT_EQ(r.height(), 88);
    EXPECT_FALSE(r.contains(29, 5));
}

// Layouts write font names in any case.
TEST(Graphics, FontNamesMapWhateverTheirCase)
{
    const QString arial = MapFontName(QStringLiteral("Arial"));
    EXPECT_NE(arial, QStringLiteral("Arial"));
    EXPECT_EQ(MapFontName(QStringLiteral("ARIAL")), arial);
    EXPECT_EQ(MapFontName(QStringLiteral("ms sans serif")), MapFontName(QStringLiteral("MS Sans Serif")));
    EXPECT_EQ(MapFontName(QStringLiteral("Unknown Face")), QStringLiteral("Unknown Face"));
}

// The Kai face of the titles, or the 宋体 substitute where it is not installed.
TEST(Graphics, KaiFontMapsToAKaiFaceOrTheSongSubstitute)
{
    const QString kai = MapFontName(QStringLiteral("楷体_GB2312"));
    EXPECT_EQ(MapFontName(QStringLiteral("楷体_gb2312")), kai);
    if (QFontDatabase::families().contains(QStringLiteral("AR PL UKai CN")))
        EXPECT_EQ(kai, QStringLiteral("AR PL UKai CN"));
    else
        EXPECT_EQ(kai, MapFontName(QStringLiteral("宋体")));
}

TEST(Graphics, FontHeightFollowsPointSizeAt96Dpi)
{
    TFont font;
    EXPECT_EQ(font.Height(), -12);
    font.SetHeight(-16);
    EXPECT_EQ(font.Size, 12);
    EXPECT_EQ(font.ToQFont().pixelSize(), 16);
}

TEST(BitmapResources, UnknownNameRaisesWithItsName)
{
    try {
        LoadBitmapResource(QStringLiteral("NoSuchPicture"));
        FAIL() << "no exception";
    } catch (const EResNotFound& e) {
        EXPECT_STREQ(e.what(), "Resource NoSuchPicture not found");
    }
}

TEST(BitmapResources, RendersOnceAndReplacesOnNewRegistration)
{
    int renders = 0;
    RegisterBitmapResource(QStringLiteral("CountedPicture"), [&renders] {
        ++renders;
        QImage image(4, 3, QImage::Format_RGB32);
        image.fill(Qt::blue);
        return image;
    });
    EXPECT_EQ(LoadBitmapResource(QStringLiteral("CountedPicture")).size(), QSize(4, 3));
    LoadBitmapResource(QStringLiteral("CountedPicture"));
    EXPECT_EQ(renders, 1);

    RegisterBitmapResource(QStringLiteral("CountedPicture"), [] {
        QImage image(2, 2, QImage::Format_RGB32);
        image.fill(Qt::red);
        return image;
    });
    EXPECT_EQ(LoadBitmapResource(QStringLiteral("CountedPicture")).size(), QSize(2, 2));
}

namespace {
// A 4 x 4 picture: magenta left half, green right half, drawn over white.
QImage DrawOverWhite(TBitmap& bitmap)
{
    QImage canvasImage(4, 4, QImage::Format_RGB32);
    canvasImage.fill(Qt::white);
    QPainter painter(&canvasImage);
    TCanvas canvas(painter);
    canvas.Draw(0, 0, bitmap);
    painter.end();
    return canvasImage;
}

QImage HalfMagenta()
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(QColor(0, 255, 0));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 2; ++x)
            image.setPixelColor(x, y, QColor(255, 0, 255));
    return image;
}
}  // namespace

TEST(Bitmap, TransparentColourIsNotDrawn)
{
    TBitmap bitmap;
    bitmap.Assign(HalfMagenta());

    QImage opaque = DrawOverWhite(bitmap);
    EXPECT_EQ(opaque.pixelColor(0, 0), QColor(255, 0, 255));

    bitmap.SetTransparent(true);
    bitmap.SetTransparentColor(clFuchsia);
    QImage keyed = DrawOverWhite(bitmap);
    EXPECT_EQ(keyed.pixelColor(0, 0), QColor(Qt::white));
    EXPECT_EQ(keyed.pixelColor(3, 3), QColor(0, 255, 0));
}

TEST(Bitmap, AutomaticTransparentColourIsTheBottomLeftPixel)
{
    QImage image = HalfMagenta();
    image.setPixelColor(0, 3, QColor(0, 255, 0));  // bottom-left now green
    TBitmap bitmap;
    bitmap.Assign(image);
    bitmap.SetTransparent(true);
    EXPECT_EQ(bitmap.TransparentColor(), 0x00FF00u);
    QImage drawn = DrawOverWhite(bitmap);
    EXPECT_EQ(drawn.pixelColor(3, 3), QColor(Qt::white));
    EXPECT_EQ(drawn.pixelColor(0, 0), QColor(255, 0, 255));
}

TEST(Graphics, SystemColoursResolveThroughTheApplicationPalette)
{
    QPalette palette = QGuiApplication::palette();
    const QPalette saved = palette;
    palette.setColor(QPalette::Active, QPalette::Base, QColor(1, 2, 3));
    palette.setColor(QPalette::Active, QPalette::Highlight, QColor(10, 20, 30));
    palette.setColor(QPalette::Active, QPalette::Button, QColor(200, 201, 202));
    QGuiApplication::setPalette(palette);
    EXPECT_EQ(ColorToRGB(clWindow), 0x030201u);
    EXPECT_EQ(ColorToRGB(clHighlight), 0x1E140Au);
    EXPECT_EQ(ColorToRGB(clBtnFace), 0xCAC9C8u);
    EXPECT_EQ(ToQColor(clWindow), QColor(1, 2, 3));
    // Plain colours and the two special values pass through unchanged.
    EXPECT_EQ(ColorToRGB(0x123456), 0x123456u);
    EXPECT_EQ(ColorToRGB(clNone), 0x1FFFFFFFu);
    EXPECT_EQ(ColorToRGB(clDefault), 0x20000000u);
    EXPECT_TRUE(IsSystemColor(clInfoBk));
    EXPECT_FALSE(IsSystemColor(clNone));
    QGuiApplication::setPalette(saved);
}
