#pragma once

// The launcher and updater: its start-up routines and the whole run.

#include <QtCore/QString>
#include <QtCore/QtGlobal>

// The update state of one run: what Update.ini says and what the downloaded
// update list offers.
struct TUpdatePara {
    QString Version;        // [Update] Version: the installed version
    QString UpdateFile;     // [Update] Update with ".xml" appended (when not empty): the update list's file name
    QString Http;           // [Update] Http: base address of the update folder on the server
    QString Exe;            // [Update] Exe: the main program, relative to the program folder
    QString RemoteVersion;  // the version the update list offers
    qint32 UpdateSign = 0;  // the list's UpdateSign; 0: no update offered
};

// The one instance of the run.
extern TUpdatePara UpdatePara;

// The work folders in the program folder (provided by the installation).
QString UpdateFolder();        // "update/"
QString UpdateBackupFolder();  // "update/backup/"

// Reads Version, Update (".xml" appended when not empty), Exe and Http of
// section Update of Update.ini; missing keys read as empty texts.
void ReadUpdatePara(TUpdatePara& para);
// True when the update server of the base address can be reached.
bool CheckUpdateServer(const QString& http);
// Fetches Http + "/" + UpdateFile into the update folder.
bool DownloadUpdateList(const TUpdatePara& para, bool* timedOut = nullptr);
// Fetches url into fileName (removed first), the whole transfer bounded by
// the list's time limit (UpdateTimeLimits). True when the whole body of a
// successful response is in the file; on failure no file is left, and
// timedOut (when given) tells whether a time-out ended the transfer.
bool DownloadUrlToFile(const QString& url, const QString& fileName, bool* timedOut = nullptr);
// Write [Update] RemoteVersion / Version of Update.ini; false when the file
// could not be written.
bool WriteRemoteVersion(const QString& version);
bool WriteLocalVersion(const QString& version);

// The file that starts the main program named exe: program folder + exe; when
// exe ends in ".exe" and no such file exists, the name without it. Empty when
// exe is empty.
QString MainProgramPath(const QString& exe);
// Starts the main program named exe from the program folder (full path, the
// program folder as working folder, no arguments, without waiting). False
// when it could not be started (missing, not executable).
bool StartMainProgram(const QString& exe);

// The run: one copy per program folder (a second copy ends at once); empties
// the work folders, reads Update.ini, checks the server, fetches the update
// list and, when an update is offered, runs the update window until it is
// closed. Whatever happened, the lock is then released and the main program
// started; when it cannot be started, the user is told. Needs a
// QApplication. Returns the process exit code.
int RunPibozun();

// The title of the application.
inline constexpr const char16_t* UpdaterApplicationTitle = u"皮博学习室";
