#include "AudioPipeProcs.h"

#include "FFmpegLibs.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

std::int32_t FloatToInt(double v)
{
    if (v >= 1.0)
        return 2147483647;
    if (!(v > -1.0))
        return -2147483647 - 1;
    if (v == 0.0)
        return 0;
    return std::int32_t(std::floor(v * 2147483647.0));
}

}  // namespace

void ConvertSinglesToInts(void* buffer, std::uint32_t bytes)
{
    auto* p = static_cast<unsigned char*>(buffer);
    for (std::uint32_t i = 0; i + 4 <= bytes; i += 4) {
        float v;
        std::memcpy(&v, p + i, 4);
        const std::int32_t n = FloatToInt(v);
        std::memcpy(p + i, &n, 4);
    }
}

void ConvertDoublesToInts(void* buffer, std::uint32_t bytes)
{
    auto* p = static_cast<unsigned char*>(buffer);
    for (std::uint32_t i = 0; i + 8 <= bytes; i += 8) {
        double v;
        std::memcpy(&v, p + i, 8);
        const std::int32_t n = FloatToInt(v);
        std::memcpy(p + i / 2, &n, 4);
    }
}

void ConvertTo16Bit(const std::uint8_t* in, std::uint32_t count, std::uint32_t bytesPerSample, std::int16_t* out)
{
    switch (bytesPerSample) {
    case 1:
        for (std::uint32_t i = 0; i < count; ++i)
            out[i] = static_cast<std::int16_t>((static_cast<int>(in[i]) - 128) * 256);
        break;
    case 2:
        std::memcpy(out, in, std::size_t(count) * 2);
        break;
    default: {
        const int shift = static_cast<int>(bytesPerSample - 2) * 8;
        const std::int64_t half = std::int64_t(1) << (shift - 1);
        for (std::uint32_t i = 0; i < count; ++i, in += bytesPerSample) {
            std::uint32_t raw = 0;
            for (std::uint32_t b = 0; b < bytesPerSample; ++b)
                raw |= std::uint32_t(in[b]) << (8 * b);
            // Sign-extend from the sample's width.
            const int unused = 32 - static_cast<int>(bytesPerSample) * 8;
            const std::int64_t value = static_cast<std::int32_t>(raw << unused) >> unused;
            const std::int64_t scaled = (value + half) >> shift;
            out[i] = static_cast<std::int16_t>(std::clamp<std::int64_t>(scaled, -32768, 32767));
        }
        break;
    }
    }
}

SwrContext* NewS16Resampler(const AVFrame& frame, int outChannels, int outRate)
{
    const int channels = frame.ch_layout.nb_channels;
    if (channels <= 0 || frame.sample_rate <= 0 || frame.format < 0 || outChannels <= 0 || outRate <= 0)
        return nullptr;
    AVChannelLayout inLayout{};
    if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || Ff().av_channel_layout_check(&frame.ch_layout) == 0)
        Ff().av_channel_layout_default(&inLayout, channels);
    else if (Ff().av_channel_layout_copy(&inLayout, &frame.ch_layout) < 0)
        return nullptr;
    AVChannelLayout outLayout{};
    Ff().av_channel_layout_default(&outLayout, outChannels);
    SwrContext* resampler = nullptr;
    const int result = Ff().swr_alloc_set_opts2(&resampler, &outLayout, AV_SAMPLE_FMT_S16, outRate, &inLayout,
                                           static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0, nullptr);
    Ff().av_channel_layout_uninit(&inLayout);
    Ff().av_channel_layout_uninit(&outLayout);
    if (result < 0 || !resampler || Ff().swr_init(resampler) < 0) {
        Ff().swr_free(&resampler);
        return nullptr;
    }
    return resampler;
}
