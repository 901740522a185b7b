#include "ArcUnZip.h"

#include "KpLib.h"
#include "ZipLegacy.h"
#include "kpMatch.h"

#include "AnsiText.h"

#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QThread>

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace {
constexpr int WorkSize = 32768;

QString FormatIndexMessage(int index)
{
    return ZipMessage(ZM_IndexOutOfRange).replace(QLatin1String("%d"), QString::number(index));
}

int64_t FileModTime(const QString& path)
{
    const QFileInfo fi(path);
    return fi.exists() ? fi.lastModified().toMSecsSinceEpoch() : 0;
}

// The date as the sort compares it: a date that names no real day counts as 0.
uint32_t SortDate(const TZipHeaderInfo& h)
{
    return DosDateTimeConvertible(h.last_mod_file_date_time) ? RepairDosDateTime(h.last_mod_file_date_time) : 0;
}

int Rate(const TZipHeaderInfo& h)
{
    const uint64_t u = h.GetUncompressedSize();
    if (u == 0)
        return 0;
    return Percent(static_cast<int64_t>(h.GetCompressedSize()), static_cast<int64_t>(u));
}

// The relative path of a stored folder with every part that could leave the
// destination removed: empty parts, ".", a leading drive ("C:") and leading
// slashes. A ".." part refuses the whole path (no value).
std::optional<QString> SafeRelativeFolder(QString path)
{
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QStringList kept;
    for (int i = 0; i < parts.size(); ++i) {
        const QString& p = parts[i];
        if (p == QLatin1String("."))
            continue;
        if (p == QLatin1String(".."))
            return std::nullopt;
        if (i == 0 && p.size() == 2 && p[1] == QLatin1Char(':') && p[0].isLetter())
            continue;
        kept << p;
    }
    return kept.isEmpty() ? QString() : kept.join(QLatin1Char('/')) + QLatin1Char('/');
}

}  // namespace

// ---------------------------------------------------------------------------

TSortedZip::TSortedZip(TDuplicates duplicates, TZipSortMode mode, bool ownsItems) : TSortedObjectList(duplicates), FSortMode(mode)
{
    SetOwnsItems(ownsItems);
}

int TSortedZip::Compare(const void* key1, const void* key2) const
{
    const auto* i = static_cast<const TZipHeaderInfo*>(key1);
    const auto* k = static_cast<const TZipHeaderInfo*>(key2);
    switch (FSortMode) {
    case TZipSortMode::ByName: return QString::compare(i->FullName(), k->FullName(), Qt::CaseInsensitive);
    case TZipSortMode::ByFileName: return QString::compare(i->FileName(), k->FileName(), Qt::CaseInsensitive);
    case TZipSortMode::ByDirectoryName: return QString::compare(i->Directory(), k->Directory(), Qt::CaseInsensitive);
    case TZipSortMode::ByDate:
        return SortDate(*k) > SortDate(*i) ? 1 : -1;
    case TZipSortMode::ByCompressedSize: return k->GetCompressedSize() > i->GetCompressedSize() ? 1 : -1;
    case TZipSortMode::ByUnCompressedSize: return k->GetUncompressedSize() > i->GetUncompressedSize() ? 1 : -1;
    case TZipSortMode::ByRate: return Rate(*k) - Rate(*i);
    case TZipSortMode::ByNone:
    default: {
        const int64_t d = static_cast<int64_t>(i->GetDiskStart()) - static_cast<int64_t>(k->GetDiskStart());
        if (d != 0)
            return d < 0 ? -1 : 1;
        const uint64_t a = i->GetRelativeOffset();
        const uint64_t b = k->GetRelativeOffset();
        return a < b ? -1 : (a > b ? 1 : 0);
    }
    }
}

// ---------------------------------------------------------------------------

TArcUnZip::TArcUnZip() : FCurrent(std::make_unique<TZipHeaderInfo>()), FEndCentral(std::make_unique<TEndCentral>())
{
    FCurrent->OEMConvert = FOEMConvert;
}

TArcUnZip::~TArcUnZip()
{
    try {
        ClearZip();
    } catch (...) {
    }
}

void TArcUnZip::Assign(const TArcUnZip& s)
{
    if (&s == this)
        return;
    SetZipName(s.FZipName);
    FDestDir = s.FDestDir;
    FRootDir = s.FRootDir;
    FSortMode = s.FSortMode;
    FRecreateDirs = s.FRecreateDirs;
    FOverwriteMode = s.FOverwriteMode;
    FFilesList = s.FFilesList;
    FRelativePathList = s.FRelativePathList;
    FDoAll = s.FDoAll;
    FIncompleteZipMode = s.FIncompleteZipMode;
    FKeepZipOpen = s.FKeepZipOpen;
    FDoProcessMessages = s.FDoProcessMessages;
    FRetainAttributes = s.FRetainAttributes;
    FReplaceReadOnly = s.FReplaceReadOnly;
    OnStartUnZipInfo = s.OnStartUnZipInfo;
    OnStartUnZip = s.OnStartUnZip;
    OnEndUnZip = s.OnEndUnZip;
    OnFilePercentDone = s.OnFilePercentDone;
    OnTotalPercentDone = s.OnTotalPercentDone;
    OnPromptForOverwrite = s.OnPromptForOverwrite;
    OnSkippingFile = s.OnSkippingFile;
    OnBadPassword = s.OnBadPassword;
    OnBadCRC = s.OnBadCRC;
    OnInCompleteZip = s.OnInCompleteZip;
    OnGetNextDisk = s.OnGetNextDisk;
    OnUnZipComplete = s.OnUnZipComplete;
    OnFileNameForSplitPart = s.OnFileNameForSplitPart;
}

