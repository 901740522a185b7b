#include "WaveConverter.h"

#include "AudioPipeProcs.h"
#include "FFmpegLibs.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <QtCore/QtEndian>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

struct TMemoryReader {
    const QByteArray* Data;
    std::int64_t Pos = 0;
};

int ReadMemoryPacket(void* opaque, std::uint8_t* buf, int size)
{
    auto* r = static_cast<TMemoryReader*>(opaque);
    const std::int64_t left = r->Data->size() - r->Pos;
    if (left <= 0)
        return AVERROR_EOF;
    const int n = int(std::min<std::int64_t>(left, size));
    std::memcpy(buf, r->Data->constData() + r->Pos, size_t(n));
    r->Pos += n;
    return n;
}

std::int64_t SeekMemoryPacket(void* opaque, std::int64_t offset, int whence)
{
    auto* r = static_cast<TMemoryReader*>(opaque);
    const std::int64_t size = r->Data->size();
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE: return size;
    case SEEK_SET: r->Pos = offset; break;
    case SEEK_CUR: r->Pos += offset; break;
    case SEEK_END: r->Pos = size + offset; break;
    default: return -1;
    }
    r->Pos = std::clamp<std::int64_t>(r->Pos, 0, size);
    return r->Pos;
}

struct TFormatDeleter {
    void operator()(AVFormatContext* f) const { Ff().avformat_close_input(&f); }
};
struct TCodecDeleter {
    void operator()(AVCodecContext* c) const { Ff().avcodec_free_context(&c); }
};
struct TSwrDeleter {
    void operator()(SwrContext* s) const { Ff().swr_free(&s); }
};
struct TFrameDeleter {
    void operator()(AVFrame* f) const { Ff().av_frame_free(&f); }
};
struct TPacketDeleter {
    void operator()(AVPacket* p) const { Ff().av_packet_free(&p); }
};
struct TIoDeleter {
    void operator()(AVIOContext* io) const
    {
        if (io) {
            Ff().av_freep(&io->buffer);
            Ff().avio_context_free(&io);
        }
    }
};

}  // namespace

void TWaveConverter::LoadFromWaveStream(QIODevice& stream)
{
    FSource.clear();
    FContents.clear();
    if (!stream.isSequential())
        stream.seek(0);
    const QByteArray head = stream.peek(12);
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return;
    FSource = stream.readAll();
    if (!stream.isSequential())
        stream.seek(0);
}

