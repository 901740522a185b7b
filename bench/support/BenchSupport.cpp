#include "BenchSupport.h"

#include <QtCore/QFile>
#include <QtCore/QProcess>

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

long PeakRssKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

void ResetPeakRss()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

void PlainSequentialRead(benchmark::State& state, const QString& path)
{
    std::vector<char> buffer(65536);
    std::int64_t total = 0;
    for (auto _ : state) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        if (fd < 0) {
            state.SkipWithError("cannot open the file");
            return;
        }
        total = 0;
        for (;;) {
            const ssize_t n = ::read(fd, buffer.data(), buffer.size());
            if (n <= 0)
                break;
            total += n;
        }
        ::close(fd);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(state.iterations() * total);
}

bool RunTool(const QString& program, const QStringList& args)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, args);
    return process.waitForStarted(10000) && process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit
           && process.exitCode() == 0;
}

QByteArray PcmWaveHeader(int channels, int rate, int bits, std::uint32_t dataBytes)
{
    QByteArray b;
    const auto put = [&b](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    const std::uint32_t align = static_cast<std::uint32_t>(channels * bits / 8);
    b.append("RIFF");
    put(36 + dataBytes, 4);
    b.append("WAVEfmt ");
    put(16, 4);
    put(1, 2);
    put(static_cast<std::uint32_t>(channels), 2);
    put(static_cast<std::uint32_t>(rate), 4);
    put(static_cast<std::uint32_t>(rate) * align, 4);
    put(align, 2);
    put(static_cast<std::uint32_t>(bits), 2);
    b.append("data");
    put(dataBytes, 4);
    return b;
}

int RunBenchmarks(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
