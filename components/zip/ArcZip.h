#pragma once

// The zip writing component: builds a new archive, or rewrites an existing
// one, from the files listed in FilesList, and writes multi-volume archives.

#include "ArcUnZip.h"
#include "KpLib.h"

#include <QtCore/QString>
#include <QtCore/QStringList>

#include <vector>

enum TZipAction { zaUpdate, zaReplace, zaFreshen };
enum TUpdateAction { uaReplacing, uaKeeping };

class TMultiZipInfo {
public:
    void Assign(const TMultiZipInfo& s) { *this = s; }
    int64_t BlockSize() const { return FBlockSize; }
    void SetBlockSize(int64_t v) { FBlockSize = v; }
    int64_t FirstBlockSize() const { return FFirstBlockSize; }
    void SetFirstBlockSize(int64_t v) { FFirstBlockSize = v; }
    int64_t SaveOnFirstDisk() const { return FSaveOnFirstDisk; }
    void SetSaveOnFirstDisk(int64_t v) { FSaveOnFirstDisk = v; }
    bool SaveZipInfoOnFirstDisk() const { return FSaveZipInfoOnFirstDisk; }
    void SetSaveZipInfoOnFirstDisk(bool v) { FSaveZipInfoOnFirstDisk = v; }
    TMultiMode MultiMode() const { return FMultiMode; }
    void SetMultiMode(TMultiMode m) { FMultiMode = m; }
    bool CheckDiskLabels() const { return FCheckDiskLabels; }
    void SetCheckDiskLabels(bool v) { FCheckDiskLabels = v; }
    bool WriteDiskLabels() const { return FWriteDiskLabels; }
    void SetWriteDiskLabels(bool v) { FWriteDiskLabels = v; }

private:
    int64_t FBlockSize = 1457600;
    int64_t FFirstBlockSize = 0;
    int64_t FSaveOnFirstDisk = 0;
    bool FSaveZipInfoOnFirstDisk = false;
    TMultiMode FMultiMode = mmNone;
    bool FCheckDiskLabels = true;
    bool FWriteDiskLabels = true;
};

class TArcZip : public TArcUnZip {
public:
    TArcZip();
    ~TArcZip() override;
    void Assign(const TArcZip& source);

    void SetZipName(const QString& name) override;
    bool CheckDiskLabels() const override { return FMultiZipInfo.CheckDiskLabels(); }
    void SetCheckDiskLabels(bool v) override
    {
        FMultiZipInfo.SetCheckDiskLabels(v);
        FCheckDiskLabels = v;
    }
    TMultiMode MultiMode() const override { return FMultiZipInfo.MultiMode(); }
    void SetMultiMode(TMultiMode m) override
    {
        FMultiZipInfo.SetMultiMode(m);
        FMultiMode = m;
    }

    int PackLevel() const { return FPackLevel; }
    void SetPackLevel(int v) { FPackLevel = v; }
    bool Recurse() const { return FRecurse; }
    void SetRecurse(bool v) { FRecurse = v; }
    bool Dispose() const { return FDispose; }
    void SetDispose(bool v) { FDispose = v; }
    bool StorePaths() const { return FStorePaths; }
    void SetStorePaths(bool v);
    bool RelativePaths() const { return FRelativePaths; }
    void SetRelativePaths(bool v);
    bool StoreVolumes() const { return FStoreVolumes; }
    void SetStoreVolumes(bool v);
    TZipAction ZipAction() const { return FZipAction; }
    void SetZipAction(TZipAction a) { FZipAction = a; }
    TMultiZipInfo& MultiZipInfo() { return FMultiZipInfo; }
    void SetMultiZipInfo(const TMultiZipInfo& m)
    {
        FMultiZipInfo.Assign(m);
        FMultiMode = m.MultiMode();
        FCheckDiskLabels = m.CheckDiskLabels();
    }
    bool Store83Names() const { return FStore83Names; }
    void SetStore83Names(bool v) { FStore83Names = v; }
    QString TempPath() const { return FTempPath; }
    void SetTempPath(const QString& p) { FTempPath = p; }
    bool SkipIfArchiveBitNotSet() const { return FSkipIfArchiveBitNotSet; }
    void SetSkipIfArchiveBitNotSet(bool v) { FSkipIfArchiveBitNotSet = v; }
    bool ResetArchiveBitOnZip() const { return FResetArchiveBitOnZip; }
    void SetResetArchiveBitOnZip(bool v) { FResetArchiveBitOnZip = v; }
    QStringList& ExcludeList() { return FExcludeList; }
    void SetExcludeList(const QStringList& l) { FExcludeList = l; }
    QStringList& NoCompressList() { return FNoCompressList; }
    void SetNoCompressList(const QStringList& l) { FNoCompressList = l; }
    bool AddDirEntriesOnRecurse() const { return FAddDirEntriesOnRecurse; }
    void SetAddDirEntriesOnRecurse(bool v) { FAddDirEntriesOnRecurse = v; }
    bool IncludeHiddenFiles() const { return FSearchAttr & faHidden; }
    void SetIncludeHiddenFiles(bool v) { SetAttrBit(faHidden, v); }
    bool IncludeSysFiles() const { return FSearchAttr & faSysFile; }
    void SetIncludeSysFiles(bool v) { SetAttrBit(faSysFile, v); }
    bool IncludeReadOnlyFiles() const { return FSearchAttr & faReadOnly; }
    void SetIncludeReadOnlyFiles(bool v) { SetAttrBit(faReadOnly, v); }
    bool IncludeArchiveFiles() const { return FSearchAttr & faArchive; }
    void SetIncludeArchiveFiles(bool v) { SetAttrBit(faArchive, v); }

