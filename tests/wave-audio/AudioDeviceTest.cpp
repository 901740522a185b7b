// The audio device layer: the test device's protocol, and the real back end
// playing through the sound server when one answers.

#include "AudioDevice.h"
#include "MultimediaModule.h"
#include "QtAudioDevice.h"
#include "TestAudioDevice.h"

#include <QtCore/QByteArray>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Notes every notification of a stream.
struct TRecorder {
    std::mutex Lock;
    std::condition_variable Changed;
    std::vector<std::uintptr_t> Done;
    int Opened = 0;
    int Closed = 0;

    TAudioCallback Callback()
    {
        return [this](TAudioNotify notify, std::uintptr_t tag) {
            {
                std::lock_guard<std::mutex> lock(Lock);
                if (notify == TAudioNotify::Opened)
                    ++Opened;
                else if (notify == TAudioNotify::Closed)
                    ++Closed;
                else
                    Done.push_back(tag);
            }
            Changed.notify_all();
        };
    }
    std::vector<std::uintptr_t> DoneTags()
    {
        std::lock_guard<std::mutex> lock(Lock);
        return Done;
    }
    // Waits until count buffers have come back; false if they do not
    // within a bound far above any normal run.
    bool WaitForDone(std::size_t count)
    {
        std::unique_lock<std::mutex> lock(Lock);
        return Changed.wait_for(lock, std::chrono::seconds(20), [&] { return Done.size() >= count; });
    }
};

QByteArray Ramp(int bytes, int start)
{
    QByteArray data(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        data[i] = static_cast<char>((start + i) & 0xFF);
    return data;
}

// 8 kHz, 16-bit mono: 16 bytes per millisecond.
TAudioFormat Mono16k8()
{
    TAudioFormat f;
    f.Channels = 1;
    f.SampleRate = 8000;
    f.BitsPerSample = 16;
    return f;
}

}  // namespace

TEST(TestAudioDeviceTest, PlaysBuffersInOrderOnTheVirtualClock)
{
    TTestAudioSystem system(2);
    TRecorder rec;
    std::unique_ptr<TAudioOutputStream> stream;
    ASSERT_EQ(system.OpenOutput(1, Mono16k8(), false, rec.Callback(), stream), aeOk);
    EXPECT_EQ(rec.Opened, 1);

    const QByteArray a = Ramp(160, 0), b = Ramp(320, 7), c = Ramp(16, 99);  // 10 ms, 20 ms, 1 ms
    ASSERT_EQ(stream->Write(a.constData(), 160, 1), aeOk);
    ASSERT_EQ(stream->Write(b.constData(), 320, 2), aeOk);
    ASSERT_EQ(stream->Write(c.constData(), 16, 3), aeOk);

    system.AdvanceMs(15);  // all of a, a quarter of b
    EXPECT_EQ(rec.DoneTags(), (std::vector<std::uintptr_t>{1}));
    std::int64_t pos = -1;
    ASSERT_EQ(stream->GetPosition(pos), aeOk);
    EXPECT_EQ(pos, 120);

    system.AdvanceMs(100);  // the rest; the position stands where the data ran out
    EXPECT_EQ(rec.DoneTags(), (std::vector<std::uintptr_t>{1, 2, 3}));
    ASSERT_EQ(stream->GetPosition(pos), aeOk);
    EXPECT_EQ(pos, (160 + 320 + 16) / 2);
    EXPECT_EQ(system.Played(1), a + b + c);
    EXPECT_TRUE(system.Played(0).isEmpty());

    EXPECT_EQ(stream->Close(), aeOk);
    EXPECT_EQ(rec.Closed, 1);
    EXPECT_EQ(stream->Write(a.constData(), 16, 4), aeInvalidHandle);
}

