#pragma once

// The wave-out device: plays the buffers of its chain through an output
// device of the audio device layer. It keeps a ring of buffers queued at the
// driver, refills each one from its Input as soon as the driver hands it
// back, reports the played position, pauses, resumes, flushes and refills
// after the source was repositioned, loops, and stops by itself when the
// source runs dry.
//
// Finished buffers are handled on the GUI thread (cmWindow: through the
// device's hidden window) or on the device's worker thread (cmThread). The
// driver's notification only counts the buffer and forwards it.

#include "AudioDevice.h"
#include "MMDSPObj.h"
#include "SndAlloc.h"
#include "SndObj.h"
#include "SndUtils.h"

#include <QtCore/QObject>
#include <QtCore/QString>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

// The device state set (State()): closed, opened, started, paused.
constexpr std::uint8_t dsClosed = 1;
constexpr std::uint8_t dsOpened = 2;
constexpr std::uint8_t dsStarted = 4;
constexpr std::uint8_t dsPaused = 8;

class ESndWaveOutError : public ESndError {
public:
    using ESndError::ESndError;
};

class TSndWaveOut;

// The worker thread of a device in cmThread: runs the finished-buffer
// handler for every buffer the driver hands back.
class TSndWaveOutThread : public TSndDSPThread {
public:
    explicit TSndWaveOutThread(TSndWaveOut* device);
    ~TSndWaveOutThread() override;

    // Queues a buffer-done message (any thread).
    void PostDone(std::uintptr_t tag);
    // Drops every pending buffer-done message and waits until that is done
    // (not from the worker itself).
    void Flush();
    // Ends the loop.
    void RequestQuit();
    // Waits for the ready signal (given when the loop starts and when the
    // thread ends without failure); false after timeoutMs.
    bool WaitReady(int timeoutMs);
    bool Failed() const { return FFailed.load(); }
    // Messages waiting or being handled.
    int PendingMessages() const;

protected:
    void run() override;

private:
    void SignalReady();

    TSndWaveOut* FOwner;
    mutable std::mutex FLock;
    std::condition_variable FWake;
    std::condition_variable FFlushed;
    std::condition_variable FReadyCv;
    std::deque<std::uintptr_t> FMessages;
    bool FQuit = false;
    bool FFlush = false;
    bool FReady = false;  // auto-reset
    bool FEnded = false;  // the loop has ended
    int FBusy = 0;        // messages taken and not yet handled
    std::atomic<bool> FFailed{false};
};

class TSndWaveOut : public TSndCustomWaveOutComponent {
public:
    explicit TSndWaveOut(QObject* owner = nullptr);
    ~TSndWaveOut() override;

    // ------------------------------------------------------------ properties
    bool HasInputProperty() const override { return true; }
    bool HasOutputProperty() const override { return true; }

    void SetBufferSize(std::int32_t value) override;  // at least 32
    std::int32_t NumBuffers() const { return GetNumBuffers(); }
    void SetNumBuffers(std::int32_t value) override;  // below 2 ignored, at most 500
    std::int32_t GetNumBuffers() const override { return FNumBuffers; }
    TSndDeviceId DeviceID() const { return GetDeviceID(); }
    void SetDeviceID(TSndDeviceId value) override;
    TSndDeviceId GetDeviceID() const override { return FDeviceID; }
    QString ProductName() const { return GetProductName(); }
    void SetProductName(const QString& value) override;  // read-only: ignored
    QString GetProductName() const override { return FProductName; }
    std::uint32_t DriverVersion() const { return FDriverVersion; }
    TSndCBMode CallBackMode() const { return GetCallBackMode(); }
    void SetCallBackMode(TSndCBMode value) override;
    TSndCBMode GetCallBackMode() const override { return FCallBackMode; }
    TSndTimeFormats TimeFormat() const { return FTimeFormat; }
    void SetTimeFormat(TSndTimeFormats value) { FTimeFormat = value; }
    bool Looping() const { return FLooping; }
    void SetLooping(bool value);
    std::uint16_t LoopCount() const { return FLoopCount; }
    void SetLoopCount(std::uint16_t value);
    bool ShowHourGlass() const { return FShowHourGlass; }
    void SetShowHourGlass(bool value) { FShowHourGlass = value; }
    bool Mapped() const { return FMapped; }
    void SetMapped(bool value) { FMapped = value; }
    TThreadPriority Priority() const { return FPriority; }
    void SetPriority(TThreadPriority value);

    // The state set the owner reads: dsClosed, or dsOpened with dsStarted and
    // dsPaused added.
    std::uint8_t State() const { return FState.load(); }
    // The open device (the owner sets the device volume through it); nullptr
    // while closed.
    TAudioOutputStream* Handle() const { return FHandle.get(); }
    // The result of the last driver call.
    int LastResult() const { return FLastResult.load(); }

    // ------------------------------------------------------------ operations
    std::int64_t GetPosition() override;
    void Open() override;
    void Close() override;
    void Reset() override;
    void Start() override;
    void Pause() override;
    void Restart() override;
    void Stop() override;
    // Fires OnError, then raises ESndWaveOutError with message.
    [[noreturn]] virtual void Error(const QString& message);

