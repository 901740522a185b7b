#pragma once

// The playback output of the audio pipeline: plays its input's PCM through
// the audio device layer, keeping a ring of FramesInBuffer frames filled ahead
// of the device by polling every PollingInterval ms. Playback ends when every
// byte of the input has been played. Sources wider than 16 bits play as
// 16-bit sound.

#include "AudioPipeClasses.h"
#include "DSWrapper.h"

#include <cstdint>
#include <functional>
#include <vector>

using TUnderrunEvent = std::function<void(QObject* sender)>;

class TDXAudioOut : public TAudioOutput {
public:
    explicit TDXAudioOut(QObject* owner = nullptr);
    ~TDXAudioOut() override;

    int DeviceNumber() const { return FDeviceNumber; }
    void SetDeviceNumber(int v) { FDeviceNumber = v; }
    // Frames of the ring; a change while busy applies to the next run.
    std::uint32_t FramesInBuffer() const { return FFramesInBuffer; }
    void SetFramesInBuffer(std::uint32_t v);
    std::uint32_t PollingInterval() const { return FPollingInterval; }
    void SetPollingInterval(std::uint32_t v) { FPollingInterval = v; }
    int DeviceCount() const { return FDeviceCount; }

    TUnderrunEvent OnUnderrun;

protected:
    void Prepare() override;
    bool DoOutput(bool abort) override;
    void Done() override;

private:
    // Fills up to bytes (device format) from the input; sets FEndOfInput.
    std::uint32_t FillFromInput(std::uint32_t bytes);
    void PlayOut();

    bool FReleased = true;
    std::atomic<std::uint32_t> FFramesInBuffer{65536};
    std::atomic<std::uint32_t> FPollingInterval{200};
    DSoundWrapper FDS;
    TDSDeviceList FDevices;
    std::uint32_t FChannels = 0;
    std::uint32_t FSampleFreq = 0;
    std::uint32_t FBitsPerSample = 0;  // the input's
    std::uint32_t FOutBits = 0;        // the device's: 8 or 16
    bool FEndOfInput = false;
    bool FFirstFill = true;
    std::vector<std::uint8_t> FBlock;
    std::atomic<int> FDeviceNumber{0};
    int FDeviceCount = 0;
    std::uint32_t FBufferBytes = 0;
    std::uint8_t FSilence = 0;
    std::uint32_t FLastUnderflows = 0;
};
