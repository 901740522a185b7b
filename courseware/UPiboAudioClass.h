#pragma once

// Audio lessons: the sentence record, the ".plrc" and ".lrc" subtitle files and
// the automatic cutting of a WAV recording into sentences.
//
// A lesson's subtitle lies next to its media file under the same base name:
// ".plrc" (three lines per sentence: the time mm:ss.cc, the English line, the
// Chinese line) is preferred to ".lrc" (one line per sentence: "[mm:ss.cc]"
// and the English line). Files are read in UTF-16LE with its mark, UTF-8 or
// ANSI and never changed by reading; they are written in ANSI (GBK) with CR LF
// line ends. Times of 100 minutes and more have three minute digits.

#include "UCommonFun.h"

#include <QtCore/QList>
#include <QtCore/QString>

// One sentence of an audio lesson.
struct TAudioLrcItem {
    QString StartTime;  // mm:ss.cc
    QString EndTime;    // mm:ss.cc, set by the player: the next sentence's start, or the total time
    QString China;
    QString English;
    bool Selected = false;
};
using TAudioLrcItems = QList<TAudioLrcItem>;

// Reads the subtitle of mediaPath (its ".plrc", else its ".lrc") into items,
// in file order; EndTime and Selected stay empty and false. No subtitle file
// gives an empty list and true.
// ".plrc": groups of three lines (time, English, Chinese); a last group cut
// short by the end of the file is dropped. ".lrc": one "[mm:ss.cc]English"
// line per sentence (nothing is trimmed); blank lines and header tags
// ([ti:...], [ar:...], [offset:...] and the like) are passed over.
// One time tag that fails the test (a blank ".plrc" line in the place of a
// time too) empties the list: the result is false with that line's number
// (from 1) in errorLine. errorLine is 0 otherwise, also when the file itself
// cannot be read (false, empty list).
bool LoadLrcFile(TAudioLrcItems& items, const QString& mediaPath, int* errorLine = nullptr);

// Writes items as a ".plrc": StartTime, English and China of each sentence in
// array order. Replaces path only when the new file is complete.
bool SavePlrcFile(const TAudioLrcItems& items, const QString& path);

// When plrcPath exists and lrcPath does not: writes lrcPath with one line
// "[" + time + "]" + English per three-line group of plrcPath, stopping at
// the first incomplete group. False when nothing was written.
bool PlrcToLrc(const QString& plrcPath, const QString& lrcPath);

// Adds offsetMs to the time tag of every sentence line of the ".lrc" at path,
// except the first sentence line, and writes the file back (ANSI, CR LF).
// Header tags, blank lines and lines without a time tag stay as they are.
// Used with 500 when an ".lrc" is taken for a WAV that carries 0.5 s of
// silence in front: the first sentence still starts at the file's start.
bool ShiftLrcFile(const QString& path, qint32 offsetMs);

// Results of AutoCutSentences.
constexpr int AutoCutOk = 0;         // the subtitle was written
constexpr int AutoCutNoFile = 2;     // the WAV file does not exist
constexpr int AutoCutNotPcm = 3;     // the data is not PCM
constexpr int AutoCutFailed = 4;     // not a readable WAVE file, a read failed, or the subtitle could not be written

// Scans the PCM data of the WAV at wavPath for quiet stretches and writes a
// ".plrc" at plrcPath: a sentence at 00:00.00, and one at the middle of every
// quiet stretch of at least para.BreakValue ms that ends a segment of at least
// para.MinLength ms, as long as at least para.MinLength ms of data follow it.
// A frame is quiet when the magnitude of every channel's sample lies below
// para.NoiseValue or below para.MuteValue, levels on the 16-bit scale (8-bit
// samples are scaled up). Texts are empty. Reads the data chunk once, in
// blocks, with constant memory. 8- and 16-bit mono and stereo data is
// analysed; other PCM layouts give the single sentence 00:00.00.
int AutoCutSentences(const QString& wavPath, const QString& plrcPath, const TAudioCutSentencePara& para);
