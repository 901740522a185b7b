// The input side of the real back end: Qt's audio source (PulseAudio on
// Linux) in push mode. Each open stream runs a thread of its own, where the
// source lives; what the source delivers is copied into the queued buffers
// in order, and each full buffer comes back done on that thread.

#include "QtAudioSystem.h"
#include "QtAudioStream.h"

#include <QtCore/QObject>
#include <QtCore/QTimer>
#include <QtMultimedia/QAudioDevice>
#include <QtMultimedia/QAudioFormat>
#include <QtMultimedia/QAudioSource>
#include <QtMultimedia/QMediaDevices>

#include <algorithm>
#include <atomic>
#include <vector>

namespace {

// How often the stream's thread looks for recorded data besides the
// source's own signal.
constexpr int InputPumpMs = 10;

class TQtInputStream : public TAudioInputStream, public TQtStreamThread {
public:
    TQtInputStream(std::shared_ptr<TQtLiveStreams> live, const QAudioDevice& device, const TAudioFormat& format,
                   TAudioInputCallback callback)
        : TQtStreamThread(std::move(live)), FDevice(device), FFormat(format), FCallback(std::move(callback))
    {
    }

    // Closes without notifications: the owner may be gone already.
    ~TQtInputStream() override { CloseSilently(); }

    // Starts the thread and makes the source (not yet recording).
    int Open()
    {
        return OpenOnThread(QStringLiteral("AudioInput"), [this]() -> int {
            const QAudioFormat format = ToQtAudioFormat(FFormat);
            FSource = new QAudioSource(FDevice, format, FContext);
            FSource->setBufferSize(static_cast<qsizetype>(format.bytesForDuration(100000)));
            if (FSource->error() != QAudio::NoError)
                return aeNotEnabled;
            FTimer = MakePumpTimer(InputPumpMs);
            return aeOk;
        });
    }

    int AddBuffer(void* data, std::uint32_t bytes, std::uintptr_t tag) override
    {
        return WhileOpen([&]() -> int {
            if (!data || bytes < static_cast<std::uint32_t>(FFormat.BlockAlign()))
                return aeInvalidParam;
            {
                std::lock_guard<std::mutex> lock(FLock);
                FQueue.push_back({static_cast<char*>(data), bytes, 0, tag});
            }
            PostToDriver([this] { Pump(); });
            return aeOk;
        });
    }

    int Start() override
    {
        return WhileOpen([&]() -> int {
            int result = aeOk;
            OnDriver([&] {
                if (FIo)
                    return;
                FIo = FSource->start();
                if (!FIo || FSource->error() != QAudio::NoError) {
                    FIo = nullptr;
                    result = aeNotEnabled;
                    return;
                }
                QObject::connect(FIo, &QIODevice::readyRead, FContext, [this] { PumpGuarded(); });
                FTimer->start();
            });
            return result;
        });
    }

    int Stop() override
    {
        return WhileOpen([&]() -> int {
            OnDriver([&] {
                if (FIo) {
                    Pump();  // what the source holds so far (reported there)
                    Halt();
                }
                std::vector<TDone>& done = FDoneScratch;
                done.clear();
                {
                    std::lock_guard<std::mutex> lock(FLock);
                    if (!FQueue.empty() && FQueue.front().Filled > 0) {
                        done.push_back({FQueue.front().Tag, FQueue.front().Filled});
                        FQueue.pop_front();
                    }
                }
                Report(done);
            });
            return aeOk;
        });
    }

    int Reset() override
    {
        return WhileOpen([&]() -> int {
            OnDriver([&] {
                Halt();
                std::vector<TDone>& done = FDoneScratch;
                done.clear();
                {
                    std::lock_guard<std::mutex> lock(FLock);
                    for (std::size_t i = 0; i < FQueue.size(); ++i)
                        done.push_back({FQueue[i].Tag, FQueue[i].Filled});
                    FQueue.clear();
                }
                FBytes = 0;
                FFrames.store(0);
                Report(done);
            });
            return aeOk;
        });
    }

    int GetPosition(std::int64_t& samples) override { return ReadPosition(FFrames, samples); }

