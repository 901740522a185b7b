// The converters: MP3 and WMA become WAV files with exact headers and all of
// the sound, WAV becomes 128 kbit/s MP3; failed, refused and cancelled
// conversions report failure and leave no file; callers wait for the real
// end. The leading silence lands in front of the sound of every PCM layout.

#include "AudioPipeLAME.h"
#include "FFmpegLibs.h"
#include "Mp3Fixtures.h"
#include "UAudioConverters.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>

#include <gtest/gtest.h>

using namespace Mp3Fixtures;

namespace {

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The header of a WAV file describes exactly the sound it holds, and outside
// tools agree on its length.
void ExpectExactWave(const QString& path, int channels, int rate)
{
    const TWaveFacts w = ReadWave(path);
    ASSERT_TRUE(w.Ok);
    EXPECT_EQ(w.FormatTag, 1);
    EXPECT_EQ(w.Channels, channels);
    EXPECT_EQ(w.SampleRate, std::uint32_t(rate));
    EXPECT_EQ(w.Bits, 16);
    EXPECT_EQ(qint64(w.RiffSize), w.FileSize - 8);
    EXPECT_EQ(qint64(w.DataSize), w.FileSize - w.DataStart);
    const qint64 frames = w.DataSize / (channels * 2);
    EXPECT_EQ(Mp3Fixtures::Run("soxi", {"-s", path}).trimmed().toLongLong(), frames);
    EXPECT_NEAR(Probe(path, "stream=duration").toDouble(), double(frames) / rate, 0.001);
}

struct TToWavCase {
    const char* File;
    int Channels;
    int Rate;
};

class ConvertToWav : public ::testing::TestWithParam<TToWavCase> {};

TEST_P(ConvertToWav, WritesAllOfTheSoundWithAnExactHeader)
{
    const TToWavCase c = GetParam();
    const QString target = Folder() + "/to_wav_" + QString(c.File) + ".wav";
    TAudioConverters converter;
    int doneCount = 0;
    converter.OnDone = [&](TAudioConverters* sender) {
        EXPECT_EQ(sender, &converter);
        EXPECT_TRUE(sender->Done());
        ++doneCount;
    };
    ASSERT_TRUE(converter.Convert(TAudioConverters::cmMp3ToWav, File(c.File), target))
        << converter.LastError().toStdString();
    EXPECT_EQ(doneCount, 1);
    EXPECT_TRUE(converter.Done());
    ExpectExactWave(target, c.Channels, c.Rate);
    // The samples outside tools decode, up to the real end (no cut at a
    // length from the header, no padding).
    const QByteArray expected = FfmpegPcm(File(c.File));
    const TWaveFacts w = ReadWave(target);
    EXPECT_TRUE(w.Data == expected) << w.Data.size() << " bytes against " << expected.size();
}

INSTANTIATE_TEST_SUITE_P(Files, ConvertToWav,
                         ::testing::Values(TToWavCase{"cbr_stereo.mp3", 2, 44100},
                                           TToWavCase{"vbr_stereo.mp3", 2, 44100},
                                           TToWavCase{"cbr_mono.mp3", 1, 22050},
                                           TToWavCase{"vbr_mono.mp3", 1, 22050},
                                           TToWavCase{"id3v2.mp3", 1, 22050},
                                           TToWavCase{"noxing.mp3", 2, 44100},
                                           TToWavCase{"stereo.wma", 2, 44100},
                                           TToWavCase{"mono.wma", 1, 22050}),
                         [](const auto& info) { return QString(info.param.File).replace('.', '_').toStdString(); });

class ConvertBroken : public ::testing::TestWithParam<const char*> {};

TEST_P(ConvertBroken, ReportsFailureAndLeavesNoFile)
{
    const QString name = GetParam();
    const QString source = name == "missing.mp3" ? Folder() + "/missing.mp3" : File(name);
    const QString target = Folder() + "/broken_" + name + ".wav";
    // An older file of the name must not pass for the result either.
    WriteFile(target, ReadFile(File("tone_mono22.wav")));
    TAudioConverters converter;
    EXPECT_FALSE(converter.Convert(TAudioConverters::cmMp3ToWav, source, target));
    EXPECT_TRUE(converter.Done());
    EXPECT_FALSE(converter.Succeeded());
    EXPECT_FALSE(converter.LastError().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(target));
}

INSTANTIATE_TEST_SUITE_P(Files, ConvertBroken,
                         ::testing::Values("truncated_vbr.mp3", "truncated_cbr.mp3", "truncated.wma",
                                           "damaged_middle.mp3", "garbage.mp3", "empty.mp3", "missing.mp3"),
                         [](const auto& info) { return QString(info.param).replace('.', '_').toStdString(); });

TEST(Converters, WavToMp3ChoosesMonoOrStereoAt128Kbits)
{
    TAudioConverters converter;
    const struct {
        const char* Source;
        int Channels;
    } cases[] = {{"speech.wav", 1}, {"tone_stereo.wav", 2}};
    for (const auto& c : cases) {
        const QString target = Folder() + "/from_" + c.Source + ".mp3";
        ASSERT_TRUE(converter.Convert(TAudioConverters::cmWavToMp3, File(c.Source), target))
            << converter.LastError().toStdString();
        EXPECT_EQ(Probe(target, "stream=bit_rate"), "128000");
        EXPECT_EQ(Probe(target, "stream=channels").toInt(), c.Channels);
        EXPECT_GT(BestCorrelation(FfmpegPcm(File(c.Source)), FfmpegPcm(target), c.Channels, 3000), 0.9);
    }
}

TEST(Converters, WavToMp3RefusesWhatItCannotEncode)
{
    TAudioConverters converter;
    const QString target = Folder() + "/from_three.mp3";
    EXPECT_FALSE(converter.Convert(TAudioConverters::cmWavToMp3, File("three_channels.wav"), target));
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_FALSE(converter.Convert(TAudioConverters::cmWavToMp3, Folder() + "/no such.wav", target));
    EXPECT_FALSE(QFileInfo::exists(target));
}

// A WAV file of any coding the program reads, written as MP3 and read back as
// WAV, keeps its channels, its level, its length (within one MP3 frame) and
// its timing: the information frame lets the decoder drop the encoder's
// delay and padding.
struct TRoundTripCase {
    const char* Source;
    int Channels;
};

class WavMp3RoundTrip : public ::testing::TestWithParam<TRoundTripCase> {};

TEST_P(WavMp3RoundTrip, KeepsTheLengthAndTheSoundInPlace)
{
    const TRoundTripCase c = GetParam();
    const QString source = File(c.Source);
    const QString mp3 = Folder() + "/round_" + c.Source + ".mp3";
    const QString back = Folder() + "/round_" + c.Source + ".back.wav";
    TAudioConverters converter;
    ASSERT_TRUE(converter.Convert(TAudioConverters::cmWavToMp3, source, mp3)) << converter.LastError().toStdString();
    ASSERT_TRUE(converter.Convert(TAudioConverters::cmMp3ToWav, mp3, back)) << converter.LastError().toStdString();

    const QByteArray original = FfmpegPcm(source);  // the source as 16-bit samples
    const TWaveFacts result = ReadWave(back);
    ASSERT_TRUE(result.Ok);
    ASSERT_EQ(result.Channels, c.Channels);
    ASSERT_EQ(result.Bits, 16);
    const qint64 frameBytes = 2 * c.Channels;
    const qint64 originalFrames = original.size() / frameBytes;
    const qint64 resultFrames = result.Data.size() / frameBytes;
    EXPECT_LE(std::abs(resultFrames - originalFrames), 1152) << resultFrames << " frames from " << originalFrames;
    int lag = 99999;
    EXPECT_GT(BestCorrelation(original, result.Data, c.Channels, 3000, &lag), 0.9);
    EXPECT_LE(std::abs(lag), 1) << "the sound moved by " << lag << " frames";
    const double level = RootMeanSquare(result.Data) / RootMeanSquare(original);
    EXPECT_GT(level, 0.8);
    EXPECT_LT(level, 1.25);
}

INSTANTIATE_TEST_SUITE_P(Codings, WavMp3RoundTrip,
                         ::testing::Values(TRoundTripCase{"speech.wav", 1}, TRoundTripCase{"speech_stereo.wav", 2},
                                           TRoundTripCase{"u8_mono.wav", 1}, TRoundTripCase{"s24_stereo.wav", 2},
                                           TRoundTripCase{"s32_mono.wav", 1}, TRoundTripCase{"f32_stereo.wav", 2},
                                           TRoundTripCase{"f64_mono.wav", 1}),
                         [](const auto& info) { return QString(info.param.Source).replace('.', '_').toStdString(); });

TEST(Converters, AMissingEncoderLibraryReachesTheCaller)
{
    const QString old = LameLibraryName();
    SetLameLibraryName("libmp3lame-not-installed.so.0");
    TAudioConverters converter;
    const QString target = Folder() + "/no_encoder.mp3";
    try {
        converter.Convert(TAudioConverters::cmWavToMp3, File("speech.wav"), target);
        ADD_FAILURE() << "converted without encoder";
    } catch (const EAudioException& e) {
        EXPECT_EQ(e.Message(), "libmp3lame-not-installed.so.0 library could not be loaded.");
    }
    SetLameLibraryName(old);
    EXPECT_FALSE(QFileInfo::exists(target));
    // Once the library is there the same converter encodes.
    EXPECT_TRUE(converter.Convert(TAudioConverters::cmWavToMp3, File("speech.wav"), target));
}

// FFmpeg's libraries are opened on first use: when one of them, or a
// function in it, is missing, the decoding converters say which library, and
// decode again once it is there.
TEST(Converters, AMissingDecoderLibraryReachesTheCaller)
{
    const QStringList installed = FFmpegLibraryNames();
    ASSERT_EQ(installed.size(), 4);
    struct TCase {
        int Index;
        QString Name;
    };
    // libz is there but holds none of FFmpeg's functions.
    const TCase cases[] = {{0, "libavutil-not-installed.so.1"},   {1, "libswresample-not-installed.so.1"},
                           {2, "libavcodec-not-installed.so.1"},  {3, "libavformat-not-installed.so.1"},
                           {0, "libz.so.1"},                      {3, "libz.so.1"}};
    const QString target = Folder() + "/no_decoder.wav";
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name.toStdString());
        QStringList names = installed;
        names[c.Index] = c.Name;
        SetFFmpegLibraryNames(names);
        EXPECT_FALSE(FFmpegLoad());
        for (const char* source : {"cbr_stereo.mp3", "stereo.wma"}) {
            TAudioConverters converter;
            EXPECT_FALSE(converter.Convert(TAudioConverters::cmMp3ToWav, File(source), target));
            EXPECT_EQ(converter.LastError(), c.Name + " library could not be loaded.");
            EXPECT_FALSE(QFileInfo::exists(target));
        }
    }
    SetFFmpegLibraryNames(installed);
    TAudioConverters converter;
    ASSERT_TRUE(converter.Convert(TAudioConverters::cmMp3ToWav, File("cbr_stereo.mp3"), target))
        << converter.LastError().toStdString();
    ExpectExactWave(target, 2, 44100);
}

