// The input side of the test audio system: input streams that record the
// bytes supplied to their device on the virtual clock.

#include "TestAudioDevice.h"

#include <algorithm>
#include <cstring>


class TTestAudioSystem::TInputStream : public TAudioInputStream {
    using TPendingCalls = std::vector<TTestAudioSystem::TInputNotice>;

public:
    TInputStream(TTestAudioSystem& system, int deviceIndex, const TAudioFormat& format, TAudioInputCallback callback)
        : FSystem(system), FDevice(deviceIndex), FFormat(format), FCallback(std::move(callback))
    {
    }

    // Closes without notifications: the owner may be gone already.
    ~TInputStream() override
    {
        std::lock_guard<std::recursive_mutex> lock(FSystem.FLock);
        if (!FClosed) {
            FQueue.clear();
            FClosed = true;
            Unregister();
        }
    }

    int AddBuffer(void* data, std::uint32_t bytes, std::uintptr_t tag) override
    {
        return Call(TTestAudioCall::AddBuffer, [&]() -> int {
            if (!data || bytes < static_cast<std::uint32_t>(FFormat.BlockAlign()))
                return aeInvalidParam;
            FQueue.push_back({static_cast<unsigned char*>(data), bytes, 0, tag});
            Fill(FSystem.FInputPending);
            return aeOk;
        });
    }

    int Start() override
    {
        return Call(TTestAudioCall::Start, [&]() -> int {
            FStarted = true;
            Fill(FSystem.FInputPending);
            return aeOk;
        });
    }

    int Stop() override
    {
        return Call(TTestAudioCall::Stop, [&]() -> int {
            FStarted = false;
            // Frames the device took in while no buffer was free are dropped;
            // the source goes on where the last buffer ended.
            FBacklog = 0;
            if (!FQueue.empty() && FQueue.front().Filled > 0) {
                Done(FQueue.front(), FSystem.FInputPending);
                FQueue.pop_front();
            }
            return aeOk;
        });
    }

    int Reset() override
    {
        return Call(TTestAudioCall::Reset, [&]() -> int {
            FStarted = false;
            FBacklog = 0;
            for (std::size_t i = 0; i < FQueue.size(); ++i)
                Done(FQueue[i], FSystem.FInputPending);
            FQueue.clear();
            FPosition = 0;
            FClockRemainder = 0;
            return aeOk;
        });
    }

    int GetPosition(std::int64_t& samples) override
    {
        std::lock_guard<std::recursive_mutex> lock(FSystem.FLock);
        if (FClosed)
            return aeInvalidHandle;
        if (const int fault = FSystem.Fault(TTestAudioCall::GetPosition))
            return fault;
        samples = FPosition;
        return aeOk;
    }

    int Close() override
    {
        return Call(TTestAudioCall::Close, [&]() -> int {
            if (!FQueue.empty())
                return aeStillPlaying;
            FClosed = true;
            Unregister();
            if (FCallback)
                FSystem.FInputPending.push_back({FCallback, TAudioNotify::Closed, 0, 0});
            return aeOk;
        });
    }

    // Records ms milliseconds; under the system's lock.
    void Advance(int ms)
    {
        if (FClosed || !FStarted)
            return;
        const std::int64_t scaled = static_cast<std::int64_t>(ms) * FFormat.SampleRate + FClockRemainder;
        FBacklog += scaled / 1000;
        FClockRemainder = scaled % 1000;
        Fill(FSystem.FInputPending);
    }

    int QueuedCount() const { return static_cast<int>(FQueue.size()); }

private:
    struct TQueued {
        unsigned char* Data;
        std::uint32_t Bytes;
        std::uint32_t Filled;
        std::uintptr_t Tag;
    };

    // A call of the stream: refused once closed or while the call is set to
    // fail; otherwise body runs under the system's lock, and what it made
    // pending is delivered after it succeeded.
    template <typename F>
    int Call(TTestAudioCall call, F body)
    {
        {
            std::lock_guard<std::recursive_mutex> lock(FSystem.FLock);
            if (FClosed)
                return aeInvalidHandle;
            if (const int fault = FSystem.Fault(call))
                return fault;
            if (const int result = body())
                return result;
        }
        FSystem.DeliverInputs();
        return aeOk;
    }

    void Done(const TQueued& q, TPendingCalls& pending)
    {
        if (FCallback)
            pending.push_back({FCallback, TAudioNotify::Done, q.Tag, q.Filled});
    }

    // Moves the frames taken in so far into the queued buffers; under the
    // system's lock.
    void Fill(TPendingCalls& pending)
    {
        if (!FStarted)
            return;
        const std::int64_t block = FFormat.BlockAlign();
        while (FBacklog > 0 && !FQueue.empty()) {
            TQueued& q = FQueue.front();
            const std::int64_t room = (static_cast<std::int64_t>(q.Bytes) - q.Filled) / block;
            const std::int64_t frames = std::min(room, FBacklog);
            if (frames > 0) {
                FSystem.TakeInput(FDevice, q.Data + q.Filled, static_cast<qsizetype>(frames * block), FFormat);
                q.Filled += static_cast<std::uint32_t>(frames * block);
                FPosition += frames;
                FBacklog -= frames;
            }
            if (static_cast<std::int64_t>(q.Bytes) - q.Filled < block) {
                Done(q, pending);
                FQueue.pop_front();
            }
        }
    }

