#include "IniFile.h"

#include "AnsiText.h"

#include <QtCore/QFile>
#include <QtCore/QSaveFile>

namespace {
bool IsSectionLine(const QString& line, QString* name)
{
    const QString t = line.trimmed();
    if (t.size() < 2 || !t.startsWith(u'[') || !t.endsWith(u']'))
        return false;
    if (name)
        *name = t.mid(1, t.size() - 2).trimmed();
    return true;
}
}  // namespace

TIniFile::TIniFile(const QString& fileName) : FFileName(fileName) {}

QStringList TIniFile::ReadLines() const
{
    QFile file(FFileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = AnsiToString(file.readAll());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

int TIniFile::FindKey(const QStringList& lines, const QString& section, const QString& key, int* sectionEnd)
{
    bool inSection = false;
    int found = -1;
    if (sectionEnd)
        *sectionEnd = -1;
    for (int i = 0; i < lines.size(); ++i) {
        QString name;
        if (IsSectionLine(lines[i], &name)) {
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            if (inSection && sectionEnd)
                *sectionEnd = i + 1;
            continue;
        }
        if (!inSection)
            continue;
        if (sectionEnd && !lines[i].trimmed().isEmpty())
            *sectionEnd = i + 1;
        const int eq = lines[i].indexOf(u'=');
        if (eq > 0 && found < 0 && lines[i].left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            found = i;
    }
    return found;
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const
{
    const QStringList lines = ReadLines();
    const int i = FindKey(lines, section, key, nullptr);
    if (i < 0)
        return defaultValue;
    return lines[i].mid(lines[i].indexOf(u'=') + 1).trimmed();
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int defaultValue) const
{
    bool ok = false;
    const int value = ReadString(section, key, QString()).toInt(&ok, 0);
    return ok ? value : defaultValue;
}

bool TIniFile::SectionExists(const QString& section) const
{
    int end = -1;
    FindKey(ReadLines(), section, QString(), &end);
    return end >= 0;
}

bool TIniFile::ValueExists(const QString& section, const QString& key) const
{
    return FindKey(ReadLines(), section, key, nullptr) >= 0;
}

bool TIniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    QStringList lines = ReadLines();
    int sectionEnd = -1;
    const int i = FindKey(lines, section, key, &sectionEnd);
    const QString entry = key + u'=' + value;
    if (i >= 0) {
        lines[i] = entry;
    } else if (sectionEnd >= 0) {
        lines.insert(sectionEnd, entry);
    } else {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines.append(QString());
        lines.append(u'[' + section + u']');
        lines.append(entry);
    }
    QSaveFile file(FFileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(StringToAnsi(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
    return file.commit();
}

bool TIniFile::WriteInteger(const QString& section, const QString& key, int value)
{
    return WriteString(section, key, QString::number(value));
}