    std::function<void(TArcZip* sender, int numFiles, int64_t totalBytes, TEndCentral*& endCentralRecord, bool& stopNow)> OnStartZipInfo;
    std::function<void(TArcZip* sender, const QString& fName, TZipHeaderInfo& zipHeader, bool& skip)> OnStartZip;
    std::function<void(TArcZip* sender, const QString& fName, int64_t uncompressedSize, int64_t compressedSize, int64_t currentZipSize)>
        OnEndZip;
    std::function<void(TArcZip* sender, const QString& fName, bool& skip)> OnDisposeFile;
    std::function<void(TArcZip* sender, const QString& fName)> OnNoSuchFile;
    std::function<void(TArcZip* sender, int fileCount)> OnZipComplete;
    std::function<void(TArcZip* sender, TUpdateAction action, int fileIndex)> OnUpdate;
    std::function<void(TArcZip* sender, int diskNum)> OnPrepareNextDisk;
    std::function<void(TArcZip* sender, const QString& fName)> OnRecursingFile;
    std::function<void(TArcZip* sender, uint8_t* buffer, int length, const QString& password)> OnEncrypt;
    std::function<void(TArcZip* sender, const QString& fName, int64_t fileSize)> OnStartSpanCopy;

    int Zip();
    bool IsExcluded(const QString& path) const;
    bool IsNoCompress(const QString& name) const;
    QString StoredPathOf(const QString& path) const;
    QString GetTempDir() const;

protected:
    int ProcessFiles();
    void ExpandFileList();
    void CreateNewArchive(const QString& outputName);
    void ProcessExistingEntries();
    void ZipFileAt(int index);
    void AddToNewDirectory(const QString& line);
    void ReplaceOldArchive();
    void DisposeFiles();
    bool ZipOneFile(const QString& path);
    int64_t StoreData();
    int64_t DeflateData(int64_t& bytesRead);
    int64_t ReadSource(uint8_t* buffer, int64_t n);
    void WriteCompressed(uint8_t* buffer, int64_t size, int64_t count);
    void CopyExistingEntry(TZipHeaderInfo& entry);
    int64_t RoomLeft();
    void NextPart();
    void CopySpanned(const QString& tempName);
    void SaveConfigFile(const QString& name);
    bool IsMulti() const { return MultiMode() != mmNone; }
    // The run's buffer, made (DeflateBlock bytes) when first used.
    static std::vector<uint8_t>& RunBuffer(std::vector<uint8_t>& buffer);
    void FreeRunState();

private:
    void SetAttrBit(uint32_t bit, bool v) { FSearchAttr = v ? (FSearchAttr | bit) : (FSearchAttr & ~bit); }
    bool InArchive(const QString& storedName) const;
    TStream& Output() { return FTempStream ? *static_cast<TStream*>(FTempStream.get()) : *static_cast<TStream*>(FOut.get()); }

    int FPackLevel = 6;
    bool FRecurse = false;
    bool FDispose = false;
    bool FStorePaths = false;
    bool FRelativePaths = false;
    bool FStoreVolumes = false;
    TZipAction FZipAction = zaUpdate;
    TMultiZipInfo FMultiZipInfo;
    bool FStore83Names = false;
    QString FTempPath;
    bool FSkipIfArchiveBitNotSet = false;
    bool FResetArchiveBitOnZip = false;
    QStringList FExcludeList;
    QStringList FNoCompressList;
    bool FAddDirEntriesOnRecurse = false;
    uint32_t FSearchAttr = 0x39;

    // Run state.
    std::unique_ptr<TLFNFileStream> FOut;
    QString FOutName;
    QStringList FPartNames;
    std::unique_ptr<TFileStream> FInput;
    std::unique_ptr<TLFNFileStream> FTempStream;
    QString FTempName;
    std::unique_ptr<TSortedZip> FNewByName;
    std::unique_ptr<TSortedZip> FNewFiles;
    std::unique_ptr<TEndCentral> FNewEnd;
    bool FUpdating = false;
    QStringList FDisposeList;
    int FFileCount = 0;
    int64_t FRoom = 0;
    int64_t FSourceRead = 0;
    int64_t FSourceSize = 0;
    TZipKeys FWriteKeys;
    bool FEncrypting = false;
    // Buffers and the deflate state, made once per run.
    std::vector<uint8_t> FRunIn;
    std::vector<uint8_t> FRunOut;
    std::unique_ptr<z_stream_s> FDeflate;
    int FDeflateLevel = -1;
};
