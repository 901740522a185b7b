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
#include "SndAlloc.h"
#include "SndObj.h"
#include "SndUtils.h"
#include "SndWavOut.h"

#include <QtCore/QObject>
#include <QtCore/QString>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class ESndWaveInError : public ESndError {
public:
    using ESndError::ESndError;
};

class TSndCustomWaveIn;

// The worker thread of a device in cmThread: runs the finished-buffer
// handler whenever the driver hands buffers back.
class TSndWaveInThread : public TSndDSPThread {
public:
    explicit TSndWaveInThread(TSndCustomWaveIn* device);
    ~TSndWaveInThread() override;

    // A finished buffer waits for the handler (any thread).
    void Wake();
    // Ends the loop.
    void RequestQuit();
    // Waits for the ready signal (given when the loop starts); false after
    // timeoutMs.
    bool WaitReady(int timeoutMs);
    bool Failed() const { return FFailed.load(); }
    // The loop has ended (normally or by a failure).
    bool Ended() const { return FEnded.load(); }

protected:
    void run() override;

private:
    TSndCustomWaveIn* FOwner;
    std::mutex FLock;
    std::condition_variable FWake;
    std::condition_variable FReadyCv;
    int FWakes = 0;
    bool FQuit = false;
    bool FReady = false;
    std::atomic<bool> FEnded{false};
    std::atomic<bool> FFailed{false};
};

class TSndCustomWaveIn : public TSndCustomSoundComponent {
public:
    explicit TSndCustomWaveIn(QObject* owner = nullptr);
    ~TSndCustomWaveIn() override;

    // ------------------------------------------------------------ properties
    bool HasOutputProperty() const override { return true; }

    TSndDeviceId DeviceID() const { return GetDeviceID(); }
    void SetDeviceID(TSndDeviceId value) override;
    TSndDeviceId GetDeviceID() const override { return FDeviceID; }
    QString ProductName() const { return GetProductName(); }
    void SetProductName(const QString& value) override;  // read-only: ignored
    QString GetProductName() const override { return FProductName; }
    std::uint32_t DriverVersion() const { return FDriverVersion; }
    // The capability bits of the standard formats of the selected device.
    std::uint32_t DeviceFormats() const { return FDeviceFormats; }
    std::int32_t NumBuffers() const { return GetNumBuffers(); }
    void SetNumBuffers(std::int32_t value) override;  // 1 or less ignored, at most 500
    std::int32_t GetNumBuffers() const override { return FNumBuffers; }
    void SetBufferSize(std::int32_t value) override;  // at least 32
    TSndCBMode CallBackMode() const { return GetCallBackMode(); }
    void SetCallBackMode(TSndCBMode value) override;
    TSndCBMode GetCallBackMode() const override { return FCallBackMode; }
    TThreadPriority Priority() const { return FPriority; }
    void SetPriority(TThreadPriority value);
    TSndMode Mode() const { return FMode; }
    void SetMode(TSndMode value);
    TSndBits BitLength() const { return FBitLength; }
    void SetBitLength(TSndBits value);
    std::int32_t SampleRate() const { return FSampleRate; }
    void SetSampleRate(std::int32_t value);  // clamped to 8000 .. 100000
    TSndTimeFormats TimeFormat() const { return FTimeFormat; }
    void SetTimeFormat(TSndTimeFormats value);
    // In TimeFormat units; -1 (and 0) record without limit.
    std::int64_t MaxRecordTime() const { return FMaxRecordTime.load(); }
    void SetMaxRecordTime(std::int64_t value);

    // The state set: dsClosed, or dsOpened with dsStarted and dsPaused added.
    std::uint8_t State() const { return FState.load(); }
    // The open stream; nullptr while closed.
    TAudioInputStream* Handle() const { return FHandle.get(); }
    int LastResult() const { return FLastResult.load(); }
    // Bytes passed on since the start, and the limit derived from MaxRecordTime.
    std::int64_t RecordedBytes() const { return FRecorded.load(); }
    std::int64_t ByteLimit() const { return FByteLimit.load(); }

