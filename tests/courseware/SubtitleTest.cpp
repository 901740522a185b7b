// Subtitle files of audio and video lessons: reading every format in every
// text encoding, writing back byte for byte in ANSI with CR LF, the ".lrc"
// shift, lines that cannot be read, and long times.

#include "UPiboAudioClass.h"
#include "UPiboVideoClass.h"

#include "AnsiText.h"
#include "UCommonFun.h"

#include <QtCore/QByteArray>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QStringDecoder>
#include <QtCore/QStringEncoder>
#include <QtCore/QTemporaryDir>

#include <gtest/gtest.h>

namespace {

enum TEncoding { enGbk, enUtf8, enUtf8Bom, enUtf16Bom };

const char* EncodingName(TEncoding e)
{
    switch (e) {
    case enGbk: return "GBK";
    case enUtf8: return "UTF-8";
    case enUtf8Bom: return "UTF-8 with mark";
    case enUtf16Bom: return "UTF-16LE with mark";
    }
    return "";
}

QByteArray Encode(const QString& text, TEncoding e)
{
    switch (e) {
    case enGbk: return StringToAnsi(text);
    case enUtf8: return text.toUtf8();
    case enUtf8Bom: return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    case enUtf16Bom: {
        QStringEncoder utf16(QStringConverter::Utf16LE);
        return QByteArray("\xFF\xFE") + QByteArray(utf16.encode(text));
    }
    }
    return {};
}

const TEncoding AllEncodings[] = {enGbk, enUtf8, enUtf8Bom, enUtf16Bom};

class SubtitleTest : public ::testing::Test {
protected:
    QString PathOf(const QString& name) const { return FDir.filePath(name); }
    QString Write(const QString& name, const QByteArray& bytes)
    {
        const QString path = PathOf(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        return path;
    }
    QByteArray Read(const QString& name) const
    {
        QFile f(PathOf(name));
        if (!f.open(QIODevice::ReadOnly))
            return QByteArray("<missing>");
        return f.readAll();
    }
    QStringList Files() const { return QDir(FDir.path()).entryList(QDir::Files, QDir::Name); }
    QString Media() const { return PathOf(QStringLiteral("lesson.wav")); }
    QString Video() const { return PathOf(QStringLiteral("film.avi")); }

    QTemporaryDir FDir;
};

// ---------------------------------------------------------------------------
// ".plrc"

const QString PlrcText = QString::fromUtf8(
    "00:00.00\r\n"
    "Hello, how are you?\r\n"
    "你好，你好吗？\r\n"
    "00:02.35\r\n"
    " Fine, thanks.\r\n"
    "很好，谢谢。\r\n"
    "01:05.90\r\n"
    "\r\n"
    "\r\n"
    "99:59.99\r\n"
    "The last one\r\n"
    "最后一句\r\n");

TEST_F(SubtitleTest, PlrcReadsInEveryEncodingAndWritesBackTheSameAnsiBytes)
{
    const QByteArray ansi = StringToAnsi(PlrcText);
    for (TEncoding e : AllEncodings) {
        const QByteArray source = Encode(PlrcText, e);
        Write(QStringLiteral("lesson.plrc"), source);
        TAudioLrcItems items;
        int errorLine = -1;
        ASSERT_TRUE(LoadLrcFile(items, Media(), &errorLine)) << EncodingName(e);
        EXPECT_EQ(errorLine, 0);
        ASSERT_EQ(items.size(), 4) << EncodingName(e);
        EXPECT_EQ(items[0].StartTime, QStringLiteral("00:00.00"));
        EXPECT_EQ(items[0].English, QStringLiteral("Hello, how are you?"));
        EXPECT_EQ(items[0].China, QString::fromUtf8("你好，你好吗？"));
        EXPECT_EQ(items[1].English, QStringLiteral(" Fine, thanks."));  // nothing is trimmed
        EXPECT_TRUE(items[2].English.isEmpty());
        EXPECT_TRUE(items[2].China.isEmpty());
        EXPECT_EQ(items[3].StartTime, QStringLiteral("99:59.99"));
        for (const TAudioLrcItem& item : items) {
            EXPECT_TRUE(item.EndTime.isEmpty());
            EXPECT_FALSE(item.Selected);
        }
        // Reading leaves the user's file as it was.
        EXPECT_EQ(Read(QStringLiteral("lesson.plrc")), source) << EncodingName(e);
        EXPECT_EQ(Files(), QStringList{QStringLiteral("lesson.plrc")});

        ASSERT_TRUE(SavePlrcFile(items, PathOf(QStringLiteral("copy.plrc"))));
        EXPECT_EQ(Read(QStringLiteral("copy.plrc")), ansi) << EncodingName(e);
        QFile::remove(PathOf(QStringLiteral("copy.plrc")));
    }
}

TEST_F(SubtitleTest, PlrcWithABadTimeLineHasNoSentences)
{
    struct TCase {
        const char* Name;
        const char* Text;
        bool Ok;
        int ErrorLine;
        QStringList Starts;
    };
    const TCase cases[] = {
        // A blank line is read as a time, fails the test and empties the list.
        {"blank line after the last group", "00:01.00\r\nA\r\nB\r\n\r\n", false, 4, {}},
        {"blank line before the first group", "\r\n00:01.00\r\nA\r\nB\r\n", false, 1, {}},
        {"bare LF and lone CR line ends", "00:01.00\nA\nB\r00:02.00\rC\rD", true, 0, {"00:01.00", "00:02.00"}},
        // A last group cut short by the end of the file is dropped.
        {"last group without its Chinese line", "00:01.00\r\nA\r\nB\r\n00:02.00\r\nC\r\n", true, 0,
         {"00:01.00"}},
        {"a time line alone at the end", "00:01.00\r\nA\r\nB\r\n00:02.00\r\n", true, 0, {"00:01.00"}},
        {"a bad time line in the middle", "00:01.00\r\nA\r\nB\r\n0:02.00\r\nC\r\nD\r\n00:03.00\r\nE\r\nF\r\n",
         false, 4, {}},
        {"seconds beyond 59", "00:61.00\r\nA\r\nB\r\n", false, 1, {}},
        {"any character before the hundredths", "00:12:34\r\nA\r\nB\r\n", true, 0, {"00:12:34"}},
    };
    for (const TCase& c : cases) {
        Write(QStringLiteral("lesson.plrc"), QByteArray(c.Text));
        TAudioLrcItems items;
        int errorLine = -1;
        EXPECT_EQ(LoadLrcFile(items, Media(), &errorLine), c.Ok) << c.Name;
        EXPECT_EQ(errorLine, c.ErrorLine) << c.Name;
        QStringList starts;
        for (const TAudioLrcItem& item : items)
            starts.append(item.StartTime);
        EXPECT_EQ(starts, c.Starts) << c.Name;
    }
}

TEST_F(SubtitleTest, PlrcIsPreferredToLrcAndNoSubtitleIsAnEmptyLesson)
{
    TAudioLrcItems items;
    items.append(TAudioLrcItem{QStringLiteral("00:00.00"), {}, {}, {}, false});
    int errorLine = -1;
    EXPECT_TRUE(LoadLrcFile(items, Media(), &errorLine));
    EXPECT_TRUE(items.isEmpty());
    EXPECT_EQ(errorLine, 0);

    Write(QStringLiteral("lesson.lrc"), "[00:09.00]From the lrc\r\n");
    ASSERT_TRUE(LoadLrcFile(items, Media()));
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].English, QStringLiteral("From the lrc"));