    // True when the id is a device (-1 .. devices - 1), format is set and
    // the driver takes the format in a query.
    bool QueryFormat(TSndDeviceId deviceId, const TWaveFormatEx* format);

    // ------------------------------------------------------------ chain
    void SetPWaveFormat(const TWaveFormatEx* format) override;
    void Opened() override;
    void Closed() override;
    void Started() override;
    void Paused() override;
    void Restarted() override;
    void Stopped() override;
    void BufferReady(TSndWaveHdr* lpWaveHdr) override;
    void BufferLoad(TSndWaveHdr* lpWaveHdr, bool& moreBuffers) override;

    // ------------------------------------------------------------ events
    TSndNotifyEvent OnError;
    TSndNotifyEvent OnOpen;
    TSndNotifyEvent OnStart;
    TSndNotifyEvent OnPause;
    TSndNotifyEvent OnRestart;
    TSndNotifyEvent OnStop;
    TSndNotifyEvent OnClose;
    TSndNotifyEvent OnLooping;
    TSndBufferEvent OnBufferFilled;  // each buffer just before it goes to the driver

    // For tests: buffers queued at the driver, buffers in use, and whether
    // a finished buffer is still waiting for or in its handler on the worker
    // thread.
    int QueuedBuffers() const { return FQueued.load(); }
    int BuffersInUse() const { return FBuffersUsed; }
    bool WorkerBusy() const;
    // Called on whichever thread changes them, after the position, the
    // queued count, the state or the worker's work changed: a waiter elsewhere
    // (a test waiting for played frames) is woken by it instead of polling.
    // Set and cleared under the device's signal lock, so that after clearing
    // it is called no more; it must not call back into the device.
    void SetChangeNotifier(std::function<void()> notifier);

private:
    friend class TSndWaveOutThread;

    // Driver calls and their failures.
    QString DriverText(int result) const;
    void CheckDriver(int result, const char* prefix);
    // The driver's notification.
    void DriverCallback(TAudioNotify notify, std::uintptr_t tag);
    // The finished-buffer handler.
    void ProcessDone();
    // A buffer: load from the chain (bytes loaded), write to the driver.
    std::int64_t LoadBuffer(TSndWaveHdr* hdr);
    void WriteBuffer(TSndWaveHdr* hdr);
    TSndWaveHdr* AllocHeader(int index);
    std::int64_t DriverPosition();
    void ClearPosition();
    // Waits until no finished-buffer handler runs on another thread.
    void WaitForHandlers();
    // Wakes every wait on the device's flags, counts and state (after they
    // changed).
    void Signal();
    // Waits until ready() holds, at most bound; false when it still does not.
    template <typename P>
    bool WaitSignal(P ready, std::chrono::milliseconds bound);
    // The entry of the finished-buffer handler, under the device's lock:
    // false when it has nothing to do (not started, resetting, stopping).
    bool EnterHandler();
    void LeaveHandler();
    // Runs on the GUI thread from the hidden window.
    void WindowDone();
    void WindowEnd();
    void WindowCloseRequest();
    void PostEnd();
    // The rest of a close once the driver is done: chain, worker, handle, OnClose.
    void FinishClose();

    std::unique_ptr<TAudioOutputStream> FHandle;
    int FNumDevs = 0;
    TSndDeviceId FDeviceID = 0;
    QString FProductName;
    std::uint32_t FDriverVersion = 0;
    // Written by the GUI thread and by the handler on the worker.
    std::atomic<int> FLastResult{aeOk};
    std::unique_ptr<QObject> FWindow;  // the hidden window

    std::int32_t FNumBuffers = 10;
    TSndCBMode FCallBackMode = cmWindow;
    TSndTimeFormats FTimeFormat = tfByte;
    bool FLooping = false;
    std::uint16_t FLoopCount = 0;
    bool FShowHourGlass = true;
    bool FMapped = false;
    TThreadPriority FPriority = tpHigher;

    std::atomic<std::uint8_t> FState{dsClosed};
    std::array<TSndWaveHdr*, 500> FBuffers{};
    int FBuffersUsed = 0;
    int FNextFinished = 0;
    std::atomic<int> FQueued{0};
    std::atomic<bool> FClosing{false};
    std::atomic<bool> FClosePending{false};
    std::atomic<bool> FStopping{false};
    std::atomic<bool> FResetting{false};
    std::atomic<bool> FStopRequested{false};
    std::atomic<bool> FEndPosted{false};
    std::atomic<bool> FMoreBuffers{false};
    std::atomic<bool> FDestroyingDevice{false};
    std::atomic<int> FHandlersRunning{0};
    std::int32_t FLoopsRemaining = 0;

    std::int64_t FPosBase = 0;
    std::int64_t FPosOffset = 0;
    std::int64_t FLastPos = 0;
    std::int64_t FWrapCount = 0;
    std::int64_t FWrapSize = 0;

    std::recursive_mutex FLock;  // the device's critical section
    // What waits on the driver or on a handler sleeps on: changes of the
    // state, the queued count, the flags and the running handlers.
    std::mutex FSignalLock;
    std::condition_variable FSignal;
    std::function<void()> FChangeNotifier;  // under FSignalLock
    std::unique_ptr<TSndWaveOutThread> FThread;
    TSndAllocator FAllocator;
};
