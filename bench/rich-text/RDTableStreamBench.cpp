// Table RDF saving and loading against QTextDocument toHtml/setHtml, on the
// 1,000 x 5 table of the layout benchmarks.

#include <benchmark/benchmark.h>

#include "RDTableBenchInput.h"
#include "core/RDFStream.h"

namespace {

using namespace RDTableBenchInput;

constexpr int StreamBenchRows = 1000;

QByteArray StreamBenchSave(TTableEditor& editor, bool binary)
{
    const TRDFOptions old = editor.RDFOptions;
    if (binary)
        editor.RDFOptions |= rdfoSaveBinary;
    else
        editor.RDFOptions &= ~rdfoSaveBinary;
    TRDMemoryStream stream;
    editor.Data().SaveRDF(stream, 0, nullptr, nullptr, clNone);
    editor.RDFOptions = old;
    return stream.ToBytes();
}

// Argument 0: hexadecimal component, 1: binary.
void BM_TableRDFSave(benchmark::State& state)
{
    const auto editor = NewTableEditor(StreamBenchRows);
    for (auto _ : state)
        benchmark::DoNotOptimize(StreamBenchSave(*editor, state.range(0) == 1));
}

void BM_TableRDFLoad(benchmark::State& state)
{
    const auto editor = NewTableEditor(StreamBenchRows);
    const QByteArray rdf = StreamBenchSave(*editor, state.range(0) == 1);
    TTableEditor target(1, 1);
    for (auto _ : state) {
        TRDMemoryStream stream;
        stream.LoadFromBytes(rdf);
        TColor color = clNone;
        if (!target.Data().LoadFromRDF(stream, color, nullptr, nullptr))
            state.SkipWithError("the table did not read back");
    }
}

void BM_QTextDocumentToHtml(benchmark::State& state)
{
    const auto doc = NewQtTableDocument(StreamBenchRows);
    for (auto _ : state)
        benchmark::DoNotOptimize(doc->toHtml());
}

void BM_QTextDocumentSetHtml(benchmark::State& state)
{
    const QString html = NewQtTableDocument(StreamBenchRows)->toHtml();
    QTextDocument target;
    for (auto _ : state)
        target.setHtml(html);
}

BENCHMARK(BM_TableRDFSave)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QTextDocumentToHtml)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TableRDFLoad)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QTextDocumentSetHtml)->Unit(benchmark::kMillisecond);

}  // namespace
