#pragma once

// What the benchmark programs share.

#include <QtCore/QString>

#include <benchmark/benchmark.h>

// Peak resident memory of this process in KiB, and its reset (so that a
// counter shows the growth of one step, not of everything before it).
long PeakRssKiB();
void ResetPeakRss();

// One benchmark iteration loop reading the whole file sequentially, 64 KiB at
// a time: the I/O speed the other benchmarks of a run compare with.
void PlainSequentialRead(benchmark::State& state, const QString& path);

// Runs the benchmarks named on the command line (Google Benchmark's flags).
int RunBenchmarks(int argc, char** argv);
