// MP3 to WAV and WAV to MP3 (128 kbit/s) of a 30-minute lesson through the
// converters, against `ffmpeg -i x.mp3 x.wav` and `lame -b 128` on the same
// files in the same run. The lesson (and a 3-minute cut of it, to show that
// memory does not grow with the length) is made at start in a temporary
// folder. The counter peak_rss_growth_MiB is how far the peak resident memory
// of this process rose during the conversion (after one conversion each way
// has loaded the libraries).

#include "UAudioConverters.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

QString GFolder;

QString Lesson(int minutes, const char* extension)
{
    return GFolder + QStringLiteral("/lesson%1.%2").arg(minutes).arg(QLatin1String(extension));
}

bool MakeLessons()
{
    // Speech-like sound: pink noise shaped by a slow tone, 44.1 kHz stereo,
    // encoded at 128 kbit/s as lessons come.
    const QString wav30 = Lesson(30, "wav");
    if (!RunTool("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                        "anoisesrc=d=1800:c=pink:r=44100:a=0.25,aformat=channel_layouts=stereo", "-f", "lavfi", "-i",
                        "sine=f=220:d=1800:r=44100", "-filter_complex", "[0][1]amix=inputs=2", "-c:a", "pcm_s16le",
                        wav30}))
        return false;
    if (!RunTool("lame", {"--quiet", "-b", "128", wav30, Lesson(30, "mp3")}))
        return false;
    return RunTool("ffmpeg", {"-v", "error", "-y", "-i", Lesson(30, "mp3"), "-t", "180", "-c", "copy", Lesson(3, "mp3")});
}

void Converter(benchmark::State& state, std::uint8_t mode, const QString& in, const QString& out)
{
    long growth = 0;
    for (auto _ : state) {
        QFile::remove(out);
        ResetPeakRss();
        const long before = PeakRssKiB();
        TAudioConverters converter;
        if (!converter.Convert(mode, in, out)) {
            state.SkipWithError(("conversion failed: " + converter.LastError().toStdString()).c_str());
            return;
        }
        growth = std::max(growth, PeakRssKiB() - before);
    }
    state.counters["peak_rss_growth_MiB"] = double(growth) / 1024.0;
}

void Tool(benchmark::State& state, const QString& program, const QStringList& args, const QString& out)
{
    for (auto _ : state) {
        QFile::remove(out);
        if (!RunTool(program, args)) {
            state.SkipWithError("the tool failed");
            return;
        }
    }
}

void BM_Mp3ToWav_Converters(benchmark::State& state)
{
    const int minutes = int(state.range(0));
    Converter(state, TAudioConverters::cmMp3ToWav, Lesson(minutes, "mp3"), GFolder + "/ours.wav");
}

void BM_Mp3ToWav_Ffmpeg(benchmark::State& state)
{
    const QString out = GFolder + "/ffmpeg.wav";
    Tool(state, "ffmpeg", {"-v", "error", "-y", "-i", Lesson(30, "mp3"), out}, out);
}

void BM_WavToMp3_Converters(benchmark::State& state)
{
    Converter(state, TAudioConverters::cmWavToMp3, Lesson(30, "wav"), GFolder + "/ours.mp3");
}

void BM_WavToMp3_Lame(benchmark::State& state)
{
    const QString out = GFolder + "/lame.mp3";
    Tool(state, "lame", {"--quiet", "-b", "128", Lesson(30, "wav"), out}, out);
}

// The converters encode stereo as plain (not joint) stereo without bit
// reservoir; lame with the same settings does the same work.
void BM_WavToMp3_LameSameSettings(benchmark::State& state)
{
    const QString out = GFolder + "/lame_same.mp3";
    Tool(state, "lame", {"--quiet", "-b", "128", "-m", "s", "--nores", Lesson(30, "wav"), out}, out);
}

}  // namespace

BENCHMARK(BM_Mp3ToWav_Converters)->Arg(3)->Arg(30)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_Mp3ToWav_Ffmpeg)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_WavToMp3_Converters)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_WavToMp3_Lame)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_WavToMp3_LameSameSettings)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    GFolder = dir.path();
    std::fprintf(stderr, "making a 30-minute lesson in %s\n", qPrintable(GFolder));
    if (!MakeLessons())
        return 1;
    {
        // One conversion each way first, so that the memory counters show
        // the conversions and not the first loading of the libraries.
        TAudioConverters warmUp;
        if (!warmUp.Convert(TAudioConverters::cmMp3ToWav, Lesson(3, "mp3"), GFolder + "/warm.wav")
            || !warmUp.Convert(TAudioConverters::cmWavToMp3, GFolder + "/warm.wav", GFolder + "/warm.mp3"))
            return 1;
    }
    return RunBenchmarks(argc, argv);
}
