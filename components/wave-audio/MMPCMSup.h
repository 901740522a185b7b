#pragma once

// The wave format record and the PCM routines of the wave audio library.

#include <cstdint>

// The wave format record as stored in a "fmt " chunk (18 bytes), possibly
// followed by cbSize bytes of format-specific data.
#pragma pack(push, 1)
struct TWaveFormatEx {
    std::uint16_t wFormatTag;
    std::uint16_t nChannels;
    std::uint32_t nSamplesPerSec;
    std::uint32_t nAvgBytesPerSec;
    std::uint16_t nBlockAlign;
    std::uint16_t wBitsPerSample;
    std::uint16_t cbSize;
};
#pragma pack(pop)
static_assert(sizeof(TWaveFormatEx) == 18, "the wave format record is 18 bytes");

using PWaveFormatEx = TWaveFormatEx*;

constexpr std::uint16_t WAVE_FORMAT_PCM = 1;

// True when format is set, PCM, 8 or 16 bits, 1 or 2 channels and
// 4000 <= rate <= 100000.
bool PcmIsValid(const TWaveFormatEx* format);

// Fills a PCM record (block align and average rate derived) and returns it.
TWaveFormatEx* BuildPcmFormat(TWaveFormatEx* format, int bits, int channels, std::uint32_t rate);
TWaveFormatEx PcmFormat(int bits, int channels, std::uint32_t rate);

// The extreme values of each channel of a PCM buffer of 8 or 16 bits, mono or
// stereo. "First" is the extreme that occurs first in the buffer. 8-bit
// results are unsigned (0..255); mono copies the left results to the right.
void PcmFindMinMax(const TWaveFormatEx* format, const void* buffer, std::int64_t bytes, int& leftFirst,
                   int& leftSecond, int& rightFirst, int& rightSecond);
