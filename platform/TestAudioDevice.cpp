#include "TestAudioDevice.h"
#include "TestAudioStream.h"

#include <algorithm>
#include <chrono>
#include <deque>

namespace {
struct TPending {
    TAudioCallback Callback;
    TAudioNotify Notify;
    std::uintptr_t Tag;
};

void Deliver(std::vector<TPending>& pending)
{
    for (TPending& p : pending)
        if (p.Callback)
            p.Callback(p.Notify, p.Tag);
    pending.clear();
}
}  // namespace

// A buffer queued on an output stream.
struct TTestPlayBuffer {
    const unsigned char* Data;
    std::uint32_t Bytes;
    std::uint32_t Played;
    std::uintptr_t Tag;
};

class TTestAudioSystem::TStream : public TAudioOutputStream,
                                  public TStreamCore<TStream, std::deque<TTestPlayBuffer>> {
public:
    TStream(TTestAudioSystem& system, int deviceIndex, const TAudioFormat& format, TAudioCallback callback)
        : TStreamCore(system, system.FStreams, deviceIndex, format), FCallback(std::move(callback))
    {
    }

    // Closes without notifications: the owner may be gone already.
    ~TStream() override { CloseSilently(); }

    int Write(const void* data, std::uint32_t bytes, std::uintptr_t tag) override
    {
        FSystem.HoldPoint(TTestAudioCall::Write);
        std::lock_guard<std::recursive_mutex> lock(FSystem.FLock);
        if (const int refused = Refusal(TTestAudioCall::Write))
            return refused;
        if (!data && bytes > 0)
            return aeInvalidParam;
        FQueue.push_back({static_cast<const unsigned char*>(data), bytes, 0, tag});
        return aeOk;
    }

    int Pause() override { return SetPaused(TTestAudioCall::Pause, true); }

    int Restart() override { return SetPaused(TTestAudioCall::Restart, false); }

    int Reset() override
    {
        FSystem.HoldPoint(TTestAudioCall::Reset);
        std::vector<TPending> pending;
        {
            std::lock_guard<std::recursive_mutex> lock(FSystem.FLock);
            if (const int refused = Refusal(TTestAudioCall::Reset))
                return refused;
            for (const TTestPlayBuffer& q : FQueue)
                pending.push_back({FCallback, TAudioNotify::Done, q.Tag});
            FQueue.clear();
            ClearPosition();
        }
        Deliver(pending);
        return aeOk;
    }

    int GetPosition(std::int64_t& samples) override
    {
        FSystem.HoldPoint(TTestAudioCall::GetPosition);
        int step = 0;
        {
            std::lock_guard<std::recursive_mutex> lock(FSystem.FLock);
            step = FClosed ? 0 : FSystem.FAdvanceOnPosition;
        }
        if (step > 0)
            FSystem.AdvanceMs(step);  // delivers its notifications outside the lock
        return ReadPosition(samples);
    }

    int SetVolume(TAudioVolume volume) override
    {
        std::lock_guard<std::recursive_mutex> lock(FSystem.FLock);
        if (FClosed)
            return aeInvalidHandle;
        FSystem.FVolumes[static_cast<std::size_t>(FDevice)] = volume;
        return aeOk;
    }

    int GetVolume(TAudioVolume& volume) override
    {
        std::lock_guard<std::recursive_mutex> lock(FSystem.FLock);
        if (FClosed)
            return aeInvalidHandle;
        volume = FSystem.FVolumes[static_cast<std::size_t>(FDevice)];
        return aeOk;
    }

    int Close() override
    {
        FSystem.HoldPoint(TTestAudioCall::Close);
        std::vector<TPending> pending;
        {
            std::lock_guard<std::recursive_mutex> lock(FSystem.FLock);
            if (const int refused = Refusal(TTestAudioCall::Close))
                return refused;
            if (const int result = CloseWhenIdle())
                return result;
            pending.push_back({FCallback, TAudioNotify::Closed, 0});
        }
        Deliver(pending);
        return aeOk;
    }

    // Plays ms milliseconds of the queue; under the system's lock.
    void Advance(int ms, std::vector<TPending>& pending)
    {
        if (FClosed || FPaused)
            return;
        std::int64_t frames = ClockFrames(ms);
        const std::int64_t block = FFormat.BlockAlign();
        while (!FQueue.empty()) {
            TTestPlayBuffer& q = FQueue.front();
            const std::int64_t left = static_cast<std::int64_t>(q.Bytes) - q.Played;
            const std::int64_t take = std::min<std::int64_t>(left, frames * block);
            if (take > 0) {
                QByteArray chunk(reinterpret_cast<const char*>(q.Data) + q.Played, static_cast<qsizetype>(take));
                ApplyAudioVolume(chunk.data(), static_cast<std::uint32_t>(chunk.size()), FFormat,
                                 FSystem.FVolumes[static_cast<std::size_t>(FDevice)]);
                FSystem.FPlayed[static_cast<std::size_t>(FDevice)].append(chunk);
                q.Played += static_cast<std::uint32_t>(take);
                FPosition += take / block;
                frames -= take / block;
            }
            if (q.Played < q.Bytes)
                break;
            pending.push_back({FCallback, TAudioNotify::Done, q.Tag});
            FQueue.pop_front();
        }
    }

    bool Paused() const { return FPaused; }

private:
    int SetPaused(TTestAudioCall call, bool paused)
    {
        FSystem.HoldPoint(call);
        std::lock_guard<std::recursive_mutex> lock(FSystem.FLock);
        if (const int refused = Refusal(call))
            return refused;
        FPaused = paused;
        return aeOk;
    }

    TAudioCallback FCallback;
    bool FPaused = false;
};

