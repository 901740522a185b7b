#include "KpLib.h"

#include "ZipExceptions.h"
#include "ZipRecords.h"
#include "kpMatch.h"
#include "kpSStrm.h"

#include "AnsiText.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QRandomGenerator>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

bool DirectoryReachable(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo fi(path);
    return fi.isDir() && fi.isExecutable();
}

void MakeDirectoryPath(const QString& path)
{
    const QString p = StripTrailingBackslash(path);
    if (p.isEmpty() || DirectoryReachable(p))
        return;
    QDir().mkpath(p);
}

QString StripTrailingBackslash(const QString& path)
{
    if (path.size() > 1 && (path.endsWith(QLatin1Char('/')) || path.endsWith(QLatin1Char('\\'))))
        return path.left(path.size() - 1);
    return path;
}

bool PumpPendingMessages()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
    return false;
}

// ---------------------------------------------------------------------------

TSearchData::TSearchData(const QString& folder, uint32_t attributes, const QString& pattern)
    : Folder(folder), Pattern(pattern), FAttributes(attributes)
{
    if (!Folder.endsWith(QLatin1Char('/')))
        Folder += QLatin1Char('/');
    // The folder's names, in order; hidden ones (a leading dot) only when
    // asked for. Each is looked at once, when the search reaches it.
    DIR* dir = ::opendir(QFile::encodeName(Folder).constData());
    if (!dir) {
        Done = true;
        LastResult = -1;
        return;
    }
    const bool hidden = FAttributes & faHidden;
    while (const struct dirent* e = ::readdir(dir)) {
        const char* n = e->d_name;
        if (n[0] == '.' && (!hidden || n[1] == '\0' || (n[1] == '.' && n[2] == '\0')))
            continue;
        FNames << QFile::decodeName(n);
    }
    ::closedir(dir);
    std::sort(FNames.begin(), FNames.end());
    // Every search starts with the folder's "." entry, as the platform's does.
    FNames.prepend(QStringLiteral("."));
    if (!Load(0)) {
        Done = true;
        LastResult = -1;
    }
}

bool TSearchData::Load(int index)
{
    while (index < FNames.size()) {
        const QString& name = FNames[index];
        // One look at the file gives everything the record holds.
        if (FileInfoOf(Folder + name, SearchRec)) {
            FIndex = index;
            SearchRec.Name = name;
            return true;
        }
        ++index;
    }
    return false;
}

bool TSearchData::FindNextEntry()
{
    if (LastResult == 0 && !Load(FIndex + 1)) {
        LastResult = -1;
        Done = true;
    }
    return LastResult == 0;
}

TDirSearch::TDirSearch(const QString& folder, uint32_t attributes, bool recurse, const QString& pattern)
    : FPattern(pattern), FRecurse(recurse), FAttributes(attributes)
{
    QString start = folder;
    if (!start.endsWith(QLatin1Char('/')))
        start += QLatin1Char('/');
    if (HasWildcards(start)) {
        qsizetype w = 0;
        while (w < start.size() && !HasWildcards(start.at(w)))
            ++w;
        const qsizetype cut = start.lastIndexOf(QLatin1Char('/'), w);
        const QString rest = start.mid(cut + 1);
        start = start.left(cut + 1);
        FComponents = rest.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    }
    FLevels.resize(MaxLevels);
    FWildLevel.assign(MaxLevels, false);
    FLevels[0] = std::make_unique<TSearchData>(start, FAttributes, FComponents.isEmpty() ? FPattern : FComponents[0]);
    FWildLevel[0] = !FComponents.isEmpty();
}

TDirSearch::~TDirSearch() = default;

QString TDirSearch::NextFile(TSearchRec& rec)
{
    for (;;) {
        TSearchData* s = FLevels[FLevel].get();
        if (s->Done) {
            FLevels[FLevel].reset();
            if (FLevel == 0)
                return {};
            if (FWildLevel[FLevel - 1] && FComponentIndex > 0)
                --FComponentIndex;
            --FLevel;
            FLevels[FLevel]->FindNextEntry();
            continue;
        }
        const TSearchRec& r = s->SearchRec;
        if (FWildLevel[FLevel]) {
            if (IsRealDirectory(r) && IsMatch(FComponents[FComponentIndex], r.Name) && FLevel + 1 < MaxLevels) {
                const QString sub = s->Folder + r.Name + QLatin1Char('/');
                ++FComponentIndex;
                const bool wild = FComponentIndex < FComponents.size();
                ++FLevel;
                FLevels[FLevel] = std::make_unique<TSearchData>(sub, FAttributes, wild ? FComponents[FComponentIndex] : FPattern);
                FWildLevel[FLevel] = wild;
                FLevels[FLevel]->FindNextEntry();  // passes the "." entry
                continue;
            }
            s->FindNextEntry();
            continue;
        }
        if (IsDirectory(r)) {
            if (FRecurse && IsRealDirectory(r) && FLevel + 1 < MaxLevels) {
                const QString sub = s->Folder + r.Name + QLatin1Char('/');
                rec = r;
                ++FLevel;
                FLevels[FLevel] = std::make_unique<TSearchData>(sub, FAttributes, FPattern);
                FWildLevel[FLevel] = false;
                FLevels[FLevel]->FindNextEntry();
                return sub;
            }
            s->FindNextEntry();
            continue;
        }
        QString name = r.Name;
        if (!name.contains(QLatin1Char('.')))
            name += QLatin1Char('.');
        if (IsMatch(FPattern, name)) {
            rec = r;
            const QString path = s->Folder + r.Name;
            s->FindNextEntry();
            return path;
        }
        s->FindNextEntry();
    }
}

