// The wave-in device on the test system's input devices: properties, the
// protocol of buffers, stops that meet a buffer being handled, failures of
// every driver call, and the input side of the test system itself.

#include "ApplicationException.h"
#include "MultimediaModule.h"
#include "QtAudioDevice.h"
#include "SndWavIn.h"
#include "SndWaveIO.h"
#include "RecordingSupport.h"
#include "TestAudioDevice.h"
#include "TestSupport.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QStringList>
#include <QtCore/QThread>
#include <QtWidgets/QWidget>

#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace {

// Bytes 0, 1, 2, ... 255, 0, ...: any slice tells where it came from.
QByteArray Ramp(int bytes, int start = 0)
{
    QByteArray data(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        data[i] = static_cast<char>((start + i) & 0xFF);
    return data;
}

// The message of the ESndWaveInError that action raises; "<none>" without one.
QString ErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const ESndWaveInError& e) {
        return e.Message();
    }
    return QStringLiteral("<none>");
}

// Counts the device's events and keeps what it passed on (any thread).
struct TRecording {
    std::mutex Lock;
    int Error = 0, Open = 0, Start = 0, Pause = 0, Restart = 0, Stop = 0, Close = 0, Ready = 0;
    QByteArray Data;
    QThread* StopThread = nullptr;

    void Hook(TSndCustomWaveIn& wi)
    {
        wi.OnError = [this](QObject*) { ++Error; };
        wi.OnOpen = [this](QObject*) { ++Open; };
        wi.OnStart = [this](QObject*) { ++Start; };
        wi.OnPause = [this](QObject*) { ++Pause; };
        wi.OnRestart = [this](QObject*) { ++Restart; };
        wi.OnStop = [this](QObject*) {
            ++Stop;
            StopThread = QThread::currentThread();
        };
        wi.OnClose = [this](QObject*) { ++Close; };
        wi.OnBufferReady = [this](QObject*, TSndWaveHdr* hdr) {
            std::lock_guard<std::mutex> lock(Lock);
            ++Ready;
            Data.append(hdr->lpData, hdr->dwBytesRecorded);
        };
    }
    QByteArray Recorded()
    {
        std::lock_guard<std::mutex> lock(Lock);
        return Data;
    }
};

class WaveInTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetAudioSystem(&System);
        SetApplicationExceptionHandler([this](const QString& m) { AppErrors << m; });
    }
    void TearDown() override
    {
        SetApplicationExceptionHandler({});
        SetAudioSystem(nullptr);
    }

    // 8000 Hz, 8-bit mono: 8 bytes a millisecond; buffers of 800 bytes (100 ms).
    void SetUpSmall(TSndWaveIn& wi, TSndCBMode mode = cmWindow)
    {
        wi.SetSampleRate(8000);
        wi.SetBufferSize(800);
        wi.SetNumBuffers(4);
        wi.SetCallBackMode(mode);
        Events.Hook(wi);
    }

    TTestAudioSystem System;
    QStringList AppErrors;
    TRecording Events;
};

// ------------------------------------------------------------ properties

