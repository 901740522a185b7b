// Archives made by the system's zip tools and by python's zipfile module are
// read and extracted byte for byte; the library's own archives pass the
// tools' tests.

#include "ArcUnZip.h"
#include "ArcZip.h"

#include "ZipTestSupport.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <zlib.h>

#include <map>

namespace {
// A source tree with text, binary, empty, nested and non-ASCII files.
std::map<QString, QByteArray> SourceFiles()
{
    return {
        {QStringLiteral("a.txt"), RandomWords(50000, 1)},
        {QStringLiteral("empty.txt"), QByteArray()},
        {QStringLiteral("sub/b.bin"), RandomBytes(20000, 2)},
        {QStringLiteral("sub/deep/c.txt"), RandomWords(200000, 3)},
        {QStringLiteral("中文.txt"), RandomWords(1000, 4)},
    };
}

void MakeTree(const QString& root, const std::map<QString, QByteArray>& files)
{
    for (const auto& [name, data] : files)
        WriteAll(root + QLatin1Char('/') + name, data);
    QDir().mkpath(root + QStringLiteral("/emptydir"));
}

void ExpectSameFiles(const QString& dest, const std::map<QString, QByteArray>& files)
{
    for (const auto& [name, data] : files) {
        const QString path = dest + QLatin1Char('/') + name;
        ASSERT_TRUE(QFileInfo::exists(path)) << path.toStdString();
        EXPECT_TRUE(ReadAll(path) == data) << path.toStdString();
    }
}

int ExtractAll(const QString& zip, const QString& dest, const std::function<void(TArcUnZip&)>& setup = {})
{
    TArcUnZip z;
    z.SetZipName(zip);
    z.SetDestDir(dest);
    z.SetRecreateDirs(true);
    z.SetDoAll(true);
    z.SetOverwriteMode(TUZOverwriteMode::Always);
    if (setup)
        setup(z);
    return z.UnZip();
}

mode_t FileMode(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : 07777;
}

class ZipArchive : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        Root = FDir.path();
        Src = Root + QStringLiteral("/src");
        Files = SourceFiles();
        MakeTree(Src, Files);
    }
    QTemporaryDir FDir;
    QString Root;
    QString Src;
    std::map<QString, QByteArray> Files;
};

TEST_F(ZipArchive, ToolArchivesExtractByteForByte)
{
    if (!HaveTool(QStringLiteral("zip")) || !HaveTool(QStringLiteral("python3")))
        GTEST_SKIP() << "zip or python3 missing";
    struct TCase {
        const char* Name;
        QStringList ZipArgs;  // empty: Script makes it
        const char* Script;
    };
    const QString pyStreaming = QStringLiteral(
        "import zipfile,os\n"
        "class W:\n"
        "  def __init__(s,f): s.f=f; s.n=0\n"
        "  def write(s,b): s.f.write(b); s.n+=len(b); return len(b)\n"
        "  def tell(s): return s.n\n"
        "  def flush(s): s.f.flush()\n"
        "  def seekable(s): return False\n"
        "out=open('../stream.zip','wb')\n"
        "with zipfile.ZipFile(W(out),'w',zipfile.ZIP_DEFLATED) as z:\n"
        "  for d,_,fs in os.walk('.'):\n"
        "    for f in fs:\n"
        "      p=os.path.join(d,f)[2:]\n"
        "      with open(p,'rb') as i, z.open(p,'w') as o: o.write(i.read())\n"
        "out.close()\n");
    const QString pyComment = QStringLiteral(
        "import zipfile,os\n"
        "with zipfile.ZipFile('../comment.zip','w',zipfile.ZIP_DEFLATED,compresslevel=3) as z:\n"
        "  for d,_,fs in os.walk('.'):\n"
        "    for f in fs:\n"
        "      p=os.path.join(d,f)[2:]\n"
        "      z.write(p)\n"
        "      z.getinfo(p).comment=b'file comment'\n"
        "  z.comment=b'archive comment'\n");
    struct TRun {
        QString Archive;
        QStringList Args;
        QString Script;
    };
    const std::vector<TRun> runs = {
        {QStringLiteral("stored.zip"), {QStringLiteral("-r"), QStringLiteral("-0"), QStringLiteral("../stored.zip"), QStringLiteral(".")}, {}},
        {QStringLiteral("level1.zip"), {QStringLiteral("-r"), QStringLiteral("-1"), QStringLiteral("../level1.zip"), QStringLiteral(".")}, {}},
        {QStringLiteral("level6.zip"), {QStringLiteral("-r"), QStringLiteral("-6"), QStringLiteral("../level6.zip"), QStringLiteral(".")}, {}},
        {QStringLiteral("level9.zip"), {QStringLiteral("-r"), QStringLiteral("-9"), QStringLiteral("../level9.zip"), QStringLiteral(".")}, {}},
        {QStringLiteral("stream.zip"), {}, pyStreaming},
        {QStringLiteral("comment.zip"), {}, pyComment},
    };
    for (const TRun& run : runs) {
        SCOPED_TRACE(run.Archive.toStdString());
        const int rc = run.Script.isEmpty() ? RunTool(QStringLiteral("zip"), run.Args, Src) : RunPython(run.Script, Src);
        ASSERT_EQ(rc, 0);
        const QString dest = Root + QStringLiteral("/out-") + run.Archive;
        ExtractAll(Root + QLatin1Char('/') + run.Archive, dest);
        ExpectSameFiles(dest, Files);
    }
    // Data descriptors were really used, and comments are read.
    TArcUnZip z;
    z.SetZipName(Root + QStringLiteral("/stream.zip"));
    z.ReadZip();
    ASSERT_GT(z.Count(), 0);
    EXPECT_TRUE(z.Entry(0).HasDataDescriptor());
    z.SetZipName(Root + QStringLiteral("/comment.zip"));
    z.ReadZip();
    EXPECT_EQ(z.GetZipComment(), "archive comment");
    EXPECT_EQ(z.GetFileComment(0), "file comment");
}

