// Formatted item texts: parsing into chunks, stripping, measuring and drawing
// on an offscreen image, and the highlighted parameter list.

#include "TextFormattedText.h"

#include "Graphics.h"
#include "ImageList.h"

#include <QtGui/QImage>
#include <QtGui/QPainter>

#include <gtest/gtest.h>

namespace {

// A readable picture of a chunk list: text as itself in quotes, commands as
// "color:255", "style:+B", "column", "hspace:8", "image:2".
QString DescribeChunks(const TFormatChunkList& chunks)
{
    QStringList parts;
    for (int i = 0; i < chunks.Count(); ++i) {
        const TFormatChunk& c = *chunks.Chunks(i);
        switch (c.ChunkType) {
        case TFormatChunkType::Text: parts << u'"' + c.Str + u'"'; break;
        case TFormatChunkType::Color: parts << QStringLiteral("color:%1").arg(static_cast<quint32>(c.Data)); break;
        case TFormatChunkType::Style:
            parts << QStringLiteral("style:%1%2")
                         .arg(QLatin1String(c.StyleData->Action > 0 ? "+" : c.StyleData->Action < 0 ? "-" : "~"))
                         .arg(QString(c.StyleData->Style));
            break;
        case TFormatChunkType::Column: parts << QStringLiteral("column"); break;
        case TFormatChunkType::HSpace: parts << QStringLiteral("hspace:%1").arg(c.Data); break;
        case TFormatChunkType::Image: parts << QStringLiteral("image:%1").arg(c.Data); break;
        }
    }
    return parts.join(u' ');
}

struct ParseCase {
    const char* text;
    bool ok;
    const char* chunks;
};

TEST(FormattedTextParse, TableOfCommands)
{
    const ParseCase cases[] = {
        {"plain", true, "\"plain\""},
        {"", true, ""},
        {"a\\\\b", true, "\"a\\b\""},  // a doubled backslash is one backslash
        {"\\\\\\\\", true, "\"\\\\\""},
        {"x\\style{+B}y", true, "\"x\" style:+B \"y\""},
        {"\\STYLE{~b}\\Style{-U}\\style{+i}\\style{~s}", true, "style:~B style:-U style:+I style:~S"},
        {"\\color{clRed}r", true, "color:255 \"r\""},
        {"\\color{CLBLUE}", true, "color:16711680"},
        {"\\color{$FF00}\\color{12}", true, "color:65280 color:12"},
        {"\\color{clNoSuch}x", false, "\"x\""},
        {"\\column{}a\\column{ }b", false, "column \"a\" \"b\""},
        {"\\hspace{8}\\image{2}", true, "hspace:8 image:2"},
        {"\\hspace{-3}", true, "hspace:-3"},
        {"\\hspace{x}\\image{1.5}\\image{}", false, ""},
        {"\\style{B}\\style{+X}\\style{+BB}", false, ""},
        // An unknown command is an error; the text around it stays.
        {"before\\bogus{1}after", false, "\"before\" \"after\""},
        // Incomplete commands at the end are dropped without an error, with
        // the characters read; the run before them stays.
        {"keep\\style", true, "\"keep\""},
        {"keep\\style{+B", true, "\"keep\""},
        {"keep\\", true, "\"keep\""},
        // The name runs up to the brace, the parameter up to the closing one.
        {"\\hspace{4}}", true, "hspace:4 \"}\""},
    };
    for (const ParseCase& c : cases) {
        TFormatChunkList chunks;
        const QString text = QString::fromUtf8(c.text);
        EXPECT_EQ(ParseFormattedText(text, chunks, {}), c.ok) << c.text;
        EXPECT_EQ(DescribeChunks(chunks).toStdString(), c.chunks) << c.text;
    }
}

TEST(FormattedTextParse, SkippedKindsAreLeftOutAndAppendsToTheList)
{
    TFormatChunkList chunks;
    ParseFormattedText(QStringLiteral("one"), chunks, {});
    EXPECT_TRUE(ParseFormattedText(QStringLiteral("\\color{clRed}a\\style{+B}\\column{}b\\image{1}"), chunks,
                                   {TFormatChunkType::Color, TFormatChunkType::Image}));
    EXPECT_EQ(DescribeChunks(chunks), QStringLiteral("\"one\" \"a\" style:+B column \"b\""));
    // A skipped bad command is still an error.
    TFormatChunkList more;
    EXPECT_FALSE(ParseFormattedText(QStringLiteral("\\color{nothing}"), more, AllFormatCommands));
    EXPECT_EQ(more.Count(), 0);
}

TEST(FormattedTextStrip, CommandsGoEscapesStay)
{
    const struct {
        const char* text;
        const char* stripped;
    } cases[] = {
        {"\\style{+B}\\color{clRed}\\column{}\\hspace{3}\\image{0}", ""},
        {"a\\style{+B}b\\bogus{}c", "abc"},
        {"path\\\\name", "path\\name"},
        {"tail\\image{", "tail"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StripFormatting(QString::fromUtf8(c.text)), QString::fromUtf8(c.stripped)) << c.text;
}

TEST(FormattedTextHighlight, OneParameterBetweenToggles)
{
    const struct {
        const char* commaText;
        int index;
        const char* result;
    } cases[] = {
        {"a,b,c", 1, "a \\style{~B}b\\style{~B} c"},
        {"a, b  c", 0, "\\style{~B}a\\style{~B} b c"},
        {"\"x y\",z", 0, "\\style{~B}x y\\style{~B} z"},
        {"\"say \"\"hi\"\"\"", 0, "\\style{~B}say \"hi\"\\style{~B}"},
        {"a,", 1, "a \\style{~B}\\style{~B}"},
        {"a,b", 5, "a b"},
        {"", 0, ""},
        {"   ", 0, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HighlightParameter(QString::fromUtf8(c.commaText), c.index), QString::fromUtf8(c.result))
            << c.commaText << " " << c.index;
}

TEST(FormattedTextQuote, UserTextShowsVerbatim)
{
    for (const char* line : {"if (a) \\style{+B} x", "C:\\dir\\image{0}", "\\", "\\\\"}) {
        const QString text = QString::fromUtf8(line);
        TFormatChunkList chunks;
        EXPECT_TRUE(ParseFormattedText(QuoteFormatCommands(text), chunks, {}));
        ASSERT_EQ(chunks.Count(), 1) << line;
        EXPECT_EQ(chunks.Chunks(0)->Str, text);
    }
}

// Drawing and measuring on an offscreen image.
class FormattedTextDraw : public ::testing::Test {
protected:
    FormattedTextDraw() : FImage(400, 40, QImage::Format_RGB32), FPainter(), FCanvas(nullptr)
    {
        FImage.fill(Qt::white);
        FPainter.begin(&FImage);
        FCanvas = std::make_unique<TCanvas>(FPainter);
        FCanvas->Font.Name = QStringLiteral("Courier New");
        FCanvas->Font.Size = 10;
    }
    ~FormattedTextDraw() override
    {
        FCanvas.reset();
        FPainter.end();
    }
    int Width(const QString& text, const TProposalColumns* columns = nullptr, const TImageList* images = nullptr)
    {
        return FormattedTextWidth(*FCanvas, text, columns, images);
    }
    // Ink of a kind in the columns from..to-1; the text's smoothed edges
    // are mixed colours, so dark and red are ranges.
    enum class Ink { Any, Dark, Red };
    bool InkIn(int from, int to, Ink kind = Ink::Any)
    {
        for (int y = 0; y < FImage.height(); ++y)
            for (int x = std::max(0, from); x < std::min(to, FImage.width()); ++x) {
                const QRgb p = FImage.pixel(x, y);
                const bool ink = (p & 0xFFFFFF) != 0xFFFFFF;
                const bool dark = qRed(p) < 100 && qGreen(p) < 100 && qBlue(p) < 100;
                const bool red = qRed(p) > 150 && qGreen(p) < 100 && qBlue(p) < 100;
                if (kind == Ink::Any ? ink : kind == Ink::Dark ? dark : red)
                    return true;
            }
        return false;
    }

    QImage FImage;
    QPainter FPainter;
    std::unique_ptr<TCanvas> FCanvas;
};

TEST_F(FormattedTextDraw, WidthsFollowTheCommands)
{
    const int plain = FCanvas->TextWidth(QStringLiteral("abc"));
    EXPECT_EQ(Width(QStringLiteral("abc")), plain);
    EXPECT_EQ(Width(QStringLiteral("\\color{clRed}abc")), plain);
    EXPECT_EQ(Width(QStringLiteral("a\\\\b")), FCanvas->TextWidth(QStringLiteral("a\\b")));
    EXPECT_EQ(Width(QStringLiteral("abc\\hspace{7}")), plain + 7);
    EXPECT_EQ(Width(QStringLiteral("ab\\bogus{}c")),
              FCanvas->TextWidth(QStringLiteral("ab")) + FCanvas->TextWidth(QStringLiteral("c")));
    // Bold text is measured in bold, and the toggle turns it back.
    TFont bold = FCanvas->Font;
    bold.Bold = true;
    EXPECT_EQ(Width(QStringLiteral("\\style{+b}abc")), TextWidthOf(bold, QStringLiteral("abc")));
    EXPECT_EQ(Width(QStringLiteral("\\style{+B}a\\style{~B}bc")),
              TextWidthOf(bold, QStringLiteral("a")) + FCanvas->TextWidth(QStringLiteral("bc")));
    // An image without an image list takes no room; with one, its width.
    EXPECT_EQ(Width(QStringLiteral("\\image{0}abc")), plain);
    TImageList images(16, 16);
    EXPECT_EQ(Width(QStringLiteral("\\image{0}abc"), nullptr, &images), 16 + plain);
    // The canvas comes back as it was, with a solid brush.
    EXPECT_FALSE(FCanvas->Font.Bold);
    EXPECT_EQ(FCanvas->BrushStyle, TBrushStyle::Solid);
}

TEST_F(FormattedTextDraw, ColumnsStartAtTheirBiggestWords)
{
    TProposalColumns columns(nullptr);
    columns.Add()->BiggestWord = QStringLiteral("wide");
    TProposalColumn* second = columns.Add();
    second->BiggestWord = QStringLiteral("xx");
    second->DefaultFontStyle = tfsBold;
    TFont bold = FCanvas->Font;
    bold.Bold = true;
    const int first = FCanvas->TextWidth(QStringLiteral("wide "));
    // The next column starts after the first one's word plus a space, and
    // takes its own default style.
    EXPECT_EQ(Width(QStringLiteral("a\\column{}b"), &columns), first + TextWidthOf(bold, QStringLiteral("b")));
    // Past the last column, a column command does nothing; the second column
    // is measured in its (bold) font.
    EXPECT_EQ(Width(QStringLiteral("a\\column{}b\\column{}c\\column{}d"), &columns),
              first + TextWidthOf(bold, QStringLiteral("xx ")) + FCanvas->TextWidth(QStringLiteral("cd")));
    // Without columns the command does nothing.
    EXPECT_EQ(Width(QStringLiteral("a\\column{}b")), FCanvas->TextWidth(QStringLiteral("ab")));

    TProposalColumn copy;
    copy.Assign(*second);
    EXPECT_EQ(copy.BiggestWord, QStringLiteral("xx"));
    EXPECT_EQ(copy.DefaultFontStyle, tfsBold);
    EXPECT_EQ(TProposalColumn().BiggestWord, QStringLiteral("CONSTRUCTOR"));
}

TEST_F(FormattedTextDraw, DrawsTextColoursAndStopsAtTheRightEdge)
{
    const int a = FCanvas->TextWidth(QStringLiteral("MMMM"));
    const int end = DrawFormattedText(*FCanvas, QRect(10, 5, 300, 30), QStringLiteral("MMMM\\color{clRed}MMMM"),
                                      nullptr, nullptr, false);
    EXPECT_EQ(end, 10 + 2 * a);
    EXPECT_TRUE(InkIn(10, 10 + a, Ink::Dark));
    EXPECT_FALSE(InkIn(10, 10 + a, Ink::Red));
    EXPECT_TRUE(InkIn(10 + a, 10 + 2 * a, Ink::Red));
    EXPECT_FALSE(InkIn(0, 10));
    EXPECT_EQ(FCanvas->Font.Color, clBlack);  // the font comes back

    // Selected: colour commands are ignored.
    FImage.fill(Qt::white);
    DrawFormattedText(*FCanvas, QRect(10, 5, 300, 30), QStringLiteral("\\color{clRed}MMMM"), nullptr, nullptr, true);
    EXPECT_FALSE(InkIn(0, 400, Ink::Red));
    EXPECT_TRUE(InkIn(10, 10 + a));

    // The walk stops after the first chunk that passes the right edge.
    FImage.fill(Qt::white);
    const int stopped = DrawFormattedText(*FCanvas, QRect(0, 0, a / 2, 30), QStringLiteral("MMMM\\hspace{50}MMMM"),
                                          nullptr, nullptr, false);
    EXPECT_EQ(stopped, a);
    EXPECT_FALSE(InkIn(a + 1, 400));
}

TEST_F(FormattedTextDraw, ImageWithoutAListDrawsNothing)
{
    EXPECT_EQ(DrawFormattedText(*FCanvas, QRect(0, 0, 300, 30), QStringLiteral("\\image{0}"), nullptr, nullptr,
                                false),
              0);
    EXPECT_FALSE(InkIn(0, 400));

    TImageList images(12, 12);
    QImage red(12, 12, QImage::Format_RGB32);
    red.fill(QColor(255, 0, 0));
    images.Add(red);
    const int end = DrawFormattedText(*FCanvas, QRect(4, 2, 300, 30), QStringLiteral("\\image{0}\\image{7}M"),
                                      &images, nullptr, false);
    EXPECT_EQ(end, 4 + 24 + FCanvas->TextWidth(QStringLiteral("M")));
    EXPECT_TRUE(InkIn(4, 16, Ink::Red));
    EXPECT_FALSE(InkIn(16, 28));  // an index outside the list takes room, draws nothing
}

}  // namespace