TEST_F(WaveInTest, PropertiesTakeTheirDefaultsAndLimits)
{
    TSndWaveIn wi;
    EXPECT_EQ(wi.NumBuffers(), 10);
    EXPECT_EQ(wi.BufferSize(), 2048);
    EXPECT_EQ(wi.CallBackMode(), cmWindow);
    EXPECT_EQ(wi.Priority(), tpHigher);
    EXPECT_EQ(wi.Mode(), mMono);
    EXPECT_EQ(wi.BitLength(), b8Bit);
    EXPECT_EQ(wi.SampleRate(), 11025);
    EXPECT_EQ(wi.TimeFormat(), tfByte);
    EXPECT_EQ(wi.MaxRecordTime(), -1);
    EXPECT_EQ(wi.State(), dsClosed);
    EXPECT_EQ(wi.DeviceID(), 0);
    EXPECT_EQ(wi.ProductName(), "Test Input 0");
    EXPECT_EQ(wi.DeviceFormats(), 0xFFFu);  // every standard format
    ASSERT_NE(wi.PWaveFormat(), nullptr);
    EXPECT_EQ(wi.PWaveFormat()->nSamplesPerSec, 11025u);

    wi.SetSampleRate(4000);
    EXPECT_EQ(wi.SampleRate(), 8000);
    EXPECT_EQ(wi.PWaveFormat()->nSamplesPerSec, 8000u);
    wi.SetSampleRate(200000);
    EXPECT_EQ(wi.SampleRate(), 100000);
    wi.SetNumBuffers(1);
    EXPECT_EQ(wi.NumBuffers(), 10);
    wi.SetNumBuffers(1000);
    EXPECT_EQ(wi.NumBuffers(), 500);
    wi.SetBufferSize(10);
    EXPECT_EQ(wi.BufferSize(), 32);
    wi.SetProductName(QStringLiteral("other"));
    EXPECT_EQ(wi.ProductName(), "Test Input 0");

    wi.SetDeviceID(MapperId);
    EXPECT_EQ(wi.DeviceID(), MapperId);
    wi.SetDeviceID(7);  // two devices
    EXPECT_EQ(wi.DeviceID(), InvalidId);
    EXPECT_EQ(wi.ProductName(), LoadResStr(160));
    EXPECT_EQ(ErrorOf([&] { wi.Open(); }), "Invalid DeviceID");
    EXPECT_EQ(wi.State(), dsClosed);
    EXPECT_EQ(System.OpenInputStreamCount(), 0);
}

TEST_F(WaveInTest, TimeFormatAndLimitsAre64Bit)
{
    TSndWaveIn wi;
    wi.SetSampleRate(44100);
    wi.SetMode(mStereo);
    wi.SetBitLength(b16Bit);
    wi.SetMaxRecordTime(44100 * 4);  // one second of bytes
    EXPECT_EQ(wi.ByteLimit(), 176400);
    wi.SetTimeFormat(tfMillisecond);
    EXPECT_EQ(wi.MaxRecordTime(), 1000);
    wi.SetTimeFormat(tfSample);
    EXPECT_EQ(wi.MaxRecordTime(), 44100);
    EXPECT_EQ(wi.ByteLimit(), 176400);

    // Four hours: beyond 32 bits in bytes, and in milliseconds times bytes a second.
    wi.SetTimeFormat(tfMillisecond);
    wi.SetMaxRecordTime(4LL * 3600 * 1000);
    EXPECT_EQ(wi.ByteLimit(), 4LL * 3600 * 176400);
    wi.SetTimeFormat(tfByte);
    EXPECT_EQ(wi.MaxRecordTime(), 4LL * 3600 * 176400);

    // A limit in bytes is taken in whole frames.
    wi.SetMaxRecordTime(1003);
    EXPECT_EQ(wi.ByteLimit(), 1000);
    wi.SetMaxRecordTime(-1);
    EXPECT_EQ(wi.ByteLimit(), INT64_MAX);
}

TEST_F(WaveInTest, WithoutInputDevicesOpenFails)
{
    System.SetInputDeviceCount(0);
    TSndWaveIn wi;
    Events.Hook(wi);
    EXPECT_EQ(wi.ProductName(), "No wave audio recording device found");
    EXPECT_EQ(ErrorOf([&] { wi.Start(); }), "No wave audio recording device found");
    EXPECT_EQ(wi.State(), dsClosed);
    EXPECT_GE(Events.Error, 1);
}

TEST_F(WaveInTest, PropertiesCannotChangeWhileOpen)
{
    TSndWaveIn wi;
    Events.Hook(wi);
    wi.Open();
    ASSERT_EQ(wi.State(), dsOpened);
    const std::vector<std::function<void()>> setters = {
        [&] { wi.SetDeviceID(1); },         [&] { wi.SetCallBackMode(cmThread); }, [&] { wi.SetMode(mStereo); },
        [&] { wi.SetSampleRate(22050); },   [&] { wi.SetBitLength(b16Bit); },      [&] { wi.SetNumBuffers(4); },
        [&] { wi.SetBufferSize(4096); },
    };
    for (const auto& set : setters)
        EXPECT_EQ(ErrorOf(set), "Change to property while device was open");
    EXPECT_EQ(Events.Error, static_cast<int>(setters.size()));
    EXPECT_EQ(wi.SampleRate(), 11025);
    EXPECT_EQ(wi.State(), dsOpened);
    wi.Close();
    EXPECT_EQ(wi.State(), dsClosed);
    EXPECT_EQ(Events.Close, 1);
    wi.SetSampleRate(22050);
    EXPECT_EQ(wi.SampleRate(), 22050);
}

