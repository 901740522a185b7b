// The browse-and-recite screen, on the test audio device:
// - BM_FillGrid / BM_Shuffle: the sentence grid of a two-hour lesson of 2,000
//   sentences filled and laid out in file order, and reordered at random
//   ("随机"), against BM_QTableWidgetFill: a QTableWidget filled with the same
//   four columns (check state, number, English, Chinese) in the same run.
//   Target: at most 2x the table's time.
// - BM_ExportEverySentence: the 300 sentences of a 30-minute lesson exported
//   as MP3 clips with their ".lrc", against BM_ExportEverySentence_SoxLame:
//   `sox trim` and `lame -b 128` per clip in a shell loop. Target: at most 1.2x.
// - BM_RecordOneHour: the speak screen records an hour from the test device
//   (silence, delivered 200 ms at a time as fast as the recorder takes it);
//   peak_rss_growth_MiB must stay under 20, file_grew_every_minute 1.

#include "RichTextSuite.h"
#include "AudioDevice.h"
#include "ProgramFolder.h"
#include "TestAudioDevice.h"
#include "UCommonFun.h"
#include "UFrmBrowseRecite.h"
#include "UFrmStudySpeak.h"
#include "UPiboAudioClass.h"
#include "UPiboAudioPlay.h"
#include "UPiboStringGrid.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtWidgets/QApplication>
#include <QtWidgets/QTableWidget>

#include "BenchSupport.h"
#include "PiboPictures.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

QString GFolder;

// A mono 16-bit WAV of the given length (a quiet hiss) with a sentence every
// sentenceMs in its ".plrc".
bool MakeLesson(const QString& name, int minutes, int rate, int sentenceMs)
{
    const qint64 frames = qint64(minutes) * 60 * rate;
    const QByteArray header = PcmWaveHeader(1, rate, 16, quint32(frames * 2));
    QFile f(GFolder + u'/' + name + QStringLiteral(".wav"));
    if (!f.open(QIODevice::WriteOnly) || f.write(header) != header.size())
        return false;
    std::vector<qint16> block(rate);
    quint32 seed = 11;
    for (qint64 second = 0; second < qint64(minutes) * 60; ++second) {
        for (auto& s : block) {
            seed = seed * 1664525u + 1013904223u;
            s = static_cast<qint16>((seed >> 16) % 4000) - 2000;
        }
        const qint64 n = qint64(block.size() * sizeof(qint16));
        if (f.write(reinterpret_cast<const char*>(block.data()), n) != n)
            return false;
    }
    f.close();
    TAudioLrcItems items;
    for (int ms = 0; ms < minutes * 60000; ms += sentenceMs) {
        TAudioLrcItem item;
        item.StartTime = MSecToLrcTime(ms);
        item.English = QStringLiteral("This is the sentence that starts at %1 ms of the lesson.").arg(ms);
        item.China = QStringLiteral("这是课文的第%1句。").arg(ms / sentenceMs + 1);
        items.append(item);
    }
    return SavePlrcFile(items, GFolder + u'/' + name + QStringLiteral(".plrc"));
}

std::unique_ptr<TFrmBrowseRecite> OpenScreen(const QString& name)
{
    auto screen = std::make_unique<TFrmBrowseRecite>();
    screen->SetMediaFile(GFolder + u'/' + name + QStringLiteral(".wav"));
    screen->resize(1000, 700);
    screen->show();
    QApplication::processEvents();
    return screen;
}

void BM_FillGrid(benchmark::State& state)
{
    TTestAudioSystem system(1);
    SetAudioSystem(&system);
    auto screen = OpenScreen(QStringLiteral("twohours"));
    if (screen->Grid->RowCount() != 2000)
        state.SkipWithError("the lesson has not 2,000 sentences");
    for (auto _ : state) {
        screen->FillGrid(potOrder);
        screen->LayoutGrid();
        screen->Grid->repaint();
    }
    screen.reset();
    SetAudioSystem(nullptr);
}

void BM_Shuffle(benchmark::State& state)
{
    TTestAudioSystem system(1);
    SetAudioSystem(&system);
    auto screen = OpenScreen(QStringLiteral("twohours"));
    for (auto _ : state) {
        screen->N3Click();
        screen->LayoutGrid();
        screen->Grid->repaint();
    }
    screen.reset();
    SetAudioSystem(nullptr);
}

