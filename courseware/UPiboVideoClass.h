#pragma once

// Video lessons: the cue record and the SubRip-style subtitle files.
//
// A video's subtitle lies next to it under the same base name: ".srt" as
// delivered or written by the courseware maker, ".psrt" as the working copy a
// package may carry. Each cue: an index line (1, 2, 3 ...), the line
// "hh:mm:ss,mmm --> hh:mm:ss,mmm", the English line, the Chinese line and an
// empty line. Files are read in UTF-16LE with its mark, UTF-8 or ANSI and
// never changed by reading; they are written in ANSI (GBK) with CR LF line
// ends. Times of 100 hours and more have three hour digits.

#include <QtCore/QList>
#include <QtCore/QString>

// One cue of a video lesson.
struct TVideoLrcItem {
    QString StartTime;  // hh:mm:ss,mmm
    QString EndTime;    // hh:mm:ss,mmm, the cue's end as stored in the file
    QString NextStart;  // hh:mm:ss,mmm, set by the player: the next cue's start, or the total time
    QString China;
    QString English;
    bool Selected = false;
};
using TVideoLrcItems = QList<TVideoLrcItem>;

// Reads the subtitle of mediaPath into items in file order: its ".srt" when
// that exists, else its ".psrt"; neither gives an empty list and true. Empty
// lines between cues are skipped; the index line's content and whatever
// follows the end time on the time line are not looked at;
// a cue whose Chinese line is missing at the end of the file gets an empty
// one. A cue whose time line cannot be read is left out up to the next empty
// line, the cues around it are kept, and the result is false with the number
// (from 1) of the first line that could not be read in errorLine; errorLine
// is 0 otherwise, also when the file itself cannot be read (false, empty
// list). NextStart and Selected stay empty and false.
bool LoadSrtFile(TVideoLrcItems& items, const QString& mediaPath, int* errorLine = nullptr);

// Writes items as a ".srt": for item i (from 0) the index i + 1,
// StartTime + " --> " + EndTime, English, China and an empty line. Replaces
// path only when the new file is complete.
bool SaveSrtFile(const TVideoLrcItems& items, const QString& path);
