// The legacy decoders on hand-built bit streams whose output is known, inside
// an archive and on their own, and on damaged input that must end cleanly.

#include "ArcUnZip.h"
#include "ZipLegacy.h"

#include "ZipTestSupport.h"

#include <QtCore/QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {
class TMemoryIO : public TLegacyIO {
public:
    TMemoryIO(QByteArray in, uint64_t expected) : FIn(std::move(in)), FExpected(expected) {}
    int ReadInputByte() override { return FPos < FIn.size() ? static_cast<uint8_t>(FIn[FPos++]) : -1; }
    void WriteOutput(const uint8_t* data, size_t n) override { Out.append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(n)); }
    uint64_t ExpectedSize() const override { return FExpected; }
    QByteArray Out;

private:
    QByteArray FIn;
    qsizetype FPos = 0;
    uint64_t FExpected;
};

// Shrink: 9-bit codes; "a b 257 c" then a partial clear, then "d 258 257 259".
QByteArray ShrinkFixture()
{
    TBitWriter w;
    for (int code : {97, 98, 257, 99})
        w.Put(static_cast<uint32_t>(code), 9);
    w.Put(256, 9);
    w.Put(2, 9);
    for (int code : {100, 258, 257, 259})
        w.Put(static_cast<uint32_t>(code), 9);
    return w.Finish();
}
const QByteArray ShrinkOutput = "ababcdcdabdc";

// Reduce, factor 1: empty follower sets, literals, DLE 0, and a copy.
QByteArray ReduceFixture()
{
    TBitWriter w;
    for (int i = 0; i < 256; ++i)
        w.Put(0, 6);
    for (char c : QByteArray("abc"))
        w.Put(static_cast<uint8_t>(c), 8);
    w.Put(144, 8);  // DLE
    w.Put(3, 8);    // length 3 + 3, distance high bit 0
    w.Put(2, 8);    // distance 2 + 1
    w.Put(144, 8);
    w.Put(0, 8);  // a literal 144
    return w.Finish();
}
const QByteArray ReduceOutput = QByteArray("abcabcabc") + '\x90';

// Implode: 4 KB window, no literal tree, length and distance trees of 64
// codes of 6 bits; codes are sent with inverted bits, first bit first.
void PutCode(TBitWriter& w, int symbol, int bits)
{
    for (int i = bits - 1; i >= 0; --i)
        w.Put(((symbol >> i) & 1) ^ 1, 1);
}
struct TOp {
    int Literal;  // -1: a copy
    int Distance;
    int Length;
};
QByteArray ExplodeFixture(uint16_t flags, const std::vector<TOp>& ops)
{
    const bool literalTree = flags & 4;
    const int lowBits = (flags & 2) ? 7 : 6;
    TBitWriter w;
    if (literalTree) {
        w.Put(15, 8);
        for (int i = 0; i < 16; ++i)
            w.Put(0xF7, 8);  // 16 codes of 8 bits
    }
    for (int tree = 0; tree < 2; ++tree) {
        w.Put(3, 8);
        for (int i = 0; i < 4; ++i)
            w.Put(0xF5, 8);  // 16 codes of 6 bits
    }
    for (const TOp& op : ops) {
        if (op.Literal >= 0) {
            w.Put(1, 1);
            if (literalTree)
                PutCode(w, op.Literal, 8);
            else
                w.Put(static_cast<uint32_t>(op.Literal), 8);
            continue;
        }
        w.Put(0, 1);
        w.Put(static_cast<uint32_t>((op.Distance - 1) & ((1 << lowBits) - 1)), lowBits);
        PutCode(w, (op.Distance - 1) >> lowBits, 6);
        const int code = op.Length - (literalTree ? 3 : 2);
        PutCode(w, std::min(code, 63), 6);
        if (code >= 63)
            w.Put(static_cast<uint32_t>(code - 63), 8);
    }
    return w.Finish();
}
}  // namespace

