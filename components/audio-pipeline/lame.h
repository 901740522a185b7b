#pragma once

// The MP3 encoder binding: libmp3lame, loaded by name at run time (never
// linked), behind a small stream interface: a configuration record in,
// encoded frames out. The binding is process-wide and reference-counted: the
// first LameAcquire loads the library, the last LameRelease unloads it.

#include <QtCore/QString>

#include <cstdint>

class QIODevice;

// The encoder configuration record (331 bytes, packed, little-endian).
#pragma pack(push, 1)
struct TLameConfig {
    std::uint32_t Form;             // 256: the LAME form of the record
    std::uint32_t Version;          // 1
    std::uint32_t Size;             // 331
    std::uint32_t SampleRate;       // input rate
    std::uint32_t ResampleRate;     // 0: no resampling
    std::int32_t Mode;              // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    std::uint32_t Bitrate;          // kbit/s
    std::uint32_t MaxBitrate;       // kbit/s
    std::int32_t Preset;
    std::uint32_t MpegVersion;
    std::uint32_t PsyModel;
    std::uint32_t Emphasis;
    std::int32_t Private;
    std::int32_t Crc;
    std::int32_t Copyright;
    std::int32_t Original;
    std::int32_t WriteVbrHeader;
    std::int32_t EnableVbr;
    std::int32_t VbrQuality;        // 0 to 9
    std::uint32_t AverageBitrate;   // kbit/s
    std::int32_t VbrMethod;         // 2 default, 4 average bit rate
    std::int32_t NoReservoir;       // non-zero: no bit reservoir
    std::int32_t StrictIso;
    std::uint16_t Quality;
    std::uint8_t Reserved[237];
};
#pragma pack(pop)
static_assert(sizeof(TLameConfig) == 331, "the configuration record is 331 bytes");

// Result numbers of the stream calls.
constexpr int LAME_OK = 0;
constexpr int LAME_ERR_INVALID_FORMAT = 1;    // the encoder refused the configuration
constexpr int LAME_ERR_INVALID_HANDLE = 2;
constexpr int LAME_ERR_NO_MEMORY = 3;
constexpr int LAME_ERR_NOT_LOADED = 4;
constexpr int LAME_ERR_ENCODE = 5;            // the encoder failed on data
constexpr int LAME_ERR_FILE = 6;              // the header could not be written

using TLameStream = struct TLameStreamRec*;

// The library the next load uses; "libmp3lame.so.0" unless changed.
QString LameLibraryName();
void SetLameLibraryName(const QString& name);

// Takes a reference on the binding, loading the library when it is the first
// one. False (and no reference) when the library or one of its entry points
// is missing.
bool LameAcquire();
// Drops a reference taken by a successful LameAcquire.
void LameRelease();
bool LameLoaded();

// Opens an encoder stream for the configuration and the input channel count
// (1 or 2). samplesPerChunk: 16-bit samples (all channels) per encoding round;
// outBufferSize: the bytes one round (or the final flush) may produce.
int beInitStream(const TLameConfig& config, std::uint32_t channels, std::uint32_t& samplesPerChunk,
                 std::uint32_t& outBufferSize, TLameStream& stream);
// Encodes count 16-bit samples (interleaved when stereo).
int beEncodeChunk(TLameStream stream, std::uint32_t count, const std::int16_t* samples, std::uint8_t* output,
                  std::uint32_t& outBytes);
// The last bytes of the stream.
int beDeinitStream(TLameStream stream, std::uint8_t* output, std::uint32_t& outBytes);
// Puts the information frame (encoder delay and padding, frame count; the
// seek table too for VBR) into the first frame of the finished stream, which
// the encoder reserved for it when the configuration asked for the header.
// at: where the encoded stream starts in output. Call after beDeinitStream
// and before beCloseStream (which forgets the stream's statistics).
int beWriteInfoTag(TLameStream stream, QIODevice& output, qint64 at);
int beCloseStream(TLameStream stream);
