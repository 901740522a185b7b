#pragma once

// The playback ring of TDXAudioOut over the audio device layer: one device
// stream and one ring buffer of a fixed size. Data written goes into the ring
// and is queued on the device in chunks; the ring space of a chunk becomes
// free again when the device has played it, so the writer can never overrun
// what is still to be heard. Underruns (the device ran dry while playing) are
// counted from the device's notifications.

#include "AudioDevice.h"

#include <QtCore/QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

struct TDSSharedState {
    std::atomic<std::uint32_t> Queued{0};      // bytes queued on the device, not yet played
    std::atomic<std::uint32_t> Underflows{0};  // underruns counted while playing
    std::atomic<bool> Playing{false};
    std::atomic<bool> Draining{false};         // the input ended: running dry is no underrun
};

struct DSoundWrapper {
    int DeviceId = 0;
    std::unique_ptr<TAudioOutputStream> Stream;
    std::vector<std::uint8_t> Ring;
    std::uint32_t WritePos = 0;
    std::uint32_t BufferSize = 0;
    std::uint32_t BytesPerFrame = 0;
    std::uint32_t ChunkBytes = 0;  // largest piece queued at once
    std::shared_ptr<TDSSharedState> State;
};

struct TDSDevice {
    int Id = 0;
    QString Description;  // at most 127 characters
};

struct TDSDeviceList {
    std::uint32_t Count = 0;
    TDSDevice Items[16];
};

void DSClear(DSoundWrapper& ds);
// Takes the device; aeBadDeviceId when it does not exist.
int DSCreate(DSoundWrapper& ds, int deviceId);
// Opens the stream for the format with a ring of bytes (held, not playing).
int DSInitOutput(DSoundWrapper& ds, const TAudioFormat& format, std::uint32_t bytes);
void DSStart(DSoundWrapper& ds);
void DSStop(DSoundWrapper& ds);
void DSRestart(DSoundWrapper& ds);
// Bytes that may be written now.
std::uint32_t DSGetFree(DSoundWrapper& ds);
// Bytes written and not yet played.
std::uint32_t DSQueued(const DSoundWrapper& ds);
// Sample frames the device has played; -1 when it cannot tell.
std::int64_t DSPlayedFrames(const DSoundWrapper& ds);
// Writes up to maxBytes of the value (at most the free space).
void DSFillSilence(DSoundWrapper& ds, std::uint8_t value, std::uint32_t maxBytes);
// Writes data (at most the free space is taken); returns the bytes taken.
std::uint32_t DSWrite(DSoundWrapper& ds, const void* data, std::uint32_t bytes);
void DSRelease(DSoundWrapper& ds);
void DSEnumerate(TDSDeviceList& list);