void TArcUnZip::SetZipName(const QString& name)
{
    // File names differ by letter case on this platform, so only the same
    // text keeps the directory.
    if (name == FZipName && !name.isEmpty())
        return;
    if (name.endsWith(QLatin1Char('?')))
        throw EUserCanceled(ZipMessage(ZM_CancelZipName));  // there is no file dialog in the library
    FZipName = name;
    const QFileInfo fi(name);
    const QString base = fi.fileName();
    const qsizetype dot = base.lastIndexOf(QLatin1Char('.'));
    FZipNameNoExt = dot > 0 ? name.left(name.size() - (base.size() - dot)) : name;
    FSortView.reset();
    FFiles.reset();
    FSorted = nullptr;
    FArchiveDate = 0;
    FDirectoryRead = false;
    FEndCentral->Clear();
    FArchive.reset();
    FRepaired = false;
}

void TArcUnZip::SetDestDir(const QString& path)
{
    if (path == QLatin1String("?"))
        throw EUserCanceled(ZipMessage(ZM_CancelDestDir));  // there is no folder dialog in the library
    FDestDir = StripTrailingBackslash(path);
}

void TArcUnZip::SetRootDir(const QString& path)
{
    if (path.isEmpty()) {
        FRootDir.clear();
    } else {
        FRootDir = path;
        if (!FRootDir.endsWith(QLatin1Char('/')))
            FRootDir += QLatin1Char('/');
    }
    FRelativePathList = QStringList {FRootDir};
}

