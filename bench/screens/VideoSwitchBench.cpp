// Memory over mode switches on a video lesson, as the main window makes them:
// the screen of the new mode is made, shown and opened on the lesson, then
// the screen of the old mode is freed.
// - BM_VideoModeSwitches: after a warm-up round through the five video study
//   screens (browse, single and free dictation, speaking, translation), the
//   browse screen, then 100 switches through the five, ending on the browse
//   screen again. Counters, each taken with the screen open: rss_cold_MiB
//   on the very first screen of the process, rss_first_MiB on the first
//   screen after the warm-up, rss_last_MiB after the last switch, rss_growth_MiB between them
//   (target: under 20), rss_growth_per_switch_KiB and rss_highest_MiB.
//   PIBO_TRACE_RSS=1 prints the resident size after every switch. Run it
//   under Xvfb as well (QT_QPA_PLATFORM=xcb): a display brings in more of
//   the system's libraries.
// - BM_VideoPlayerOpenFree: the video player alone made, opened on the lesson
//   and freed 101 times, with the same counters: what of the growth the
//   player and the media graph account for.

#include "RichTextSuite.h"
#include "MediaBackend.h"
#include "PiboPictures.h"
#include "ProgramFolder.h"
#include "UPiboVideoClass.h"
#include "UStudyScreen.h"

#include "BenchSupport.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QEventLoop>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include "AudioDevice.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

QString GLesson;

constexpr int Switches = 100;

const char* const VideoScreens[] = {"FrmVideoBrowseRecite", "FrmVSingleSentence", "FrmVFreeSentence",
                                    "FrmVStudySpeak", "FrmVTranslateTrain"};

long ResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Lets queued work (deferred deletes, the media back end's news) run.
void Settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

// Twenty seconds of a moving test picture at 640 x 480 with a tone, and a cue
// every two seconds.
bool MakeLesson(const QString& folder)
{
    GLesson = folder + QStringLiteral("/lesson.avi");
    if (!RunTool(QStringLiteral("ffmpeg"),
                 {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=s=640x480:r=25:d=20", "-f", "lavfi", "-i",
                  "sine=frequency=440:duration=20", "-c:v", "mpeg4", "-q:v", "5", "-c:a", "libmp3lame", "-b:a", "64k",
                  GLesson}))
        return false;
    TVideoLrcItems items;
    for (int i = 0; i < 10; ++i) {
        TVideoLrcItem item;
        item.StartTime = QStringLiteral("00:00:%1,000").arg(i * 2, 2, 10, QLatin1Char('0'));
        item.EndTime = QStringLiteral("00:00:%1,500").arg(i * 2 + 1, 2, 10, QLatin1Char('0'));
        item.English = QStringLiteral("This is sentence number %1 of the lesson.").arg(i + 1);
        item.China = QStringLiteral("这是课文的第%1句。").arg(i + 1);
        items.append(item);
    }
    return SaveSrtFile(items, folder + QStringLiteral("/lesson.srt"));
}

void Report(benchmark::State& state, long first, long last, long peak)
{
    state.counters["rss_first_MiB"] = double(first) / 1024;
    state.counters["rss_last_MiB"] = double(last) / 1024;
    state.counters["rss_growth_MiB"] = double(last - first) / 1024;
    state.counters["rss_growth_per_switch_KiB"] = double(last - first) / Switches;
    state.counters["rss_highest_MiB"] = double(peak) / 1024;
}

void BM_VideoModeSwitches(benchmark::State& state)
{
    for (auto _ : state) {
        QWidget host;
        host.resize(1000, 640);
        host.show();
        TForm* current = nullptr;
        long cold = 0;
        long first = 0;
        long last = 0;
        long peak = 0;
        // A warm-up round opens each screen once (the fonts, sound devices
        // and parts of the media back end they load stay for the program's
        // life, as they do in the program after its first screens); then the
        // browse screen is the first, and 100 switches end on it again.
        const int warmUp = int(std::size(VideoScreens));
        for (int i = -warmUp; i <= Switches; ++i) {
            const QString name = QString::fromLatin1(VideoScreens[(i + warmUp) % std::size(VideoScreens)]);
            TForm* form = CreateRegisteredForm(name, &host);
            if (!form) {
                state.SkipWithError("a video screen is not registered");
                return;
            }
            // Hosted as the main window hosts it: a child, not a window.
            form->setParent(&host, Qt::Widget);
            form->setGeometry(host.rect());
            AsStudyScreen(form)->SetMediaFile(GLesson);
            form->show();
            Settle();
            delete current;
            current = form;
            Settle();
            const long now = ResidentKiB();
            if (qEnvironmentVariableIsSet("PIBO_TRACE_RSS"))
                std::fprintf(stderr, "switch %d %s: %ld KiB\n", i, qPrintable(name), now);
            if (i == -warmUp)
                cold = now;
            if (i < 0)
                continue;
            if (i == 0)
                first = now;
            last = now;
            peak = std::max(peak, now);
        }
        state.counters["rss_cold_MiB"] = double(cold) / 1024;
        delete current;
        Settle();
        Report(state, first, last, peak);
    }
}
BENCHMARK(BM_VideoModeSwitches)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_VideoPlayerOpenFree(benchmark::State& state)
{
    for (auto _ : state) {
        QWidget host;
        host.resize(1000, 640);
        host.show();
        long first = 0;
        long last = 0;
        long peak = 0;
        for (int i = 0; i <= Switches; ++i) {
            auto player = std::make_unique<TPiboVideoClass>(&host);
            player->setGeometry(0, 0, 1000, 218);
            player->show();
            player->SetFileName(GLesson);
            player->LoadSrt(GLesson);
            Settle();
            const long now = ResidentKiB();
            player.reset();
            Settle();
            if (i == 0)
                first = now;
            last = now;
            peak = std::max(peak, now);
        }
        Report(state, first, last, peak);
    }
}
BENCHMARK(BM_VideoPlayerOpenFree)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    UseGStreamerMediaBackend();
    QApplication app(argc, argv);
    InstallRichTextSuite();
    TAudioSystemGuard audio;
    RegisterPiboPictures();
    RegisterStudyScreens();
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    SetProgramFolder(dir.path() + u'/');
    QDir().mkpath(dir.path() + QStringLiteral("/temp"));
    std::fprintf(stderr, "making a video lesson in %s\n", qPrintable(dir.path()));
    if (!MakeLesson(dir.path()))
        return 1;
    return RunBenchmarks(argc, argv);
}
