#include "SndWaveIO.h"

#include "MMACM.h"
#include "SndMulDiv.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <unistd.h>

// ---------------------------------------------------------------- formats

std::int32_t FormatSize(const TWaveFormatEx* format)
{
    if (!format)
        return 0;
    if (format->wFormatTag == WAVE_FORMAT_PCM)
        return 18;
    return 18 + format->cbSize;
}

TWaveFormatEx* CopyWaveFormat(const TWaveFormatEx* format)
{
    const std::int32_t size = FormatSize(format);
    if (size == 0)
        return nullptr;
    auto* copy = static_cast<TWaveFormatEx*>(GlobalAllocMem(static_cast<std::size_t>(size)));
    std::memcpy(copy, format, static_cast<std::size_t>(size));
    if (copy->wFormatTag == WAVE_FORMAT_PCM)
        copy->cbSize = 0;
    return copy;
}

namespace {

std::int64_t RoundUpToBlock(const TWaveFormatEx* format, std::int64_t bytes)
{
    const std::int64_t align = format->nBlockAlign;
    if (align <= 1 || bytes <= 0)
        return bytes;
    return (bytes + align - 1) / align * align;
}

bool Usable(const TWaveFormatEx* format)
{
    return format && format->nSamplesPerSec != 0 && format->nAvgBytesPerSec != 0;
}

}  // namespace

std::int64_t SamplesToBytes(const TWaveFormatEx* format, std::int64_t samples)
{
    if (!Usable(format))
        return 0;
    return RoundUpToBlock(format, MulDivRound64(samples, format->nAvgBytesPerSec, format->nSamplesPerSec));
}

std::int64_t BytesToSamples(const TWaveFormatEx* format, std::int64_t bytes)
{
    if (!Usable(format))
        return 0;
    return MulDivRound64(bytes, format->nSamplesPerSec, format->nAvgBytesPerSec);
}

std::int64_t SamplesToMs(const TWaveFormatEx* format, std::int64_t samples)
{
    if (!Usable(format))
        return 0;
    return MulDivRound64(samples, 1000, format->nSamplesPerSec);
}

std::int64_t MsToSamples(const TWaveFormatEx* format, std::int64_t ms)
{
    if (!Usable(format))
        return 0;
    return MulDivRound64(ms, format->nSamplesPerSec, 1000);
}

std::int64_t BytesToMs(const TWaveFormatEx* format, std::int64_t bytes)
{
    if (!Usable(format))
        return 0;
    return MulDivRound64(bytes, 1000, format->nAvgBytesPerSec);
}

std::int64_t MsToBytes(const TWaveFormatEx* format, std::int64_t ms)
{
    if (!Usable(format))
        return 0;
    return RoundUpToBlock(format, MulDivRound64(ms, format->nAvgBytesPerSec, 1000));
}

std::int64_t BytesPerSampleFrame(const TWaveFormatEx* format)
{
    return SamplesToBytes(format, 1);
}

std::int64_t SamplesToBytes64(const TWaveFormatEx* format, std::int64_t samples)
{
    if (!Usable(format))
        return 0;
    return RoundUpToBlock(format, MulDiv64(samples, format->nAvgBytesPerSec, format->nSamplesPerSec));
}

std::int64_t SamplesToMs64(const TWaveFormatEx* format, std::int64_t samples)
{
    if (!Usable(format))
        return 0;
    return MulDiv64(samples, 1000, format->nSamplesPerSec);
}

