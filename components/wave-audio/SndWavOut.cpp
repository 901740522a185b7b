#include "SndWavOut.h"

#include "ApplicationException.h"
#include "SndWaveIO.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QEvent>
#include <QtCore/QThread>
#include <QtGui/QGuiApplication>

#include <chrono>

using namespace SndWaveDev;

namespace {

constexpr const char* DeviceName = "WaveOut";
constexpr const char* ClassName = "TSndWaveOut";

// The prefixes of driver failures: the call's name, a colon, a line feed and
// a carriage return.
constexpr const char* PrefixOpen = "WaveOutOpen:\n\r";
constexpr const char* PrefixClose = "WaveOutClose:\n\r";
constexpr const char* PrefixPause = "WaveOutPause:\n\r";
constexpr const char* PrefixReset = "WaveOutReset:\n\r";
constexpr const char* PrefixRestart = "WaveOutRestart:\n\r";
constexpr const char* PrefixWrite = "WaveOutWrite:\n\r";
constexpr const char* PrefixGetPosition = "WaveOutGetPosition:\n\r";
constexpr const char* PrefixStart = "WaveOutStart:\n\r";
constexpr const char* PrefixThread = "WaveOut:\n\r";

using namespace std::chrono_literals;
// The driver's confirmations and returned buffers are awaited this long at most.
constexpr auto DriverWait = 5000ms;
// A buffer being refilled waits this long at most for the driver to return it.
constexpr auto BufferWait = 130000ms;

}  // namespace

// ---------------------------------------------------------------- worker thread

TSndWaveOutThread::TSndWaveOutThread(TSndWaveOut* device)
    : TSndWaveDeviceThread(device, QStringLiteral("TSndWaveOutThread")), FOwner(device)
{
}

TSndWaveOutThread::~TSndWaveOutThread()
{
    Join();
}

void TSndWaveOutThread::PostDone(std::uintptr_t tag)
{
    {
        std::lock_guard<std::mutex> lock(FLock);
        FMessages.push_back(tag);
    }
    FWake.notify_one();
}

void TSndWaveOutThread::Flush()
{
    std::unique_lock<std::mutex> lock(FLock);
    if (FEnded || !isRunning()) {
        FMessages.clear();
        return;
    }
    FFlush = true;
    FWake.notify_one();
    FFlushed.wait(lock, [this] { return !FFlush || FQuit || FEnded; });
}

int TSndWaveOutThread::PendingMessages() const
{
    std::lock_guard<std::mutex> lock(FLock);
    return static_cast<int>(FMessages.size()) + FBusy;
}

void TSndWaveOutThread::run()
{
    const TRunEnd end{this};
    BeginRun(FOwner->Priority());
    try {
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(FLock);
                FWake.wait(lock, [this] { return FQuit || FFlush || !FMessages.empty(); });
                if (FQuit)
                    break;
                if (FFlush) {
                    FMessages.clear();
                    FFlush = false;
                    FFlushed.notify_all();
                    continue;
                }
                FMessages.pop_front();
                ++FBusy;
            }
            struct TDone {
                TSndWaveOutThread* T;
                ~TDone()
                {
                    {
                        std::lock_guard<std::mutex> lock(T->FLock);
                        --T->FBusy;
                    }
                    T->FOwner->Signal();
                }
            } done{this};
            if (!FOwner->FStopping.load())
                FOwner->ProcessDone();
        }
    } catch (...) {
        FFailed.store(true);
        {
            std::lock_guard<std::mutex> lock(FLock);
            FMessages.clear();
            FFlush = false;
            FEnded = true;
        }
        FFlushed.notify_all();
        // The device is stopped and closed on the GUI thread.
        FOwner->ReportHandlerFailure();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(FLock);
        FEnded = true;
    }
    FFlushed.notify_all();
    SignalReady();
}

// ---------------------------------------------------------------- TSndWaveOut

