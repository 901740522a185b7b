#pragma once

// The link between the programs and Qt Multimedia. Everything that calls Qt
// Multimedia lives in a module of its own, libpibo_multimedia.so beside the
// program, loaded the first time a sound is played or recorded or a media
// graph is activated: the programs start without Qt Multimedia and what it
// brings (the sound server's client, the sound-file codecs, Qt Network). The
// module sees only this header and the audio device layer's interface
// (AudioDevice.h, AudioInput.h, QtAudioDevice.h); it keeps nothing of ours
// but what it is handed here.

#include "QtAudioDevice.h"

#include <QtCore/QSize>
#include <QtCore/QString>
#include <QtGui/QImage>

#include <cstdint>
#include <functional>

class QObject;

// The media graph's player: Qt's media player with its sound output, and the
// video sink it shows its picture through. Positions and durations are in
// milliseconds. Everything runs on the GUI thread.
class TMediaPlayerBackEnd {
public:
    enum TStatus { msNoMedia, msLoading, msLoaded, msStalled, msBuffering, msBuffered, msEndOfMedia, msInvalid };
    enum TError { meNone, meResource, meFormat, meNetwork, meAccessDenied };
    enum TState { psStopped, psPlaying, psPaused };

    virtual ~TMediaPlayerBackEnd() = default;

    // What the player reports, as it reports it.
    std::function<void(TStatus status)> OnStatusChanged;
    std::function<void(TError error)> OnError;
    std::function<void()> OnMetaDataChanged;

    // A new player in place of the current one (stopped, without media),
    // with the same sound and video output; nothing the old one still had
    // to say is reported.
    virtual void Renew() = 0;
    // A local file; empty: no media.
    virtual void SetSource(const QString& fileName) = 0;
    virtual bool HasSource() const = 0;
    virtual TStatus Status() const = 0;
    virtual TError Error() const = 0;
    virtual TState State() const = 0;
    virtual void Play() = 0;
    virtual void Pause() = 0;
    virtual void Stop() = 0;
    virtual std::int64_t Position() const = 0;
    virtual void SetPosition(std::int64_t ms) = 0;
    virtual std::int64_t Duration() const = 0;
    virtual double Rate() const = 0;
    virtual void SetRate(double rate) = 0;
    virtual bool HasVideo() const = 0;
    // The picture size the media's description gives (invalid without one).
    virtual QSize Resolution() const = 0;
    // The video output: a video sink a renderer made (Sink()); a filter
    // that is no video sink leaves the output as it is; nullptr removes it.
    virtual void SetVideoOutput(QObject* output) = 0;
    virtual QObject* VideoOutput() const = 0;
    // The size of the frames the video output has received (invalid before).
    virtual QSize VideoOutputSize() const = 0;
    // Linear amplitude 0 .. 1 of the sound output.
    virtual void SetVolume(float amplitude) = 0;
};

// A video sink that keeps the latest frame it was given.
class TVideoRendererBackEnd {
public:
    virtual ~TVideoRendererBackEnd() = default;
    // A new frame has arrived (GUI thread).
    std::function<void()> OnFrame;
    // The sink, a child of the parent given at creation, to be handed to
    // the player.
    virtual QObject* Sink() const = 0;
    // The latest frame as a picture; empty before the first. The usual
    // decoder outputs (planar and packed YUV, RGB) are converted on the
    // processor: showing a video makes no graphics context of its own.
    virtual QImage FrameImage() const = 0;
};

// What the program lends the module.
struct TMultimediaHost {
    // Hands the text of a failure no caller can take to the program (the
    // sound streams' threads).
    void (*ReportFailure)(const QString& text);
};

// The module's entries.
struct TMultimediaModule {
    TQtAudioSystem* (*CreateAudioSystem)();
    TMediaPlayerBackEnd* (*CreateMediaPlayer)();
    TVideoRendererBackEnd* (*CreateVideoRenderer)(QObject* parent);
};

// The module's entry points (extern "C").
inline constexpr int MultimediaInterfaceVersion = 1;
inline constexpr const char* MultimediaVersionSymbol = "PiboMultimediaVersion";
inline constexpr const char* MultimediaStartSymbol = "PiboMultimediaStart";
inline constexpr const char* MultimediaModuleFileName = "libpibo_multimedia.so";
// The interface version the module was built with.
using TMultimediaVersionFn = int (*)();
// Takes the host (kept for the life of the process) and hands out the entries.
using TMultimediaStartFn = const TMultimediaModule* (*)(const TMultimediaHost* host);

// The module, loaded at the first call (any thread); nullptr when it cannot
// be loaded, and so on every later call.
const TMultimediaModule* MultimediaModule();
// Why the module could not be loaded: a text naming the file and the cause;
// empty while it has not failed.
QString MultimediaModuleError();
// Tests: the module file to load instead of the one found beside the program
// (or in the build's program folder); before the first load only.
void SetMultimediaModulePath(const QString& path);
// Whether the module has been loaded into the process.
bool MultimediaModuleLoaded();