    Write(QStringLiteral("lesson.plrc"), "00:01.00\r\nFrom the plrc\r\n\r\n");
    ASSERT_TRUE(LoadLrcFile(items, Media()));
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].English, QStringLiteral("From the plrc"));
}

// ---------------------------------------------------------------------------
// ".lrc"

TEST_F(SubtitleTest, LrcReadsSentenceLinesAndSkipsHeadersAndBlankLines)
{
    const QString text = QString::fromUtf8(
        "[ti:第一课 Lesson One]\r\n"
        "[ar:Somebody]\r\n"
        "[offset:+500]\r\n"
        "\r\n"
        "[01:02.50]Hello world\r\n"
        "   \r\n"
        "[01:04.00] A blank stays in front\r\n"
        "[01:06.00]\r\n"
        "[120:00.00]Two hours in\r\n");
    for (TEncoding e : AllEncodings) {
        const QByteArray source = Encode(text, e);
        Write(QStringLiteral("lesson.lrc"), source);
        TAudioLrcItems items;
        int errorLine = -1;
        ASSERT_TRUE(LoadLrcFile(items, Media(), &errorLine)) << EncodingName(e);
        EXPECT_EQ(errorLine, 0);
        ASSERT_EQ(items.size(), 4);
        EXPECT_EQ(items[0].StartTime, QStringLiteral("01:02.50"));
        EXPECT_EQ(items[0].English, QStringLiteral("Hello world"));
        EXPECT_TRUE(items[0].China.isEmpty());
        EXPECT_EQ(items[1].English, QStringLiteral(" A blank stays in front"));
        EXPECT_TRUE(items[2].English.isEmpty());
        EXPECT_EQ(items[3].StartTime, QStringLiteral("120:00.00"));
        EXPECT_EQ(items[3].English, QStringLiteral("Two hours in"));
        EXPECT_EQ(Read(QStringLiteral("lesson.lrc")), source);
        EXPECT_EQ(Files(), QStringList{QStringLiteral("lesson.lrc")});
    }
}

