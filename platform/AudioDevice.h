#pragma once

// The audio device layer: what the wave audio components need of the system's
// sound output. A device is opened for one PCM format; the caller hands it
// buffers, which it plays in the order given and hands back one by one
// ("done") through the callback given at open, in the same order. Every call
// answers with a result code (aeOk on success); AudioErrorText turns a code
// into the driver's text.
//
// Two back ends stand behind the one interface: the real one over Qt
// Multimedia (QtAudioDevice.h; in the multimedia module, loaded when the real
// system is first made) and a test device on a virtual clock
// (TestAudioDevice.h). AudioSystem() is the one in use; tests put another in
// place with SetAudioSystem.

#include <QtCore/QString>

#include <cstdint>
#include <functional>
#include <memory>

// Result codes of the device layer.
enum : int {
    aeOk = 0,
    aeError = 1,           // unspecified failure
    aeBadDeviceId = 2,     // the device number is out of range
    aeNotEnabled = 3,      // the driver failed to enable
    aeAllocated = 4,       // the device is in use
    aeInvalidHandle = 5,   // the stream is closed
    aeNoDriver = 6,        // no driver is installed
    aeNoMem = 7,           // out of memory
    aeNotSupported = 8,    // the operation is not supported
    aeInvalidParam = 11,   // a parameter is invalid
    aeBadFormat = 32,      // the format is not supported
    aeStillPlaying = 33,   // buffers are still queued
};

// The device number of the system's default device.
constexpr int AudioDefaultDevice = -1;

// The text of a result code; empty when the layer has no text for it.
QString AudioErrorText(int code);

// A PCM format: 8-bit unsigned or 16-bit signed little-endian samples,
// channels interleaved.
struct TAudioFormat {
    std::uint16_t Channels = 2;
    std::uint32_t SampleRate = 44100;
    std::uint16_t BitsPerSample = 16;

    // Bytes of one sample frame (one value for every channel).
    int BlockAlign() const { return Channels * (BitsPerSample / 8); }
    // Only the layouts the layer can play: 8 or 16 bits, at least one channel,
    // a sample rate above 0.
    bool IsValid() const;
};

struct TAudioDeviceCaps {
    QString Name;                   // the device's name
    std::uint32_t DriverVersion = 0;  // major version in the high byte, minor in the low
};

// A volume as the devices keep it: left and right, 0 (silent) .. 0xFFFF (full).
struct TAudioVolume {
    std::uint16_t Left = 0xFFFF;
    std::uint16_t Right = 0xFFFF;
};

// What an open output stream reports through its callback.
enum class TAudioNotify {
    Opened,  // during OpenOutput, before it returns
    Closed,  // during Close
    Done,    // a buffer came back (played, or returned by Reset); tag as given to Write
};

// The callback of an open stream. It runs on the stream's own thread (the
// real back end), or on the thread that drives the virtual clock or calls
// Reset/Close. It must only take note and return: it may not call the stream.
using TAudioCallback = std::function<void(TAudioNotify notify, std::uintptr_t tag)>;

// The input side (AudioInput.h): recording streams report like output
// streams, a Done buffer with the bytes recorded into it.
struct TAudioInputCaps;
class TAudioInputStream;
using TAudioInputCallback =
    std::function<void(TAudioNotify notify, std::uintptr_t tag, std::uint32_t bytesRecorded)>;

// One open output stream. Created playing (not paused): buffers written play
// at once. All calls may come from any thread.
class TAudioOutputStream {
public:
    virtual ~TAudioOutputStream() = default;

    // Queues bytes (whole sample frames) behind the buffers already queued.
    // The stream reads them until the buffer is done: the memory must stay
    // valid and unchanged until the Done notification with the same tag.
    virtual int Write(const void* data, std::uint32_t bytes, std::uintptr_t tag) = 0;
    // Holds playback; queued buffers stay queued and the position stands.
    virtual int Pause() = 0;
    // Continues after Pause.
    virtual int Restart() = 0;
    // Stops at once: every queued buffer comes back done, in order, before
    // Reset returns; the position returns to 0. The pause state is kept.
    virtual int Reset() = 0;
    // Sample frames played since the open or the last Reset.
    virtual int GetPosition(std::int64_t& samples) = 0;
    // Volume of the stream's device (kept for the device, also for later streams).
    virtual int SetVolume(TAudioVolume volume) = 0;
    virtual int GetVolume(TAudioVolume& volume) = 0;
    // Closes the stream (Closed notification); aeStillPlaying while buffers
    // are queued. Any later call gives aeInvalidHandle.
    virtual int Close() = 0;
};

// A set of output devices, numbered 0 .. count - 1.
class TAudioSystem {
public:
    virtual ~TAudioSystem() = default;

    virtual int OutputDeviceCount() = 0;
    // Device id AudioDefaultDevice stands for the system's default device.
    virtual int GetOutputDeviceCaps(int deviceId, TAudioDeviceCaps& caps) = 0;
    // Opens a stream; with queryOnly only tells whether the device would take
    // the format (no stream, no notification).
    virtual int OpenOutput(int deviceId, const TAudioFormat& format, bool queryOnly, TAudioCallback callback,
                           std::unique_ptr<TAudioOutputStream>& stream) = 0;
    virtual int GetOutputVolume(int deviceId, TAudioVolume& volume) = 0;
    virtual int SetOutputVolume(int deviceId, TAudioVolume volume) = 0;
    virtual QString ErrorText(int code) { return AudioErrorText(code); }

    // Input devices, numbered 0 .. count - 1 (AudioInput.h). A system
    // without recording keeps these: no input device.
    virtual int InputDeviceCount();
    virtual int GetInputDeviceCaps(int deviceId, TAudioInputCaps& caps);
    virtual int OpenInput(int deviceId, const TAudioFormat& format, bool queryOnly, TAudioInputCallback callback,
                          std::unique_ptr<TAudioInputStream>& stream);
};

// The audio system in use: the one set with SetAudioSystem, else the real one
// (created at first use; without the multimedia module, a system without
// devices whose ErrorText(aeNoDriver) says why). After the audio system guard
// has ended, the real one is gone and its place is taken by a system without
// devices.
TAudioSystem& AudioSystem();
// Puts another audio system in place (tests); nullptr returns to the real
// one. The caller keeps ownership and keeps it alive while it is in place.
void SetAudioSystem(TAudioSystem* system);

// Every main declares one right after its application object. When it goes
// (before the application object), every output stream of the real audio
// system that is still open is closed without notifications and its thread
// joined, and the real system is destroyed: nothing of the sound server's
// client is left running while the application object and the process end.
// A stream closed this way answers aeInvalidHandle from then on; its owner
// still deletes it as usual.
class TAudioSystemGuard {
public:
    TAudioSystemGuard();
    ~TAudioSystemGuard();
    TAudioSystemGuard(const TAudioSystemGuard&) = delete;
    TAudioSystemGuard& operator=(const TAudioSystemGuard&) = delete;
};

// Scales 8-bit unsigned or 16-bit signed interleaved PCM in place by a
// left/right volume (the first channel is left, the second right, any further
// channel takes the left value). Full volume leaves the bytes as they are.
void ApplyAudioVolume(void* data, std::uint32_t bytes, const TAudioFormat& format, TAudioVolume volume);
