#pragma once

// What the Qt back end's output and input streams share: the PCM format in
// Qt's terms, the guard at every entry from Qt, the thread each open stream
// runs on with the context object that owns its Qt audio objects, the frames
// of their calls (open, a call while open, position, close), and the list of
// a system's live streams (so that the system can close them all).

#include "AudioDevice.h"

#include <QtCore/QMetaObject>
#include <QtCore/QObject>
#include <QtCore/QThread>
#include <QtMultimedia/QAudioDevice>
#include <QtMultimedia/QAudioFormat>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>

class QTimer;

QAudioFormat ToQtAudioFormat(const TAudioFormat& format);

// The name and driver version of a device, as both sides report them.
template <typename TCaps>
void DescribeQtAudioDevice(const QAudioDevice& device, TCaps& caps)
{
    caps.Name = device.description();
    caps.DriverVersion = (QT_VERSION_MAJOR << 8) | QT_VERSION_MINOR;
}

// Hands the text of a failure no caller can take to the program's handler
// (the host given at the module's start).
void ReportModuleFailure(const QString& text);

// The text handed on for an exception that is no std::exception.
void HandleAudioStreamFailure(const std::exception* e);

// Runs f; whatever it throws goes to the application's handler (nothing may
// leave a Qt event or a stream's thread).
template <typename F>
void RunAudioGuarded(F&& f)
{
    try {
        f();
    } catch (const std::exception& e) {
        HandleAudioStreamFailure(&e);
    } catch (...) {
        HandleAudioStreamFailure(nullptr);
    }
}

class TQtStreamThread;

// The streams of a system, known to the system and to each stream, so that a
// stream deleted after its system can still leave the list.
struct TQtLiveStreams {
    std::mutex Lock;
    std::set<TQtStreamThread*> Streams;
};

// A stream's thread and context. The owning stream calls CloseSilently in its
// own destructor (while ReleaseOnThread can still reach it); the list is
// left only here, after that.
class TQtStreamThread {
public:
    explicit TQtStreamThread(std::shared_ptr<TQtLiveStreams> live);
    virtual ~TQtStreamThread();
    TQtStreamThread(const TQtStreamThread&) = delete;
    TQtStreamThread& operator=(const TQtStreamThread&) = delete;

    // Closes at once, without notifications (the owner's deletion, the
    // system's shutdown).
    void CloseSilently();

protected:
    // Starts the thread named name and runs make() on it (the stream's Qt
    // objects, in the context): its result, aeInvalidHandle once closed. A
    // failure closes the stream.
    template <typename F>
    int OpenOnThread(const QString& name, F make)
    {
        std::lock_guard<std::mutex> life(FLifeLock);
        if (FClosed.load())
            return aeInvalidHandle;
        StartThread(name);
        int result = aeOk;
        OnDriver([&] { result = make(); });
        if (result != aeOk)
            CloseLocked();
        return result;
    }
    // Runs call() under the life lock while the stream is open: its result,
    // aeInvalidHandle once closed.
    template <typename F>
    int WhileOpen(F call)
    {
        std::lock_guard<std::mutex> life(FLifeLock);
        if (FClosed.load())
            return aeInvalidHandle;
        return call();
    }
    // The position kept in frames; aeInvalidHandle once closed.
    int ReadPosition(const std::atomic<std::int64_t>& frames, std::int64_t& samples) const
    {
        if (FClosed.load())
            return aeInvalidHandle;
        samples = frames.load();
        return aeOk;
    }
    // Closes the stream unless queue (guarded by queueLock) still holds
    // buffers (aeStillPlaying); the caller reports the close after an aeOk,
    // outside the life lock.
    template <typename Q>
    int CloseWhenIdle(std::mutex& queueLock, const Q& queue)
    {
        std::lock_guard<std::mutex> life(FLifeLock);
        if (FClosed.load())
            return aeInvalidHandle;
        {
            std::lock_guard<std::mutex> lock(queueLock);
            if (!queue.empty())
                return aeStillPlaying;
        }
        CloseLocked();
        return aeOk;
    }
    // On the stream's thread: moves data between the stream's buffers and
    // its Qt audio object.
    virtual void Pump() = 0;
    // Pump, with whatever it throws handed to the application.
    void PumpGuarded()
    {
        RunAudioGuarded([this] { Pump(); });
    }
    // On the stream's thread: a precise timer in the context that pumps
    // every intervalMs (not started).
    QTimer* MakePumpTimer(int intervalMs);
    // Starts the thread and makes the context in it; under the life lock.
    void StartThread(const QString& name);
    // Runs f on the stream's thread and waits for it. The stream's thread
    // never takes the life lock, so a caller may hold it.
    template <typename F>
    void OnDriver(F&& f)
    {
        if (QThread::currentThread() == &FThread)
            RunAudioGuarded(f);
        else
            QMetaObject::invokeMethod(FContext, [&f] { RunAudioGuarded(f); }, Qt::BlockingQueuedConnection);
    }
    // Posts f to the stream's thread; under the life lock, so that the
    // context cannot go meanwhile.
    template <typename F>
    void PostToDriver(F f)
    {
        QMetaObject::invokeMethod(FContext, [f] { RunAudioGuarded(f); }, Qt::QueuedConnection);
    }
    // Under the life lock: ReleaseOnThread and the context's deletion (with
    // every Qt object it owns, and calls still posted to it) on the stream's
    // thread, then the thread ends and is joined. Nothing is posted after it.
    void CloseLocked();
    // On the stream's thread, just before the context goes.
    virtual void ReleaseOnThread() = 0;

    QObject* FContext = nullptr;  // lives in FThread; owns the stream's Qt objects
    // Held across every check of FClosed and the use of the context that
    // follows it, and across the close that deletes it.
    std::mutex FLifeLock;
    std::atomic<bool> FClosed{false};

private:
    std::shared_ptr<TQtLiveStreams> FLive;
    QThread FThread;
};
