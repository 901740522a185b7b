// Courseware packages: the header, joining and splitting byte for byte,
// zipping, opening into temp/ with its cache, and packages made to harm.

#include "Mp3Fixtures.h"
#include "TestSupport.h"
#include "UPiboDataPack.h"
#include "UPrepareAudio.h"

#include "AnsiText.h"

#include <QtCore/QDir>
#include <QtCore/QDirIterator>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

using namespace Mp3Fixtures;

namespace {

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray Header(quint32 n, const QByteArray& ext5)
{
    QByteArray h;
    h.append(static_cast<char>(n >> 24)).append(static_cast<char>(n >> 16)).append(static_cast<char>(n >> 8)).append(static_cast<char>(n));
    return h + ext5;
}

// A three-sentence ".plrc" in GBK with CR LF.
QByteArray GbkPlrc()
{
    return StringToAnsi(QStringLiteral("00:00.00\r\nGood morning.\r\n早上好。\r\n00:01.20\r\nHow are you?\r\n你好吗？\r\n"
                                       "00:02.40\r\nSee you.\r\n再见。\r\n"));
}

// Every file below root, relative.
QStringList Tree(const QString& root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
}

class DataPack : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Work.isValid()); }
    QString W(const QString& name) const { return Work.filePath(name); }
    QString Temp(const QString& name) const { return Folder.File(QStringLiteral("temp/") + name); }

    // Joins subtitle bytes and a media file into an audio package at path.
    void MakeAudioPackage(const QString& path, const QByteArray& subtitle, const QString& media)
    {
        WriteFile(W(QStringLiteral("lesson.plrc")), subtitle);
        ASSERT_TRUE(JoinPackFile(W(QStringLiteral("lesson.plrc")), media, path));
        ASSERT_TRUE(ZipInPlace(path));
    }

    TTestProgramFolder Folder;
    QTemporaryDir Work;
};

TEST_F(DataPack, ExtensionFieldAndHeader)
{
    struct Case {
        const char* media;
        const char* field;
    };
    for (const Case& c : std::vector<Case>{{"a.mp3", "  mp3"}, {"b.rmvb", " rmvb"}, {"c.abcdef", "abcde"},
                                           {"noext", "     "}, {"d.e.wav", "  wav"}, {"f.flv", "  flv"},
                                           {"LESSON.MP3", "  MP3"}})
        EXPECT_EQ(PackExtField(QString::fromLatin1(c.media)), QByteArray(c.field)) << c.media;

    WriteFile(W("s.plrc"), QByteArray(300, 'x'));
    WriteFile(W("m.mp3"), QByteArray("MEDIA"));
    ASSERT_TRUE(JoinPackFile(W("s.plrc"), W("m.mp3"), W("p.body")));
    const QByteArray body = ReadFile(W("p.body"));
    EXPECT_EQ(body.left(9), QByteArray::fromHex("0000012c20206d7033"));
    EXPECT_EQ(body.size(), 9 + 300 + 5);
}

TEST_F(DataPack, JoinAndSplitKeepEveryByte)
{
    const QString mp3 = File(QStringLiteral("cbr_mono.mp3"));
    WriteFile(W("s.plrc"), GbkPlrc());
    ASSERT_TRUE(JoinPackFile(W("s.plrc"), mp3, W("x.body")));
    QString media = W("out");
    ASSERT_TRUE(SplitPackFile(W("x.body"), W("out.plrc"), media));
    EXPECT_EQ(media, W("out.mp3"));
    EXPECT_EQ(ReadFile(W("out.plrc")), GbkPlrc());
    EXPECT_EQ(ReadFile(W("out.mp3")), ReadFile(mp3));

    // An empty subtitle part: an empty subtitle file and the rest as media.
    WriteFile(W("empty.plrc"), QByteArray());
    ASSERT_TRUE(JoinPackFile(W("empty.plrc"), mp3, W("e.body")));
    QString media2 = W("e");
    ASSERT_TRUE(SplitPackFile(W("e.body"), W("e.plrc"), media2));
    EXPECT_TRUE(QFileInfo::exists(W("e.plrc")));
    EXPECT_EQ(QFileInfo(W("e.plrc")).size(), 0);
    EXPECT_EQ(ReadFile(media2), ReadFile(mp3));

    QString ext;
    ReadPackMediaExt(W("x.body"), ext);
    EXPECT_EQ(ext, QStringLiteral(".mp3"));
    QString none;
    EXPECT_THROW(ReadPackMediaExt(W("missing.body"), none), EPackError);
    EXPECT_TRUE(none.isEmpty());

    // A read-only package splits: it is only read.
    QFile::setPermissions(W("x.body"), QFileDevice::ReadOwner);
    QString media3 = W("ro");
    EXPECT_TRUE(SplitPackFile(W("x.body"), W("ro.plrc"), media3));
}

