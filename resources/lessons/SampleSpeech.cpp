#include "SampleSpeech.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QStringList>

#include <algorithm>

namespace {

quint32 Le32(const QByteArray& b, qsizetype at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData() + at);
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<quint32>(p[3]) << 24);
}

quint16 Le16(const QByteArray& b, qsizetype at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData() + at);
    return static_cast<quint16>(p[0] | (p[1] << 8));
}

void Put32(QByteArray& b, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void Put16(QByteArray& b, quint16 v)
{
    b.append(static_cast<char>(v & 0xFF)).append(static_cast<char>(v >> 8));
}

}  // namespace

void TSamplePcm::AppendSilence(int ms)
{
    Data.append(QByteArray(static_cast<qsizetype>(qint64(Rate) * ms / 1000 * FrameBytes()), '\0'));
}

bool ReadSampleSentences(const QString& path, TAudioLrcItems& items, QString& why)
{
    items.clear();
    QFile text(path);
    if (!text.open(QIODevice::ReadOnly)) {
        why = QStringLiteral("the sentences %1 cannot be read").arg(path);
        return false;
    }
    for (const QString& raw : QString::fromUtf8(text.readAll()).split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList parts = line.split(QLatin1Char('\t'));
        if (parts.size() != 2) {
            why = QStringLiteral("a line without its Chinese part: %1").arg(line);
            return false;
        }
        TAudioLrcItem item;
        item.English = parts[0].trimmed();
        item.China = parts[1].trimmed();
        items.append(item);
    }
    if (items.isEmpty()) {
        why = QStringLiteral("no sentences");
        return false;
    }
    return true;
}

bool ReadSampleWave(const QString& path, TSamplePcm& pcm)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray b = f.readAll();
    if (b.size() < 12 || !b.startsWith("RIFF") || b.mid(8, 4) != "WAVE")
        return false;
    qsizetype at = 12;
    bool haveFormat = false;
    while (at + 8 <= b.size()) {
        const QByteArray id = b.mid(at, 4);
        const qint64 size = Le32(b, at + 4);
        const qsizetype body = at + 8;
        if (id == "fmt " && size >= 16 && body + 16 <= b.size()) {
            if (Le16(b, body) != 1)
                return false;
            pcm.Channels = Le16(b, body + 2);
            pcm.Rate = Le32(b, body + 4);
            pcm.Bits = Le16(b, body + 14);
            haveFormat = true;
        } else if (id == "data") {
            // A streamed file may carry a size larger than what follows.
            pcm.Data = b.mid(body, static_cast<qsizetype>(std::min<qint64>(size, b.size() - body)));
            return haveFormat;
        }
        at = body + static_cast<qsizetype>(size) + (size & 1);
    }
    return false;
}

bool WriteSampleWave(const QString& path, const TSamplePcm& pcm)
{
    const quint16 align = static_cast<quint16>(pcm.Channels * pcm.Bits / 8);
    QByteArray b("RIFF");
    Put32(b, static_cast<quint32>(36 + pcm.Data.size()));
    b.append("WAVEfmt ");
    Put32(b, 16);
    Put16(b, 1);
    Put16(b, pcm.Channels);
    Put32(b, pcm.Rate);
    Put32(b, pcm.Rate * align);
    Put16(b, align);
    Put16(b, pcm.Bits);
    b.append("data");
    Put32(b, static_cast<quint32>(pcm.Data.size()));
    b.append(pcm.Data);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(b) == b.size();
}

bool SpeakSampleSentence(const QString& text, const QString& workFolder, const QString& name, TSamplePcm& pcm,
                         QString& why)
{
    const QString spoken = QDir(workFolder).filePath(name);
    QProcess espeak;
    espeak.start(QStringLiteral("espeak-ng"), {QStringLiteral("-v"), QStringLiteral("en-us"), QStringLiteral("-w"), spoken, text});
    if (!espeak.waitForStarted(30000)) {
        why = QStringLiteral("espeak-ng is missing (apt-get install espeak-ng)");
        return false;
    }
    if (!espeak.waitForFinished(60000) || espeak.exitStatus() != QProcess::NormalExit || espeak.exitCode() != 0) {
        why = QStringLiteral("espeak-ng failed on: %1").arg(text);
        return false;
    }
    if (!ReadSampleWave(spoken, pcm) || pcm.Data.isEmpty()) {
        why = QStringLiteral("espeak-ng made no sound for: %1").arg(text);
        return false;
    }
    return true;
}
