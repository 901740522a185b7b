// WAV input of every coding against ffmpeg's decoding, WAV output checked by
// ffprobe and soxi, and damaged files ending in the pipeline's error.

#include "AudioPipeProcs.h"
#include "AudioPipeWave.h"
#include "PipelineTestSupport.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTemporaryDir>
#include <QtCore/QtEndian>

#include <gtest/gtest.h>

#include <memory>

namespace {

class WavePipelineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!HaveTools({"sox", "ffmpeg", "ffprobe", "soxi", "espeak-ng"}))
            return;
        Dir = new QTemporaryDir;
        const QString speech = Path("speech.wav");
        RunTool("espeak-ng", {"-w", speech, "Please open your books at page twelve and listen to the dialogue."});
        // A stereo source of an odd length (not whole ADPCM blocks).
        RunTool("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", Path("tone.wav"), "synth", "1.2345", "sine", "440", "sine",
                        "660", "gain", "-3"});
        auto sox = [](const QString& in, const QString& out, const QStringList& opts) {
            QStringList args{in};
            args << opts << Path(out);
            RunTool("sox", args);
        };
        sox(speech, "u8.wav", {"-e", "unsigned-integer", "-b", "8"});
        sox(Path("tone.wav"), "s16.wav", {});
        sox(speech, "f32.wav", {"-e", "floating-point", "-b", "32"});
        sox(speech, "ima_mono.wav", {"-e", "ima-adpcm"});
        sox(Path("tone.wav"), "ima_stereo.wav", {"-e", "ima-adpcm"});
        sox(speech, "ms_mono.wav", {"-e", "ms-adpcm"});
        sox(Path("tone.wav"), "ms_stereo.wav", {"-e", "ms-adpcm"});
        sox(speech, "alaw.wav", {"-e", "a-law"});
        sox(Path("tone.wav"), "mulaw.wav", {"-e", "u-law"});
        RunTool("ffmpeg", {"-v", "error", "-y", "-i", Path("tone.wav"), "-c:a", "pcm_s24le", Path("s24ext.wav")});
        RunTool("ffmpeg", {"-v", "error", "-y", "-i", speech, "-c:a", "pcm_f64le", Path("f64.wav")});
        // MP3 data inside a WAV file (format tag 0x55).
        RunTool("ffmpeg", {"-v", "error", "-y", "-i", Path("tone.wav"), "-c:a", "libmp3lame", "-b:a", "128k",
                           Path("mp3.wav")});
    }
    static void TearDownTestSuite()
    {
        delete Dir;
        Dir = nullptr;
    }
    void SetUp() override
    {
        if (!Dir)
            GTEST_SKIP() << "sox, ffmpeg, ffprobe, soxi or espeak-ng missing";
    }
    static QString Path(const QString& name) { return Dir->filePath(name); }

    // Converts in to out through TWaveIn -> TWaveOut; true when the run
    // ended (done event) in time.
    static bool Convert(const QString& in, const QString& out, TWaveOut* output = nullptr,
                        QString* error = nullptr, bool* failed = nullptr)
    {
        TWaveIn input;
        input.SetFileName(in);
        std::unique_ptr<TWaveOut> own;
        if (!output) {
            own = std::make_unique<TWaveOut>();
            output = own.get();
        }
        output->SetInput(&input);
        output->SetFileName(out);
        bool done = false;
        output->OnDone = [&done](QObject*) { done = true; };
        output->StartOutput();
        const bool ended = WaitFor([&] { return done; });
        if (error)
            *error = output->LastErrorText();
        if (failed)
            *failed = output->RunFailed();
        output->SetInput(nullptr);
        output->OnDone = nullptr;
        return ended;
    }

    // A run over the file ends with the pipeline's error: a done event, a
    // failed run, an error text, and no output file.
    static void ExpectRunFails(const QString& in, TWaveOut* output = nullptr)
    {
        const QString out = Path("out_damaged.wav");
        QFile::remove(out);
        QString error;
        bool failed = false;
        ASSERT_TRUE(Convert(in, out, output, &error, &failed));
        EXPECT_TRUE(failed);
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(QFile::exists(out));
        EXPECT_FALSE(QFile::exists(out + ".part"));
    }

    static QTemporaryDir* Dir;
};

