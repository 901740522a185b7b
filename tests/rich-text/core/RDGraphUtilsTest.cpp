#include <gtest/gtest.h>

#include <QtGui/QImage>
#include <QtGui/QPainter>

#include "Pictures.h"
#include "core/RDGraphUtils.h"

TEST(RDScaling, MulDivAndResolutionTable)
{
    struct {
        int n, num, den, expected;
    } cases[] = {{100, 600, 96, 625}, {625, 96, 600, 100}, {1, 1, 2, 1}, {-1, 1, 2, -1}, {3, 1, 2, 2},
                 {-3, 1, 2, -2},      {5, 7, 0, -1},       {7, -1, 2, -4}};
    for (const auto& c : cases)
        EXPECT_EQ(MulDiv(c.n, c.num, c.den), c.expected) << c.n << "*" << c.num << "/" << c.den;

    const TRDResolutionInfo info{96, 96, 600, 600, 0};
    EXPECT_EQ(ScaleToDeviceX(100, &info), 625);
    EXPECT_EQ(ScaleToScreenX(625, &info), 100);
    EXPECT_EQ(ScaleToDeviceY(100, nullptr), 100);
    const TRDResolutionInfo broken{0, 0, 600, 600, 0};
    EXPECT_EQ(ScaleToDeviceX(100, &broken), -1);
    QRect r(625, 625, 625, 625);
    ScaleRectToScreen(r, &info);
    EXPECT_EQ(r, QRect(100, 100, 100, 100));

    EXPECT_EQ(GetScreenPixelsPerInch(), 96);
    PixelsPerInchOverride = 120;
    EXPECT_EQ(GetScreenPixelsPerInch(), 120);
    PixelsPerInchOverride = 0;

    QImage device(10, 10, QImage::Format_RGB32);
    device.setDotsPerMeterX(23622);  // 600 dpi
    device.setDotsPerMeterY(23622);
    TRDResolutionInfo filled;
    FillResolutionInfo(filled, device);
    EXPECT_EQ(filled.DevicePpiX, 600);
    EXPECT_EQ(filled.ScreenPpiY, 96);

    EXPECT_TRUE(PointInBounds(10, 10, 10, 10, 5, 5));
    EXPECT_FALSE(PointInBounds(15, 10, 10, 10, 5, 5));
    EXPECT_FALSE(PointInBounds(9, 10, 10, 10, 5, 5));
}

TEST(RDColorModes, Table)
{
    const TColor grayOfC0 = ColorToGray(0xC0C0C0);
    struct {
        TColor color;
        int mode;
        TColor text, back;
    } cases[] = {
        {clBtnFace, 1, 0xC0C0C0, 0xC0C0C0}, {clBtnFace, 2, grayOfC0, grayOfC0}, {clRed, 3, 0x000000, 0xFFFFFF},
        {0xFFFFFF, 3, 0xFFFFFF, 0xFFFFFF},  {clNone, 0, clNone, clNone},        {clNone, 3, clNone, clNone},
        {clRed, 0, clRed, clRed},           {clWindowText, 1, 0, 0},            {clBtnShadow, 1, 0x808080, 0x808080},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ColorByColorMode(c.color, c.mode), c.text) << std::hex << c.color << " " << c.mode;
        EXPECT_EQ(BackColorByColorMode(c.color, c.mode), c.back) << std::hex << c.color << " " << c.mode;
    }
    EXPECT_EQ(ColorToGray(clRed), 0x4C4C4Cu);  // 76.5 rounds to even
    EXPECT_EQ(ColorToGray(clNone), clNone);
    EXPECT_EQ(ColorLuminance(clWhite), 255);
}

