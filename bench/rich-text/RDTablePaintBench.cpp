// Painting one screen of a long table: the first screen and screens further down.

#include <benchmark/benchmark.h>

#include <QtGui/QAbstractTextDocumentLayout>
#include <QtGui/QImage>
#include <QtGui/QPainter>

#include "RDTableBenchInput.h"

namespace {

constexpr int PaintBenchRows = 1000;
constexpr int PaintBenchScreen = 800;

// Where the screen starts: 0 the first screen, else that part (in thousandths)
// of the document's height.
int PaintBenchTop(int documentHeight, int thousandths)
{
    return int(int64_t(documentHeight - PaintBenchScreen) * thousandths / 1000);
}

// One screen of the 1,000 x 5 table painted by the document painter.
void BM_TablePaintScreen(benchmark::State& state)
{
    auto editor = RDTableBenchInput::NewTableEditor(PaintBenchRows);
    TRDEditRDData& data = editor->Data();
    const int top = PaintBenchTop(data.DocumentHeight, int(state.range(0)));
    QImage image(RDTableBenchInput::Width, PaintBenchScreen, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        painter.setClipRect(image.rect());
        TCanvas canvas(painter);
        data.PaintDocument(canvas, QRect(0, top, RDTableBenchInput::Width, PaintBenchScreen), false, false, false,
                           false);
        benchmark::DoNotOptimize(image.constBits());
    }
}

// The same screen of QTextDocument holding the same QTextTable.
void BM_QTextTablePaintScreen(benchmark::State& state)
{
    auto doc = RDTableBenchInput::NewQtTableDocument(PaintBenchRows);
    const int height = int(doc->documentLayout()->documentSize().height());
    const int top = PaintBenchTop(height, int(state.range(0)));
    QImage image(RDTableBenchInput::Width, PaintBenchScreen, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        painter.translate(0, -top);
        doc->drawContents(&painter, QRectF(0, top, RDTableBenchInput::Width, PaintBenchScreen));
        benchmark::DoNotOptimize(image.constBits());
    }
}

}  // namespace

// The screen at the top, in the middle and at the end of the table.
BENCHMARK(BM_TablePaintScreen)->Arg(0)->Arg(500)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QTextTablePaintScreen)->Arg(0)->Arg(500)->Arg(1000)->Unit(benchmark::kMicrosecond);
