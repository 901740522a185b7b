#include "Mp3Fixtures.h"

#include "AudioPipeClasses.h"
#include "TestSupport.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>

namespace Mp3Fixtures {

namespace {

QTemporaryDir& Dir()
{
    static QTemporaryDir dir;
    return dir;
}

void Make(const QString& program, const QStringList& args)
{
    bool ok = false;
    Run(program, args, &ok);
    if (!ok)
        ADD_FAILURE() << "making a fixture failed: " << program.toStdString() << " "
                      << args.join(' ').toStdString();
}

QString Path(const QString& name)
{
    return Dir().path() + '/' + name;
}

void Ffmpeg(QStringList args)
{
    args.prepend(QStringLiteral("-y"));
    args.prepend(QStringLiteral("error"));
    args.prepend(QStringLiteral("-v"));
    Make(QStringLiteral("ffmpeg"), args);
}

// The recipes: every fixture from a source made by sox or espeak-ng.
void MakeFile(const QString& name)
{
    const QString out = Path(name);
    if (name == "speech.wav") {
        Make("espeak-ng", {"-w", out, "Good morning. This is lesson one. Listen to each sentence and write it down."});
    } else if (name == "tone_stereo.wav") {
        Make("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", out, "synth", "6", "sine", "300-900", "sine", "500",
                     "vol", "0.5"});
    } else if (name == "speech_stereo.wav") {
        // The same voice at 44100 Hz, the right channel a little quieter.
        Make("sox", {File("speech.wav"), "-r", "44100", "-c", "2", out, "remix", "1", "1v0.7"});
    } else if (name == "tone_mono22.wav") {
        Make("sox", {"-n", "-r", "22050", "-c", "1", "-b", "16", out, "synth", "4", "sine", "440", "vol", "0.5"});
    } else if (name == "cbr_stereo.mp3") {
        Make("lame", {"--quiet", "-b", "128", File("tone_stereo.wav"), out});
    } else if (name == "vbr_stereo.mp3") {
        Make("lame", {"--quiet", "-V", "4", File("tone_stereo.wav"), out});
    } else if (name == "cbr_mono.mp3") {
        Make("lame", {"--quiet", "-b", "64", File("speech.wav"), out});
    } else if (name == "vbr_mono.mp3") {
        Make("lame", {"--quiet", "-V", "6", File("speech.wav"), out});
    } else if (name == "id3v2.mp3") {
        Ffmpeg({"-i", File("speech.wav"), "-c:a", "libmp3lame", "-b:a", "96k", "-id3v2_version", "3", "-metadata",
                "artist=Pibo Teacher", "-metadata", "title=Lesson One", "-metadata", "album=Listening", out});
    } else if (name == "noxing.mp3") {
        Ffmpeg({"-i", File("tone_stereo.wav"), "-c:a", "libmp3lame", "-b:a", "128k", "-write_xing", "0", out});
    } else if (name == "stereo.wma") {
        Ffmpeg({"-i", File("tone_stereo.wav"), "-c:a", "wmav2", "-b:a", "128k", out});
    } else if (name == "mono.wma") {
        Ffmpeg({"-i", File("speech.wav"), "-c:a", "wmav2", "-b:a", "64k", out});
    } else if (name == "long.wav") {
        // Three minutes of noise shaped like speech.
        Make("sox", {"-n", "-r", "22050", "-c", "1", "-b", "16", out, "synth", "180", "pinknoise", "vol", "0.3"});
    } else if (name == "long.mp3") {
        Make("lame", {"--quiet", "-b", "64", File("long.wav"), out});
    } else if (name == "truncated_vbr.mp3" || name == "truncated_cbr.mp3" || name == "truncated.wma") {
        const QString from = name == "truncated_vbr.mp3" ? File("vbr_stereo.mp3")
                             : name == "truncated_cbr.mp3" ? File("cbr_stereo.mp3")
                                                           : File("stereo.wma");
        QFile in(from);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        const QByteArray all = in.readAll();
        QFile f(out);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(all.left(all.size() / 2 + 77));
    } else if (name == "damaged_middle.mp3") {
        QFile in(File("cbr_stereo.mp3"));
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        QByteArray all = in.readAll();
        std::uint32_t seed = 12345;
        for (int i = all.size() / 3; i < all.size() / 3 + 20000 && i < all.size(); ++i) {
            seed = seed * 1103515245u + 12345u;
            all[i] = char(seed >> 16);
        }
        QFile f(out);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(all);
    } else if (name == "garbage.mp3") {
        QByteArray junk(50000, '\0');
        std::uint32_t seed = 777;
        for (char& c : junk) {
            seed = seed * 1664525u + 1013904223u;
            c = char(seed >> 24);
        }
        QFile f(out);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(junk);
    } else if (name == "empty.mp3") {
        QFile f(out);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    } else if (name == "u8_mono.wav") {
        Make("sox", {File("speech.wav"), "-b", "8", "-e", "unsigned-integer", out});
    } else if (name == "s24_stereo.wav") {
        Make("sox", {File("speech_stereo.wav"), "-b", "24", out});
    } else if (name == "s32_mono.wav") {
        Make("sox", {File("speech.wav"), "-b", "32", "-e", "signed-integer", out});
    } else if (name == "f32_stereo.wav") {
        Make("sox", {File("speech_stereo.wav"), "-b", "32", "-e", "floating-point", out});
    } else if (name == "f64_mono.wav") {
        Make("sox", {File("speech.wav"), "-b", "64", "-e", "floating-point", out});
    } else if (name == "three_channels.wav") {
        Make("sox", {"-n", "-r", "44100", "-c", "3", "-b", "16", out, "synth", "1", "sine", "440"});
    } else {
        ADD_FAILURE() << "unknown fixture " << name.toStdString();
    }
}

}  // namespace