    void Unregister()
    {
        auto& list = FSystem.FInputStreams;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }

    TTestAudioSystem& FSystem;
    int FDevice;
    TAudioFormat FFormat;
    TAudioInputCallback FCallback;
    TAudioBufferQueue<TQueued> FQueue;
    bool FStarted = false;
    bool FClosed = false;
    std::int64_t FPosition = 0;
    std::int64_t FBacklog = 0;  // frames taken in and not yet in a buffer
    std::int64_t FClockRemainder = 0;
};

void TTestAudioSystem::SetInputDeviceCount(int count)
{
    std::lock_guard<std::recursive_mutex> lock(FLock);
    FInputDeviceCount = std::max(count, 0);
}

void TTestAudioSystem::SupplyInput(int deviceId, const QByteArray& bytes)
{
    std::lock_guard<std::recursive_mutex> lock(FLock);
    const int index = deviceId == AudioDefaultDevice ? 0 : deviceId;
    if (index < 0)
        return;
    const auto i = static_cast<std::size_t>(index);
    if (FSupplied.size() <= i) {
        FSupplied.resize(i + 1);
        FSuppliedTaken.resize(i + 1, 0);
    }
    FSupplied[i].append(bytes);
}

void TTestAudioSystem::TakeInput(int deviceIndex, unsigned char* to, qsizetype bytes, const TAudioFormat& format)
{
    qsizetype taken = 0;
    const auto i = static_cast<std::size_t>(deviceIndex);
    if (i < FSupplied.size()) {
        taken = std::min(FSupplied[i].size() - FSuppliedTaken[i], bytes);
        if (taken > 0) {
            std::memcpy(to, FSupplied[i].constData() + FSuppliedTaken[i], static_cast<std::size_t>(taken));
            FSuppliedTaken[i] += taken;
        }
    }
    if (taken < bytes)
        std::memset(to + taken, format.BitsPerSample == 8 ? 0x80 : 0, static_cast<std::size_t>(bytes - taken));
}

void TTestAudioSystem::AdvanceInputs(int ms)
{
    const std::vector<TInputStream*> streams = FInputStreams;
    for (TInputStream* s : streams)
        s->Advance(ms);
}

void TTestAudioSystem::DeliverInputs()
{
    std::lock_guard<std::recursive_mutex> delivering(FDeliverLock);
    for (;;) {
        TInputNotice notice;
        {
            std::lock_guard<std::recursive_mutex> lock(FLock);
            if (FInputNext >= FInputPending.size()) {
                FInputPending.clear();  // keeps its storage
                FInputNext = 0;
                return;
            }
            notice = FInputPending[FInputNext++];
        }
        notice.Callback(notice.Notify, notice.Tag, notice.Bytes);
    }
}

int TTestAudioSystem::OpenInputStreamCount() const
{
    std::lock_guard<std::recursive_mutex> lock(FLock);
    return static_cast<int>(FInputStreams.size());
}

int TTestAudioSystem::QueuedInputBuffers() const
{
    std::lock_guard<std::recursive_mutex> lock(FLock);
    int count = 0;
    for (const TInputStream* s : FInputStreams)
        count += s->QueuedCount();
    return count;
}

TAudioFormat TTestAudioSystem::LastInputFormat() const
{
    std::lock_guard<std::recursive_mutex> lock(FLock);
    return FLastInputFormat;
}

int TTestAudioSystem::InputDeviceIndex(int deviceId) const
{
    return DeviceIndexOf(deviceId, FInputDeviceCount);
}

int TTestAudioSystem::InputDeviceCount()
{
    std::lock_guard<std::recursive_mutex> lock(FLock);
    return FInputDeviceCount;
}

int TTestAudioSystem::GetInputDeviceCaps(int deviceId, TAudioInputCaps& caps)
{
    {
        std::lock_guard<std::recursive_mutex> lock(FLock);
        const int index = InputDeviceIndex(deviceId);
        if (const int result = CheckDevice(FInputDeviceCount, index))
            return result;
        caps.Name = QStringLiteral("Test Input %1").arg(index);
        caps.DriverVersion = 0x0100;
    }
    caps.Formats = QueryInputStandardFormats(*this, deviceId);
    return aeOk;
}

int TTestAudioSystem::OpenInput(int deviceId, const TAudioFormat& format, bool queryOnly, TAudioInputCallback callback,
                                std::unique_ptr<TAudioInputStream>& stream)
{
    {
        std::lock_guard<std::recursive_mutex> lock(FLock);
        const int index = InputDeviceIndex(deviceId);
        if (const int result = CheckOpen(FInputDeviceCount, index, format))
            return result;
        if (queryOnly)
            return aeOk;
        if (const int fault = Fault(TTestAudioCall::Open))
            return fault;
        auto s = std::make_unique<TInputStream>(*this, index, format, callback);
        FInputStreams.push_back(s.get());
        FLastInputFormat = format;
        stream = std::move(s);
        if (callback)
            FInputPending.push_back({std::move(callback), TAudioNotify::Opened, 0, 0});
    }
    DeliverInputs();
    return aeOk;
}
