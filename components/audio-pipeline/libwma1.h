#pragma once

// The media reader behind the MP3 and WMA input: opens a compressed audio
// stream through FFmpeg, decodes its audio stream and hands out interleaved
// 16-bit PCM at the source's own rate with at most two channels, one decoded
// sample at a time. Plain routines over the reader record; nothing here raises.

#include <QtCore/QString>

#include <cstdint>
#include <memory>
#include <vector>

class QIODevice;

struct AVFormatContext;
struct AVCodecContext;
struct AVIOContext;
struct AVPacket;
struct AVFrame;
struct SwrContext;

// The stream adapter the reader reads through: a Qt device it does not own,
// seen from a base offset on (so that leading junk can be stepped over).
class TAudioStream {
public:
    explicit TAudioStream(QIODevice* device, std::int64_t base = 0);

    // Bytes read (> 0), 0 at the end, -1 on a read error.
    int Read(std::uint8_t* buffer, int size);
    // The new position counted from the base, or -1; whence as for lseek,
    // plus FFmpeg's size query.
    std::int64_t Seek(std::int64_t offset, int whence);
    std::int64_t Size() const;

private:
    QIODevice* FDevice;
    std::int64_t FBase;
};

// One open reader; every field is zero or empty while closed.
struct wma_sync_reader {
    std::unique_ptr<TAudioStream> Adapter;
    AVIOContext* Io = nullptr;
    AVFormatContext* Format = nullptr;
    AVCodecContext* Codec = nullptr;
    SwrContext* Resampler = nullptr;
    AVPacket* Packet = nullptr;
    AVFrame* Frame = nullptr;

    std::vector<std::uint8_t> Sample;  // the decoded sample being handed out
    std::uint32_t SampleLength = 0;    // valid bytes of Sample
    std::uint32_t SampleOffset = 0;    // bytes of Sample already handed out

    int StreamIndex = -1;
    std::uint16_t StreamNumber = 0;    // the audio stream's number (index + 1)
    bool HasAudio = false;             // a decodable audio stream was found
    bool IsProtected = false;          // the audio is encrypted
    std::uint32_t Channels = 0;
    std::uint32_t SampleRate = 0;
    std::uint32_t BitsPerSample = 0;
    std::int64_t Duration = 0;         // 100-nanosecond units; 0 when unknown
    bool ExactDuration = false;        // the duration comes from the stream's own header

    // Decoding state.
    int InChannels = 0;                // format the resampler was set up for
    int InRate = 0;
    int InFormat = -1;
    std::uint64_t InLayoutMask = 0;
    bool DemuxerEnded = false;         // flush packet sent
    bool DecoderEnded = false;         // decoder drained
    bool ResamplerFlushed = false;
    std::int64_t FramesDecoded = 0;    // sample frames handed to Sample since open or seek
    std::int64_t FramesSinceOpen = 0;  // sample frames decoded from the start without seeking
    bool Seeked = false;
    int BadPackets = 0;                // packets the decoder refused since the last good one
    int BadPacketsTotal = 0;
    QString Error;                     // set when WmaGetData failed
};

// Opens the reader over the device (positioned anywhere; the reader seeks).
// True when a reader exists afterwards, which may still lack audio
// (HasAudio False). The flags are accepted for the channel and precision
// requests of the input; the reader always delivers 16-bit PCM with at most
// two channels.
bool WmaOpen(wma_sync_reader& reader, QIODevice* stream, bool highPrecision, int channelRequest);
void WmaClose(wma_sync_reader& reader);
void WmaGetFormat(const wma_sync_reader& reader, std::uint32_t& channels, std::uint32_t& bits, std::uint32_t& rate);
// Duration in hundredths of a second, rounded; 0 when unknown.
std::uint32_t WmaDurationCs(const wma_sync_reader& reader);
// Positions the reader at a time in hundredths of a second; bytes left of
// the sample held now are handed out first.
bool WmaSeekCs(wma_sync_reader& reader, std::uint32_t positionCs);
// Hands out up to bytes of PCM from the reader's own buffer. At the real end
// of the stream: true with buffer nullptr and bytes 0. On a failure (a read
// error, a stream cut short, no decodable audio): false, with Error set.
bool WmaGetData(wma_sync_reader& reader, std::uint8_t*& buffer, std::uint32_t& bytes);

// Tags of the file; empty when absent.
QString WmaGetAuthor(const wma_sync_reader& reader);
QString WmaGetTitle(const wma_sync_reader& reader);
QString WmaGetAlbum(const wma_sync_reader& reader);
QString WmaGetGenre(const wma_sync_reader& reader);
QString WmaGetTrack(const wma_sync_reader& reader);
QString WmaGetYear(const wma_sync_reader& reader);
QString WmaGetNotice(const wma_sync_reader& reader);