    // ------------------------------------------------------------ operations
    // Binds the driver (the audio system the device records through).
    virtual void BindDriver() = 0;
    // Fires OnError, then raises ESndWaveInError with message.
    [[noreturn]] virtual void Error(const QString& message);
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
    TSndNotifyEvent OnError;
    TSndNotifyEvent OnOpen;
    TSndNotifyEvent OnStart;
    TSndNotifyEvent OnPause;
    TSndNotifyEvent OnRestart;
    TSndNotifyEvent OnStop;
    TSndNotifyEvent OnClose;

    // For tests: buffers queued at the driver, and whether a buffer is being
    // handled or a stop waits for one.
    int QueuedBuffers() const { return FQueued.load(); }
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

    TAudioSystem& Driver() { return FDriver ? FDriver() : AudioSystem(); }
    QString DriverText(int result);
    void CheckDriver(int result, const char* prefix);
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
    std::int64_t DriverPosition();
    void AllocateBuffers();
    void FreeBuffers();
    void Signal();
    template <typename P>
    bool WaitSignal(P ready, std::chrono::milliseconds bound);
    // Runs on the GUI thread from the hidden window.
    void WindowDone();
    void WindowStop();
    void WindowClose();
    void PostStop();
    // The rest of a close once the driver is done: chain, worker, buffers, OnClose.
    void FinishClose();
    void EndWorker();

    std::unique_ptr<TAudioInputStream> FHandle;
    int FNumDevs = 0;
    TSndDeviceId FDeviceID = 0;
    QString FProductName;
    std::uint32_t FDriverVersion = 0;
    std::uint32_t FDeviceFormats = 0;
    // Written by the GUI thread and by the handler on the worker.
    std::atomic<int> FLastResult{aeOk};
    std::unique_ptr<QObject> FWindow;  // the hidden window

    std::int32_t FNumBuffers = 10;
    TSndCBMode FCallBackMode = cmWindow;
    TThreadPriority FPriority = tpHigher;
    TSndMode FMode = mMono;
    TSndBits FBitLength = b8Bit;
    std::int32_t FSampleRate = 11025;
    TSndTimeFormats FTimeFormat = tfByte;
    std::atomic<std::int64_t> FMaxRecordTime{-1};

    std::atomic<std::uint8_t> FState{dsClosed};
    std::array<TSndWaveHdr*, 500> FBuffers{};
    int FBuffersAllocated = 0;
    std::atomic<int> FNextBuffer{0};
    std::atomic<int> FQueued{0};
    std::atomic<int> FInProgress{0};
    std::atomic<std::int64_t> FRecorded{0};
    std::atomic<std::int64_t> FByteLimit{INT64_MAX};
    std::int64_t FLastPos = 0;
    std::int64_t FWrapCount = 0;
    std::int64_t FWrapSize = 0;
    std::atomic<bool> FStopPending{false};
    std::atomic<bool> FClosePending{false};
    std::atomic<bool> FStopping{false};
    std::atomic<bool> FClosing{false};
    std::atomic<bool> FResetting{false};
    std::atomic<bool> FStopPosted{false};
    std::atomic<bool> FDestroyingDevice{false};
    std::atomic<bool> FInStop{false};

    // The device's critical section: the handler's entry and its hand-back
    // to the driver, and the driver's stop and reset in Stop and Close.
    std::recursive_mutex FLock;
    // The finished buffers waiting for the handler and the queued count;
    // the only lock the driver's notification takes.
    std::mutex FDoneLock;
    TAudioBufferQueue<TSndWaveHdr*> FDone;
    // What waits on the driver sleeps on: changes of the state and the counts.
    std::mutex FSignalLock;
    std::condition_variable FSignal;
    std::unique_ptr<TSndWaveInThread> FThread;
    TSndAllocator FAllocator;
};

// The device over the audio system in use (AudioSystem()).
class TSndWaveIn : public TSndCustomWaveIn {
public:
    explicit TSndWaveIn(QObject* owner = nullptr);
    ~TSndWaveIn() override;
    void BindDriver() override;
};