namespace {

// Draws a line on a white image and answers the image.
QImage DrawLine(int style, int width, int left, int right, int y, int patternBase)
{
    QImage image(20, 20, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    DrawStyledHLine(painter, clBlack, style, width, left, right, y, patternBase);
    painter.end();
    return image;
}

bool Black(const QImage& image, int x, int y)
{
    return image.pixelColor(x, y) == QColor(Qt::black);
}

}  // namespace

TEST(RDStyledLine, DashesDotsAndSolidRows)
{
    const QImage dashes = DrawLine(2, 1, 0, 10, 5, 0);
    for (int x = 0; x < 12; ++x)
        EXPECT_EQ(Black(dashes, x, 5), x < 10 && x % 2 == 0) << x;
    EXPECT_FALSE(Black(dashes, 0, 4));

    const QImage solid = DrawLine(0, 3, 2, 8, 10, 0);
    for (int y = 7; y < 14; ++y)
        EXPECT_EQ(Black(solid, 4, y), y >= 9 && y <= 11) << y;
    EXPECT_FALSE(Black(solid, 8, 10));
    EXPECT_TRUE(Black(solid, 7, 10));

    const QImage longDashes = DrawLine(3, 1, 0, 12, 5, 0);  // period 3, dash 2
    const bool expected[12] = {1, 1, 0, 1, 1, 0, 1, 1, 0, 1, 1, 0};
    for (int x = 0; x < 12; ++x)
        EXPECT_EQ(Black(longDashes, x, 5), expected[x]) << x;

    const QImage dashDot = DrawLine(4, 1, 0, 14, 5, 0);  // dash 2, step 3, dot 1, step 2
    const bool dd[14] = {1, 1, 0, 1, 0, 1, 1, 0, 1, 0, 1, 1, 0, 1};
    for (int x = 0; x < 14; ++x)
        EXPECT_EQ(Black(dashDot, x, 5), dd[x]) << x;

    const QImage none = DrawLine(9, 3, 0, 10, 5, 0);
    EXPECT_FALSE(Black(none, 3, 5));
}

TEST(RDScaling, OutlineMetricsOfAScalableFont)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(40);
    const auto metrics = AllocOutlineTextMetrics(font);
    ASSERT_TRUE(metrics.has_value());
    EXPECT_GT(metrics->Ascent, 30);
    EXPECT_LT(metrics->Ascent, 45);
    EXPECT_GE(metrics->UnderscoreSize, 1);
    EXPECT_LT(metrics->UnderscorePosition, 0);  // below the base line
    EXPECT_GT(metrics->StrikeoutPosition, 0);
    EXPECT_EQ(metrics->Weight, 400);
    EXPECT_GT(metrics->EmSquare, 0);

    // The same font on a 600 dpi device is larger.
    QImage device(10, 10, QImage::Format_RGB32);
    device.setDotsPerMeterX(23622);
    device.setDotsPerMeterY(23622);
    QFont pointFont(QStringLiteral("Liberation Sans"), 12);
    const auto screen = AllocOutlineTextMetrics(pointFont);
    const auto printer = AllocOutlineTextMetrics(pointFont, &device);
    ASSERT_TRUE(screen && printer);
    EXPECT_GT(printer->Ascent, screen->Ascent * 5);
    EXPECT_GT(printer->StrikeoutPosition, screen->StrikeoutPosition * 4);
}

TEST(RDScaling, GraphicsDrawnScaled)
{
    QImage image(10, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    TBitmapGraphic bitmap;
    bitmap.Assign(image);
    EXPECT_FALSE(GraphicMayBeTransparent(bitmap));
    bitmap.SetTransparent(true);
    EXPECT_TRUE(GraphicMayBeTransparent(bitmap));
    EXPECT_FALSE(GraphicMayBeTransparent(TJPEGImage()));
    EXPECT_TRUE(GraphicMayBeTransparent(TIcon()));
    bitmap.SetTransparent(false);

    // Width -1: the graphic's own width, scaled from 96 to 192 ppi.
    QImage device(40, 40, QImage::Format_RGB32);
    device.fill(Qt::white);
    const TRDResolutionInfo info{96, 96, 192, 192, 0};
    {
        QPainter painter(&device);
        DrawGraphicScaled(painter, 0, 0, -1, -1, &info, bitmap, true);
    }
    EXPECT_EQ(device.pixel(19, 7), qRgb(255, 0, 0));
    EXPECT_EQ(device.pixel(20, 7), qRgb(255, 255, 255));
    EXPECT_EQ(device.pixel(19, 8), qRgb(255, 255, 255));

    // Without stretch drawing only bitmaps are drawn.
    TJPEGImage jpeg;
    jpeg.Assign(image);
    device.fill(Qt::white);
    {
        QPainter painter(&device);
        DrawGraphicScaled(painter, 0, 0, -1, -1, nullptr, jpeg, false);
        DrawGraphicScaled(painter, 20, 20, 5, 5, nullptr, bitmap, false);
    }
    EXPECT_EQ(device.pixel(2, 2), qRgb(255, 255, 255));
    EXPECT_EQ(device.pixel(22, 22), qRgb(255, 0, 0));
    EXPECT_EQ(CreateGraphicHook("TJPEGImage")->ClassName(), "TJPEGImage");
}
