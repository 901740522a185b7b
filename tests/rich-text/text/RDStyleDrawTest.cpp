#include <gtest/gtest.h>

#include <QtGui/QFontMetricsF>
#include <QtGui/QImage>
#include <QtGui/QPainter>

#include <memory>
#include <vector>

#include "core/RDGraphUtils.h"
#include "styles/RDStyle.h"
#include "text/RDStyleDraw.h"
#include "text/RDTextMeasure.h"

namespace {

constexpr TColor Yellow = 196604;  // the backgrounds of the check dialogs' marks
constexpr TColor Green = 57670;
constexpr TColor Grey = 0x808080;

QColor Q(TColor c) { return ToQColor(c); }

class RDStyleDrawTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(600, 60, Qt::white); }

    void Reset(int width, int height, QColor fill)
    {
        canvas.reset();
        if (painter)
            painter->end();
        painter.reset();
        image = QImage(width, height, QImage::Format_RGB32);
        image.fill(fill);
        painter = std::make_unique<QPainter>(&image);
        canvas = std::make_unique<TCanvas>(*painter);
    }

    void TearDown() override
    {
        canvas.reset();
        if (painter)
            painter->end();
    }

    // Selects the style's font and colours, then draws s in a box.
    void Draw(const TFontInfo& style, const QByteArray& s, int left, int top, int width, int height,
              TRDTextDrawStates state = 0, bool printing = false, int colorMode = 0, int spaceBefore = 0,
              bool fitWidth = false)
    {
        SelectCanvasFont(*canvas, style.MakeFont(), style.Charset);
        ApplyColor(style, *canvas, sheet, colorMode, printing, state);
        DrawText(style, s, *canvas, sheet, spaceBefore, left, top, width, height, state, printing, fitWidth,
                 colorMode, TRDBiDiMode::rdbdUnspecified);
    }

    // Lengths of the runs of pixels of colour c in row y from x0 to x1, and
    // the gaps between them.
    std::vector<int> Runs(int y, int x0, int x1, QColor c, std::vector<int>* gaps = nullptr) const
    {
        std::vector<int> runs;
        int run = 0, gap = 0;
        for (int x = x0; x < x1; ++x) {
            if (image.pixelColor(x, y) == c) {
                if (gap && gaps && !runs.empty())
                    gaps->push_back(gap);
                gap = 0;
                ++run;
            } else {
                if (run)
                    runs.push_back(run);
                run = 0;
                ++gap;
            }
        }
        if (run)
            runs.push_back(run);
        return runs;
    }

    int CountColor(QRect r, QColor c) const
    {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                n += image.pixelColor(x, y) == c;
        return n;
    }

    TRDStyle sheet;
    QImage image;
    std::unique_ptr<QPainter> painter;
    std::unique_ptr<TCanvas> canvas;
};

TEST_F(RDStyleDrawTest, SelectionAndHoverColours)
{
    sheet.SelColor = 0x0000AA;
    sheet.SelTextColor = 0x00BB00;
    sheet.InactiveSelColor = 0xCC0000;
    sheet.InactiveSelTextColor = clNone;
    sheet.HoverColor = 0x123456;
    TFontInfo style;
    style.Color = 0x010203;
    style.BackColor = clNone;
    style.HoverBackColor = 0x0A0B0C;
    style.HoverEffects = rdheUnderline;
    painter->setFont(style.MakeFont());
    const struct {
        TRDTextDrawStates state;
        TColor text;
        TColor brush;
    } cases[] = {
        {rdtsSelected | rdtsControlFocused, 0x00BB00, 0x0000AA},
        {rdtsSelected, 0x010203, 0xCC0000},  // an unset selected text colour keeps the style's
        {rdtsSelected | rdtsHover, 0x010203, 0xCC0000},
        {rdtsHover, 0x123456, 0x0A0B0C},
        {0, 0x010203, clNone},
    };
    for (const auto& c : cases) {
        ApplyColor(style, *canvas, sheet, 0, false, c.state);
        EXPECT_EQ(canvas->Font.Color, c.text) << c.state;
        EXPECT_EQ(canvas->BrushColor, c.brush) << c.state;
        EXPECT_EQ(canvas->BrushStyle, c.brush == clNone ? TBrushStyle::Clear : TBrushStyle::Solid) << c.state;
    }
    EXPECT_TRUE(painter->font().underline());  // the hover underline effect
    style.HoverColor = 0x654321;
    ApplyColor(style, *canvas, sheet, 0, false, rdtsHover);
    EXPECT_EQ(canvas->Font.Color, 0x654321u);
}

