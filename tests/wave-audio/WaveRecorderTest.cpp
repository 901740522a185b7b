// The wave recorder: set up as the speak-and-record screens set it, it
// records the test system's input into WAV files (byte for byte, with the
// position in milliseconds, stops by the user, by MaxRecordTime and by a
// failing write); and through the real back end when a sound server answers.

#include "ApplicationException.h"
#include "MMWRec.h"
#include "MultimediaModule.h"
#include "QtAudioDevice.h"
#include "RecordingSupport.h"
#include "SndWaveIO.h"
#include "TestAudioDevice.h"
#include "TestSupport.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtCore/QMetaObject>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtCore/QThread>
#include <QtMultimedia/QAudioDevice>
#include <QtMultimedia/QMediaDevices>
#include <QtWidgets/QWidget>

#include <gtest/gtest.h>

#include <condition_variable>
#include <csignal>
#include <memory>
#include <mutex>
#include <cstdlib>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// "" when the two are equal, else where they first differ.
std::string Difference(const QByteArray& actual, const QByteArray& expected)
{
    if (actual == expected)
        return std::string();
    qsizetype i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i])
        ++i;
    return "sizes " + std::to_string(actual.size()) + " and " + std::to_string(expected.size()) +
           ", first difference at byte " + std::to_string(i);
}

// Counts the recorder's events; OnStop also checks that the file is complete
// by then and that it runs on the GUI thread.
struct TRecorderEvents {
    int Start = 0, Stop = 0, Change = 0;
    std::atomic<int> Data{0};
    bool StopOnGuiThread = true;
    bool FileCompleteAtStop = true;

    void Hook(TSndWaveRecorder& recorder)
    {
        recorder.OnStart = [this](QObject*) { ++Start; };
        recorder.OnStop = [this, &recorder](QObject*) {
            ++Stop;
            StopOnGuiThread = StopOnGuiThread && QThread::currentThread() == QCoreApplication::instance()->thread();
            TWaveContents contents;
            FileCompleteAtStop = FileCompleteAtStop && ReadWaveContents(recorder.Wave()->FileName(), contents);
        };
        recorder.OnChange = [this](QObject*) { ++Change; };
        recorder.OnData = [this](QObject*, TSndWaveHdr*) {
            ++Data;
            // Wakes a wait on the GUI thread's events for what the data changes.
            QMetaObject::invokeMethod(QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
        };
    }
};

class WaveRecorderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetAudioSystem(&System);
        ASSERT_TRUE(Dir.isValid());
        SetApplicationExceptionHandler([this](const QString& m) { AppErrors << m; });
    }
    void TearDown() override
    {
        SetApplicationExceptionHandler({});
        SetAudioSystem(nullptr);
    }
    QString Path(const QString& name) const { return Dir.filePath(name); }

    TTestAudioSystem System;
    QTemporaryDir Dir;
    QStringList AppErrors;
};

// ------------------------------------------------------------ recording

