// The sentence player's subtitle box while a lesson plays (a 10 s 44.1 kHz
// stereo WAV on the test device, its first sentence 0-6 s with an English
// line of range(0) characters and a Chinese line of a third as many):
// - BM_PaintSubtitleBox: one paint of the box, half-way through the sung
//   line (the box rendered into a picture, as the window system asks for
//   it); peak_rss_growth_MiB is the memory the paints needed.
// - BM_NewSentencePaint: the first paint of a sentence, which shapes both
//   lines (two sentences of range(0) characters painted in turn).
// - BM_PlayingTicks: range(1) ticks of the player's 1 ms timer with the test
//   device moved on 1 ms before each tick and the box's repaints done;
//   processor time of the whole process, and cpu_us_per_tick.
// - BM_SampleLessonPlayback: the sample lesson (its WAV as opening the
//   package makes it) played on a loop through the sound server for about
//   60 s (whole loops; PIBO_BENCH_PLAY_MS sets another length), shown with
//   both subtitle lines, the 1 ms timer running: cpu_s is the processor time
//   of the whole process while it plays.
// - BM_SampleLessonPlayback_Ffplay: `ffplay -nodisp -autoexit` of the same
//   WAV, looped as often: cpu_s is ffplay's processor time.
// - BM_MillisecondTimerAlone: as long, only a 1 ms precise timer with an
//   empty handler in the event loop: the part of the playback's cpu_s that
//   the player's 1 ms timer costs by its wake-ups alone, whatever a tick does
//   (ticks is how many the loop delivered).

#include "AudioDevice.h"
#include "ProgramFolder.h"
#include "SndWavOut.h"
#include "TestAudioDevice.h"
#include "UCommonFun.h"
#include "UPiboAudioClass.h"
#include "UPiboAudioPlay.h"
#include "UPiboDataPack.h"
#include "UPlayerShared.h"
#include "Forms.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QEventLoop>
#include <QtCore/QProcess>
#include <QtCore/QTimer>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtWidgets/QApplication>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

#include <sys/resource.h>

namespace {

QString GBoxFolder;

QString BoxLesson(int chars)
{
    return GBoxFolder + QStringLiteral("/box%1.wav").arg(chars);
}

QString EnglishOf(int chars)
{
    static const QString words = QStringLiteral("The quick brown fox jumps over the lazy dog, and sings along. ");
    QString s;
    s.reserve(chars);
    while (s.size() < chars)
        s += words;
    s.truncate(chars);
    return s;
}

QString ChinaOf(int chars)
{
    static const QString words = QStringLiteral("这是一句很长的中文字幕，");
    QString s;
    while (s.size() < chars)
        s += words;
    s.truncate(chars);
    return s;
}

bool MakeBoxLesson(int chars)
{
    const int seconds = 10;
    const qint64 bytes = qint64(seconds) * 44100 * 4;
    const QByteArray header = PcmWaveHeader(2, 44100, 16, quint32(bytes));
    QFile f(BoxLesson(chars));
    if (!f.open(QIODevice::WriteOnly) || f.write(header) != header.size())
        return false;
    std::vector<qint16> block(44100 * 2);
    quint32 seed = 11;
    for (int second = 0; second < seconds; ++second) {
        for (auto& s : block) {
            seed = seed * 1664525u + 1013904223u;
            s = static_cast<qint16>((seed >> 16) % 8000) - 4000;
        }
        const qint64 n = qint64(block.size() * sizeof(qint16));
        if (f.write(reinterpret_cast<const char*>(block.data()), n) != n)
            return false;
    }
    f.close();
    TAudioLrcItems items(2);
    items[0].StartTime = MSecToLrcTime(0);
    items[0].English = EnglishOf(chars);
    items[0].China = ChinaOf(chars / 3);
    items[1].StartTime = MSecToLrcTime(6000);
    items[1].English = QStringLiteral("The second sentence.");
    items[1].China = QStringLiteral("第二句。");
    return SavePlrcFile(items, GBoxFolder + QStringLiteral("/box%1.plrc").arg(chars));
}

// A shown player playing the lesson of chars characters, moved on to ms.
struct TBoxPlayer {
    TTestAudioSystem System{1};
    std::unique_ptr<TPiboAudioPlay> Player;

