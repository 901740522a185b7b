#include "SndWavOut.h"

#include "ApplicationException.h"
#include "SndWaveDev.h"
#include "SndWaveIO.h"
#include "ThreadSanitizer.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QEvent>
#include <QtCore/QThread>
#include <QtGui/QGuiApplication>

#include <chrono>

using namespace SndWaveDev;

namespace {

constexpr const char* DeviceName = "WaveOut";

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

TSndWaveOutThread::TSndWaveOutThread(TSndWaveOut* device) : TSndDSPThread(device), FOwner(device)
{
    setObjectName(QStringLiteral("TSndWaveOutThread"));
}

TSndWaveOutThread::~TSndWaveOutThread()
{
    RequestQuit();
    wait();
    MarkHappensAfter(this);
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

void TSndWaveOutThread::RequestQuit()
{
    {
        std::lock_guard<std::mutex> lock(FLock);
        FQuit = true;
    }
    FWake.notify_one();
}

bool TSndWaveOutThread::WaitReady(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(FLock);
    const bool ready = FReadyCv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return FReady; });
    FReady = false;  // auto-reset
    return ready;
}

int TSndWaveOutThread::PendingMessages() const
{
    std::lock_guard<std::mutex> lock(FLock);
    return static_cast<int>(FMessages.size()) + FBusy;
}

void TSndWaveOutThread::SignalReady()
{
    {
        std::lock_guard<std::mutex> lock(FLock);
        FReady = true;
    }
    FReadyCv.notify_all();
}

