#pragma once

// Files the program makes in "temp/" from a learner's media: unpacked lesson
// packages, converted and padded WAV files. Such a file is reused only when it
// was made from the same source file, unchanged: the source's path, size and
// modification time are written beside it (its stamp), after the file itself,
// so an interrupted run, another file of the same base name or a changed file
// is made anew. The stamp also holds the length the made file had when it
// was finished: a file cut short by a crash, or of another length, is not
// taken. Files of "temp/" are a cache and are never forced to the disk: the
// stamp and the length make a half-written one detectable.

#include <QtCore/QString>

// Copies from over to, replacing it. When both name the same file nothing is
// copied and the source is never lost: true when it exists.
bool CopyFileReplacing(const QString& from, const QString& to);

// The stamp file that belongs to a file made in "temp/": cachedFile + ".src".
QString CacheStampPath(const QString& cachedFile);

// True when the stamp of cachedFile names sourcePath with its present size and
// modification time, cachedFile exists, and measuredFile (cachedFile itself
// when empty) has the length the stamp gives.
bool CacheStampMatches(const QString& cachedFile, const QString& sourcePath, const QString& measuredFile = QString());

// Writes the stamp of cachedFile for sourcePath with the present length of
// measuredFile (cachedFile itself when empty), through a temporary file
// renamed into place, without forcing it to the disk. False when the source or
// the measured file cannot be read or the stamp cannot be written.
bool WriteCacheStamp(const QString& cachedFile, const QString& sourcePath, const QString& measuredFile = QString());

// Removes the stamp of cachedFile, so that it is no longer taken as current.
void RemoveCacheStamp(const QString& cachedFile);

// Makes the playable WAV of a plain audio file (".mp3" in any case, else a
// WAV file) in one pass: an MP3 is copied into "temp/" under its own file
// name and decoded straight into the target behind 0.5 s of silence (waiting
// for the real end of the conversion); a WAV file is written to the target
// with the silence in front of its sound. When target was made before from
// the same source, unchanged, and is complete, it is used as it is. False,
// with no target left, when the copy, the conversion or the silence fails.
bool PrepareAudioFile(const QString& sourcePath, const QString& targetPath);

// Where the preparation of a lesson stands, for tests that stop a process
// there: "split" (subtitle and media unpacked), "converting" (the WAV is being
// written), "wav" (written), "stamp-part" (the stamp written under its
// temporary name), "stamp" (in place). Called on the GUI thread; nullptr: none.
using TPrepareStepHook = void (*)(const char* step);
void SetPrepareStepHook(TPrepareStepHook hook);
void PrepareStep(const char* step);
