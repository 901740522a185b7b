#pragma once

// What the wave-in and wave-out devices share: the flags of their buffer
// headers (set by the driver's notification on another thread), the text of
// a failure caught in a handler, the PCM format handed to the audio device
// layer, the driver's error text, and the hidden window that runs their
// buffer-done, end and close messages on the GUI thread.

#include "AudioDevice.h"
#include "MMDSPObj.h"
#include "MMPCMSup.h"

#include <QtCore/QObject>
#include <QtCore/QString>

#include <cstdint>
#include <functional>

class QEvent;

namespace SndWaveDev {

void SetFlag(TSndWaveHdr* hdr, std::uint32_t flag);
void ClearFlag(TSndWaveHdr* hdr, std::uint32_t flag);
bool HasFlag(TSndWaveHdr* hdr, std::uint32_t flag);

// The text of the exception being handled (call inside a catch); an unknown
// one reads "<device>:\n\rUnknown error".
QString CurrentExceptionText(const char* device);

// A PCM format as the audio device layer takes it; false for anything else.
bool ToAudioFormat(const TWaveFormatEx* format, TAudioFormat& out);

// The driver's text for a result, at most 255 characters; message 86 when
// the driver has none.
QString DriverErrorText(TAudioSystem& driver, int result);

// The messages of the hidden window: a finished buffer, the end (a stop
// asked for while a buffer was being handled) and a close after the worker
// failed.
int DoneEventType();
int EndEventType();
int CloseEventType();
// Posts a message to the window (none while there is no window).
void Post(QObject* window, int type);

// The hidden window: runs each message's handler on the GUI thread; what a
// handler raises goes to the application's exception handler and never
// leaves the event.
class TSndDeviceWindow : public QObject {
public:
    TSndDeviceWindow(const char* device, std::function<void()> onDone, std::function<void()> onEnd,
                     std::function<void()> onClose);

    bool event(QEvent* e) override;

private:
    const char* FDevice;
    std::function<void()> FOnDone;
    std::function<void()> FOnEnd;
    std::function<void()> FOnClose;
};

}  // namespace SndWaveDev
