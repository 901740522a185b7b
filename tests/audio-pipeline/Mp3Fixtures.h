#pragma once

// Sound files made by outside tools (espeak-ng, sox, lame, ffmpeg) for the
// tests of the compressed-audio input, the MP3 output and the converters,
// and the means to check what the pipeline makes of them.

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <cstdint>

class TAudioOutput;

namespace Mp3Fixtures {

// Runs a program; its standard output, or an empty array with ok false when
// it could not start or ended with an error.
QByteArray Run(const QString& program, const QStringList& args, bool* ok = nullptr);

// The folder the fixture files are made in (made once per test program).
QString Folder();
// A file of the folder, made on first use: a name listed in Mp3Fixtures.cpp.
QString File(const QString& name);

// The samples outside tools decode from a file: 16-bit little-endian,
// interleaved.
QByteArray FfmpegPcm(const QString& path);

// Fields of ffprobe's report on the first audio stream or the container.
QString Probe(const QString& path, const QString& entries);

// A RIFF WAVE file walked by its chunks.
struct TWaveFacts {
    bool Ok = false;
    std::uint32_t RiffSize = 0;
    std::uint16_t FormatTag = 0;
    std::uint16_t Channels = 0;
    std::uint32_t SampleRate = 0;
    std::uint16_t Bits = 0;
    qint64 DataStart = 0;
    std::uint32_t DataSize = 0;
    qint64 FileSize = 0;
    QByteArray Data;  // the bytes of the data chunk, as far as the file holds them
};
TWaveFacts ReadWave(const QString& path);

// Writes a PCM WAV file with the given sound; a LIST chunk before "data" and
// a chunk after it when asked.
void WriteWave(const QString& path, int channels, int rate, int bits, const QByteArray& data, bool listBeforeData,
               bool chunkAfterData = false);

// Starts the output and processes events until its done event (true) or
// the time is up (false).
bool RunOutput(TAudioOutput& output, int timeoutMs = 60000);

// The level of 16-bit samples (all channels).
double RootMeanSquare(const QByteArray& samples);

// Normalised cross-correlation of two 16-bit mono or stereo signals (first
// channel), at the best lag of b against a within -maxLag .. maxLag frames
// (positive: b is late).
double BestCorrelation(const QByteArray& a, const QByteArray& b, int channels, int maxLag, int* lag = nullptr);

}  // namespace Mp3Fixtures
