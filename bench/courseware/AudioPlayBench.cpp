// The sentence player with a 60-minute 44.1 kHz stereo WAV (made at start in
// a temporary folder, a sentence every 3 s):
// - BM_OpenToFirstBuffer: opening the file, reading its subtitle (and its
//   waveform, when shown) up to the first buffer queued at the device (the
//   test device); peak_rss_growth_MiB must not depend on the length
//   (compare the 6-minute file).
// - BM_Playback: 60 s of real playback through the sound server (or the test
//   device, advanced by a timer, when there is none) with the subtitle box
//   shown; gui_cpu_percent is the GUI thread's share of one core.
// - BM_SaveSentenceMp3: a 10 s sentence saved as MP3, against `sox trim` and
//   `lame -b 128` of the same range in the same run.

#include "AudioDevice.h"
#include "ProgramFolder.h"
#include "SndWavOut.h"
#include "TestAudioDevice.h"
#include "UCommonFun.h"
#include "UPiboAudioClass.h"
#include "UPiboAudioPlay.h"

#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace {

QString GFolder;

QString Lesson(int minutes)
{
    return GFolder + QStringLiteral("/lesson%1.wav").arg(minutes);
}

// A WAV of the given length, written block by block, and its ".plrc".
bool MakeLesson(int minutes)
{
    const qint64 frames = qint64(minutes) * 60 * 44100;
    const qint64 bytes = frames * 4;
    const QByteArray header = PcmWaveHeader(2, 44100, 16, quint32(bytes));
    QFile f(Lesson(minutes));
    if (!f.open(QIODevice::WriteOnly) || f.write(header) != header.size())
        return false;
    std::vector<qint16> block(44100 * 2);
    quint32 seed = 7;
    for (qint64 second = 0; second < qint64(minutes) * 60; ++second) {
        for (auto& s : block) {
            seed = seed * 1664525u + 1013904223u;
            s = static_cast<qint16>((seed >> 16) % 8000) - 4000;
        }
        const qint64 n = qint64(block.size() * sizeof(qint16));
        if (f.write(reinterpret_cast<const char*>(block.data()), n) != n)
            return false;
    }
    f.close();
    TAudioLrcItems items;
    for (int ms = 0; ms < minutes * 60000; ms += 3000) {
        TAudioLrcItem item;
        item.StartTime = MSecToLrcTime(ms);
        item.English = QStringLiteral("This is the sentence that starts at %1 ms.").arg(ms);
        item.China = QStringLiteral("这是第%1句。").arg(ms / 3000 + 1);
        items.append(item);
    }
    return SavePlrcFile(items, GFolder + QStringLiteral("/lesson%1.plrc").arg(minutes));
}

void BM_OpenToFirstBuffer(benchmark::State& state)
{
    TTestAudioSystem system(1);
    SetAudioSystem(&system);
    const QString wav = Lesson(int(state.range(0)));
    long growth = 0;
    for (auto _ : state) {
        ResetPeakRss();
        const long before = PeakRssKiB();
        TPiboAudioPlay player;
        player.resize(800, 300);
        player.SetHasOscope(true);
        player.SetFileName(wav);
        player.LoadLrc(wav);
        player.Play();
        if (system.QueuedBuffers() == 0) {
            state.SkipWithError("nothing queued");
            break;
        }
        growth = std::max(growth, PeakRssKiB() - before);
        state.PauseTiming();
        player.Stop();
        state.ResumeTiming();
    }
    state.counters["peak_rss_growth_MiB"] = double(growth) / 1024.0;
    SetAudioSystem(nullptr);
}

double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

void BM_Playback(benchmark::State& state)
{
    const bool real = QProcess::execute(QStringLiteral("pactl"), {QStringLiteral("info")}) == 0;
    std::unique_ptr<TTestAudioSystem> test;
    if (!real) {
        test = std::make_unique<TTestAudioSystem>(1);
        SetAudioSystem(test.get());
    }
    const QString wav = Lesson(60);
    double percent = 0;
    for (auto _ : state) {
        TPiboAudioPlay player;
        player.resize(800, 300);
        player.SetHasOscope(true);
        player.show();
        player.SetFileName(wav);
        player.LoadLrc(wav);
        QTimer clock;
        if (test)
            QObject::connect(&clock, &QTimer::timeout, [&] { test->AdvanceMs(10); });
        clock.start(10);
        const double cpu0 = ThreadCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        player.Play();
        QEventLoop loop;
        QTimer::singleShot(qEnvironmentVariableIntValue("PIBO_BENCH_PLAY_MS") > 0 ? qEnvironmentVariableIntValue("PIBO_BENCH_PLAY_MS") : 60000, &loop, &QEventLoop::quit);
        loop.exec();
        percent = (ThreadCpuSeconds() - cpu0) / (double(wall.elapsed()) / 1000.0) * 100.0;
        state.counters["played_s"] = player.PlayTime() / 1000.0;
        player.Stop();
    }
    state.counters["gui_cpu_percent"] = percent;
    state.counters["real_device"] = real ? 1 : 0;
    SetAudioSystem(nullptr);
}

void BM_SaveSentenceMp3(benchmark::State& state)
{
    TTestAudioSystem system(1);
    SetAudioSystem(&system);
    // A lesson whose sentence 2 runs 10 s, from 3 s to 13 s.
    const QString wav = GFolder + QStringLiteral("/clip.wav");
    QFile::copy(Lesson(6), wav);
    TAudioLrcItems items(3);
    items[0].StartTime = QStringLiteral("00:00.00");
    items[1].StartTime = QStringLiteral("00:03.00");
    items[2].StartTime = QStringLiteral("00:13.00");
    SavePlrcFile(items, GFolder + QStringLiteral("/clip.plrc"));
    TPiboAudioPlay player;
    player.SetFileName(wav);
    player.LoadLrc(wav);
    for (auto _ : state) {
        if (!player.SaveSentenceMp3(1, GFolder + QLatin1Char('/'), QStringLiteral("ours.mp3"))) {
            state.SkipWithError("saving failed");
            break;
        }
    }
    SetAudioSystem(nullptr);
}

void BM_SaveSentenceMp3_SoxLame(benchmark::State& state)
{
    const QString cut = GFolder + QStringLiteral("/soxcut.wav");
    for (auto _ : state) {
        if (!RunTool(QStringLiteral("sox"), {Lesson(6), cut, QStringLiteral("trim"), QStringLiteral("3"), QStringLiteral("10")})
            || !RunTool(QStringLiteral("lame"),
                        {QStringLiteral("--quiet"), QStringLiteral("-b"), QStringLiteral("128"), cut, GFolder + QStringLiteral("/lame.mp3")})) {
            state.SkipWithError("the tools failed");
            break;
        }
    }
}

}  // namespace

BENCHMARK(BM_OpenToFirstBuffer)->Arg(6)->Arg(60)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_SaveSentenceMp3)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_SaveSentenceMp3_SoxLame)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Playback)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    GFolder = dir.path();
    SetProgramFolder(GFolder);
    QDir().mkpath(GFolder + QStringLiteral("/temp"));
    std::fprintf(stderr, "making 6- and 60-minute lessons in %s\n", qPrintable(GFolder));
    if (!MakeLesson(6) || !MakeLesson(60))
        return 1;
    return RunBenchmarks(argc, argv);
}
