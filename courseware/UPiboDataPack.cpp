#include "UPiboDataPack.h"

#include "ArcUnZip.h"
#include "ArcZip.h"
#include "ProgramFolder.h"
#include "UPrepareAudio.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTemporaryDir>

#include <vector>

namespace {

constexpr qint64 CopyBlock = 64 * 1024;

// Copies count bytes (all that is left when count < 0) from in to out.
bool CopyBytes(QFile& in, QFile& out, qint64 count)
{
    std::vector<char> block(static_cast<std::size_t>(CopyBlock));
    while (count != 0) {
        const qint64 want = count < 0 ? CopyBlock : std::min(count, CopyBlock);
        const qint64 got = in.read(block.data(), want);
        if (got < 0)
            return false;
        if (got == 0)
            return count < 0;
        if (out.write(block.data(), got) != got)
            return false;
        if (count > 0)
            count -= got;
    }
    return true;
}

bool IsAsciiAlnum(const QString& text)
{
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (!((u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z')))
            return false;
    }
    return true;
}

struct TPackHeader {
    quint32 SubtitleSize = 0;
    QString Ext;  // without its point; may be empty
};

// Reads and checks the header of an open package: the subtitle length must
// lie below 16 MiB and inside the file, the extension be letters and digits.
bool ReadHeader(QFile& pack, TPackHeader& header)
{
    char raw[PackHeaderSize];
    if (pack.read(raw, PackHeaderSize) != PackHeaderSize)
        return false;
    const auto byte = [&](int i) { return static_cast<quint32>(static_cast<unsigned char>(raw[i])); };
    if (byte(0) != 0)
        return false;
    header.SubtitleSize = (byte(1) << 16) | (byte(2) << 8) | byte(3);
    if (static_cast<qint64>(header.SubtitleSize) > pack.size() - PackHeaderSize)
        return false;
    QString ext = QString::fromLatin1(raw + 4, 5);
    while (ext.startsWith(QLatin1Char(' ')))
        ext.remove(0, 1);
    if (!IsAsciiAlnum(ext))
        return false;
    header.Ext = ext;
    return true;
}

QString TempFolder()
{
    const QString temp = ProgramFolder() + QStringLiteral("temp/");
    QDir().mkpath(temp);
    return temp;
}

void RemoveFiles(std::initializer_list<QString> paths)
{
    for (const QString& p : paths)
        QFile::remove(p);
}

int ZipEntryCount(const QString& zipPath)
{
    TArcUnZip zip;
    zip.SetZipName(zipPath);
    zip.ReadZip();
    return zip.Count();
}

// The audio package's body, unzipped into a private folder of "temp/"; the
// archive must hold exactly one entry (its name does not matter, so a
// renamed package opens).
bool UnzipBody(const QString& packPath, const QTemporaryDir& work, QString& body)
{
    if (ZipEntryCount(packPath) != 1)
        return false;
    if (!UnzipAll(packPath, work.filePath(QStringLiteral("body"))))
        return false;
    const QFileInfoList found = QDir(work.path()).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    if (found.size() != 1 || !found.first().isFile())
        return false;
    body = found.first().absoluteFilePath();
    return true;
}

bool OpenAudioPackage(const QString& packPath, QString& playPath)
{
    const QString temp = TempFolder();
    const QString base = temp + QFileInfo(packPath).completeBaseName();
    const QString plrc = base + QStringLiteral(".plrc");
    const QString wav = base + QStringLiteral(".wav");
    const QString mp3 = base + QStringLiteral(".mp3");
    // The stamp lies beside the subtitle and is written after the WAV is
    // complete, with the WAV's length: only a finished opening of this very
    // package is reused, never a WAV cut short.
    if (CacheStampMatches(plrc, packPath, wav)) {
        playPath = wav;
        return true;
    }
    RemoveCacheStamp(plrc);
    if (!QFileInfo(packPath).isFile())
        return false;

    QTemporaryDir work(temp + QStringLiteral("unpack-XXXXXX"));
    if (!work.isValid())
        return false;
    QString body;
    if (!UnzipBody(packPath, work, body))
        return false;
    RemoveFiles({plrc, wav, mp3, CacheStampPath(wav)});
    QString media = base;
    if (!SplitPackFile(body, plrc, media))
        return false;
    QFile::remove(body);
    PrepareStep("split");
    // Extensions are names of a file system that ignores case: a stored "MP3"
    // or "WAV" is the MP3 or WAV, unpacked under its lower-case name.
    const QString stored = QFileInfo(media).suffix();
    QString known;
    if (stored.compare(QLatin1String("wav"), Qt::CaseInsensitive) == 0)
        known = wav;
    else if (stored.compare(QLatin1String("mp3"), Qt::CaseInsensitive) == 0)
        known = mp3;
    if (!known.isEmpty() && media != known && QFile::rename(media, known))
        media = known;
    bool ok = false;
    if (media == wav)
        ok = true;  // a WAV carries its silence already
    else if (media == mp3)
        ok = PrepareAudioFile(mp3, wav);
    if (!ok) {
        RemoveFiles({plrc, wav, media, CacheStampPath(wav)});
        return false;
    }
    // Without its stamp the lesson still opens; it is only made anew next time.
    WriteCacheStamp(plrc, packPath, wav);
    playPath = wav;
    return true;
}

bool OpenVideoPackage(const QString& packPath, QString& playPath)
{
    QString ext;
    ReadPackMediaExt(packPath, ext);
    const QString temp = TempFolder();
    const QString base = temp + QFileInfo(packPath).completeBaseName();
    const QString srt = base + QStringLiteral(".srt");
    const QString psrt = base + QStringLiteral(".psrt");
    const QString mediaFile = base + ext;
    if (CacheStampMatches(mediaFile, packPath) && (QFileInfo::exists(srt) || QFileInfo::exists(psrt))) {
        playPath = mediaFile;
        return true;
    }
    RemoveCacheStamp(mediaFile);
    RemoveFiles({srt, psrt});
    QString media = base;
    if (!SplitPackFile(packPath, srt, media))
        return false;
    WriteCacheStamp(media, packPath);
    playPath = media;
    return true;
}

}  // namespace

QByteArray PackExtField(const QString& mediaPath)
{
    QByteArray ext = QFileInfo(mediaPath).suffix().toLatin1().left(5);
    return QByteArray(5 - ext.size(), ' ') + ext;
}

bool JoinPackFile(const QString& subtitlePath, const QString& mediaPath, const QString& packPath)
{
    QFile subtitle(subtitlePath);
    QFile media(mediaPath);
    QFile pack(packPath);
    bool ok = false;
    try {
        if (subtitle.open(QIODevice::ReadOnly) && media.open(QIODevice::ReadOnly) && subtitle.size() < MaxPackSubtitleSize
            && pack.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            const quint32 n = static_cast<quint32>(subtitle.size());
            const char size[4] = {static_cast<char>(n >> 24), static_cast<char>((n >> 16) & 0xFF),
                                  static_cast<char>((n >> 8) & 0xFF), static_cast<char>(n & 0xFF)};
            ok = pack.write(size, 4) == 4 && pack.write(PackExtField(mediaPath)) == 5
                 && CopyBytes(subtitle, pack, n) && CopyBytes(media, pack, -1) && pack.flush();
        }
    } catch (...) {
        ok = false;
    }
    const bool packOpened = pack.isOpen();
    pack.close();
    if (!ok && packOpened)
        QFile::remove(packPath);
    return ok;
}

bool ZipFile(const QString& filePath, const QString& zipPath)
{
    try {
        TArcZip zip;
        zip.SetZipName(zipPath);
        zip.SetRecreateDirs(false);
        zip.SetStorePaths(false);
        zip.FilesList() << filePath;
        // The one named file only: no file of the same name from a subfolder.
        zip.SetRecurse(false);
        return zip.Zip() == 1;
    } catch (...) {
        return false;
    }
}

bool ZipInPlace(const QString& packPath)
{
    const QString zipPath = packPath + QStringLiteral(".zip");
    QFile::remove(zipPath);
    if (!ZipFile(packPath, zipPath)) {
        QFile::remove(zipPath);
        return false;
    }
    if (!QFile::remove(packPath) || !QFile::rename(zipPath, packPath)) {
        QFile::remove(zipPath);
        return false;
    }
    return true;
}

bool UnzipAll(const QString& zipPath, const QString& destPath)
{
    try {
        TArcUnZip unzip;
        unzip.SetZipName(zipPath);
        unzip.ReadZip();
        unzip.FilesList() << QStringLiteral("*.*");
        unzip.SetDoAll(false);
        unzip.SetDestDir(QFileInfo(destPath).absolutePath());
        unzip.SetRecreateDirs(false);
        unzip.SetRetainAttributes(true);
        unzip.SetOverwriteMode(TUZOverwriteMode::Always);
        return unzip.UnZip() > 0;
    } catch (...) {
        return false;
    }
}

bool SplitPackFile(const QString& packPath, const QString& subtitlePath, QString& mediaPath)
{
    QFile pack(packPath);
    QFile subtitle(subtitlePath);
    QFile media;
    bool ok = false;
    try {
        TPackHeader header;
        if (pack.open(QIODevice::ReadOnly) && ReadHeader(pack, header)) {
            if (!header.Ext.isEmpty())
                mediaPath += QLatin1Char('.') + header.Ext;
            media.setFileName(mediaPath);
            // A stored extension that names the subtitle file itself.
            const bool distinct = QFileInfo(mediaPath).absoluteFilePath() != QFileInfo(subtitlePath).absoluteFilePath();
            ok = distinct && subtitle.open(QIODevice::WriteOnly | QIODevice::Truncate) && media.open(QIODevice::WriteOnly | QIODevice::Truncate)
                 && CopyBytes(pack, subtitle, header.SubtitleSize) && CopyBytes(pack, media, -1) && subtitle.flush()
                 && media.flush();
        }
    } catch (...) {
        ok = false;
    }
    const bool subtitleOpened = subtitle.isOpen();
    const bool mediaOpened = media.isOpen();
    subtitle.close();
    media.close();
    if (!ok) {
        if (subtitleOpened)
            QFile::remove(subtitlePath);
        if (mediaOpened)
            QFile::remove(media.fileName());
    }
    return ok;
}

void ReadPackMediaExt(const QString& packPath, QString& ext)
{
    QFile pack(packPath);
    if (!pack.open(QIODevice::ReadOnly))
        throw EPackError("The package cannot be opened");
    TPackHeader header;
    if (!ReadHeader(pack, header))
        throw EPackError("The file is not a package");
    ext = header.Ext.isEmpty() ? QString() : QLatin1Char('.') + header.Ext;
}

bool OpenPackage(const QString& packPath, QString& playPath)
{
    const QString ext = QLatin1Char('.') + QFileInfo(packPath).suffix();
    try {
        if (ext == QLatin1String(".pibo"))
            return OpenAudioPackage(packPath, playPath);
        if (ext == QLatin1String(".vpibo"))
            return OpenVideoPackage(packPath, playPath);
    } catch (...) {
    }
    return false;
}
