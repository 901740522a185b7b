#include "QtAudioSystem.h"
#include "QtAudioStream.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QObject>
#include <QtCore/QTimer>
#include <QtMultimedia/QAudioDevice>
#include <QtMultimedia/QAudioFormat>
#include <QtMultimedia/QAudioSink>
#include <QtMultimedia/QMediaDevices>

#include <algorithm>
#include <atomic>
#include <deque>
#include <utility>
#include <vector>

namespace {

// How far the stream writes ahead of what the sink has played.
constexpr int LeadMs = 100;
// How often the stream's thread feeds the sink and hands back the buffers
// played. The position does not wait for it: it is worked out when asked.
// A write ahead of LeadMs outlasts several of these periods, and a buffer
// queued while the sink wants data is fed at once.
constexpr int PumpMs = 20;
// Bytes written to the sink in one call at most.
constexpr qint64 ChunkBytes = 16384;

class TQtOutputStream : public TAudioOutputStream, public TQtStreamThread {
public:
    TQtOutputStream(TQtMultimediaAudioSystem& system, std::shared_ptr<TQtLiveStreams> live, const QAudioDevice& device,
                    const TAudioFormat& format, TAudioCallback callback)
        : TQtStreamThread(std::move(live)), FSystem(system), FDevice(device), FFormat(format),
          FCallback(std::move(callback))
    {
    }

    // Closes without notifications: the owner may be gone already.
    ~TQtOutputStream() override { CloseSilently(); }

    // Starts the thread and the sink; aeOk or the failure.
    int Start()
    {
        return OpenOnThread(QStringLiteral("AudioOutput"), [this]() -> int {
            FSink = new QAudioSink(FDevice, ToQtAudioFormat(FFormat), FContext);
            FSink->setBufferSize(static_cast<qsizetype>(ToQtAudioFormat(FFormat).bytesForDuration(100000)));
            FIo = FSink->start();
            if (!FIo || FSink->error() != QAudio::NoError)
                return aeNotEnabled;
            FTimer = MakePumpTimer(PumpMs);
            FTimer->start();
            {
                std::lock_guard<std::mutex> lock(FClockLock);
                FClock.start();
            }
            return aeOk;
        });
    }

    int Write(const void* data, std::uint32_t bytes, std::uintptr_t tag) override
    {
        return WhileOpen([&]() -> int {
            if (!data && bytes > 0)
                return aeInvalidParam;
            // The sink takes whole sample frames only: a trailing partial frame is left out.
            const std::uint32_t whole = bytes - bytes % static_cast<std::uint32_t>(FFormat.BlockAlign());
            bool wanted;
            {
                std::lock_guard<std::mutex> lock(FLock);
                FQueue.push_back({static_cast<const char*>(data), whole, 0, -1, tag});
                wanted = std::exchange(FWantsData, false);
            }
            // A sink that wants data is fed at once; else the next pump feeds it.
            if (wanted)
                PostToDriver([this] { Pump(); });
            return aeOk;
        });
    }

    int Pause() override
    {
        return WhileOpen([&]() -> int {
            OnDriver([&] {
                if (!FPaused.load()) {
                    Pump();
                    {
                        // The clock up to now, and held from here on: the
                        // position never steps back.
                        std::lock_guard<std::mutex> lock(FClockLock);
                        AdvanceClock();
                        FPaused.store(true);
                    }
                    FSink->suspend();
                }
            });
            return aeOk;
        });
    }

    int Restart() override
    {
        return WhileOpen([&]() -> int {
            OnDriver([&] {
                if (FPaused.load()) {
                    FSink->resume();
                    {
                        std::lock_guard<std::mutex> lock(FClockLock);
                        FPaused.store(false);
                        FLastTick = FClock.nsecsElapsed();
                    }
                    Pump();
                }
            });
            return aeOk;
        });
    }

    int Reset() override
    {
        return WhileOpen([&]() -> int { return ResetOnThread(); });
    }

    int GetPosition(std::int64_t& samples) override
    {
        if (FClosed.load())
            return aeInvalidHandle;
        samples = PlayedNow();
        return aeOk;
    }

    int SetVolume(TAudioVolume volume) override
    {
        return WhileOpen([&]() -> int {
            FSystem.SetVolumeOf(FDevice.id(), volume);
            return aeOk;
        });
    }

    int GetVolume(TAudioVolume& volume) override
    {
        return WhileOpen([&]() -> int {
            volume = FSystem.VolumeOf(FDevice.id());
            return aeOk;
        });
    }

    int Close() override
    {
        const int result = CloseWhenIdle(FLock, FQueue);
        if (result == aeOk)
            FCallback(TAudioNotify::Closed, 0);
        return result;
    }

private:
    struct TQueued {
        const char* Data;
        std::uint32_t Bytes;
        std::uint32_t Written;   // bytes handed to the sink
        std::int64_t StreamEnd;  // stream offset of the buffer's end once all written, else -1
        std::uintptr_t Tag;
    };