TTestAudioSystem::TTestAudioSystem(int deviceCount) : FDeviceCount(std::max(deviceCount, 0))
{
    FPlayed.resize(static_cast<std::size_t>(FDeviceCount));
    FVolumes.resize(static_cast<std::size_t>(FDeviceCount));
}

TTestAudioSystem::~TTestAudioSystem() = default;

void TTestAudioSystem::SetDeviceCount(int count)
{
    std::lock_guard<std::recursive_mutex> lock(FLock);
    FDeviceCount = std::max(count, 0);
    if (FPlayed.size() < static_cast<std::size_t>(FDeviceCount)) {
        FPlayed.resize(static_cast<std::size_t>(FDeviceCount));
        FVolumes.resize(static_cast<std::size_t>(FDeviceCount));
    }
}

void TTestAudioSystem::SetRefuseFormats(bool refuse)
{
    std::lock_guard<std::recursive_mutex> lock(FLock);
    FRefuseFormats = refuse;
}

void TTestAudioSystem::SetFault(TTestAudioCall call, int code)
{
    std::lock_guard<std::recursive_mutex> lock(FLock);
    FFaults[static_cast<int>(call)] = code;
}

void TTestAudioSystem::ClearFaults()
{
    std::lock_guard<std::recursive_mutex> lock(FLock);
    std::fill(std::begin(FFaults), std::end(FFaults), 0);
    FRefuseFormats = false;
}

int TTestAudioSystem::Fault(TTestAudioCall call) const
{
    return FFaults[static_cast<int>(call)];
}

void TTestAudioSystem::HoldNextCall(TTestAudioCall call)
{
    std::lock_guard<std::mutex> lock(FHoldLock);
    FHoldCall = static_cast<int>(call);
    FHoldReleased = false;
}

bool TTestAudioSystem::WaitUntilHeld(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(FHoldLock);
    return FHoldChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return FHeld; });
}

void TTestAudioSystem::ReleaseHold()
{
    std::lock_guard<std::mutex> lock(FHoldLock);
    FHoldCall = -1;
    if (FHeld)
        FHoldReleased = true;
    FHoldChanged.notify_all();
}

void TTestAudioSystem::HoldPoint(TTestAudioCall call)
{
    std::unique_lock<std::mutex> lock(FHoldLock);
    if (FHoldCall != static_cast<int>(call))
        return;
    FHoldCall = -1;  // the next call only
    FHeld = true;
    FHoldChanged.notify_all();
    FHoldChanged.wait(lock, [this] { return FHoldReleased; });
    FHeld = false;
    FHoldReleased = false;
    FHoldChanged.notify_all();
}

int TTestAudioSystem::DeviceIndexOf(int deviceId, int count)
{
    if (count == 0)
        return -1;
    if (deviceId == AudioDefaultDevice)
        return 0;
    if (deviceId < 0 || deviceId >= count)
        return -1;
    return deviceId;
}

int TTestAudioSystem::DeviceIndex(int deviceId) const
{
    return DeviceIndexOf(deviceId, FDeviceCount);
}