TSndWaveOut::TSndWaveOut(QObject* owner) : TSndWaveOutDevice(owner, DeviceName, ClassName, DriverWait)
{
    FNumDevs = Driver().OutputDeviceCount();
    SetDeviceID(0);
}

TSndWaveOut::~TSndWaveOut()
{
    FDestroyingDevice.store(true);
    if (FHandle || (FState.load() & dsOpened))
        Close();
    // The worker is always joined (its destructor waits for it).
    FThread.reset();
    FWindow.reset();
    FreeBufferBlocks();
    FAllocator.FreeAll();
}

bool TSndWaveOut::WorkerBusy() const
{
    return FHandlersRunning.load() > 0 || (FThread && FThread->PendingMessages() > 0);
}

// ------------------------------------------------------------ properties

void TSndWaveOut::DropBuffers()
{
    for (TSndWaveHdr*& hdr : FBuffers)
        hdr = nullptr;
}

void TSndWaveOut::SetDeviceID(TSndDeviceId value)
{
    RefuseWhileOpen();
    FDeviceID = InMinMaxProc(value, -1, FNumDevs - 1) ? value : InvalidId;
    FProductName = LoadResStr(161);
    FDriverVersion = 0;
    if (FDeviceID != InvalidId) {
        TAudioDeviceCaps caps;
        if (Driver().GetOutputDeviceCaps(FDeviceID, caps) == aeOk) {
            FProductName = caps.Name;
            FDriverVersion = caps.DriverVersion;
        }
    }
}

void TSndWaveOut::SetLooping(bool value)
{
    if (value != FLooping) {
        FLooping = value;
        FLoopsRemaining = FLoopCount;
    }
}

void TSndWaveOut::SetLoopCount(std::uint16_t value)
{
    if (value != FLoopCount) {
        FLoopCount = value;
        FLoopsRemaining = FLoopCount;
    }
}

// ------------------------------------------------------------ driver helpers

bool TSndWaveOut::QueryFormat(TSndDeviceId deviceId, const TWaveFormatEx* format)
{
    if (!InMinMaxProc(deviceId, -1, FNumDevs - 1) || !format)
        return false;
    TAudioFormat f;
    if (!ToAudioFormat(format, f))
        return false;
    std::unique_ptr<TAudioOutputStream> none;
    FLastResult.store(Driver().OpenOutput(deviceId, f, true, TAudioCallback(), none));
    return FLastResult.load() == aeOk;
}

void TSndWaveOut::DriverCallback(TAudioNotify notify, std::uintptr_t tag)
{
    if (DriverStateChanged(notify))
        return;
    SetFlag(reinterpret_cast<TSndWaveHdr*>(tag), WHDR_DONE);
    const int before = FQueued.fetch_sub(1);
    if (FResetting.load()) {
        if (before == 1)
            FResetting.store(false);
        Signal();
        return;
    }
    Signal();
    if (FStopping.load())
        return;
    DispatchDone([tag](TSndWaveOutThread& worker) { worker.PostDone(tag); }, [this] { ProcessDone(); });
}

void TSndWaveOut::ClearPosition()
{
    std::lock_guard<std::recursive_mutex> lock(FLock);
    FPosBase = 0;
    FPosOffset = 0;
    ClearWrap();
}

void TSndWaveOut::WaitForHandlers()
{
    if (FCallBackMode != cmThread || !FThread || QThread::currentThread() == FThread.get())
        return;
    // A running handler sees the stop or reset flags set before this wait
    // and returns without waiting for anything of this thread.
    std::unique_lock<std::mutex> lock(FSignalLock);
    FSignal.wait(lock, [this] { return FHandlersRunning.load() == 0; });
}

