// Automatic sentence cutting on synthetic WAV files: tones separated by quiet
// stretches of known length, in every analysed layout, with and without
// chunks around the sound data.

#include "UPiboAudioClass.h"

#include "AnsiText.h"

#include <QtCore/QByteArray>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtCore/QtEndian>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

enum TSegKind {
    skQuiet,     // digital silence
    skTone,      // a 440 Hz tone on every channel
    skRightOnly, // the tone on the right channel only (stereo), left silent
    skNegative,  // only the negative half-waves of the tone
    skHiss,      // low noise just below the default noise level
};

struct TSeg {
    double Seconds;
    TSegKind Kind;
};

void PutLe16(QByteArray& b, quint16 v)
{
    char c[2];
    qToLittleEndian(v, c);
    b.append(c, 2);
}

void PutLe32(QByteArray& b, quint32 v)
{
    char c[4];
    qToLittleEndian(v, c);
    b.append(c, 4);
}

void PutChunk(QByteArray& b, const char* id, const QByteArray& body)
{
    b.append(id, 4);
    PutLe32(b, static_cast<quint32>(body.size()));
    b.append(body);
    if (body.size() % 2)
        b.append('\0');
}

// One sample of the given level (-32768..32767 scale) in the layout's bits.
void PutSample(QByteArray& b, int bits, double level)
{
    if (bits == 16) {
        PutLe16(b, static_cast<quint16>(static_cast<qint16>(std::lround(level))));
    } else if (bits == 8) {
        b.append(static_cast<char>(static_cast<unsigned char>(128 + std::lround(level / 256.0))));
    } else {  // 24-bit
        const qint32 v = static_cast<qint32>(std::lround(level * 256.0));
        b.append(static_cast<char>(v & 0xFF));
        b.append(static_cast<char>((v >> 8) & 0xFF));
        b.append(static_cast<char>((v >> 16) & 0xFF));
    }
}

QByteArray SoundData(int channels, int bits, int rate, const std::vector<TSeg>& segs)
{
    QByteArray data;
    const double amplitude = 12000;
    quint32 noise = 12345;
    for (const TSeg& seg : segs) {
        const qint64 frames = std::llround(seg.Seconds * rate);
        for (qint64 k = 0; k < frames; ++k) {
            const double s = amplitude * std::sin(2 * M_PI * 440.0 * static_cast<double>(k) / rate);
            noise = noise * 1103515245u + 12345u;
            const double hiss = (static_cast<double>((noise >> 16) % 3000) - 1500.0);
            for (int ch = 0; ch < channels; ++ch) {
                double level = 0;
                switch (seg.Kind) {
                case skQuiet: level = 0; break;
                case skTone: level = s; break;
                case skRightOnly: level = (ch == channels - 1) ? s : 0; break;
                case skNegative: level = -std::fabs(s); break;
                case skHiss: level = hiss; break;
                }
                PutSample(data, bits, level);
            }
        }
    }
    return data;
}

// A RIFF WAVE file. extraBefore puts a LIST chunk of odd size (padded) and a
// "fact"-like unknown chunk between "fmt " and "data"; trailing adds a chunk
// of loud bytes after "data".
QByteArray MakeWave(int channels, int bits, int rate, const std::vector<TSeg>& segs, bool extraBefore = false,
                    qint64 trailingBytes = 0, quint16 formatTag = 1)
{
    QByteArray fmt;
    const int align = channels * ((bits + 7) / 8);
    PutLe16(fmt, formatTag);
    PutLe16(fmt, static_cast<quint16>(channels));
    PutLe32(fmt, static_cast<quint32>(rate));
    PutLe32(fmt, static_cast<quint32>(rate * align));
    PutLe16(fmt, static_cast<quint16>(align));
    PutLe16(fmt, static_cast<quint16>(bits));
    if (formatTag != 1)
        PutLe16(fmt, 0);  // cbSize
    QByteArray body("WAVE");
    PutChunk(body, "fmt ", fmt);
    if (extraBefore) {
        PutChunk(body, "LIST", QByteArray("INFOISFT\x0b\0\0\0Synthesis\0\0", 23));
        PutChunk(body, "junk", QByteArray(1001, '\x7f'));
    }
    PutChunk(body, "data", SoundData(channels, bits, rate, segs));
    if (trailingBytes > 0)
        PutChunk(body, "zzzz", QByteArray(trailingBytes, '\x7f'));
    QByteArray file("RIFF");
    PutLe32(file, static_cast<quint32>(body.size()));
    return file + body;
}

