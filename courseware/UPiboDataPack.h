#pragma once

// Courseware packages: one file that carries a lesson, its subtitle file and
// its media file joined behind a 9-byte header:
//
//   offset 0, 4 bytes   N, the subtitle's length, unsigned, most significant
//                       byte first; below 16 MiB (the first byte is 0)
//   offset 4, 5 bytes   the media file's extension without its point, ASCII,
//                       right-aligned, padded on the left with blanks, cut to
//                       its first 5 characters; 5 blanks for none
//   offset 9, N bytes   the subtitle file
//   then, to the end    the media file
//
// Audio packages (".pibo") hold a ".plrc" and an MP3 or WAV (a WAV with its
// 0.5 s of leading silence) and are zipped: the archive's only entry is the
// body, named like the package when it was made. Video packages (".vpibo")
// hold an ".srt" and the video, unzipped.
//
// Opening unpacks a package into "temp/" of the program folder and keeps the
// files there for the next opening of the same package, unchanged.
//
// Every routine reports success as a Boolean and catches everything inside;
// ReadPackMediaExt alone raises. None shows a message.

#include "UCommonFun.h"

#include <QtCore/QByteArray>
#include <QtCore/QString>

#include <cstdint>
#include <stdexcept>

// Subtitle parts from this size on are refused, as plain subtitle files are.
constexpr std::int64_t MaxPackSubtitleSize = MaxSubtitleFileSize;
// The header's size.
constexpr int PackHeaderSize = 9;

// Raised by ReadPackMediaExt.
class EPackError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The 5-byte extension field for a media file's path.
QByteArray PackExtField(const QString& mediaPath);

// Writes a package body at packPath (replacing it) from the two files. False,
// with no packPath left, when a file cannot be read or written or the
// subtitle has 16 MiB or more.
bool JoinPackFile(const QString& subtitlePath, const QString& mediaPath, const QString& packPath);

// Zips filePath (entry: its bare file name) into the archive zipPath.
bool ZipFile(const QString& filePath, const QString& zipPath);
// Replaces the file packPath by an archive that holds it as its only entry.
bool ZipInPlace(const QString& packPath);
// Extracts every entry of zipPath flat into the folder of destPath (the file
// name part of destPath is not used).
bool UnzipAll(const QString& zipPath, const QString& destPath);

// Writes the subtitle part of packPath to subtitlePath and the media part to
// mediaPath + "." + the stored extension; on return mediaPath holds that
// name. False, and neither file left, when the package cannot be read, its
// subtitle length does not fit the file (or is 16 MiB or more), or the stored
// extension holds other characters than ASCII letters and digits or makes
// the media file's name the subtitle's. The package is only read.
bool SplitPackFile(const QString& packPath, const QString& subtitlePath, QString& mediaPath);

// ext := "." + the stored extension of packPath. Raises EPackError when the
// package cannot be read or its header is not one; ext stays empty then.
void ReadPackMediaExt(const QString& packPath, QString& ext);

// Unpacks the package packPath (".pibo" or ".vpibo", compared exactly) into
// "temp/" and gives the playable path in playPath:
// - ".pibo": temp/<base>.plrc and temp/<base>.wav (an MP3 becomes the WAV
//   with 0.5 s of silence in front); playPath := temp/<base>.wav. The stored
//   extension names the MP3 or WAV in any case ("MP3" as "mp3").
// - ".vpibo": temp/<base>.srt and temp/<base>.<stored extension>, which is
//   playPath.
// The files of an earlier opening of the same package, unchanged, are used
// at once. False, playPath unchanged, when the package cannot be read, is
// not a package, holds an archive of other than one entry, or its audio
// cannot be made playable; no partial file is left then.
bool OpenPackage(const QString& packPath, QString& playPath);
