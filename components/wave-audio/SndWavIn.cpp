#include "SndWavIn.h"

#include "ApplicationException.h"
#include "SndWaveIO.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QEvent>
#include <QtCore/QThread>

#include <algorithm>
#include <chrono>

using namespace SndWaveDev;

namespace {

constexpr const char* DeviceName = "WaveIn";
constexpr const char* ClassName = "TSndWaveIn";

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

TSndWaveInThread::TSndWaveInThread(TSndCustomWaveIn* device)
    : TSndWaveDeviceThread(device, QStringLiteral("TSndWaveInThread")), FOwner(device)
{
}

TSndWaveInThread::~TSndWaveInThread()
{
    Join();
}

void TSndWaveInThread::Wake()
{
    {
        std::lock_guard<std::mutex> lock(FLock);
        ++FWakes;
    }
    FWake.notify_one();
}

void TSndWaveInThread::run()
{
    const TRunEnd end{this};
    BeginRun(FOwner->Priority());
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
        FOwner->ReportHandlerFailure();
    }
    FEnded.store(true);
    WakeMainThreadWaits();
}

// ---------------------------------------------------------------- TSndCustomWaveIn

TSndCustomWaveIn::TSndCustomWaveIn(QObject* owner) : TSndWaveInDevice(owner, DeviceName, ClassName, DriverWait)
{
}

void TSndCustomWaveIn::Initialize()
{
    FNumDevs = Driver().InputDeviceCount();
    RebuildFormat();
    SetDeviceID(0);
    if (!Designing())
        MakeWindow();
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
    RefuseWhileOpen();
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

void TSndCustomWaveIn::SetMode(TSndMode value)
{
    RefuseWhileOpen();
    if (value != mMono && value != mStereo)
        return;
    FMode = value;
    RebuildFormat();
}

void TSndCustomWaveIn::SetBitLength(TSndBits value)
{
    RefuseWhileOpen();
    if (value != b8Bit && value != b16Bit)
        return;
    FBitLength = value;
    RebuildFormat();
}

void TSndCustomWaveIn::SetSampleRate(std::int32_t value)
{
    RefuseWhileOpen();
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

void TSndCustomWaveIn::DriverCallback(TAudioNotify notify, std::uintptr_t tag, std::uint32_t bytes)
{
    if (DriverStateChanged(notify))
        return;
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
    DispatchDone([](TSndWaveInThread& worker) { worker.Wake(); },
                 [this] {
                     while (ProcessDone()) {
                     }
                 });
}

void TSndCustomWaveIn::QueueBuffer(TSndWaveHdr* hdr)
{
    hdr->dwBytesRecorded = 0;
    HandToDriver(hdr, PrefixAddBuffer, [hdr](TAudioInputStream& stream) {
        return stream.AddBuffer(hdr->lpData, hdr->dwBufferLength, reinterpret_cast<std::uintptr_t>(hdr));
    });
}

void TSndCustomWaveIn::AllocateBuffers()
{
    FreeBuffers();
    const std::int32_t size = GetBufferSize();
    for (int i = 0; i < FNumBuffers; ++i) {
        TSndWaveHdr* hdr = NewHeader(size);
        PrepareHeader(hdr, size);
        FBuffers[static_cast<std::size_t>(i)] = hdr;
        FBuffersAllocated = i + 1;
    }
}

void TSndCustomWaveIn::FreeBuffers()
{
    FreeBufferBlocks();
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
            NoteDriverPosition(DriverPosition(PrefixGetPosition));
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
    RunFromWindow([this] { ProcessDone(); }, false);
}

void TSndCustomWaveIn::WindowEnd()
{
    if (!FStopPosted.load())
        return;  // stopped meanwhile
    RunFromWindow([this] { Stop(); }, false);
}

void TSndCustomWaveIn::WindowClose()
{
    Close();
}

// ------------------------------------------------------------ operations

std::int64_t TSndCustomWaveIn::GetPosition()
{
    const TWaveFormatEx* format = PositionFormat();
    if (!format)
        return 0;
    std::int64_t samples = 0;
    try {
        samples = DriverPosition(PrefixGetPosition);
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
    OpenDevice(160, "", [this](const TWaveFormatEx* format) {
        FStopPending.store(false);
        FStopPosted.store(false);

        if (!QueryFormat(format))
            Error(QString::fromLatin1(PrefixOpen) + LoadResStr(87));

        MakeWindow();
        FClosePending.store(false);

        if (FCallBackMode == cmThread) {
            // A worker left from a close on itself is joined first.
            EndWorker();
            StartWorker(std::make_unique<TSndWaveInThread>(this), PrefixThread);
        }

        OpenStream(format, PrefixOpen, [this](const TAudioFormat& audioFormat, std::unique_ptr<TAudioInputStream>& stream) {
            return Driver().OpenInput(
                FDeviceID, audioFormat, false,
                [this](TAudioNotify notify, std::uintptr_t tag, std::uint32_t bytes) {
                    DriverCallback(notify, tag, bytes);
                },
                stream);
        });

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

        WaitOpened(PrefixOpen);

        AllocateBuffers();
    });
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
            ClearWrap();
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
        CloseFailedOpen(true);
    }
}

void TSndCustomWaveIn::Pause()
{
    PauseDevice([this] {
        if (FState.load() & dsStarted)
            CheckDriver(FHandle ? FHandle->Stop() : aeInvalidHandle, PrefixPause);
    });
}

void TSndCustomWaveIn::Restart()
{
    RestartDevice([this] {
        CheckDriver(FHandle ? FHandle->Start() : aeInvalidHandle, PrefixRestart);
        FState.fetch_and(static_cast<std::uint8_t>(~dsPaused));
        TSndCustomSoundComponent::Restarted();
    });
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
            ClearWrap();
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
        StopDone();
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
    CloseDevice((FState.load() & dsOpened) != 0, [this]() -> std::optional<QString> {
        if (FInStop.load()) {
            // Asked for by the stop under way (its OnStop, the chain): done after it.
            FClosePending.store(true);
            return std::nullopt;
        }
        FClosing.store(true);
        if (FState.load() & (dsStarted | dsPaused))
            Stop();
        if (FStopPending.load()) {
            // A buffer is being handled: the stop that follows it closes the device.
            FClosePending.store(true);
            return std::nullopt;
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
                ClearWrap();
                if (stopped != aeOk)
                    failure = QString::fromLatin1(PrefixStop) + DriverText(stopped);
                else if (reset != aeOk)
                    failure = QString::fromLatin1(PrefixReset) + DriverText(reset);
            }
            CloseStream(failure, PrefixClose);
        }
        return failure;
    });
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

void TSndCustomWaveIn::ReleaseClosed()
{
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
    FStopPosted.store(false);
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
