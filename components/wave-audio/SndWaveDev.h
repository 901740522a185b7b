#pragma once

// What the wave-in and wave-out devices share: the flags of their buffer
// headers (set by the driver's notification on another thread), the text of
// a failure caught in a handler, the PCM format handed to the audio device
// layer, the driver's error text, the hidden window that runs their
// buffer-done, end and close messages on the GUI thread, the frame of their
// worker threads (TSndWaveDeviceThread), and the device part itself
// (TSndWaveDevice): properties, events, the driver's stream and its calls,
// the buffer ring's memory, the state and the waits on it, and the frames of
// opening, failing and closing.

#include "ApplicationException.h"
#include "AudioDevice.h"
#include "MMDSPObj.h"
#include "MMPCMSup.h"
#include "SndAlloc.h"
#include "SndObj.h"
#include "SndUtils.h"

#include <QtCore/QObject>
#include <QtCore/QString>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QEvent;

namespace SndWaveDev {

void SetFlag(TSndWaveHdr* hdr, std::uint32_t flag);
void ClearFlag(TSndWaveHdr* hdr, std::uint32_t flag);
bool HasFlag(TSndWaveHdr* hdr, std::uint32_t flag);

// The text of the exception being handled (call inside a catch); an unknown
// one reads "<device>:\n\rUnknown error".
QString CurrentExceptionText(const char* device);

// A PCM format as the audio device layer takes it; false for anything else.
bool ToAudioFormat(const TWaveFormatEx* format, TAudioFormat& out);

// The driver's text for a result, at most 255 characters; message 86 when
// the driver has none.
QString DriverErrorText(TAudioSystem& driver, int result);

// The messages of the hidden window: a finished buffer, the end (a stop
// asked for while a buffer was being handled) and a close after the worker
// failed.
int DoneEventType();
int EndEventType();
int CloseEventType();
// Posts a message to the window (none while there is no window).
void Post(QObject* window, int type);

// The hidden window: runs each message's handler on the GUI thread; what a
// handler raises goes to the application's exception handler and never
// leaves the event.
class TSndDeviceWindow : public QObject {
public:
    TSndDeviceWindow(const char* device, std::function<void()> onDone, std::function<void()> onEnd,
                     std::function<void()> onClose);

    bool event(QEvent* e) override;

private:
    const char* FDevice;
    std::function<void()> FOnDone;
    std::function<void()> FOnEnd;
    std::function<void()> FOnClose;
};

}  // namespace SndWaveDev

// The device state set (State()): closed, opened, started, paused.
constexpr std::uint8_t dsClosed = 1;
constexpr std::uint8_t dsOpened = 2;
constexpr std::uint8_t dsStarted = 4;
constexpr std::uint8_t dsPaused = 8;

// The frame of a device's worker thread (cmThread): the quit request, the
// ready signal and the thread's priority. The loop itself is the derived
// class's run().
class TSndWaveDeviceThread : public TSndDSPThread {
public:
    TSndWaveDeviceThread(TSndCustomSoundComponent* device, const QString& name);

    // Ends the loop.
    void RequestQuit();
    // Waits for the ready signal; false after timeoutMs. The signal resets
    // itself when taken.
    bool WaitReady(int timeoutMs);
    bool Failed() const { return FFailed.load(); }

protected:
    // Ends the loop and joins the thread: every derived class calls it
    // first in its destructor, before the members its run() uses are gone.
    void Join();
    void SignalReady();
    // The start of run(): the thread takes the device's priority and gives
    // the ready signal.
    void BeginRun(TThreadPriority priority);
    // Held by run() from its start: everything the thread did comes before
    // the wait for it ends.
    struct TRunEnd {
        const void* Thread;
        ~TRunEnd();
    };

    mutable std::mutex FLock;
    std::condition_variable FWake;
    std::condition_variable FReadyCv;
    bool FQuit = false;
    bool FReady = false;  // auto-reset
    std::atomic<bool> FFailed{false};
};

// The device part of the wave-in and wave-out devices, over their chain base
// TBase: the driver's stream TStream, failures raised as TError, the worker
// thread TThread. The derived device TDevice does what is its own (the buffer
// ring's handling, the driver's calls in their order) through what is here,
// and gives it its Open and Close.
template <typename TDevice, typename TBase, typename TStream, typename TError, typename TThread>
class TSndWaveDevice : public TBase {
public:
    // deviceName stands in failure texts, className in the refusal of
    // cmCallback; driverWait bounds the waits for the driver's confirmations.
    TSndWaveDevice(QObject* owner, const char* deviceName, const char* className,
                   std::chrono::milliseconds driverWait)
        : TBase(owner), FDeviceName(deviceName), FClassName(className), FDriverWait(driverWait)
    {
    }

