// The MP3 output: the encoder binding (and what happens without the
// library), the configuration record and the ID3v1 trailer, files that
// outside tools accept as 128 kbit/s CBR and decode back to the input, and
// input it cannot encode refused instead of written as noise.

#include "AudioPipeLAME.h"
#include "AudioPipeWave.h"
#include "Mp3Fixtures.h"

#include <QtCore/QBuffer>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>

#include <gtest/gtest.h>

#include <cstring>
#include <set>

using namespace Mp3Fixtures;

namespace {

std::int32_t ConfigAt(const TLameConfig& config, int offset)
{
    std::int32_t v;
    std::memcpy(&v, reinterpret_cast<const char*>(&config) + offset, 4);
    return v;
}

// Points the binding at another library name while it lives.
class TLibraryName {
public:
    explicit TLibraryName(const QString& name) : FOld(LameLibraryName()) { SetLameLibraryName(name); }
    ~TLibraryName() { SetLameLibraryName(FOld); }

private:
    QString FOld;
};

// The MP3 made from speech.wav (mono) decodes to it, in place and as long
// within one MP3 frame.
void ExpectSpeechInPlace(const QString& mp3)
{
    const QByteArray original = FfmpegPcm(File("speech.wav"));
    const QByteArray decoded = FfmpegPcm(mp3);
    int lag = 99999;
    EXPECT_GT(BestCorrelation(original, decoded, 1, 3000, &lag), 0.9);
    EXPECT_LE(std::abs(lag), 1);
    EXPECT_NEAR(double(decoded.size()), double(original.size()), 1152 * 2);
}

TEST(Mp3Out, AMissingEncoderLibraryFailsConstruction)
{
    ASSERT_FALSE(LameLoaded()) << "no output should hold the binding now";
    TLibraryName missing("libmp3lame-not-installed.so.0");
    try {
        TMP3Out out;
        FAIL() << "constructed without encoder";
    } catch (const EAudioException& e) {
        EXPECT_EQ(e.Message(), "libmp3lame-not-installed.so.0 library could not be loaded.");
    }
    EXPECT_FALSE(LameLoaded());
}

TEST(Mp3Out, TheBindingLivesFromTheFirstToTheLastOutput)
{
    auto first = std::make_unique<TMP3Out>();
    auto second = std::make_unique<TMP3Out>();
    EXPECT_TRUE(LameLoaded());
    first.reset();
    EXPECT_TRUE(LameLoaded());

    // The second one still encodes.
    TWaveIn in;
    in.SetFileName(File("tone_mono22.wav"));
    second->SetInput(&in);
    second->SetMode(mmMono);
    second->SetFileName(Folder() + "/second.mp3");
    ASSERT_TRUE(RunOutput(*second));
    EXPECT_TRUE(second->LastErrorText().isEmpty()) << second->LastErrorText().toStdString();
    EXPECT_GT(QFileInfo(Folder() + "/second.mp3").size(), 10000);
    second.reset();
    EXPECT_FALSE(LameLoaded());
}

TEST(Mp3Out, ConfigurationRecord)
{
    TMP3Out out;
    out.SetMode(mmMono);
    out.SetBitRate(mbr128);
    TLameConfig config = out.MakeConfig(22050);
    EXPECT_EQ(ConfigAt(config, 0), 256);
    EXPECT_EQ(ConfigAt(config, 4), 1);
    EXPECT_EQ(ConfigAt(config, 8), 331);
    EXPECT_EQ(ConfigAt(config, 12), 22050);
    EXPECT_EQ(ConfigAt(config, 20), 3);
    EXPECT_EQ(ConfigAt(config, 24), 128);
    EXPECT_EQ(ConfigAt(config, 60), -1);  // Original
    EXPECT_EQ(ConfigAt(config, 64), 0);   // no VBR header
    EXPECT_EQ(ConfigAt(config, 80), 2);
    EXPECT_EQ(ConfigAt(config, 84), -1);  // no bit reservoir
    out.SetBitRate(mbrAuto);
    out.SetEnableVBR(-1);
    out.SetVBRQuality(mp3ql9);
    out.SetAverageBitrate(mbr96);
    config = out.MakeConfig(44100);
    EXPECT_EQ(ConfigAt(config, 24), 0);
    EXPECT_EQ(ConfigAt(config, 64), -1);
    EXPECT_EQ(ConfigAt(config, 72), 9);
    EXPECT_EQ(ConfigAt(config, 76), 96);
    EXPECT_EQ(ConfigAt(config, 80), 4);
}

TEST(Mp3Out, Id3v1Trailer)
{
    TMP3Out out;
    QByteArray trailer = out.MakeTrailer();
    ASSERT_EQ(trailer.size(), 128);
    EXPECT_TRUE(trailer == QByteArray("TAG") + QByteArray(125, '\0'));

    TId3v1Tags tags;
    tags.SetTitle(QString(40, 'T'));
    tags.SetArtist(QStringLiteral("老师"));
    tags.SetComment("abcd");
    tags.SetYear(0);
    out.SetId3v1Tags(tags);
    trailer = out.MakeTrailer();
    EXPECT_TRUE(trailer.mid(3, 30) == QByteArray(30, 'T'));
    EXPECT_TRUE(trailer.mid(33, 4) == QByteArray("\xC0\xCF\xCA\xA6"));  // GBK
    EXPECT_TRUE(trailer.mid(93, 4) == QByteArray(4, '\0'));
    EXPECT_TRUE(trailer.mid(97, 5) == QByteArray("abcd\0", 5));
    EXPECT_EQ(trailer.at(127), '\0');
    tags.SetYear(2009);
    out.SetId3v1Tags(tags);
    EXPECT_TRUE(out.MakeTrailer().mid(93, 4) == "2009");
}

struct TEncodeCase {
    const char* Source;
    TMP3Mode Mode;
    int Channels;
};

class Mp3OutEncode : public ::testing::TestWithParam<TEncodeCase> {};

TEST_P(Mp3OutEncode, WritesConstantBitRateMp3ThatDecodesBackToTheInput)
{
    const TEncodeCase c = GetParam();
    const QString target = Folder() + "/encoded_" + QString::number(int(c.Mode)) + "_" + c.Source + ".mp3";
    TWaveIn in;
    in.SetFileName(File(c.Source));
    TMP3Out out;
    out.SetInput(&in);
    out.SetMode(c.Mode);
    out.SetFileName(target);
    ASSERT_TRUE(RunOutput(out));
    ASSERT_TRUE(out.LastErrorText().isEmpty()) << out.LastErrorText().toStdString();

    EXPECT_EQ(Probe(target, "stream=codec_name"), "mp3");
    EXPECT_EQ(Probe(target, "stream=bit_rate"), "128000");
    EXPECT_EQ(Probe(target, "stream=channels").toInt(), c.Channels);
    // Constant bit rate: every frame has the same size, give or take the
    // padding byte.
    const QStringList sizes = QString::fromUtf8(Mp3Fixtures::Run("ffprobe", {"-v", "error", "-select_streams", "a:0",
                                                                "-show_entries", "packet=size", "-of", "csv=p=0",
                                                                target}))
                                  .split('\n', Qt::SkipEmptyParts);
    ASSERT_GT(sizes.size(), 20);
    std::set<int> distinct;
    for (const QString& s : sizes) {
        bool number = false;
        const int size = s.trimmed().toInt(&number);
        if (number)  // not a line of a packet's side data
            distinct.insert(size);
    }
    EXPECT_LE(*distinct.rbegin() - *distinct.begin(), 1);
    // The file starts with the information frame of constant bit rate and
    // ends in the ID3v1 trailer.
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray head = file.read(64);
    EXPECT_TRUE(head.startsWith("\xFF")) << "the first frame comes first";
    EXPECT_TRUE(head.contains("Info")) << "no information frame";
    file.seek(file.size() - 128);
    EXPECT_TRUE(file.read(3) == "TAG");

    // Decoded back, it is the input and as long, since decoders drop the
    // encoder's delay and padding. (Where the sound lies is checked on
    // speech: a steady tone matches itself a period away.)
    const QByteArray original = FfmpegPcm(File(c.Source));
    const QByteArray decoded = FfmpegPcm(target);
    EXPECT_GT(BestCorrelation(original, decoded, c.Channels, 3000), 0.9);
    EXPECT_NEAR(double(decoded.size()), double(original.size()), 1152 * 2 * c.Channels);
}

INSTANTIATE_TEST_SUITE_P(Sources, Mp3OutEncode,
                         ::testing::Values(TEncodeCase{"tone_stereo.wav", mmStereo, 2},
                                           TEncodeCase{"tone_stereo.wav", mmJointStereo, 2},
                                           TEncodeCase{"speech.wav", mmMono, 1},
                                           TEncodeCase{"tone_mono22.wav", mmMono, 1}),
                         [](const auto& info) {
                             QString name = QString(info.param.Source) + "_mode" + QString::number(int(info.param.Mode));
                             return name.replace('.', '_').toStdString();
                         });

class Mp3OutRefuses : public ::testing::TestWithParam<const char*> {};

TEST_P(Mp3OutRefuses, InputItCannotEncodeFailsTheRunAndLeavesNoFile)
{
    const QString target = Folder() + "/refused.mp3";
    TWaveIn in;
    in.SetFileName(File(GetParam()));
    ASSERT_TRUE(in.GetValid());
    TMP3Out out;
    bool errorEvent = false;
    out.OnThreadException = [&](QObject*) { errorEvent = true; };
    out.SetInput(&in);
    out.SetFileName(target);
    ASSERT_TRUE(RunOutput(out));
    EXPECT_TRUE(out.RunFailed());
    EXPECT_FALSE(out.LastErrorText().isEmpty());
    EXPECT_TRUE(errorEvent);
    EXPECT_FALSE(QFileInfo::exists(target));
}

INSTANTIATE_TEST_SUITE_P(Sources, Mp3OutRefuses,
                         ::testing::Values("three_channels.wav"),
                         [](const auto& info) { return QString(info.param).replace('.', '_').toStdString(); });

TEST(Mp3Out, AStoppedRunLeavesNoFile)
{
    const QString target = Folder() + "/stopped.mp3";
    TWaveIn in;
    in.SetFileName(File("long.wav"));
    TMP3Out out;
    out.SetInput(&in);
    out.SetMode(mmMono);
    out.SetFileName(target);
    bool stopped = false;
    out.OnProgress = [&](QObject*) {
        if (!stopped) {
            stopped = true;
            out.StopOutput(true);
        }
    };
    ASSERT_TRUE(RunOutput(out));
    ASSERT_TRUE(stopped);
    EXPECT_TRUE(out.RunFailed());
    EXPECT_FALSE(QFileInfo::exists(target));
}

// Variable bit rate: the first frame is the VBR header (with the seek table,
// delay and padding), so the length and timing survive as in constant bit
// rate.
TEST(Mp3Out, VariableBitRateStartsWithItsHeader)
{
    const QString target = Folder() + "/vbr_speech.mp3";
    TWaveIn in;
    in.SetFileName(File("speech.wav"));
    TMP3Out out;
    out.SetInput(&in);
    out.SetMode(mmMono);
    out.SetEnableVBR(-1);
    out.SetVBRQuality(mp3ql4);
    out.SetFileName(target);
    ASSERT_TRUE(RunOutput(out));
    ASSERT_TRUE(out.LastErrorText().isEmpty()) << out.LastErrorText().toStdString();
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(64).contains("Xing"));
    ExpectSpeechInPlace(target);
}

