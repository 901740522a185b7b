#include "UPiboAudioClass.h"

#include "SndWaveIO.h"
#include "SubtitleText.h"
#include "TimeTags.h"

#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QtEndian>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

bool IsBlank(const QString& line)
{
    return line.trimmed().isEmpty();
}

// The time of an ".lrc" sentence line "[mm:ss.cc]English": the text between
// the opening bracket and the first closing one, and the index of that closing
// bracket. False when the line does not start with a valid time tag.
bool LrcLineTime(const QString& line, QString& time, qsizetype& close)
{
    if (!line.startsWith(u'['))
        return false;
    close = line.indexOf(u']');
    if (close < 0)
        return false;
    time = line.mid(1, close - 1);
    return IsLrcTimeTag(u'[' + time + u']');
}

// An ".lrc" header tag such as [ti:Title], [ar:Artist] or [offset:+500]: a
// name of letters, a colon and any value in brackets, alone on the line.
bool IsLrcHeaderLine(const QString& line)
{
    const QString t = line.trimmed();
    if (t.size() < 3 || !t.startsWith(u'[') || !t.endsWith(u']'))
        return false;
    qsizetype i = 1;
    while (i < t.size() && t.at(i).isLetter())
        ++i;
    return i > 1 && i < t.size() && t.at(i) == u':';
}

// The time of an ".lrc" sentence line: characters 2-9 ("[mm:ss.cc]English",
// the brackets themselves are not looked at), or, for the three minute digits
// this program writes from a hundred minutes on, "[mmm:ss.cc]". textStart is
// where the English line begins. False when neither form holds a time tag.
bool LrcSentenceTime(const QString& line, QString& time, qsizetype& textStart)
{
    time = line.mid(1, 8);
    textStart = 10;
    if (IsLrcTimeTag(u'[' + time + u']'))
        return true;
    if (line.size() < 11 || !line.startsWith(u'[') || line.at(10) != u']')
        return false;
    time = line.mid(1, 9);
    textStart = 11;
    return IsLrcTimeTag(u'[' + time + u']');
}

// Three lines per sentence: time, English, Chinese. Every time line is tested,
// a blank one too; a group cut short by the end of the file is dropped. A
// failing test returns false with the line's index in badLine.
bool ReadPlrcLines(const QStringList& lines, TAudioLrcItems& items, qsizetype& badLine)
{
    const qsizetype n = lines.size();
    for (qsizetype i = 0; i < n; i += 3) {
        const QString& time = lines.at(i);
        if (!IsLrcTimeTag(u'[' + time + u']')) {
            badLine = i;
            return false;
        }
        if (i + 2 >= n)
            break;
        TAudioLrcItem item;
        item.StartTime = time;
        item.English = lines.at(i + 1);
        item.China = lines.at(i + 2);
        items.append(item);
    }
    return true;
}

// One sentence per line; blank lines and header tags are passed over.
bool ReadLrcLines(const QStringList& lines, TAudioLrcItems& items, qsizetype& badLine)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines.at(i);
        if (IsBlank(line))
            continue;
        QString time;
        qsizetype textStart = 0;
        if (!LrcSentenceTime(line, time, textStart)) {
            if (IsLrcHeaderLine(line))
                continue;
            badLine = i;
            return false;
        }
        TAudioLrcItem item;
        item.StartTime = time;
        item.English = line.mid(textStart);
        items.append(item);
    }
    return true;
}

}  // namespace

bool LoadLrcFile(TAudioLrcItems& items, const QString& mediaPath, int* errorLine)
{
    items.clear();
    if (errorLine)
        *errorLine = 0;
    try {
        QString path;
        const int found = FindSubtitleFile(mediaPath, {QStringLiteral(".plrc"), QStringLiteral(".lrc")}, path);
        if (found < 0)
            return true;
        QStringList lines;
        if (!ReadSubtitleLines(path, lines))
            return false;
        qsizetype badLine = -1;
        const bool read = found == 0 ? ReadPlrcLines(lines, items, badLine) : ReadLrcLines(lines, items, badLine);
        if (read)
            return true;
        // One bad time tag and the lesson has no sentences: the player then
        // plays it as one whole sentence.
        items.clear();
        if (errorLine)
            *errorLine = static_cast<int>(badLine) + 1;
        return false;
    } catch (...) {
        items.clear();
        return false;
    }
}

bool SavePlrcFile(const TAudioLrcItems& items, const QString& path)
{
    try {
        QStringList lines;
        lines.reserve(items.size() * 3);
        for (const TAudioLrcItem& item : items) {
            lines.append(item.StartTime);
            lines.append(item.English);
            lines.append(item.China);
        }
        return WriteAnsiLines(path, lines);
    } catch (...) {
        return false;
    }
}