QByteArray Run(const QString& program, const QStringList& args, bool* ok)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, args);
    const bool finished = process.waitForStarted(10000) && process.waitForFinished(300000);
    const bool good = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (ok)
        *ok = good;
    return good ? process.readAllStandardOutput() : QByteArray();
}

QString Folder()
{
    return Dir().path();
}

QString File(const QString& name)
{
    const QString path = Path(name);
    if (!QFileInfo::exists(path))
        MakeFile(name);
    return path;
}

QByteArray FfmpegPcm(const QString& path)
{
    return Run("ffmpeg", {"-v", "quiet", "-i", path, "-f", "s16le", "-"});
}

QString Probe(const QString& path, const QString& entries)
{
    return QString::fromUtf8(Run("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries", entries,
                                             "-of", "default=noprint_wrappers=1:nokey=1", path}))
        .trimmed();
}

TWaveFacts ReadWave(const QString& path)
{
    TWaveFacts facts;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return facts;
    const QByteArray all = f.readAll();
    facts.FileSize = all.size();
    auto u32 = [&](qint64 at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | std::uint8_t(all[at + i]);
        return v;
    };
    auto u16 = [&](qint64 at) { return std::uint16_t(std::uint8_t(all[at]) | (std::uint8_t(all[at + 1]) << 8)); };
    if (all.size() < 12 || all.left(4) != "RIFF" || all.mid(8, 4) != "WAVE")
        return facts;
    facts.RiffSize = u32(4);
    qint64 pos = 12;
    bool fmt = false;
    while (pos + 8 <= all.size()) {
        const QByteArray id = all.mid(pos, 4);
        const std::uint32_t size = u32(pos + 4);
        if (id == "fmt " && pos + 24 <= all.size()) {
            facts.FormatTag = u16(pos + 8);
            facts.Channels = u16(pos + 10);
            facts.SampleRate = u32(pos + 12);
            facts.Bits = u16(pos + 22);
            fmt = true;
        } else if (id == "data") {
            facts.DataStart = pos + 8;
            facts.DataSize = size;
            facts.Data = all.mid(pos + 8, size);
            facts.Ok = fmt;
            return facts;
        }
        pos += 8 + size + (size & 1);
    }
    return facts;
}

void WriteWave(const QString& path, int channels, int rate, int bits, const QByteArray& data, bool listBeforeData,
               bool chunkAfterData)
{
    QByteArray out;
    auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.append(char((v >> (8 * i)) & 0xFF));
    };
    auto put16 = [&](std::uint16_t v) {
        out.append(char(v & 0xFF));
        out.append(char(v >> 8));
    };
    const QByteArray list = QByteArray("INFO") + "ICMT" + QByteArray("\x06\0\0\0", 4) + QByteArray("lesson", 6);
    const QByteArray tail = QByteArray("note") + QByteArray("\x05\0\0\0", 4) + QByteArray("hello", 5) + '\0';
    out += "RIFF";
    put32(0);
    out += "WAVE";
    out += "fmt ";
    put32(16);
    put16(1);
    put16(std::uint16_t(channels));
    put32(std::uint32_t(rate));
    put32(std::uint32_t(rate * channels * bits / 8));
    put16(std::uint16_t(channels * bits / 8));
    put16(std::uint16_t(bits));
    if (listBeforeData) {
        out += "LIST";
        put32(std::uint32_t(list.size()));
        out += list;
    }
    out += "data";
    put32(std::uint32_t(data.size()));
    out += data;
    if (data.size() & 1)
        out.append('\0');
    if (chunkAfterData)
        out += tail;
    const std::uint32_t riff = std::uint32_t(out.size() - 8);
    for (int i = 0; i < 4; ++i)
        out[4 + i] = char((riff >> (8 * i)) & 0xFF);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(out), out.size());
}

bool RunOutput(TAudioOutput& output, int timeoutMs)
{
    bool done = false;
    auto previous = output.OnDone;
    output.OnDone = [&done](QObject*) { done = true; };
    output.StartOutput();
    RunEventsUntil([&done] { return done; }, timeoutMs);
    output.OnDone = previous;
    return done;
}

double RootMeanSquare(const QByteArray& samples)
{
    const auto* x = reinterpret_cast<const std::int16_t*>(samples.constData());
    const qint64 n = samples.size() / 2;
    double sum = 0;
    for (qint64 i = 0; i < n; ++i)
        sum += double(x[i]) * x[i];
    return n > 0 ? std::sqrt(sum / n) : 0;
}

double BestCorrelation(const QByteArray& a, const QByteArray& b, int channels, int maxLag, int* lag)
{
    const auto* x = reinterpret_cast<const std::int16_t*>(a.constData());
    const auto* y = reinterpret_cast<const std::int16_t*>(b.constData());
    const qint64 nx = a.size() / 2 / channels;
    const qint64 ny = b.size() / 2 / channels;
    double best = -1;
    for (int d = -maxLag; d <= maxLag; ++d) {
        // b lags a by d frames (early when d < 0).
        const qint64 first = std::max<qint64>(0, -d);
        const qint64 end = std::min(nx, ny - d);
        if (end - first <= 1000)
            continue;
        double sxy = 0, sxx = 0, syy = 0;
        for (qint64 i = first; i < end; i += 3) {
            const double u = x[i * channels];
            const double v = y[(i + d) * channels];
            sxy += u * v;
            sxx += u * u;
            syy += v * v;
        }
        const double c = sxx > 0 && syy > 0 ? sxy / std::sqrt(sxx * syy) : 0;
        if (c > best) {
            best = c;
            if (lag)
                *lag = d;
        }
    }
    return best;
}

}  // namespace Mp3Fixtures
