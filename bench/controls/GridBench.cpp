// The list grid against a QTableWidget holding the same texts, in the same
// run: filling 5 x 10,000 cells, one paint of the visible area, paging through
// all rows with a paint per page, and the memory the cells take.

#include "BenchSupport.h"
#include "PiboPictures.h"
#include "UPiboStringGrid.h"

#include <QtGui/QImage>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QTableWidget>

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

// ---------------------------------------------------------------------------
// Live heap bytes of the process, counted at every allocation.
// ---------------------------------------------------------------------------

namespace {
std::atomic<long long> GLiveBytes{0};
}

void* operator new(std::size_t size)
{
    void* p = std::malloc(size == 0 ? 1 : size);
    if (!p)
        throw std::bad_alloc();
    GLiveBytes += static_cast<long long>(malloc_usable_size(p));
    return p;
}

void operator delete(void* p) noexcept
{
    if (p)
        GLiveBytes -= static_cast<long long>(malloc_usable_size(p));
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    operator delete(p);
}

void* operator new[](std::size_t size)
{
    return operator new(size);
}

void operator delete[](void* p) noexcept
{
    operator delete(p);
}

void operator delete[](void* p, std::size_t) noexcept
{
    operator delete(p);
}

namespace {

constexpr int Cols = 5;
constexpr int Rows = 10000;

const std::vector<QString>& Texts()
{
    static const std::vector<QString> texts = [] {
        std::vector<QString> list;
        list.reserve(static_cast<std::size_t>(Cols) * Rows);
        for (int r = 0; r < Rows; ++r)
            for (int c = 0; c < Cols; ++c)
                list.push_back(QStringLiteral("row %1 column %2 text").arg(r).arg(c));
        return list;
    }();
    return texts;
}

const QString& TextAt(int col, int row)
{
    return Texts()[static_cast<std::size_t>(row) * Cols + static_cast<std::size_t>(col)];
}

std::unique_ptr<TPiboStringGrid> NewGrid()
{
    auto grid = std::make_unique<TPiboStringGrid>();
    grid->resize(600, 400);
    grid->SetColCount(Cols);
    for (int c = 0; c < Cols; ++c)
        grid->SetColWidths(c, 115);
    grid->show();
    QApplication::processEvents();
    return grid;
}

void FillGrid(TPiboStringGrid& grid)
{
    grid.SetRowCountEx(Rows);
    for (int r = 0; r < Rows; ++r)
        for (int c = 0; c < Cols; ++c)
            grid.SetCells(c, r, TextAt(c, r));
}

std::unique_ptr<QTableWidget> NewTable()
{
    auto table = std::make_unique<QTableWidget>();
    table->resize(600, 400);
    table->setColumnCount(Cols);
    for (int c = 0; c < Cols; ++c)
        table->setColumnWidth(c, 115);
    table->show();
    QApplication::processEvents();
    return table;
}

void FillTable(QTableWidget& table)
{
    table.setRowCount(Rows);
    for (int r = 0; r < Rows; ++r)
        for (int c = 0; c < Cols; ++c)
            table.setItem(r, c, new QTableWidgetItem(TextAt(c, r)));
}

void PaintOnce(QWidget* viewport, QImage& image)
{
    viewport->render(&image);
    benchmark::DoNotOptimize(image.bits());
}

void PageDown(QWidget* target)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

// --- filling ---

void BM_FillPiboStringGrid(benchmark::State& state)
{
    Texts();
    for (auto _ : state) {
        auto grid = NewGrid();
        FillGrid(*grid);
        benchmark::DoNotOptimize(grid.get());
    }
    state.SetItemsProcessed(state.iterations() * Cols * Rows);
}
BENCHMARK(BM_FillPiboStringGrid)->Unit(benchmark::kMillisecond);

void BM_FillQTableWidget(benchmark::State& state)
{
    Texts();
    for (auto _ : state) {
        auto table = NewTable();
        FillTable(*table);
        benchmark::DoNotOptimize(table.get());
    }
    state.SetItemsProcessed(state.iterations() * Cols * Rows);
}
BENCHMARK(BM_FillQTableWidget)->Unit(benchmark::kMillisecond);

// --- one paint of the visible area ---

void BM_PaintPiboStringGrid(benchmark::State& state)
{
    auto grid = NewGrid();
    FillGrid(*grid);
    grid->GotoCell(1, 0);
    QImage image(grid->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state)
        PaintOnce(grid->viewport(), image);
}
BENCHMARK(BM_PaintPiboStringGrid)->Unit(benchmark::kMicrosecond);

void BM_PaintQTableWidget(benchmark::State& state)
{
    auto table = NewTable();
    FillTable(*table);
    table->setCurrentCell(0, 1);
    QImage image(table->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state)
        PaintOnce(table->viewport(), image);
}
BENCHMARK(BM_PaintQTableWidget)->Unit(benchmark::kMicrosecond);

// --- paging through all rows, one paint per page ---

void BM_PagePiboStringGrid(benchmark::State& state)
{
    auto grid = NewGrid();
    FillGrid(*grid);
    QImage image(grid->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    int pages = 0;
    for (auto _ : state) {
        grid->GotoCell(1, 0);
        pages = 0;
        while (grid->Row() < Rows - 1) {
            PageDown(grid.get());
            PaintOnce(grid->viewport(), image);
            ++pages;
        }
    }
    state.counters["pages"] = pages;
}
BENCHMARK(BM_PagePiboStringGrid)->Unit(benchmark::kMillisecond);

void BM_PageQTableWidget(benchmark::State& state)
{
    auto table = NewTable();
    FillTable(*table);
    QImage image(table->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    int pages = 0;
    for (auto _ : state) {
        table->setCurrentCell(0, 1);
        pages = 0;
        while (table->currentRow() < Rows - 1) {
            PageDown(table.get());
            PaintOnce(table->viewport(), image);
            ++pages;
        }
    }
    state.counters["pages"] = pages;
}
BENCHMARK(BM_PageQTableWidget)->Unit(benchmark::kMillisecond);

// --- memory ---

// A 5 x 200,000 grid with 10 filled cells, far apart: the bytes the cells
// added to the heap.
void BM_SparseGridMemory(benchmark::State& state)
{
    long long added = 0;
    std::size_t storage = 0;
    for (auto _ : state) {
        auto grid = NewGrid();
        grid->SetRowCountEx(200000);
        const QString text = QStringLiteral("cell");
        const long long before = GLiveBytes.load();
        for (int i = 0; i < 10; ++i)
            grid->SetCells(i % Cols, i * 19999, text);
        QApplication::processEvents();
        added = GLiveBytes.load() - before;
        storage = grid->StorageBytes();
    }
    state.counters["heap_KiB"] = static_cast<double>(added) / 1024.0;
    state.counters["storage_KiB"] = static_cast<double>(storage) / 1024.0;
}
BENCHMARK(BM_SparseGridMemory)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FullGridMemory(benchmark::State& state)
{
    Texts();
    long long added = 0;
    for (auto _ : state) {
        auto grid = NewGrid();
        const long long before = GLiveBytes.load();
        FillGrid(*grid);
        QApplication::processEvents();
        added = GLiveBytes.load() - before;
    }
    state.counters["heap_KiB"] = static_cast<double>(added) / 1024.0;
}
BENCHMARK(BM_FullGridMemory)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FullTableMemory(benchmark::State& state)
{
    Texts();
    long long added = 0;
    for (auto _ : state) {
        auto table = NewTable();
        const long long before = GLiveBytes.load();
        FillTable(*table);
        QApplication::processEvents();
        added = GLiveBytes.load() - before;
    }
    state.counters["heap_KiB"] = static_cast<double>(added) / 1024.0;
}
BENCHMARK(BM_FullTableMemory)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RegisterPiboPictures();
    return RunBenchmarks(argc, argv);
}
