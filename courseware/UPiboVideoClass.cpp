#include "UPiboVideoClass.h"

#include "SubtitleText.h"
#include "TimeTags.h"

#include <QtCore/QStringList>

namespace {

const QString Arrow = QStringLiteral(" --> ");

// The two times of a cue's time line "start --> end". Whatever follows the
// end time (blanks, position coordinates) is not looked at.
bool SrtLineTimes(const QString& line, QString& start, QString& end)
{
    const qsizetype arrow = line.indexOf(Arrow);
    if (arrow < 0)
        return false;
    start = line.left(arrow);
    const QString rest = line.mid(arrow + Arrow.size());
    end = rest.left(13);  // three hour digits
    if (!IsSrtTimeTag(u'[' + end + u']'))
        end = rest.left(12);
    return IsSrtTimeTag(u'[' + start + u']') && IsSrtTimeTag(u'[' + end + u']');
}

void ReadSrtLines(const QStringList& lines, TVideoLrcItems& items, int& firstBad)
{
    const auto noteBad = [&firstBad](qsizetype index) {
        if (firstBad == 0)
            firstBad = static_cast<int>(index) + 1;
    };
    const qsizetype n = lines.size();
    qsizetype i = 0;
    while (i < n) {
        if (lines.at(i).trimmed().isEmpty()) {
            ++i;
            continue;
        }
        const qsizetype index = i;  // the index line
        if (index + 2 >= n) {
            // An index line without time line or English line at the end.
            noteBad(index);
            break;
        }
        TVideoLrcItem item;
        const QString& timeLine = lines.at(index + 1);
        if (!SrtLineTimes(timeLine, item.StartTime, item.EndTime)) {
            // Either a broken time line or a stray text line (a cue with more
            // than two text lines) taken for an index: leave the block out
            // up to the next empty line.
            noteBad(timeLine.trimmed().isEmpty() ? index : index + 1);
            i = index + 1;
            while (i < n && !lines.at(i).trimmed().isEmpty())
                ++i;
            continue;
        }
        item.English = lines.at(index + 2);
        if (index + 3 < n)
            item.China = lines.at(index + 3);
        items.append(item);
        i = index + 4;
    }
}

}  // namespace

bool LoadSrtFile(TVideoLrcItems& items, const QString& mediaPath, int* errorLine)
{
    items.clear();
    if (errorLine)
        *errorLine = 0;
    try {
        QString path;
        if (FindSubtitleFile(mediaPath, {QStringLiteral(".srt"), QStringLiteral(".psrt")}, path) < 0)
            return true;
        QStringList lines;
        if (!ReadSubtitleLines(path, lines))
            return false;
        int firstBad = 0;
        ReadSrtLines(lines, items, firstBad);
        if (errorLine)
            *errorLine = firstBad;
        return firstBad == 0;
    } catch (...) {
        items.clear();
        return false;
    }
}

bool SaveSrtFile(const TVideoLrcItems& items, const QString& path)
{
    try {
        QStringList lines;
        lines.reserve(items.size() * 5);
        for (qsizetype i = 0; i < items.size(); ++i) {
            const TVideoLrcItem& item = items.at(i);
            lines.append(QString::number(i + 1));
            lines.append(item.StartTime + Arrow + item.EndTime);
            lines.append(item.English);
            lines.append(item.China);
            lines.append(QString());
        }
        return WriteAnsiLines(path, lines);
    } catch (...) {
        return false;
    }
}