TEST_F(WaveInTest, FormatsAreTakenByTheirRealLength)
{
    TSndWaveIn wi;
    // A PCM record sets rate, bits and channels.
    const TWaveFormatEx pcm = PcmFormat(16, 2, 22050);
    wi.SetPWaveFormat(&pcm);
    EXPECT_EQ(wi.SampleRate(), 22050);
    EXPECT_EQ(wi.BitLength(), b16Bit);
    EXPECT_EQ(wi.Mode(), mStereo);

    // A compressed record whose extra bytes run past its block is refused.
    unsigned char block[24] = {};
    auto* format = reinterpret_cast<TWaveFormatEx*>(block);
    format->wFormatTag = 2;
    format->nChannels = 1;
    format->nSamplesPerSec = 8000;
    format->nBlockAlign = 256;
    format->wBitsPerSample = 4;
    format->cbSize = 32;
    EXPECT_EQ(ErrorOf([&] { wi.SetPWaveFormat(format, sizeof block); }), "Invalid wave format");
    EXPECT_EQ(wi.PWaveFormat()->wFormatTag, WAVE_FORMAT_PCM);

    // One that fits is installed, all its bytes; the device cannot record it.
    format->cbSize = 6;
    block[18] = 0xAB;
    block[23] = 0xCD;
    wi.SetPWaveFormat(format, sizeof block);
    ASSERT_EQ(FormatSize(wi.PWaveFormat()), 24);
    EXPECT_EQ(std::memcmp(wi.PWaveFormat(), block, sizeof block), 0);
    EXPECT_EQ(wi.SampleRate(), 22050);  // not PCM: the properties stay
    EXPECT_EQ(ErrorOf([&] { wi.Open(); }), "WaveInOpen:\n\rThe actual device can''t record this format");
    EXPECT_EQ(wi.State(), dsClosed);
}

TEST_F(WaveInTest, CallbackModeIsNotTakenAndTheModeStays)
{
    TSndWaveIn wi;
    wi.SetCallBackMode(cmThread);
    QString caption;
    WhenModalShown([&](QWidget* box) {
        caption = box->windowTitle();
        box->close();
    });
    wi.SetCallBackMode(cmCallback);
    EXPECT_EQ(caption, "TSndWaveIn");
    EXPECT_EQ(wi.CallBackMode(), cmThread);
}

// ------------------------------------------------------------ recording

TEST_F(WaveInTest, RecordsInOrderAndReportsThePosition)
{
    TSndWaveIn wi;
    SetUpSmall(wi);
    System.SupplyInput(0, Ramp(4000));
    wi.SetTimeFormat(tfMillisecond);
    wi.Start();
    EXPECT_EQ(wi.State(), dsOpened | dsStarted);
    EXPECT_EQ(Events.Open, 1);
    EXPECT_EQ(Events.Start, 1);
    EXPECT_EQ(System.QueuedInputBuffers(), 4);

    // Ten buffers' worth through a ring of four: each comes back, goes on
    // and is queued again.
    System.AdvanceMs(1000);
    ASSERT_TRUE(RunEventsUntil([&] { return Events.Ready == 10; }));
    ProcessEvents();
    EXPECT_EQ(Events.Ready, 10);
    EXPECT_EQ(Events.Recorded(), Ramp(4000) + QByteArray(4000, '\x80'));
    EXPECT_EQ(wi.RecordedBytes(), 8000);
    EXPECT_EQ(System.QueuedInputBuffers(), 4);
    EXPECT_EQ(wi.GetPosition(), 1000);
    wi.SetTimeFormat(tfSample);
    EXPECT_EQ(wi.GetPosition(), 8000);
    System.AdvanceMs(50);  // half a buffer: counted by the position only
    wi.SetTimeFormat(tfByte);
    EXPECT_EQ(wi.GetPosition(), 8400);

    wi.Stop();
    EXPECT_EQ(Events.Stop, 1);
    EXPECT_EQ(wi.State(), dsOpened);
    wi.Close();
    EXPECT_EQ(wi.State(), dsClosed);
    EXPECT_EQ(wi.GetPosition(), 0);
    EXPECT_EQ(System.OpenInputStreamCount(), 0);
    EXPECT_EQ(Events.Error, 0);
}

