// Painting and HTML and RTF output of break and tab items.

#include <gtest/gtest.h>

#include <QtGui/QImage>
#include <QtGui/QPainter>

#include "RDDocTestSupport.h"
#include "document/RDTextItems.h"

namespace {

QImage Blank(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// Columns of row y that are not white.
int InkInRow(const QImage& image, int y)
{
    int n = 0;
    for (int x = 0; x < image.width(); ++x)
        if (image.pixel(x, y) != qRgb(255, 255, 255))
            ++n;
    return n;
}

int InkRows(const QImage& image)
{
    int rows = 0;
    for (int y = 0; y < image.height(); ++y)
        if (InkInRow(image, y) > 0)
            ++rows;
    return rows;
}

}  // namespace

TEST(RDBreakItemTest, HtmlRtfAndText)
{
    TRDBreakItemInfo line;
    line.Color = clNone;
    line.LineWidth = 1;
    EXPECT_EQ(line.SaveToHTML(nullptr, 0, false).toStdString(), std::string("<hr noshade size=1>"));
    line.Color = 0x0000FF;
    line.BreakStyle = static_cast<uint8_t>(TRDBreakLook::blDotted);
    EXPECT_EQ(line.SaveToHTML(nullptr, 0, true).toStdString(), std::string("<hr noshade size=1 style=\"color : #ff0000; border-style: dotted\">"));
    EXPECT_EQ(line.SaveToHTML(nullptr, 0, false).toStdString(), std::string("<hr noshade size=1 color=\"#ff0000\">"));
    TRDColorList colors;
    line.FillRTFTables(colors);
    line.LineWidth = 2;
    EXPECT_EQ(line.SaveRTF(15, colors, 0), QByteArray("\\pard\\plain\\fs6\\brdrb\\brdrs\\brdrw30\\brdrcf0\\par\\pard"));
    EXPECT_EQ(line.SaveRTF(15, colors, 1),
              QByteArray("\\pard\\intbl\\itap1\\plain\\fs6\\brdrb\\brdrs\\brdrw30\\brdrcf0\\par\\pard\\intbl\\itap1"));
}

TEST(RDBreakItemTest, PaintsItsLookAndOnlyTheFrameForAnUnknownLook)
{
    TTestStyleSheet sheet;
    TRDBreakItemInfo line;
    line.Color = 0x000000;
    line.LineWidth = 3;
    auto paint = [&](QImage& image, uint16_t state) {
        QPainter painter(&image);
        TCanvas canvas(painter);
        line.PaintFullLine(0, 100, 2, &sheet, state, canvas, nullptr);
    };
    QImage solid = Blank(100, 20);
    paint(solid, 0);
    EXPECT_EQ(InkRows(solid), 3);
    EXPECT_EQ(InkInRow(solid, 7), 90);

    line.BreakStyle = 9;
    QImage unknown = Blank(100, 20);
    paint(unknown, 0);
    EXPECT_EQ(InkRows(unknown), 0);
    sheet.SelColor = 0x00FF00;
    paint(unknown, rdisSelected | rdisControlFocused);
    EXPECT_EQ(InkRows(unknown), 5);
    EXPECT_EQ(unknown.pixel(50, 5), qRgb(0, 255, 0));
}

TEST(RDTabItemTest, ArrowLengthAndHtml)
{
    for (const auto& [width, length] : {std::pair{3, 5}, std::pair{40, 10}}) {
        QImage image = Blank(60, 20);
        {
            QPainter painter(&image);
            TCanvas canvas(painter);
            canvas.Font.Color = clBlack;
            DrawTabArrow(canvas, QRect(5, 0, width, 20), false);
        }
        EXPECT_EQ(InkInRow(image, 10), length + 1) << width;
    }
    TTestStyleSheet sheet;
    sheet.SpacesInTab = 0;
    TRDTabItemInfo tab;
    EXPECT_EQ(tab.SaveToHTML(&sheet), QByteArray(" &nbsp; &nbsp; &nbsp; &nbsp;"));
    tab.Leader = QStringLiteral("...");
    EXPECT_EQ(tab.SaveToHTML(&sheet), QByteArray("........."));
    EXPECT_EQ(tab.SaveRTF(), QByteArray("\\tab "));
}

TEST(RDTabItemTest, MeasuresAndPaintsWithItsStyle)
{
    TTestStyleSheet sheet;
    sheet.ParaStyles()[0]->DefStyleNo = -1;
    TTestRDData doc(&sheet);
    TRDTabItemInfo tab;
    tab.TextStyleNo = RDMaxInt;
    EXPECT_EQ(tab.GetActualTextStyleNo(&sheet), 0);
    QImage image = Blank(80, 30);
    QPainter painter(&image);
    TCanvas canvas(painter);
    TRDDrawLineInfo drawItem;
    drawItem.Width = 33;
    int extra = 5, descent = 0;
    tab.OnDocWidthChange(100, &drawItem, false, &canvas, &doc, nullptr, extra, descent);
    EXPECT_EQ(drawItem.Width, 0);
    EXPECT_GT(drawItem.Height, 0);
    EXPECT_GT(descent, 0);
    EXPECT_EQ(extra, 0);
    // An underlined style draws its line across the tab; a leader repeats.
    sheet.TextStyles()[0]->Style = fsUnderline;
    tab.Leader = QStringLiteral(".");
    tab.PaintTab(canvas, QRect(10, 0, 60, drawItem.Height), &sheet, 0, false, false, 0, false);
    painter.end();
    int widest = 0;
    for (int y = 0; y < image.height(); ++y)
        widest = std::max(widest, InkInRow(image, y));
    EXPECT_GE(widest, 60);
}