TEST_F(WaveRecorderTest, RecordsTheSuppliedBytesExactly)
{
    struct TFormat {
        const char* Name;
        TSndMode Mode;
        TSndBits Bits;
        int Channels, BitsPerSample;
    };
    for (const TFormat& f : {TFormat{"8-bit mono", mMono, b8Bit, 1, 8}, TFormat{"16-bit stereo", mStereo, b16Bit, 2, 16}})
        for (const int rate : {8000, 22050, 44100})
            for (const TSndCBMode mode : {cmWindow, cmThread}) {
                SCOPED_TRACE(QStringLiteral("%1 %2 Hz %3 mode")
                                 .arg(QLatin1String(f.Name))
                                 .arg(rate)
                                 .arg(mode == cmWindow ? "window" : "thread")
                                 .toStdString());
                TTestAudioSystem system;
                SetAudioSystem(&system);
                const QByteArray tone = SoxTone(rate, f.Channels, f.BitsPerSample, 0.75);
                const int bytesPerSecond = rate * f.Channels * f.BitsPerSample / 8;
                ASSERT_GT(tone.size(), bytesPerSecond / 2);
                system.SupplyInput(0, tone);
                const QString path = Path(QStringLiteral("exact-%1-%2-%3.wav").arg(f.Channels).arg(rate).arg(mode));
                TRecorderEvents events;
                {
                    TSndWaveRecorder recorder;
                    SetUpAsTheScreens(recorder);
                    recorder.SetCallBackMode(mode);
                    recorder.SetMode(f.Mode);
                    recorder.SetBitLength(f.Bits);
                    recorder.SetSampleRate(rate);
                    recorder.SetMaxRecordTime(1000);  // the tone, then a quarter second of silence
                    events.Hook(recorder);
                    recorder.Wave()->SetFileName(path);
                    recorder.Start();
                    system.AdvanceMs(1200);
                    ASSERT_TRUE(RunEventsUntil([&] { return events.Stop == 1; }));
                    ProcessEvents();
                }
                const int silenceBytes = bytesPerSecond - static_cast<int>(tone.size());
                TWaveContents contents;
                ASSERT_TRUE(ReadWaveContents(path, contents));
                EXPECT_EQ(contents.Tag, 1);
                EXPECT_EQ(contents.Channels, f.Channels);
                EXPECT_EQ(contents.Rate, static_cast<std::uint32_t>(rate));
                EXPECT_EQ(contents.Bits, f.BitsPerSample);
                EXPECT_EQ(Difference(contents.Data, tone + QByteArray(silenceBytes, f.BitsPerSample == 8 ? '\x80' : '\0')), "");
                EXPECT_EQ(events.Stop, 1);
                EXPECT_TRUE(events.StopOnGuiThread);
                EXPECT_TRUE(events.FileCompleteAtStop);
                EXPECT_EQ(system.OpenInputStreamCount(), 0);
            }
    SetAudioSystem(&System);
}

TEST_F(WaveRecorderTest, TwoSecondsAsTheScreensRecordThemStopByTheLimit)
{
    const QByteArray tone = SoxTone(44100, 2, 16, 3);
    System.SupplyInput(0, tone);
    const QString path = Path(QStringLiteral("limit.wav"));
    TRecorderEvents events;
    TSndWaveRecorder recorder;
    SetUpAsTheScreens(recorder);
    recorder.SetMaxRecordTime(2000);
    events.Hook(recorder);
    recorder.Wave()->SetFileName(path);
    recorder.Start();
    EXPECT_EQ(recorder.GetState(), dsOpened | dsStarted);
    EXPECT_EQ(events.Start, 1);
    System.AdvanceMs(2500);
    ASSERT_TRUE(RunEventsUntil([&] { return events.Stop == 1; }));
    ProcessEvents();
    EXPECT_EQ(events.Stop, 1);
    EXPECT_TRUE(events.StopOnGuiThread);
    EXPECT_TRUE(events.FileCompleteAtStop);
    EXPECT_EQ(events.Data.load(), 87);
    EXPECT_EQ(recorder.GetState(), dsClosed);
    TWaveContents contents;
    ASSERT_TRUE(ReadWaveContents(path, contents));
    EXPECT_EQ(contents.Data.size(), 352800);
    EXPECT_EQ(Difference(contents.Data, tone.left(352800)), "");
    EXPECT_TRUE(SoxiAccepts(path, 44100, 2, 16));
    EXPECT_EQ(System.OpenInputStreamCount(), 0);
}

