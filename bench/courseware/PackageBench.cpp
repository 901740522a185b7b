// The first opening of a lesson package (unzip, split, MP3 to WAV, leading
// silence) side by side with `unzip -o` of the same package plus
// `ffmpeg -i x.mp3 x.wav` of its MP3: each iteration runs ours and then the
// reference, and the counters give the medians of both and of the pair
// ratios (ours / reference). Two lessons: the sample lesson the build makes,
// and a 30-minute package made here from a long speech recording (espeak-ng
// speaks a text, sox repeats it to 30 minutes, lame encodes it). Reopening
// from the cache in temp/ is measured on its own. Everything is made at start
// in a temporary folder, which is also the program folder.

#include "ProgramFolder.h"
#include "UPiboAudioClass.h"
#include "UPiboDataPack.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTemporaryDir>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QString GFolder;

QString F(const QString& name)
{
    return GFolder + QLatin1Char('/') + name;
}

// A lesson to open: the package in the program folder's audio/ and its MP3
// for the reference's decoder.
struct TBenchLesson {
    QString Package;
    QString Mp3;
};

TBenchLesson GSample;
TBenchLesson GLong;

// The MP3 of a package, taken out with our own routines (set-up only).
bool ExtractMp3(const QString& package, const QString& mp3)
{
    const QString work = F("extract");
    QDir(work).removeRecursively();
    QDir().mkpath(work);
    if (!UnzipAll(package, work + QStringLiteral("/body")))
        return false;
    const QStringList bodies = QDir(work).entryList(QDir::Files);
    if (bodies.size() != 1)
        return false;
    QString media = work + QStringLiteral("/media");
    if (!SplitPackFile(work + QLatin1Char('/') + bodies.first(), work + QStringLiteral("/sub.plrc"), media))
        return false;
    QFile::remove(mp3);
    const bool ok = QFile::rename(media, mp3);
    QDir(work).removeRecursively();
    return ok;
}

bool MakeSampleLesson()
{
    GSample.Package = F("audio/第一课-谈季节.pibo");
    GSample.Mp3 = F("sample.mp3");
    QDir().mkpath(F("audio"));
    return QFile::copy(QStringLiteral(PIBO_SAMPLE_AUDIO_LESSON), GSample.Package) && ExtractMp3(GSample.Package, GSample.Mp3);
}

// About a minute of connected English, spoken once and repeated by sox.
const char* const SpeechText =
    "Spring is the season when the days grow longer and the air turns mild. "
    "Farmers plant their fields, children play outside after school, and the trees put out new leaves. "
    "Summer brings long hot afternoons; many families travel to the sea or to the mountains, "
    "and the evenings are full of music and light. "
    "In autumn the leaves turn red and gold, the harvest is brought in, and students return to their classrooms. "
    "Winter is cold and quiet; snow covers the roads, people stay at home with their friends, "
    "and everyone waits for the new year. "
    "Which season do you like best, and why? Tell your partner about the weather where you live, "
    "what you like to eat in each season, and how you spend your holidays. "
    "Listen carefully to each sentence, repeat it aloud, and then write it down without looking at the text.";

bool MakeLongLesson()
{
    GLong.Package = F("audio/Speech30.pibo");
    GLong.Mp3 = F("speech30.mp3");
    const QString text = F("speech.txt");
    {
        QFile f(text);
        if (!f.open(QIODevice::WriteOnly) || f.write(SpeechText) < 0)
            return false;
    }
    if (!RunTool("espeak-ng", {"-v", "en-us", "-s", "150", "-f", text, "-w", F("speech.wav")}))
        return false;
    // Repeated to at least 30 minutes, as a 44.1 kHz stereo recording.
    if (!RunTool("sox", {F("speech.wav"), "-r", "44100", "-c", "2", F("speech30.wav"), "repeat", "60", "trim", "0",
                         "1800"}))
        return false;
    if (!RunTool("lame", {"--quiet", "-b", "128", F("speech30.wav"), GLong.Mp3}))
        return false;
    QFile::remove(F("speech.wav"));
    QFile::remove(F("speech30.wav"));
    // One sentence every 4 s.
    TAudioLrcItems items;
    for (int ms = 0; ms < 1800000; ms += 4000) {
        TAudioLrcItem item;
        item.StartTime = MSecToLrcTime(ms);
        item.English = QStringLiteral("Sentence at %1").arg(ms);
        item.China = QStringLiteral("第%1句").arg(ms / 4000 + 1);
        items.append(item);
    }
    const QString plrc = F("speech30.plrc");
    return SavePlrcFile(items, plrc) && JoinPackFile(plrc, GLong.Mp3, GLong.Package) && ZipInPlace(GLong.Package);
}

void ClearCache()
{
    QDir(ProgramFolder() + QStringLiteral("temp")).removeRecursively();
    QDir().mkpath(ProgramFolder() + QStringLiteral("temp"));
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n == 0 ? 0.0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// One pair an iteration: our first opening, then the reference on the same
// package; the iteration's time is the sum, the counters the medians.
void OpenFirstSideBySide(benchmark::State& state, const TBenchLesson& lesson)
{
    std::vector<double> ours;
    std::vector<double> reference;
    std::vector<double> ratios;
    const QString out = F("ref");
    for (auto _ : state) {
        state.PauseTiming();
        ClearCache();
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        state.ResumeTiming();

        QElapsedTimer timer;
        timer.start();
        QString play;
        if (!OpenPackage(lesson.Package, play)) {
            state.SkipWithError("opening failed");
            return;
        }
        const double a = double(timer.nsecsElapsed()) / 1e6;

        timer.restart();
        if (!RunTool("unzip", {"-q", "-o", lesson.Package, "-d", out})
            || !RunTool("ffmpeg", {"-v", "error", "-y", "-i", lesson.Mp3, out + "/x.wav"})) {
            state.SkipWithError("the tools failed");
            return;
        }
        const double b = double(timer.nsecsElapsed()) / 1e6;
        ours.push_back(a);
        reference.push_back(b);
        ratios.push_back(a / b);
    }
    state.counters["ours_ms"] = Median(ours);
    state.counters["reference_ms"] = Median(reference);
    state.counters["ratio"] = Median(ratios);
}

void BM_SampleLesson_FirstOpening(benchmark::State& state)
{
    OpenFirstSideBySide(state, GSample);
}

void BM_Package30Min_FirstOpening(benchmark::State& state)
{
    OpenFirstSideBySide(state, GLong);
}

void BM_Package30Min_Cached(benchmark::State& state)
{
    QString play;
    if (!OpenPackage(GLong.Package, play)) {
        state.SkipWithError("opening failed");
        return;
    }
    for (auto _ : state) {
        if (!OpenPackage(GLong.Package, play)) {
            state.SkipWithError("reopening failed");
            return;
        }
    }
}

}  // namespace

BENCHMARK(BM_SampleLesson_FirstOpening)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(15);
BENCHMARK(BM_Package30Min_FirstOpening)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_Package30Min_Cached)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    GFolder = dir.path();
    SetProgramFolder(GFolder);
    QDir().mkpath(GFolder + QStringLiteral("/temp"));
    std::fprintf(stderr, "making the lessons in %s\n", qPrintable(GFolder));
    if (!MakeSampleLesson() || !MakeLongLesson()) {
        std::fprintf(stderr, "the lessons could not be made\n");
        return 1;
    }
    return RunBenchmarks(argc, argv);
}