// One line of an ".lrc" read with the line before and after it; a bad time
// tag anywhere empties the whole list.
TEST_F(SubtitleTest, LrcLineEdgeCases)
{
    struct TCase {
        const char* Name;
        const char* Line;
        bool Ok;
        const char* Start;    // of the middle sentence, when Ok
        const char* English;  // of the middle sentence, when Ok
    };
    const TCase cases[] = {
        {"a sentence", "[01:02.50]Hello world", true, "01:02.50", "Hello world"},
        {"a blank after the bracket stays", "[01:02.50] Hello world", true, "01:02.50", " Hello world"},
        {"trailing blanks stay", "[01:02.50]Hello  ", true, "01:02.50", "Hello  "},
        {"no English", "[01:02.50]", true, "01:02.50", ""},
        {"characters 1 and 10 are not looked at", "(01:02.50)Hello", true, "01:02.50", "Hello"},
        {"any character before the hundredths", "[00:12:34]Hello", true, "00:12:34", "Hello"},
        {"three minute digits", "[100:00.30]Late", true, "100:00.30", "Late"},
        {"a leading blank", " [01:02.50]Hello world", false, "", ""},
        {"seconds of 60", "[01:60.00]Hello", false, "", ""},
        {"one minute digit", "[1:02.50]Hello", false, "", ""},
        {"plain text", "some words", false, "", ""},
        {"a tab before the tag", "\t[01:02.50]Hello", false, "", ""},
    };
    for (const TCase& c : cases) {
        Write(QStringLiteral("lesson.lrc"),
              QByteArray("[00:01.00]Before\r\n") + c.Line + QByteArray("\r\n[00:09.00]After\r\n"));
        TAudioLrcItems items;
        items.append(TAudioLrcItem{QStringLiteral("00:00.00"), {}, {}, QStringLiteral("stale"), false});
        int errorLine = -1;
        EXPECT_EQ(LoadLrcFile(items, Media(), &errorLine), c.Ok) << c.Name;
        if (!c.Ok) {
            EXPECT_EQ(errorLine, 2) << c.Name;
            EXPECT_TRUE(items.isEmpty()) << c.Name;
            continue;
        }
        EXPECT_EQ(errorLine, 0) << c.Name;
        ASSERT_EQ(items.size(), 3) << c.Name;
        EXPECT_EQ(items[0].English, QStringLiteral("Before")) << c.Name;
        EXPECT_EQ(items[1].StartTime, QString::fromUtf8(c.Start)) << c.Name;
        EXPECT_EQ(items[1].English, QString::fromUtf8(c.English)) << c.Name;
        EXPECT_TRUE(items[1].China.isEmpty()) << c.Name;
        EXPECT_EQ(items[2].StartTime, QStringLiteral("00:09.00")) << c.Name;
    }
}

