#pragma once

// Sample conversions of the audio pipeline.

#include <cstdint>

struct AVFrame;
struct SwrContext;

// In place: 4-byte floats to 32-bit signed integers (v >= 1: 2147483647;
// v not above -1, NaN included: -2147483648; else floor(v x 2147483647)).
// Trailing bytes that do not form a whole sample are left alone.
void ConvertSinglesToInts(void* buffer, std::uint32_t bytes);
// 8-byte doubles to 32-bit signed integers by the same rule, the results
// packed from the start of the buffer (half the bytes).
void ConvertDoublesToInts(void* buffer, std::uint32_t bytes);
// count little-endian PCM samples of bytesPerSample bytes (1 to 4) as 16-bit
// samples: 8-bit (unsigned) centred, wider ones scaled down with rounding and
// clipped.
void ConvertTo16Bit(const std::uint8_t* in, std::uint32_t count, std::uint32_t bytesPerSample, std::int16_t* out);

// A converter from samples of the frame's layout, format and rate to
// interleaved signed 16-bit samples, outChannels of them at outRate;
// nullptr when it cannot be set up. The caller frees it with swr_free.
SwrContext* NewS16Resampler(const AVFrame& frame, int outChannels, int outRate);