namespace {

struct TTagName {
    std::uint16_t Tag;
    const char* Name;
};

// Searched from the top: the first row with the tag gives the name.
constexpr TTagName FormatTagNames[] = {
    {0x0000, "Unknown"},
    {0x0001, "PCM"},
    {0x020C, "PCM 32"},
    {0x0002, "Microsoft ADPCM"},
    {0x0003, "Mediavision's ADPCM"},
    {0x0005, "IBM CVSD"},
    {0x0006, "CCITT A-Law"},
    {0x0007, "CCITT mu-Law"},
    {0x0010, "OKI ADPCM"},
    {0x0011, "IMA ADPCM"},
    {0x0011, "DVI ADPCM"},
    {0x0012, "Mediaspace's ADPCM"},
    {0x0013, "Sierra's ADPCM"},
    {0x0014, "CCITT G.723 ADPCM"},
    {0x0015, "Digisound DIGISTD"},
    {0x0016, "Digisound DIGIFIX"},
    {0x0017, "Dialogic OKI ADPCM"},
    {0x0020, "Yamaha ADPCM"},
    {0x0021, "Sonarc"},
    {0x0022, "DSP Group's Truespeech"},
    {0x0023, "Echo SC1"},
    {0x0024, "Audiofile AF36"},
    {0x0025, "Audio Processing Technology"},
    {0x0026, "Audiofile AF10"},
    {0x0030, "Dolby AC2"},
    {0x0209, "Dolby AC2"},
    {0x0031, "GSM 6.10"},
    {0x0033, "Antex ADPCME"},
    {0x0039, "CS IMA ADPCM"},
    {0x0040, "CCITT G.721 ADPCM"},
    {0x0050, "MPEG 1"},
    {0x0055, "MPEG Layer-3"},
    {0x0200, "Creative's ADPCM"},
    {0x1001, "Olivetti's ADPCM"},
    {0x0204, "CDI-C"},
    {0x0205, "CDI-B"},
    {0x0206, "Antex-DVI-OKI ADPCME"},
    {0xFFFF, "*DEVELOPMENT ONLY TAG*"},
};

QChar GListSeparator = QLatin1Char(',');
QChar GDecimalSeparator = QLatin1Char('.');

}  // namespace

QChar ListSeparator()
{
    return GListSeparator;
}

QChar DecimalSeparator()
{
    return GDecimalSeparator;
}

QString FormatTagName(const TWaveFormatEx* format)
{
    if (format)
        for (const TTagName& entry : FormatTagNames)
            if (entry.Tag == format->wFormatTag)
                return QString::fromLatin1(entry.Name);
    return QStringLiteral("Unknown");
}

QString FormatDescription(const TWaveFormatEx* format)
{
    if (!format)
        return QStringLiteral("Unknown");
    // There are no regional settings for the separators on this system: the
    // initial ones stay.
    const std::uint32_t rate = format->nSamplesPerSec;
    std::uint32_t bits = 0;
    if (rate != 0 && format->nChannels != 0)
        bits = static_cast<std::uint32_t>(static_cast<std::uint64_t>(format->nAvgBytesPerSec) * 8 / rate /
                                          format->nChannels);
    const QString head = QStringLiteral("%1%2%3 kHz%4 %5 Bit%6 ")
                             .arg(rate / 1000)
                             .arg(GDecimalSeparator)
                             .arg(rate % 1000, 3, 10, QLatin1Char('0'))
                             .arg(GListSeparator)
                             .arg(bits)
                             .arg(GListSeparator);
    if (format->nChannels == 1)
        return head + QStringLiteral("Mono");
    if (format->nChannels == 2)
        return head + QStringLiteral("Stereo");
    return head + QStringLiteral("%1 Channels").arg(format->nChannels);
}

bool GetFormatNames(const TWaveFormatEx* format, QString& tagName, QString& description)
{
    if (!format)
        return false;
    if (!AcmPresent() || !AcmFormatTagDetails(format->wFormatTag, tagName))
        tagName = FormatTagName(format);
    if (!AcmPresent() || !AcmFormatDetails(format, description))
        description = FormatDescription(format);
    return true;
}

// ---------------------------------------------------------------- file routines

