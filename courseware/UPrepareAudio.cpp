#include "UPrepareAudio.h"

#include "ProgramFolder.h"
#include "UAudioConverters.h"

#include <QtCore/QDateTime>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QSaveFile>

namespace {

// The identity of a source file, as written in a stamp.
QByteArray SourceIdentity(const QString& sourcePath)
{
    const QFileInfo info(sourcePath);
    if (!info.exists() || !info.isFile())
        return {};
    const QString absolute = info.absoluteFilePath();
    return absolute.toUtf8() + '\n' + QByteArray::number(info.size()) + '\n'
        + QByteArray::number(info.lastModified().toMSecsSinceEpoch()) + '\n';
}

bool SameFile(const QString& a, const QString& b)
{
    const QFileInfo first(a);
    const QFileInfo second(b);
    if (first.absoluteFilePath() == second.absoluteFilePath())
        return true;
    return first.exists() && second.exists() && first.canonicalFilePath() == second.canonicalFilePath();
}

} // namespace

bool CopyFileReplacing(const QString& from, const QString& to)
{
    if (SameFile(from, to))
        return QFile::exists(from);
    QFile::remove(to);
    return QFile::copy(from, to);
}

QString CacheStampPath(const QString& cachedFile)
{
    return cachedFile + QStringLiteral(".src");
}

bool CacheStampMatches(const QString& cachedFile, const QString& sourcePath)
{
    if (!QFileInfo::exists(cachedFile))
        return false;
    const QByteArray identity = SourceIdentity(sourcePath);
    if (identity.isEmpty())
        return false;
    QFile stamp(CacheStampPath(cachedFile));
    if (!stamp.open(QIODevice::ReadOnly))
        return false;
    return stamp.read(identity.size() + 1) == identity;
}

bool WriteCacheStamp(const QString& cachedFile, const QString& sourcePath)
{
    const QByteArray identity = SourceIdentity(sourcePath);
    if (identity.isEmpty())
        return false;
    QSaveFile stamp(CacheStampPath(cachedFile));
    if (!stamp.open(QIODevice::WriteOnly))
        return false;
    if (stamp.write(identity) != identity.size())
        return false;
    return stamp.commit();
}

void RemoveCacheStamp(const QString& cachedFile)
{
    QFile::remove(CacheStampPath(cachedFile));
}

bool PrepareAudioFile(const QString& sourcePath, const QString& targetPath)
{
    if (CacheStampMatches(targetPath, sourcePath))
        return true;
    RemoveCacheStamp(targetPath);

    const QString temp = ProgramFolder() + QStringLiteral("temp/");
    QDir().mkpath(temp);
    const QFileInfo source(sourcePath);
    const QString copy = temp + source.fileName();
    const QString suffix = QLatin1Char('.') + source.suffix();

    bool ok = false;
    try {
        if (suffix.compare(QLatin1String(".mp3"), Qt::CaseInsensitive) == 0) {
            if (CopyFileReplacing(sourcePath, copy)) {
                const QString converted = temp + QStringLiteral("PiboTempMP3TOWav.wav");
                QFile::remove(converted);
                TAudioConverters converters;
                ok = converters.Convert(TAudioConverters::cmMp3ToWav, copy, converted)
                    && CopyFileReplacing(converted, targetPath);
                QFile::remove(converted);
            }
        } else {
            ok = CopyFileReplacing(sourcePath, copy) && CopyFileReplacing(copy, targetPath);
        }
        ok = ok && PrependSilence(targetPath);
    } catch (...) {
        ok = false;
    }
    if (ok)
        ok = WriteCacheStamp(targetPath, sourcePath);
    if (!ok) {
        if (!SameFile(sourcePath, targetPath))
            QFile::remove(targetPath);
        RemoveCacheStamp(targetPath);
    }
    return ok;
}
