#include "lame.h"

#include <QtCore/QFile>

// Function types only; the library itself is opened with dlopen.
#include <lame/lame.h>

#include <dlfcn.h>

#include <mutex>
#include <new>
#include <vector>

namespace {

// Samples per channel in one encoding round: four MPEG-1 frames.
constexpr std::uint32_t ChunkFramesPerChannel = 4608;

struct TLameEntries {
    decltype(&lame_init) Init = nullptr;
    decltype(&lame_close) Close = nullptr;
    decltype(&lame_set_in_samplerate) SetInRate = nullptr;
    decltype(&lame_set_out_samplerate) SetOutRate = nullptr;
    decltype(&lame_set_num_channels) SetChannels = nullptr;
    decltype(&lame_set_mode) SetMode = nullptr;
    decltype(&lame_set_brate) SetBitrate = nullptr;
    decltype(&lame_set_VBR) SetVbr = nullptr;
    decltype(&lame_set_VBR_quality) SetVbrQuality = nullptr;
    decltype(&lame_set_VBR_mean_bitrate_kbps) SetVbrMean = nullptr;
    decltype(&lame_set_VBR_max_bitrate_kbps) SetVbrMax = nullptr;
    decltype(&lame_set_error_protection) SetCrc = nullptr;
    decltype(&lame_set_copyright) SetCopyright = nullptr;
    decltype(&lame_set_original) SetOriginal = nullptr;
    decltype(&lame_set_bWriteVbrTag) SetWriteVbrTag = nullptr;
    decltype(&lame_set_disable_reservoir) SetNoReservoir = nullptr;
    decltype(&lame_set_strict_ISO) SetStrictIso = nullptr;
    decltype(&lame_init_params) InitParams = nullptr;
    decltype(&lame_encode_buffer) EncodeBuffer = nullptr;
    decltype(&lame_encode_buffer_interleaved) EncodeInterleaved = nullptr;
    decltype(&lame_encode_flush) Flush = nullptr;
    decltype(&lame_get_lametag_frame) GetTagFrame = nullptr;
};

struct TLameBinding {
    std::mutex Lock;
    QString Name = QStringLiteral("libmp3lame.so.0");
    void* Module = nullptr;
    int References = 0;
    TLameEntries Entries;
};

TLameBinding& Binding()
{
    static TLameBinding binding;
    return binding;
}

template <typename T>
bool Resolve(void* module, const char* name, T& entry)
{
    entry = reinterpret_cast<T>(dlsym(module, name));
    return entry != nullptr;
}

bool ResolveAll(void* module, TLameEntries& e)
{
    return Resolve(module, "lame_init", e.Init) && Resolve(module, "lame_close", e.Close)
           && Resolve(module, "lame_set_in_samplerate", e.SetInRate)
           && Resolve(module, "lame_set_out_samplerate", e.SetOutRate)
           && Resolve(module, "lame_set_num_channels", e.SetChannels)
           && Resolve(module, "lame_set_mode", e.SetMode) && Resolve(module, "lame_set_brate", e.SetBitrate)
           && Resolve(module, "lame_set_VBR", e.SetVbr)
           && Resolve(module, "lame_set_VBR_quality", e.SetVbrQuality)
           && Resolve(module, "lame_set_VBR_mean_bitrate_kbps", e.SetVbrMean)
           && Resolve(module, "lame_set_VBR_max_bitrate_kbps", e.SetVbrMax)
           && Resolve(module, "lame_set_error_protection", e.SetCrc)
           && Resolve(module, "lame_set_copyright", e.SetCopyright)
           && Resolve(module, "lame_set_original", e.SetOriginal)
           && Resolve(module, "lame_set_bWriteVbrTag", e.SetWriteVbrTag)
           && Resolve(module, "lame_set_disable_reservoir", e.SetNoReservoir)
           && Resolve(module, "lame_set_strict_ISO", e.SetStrictIso)
           && Resolve(module, "lame_init_params", e.InitParams)
           && Resolve(module, "lame_encode_buffer", e.EncodeBuffer)
           && Resolve(module, "lame_encode_buffer_interleaved", e.EncodeInterleaved)
           && Resolve(module, "lame_encode_flush", e.Flush)
           && Resolve(module, "lame_get_lametag_frame", e.GetTagFrame);
}

bool IsMpegRate(std::uint32_t rate)
{
    for (std::uint32_t r : {8000u, 11025u, 12000u, 16000u, 22050u, 24000u, 32000u, 44100u, 48000u})
        if (rate == r)
            return true;
    return false;
}

const TLameEntries* Entries()
{
    TLameBinding& b = Binding();
    std::lock_guard<std::mutex> guard(b.Lock);
    return b.Module ? &b.Entries : nullptr;
}

}  // namespace

