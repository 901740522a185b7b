#include "MMACM.h"

namespace {

struct TTagName {
    std::uint16_t Tag;
    const char* Name;
};

constexpr TTagName TagNames[] = {
    {0x0001, "PCM"},
    {0x0002, "Microsoft ADPCM"},
    {0x0003, "IEEE Float"},
    {0x0006, "CCITT A-Law"},
    {0x0007, "CCITT u-Law"},
    {0x0011, "IMA ADPCM"},
    {0x0022, "DSP Group TrueSpeech"},
    {0x0031, "GSM 6.10"},
    {0x0050, "MPEG Layer-2"},
    {0x0055, "MPEG Layer-3"},
    {0x00FF, "AAC"},
    {0x0161, "Windows Media Audio"},
    {0xFFFE, "Extensible"},
};

}  // namespace

bool AcmPresent()
{
    return true;
}

bool AcmFormatTagDetails(std::uint16_t tag, QString& tagName)
{
    for (const TTagName& entry : TagNames)
        if (entry.Tag == tag) {
            tagName = QString::fromLatin1(entry.Name);
            return true;
        }
    return false;
}

bool AcmFormatDetails(const TWaveFormatEx*, QString&)
{
    return false;
}
