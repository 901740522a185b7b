#include "WaveFixtures.h"

#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QStandardPaths>

#include <cstring>
#include <random>

namespace wavetest {

namespace {

QByteArray LE32(std::uint32_t v)
{
    QByteArray b(4, '\0');
    std::memcpy(b.data(), &v, 4);
    return b;
}

QByteArray LE16(std::uint16_t v)
{
    QByteArray b(2, '\0');
    std::memcpy(b.data(), &v, 2);
    return b;
}

}  // namespace

QByteArray RawSamples(std::int64_t bytes, std::uint32_t seed)
{
    std::mt19937 gen(seed);
    QByteArray out(static_cast<qsizetype>(bytes), '\0');
    for (auto& c : out)
        c = static_cast<char>(gen() & 0xFF);
    return out;
}

QByteArray Chunk(const char* id, const QByteArray& payload, std::int64_t sizeOverride, bool pad)
{
    QByteArray out(id, 4);
    out += LE32(static_cast<std::uint32_t>(sizeOverride >= 0 ? sizeOverride : payload.size()));
    out += payload;
    if (pad && (payload.size() & 1))
        out += '\0';
    return out;
}

QByteArray FmtPayload(int tag, int channels, std::uint32_t rate, std::uint32_t avg, int blockAlign, int bits,
                      int extraBytes)
{
    QByteArray out = LE16(static_cast<std::uint16_t>(tag)) + LE16(static_cast<std::uint16_t>(channels)) + LE32(rate) +
                     LE32(avg) + LE16(static_cast<std::uint16_t>(blockAlign)) + LE16(static_cast<std::uint16_t>(bits));
    if (extraBytes >= 0)
        out += LE16(static_cast<std::uint16_t>(extraBytes)) + QByteArray(extraBytes, '\x11');
    return out;
}

QByteArray PcmFmt(int bits, int channels, std::uint32_t rate)
{
    const int align = channels * bits / 8;
    return FmtPayload(1, channels, rate, rate * static_cast<std::uint32_t>(align), align, bits);
}

QByteArray InfoList(const QList<QPair<QByteArray, QByteArray>>& texts)
{
    QByteArray payload("INFO");
    for (const auto& t : texts)
        payload += Chunk(t.first.constData(), t.second + '\0');
    return Chunk("LIST", payload);
}

QByteArray Riff(const QByteArray& chunks, std::int64_t sizeOverride)
{
    return QByteArray("RIFF") + LE32(static_cast<std::uint32_t>(sizeOverride >= 0 ? sizeOverride : chunks.size() + 4)) +
           QByteArray("WAVE") + chunks;
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool SoxAvailable()
{
    return !QStandardPaths::findExecutable(QStringLiteral("sox")).isEmpty();
}

namespace {

bool RunSox(const QStringList& args, QByteArray* out = nullptr)
{
    QProcess p;
    p.start(QStringLiteral("sox"), args);
    if (!p.waitForFinished(60000))
        return false;
    if (out)
        *out = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

}  // namespace

bool SoxMakeWave(const QString& rawPath, const QString& wavePath, int bits, int channels, std::uint32_t rate)
{
    return RunSox({QStringLiteral("-t"), QStringLiteral("raw"), QStringLiteral("-r"), QString::number(rate),
                   QStringLiteral("-e"), bits == 8 ? QStringLiteral("unsigned") : QStringLiteral("signed"),
                   QStringLiteral("-b"), QString::number(bits), QStringLiteral("-c"), QString::number(channels),
                   rawPath, QStringLiteral("-t"), QStringLiteral("wav"), wavePath});
}

bool SoxAccepts(const QString& wavePath)
{
    return RunSox({QStringLiteral("--i"), wavePath});
}

QByteArray SoxRawSamples(const QString& wavePath)
{
    QByteArray out;
    if (!RunSox({wavePath, QStringLiteral("-t"), QStringLiteral("raw"), QStringLiteral("-")}, &out))
        return QByteArray();
    return out;
}

}  // namespace wavetest
