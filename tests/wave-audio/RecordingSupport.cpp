#include "RecordingSupport.h"

#include "MMWRec.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDeadlineTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QTimer>

#include <cstring>

void SetUpAsTheScreens(TSndWaveRecorder& recorder)
{
    recorder.SetBufferSize(4096);
    recorder.SetNumBuffers(20);
    recorder.SetDeviceID(MapperId);
    recorder.SetTimeFormat(tfMillisecond);
    recorder.SetCallBackMode(cmThread);
    recorder.SetMaxRecordTime(-1);
    recorder.SetMode(mStereo);
    recorder.SetBitLength(b16Bit);
    recorder.SetSampleRate(44100);
    recorder.SetOverwriteExisting(true);
    recorder.Wave()->SetTimeFormat(tfMillisecond);
    recorder.Wave()->SetFileMustExist(false);
}

QByteArray SoxTone(int rate, int channels, int bits, double seconds, int frequency)
{
    QProcess sox;
    sox.start(QStringLiteral("sox"),
              {QStringLiteral("-n"), QStringLiteral("-r"), QString::number(rate), QStringLiteral("-c"),
               QString::number(channels), QStringLiteral("-b"), QString::number(bits), QStringLiteral("-e"),
               bits == 8 ? QStringLiteral("unsigned-integer") : QStringLiteral("signed-integer"),
               QStringLiteral("-L"), QStringLiteral("-t"), QStringLiteral("raw"), QStringLiteral("-"),
               QStringLiteral("synth"), QString::number(seconds), QStringLiteral("sine"), QString::number(frequency),
               QStringLiteral("vol"), QStringLiteral("0.8")});
    if (!sox.waitForFinished(30000) || sox.exitCode() != 0)
        return QByteArray();
    return sox.readAllStandardOutput();
}

bool SoxiAccepts(const QString& path, int rate, int channels, int bits)
{
    const auto ask = [&](const QString& option) {
        QProcess soxi;
        soxi.start(QStringLiteral("soxi"), {option, path});
        if (!soxi.waitForFinished(30000) || soxi.exitCode() != 0)
            return QString();
        return QString::fromLatin1(soxi.readAllStandardOutput()).trimmed();
    };
    return ask(QStringLiteral("-t")) == QLatin1String("wav") && ask(QStringLiteral("-r")) == QString::number(rate) &&
           ask(QStringLiteral("-c")) == QString::number(channels) && ask(QStringLiteral("-b")) == QString::number(bits);
}

namespace {
std::uint32_t Get32(const QByteArray& b, qsizetype at)
{
    std::uint32_t v = 0;
    std::memcpy(&v, b.constData() + at, 4);
    return v;
}
std::uint16_t Get16(const QByteArray& b, qsizetype at)
{
    std::uint16_t v = 0;
    std::memcpy(&v, b.constData() + at, 2);
    return v;
}
}  // namespace

bool ReadWaveContents(const QString& path, TWaveContents& contents)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray b = f.readAll();
    if (b.size() < 12 || !b.startsWith("RIFF") || b.mid(8, 4) != "WAVE" || Get32(b, 4) != b.size() - 8)
        return false;
    bool haveFormat = false;
    bool haveData = false;
    qsizetype at = 12;
    while (at < b.size()) {
        if (at + 8 > b.size())
            return false;
        const QByteArray id = b.mid(at, 4);
        const qsizetype size = Get32(b, at + 4);
        if (at + 8 + size > b.size())
            return false;
        if (id == "fmt ") {
            if (haveFormat || size < 16)
                return false;
            contents.Tag = Get16(b, at + 8);
            contents.Channels = Get16(b, at + 10);
            contents.Rate = Get32(b, at + 12);
            contents.Bits = Get16(b, at + 22);
            haveFormat = true;
        } else if (id == "data") {
            if (haveData)
                return false;
            contents.Data = b.mid(at + 8, size);
            haveData = true;
        }
        at += 8 + size + (size & 1);
    }
    return haveFormat && haveData && at == b.size();
}

double ZeroCrossingsPerSecond(const QByteArray& pcm, int channels, int rate)
{
    const qsizetype frames = pcm.size() / (2 * channels);
    if (frames < 2)
        return 0;
    int crossings = 0;
    std::int16_t last = 0;
    for (qsizetype i = 0; i < frames; ++i) {
        std::int16_t v = 0;
        std::memcpy(&v, pcm.constData() + i * 2 * channels, 2);
        if (i > 0 && ((last < 0 && v >= 0) || (last >= 0 && v < 0)))
            ++crossings;
        last = v;
    }
    return crossings * static_cast<double>(rate) / static_cast<double>(frames);
}
