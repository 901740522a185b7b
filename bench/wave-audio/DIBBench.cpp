// The DIB canvas and the waveform display against Qt's own drawing, in the
// same run: filling a 1000 x 200 picture (FillRectangle, 200 HorzLines,
// ClearAll) at 8 and 24 bits against QImage::fill and QPainter::fillRect on a
// QImage of the same size; and ShowBuffer with the blit of a 1000-column
// okMirLines display against drawing the same 1000 vertical lines with
// QPainter into a QImage. Allocations per iteration are counted.

#include "SndOscope.h"

#include <QtGui/QPainter>
#include <QtWidgets/QApplication>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

// Every allocation of the process is counted.
namespace {
std::atomic<long> GAllocations{0};
}

void* operator new(std::size_t size)
{
    GAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

constexpr int Width = 1000;
constexpr int Height = 200;

class TAllocationCounter {
public:
    explicit TAllocationCounter(benchmark::State& state) : FState(state), FStart(GAllocations.load()) {}
    ~TAllocationCounter()
    {
        const long count = GAllocations.load() - FStart;
        FState.counters["allocs/iter"] =
            benchmark::Counter(double(count) / double(std::max<benchmark::IterationCount>(FState.iterations(), 1)));
    }

private:
    benchmark::State& FState;
    long FStart;
};

// ---------------------------------------------------------------- fills

enum TFill { fillRectangle, fillHorzLines, fillClearAll };

void BM_DIBFill(benchmark::State& state)
{
    const int bits = int(state.range(0));
    const auto kind = TFill(state.range(1));
    TSndDIBCanvas canvas(nullptr);
    canvas.SetBitsPerPixel(bits);
    canvas.SetBounds(0, 0, Width, Height);
    canvas.BeginDirectDraw();
    std::uint32_t colour = 1;
    {
        TAllocationCounter count(state);
        for (auto _ : state) {
            canvas.SelectDrawColor(colour++ & 0xFFFFFF);
            switch (kind) {
            case fillRectangle: FillRectangle(QRect(0, 0, Width, Height)); break;
            case fillHorzLines:
                for (int y = 0; y < Height; ++y)
                    HorzLine(0, Width, y);
                break;
            case fillClearAll: ClearAll(); break;
            }
            benchmark::DoNotOptimize(canvas.Bits());
            benchmark::ClobberMemory();
        }
    }
    canvas.EndDirectDraw();
    state.SetLabel(kind == fillRectangle ? "FillRectangle" : kind == fillHorzLines ? "HorzLine x 200" : "ClearAll");
}

QImage::Format ReferenceFormat(int bits, bool painter)
{
    if (bits == 24)
        return QImage::Format_RGB888;
    return painter ? QImage::Format_Grayscale8 : QImage::Format_Indexed8;
}

void BM_QImageFill(benchmark::State& state)
{
    const int bits = int(state.range(0));
    QImage image(Width, Height, ReferenceFormat(bits, false));
    if (bits == 8)
        image.setColorCount(256);
    unsigned colour = 1;
    TAllocationCounter count(state);
    for (auto _ : state) {
        image.fill(colour++ & (bits == 8 ? 0xFF : 0xFFFFFF));
        benchmark::DoNotOptimize(image.constBits());
        benchmark::ClobberMemory();
    }
}

void BM_QPainterFillRect(benchmark::State& state)
{
    const int bits = int(state.range(0));
    QImage image(Width, Height, ReferenceFormat(bits, true));
    QPainter painter(&image);
    if (!painter.isActive()) {
        state.SkipWithError("QPainter cannot paint on this format");
        return;
    }
    int colour = 1;
    TAllocationCounter count(state);
    for (auto _ : state) {
        painter.fillRect(QRect(0, 0, Width, Height), QColor::fromRgb(QRgb(0xFF000000u | unsigned(colour++ & 0xFFFFFF))));
        benchmark::DoNotOptimize(image.constBits());
        benchmark::ClobberMemory();
    }
}

// The 200 rows as separate 1-pixel-high rectangles, the QPainter counterpart
// of 200 HorzLines.
void BM_QPainterFillRows(benchmark::State& state)
{
    const int bits = int(state.range(0));
    QImage image(Width, Height, ReferenceFormat(bits, true));
    QPainter painter(&image);
    int colour = 1;
    TAllocationCounter count(state);
    for (auto _ : state) {
        const QColor c = QColor::fromRgb(QRgb(0xFF000000u | unsigned(colour++ & 0xFFFFFF)));
        for (int y = 0; y < Height; ++y)
            painter.fillRect(QRect(0, y, Width, 1), c);
        benchmark::DoNotOptimize(image.constBits());
        benchmark::ClobberMemory();
    }
}

// ---------------------------------------------------------------- the display

std::vector<std::uint8_t> ToneBuffer(int frames)
{
    std::vector<std::uint8_t> bytes(std::size_t(frames) * 2);
    for (int i = 0; i < frames; ++i) {
        const auto v = std::int16_t(std::lround(26000.0 * std::sin(i * 0.37) * std::sin(i * 0.011)));
        bytes[2 * i] = std::uint8_t(v & 0xFF);
        bytes[2 * i + 1] = std::uint8_t((v >> 8) & 0xFF);
    }
    return bytes;
}

// ShowBuffer draws the columns into the DIB and blits them to the screen at
// once, inside the control's paint.
void BM_OscopeShowBuffer(benchmark::State& state)
{
    QWidget host;
    host.resize(Width, Height);
    auto* scope = new TSndOscope(&host);
    scope->Bevel().SetBevelOuter(bvNone);
    scope->SetBounds(0, 0, Width, Height);
    scope->SetKind(okMirLines);
    scope->SetForegroundColor(clLime);
    scope->SetBitLength(b16Bit);
    host.show();
    QApplication::processEvents();
    const std::vector<std::uint8_t> buffer = ToneBuffer(scope->DisplayBytes() / 2);
    scope->SetMarks(300, 600, true);
    scope->ShowBuffer(buffer.data(), std::int64_t(buffer.size()));
    TAllocationCounter count(state);
    for (auto _ : state)
        scope->ShowBuffer(buffer.data(), std::int64_t(buffer.size()));
}

// What Qt's repaint of a widget that only opens a painter costs: the part of
// BM_OscopeShowBuffer that is not the display's own.
class TEmptyPaint : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override { QPainter painter(this); }
};

