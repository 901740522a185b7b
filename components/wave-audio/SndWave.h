#pragma once

// The wave object (one RIFF WAVE file with a play range, a play position and a
// time unit) and the wave file component that puts it into a buffer chain:
// the source of a playback chain, or the sink of a recording chain.

#include "MMDSPObj.h"
#include "SndCutLst.h"
#include "SndObj.h"
#include "SndObsrv.h"
#include "SndWaveIO.h"

#include <QtCore/QByteArray>
#include <QtCore/QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

// Raised by the wave object with a library message.
class ESndWaveError : public ESndError {
public:
    using ESndError::ESndError;
    // The error with library message n.
    static ESndWaveError FromMessage(int n);
};

class TSndWave;
using TSndWaveProgress =
    std::function<void(TSndWave* sender, std::int64_t curByte, std::int64_t numBytes, bool& cancel)>;

class TSndWave : public TSndObject {
public:
    TSndWave();
    ~TSndWave() override;

    // Published properties.
    TSndTimeFormats TimeFormat() const { return FTimeFormat; }
    void SetTimeFormat(TSndTimeFormats value);
    bool FileMustExist() const { return FFileMustExist; }
    void SetFileMustExist(bool value) { FFileMustExist = value; }
    QString FileName() const { return FFileName; }
    // Opens the named file (raises ESndWaveError 130 or 133 for a file that
    // cannot be used; the previous file stays then).
    virtual void SetFileName(const QString& value);
    std::uint16_t BitLength() const;
    TSndMode Mode() const;
    std::uint16_t FormatTag() const;
    QString FormatString() const;
    std::uint32_t SampleRate() const;
    std::int64_t FileSize() const;
    // The file's length in TimeFormat units.
    std::int64_t DataSize() const;
    std::int32_t IOBufferSize() const { return FIOBufferSize; }
    void SetIOBufferSize(std::int32_t value);

    TSndWaveProgress OnProgress;

    virtual std::int64_t ReadRaw(void* buffer, std::int64_t count);
    TWaveFormatEx* PWaveFormat() const { return GetPWaveFormat(); }
    virtual TWaveFormatEx* GetPWaveFormat() const;
    // The play position in TimeFormat units, counted from the play range's
    // start; raises 147 when the file cannot be positioned.
    virtual void SetPosition(std::int64_t value);
    // The play position in TimeFormat units; -1 without file.
    std::int64_t GetPosition() const;
    virtual std::int64_t SamplesToBytes(std::int64_t samples) const;
    virtual std::int64_t BytesToSamples(std::int64_t bytes) const;
    virtual std::int64_t PlayToFile(std::int64_t samples) const { return samples; }
    virtual std::int64_t FileToPlay(std::int64_t samples) const { return samples; }
    virtual std::int64_t SamplesToTimeFormat(std::int64_t samples) const;
    virtual std::int64_t TimeFormatToSamples(std::int64_t value) const;
    // Sections to leave out of the play range; the program passes none.
    virtual void SetCutSource(const TSndCutList* list);
    virtual void PositionChanging(bool) {}
    virtual void OpenFile();
    virtual void CloseFile();
    virtual void LoopRestarted() {}

    // The play range, in TimeFormat units.
    void SetStartPos(std::int64_t value);
    void SetEndPos(std::int64_t value);
    std::int64_t GetStartPos() const { return SamplesToTimeFormat(FStartPos); }
    std::int64_t GetEndPos() const { return SamplesToTimeFormat(FEndPos); }

    // Reads the next bytes of the play range: the bytes delivered, 0 when the
    // file ended before the play range did, -1 without file or when no bytes
    // are left.
    std::int64_t ReadData(void* buffer, std::int64_t count);
    // Appends samples to a file made by CreateNewFile (or opened for writing).
    std::int64_t WriteData(const void* buffer, std::int64_t count);
    std::int64_t BytesLeft() const { return FBytesLeft; }
    // Sample frames of the play range.
    std::int64_t PlayLength() const;
    // True when the wave has a file with at least one sample frame.
    bool HasData() const;

