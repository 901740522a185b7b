#include "AudioPipeClasses.h"

#include "ApplicationException.h"
#include "GuiCalls.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <set>
#include <thread>

namespace {

using namespace std::chrono_literals;

// The event thread's deliveries to the GUI thread. The GUI-side waits (a
// synchronous stop, the end of the event thread) serve them, so that the
// event thread never waits for a GUI thread that waits for it. Their ready()
// tests may take a worker's lock, which is never held while this queue is
// called.
TGuiCalls& GuiCalls()
{
    static TGuiCalls calls;
    return calls;
}

// Wakes the GUI-side waits after what they wait for changed.
void WakeGuiWaiters()
{
    GuiCalls().Wake();
}

QString ExceptionText(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const EAudioException& e) {
        return e.Message();
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

}  // namespace

// ================================================================== worker

// What the event thread needs of a worker, kept alive by the event records
// even when the worker itself is gone.
struct TWorkerState {
    std::atomic<std::uint64_t> RunsEnded{0};
};

class TAudioThread {
public:
    explicit TAudioThread(TAudioOutput* owner) : State(std::make_shared<TWorkerState>()), FOutputOwner(owner)
    {
        FThread = std::thread([this] { Body(); });
    }

    ~TAudioThread()
    {
        {
            std::lock_guard<std::mutex> lock(FLock);
            FTerminated = true;
            FResume = false;
        }
        FCond.notify_all();
        FThread.join();
    }

    // Starts a run: at once when parked, else as soon as the current run ends.
    void Resume()
    {
        {
            std::lock_guard<std::mutex> lock(FLock);
            FResume = true;
        }
        FCond.notify_all();
    }

    // Suspended, with no run waiting to start.
    bool Parked()
    {
        std::lock_guard<std::mutex> lock(FLock);
        return FWaiting && !FResume;
    }

    std::uint64_t CurrentRun() const { return FRun; }

    std::atomic<bool> FPostDone{true};
    std::atomic<bool> FHalted{true};
    std::atomic<bool> FStopRequest{false};
    std::shared_ptr<TWorkerState> State;

private:
    void Body()
    {
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(FLock);
                FWaiting = true;
            }
            // Parked: a synchronous stop waiting for this may go on. Its
            // wait takes this worker's lock inside the GUI-side lock, so
            // that one is taken here only without this worker's lock.
            WakeGuiWaiters();
            {
                std::unique_lock<std::mutex> lock(FLock);
                FCond.wait(lock, [this] { return FResume || FTerminated; });
                FWaiting = false;
                if (FTerminated)
                    return;
                FResume = false;
                ++FRun;
            }
            try {
                FOutputOwner->RunOnce();
            } catch (...) {
                HandleApplicationException(ExceptionText(std::current_exception()));
            }
            FHalted = true;
            State->RunsEnded = FRun.load();
            NotifyRunEnded();
            WakeGuiWaiters();
        }
    }

    // Wakes the event thread, which holds a done event until the run ended.
    static void NotifyRunEnded();

    TAudioOutput* FOutputOwner;
    std::mutex FLock;
    std::condition_variable FCond;
    bool FResume = false;
    bool FTerminated = false;
    bool FWaiting = false;
    std::atomic<std::uint64_t> FRun{0};
    std::thread FThread;
};

// ================================================================== event thread

namespace {

struct TAudioEventRecord {
    int Kind = 0;  // 0 progress, 1 done, 2 error
    TAudioOutput* Sender = nullptr;
    std::function<void(QObject*)> Handler;
    std::shared_ptr<TWorkerState> Thread;
    std::uint64_t Run = 0;
};

class TEventHandler {
public:
    static TEventHandler* AddRef(TAudioOutput* output);
    static void Release(TAudioOutput* output);
    static TEventHandler* Instance()
    {
        std::lock_guard<std::mutex> lock(GInstanceLock);
        return GInstance;
    }

    void Post(std::unique_ptr<TAudioEventRecord> record)
    {
        {
            std::lock_guard<std::mutex> lock(FQueueLock);
            if (record->Sender == FRefusedOutput || !FLive.count(record->Sender))
                return;
            FEventQueue.push_back(std::move(record));
        }
        FWake.notify_all();
    }

