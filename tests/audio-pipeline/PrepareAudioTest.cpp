// Making the playable WAV of a plain audio file in "temp/": conversion,
// leading silence, and the stamp that decides when a made file is reused.

#include "UPrepareAudio.h"

#include "Mp3Fixtures.h"
#include "TestSupport.h"

#include <QtCore/QDateTime>
#include <QtCore/QDir>
#include <QtCore/QFile>

#include <gtest/gtest.h>

using namespace Mp3Fixtures;

namespace {

// Half a second of 16-bit silence at the file's rate and channel count.
qint64 SilenceBytes(const TWaveFacts& w)
{
    return qint64(w.SampleRate / 2) * w.Channels * (w.Bits / 8);
}

}  // namespace

TEST(PrepareAudio, Mp3BecomesAPaddedWavAndIsReusedWhileTheSourceIsUnchanged)
{
    TTestProgramFolder folder;
    const QString source = folder.File("audio/lesson.mp3");
    ASSERT_TRUE(QFile::copy(File("cbr_stereo.mp3"), source));
    const QString target = folder.File("temp/lesson.wav");

    ASSERT_TRUE(PrepareAudioFile(source, target));
    const TWaveFacts made = ReadWave(target);
    ASSERT_TRUE(made.Ok);
    const qint64 silence = SilenceBytes(made);
    ASSERT_GT(made.Data.size(), silence);
    EXPECT_EQ(made.Data.left(silence), QByteArray(silence, '\0'));
    EXPECT_TRUE(CacheStampMatches(target, source));
    EXPECT_FALSE(QFile::exists(folder.File("temp/PiboTempMP3TOWav.wav")));

    // Reused: a mark written over the end of the made file survives a
    // second call.
    {
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.seek(made.FileSize - 4));
        f.write("MARK");
    }
    ASSERT_TRUE(PrepareAudioFile(source, target));
    EXPECT_TRUE(ReadFile(target).endsWith("MARK"));
    EXPECT_EQ(QFile(target).size(), made.FileSize);

    // Another file of the same base name is converted anew.
    const QString other = folder.File("video/lesson.mp3");
    QDir().mkpath(folder.File("video"));
    ASSERT_TRUE(QFile::copy(File("cbr_mono.mp3"), other));
    EXPECT_FALSE(CacheStampMatches(target, other));
    ASSERT_TRUE(PrepareAudioFile(other, target));
    EXPECT_NE(QFile(target).size(), made.FileSize);
    EXPECT_TRUE(CacheStampMatches(target, other));
}

TEST(PrepareAudio, AChangedSourceIsMadeAnew)
{
    TTestProgramFolder folder;
    const QString source = folder.File("audio/tone.wav");
    WriteWave(source, 1, 8000, 16, QByteArray(1600, '\x11'), false);
    const QString target = folder.File("temp/tone.wav");
    ASSERT_TRUE(PrepareAudioFile(source, target));
    EXPECT_EQ(ReadWave(target).Data.size(), 8000 + 1600);

    WriteWave(source, 1, 8000, 16, QByteArray(3200, '\x11'), false);
    QFile(source).setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime);
    EXPECT_FALSE(CacheStampMatches(target, source));
    ASSERT_TRUE(PrepareAudioFile(source, target));
    EXPECT_EQ(ReadWave(target).Data.size(), 8000 + 3200);
}

TEST(PrepareAudio, AFailedConversionLeavesNoTarget)
{
    TTestProgramFolder folder;
    const QString source = folder.File("audio/broken.mp3");
    {
        QFile f(source);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(5000, 'x'));
    }
    const QString target = folder.File("temp/broken.wav");
    EXPECT_FALSE(PrepareAudioFile(source, target));
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_FALSE(QFile::exists(CacheStampPath(target)));
    EXPECT_FALSE(PrepareAudioFile(folder.File("audio/missing.wav"), folder.File("temp/missing.wav")));
    EXPECT_FALSE(QFile::exists(folder.File("temp/missing.wav")));
}
