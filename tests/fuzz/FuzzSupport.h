#pragma once

// What the fuzz entries share: input helpers, and the entries kept in sources
// of their own (the rich-text and the text editor's headers do not mix).

#include "ProgramFolder.h"

#include <QtCore/QByteArray>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QList>
#include <QtCore/QString>

#include <cstddef>
#include <cstdint>
#include <exception>

namespace PiboFuzz {

inline QByteArray Bytes(const std::uint8_t* data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// The first byte of an input picks a mode of the entry, the rest is the file.
struct TModeInput {
    int Mode = 0;
    QByteArray Body;
};

inline TModeInput SplitMode(const std::uint8_t* data, std::size_t size, int modes)
{
    TModeInput in;
    if (size == 0)
        return in;
    in.Mode = data[0] % modes;
    in.Body = Bytes(data + 1, size - 1);
    return in;
}

inline QByteArray WithMode(int mode, const QByteArray& body)
{
    return QByteArray(1, static_cast<char>(mode)) + body;
}

// A folder of the entry's own in temp/ of the program folder, emptied.
inline QString FreshFolder(const char* name)
{
    const QString path = ProgramFolder() + QStringLiteral("temp/fuzz-") + QLatin1String(name) + u'/';
    QDir dir(path);
    if (dir.exists())
        dir.removeRecursively();
    QDir().mkpath(path);
    return path;
}

inline bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs a read; the failures the libraries report for bad input end it.
template <typename F>
void Guarded(F&& read)
{
    try {
        read();
    } catch (const std::exception&) {
    }
}

// The rich-text entries (FuzzRichText.cpp).
void RunRdf(const std::uint8_t* data, std::size_t size);
QList<QByteArray> RdfSeeds();
void RunRdfStyles(const std::uint8_t* data, std::size_t size);
QList<QByteArray> RdfStyleSeeds();
void RunIniStyles(const QString& path);
void WriteIniStyles(const QString& path);
void RunMarkup(const std::uint8_t* data, std::size_t size);
QList<QByteArray> MarkupSeeds();
void RunCodePages(const std::uint8_t* data, std::size_t size);
QList<QByteArray> CodePageSeeds();

// The text editor's entries (FuzzTextEditor.cpp).
void RunTextFile(const std::uint8_t* data, std::size_t size);
QList<QByteArray> TextFileSeeds();
void RunSpellLists(const std::uint8_t* data, std::size_t size);
QList<QByteArray> SpellListSeeds();

}  // namespace PiboFuzz
