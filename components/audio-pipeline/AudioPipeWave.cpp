#include "AudioPipeWave.h"

#include "AudioPipeProcs.h"
#include "FFmpegLibs.h"
#include "WaveConverter.h"

#include <QtCore/QFile>
#include <QtCore/QtEndian>

#include <algorithm>
#include <cstring>

namespace {

const int ImaIndexTable[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

const int ImaStepTable[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

const int MsAdaptationTable[16] = {230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230};

// One IMA ADPCM code applied to a channel's predictor and step index.
inline std::int16_t ImaExpand(std::int32_t& pred, int& index, int code)
{
    const int step = ImaStepTable[index];
    int diff = step >> 3;
    if (code & 4)
        diff += step;
    if (code & 2)
        diff += step >> 1;
    if (code & 1)
        diff += step >> 2;
    pred += (code & 8) ? -diff : diff;
    pred = std::clamp(pred, -32767, 32767);
    index = std::clamp(index + ImaIndexTable[code], 0, 88);
    return std::int16_t(pred);
}

inline int ImaEncode(std::int32_t& pred, int& index, int sample)
{
    int step = ImaStepTable[index];
    int diff = sample - pred;
    int code = 0;
    if (diff < 0) {
        code = 8;
        diff = -diff;
    }
    if (diff >= step) {
        code |= 4;
        diff -= step;
    }
    step >>= 1;
    if (diff >= step) {
        code |= 2;
        diff -= step;
    }
    step >>= 1;
    if (diff >= step)
        code |= 1;
    ImaExpand(pred, index, code);
    return code;
}

std::uint16_t Le16(const QByteArray& b, qint64 at) { return qFromLittleEndian<std::uint16_t>(b.constData() + at); }
std::uint32_t Le32(const QByteArray& b, qint64 at) { return qFromLittleEndian<std::uint32_t>(b.constData() + at); }
std::int16_t Le16s(const std::uint8_t* p) { return qFromLittleEndian<std::int16_t>(p); }

// Ids match byte by byte; two bytes also match when they differ by exactly 32
// (an id in capitals matches its lower-case form).
bool IdAt(const QByteArray& b, qint64 at, const char* id)
{
    if (at < 0 || at + 4 > b.size())
        return false;
    for (int i = 0; i < 4; ++i) {
        const int a = quint8(b[at + i]);
        const int c = quint8(id[i]);
        if (a != c && std::abs(a - c) != 32)
            return false;
    }
    return true;
}

qint64 FindId(const QByteArray& b, qint64 from, const char* id)
{
    for (qint64 p = from; p + 4 <= b.size(); ++p)
        if (IdAt(b, p, id))
            return p;
    return -1;
}

constexpr int HeaderLimit = 4096;

struct TWaveHeaderInfo {
    QByteArray Fmt;  // the "fmt " data (as far as it lies in the header)
    std::uint32_t FmtSize = 0;
    bool HasFact = false;
    std::uint32_t Fact = 0;
    qint64 FactPos = 0;
    std::uint32_t DataSize = 0;
    qint64 DataSizePos = 0;
    qint64 DataStart = 0;
};

// Walks the chunks of a RIFF WAVE header held in head: "fmt " first, then a
// "fact" when one comes before "data". False when the "data" size field does
// not lie within head.
bool ParseWaveHeader(const QByteArray& head, TWaveHeaderInfo& info)
{
    const qint64 riff = FindId(head, 0, "RIFF");
    if (riff < 0)
        return false;
    const qint64 wave = FindId(head, riff + 4, "WAVE");
    if (wave < 0)
        return false;
    qint64 pos = wave + 4;
    bool haveFmt = false;
    while (pos + 8 <= head.size()) {
        const std::uint32_t size = Le32(head, pos + 4);
        const qint64 body = pos + 8;
        if (!haveFmt) {
            if (IdAt(head, pos, "fmt ")) {
                haveFmt = true;
                info.FmtSize = size;
                info.Fmt = head.mid(body, qsizetype(std::min<qint64>(size, head.size() - body)));
            }
        } else if (IdAt(head, pos, "fact")) {
            if (body + 4 <= head.size()) {
                info.HasFact = true;
                info.Fact = Le32(head, body);
                info.FactPos = body;
            }
        } else if (IdAt(head, pos, "data")) {
            info.DataSize = size;
            info.DataSizePos = pos + 4;
            info.DataStart = body;
            return true;
        }
        pos = body + qint64(size);
    }
    return false;
}

const char PcmGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, (char)0x80, 0x00, 0x00, (char)0xAA, 0x00, 0x38,
                              (char)0x9B, 0x71};

void Put32(QIODevice& s, qint64 at, std::uint32_t v)
{
    char b[4];
    qToLittleEndian<std::uint32_t>(v, b);
    if (!s.seek(at) || s.write(b, 4) != 4)
        throw EAudioException(QStringLiteral("Cannot write the file: ") + s.errorString());
}

std::uint32_t SizeField(qint64 v)
{
    return std::uint32_t(std::clamp<qint64>(v, 0, 0xFFFFFFFFll));
}

}  // namespace

// ================================================================== TWaveIn

TWaveIn::TWaveIn(QObject* owner) : TAudioFileIn(owner) {}

TWaveIn::~TWaveIn()
{
    std::lock_guard<std::recursive_mutex> lock(FOpenLock);
    if (FOpenCount > 0)
        CloseFile();
}

bool TWaveIn::ScanHeader()
{
    FByteTotal = 0;
    FChannels = FSampleFreq = FBitsPerSample = 0;
    FWavType = wtUnsupported;
    FTruncated = false;
    FHasFact = false;
    QIODevice& s = *FSourceStream;
    if (!s.isSequential())
        s.seek(0);
    const QByteArray head = s.peek(HeaderLimit);
    TWaveHeaderInfo info;
    if (!ParseWaveHeader(head, info) || info.Fmt.size() < 16 || info.FmtSize < 16)
        return false;
    const QByteArray& f = info.Fmt;
    FFormatTag = Le16(f, 0);
    FChannels = Le16(f, 2);
    FSampleFreq = Le32(f, 4);
    const std::uint16_t align = Le16(f, 12);
    FFileBits = Le16(f, 14);
    FBitsPerSample = FFileBits;
    switch (FFormatTag) {
    case 1: FWavType = wtPCM; break;
    case 0x11: FWavType = wtDVIADPCM; break;
    case 2: FWavType = wtMSADPCM; break;
    case 3: FWavType = wtIEEEFloat; break;
    case 6:     // a-law
    case 7:     // mu-law
    case 0x31:  // GSM 6.10
    case 0x50:  // MPEG audio
    case 0x55:  // MPEG layer 3
        FWavType = wtACM;
        break;
    case 0xFFFE: {
        if (f.size() < 40 || f.size() != qsizetype(info.FmtSize))
            return false;
        const QByteArray sub = f.right(16);
        if (std::memcmp(sub.constData() + 2, PcmGuidTail, 14) != 0 || sub[1] != 0)
            return false;
        if (sub[0] == 1)
            FWavType = wtExtPCM;
        else if (sub[0] == 3)
            FWavType = wtExtIEEEFloat;
        else
            return false;
        break;
    }
    default:
        return false;
    }
    if (FWavType == wtDVIADPCM || FWavType == wtMSADPCM) {
        if (f.size() < 20)
            return false;
        const std::uint16_t spb = Le16(f, 18);
        if (FWavType == wtDVIADPCM) {
            FImaBlockAlign = align;
            FImaSamplesPerBlock = spb;
        } else {
            FMsBlockAlign = align;
            FMsSamplesPerBlock = spb;
            if (f.size() < 22)
                return false;
            FMsNumCoef = Le16(f, 20);
            const int pairs = std::min<int>(FMsNumCoef, 32);
            if (f.size() < 22 + pairs * 4)
                return false;
            for (int i = 0; i < pairs * 2; ++i)
                FMsCoefs[i] = std::int16_t(Le16(f, 22 + i * 2));
        }
    }
    FHasFact = info.HasFact;
    if (FWavType == wtDVIADPCM)
        FImaSampleCount = info.Fact;
    else
        FMsSampleCount = info.Fact;

    FDataOffset = info.DataStart;
    const qint64 streamSize = s.isSequential() ? -1 : s.size();
    qint64 size = info.DataSize;
    if (streamSize >= 0) {
        const qint64 avail = std::max<qint64>(0, streamSize - FDataOffset);
        if (info.DataSize == 0 || info.DataSize == 0xFFFFFFFFu) {
            size = avail;  // a writer that never finished its header: read to the end
            FDataEnd = streamSize;
        } else if (qint64(info.DataSize) > avail) {
            FTruncated = true;
            FDataEnd = streamSize;
        } else {
            FDataEnd = FDataOffset + info.DataSize;
        }
    } else {
        FDataEnd = FDataOffset + size;
    }
    FDataSize = size;
    if (FWavType == wtPCM || FWavType == wtExtPCM || FWavType == wtIEEEFloat || FWavType == wtExtIEEEFloat)
        FByteTotal = size;
    if (!s.isSequential())
        s.seek(FDataOffset);
    else
        s.read(FDataOffset);
    return CheckFormat();
}

// Every value of the header is checked against what the decoders and their
// buffers can take: a damaged header never reaches them.
bool TWaveIn::CheckFormat()
{
    if (FSampleFreq == 0 || FSampleFreq > 1000000 || FChannels == 0)
        return false;
    switch (FWavType) {
    case wtPCM:
    case wtExtPCM:
        return FChannels <= 32 && (FFileBits == 8 || FFileBits == 16 || FFileBits == 24 || FFileBits == 32);
    case wtIEEEFloat:
    case wtExtIEEEFloat:
        return FChannels <= 32 && (FFileBits == 32 || FFileBits == 64);
    case wtDVIADPCM: {
        if (FFileBits != 4 || FChannels > 2)
            return false;
        const int n = int(FChannels);
        const int b = FImaBlockAlign;
        if (b <= 4 * n || (n == 2 && (b - 8) % 8 != 0))
            return false;
        const int frames = 1 + (b - 4 * n) * 2 / n;
        if (frames * n * 2 > int(BlockBufSize))
            return false;
        if (FImaSamplesPerBlock > frames)
            return false;
        return true;
    }
    case wtMSADPCM: {
        if (FChannels > 2 || FMsNumCoef == 0)
            return false;
        const int n = int(FChannels);
        const int b = FMsBlockAlign;
        if (b <= 7 * n)
            return false;
        const int frames = 2 + (b - 7 * n) * 2 / n;
        if (FMsSamplesPerBlock < 2 || FMsSamplesPerBlock > frames)
            return false;
        if (FMsSamplesPerBlock * n * 2 > int(BlockBufSize))
            return false;
        return true;
    }
    case wtACM:
        return true;
    default:
        return false;
    }
}

void TWaveIn::OpenFile()
{
    std::lock_guard<std::recursive_mutex> lock(FOpenLock);
    if (FOpenCount > 0)
        return;
    FReadable = true;
    FFloat32 = false;
    FWavType = wtUnsupported;
    if (!FSourceStream) {
        FSourceStream = new TAudioFileStream(FFileName, TAudioFileStream::fmOpenReadShareDenyWrite);
        FStreamBorrowed = false;
    }
    FCanSeek = !FSourceStream->isSequential();
    if (!ScanHeader()) {
        FWavType = wtUnsupported;
        FReadable = false;
        ++FOpenCount;
        return;
    }
    switch (FWavType) {
    case wtDVIADPCM: {
        const int n = int(FChannels);
        const std::int64_t perBlock = 1 + (FImaBlockAlign - 4 * n) * 2 / n;
        // A truncated file announces what its header claims, so that reading
        // runs into the missing part and fails there, as for PCM.
        const std::int64_t dataBytes = FTruncated ? FDataSize : FDataEnd - FDataOffset;
        const std::int64_t full = dataBytes / FImaBlockAlign;
        const std::int64_t part = dataBytes % FImaBlockAlign;
        std::int64_t capacity = full * perBlock;
        if (part > 4 * n)
            capacity += 1 + (n == 2 ? (part - 8) / 8 * 8 : (part - 4) * 2);
        std::int64_t frames = FHasFact && FImaSampleCount > 0 ? FImaSampleCount : capacity;
        if (!FTruncated)
            frames = std::min(frames, capacity);
        FBitsPerSample = 16;
        FByteTotal = std::int64_t(FChannels) * frames * 2;
        break;
    }
    case wtMSADPCM: {
        const int n = int(FChannels);
        const std::int64_t perBlock = FMsSamplesPerBlock;
        // A truncated file announces what its header claims, so that reading
        // runs into the missing part and fails there, as for PCM.
        const std::int64_t dataBytes = FTruncated ? FDataSize : FDataEnd - FDataOffset;
        const std::int64_t full = dataBytes / FMsBlockAlign;
        const std::int64_t part = dataBytes % FMsBlockAlign;
        std::int64_t capacity = full * perBlock;
        if (part >= 7 * n)
            capacity += std::min<std::int64_t>(perBlock, 2 + (part - 7 * n) * 2 / n);
        std::int64_t frames = FHasFact && FMsSampleCount > 0 ? FMsSampleCount : capacity;
        if (!FTruncated)
            frames = std::min(frames, capacity);
        FBitsPerSample = 16;
        FByteTotal = std::int64_t(FChannels) * frames * 2;
        break;
    }
    case wtIEEEFloat:
    case wtExtIEEEFloat:
        if (FFileBits == 32)
            FFloat32 = true;
        else
            FByteTotal = FByteTotal / 2;
        FBitsPerSample = 32;
        break;
    case wtACM: {
        TWaveConverter converter;
        FSourceStream->seek(0);
        converter.LoadFromWaveStream(*FSourceStream);
        const int converted = converter.Convert();
        if (converted != 0) {
            FReadable = false;
            if (!FStreamBorrowed)
                FreeOwnedStream();
            if (converted == TWaveConverter::FFmpegMissing)
                throw EAudioException(FFmpegLoadError());
            return;  // does not count as open
        }
        FConverted = std::make_unique<QBuffer>();
        FConverted->open(QIODevice::ReadWrite);
        converter.SaveToWaveStream(*FConverted);
        FConverted->seek(0);
        FOrigStream = FSourceStream;
        FOrigStreamAssigned = FStreamBorrowed;
        FSourceStream = FConverted.get();
        FStreamBorrowed = true;
        if (!ScanHeader()) {
            FReadable = false;
        }
        FWavType = wtACM;
        break;
    }
    default:
        break;
    }
    ++FOpenCount;
}

void TWaveIn::CloseFile()
{
    std::lock_guard<std::recursive_mutex> lock(FOpenLock);
    if (FOpenCount == 0)
        return;
    if (FConverted) {
        FSourceStream = FOrigStream;
        FStreamBorrowed = FOrigStreamAssigned;
        FConverted.reset();
        FOrigStream = nullptr;
    }
    if (!FStreamBorrowed)
        FreeOwnedStream();
    else if (FSourceStream && !FSourceStream->isSequential())
        FSourceStream->seek(0);
    FOpenCount = 0;
}

std::uint32_t TWaveIn::ReadData(std::uint8_t* dest, std::uint32_t count)
{
    QIODevice& s = *FSourceStream;
    if (!s.isSequential()) {
        const qint64 left = FDataEnd - s.pos();
        if (left <= 0)
            return 0;
        count = std::uint32_t(std::min<qint64>(count, left));
    }
    std::uint32_t got = 0;
    while (got < count) {
        const qint64 n = s.read(reinterpret_cast<char*>(dest) + got, count - got);
        if (n <= 0)
            break;
        got += std::uint32_t(n);
    }
    return got;
}

void TWaveIn::RaiseIfTruncated()
{
    if (FTruncated)
        throw EAudioException(QStringLiteral("The file is truncated: its data end early"));
}

void TWaveIn::DecodeImaBlock(const std::uint8_t* block, std::uint32_t size)
{
    const int n = int(FChannels);
    FBufTail = 0;
    if (int(size) <= 4 * n)
        return;
    std::int32_t pred[2];
    int index[2];
    auto* out = reinterpret_cast<std::int16_t*>(FBlockBuf.data());
    for (int c = 0; c < n; ++c) {
        pred[c] = Le16s(block + 4 * c);
        index[c] = block[4 * c + 2];
        if (index[c] > 88)
            throw EAudioException(QStringLiteral("The ADPCM data is damaged"));
        out[c] = std::int16_t(pred[c]);
    }
    int frames = 1;
    if (n == 1) {
        for (std::uint32_t i = 4; i < size; ++i) {
            out[frames++] = ImaExpand(pred[0], index[0], block[i] & 0x0F);
            out[frames++] = ImaExpand(pred[0], index[0], block[i] >> 4);
        }
    } else {
        const std::uint32_t groups = (size - 8) / 8;
        for (std::uint32_t g = 0; g < groups; ++g) {
            const std::uint8_t* p = block + 8 + g * 8;
            for (int c = 0; c < 2; ++c) {
                for (int k = 0; k < 8; ++k) {
                    const std::uint8_t b = p[c * 4 + k / 2];
                    const int code = (k & 1) ? (b >> 4) : (b & 0x0F);
                    out[(frames + k) * 2 + c] = ImaExpand(pred[c], index[c], code);
                }
            }
            frames += 8;
        }
    }
    FBufTail = std::uint32_t(frames * n * 2);
}

void TWaveIn::DecodeMsBlock(const std::uint8_t* block, std::uint32_t size)
{
    const int n = int(FChannels);
    FBufTail = 0;
    if (int(size) < 7 * n)
        return;
    int predIndex[2];
    std::int32_t delta[2], s1[2], s2[2];
    if (n == 1) {
        predIndex[0] = block[0];
        delta[0] = Le16s(block + 1);
        s1[0] = Le16s(block + 3);
        s2[0] = Le16s(block + 5);
    } else {
        for (int c = 0; c < 2; ++c) {
            predIndex[c] = block[c];
            delta[c] = Le16s(block + 2 + 2 * c);
            s1[c] = Le16s(block + 6 + 2 * c);
            s2[c] = Le16s(block + 10 + 2 * c);
        }
    }
    const int coefCount = std::min<int>(FMsNumCoef, 32);
    for (int c = 0; c < n; ++c)
        if (predIndex[c] >= coefCount)
            throw EAudioException(QStringLiteral("The ADPCM data is damaged"));
    auto* out = reinterpret_cast<std::int16_t*>(FBlockBuf.data());
    const int maxFrames = std::min<int>(FMsSamplesPerBlock, 2 + (int(size) - 7 * n) * 2 / n);
    int at = 0;
    for (int c = 0; c < n; ++c)
        out[at++] = std::int16_t(s2[c]);
    for (int c = 0; c < n; ++c)
        out[at++] = std::int16_t(s1[c]);
    const int total = std::max(maxFrames, 2) * n;
    int channel = 0;
    for (std::uint32_t i = std::uint32_t(7 * n); i < size && at < total; ++i) {
        for (int half = 0; half < 2 && at < total; ++half) {
            const int nibble = half == 0 ? (block[i] >> 4) : (block[i] & 0x0F);
            const int code = nibble >= 8 ? nibble - 16 : nibble;
            const int c = channel;
            const std::int64_t coef1 = FMsCoefs[predIndex[c] * 2];
            const std::int64_t coef2 = FMsCoefs[predIndex[c] * 2 + 1];
            const std::int64_t pred = std::clamp<std::int64_t>(
                (s1[c] * coef1 + s2[c] * coef2) / 256 + code * std::int64_t(delta[c]), -32768, 32767);
            s2[c] = s1[c];
            s1[c] = std::int32_t(pred);
            // The step adapts within what a block header can carry (a 16-bit
            // value), and never below 16: damaged data cannot make it grow
            // without bound.
            delta[c] = std::clamp(MsAdaptationTable[nibble] * delta[c] / 256, 16, 32767);
            out[at++] = std::int16_t(pred);
            channel = (channel + 1) % n;
        }
    }
    FBufTail = std::uint32_t(std::min(at, total) * 2);
}

void TWaveIn::GetDataInternal(std::uint8_t*& buffer, std::uint32_t& bytes)
{
    if (!FDelivering || !FSourceStream)
        throw EAudioException(QStringLiteral("The Stream is not opened"));
    if (FBufTail < FBufHead) {
        FBufHead = 1;
        FBufTail = 0;
        std::uint8_t* buf = FBlockBuf.data();
        switch (FWavType) {
        case wtPCM:
        case wtExtPCM:
        case wtACM: {
            const std::uint32_t frame = FChannels * (FBitsPerSample / 8);
            std::uint32_t n = ReadData(buf, BlockBufSize - BlockBufSize % frame);
            FBufTail = n - n % frame;
            break;
        }
        case wtDVIADPCM: {
            FRawBlock.resize(FImaBlockAlign);
            const std::uint32_t got = ReadData(FRawBlock.data(), FImaBlockAlign);
            DecodeImaBlock(FRawBlock.data(), got);
            break;
        }
        case wtMSADPCM: {
            FRawBlock.resize(FMsBlockAlign);
            const std::uint32_t got = ReadData(FRawBlock.data(), FMsBlockAlign);
            DecodeMsBlock(FRawBlock.data(), got);
            break;
        }
        case wtIEEEFloat:
        case wtExtIEEEFloat: {
            const std::uint32_t fileFrame = FChannels * (FFileBits / 8);
            std::uint32_t n = ReadData(buf, BlockBufSize - BlockBufSize % (FChannels * 8));
            n -= n % fileFrame;
            if (FFloat32) {
                ConvertSinglesToInts(buf, n);
                FBufTail = n;
            } else {
                ConvertDoublesToInts(buf, n);
                FBufTail = n / 2;
            }
            break;
        }
        default:
            break;
        }
        if (FBufTail == 0) {
            RaiseIfTruncated();
            buffer = nullptr;
            bytes = 0;
            return;
        }
    }
    const std::uint32_t frame = FChannels * (FBitsPerSample / 8);
    bytes -= bytes % frame;
    bytes = std::min(bytes, FBufTail - FBufHead + 1);
    buffer = FBlockBuf.data() + (FBufHead - 1);
    FBufHead += bytes;
}

bool TWaveIn::SeekInternal(std::int64_t& sampleNum)
{
    FBufHead = 1;
    FBufTail = 0;
    if (!FSourceStream)
        return false;
    switch (FWavType) {
    case wtPCM:
        return FSourceStream->seek(FDataOffset + sampleNum * (FBitsPerSample / 8) * FChannels);
    case wtDVIADPCM: {
        const int n = int(FChannels);
        const std::int64_t perBlock = 1 + (FImaBlockAlign - 4 * n) * 2 / n;
        return FSourceStream->seek(FDataOffset + (sampleNum / perBlock) * FImaBlockAlign);
    }
    case wtMSADPCM:
        return FSourceStream->seek(FDataOffset + (sampleNum / FMsSamplesPerBlock) * FMsBlockAlign);
    default:
        return false;
    }
}

// ================================================================== TWaveOut

TWaveOut::TWaveOut(QObject* owner) : TAudioFileOut(owner) {}

TWaveOut::~TWaveOut()
{
    DestroyWorker();
}

void TWaveOut::SetWavType(TWavType v)
{
    if ((v == wtPCM || v == wtDVIADPCM) && !FDelivering)
        FWavType = v;
}

void TWaveOut::SetBlockSize(std::uint16_t v)
{
    if (v != 0 && v % 4 == 0 && !FDelivering)
        FBlockSize = v;
}

void TWaveOut::WriteBytes(const void* data, qint64 size)
{
    if (FSourceStream->write(static_cast<const char*>(data), size) != size)
        throw EAudioException(QStringLiteral("Cannot write the file: ") + FSourceStream->errorString());
}

void TWaveOut::WriteHeader()
{
    const std::int64_t total = std::max<std::int64_t>(Input()->ByteTotal(), 0);
    QByteArray h;
    auto add16 = [&h](std::uint16_t v) {
        char b[2];
        qToLittleEndian(v, b);
        h.append(b, 2);
    };
    auto add32 = [&h](std::uint32_t v) {
        char b[4];
        qToLittleEndian(v, b);
        h.append(b, 4);
    };
    const std::uint16_t align = std::uint16_t(FBits * FChannels / 8);
    if (FWavType == wtPCM) {
        h += "RIFF";
        add32(SizeField(total + 36));
        h += "WAVEfmt ";
        add32(16);
        add16(1);
        add16(FChannels);
        add32(FRate);
        add32(FRate * align);
        add16(align);
        add16(FBits);
        h += "data";
        add32(SizeField(total));
    } else if (FWavType == wtExtPCM) {
        h += "RIFF";
        add32(SizeField(total + 60));
        h += "WAVEfmt ";
        add32(40);
        add16(0xFFFE);
        add16(FChannels);
        add32(FRate);
        add32(FRate * align);
        add16(align);
        add16(FBits);
        add16(22);
        add16(FBits);
        std::uint32_t mask = 0;
        switch (FChannels) {
        case 1: mask = 1; break;
        case 2: mask = 3; break;
        case 6: mask = 63; break;
        case 8: mask = 255; break;
        default: mask = 0; break;
        }
        add32(mask);
        h += char(1);
        h += char(0);
        h.append(PcmGuidTail, 14);
        h += "data";
        add32(SizeField(total));
    } else {
        const int n = FChannels;
        const int b = FBlockSize;
        const std::uint16_t s = std::uint16_t((2 / n) * (b - 4 * n) + 1);
        const std::uint32_t frames = std::uint32_t((total / (FBits / 8)) / n);
        const std::uint32_t dataSize = std::uint32_t(std::llround(double(frames) / s)) * std::uint32_t(b);
        h += "RIFF";
        add32(dataSize + 52);
        h += "WAVEfmt ";
        add32(20);
        add16(0x11);
        add16(std::uint16_t(n));
        add32(FRate);
        add32((FRate / s) * std::uint32_t(b));
        add16(std::uint16_t(b));
        add16(4);
        add16(2);
        add16(s);
        h += "fact";
        add32(4);
        add32(frames);
        h += "data";
        add32(dataSize);
    }
    WriteBytes(h.constData(), h.size());
}

bool TWaveOut::ScanAppendHeader()
{
    QIODevice& s = *FSourceStream;
    s.seek(0);
    const QByteArray head = s.read(HeaderLimit);
    TWaveHeaderInfo info;
    FAppendKind = 0;
    if (!ParseWaveHeader(head, info) || info.Fmt.size() < 16)
        return false;
    const std::uint16_t tag = Le16(info.Fmt, 0);
    FAppendKind = tag == 1 ? 1 : tag == 0x11 ? 2 : 0;
    FAppendChannels = Le16(info.Fmt, 2);
    FAppendRate = Le32(info.Fmt, 4);
    FAppendBits = Le16(info.Fmt, 14);
    if (FAppendKind == 2) {
        FBlockSize = Le16(info.Fmt, 12);
        if (!info.HasFact)
            FAppendKind = 0;
        FAppendFact = info.Fact;
        FFactPos = std::int32_t(info.FactPos);
    }
    FAppendDataSize = info.DataSize;
    FDataSizePos = std::int32_t(info.DataSizePos);
    FDataStart = std::int32_t(info.DataStart);
    return true;
}

void TWaveOut::Prepare()
{
    FEndReached = false;
    FAppending = false;
    FFileOpened = false;
    FTempName.clear();
    FImaFrames = 0;
    FOriginalSize = 0;
    bool existed = false;
    if (!FSourceStream) {
        if (FFileName.isEmpty())
            throw EAudioException(QStringLiteral("File name is not assigned."));
        if (FFileMode == foAppend && QFile::exists(FFileName)) {
            FSourceStream = new TAudioFileStream(FFileName, TAudioFileStream::fmOpenReadWriteExclusive);
            existed = true;
        } else {
            // Written under a temporary name and renamed at a good end, so that
            // a failed or stopped run never leaves a file that looks complete.
            FTempName = FFileName + QStringLiteral(".part");
            FSourceStream = new TAudioFileStream(FTempName, TAudioFileStream::fmCreate);
        }
        FStreamBorrowed = false;
    } else {
        existed = FFileMode == foAppend;
    }
    FFileOpened = true;
    FOrigHead.clear();
    if (existed) {
        FOriginalSize = FSourceStream->size();
        if (FSourceStream->seek(0))
            FOrigHead = FSourceStream->read(HeaderLimit);
    }

    auto refuse = [this](const QString& message) {
        Input()->Flush();
        FreeOwnedStream();
        FFileOpened = false;
        throw EAudioException(message);
    };

    Input()->Init();
    FChannels = std::uint16_t(Input()->GetChannels());
    FRate = Input()->GetSampleRate();
    FBits = std::uint16_t(Input()->GetBitsPerSample());
    if ((FChannels > 2 || FBits > 16) && !FCreateNonMsHeaders)
        FWavType = wtExtPCM;

    if (existed && FOriginalSize > 0) {
        if (!ScanAppendHeader() || FAppendKind == 0)
            refuse(QStringLiteral("Cannot append data to this .wav file."));
        FWavType = FAppendKind == 1 ? wtPCM : wtDVIADPCM;
        FAppending = true;
    }
    switch (FWavType) {
    case wtPCM:
        if (FAppending) {
            if (FAppendRate != FRate || FAppendBits != FBits || FAppendChannels != FChannels)
                refuse(QStringLiteral("Cannot append data in different audio format."));
            FSourceStream->seek(FSourceStream->size());
        } else {
            WriteHeader();
        }
        break;
    case wtDVIADPCM:
        if (FBits != 16)
            refuse(QStringLiteral("Cannot encode 8 bit sound into ADPCM."));
        if (FChannels > 2 || FBlockSize <= 4 * FChannels || (FChannels == 2 && FBlockSize % 8 != 0))
            refuse(QStringLiteral("Cannot encode this channel count or block size into ADPCM."));
        if (FAppending) {
            if (FAppendRate != FRate || FAppendChannels != FChannels)
                refuse(QStringLiteral("Cannot append data in different audio format."));
            FSourceStream->seek(FSourceStream->size());
        } else {
            WriteHeader();
            FImaIndex = {0, 0};
        }
        break;
    default:
        FWavType = wtExtPCM;
        WriteHeader();
        break;
    }
}

void TWaveOut::EncodeImaBlock(const std::int16_t* samples, int frames, std::uint8_t* block)
{
    const int n = FChannels;
    for (int c = 0; c < n; ++c) {
        FImaPred[c] = samples[c];
        qToLittleEndian<std::int16_t>(samples[c], block + 4 * c);
        block[4 * c + 2] = std::uint8_t(FImaIndex[c]);
        block[4 * c + 3] = 0;
    }
    if (n == 1) {
        std::uint8_t* p = block + 4;
        for (int f = 1; f + 1 < frames + 1; f += 2) {
            const int lo = ImaEncode(FImaPred[0], FImaIndex[0], samples[f]);
            const int hi = f + 1 < frames ? ImaEncode(FImaPred[0], FImaIndex[0], samples[f + 1]) : 0;
            *p++ = std::uint8_t(lo | (hi << 4));
        }
    } else {
        std::uint8_t* p = block + 8;
        for (int f = 1; f < frames; f += 8) {
            for (int c = 0; c < 2; ++c) {
                for (int k = 0; k < 8; k += 2) {
                    const int lo = ImaEncode(FImaPred[c], FImaIndex[c], samples[(f + k) * 2 + c]);
                    const int hi = ImaEncode(FImaPred[c], FImaIndex[c], samples[(f + k + 1) * 2 + c]);
                    *p++ = std::uint8_t(lo | (hi << 4));
                }
            }
        }
    }
}

bool TWaveOut::DoOutput(bool abort)
{
    if (abort || FEndReached)
        return false;
    if (FWavType == wtDVIADPCM) {
        const int n = FChannels;
        const int b = FBlockSize;
        const int frames = (b - 4 * n) * 2 / n + 1;
        const int need = frames * n * 2;
        FImaIn.assign(size_t(need), 0);
        int got = 0;
        while (got < need) {
            const int c = Input()->CopyData(FImaIn.data() + got, need - got);
            if (c == 0) {
                FEndReached = true;
                break;
            }
            got += c;
        }
        const int real = got / (n * 2);
        if (real == 0)
            return false;  // nothing left: no block of invented silence
        FImaOut.assign(size_t(b), 0);
        EncodeImaBlock(reinterpret_cast<const std::int16_t*>(FImaIn.data()), frames, FImaOut.data());
        WriteBytes(FImaOut.data(), b);
        FImaFrames += std::uint64_t(real);
        return !FEndReached;
    }
    std::uint8_t* buffer = nullptr;
    std::uint32_t bytes = 16384;
    Input()->GetData(buffer, bytes);
    if (!buffer || bytes == 0)
        return false;
    WriteBytes(buffer, bytes);
    return true;
}

void TWaveOut::Done()
{
    TAudioInput* input = Input();
    if (!FFileOpened || !FSourceStream) {
        // Prepare refused the input after creating the file under its
        // temporary name: nothing of it may stay behind.
        if (!FTempName.isEmpty()) {
            QFile::remove(FTempName);
            FTempName.clear();
        }
        if (input)
            input->Flush();
        return;
    }
    QIODevice& s = *FSourceStream;
    bool failed = RunFailed();
    QString failure;
    auto* file = qobject_cast<QFile*>(FSourceStream);
    const bool inPlace = FTempName.isEmpty() && FFileMode == foAppend && file && !FStreamBorrowed;
    if (failed && inPlace) {
        // Back to the file as it was before the run.
        file->resize(FOriginalSize);
        if (!FOrigHead.isEmpty() && file->seek(0))
            file->write(FOrigHead);
    } else {
        try {
            // The sizes always come from what was really written.
            const qint64 length = s.size();
            if (FWavType == wtPCM) {
                if (FAppending)
                    Put32(s, FDataSizePos, SizeField(length - FDataStart));
                else
                    Put32(s, 40, SizeField(length - 44));
            } else if (FWavType == wtExtPCM) {
                Put32(s, 64, SizeField(length - 68));
            } else {
                const int n = FChannels;
                const std::uint32_t s0 = std::uint32_t((2 / n) * (FBlockSize - 4 * n) + 1);
                if (FAppending) {
                    Put32(s, FDataSizePos, SizeField(length - FDataStart));
                    const std::uint64_t before = std::uint64_t(FAppendDataSize / FBlockSize) * s0;
                    Put32(s, FFactPos, SizeField(qint64(before + FImaFrames)));
                } else {
                    Put32(s, 56, SizeField(length - 60));
                    Put32(s, 48, SizeField(qint64(FImaFrames)));
                }
            }
            Put32(s, 4, SizeField(length - 8));
        } catch (const EAudioException& e) {
            failed = true;
            failure = e.Message();
        }
    }
    if (file && !file->flush() && !failed) {
        failed = true;
        failure = QStringLiteral("Cannot write the file: ") + file->errorString();
    }
    FreeOwnedStream();
    FFileOpened = false;

    if (!FTempName.isEmpty()) {
        if (failed) {
            QFile::remove(FTempName);
            QFile::remove(FFileName);
        } else {
            QFile::remove(FFileName);
            if (!QFile::rename(FTempName, FFileName)) {
                QFile::remove(FTempName);
                failed = true;
                failure = QStringLiteral("Cannot create the file ") + FFileName;
            }
        }
        FTempName.clear();
    }
    if (failed) {
        FRunFailed = true;
        if (!failure.isEmpty())
            SetLastErrorText(failure);
    }
    if (input)
        input->Flush();
}