struct TLameStreamRec {
    lame_global_flags* Flags = nullptr;
    std::uint32_t Channels = 0;
    std::uint32_t OutBufferSize = 0;
};

QString LameLibraryName()
{
    TLameBinding& b = Binding();
    std::lock_guard<std::mutex> guard(b.Lock);
    return b.Name;
}

void SetLameLibraryName(const QString& name)
{
    TLameBinding& b = Binding();
    std::lock_guard<std::mutex> guard(b.Lock);
    b.Name = name;
}

bool LameAcquire()
{
    TLameBinding& b = Binding();
    std::lock_guard<std::mutex> guard(b.Lock);
    if (b.Module) {
        ++b.References;
        return true;
    }
    void* module = dlopen(QFile::encodeName(b.Name).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!module)
        return false;
    TLameEntries entries;
    if (!ResolveAll(module, entries)) {
        dlclose(module);
        return false;
    }
    b.Module = module;
    b.Entries = entries;
    b.References = 1;
    return true;
}

void LameRelease()
{
    TLameBinding& b = Binding();
    std::lock_guard<std::mutex> guard(b.Lock);
    if (b.References <= 0 || --b.References > 0)
        return;
    dlclose(b.Module);
    b.Module = nullptr;
    b.Entries = TLameEntries();
}

bool LameLoaded()
{
    return Entries() != nullptr;
}

int beInitStream(const TLameConfig& config, std::uint32_t channels, std::uint32_t& samplesPerChunk,
                 std::uint32_t& outBufferSize, TLameStream& stream)
{
    stream = nullptr;
    samplesPerChunk = 0;
    outBufferSize = 0;
    const TLameEntries* e = Entries();
    if (!e)
        return LAME_ERR_NOT_LOADED;
    if (channels < 1 || channels > 2 || config.SampleRate == 0 || config.Mode < 0 || config.Mode > 3)
        return LAME_ERR_INVALID_FORMAT;
    lame_global_flags* flags = e->Init();
    if (!flags)
        return LAME_ERR_NO_MEMORY;
    e->SetInRate(flags, static_cast<int>(config.SampleRate));
    // No resampling: the output keeps the input's rate whenever MPEG audio
    // has that rate; other rates are left to the encoder.
    std::uint32_t outRate = config.ResampleRate;
    if (outRate == 0 && IsMpegRate(config.SampleRate))
        outRate = config.SampleRate;
    if (outRate != 0)
        e->SetOutRate(flags, static_cast<int>(outRate));
    e->SetChannels(flags, static_cast<int>(channels));
    // One channel is always encoded as mono; the mode is the output's layout.
    e->SetMode(flags, channels == 1 ? MONO : static_cast<MPEG_mode>(config.Mode));
    e->SetCrc(flags, config.Crc != 0);
    e->SetCopyright(flags, config.Copyright != 0);
    e->SetOriginal(flags, config.Original != 0);
    e->SetWriteVbrTag(flags, config.WriteVbrHeader != 0);
    e->SetNoReservoir(flags, config.NoReservoir != 0);
    e->SetStrictIso(flags, config.StrictIso != 0);
    if (config.EnableVbr) {
        if (config.VbrMethod == 4) {
            e->SetVbr(flags, vbr_abr);
            if (config.AverageBitrate)
                e->SetVbrMean(flags, static_cast<int>(config.AverageBitrate));
        } else {
            e->SetVbr(flags, vbr_default);
            e->SetVbrQuality(flags, static_cast<float>(config.VbrQuality));
        }
        if (config.MaxBitrate)
            e->SetVbrMax(flags, static_cast<int>(config.MaxBitrate));
    } else {
        e->SetVbr(flags, vbr_off);
        if (config.Bitrate)
            e->SetBitrate(flags, static_cast<int>(config.Bitrate));
    }
    if (e->InitParams(flags) < 0) {
        e->Close(flags);
        return LAME_ERR_INVALID_FORMAT;
    }
    auto* rec = new (std::nothrow) TLameStreamRec;
    if (!rec) {
        e->Close(flags);
        return LAME_ERR_NO_MEMORY;
    }
    rec->Flags = flags;
    rec->Channels = channels;
    // The encoder's worst case: 1.25 x samples per channel + 7200 bytes.
    rec->OutBufferSize = ChunkFramesPerChannel * 5 / 4 + 7200;
    samplesPerChunk = ChunkFramesPerChannel * channels;
    outBufferSize = rec->OutBufferSize;
    stream = rec;
    return LAME_OK;
}

