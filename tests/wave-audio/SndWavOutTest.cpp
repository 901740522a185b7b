// The wave-out device: a wave file played through the test device on its
// virtual clock (protocol, positions, loops, failures, both callback modes),
// and through the real back end when a sound server answers.

#include "ApplicationException.h"
#include "MultimediaModule.h"
#include "QtAudioDevice.h"
#include "SndWavOut.h"
#include "SndWave.h"
#include "TestAudioDevice.h"
#include "TestSupport.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtWidgets/QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace {

// Frame i of the test waves holds i in every 16-bit sample (low 16 bits
// left, high 16 bits right for stereo), so any slice of what was played
// tells where it came from.
QByteArray PatternPcm(int frames, int channels)
{
    QByteArray data(frames * channels * 2, '\0');
    auto* p = reinterpret_cast<unsigned char*>(data.data());
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) {
            const std::uint32_t v = c == 0 ? (static_cast<std::uint32_t>(i) & 0xFFFF) : (static_cast<std::uint32_t>(i) >> 16);
            *p++ = static_cast<unsigned char>(v & 0xFF);
            *p++ = static_cast<unsigned char>(v >> 8);
        }
    return data;
}

void Put32(QByteArray& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Put16(QByteArray& b, std::uint16_t v)
{
    b.append(static_cast<char>(v & 0xFF));
    b.append(static_cast<char>(v >> 8));
}

// A canonical 16-bit PCM WAV file.
bool WriteWave(const QString& path, const QByteArray& pcm, std::uint32_t rate, std::uint16_t channels)
{
    QByteArray b("RIFF");
    Put32(b, static_cast<std::uint32_t>(36 + pcm.size()));
    b.append("WAVEfmt ");
    Put32(b, 16);
    Put16(b, 1);
    Put16(b, channels);
    Put32(b, rate);
    Put32(b, rate * channels * 2);
    Put16(b, static_cast<std::uint16_t>(channels * 2));
    Put16(b, 16);
    b.append("data");
    Put32(b, static_cast<std::uint32_t>(pcm.size()));
    b.append(pcm);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(b) == b.size();
}

void PumpEvents()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// Waits until done() holds, handling this thread's events meanwhile: woken by
// every event posted here and by every change the device reports from its
// driver or worker thread. The deadline only guards against a hang.
bool WaitUntil(TSndWaveOut& device, const std::function<bool()>& done, int timeoutMs)
{
    QObject waker;
    device.SetChangeNotifier([&waker] { QCoreApplication::postEvent(&waker, new QEvent(QEvent::User)); });
    const bool ok = RunEventsUntil(done, timeoutMs);
    // No call reaches the waker once this returns; what it had posted goes with it.
    device.SetChangeNotifier({});
    return ok;
}

// Counts the device's events.
struct TEvents {
    int Error = 0, Open = 0, Start = 0, Pause = 0, Restart = 0, Stop = 0, Close = 0, Looping = 0, Filled = 0;

    void Hook(TSndWaveOut& wo)
    {
        wo.OnError = [this](QObject*) { ++Error; };
        wo.OnOpen = [this](QObject*) { ++Open; };
        wo.OnStart = [this](QObject*) { ++Start; };
        wo.OnPause = [this](QObject*) { ++Pause; };
        wo.OnRestart = [this](QObject*) { ++Restart; };
        wo.OnStop = [this](QObject*) { ++Stop; };
        wo.OnClose = [this](QObject*) { ++Close; };
        wo.OnLooping = [this](QObject*) { ++Looping; };
        wo.OnBufferFilled = [this](QObject*, TSndWaveHdr*) { ++Filled; };
    }
};

// A wave file linked to a wave-out on the test device (two devices).
class WaveOutTest : public ::testing::Test {
protected:
    static constexpr std::uint32_t Rate = 8000;  // 16-bit mono: 16 bytes per millisecond

    void SetUp() override
    {
        SetAudioSystem(&System);
        ASSERT_TRUE(Dir.isValid());
        SetApplicationExceptionHandler([this](const QString& m) { AppErrors << m; });
    }
    void TearDown() override
    {
        Out.reset();
        File.reset();
        SetApplicationExceptionHandler({});
        SetAudioSystem(nullptr);
    }

    // Makes the chain over a wave of frames frames (mono unless channels).
    void MakeChain(int frames, std::uint32_t rate = Rate, std::uint16_t channels = 1, TSndCBMode mode = cmWindow)
    {
        Out.reset();
        File.reset();
        Pcm = PatternPcm(frames, channels);
        const QString path = Dir.filePath(QStringLiteral("t%1.wav").arg(++FileCount));
        ASSERT_TRUE(WriteWave(path, Pcm, rate, channels));
        Out = std::make_unique<TSndWaveOut>();
        File = std::make_unique<TSndWaveFile>();
        Out->SetCallBackMode(mode);
        Out->SetTimeFormat(tfSample);
        Events.Hook(*Out);
        File->SetOutput(Out.get());
        File->Wave()->SetFileName(path);
        ASSERT_NE(Out->GetPWaveFormat(), nullptr);
    }

    // Lets the virtual clock run ms milliseconds in steps, handling the
    // finished buffers after each step.
    void Play(int ms, int step = 5)
    {
        for (int t = 0; t < ms; t += step) {
            System.AdvanceMs(std::min(step, ms - t));
            Settle();
        }
    }
    // Runs the finished-buffer handlers (GUI thread or worker) until idle.
    void Settle()
    {
        for (int i = 0; i < 3; ++i) {
            PumpEvents();
            WaitUntil(*Out, [this] { return !Out->WorkerBusy(); }, 2000);
        }
        PumpEvents();
    }
    QByteArray Frames(int from, int to) const { return Pcm.mid(from * 2, (to - from) * 2); }

    TTestAudioSystem System{2};
    QTemporaryDir Dir;
    QByteArray Pcm;
    std::unique_ptr<TSndWaveOut> Out;
    std::unique_ptr<TSndWaveFile> File;
    TEvents Events;
    QStringList AppErrors;
    int FileCount = 0;
};

// ------------------------------------------------------------ properties

TEST_F(WaveOutTest, PropertyLimitsAndDeviceIds)
{
    TSndWaveOut wo;
    EXPECT_EQ(wo.NumBuffers(), 10);
    EXPECT_EQ(wo.BufferSize(), 2048);
    EXPECT_EQ(wo.CallBackMode(), cmWindow);
    EXPECT_EQ(wo.TimeFormat(), tfByte);
    EXPECT_EQ(wo.State(), dsClosed);
    wo.SetNumBuffers(1);
    EXPECT_EQ(wo.NumBuffers(), 10);
    wo.SetNumBuffers(1000);
    EXPECT_EQ(wo.NumBuffers(), 500);
    wo.SetBufferSize(10);
    EXPECT_EQ(wo.BufferSize(), 32);
    EXPECT_EQ(wo.ProductName(), QStringLiteral("Test Output 0"));

    wo.SetDeviceID(MapperId);
    EXPECT_EQ(wo.DeviceID(), -1);
    wo.SetDeviceID(5);
    EXPECT_EQ(wo.DeviceID(), InvalidId);
    EXPECT_EQ(wo.ProductName(), QStringLiteral("No wave audio playing device found"));

    const TWaveFormatEx pcm = PcmFormat(16, 2, 44100);
    wo.SetPWaveFormat(&pcm);
    int errors = 0;
    wo.OnError = [&](QObject*) { ++errors; };
    try {
        wo.Open();
        FAIL() << "Open with an invalid device id succeeded";
    } catch (const ESndWaveOutError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Invalid DeviceID"));
    }
    EXPECT_EQ(errors, 2);  // from the error itself and from Open's clean-up
    EXPECT_EQ(wo.State(), dsClosed);

    EXPECT_TRUE(wo.QueryFormat(1, &pcm));
    EXPECT_FALSE(wo.QueryFormat(2, &pcm));
    EXPECT_FALSE(wo.QueryFormat(0, nullptr));
    TWaveFormatEx adpcm = pcm;
    adpcm.wFormatTag = 2;
    EXPECT_FALSE(wo.QueryFormat(0, &adpcm));
}

TEST_F(WaveOutTest, PropertiesCannotChangeWhileOpen)
{
    MakeChain(4000);
    Out->Open();
    EXPECT_EQ(Out->State(), dsOpened);
    for (const auto& change : std::vector<std::function<void()>>{
             [&] { Out->SetBufferSize(4096); }, [&] { Out->SetNumBuffers(4); }, [&] { Out->SetDeviceID(1); },
             [&] { Out->SetCallBackMode(cmThread); }}) {
        try {
            change();
            ADD_FAILURE() << "a property changed while the device was open";
        } catch (const ESndWaveOutError& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Change to property while device was open"));
        }
    }
    Out->Close();
    EXPECT_EQ(Out->State(), dsClosed);
    EXPECT_EQ(Events.Close, 1);
    Out->SetNumBuffers(4);
    EXPECT_EQ(Out->NumBuffers(), 4);
}

// ------------------------------------------------------------ playing

TEST_F(WaveOutTest, PlaysTheWholeFileAndStopsByItself)
{
    MakeChain(3001);  // an odd count: the last buffer is short
    Out->Start();
    EXPECT_EQ(Out->State(), dsOpened | dsStarted);
    EXPECT_EQ(Events.Open, 1);
    EXPECT_EQ(Events.Start, 1);
    EXPECT_EQ(Out->BuffersInUse(), 3);  // 6002 bytes in 2048-byte buffers
    EXPECT_FALSE(System.AnyPaused());

    Play(500);
    EXPECT_EQ(System.Played(0), Pcm);
    EXPECT_EQ(Events.Stop, 1);
    EXPECT_EQ(Out->State(), dsOpened);  // stopped, still open
    EXPECT_EQ(Events.Error, 0);
    EXPECT_EQ(Events.Filled, 3);

    // A second start plays it again from the start.
    System.ClearPlayed();
    Out->Start();
    Play(500);
    EXPECT_EQ(System.Played(0), Pcm);
    Out->Close();
    EXPECT_EQ(System.OpenStreamCount(), 0);
}

TEST_F(WaveOutTest, RefillsTheRingFromTheSourceInOrder)
{
    MakeChain(40000);  // 5 s, 80000 bytes
    Out->SetNumBuffers(4);
    Out->SetBufferSize(1000);
    Out->Start();
    EXPECT_EQ(Out->QueuedBuffers(), 4);
    Play(1000);
    EXPECT_EQ(System.Played(0), Frames(0, 8000));
    EXPECT_EQ(Out->QueuedBuffers(), 4);
    EXPECT_EQ(Out->GetPosition(), 8000);
    Play(4100);
    EXPECT_EQ(System.Played(0), Pcm);
    EXPECT_EQ(Events.Stop, 1);
}

TEST_F(WaveOutTest, PositionAfterOneSecondAndAfterAReset)
{
    MakeChain(44100 * 3, 44100, 2);
    Out->SetTimeFormat(tfMillisecond);
    Out->Start();
    Play(1000);
    EXPECT_EQ(Out->GetPosition(), 1000);
    Out->SetTimeFormat(tfSample);
    EXPECT_EQ(Out->GetPosition(), 44100);
    Out->SetTimeFormat(tfByte);
    EXPECT_EQ(Out->GetPosition(), 44100 * 4);

    Out->SetTimeFormat(tfMillisecond);
    Out->Pause();
    File->Wave()->SetPosition(0);
    Out->Reset();
    EXPECT_EQ(Out->GetPosition(), 0);
    Out->Restart();
    Play(250);
    EXPECT_EQ(Out->GetPosition(), 250);
    Out->Stop();
    EXPECT_EQ(Out->State(), dsOpened);
}

TEST_F(WaveOutTest, PauseHoldsPlaybackAndRestartContinues)
{
    MakeChain(8000);
    Out->Start();
    Play(100);
    Out->Pause();
    EXPECT_EQ(Out->State(), dsOpened | dsStarted | dsPaused);
    EXPECT_EQ(Events.Pause, 1);
    Play(300);
    EXPECT_EQ(System.Played(0), Frames(0, 800));
    EXPECT_EQ(Out->GetPosition(), 800);
    Out->Restart();
    EXPECT_EQ(Out->State(), dsOpened | dsStarted);
    EXPECT_EQ(Events.Restart, 1);
    Play(1100);
    EXPECT_EQ(System.Played(0), Pcm);
    EXPECT_EQ(Events.Stop, 1);
}

TEST_F(WaveOutTest, SeekPlaysFromTheNewPositionWithoutAStaleBuffer)
{
    // The player's seek: Pause, position the wave, Reset, Restart.
    struct TCase {
        int Before;  // ms played before the seek
        int To;      // frame sought to
    };
    for (const TCase c : {TCase{100, 6000}, TCase{300, 200}, TCase{0, 7999}, TCase{250, 0}}) {
        SCOPED_TRACE(testing::Message() << "played " << c.Before << " ms, seek to " << c.To);
        System.ClearPlayed();
        MakeChain(8000);
        Out->Start();
        Play(c.Before);
        Out->Pause();
        File->Wave()->SetPosition(c.To);
        Out->Reset();
        EXPECT_EQ(Out->State(), dsOpened | dsStarted | dsPaused);
        Play(50);  // still paused: nothing plays
        Out->Restart();
        Play(1200);
        EXPECT_EQ(System.Played(0), Frames(0, c.Before * 8) + Frames(c.To, 8000));
        EXPECT_EQ(Events.Stop, 1);
        EXPECT_EQ(Events.Error, 0);
        Events = TEvents();
    }
}

TEST_F(WaveOutTest, PauseBeforeStartQueuesSilently)
{
    MakeChain(800);
    Out->Pause();  // opens, paused, not started
    EXPECT_EQ(Out->State(), dsOpened | dsPaused);
    Out->Start();
    EXPECT_EQ(Out->State(), dsOpened | dsStarted | dsPaused);
    Play(200);
    EXPECT_TRUE(System.Played(0).isEmpty());
    Out->Restart();
    Play(200);
    EXPECT_EQ(System.Played(0), Pcm);
}

TEST_F(WaveOutTest, LoopCountTwoPlaysTheRangeThreeTimes)
{
    // The wave file reports every wrap; the device reports a wrap when the
    // buffer that holds it comes back while the source still has more (a
    // range several rings long: every wrap).
    struct TCase {
        int Frames;
        int DeviceLoopings;  // -1: not checked
    };
    for (const TCase c : {TCase{1000, -1}, TCase{6000, 2}}) {
        SCOPED_TRACE(c.Frames);
        System.ClearPlayed();
        Events = TEvents();
        MakeChain(c.Frames);
        int fileLoopings = 0;
        File->OnLooping = [&](QObject*) { ++fileLoopings; };
        Out->SetNumBuffers(4);
        Out->SetBufferSize(1024);
        Out->SetLooping(true);
        Out->SetLoopCount(2);
        Out->Start();
        Play(c.Frames * 3 / 8 + 100);
        EXPECT_EQ(System.Played(0), Pcm + Pcm + Pcm);
        EXPECT_EQ(fileLoopings, 2);
        if (c.DeviceLoopings >= 0) {
            EXPECT_EQ(Events.Looping, c.DeviceLoopings);
        }
        EXPECT_EQ(Events.Stop, 1);
        EXPECT_EQ(Events.Error, 0);
    }
}

TEST_F(WaveOutTest, LoopCountZeroLoopsUntilStopped)
{
    MakeChain(2000);
    Out->SetNumBuffers(4);
    Out->SetBufferSize(512);
    Out->SetLooping(true);
    Out->SetTimeFormat(tfSample);
    Out->Start();
    Play(1600);  // 12800 frames: six passes and some
    EXPECT_EQ(Events.Stop, 0);
    EXPECT_GE(Events.Looping, 5);
    const QByteArray played = System.Played(0);
    ASSERT_EQ(played.size(), 12800 * 2);
    for (int pass = 0; pass < 6; ++pass)
        EXPECT_EQ(played.mid(pass * 4000, 4000), Pcm) << "pass " << pass;
    // The position counts from the last restart of the loop.
    EXPECT_LT(Out->GetPosition(), 800 + 4 * 256);
    Out->Stop();
    EXPECT_EQ(Events.Stop, 1);
    EXPECT_EQ(Out->State(), dsOpened);
}

TEST_F(WaveOutTest, ABufferMessageLeftFromBeforeAStopIsNotTakenForTheNextStart)
{
    // Exactly four buffers of sound: the source runs dry with the start.
    MakeChain(2000);
    Out->SetNumBuffers(4);
    Out->SetBufferSize(1000);
    Out->Start();
    System.AdvanceMs(70);  // the first buffer comes back; its message waits
    Out->Stop();
    Out->Start();           // in the same turn of the event loop, before it ran
    EXPECT_EQ(Out->BuffersInUse(), 4);
    std::vector<TSndWaveHdr*> ready;
    Out->OnBufferReady = [&](QObject*, TSndWaveHdr* hdr) { ready.push_back(hdr); };
    Play(300);
    // Each buffer of the new start is handled once, in queue order.
    ASSERT_EQ(ready.size(), 4u);
    for (std::size_t i = 1; i < ready.size(); ++i)
        EXPECT_EQ(ready[i - 1]->wh_NextHdr, ready[i]);
    EXPECT_EQ(Events.Stop, 2);
    EXPECT_EQ(Events.Error, 0);
    EXPECT_EQ(Out->State(), dsOpened);
}

TEST_F(WaveOutTest, ShortAndEmptySources)
{
    MakeChain(100);  // less than one buffer
    Out->Start();
    EXPECT_EQ(Out->BuffersInUse(), 1);
    EXPECT_EQ(Events.Start, 1);
    Play(50);
    EXPECT_EQ(System.Played(0), Pcm);
    EXPECT_EQ(Events.Stop, 1);
    EXPECT_EQ(Out->State(), dsOpened);

    MakeChain(0);
    try {
        Out->Start();
        FAIL() << "an empty source started";
    } catch (const ESndWaveOutError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("WaveOutStart:\n\rUnable to start device"));
    }
    EXPECT_GE(Events.Error, 1);
    EXPECT_EQ(Out->State(), dsClosed);
    EXPECT_EQ(System.OpenStreamCount(), 0);
}

