#pragma once

// The answer files of the dictation screens: ".pps" (single-sentence
// dictation) and ".ppf" (free dictation). Both are GBK text, every line ended
// by CR LF. Line 1 names the file the main window opened (a package or a media
// file); then come one line per grid row ("answer@@##$$count") or the free
// dictation editor's lines, unchanged.

#include <QtCore/QString>
#include <QtCore/QStringList>

inline const QString PpsExtension = QStringLiteral(".pps");
inline const QString PpfExtension = QStringLiteral(".ppf");
inline const QString PpsSeparator = QStringLiteral("@@##$$");

// chosen with its extension (from the last "." of its file name on) replaced
// by ext; a name without one gets ext appended.
QString ForcedExtensionPath(const QString& chosen, const QString& ext);

// The extension of path's file name from its last "." on, with the dot;
// empty when the file name has none.
QString FileExtOf(const QString& path);

// What an imported source is to a screen.
enum class TImportSource { Refused, Media, Package };

// Audio screens take ".wav", ".mp3" and ".pibo"; video screens ".asf", ".avi",
// ".wmv" and ".vpibo". The extension is compared whole and without regard to
// case, by the media list's rule (MediaKindOfExt); an empty one is refused.
TImportSource ClassifyImportSource(const QString& sourcePath, bool video);

// Writes source and lines (GBK, CR LF after each line) to path through a
// temporary file that replaces path only when everything was written. False
// when it could not be written; path is then as it was before.
bool WriteDictationFile(const QString& path, const QString& source, const QStringList& lines);

// Reads a file written by WriteDictationFile: source := line 1, lines := the
// lines after it (a final line end gives no extra empty line; LF alone also
// ends a line, and so does a lone CR). False when the file cannot be read or is empty.
bool ReadDictationFile(const QString& path, QString& source, QStringList& lines);

// One ".pps" row line and its reading. The answer may hold the separator
// itself: the count follows the last separator. A line without a separator
// is all answer; a count that is not a decimal number reads as "0".
QString PpsLine(const QString& answer, const QString& playCount);
void ParsePpsLine(const QString& line, QString& answer, QString& playCount);

// A grid cell's play count as a number: 0 when the text is not one.
int PlayCountOf(const QString& cell);

// The message that refuses an imported source (an extension the screen does
// not take, or a file that is not there); empty when it can be opened.
QString ImportSourceRefusal(const QString& sourcePath, bool video);
// The message of a source that could not be opened.
QString ImportLoadFailure(bool video);

// Makes an accepted source playable: a package is unpacked into "temp/", a
// plain audio file prepared in "temp/" as the main window prepares it, a
// video file played where it is. False when that failed.
bool PrepareImportSource(const QString& sourcePath, bool video, QString& playPath);