void TArcUnZip::StripRelativePath(QString& path, QString& result) const
{
    for (const QString& prefix : FRelativePathList) {
        if (!prefix.isEmpty() && path.left(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0) {
            path = path.mid(prefix.size());
            break;
        }
    }
    result = path;
}

int TArcUnZip::Count() const { return FSorted ? FSorted->Count() : 0; }

const TZipHeaderInfo& TArcUnZip::Entry(int index) const
{
    if (index < 0 || index >= Count())
        throw kpzip::EListError(FormatIndexMessage(index));
    return *FSorted->Entry(index);
}

QString TArcUnZip::EntryFileName(int index) const { return Entry(index).FileName(); }

QDateTime TArcUnZip::EntryDateTime(int index) const
{
    const uint32_t date = Entry(index).last_mod_file_date_time;
    if (!DosDateTimeConvertible(date))
        return QDateTime::currentDateTime();
    return QDateTime::fromSecsSinceEpoch(DosDateTimeToUnix(date));
}

QByteArray TArcUnZip::GetFileComment(int index)
{
    Entry(index);
    return FSorted->Entry(index)->Comment();
}

void TArcUnZip::SetFileComment(int index, const QByteArray& text)
{
    Entry(index);
    TZipHeaderInfo* e = FSorted->Entry(index);
    if (e->Comment() != text) {
        e->SetComment(text.isEmpty() ? std::optional<QByteArray>() : std::optional<QByteArray>(text));
        FEndCentral->Modified = true;
    }
}

QByteArray TArcUnZip::GetZipComment()
{
    if (FEndCentral->HasComment() && !FEndCentral->CommentLoaded() && !FZipName.isEmpty()) {
        const bool modified = FEndCentral->Modified;
        TLFNFileStream s(FZipName, 8192, false, fmOpenRead);
        s.Seek(FEndCentral->ZipCommentPos, soFromBeginning);
        QByteArray c(FEndCentral->zip_comment_length, '\0');
        c.resize(static_cast<qsizetype>(s.Read(c.data(), c.size())));
        FEndCentral->SetComment(c);
        FEndCentral->Modified = modified;
    }
    return FEndCentral->Comment();
}

void TArcUnZip::SetZipComment(const QByteArray& text)
{
    if (GetZipComment() != text) {
        FEndCentral->SetComment(text.isEmpty() ? std::optional<QByteArray>() : std::optional<QByteArray>(text));
        FEndCentral->Modified = true;
    }
}

void TArcUnZip::ApplySortMode(TZipSortMode mode)
{
    FSortView.reset();
    FSorted = FFiles.get();
    if (mode != TZipSortMode::ByNone && FFiles) {
        FSortView = std::make_unique<TSortedZip>(dupAccept, mode, false);
        FSortView->SetCapacity(FFiles->Count());
        for (int i = 0; i < FFiles->Count(); ++i)
            FSortView->Add(FFiles->Entry(i));
        FSorted = FSortView.get();
    }
    FSortMode = mode;
}

int TArcUnZip::HandleMessage(int id, const QString& text, const QString& caption, uint32_t flags)
{
    if (OnHandleMessage) {
        int ret = 0;
        OnHandleMessage(this, id, text, caption, flags, ret);
        return ret;
    }
    // The library shows no message box; without a handler the box's default
    // button is taken (OK, or Yes for a question).
    switch (flags & 0x0F) {
    case 3:
    case 4: return 6;
    default: return 1;
    }
}

void TArcUnZip::WaitWhilePaused()
{
    while (FPause) {
        PumpPendingMessages();
        if (FCancel)
            return;
        QThread::msleep(50);
    }
}

void TArcUnZip::CheckCancel()
{
    if (!FDoProcessMessages)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (FReportedPercent != FPumpedPercent || now - FLastPump >= std::chrono::milliseconds(50)) {
        FPumpedPercent = FReportedPercent;
        FLastPump = now;
        PumpPendingMessages();
    }
    if (FPause)
        WaitWhilePaused();
    if (FCancel.exchange(false))
        throw EUserCanceled(ZipMessage(ZM_UserAborted));
}

void TArcUnZip::NoteProgress(int totalPercent) { FReportedPercent = totalPercent; }

TZipHeaderInfo* TArcUnZip::NewHeaderInfo()
{
    auto* h = new TZipHeaderInfo();
    h->OEMConvert = FOEMConvert;
    return h;
}

// ---------------------------------------------------------------------------

void TArcUnZip::ReadZip()
{
    FCancel = false;
    const bool busy = FBusy;
    const bool reading = FReading;
    FBusy = FReading = true;
    try {
        for (int attempt = 0;; ++attempt) {
            try {
                OpenZip();
                break;
            } catch (const EIncompleteZip&) {
                FArchive.reset();
                if (!OnInCompleteZip || attempt >= 100)
                    break;
            }
        }
    } catch (...) {
        try {
            ClearZip();
        } catch (...) {
        }
        FBusy = busy;
        FReading = reading;
        throw;
    }
    CloseZip();
    FBusy = busy;
    FReading = reading;
}

void TArcUnZip::OpenZip()
{
    if (!FArchive) {
        FArchive = std::make_unique<TLFNFileStream>(FZipName, 8192, false, fmOpenRead | fmShareDenyWrite);
        FCurrentDisk = static_cast<int>(FEndCentral->GetThisDisk());
    }
    if (!FDirectoryRead || FileModTime(FZipName) != FArchiveDate)
        ReadDirectory(*FArchive);
}

void TArcUnZip::CloseZip()
{
    if (!FKeepZipOpen)
        FArchive.reset();
}

void TArcUnZip::ClearZip()
{
    FArchive.reset();
    FSortView.reset();
    FFiles.reset();
    FSorted = nullptr;
    FEndCentral->Clear();
    FRepaired = false;
    FArchiveDate = 0;
    FDirectoryRead = false;
    FNumDisks = 1;
    SetMultiMode(mmNone);
    FZipName.clear();
}

int64_t TArcUnZip::ArchiveSize() { return FArchive ? FArchive->GetSize() : 0; }

// ---------------------------------------------------------------------------
// Reading the directory

void TArcUnZip::ReadDirectory(TStream&)
{
    struct TRestore {
        bool& Flag;
        bool Old;
        ~TRestore() { Flag = Old; }
    } restoreReading {FReading, FReading};
    FReading = true;
    FArchiveDate = FileModTime(FZipName);
    FSortView.reset();
    FFiles.reset();
    FSorted = nullptr;
    FDirectoryRead = false;
    FRepaired = false;
    FEndCentral->Clear();

    bool found = FEndCentral->ReadEndRecords(*FArchive);
    if (found && FEndCentral->GetThisDisk() < FEndCentral->GetStartCentralDisk())
        found = false;
    std::unique_ptr<TLFNFileStream> config;
    if (!found) {
        const QString cfgName = FZipNameNoExt + QStringLiteral(".zfc");
        if (QFileInfo::exists(cfgName)) {
            config = std::make_unique<TLFNFileStream>(cfgName, 8192, false, fmOpenRead);
            found = FEndCentral->ReadEndRecords(*config);
            if (!found)
                config.reset();
        }
    }
    const bool configMode = config != nullptr;
    TStream* s = configMode ? static_cast<TStream*>(config.get()) : FArchive.get();

    if (found) {
        FCurrentDisk = configMode ? 0 : static_cast<int>(FEndCentral->GetThisDisk());
        FNumDisks = static_cast<int>(FEndCentral->GetThisDisk()) + 1;
        if (FEndCentral->GetThisDisk() != 0) {
            if (MultiMode() == mmNone)
                SetMultiMode(mmBlocks);  // no removable drives on this platform
        } else {
            SetMultiMode(mmNone);
        }
        if (FEndCentral->HasComment()) {
            s->Seek(FEndCentral->ZipCommentPos, soFromBeginning);
            QByteArray c(FEndCentral->zip_comment_length, '\0');
            c.resize(static_cast<qsizetype>(s->Read(c.data(), c.size())));
            FEndCentral->SetComment(c);
            FEndCentral->Modified = false;
        }
        if (FEndCentral->GetTotalEntries() > 0) {
            if (!configMode && MultiMode() != mmNone && static_cast<int>(FEndCentral->GetStartCentralDisk()) != FCurrentDisk) {
                OpenDisk(static_cast<int>(FEndCentral->GetStartCentralDisk()) + 1);
                s = FArchive.get();
            }
            s->Seek(configMode ? 0 : static_cast<int64_t>(FEndCentral->GetCentralOffset()), soFromBeginning);
        }
    } else {
        TIncompleteZipMode mode = FIncompleteZipMode;
        if (OnInCompleteZip)
            OnInCompleteZip(this, mode);
        FIncompleteZipMode = mode;
        if (mode == izAssumeNotAZip)
            throw ENotAZipFile(ZipMessage(ZM_NotAZip));
        if (mode == izAssumeMulti)
            throw EIncompleteZip(ZipMessage(ZM_IncompleteZip));
        if (!RecoverFromLocalHeaders()) {
            ClearZip();
            throw EBadZipFile(ZipMessage(ZM_NotAZip));
        }
        s = FArchive.get();
    }
    if (!FFiles) {
        FFiles = std::make_unique<TSortedZip>(dupError, TZipSortMode::ByNone, true);
        FSorted = FFiles.get();
        // Room for the entries the end record announces, as far as the file
        // holding the directory can hold their records (46 bytes at least).
        if (!FRepaired) {
            const uint64_t fit = static_cast<uint64_t>(std::max<int64_t>(0, s->Size())) / 46;
            FFiles->SetCapacity(static_cast<int>(std::min<uint64_t>({FEndCentral->GetTotalEntries(), fit, 0x1FFFFFFE})));
        }
    }
    const bool multi = !configMode && FNumDisks > 1;
    std::function<TStream*()> nextDisk;
    if (multi)
        nextDisk = [this]() -> TStream* {
            OpenDisk(FCurrentDisk + 2);
            return FArchive.get();
        };

    TZipHeaderInfo* previous = nullptr;
    int previousExtra = 0;
    for (uint64_t i = 0; i < FEndCentral->GetTotalEntries(); ++i) {
        CheckCancel();
        std::unique_ptr<TZipHeaderInfo> e(NewHeaderInfo());
        const auto& next = (!FRepaired && multi) ? nextDisk : std::function<TStream*()>();
        bool ok = e->ReadCentralRecord(s, next);
        if (!ok && previous && previousExtra > 0) {
            // A writer that declared an extra field without writing it.
            previous->Cextra_field_length = 0;
            s->Seek(-previousExtra, soFromCurrent);
            ok = e->ReadCentralRecord(s, next);
        }
        previous = nullptr;
        previousExtra = 0;
        if (!ok) {
            if (FRepaired)
                break;
            if (multi || !RecoverFromLocalHeaders()) {
                ClearZip();
                throw EBadZipFile(ZipMessage(ZM_NotAZip));
            }
            s = FArchive.get();
            i = static_cast<uint64_t>(-1);
            continue;
        }
        const int64_t skip = e->Cextra_field_length + e->file_comment_length;
        if (e->HasComment()) {
            const int64_t back = s->Position();
            s->Seek(e->Cextra_field_length, soFromCurrent);
            QByteArray c(e->file_comment_length, '\0');
            c.resize(static_cast<qsizetype>(s->Read(c.data(), c.size())));
            e->SetComment(c);
            s->Seek(back, soFromBeginning);
        }
        if (FRepaired) {
            int index = 0;
            if (FFiles->Find(e.get(), index)) {
                TZipHeaderInfo* listed = FFiles->Entry(index);
                const uint64_t offset = listed->GetRelativeOffset();
                listed->Assign(*e);
                listed->SetRelativeOffset(offset);
                previous = listed;
            }
        } else {
            try {
                FFiles->Add(e.get());
                previous = e.release();
            } catch (const kpzip::EListError&) {
                if (!RecoverFromLocalHeaders()) {
                    ClearZip();
                    throw EBadZipFile(ZipMessage(ZM_NotAZip));
                }
                s = FArchive.get();
                i = static_cast<uint64_t>(-1);
                continue;
            }
        }
        if (previous)
            previousExtra = previous->Cextra_field_length;
        s->Seek(skip, soFromCurrent);
    }
    FCurrentDisk = configMode ? 0 : static_cast<int>(FEndCentral->GetThisDisk());
    if (configMode || FCurrentDisk != static_cast<int>(FEndCentral->GetThisDisk()))
        FArchive.reset();
    if (multi && FArchive && FArchive.get() != s)
        FArchive.reset();
    ApplySortMode(FSortMode);
    FDirectoryRead = true;
}

bool TArcUnZip::RecoverFromLocalHeaders()
{
    if (FRepaired)
        return false;
    FRepaired = true;
    FSortView.reset();
    FFiles.reset();
    FSorted = nullptr;
    if (!FArchive || FCurrentDisk != static_cast<int>(FEndCentral->GetThisDisk())) {
        FArchive = std::make_unique<TLFNFileStream>(FZipName, 8192, false, fmOpenRead);
    }
    TStream* s = FArchive.get();
    const int64_t start = FZipName.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive) ? 14000 : 0;
    s->Seek(start, soFromBeginning);
    const uint32_t sig = LOCAL_FILE_HEADER_SIGNATURE;
    uint32_t window = 0;
    int64_t pos = start;
    int64_t found = -1;
    int have = 0;
    uint8_t b = 0;
    while (s->Read(&b, 1) == 1) {
        ++pos;
        window = (window >> 8) | (static_cast<uint32_t>(b) << 24);
        if (have < 4)
            ++have;
        if ((pos - start) % 10240 == 0)
            CheckCancel();
        if (have == 4 && window == sig) {
            uint8_t v[2];
            if (s->Read(v, 2) != 2)
                break;
            if (v[1] < 10) {
                found = pos - 4;
                break;
            }
            s->Seek(-2, soFromCurrent);
        }
    }
    if (found < 0)
        return false;
    s->Seek(found, soFromBeginning);
    FFiles = std::make_unique<TSortedZip>(dupError, TZipSortMode::ByNone, true);
    FSorted = FFiles.get();
    const int64_t size = s->Size();
    for (;;) {
        std::unique_ptr<TZipHeaderInfo> e(NewHeaderInfo());
        if (!e->ReadLocalHeader(*s))
            break;
        CheckCancel();
        int64_t skip = static_cast<int64_t>(e->GetCompressedSize()) + e->Lextra_field_length;
        if (e->HasDataDescriptor())
            skip += 16;
        const int64_t next = s->Position() + skip;
        try {
            FFiles->Add(e.get());
            e.release();
        } catch (const kpzip::EListError&) {
            break;
        }
        if (next > size)
            break;
        s->Seek(next, soFromBeginning);
    }
    FEndCentral->SetThisDisk(0);
    FCurrentDisk = 0;
    FEndCentral->SetCentralOffset(static_cast<uint64_t>(s->Position()));
    FEndCentral->SetTotalEntries(static_cast<uint64_t>(FFiles->Count()));
    FNumDisks = 1;
    return true;
}

