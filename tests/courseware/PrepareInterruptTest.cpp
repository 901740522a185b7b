// Preparing a lesson's WAV in one pass: the same bytes as converting, then
// putting the silence in front; a preparation cut off at any of its writes
// (a process that ends there) is made anew on the next opening and never
// taken as finished; a WAV whose length is not the stamp's is refused.

#include "Mp3Fixtures.h"
#include "TestSupport.h"
#include "UAudioConverters.h"
#include "UPiboDataPack.h"
#include "UPrepareAudio.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QProcess>
#include <QtCore/QProcessEnvironment>

#include <gtest/gtest.h>

#include <vector>

using namespace Mp3Fixtures;

namespace {

QByteArray Bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void PutBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// What the two passes of before made of an MP3: the converted WAV, then the
// silence put in front of it by rewriting the file.
QByteArray TwoPassWav(const QString& mp3)
{
    const QString path = Folder() + QStringLiteral("/two-pass.wav");
    TAudioConverters converter;
    if (!converter.Convert(TAudioConverters::cmMp3ToWav, mp3, path) || !PrependSilence(path))
        return {};
    return Bytes(path);
}

// Runs the child that prepares and ends at step; its exit code (3: ended
// there), or -1 when it did not end normally.
int RunChild(const TTestProgramFolder& folder, const QStringList& args)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PIBO_PROGRAM_FOLDER"), folder.Path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QStringLiteral(PIBO_PREPARE_CHILD), args);
    if (!child.waitForFinished(120000) || child.exitStatus() != QProcess::NormalExit)
        return -1;
    return child.exitCode();
}

struct TStopCase {
    const char* Step;
    bool Finished;  // the stamp was in place when the process ended
};

// A package's WAV gets the stamp of its MP3 first, the package's stamp last.
const std::vector<TStopCase> PackageSteps{{"split", false},      {"converting", false},   {"wav", false},
                                          {"stamp-part", false}, {"stamp", false},        {"stamp-part@2", false},
                                          {"stamp@2", true}};
const std::vector<TStopCase> FileSteps{{"converting", false}, {"wav", false}, {"stamp-part", false}, {"stamp", true}};

void MakePackage(const TTestProgramFolder& folder, const QString& package)
{
    QDir().mkpath(folder.File(QStringLiteral("audio")));
    const QString plrc = folder.File(QStringLiteral("audio/lesson.plrc"));
    PutBytes(plrc, "00:00.00\r\nGood morning.\r\nGood morning.\r\n");
    ASSERT_TRUE(JoinPackFile(plrc, File(QStringLiteral("cbr_stereo.mp3")), package));
    ASSERT_TRUE(ZipInPlace(package));
}

}  // namespace

TEST(PrepareOnePass, GivesTheBytesOfConvertingThenPadding)
{
    const QByteArray expected = TwoPassWav(File(QStringLiteral("cbr_stereo.mp3")));
    ASSERT_FALSE(expected.isEmpty());

    TTestProgramFolder folder;
    const QString source = folder.File(QStringLiteral("audio/lesson.mp3"));
    QDir().mkpath(folder.File(QStringLiteral("audio")));
    ASSERT_TRUE(QFile::copy(File(QStringLiteral("cbr_stereo.mp3")), source));
    const QString target = folder.File(QStringLiteral("temp/lesson.wav"));
    ASSERT_TRUE(PrepareAudioFile(source, target));
    EXPECT_TRUE(Bytes(target) == expected);

    const QString package = folder.File(QStringLiteral("audio/Unit.pibo"));
    MakePackage(folder, package);
    QString play;
    ASSERT_TRUE(OpenPackage(package, play));
    EXPECT_TRUE(Bytes(play) == expected);
    // Nothing but the lesson's own files is left in temp/.
    QStringList left = QDir(folder.File(QStringLiteral("temp"))).entryList(QDir::Files);
    left.sort();
    EXPECT_EQ(left, (QStringList{"Unit.mp3", "Unit.plrc", "Unit.plrc.src", "Unit.wav", "Unit.wav.src", "lesson.mp3", "lesson.wav",
                                 "lesson.wav.src"}));
}

TEST(PrepareOnePass, AWavSourceGetsTheBytesOfCopyingThenPadding)
{
    struct TLayout {
        int Channels, Rate, Bits;
        bool ListBefore, ChunkAfter;
    };
    const std::vector<TLayout> layouts{{2, 44100, 16, false, false}, {1, 22050, 8, true, true},
                                       {1, 11025, 8, false, true},  {2, 11025, 16, true, false},
                                       {2, 44100, 24, false, false}};
    for (const TLayout& l : layouts) {
        SCOPED_TRACE(testing::Message() << l.Channels << "ch " << l.Rate << " Hz " << l.Bits << " bit");
        TTestProgramFolder folder;
        QDir().mkpath(folder.File(QStringLiteral("audio")));
        const QString source = folder.File(QStringLiteral("audio/tone.wav"));
        QByteArray sound;
        const int frameBytes = l.Channels * l.Bits / 8;
        for (int i = 0; i < (l.Rate / 4 + 1) * frameBytes; ++i)
            sound.append(char(1 + (i * 13) % 200));
        WriteWave(source, l.Channels, l.Rate, l.Bits, sound, l.ListBefore, l.ChunkAfter);
        const QByteArray original = Bytes(source);
        const QString before = folder.File(QStringLiteral("before.wav"));
        PutBytes(before, original);
        ASSERT_TRUE(PrependSilence(before));

        const QString target = folder.File(QStringLiteral("temp/tone.wav"));
        ASSERT_TRUE(PrepareAudioFile(source, target));
        EXPECT_TRUE(Bytes(target) == Bytes(before));
        EXPECT_TRUE(Bytes(source) == original);
    }
}

