#include "ZipTestSupport.h"

#include <QtCore/QDir>
#include <QtCore/QDirIterator>
#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QStandardPaths>

#include <zlib.h>

#include <random>

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void WriteAll(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(data);
}

QByteArray RandomWords(int64_t size, uint32_t seed)
{
    static const char* const words[] = {"listen", "write",  "sentence", "lesson", "practice", "learner", "voice",
                                        "record", "answer", "check",    "word",   "english",  "chinese", "dictation",
                                        "play",   "repeat", "course",   "time",   "study",    "screen"};
    std::mt19937 rng(seed);
    QByteArray out;
    out.reserve(size + 16);
    while (out.size() < size) {
        out.append(words[rng() % 20]);
        const uint32_t r = rng() % 23;
        out.append(r == 0 ? ".\n" : (r == 1 ? ", " : " "));
        if (rng() % 7 == 0)
            out.append(QByteArray::number(static_cast<int>(rng() % 100000)));
    }
    out.resize(size);
    return out;
}

QByteArray RandomBytes(int64_t size, uint32_t seed)
{
    std::mt19937 rng(seed);
    QByteArray out(size, '\0');
    for (int64_t i = 0; i < size; ++i)
        out[static_cast<qsizetype>(i)] = static_cast<char>(rng() & 0xFF);
    return out;
}

uint32_t Crc32Of(const QByteArray& data)
{
    return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.constData()), static_cast<uInt>(data.size())));
}

QByteArray RawDeflate(const QByteArray& data, int level)
{
    z_stream zs {};
    deflateInit2(&zs, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(deflateBound(&zs, static_cast<uLong>(data.size())), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(static_cast<qsizetype>(zs.total_out));
    deflateEnd(&zs);
    return out;
}

bool HaveTool(const QString& name) { return !QStandardPaths::findExecutable(name).isEmpty(); }

int RunTool(const QString& program, const QStringList& args, const QString& folder, QByteArray* output)
{
    QProcess p;
    if (!folder.isEmpty())
        p.setWorkingDirectory(folder);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted(10000))
        return -1;
    p.closeWriteChannel();
    if (!p.waitForFinished(300000))
        return -1;
    if (output)
        *output = p.readAll();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

int RunPython(const QString& script, const QString& folder, QByteArray* output)
{
    return RunTool(QStringLiteral("python3"), {QStringLiteral("-c"), script}, folder, output);
}

QStringList ListTree(const QString& folder)
{
    QStringList out;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    const QString base = QDir(folder).absolutePath() + QLatin1Char('/');
    while (it.hasNext()) {
        const QString p = it.next();
        QString rel = QFileInfo(p).absoluteFilePath().mid(base.size());
        if (QFileInfo(p).isDir())
            rel += QLatin1Char('/');
        out << rel;
    }
    out.sort();
    return out;
}

namespace {
void Le16(QByteArray& b, uint32_t v)
{
    b.append(static_cast<char>(v & 0xFF));
    b.append(static_cast<char>((v >> 8) & 0xFF));
}
void Le32(QByteArray& b, uint32_t v)
{
    Le16(b, v & 0xFFFF);
    Le16(b, v >> 16);
}
}  // namespace

QByteArray MakeRawZip(const std::vector<TRawEntry>& entries, const QByteArray& comment)
{
    QByteArray out;
    QByteArray central;
    for (const TRawEntry& e : entries) {
        const uint32_t offset = static_cast<uint32_t>(out.size());
        const uint32_t csize = e.CompressedSize == UINT64_MAX ? static_cast<uint32_t>(e.Data.size()) : static_cast<uint32_t>(e.CompressedSize);
        auto header = [&](QByteArray& b, bool isCentral) {
            Le32(b, isCentral ? 0x02014B50 : 0x04034B50);
            if (isCentral)
                Le16(b, e.MadeBy);
            Le16(b, 20);
            Le16(b, e.Flags);
            Le16(b, e.Method);
            Le32(b, e.DosTime);
            Le32(b, e.Crc);
            Le32(b, csize);
            Le32(b, static_cast<uint32_t>(e.UncompressedSize));
            Le16(b, static_cast<uint32_t>(e.Name.size()));
            Le16(b, 0);
            if (isCentral) {
                Le16(b, 0);
                Le16(b, 0);
                Le16(b, 0);
                Le32(b, e.ExternalAttributes);
                Le32(b, offset);
            }
            b.append(e.Name);
        };
        header(out, false);
        out.append(e.Data);
        header(central, true);
    }
    const uint32_t centralOffset = static_cast<uint32_t>(out.size());
    out.append(central);
    Le32(out, 0x06054B50);
    Le16(out, 0);
    Le16(out, 0);
    Le16(out, static_cast<uint32_t>(entries.size()));
    Le16(out, static_cast<uint32_t>(entries.size()));
    Le32(out, static_cast<uint32_t>(central.size()));
    Le32(out, centralOffset);
    Le16(out, static_cast<uint32_t>(comment.size()));
    out.append(comment);
    return out;
}

TRawEntry StoredEntry(const QByteArray& name, const QByteArray& data)
{
    TRawEntry e;
    e.Name = name;
    e.Data = data;
    e.Crc = Crc32Of(data);
    e.UncompressedSize = static_cast<uint64_t>(data.size());
    return e;
}

TRawEntry DeflatedEntry(const QByteArray& name, const QByteArray& data)
{
    TRawEntry e = StoredEntry(name, data);
    e.Method = 8;
    e.Data = RawDeflate(data);
    return e;
}

void TBitWriter::Put(uint32_t value, int bits)
{
    for (int i = 0; i < bits; ++i) {
        FBits |= ((value >> i) & 1u) << FCount;
        if (++FCount == 8) {
            FOut.append(static_cast<char>(FBits));
            FBits = 0;
            FCount = 0;
        }
    }
}

QByteArray TBitWriter::Finish()
{
    if (FCount > 0)
        FOut.append(static_cast<char>(FBits));
    FBits = 0;
    FCount = 0;
    return FOut;
}