QTemporaryDir* WavePipelineTest::Dir = nullptr;

struct TCodingCase {
    const char* File;
    TWavType Kind;
    int Bits;       // what the input reports
    int Tolerance;  // against ffmpeg's s16 samples; -1: ADPCM rounding (below)
    const char* Source = nullptr;  // ADPCM: the PCM the file was made from
};

// Every coding decodes to ffmpeg's samples. Float differs by at most one step
// (ffmpeg rounds v x 32768, the input floors v x 2147483647). IMA ADPCM is
// decoded with the standard step arithmetic (step/8 + step/4 + step/2 + step
// by the code's bits), while ffmpeg computes ((2 x code + 1) x step) >> 3,
// which rounds differently and drifts within a block: the same sound, not the
// same samples, so it is compared by its relative error.
TEST_F(WavePipelineTest, EveryCodingDecodesLikeFfmpeg)
{
    const TCodingCase cases[] = {
        {"u8.wav", wtPCM, 8, 0},
        {"s16.wav", wtPCM, 16, 0},
        {"s24ext.wav", wtExtPCM, 24, 0},
        {"f32.wav", wtIEEEFloat, 32, 1},
        {"f64.wav", wtExtIEEEFloat, 32, 1},
        {"ima_mono.wav", wtDVIADPCM, 16, -1, "speech.wav"},
        {"ima_stereo.wav", wtDVIADPCM, 16, -1, "tone.wav"},
        {"ms_mono.wav", wtMSADPCM, 16, 0, "speech.wav"},
        {"ms_stereo.wav", wtMSADPCM, 16, 0, "tone.wav"},
        {"alaw.wav", wtACM, 16, 0},
        {"mulaw.wav", wtACM, 16, 0},
        {"mp3.wav", wtACM, 16, 0},
    };
    for (const TCodingCase& c : cases) {
        SCOPED_TRACE(c.File);
        TWaveIn input;
        input.SetFileName(Path(c.File));
        ASSERT_TRUE(input.GetValid());
        EXPECT_EQ(input.WavType(), c.Kind);
        EXPECT_EQ(int(input.GetBitsPerSample()), c.Bits);
        const QByteArray ours = ReadAll(input);
        const QByteArray reference = FfmpegS16(Path(c.File));
        ASSERT_FALSE(reference.isEmpty());
        const auto a = ToS16(ours, c.Bits);
        auto b = AsS16(reference);
        if (c.Source) {
            // The input ends at the file's frame count, as many frames as the
            // source had; ffmpeg also plays the padding of the last block.
            EXPECT_EQ(a.size(), AsS16(FfmpegS16(Path(c.Source))).size());
            ASSERT_LE(a.size(), b.size());
            EXPECT_LT(b.size() - a.size(), 2048u);
            b.resize(a.size());
        }
        EXPECT_EQ(a.size(), b.size()) << "samples";
        if (c.Tolerance >= 0)
            EXPECT_LE(MaxDifference(a, b), c.Tolerance);
        else
            EXPECT_LT(RelativeRms(a, b), 0.02);
    }
}

// Each coding converted by the pipeline gives a WAV that ffprobe and soxi
// accept with the source's duration, holding the same samples.
TEST_F(WavePipelineTest, ConvertedFilesHaveCorrectHeaders)
{
    for (const char* name : {"u8.wav", "s16.wav", "s24ext.wav", "f32.wav", "ima_stereo.wav", "ms_mono.wav",
                             "alaw.wav", "mulaw.wav"}) {
        SCOPED_TRACE(name);
        const QString out = Path(QString("out_") + name);
        QString error;
        bool failed = true;
        ASSERT_TRUE(Convert(Path(name), out, nullptr, &error, &failed));
        EXPECT_FALSE(failed) << error.toStdString();
        EXPECT_FALSE(QFile::exists(out + ".part"));
        const double expected = ProbeDuration(Path(name));
        EXPECT_NEAR(ProbeDuration(out), expected, 0.001);
        EXPECT_NEAR(SoxiDuration(out), expected, 0.001);
        QFile f(out);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray all = f.readAll();
        const int header = qFromLittleEndian<quint16>(all.constData() + 20) == 0xFFFE ? 68 : 44;
        EXPECT_EQ(qFromLittleEndian<quint32>(all.constData() + 4), quint32(all.size() - 8));
        EXPECT_EQ(qFromLittleEndian<quint32>(all.constData() + header - 4), quint32(all.size() - header));
        // ffmpeg also plays the padding of an ADPCM file's last block,
        // which the input leaves out (it ends at the file's frame count).
        const auto a = AsS16(FfmpegS16(out));
        auto b = AsS16(FfmpegS16(Path(name)));
        ASSERT_LE(a.size(), b.size());
        EXPECT_LT(b.size() - a.size(), 2048u);
        b.resize(a.size());
        if (QString(name).startsWith("ima"))
            EXPECT_LT(RelativeRms(a, b), 0.02);
        else
            EXPECT_LE(MaxDifference(a, b), 1);
    }
}

