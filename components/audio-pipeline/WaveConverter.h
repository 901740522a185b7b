#pragma once

// Whole-file conversion of a WAV file whose data needs a codec (a-law, mu-law,
// MPEG audio, GSM ...) into 16-bit PCM in memory, over FFmpeg's decoders.
// The result has the source's sample rate and at most two channels (more are
// mixed down to stereo), as its first decoded frame has them; data whose
// channels, sample format or rate change midway is refused.

#include <QtCore/QByteArray>
#include <QtCore/QIODevice>

#include <cstdint>

class TWaveConverter {
public:
    static constexpr int FFmpegMissing = 9;

    TWaveConverter() = default;

    // Keeps the RIFF WAVE image of the stream (read from its start). Nothing
    // is loaded unless it starts with "RIFF", a size and "WAVE".
    void LoadFromWaveStream(QIODevice& stream);
    // Decodes the loaded image; 0 on success, else a non-zero code (8: the
    // decoded format changes midway; FFmpegMissing: FFmpeg's libraries could
    // not be loaded, FFmpegLoadError() tells which).
    int Convert();
    // Writes a 44-byte PCM header and the decoded data; 0, or 286 on failure.
    int SaveToWaveStream(QIODevice& stream);

    std::uint16_t Channels() const { return FChannels; }
    std::uint32_t SampleRate() const { return FSampleRate; }
    const QByteArray& Contents() const { return FContents; }

private:
    QByteArray FSource;    // the loaded WAV image
    QByteArray FContents;  // the decoded PCM
    std::uint16_t FChannels = 0;
    std::uint32_t FSampleRate = 0;
};