TEST_F(WaveOutTest, StopAndCloseFromABufferHandlerCompleteAfterIt)
{
    MakeChain(8000);
    int ready = 0;
    Out->OnBufferReady = [&](QObject*, TSndWaveHdr*) {
        if (++ready == 2) {
            Out->Stop();
            EXPECT_EQ(Out->State() & dsStarted, dsStarted);  // not yet
            Out->Close();
            EXPECT_NE(Out->State(), dsClosed);  // not yet
        }
    };
    Out->Start();
    Play(400);
    EXPECT_EQ(ready, 2);
    EXPECT_EQ(Events.Stop, 1);
    EXPECT_EQ(Events.Close, 1);
    EXPECT_EQ(Out->State(), dsClosed);
    EXPECT_EQ(System.OpenStreamCount(), 0);
    EXPECT_EQ(Events.Error, 0);
}

TEST_F(WaveOutTest, VolumeThroughTheDeviceHandle)
{
    MakeChain(800);
    Out->Open();
    ASSERT_NE(Out->Handle(), nullptr);
    ASSERT_EQ(Out->Handle()->SetVolume(TAudioVolume{0, 0}), aeOk);
    Out->Start();
    Play(200);
    EXPECT_EQ(System.Played(0), QByteArray(Pcm.size(), '\0'));
    TAudioVolume v;
    ASSERT_EQ(System.GetOutputVolume(0, v), aeOk);
    EXPECT_EQ(v.Left, 0);
}