TEST(ZipLegacy, DecodersGiveTheKnownOutput)
{
    {
        TMemoryIO io(ShrinkFixture(), static_cast<uint64_t>(ShrinkOutput.size()));
        EXPECT_TRUE(UnShrink(io));
        EXPECT_EQ(io.Out, ShrinkOutput);
    }
    {
        TMemoryIO io(ReduceFixture(), static_cast<uint64_t>(ReduceOutput.size()));
        EXPECT_TRUE(UnReduce(io, 1));
        EXPECT_EQ(io.Out, ReduceOutput);
    }
    struct TExplodeCase {
        uint16_t Flags;
        std::vector<TOp> Ops;
        QByteArray Output;
    };
    const QByteArray abc = "abc";
    const std::vector<TExplodeCase> cases = {
        {0, {{'a', 0, 0}, {'b', 0, 0}, {'c', 0, 0}, {-1, 3, 9}}, "abcabcabcabc"},
        {4, {{'a', 0, 0}, {'b', 0, 0}, {'c', 0, 0}, {-1, 3, 9}}, "abcabcabcabc"},
        {2, {{'x', 0, 0}, {-1, 200, 70}}, QByteArray("x") + QByteArray(70, '\0')},
        {6, {{'a', 0, 0}, {-1, 1, 100}, {-1, 150, 3}}, QByteArray(101, 'a') + QByteArray(3, '\0')},
        {0, {{'x', 0, 0}, {-1, 5, 4}}, QByteArray("x") + QByteArray(4, '\0')},
    };
    for (const TExplodeCase& c : cases) {
        TMemoryIO io(ExplodeFixture(c.Flags, c.Ops), static_cast<uint64_t>(c.Output.size()));
        EXPECT_TRUE(Explode(io, c.Flags)) << c.Flags;
        EXPECT_EQ(io.Out, c.Output) << c.Flags;
    }
}

TEST(ZipLegacy, DamagedStreamsEndCleanly)
{
    // Random and cut input, and hostile codes: every decoder returns, never
    // writes more than declared, and reports the damage.
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        const QByteArray junk = RandomBytes(200 + seed * 37, seed);
        for (int method = 1; method <= 6; ++method) {
            TMemoryIO io(junk, 100000);
            const bool ok = method == 1 ? UnShrink(io) : method == 6 ? Explode(io, static_cast<uint16_t>(seed & 6)) : UnReduce(io, method - 1);
            EXPECT_LE(io.Out.size(), 100000);
            if (method == 6) {
                EXPECT_FALSE(ok);
            }
        }
    }
    // A shrink code that refers to itself through a freed slot.
    TBitWriter w;
    for (int code : {97, 300, 301, 302})
        w.Put(static_cast<uint32_t>(code), 9);
    TMemoryIO loop(w.Finish(), 1000);
    EXPECT_FALSE(UnShrink(loop));
    // Cut fixtures stop early.
    TMemoryIO cut(ShrinkFixture().left(3), static_cast<uint64_t>(ShrinkOutput.size()));
    UnShrink(cut);
    EXPECT_LT(cut.Out.size(), ShrinkOutput.size());
    TMemoryIO over(ExplodeFixture(0, {{'a', 0, 0}}).append(QByteArray(100, '\0')), 3);
    EXPECT_LE(over.Out.size(), 3);
}

TEST(ZipLegacy, LegacyEntriesExtractThroughTheArchive)
{
    QTemporaryDir dir;
    auto entry = [](const char* name, uint16_t method, uint16_t flags, const QByteArray& data, const QByteArray& plain) {
        TRawEntry e = StoredEntry(name, data);
        e.Method = method;
        e.Flags = flags;
        e.Crc = Crc32Of(plain);
        e.UncompressedSize = static_cast<uint64_t>(plain.size());
        return e;
    };
    TRawEntry bad = entry("bad.txt", 1, 0, ShrinkFixture(), ShrinkOutput);
    bad.Crc ^= 1;
    const QString zip = dir.path() + QStringLiteral("/legacy.zip");
    WriteAll(zip, MakeRawZip({entry("shrunk.txt", 1, 0, ShrinkFixture(), ShrinkOutput),
                              entry("reduced.txt", 2, 0, ReduceFixture(), ReduceOutput),
                              entry("imploded.txt", 6, 4, ExplodeFixture(4, {{'a', 0, 0}, {'b', 0, 0}, {'c', 0, 0}, {-1, 3, 9}}), "abcabcabcabc"),
                              bad}));
    TArcUnZip z;
    z.SetZipName(zip);
    z.SetDestDir(dir.path() + QStringLiteral("/out"));
    z.SetDoAll(true);
    int badCrc = 0;
    z.OnBadCRC = [&](TArcUnZip*, uint32_t, uint32_t, int) { ++badCrc; };
    EXPECT_EQ(z.UnZip(), 3);
    EXPECT_EQ(badCrc, 1);
    EXPECT_EQ(ReadAll(dir.path() + QStringLiteral("/out/shrunk.txt")), ShrinkOutput);
    EXPECT_EQ(ReadAll(dir.path() + QStringLiteral("/out/reduced.txt")), ReduceOutput);
    EXPECT_EQ(ReadAll(dir.path() + QStringLiteral("/out/imploded.txt")), "abcabcabcabc");
    EXPECT_FALSE(QFileInfo::exists(dir.path() + QStringLiteral("/out/bad.txt")));
}
