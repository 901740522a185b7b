#pragma once

// The zip reading component: names an archive, reads its directory into a
// list of entries, offers them sorted, selects entries by wildcard masks and
// extracts them.

#include "ZipCrypt.h"
#include "ZipExceptions.h"
#include "ZipRecords.h"
#include "kpCntn.h"
#include "kpSStrm.h"

#include <QtCore/QDateTime>
#include <QtCore/QSet>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct z_stream_s;

enum class TZipSortMode { ByName, ByFileName, ByDirectoryName, ByDate, ByCompressedSize, ByUnCompressedSize, ByRate, ByNone };
enum class TUZOverwriteMode { Prompt, Always, Never, ifNewer, ifOlder };
enum TIncompleteZipMode { izAssumeMulti, izAssumeBad, izAssumeNotAZip };
enum TSkipReason {
    srBadPassword,
    srNoOverwrite,
    srFileOpenError,
    srCreateError,
    srExcludeList,
    srArchiveBitNotSet,
    srNoFileToFreshen,
    srSkippedInStartZip,
};
enum TSplitPartType { spFirst, spMiddle, spLast };
enum TBlockMode { bmStandard, bmClassic };
enum TMultiMode { mmNone, mmSpan, mmBlocks };

class TSortedZip : public TSortedObjectList {
public:
    TSortedZip(TDuplicates duplicates, TZipSortMode mode = TZipSortMode::ByNone, bool ownsItems = true);
    QString ClassName() const override { return QStringLiteral("TSortedZip"); }
    int Compare(const void* key1, const void* key2) const override;
    TZipSortMode SortMode() const { return FSortMode; }
    void SetSortMode(TZipSortMode m) { FSortMode = m; }
    TZipHeaderInfo* Entry(int i) const { return static_cast<TZipHeaderInfo*>(Get(i)); }

private:
    TZipSortMode FSortMode;
};

class TArcUnZip {
public:
    TArcUnZip();
    virtual ~TArcUnZip();
    TArcUnZip(const TArcUnZip&) = delete;
    TArcUnZip& operator=(const TArcUnZip&) = delete;
    void Assign(const TArcUnZip& source);

    // Properties.
    int ThisVersion() const { return 306; }
    void SetThisVersion(int) {}
    int ThisBuild() const { return 1; }
    void SetThisBuild(int) {}
    QString ZipName() const { return FZipName; }
    virtual void SetZipName(const QString& name);
    QString DestDir() const { return FDestDir; }
    void SetDestDir(const QString& path);
    QString RootDir() const { return FRootDir; }
    void SetRootDir(const QString& path);
    QStringList& RelativePathList() { return FRelativePathList; }
    void SetRelativePathList(const QStringList& l) { FRelativePathList = l; }
    TZipSortMode SortMode() const { return FSortMode; }
    void SetSortMode(TZipSortMode m) { FSortMode = m; }
    bool RecreateDirs() const { return FRecreateDirs; }
    void SetRecreateDirs(bool v) { FRecreateDirs = v; }
    TUZOverwriteMode OverwriteMode() const { return FOverwriteMode; }
    void SetOverwriteMode(TUZOverwriteMode m) { FOverwriteMode = m; }
    QStringList& FilesList() { return FFilesList; }
    void SetFilesList(const QStringList& l) { FFilesList = l; }
    bool DoAll() const { return FDoAll; }
    void SetDoAll(bool v) { FDoAll = v; }
    TIncompleteZipMode IncompleteZipMode() const { return FIncompleteZipMode; }
    void SetIncompleteZipMode(TIncompleteZipMode m) { FIncompleteZipMode = m; }
    bool KeepZipOpen() const { return FKeepZipOpen; }
    void SetKeepZipOpen(bool v) { FKeepZipOpen = v; }
    bool DoProcessMessages() const { return FDoProcessMessages; }
    void SetDoProcessMessages(bool v) { FDoProcessMessages = v; }
    bool RetainAttributes() const { return FRetainAttributes; }
    void SetRetainAttributes(bool v) { FRetainAttributes = v; }
    bool ReplaceReadOnly() const { return FReplaceReadOnly; }
    void SetReplaceReadOnly(bool v) { FReplaceReadOnly = v; }
    bool FlushFilesOnClose() const { return FFlushFilesOnClose; }
    void SetFlushFilesOnClose(bool v) { FFlushFilesOnClose = v; }
    TBlockMode BlockMode() const { return FBlockMode; }
    void SetBlockMode(TBlockMode m) { FBlockMode = m; }
    TOEMConvert OEMConvert() const { return FOEMConvert; }
    void SetOEMConvert(TOEMConvert m) { FOEMConvert = m; }
    // The password used to decrypt (and, for the writer, to encrypt).
    QString Password() const { return FPassword; }
    void SetPassword(const QString& p) { FPassword = p; }

