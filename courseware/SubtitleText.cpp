#include "SubtitleText.h"

#include "AnsiText.h"
#include "UCommonFun.h"

#include <QtCore/QFileInfo>
#include <QtCore/QSaveFile>

QStringList SplitTextLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

bool ReadSubtitleLines(const QString& path, QStringList& lines)
{
    lines.clear();
    QString text;
    if (!ReadTextFile(path, text))
        return false;
    lines = SplitTextLines(text);
    return true;
}

bool WriteAnsiLines(const QString& path, const QStringList& lines)
{
    try {
        QByteArray bytes;
        for (const QString& line : lines) {
            bytes += StringToAnsi(line);
            bytes += "\r\n";
        }
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        if (file.write(bytes) != bytes.size()) {
            file.cancelWriting();
            return false;
        }
        return file.commit();
    } catch (...) {
        return false;
    }
}

QString ChangeFileExt(const QString& path, const QString& ext)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    const qsizetype point = path.lastIndexOf(u'.');
    if (point > slash)
        return path.left(point) + ext;
    return path + ext;
}

int FindSubtitleFile(const QString& mediaPath, const QStringList& extensions, QString& path)
{
    for (qsizetype i = 0; i < extensions.size(); ++i) {
        const QString candidate = ChangeFileExt(mediaPath, extensions.at(i));
        if (QFileInfo(candidate).isFile()) {
            path = candidate;
            return static_cast<int>(i);
        }
    }
    return -1;
}
