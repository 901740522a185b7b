#include "UCommonFun.h"

#include "AnsiText.h"
#include "IniFile.h"
#include "TestSupport.h"

#include <QtCore/QDateTime>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTemporaryDir>
#include <QtNetwork/QHostAddress>
#include <QtNetwork/QTcpServer>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <limits>
#include <set>
#include <vector>

namespace {

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

}  // namespace

// ---------------------------------------------------------------------------
// Time texts

TEST(TimeTextTest, AudioTimesBothWays)
{
    struct TCase {
        qint32 Ms;
        const char* Text;
        qint32 Back;  // the milliseconds the text reads back as
    };
    const TCase cases[] = {
        {0, "00:00.00", 0},
        {450, "00:00.45", 450},
        {59990, "00:59.99", 59990},
        {59999, "00:59.99", 59990},  // hundredths are truncated
        {83456, "01:23.45", 83450},
        {5999990, "99:59.99", 5999990},
        {6000000, "100:00.00", 6000000},  // 100 minutes: three minute digits
        {59999990, "999:59.99", 59999990},
        {-5, "00:00.00", 0},  // no time before the start
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(MSecToLrcTime(c.Ms), QString::fromLatin1(c.Text)) << c.Ms;
        EXPECT_EQ(LrcTimeToMSec(QString::fromLatin1(c.Text)), c.Back) << c.Text;
    }
    // The character between seconds and hundredths is not looked at.
    EXPECT_EQ(LrcTimeToMSec(QStringLiteral("01:23,45")), 83450);
    EXPECT_EQ(LrcTimeToMSec(QStringLiteral("00:12:34")), 12340);
}

