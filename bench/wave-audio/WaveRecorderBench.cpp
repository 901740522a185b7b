// Ten minutes recorded by the wave recorder on the test device with the
// settings of the speak-and-record screens, against writing the same bytes
// in the same buffer size with plain QFile writes; and the allocations made
// while the recording runs (the device's buffers are made at Open and reused).

#include "MMWRec.h"
#include "RecordingSupport.h"
#include "TestAudioDevice.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QEventLoop>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>

namespace {
std::atomic<long long> GAllocations{0};
}  // namespace

// Every allocation of the process is counted, through malloc (Qt's
// containers) and through operator new alike.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);

void* malloc(std::size_t size)
{
    GAllocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size)
{
    GAllocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t size)
{
    GAllocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(p, size);
}
}

namespace {

constexpr int RecordMs = 10 * 60 * 1000;
constexpr std::int64_t RecordBytes = std::int64_t(RecordMs) * 176400 / 1000;
constexpr int BufferBytes = 4096;  // the screens' buffer size

void BM_RecorderTenMinutes(benchmark::State& state)
{
    TTestAudioSystem system(0);
    SetAudioSystem(&system);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("record.wav"));
    long long buffers = 0;
    long long allocations = 0;
    {
        TSndWaveRecorder recorder;
        SetUpAsTheScreens(recorder);
        // The length is fixed by the limit, so the clock can run ahead at once.
        recorder.SetMaxRecordTime(RecordMs);
        recorder.Wave()->SetFileName(path);
        std::atomic<long long> data{0};
        std::atomic<long long> allocsAtFirst{0};
        std::atomic<long long> allocsAtLast{0};
        recorder.OnData = [&](QObject*, TSndWaveHdr*) {
            const long long now = GAllocations.load(std::memory_order_relaxed);
            if (data.fetch_add(1) == 0)
                allocsAtFirst.store(now);
            allocsAtLast.store(now);
        };
        bool stopped = false;
        recorder.OnStop = [&](QObject*) { stopped = true; };
        for (auto _ : state) {
            data = 0;
            stopped = false;
            recorder.Start();
            system.AdvanceMs(RecordMs + 1000);
            while (!stopped)
                QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
            buffers += data.load();
            allocations += allocsAtLast.load() - allocsAtFirst.load();
        }
    }
    // The sound and the file's chunk headers.
    const qint64 overhead = QFile(path).size() - RecordBytes;
    if (overhead < 44 || overhead > 64)
        state.SkipWithError(("the recording has not the expected length: " + std::to_string(QFile(path).size())).c_str());
    state.SetBytesProcessed(state.iterations() * RecordBytes);
    state.counters["allocs_per_buffer"] = buffers ? static_cast<double>(allocations) / static_cast<double>(buffers) : 0;
    state.counters["allocs_while_recording"] = static_cast<double>(allocations) / static_cast<double>(state.iterations());
    SetAudioSystem(nullptr);
}

void BM_PlainQFileWrites(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plain.wav"));
    const QByteArray buffer(BufferBytes, '\0');
    const QByteArray header = PcmWaveHeader(2, 44100, 16, static_cast<std::uint32_t>(RecordBytes));
    for (auto _ : state) {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            state.SkipWithError("cannot write");
            break;
        }
        f.write(header);
        for (std::int64_t left = RecordBytes; left > 0; left -= BufferBytes)
            f.write(buffer.constData(), std::min<std::int64_t>(left, BufferBytes));
        f.close();
    }
    state.SetBytesProcessed(state.iterations() * RecordBytes);
}

}  // namespace

BENCHMARK(BM_RecorderTenMinutes)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_PlainQFileWrites)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TAudioSystemGuard audio;
    return RunBenchmarks(argc, argv);
}
