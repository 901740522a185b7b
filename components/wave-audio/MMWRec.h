#pragma once

// The wave recorder: records from a wave-in device straight into a WAV file.
// It joins an inner wave-in device and an inner wave file into a chain
// (device -> wave file -> recorder), forwards their settings and events as
// its own, and lets further components follow it through its Output.

#include "MMDSPObj.h"
#include "SndWave.h"
#include "SndWavIn.h"

#include <QtCore/QString>

#include <cstdint>
#include <memory>

class TSndWaveRecorder : public TSndDSPComponent {
public:
    explicit TSndWaveRecorder(QObject* owner = nullptr);
    ~TSndWaveRecorder() override;

    // ------------------------------------------------------------ properties
    bool HasOutputProperty() const override { return true; }

    // The wave file's wave (its FileMustExist is off).
    TSndWave* Wave() const { return FWaveFile->Wave(); }
    void SetWave(const TSndWave* value) { FWaveFile->SetWave(value); }
    bool OverwriteExisting() const { return FWaveFile->OverwriteExisting(); }
    void SetOverwriteExisting(bool value) { FWaveFile->SetOverwriteExisting(value); }
    std::int32_t GetBufferSize() const override;
    void SetBufferSize(std::int32_t value) override;
    std::int32_t NumBuffers() const { return FWaveIn->NumBuffers(); }
    void SetNumBuffers(std::int32_t value) { FWaveIn->SetNumBuffers(value); }
    TSndDeviceId DeviceID() const { return FWaveIn->DeviceID(); }
    void SetDeviceID(TSndDeviceId value) { FWaveIn->SetDeviceID(value); }
    QString ProductName() const { return FWaveIn->ProductName(); }
    void SetProductName(const QString&) {}
    // Set on the device and on the wave; read from the device.
    TSndTimeFormats TimeFormat() const { return FWaveIn->TimeFormat(); }
    void SetTimeFormat(TSndTimeFormats value);
    TSndCBMode CallBackMode() const { return FWaveIn->CallBackMode(); }
    void SetCallBackMode(TSndCBMode value) { FWaveIn->SetCallBackMode(value); }
    std::int64_t MaxRecordTime() const { return FWaveIn->MaxRecordTime(); }
    void SetMaxRecordTime(std::int64_t value) { FWaveIn->SetMaxRecordTime(value); }
    TSndMode Mode() const { return FWaveIn->Mode(); }
    void SetMode(TSndMode value) { FWaveIn->SetMode(value); }
    TSndBits BitLength() const { return FWaveIn->BitLength(); }
    void SetBitLength(TSndBits value) { FWaveIn->SetBitLength(value); }
    std::int32_t SampleRate() const { return FWaveIn->SampleRate(); }
    void SetSampleRate(std::int32_t value) { FWaveIn->SetSampleRate(value); }
    // "Unknown", or the device format's tag name, a space and its details.
    QString InputFormat() const;
    // Read-only: shows an information box and changes nothing.
    void SetInputFormat(const QString& value);

    // ------------------------------------------------------------ operations
    // Starts recording into the wave's file (nothing while recording or
    // without file name); raises the device's errors.
    void Start();
    // Stops and closes the device; the file is complete afterwards.
    void Stop();
    // The device's state set (dsStarted: recording).
    std::uint8_t GetState() const { return FWaveIn->State(); }
    // The recorded length in TimeFormat units; with OverwriteExisting off,
    // the length the wave had at the start is added.
    std::int64_t GetPosition();

    // A format unlike the device's is installed on the device; an equal
    // one (or none) goes down the chain. Ignored while the wave changes.
    void SetPWaveFormat(const TWaveFormatEx* format) override;
    // The same for a format that came in a block of blockSize bytes.
    void SetPWaveFormat(const TWaveFormatEx* format, std::size_t blockSize);

    // The inner components.
    TSndWaveIn* WaveIn() const { return FWaveIn.get(); }
    TSndWaveFile* WaveFile() const { return FWaveFile.get(); }

    // ------------------------------------------------------------ events
    TSndNotifyEvent OnStart;
    TSndNotifyEvent OnStop;  // after the device closed: the file is complete
    TSndNotifyEvent OnPause;
    TSndNotifyEvent OnRestart;
    TSndBufferEvent OnData;  // every buffer the device passes on
    TSndNotifyEvent OnChange;

private:
    void TellStop();

    std::unique_ptr<TSndWaveFile> FWaveFile;
    std::unique_ptr<TSndWaveIn> FWaveIn;
    std::int64_t FEarlierLength = 0;
    bool FUpdating = false;
    bool FDestroyingRecorder = false;
    bool FStopOwed = false;  // the device stopped; its close under way tells
};
