#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QStringView>

// The ANSI code page of the programs is GBK. Text is encoded with GB18030,
// which writes every GBK character with the same bytes and loses nothing else.
QByteArray StringToAnsi(const QString& text);
// Appends the ANSI bytes of text to target.
void AppendAnsi(QByteArray& target, QStringView text);
QString AnsiToString(const QByteArray& bytes);
