#include "ArcZip.h"

#include "KpLib.h"
#include "kpMatch.h"

#include "AnsiText.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QHash>
#include <QtCore/QRandomGenerator>

#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {
constexpr int64_t DeflateBlock = 65535;
constexpr int64_t StoreBlock = 32768;
constexpr int64_t CopyBlock = 65536;

QString FolderPart(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash >= 0 ? path.left(slash + 1) : QString();
}

QString NamePart(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash >= 0 ? path.mid(slash + 1) : path;
}

}  // namespace

TArcZip::TArcZip() = default;

TArcZip::~TArcZip() { FreeRunState(); }

void TArcZip::FreeRunState()
{
    if (FDeflate) {
        deflateEnd(FDeflate.get());
        FDeflate.reset();
    }
    FRunIn = {};
    FRunOut = {};
}

void TArcZip::Assign(const TArcZip& s)
{
    if (&s == this)
        return;
    TArcUnZip::Assign(s);
    FPackLevel = s.FPackLevel;
    FRecurse = s.FRecurse;
    FDispose = s.FDispose;
    FStorePaths = s.FStorePaths;
    FRelativePaths = s.FRelativePaths;
    FStoreVolumes = s.FStoreVolumes;
    FZipAction = s.FZipAction;
    SetMultiZipInfo(s.FMultiZipInfo);
    FStore83Names = s.FStore83Names;
    FTempPath = s.FTempPath;
    FSkipIfArchiveBitNotSet = s.FSkipIfArchiveBitNotSet;
    FResetArchiveBitOnZip = s.FResetArchiveBitOnZip;
    FExcludeList = s.FExcludeList;
    FNoCompressList = s.FNoCompressList;
    FAddDirEntriesOnRecurse = s.FAddDirEntriesOnRecurse;
    OnStartZip = s.OnStartZip;
    OnStartZipInfo = s.OnStartZipInfo;
    OnEndZip = s.OnEndZip;
    OnDisposeFile = s.OnDisposeFile;
    OnNoSuchFile = s.OnNoSuchFile;
    OnZipComplete = s.OnZipComplete;
    OnUpdate = s.OnUpdate;
}

void TArcZip::SetZipName(const QString& name)
{
    if (name != FZipName || name.isEmpty())
        TArcUnZip::SetZipName(name);
}

void TArcZip::SetStorePaths(bool v)
{
    if (v == FStorePaths)
        return;
    FStorePaths = v;
    if (!v) {
        FStoreVolumes = false;
        FRelativePaths = false;
    }
}

void TArcZip::SetRelativePaths(bool v)
{
    if (v == FRelativePaths)
        return;
    FRelativePaths = v;
    if (v) {
        FStorePaths = true;
        FRecurse = true;
    }
}

void TArcZip::SetStoreVolumes(bool v)
{
    if (v == FStoreVolumes)
        return;
    FStoreVolumes = v;
    if (v)
        FStorePaths = true;
}

bool TArcZip::IsExcluded(const QString& path) const
{
    for (const QString& line : FExcludeList) {
        QString mask = line;
        mask.replace(QLatin1Char('\\'), QLatin1Char('/'));
        const QString text = mask.contains(QLatin1Char('/')) ? path : NamePart(path);
        if (IsMatch(mask.toLower(), text.toLower()))
            return true;
    }
    return false;
}

bool TArcZip::IsNoCompress(const QString& name) const
{
    for (const QString& line : FNoCompressList) {
        QString mask = line;
        mask.replace(QLatin1Char('\\'), QLatin1Char('/'));
        const QString text = mask.contains(QLatin1Char('/')) ? name : NamePart(name);
        if (IsMatch(mask.toLower(), text.toLower()))
            return true;
    }
    return false;
}

QString TArcZip::StoredPathOf(const QString& path) const
{
    if (!FStorePaths)
        return {};
    QString folder = FolderPart(path);
    if (FRelativePaths)
        return folder.mid(FRootDir.size());
    if (!FStoreVolumes)
        while (folder.startsWith(QLatin1Char('/')))
            folder.remove(0, 1);
    return folder;
}

QString TArcZip::GetTempDir() const
{
    if (!FTempPath.isEmpty() && DirectoryReachable(FTempPath))
        return FTempPath;
    return QDir::tempPath();
}

