// The editor control side by side with QPlainTextEdit (same font, no wrap,
// 800x600, offscreen): typing with repaint at mid-text on a small and a large
// text, page down with repaint, and reading the whole text.
#include "BenchSupport.h"
#include "TextEdit.h"

#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QPlainTextEdit>

namespace {

QString MakeText(qsizetype bytes)
{
    QString text;
    text.reserve(bytes + 100);
    int n = 0;
    while (text.size() < bytes)
        text += QStringLiteral("Line %1 of the dictation text, 中文 and English words.\r\n").arg(++n);
    return text;
}

void Key(QWidget* w, int key, const QString& text = QString())
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &release);
    w->repaint();
}

void BM_TypeKey(benchmark::State& state)
{
    TTextEdit e;
    e.resize(800, 600);
    e.show();
    e.ReplaceAllText(MakeText(state.range(0)));
    e.PlaceCaretAtCharIndex(static_cast<int>(state.range(0) / 2));
    e.setFocus();
    for (auto _ : state)
        Key(&e, Qt::Key_A, QStringLiteral("a"));
}

void BM_ReferenceTypeKey(benchmark::State& state)
{
    QPlainTextEdit e;
    e.setLineWrapMode(QPlainTextEdit::NoWrap);
    e.setFont(QFont(QStringLiteral("Courier New"), 10));
    e.resize(800, 600);
    e.show();
    e.setPlainText(MakeText(state.range(0)));
    QTextCursor c = e.textCursor();
    c.setPosition(static_cast<int>(state.range(0) / 2));
    e.setTextCursor(c);
    e.setFocus();
    for (auto _ : state)
        Key(e.viewport(), Qt::Key_A, QStringLiteral("a"));
}

void BM_PageDown(benchmark::State& state)
{
    TTextEdit e;
    e.resize(800, 600);
    e.Gutter().SetVisible(state.range(0) != 0);
    e.Gutter().SetShowLineNumbers(state.range(0) != 0);
    e.show();
    e.ReplaceAllText(MakeText(5 << 20));
    for (auto _ : state)
        Key(&e, Qt::Key_PageDown);
}

void BM_ReferencePageDown(benchmark::State& state)
{
    QPlainTextEdit e;
    e.setLineWrapMode(QPlainTextEdit::NoWrap);
    e.resize(800, 600);
    e.show();
    e.setPlainText(MakeText(5 << 20));
    for (auto _ : state)
        Key(e.viewport(), Qt::Key_PageDown);
}

void BM_ReadFullText(benchmark::State& state)
{
    TTextEdit e;
    e.ReplaceAllText(MakeText(50 << 20));
    for (auto _ : state)
        benchmark::DoNotOptimize(e.ReadFullText());
}

void BM_ReferenceJoinLines(benchmark::State& state)
{
    TTextEdit e;
    e.ReplaceAllText(MakeText(50 << 20));
    const QStringList lines = e.Lines().ToStringList();
    for (auto _ : state)
        benchmark::DoNotOptimize(lines.join(QStringLiteral("\r\n")));
}

}  // namespace

BENCHMARK(BM_TypeKey)->Arg(1 << 10)->Arg(5 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceTypeKey)->Arg(1 << 10)->Arg(5 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageDown)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferencePageDown)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFullText)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReferenceJoinLines)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    return RunBenchmarks(argc, argv);
}