TEST_F(ZipArchive, NamesInGbkAndUtf8)
{
    // A name in the ANSI code page (no flag bit 11) next to a UTF-8 one; the
    // host an entry was made on does not change that, except that a Unix
    // host's names are UTF-8 when they are valid UTF-8.
    const QByteArray gbk = "\xD6\xD0\xCE\xC4.txt";  // 中文.txt in GBK
    TRawEntry a = StoredEntry(gbk, "gbk");
    TRawEntry b = StoredEntry(QStringLiteral("日本/語.txt").toUtf8(), "utf8");
    b.Flags = 0x0800;
    TRawEntry c = StoredEntry("ntfs/" + gbk, "gbk on ntfs");
    c.MadeBy = (11 << 8) | 45;
    TRawEntry d = StoredEntry(QStringLiteral("unix/名字.txt").toUtf8(), "unix");
    d.MadeBy = (3 << 8) | 30;
    TRawEntry e = StoredEntry(QStringLiteral("ntfs8/名字.txt").toUtf8(), "utf8 on ntfs");
    e.MadeBy = (11 << 8) | 45;
    e.Flags = 0x0800;
    const QString zip = Root + QStringLiteral("/names.zip");
    WriteAll(zip, MakeRawZip({a, b, c, d, e}));
    const QString dest = Root + QStringLiteral("/names");
    EXPECT_EQ(ExtractAll(zip, dest), 5);
    EXPECT_EQ(ReadAll(dest + QStringLiteral("/中文.txt")), "gbk");
    EXPECT_EQ(ReadAll(dest + QStringLiteral("/日本/語.txt")), "utf8");
    EXPECT_EQ(ReadAll(dest + QStringLiteral("/ntfs/中文.txt")), "gbk on ntfs");
    EXPECT_EQ(ReadAll(dest + QStringLiteral("/unix/名字.txt")), "unix");
    EXPECT_EQ(ReadAll(dest + QStringLiteral("/ntfs8/名字.txt")), "utf8 on ntfs");
}

