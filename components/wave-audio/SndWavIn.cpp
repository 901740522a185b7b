#include "SndWavIn.h"

#include "ApplicationException.h"
#include "SndWaveDev.h"
#include "SndWaveIO.h"
#include "ThreadSanitizer.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QEvent>
#include <QtCore/QThread>

#include <algorithm>
#include <chrono>

using namespace SndWaveDev;

namespace {

constexpr const char* DeviceName = "WaveIn";

// The prefixes of driver failures: the call's name, a colon, a line feed and
// a carriage return.
constexpr const char* PrefixOpen = "WaveInOpen:\n\r";
constexpr const char* PrefixClose = "WaveInClose:\n\r";
constexpr const char* PrefixAddBuffer = "WaveInAddBuffer:\n\r";
constexpr const char* PrefixStart = "WaveInStart:\n\r";
constexpr const char* PrefixPause = "WaveInPause:\n\r";
constexpr const char* PrefixRestart = "WaveInRestart:\n\r";
constexpr const char* PrefixStop = "WaveInStop:\n\r";
constexpr const char* PrefixReset = "WaveInReset:\n\r";
constexpr const char* PrefixGetPosition = "WaveInGetPosition:\n\r";
constexpr const char* PrefixThread = "WaveIn:\n\r";

using namespace std::chrono_literals;
// The driver's confirmations and returned buffers are awaited this long at most.
constexpr auto DriverWait = 1000ms;

bool IsGuiThread()
{
    QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

}  // namespace

// ---------------------------------------------------------------- worker thread

TSndWaveInThread::TSndWaveInThread(TSndCustomWaveIn* device) : TSndDSPThread(device), FOwner(device)
{
    setObjectName(QStringLiteral("TSndWaveInThread"));
}

TSndWaveInThread::~TSndWaveInThread()
{
    RequestQuit();
    wait();
    MarkHappensAfter(this);
}

void TSndWaveInThread::Wake()
{
    {
        std::lock_guard<std::mutex> lock(FLock);
        ++FWakes;
    }
    FWake.notify_one();
}

void TSndWaveInThread::RequestQuit()
{
    {
        std::lock_guard<std::mutex> lock(FLock);
        FQuit = true;
    }
    FWake.notify_one();
}

bool TSndWaveInThread::WaitReady(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(FLock);
    const bool ready = FReadyCv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return FReady; });
    FReady = false;
    return ready;
}

void TSndWaveInThread::run()
{
    // Everything the thread did comes before the wait for it ends.
    struct TEnd {
        const void* Thread;
        ~TEnd() { MarkHappensBefore(Thread); }
    } end{this};
    SndSetThreadPriority(this, FOwner->Priority());
    {
        std::lock_guard<std::mutex> lock(FLock);
        FReady = true;
    }
    FReadyCv.notify_all();
    try {
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(FLock);
                FWake.wait(lock, [this] { return FQuit || FWakes > 0; });
                if (FQuit)
                    break;
                FWakes = 0;
            }
            while (FOwner->ProcessDone()) {
            }
        }
    } catch (...) {
        FFailed.store(true);
        // The device is closed on the GUI thread.
        Post(FOwner->FWindow.get(), CloseEventType());
        HandleApplicationException(CurrentExceptionText(DeviceName));
    }
    FEnded.store(true);
    WakeMainThreadWaits();
}

// ---------------------------------------------------------------- TSndCustomWaveIn

TSndCustomWaveIn::TSndCustomWaveIn(QObject* owner) : TSndCustomSoundComponent(owner)
{
}

void TSndCustomWaveIn::Initialize()
{
    FNumDevs = Driver().InputDeviceCount();
    RebuildFormat();
    SetDeviceID(0);
    if (!Designing())
        FWindow = std::make_unique<TSndDeviceWindow>(
            DeviceName, [this] { WindowDone(); }, [this] { WindowStop(); }, [this] { WindowClose(); });
}

