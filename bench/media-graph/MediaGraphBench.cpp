// The media graph and the video player:
// - RenderFile of a 640 x 480 AVI through the graph against a bare Qt media
//   player from setSource to loaded media, alternating (target: at most 1.1
//   times);
// - one tick of the video player's position timer while playing (under 50 us);
// - a paused seek until its frame is shown (within 300 ms);
// - memory over ten minutes of playback (flat), played at ten times the speed.

#include "DSGraph.h"
#include "MediaBackend.h"
#include "UCommonFun.h"
#include "UPiboVideoClass.h"

#include "BenchSupport.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>
#include <QtCore/QUrl>
#include <QtMultimedia/QAudioOutput>
#include <QtMultimedia/QMediaPlayer>
#include <QtMultimedia/QVideoSink>
#include <QtWidgets/QApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>
#include <functional>

namespace {

using TClock = std::chrono::steady_clock;

QString GFolder;

QString Fixture(const QString& name)
{
    return GFolder + u'/' + name;
}

// Three seconds of red, green and blue at size with a tone, or seconds of
// a test picture.
bool MakeVideo(const QString& path, const QString& size, int seconds, bool colours)
{
    QStringList args{"-v", "error", "-y"};
    if (colours) {
        for (const char* colour : {"0xFF0000", "0x00FF00", "0x0000FF"})
            args << "-f" << "lavfi" << "-i" << QStringLiteral("color=c=%1:s=%2:r=25:d=1").arg(colour, size);
        args << "-f" << "lavfi" << "-i" << "sine=frequency=440:duration=3"
             << "-filter_complex" << "[0:v][1:v][2:v]concat=n=3:v=1:a=0[v]" << "-map" << "[v]" << "-map" << "3:a";
    } else {
        args << "-f" << "lavfi" << "-i" << QStringLiteral("testsrc=s=%1:r=25:d=%2").arg(size).arg(seconds) << "-f"
             << "lavfi" << "-i" << QStringLiteral("sine=frequency=440:duration=%1").arg(seconds);
    }
    args << "-c:v" << "mpeg4" << "-q:v" << "5" << "-c:a" << "libmp3lame" << "-b:a" << "64k" << path;
    QProcess process;
    process.start(QStringLiteral("ffmpeg"), args);
    return process.waitForFinished(120000) && process.exitCode() == 0;
}

// Runs the event loop until done() holds or timeoutMs have passed.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(1, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

long CurrentRssKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Loads the file into a bare (emptied) Qt player and waits for the loaded
// media.
void BareLoad(QMediaPlayer& player, const QUrl& url)
{
    player.setSource(url);
    if (player.mediaStatus() == QMediaPlayer::LoadedMedia)
        return;
    QEventLoop loop;
    QObject::connect(&player, &QMediaPlayer::mediaStatusChanged, &loop, [&](QMediaPlayer::MediaStatus s) {
        if (s == QMediaPlayer::LoadedMedia || s == QMediaPlayer::InvalidMedia)
            loop.quit();
    });
    loop.exec();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// The two loads take turns going first, so that both meet the same machine; the time of
// an iteration is the graph's, the counters hold both medians (ms) and
// their ratio.
void BM_RenderFileGraphAgainstBareQtPlayer(benchmark::State& state)
{
    TFilterGraph graph;
    TVideoWindow window;
    window.SetFilterGraph(&graph);
    graph.SetActive(true);
    QMediaPlayer player;
    QAudioOutput output;
    QVideoSink sink;
    player.setAudioOutput(&output);
    player.setVideoOutput(&sink);
    const QString path = Fixture("wide.avi");
    const QUrl url = QUrl::fromLocalFile(path);
    graph.RenderFile(path);  // warm-up of both
    BareLoad(player, url);
    player.setSource(QUrl());
    std::vector<double> graphMs, bareMs;
    bool graphFirst = true;
    for (auto _ : state) {
        double graphTime = 0;
        const auto loadGraph = [&] {
            graph.ClearGraph();
            const auto start = TClock::now();
            graph.RenderFile(path);
            graphTime = std::chrono::duration<double>(TClock::now() - start).count();
            graphMs.push_back(graphTime * 1000);
        };
        const auto loadBare = [&] {
            player.stop();
            player.setSource(QUrl());
            const auto start = TClock::now();
            BareLoad(player, url);
            bareMs.push_back(std::chrono::duration<double, std::milli>(TClock::now() - start).count());
        };
        if (graphFirst) {
            loadGraph();
            loadBare();
        } else {
            loadBare();
            loadGraph();
        }
        graphFirst = !graphFirst;
        state.SetIterationTime(graphTime);
    }
    state.counters["graph_ms"] = Median(graphMs);
    state.counters["bare_ms"] = Median(bareMs);
    state.counters["ratio"] = Median(graphMs) / std::max(Median(bareMs), 1e-9);
}

// A player on the 640 x 480 video with one cue per second.
void LoadLesson(TPiboVideoClass& player, const QString& video)
{
    player.resize(640, 480 + 58);
    player.show();
    player.SetFileName(video);
    player.LoadSrt(QString(), true);
}

void BM_VideoTimerTick(benchmark::State& state)
{
    TPiboVideoClass player;
    LoadLesson(player, Fixture("wide.avi"));
    player.SetLoopPlay(true);
    player.Play();
    WaitFor([&] { return player.PlayTime() > 100; });
    for (auto _ : state) {
        const auto start = TClock::now();
        player.TimerTick();
        state.SetIterationTime(std::chrono::duration<double>(TClock::now() - start).count());
        QCoreApplication::processEvents();
    }
    player.Stop();
}

void BM_PausedSeekShowsFrame(benchmark::State& state)
{
    TFilterGraph graph;
    TVideoWindow window;
    window.SetFilterGraph(&graph);
    graph.SetActive(true);
    graph.RenderFile(Fixture("rgb.avi"));
    graph.Pause();
    const auto seeking = graph.Query<IMediaSeeking>();
    int frames = 0;
    QObject* sink = nullptr;
    window.GetFilter(sink);
    QObject::connect(static_cast<QVideoSink*>(sink), &QVideoSink::videoFrameChanged, [&] { ++frames; });
    WaitFor([&] { return frames > 0; });
    const std::int64_t targets[] = {1500, 2500, 500};
    int n = 0;
    for (auto _ : state) {
        const int before = frames;
        std::int64_t position = targets[n++ % 3] * 10000;
        const auto start = TClock::now();
        seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
        WaitFor([&] { return frames > before; });
        state.SetIterationTime(std::chrono::duration<double>(TClock::now() - start).count());
    }
}

void BM_PlaybackMemory(benchmark::State& state)
{
    const std::int64_t mediaMs = state.range(0) * 1000;
    for (auto _ : state) {
        TPiboVideoClass player;
        LoadLesson(player, Fixture("long.avi"));
        player.FilterGraph()->SetRate(10);
        player.SetLoopPlay(true);
        std::int64_t played = 0;
        player.OnPlayOver = [&](QObject*) { played += player.TotalTime(); };
        player.Play();
        WaitFor([&] { return played >= 10000; }, 60000);  // warmed up
        const long startRss = CurrentRssKiB();
        long highest = startRss;
        WaitFor(
            [&] {
                highest = std::max(highest, CurrentRssKiB());
                return played >= mediaMs;
            },
            static_cast<int>(mediaMs / 5));
        player.Stop();
        state.counters["media_s"] = static_cast<double>(played) / 1000;
        state.counters["rss_start_KiB"] = static_cast<double>(startRss);
        state.counters["rss_end_KiB"] = static_cast<double>(CurrentRssKiB());
        state.counters["rss_high_KiB"] = static_cast<double>(highest);
    }
}

}  // namespace

BENCHMARK(BM_RenderFileGraphAgainstBareQtPlayer)->Iterations(30)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VideoTimerTick)->Iterations(20000)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PausedSeekShowsFrame)->Iterations(30)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlaybackMemory)->Arg(600)->Iterations(1)->Unit(benchmark::kSecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    UseGStreamerMediaBackend();
    QApplication app(argc, argv);
    QTemporaryDir dir;
    GFolder = dir.path();
    if (!MakeVideo(Fixture("wide.avi"), "640x480", 3, true) || !MakeVideo(Fixture("rgb.avi"), "320x240", 3, true) ||
        !MakeVideo(Fixture("long.avi"), "320x240", 60, false))
        return 1;
    return RunBenchmarks(argc, argv);
}