TEST_F(DataPack, JoinRefusesAHugeSubtitle)
{
    QFile big(W("big.plrc"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(MaxPackSubtitleSize));
    big.close();
    WriteFile(W("m.wav"), QByteArray("RIFF"));
    EXPECT_FALSE(JoinPackFile(W("big.plrc"), W("m.wav"), W("p.body")));
    EXPECT_FALSE(QFileInfo::exists(W("p.body")));
    EXPECT_FALSE(JoinPackFile(W("missing.plrc"), W("m.wav"), W("p.body")));
    EXPECT_FALSE(QFileInfo::exists(W("p.body")));
}

TEST_F(DataPack, ZippedPackagePassesUnzipTest)
{
    MakeAudioPackage(W("lesson.pibo"), GbkPlrc(), File(QStringLiteral("cbr_mono.mp3")));
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-t"), W("lesson.pibo")});
    ASSERT_TRUE(unzip.waitForFinished(30000));
    EXPECT_EQ(unzip.exitCode(), 0) << unzip.readAllStandardOutput().toStdString();
    QProcess list;
    list.start(QStringLiteral("unzip"), {QStringLiteral("-Z1"), W("lesson.pibo")});
    ASSERT_TRUE(list.waitForFinished(30000));
    EXPECT_EQ(QString::fromUtf8(list.readAllStandardOutput()).trimmed(), QStringLiteral("lesson.pibo"));
    EXPECT_FALSE(QFileInfo::exists(W("lesson.pibo.zip")));
}

TEST_F(DataPack, OpenMp3PackageMakesPaddedWavAndCaches)
{
    const QString mp3 = File(QStringLiteral("cbr_mono.mp3"));
    MakeAudioPackage(W("Unit1.pibo"), GbkPlrc(), mp3);
    QString play = QStringLiteral("unchanged");
    ASSERT_TRUE(OpenPackage(W("Unit1.pibo"), play));
    EXPECT_EQ(play, Temp("Unit1.wav"));
    EXPECT_EQ(ReadFile(Temp("Unit1.plrc")), GbkPlrc());
    EXPECT_EQ(ReadFile(Temp("Unit1.mp3")), ReadFile(mp3));

    const TWaveFacts wav = ReadWave(play);
    ASSERT_TRUE(wav.Ok);
    const int half = static_cast<int>(wav.SampleRate / 2 * wav.Channels * 2);
    const QByteArray expected = FfmpegPcm(mp3);
    ASSERT_EQ(wav.Data.size(), half + expected.size());
    EXPECT_EQ(wav.Data.left(half), QByteArray(half, '\0'));
    EXPECT_EQ(wav.Data.mid(half), expected);

    // Reopened: served from temp/ as it is, without unzipping.
    const QDateTime made = QFileInfo(play).lastModified();
    QFile::remove(Temp("Unit1.mp3"));
    QString again;
    ASSERT_TRUE(OpenPackage(W("Unit1.pibo"), again));
    EXPECT_EQ(again, play);
    EXPECT_FALSE(QFileInfo::exists(Temp("Unit1.mp3")));
    EXPECT_EQ(QFileInfo(play).lastModified(), made);
}

TEST_F(DataPack, CapitalisedMediaExtensionsOpenLikeLowerCaseOnes)
{
    // Our own writer keeps the media file's extension as it is ("  MP3").
    struct Case {
        const char* package;
        const char* media;
        QString fixture;
    };
    const std::vector<Case> cases{{"Caps1", "LESSON.MP3", File(QStringLiteral("cbr_mono.mp3"))},
                                  {"Caps2", "LESSON.WAV", File(QStringLiteral("tone_mono22.wav"))},
                                  {"Caps3", "lesson.Mp3", File(QStringLiteral("cbr_mono.mp3"))}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.package);
        const QString media = W(QString::fromLatin1(c.media));
        QFile::remove(media);
        ASSERT_TRUE(QFile::copy(c.fixture, media));
        const QString package = W(QString::fromLatin1(c.package) + QStringLiteral(".pibo"));
        MakeAudioPackage(package, GbkPlrc(), media);
        QString play = QStringLiteral("unchanged");
        ASSERT_TRUE(OpenPackage(package, play));
        const QString base = QString::fromLatin1(c.package);
        EXPECT_EQ(play, Temp(base + QStringLiteral(".wav")));
        EXPECT_EQ(ReadFile(Temp(base + QStringLiteral(".plrc"))), GbkPlrc());
        ASSERT_TRUE(ReadWave(play).Ok);
        // The media part lies under its lower-case name only.
        const QString stored = QFileInfo(media).suffix();
        if (stored.compare(QLatin1String("wav"), Qt::CaseInsensitive) == 0) {
            EXPECT_EQ(ReadFile(play), ReadFile(c.fixture));
        } else {
            EXPECT_EQ(ReadFile(Temp(base + QStringLiteral(".mp3"))), ReadFile(c.fixture));
            EXPECT_GT(ReadWave(play).Data.size(), FfmpegPcm(c.fixture).size());
        }
        EXPECT_FALSE(QFileInfo::exists(Temp(base + u'.' + stored))) << stored.toStdString();
        // Opened again from the cache.
        QString again;
        ASSERT_TRUE(OpenPackage(package, again));
        EXPECT_EQ(again, play);
    }
}

