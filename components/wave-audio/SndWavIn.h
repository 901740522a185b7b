#pragma once

// The wave-in device: records through an input device of the audio device
// layer and pushes every filled buffer down its chain (BufferReady), so that
// the components behind it receive the recording as it arrives. It keeps a
// ring of buffers queued at the driver, hands each one back to the driver as
// soon as it was passed on, stops by itself after MaxRecordTime, and reports
// failures as ESndWaveInError.
//
// Finished buffers are handled on the GUI thread (cmWindow: through the
// device's hidden window) or on the device's worker thread (cmThread). The
// driver's notification only counts the buffer and forwards it. A stop that
// arises while a buffer is being handled completes on the GUI thread once
// the handler is done.

#include "AudioInput.h"
#include "MMDSPObj.h"
#include "SndObj.h"
#include "SndUtils.h"
#include "SndWaveDev.h"
#include "SndWavOut.h"

#include <QtCore/QObject>
#include <QtCore/QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

class ESndWaveInError : public ESndError {
public:
    using ESndError::ESndError;
};

class TSndCustomWaveIn;

// The worker thread of a device in cmThread: runs the finished-buffer
// handler whenever the driver hands buffers back.
class TSndWaveInThread : public TSndWaveDeviceThread {
public:
    explicit TSndWaveInThread(TSndCustomWaveIn* device);
    ~TSndWaveInThread() override;

    // A finished buffer waits for the handler (any thread).
    void Wake();
    // The loop has ended (normally or by a failure).
    bool Ended() const { return FEnded.load(); }

protected:
    // The ready signal is given when the loop starts.
    void run() override;

private:
    TSndCustomWaveIn* FOwner;
    int FWakes = 0;
    std::atomic<bool> FEnded{false};
};

using TSndWaveInDevice =
    TSndWaveDevice<TSndCustomWaveIn, TSndCustomSoundComponent, TAudioInputStream, ESndWaveInError, TSndWaveInThread>;

class TSndCustomWaveIn : public TSndWaveInDevice {
public:
    explicit TSndCustomWaveIn(QObject* owner = nullptr);
    ~TSndCustomWaveIn() override;

    // ------------------------------------------------------------ properties
    bool HasOutputProperty() const override { return true; }

    // The device's own properties (the shared ones: TSndWaveDevice).
    void SetDeviceID(TSndDeviceId value) override;
    // The capability bits of the standard formats of the selected device.
    std::uint32_t DeviceFormats() const { return FDeviceFormats; }
    TSndMode Mode() const { return FMode; }
    void SetMode(TSndMode value);
    TSndBits BitLength() const { return FBitLength; }
    void SetBitLength(TSndBits value);
    std::int32_t SampleRate() const { return FSampleRate; }
    void SetSampleRate(std::int32_t value);  // clamped to 8000 .. 100000
    void SetTimeFormat(TSndTimeFormats value);
    // In TimeFormat units; -1 (and 0) record without limit.
    std::int64_t MaxRecordTime() const { return FMaxRecordTime.load(); }
    void SetMaxRecordTime(std::int64_t value);

    // Bytes passed on since the start, and the limit derived from MaxRecordTime.
    std::int64_t RecordedBytes() const { return FRecorded.load(); }
    std::int64_t ByteLimit() const { return FByteLimit.load(); }

    // ------------------------------------------------------------ operations
    // Binds the driver (the audio system the device records through).
    virtual void BindDriver() = 0;
    virtual void Open();
    // Never passes an exception on: failures go to OnError.
    virtual void Close();
    virtual void Start();
    virtual void Pause();
    virtual void Restart();
    virtual void Stop();
    // The recorded length in TimeFormat units (at most MaxRecordTime when
    // that is above 0); 0 while closed, without format or with a close
    // pending. A driver failure closes the device and raises.
    std::int64_t GetPosition();

