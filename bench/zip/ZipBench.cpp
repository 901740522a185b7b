// Extracting and writing a 100 MB deflated entry with the library, against
// `unzip -p` and `zip -6` on the same data, in one run.

#include "ArcUnZip.h"
#include "ArcZip.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QProcess>
#include <QtCore/QStandardPaths>
#include <QtCore/QTemporaryDir>

#include <benchmark/benchmark.h>

#include <random>

namespace {
constexpr int64_t DataSize = 100 * 1024 * 1024;

struct TBenchFiles {
    QTemporaryDir Dir;
    QString Source;
    QString Archive;
    TBenchFiles()
    {
        Source = Dir.path() + QStringLiteral("/words.txt");
        Archive = Dir.path() + QStringLiteral("/words.zip");
        // Pseudo-random words: compressible, but not trivially.
        static const char* const words[] = {"listen", "write", "sentence", "lesson", "practice", "learner", "voice",
                                            "record", "answer", "check", "word", "english", "chinese", "dictation",
                                            "play", "repeat", "course", "time", "study", "screen", "tape", "speak"};
        std::mt19937 rng(2024);
        QByteArray data;
        data.reserve(DataSize + 64);
        while (data.size() < DataSize) {
            data.append(words[rng() % 22]);
            data.append(rng() % 17 == 0 ? ".\n" : " ");
            if (rng() % 5 == 0)
                data.append(QByteArray::number(static_cast<int>(rng() % 1000000)));
        }
        data.resize(DataSize);
        QFile f(Source);
        f.open(QIODevice::WriteOnly);
        f.write(data);
        f.close();
        TArcZip z;
        z.SetZipName(Archive);
        z.SetPackLevel(6);
        z.FilesList() << Source;
        z.Zip();
    }
};

TBenchFiles& Files()
{
    static TBenchFiles files;
    return files;
}

int Run(const QString& program, const QStringList& args, const QString& stdoutFile = QString())
{
    QProcess p;
    p.setWorkingDirectory(Files().Dir.path());
    p.setStandardOutputFile(stdoutFile.isEmpty() ? QProcess::nullDevice() : stdoutFile);
    p.start(program, args);
    p.waitForFinished(-1);
    return p.exitCode();
}

void BM_ExtractLibrary(benchmark::State& state)
{
    const QString dest = Files().Dir.path() + QStringLiteral("/out");
    for (auto _ : state) {
        TArcUnZip z;
        z.SetZipName(Files().Archive);
        z.SetDestDir(dest);
        z.SetDoAll(true);
        z.SetOverwriteMode(TUZOverwriteMode::Always);
        if (z.UnZip() != 1)
            state.SkipWithError("extraction failed");
    }
    state.counters["archive_bytes"] = static_cast<double>(QFileInfo(Files().Archive).size());
    state.counters["output_bytes"] = static_cast<double>(QFileInfo(dest + QStringLiteral("/words.txt")).size());
    state.SetBytesProcessed(state.iterations() * DataSize);
}

void BM_ExtractUnzipTool(benchmark::State& state)
{
    if (QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty()) {
        state.SkipWithError("unzip missing");
        return;
    }
    const QString out = Files().Dir.path() + QStringLiteral("/unzip-p.txt");
    for (auto _ : state)
        if (Run(QStringLiteral("unzip"), {QStringLiteral("-p"), Files().Archive}, out) != 0)
            state.SkipWithError("unzip failed");
    state.counters["archive_bytes"] = static_cast<double>(QFileInfo(Files().Archive).size());
    state.counters["output_bytes"] = static_cast<double>(QFileInfo(out).size());
    state.SetBytesProcessed(state.iterations() * DataSize);
}

void BM_ZipLibraryLevel6(benchmark::State& state)
{
    const QString zip = Files().Dir.path() + QStringLiteral("/lib6.zip");
    for (auto _ : state) {
        QFile::remove(zip);
        TArcZip z;
        z.SetZipName(zip);
        z.SetPackLevel(6);
        z.FilesList() << Files().Source;
        if (z.Zip() != 1)
            state.SkipWithError("zip failed");
    }
    state.counters["input_bytes"] = static_cast<double>(DataSize);
    state.counters["archive_bytes"] = static_cast<double>(QFileInfo(zip).size());
    state.SetBytesProcessed(state.iterations() * DataSize);
}

void BM_ZipTool6(benchmark::State& state)
{
    if (QStandardPaths::findExecutable(QStringLiteral("zip")).isEmpty()) {
        state.SkipWithError("zip missing");
        return;
    }
    const QString zip = Files().Dir.path() + QStringLiteral("/tool6.zip");
    for (auto _ : state) {
        QFile::remove(zip);
        if (Run(QStringLiteral("zip"), {QStringLiteral("-6"), QStringLiteral("-q"), QStringLiteral("-j"), zip, Files().Source}) != 0)
            state.SkipWithError("zip failed");
    }
    state.counters["input_bytes"] = static_cast<double>(DataSize);
    state.counters["archive_bytes"] = static_cast<double>(QFileInfo(zip).size());
    state.SetBytesProcessed(state.iterations() * DataSize);
}
}  // namespace

BENCHMARK(BM_ExtractLibrary)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_ExtractUnzipTool)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_ZipLibraryLevel6)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_ZipTool6)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

BENCHMARK_MAIN();
