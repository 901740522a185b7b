#include <gtest/gtest.h>

#include <QtGui/QImage>
#include <QtGui/QPainter>

#include <memory>
#include <vector>

#include "AnsiText.h"
#include "text/RDTextMeasure.h"

namespace {

QByteArray Utf16Item(const QString& s)
{
    return QByteArray(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
}

constexpr int U = rdioUnicode;

// A white image with a canvas whose font is family at pixelSize.
class RDTextMeasureTest : public ::testing::Test {
protected:
    void SetUp() override { Select(QStringLiteral("Liberation Sans"), 20); }

    void Select(const QString& family, int pixelSize)
    {
        canvas.reset();
        painter.reset();
        image = QImage(400, 60, QImage::Format_RGB32);
        image.fill(Qt::white);
        painter = std::make_unique<QPainter>(&image);
        canvas = std::make_unique<TCanvas>(*painter);
        QFont font(family);
        font.setPixelSize(pixelSize);
        font.setKerning(false);
        SelectCanvasFont(*canvas, font, 1);
    }

    void TearDown() override
    {
        canvas.reset();
        if (painter)
            painter->end();
    }

    std::vector<int> Extents(const QByteArray& s, int flags, int* fit = nullptr, int maxExtent = 100000)
    {
        std::vector<int> extents;
        int f = -1;
        ItemTextExtentEx(*canvas, s, maxExtent, f, &extents, flags);
        if (fit)
            *fit = f;
        return extents;
    }

    QImage image;
    std::unique_ptr<QPainter> painter;
    std::unique_ptr<TCanvas> canvas;
};

TEST_F(RDTextMeasureTest, ZeroWidthCharactersTakeNoWidth)
{
    const QString plain = QStringLiteral("abcd");
    for (const char16_t zw : {char16_t(0x200B), char16_t(0x200D), char16_t(0x2060)}) {
        QString s = QStringLiteral("ab");
        s += QChar(zw);
        s += QStringLiteral("cd");
        const QByteArray item = Utf16Item(s);
        EXPECT_EQ(ItemTextWidth(item, *canvas, U), ItemTextWidth(Utf16Item(plain), *canvas, U)) << int(zw);
        const std::vector<int> ext = Extents(item, U);
        ASSERT_EQ(ext.size(), 5u);
        EXPECT_EQ(ext[2], ext[1]);
        EXPECT_EQ(ext[4], ItemTextWidth(Utf16Item(plain), *canvas, U));
    }
}

TEST_F(RDTextMeasureTest, ZeroWidthCharactersTakeNoCharacterExtra)
{
    SetCanvasCharacterExtra(*canvas, 5);
    QString s = QStringLiteral("ab");
    s += QChar(0x200B);
    s += QStringLiteral("cd");
    const QByteArray item = Utf16Item(s);
    const QByteArray plain = Utf16Item(QStringLiteral("abcd"));
    EXPECT_EQ(ItemTextWidth(item, *canvas, U), ItemTextWidth(plain, *canvas, U));
    const std::vector<int> ext = Extents(item, U);
    const std::vector<int> plainExt = Extents(plain, U);
    EXPECT_EQ(ext, (std::vector<int>{plainExt[0], plainExt[1], plainExt[1], plainExt[2], plainExt[3]}));
    int fit = 0;
    // The zero width space fits where the b before it fits with room to spare.
    ItemTextExtentEx(*canvas, item, plainExt[1] + 1, fit, nullptr, U);
    EXPECT_EQ(fit, 3);
    ItemTextExtentEx(*canvas, item, plainExt[1], fit, nullptr, U);
    EXPECT_EQ(fit, 2);
}

TEST_F(RDTextMeasureTest, CountZeroFitsNothingAndLeavesTheSize)
{
    QSize size(7, 9);
    int fit = 5;
    std::vector<int> extents{1, 2};
    TextExtentEx(*canvas, "abc", 0, 100, fit, &extents, 0, size);
    EXPECT_EQ(fit, 0);
    EXPECT_EQ(size, QSize(7, 9));
    EXPECT_TRUE(extents.empty());
}

TEST_F(RDTextMeasureTest, ExtentsFitAndSize)
{
    const QByteArray item("hello world");
    QSize size;
    int fit = -1;
    std::vector<int> ext;
    TextExtentEx(*canvas, item.constData(), item.size(), 100000, fit, &ext, 0, size);
    ASSERT_EQ(ext.size(), size_t(item.size()));
    EXPECT_EQ(fit, item.size());
    EXPECT_EQ(size.width(), ext.back());
    EXPECT_EQ(size.width(), ItemTextWidth(item, *canvas, 0));
    EXPECT_GT(size.height(), 0);
    for (size_t i = 1; i < ext.size(); ++i)
        EXPECT_GT(ext[i], ext[i - 1]) << i;
    // Exactly the extent of the fifth character fits five; one less fits four.
    ItemTextExtentEx(*canvas, item, ext[4], fit, nullptr, 0);
    EXPECT_EQ(fit, 5);
    ItemTextExtentEx(*canvas, item, ext[4] - 1, fit, nullptr, 0);
    EXPECT_EQ(fit, 4);
    ItemTextExtentEx(*canvas, item, -1, fit, nullptr, 0);
    EXPECT_EQ(fit, 0);
}

TEST_F(RDTextMeasureTest, DoubleByteCharactersAreNeverSplit)
{
    const QByteArray gbk = StringToAnsi(QStringLiteral("中文ab汉字c"));
    ASSERT_EQ(gbk.size(), 11);
    const std::vector<int> ext = Extents(gbk, 0);
    ASSERT_EQ(ext.size(), 11u);
    EXPECT_EQ(ext[0], ext[1]);
    EXPECT_EQ(ext[2], ext[3]);
    EXPECT_EQ(ext[6], ext[7]);
    EXPECT_EQ(ext[8], ext[9]);
    EXPECT_GT(ext[0], 0);
    EXPECT_EQ(ext.back(), ItemTextWidth(gbk, *canvas, 0));
    for (int max = 0; max <= ext.back() + 1; ++max) {
        int fit = -1;
        ItemTextExtentEx(*canvas, gbk, max, fit, nullptr, 0);
        EXPECT_TRUE(fit != 1 && fit != 3 && fit != 7 && fit != 9) << "fit " << fit << " at " << max;
    }
    // A surrogate pair of Unicode text is one character as well.
    const QByteArray pair = Utf16Item(QStringLiteral("a\U0001F600b"));
    const std::vector<int> pext = Extents(pair, U);
    ASSERT_EQ(pext.size(), 4u);
    EXPECT_EQ(pext[1], pext[2]);
    for (int max = 0; max <= pext.back(); ++max) {
        int fit = -1;
        ItemTextExtentEx(*canvas, pair, max, fit, nullptr, U);
        EXPECT_NE(fit, 2) << max;
    }
}

TEST_F(RDTextMeasureTest, AnsiTextIsReadInTheCodePageOfTheFontCharset)
{
    const QString word = QStringLiteral("Привет");
    const QByteArray cp1251 = QStringToAnsi(1251, word);
    ASSERT_EQ(cp1251.size(), 6);
    SelectCanvasFont(*canvas, CanvasFont(*canvas), 204);  // Russian
    const std::vector<int> ext = Extents(cp1251, 0);
    ASSERT_EQ(ext.size(), 6u);
    for (size_t i = 1; i < ext.size(); ++i)
        EXPECT_GT(ext[i], ext[i - 1]) << i;
    EXPECT_EQ(ItemTextWidth(cp1251, *canvas, 0), ItemTextWidth(Utf16Item(word), *canvas, rdioUnicode));
}

TEST_F(RDTextMeasureTest, LeftToRightCaretsStandOnePixelRightOfEachCell)
{
    for (const int flags : {0, U}) {
        const QByteArray item = flags ? Utf16Item(QStringLiteral("abc")) : QByteArray("abc");
        const int width = ItemTextWidth(item, *canvas, flags);
        const std::vector<int> ext = Extents(item, flags);
        std::vector<int> pos;
        ASSERT_TRUE(GetBiDiCaretPositions(*canvas, item, pos, flags, width));
        ASSERT_EQ(pos.size(), 4u);
        EXPECT_EQ(pos[0], 0);
        for (int i = 1; i <= 3; ++i)
            EXPECT_EQ(pos[size_t(i)], ext[size_t(i - 1)] + 1) << i;
    }
}

TEST_F(RDTextMeasureTest, DoubleByteCaretsNeverStandInsideACharacter)
{
    const QByteArray gbk = StringToAnsi(QStringLiteral("a中b"));
    const int width = ItemTextWidth(gbk, *canvas, 0);
    std::vector<int> pos;
    ASSERT_TRUE(GetBiDiCaretPositions(*canvas, gbk, pos, 0, width));
    ASSERT_EQ(pos.size(), 5u);
    EXPECT_EQ(pos[2], pos[3]);
    EXPECT_LT(pos[1], pos[2]);
    EXPECT_LT(pos[3], pos[4]);
}

TEST_F(RDTextMeasureTest, RightToLeftWordsGiveDecreasingCarets)
{
    Select(QStringLiteral("DejaVu Sans"), 20);
    for (const QString& word : {QStringLiteral("שלום"), QStringLiteral("سلام")}) {
        const QByteArray item = Utf16Item(word);
        const int width = ItemTextWidth(item, *canvas, U);
        std::vector<int> pos;
        ASSERT_TRUE(GetBiDiCaretPositions(*canvas, item, pos, U, width)) << word.toStdString();
        ASSERT_EQ(pos.size(), 5u);
        EXPECT_EQ(pos[4], 0);
        EXPECT_EQ(pos[0], width);
        // The Arabic word's lam and alef share one ligature glyph, split between them.
        for (size_t i = 1; i < pos.size(); ++i)
            EXPECT_LT(pos[i], pos[i - 1]) << word.toStdString() << " " << i;
        int left = -1, right = -1;
        ASSERT_TRUE(GetBiDiRangeExtent(*canvas, item, 2, 2, U, width, left, right));
        EXPECT_EQ(left, pos[3]);
        EXPECT_EQ(right, pos[1]);
        EXPECT_LE(left, right);
    }
}

TEST_F(RDTextMeasureTest, ZeroWidthCellKeepsTheOthersInPlace)
{
    Select(QStringLiteral("DejaVu Sans"), 20);
    const QByteArray plain = Utf16Item(QStringLiteral("שלום"));
    const QByteArray zw = Utf16Item(QStringLiteral("של\u200Bום"));
    std::vector<int> a, b;
    ASSERT_TRUE(GetBiDiCaretPositions(*canvas, plain, a, U, ItemTextWidth(plain, *canvas, U)));
    ASSERT_TRUE(GetBiDiCaretPositions(*canvas, zw, b, U, ItemTextWidth(zw, *canvas, U)));
    ASSERT_EQ(b.size(), 6u);
    // The caret after the zero width space is its own; every other stays.
    const std::vector<int> expected{a[0], a[1], a[2], a[3], a[4]};
    EXPECT_EQ((std::vector<int>{b[0], b[1], b[2], b[4], b[5]}), expected);
}

TEST_F(RDTextMeasureTest, MixedDirectionsPlaceEveryCharacterOnce)
{
    Select(QStringLiteral("DejaVu Sans"), 20);
    const QByteArray item = Utf16Item(QStringLiteral("ab שלום cd"));
    const int width = ItemTextWidth(item, *canvas, U);
    TRDPlacement pl;
    ASSERT_TRUE(PlaceItemText(*canvas, item, U, width, pl));
    std::vector<int> order = pl.Order;
    std::sort(order.begin(), order.end());
    for (size_t i = 0; i < order.size(); ++i)
        EXPECT_EQ(order[i], int(i));
    // The Hebrew letters stand in reverse order between the Latin ones.
    EXPECT_EQ(pl.Order[0], 0);
    EXPECT_EQ(pl.Order[3], 6);
    EXPECT_EQ(pl.Order[6], 3);
    EXPECT_EQ(pl.Classes[3], RDRightToLeftClass);
    EXPECT_EQ(pl.Classes[0], 0);
    int left = -1, right = -1;
    for (int start = 1; start <= 10; ++start) {
        ASSERT_TRUE(GetBiDiRangeExtent(*canvas, item, start, 1, U, width, left, right));
        EXPECT_LE(left, right) << start;
    }
}

TEST_F(RDTextMeasureTest, RightToLeftReadingOrdersTheRunsFromTheRight)
{
    Select(QStringLiteral("DejaVu Sans"), 20);
    const QByteArray item = Utf16Item(QStringLiteral("abc שלום"));
    const int width = ItemTextWidth(item, *canvas, U);
    TRDPlacement ltr, rtl;
    ASSERT_TRUE(PlaceItemText(*canvas, item, U, width, ltr));
    painter->setLayoutDirection(Qt::RightToLeft);
    EXPECT_EQ(ItemTextWidth(item, *canvas, U), width);
    ASSERT_TRUE(PlaceItemText(*canvas, item, U, width, rtl));
    // Left to right: abc, the space, then the Hebrew word reversed.
    EXPECT_EQ(ltr.Order, (std::vector<int>{0, 1, 2, 3, 7, 6, 5, 4}));
    // Right to left: the Hebrew word reversed at the left, abc at the right.
    EXPECT_EQ(rtl.Order, (std::vector<int>{5, 6, 7, 4, 3, 2, 1, 0}));
    std::vector<int> pos;
    ASSERT_TRUE(GetBiDiCaretPositions(*canvas, item, pos, U, width));
    EXPECT_LT(pos[1], pos[2]);
    EXPECT_LT(pos[2], pos[3]);
    EXPECT_GT(pos[5], pos[6]);
    EXPECT_EQ(pos[3], width + 1);  // after c, at the right edge
}

TEST_F(RDTextMeasureTest, WidthCheckAllowsOnePixel)
{
    const QByteArray item("width");
    const int width = ItemTextWidth(item, *canvas, 0);
    std::vector<int> pos;
    EXPECT_TRUE(GetBiDiCaretPositions(*canvas, item, pos, 0, width + 1));
    EXPECT_TRUE(GetBiDiCaretPositions(*canvas, item, pos, 0, width - 1));
    EXPECT_FALSE(GetBiDiCaretPositions(*canvas, item, pos, 0, width + 2));
    EXPECT_FALSE(GetBiDiCaretPositions(*canvas, item, pos, 0, width - 2));
    EXPECT_EQ(pos, std::vector<int>(6, -1));
}

TEST_F(RDTextMeasureTest, RangesOutsideTheTextFail)
{
    const QByteArray item("abc");
    const int width = ItemTextWidth(item, *canvas, 0);
    int left = 0, right = 0;
    EXPECT_FALSE(GetBiDiRangeExtent(*canvas, item, 0, 1, 0, width, left, right));
    EXPECT_FALSE(GetBiDiRangeExtent(*canvas, item, 3, 2, 0, width, left, right));
    EXPECT_FALSE(GetBiDiRangeExtent(*canvas, item, 1, -1, 0, width, left, right));
    EXPECT_FALSE(GetBiDiRangeExtent(*canvas, QByteArray(), 1, 0, 0, 0, left, right));
    std::vector<int> pos;
    EXPECT_FALSE(GetBiDiCaretPositions(*canvas, QByteArray(), pos, 0, 0));
    EXPECT_FALSE(GetBiDiCaretPositions(*canvas, QByteArray("\x41", 1), pos, U, 0));  // no whole unit
    EXPECT_FALSE(TryDrawBiDiTextRange(0, 0, width, *canvas, item, 20, 0, 2, 0, true));
    EXPECT_FALSE(TryDrawBiDiTextRange(0, 0, width, *canvas, item, 20, 2, 4, 0, true));
    EXPECT_FALSE(TryDrawBiDiTextRange(0, 0, width, *canvas, item, 20, 3, 2, 0, true));
    EXPECT_FALSE(TryDrawBiDiTextRange(0, 0, width, *canvas, QByteArray(), 20, 1, 1, 0, true));
}

TEST_F(RDTextMeasureTest, DrawingARangePaintsOnlyItsCells)
{
    const QImage blank = image;
    const QByteArray item("mmmmmm");
    const int width = ItemTextWidth(item, *canvas, 0);
    canvas->BrushColor = clRed;
    canvas->Font.Color = clBlack;
    EXPECT_FALSE(TryDrawBiDiTextRange(10, 10, width, *canvas, item, 24, 2, 3, 0, false));
    EXPECT_EQ(image, blank);
    ASSERT_TRUE(TryDrawBiDiTextRange(10, 10, width, *canvas, item, 24, 2, 3, 0, true));
    const std::vector<int> ext = Extents(item, 0);
    const QColor red(Qt::red);
    // Top row of the box: background only.
    EXPECT_EQ(image.pixelColor(10 + ext[0] + 1, 10), red);
    EXPECT_EQ(image.pixelColor(10 + ext[2] - 1, 33), red);
    EXPECT_EQ(image.pixelColor(10 + ext[0] - 1, 10), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(10 + ext[2] + 1, 10), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(10 + ext[0] + 1, 34), QColor(Qt::white));
    // Some glyph pixels inside the range.
    int dark = 0;
    for (int x = 10 + ext[0]; x < 10 + ext[2]; ++x)
        for (int y = 10; y < 34; ++y)
            dark += qGray(image.pixel(x, y)) < 60;
    EXPECT_GT(dark, 10);
}

TEST_F(RDTextMeasureTest, RightToLeftRangeIsDrawnCharacterByCharacter)
{
    Select(QStringLiteral("DejaVu Sans"), 20);
    const QByteArray item = Utf16Item(QStringLiteral("שלום"));
    const int width = ItemTextWidth(item, *canvas, U);
    std::vector<int> pos;
    ASSERT_TRUE(GetBiDiCaretPositions(*canvas, item, pos, U, width));
    canvas->BrushColor = clRed;
    ASSERT_TRUE(TryDrawBiDiTextRange(0, 0, width, *canvas, item, 24, 2, 3, U, true));
    // Characters 2 and 3 stand between the carets after 3 and before 2.
    EXPECT_EQ(image.pixelColor(pos[3] + 1, 0), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(pos[1] - 1, 0), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(pos[1] + 1, 0), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(pos[3] - 1, 0), QColor(Qt::white));
}

}  // namespace
