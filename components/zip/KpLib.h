#pragma once

// File-system helpers of the zip library: folder tests and creation, a
// recursive directory search with wildcard folders, date and size helpers,
// moving and copying files, free space, and the event pump of long loops.
// Paths use '/'.

#include <QtCore/QDateTime>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <cstdint>
#include <memory>
#include <vector>

class TFileStream;

// File attribute bits as the archive stores them. Only read-only and folder
// are derived from the file system here.
enum : uint32_t {
    faReadOnly = 0x01,
    faHidden = 0x02,
    faSysFile = 0x04,
    faVolumeID = 0x08,
    faDirectory = 0x10,
    faArchive = 0x20,
    faAnyFile = 0x3F,
};

// One entry found by a directory search.
struct TSearchRec {
    QString Name;
    int64_t Size = 0;
    uint32_t Attr = 0;
    int64_t Time = 0;  // seconds since the epoch
};

bool DirectoryReachable(const QString& path);
void MakeDirectoryPath(const QString& path);
QString StripTrailingBackslash(const QString& path);
// Processes pending events of the application (when there is one); the
// answer is whether a quit was seen, which this platform never reports here.
bool PumpPendingMessages();

class TSearchData {
public:
    TSearchData(const QString& folder, uint32_t attributes, const QString& pattern);
    bool FindNextEntry();
    bool Done = false;
    QString Folder;
    QString Pattern;
    int LastResult = 0;
    TSearchRec SearchRec;

private:
    bool Load(int index);
    QStringList FNames;
    int FIndex = 0;
    uint32_t FAttributes;
};

class TDirSearch {
public:
    TDirSearch(const QString& folder, uint32_t attributes, bool recurse, const QString& pattern);
    ~TDirSearch();
    // The next path ('/'-terminated for a folder), empty when done.
    QString NextFile(TSearchRec& rec);

private:
    static constexpr int MaxLevels = 21;
    std::vector<std::unique_ptr<TSearchData>> FLevels;
    int FLevel = 0;
    QString FPattern;
    bool FRecurse;
    QStringList FComponents;
    int FComponentIndex = 0;
    uint32_t FAttributes;
    std::vector<bool> FWildLevel;
};

bool IsRealDirectory(const TSearchRec& rec);
bool IsDirectory(const TSearchRec& rec);
int64_t SearchRecSize(const TSearchRec& rec);
int64_t Min64(int64_t a, int64_t b);
int64_t Max64(int64_t a, int64_t b);
int Percent(int64_t done, int64_t total);
void SlashesToForward(QString& s);
void SlashesToBackward(QString& s);
QString RightStr(const QString& text, int n);
QString LeftStr(const QString& text, int n);

// Attributes, size and modification time of a file or folder (Name is left
// alone); false when it is missing.
bool FileInfoOf(const QString& path, TSearchRec& rec);
// The file's modification time as an MS-DOS value, 0xFFFFFFFF when missing.
uint32_t FileDosDateTime(const QString& path);
QDateTime FileDateTime(const QString& path);
// File attributes (faDirectory, faReadOnly, faArchive); -1 when missing.
int64_t FileGetAttr(const QString& path);
bool FileSetAttr(const QString& path, uint32_t attr);
bool FileSetDate(const QString& path, uint32_t dosDateTime);

// Renames within one file system; false when the two lie on different ones.
// The target (a file) is replaced in one step, so it is never missing in
// between.
bool RenameOnSameDrive(const QString& source, const QString& target);
// Renames, or copies into a new file beside the target that then replaces
// it in one step; the source stays when it was copied. Raises on failure.
void MoveOrCopyFile(const QString& source, const QString& target);
// Creates a new empty file "KPZ..." in folder and answers its name.
QString UniqueTempFileName(const QString& folder);
// Creates the file at path, which must not exist yet (nothing is there, not
// even a link), with the ordinary mode under the user's umask, and answers it
// open for writing; nullptr when something is there. Raises EFCreateError.
std::unique_ptr<TFileStream> CreateNewFile(const QString& path);
// Creates a new file "KPZ..." in folder with the ordinary mode under the
// user's umask, for a file that is to take another's place, and answers it
// open for writing (its name in name). Raises EFCreateError.
std::unique_ptr<TFileStream> CreateUniqueFile(const QString& folder, QString& name);
// The stored date and attributes given to an open file.
bool HandleSetDate(int handle, uint32_t dosDateTime);
bool HandleSetAttr(int handle, uint32_t attr);
// Converts the text to the archive code page and back.
QString OemRoundTrip(const QString& text);
int64_t DiskFreeSpace(const QString& path);
int64_t ClusterSize(const QString& path);