bool PlrcToLrc(const QString& plrcPath, const QString& lrcPath)
{
    try {
        if (!QFileInfo(plrcPath).isFile() || QFileInfo::exists(lrcPath))
            return false;
        QStringList lines;
        if (!ReadSubtitleLines(plrcPath, lines))
            return false;
        QStringList out;
        for (qsizetype i = 0; i + 2 < lines.size(); i += 3)
            out.append(u'[' + lines.at(i) + u']' + lines.at(i + 1));
        return WriteAnsiLines(lrcPath, out);
    } catch (...) {
        return false;
    }
}

bool ShiftLrcFile(const QString& path, qint32 offsetMs)
{
    try {
        QStringList lines;
        if (!ReadSubtitleLines(path, lines))
            return false;
        bool firstSentence = true;
        for (QString& line : lines) {
            QString time;
            qsizetype close = 0;
            if (!LrcLineTime(line, time, close))
                continue;
            if (firstSentence) {
                firstSentence = false;
                continue;
            }
            const qint64 shifted = static_cast<qint64>(LrcTimeToMSec(time)) + offsetMs;
            line = u'[' + MSecToLrcTime(static_cast<qint32>(std::clamp<qint64>(shifted, 0, INT32_MAX))) +
                   line.mid(close);
        }
        return WriteAnsiLines(path, lines);
    } catch (...) {
        return false;
    }
}

// ---------------------------------------------------------------------------
// Automatic sentence cutting

namespace {

// Bytes read at a time: a whole number of frames of every analysed layout.
constexpr qint64 CutBlockBytes = 64 * 1024;

// The scan over the data. Positions are byte offsets into the data chunk.
//   S: just after the first quiet frame of the current quiet run;
//   V: the first quiet frame since the last cut (the segment's start);
//   A: the latest loud frame while V is set.
struct TCutScan {
    double ByteRate = 0;
    qint64 DataBytes = 0;
    int Threshold = 0;  // a frame is quiet when every channel's magnitude lies below it
    double BreakMs = 0;
    double MinMs = 0;
    qint64 S = -1;
    qint64 V = -1;
    qint64 A = -1;
    bool Stopped = false;  // too little data was left after a cut point: no more cuts
    QList<qint32> Cuts;    // sentence starts in ms

    double Ms(qint64 bytes) const { return static_cast<double>(bytes) * 1000.0 / ByteRate; }

