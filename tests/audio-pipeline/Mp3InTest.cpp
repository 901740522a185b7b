// The compressed-audio input: MP3 (CBR, VBR, mono, stereo, ID3v2 tags) and
// WMA files made by outside tools decode to the samples those tools decode,
// to the real end of the stream; damaged and cut files end in the input's
// error instead of a crash, a hang or a quietly short result.

#include "AudioPipeWave.h"
#include "AudioPipesmpeg.h"
#include "Mp3Fixtures.h"

#include <QtCore/QFile>
#include <QtCore/QIODevice>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

using namespace Mp3Fixtures;

namespace {

// Everything the input hands out from Init to its end; error gets the
// message when the input raised.
QByteArray ReadAll(TAudioInput& input, QString* error = nullptr, int request = 16384)
{
    QByteArray all;
    try {
        input.Init();
        for (int guard = 0; guard < 10000000; ++guard) {
            std::uint8_t* buffer = nullptr;
            std::uint32_t bytes = std::uint32_t(request);
            input.GetData(buffer, bytes);
            if (bytes == 0)
                break;
            all.append(reinterpret_cast<const char*>(buffer), int(bytes));
        }
    } catch (const EAudioException& e) {
        if (error)
            *error = e.Message();
    }
    input.Flush();
    return all;
}

struct TDecodeCase {
    const char* File;
    std::uint32_t Channels;
    std::uint32_t Rate;
    bool Mp3;
};

class Mp3InDecode : public ::testing::TestWithParam<TDecodeCase> {};

TEST_P(Mp3InDecode, DeliversTheSamplesOutsideToolsDecodeToTheRealEnd)
{
    const TDecodeCase c = GetParam();
    const QString path = File(c.File);
    const QByteArray expected = FfmpegPcm(path);
    ASSERT_GT(expected.size(), 10000);

    TMP3In input;
    input.SetFileName(path);
    ASSERT_TRUE(input.GetValid());
    EXPECT_EQ(input.GetChannels(), c.Channels);
    EXPECT_EQ(input.GetSampleRate(), c.Rate);
    EXPECT_EQ(input.GetBitsPerSample(), 16u);

    QString error;
    const QByteArray got = ReadAll(input, &error, 5000);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    const int frameBytes = int(c.Channels) * 2;
    ASSERT_EQ(got.size() % frameBytes, 0);
    // Within one MP3 frame of each other at the end; the same samples where
    // both have them.
    const int slack = c.Mp3 ? 1152 * frameBytes : 0;
    EXPECT_LE(std::abs(got.size() - expected.size()), slack);
    const int common = std::min(got.size(), expected.size());
    EXPECT_TRUE(got.left(common) == expected.left(common)) << "samples differ";
    // The end of the stream is known now: the input announces what it gave.
    EXPECT_EQ(input.ByteTotal(), got.size());
}

INSTANTIATE_TEST_SUITE_P(Files, Mp3InDecode,
                         ::testing::Values(TDecodeCase{"cbr_stereo.mp3", 2, 44100, true},
                                           TDecodeCase{"vbr_stereo.mp3", 2, 44100, true},
                                           TDecodeCase{"cbr_mono.mp3", 1, 22050, true},
                                           TDecodeCase{"vbr_mono.mp3", 1, 22050, true},
                                           TDecodeCase{"id3v2.mp3", 1, 22050, true},
                                           TDecodeCase{"noxing.mp3", 2, 44100, true},
                                           TDecodeCase{"stereo.wma", 2, 44100, false},
                                           TDecodeCase{"mono.wma", 1, 22050, false}),
                         [](const auto& info) {
                             QString name = info.param.File;
                             return name.replace('.', '_').toStdString();
                         });

TEST(Mp3In, ReadsTheId3v2TagsAndTheLength)
{
    TMP3In input;
    input.SetFileName(File("id3v2.mp3"));
    ASSERT_TRUE(input.GetValid());
    EXPECT_EQ(input.Id3v2Tags().Artist(), "Pibo Teacher");
    EXPECT_EQ(input.Id3v2Tags().Title(), "Lesson One");
    EXPECT_EQ(input.Id3v2Tags().Album(), "Listening");
    // espeak-ng's sentence lasts some seconds; the header-based length is
    // announced before decoding, for the progress.
    EXPECT_GE(input.GetTotalTime(), 3u);
    EXPECT_GT(input.ByteTotal(), 0);
}

TEST(Mp3In, AnUnknownLengthDoesNotCutTheSound)
{
    // Without a VBR header the length is only estimated from the bit rate;
    // the data still run to the real end.
    TMP3In input;
    input.SetFileName(File("noxing.mp3"));
    const QByteArray got = ReadAll(input);
    const QByteArray expected = FfmpegPcm(File("noxing.mp3"));
    EXPECT_EQ(got.size(), expected.size());
}

TEST(Mp3In, SeekingRestartsAtTheSample)
{
    TMP3In input;
    input.SetFileName(File("cbr_stereo.mp3"));
    const QByteArray whole = ReadAll(input);
    input.SetStartSample(44100 * 2);  // from second 2 on
    const QByteArray tail = ReadAll(input);
    ASSERT_GT(tail.size(), 44100 * 4);
    // Decoding restarts at a frame boundary near the target: the tail is a
    // stretch of the whole within a frame or two of the asked position.
    const int at = whole.indexOf(tail.mid(44100 * 4, 4096));
    ASSERT_GE(at, 0);
    EXPECT_NEAR(at - 44100 * 4, 44100 * 4 * 2, 1152 * 4 * 2);
}

TEST(Mp3In, LoopingStartsAgainAtTheEnd)
{
    TMP3In input;
    input.SetFileName(File("cbr_mono.mp3"));
    const QByteArray once = ReadAll(input);
    input.SetLoop(true);
    input.Init();
    QByteArray got;
    while (got.size() < once.size() + 20000) {
        std::uint8_t* buffer = nullptr;
        std::uint32_t bytes = 4096;
        input.GetData(buffer, bytes);
        ASSERT_GT(bytes, 0u);
        got.append(reinterpret_cast<const char*>(buffer), int(bytes));
    }
    input.Flush();
    EXPECT_TRUE(got.left(once.size()) == once);
    EXPECT_TRUE(got.mid(once.size(), 20000) == once.left(20000));
}

struct TBrokenCase {
    const char* File;
    bool Opens;  // the file opens and only its decoding fails
};

class Mp3InBroken : public ::testing::TestWithParam<TBrokenCase> {};

TEST_P(Mp3InBroken, EndsInTheInputsError)
{
    const TBrokenCase c = GetParam();
    TMP3In input;
    input.SetFileName(File(c.File));
    EXPECT_EQ(input.GetValid(), c.Opens);
    QString error;
    ReadAll(input, &error);
    EXPECT_FALSE(error.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Files, Mp3InBroken,
                         ::testing::Values(TBrokenCase{"truncated_vbr.mp3", true},
                                           TBrokenCase{"truncated_cbr.mp3", true},
                                           TBrokenCase{"truncated.wma", true},
                                           TBrokenCase{"damaged_middle.mp3", true},
                                           TBrokenCase{"garbage.mp3", false},
                                           TBrokenCase{"empty.mp3", false}),
                         [](const auto& info) {
                             QString name = info.param.File;
                             return name.replace('.', '_').toStdString();
                         });

TEST(Mp3In, AMissingFileOrNameIsNotValid)
{
    TMP3In input;
    EXPECT_FALSE(input.GetValid());
    input.SetFileName(Folder() + "/no such file.mp3");
    EXPECT_FALSE(input.GetValid());
    QString error;
    ReadAll(input, &error);
    EXPECT_FALSE(error.isEmpty());
}

// A stream that can only be read forward: its length is unknown to the
// reader, and so is the duration of an MP3 without a VBR header.
class TForwardOnlyStream : public QIODevice {
public:
    explicit TForwardOnlyStream(QByteArray data) : FData(std::move(data)) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return FData.size() - FPos + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 n = std::min<qint64>(maxSize, FData.size() - FPos);
        std::memcpy(data, FData.constData() + FPos, size_t(n));
        FPos += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray FData;
    qint64 FPos = 0;
};

// Without a duration the totals stay 0: the progress stays 0 through the
// whole run, and the sound still runs to its real end.
TEST(Mp3In, WithoutADurationTheTotalStaysZero)
{
    QFile file(File("noxing.mp3"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    TForwardOnlyStream stream(file.readAll());
    TMP3In input;
    input.SetStream(&stream);
    ASSERT_TRUE(input.GetValid());
    EXPECT_EQ(input.DurationCs(), 0u);
    EXPECT_EQ(input.ByteTotal(), 0);
    EXPECT_EQ(input.GetTotalTime(), 0u);

    TWaveOut output;
    output.SetInput(&input);
    output.SetFileName(Folder() + "/forward_only.wav");
    std::vector<int> progress;
    output.OnProgress = [&](QObject*) { progress.push_back(output.GetProgressPercent()); };
    ASSERT_TRUE(RunOutput(output));
    EXPECT_TRUE(output.LastErrorText().isEmpty()) << output.LastErrorText().toStdString();
    for (int percent : progress)
        EXPECT_EQ(percent, 0);
    EXPECT_EQ(output.GetProgressPercent(), 0);
    const TWaveFacts facts = ReadWave(Folder() + "/forward_only.wav");
    ASSERT_TRUE(facts.Ok);
    EXPECT_EQ(facts.Data.size(), FfmpegPcm(File("noxing.mp3")).size());
}

TEST(Mp3In, ReadsFromAStreamOfTheUser)
{
    QFile file(File("cbr_mono.mp3"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    TMP3In input;
    input.SetStream(&file);
    ASSERT_TRUE(input.GetValid());
    const QByteArray got = ReadAll(input);
    EXPECT_TRUE(got == FfmpegPcm(File("cbr_mono.mp3")));
    EXPECT_TRUE(file.isOpen());  // borrowed, not closed
}

}  // namespace