TEST_F(SubtitleTest, ShiftLrcFileMovesEverySentenceButTheFirst)
{
    const QString text = QString::fromUtf8(
        "[ti:课文]\r\n"
        "[00:00.00]First\r\n"
        "[00:03.20]Second 第二\r\n"
        "\r\n"
        "not a sentence\r\n"
        "[99:59.80]Across a hundred minutes\r\n");
    const QByteArray expected = StringToAnsi(QString::fromUtf8(
        "[ti:课文]\r\n"
        "[00:00.00]First\r\n"
        "[00:03.70]Second 第二\r\n"
        "\r\n"
        "not a sentence\r\n"
        "[100:00.30]Across a hundred minutes\r\n"));
    for (TEncoding e : AllEncodings) {
        const QString path = Write(QStringLiteral("lesson.lrc"), Encode(text, e));
        ASSERT_TRUE(ShiftLrcFile(path, 500)) << EncodingName(e);
        EXPECT_EQ(Read(QStringLiteral("lesson.lrc")), expected) << EncodingName(e);
    }
    // The line without time tag empties the list when the file is read.
    TAudioLrcItems items;
    int errorLine = 0;
    EXPECT_FALSE(LoadLrcFile(items, Media(), &errorLine));
    EXPECT_EQ(errorLine, 5);
    EXPECT_TRUE(items.isEmpty());
    // Without it the shifted file reads back, the hundred minutes included.
    QByteArray readable = expected;
    readable.replace("not a sentence\r\n", "");
    Write(QStringLiteral("lesson.lrc"), readable);
    ASSERT_TRUE(LoadLrcFile(items, Media()));
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[1].StartTime, QStringLiteral("00:03.70"));
    EXPECT_EQ(items[2].StartTime, QStringLiteral("100:00.30"));

    // Without a header the first line keeps its time; a zero shift of an
    // ANSI file with CR LF rewrites the same bytes.
    const QByteArray plain("[00:00.50]One\r\n[00:01.00]Two\r\n");
    const QString path = Write(QStringLiteral("plain.lrc"), plain);
    ASSERT_TRUE(ShiftLrcFile(path, 0));
    EXPECT_EQ(Read(QStringLiteral("plain.lrc")), plain);
    ASSERT_TRUE(ShiftLrcFile(path, 500));
    EXPECT_EQ(Read(QStringLiteral("plain.lrc")), QByteArray("[00:00.50]One\r\n[00:01.50]Two\r\n"));

    // The shifted time is written as any time: cut to hundredths, and a time
    // before the start as 00:00.00.
    const QByteArray three("[00:00.00]A\r\n[00:03.20]B\r\n[00:07.99]C\r\n");
    const QString threePath = Write(QStringLiteral("three.lrc"), three);
    ASSERT_TRUE(ShiftLrcFile(threePath, 505));
    EXPECT_EQ(Read(QStringLiteral("three.lrc")), QByteArray("[00:00.00]A\r\n[00:03.70]B\r\n[00:08.49]C\r\n"));
    Write(QStringLiteral("three.lrc"), three);
    ASSERT_TRUE(ShiftLrcFile(threePath, -5000));
    EXPECT_EQ(Read(QStringLiteral("three.lrc")), QByteArray("[00:00.00]A\r\n[00:00.00]B\r\n[00:02.99]C\r\n"));

    EXPECT_FALSE(ShiftLrcFile(PathOf(QStringLiteral("missing.lrc")), 500));
}