namespace {

constexpr std::int64_t MaxFormatBytes = 18 + 0xFFFF;

std::unique_ptr<TSndMmio> OpenByName(const QString& fileName)
{
    const QFileInfo fi(fileName);
    std::unique_ptr<TSndMmio> io;
    if (fi.isWritable())
        io = TSndMmio::Open(fileName, mmioReadWrite);
    if (!io)
        io = TSndMmio::Open(fileName, mmioRead);
    return io;
}

// Opens the file and enters its RIFF "WAVE" chunk.
int OpenWave(const QString& fileName, std::unique_ptr<TSndMmio>& io, TMMCkInfo& riff)
{
    io = OpenByName(fileName);
    if (!io)
        return WIOERR_FILEERROR;
    riff = TMMCkInfo();
    if (!io->Descend(riff, nullptr, 0) || riff.ckid != FOURCC_RIFF || riff.fccType != FOURCC_WAVE ||
        riff.cksize < 4) {
        io.reset();
        return WIOERR_FILEERROR;
    }
    return WIOERR_NOERROR;
}

int ListResult(int listResult)
{
    switch (listResult) {
    case RIFFERR_NOERROR: return WIOERR_NOERROR;
    case RIFFERR_NOMEM: return WIOERR_NOMEM;
    case RIFFERR_BADPARAM: return WIOERR_BADPARAM;
    default: return WIOERR_FILEERROR;
    }
}

// The stored format is usable: sizes fit the chunk, no zero divisor.
bool CheckFormat(std::vector<unsigned char>& bytes, std::int64_t chunkBytes)
{
    if (chunkBytes < 16)
        return false;
    if (bytes.size() < 18)
        bytes.resize(18, 0);
    auto* f = reinterpret_cast<TWaveFormatEx*>(bytes.data());
    if (chunkBytes < 18)
        f->cbSize = 0;
    if (f->nChannels == 0 || f->nSamplesPerSec == 0 || f->nBlockAlign == 0)
        return false;
    if (f->wFormatTag == WAVE_FORMAT_PCM) {
        if (f->wBitsPerSample == 0)
            return false;
        f->cbSize = 0;
    } else {
        if (f->nAvgBytesPerSec == 0)
            return false;
        if (18 + static_cast<std::int64_t>(f->cbSize) > chunkBytes)
            return false;
    }
    return true;
}

std::uint32_t FormatBytesOf(const TWaveFormatEx* format)
{
    return static_cast<std::uint32_t>(std::max<std::int32_t>(18, FormatSize(format)));
}

}  // namespace