TEST_F(ZipArchive, ChineseNamesWeWriteReadRightInTheTools)
{
    if (!HaveTool(QStringLiteral("unzip")) || !HaveTool(QStringLiteral("python3")))
        GTEST_SKIP() << "unzip or python3 missing";
    const QString chinese = QStringLiteral("中文名.txt");
    WriteAll(Src + QLatin1Char('/') + chinese, "中文内容");
    const QString zip = Root + QStringLiteral("/names.zip");
    {
        TArcZip w;
        w.SetZipName(zip);
        w.FilesList() << Src + QLatin1Char('/') + chinese << Src + QStringLiteral("/a.txt");
        ASSERT_EQ(w.Zip(), 2);
    }
    // An update writes the kept entries' records again.
    {
        TArcZip w;
        w.SetZipName(zip);
        w.FilesList() << Src + QStringLiteral("/中文.txt");
        ASSERT_EQ(w.Zip(), 1);
    }
    QByteArray out;
    ASSERT_EQ(RunTool(QStringLiteral("unzip"), {QStringLiteral("-l"), zip}, Root, &out), 0);
    const QString listing = QString::fromUtf8(out);
    EXPECT_TRUE(listing.contains(chinese)) << out.toStdString();
    EXPECT_TRUE(listing.contains(QStringLiteral(" 中文.txt"))) << out.toStdString();
    EXPECT_FALSE(listing.contains(QLatin1Char('%'))) << out.toStdString();

    // Python reads the names, and sees the host: NTFS for the Chinese names,
    // MS-DOS for the plain one.
    ASSERT_EQ(RunPython(QStringLiteral("import zipfile,sys\n"
                                       "z=zipfile.ZipFile('names.zip')\n"
                                       "sys.stdout.buffer.write('\\n'.join('%s %d' % (i.filename, i.create_system) for i in z.infolist()).encode('utf-8'))\n"),
                        Root, &out),
              0);
    QStringList lines = QString::fromUtf8(out).split(QLatin1Char('\n'));
    lines.sort();
    EXPECT_EQ(lines.join(QStringLiteral(" | ")).toStdString(), "a.txt 0 | 中文.txt 11 | 中文名.txt 11");

    // unzip writes the files under their names.
    const QString dest = Root + QStringLiteral("/by-unzip");
    ASSERT_EQ(RunTool(QStringLiteral("unzip"), {QStringLiteral("-q"), QStringLiteral("-o"), zip, QStringLiteral("-d"), dest}, Root, &out), 0) << out.toStdString();
    EXPECT_EQ(ReadAll(dest + QLatin1Char('/') + chinese), "中文内容");
    EXPECT_EQ(ReadAll(dest + QStringLiteral("/中文.txt")), Files[QStringLiteral("中文.txt")]);
}

TEST_F(ZipArchive, ExtractedFilesGetTheOrdinaryModeUnderTheUmask)
{
    TRawEntry writable = StoredEntry("rw.txt", "rw");
    TRawEntry readOnly = StoredEntry("ro.txt", "ro");
    readOnly.ExternalAttributes = 0x21;
    const QString zip = Root + QStringLiteral("/modes.zip");
    WriteAll(zip, MakeRawZip({writable, readOnly}));
    struct TCase {
        mode_t Umask;
        bool RetainAttributes;
        mode_t Writable;
        mode_t ReadOnly;
    };
    const mode_t saved = ::umask(022);
    for (const TCase c : {TCase {022, true, 0644, 0444}, TCase {027, true, 0640, 0440}, TCase {077, true, 0600, 0400},
                          TCase {002, false, 0664, 0664}}) {
        SCOPED_TRACE(c.Umask);
        ::umask(c.Umask);
        const QString dest = Root + QStringLiteral("/modes%1%2").arg(c.Umask).arg(c.RetainAttributes);
        // A file that is there already is replaced by a new one, mode and all.
        WriteAll(dest + QStringLiteral("/rw.txt"), "old");
        ::chmod(QFile::encodeName(dest + QStringLiteral("/rw.txt")).constData(), 0600);
        EXPECT_EQ(ExtractAll(zip, dest, [&](TArcUnZip& z) { z.SetRetainAttributes(c.RetainAttributes); }), 2);
        EXPECT_EQ(FileMode(dest + QStringLiteral("/rw.txt")), c.Writable);
        EXPECT_EQ(FileMode(dest + QStringLiteral("/ro.txt")), c.ReadOnly);
        EXPECT_EQ(ReadAll(dest + QStringLiteral("/rw.txt")), "rw");
        EXPECT_EQ(QFileInfo(dest + QStringLiteral("/ro.txt")).lastModified().date(), QDate(2025, 1, 1));
        EXPECT_EQ(ListTree(dest).join(QLatin1Char(' ')).toStdString(), "ro.txt rw.txt");
    }
    ::umask(saved);
}

