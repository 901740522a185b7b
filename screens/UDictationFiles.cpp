#include "UDictationFiles.h"

#include "AnsiText.h"
#include "ProgramFolder.h"
#include "SubtitleText.h"
#include "UCommonFun.h"
#include "UPiboDataPack.h"
#include "UPrepareAudio.h"

#include <QtCore/QFile>
#include <QtCore/QFileInfo>

#include <algorithm>

namespace {

int FileNameStart(const QString& path)
{
    const int slash = int(path.lastIndexOf(QLatin1Char('/')));
    const int back = int(path.lastIndexOf(QLatin1Char('\\')));
    return std::max(slash, back) + 1;
}

int ExtStart(const QString& path)
{
    const int dot = int(path.lastIndexOf(QLatin1Char('.')));
    return dot >= FileNameStart(path) ? dot : -1;
}

bool IsDecimal(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

} // namespace

QString FileExtOf(const QString& path)
{
    const int dot = ExtStart(path);
    return dot < 0 ? QString() : path.mid(dot);
}

QString ForcedExtensionPath(const QString& chosen, const QString& ext)
{
    return ChangeFileExt(chosen, ext);
}

TImportSource ClassifyImportSource(const QString& sourcePath, bool video)
{
    // The media list's own rule (MediaKindOfExt), so that every lesson the
    // list opens can have its answers imported; packages alike.
    const QString ext = FileExtOf(sourcePath);
    if (ext.isEmpty())
        return TImportSource::Refused;
    if (ext.compare(video ? QStringLiteral(".vpibo") : QStringLiteral(".pibo"), Qt::CaseInsensitive) == 0)
        return TImportSource::Package;
    if (MediaKindOfExt(ext) == (video ? 2 : 1))
        return TImportSource::Media;
    return TImportSource::Refused;
}

bool WriteDictationFile(const QString& path, const QString& source, const QStringList& lines)
{
    return WriteAnsiLines(path, QStringList{source} + lines);
}

bool ReadDictationFile(const QString& path, QString& source, QStringList& lines)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError || bytes.isEmpty())
        return false;
    QStringList all = SplitTextLines(AnsiToString(bytes));
    if (all.isEmpty())
        return false;
    source = all.takeFirst();
    lines = all;
    return true;
}

QString PpsLine(const QString& answer, const QString& playCount)
{
    return answer + PpsSeparator + playCount;
}

void ParsePpsLine(const QString& line, QString& answer, QString& playCount)
{
    // The learner may type the separator into an answer, and the writer puts
    // it into the line unchanged; only the count after it never holds one.
    // So the count is what follows the LAST separator: splitting at the first
    // one would cut the answer short there and read the rest of it as the
    // count, losing the rest of the answer.
    const qsizetype at = line.lastIndexOf(PpsSeparator);
    if (at < 0) {
        answer = line;
        playCount = QStringLiteral("0");
        return;
    }
    answer = line.left(at);
    const QString count = line.mid(at + PpsSeparator.size());
    playCount = QString::number(PlayCountOf(count));
}

int PlayCountOf(const QString& cell)
{
    if (!IsDecimal(cell))
        return 0;
    bool ok = false;
    const int value = cell.toInt(&ok);
    return ok ? value : 0;
}

QString ImportSourceRefusal(const QString& sourcePath, bool video)
{
    if (ClassifyImportSource(sourcePath, video) == TImportSource::Refused)
        return video ? QStringLiteral("您要导入的文件必须为视频文件或视频课件，在音频单句听写模式下才可导入音频文件或音频课件！")
                     : QStringLiteral("您要导入的文件必须为音频文件或音频课件，在视频单句听写模式下才可导入视频文件或视频课件！");
    if (!QFileInfo(sourcePath).isFile())
        return video ? QStringLiteral("您导入的文件对应的视频文件或课件不存在！")
                     : QStringLiteral("您导入的文件对应的音频文件或课件不存在！");
    return QString();
}

QString ImportLoadFailure(bool video)
{
    return video ? QStringLiteral("载入视频文件失败！") : QStringLiteral("载入音频文件失败！");
}

bool PrepareImportSource(const QString& sourcePath, bool video, QString& playPath)
{
    switch (ClassifyImportSource(sourcePath, video)) {
    case TImportSource::Package: return OpenPackage(sourcePath, playPath);
    case TImportSource::Media:
        if (video) {
            playPath = sourcePath;
            return true;
        }
        playPath = ProgramFolder() + QStringLiteral("temp/") + QFileInfo(sourcePath).completeBaseName() +
                   QStringLiteral(".wav");
        return PrepareAudioFile(sourcePath, playPath);
    case TImportSource::Refused: break;
    }
    return false;
}