int ParseWaveFile(PSndWaveIOInfo& info, const QString& fileName)
{
    info = nullptr;
    if (fileName.isEmpty())
        return WIOERR_BADPARAM;
    const QString fullName = QFileInfo(fileName).absoluteFilePath();
    std::unique_ptr<TSndMmio> io;
    TMMCkInfo riff;
    int result = OpenWave(fullName, io, riff);
    if (result != WIOERR_NOERROR)
        return result;

    std::unique_ptr<TSndWaveIOInfo> rec;
    try {
        rec = std::make_unique<TSndWaveIOInfo>();
    } catch (const std::bad_alloc&) {
        return WIOERR_NOMEM;
    }
    const std::int64_t fileSize = io->Size();
    if (riff.dwDataOffset + riff.cksize > fileSize)
        riff.cksize = fileSize - riff.dwDataOffset;
    const std::int64_t riffEnd = riff.dwDataOffset + riff.cksize;
    // Chunks are looked for up to the file's end: a RIFF size that claims too
    // little (as some streaming writers leave it) still finds "fmt " and
    // "data"; once both are found, a chunk beyond the RIFF end ends the scan.
    TMMCkInfo scope = riff;
    scope.cksize = std::max(riff.cksize, fileSize - riff.dwDataOffset);

    std::int64_t dataEnd = fileSize;
    bool fmtFound = false;
    std::int64_t fmtChunkBytes = 0;
    bool dataFound = false;
    bool factFound = false;
    std::int64_t dataOffset = 0;
    std::int64_t dataSize = 0;
    bool previousWasData = false;

    for (;;) {
        TMMCkInfo ck;
        if (!io->Descend(ck, &scope, 0))
            break;
        const std::int64_t ckEnd = ck.dwDataOffset + ck.cksize;
        if (ckEnd > riffEnd) {
            if (fmtFound && dataFound)
                break;
            if (ckEnd > fileSize)
                ck.cksize = std::max<std::int64_t>(0, fileSize - ck.dwDataOffset);
        }
        if (previousWasData) {
            dataEnd = ck.dwDataOffset - 8;
            previousWasData = false;
        }
        bool endScan = false;
        if (ck.ckid == FOURCC_LIST) {
            if (ck.fccType == FOURCC_INFO && ck.cksize >= 5) {
                result = ListResult(RiffReadInfoList(*io, ck, rec->InfoList));
                if (result != WIOERR_NOERROR)
                    return result;
            }
        } else if (ck.ckid == FOURCC_DISP) {
            if (ck.cksize >= 5) {
                result = ListResult(RiffReadDisp(*io, ck, rec->DispList));
                if (result != WIOERR_NOERROR)
                    return result;
            }
        } else if (ck.ckid == FOURCC_FMT) {
            if (fmtFound) {
                endScan = true;
            } else {
                fmtFound = true;
                fmtChunkBytes = ck.cksize;
                const std::int64_t toRead = std::min(ck.cksize, MaxFormatBytes);
                try {
                    rec->FormatBytes.assign(static_cast<std::size_t>(std::max<std::int64_t>(18, toRead)), 0);
                } catch (const std::bad_alloc&) {
                    return WIOERR_NOMEM;
                }
                if (io->Read(rec->FormatBytes.data(), toRead) != toRead)
                    return WIOERR_FILEERROR;
            }
        } else if (ck.ckid == FOURCC_DATA) {
            if (dataFound && dataSize > 0) {
                endScan = true;
            } else {
                dataFound = true;
                dataSize = ck.cksize;
                dataOffset = ck.dwDataOffset;
                previousWasData = true;
            }
        } else if (ck.ckid == FOURCC_FACT) {
            if (factFound) {
                endScan = true;
            } else {
                // The sample count of a "fact" chunk is not used: the length
                // always follows the data bytes.
                factFound = true;
            }
        }
        if (endScan)
            break;
        if (!io->Ascend(ck)) {
            if (dataFound && dataSize > 0)
                break;
            return WIOERR_FILEERROR;
        }
    }

    if (!fmtFound || !CheckFormat(rec->FormatBytes, fmtChunkBytes))
        return WIOERR_BADFILE;
    // A WAVE file without "data" chunk has no sound to offer.
    if (!dataFound)
        return WIOERR_BADFILE;

    TWaveFormatEx* format = rec->Format();
    const std::int64_t dataChunkEnd = std::min(dataOffset + dataSize, fileSize);
    const std::int64_t end = std::min(dataEnd, dataChunkEnd);
    std::int64_t dataBytes = std::max<std::int64_t>(0, end - dataOffset);
    dataBytes = dataBytes / format->nBlockAlign * format->nBlockAlign;
    if (format->wFormatTag == WAVE_FORMAT_PCM) {
        const std::int64_t align = static_cast<std::int64_t>(format->nChannels) * ((format->wBitsPerSample + 7) / 8);
        const std::int64_t average = align * format->nSamplesPerSec;
        if (align <= 0 || align > 0xFFFF || average > 0xFFFFFFFFLL)
            return WIOERR_BADFILE;
        format->nBlockAlign = static_cast<std::uint16_t>(align);
        format->nAvgBytesPerSec = static_cast<std::uint32_t>(average);
        // Only whole frames of the real block size are sound.
        dataBytes = dataBytes / align * align;
    }

    rec->Size = static_cast<std::uint32_t>(sizeof(TSndWaveIOInfo)) + FormatBytesOf(format);
    rec->Flags = 1;
    rec->RiffChunk = riff;
    rec->FileSize = fileSize;
    rec->DataBytes = dataBytes;
    rec->DataOffset = dataOffset;
    rec->Length = BytesToSamples(format, dataBytes);
    // A length that rounds up past the data would read beyond it.
    while (rec->Length > 0 && SamplesToBytes(format, rec->Length) > dataBytes &&
           format->wFormatTag == WAVE_FORMAT_PCM)
        --rec->Length;
    rec->First = 0;
    rec->Last = rec->Length;
    rec->BytesLeft = 0;
    rec->Position = 0;
    rec->FileName = fullName;
    io.reset();
    info = rec.release();
    return WIOERR_NOERROR;
}

bool IsWaveFile(const QString& fileName)
{
    PSndWaveIOInfo info = nullptr;
    const bool ok = ParseWaveFile(info, fileName) == WIOERR_NOERROR;
    FreeWaveInfo(info);
    return ok;
}

