// Code folding in the editor, each against a plain loop over the same lines
// in the same run:
// - scanning 100,000 lines (and twice that) with 20,000 nested brace ranges
//   per 100,000 lines and strings holding braces, against a loop that counts
//   the braces outside strings;
// - collapsing and expanding a range of 100,000 lines, against copying
//   those lines into a QStringList;
// - reading the whole 50 MB text with no fold and with 1,000 collapsed
//   ranges, against joining its lines.
#include "BenchSupport.h"
#include "TextEdit.h"

#include <QtWidgets/QApplication>

namespace {

// Ten lines, two ranges (one nested), strings holding braces.
QStringList FoldBenchSource(int lines)
{
    QStringList out;
    out.reserve(lines);
    for (int n = 0; out.size() < lines; ++n) {
        out << QStringLiteral("block %1 {").arg(n) << QStringLiteral("  text = \"brace { in a \\\" string\";")
            << QStringLiteral("  inner {") << QStringLiteral("    value = %1;").arg(n)
            << QStringLiteral("    other = \"}\";") << QStringLiteral("  }") << QStringLiteral("  more;")
            << QStringLiteral("  last;") << QStringLiteral("  done;") << QStringLiteral("}");
    }
    while (out.size() > lines)
        out.removeLast();
    return out;
}

void FoldBenchRegions(TTextEdit& e)
{
    TFoldRegions& regions = e.CodeFolding().FoldRegions();
    TFoldRegionItem* braces = regions.Add();
    braces->Kind = 0;
    braces->Open = QStringLiteral("{");
    braces->Close = QStringLiteral("}");
    TSkipRegionItem* strings = regions.SkipRegions().Add();
    strings->Kind = 0;
    strings->Open = QStringLiteral("\"");
    strings->Close = QStringLiteral("\"");
    strings->Escape = QStringLiteral("\\");
}

void FoldBenchLoad(TTextEdit& e, const QStringList& lines)
{
    e.Lines().BeginUpdate();
    e.Lines().AddStrings(lines);
    e.Lines().EndUpdate();
    e.ClearUndoHistory();
}

void BM_RescanFolds(benchmark::State& state)
{
    TTextEdit e;
    FoldBenchRegions(e);
    FoldBenchLoad(e, FoldBenchSource(static_cast<int>(state.range(0))));
    e.CodeFolding().SetEnabled(true);
    for (auto _ : state)
        e.RescanFolds();
    state.counters["Ranges"] = e.AllFoldRanges().TotalCount();
}

// The lines read from the editor's store, braces counted outside strings.
void BM_ReferenceCountBraces(benchmark::State& state)
{
    TTextEdit e;
    FoldBenchLoad(e, FoldBenchSource(static_cast<int>(state.range(0))));
    const TTextEditStringList& store = e.Lines();
    for (auto _ : state) {
        int open = 0;
        int close = 0;
        for (int i = 0; i < store.Count(); ++i) {
            const QString line = store.Get(i);
            bool inString = false;
            for (qsizetype c = 0; c < line.size(); ++c) {
                const QChar ch = line.at(c);
                if (inString) {
                    if (ch == QLatin1Char('\\'))
                        ++c;
                    else if (ch == QLatin1Char('"'))
                        inString = false;
                } else if (ch == QLatin1Char('"')) {
                    inString = true;
                } else if (ch == QLatin1Char('{')) {
                    ++open;
                } else if (ch == QLatin1Char('}')) {
                    ++close;
                }
            }
        }
        benchmark::DoNotOptimize(open);
        benchmark::DoNotOptimize(close);
    }
}

constexpr int FoldBenchBlock = 100000;

// "{", 100,000 lines, "}" and a tail.
void FoldBenchLongRange(TTextEdit& e)
{
    FoldBenchRegions(e);
    QStringList lines{QStringLiteral("long {")};
    for (int i = 0; i < FoldBenchBlock - 1; ++i)
        lines << QStringLiteral("  line %1 of the long block, with some words").arg(i);
    lines << QStringLiteral("}") << QStringLiteral("after");
    FoldBenchLoad(e, lines);
    e.CodeFolding().SetEnabled(true);
    e.RescanFolds();
}

void BM_CollapseLongRange(benchmark::State& state)
{
    TTextEdit e;
    FoldBenchLongRange(e);
    for (auto _ : state) {
        state.PauseTiming();
        e.ExpandFoldRange(e.FoldRangeAtLine(1));
        state.ResumeTiming();
        e.CollapseFoldRange(e.FoldRangeAtLine(1));
    }
    state.counters["Lines"] = e.Lines().Count();
}

void BM_ExpandLongRange(benchmark::State& state)
{
    TTextEdit e;
    FoldBenchLongRange(e);
    for (auto _ : state) {
        state.PauseTiming();
        e.CollapseFoldRange(e.FoldRangeAtLine(1));
        state.ResumeTiming();
        e.ExpandFoldRange(e.FoldRangeAtLine(1));
    }
    state.counters["Lines"] = e.Lines().Count();
}

void BM_ReferenceCopyLongRange(benchmark::State& state)
{
    TTextEdit e;
    FoldBenchLongRange(e);
    for (auto _ : state) {
        QStringList copy;
        copy.reserve(FoldBenchBlock);
        for (int i = 1; i <= FoldBenchBlock; ++i)
            copy.append(e.Lines().Get(i));
        benchmark::DoNotOptimize(copy);
    }
}

// About 50 MB of text with a range of ten lines every 1,000 lines.
QStringList FoldBenchLargeText()
{
    QStringList lines;
    qsizetype bytes = 0;
    for (int n = 0; bytes < (qsizetype(50) << 20); ++n) {
        const QString line = n % 1000 == 0   ? QStringLiteral("section %1 {").arg(n)
                             : n % 1000 == 9 ? QStringLiteral("}")
                                             : QStringLiteral("Line %1 of the dictation text, 中文 and English.").arg(n);
        bytes += line.size() + 2;
        lines << line;
    }
    return lines;
}

void BM_ReadFullTextFolded(benchmark::State& state)
{
    TTextEdit e;
    FoldBenchRegions(e);
    FoldBenchLoad(e, FoldBenchLargeText());
    e.CodeFolding().SetEnabled(true);
    e.RescanFolds();
    int collapsed = 0;
    if (state.range(0) > 0)
        for (int i = e.AllFoldRanges().TotalCount() - 1; i >= 0 && collapsed < state.range(0); --i, ++collapsed)
            e.CollapseFoldRange(e.AllFoldRanges().RangeAt(i));
    for (auto _ : state)
        benchmark::DoNotOptimize(e.ReadFullText());
    state.counters["Collapsed"] = collapsed;
}

void BM_ReferenceJoinLargeText(benchmark::State& state)
{
    const QStringList lines = FoldBenchLargeText();
    for (auto _ : state)
        benchmark::DoNotOptimize(lines.join(QStringLiteral("\r\n")));
}

}  // namespace

BENCHMARK(BM_RescanFolds)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceCountBraces)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CollapseLongRange)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExpandLongRange)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceCopyLongRange)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFullTextFolded)->Arg(0)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReferenceJoinLargeText)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    return RunBenchmarks(argc, argv);
}