TEST_F(DataPack, CacheServesOnlyTheSamePackageUnchanged)
{
    const QString wavMedia = File(QStringLiteral("tone_mono22.wav"));
    MakeAudioPackage(W("Unit2.pibo"), GbkPlrc(), wavMedia);
    QString play;
    ASSERT_TRUE(OpenPackage(W("Unit2.pibo"), play));
    // A WAV media part is used unchanged.
    EXPECT_EQ(ReadFile(play), ReadFile(wavMedia));

    // Another package of the same name elsewhere: unpacked anew.
    ASSERT_TRUE(QDir().mkpath(W("other")));
    const QByteArray otherPlrc = StringToAnsi(QStringLiteral("00:00.00\r\nOther.\r\n别的。\r\n"));
    MakeAudioPackage(W("other/Unit2.pibo"), otherPlrc, wavMedia);
    ASSERT_TRUE(OpenPackage(W("other/Unit2.pibo"), play));
    EXPECT_EQ(ReadFile(Temp("Unit2.plrc")), otherPlrc);

    // An opening cut short (no stamp written): unpacked anew.
    WriteFile(Temp("Unit2.plrc"), "broken");
    RemoveCacheStamp(Temp("Unit2.plrc"));
    ASSERT_TRUE(OpenPackage(W("other/Unit2.pibo"), play));
    EXPECT_EQ(ReadFile(Temp("Unit2.plrc")), otherPlrc);

    // A renamed package (its entry keeps the old name) opens.
    ASSERT_TRUE(QFile::rename(W("Unit2.pibo"), W("Renamed.pibo")));
    ASSERT_TRUE(OpenPackage(W("Renamed.pibo"), play));
    EXPECT_EQ(play, Temp("Renamed.wav"));
    EXPECT_EQ(ReadFile(Temp("Renamed.plrc")), GbkPlrc());
    // Nothing of the work folders is left behind.
    for (const QString& f : Tree(Folder.File(QStringLiteral("temp"))))
        EXPECT_FALSE(f.contains(QLatin1Char('/'))) << f.toStdString();
}

