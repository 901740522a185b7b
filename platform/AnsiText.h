#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QByteArrayView>
#include <QtCore/QString>
#include <QtCore/QStringView>

// The ANSI code page of the programs is GBK. Text is encoded with GB18030,
// which writes every GBK character with the same bytes and loses nothing else.
QByteArray StringToAnsi(const QString& text);
// Appends the ANSI bytes of text to target.
void AppendAnsi(QByteArray& target, QStringView text);
QString AnsiToString(const QByteArray& bytes);

// The same conversions for text that must come back byte for byte (a file
// opened and saved unchanged). A byte that starts no GB18030 sequence, or
// whose sequence would be written back with other bytes, stands for itself
// as the private-use character U+F700 + byte, which encoding turns back into
// that byte. So that no character means two things, a sequence that decodes
// to U+F700..U+F7FF is taken apart the same way; the price is that such a
// character typed in is saved as a single byte.
constexpr char16_t AnsiByteEscapeFirst = 0xF700;
constexpr char16_t AnsiByteEscapeLast = 0xF7FF;
inline bool IsAnsiByteEscape(char16_t c) { return c >= AnsiByteEscapeFirst && c <= AnsiByteEscapeLast; }
QString AnsiToStringKeepingBytes(QByteArrayView bytes);
void AppendAnsiKeepingBytes(QByteArray& target, QStringView text);
QByteArray StringToAnsiKeepingBytes(QStringView text);
