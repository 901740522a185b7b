// Numbered lists: reading RDF of 10,000 numbered paragraphs (markers on three
// levels) against 10,000 plain paragraphs, and renumbering after one marker
// is inserted at the top of such a list.
//
// Run: build/bench-bin/rich_text_marker_bench [--benchmark_filter=...]

#include "RichTextSuite.h"
#include "BenchSupport.h"

#include <memory>

#include <QtGui/QGuiApplication>

#include "RDDocTestSupport.h"
#include "RDBenchInsert.h"
#include "RDBenchRead.h"
#include "core/RDFStream.h"
#include "items/RDMarkerItems.h"
#include "RDMarkerTestSupport.h"

namespace {

constexpr int Paragraphs = 10'000;
const QByteArray Line = "Listen to the sentence and write it down.";

using TListDoc = TWithMarkerList<TTestRDData>;

// The sheet of the run, made after the application object and gone before it.
TTestStyleSheet* RunSheet = nullptr;

void AddListStyle(TTestStyleSheet& sheet)
{
    TRDListInfo* list = sheet.ListStyles().Add();
    const char* formats[] = {"%0:s.", "%0:s.%1:s", "%0:s.%1:s.%2:s"};
    const TRDListType types[] = {TRDListType::rdlstDecimal, TRDListType::rdlstLowerAlpha,
                                 TRDListType::rdlstLowerRoman};
    for (int i = 0; i < 3; ++i) {
        TRDListLevel level;
        level.ListType = types[i];
        level.FormatString = formats[i];
        list->Levels.push_back(level);
    }
}

TTestStyleSheet& Sheet()
{
    return *RunSheet;
}

// Levels 0, 1, 2, 2, 0, 1, 2, 2, ...
int LevelOf(int p)
{
    const int k = p % 4;
    return k == 0 ? 0 : k == 1 ? 1 : 2;
}

void Build(TListDoc& doc, bool numbered)
{
    for (int p = 0; p < Paragraphs; ++p) {
        if (numbered) {
            doc.AddItem(QByteArray(), TRDMarkerItemInfo::CreateEx(&doc, 0, LevelOf(p), 0, false).release());
            doc.AddTextRawNoTag(Line, 0, -1);
        } else {
            doc.AddTextRawNoTag(Line, 0, 0);
        }
    }
}

QByteArray SavedRDF(bool numbered)
{
    TListDoc doc(&Sheet());
    Build(doc, numbered);
    TRDMemoryStream stream;
    doc.SaveRDF(stream, 0, nullptr, nullptr, clNone);
    return stream.ToBytes();
}

void ReadRDF(benchmark::State& state, bool numbered)
{
    TimeRDFReads(state, SavedRDF(numbered), Paragraphs, [] { return std::make_unique<TListDoc>(&Sheet()); });
}

void BM_ReadPlainParagraphs(benchmark::State& state) { ReadRDF(state, false); }
void BM_ReadNumberedParagraphs(benchmark::State& state) { ReadRDF(state, true); }

void BM_InsertMarkerAtTop(benchmark::State& state)
{
    TListDoc doc(&Sheet());
    Build(doc, true);
    TimeInsertAtTop(state, doc, [&doc] { return TRDMarkerItemInfo::CreateEx(&doc, 0, 0, 0, false).release(); });
}

BENCHMARK(BM_ReadPlainParagraphs)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_ReadNumberedParagraphs)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_InsertMarkerAtTop)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    InstallRichTextSuite();
    TTestStyleSheet sheet;
    AddListStyle(sheet);
    RunSheet = &sheet;
    const int result = RunBenchmarks(argc, argv);
    RunSheet = nullptr;
    return result;
}