TSndCustomWaveIn::~TSndCustomWaveIn()
{
    // Done already by a derived class's destructor; here for a device
    // destroyed as it was built.
    ShutDownDevice();
    FWindow.reset();
    FreeBuffers();
    FAllocator.FreeAll();
}

void TSndCustomWaveIn::ShutDownDevice()
{
    FDestroyingDevice.store(true);
    if (FHandle || (FState.load() & dsOpened)) {
        Close();
        if (FClosePending.load() || FStopPending.load()) {
            // A buffer is still being handled and the stop waits for it: it
            // finishes first, its calls into this thread served meanwhile.
            WaitServingMainThreadCalls([this] { return FInProgress.load() == 0; });
            Stop();
            Close();
        }
    }
    EndWorker();
    FThread.reset();
}

// ------------------------------------------------------------ properties

void TSndCustomWaveIn::SetDeviceID(TSndDeviceId value)
{
    if (FState.load() & dsOpened)
        Error(LoadResStr(60));
    FProductName = LoadResStr(160);
    FDriverVersion = 0;
    FDeviceFormats = 0;
    const bool valid = FNumDevs > 0 && InMinMaxProc(value, -1, FNumDevs - 1);
    if (valid) {
        TAudioInputCaps caps;
        if (Driver().GetInputDeviceCaps(value, caps) == aeOk) {
            FProductName = caps.Name;
            FDriverVersion = caps.DriverVersion;
            FDeviceFormats = caps.Formats;
        }
    }
    FDeviceID = valid ? value : InvalidId;
}

void TSndCustomWaveIn::SetProductName(const QString&)
{
}

void TSndCustomWaveIn::SetNumBuffers(std::int32_t value)
{
    if (FState.load() & dsOpened)
        Error(LoadResStr(60));
    if (value <= 1)
        return;
    FNumBuffers = std::min<std::int32_t>(value, 500);
}

void TSndCustomWaveIn::SetBufferSize(std::int32_t value)
{
    if (FState.load() & dsOpened)
        Error(LoadResStr(60));
    value = std::max<std::int32_t>(value, 32);
    if (value != FRequestedBufferSize) {
        FreeBuffers();
        FAllocator.FreeAll();
    }
    TSndCustomSoundComponent::SetBufferSize(value);
}

void TSndCustomWaveIn::SetCallBackMode(TSndCBMode value)
{
    if (FState.load() & dsOpened)
        Error(LoadResStr(60));
    if (value == cmCallback && !Win95) {
        ShowCallbackModeRefusal(QStringLiteral("TSndWaveIn"));
        return;
    }
    FCallBackMode = value;
}

void TSndCustomWaveIn::SetPriority(TThreadPriority value)
{
    FPriority = value;
    if (FThread)
        SndSetThreadPriority(FThread.get(), value);
}

void TSndCustomWaveIn::SetMode(TSndMode value)
{
    if (FState.load() & dsOpened)
        Error(LoadResStr(60));
    if (value != mMono && value != mStereo)
        return;
    FMode = value;
    RebuildFormat();
}

void TSndCustomWaveIn::SetBitLength(TSndBits value)
{
    if (FState.load() & dsOpened)
        Error(LoadResStr(60));
    if (value != b8Bit && value != b16Bit)
        return;
    FBitLength = value;
    RebuildFormat();
}

void TSndCustomWaveIn::SetSampleRate(std::int32_t value)
{
    if (FState.load() & dsOpened)
        Error(LoadResStr(60));
    FSampleRate = MinMaxProc(value, 8000, 100000);
    RebuildFormat();
}

void TSndCustomWaveIn::SetMaxRecordTime(std::int64_t value)
{
    FMaxRecordTime = value;
    FByteLimit.store(ComputeByteLimit(value, FTimeFormat));
}