    // Under the life lock: the reset on the stream's thread.
    int ResetOnThread()
    {
        int result = aeOk;
        OnDriver([&] {
            // A new sink stream drops what the old one still held and counts
            // from 0. Whatever the server still had to answer for the old one
            // is answered before the new one is ready.
            FSink->stop();
            FIo = FSink->start();
            if (!FIo || FSink->error() != QAudio::NoError) {
                result = aeError;
            } else {
                FSinkFed = false;
                if (FPaused.load())
                    FSink->suspend();
            }
            {
                std::lock_guard<std::mutex> clock(FClockLock);
                FWritten = 0;
                FClockNs = 0;
                FLastTick = FClock.nsecsElapsed();
            }
            std::vector<std::uintptr_t> done;
            {
                std::lock_guard<std::mutex> lock(FLock);
                for (const TQueued& q : FQueue)
                    done.push_back(q.Tag);
                FQueue.clear();
                FWantsData = true;
            }
            for (std::uintptr_t tag : done)
                FCallback(TAudioNotify::Done, tag);
        });
        return result;
    }

    // On the stream's thread: stops the sink and the timer before they go
    // with the context (calls still posted to it go too).
    void ReleaseOnThread() override
    {
        if (FTimer)
            FTimer->stop();
        if (FSink)
            StopForDeletion();
        FSink = nullptr;
        FTimer = nullptr;
        FIo = nullptr;
    }

    // On the stream's thread: stops the sink so that it can be deleted. When
    // a sound server stream runs dry, the sink asks the server, from the
    // server connection's own thread, to drain it and keeps itself as the
    // reply's receiver; stopping it does not withdraw that request, and a
    // reply arriving after the deletion would land in freed memory. The
    // server answers in order, so once a stream opened after the stop is
    // ready, every earlier reply has been handled. A stream that never
    // received data cannot run dry: nothing is outstanding for it.
    void StopForDeletion()
    {
        FSink->stop();
        if (!FSinkFed)
            return;
        FIo = FSink->start();
        const bool fenced = FIo && FSink->error() == QAudio::NoError;
        FSink->stop();
        FIo = nullptr;
        FSinkFed = false;
        if (!fenced) {
            // No answered stream to wait for: the sink is kept, stopped,
            // until the process ends rather than risk the late reply.
            FSink->setParent(nullptr);
            FSink = nullptr;
        }
    }

    // On the stream's thread: follow the played position, hand back the
    // buffers played to their end, and write ahead.
    void Pump() override
    {
        if (!FSink)
            return;
        const std::int64_t block = FFormat.BlockAlign();
        std::int64_t played;
        {
            std::lock_guard<std::mutex> lock(FClockLock);
            AdvanceClock();
            played = std::min<std::int64_t>(FramesOf(FClockNs), FWritten / block);
        }
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
                FSinkFed = true;
                q.Written += static_cast<std::uint32_t>(n);
                {
                    std::lock_guard<std::mutex> clock(FClockLock);
                    FWritten += n;
                }
            }
            if (q.Written < q.Bytes)
                return;
            if (q.StreamEnd < 0)
                q.StreamEnd = FWritten;
        }
        // Everything queued is with the sink, and it could take more: the
        // next buffer queued is fed at once.
        if (FWritten - playedBytes < lead)
            FWantsData = true;
    }

    // Under FClockLock: the clock moved on to now while the stream runs.
    // The played position follows a steady clock while the stream runs and
    // has data, and never passes what was handed to the sink: the sound
    // server's own clock stands still now and then on some sinks.
    void AdvanceClock()
    {
        const std::int64_t now = FClock.nsecsElapsed();
        if (!FPaused.load()) {
            FClockNs += now - FLastTick;
            const std::int64_t writtenFrames = FWritten / FFormat.BlockAlign();
            if (FramesOf(FClockNs) >= writtenFrames) {
                // Ran dry: the clock waits for new data.
                const std::int64_t rate = FFormat.SampleRate;
                FClockNs = (writtenFrames * 1000000000 + rate - 1) / rate;
            }
        }
        FLastTick = now;
    }

    std::int64_t FramesOf(std::int64_t ns) const
    {
        return ns * static_cast<std::int64_t>(FFormat.SampleRate) / 1000000000;
    }

    // The frames played by now: the clock of the last pump moved on to now
    // while the stream runs, never past what was handed to the sink (the
    // rule of Pump, between its runs).
    std::int64_t PlayedNow() const
    {
        std::lock_guard<std::mutex> lock(FClockLock);
        std::int64_t ns = FClockNs;
        if (!FPaused.load() && FClock.isValid())
            ns += FClock.nsecsElapsed() - FLastTick;
        return std::min<std::int64_t>(FramesOf(ns), FWritten / FFormat.BlockAlign());
    }

    TQtMultimediaAudioSystem& FSystem;  // used only while open
    QAudioDevice FDevice;
    TAudioFormat FFormat;
    TAudioCallback FCallback;

    QAudioSink* FSink = nullptr;  // owned by the context
    QIODevice* FIo = nullptr;
    QTimer* FTimer = nullptr;
    bool FSinkFed = false;  // stream thread: the sink has had data since it was started
    QByteArray FScratch;

    // The system is used only under the life lock, while open.
    std::mutex FLock;  // guards FQueue and FWantsData
    std::deque<TQueued> FQueue;
    bool FWantsData = true;  // the last feed ran out of queued data below the lead
    // Written on the stream thread under FClockLock, read under it by
    // GetPosition on any thread.
    mutable std::mutex FClockLock;
    std::int64_t FWritten = 0;     // stream bytes handed to the sink
    QElapsedTimer FClock;
    std::int64_t FLastTick = 0;    // FClock at the last pump
    std::int64_t FClockNs = 0;     // time played up to FLastTick since the open or the last reset
    std::atomic<bool> FPaused{false};
};

}  // namespace