    // One frame at position p of f bytes: the first frame of a quiet or loud run.
    void Frame(qint64 p, int f, bool quiet)
    {
        if (quiet) {
            if (S < 0)
                S = p + f;
            if (V < 0)
                V = p;
            return;
        }
        if (S >= 0) {
            const qint64 d = p;
            if (Ms(d - S) >= BreakMs && V >= 0 && A >= 0 && Ms(A - V) >= MinMs) {
                if (Ms(DataBytes - d) < MinMs) {
                    Stopped = true;
                } else {
                    const double middle = static_cast<double>(S) + static_cast<double>(d - S) / 2.0;
                    const double ms = std::nearbyint(middle * 1000.0 / ByteRate);
                    Cuts.append(static_cast<qint32>(std::min<double>(ms, INT32_MAX)));
                    V = -1;
                }
            }
            S = -1;
            A = -1;
        }
        if (V >= 0)
            A = p;
    }
};

inline int Magnitude16(const unsigned char* b)
{
    const int v = qFromLittleEndian<qint16>(b);
    return v < 0 ? -v : v;
}

// 8-bit samples are unsigned around 128; scaled to the 16-bit level.
inline int Magnitude8(unsigned char b)
{
    const int v = static_cast<int>(b) - 128;
    return (v < 0 ? -v : v) << 8;
}

// Frames marked at a time by FlagFrames: a fixed count the compiler turns
// into vector code.
constexpr qint64 FlagChunkFrames = 64;

// Marks count frames quiet (1) or loud (0): quiet when every channel's
// magnitude lies below threshold.
template <int Channels, int Bits, qint64 Count>
inline void FlagFrames(const unsigned char* __restrict data, unsigned char* __restrict flags, int threshold)
{
    constexpr int f = Channels * Bits / 8;
    for (qint64 k = 0; k < Count; ++k) {
        const unsigned char* b = data + k * f;
        int level;
        if constexpr (Bits == 16) {
            level = Magnitude16(b);
            if constexpr (Channels == 2)
                level = std::max(level, Magnitude16(b + 2));
        } else {
            level = Magnitude8(b[0]);
            if constexpr (Channels == 2)
                level = std::max(level, Magnitude8(b[1]));
        }
        flags[k] = level < threshold ? 1 : 0;
    }
}

// One block of whole frames. First every frame is marked quiet or loud in
// flags; then the block is walked run by run: within a quiet run only its
// first frame can change the state, within a loud run only its first and its
// last.
template <int Channels, int Bits>
void ScanBlock(TCutScan& scan, const unsigned char* data, qint64 count, qint64 base, unsigned char* flags)
{
    constexpr int f = Channels * Bits / 8;
    const qint64 frames = count / f;
    const int threshold = scan.Threshold;
    qint64 done = 0;
    for (; done + FlagChunkFrames <= frames; done += FlagChunkFrames)
        FlagFrames<Channels, Bits, FlagChunkFrames>(data + done * f, flags + done, threshold);
    for (; done < frames; ++done)
        FlagFrames<Channels, Bits, 1>(data + done * f, flags + done, threshold);

    qint64 k = 0;
    while (k < frames && !scan.Stopped) {
        const unsigned char quiet = flags[k];
        const void* change = std::memchr(flags + k + 1, quiet ^ 1, static_cast<std::size_t>(frames - k - 1));
        const qint64 next = change ? static_cast<const unsigned char*>(change) - flags : frames;
        scan.Frame(base + k * f, f, quiet != 0);
        if (!quiet && next - 1 > k && scan.V >= 0)
            scan.A = base + (next - 1) * f;
        k = next;
    }
}

using TScanBlock = void (*)(TCutScan&, const unsigned char*, qint64, qint64, unsigned char*);

TScanBlock ScannerFor(int channels, int bits)
{
    if (channels == 1 && bits == 8)
        return &ScanBlock<1, 8>;
    if (channels == 1 && bits == 16)
        return &ScanBlock<1, 16>;
    if (channels == 2 && bits == 8)
        return &ScanBlock<2, 8>;
    if (channels == 2 && bits == 16)
        return &ScanBlock<2, 16>;
    return nullptr;
}

}  // namespace

int AutoCutSentences(const QString& wavPath, const QString& plrcPath, const TAudioCutSentencePara& para)
{
    try {
        if (!QFileInfo(wavPath).isFile())
            return AutoCutNoFile;
        PSndWaveIOInfo parsed = nullptr;
        const int parseResult = ParseWaveFile(parsed, wavPath);
        const TWaveIOInfoHolder info(parsed);
        if (parseResult != WIOERR_NOERROR || !info)
            return AutoCutFailed;
        const TWaveFormatEx* format = info->Format();
        if (format->wFormatTag != WAVE_FORMAT_PCM)
            return AutoCutNotPcm;

        TCutScan scan;
        scan.ByteRate = format->nAvgBytesPerSec;
        scan.DataBytes = info->DataBytes;
        scan.Threshold = std::max(para.NoiseValue, para.MuteValue);
        scan.BreakMs = para.BreakValue;
        scan.MinMs = para.MinLength;

        const TScanBlock scanBlock = ScannerFor(format->nChannels, format->wBitsPerSample);
        if (scanBlock && scan.ByteRate > 0 && scan.DataBytes > 0) {
            QFile file(info->FileName);
            if (!file.open(QIODevice::ReadOnly) || !file.seek(info->DataOffset))
                return AutoCutFailed;
            std::vector<unsigned char> buffer(static_cast<std::size_t>(CutBlockBytes));
            std::vector<unsigned char> flags(static_cast<std::size_t>(CutBlockBytes));
            qint64 position = 0;
            while (position < scan.DataBytes && !scan.Stopped) {
                const qint64 want = std::min(CutBlockBytes, scan.DataBytes - position);
                const qint64 got = file.read(reinterpret_cast<char*>(buffer.data()), want);
                if (got < 0)
                    return AutoCutFailed;
                if (got == 0)
                    break;  // the file is shorter than its data chunk claims
                scanBlock(scan, buffer.data(), got, position, flags.data());
                position += got;
            }
        }

        TAudioLrcItems items;
        items.reserve(scan.Cuts.size() + 1);
        items.append(TAudioLrcItem{MSecToLrcTime(0), QString(), QString(), QString(), false});
        for (const qint32 ms : scan.Cuts)
            items.append(TAudioLrcItem{MSecToLrcTime(ms), QString(), QString(), QString(), false});
        return SavePlrcFile(items, plrcPath) ? AutoCutOk : AutoCutFailed;
    } catch (...) {
        return AutoCutFailed;
    }
}
