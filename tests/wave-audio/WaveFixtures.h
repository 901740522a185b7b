#pragma once

// Wave files for the wave audio tests: raw samples, hand-built RIFF files,
// files made by sox, and reading a file's bytes back.

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QList>
#include <QtCore/QPair>
#include <QtCore/QStringList>

#include <cstdint>

namespace wavetest {

// Deterministic sample bytes.
QByteArray RawSamples(std::int64_t bytes, std::uint32_t seed);

// A chunk: its id and its payload (the size field is the payload's size
// unless sizeOverride is set; a pad byte follows an odd payload when pad).
QByteArray Chunk(const char* id, const QByteArray& payload, std::int64_t sizeOverride = -1, bool pad = true);
QByteArray FmtPayload(int tag, int channels, std::uint32_t rate, std::uint32_t avg, int blockAlign, int bits,
                      int extraBytes = -1);
QByteArray PcmFmt(int bits, int channels, std::uint32_t rate);  // a 16-byte PCM "fmt " payload
QByteArray InfoList(const QList<QPair<QByteArray, QByteArray>>& texts);  // "LIST" "INFO" chunk
// "RIFF" size "WAVE" + chunks (size = the chunks' bytes + 4 unless set).
QByteArray Riff(const QByteArray& chunks, std::int64_t sizeOverride = -1);

bool WriteFile(const QString& path, const QByteArray& bytes);
QByteArray ReadFile(const QString& path);

bool SoxAvailable();
// sox converts raw samples into a WAV file (unsigned 8-bit or signed 16-bit).
bool SoxMakeWave(const QString& rawPath, const QString& wavePath, int bits, int channels, std::uint32_t rate);
// sox --i accepts the file.
bool SoxAccepts(const QString& wavePath);
// The raw samples sox reads from a WAV file.
QByteArray SoxRawSamples(const QString& wavePath);

}  // namespace wavetest
