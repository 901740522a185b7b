#include "RDDocEncoding.h"

#include <iconv.h>

#include <QtCore/QString>

#include "AnsiText.h"

namespace {

bool IsSystemCodePage(uint32_t codePage)
{
    return codePage == 0 || codePage == 1 || codePage == 936 || codePage == 54936;
}

// Converts with iconv; a byte sequence that does not convert becomes the
// replacement given in the target encoding.
QByteArray Iconv(const char* to, const char* from, const QByteArray& s, const QByteArray& replacement,
                 int fromUnit)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return {};
    QByteArray result;
    result.reserve(s.size() * 2);
    char buffer[1024];
    char* in = const_cast<char*>(s.constData());
    size_t inLeft = static_cast<size_t>(s.size());
    while (inLeft > 0) {
        char* out = buffer;
        size_t outLeft = sizeof(buffer);
        const size_t r = iconv(cd, &in, &inLeft, &out, &outLeft);
        result.append(buffer, out - buffer);
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            result.append(replacement);
            const size_t skip = std::min<size_t>(inLeft, static_cast<size_t>(fromUnit));
            in += skip;
            inLeft -= skip;
        }
    }
    iconv_close(cd);
    return result;
}

QByteArray IconvName(uint32_t codePage)
{
    return "CP" + QByteArray::number(codePage);
}

}  // namespace

uint32_t DocCodePageOfCharset(uint8_t charset)
{
    switch (charset) {
    case 0: return 1252;
    case 77: return 2;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 255: return 1;
    default: return 0;
    }
}

uint32_t DocLanguageOfCharset(uint8_t charset)
{
    switch (charset) {
    case 0: return 1033;
    case 1: return 0;
    case 128: return 1041;
    case 129: return 1042;
    case 130: return 2066;
    case 134: return 2052;
    case 136: return 1028;
    case 161: return 1032;
    case 162: return 1055;
    case 163: return 1066;
    case 177: return 1037;
    case 178: case 186: case 238: return 0;
    case 204: return 1049;
    case 222: return 1054;
    default: return 1024;
    }
}

QByteArray DocAnsiToUtf16(uint32_t codePage, const QByteArray& s)
{
    if (s.isEmpty())
        return {};
    if (IsSystemCodePage(codePage)) {
        const QString text = AnsiToString(s);
        return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    }
    return Iconv("UTF-16LE", IconvName(codePage).constData(), s, QByteArrayLiteral("?\0"), 1);
}

QByteArray DocUtf16ToAnsi(uint32_t codePage, const QByteArray& s)
{
    if (s.size() < 2)
        return {};
    const QString text(reinterpret_cast<const QChar*>(s.constData()), s.size() / 2);
    if (IsSystemCodePage(codePage))
        return StringToAnsi(text);
    return Iconv(IconvName(codePage).constData(), "UTF-16LE", s.left(s.size() & ~qsizetype(1)), "?", 2);
}

bool IsDoubleByteCodePage(uint32_t codePage)
{
    return IsSystemCodePage(codePage) || codePage == 932 || codePage == 949 || codePage == 950 || codePage == 1361;
}

int DoubleByteCharSize(const QByteArray& s, qsizetype i, uint32_t codePage)
{
    const auto lead = static_cast<unsigned char>(s[i]);
    if (lead < 0x81 || lead == 0xFF || i + 1 >= s.size())
        return 1;
    if (codePage == 932 && lead >= 0xA1 && lead <= 0xDF)
        return 1;  // half-width katakana
    const auto second = static_cast<unsigned char>(s[i + 1]);
    if (IsSystemCodePage(codePage) && second >= 0x30 && second <= 0x39 && i + 3 < s.size())
        return 4;
    return 2;
}
