// Building blocks of the zip library: object lists, buffered streams,
// wildcard matching, dates, the cipher, records and entry ordering.

#include "ArcUnZip.h"
#include "ArcZip.h"
#include "ZipCrypt.h"
#include "ZipRecords.h"
#include "kpCntn.h"
#include "kpMatch.h"
#include "kpSStrm.h"

#include "ZipTestSupport.h"

#include <QtCore/QDateTime>
#include <QtCore/QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {
struct TIntItem : kpzip::TPersistent {
    explicit TIntItem(int v) : Value(v) {}
    int Value;
};
struct TIntList : TSortedObjectList {
    using TSortedObjectList::TSortedObjectList;
    int Compare(const void* a, const void* b) const override
    {
        return static_cast<const TIntItem*>(a)->Value - static_cast<const TIntItem*>(b)->Value;
    }
};
}  // namespace

TEST(ZipObjectList, GrowsSortsAndWalks)
{
    // Small lists grow by 4, 8 and 16; larger ones by half their capacity,
    // so that 100,000 items move the array a few dozen times, not thousands.
    TObjectList list;
    std::vector<int> capacities {list.Capacity()};
    for (int i = 0; i < 100000; ++i) {
        list.Add(new TIntItem(i));
        if (capacities.back() != list.Capacity())
            capacities.push_back(list.Capacity());
    }
    EXPECT_EQ(std::vector<int>(capacities.begin(), capacities.begin() + 6), (std::vector<int> {0, 4, 8, 16, 32, 48}));
    for (size_t i = 6; i < capacities.size(); ++i)
        EXPECT_EQ(capacities[i], capacities[i - 1] + capacities[i - 1] / 2);
    EXPECT_LT(capacities.size(), 30u);
    EXPECT_EQ(static_cast<TIntItem*>(list.Get(99999))->Value, 99999);
    list.SetCapacity(list.Count());
    list.Add(new TIntItem(100000));
    EXPECT_EQ(list.Capacity(), 150000);
    EXPECT_EQ(list.Neighbour(list.Last(), true), nullptr);
    EXPECT_EQ(list.Neighbour(nullptr, false), list.Last());
    TIntItem stranger(1);
    EXPECT_THROW(list.Neighbour(&stranger, true), kpzip::EListError);
    EXPECT_THROW(list.Get(100001), kpzip::EListError);

    TIntList sorted(dupIgnore);
    for (int v : {5, 1, 3})
        sorted.Add(new TIntItem(v));
    auto* twin = new TIntItem(3);
    EXPECT_EQ(sorted.Add(twin), 0);
    EXPECT_EQ(sorted.Count(), 3);
    delete twin;  // an ignored item stays the caller's
    EXPECT_EQ(static_cast<TIntItem*>(sorted.Get(0))->Value, 1);
    EXPECT_EQ(static_cast<TIntItem*>(sorted.Get(2))->Value, 5);
    EXPECT_THROW(sorted.Put(0, nullptr), kpzip::EListError);
    TIntList strict(dupError);
    strict.Add(new TIntItem(1));
    TIntItem again(1);
    EXPECT_THROW(strict.Add(&again), kpzip::EListError);
    TMemoryStream ms;
    EXPECT_THROW(list.SaveToStream(ms), kpzip::EClassNotFound);
}

