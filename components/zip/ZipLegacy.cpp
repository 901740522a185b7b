#include "ZipLegacy.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

namespace {
constexpr uint32_t Mask[17] = {0x0000, 0x0001, 0x0003, 0x0007, 0x000F, 0x001F, 0x003F, 0x007F, 0x00FF,
                               0x01FF, 0x03FF, 0x07FF, 0x0FFF, 0x1FFF, 0x3FFF, 0x7FFF, 0xFFFF};

// LSB-first bit reader over the entry's input.
class TBitReader {
public:
    explicit TBitReader(TLegacyIO& io) : FIo(io) {}
    void FillBits()
    {
        while (FCount <= 24) {
            const int b = FIo.ReadInputByte();
            if (b < 0) {
                FEof = true;
                return;
            }
            FBits |= static_cast<uint32_t>(b) << FCount;
            FCount += 8;
        }
    }
    uint32_t ReadBits(int n)
    {
        if (FCount < n)
            FillBits();
        if (FCount < n) {
            // Past the end of the input: the reader reports the overrun.
            FOverrun = true;
            const uint32_t v = FBits & Mask[n];
            FBits = 0;
            FCount = 0;
            return v;
        }
        const uint32_t v = FBits & Mask[n];
        FBits >>= n;
        FCount -= n;
        return v;
    }
    bool Overrun() const { return FOverrun; }

private:
    TLegacyIO& FIo;
    uint32_t FBits = 0;
    int FCount = 0;
    bool FEof = false;
    bool FOverrun = false;
};

// Sliding window through which the output passes; it is handed on each time
// it fills and at the end. Positions before the first byte read as zeros.
class TWindow {
public:
    TWindow(TLegacyIO& io, size_t size) : FIo(io), FBuf(size, 0), FMask(size - 1), FExpected(io.ExpectedSize()) {}
    bool Full() const { return FTotal >= FExpected; }
    void Put(uint8_t b)
    {
        if (FTotal >= FExpected)
            return;
        FBuf[FTotal & FMask] = b;
        ++FTotal;
        if ((FTotal & FMask) == 0)
            Flush();
    }
    void Copy(uint64_t distance, uint64_t length)
    {
        for (uint64_t i = 0; i < length && FTotal < FExpected; ++i)
            Put(distance > FTotal ? 0 : FBuf[(FTotal - distance) & FMask]);
    }
    void Flush()
    {
        const uint64_t start = FFlushed;
        if (FTotal == start)
            return;
        const size_t from = static_cast<size_t>(start & FMask);
        FIo.WriteOutput(FBuf.data() + from, static_cast<size_t>(FTotal - start));
        FFlushed = FTotal;
    }

private:
    TLegacyIO& FIo;
    std::vector<uint8_t> FBuf;
    uint64_t FMask;
    uint64_t FExpected;
    uint64_t FTotal = 0;
    uint64_t FFlushed = 0;
};

// ---------------------------------------------------------------------------
// Unshrink

constexpr int MaxCodes = 8192;

struct TShrinkTables {
    std::array<int32_t, MaxCodes + 1> Prefix;
    std::array<uint8_t, MaxCodes + 1> Suffix;
    std::array<uint8_t, MaxCodes + 1> Stack;
    std::array<bool, MaxCodes + 1> Marked;
};

int NextFreeCode(const TShrinkTables& t, int from)
{
    int c = from;
    while (c < MaxCodes && t.Prefix[c] != -1)
        ++c;
    return c;
}

void PartialClear(TShrinkTables& t, int& freeCode)
{
    for (int c = 257; c < freeCode; ++c)
        t.Marked[c] = true;
    for (int c = 257; c < freeCode; ++c) {
        const int p = t.Prefix[c];
        if (p >= 257 && p < MaxCodes)
            t.Marked[p] = false;
    }
    for (int c = 257; c < freeCode; ++c) {
        if (t.Marked[c])
            t.Prefix[c] = -1;
        t.Marked[c] = false;
    }
    freeCode = NextFreeCode(t, 257);
}
}  // namespace

