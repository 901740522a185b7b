#include "DSWrapper.h"

#include <algorithm>
#include <cstring>

void DSClear(DSoundWrapper& ds)
{
    DSRelease(ds);
    ds = DSoundWrapper();
}

int DSCreate(DSoundWrapper& ds, int deviceId)
{
    if (deviceId < 0 || deviceId >= AudioSystem().OutputDeviceCount())
        return aeBadDeviceId;
    ds.DeviceId = deviceId;
    return aeOk;
}

int DSInitOutput(DSoundWrapper& ds, const TAudioFormat& format, std::uint32_t bytes)
{
    ds.BytesPerFrame = std::uint32_t(format.BlockAlign());
    if (ds.BytesPerFrame == 0 || bytes < ds.BytesPerFrame)
        return aeInvalidParam;
    ds.BufferSize = bytes - bytes % ds.BytesPerFrame;
    ds.Ring.assign(ds.BufferSize, 0);
    ds.WritePos = 0;
    // Pieces of an eighth of the ring: room comes back while the ring plays.
    ds.ChunkBytes = std::max(ds.BytesPerFrame, ds.BufferSize / 8 - (ds.BufferSize / 8) % ds.BytesPerFrame);
    auto state = std::make_shared<TDSSharedState>();
    ds.State = state;
    TAudioCallback callback = [state](TAudioNotify notify, std::uintptr_t tag) {
        if (notify != TAudioNotify::Done)
            return;
        const std::uint32_t left = state->Queued.fetch_sub(std::uint32_t(tag)) - std::uint32_t(tag);
        if (left == 0 && state->Playing && !state->Draining)
            ++state->Underflows;
    };
    const int r = AudioSystem().OpenOutput(ds.DeviceId, format, false, callback, ds.Stream);
    if (r != aeOk) {
        ds.Stream.reset();
        return r;
    }
    // Held until DSStart.
    return ds.Stream->Pause();
}

void DSStart(DSoundWrapper& ds)
{
    if (!ds.Stream)
        return;
    ds.State->Playing = true;
    ds.Stream->Restart();
}

void DSStop(DSoundWrapper& ds)
{
    if (!ds.Stream)
        return;
    ds.State->Playing = false;
    ds.Stream->Pause();
}

void DSRestart(DSoundWrapper& ds)
{
    DSStart(ds);
}

std::uint32_t DSQueued(const DSoundWrapper& ds)
{
    return ds.State ? ds.State->Queued.load() : 0;
}

std::int64_t DSPlayedFrames(const DSoundWrapper& ds)
{
    std::int64_t frames = 0;
    if (!ds.Stream || ds.Stream->GetPosition(frames) != aeOk)
        return -1;
    return frames;
}

std::uint32_t DSGetFree(DSoundWrapper& ds)
{
    if (!ds.Stream)
        return 0;
    const std::uint32_t queued = ds.State->Queued;
    return queued >= ds.BufferSize ? 0 : ds.BufferSize - queued;
}

namespace {

// Queues a contiguous region of the ring in pieces.
bool QueueRegion(DSoundWrapper& ds, std::uint32_t at, std::uint32_t bytes)
{
    while (bytes > 0) {
        const std::uint32_t n = std::min(bytes, ds.ChunkBytes);
        ds.State->Queued += n;
        if (ds.Stream->Write(ds.Ring.data() + at, n, n) != aeOk) {
            ds.State->Queued -= n;
            return false;
        }
        at += n;
        bytes -= n;
    }
    return true;
}

std::uint32_t Put(DSoundWrapper& ds, const std::uint8_t* data, std::uint8_t fill, std::uint32_t bytes)
{
    if (!ds.Stream)
        return 0;
    bytes = std::min(bytes, DSGetFree(ds));
    bytes -= bytes % ds.BytesPerFrame;
    std::uint32_t done = 0;
    while (done < bytes) {
        const std::uint32_t at = ds.WritePos;
        const std::uint32_t n = std::min(bytes - done, ds.BufferSize - at);
        if (data)
            std::memcpy(ds.Ring.data() + at, data + done, n);
        else
            std::memset(ds.Ring.data() + at, fill, n);
        if (!QueueRegion(ds, at, n))
            break;
        ds.WritePos = (at + n) % ds.BufferSize;
        done += n;
    }
    return done;
}

}  // namespace

void DSFillSilence(DSoundWrapper& ds, std::uint8_t value, std::uint32_t maxBytes)
{
    Put(ds, nullptr, value, maxBytes);
}

std::uint32_t DSWrite(DSoundWrapper& ds, const void* data, std::uint32_t bytes)
{
    return Put(ds, static_cast<const std::uint8_t*>(data), 0, bytes);
}

void DSRelease(DSoundWrapper& ds)
{
    if (!ds.Stream)
        return;
    ds.State->Playing = false;
    ds.Stream->Reset();
    ds.Stream->Close();
    ds.Stream.reset();
}

void DSEnumerate(TDSDeviceList& list)
{
    list.Count = 0;
    const int count = AudioSystem().OutputDeviceCount();
    for (int i = 0; i < count && list.Count < 16; ++i) {
        TAudioDeviceCaps caps;
        AudioSystem().GetOutputDeviceCaps(i, caps);
        list.Items[list.Count].Id = i;
        list.Items[list.Count].Description = caps.Name.left(127);
        ++list.Count;
    }
}