// ------------------------------------------------------------ failures

TEST_F(WaveOutTest, EveryDeviceFailureGivesTheDevicesErrorAndOnError)
{
    const QString drv = QStringLiteral("\n\r");
    struct TCase {
        const char* Name;
        std::function<void(TTestAudioSystem&)> Arrange;
        QString Message;
    };
    const std::vector<TCase> cases = {
        {"no device", [](TTestAudioSystem& s) { s.SetDeviceCount(0); }, "No wave audio playing device found"},
        {"format refused", [](TTestAudioSystem& s) { s.SetRefuseFormats(true); },
         "WaveOutOpen:" + drv + "The actual device can''t play this format"},
        {"open refused", [](TTestAudioSystem& s) { s.SetFault(TTestAudioCall::Open, aeAllocated); },
         "WaveOutOpen:" + drv + AudioErrorText(aeAllocated)},
        {"open refused without text", [](TTestAudioSystem& s) { s.SetFault(TTestAudioCall::Open, 77); },
         "WaveOutOpen:" + drv + "Specified error number is out of range (unknown error)"},
        {"write error", [](TTestAudioSystem& s) { s.SetFault(TTestAudioCall::Write, aeNoMem); },
         "WaveOutWrite:" + drv + AudioErrorText(aeNoMem)},
        {"pause error", [](TTestAudioSystem& s) { s.SetFault(TTestAudioCall::Pause, aeError); },
         "WaveOutPause:" + drv + AudioErrorText(aeError)},
        {"restart error", [](TTestAudioSystem& s) { s.SetFault(TTestAudioCall::Restart, aeNotSupported); },
         "WaveOutRestart:" + drv + AudioErrorText(aeNotSupported)},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTestAudioSystem system(2);
        SetAudioSystem(&system);
        c.Arrange(system);
        MakeChain(4000);
        try {
            Out->Start();
            ADD_FAILURE() << "Start succeeded";
        } catch (const ESndWaveOutError& e) {
            EXPECT_EQ(e.Message(), c.Message);
        }
        EXPECT_GE(Events.Error, 1);
        EXPECT_EQ(Out->State(), dsClosed);
        EXPECT_EQ(Out->Handle(), nullptr);
        EXPECT_EQ(system.OpenStreamCount(), 0);
        Out.reset();
        File.reset();
        Events = TEvents();
        SetAudioSystem(&System);
    }
}

