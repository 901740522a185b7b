#pragma once

// What the benchmark programs share.

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <cstdint>

#include <benchmark/benchmark.h>

// Peak resident memory of this process in KiB, and its reset (so that a
// counter shows the growth of one step, not of everything before it).
long PeakRssKiB();
void ResetPeakRss();

// One benchmark iteration loop reading the whole file sequentially, 64 KiB at
// a time: the I/O speed the other benchmarks of a run compare with.
void PlainSequentialRead(benchmark::State& state, const QString& path);

// Runs an outside tool to its end; true when it ended normally with code 0.
// Its error output goes to ours.
bool RunTool(const QString& program, const QStringList& args);

// The 44-byte header of a PCM WAV file holding dataBytes bytes of sound.
QByteArray PcmWaveHeader(int channels, int rate, int bits, std::uint32_t dataBytes);

// Runs the benchmarks named on the command line (Google Benchmark's flags).
int RunBenchmarks(int argc, char** argv);