int CreateWaveInfo(PSndWaveIOInfo& info, const TWaveFormatEx* format)
{
    info = nullptr;
    if (!format)
        return WIOERR_BADPARAM;
    try {
        auto rec = std::make_unique<TSndWaveIOInfo>();
        const std::int32_t size = FormatSize(format);
        rec->FormatBytes.assign(static_cast<std::size_t>(std::max(18, size)), 0);
        std::memcpy(rec->FormatBytes.data(), format, static_cast<std::size_t>(size));
        if (rec->Format()->wFormatTag == WAVE_FORMAT_PCM)
            rec->Format()->cbSize = 0;
        rec->Size = static_cast<std::uint32_t>(sizeof(TSndWaveIOInfo)) + FormatBytesOf(rec->Format());
        info = rec.release();
    } catch (const std::bad_alloc&) {
        return WIOERR_NOMEM;
    }
    return WIOERR_NOERROR;
}

int CopyWaveLists(PSndWaveIOInfo target, PSndWaveIOInfo source)
{
    if (!target || !source)
        return WIOERR_BADPARAM;
    if (RiffCopyInfoList(target->InfoList, source->InfoList) != RIFFERR_NOERROR ||
        RiffCopyDispList(target->DispList, source->DispList) != RIFFERR_NOERROR)
        return WIOERR_BADFILE;
    return WIOERR_NOERROR;
}

int CreateWaveFile(PSndWaveIOInfo info, const QString& fileName)
{
    if (!info || fileName.isEmpty())
        return WIOERR_BADPARAM;
    const QString fullName = QFileInfo(fileName).absoluteFilePath();
    info->Handle.reset();
    std::unique_ptr<TSndMmio> io = TSndMmio::Open(fullName, mmioCreate);
    bool ok = io != nullptr;
    TMMCkInfo riff;
    TMMCkInfo fmt;
    TMMCkInfo data;
    if (ok) {
        riff.fccType = FOURCC_WAVE;
        ok = io->CreateChunk(riff, MMIO_CREATERIFF);
    }
    if (ok) {
        fmt.ckid = FOURCC_FMT;
        fmt.cksize = FormatSize(info->Format());
        ok = io->CreateChunk(fmt, 0) &&
             io->Write(info->Format(), fmt.cksize) == fmt.cksize && io->Ascend(fmt);
    }
    if (ok) {
        data.ckid = FOURCC_DATA;
        data.cksize = 0;
        ok = io->CreateChunk(data, 0);
    }
    if (!ok) {
        io.reset();
        QFile::remove(fullName);
        return WIOERR_FILEERROR;
    }
    data.dwFlags |= MMIO_DIRTY;
    info->Handle = std::move(io);
    info->RiffChunk = riff;
    info->DataChunk = data;
    info->DataOffset = data.dwDataOffset;
    info->DataBytes = 0;
    info->FileName = fullName;
    info->Length = BytesToSamples(info->Format(), info->DataBytes);
    info->First = 0;
    info->Last = info->Length;
    info->BytesLeft = 0;
    info->Position = 0;
    info->Created = true;
    return WIOERR_NOERROR;
}

int ReopenWaveFile(PSndWaveIOInfo info)
{
    if (!info)
        return WIOERR_BADPARAM;
    if (!info->Handle) {
        std::unique_ptr<TSndMmio> io;
        TMMCkInfo riff;
        if (OpenWave(info->FileName, io, riff) != WIOERR_NOERROR)
            return WIOERR_FILEERROR;
        info->Handle = std::move(io);
        info->RiffChunk = riff;
        info->DataChunk = TMMCkInfo();
        info->Created = false;
    }
    return SeekWaveData(info, info->Position) == WIOERR_NOERROR ? WIOERR_NOERROR : WIOERR_FILEERROR;
}

int SetWaveIOBuffer(PSndWaveIOInfo info, std::int64_t size)
{
    if (!info || !info->Handle)
        return WIOERR_BADFILE;
    return info->Handle->SetBuffer(size) ? WIOERR_NOERROR : WIOERR_BADFILE;
}