    // ------------------------------------------------------------ properties
    TSndDeviceId DeviceID() const { return this->GetDeviceID(); }
    TSndDeviceId GetDeviceID() const override { return FDeviceID; }
    QString ProductName() const { return this->GetProductName(); }
    void SetProductName(const QString&) override {}  // read-only: ignored
    QString GetProductName() const override { return FProductName; }
    std::uint32_t DriverVersion() const { return FDriverVersion; }
    std::int32_t NumBuffers() const { return this->GetNumBuffers(); }
    // 1 or less ignored, at most 500.
    void SetNumBuffers(std::int32_t value) override
    {
        RefuseWhileOpen();
        if (value <= 1)
            return;
        FNumBuffers = std::min<std::int32_t>(value, 500);
    }
    std::int32_t GetNumBuffers() const override { return FNumBuffers; }
    // At least 32.
    void SetBufferSize(std::int32_t value) override
    {
        RefuseWhileOpen();
        value = std::max<std::int32_t>(value, 32);
        if (value != this->FRequestedBufferSize) {
            DropBuffers();
            FAllocator.FreeAll();
        }
        TBase::SetBufferSize(value);
    }
    TSndCBMode CallBackMode() const { return this->GetCallBackMode(); }
    void SetCallBackMode(TSndCBMode value) override
    {
        RefuseWhileOpen();
        if (value == cmCallback && !Win95) {
            ShowCallbackModeRefusal(QString::fromLatin1(FClassName));
            return;
        }
        FCallBackMode = value;
    }
    TSndCBMode GetCallBackMode() const override { return FCallBackMode; }
    TSndTimeFormats TimeFormat() const { return FTimeFormat; }
    TThreadPriority Priority() const { return FPriority; }
    void SetPriority(TThreadPriority value)
    {
        FPriority = value;
        if (FThread)
            SndSetThreadPriority(FThread.get(), value);
    }

    // The state set: dsClosed, or dsOpened with dsStarted and dsPaused added.
    std::uint8_t State() const { return FState.load(); }
    // The open stream; nullptr while closed.
    TStream* Handle() const { return FHandle.get(); }
    // The result of the last driver call.
    int LastResult() const { return FLastResult.load(); }
    // For tests: buffers queued at the driver.
    int QueuedBuffers() const { return FQueued.load(); }

    // ------------------------------------------------------------ operations
    // Fires OnError, then raises TError with message.
    [[noreturn]] virtual void Error(const QString& message)
    {
        if (OnError)
            OnError(this);
        throw TError(message);
    }

    // ------------------------------------------------------------ events
    TSndNotifyEvent OnError;
    TSndNotifyEvent OnOpen;
    TSndNotifyEvent OnStart;
    TSndNotifyEvent OnPause;
    TSndNotifyEvent OnRestart;
    TSndNotifyEvent OnStop;
    TSndNotifyEvent OnClose;

protected:
    // The device's own Open and Close.
    void OpenSelf() { static_cast<TDevice*>(this)->Open(); }
    void CloseSelf() { static_cast<TDevice*>(this)->Close(); }
    // Whether the device is open as far as its properties go: they cannot
    // change then.
    virtual bool DeviceOpen() const = 0;
    // The buffer ring's blocks go (the buffer size changed).
    virtual void DropBuffers() = 0;
    // The audio system the device works through.
    virtual TAudioSystem& Driver() { return AudioSystem(); }
    // The hidden window's messages, on the GUI thread: a finished buffer,
    // the end (a stop asked for by a handler), a close after the worker failed.
    virtual void WindowDone() = 0;
    virtual void WindowEnd() = 0;
    virtual void WindowClose() = 0;
    // The device's own part of the close's end, once the stream is gone and
    // the chain closed: its worker, its buffers and flags.
    virtual void ReleaseClosed() = 0;

    void RefuseWhileOpen()
    {
        if (DeviceOpen())
            Error(LoadResStr(60));
    }

