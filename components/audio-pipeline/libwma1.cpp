#include "libwma1.h"

#include "AudioPipeProcs.h"
#include "FFmpegLibs.h"

#include <QtCore/QIODevice>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstdio>
#include <mutex>

namespace {

constexpr int IoBufferSize = 65536;
// Damaged packets in a row after which the stream counts as garbage.
constexpr int MaxBadPacketsInRow = 64;

QString AvErrorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    Ff().av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

int ReadPacket(void* opaque, std::uint8_t* buffer, int size)
{
    const int n = static_cast<TAudioStream*>(opaque)->Read(buffer, size);
    if (n > 0)
        return n;
    return n == 0 ? AVERROR_EOF : AVERROR(EIO);
}

std::int64_t SeekPacket(void* opaque, std::int64_t offset, int whence)
{
    return static_cast<TAudioStream*>(opaque)->Seek(offset, whence);
}

void QuietLibraryOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Damaged input is reported through the pipeline's own errors.
        if (Ff().av_log_get_level() > AV_LOG_FATAL)
            Ff().av_log_set_level(AV_LOG_FATAL);
    });
}

void FreeIo(wma_sync_reader& reader)
{
    if (reader.Io) {
        Ff().av_freep(&reader.Io->buffer);
        Ff().avio_context_free(&reader.Io);
    }
    reader.Adapter.reset();
}

// Opens the container over the device from base on; false leaves nothing open.
bool OpenContainer(wma_sync_reader& reader, QIODevice* stream, std::int64_t base)
{
    if (!stream->isSequential() && !stream->seek(base))
        return false;
    reader.Adapter = std::make_unique<TAudioStream>(stream, base);
    auto* buffer = static_cast<std::uint8_t*>(Ff().av_malloc(IoBufferSize));
    if (!buffer) {
        reader.Adapter.reset();
        return false;
    }
    reader.Io = Ff().avio_alloc_context(buffer, IoBufferSize, 0, reader.Adapter.get(), ReadPacket, nullptr, SeekPacket);
    if (!reader.Io) {
        Ff().av_free(buffer);
        reader.Adapter.reset();
        return false;
    }
    reader.Format = Ff().avformat_alloc_context();
    if (!reader.Format) {
        FreeIo(reader);
        return false;
    }
    reader.Format->pb = reader.Io;
    reader.Format->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (Ff().avformat_open_input(&reader.Format, nullptr, nullptr, nullptr) < 0) {
        reader.Format = nullptr;  // freed by the failed open
        FreeIo(reader);
        return false;
    }
    return true;
}

std::uint64_t LayoutMask(const AVChannelLayout& layout)
{
    return layout.order == AV_CHANNEL_ORDER_NATIVE ? layout.u.mask : 0;
}

// Sets up the converter for the format of the frame; the output format stays
// the one reported at open.
bool SetUpResampler(wma_sync_reader& reader, const AVFrame& frame)
{
    const int channels = frame.ch_layout.nb_channels;
    if (reader.Resampler && reader.InChannels == channels && reader.InRate == frame.sample_rate
        && reader.InFormat == frame.format && reader.InLayoutMask == LayoutMask(frame.ch_layout))
        return true;
    Ff().swr_free(&reader.Resampler);
    reader.Resampler = NewS16Resampler(frame, static_cast<int>(reader.Channels), static_cast<int>(reader.SampleRate));
    if (!reader.Resampler)
        return false;
    reader.InChannels = channels;
    reader.InRate = frame.sample_rate;
    reader.InFormat = frame.format;
    reader.InLayoutMask = LayoutMask(frame.ch_layout);
    return true;
}

// Converts the decoded frame (or, with nullptr, what the converter still
// holds) into Sample. -1 on failure, else the sample frames produced.
int Convert(wma_sync_reader& reader, const AVFrame* frame)
{
    if (!reader.Resampler)
        return 0;
    const int inSamples = frame ? frame->nb_samples : 0;
    const int capacity = Ff().swr_get_out_samples(reader.Resampler, inSamples);
    if (capacity < 0)
        return -1;
    const std::size_t frameBytes = reader.Channels * 2;
    const std::size_t needed = static_cast<std::size_t>(capacity) * frameBytes;
    if (reader.Sample.size() < needed)
        reader.Sample.resize(needed);
    std::uint8_t* out = reader.Sample.data();
    const int produced = Ff().swr_convert(reader.Resampler, &out, capacity,
                                     frame ? const_cast<const std::uint8_t**>(frame->extended_data) : nullptr,
                                     inSamples);
    if (produced < 0)
        return -1;
    reader.SampleLength = static_cast<std::uint32_t>(produced * frameBytes);
    reader.SampleOffset = 0;
    return produced;
}