bool IsRealDirectory(const TSearchRec& rec)
{
    return (rec.Attr & faDirectory) && rec.Name != QLatin1String(".") && rec.Name != QLatin1String("..");
}

bool IsDirectory(const TSearchRec& rec) { return rec.Attr & faDirectory; }

int64_t SearchRecSize(const TSearchRec& rec) { return rec.Size; }

int64_t Min64(int64_t a, int64_t b) { return a < b ? a : b; }

int64_t Max64(int64_t a, int64_t b) { return a > b ? a : b; }

int Percent(int64_t done, int64_t total)
{
    if (total <= 0)
        return 0;
    const double p = std::round(static_cast<double>(done) * 100.0 / static_cast<double>(total));
    return static_cast<int>(std::min(100.0, p));
}

void SlashesToForward(QString& s) { s.replace(QLatin1Char('\\'), QLatin1Char('/')); }

void SlashesToBackward(QString& s) { s.replace(QLatin1Char('/'), QLatin1Char('\\')); }

QString RightStr(const QString& text, int n) { return text.right(n); }

QString LeftStr(const QString& text, int n) { return text.left(n); }

bool FileInfoOf(const QString& path, TSearchRec& rec)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    rec.Attr = S_ISDIR(st.st_mode) ? faDirectory : faArchive;
    if (!(st.st_mode & S_IWUSR))
        rec.Attr |= faReadOnly;
    rec.Size = S_ISDIR(st.st_mode) ? 0 : static_cast<int64_t>(st.st_size);
    rec.Time = st.st_mtime;
    return true;
}

uint32_t FileDosDateTime(const QString& path)
{
    TSearchRec rec;
    return FileInfoOf(path, rec) ? UnixToDosDateTime(rec.Time) : 0xFFFFFFFF;
}

QDateTime FileDateTime(const QString& path)
{
    const uint32_t v = RepairDosDateTime(FileDosDateTime(StripTrailingBackslash(path)));
    return QDateTime::fromSecsSinceEpoch(DosDateTimeToUnix(v));
}

int64_t FileGetAttr(const QString& path)
{
    TSearchRec rec;
    return FileInfoOf(StripTrailingBackslash(path), rec) ? rec.Attr : -1;
}

namespace {
mode_t ModeWithAttr(mode_t mode, uint32_t attr)
{
    mode &= 07777;
    if (attr & faReadOnly)
        return mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    return mode | S_IWUSR;
}

struct timespec DosTimeSpec(uint32_t dosDateTime)
{
    struct timespec ts {};
    ts.tv_sec = static_cast<time_t>(DosDateTimeToUnix(RepairDosDateTime(dosDateTime)));
    return ts;
}
}  // namespace

bool FileSetAttr(const QString& path, uint32_t attr)
{
    struct stat st {};
    const QByteArray p = QFile::encodeName(path);
    if (::stat(p.constData(), &st) != 0)
        return false;
    return ::chmod(p.constData(), ModeWithAttr(st.st_mode, attr)) == 0;
}

bool HandleSetAttr(int handle, uint32_t attr)
{
    struct stat st {};
    if (::fstat(handle, &st) != 0)
        return false;
    const mode_t mode = ModeWithAttr(st.st_mode, attr);
    return mode == (st.st_mode & 07777) || ::fchmod(handle, mode) == 0;
}

bool FileSetDate(const QString& path, uint32_t dosDateTime)
{
    const struct timespec ts[2] {DosTimeSpec(dosDateTime), DosTimeSpec(dosDateTime)};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), ts, 0) == 0;
}

bool HandleSetDate(int handle, uint32_t dosDateTime)
{
    const struct timespec ts[2] {DosTimeSpec(dosDateTime), DosTimeSpec(dosDateTime)};
    return ::futimens(handle, ts) == 0;
}