TEST_F(SubtitleTest, PlrcToLrcWritesOneLinePerGroup)
{
    const QString plrc = Write(QStringLiteral("a.plrc"), Encode(QString::fromUtf8(
        "00:00.00\r\nHello\r\n你好\r\n00:02.35\r\n Two\r\n二\r\n100:00.00\r\nLate\r\n晚\r\n00:09.00\r\nCut short\r\n"),
        enUtf8));
    const QString lrc = PathOf(QStringLiteral("b.lrc"));
    ASSERT_TRUE(PlrcToLrc(plrc, lrc));
    EXPECT_EQ(Read(QStringLiteral("b.lrc")), QByteArray("[00:00.00]Hello\r\n[00:02.35] Two\r\n[100:00.00]Late\r\n"));

    // An existing ".lrc" is not replaced; a missing ".plrc" writes nothing.
    Write(QStringLiteral("b.lrc"), "mine\r\n");
    EXPECT_FALSE(PlrcToLrc(plrc, lrc));
    EXPECT_EQ(Read(QStringLiteral("b.lrc")), QByteArray("mine\r\n"));
    EXPECT_FALSE(PlrcToLrc(PathOf(QStringLiteral("none.plrc")), PathOf(QStringLiteral("c.lrc"))));
    EXPECT_FALSE(QFile::exists(PathOf(QStringLiteral("c.lrc"))));
}

TEST_F(SubtitleTest, TimesOfAHundredMinutesAndMoreGoThroughPlrc)
{
    TAudioLrcItems items;
    for (qint32 ms : {0, 5999990, 6000000, 35999990}) {
        TAudioLrcItem item;
        item.StartTime = MSecToLrcTime(ms);
        item.English = QStringLiteral("at ") + QString::number(ms);
        items.append(item);
    }
    ASSERT_TRUE(SavePlrcFile(items, PathOf(QStringLiteral("lesson.plrc"))));
    TAudioLrcItems back;
    ASSERT_TRUE(LoadLrcFile(back, Media()));
    ASSERT_EQ(back.size(), items.size());
    for (qsizetype i = 0; i < items.size(); ++i) {
        EXPECT_EQ(back[i].StartTime, items[i].StartTime);
        EXPECT_EQ(LrcTimeToMSec(back[i].StartTime), LrcTimeToMSec(items[i].StartTime));
    }
    EXPECT_EQ(back[2].StartTime, QStringLiteral("100:00.00"));
}

TEST_F(SubtitleTest, WritersReplaceTheOldFileOnlyWhenTheNewOneIsComplete)
{
    const QString path = Write(QStringLiteral("lesson.plrc"), "00:01.00\r\nold\r\n\r\n");
    TAudioLrcItems items;
    items.append(TAudioLrcItem{QStringLiteral("00:02.00"), {}, {}, QStringLiteral("new"), false});
    ASSERT_TRUE(SavePlrcFile(items, path));
    EXPECT_EQ(Read(QStringLiteral("lesson.plrc")), QByteArray("00:02.00\r\nnew\r\n\r\n"));
    EXPECT_FALSE(SavePlrcFile(items, PathOf(QStringLiteral("no/folder/x.plrc"))));
    EXPECT_FALSE(SaveSrtFile({}, PathOf(QStringLiteral("no/folder/x.srt"))));
    ASSERT_TRUE(SavePlrcFile({}, path));
    EXPECT_EQ(Read(QStringLiteral("lesson.plrc")), QByteArray());
}

// ---------------------------------------------------------------------------
// ".srt" and ".psrt"

const QString SrtText = QString::fromUtf8(
    "1\r\n"
    "00:00:01,000 --> 00:00:03,500\r\n"
    "Where are you going?\r\n"
    "你去哪儿？\r\n"
    "\r\n"
    "2\r\n"
    "00:00:04,000 --> 00:00:06,250\r\n"
    "\r\n"
    "\r\n"
    "\r\n"
    "3\r\n"
    "100:00:00,000 --> 100:00:02,001\r\n"
    "After a hundred hours\r\n"
    "一百小时以后\r\n"
    "\r\n");