    // A worker's run ended (the done event may go now).
    void Wake()
    {
        {
            std::lock_guard<std::mutex> lock(FQueueLock);
        }
        FWake.notify_all();
    }

    // Blocks the output's events and drops those queued.
    void Refuse(TAudioOutput* output)
    {
        std::lock_guard<std::mutex> lock(FQueueLock);
        FRefusedOutput = output;
        RemoveQueued(output, UINT64_MAX);
    }

    void Unrefuse(TAudioOutput* output)
    {
        std::lock_guard<std::mutex> lock(FQueueLock);
        if (FRefusedOutput == output)
            FRefusedOutput = nullptr;
    }

    bool Finished() const { return FFinished.load(); }

private:
    TEventHandler() { FThread = std::thread([this] { Body(); }); }

    void RemoveQueued(TAudioOutput* output, std::uint64_t upToRun)
    {
        for (auto it = FEventQueue.begin(); it != FEventQueue.end();) {
            if ((*it)->Sender == output && (*it)->Run <= upToRun)
                it = FEventQueue.erase(it);
            else
                ++it;
        }
    }

    bool Live(TAudioOutput* output)
    {
        std::lock_guard<std::mutex> lock(FQueueLock);
        return FLive.count(output) && output != FRefusedOutput;
    }

    void Deliver(TAudioEventRecord* record)
    {
        auto call = [this, record] {
            if (!Live(record->Sender) || !record->Handler)
                return;
            try {
                record->Handler(record->Sender);
            } catch (...) {
                HandleApplicationException(ExceptionText(std::current_exception()));
            }
        };
        GuiCalls().Call(call);
    }

    void Body()
    {
        while (!FTerminated) {
            try {
                std::unique_ptr<TAudioEventRecord> record;
                {
                    std::unique_lock<std::mutex> lock(FQueueLock);
                    FWake.wait(lock, [this] { return FTerminated.load() || !FEventQueue.empty(); });
                    if (FTerminated)
                        break;
                    record = std::move(FEventQueue.front());
                    FEventQueue.pop_front();
                }
                if (record->Kind == 1) {
                    // The done event follows the parking of the worker.
                    std::unique_lock<std::mutex> lock(FQueueLock);
                    FWake.wait(lock, [&] {
                        return FTerminated.load() || !record->Thread || record->Thread->RunsEnded >= record->Run ||
                               !FLive.count(record->Sender) || record->Sender == FRefusedOutput;
                    });
                    RemoveQueued(record->Sender, record->Run);
                }
                if (!FTerminated)
                    Deliver(record.get());
            } catch (...) {
                HandleApplicationException(ExceptionText(std::current_exception()));
            }
        }
        FFinished = true;
        WakeGuiWaiters();
    }

    static std::mutex GInstanceLock;
    static TEventHandler* GInstance;
    static int GRefCount;

    std::thread FThread;
    std::mutex FQueueLock;
    std::condition_variable FWake;
    std::deque<std::unique_ptr<TAudioEventRecord>> FEventQueue;
    TAudioOutput* FRefusedOutput = nullptr;
    std::set<TAudioOutput*> FLive;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
};

std::mutex TEventHandler::GInstanceLock;
TEventHandler* TEventHandler::GInstance = nullptr;
int TEventHandler::GRefCount = 0;

TEventHandler* TEventHandler::AddRef(TAudioOutput* output)
{
    std::lock_guard<std::mutex> lock(GInstanceLock);
    if (!GInstance)
        GInstance = new TEventHandler;
    ++GRefCount;
    std::lock_guard<std::mutex> queueLock(GInstance->FQueueLock);
    GInstance->FLive.insert(output);
    return GInstance;
}

void TEventHandler::Release(TAudioOutput* output)
{
    TEventHandler* ending = nullptr;
    {
        std::lock_guard<std::mutex> lock(GInstanceLock);
        if (!GInstance)
            return;
        {
            std::lock_guard<std::mutex> queueLock(GInstance->FQueueLock);
            GInstance->FLive.erase(output);
            GInstance->RemoveQueued(output, UINT64_MAX);
        }
        // A done event held for this output's worker goes now.
        GInstance->FWake.notify_all();
        if (--GRefCount == 0) {
            ending = GInstance;
            GInstance = nullptr;
        }
    }
    if (!ending)
        return;
    {
        std::lock_guard<std::mutex> lock(ending->FQueueLock);
        ending->FTerminated = true;
    }
    ending->FWake.notify_all();
    // A delivery in progress waits for the GUI thread: keep serving it.
    GuiCalls().WaitServing([ending] { return ending->Finished(); });
    ending->FThread.join();
    delete ending;
}

}  // namespace