TEST(TestAudioDeviceTest, PauseHoldsAndResetReturnsEveryBufferAndZeroesThePosition)
{
    TTestAudioSystem system(1);
    TRecorder rec;
    std::unique_ptr<TAudioOutputStream> stream;
    ASSERT_EQ(system.OpenOutput(0, Mono16k8(), false, rec.Callback(), stream), aeOk);
    const QByteArray a = Ramp(160, 0), b = Ramp(160, 50);
    stream->Write(a.constData(), 160, 10);
    stream->Write(b.constData(), 160, 11);

    system.AdvanceMs(5);
    ASSERT_EQ(stream->Pause(), aeOk);
    system.AdvanceMs(50);
    std::int64_t pos = 0;
    stream->GetPosition(pos);
    EXPECT_EQ(pos, 40);
    EXPECT_TRUE(rec.DoneTags().empty());

    EXPECT_EQ(stream->Close(), aeStillPlaying);
    ASSERT_EQ(stream->Reset(), aeOk);
    EXPECT_EQ(rec.DoneTags(), (std::vector<std::uintptr_t>{10, 11}));
    stream->GetPosition(pos);
    EXPECT_EQ(pos, 0);
    EXPECT_EQ(system.Played(0), a.left(80));

    // Still paused after the reset: a new buffer waits for Restart.
    stream->Write(b.constData(), 160, 12);
    system.AdvanceMs(10);
    EXPECT_EQ(system.Played(0).size(), 80);
    stream->Restart();
    system.AdvanceMs(10);
    EXPECT_EQ(system.Played(0), a.left(80) + b);
    EXPECT_EQ(stream->Close(), aeOk);
}

TEST(TestAudioDeviceTest, FaultsAndRefusals)
{
    TTestAudioSystem system(2);
    TRecorder rec;
    std::unique_ptr<TAudioOutputStream> stream;

    EXPECT_EQ(system.OpenOutput(2, Mono16k8(), true, rec.Callback(), stream), aeBadDeviceId);
    EXPECT_EQ(system.OpenOutput(AudioDefaultDevice, Mono16k8(), true, rec.Callback(), stream), aeOk);

    TAudioFormat bad = Mono16k8();
    bad.BitsPerSample = 24;
    EXPECT_EQ(system.OpenOutput(0, bad, true, rec.Callback(), stream), aeBadFormat);

    system.SetRefuseFormats(true);
    EXPECT_EQ(system.OpenOutput(0, Mono16k8(), true, rec.Callback(), stream), aeBadFormat);
    system.SetRefuseFormats(false);

    system.SetFault(TTestAudioCall::Open, aeAllocated);
    EXPECT_EQ(system.OpenOutput(0, Mono16k8(), true, rec.Callback(), stream), aeOk);  // a query still passes
    EXPECT_EQ(system.OpenOutput(0, Mono16k8(), false, rec.Callback(), stream), aeAllocated);
    EXPECT_FALSE(stream);
    EXPECT_EQ(rec.Opened, 0);
    system.ClearFaults();

    ASSERT_EQ(system.OpenOutput(0, Mono16k8(), false, rec.Callback(), stream), aeOk);
    system.SetFault(TTestAudioCall::Write, aeNoMem);
    const QByteArray a = Ramp(32, 0);
    EXPECT_EQ(stream->Write(a.constData(), 32, 1), aeNoMem);
    EXPECT_EQ(system.QueuedBuffers(), 0);
    system.ClearFaults();

    system.SetDeviceCount(0);
    EXPECT_EQ(system.OutputDeviceCount(), 0);
    TAudioDeviceCaps caps;
    EXPECT_EQ(system.GetOutputDeviceCaps(0, caps), aeNoDriver);
    EXPECT_EQ(system.OpenOutput(AudioDefaultDevice, Mono16k8(), true, rec.Callback(), stream), aeNoDriver);
}