void BM_QtRepaintBaseline(benchmark::State& state)
{
    QWidget host;
    host.resize(Width, Height);
    auto* widget = new TEmptyPaint(&host);
    widget->setAttribute(Qt::WA_OpaquePaintEvent);
    widget->setGeometry(0, 0, Width, Height);
    host.show();
    QApplication::processEvents();
    TAllocationCounter count(state);
    for (auto _ : state)
        widget->repaint(widget->rect());
}

// The same 1000 mirrored bars drawn with QPainter into a QImage.
void BM_QPainterVerticalLines(benchmark::State& state)
{
    QImage image(Width, Height, QImage::Format_RGB32);
    const std::vector<std::uint8_t> buffer = ToneBuffer(Width);
    std::vector<int> tops(Width);
    for (int x = 0; x < Width; ++x) {
        const int v = std::int16_t(buffer[2 * x] | (buffer[2 * x + 1] << 8));
        const int level = int((std::int64_t(v) + 32767) * Height / 65535);
        tops[std::size_t(x)] = Height - level - 1;
    }
    QPainter painter(&image);
    const QPen lime(QColor(0, 255, 0));
    const QPen teal(QColor(0, 128, 128));
    TAllocationCounter count(state);
    for (auto _ : state) {
        painter.fillRect(image.rect(), Qt::black);
        for (int x = 0; x < Width; ++x) {
            painter.setPen(x >= 300 && x <= 600 ? lime : teal);
            const int top = tops[std::size_t(x)];
            const int bottom = Height - 1 - top;
            painter.drawLine(x, std::min(top, bottom), x, std::max(top, bottom));
        }
        benchmark::DoNotOptimize(image.constBits());
        benchmark::ClobberMemory();
    }
}

}  // namespace

BENCHMARK(BM_DIBFill)->ArgsProduct({{8, 24}, {fillRectangle, fillHorzLines, fillClearAll}});
BENCHMARK(BM_QImageFill)->Arg(8)->Arg(24);
BENCHMARK(BM_QPainterFillRect)->Arg(8)->Arg(24);
BENCHMARK(BM_QPainterFillRows)->Arg(8)->Arg(24);
BENCHMARK(BM_OscopeShowBuffer);
BENCHMARK(BM_QtRepaintBaseline);
BENCHMARK(BM_QPainterVerticalLines);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RunBenchmarks(argc, argv);
}