void TAudioThread::NotifyRunEnded()
{
    if (TEventHandler* events = TEventHandler::Instance())
        events->Wake();
}

// ================================================================== TAudioInput

TAudioInput::TAudioInput(QObject* owner) : QObject(owner) {}

TAudioInput::~TAudioInput() = default;

void TAudioInput::GetData(std::uint8_t*& buffer, std::uint32_t& bytes)
{
    std::lock_guard<std::recursive_mutex> lock(FDataLock);
    GetDataInternal(buffer, bytes);
}

void TAudioInput::Reset()
{
    try {
        Flush();
    } catch (...) {
    }
    FDelivering = false;
}

void TAudioInput::Init()
{
    std::lock_guard<std::recursive_mutex> lock(FDataLock);
    FDrained = false;
    try {
        InitInternal();
    } catch (...) {
        FDrained = true;
        throw EAudioException(ExceptionText(std::current_exception()));
    }
}

void TAudioInput::Flush()
{
    std::lock_guard<std::recursive_mutex> lock(FDataLock);
    FlushInternal();
}

int TAudioInput::CopyData(void* dest, int bytes)
{
    if (bytes <= 0)
        return 0;
    std::uint8_t* buffer = nullptr;
    std::uint32_t count = std::uint32_t(bytes);
    GetData(buffer, count);
    if (!buffer || count == 0)
        return 0;
    count = std::min<std::uint32_t>(count, std::uint32_t(bytes));
    std::memcpy(dest, buffer, count);
    return int(count);
}

int TAudioInput::FillBuffer(void* dest, int bufferSize, bool& endOfInput)
{
    endOfInput = false;
    if (bufferSize <= 0) {
        endOfInput = true;
        return 0;
    }
    auto* out = static_cast<std::uint8_t*>(dest);
    int filled = 0;
    while (filled < bufferSize) {
        int rest = bufferSize - filled;
        if (FFrameBytes > 0 && rest < FFrameBytes)
            break;  // room for less than one frame: the buffer is full
        int n = CopyData(out + filled, rest);
        if (n == 0) {
            endOfInput = true;
            break;
        }
        filled += n;
    }
    return filled;
}

// ================================================================== TAudioStreamedInput

TAudioStreamedInput::TAudioStreamedInput(QObject* owner) : TAudioInput(owner) {}

TAudioStreamedInput::~TAudioStreamedInput()
{
    FreeOwnedStream();
}

void TAudioStreamedInput::SetStream(QIODevice* stream)
{
    FreeOwnedStream();
    FSourceStream = stream;
    FStreamBorrowed = stream != nullptr;
}

void TAudioStreamedInput::FreeOwnedStream()
{
    if (FSourceStream && !FStreamBorrowed) {
        delete FSourceStream;
        FSourceStream = nullptr;
    }
}

void TAudioStreamedInput::RewindForNextPass()
{
    FDrained = false;
    if (FCanSeek) {
        std::int64_t start = FStartSample;
        SeekInternal(start);
    } else {
        Flush();
        Init();
    }
    FBytesDone = 0;
}