TEST_F(WaveRecorderTest, PositionInMillisecondsWhileRecordingAndAStopByTheUser)
{
    const QByteArray tone = SoxTone(44100, 2, 16, 1);
    System.SupplyInput(0, tone);
    const QString path = Path(QStringLiteral("user.wav"));
    TRecorderEvents events;
    TSndWaveRecorder recorder;
    SetUpAsTheScreens(recorder);
    recorder.SetCallBackMode(cmWindow);  // the buffers on this thread: positions known exactly
    events.Hook(recorder);
    recorder.Wave()->SetFileName(path);
    recorder.Start();
    EXPECT_EQ(recorder.GetPosition(), 0);
    for (int tick = 1; tick <= 5; ++tick) {
        System.AdvanceMs(100);
        EXPECT_EQ(recorder.GetPosition(), 100 * tick);
        ProcessEvents();
    }
    recorder.Stop();
    EXPECT_EQ(events.Stop, 1);
    EXPECT_TRUE(events.FileCompleteAtStop);
    EXPECT_EQ(recorder.GetPosition(), 0);  // closed, the file overwritten
    recorder.Stop();
    EXPECT_EQ(events.Stop, 1);  // a second stop does nothing
    TWaveContents contents;
    ASSERT_TRUE(ReadWaveContents(path, contents));
    EXPECT_EQ(Difference(contents.Data, tone.left(500 * 176400 / 1000)), "");
    EXPECT_TRUE(SoxiAccepts(path, 44100, 2, 16));

    // The same in thread mode: what reached the file is where the recording stood.
    TRecorderEvents threaded;
    TSndWaveRecorder second;
    SetUpAsTheScreens(second);
    threaded.Hook(second);
    second.Wave()->SetFileName(Path(QStringLiteral("user2.wav")));
    System.SupplyInput(0, tone);
    second.Start();
    System.AdvanceMs(300);
    const std::int64_t position = second.GetPosition();
    EXPECT_GE(position, 0);
    EXPECT_LE(position, 300);
    second.Stop();
    ASSERT_TRUE(RunEventsUntil([&] { return threaded.Stop == 1; }));
    ProcessEvents();
    EXPECT_EQ(threaded.Stop, 1);
    EXPECT_TRUE(threaded.FileCompleteAtStop);
    ASSERT_TRUE(ReadWaveContents(second.Wave()->FileName(), contents));
    EXPECT_LE(contents.Data.size(), 300 * 176400 / 1000);
    EXPECT_EQ(contents.Data.size() % 4, 0);
    EXPECT_EQ(System.OpenInputStreamCount(), 0);
}

// ------------------------------------------------------------ edge cases

TEST_F(WaveRecorderTest, StartWithoutFileNameOrTwiceDoesNothing)
{
    TRecorderEvents events;
    TSndWaveRecorder recorder;
    SetUpAsTheScreens(recorder);
    events.Hook(recorder);
    recorder.Start();
    EXPECT_EQ(recorder.GetState(), dsClosed);
    EXPECT_EQ(events.Start, 0);
    EXPECT_EQ(System.OpenInputStreamCount(), 0);

    recorder.Wave()->SetFileName(Path(QStringLiteral("twice.wav")));
    recorder.Start();
    recorder.Start();
    EXPECT_EQ(events.Start, 1);
    EXPECT_EQ(System.OpenInputStreamCount(), 1);
    recorder.Stop();
    EXPECT_EQ(events.Stop, 1);
    EXPECT_EQ(System.OpenInputStreamCount(), 0);
}

TEST_F(WaveRecorderTest, ARecordingStoppedBeforeAnyBufferHoldsFourZeroBytes)
{
    for (const TSndCBMode mode : {cmWindow, cmThread}) {
        SCOPED_TRACE(mode == cmWindow ? "window mode" : "thread mode");
        const QString path = Path(QStringLiteral("empty-%1.wav").arg(mode));
        TRecorderEvents events;
        TSndWaveRecorder recorder;
        SetUpAsTheScreens(recorder);
        recorder.SetCallBackMode(mode);
        events.Hook(recorder);
        recorder.Wave()->SetFileName(path);
        recorder.Start();
        recorder.Stop();
        recorder.Stop();
        ProcessEvents();
        EXPECT_EQ(events.Stop, 1);
        EXPECT_TRUE(events.FileCompleteAtStop);
        TWaveContents contents;
        ASSERT_TRUE(ReadWaveContents(path, contents));
        EXPECT_EQ(contents.Data, QByteArray(4, '\0'));
        EXPECT_TRUE(SoxiAccepts(path, 44100, 2, 16));
    }
}