bool Fail(wma_sync_reader& reader, const QString& text)
{
    reader.Error = text;
    return false;
}

// Checks at the real end of the stream that it was not cut short.
bool CheckEnd(wma_sync_reader& reader)
{
    if (reader.FramesSinceOpen == 0 && reader.BadPacketsTotal > 0)
        return Fail(reader, QStringLiteral("The file holds no decodable audio"));
    // Damaged frames are skipped while decoding, so that everything that can
    // be decoded is handed out, but the stream as a whole counts as failed.
    if (reader.BadPacketsTotal > 0)
        return Fail(reader, QStringLiteral("The audio stream is damaged"));
    if (!reader.Seeked && reader.ExactDuration && reader.Duration > 0) {
        const std::int64_t expected = Ff().av_rescale(reader.Duration, reader.SampleRate, 10000000);
        const std::int64_t tolerance = std::max<std::int64_t>(reader.SampleRate / 2, expected / 100);
        if (reader.FramesSinceOpen + tolerance < expected)
            return Fail(reader, QStringLiteral("The audio stream ends before its announced length"));
    }
    return true;
}

// Decodes until Sample holds data (true, SampleLength > 0), the stream ended
// (true, SampleLength 0) or a failure (false).
bool DecodeNext(wma_sync_reader& reader)
{
    reader.SampleLength = 0;
    reader.SampleOffset = 0;
    constexpr int MaxRetries = 1000;
    int retries = 0;
    for (;;) {
        if (reader.DecoderEnded) {
            if (!reader.ResamplerFlushed) {
                reader.ResamplerFlushed = true;
                const int produced = Convert(reader, nullptr);
                if (produced > 0) {
                    reader.FramesDecoded += produced;
                    reader.FramesSinceOpen += produced;
                    return true;
                }
            }
            return CheckEnd(reader);
        }
        int result = Ff().avcodec_receive_frame(reader.Codec, reader.Frame);
        if (result == 0) {
            reader.BadPackets = 0;
            if (reader.Frame->nb_samples <= 0 || reader.Frame->sample_rate <= 0
                || reader.Frame->ch_layout.nb_channels <= 0) {
                Ff().av_frame_unref(reader.Frame);
                continue;
            }
            if (!SetUpResampler(reader, *reader.Frame)) {
                Ff().av_frame_unref(reader.Frame);
                return Fail(reader, QStringLiteral("The decoded audio cannot be converted to PCM"));
            }
            const int produced = Convert(reader, reader.Frame);
            Ff().av_frame_unref(reader.Frame);
            if (produced < 0)
                return Fail(reader, QStringLiteral("The decoded audio cannot be converted to PCM"));
            if (produced > 0) {
                reader.FramesDecoded += produced;
                reader.FramesSinceOpen += produced;
                return true;
            }
            continue;
        }
        if (result == AVERROR_EOF) {
            reader.DecoderEnded = true;
            continue;
        }
        if (result != AVERROR(EAGAIN)) {
            // A frame the decoder refused: skipped, as players do, but counted.
            ++reader.BadPacketsTotal;
            if (++reader.BadPackets > MaxBadPacketsInRow)
                return Fail(reader, QStringLiteral("The audio stream is damaged: ") + AvErrorText(result));
            continue;
        }
        // The decoder wants input.
        if (reader.DemuxerEnded) {
            reader.DecoderEnded = true;
            continue;
        }
        result = Ff().av_read_frame(reader.Format, reader.Packet);
        if (result == AVERROR(EAGAIN)) {
            if (++retries > MaxRetries)
                return Fail(reader, QStringLiteral("The file cannot be read: ") + AvErrorText(result));
            continue;
        }
        retries = 0;
        if (result < 0) {
            if (result != AVERROR_EOF)
                return Fail(reader, QStringLiteral("The file cannot be read: ") + AvErrorText(result));
            reader.DemuxerEnded = true;
            Ff().avcodec_send_packet(reader.Codec, nullptr);
            continue;
        }
        if (reader.Packet->stream_index != reader.StreamIndex) {
            Ff().av_packet_unref(reader.Packet);
            continue;
        }
        result = Ff().avcodec_send_packet(reader.Codec, reader.Packet);
        Ff().av_packet_unref(reader.Packet);
        if (result < 0 && result != AVERROR(EAGAIN) && result != AVERROR_EOF) {
            ++reader.BadPacketsTotal;
            if (++reader.BadPackets > MaxBadPacketsInRow)
                return Fail(reader, QStringLiteral("The audio stream is damaged: ") + AvErrorText(result));
        }
    }
}