bool TSndWaveOut::EnterHandler()
{
    // Counted and tested under the device's lock, where Stop and Reset set
    // their flags: either the handler sees them, or they see the handler.
    std::lock_guard<std::recursive_mutex> lock(FLock);
    FHandlersRunning.fetch_add(1);
    if (!(FState.load() & dsStarted) || FResetting.load() || FStopping.load() || FBuffersUsed == 0) {
        FHandlersRunning.fetch_sub(1);
        Signal();
        return false;
    }
    return true;
}

void TSndWaveOut::LeaveHandler()
{
    FHandlersRunning.fetch_sub(1);
    Signal();
}

TSndWaveHdr* TSndWaveOut::AllocHeader(int index)
{
    TSndWaveHdr*& hdr = FBuffers[static_cast<std::size_t>(index)];
    const std::int32_t size = GetBufferSize();
    if (!hdr)
        hdr = NewHeader(size);
    PrepareHeader(hdr, size);
    return hdr;
}

std::int64_t TSndWaveOut::LoadBuffer(TSndWaveHdr* hdr)
{
    bool more = false;
    BufferLoad(hdr, more);
    const std::int64_t loaded = static_cast<std::int32_t>(hdr->dwBytesRecorded);
    FMoreBuffers.store(more && loaded > 0);
    return loaded;
}

void TSndWaveOut::WriteBuffer(TSndWaveHdr* hdr)
{
    if (OnBufferFilled)
        OnBufferFilled(this, hdr);
    if (FStopping.load())
        return;
    hdr->wh_SavedBytes = hdr->dwBytesRecorded;
    HandToDriver(hdr, PrefixWrite, [hdr](TAudioOutputStream& stream) {
        return stream.Write(hdr->lpData, hdr->dwBufferLength, reinterpret_cast<std::uintptr_t>(hdr));
    });
    hdr->dwBytesRecorded = hdr->wh_SavedBytes;
}

void TSndWaveOut::FillRing()
{
    FMoreBuffers.store(true);
    int written = 0;
    for (int i = 0; i < FNumBuffers && FMoreBuffers.load(); ++i) {
        TSndWaveHdr* hdr = AllocHeader(i);
        if (LoadBuffer(hdr) <= 0)
            break;
        WriteBuffer(hdr);
        written = i + 1;
    }
    FBuffersUsed = written;
}

// ------------------------------------------------------------ chain

void TSndWaveOut::SetPWaveFormat(const TWaveFormatEx* format)
{
    Close();
    TSndCustomWaveOutComponent::SetPWaveFormat(format);
}

void TSndWaveOut::Opened()
{
    Open();
}

void TSndWaveOut::Closed()
{
    Close();
}

void TSndWaveOut::Started()
{
    Start();
}

void TSndWaveOut::Paused()
{
    Pause();
}

void TSndWaveOut::Restarted()
{
    Restart();
}

void TSndWaveOut::Stopped()
{
    Stop();
}

void TSndWaveOut::BufferReady(TSndWaveHdr*)
{
}

void TSndWaveOut::BufferLoad(TSndWaveHdr* lpWaveHdr, bool& moreBuffers)
{
    lpWaveHdr->dwBufferLength = static_cast<std::uint32_t>(GetBufferSize());
    lpWaveHdr->dwBytesRecorded = 0;
    lpWaveHdr->wh_Looping = FLooping ? -1 : 0;
    if (FLooping) {
        lpWaveHdr->wh_LoopCount = FLoopCount;
        lpWaveHdr->wh_LoopsRemaining = FLoopsRemaining;
        lpWaveHdr->wh_LoopRestart = 0;
    }
    TSndCustomWaveOutComponent::BufferLoad(lpWaveHdr, moreBuffers);
    // Never more than the buffer holds, whatever the source said.
    lpWaveHdr->dwBytesRecorded = std::min(lpWaveHdr->dwBytesRecorded, static_cast<std::uint32_t>(GetBufferSize()));
    lpWaveHdr->dwBufferLength = lpWaveHdr->dwBytesRecorded;
    if (FLooping)
        FLoopsRemaining = lpWaveHdr->wh_LoopsRemaining;
}

