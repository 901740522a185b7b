#pragma once

// Sample conversions of the audio pipeline.

#include <cstdint>

// In place: 4-byte floats to 32-bit signed integers (v >= 1: 2147483647;
// v not above -1, NaN included: -2147483648; else floor(v x 2147483647)).
// Trailing bytes that do not form a whole sample are left alone.
void ConvertSinglesToInts(void* buffer, std::uint32_t bytes);
// 8-byte doubles to 32-bit signed integers by the same rule, the results
// packed from the start of the buffer (half the bytes).
void ConvertDoublesToInts(void* buffer, std::uint32_t bytes);
