#include "AnsiText.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <algorithm>
#include <vector>

namespace {
// One converter through iconv, opened on first use and closed with the
// object. Invalid input is replaced: on decoding by U+FFFD, so that a damaged
// file still shows its readable part.
class TConverter {
public:
    // replacement is a literal: it is not copied (converters are made per call).
    TConverter(const char* to, const char* from, QByteArrayView replacement, int invalidStep)
        : FTo(to), FFrom(from), FReplacement(replacement), FInvalidStep(invalidStep)
    {
    }
    ~TConverter()
    {
        if (FOpen)
            iconv_close(FCd);
    }
    TConverter(const TConverter&) = delete;
    TConverter& operator=(const TConverter&) = delete;

    // Appends the converted bytes of in to out.
    void Append(const char* in, size_t size, QByteArray& out)
    {
        if (!FOpen) {
            FCd = iconv_open(FTo, FFrom);
            if (FCd == reinterpret_cast<iconv_t>(-1))
                return;
            FOpen = true;
        }
        char buffer[4096];
        char* src = const_cast<char*>(in);
        size_t srcLeft = size;
        while (srcLeft > 0) {
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            const size_t rc = iconv(FCd, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, static_cast<qsizetype>(sizeof buffer - dstLeft));
            if (rc == static_cast<size_t>(-1)) {
                if (errno == E2BIG)
                    continue;
                // EILSEQ or EINVAL: skip the bad input unit and go on.
                out.append(FReplacement);
                const size_t step = std::min(srcLeft, static_cast<size_t>(FInvalidStep));
                src += step;
                srcLeft -= step;
            }
        }
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        iconv(FCd, nullptr, nullptr, &dst, &dstLeft);
        out.append(buffer, static_cast<qsizetype>(sizeof buffer - dstLeft));
    }

private:
    const char* FTo;
    const char* FFrom;
    QByteArrayView FReplacement;
    int FInvalidStep;
    iconv_t FCd{};
    bool FOpen = false;
};

// The two-byte part of GB18030 (which is GBK) as tables both ways, made once
// through iconv: most text needs no iconv call at all. Characters outside it
// (four-byte sequences) still go through iconv.
struct TGbkTables {
    // Unicode of lead 0x81..0xFE, trail 0x40..0xFE; 0 where there is none.
    std::vector<char16_t> Decode = std::vector<char16_t>(126 * 191, 0);
    // Two-byte code (lead << 8 | trail) of a BMP character; 0 where there is none.
    std::vector<std::uint16_t> Encode = std::vector<std::uint16_t>(65536, 0);

    TGbkTables()
    {
        iconv_t cd = iconv_open("UTF-16LE", "GB18030");
        if (cd == reinterpret_cast<iconv_t>(-1))
            return;
        for (int lead = 0x81; lead <= 0xFE; ++lead)
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                if (trail == 0x7F)
                    continue;
                char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                char out[8];
                char* src = in;
                char* dst = out;
                size_t srcLeft = 2, dstLeft = sizeof out;
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
                if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1) || dstLeft != 6)
                    continue;
                const char16_t u = static_cast<char16_t>(static_cast<unsigned char>(out[0])
                                                         | (static_cast<unsigned char>(out[1]) << 8));
                if (u < 0x80 || (u >= 0xD800 && u <= 0xDFFF))
                    continue;
                Decode[static_cast<size_t>((lead - 0x81) * 191 + (trail - 0x40))] = u;
                if (Encode[u] == 0)
                    Encode[u] = static_cast<std::uint16_t>((lead << 8) | trail);
            }
        iconv_close(cd);
    }
};

const TGbkTables& GbkTables()
{
    static const TGbkTables tables;
    return tables;
}
}  // namespace

// ASCII is the same in GB18030 and the two-byte part comes from a table, so
// only four-byte sequences go through iconv (one converter per call).
QByteArray StringToAnsi(const QString& text)
{
    QByteArray out;
    AppendAnsi(out, text);
    return out;
}