TEST_F(ZipArchive, PasswordsRightAndWrong)
{
    if (!HaveTool(QStringLiteral("zip")))
        GTEST_SKIP() << "zip missing";
    ASSERT_EQ(RunTool(QStringLiteral("zip"), {QStringLiteral("-r"), QStringLiteral("-P"), QStringLiteral("s3cret"), QStringLiteral("../enc.zip"), QStringLiteral(".")}, Src), 0);
    const QString zip = Root + QStringLiteral("/enc.zip");

    // Right password.
    ExtractAll(zip, Root + QStringLiteral("/right"), [](TArcUnZip& z) { z.SetPassword(QStringLiteral("s3cret")); });
    ExpectSameFiles(Root + QStringLiteral("/right"), Files);

    // Wrong password: every file entry is refused, nothing is written. The
    // one-byte check of an entry's random encryption header lets a wrong
    // password through once in 256 tries; the entry's data is then garbage,
    // which fails its checks (the entry is removed) as a bad password.
    int badPassword = 0;
    int n = 0;
    EXPECT_NO_THROW(n = ExtractAll(zip, Root + QStringLiteral("/wrong"), [&](TArcUnZip& z) {
                        z.SetPassword(QStringLiteral("nope"));
                        z.OnSkippingFile = [&](TArcUnZip*, TSkipReason r, const QString&, int, bool&) { badPassword += r == srBadPassword; };
                    }));
    EXPECT_GE(badPassword, 4);
    EXPECT_LE(badPassword, 5);
    // An empty entry that slips through is right as it is: it holds no data.
    const QStringList left = ListTree(Root + QStringLiteral("/wrong"));
    for (const QString& f : left)
        EXPECT_TRUE(f.endsWith(QLatin1Char('/')) || QFileInfo(Root + QStringLiteral("/wrong/") + f).size() == 0)
            << f.toStdString();
    EXPECT_LE(n, 6);

    // The handler supplies the right one.
    ExtractAll(zip, Root + QStringLiteral("/asked"), [](TArcUnZip& z) {
        z.OnBadPassword = [](TArcUnZip*, int, QString& p) { p = QStringLiteral("s3cret"); };
    });
    ExpectSameFiles(Root + QStringLiteral("/asked"), Files);
}

TEST_F(ZipArchive, WrongPasswordPastTheCheckByteIsABadPassword)
{
    // An entry encrypted with "right", and a wrong password that the one-byte
    // check of its (fixed) encryption header lets through, whose garbage does
    // not inflate.
    const QByteArray plain = RandomWords(5000, 7);
    const uint32_t crc = Crc32Of(plain);
    QByteArray header("\x11\x22\x33\x44\x55\x66\x77\x88\x99\xAA", 10);
    header.append(static_cast<char>((crc >> 16) & 0xFF));
    header.append(static_cast<char>(crc >> 24));
    QByteArray data = header + RawDeflate(plain);
    TZipKeys keys;
    keys.InitKeys("right");
    keys.EncryptBuffer(reinterpret_cast<uint8_t*>(data.data()), static_cast<size_t>(data.size()));
    QByteArray wrong;
    for (int i = 0; i < 100000 && wrong.isEmpty(); ++i) {
        const QByteArray candidate = "wrong" + QByteArray::number(i);
        QByteArray copy = data;
        keys.InitKeys(candidate);
        keys.DecryptBuffer(reinterpret_cast<uint8_t*>(copy.data()), static_cast<size_t>(copy.size()));
        if (static_cast<uint8_t>(copy[11]) != (crc >> 24))
            continue;
        z_stream zs {};
        ASSERT_EQ(inflateInit2(&zs, -15), Z_OK);
        QByteArray out(static_cast<qsizetype>(plain.size()) * 4, '\0');
        zs.next_in = reinterpret_cast<Bytef*>(copy.data() + 12);
        zs.avail_in = static_cast<uInt>(copy.size() - 12);
        zs.next_out = reinterpret_cast<Bytef*>(out.data());
        zs.avail_out = static_cast<uInt>(out.size());
        const int r = inflate(&zs, Z_FINISH);
        inflateEnd(&zs);
        if (r != Z_STREAM_END)
            wrong = candidate;
    }
    ASSERT_FALSE(wrong.isEmpty());
    TRawEntry secret = StoredEntry("secret.txt", plain);
    secret.Method = 8;
    secret.Flags = 0x0001;
    secret.Data = data;
    const QString zip = Root + QStringLiteral("/secret.zip");
    WriteAll(zip, MakeRawZip({secret, StoredEntry("plain.txt", "plain")}));

    // The entry is refused as a bad password, leaves no file, and the run
    // goes on with the next entry.
    const QString dest = Root + QStringLiteral("/secret");
    std::vector<std::pair<TSkipReason, QString>> skipped;
    int n = -1;
    EXPECT_NO_THROW(n = ExtractAll(zip, dest, [&](TArcUnZip& z) {
                        z.SetPassword(QString::fromLatin1(wrong));
                        z.OnSkippingFile = [&](TArcUnZip*, TSkipReason r, const QString& name, int, bool&) {
                            skipped.emplace_back(r, QFileInfo(name).fileName());
                        };
                    }));
    EXPECT_EQ(n, 1);
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_EQ(skipped[0].first, srBadPassword);
    EXPECT_EQ(skipped[0].second, QStringLiteral("secret.txt"));
    EXPECT_EQ(ListTree(dest).join(QLatin1Char(' ')).toStdString(), "plain.txt");

    // Asked again after the failure, the right password extracts the entry.
    std::vector<QString> asked;
    const QString again = Root + QStringLiteral("/again");
    EXPECT_EQ(ExtractAll(zip, again, [&](TArcUnZip& z) {
                  z.SetPassword(QString::fromLatin1(wrong));
                  z.OnBadPassword = [&](TArcUnZip*, int, QString& p) {
                      asked.push_back(p);
                      p = QStringLiteral("right");
                  };
              }),
              2);
    EXPECT_EQ(asked, std::vector<QString> {QString::fromLatin1(wrong)});
    EXPECT_EQ(ReadAll(again + QStringLiteral("/secret.txt")), plain);
}

