// Sequence fields: reading RDF of 10,000 paragraphs with a sequence field
// each against 10,000 plain paragraphs, and renumbering after one field is
// inserted at the top of such a document.
//
// Run: build/bench-bin/rich_text_seq_bench [--benchmark_filter=...]

#include "RichTextSuite.h"
#include "BenchSupport.h"

#include <memory>

#include <QtGui/QGuiApplication>

#include "RDDocTestSupport.h"
#include "RDBenchInsert.h"
#include "RDBenchRead.h"
#include "core/RDFStream.h"
#include "items/RDLabelItems.h"
#include "RDSeqTestSupport.h"

namespace {

constexpr int Paragraphs = 10'000;
const QByteArray Line = "Listen to the sentence and write it down.";

using TSeqDoc = TWithSeqList<TTestRDData>;

// The sheet of the run, made after the application object and gone before it.
TTestStyleSheet* RunSheet = nullptr;

// Two sequences, the second restarting now and then.
std::unique_ptr<TRDSeqItemInfo> Field(TCustomRDData* doc, int p)
{
    auto seq = TRDSeqItemInfo::CreateEx(doc, p % 3 == 0 ? "Table" : "Figure", TRDSeqType::rdseqUpperRoman, 0, 1,
                                        p % 500 == 0);
    seq->FormatString = "Figure %s";
    return seq;
}

void Build(TSeqDoc& doc, bool numbered)
{
    for (int p = 0; p < Paragraphs; ++p) {
        if (numbered) {
            doc.AddTextRawNoTag(Line, 0, 0);
            auto seq = Field(&doc, p);
            seq->ParaNo = -1;
            doc.AddItem(QByteArray(), seq.release());
        } else {
            doc.AddTextRawNoTag(Line, 0, 0);
        }
    }
}

QByteArray SavedRDF(bool numbered)
{
    TSeqDoc doc(RunSheet);
    Build(doc, numbered);
    TRDMemoryStream stream;
    doc.SaveRDF(stream, 0, nullptr, nullptr, clNone);
    return stream.ToBytes();
}

void ReadRDF(benchmark::State& state, bool numbered)
{
    TimeRDFReads(state, SavedRDF(numbered), Paragraphs, [] { return std::make_unique<TSeqDoc>(RunSheet); });
}

void BM_ReadPlainParagraphs(benchmark::State& state) { ReadRDF(state, false); }
void BM_ReadSequenceParagraphs(benchmark::State& state) { ReadRDF(state, true); }

void BM_InsertSequenceFieldAtTop(benchmark::State& state)
{
    TSeqDoc doc(RunSheet);
    Build(doc, true);
    TimeInsertAtTop(state, doc, [&doc] { return Field(&doc, 1).release(); });
}

BENCHMARK(BM_ReadPlainParagraphs)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_ReadSequenceParagraphs)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_InsertSequenceFieldAtTop)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    InstallRichTextSuite();
    TTestStyleSheet sheet;
    RunSheet = &sheet;
    const int result = RunBenchmarks(argc, argv);
    RunSheet = nullptr;
    return result;
}