TQtMultimediaAudioSystem::TQtMultimediaAudioSystem() : FLive(std::make_shared<TQtLiveStreams>()) {}

TQtMultimediaAudioSystem::~TQtMultimediaAudioSystem()
{
    CloseAllStreams();
}

void TQtMultimediaAudioSystem::CloseAllStreams()
{
    std::lock_guard<std::mutex> lock(FLive->Lock);
    for (TQtStreamThread* stream : FLive->Streams)
        stream->CloseSilently();
}

int TQtMultimediaAudioSystem::LiveStreamCount() const
{
    std::lock_guard<std::mutex> lock(FLive->Lock);
    return static_cast<int>(FLive->Streams.size());
}

bool TQtMultimediaAudioSystem::PickDevice(const QList<QAudioDevice>& devices, QAudioDevice (*defaultDevice)(), int deviceId,
                                QAudioDevice& device)
{
    if (devices.isEmpty())
        return false;
    if (deviceId == AudioDefaultDevice) {
        device = defaultDevice();
        if (device.isNull())
            device = devices.first();
        return true;
    }
    if (deviceId < 0 || deviceId >= devices.size())
        return false;
    device = devices.at(deviceId);
    return true;
}

int TQtMultimediaAudioSystem::FindDevice(bool input, int deviceId, QAudioDevice& device)
{
    const bool found =
        input ? PickDevice(QMediaDevices::audioInputs(), &QMediaDevices::defaultAudioInput, deviceId, device)
              : PickDevice(QMediaDevices::audioOutputs(), &QMediaDevices::defaultAudioOutput, deviceId, device);
    if (found)
        return aeOk;
    const qsizetype count = input ? QMediaDevices::audioInputs().size() : QMediaDevices::audioOutputs().size();
    return count == 0 ? aeNoDriver : aeBadDeviceId;
}

int TQtMultimediaAudioSystem::FindDeviceFor(bool input, int deviceId, const TAudioFormat& format, QAudioDevice& device)
{
    if (const int result = FindDevice(input, deviceId, device))
        return result;
    if (!format.IsValid() || !device.isFormatSupported(ToQtAudioFormat(format)))
        return aeBadFormat;
    return aeOk;
}

int TQtMultimediaAudioSystem::OutputDeviceCount()
{
    return static_cast<int>(QMediaDevices::audioOutputs().size());
}

int TQtMultimediaAudioSystem::GetOutputDeviceCaps(int deviceId, TAudioDeviceCaps& caps)
{
    QAudioDevice device;
    if (const int result = FindDevice(false, deviceId, device))
        return result;
    DescribeQtAudioDevice(device, caps);
    return aeOk;
}

int TQtMultimediaAudioSystem::OpenOutput(int deviceId, const TAudioFormat& format, bool queryOnly, TAudioCallback callback,
                               std::unique_ptr<TAudioOutputStream>& stream)
{
    QAudioDevice device;
    if (const int result = FindDeviceFor(false, deviceId, format, device))
        return result;
    if (queryOnly)
        return aeOk;
    auto s = std::make_unique<TQtOutputStream>(*this, FLive, device, format, callback);
    if (const int result = s->Start(); result != aeOk)
        return result;
    stream = std::move(s);
    callback(TAudioNotify::Opened, 0);
    return aeOk;
}

TAudioVolume TQtMultimediaAudioSystem::VolumeOf(const QByteArray& deviceKey)
{
    std::lock_guard<std::mutex> lock(FLock);
    const auto it = FVolumes.find(deviceKey);
    return it == FVolumes.end() ? TAudioVolume() : it->second;
}

void TQtMultimediaAudioSystem::SetVolumeOf(const QByteArray& deviceKey, TAudioVolume volume)
{
    std::lock_guard<std::mutex> lock(FLock);
    FVolumes[deviceKey] = volume;
}

int TQtMultimediaAudioSystem::GetOutputVolume(int deviceId, TAudioVolume& volume)
{
    QAudioDevice device;
    if (const int result = FindDevice(false, deviceId, device))
        return result;
    volume = VolumeOf(device.id());
    return aeOk;
}

int TQtMultimediaAudioSystem::SetOutputVolume(int deviceId, TAudioVolume volume)
{
    QAudioDevice device;
    if (const int result = FindDevice(false, deviceId, device))
        return result;
    SetVolumeOf(device.id(), volume);
    return aeOk;
}