TEST(PrepareOnePass, AStampWithAWavOfAnotherLengthIsRefused)
{
    const QByteArray expected = TwoPassWav(File(QStringLiteral("cbr_stereo.mp3")));
    TTestProgramFolder folder;
    const QString package = folder.File(QStringLiteral("audio/Unit.pibo"));
    MakePackage(folder, package);
    QString play;
    ASSERT_TRUE(OpenPackage(package, play));
    const QString plrc = folder.File(QStringLiteral("temp/Unit.plrc"));
    ASSERT_TRUE(CacheStampMatches(plrc, package, play));

    const struct {
        const char* What;
        QByteArray Wav;
    } damaged[] = {{"cut short", expected.left(expected.size() - 4)},
                   {"cut to its header", expected.left(44)},
                   {"empty", QByteArray()},
                   {"longer", expected + QByteArray(4, '\0')}};
    for (const auto& d : damaged) {
        SCOPED_TRACE(d.What);
        PutBytes(play, d.Wav);
        EXPECT_FALSE(CacheStampMatches(plrc, package, play));
        QString again;
        ASSERT_TRUE(OpenPackage(package, again));
        EXPECT_EQ(again, play);
        EXPECT_TRUE(Bytes(play) == expected);
        EXPECT_TRUE(CacheStampMatches(plrc, package, play));
    }

    // The same for a plain file.
    const QString source = folder.File(QStringLiteral("audio/lesson.mp3"));
    ASSERT_TRUE(QFile::copy(File(QStringLiteral("cbr_stereo.mp3")), source));
    const QString target = folder.File(QStringLiteral("temp/lesson.wav"));
    ASSERT_TRUE(PrepareAudioFile(source, target));
    PutBytes(target, expected.left(expected.size() / 2));
    EXPECT_FALSE(CacheStampMatches(target, source));
    ASSERT_TRUE(PrepareAudioFile(source, target));
    EXPECT_TRUE(Bytes(target) == expected);
}

TEST(PrepareInterrupted, APackageStoppedAtEachWriteIsMadeAnew)
{
    const QByteArray expected = TwoPassWav(File(QStringLiteral("cbr_stereo.mp3")));
    ASSERT_FALSE(expected.isEmpty());
    for (const TStopCase& c : PackageSteps) {
        SCOPED_TRACE(c.Step);
        TTestProgramFolder folder;
        const QString package = folder.File(QStringLiteral("audio/Unit.pibo"));
        MakePackage(folder, package);
        ASSERT_EQ(RunChild(folder, {QStringLiteral("package"), package, QString::fromLatin1(c.Step)}), 3);

        const QString plrc = folder.File(QStringLiteral("temp/Unit.plrc"));
        const QString wav = folder.File(QStringLiteral("temp/Unit.wav"));
        // What the process left is taken only when it had finished.
        EXPECT_EQ(CacheStampMatches(plrc, package, wav), c.Finished);
        QString play;
        ASSERT_TRUE(OpenPackage(package, play));
        EXPECT_EQ(play, wav);
        EXPECT_TRUE(Bytes(play) == expected);
        EXPECT_TRUE(CacheStampMatches(plrc, package, wav));
    }
}

TEST(PrepareInterrupted, AFileStoppedAtEachWriteIsMadeAnew)
{
    const QByteArray expected = TwoPassWav(File(QStringLiteral("cbr_stereo.mp3")));
    ASSERT_FALSE(expected.isEmpty());
    for (const TStopCase& c : FileSteps) {
        SCOPED_TRACE(c.Step);
        TTestProgramFolder folder;
        QDir().mkpath(folder.File(QStringLiteral("audio")));
        const QString source = folder.File(QStringLiteral("audio/lesson.mp3"));
        ASSERT_TRUE(QFile::copy(File(QStringLiteral("cbr_stereo.mp3")), source));
        const QString target = folder.File(QStringLiteral("temp/lesson.wav"));
        ASSERT_EQ(RunChild(folder, {QStringLiteral("file"), source, target, QString::fromLatin1(c.Step)}), 3);

        EXPECT_EQ(CacheStampMatches(target, source), c.Finished);
        ASSERT_TRUE(PrepareAudioFile(source, target));
        EXPECT_TRUE(Bytes(target) == expected);
        EXPECT_TRUE(CacheStampMatches(target, source));
    }
}