// ------------------------------------------------------------ operations

std::int64_t TSndWaveOut::GetPosition()
{
    const TWaveFormatEx* format = PositionFormat();
    if (!format)
        return 0;
    const std::int64_t driver = DriverPosition(PrefixGetPosition);
    std::int64_t samples;
    {
        std::lock_guard<std::recursive_mutex> lock(FLock);
        samples = driver + FPosOffset + FWrapCount * FWrapSize - FPosBase;
    }
    switch (FTimeFormat) {
    case tfMillisecond: return SamplesToMs64(format, samples);
    case tfByte: return SamplesToBytes64(format, samples);
    case tfSample: break;
    }
    return samples;
}

void TSndWaveOut::Open()
{
    OpenDevice(161, PrefixOpen, [this](const TWaveFormatEx* format) {
        FEndPosted.store(false);

        if (!QueryFormat(FDeviceID, format))
            Error(QString::fromLatin1(PrefixOpen) + LoadResStr(70));

        MakeWindow();
        FClosePending.store(false);

        TSndCustomSoundComponent::Opened();

        if (FCallBackMode == cmThread)
            StartWorker(std::make_unique<TSndWaveOutThread>(this), PrefixThread);

        OpenStream(format, PrefixOpen, [this](const TAudioFormat& audioFormat, std::unique_ptr<TAudioOutputStream>& stream) {
            return Driver().OpenOutput(
                FDeviceID, audioFormat, false,
                [this](TAudioNotify notify, std::uintptr_t tag) { DriverCallback(notify, tag); }, stream);
        });
        WaitOpened(PrefixOpen);
    });
}

void TSndWaveOut::Start()
{
    if (!(FState.load() & dsOpened))
        Open();
    if (FState.load() & dsStarted)
        return;
    bool hourGlass = false;
    try {
        ClearPosition();
        FLoopsRemaining = FLoopCount;
        FStopping.store(false);
        FResetting.store(false);
        FStopRequested.store(false);
        FEndPosted.store(false);
        FNextFinished = 0;
        FQueued.store(0);
        // A buffer message still waiting from before a stop belongs to the
        // old ring: taken now, it would hand on a buffer of the new one.
        if (FCallBackMode == cmWindow && FWindow)
            QCoreApplication::removePostedEvents(FWindow.get(), DoneEventType());
        else if (FCallBackMode == cmThread && FThread && QThread::currentThread() != FThread.get())
            FThread->Flush();

        if (FShowHourGlass && static_cast<std::int64_t>(GetBufferSize()) * FNumBuffers > 100000 &&
            qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
            hourGlass = true;
        }

        CheckDriver(FHandle ? FHandle->Pause() : aeInvalidHandle, PrefixPause);

        TSndCustomSoundComponent::Started();

        FillRing();

        FState.fetch_or(dsStarted);
        if (hourGlass) {
            QGuiApplication::restoreOverrideCursor();
            hourGlass = false;
        }

        if (FBuffersUsed == 0) {
            TSndCustomSoundComponent::Stopped();
            Error(QString::fromLatin1(PrefixStart) + LoadResStr(80));
        }
        if (!(FState.load() & dsPaused))
            CheckDriver(FHandle->Restart(), PrefixRestart);
        if (OnStart)
            OnStart(this);
    } catch (...) {
        if (hourGlass)
            QGuiApplication::restoreOverrideCursor();
        CloseFailedOpen(true);
    }
}