TEST(TimeTextTest, VideoTimesBothWays)
{
    struct TCase {
        qint32 Ms;
        const char* Text;
    };
    const TCase cases[] = {
        {0, "00:00:00,000"},
        {4, "00:00:00,004"},
        {83456, "00:01:23,456"},
        {3723004, "01:02:03,004"},
        {359999999, "99:59:59,999"},
        {360000000, "100:00:00,000"},
        {std::numeric_limits<qint32>::max(), "596:31:23,647"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(MSecToSrtTime(c.Ms), QString::fromLatin1(c.Text)) << c.Ms;
        EXPECT_EQ(SrtTimeToMSec(QString::fromLatin1(c.Text)), c.Ms) << c.Text;
    }
    EXPECT_EQ(MSecToSrtTime(-1), QStringLiteral("00:00:00,000"));

    // The screen clocks: a label's hh:mm:ss plus ",000", one second on.
    EXPECT_EQ(MSecToSrtTime(SrtTimeToMSec(QStringLiteral("00:59:59") + QStringLiteral(",000")) + 1000).left(8),
              QStringLiteral("01:00:00"));
}

TEST(TimeTextTest, MalformedTimesRaiseTheConversionError)
{
    const char* const lrc[] = {"", "1:02.50", "01:2.50", "0a:00.00", "01:02.5", "01:02.5x", "1000:00.00",
                               " 01:02.50", "01:02.50 ", "-1:00.00", "[01:02.50]", "01:02.505"};
    for (const char* text : lrc)
        EXPECT_THROW(LrcTimeToMSec(QString::fromLatin1(text)), EConvertError) << text;

    const char* const srt[] = {"",           "1:02:03,004",   "01:02:03,04",    "01:02:03,0045", "01:0x:03,004",
                               " 01:02:03,004", "1000:00:00,000", "999:00:00,000" /* beyond 32 bits */};
    for (const char* text : srt)
        EXPECT_THROW(SrtTimeToMSec(QString::fromLatin1(text)), EConvertError) << text;
}

TEST(TimeTextTest, EveryHundredthOfALongLessonReadsBack)
{
    // Every whole second of 17 hours, shifted by changing hundredths.
    for (qint32 ms = 0; ms < 1000 * 60000; ms += 997) {
        const qint32 expected = ms / 10 * 10;
        ASSERT_EQ(LrcTimeToMSec(MSecToLrcTime(ms)), expected) << ms;
        ASSERT_EQ(SrtTimeToMSec(MSecToSrtTime(ms)), ms) << ms;
    }
}

// ---------------------------------------------------------------------------
// Splitting, shuffling, rectangles, media kinds

TEST(SplitTest, SplitStringDropsBlankPartsAndSplitStringsKeepsAll)
{
    struct TCase {
        const char* Text;
        const char* Sep;
        QStringList Dropping;  // SplitString
        QStringList Keeping;   // SplitStrings
    };
    const TCase cases[] = {
        {" a ,, b ,c", ",", {" a ", " b ", "c"}, {" a ", "", " b ", "c"}},
        {"a,b,", ",", {"a", "b"}, {"a", "b", ""}},
        {"", ",", {}, {""}},
        {"  ", ",", {"  "}, {"  "}},  // the rest is kept even when blank
        {"a, \t,b", ",", {"a", "b"}, {"a", " \t", "b"}},
        {"one@@##$$two@@##$$", "@@##$$", {"one", "two"}, {"one", "two", ""}},
        {"no separator", "", {"no separator"}, {"no separator"}},
    };
    for (const TCase& c : cases) {
        QStringList list{QStringLiteral("old")};
        SplitString(QString::fromUtf8(c.Text), QString::fromUtf8(c.Sep), list);
        EXPECT_EQ(list, c.Dropping) << c.Text;
        QStringList strings{QStringLiteral("old")};
        SplitStrings(QString::fromUtf8(c.Text), QString::fromUtf8(c.Sep), strings);
        EXPECT_EQ(strings, c.Keeping) << c.Text;
    }
}

TEST(RandomizeIntArrayTest, EveryElementReachesEveryPlaceAboutEquallyOften)
{
    constexpr int n = 5;
    constexpr int runs = 20000;
    int counts[n][n] = {};
    for (int run = 0; run < runs; ++run) {
        TIntAry values{0, 1, 2, 3, 4};
        RandomizeIntArray(values);
        ASSERT_EQ(std::set<qint32>(values.begin(), values.end()).size(), std::size_t{n});
        for (int place = 0; place < n; ++place)
            ++counts[values[place]][place];
    }
    const int expected = runs / n;
    for (int element = 0; element < n; ++element)
        for (int place = 0; place < n; ++place) {
            EXPECT_GT(counts[element][place], expected * 8 / 10) << element << " at " << place;
            EXPECT_LT(counts[element][place], expected * 12 / 10) << element << " at " << place;
        }
}

TEST(RandomizeIntArrayTest, ShortArrays)
{
    TIntAry empty;
    RandomizeIntArray(empty);
    EXPECT_TRUE(empty.isEmpty());
    TIntAry one{7};
    RandomizeIntArray(one);
    EXPECT_EQ(one, TIntAry{7});

    bool kept = false;
    bool swapped = false;
    for (int run = 0; run < 200; ++run) {
        TIntAry two{1, 2};
        RandomizeIntArray(two);
        kept = kept || two == TIntAry{1, 2};
        swapped = swapped || two == TIntAry{2, 1};
    }
    EXPECT_TRUE(kept);
    EXPECT_TRUE(swapped);
}

TEST(PointInRectTest, AllFourBordersAreOutside)
{
    const QRect rect = QRect(0, 0, 218, 34);  // left 0, top 0, right 218, bottom 34
    struct TCase {
        int X, Y;
        bool Inside;
    };
    const TCase cases[] = {{1, 1, true},     {217, 33, true},   {0, 10, false}, {218, 10, false},
                           {10, 0, false},   {10, 34, false},   {-1, 5, false}, {100, 17, true}};
    for (const TCase& c : cases)
        EXPECT_EQ(PointInRect(c.X, c.Y, rect), c.Inside) << c.X << "," << c.Y;
}

TEST(MediaKindOfExtTest, WholeExtensionWithoutRegardToCase)
{
    struct TCase {
        const char* Ext;
        int Kind;
    };
    const TCase cases[] = {{".wav", 1}, {".mp3", 1}, {".MP3", 1}, {".Wav", 1}, {".asf", 2}, {".avi", 2},
                           {".wmv", 2}, {".WMV", 2}, {".txt", 0}, {".mp", 0},  {".a", 0},   {".", 0},
                           {"", 0},     {"wav", 0},  {"*.wav", 0}, {".wav,", 0}, {".mp3x", 0}};
    for (const TCase& c : cases)
        EXPECT_EQ(MediaKindOfExt(QString::fromLatin1(c.Ext)), c.Kind) << c.Ext;
}

// ---------------------------------------------------------------------------
// Files and folders

TEST(ShellRenameFileTest, RenamesFilesAndFoldersButReplacesNothing)
{
    QTemporaryDir dir;
    const QString base = dir.path() + u'/';
    WriteFile(base + QStringLiteral("a.txt"), "a");
    WriteFile(base + QStringLiteral("b.txt"), "b");
    ASSERT_TRUE(QDir(base).mkdir(QStringLiteral("课件")));

    EXPECT_TRUE(ShellRenameFile(base + QStringLiteral("a.txt"), base + QStringLiteral("c.txt")));
    EXPECT_EQ(ReadFile(base + QStringLiteral("c.txt")), QByteArray("a"));
    EXPECT_TRUE(ShellRenameFile(base + QStringLiteral("课件"), base + QStringLiteral("新课件")));
    EXPECT_TRUE(QFileInfo(base + QStringLiteral("新课件")).isDir());

    EXPECT_FALSE(ShellRenameFile(base + QStringLiteral("c.txt"), base + QStringLiteral("b.txt")));
    EXPECT_EQ(ReadFile(base + QStringLiteral("b.txt")), QByteArray("b"));
    EXPECT_FALSE(ShellRenameFile(base + QStringLiteral("missing"), base + QStringLiteral("d.txt")));
}

TEST(ClearFolderTest, DeletesThePlainFilesAndKeepsSubfolders)
{
    TTestProgramFolder folder;
    const QString temp = folder.File(QStringLiteral("temp/"));
    WriteFile(temp + QStringLiteral("PiboTempSave.wav"), "x");
    WriteFile(temp + QStringLiteral(".hidden"), "x");
    WriteFile(temp + QStringLiteral("课件.plrc"), "x");
    ASSERT_TRUE(QDir(temp).mkpath(QStringLiteral("sub")));
    WriteFile(temp + QStringLiteral("sub/keep.txt"), "x");

    QStringList notDeleted{QStringLiteral("old")};
    EXPECT_TRUE(ClearFolder(temp, &notDeleted));
    EXPECT_TRUE(notDeleted.isEmpty());
    EXPECT_EQ(QDir(temp).entryList(QDir::Files | QDir::Hidden), QStringList());
    EXPECT_TRUE(QFileInfo::exists(temp + QStringLiteral("sub/keep.txt")));

    EXPECT_TRUE(ClearFolder(folder.File(QStringLiteral("no such folder/"))));
    EXPECT_FALSE(ClearFolder(QString()));  // never the working folder
}

TEST(ClearFolderTest, ReportsTheFilesItCouldNotDelete)
{
    // The system refuses to delete the files of a process's folder in /proc,
    // whoever asks.
    if (!QFileInfo::exists(QStringLiteral("/proc/self/status")))
        GTEST_SKIP() << "no /proc";
    QStringList notDeleted;
    EXPECT_FALSE(ClearFolder(QStringLiteral("/proc/self/"), &notDeleted));
    EXPECT_TRUE(notDeleted.contains(QStringLiteral("/proc/self/status")));
    EXPECT_TRUE(QFileInfo::exists(QStringLiteral("/proc/self/status")));
}

// ---------------------------------------------------------------------------
// Text files

TEST(TextFileTest, TheSameSubtitleInEveryEncodingGivesTheSameText)
{
    const QString text = QStringLiteral("00:01.50\r\nHello, world.\r\n你好，世界。\r\n");
    QByteArray utf16 = QByteArray("\xFF\xFE");
    for (const QChar c : text) {
        utf16.append(static_cast<char>(c.unicode() & 0xFF));
        utf16.append(static_cast<char>(c.unicode() >> 8));
    }
    const struct {
        const char* Name;
        QByteArray Bytes;
    } files[] = {
        {"gbk", StringToAnsi(text)},
        {"utf8", text.toUtf8()},
        {"utf8bom", QByteArray("\xEF\xBB\xBF") + text.toUtf8()},
        {"utf16", utf16},
    };
    QTemporaryDir dir;
    for (const auto& f : files) {
        const QString path = dir.path() + u'/' + QString::fromLatin1(f.Name) + QStringLiteral(".plrc");
        WriteFile(path, f.Bytes);
        const QDateTime modified = QFileInfo(path).lastModified();

        EXPECT_EQ(DecodeTextBytes(f.Bytes), text) << f.Name;
        QString read;
        EXPECT_TRUE(ReadTextFile(path, read)) << f.Name;
        EXPECT_EQ(read, text) << f.Name;
        QByteArray ansi;
        EXPECT_TRUE(ConvertTextFileToAnsi(path, ansi)) << f.Name;
        EXPECT_EQ(ansi, StringToAnsi(text)) << f.Name;

        // Reading never writes the user's file.
        EXPECT_EQ(ReadFile(path), f.Bytes) << f.Name;
        EXPECT_EQ(QFileInfo(path).lastModified(), modified) << f.Name;
    }
}

TEST(TextFileTest, EdgeCases)
{
    EXPECT_EQ(DecodeTextBytes(QByteArray()), QString());
    EXPECT_EQ(DecodeTextBytes("plain ascii"), QStringLiteral("plain ascii"));
    EXPECT_EQ(DecodeTextBytes("\xFF\xFE"), QString());
    EXPECT_EQ(DecodeTextBytes("\xEF\xBB\xBF"), QString());
    // Bytes that are not UTF-8 are GBK; so is a UTF-8 sequence cut off at the end.
    EXPECT_EQ(DecodeTextBytes("\xC4\xE3"), QStringLiteral("你"));
    EXPECT_EQ(DecodeTextBytes("ab\xE4\xBD"), AnsiToString("ab\xE4\xBD"));

    QString text = QStringLiteral("old");
    EXPECT_FALSE(ReadTextFile(QStringLiteral("/no/such/file.lrc"), text));
    EXPECT_TRUE(text.isEmpty());
    QByteArray ansi("old");
    EXPECT_FALSE(ConvertTextFileToAnsi(QStringLiteral("/no/such/file.lrc"), ansi));
    EXPECT_TRUE(ansi.isEmpty());
}

// ---------------------------------------------------------------------------
// Update state

TEST(HasNewVersionTest, TheTwoVersionTextsDiffer)
{
    struct TCase {
        const char* Version;  // null: key missing
        const char* RemoteVersion;
        bool Expected;
    };
    const TCase cases[] = {
        {nullptr, nullptr, false},  {"1.0", "1.0", false}, {"1.0", "1.1", true},   {"1.1", "1.0", true},
        {"v1.0", "V1.0", true},     {nullptr, "1.0", true}, {"1.0", nullptr, true}, {"", nullptr, false},
    };
    for (const TCase& c : cases) {
        TTestProgramFolder folder;
        const QString ini = folder.File(QStringLiteral("Update.ini"));
        QFile::remove(ini);
        TIniFile file(ini);
        file.WriteString(QStringLiteral("Update"), QStringLiteral("Exe"), QStringLiteral("pibozunexc"));
        if (c.Version)
            file.WriteString(QStringLiteral("Update"), QStringLiteral("Version"), QString::fromLatin1(c.Version));
        if (c.RemoteVersion)
            file.WriteString(QStringLiteral("Update"), QStringLiteral("RemoteVersion"),
                             QString::fromLatin1(c.RemoteVersion));
        EXPECT_EQ(HasNewVersion(), c.Expected)
            << (c.Version ? c.Version : "(none)") << " / " << (c.RemoteVersion ? c.RemoteVersion : "(none)");
    }
    TTestProgramFolder noIni;
    QFile::remove(noIni.File(QStringLiteral("Update.ini")));
    EXPECT_FALSE(HasNewVersion());
}

// ---------------------------------------------------------------------------
// Network and shell

TEST(IsOnlineTest, TrueWhenTheServerAnswers)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const QString port = QString::number(server.serverPort());
    EXPECT_TRUE(IsOnline(QStringLiteral("http://127.0.0.1:") + port + QStringLiteral("/update/")));
    EXPECT_TRUE(IsOnline(QStringLiteral("127.0.0.1:") + port));
    EXPECT_TRUE(IsOnline(QStringLiteral("http://localhost:") + port));
}

