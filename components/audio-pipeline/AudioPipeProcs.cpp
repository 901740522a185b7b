#include "AudioPipeProcs.h"

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