void TAudioStreamedInput::GetData(std::uint8_t*& buffer, std::uint32_t& bytes)
{
    std::lock_guard<std::recursive_mutex> lock(FDataLock);
    if (FDrained) {
        buffer = nullptr;
        bytes = 0;
        return;
    }
    const std::uint32_t wanted = bytes;
    GetDataInternal(buffer, bytes);
    if (bytes == 0) {
        FDrained = true;
    } else {
        FBytesDone += bytes;
        const std::int64_t total = FByteTotal;
        if (total > 0 && FBytesDone >= total) {
            FDrained = true;
            if (FBytesDone > total) {
                bytes -= std::uint32_t(FBytesDone - total);
                FBytesDone = total;
            }
        }
    }
    if (FDrained && FLoop) {
        RewindForNextPass();
        // The bytes of the end just reached are handed out first; only an
        // empty answer is replaced by the start of the next pass.
        if (bytes == 0) {
            bytes = wanted;
            GetDataInternal(buffer, bytes);
            if (bytes == 0) {
                FDrained = true;
            } else {
                FBytesDone += bytes;
                if (FByteTotal > 0 && FBytesDone >= FByteTotal)
                    FDrained = true;
            }
        }
    }
}

// ================================================================== TAudioFileIn

TAudioFileIn::TAudioFileIn(QObject* owner) : TAudioStreamedInput(owner) {}

TAudioFileIn::~TAudioFileIn() = default;

void TAudioFileIn::SetFileName(const QString& name)
{
    {
        std::lock_guard<std::recursive_mutex> lock(FOpenLock);
        if (FOpenCount > 0)
            CloseFile();
    }
    FFileName = name;
}

std::uint32_t TAudioFileIn::GetBitsPerSample()
{
    OpenFile();
    return FBitsPerSample;
}

std::uint32_t TAudioFileIn::GetChannels()
{
    OpenFile();
    return FChannels;
}

std::uint32_t TAudioFileIn::GetSampleRate()
{
    OpenFile();
    return FSampleFreq;
}

std::uint32_t TAudioFileIn::GetTotalTime()
{
    OpenFile();
    const double perSecond = double(FSampleFreq) * FChannels * (FBitsPerSample / 8);
    if (perSecond <= 0 || FByteTotal <= 0)
        return 0;
    return std::uint32_t(std::llround(double(FByteTotal) / perSecond));
}

std::int64_t TAudioFileIn::GetTotalSamples()
{
    OpenFile();
    const std::int64_t frameBytes = std::int64_t(FChannels) * FBitsPerSample / 8;
    if (FByteTotal <= 0 || frameBytes <= 0)
        return -1;
    const std::int64_t frames = FByteTotal / frameBytes;
    if (!FDelivering)
        FFrameTotal = frames;
    return frames;
}

void TAudioFileIn::Reset()
{
    TAudioStreamedInput::Reset();
    FOpenCount = 0;
}

void TAudioFileIn::SetStream(QIODevice* stream)
{
    {
        std::lock_guard<std::recursive_mutex> lock(FOpenLock);
        if (FOpenCount > 0)
            CloseFile();
    }
    TAudioStreamedInput::SetStream(stream);
}

bool TAudioFileIn::Seek(std::int64_t sampleNum)
{
    if (!FCanSeek || !(FFrameTotal == 0 || FFrameTotal >= sampleNum))
        return false;
    std::lock_guard<std::recursive_mutex> lock(FDataLock);
    if (FDelivering) {
        std::int64_t target = sampleNum + FStartSample;
        bool ok = false;
        try {
            ok = SeekInternal(target);
        } catch (...) {
            return false;
        }
        if (ok) {
            FBytesDone = (target - FStartSample) * FFrameBytes;
            FDrained = false;
        }
        return ok;
    }
    FStartSample = sampleNum;
    FBytesDone = sampleNum * FFrameBytes;
    FEndSample = -1;
    return true;
}

bool TAudioFileIn::GetValid()
{
    if (FSourceStream || !FFileName.isEmpty()) {
        try {
            OpenFile();
        } catch (...) {
            FReadable = false;
        }
        if (!FReadable) {
            std::lock_guard<std::recursive_mutex> lock(FOpenLock);
            if (FOpenCount > 0) {
                try {
                    CloseFile();
                } catch (...) {
                }
            } else {
                FreeOwnedStream();
            }
        }
    }
    return FReadable;
}