    void CreateNewFile(const QString& fileName, const TWaveFormatEx* format);
    void CreateFromFormat(const TWaveFormatEx* format);
    // Writes the play range into a new wave file; raises 134, 140 or 141.
    void SaveRegionToFile(const QString& fileName);
    void FreeWave();

    void AddObserver(TSndObserver* observer) { FObservable.AddObserver(observer); }
    void RemoveObserver(TSndObserver* observer) { FObservable.RemoveObserver(observer); }

    void Assign(const TSndWave* source);

    bool IsOpened() const { return FOpened; }
    // The record of the open file (none without file).
    TSndWaveIOInfo* WaveIOInfo() const { return FInfo; }
    const TSndCutList& Regions() const { return FRegions; }

protected:
    void Changed() override;
    virtual void DoProgress(std::int64_t curByte, std::int64_t numBytes, bool& cancel);

private:
    void ClearWave();
    void TakeRecord(PSndWaveIOInfo info);
    void RebuildRegions();
    [[noreturn]] void Fail(int message) const;

    PSndWaveIOInfo FInfo = nullptr;
    QString FFileName;
    bool FFileMustExist = true;
    std::int32_t FIOBufferSize = 32768;
    TSndTimeFormats FTimeFormat = tfSample;
    std::int64_t FStartPos = 0;
    std::int64_t FEndPos = 0;
    std::int64_t FPosition = 0;
    std::int64_t FBytesLeft = 0;
    std::int64_t FTotalBytes = 0;
    int FRegionIndex = 0;
    std::int64_t FRegionBytesLeft = 0;
    bool FOpened = false;
    bool FSuspended = false;
    bool FChangePending = false;
    TSndCutList FRegions;
    TSndObservable FObservable;
};

// The wave file component: without Input it fills every buffer that the
// device asks for from its wave; with an Input it writes every buffer that
// passes through into the wave's file.
class TSndCustomWaveFile : public TSndDSPComponent {
public:
    explicit TSndCustomWaveFile(QObject* owner = nullptr);
    ~TSndCustomWaveFile() override;

    TSndWave* Wave() const { return FWave.get(); }
    void SetWave(const TSndWave* value) { FWave->Assign(value); }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value) { FEnabled = value; }
    bool OverwriteExisting() const { return FOverwriteExisting; }
    void SetOverwriteExisting(bool value) { FOverwriteExisting = value; }
    // 128 for 8-bit PCM (and before any format), else 0.
    std::uint8_t SilenceByte() const { return FSilenceByte; }
    bool WaveOpened() const { return FWaveOpened; }
    bool WaveStarted() const { return FWaveStarted; }

    TSndNotifyEvent OnOpen;
    TSndNotifyEvent OnClose;
    TSndNotifyEvent OnChange;
    TSndNotifyEvent OnChanged;
    TSndNotifyEvent OnLooping;

    void SetPWaveFormat(const TWaveFormatEx* format) override;
    void Opened() override;
    void Closed() override;
    void Started() override;
    void Stopped() override;
    void ChainReset() override;
    void BufferReady(TSndWaveHdr* lpWaveHdr) override;
    void BufferLoad(TSndWaveHdr* lpWaveHdr, bool& moreBuffers) override;

protected:
    virtual void WaveChanged();
    virtual void DoOpen();
    virtual void DoClose();

private:
    // Writes a passing buffer into the file; closes the component when the
    // disk is full or the write fails.
    void WriteBuffer(TSndWaveHdr* lpWaveHdr);

    std::unique_ptr<TSndWave> FWave;
    std::unique_ptr<TSndObserver> FObserver;
    std::int64_t FSavedStartPos = 0;
    QByteArray FWriteFolder;  // the written file's folder, in the file system's encoding
    std::atomic<std::uint8_t> FSilenceByte{128};
    std::atomic<bool> FEnabled{true};
    bool FOverwriteExisting = true;
    std::atomic<bool> FWaveOpened{false};
    std::atomic<bool> FWaveStarted{false};
};

// The published wave file component.
class TSndWaveFile : public TSndCustomWaveFile {
public:
    using TSndCustomWaveFile::TSndCustomWaveFile;
    bool HasInputProperty() const override { return true; }
    bool HasOutputProperty() const override { return true; }
};
