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
#include "SndObj.h"
#include "SndUtils.h"
#include "SndWaveDev.h"

#include <QtCore/QObject>
#include <QtCore/QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

class ESndWaveOutError : public ESndError {
public:
    using ESndError::ESndError;
};

class TSndWaveOut;

// The worker thread of a device in cmThread: runs the finished-buffer
// handler for every buffer the driver hands back.
class TSndWaveOutThread : public TSndWaveDeviceThread {
public:
    explicit TSndWaveOutThread(TSndWaveOut* device);
    ~TSndWaveOutThread() override;

    // Queues a buffer-done message (any thread).
    void PostDone(std::uintptr_t tag);
    // Drops every pending buffer-done message and waits until that is done
    // (not from the worker itself).
    void Flush();
    // Messages waiting or being handled.
    int PendingMessages() const;

protected:
    // The ready signal is given when the loop starts and when the thread
    // ends without failure.
    void run() override;

private:
    TSndWaveOut* FOwner;
    std::condition_variable FFlushed;
    std::deque<std::uintptr_t> FMessages;
    bool FFlush = false;
    bool FEnded = false;  // the loop has ended
    int FBusy = 0;        // messages taken and not yet handled
};

using TSndWaveOutDevice =
    TSndWaveDevice<TSndWaveOut, TSndCustomWaveOutComponent, TAudioOutputStream, ESndWaveOutError, TSndWaveOutThread>;

class TSndWaveOut : public TSndWaveOutDevice {
public:
    explicit TSndWaveOut(QObject* owner = nullptr);
    ~TSndWaveOut() override;

    // ------------------------------------------------------------ properties
    bool HasInputProperty() const override { return true; }
    bool HasOutputProperty() const override { return true; }

    // The device's own properties (the shared ones: TSndWaveDevice).
    void SetDeviceID(TSndDeviceId value) override;
    void SetTimeFormat(TSndTimeFormats value) { FTimeFormat = value; }
    bool Looping() const { return FLooping; }
    void SetLooping(bool value);
    std::uint16_t LoopCount() const { return FLoopCount; }
    void SetLoopCount(std::uint16_t value);
    bool ShowHourGlass() const { return FShowHourGlass; }
    void SetShowHourGlass(bool value) { FShowHourGlass = value; }
    bool Mapped() const { return FMapped; }
    void SetMapped(bool value) { FMapped = value; }
    // ------------------------------------------------------------ operations
    std::int64_t GetPosition() override;
    void Open() override;
    void Close() override;
    void Reset() override;
    void Start() override;
    void Pause() override;
    void Restart() override;
    void Stop() override;

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
    // (and those of TSndWaveDevice)
    TSndNotifyEvent OnLooping;
    TSndBufferEvent OnBufferFilled;  // each buffer just before it goes to the driver

    // For tests: buffers queued at the driver, buffers in use, and whether
    // a finished buffer is still waiting for or in its handler on the worker
    // thread.
    int BuffersInUse() const { return FBuffersUsed; }
    bool WorkerBusy() const;
    // Called on whichever thread changes them, after the position, the
    // queued count, the state or the worker's work changed: a waiter elsewhere
    // (a test waiting for played frames) is woken by it instead of polling.
    // Set and cleared under the device's signal lock, so that after clearing
    // it is called no more; it must not call back into the device.
    using TSndWaveOutDevice::SetChangeNotifier;

private:
    friend class TSndWaveOutThread;

    bool DeviceOpen() const override { return FHandle != nullptr; }
    // The blocks of the ring are forgotten: the pool frees them.
    void DropBuffers() override;
    // The driver's notification.
    void DriverCallback(TAudioNotify notify, std::uintptr_t tag);
    // The finished-buffer handler.
    void ProcessDone();
    // A buffer: load from the chain (bytes loaded), write to the driver.
    std::int64_t LoadBuffer(TSndWaveHdr* hdr);
    void WriteBuffer(TSndWaveHdr* hdr);
    TSndWaveHdr* AllocHeader(int index);
    // Loads and writes the ring's buffers while the source has more.
    void FillRing();
    void ClearPosition();
    // Waits until no finished-buffer handler runs on another thread.
    void WaitForHandlers();
    // The entry of the finished-buffer handler, under the device's lock:
    // false when it has nothing to do (not started, resetting, stopping).
    bool EnterHandler();
    void LeaveHandler();
    // Runs on the GUI thread from the hidden window.
    void WindowDone() override;
    void WindowEnd() override;
    void WindowClose() override;
    void PostEnd();
    // The worker ends (joined here unless this is the worker).
    void ReleaseClosed() override;

    bool FLooping = false;
    std::uint16_t FLoopCount = 0;
    bool FShowHourGlass = true;
    bool FMapped = false;

    int FBuffersUsed = 0;
    int FNextFinished = 0;
    std::atomic<bool> FStopRequested{false};
    std::atomic<bool> FEndPosted{false};
    std::atomic<bool> FMoreBuffers{false};
    std::atomic<int> FHandlersRunning{0};
    std::int32_t FLoopsRemaining = 0;

    std::int64_t FPosBase = 0;
    std::int64_t FPosOffset = 0;
};