TEST(AudioDeviceTest, ErrorTextsAndVolumeScaling)
{
    EXPECT_FALSE(AudioErrorText(aeBadFormat).isEmpty());
    EXPECT_TRUE(AudioErrorText(12345).isEmpty());

    TAudioFormat f;
    f.Channels = 2;
    f.BitsPerSample = 16;
    const std::int16_t in[4] = {1000, -1000, 32767, -32768};
    std::int16_t buf[4];
    std::memcpy(buf, in, sizeof buf);
    ApplyAudioVolume(buf, sizeof buf, f, TAudioVolume{0xFFFF, 0xFFFF});
    EXPECT_EQ(std::memcmp(buf, in, sizeof buf), 0);
    ApplyAudioVolume(buf, sizeof buf, f, TAudioVolume{0x8000, 0});
    EXPECT_NEAR(buf[0], 500, 1);
    EXPECT_EQ(buf[1], 0);
    EXPECT_NEAR(buf[2], 16384, 1);
    EXPECT_EQ(buf[3], 0);

    f.BitsPerSample = 8;
    unsigned char bytes[4] = {228, 28, 128, 255};
    ApplyAudioVolume(bytes, 4, f, TAudioVolume{0, 0xFFFF});
    EXPECT_EQ(bytes[0], 128);  // left silenced to the centre
    EXPECT_EQ(bytes[1], 28);   // right kept
    EXPECT_EQ(bytes[2], 128);
    EXPECT_EQ(bytes[3], 255);
}

TEST(TestAudioDeviceTest, VolumeIsKeptPerDeviceAndAppliedToWhatIsPlayed)
{
    TTestAudioSystem system(2);
    TRecorder rec;
    std::unique_ptr<TAudioOutputStream> stream;
    ASSERT_EQ(system.OpenOutput(1, Mono16k8(), false, rec.Callback(), stream), aeOk);
    ASSERT_EQ(stream->SetVolume(TAudioVolume{0, 0}), aeOk);
    TAudioVolume v;
    ASSERT_EQ(system.GetOutputVolume(1, v), aeOk);
    EXPECT_EQ(v.Left, 0);
    ASSERT_EQ(system.GetOutputVolume(0, v), aeOk);
    EXPECT_EQ(v.Left, 0xFFFF);

    const QByteArray a = Ramp(32, 1);
    stream->Write(a.constData(), 32, 1);
    system.AdvanceMs(2);
    EXPECT_EQ(system.Played(1), QByteArray(32, '\0'));
    stream->Close();
}

// ------------------------------------------------------------- real back end

namespace {
// Lets at least ms of the device's time pass, proven by an event: a second
// stream on the device plays ms of silence and hands it back.
void LetPlay(TQtAudioSystem& system, const TAudioFormat& format, int ms)
{
    TRecorder witness;
    std::unique_ptr<TAudioOutputStream> stream;
    ASSERT_EQ(system.OpenOutput(AudioDefaultDevice, format, false, witness.Callback(), stream), aeOk);
    const QByteArray silence(static_cast<qsizetype>(format.SampleRate) * format.BlockAlign() * ms / 1000,
                             format.BitsPerSample == 8 ? char(128) : '\0');
    ASSERT_EQ(stream->Write(silence.constData(), static_cast<std::uint32_t>(silence.size()), 1), aeOk);
    ASSERT_TRUE(witness.WaitForDone(1));
    EXPECT_EQ(stream->Close(), aeOk);
}
}  // namespace