TEST_F(WaveInTest, PauseHoldsTheRecordingAndRestartGoesOn)
{
    TSndWaveIn wi;
    SetUpSmall(wi);
    System.SupplyInput(0, Ramp(2000));
    wi.Start();
    System.AdvanceMs(150);
    wi.Pause();
    EXPECT_EQ(wi.State(), dsOpened | dsStarted | dsPaused);
    ProcessEvents();
    System.AdvanceMs(500);  // nothing is recorded while paused
    ProcessEvents();
    EXPECT_EQ(Events.Recorded(), Ramp(1200));
    wi.Restart();
    EXPECT_EQ(wi.State(), dsOpened | dsStarted);
    System.AdvanceMs(100);
    ProcessEvents();
    wi.Stop();
    EXPECT_EQ(Events.Recorded(), Ramp(2000));
    EXPECT_EQ(Events.Pause, 1);
    EXPECT_EQ(Events.Restart, 1);
    EXPECT_EQ(Events.Stop, 1);
}

TEST_F(WaveInTest, ABufferReturnedDuringStopIsCountedOnceAndNotQueuedAgain)
{
    for (const TSndCBMode mode : {cmWindow, cmThread}) {
        SCOPED_TRACE(mode == cmWindow ? "window mode" : "thread mode");
        TTestAudioSystem system;
        SetAudioSystem(&system);
        TRecording events;
        TSndWaveIn wi;
        wi.SetSampleRate(8000);
        wi.SetBufferSize(800);
        wi.SetNumBuffers(4);
        wi.SetCallBackMode(mode);
        events.Hook(wi);
        system.SupplyInput(0, Ramp(3000));
        wi.SetMaxRecordTime(1200);  // bytes
        wi.Start();
        system.AdvanceMs(150);  // one full buffer, and half of the next being filled
        // The full one is handled (the worker's end of it comes with the stop).
        ASSERT_TRUE(RunEventsUntil([&] { return events.Recorded().size() >= 800 || mode == cmThread; }));
        wi.Stop();
        ASSERT_TRUE(RunEventsUntil([&] { return events.Stop == 1; }));
        EXPECT_EQ(events.Recorded(), Ramp(1200));
        EXPECT_EQ(events.Ready, 2);
        EXPECT_EQ(events.Stop, 1);
        EXPECT_EQ(wi.QueuedBuffers(), 0);
        EXPECT_EQ(system.QueuedInputBuffers(), 0);
        ProcessEvents();
        EXPECT_EQ(events.Ready, 2);
        wi.Close();
        EXPECT_EQ(system.OpenInputStreamCount(), 0);
        EXPECT_EQ(events.Error, 0);
        EXPECT_EQ(events.Close, 1);
    }
}

