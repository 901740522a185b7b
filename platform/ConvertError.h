#pragma once

// The conversion error of the platform: raised when a text that should hold a
// number does not.

#include <QtCore/QString>

#include <limits>
#include <stdexcept>

class EConvertError : public std::runtime_error {
public:
    explicit EConvertError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// The decimal number that text holds: an optional sign and ASCII digits, nothing
// else (no blanks). Raises EConvertError "'text' is not a valid integer value"
// otherwise, also when the number does not fit 32 bits.
inline qint32 StrToInt(const QString& text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    bool plain = !text.isEmpty();
    for (qsizetype i = 0; plain && i < text.size(); ++i) {
        const QChar c = text.at(i);
        plain = (c >= u'0' && c <= u'9') || (i == 0 && (c == u'-' || c == u'+') && text.size() > 1);
    }
    if (!ok || !plain || value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return static_cast<qint32>(value);
}
