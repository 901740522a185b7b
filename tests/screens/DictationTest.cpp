// The dictation answer files and the check logic the dictation screens and
// their check dialogs share.

#include "UDictationCheck.h"
#include "UDictationFiles.h"

#include "AnsiText.h"
#include "UDataInterface.h"
#include "UDataOperaterFun.h"
#include "WindowsTestSupport.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtSql/QSqlQuery>

#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TSingleCheckTotalRes CheckedSingle(const QStringList& sentences, const QStringList& answers)
{
    TSingleCheckTotalRes res;
    ResetSingleTest(res, QStringLiteral("lesson.wav"), sentences);
    CheckAllSingle(res, QStringLiteral("lesson.wav"), answers, QStringLiteral("00:01:05"));
    return res;
}

TSingleCheckTotalRes CheckedFree(const QStringList& sentences, const QStringList& lines)
{
    TSingleCheckTotalRes res;
    ResetFreeTest(res, QStringLiteral("lesson.wav"), sentences);
    CheckAllFree(res, QStringLiteral("lesson.wav"), lines, QStringLiteral("00:00:10"));
    return res;
}

// Paragraph texts with each run as text/style.
QStringList Dump(const TCheckDocument& doc)
{
    QStringList out;
    for (const TCheckParagraph& p : doc) {
        QStringList runs;
        for (const TCheckRun& r : p.Runs)
            runs << r.Text + QLatin1Char('/') + QString::number(r.Style);
        out << runs.join(QLatin1Char('|'));
    }
    return out;
}

} // namespace

TEST(DictationFiles, RoundTripsByteForByteInGbkWithCrLf)
{
    QTemporaryDir dir;
    const QString source = QStringLiteral("/课程/第一课-谈季节.pibo");
    const QString path = dir.filePath(QStringLiteral("a.pps"));
    const QStringList lines{PpsLine(QStringLiteral("Spring is 温暖 warm."), QStringLiteral("3")),
                            PpsLine(QString(), QStringLiteral("0")),
                            PpsLine(QStringLiteral("x@@##$$y"), QStringLiteral("12"))};
    ASSERT_TRUE(WriteDictationFile(path, source, lines));
    const QByteArray bytes = ReadAll(path);
    QByteArray expected = StringToAnsi(source) + "\r\n";
    for (const QString& line : lines)
        expected += StringToAnsi(line) + "\r\n";
    EXPECT_EQ(bytes, expected);

    QString readSource;
    QStringList readLines;
    ASSERT_TRUE(ReadDictationFile(path, readSource, readLines));
    EXPECT_EQ(readSource, source);
    EXPECT_EQ(readLines, lines);
    // Written again from what was read: the same bytes.
    const QString again = dir.filePath(QStringLiteral("b.pps"));
    ASSERT_TRUE(WriteDictationFile(again, readSource, readLines));
    EXPECT_EQ(ReadAll(again), bytes);

    // Free dictation lines, empty ones included, come back unchanged.
    const QStringList freeLines{QStringLiteral("first line"), QString(), QStringLiteral("  third  ")};
    const QString ppf = dir.filePath(QStringLiteral("c.ppf"));
    ASSERT_TRUE(WriteDictationFile(ppf, source, freeLines));
    ASSERT_TRUE(ReadDictationFile(ppf, readSource, readLines));
    EXPECT_EQ(readLines, freeLines);
    EXPECT_TRUE(ReadAll(ppf).endsWith("third  \r\n"));
}

TEST(DictationFiles, ReadingToleratesLfAndRefusesMissingOrEmptyFiles)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lf.pps"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("/a.wav\nhello@@##$$2");
    file.close();
    QString source;
    QStringList lines;
    ASSERT_TRUE(ReadDictationFile(path, source, lines));
    EXPECT_EQ(source, QStringLiteral("/a.wav"));
    EXPECT_EQ(lines, QStringList{QStringLiteral("hello@@##$$2")});

    EXPECT_FALSE(ReadDictationFile(dir.filePath(QStringLiteral("none.pps")), source, lines));
    QFile empty(dir.filePath(QStringLiteral("empty.pps")));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    EXPECT_FALSE(ReadDictationFile(empty.fileName(), source, lines));
}