// ---------------------------------------------------------------------------
// Multi-volume reading

void TArcUnZip::GetNextDisk(int n, QString& name)
{
    if (OnGetNextDisk)
        OnGetNextDisk(this, n, name);
    else
        DefaultGetNextDisk(n, name);
}

void TArcUnZip::DefaultGetNextDisk(int n, QString& name)
{
    if (MultiMode() != mmSpan)
        return;
    const QString text = (ZipMessage(ZM_InsertDisk) + QString::number(n) + ZipMessage(ZM_OfMultiDisk)).left(255);
    if (HandleMessage(ZM_InsertDisk, text, QString(), 1) == 2)
        name.clear();
}

void TArcUnZip::FileNameForSplitPart(QString& name, int n, TSplitPartType type)
{
    if (OnFileNameForSplitPart)
        OnFileNameForSplitPart(this, name, n, type);
    else
        DefaultFileNameForSplitPart(name, n, type);
}

void TArcUnZip::DefaultFileNameForSplitPart(QString& name, int n, TSplitPartType type) const
{
    if (FBlockMode == bmClassic)
        name += QStringLiteral(".%1").arg(n, 3, 10, QLatin1Char('0'));
    else if (type == spLast)
        name += QStringLiteral(".zip");
    else
        name += QStringLiteral(".zip.z%1").arg(n, 2, 10, QLatin1Char('0'));
}