void TSndCustomWaveIn::SetTimeFormat(TSndTimeFormats value)
{
    const std::int64_t limit = ComputeByteLimit(FMaxRecordTime, FTimeFormat);
    FTimeFormat = value;
    if (FMaxRecordTime >= 0) {
        const TWaveFormatEx* format = GetPWaveFormat();
        switch (value) {
        case tfMillisecond: FMaxRecordTime.store(BytesToMs(format, limit)); break;
        case tfSample: FMaxRecordTime.store(BytesToSamples(format, limit)); break;
        case tfByte: FMaxRecordTime.store(limit); break;
        }
    }
    FByteLimit.store(ComputeByteLimit(FMaxRecordTime, FTimeFormat));
}

std::int64_t TSndCustomWaveIn::ComputeByteLimit(std::int64_t value, TSndTimeFormats unit) const
{
    if (value < 0)
        return INT64_MAX;
    const TWaveFormatEx* format = GetPWaveFormat();
    std::int64_t bytes = value;
    switch (unit) {
    case tfMillisecond: bytes = MsToBytes(format, value); break;
    case tfSample: bytes = SamplesToBytes(format, value); break;
    case tfByte: break;
    }
    const std::int64_t align = format && format->nBlockAlign > 0 ? format->nBlockAlign : 1;
    return bytes / align * align;
}

void TSndCustomWaveIn::RebuildFormat()
{
    const TWaveFormatEx format =
        PcmFormat(FBitLength == b16Bit ? 16 : 8, FMode == mStereo ? 2 : 1, static_cast<std::uint32_t>(FSampleRate));
    SetPWaveFormat(&format);
}

// ------------------------------------------------------------ chain

void TSndCustomWaveIn::SetPWaveFormat(const TWaveFormatEx* format)
{
    SetPWaveFormat(format, static_cast<std::size_t>(FormatSize(format)));
}

void TSndCustomWaveIn::SetPWaveFormat(const TWaveFormatEx* format, std::size_t blockSize)
{
    if (format && (blockSize < sizeof(TWaveFormatEx) || static_cast<std::size_t>(FormatSize(format)) > blockSize))
        Error(LoadResStr(89));
    Close();
    if (PcmIsValid(format)) {
        FSampleRate = static_cast<std::int32_t>(format->nSamplesPerSec);
        FBitLength = format->wBitsPerSample / 8 - 1 == 0 ? b8Bit : b16Bit;
        FMode = format->nChannels - 1 == 0 ? mMono : mStereo;
    }
    TSndCustomSoundComponent::SetPWaveFormat(format);
    FByteLimit.store(ComputeByteLimit(FMaxRecordTime, FTimeFormat));
}

void TSndCustomWaveIn::Stopped()
{
    // The chain's own notification (a link changed): a recording stops.
    Stop();
}

void TSndCustomWaveIn::Closed()
{
    Close();
}

void TSndCustomWaveIn::BufferReady(TSndWaveHdr* lpWaveHdr)
{
    std::int64_t bytes = lpWaveHdr->dwBytesRecorded;
    bool limitReached = false;
    if (FMaxRecordTime > 0) {
        const std::int64_t left = FByteLimit.load() - FRecorded.load();
        if (left <= 0) {
            // Recorded after the limit: nothing of it goes on.
            lpWaveHdr->dwBytesRecorded = 0;
            return;
        }
        if (bytes >= left) {
            bytes = left;
            lpWaveHdr->dwBytesRecorded = static_cast<std::uint32_t>(bytes);
            limitReached = true;
        }
    }
    FRecorded.fetch_add(bytes);
    FNextBuffer.store(FNumBuffers > 0 ? (FNextBuffer.load() + 1) % FNumBuffers : 0);
    TSndCustomSoundComponent::BufferReady(lpWaveHdr);
    // A stop under way (its last buffers reach the limit) is not asked for again.
    if (limitReached && !FStopping.load())
        Stop();
}

