#pragma once

// The real back end of the audio device layer, inside the multimedia module:
// Qt Multimedia's audio sink (PulseAudio on Linux). Each open stream runs a
// thread of its own that feeds the sink a little ahead of the played
// position, which it follows on a steady clock; buffers come back done on
// that thread once played to their end.

#include "AudioDevice.h"
#include "AudioInput.h"
#include "QtAudioDevice.h"

#include <QtCore/QByteArray>
#include <QtCore/QList>

#include <map>
#include <memory>
#include <mutex>

class QAudioDevice;
struct TQtLiveStreams;

class TQtMultimediaAudioSystem : public TQtAudioSystem {
public:
    TQtMultimediaAudioSystem();
    // Closes every stream still open, as CloseAllStreams.
    ~TQtMultimediaAudioSystem() override;
    TQtMultimediaAudioSystem(const TQtMultimediaAudioSystem&) = delete;
    TQtMultimediaAudioSystem& operator=(const TQtMultimediaAudioSystem&) = delete;

    int OutputDeviceCount() override;
    int GetOutputDeviceCaps(int deviceId, TAudioDeviceCaps& caps) override;
    int OpenOutput(int deviceId, const TAudioFormat& format, bool queryOnly, TAudioCallback callback,
                   std::unique_ptr<TAudioOutputStream>& stream) override;
    int GetOutputVolume(int deviceId, TAudioVolume& volume) override;
    int SetOutputVolume(int deviceId, TAudioVolume volume) override;
    // The input side (QtAudioInput.cpp): Qt's audio source in push mode,
    // each open stream on a thread of its own.
    int InputDeviceCount() override;
    int GetInputDeviceCaps(int deviceId, TAudioInputCaps& caps) override;
    int OpenInput(int deviceId, const TAudioFormat& format, bool queryOnly, TAudioInputCallback callback,
                  std::unique_ptr<TAudioInputStream>& stream) override;

    // Volume by the device's own id (the streams keep it up to date).
    TAudioVolume VolumeOf(const QByteArray& deviceKey);
    void SetVolumeOf(const QByteArray& deviceKey, TAudioVolume volume);

    void CloseAllStreams() override;
    int LiveStreamCount() const override;

private:
    // The output (input) device of a device number: aeOk, else aeNoDriver
    // without devices or aeBadDeviceId.
    static int FindDevice(bool input, int deviceId, QAudioDevice& device);
    // FindDevice, then aeBadFormat for a format the device does not take.
    static int FindDeviceFor(bool input, int deviceId, const TAudioFormat& format, QAudioDevice& device);
    // The device deviceId among devices; the default is defaultDevice() or,
    // when there is none, the first.
    static bool PickDevice(const QList<QAudioDevice>& devices, QAudioDevice (*defaultDevice)(), int deviceId,
                           QAudioDevice& device);

    std::mutex FLock;
    std::map<QByteArray, TAudioVolume> FVolumes;
    std::shared_ptr<TQtLiveStreams> FLive;  // output and input streams
};