    // ------------------------------------------------------------ chain
    // Closes the device; a valid PCM format sets SampleRate, BitLength and
    // Mode; then the format goes down the chain. The format is taken as
    // FormatSize bytes.
    void SetPWaveFormat(const TWaveFormatEx* format) override;
    // The same for a format that came in a block of blockSize bytes: a
    // format whose extra bytes run past its block is refused (message 89).
    void SetPWaveFormat(const TWaveFormatEx* format, std::size_t blockSize);
    void Stopped() override;
    void Closed() override;
    // Counts the bytes, cuts the buffer at the byte limit, passes it on, and
    // stops once the limit is reached.
    void BufferReady(TSndWaveHdr* lpWaveHdr) override;

    // ------------------------------------------------------------ events
    // Those of TSndWaveDevice.

    // For tests: whether a buffer is being handled or a stop waits for one
    // (the queued buffers: TSndWaveDevice).
    int BuffersInProgress() const { return FInProgress.load(); }
    bool StopPending() const { return FStopPending.load(); }

protected:
    // Asks the driver for the device count and builds the format: the
    // construction's second half, once the driver is bound.
    void Initialize();
    // Stops and closes the device and joins its worker, which calls the
    // device's virtual functions (BufferReady): every derived class calls it
    // first in its destructor, before any derived part is gone.
    void ShutDownDevice();
    // The audio system bound by BindDriver.
    std::function<TAudioSystem&()> FDriver;

private:
    friend class TSndWaveInThread;

    bool DeviceOpen() const override { return (FState.load() & dsOpened) != 0; }
    void DropBuffers() override { FreeBuffers(); }
    TAudioSystem& Driver() override { return FDriver ? FDriver() : AudioSystem(); }
    void RebuildFormat();
    bool QueryFormat(const TWaveFormatEx* format);
    std::int64_t ComputeByteLimit(std::int64_t value, TSndTimeFormats unit) const;
    // The driver's notification.
    void DriverCallback(TAudioNotify notify, std::uintptr_t tag, std::uint32_t bytes);
    // The finished-buffer handler: handles the oldest finished buffer;
    // false when there is none to handle (not started, stopping).
    bool ProcessDone();
    void LeaveHandler();
    // Hands a buffer to the driver; under FLock.
    void QueueBuffer(TSndWaveHdr* hdr);
    void AllocateBuffers();
    void FreeBuffers();
    // Runs on the GUI thread from the hidden window.
    void WindowDone() override;
    void WindowEnd() override;
    void WindowClose() override;
    void PostStop();
    // The worker joined, the finished buffers dropped, the buffers freed.
    void ReleaseClosed() override;
    void EndWorker();

    std::uint32_t FDeviceFormats = 0;
    TSndMode FMode = mMono;
    TSndBits FBitLength = b8Bit;
    std::int32_t FSampleRate = 11025;
    std::atomic<std::int64_t> FMaxRecordTime{-1};

    int FBuffersAllocated = 0;
    std::atomic<int> FNextBuffer{0};
    std::atomic<int> FInProgress{0};
    std::atomic<std::int64_t> FRecorded{0};
    std::atomic<std::int64_t> FByteLimit{INT64_MAX};
    std::atomic<bool> FStopPending{false};
    std::atomic<bool> FStopPosted{false};
    std::atomic<bool> FInStop{false};

    // The device's critical section (FLock) guards the handler's entry and
    // its hand-back to the driver, and the driver's stop and reset in Stop
    // and Close. The finished buffers waiting for the handler and the queued
    // count are guarded by the only lock the driver's notification takes.
    std::mutex FDoneLock;
    TAudioBufferQueue<TSndWaveHdr*> FDone;
};

// The device over the audio system in use (AudioSystem()).
class TSndWaveIn : public TSndCustomWaveIn {
public:
    explicit TSndWaveIn(QObject* owner = nullptr);
    ~TSndWaveIn() override;
    void BindDriver() override;
};