TEST_F(WaveInTest, AStopWhileABufferIsHandledCompletesAfterItOnce)
{
    // Window mode: the stop comes from inside the handler.
    {
        TSndWaveIn wi;
        SetUpSmall(wi);
        int handled = 0;
        bool pendingSeen = false;
        wi.OnBufferReady = [&](QObject*, TSndWaveHdr*) {
            if (++handled == 1) {
                wi.Stop();
                pendingSeen = wi.StopPending() && (wi.State() & dsStarted);
            }
        };
        wi.Start();
        System.AdvanceMs(250);
        ASSERT_TRUE(RunEventsUntil([&] { return Events.Stop == 1; }));
        ProcessEvents();
        EXPECT_TRUE(pendingSeen);
        EXPECT_EQ(Events.Stop, 1);
        // The second buffer came back full before the stop, the third with
        // what it held: both go on, once.
        EXPECT_EQ(handled, 3);
        EXPECT_EQ(wi.State(), dsOpened);
        wi.Close();
        EXPECT_EQ(System.OpenInputStreamCount(), 0);
    }

    // Thread mode: the GUI thread stops while the worker is inside the handler.
    {
        TRecording events;
        TSndWaveIn wi;
        wi.SetSampleRate(8000);
        wi.SetBufferSize(800);
        wi.SetNumBuffers(4);
        wi.SetCallBackMode(cmThread);
        events.Hook(wi);
        std::mutex lock;
        std::condition_variable changed;
        bool entered = false;
        bool release = false;
        int handled = 0;
        wi.OnBufferReady = [&](QObject*, TSndWaveHdr*) {
            std::unique_lock<std::mutex> l(lock);
            if (++handled == 1) {
                entered = true;
                changed.notify_all();
                changed.wait(l, [&] { return release; });
            }
        };
        wi.Start();
        System.AdvanceMs(100);
        {
            std::unique_lock<std::mutex> l(lock);
            changed.wait(l, [&] { return entered; });
        }
        wi.Stop();
        EXPECT_TRUE(wi.StopPending());
        EXPECT_EQ(events.Stop, 0);
        EXPECT_TRUE(wi.State() & dsStarted);
        {
            std::lock_guard<std::mutex> l(lock);
            release = true;
        }
        changed.notify_all();
        ASSERT_TRUE(RunEventsUntil([&] { return events.Stop == 1; }));
        ProcessEvents();
        EXPECT_EQ(events.Stop, 1);
        EXPECT_EQ(events.StopThread, QCoreApplication::instance()->thread());
        EXPECT_EQ(wi.State(), dsOpened);
        {
            std::lock_guard<std::mutex> l(lock);
            EXPECT_EQ(handled, 1);
        }
        wi.Close();
        EXPECT_EQ(System.OpenInputStreamCount(), 0);
        EXPECT_EQ(events.Error, 0);
    }
}

TEST_F(WaveInTest, MaxRecordTimeStopsByItselfOnTheGuiThread)
{
    for (const TSndCBMode mode : {cmWindow, cmThread}) {
        SCOPED_TRACE(mode == cmWindow ? "window mode" : "thread mode");
        TRecording events;
        TSndWaveIn wi;
        wi.SetSampleRate(44100);
        wi.SetMode(mStereo);
        wi.SetBitLength(b16Bit);
        wi.SetBufferSize(4096);
        wi.SetNumBuffers(20);
        wi.SetCallBackMode(mode);
        wi.SetTimeFormat(tfMillisecond);
        wi.SetMaxRecordTime(2000);
        events.Hook(wi);
        System.SupplyInput(0, Ramp(400000));
        wi.Start();
        System.AdvanceMs(2500);
        ASSERT_TRUE(RunEventsUntil([&] { return events.Stop == 1; }));
        ProcessEvents();
        EXPECT_EQ(events.Stop, 1);
        EXPECT_EQ(events.StopThread, QCoreApplication::instance()->thread());
        EXPECT_EQ(events.Recorded(), Ramp(352800));
        EXPECT_EQ(events.Ready, 87);  // 86 whole buffers and a cut one
        EXPECT_EQ(wi.RecordedBytes(), 352800);
        EXPECT_EQ(wi.State(), dsOpened);
        wi.Close();
        EXPECT_EQ(System.OpenInputStreamCount(), 0);
        EXPECT_EQ(events.Error, 0);
        System.ClearFaults();
    }
}

// ------------------------------------------------------------ failures