class AutoCutTest : public ::testing::Test {
protected:
    QString Write(const QByteArray& bytes, const QString& name = QStringLiteral("in.wav"))
    {
        const QString path = FDir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QString Out() const { return FDir.filePath(QStringLiteral("out.plrc")); }

    // The sentence starts of the written subtitle in ms.
    std::vector<int> Starts(const QString& plrcPath)
    {
        QFile f(plrcPath);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        std::vector<int> starts;
        for (qsizetype i = 0; i + 2 < lines.size(); i += 3) {
            EXPECT_EQ(lines[i + 1], "\r");
            EXPECT_EQ(lines[i + 2], "\r");
            starts.push_back(LrcTimeToMSec(QString::fromLatin1(lines[i].chopped(1))));
        }
        return starts;
    }

    std::vector<int> Cut(const QByteArray& wave, const TAudioCutSentencePara& para = {})
    {
        const QString in = Write(wave);
        QFile::remove(Out());
        EXPECT_EQ(AutoCutSentences(in, Out(), para), AutoCutOk);
        return Starts(Out());
    }

    QTemporaryDir FDir;
};

void ExpectStartsNear(const std::vector<int>& actual, const std::vector<double>& expectedSeconds,
                      const std::string& what)
{
    ASSERT_EQ(actual.size(), expectedSeconds.size()) << what;
    for (std::size_t i = 0; i < actual.size(); ++i)
        EXPECT_NEAR(actual[i], expectedSeconds[i] * 1000.0, 20.0) << what << " sentence " << i;
}

// 0.5 s of leading silence as every lesson WAV has, three sentences.
const std::vector<TSeg> ThreeSentences = {
    {0.5, skQuiet}, {1.5, skTone}, {0.4, skQuiet}, {2.0, skTone}, {0.3, skQuiet}, {1.6, skTone},
};
// Quiet stretches 2.0-2.4 and 4.4-4.7: cuts at 2.2 and 4.55.
const std::vector<double> ThreeSentenceStarts = {0.0, 2.2, 4.55};

TEST_F(AutoCutTest, CutsInTheMiddleOfEveryPauseInEveryLayout)
{
    struct TCase {
        int Channels;
        int Bits;
        int Rate;
        bool ExtraBefore;
    };
    const TCase cases[] = {
        {2, 16, 44100, false}, {2, 16, 44100, true}, {1, 16, 22050, false}, {1, 16, 22050, true},
        {2, 8, 11025, false},  {2, 8, 11025, true},  {1, 8, 8000, false},   {1, 8, 8000, true},
    };
    for (const TCase& c : cases) {
        const std::string what = std::to_string(c.Channels) + " ch " + std::to_string(c.Bits) + " bit" +
                                 (c.ExtraBefore ? " with chunks before data" : "");
        ExpectStartsNear(Cut(MakeWave(c.Channels, c.Bits, c.Rate, ThreeSentences, c.ExtraBefore)),
                         ThreeSentenceStarts, what);
    }
}

TEST_F(AutoCutTest, LevelsAreMagnitudesOnEveryChannel)
{
    // Sound only below zero, and sound only on the right channel, is sound.
    const std::vector<TSeg> negative = {
        {0.5, skQuiet}, {1.5, skNegative}, {0.4, skQuiet}, {2.0, skNegative}, {0.3, skQuiet}, {1.6, skNegative},
    };
    ExpectStartsNear(Cut(MakeWave(1, 16, 22050, negative)), ThreeSentenceStarts, "negative half-waves, 16 bit");
    ExpectStartsNear(Cut(MakeWave(2, 8, 11025, negative)), ThreeSentenceStarts, "negative half-waves, 8 bit");

    const std::vector<TSeg> rightOnly = {
        {0.5, skQuiet}, {1.5, skTone}, {0.4, skQuiet}, {2.0, skRightOnly}, {0.3, skQuiet}, {1.6, skTone},
    };
    ExpectStartsNear(Cut(MakeWave(2, 16, 22050, rightOnly)), ThreeSentenceStarts, "right channel only");

    // Hiss below the noise level counts as quiet.
    const std::vector<TSeg> hiss = {
        {0.5, skHiss}, {1.5, skTone}, {0.4, skHiss}, {2.0, skTone}, {0.3, skHiss}, {1.6, skTone},
    };
    ExpectStartsNear(Cut(MakeWave(2, 16, 22050, hiss)), ThreeSentenceStarts, "hiss in the pauses");
}

TEST_F(AutoCutTest, ThePlanDecidesWhichPausesCount)
{
    // A pause of 100 ms is shorter than BreakValue 150: no cut there.
    const std::vector<TSeg> shortPause = {
        {1.5, skTone}, {0.1, skQuiet}, {1.5, skTone}, {0.5, skQuiet}, {1.5, skTone},
    };
    ExpectStartsNear(Cut(MakeWave(2, 16, 44100, shortPause)), {0.0, 3.35}, "100 ms pause");

    TAudioCutSentencePara shortBreak;
    shortBreak.BreakValue = 80;
    ExpectStartsNear(Cut(MakeWave(2, 16, 44100, shortPause), shortBreak), {0.0, 1.55, 3.35}, "BreakValue 80");

    // The first segment of 1 s is shorter than MinLength 1200: its pause is
    // not cut, the segment grows on to the next pause.
    const std::vector<TSeg> shortFirst = {
        {1.0, skTone}, {0.4, skQuiet}, {1.5, skTone}, {0.4, skQuiet}, {1.5, skTone},
    };
    ExpectStartsNear(Cut(MakeWave(1, 16, 22050, shortFirst)), {0.0, 3.1}, "short first sentence");

    // A pause less than MinLength before the end: no cut there, nor later.
    const std::vector<TSeg> nearEnd = {
        {1.5, skTone}, {0.4, skQuiet}, {1.5, skTone}, {0.4, skQuiet}, {1.0, skTone},
    };
    ExpectStartsNear(Cut(MakeWave(1, 16, 22050, nearEnd)), {0.0, 1.7}, "pause near the end");
}

// A mono 16-bit file at 100 Hz: one frame is 2 bytes and 10 ms, so every
// position of the scan is a whole number of 5 ms steps. Runs of frames of
// one level each.
struct TRun {
    int Frames;
    int Level;
};

QByteArray FlatWave(const std::vector<TRun>& runs)
{
    QByteArray data;
    for (const TRun& run : runs)
        for (int k = 0; k < run.Frames; ++k)
            PutLe16(data, static_cast<quint16>(static_cast<qint16>(run.Level)));
    QByteArray fmt;
    PutLe16(fmt, 1);
    PutLe16(fmt, 1);
    PutLe32(fmt, 100);
    PutLe32(fmt, 200);
    PutLe16(fmt, 2);
    PutLe16(fmt, 16);
    QByteArray body("WAVE");
    PutChunk(body, "fmt ", fmt);
    PutChunk(body, "data", data);
    QByteArray file("RIFF");
    PutLe32(file, static_cast<quint32>(body.size()));
    return file + body;
}

// Worked by hand from the scan rules: S lies just after the first quiet frame
// of a pause and D at the first loud frame after it; a pause counts when D - S
// lasts at least BreakValue; the segment runs from the first quiet frame since
// the last cut (V) to the latest loud frame while V was set (A) and must last
// MinLength; at least MinLength of data must follow D. The cut lies at
// S + (D - S) / 2.
TEST_F(AutoCutTest, HandWorkedPositionsAndThresholds)
{
    constexpr int L = 10000;  // loud
    struct TCase {
        const char* Name;
        std::vector<TRun> Runs;
        qint32 MinLength;
        QStringList Times;
    };
    const TCase cases[] = {
        // Pause 1.40-1.59 s: S = 1.41 s, D = 1.59 s (180 ms), cut at 1.50 s;
        // segment V = 0 to A = 1.39 s.
        {"pause of 19 frames", {{10, 0}, {130, L}, {19, 0}, {150, L}}, 1200, {"00:00.00", "00:01.50"}},
        // D - S = 150 ms: just enough; cut at 1.485 s.
        {"pause of 16 frames", {{10, 0}, {130, L}, {16, 0}, {150, L}}, 1200, {"00:00.00", "00:01.48"}},
        // D - S = 140 ms although the pause lasts 150 ms.
        {"pause of 15 frames", {{10, 0}, {130, L}, {15, 0}, {150, L}}, 1200, {"00:00.00"}},
        // The segment V..A lasts 1390 ms.
        {"segment equal to MinLength", {{10, 0}, {130, L}, {19, 0}, {150, L}}, 1390, {"00:00.00", "00:01.50"}},
        {"segment 1 ms short", {{10, 0}, {130, L}, {19, 0}, {150, L}}, 1391, {"00:00.00"}},
        // 1200 ms and 1190 ms of data after D.
        {"MinLength of data after the pause", {{10, 0}, {130, L}, {19, 0}, {120, L}}, 1200, {"00:00.00", "00:01.50"}},
        {"less data after the pause", {{10, 0}, {130, L}, {19, 0}, {119, L}}, 1200, {"00:00.00"}},
        // After a cut V is none until the next quiet frame: the second pause
        // sets V (2.89 s) but no loud frame has followed V yet, so it is not
        // cut; the third is, with the segment 2.89-4.37 s.
        {"a segment starts at the first quiet frame after a cut",
         {{10, 0}, {130, L}, {19, 0}, {130, L}, {19, 0}, {130, L}, {19, 0}, {130, L}}, 1200,
         {"00:00.00", "00:01.50", "00:04.48"}},
        // A file that starts loud: V is set only by the first pause, which
        // then has no loud frame in its segment; the second pause is cut at
        // 2.99 s (S = 2.90 s, D = 3.08 s).
        {"loud from the start", {{140, L}, {19, 0}, {130, L}, {19, 0}, {150, L}}, 1200, {"00:00.00", "00:02.99"}},
    };
    for (const TCase& c : cases) {
        TAudioCutSentencePara para;
        para.MinLength = c.MinLength;
        EXPECT_EQ(AutoCutSentences(Write(FlatWave(c.Runs)), Out(), para), AutoCutOk) << c.Name;
        QFile f(Out());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << c.Name;
        QByteArray expected;
        for (const QString& time : c.Times)
            expected += time.toLatin1() + "\r\n\r\n\r\n";
        EXPECT_EQ(f.readAll(), expected) << c.Name;
    }

    // Levels: a frame is quiet below NoiseValue or below MuteValue, loud from
    // the higher of the two on, below zero as above.
    struct TLevel {
        int Noise;
        int Mute;
        int Level;
        bool Cut;
    };
    for (const TLevel& t : {TLevel{2500, 5, 2500, true}, TLevel{2500, 5, 2499, false}, TLevel{2500, 5, -2500, true},
                            TLevel{2500, 5, -2499, false}, TLevel{100, 3000, 2999, false},
                            TLevel{100, 3000, 3000, true}}) {
        TAudioCutSentencePara para;
        para.NoiseValue = t.Noise;
        para.MuteValue = t.Mute;
        EXPECT_EQ(AutoCutSentences(Write(FlatWave({{10, 0}, {130, t.Level}, {19, 0}, {150, t.Level}})), Out(), para),
                  AutoCutOk);
        QFile f(Out());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), QByteArray(t.Cut ? "00:00.00\r\n\r\n\r\n00:01.50\r\n\r\n\r\n" : "00:00.00\r\n\r\n\r\n"))
            << t.Level;
    }
}

