#include "AnsiText.h"

#include <iconv.h>

#include <cerrno>

namespace {
// One conversion through iconv. Invalid input bytes are replaced: on decoding
// by U+FFFD, so that a damaged file still shows its readable part.
QByteArray Convert(const char* to, const char* from, const QByteArray& in, const QByteArray& replacement,
                   int invalidStep)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return {};
    QByteArray out;
    out.reserve(in.size() * 2 + 8);
    char buffer[4096];
    char* src = const_cast<char*>(in.constData());
    size_t srcLeft = static_cast<size_t>(in.size());
    while (srcLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<qsizetype>(sizeof buffer - dstLeft));
        if (rc == static_cast<size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL: skip the bad input unit and go on.
            out.append(replacement);
            const size_t step = std::min(srcLeft, static_cast<size_t>(invalidStep));
            src += step;
            srcLeft -= step;
        }
    }
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buffer, static_cast<qsizetype>(sizeof buffer - dstLeft));
    iconv_close(cd);
    return out;
}
}  // namespace

QByteArray StringToAnsi(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return Convert("GB18030", "UTF-8", utf8, "?", 1);
}

QString AnsiToString(const QByteArray& bytes)
{
    return QString::fromUtf8(Convert("UTF-8", "GB18030", bytes, "\xEF\xBF\xBD", 1));
}