TEST_F(WaveRecorderTest, WithoutOverwriteThePositionAddsTheEarlierLength)
{
    const QString path = Path(QStringLiteral("append.wav"));
    const QByteArray tone = SoxTone(44100, 2, 16, 1);
    System.SupplyInput(0, tone);
    {
        TRecorderEvents events;
        TSndWaveRecorder recorder;
        SetUpAsTheScreens(recorder);
        recorder.SetCallBackMode(cmWindow);
        recorder.SetMaxRecordTime(500);
        events.Hook(recorder);
        recorder.Wave()->SetFileName(path);
        recorder.Start();
        System.AdvanceMs(600);
        ASSERT_TRUE(RunEventsUntil([&] { return events.Stop == 1; }));
    }
    TRecorderEvents events;
    TSndWaveRecorder recorder;
    SetUpAsTheScreens(recorder);
    recorder.SetCallBackMode(cmWindow);
    recorder.SetOverwriteExisting(false);
    events.Hook(recorder);
    recorder.Wave()->SetFileName(path);
    EXPECT_EQ(recorder.GetPosition(), 0);  // closed: the wave's position
    recorder.Wave()->SetPosition(500);      // at its end
    EXPECT_EQ(recorder.GetPosition(), 500);
    recorder.Start();
    System.AdvanceMs(200);
    EXPECT_EQ(recorder.GetPosition(), 700);
    ProcessEvents();
    recorder.Stop();
    EXPECT_EQ(events.Stop, 1);
    // The new bytes went behind the earlier ones.
    TWaveContents contents;
    ASSERT_TRUE(ReadWaveContents(path, contents));
    EXPECT_GE(contents.Data.size(), 600 * 176400 / 1000);
    EXPECT_EQ(Difference(contents.Data.left(400 * 176400 / 1000), tone.left(400 * 176400 / 1000)), "");
}

// The layout of a RIFF WAVE file read from its headers alone (the data is
// not read): false unless the RIFF size matches the file, every chunk lies
// inside it and there is one "fmt " and one "data" chunk.
bool ReadWaveLayout(const QString& path, qint64& dataOffset, qint64& dataBytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    const auto u32 = [](const QByteArray& b, int at) {
        return qint64(quint8(b[at])) | qint64(quint8(b[at + 1])) << 8 | qint64(quint8(b[at + 2])) << 16 |
               qint64(quint8(b[at + 3])) << 24;
    };
    const QByteArray head = file.read(12);
    if (head.size() != 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE" || u32(head, 4) != size - 8)
        return false;
    int formats = 0;
    int datas = 0;
    for (qint64 at = 12; at < size;) {
        if (!file.seek(at))
            return false;
        const QByteArray chunk = file.read(8);
        if (chunk.size() != 8)
            return false;
        const qint64 bytes = u32(chunk, 4);
        if (at + 8 + bytes > size)
            return false;
        if (chunk.startsWith("fmt "))
            ++formats;
        if (chunk.startsWith("data")) {
            ++datas;
            dataOffset = at + 8;
            dataBytes = bytes;
        }
        at += 8 + bytes + (bytes & 1);
    }
    return formats == 1 && datas == 1;
}

// A recording that reaches the largest size a WAV file can have ends as a
// full disk ends it: the buffer that does not fit is left out, the file is
// whole and valid, OnStop comes once. The recording goes behind a sparse
// file just short of that size, so the test writes a few kilobytes only.
TEST_F(WaveRecorderTest, ReachingTheWaveSizeLimitEndsTheRecordingWithAValidFile)
{
    const QString path = Path(QStringLiteral("huge.wav"));
    // 44.1 kHz stereo 16 bits: 17,640 bytes are 100 ms, so the earlier
    // length is a whole number of milliseconds.
    constexpr qint64 Header = 44;
    constexpr qint64 Largest = 0xFFFFFFFFLL + 8;  // RIFF size field + 8
    constexpr qint64 Earlier = (Largest - Header - 16 * 1024) / 17640 * 17640;
    {
        QByteArray header("RIFF");
        const auto put32 = [&header](quint32 v) {
            for (int i = 0; i < 4; ++i)
                header += char(v >> (8 * i));
        };
        const auto put16 = [&header](quint16 v) {
            header += char(v & 0xFF);
            header += char(v >> 8);
        };
        put32(quint32(Header - 8 + Earlier));
        header += "WAVEfmt ";
        put32(16);
        put16(1);
        put16(2);
        put32(44100);
        put32(176400);
        put16(4);
        put16(16);
        header += "data";
        put32(quint32(Earlier));
        ASSERT_EQ(header.size(), Header);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(header), Header);
        ASSERT_TRUE(file.resize(Header + Earlier));  // sparse: no disk space taken
    }
    const QByteArray tone = SoxTone(44100, 2, 16, 1);
    System.SupplyInput(0, tone);

    int stops = 0;
    bool validAtStop = false;
    qint64 dataOffset = 0;
    qint64 dataBytes = 0;
    {
        TSndWaveRecorder recorder;
        SetUpAsTheScreens(recorder);
        recorder.SetOverwriteExisting(false);
        recorder.OnStop = [&](QObject*) {
            ++stops;
            validAtStop = ReadWaveLayout(path, dataOffset, dataBytes);
        };
        recorder.Wave()->SetFileName(path);
        const qint64 earlierMs = Earlier / 17640 * 100;
        recorder.Wave()->SetPosition(earlierMs);  // at its end
        ASSERT_EQ(recorder.GetPosition(), earlierMs);
        recorder.Start();
        ASSERT_EQ(recorder.GetState(), dsOpened | dsStarted);
        // Far more than fits: the limit ends the recording, not the clock.
        System.AdvanceMs(1000);
        ASSERT_TRUE(RunEventsUntil([&] { return stops >= 1; }));
        ProcessEvents();
        EXPECT_EQ(recorder.GetState(), dsClosed);
    }
    EXPECT_EQ(stops, 1);
    EXPECT_TRUE(validAtStop);
    ASSERT_TRUE(ReadWaveLayout(path, dataOffset, dataBytes));
    EXPECT_EQ(dataOffset, Header);
    // Writing goes on at the wave's position, which a seek puts on the last
    // sample frame at most: the recording starts there. Whole buffers of the
    // tone (4096 bytes each) follow, as many as fit; the next would not.
    const qint64 from = Earlier - 4;
    EXPECT_GT(dataBytes, Earlier);
    EXPECT_EQ((dataBytes - from) % 4096, 0);
    const qint64 size = QFileInfo(path).size();
    EXPECT_LE(size, Largest);
    EXPECT_GT(size + 4096, Largest);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    ASSERT_TRUE(file.seek(Header + from));
    const QByteArray added = file.read(dataBytes - from);
    EXPECT_EQ(Difference(added, tone.left(added.size())), "");
    EXPECT_EQ(System.OpenInputStreamCount(), 0);
}

