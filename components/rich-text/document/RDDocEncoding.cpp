#include "document/RDDocEncoding.h"

namespace {

bool IsSystemCodePage(uint32_t codePage)
{
    return codePage == 0 || codePage == 1 || codePage == 936 || codePage == 54936;
}

}  // namespace

bool IsDoubleByteCodePage(uint32_t codePage)
{
    return IsSystemCodePage(codePage) || codePage == 932 || codePage == 949 || codePage == 950 || codePage == 1361;
}

int DoubleByteCharSize(const QByteArray& s, qsizetype i, uint32_t codePage)
{
    const auto lead = static_cast<unsigned char>(s[i]);
    if (lead < 0x81 || lead == 0xFF || i + 1 >= s.size())
        return 1;
    if (codePage == 932 && lead >= 0xA1 && lead <= 0xDF)
        return 1;  // half-width katakana
    const auto second = static_cast<unsigned char>(s[i + 1]);
    if (IsSystemCodePage(codePage) && second >= 0x30 && second <= 0x39 && i + 3 < s.size())
        return 4;
    return 2;
}
