// Typing in the editor against QTextDocument in the same run: the layout
// benchmarks' input (1 MB of English words in 1,795 paragraphs, one text item
// a paragraph, Liberation Sans 15 px, 760 pixels wide) and a 1 KB document.
// One character typed in the middle of the document (the document changed,
// the paragraph laid out again, the caret placed; no painting), against
// QTextCursor::insertText with the layout brought up to date. And typing
// 10,000 characters in a row, which keeps one undo record.
//
// Run: build/bench-bin/rich_text_edit_bench [--benchmark_filter=...]

#include "BenchSupport.h"

#include <QtGui/QTextBlock>
#include <QtGui/QTextCursor>
#include <QtGui/QTextDocument>
#include <QtWidgets/QApplication>

#include "RDBenchDocuments.h"
#include "RichTextSuite.h"
#include "editing/RDEdit.h"

namespace {

using namespace RDBenchInput;

constexpr int Paragraphs1KB = 2;  // 1,168 bytes

int EditParagraphsOf(const benchmark::State& state)
{
    return state.range(0) == 0 ? Paragraphs1KB : int(state.range(0)) * Paragraphs1MB;
}

// An editor over the input, formatted, its caret 100 characters into the
// middle paragraph.
class TEditBenchEditor {
public:
    explicit TEditBenchEditor(int paragraphs)
    {
        Editor.SetStyle(&Sheet());
        Editor.resize(Width + 10, 600);
        Editor.SetUndoLimit(-1);
        const auto& texts = Texts(paragraphs);
        for (int p = 0; p < paragraphs; ++p)
            Editor.AddTextInNewParagraph(texts[size_t(p)], 0, 0);
        Editor.FormatDocument();
        Data = Editor.EditData();
        Item = Data->ItemCount() / 2;
        PutCaret(Item, 101);
        Original = Data->TextOfItem(Item);
    }

    void PutCaret(int item, int offset)
    {
        int drawOffset = 0, drawNo = 0;
        Data->ItemPosToDrawPos(item, offset, drawOffset, drawNo);
        Data->CaretDrawItemNo = drawNo;
        Data->BuildCharPositions(drawOffset - 2);
    }

    // The paragraph back as it was, laid out, the caret back, no undo record.
    void Restore()
    {
        const uint8_t recording = Data->RecordingState;
        Data->RecordingState = 0;
        Data->ChangeItemTextRecorded(Item, Original);
        Data->RecordingState = recording;
        Data->FormatParagraphsOfDrawRange(Data->FirstDrawItemOfItem(Item), Data->LastDrawItemOfItem(Item), false, 0);
        Data->UndoList->Clear();
        PutCaret(Item, 101);
    }

    TRichDocEdit Editor;
    TRDEditRDData* Data = nullptr;
    int Item = 0;
    QByteArray Original;
};

// One character typed in the middle paragraph, then taken out untimed.
void BM_TypeChar(benchmark::State& state)
{
    TEditBenchEditor bench(EditParagraphsOf(state));
    const QByteArray x("x");
    for (auto _ : state) {
        bench.Data->TypeChar(x);
        state.PauseTiming();
        bench.Restore();
        state.ResumeTiming();
    }
    state.counters["draw_items"] = bench.Data->DrawItems.Count();
}

// The reference: one character inserted 100 characters into the middle
// paragraph and the layout brought up to date, then taken out untimed.
void BM_QTextDocumentTypeChar(benchmark::State& state)
{
    QTextDocument doc;
    BuildQt(doc, EditParagraphsOf(state), false);
    doc.size();
    QTextCursor cursor(doc.findBlockByNumber(doc.blockCount() / 2));
    cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::MoveAnchor, 100);
    for (auto _ : state) {
        cursor.insertText(QStringLiteral("x"));
        benchmark::DoNotOptimize(doc.size());
        state.PauseTiming();
        cursor.deletePreviousChar();
        doc.size();
        state.ResumeTiming();
    }
}

// 10,000 characters (words and spaces) typed in a row into the 1 KB
// document: one undo group holding one record.
void BM_TypeTenThousand(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto bench = std::make_unique<TEditBenchEditor>(Paragraphs1KB);
        state.ResumeTiming();
        const QByteArray letters("typed words ");
        for (int i = 0; i < 10000; ++i)
            bench->Data->TypeChar(letters.mid(i % 12, 1));
        state.PauseTiming();
        const auto& groups = bench->Data->UndoList->Groups;
        state.counters["undo_groups"] = double(groups.size());
        state.counters["undo_records"] = groups.empty() ? 0.0 : double(groups.back()->Records.size());
        bench.reset();
        state.ResumeTiming();
    }
}

// (0: 1 KB; 1: 1 MB)
BENCHMARK(BM_TypeChar)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QTextDocumentTypeChar)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TypeTenThousand)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InstallRichTextSuite();
    return RunBenchmarks(argc, argv);
}
