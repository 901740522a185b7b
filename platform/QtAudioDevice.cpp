#include "QtAudioDevice.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QMetaObject>
#include <QtCore/QObject>
#include <QtCore/QThread>
#include <QtCore/QTimer>
#include <QtMultimedia/QAudioDevice>
#include <QtMultimedia/QAudioFormat>
#include <QtMultimedia/QAudioSink>
#include <QtMultimedia/QMediaDevices>

#include <algorithm>
#include <atomic>
#include <deque>
#include <vector>

namespace {

QAudioFormat ToQtFormat(const TAudioFormat& format)
{
    QAudioFormat f;
    f.setSampleRate(static_cast<int>(format.SampleRate));
    f.setChannelCount(format.Channels);
    f.setSampleFormat(format.BitsPerSample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
    return f;
}

// How far the stream writes ahead of what the sink has played.
constexpr int LeadMs = 100;
// How often the stream's thread feeds the sink and looks at its position.
constexpr int PumpMs = 5;
// Bytes written to the sink in one call at most.
constexpr qint64 ChunkBytes = 16384;

class TQtOutputStream : public TAudioOutputStream {
public:
    TQtOutputStream(TQtAudioSystem& system, const QAudioDevice& device, const TAudioFormat& format,
                    TAudioCallback callback)
        : FSystem(system), FDevice(device), FFormat(format), FCallback(std::move(callback))
    {
    }

    // Closes without notifications: the owner may be gone already.
    ~TQtOutputStream() override
    {
        if (!FClosed.load()) {
            {
                std::lock_guard<std::mutex> lock(FLock);
                FQueue.clear();
            }
            CloseNow(false);
        }
    }

    // Starts the thread and the sink; aeOk or the failure.
    int Start()
    {
        FThread.setObjectName(QStringLiteral("AudioOutput"));
        FThread.start(QThread::HighestPriority);
        FContext = new QObject;
        FContext->moveToThread(&FThread);
        int result = aeOk;
        OnDriver([&] {
            FSink = new QAudioSink(FDevice, ToQtFormat(FFormat), FContext);
            FSink->setBufferSize(static_cast<qsizetype>(ToQtFormat(FFormat).bytesForDuration(100000)));
            FIo = FSink->start();
            if (!FIo || FSink->error() != QAudio::NoError) {
                result = aeNotEnabled;
                return;
            }
            FTimer = new QTimer(FContext);
            FTimer->setTimerType(Qt::PreciseTimer);
            FTimer->setInterval(PumpMs);
            QObject::connect(FTimer, &QTimer::timeout, FContext, [this] { Pump(); });
            FTimer->start();
            FClock.start();
        });
        if (result != aeOk)
            CloseNow(false);
        return result;
    }

    int Write(const void* data, std::uint32_t bytes, std::uintptr_t tag) override
    {
        if (FClosed.load())
            return aeInvalidHandle;
        if (!data && bytes > 0)
            return aeInvalidParam;
        // The sink takes whole sample frames only: a trailing partial frame is left out.
        const std::uint32_t whole = bytes - bytes % static_cast<std::uint32_t>(FFormat.BlockAlign());
        {
            std::lock_guard<std::mutex> lock(FLock);
            FQueue.push_back({static_cast<const char*>(data), whole, 0, -1, tag});
        }
        QMetaObject::invokeMethod(FContext, [this] { Pump(); }, Qt::QueuedConnection);
        return aeOk;
    }

    int Pause() override
    {
        if (FClosed.load())
            return aeInvalidHandle;
        OnDriver([&] {
            if (!FPaused.load()) {
                Pump();  // the clock up to now, while it still runs
                FPaused.store(true);
                FSink->suspend();
            }
        });
        return aeOk;
    }

    int Restart() override
    {
        if (FClosed.load())
            return aeInvalidHandle;
        OnDriver([&] {
            if (FPaused.exchange(false)) {
                FSink->resume();
                FLastTick = FClock.nsecsElapsed();
                Pump();
            }
        });
        return aeOk;
    }

    int Reset() override
    {
        if (FClosed.load())
            return aeInvalidHandle;
        int result = aeOk;
        OnDriver([&] {
            // A new sink stream drops what the old one still held and counts from 0.
            FSink->stop();
            FIo = FSink->start();
            if (!FIo || FSink->error() != QAudio::NoError)
                result = aeError;
            else if (FPaused.load())
                FSink->suspend();
            FWritten = 0;
            FClockNs = 0;
            FLastTick = FClock.nsecsElapsed();
            FPlayedFrames.store(0);
            std::vector<std::uintptr_t> done;
            {
                std::lock_guard<std::mutex> lock(FLock);
                for (const TQueued& q : FQueue)
                    done.push_back(q.Tag);
                FQueue.clear();
            }
            for (std::uintptr_t tag : done)
                FCallback(TAudioNotify::Done, tag);
        });
        return result;
    }

    int GetPosition(std::int64_t& samples) override
    {
        if (FClosed.load())
            return aeInvalidHandle;
        samples = FPlayedFrames.load();
        return aeOk;
    }

    int SetVolume(TAudioVolume volume) override
    {
        if (FClosed.load())
            return aeInvalidHandle;
        FSystem.SetVolumeOf(FDevice.id(), volume);
        return aeOk;
    }

    int GetVolume(TAudioVolume& volume) override
    {
        if (FClosed.load())
            return aeInvalidHandle;
        volume = FSystem.VolumeOf(FDevice.id());
        return aeOk;
    }

    int Close() override
    {
        if (FClosed.load())
            return aeInvalidHandle;
        {
            std::lock_guard<std::mutex> lock(FLock);
            if (!FQueue.empty())
                return aeStillPlaying;
        }
        CloseNow(true);
        return aeOk;
    }

private:
    struct TQueued {
        const char* Data;
        std::uint32_t Bytes;
        std::uint32_t Written;   // bytes handed to the sink
        std::int64_t StreamEnd;  // stream offset of the buffer's end once all written, else -1
        std::uintptr_t Tag;
    };

    // Runs f on the stream's thread and waits for it.
    template <typename F>
    void OnDriver(F&& f)
    {
        if (QThread::currentThread() == &FThread)
            f();
        else
            QMetaObject::invokeMethod(FContext, std::forward<F>(f), Qt::BlockingQueuedConnection);
    }

    void CloseNow(bool notify)
    {
        if (FClosed.exchange(true))
            return;
        if (FContext) {
            OnDriver([&] {
                if (FTimer)
                    FTimer->stop();
                if (FSink)
                    FSink->stop();
                delete FContext;  // the sink and the timer with it
                FContext = nullptr;
                FSink = nullptr;
                FTimer = nullptr;
            });
        }
        FThread.quit();
        FThread.wait();
        if (notify)
            FCallback(TAudioNotify::Closed, 0);
    }

    // On the stream's thread: follow the played position, hand back the
    // buffers played to their end, and write ahead.
    void Pump()
    {
        if (!FSink)
            return;
        const std::int64_t block = FFormat.BlockAlign();
        // The played position follows a steady clock while the stream runs
        // and has data, and never passes what was handed to the sink: the
        // sound server's own clock stands still now and then on some sinks.
        const std::int64_t now = FClock.nsecsElapsed();
        if (!FPaused.load()) {
            FClockNs += now - FLastTick;
            const std::int64_t writtenFrames = FWritten / block;
            const std::int64_t frames = FClockNs * static_cast<std::int64_t>(FFormat.SampleRate) / 1000000000;
            if (frames >= writtenFrames) {
                // Ran dry: the clock waits for new data.
                const std::int64_t rate = FFormat.SampleRate;
                FClockNs = (writtenFrames * 1000000000 + rate - 1) / rate;
            }
        }
        FLastTick = now;
        const std::int64_t played = std::min<std::int64_t>(
            FClockNs * static_cast<std::int64_t>(FFormat.SampleRate) / 1000000000, FWritten / block);
        const std::int64_t playedBytes = played * block;
        std::vector<std::uintptr_t> done;
        {
            std::lock_guard<std::mutex> lock(FLock);
            while (!FQueue.empty()) {
                const TQueued& q = FQueue.front();
                if (q.Written < q.Bytes || q.StreamEnd > playedBytes)
                    break;
                done.push_back(q.Tag);
                FQueue.pop_front();
            }
        }
        FPlayedFrames.store(played);
        if (!FPaused.load() && FIo)
            Feed(playedBytes);
        for (std::uintptr_t tag : done)
            FCallback(TAudioNotify::Done, tag);
    }

    void Feed(std::int64_t playedBytes)
    {
        const std::int64_t lead = static_cast<std::int64_t>(FFormat.SampleRate) * FFormat.BlockAlign() * LeadMs / 1000;
        const TAudioVolume volume = FSystem.VolumeOf(FDevice.id());
        std::lock_guard<std::mutex> lock(FLock);
        for (TQueued& q : FQueue) {
            while (q.Written < q.Bytes && FWritten - playedBytes < lead) {
                const qint64 want = std::min<qint64>(ChunkBytes, q.Bytes - q.Written);
                const char* from = q.Data + q.Written;
                qint64 n;
                if (volume.Left == 0xFFFF && volume.Right == 0xFFFF) {
                    n = FIo->write(from, want);
                } else {
                    FScratch = QByteArray(from, static_cast<qsizetype>(want));
                    ApplyAudioVolume(FScratch.data(), static_cast<std::uint32_t>(want), FFormat, volume);
                    n = FIo->write(FScratch.constData(), want);
                }
                if (n <= 0)
                    return;
                q.Written += static_cast<std::uint32_t>(n);
                FWritten += n;
            }
            if (q.Written < q.Bytes)
                return;
            if (q.StreamEnd < 0)
                q.StreamEnd = FWritten;
        }
    }

    TQtAudioSystem& FSystem;
    QAudioDevice FDevice;
    TAudioFormat FFormat;
    TAudioCallback FCallback;

    QThread FThread;
    QObject* FContext = nullptr;   // lives in FThread; owns the sink and the timer
    QAudioSink* FSink = nullptr;
    QIODevice* FIo = nullptr;
    QTimer* FTimer = nullptr;
    QByteArray FScratch;

    std::mutex FLock;  // guards FQueue
    std::deque<TQueued> FQueue;
    std::int64_t FWritten = 0;     // stream bytes handed to the sink (stream thread)
    QElapsedTimer FClock;          // stream thread
    std::int64_t FLastTick = 0;    // stream thread: FClock at the last pump
    std::int64_t FClockNs = 0;     // stream thread: time played since the open or the last reset
    std::atomic<std::int64_t> FPlayedFrames{0};
    std::atomic<bool> FPaused{false};
    std::atomic<bool> FClosed{false};
};

}  // namespace

bool TQtAudioSystem::FindDevice(int deviceId, QAudioDevice& device)
{
    const QList<QAudioDevice> outputs = QMediaDevices::audioOutputs();
    if (outputs.isEmpty())
        return false;
    if (deviceId == AudioDefaultDevice) {
        device = QMediaDevices::defaultAudioOutput();
        if (device.isNull())
            device = outputs.first();
        return true;
    }
    if (deviceId < 0 || deviceId >= outputs.size())
        return false;
    device = outputs.at(deviceId);
    return true;
}

int TQtAudioSystem::OutputDeviceCount()
{
    return static_cast<int>(QMediaDevices::audioOutputs().size());
}

int TQtAudioSystem::GetOutputDeviceCaps(int deviceId, TAudioDeviceCaps& caps)
{
    QAudioDevice device;
    if (!FindDevice(deviceId, device))
        return OutputDeviceCount() == 0 ? aeNoDriver : aeBadDeviceId;
    caps.Name = device.description();
    caps.DriverVersion = (QT_VERSION_MAJOR << 8) | QT_VERSION_MINOR;
    return aeOk;
}

int TQtAudioSystem::OpenOutput(int deviceId, const TAudioFormat& format, bool queryOnly, TAudioCallback callback,
                               std::unique_ptr<TAudioOutputStream>& stream)
{
    QAudioDevice device;
    if (!FindDevice(deviceId, device))
        return OutputDeviceCount() == 0 ? aeNoDriver : aeBadDeviceId;
    if (!format.IsValid() || !device.isFormatSupported(ToQtFormat(format)))
        return aeBadFormat;
    if (queryOnly)
        return aeOk;
    auto s = std::make_unique<TQtOutputStream>(*this, device, format, callback);
    if (const int result = s->Start(); result != aeOk)
        return result;
    stream = std::move(s);
    callback(TAudioNotify::Opened, 0);
    return aeOk;
}

TAudioVolume TQtAudioSystem::VolumeOf(const QByteArray& deviceKey)
{
    std::lock_guard<std::mutex> lock(FLock);
    const auto it = FVolumes.find(deviceKey);
    return it == FVolumes.end() ? TAudioVolume() : it->second;
}

void TQtAudioSystem::SetVolumeOf(const QByteArray& deviceKey, TAudioVolume volume)
{
    std::lock_guard<std::mutex> lock(FLock);
    FVolumes[deviceKey] = volume;
}

int TQtAudioSystem::GetOutputVolume(int deviceId, TAudioVolume& volume)
{
    QAudioDevice device;
    if (!FindDevice(deviceId, device))
        return OutputDeviceCount() == 0 ? aeNoDriver : aeBadDeviceId;
    volume = VolumeOf(device.id());
    return aeOk;
}

int TQtAudioSystem::SetOutputVolume(int deviceId, TAudioVolume volume)
{
    QAudioDevice device;
    if (!FindDevice(deviceId, device))
        return OutputDeviceCount() == 0 ? aeNoDriver : aeBadDeviceId;
    SetVolumeOf(device.id(), volume);
    return aeOk;
}