TEST_F(WaveOutTest, FailuresWhilePlaying)
{
    const QString drv = QStringLiteral("\n\r");
    // Position, reset and pause failures raise from the call itself.
    MakeChain(8000);
    Out->Start();
    Play(20);
    System.SetFault(TTestAudioCall::GetPosition, aeError);
    try {
        Out->GetPosition();
        ADD_FAILURE() << "GetPosition succeeded";
    } catch (const ESndWaveOutError& e) {
        EXPECT_EQ(e.Message(), "WaveOutGetPosition:" + drv + AudioErrorText(aeError));
    }
    EXPECT_EQ(Events.Error, 1);
    System.ClearFaults();

    System.SetFault(TTestAudioCall::Reset, aeNotEnabled);
    try {
        Out->Pause();
        File->Wave()->SetPosition(0);
        Out->Reset();
        ADD_FAILURE() << "Reset succeeded";
    } catch (const ESndWaveOutError& e) {
        EXPECT_EQ(e.Message(), "WaveOutReset:" + drv + AudioErrorText(aeNotEnabled));
    }
    EXPECT_GE(Events.Error, 2);
    EXPECT_EQ(Out->State(), dsClosed);
    System.ClearFaults();

    // A write that fails while refilling (inside the finished-buffer handler)
    // closes the device and reaches the application's exception handler.
    Events = TEvents();
    MakeChain(40000);
    Out->Start();
    System.SetFault(TTestAudioCall::Write, aeNoMem);
    Play(200);
    EXPECT_GE(Events.Error, 1);
    EXPECT_EQ(Out->State(), dsClosed);
    ASSERT_FALSE(AppErrors.isEmpty());
    EXPECT_EQ(AppErrors.first(), "WaveOutWrite:" + drv + AudioErrorText(aeNoMem));
    System.ClearFaults();

    // A close the driver refuses still closes the device, reported through OnError only.
    Events = TEvents();
    MakeChain(800);
    Out->Open();
    System.SetFault(TTestAudioCall::Close, aeError);
    Out->Close();  // passes nothing on
    EXPECT_EQ(Events.Error, 1);
    EXPECT_EQ(Out->State(), dsClosed);
    EXPECT_EQ(Out->Handle(), nullptr);
    System.ClearFaults();
}

