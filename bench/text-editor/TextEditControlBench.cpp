// The editor control side by side with QPlainTextEdit (same font, no wrap,
// 800x600, offscreen): loading 50 MB into a shown editor (time and peak
// memory growth), typing with repaint at mid-text on a 1 KB text (half a
// window of rows), a 4 KB text (a full window) and a 50 MB text, one page
// down with repaint, and reading the whole text.
#include "BenchSupport.h"
#include "TextEdit.h"

#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QScrollBar>

#include <functional>
#include <map>

namespace {

constexpr qsizetype Large = qsizetype(50) << 20;

// The texts are made once and shared by the benchmarks.
const QString& Text(qsizetype bytes)
{
    static std::map<qsizetype, QString> texts;
    QString& text = texts[bytes];
    if (text.isEmpty()) {
        text.reserve(bytes + 100);
        int n = 0;
        while (text.size() < bytes)
            text += QStringLiteral("Line %1 of the dictation text, 中文 and English words.\r\n").arg(++n);
    }
    return text;
}

// Counts the paints a widget gets, to show that each step repainted.
class TPaintCounter : public QObject {
public:
    explicit TPaintCounter(QWidget* w) { w->installEventFilter(this); }
    int Paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        Paints += e->type() == QEvent::Paint;
        return false;
    }
};

// Shown and exposed, so that a repaint really paints.
void Show(QWidget& w)
{
    w.show();
    QApplication::processEvents();
}

QFont ReferenceFont()
{
    return QFont(QStringLiteral("Courier New"), 10);
}

void SetUpReference(QPlainTextEdit& e)
{
    e.setLineWrapMode(QPlainTextEdit::NoWrap);
    e.setFont(ReferenceFont());
    e.resize(800, 600);
    Show(e);
}

// A key goes to the editor itself; then the text area is repainted (the
// reference's viewport, the editor without its scroll bars), and every
// update still pending in the window (the scroll bars' on both sides) is
// painted, so that both sides finish the same visible work.
void Key(QWidget* target, QWidget* painted, const QRect& area, int key, const QString& text = QString())
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
    painted->repaint(area);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
}

// Each iteration makes a fresh, shown editor (not timed), then times loading
// the 50 MB text with its repaint and counts the peak memory growth.
template <typename Editor>
void MeasureLoad(benchmark::State& state, const std::function<void(Editor&)>& setUp,
                 const std::function<void(Editor&, const QString&)>& load)
{
    const QString& text = Text(Large);
    long growth = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            Editor e;
            setUp(e);
            ResetPeakRss();
            const long before = PeakRssKiB();
            state.ResumeTiming();
            load(e, text);
            state.PauseTiming();
            growth = std::max(growth, PeakRssKiB() - before);
        }
        state.ResumeTiming();
    }
    state.counters["PeakRssGrowthMiB"] = static_cast<double>(growth) / 1024.0;
}

void BM_Load(benchmark::State& state)
{
    MeasureLoad<TTextEdit>(
        state,
        [](TTextEdit& e) {
            e.resize(800, 600);
            Show(e);
        },
        [](TTextEdit& e, const QString& text) {
            e.ReplaceAllText(text);
            e.repaint();
        });
}

void BM_ReferenceLoad(benchmark::State& state)
{
    MeasureLoad<QPlainTextEdit>(state, SetUpReference, [](QPlainTextEdit& e, const QString& text) {
        e.setPlainText(text);
        e.viewport()->repaint();
    });
}

void BM_TypeKey(benchmark::State& state)
{
    TTextEdit e;
    e.resize(800, 600);
    Show(e);
    e.ReplaceAllText(Text(state.range(0)));
    e.PlaceCaretAtCharIndex(static_cast<int>(state.range(0) / 2));
    e.setFocus();
    TPaintCounter counter(&e);
    for (auto _ : state)
        Key(&e, &e, e.ClientRect(), Qt::Key_A, QStringLiteral("a"));
    state.counters["Paints"] = counter.Paints;
}

void BM_ReferenceTypeKey(benchmark::State& state)
{
    QPlainTextEdit e;
    SetUpReference(e);
    e.setPlainText(Text(state.range(0)));
    QTextCursor c = e.textCursor();
    c.setPosition(static_cast<int>(state.range(0) / 2));
    e.setTextCursor(c);
    e.setFocus();
    TPaintCounter counter(e.viewport());
    for (auto _ : state)
        Key(&e, e.viewport(), e.viewport()->rect(), Qt::Key_A, QStringLiteral("a"));
    state.counters["Paints"] = counter.Paints;
}

// One page down that moves the view, with its repaint. At the end of the
// text the view goes back to the top outside the measurement, so every
// measured step scrolls a full page. Argument 0: no gutter, 1: gutter with
// line numbers, 2: no gutter and no scroll bars. BarPaints counts the paints
// of the moved scroll-bar thumb on both sides.
void BM_PageDown(benchmark::State& state)
{
    TTextEdit e;
    e.resize(800, 600);
    e.Gutter().SetVisible(state.range(0) == 1);
    e.Gutter().SetShowLineNumbers(state.range(0) == 1);
    if (state.range(0) == 2)
        e.ScrollBars().SetScrollBars(ssNone);
    Show(e);
    e.ReplaceAllText(Text(5 << 20));
    e.setFocus();
    const int lastTop = e.DisplayRowCount() - e.RowsInWindow() + 1;
    TPaintCounter counter(&e);
    TPaintCounter barCounter(e.VerticalScrollBar());
    for (auto _ : state) {
        if (e.TopRow() + e.RowsInWindow() > lastTop) {
            state.PauseTiming();
            e.PlaceCaretCollapsed(BufferCoord(1, 1));
            e.repaint();
            state.ResumeTiming();
        }
        Key(&e, &e, e.ClientRect(), Qt::Key_PageDown);
    }
    state.counters["Paints"] = counter.Paints;
    state.counters["BarPaints"] = barCounter.Paints;
}

void BM_ReferencePageDown(benchmark::State& state)
{
    QPlainTextEdit e;
    SetUpReference(e);
    e.setPlainText(Text(5 << 20));
    e.setFocus();
    QScrollBar* bar = e.verticalScrollBar();
    TPaintCounter counter(e.viewport());
    TPaintCounter barCounter(bar);
    for (auto _ : state) {
        if (bar->value() + bar->pageStep() >= bar->maximum()) {
            state.PauseTiming();
            e.moveCursor(QTextCursor::Start);
            e.viewport()->repaint();
            state.ResumeTiming();
        }
        Key(&e, e.viewport(), e.viewport()->rect(), Qt::Key_PageDown);
    }
    state.counters["Paints"] = counter.Paints;
    state.counters["BarPaints"] = barCounter.Paints;
}

void BM_ReadFullText(benchmark::State& state)
{
    TTextEdit e;
    e.ReplaceAllText(Text(Large));
    for (auto _ : state)
        benchmark::DoNotOptimize(e.ReadFullText());
}

void BM_ReferenceJoinLines(benchmark::State& state)
{
    TTextEdit e;
    e.ReplaceAllText(Text(Large));
    const QStringList lines = e.Lines().ToStringList();
    for (auto _ : state)
        benchmark::DoNotOptimize(lines.join(QStringLiteral("\r\n")));
}

}  // namespace

BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ReferenceLoad)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_TypeKey)->Arg(1 << 10)->Arg(4 << 10)->Arg(Large)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceTypeKey)->Arg(1 << 10)->Arg(4 << 10)->Arg(Large)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageDown)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferencePageDown)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFullText)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReferenceJoinLines)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    return RunBenchmarks(argc, argv);
}
