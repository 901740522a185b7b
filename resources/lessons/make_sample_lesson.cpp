// Makes a sample audio lesson package from a text of sentences:
//   make_sample_lesson <sentences.txt> <package.pibo>
// Each line of the text holds an English sentence, a tab and its Chinese
// line ('#' starts a comment line). espeak-ng speaks every sentence, 0.8 s of
// silence goes between them, the sound becomes an MP3 through the program's
// own converter, and the subtitle and the MP3 are joined and zipped into the
// package. Sentence times refer to the sound as the program plays it, with
// 0.5 s of silence in front: the first at 00:00.00, each other 0.3 s before
// its sentence starts.

#include "UAudioConverters.h"
#include "UCommonFun.h"
#include "UPiboAudioClass.h"
#include "UPiboDataPack.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>

#include <cstdio>

namespace {

constexpr int GapMs = 800;
constexpr int LeadMs = 300;
constexpr int PaddingMs = 500;

QString GPackage;

int Fail(const QString& why)
{
    std::fprintf(stderr, "cannot make the sample lesson %s: %s\n", qPrintable(GPackage), qPrintable(why));
    return 1;
}

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

struct TPcm {
    quint16 Channels = 0;
    quint32 Rate = 0;
    quint16 Bits = 0;
    QByteArray Data;
};

// The PCM of a RIFF WAVE file, walked by its chunks.
bool ReadWave(const QString& path, TPcm& pcm)
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

bool WriteWave(const QString& path, const TPcm& pcm)
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

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: make_sample_lesson <sentences.txt> <package.pibo>\n");
        return 2;
    }
    GPackage = args[2];

    QFile text(args[1]);
    if (!text.open(QIODevice::ReadOnly))
        return Fail(QStringLiteral("the sentences %1 cannot be read").arg(args[1]));
    TAudioLrcItems items;
    for (const QString& raw : QString::fromUtf8(text.readAll()).split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList parts = line.split(QLatin1Char('\t'));
        if (parts.size() != 2)
            return Fail(QStringLiteral("a line without its Chinese part: %1").arg(line));
        TAudioLrcItem item;
        item.English = parts[0].trimmed();
        item.China = parts[1].trimmed();
        items.append(item);
    }
    if (items.isEmpty())
        return Fail(QStringLiteral("no sentences"));

    QTemporaryDir work;
    if (!work.isValid())
        return Fail(QStringLiteral("no work folder"));

    TPcm lesson;
    for (int k = 0; k < items.size(); ++k) {
        const QString spoken = work.filePath(QStringLiteral("s%1.wav").arg(k));
        QProcess espeak;
        espeak.start(QStringLiteral("espeak-ng"), {QStringLiteral("-v"), QStringLiteral("en-us"), QStringLiteral("-w"), spoken, items[k].English});
        if (!espeak.waitForStarted(30000))
            return Fail(QStringLiteral("espeak-ng is missing (apt-get install espeak-ng)"));
        if (!espeak.waitForFinished(60000) || espeak.exitStatus() != QProcess::NormalExit || espeak.exitCode() != 0)
            return Fail(QStringLiteral("espeak-ng failed on: %1").arg(items[k].English));
        TPcm sentence;
        if (!ReadWave(spoken, sentence) || sentence.Data.isEmpty())
            return Fail(QStringLiteral("espeak-ng made no sound for: %1").arg(items[k].English));
        if (k == 0) {
            lesson.Channels = sentence.Channels;
            lesson.Rate = sentence.Rate;
            lesson.Bits = sentence.Bits;
        } else if (sentence.Channels != lesson.Channels || sentence.Rate != lesson.Rate || sentence.Bits != lesson.Bits) {
            return Fail(QStringLiteral("espeak-ng changed its sound format"));
        }
        const qint64 frameBytes = lesson.Channels * lesson.Bits / 8;
        if (k > 0)
            lesson.Data.append(QByteArray(static_cast<qsizetype>(lesson.Rate * GapMs / 1000 * frameBytes), '\0'));
        const qint64 startMs = lesson.Data.size() / frameBytes * 1000 / lesson.Rate;
        items[k].StartTime = MSecToLrcTime(k == 0 ? 0 : static_cast<qint32>(startMs - LeadMs + PaddingMs));
        lesson.Data.append(sentence.Data);
    }

    const QString joined = work.filePath(QStringLiteral("lesson.wav"));
    const QString mp3 = work.filePath(QStringLiteral("lesson.mp3"));
    if (!WriteWave(joined, lesson))
        return Fail(QStringLiteral("the joined sound cannot be written"));
    try {
        TAudioConverters converter;
        if (!converter.Convert(TAudioConverters::cmWavToMp3, joined, mp3))
            return Fail(QStringLiteral("the MP3 conversion failed: %1").arg(converter.LastError()));
    } catch (const std::exception& e) {
        return Fail(QStringLiteral("the MP3 encoder cannot be used: %1").arg(QString::fromLocal8Bit(e.what())));
    }

    const QString plrc = work.filePath(QStringLiteral("lesson.plrc"));
    if (!SavePlrcFile(items, plrc))
        return Fail(QStringLiteral("the subtitle cannot be written"));
    // Packed under its own name: the archive's entry is named after it.
    const QString packed = work.filePath(QFileInfo(GPackage).fileName());
    if (!JoinPackFile(plrc, mp3, packed) || !ZipInPlace(packed))
        return Fail(QStringLiteral("packing failed"));
    QDir().mkpath(QFileInfo(GPackage).absolutePath());
    QFile::remove(GPackage);
    if (!QFile::copy(packed, GPackage))
        return Fail(QStringLiteral("the package cannot be written"));
    std::printf("%s: %lld sentences, %lld bytes\n", qPrintable(GPackage), static_cast<long long>(items.size()),
                static_cast<long long>(QFileInfo(GPackage).size()));
    return 0;
}