    // Requests other code may raise while a long loop runs (honoured while
    // DoProcessMessages is set).
    void Cancel() { FCancel = true; }
    void SetPause(bool v) { FPause = v; }

    // Events.
    std::function<void(TArcUnZip* sender, int numFiles, int64_t totalBytes, bool& stopNow)> OnStartUnZipInfo;
    std::function<void(TArcUnZip* sender, int fileIndex, QString& fName, bool& skip)> OnStartUnZip;
    std::function<void(TArcUnZip* sender, int fileIndex, const QString& fName)> OnEndUnZip;
    std::function<void(TArcUnZip* sender, int percent)> OnFilePercentDone;
    std::function<void(TArcUnZip* sender, int percent)> OnTotalPercentDone;
    std::function<void(TArcUnZip* sender, bool& overWriteIt, int fileIndex, QString& fName)> OnPromptForOverwrite;
    std::function<void(TArcUnZip* sender, TSkipReason reason, const QString& fName, int fileIndex, bool& retry)> OnSkippingFile;
    std::function<void(TArcUnZip* sender, int fileIndex, QString& newPassword)> OnBadPassword;
    std::function<void(TArcUnZip* sender, uint32_t calcCRC, uint32_t storedCRC, int fileIndex)> OnBadCRC;
    std::function<void(TArcUnZip* sender, TIncompleteZipMode& incompleteMode)> OnInCompleteZip;
    std::function<void(TArcUnZip* sender, int nextDisk, QString& fName)> OnGetNextDisk;
    std::function<void(TArcUnZip* sender, int fileCount)> OnUnZipComplete;
    std::function<void(TArcUnZip* sender, uint8_t* buffer, int length, const QString& password)> OnDecrypt;
    std::function<void(TArcUnZip* sender, QString& fName, int partNum, TSplitPartType splitType)> OnFileNameForSplitPart;
    std::function<void(TArcUnZip* sender, int messageID, const QString& msg1, const QString& msg2, uint32_t flags, int& ret)>
        OnHandleMessage;

    // Operations.
    void ReadZip();
    void OpenZip();
    void CloseZip();
    void ClearZip();
    int UnZip();
    int Count() const;
    QString EntryFileName(int index) const;
    QDateTime EntryDateTime(int index) const;
    // The entry at index of the sorted view (raises on a bad index).
    const TZipHeaderInfo& Entry(int index) const;
    QByteArray GetFileComment(int index);
    void SetFileComment(int index, const QByteArray& text);
    QByteArray GetZipComment();
    void SetZipComment(const QByteArray& text);
    void ApplySortMode(TZipSortMode mode);
    int HandleMessage(int id, const QString& text, const QString& caption, uint32_t flags);
    void StripRelativePath(QString& path, QString& result) const;
    QString LastError() const { return FLastError; }
    bool Repaired() const { return FRepaired; }
    int NumberOfDisks() const { return FNumDisks; }
    const TEndCentral& EndCentral() const { return *FEndCentral; }

    // Multi-volume helpers.
    virtual bool CheckDiskLabels() const { return FCheckDiskLabels; }
    virtual void SetCheckDiskLabels(bool v) { FCheckDiskLabels = v; }
    virtual TMultiMode MultiMode() const { return FMultiMode; }
    virtual void SetMultiMode(TMultiMode m) { FMultiMode = m; }
    void GetNextDisk(int n, QString& name);
    void DefaultGetNextDisk(int n, QString& name);
    void FileNameForSplitPart(QString& name, int n, TSplitPartType type);
    void DefaultFileNameForSplitPart(QString& name, int n, TSplitPartType type) const;
    void OpenDisk(int n);
    // The archive name without its extension (the part after its last dot).
    QString ZipNameNoExtension() const { return FZipNameNoExt; }

protected:
    friend class TUnZipLegacyIO;

