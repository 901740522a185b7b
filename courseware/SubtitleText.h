#pragma once

// Line-level helpers shared by the audio and video subtitle routines.

#include <QtCore/QString>
#include <QtCore/QStringList>

// Splits text into lines at CR LF, LF or a lone CR. A line end at the very end
// of the text does not start another (empty) line; an empty text has no lines.
QStringList SplitTextLines(const QString& text);

// The lines of a subtitle file, decoded in memory from UTF-16LE with its mark,
// UTF-8 with or without its mark, or ANSI. The file itself is never written.
// False when it cannot be read.
bool ReadSubtitleLines(const QString& path, QStringList& lines);

// Writes every line in the ANSI code page followed by CR LF. The old file is
// replaced only once the new one is complete; false on any I/O error, and the
// old file then stays as it was.
bool WriteAnsiLines(const QString& path, const QStringList& lines);

// path with the extension of its file name (from the last point on) replaced
// by ext (".plrc"); without extension ext is appended.
QString ChangeFileExt(const QString& path, const QString& ext);

// The subtitle file next to a media file: the first of the extensions (in
// their order) for which such a file exists. Returns the index of that
// extension and sets path, or -1 when there is none.
int FindSubtitleFile(const QString& mediaPath, const QStringList& extensions, QString& path);
