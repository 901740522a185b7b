// The input side of the test audio system: input streams that record the
// bytes supplied to their device on the virtual clock.

#include "TestAudioDevice.h"
#include "TestAudioStream.h"

#include <algorithm>
#include <cstring>

// A buffer queued on an input stream.
struct TTestRecordBuffer {
    unsigned char* Data;
    std::uint32_t Bytes;
    std::uint32_t Filled;
    std::uintptr_t Tag;
};

class TTestAudioSystem::TInputStream : public TAudioInputStream,
                                       public TStreamCore<TInputStream, TAudioBufferQueue<TTestRecordBuffer>> {
    using TPendingCalls = std::vector<TTestAudioSystem::TInputNotice>;

public:
    TInputStream(TTestAudioSystem& system, int deviceIndex, const TAudioFormat& format, TAudioInputCallback callback)
        : TStreamCore(system, system.FInputStreams, deviceIndex, format), FCallback(std::move(callback))
    {
    }

    // Closes without notifications: the owner may be gone already.
    ~TInputStream() override { CloseSilently(); }

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
            ClearPosition();
            return aeOk;
        });
    }

    int GetPosition(std::int64_t& samples) override { return ReadPosition(samples); }

    int Close() override
    {
        return Call(TTestAudioCall::Close, [&]() -> int {
            if (const int result = CloseWhenIdle())
                return result;
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
        FBacklog += ClockFrames(ms);
        Fill(FSystem.FInputPending);
    }

private:
    // A call of the stream: refused once closed or while the call is set to
    // fail; otherwise body runs under the system's lock, and what it made
    // pending is delivered after it succeeded.
    template <typename F>
    int Call(TTestAudioCall call, F body)
    {
        {
            std::lock_guard<std::recursive_mutex> lock(FSystem.FLock);
            if (const int refused = Refusal(call))
                return refused;
            if (const int result = body())
                return result;
        }
        FSystem.DeliverInputs();
        return aeOk;
    }

    void Done(const TTestRecordBuffer& q, TPendingCalls& pending)
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
            TTestRecordBuffer& q = FQueue.front();
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

    TAudioInputCallback FCallback;
    bool FStarted = false;
    std::int64_t FBacklog = 0;  // frames taken in and not yet in a buffer
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
    return QueuedIn(FInputStreams);
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
        if (const int result = DescribeDevice(FInputDeviceCount, InputDeviceIndex(deviceId), "Input", caps))
            return result;
    }
    caps.Formats = QueryInputStandardFormats(*this, deviceId);
    return aeOk;
}

int TTestAudioSystem::OpenInput(int deviceId, const TAudioFormat& format, bool queryOnly, TAudioInputCallback callback,
                                std::unique_ptr<TAudioInputStream>& stream)
{
    {
        std::lock_guard<std::recursive_mutex> lock(FLock);
        const int result = OpenStreamIn(
            FInputStreams, FInputDeviceCount, InputDeviceIndex(deviceId), format, queryOnly,
            [&](int index) { return std::make_unique<TInputStream>(*this, index, format, callback); }, stream,
            FLastInputFormat);
        if (result != aeOk || queryOnly)
            return result;
        if (callback)
            FInputPending.push_back({std::move(callback), TAudioNotify::Opened, 0, 0});
    }
    DeliverInputs();
    return aeOk;
}