    TBoxPlayer(int chars, int ms)
    {
        SetAudioSystem(&System);
        Player = std::make_unique<TPiboAudioPlay>();
        Player->resize(800, 300);
        Player->show();
        Player->SetFileName(BoxLesson(chars));
        Player->LoadLrc(BoxLesson(chars));
        Player->SetLoopPlay(true);
        Player->Play();
        for (int t = 0; t < ms; t += 10) {
            System.AdvanceMs(10);
            QCoreApplication::sendPostedEvents();
            Player->TimerTick();
        }
        QCoreApplication::processEvents();
    }
    ~TBoxPlayer()
    {
        Player->Stop();
        Player.reset();
        SetAudioSystem(nullptr);
    }
};

void BM_PaintSubtitleBox(benchmark::State& state)
{
    TBoxPlayer play(int(state.range(0)), 3000);
    play.Player->Pause();
    QWidget* box = play.Player->SubtitleBox();
    QImage image(box->size(), QImage::Format_ARGB32_Premultiplied);
    box->render(&image);  // the first paint of a sentence may prepare it
    ResetPeakRss();
    const long before = PeakRssKiB();
    for (auto _ : state)
        box->render(&image);
    state.counters["peak_rss_growth_MiB"] = double(PeakRssKiB() - before) / 1024.0;
}

void BM_NewSentencePaint(benchmark::State& state)
{
    const int chars = int(state.range(0));
    TSubtitleBoxText texts[2];
    for (int i = 0; i < 2; ++i) {
        texts[i].English = EnglishOf(chars + i);
        texts[i].China = ChinaOf(chars / 3 + i);
        texts[i].Progress = 0.5;
    }
    QImage image(800, SubtitleBoxHeight, QImage::Format_ARGB32_Premultiplied);
    TSubtitleBoxPainter box;
    ResetPeakRss();
    const long before = PeakRssKiB();
    int turn = 0;
    for (auto _ : state) {
        QPainter painter(&image);
        box.Paint(painter, image.rect(), texts[turn]);
        turn ^= 1;
    }
    state.counters["peak_rss_growth_MiB"] = double(PeakRssKiB() - before) / 1024.0;
}

void BM_PlayingTicks(benchmark::State& state)
{
    TBoxPlayer play(int(state.range(0)), 600);
    const int ticks = int(state.range(1));
    timespec t0{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t0);
    for (auto _ : state) {
        for (int tick = 0; tick < ticks; ++tick) {
            play.System.AdvanceMs(1);
            QCoreApplication::sendPostedEvents();
            play.Player->TimerTick();
            QCoreApplication::processEvents();
        }
    }
    timespec t1{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t1);
    const double us = double(t1.tv_sec - t0.tv_sec) * 1e6 + double(t1.tv_nsec - t0.tv_nsec) / 1e3;
    state.counters["cpu_us_per_tick"] = us / double(ticks * state.iterations());
    state.counters["play_ms"] = play.Player->PlayTime();
}

QString GSampleWav;
int GSampleLoops = 0;

double RusageSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Opens the sample lesson once; the loops of it that make about 60 s.
bool SampleLesson(benchmark::State& state, int& totalMs)
{
    if (GSampleWav.isEmpty() && !OpenPackage(QStringLiteral(PIBO_SAMPLE_AUDIO_LESSON), GSampleWav)) {
        state.SkipWithError("the sample lesson does not open");
        return false;
    }
    TPiboAudioPlay probe;
    probe.SetFileName(GSampleWav);
    totalMs = probe.TotalTime();
    if (totalMs <= 0) {
        state.SkipWithError("the sample lesson has no sound");
        return false;
    }
    const int wanted = qEnvironmentVariableIntValue("PIBO_BENCH_PLAY_MS") > 0 ? qEnvironmentVariableIntValue("PIBO_BENCH_PLAY_MS") : 60000;
    GSampleLoops = std::max(1, (wanted + totalMs / 2) / totalMs);
    return true;
}

void BM_SampleLessonPlayback(benchmark::State& state)
{
    if (QProcess::execute(QStringLiteral("pactl"), {QStringLiteral("info")}) != 0) {
        state.SkipWithError("no sound server");
        return;
    }
    int totalMs = 0;
    if (!SampleLesson(state, totalMs))
        return;
    double cpu = 0;
    for (auto _ : state) {
        TPiboAudioPlay player;
        player.resize(800, 300);
        player.show();
        player.SetFileName(GSampleWav);
        player.LoadLrc(GSampleWav);
        player.SetLoopPlay(true);
        QCoreApplication::processEvents();
        const double cpu0 = RusageSeconds(RUSAGE_SELF);
        player.Play();
        QEventLoop loop;
        QTimer::singleShot(GSampleLoops * totalMs, &loop, &QEventLoop::quit);
        loop.exec();
        cpu = RusageSeconds(RUSAGE_SELF) - cpu0;
        player.Stop();
    }
    state.counters["cpu_s"] = cpu;
    state.counters["played_s"] = GSampleLoops * totalMs / 1000.0;
}

void BM_SampleLessonPlayback_Ffplay(benchmark::State& state)
{
    int totalMs = 0;
    if (!SampleLesson(state, totalMs))
        return;
    double cpu = 0;
    for (auto _ : state) {
        const double cpu0 = RusageSeconds(RUSAGE_CHILDREN);
        if (!RunTool(QStringLiteral("ffplay"), {QStringLiteral("-nodisp"), QStringLiteral("-autoexit"), QStringLiteral("-loglevel"),
                                                QStringLiteral("quiet"), QStringLiteral("-loop"), QString::number(GSampleLoops), GSampleWav})) {
            state.SkipWithError("ffplay failed (is it installed?)");
            break;
        }
        cpu = RusageSeconds(RUSAGE_CHILDREN) - cpu0;
    }
    state.counters["cpu_s"] = cpu;
    state.counters["played_s"] = GSampleLoops * totalMs / 1000.0;
}

void BM_MillisecondTimerAlone(benchmark::State& state)
{
    int totalMs = 0;
    if (!SampleLesson(state, totalMs))
        return;
    double cpu = 0;
    long ticks = 0;
    for (auto _ : state) {
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(1);
        QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
        const double cpu0 = RusageSeconds(RUSAGE_SELF);
        timer.start();
        QEventLoop loop;
        QTimer::singleShot(GSampleLoops * totalMs, &loop, &QEventLoop::quit);
        loop.exec();
        cpu = RusageSeconds(RUSAGE_SELF) - cpu0;
    }
    state.counters["cpu_s"] = cpu;
    state.counters["ticks"] = double(ticks);
}

}  // namespace

BENCHMARK(BM_PaintSubtitleBox)->Arg(200)->Arg(150000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NewSentencePaint)->Arg(200)->Arg(150000)->Unit(benchmark::kMicrosecond);
// The long line's ticks are few: each took seconds before the box was made cheap.
BENCHMARK(BM_PlayingTicks)->Args({200, 1000})->Args({150000, 20})->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(3);
BENCHMARK(BM_SampleLessonPlayback)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_SampleLessonPlayback_Ffplay)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_MillisecondTimerAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    GBoxFolder = dir.path();
    SetProgramFolder(GBoxFolder);
    QDir().mkpath(GBoxFolder + QStringLiteral("/temp"));
    if (!MakeBoxLesson(200) || !MakeBoxLesson(150000))
        return 1;
    return RunBenchmarks(argc, argv);
}
