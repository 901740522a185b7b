// Hostile and damaged archives end in a clean error of the library and
// write nothing outside the destination folder, and nothing half-made.

#include "ArcUnZip.h"

#include "ZipTestSupport.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>

#include <gtest/gtest.h>

#include <functional>

namespace {
QByteArray Patch32(QByteArray zip, qsizetype at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        zip[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return zip;
}

// Offset of the n-th central record.
qsizetype CentralAt(const QByteArray& zip, int n = 0)
{
    qsizetype at = -1;
    for (int i = 0; i <= n; ++i)
        at = zip.indexOf(QByteArray("PK\x01\x02", 4), at + 1);
    return at;
}

struct THostileCase {
    const char* Name;
    std::function<QByteArray()> Make;
    bool RecreateDirs;
    TIncompleteZipMode Mode;
    // Files that may be extracted (relative to the destination); anything
    // else found there fails the case.
    QStringList Allowed;
};
}  // namespace

TEST(ZipHostile, EveryCaseEndsCleanInsideTheDestination)
{
    const QByteArray good = RandomWords(100000, 11);
    const std::vector<THostileCase> cases = {
        {"dot-dot flattened", [] { return MakeRawZip({StoredEntry("../x.txt", "evil")}); }, false, izAssumeMulti, {"x.txt"}},
        {"dot-dot refused", [] { return MakeRawZip({StoredEntry("../x.txt", "evil"), StoredEntry("a/../../y.txt", "evil")}); }, true, izAssumeMulti, {}},
        {"backslash dot-dot", [] { return MakeRawZip({StoredEntry("..\\..\\z.txt", "evil")}); }, true, izAssumeMulti, {}},
        {"absolute path", [] { return MakeRawZip({StoredEntry("/tmp/abs.txt", "evil")}); }, true, izAssumeMulti, {"tmp/", "tmp/abs.txt"}},
        {"drive prefix", [] { return MakeRawZip({StoredEntry("C:\\win\\x.txt", "evil")}); }, true, izAssumeMulti, {"win/", "win/x.txt"}},
        {"dot-dot file name", [] { return MakeRawZip({StoredEntry("a/..", "evil")}); }, false, izAssumeMulti, {}},
        {"huge declared size",
         [&] {
             TRawEntry e = DeflatedEntry("big.txt", good);
             e.UncompressedSize = 0xFFFFFFF0u;
             return MakeRawZip({e});
         },
         false, izAssumeMulti, {}},
        {"bigger than declared",
         [&] {
             TRawEntry e = DeflatedEntry("bomb.txt", good);
             e.UncompressedSize = 1000;
             return MakeRawZip({e});
         },
         false, izAssumeMulti, {}},
        {"compressed size past the end",
         [&] {
             TRawEntry e = StoredEntry("long.txt", good);
             e.CompressedSize = 0x7FFFFFFF;
             return MakeRawZip({e});
         },
         false, izAssumeMulti, {}},
        {"garbage deflate data",
         [&] {
             TRawEntry e = StoredEntry("bad.txt", good);
             e.Method = 8;
             e.Data = RandomBytes(5000, 3);
             return MakeRawZip({e});
         },
         false, izAssumeMulti, {}},
        {"wrong crc",
         [&] {
             TRawEntry e = DeflatedEntry("crc.txt", good);
             e.Crc ^= 1;
             return MakeRawZip({e});
         },
         false, izAssumeMulti, {}},
        {"unknown method",
         [&] {
             TRawEntry e = StoredEntry("m.txt", good);
             e.Method = 99;
             return MakeRawZip({e});
         },
         false, izAssumeMulti, {}},
        {"truncated, assumed multi", [&] { return MakeRawZip({DeflatedEntry("t.txt", good)}).left(20000); }, false, izAssumeMulti, {}},
        {"truncated, rebuilt", [&] { return MakeRawZip({StoredEntry("ok.txt", "fine"), DeflatedEntry("t.txt", good)}).left(20000); }, false, izAssumeBad, {"ok.txt"}},
        {"damaged central directory",
         [&] {
             QByteArray z = MakeRawZip({StoredEntry("one.txt", "1"), StoredEntry("two.txt", "2")});
             const qsizetype c = CentralAt(z, 1);
             z.replace(c, 10, RandomBytes(10, 9));
             return z;
         },
         false, izAssumeMulti, {"one.txt", "two.txt"}},
        {"central offset past the end",
         [&] {
             QByteArray z = MakeRawZip({StoredEntry("one.txt", "1")});
             return Patch32(z, z.size() - 6, 0x7FFFFFF0);
         },
         false, izAssumeMulti, {"one.txt"}},
        {"too many entries claimed",
         [&] {
             QByteArray z = MakeRawZip({StoredEntry("one.txt", "1")});
             z[z.size() - 12] = '\xFF';
             z[z.size() - 11] = '\xFF';
             return z;
         },
         false, izAssumeMulti, {"one.txt"}},
        {"local offset past the end",
         [&] {
             QByteArray z = MakeRawZip({StoredEntry("one.txt", "1")});
             return Patch32(z, CentralAt(z) + 42, 0x7FFFFFF0);
         },
         false, izAssumeMulti, {}},
        {"not a zip", [] { return RandomBytes(5000, 4); }, false, izAssumeBad, {}},
    };
    for (const THostileCase& c : cases) {
        SCOPED_TRACE(c.Name);
        QTemporaryDir sandbox;
        const QString zip = sandbox.path() + QStringLiteral("/in.zip");
        WriteAll(zip, c.Make());
        const QString dest = sandbox.path() + QStringLiteral("/a/b/dest");
        QDir().mkpath(dest);
        TArcUnZip z;
        z.SetZipName(zip);
        z.SetDestDir(dest);
        z.SetRecreateDirs(c.RecreateDirs);
        z.SetDoAll(true);
        z.SetIncompleteZipMode(c.Mode);
        try {
            z.UnZip();
        } catch (const EArcZipException&) {
        } catch (const EZLibError&) {
        } catch (const kpzip::Exception&) {
        }
        // Nothing outside the destination, nothing unexpected inside it.
        QStringList outside = ListTree(sandbox.path());
        outside.removeAll(QStringLiteral("in.zip"));
        outside.removeAll(QStringLiteral("a/"));
        outside.removeAll(QStringLiteral("a/b/"));
        outside.removeAll(QStringLiteral("a/b/dest/"));
        for (const QString& f : ListTree(dest))
            outside.removeAll(QStringLiteral("a/b/dest/") + f);
        EXPECT_TRUE(outside.isEmpty()) << outside.join(QLatin1Char(' ')).toStdString();
        for (const QString& f : ListTree(dest))
            EXPECT_TRUE(c.Allowed.contains(f)) << f.toStdString();
        EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/tmp/abs.txt")) && ReadAll(QStringLiteral("/tmp/abs.txt")) == "evil");
    }
}

TEST(ZipHostile, DamagedEntryLeavesAnExistingFileAlone)
{
    // A bad entry never replaces a good file already in the destination.
    QTemporaryDir sandbox;
    const QString zip = sandbox.path() + QStringLiteral("/in.zip");
    TRawEntry e = DeflatedEntry("keep.txt", RandomWords(5000, 2));
    e.Crc ^= 0x100;
    WriteAll(zip, MakeRawZip({e}));
    WriteAll(sandbox.path() + QStringLiteral("/dest/keep.txt"), "precious");
    TArcUnZip z;
    z.SetZipName(zip);
    z.SetDestDir(sandbox.path() + QStringLiteral("/dest"));
    z.SetDoAll(true);
    z.SetOverwriteMode(TUZOverwriteMode::Always);
    uint32_t reported = 0;
    z.OnBadCRC = [&](TArcUnZip*, uint32_t calc, uint32_t, int) { reported = calc; };
    EXPECT_EQ(z.UnZip(), 0);
    EXPECT_EQ(reported, e.Crc ^ 0x100);
    EXPECT_EQ(ReadAll(sandbox.path() + QStringLiteral("/dest/keep.txt")), "precious");
    EXPECT_EQ(ListTree(sandbox.path() + QStringLiteral("/dest")), QStringList {QStringLiteral("keep.txt")});
}