TEST_F(SubtitleTest, SrtAndPsrtReadInEveryEncodingAndWriteBackTheSameAnsiBytes)
{
    const QByteArray ansi = StringToAnsi(SrtText);
    for (const QString& ext : {QStringLiteral(".srt"), QStringLiteral(".psrt")}) {
        for (TEncoding e : AllEncodings) {
            const std::string what = ext.toStdString() + " " + EncodingName(e);
            const QByteArray source = Encode(SrtText, e);
            Write(QStringLiteral("film") + ext, source);
            TVideoLrcItems items;
            int errorLine = -1;
            ASSERT_TRUE(LoadSrtFile(items, Video(), &errorLine)) << what;
            EXPECT_EQ(errorLine, 0);
            ASSERT_EQ(items.size(), 3) << what;
            EXPECT_EQ(items[0].StartTime, QStringLiteral("00:00:01,000"));
            EXPECT_EQ(items[0].EndTime, QStringLiteral("00:00:03,500"));
            EXPECT_EQ(items[0].English, QStringLiteral("Where are you going?"));
            EXPECT_EQ(items[0].China, QString::fromUtf8("你去哪儿？"));
            EXPECT_TRUE(items[1].English.isEmpty());
            EXPECT_TRUE(items[1].China.isEmpty());
            EXPECT_EQ(items[2].StartTime, QStringLiteral("100:00:00,000"));
            EXPECT_EQ(items[2].EndTime, QStringLiteral("100:00:02,001"));
            for (const TVideoLrcItem& item : items) {
                EXPECT_TRUE(item.NextStart.isEmpty());
                EXPECT_FALSE(item.Selected);
            }
            // The file is neither moved nor rewritten.
            EXPECT_EQ(Read(QStringLiteral("film") + ext), source) << what;
            EXPECT_EQ(Files(), QStringList{QStringLiteral("film") + ext}) << what;

            ASSERT_TRUE(SaveSrtFile(items, PathOf(QStringLiteral("copy.srt"))));
            EXPECT_EQ(Read(QStringLiteral("copy.srt")), ansi) << what;
            QFile::remove(PathOf(QStringLiteral("copy.srt")));
        }
        QFile::remove(PathOf(QStringLiteral("film") + ext));
    }
}

TEST_F(SubtitleTest, SubtitleFilesOfTheSizeRefusedInPackagesAreNotRead)
{
    // One sentence, then blanks up to the size asked for.
    const auto padded = [](const QByteArray& head, qint64 size) {
        return head + QByteArray(static_cast<qsizetype>(size) - head.size(), ' ');
    };
    const QByteArray lrc = "[00:01.00]Hello.\r\n";
    TAudioLrcItems items;
    Write(QStringLiteral("lesson.lrc"), padded(lrc, MaxSubtitleFileSize - 1));
    ASSERT_TRUE(LoadLrcFile(items, Media()));
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].English, QStringLiteral("Hello."));

    // From the limit on: the reading fails and leaves no sentence.
    Write(QStringLiteral("lesson.lrc"), padded(lrc, MaxSubtitleFileSize));
    EXPECT_FALSE(LoadLrcFile(items, Media()));
    EXPECT_TRUE(items.isEmpty());
    EXPECT_FALSE(ShiftLrcFile(PathOf(QStringLiteral("lesson.lrc")), 1000));
    QString text = QStringLiteral("old");
    EXPECT_FALSE(ReadTextFile(PathOf(QStringLiteral("lesson.lrc")), text));
    EXPECT_TRUE(text.isEmpty());

    TVideoLrcItems cues;
    Write(QStringLiteral("film.srt"),
          padded("1\r\n00:00:01,000 --> 00:00:02,000\r\nHi\r\n\r\n\r\n", MaxSubtitleFileSize));
    EXPECT_FALSE(LoadSrtFile(cues, Video()));
    EXPECT_TRUE(cues.isEmpty());
}

TEST_F(SubtitleTest, SrtIsPreferredToPsrt)
{
    TVideoLrcItems items;
    EXPECT_TRUE(LoadSrtFile(items, Video()));
    EXPECT_TRUE(items.isEmpty());

    Write(QStringLiteral("film.psrt"), "1\r\n00:00:01,000 --> 00:00:02,000\r\nold\r\n\r\n\r\n");
    Write(QStringLiteral("film.srt"), "1\r\n00:00:01,000 --> 00:00:02,000\r\nnew\r\n\r\n\r\n");
    ASSERT_TRUE(LoadSrtFile(items, Video()));
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].English, QStringLiteral("new"));
    EXPECT_EQ(Files(), (QStringList{QStringLiteral("film.psrt"), QStringLiteral("film.srt")}));
}