void TSndWaveOutThread::run()
{
    // Everything the thread did comes before the wait for it ends.
    struct TEnd {
        const void* Thread;
        ~TEnd() { MarkHappensBefore(Thread); }
    } end{this};
    SndSetThreadPriority(this, FOwner->Priority());
    SignalReady();
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
        Post(FOwner->FWindow.get(), CloseEventType());
        HandleApplicationException(CurrentExceptionText(DeviceName));
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

TSndWaveOut::TSndWaveOut(QObject* owner) : TSndCustomWaveOutComponent(owner)
{
    FNumDevs = AudioSystem().OutputDeviceCount();
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
    for (TSndWaveHdr*& hdr : FBuffers)
        if (hdr)
            FAllocator.FreeBuffer(hdr);
    FAllocator.FreeAll();
}

bool TSndWaveOut::WorkerBusy() const
{
    return FHandlersRunning.load() > 0 || (FThread && FThread->PendingMessages() > 0);
}

// ------------------------------------------------------------ properties

void TSndWaveOut::SetBufferSize(std::int32_t value)
{
    if (FHandle)
        Error(LoadResStr(60));
    value = std::max<std::int32_t>(value, 32);
    if (value != FRequestedBufferSize) {
        for (TSndWaveHdr*& hdr : FBuffers)
            hdr = nullptr;
        FAllocator.FreeAll();
    }
    TSndCustomWaveOutComponent::SetBufferSize(value);
}

void TSndWaveOut::SetNumBuffers(std::int32_t value)
{
    if (FHandle)
        Error(LoadResStr(60));
    if (value < 2)
        return;
    FNumBuffers = std::min<std::int32_t>(value, 500);
}

void TSndWaveOut::SetDeviceID(TSndDeviceId value)
{
    if (FHandle)
        Error(LoadResStr(60));
    FDeviceID = InMinMaxProc(value, -1, FNumDevs - 1) ? value : InvalidId;
    FProductName = LoadResStr(161);
    FDriverVersion = 0;
    if (FDeviceID != InvalidId) {
        TAudioDeviceCaps caps;
        if (AudioSystem().GetOutputDeviceCaps(FDeviceID, caps) == aeOk) {
            FProductName = caps.Name;
            FDriverVersion = caps.DriverVersion;
        }
    }
}

void TSndWaveOut::SetProductName(const QString&)
{
}

void TSndWaveOut::SetCallBackMode(TSndCBMode value)
{
    if (FHandle)
        Error(LoadResStr(60));
    if (value == cmCallback && !Win95) {
        ShowCallbackModeRefusal(QStringLiteral("TSndWaveOut"));
        return;
    }
    FCallBackMode = value;
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

void TSndWaveOut::SetPriority(TThreadPriority value)
{
    FPriority = value;
    if (FThread)
        SndSetThreadPriority(FThread.get(), value);
}

// ------------------------------------------------------------ driver helpers

QString TSndWaveOut::DriverText(int result) const
{
    return DriverErrorText(AudioSystem(), result);
}

void TSndWaveOut::CheckDriver(int result, const char* prefix)
{
    FLastResult = result;
    if (result != aeOk)
        Error(QString::fromLatin1(prefix) + DriverText(result));
}

void TSndWaveOut::Error(const QString& message)
{
    if (OnError)
        OnError(this);
    throw ESndWaveOutError(message);
}

bool TSndWaveOut::QueryFormat(TSndDeviceId deviceId, const TWaveFormatEx* format)
{
    if (!InMinMaxProc(deviceId, -1, FNumDevs - 1) || !format)
        return false;
    TAudioFormat f;
    if (!ToAudioFormat(format, f))
        return false;
    std::unique_ptr<TAudioOutputStream> none;
    FLastResult.store(AudioSystem().OpenOutput(deviceId, f, true, TAudioCallback(), none));
    return FLastResult.load() == aeOk;
}

void TSndWaveOut::DriverCallback(TAudioNotify notify, std::uintptr_t tag)
{
    switch (notify) {
    case TAudioNotify::Opened:
        FState.store(dsOpened);
        Signal();
        return;
    case TAudioNotify::Closed:
        FState.store(dsClosed);
        Signal();
        return;
    case TAudioNotify::Done:
        break;
    }
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
    switch (FCallBackMode) {
    case cmWindow:
        Post(FWindow.get(), DoneEventType());
        break;
    case cmThread:
        if (FThread)
            FThread->PostDone(tag);
        break;
    case cmCallback:
        try {
            ProcessDone();
        } catch (...) {
            Post(FWindow.get(), CloseEventType());
            HandleApplicationException(CurrentExceptionText(DeviceName));
        }
        break;
    }
}

std::int64_t TSndWaveOut::DriverPosition()
{
    if (!FHandle)
        return 0;
    std::int64_t samples = 0;
    CheckDriver(FHandle->GetPosition(samples), PrefixGetPosition);
    return samples;
}

void TSndWaveOut::ClearPosition()
{
    std::lock_guard<std::recursive_mutex> lock(FLock);
    FPosBase = 0;
    FPosOffset = 0;
    FLastPos = 0;
    FWrapCount = 0;
    FWrapSize = 0;
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

void TSndWaveOut::Signal()
{
    {
        // Taken so that a waiter between its test and its sleep cannot miss the change.
        std::lock_guard<std::mutex> lock(FSignalLock);
        if (FChangeNotifier)
            FChangeNotifier();
    }
    FSignal.notify_all();
}

void TSndWaveOut::SetChangeNotifier(std::function<void()> notifier)
{
    std::lock_guard<std::mutex> lock(FSignalLock);
    FChangeNotifier = std::move(notifier);
}

template <typename P>
bool TSndWaveOut::WaitSignal(P ready, std::chrono::milliseconds bound)
{
    std::unique_lock<std::mutex> lock(FSignalLock);
    return FSignal.wait_for(lock, bound, ready);
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
    if (!hdr) {
        void* block = FAllocator.AllocBuffer(0, sizeof(TSndWaveHdr) + static_cast<std::size_t>(size));
        if (!block)
            Error(LoadResStr(64));
        hdr = new (block) TSndWaveHdr;
    }
    // Prepared for the driver.
    hdr->lpData = reinterpret_cast<char*>(hdr) + sizeof(TSndWaveHdr);
    hdr->dwBufferLength = static_cast<std::uint32_t>(size);
    hdr->dwFlags = WHDR_PREPARED | WHDR_DONE;
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
    ClearFlag(hdr, WHDR_DONE);
    SetFlag(hdr, WHDR_PREPARED);
    hdr->wh_SavedBytes = hdr->dwBytesRecorded;
    {
        // Counted before the driver has it, so that its notification never
        // finds the count lower than the buffers it holds.
        std::lock_guard<std::recursive_mutex> lock(FLock);
        FQueued.fetch_add(1);
    }
    const int result = FHandle ? FHandle->Write(hdr->lpData, hdr->dwBufferLength, reinterpret_cast<std::uintptr_t>(hdr))
                               : aeInvalidHandle;
    if (result != aeOk) {
        FQueued.fetch_sub(1);
        SetFlag(hdr, WHDR_DONE);
        CheckDriver(result, PrefixWrite);
    }
    hdr->dwBytesRecorded = hdr->wh_SavedBytes;
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
    const TWaveFormatEx* format = GetPWaveFormat();
    if (!(FState.load() & dsOpened) || !FHandle || !format || FClosePending.load())
        return 0;
    const std::int64_t driver = DriverPosition();
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
    try {
        if (FNumDevs == 0)
            Error(LoadResStr(161));
        if (FDeviceID == InvalidId)
            Error(LoadResStr(61));
        const TWaveFormatEx* format = GetPWaveFormat();
        if (!format)
            Error(QString::fromLatin1(PrefixOpen) + LoadResStr(89));
        if (FHandle || (FState.load() & dsOpened))
            Close();
        if (FClosing.load())
            return;
        FClosing.store(false);
        FStopping.store(false);
        FResetting.store(false);
        FEndPosted.store(false);

        if (!QueryFormat(FDeviceID, format))
            Error(QString::fromLatin1(PrefixOpen) + LoadResStr(70));

        if (!FWindow)
            FWindow = std::make_unique<TSndDeviceWindow>(
                DeviceName, [this] { WindowDone(); }, [this] { WindowEnd(); }, [this] { WindowCloseRequest(); });
        FClosePending.store(false);

        TSndCustomSoundComponent::Opened();

        if (FCallBackMode == cmThread) {
            FThread = std::make_unique<TSndWaveOutThread>(this);
            FThread->start();
            if (!FThread->WaitReady(5000))
                Error(QString::fromLatin1(PrefixThread) + LoadResStr(88));
        }

        TAudioFormat audioFormat;
        ToAudioFormat(format, audioFormat);
        std::unique_ptr<TAudioOutputStream> stream;
        const int result = AudioSystem().OpenOutput(
            FDeviceID, audioFormat, false,
            [this](TAudioNotify notify, std::uintptr_t tag) { DriverCallback(notify, tag); }, stream);
        FLastResult = result;
        if (result != aeOk)
            Error(QString::fromLatin1(PrefixOpen) + DriverText(result));
        FHandle = std::move(stream);

        if (!WaitSignal([this] { return FState.load() == dsOpened; }, DriverWait))
            Error(QString::fromLatin1(PrefixOpen) + LoadResStr(162));

        if (OnOpen)
            OnOpen(this);
    } catch (...) {
        if (OnError)
            OnError(this);
        FState.store(dsOpened);
        Close();
        FState.store(dsClosed);
        throw;
    }
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

        FMoreBuffers.store(true);
        int written = 0;
        for (int i = 0; i < FNumBuffers && FMoreBuffers.load(); ++i) {
            TSndWaveHdr* hdr = AllocHeader(i);
            if (LoadBuffer(hdr) < 1)
                break;
            WriteBuffer(hdr);
            written = i + 1;
        }
        FBuffersUsed = written;

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
        if (OnError)
            OnError(this);
        FState.fetch_or(dsStarted);
        Close();
        FState.store(dsClosed);
        throw;
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

        const std::int64_t pos = DriverPosition();
        {
            std::lock_guard<std::recursive_mutex> lock(FLock);
            if (pos < FLastPos - 65534) {
                FWrapSize = FLastPos | 0xFFFFF;
                ++FWrapCount;
            }
            FLastPos = pos;
        }

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
    try {
        ProcessDone();
    } catch (...) {
        const QString text = CurrentExceptionText(DeviceName);
        if (OnError)
            OnError(this);
        Close();
        HandleApplicationException(text);
    }
}

void TSndWaveOut::WindowEnd()
{
    try {
        Stop();
    } catch (...) {
        const QString text = CurrentExceptionText(DeviceName);
        if (OnError)
            OnError(this);
        Close();
        HandleApplicationException(text);
    }
}

void TSndWaveOut::WindowCloseRequest()
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
            FWrapCount = 0;
            FWrapSize = 0;
            FLastPos = 0;
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
        for (TSndWaveHdr*& hdr : FBuffers)
            if (hdr)
                FAllocator.FreeBuffer(hdr);
        FBuffersUsed = 0;
        FNextFinished = 0;
        FQueued.store(0);
        FStopRequested.store(false);
        if (OnStop && !FDestroyingDevice.load())
            OnStop(this);
        if (FClosePending.load())
            Close();
    } catch (...) {
        if (OnError)
            OnError(this);
        Close();
        throw;
    }
}

void TSndWaveOut::Pause()
{
    if (!(FState.load() & dsOpened))
        Open();
    if (!(FState.load() & dsOpened) || (FState.load() & dsPaused))
        return;
    try {
        if (FState.load() & dsStarted) {
            std::lock_guard<std::recursive_mutex> lock(FLock);
            CheckDriver(FHandle->Pause(), PrefixPause);
            FState.fetch_or(dsPaused);
            if (DeviceUpstream()) {
                FPosOffset += DriverPosition();
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
        FState.fetch_or(dsPaused);
        TSndCustomSoundComponent::Paused();
        if (OnPause)
            OnPause(this);
    } catch (...) {
        if (OnError)
            OnError(this);
        Close();
        throw;
    }
}

void TSndWaveOut::Restart()
{
    const std::uint8_t state = FState.load();
    if (!(state & dsStarted) || !(state & dsPaused))
        return;
    try {
        FResetting.store(false);
        TSndCustomSoundComponent::Restarted();
        CheckDriver(FHandle ? FHandle->Restart() : aeInvalidHandle, PrefixRestart);
        FState.fetch_and(static_cast<std::uint8_t>(~dsPaused));
        if (OnRestart)
            OnRestart(this);
    } catch (...) {
        if (OnError)
            OnError(this);
        Close();
        throw;
    }
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

        if (!(FState.load() & dsPaused))
            CheckDriver(FHandle->Restart(), PrefixRestart);
        if (FBuffersUsed == 0)
            Stop();
    } catch (...) {
        if (OnError)
            OnError(this);
        Close();
        throw;
    }
}

void TSndWaveOut::Close()
{
    const bool opened = FHandle || (FState.load() & dsOpened);
    if (!((opened && !FClosing.load()) || FClosePending.load()))
        return;
    bool finished = false;
    try {
        FClosing.store(true);
        if (FState.load() & (dsStarted | dsPaused))
            Stop();
        if (FStopRequested.load()) {
            // A finished-buffer handler is running: the stop it completes closes the device.
            FClosePending.store(true);
            return;
        }
        QString failure;
        if (FHandle) {
            const int result = FHandle->Close();
            FLastResult = result;
            if (result != aeOk) {
                failure = QString::fromLatin1(PrefixClose) + DriverText(result);
            } else {
                if (!WaitSignal([this] { return FState.load() == dsClosed; }, DriverWait))
                    failure = QString::fromLatin1(PrefixClose) + LoadResStr(163);
            }
            std::lock_guard<std::recursive_mutex> lock(FLock);
            FWrapCount = 0;
            FWrapSize = 0;
        }
        // The stream is dropped also when the driver refused to close it.
        FState.store(dsClosed);
        finished = true;
        FinishClose();
        if (!failure.isEmpty())
            Error(failure);
    } catch (const ESndWaveOutError&) {
        // Reported through OnError already; Close passes nothing on.
        if (!finished)
            FinishClose();
    } catch (...) {
        if (OnError)
            OnError(this);
        if (!finished)
            FinishClose();
    }
}

void TSndWaveOut::FinishClose()
{
    const bool wasOpen = FHandle || FClosing.load();
    FState.store(dsClosed);
    // No notification comes after this.
    FHandle.reset();
    try {
        TSndCustomSoundComponent::Closed();
    } catch (...) {
        if (OnError)
            OnError(this);
    }
    if (FThread) {
        FThread->RequestQuit();
        // Joined here; from the worker itself (a close inside its handler)
        // by the next open or the destructor.
        if (QThread::currentThread() != FThread.get())
            FThread.reset();
    }
    FStopRequested.store(false);
    FClosePending.store(false);
    const bool notify = FClosing.exchange(false) && wasOpen;
    if (notify && OnClose && !FDestroyingDevice.load())
        OnClose(this);
}
