// From process start to a painted window: the login window against a bare
// Qt window, both offscreen. The third case preloads FFmpeg's libraries into
// the login window's process, as linking them did before they were opened on
// first use.

#include "DatabaseSchema.h"
#include "FFmpegLibs.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

QString StartupFolder;

// CPU time of the ended children so far, in milliseconds: the machine's load
// blurs wall time, not the loader's work.
double ChildCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

void RunChild(benchmark::State& state, const QString& program, const QStringList& args, const QString& preload)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!preload.isEmpty())
        env.insert(QStringLiteral("LD_PRELOAD"), preload);
    const double cpuBefore = ChildCpuMs();
    for (auto _ : state) {
        QProcess child;
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(program, args);
        if (!child.waitForFinished(60000) || child.exitCode() != 0) {
            state.SkipWithError("the child failed");
            return;
        }
    }
    state.counters["child_cpu_ms"] =
        benchmark::Counter((ChildCpuMs() - cpuBefore) / double(state.iterations()));
}

void BM_BareQtWindowProcess(benchmark::State& state)
{
    RunChild(state, QStringLiteral(PIBO_BARE_WINDOW), {}, {});
}
BENCHMARK(BM_BareQtWindowProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoginWindowProcess(benchmark::State& state)
{
    RunChild(state, QStringLiteral(PIBO_LOGIN_WINDOW), {StartupFolder}, {});
}
BENCHMARK(BM_LoginWindowProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoginWindowProcessWithFFmpegLinked(benchmark::State& state)
{
    RunChild(state, QStringLiteral(PIBO_LOGIN_WINDOW), {StartupFolder},
             FFmpegLibraryNames().join(QLatin1Char(' ')));
}
BENCHMARK(BM_LoginWindowProcessWithFFmpegLinked)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 2;
    StartupFolder = dir.path();
    for (const char* sub : {"data/dict", "audio", "video", "temp", "update/backup", "media"})
        QDir(StartupFolder).mkpath(QString::fromLatin1(sub));
    if (!CreateDatabaseFromSchema(QStringLiteral(PIBO_SCHEMA_FILE), StartupFolder + QStringLiteral("/data/data.db")))
        return 2;
    return RunBenchmarks(argc, argv);
}