void TSndWaveOut::ProcessDone()
{
    if (!EnterHandler())
        return;
    bool last = false;
    try {
        TSndWaveHdr* hdr = nullptr;
        TSndWaveHdr* next = nullptr;
        {
            std::lock_guard<std::recursive_mutex> lock(FLock);
            hdr = FBuffers[static_cast<std::size_t>(FNextFinished)];
            FNextFinished = (FNextFinished + 1) % FBuffersUsed;
            next = FBuffers[static_cast<std::size_t>(FNextFinished)];
        }
        hdr->dwBytesRecorded = hdr->wh_SavedBytes;
        hdr->wh_NextHdr = next;
        if (next)
            next->dwBytesRecorded = next->wh_SavedBytes;
        TSndCustomWaveOutComponent::BufferReady(hdr);

        const std::int64_t pos = DriverPosition(PrefixGetPosition);
        NoteDriverPosition(pos);

        if (FMoreBuffers.load() && !FStopRequested.load() && !FResetting.load()) {
            if (FLooping && hdr->wh_LoopRestart) {
                {
                    std::lock_guard<std::recursive_mutex> lock(FLock);
                    FPosBase = pos;
                }
                hdr->wh_LoopRestart = 0;
                TSndCustomSoundComponent::Looped();
                if (OnLooping)
                    OnLooping(this);
            }
            // The driver hands buffers back in order: this one is normally back already.
            WaitSignal([&] { return HasFlag(hdr, WHDR_DONE) || FStopRequested.load() || FResetting.load(); },
                       BufferWait);
            const std::int64_t loaded = LoadBuffer(hdr);
            if (loaded <= 0 && !FStopRequested.load())
                Error(LoadResStr(81));
            if (!FStopRequested.load() && !FResetting.load())
                WriteBuffer(hdr);
        }
    } catch (...) {
        LeaveHandler();
        if (OnError)
            OnError(this);
        throw;
    }
    {
        std::lock_guard<std::recursive_mutex> lock(FLock);
        last = FHandlersRunning.load() == 1 && (FStopRequested.load() || FQueued.load() == 0) &&
               !FEndPosted.exchange(true);
        if (last)
            FStopping.store(true);
    }
    if (last && FHandle)
        FHandle->Pause();
    LeaveHandler();
    if (last)
        PostEnd();
}

void TSndWaveOut::PostEnd()
{
    Post(FWindow.get(), EndEventType());
}

void TSndWaveOut::WindowDone()
{
    if (FStopping.load())
        return;
    RunFromWindow([this] { ProcessDone(); }, true);
}

void TSndWaveOut::WindowEnd()
{
    RunFromWindow([this] { Stop(); }, true);
}

void TSndWaveOut::WindowClose()
{
    try {
        Close();
    } catch (...) {
        HandleApplicationException(CurrentExceptionText(DeviceName));
    }
}

void TSndWaveOut::Stop()
{
    const std::uint8_t state = FState.load();
    if (!(state & (dsStarted | dsPaused)))
        return;
    try {
        {
            std::lock_guard<std::recursive_mutex> lock(FLock);
            FStopping.store(true);
            FResetting.store(true);
            ClearWrap();
        }
        Signal();
        // A handler still running on the worker thread finishes first.
        WaitForHandlers();
        if (FHandle) {
            CheckDriver(FHandle->Reset(), PrefixReset);
            if (FQueued.load() == 0)
                FResetting.store(false);
        }
        if (FHandlersRunning.load() > 0) {
            // Inside the finished-buffer handler: it completes the stop.
            FStopRequested.store(true);
            return;
        }
        FState.fetch_and(static_cast<std::uint8_t>(~(dsStarted | dsPaused)));
        // The driver's reset hands every buffer back before it returns.
        WaitSignal([this] { return FQueued.load() <= 0; }, DriverWait);
        TSndCustomSoundComponent::Stopped();
        for (int i = 0; i < FBuffersUsed; ++i) {
            TSndWaveHdr* hdr = FBuffers[static_cast<std::size_t>(i)];
            if (!hdr)
                continue;
            ClearFlag(hdr, WHDR_PREPARED);
            SetFlag(hdr, WHDR_DONE);
        }
        FreeBufferBlocks();
        FBuffersUsed = 0;
        FNextFinished = 0;
        FQueued.store(0);
        FStopRequested.store(false);
        StopDone();
    } catch (...) {
        CloseAndRethrow();
    }
}

