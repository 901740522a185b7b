// Painting of the formatted document against QTextDocument in the same run,
// on the layout benchmarks' input: one 760 x 600 screen from the middle of
// the 1 MB document and of a 10 KB one (the time must not grow with the
// document), and page down through the scroll bar with the repaint, against
// QTextEdit showing the same text.
//
// Run: build/bench-bin/rich_text_paint_bench [--benchmark_filter=...]

#include "RichTextSuite.h"
#include "BenchSupport.h"

#include <algorithm>

#include <QtGui/QAbstractTextDocumentLayout>
#include <QtGui/QPaintEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QTextEdit>

#include "RDBenchDocuments.h"
#include "viewer/RDScroll.h"

namespace {

using namespace RDBenchInput;

constexpr int ScreenWidth = 760;
constexpr int ScreenHeight = 600;
constexpr int Paragraphs10KB = 10 * 1024 / ParagraphBytes + 1;

int ParagraphsOf(const benchmark::State& state)
{
    return state.range(0) == 0 ? Paragraphs10KB : int(state.range(0)) * Paragraphs1MB;
}

class TWhiteDocument : public TLayoutData {
public:
    using TLayoutData::TLayoutData;
    TColor GetColor() override { return clWhite; }
};

std::unique_ptr<TWhiteDocument> FormattedDocument(int paragraphs)
{
    auto doc = std::make_unique<TWhiteDocument>(&Sheet());
    doc->ClientWidth = Width + 10;
    doc->ClientHeight = ScreenHeight;
    Build(*doc, paragraphs, true);
    doc->Format();
    return doc;
}

int MiddleTop(int documentHeight)
{
    return std::max(0, documentHeight / 2 - ScreenHeight / 2);
}

// One screen of the document's middle painted as the control paints it.
void BM_PaintScreen(benchmark::State& state)
{
    auto doc = FormattedDocument(ParagraphsOf(state));
    doc->VOffset = MiddleTop(doc->DocumentHeight);
    QImage image(ScreenWidth, ScreenHeight, QImage::Format_RGB32);
    const QRect clip(0, 0, ScreenWidth, ScreenHeight);
    for (auto _ : state) {
        QPainter painter(&image);
        TCanvas canvas(painter);
        doc->PaintBackground(canvas, clip);
        doc->PaintDocument(canvas, clip, false, false, false, false);
    }
    state.counters["height"] = doc->DocumentHeight;
}

// The reference: the same clip of the same text.
void BM_QTextDocumentDrawContents(benchmark::State& state)
{
    QTextDocument doc;
    BuildQt(doc, ParagraphsOf(state), true);
    const int top = MiddleTop(int(doc.size().height()));
    QImage image(ScreenWidth, ScreenHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        painter.fillRect(image.rect(), Qt::white);
        painter.translate(0, -top);
        doc.drawContents(&painter, QRectF(0, top, ScreenWidth, ScreenHeight));
    }
    state.counters["height"] = doc.size().height();
}

// A scroller that shows a formatted document.
class TDocumentScroller : public TRDScroller {
public:
    explicit TDocumentScroller(TWhiteDocument& doc) : Doc(doc)
    {
        viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
        resize(Doc.ClientWidth + 20, ScreenHeight);
        show();
        AdjustVScrollUnits(Doc.DocumentHeight);
        UpdateScrollBars(Doc.ClientWidth, (Doc.DocumentHeight + VSmallStep - 1) / VSmallStep, true, true);
    }
    TWhiteDocument& Doc;
    long long PaintedPixels = 0;

protected:
    void paintEvent(QPaintEvent* e) override
    {
        const QRect clip = e->rect();
        PaintedPixels += (long long)clip.width() * clip.height();
        Doc.VOffset = VPos * VSmallStep;
        Doc.ClientWidth = ClientWidth();
        QPainter painter(viewport());
        painter.translate(clip.topLeft());
        TCanvas canvas(painter);
        Doc.PaintBackground(canvas, clip);
        Doc.PaintDocument(canvas, clip, false, false, false, false);
    }
};

// Page down through the bar, painted; back to the top when the end is reached.
template <typename Bar>
void PageDown(benchmark::State& state, Bar* bar)
{
    for (auto _ : state) {
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QApplication::processEvents();
        if (bar->value() >= bar->maximum()) {
            state.PauseTiming();
            bar->triggerAction(QAbstractSlider::SliderToMinimum);
            QApplication::processEvents();
            state.ResumeTiming();
        }
    }
}

void BM_PageDown(benchmark::State& state)
{
    auto doc = FormattedDocument(ParagraphsOf(state));
    TDocumentScroller scroller(*doc);
    QApplication::processEvents();
    scroller.PaintedPixels = 0;
    PageDown(state, scroller.verticalScrollBar());
    state.counters["screens_painted"] =
        benchmark::Counter(double(scroller.PaintedPixels) / (scroller.ClientWidth() * scroller.ClientHeight()),
                           benchmark::Counter::kAvgIterations);
}

void BM_QTextEditPageDown(benchmark::State& state)
{
    QTextEdit edit;
    edit.setReadOnly(true);
    BuildQt(*edit.document(), ParagraphsOf(state), true);
    edit.setLineWrapColumnOrWidth(Width);
    edit.setLineWrapMode(QTextEdit::FixedPixelWidth);
    edit.resize(Width + 30, ScreenHeight);
    edit.show();
    QApplication::processEvents();
    PageDown(state, edit.verticalScrollBar());
}

BENCHMARK(BM_PaintScreen)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QTextDocumentDrawContents)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageDown)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QTextEditPageDown)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InstallRichTextSuite();
    return RunBenchmarks(argc, argv);
}