void TAudioFileIn::InitInternal()
{
    if (FDelivering)
        throw EAudioException(QStringLiteral("The component is Busy"));
    if (!FSourceStream && FFileName.isEmpty())
        throw EAudioException(QStringLiteral("The file name is not assigned"));
    FDelivering = true;
    FBytesDone = 0;
    OpenFile();
    if (!FReadable || FChannels == 0 || FBitsPerSample < 8 || FSampleFreq == 0)
        throw EAudioException(QStringLiteral("The file format is not supported or the file is damaged"));
    FFrameBytes = std::uint16_t(FChannels * FBitsPerSample / 8);
    const std::int64_t total = FByteTotal;
    FFrameTotal = total > 0 ? total / FFrameBytes : 0;
    FSeconds = std::uint32_t(FFrameTotal / FSampleFreq);
    if (FStartSample > 0) {
        Seek(0);
        FBytesDone = 0;
    }
    if ((FStartSample > 0 || FEndSample != -1) && FFrameTotal > 0) {
        if (FEndSample > FFrameTotal)
            FEndSample = -1;
        if (FEndSample != -1)
            FFrameTotal = FEndSample - FStartSample + 1;
        else
            FFrameTotal = std::max<std::int64_t>(0, FFrameTotal - FStartSample);
        FByteTotal = FFrameTotal * FFrameBytes;
    }
    FBufHead = 1;
    FBufTail = 0;
}

void TAudioFileIn::FlushInternal()
{
    {
        std::lock_guard<std::recursive_mutex> lock(FOpenLock);
        if (FOpenCount > 0)
            CloseFile();
    }
    FStartSample = 0;
    FEndSample = -1;
    FDelivering = false;
}

// ================================================================== TAudioTaggedFileIn

TAudioTagHolder::TAudioTagHolder()
    : FId3v1Tags(std::make_unique<TId3v1Tags>()),
      FId3v2Tags(std::make_unique<TId3v2Tags>()),
      FAPEv2Tags(std::make_unique<TAPEv2Tags>())
{
}

TAudioTagHolder::~TAudioTagHolder() = default;

TAudioTaggedFileIn::TAudioTaggedFileIn(QObject* owner) : TAudioFileIn(owner) {}

TAudioTaggedFileIn::~TAudioTaggedFileIn() = default;

// ================================================================== TAudioOutput

TAudioOutput::TAudioOutput(QObject* owner) : QObject(owner)
{
    TEventHandler::AddRef(this);
    FRegistered = true;
    FWorker = std::make_unique<TAudioThread>(this);
}

TAudioOutput::~TAudioOutput()
{
    DestroyWorker();
    QObject::disconnect(FInputGone);
}

void TAudioOutput::DestroyWorker()
{
    if (FWorker) {
        StopOutput(false);
        FWorker.reset();
    }
    if (FRegistered) {
        FRegistered = false;
        TEventHandler::Release(this);
    }
}

void TAudioOutput::StartOutput()
{
    SetLastErrorText(QString());
    if (FDelivering)
        throw EAudioException(QStringLiteral("Component is Busy"));
    if (!FInput)
        throw EAudioException(QStringLiteral("Input is not assigned"));
    if (!FWorker)
        return;
    FWorker->FStopRequest = false;
    FHalted = false;  // a stop asked for before this run is not a stop of it
    FDelivering = true;
    FWorker->Resume();
}

void TAudioOutput::StopOutput(bool async)
{
    FHalted = true;
    if (!FWorker)
        return;
    TAudioThread& worker = *FWorker;
    worker.FPostDone = async;
    worker.FHalted = false;
    worker.FStopRequest = true;
    if (TAudioInput* input = FInput)
        input->StopRequested();
    if (async)
        return;
    TEventHandler* events = TEventHandler::Instance();
    if (events)
        events->Refuse(this);
    GuiCalls().WaitServing([&worker] { return worker.Parked() || worker.FHalted.load(); });
    if (events)
        events->Unrefuse(this);
    worker.FPostDone = true;
}

TAudioOutputState TAudioOutput::GetOutputState() const
{
    return FDelivering ? aosBusy : aosIdle;
}

int TAudioOutput::GetProgressPercent() const
{
    TAudioInput* input = FInput;
    if (!input)
        return 0;
    const std::int64_t total = input->ByteTotal();
    if (total < 0)
        return -1;
    if (total == 0)
        return 0;
    return int(std::nearbyint(double(input->BytesDone()) / double(total) * 100.0));
}