bool RenameOnSameDrive(const QString& source, const QString& target)
{
    const QByteArray s = QFile::encodeName(source);
    const QByteArray t = QFile::encodeName(target);
    if (::renameat2(AT_FDCWD, s.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno == EEXIST && ::renameat2(AT_FDCWD, s.constData(), AT_FDCWD, t.constData(), RENAME_EXCHANGE) == 0) {
        // The two names swapped in one step; the old file, now under the
        // source's name, goes. (A rename over the old file would do the same,
        // but makes some file systems write the new file out at once.)
        if (::unlink(s.constData()) == 0)
            return true;
        // Not a file (a folder, say): put both back.
        ::renameat2(AT_FDCWD, s.constData(), AT_FDCWD, t.constData(), RENAME_EXCHANGE);
        return false;
    }
    // File systems without these flags.
    return ::rename(s.constData(), t.constData()) == 0;
}

void MoveOrCopyFile(const QString& source, const QString& target)
{
    if (RenameOnSameDrive(source, target))
        return;
    const QString error = ZipMessage(ZM_Error) + QStringLiteral(": ") + ZipMessage(ZM_CouldNotCopy) + source + QStringLiteral(" -> ") + target;
    // Copy beside the target, then put the copy in place in one step.
    const QFileInfo fi(target);
    QString temp;
    try {
        temp = UniqueTempFileName(fi.absolutePath());
        {
            TFileStream in(source, fmOpenRead);
            TFileStream out(temp, fmCreate);
            const int64_t size = in.Size();
            if (out.CopyFrom(in, size) != size || !out.Sync())
                throw kpzip::Exception(error);
            // The copy keeps the mode of the file it copies.
            struct stat st {};
            if (::fstat(in.Handle(), &st) == 0)
                ::fchmod(out.Handle(), st.st_mode & 07777);
        }
        if (!RenameOnSameDrive(temp, target))
            throw kpzip::Exception(error);
    } catch (const kpzip::Exception&) {
        if (!temp.isEmpty())
            QFile::remove(temp);
        throw kpzip::Exception(error);
    }
}

QString UniqueTempFileName(const QString& folder)
{
    QString f = folder.isEmpty() ? QDir::tempPath() : folder;
    if (!f.endsWith(QLatin1Char('/')))
        f += QLatin1Char('/');
    QByteArray tmpl = QFile::encodeName(f + QStringLiteral("KPZXXXXXX"));
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0)
        throw kpzip::EFCreateError(QStringLiteral("Cannot create a temporary file in \"%1\"").arg(f));
    ::close(fd);
    return QFile::decodeName(tmpl);
}

std::unique_ptr<TFileStream> CreateNewFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0)
        return std::make_unique<TFileStream>(fd, path);
    const int error = errno;
    if (error == EEXIST)
        return nullptr;
    throw kpzip::EFCreateError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, QString::fromLocal8Bit(std::strerror(error))));
}

std::unique_ptr<TFileStream> CreateUniqueFile(const QString& folder, QString& name)
{
    QString f = folder.isEmpty() ? QStringLiteral(".") : folder;
    if (!f.endsWith(QLatin1Char('/')))
        f += QLatin1Char('/');
    // Random names, so that a name taken by someone else costs one more try;
    // O_EXCL never opens what is already there (nor follows a link).
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        const QString candidate = f + QStringLiteral("KPZ") + QString::number(QRandomGenerator::global()->generate64() & 0xFFFFFFFFFFull, 36);
        const int fd = ::open(QFile::encodeName(candidate).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            name = candidate;
            return std::make_unique<TFileStream>(fd, candidate);
        }
        error = errno;
    }
    throw kpzip::EFCreateError(QStringLiteral("Cannot create a file in \"%1\". %2").arg(f, QString::fromLocal8Bit(std::strerror(error))));
}

QString OemRoundTrip(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x80)
            return AnsiToString(StringToAnsi(text));
    return text;  // plain ASCII is the same in every code page
}

int64_t DiskFreeSpace(const QString& path)
{
    QString p = QFileInfo(path).absolutePath();
    struct statvfs sv {};
    if (::statvfs(QFile::encodeName(p).constData(), &sv) != 0)
        return -1;
    return static_cast<int64_t>(sv.f_bavail) * static_cast<int64_t>(sv.f_frsize);
}

int64_t ClusterSize(const QString& path)
{
    struct statvfs sv {};
    if (::statvfs(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), &sv) != 0)
        throw kpzip::Exception(QStringLiteral("Cannot read the cluster size of \"%1\"").arg(path));
    return static_cast<int64_t>(sv.f_bsize);
}
