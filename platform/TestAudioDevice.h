#pragma once

// A test audio system: output devices that play on a virtual clock. Nothing
// is heard; a test advances the clock by hand, and every byte a device played
// is recorded. Each call can be told to fail with a result code of its own.
// Its input devices (TestAudioInput.cpp) record, on the same clock, the bytes
// the test supplied, then silence.
//
// Notifications run on the thread that causes them: Opened in OpenOutput,
// Done in AdvanceMs and Reset, Closed in Close. Every call may come from any
// thread. The system must outlive the streams it opened.

#include "AudioDevice.h"
#include "AudioInput.h"

#include <QtCore/QByteArray>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

// The calls a fault can be set for.
// Open, Reset, GetPosition and Close serve both sides; AddBuffer, Start and
// Stop are the input streams' own.
enum class TTestAudioCall { Open, Write, Pause, Restart, Reset, GetPosition, Close, AddBuffer, Start, Stop };

class TTestAudioSystem : public TAudioSystem {
public:
    explicit TTestAudioSystem(int deviceCount = 2);
    ~TTestAudioSystem() override;
    TTestAudioSystem(const TTestAudioSystem&) = delete;
    TTestAudioSystem& operator=(const TTestAudioSystem&) = delete;

    // Set-up.
    void SetDeviceCount(int count);  // 0: no device at all
    void SetRefuseFormats(bool refuse);  // every format refused, also in a query: aeBadFormat
    void SetFault(TTestAudioCall call, int code);  // the call answers code from now on; aeOk clears it
    void ClearFaults();
    // Holds the next call of the kind on an output stream: the thread that
    // makes it waits inside the call, outside the system's lock, until
    // ReleaseHold (a stream that never comes back, as a hung driver does).
    // WaitUntilHeld returns true once a thread waits there, false when none
    // came within timeoutMs. ReleaseHold also drops a hold not yet reached.
    void HoldNextCall(TTestAudioCall call);
    bool WaitUntilHeld(int timeoutMs = 30000);
    void ReleaseHold();

    // The virtual clock: every open stream that is not paused plays ms
    // milliseconds' worth of sample frames of its queue (less when the queue
    // runs dry); each buffer played to its end comes back done.
    void AdvanceMs(int ms);
    // With ms above 0, every GetPosition of a stream first advances the clock
    // by ms (as AdvanceMs): a component that polls the position drives the
    // clock itself, however slowly the machine lets the test's thread run.
    // 0 (the default) leaves the clock to AdvanceMs alone.
    void SetAdvanceOnPosition(int ms);

    // Observation.
    QByteArray Played(int deviceId) const;  // bytes played on the device, in order, volume applied
    void ClearPlayed();
    int OpenStreamCount() const;
    int QueuedBuffers() const;  // over all open streams
    bool AnyPaused() const;     // whether an open stream is paused
    TAudioFormat LastFormat() const;  // format of the last stream opened

    // The input side. Input devices record what was supplied to them, in
    // order, then silence (0x80 for 8-bit samples, else 0). A started stream
    // records ms milliseconds' worth of frames at every AdvanceMs; frames for
    // which no buffer is queued wait in the device until one is queued.
    void SetInputDeviceCount(int count);  // 0: no input device
    void SupplyInput(int deviceId, const QByteArray& bytes);
    int OpenInputStreamCount() const;
    int QueuedInputBuffers() const;  // over all open input streams
    TAudioFormat LastInputFormat() const;

    // TAudioSystem
    int OutputDeviceCount() override;
    int GetOutputDeviceCaps(int deviceId, TAudioDeviceCaps& caps) override;
    int OpenOutput(int deviceId, const TAudioFormat& format, bool queryOnly, TAudioCallback callback,
                   std::unique_ptr<TAudioOutputStream>& stream) override;
    int GetOutputVolume(int deviceId, TAudioVolume& volume) override;
    int SetOutputVolume(int deviceId, TAudioVolume volume) override;
    int InputDeviceCount() override;
    int GetInputDeviceCaps(int deviceId, TAudioInputCaps& caps) override;
    int OpenInput(int deviceId, const TAudioFormat& format, bool queryOnly, TAudioInputCallback callback,
                  std::unique_ptr<TAudioInputStream>& stream) override;

private:
    template <typename TSelf, typename TQueue>
    class TStreamCore;  // TestAudioStream.h
    class TStream;
    friend class TStream;
    class TInputStream;
    friend class TInputStream;

    // The open of a stream, its count of queued buffers, a device's caps:
    // the same for both sides (TestAudioStream.h).
    template <typename TSelf, typename TStreamBase, typename F>
    int OpenStreamIn(std::vector<TSelf*>& list, int count, int index, const TAudioFormat& format, bool queryOnly,
                     F make, std::unique_ptr<TStreamBase>& stream, TAudioFormat& last);
    template <typename TSelf>
    static int QueuedIn(const std::vector<TSelf*>& list);
    template <typename TCaps>
    static int DescribeDevice(int count, int index, const char* kind, TCaps& caps);

    int InputDeviceIndex(int deviceId) const;  // -1 for none; under FLock
    // Records ms on every input stream; under FLock.
    void AdvanceInputs(int ms);
    // Runs the input notifications waiting, in the order they arose, one
    // thread at a time (outside FLock): a stream refilled from another
    // thread never reports ahead of one that was filled before it.
    void DeliverInputs();
    // Takes bytes of an input device's source into to: the supplied bytes,
    // then silence; under FLock.
    void TakeInput(int deviceIndex, unsigned char* to, qsizetype bytes, const TAudioFormat& format);

    int Fault(TTestAudioCall call) const;  // under FLock
    // Waits here while call is the one held (see HoldNextCall); never under FLock.
    void HoldPoint(TTestAudioCall call);
    int DeviceIndex(int deviceId) const;   // -1 for none; under FLock
    // The index of deviceId among count devices (-1: none, the default is 0).
    static int DeviceIndexOf(int deviceId, int count);
    // aeNoDriver without devices, aeBadDeviceId without index, else aeOk.
    static int CheckDevice(int count, int index);
    // CheckDevice, then aeBadFormat for a refused format; under FLock.
    int CheckOpen(int count, int index, const TAudioFormat& format) const;

    mutable std::recursive_mutex FLock;
    int FDeviceCount;
    bool FRefuseFormats = false;
    int FFaults[10] = {};
    int FAdvanceOnPosition = 0;
    std::vector<TStream*> FStreams;
    std::vector<QByteArray> FPlayed;
    std::vector<TAudioVolume> FVolumes;
    TAudioFormat FLastFormat;
    int FInputDeviceCount = 2;
    std::vector<TInputStream*> FInputStreams;
    std::vector<QByteArray> FSupplied;         // per input device
    std::vector<qsizetype> FSuppliedTaken;     // per input device
    TAudioFormat FLastInputFormat;
    // An input notification waiting for delivery.
    struct TInputNotice {
        TAudioInputCallback Callback;
        TAudioNotify Notify;
        std::uintptr_t Tag;
        std::uint32_t Bytes;
    };
    // Waiting from FInputNext on (under FLock); the storage is reused.
    std::vector<TInputNotice> FInputPending;
    std::size_t FInputNext = 0;
    std::recursive_mutex FDeliverLock;
    std::mutex FHoldLock;
    std::condition_variable FHoldChanged;
    int FHoldCall = -1;          // the call to hold next; -1: none
    bool FHeld = false;          // a thread waits in the held call
    bool FHoldReleased = false;  // the waiting thread may go on
};
