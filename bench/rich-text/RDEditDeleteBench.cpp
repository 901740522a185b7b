// Enter and deleting in the editor against QTextDocument in the same run, on
// the layout benchmarks' input (1 MB of English words in 1,795 paragraphs,
// one text item a paragraph, Liberation Sans 15 px, 760 pixels wide):
// - Enter 100 characters into the middle paragraph (the paragraph split, both
//   halves laid out, the caret placed; no painting) against
//   QTextCursor::insertBlock with the layout brought up to date;
// - deleting the whole selected document, and undoing that, against
//   QTextCursor::removeSelectedText and QTextDocument::undo, each with the
//   layout brought up to date;
// - the heap the undo list keeps after the whole document was deleted,
//   against the heap of the document's items.
//
// Part of rich_text_edit_bench (its main is in RDEditBench.cpp).

#include "BenchSupport.h"

#include <malloc.h>

#include <memory>

#include <QtGui/QTextBlock>
#include <QtGui/QTextCursor>
#include <QtGui/QTextDocument>

#include "RDBenchDocuments.h"
#include "editing/RDEdit.h"

namespace {

using namespace RDBenchInput;

double DelHeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

// An editor over the 1 MB input, formatted, every change recorded.
class TDelBenchEditor {
public:
    TDelBenchEditor()
    {
        Editor.SetStyle(&Sheet());
        Editor.resize(Width + 10, 600);
        Editor.SetUndoLimit(-1);
        const auto& texts = Texts(Paragraphs1MB);
        // Copies, so that the document owns its text (the input is shared).
        for (int p = 0; p < Paragraphs1MB; ++p)
            Editor.AddTextInNewParagraph(QByteArray(texts[size_t(p)].constData(), texts[size_t(p)].size()), 0, 0);
        ItemsHeap = DelHeapInUse();
        Editor.FormatDocument();
        Data = Editor.EditData();
    }

    void PutCaret(int item, int offset)
    {
        int drawOffset = 0, drawNo = 0;
        Data->ItemPosToDrawPos(item, offset, drawOffset, drawNo);
        Data->CaretDrawItemNo = drawNo;
        Data->BuildCharPositions(drawOffset - 2);
    }

    TRichDocEdit Editor;
    TRDEditRDData* Data = nullptr;
    double ItemsHeap = 0;  // the heap after the items were added, before the layout
};

// Enter in the middle paragraph; undone untimed.
void BM_EnterMidDocument(benchmark::State& state)
{
    TDelBenchEditor bench;
    const int item = bench.Data->ItemCount() / 2;
    for (auto _ : state) {
        bench.PutCaret(item, 101);
        bench.Data->BreakParagraph(false);
        state.PauseTiming();
        bench.Data->UndoList->Undo(*bench.Data);
        bench.Data->RedoList->Clear();
        state.ResumeTiming();
    }
    state.counters["items"] = bench.Data->ItemCount();
}

// The reference: a block inserted 100 characters into the middle paragraph,
// the layout brought up to date; the block taken out untimed.
void BM_QTextDocumentInsertBlock(benchmark::State& state)
{
    QTextDocument doc;
    BuildQt(doc, Paragraphs1MB, false);
    doc.size();
    QTextCursor cursor(doc.findBlockByNumber(doc.blockCount() / 2));
    cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::MoveAnchor, 100);
    for (auto _ : state) {
        cursor.insertBlock();
        benchmark::DoNotOptimize(doc.size());
        state.PauseTiming();
        cursor.deletePreviousChar();
        doc.size();
        state.ResumeTiming();
    }
}

// The whole document selected and deleted (timed), then undone (untimed);
// range(0) 1 times the undo instead. The undo brings the whole document
// back before the next round.
void BM_DeleteAllThenUndo(benchmark::State& state)
{
    const bool timeUndo = state.range(0) == 1;
    TDelBenchEditor bench;
    for (auto _ : state) {
        state.PauseTiming();
        bench.Data->SelectAll();
        if (!timeUndo)
            state.ResumeTiming();
        bench.Data->DeleteSelection();
        if (!timeUndo)
            state.PauseTiming();
        if (timeUndo)
            state.ResumeTiming();
        bench.Data->UndoList->Undo(*bench.Data);
        if (timeUndo)
            state.PauseTiming();
        bench.Data->RedoList->Clear();
        bench.Data->UndoList->Clear();
        state.ResumeTiming();
    }
    state.counters["items"] = bench.Data->ItemCount();
}

// The references: the whole document selected and removed, the layout
// brought up to date; undone the same way (range(0) 1 times the undo).
void BM_QTextDocumentRemoveAllThenUndo(benchmark::State& state)
{
    const bool timeUndo = state.range(0) == 1;
    QTextDocument doc;
    BuildQt(doc, Paragraphs1MB, false);
    doc.size();
    for (auto _ : state) {
        state.PauseTiming();
        QTextCursor cursor(&doc);
        cursor.select(QTextCursor::Document);
        if (!timeUndo)
            state.ResumeTiming();
        cursor.removeSelectedText();
        benchmark::DoNotOptimize(doc.size());
        if (!timeUndo)
            state.PauseTiming();
        if (timeUndo)
            state.ResumeTiming();
        doc.undo();
        benchmark::DoNotOptimize(doc.size());
        if (timeUndo)
            state.PauseTiming();
        state.ResumeTiming();
    }
}

// The heap of the undo list that holds the whole deleted document, against
// the heap of the document's items (their texts and objects, no layout).
void BM_HeapUndoListOfDeletedDocument(benchmark::State& state)
{
    for (auto _ : state) {
        const double start = DelHeapInUse();
        auto bench = std::make_unique<TDelBenchEditor>();
        const double items = bench->ItemsHeap - start;
        bench->Data->SelectAll();
        const double beforeDelete = DelHeapInUse();
        const double layout = beforeDelete - bench->ItemsHeap;
        bench->Data->DeleteSelection();
        // Deleting frees the layout of what went and keeps the items in the
        // list: the list's own heap is what is left over the items once the
        // freed layout is counted back.
        const double undoList = DelHeapInUse() - beforeDelete + layout + items;
        state.counters["items_MB"] = items / (1024.0 * 1024.0);
        state.counters["undo_list_MB"] = undoList / (1024.0 * 1024.0);
        state.counters["heap_undo_list_ratio"] = items > 0 ? undoList / items : 0;
        bench.reset();
    }
}

BENCHMARK(BM_EnterMidDocument)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QTextDocumentInsertBlock)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DeleteAllThenUndo)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QTextDocumentRemoveAllThenUndo)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HeapUndoListOfDeletedDocument)->Iterations(1);

}  // namespace
