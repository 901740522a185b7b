#include "SndMulDiv.h"

namespace {
__extension__ typedef __int128 TInt128;
}

std::int32_t MulDivRound(std::int32_t a, std::int32_t b, std::int32_t c)
{
    if (c == 0)
        return 0;
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const std::int64_t q = product / c;
    const std::int64_t r = product % c;
    // 2 * r is a 32-bit value in the library's arithmetic.
    const auto twiceR = static_cast<std::int32_t>(static_cast<std::uint32_t>(r) * 2u);
    return static_cast<std::int32_t>(q + twiceR / c);
}

std::int64_t MulDivRound64(std::int64_t a, std::int64_t b, std::int64_t c)
{
    if (c == 0)
        return 0;
    const TInt128 product = static_cast<TInt128>(a) * b;
    const TInt128 q = product / c;
    const TInt128 r = product % c;
    return static_cast<std::int64_t>(q + (2 * r) / c);
}

std::int64_t MulDiv64(std::int64_t a, std::int64_t b, std::int64_t c)
{
    if (c == 0)
        return 0;
    const long double value = static_cast<long double>(a) * static_cast<long double>(b) / static_cast<long double>(c);
    return static_cast<std::int64_t>(value);  // truncates towards zero
}
