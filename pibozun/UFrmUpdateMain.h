#pragma once

// The update window: offers the update the downloaded list describes and, on
// the user's click, downloads the listed files and puts them in place.

#include "UFrmModel.h"

#include <QtCore/QList>
#include <QtCore/QPair>
#include <QtCore/QString>

class QCloseEvent;
class QLabel;
class QProgressBar;
class TPiboSpeedButton;
class TUpdateHttp;
struct TUpdatePara;

// One file of the update list.
struct TUpdateFileItem {
    QString Name;        // attribute Name: the file's name on the server and in the update folder
    QString Url;         // attribute Http followed directly by Name
    QString TempFile;    // update folder + Name
    QString TargetFile;  // program folder + attribute ReplaceDes
};
using TUpdateFileList = QList<TUpdateFileItem>;

// A path the update list gives, relative to a folder, in the form it is used:
// '\' and '/' both separate, "." and empty parts are dropped. Empty (refused)
// for an absolute path, a drive, a ".." part, or nothing left.
QString ConfinedRelativePath(const QString& listed);

class TFrmUpdateMain : public TFrmModel {
    Q_OBJECT
public:
    explicit TFrmUpdateMain(QWidget* parent = nullptr);
    ~TFrmUpdateMain() override;

    QLabel* Label4;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* labRefreshCount;
    QLabel* Label5;
    QProgressBar* ProgressBar;
    TPiboSpeedButton* ppsbOk;
    TPiboSpeedButton* ppsbCancel;
    TUpdateHttp* IdHTTP;

    // True when creation found no update to offer: the run ends without
    // showing the window.
    bool Terminated() const { return FTerminated; }
    // The list arrived but could not be used (damaged, inconsistent or naming
    // paths outside the program folder).
    bool ListRefused() const { return FListRefused; }
    const TUpdateFileList& FileList() const { return FFileList; }

    void FormCreate();
    // Reads the update list of para's UpdateFile from the update folder into
    // para's RemoteVersion and UpdateSign and the window's file list. False
    // when it is missing or not well-formed, a value is missing or not a
    // number, FileList's Count differs from the number of its elements, or a
    // Name or ReplaceDes would lead out of its folder.
    bool LoadUpdateFileList(TUpdatePara& para);
    // Fetches every listed file into the update folder, each transfer bounded
    // by the file time limit of UpdateTimeLimits.
    bool DownloadUpdateFiles();
    // Moves every existing target into the backup folder, then every download
    // onto its target with the mode of the file it replaces. False at the first step that fails (a target that is
    // not a plain file, a rename that does not happen); what was done so far is
    // then for RestoreBackupFiles to undo.
    bool ReplaceUpdateFiles();
    // Undoes a replace: removes the files it put in place and moves the backups
    // back. False when an original could not be put back (it then stays in the
    // backup folder).
    bool RestoreBackupFiles();

    void ppsbOkClick();
    void ppsbCancelClick();
    void IdHTTPWorkBegin(qint64 workCountMax);
    void IdHTTPWork(qint64 workCount);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    TUpdateFileList FFileList;
    // The replace step's record: targets moved to the backup folder (target,
    // backup), and targets the new files were moved onto.
    QList<QPair<QString, QString>> FBackedUp;
    QStringList FInstalled;
    bool FTerminated = false;
    bool FListRefused = false;
};