TEST_F(WaveRecorderTest, FormatsAndTheReadOnlyInputFormat)
{
    TSndWaveRecorder recorder;
    SetUpAsTheScreens(recorder);
    QString tag, details;
    ASSERT_TRUE(GetFormatNames(recorder.WaveIn()->PWaveFormat(), tag, details));
    EXPECT_EQ(recorder.InputFormat(), tag + " " + details);
    EXPECT_TRUE(recorder.InputFormat().contains(QStringLiteral("44")));

    QString shown;
    WhenModalShown([&](QWidget* box) {
        shown = box->findChild<QWidget*>() ? QStringLiteral("box") : QString();
        box->close();
    });
    recorder.SetInputFormat(QStringLiteral("anything"));
    EXPECT_EQ(shown, "box");
    EXPECT_EQ(recorder.InputFormat(), tag + " " + details);

    // A format unlike the device's goes to the device; a short block is refused.
    const TWaveFormatEx mono = PcmFormat(8, 1, 22050);
    recorder.SetPWaveFormat(&mono);
    EXPECT_EQ(recorder.SampleRate(), 22050);
    EXPECT_EQ(recorder.Mode(), mMono);
    EXPECT_EQ(recorder.BitLength(), b8Bit);
    ASSERT_NE(recorder.WaveFile()->PWaveFormat(), nullptr);
    EXPECT_EQ(recorder.WaveFile()->PWaveFormat()->nSamplesPerSec, 22050u);
    const TWaveFormatEx stereo = PcmFormat(16, 2, 44100);
    EXPECT_THROW(recorder.SetPWaveFormat(&stereo, 16), ESndWaveInError);
    EXPECT_EQ(recorder.SampleRate(), 22050);
}

TEST_F(WaveRecorderTest, ChangingTheWaveStopsTheRecording)
{
    TRecorderEvents events;
    TSndWaveRecorder recorder;
    SetUpAsTheScreens(recorder);
    recorder.SetCallBackMode(cmWindow);
    events.Hook(recorder);
    recorder.Wave()->SetFileName(Path(QStringLiteral("first.wav")));
    const int changesBefore = events.Change;
    recorder.Start();
    System.AdvanceMs(100);
    ProcessEvents();
    recorder.Wave()->SetFileName(Path(QStringLiteral("second.wav")));
    EXPECT_EQ(recorder.GetState(), dsClosed);
    EXPECT_EQ(events.Stop, 1);
    EXPECT_GT(events.Change, changesBefore);
    TWaveContents contents;
    EXPECT_TRUE(ReadWaveContents(Path(QStringLiteral("first.wav")), contents));
    EXPECT_EQ(System.OpenInputStreamCount(), 0);
}

