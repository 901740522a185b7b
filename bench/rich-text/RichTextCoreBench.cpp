// Text encodings against one plain iconv call on the same buffer (10 MB of
// mixed GBK text, in one piece and as 500,000 item-sized strings), and the
// style sheet's merging and equal-style search at the sizes of big documents.
//
// Run: build/bench-bin/rich_text_core_bench [--benchmark_filter=...]

#include "BenchSupport.h"

#include <iconv.h>

#include <random>
#include <vector>

#include "styles/RDStyle.h"
#include "core/RDUnicode.h"

namespace {

// About 10 MB of GBK: English words and Chinese phrases, as in lessons.
const QByteArray& GbkText()
{
    static const QByteArray text = [] {
        const QStringList words = {QStringLiteral("listen"), QStringLiteral("sentence"), QStringLiteral("学习"),
                                   QStringLiteral("英语听写"), QStringLiteral("the"), QStringLiteral("课程，"),
                                   QStringLiteral("write"), QStringLiteral("皮博。"), QStringLiteral(" ")};
        std::mt19937 random(11);
        QString s;
        while (s.size() < 7'000'000)
            s += words.at(static_cast<int>(random() % words.size())) + u' ';
        return QStringToAnsi(936, s);
    }();
    return text;
}

const QByteArray& Utf16Text()
{
    static const QByteArray text = AnsiToUtf16(936, GbkText());
    return text;
}

// Cut at character boundaries into pieces of about 20 bytes.
std::vector<QByteArray> Pieces(const QByteArray& text, int unit)
{
    std::vector<QByteArray> pieces;
    const qsizetype count = 500'000;
    const qsizetype size = text.size() / count / unit * unit;
    qsizetype at = 0;
    while (at < text.size()) {
        qsizetype end = std::min(text.size(), at + size);
        if (unit == 1)  // never split a GBK character
            for (qsizetype i = at; i < end; ++i)
                if (static_cast<unsigned char>(text.at(i)) >= 0x81 && ++i >= end)
                    end = std::min(text.size(), i + 1);
        pieces.push_back(text.mid(at, end - at));
        at = end;
    }
    return pieces;
}

QByteArray PlainIconv(const char* to, const char* from, const QByteArray& in)
{
    iconv_t cd = iconv_open(to, from);
    QByteArray out(in.size() * 2 + 16, Qt::Uninitialized);
    char* src = const_cast<char*>(in.constData());
    size_t srcLeft = static_cast<size_t>(in.size());
    char* dst = out.data();
    size_t dstLeft = static_cast<size_t>(out.size());
    iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    out.resize(dst - out.data());
    return out;
}

void BM_IconvUtf16ToGb18030(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(PlainIconv("GB18030", "UTF-16LE", Utf16Text()));
    state.SetBytesProcessed(state.iterations() * Utf16Text().size());
}
BENCHMARK(BM_IconvUtf16ToGb18030)->Unit(benchmark::kMillisecond);

void BM_Utf16ToAnsi(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(Utf16ToAnsi(936, Utf16Text()));
    state.SetBytesProcessed(state.iterations() * Utf16Text().size());
}
BENCHMARK(BM_Utf16ToAnsi)->Unit(benchmark::kMillisecond);

void BM_Utf16ToAnsiItems(benchmark::State& state)
{
    const std::vector<QByteArray> pieces = Pieces(Utf16Text(), 2);
    for (auto _ : state)
        for (const QByteArray& piece : pieces)
            benchmark::DoNotOptimize(Utf16ToAnsi(936, piece));
    state.counters["items"] = static_cast<double>(pieces.size());
}
BENCHMARK(BM_Utf16ToAnsiItems)->Unit(benchmark::kMillisecond);

void BM_IconvGb18030ToUtf16(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(PlainIconv("UTF-16LE", "GB18030", GbkText()));
    state.SetBytesProcessed(state.iterations() * GbkText().size());
}
BENCHMARK(BM_IconvGb18030ToUtf16)->Unit(benchmark::kMillisecond);

void BM_AnsiToUtf16(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(AnsiToUtf16(936, GbkText()));
    state.SetBytesProcessed(state.iterations() * GbkText().size());
}
BENCHMARK(BM_AnsiToUtf16)->Unit(benchmark::kMillisecond);

void BM_AnsiToUtf16Items(benchmark::State& state)
{
    const std::vector<QByteArray> pieces = Pieces(GbkText(), 1);
    for (auto _ : state)
        for (const QByteArray& piece : pieces)
            benchmark::DoNotOptimize(AnsiToUtf16(936, piece));
    state.counters["items"] = static_cast<double>(pieces.size());
}
BENCHMARK(BM_AnsiToUtf16Items)->Unit(benchmark::kMillisecond);

// Styles that differ in size, colour and flags, as a converted document makes them.
void FillStyles(TFontInfos& styles, int count, int seed)
{
    std::mt19937 random(static_cast<unsigned>(seed));
    styles.Clear();
    for (int i = 0; i < count; ++i) {
        TFontInfo& s = *styles.Add();
        s.Size = 8 + static_cast<int>(random() % 30);
        s.Color = random() % 0x1000000;
        s.Style = static_cast<uint8_t>(random() % 16);
        s.Jump = random() % 7 == 0;
        s.FontName = random() % 2 ? QStringLiteral("宋体") : QStringLiteral("Arial");
    }
}

void BM_MergeStyles(benchmark::State& state)
{
    TRDStyle source;
    FillStyles(source.TextStyles(), 500, 2);
    TRDIntegerList mapping;
    for (auto _ : state) {
        state.PauseTiming();
        TRDStyle target;
        FillStyles(target.TextStyles(), 2000, 1);
        state.ResumeTiming();
        target.TextStyles().MergeStyles(source.TextStyles(), static_cast<int>(state.range(0)), mapping, nullptr);
    }
}
BENCHMARK(BM_MergeStyles)->Arg(rdMergeEqual)->Arg(rdMergeClosest)->Unit(benchmark::kMillisecond);

void BM_FindEqualStyle2000(benchmark::State& state)
{
    TRDStyle sheet;
    FillStyles(sheet.TextStyles(), 2000, 1);
    TRDStyle probes;
    FillStyles(probes.TextStyles(), 2000, 3);
    for (auto _ : state)
        for (int i = 0; i < 2000; ++i)
            benchmark::DoNotOptimize(sheet.TextStyles().FindEqualStyle(
                i, *probes.TextStyles()[i], FontProp(rdfiSize) | FontProp(rdfiColor) | FontProp(rdfiBold)));
}
BENCHMARK(BM_FindEqualStyle2000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    return RunBenchmarks(argc, argv);
}