// ------------------------------------------------------------ driver helpers

QString TSndCustomWaveIn::DriverText(int result)
{
    return DriverErrorText(Driver(), result);
}

void TSndCustomWaveIn::CheckDriver(int result, const char* prefix)
{
    FLastResult = result;
    if (result != aeOk)
        Error(QString::fromLatin1(prefix) + DriverText(result));
}

void TSndCustomWaveIn::Error(const QString& message)
{
    if (OnError)
        OnError(this);
    throw ESndWaveInError(message);
}

bool TSndCustomWaveIn::QueryFormat(const TWaveFormatEx* format)
{
    TAudioFormat f;
    if (!ToAudioFormat(format, f))
        return false;
    std::unique_ptr<TAudioInputStream> none;
    FLastResult.store(Driver().OpenInput(FDeviceID, f, true, TAudioInputCallback(), none));
    if (FLastResult.load() != aeOk)
        return false;
    // The standard rates must also be among the device's capabilities.
    if (f.SampleRate <= 48000)
        return (AudioStandardFormatBit(f) & FDeviceFormats) != 0;
    return true;
}

void TSndCustomWaveIn::Signal()
{
    {
        std::lock_guard<std::mutex> lock(FSignalLock);
    }
    FSignal.notify_all();
}

template <typename P>
bool TSndCustomWaveIn::WaitSignal(P ready, std::chrono::milliseconds bound)
{
    std::unique_lock<std::mutex> lock(FSignalLock);
    return FSignal.wait_for(lock, bound, ready);
}

void TSndCustomWaveIn::DriverCallback(TAudioNotify notify, std::uintptr_t tag, std::uint32_t bytes)
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
    auto* hdr = reinterpret_cast<TSndWaveHdr*>(tag);
    hdr->dwBytesRecorded = bytes;
    SetFlag(hdr, WHDR_DONE);
    bool forward = false;
    {
        std::lock_guard<std::mutex> lock(FDoneLock);
        const int left = FQueued.fetch_sub(1) - 1;
        if (FResetting.load()) {
            // Handed back by a reset: not passed on.
            if (left <= 0)
                FResetting.store(false);
        } else {
            FDone.push_back(hdr);
            forward = true;
        }
    }
    Signal();
    if (!forward)
        return;
    switch (FCallBackMode) {
    case cmWindow:
        Post(FWindow.get(), DoneEventType());
        break;
    case cmThread:
        if (FThread)
            FThread->Wake();
        break;
    case cmCallback:
        try {
            while (ProcessDone()) {
            }
        } catch (...) {
            Post(FWindow.get(), CloseEventType());
            HandleApplicationException(CurrentExceptionText(DeviceName));
        }
        break;
    }
}

std::int64_t TSndCustomWaveIn::DriverPosition()
{
    if (!FHandle)
        return 0;
    std::int64_t samples = 0;
    CheckDriver(FHandle->GetPosition(samples), PrefixGetPosition);
    return samples;
}

void TSndCustomWaveIn::QueueBuffer(TSndWaveHdr* hdr)
{
    ClearFlag(hdr, WHDR_DONE);
    SetFlag(hdr, WHDR_PREPARED);
    hdr->dwBytesRecorded = 0;
    // Counted before the driver has it, so that its notification never finds
    // the count lower than the buffers it holds.
    FQueued.fetch_add(1);
    const int result = FHandle ? FHandle->AddBuffer(hdr->lpData, hdr->dwBufferLength, reinterpret_cast<std::uintptr_t>(hdr))
                               : aeInvalidHandle;
    if (result != aeOk) {
        FQueued.fetch_sub(1);
        SetFlag(hdr, WHDR_DONE);
        CheckDriver(result, PrefixAddBuffer);
    }
}