// IMA ADPCM written by the output: a header ffprobe and soxi accept, the
// fact count of the real frames (no padded block counted), and ffmpeg
// decodes it to what the input reads back.
TEST_F(WavePipelineTest, ImaAdpcmOutputIsReadable)
{
    for (const char* name : {"speech.wav", "tone.wav"}) {
        SCOPED_TRACE(name);
        TWaveOut output;
        output.SetWavType(wtDVIADPCM);
        const QString out = Path(QString("ima_out_") + name);
        bool failed = true;
        ASSERT_TRUE(Convert(Path(name), out, &output, nullptr, &failed));
        EXPECT_FALSE(failed);
        // soxi and ffprobe count whole blocks (505 or 1017 frames).
        const double expected = ProbeDuration(Path(name));
        const double block = 1017.0 / 22050;
        EXPECT_GE(SoxiDuration(out), expected - 0.001);
        EXPECT_LE(SoxiDuration(out), expected + block);
        EXPECT_GE(ProbeDuration(out), expected - 0.001);
        EXPECT_LE(ProbeDuration(out), expected + block);
        TWaveIn back;
        back.SetFileName(out);
        ASSERT_TRUE(back.GetValid());
        TWaveIn source;
        source.SetFileName(Path(name));
        EXPECT_EQ(back.GetTotalSamples(), source.GetTotalSamples());
        const auto ours = AsS16(ReadAll(back));
        const auto reference = AsS16(FfmpegS16(out));
        ASSERT_FALSE(reference.empty());
        // ffmpeg plays the whole last block; the fact count ends where the sound does.
        ASSERT_LE(ours.size(), reference.size());
        EXPECT_LT(RelativeRms(ours, reference), 0.02);
        // Against the source: lossy, but the same sound.
        const auto source16 = AsS16(FfmpegS16(Path(name)));
        EXPECT_EQ(ours.size(), source16.size());
        EXPECT_LT(RelativeRms(ours, source16), 0.15);
    }
}

// A header announcing more than arrives: the output's header is corrected
// from what was written, without padding.
TEST_F(WavePipelineTest, HeaderSizesComeFromTheRealData)
{
    QFile src(Path("s16.wav"));
    ASSERT_TRUE(src.open(QIODevice::ReadOnly));
    QByteArray all = src.readAll();
    // An unfinished header (size 0), as left by a writer that stopped early.
    qToLittleEndian<quint32>(0, all.data() + 40);
    const QString unfinished = Path("unfinished.wav");
    QFile f(unfinished);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(all);
    f.close();
    const QString out = Path("out_unfinished.wav");
    bool failed = true;
    ASSERT_TRUE(Convert(unfinished, out, nullptr, nullptr, &failed));
    EXPECT_FALSE(failed);
    EXPECT_EQ(QFileInfo(out).size(), QFileInfo(Path("s16.wav")).size());
    EXPECT_NEAR(SoxiDuration(out), SoxiDuration(Path("s16.wav")), 0.001);
}

