#pragma once

// What the makers of the sample lessons share: the text of sentences they
// read, and espeak-ng speaking them into PCM that they join.

#include "UPiboAudioClass.h"

#include <QtCore/QByteArray>
#include <QtCore/QString>

// 16-bit PCM sound in memory.
struct TSamplePcm {
    quint16 Channels = 0;
    quint32 Rate = 0;
    quint16 Bits = 0;
    QByteArray Data;

    qint64 FrameBytes() const { return qint64(Channels) * Bits / 8; }
    // The length in ms of the sound so far.
    qint64 LengthMs() const { return FrameBytes() > 0 ? Data.size() / FrameBytes() * 1000 / Rate : 0; }
    // Appends ms of silence.
    void AppendSilence(int ms);
};

// Reads a text of sentences: one a line, the English line, a tab and the
// Chinese line; blank lines and lines starting with '#' are skipped. The
// items' times stay empty. False, with why, when the text cannot be read, a
// line lacks its Chinese part or there is no sentence.
bool ReadSampleSentences(const QString& path, TAudioLrcItems& items, QString& why);

// The PCM of a RIFF WAVE file, walked by its chunks.
bool ReadSampleWave(const QString& path, TSamplePcm& pcm);
bool WriteSampleWave(const QString& path, const TSamplePcm& pcm);

// espeak-ng (American English) speaks text into workFolder/name; the sound is
// returned in pcm. False, with why, when espeak-ng is missing, fails or says
// nothing.
bool SpeakSampleSentence(const QString& text, const QString& workFolder, const QString& name, TSamplePcm& pcm,
                         QString& why);