int TTestAudioSystem::CheckDevice(int count, int index)
{
    if (count == 0)
        return aeNoDriver;
    if (index < 0)
        return aeBadDeviceId;
    return aeOk;
}

int TTestAudioSystem::CheckOpen(int count, int index, const TAudioFormat& format) const
{
    if (const int result = CheckDevice(count, index))
        return result;
    if (FRefuseFormats || !format.IsValid())
        return aeBadFormat;
    return aeOk;
}

void TTestAudioSystem::SetAdvanceOnPosition(int ms)
{
    std::lock_guard<std::recursive_mutex> lock(FLock);
    FAdvanceOnPosition = std::max(ms, 0);
}

void TTestAudioSystem::AdvanceMs(int ms)
{
    std::vector<TPending> pending;
    {
        std::lock_guard<std::recursive_mutex> lock(FLock);
        const std::vector<TStream*> streams = FStreams;
        for (TStream* s : streams)
            s->Advance(ms, pending);
        AdvanceInputs(ms);
    }
    Deliver(pending);
    DeliverInputs();
}

QByteArray TTestAudioSystem::Played(int deviceId) const
{
    std::lock_guard<std::recursive_mutex> lock(FLock);
    const int index = DeviceIndex(deviceId);
    return index < 0 ? QByteArray() : FPlayed[static_cast<std::size_t>(index)];
}

void TTestAudioSystem::ClearPlayed()
{
    std::lock_guard<std::recursive_mutex> lock(FLock);
    for (QByteArray& played : FPlayed)
        played.clear();
}

int TTestAudioSystem::OpenStreamCount() const
{
    std::lock_guard<std::recursive_mutex> lock(FLock);
    return static_cast<int>(FStreams.size());
}

int TTestAudioSystem::QueuedBuffers() const
{
    std::lock_guard<std::recursive_mutex> lock(FLock);
    return QueuedIn(FStreams);
}

bool TTestAudioSystem::AnyPaused() const
{
    std::lock_guard<std::recursive_mutex> lock(FLock);
    return std::any_of(FStreams.begin(), FStreams.end(), [](const TStream* s) { return s->Paused(); });
}

TAudioFormat TTestAudioSystem::LastFormat() const
{
    std::lock_guard<std::recursive_mutex> lock(FLock);
    return FLastFormat;
}

int TTestAudioSystem::OutputDeviceCount()
{
    std::lock_guard<std::recursive_mutex> lock(FLock);
    return FDeviceCount;
}

int TTestAudioSystem::GetOutputDeviceCaps(int deviceId, TAudioDeviceCaps& caps)
{
    std::lock_guard<std::recursive_mutex> lock(FLock);
    return DescribeDevice(FDeviceCount, DeviceIndex(deviceId), "Output", caps);
}

int TTestAudioSystem::OpenOutput(int deviceId, const TAudioFormat& format, bool queryOnly, TAudioCallback callback,
                                 std::unique_ptr<TAudioOutputStream>& stream)
{
    std::vector<TPending> pending;
    {
        std::lock_guard<std::recursive_mutex> lock(FLock);
        const int result = OpenStreamIn(
            FStreams, FDeviceCount, DeviceIndex(deviceId), format, queryOnly,
            [&](int index) { return std::make_unique<TStream>(*this, index, format, callback); }, stream, FLastFormat);
        if (result != aeOk || queryOnly)
            return result;
        pending.push_back({std::move(callback), TAudioNotify::Opened, 0});
    }
    Deliver(pending);
    return aeOk;
}

int TTestAudioSystem::GetOutputVolume(int deviceId, TAudioVolume& volume)
{
    std::lock_guard<std::recursive_mutex> lock(FLock);
    const int index = DeviceIndex(deviceId);
    if (index < 0)
        return FDeviceCount == 0 ? aeNoDriver : aeBadDeviceId;
    volume = FVolumes[static_cast<std::size_t>(index)];
    return aeOk;
}

int TTestAudioSystem::SetOutputVolume(int deviceId, TAudioVolume volume)
{
    std::lock_guard<std::recursive_mutex> lock(FLock);
    const int index = DeviceIndex(deviceId);
    if (index < 0)
        return FDeviceCount == 0 ? aeNoDriver : aeBadDeviceId;
    FVolumes[static_cast<std::size_t>(index)] = volume;
    return aeOk;
}