TEST_F(DataPack, VideoPackagesAndExtensions)
{
    WriteFile(W("v.srt"), "1\r\n00:00:01,000 --> 00:00:02,000\r\nHi\r\n你好\r\n\r\n");
    WriteFile(W("v.avi"), QByteArray(5000, 'v'));
    ASSERT_TRUE(JoinPackFile(W("v.srt"), W("v.avi"), W("Film.vpibo")));
    QString play;
    ASSERT_TRUE(OpenPackage(W("Film.vpibo"), play));
    EXPECT_EQ(play, Temp("Film.avi"));
    EXPECT_EQ(ReadFile(Temp("Film.srt")), ReadFile(W("v.srt")));
    EXPECT_EQ(ReadFile(play), ReadFile(W("v.avi")));

    // The working copy alone (.psrt) is enough for the cache.
    ASSERT_TRUE(QFile::rename(Temp("Film.srt"), Temp("Film.psrt")));
    const QDateTime made = QFileInfo(play).lastModified();
    ASSERT_TRUE(OpenPackage(W("Film.vpibo"), play));
    EXPECT_FALSE(QFileInfo::exists(Temp("Film.srt")));
    EXPECT_EQ(QFileInfo(play).lastModified(), made);

    // Only the exact lower-case extensions are packages.
    ASSERT_TRUE(QFile::copy(W("Film.vpibo"), W("Caps.PIBO")));
    QString unchanged = QStringLiteral("same");
    EXPECT_FALSE(OpenPackage(W("Caps.PIBO"), unchanged));
    EXPECT_FALSE(OpenPackage(W("Film.zip"), unchanged));
    EXPECT_FALSE(OpenPackage(W("missing.pibo"), unchanged));
    EXPECT_FALSE(OpenPackage(W("missing.vpibo"), unchanged));
    EXPECT_EQ(unchanged, QStringLiteral("same"));
}

TEST_F(DataPack, HostilePackagesOpenNothing)
{
    const QByteArray media(2000, 'm');
    struct Case {
        const char* name;
        QByteArray body;
    };
    const std::vector<Case> bodies{
        {"toolong", Header(5000, "  wav") + QByteArray(100, 's')},
        {"huge", Header(0x01000000, "  wav") + QByteArray(100, 's')},
        {"slash", Header(3, "../wa") + "abc" + media},
        {"dots", Header(3, " a.wv") + "abc" + media},
        {"short", QByteArray("\0\0", 2)},
        {"samename", Header(3, "  srt") + "abc" + media},
    };
    for (const Case& c : bodies) {
        const QString name = QString::fromLatin1(c.name);
        // As a bare split.
        WriteFile(W(name + ".body"), c.body);
        QString m = W(name + "_m");
        EXPECT_FALSE(SplitPackFile(W(name + ".body"), W(name + "_m.srt"), m)) << c.name;
        EXPECT_FALSE(QFileInfo::exists(W(name + "_m.srt"))) << c.name;
        // As a video package, and zipped as an audio package.
        ASSERT_TRUE(QFile::copy(W(name + ".body"), W(name + ".vpibo")));
        QString play;
        EXPECT_FALSE(OpenPackage(W(name + ".vpibo"), play)) << c.name;
        ASSERT_TRUE(QFile::copy(W(name + ".body"), W(name + ".pibo")));
        ASSERT_TRUE(ZipInPlace(W(name + ".pibo")));
        EXPECT_FALSE(OpenPackage(W(name + ".pibo"), play)) << c.name;
    }

    // An archive of two entries, and a truncated archive.
    WriteFile(W("a.plrc"), GbkPlrc());
    ASSERT_TRUE(JoinPackFile(W("a.plrc"), File(QStringLiteral("tone_mono22.wav")), W("Two.pibo")));
    WriteFile(W("extra.txt"), "extra");
    ASSERT_TRUE(ZipFile(W("Two.pibo"), W("Two.zip")));
    ASSERT_TRUE(ZipFile(W("extra.txt"), W("Two.zip")));
    ASSERT_TRUE(QFile::rename(W("Two.zip"), W("Twin.pibo")));
    QString play;
    EXPECT_FALSE(OpenPackage(W("Twin.pibo"), play));
    ASSERT_TRUE(ZipInPlace(W("Two.pibo")));
    const QByteArray whole = ReadFile(W("Two.pibo"));
    WriteFile(W("Cut.pibo"), whole.left(whole.size() / 2));
    EXPECT_FALSE(OpenPackage(W("Cut.pibo"), play));

    // Audio that cannot be decoded: false, and no half-made lesson.
    WriteFile(W("junk.mp3"), QByteArray(4000, 'j'));
    ASSERT_TRUE(JoinPackFile(W("a.plrc"), W("junk.mp3"), W("Junk.pibo")));
    ASSERT_TRUE(ZipInPlace(W("Junk.pibo")));
    EXPECT_FALSE(OpenPackage(W("Junk.pibo"), play));

    // Nothing written anywhere in the program folder, temp/ included.
    for (const QString& f : Tree(Folder.Path()))
        ADD_FAILURE() << "left behind: " << f.toStdString();
}

}  // namespace