bool UnShrink(TLegacyIO& io)
{
    auto t = std::make_unique<TShrinkTables>();
    for (int c = 0; c <= MaxCodes; ++c) {
        t->Prefix[c] = c < 256 ? 0 : -1;
        t->Suffix[c] = static_cast<uint8_t>(c < 256 ? c : 0);
        t->Marked[c] = false;
    }
    TBitReader bits(io);
    TWindow out(io, 32768);
    int codeSize = 9;
    int freeCode = 257;
    int code = static_cast<int>(bits.ReadBits(codeSize));
    if (bits.Overrun()) {
        out.Flush();
        return io.ExpectedSize() == 0;
    }
    if (code > 255)
        return false;
    out.Put(static_cast<uint8_t>(code));
    int prev = code;
    uint8_t lastChar = static_cast<uint8_t>(code);
    bool good = true;
    while (!out.Full()) {
        code = static_cast<int>(bits.ReadBits(codeSize));
        if (bits.Overrun())
            break;
        if (code == 256) {
            const int control = static_cast<int>(bits.ReadBits(codeSize));
            if (bits.Overrun())
                break;
            if (control == 1) {
                if (codeSize < 13)
                    ++codeSize;
            } else if (control == 2) {
                PartialClear(*t, freeCode);
            }
            continue;
        }
        int sp = 0;
        int cur = code;
        if (t->Prefix[code] == -1) {
            // A code not yet defined: the previous string plus its first character.
            t->Stack[sp++] = lastChar;
            cur = prev;
        }
        while (cur >= 257) {
            if (sp >= MaxCodes || t->Prefix[cur] < 0) {
                good = false;
                break;
            }
            t->Stack[sp++] = t->Suffix[cur];
            cur = t->Prefix[cur];
        }
        if (!good || cur == 256)
            return false;
        lastChar = t->Suffix[cur];
        t->Stack[sp++] = lastChar;
        while (sp > 0)
            out.Put(t->Stack[--sp]);
        if (freeCode < MaxCodes) {
            t->Prefix[freeCode] = prev;
            t->Suffix[freeCode] = lastChar;
            freeCode = NextFreeCode(*t, freeCode + 1);
        }
        prev = code;
    }
    out.Flush();
    return good;
}

// ---------------------------------------------------------------------------
// Unreduce

namespace {
int FollowerBits(int n)
{
    if (n == 0)
        return 8;
    int b = 1;
    while ((1 << b) < n)
        ++b;
    return b;
}
}  // namespace

bool UnReduce(TLegacyIO& io, int factor)
{
    if (factor < 1 || factor > 4)
        return false;
    static constexpr uint8_t LengthMask[5] = {0, 0x7F, 0x3F, 0x1F, 0x0F};
    static constexpr int DistShift[5] = {0, 7, 6, 5, 4};
    static constexpr uint8_t DistMask[5] = {0, 0x01, 0x03, 0x07, 0x0F};
    TBitReader bits(io);
    std::vector<std::array<uint8_t, 64>> followers(256);
    std::array<int, 256> setLength {};
    for (int x = 255; x >= 0; --x) {
        const int n = static_cast<int>(bits.ReadBits(6));
        setLength[x] = n;
        for (int i = 0; i < n; ++i)
            followers[x][i] = static_cast<uint8_t>(bits.ReadBits(8));
    }
    if (bits.Overrun())
        return io.ExpectedSize() == 0;
    TWindow out(io, 16384);
    uint8_t last = 0;
    int state = 0;
    int length = 0;
    uint8_t v = 0;
    while (!out.Full()) {
        uint8_t ch = 0;
        const int n = setLength[last];
        if (n == 0) {
            ch = static_cast<uint8_t>(bits.ReadBits(8));
        } else if (bits.ReadBits(1)) {
            ch = static_cast<uint8_t>(bits.ReadBits(8));
        } else {
            const uint32_t index = bits.ReadBits(FollowerBits(n));
            if (index >= static_cast<uint32_t>(n))
                return false;
            ch = followers[last][index];
        }
        if (bits.Overrun())
            break;
        switch (state) {
        case 0:
            if (ch == 144)
                state = 1;
            else
                out.Put(ch);
            break;
        case 1:
            if (ch == 0) {
                out.Put(144);
                state = 0;
            } else {
                v = ch;
                length = v & LengthMask[factor];
                state = length == LengthMask[factor] ? 2 : 3;
            }
            break;
        case 2:
            length += ch;
            state = 3;
            break;
        default: {
            const uint64_t distance = static_cast<uint64_t>((v >> DistShift[factor]) & DistMask[factor]) * 256 + ch + 1;
            out.Copy(distance, static_cast<uint64_t>(length) + 3);
            state = 0;
            break;
        }
        }
        last = ch;
    }
    out.Flush();
    return !bits.Overrun();
}

