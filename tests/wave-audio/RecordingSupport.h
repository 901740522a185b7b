#pragma once

// What the recording tests (and the recorder's benchmark) share: the
// screens' settings, tones made by sox, WAV files read back with every size
// checked, and a wait on the GUI thread's events.

#include "TestSupport.h"

#include <QtCore/QByteArray>
#include <QtCore/QString>

#include <cstdint>
#include <functional>

class TSndWaveRecorder;

// Sets the recorder up as the speak-and-record screens do.
void SetUpAsTheScreens(TSndWaveRecorder& recorder);

// Raw PCM of a sine tone made by sox: 8-bit unsigned or 16-bit signed
// little-endian, channels interleaved. Empty when sox fails.
QByteArray SoxTone(int rate, int channels, int bits, double seconds, int frequency = 440);

// Whether soxi takes the file as a WAV of the given rate, channels and bits.
bool SoxiAccepts(const QString& path, int rate, int channels, int bits);

struct TWaveContents {
    std::uint16_t Tag = 0;
    std::uint16_t Channels = 0;
    std::uint32_t Rate = 0;
    std::uint16_t Bits = 0;
    QByteArray Data;
};

// Reads a RIFF WAVE file: false unless the RIFF size matches the file, every
// chunk lies inside it and there is one "fmt " and one "data" chunk.
bool ReadWaveContents(const QString& path, TWaveContents& contents);

// Zero crossings per second of the first channel of 16-bit PCM.
double ZeroCrossingsPerSecond(const QByteArray& pcm, int channels, int rate);