void TSndCustomWaveIn::AllocateBuffers()
{
    FreeBuffers();
    const std::int32_t size = GetBufferSize();
    for (int i = 0; i < FNumBuffers; ++i) {
        void* block = FAllocator.AllocBuffer(0, sizeof(TSndWaveHdr) + static_cast<std::size_t>(size));
        if (!block)
            Error(LoadResStr(64));
        auto* hdr = new (block) TSndWaveHdr;
        hdr->lpData = reinterpret_cast<char*>(hdr) + sizeof(TSndWaveHdr);
        hdr->dwBufferLength = static_cast<std::uint32_t>(size);
        hdr->dwFlags = WHDR_PREPARED | WHDR_DONE;
        FBuffers[static_cast<std::size_t>(i)] = hdr;
        FBuffersAllocated = i + 1;
    }
}

void TSndCustomWaveIn::FreeBuffers()
{
    for (TSndWaveHdr*& hdr : FBuffers)
        if (hdr)
            FAllocator.FreeBuffer(hdr);
    FBuffersAllocated = 0;
}

// ------------------------------------------------------------ handler

bool TSndCustomWaveIn::ProcessDone()
{
    TSndWaveHdr* hdr = nullptr;
    {
        // Entered under the device's lock, where Stop sets its flag: either
        // the handler sees the stop, or the stop sees the handler.
        std::lock_guard<std::recursive_mutex> lock(FLock);
        if (!(FState.load() & dsStarted) || FStopping.load())
            return false;
        {
            std::lock_guard<std::mutex> done(FDoneLock);
            if (FDone.empty())
                return false;
            hdr = FDone.front();
            FDone.pop_front();
        }
        FInProgress.fetch_add(1);
    }
    try {
        if (hdr->dwBytesRecorded > 0)
            BufferReady(hdr);
        std::lock_guard<std::recursive_mutex> lock(FLock);
        if (!FStopping.load() && !FStopPending.load()) {
            const std::int64_t pos = DriverPosition();
            if (pos <= FLastPos - 65535) {
                FWrapSize = FLastPos | 0xFFFFF;
                ++FWrapCount;
            }
            FLastPos = pos;
            QueueBuffer(hdr);
        }
    } catch (...) {
        LeaveHandler();
        if (OnError)
            OnError(this);
        throw;
    }
    LeaveHandler();
    return true;
}

void TSndCustomWaveIn::LeaveHandler()
{
    bool post = false;
    {
        std::lock_guard<std::recursive_mutex> lock(FLock);
        if (FInProgress.fetch_sub(1) == 1 && FStopPending.load() && !FStopPosted.exchange(true)) {
            FStopping.store(true);
            post = true;
        }
    }
    Signal();
    WakeMainThreadWaits();
    if (post)
        PostStop();
}

void TSndCustomWaveIn::PostStop()
{
    Post(FWindow.get(), EndEventType());
}

void TSndCustomWaveIn::WindowDone()
{
    try {
        ProcessDone();
    } catch (...) {
        const QString text = CurrentExceptionText(DeviceName);
        Close();
        HandleApplicationException(text);
    }
}

void TSndCustomWaveIn::WindowStop()
{
    if (!FStopPosted.load())
        return;  // stopped meanwhile
    try {
        Stop();
    } catch (...) {
        const QString text = CurrentExceptionText(DeviceName);
        Close();
        HandleApplicationException(text);
    }
}

void TSndCustomWaveIn::WindowClose()
{
    Close();
}

// ------------------------------------------------------------ operations

std::int64_t TSndCustomWaveIn::GetPosition()
{
    const TWaveFormatEx* format = GetPWaveFormat();
    if (!(FState.load() & dsOpened) || !FHandle || !format || FClosePending.load())
        return 0;
    std::int64_t samples = 0;
    try {
        samples = DriverPosition();
    } catch (...) {
        if (IsGuiThread())
            Close();
        throw;
    }
    {
        std::lock_guard<std::recursive_mutex> lock(FLock);
        samples += FWrapCount * FWrapSize;
    }
    std::int64_t value = samples;
    switch (FTimeFormat) {
    case tfMillisecond: value = SamplesToMs64(format, samples); break;
    case tfByte: value = SamplesToBytes(format, samples); break;
    case tfSample: break;
    }
    if (FMaxRecordTime > 0)
        value = std::min(value, FMaxRecordTime.load());
    return value;
}