QString Tag(const wma_sync_reader& reader, const char* key)
{
    if (!reader.Format)
        return {};
    const AVDictionaryEntry* entry = Ff().av_dict_get(reader.Format->metadata, key, nullptr, 0);
    if (!entry && reader.StreamIndex >= 0)
        entry = Ff().av_dict_get(reader.Format->streams[reader.StreamIndex]->metadata, key, nullptr, 0);
    return entry && entry->value ? QString::fromUtf8(entry->value) : QString();
}

}  // namespace

TAudioStream::TAudioStream(QIODevice* device, std::int64_t base)
    : FDevice(device), FBase(base)
{
}

int TAudioStream::Read(std::uint8_t* buffer, int size)
{
    if (!FDevice || size <= 0)
        return 0;
    const qint64 n = FDevice->read(reinterpret_cast<char*>(buffer), size);
    if (n < 0)
        return -1;
    return static_cast<int>(n);
}

std::int64_t TAudioStream::Seek(std::int64_t offset, int whence)
{
    if (!FDevice)
        return -1;
    if (whence & AVSEEK_SIZE)
        return Size();
    std::int64_t target;
    switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET:
        target = offset;
        break;
    case SEEK_CUR:
        target = FDevice->pos() - FBase + offset;
        break;
    case SEEK_END:
        target = Size() + offset;
        break;
    default:
        return -1;
    }
    if (target < 0 || !FDevice->seek(FBase + target))
        return -1;
    return target;
}

std::int64_t TAudioStream::Size() const
{
    if (!FDevice || FDevice->isSequential())
        return -1;
    return std::max<std::int64_t>(0, FDevice->size() - FBase);
}