int SeekWaveData(PSndWaveIOInfo info, std::int64_t position)
{
    if (!info)
        return WIOERR_FILEERROR;
    const TWaveFormatEx* format = info->Format();
    position = MinMaxProc(position, std::int64_t(0), info->Last - info->First - 1);
    std::int64_t b = std::min(SamplesToBytes(format, info->First + position), info->DataBytes);
    if (format->nBlockAlign > 0)
        b = b / format->nBlockAlign * format->nBlockAlign;
    // A wave with no sample frame clamps to -1: it stands at its first data byte.
    b = std::max<std::int64_t>(b, 0);
    if (info->Handle) {
        TSndMmio& io = *info->Handle;
        TMMCkInfo ck;
        if (io.Seek(info->DataOffset - 8, SEEK_SET) < 0 || !io.Descend(ck, nullptr, 0) || ck.ckid != FOURCC_DATA ||
            ck.dwDataOffset != info->DataOffset)
            return WIOERR_FILEERROR;
        ck.dwFlags = info->DataChunk.dwFlags;  // keep the mark that data was written
        info->DataChunk = ck;
        if (io.Seek(info->DataOffset + b, SEEK_SET) < 0)
            return WIOERR_FILEERROR;
    }
    const std::int64_t readable = std::min(SamplesToBytes(format, info->Last), info->DataBytes);
    info->BytesLeft = std::max<std::int64_t>(0, readable - b);
    info->Position = BytesToSamples(format, b) - info->First;
    return WIOERR_NOERROR;
}

std::int64_t ReadWaveData(PSndWaveIOInfo info, void* buffer, std::int64_t count)
{
    if (!info || !info->Handle || info->BytesLeft <= 0)
        return -1;
    if (count <= 0 || !buffer)
        return 0;
    const std::int64_t want = std::min(count, info->BytesLeft);
    const std::int64_t got = info->Handle->Read(buffer, want);
    if (got < 0) {
        info->BytesLeft = 0;
        return -1;
    }
    if (got < count)
        info->BytesLeft = 0;
    else
        info->BytesLeft -= got;
    if (got == 0)
        return 0;
    info->Position = (info->Last - info->First) - BytesToSamples(info->Format(), info->BytesLeft);
    return got;
}

std::int64_t WriteWaveData(PSndWaveIOInfo info, const void* buffer, std::int64_t count)
{
    if (!info || !info->Handle || count <= 0 || !buffer)
        return -1;
    TSndMmio& io = *info->Handle;
    // The RIFF size field must still hold the whole file when it is finished.
    const std::int64_t trailer = 12 + info->DispList.FileBytes() + info->InfoList.FileBytes() + 1;
    const std::int64_t riffBytes = io.Position() + count - info->RiffChunk.dwDataOffset + trailer;
    if (riffBytes > RiffMaxChunkSize)
        return -1;
    const std::int64_t written = io.Write(buffer, count);
    if (written == 0)
        return 0;
    if (written < 0)
        return -1;
    info->DataChunk.dwFlags |= MMIO_DIRTY;
    const TWaveFormatEx* format = info->Format();
    const std::int64_t b = io.Position() - info->DataOffset;
    info->Position = BytesToSamples(format, b);
    if (b > info->DataBytes)
        info->DataBytes = b;
    if (info->Position > info->Length) {
        info->Length = info->Position;
        info->Last = info->Position;
    }
    info->BytesLeft = SamplesToBytes(format, info->Last - info->Position);
    return written;
}

namespace {

// After a write or the finishing of a written file failed (a full disk, a
// file-size limit): the file keeps the data that reached it, in whole sample
// frames and an even count, and its RIFF and data sizes are made to match,
// with nothing behind the data. Every write here lies inside the file as it
// is, so it succeeds where appending did not.
void SalvageWrittenWave(PSndWaveIOInfo info)
{
    TSndMmio& io = *info->Handle;
    io.Flush();
    const std::int64_t align = std::max<std::int64_t>(1, info->Format()->nBlockAlign);
    const std::int64_t unit = align % 2 == 0 ? align : align * 2;
    std::int64_t data = std::min(info->DataBytes, io.Size() - info->DataOffset);
    data = std::max<std::int64_t>(0, data / unit * unit);
    const std::int64_t end = info->DataOffset + data;
    const std::int64_t riffSizeAt = info->RiffChunk.dwDataOffset - 4;
    if (info->DataOffset < 8 || riffSizeAt < 0 || end - riffSizeAt - 4 > RiffMaxChunkSize)
        return;
    const auto dataSize = static_cast<std::uint32_t>(data);
    const auto riffSize = static_cast<std::uint32_t>(end - riffSizeAt - 4);
    if (io.Seek(info->DataOffset - 4, SEEK_SET) < 0 || io.Write(&dataSize, 4) != 4 ||
        io.Seek(riffSizeAt, SEEK_SET) < 0 || io.Write(&riffSize, 4) != 4 || !io.Truncate(end) || !io.Flush())
        return;
    info->DataBytes = data;
    info->Length = BytesToSamples(info->Format(), data);
    info->FileSize = end;
}

}  // namespace