TEST_F(SubtitleTest, SrtWithABadTimeLineHasNoCues)
{
    struct TCase {
        const char* Name;
        const char* Text;
        bool Ok;
        int ErrorLine;
        QStringList English;
    };
    const TCase cases[] = {
        {"one text line at the end of the file", "1\r\n00:00:01,000 --> 00:00:02,000\r\nOnly English", true, 0,
         {"Only English"}},
        {"no blank line between cues and blank lines before",
         "\r\n\r\n1\r\n00:00:01,000 --> 00:00:02,000\r\nA\r\nB\r\n2\r\n00:00:03,000 --> 00:00:04,000\r\nC\r\nD\r\n",
         true, 0, {"A", "C"}},
        {"a cue with three text lines",
         "1\r\n00:00:01,000 --> 00:00:02,000\r\nA\r\nB\r\nextra\r\n\r\n2\r\n00:00:03,000 --> 00:00:04,000\r\nC\r\nD\r\n",
         false, 6, {}},  // the third text line is read as an index, the empty line as a time
        {"a bad time line",
         "1\r\n00:00:01,000 --> 00:00:02,000\r\nA\r\nB\r\n\r\n2\r\n00:00:03.000 --> 00:00:04,000\r\nC\r\nD\r\n",
         false, 7, {}},
        {"an index line alone at the end", "1\r\n00:00:01,000 --> 00:00:02,000\r\nA\r\nB\r\n\r\n2\r\n", true, 0,
         {"A"}},
        {"a cue that ends before its English line",
         "1\r\n00:00:01,000 --> 00:00:02,000\r\nA\r\nB\r\n\r\n2\r\n00:00:03,000 --> 00:00:04,000\r\n", true, 0,
         {"A"}},
        // The end time is the 12 (or 13) characters after the arrow; what
        // follows it is not looked at.
        {"text after the end time",
         "1\r\n00:00:01,000 --> 00:00:02,500 X1:100 X2:600 Y1:50 Y2:80\r\nA\r\nB\r\n\r\n"
         "2\r\n00:00:03,000 --> 100:00:04,000  \r\nC\r\nD\r\n\r\n"
         "3\r\n00:00:05,000 --> 00:00:06,0009\r\nE\r\nF\r\n",
         true, 0, {"A", "C", "E"}},
        {"a short end time", "1\r\n00:00:01,000 --> 00:00:02,50\r\nA\r\nB\r\n", false, 2, {}},
        {"no arrow", "1\r\n00:00:01,000 -> 00:00:02,500\r\nA\r\nB\r\n", false, 2, {}},
    };
    for (const TCase& c : cases) {
        Write(QStringLiteral("film.srt"), QByteArray(c.Text));
        TVideoLrcItems items;
        int errorLine = -1;
        EXPECT_EQ(LoadSrtFile(items, Video(), &errorLine), c.Ok) << c.Name;
        EXPECT_EQ(errorLine, c.ErrorLine) << c.Name;
        QStringList english;
        for (const TVideoLrcItem& item : items)
            english.append(item.English);
        EXPECT_EQ(english, c.English) << c.Name;
    }
    // The times of the cues with text after the end time.
    Write(QStringLiteral("film.srt"), QByteArray("1\r\n00:00:01,000 --> 00:00:02,500 X1:100 X2:600\r\nA\r\nB\r\n\r\n"
                                                 "2\r\n00:00:03,000 --> 100:00:04,000  \r\nC\r\nD\r\n"));
    TVideoLrcItems items;
    ASSERT_TRUE(LoadSrtFile(items, Video()));
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].EndTime, QStringLiteral("00:00:02,500"));
    EXPECT_EQ(items[1].EndTime, QStringLiteral("100:00:04,000"));
}

}  // namespace
