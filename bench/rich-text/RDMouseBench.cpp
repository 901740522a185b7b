// A mouse move that extends a selection being dragged, with the repaint it
// causes, in the viewer against QTextEdit in the same run: the layout
// benchmarks' input (1 MB of English words, three styled items a paragraph,
// Liberation Sans 15 px, 760 pixels wide) and a 10 KB one, the window 760 x
// 600 at the middle of the document. The time must not grow with the
// document.
//
// Run: build/bench-bin/rich_text_mouse_bench [--benchmark_filter=...]

#include "BenchSupport.h"

#include <QtGui/QMouseEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QTextEdit>

#include "RDBenchDocuments.h"
#include "viewer/RDRichDoc.h"
#include "RichTextSuite.h"

namespace {

using namespace RDBenchInput;

constexpr int ScreenHeight = 600;
constexpr int Paragraphs10KB = 10 * 1024 / ParagraphBytes + 1;

int ParagraphsOf(const benchmark::State& state)
{
    return state.range(0) == 0 ? Paragraphs10KB : int(state.range(0)) * Paragraphs1MB;
}

void Send(QWidget* to, QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent e(type, p, to->mapToGlobal(p), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(to, &e);
}

// Presses in the middle of the window, then moves the held mouse between two
// lines, the selection's end changing with every move; each move is painted
// before the next.
void DragMoves(benchmark::State& state, QWidget* window, QWidget* view)
{
    QApplication::processEvents();
    const QPoint press(200, 200), a(400, 300), b(520, 345);
    Send(view, QEvent::MouseButtonPress, press, Qt::LeftButton, Qt::LeftButton);
    Send(view, QEvent::MouseMove, a, Qt::NoButton, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(window, QEvent::UpdateRequest);
    bool toB = true;
    for (auto _ : state) {
        Send(view, QEvent::MouseMove, toB ? b : a, Qt::NoButton, Qt::LeftButton);
        QCoreApplication::sendPostedEvents(window, QEvent::UpdateRequest);
        toB = !toB;
    }
    Send(view, QEvent::MouseButtonRelease, a, Qt::LeftButton, Qt::NoButton);
}

void BM_ViewerDragSelectMove(benchmark::State& state)
{
    TRichDoc viewer;
    viewer.SetBorderStyle(TBorderStyle::bsNone);
    viewer.SetStyle(&Sheet());
    viewer.resize(Width + 10 + viewer.verticalScrollBar()->sizeHint().width(), ScreenHeight);
    viewer.show();
    const auto& texts = Texts(ParagraphsOf(state));
    for (int p = 0; p < ParagraphsOf(state); ++p) {
        const QByteArray& t = texts[size_t(p)];
        const int x = int(t.size()) / 3, y = 2 * int(t.size()) / 3;
        viewer.AddTextInNewParagraph(t.left(x), 0, 0);
        viewer.AddTextToParagraph(t.mid(x, y - x), 1);
        viewer.AddTextToParagraph(t.mid(y), 2);
    }
    viewer.FormatDocument();
    viewer.ScrollToPixels(std::max(0, viewer.GetDocumentHeight() / 2 - ScreenHeight / 2));
    DragMoves(state, &viewer, viewer.viewport());
    state.counters["height"] = viewer.GetDocumentHeight();
}

// The reference: the same text in a read-only QTextEdit.
void BM_QTextEditDragSelectMove(benchmark::State& state)
{
    QTextEdit edit;
    edit.setReadOnly(true);
    edit.setFrameStyle(QFrame::NoFrame);
    BuildQt(*edit.document(), ParagraphsOf(state), true);
    edit.setLineWrapColumnOrWidth(Width);
    edit.setLineWrapMode(QTextEdit::FixedPixelWidth);
    edit.resize(Width + 10 + edit.verticalScrollBar()->sizeHint().width(), ScreenHeight);
    edit.show();
    QApplication::processEvents();
    QScrollBar* bar = edit.verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    DragMoves(state, &edit, edit.viewport());
}

BENCHMARK(BM_ViewerDragSelectMove)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QTextEditDragSelectMove)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InstallRichTextSuite();
    return RunBenchmarks(argc, argv);
}