    int Close() override
    {
        const int result = CloseWhenIdle(FLock, FQueue);
        if (result == aeOk && FCallback)
            FCallback(TAudioNotify::Closed, 0, 0);
        return result;
    }

private:
    struct TQueued {
        char* Data;
        std::uint32_t Bytes;
        std::uint32_t Filled;
        std::uintptr_t Tag;
    };
    struct TDone {
        std::uintptr_t Tag;
        std::uint32_t Bytes;
    };

    void ReleaseOnThread() override
    {
        Halt();
        FSource = nullptr;  // goes with the context
        FTimer = nullptr;
    }

    // On the stream's thread: the source stops recording.
    void Halt()
    {
        if (FTimer)
            FTimer->stop();
        if (FSource && FIo)
            FSource->stop();
        FIo = nullptr;
    }

    void Report(const std::vector<TDone>& done)
    {
        if (!FCallback)
            return;
        for (const TDone& d : done)
            FCallback(TAudioNotify::Done, d.Tag, d.Bytes);
    }

    // On the stream's thread: moves what the source recorded into the
    // queued buffers; full buffers come back done.
    void Pump() override
    {
        if (!FIo)
            return;
        const std::int64_t block = FFormat.BlockAlign();
        std::vector<TDone>& done = FDoneScratch;
        done.clear();
        for (;;) {
            qint64 n = 0;
            {
                std::lock_guard<std::mutex> lock(FLock);
                if (FQueue.empty()) {
                    // No buffer to take it: what was recorded is lost.
                    char scratch[4096];
                    n = FIo->read(scratch, sizeof scratch);
                    if (n <= 0)
                        break;
                    continue;
                }
                TQueued& q = FQueue.front();
                const qint64 room = static_cast<qint64>(q.Bytes - q.Filled);
                n = FIo->read(q.Data + q.Filled, room);
                if (n <= 0)
                    break;
                q.Filled += static_cast<std::uint32_t>(n);
                FBytes += n;
                if (static_cast<std::int64_t>(q.Bytes - q.Filled) < block) {
                    done.push_back({q.Tag, q.Filled});
                    FQueue.pop_front();
                }
            }
            FFrames.store(FBytes / block);
        }
        Report(done);
    }

    QAudioDevice FDevice;
    TAudioFormat FFormat;
    TAudioInputCallback FCallback;

    QAudioSource* FSource = nullptr;  // owned by the context
    QIODevice* FIo = nullptr;     // set while recording
    QTimer* FTimer = nullptr;

    std::mutex FLock;  // guards FQueue
    TAudioBufferQueue<TQueued> FQueue;
    std::int64_t FBytes = 0;  // stream thread: bytes recorded since the open or the last reset
    std::vector<TDone> FDoneScratch;  // stream thread: the buffers a call hands back, storage reused
    std::atomic<std::int64_t> FFrames{0};
};

}  // namespace

int TQtMultimediaAudioSystem::InputDeviceCount()
{
    return static_cast<int>(QMediaDevices::audioInputs().size());
}

int TQtMultimediaAudioSystem::GetInputDeviceCaps(int deviceId, TAudioInputCaps& caps)
{
    QAudioDevice device;
    if (const int result = FindDevice(true, deviceId, device))
        return result;
    DescribeQtAudioDevice(device, caps);
    caps.Formats = QueryInputStandardFormats(*this, deviceId);
    return aeOk;
}

int TQtMultimediaAudioSystem::OpenInput(int deviceId, const TAudioFormat& format, bool queryOnly, TAudioInputCallback callback,
                              std::unique_ptr<TAudioInputStream>& stream)
{
    QAudioDevice device;
    if (const int result = FindDeviceFor(true, deviceId, format, device))
        return result;
    if (queryOnly)
        return aeOk;
    auto s = std::make_unique<TQtInputStream>(FLive, device, format, callback);
    if (const int result = s->Open(); result != aeOk)
        return result;
    stream = std::move(s);
    if (callback)
        callback(TAudioNotify::Opened, 0, 0);
    return aeOk;
}
