#pragma once

// Rounded integer arithmetic of the wave audio library.

#include <cstdint>

// a * b / c with a 64-bit intermediate product, rounded: q + (2 * r) div c.
// Positive operands round halves up; a negative product rounds halves away
// from zero. c = 0 gives 0.
std::int32_t MulDivRound(std::int32_t a, std::int32_t b, std::int32_t c);

// The same rule on 64-bit operands (positions and sizes inside the library
// are 64-bit). The product is formed in 128 bits.
std::int64_t MulDivRound64(std::int64_t a, std::int64_t b, std::int64_t c);

// a * b / c computed in extended floating point and truncated towards zero.
// c = 0 gives 0.
std::int64_t MulDiv64(std::int64_t a, std::int64_t b, std::int64_t c);