TEST_F(ZipArchive, Zip64WithManyEntries)
{
    if (!HaveTool(QStringLiteral("python3")))
        GTEST_SKIP() << "python3 missing";
    // A large entry (over 4 GB) is not made here: python writes its data in
    // full, which costs minutes and gigabytes; the Zip64 size fields are
    // covered by the record round trip of the unit tests.
    ASSERT_EQ(RunPython(QStringLiteral("import zipfile\n"
                                       "with zipfile.ZipFile('many.zip','w') as z:\n"
                                       "  for i in range(70000): z.writestr('d/f%05d.txt' % i, 'x%d' % i)\n"),
                        Root),
              0);
    TArcUnZip z;
    z.SetZipName(Root + QStringLiteral("/many.zip"));
    z.ReadZip();
    EXPECT_EQ(z.Count(), 70000);
    EXPECT_EQ(z.EndCentral().GetTotalEntries(), 70000u);
    z.SetDestDir(Root + QStringLiteral("/many"));
    z.FilesList() << QStringLiteral("d/f69999.txt") << QStringLiteral("d/f00007.txt");
    EXPECT_EQ(z.UnZip(), 2);
    EXPECT_EQ(ReadAll(Root + QStringLiteral("/many/f69999.txt")), "x69999");
    EXPECT_EQ(ReadAll(Root + QStringLiteral("/many/f00007.txt")), "x7");
}

TEST_F(ZipArchive, SplitArchivesOfZipAndOurOwn)
{
    if (!HaveTool(QStringLiteral("zip")))
        GTEST_SKIP() << "zip missing";
    // zip -s names its parts B.z01, B.z02 ... B.zip.
    ASSERT_EQ(RunTool(QStringLiteral("zip"), {QStringLiteral("-r"), QStringLiteral("-s"), QStringLiteral("64k"), QStringLiteral("../split.zip"), QStringLiteral(".")}, Src), 0);
    ASSERT_TRUE(QFileInfo::exists(Root + QStringLiteral("/split.z01")));
    auto infoZipNames = [](TArcUnZip* z, QString& name, int part, TSplitPartType type) {
        name = z->ZipNameNoExtension() + (type == spLast ? QStringLiteral(".zip") : QStringLiteral(".z%1").arg(part, 2, 10, QLatin1Char('0')));
    };
    ExtractAll(Root + QStringLiteral("/split.zip"), Root + QStringLiteral("/split"), [&](TArcUnZip& z) { z.OnFileNameForSplitPart = infoZipNames; });
    ExpectSameFiles(Root + QStringLiteral("/split"), Files);

    // Our own split archive, read back by us and joined by zip.
    TArcZip w;
    w.SetZipName(Root + QStringLiteral("/own.zip"));
    w.MultiZipInfo().SetBlockSize(40000);
    w.SetMultiMode(mmBlocks);
    w.SetRootDir(Src);
    w.SetRelativePaths(true);
    w.FilesList() << Src + QStringLiteral("/*");
    const int zipped = w.Zip();
    EXPECT_EQ(zipped, 5);
    EXPECT_TRUE(QFileInfo::exists(Root + QStringLiteral("/own.zip.z01")));
    EXPECT_TRUE(QFileInfo::exists(Root + QStringLiteral("/own.zip")));
    EXPECT_EQ(ExtractAll(Root + QStringLiteral("/own.zip"), Root + QStringLiteral("/own")), 5);
    ExpectSameFiles(Root + QStringLiteral("/own"), Files);

    if (HaveTool(QStringLiteral("unzip"))) {
        const QDir root(Root);
        for (const QString& part : root.entryList({QStringLiteral("own.zip.z*")}))
            QFile::rename(Root + QLatin1Char('/') + part, Root + QStringLiteral("/own.") + part.mid(8));
        QByteArray out;
        ASSERT_EQ(RunTool(QStringLiteral("zip"), {QStringLiteral("-s"), QStringLiteral("0"), QStringLiteral("own.zip"), QStringLiteral("--out"), QStringLiteral("joined.zip")}, Root, &out), 0) << out.toStdString();
        EXPECT_EQ(RunTool(QStringLiteral("unzip"), {QStringLiteral("-tq"), QStringLiteral("joined.zip")}, Root, &out), 0) << out.toStdString();
    }
}