int beEncodeChunk(TLameStream stream, std::uint32_t count, const std::int16_t* samples, std::uint8_t* output,
                  std::uint32_t& outBytes)
{
    outBytes = 0;
    const TLameEntries* e = Entries();
    if (!e)
        return LAME_ERR_NOT_LOADED;
    if (!stream || !stream->Flags)
        return LAME_ERR_INVALID_HANDLE;
    const int perChannel = static_cast<int>(count / stream->Channels);
    if (perChannel <= 0)
        return LAME_OK;
    if (static_cast<std::uint32_t>(perChannel) > ChunkFramesPerChannel)
        return LAME_ERR_ENCODE;
    auto* pcm = const_cast<short*>(reinterpret_cast<const short*>(samples));
    const int n = stream->Channels == 2
                      ? e->EncodeInterleaved(stream->Flags, pcm, perChannel, output,
                                             static_cast<int>(stream->OutBufferSize))
                      : e->EncodeBuffer(stream->Flags, pcm, pcm, perChannel, output,
                                        static_cast<int>(stream->OutBufferSize));
    if (n < 0)
        return LAME_ERR_ENCODE;
    outBytes = static_cast<std::uint32_t>(n);
    return LAME_OK;
}

int beDeinitStream(TLameStream stream, std::uint8_t* output, std::uint32_t& outBytes)
{
    outBytes = 0;
    const TLameEntries* e = Entries();
    if (!e)
        return LAME_ERR_NOT_LOADED;
    if (!stream || !stream->Flags)
        return LAME_ERR_INVALID_HANDLE;
    const int n = e->Flush(stream->Flags, output, static_cast<int>(stream->OutBufferSize));
    if (n < 0)
        return LAME_ERR_ENCODE;
    outBytes = static_cast<std::uint32_t>(n);
    return LAME_OK;
}

int beWriteInfoTag(TLameStream stream, QIODevice& output, qint64 at)
{
    const TLameEntries* e = Entries();
    if (!e)
        return LAME_ERR_NOT_LOADED;
    if (!stream || !stream->Flags)
        return LAME_ERR_INVALID_HANDLE;
    const std::size_t size = e->GetTagFrame(stream->Flags, nullptr, 0);
    if (size == 0)
        return LAME_OK;  // no frame was reserved
    std::vector<unsigned char> frame(size);
    if (e->GetTagFrame(stream->Flags, frame.data(), frame.size()) != size)
        return LAME_ERR_FILE;
    if (output.isSequential() || at < 0 || output.size() < at + static_cast<qint64>(size) || !output.seek(at))
        return LAME_ERR_FILE;
    if (output.write(reinterpret_cast<const char*>(frame.data()), static_cast<qint64>(size))
        != static_cast<qint64>(size))
        return LAME_ERR_FILE;
    return LAME_OK;
}

int beCloseStream(TLameStream stream)
{
    if (!stream)
        return LAME_ERR_INVALID_HANDLE;
    const TLameEntries* e = Entries();
    if (e && stream->Flags)
        e->Close(stream->Flags);
    delete stream;
    return e ? LAME_OK : LAME_ERR_NOT_LOADED;
}