void TAudioOutput::SetInput(TAudioInput* input)
{
    auto store = [this, input] {
        QObject::disconnect(FInputGone);
        FInput = input;
        if (input)
            FInputGone = QObject::connect(input, &QObject::destroyed, [this] { FInput = nullptr; });
    };
    if (FDelivering) {
        StopOutput(false);
        store();
        StartOutput();
    } else {
        store();
    }
}

QString TAudioOutput::LastErrorText() const
{
    std::lock_guard<std::mutex> lock(FErrorLock);
    return FLastErrorText;
}

void TAudioOutput::SetLastErrorText(const QString& text)
{
    std::lock_guard<std::mutex> lock(FErrorLock);
    FLastErrorText = text;
}

void TAudioOutput::PostEvent(int kind, const std::function<void(QObject*)>& handler)
{
    TEventHandler* events = TEventHandler::Instance();
    if (!events || !handler)
        return;
    auto record = std::make_unique<TAudioEventRecord>();
    record->Kind = kind;
    record->Sender = this;
    record->Handler = handler;
    if (FWorker) {
        record->Thread = FWorker->State;
        record->Run = FWorker->CurrentRun();
    }
    events->Post(std::move(record));
}

void TAudioOutput::RunOnce()
{
    TAudioThread& worker = *FWorker;
    FDelivering = true;
    FRunFailed = false;
    bool failed = false;
    try {
        Prepare();
        FPrepared = true;
        for (;;) {
            const int percent = GetProgressPercent();
            if (percent != FLastProgress) {
                FLastProgress = percent;
                if (OnProgress)
                    PostEvent(0, OnProgress);
            }
            const bool more = DoOutput(worker.FStopRequest);
            if (!more || worker.FStopRequest)
                break;
        }
    } catch (...) {
        failed = true;
        SetLastErrorText(ExceptionText(std::current_exception()));
        if (OnThreadException)
            PostEvent(2, OnThreadException);
        worker.FStopRequest = true;
    }
    FRunFailed = failed || worker.FStopRequest;
    worker.FStopRequest = false;
    if (FDelivering) {
        try {
            FPrepared = false;
            Done();
            FHalted = false;
        } catch (...) {
        }
        FDelivering = false;
    }
    if (worker.FPostDone && OnDone)
        PostEvent(1, OnDone);
}

// ================================================================== streamed and file outputs

TAudioStreamedOutput::TAudioStreamedOutput(QObject* owner) : TAudioOutput(owner) {}

TAudioStreamedOutput::~TAudioStreamedOutput()
{
    DestroyWorker();
    FreeOwnedStream();
}

void TAudioStreamedOutput::SetStream(QIODevice* stream)
{
    FreeOwnedStream();
    FSourceStream = stream;
    FStreamBorrowed = stream != nullptr;
}

void TAudioStreamedOutput::FreeOwnedStream()
{
    if (FSourceStream && !FStreamBorrowed) {
        delete FSourceStream;
        FSourceStream = nullptr;
    }
}

TAudioFileOut::TAudioFileOut(QObject* owner) : TAudioStreamedOutput(owner) {}

TAudioFileOut::~TAudioFileOut() = default;

void TAudioFileOut::SetFileMode(TFileOutputMode)
{
    FFileMode = foRewrite;
}

TAudioTaggedFileOut::TAudioTaggedFileOut(QObject* owner) : TAudioFileOut(owner) {}

TAudioTaggedFileOut::~TAudioTaggedFileOut() = default;

// ================================================================== TAudioFileStream

TAudioFileStream::TAudioFileStream(const QString& name, std::uint16_t mode) : QFile(name)
{
    QIODevice::OpenMode openMode;
    if (mode == fmCreate) {
        openMode = QIODevice::ReadWrite | QIODevice::Truncate;
    } else {
        switch (mode & 3) {
        case 0:
            openMode = QIODevice::ReadOnly;
            break;
        default:
            openMode = QIODevice::ReadWrite | QIODevice::ExistingOnly;
            break;
        }
    }
    if (!open(openMode))
        throw EAudioException(errorString());
}

TAudioFileStream::~TAudioFileStream()
{
    if (isOpen())
        close();
}