TEST_F(AutoCutTest, OnlyTheDataChunkIsSound)
{
    // Two seconds' worth of loud bytes after "data": they are not scanned, so
    // the last pause (1 s before the end of the sound) is still too late.
    const std::vector<TSeg> nearEnd = {
        {1.5, skTone}, {0.4, skQuiet}, {1.5, skTone}, {0.4, skQuiet}, {1.0, skTone},
    };
    ExpectStartsNear(Cut(MakeWave(1, 16, 22050, nearEnd, true, 2 * 44100)), {0.0, 1.7}, "chunk after data");
}

TEST_F(AutoCutTest, SilenceOrAnUnanalysedLayoutGivesOneSentence)
{
    const QByteArray expected("00:00.00\r\n\r\n\r\n");
    const auto cutBytes = [this](const QByteArray& wave) {
        EXPECT_EQ(AutoCutSentences(Write(wave), Out(), {}), AutoCutOk);
        QFile f(Out());
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    };
    EXPECT_EQ(cutBytes(MakeWave(2, 16, 44100, {{5.0, skQuiet}})), expected);
    EXPECT_EQ(cutBytes(MakeWave(1, 8, 8000, {{5.0, skQuiet}})), expected);
    EXPECT_EQ(cutBytes(MakeWave(1, 16, 8000, {})), expected);
    EXPECT_EQ(cutBytes(MakeWave(1, 24, 8000, ThreeSentences)), expected);
}

TEST_F(AutoCutTest, FailuresAreReportedAndLeaveNoSubtitle)
{
    EXPECT_EQ(AutoCutSentences(FDir.filePath(QStringLiteral("missing.wav")), Out(), {}), AutoCutNoFile);
    EXPECT_EQ(AutoCutSentences(Write(MakeWave(2, 32, 8000, ThreeSentences, false, 0, 3)), Out(), {}),
              AutoCutNotPcm);
    EXPECT_EQ(AutoCutSentences(Write(QByteArray("not a wave file at all, just text")), Out(), {}), AutoCutFailed);
    EXPECT_FALSE(QFile::exists(Out()));
    // The subtitle cannot be written: a folder that does not exist.
    EXPECT_EQ(AutoCutSentences(Write(MakeWave(1, 16, 8000, ThreeSentences)),
                               FDir.filePath(QStringLiteral("no/such/folder/out.plrc")), {}),
              AutoCutFailed);
}

}  // namespace