TEST_F(RDStyleDrawTest, PrintColourModes)
{
    const struct {
        TColor color, back;
        int mode;
        bool printing;
        TColor text, brush;
    } cases[] = {
        {clRed, Yellow, 0, true, clRed, Yellow},
        {clWindowText, clBtnFace, 1, true, clBlack, 0xC0C0C0},
        {clRed, clBtnFace, 2, true, ColorToGray(clRed), ColorToGray(0xC0C0C0)},
        {clBlack, clWhite, 3, true, clBlack, clWhite},   // black on white stays
        {clWhite, clBlack, 3, true, clWhite, clBlack},   // white on black stays
        {clRed, Yellow, 3, true, clBlack, clWhite},      // darker text than its background
        {Yellow, 0x400000, 3, true, clWhite, clBlack},   // lighter text than its background
        {clRed, clNone, 3, true, clBlack, clNone},
        {clWhite, clNone, 3, true, clWhite, clNone},
        {clRed, Green, 4, true, clBlack, clNone},
        {clRed, Green, 4, false, clRed, Green},         // the screen ignores the mode
    };
    for (const auto& c : cases) {
        TFontInfo style;
        style.Color = c.color;
        style.BackColor = c.back;
        ApplyColor(style, *canvas, sheet, c.mode, c.printing, 0);
        EXPECT_EQ(canvas->Font.Color, c.text) << c.mode << " " << std::hex << c.color;
        EXPECT_EQ(canvas->BrushColor, c.brush) << c.mode << " " << std::hex << c.color;
    }
}

