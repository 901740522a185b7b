// What the two players share: the selection and time lookups over a sentence
// list, and the subtitle box with its sung-along English line: its pixels
// (those of a picture of each line) and what a paint costs.

#include "UPlayerShared.h"

#include "Graphics.h"

#include <QtGui/QImage>
#include <QtGui/QPainter>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

TIsSelected Selection(const std::vector<bool>& flags)
{
    return [flags](int i) { return flags.at(static_cast<std::size_t>(i)); };
}

// Pixels that are clearly the sung colour (yellow) or the unsung one (blue).
bool IsSung(QRgb c) { return qRed(c) > 160 && qGreen(c) > 160 && qBlue(c) < 140; }
bool IsUnsung(QRgb c) { return qBlue(c) > 160 && qRed(c) < 100; }

struct TColumns {
    int FirstSung = -1, LastSung = -1, FirstUnsung = -1, LastUnsung = -1;
};

TColumns Scan(const QImage& image, int top, int bottom)
{
    TColumns cols;
    for (int x = 0; x < image.width(); ++x)
        for (int y = top; y < bottom; ++y) {
            const QRgb c = image.pixel(x, y);
            if (IsSung(c)) {
                if (cols.FirstSung < 0)
                    cols.FirstSung = x;
                cols.LastSung = x;
            }
            if (IsUnsung(c)) {
                if (cols.FirstUnsung < 0)
                    cols.FirstUnsung = x;
                cols.LastUnsung = x;
            }
        }
    return cols;
}

QImage Paint(const TSubtitleBoxText& text, int width = 400)
{
    QImage image(width, SubtitleBoxHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    PaintSubtitleBox(painter, image.rect(), text);
    return image;
}

}  // namespace

TEST(PlayerLookups, NextAndPrevSelected)
{
    const auto sel = Selection({false, true, false, false, true, false});
    struct Case {
        int from, next, prev;
    };
    for (const Case& c : std::vector<Case>{{-3, 1, -1}, {0, 1, -1}, {1, 1, 1}, {2, 4, 1}, {4, 4, 4}, {5, -1, 4}, {6, -1, 4}, {99, -1, 4}}) {
        EXPECT_EQ(NextSelected(6, c.from, sel), c.next) << "from " << c.from;
        EXPECT_EQ(PrevSelected(6, c.from, sel), c.prev) << "from " << c.from;
    }
    const auto none = Selection({false, false, false});
    EXPECT_EQ(NextSelected(3, 0, none), -1);
    EXPECT_EQ(PrevSelected(3, 2, none), -1);
    EXPECT_EQ(NextSelected(0, 0, none), -1);
    EXPECT_EQ(PrevSelected(0, 0, none), -1);
}

TEST(PlayerLookups, IndexOfTimeAndNearTime)
{
    // Sentences 1-2 s, 2-4 s and 5-6 s, in a reversed queue as the audio player keeps it.
    const std::vector<std::int64_t> starts{5000, 2000, 1000};
    const std::vector<std::int64_t> ends{6000, 4000, 2000};
    const TTimeOf start = [&](int i) { return starts.at(static_cast<std::size_t>(i)); };
    const TTimeOf end = [&](int i) { return ends.at(static_cast<std::size_t>(i)); };
    struct Case {
        std::int64_t ms;
        int open, closed, near;
    };
    for (const Case& c : std::vector<Case>{{0, -1, -1, 2},
                                           {999, -1, -1, 2},
                                           {1000, 2, 2, 1},
                                           {2000, 1, 1, 0},  // the first in list order that holds it
                                           {4000, -1, 1, 0},
                                           {4500, -1, -1, 0},
                                           {5999, 0, 0, 0},
                                           {6000, -1, 0, 0},
                                           {9000, -1, -1, 0}}) {
        EXPECT_EQ(IndexOfTime(3, c.ms, start, end, false), c.open) << c.ms;
        EXPECT_EQ(IndexOfTime(3, c.ms, start, end, true), c.closed) << c.ms;
        EXPECT_EQ(IndexNearTime(3, c.ms, start), c.near) << c.ms;
    }
    EXPECT_EQ(IndexNearTime(0, 100, start), -1);
}