TEST_F(ZipArchive, OwnArchivesPassTheToolsTests)
{
    if (!HaveTool(QStringLiteral("unzip")) || !HaveTool(QStringLiteral("python3")))
        GTEST_SKIP() << "unzip or python3 missing";
    struct TCase {
        int Level;
        const char* Password;
    };
    for (const TCase c : {TCase {0, ""}, TCase {1, ""}, TCase {6, ""}, TCase {9, ""}, TCase {6, "pw"}, TCase {0, "pw"}}) {
        const QString name = QStringLiteral("own%1%2.zip").arg(c.Level).arg(QString::fromLatin1(c.Password));
        SCOPED_TRACE(name.toStdString());
        TArcZip w;
        w.SetZipName(Root + QLatin1Char('/') + name);
        w.SetPackLevel(c.Level);
        w.SetPassword(QString::fromLatin1(c.Password));
        w.SetRootDir(Src);
        w.SetRelativePaths(true);
        w.SetAddDirEntriesOnRecurse(true);
        w.FilesList() << Src + QStringLiteral("/*.*");
        EXPECT_EQ(w.Zip(), 8);  // five files and three folders
        QByteArray out;
        QStringList args {QStringLiteral("-t")};
        if (*c.Password)
            args << QStringLiteral("-P") << QString::fromLatin1(c.Password);
        EXPECT_EQ(RunTool(QStringLiteral("unzip"), args << name, Root, &out), 0) << out.toStdString();
        const QString dest = Root + QStringLiteral("/py-") + name;
        const QString script = QStringLiteral("import zipfile,sys\n"
                                              "z=zipfile.ZipFile(sys.argv[1])\n"
                                              "assert z.testzip(%1) is None\n"
                                              "z.extractall(sys.argv[2]%2)\n")
                                   .arg(*c.Password ? QStringLiteral("") : QStringLiteral(""),
                                        *c.Password ? QStringLiteral(",pwd=b'%1'").arg(QString::fromLatin1(c.Password)) : QString());
        if (*c.Password) {
            EXPECT_EQ(RunTool(QStringLiteral("python3"), {QStringLiteral("-c"), QStringLiteral("import zipfile,sys\nz=zipfile.ZipFile(sys.argv[1])\nz.setpassword(b'pw')\nassert z.testzip() is None\nz.extractall(sys.argv[2])\n"), name, dest}, Root, &out), 0) << out.toStdString();
        } else {
            EXPECT_EQ(RunTool(QStringLiteral("python3"), {QStringLiteral("-m"), QStringLiteral("zipfile"), QStringLiteral("-t"), name}, Root, &out), 0) << out.toStdString();
            EXPECT_EQ(RunTool(QStringLiteral("python3"), {QStringLiteral("-c"), script, name, dest}, Root, &out), 0) << out.toStdString();
        }
        ExpectSameFiles(dest, Files);
        EXPECT_TRUE(QFileInfo(dest + QStringLiteral("/emptydir")).isDir());
    }
}

