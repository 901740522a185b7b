// Archives with many small entries, side by side with the system's tools in
// one run: listing against `unzip -l` (35,000, 70,000 and 140,000 entries, to
// show that the time grows with the count and no faster), extracting 70,000
// entries against `unzip -q -o`, and zipping a 70,000-file tree at level 6
// against `zip -q -6 -r`.

#include "ArcUnZip.h"
#include "ArcZip.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QProcess>
#include <QtCore/QStandardPaths>
#include <QtCore/QTemporaryDir>

#include <benchmark/benchmark.h>

#include <map>
#include <random>

namespace {
constexpr int TreeFiles = 70000;
constexpr int FilesPerFolder = 700;

// A few hundred bytes of pseudo-random words.
QByteArray SmallText(std::mt19937& rng)
{
    static const char* const words[] = {"listen", "write", "sentence", "lesson", "practice", "learner", "voice", "record",
                                        "answer", "check",  "word",     "english", "chinese", "dictation", "play", "repeat"};
    QByteArray data;
    const size_t size = 200 + rng() % 400;
    while (static_cast<size_t>(data.size()) < size) {
        data.append(words[rng() % 16]);
        data.append(rng() % 11 == 0 ? ".\n" : " ");
    }
    return data;
}

// Every benchmark needs the tools (they make the archives); without them it
// is skipped.
bool ToolsMissing(benchmark::State& state)
{
    if (!QStandardPaths::findExecutable(QStringLiteral("zip")).isEmpty() && !QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty())
        return false;
    state.SkipWithError("zip or unzip missing");
    return true;
}

// Removes an archive outside the measured time.
void RemoveUntimed(benchmark::State& state, const QString& path)
{
    state.PauseTiming();
    QFile::remove(path);
    state.ResumeTiming();
}

int Run(const QString& folder, const QString& program, const QStringList& args)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(program, args);
    p.waitForFinished(-1);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// The tree of small files, and archives of it made by the zip tool.
struct TManyFiles {
    QTemporaryDir Dir;
    QString Tree;                      // <dir>/tree, TreeFiles files in folders of FilesPerFolder
    std::map<int, QString> Archives;   // entry count -> archive of that many small entries