void TArcUnZip::OpenDisk(int n)
{
    FArchive.reset();
    QString name;
    if (MultiMode() == mmBlocks) {
        TSplitPartType type = n == 1 ? spFirst : spMiddle;
        if (FReading && n == FNumDisks)
            type = spLast;
        name = FZipNameNoExt;
        FileNameForSplitPart(name, n, type);
    } else {
        for (int attempt = 0;; ++attempt) {
            name = FZipName;
            GetNextDisk(n, name);
            if (name.isEmpty() || attempt >= 100)
                throw EUserCanceled(QStringLiteral("User canceled loading new disk."));
            if (QFileInfo::exists(name))
                break;
        }
    }
    FArchive = std::make_unique<TLFNFileStream>(name, 8192, false, fmOpenRead | fmShareDenyNone);
    FCurrentDisk = n - 1;
}

// ---------------------------------------------------------------------------
// Extraction

// The legacy decoders' view of the extraction engine.
class TUnZipLegacyIO : public TLegacyIO {
public:
    explicit TUnZipLegacyIO(TArcUnZip& z) : FZ(z) {}
    int ReadInputByte() override { return FZ.ReadInputByte(); }
    void WriteOutput(const uint8_t* data, size_t length) override
    {
        while (length > 0) {
            const size_t n = std::min<size_t>(length, WorkSize);
            std::memcpy(FZ.FOutBuf.data(), data, n);
            FZ.FlushOutput(static_cast<int>(n));
            data += n;
            length -= n;
        }
    }
    uint64_t ExpectedSize() const override { return FZ.FBytesExpected; }

private:
    TArcUnZip& FZ;
};

int TArcUnZip::UnZip()
{
    const bool busy = FBusy;
    FBusy = true;
    FCancel = false;
    struct TRestore {
        TArcUnZip* Z;
        bool Busy;
        ~TRestore()
        {
            Z->FBusy = Busy;
            Z->FCancel = false;
        }
    } restore {this, busy};
    if (FDestDir == QLatin1String("?"))
        return 0;
    ReadZip();
    OpenZip();
    int n = 0;
    try {
        n = UnZipFiles(*FArchive);
    } catch (...) {
        CloseZip();
        throw;
    }
    CloseZip();
    return n;
}

void TArcUnZip::Skip(TSkipReason reason, const QString& name, int index)
{
    if (OnSkippingFile) {
        bool retry = false;
        OnSkippingFile(this, reason, name, index, retry);
    }
    FTotalBytes -= static_cast<int64_t>(FCurrent->GetUncompressedSize());
}