TEST(ZipBufferStream, KeepsOneLogicalPosition)
{
    TMemoryStream inner;
    {
        TS_BufferStream s(&inner, 16);
        s.WriteBuffer("0123456789", 10);
        s.Seek(-4, soFromCurrent);
        char buf[4];
        ASSERT_EQ(s.Read(buf, 4), 4);
        EXPECT_EQ(QByteArray(buf, 4), "6789");
        EXPECT_EQ(s.Seek(-10, soFromEnd), 0);
        EXPECT_EQ(s.Seek(10, soFromEnd), 0);  // the sign is ignored
        EXPECT_THROW(s.Seek(0, 7), kpzip::Exception);
    }
    EXPECT_EQ(inner.Data(), "0123456789");
    {
        // Writing after a partial read writes at the logical position.
        TS_BufferStream s(&inner, 16);
        s.Seek(0, soFromBeginning);
        char two[2];
        s.ReadBuffer(two, 2);
        s.WriteBuffer("ab", 2);
        // Reading after writing gives what follows the written bytes.
        char next;
        s.ReadBuffer(&next, 1);
        EXPECT_EQ(next, '4');
        // Pending bytes past the inner end count in the size.
        s.Seek(0, soFromEnd);
        s.WriteBuffer("XYZ", 3);
        EXPECT_EQ(s.Position(), 13);
        EXPECT_EQ(s.Seek(0, soFromEnd), 13);
        EXPECT_THROW(s.PutBack('x'), kpzip::EStreamError);
    }
    EXPECT_EQ(inner.Data(), "01ab456789XYZ");
    {
        // Bytes still waiting in the buffer can be overwritten in place;
        // bytes already written out cannot.
        TS_BufferStream s(&inner, 16);
        s.Seek(0, soFromEnd);
        s.WriteBuffer("0123", 4);
        EXPECT_TRUE(s.PatchPending(14, "ab", 2));
        EXPECT_FALSE(s.PatchPending(15, "abcd", 4));  // past the pending bytes
        EXPECT_FALSE(s.PatchPending(12, "ab", 2));    // before them
        EXPECT_EQ(s.Position(), 17);
        s.WriteBuffer("!", 1);
        EXPECT_EQ(s.Size(), 18);
    }
    EXPECT_EQ(inner.Data(), "01ab456789XYZ0ab3!");
}

TEST(ZipFileStream, KeepsItsPositionAndSize)
{
    // The stream answers its position itself; moves relative to it and to
    // the end land where the file says.
    QTemporaryDir dir;
    const QString name = dir.path() + QStringLiteral("/f.bin");
    {
        TLFNFileStream s(name, 8, false, fmCreate);
        s.WriteBuffer("0123456789", 10);
        EXPECT_EQ(s.Size(), 10);  // pending bytes included, buffer untouched
        EXPECT_EQ(s.Position(), 10);
        s.WriteBuffer("abc", 3);
        EXPECT_EQ(s.Seek(-5, soFromCurrent), 8);
        char two[2];
        s.ReadBuffer(two, 2);
        EXPECT_EQ(QByteArray(two, 2), "89");
        EXPECT_EQ(s.Seek(-2, soFromEnd), 11);
        s.ReadBuffer(two, 2);
        EXPECT_EQ(QByteArray(two, 2), "bc");
        EXPECT_EQ(s.Size(), 13);
    }
    TFileStream f(name, fmOpenRead);
    EXPECT_EQ(f.Size(), 13);
    EXPECT_EQ(f.Seek(4, soFromCurrent), 4);
    EXPECT_EQ(f.Seek(4, soFromCurrent), 8);
    char rest[8];
    EXPECT_EQ(f.Read(rest, 8), 5);  // a short read at the end
    EXPECT_EQ(QByteArray(rest, 5), "89abc");
    EXPECT_EQ(f.Position(), 13);
    EXPECT_EQ(f.Seek(-3, soFromEnd), 10);
    EXPECT_EQ(f.Read(rest, 8), 3);
}