TEST(Converters, WaitsForTheRealEndOfALongConversion)
{
    TAudioConverters converter;
    std::vector<int> progress;
    converter.OnProgress = [&](TAudioConverters*, int percent) { progress.push_back(percent); };
    const QString target = Folder() + "/long.wav";
    ASSERT_TRUE(converter.Convert(TAudioConverters::cmMp3ToWav, File("long.mp3"), target));
    ExpectExactWave(target, 1, 22050);
    EXPECT_NEAR(ReadWave(target).DataSize / 2.0 / 22050, 180.0, 0.1);
    ASSERT_FALSE(progress.empty());
    for (std::size_t i = 1; i < progress.size(); ++i)
        EXPECT_GE(progress[i], progress[i - 1]);
    EXPECT_LE(progress.back(), 100);
}

TEST(Converters, ACancelledConversionFailsAndLeavesNoFile)
{
    TAudioConverters converter;
    // Cancelled as soon as it reports progress: long before its end.
    converter.OnProgress = [&](TAudioConverters* sender, int) { sender->Cancel(); };
    const QString target = Folder() + "/cancelled.wav";
    ASSERT_TRUE(converter.Start(TAudioConverters::cmMp3ToWav, File("long.mp3"), target));
    EXPECT_FALSE(converter.WaitForEnd());
    EXPECT_TRUE(converter.Done());
    EXPECT_FALSE(QFileInfo::exists(target));
}