TEST(DictationFiles, AFailedWriteLeavesTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.pps"));
    ASSERT_TRUE(WriteDictationFile(path, QStringLiteral("/old.wav"), {QStringLiteral("a@@##$$1")}));
    const QByteArray before = ReadAll(path);
    // A folder that does not exist cannot take the file.
    EXPECT_FALSE(WriteDictationFile(dir.filePath(QStringLiteral("no/such.pps")), QStringLiteral("/x.wav"), {}));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("no/such.pps"))));
    // A read-only folder keeps the old file as it was.
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const bool refused = !WriteDictationFile(path, QStringLiteral("/new.wav"), {QStringLiteral("b@@##$$2")});
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (refused)  // root may write anyway; then the new content must be complete
        EXPECT_EQ(ReadAll(path), before);
    else
        EXPECT_EQ(ReadAll(path), QByteArray("/new.wav\r\nb@@##$$2\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.pps")});
}

TEST(DictationFiles, PpsLinesReadTheirAnswerAndCount)
{
    struct Case {
        const char* line;
        const char* answer;
        const char* count;
    };
    const Case cases[] = {
        {"Spring is warm.@@##$$3", "Spring is warm.", "3"},
        {"@@##$$0", "", "0"},
        {"a@@##$$b@@##$$7", "a@@##$$b", "7"},  // the answer holds the separator
        {"no separator", "no separator", "0"},
        {"text@@##$$many", "text", "0"},       // a count that is not a number
        {"text@@##$$-4", "text", "0"},
        {"text@@##$$", "text", "0"},
        {"text@@##$$99999999999", "text", "0"},
    };
    for (const Case& c : cases) {
        QString answer, count;
        ParsePpsLine(QString::fromUtf8(c.line), answer, count);
        EXPECT_EQ(answer, QString::fromUtf8(c.answer)) << c.line;
        EXPECT_EQ(count, QString::fromUtf8(c.count)) << c.line;
    }
    // Written and read back, an answer with the separator keeps its count.
    QString answer, count;
    ParsePpsLine(PpsLine(QStringLiteral("@@##$$"), QStringLiteral("5")), answer, count);
    EXPECT_EQ(answer, QStringLiteral("@@##$$"));
    EXPECT_EQ(count, QStringLiteral("5"));
    EXPECT_EQ(PlayCountOf(QStringLiteral("x")), 0);
    EXPECT_EQ(PlayCountOf(QStringLiteral("4")), 4);
}

// The whole extension counts, without regard to case, as in the media list:
// a lesson the list opens can always have its answers imported.
TEST(DictationFiles, ImportSourcesAreComparedWholeAsTheMediaListDoes)
{
    struct Case {
        const char* path;
        TImportSource audio;
        TImportSource video;
    };
    using S = TImportSource;
    const Case cases[] = {
        {"/l/a.wav", S::Media, S::Refused},       {"/l/a.mp3", S::Media, S::Refused},
        {"/l/a.pibo", S::Package, S::Refused},    {"/l/a.vpibo", S::Refused, S::Package},
        {"/l/a.avi", S::Refused, S::Media},       {"/l/a.asf", S::Refused, S::Media},
        {"/l/a.wmv", S::Refused, S::Media},       {"/l/大写.WAV", S::Media, S::Refused},
        {"/l/a.Mp3", S::Media, S::Refused},       {"/l/a.AVI", S::Refused, S::Media},
        {"/l/a.Pibo", S::Package, S::Refused},    {"/l/a.VPIBO", S::Refused, S::Package},
        {"/l/a.wav.txt", S::Refused, S::Refused}, {"/l/a.wavx", S::Refused, S::Refused},
        {"/l/a.m", S::Refused, S::Refused},
        {"/l/a.mp", S::Refused, S::Refused},      {"/l/a.pib", S::Refused, S::Refused},
        {"/l/a.", S::Refused, S::Refused},        {"/l/noext", S::Refused, S::Refused},
        {"/l.wav/noext", S::Refused, S::Refused}, {"", S::Refused, S::Refused},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ClassifyImportSource(QString::fromUtf8(c.path), false), c.audio) << c.path;
        EXPECT_EQ(ClassifyImportSource(QString::fromUtf8(c.path), true), c.video) << c.path;
    }
}

