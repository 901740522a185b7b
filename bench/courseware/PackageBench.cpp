// Opening a 30-minute MP3 lesson package (unzip, split, MP3 to WAV, leading
// silence) against `unzip -o` of the same data plus `ffmpeg -i x.mp3 x.wav`
// in the same run, and reopening it from the cache in temp/. The lesson is
// made at start in a temporary folder, which is also the program folder.

#include "ProgramFolder.h"
#include "UAudioConverters.h"
#include "UPiboAudioClass.h"
#include "UPiboDataPack.h"
#include "UPrepareAudio.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

QString GFolder;

QString F(const QString& name)
{
    return GFolder + QLatin1Char('/') + name;
}

bool MakeLesson()
{
    if (!RunTool("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                        "anoisesrc=d=1800:c=pink:r=44100:a=0.25,aformat=channel_layouts=stereo", "-c:a", "pcm_s16le",
                        F("source.wav")}))
        return false;
    if (!RunTool("lame", {"--quiet", "-b", "128", F("source.wav"), F("lesson.mp3")}))
        return false;
    QFile::remove(F("source.wav"));
    // One sentence every 3 s.
    TAudioLrcItems items;
    for (int ms = 0; ms < 1800000; ms += 3000) {
        TAudioLrcItem item;
        item.StartTime = MSecToLrcTime(ms);
        item.English = QStringLiteral("Sentence at %1").arg(ms);
        item.China = QStringLiteral("第%1句").arg(ms / 3000 + 1);
        items.append(item);
    }
    if (!SavePlrcFile(items, F("lesson.plrc")))
        return false;
    if (!JoinPackFile(F("lesson.plrc"), F("lesson.mp3"), F("Lesson30.pibo")) || !ZipInPlace(F("Lesson30.pibo")))
        return false;
    // The reference's archive: the same MP3 zipped by the zip tool.
    return RunTool("zip", {"-q", "-j", F("reference.zip"), F("lesson.mp3")});
}

void ClearCache()
{
    QDir temp(ProgramFolder() + QStringLiteral("temp"));
    for (const QString& name : temp.entryList(QDir::Files))
        temp.remove(name);
}

void BM_OpenPackage_First(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        ClearCache();
        state.ResumeTiming();
        QString play;
        if (!OpenPackage(F("Lesson30.pibo"), play)) {
            state.SkipWithError("opening failed");
            return;
        }
    }
}

void BM_OpenPackage_Cached(benchmark::State& state)
{
    QString play;
    if (!OpenPackage(F("Lesson30.pibo"), play)) {
        state.SkipWithError("opening failed");
        return;
    }
    for (auto _ : state) {
        if (!OpenPackage(F("Lesson30.pibo"), play)) {
            state.SkipWithError("reopening failed");
            return;
        }
    }
}

void BM_Reference_UnzipAndFfmpeg(benchmark::State& state)
{
    const QString out = F("ref");
    for (auto _ : state) {
        state.PauseTiming();
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        state.ResumeTiming();
        if (!RunTool("unzip", {"-q", "-o", F("reference.zip"), "-d", out})
            || !RunTool("ffmpeg", {"-v", "error", "-y", "-i", out + "/lesson.mp3", out + "/lesson.wav"})) {
            state.SkipWithError("the tools failed");
            return;
        }
    }
}

}  // namespace

BENCHMARK(BM_OpenPackage_First)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_Reference_UnzipAndFfmpeg)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_OpenPackage_Cached)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    GFolder = dir.path();
    SetProgramFolder(GFolder);
    QDir().mkpath(GFolder + QStringLiteral("/temp"));
    std::fprintf(stderr, "making a 30-minute lesson package in %s\n", qPrintable(GFolder));
    if (!MakeLesson())
        return 1;
    return RunBenchmarks(argc, argv);
}