TEST_F(ZipArchive, UpdateKeepsReplacesAddsAndNeverLosesTheOldArchive)
{
    const QString zip = Root + QStringLiteral("/upd.zip");
    {
        TArcZip w;
        w.SetZipName(zip);
        w.FilesList() << Src + QStringLiteral("/a.txt") << Src + QStringLiteral("/sub/b.bin");
        ASSERT_EQ(w.Zip(), 2);
    }
    // a.txt changes (newer), c.txt is new, b.bin stays.
    const QByteArray newA = RandomWords(3000, 99);
    WriteAll(Src + QStringLiteral("/a.txt"), newA);
    auto setTime = [](const QString& path, int seconds) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(seconds), QFileDevice::FileModificationTime));
    };
    setTime(Src + QStringLiteral("/a.txt"), 60);
    setTime(Src + QStringLiteral("/sub/b.bin"), -3600);
    const QString tempDir = Root + QStringLiteral("/tmp");
    QDir().mkpath(tempDir);
    // The updated archive keeps the mode of the one it replaces.
    ASSERT_EQ(::chmod(QFile::encodeName(zip).constData(), 0640), 0);
    {
        TArcZip w;
        w.SetZipName(zip);
        w.SetTempPath(tempDir);
        std::vector<TUpdateAction> actions;
        w.OnUpdate = [&](TArcZip*, TUpdateAction a, int) { actions.push_back(a); };
        w.FilesList() << Src + QStringLiteral("/a.txt") << Src + QStringLiteral("/sub/b.bin") << Src + QStringLiteral("/sub/deep/c.txt");
        EXPECT_EQ(w.Zip(), 2);  // a.txt replaced, c.txt added
        EXPECT_EQ(actions, (std::vector<TUpdateAction> {uaReplacing, uaKeeping}));
        EXPECT_EQ(w.Count(), 3);
    }
    EXPECT_EQ(FileMode(zip), 0640u);
    const QString dest = Root + QStringLiteral("/upd");
    EXPECT_EQ(ExtractAll(zip, dest), 3);
    EXPECT_EQ(ReadAll(dest + QStringLiteral("/a.txt")), newA);
    EXPECT_EQ(ReadAll(dest + QStringLiteral("/b.bin")), Files[QStringLiteral("sub/b.bin")]);
    EXPECT_EQ(ReadAll(dest + QStringLiteral("/c.txt")), Files[QStringLiteral("sub/deep/c.txt")]);
    if (HaveTool(QStringLiteral("unzip"))) {
        EXPECT_EQ(RunTool(QStringLiteral("unzip"), {QStringLiteral("-tq"), zip}), 0);
    }

    // A run that fails half-way leaves the old archive exactly as it was.
    const QByteArray before = ReadAll(zip);
    {
        TArcZip w;
        w.SetZipName(zip);
        w.SetTempPath(tempDir);
        w.SetZipAction(zaReplace);
        int n = 0;
        w.OnEndZip = [&](TArcZip*, const QString&, int64_t, int64_t, int64_t) {
            if (++n == 1)
                throw ENotEnoughRoom(QStringLiteral("Not enough room to write archive"));
        };
        w.FilesList() << Src + QStringLiteral("/empty.txt") << Src + QStringLiteral("/a.txt");
        EXPECT_THROW(w.Zip(), ENotEnoughRoom);
        EXPECT_TRUE(w.FilesList().isEmpty());
    }
    EXPECT_EQ(ReadAll(zip), before);
    EXPECT_TRUE(ListTree(tempDir).isEmpty());
}

TEST_F(ZipArchive, CoursewarePackageRoutines)
{
    // Zipping one file as the package routine does, then unzipping it flat
    // into a folder where the file already exists.
    const QString pkg = Root + QStringLiteral("/lesson.pibo.zip");
    WriteAll(Src + QStringLiteral("/lesson.pibo"), Files[QStringLiteral("a.txt")]);
    {
        TArcZip w;
        w.SetZipName(pkg);
        w.SetRecreateDirs(false);
        w.SetStorePaths(false);
        w.FilesList() << Src + QStringLiteral("/lesson.pibo");
        w.SetRecurse(true);
        EXPECT_EQ(w.Zip(), 1);
    }
    const QString temp = Root + QStringLiteral("/temp");
    WriteAll(temp + QStringLiteral("/lesson.pibo"), "old contents");
    for (int round = 0; round < 2; ++round) {
        TArcUnZip u;
        u.SetZipName(pkg);
        u.ReadZip();
        u.FilesList() << QStringLiteral("*.*");
        u.SetDoAll(false);
        u.SetDestDir(temp);
        u.SetRecreateDirs(false);
        u.SetRetainAttributes(true);
        EXPECT_EQ(u.UnZip(), 1);
        EXPECT_EQ(ReadAll(temp + QStringLiteral("/lesson.pibo")), Files[QStringLiteral("a.txt")]);
    }
    // A missing archive raises from ReadZip.
    TArcUnZip missing;
    missing.SetZipName(Root + QStringLiteral("/none.zip"));
    EXPECT_THROW(missing.ReadZip(), std::exception);
}

TEST_F(ZipArchive, CancelledExtractionIsNoSuccess)
{
    const QString zip = Root + QStringLiteral("/big.zip");
    WriteAll(zip, MakeRawZip({DeflatedEntry("big.txt", RandomWords(3'000'000, 5))}));
    const QString dest = Root + QStringLiteral("/cancel");
    int completed = -1;
    EXPECT_THROW(ExtractAll(zip, dest,
                            [&](TArcUnZip& z) {
                                z.OnFilePercentDone = [](TArcUnZip* s, int p) {
                                    if (p > 30)
                                        s->Cancel();
                                };
                                z.OnUnZipComplete = [&](TArcUnZip*, int n) { completed = n; };
                            }),
                 EUserCanceled);
    EXPECT_EQ(completed, 0);
    EXPECT_TRUE(ListTree(dest).isEmpty());
}