void TSndWaveOut::Pause()
{
    PauseDevice([this] {
        if (FState.load() & dsStarted) {
            std::lock_guard<std::recursive_mutex> lock(FLock);
            CheckDriver(FHandle->Pause(), PrefixPause);
            FState.fetch_or(dsPaused);
            if (DeviceUpstream()) {
                FPosOffset += DriverPosition(PrefixGetPosition);
                FResetting.store(true);
                CheckDriver(FHandle->Reset(), PrefixReset);
                FNextFinished = 0;
                FQueued.store(0);
            }
        }
        // A handler running on the worker thread finishes before the caller
        // repositions the source.
        Signal();
        WaitForHandlers();
    });
}

void TSndWaveOut::Restart()
{
    RestartDevice([this] {
        FResetting.store(false);
        TSndCustomSoundComponent::Restarted();
        CheckDriver(FHandle ? FHandle->Restart() : aeInvalidHandle, PrefixRestart);
        FState.fetch_and(static_cast<std::uint8_t>(~dsPaused));
    });
}

void TSndWaveOut::Reset()
{
    // Only a started device has buffers to flush and refill (a device paused
    // before its start has none yet).
    if (!(FState.load() & dsStarted) || FResetting.load() || !FHandle)
        return;
    try {
        {
            std::lock_guard<std::recursive_mutex> lock(FLock);
            FResetting.store(true);
        }
        Signal();
        CheckDriver(FHandle->Pause(), PrefixPause);

        // Pending buffer-done messages are dropped; a handler still running
        // on the worker thread finishes first.
        if (FCallBackMode == cmWindow && FWindow)
            QCoreApplication::removePostedEvents(FWindow.get(), DoneEventType());
        else if (FCallBackMode == cmThread && FThread) {
            WaitForHandlers();
            FThread->Flush();
        }

        CheckDriver(FHandle->Reset(), PrefixReset);
        // Nothing left at the driver: nothing more will clear the flag.
        if (FQueued.load() == 0)
            FResetting.store(false);
        WaitSignal([this] { return !FResetting.load(); }, DriverWait);
        FResetting.store(false);

        CheckDriver(FHandle->Restart(), PrefixRestart);
        CheckDriver(FHandle->Pause(), PrefixPause);

        FNextFinished = 0;
        FQueued.store(0);
        ClearPosition();
        TSndCustomSoundComponent::ChainReset();

        FillRing();

        if (!(FState.load() & dsPaused))
            CheckDriver(FHandle->Restart(), PrefixRestart);
        if (FBuffersUsed == 0)
            Stop();
    } catch (...) {
        CloseAndRethrow();
    }
}

void TSndWaveOut::Close()
{
    CloseDevice(FHandle || (FState.load() & dsOpened), [this]() -> std::optional<QString> {
        FClosing.store(true);
        if (FState.load() & (dsStarted | dsPaused))
            Stop();
        if (FStopRequested.load()) {
            // A finished-buffer handler is running: the stop it completes closes the device.
            FClosePending.store(true);
            return std::nullopt;
        }
        QString failure;
        if (FHandle) {
            CloseStream(failure, PrefixClose);
            std::lock_guard<std::recursive_mutex> lock(FLock);
            FWrapCount = 0;
            FWrapSize = 0;
        }
        // The stream is dropped also when the driver refused to close it.
        return failure;
    });
}

void TSndWaveOut::ReleaseClosed()
{
    if (FThread) {
        FThread->RequestQuit();
        // Joined here; from the worker itself (a close inside its handler)
        // by the next open or the destructor.
        if (QThread::currentThread() != FThread.get())
            FThread.reset();
    }
    FStopRequested.store(false);
}