// ---------------------------------------------------------------------------
// Explode

namespace {
// A canonical code read with inverted bits, as the imploding method stores it.
struct TSFTree {
    std::array<int, 17> Count {};
    std::vector<int> Symbol;
};

// Reads a tree of n bit lengths and builds its code; false on a bad tree.
bool ReadTree(TBitReader& bits, int n, TSFTree& tree)
{
    std::vector<int> lengths;
    const int bytes = static_cast<int>(bits.ReadBits(8)) + 1;
    for (int i = 0; i < bytes; ++i) {
        const int b = static_cast<int>(bits.ReadBits(8));
        const int codes = (b >> 4) + 1;
        const int len = (b & 0x0F) + 1;
        for (int k = 0; k < codes; ++k)
            lengths.push_back(len);
        if (static_cast<int>(lengths.size()) > n)
            return false;
    }
    if (bits.Overrun() || static_cast<int>(lengths.size()) != n)
        return false;
    tree.Count.fill(0);
    int maxLen = 0;
    for (int len : lengths) {
        ++tree.Count[len];
        maxLen = std::max(maxLen, len);
    }
    int left = 1;
    for (int len = 1; len <= 16; ++len) {
        left <<= 1;
        left -= tree.Count[len];
        if (left < 0)
            return false;  // over-subscribed
    }
    if (left > 0 && maxLen != 1)
        return false;  // incomplete
    std::array<int, 17> offs {};
    for (int len = 1; len < 16; ++len)
        offs[len + 1] = offs[len] + tree.Count[len];
    tree.Symbol.assign(lengths.size(), 0);
    for (int s = 0; s < n; ++s)
        tree.Symbol[offs[lengths[s]]++] = s;
    return true;
}

int Decode(TBitReader& bits, const TSFTree& tree)
{
    int code = 0;
    int first = 0;
    int index = 0;
    for (int len = 1; len <= 16; ++len) {
        code |= static_cast<int>(bits.ReadBits(1) ^ 1);
        if (bits.Overrun())
            return -1;
        const int count = tree.Count[len];
        if (code - count < first)
            return tree.Symbol[index + (code - first)];
        index += count;
        first += count;
        first <<= 1;
        code <<= 1;
    }
    return -1;
}
}  // namespace

bool Explode(TLegacyIO& io, uint16_t flags)
{
    const bool bigWindow = flags & 0x0002;
    const bool literalTree = flags & 0x0004;
    const int lowBits = bigWindow ? 7 : 6;
    TBitReader bits(io);
    TSFTree literals;
    TSFTree lengths;
    TSFTree distances;
    if (literalTree && !ReadTree(bits, 256, literals))
        return false;
    if (!ReadTree(bits, 64, lengths) || !ReadTree(bits, 64, distances))
        return false;
    const int minLength = literalTree ? 3 : 2;
    TWindow out(io, 32768);
    while (!out.Full()) {
        if (bits.ReadBits(1)) {
            const int lit = literalTree ? Decode(bits, literals) : static_cast<int>(bits.ReadBits(8));
            if (lit < 0 || bits.Overrun())
                break;
            out.Put(static_cast<uint8_t>(lit));
        } else {
            const uint32_t low = bits.ReadBits(lowBits);
            const int dc = Decode(bits, distances);
            if (dc < 0)
                break;
            const int lc = Decode(bits, lengths);
            if (lc < 0)
                break;
            uint64_t length = static_cast<uint64_t>(lc) + minLength;
            if (lc == 63)
                length += bits.ReadBits(8);
            if (bits.Overrun())
                break;
            const uint64_t distance = (static_cast<uint64_t>(dc) << lowBits) + low + 1;
            out.Copy(distance, length);
        }
    }
    out.Flush();
    return out.Full();
}
