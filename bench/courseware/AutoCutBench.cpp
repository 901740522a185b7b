// Automatic sentence cutting over one hour of 44.1 kHz 16-bit stereo sound
// (sentences of 2 to 4 s separated by pauses of 0.3 to 0.6 s), compared in the
// same run with one plain sequential read of the same file. The cutter streams
// the data: the counter PeakRssGrowthKiB is the growth of the process's peak
// resident memory over the cutter's runs, which must not depend on the length
// (compare the 6-minute file). The files are made in a temporary folder at
// start and removed at the end.

#include "UPiboAudioClass.h"

#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::int64_t Rate = 44100;
constexpr std::int64_t FrameBytes = 4;
QString GHourPath;
QString GShortPath;
QString GPlrcPath;
std::int64_t GExpectedCuts = 0;

void PutLE(std::vector<char>& b, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// Writes the file block by block; returns the number of pauses that are cut.
bool MakeSpeechWave(const QString& path, std::int64_t seconds, std::int64_t& cuts)
{
    const std::int64_t dataBytes = Rate * FrameBytes * seconds;
    std::vector<char> header;
    auto put = [&](const char* s) { header.insert(header.end(), s, s + 4); };
    put("RIFF");
    PutLE(header, static_cast<std::uint32_t>(4 + 24 + 8 + 26 + 8 + dataBytes), 4);
    put("WAVE");
    put("fmt ");
    PutLE(header, 16, 4);
    PutLE(header, 1, 2);
    PutLE(header, 2, 2);
    PutLE(header, Rate, 4);
    PutLE(header, Rate * FrameBytes, 4);
    PutLE(header, FrameBytes, 2);
    PutLE(header, 16, 2);
    put("LIST");  // a chunk before the data, as many editors write one
    PutLE(header, 26, 4);
    header.insert(header.end(), 26, 'x');
    put("data");
    PutLE(header, static_cast<std::uint32_t>(dataBytes), 4);
    const int fd = ::open(QFile::encodeName(path).constData(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    if (fd < 0)
        return false;
    bool ok = ::write(fd, header.data(), header.size()) == static_cast<ssize_t>(header.size());

    // 0.5 s of silence, then sentences and pauses of pseudo-random lengths.
    std::vector<std::int16_t> block;
    block.reserve(1 << 19);
    std::uint32_t seed = 2024;
    const auto next = [&seed](int lo, int hi) {
        seed = seed * 1664525u + 1013904223u;
        return lo + static_cast<int>((seed >> 8) % static_cast<std::uint32_t>(hi - lo + 1));
    };
    std::int64_t frame = 0;
    const std::int64_t total = Rate * seconds;
    std::int64_t segmentEnd = Rate / 2;
    bool speech = false;
    cuts = 0;
    while (ok && frame < total) {
        block.clear();
        while (frame < total && block.size() < (1u << 19)) {
            if (frame == segmentEnd) {
                speech = !speech;
                const int ms = speech ? next(2000, 4000) : next(300, 600);
                segmentEnd = frame + Rate * ms / 1000;
                // A pause is cut when at least MinLength (1.2 s) of sound follows.
                if (!speech && frame > Rate && total - segmentEnd >= Rate * 12 / 10)
                    ++cuts;
            }
            const double s = speech ? 9000.0 * std::sin(0.0627 * static_cast<double>(frame)) : 0.0;
            const auto v = static_cast<std::int16_t>(std::lround(s));
            block.push_back(v);
            block.push_back(static_cast<std::int16_t>(-v));
            ++frame;
        }
        const auto n = static_cast<ssize_t>(block.size() * sizeof(std::int16_t));
        ok = ::write(fd, block.data(), static_cast<std::size_t>(n)) == n;
    }
    return ::close(fd) == 0 && ok;
}

// One plain sequential read of the whole file, 64 KiB at a time.
void BM_PlainSequentialRead(benchmark::State& state)
{
    PlainSequentialRead(state, GHourPath);
}

void RunCutter(benchmark::State& state, const QString& wavPath)
{
    const long before = PeakRssKiB();
    const TAudioCutSentencePara para;
    for (auto _ : state) {
        if (AutoCutSentences(wavPath, GPlrcPath, para) != AutoCutOk) {
            state.SkipWithError("the cutter failed");
            return;
        }
    }
    state.counters["PeakRssGrowthKiB"] = static_cast<double>(PeakRssKiB() - before);
    state.SetBytesProcessed(state.iterations() * QFile(wavPath).size());
}

void BM_AutoCutSentencesSixMinutes(benchmark::State& state)
{
    RunCutter(state, GShortPath);
}

void BM_AutoCutSentencesOneHour(benchmark::State& state)
{
    RunCutter(state, GHourPath);
    // Sentences found against the pauses made (one more: the start).
    QFile plrc(GPlrcPath);
    if (plrc.open(QIODevice::ReadOnly))
        state.counters["Sentences"] = static_cast<double>(plrc.readAll().count("\r\n") / 3);
    state.counters["ExpectedSentences"] = static_cast<double>(GExpectedCuts + 1);
}

}  // namespace

BENCHMARK(BM_AutoCutSentencesSixMinutes)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PlainSequentialRead)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_AutoCutSentencesOneHour)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    GHourPath = dir.filePath(QStringLiteral("hour.wav"));
    GShortPath = dir.filePath(QStringLiteral("short.wav"));
    GPlrcPath = dir.filePath(QStringLiteral("hour.plrc"));
    std::int64_t shortCuts = 0;
    if (!MakeSpeechWave(GHourPath, 3600, GExpectedCuts) || !MakeSpeechWave(GShortPath, 360, shortCuts))
        return 1;
    return RunBenchmarks(argc, argv);
}
