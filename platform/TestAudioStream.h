#pragma once

// What the test audio system's output and input streams share: their
// device, format and virtual clock, their queue of buffers, the position,
// the closed flag and their place in the system's list, and the refusal of
// a call once closed or while it is set to fail. Used by TestAudioDevice.cpp
// and TestAudioInput.cpp only.

#include "TestAudioDevice.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

template <typename TSelf, typename TQueue>
class TTestAudioSystem::TStreamCore {
public:
    TStreamCore(TTestAudioSystem& system, std::vector<TSelf*>& list, int deviceIndex, const TAudioFormat& format)
        : FSystem(system), FDevice(deviceIndex), FFormat(format), FList(list)
    {
    }
    TStreamCore(const TStreamCore&) = delete;
    TStreamCore& operator=(const TStreamCore&) = delete;

    int QueuedCount() const { return static_cast<int>(FQueue.size()); }

protected:
    ~TStreamCore() = default;

    // Closes without notifications (the owner's deletion: the owner may be
    // gone already).
    void CloseSilently()
    {
        std::lock_guard<std::recursive_mutex> lock(FSystem.FLock);
        if (!FClosed) {
            FQueue.clear();
            FClosed = true;
            Unregister();
        }
    }
    // Under the system's lock: aeInvalidHandle once closed, the fault set
    // for the call, else aeOk.
    int Refusal(TTestAudioCall call) const
    {
        if (FClosed)
            return aeInvalidHandle;
        return FSystem.Fault(call);
    }
    // The frames played or recorded since the open or the last reset.
    int ReadPosition(std::int64_t& samples) const
    {
        std::lock_guard<std::recursive_mutex> lock(FSystem.FLock);
        if (const int result = Refusal(TTestAudioCall::GetPosition))
            return result;
        samples = FPosition;
        return aeOk;
    }
    // Under the system's lock: closes unless buffers are still queued
    // (aeStillPlaying).
    int CloseWhenIdle()
    {
        if (!FQueue.empty())
            return aeStillPlaying;
        FClosed = true;
        Unregister();
        return aeOk;
    }
    // The sample frames the clock grants for ms, keeping the fraction for
    // the next step.
    std::int64_t ClockFrames(int ms)
    {
        const std::int64_t scaled = static_cast<std::int64_t>(ms) * FFormat.SampleRate + FClockRemainder;
        FClockRemainder = scaled % 1000;
        return scaled / 1000;
    }
    // Under the system's lock: position and clock back to 0.
    void ClearPosition()
    {
        FPosition = 0;
        FClockRemainder = 0;
    }

    TTestAudioSystem& FSystem;
    TQueue FQueue;
    bool FClosed = false;
    std::int64_t FPosition = 0;
    const int FDevice;
    const TAudioFormat FFormat;

private:
    void Unregister()
    {
        auto* self = static_cast<TSelf*>(this);
        FList.erase(std::remove(FList.begin(), FList.end(), self), FList.end());
    }

    std::vector<TSelf*>& FList;
    std::int64_t FClockRemainder = 0;
};

// Under the system's lock: the stream of a device of count (index among
// them) for format, made by make(index) and entered into list; last takes
// the format. The device's, the format's and the open's refusals come first;
// a query only answers.
template <typename TSelf, typename TStreamBase, typename F>
int TTestAudioSystem::OpenStreamIn(std::vector<TSelf*>& list, int count, int index, const TAudioFormat& format,
                                   bool queryOnly, F make, std::unique_ptr<TStreamBase>& stream, TAudioFormat& last)
{
    if (const int result = CheckOpen(count, index, format))
        return result;
    if (queryOnly)
        return aeOk;
    if (const int fault = Fault(TTestAudioCall::Open))
        return fault;
    std::unique_ptr<TSelf> s = make(index);
    list.push_back(s.get());
    last = format;
    stream = std::move(s);
    return aeOk;
}

// Under the system's lock: the buffers queued over the streams of list.
template <typename TSelf>
int TTestAudioSystem::QueuedIn(const std::vector<TSelf*>& list)
{
    int count = 0;
    for (const TSelf* s : list)
        count += s->QueuedCount();
    return count;
}

// Under the system's lock: the name and version of a device of count
// ("Test Output 0", "Test Input 1").
template <typename TCaps>
int TTestAudioSystem::DescribeDevice(int count, int index, const char* kind, TCaps& caps)
{
    if (const int result = CheckDevice(count, index))
        return result;
    caps.Name = QStringLiteral("Test %1 %2").arg(QLatin1String(kind)).arg(index);
    caps.DriverVersion = 0x0100;
    return aeOk;
}