// Damaged and truncated files end the run with the pipeline's error: a done
// event, a failed run, no output file; never a crash or a hang.
TEST_F(WavePipelineTest, DamagedFilesEndInTheError)
{
    auto load = [](const QString& name) {
        QFile f(Path(name));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    };
    const QByteArray s16 = load("s16.wav");
    const QByteArray ima = load("ima_mono.wav");
    const QByteArray ms = load("ms_stereo.wav");
    auto at = [](const QByteArray& b, const char* id) { return int(b.indexOf(id)); };
    auto patched16 = [](QByteArray b, int offset, quint16 v) {
        qToLittleEndian<quint16>(v, b.data() + offset);
        return b;
    };
    const int imaFmt = at(ima, "fmt ") + 8;
    const int msFmt = at(ms, "fmt ") + 8;
    const int imaData = at(ima, "data") + 8;
    const int msData = at(ms, "data") + 8;
    QByteArray badStep = ima;
    badStep[imaData + 2] = char(200);  // step index of the first block
    QByteArray badPredictor = ms;
    badPredictor[msData] = char(9);    // predictor index beyond the 7 coefficient pairs
    struct TDamage {
        const char* Name;
        QByteArray Bytes;
    } cases[] = {
        {"garbage", QByteArray(5000, 'x')},
        {"header cut", s16.left(30)},
        {"data truncated", s16.left(s16.size() / 2)},
        {"ima truncated", ima.left(ima.size() / 2 + 100)},
        {"zero channels", patched16(s16, at(s16, "fmt ") + 10, 0)},
        {"ima block align huge", patched16(ima, imaFmt + 12, 60000)},
        {"ima block align tiny", patched16(ima, imaFmt + 12, 2)},
        {"ima samples per block too many", patched16(ima, imaFmt + 18, 60000)},
        {"ima three channels", patched16(ima, imaFmt + 2, 3)},
        {"ima step index", badStep},
        {"ms coefficient count 0", patched16(ms, msFmt + 20, 0)},
        {"ms samples per block too many", patched16(ms, msFmt + 18, 30000)},
        {"ms predictor index", badPredictor},
        {"ms five channels", patched16(ms, msFmt + 2, 5)},
    };
    TWaveOut output;
    for (const TDamage& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString in = Path("damaged.wav");
        QFile f(in);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(c.Bytes);
        f.close();
        ExpectRunFails(in, &output);
    }
}

// Input the ADPCM encoder refuses ends the run with the stated error and
// leaves neither the file nor its temporary name behind.
TEST_F(WavePipelineTest, AdpcmRefusalLeavesNoFile)
{
    TWaveOut output;
    output.SetWavType(wtDVIADPCM);
    const QString out = Path("ima_from_u8.wav");
    QString error;
    bool failed = false;
    ASSERT_TRUE(Convert(Path("u8.wav"), out, &output, &error, &failed));
    EXPECT_TRUE(failed);
    EXPECT_EQ(error, "Cannot encode 8 bit sound into ADPCM.");
    EXPECT_FALSE(QFile::exists(out));
    EXPECT_FALSE(QFile::exists(out + ".part"));
}

// A failed run over an existing file removes it rather than leave the old
// contents looking like the result.
TEST_F(WavePipelineTest, FailedRunLeavesNoOldResult)
{
    const QString out = Path("stale.wav");
    QFile::copy(Path("s16.wav"), out);
    ASSERT_TRUE(QFile::exists(out));
    bool failed = false;
    ASSERT_TRUE(Convert(Path("missing.wav"), out, nullptr, nullptr, &failed));
    EXPECT_TRUE(failed);
    EXPECT_FALSE(QFile::exists(out));
}

