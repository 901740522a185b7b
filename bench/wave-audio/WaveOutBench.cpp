// Start-to-first-buffer latency of the wave-out device on the test device:
// the time from Start until the first filled buffer goes to the driver, for
// a device already open and for one that Start has to open first.

#include "SndWavOut.h"
#include "SndWave.h"
#include "TestAudioDevice.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

using TClock = std::chrono::steady_clock;

// One second of 44.1 kHz 16-bit stereo PCM.
QString MakeWave(const QTemporaryDir& dir)
{
    const QByteArray pcm(44100 * 4, '\x11');
    const QByteArray b = PcmWaveHeader(2, 44100, 16, static_cast<std::uint32_t>(pcm.size())) + pcm;
    const QString path = dir.filePath(QStringLiteral("bench.wav"));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(b);
    return path;
}

// range(0): buffer size, range(1): buffers, range(2): 1 when Start opens the device.
void BM_WaveOutStartToFirstBuffer(benchmark::State& state)
{
    TTestAudioSystem system(1);
    SetAudioSystem(&system);
    QTemporaryDir dir;
    const QString path = MakeWave(dir);
    {
        TSndWaveOut wo;
        TSndWaveFile wf;
        wo.SetBufferSize(static_cast<std::int32_t>(state.range(0)));
        wo.SetNumBuffers(static_cast<std::int32_t>(state.range(1)));
        wo.SetShowHourGlass(false);
        wf.SetOutput(&wo);
        wf.Wave()->SetFileName(path);
        const bool closed = state.range(2) != 0;
        TClock::time_point first;
        bool got = false;
        wo.OnBufferFilled = [&](QObject*, TSndWaveHdr*) {
            if (!got) {
                first = TClock::now();
                got = true;
            }
        };
        if (!closed)
            wo.Open();
        for (auto _ : state) {
            got = false;
            const TClock::time_point start = TClock::now();
            wo.Start();
            state.SetIterationTime(std::chrono::duration<double>(first - start).count());
            wo.Stop();
            if (closed)
                wo.Close();
            QCoreApplication::processEvents();
        }
        wo.Close();
    }
    SetAudioSystem(nullptr);
}

}  // namespace

BENCHMARK(BM_WaveOutStartToFirstBuffer)
    ->ArgNames({"bytes", "buffers", "closed"})
    ->Args({2048, 10, 0})
    ->Args({2048, 10, 1})
    ->Args({4096, 25, 0})
    ->Args({4096, 25, 1})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return RunBenchmarks(argc, argv);
}