// Into a stream of the caller's that already holds other bytes, the MP3
// starts where the stream stood, its information frame goes there too, and
// the stream is left at the end of the MP3.
TEST(Mp3Out, WritesIntoTheCallersStreamFromWhereItStands)
{
    TWaveIn in;
    in.SetFileName(File("speech.wav"));
    QBuffer buffer;
    ASSERT_TRUE(buffer.open(QIODevice::ReadWrite));
    const QByteArray prefix("prefix bytes");
    buffer.write(prefix);
    TMP3Out out;
    out.SetInput(&in);
    out.SetMode(mmMono);
    out.SetStream(&buffer);
    ASSERT_TRUE(RunOutput(out));
    ASSERT_TRUE(out.LastErrorText().isEmpty()) << out.LastErrorText().toStdString();

    const QByteArray all = buffer.data();
    EXPECT_EQ(buffer.pos(), all.size());
    EXPECT_TRUE(all.startsWith(prefix));
    const QByteArray mp3 = all.mid(prefix.size());
    EXPECT_TRUE(mp3.startsWith("\xFF"));
    EXPECT_TRUE(mp3.left(64).contains("Info"));
    const QString path = Folder() + "/from_stream.mp3";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(mp3);
    file.close();
    ExpectSpeechInPlace(path);
}

TEST(Mp3Out, AnEmptyFileNameFailsTheRun)
{
    TWaveIn in;
    in.SetFileName(File("tone_mono22.wav"));
    TMP3Out out;
    out.SetInput(&in);
    ASSERT_TRUE(RunOutput(out));
    EXPECT_EQ(out.LastErrorText(), "File name is not assigned.");
}

}  // namespace
