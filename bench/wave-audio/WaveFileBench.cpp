// Reading a one-hour 44.1 kHz 16-bit stereo WAV file through the wave file
// component, as the playback device pulls it, compared in the same run with a
// plain sequential read of the same file. The file is made in a temporary
// folder at start and removed at the end.

#include "SndWave.h"

#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::int64_t Rate = 44100;
constexpr std::int64_t DataBytes = Rate * 4 * 3600;  // one hour, 16-bit stereo
QString GWavePath;

void PutLE(std::vector<char>& b, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

bool MakeHourWave(const QString& path)
{
    std::vector<char> header;
    auto put = [&](const char* s) { header.insert(header.end(), s, s + 4); };
    put("RIFF");
    PutLE(header, static_cast<std::uint32_t>(36 + DataBytes), 4);
    put("WAVE");
    put("fmt ");
    PutLE(header, 16, 4);
    PutLE(header, 1, 2);
    PutLE(header, 2, 2);
    PutLE(header, Rate, 4);
    PutLE(header, Rate * 4, 4);
    PutLE(header, 4, 2);
    PutLE(header, 16, 2);
    put("data");
    PutLE(header, static_cast<std::uint32_t>(DataBytes), 4);
    const int fd = ::open(QFile::encodeName(path).constData(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    if (fd < 0)
        return false;
    bool ok = ::write(fd, header.data(), header.size()) == static_cast<ssize_t>(header.size());
    std::vector<char> block(1 << 20);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>((i * 31) ^ (i >> 9));
    for (std::int64_t left = DataBytes; ok && left > 0;) {
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(block.size())));
        ok = ::write(fd, block.data(), n) == static_cast<ssize_t>(n);
        left -= static_cast<std::int64_t>(n);
    }
    return ::close(fd) == 0 && ok;
}

// The plain sequential read of the whole file, 64 KiB at a time.
void BM_PlainSequentialRead(benchmark::State& state)
{
    PlainSequentialRead(state, GWavePath);
}

// The whole play range through the wave file component, in buffers of
// state.range(0) bytes, as the wave-out device asks for them.
void BM_WaveFileComponentRead(benchmark::State& state)
{
    const auto bufferSize = static_cast<std::uint32_t>(state.range(0));
    std::vector<char> data(bufferSize);
    std::int64_t total = 0;
    for (auto _ : state) {
        TSndWaveFile file;
        file.Wave()->SetFileName(GWavePath);
        file.SetBufferSize(static_cast<std::int32_t>(bufferSize));
        file.Opened();
        file.Started();
        total = 0;
        for (;;) {
            TSndWaveHdr hdr;
            hdr.lpData = data.data();
            hdr.dwBufferLength = bufferSize;
            bool more = false;
            file.BufferLoad(&hdr, more);
            total += hdr.dwBytesRecorded;
            if (hdr.dwBytesRecorded == 0 || !more)
                break;
        }
        file.Stopped();
        file.Closed();
        if (total != DataBytes) {
            state.SkipWithError("the component delivered a different number of bytes");
            return;
        }
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(state.iterations() * total);
}

}  // namespace

BENCHMARK(BM_PlainSequentialRead)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WaveFileComponentRead)->Arg(2048)->Arg(65536)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    GWavePath = dir.filePath(QStringLiteral("hour.wav"));
    if (!MakeHourWave(GWavePath))
        return 1;
    return RunBenchmarks(argc, argv);
}