TEST_F(WaveInTest, DriverFailuresGiveTheirCallsTextAndLeaveTheDeviceClosed)
{
    struct TCase {
        const char* Name;
        TTestAudioCall Call;
        int Code;
        QString Expected;
        std::function<void(TSndWaveIn&)> Action;
    };
    const QString drv = QStringLiteral(":\n\r");
    const std::vector<TCase> cases = {
        {"open", TTestAudioCall::Open, aeAllocated, "WaveInOpen" + drv + AudioErrorText(aeAllocated),
         [](TSndWaveIn& wi) { wi.Start(); }},
        {"queueing", TTestAudioCall::AddBuffer, aeNoMem, "WaveInAddBuffer" + drv + AudioErrorText(aeNoMem),
         [](TSndWaveIn& wi) { wi.Start(); }},
        {"start", TTestAudioCall::Start, aeError, "WaveInStart" + drv + AudioErrorText(aeError),
         [](TSndWaveIn& wi) { wi.Start(); }},
        {"pause", TTestAudioCall::Stop, aeNotEnabled, "WaveInPause" + drv + AudioErrorText(aeNotEnabled),
         [](TSndWaveIn& wi) {
             wi.Start();
             wi.Pause();
         }},
        {"position", TTestAudioCall::GetPosition, aeInvalidParam,
         "WaveInGetPosition" + drv + AudioErrorText(aeInvalidParam),
         [](TSndWaveIn& wi) {
             wi.Start();
             wi.GetPosition();
         }},
        {"unknown code", TTestAudioCall::Start, 999, "WaveInStart" + drv + LoadResStr(86),
         [](TSndWaveIn& wi) { wi.Start(); }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TRecording events;
        TSndWaveIn wi;
        events.Hook(wi);
        System.SetFault(c.Call, c.Code);
        EXPECT_EQ(ErrorOf([&] { c.Action(wi); }), c.Expected);
        System.ClearFaults();
        EXPECT_EQ(wi.State(), dsClosed);
        EXPECT_EQ(wi.Handle(), nullptr);
        EXPECT_EQ(System.OpenInputStreamCount(), 0);
        EXPECT_GE(events.Error, 1);
    }

    // A format the device refuses.
    TSndWaveIn wi;
    System.SetRefuseFormats(true);
    EXPECT_EQ(ErrorOf([&] { wi.Open(); }), "WaveInOpen:\n\rThe actual device can''t record this format");
    System.ClearFaults();
    EXPECT_EQ(wi.State(), dsClosed);
}

TEST_F(WaveInTest, AFailureInsideTheHandlerClosesTheDevice)
{
    for (const TSndCBMode mode : {cmWindow, cmThread}) {
        SCOPED_TRACE(mode == cmWindow ? "window mode" : "thread mode");
        AppErrors.clear();
        TRecording events;
        TSndWaveIn wi;
        wi.SetSampleRate(8000);
        wi.SetBufferSize(800);
        wi.SetCallBackMode(mode);
        events.Hook(wi);
        wi.Start();
        System.SetFault(TTestAudioCall::AddBuffer, aeNoMem);
        System.AdvanceMs(100);
        ASSERT_TRUE(RunEventsUntil([&] { return wi.State() == dsClosed && !AppErrors.isEmpty(); }));
        System.ClearFaults();
        EXPECT_EQ(AppErrors.first(), "WaveInAddBuffer:\n\r" + AudioErrorText(aeNoMem));
        EXPECT_EQ(System.OpenInputStreamCount(), 0);
        EXPECT_GE(events.Error, 1);
    }
}

TEST_F(WaveInTest, ACloseTheDriverRefusesStillClosesTheDevice)
{
    TSndWaveIn wi;
    Events.Hook(wi);
    wi.Start();
    System.SetFault(TTestAudioCall::Close, aeError);
    wi.Close();  // passes nothing on
    System.ClearFaults();
    EXPECT_EQ(Events.Error, 1);
    EXPECT_EQ(Events.Stop, 1);
    EXPECT_EQ(wi.State(), dsClosed);
    EXPECT_EQ(wi.Handle(), nullptr);
    EXPECT_EQ(System.OpenInputStreamCount(), 0);
}

TEST_F(WaveInTest, DestroyingARecordingDeviceClosesItQuietly)
{
    for (const TSndCBMode mode : {cmWindow, cmThread}) {
        SCOPED_TRACE(mode == cmWindow ? "window mode" : "thread mode");
        TRecording events;
        {
            TSndWaveIn wi;
            wi.SetCallBackMode(mode);
            events.Hook(wi);
            wi.Start();
            System.AdvanceMs(500);  // finished buffers still waiting for their handler
        }
        ProcessEvents();
        EXPECT_EQ(System.OpenInputStreamCount(), 0);
        EXPECT_EQ(events.Stop, 0);
        EXPECT_EQ(events.Close, 0);
        EXPECT_EQ(events.Error, 0);
        EXPECT_EQ(DSPThreadCount(), 0);
    }
}

// ------------------------------------------------------------ the test system's inputs

TEST(TestAudioInputTest, RecordsWhatWasSuppliedThenSilence)
{
    TTestAudioSystem system;
    TAudioFormat format;
    format.Channels = 1;
    format.SampleRate = 1000;
    format.BitsPerSample = 16;  // 2 bytes a millisecond
    std::vector<std::pair<std::uintptr_t, std::uint32_t>> done;
    int opened = 0, closed = 0;
    std::unique_ptr<TAudioInputStream> stream;
    ASSERT_EQ(system.OpenInput(-1, format, false,
                               [&](TAudioNotify n, std::uintptr_t tag, std::uint32_t bytes) {
                                   if (n == TAudioNotify::Done)
                                       done.emplace_back(tag, bytes);
                                   else if (n == TAudioNotify::Opened)
                                       ++opened;
                                   else
                                       ++closed;
                               },
                               stream),
              aeOk);
    EXPECT_EQ(opened, 1);
    system.SupplyInput(0, Ramp(6));
    char a[4], b[4], c[4];
    ASSERT_EQ(stream->AddBuffer(a, 4, 1), aeOk);
    ASSERT_EQ(stream->AddBuffer(b, 4, 2), aeOk);
    system.AdvanceMs(5);  // not started: nothing
    EXPECT_TRUE(done.empty());
    ASSERT_EQ(stream->Start(), aeOk);
    system.AdvanceMs(3);  // 6 bytes: a full, b half
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(QByteArray(a, 4), Ramp(4));
    // Stop hands back the buffer being filled; empty ones stay.
    ASSERT_EQ(stream->AddBuffer(c, 4, 3), aeOk);
    ASSERT_EQ(stream->Stop(), aeOk);
    ASSERT_EQ(done.size(), 2u);
    EXPECT_EQ(done[1], std::make_pair(std::uintptr_t(2), std::uint32_t(2)));
    EXPECT_EQ(QByteArray(b, 2), Ramp(2, 4));
    EXPECT_EQ(system.QueuedInputBuffers(), 1);
    std::int64_t pos = 0;
    ASSERT_EQ(stream->GetPosition(pos), aeOk);
    EXPECT_EQ(pos, 3);
    EXPECT_EQ(stream->Close(), aeStillPlaying);
    // After the supply: silence; frames with no buffer wait for one.
    ASSERT_EQ(stream->Start(), aeOk);
    system.AdvanceMs(4);
    ASSERT_EQ(done.size(), 3u);
    EXPECT_EQ(QByteArray(c, 4), QByteArray(4, '\0'));
    ASSERT_EQ(stream->AddBuffer(a, 4, 4), aeOk);  // takes the waiting frames at once
    ASSERT_EQ(done.size(), 4u);
    EXPECT_EQ(QByteArray(a, 4), QByteArray(4, '\0'));
    ASSERT_EQ(stream->AddBuffer(b, 4, 5), aeOk);
    ASSERT_EQ(stream->Reset(), aeOk);
    ASSERT_EQ(done.size(), 5u);
    EXPECT_EQ(done[4], std::make_pair(std::uintptr_t(5), std::uint32_t(0)));
    ASSERT_EQ(stream->GetPosition(pos), aeOk);
    EXPECT_EQ(pos, 0);
    EXPECT_EQ(stream->Close(), aeOk);
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(stream->Start(), aeInvalidHandle);
    EXPECT_EQ(system.OpenInputStreamCount(), 0);
}

TEST(TestAudioInputTest, CapabilityBitsFollowTheFormatQuery)
{
    TTestAudioSystem system;
    TAudioInputCaps caps;
    ASSERT_EQ(system.GetInputDeviceCaps(1, caps), aeOk);
    EXPECT_EQ(caps.Name, "Test Input 1");
    EXPECT_EQ(caps.Formats, 0xFFFu);
    EXPECT_EQ(system.GetInputDeviceCaps(2, caps), aeBadDeviceId);
    system.SetRefuseFormats(true);
    ASSERT_EQ(system.GetInputDeviceCaps(0, caps), aeOk);
    EXPECT_EQ(caps.Formats, 0u);
    system.SetInputDeviceCount(0);
    EXPECT_EQ(system.GetInputDeviceCaps(0, caps), aeNoDriver);

    struct TBitCase {
        std::uint32_t Rate;
        std::uint16_t Channels, Bits;
        std::uint32_t Bit;
    };
    for (const TBitCase& c : std::vector<TBitCase>{{8000, 1, 8, AudioFormat1M08},
                                                   {11025, 2, 16, AudioFormat1S16},
                                                   {11026, 1, 16, AudioFormat2M16},
                                                   {22050, 2, 8, AudioFormat2S08},
                                                   {22051, 1, 8, AudioFormat4M08},
                                                   {48000, 2, 16, AudioFormat4S16},
                                                   {48001, 2, 16, 0},
                                                   {7999, 1, 8, 0},
                                                   {44100, 3, 16, 0}}) {
        TAudioFormat f;
        f.SampleRate = c.Rate;
        f.Channels = c.Channels;
        f.BitsPerSample = c.Bits;
        EXPECT_EQ(AudioStandardFormatBit(f), c.Bit) << c.Rate << " Hz " << c.Channels << " ch " << c.Bits << " bit";
    }
}

// ------------------------------------------------------------ the real back end

TEST(QtAudioInputTest, FillsQueuedBuffersInOrderAndResetHandsBackTheRest)
{
    const auto systemOwned = CreateQtAudioSystem();
    ASSERT_TRUE(systemOwned) << MultimediaModuleError().toStdString();
    TQtAudioSystem& system = *systemOwned;
    if (system.InputDeviceCount() == 0)
        GTEST_SKIP() << "no sound server answers";
    TAudioInputCaps caps;
    ASSERT_EQ(system.GetInputDeviceCaps(AudioDefaultDevice, caps), aeOk);
    EXPECT_TRUE(caps.Formats & AudioFormat4S16);
    TAudioFormat format;  // 44.1 kHz 16-bit stereo
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::uintptr_t> tags;
    std::vector<std::uint32_t> sizes;
    int closed = 0;
    std::unique_ptr<TAudioInputStream> stream;
    ASSERT_EQ(system.OpenInput(AudioDefaultDevice, format, false,
                               [&](TAudioNotify n, std::uintptr_t tag, std::uint32_t bytes) {
                                   std::lock_guard<std::mutex> l(lock);
                                   if (n == TAudioNotify::Done) {
                                       tags.push_back(tag);
                                       sizes.push_back(bytes);
                                   } else if (n == TAudioNotify::Closed) {
                                       ++closed;
                                   }
                                   changed.notify_all();
                               },
                               stream),
              aeOk);
    EXPECT_EQ(system.LiveStreamCount(), 1);
    constexpr std::uint32_t Bytes = 4410 * 4;  // 100 ms
    std::vector<QByteArray> buffers(50, QByteArray(Bytes, '\x55'));
    for (std::size_t i = 0; i < buffers.size(); ++i)
        ASSERT_EQ(stream->AddBuffer(buffers[i].data(), Bytes, i + 1), aeOk);
    ASSERT_EQ(stream->Start(), aeOk);
    {
        std::unique_lock<std::mutex> l(lock);
        ASSERT_TRUE(changed.wait_for(l, std::chrono::seconds(10), [&] { return tags.size() >= 2; }));
    }
    ASSERT_EQ(stream->Stop(), aeOk);
    std::int64_t position = 0;
    ASSERT_EQ(stream->GetPosition(position), aeOk);
    std::size_t stopped = 0;
    {
        std::lock_guard<std::mutex> l(lock);
        stopped = tags.size();
        EXPECT_GE(position * 4, static_cast<std::int64_t>(2 * Bytes));
    }
    if (stopped < buffers.size()) {
        EXPECT_EQ(stream->Close(), aeStillPlaying);
    }
    ASSERT_EQ(stream->Reset(), aeOk);
    ASSERT_EQ(stream->GetPosition(position), aeOk);
    EXPECT_EQ(position, 0);
    {
        std::lock_guard<std::mutex> l(lock);
        ASSERT_EQ(tags.size(), buffers.size());
        for (std::size_t i = 0; i < tags.size(); ++i)
            EXPECT_EQ(tags[i], i + 1);
        for (std::size_t i = 0; i + 1 < stopped; ++i)
            EXPECT_EQ(sizes[i], Bytes);
        for (std::size_t i = stopped; i < tags.size(); ++i)
            EXPECT_EQ(sizes[i], 0u);  // empty ones stayed queued until the reset
    }
    EXPECT_EQ(buffers[0], QByteArray(Bytes, '\0'));  // the null source: silence
    EXPECT_EQ(stream->Close(), aeOk);
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(stream->Start(), aeInvalidHandle);
    stream.reset();
    EXPECT_EQ(system.LiveStreamCount(), 0);
}

}  // namespace
