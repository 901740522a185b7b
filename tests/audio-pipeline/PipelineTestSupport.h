#pragma once

// Helpers of the audio pipeline tests: outside tools, sample comparison and
// waiting for pipeline events.

#include "AudioPipeClasses.h"

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <functional>
#include <vector>

// Runs a tool; true when it ran and exited with 0. out receives its stdout.
bool RunTool(const QString& program, const QStringList& args, QByteArray* out = nullptr);
bool HaveTools(const QStringList& programs);
// `ffmpeg -i file -f s16le -`: the reference samples.
QByteArray FfmpegS16(const QString& file);
// ffprobe's duration of the file in seconds; -1 when it refuses the file.
double ProbeDuration(const QString& file);
// soxi's duration in seconds; -1 when it refuses the file.
double SoxiDuration(const QString& file);

// Reads an input from Init to its end on the calling thread.
QByteArray ReadAll(TAudioInput& input);
// Converts samples of the given width to signed 16 bit as ffmpeg does
// (8-bit unsigned shifted, wider ones cut to their upper 16 bits).
std::vector<std::int16_t> ToS16(const QByteArray& data, int bits);
std::vector<std::int16_t> AsS16(const QByteArray& data);
// Largest absolute difference; sizes must match (else INT_MAX).
int MaxDifference(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b);

// sqrt(sum (a-b)^2 / sum b^2) over the common length.
double RelativeRms(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b);

// Handles this thread's events until done() holds, sleeping until the next
// event arrives (the pipeline's progress, done and error events among them):
// done() must turn true with an event to this thread. The deadline only
// guards against a hang; true when done() came true.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 15000);
