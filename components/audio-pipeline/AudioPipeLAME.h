#pragma once

// The MP3 file output: encodes its input's PCM (mono or stereo; 8-, 24- and
// 32-bit samples become 16-bit on the way in) through the encoder binding of
// module lame, then appends a 128-byte ID3v1 trailer and puts the information
// frame (encoder delay and padding; the VBR header for VBR) into the first
// frame of the finished file.

#include "AudioPipeClasses.h"
#include "lame.h"

#include <cstdint>
#include <vector>

enum TMP3Mode { mmStereo, mmJointStereo, mmDual, mmMono };

enum TMP3BitRate {
    mbrAuto, mbr32, mbr40, mbr48, mbr56, mbr64, mbr80, mbr96, mbr112, mbr128,
    mbr144, mbr160, mbr192, mbr224, mbr256, mbr320
};

enum TMP3Quality { mp3ql0, mp3ql1, mp3ql2, mp3ql3, mp3ql4, mp3ql5, mp3ql6, mp3ql7, mp3ql8, mp3ql9 };

// Kilobits per second: 0 for mbrAuto.
std::uint32_t MP3BitRateKbps(TMP3BitRate rate);

class TMP3Out : public TAudioTaggedFileOut {
public:
    // Raises EAudioException "<library> library could not be loaded." when
    // the encoder library cannot be bound.
    explicit TMP3Out(QObject* owner = nullptr);
    ~TMP3Out() override;

    // Copies the values of the given container into the trailer's tags.
    void SetId3v1Tags(const TId3v1Tags& tags) { FId3v1Tags->Assign(tags); }

    TMP3BitRate BitRate() const { return FBitRate; }
    void SetBitRate(TMP3BitRate v) { FBitRate = v; }
    TMP3Mode Mode() const { return FMode; }
    void SetMode(TMP3Mode v) { FMode = v; }
    std::int32_t CRC() const { return FCRC; }
    void SetCRC(std::int32_t v) { FCRC = v; }
    std::int32_t Copyright() const { return FCopyright; }
    void SetCopyright(std::int32_t v) { FCopyright = v; }
    std::int32_t Original() const { return FOriginal; }
    void SetOriginal(std::int32_t v) { FOriginal = v; }
    bool EnableBitReservoir() const { return FEnableBitReservoir; }
    void SetEnableBitReservoir(bool v) { FEnableBitReservoir = v; }
    bool StrinctISO() const { return FStrinctISO; }
    void SetStrinctISO(bool v) { FStrinctISO = v; }
    TMP3Quality VBRQuality() const { return FVBRQuality; }
    void SetVBRQuality(TMP3Quality v) { FVBRQuality = v; }
    std::int32_t EnableVBR() const { return FEnableVBR; }
    void SetEnableVBR(std::int32_t v) { FEnableVBR = v; }
    TMP3BitRate AverageBitrate() const { return FAverageBitrate; }
    void SetAverageBitrate(TMP3BitRate v) { FAverageBitrate = v; }
    TMP3BitRate MaximumBitrate() const { return FMaximumBitrate; }
    void SetMaximumBitrate(TMP3BitRate v) { FMaximumBitrate = v; }

    // The encoder configuration for input at the given rate, as a run makes it.
    TLameConfig MakeConfig(std::uint32_t sampleRate) const;
    // The 128-byte ID3v1 trailer of the current tags.
    QByteArray MakeTrailer() const;

protected:
    void Prepare() override;
    bool DoOutput(bool abort) override;
    void Done() override;

private:
    void WriteBytes(const void* data, std::uint32_t count);

    TMP3BitRate FBitRate = mbr128;
    TMP3Mode FMode = mmStereo;
    std::int32_t FCRC = 0;
    std::int32_t FCopyright = 0;
    std::int32_t FOriginal = -1;
    bool FEnableBitReservoir = false;
    bool FStrinctISO = false;
    TMP3Quality FVBRQuality = mp3ql0;
    std::int32_t FEnableVBR = 0;
    TMP3BitRate FAverageBitrate = mbrAuto;
    TMP3BitRate FMaximumBitrate = mbrAuto;

    // Run state.
    TLameConfig FConfig{};
    TLameStream FEncoder = nullptr;
    std::uint32_t FOutBufSize = 0;
    std::uint32_t FInBufSize = 0;
    std::vector<std::uint8_t> FOutBuf;
    std::vector<std::uint8_t> FInBuf;    // as the input delivers it
    std::vector<std::int16_t> FSamples;  // as the encoder takes it
    std::uint32_t FInBytesPerSample = 2;
    bool FFileCreated = false;
    qint64 FStreamStart = -1;            // where the run's MP3 starts in the stream (-1: cannot seek)
    bool FInfoTagReserved = false;
};
