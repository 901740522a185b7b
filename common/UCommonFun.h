#pragma once

// Types shared by many modules of both programs.

#include "ConvertError.h"

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QRect>
#include <QtCore/QString>
#include <QtCore/QStringList>

// One automatic sentence-cutting plan (a row of table AudioCutPlan). The
// member defaults are the built-in plan used when no plan is marked default.
struct TAudioCutSentencePara {
    qint32 NoiseValue = 2500;  // sample level below which sound counts as quiet
    qint32 MuteValue = 5;      // second quiet threshold of the cutter
    qint32 MinLength = 1200;   // minimum sentence length in ms
    qint32 BreakValue = 150;   // minimum silence in ms that ends a sentence
    QString PlanName;
};

// A growable array of 32-bit integers (play queues, shuffles).
using TIntAry = QList<qint32>;

// ---------------------------------------------------------------------------
// Common routines of both programs. None keeps state between calls; all run on
// the GUI thread.

// Update.ini in the program folder, shared with the updater: the main program
// reads Version and RemoteVersion; the updater reads Version, Update (the base
// name of the update list), Exe (the main program, relative to the program
// folder) and Http (the base address of the update folder), and writes Version
// and RemoteVersion. Missing keys read as empty texts.
inline constexpr char UpdateIniName[] = "Update.ini";
inline constexpr char UpdateIniSection[] = "Update";
inline constexpr char UpdateKeyVersion[] = "Version";
inline constexpr char UpdateKeyRemoteVersion[] = "RemoteVersion";
inline constexpr char UpdateKeyUpdate[] = "Update";
inline constexpr char UpdateKeyExe[] = "Exe";
inline constexpr char UpdateKeyHttp[] = "Http";

// The program files in the program folder.
inline constexpr char UpdaterProgramName[] = "pibozun";  // the launcher and updater
inline constexpr char MainProgramName[] = "pibozunexc";  // the study program

// True when x, y lies strictly inside rect: all four borders excluded. The
// right and bottom borders are the edges just outside the rectangle, as
// Rect(left, top, right, bottom) of the platform gives them.
bool PointInRect(int x, int y, const QRect& rect);

// Shuffles the array in place, every order equally likely, with the process's
// random generator.
void RandomizeIntArray(TIntAry& values);

// Time texts. Audio: mm:ss.cc, minutes of two digits, or three from 100
// minutes on. Video: hh:mm:ss,mmm, hours of two digits, or three from 100
// hours on. Writing truncates to hundredths; a negative time is written as 0.
// The readers take exactly these forms (the character between seconds and
// hundredths of the audio form is not looked at) and raise EConvertError on
// any other text.
QString MSecToLrcTime(qint32 ms);
qint32 LrcTimeToMSec(const QString& text);
QString MSecToSrtTime(qint32 ms);
qint32 SrtTimeToMSec(const QString& text);

// Splits text at every sep into list (cleared first). A part that is blank
// (only spaces and control characters) is dropped, the others are kept
// untrimmed; the rest after the last separator is kept when not empty.
void SplitString(const QString& text, const QString& sep, QStringList& list);
// The same, keeping every part, empty ones included: "a,b," gives a, b and an
// empty part; an empty text gives one empty part.
void SplitStrings(const QString& text, const QString& sep, QStringList& strings);

// Renames a file or folder. False when it failed, also when newPath exists.
bool ShellRenameFile(const QString& oldPath, const QString& newPath);

// 1 for an audio extension (".wav", ".mp3"), 2 for a video extension (".asf",
// ".avi", ".wmv"), 0 otherwise. The whole extension with its point is compared,
// without regard to case.
int MediaKindOfExt(const QString& ext);

// Opens target: a web address (a scheme such as "http:", or starting "www.")
// in the default browser; a program file (absolute, or relative to the program
// folder) is started with the program folder as working folder, without
// arguments and without waiting; any other existing file with the program the
// desktop associates with it. True when that succeeded.
bool RunProgram(const QString& target);

// True when a connection to the host of url (its port, else 443 for https and
// 80 otherwise) can be made within timeoutMs. Never waits longer.
bool IsOnline(const QString& url, int timeoutMs = 2000);

// Deletes every plain file directly in folder (hidden ones too); subfolders and
// their contents stay. True when none is left: a missing folder is true, an
// empty path false. The files that could not be deleted go to notDeleted.
bool ClearFolder(const QString& folder, QStringList* notDeleted = nullptr);

// Text files in the user's hands (subtitles) come as UTF-16LE with its mark,
// UTF-8 with or without its mark, or ANSI (GBK). These routines decode them in
// memory; the file is never written. Line ends are left as they are.
QString DecodeTextBytes(const QByteArray& bytes);
// Subtitle files from this size on are not read, inside packages or not.
constexpr qint64 MaxSubtitleFileSize = 16 * 1024 * 1024;
// The text of the file; false when it cannot be read or has
// MaxSubtitleFileSize bytes or more.
bool ReadTextFile(const QString& path, QString& text);
// The text of the file in the ANSI code page; false when it cannot be read.
bool ConvertTextFileToAnsi(const QString& path, QByteArray& ansiText);

// True when Version and RemoteVersion of Update.ini differ (exact comparison of
// the texts; missing keys are empty).
bool HasNewVersion();