TEST_F(RDStyleDrawTest, SpreadSharesTheDifferenceFromTheFirstCharacter)
{
    EXPECT_EQ(SpreadOverCharacters(10, 7), (std::vector<int>{0, 0, 0, 1, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(SpreadOverCharacters(4, 9), (std::vector<int>{2, 2, 2, 3}));
    EXPECT_EQ(SpreadOverCharacters(4, -3), (std::vector<int>{0, -1, -1, -1}));
    EXPECT_EQ(SpreadOverCharacters(3, 0), (std::vector<int>{0, 0, 0}));
}

TEST_F(RDStyleDrawTest, JustifiedRunPlacesItsTenCharacters)
{
    TFontInfo style;
    style.FontName = QStringLiteral("Courier New");
    style.Size = 15;  // 20 pixels
    style.Color = clBlack;
    const QByteArray bars("||||||||||");
    SelectCanvasFont(*canvas, style.MakeFont(), style.Charset);
    const int natural = ItemTextWidth(bars, *canvas, 0);
    ASSERT_EQ(natural % 10, 0);
    const int a = natural / 10;
    // The starts of the ten bars in a row through their middle.
    auto starts = [this] {
        std::vector<int> result;
        bool dark = false;
        for (int x = 0; x < image.width(); ++x) {
            const bool d = qGray(image.pixel(x, 18)) < 128;
            if (d && !dark)
                result.push_back(x);
            dark = d;
        }
        return result;
    };
    const std::vector<int> add{0, 0, 0, 1, 1, 1, 1, 1, 1};
    // The character spacing of the style has no part in a justified run.
    for (const int spacing : {0, 4}) {
        Reset(600, 60, Qt::white);
        style.CharSpacing = spacing;
        Draw(style, bars, 10, 5, natural + 7, 30, 0, true, 0, 0, true);
        const std::vector<int> s = starts();
        ASSERT_EQ(s.size(), 10u);
        for (size_t i = 0; i + 1 < s.size(); ++i)
            EXPECT_EQ(s[i + 1] - s[i], a + add[i]) << i << " spacing " << spacing;
        EXPECT_EQ(painter->font().letterSpacing(), style.MakeFont().letterSpacing());
    }
    // Without fitting, each character takes its own width and the spacing.
    Reset(600, 60, Qt::white);
    Draw(style, bars, 10, 5, natural + 7, 30, 0, true, 0, 0, false);
    const std::vector<int> s = starts();
    ASSERT_EQ(s.size(), 10u);
    EXPECT_EQ(s.back() - s.front(), 9 * (a + 4));
}

TEST_F(RDStyleDrawTest, JustifiedRightToLeftRunSpreadsToItsBox)
{
    TFontInfo style;
    style.FontName = QStringLiteral("DejaVu Sans");
    style.Size = 15;
    style.Unicode = true;
    const QString word = QStringLiteral("שלום עולם");
    const QByteArray item(reinterpret_cast<const char*>(word.utf16()), word.size() * 2);
    SelectCanvasFont(*canvas, style.MakeFont(), style.Charset);
    const int natural = ItemTextWidth(item, *canvas, rdioUnicode);
    auto span = [this] {
        int first = -1, last = -1;
        for (int x = 0; x < image.width(); ++x)
            for (int y = 0; y < image.height(); ++y)
                if (qGray(image.pixel(x, y)) < 128) {
                    if (first < 0)
                        first = x;
                    last = x;
                    break;
                }
        return last - first;
    };
    Draw(style, item, 10, 5, natural, 30, 0, true, 0, 0, true);
    const int before = span();
    Reset(600, 60, Qt::white);
    Draw(style, item, 10, 5, natural + 24, 30, 0, true, 0, 0, true);
    // Nine characters share 24 pixels; the last one's share lies after its glyph.
    EXPECT_GE(span() - before, 18);
    EXPECT_LE(span() - before, 24);
}

TEST_F(RDStyleDrawTest, ARangeDrawnOverTheTextLandsOnIt)
{
    TFontInfo style;
    style.FontName = QStringLiteral("DejaVu Sans");
    style.Size = 15;
    style.Unicode = true;
    for (const QString& text : {QStringLiteral("abc שלום"), QStringLiteral("שלום abc"), QStringLiteral("中文 text")}) {
        const QByteArray item(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        Reset(300, 40, Qt::white);
        Draw(style, item, 10, 5, 200, 30);
        const QImage plain = image;
        Reset(300, 40, Qt::white);
        SelectCanvasFont(*canvas, style.MakeFont(), style.Charset);
        ApplyColor(style, *canvas, sheet, 0, false, 0);
        canvas->BrushColor = clWhite;
        const int width = ItemTextWidth(item, *canvas, rdioUnicode);
        ASSERT_TRUE(TryDrawBiDiTextRange(10, 5, width, *canvas, item, 30, 1, int(text.size()), rdioUnicode, true));
        EXPECT_EQ(image, plain) << text.toStdString();
    }
}

// Plain Latin-1 text drawn from its glyphs without shaping lands where the
// shaped text would, and its background box is as wide as its measure.
TEST_F(RDStyleDrawTest, PlainTextInksTheColumnsOfItsShapedText)
{
    const auto inkColumns = [](const QImage& img) {
        std::vector<int> columns;
        for (int x = 0; x < img.width(); ++x)
            for (int y = 0; y < img.height(); ++y)
                if (img.pixelColor(x, y) != Qt::white) {
                    columns.push_back(x);
                    break;
                }
        return columns;
    };
    const QString plain = QStringLiteral("The quick, brown fox: jumps {over} 12 dogs! na\u00EFve caf\u00E9 \u00C6\u00D8\u00C5\u00A9");
    const QByteArray text(reinterpret_cast<const char*>(plain.utf16()), plain.size() * 2);
    for (const char* name : {"DejaVu Sans", "DejaVu Serif", "Courier New"}) {
        for (const int fontStyle : {0, int(fsBold | fsItalic)}) {
            TFontInfo style;
            style.FontName = QString::fromLatin1(name);
            style.Size = 11;
            style.Style = uint8_t(fontStyle);
            style.Color = clBlack;
            style.Unicode = true;
            Reset(600, 40, Qt::white);
            Draw(style, text, 7, 5, 580, 30);
            const QImage drawn = image;
            const QFont font = painter->font();
            const QFontMetricsF fm(font, &image);
            Reset(600, 40, Qt::white);
            painter->setFont(font);
            painter->setPen(Qt::black);
            painter->setLayoutDirection(Qt::LeftToRight);
            painter->drawText(QPointF(7, 5 + fm.ascent()), plain);
            const std::vector<int> columns = inkColumns(drawn);
            EXPECT_FALSE(columns.empty()) << name;
            EXPECT_EQ(columns, inkColumns(image)) << name << " " << fontStyle;

            // On a background colour the box ends where the measure does.
            style.Color = Green;
            style.BackColor = Green;
            Reset(600, 40, Qt::white);
            Draw(style, text, 7, 5, 580, 30);
            const int width = ItemTextWidth(text, *canvas, rdioUnicode);
            EXPECT_EQ(Runs(6, 0, 600, Q(Green)), std::vector<int>{width}) << name;
        }
    }
}

TEST_F(RDStyleDrawTest, UnderlineKindsDrawTheirPatternsAtTheFontsRow)
{
    const struct {
        TRDUnderlineType kind;
        int firstRun;  // 0: solid
        bool thick;
    } cases[] = {
        {TRDUnderlineType::rdutNormal, 0, false},           {TRDUnderlineType::rdutThick, 0, true},
        {TRDUnderlineType::rdutDotted, 2, false},           {TRDUnderlineType::rdutThickDotted, 2, true},
        {TRDUnderlineType::rdutDashed, 8, false},           {TRDUnderlineType::rdutThickDashed, 8, true},
        {TRDUnderlineType::rdutLongDashed, 16, false},      {TRDUnderlineType::rdutThickLongDashed, 16, true},
        {TRDUnderlineType::rdutDashDotted, 8, false},       {TRDUnderlineType::rdutThickDashDotted, 8, true},
        {TRDUnderlineType::rdutDashDotDotted, 6, false},    {TRDUnderlineType::rdutThickDashDotDotted, 6, true},
    };
    for (const auto& c : cases) {
        Reset(600, 60, Qt::white);
        TFontInfo style;
        style.Size = 30;
        style.Style = fsUnderline;
        style.Color = clBlack;
        style.UnderlineColor = clRed;  // a colour of its own: always drawn by hand
        style.UnderlineType = c.kind;
        Draw(style, QByteArray("mmm"), 10, 2, 400, 50);
        const auto metrics = AllocOutlineTextMetrics(style.MakeFont(), &image);
        ASSERT_TRUE(metrics);
        const int t = metrics->UnderscoreSize * (c.thick ? 2 : 1);
        const int y = 2 + metrics->Ascent - metrics->UnderscorePosition + metrics->UnderscoreSize / 2;
        const int top = y - t / 2;
        // The line's rows, and none beside them.
        for (int row = top; row < top + t; ++row)
            EXPECT_FALSE(Runs(row, 10, 410, Q(clRed)).empty()) << int(c.kind) << " row " << row;
        EXPECT_TRUE(Runs(top - 1, 10, 410, Q(clRed)).empty()) << int(c.kind);
        EXPECT_TRUE(Runs(top + t, 10, 410, Q(clRed)).empty()) << int(c.kind);
        std::vector<int> gaps;
        const std::vector<int> runs = Runs(y, 10, 410, Q(clRed), &gaps);
        ASSERT_FALSE(runs.empty());
        if (c.firstRun == 0) {
            EXPECT_EQ(runs, std::vector<int>{400}) << int(c.kind);
        } else {
            EXPECT_EQ(runs.front(), c.firstRun) << int(c.kind);
            EXPECT_GT(runs.size(), 10u) << int(c.kind);
            EXPECT_FALSE(gaps.empty());
        }
        // The text itself is not underlined by the font.
        EXPECT_EQ(CountColor(QRect(10, top + t, 400, 2), Q(clBlack)), 0) << int(c.kind);
    }
}

TEST_F(RDStyleDrawTest, DoubleUnderlineDrawsTwoRows)
{
    TFontInfo style;
    style.Size = 30;
    style.Style = fsUnderline;
    style.UnderlineType = TRDUnderlineType::rdutDouble;
    Draw(style, QByteArray("mmm"), 10, 2, 400, 50);
    const auto metrics = AllocOutlineTextMetrics(style.MakeFont(), &image);
    ASSERT_TRUE(metrics);
    const int t = metrics->UnderscoreSize;
    const int y = 2 + metrics->Ascent - metrics->UnderscorePosition + t / 2;
    const QColor text = Q(clWindowText);
    EXPECT_EQ(Runs(y - t, 10, 410, text), std::vector<int>{400});
    EXPECT_EQ(Runs(y + t, 10, 410, text), std::vector<int>{400});
    EXPECT_TRUE(Runs(y, 200, 410, text).empty());
}

TEST_F(RDStyleDrawTest, FontUnderlineOfTheTextColourStaysTheFonts)
{
    TFontInfo style;
    style.Size = 30;
    style.Style = fsUnderline;
    style.Color = clBlack;
    Draw(style, QByteArray("mmm"), 10, 2, 400, 50);
    const auto metrics = AllocOutlineTextMetrics(style.MakeFont(), &image);
    const int y = 2 + metrics->Ascent - metrics->UnderscorePosition + metrics->UnderscoreSize / 2;
    // Only as long as the text, not across the box.
    const std::vector<int> runs = Runs(y, 10, 410, Q(clBlack));
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_LT(runs.front(), 200);
}

TEST_F(RDStyleDrawTest, LeadingSpaceOverlineAndVisibleSpaces)
{
    TFontInfo style;
    style.Size = 20;
    style.Color = clBlack;
    style.BackColor = Yellow;
    style.Style = fsUnderline;
    style.StyleEx = rdfsOverline;
    Draw(style, QByteArray("a b"), 10, 5, 200, 40, rdtsSpecialCharacters, false, 0, 12);
    // The leading space is filled and underlined like the text.
    EXPECT_EQ(image.pixelColor(12, 20), Q(Yellow));
    const auto metrics = AllocOutlineTextMetrics(style.MakeFont(), &image);
    const int y = 5 + metrics->Ascent - metrics->UnderscorePosition + metrics->UnderscoreSize / 2;
    EXPECT_EQ(image.pixelColor(11, y), Q(clBlack));
    EXPECT_EQ(image.pixelColor(21, y), Q(clBlack));
    // The overline runs across the box.
    EXPECT_EQ(Runs(5, 10, 210, Q(clBlack)), std::vector<int>{200});
    // The space between a and b carries a dot.
    SelectCanvasFont(*canvas, style.MakeFont(), style.Charset);
    std::vector<int> ext;
    int fit = 0;
    ItemTextExtentEx(*canvas, QByteArray("a b"), 10000, fit, &ext, 0);
    const QRect space(10 + 12 + ext[0], 8, ext[1] - ext[0], metrics->Ascent - 4);
    EXPECT_GT(CountColor(space, Q(clBlack)), 0);
    Reset(600, 60, Qt::white);
    style.StyleEx = 0;
    Draw(style, QByteArray("a b"), 10, 5, 200, 40, 0, false, 0, 12);
    EXPECT_EQ(CountColor(space, Q(clBlack)), 0);
}

TEST_F(RDStyleDrawTest, NonBreakingSpacesShowADegreeSign)
{
    TFontInfo style;
    style.Size = 20;
    style.Color = clBlack;
    style.Unicode = true;
    const QString text = QStringLiteral("a\u00A0b c");
    const QByteArray item(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    SelectCanvasFont(*canvas, style.MakeFont(), style.Charset);
    std::vector<int> ext;
    int fit = 0;
    ItemTextExtentEx(*canvas, item, 10000, fit, &ext, rdioUnicode);
    const auto metrics = AllocOutlineTextMetrics(style.MakeFont(), &image);
    ASSERT_TRUE(metrics);
    // The upper half of each cell: the degree sign stands there, the dot lower.
    const QRect nbsp(10 + ext[0], 5, ext[1] - ext[0], metrics->Ascent / 2);
    const QRect space(10 + ext[2], 5 + metrics->Ascent / 2, ext[3] - ext[2], metrics->Ascent / 2);
    const uint8_t visible = VisibleSpecialCharacters;
    const struct {
        uint8_t visible;
        bool degree, dot;
    } cases[] = {{0x0F, true, true}, {0x01, false, true}, {0x02, true, false}, {0x08, false, false}};
    for (const auto& c : cases) {
        VisibleSpecialCharacters = c.visible;
        Reset(600, 60, Qt::white);
        Draw(style, item, 10, 5, 200, 40, rdtsSpecialCharacters);
        EXPECT_EQ(CountColor(nbsp, Q(clBlack)) > 0, c.degree) << int(c.visible);
        EXPECT_EQ(CountColor(space, Q(clBlack)) > 0, c.dot) << int(c.visible);
    }
    VisibleSpecialCharacters = visible;
}

TEST_F(RDStyleDrawTest, PageBreakAndCheckpointMarks)
{
    Reset(600, 60, QColor(Grey & 0xFF, Grey & 0xFF, Grey & 0xFF).darker(150));
    sheet.PageBreakColor = clRed;
    sheet.DrawPageBreak(*canvas, 20, 0, TRDPageBreakType::rdpbPageBreak, nullptr, nullptr, 4, 500);
    EXPECT_EQ(image.pixelColor(500, 28), Q(clRed));
    EXPECT_NE(image.pixelColor(501, 28), Q(clRed));
    EXPECT_EQ(image.pixelColor(0, 20), Q(clRed));
    EXPECT_EQ(image.pixelColor(491, 20), Q(clRed));
    EXPECT_EQ(image.pixelColor(494, 26), Q(clWindow));  // the triangle's inside
    EXPECT_EQ(canvas->BrushStyle, TBrushStyle::Clear);
    sheet.SoftPageBreakColor = 0x00FF00;
    sheet.DrawPageBreak(*canvas, 40, 100, TRDPageBreakType::rdpbSoftPageBreak, nullptr, nullptr, 4, 500);
    EXPECT_EQ(image.pixelColor(400, 48), Q(0x00FF00));
    EXPECT_EQ(image.pixelColor(391, 40), Q(0x00FF00));

    Reset(600, 60, Qt::white);
    sheet.CheckpointColor = clRed;
    sheet.CheckpointEvColor = 0xFF0000;
    sheet.DrawCheckpoint(*canvas, 50, 30, 10, 300, nullptr, 3, 0, true, nullptr);
    EXPECT_EQ(CountColor(image.rect(), Q(clRed)), 0);
    const std::vector<int> dots = Runs(30, 10, 310, Q(0xFF0000));
    EXPECT_GT(dots.size(), 50u);  // dotted
    EXPECT_GT(CountColor(QRect(48, 26, 5, 3), Q(0xFF0000)), 0);  // the circle above the line
    Reset(600, 60, Qt::white);
    sheet.DrawCheckpoint(*canvas, 50, 30, 10, 300, nullptr, -1, 0, false, nullptr);
    EXPECT_EQ(CountColor(QRect(45, 25, 10, 4), Q(clRed)), 0);  // no circle without an item
    EXPECT_GT(CountColor(QRect(10, 30, 300, 1), Q(clRed)), 50);
}

TEST_F(RDStyleDrawTest, EventsTakeOverTheDrawing)
{
    int styleTexts = 0, pageBreaks = 0, paraBacks = 0, checkpoints = 0, textBacks = 0, colours = 0;
    sheet.OnDrawStyleText = [&](TRDStyle& sender, const QByteArray& s, TCanvas&, int styleNo, int, int, int, int,
                                int, TRDTextDrawStates, bool& doDefault) {
        ++styleTexts;
        EXPECT_EQ(s, QByteArray("abc"));
        EXPECT_EQ(styleNo, 1);
        EXPECT_EQ(sender.DrawingItemNo, 7);
        EXPECT_EQ(sender.DrawingOffset, 3);
        doDefault = false;
    };
    sheet.OnApplyStyleColor = [&](TRDStyle&, TCanvas&, int, TRDTextDrawStates, bool& doDefault) {
        ++colours;
        doDefault = false;
    };
    sheet.OnDrawPageBreak = [&](TRDStyle& sender, TCanvas&, int, int, TRDPageBreakType, QWidget*, bool& doDefault) {
        ++pageBreaks;
        EXPECT_EQ(sender.DrawingItemNo, 9);
        doDefault = false;
    };
    sheet.OnDrawCheckpoint = [&](TRDStyle&, TCanvas&, int, int, int itemNo, int, bool, QWidget*, bool& doDefault) {
        ++checkpoints;
        EXPECT_EQ(itemNo, 2);
        doDefault = false;
    };
    sheet.OnDrawParaBack = [&](TRDStyle&, TCanvas&, int paraNo, const QRect&, bool& doDefault) {
        ++paraBacks;
        EXPECT_EQ(paraNo, 1);
        doDefault = false;
    };
    sheet.ParaStyles().ParaStyleAt(1)->Background.Color = clRed;
    const QImage blank = image;
    sheet.ApplyStyle(*canvas, 1, TRDBiDiMode::rdbdUnspecified, false, nullptr, false);
    canvas->Font.Color = clBlack;
    sheet.ApplyStyleColor(*canvas, 1, rdtsSelected, false, 0);
    EXPECT_EQ(canvas->Font.Color, clBlack);  // the handler kept the colours
    sheet.DrawStyleText("abc", *canvas, 7, 3, 1, nullptr, 0, 10, 10, 100, 20, 0, 0, false, false, 0,
                        TRDBiDiMode::rdbdUnspecified);
    sheet.DrawPageBreak(*canvas, 20, 0, TRDPageBreakType::rdpbPageBreak, nullptr, nullptr, 9, 500);
    sheet.DrawCheckpoint(*canvas, 50, 30, 10, 300, nullptr, 2, 0, false, nullptr);
    sheet.DrawParaBack(*canvas, 1, QRect(10, 10, 20, 10), false, 0);
    EXPECT_EQ(image, blank);
    // The text background has an event only, and fires it only when assigned.
    sheet.DrawTextBack(*canvas, 5, 1, nullptr, 0, 0, 10, 10, 0);
    sheet.OnDrawTextBack = [&](TRDStyle& sender, TCanvas&, int, int, int, int, int, TRDTextDrawStates, bool&) {
        ++textBacks;
        EXPECT_EQ(sender.DrawingItemNo, 5);
    };
    sheet.DrawTextBack(*canvas, 5, 1, nullptr, 0, 0, 10, 10, 0);
    EXPECT_EQ(styleTexts, 1);
    EXPECT_EQ(colours, 1);
    EXPECT_EQ(pageBreaks, 1);
    EXPECT_EQ(checkpoints, 1);
    EXPECT_EQ(paraBacks, 1);
    EXPECT_EQ(textBacks, 1);
}

TEST_F(RDStyleDrawTest, ApplyStyleSelectsTheStylesFont)
{
    TFontInfo& style = *sheet.TextStyles().TextStyleAt(1);  // "Heading": bold
    style.Charset = 204;
    style.SubSuperScriptType = TRDSubSuperScriptType::rdsssSuperScript;
    const int height = 9;
    sheet.ApplyStyle(*canvas, 1, TRDBiDiMode::rdbdUnspecified, false, &height, false);
    EXPECT_TRUE(painter->font().bold());
    EXPECT_EQ(painter->font().family(), MapFontName(QStringLiteral("Arial")));
    EXPECT_EQ(painter->font().pixelSize(), 9);
    EXPECT_EQ(canvas->Font.Charset, 204);
    EXPECT_NE(painter->layoutDirection(), Qt::RightToLeft);
    style.BiDiMode = TRDBiDiMode::rdbdRightToLeft;
    sheet.ApplyStyle(*canvas, 1, TRDBiDiMode::rdbdUnspecified, false, &height, false);
    EXPECT_EQ(painter->layoutDirection(), Qt::RightToLeft);
    style.BiDiMode = TRDBiDiMode::rdbdUnspecified;
    sheet.ApplyStyle(*canvas, 1, TRDBiDiMode::rdbdUnspecified, false, &height, false);
    EXPECT_EQ(painter->layoutDirection(), Qt::RightToLeft);  // kept
    sheet.ApplyStyle(*canvas, 1, TRDBiDiMode::rdbdLeftToRight, false, &height, false);
    EXPECT_EQ(painter->layoutDirection(), Qt::LeftToRight);
    // ANSI text of a style with the default charset is in the sheet's code page.
    style.Charset = DEFAULT_CHARSET;
    sheet.ApplyStyle(*canvas, 1, TRDBiDiMode::rdbdUnspecified, false, nullptr, false);
    EXPECT_EQ(canvas->Font.Charset, DEFAULT_CHARSET);
    sheet.DefCodePage = 1251;
    sheet.ApplyStyle(*canvas, 1, TRDBiDiMode::rdbdUnspecified, false, nullptr, false);
    EXPECT_EQ(CodePageOfCharset(canvas->Font.Charset), 1251u);
    sheet.DefCodePage = CP_ACP;
    // A dangling style number draws with the placeholder style.
    sheet.ApplyStyleColor(*canvas, 99, 0, false, 0);
    EXPECT_EQ(canvas->BrushColor, clRed);
    EXPECT_EQ(canvas->Font.Color, clWhite);
}

TEST_F(RDStyleDrawTest, ParagraphBackgroundByColourMode)
{
    TParaInfo& para = *sheet.ParaStyles().ParaStyleAt(1);
    para.Background.Color = clBtnFace;
    const struct {
        int mode;
        QColor expected;
    } cases[] = {
        {0, Q(clBtnFace)}, {1, Q(0xC0C0C0)}, {2, Q(ColorToGray(0xC0C0C0))}, {3, Qt::white}, {4, Qt::white},
    };
    for (const auto& c : cases) {
        Reset(100, 40, Qt::white);
        sheet.DrawParaBack(*canvas, 1, QRect(10, 10, 20, 10), true, c.mode);
        EXPECT_EQ(image.pixelColor(10, 10), c.expected) << c.mode;
        EXPECT_EQ(image.pixelColor(29, 19), c.expected) << c.mode;
        EXPECT_EQ(image.pixelColor(30, 20), QColor(Qt::white)) << c.mode;
    }
    para.Background.Color = clNone;
    Reset(100, 40, Qt::white);
    sheet.DrawParaBack(*canvas, 1, QRect(10, 10, 20, 10), false, 0);
    EXPECT_EQ(image.pixelColor(15, 15), QColor(Qt::white));
}

// A line of the check dialog's marked result: its eight text styles, the
// jump style once hovered and once selected, drawn through the sheet.
class RDCheckResultLineTest : public RDStyleDrawTest {
protected:
    void SetUp() override
    {
        RDStyleDrawTest::SetUp();
        TFontInfos& styles = sheet.TextStyles();
        styles.Clear();
        auto add = [&](const char* name, const char* font, int size, uint8_t style, TColor color, TColor back) {
            TFontInfo* s = styles.Add();
            s->StyleName = QString::fromUtf8(name);
            s->FontName = QString::fromUtf8(font);
            s->Size = size;
            s->Style = style;
            s->Color = color;
            s->BackColor = back;
            return s;
        };
        add("RightSpell", "Arial", 11, fsBold, clWindowText, clNone);
        add("WrongSpell", "Arial", 11, fsBold | fsStrikeOut, clRed, clNone);
        add("CorrectSpell", "Arial", 9, fsBold, clBlack, clNone);
        add("OverSpell", "Arial", 11, fsBold, clBlack, Yellow);
        add("MissSpell", "Arial", 11, fsBold, clBlack, Green)->Jump = true;
        add("ItemTitle", "宋体", 11, 0, clBlack, clNone);
        add("Font Style", "宋体", 9, 0, clBlack, clNone);
        add("Font Style", "宋体", 11, fsBold, 7456396, clNone);
    }

    struct TBox {
        int left, width;
    };

    // Draws the runs one after the other; the jump style twice more, hovered
    // and selected.
    std::vector<TBox> DrawLine(bool printing, int mode)
    {
        const QByteArray words[8] = {"Right", "wrong", "right", "over", "miss", QByteArray("\xB1\xEA\xCC\xE2", 4),
                                     QByteArray("\xD6\xD0", 2), QByteArray("\xCE\xC4", 2)};
        const TRDTextDrawStates states[10] = {0, 0, 0, 0, 0, 0, 0, 0, rdtsHover,
                                              rdtsSelected | rdtsControlFocused};
        std::vector<TBox> boxes;
        int x = 4;
        for (int i = 0; i < 10; ++i) {
            const int styleNo = i < 8 ? i : 4;
            const QByteArray& word = words[styleNo];
            sheet.ApplyStyle(*canvas, styleNo, TRDBiDiMode::rdbdUnspecified, false, nullptr, false);
            sheet.ApplyStyleColor(*canvas, styleNo, states[i], printing, mode);
            const int w = ItemTextWidth(word, *canvas, 0);
            sheet.DrawStyleText(word, *canvas, i, 1, styleNo, nullptr, 0, x, 4, w, 24, 0, states[i], printing,
                                false, mode, TRDBiDiMode::rdbdUnspecified);
            boxes.push_back({x, w});
            x += w + 6;
        }
        return boxes;
    }

    // Pixels of colour c in a box.
    int In(const TBox& b, QColor c) const { return CountColor(QRect(b.left, 4, b.width, 24), c); }
};

TEST_F(RDCheckResultLineTest, ScreenColours)
{
    sheet.HoverColor = 0xFF0000;  // blue
    sheet.SelColor = 0x00FFFF;    // yellow selection, distinct from the marks
    const auto boxes = DrawLine(false, 0);
    EXPECT_GT(In(boxes[0], Q(clBlack)), 20);
    EXPECT_GT(In(boxes[1], Q(clRed)), 20);  // struck out red
    EXPECT_EQ(image.pixelColor(boxes[3].left, 5), Q(Yellow));
    EXPECT_EQ(image.pixelColor(boxes[4].left, 5), Q(Green));
    EXPECT_GT(In(boxes[7], Q(7456396)), 10);
    EXPECT_EQ(image.pixelColor(boxes[8].left, 5), QColor(Qt::white));  // hovered: no background of its own
    EXPECT_GT(In(boxes[8], Q(0xFF0000)), 20);
    EXPECT_EQ(image.pixelColor(boxes[9].left, 5), Q(0x00FFFF));
    EXPECT_GT(In(boxes[9], Q(clHighlightText)), 20);
    // The strike-out line crosses the red word's whole width.
    bool crossed = false;
    for (int y = 4; y < 28 && !crossed; ++y) {
        const std::vector<int> runs = Runs(y, boxes[1].left, boxes[1].left + boxes[1].width, Q(clRed));
        crossed = runs.size() == 1 && runs.front() >= boxes[1].width - 2;
    }
    EXPECT_TRUE(crossed);
}

TEST_F(RDCheckResultLineTest, PrintColourModes)
{
    for (int mode = 0; mode <= 4; ++mode) {
        Reset(600, 60, Qt::white);
        const auto boxes = DrawLine(true, mode);
        const QColor yellowBack = image.pixelColor(boxes[3].left, 5);
        const QColor greenBack = image.pixelColor(boxes[4].left, 5);
        switch (mode) {
        case 0:
        case 1:
            EXPECT_EQ(yellowBack, Q(Yellow));
            EXPECT_EQ(greenBack, Q(Green));
            EXPECT_GT(In(boxes[1], Q(clRed)), 20);
            break;
        case 2:
            EXPECT_EQ(yellowBack, Q(ColorToGray(Yellow)));
            EXPECT_EQ(greenBack, Q(ColorToGray(Green)));
            EXPECT_EQ(In(boxes[1], Q(clRed)), 0);
            EXPECT_GT(In(boxes[1], Q(ColorToGray(clRed))), 20);
            break;
        case 3:  // black text on lighter backgrounds prints black on white
            EXPECT_EQ(yellowBack, QColor(Qt::white));
            EXPECT_EQ(greenBack, QColor(Qt::white));
            EXPECT_GT(In(boxes[1], Q(clBlack)), 20);
            EXPECT_EQ(In(boxes[1], Q(clRed)), 0);
            EXPECT_GT(In(boxes[3], Q(clBlack)), 20);
            break;
        default:
            EXPECT_EQ(yellowBack, QColor(Qt::white));
            EXPECT_EQ(greenBack, QColor(Qt::white));
            EXPECT_EQ(In(boxes[7], Q(7456396)), 0);
            EXPECT_GT(In(boxes[7], Q(clBlack)), 10);
            break;
        }
    }
}

}  // namespace