TEST_F(WaveOutTest, DestroyingAPlayingDeviceClosesItQuietly)
{
    for (const TSndCBMode mode : {cmWindow, cmThread}) {
        SCOPED_TRACE(mode == cmWindow ? "window mode" : "thread mode");
        Events = TEvents();
        MakeChain(40000, Rate, 1, mode);
        Out->Start();
        Play(50);
        System.AdvanceMs(20);  // finished buffers still waiting for their handler
        Out.reset();
        PumpEvents();
        EXPECT_EQ(System.OpenStreamCount(), 0);
        EXPECT_EQ(Events.Stop, 0);
        EXPECT_EQ(Events.Close, 0);
        EXPECT_EQ(Events.Error, 0);
    }
}

// ------------------------------------------------------------ worker thread

TEST_F(WaveOutTest, ThreadModePlaysSeeksAndLoops)
{
    MakeChain(8000, Rate, 1, cmThread);
    Out->SetNumBuffers(25);
    Out->SetBufferSize(256);
    Out->Start();
    Play(200);
    Out->Pause();
    File->Wave()->SetPosition(5000);
    Out->Reset();
    Out->Restart();
    Play(500);
    EXPECT_EQ(System.Played(0), Frames(0, 1600) + Frames(5000, 8000));
    ASSERT_TRUE(WaitUntil(*Out, [&] { return Events.Stop == 1; }, 2000));
    EXPECT_EQ(Out->State(), dsOpened);
    Out->Close();
    EXPECT_EQ(Out->State(), dsClosed);

    System.ClearPlayed();
    Events = TEvents();
    MakeChain(4000, Rate, 1, cmThread);
    Out->SetNumBuffers(4);
    Out->SetBufferSize(1024);
    Out->SetLooping(true);
    Out->SetLoopCount(2);
    Out->Start();
    Play(1600);
    EXPECT_EQ(System.Played(0), Pcm + Pcm + Pcm);
    EXPECT_TRUE(WaitUntil(*Out, [&] { return Events.Stop == 1; }, 2000));
    EXPECT_EQ(Events.Looping, 2);
    EXPECT_EQ(Events.Error, 0);
}

