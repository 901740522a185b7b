// The ring-buffer playback output on the test audio device.

#include "AudioPipeDXAudio.h"
#include "AudioPipeWave.h"
#include "PipelineTestSupport.h"
#include "TestAudioDevice.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtCore/QThread>
#include <QtCore/QtEndian>

#include <gtest/gtest.h>

namespace {

QByteArray WavImage(int channels, int rate, int bits, const QByteArray& data)
{
    QByteArray h(44, '\0');
    auto p32 = [&h](int at, quint32 v) { qToLittleEndian(v, h.data() + at); };
    auto p16 = [&h](int at, quint16 v) { qToLittleEndian(v, h.data() + at); };
    h.replace(0, 4, "RIFF");
    p32(4, quint32(36 + data.size()));
    h.replace(8, 8, "WAVEfmt ");
    p32(16, 16);
    p16(20, 1);
    p16(22, quint16(channels));
    p32(24, quint32(rate));
    p32(28, quint32(rate * channels * bits / 8));
    p16(32, quint16(channels * bits / 8));
    p16(34, quint16(bits));
    h.replace(36, 4, "data");
    p32(40, quint32(data.size()));
    return h + data;
}

class DXAudioOutTest : public ::testing::Test {
protected:
    // The output polls the device's position while it waits for room: the
    // clock moves with the polls, not with the wall clock.
    void SetUp() override
    {
        Sys.SetAdvanceOnPosition(5);
        SetAudioSystem(&Sys);
    }
    void TearDown() override { SetAudioSystem(nullptr); }

    // Plays the file through a fresh output, advancing the device clock, and
    // returns what the device played.
    QByteArray Play(const QString& file, bool* done = nullptr, QString* error = nullptr)
    {
        TWaveIn input;
        input.SetFileName(file);
        TDXAudioOut out;
        out.SetFramesInBuffer(2048);
        out.SetPollingInterval(2);
        out.SetInput(&input);
        bool finished = false;
        out.OnDone = [&](QObject*) { finished = true; };
        Sys.ClearPlayed();
        out.StartOutput();
        const bool ok = WaitFor([&] { return finished; }, 30000);
        if (done)
            *done = ok;
        if (error)
            *error = out.LastErrorText();
        EXPECT_EQ(Sys.OpenStreamCount(), 0);
        return Sys.Played(0);
    }

    TTestAudioSystem Sys{2};
    QTemporaryDir Dir;
};

// Every byte plays, up to the last one (no play-out cut to whole seconds),
// followed only by a short tail of the format's silence: 128 for 8-bit.
TEST_F(DXAudioOutTest, PlaysEveryByteThenSilence)
{
    struct TCase {
        int Channels, Rate, Bits, Bytes;
        char Silence;
    } cases[] = {{1, 8000, 8, 12345, char(128)}, {2, 22050, 16, 4 * 30011, 0}, {1, 11025, 16, 2 * 777, 0}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Bits);
        QByteArray data(c.Bytes, '\0');
        for (int i = 0; i < c.Bytes; ++i)
            data[i] = char(1 + (i * 37) % 100);  // never the silence value
        const QString file = Dir.filePath("play.wav");
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(WavImage(c.Channels, c.Rate, c.Bits, data));
        f.close();
        bool done = false;
        const QByteArray played = Play(file, &done);
        ASSERT_TRUE(done);
        ASSERT_GE(played.size(), data.size());
        EXPECT_EQ(played.left(data.size()), data);
        const QByteArray tail = played.mid(data.size());
        EXPECT_LE(tail.size(), c.Rate / 50 * c.Channels * c.Bits / 8 + 8);
        EXPECT_EQ(tail, QByteArray(tail.size(), c.Silence));
        EXPECT_EQ(int(Sys.LastFormat().BitsPerSample), c.Bits);
        EXPECT_EQ(int(Sys.LastFormat().Channels), c.Channels);
    }
}

// Room in the ring comes back a piece (an eighth of the ring) at a time. A
// polling interval much shorter than a piece's playing time is no device
// failure while the device plays on: the whole sound plays, without error.
TEST_F(DXAudioOutTest, ShortPollingIntervalOnAPlayingDevice)
{
    QByteArray data(8000 * 2 * 3, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(1 + (i * 13) % 90);
    const QString file = Dir.filePath("polled.wav");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(WavImage(1, 8000, 16, data));
    f.close();
    TWaveIn input;
    input.SetFileName(file);
    TDXAudioOut out;
    out.SetFramesInBuffer(8192);  // pieces of 1024 frames: 128 ms
    out.SetPollingInterval(2);    // 16 polls: about 32 ms
    out.SetInput(&input);
    bool finished = false;
    out.OnDone = [&](QObject*) { finished = true; };
    Sys.ClearPlayed();
    out.StartOutput();
    // Each poll of the position is 2 ms of the device's time: 16 polls make
    // the playing time of a piece only after several rounds of the limit.
    Sys.SetAdvanceOnPosition(2);
    ASSERT_TRUE(WaitFor([&] { return finished; }, 30000));
    EXPECT_EQ(out.LastErrorText().toStdString(), "");
    EXPECT_TRUE(Sys.Played(0).left(data.size()) == data);
}

TEST_F(DXAudioOutTest, InvalidDeviceNumber)
{
    const QString file = Dir.filePath("short.wav");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(WavImage(1, 8000, 16, QByteArray(100, '\1')));
    f.close();
    TWaveIn input;
    input.SetFileName(file);
    TDXAudioOut out;
    out.SetDeviceNumber(5);
    out.SetInput(&input);
    bool finished = false;
    out.OnDone = [&](QObject*) { finished = true; };
    out.StartOutput();
    ASSERT_TRUE(WaitFor([&] { return finished; }));
    EXPECT_EQ(out.LastErrorText(), "Invalid device number");
}

// A stop during playback ends the run at once and releases the device.
TEST_F(DXAudioOutTest, StopDuringPlayback)
{
    const QString file = Dir.filePath("long.wav");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(WavImage(1, 8000, 16, QByteArray(8000 * 2 * 20, '\3')));
    f.close();
    TWaveIn input;
    input.SetFileName(file);
    TDXAudioOut out;
    out.SetFramesInBuffer(2048);
    out.SetPollingInterval(2);
    out.SetInput(&input);
    // Progress events wake the wait while the sound plays; the done event
    // follows the end of the run.
    out.OnProgress = [](QObject*) {};
    bool finished = false;
    out.OnDone = [&](QObject*) { finished = true; };
    out.StartOutput();
    ASSERT_TRUE(WaitFor([&] { return Sys.Played(0).size() > 20000; }));
    out.StopOutput(true);
    ASSERT_TRUE(WaitFor([&] { return finished; }));
    EXPECT_EQ(out.GetOutputState(), aosIdle);
    EXPECT_LT(Sys.Played(0).size(), 8000 * 2 * 20);
    EXPECT_EQ(Sys.OpenStreamCount(), 0);
}

}  // namespace
