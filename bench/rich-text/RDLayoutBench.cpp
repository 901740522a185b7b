// The layout of the formatted document against QTextDocument in the same run:
// 1 MB of English words in 1,795 paragraphs, one text item a paragraph and
// three styled items a paragraph, Liberation Sans 15 px, 760 pixels wide; the
// full pass, the same for 2 MB, one paragraph changed and formatted again, and
// the heap the formatted document takes.
//
// Run: build/bench-bin/rich_text_layout_bench [--benchmark_filter=...]

#include "RichTextSuite.h"
#include "BenchSupport.h"

#include <malloc.h>

#include <memory>
#include <random>

#include <QtGui/QAbstractTextDocumentLayout>
#include <QtGui/QTextBlock>
#include <QtGui/QTextCharFormat>
#include <QtGui/QTextCursor>
#include <QtGui/QTextDocument>
#include <QtWidgets/QApplication>

#include "RDBenchDocuments.h"

namespace {

using namespace RDBenchInput;

double HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

int ParagraphsOf(const benchmark::State& state) { return int(state.range(0)) * Paragraphs1MB; }
bool ThreeItems(const benchmark::State& state) { return state.range(1) == 3; }

// The full pass over a built document.
void BM_DoFormat(benchmark::State& state)
{
    auto doc = NewDocument();
    Build(*doc, ParagraphsOf(state), ThreeItems(state));
    for (auto _ : state) {
        doc->Format();
        benchmark::DoNotOptimize(doc->DocumentHeight);
    }
    state.counters["draw_items"] = doc->DrawItems.Count();
    state.counters["height"] = doc->DocumentHeight;
}

// The reference: the text set and laid out (documentSize).
void BM_QTextDocumentLayout(benchmark::State& state)
{
    for (auto _ : state) {
        QTextDocument doc;
        BuildQt(doc, ParagraphsOf(state), ThreeItems(state));
        benchmark::DoNotOptimize(doc.size());
        state.PauseTiming();
        doc.clear();
        state.ResumeTiming();
    }
}

// Building and formatting, for the same measure as the reference's.
void BM_BuildAndDoFormat(benchmark::State& state)
{
    for (auto _ : state) {
        auto doc = NewDocument();
        Build(*doc, ParagraphsOf(state), ThreeItems(state));
        doc->Format();
        benchmark::DoNotOptimize(doc->DocumentHeight);
        state.PauseTiming();
        doc.reset();
        state.ResumeTiming();
    }
}

// One paragraph in the middle changed and formatted again.
void BM_FormatParagraphsOfDrawRange(benchmark::State& state)
{
    auto doc = NewDocument();
    Build(*doc, ParagraphsOf(state), ThreeItems(state));
    doc->Format();
    int item = doc->ItemCount() / 2;
    while (item > 0 && !doc->ItemAt(item)->StartsParagraph())
        --item;
    QByteArray original = doc->TextOfItem(item);
    bool toggle = false;
    for (auto _ : state) {
        toggle = !toggle;
        QByteArray text = original;
        text.insert(text.size() / 2, toggle ? "x" : "");
        doc->SetTextOfItem(item, text);
        doc->FormatParagraphsOfDrawRange(doc->FirstDrawItemOfItem(item), doc->LastDrawItemOfItem(item), false, 0);
        benchmark::DoNotOptimize(doc->DocumentHeight);
    }
}

// The reference: one character inserted in the middle, laid out again.
void BM_QTextDocumentEdit(benchmark::State& state)
{
    QTextDocument doc;
    BuildQt(doc, ParagraphsOf(state), ThreeItems(state));
    doc.size();
    QTextCursor cursor(doc.findBlockByNumber(doc.blockCount() / 2));
    cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::MoveAnchor, 100);
    bool toggle = false;
    for (auto _ : state) {
        toggle = !toggle;
        if (toggle)
            cursor.insertText(QStringLiteral("x"));
        else
            cursor.deletePreviousChar();
        benchmark::DoNotOptimize(doc.size());
    }
}

// Heap growth of what make builds (kept until measured).
template <typename Make>
void HeapGrowth(benchmark::State& state, Make make)
{
    for (auto _ : state) {
        malloc_trim(0);
        const double before = HeapInUse();
        auto built = make();
        state.counters["heap_MB"] = (HeapInUse() - before) / (1024.0 * 1024.0);
        state.PauseTiming();
        built.reset();
        state.ResumeTiming();
    }
}

// The built and formatted document, and the reference's.
void BM_HeapFormattedDocument(benchmark::State& state)
{
    HeapGrowth(state, [&] {
        auto doc = NewDocument();
        Build(*doc, ParagraphsOf(state), ThreeItems(state));
        doc->Format();
        return doc;
    });
}

void BM_HeapQTextDocument(benchmark::State& state)
{
    HeapGrowth(state, [&] {
        auto doc = std::make_unique<QTextDocument>();
        BuildQt(*doc, ParagraphsOf(state), ThreeItems(state));
        doc->size();
        return doc;
    });
}

// (megabytes of text, items a paragraph)
void Shapes(benchmark::internal::Benchmark* b)
{
    b->Args({1, 1})->Args({1, 3})->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_DoFormat)->Apply(Shapes)->Args({2, 1})->Args({2, 3});
BENCHMARK(BM_QTextDocumentLayout)->Apply(Shapes)->Args({2, 1});
BENCHMARK(BM_BuildAndDoFormat)->Apply(Shapes);
BENCHMARK(BM_FormatParagraphsOfDrawRange)->Args({1, 1})->Args({1, 3})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QTextDocumentEdit)->Args({1, 1})->Args({1, 3})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HeapFormattedDocument)->Apply(Shapes)->Iterations(1);
BENCHMARK(BM_HeapQTextDocument)->Apply(Shapes)->Iterations(1);

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InstallRichTextSuite();
    return RunBenchmarks(argc, argv);
}