bool WmaOpen(wma_sync_reader& reader, QIODevice* stream, bool highPrecision, int channelRequest)
{
    (void)highPrecision;
    (void)channelRequest;
    WmaClose(reader);
    if (!FFmpegLoad())
        return false;
    QuietLibraryOnce();
    if (!stream)
        return false;
    if (!OpenContainer(reader, stream, 0) && !OpenContainer(reader, stream, 30))
        return false;

    if (Ff().avformat_find_stream_info(reader.Format, nullptr) < 0) {
        // Still usable when the stream parameters are known.
    }
    const AVCodec* decoder = nullptr;
    const int index = Ff().av_find_best_stream(reader.Format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (index < 0 || !decoder)
        return true;
    AVStream* audio = reader.Format->streams[index];
    const AVCodecParameters* par = audio->codecpar;
    if (par->sample_rate <= 0 || par->ch_layout.nb_channels <= 0)
        return true;
    reader.Codec = Ff().avcodec_alloc_context3(decoder);
    if (!reader.Codec || Ff().avcodec_parameters_to_context(reader.Codec, par) < 0) {
        Ff().avcodec_free_context(&reader.Codec);
        return true;
    }
    reader.Codec->pkt_timebase = audio->time_base;
    if (Ff().avcodec_open2(reader.Codec, decoder, nullptr) < 0) {
        Ff().avcodec_free_context(&reader.Codec);
        return true;
    }
    reader.Packet = Ff().av_packet_alloc();
    reader.Frame = Ff().av_frame_alloc();
    if (!reader.Packet || !reader.Frame) {
        Ff().av_packet_free(&reader.Packet);
        Ff().av_frame_free(&reader.Frame);
        Ff().avcodec_free_context(&reader.Codec);
        return true;
    }
    // Only the audio stream is demuxed.
    for (unsigned i = 0; i < reader.Format->nb_streams; ++i)
        reader.Format->streams[i]->discard = static_cast<int>(i) == index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;

    reader.StreamIndex = index;
    reader.StreamNumber = static_cast<std::uint16_t>(index + 1);
    reader.Channels = par->ch_layout.nb_channels >= 2 ? 2 : 1;
    reader.SampleRate = static_cast<std::uint32_t>(par->sample_rate);
    reader.BitsPerSample = 16;
    reader.HasAudio = true;

    if (reader.Format->duration != AV_NOPTS_VALUE && reader.Format->duration > 0)
        reader.Duration = Ff().av_rescale(reader.Format->duration, 10000000, AV_TIME_BASE);
    else if (audio->duration != AV_NOPTS_VALUE && audio->duration > 0)
        reader.Duration = Ff().av_rescale_q(audio->duration, audio->time_base, AVRational{1, 10000000});
    reader.ExactDuration = reader.Duration > 0
                           && reader.Format->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE;
    return true;
}

void WmaClose(wma_sync_reader& reader)
{
    // Nothing of FFmpeg can be open before its libraries are.
    if (FFmpegLoaded()) {
        Ff().swr_free(&reader.Resampler);
        Ff().av_frame_free(&reader.Frame);
        Ff().av_packet_free(&reader.Packet);
        Ff().avcodec_free_context(&reader.Codec);
        if (reader.Format)
            Ff().avformat_close_input(&reader.Format);
        FreeIo(reader);
    }
    reader.Adapter.reset();
    reader.Sample.clear();
    reader.Sample.shrink_to_fit();
    reader.SampleLength = 0;
    reader.SampleOffset = 0;
    reader.StreamIndex = -1;
    reader.StreamNumber = 0;
    reader.HasAudio = false;
    reader.IsProtected = false;
    reader.Channels = 0;
    reader.SampleRate = 0;
    reader.BitsPerSample = 0;
    reader.Duration = 0;
    reader.ExactDuration = false;
    reader.InChannels = 0;
    reader.InRate = 0;
    reader.InFormat = -1;
    reader.InLayoutMask = 0;
    reader.DemuxerEnded = false;
    reader.DecoderEnded = false;
    reader.ResamplerFlushed = false;
    reader.FramesDecoded = 0;
    reader.FramesSinceOpen = 0;
    reader.Seeked = false;
    reader.BadPackets = 0;
    reader.BadPacketsTotal = 0;
    reader.Error.clear();
}

void WmaGetFormat(const wma_sync_reader& reader, std::uint32_t& channels, std::uint32_t& bits, std::uint32_t& rate)
{
    channels = reader.Channels;
    bits = reader.BitsPerSample;
    rate = reader.SampleRate;
}

std::uint32_t WmaDurationCs(const wma_sync_reader& reader)
{
    return static_cast<std::uint32_t>((reader.Duration + 50000) / 100000);
}

bool WmaSeekCs(wma_sync_reader& reader, std::uint32_t positionCs)
{
    if (!reader.HasAudio || !reader.Format || !reader.Codec)
        return false;
    AVStream* audio = reader.Format->streams[reader.StreamIndex];
    std::int64_t target = Ff().av_rescale_q(positionCs, AVRational{1, 100}, audio->time_base);
    if (audio->start_time != AV_NOPTS_VALUE)
        target += audio->start_time;
    if (Ff().av_seek_frame(reader.Format, reader.StreamIndex, target, AVSEEK_FLAG_BACKWARD) < 0
        && Ff().av_seek_frame(reader.Format, reader.StreamIndex, target, AVSEEK_FLAG_ANY) < 0)
        return false;
    Ff().avcodec_flush_buffers(reader.Codec);
    // The converter may hold samples of the old position.
    Ff().swr_free(&reader.Resampler);
    reader.InChannels = 0;
    reader.DemuxerEnded = false;
    reader.DecoderEnded = false;
    reader.ResamplerFlushed = false;
    reader.Seeked = true;
    reader.BadPackets = 0;
    reader.Error.clear();
    return true;
}

bool WmaGetData(wma_sync_reader& reader, std::uint8_t*& buffer, std::uint32_t& bytes)
{
    buffer = nullptr;
    if (!reader.HasAudio || !reader.Codec) {
        bytes = 0;
        return Fail(reader, QStringLiteral("The file holds no decodable audio"));
    }
    if (reader.SampleOffset >= reader.SampleLength) {
        if (!DecodeNext(reader)) {
            bytes = 0;
            return false;
        }
        if (reader.SampleLength == 0) {
            bytes = 0;
            return true;
        }
    }
    bytes = std::min(bytes, reader.SampleLength - reader.SampleOffset);
    buffer = reader.Sample.data() + reader.SampleOffset;
    reader.SampleOffset += bytes;
    return true;
}

QString WmaGetAuthor(const wma_sync_reader& reader)
{
    return Tag(reader, "artist");
}

QString WmaGetTitle(const wma_sync_reader& reader)
{
    return Tag(reader, "title");
}

QString WmaGetAlbum(const wma_sync_reader& reader)
{
    return Tag(reader, "album");
}

QString WmaGetGenre(const wma_sync_reader& reader)
{
    return Tag(reader, "genre");
}

QString WmaGetTrack(const wma_sync_reader& reader)
{
    return Tag(reader, "track");
}

QString WmaGetYear(const wma_sync_reader& reader)
{
    QString year = Tag(reader, "date");
    if (year.isEmpty())
        year = Tag(reader, "year");
    return year;
}

QString WmaGetNotice(const wma_sync_reader& reader)
{
    return Tag(reader, "copyright");
}