TEST_F(WaveRecorderTest, DestroyingARecordingRecorderLeavesAValidFile)
{
    const QString path = Path(QStringLiteral("destroyed.wav"));
    TRecorderEvents events;
    {
        TSndWaveRecorder recorder;
        SetUpAsTheScreens(recorder);
        events.Hook(recorder);
        recorder.Wave()->SetFileName(path);
        recorder.Start();
        System.AdvanceMs(400);
    }
    ProcessEvents();
    EXPECT_EQ(events.Stop, 0);  // ended quietly
    TWaveContents contents;
    EXPECT_TRUE(ReadWaveContents(path, contents));
    EXPECT_EQ(System.OpenInputStreamCount(), 0);
    EXPECT_EQ(DSPThreadCount(), 0);
}

// The worker asks the GUI thread for something (as the wave file does when a
// write fails) just while the GUI thread stops the recording or destroys the
// recorder: the wait serves the worker's call, nothing hangs.
TEST_F(WaveRecorderTest, AStopOrDestroyWhileTheWorkerWaitsForTheGuiThreadServesIt)
{
    for (const bool destroy : {false, true}) {
        SCOPED_TRACE(destroy ? "destroyed" : "stopped");
        const QString path = Path(QStringLiteral("served-%1.wav").arg(destroy));
        TRecorderEvents events;
        std::mutex lock;
        std::condition_variable changed;
        bool entered = false;
        int served = 0;
        auto recorder = std::make_unique<TSndWaveRecorder>();
        SetUpAsTheScreens(*recorder);
        events.Hook(*recorder);
        recorder->OnData = [&](QObject*, TSndWaveHdr*) {
            {
                std::lock_guard<std::mutex> l(lock);
                if (entered)
                    return;
                entered = true;
            }
            changed.notify_all();
            CallInMainThread([&] { ++served; });
        };
        recorder->Wave()->SetFileName(path);
        recorder->Start();
        System.AdvanceMs(100);
        {
            std::unique_lock<std::mutex> l(lock);
            changed.wait(l, [&] { return entered; });
        }
        if (destroy) {
            recorder.reset();
        } else {
            recorder->Stop();
            ASSERT_TRUE(RunEventsUntil([&] { return events.Stop == 1; }));
            EXPECT_EQ(recorder->GetState(), dsClosed);
        }
        ProcessEvents();
        EXPECT_EQ(served, 1);
        EXPECT_EQ(events.Stop, destroy ? 0 : 1);
        TWaveContents contents;
        EXPECT_TRUE(ReadWaveContents(path, contents));
        EXPECT_EQ(System.OpenInputStreamCount(), 0);
        recorder.reset();
        EXPECT_EQ(DSPThreadCount(), 0);
    }
}