TEST_F(WaveOutTest, CallbackModeIsNotTakenAndTheModeStays)
{
    TSndWaveOut wo;
    wo.SetCallBackMode(cmThread);
    bool shown = false;
    WhenModalShown([&](QWidget* box) {
        shown = true;
        box->close();
    });
    wo.SetCallBackMode(cmCallback);
    EXPECT_TRUE(shown);
    EXPECT_EQ(wo.CallBackMode(), cmThread);
}

// ------------------------------------------------------------ real back end

// The frames handed to the driver, and the positions the device reports as
// each buffer comes back played: a buffer comes back only once the driver's
// position has passed its end. (Buffers that come back after the device
// has seen the end of the sound go unreported: at most the ring.)
struct TReadyPositions {
    std::mutex Lock;
    std::vector<std::int64_t> Positions;  // in the device's time format
    std::int64_t Frames = 0;              // frames of the buffers back so far
    std::int64_t Filled = 0;              // frames handed to the driver

    void Hook(TSndWaveOut& wo, int blockAlign)
    {
        wo.OnBufferFilled = [this, blockAlign](QObject*, TSndWaveHdr* hdr) {
            std::lock_guard<std::mutex> lock(Lock);
            Filled += hdr->dwBytesRecorded / blockAlign;
        };
        wo.OnBufferReady = [this, &wo, blockAlign](QObject*, TSndWaveHdr* hdr) {
            const std::int64_t pos = wo.GetPosition();
            std::lock_guard<std::mutex> lock(Lock);
            Frames += hdr->dwBytesRecorded / blockAlign;
            Positions.push_back(pos);
            // Never behind what came back (a buffer is done once played).
            EXPECT_GE(pos, Frames);
        };
    }
    void Clear()
    {
        std::lock_guard<std::mutex> lock(Lock);
        Positions.clear();
        Frames = 0;
        Filled = 0;
    }
    std::int64_t FramesFilled()
    {
        std::lock_guard<std::mutex> lock(Lock);
        return Filled;
    }
    std::int64_t Last()
    {
        std::lock_guard<std::mutex> lock(Lock);
        return Positions.empty() ? -1 : Positions.back();
    }
    std::int64_t FramesBack()
    {
        std::lock_guard<std::mutex> lock(Lock);
        return Frames;
    }
};

