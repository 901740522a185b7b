// Table layout against QTextDocument holding the same QTextTable, in the
// same run: a 1,000 x 5 table of short mixed Chinese and English cells laid
// out at 600 pixels; 10,000 rows against 1,000; the heap each takes per cell.
//
// Run: build/bench-bin/rich_text_table_bench [--benchmark_filter=...]

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <QtGui/QAbstractTextDocumentLayout>
#include <QtWidgets/QApplication>

#include "BenchSupport.h"
#include "RDTableBenchInput.h"
#include "RichTextSuite.h"

namespace {

using namespace RDTableBenchInput;

double TableBenchHeap()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

// The whole table laid out again: column widths, every cell formatted at
// its width, row heights.
void BM_TableLayout(benchmark::State& state)
{
    auto editor = NewTableEditor(int(state.range(0)));
    TRDTableItemInfo& table = *editor->Table;
    const int available = table.Layout.Width;
    for (auto _ : state) {
        table.LayoutTable(available, table.Layout, false, true, nullptr);
        benchmark::DoNotOptimize(table.Layout.Height);
    }
    state.counters["height"] = table.Layout.Height;
    state.counters["rows"] = double(state.range(0));
}

// The reference: the same table laid out again from scratch.
void BM_QTextTableLayout(benchmark::State& state)
{
    auto doc = NewQtTableDocument(int(state.range(0)));
    doc->size();
    for (auto _ : state) {
        doc->markContentsDirty(0, doc->characterCount());
        benchmark::DoNotOptimize(doc->documentLayout()->documentSize());
    }
    state.counters["height"] = doc->size().height();
    state.counters["rows"] = double(state.range(0));
}

// Heap per cell of the built and laid-out table, and of the reference.
template <typename Make>
void TableBenchHeapPerCell(benchmark::State& state, Make make)
{
    const int rows = int(state.range(0));
    for (auto _ : state) {
        malloc_trim(0);
        const double before = TableBenchHeap();
        auto built = make(rows);
        state.counters["bytes_per_cell"] = (TableBenchHeap() - before) / (rows * Cols);
        state.PauseTiming();
        built.reset();
        state.ResumeTiming();
    }
}

void BM_TableHeapPerCell(benchmark::State& state)
{
    TableBenchHeapPerCell(state, [](int rows) { return NewTableEditor(rows); });
}

void BM_QTextTableHeapPerCell(benchmark::State& state)
{
    TableBenchHeapPerCell(state, [](int rows) {
        auto doc = NewQtTableDocument(rows);
        doc->size();
        return doc;
    });
}

BENCHMARK(BM_TableLayout)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QTextTableLayout)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TableHeapPerCell)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QTextTableHeapPerCell)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InstallRichTextSuite();
    return RunBenchmarks(argc, argv);
}
