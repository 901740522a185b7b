#pragma once

// The input side of the audio device layer: what the wave-in device needs of
// the system's sound input. A stream is opened for one PCM format and is
// created stopped. The caller queues buffers; once started, the stream fills
// them in the order given and hands each one back ("done", with the bytes
// recorded into it) through the callback given at open. Every call answers
// with a result code of AudioDevice.h.

#include "AudioDevice.h"

#include <QtCore/QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Capability bits of the standard formats: the rate class (11.025, 22.05 and
// 44.1 kHz), mono or stereo, 8 or 16 bits.
enum : std::uint32_t {
    AudioFormat1M08 = 0x001,
    AudioFormat1S08 = 0x002,
    AudioFormat1M16 = 0x004,
    AudioFormat1S16 = 0x008,
    AudioFormat2M08 = 0x010,
    AudioFormat2S08 = 0x020,
    AudioFormat2M16 = 0x040,
    AudioFormat2S16 = 0x080,
    AudioFormat4M08 = 0x100,
    AudioFormat4S08 = 0x200,
    AudioFormat4M16 = 0x400,
    AudioFormat4S16 = 0x800,
};

// The capability bit that covers a format: rates 8000 .. 11025 fall in the
// 11.025 kHz class, up to 22050 in the 22.05 kHz class, up to 48000 in the
// 44.1 kHz class. 0 for any other rate, channel count or sample size.
std::uint32_t AudioStandardFormatBit(const TAudioFormat& format);

// The capability bits of an input device, found by asking the system whether
// the device takes each standard format.
std::uint32_t QueryInputStandardFormats(TAudioSystem& system, int deviceId);

struct TAudioInputCaps {
    QString Name;                     // the device's name
    std::uint32_t DriverVersion = 0;  // major version in the high byte, minor in the low
    std::uint32_t Formats = 0;        // capability bits of the standard formats
};

// One open input stream. All calls may come from any thread; the callback
// must only take note and return (it may not call the stream).
class TAudioInputStream {
public:
    virtual ~TAudioInputStream() = default;

    // Queues an empty buffer behind those already queued. The stream writes
    // into it until it comes back done: the memory must stay valid until the
    // Done notification with the same tag.
    virtual int AddBuffer(void* data, std::uint32_t bytes, std::uintptr_t tag) = 0;
    // Starts (or continues) recording into the queued buffers.
    virtual int Start() = 0;
    // Stops recording: the buffer being filled comes back done with what it
    // holds; empty buffers stay queued. The position stands.
    virtual int Stop() = 0;
    // Stops recording and hands every queued buffer back done, in order,
    // before it returns; the position returns to 0.
    virtual int Reset() = 0;
    // Sample frames recorded since the open or the last Reset.
    virtual int GetPosition(std::int64_t& samples) = 0;
    // Closes the stream (Closed notification); aeStillPlaying while buffers
    // are queued. Any later call gives aeInvalidHandle.
    virtual int Close() = 0;
};

// The buffers a stream holds, first in first out, in storage that is reused:
// once it has grown to the ring's size, queueing and handing buffers back
// allocate nothing.
template <typename T>
class TAudioBufferQueue {
public:
    bool empty() const { return FCount == 0; }
    std::size_t size() const { return FCount; }
    // i counts from the front.
    T& operator[](std::size_t i) { return FItems[(FHead + i) % FItems.size()]; }
    T& front() { return FItems[FHead]; }
    void push_back(const T& item)
    {
        if (FCount == FItems.size()) {
            // Full: unrolled into larger storage, the front first.
            std::vector<T> grown;
            grown.reserve(FItems.size() * 2 + 8);
            for (std::size_t i = 0; i < FCount; ++i)
                grown.push_back((*this)[i]);
            grown.resize(grown.capacity());
            FItems.swap(grown);
            FHead = 0;
        }
        FItems[(FHead + FCount) % FItems.size()] = item;
        ++FCount;
    }
    void pop_front()
    {
        FHead = (FHead + 1) % FItems.size();
        --FCount;
    }
    void clear()
    {
        FHead = 0;
        FCount = 0;
    }

private:
    std::vector<T> FItems;
    std::size_t FHead = 0;
    std::size_t FCount = 0;
};
