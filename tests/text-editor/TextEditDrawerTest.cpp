// The text drawer on an offscreen image: characters in their cells, shared
// font records, the second font.

#include "TextEditDrawer.h"

#include <QtGui/QImage>
#include <QtGui/QPainter>

#include <gtest/gtest.h>

namespace {

TFont Courier(int size = 10, bool bold = false)
{
    TFont font;
    font.Name = QStringLiteral("Courier New");
    font.Size = size;
    font.Bold = bold;
    return font;
}

// The columns of an image that hold ink (any non-white pixel).
std::vector<bool> InkColumns(const QImage& image)
{
    std::vector<bool> ink(static_cast<size_t>(image.width()), false);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF)
                ink[static_cast<size_t>(x)] = true;
    return ink;
}

bool InkIn(const std::vector<bool>& ink, int from, int to)
{
    for (int x = std::max(from, 0); x < to && x < static_cast<int>(ink.size()); ++x)
        if (ink[static_cast<size_t>(x)])
            return true;
    return false;
}

QImage Draw(TheTextDrawer& drawer, const QString& text, int clipWidth = 300)
{
    const int width = 300;
    QImage image(width, drawer.CellHeight() + 4, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    drawer.ChangeForeColor(clBlack);
    drawer.ChangeBackColor(clWhite);
    drawer.StartDrawing(&painter);
    drawer.PutTextClipped(0, 0, QRect(0, 0, clipWidth, drawer.CellHeight()), text);
    drawer.FinishDrawing();
    return image;
}

}  // namespace

TEST(TextEditDrawer, EveryCharacterLiesInItsCells)
{
    TheTextDrawer drawer(tfsBold, Courier());
    const int cw = drawer.CellWidth();
    ASSERT_GT(cw, 0);
    // "a" in cell 0, a space, "中" in cells 2-3, a space, "b" in cell 5.
    const QImage image = Draw(drawer, QStringLiteral("a 中 b"));
    const auto ink = InkColumns(image);
    EXPECT_TRUE(InkIn(ink, 0, cw));
    EXPECT_FALSE(InkIn(ink, cw + 1, 2 * cw - 1));
    EXPECT_TRUE(InkIn(ink, 2 * cw, 4 * cw));
    EXPECT_FALSE(InkIn(ink, 4 * cw + 1, 5 * cw - 1));
    EXPECT_TRUE(InkIn(ink, 5 * cw, 6 * cw));
    EXPECT_FALSE(InkIn(ink, 6 * cw + 1, 300));
}

TEST(TextEditDrawer, CellsAreTheBoldMeasureAndIgnoreGlyphWidths)
{
    // A proportional font still lays "iiii" and "MMMM" on the same cells.
    TFont arial;
    arial.Name = QStringLiteral("Arial");
    TheTextDrawer proportional(tfsBold, arial);
    const int cw = proportional.CellWidth();
    const auto narrow = InkColumns(Draw(proportional, QStringLiteral("iiii")));
    EXPECT_TRUE(InkIn(narrow, 3 * cw, 4 * cw));
    EXPECT_FALSE(InkIn(narrow, 4 * cw + 1, 300));
    // Nothing is drawn outside the clipping rectangle.
    const auto clipped = InkColumns(Draw(proportional, QString(40, QLatin1Char('M')), 50));
    EXPECT_TRUE(InkIn(clipped, 0, 50));
    EXPECT_FALSE(InkIn(clipped, 50, 300));
    // The cell is the bold M's advance.
    TFont bold = arial;
    bold.Bold = true;
    EXPECT_EQ(cw, QFontMetrics(bold.ToQFont()).horizontalAdvance(QLatin1Char('M')));
}

TEST(TextEditDrawer, FontRecordsAreSharedByKey)
{
    const int before = TheFontsInfoManager::RecordCount();
    {
        TheTextDrawer a(tfsBold, Courier());
        TheTextDrawer b(tfsBold, Courier());
        EXPECT_EQ(a.MainStock().Record(), b.MainStock().Record());
        EXPECT_EQ(a.MainStock().Record()->UseCount, 2);
        TheTextDrawer c(tfsBold, Courier(10, true));
        EXPECT_NE(c.MainStock().Record(), a.MainStock().Record());
        TheTextDrawer d(tfsBold, Courier(12));
        EXPECT_NE(d.MainStock().Record(), a.MainStock().Record());
    }
    EXPECT_EQ(TheFontsInfoManager::RecordCount(), before);
}

TEST(TextEditDrawer, SecondFontDrawsWideCharactersAndAlwaysFits)
{
    TheTextDrawer drawer(tfsBold, Courier());
    drawer.SetSecondFontName(QStringLiteral("宋体"));
    EXPECT_TRUE(drawer.UseSecondFont());
    EXPECT_GE(drawer.SecondFontPixelSize(), 1);
    const int cw = drawer.CellWidth();
    const auto ink = InkColumns(Draw(drawer, QStringLiteral("ab中")));
    EXPECT_TRUE(InkIn(ink, 2 * cw, 4 * cw));
    EXPECT_FALSE(InkIn(ink, 4 * cw + 1, 300));
    // A second font without Chinese glyphs of its own still ends its fitting.
    drawer.SetSecondFontName(QStringLiteral("Courier New"));
    EXPECT_GE(drawer.SecondFontPixelSize(), 1);
    drawer.SetSecondFontName(QString());
    EXPECT_FALSE(drawer.UseSecondFont());
}

TEST(TextEditDrawer, DrawingNestsOnOnePainter)
{
    TheTextDrawer drawer(tfsBold, Courier());
    QImage image(10, 10, QImage::Format_RGB32);
    QPainter painter(&image);
    drawer.StartDrawing(&painter);
    drawer.StartDrawing(&painter);
    drawer.FinishDrawing();
    EXPECT_TRUE(drawer.Drawing());
    drawer.FinishDrawing();
    EXPECT_FALSE(drawer.Drawing());
    EXPECT_THROW(drawer.FinishDrawing(), std::logic_error);
    EXPECT_THROW(drawer.PutText(0, 0, QStringLiteral("x")), std::logic_error);
}
