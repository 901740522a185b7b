#pragma once

// The program's global state record, the records that cross module borders,
// and the routines that read and write the local database. Every routine runs
// its own query on DataInterface's connection, binds its values as parameters,
// catches everything and reports failure as false (UserCount as 0); without a
// connected DataInterface each one fails at once.

#include "TimeTags.h"  // the time-tag tests IsLrcTimeTag, IsSrtTimeTag and RegExMatch
#include "UCommonFun.h"

#include <QtCore/QDateTime>
#include <QtCore/QMetaType>
#include <QtCore/QString>
#include <QtCore/QVariant>

struct TUserInfo {
    QString UserName;
    QString UserPass;
};

// The one global state record of the main program (GUI thread only).
struct TSystemPara {
    TUserInfo UserInfo;
    QString FilePath;  // the courseware package or media file open in the current screen
    bool IsPlaying = false;
    TAudioCutSentencePara AudioCutPara;
    qint32 HotKeyF5 = 0;
    qint32 HotKeyF7 = 0;
    qint32 HotKeyF8 = 0;
    qint32 HotKeyF9 = 0;
    qint32 HotKeyAltZ = 0;
    qint32 HotKeyAltX = 0;
};

extern TSystemPara SystemPara;

// The data of a node of the courseware tree.
struct TTreeNodeData {
    qint32 Kind = 0;  // 0 a root, 1 a folder, -1 a courseware package file
    bool IsVideo = false;
    QString Path;
};

// One record per table; Name is the owning user's name.
struct TMediaFileLoad {
    QString Name;
    qint32 MediaType = 0;  // 1 audio, 2 video
    QString Path;
    QString FileName;
};

struct TRecentFileList {
    QString Name;
    qint32 FileType = 0;  // 1 audio file, 2 video file, 3 audio courseware, 4 video courseware
    QString Path;
    QString FileName;
};

struct TTranslateRecord {
    QString Name;
    qint32 WordCount = 0;
    qint32 MoveCount = 0;
    QString Accuracy;
    QString Sentence;
    QDateTime EndTime;
    qint32 CostTime = 0;
    QString KeJianName;
};

struct TSentenceList {
    QString Name;
    QString FileName;
    QString English;
    QString China;
    QString Mp3File;  // an MP3 clip of the sentence to store with the row
    QDateTime OperateTime;
};

struct TSingleDictateRecord {
    QString Name;
    QString Accuracy;
    QDateTime DictateTime;
    qint32 CostTime = 0;  // seconds
    QString KeJianName;
};

struct TStudySpeakRecord {
    QString Name;
    QDateTime RecordTime;
    qint32 CostTime = 0;
    qint32 RecordFileSize = 0;  // bytes
    QString Content;
};

// Date-times are stored as ISO-8601 text in local time,
// "yyyy-MM-ddTHH:mm:ss.zzz"; an invalid date-time is stored as NULL.
QVariant DateTimeToDb(const QDateTime& value);
// Reads a date-time column back; NULL or empty text gives an invalid QDateTime.
QDateTime DateTimeFromDb(const QVariant& value);

bool AddUser(const TUserInfo& user);
bool UpdateLastLoginTime(const QString& userName, const QDateTime& time);
bool UpdateFirstUseTime(const QString& userName, const QDateTime& time);

bool AddTransferRecord(const TTranslateRecord& record);
bool DeleteTransferRecord(qint32 id);

bool AddMediaFileLoad(const TMediaFileLoad& media);
bool DeleteMediaFileLoad(const TMediaFileLoad& media);  // by Path and Name

bool AddRecentFile(const TRecentFileList& recent);
bool DeleteRecentFile(const TRecentFileList& recent);  // by Path and Name
bool ClearRecentFiles();                               // of the current user