namespace {
// A port on 127.0.0.1 that never answers: its queue of connections waiting
// to be accepted is full, so the system drops every further connection
// request unanswered (the caller keeps waiting for an answer, for minutes).
class TSilentPort {
public:
    TSilentPort()
    {
        FListener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (FListener < 0 || bind(FListener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            listen(FListener, 0) != 0 || getsockname(FListener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        Port = ntohs(address.sin_port);
        // Connections that fill the queue, never accepted.
        for (int i = 0; i < 4; ++i) {
            const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            connect(fd, reinterpret_cast<sockaddr*>(&address), length);
            FFillers.push_back(fd);
        }
        // The queue is full once a connection waits in it (the system keeps
        // one more than the backlog of 0 asks for): wait until it does, as the
        // fillers' requests may still be on their way.
        pollfd waiting{FListener, POLLIN, 0};
        if (poll(&waiting, 1, 30000) != 1)
            Port = 0;  // never ready: the test stops at its check of the port
    }
    ~TSilentPort()
    {
        for (const int fd : FFillers)
            close(fd);
        if (FListener >= 0)
            close(FListener);
    }
    quint16 Port = 0;

private:
    int FListener = -1;
    std::vector<int> FFillers;
};

// A port on 127.0.0.1 that refuses every connection while the object lives:
// bound, so that no other program can listen on it meanwhile (a port just
// given up may be taken at once by a test running beside this one), but not
// listening.
class TRefusingPort {
public:
    TRefusingPort()
    {
        FSocket = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (FSocket < 0 || bind(FSocket, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            getsockname(FSocket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        Port = ntohs(address.sin_port);
    }
    ~TRefusingPort()
    {
        if (FSocket >= 0)
            close(FSocket);
    }
    quint16 Port = 0;

private:
    int FSocket = -1;
};
}  // namespace

TEST(IsOnlineTest, FalseWithinTheTimeOutOtherwise)
{
    TRefusingPort closed;
    ASSERT_NE(closed.Port, 0);
    EXPECT_FALSE(IsOnline(QStringLiteral("http://127.0.0.1:") + QString::number(closed.Port) + u'/'));

    // An address that never answers, and a name that never resolves: false
    // once the time-out is over (without it, the system would keep trying
    // for minutes, far beyond the test's own time limit).
    TSilentPort silent;
    ASSERT_NE(silent.Port, 0);
    const QString silentUrl = QStringLiteral("http://127.0.0.1:") + QString::number(silent.Port) + u'/';
    for (const QString& url : {silentUrl, QStringLiteral("http://no-such-host.invalid/")})
        EXPECT_FALSE(IsOnline(url, 500)) << qPrintable(url);

    EXPECT_FALSE(IsOnline(QString()));
    EXPECT_FALSE(IsOnline(QStringLiteral("http://")));
}

TEST(RunProgramTest, StartsAProgramOfTheProgramFolderInThatFolder)
{
    TTestProgramFolder folder;
    const QString program = folder.File(QStringLiteral("pibozun"));
    WriteFile(program, "#!/bin/sh\npwd > started.txt\n");
    QFile::setPermissions(program, QFile::permissions(program) | QFileDevice::ExeOwner | QFileDevice::ExeUser);

    AdoptDetachedPrograms();
    EXPECT_TRUE(RunProgram(QLatin1String(UpdaterProgramName)));
    WaitForChildPrograms();
    const QString marker = folder.File(QStringLiteral("started.txt"));
    EXPECT_EQ(QFileInfo(QString::fromLocal8Bit(ReadFile(marker).trimmed())).canonicalFilePath(),
              QFileInfo(folder.Path()).canonicalFilePath());

    EXPECT_FALSE(RunProgram(QStringLiteral("no-such-program")));
    EXPECT_FALSE(RunProgram(QString()));
}