TEST(ZipMatch, ResultCodes)
{
    struct TCase {
        const char* Pattern;
        const char* Text;
        int Result;
    };
    const TCase cases[] = {
        {"*.*", "lesson.pibo", MATCH_VALID},  {"*.*", "README", MATCH_ABORT},     {"*", "", MATCH_VALID},
        {"*.WAV", "a/b/Lesson.wav", MATCH_VALID}, {"<a-c>?x.txt", "bqx.txt", MATCH_VALID}, {"<a-c>?x.txt", "dqx.txt", MATCH_RANGE},
        {"*<0-9>", "12345", MATCH_VALID},    {"*<0-9>", "12a45", MATCH_ABORT},   {"<ab", "a", MATCH_PATTERN},
        {"<ab", "", MATCH_ABORT},            {"abcd", "abc", MATCH_ABORT},       {"ab", "abc", MATCH_END},
        {"abx", "abc", MATCH_LITERAL},       {"<!a-c>z", "dz", MATCH_VALID},     {"<!a-c>z", "bz", MATCH_RANGE},
        {"a*c", "abbbc", MATCH_VALID},       {"a?c", "ac", MATCH_ABORT},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(Match(QString::fromUtf8(c.Pattern), QString::fromUtf8(c.Text)), c.Result) << c.Pattern << " / " << c.Text;
    EXPECT_TRUE(HasWildcards("a|b"));
    EXPECT_FALSE(HasWildcards("plain/name.txt"));
}

TEST(ZipRecords, DatesAreRepaired)
{
    // 0 reads back as 1980-01-01 00:00:00.
    EXPECT_EQ(RepairDosDateTime(0), (1u << 21) | (1u << 16));
    const uint32_t good = 0x5A2184A5;
    EXPECT_EQ(RepairDosDateTime(good), good);
    // Hour 31, minute 63, month 15, year 2107 are clamped.
    const uint32_t bad = 0xFFEFFFFF;
    const uint32_t fixed = RepairDosDateTime(bad);
    EXPECT_EQ((fixed >> 11) & 0x1F, 23u);
    EXPECT_EQ((fixed >> 5) & 0x3F, 59u);
    EXPECT_EQ((fixed >> 21) & 0x0F, 12u);
    EXPECT_EQ(((fixed >> 25) & 0x7F) + 1980, 2099u);
}

TEST(ZipRecords, DosTimesConvertLikeTheCalendar)
{
    // Every field of a DOS value survives the trip to seconds and back, and
    // the seconds are those of the same wall-clock time in the local zone.
    const uint32_t lastSecondOfMarch2010 = (30u << 25) | (3u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;
    const uint32_t lastDay2099 = (119u << 25) | (12u << 21) | (31u << 16);
    const uint32_t leapDay2024 = (44u << 25) | (2u << 21) | (29u << 16) | (12u << 11);
    for (const uint32_t v : {0x00210000u, 0x5A2184A5u, 0x58A1BF7Du, lastSecondOfMarch2010, lastDay2099, leapDay2024}) {
        SCOPED_TRACE(v);
        const int64_t t = DosDateTimeToUnix(v);
        EXPECT_EQ(UnixToDosDateTime(t), v);
        const QDateTime wall(QDate(static_cast<int>((v >> 25) + 1980), static_cast<int>((v >> 21) & 0x0F), static_cast<int>((v >> 16) & 0x1F)),
                             QTime(static_cast<int>((v >> 11) & 0x1F), static_cast<int>((v >> 5) & 0x3F), static_cast<int>((v & 0x1F) * 2)));
        EXPECT_EQ(t, wall.toSecsSinceEpoch());
    }
    // A day the month does not have counts as its last day.
    EXPECT_EQ(DosDateTimeToUnix((41u << 25) | (4u << 21) | (31u << 16)), DosDateTimeToUnix((41u << 25) | (4u << 21) | (30u << 16)));
}

TEST(ZipRecords, Zip64RoundTripAndEndRecordSearch)
{
    TMemoryStream ms;
    TZipHeaderInfo h;
    h.SetFileName(QStringLiteral("中文.txt"));
    h.SetDirectory(QStringLiteral("dir"));
    h.SetUncompressedSize(5'000'000'000ull);
    h.SetCompressedSize(100);
    h.WriteLocalHeader(ms);
    EXPECT_EQ(h.version_needed_to_extract, 45);
    EXPECT_TRUE(h.general_purpose_bit_flag & gpUtf8Names);
    h.SetRelativeOffset(6'000'000'000ull);
    h.WriteCentralRecord(ms, nullptr);

    ms.SetPosition(0);
    TZipHeaderInfo local;
    ASSERT_TRUE(local.ReadLocalHeader(ms));
    EXPECT_EQ(local.FullName(), QStringLiteral("dir/中文.txt"));
    EXPECT_EQ(local.GetUncompressedSize(), 5'000'000'000ull);
    ms.Seek(local.LocalHeaderSize(), soFromBeginning);
    TZipHeaderInfo central;
    TStream* s = &ms;
    ASSERT_TRUE(central.ReadCentralRecord(s, nullptr));
    EXPECT_EQ(central.GetUncompressedSize(), 5'000'000'000ull);
    EXPECT_EQ(central.GetCompressedSize(), 100u);
    EXPECT_EQ(central.GetRelativeOffset(), 6'000'000'000ull);

    // Small sizes: version 20 and no Zip64 block.
    TMemoryStream small;
    TZipHeaderInfo plain;
    plain.SetFileName(QStringLiteral("a.txt"));
    plain.SetUncompressedSize(10);
    plain.WriteLocalHeader(small);
    EXPECT_EQ(plain.version_needed_to_extract, 20);
    EXPECT_EQ(small.Size(), 30 + 5);

    // End records: 0 bytes is an empty archive, 1 to 21 bytes none; many
    // entries bring the Zip64 end record and locator.
    TEndCentral end;
    TMemoryStream empty;
    EXPECT_TRUE(end.ReadEndRecords(empty));
    TMemoryStream tiny(QByteArray(21, 'x'));
    EXPECT_FALSE(end.ReadEndRecords(tiny));
    TMemoryStream many(QByteArray(100, '\0'));
    many.Seek(0, soFromEnd);
    TEndCentral big;
    big.SetTotalEntries(70000);
    big.SetEntriesThisDisk(70000);
    big.SetCentralOffset(0);
    big.WriteEndRecords(many);
    TEndCentral back;
    ASSERT_TRUE(back.ReadEndRecords(many));
    EXPECT_EQ(back.GetTotalEntries(), 70000u);
    ASSERT_NE(back.Locator(), nullptr);
}

TEST(ZipCrypt, RoundTripAndHeaderCheck)
{
    const QByteArray plain = RandomWords(1000, 7);
    QByteArray data = plain;
    TZipKeys enc;
    enc.InitKeys("secret");
    enc.EncryptBuffer(reinterpret_cast<uint8_t*>(data.data()), static_cast<size_t>(data.size()));
    EXPECT_NE(data, plain);
    TZipKeys dec;
    dec.InitKeys("secret");
    dec.DecryptBuffer(reinterpret_cast<uint8_t*>(data.data()), static_cast<size_t>(data.size()));
    EXPECT_EQ(data, plain);
}

TEST(ZipSort, SizesCompareInSixtyFourBits)
{
    // 5 GB and 1 GB differ in their high words only by the low 32 bits.
    TSortedZip view(dupAccept, TZipSortMode::ByUnCompressedSize, true);
    for (uint64_t size : {1'000'000'000ull, 5'000'000'000ull, 4'300'000'000ull}) {
        auto* h = new TZipHeaderInfo();
        h->SetUncompressedSize(size);
        view.Add(h);
    }
    EXPECT_EQ(view.Entry(0)->GetUncompressedSize(), 5'000'000'000ull);
    EXPECT_EQ(view.Entry(1)->GetUncompressedSize(), 4'300'000'000ull);
    EXPECT_EQ(view.Entry(2)->GetUncompressedSize(), 1'000'000'000ull);
}

TEST(ZipParts, NamesKeepEveryDotOfTheArchiveName)
{
    TArcZip z;
    z.SetZipName(QStringLiteral("/tmp/x/unit.3.lesson.zip"));
    EXPECT_EQ(z.ZipNameNoExtension(), QStringLiteral("/tmp/x/unit.3.lesson"));
    QString name = z.ZipNameNoExtension();
    z.DefaultFileNameForSplitPart(name, 2, spMiddle);
    EXPECT_EQ(name, QStringLiteral("/tmp/x/unit.3.lesson.zip.z02"));
    name = z.ZipNameNoExtension();
    z.DefaultFileNameForSplitPart(name, 3, spLast);
    EXPECT_EQ(name, QStringLiteral("/tmp/x/unit.3.lesson.zip"));
    z.SetBlockMode(bmClassic);
    name = z.ZipNameNoExtension();
    z.DefaultFileNameForSplitPart(name, 3, spLast);
    EXPECT_EQ(name, QStringLiteral("/tmp/x/unit.3.lesson.003"));
}

TEST(ZipProperties, SettersFollowEachOther)
{
    TArcZip z;
    EXPECT_EQ(z.PackLevel(), 6);
    EXPECT_FALSE(z.IncludeHiddenFiles());
    EXPECT_TRUE(z.IncludeReadOnlyFiles());
    z.SetRelativePaths(true);
    EXPECT_TRUE(z.StorePaths());
    EXPECT_TRUE(z.Recurse());
    z.SetStorePaths(false);
    EXPECT_FALSE(z.RelativePaths());
    EXPECT_TRUE(z.Recurse());
    z.SetDestDir(QStringLiteral("/tmp/out/"));
    EXPECT_EQ(z.DestDir(), QStringLiteral("/tmp/out"));
    EXPECT_THROW(z.EntryFileName(0), kpzip::EListError);
}

TEST(ZipRecords, FieldsOfCopiedAndRecoveredEntries)
{
    // An entry copied from another tool's archive (version needed 63) is
    // written as version 20 when it needs no Zip64 block, like its local header.
    TMemoryStream ms;
    TZipHeaderInfo h;
    h.SetFileName(QStringLiteral("a.txt"));
    h.version_needed_to_extract = 63;
    h.WriteLocalHeader(ms);
    h.version_needed_to_extract = 63;
    const int64_t central = ms.Position();
    h.WriteCentralRecord(ms, nullptr);
    const auto* d = reinterpret_cast<const uint8_t*>(ms.Data().constData());
    EXPECT_EQ(GetLE16(d + 4), 20);
    EXPECT_EQ(GetLE16(d + central + 6), 20);

    // A header read from the local record leaves the central-only fields zero.
    ms.Seek(0, soFromBeginning);
    TZipHeaderInfo local;
    ASSERT_TRUE(local.ReadLocalHeader(ms));
    EXPECT_EQ(local.version_made_by, 0);
    EXPECT_EQ(local.internal_file_attributes, 0);
    EXPECT_EQ(local.external_file_attributes, 0u);
    EXPECT_EQ(local.FileName(), QStringLiteral("a.txt"));
}

TEST(ZipRecords, DatesNamingNoRealDay)
{
    // 2021-04-31 names no day: its entry's date is the current time and the
    // date sort counts it as 0 (the oldest).
    EXPECT_FALSE(DosDateTimeConvertible((41u << 25) | (4u << 21) | (31u << 16)));
    EXPECT_FALSE(DosDateTimeConvertible((41u << 25) | (2u << 21) | (29u << 16)));
    EXPECT_TRUE(DosDateTimeConvertible((40u << 25) | (2u << 21) | (29u << 16)));  // 2020 is a leap year
    EXPECT_TRUE(DosDateTimeConvertible(0));

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TRawEntry bad = StoredEntry("bad.txt", "x");
    bad.DosTime = (41u << 25) | (4u << 21) | (31u << 16);
    TRawEntry old = StoredEntry("old.txt", "y");
    old.DosTime = (1u << 25) | (1u << 21) | (1u << 16);  // 1981-01-01
    TRawEntry recent = StoredEntry("new.txt", "z");
    const QString zip = dir.path() + QStringLiteral("/dates.zip");
    WriteAll(zip, MakeRawZip({bad, old, recent}));
    TArcUnZip z;
    z.SetZipName(zip);
    z.ReadZip();
    ASSERT_EQ(z.Count(), 3);
    EXPECT_LE(std::abs(z.EntryDateTime(0).secsTo(QDateTime::currentDateTime())), 5);
    EXPECT_EQ(z.EntryDateTime(1).date(), QDate(1981, 1, 1));
    z.ApplySortMode(TZipSortMode::ByDate);
    EXPECT_EQ(z.EntryFileName(0), QStringLiteral("new.txt"));
    EXPECT_EQ(z.EntryFileName(1), QStringLiteral("old.txt"));
    EXPECT_EQ(z.EntryFileName(2), QStringLiteral("bad.txt"));
}
