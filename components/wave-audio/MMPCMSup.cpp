#include "MMPCMSup.h"

#include <cstring>

bool PcmIsValid(const TWaveFormatEx* format)
{
    return format && format->wFormatTag == WAVE_FORMAT_PCM &&
           (format->wBitsPerSample == 8 || format->wBitsPerSample == 16) &&
           (format->nChannels == 1 || format->nChannels == 2) && format->nSamplesPerSec >= 4000 &&
           format->nSamplesPerSec <= 100000;
}

TWaveFormatEx* BuildPcmFormat(TWaveFormatEx* format, int bits, int channels, std::uint32_t rate)
{
    if (!format)
        return format;
    format->wFormatTag = WAVE_FORMAT_PCM;
    format->nChannels = static_cast<std::uint16_t>(channels);
    format->nSamplesPerSec = rate;
    format->wBitsPerSample = static_cast<std::uint16_t>(bits);
    format->nBlockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    format->nAvgBytesPerSec = format->nBlockAlign * rate;
    format->cbSize = 0;
    return format;
}

TWaveFormatEx PcmFormat(int bits, int channels, std::uint32_t rate)
{
    TWaveFormatEx format{};
    BuildPcmFormat(&format, bits, channels, rate);
    return format;
}

namespace {

struct TExtremes {
    int Min;
    int Max;
    std::int64_t MinIndex = 0;
    std::int64_t MaxIndex = 0;

    void Take(int value, std::int64_t index)
    {
        if (value < Min) {
            Min = value;
            MinIndex = index;
        }
        if (value > Max) {
            Max = value;
            MaxIndex = index;
        }
    }
    // First is the extreme that occurs first in the buffer.
    void Result(int& first, int& second) const
    {
        if (MaxIndex < MinIndex) {
            first = Max;
            second = Min;
        } else {
            first = Min;
            second = Max;
        }
    }
};

}  // namespace

void PcmFindMinMax(const TWaveFormatEx* format, const void* buffer, std::int64_t bytes, int& leftFirst,
                   int& leftSecond, int& rightFirst, int& rightSecond)
{
    const bool is16 = format && format->wBitsPerSample == 16;
    const bool stereo = format && format->nChannels == 2;
    const int frameBytes = (is16 ? 2 : 1) * (stereo ? 2 : 1);
    const std::int64_t frames = (buffer && bytes > 0) ? bytes / frameBytes : 0;
    const int neutral = is16 ? 0 : 128;
    if (frames == 0) {
        leftFirst = leftSecond = rightFirst = rightSecond = neutral;
        return;
    }
    const int top = is16 ? 32767 : 127;
    TExtremes left{top, -top};
    TExtremes right{top, -top};
    const auto* bytesIn = static_cast<const unsigned char*>(buffer);
    for (std::int64_t i = 0; i < frames; ++i) {
        const unsigned char* frame = bytesIn + i * frameBytes;
        int l;
        int r = 0;
        if (is16) {
            std::int16_t s;
            std::memcpy(&s, frame, 2);
            l = s;
            if (stereo) {
                std::memcpy(&s, frame + 2, 2);
                r = s;
            }
        } else {
            l = static_cast<int>(frame[0]) - 128;
            if (stereo)
                r = static_cast<int>(frame[1]) - 128;
        }
        left.Take(l, i);
        if (stereo)
            right.Take(r, i);
    }
    left.Result(leftFirst, leftSecond);
    if (stereo)
        right.Result(rightFirst, rightSecond);
    if (!is16) {
        leftFirst += 128;
        leftSecond += 128;
        if (stereo) {
            rightFirst += 128;
            rightSecond += 128;
        }
    }
    if (!stereo) {
        rightFirst = leftFirst;
        rightSecond = leftSecond;
    }
}
