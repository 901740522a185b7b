// What the audio device layer's two sides share and keep no state for: the
// texts of result codes, the formats the layer plays, the volume scaling. The
// multimedia module compiles this file too.

#include "AudioDevice.h"

QString AudioErrorText(int code)
{
    switch (code) {
    case aeOk: return QStringLiteral("The command completed successfully.");
    case aeError: return QStringLiteral("An unspecified error occurred in the audio device.");
    case aeBadDeviceId: return QStringLiteral("The specified audio device number is out of range.");
    case aeNotEnabled: return QStringLiteral("The audio driver failed to enable.");
    case aeAllocated: return QStringLiteral("The audio device is already in use.");
    case aeInvalidHandle: return QStringLiteral("The audio stream is not open.");
    case aeNoDriver: return QStringLiteral("No audio driver is installed.");
    case aeNoMem: return QStringLiteral("The audio device could not get the memory it needs.");
    case aeNotSupported: return QStringLiteral("The audio device does not support this function.");
    case aeInvalidParam: return QStringLiteral("An invalid parameter was passed to the audio device.");
    case aeBadFormat: return QStringLiteral("The audio device does not support this sound format.");
    case aeStillPlaying: return QStringLiteral("Buffers are still queued at the audio device.");
    default: return QString();
    }
}

bool TAudioFormat::IsValid() const
{
    return Channels >= 1 && SampleRate > 0 && (BitsPerSample == 8 || BitsPerSample == 16);
}

void ApplyAudioVolume(void* data, std::uint32_t bytes, const TAudioFormat& format, TAudioVolume volume)
{
    if (volume.Left == 0xFFFF && volume.Right == 0xFFFF)
        return;
    if (!format.IsValid())
        return;
    const int channels = format.Channels;
    const std::uint32_t gain[2] = {volume.Left, volume.Right};
    if (format.BitsPerSample == 16) {
        auto* p = static_cast<unsigned char*>(data);
        const std::uint32_t count = bytes / 2;
        for (std::uint32_t i = 0; i < count; ++i) {
            const int channel = static_cast<int>(i % channels);
            const std::uint32_t g = gain[channel == 1 ? 1 : 0];
            const auto raw = static_cast<std::int16_t>(static_cast<std::uint16_t>(p[2 * i] | (p[2 * i + 1] << 8)));
            const auto scaled = static_cast<std::int16_t>((static_cast<std::int64_t>(raw) * g) / 0xFFFF);
            const auto out = static_cast<std::uint16_t>(scaled);
            p[2 * i] = static_cast<unsigned char>(out & 0xFF);
            p[2 * i + 1] = static_cast<unsigned char>(out >> 8);
        }
    } else {
        auto* p = static_cast<unsigned char*>(data);
        for (std::uint32_t i = 0; i < bytes; ++i) {
            const int channel = static_cast<int>(i % channels);
            const std::uint32_t g = gain[channel == 1 ? 1 : 0];
            const int centred = static_cast<int>(p[i]) - 128;
            p[i] = static_cast<unsigned char>(128 + static_cast<int>((static_cast<std::int64_t>(centred) * g) / 0xFFFF));
        }
    }
}
