// The line store against a plain QStringList, the word-wrap map against one
// pass measuring every line, and undo recording at the entry limit.
//
// Run: build/bench-bin/text_editor_bench [--benchmark_filter=...]
// A generated 50 MB GBK text of about 650,000 lines, some Chinese, is made
// once in the temporary folder.

#include "BenchSupport.h"

#include "AnsiText.h"
#include "TextEditLines.h"
#include "TextEditUndo.h"
#include "TextEditWordWrap.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QStringList>
#include <QtWidgets/QApplication>

#include <random>

namespace {

QString TextPath()
{
    return QDir::tempPath() + QStringLiteral("/pibo-text-editor-bench.txt");
}

const QString& MakeText()
{
    static const QString path = [] {
        const QString p = TextPath();
        if (QFile(p).size() > 45'000'000)
            return p;
        std::mt19937 random(7);
        const QStringList words = {QStringLiteral("listen"), QStringLiteral("to"), QStringLiteral("the"),
                                   QStringLiteral("sentence"), QStringLiteral("and"), QStringLiteral("write"),
                                   QStringLiteral("it"), QStringLiteral("down"), QStringLiteral("学习"),
                                   QStringLiteral("英语"), QStringLiteral("\t"), QStringLiteral("lesson")};
        QString text;
        text.reserve(52'000'000);
        while (text.size() < 48'000'000) {
            const int count = 6 + static_cast<int>(random() % 10);
            for (int i = 0; i < count; ++i) {
                if (i)
                    text += QLatin1Char(' ');
                text += words.at(static_cast<int>(random() % words.size()));
            }
            text += QStringLiteral("\r\n");
        }
        QFile f(p);
        if (f.open(QIODevice::WriteOnly))
            f.write(StringToAnsi(text));
        return p;
    }();
    return path;
}

void BM_LoadFromFile(benchmark::State& state)
{
    const QString path = MakeText();
    ResetPeakRss();
    const long before = PeakRssKiB();
    long held = 0;
    for (auto _ : state) {
        TTextEditStringList list;
        list.LoadFromFile(path);
        benchmark::DoNotOptimize(list.Count());
        held = PeakRssKiB() - before;
        state.counters["lines"] = list.Count();
    }
    state.counters["peak_growth_MiB"] = static_cast<double>(held) / 1024;
}

void BM_ReferenceReadDecodeSplit(benchmark::State& state)
{
    const QString path = MakeText();
    ResetPeakRss();
    const long before = PeakRssKiB();
    long held = 0;
    for (auto _ : state) {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        const QStringList lines = AnsiToString(f.readAll()).split(QStringLiteral("\r\n"));
        benchmark::DoNotOptimize(lines.size());
        held = PeakRssKiB() - before;
    }
    state.counters["peak_growth_MiB"] = static_cast<double>(held) / 1024;
}

void BM_SaveToFile(benchmark::State& state)
{
    TTextEditStringList list;
    list.LoadFromFile(MakeText());
    const QString out = QDir::tempPath() + QStringLiteral("/pibo-text-editor-bench-out.txt");
    for (auto _ : state)
        list.SaveToFile(out);
    QFile::remove(out);
}

void BM_ReferenceWriteEncoded(benchmark::State& state)
{
    TTextEditStringList list;
    list.LoadFromFile(MakeText());
    const QByteArray bytes = list.SaveToBytes();
    const QString out = QDir::tempPath() + QStringLiteral("/pibo-text-editor-bench-ref.txt");
    for (auto _ : state) {
        QFile f(out);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
    }
    QFile::remove(out);
}

class TListHost : public ITextWordWrapHost {
public:
    explicit TListHost(TTextEditStringList& lines) : FLines(lines) {}
    int WrapLineCount() const override { return FLines.Count(); }
    QString WrapExpandedLine(int index) const override { return FLines.ExpandedLine(index); }
    int WrapWidth() const override { return 80; }
    TCharSet WrapIdentifierChars() const override
    {
        TCharSet chars;
        for (size_t c = 33; c <= 255; ++c)
            chars.set(c);
        return chars;
    }

private:
    TTextEditStringList& FLines;
};

void BM_WordWrapRebuild(benchmark::State& state)
{
    TTextEditStringList lines;
    lines.LoadFromFile(MakeText());
    TListHost host(lines);
    TTextWordWrapPlugin wrap(&host);
    for (auto _ : state) {
        wrap.Rebuild();
        benchmark::DoNotOptimize(wrap.TotalRows());
    }
}

void BM_ReferenceExpandedLengths(benchmark::State& state)
{
    TTextEditStringList lines;
    lines.LoadFromFile(MakeText());
    for (auto _ : state) {
        long long total = 0;
        for (int i = 0; i < lines.Count(); ++i)
            total += CellLength(lines.ExpandedLine(i));
        benchmark::DoNotOptimize(total);
    }
}

void BM_RecordChangeAtLimit(benchmark::State& state)
{
    TTextEditUndoList undo;
    undo.SetEntryLimit(static_cast<int>(state.range(0)));
    for (int i = 0; i < state.range(0); ++i)
        undo.RecordChange(urInsert, BufferCoord(1, 1), BufferCoord(2, 1), QStringLiteral("x"), smNormal);
    for (auto _ : state)
        undo.RecordChange(urInsert, BufferCoord(1, 1), BufferCoord(2, 1), QStringLiteral("x"), smNormal);
}

}  // namespace

BENCHMARK(BM_LoadFromFile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReferenceReadDecodeSplit)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SaveToFile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReferenceWriteEncoded)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WordWrapRebuild)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReferenceExpandedLengths)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RecordChangeAtLimit)->Arg(1024)->Arg(65536);

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    return RunBenchmarks(argc, argv);
}
