#include "core/RDFormat.h"

#include "core/RDError.h"

namespace {

// Reads decimal digits at i; -1 when there are none.
int ReadNumber(const QString& format, qsizetype& i)
{
    int value = -1;
    while (i < format.size() && format[i] >= u'0' && format[i] <= u'9') {
        const int digit = format[i].unicode() - u'0';
        if (value > (1 << 20))
            throw ERichDocError("Format '" + format + "' invalid or incompatible with argument");
        value = (value < 0 ? 0 : value * 10) + digit;
        ++i;
    }
    return value;
}

}  // namespace

QString RDFormat(const QString& format, const QStringList& args)
{
    auto invalid = [&format]() {
        return ERichDocError("Format '" + format + "' invalid or incompatible with argument");
    };
    QString result;
    result.reserve(format.size());
    qsizetype next = 0;  // the argument a directive without index takes
    qsizetype i = 0;
    while (i < format.size()) {
        const QChar c = format[i];
        if (c != u'%') {
            result += c;
            ++i;
            continue;
        }
        ++i;
        if (i >= format.size())
            throw invalid();
        if (format[i] == u'%') {
            result += u'%';
            ++i;
            continue;
        }
        // [index ":"] ["-"] [width] ["." precision] "s"
        qsizetype start = i;
        int number = ReadNumber(format, i);
        if (number >= 0 && i < format.size() && format[i] == u':') {
            next = number;
            ++i;
            number = -1;
        } else {
            i = start;
        }
        bool leftJustify = false;
        if (i < format.size() && format[i] == u'-') {
            leftJustify = true;
            ++i;
        }
        const int width = ReadNumber(format, i);
        int precision = -1;
        if (i < format.size() && format[i] == u'.') {
            ++i;
            precision = ReadNumber(format, i);
            if (precision < 0)
                throw invalid();
        }
        if (i >= format.size())
            throw invalid();
        const QChar kind = format[i].toLower();
        if (kind != u's' && kind != u'd')
            throw invalid();
        ++i;
        if (next >= args.size())
            throw invalid();
        QString value = args[next++];
        if (kind == u'd') {
            // An integer argument; the precision is the least number of digits.
            bool ok = false;
            const qlonglong n = value.toLongLong(&ok);
            if (!ok || value != QString::number(n))
                throw invalid();
            value = QString::number(n < 0 ? -n : n);
            if (precision > value.size())
                value.prepend(QString(precision - value.size(), u'0'));
            if (n < 0)
                value.prepend(u'-');
        } else if (precision >= 0 && value.size() > precision) {
            value.truncate(precision);
        }
        if (width > value.size()) {
            const QString pad(width - value.size(), u' ');
            value = leftJustify ? value + pad : pad + value;
        }
        result += value;
    }
    return result;
}
