#pragma once

// The WAV ends of the audio pipeline: TWaveIn reads RIFF WAVE files (PCM,
// IMA and MS ADPCM, codec data such as a-law, mu-law or MPEG audio, IEEE
// float, extensible PCM and float) and hands out PCM; TWaveOut writes PCM or
// IMA ADPCM WAV files, new or appended.

#include "AudioPipeClasses.h"

#include <QtCore/QBuffer>

#include <array>
#include <cstdint>
#include <memory>

enum TWavType {
    wtUnsupported,
    wtPCM,
    wtDVIADPCM,
    wtMSADPCM,
    wtACM,
    wtIEEEFloat,
    wtExtPCM,
    wtExtIEEEFloat
};

class TWaveIn : public TAudioFileIn {
public:
    explicit TWaveIn(QObject* owner = nullptr);
    ~TWaveIn() override;

    // The kind the header scan found.
    TWavType WavType() const { return FWavType; }

protected:
    void OpenFile() override;
    void CloseFile() override;
    void GetDataInternal(std::uint8_t*& buffer, std::uint32_t& bytes) override;
    bool SeekInternal(std::int64_t& sampleNum) override;

private:
    static constexpr std::uint32_t BlockBufSize = 16384;

    bool ScanHeader();  // false: unsupported or damaged
    bool CheckFormat();
    std::uint32_t ReadData(std::uint8_t* dest, std::uint32_t count);  // bounded by the data chunk
    void DecodeImaBlock(const std::uint8_t* block, std::uint32_t size);
    void DecodeMsBlock(const std::uint8_t* block, std::uint32_t size);
    void RaiseIfTruncated();

    std::array<std::uint8_t, BlockBufSize> FBlockBuf{};
    std::vector<std::uint8_t> FRawBlock;
    TWavType FWavType = wtUnsupported;
    std::uint16_t FFormatTag = 0;
    std::uint16_t FFileBits = 0;
    std::uint16_t FImaBlockAlign = 0;
    std::uint16_t FImaSamplesPerBlock = 0;
    std::uint32_t FImaSampleCount = 0;
    std::uint16_t FMsBlockAlign = 0;
    std::uint16_t FMsSamplesPerBlock = 0;
    std::uint32_t FMsSampleCount = 0;
    std::uint16_t FMsNumCoef = 0;
    std::array<std::int16_t, 64> FMsCoefs{};
    bool FHasFact = false;
    std::int64_t FDataOffset = 0;
    std::int64_t FDataSize = 0;    // bytes of data the header announces
    std::int64_t FDataEnd = 0;     // end of the data that can be read
    bool FTruncated = false;       // the data chunk claims more than the file holds
    std::unique_ptr<QBuffer> FConverted;
    QIODevice* FOrigStream = nullptr;
    bool FOrigStreamAssigned = false;
    bool FFloat32 = false;
};

class TWaveOut : public TAudioFileOut {
public:
    explicit TWaveOut(QObject* owner = nullptr);
    ~TWaveOut() override;

    TWavType WavType() const { return FWavType; }
    // Only wtPCM and wtDVIADPCM, and only while not busy.
    void SetWavType(TWavType v);
    // IMA ADPCM block size in bytes: not 0, a multiple of 4, not while busy.
    std::uint16_t BlockSize() const { return FBlockSize; }
    void SetBlockSize(std::uint16_t v);
    bool CreateNonMsHeaders() const { return FCreateNonMsHeaders; }
    void SetCreateNonMsHeaders(bool v) { FCreateNonMsHeaders = v; }
    void SetFileMode(TFileOutputMode mode) override { FFileMode = mode; }

protected:
    void Prepare() override;
    bool DoOutput(bool abort) override;
    void Done() override;

private:
    void WriteBytes(const void* data, qint64 size);
    void WriteHeader();
    bool ScanAppendHeader();
    void EncodeImaBlock(const std::int16_t* samples, int frames, std::uint8_t* block);

    TWavType FWavType = wtPCM;
    std::uint16_t FBlockSize = 512;
    bool FCreateNonMsHeaders = false;

    bool FEndReached = false;
    std::array<std::int32_t, 2> FImaPred{};
    std::array<int, 2> FImaIndex{};
    std::uint32_t FAppendRate = 0;
    std::uint16_t FAppendChannels = 0;
    std::uint16_t FAppendBits = 0;
    std::uint32_t FAppendFact = 0;
    std::int32_t FFactPos = 0;
    std::uint32_t FAppendDataSize = 0;
    std::int32_t FDataSizePos = 0;
    std::uint8_t FAppendKind = 0;
    std::int32_t FDataStart = 0;

    // Run state.
    std::uint16_t FChannels = 0;
    std::uint32_t FRate = 0;
    std::uint16_t FBits = 0;
    bool FAppending = false;       // this run appends to a file found with a header
    qint64 FOriginalSize = 0;      // its size before the run
    QByteArray FOrigHead;          // and its first bytes
    QString FTempName;             // the file written, renamed to FileName at a good end
    bool FFileOpened = false;
    std::uint64_t FImaFrames = 0;  // frames encoded (real ones, without block padding)
    std::vector<std::uint8_t> FImaIn;
    std::vector<std::uint8_t> FImaOut;
};
