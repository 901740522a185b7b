// The rich-text document against QTextDocument: building, saving and loading
// 100,000 and 200,000 paragraphs of two shapes, three styled text items a
// paragraph (the check result) and one item a paragraph (the maker), and the
// memory the built document takes.
//
// Run: build/bench-bin/rich_text_document_bench [--benchmark_filter=...]

#include "RichTextSuite.h"
#include "BenchSupport.h"

#include <malloc.h>

#include <memory>

#include <QtGui/QTextCharFormat>
#include <QtGui/QTextCursor>
#include <QtGui/QTextDocument>
#include <QtWidgets/QApplication>

#include "RDDocTestSupport.h"

namespace {

const QByteArray Number = "12. ";
const QByteArray Word = "sentence";
const QByteArray Chinese = "\xd5\xfd\xc8\xb7\xb5\xc4\xbe\xe4\xd7\xd3";  // 正确的句子 in GBK
const QByteArray Line = "Listen to the sentence and write it down.";

TTestStyleSheet& Sheet()
{
    static TTestStyleSheet sheet;
    return sheet;
}

void Build(TTestRDData& doc, int paragraphs, bool threeItems)
{
    for (int p = 0; p < paragraphs; ++p) {
        if (threeItems) {
            doc.AddTextRawNoTag(Number, 0, 0);
            doc.AddTextRawNoTag(Word, 2, -1);
            doc.AddTextRawNoTag(Chinese, 3, -1);
        } else {
            doc.AddTextRawNoTag(Line, 0, 0);
        }
    }
}

void BuildQt(QTextDocument& doc, int paragraphs, bool threeItems)
{
    QTextCursor cursor(&doc);
    QTextCharFormat normal, marked, chinese;
    marked.setFontUnderline(true);
    marked.setForeground(Qt::red);
    chinese.setForeground(Qt::blue);
    const QString number = QString::fromLatin1(Number);
    const QString word = QString::fromLatin1(Word);
    const QString chineseText = QStringLiteral("正确的句子");
    const QString line = QString::fromLatin1(Line);
    for (int p = 0; p < paragraphs; ++p) {
        if (p)
            cursor.insertBlock();
        if (threeItems) {
            cursor.insertText(number, normal);
            cursor.insertText(word, marked);
            cursor.insertText(chineseText, chinese);
        } else {
            cursor.insertText(line, normal);
        }
    }
}

int Paragraphs(const benchmark::State& state) { return static_cast<int>(state.range(0)); }
bool ThreeItems(const benchmark::State& state) { return state.range(1) == 3; }

// Heap bytes in use, small blocks and mapped ones.
double HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

void PerParagraphMemory(benchmark::State& state, double before)
{
    state.counters["bytes_per_paragraph"] = (HeapInUse() - before) / Paragraphs(state);
}

void BM_BuildDocument(benchmark::State& state)
{
    for (auto _ : state) {
        const double before = HeapInUse();
        TTestRDData doc(&Sheet());
        Build(doc, Paragraphs(state), ThreeItems(state));
        PerParagraphMemory(state, before);
        state.PauseTiming();
        doc.Clear();
        state.ResumeTiming();
    }
}

void BM_BuildQTextDocument(benchmark::State& state)
{
    for (auto _ : state) {
        const double before = HeapInUse();
        auto doc = std::make_unique<QTextDocument>();
        BuildQt(*doc, Paragraphs(state), ThreeItems(state));
        PerParagraphMemory(state, before);
        state.PauseTiming();
        doc.reset();
        state.ResumeTiming();
    }
}

void SaveRDF(benchmark::State& state, TRDFOptions options)
{
    TTestRDData doc(&Sheet());
    Build(doc, Paragraphs(state), ThreeItems(state));
    doc.RDFOptions = options;
    for (auto _ : state) {
        TRDMemoryStream stream;
        doc.SaveRDF(stream, 0, nullptr, nullptr, clNone);
        benchmark::DoNotOptimize(stream.Size());
    }
}

void BM_SaveRDFText(benchmark::State& state) { SaveRDF(state, 0); }
void BM_SaveRDFBinary(benchmark::State& state) { SaveRDF(state, rdfoSaveBinary); }

void BM_SaveMarkdown(benchmark::State& state)
{
    QTextDocument doc;
    BuildQt(doc, Paragraphs(state), ThreeItems(state));
    for (auto _ : state)
        benchmark::DoNotOptimize(doc.toMarkdown().size());
}

void BM_LoadRDF(benchmark::State& state)
{
    TTestRDData source(&Sheet());
    Build(source, Paragraphs(state), ThreeItems(state));
    TRDMemoryStream saved;
    source.SaveRDF(saved, 0, nullptr, nullptr, clNone);
    TTestRDData doc(&Sheet());
    for (auto _ : state) {
        saved.SetPosition(0);
        TColor color = clNone;
        if (!doc.LoadFromRDF(saved, color, nullptr, nullptr))
            state.SkipWithError("the read failed");
        state.PauseTiming();
        doc.Clear();
        state.ResumeTiming();
    }
}

void BM_SetMarkdown(benchmark::State& state)
{
    QTextDocument source;
    BuildQt(source, Paragraphs(state), ThreeItems(state));
    const QString markdown = source.toMarkdown();
    for (auto _ : state) {
        auto doc = std::make_unique<QTextDocument>();
        doc->setMarkdown(markdown);
        state.PauseTiming();
        doc.reset();
        state.ResumeTiming();
    }
}

void Sizes(benchmark::internal::Benchmark* b)
{
    for (int paragraphs : {100'000, 200'000})
        for (int items : {3, 1})
            b->Args({paragraphs, items});
    b->ArgNames({"paragraphs", "items"})->Unit(benchmark::kMillisecond)->Iterations(3);
}

BENCHMARK(BM_BuildDocument)->Apply(Sizes);
BENCHMARK(BM_BuildQTextDocument)->Apply(Sizes);
BENCHMARK(BM_SaveRDFText)->Apply(Sizes);
BENCHMARK(BM_SaveRDFBinary)->Apply(Sizes);
BENCHMARK(BM_SaveMarkdown)->Apply(Sizes);
BENCHMARK(BM_LoadRDF)->Apply(Sizes);
BENCHMARK(BM_SetMarkdown)->Apply(Sizes);

}  // namespace

int main(int argc, char** argv)
{
    // Freed memory stays with the allocator on both sides: otherwise whether
    // a run's items land in pages the previous run gave back to the system
    // (and must be faulted in again) decides the times, and on a loaded
    // machine the same build varied from 33 to 675 ms.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
    QApplication app(argc, argv);
    InstallRichTextSuite();
    {
        // The heap grows to the largest document once, before any timing:
        // no size pays for first touching its pages.
        TTestRDData warm(&Sheet());
        Build(warm, 200'000, true);
        warm.Clear();
    }
    return RunBenchmarks(argc, argv);
}