// Stores the bytes of the file Mp3File with the row when that file exists.
bool AddSentenceList(const TSentenceList& sentence);
bool DeleteSentenceList(qint32 id);
// Writes the stored sound of a sentence to fileName (created or replaced).
// False, and no file written, when there is no such row or no sound.
bool SaveSentenceMp3ToFile(qint32 id, const QString& fileName);

bool AddSingleDictateRecord(const TSingleDictateRecord& record);
bool DeleteSingleDictateRecord(qint32 id);

bool AddStudySpeakRecord(const TStudySpeakRecord& record);
bool DeleteStudySpeakRecord(qint32 id);

// Fills para from the first plan marked default; with none, the built-in
// values 2500, 5, 1200, 150 (the plan name unchanged).
bool LoadDefaultCutPlan(TAudioCutSentencePara& para);
// Makes the named plan the only default, in one transaction: when no plan has
// that name, or a step fails, nothing changes and the result is false.
bool SetDefaultCutPlan(const QString& planName);

bool UserExists(const QString& userName);
// True when the user has no first-use time yet, also when there is no such user.
bool IsFirstUse(const QString& userName);
qint32 UserCount();

class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

// ---------------------------------------------------------------------------
// Hot keys. RegisterHotKeys registers, in this order, F5, F7, F8, F9, Alt+Z and
// Alt+X on window (the main window) under the atoms of "HOTKEY_F5",
// "HOTKEY_F7", "HOTKEY_F8", "HOTKEY_F9", "HOTKEY_ALT_Z" and "HOTKEY_ALT_X",
// which it stores in SystemPara. They work while any window of the program is
// active; a pressed hot key reaches window as a THotKeyEvent (HotKeys.h) whose
// Id is the atom. A key already held by another registration is left to it;
// the others are registered all the same. UnregisterHotKeys drops the six
// registrations stored in SystemPara; the atoms stay.
void RegisterHotKeys(QWidget* window);
void UnregisterHotKeys(QWidget* window);

// ---------------------------------------------------------------------------
// The courseware tree is a one-column QTreeWidget. Every item holds a copy of
// its TTreeNodeData in data(0, TreeNodeDataRole) (copied in and out with the
// two routines below, so nothing needs freeing) and its image index (0 folder
// or root, 1 audio package, 2 video package) in data(0, TreeNodeImageRole).
// When the tree carries the icons of those indexes as its property
// TreeImageListProperty (a QList<QIcon>), an item's icon follows its index.
// Paths: a root holds the program folder + "audio" or "video" without a
// trailing '/'; a folder or package holds its parent's path, '/' and its name.
constexpr int TreeNodeDataRole = Qt::UserRole;
constexpr int TreeNodeImageRole = Qt::UserRole + 1;
inline constexpr char TreeImageListProperty[] = "KeJianImages";

bool HasTreeNodeData(const QTreeWidgetItem* item);
TTreeNodeData TreeNodeData(const QTreeWidgetItem* item);  // a default record when it has none
void SetTreeNodeData(QTreeWidgetItem* item, const TTreeNodeData& data);
void SetTreeNodeImage(QTreeWidgetItem* item, int imageIndex);

// Adds a package node (kind -1, text the file name without its extension)
// under the root or folder node whose path + '/' equals the package's folder
// (the path up to and including its last '/'; exact comparison; of several,
// the last in tree order). Returns the new node, or null when no node matched.
QTreeWidgetItem* AddKeJianFileNode(QTreeWidget* tree, const QString& packagePath, bool isVideo);
// Adds a folder node (kind 1, path parentPath + '/' + dirName) under the root
// or folder node whose path equals parentPath (the last match in tree order).
// Returns the new node, or null when no node matched.
QTreeWidgetItem* AddKeJianDirNode(QTreeWidget* tree, const QString& parentPath, const QString& dirName,
                                  bool isVideo);
// True when the program folder + "audio/" or + "video/" occurs in path
// (case-sensitive).
bool IsInCoursewareFolder(const QString& path);

Q_DECLARE_METATYPE(TTreeNodeData)
