// Measuring, styled drawing and line breaking of rich text, each beside the
// plain Qt call it builds on, in the same run.

#include <QtGui/QFontMetricsF>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QPainter>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "RichTextSuite.h"
#include "BenchSupport.h"
#include "text/RDLineBreak.h"
#include "styles/RDStyle.h"
#include "text/RDStyleDraw.h"
#include "text/RDTextMeasure.h"
#include "core/RDUnicode.h"

namespace {

struct TItem {
    QByteArray Bytes;  // the item string
    int Flags;
    QString Text;      // the same as text
};

const char* const Words[] = {"the", "listening", "practice", "sentence", "dictation", "a", "of", "English",
                             "recording", "subtitle", "learner", "check"};
const char16_t Ideographs[] = u"学习英语听写句子录音练习中文字幕校对结果课程发音单词";

// 100,000 item strings: a third ASCII words, a third GBK Chinese, a third
// UTF-16 mixed.
const std::vector<TItem>& Items()
{
    static const std::vector<TItem> items = [] {
        std::vector<TItem> v;
        std::mt19937 rng(7);
        const int ideographCount = int(std::size(Ideographs)) - 1;
        for (int i = 0; i < 100000; ++i) {
            QString text;
            const int kind = i % 3;
            const int len = 2 + int(rng() % 6);
            for (int k = 0; k < len; ++k) {
                if (kind == 0 || (kind == 2 && k % 2 == 0)) {
                    if (k)
                        text += QLatin1Char(' ');
                    text += QLatin1String(Words[rng() % std::size(Words)]);
                } else {
                    text += QChar(Ideographs[rng() % unsigned(ideographCount)]);
                }
            }
            if (kind == 2)
                v.push_back({WideStringToRaw(text), rdioUnicode, text});
            else
                v.push_back({QStringToAnsi(CP_ACP, text), 0, text});
        }
        return v;
    }();
    return items;
}

struct TPaintTarget {
    QImage Image{1600, 80, QImage::Format_RGB32};
    std::unique_ptr<QPainter> Painter;
    std::unique_ptr<TCanvas> Canvas;

    TPaintTarget()
    {
        Image.fill(Qt::white);
        Painter = std::make_unique<QPainter>(&Image);
        Canvas = std::make_unique<TCanvas>(*Painter);
    }
};

TFontInfo BenchStyle(int i)
{
    TFontInfo style;
    style.FontName = i % 2 ? QStringLiteral("宋体") : QStringLiteral("Arial");
    style.Size = 10 + i % 3;
    style.Style = i % 4 == 0 ? fsBold : 0;
    style.BackColor = i % 5 == 0 ? 0x00FFFF : clNone;
    return style;
}

void BM_ItemTextExtentEx(benchmark::State& state)
{
    TPaintTarget target;
    QFont font = BenchStyle(1).MakeFont();
    SelectCanvasFont(*target.Canvas, font, 1);
    std::vector<int> extents;
    for (auto _ : state) {
        for (const TItem& item : Items()) {
            int fit = 0;
            ItemTextExtentEx(*target.Canvas, item.Bytes, 1 << 30, fit, &extents, item.Flags);
            benchmark::DoNotOptimize(fit);
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(Items().size()));
}

void BM_HorizontalAdvanceReference(benchmark::State& state)
{
    TPaintTarget target;
    const QFont font = BenchStyle(1).MakeFont();
    for (auto _ : state) {
        const QFontMetricsF fm(font, &target.Image);
        for (const TItem& item : Items())
            benchmark::DoNotOptimize(fm.horizontalAdvance(item.Text));
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(Items().size()));
}

constexpr int RunCount = 10000;

void BM_DrawStyleText(benchmark::State& state)
{
    const bool fitWidth = state.range(0) != 0;
    TPaintTarget target;
    std::vector<TFontInfo> styles;
    std::vector<QFont> fonts;
    for (int i = 0; i < 6; ++i) {
        styles.push_back(BenchStyle(i));
        fonts.push_back(styles.back().MakeFont());
    }
    TRDStyle sheet;
    for (auto _ : state) {
        for (int i = 0; i < RunCount; ++i) {
            const TItem& item = Items()[size_t(i)];
            TFontInfo& style = styles[size_t(i % 6)];
            style.Unicode = item.Flags != 0;
            SelectCanvasFont(*target.Canvas, fonts[size_t(i % 6)], 1);
            ApplyColor(style, *target.Canvas, sheet, 0, fitWidth, 0);
            DrawText(style, item.Bytes, *target.Canvas, sheet, 0, 10, 20, 400, 24, 0, fitWidth, fitWidth, 0,
                     TRDBiDiMode::rdbdUnspecified);
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * RunCount);
}

void BM_DrawTextReference(benchmark::State& state)
{
    TPaintTarget target;
    std::vector<QFont> fonts;
    for (int i = 0; i < 6; ++i)
        fonts.push_back(BenchStyle(i).MakeFont());
    for (auto _ : state) {
        for (int i = 0; i < RunCount; ++i) {
            const TItem& item = Items()[size_t(i)];
            target.Painter->setFont(fonts[size_t(i % 6)]);
            target.Painter->setPen(Qt::black);
            target.Painter->drawText(QPointF(10, 40), item.Text);
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * RunCount);
}

// 1,000,000 units of ideographs and Latin words, broken into lines of 80.
const std::vector<char16_t>& LongText()
{
    static const std::vector<char16_t> text = [] {
        std::vector<char16_t> t;
        t.reserve(1000000);
        std::mt19937 rng(11);
        while (t.size() < 1000000) {
            if (rng() % 2) {
                for (int k = 0; k < 6; ++k)
                    t.push_back(Ideographs[rng() % (std::size(Ideographs) - 1)]);
            } else {
                for (const char c : QByteArray(Words[rng() % std::size(Words)]))
                    t.push_back(char16_t(c));
                t.push_back(u' ');
            }
        }
        t.resize(1000000);
        return t;
    }();
    return text;
}

void BM_FindLineBreak(benchmark::State& state)
{
    // The first range(0) units: the time per unit stays the same as the text grows.
    const std::vector<char16_t>& text = LongText();
    const int length = int(std::min<std::int64_t>(state.range(0), std::int64_t(text.size())));
    for (auto _ : state) {
        int start = 0, lines = 0;
        while (start + 80 < length) {
            const char16_t* p = FindLineBreak(text.data() + start, length - start, 80, false);
            start = p ? int(p - text.data()) + 1 : start + 80;
            ++lines;
        }
        benchmark::DoNotOptimize(lines);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * length);
}

}  // namespace

BENCHMARK(BM_ItemTextExtentEx)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HorizontalAdvanceReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawStyleText)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawTextReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindLineBreak)->Arg(250000)->Arg(500000)->Arg(1000000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    InstallRichTextSuite();
    // The test data is made before any timing.
    Items();
    LongText();
    return RunBenchmarks(argc, argv);
}