TEST(DictationFiles, TheExtensionIsForcedOnTheChosenName)
{
    EXPECT_EQ(ForcedExtensionPath(QStringLiteral("/d/x"), PpsExtension), QStringLiteral("/d/x.pps"));
    EXPECT_EQ(ForcedExtensionPath(QStringLiteral("/d/x.txt"), PpsExtension), QStringLiteral("/d/x.pps"));
    EXPECT_EQ(ForcedExtensionPath(QStringLiteral("/d/x.PPF"), PpfExtension), QStringLiteral("/d/x.ppf"));
    EXPECT_EQ(ForcedExtensionPath(QStringLiteral("/d.e/x"), PpfExtension), QStringLiteral("/d.e/x.ppf"));
}

TEST(DictationCheck, SingleTestTotalsAndClock)
{
    TSingleCheckTotalRes res = CheckedSingle({QStringLiteral("Spring is warm."), QStringLiteral("It rains a lot.")},
                                             {QStringLiteral("spring is worm"), QString()});
    EXPECT_EQ(res.FileName, QStringLiteral("lesson.wav"));
    EXPECT_EQ(res.WordCount, 7);
    EXPECT_EQ(res.RightCount, 2);
    EXPECT_EQ(res.WrongCount, 1);
    EXPECT_EQ(res.MissCount, 4);
    EXPECT_EQ(res.Accuracy, QStringLiteral("29%"));
    EXPECT_EQ(res.Items[1].Accuracy, QStringLiteral("0%"));
    EXPECT_EQ(res.CostSeconds, 65);
    EXPECT_EQ(res.CostTime, QStringLiteral("00:01:05"));

    // Nothing to check keeps the accuracy text.
    TSingleCheckTotalRes none;
    ResetSingleTest(none, QStringLiteral("x.wav"), {QString()});
    none.Accuracy = QStringLiteral("55%");
    CheckAllSingle(none, QStringLiteral("x.wav"), {QStringLiteral("extra")}, QStringLiteral("00:00:00"));
    EXPECT_EQ(none.Accuracy, QStringLiteral("55%"));
    EXPECT_EQ(none.OverCount, 1);

    EXPECT_EQ(NextClockText(QStringLiteral("00:00:00")), QStringLiteral("00:00:01"));
    EXPECT_EQ(NextClockText(QStringLiteral("00:59:59")), QStringLiteral("01:00:00"));
    EXPECT_EQ(AnswerFromEditorText(QStringLiteral("two\r\nlines  \r\n")), QStringLiteral("twolines"));
    EXPECT_EQ(AnswerFromEditorText(QStringLiteral("a\nb c ")), QStringLiteral("ab c"));
}

TEST(DictationCheck, FreeTestJoinsTheLinesWithOneBlank)
{
    const QStringList sentences{QStringLiteral("Spring is warm."), QStringLiteral("Summer is hot.")};
    TSingleCheckTotalRes res = CheckedFree(sentences, {QStringLiteral("spring is warm"), QStringLiteral("summer is hot")});
    EXPECT_EQ(res.Items.size(), 1);
    EXPECT_EQ(res.Items[0].Sentence, QStringLiteral(" Spring is warm. Summer is hot."));
    EXPECT_EQ(res.Items[0].Answer, QStringLiteral("spring is warm summer is hot"));
    EXPECT_EQ(res.RightCount, 6);
    EXPECT_EQ(res.Accuracy, QStringLiteral("100%"));

    TSingleCheckTotalRes empty = CheckedFree(sentences, {});
    EXPECT_EQ(empty.Items[0].Answer, QString());
    EXPECT_EQ(empty.MissCount, 6);
    EXPECT_EQ(empty.Accuracy, QStringLiteral("0%"));
}

