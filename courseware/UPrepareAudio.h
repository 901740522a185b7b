#pragma once

// Files the program makes in "temp/" from a learner's media: unpacked lesson
// packages, converted and padded WAV files. Such a file is reused only when it
// was made from the same source file, unchanged: the source's path, size and
// modification time are written beside it (its stamp), after the file itself,
// so an interrupted run, another file of the same base name or a changed file
// is made anew.

#include <QtCore/QString>

// Copies from over to, replacing it. When both name the same file nothing is
// copied and the source is never lost: true when it exists.
bool CopyFileReplacing(const QString& from, const QString& to);

// The stamp file that belongs to a file made in "temp/": cachedFile + ".src".
QString CacheStampPath(const QString& cachedFile);

// True when the stamp of cachedFile names sourcePath with its present size and
// modification time, and cachedFile exists.
bool CacheStampMatches(const QString& cachedFile, const QString& sourcePath);

// Writes the stamp of cachedFile for sourcePath (through a temporary file).
// False when the source cannot be read or the stamp cannot be written.
bool WriteCacheStamp(const QString& cachedFile, const QString& sourcePath);

// Removes the stamp of cachedFile, so that it is no longer taken as current.
void RemoveCacheStamp(const QString& cachedFile);

// Makes the playable WAV of a plain audio file (".wav" or ".mp3", compared
// exactly): copies the source into "temp/" under its own file name, converts
// an MP3 to WAV (waiting for the real end of the conversion), and puts 0.5 s
// of silence in front of the sound. When target was made before from the same
// source, unchanged, it is used as it is. False, with no target left, when
// the copy, the conversion or the silence fails.
bool PrepareAudioFile(const QString& sourcePath, const QString& targetPath);