    // ------------------------------------------------------------ driver
    QString DriverText(int result) { return SndWaveDev::DriverErrorText(Driver(), result); }
    void CheckDriver(int result, const char* prefix)
    {
        FLastResult = result;
        if (result != aeOk)
            Error(QString::fromLatin1(prefix) + DriverText(result));
    }
    // The stream's position in sample frames; 0 without a stream.
    std::int64_t DriverPosition(const char* prefix)
    {
        if (!FHandle)
            return 0;
        std::int64_t samples = 0;
        CheckDriver(FHandle->GetPosition(samples), prefix);
        return samples;
    }
    // Notes the driver's position: a position far below the last one means
    // the driver's counter wrapped.
    void NoteDriverPosition(std::int64_t pos)
    {
        std::lock_guard<std::recursive_mutex> lock(FLock);
        if (pos <= FLastPos - 65535) {
            FWrapSize = FLastPos | 0xFFFFF;
            ++FWrapCount;
        }
        FLastPos = pos;
    }
    // Under FLock.
    void ClearWrap()
    {
        FLastPos = 0;
        FWrapCount = 0;
        FWrapSize = 0;
    }
    // Opens the stream through open(format, stream) for a format checked
    // already; a failure raises with prefix.
    template <typename F>
    void OpenStream(const TWaveFormatEx* format, const char* prefix, F open)
    {
        TAudioFormat audioFormat;
        SndWaveDev::ToAudioFormat(format, audioFormat);
        std::unique_ptr<TStream> stream;
        const int result = open(audioFormat, stream);
        FLastResult = result;
        if (result != aeOk)
            Error(QString::fromLatin1(prefix) + DriverText(result));
        FHandle = std::move(stream);
    }
    // Waits for the driver's confirmation of the open; a failure raises with prefix.
    void WaitOpened(const char* prefix)
    {
        if (!WaitSignal([this] { return (FState.load() & dsOpened) != 0; }, FDriverWait))
            Error(QString::fromLatin1(prefix) + LoadResStr(162));
    }
    // Closes the stream and waits for the driver's confirmation. A failure
    // is kept in failure (unless it holds one already).
    void CloseStream(QString& failure, const char* prefix)
    {
        const int result = FHandle->Close();
        FLastResult = result;
        if (result != aeOk) {
            if (failure.isEmpty())
                failure = QString::fromLatin1(prefix) + DriverText(result);
        } else if (!WaitSignal([this] { return FState.load() == dsClosed; }, FDriverWait) && failure.isEmpty()) {
            failure = QString::fromLatin1(prefix) + LoadResStr(163);
        }
    }
    // The driver's Opened and Closed notifications; false for Done.
    bool DriverStateChanged(TAudioNotify notify)
    {
        switch (notify) {
        case TAudioNotify::Opened:
            FState.store(dsOpened);
            Signal();
            return true;
        case TAudioNotify::Closed:
            FState.store(dsClosed);
            Signal();
            return true;
        case TAudioNotify::Done:
            break;
        }
        return false;
    }
    // Hands the buffer to the driver through call(stream), counted before
    // the driver has it, so that its notification never finds the count
    // lower than the buffers it holds. A refusal raises with prefix.
    template <typename F>
    void HandToDriver(TSndWaveHdr* hdr, const char* prefix, F call)
    {
        SndWaveDev::ClearFlag(hdr, WHDR_DONE);
        SndWaveDev::SetFlag(hdr, WHDR_PREPARED);
        {
            std::lock_guard<std::recursive_mutex> lock(FLock);
            FQueued.fetch_add(1);
        }
        const int result = FHandle ? call(*FHandle) : aeInvalidHandle;
        if (result != aeOk) {
            FQueued.fetch_sub(1);
            SndWaveDev::SetFlag(hdr, WHDR_DONE);
            CheckDriver(result, prefix);
        }
    }
    // A finished buffer goes to its handler as the callback mode says: the
    // hidden window, the worker (wake(worker)), or handle() at once on the
    // driver's thread.
    template <typename W, typename H>
    void DispatchDone(W wake, H handle)
    {
        switch (FCallBackMode) {
        case cmWindow:
            SndWaveDev::Post(FWindow.get(), SndWaveDev::DoneEventType());
            break;
        case cmThread:
            if (FThread)
                wake(*FThread);
            break;
        case cmCallback:
            try {
                handle();
            } catch (...) {
                ReportHandlerFailure();
            }
            break;
        }
    }
    // Inside a catch on a thread other than the GUI thread: the device is
    // closed on the GUI thread, and the failure goes to the application.
    void ReportHandlerFailure()
    {
        SndWaveDev::Post(FWindow.get(), SndWaveDev::CloseEventType());
        HandleApplicationException(SndWaveDev::CurrentExceptionText(FDeviceName));
    }

