// What the two players share: the selection and time lookups over a sentence
// list, and the subtitle box with its sung-along English line.

#include "UPlayerShared.h"

#include <QtGui/QImage>
#include <QtGui/QPainter>

#include <gtest/gtest.h>

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
