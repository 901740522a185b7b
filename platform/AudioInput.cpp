#include "AudioInput.h"

namespace {

struct TStandardFormat {
    std::uint32_t Rate;
    std::uint16_t Channels;
    std::uint16_t Bits;
    std::uint32_t Bit;
};

constexpr TStandardFormat StandardFormats[] = {
    {11025, 1, 8, AudioFormat1M08}, {11025, 2, 8, AudioFormat1S08}, {11025, 1, 16, AudioFormat1M16},
    {11025, 2, 16, AudioFormat1S16}, {22050, 1, 8, AudioFormat2M08}, {22050, 2, 8, AudioFormat2S08},
    {22050, 1, 16, AudioFormat2M16}, {22050, 2, 16, AudioFormat2S16}, {44100, 1, 8, AudioFormat4M08},
    {44100, 2, 8, AudioFormat4S08}, {44100, 1, 16, AudioFormat4M16}, {44100, 2, 16, AudioFormat4S16},
};

}  // namespace

std::uint32_t AudioStandardFormatBit(const TAudioFormat& format)
{
    if (format.Channels < 1 || format.Channels > 2 || (format.BitsPerSample != 8 && format.BitsPerSample != 16))
        return 0;
    std::uint32_t rateClass;
    if (format.SampleRate >= 8000 && format.SampleRate <= 11025)
        rateClass = 11025;
    else if (format.SampleRate > 11025 && format.SampleRate <= 22050)
        rateClass = 22050;
    else if (format.SampleRate > 22050 && format.SampleRate <= 48000)
        rateClass = 44100;
    else
        return 0;
    for (const TStandardFormat& f : StandardFormats)
        if (f.Rate == rateClass && f.Channels == format.Channels && f.Bits == format.BitsPerSample)
            return f.Bit;
    return 0;
}

std::uint32_t QueryInputStandardFormats(TAudioSystem& system, int deviceId)
{
    std::uint32_t bits = 0;
    for (const TStandardFormat& f : StandardFormats) {
        TAudioFormat format;
        format.SampleRate = f.Rate;
        format.Channels = f.Channels;
        format.BitsPerSample = f.Bits;
        std::unique_ptr<TAudioInputStream> none;
        if (system.OpenInput(deviceId, format, true, TAudioInputCallback(), none) == aeOk)
            bits |= f.Bit;
    }
    return bits;
}

int TAudioSystem::InputDeviceCount()
{
    return 0;
}

int TAudioSystem::GetInputDeviceCaps(int, TAudioInputCaps&)
{
    return aeNoDriver;
}

int TAudioSystem::OpenInput(int, const TAudioFormat&, bool, TAudioInputCallback, std::unique_ptr<TAudioInputStream>&)
{
    return aeNoDriver;
}