    // ------------------------------------------------------------ memory
    // A buffer header with its data behind it, from the device's pool.
    TSndWaveHdr* NewHeader(std::int32_t size)
    {
        void* block = FAllocator.AllocBuffer(0, sizeof(TSndWaveHdr) + static_cast<std::size_t>(size));
        if (!block)
            Error(LoadResStr(64));
        return new (block) TSndWaveHdr;
    }
    // Prepared for the driver.
    static void PrepareHeader(TSndWaveHdr* hdr, std::int32_t size)
    {
        hdr->lpData = reinterpret_cast<char*>(hdr) + sizeof(TSndWaveHdr);
        hdr->dwBufferLength = static_cast<std::uint32_t>(size);
        hdr->dwFlags = WHDR_PREPARED | WHDR_DONE;
    }
    // Every block of the ring back to the pool.
    void FreeBufferBlocks()
    {
        for (TSndWaveHdr*& hdr : FBuffers)
            if (hdr)
                FAllocator.FreeBuffer(hdr);
    }

    // ------------------------------------------------------------ waits
    // Wakes every wait on the device's flags, counts and state (after they
    // changed), and calls the change notifier.
    void Signal()
    {
        {
            // Taken so that a waiter between its test and its sleep cannot miss the change.
            std::lock_guard<std::mutex> lock(FSignalLock);
            if (FChangeNotifier)
                FChangeNotifier();
        }
        FSignal.notify_all();
    }
    // Waits until ready() holds, at most bound; false when it still does not.
    template <typename P>
    bool WaitSignal(P ready, std::chrono::milliseconds bound)
    {
        std::unique_lock<std::mutex> lock(FSignalLock);
        return FSignal.wait_for(lock, bound, ready);
    }
    // Called by Signal after the device changed, under the signal lock, so
    // that after clearing it is called no more; it must not call back into
    // the device.
    void SetChangeNotifier(std::function<void()> notifier)
    {
        std::lock_guard<std::mutex> lock(FSignalLock);
        FChangeNotifier = std::move(notifier);
    }

    // ------------------------------------------------------------ frames
    void MakeWindow()
    {
        if (!FWindow)
            FWindow = std::make_unique<SndWaveDev::TSndDeviceWindow>(
                FDeviceName, [this] { WindowDone(); }, [this] { WindowEnd(); }, [this] { WindowClose(); });
    }
    // Starts the worker and waits for it; a failure raises with prefix.
    void StartWorker(std::unique_ptr<TThread> thread, const char* prefix)
    {
        FThread = std::move(thread);
        FThread->start();
        if (!FThread->WaitReady(5000))
            Error(QString::fromLatin1(prefix) + LoadResStr(88));
    }
    // Runs f for a message of the hidden window: a failure (OnError fired
    // when fireOnError) closes the device and goes to the application.
    template <typename F>
    void RunFromWindow(F f, bool fireOnError)
    {
        try {
            f();
        } catch (...) {
            const QString text = SndWaveDev::CurrentExceptionText(FDeviceName);
            if (fireOnError && OnError)
                OnError(this);
            CloseSelf();
            HandleApplicationException(text);
        }
    }
    // Inside a catch of an operation: OnError, the device closed, the
    // exception passed on.
    [[noreturn]] void CloseAndRethrow()
    {
        if (OnError)
            OnError(this);
        CloseSelf();
        throw;
    }
    // The same for a failed open or start: the device counts as opened
    // (started) for the close and is closed after it.
    [[noreturn]] void CloseFailedOpen(bool started)
    {
        if (OnError)
            OnError(this);
        if (started)
            FState.fetch_or(dsStarted);
        else
            FState.store(dsOpened);
        CloseSelf();
        FState.store(dsClosed);
        throw;
    }
    // The frame of Close, when the device is open and not closing already,
    // or a close waits: body does the device's own part and gives the
    // failure to report (empty: none), or nothing when the close is left to
    // a stop under way. The rest of the close always follows a failure;
    // Close passes nothing on.
    template <typename F>
    void CloseDevice(bool opened, F body)
    {
        if (!((opened && !FClosing.load()) || FClosePending.load()))
            return;
        bool finished = false;
        try {
            const std::optional<QString> failure = body();
            if (!failure)
                return;
            FState.store(dsClosed);
            finished = true;
            FinishClose();
            if (!failure->isEmpty())
                Error(*failure);
        } catch (const TError&) {
            // Reported through OnError already.
            if (!finished)
                FinishClose();
        } catch (...) {
            if (OnError)
                OnError(this);
            if (!finished)
                FinishClose();
        }
    }
    // The frame of Open: the device and the format checked (noDevice: the
    // message without devices; formatPrefix before the one without format),
    // a device still open closed first; body(format) does the rest, then
    // OnOpen. Nothing is opened while a close is under way; a failure closes
    // the device and is passed on.
    template <typename F>
    void OpenDevice(int noDevice, const char* formatPrefix, F body)
    {
        try {
            if (FNumDevs == 0)
                Error(LoadResStr(noDevice));
            if (FDeviceID == InvalidId)
                Error(LoadResStr(61));
            const TWaveFormatEx* format = this->GetPWaveFormat();
            if (!format)
                Error(QString::fromLatin1(formatPrefix) + LoadResStr(89));
            if (FHandle || (FState.load() & dsOpened))
                CloseSelf();
            if (FClosing.load())
                return;
            FStopping.store(false);
            FResetting.store(false);
            body(format);
            if (OnOpen)
                OnOpen(this);
        } catch (...) {
            CloseFailedOpen(false);
        }
    }
    // The frame of Pause: the device opened first; unless it is paused
    // already, body does the device's own part, then the state, the chain
    // and OnPause.
    template <typename F>
    void PauseDevice(F body)
    {
        if (!(FState.load() & dsOpened))
            OpenSelf();
        if (!(FState.load() & dsOpened) || (FState.load() & dsPaused))
            return;
        try {
            body();
            FState.fetch_or(dsPaused);
            this->TSndCustomSoundComponent::Paused();
            if (OnPause)
                OnPause(this);
        } catch (...) {
            CloseAndRethrow();
        }
    }
    // The frame of Restart, for a started and paused device: body does the
    // driver's restart, the state and the chain; then OnRestart.
    template <typename F>
    void RestartDevice(F body)
    {
        const std::uint8_t state = FState.load();
        if (!(state & dsStarted) || !(state & dsPaused))
            return;
        try {
            body();
            if (OnRestart)
                OnRestart(this);
        } catch (...) {
            CloseAndRethrow();
        }
    }
    // The end of a stop: OnStop (not while the device is destroyed), then
    // the close that waited for the stop.
    void StopDone()
    {
        if (OnStop && !FDestroyingDevice.load())
            OnStop(this);
        if (FClosePending.load())
            CloseSelf();
    }
    // The format for a position, or nullptr when there is no position
    // (closed, without format, a close pending).
    const TWaveFormatEx* PositionFormat() const
    {
        const TWaveFormatEx* format = this->GetPWaveFormat();
        if (!(FState.load() & dsOpened) || !FHandle || !format || FClosePending.load())
            return nullptr;
        return format;
    }
    // The rest of a close once the driver is done: the stream (no
    // notification comes after this), the chain, the device's own part,
    // OnClose.
    void FinishClose()
    {
        const bool wasOpen = FHandle || FClosing.load();
        FState.store(dsClosed);
        FHandle.reset();
        try {
            this->TSndCustomSoundComponent::Closed();
        } catch (...) {
            if (OnError)
                OnError(this);
        }
        ReleaseClosed();
        FClosePending.store(false);
        const bool notify = FClosing.exchange(false) && wasOpen;
        if (notify && OnClose && !FDestroyingDevice.load())
            OnClose(this);
    }