int CloseWaveFile(PSndWaveIOInfo info)
{
    if (!info)
        return WIOERR_BADPARAM;
    if (!info->Handle)
        return WIOERR_NOERROR;
    int result = WIOERR_NOERROR;
    if (info->DataChunk.dwFlags & MMIO_DIRTY) {
        TSndMmio& io = *info->Handle;
        bool ok = io.Flush();
        if (ok && !info->Created) {
            info->DataChunk.cksize = 0;
            info->RiffChunk.cksize = 0;
            info->RiffChunk.dwFlags |= MMIO_DIRTY;
        }
        info->DataChunk.dwFlags |= MMIO_DIRTY;
        ok = ok && io.Seek(info->DataOffset + info->DataBytes, SEEK_SET) >= 0;
        ok = ok && io.Ascend(info->DataChunk);
        if (ok) {
            TMMCkInfo fact;
            fact.ckid = FOURCC_FACT;
            fact.cksize = 4;
            const auto frames = static_cast<std::uint32_t>(std::min<std::int64_t>(info->Length, 0xFFFFFFFFLL));
            ok = io.CreateChunk(fact, 0) && io.Write(&frames, 4) == 4 && io.Ascend(fact);
        }
        ok = ok && RiffWriteDispList(io, info->DispList) == RIFFERR_NOERROR;
        ok = ok && RiffWriteInfoList(io, info->InfoList) == RIFFERR_NOERROR;
        if (ok) {
            info->RiffChunk.dwFlags |= MMIO_DIRTY;
            ok = io.Ascend(info->RiffChunk);
        }
        if (ok) {
            // Whatever an earlier version of the file held behind the new end goes.
            info->FileSize = io.Position();
            ok = io.Truncate(info->FileSize);
        }
        ok = ok && io.Flush();
        if (!ok)
            SalvageWrittenWave(info);
        info->Last = info->Length;
        if (!ok)
            result = WIOERR_FILEERROR;
    }
    if (!info->Handle->Close())
        result = WIOERR_FILEERROR;
    info->Handle.reset();
    info->DataChunk.dwFlags &= ~MMIO_DIRTY;
    info->Created = false;
    info->BytesLeft = 0;
    info->Position = 0;
    return result;
}

int FreeWaveInfo(PSndWaveIOInfo& info)
{
    if (!info)
        return WIOERR_BADPARAM;
    CloseWaveFile(info);
    delete info;
    info = nullptr;
    return WIOERR_NOERROR;
}

bool GetTempWaveName(QString& path)
{
    QString folder;
    if (path.isEmpty()) {
        folder = QDir::tempPath();
    } else {
        const QFileInfo fi(path);
        folder = fi.isDir() ? fi.absoluteFilePath() : fi.absolutePath();
    }
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const quint32 number = QRandomGenerator::global()->bounded(1u, 0x10000u);
        const QString name = folder + QStringLiteral("w%1.tmp").arg(QString::number(number, 16).toUpper());
        const QByteArray encoded = QFile::encodeName(name);
        const int fd = ::open(encoded.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            path = name;
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

bool WaveFileExists(const QString& fileName)
{
    const QFileInfo fi(fileName);
    return !fileName.isEmpty() && fi.exists() && fi.isFile();
}

bool ParseWaveFileName(const QString& fileName)
{
    if (fileName.isEmpty())
        return false;
    const QFileInfo fi(fileName);
    if (fi.fileName().isEmpty() || fi.isDir())
        return false;
    return QFileInfo(fi.absolutePath()).isDir();
}

bool DeleteWaveFile(const QString& fileName)
{
    return !fileName.isEmpty() && QFile::remove(fileName);
}
