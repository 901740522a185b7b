#pragma once

#include <QtCore/QString>
#include <QtCore/QStringList>

// An ini file in the ANSI code page: "[Section]" lines and "Key=Value" lines.
// Section and key names compare without regard to case. Every write goes to the
// file at once and keeps the other lines, comments and order as they were.
class TIniFile {
public:
    explicit TIniFile(const QString& fileName);

    QString FileName() const { return FFileName; }

    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;
    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& key) const;

    // False when the file could not be written; the file is then as it was.
    bool WriteString(const QString& section, const QString& key, const QString& value);
    bool WriteInteger(const QString& section, const QString& key, int value);

private:
    QStringList ReadLines() const;
    // Index of the key's line in lines, or -1; sectionEnd receives the index
    // after the section's last line (-1 when the section does not exist).
    static int FindKey(const QStringList& lines, const QString& section, const QString& key, int* sectionEnd);

    QString FFileName;
};