void AppendAnsi(QByteArray& target, QStringView text)
{
    const char16_t* p = text.utf16();
    const qsizetype n = text.size();
    const TGbkTables& tables = GbkTables();
    TConverter converter("GB18030", "UTF-16LE", "?", 2);
    const qsizetype base = target.size();
    if (target.capacity() < base + n * 2)
        target.reserve(std::max(base + n * 2, target.capacity() * 3 / 2));
    target.resize(base + n * 2);
    QByteArray& out = target;
    char* d = out.data() + base;
    QByteArray four;
    for (qsizetype i = 0; i < n;) {
        // A run of ASCII, measured first and then copied in one simple loop.
        qsizetype run = i;
        while (run < n && p[run] < 0x80)
            ++run;
        if (run > i) {
            for (qsizetype k = i; k < run; ++k)
                *d++ = static_cast<char>(p[k]);
            i = run;
            if (i >= n)
                break;
        }
        const char16_t c = p[i];
        const std::uint16_t code = tables.Encode[c];
        if (code != 0) {
            *d++ = static_cast<char>(code >> 8);
            *d++ = static_cast<char>(code & 0xFF);
            ++i;
            continue;
        }
        // Outside the two-byte part: a four-byte sequence through iconv.
        const qsizetype units = (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(p[i + 1])) ? 2 : 1;
        four.clear();
        converter.Append(reinterpret_cast<const char*>(p + i), static_cast<size_t>(units) * 2, four);
        const qsizetype at = d - out.data();
        if (at + four.size() + (n - i) * 2 > out.size()) {
            out.resize(at + four.size() + (n - i) * 2);
            d = out.data() + at;
        }
        std::copy(four.constBegin(), four.constEnd(), d);
        d += four.size();
        i += units;
    }
    out.resize(d - out.data());
}

QString AnsiToString(const QByteArray& bytes)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    const TGbkTables& tables = GbkTables();
    TConverter converter("UTF-16LE", "GB18030", QByteArrayView("\xFD\xFF", 2), 1);
    // Every byte gives at most one UTF-16 unit (a four-byte sequence two).
    QString out(n, Qt::Uninitialized);
    char16_t* d = reinterpret_cast<char16_t*>(out.data());
    QByteArray utf16;
    for (qsizetype i = 0; i < n;) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            *d++ = b;
            ++i;
            continue;
        }
        if (b >= 0x81 && b <= 0xFE && i + 1 < n && p[i + 1] >= 0x40 && p[i + 1] <= 0xFE && p[i + 1] != 0x7F) {
            const char16_t u = tables.Decode[static_cast<size_t>((b - 0x81) * 191 + (p[i + 1] - 0x40))];
            if (u != 0) {
                *d++ = u;
                i += 2;
                continue;
            }
        }
        // Anything else, one sequence at a time, through iconv: a four-byte
        // sequence (a digit, a byte from 0x81 and a digit after the lead), a
        // two-byte one outside the table, or a damaged byte.
        const qsizetype run = i;
        if (i + 3 < n && p[i + 1] >= 0x30 && p[i + 1] <= 0x39 && p[i + 2] >= 0x81 && p[i + 3] >= 0x30 && p[i + 3] <= 0x39)
            i += 4;
        else if (b >= 0x81 && b <= 0xFE && i + 1 < n && p[i + 1] >= 0x40 && p[i + 1] != 0x7F && p[i + 1] != 0xFF)
            i += 2;
        else
            ++i;
        utf16.clear();
        converter.Append(bytes.constData() + run, static_cast<size_t>(i - run), utf16);
        const qsizetype units = utf16.size() / 2;
        const qsizetype at = d - reinterpret_cast<char16_t*>(out.data());
        if (at + units + (n - i) > out.size()) {
            out.resize(at + units + (n - i));
            d = reinterpret_cast<char16_t*>(out.data()) + at;
        }
        std::memcpy(d, utf16.constData(), static_cast<size_t>(units) * 2);
        d += units;
    }
    out.resize(d - reinterpret_cast<char16_t*>(out.data()));
    return out;
}

namespace {
// One iconv descriptor for the exact conversions, opened on first use; a
// conversion either takes all of its input or fails.
class TExactIconv {
public:
    TExactIconv(const char* to, const char* from) : FTo(to), FFrom(from) {}
    ~TExactIconv()
    {
        if (FOpen)
            iconv_close(FCd);
    }
    TExactIconv(const TExactIconv&) = delete;
    TExactIconv& operator=(const TExactIconv&) = delete;