TEST(SubtitleBox, SungPartFollowsProgress)
{
    EXPECT_EQ(SungWidth(100, -0.5), 0);
    EXPECT_EQ(SungWidth(100, 0), 0);
    EXPECT_EQ(SungWidth(100, 0.505), 50);  // 50.5 goes to the even neighbour
    EXPECT_EQ(SungWidth(100, 1.7), 100);
    EXPECT_EQ(SungWidth(0, 0.5), 0);

    TSubtitleBoxText text;
    text.English = QStringLiteral("Good morning, how are you today?");
    text.China = QStringLiteral("早上好，你今天好吗？");

    text.Progress = -0.2;
    TColumns none = Scan(Paint(text), 0, 20);
    EXPECT_EQ(none.FirstSung, -1);
    EXPECT_GE(none.FirstUnsung, 0);

    text.Progress = 0.5;
    TColumns half = Scan(Paint(text), 0, 20);
    ASSERT_GE(half.FirstSung, 0);
    ASSERT_GE(half.FirstUnsung, 0);
    EXPECT_LT(half.LastSung, half.LastUnsung);   // the right part is still blue
    EXPECT_LT(half.FirstSung, half.FirstUnsung); // the left part is yellow

    text.Progress = 1.3;
    TColumns all = Scan(Paint(text), 0, 20);
    EXPECT_EQ(all.FirstUnsung, -1);
    EXPECT_GE(all.FirstSung, 0);
    // Centred: the line's ink sits about as far from both edges.
    EXPECT_NEAR(all.FirstSung, 400 - 1 - all.LastSung, 12);
}

TEST(SubtitleBox, LinesShownAsAsked)
{
    TSubtitleBoxText text;
    text.English = QStringLiteral("Hello");
    text.China = QStringLiteral("你好");
    const auto hasGreen = [](const QImage& image) {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb c = image.pixel(x, y);
                if (qGreen(c) > 150 && qRed(c) > 100 && qRed(c) < 200 && qBlue(c) < 120)
                    return true;
            }
        return false;
    };
    EXPECT_TRUE(hasGreen(Paint(text)));
    text.ShowChina = false;
    EXPECT_FALSE(hasGreen(Paint(text)));
    text.ShowEnglish = false;
    const QImage blank = Paint(text);
    EXPECT_EQ(Scan(blank, 0, blank.height()).FirstUnsung, -1);
    // Blank lines leave the box black, also where it was white before.
    EXPECT_EQ(blank.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(blank.pixel(399, 57), qRgb(0, 0, 0));

    // The video player's placement: lower by its top offset.
    TSubtitleBoxText video;
    video.English = QStringLiteral("Hello");
    video.EnglishTop = 6;
    const TColumns rows = Scan(Paint(video), 0, 6);
    EXPECT_EQ(rows.FirstUnsung, -1);
}

// ------------------------------------------------------------ the box's pixels and its cost