TEST(QtAudioDeviceTest, PlaysGeneratedPcmToItsEnd)
{
    const auto systemOwned = CreateQtAudioSystem();
    ASSERT_TRUE(systemOwned) << MultimediaModuleError().toStdString();
    TQtAudioSystem& system = *systemOwned;
    if (system.OutputDeviceCount() == 0)
        GTEST_SKIP() << "no sound server answers";
    TAudioDeviceCaps caps;
    ASSERT_EQ(system.GetOutputDeviceCaps(AudioDefaultDevice, caps), aeOk);
    EXPECT_FALSE(caps.Name.isEmpty());

    TAudioFormat f;  // 22050 Hz, 16-bit stereo
    f.SampleRate = 22050;
    TRecorder rec;
    std::unique_ptr<TAudioOutputStream> stream;
    ASSERT_EQ(system.OpenOutput(AudioDefaultDevice, f, false, rec.Callback(), stream), aeOk);
    EXPECT_EQ(rec.Opened, 1);

    // 0.3 s of a 441 Hz square wave in six buffers of whole frames.
    const int frames = 6600;
    QByteArray pcm(frames * 4, '\0');
    auto* s = reinterpret_cast<std::int16_t*>(pcm.data());
    for (int i = 0; i < frames; ++i)
        s[2 * i] = s[2 * i + 1] = ((i / 25) % 2) ? 8000 : -8000;
    const int part = pcm.size() / 6;
    for (int i = 0; i < 6; ++i)
        ASSERT_EQ(stream->Write(pcm.constData() + i * part, static_cast<std::uint32_t>(part), 100 + i), aeOk);

    ASSERT_TRUE(rec.WaitForDone(6));
    EXPECT_EQ(rec.DoneTags(), (std::vector<std::uintptr_t>{100, 101, 102, 103, 104, 105}));
    std::int64_t pos = 0;
    ASSERT_EQ(stream->GetPosition(pos), aeOk);
    EXPECT_EQ(pos, frames);
    EXPECT_EQ(stream->Close(), aeOk);
    EXPECT_EQ(rec.Closed, 1);
}

TEST(QtAudioDeviceTest, PauseHoldsThePositionAndResetReturnsTheQueue)
{
    const auto systemOwned = CreateQtAudioSystem();
    ASSERT_TRUE(systemOwned) << MultimediaModuleError().toStdString();
    TQtAudioSystem& system = *systemOwned;
    if (system.OutputDeviceCount() == 0)
        GTEST_SKIP() << "no sound server answers";
    TAudioFormat f;
    f.SampleRate = 44100;
    f.Channels = 1;
    f.BitsPerSample = 8;
    TRecorder rec;
    std::unique_ptr<TAudioOutputStream> stream;
    ASSERT_EQ(system.OpenOutput(AudioDefaultDevice, f, false, rec.Callback(), stream), aeOk);
    const QByteArray second(44100, char(128));
    // 50 ms, then three seconds: paused once the first has come back, the
    // stream holds a position inside the rest.
    stream->Write(second.constData(), 2205, 0);
    for (int i = 1; i < 4; ++i)
        stream->Write(second.constData(), 44100, static_cast<std::uintptr_t>(i));

    ASSERT_TRUE(rec.WaitForDone(1));
    ASSERT_EQ(stream->Pause(), aeOk);
    std::int64_t held = 0;
    stream->GetPosition(held);
    LetPlay(system, f, 150);
    std::int64_t later = 0;
    stream->GetPosition(later);
    EXPECT_EQ(held, later);
    EXPECT_GE(held, 2205);
    EXPECT_LT(held, 2205 + 3 * 44100);

    ASSERT_EQ(stream->Reset(), aeOk);
    EXPECT_EQ(rec.DoneTags(), (std::vector<std::uintptr_t>{0, 1, 2, 3}));
    std::int64_t pos = -1;
    stream->GetPosition(pos);
    EXPECT_EQ(pos, 0);

    // Still paused: a buffer queued now plays after Restart only.
    stream->Write(second.constData(), 2205, 9);
    LetPlay(system, f, 100);  // twice the buffer's length
    EXPECT_EQ(rec.DoneTags().size(), 4u);
    stream->Restart();
    ASSERT_TRUE(rec.WaitForDone(5));
    stream->GetPosition(pos);
    EXPECT_EQ(pos, 2205);
    EXPECT_EQ(stream->Close(), aeOk);
}