    // The bytes of in converted into out (at most 16 bytes); -1 when the
    // input is not one whole sequence.
    int Convert(const char* in, size_t size, char* out)
    {
        if (!FOpen) {
            FCd = iconv_open(FTo, FFrom);
            if (FCd == reinterpret_cast<iconv_t>(-1))
                return -1;
            FOpen = true;
        }
        iconv(FCd, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in);
        size_t srcLeft = size;
        char* dst = out;
        size_t dstLeft = 16;
        if (iconv(FCd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1) || srcLeft != 0)
            return -1;
        if (iconv(FCd, nullptr, nullptr, &dst, &dstLeft) == static_cast<size_t>(-1))
            return -1;
        return static_cast<int>(16 - dstLeft);
    }

private:
    const char* FTo;
    const char* FFrom;
    iconv_t FCd{};
    bool FOpen = false;
};

// The character of the four bytes at p when they are one GB18030 sequence
// that the encoder writes back with the same four bytes (one or two UTF-16
// units in out); 0 units otherwise.
int KeptFourByteSequence(const unsigned char* p, TExactIconv& decoder, TExactIconv& encoder, char16_t out[2])
{
    char units[16];
    const int size = decoder.Convert(reinterpret_cast<const char*>(p), 4, units);
    if (size != 2 && size != 4)
        return 0;
    out[0] = static_cast<char16_t>(static_cast<unsigned char>(units[0]) | (static_cast<unsigned char>(units[1]) << 8));
    if (size == 4) {
        out[1] = static_cast<char16_t>(static_cast<unsigned char>(units[2]) | (static_cast<unsigned char>(units[3]) << 8));
        if (!QChar::isHighSurrogate(out[0]) || !QChar::isLowSurrogate(out[1]))
            return 0;
    } else if (QChar::isSurrogate(out[0]) || out[0] < 0x80 || IsAnsiByteEscape(out[0])
               || GbkTables().Encode[out[0]] != 0) {
        // The encoder would write these with other bytes (or they stand for
        // raw bytes).
        return 0;
    }
    char back[16];
    if (encoder.Convert(units, static_cast<size_t>(size), back) != 4 || std::memcmp(back, p, 4) != 0)
        return 0;
    return size / 2;
}
}  // namespace

QString AnsiToStringKeepingBytes(QByteArrayView bytes)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    const TGbkTables& tables = GbkTables();
    TExactIconv decoder("UTF-16LE", "GB18030");
    TExactIconv encoder("GB18030", "UTF-16LE");
    // Every byte gives at most one unit (a four-byte sequence at most two).
    QString out(n, Qt::Uninitialized);
    char16_t* d = reinterpret_cast<char16_t*>(out.data());
    for (qsizetype i = 0; i < n;) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            *d++ = b;
            ++i;
            continue;
        }
        if (b >= 0x81 && b <= 0xFE && i + 1 < n && p[i + 1] >= 0x40 && p[i + 1] <= 0xFE && p[i + 1] != 0x7F) {
            const char16_t u = tables.Decode[static_cast<size_t>((b - 0x81) * 191 + (p[i + 1] - 0x40))];
            // Only the code the encoder writes for u gives u back.
            if (u != 0 && !IsAnsiByteEscape(u) && tables.Encode[u] == ((b << 8) | p[i + 1])) {
                *d++ = u;
                i += 2;
                continue;
            }
        }
        if (b >= 0x81 && b <= 0xFE && i + 3 < n && p[i + 1] >= 0x30 && p[i + 1] <= 0x39 && p[i + 2] >= 0x81
            && p[i + 2] <= 0xFE && p[i + 3] >= 0x30 && p[i + 3] <= 0x39) {
            char16_t units[2] = {0, 0};
            const int count = KeptFourByteSequence(p + i, decoder, encoder, units);
            if (count > 0) {
                for (int k = 0; k < count; ++k)
                    *d++ = units[k];
                i += 4;
                continue;
            }
        }
        *d++ = static_cast<char16_t>(AnsiByteEscapeFirst + b);
        ++i;
    }
    out.resize(d - reinterpret_cast<char16_t*>(out.data()));
    return out;
}

void AppendAnsiKeepingBytes(QByteArray& target, QStringView text)
{
    const char16_t* p = text.utf16();
    const qsizetype n = text.size();
    qsizetype from = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (!IsAnsiByteEscape(p[i]))
            continue;
        if (i > from)
            AppendAnsi(target, text.mid(from, i - from));
        target.append(static_cast<char>(p[i] - AnsiByteEscapeFirst));
        from = i + 1;
    }
    if (n > from)
        AppendAnsi(target, text.mid(from));
}

QByteArray StringToAnsiKeepingBytes(QStringView text)
{
    QByteArray out;
    AppendAnsiKeepingBytes(out, text);
    return out;
}