namespace {

// The box as it was first painted: each line drawn on black in a picture of
// exactly its width and height, the sung part copied over from a second
// picture in the sung colour. Kept as the reference the box must match.
QImage ReferenceLine(const TFont& font, const QString& line, int width, int height)
{
    QImage image(std::max(1, width), std::max(1, height), QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    TCanvas canvas(painter);
    canvas.Font = font;
    canvas.BrushStyle = TBrushStyle::Clear;
    canvas.TextOut(0, 0, line);
    return image;
}

TFont ReferenceFont(const QString& name, TColor color)
{
    TFont font;
    font.Name = name;
    font.Size = 12;
    font.Bold = true;
    font.Color = color;
    return font;
}

QImage ReferenceBox(const TSubtitleBoxText& text, int boxWidth)
{
    QImage image(boxWidth, SubtitleBoxHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    const QRect rect = image.rect();
    painter.fillRect(rect, Qt::black);
    const TFont english = ReferenceFont(QStringLiteral("MS Sans Serif"), SubtitleEnglishColor);
    const TFont china = ReferenceFont(QStringLiteral("宋体"), SubtitleChinaColor);
    if (text.ShowEnglish && !text.English.trimmed().isEmpty()) {
        const int w = TextWidthOf(english, text.English);
        const int h = TextHeightOf(english, text.English);
        const int x = rect.left() + RoundHalfEven((rect.width() - w) / 2.0);
        QImage line = ReferenceLine(english, text.English, w, h);
        TFont sungFont = english;
        sungFont.Color = SubtitleSungColor;
        const QImage sung = ReferenceLine(sungFont, text.English, w, h);
        const int sungWidth = SungWidth(w, text.Progress);
        if (sungWidth > 0) {
            QPainter onLine(&line);
            onLine.drawImage(QPoint(0, 0), sung, QRect(0, 0, sungWidth, h));
        }
        painter.drawImage(QPoint(x, rect.top() + text.EnglishTop), line);
    }
    if (text.ShowChina && !text.China.trimmed().isEmpty()) {
        const int w = TextWidthOf(china, text.China);
        const int x = rect.left() + RoundHalfEven((rect.width() - w) / 2.0);
        const int y = rect.top() + text.EnglishTop + TextHeightOf(china, text.English) + 8;
        TCanvas canvas(painter);
        canvas.Font = china;
        canvas.BrushStyle = TBrushStyle::Clear;
        canvas.TextOut(x, y, text.China);
    }
    return image;
}

QImage PaintWith(TSubtitleBoxPainter& box, const TSubtitleBoxText& text, int width)
{
    QImage image(width, SubtitleBoxHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    box.Paint(painter, image.rect(), text);
    return image;
}

QString Repeated(const QString& piece, int chars)
{
    QString s;
    while (s.size() < chars)
        s += piece;
    s.truncate(chars);
    return s;
}

// The peak resident memory of the process in KiB, and its reset.
long PeakMemoryKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

void ResetPeakMemory()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

// The first pixel where two pictures differ, for the failure message.
QString FirstDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return QStringLiteral("sizes differ");
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return QStringLiteral("(%1, %2): %3 against %4").arg(x).arg(y).arg(a.pixel(x, y), 8, 16).arg(b.pixel(x, y), 8, 16);
    return {};
}

}  // namespace

TEST(SubtitleBox, PaintsThePixelsOfAPictureOfEachLine)
{
    struct Line {
        const char* what;
        QString english, china;
    };
    const std::vector<Line> lines{
        {"short", QStringLiteral("Good morning, how are you today?"), QStringLiteral("早上好，你今天好吗？")},
        {"ink past the text's box", QStringLiteral("jÅÇ fly — ÿ Ĵ"), QStringLiteral("，你")},
        {"Chinese in the English font", QStringLiteral("Say 你好 to them"), QString()},
        {"far wider than the box",
         Repeated(QStringLiteral("The quick brown fox jumps over the lazy dog; "), 5000),
         Repeated(QStringLiteral("这是一句很长的中文字幕，"), 1500)},
        {"blank", QStringLiteral("   "), QStringLiteral(" \t ")},
    };
    for (const Line& line : lines) {
        // One painter for every step, as a player keeps it for a sentence.
        TSubtitleBoxPainter box;
        for (int width : {400, 801}) {
            for (int top : {0, 6}) {
                for (double progress : {-0.2, 0.0, 0.013, 0.37, 0.5, 0.5004, 0.91, 1.0, 1.4}) {
                    TSubtitleBoxText text;
                    text.English = line.english;
                    text.China = line.china;
                    text.Progress = progress;
                    text.EnglishTop = top;
                    const QImage ours = PaintWith(box, text, width);
                    const QImage reference = ReferenceBox(text, width);
                    EXPECT_TRUE(ours == reference) << line.what << ", width " << width << ", top " << top << ", progress "
                                                    << progress << ": " << qPrintable(FirstDifference(ours, reference));
                }
            }
        }
    }
}

TEST(SubtitleBox, ALineOfAnyLengthPaintsOnlyWhatShows)
{
    TSubtitleBoxText text;
    text.English = Repeated(QStringLiteral("The quick brown fox jumps over the lazy dog; "), 150000);
    text.China = Repeated(QStringLiteral("这是一句很长的中文字幕，"), 50000);
    text.Progress = 0.5;
    TSubtitleBoxPainter box;
    QImage image(800, SubtitleBoxHeight, QImage::Format_RGB32);
    const auto paint = [&] {
        QPainter painter(&image);
        box.Paint(painter, image.rect(), text);
    };
    // Shaping the lines is the memory a sentence needs; a picture of the
    // English line alone would take 2 × 1.2 million × 16 pixels (150 MB).
    ResetPeakMemory();
    const long before = PeakMemoryKiB();
    paint();
    text.Progress = 0.75;
    paint();
    const long grown = PeakMemoryKiB() - before;
    EXPECT_LT(grown, 48 * 1024) << grown << " KiB";
    EXPECT_GE(box.EnglishLine().Glyphs(), 150000);
    // Each paint hands the painter the glyphs near the box only: the 800
    // pixels hold about a hundred of them; no picture as wide as the text.
    for (double progress : {0.0, 0.4999, 0.5, 0.5001, 1.0}) {
        text.Progress = progress;
        paint();
        EXPECT_GT(box.DrawnGlyphs(), 100) << progress;
        EXPECT_LT(box.DrawnGlyphs(), 600) << progress;
    }
    // The sung edge crosses the middle of the box at one half.
    const auto sungAt = [&](int x) {
        bool sung = false;
        for (int y = 0; y < 20; ++y)
            sung = sung || IsSung(image.pixel(x, y));
        return sung;
    };
    text.Progress = 0.5;
    paint();
    int lastSung = -1;
    for (int x = 0; x < image.width(); ++x)
        if (sungAt(x))
            lastSung = x;
    EXPECT_NEAR(lastSung, 400, 12);
}

TEST(SubtitleBox, TheSungEdgeMovesOnlyWithVisiblePixels)
{
    const QRect box(0, 0, 400, SubtitleBoxHeight);
    // A line four times as wide as the box: its middle quarter shows.
    const int width = 1600;
    struct Case {
        double progress;
        int edge;
    };
    for (const Case& c : std::vector<Case>{{-1, 0},      // nothing sung
                                           {0.2, 0},     // sung up to -280: not in the box yet
                                           {0.375, 0},   // exactly at the box's left side
                                           {0.38, 8},
                                           {0.5, 200},
                                           {0.624, 398},
                                           {0.625, 400}, // the whole box sung
                                           {0.9, 400},
                                           {2, 400}})
        EXPECT_EQ(VisibleSungEdge(box, width, c.progress), c.edge) << c.progress;
    // A short line: the edge runs from the line's left to its right.
    EXPECT_EQ(VisibleSungEdge(box, 100, 0), 150);
    EXPECT_EQ(VisibleSungEdge(box, 100, 0.5), 200);
    EXPECT_EQ(VisibleSungEdge(box, 100, 1), 250);
    EXPECT_EQ(VisibleSungEdge(box.translated(10, 0), 100, 1), 260);

    // Where the edge stands still the box paints the same pixels; a painter
    // may skip those repaints.
    TSubtitleBoxText text;
    text.English = Repeated(QStringLiteral("Sing along with me, "), 240);
    TSubtitleBoxPainter painter;
    const int w = painter.EnglishWidth(text.English);
    ASSERT_GT(w, 1200);
    int changes = 0;
    int lastEdge = -1;
    QImage last;
    for (int step = 0; step <= 2000; ++step) {
        text.Progress = step / 2000.0;
        const int edge = VisibleSungEdge(box, w, text.Progress);
        const QImage image = PaintWith(painter, text, box.width());
        if (edge == lastEdge)
            ASSERT_TRUE(image == last) << "step " << step;
        else
            ++changes;
        lastEdge = edge;
        last = image;
    }
    // Only the steps whose edge lies inside the box ask for a paint.
    EXPECT_LE(changes, box.width() + 2);
}