void TSndCustomWaveIn::Open()
{
    try {
        if (FNumDevs == 0)
            Error(LoadResStr(160));
        if (FDeviceID == InvalidId)
            Error(LoadResStr(61));
        const TWaveFormatEx* format = GetPWaveFormat();
        if (!format)
            Error(LoadResStr(89));
        if (FHandle || (FState.load() & dsOpened))
            Close();
        if (FClosing.load())
            return;
        FStopping.store(false);
        FResetting.store(false);
        FStopPending.store(false);
        FStopPosted.store(false);

        if (!QueryFormat(format))
            Error(QString::fromLatin1(PrefixOpen) + LoadResStr(87));

        if (!FWindow)
            FWindow = std::make_unique<TSndDeviceWindow>(
                DeviceName, [this] { WindowDone(); }, [this] { WindowStop(); }, [this] { WindowClose(); });
        FClosePending.store(false);

        if (FCallBackMode == cmThread) {
            // A worker left from a close on itself is joined first.
            EndWorker();
            FThread = std::make_unique<TSndWaveInThread>(this);
            FThread->start();
            if (!FThread->WaitReady(5000))
                Error(QString::fromLatin1(PrefixThread) + LoadResStr(88));
        }

        TAudioFormat audioFormat;
        ToAudioFormat(format, audioFormat);
        std::unique_ptr<TAudioInputStream> stream;
        const int result = Driver().OpenInput(
            FDeviceID, audioFormat, false,
            [this](TAudioNotify notify, std::uintptr_t tag, std::uint32_t bytes) { DriverCallback(notify, tag, bytes); },
            stream);
        FLastResult = result;
        if (result != aeOk)
            Error(QString::fromLatin1(PrefixOpen) + DriverText(result));
        FHandle = std::move(stream);

        {
            // The chain prepares itself (the wave file behind takes the
            // format, sizes follow the device's) while the device still
            // counts as closed, so that it takes their settings.
            const std::uint8_t saved = FState.exchange(dsClosed);
            struct TRestore {
                std::atomic<std::uint8_t>& State;
                std::uint8_t Value;
                ~TRestore() { State.store(Value); }
            } restore{FState, saved};
            TSndCustomSoundComponent::Opened();
        }

        if (!WaitSignal([this] { return FState.load() & dsOpened; }, DriverWait))
            Error(QString::fromLatin1(PrefixOpen) + LoadResStr(162));

        AllocateBuffers();
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

void TSndCustomWaveIn::Start()
{
    if (!(FState.load() & dsOpened))
        Open();
    if (!(FState.load() & dsOpened) || (FState.load() & dsStarted))
        return;
    try {
        FRecorded.store(0);
        FNextBuffer = 0;
        FQueued.store(0);
        FInProgress.store(0);
        {
            std::lock_guard<std::recursive_mutex> lock(FLock);
            FLastPos = 0;
            FWrapCount = 0;
            FWrapSize = 0;
            std::lock_guard<std::mutex> done(FDoneLock);
            FDone.clear();
        }
        FStopping.store(false);
        FResetting.store(false);
        FStopPending.store(false);
        FStopPosted.store(false);
        FByteLimit.store(ComputeByteLimit(FMaxRecordTime, FTimeFormat));
        // Messages left from before a stop belong to the old recording.
        if (FWindow) {
            QCoreApplication::removePostedEvents(FWindow.get(), DoneEventType());
            QCoreApplication::removePostedEvents(FWindow.get(), EndEventType());
        }

        {
            std::lock_guard<std::recursive_mutex> lock(FLock);
            for (int i = 0; i < FBuffersAllocated; ++i)
                QueueBuffer(FBuffers[static_cast<std::size_t>(i)]);
        }

        // Started before the driver records, so that the first buffer back
        // finds the device and the chain behind it started.
        FState.fetch_or(dsStarted);
        TSndCustomSoundComponent::Started();
        if (!(FState.load() & dsPaused))
            CheckDriver(FHandle ? FHandle->Start() : aeInvalidHandle, PrefixStart);
        if (OnStart)
            OnStart(this);
    } catch (...) {
        if (OnError)
            OnError(this);
        FState.fetch_or(dsStarted);
        Close();
        FState.store(dsClosed);
        throw;
    }
}

void TSndCustomWaveIn::Pause()
{
    if (!(FState.load() & dsOpened))
        Open();
    if (!(FState.load() & dsOpened) || (FState.load() & dsPaused))
        return;
    try {
        if (FState.load() & dsStarted)
            CheckDriver(FHandle ? FHandle->Stop() : aeInvalidHandle, PrefixPause);
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

void TSndCustomWaveIn::Restart()
{
    const std::uint8_t state = FState.load();
    if (!(state & dsStarted) || !(state & dsPaused))
        return;
    try {
        CheckDriver(FHandle ? FHandle->Start() : aeInvalidHandle, PrefixRestart);
        FState.fetch_and(static_cast<std::uint8_t>(~dsPaused));
        TSndCustomSoundComponent::Restarted();
        if (OnRestart)
            OnRestart(this);
    } catch (...) {
        if (OnError)
            OnError(this);
        Close();
        throw;
    }
}

void TSndCustomWaveIn::Stop()
{
    // A stop asked for by what the stop itself sets off (the chain closing
    // the file) is the same stop.
    if (!(FState.load() & (dsStarted | dsPaused)) || FInStop.exchange(true))
        return;
    struct TInStop {
        std::atomic<bool>& Flag;
        ~TInStop() { Flag.store(false); }
    } inStop{FInStop};
    try {
        bool deferred = false;
        {
            std::lock_guard<std::recursive_mutex> lock(FLock);
            FStopping.store(true);
            // The buffer being filled comes back with what it holds.
            if (FHandle)
                CheckDriver(FHandle->Stop(), PrefixStop);
            FLastPos = 0;
            FWrapCount = 0;
            FWrapSize = 0;
            FResetting.store(true);
            if (FHandle)
                CheckDriver(FHandle->Reset(), PrefixReset);
            if (FQueued.load() <= 0)
                FResetting.store(false);
            deferred = FInProgress.load() > 0;
            if (deferred)
                FStopPending.store(true);
        }
        if (deferred)
            return;  // the handler's end asks for the stop again
        // The driver's reset hands every buffer back before it returns.
        WaitSignal([this] { return FQueued.load() <= 0; }, DriverWait);
        FResetting.store(false);
        // What came back holding data before the reset goes on, in order.
        for (;;) {
            TSndWaveHdr* hdr = nullptr;
            {
                std::lock_guard<std::mutex> done(FDoneLock);
                if (FDone.empty())
                    break;
                hdr = FDone.front();
                FDone.pop_front();
            }
            if (hdr->dwBytesRecorded > 0 && (FState.load() & dsStarted))
                BufferReady(hdr);
        }
        FState.fetch_and(static_cast<std::uint8_t>(~(dsStarted | dsPaused)));
        FNextBuffer = 0;
        FQueued.store(0);
        FStopPending.store(false);
        FStopPosted.store(false);
        TSndCustomSoundComponent::Stopped();
        // The stop is done: what OnStop asks for (a close) runs at once.
        FInStop.store(false);
        if (OnStop && !FDestroyingDevice.load())
            OnStop(this);
        if (FClosePending.load())
            Close();
    } catch (...) {
        FInStop.store(false);
        if (OnError)
            OnError(this);
        Close();
        throw;
    }
}

void TSndCustomWaveIn::Close()
{
    // By the state only: while the chain behind prepares itself during Open,
    // the device counts as closed and a close asked for then does nothing.
    const bool opened = FState.load() & dsOpened;
    if (!((opened && !FClosing.load()) || FClosePending.load()))
        return;
    bool finished = false;
    try {
        if (FInStop.load()) {
            // Asked for by the stop under way (its OnStop, the chain): done after it.
            FClosePending.store(true);
            return;
        }
        FClosing.store(true);
        if (FState.load() & (dsStarted | dsPaused))
            Stop();
        if (FStopPending.load()) {
            // A buffer is being handled: the stop that follows it closes the device.
            FClosePending.store(true);
            return;
        }
        QString failure;
        if (FHandle) {
            {
                std::lock_guard<std::recursive_mutex> lock(FLock);
                FStopping.store(true);
                FResetting.store(true);
                const int stopped = FHandle->Stop();
                const int reset = FHandle->Reset();
                FResetting.store(false);
                FLastPos = 0;
                FWrapCount = 0;
                FWrapSize = 0;
                if (stopped != aeOk)
                    failure = QString::fromLatin1(PrefixStop) + DriverText(stopped);
                else if (reset != aeOk)
                    failure = QString::fromLatin1(PrefixReset) + DriverText(reset);
            }
            const int result = FHandle->Close();
            FLastResult = result;
            if (result != aeOk) {
                if (failure.isEmpty())
                    failure = QString::fromLatin1(PrefixClose) + DriverText(result);
            } else if (!WaitSignal([this] { return FState.load() == dsClosed; }, DriverWait) && failure.isEmpty()) {
                failure = QString::fromLatin1(PrefixClose) + LoadResStr(163);
            }
        }
        FState.store(dsClosed);
        finished = true;
        FinishClose();
        if (!failure.isEmpty())
            Error(failure);
    } catch (const ESndWaveInError&) {
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

void TSndCustomWaveIn::EndWorker()
{
    if (!FThread)
        return;
    FThread->RequestQuit();
    if (QThread::currentThread() == FThread.get())
        return;  // joined by the next open or the destructor
    // The worker may be waiting for a call into this thread: served meanwhile.
    TSndWaveInThread* worker = FThread.get();
    if (FThread->isRunning() && IsGuiThread())
        WaitServingMainThreadCalls([worker] { return worker->Ended() || !worker->isRunning(); });
    FThread.reset();
}

void TSndCustomWaveIn::FinishClose()
{
    const bool wasOpen = FHandle || FClosing.load();
    FState.store(dsClosed);
    // The stream goes: no notification comes after this, and the driver
    // holds no buffer any more.
    FHandle.reset();
    try {
        TSndCustomSoundComponent::Closed();
    } catch (...) {
        if (OnError)
            OnError(this);
    }
    EndWorker();
    {
        std::lock_guard<std::mutex> done(FDoneLock);
        FDone.clear();
        FQueued.store(0);
    }
    // Back to the pool only now that neither the driver nor the worker has them.
    if (!FThread)
        FreeBuffers();
    FStopPending.store(false);
    FClosePending.store(false);
    FStopPosted.store(false);
    const bool notify = FClosing.exchange(false) && wasOpen;
    if (notify && OnClose && !FDestroyingDevice.load())
        OnClose(this);
}

// ---------------------------------------------------------------- TSndWaveIn

TSndWaveIn::TSndWaveIn(QObject* owner) : TSndCustomWaveIn(owner)
{
    BindDriver();
    Initialize();
}

TSndWaveIn::~TSndWaveIn()
{
    ShutDownDevice();
}

void TSndWaveIn::BindDriver()
{
    FDriver = []() -> TAudioSystem& { return AudioSystem(); };
}