void BM_QTableWidgetFill(benchmark::State& state)
{
    TAudioLrcItems items;
    LoadLrcFile(items, GFolder + QStringLiteral("/twohours.wav"));
    QTableWidget table;
    table.resize(1000, 500);
    table.show();
    QApplication::processEvents();
    for (auto _ : state) {
        table.clearContents();
        table.setColumnCount(4);
        table.setRowCount(static_cast<int>(items.size()));
        for (int r = 0; r < items.size(); ++r) {
            auto* number = new QTableWidgetItem(QString::number(r + 1));
            number->setCheckState(Qt::Checked);
            table.setItem(r, 0, number);
            table.setItem(r, 1, new QTableWidgetItem(items[r].English));
            table.setItem(r, 2, new QTableWidgetItem(items[r].China));
            table.setItem(r, 3, new QTableWidgetItem());
        }
        table.setColumnWidth(1, 450);
        table.setColumnWidth(2, 450);
        table.viewport()->repaint();
    }
}

void BM_ExportEverySentence(benchmark::State& state)
{
    TTestAudioSystem system(1);
    SetAudioSystem(&system);
    auto screen = OpenScreen(QStringLiteral("halfhour"));
    if (screen->AudioPlayer()->Count() != 300)
        state.SkipWithError("the lesson has not 300 sentences");
    const QString out = GFolder + QStringLiteral("/ours");
    for (auto _ : state) {
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        screen->ExportSentencesTo(out, false);
    }
    if (!QFile::exists(out + QStringLiteral("/halfhour/halfhour_299.mp3")))
        state.SkipWithError("the clips were not written");
    screen.reset();
    SetAudioSystem(nullptr);
}

void BM_ExportEverySentence_SoxLame(benchmark::State& state)
{
    const QString out = GFolder + QStringLiteral("/tools");
    const QString script = QStringLiteral(
        "for i in $(seq 0 299); do "
        "sox \"$1/halfhour.wav\" \"$2/cut.wav\" trim $((i*6)) 6 && "
        "lame --quiet -b 128 \"$2/cut.wav\" \"$2/halfhour_$i.mp3\" || exit 1; "
        "done");
    for (auto _ : state) {
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        if (!RunTool(QStringLiteral("sh"), {QStringLiteral("-c"), script, QStringLiteral("sh"), GFolder, out})) {
            state.SkipWithError("the tools failed");
            break;
        }
    }
}

void BM_RecordOneHour(benchmark::State& state)
{
    TTestAudioSystem system(1);
    SetAudioSystem(&system);
    auto screen = std::make_unique<TFrmStudySpeak>();
    screen->SetMediaFile(GFolder + QStringLiteral("/twohours.wav"));
    screen->resize(1000, 700);
    screen->show();
    QApplication::processEvents();
    const QString work = RecordWorkFile();
    // Runs events until the recorder has taken ms; false after a minute without progress.
    const auto reach = [&](qint64 ms) {
        QDeadlineTimer deadline(60000);
        while (screen->WaveRecorder()->PositionMs() < ms && !deadline.hasExpired())
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        return screen->WaveRecorder()->PositionMs() >= ms;
    };
    for (auto _ : state) {
        ResetPeakRss();
        const long before = PeakRssKiB();
        screen->psbNoRecordClick();
        qint64 lastSize = 0;
        bool grew = true;
        for (qint64 ms = 200; ms <= 3600000; ms += 200) {
            system.AdvanceMs(200);
            if (!reach(ms)) {
                state.SkipWithError("the recording stalled");
                break;
            }
            if (ms % 60000 == 0) {
                screen->RecordTimerTimer();
                const qint64 size = QFileInfo(work).size();
                grew = grew && size > lastSize;
                lastSize = size;
            }
        }
        screen->psbNoRecordClick();
        QDeadlineTimer deadline(60000);
        while (screen->RecordingLook() && !deadline.hasExpired())
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        state.counters["peak_rss_growth_MiB"] = double(PeakRssKiB() - before) / 1024.0;
        state.counters["file_MiB"] = double(QFileInfo(work).size()) / (1024.0 * 1024.0);
        state.counters["file_grew_every_minute"] = grew ? 1 : 0;
        state.counters["cost_time_s"] = screen->SpeakRecord().CostTime;
    }
    screen.reset();
    QFile::remove(work);
    SetAudioSystem(nullptr);
}

}  // namespace

BENCHMARK(BM_FillGrid)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_Shuffle)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_QTableWidgetFill)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_ExportEverySentence)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_ExportEverySentence_SoxLame)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_RecordOneHour)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InstallRichTextSuite();
    TAudioSystemGuard audio;
    RegisterPiboPictures();
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    GFolder = dir.path();
    SetProgramFolder(GFolder + u'/');
    QDir().mkpath(GFolder + QStringLiteral("/temp"));
    std::fprintf(stderr, "making a two-hour and a 30-minute lesson in %s\n", qPrintable(GFolder));
    // Two hours, a sentence every 3.6 s: 2,000 sentences; 30 minutes, every 6 s: 300.
    if (!MakeLesson(QStringLiteral("twohours"), 120, 2000, 3600) || !MakeLesson(QStringLiteral("halfhour"), 30, 44100, 6000))
        return 1;
    return RunBenchmarks(argc, argv);
}