int TArcUnZip::UnZipFiles(TStream&)
{
    const bool reading = FReading;
    const bool keepOpen = FKeepZipOpen;
    const TZipSortMode sortMode = FSortMode;
    FReading = true;
    FCancel = false;
    FKeepZipOpen = true;
    FFilesDone = 0;
    bool resorted = false;
    // Every way out of the run restores the reader's state the same way.
    const auto finish = [&] {
        FInBuf.clear();
        FOutBuf.clear();
        FFoldersMade.clear();
        FRunArchiveSize = -1;
        if (FInflate) {
            inflateEnd(FInflate.get());
            FInflate.reset();
        }
        FFilesList.clear();
        if (resorted)
            ApplySortMode(sortMode);
        if (OnUnZipComplete)
            OnUnZipComplete(this, FFilesDone);
        FKeepZipOpen = keepOpen;
        FReading = reading;
    };
    try {
        FInBuf.assign(WorkSize + 1, 0);
        FOutBuf.assign(WorkSize + 1, 0);
        if (!FDestDir.isEmpty() && !DirectoryReachable(FDestDir))
            MakeDirectoryPath(FDestDir);
        if (FNumDisks > 1 && FSortMode != TZipSortMode::ByNone) {
            ApplySortMode(TZipSortMode::ByNone);
            resorted = true;
        }
        FTotalBytes = 0;
        FTotalWritten = 0;
        QStringList masks;
        for (QString m : FFilesList) {
            m.replace(QLatin1Char('\\'), QLatin1Char('/'));
            masks << m.toLower();
        }
        int count = Count();
        for (int i = 0; i < Count(); ++i) {
            CheckCancel();
            TZipHeaderInfo* e = FSorted->Entry(i);
            e->Selected = FDoAll ? 1 : 0;
            if (!e->FileName().isEmpty() || FRecreateDirs) {
                if (e->SelectedByIndex) {
                    e->SelectedByIndex = 0;
                    e->Selected = 1;
                } else if (!FDoAll) {
                    const QString name = e->FullName().toLower();
                    for (const QString& m : masks)
                        if (IsMatch(m, name)) {
                            e->Selected = 1;
                            break;
                        }
                }
            }
            if (e->Selected)
                FTotalBytes += static_cast<int64_t>(e->GetUncompressedSize());
            else
                --count;
        }
        bool stop = false;
        if (OnStartUnZipInfo)
            OnStartUnZipInfo(this, count, FTotalBytes, stop);
        if (count > 0 && !stop) {
            for (int i = 0; i < Count(); ++i) {
                if (!FDoAll && !FSorted->Entry(i)->Selected)
                    continue;
                int tries = 0;
                do {
                    UnZipOne(i);
                } while (FRetry && ++tries < 100);
            }
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
    return FFilesDone;
}

std::optional<QString> TArcUnZip::DestinationFolder() const
{
    const QString base = FDestDir.isEmpty() ? QString() : FDestDir + QLatin1Char('/');
    if (!FRecreateDirs || FCurrent->Directory().isEmpty())
        return base;
    QString path = FCurrent->Directory();
    QString rest;
    StripRelativePath(path, rest);
    const std::optional<QString> safe = SafeRelativeFolder(rest);
    if (!safe)
        return std::nullopt;
    return base + *safe;
}

int64_t TArcUnZip::ReadArchiveData(char* buffer, int64_t count)
{
    int64_t done = FArchive->Read(buffer, count);
    while (done < count) {
        if (FNumDisks <= 1 || FCurrentDisk + 1 >= FNumDisks)
            throw EFatalUnzipError(ZipMessage(ZM_PrematureEnd));
        OpenDisk(FCurrentDisk + 2);
        done += FArchive->Read(buffer + done, count - done);
    }
    return done;
}

int TArcUnZip::FillInput()
{
    const int64_t n = std::min<int64_t>(WorkSize, FBytesToRead);
    if (n <= 0)
        return 0;
    ReadArchiveData(reinterpret_cast<char*>(FInBuf.data()), n);
    FBytesToRead -= n;
    if (FDecrypting && FCurrent->compression_method != 0) {
        if (OnDecrypt)
            OnDecrypt(this, FInBuf.data(), static_cast<int>(n), FPassword);
        else
            FKeys.DecryptBuffer(FInBuf.data(), static_cast<size_t>(n));
    }
    FInPtr = FInBuf.data();
    FInCount = static_cast<int>(n);
    return FInCount;
}

int TArcUnZip::ReadInputByte()
{
    if (FInCount == 0) {
        if (FBytesToRead <= 0)
            return -1;
        CheckCancel();
        FillInput();
    }
    --FInCount;
    return *FInPtr++;
}

void TArcUnZip::FlushOutput(int n)
{
    if (n <= 0)
        return;
    if (FDecrypting && FCurrent->compression_method == 0)
        FKeys.DecryptBuffer(FOutBuf.data(), static_cast<size_t>(n));
    if (FEntryWritten + static_cast<uint64_t>(n) > FBytesExpected)
        throw EBiggerThanUncompressed(ZipMessage(ZM_BiggerThanUncompressed));
    if (FTarget->Write(FOutBuf.data(), n) != n)
        throw ECantWriteUCF(ZipMessage(ZM_CantWriteUCF));
    FCrc = static_cast<uint32_t>(crc32(FCrc, FOutBuf.data(), static_cast<uInt>(n)));
    FEntryWritten += static_cast<uint64_t>(n);
    FTotalWritten += n;
    if (OnFilePercentDone)
        OnFilePercentDone(this, Percent(static_cast<int64_t>(FEntryWritten), static_cast<int64_t>(FBytesExpected)));
    const int total = Percent(FTotalWritten, FTotalBytes);
    NoteProgress(total);
    if (OnTotalPercentDone)
        OnTotalPercentDone(this, total);
}

void TArcUnZip::ExtractStored()
{
    while (FBytesToRead > 0) {
        CheckCancel();
        const int64_t n = std::min<int64_t>(WorkSize, FBytesToRead);
        FBytesToRead -= n;
        ReadArchiveData(reinterpret_cast<char*>(FOutBuf.data()), n);
        FlushOutput(static_cast<int>(n));
    }
}

void TArcUnZip::InflateEntry()
{
    // One inflate state serves every entry of the run.
    if (!FInflate) {
        auto state = std::make_unique<z_stream>();
        if (inflateInit2(state.get(), -15) < 0)
            throw EZCompressionError(QStringLiteral("error"));
        FInflate = std::move(state);
    } else if (inflateReset(FInflate.get()) < 0) {
        throw EZCompressionError(QStringLiteral("error"));
    }
    z_stream& zs = *FInflate;
    zs.next_out = FOutBuf.data();
    zs.avail_out = WorkSize;
    const int first = FillInput();
    zs.next_in = FInBuf.data();
    zs.avail_in = static_cast<uInt>(first);
    FInCount = 0;
    int r = Z_OK;
    do {
        if (zs.avail_in == 0) {
            CheckCancel();
            const int n = FillInput();
            FInCount = 0;
            zs.next_in = FInBuf.data();
            zs.avail_in = static_cast<uInt>(n);
        }
        r = inflate(&zs, Z_NO_FLUSH);
        if (r < 0 || r == Z_NEED_DICT)
            throw EZCompressionError(QStringLiteral("error"));
        if (zs.avail_out == 0 || r == Z_STREAM_END) {
            FlushOutput(static_cast<int>(WorkSize - zs.avail_out));
            zs.next_out = FOutBuf.data();
            zs.avail_out = WorkSize;
        }
    } while (r != Z_STREAM_END);
}

bool TArcUnZip::CheckEncryptionHeader()
{
    if (FBytesToRead < 12)
        return false;
    uint8_t h[12];
    ReadArchiveData(reinterpret_cast<char*>(h), 12);
    FBytesToRead -= 12;
    FKeys.InitKeys(StringToAnsi(FPassword));
    FKeys.DecryptBuffer(h, 12);
    const uint8_t check = FCurrent->HasDataDescriptor() ? static_cast<uint8_t>((FCurrent->last_mod_file_date_time >> 8) & 0xFF)
                                                        : static_cast<uint8_t>(FCurrent->crc32 >> 24);
    return h[11] == check;
}

void TArcUnZip::UnZipOne(int index)
{
    FRetry = false;
    FCurrent->Assign(*FSorted->Entry(index));
    int64_t dataStart = 0;
    if (!FCurrent->FileName().isEmpty()) {
        if (FNumDisks > 1 && static_cast<int>(FCurrent->GetDiskStart()) != FCurrentDisk)
            OpenDisk(static_cast<int>(FCurrent->GetDiskStart()) + 1);
        if (!FArchive)
            OpenZip();
        const int64_t offset = static_cast<int64_t>(FCurrent->GetRelativeOffset());
        // A single-part archive keeps its size for the run.
        if (FRunArchiveSize < 0 || FNumDisks > 1)
            FRunArchiveSize = FArchive->GetSize();
        const int64_t size = FRunArchiveSize;
        uint8_t h[30];
        if (offset < 0 || offset + 30 > size)
            throw EFatalUnzipError(ZipMessage(ZM_PrematureEnd));
        FArchive->Seek(offset, soFromBeginning);
        if (FArchive->Read(h, 30) != 30 || GetLE32(h) != LOCAL_FILE_HEADER_SIGNATURE)
            throw EBadZipFile(ZipMessage(ZM_NotAZip));
        dataStart = offset + 30 + GetLE16(h + 26) + GetLE16(h + 28);
        // The data must lie inside the archive (a single-part one can be checked).
        if (FNumDisks <= 1 && (dataStart > size || static_cast<uint64_t>(size - dataStart) < FCurrent->GetCompressedSize()))
            throw EFatalUnzipError(ZipMessage(ZM_PrematureEnd));
    }
    const std::optional<QString> folder = DestinationFolder();
    const QString name = FCurrent->FileName();
    const bool unsafeName = name == QLatin1String(".") || name == QLatin1String("..");
    if (!folder || unsafeName) {
        // A stored path that would leave the destination folder.
        Skip(srCreateError, FCurrent->FullName(), index);
        return;
    }
    if (name.isEmpty()) {
        if (FRecreateDirs && !folder->isEmpty() && !DirectoryReachable(*folder))
            MakeDirectoryPath(*folder);
        ++FFilesDone;
        return;
    }
    QString target = *folder + name;
    bool skip = false;
    if (OnStartUnZip)
        OnStartUnZip(this, index, target, skip);
    if (skip)
        return;
    const qsizetype slash = target.lastIndexOf(QLatin1Char('/'));
    const QString targetFolder = slash > 0 ? target.left(slash) : slash == 0 ? QStringLiteral("/") : QStringLiteral(".");
    if (!FFoldersMade.contains(targetFolder)) {
        if (!DirectoryReachable(targetFolder))
            MakeDirectoryPath(targetFolder);
        FFoldersMade.insert(targetFolder);
    }

    FBytesToRead = static_cast<int64_t>(FCurrent->GetCompressedSize());
    FDecrypting = false;
    if (FCurrent->IsEncrypted()) {
        for (int attempt = 0;; ++attempt) {
            FArchive->Seek(dataStart, soFromBeginning);
            FBytesToRead = static_cast<int64_t>(FCurrent->GetCompressedSize());
            if (CheckEncryptionHeader())
                break;
            QString password = FPassword;
            if (OnBadPassword && attempt < 100)
                OnBadPassword(this, index, password);
            if (!OnBadPassword || password == FPassword || attempt >= 100) {
                Skip(srBadPassword, target, index);
                return;
            }
            FPassword = password;
        }
        FDecrypting = true;
    }

    if (FOverwriteMode != TUZOverwriteMode::Always && QFileInfo::exists(target)) {
        bool overwrite = false;
        const uint32_t fileDate = RepairDosDateTime(FileDosDateTime(target));
        const uint32_t entryDate = RepairDosDateTime(FCurrent->last_mod_file_date_time);
        switch (FOverwriteMode) {
        case TUZOverwriteMode::Prompt:
            if (OnPromptForOverwrite) {
                OnPromptForOverwrite(this, overwrite, index, target);
            } else {
                const QString text = (ZipMessage(ZM_ReplaceFile) + name + QLatin1Char('?')).left(300);
                overwrite = HandleMessage(ZM_ReplaceFile, text, ZipMessage(ZM_FileExists), 4) == 6;
            }
            break;
        case TUZOverwriteMode::ifNewer: overwrite = entryDate > fileDate; break;
        case TUZOverwriteMode::ifOlder: overwrite = entryDate < fileDate; break;
        default: break;
        }
        if (!overwrite) {
            Skip(srNoOverwrite, target, index);
            return;
        }
    }

    // The entry is written into a new file: the target itself when nothing
    // is there yet, otherwise a file beside it, which takes the target's
    // place only when the entry came out whole and correct. The new file gets
    // the ordinary mode under the user's umask; a failed entry's file goes.
    QString temp = target;
    std::unique_ptr<TLFNFileStream> out;
    bool replacing = false;
    try {
        std::unique_ptr<TFileStream> file = CreateNewFile(target);
        if (!file) {
            replacing = true;
            file = CreateUniqueFile(targetFolder, temp);
        }
        out = std::make_unique<TLFNFileStream>(std::move(file), 8192, FFlushFilesOnClose);
    } catch (const kpzip::Exception&) {
        Skip(srCreateError, target, index);
        return;
    }
    FTarget = out.get();
    FInCount = 0;
    FInPtr = FInBuf.data();
    FCrc = 0;
    FEntryWritten = 0;
    FBytesExpected = FCurrent->GetUncompressedSize();
    bool failed = false;
    try {
        FArchive->Seek(dataStart + (FDecrypting ? 12 : 0), soFromBeginning);
        TUnZipLegacyIO io(*this);
        switch (FCurrent->compression_method) {
        case 0: ExtractStored(); break;
        case 1: failed = !UnShrink(io); break;
        case 2:
        case 3:
        case 4:
        case 5: failed = !UnReduce(io, FCurrent->compression_method - 1); break;
        case 6: failed = !Explode(io, FCurrent->general_purpose_bit_flag); break;
        case 8: InflateEntry(); break;
        default:
            FLastError = ZipMessage(ZM_UnknownMethod);
            HandleMessage(ZM_UnknownMethod, FLastError, ZipMessage(ZM_ZipError), 0);
            failed = true;
            break;
        }
        out->FlushPending();
    } catch (const EBiggerThanUncompressed&) {
        failed = true;
    } catch (const EZCompressionError&) {
        // Data that does not inflate is, for an encrypted entry, what a wrong
        // password that passed the one-byte check gives: the entry fails as
        // its CRC check would. Otherwise the archive is damaged.
        if (!FDecrypting) {
            FTarget = nullptr;
            out.reset();
            QFile::remove(temp);
            throw;
        }
        failed = true;
    } catch (...) {
        FTarget = nullptr;
        out.reset();
        QFile::remove(temp);
        throw;
    }
    FTarget = nullptr;
    try {
        out->FlushPending();
    } catch (const kpzip::Exception&) {
        failed = true;
    }
    const bool good = !failed && FCrc == FCurrent->crc32 && FEntryWritten == FCurrent->GetUncompressedSize();
    if (good) {
        const int handle = out->FileStream().Handle();
        HandleSetDate(handle, FCurrent->last_mod_file_date_time);
        // Only the read-only bit changes the mode: read-only entries stay so.
        if (FRetainAttributes && (FCurrent->external_file_attributes & faReadOnly))
            HandleSetAttr(handle, FCurrent->external_file_attributes & 0xFF);
    }
    out.reset();
    if (good) {
        if (replacing && !RenameOnSameDrive(temp, target)) {
            QFile::remove(temp);
            Skip(srCreateError, target, index);
            return;
        }
        if (OnEndUnZip)
            OnEndUnZip(this, index, target);
        ++FFilesDone;
        return;
    }
    QFile::remove(temp);
    if (FCurrent->IsEncrypted()) {
        QString password = FPassword;
        if (OnBadPassword) {
            OnBadPassword(this, index, password);
            if (password != FPassword) {
                FPassword = password;
                FRetry = true;
                return;
            }
        }
        Skip(srBadPassword, target, index);
    } else if (OnBadCRC) {
        OnBadCRC(this, FCrc, FCurrent->crc32, index);
    }
}