TEST(WaveOutRealDeviceTest, PlaysAWaveFileToItsEnd)
{
    SetAudioSystem(nullptr);
    if (AudioSystem().OutputDeviceCount() == 0)
        GTEST_SKIP() << "no sound server answers";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("real.wav"));
    const int frames = 22050 * 4 / 10;  // 0.4 s
    ASSERT_TRUE(WriteWave(path, PatternPcm(frames, 2), 22050, 2));

    for (const TSndCBMode mode : {cmWindow, cmThread}) {
        SCOPED_TRACE(mode == cmWindow ? "window mode" : "thread mode");
        TSndWaveOut wo;
        TSndWaveFile wf;
        wo.SetCallBackMode(mode);
        wo.SetTimeFormat(tfSample);
        int stops = 0, errors = 0;
        wo.OnStop = [&](QObject*) { ++stops; };
        wo.OnError = [&](QObject*) { ++errors; };
        TReadyPositions ready;
        ready.Hook(wo, 4);
        wf.SetOutput(&wo);
        wf.Wave()->SetFileName(path);
        wo.Start();
        EXPECT_EQ(wo.State(), dsOpened | dsStarted);
        ASSERT_TRUE(WaitUntil(wo, [&] { return stops == 1; }, 10000));

        // Every frame went to the driver; what came back before the end had
        // played, the position following the sound.
        EXPECT_EQ(ready.FramesFilled(), frames);
        EXPECT_GE(ready.FramesBack(), frames - wo.NumBuffers() * wo.BufferSize() / 4);
        EXPECT_GE(ready.Last(), ready.FramesBack());
        EXPECT_LE(ready.Last(), frames);
        EXPECT_EQ(errors, 0);
        EXPECT_EQ(wo.State(), dsOpened);
        wo.Close();
        EXPECT_EQ(wo.State(), dsClosed);
    }
}