// The recorder's stop is a device stop followed by a close. When the worker
// is handing a buffer on, the stop waits for it; if the worker is done by
// the time the close comes, the close's own stop ends the recording and the
// recorder's OnStop must still wait for the close to finish the file.
TEST_F(WaveRecorderTest, AStopFinishedByTheCloseTellsTheStopWithTheFileComplete)
{
    const QByteArray tone = SoxTone(44100, 2, 16, 0.05);
    ASSERT_FALSE(tone.isEmpty());
    System.SupplyInput(0, tone);
    const QString path = Path(QStringLiteral("closing.wav"));
    TRecorderEvents events;
    std::mutex lock;
    std::condition_variable changed;
    bool entered = false, released = false;
    TSndWaveRecorder recorder;
    SetUpAsTheScreens(recorder);
    events.Hook(recorder);
    recorder.OnData = [&](QObject*, TSndWaveHdr*) {
        std::unique_lock<std::mutex> l(lock);
        if (entered)
            return;
        entered = true;
        changed.notify_all();
        changed.wait(l, [&] { return released; });
    };
    recorder.Wave()->SetFileName(path);
    recorder.Start();
    System.AdvanceMs(50);
    {
        std::unique_lock<std::mutex> l(lock);
        changed.wait(l, [&] { return entered; });
    }
    TSndWaveIn* device = recorder.WaveIn();
    device->Stop();
    ASSERT_TRUE(device->StopPending());  // waits for the worker's buffer
    {
        std::lock_guard<std::mutex> l(lock);
        released = true;
    }
    changed.notify_all();
    WaitServingMainThreadCalls([device] { return device->BuffersInProgress() == 0; });
    device->Close();  // the close's stop is the one that ends the recording
    EXPECT_EQ(device->State(), dsClosed);
    EXPECT_EQ(events.Stop, 1);
    EXPECT_TRUE(events.FileCompleteAtStop);
    EXPECT_TRUE(events.StopOnGuiThread);
    ProcessEvents();
    EXPECT_EQ(events.Stop, 1);
    TWaveContents contents;
    ASSERT_TRUE(ReadWaveContents(path, contents));
    EXPECT_EQ(contents.Data, tone);
}

// A write that fails (a file-size limit, in a child process of its own)
// ends the recording as a stop: one OnStop, and a valid file holding the
// bytes that reached it.
int RecordIntoASizeLimit()
{
    constexpr rlim_t Limit = 150000;
    const rlimit limit{Limit, Limit};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        return 10;
    std::signal(SIGXFSZ, SIG_IGN);
    TTestAudioSystem system;
    SetAudioSystem(&system);
    const QByteArray tone = SoxTone(44100, 2, 16, 3);
    if (tone.isEmpty())
        return 11;
    system.SupplyInput(0, tone);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("limited.wav"));
    int result = 0;
    {
        TRecorderEvents events;
        TSndWaveRecorder recorder;
        SetUpAsTheScreens(recorder);
        events.Hook(recorder);
        recorder.Wave()->SetFileName(path);
        recorder.Start();
        system.AdvanceMs(3000);
        if (!RunEventsUntil([&] { return events.Stop >= 1; }))
            result = 12;
        ProcessEvents();
        if (!result && (events.Stop != 1 || !events.StopOnGuiThread || !events.FileCompleteAtStop))
            result = 13;
        if (!result && recorder.GetState() != dsClosed)
            result = 14;
    }
    TWaveContents contents;
    if (!result && !ReadWaveContents(path, contents))
        result = 15;
    if (!result && (contents.Data.isEmpty() || contents.Data.size() > static_cast<qsizetype>(Limit) ||
                    contents.Data.size() % 4 != 0 || contents.Data != tone.left(contents.Data.size())))
        result = 16;
    if (!result && system.OpenInputStreamCount() != 0)
        result = 17;
    SetAudioSystem(nullptr);
    return result;
}

TEST(WaveRecorderDeathTest, AFailingWriteEndsTheRecordingWithAValidFile)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(RecordIntoASizeLimit()), ::testing::ExitedWithCode(0), "");
}

// ------------------------------------------------------------ real back end

// Loads a sine source into the sound server for the test and unloads it again.
class TSineSource {
public:
    explicit TSineSource(int frequency)
    {
        FName = QStringLiteral("pibo_sine_%1").arg(QCoreApplication::applicationPid());
        QProcess pactl;
        pactl.start(QStringLiteral("pactl"), {QStringLiteral("load-module"), QStringLiteral("module-sine-source"),
                                              QStringLiteral("source_name=") + FName, QStringLiteral("rate=44100"),
                                              QStringLiteral("frequency=%1").arg(frequency)});
        if (pactl.waitForFinished(10000) && pactl.exitCode() == 0)
            FModule = QString::fromLatin1(pactl.readAllStandardOutput()).trimmed();
    }
    ~TSineSource()
    {
        if (FModule.isEmpty())
            return;
        QProcess pactl;
        pactl.start(QStringLiteral("pactl"), {QStringLiteral("unload-module"), FModule});
        pactl.waitForFinished(10000);
    }
    bool Loaded() const { return !FModule.isEmpty(); }
    // The source's number among the input devices; -2 while not (yet) listed.
    int DeviceId() const
    {
        const QList<QAudioDevice> inputs = QMediaDevices::audioInputs();
        for (int i = 0; i < inputs.size(); ++i)
            if (QString::fromUtf8(inputs.at(i).id()) == FName)
                return i;
        return InvalidId;
    }

private:
    QString FName;
    QString FModule;
};