    TManyFiles()
    {
        Tree = Dir.path() + QStringLiteral("/tree");
        std::mt19937 rng(70000);
        for (int i = 0; i < TreeFiles; ++i) {
            const QString folder = Tree + QStringLiteral("/d%1").arg(i / FilesPerFolder, 3, 10, QLatin1Char('0'));
            if (i % FilesPerFolder == 0)
                QDir().mkpath(folder);
            QFile f(folder + QStringLiteral("/file%1.txt").arg(i, 6, 10, QLatin1Char('0')));
            f.open(QIODevice::WriteOnly);
            f.write(SmallText(rng));
        }
        // The 70,000-entry archive holds the tree; the others repeat its
        // folders under more top-level names to reach their counts.
        for (int count : {35000, 70000, 140000}) {
            const QString name = Dir.path() + QStringLiteral("/many%1.zip").arg(count);
            if (count == TreeFiles) {
                Run(Dir.path(), QStringLiteral("zip"), {QStringLiteral("-q"), QStringLiteral("-6"), QStringLiteral("-r"), QStringLiteral("-D"), name, QStringLiteral("tree")});
            } else {
                QStringList args {QStringLiteral("-q"), QStringLiteral("-6"), QStringLiteral("-r"), QStringLiteral("-D"), name};
                const QString copies = Dir.path() + QStringLiteral("/copies%1").arg(count);
                QDir().mkpath(copies);
                for (int c = 0; c * TreeFiles < count; ++c) {
                    const QString link = copies + QStringLiteral("/t%1").arg(c);
                    QFile::link(Tree, link);
                }
                if (count < TreeFiles) {
                    // Half the tree: the first half of its folders.
                    for (int d = 0; d < TreeFiles / FilesPerFolder / 2; ++d)
                        args << QStringLiteral("tree/d%1").arg(d, 3, 10, QLatin1Char('0'));
                    Run(Dir.path(), QStringLiteral("zip"), args);
                } else {
                    args << QStringLiteral(".");
                    Run(copies, QStringLiteral("zip"), args);
                }
            }
            Archives[count] = name;
        }
    }
};

TManyFiles& Files()
{
    static TManyFiles files;
    return files;
}

void BM_ListLibrary(benchmark::State& state)
{
    if (ToolsMissing(state))
        return;
    const QString archive = Files().Archives[static_cast<int>(state.range(0))];
    int count = 0;
    for (auto _ : state) {
        TArcUnZip z;
        z.SetZipName(archive);
        z.ReadZip();
        count = z.Count();
        uint64_t total = 0;
        for (int i = 0; i < count; ++i) {
            const TZipHeaderInfo& e = z.Entry(i);
            total += e.GetUncompressedSize() + e.last_mod_file_date_time + static_cast<uint64_t>(e.FullName().size());
        }
        benchmark::DoNotOptimize(total);
    }
    if (count != state.range(0))
        state.SkipWithError("wrong entry count");
    state.counters["entries"] = count;
}

void BM_ListUnzipTool(benchmark::State& state)
{
    if (ToolsMissing(state))
        return;
    const QString archive = Files().Archives[static_cast<int>(state.range(0))];
    for (auto _ : state)
        if (Run(Files().Dir.path(), QStringLiteral("unzip"), {QStringLiteral("-l"), archive}) != 0)
            state.SkipWithError("unzip failed");
    state.counters["entries"] = static_cast<double>(state.range(0));
}

void BM_ExtractLibrary(benchmark::State& state)
{
    if (ToolsMissing(state))
        return;
    const QString dest = Files().Dir.path() + QStringLiteral("/out-library");
    int n = 0;
    for (auto _ : state) {
        TArcUnZip z;
        z.SetZipName(Files().Archives[TreeFiles]);
        z.SetDestDir(dest);
        z.SetRecreateDirs(true);
        z.SetDoAll(true);
        z.SetOverwriteMode(TUZOverwriteMode::Always);
        n = z.UnZip();
    }
    if (n != TreeFiles)
        state.SkipWithError("extraction failed");
    state.counters["entries"] = n;
}

void BM_ExtractUnzipTool(benchmark::State& state)
{
    if (ToolsMissing(state))
        return;
    const QString dest = Files().Dir.path() + QStringLiteral("/out-unzip");
    for (auto _ : state)
        if (Run(Files().Dir.path(), QStringLiteral("unzip"), {QStringLiteral("-q"), QStringLiteral("-o"), Files().Archives[TreeFiles], QStringLiteral("-d"), dest}) != 0)
            state.SkipWithError("unzip failed");
    state.counters["entries"] = TreeFiles;
}

void BM_ZipLibraryLevel6(benchmark::State& state)
{
    if (ToolsMissing(state))
        return;
    const QString zip = Files().Dir.path() + QStringLiteral("/library6.zip");
    int n = 0;
    for (auto _ : state) {
        RemoveUntimed(state, zip);
        TArcZip z;
        z.SetZipName(zip);
        z.SetPackLevel(6);
        z.SetRootDir(Files().Dir.path());
        z.SetRelativePaths(true);
        z.FilesList() << Files().Tree + QStringLiteral("/*.*");
        n = z.Zip();
    }
    if (n != TreeFiles)
        state.SkipWithError("zipping failed");
    state.counters["entries"] = n;
    state.counters["archive_bytes"] = static_cast<double>(QFileInfo(zip).size());
}

void BM_ZipTool6(benchmark::State& state)
{
    if (ToolsMissing(state))
        return;
    const QString zip = Files().Dir.path() + QStringLiteral("/tool6.zip");
    for (auto _ : state) {
        RemoveUntimed(state, zip);
        if (Run(Files().Dir.path(), QStringLiteral("zip"), {QStringLiteral("-q"), QStringLiteral("-6"), QStringLiteral("-r"), zip, QStringLiteral("tree")}) != 0)
            state.SkipWithError("zip failed");
    }
    state.counters["entries"] = TreeFiles;
    state.counters["archive_bytes"] = static_cast<double>(QFileInfo(zip).size());
}
}  // namespace

BENCHMARK(BM_ListLibrary)->Arg(35000)->Arg(70000)->Arg(140000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_ListUnzipTool)->Arg(35000)->Arg(70000)->Arg(140000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_ExtractLibrary)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ExtractUnzipTool)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ZipLibraryLevel6)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ZipTool6)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

BENCHMARK_MAIN();
