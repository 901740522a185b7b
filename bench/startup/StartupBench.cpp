// From process start to a painted window: the login window against a bare Qt
// window, offscreen and on an X display (the display of the environment; run
// the whole benchmark under `xvfb-run -a -s "-screen 0 1280x800x24"`, the X
// cases are skipped without one). Each iteration starts one pair, the two in
// turn (the bare window first in even iterations, the login window first in
// odd ones); the counters are the medians of both and of the pair ratios
// (login / bare). The login window's program folder keeps its kept pictures
// from one start to the next, as the program's does, except in the first-start
// case, which removes them before every start. A last login case preloads
// FFmpeg's libraries into the login window's process, as linking them did
// before they were opened on first use.
//
// The answer checker as a process on empty input, side by side with the same
// process that checks nothing: from start to its end.

#include "DatabaseSchema.h"
#include "FFmpegLibs.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace {

QString StartupFolder;

enum TDisplay { dOffscreen = 0, dX = 1 };

double MedianOf(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n == 0 ? 0.0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

long long SteadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct TChild {
    QString Program;
    QStringList Args;
    QString Preload;
    bool UntilPainted = true;  // the child writes its painted moment; else until it ends
};

// Runs one child; its time in milliseconds, or a negative number on failure.
double RunChild(const TChild& child, TDisplay display)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), display == dX ? QStringLiteral("xcb") : QStringLiteral("offscreen"));
    if (!child.Preload.isEmpty())
        env.insert(QStringLiteral("LD_PRELOAD"), child.Preload);
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    const long long start = SteadyNs();
    process.start(child.Program, child.Args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return -1;
    const long long end = SteadyNs();
    if (!child.UntilPainted)
        return double(end - start) / 1e6;
    bool ok = false;
    const long long painted = process.readAllStandardOutput().trimmed().toLongLong(&ok);
    return ok && painted > start ? double(painted - start) / 1e6 : -1;
}

// One pair an iteration, the two in turn; the iteration's time is the pair's.
void SideBySide(benchmark::State& state, const TChild& ours, const TChild& reference, TDisplay display,
                const std::function<void()>& beforeOurs = {})
{
    if (display == dX && qEnvironmentVariableIsEmpty("DISPLAY")) {
        state.SkipWithError("no X display: run under xvfb-run -a");
        return;
    }
    std::vector<double> a, b, ratios;
    for (auto _ : state) {
        const bool referenceFirst = a.size() % 2 == 0;
        double x = -1, y = -1;
        if (referenceFirst)
            y = RunChild(reference, display);
        if (beforeOurs) {
            state.PauseTiming();
            beforeOurs();
            state.ResumeTiming();
        }
        x = RunChild(ours, display);
        if (!referenceFirst)
            y = RunChild(reference, display);
        if (x < 0 || y < 0) {
            state.SkipWithError("a child failed");
            return;
        }
        a.push_back(x);
        b.push_back(y);
        ratios.push_back(x / y);
    }
    state.counters["ours_ms"] = MedianOf(a);
    state.counters["reference_ms"] = MedianOf(b);
    state.counters["ratio"] = MedianOf(ratios);
}

TChild BareWindow()
{
    return {QStringLiteral(PIBO_BARE_WINDOW), {}, {}, true};
}

TChild LoginWindow()
{
    return {QStringLiteral(PIBO_LOGIN_WINDOW), {StartupFolder}, {}, true};
}

void BM_LoginVsBareWindow(benchmark::State& state)
{
    SideBySide(state, LoginWindow(), BareWindow(), TDisplay(state.range(0)));
}
BENCHMARK(BM_LoginVsBareWindow)->ArgName("x")->Arg(dOffscreen)->Arg(dX)->Iterations(40)
    ->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoginVsBareWindow_FirstStart(benchmark::State& state)
{
    SideBySide(state, LoginWindow(), BareWindow(), TDisplay(state.range(0)),
               [] { QDir(StartupFolder + QStringLiteral("/temp/pictures")).removeRecursively(); });
}
BENCHMARK(BM_LoginVsBareWindow_FirstStart)->ArgName("x")->Arg(dOffscreen)->Arg(dX)->Iterations(20)
    ->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoginVsBareWindow_FFmpegLinked(benchmark::State& state)
{
    TChild login = LoginWindow();
    login.Preload = FFmpegLibraryNames().join(QLatin1Char(' '));
    SideBySide(state, login, BareWindow(), dOffscreen);
}
BENCHMARK(BM_LoginVsBareWindow_FFmpegLinked)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CheckerProcess_EmptyInput(benchmark::State& state)
{
    SideBySide(state, {QStringLiteral(PIBO_CHECKER), {}, {}, false},
               {QStringLiteral(PIBO_BARE_CHECKER), {}, {}, false}, dOffscreen);
}
BENCHMARK(BM_CheckerProcess_EmptyInput)->Iterations(40)->Unit(benchmark::kMillisecond)->UseRealTime();

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