TEST(DictationCheck, SingleDocumentMarksEveryWordInItsStyle)
{
    // right, wrong with its correction, extra, missing.
    TSingleCheckTotalRes res =
        CheckedSingle({QStringLiteral("Spring is very warm"), QStringLiteral("Hot")},
                      {QStringLiteral("spring iz warm today"), QString()});
    res.Items[0].PlayCount = 3;
    const QStringList doc = Dump(BuildSingleCheckDocument(res, -1));
    const QStringList expected{
        QStringLiteral("/5"),
        QStringLiteral("1 /7|参照：/5|Spring is very warm/0"),
        QStringLiteral("  /7|听写：/5|spring iz warm today/0"),
        QStringLiteral("  /7|校对：/5|spring/0| /0|iz/1|is/2| /0|very/4| /0|warm/0| /0|today/3"),
        QStringLiteral("  /7|摘要：/5|正确率：（50%） /6|错：（1） /6|漏：（1） /6|单词：（4） /6|次数：（3）/6"),
        QStringLiteral("/5"),
        QStringLiteral("2 /7|参照：/5|Hot/0"),
        QStringLiteral("  /7|听写：/5|/0"),
        // Nothing typed: the sentence's words, each missing.
        QStringLiteral("  /7|校对：/5|hot/4"),
        QStringLiteral("  /7|摘要：/5|正确率：（0%） /6|错：（0） /6|漏：（1） /6|单词：（1） /6|次数：（0）/6"),
        QStringLiteral("/5"),
    };
    EXPECT_EQ(doc, expected);

    // One row: only its block, under the whole test's totals.
    const QStringList row = Dump(BuildSingleCheckDocument(res, 1));
    ASSERT_EQ(row.size(), 6);
    EXPECT_EQ(row[1], expected[6]);
    const TCheckHeader header = CheckHeaderOf(res);
    EXPECT_EQ(header.WordCount, QStringLiteral("单词总数（5）"));
    EXPECT_EQ(header.RightCount, QStringLiteral("正确率（40%）"));
    EXPECT_EQ(header.MissCount, QStringLiteral("（2）"));
    EXPECT_TRUE(header.TimeDesc.endsWith(QStringLiteral(" 持续时间：00小时01分05秒"))) << header.TimeDesc.toStdString();
}

TEST(DictationCheck, FreeDocumentBreaksWhereTheTypedLinesBreak)
{
    const QStringList sentences{QStringLiteral("a b c d")};
    struct Case {
        QStringList lines;
        QStringList paragraphs;
    };
    const Case cases[] = {
        // One line: every word in one paragraph, a blank after each.
        {{QStringLiteral("a b c d")}, {QStringLiteral("/5|a/0| /0|b/0| /0|c/0| /0|d/0| /0")}},
        // Two lines: the break after the second placed word.
        {{QStringLiteral("a b"), QStringLiteral("c d")},
         {QStringLiteral("/5|a/0| /0|b/0"), QStringLiteral("/5|c/0| /0|d/0| /0")}},
        // Extra and missing words are not counted towards a line.
        {{QStringLiteral("a b"), QStringLiteral("d")},
         {QStringLiteral("/5|a/0| /0|b/0"), QStringLiteral("/5|c/4| /0|d/0| /0")}},
        {{QStringLiteral("a x b"), QStringLiteral("d")},
         {QStringLiteral("/5|a/0| /0|x/3| /0|b/0| /0|c/4| /0|d/0"), QStringLiteral("/5")}},
        // An empty typed line gets its own empty paragraph.
        {{QStringLiteral("a b"), QString(), QStringLiteral("c d")},
         {QStringLiteral("/5|a/0| /0|b/0"), QStringLiteral("/5"), QStringLiteral("/5|c/0| /0|d/0| /0")}},
        // Past the last typed line every word goes into the last paragraph.
        {{QStringLiteral("a"), QStringLiteral("b")},
         {QStringLiteral("/5|a/0"), QStringLiteral("/5|b/0| /0|c/4| /0|d/4| /0")}},
    };
    for (const Case& c : cases) {
        const TSingleCheckTotalRes res = CheckedFree(sentences, c.lines);
        EXPECT_EQ(Dump(BuildFreeCheckDocument(res, c.lines)), c.paragraphs) << c.lines.join(QLatin1Char('|')).toStdString();
    }
}

TEST(DictationCheck, SavingWritesOneRowAndReportsAFailure)
{
    TWindowTestEnvironment env;
    TSingleCheckTotalRes res = CheckedSingle({QStringLiteral("Spring is warm.")}, {QStringLiteral("spring is warm")});
    ASSERT_TRUE(SaveCheckResult(res));
    QSqlQuery query(DataInterface->Connection());
    ASSERT_TRUE(query.exec(QStringLiteral("SELECT name, accuracy, costtime, kejianname FROM singledictaterecord")));
    ASSERT_TRUE(query.next());
    EXPECT_EQ(query.value(0).toString(), SystemPara.UserInfo.UserName);
    EXPECT_EQ(query.value(1).toString(), QStringLiteral("100%"));
    EXPECT_EQ(query.value(2).toInt(), 65);
    EXPECT_EQ(query.value(3).toString(), QStringLiteral("lesson.wav"));
    EXPECT_FALSE(query.next());

    ASSERT_TRUE(query.exec(QStringLiteral("DROP TABLE singledictaterecord")));
    EXPECT_FALSE(SaveCheckResult(res));
}