TEST_F(ZipArchive, NamesOutsideTheAnsiCodePageKeepTheirCharacters)
{
    // Names are written as UTF-8, so characters that the ANSI code page
    // lacks (Hangul, an emoji) are stored as they are, and an update finds
    // the entry again instead of adding the file a second time.
    const QString name = QStringLiteral("한국어 \U0001F600.txt");
    WriteAll(Src + QLatin1Char('/') + name, "first");
    const QString zip = Root + QStringLiteral("/wide.zip");
    for (const QByteArray& contents : {QByteArray("first"), QByteArray("second version")}) {
        WriteAll(Src + QLatin1Char('/') + name, contents);
        QFile f(Src + QLatin1Char('/') + name);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.setFileTime(QDateTime::currentDateTime().addSecs(contents.size() * 60), QFileDevice::FileModificationTime);
        f.close();
        TArcZip w;
        w.SetZipName(zip);
        w.FilesList() << Src + QLatin1Char('/') + name;
        EXPECT_EQ(w.Zip(), 1);
        ASSERT_EQ(w.Count(), 1);
        EXPECT_EQ(w.EntryFileName(0), name);
    }
    const QString dest = Root + QStringLiteral("/wide");
    EXPECT_EQ(ExtractAll(zip, dest), 1);
    EXPECT_EQ(ReadAll(dest + QLatin1Char('/') + name), "second version");
}

TEST_F(ZipArchive, ConfigurationFileHoldsTheDirectoryAndEndRecords)
{
    TArcZip w;
    w.SetZipName(Root + QStringLiteral("/cfg.zip"));
    w.MultiZipInfo().SetBlockSize(40000);
    w.MultiZipInfo().SetSaveZipInfoOnFirstDisk(true);
    w.SetMultiMode(mmBlocks);
    w.SetRootDir(Src);
    w.SetRelativePaths(true);
    w.FilesList() << Src + QStringLiteral("/*");
    EXPECT_EQ(w.Zip(), 5);
    // The reservation for the directory stays on the component.
    EXPECT_GT(w.MultiZipInfo().SaveOnFirstDisk(), 5 * 46 + 22 + 2048);
    const QString cfg = Root + QStringLiteral("/cfg.zfc");
    ASSERT_TRUE(QFileInfo::exists(cfg));

    // The file is the central directory followed by the archive's own end records.
    TLFNFileStream archive(Root + QStringLiteral("/cfg.zip"), 8192, false, fmOpenRead);
    TLFNFileStream config(cfg, 8192, false, fmOpenRead);
    TEndCentral a;
    TEndCentral c;
    ASSERT_TRUE(a.ReadEndRecords(archive));
    ASSERT_TRUE(c.ReadEndRecords(config));
    EXPECT_EQ(c.GetThisDisk(), a.GetThisDisk());
    EXPECT_GT(c.GetThisDisk(), 0u);
    EXPECT_EQ(c.GetStartCentralDisk(), a.GetStartCentralDisk());
    EXPECT_EQ(c.GetTotalEntries(), 5u);
    EXPECT_EQ(c.GetCentralSize(), a.GetCentralSize());
    EXPECT_EQ(c.GetCentralOffset(), a.GetCentralOffset());
    EXPECT_EQ(c.EndRecordOffset(), static_cast<int64_t>(c.GetCentralSize()));
    config.Seek(0, soFromBeginning);
    TStream* s = &config;
    for (int i = 0; i < 5; ++i) {
        TZipHeaderInfo h;
        ASSERT_TRUE(h.ReadCentralRecord(s, {}));
        s->Seek(h.Cextra_field_length + h.file_comment_length, soFromCurrent);
    }
    EXPECT_EQ(config.Position(), c.EndRecordOffset());

    // Without the end record in the last part, the directory comes from the file.
    {
        QFile last(Root + QStringLiteral("/cfg.zip"));
        ASSERT_TRUE(last.resize(a.EndRecordOffset()));
    }
    EXPECT_EQ(ExtractAll(Root + QStringLiteral("/cfg.zip"), Root + QStringLiteral("/cfg")), 5);
    ExpectSameFiles(Root + QStringLiteral("/cfg"), Files);
}

}  // namespace