TEST(WaveOutRealDeviceTest, SeeksWhilePlaying)
{
    SetAudioSystem(nullptr);
    if (AudioSystem().OutputDeviceCount() == 0)
        GTEST_SKIP() << "no sound server answers";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("seek.wav"));
    const int frames = 44100 * 2;  // 2 s
    ASSERT_TRUE(WriteWave(path, PatternPcm(frames, 1), 44100, 1));
    TSndWaveOut wo;
    TSndWaveFile wf;
    wo.SetTimeFormat(tfSample);
    int stops = 0;
    wo.OnStop = [&](QObject*) { ++stops; };
    TReadyPositions ready;
    ready.Hook(wo, 2);
    wf.SetOutput(&wo);
    wf.Wave()->SetFileName(path);
    wo.Start();
    ASSERT_TRUE(WaitUntil(wo, [&] { return wo.GetPosition() >= 4410; }, 3000));
    wo.Pause();
    const int seekTo = 44100 * 17 / 10;  // 0.3 s before the end
    wf.Wave()->SetPosition(seekTo);
    ready.Clear();  // the handlers run on this thread (window mode): none is under way
    wo.Reset();
    EXPECT_EQ(wo.GetPosition(), 0);
    wo.Restart();
    ASSERT_TRUE(WaitUntil(wo, [&] { return stops == 1; }, 5000));
    // Only what was left after the seek went to the driver and played, counted from 0.
    EXPECT_EQ(ready.FramesFilled(), frames - seekTo);
    EXPECT_GE(ready.FramesBack(), frames - seekTo - wo.NumBuffers() * wo.BufferSize() / 2);
    EXPECT_GE(ready.Last(), ready.FramesBack());
    EXPECT_LE(ready.Last(), frames - seekTo);
    wo.Close();
}

// The real system goes (as the guard of a main makes it go) while a device
// still plays: the stream is closed under the device, which then closes
// without hanging and reports the driver's refusal.
TEST(WaveOutRealDeviceTest, TheSystemsEndClosesADeviceLeftPlaying)
{
    auto system = CreateQtAudioSystem();
    ASSERT_TRUE(system) << MultimediaModuleError().toStdString();
    if (system->OutputDeviceCount() == 0)
        GTEST_SKIP() << "no sound server answers";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.wav"));
    ASSERT_TRUE(WriteWave(path, PatternPcm(22050 * 5, 1), 22050, 1));  // 5 s
    for (const TSndCBMode mode : {cmWindow, cmThread}) {
        SCOPED_TRACE(mode == cmWindow ? "window mode" : "thread mode");
        if (!system)
            system = CreateQtAudioSystem();
        SetAudioSystem(system.get());
        TSndWaveOut wo;
        TSndWaveFile wf;
        wo.SetCallBackMode(mode);
        wo.SetTimeFormat(tfSample);
        // Counted on the GUI thread and on the worker.
        std::atomic<int> errors{0};
        wo.OnError = [&](QObject*) { ++errors; };
        wf.SetOutput(&wo);
        wf.Wave()->SetFileName(path);
        wo.Start();
        ASSERT_TRUE(WaitUntil(wo, [&] { return wo.GetPosition() > 0; }, 5000));

        SetAudioSystem(nullptr);
        system.reset();
        EXPECT_THROW(wo.GetPosition(), ESndWaveOutError);  // the driver: the stream is not open
        wo.Close();
        EXPECT_EQ(wo.State(), dsClosed);
        EXPECT_GE(errors, 1);
        PumpEvents();  // what the worker reported on its way out
    }
}

}  // namespace