    const char* const FDeviceName;
    const char* const FClassName;
    const std::chrono::milliseconds FDriverWait;

    std::unique_ptr<TStream> FHandle;
    int FNumDevs = 0;
    TSndDeviceId FDeviceID = 0;
    QString FProductName;
    std::uint32_t FDriverVersion = 0;
    // Written by the GUI thread and by the handler on the worker.
    std::atomic<int> FLastResult{aeOk};
    std::unique_ptr<QObject> FWindow;  // the hidden window

    std::int32_t FNumBuffers = 10;
    TSndCBMode FCallBackMode = cmWindow;
    TThreadPriority FPriority = tpHigher;
    TSndTimeFormats FTimeFormat = tfByte;

    std::atomic<std::uint8_t> FState{dsClosed};
    std::array<TSndWaveHdr*, 500> FBuffers{};
    std::atomic<int> FQueued{0};
    std::atomic<bool> FClosing{false};
    std::atomic<bool> FClosePending{false};
    std::atomic<bool> FStopping{false};
    std::atomic<bool> FResetting{false};
    std::atomic<bool> FDestroyingDevice{false};
    // The driver's position at the last handled buffer and its wraps; under FLock.
    std::int64_t FLastPos = 0;
    std::int64_t FWrapCount = 0;
    std::int64_t FWrapSize = 0;

    // The device's critical section.
    std::recursive_mutex FLock;
    // What waits on the driver or on a handler sleeps on: changes of the
    // state, the counts and the flags.
    std::mutex FSignalLock;
    std::condition_variable FSignal;
    std::function<void()> FChangeNotifier;  // under FSignalLock
    std::unique_ptr<TThread> FThread;
    TSndAllocator FAllocator;
};