// What the guard of every main does: a stream its owner left open is closed
// by its system, without notification, and its thread joined; it answers
// aeInvalidHandle from then on and is deleted later without harm, also after
// its system is gone.
TEST(QtAudioDeviceTest, TheSystemClosesTheStreamsLeftOpen)
{
    auto system = CreateQtAudioSystem();
    ASSERT_TRUE(system) << MultimediaModuleError().toStdString();
    if (system->OutputDeviceCount() == 0)
        GTEST_SKIP() << "no sound server answers";
    TAudioFormat f;
    f.SampleRate = 8000;
    f.Channels = 1;
    TRecorder rec;
    std::unique_ptr<TAudioOutputStream> playing;
    std::unique_ptr<TAudioOutputStream> idle;
    ASSERT_EQ(system->OpenOutput(AudioDefaultDevice, f, false, rec.Callback(), playing), aeOk);
    ASSERT_EQ(system->OpenOutput(AudioDefaultDevice, f, false, rec.Callback(), idle), aeOk);
    EXPECT_EQ(system->LiveStreamCount(), 2);
    const QByteArray sound(16000 * 5, '\0');  // 5 s: still queued when the system closes it
    ASSERT_EQ(playing->Write(sound.constData(), static_cast<std::uint32_t>(sound.size()), 7), aeOk);

    system->CloseAllStreams();
    EXPECT_EQ(rec.Closed, 0);
    EXPECT_TRUE(rec.DoneTags().empty());
    std::int64_t pos = 0;
    EXPECT_EQ(playing->GetPosition(pos), aeInvalidHandle);
    EXPECT_EQ(playing->Write(sound.constData(), 2, 8), aeInvalidHandle);
    EXPECT_EQ(playing->Pause(), aeInvalidHandle);
    EXPECT_EQ(playing->Restart(), aeInvalidHandle);
    EXPECT_EQ(playing->Reset(), aeInvalidHandle);
    EXPECT_EQ(idle->Close(), aeInvalidHandle);
    TAudioVolume v;
    EXPECT_EQ(idle->GetVolume(v), aeInvalidHandle);
    EXPECT_EQ(system->LiveStreamCount(), 2);  // closed, but not yet deleted by their owner

    idle.reset();
    EXPECT_EQ(system->LiveStreamCount(), 1);
    system.reset();  // the system goes first: the stream leaves its list all the same
    playing.reset();
    EXPECT_EQ(rec.Closed, 0);
}

// Streams closed or deleted from several threads at once while the system
// closes what is left: each ends once, nothing is used after its close.
TEST(QtAudioDeviceTest, ClosingRacesWithTheSystemsShutdown)
{
    const auto probeOwned = CreateQtAudioSystem();
    ASSERT_TRUE(probeOwned) << MultimediaModuleError().toStdString();
    TQtAudioSystem& probe = *probeOwned;
    if (probe.OutputDeviceCount() == 0)
        GTEST_SKIP() << "no sound server answers";
    TAudioFormat f;
    f.SampleRate = 8000;
    f.Channels = 1;
    const QByteArray sound(1600, '\0');
    for (int round = 0; round < 5; ++round) {
        auto system = CreateQtAudioSystem();
        ASSERT_TRUE(system) << MultimediaModuleError().toStdString();
        std::vector<std::unique_ptr<TAudioOutputStream>> streams(4);
        TRecorder rec;
        for (auto& s : streams) {
            ASSERT_EQ(system->OpenOutput(AudioDefaultDevice, f, false, rec.Callback(), s), aeOk);
            ASSERT_EQ(s->Write(sound.constData(), static_cast<std::uint32_t>(sound.size()), 1), aeOk);
        }
        std::vector<std::thread> threads;
        for (auto& s : streams)
            threads.emplace_back([&s, &sound] {
                // Writing and stopping until the stream is closed under it, then deleting it.
                while (s->Write(sound.constData(), static_cast<std::uint32_t>(sound.size()), 2) == aeOk)
                    s->Reset();
                s.reset();
            });
        system->CloseAllStreams();
        for (std::thread& t : threads)
            t.join();
        EXPECT_EQ(system->LiveStreamCount(), 0);
        EXPECT_EQ(rec.Closed, 0);
    }
}