// Appending in another format fails and leaves the file as it was; appending
// the same format extends it with correct sizes.
TEST_F(WavePipelineTest, AppendKeepsOrExtendsTheFile)
{
    const QString target = Path("append.wav");
    QFile::remove(target);
    QFile::copy(Path("s16.wav"), target);
    const QByteArray before = [&] {
        QFile f(target);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    TWaveOut output;
    output.SetFileMode(foAppend);
    bool failed = false;
    QString error;
    ASSERT_TRUE(Convert(Path("speech.wav"), target, &output, &error, &failed));
    EXPECT_TRUE(failed);
    EXPECT_EQ(error, "Cannot append data in different audio format.");
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    f.close();

    ASSERT_TRUE(Convert(Path("s16.wav"), target, &output, &error, &failed));
    EXPECT_FALSE(failed) << error.toStdString();
    EXPECT_NEAR(SoxiDuration(target), 2 * SoxiDuration(Path("s16.wav")), 0.001);
}

// Crafted files that once crashed the input or made it compute out of range:
// an MS ADPCM block whose step keeps growing, codec data whose decoded
// frames change their channel count midway, a header with an unknown format
// and a huge byte rate. Each ends the run with the pipeline's error.
TEST_F(WavePipelineTest, CraftedFilesEndInTheError)
{
    for (const char* name : {"ms-adpcm-delta-overflow.wav", "codec-channel-change.wav", "huge-bytes-per-second.wav"}) {
        SCOPED_TRACE(name);
        const QString in = QStringLiteral(PIBO_CRAFTED_WAV_DIR "/") + QLatin1String(name);
        ASSERT_TRUE(QFile::exists(in));
        ExpectRunFails(in);
    }
}

// MS ADPCM at the limits: a block that starts with the largest step and
// keeps asking for more saturates the samples instead of wrapping around.
TEST(MsAdpcm, AGrowingStepSaturates)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QByteArray block;
    block.append(char(0));                 // predictor 0: (256, 0)
    block.append("\xFF\x7F", 2);           // delta 32767
    block.append(QByteArray(4, '\0'));     // sample 1, sample 2
    block.append(QByteArray(20, '\x77'));  // 40 codes of +7
    block.append(QByteArray(10, '\x88'));  // 20 codes of -8
    const std::uint16_t align = std::uint16_t(block.size());
    const std::uint16_t perBlock = 2 + 2 * (align - 7);
    QByteArray fmt;
    auto put16 = [&fmt](int v) { fmt.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); };
    auto put32 = [&](std::uint32_t v) {
        put16(int(v & 0xFFFF));
        put16(int(v >> 16));
    };
    put16(2);
    put16(1);
    put32(8000);
    put32(8000 * align / perBlock);
    put16(align);
    put16(4);
    put16(32);
    put16(perBlock);
    put16(7);
    for (int c : {256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232})
        put16(c);
    QByteArray file = "WAVEfmt ";
    file += QByteArray(4, '\0');
    qToLittleEndian<std::uint32_t>(std::uint32_t(fmt.size()), file.data() + 8);
    file += fmt;
    file += QByteArray("fact\x04\0\0\0", 8);
    file += QByteArray(4, '\0');
    qToLittleEndian<std::uint32_t>(perBlock, file.data() + file.size() - 4);
    file += QByteArray("data", 4) + QByteArray(4, '\0');
    qToLittleEndian<std::uint32_t>(std::uint32_t(block.size()), file.data() + file.size() - 4);
    file += block;
    QByteArray riff = "RIFF" + QByteArray(4, '\0') + file;
    qToLittleEndian<std::uint32_t>(std::uint32_t(file.size()), riff.data() + 4);
    const QString path = dir.filePath("ms.wav");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(riff);
    f.close();

    TWaveIn in;
    in.SetFileName(path);
    ASSERT_TRUE(in.GetValid());
    const std::vector<std::int16_t> samples = AsS16(ReadAll(in));
    ASSERT_EQ(samples.size(), std::size_t(perBlock));
    EXPECT_EQ(samples[0], 0);
    EXPECT_EQ(samples[1], 0);
    for (std::size_t i = 2; i < 42; ++i)
        EXPECT_EQ(samples[i], 32767) << "sample " << i;
    for (std::size_t i = 42; i < samples.size(); ++i)
        EXPECT_EQ(samples[i], -32768) << "sample " << i;
}

// The float conversion of the input: the stated values.
TEST(AudioPipeProcs, FloatToIntegerValues)
{
    double d[5] = {0.5, 1.0, -1.0, 0.0, 2.0};
    std::int32_t expected[5] = {1073741823, 2147483647, -2147483647 - 1, 0, 2147483647};
    QByteArray bytes(reinterpret_cast<const char*>(d), sizeof d);
    ConvertDoublesToInts(bytes.data(), std::uint32_t(bytes.size()));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(qFromLittleEndian<std::int32_t>(bytes.constData() + 4 * i), expected[i]);
}

}  // namespace