    void ReadDirectory(TStream& stream);
    bool RecoverFromLocalHeaders();
    int UnZipFiles(TStream& stream);
    void UnZipOne(int index);
    std::optional<QString> DestinationFolder() const;
    void FlushOutput(int n);
    int ReadInputByte();
    int FillInput();
    int64_t ReadArchiveData(char* buffer, int64_t count);
    void ExtractStored();
    void InflateEntry();
    bool CheckEncryptionHeader();
    // Honours the cancel and pause requests and, while DoProcessMessages is
    // set, processes pending events: after the run's progress moved on, and
    // otherwise now and then (not on every call: a long loop calls it for
    // every entry and every block).
    void CheckCancel();
    // Notes the run's total progress for the event processing above.
    void NoteProgress(int totalPercent);
    void WaitWhilePaused();
    void Skip(TSkipReason reason, const QString& name, int index);
    TZipHeaderInfo* NewHeaderInfo();
    TStream* ArchiveStream() const { return FArchive.get(); }
    int64_t ArchiveSize();
    bool IsMultiVolume() const { return FNumDisks > 1 || FEndCentral->GetThisDisk() > 0; }

    QString FZipName;
    QString FZipNameNoExt;
    QString FDestDir;
    QString FRootDir;
    QStringList FRelativePathList;
    TZipSortMode FSortMode = TZipSortMode::ByNone;
    bool FRecreateDirs = false;
    TUZOverwriteMode FOverwriteMode = TUZOverwriteMode::Prompt;
    QStringList FFilesList;
    bool FDoAll = false;
    TIncompleteZipMode FIncompleteZipMode = izAssumeMulti;
    bool FKeepZipOpen = false;
    bool FDoProcessMessages = true;
    bool FRetainAttributes = true;
    bool FReplaceReadOnly = false;
    bool FFlushFilesOnClose = false;
    TBlockMode FBlockMode = bmStandard;
    TOEMConvert FOEMConvert = oemAlways;
    QString FPassword;

    std::unique_ptr<TSortedZip> FFiles;      // base list, physical order, owns the entries
    std::unique_ptr<TSortedZip> FSortView;   // the sorted view when it is not the base list
    TSortedZip* FSorted = nullptr;
    std::unique_ptr<TZipHeaderInfo> FCurrent;
    std::unique_ptr<TEndCentral> FEndCentral;
    std::unique_ptr<TLFNFileStream> FArchive;
    int64_t FArchiveDate = 0;
    bool FDirectoryRead = false;
    int FCurrentDisk = 0;
    int FNumDisks = 1;
    bool FRepaired = false;
    bool FBusy = false;
    bool FReading = false;
    std::atomic<bool> FCancel {false};
    std::atomic<bool> FPause {false};
    QString FLastError;
    TMultiMode FMultiMode = mmNone;
    bool FCheckDiskLabels = true;

    // Extraction state.
    std::vector<uint8_t> FInBuf;
    std::vector<uint8_t> FOutBuf;
    const uint8_t* FInPtr = nullptr;
    int FInCount = 0;
    int64_t FBytesToRead = 0;
    uint64_t FBytesExpected = 0;
    uint32_t FCrc = 0;
    uint64_t FEntryWritten = 0;
    int64_t FTotalBytes = 0;
    int64_t FTotalWritten = 0;
    int FFilesDone = 0;
    bool FRetry = false;
    bool FDecrypting = false;
    TZipKeys FKeys;
    TStream* FTarget = nullptr;
    QSet<QString> FFoldersMade;  // target folders known to exist in this run
    int64_t FRunArchiveSize = -1;  // size of a single-part archive during a run
    std::unique_ptr<z_stream_s> FInflate;  // one inflate state for the whole run
    // Event processing of CheckCancel.
    std::chrono::steady_clock::time_point FLastPump {};
    int FPumpedPercent = -1;
    int FReportedPercent = -1;
};