int TWaveConverter::Convert()
{
    FContents.clear();
    FChannels = 0;
    FSampleRate = 0;
    if (FSource.isEmpty())
        return 1;
    if (!FFmpegLoad())
        return FFmpegMissing;
    TMemoryReader reader{&FSource};
    constexpr int IoSize = 32768;
    auto* ioBuffer = static_cast<std::uint8_t*>(Ff().av_malloc(IoSize));
    if (!ioBuffer)
        return 2;
    std::unique_ptr<AVIOContext, TIoDeleter> io(
        Ff().avio_alloc_context(ioBuffer, IoSize, 0, &reader, &ReadMemoryPacket, nullptr, &SeekMemoryPacket));
    if (!io) {
        Ff().av_free(ioBuffer);
        return 2;
    }
    AVFormatContext* rawFormat = Ff().avformat_alloc_context();
    if (!rawFormat)
        return 2;
    rawFormat->pb = io.get();
    rawFormat->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (Ff().avformat_open_input(&rawFormat, nullptr, Ff().av_find_input_format("wav"), nullptr) < 0)
        return 3;  // the context is freed on failure
    std::unique_ptr<AVFormatContext, TFormatDeleter> format(rawFormat);
    if (Ff().avformat_find_stream_info(format.get(), nullptr) < 0)
        return 3;
    const AVCodec* codec = nullptr;
    const int streamIndex = Ff().av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (streamIndex < 0 || !codec)
        return 4;
    std::unique_ptr<AVCodecContext, TCodecDeleter> decoder(Ff().avcodec_alloc_context3(codec));
    if (!decoder
        || Ff().avcodec_parameters_to_context(decoder.get(), format->streams[streamIndex]->codecpar) < 0
        || Ff().avcodec_open2(decoder.get(), codec, nullptr) < 0)
        return 5;

    // The resampler is set up for the first decoded frame: its format, not
    // the header's, is what the data holds. Frames are compared with it, and
    // data whose layout, sample format or rate changes midway is refused
    // (the resampler would read planes that frame does not have).
    std::unique_ptr<SwrContext, TSwrDeleter> swr;
    int inChannels = 0;
    int inFormat = -1;
    int inRate = 0;
    auto setUp = [&](const AVFrame& first) -> bool {
        inChannels = first.ch_layout.nb_channels;
        inFormat = first.format;
        inRate = first.sample_rate;
        FChannels = std::uint16_t(std::clamp(inChannels, 0, 2));
        FSampleRate = std::uint32_t(std::max(inRate, 0));
        swr.reset(NewS16Resampler(first, FChannels, inRate));
        return swr != nullptr;
    };

    std::unique_ptr<AVPacket, TPacketDeleter> packet(Ff().av_packet_alloc());
    std::unique_ptr<AVFrame, TFrameDeleter> frame(Ff().av_frame_alloc());
    if (!packet || !frame)
        return 2;
    int result = 0;  // non-zero: the code the conversion fails with
    auto drain = [&]() -> bool {
        for (;;) {
            const int r = Ff().avcodec_receive_frame(decoder.get(), frame.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                return true;
            if (r < 0)
                return false;
            if (!swr && !setUp(*frame))
                result = 6;
            else if (frame->ch_layout.nb_channels != inChannels || frame->format != inFormat
                     || frame->sample_rate != inRate)
                result = 8;
            if (result != 0) {
                Ff().av_frame_unref(frame.get());
                return false;
            }
            const int frameBytes = FChannels * 2;
            const int outSamples = Ff().swr_get_out_samples(swr.get(), frame->nb_samples);
            const qsizetype at = FContents.size();
            FContents.resize(at + qsizetype(std::max(outSamples, 0)) * frameBytes);
            auto* out = reinterpret_cast<std::uint8_t*>(FContents.data() + at);
            const int got = Ff().swr_convert(swr.get(), &out, outSamples,
                                        const_cast<const std::uint8_t**>(frame->extended_data), frame->nb_samples);
            FContents.resize(at + qsizetype(std::max(got, 0)) * frameBytes);
            Ff().av_frame_unref(frame.get());
        }
    };
    bool ok = true;
    while (ok && Ff().av_read_frame(format.get(), packet.get()) >= 0) {
        if (packet->stream_index == streamIndex) {
            // A damaged packet is skipped, as players do; the rest decodes.
            if (Ff().avcodec_send_packet(decoder.get(), packet.get()) >= 0)
                ok = drain();
        }
        Ff().av_packet_unref(packet.get());
    }
    if (result != 0) {
        FContents.clear();
        return result;
    }
    Ff().avcodec_send_packet(decoder.get(), nullptr);
    drain();
    if (result != 0) {
        FContents.clear();
        return result;
    }
    if (!swr)
        return 7;  // nothing decoded
    // What the resampler still holds.
    const int frameBytes = FChannels * 2;
    for (;;) {
        const int rest = Ff().swr_get_out_samples(swr.get(), 0);
        if (rest <= 0)
            break;
        const qsizetype at = FContents.size();
        FContents.resize(at + qsizetype(rest) * frameBytes);
        auto* out = reinterpret_cast<std::uint8_t*>(FContents.data() + at);
        const int got = Ff().swr_convert(swr.get(), &out, rest, nullptr, 0);
        FContents.resize(at + qsizetype(std::max(got, 0)) * frameBytes);
        if (got <= 0)
            break;
    }
    return FContents.isEmpty() ? 7 : 0;
}

int TWaveConverter::SaveToWaveStream(QIODevice& stream)
{
    if (FChannels == 0 || FSampleRate == 0)
        return 286;
    QByteArray header(44, '\0');
    auto put32 = [&header](int at, std::uint32_t v) { qToLittleEndian<std::uint32_t>(v, header.data() + at); };
    auto put16 = [&header](int at, std::uint16_t v) { qToLittleEndian<std::uint16_t>(v, header.data() + at); };
    const std::uint32_t size = std::uint32_t(FContents.size());
    std::memcpy(header.data(), "RIFF", 4);
    put32(4, size + 36);
    std::memcpy(header.data() + 8, "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1);
    put16(22, FChannels);
    put32(24, FSampleRate);
    put32(28, FSampleRate * FChannels * 2);
    put16(32, std::uint16_t(FChannels * 2));
    put16(34, 16);
    std::memcpy(header.data() + 36, "data", 4);
    put32(40, size);
    if (stream.write(header) != header.size() || stream.write(FContents) != FContents.size())
        return 286;
    return 0;
}