TEST(Converters, OneConversionAtATime)
{
    TAudioConverters converter;
    const QString target = Folder() + "/first.wav";
    ASSERT_TRUE(converter.Start(TAudioConverters::cmMp3ToWav, File("long.mp3"), target));
    EXPECT_FALSE(converter.Start(TAudioConverters::cmMp3ToWav, File("cbr_mono.mp3"), Folder() + "/second.wav"));
    EXPECT_TRUE(converter.WaitForEnd());
    ExpectExactWave(target, 1, 22050);
    EXPECT_FALSE(QFileInfo::exists(Folder() + "/second.wav"));
}

TEST(Converters, DestroyingARunningConversionDeletesItsFile)
{
    const QString target = Folder() + "/abandoned.wav";
    {
        TAudioConverters converter;
        ASSERT_TRUE(converter.Start(TAudioConverters::cmMp3ToWav, File("long.mp3"), target));
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(QFileInfo::exists(target));
}

// ------------------------------------------------------------------ leading silence

struct TSilenceCase {
    int Channels;
    int Rate;
    int Bits;
    bool ListBeforeData;
    bool ChunkAfterData;
    qint64 SilenceBytes;
};

class LeadingSilence : public ::testing::TestWithParam<TSilenceCase> {};

TEST_P(LeadingSilence, IsHalfASecondOfDigitalSilenceInFrontOfTheSound)
{
    const TSilenceCase c = GetParam();
    const QString path = Folder() + "/silence.wav";
    // A second of sound, plus one frame so that the 8-bit mono data is odd.
    QByteArray sound;
    const int frameBytes = c.Channels * c.Bits / 8;
    const int frames = c.Rate + 1;
    for (int i = 0; i < frames * frameBytes; ++i)
        sound.append(char(1 + (i * 7) % 200));
    WriteWave(path, c.Channels, c.Rate, c.Bits, sound, c.ListBeforeData, c.ChunkAfterData);
    const QByteArray before = ReadFile(path);

    ASSERT_TRUE(PrependSilence(path));
    const TWaveFacts w = ReadWave(path);
    ASSERT_TRUE(w.Ok);
    EXPECT_EQ(qint64(w.DataSize), sound.size() + c.SilenceBytes);
    const char quiet = c.Bits == 8 ? char(0x80) : char(0);
    EXPECT_TRUE(w.Data.left(c.SilenceBytes) == QByteArray(c.SilenceBytes, quiet));
    EXPECT_TRUE(w.Data.mid(c.SilenceBytes) == sound);
    EXPECT_EQ(qint64(w.RiffSize), w.FileSize - 8);
    // Whatever came after the sound is still there.
    if (c.ChunkAfterData) {
        EXPECT_TRUE(ReadFile(path).endsWith(before.right(14)));
    }
    EXPECT_EQ(Mp3Fixtures::Run("soxi", {"-s", path}).trimmed().toLongLong(), (sound.size() + c.SilenceBytes) / frameBytes);
    EXPECT_FALSE(QFileInfo::exists(Folder() + "/PiboTempMuteWave.wav"));
}

INSTANTIATE_TEST_SUITE_P(Layouts, LeadingSilence,
                         ::testing::Values(TSilenceCase{2, 44100, 16, false, false, 88200},
                                           TSilenceCase{2, 44100, 16, true, false, 88200},
                                           TSilenceCase{1, 22050, 8, false, false, 11025},
                                           TSilenceCase{1, 22050, 8, true, true, 11025},
                                           TSilenceCase{1, 11025, 16, true, false, 11024},
                                           TSilenceCase{2, 11025, 8, true, true, 11024},
                                           TSilenceCase{1, 11025, 8, false, true, 5512}),
                         [](const auto& info) {
                             const TSilenceCase& c = info.param;
                             std::string name = (c.Bits == 8 ? "u8_" : "s16_") + std::string(c.Channels == 1 ? "mono_" : "stereo_")
                                                + std::to_string(c.Rate);
                             if (c.ListBeforeData)
                                 name += "_list_before";
                             if (c.ChunkAfterData)
                                 name += "_chunk_after";
                             return name;
                         });

TEST(LeadingSilenceRefusals, LeaveTheFileAsItWas)
{
    const QString path = Folder() + "/refusal.wav";
    EXPECT_FALSE(PrependSilence(Folder() + "/no such.wav"));

    // ADPCM (format tag 2): false, unchanged.
    WriteWave(path, 1, 22050, 16, QByteArray(1000, '\1'), false);
    QByteArray bytes = ReadFile(path);
    bytes[20] = 2;
    WriteFile(path, bytes);
    EXPECT_FALSE(PrependSilence(path));
    EXPECT_TRUE(ReadFile(path) == bytes);

    // 24-bit PCM gets no silence: true, unchanged.
    WriteWave(path, 2, 44100, 24, QByteArray(6000, '\1'), false);
    bytes = ReadFile(path);
    EXPECT_TRUE(PrependSilence(path));
    EXPECT_TRUE(ReadFile(path) == bytes);

    // Not a WAV file at all.
    WriteFile(path, "this is not a wave file, just text");
    EXPECT_FALSE(PrependSilence(path));
    EXPECT_TRUE(ReadFile(path) == "this is not a wave file, just text");
}

TEST(LeadingSilence, ALessonFromMp3GetsItsHalfSecond)
{
    const QString target = Folder() + "/lesson.wav";
    TAudioConverters converter;
    ASSERT_TRUE(converter.Convert(TAudioConverters::cmMp3ToWav, File("cbr_stereo.mp3"), target));
    const TWaveFacts converted = ReadWave(target);
    ASSERT_TRUE(PrependSilence(target));
    ExpectExactWave(target, 2, 44100);
    const TWaveFacts padded = ReadWave(target);
    EXPECT_TRUE(padded.Data == QByteArray(88200, '\0') + converted.Data);
}

}  // namespace