// Records two seconds from a device with the screens' settings.
bool RecordTwoSeconds(TSndDeviceId device, const QString& path, TRecorderEvents& events)
{
    TSndWaveRecorder recorder;
    SetUpAsTheScreens(recorder);
    recorder.SetDeviceID(device);
    recorder.SetMaxRecordTime(2000);
    events.Hook(recorder);
    recorder.Wave()->SetFileName(path);
    recorder.Start();
    return RunEventsUntil([&] { return events.Stop == 1; });
}

TEST(WaveRecorderRealDeviceTest, RecordsASineSourceAndTheSilentDefault)
{
    SetAudioSystem(nullptr);
    if (AudioSystem().InputDeviceCount() == 0)
        GTEST_SKIP() << "no sound server answers";
    QTemporaryDir dir;

    TSineSource sine(440);
    ASSERT_TRUE(sine.Loaded());
    // The sound server's list reaches Qt's without an event of ours: looked
    // at again every 50 ms.
    QTimer look;
    look.start(50);
    ASSERT_TRUE(RunEventsUntil([&] { return sine.DeviceId() != InvalidId; }, 10000));
    look.stop();
    const QString sinePath = dir.filePath(QStringLiteral("sine.wav"));
    TRecorderEvents events;
    ASSERT_TRUE(RecordTwoSeconds(sine.DeviceId(), sinePath, events));
    EXPECT_EQ(events.Stop, 1);
    EXPECT_TRUE(events.StopOnGuiThread);
    EXPECT_TRUE(events.FileCompleteAtStop);
    EXPECT_TRUE(SoxiAccepts(sinePath, 44100, 2, 16));
    TWaveContents contents;
    ASSERT_TRUE(ReadWaveContents(sinePath, contents));
    EXPECT_EQ(contents.Data.size(), 352800);
    const double crossings = ZeroCrossingsPerSecond(contents.Data, 2, 44100);
    EXPECT_NEAR(crossings, 880.0, 8.8);

    // The null source, the server's default: silence.
    const QString nullPath = dir.filePath(QStringLiteral("null.wav"));
    TRecorderEvents silent;
    ASSERT_TRUE(RecordTwoSeconds(MapperId, nullPath, silent));
    EXPECT_EQ(silent.Stop, 1);
    ASSERT_TRUE(ReadWaveContents(nullPath, contents));
    EXPECT_EQ(contents.Data.size(), 352800);
    EXPECT_EQ(contents.Data, QByteArray(352800, '\0'));
    EXPECT_TRUE(SoxiAccepts(nullPath, 44100, 2, 16));
}

// The real system goes (as the guard of a main makes it go) while a
// recording runs: the input stream is closed under the device, which then
// closes without hanging.
TEST(WaveRecorderRealDeviceTest, TheSystemsEndClosesARecordingLeftRunning)
{
    auto system = CreateQtAudioSystem();
    ASSERT_TRUE(system) << MultimediaModuleError().toStdString();
    if (system->InputDeviceCount() == 0)
        GTEST_SKIP() << "no sound server answers";
    SetAudioSystem(system.get());
    QTemporaryDir dir;
    {
        TRecorderEvents events;
        TSndWaveRecorder recorder;
        SetUpAsTheScreens(recorder);
        events.Hook(recorder);
        recorder.Wave()->SetFileName(dir.filePath(QStringLiteral("cut.wav")));
        recorder.Start();
        ASSERT_TRUE(RunEventsUntil([&] { return recorder.GetPosition() > 0 || events.Stop > 0; }, 10000));
        EXPECT_EQ(system->LiveStreamCount(), 1);
        SetAudioSystem(nullptr);
        system->CloseAllStreams();
        EXPECT_THROW(recorder.GetPosition(), ESndWaveInError);  // the stream is not open: the device closes
        EXPECT_EQ(recorder.GetState(), dsClosed);
        recorder.Stop();
    }
    EXPECT_EQ(system->LiveStreamCount(), 0);
}

}  // namespace
