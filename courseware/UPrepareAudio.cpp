#include "UPrepareAudio.h"

#include "CacheFile.h"
#include "ProgramFolder.h"
#include "UAudioConverters.h"

#include <QtCore/QDateTime>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>


namespace {

TPrepareStepHook GPrepareStepHook = nullptr;

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

void SetPrepareStepHook(TPrepareStepHook hook)
{
    GPrepareStepHook = hook;
}

void PrepareStep(const char* step)
{
    if (GPrepareStepHook)
        GPrepareStepHook(step);
}

namespace {

// What the stamp of a made file holds: the source's identity and the length
// of the measured file. Empty when either cannot be read.
QByteArray StampText(const QString& cachedFile, const QString& sourcePath, const QString& measuredFile)
{
    const QByteArray identity = SourceIdentity(sourcePath);
    const QFileInfo measured(measuredFile.isEmpty() ? cachedFile : measuredFile);
    if (identity.isEmpty() || !measured.exists() || !measured.isFile())
        return {};
    return identity + QByteArray::number(measured.size()) + '\n';
}

}  // namespace

bool CacheStampMatches(const QString& cachedFile, const QString& sourcePath, const QString& measuredFile)
{
    if (!QFileInfo::exists(cachedFile))
        return false;
    const QByteArray expected = StampText(cachedFile, sourcePath, measuredFile);
    if (expected.isEmpty())
        return false;
    QFile stamp(CacheStampPath(cachedFile));
    if (!stamp.open(QIODevice::ReadOnly))
        return false;
    return stamp.read(expected.size() + 1) == expected;
}

bool WriteCacheStamp(const QString& cachedFile, const QString& sourcePath, const QString& measuredFile)
{
    const QByteArray text = StampText(cachedFile, sourcePath, measuredFile);
    if (text.isEmpty())
        return false;
    // Written whole under another name and renamed into place: a stamp is
    // there completely or not at all, and a lost one does not match.
    const bool ok = WriteCacheFile(
        CacheStampPath(cachedFile), [&](QIODevice& file) { return file.write(text) == text.size(); },
        [] { PrepareStep("stamp-part"); });
    if (ok)
        PrepareStep("stamp");
    return ok;
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
    const QString suffix = QLatin1Char('.') + source.suffix();

    bool ok = false;
    try {
        if (suffix.compare(QLatin1String(".mp3"), Qt::CaseInsensitive) == 0) {
            const QString copy = temp + source.fileName();
            if (CopyFileReplacing(sourcePath, copy)) {
                TAudioConverters converters;
                converters.SetLeadingSilence(true);
                bool reported = false;
                converters.OnProgress = [&reported](TAudioConverters*, int) {
                    if (!reported) {
                        reported = true;
                        PrepareStep("converting");
                    }
                };
                ok = converters.Convert(TAudioConverters::cmMp3ToWav, copy, targetPath);
            }
        } else if (SameFile(sourcePath, targetPath)) {
            ok = PrependSilence(targetPath);
        } else {
            ok = CopyWaveWithSilence(sourcePath, targetPath);
        }
    } catch (...) {
        ok = false;
    }
    if (ok) {
        PrepareStep("wav");
        ok = WriteCacheStamp(targetPath, sourcePath);
    }
    if (!ok) {
        if (!SameFile(sourcePath, targetPath))
            QFile::remove(targetPath);
        RemoveCacheStamp(targetPath);
    }
    return ok;
}
