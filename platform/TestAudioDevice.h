#pragma once

// A test audio system: output devices that play on a virtual clock. Nothing
// is heard; a test advances the clock by hand, and every byte a device played
// is recorded. Each call can be told to fail with a result code of its own.
//
// Notifications run on the thread that causes them: Opened in OpenOutput,
// Done in AdvanceMs and Reset, Closed in Close. Every call may come from any
// thread. The system must outlive the streams it opened.

#include "AudioDevice.h"

#include <QtCore/QByteArray>

#include <cstdint>
#include <mutex>
#include <vector>

// The calls a fault can be set for.
enum class TTestAudioCall { Open, Write, Pause, Restart, Reset, GetPosition, Close };

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

    // TAudioSystem
    int OutputDeviceCount() override;
    int GetOutputDeviceCaps(int deviceId, TAudioDeviceCaps& caps) override;
    int OpenOutput(int deviceId, const TAudioFormat& format, bool queryOnly, TAudioCallback callback,
                   std::unique_ptr<TAudioOutputStream>& stream) override;
    int GetOutputVolume(int deviceId, TAudioVolume& volume) override;
    int SetOutputVolume(int deviceId, TAudioVolume volume) override;

private:
    class TStream;
    friend class TStream;

    int Fault(TTestAudioCall call) const;  // under FLock
    int DeviceIndex(int deviceId) const;   // -1 for none; under FLock

    mutable std::recursive_mutex FLock;
    int FDeviceCount;
    bool FRefuseFormats = false;
    int FFaults[7] = {};
    int FAdvanceOnPosition = 0;
    std::vector<TStream*> FStreams;
    std::vector<QByteArray> FPlayed;
    std::vector<TAudioVolume> FVolumes;
    TAudioFormat FLastFormat;
};