bool TArcZip::InArchive(const QString& storedName) const
{
    for (int i = 0; i < Count(); ++i)
        if (FSorted->Entry(i)->FullName().compare(storedName, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

int TArcZip::Zip()
{
    const bool busy = FBusy;
    FBusy = true;
    int n = 0;
    try {
        n = ProcessFiles();
    } catch (...) {
        FBusy = busy;
        throw;
    }
    FBusy = busy;
    if (OnZipComplete)
        OnZipComplete(this, n);
    return n;
}

// ---------------------------------------------------------------------------

void TArcZip::ExpandFileList()
{
    FTotalBytes = 0;
    QStringList kept;
    QStringList wild;
    for (QString line : std::as_const(FFilesList)) {
        line.replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (line.endsWith(QLatin1Char('/'))) {
            kept << line;
            continue;
        }
        if (HasWildcards(line)) {
            wild << line;
            continue;
        }
        QString path = line;
        if (!path.contains(QLatin1Char('/')))
            path = FRootDir + path;
        bool retry = false;
        if (IsExcluded(path)) {
            if (OnSkippingFile)
                OnSkippingFile(this, srExcludeList, path, -1, retry);
            continue;
        }
        const QFileInfo fi(path);
        if (!fi.isFile()) {
            if (OnNoSuchFile)
                OnNoSuchFile(this, path);
            continue;
        }
        if (FZipAction == zaFreshen && !InArchive(StoredPathOf(path) + NamePart(path))) {
            if (OnSkippingFile)
                OnSkippingFile(this, srNoFileToFreshen, path, -1, retry);
            continue;
        }
        kept << path;
        FTotalBytes += fi.size();
    }
    const QString archivePath = QFileInfo(FZipName).absoluteFilePath();
    for (QString line : std::as_const(wild)) {
        bool recurse = FRecurse;
        if (line.startsWith(QLatin1Char('|'))) {
            recurse = false;
            line.remove(0, 1);
        } else if (line.startsWith(QLatin1Char('>'))) {
            recurse = true;
            line.remove(0, 1);
        }
        QString folder = FolderPart(line);
        if (folder.isEmpty())
            folder = FRootDir;
        QString mask = NamePart(line);
        if (mask == QLatin1String("*.*"))
            mask = QStringLiteral("*");
        if (!HasWildcards(folder) && !DirectoryReachable(folder.isEmpty() ? QStringLiteral(".") : folder)) {
            if (OnNoSuchFile)
                OnNoSuchFile(this, line);
            continue;
        }
        TDirSearch search(folder.isEmpty() ? QStringLiteral("./") : folder, FSearchAttr, recurse, mask);
        TSearchRec rec;
        for (QString path = search.NextFile(rec); !path.isEmpty(); path = search.NextFile(rec)) {
            if (folder.isEmpty() && path.startsWith(QLatin1String("./")))
                path.remove(0, 2);
            if (OnRecursingFile)
                OnRecursingFile(this, path);
            if (path.endsWith(QLatin1Char('/'))) {
                if (recurse && FAddDirEntriesOnRecurse)
                    kept << path;
                continue;
            }
            bool retry = false;
            if (IsExcluded(path)) {
                if (OnSkippingFile)
                    OnSkippingFile(this, srExcludeList, path, -1, retry);
                continue;
            }
            CheckCancel();
            if (QFileInfo(path).absoluteFilePath() == archivePath)
                continue;  // the archive never adds itself
            if (FZipAction == zaFreshen && !InArchive(StoredPathOf(path) + NamePart(path))) {
                if (OnSkippingFile)
                    OnSkippingFile(this, srNoFileToFreshen, path, -1, retry);
                continue;
            }
            kept << path;
            FTotalBytes += rec.Size;
        }
    }
    FFilesList = kept;
}

void TArcZip::CreateNewArchive(const QString& outputName)
{
    FOutName = outputName;
    FOut = std::make_unique<TLFNFileStream>(outputName, 65536, FFlushFilesOnClose, fmCreate);
    FPartNames = QStringList {outputName};
    FNewByName = std::make_unique<TSortedZip>(dupError, TZipSortMode::ByName, false);
    FNewFiles = std::make_unique<TSortedZip>(dupError, TZipSortMode::ByNone, true);
    FNewEnd = std::make_unique<TEndCentral>();
    if (FUpdating || FEndCentral->Modified) {
        GetZipComment();
        FNewEnd->Assign(*FEndCentral);
        FNewEnd->SetEntriesThisDisk(0);
        FNewEnd->SetTotalEntries(0);
        FNewEnd->Modified = false;
    }
}

int TArcZip::ProcessFiles()
{
    if (FZipName.trimmed().isEmpty())
        return 0;
    FCancel = false;
    const bool reading = FReading;
    const TZipSortMode sortMode = FSortMode;
    const bool keepOpen = FKeepZipOpen;
    FReading = false;
    FKeepZipOpen = true;
    FCurrentDisk = 0;
    FFileCount = 0;
    FDisposeList.clear();
    FUpdating = false;
    const QString zipName = FZipName;
    bool adopted = false;

    auto cleanup = [&]() {
        FSortMode = sortMode;
        FKeepZipOpen = keepOpen;
        FNewByName.reset();
        FNewEnd.reset();
        FInput.reset();
        FreeRunState();
        FTempStream.reset();
        if (!FTempName.isEmpty())
            QFile::remove(FTempName);
        FTempName.clear();
        CloseZip();
        FReading = reading;
        FFilesList.clear();
    };

    try {
        const bool exists = QFileInfo::exists(FZipName);
        if (exists && !IsMulti()) {
            // The old directory is needed for the freshen look-ups and the update.
            OpenZip();
            FSorted = FFiles.get();
        }
        if (!FFilesList.isEmpty())
            ExpandFileList();
        if (!FFilesList.isEmpty()) {
            bool stop = false;
            TEndCentral* none = nullptr;
            if (OnStartZipInfo)
                OnStartZipInfo(this, static_cast<int>(FFilesList.size()), FTotalBytes, none, stop);
            if (stop)
                throw EUserCanceled(ZipMessage(ZM_CancelZip));
        }
        if (!exists || IsMulti()) {
            QString first = FZipName;
            if (MultiMode() == mmBlocks) {
                first = FZipNameNoExt;
                FileNameForSplitPart(first, 1, spFirst);
            } else if (MultiMode() == mmSpan) {
                GetNextDisk(1, first);
                if (first.isEmpty())
                    throw EUserCanceled(ZipMessage(ZM_CancelZip));
                QFile::remove(first);
                if (OnPrepareNextDisk)
                    OnPrepareNextDisk(this, 1);
            }
            CreateNewArchive(first);
        } else {
            FUpdating = true;
            CreateNewArchive(UniqueTempFileName(GetTempDir()));
            ProcessExistingEntries();
        }
        if (IsMulti()) {
            if (FMultiZipInfo.SaveZipInfoOnFirstDisk()) {
                int64_t avg = 0;
                if (FStorePaths && !FFilesList.isEmpty()) {
                    int64_t sum = 0;
                    for (const QString& p : std::as_const(FFilesList))
                        sum += p.size() - 2;
                    avg = sum / FFilesList.size();
                }
                int64_t reserve = FFilesList.size() * (avg + 46) + 22 + FNewEnd->zip_comment_length + 2048;
                if (MultiMode() == mmSpan) {
                    try {
                        reserve += ClusterSize(FZipName);
                    } catch (const kpzip::Exception&) {
                        reserve += 4096;
                    }
                }
                FMultiZipInfo.SetSaveOnFirstDisk(FMultiZipInfo.SaveOnFirstDisk() + reserve);
            }
            if (MultiMode() == mmSpan)
                FRoom = DiskFreeSpace(FOutName) - FMultiZipInfo.SaveOnFirstDisk();
            else
                FRoom = (FMultiZipInfo.FirstBlockSize() ? FMultiZipInfo.FirstBlockSize() : FMultiZipInfo.BlockSize()) -
                        FMultiZipInfo.SaveOnFirstDisk();
            FTotalBytes *= 2;
            QByteArray sig;
            PutLE32(sig, SPAN_SIGNATURE);
            FOut->WriteBuffer(sig.constData(), 4);
        }
        FTotalWritten = 0;
        for (int i = 0; i < FFilesList.size(); ++i)
            ZipFileAt(i);

        // Central directory and end records.
        FNewEnd->SetCentralOffset(static_cast<uint64_t>(FOut->Position()));
        FNewEnd->SetStartCentralDisk(static_cast<uint32_t>(FCurrentDisk));
        uint64_t onDisk = 0;
        uint64_t centralSize = 0;
        bool firstRecord = true;
        for (int i = 0; i < FNewFiles->Count(); ++i) {
            TZipHeaderInfo* e = FNewFiles->Entry(i);
            if (IsMulti() && RoomLeft() < e->CentralRecordSize() + 4) {
                NextPart();
                onDisk = 0;
                if (firstRecord) {
                    FNewEnd->SetCentralOffset(0);
                    FNewEnd->SetStartCentralDisk(static_cast<uint32_t>(FCurrentDisk));
                }
            }
            const int64_t before = FOut->Position();
            e->WriteCentralRecord(*FOut, nullptr);
            centralSize += static_cast<uint64_t>(FOut->Position() - before);
            ++onDisk;
            firstRecord = false;
        }
        FNewEnd->SetEntriesThisDisk(onDisk);
        FNewEnd->SetTotalEntries(static_cast<uint64_t>(FNewFiles->Count()));
        FNewEnd->SetCentralSize(centralSize);
        if (IsMulti() && RoomLeft() < FNewEnd->EndRecordSize() + 76)
            NextPart();
        FNewEnd->SetThisDisk(static_cast<uint32_t>(FCurrentDisk));
        FNewEnd->WriteEndRecords(*FOut);
        FOut->FlushPending();
        if (!FOut->FileStream().Sync() && FFlushFilesOnClose)
            throw kpzip::EWriteError(ZipMessage(ZM_NotEnoughRoom));
        FOut.reset();

        // The new archive is complete: put it in place.
        QString finalName = zipName;
        if (IsMulti()) {
            if (FCurrentDisk == 0) {
                // One part only: mark it as a plain archive.
                TFileStream f(FOutName, fmOpenReadWrite);
                QByteArray marker;
                PutLE32(marker, SINGLE_PART_MARKER);
                f.WriteBuffer(marker.constData(), 4);
            }
            if (MultiMode() == mmBlocks) {
                QString last = FZipNameNoExt;
                FileNameForSplitPart(last, FCurrentDisk + 1, spLast);
                if (last != FOutName) {
                    if (!RenameOnSameDrive(FOutName, last))
                        MoveOrCopyFile(FOutName, last);
                    FPartNames.last() = last;
                }
                finalName = last;
            }
        }
        if (FUpdating) {
            FArchive.reset();
            ReplaceOldArchive();
        }
        FOutName.clear();
        if (FDispose)
            DisposeFiles();
        // The new directory becomes the component's.
        const QString noExt = FZipNameNoExt;
        FZipName.clear();
        TArcUnZip::SetZipName(finalName);
        if (IsMulti())
            FZipNameNoExt = noExt;
        FEndCentral->Assign(*FNewEnd);
        FFiles = std::move(FNewFiles);
        FSorted = FFiles.get();
        FSortMode = TZipSortMode::ByNone;
        FArchiveDate = QFileInfo(finalName).lastModified().toMSecsSinceEpoch();
        FDirectoryRead = true;
        FNumDisks = FCurrentDisk + 1;
        adopted = true;
        ApplySortMode(sortMode);
        if (OnTotalPercentDone)
            OnTotalPercentDone(this, 100);
        if (IsMulti() && FMultiZipInfo.SaveZipInfoOnFirstDisk() && FNumDisks > 1)
            SaveConfigFile(FZipNameNoExt + QStringLiteral(".zfc"));
    } catch (...) {
        FOut.reset();
        if (!adopted) {
            FNewFiles.reset();
            // Only what this run wrote is removed; the old archive stays.
            for (const QString& part : std::as_const(FPartNames))
                if (FUpdating || !QFileInfo(part).isDir())
                    QFile::remove(part);
            FPartNames.clear();
            FOutName.clear();
            FZipName = zipName;
        }
        cleanup();
        throw;
    }
    FPartNames.clear();
    cleanup();
    FSortMode = sortMode;
    return FFileCount;
}

void TArcZip::ProcessExistingEntries()
{
    // The lines by the stored name they give (in lower case), in list order,
    // so that each entry finds the first line not yet taken that names it
    // without going over the whole list.
    QHash<QString, QList<int>> linesByName;
    for (int l = 0; l < FFilesList.size(); ++l) {
        const QString& path = FFilesList[l];
        const QString stored = path.endsWith(QLatin1Char('/')) ? StoredPathOf(path + QLatin1Char('x')) : StoredPathOf(path) + NamePart(path);
        linesByName[stored.toLower()].append(l);
    }
    std::vector<bool> taken(static_cast<size_t>(FFilesList.size()), false);
    for (int i = 0; i < FFiles->Count(); ++i) {
        CheckCancel();
        TZipHeaderInfo* old = FFiles->Entry(i);
        if (old->DeleteMark == 2)
            continue;
        int line = -1;
        const auto named = linesByName.find(old->FullName().toLower());
        if (named != linesByName.end() && !named->isEmpty()) {
            line = named->takeFirst();
            taken[static_cast<size_t>(line)] = true;
        }
        if (line >= 0) {
            const QString path = FFilesList[line];
            const uint32_t fileDate = RepairDosDateTime(FileDosDateTime(path));
            const bool keep = FZipAction != zaReplace && RepairDosDateTime(old->last_mod_file_date_time) >= fileDate;
            if (!keep) {
                if (OnUpdate)
                    OnUpdate(this, uaReplacing, i);
                FCurrent->Clear();
                if (ZipOneFile(path)) {
                    AddToNewDirectory(path);
                    continue;
                }
                // The new file could not be added: the old entry stays.
            } else {
                FTotalBytes -= QFileInfo(path).size();
                FTotalBytes += static_cast<int64_t>(old->GetCompressedSize());
                if (FDispose)
                    FDisposeList << path;
            }
        }
        if (OnUpdate)
            OnUpdate(this, uaKeeping, i);
        FCurrent->Assign(*old);
        CopyExistingEntry(*FCurrent);
        auto* copy = new TZipHeaderInfo();
        copy->Assign(*FCurrent);
        FNewFiles->Add(copy);
        FNewByName->Add(copy);
        FNewEnd->SetEntriesThisDisk(FNewEnd->GetEntriesThisDisk() + 1);
        FNewEnd->SetTotalEntries(FNewEnd->GetTotalEntries() + 1);
    }
    // The lines taken leave the list; the others are new files.
    QStringList rest;
    for (int l = 0; l < FFilesList.size(); ++l)
        if (!taken[static_cast<size_t>(l)])
            rest << FFilesList[l];
    FFilesList = rest;
}

void TArcZip::ZipFileAt(int index)
{
    FCurrent->Clear();
    if (ZipOneFile(FFilesList[index]))
        AddToNewDirectory(FFilesList[index]);
}

void TArcZip::AddToNewDirectory(const QString& line)
{
    auto copy = std::make_unique<TZipHeaderInfo>();
    copy->Assign(*FCurrent);
    FNewByName->Add(copy.get());
    try {
        FNewFiles->Add(copy.get());
    } catch (...) {
        const int i = FNewByName->IndexOf(copy.get());
        if (i >= 0)
            FNewByName->Delete(i);
        throw;
    }
    copy.release();
    ++FFileCount;
    FNewEnd->SetEntriesThisDisk(FNewEnd->GetEntriesThisDisk() + 1);
    FNewEnd->SetTotalEntries(FNewEnd->GetTotalEntries() + 1);
    if (FDispose && !line.endsWith(QLatin1Char('/')))
        FDisposeList << line;
}

void TArcZip::ReplaceOldArchive()
{
    // The complete new archive replaces the old one in one step (a rename
    // over it, or a copy beside it renamed over it): the old archive is never
    // removed before the new one stands in its place. It keeps the old
    // archive's mode (the temporary file was made private).
    struct stat st {};
    if (::stat(QFile::encodeName(FZipName).constData(), &st) == 0)
        ::chmod(QFile::encodeName(FOutName).constData(), st.st_mode & 07777);
    MoveOrCopyFile(FOutName, FZipName);
    QFile::remove(FOutName);
}

void TArcZip::DisposeFiles()
{
    for (const QString& f : std::as_const(FDisposeList)) {
        bool skip = false;
        if (OnDisposeFile)
            OnDisposeFile(this, f, skip);
        if (!skip)
            QFile::remove(f);
    }
    FDisposeList.clear();
}

// ---------------------------------------------------------------------------
// Writing one entry

int64_t TArcZip::ReadSource(uint8_t* buffer, int64_t n)
{
    const int64_t count = FInput->Read(buffer, n);
    if (count <= 0)
        return 0;
    FSourceRead += count;
    if (OnFilePercentDone) {
        int p = Percent(FSourceRead, FSourceSize);
        if (IsMulti())
            p /= 2;
        OnFilePercentDone(this, p);
    }
    FTotalWritten += count;
    const int total = Percent(FTotalWritten, FTotalBytes);
    NoteProgress(total);
    if (OnTotalPercentDone)
        OnTotalPercentDone(this, total);
    FCrc = static_cast<uint32_t>(crc32(FCrc, buffer, static_cast<uInt>(count)));
    return count;
}

void TArcZip::WriteCompressed(uint8_t* buffer, int64_t size, int64_t count)
{
    const int64_t n = size * count;
    if (FEncrypting) {
        if (OnEncrypt)
            OnEncrypt(this, buffer, static_cast<int>(n), FPassword);
        else
            FWriteKeys.EncryptBuffer(buffer, static_cast<size_t>(n));
    }
    if (Output().Write(buffer, n) != n)
        throw ENotEnoughRoom(ZipMessage(ZM_NotEnoughRoom));
    CheckCancel();
}

std::vector<uint8_t>& TArcZip::RunBuffer(std::vector<uint8_t>& buffer)
{
    if (buffer.empty())
        buffer.resize(DeflateBlock);
    return buffer;
}

int64_t TArcZip::StoreData()
{
    std::vector<uint8_t>& buf = RunBuffer(FRunIn);
    int64_t total = 0;
    for (;;) {
        const int64_t n = ReadSource(buf.data(), StoreBlock);
        if (n <= 0)
            break;
        WriteCompressed(buf.data(), n, 1);
        total += n;
    }
    return total;
}

int64_t TArcZip::DeflateData(int64_t& bytesRead)
{
    // The buffers and the deflate state serve every file of the run.
    std::vector<uint8_t>& in = RunBuffer(FRunIn);
    std::vector<uint8_t>& out = RunBuffer(FRunOut);
    if (!FDeflate) {
        auto state = std::make_unique<z_stream>();
        if (deflateInit2(state.get(), std::clamp(FPackLevel, 0, 9), Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) < 0)
            throw EZCompressionError(QStringLiteral("error"));
        FDeflate = std::move(state);
        FDeflateLevel = FPackLevel;
    } else {
        if (deflateReset(FDeflate.get()) < 0)
            throw EZCompressionError(QStringLiteral("error"));
        // A handler may have changed the level since the last file.
        if (FDeflateLevel != FPackLevel) {
            if (deflateParams(FDeflate.get(), std::clamp(FPackLevel, 0, 9), Z_DEFAULT_STRATEGY) < 0)
                throw EZCompressionError(QStringLiteral("error"));
            FDeflateLevel = FPackLevel;
        }
    }
    z_stream& zs = *FDeflate;
    int64_t written = 0;
    bytesRead = ReadSource(in.data(), DeflateBlock);
    zs.next_in = in.data();
    zs.avail_in = static_cast<uInt>(bytesRead);
    zs.next_out = out.data();
    zs.avail_out = DeflateBlock;
    int flush = Z_NO_FLUSH;
    int r = Z_OK;
    do {
        if (zs.avail_in == 0 && flush == Z_NO_FLUSH) {
            const int64_t n = ReadSource(in.data(), DeflateBlock);
            bytesRead += n;
            zs.next_in = in.data();
            zs.avail_in = static_cast<uInt>(n);
            if (n == 0)
                flush = Z_FINISH;
        }
        r = deflate(&zs, flush);
        if (r < 0 && r != Z_BUF_ERROR)
            throw EZCompressionError(QStringLiteral("error"));
        if (zs.avail_out == 0 || flush == Z_FINISH) {
            const int64_t produced = DeflateBlock - zs.avail_out;
            if (produced > 0) {
                WriteCompressed(out.data(), produced, 1);
                written += produced;
            }
            zs.next_out = out.data();
            zs.avail_out = DeflateBlock;
        }
    } while (r != Z_STREAM_END);
    return written;
}

bool TArcZip::ZipOneFile(const QString& sourcePath)
{
    QString path = sourcePath;
    const bool folderEntry = path.endsWith(QLatin1Char('/'));
    FCurrent->Clear();
    FCurrent->OEMConvert = FOEMConvert;
    FInput.reset();
    FSourceSize = 0;
    FSourceRead = 0;
    if (folderEntry) {
        const QString p = StripTrailingBackslash(path);
        const int64_t attr = FileGetAttr(p);
        FCurrent->last_mod_file_date_time = attr >= 0 ? FileDosDateTime(p) : UnixToDosDateTime(QDateTime::currentSecsSinceEpoch());
        FCurrent->external_file_attributes = attr >= 0 ? static_cast<uint32_t>(attr) : faDirectory;
        FCurrent->compression_method = 0;
        FCurrent->crc32 = 0;
    } else {
        TSearchRec info;
        if (!FileInfoOf(path, info) || (info.Attr & faDirectory)) {
            if (OnNoSuchFile)
                OnNoSuchFile(this, path);
            return false;
        }
        FCurrent->external_file_attributes = info.Attr;
        // The source is read in large blocks straight into the run's buffers.
        for (;;) {
            try {
                FInput = std::make_unique<TFileStream>(path, fmOpenRead | fmShareDenyNone);
                break;
            } catch (const kpzip::Exception&) {
                bool retry = false;
                if (OnSkippingFile)
                    OnSkippingFile(this, srFileOpenError, path, -1, retry);
                if (!retry)
                    return false;
            }
        }
        FCurrent->last_mod_file_date_time = UnixToDosDateTime(info.Time);
        FSourceSize = info.Size;
        FCurrent->SetUncompressedSize(static_cast<uint64_t>(FSourceSize));
    }
    if (FOEMConvert == oemAlways)
        path = OemRoundTrip(path);
    FCurrent->SetFileName(folderEntry ? QString() : NamePart(path));
    FCurrent->internal_file_attributes = 0;
    FCurrent->SetDiskStart(static_cast<uint32_t>(FCurrentDisk));
    if (FStorePaths) {
        QString dir = FolderPart(path);
        if (FRelativePaths && !FRelativePathList.isEmpty()) {
            QString rest;
            StripRelativePath(dir, rest);
            dir = rest;
        }
        if (!FStoreVolumes)
            while (dir.startsWith(QLatin1Char('/')))
                dir.remove(0, 1);
        FCurrent->SetDirectory(dir);
    }
    if (FCurrent->FullName().isEmpty()) {
        FInput.reset();
        return false;  // nothing to name the entry by
    }
    int found = 0;
    if (FNewByName->Find(FCurrent.get(), found)) {
        bool retry = false;
        if (OnSkippingFile)
            OnSkippingFile(this, srNoOverwrite, path, -1, retry);
        FTotalBytes -= FSourceSize;
        FInput.reset();
        return false;
    }
    bool skip = false;
    if (OnStartZip)
        OnStartZip(this, sourcePath, *FCurrent, skip);
    if (skip) {
        FTotalBytes -= FSourceSize;
        FInput.reset();
        bool retry = false;
        if (OnSkippingFile)
            OnSkippingFile(this, srSkippedInStartZip, sourcePath, -1, retry);
        return false;
    }
    const bool multi = IsMulti();
    if (multi && FCurrent->LocalHeaderSize() + 20 >= RoomLeft()) {
        NextPart();
        FCurrent->SetDiskStart(static_cast<uint32_t>(FCurrentDisk));
    }
    // Entries close to 4 GB get room for Zip64 sizes in their first header.
    const uint64_t margin = static_cast<uint64_t>(FSourceSize) / 1000 + (1u << 20);
    FCurrent->ForceLocalZip64 = static_cast<uint64_t>(FSourceSize) + margin >= 0xFFFFFFFFull;
    if (!multi || folderEntry) {
        FCurrent->WriteLocalHeader(*FOut);
    } else {
        FTempName = UniqueTempFileName(GetTempDir());
        FTempStream = std::make_unique<TLFNFileStream>(FTempName, 65536, false, fmCreate);
    }
    if (!folderEntry) {
        const int64_t headerEnd = Output().Position();
        const int64_t headerLength = multi ? 0 : FCurrent->LocalHeaderSize() + FCurrent->Zip64ExtraDataLength(false) +
                                                      (FCurrent->Zip64ExtraDataLength(false) ? 4 : 0);
        FEncrypting = !FPassword.isEmpty();
        if (FEncrypting) {
            // The check byte of the encryption header is the CRC's high byte.
            std::vector<uint8_t>& buf = RunBuffer(FRunIn);
            uint32_t crc = 0;
            for (;;) {
                const int64_t n = FInput->Read(buf.data(), StoreBlock);
                if (n <= 0)
                    break;
                crc = static_cast<uint32_t>(crc32(crc, buf.data(), static_cast<uInt>(n)));
            }
            FInput->Seek(0, soFromBeginning);
            FWriteKeys.InitKeys(StringToAnsi(FPassword));
            uint8_t header[12];
            for (int i = 0; i < 10; ++i)
                header[i] = static_cast<uint8_t>(QRandomGenerator::global()->bounded(32767) >> 7);
            header[10] = static_cast<uint8_t>((crc >> 16) & 0xFF);
            header[11] = static_cast<uint8_t>((crc >> 24) & 0xFF);
            FWriteKeys.EncryptBuffer(header, 12);
            if (Output().Write(header, 12) != 12)
                throw ENotEnoughRoom(ZipMessage(ZM_NotEnoughRoom));
        }
        FCrc = 0;
        int64_t bytesRead = 0;
        if (FPackLevel == 0 || IsNoCompress(FCurrent->FileName())) {
            bytesRead = StoreData();
            FCurrent->compression_method = 0;
        } else {
            DeflateData(bytesRead);
            FCurrent->compression_method = 8;
        }
        FEncrypting = false;
        if (bytesRead < FSourceSize) {
            // The file shrank while it was read: the entry holds what was read.
            HandleMessage(ZM_ShortRead, QStringLiteral("The file changed while it was zipped"), sourcePath, 0);
        }
        FCurrent->SetUncompressedSize(static_cast<uint64_t>(bytesRead));
        const int64_t dataEnd = Output().Position();
        FCurrent->SetCompressedSize(static_cast<uint64_t>(dataEnd - headerEnd));
        FCurrent->crc32 = FCrc;
        FCurrent->internal_file_attributes = 0;
        if (FPackLevel <= 2)
            FCurrent->general_purpose_bit_flag |= 0x0004;
        else if (FPackLevel > 7)
            FCurrent->general_purpose_bit_flag |= 0x0002;
        if (!FPassword.isEmpty())
            FCurrent->general_purpose_bit_flag |= gpEncrypted;
        if (!multi) {
            // The header with the final values takes the first one's place:
            // in the output buffer when it is still there (a small file),
            // else in the file.
            const int64_t offset = static_cast<int64_t>(FCurrent->GetRelativeOffset());
            const QByteArray header = FCurrent->LocalHeaderBytes();
            if (header.size() != headerLength)
                throw EArcZipException(ZipMessage(ZM_NotEnoughRoom));  // the header must keep its length
            if (!FOut->PatchPending(offset, header.constData(), header.size())) {
                const int64_t back = FOut->Position();
                FOut->Seek(offset, soFromBeginning);
                FOut->WriteBuffer(header.constData(), header.size());
                FOut->Seek(back, soFromBeginning);
            }
        } else {
            FTempStream->FlushPending();
            FTempStream.reset();
            if (FCurrent->LocalHeaderSize() + 20 >= RoomLeft())
                NextPart();
            FCurrent->SetDiskStart(static_cast<uint32_t>(FCurrentDisk));
            FCurrent->WriteLocalHeader(*FOut);
            CopySpanned(FTempName);
            QFile::remove(FTempName);
            FTempName.clear();
        }
        FInput.reset();
        if (OnEndZip)
            OnEndZip(this, sourcePath, bytesRead, static_cast<int64_t>(FCurrent->GetCompressedSize()), FOut->Position());
    } else if (OnEndZip) {
        OnEndZip(this, sourcePath, 0, 0, 0);
    }
    return true;
}

void TArcZip::CopyExistingEntry(TZipHeaderInfo& entry)
{
    TStream& old = *FArchive;
    old.Seek(static_cast<int64_t>(entry.GetRelativeOffset()), soFromBeginning);
    uint8_t h[30];
    old.ReadBuffer(h, 30);
    if (GetLE32(h) != LOCAL_FILE_HEADER_SIGNATURE)
        throw EBadZipFile(ZipMessage(ZM_NotAZip));
    old.Seek(GetLE16(h + 26), soFromCurrent);
    // The old local extra field is carried over without its Zip64 block,
    // which the new header writes afresh when it is needed.
    QByteArray extra(GetLE16(h + 28), '\0');
    old.ReadBuffer(extra.data(), extra.size());
    QByteArray kept;
    const auto* d = reinterpret_cast<const uint8_t*>(extra.constData());
    for (int p = 0; p + 4 <= extra.size();) {
        const uint16_t id = GetLE16(d + p);
        const int size = GetLE16(d + p + 2);
        if (p + 4 + size > extra.size())
            break;
        if (id != 1)
            kept.append(extra.mid(p, 4 + size));
        p += 4 + size;
    }
    // An encrypted entry whose check byte comes from its time keeps its data
    // descriptor flag, and gets a descriptor behind its data.
    const bool descriptor = entry.HasDataDescriptor() && entry.IsEncrypted();
    if (!descriptor)
        entry.general_purpose_bit_flag &= ~gpDataDescriptor;
    entry.Lextra_field_length = static_cast<uint16_t>(kept.size());
    entry.SetDiskStart(static_cast<uint32_t>(FCurrentDisk));
    entry.WriteLocalHeader(*FOut);
    FOut->WriteBuffer(kept.constData(), kept.size());
    const int64_t total = static_cast<int64_t>(entry.GetCompressedSize());
    if (static_cast<uint64_t>(old.Size() - old.Position()) < entry.GetCompressedSize())
        throw EFatalUnzipError(ZipMessage(ZM_PrematureEnd));
    std::vector<char> buf(CopyBlock);
    int64_t done = 0;
    while (done < total) {
        const int64_t n = std::min<int64_t>(CopyBlock, total - done);
        old.ReadBuffer(buf.data(), n);
        FOut->WriteBuffer(buf.data(), n);
        done += n;
        if (OnFilePercentDone)
            OnFilePercentDone(this, Percent(done, total));
        FTotalWritten += n;
        const int totalPercent = Percent(FTotalWritten, FTotalBytes);
        NoteProgress(totalPercent);
        if (OnTotalPercentDone)
            OnTotalPercentDone(this, totalPercent);
        CheckCancel();
    }
    if (descriptor) {
        QByteArray dd;
        PutLE32(dd, 0x08074B50);
        PutLE32(dd, entry.crc32);
        if (entry.Zip64ExtraDataLength(false) > 0) {
            PutLE64(dd, entry.GetCompressedSize());
            PutLE64(dd, entry.GetUncompressedSize());
        } else {
            PutLE32(dd, entry.compressed_size);
            PutLE32(dd, entry.uncompressed_size);
        }
        FOut->WriteBuffer(dd.constData(), dd.size());
    }
}

// ---------------------------------------------------------------------------
// Multi-volume writing

int64_t TArcZip::RoomLeft() { return FRoom - FOut->Position(); }

void TArcZip::NextPart()
{
    FOut->FlushPending();
    FOut.reset();
    QString name;
    if (MultiMode() == mmSpan) {
        name = FZipName;
        GetNextDisk(FCurrentDisk + 2, name);
        if (name.isEmpty())
            throw EUserCanceled(ZipMessage(ZM_CancelZip));
        ++FCurrentDisk;
        QFile::remove(name);
        if (OnPrepareNextDisk)
            OnPrepareNextDisk(this, FCurrentDisk + 1);
        FRoom = DiskFreeSpace(name);
    } else {
        name = FZipNameNoExt;
        FileNameForSplitPart(name, FCurrentDisk + 2, spMiddle);
        ++FCurrentDisk;
        FRoom = FMultiZipInfo.BlockSize();
    }
    if (FRoom < 1024)
        throw ENotEnoughRoom(ZipMessage(ZM_NotEnoughRoom));
    FOutName = name;
    FOut = std::make_unique<TLFNFileStream>(name, 65536, FFlushFilesOnClose, fmCreate);
    FPartNames << name;
}

void TArcZip::CopySpanned(const QString& tempName)
{
    TLFNFileStream in(tempName, 65536, false, fmOpenRead);
    int64_t left = in.GetSize();
    if (OnStartSpanCopy)
        OnStartSpanCopy(this, FCurrent->FullName(), left);
    std::vector<char> buf(CopyBlock);
    const int64_t size = left;
    while (left > 0) {
        if (RoomLeft() <= 0)
            NextPart();
        const int64_t n = std::min({left, RoomLeft(), CopyBlock});
        in.ReadBuffer(buf.data(), n);
        if (FOut->Write(buf.data(), n) != n)
            throw ENotEnoughRoom(ZipMessage(ZM_NotEnoughRoom));
        left -= n;
        FTotalWritten += n;
        if (OnFilePercentDone)
            OnFilePercentDone(this, 50 + Percent(size - left, size) / 2);
        const int totalPercent = Percent(FTotalWritten, FTotalBytes);
        NoteProgress(totalPercent);
        if (OnTotalPercentDone)
            OnTotalPercentDone(this, totalPercent);
    }
}

void TArcZip::SaveConfigFile(const QString& name)
{
    try {
        TLFNFileStream out(name, 65536, FFlushFilesOnClose, fmCreate);
        for (int i = 0; i < FFiles->Count(); ++i)
            FFiles->Entry(i)->WriteCentralRecord(out, nullptr);
        TEndCentral end;
        end.Assign(*FEndCentral);
        end.WriteEndRecords(out);
        out.FlushPending();
    } catch (const kpzip::Exception&) {
        QFile::remove(name);
        throw EConfigFileSaveError(QStringLiteral("Unable to save Zip Configuration File to disk"));
    }
}
