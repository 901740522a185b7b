#include "ZipRecords.h"

#include "kpSStrm.h"

#include "AnsiText.h"


#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <vector>

uint32_t CENTRAL_FILE_HEADER_SIGNATURE = 0x02014B50;
uint32_t LOCAL_FILE_HEADER_SIGNATURE = 0x04034B50;
uint32_t END_OF_CENTRAL_DIR_SIGNATURE = 0x06054B50;

namespace {
uint8_t LocalSigBytes[4] = {0x50, 0x4B, 0x03, 0x04};
constexpr uint32_t Marker32 = 0xFFFFFFFF;
constexpr uint16_t Marker16 = 0xFFFF;

bool IsAscii(const QByteArray& b)
{
    for (const char c : b)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

QByteArray ReadBytes(TStream& s, int64_t n)
{
    QByteArray b(static_cast<qsizetype>(n), '\0');
    const int64_t got = n > 0 ? s.Read(b.data(), n) : 0;
    b.resize(static_cast<qsizetype>(got));
    return b;
}
}  // namespace

void SetZipSignatures(uint32_t central, uint32_t local, uint32_t endOfCentral)
{
    CENTRAL_FILE_HEADER_SIGNATURE = central ? central : 0x02014B50;
    LOCAL_FILE_HEADER_SIGNATURE = local ? local : 0x04034B50;
    END_OF_CENTRAL_DIR_SIGNATURE = endOfCentral ? endOfCentral : 0x06054B50;
    for (int i = 0; i < 4; ++i)
        LocalSigBytes[i] = static_cast<uint8_t>(LOCAL_FILE_HEADER_SIGNATURE >> (8 * i));
}

const uint8_t* LocalSignatureBytes() { return LocalSigBytes; }

void PutLE16(QByteArray& b, uint16_t v)
{
    b.append(static_cast<char>(v & 0xFF));
    b.append(static_cast<char>(v >> 8));
}

void PutLE64(QByteArray& b, uint64_t v)
{
    PutLE32(b, static_cast<uint32_t>(v));
    PutLE32(b, static_cast<uint32_t>(v >> 32));
}

// ---------------------------------------------------------------------------

uint32_t RepairDosDateTime(uint32_t v)
{
    uint32_t sec2 = v & 0x1F;
    uint32_t minute = (v >> 5) & 0x3F;
    uint32_t hour = (v >> 11) & 0x1F;
    uint32_t day = (v >> 16) & 0x1F;
    uint32_t month = (v >> 21) & 0x0F;
    uint32_t year = ((v >> 25) & 0x7F) + 1980;
    bool changed = false;
    auto clamp = [&changed](uint32_t& f, uint32_t lo, uint32_t hi) {
        if (f < lo) {
            f = lo;
            changed = true;
        } else if (f > hi) {
            f = hi;
            changed = true;
        }
    };
    clamp(hour, 0, 23);
    clamp(minute, 0, 59);
    clamp(sec2, 0, 29);
    clamp(year, 1980, 2099);
    clamp(month, 1, 12);
    clamp(day, 1, 31);
    if (!changed)
        return v;
    return sec2 | (minute << 5) | (hour << 11) | (day << 16) | (month << 21) | ((year - 1980) << 25);
}


namespace {
int DaysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// Days from 1970-01-01 to a date of the Gregorian calendar.
int64_t DaysFromCivil(int64_t y, int m, int d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// The local time zone's offset from UTC at t. The zone is read once per
// process: localtime_r, unlike mktime, does not look at it again.
int64_t LocalOffsetAt(int64_t t)
{
    const time_t tt = static_cast<time_t>(t);
    struct tm tm {};
    if (!localtime_r(&tt, &tm))
        return 0;
    return tm.tm_gmtoff;
}
}  // namespace

int64_t DosDateTimeToUnix(uint32_t v)
{
    v = RepairDosDateTime(v);
    const int year = static_cast<int>(((v >> 25) & 0x7F) + 1980);
    const int month = static_cast<int>((v >> 21) & 0x0F);
    const int day = std::min(static_cast<int>((v >> 16) & 0x1F), DaysInMonth(year, month));
    const int64_t wall = DaysFromCivil(year, month, day) * 86400 + ((v >> 11) & 0x1F) * 3600 + ((v >> 5) & 0x3F) * 60 + (v & 0x1F) * 2;
    // Wall-clock time to UTC: the offset at a first guess, then at the
    // result, for days on which daylight saving time begins or ends.
    const int64_t guess = wall - LocalOffsetAt(wall);
    return wall - LocalOffsetAt(guess);
}

bool DosDateTimeConvertible(uint32_t v)
{
    v = RepairDosDateTime(v);
    return static_cast<int>((v >> 16) & 0x1F) <= DaysInMonth(static_cast<int>(((v >> 25) & 0x7F) + 1980), static_cast<int>((v >> 21) & 0x0F));
}

uint32_t UnixToDosDateTime(int64_t seconds)
{
    const time_t tt = static_cast<time_t>(seconds);
    struct tm tm {};
    if (!localtime_r(&tt, &tm))
        return (1 << 21) | (1 << 16);
    const int year = tm.tm_year + 1900;
    if (year < 1980)
        return (1 << 21) | (1 << 16);
    if (year > 2107)
        return RepairDosDateTime(0xFFFFFFFF);
    return static_cast<uint32_t>((tm.tm_sec / 2) | (tm.tm_min << 5) | (tm.tm_hour << 11) | (tm.tm_mday << 16) | ((tm.tm_mon + 1) << 21) |
                                 ((year - 1980) << 25));
}

// ---------------------------------------------------------------------------

TZipHeaderInfo::TZipHeaderInfo() = default;

TZipHeaderInfo::~TZipHeaderInfo() = default;

void TZipHeaderInfo::Clear()
{
    version_made_by = 45;
    version_needed_to_extract = 20;
    general_purpose_bit_flag = 0;
    compression_method = 8;
    last_mod_file_date_time = 0;
    crc32 = 0xFFFFFFFF;
    compressed_size = 0;
    uncompressed_size = 0;
    filename_length = 0;
    Cextra_field_length = 0;
    Lextra_field_length = 0;
    file_comment_length = 0;
    disk_number_start = 0;
    internal_file_attributes = 1;
    external_file_attributes = 0x20;
    relative_offset = 0;
    central_offset = 0;
    FFileName.clear();
    FDirectory.clear();
    FFullName.clear();
    FZip64.reset();
    FComment.reset();
    Selected = DeleteMark = SelectedByIndex = 0;
    OEMConvert = oemNever;
    CentralExtraPosition = 0;
    CentralExtraLength = 0;
    Zip64BlockLength = 0;
    ForceLocalZip64 = false;
}

void TZipHeaderInfo::Assign(const TZipHeaderInfo& s)
{
    if (&s == this)
        return;
    version_made_by = s.version_made_by;
    version_needed_to_extract = s.version_needed_to_extract;
    general_purpose_bit_flag = s.general_purpose_bit_flag;
    compression_method = s.compression_method;
    last_mod_file_date_time = s.last_mod_file_date_time;
    crc32 = s.crc32;
    filename_length = s.filename_length;
    Cextra_field_length = s.Cextra_field_length;
    Lextra_field_length = s.Lextra_field_length;
    file_comment_length = s.file_comment_length;
    internal_file_attributes = s.internal_file_attributes;
    external_file_attributes = s.external_file_attributes;
    central_offset = s.central_offset;
    FZip64 = s.FZip64 ? std::make_unique<TZip64Record>(*s.FZip64) : nullptr;
    compressed_size = s.compressed_size;
    uncompressed_size = s.uncompressed_size;
    relative_offset = s.relative_offset;
    disk_number_start = s.disk_number_start;
    FFileName = s.FFileName;
    FDirectory = s.FDirectory;
    FFullName = s.FFullName;
    FComment = s.FComment;
    Selected = s.Selected;
    DeleteMark = s.DeleteMark;
    SelectedByIndex = s.SelectedByIndex;
    ForceLocalZip64 = s.ForceLocalZip64;
}

void TZipHeaderInfo::SetFileName(const QString& name)
{
    if (name == FFileName)
        return;
    FFileName = name;
    NameChanged();
}

void TZipHeaderInfo::SetDirectory(const QString& path)
{
    QString p = path;
    if (!p.isEmpty() && !p.endsWith(QLatin1Char('/')))
        p += QLatin1Char('/');
    if (p == FDirectory)
        return;
    FDirectory = p;
    NameChanged();
}

void TZipHeaderInfo::SetFullName(const QString& full)
{
    const qsizetype slash = full.lastIndexOf(QLatin1Char('/'));
    FDirectory = slash >= 0 ? full.left(slash + 1) : QString();
    FFileName = slash >= 0 ? full.mid(slash + 1) : full;
    NameChanged();
}

void TZipHeaderInfo::NameChanged()
{
    FFullName = FDirectory.isEmpty() ? FFileName : FDirectory + FFileName;
    filename_length = static_cast<uint16_t>(FFullName.size());
}

TZip64Record& TZipHeaderInfo::EnsureZip64()
{
    if (!FZip64)
        FZip64 = std::make_unique<TZip64Record>();
    return *FZip64;
}

uint64_t TZipHeaderInfo::GetCompressedSize() const
{
    return compressed_size == Marker32 && FZip64 ? FZip64->CompressedSize : compressed_size;
}

void TZipHeaderInfo::SetCompressedSize(uint64_t v)
{
    if (v >= Marker32) {
        EnsureZip64().CompressedSize = v;
        compressed_size = Marker32;
    } else {
        compressed_size = static_cast<uint32_t>(v);
    }
}

uint64_t TZipHeaderInfo::GetUncompressedSize() const
{
    return uncompressed_size == Marker32 && FZip64 ? FZip64->UncompressedSize : uncompressed_size;
}

void TZipHeaderInfo::SetUncompressedSize(uint64_t v)
{
    if (v >= Marker32) {
        EnsureZip64().UncompressedSize = v;
        uncompressed_size = Marker32;
    } else {
        uncompressed_size = static_cast<uint32_t>(v);
    }
}

uint64_t TZipHeaderInfo::GetRelativeOffset() const
{
    return relative_offset == Marker32 && FZip64 ? FZip64->RelativeOffset : relative_offset;
}

void TZipHeaderInfo::SetRelativeOffset(uint64_t v)
{
    if (v >= Marker32) {
        EnsureZip64().RelativeOffset = v;
        relative_offset = Marker32;
    } else {
        relative_offset = static_cast<uint32_t>(v);
    }
}

uint32_t TZipHeaderInfo::GetDiskStart() const
{
    return disk_number_start == Marker16 && FZip64 ? FZip64->DiskStart : disk_number_start;
}

void TZipHeaderInfo::SetDiskStart(uint32_t v)
{
    if (v > 0xFFFE) {
        EnsureZip64().DiskStart = v;
        disk_number_start = Marker16;
    } else {
        disk_number_start = static_cast<uint16_t>(v);
    }
}

void TZipHeaderInfo::SetComment(const std::optional<QByteArray>& text)
{
    FComment = text;
    file_comment_length = text ? static_cast<uint16_t>(std::min<qsizetype>(text->size(), 0xFFFF)) : 0;
    if (FComment && FComment->size() > 0xFFFF)
        FComment->truncate(0xFFFF);
}

int TZipHeaderInfo::Zip64ExtraDataLength(bool central) const
{
    if (!central) {
        // The local form carries both sizes, or nothing.
        if (ForceLocalZip64 || uncompressed_size == Marker32 || compressed_size == Marker32)
            return 16;
        return 0;
    }
    int n = 0;
    if (uncompressed_size == Marker32)
        n += 8;
    if (compressed_size == Marker32)
        n += 8;
    if (relative_offset == Marker32)
        n += 8;
    if (disk_number_start == Marker16)
        n += 4;
    return n;
}

void TZipHeaderInfo::WriteZip64Extra(TStream& stream, bool central) const
{
    QByteArray b;
    AppendZip64Extra(b, central);
    stream.WriteBuffer(b.constData(), b.size());
}

void TZipHeaderInfo::AppendZip64Extra(QByteArray& b, bool central) const
{
    const int z = Zip64ExtraDataLength(central);
    PutLE16(b, 1);
    PutLE16(b, static_cast<uint16_t>(z));
    if (!central) {
        PutLE64(b, GetUncompressedSize());
        PutLE64(b, GetCompressedSize());
    } else {
        if (uncompressed_size == Marker32)
            PutLE64(b, GetUncompressedSize());
        if (compressed_size == Marker32)
            PutLE64(b, GetCompressedSize());
        if (relative_offset == Marker32)
            PutLE64(b, GetRelativeOffset());
        if (disk_number_start == Marker16)
            PutLE32(b, GetDiskStart());
    }
}

QByteArray TZipHeaderInfo::ToArchiveName(const QString& name)
{
    bool ascii = true;
    for (QChar c : name)
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) {
        general_purpose_bit_flag &= ~gpUtf8Names;
        return name.toLatin1();
    }
    general_purpose_bit_flag |= gpUtf8Names;
    // Readers convert the names of MS-DOS (and OS/2) entries from an OEM code
    // page whatever flag bit 11 says, and so do some for NTFS entries made by
    // version 5.0; a name that is not in that code page is marked as made on
    // NTFS by our own version, so that it is read as the UTF-8 it is.
    const int host = version_made_by >> 8;
    const int version = version_made_by & 0xFF;
    if (host == HostMsDos || host == HostOs2 || (host == HostNtfs && version == 50))
        version_made_by = static_cast<uint16_t>((HostNtfs << 8) | 45);
    return name.toUtf8();
}

QString TZipHeaderInfo::FromArchiveName(const QByteArray& name) const
{
    QString s;
    if (IsAscii(name)) {
        s = QString::fromLatin1(name);
    } else if (general_purpose_bit_flag & gpUtf8Names) {
        s = QString::fromUtf8(name);
    } else {
        // Unix tools write names in the system's encoding, which is UTF-8;
        // everything else is in the ANSI code page.
        const int host = version_made_by >> 8;
        const QString utf8 = QString::fromUtf8(name);
        s = ((host == HostUnix || host == HostOsx) && utf8.toUtf8() == name) ? utf8 : AnsiToString(name);
    }
    s.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return s;
}

QByteArray TZipHeaderInfo::StoredName()
{
    QString full = FFullName;
    full.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QByteArray b = ToArchiveName(full);
    filename_length = static_cast<uint16_t>(std::min<qsizetype>(b.size(), 0xFFFF));
    return b.left(0xFFFF);
}


void TZipHeaderInfo::WriteLocalHeader(TStream& stream)
{
    SetRelativeOffset(static_cast<uint64_t>(stream.Position()));
    const QByteArray b = LocalHeaderBytes();
    stream.WriteBuffer(b.constData(), b.size());
}

QByteArray TZipHeaderInfo::LocalHeaderBytes()
{
    if (ForceLocalZip64) {
        EnsureZip64().UncompressedSize = GetUncompressedSize();
        FZip64->CompressedSize = GetCompressedSize();
    }
    const int z = Zip64ExtraDataLength(false);
    version_needed_to_extract = z > 0 ? 45 : 20;
    const QByteArray name = StoredName();
    QByteArray b;
    b.reserve(30 + name.size() + 20);
    PutLE32(b, LOCAL_FILE_HEADER_SIGNATURE);
    PutLE16(b, version_needed_to_extract);
    PutLE16(b, general_purpose_bit_flag);
    PutLE16(b, compression_method);
    PutLE32(b, last_mod_file_date_time);
    PutLE32(b, crc32);
    PutLE32(b, z > 0 ? Marker32 : compressed_size);
    PutLE32(b, z > 0 ? Marker32 : uncompressed_size);
    PutLE16(b, static_cast<uint16_t>(name.size()));
    PutLE16(b, static_cast<uint16_t>(Lextra_field_length + (z > 0 ? z + 4 : 0)));
    b.append(name);
    if (z > 0)
        AppendZip64Extra(b, false);
    return b;
}

void TZipHeaderInfo::WriteCentralRecord(TStream& stream, TStream* source)
{
    const QByteArray name = StoredName();
    const int z = Zip64ExtraDataLength(true);
    version_needed_to_extract = z > 0 ? 45 : 20;
    if (z == 0)
        FZip64.reset();
    // Blocks of the remembered extra field other than Zip64 are carried over.
    QByteArray other;
    if (source && CentralExtraLength > 0) {
        const int64_t back = source->Position();
        source->Seek(CentralExtraPosition, soFromBeginning);
        const QByteArray extra = ReadBytes(*source, CentralExtraLength);
        source->Seek(back, soFromBeginning);
        int p = 0;
        const auto* d = reinterpret_cast<const uint8_t*>(extra.constData());
        while (p + 4 <= extra.size()) {
            const uint16_t id = GetLE16(d + p);
            const int size = GetLE16(d + p + 2);
            if (p + 4 + size > extra.size())
                break;
            if (id != 1)
                other.append(extra.mid(p, 4 + size));
            p += 4 + size;
        }
    }
    const int extraLength = static_cast<int>(other.size()) + (z > 0 ? z + 4 : 0);
    const QByteArray comment = FComment ? *FComment : QByteArray();
    const uint16_t commentLength = FComment ? file_comment_length : 0;
    QByteArray b;
    b.reserve(46 + name.size() + extraLength + commentLength);
    PutLE32(b, CENTRAL_FILE_HEADER_SIGNATURE);
    PutLE16(b, version_made_by);
    PutLE16(b, version_needed_to_extract);
    PutLE16(b, general_purpose_bit_flag);
    PutLE16(b, compression_method);
    PutLE32(b, last_mod_file_date_time);
    PutLE32(b, crc32);
    PutLE32(b, compressed_size);
    PutLE32(b, uncompressed_size);
    PutLE16(b, static_cast<uint16_t>(name.size()));
    PutLE16(b, static_cast<uint16_t>(extraLength));
    PutLE16(b, commentLength);
    PutLE16(b, disk_number_start);
    PutLE16(b, internal_file_attributes);
    PutLE32(b, external_file_attributes);
    PutLE32(b, relative_offset);
    b.append(name);
    b.append(other);
    stream.WriteBuffer(b.constData(), b.size());
    if (z > 0)
        WriteZip64Extra(stream, true);
    if (commentLength)
        stream.WriteBuffer(comment.constData(), commentLength);
}

bool TZipHeaderInfo::ReadLocalHeader(TStream& stream)
{
    const int64_t p = stream.Position();
    uint8_t h[30];
    if (stream.Read(h, 30) != 30 || GetLE32(h) != LOCAL_FILE_HEADER_SIGNATURE) {
        stream.Seek(p, soFromBeginning);
        return false;
    }
    const uint16_t nameLength = GetLE16(h + 26);
    const QByteArray raw = ReadBytes(stream, nameLength);
    if (raw.size() != nameLength) {
        stream.Seek(p, soFromBeginning);
        return false;
    }
    Clear();
    version_needed_to_extract = GetLE16(h + 4);
    general_purpose_bit_flag = GetLE16(h + 6);
    compression_method = GetLE16(h + 8);
    last_mod_file_date_time = RepairDosDateTime(GetLE32(h + 10));
    crc32 = GetLE32(h + 14);
    compressed_size = GetLE32(h + 18);
    uncompressed_size = GetLE32(h + 22);
    Lextra_field_length = GetLE16(h + 28);
    // The fields only the central record carries stay zero.
    version_made_by = 0;
    internal_file_attributes = 0;
    external_file_attributes = 0;
    SetFullName(FromArchiveName(raw));
    filename_length = nameLength;
    SetRelativeOffset(static_cast<uint64_t>(p));
    if (Lextra_field_length > 0) {
        const int64_t extraStart = stream.Position();
        const QByteArray e = ReadBytes(stream, std::min<int>(32, Lextra_field_length));
        const auto* d = reinterpret_cast<const uint8_t*>(e.constData());
        if (e.size() >= 4 && GetLE16(d) == 1) {
            TZip64Record& z = EnsureZip64();
            z.Size = GetLE16(d + 2);
            if (e.size() >= 12)
                z.UncompressedSize = GetLE64(d + 4);
            if (e.size() >= 20)
                z.CompressedSize = GetLE64(d + 12);
        }
        stream.Seek(extraStart, soFromBeginning);
    }
    return true;
}

bool TZipHeaderInfo::ReadCentralRecord(TStream*& stream, const std::function<TStream*()>& nextDisk)
{
    const int64_t p = stream->Position();
    uint8_t h[46];
    int64_t n = stream->Read(h, 46);
    if (n < 46 && nextDisk && (n == 0 || (n >= 4 && GetLE32(h) == CENTRAL_FILE_HEADER_SIGNATURE))) {
        if (TStream* next = nextDisk()) {
            stream = next;
            n += stream->Read(h + n, 46 - n);
        }
    }
    if (n < 46 || GetLE32(h) != CENTRAL_FILE_HEADER_SIGNATURE) {
        stream->Seek(p, soFromBeginning);
        return false;
    }
    const uint16_t nameLength = GetLE16(h + 28);
    const QByteArray raw = ReadBytes(*stream, nameLength);
    if (raw.size() != nameLength) {
        stream->Seek(p, soFromBeginning);
        return false;
    }
    const TOEMConvert keep = OEMConvert;
    Clear();
    OEMConvert = keep;
    version_made_by = GetLE16(h + 4);
    version_needed_to_extract = GetLE16(h + 6);
    general_purpose_bit_flag = GetLE16(h + 8);
    compression_method = GetLE16(h + 10);
    last_mod_file_date_time = RepairDosDateTime(GetLE32(h + 12));
    crc32 = GetLE32(h + 16);
    compressed_size = GetLE32(h + 20);
    uncompressed_size = GetLE32(h + 24);
    Cextra_field_length = GetLE16(h + 30);
    file_comment_length = GetLE16(h + 32);
    disk_number_start = GetLE16(h + 34);
    internal_file_attributes = GetLE16(h + 36);
    external_file_attributes = GetLE32(h + 38);
    relative_offset = GetLE32(h + 42);
    SetFullName(FromArchiveName(raw));
    filename_length = nameLength;
    central_offset = p;
    if (Cextra_field_length > 0) {
        const int64_t extraStart = stream->Position();
        CentralExtraPosition = extraStart;
        CentralExtraLength = Cextra_field_length;
        const QByteArray e = ReadBytes(*stream, Cextra_field_length);
        const auto* d = reinterpret_cast<const uint8_t*>(e.constData());
        int q = 0;
        while (q + 4 <= e.size()) {
            const uint16_t id = GetLE16(d + q);
            const int size = GetLE16(d + q + 2);
            const int end = std::min<int>(static_cast<int>(e.size()), q + 4 + size);
            if (id == 0x7075 && size >= 5 && end - q - 4 >= 5 && d[q + 4] == 1 &&
                GetLE32(d + q + 5) == static_cast<uint32_t>(::crc32(0, reinterpret_cast<const Bytef*>(raw.constData()), static_cast<uInt>(raw.size())))) {
                // The UTF-8 form of a name written in a local code page.
                QString utf8 = QString::fromUtf8(reinterpret_cast<const char*>(d + q + 9), end - q - 9);
                utf8.replace(QLatin1Char('\\'), QLatin1Char('/'));
                SetFullName(utf8);
                filename_length = nameLength;
            }
            if (id == 1) {
                Zip64BlockLength = static_cast<uint16_t>(size + 4);
                TZip64Record& z = EnsureZip64();
                z.Size = static_cast<uint16_t>(size);
                int v = q + 4;
                if (uncompressed_size == Marker32 && v + 8 <= end) {
                    z.UncompressedSize = GetLE64(d + v);
                    v += 8;
                }
                if (compressed_size == Marker32 && v + 8 <= end) {
                    z.CompressedSize = GetLE64(d + v);
                    v += 8;
                }
                if (relative_offset == Marker32 && v + 8 <= end) {
                    z.RelativeOffset = GetLE64(d + v);
                    v += 8;
                }
                if (disk_number_start == Marker16 && v + 4 <= end) {
                    z.DiskStart = GetLE32(d + v);
                    v += 4;
                }
            }
            q += 4 + size;
        }
        stream->Seek(extraStart, soFromBeginning);
    }
    return true;
}

// ---------------------------------------------------------------------------

TEndCentral::TEndCentral() = default;

TEndCentral::~TEndCentral() = default;

void TEndCentral::Clear()
{
    ID = END_OF_CENTRAL_DIR_SIGNATURE;
    this_disk = start_central_disk = num_entries_this_disk = num_entries = 0;
    size_central = offset_central = 0;
    zip_comment_length = 0;
    FComment.reset();
    ZipCommentPos = 0;
    Modified = false;
}

void TEndCentral::Assign(const TEndCentral& s)
{
    if (&s == this)
        return;
    ID = s.ID;
    this_disk = s.this_disk;
    start_central_disk = s.start_central_disk;
    num_entries_this_disk = s.num_entries_this_disk;
    num_entries = s.num_entries;
    size_central = s.size_central;
    offset_central = s.offset_central;
    SetComment(s.FComment);
    ZipCommentPos = s.ZipCommentPos;
}

TZip64EndRecord& TEndCentral::EnsureZip64End()
{
    if (!FZip64End)
        FZip64End = std::make_unique<TZip64EndRecord>();
    return *FZip64End;
}

uint32_t TEndCentral::GetThisDisk() const { return this_disk == Marker16 && FZip64End ? FZip64End->ThisDisk : this_disk; }

void TEndCentral::SetThisDisk(uint32_t v)
{
    if (v > 0xFFFE) {
        EnsureZip64End().ThisDisk = v;
        this_disk = Marker16;
    } else {
        this_disk = static_cast<uint16_t>(v);
    }
}

uint32_t TEndCentral::GetStartCentralDisk() const
{
    return start_central_disk == Marker16 && FZip64End ? FZip64End->StartDisk : start_central_disk;
}

void TEndCentral::SetStartCentralDisk(uint32_t v)
{
    if (v > 0xFFFE) {
        EnsureZip64End().StartDisk = v;
        start_central_disk = Marker16;
    } else {
        start_central_disk = static_cast<uint16_t>(v);
    }
}

uint64_t TEndCentral::GetEntriesThisDisk() const
{
    return num_entries_this_disk == Marker16 && FZip64End ? FZip64End->EntriesOnDisk : num_entries_this_disk;
}

void TEndCentral::SetEntriesThisDisk(uint64_t v)
{
    if (v > 0xFFFE) {
        EnsureZip64End().EntriesOnDisk = v;
        num_entries_this_disk = Marker16;
    } else {
        num_entries_this_disk = static_cast<uint16_t>(v);
        if (FZip64End)
            FZip64End->EntriesOnDisk = v;
    }
}

uint64_t TEndCentral::GetTotalEntries() const { return num_entries == Marker16 && FZip64End ? FZip64End->TotalEntries : num_entries; }

void TEndCentral::SetTotalEntries(uint64_t v)
{
    if (v > 0xFFFE) {
        EnsureZip64End().TotalEntries = v;
        num_entries = Marker16;
    } else {
        num_entries = static_cast<uint16_t>(v);
        if (FZip64End)
            FZip64End->TotalEntries = v;
    }
}

uint64_t TEndCentral::GetCentralSize() const { return size_central == Marker32 && FZip64End ? FZip64End->CentralSize : size_central; }

void TEndCentral::SetCentralSize(uint64_t v)
{
    if (v >= Marker32) {
        EnsureZip64End().CentralSize = v;
        size_central = Marker32;
    } else {
        size_central = static_cast<uint32_t>(v);
        if (FZip64End)
            FZip64End->CentralSize = v;
    }
}

uint64_t TEndCentral::GetCentralOffset() const
{
    return offset_central == Marker32 && FZip64End ? FZip64End->CentralOffset : offset_central;
}

void TEndCentral::SetCentralOffset(uint64_t v)
{
    if (v >= Marker32) {
        EnsureZip64End().CentralOffset = v;
        offset_central = Marker32;
    } else {
        offset_central = static_cast<uint32_t>(v);
    }
}

void TEndCentral::SetComment(const std::optional<QByteArray>& text)
{
    FComment = text;
    if (FComment && FComment->size() > 0xFFFF)
        FComment->truncate(0xFFFF);
    zip_comment_length = FComment ? static_cast<uint16_t>(FComment->size()) : 0;
}

void TEndCentral::WriteEndRecords(TStream& stream)
{
    if (FZip64End) {
        if (!FLocator)
            FLocator = std::make_unique<TZip64Locator>();
        FLocator->Offset = static_cast<uint64_t>(stream.Position());
        FLocator->Disk = GetThisDisk();
        FLocator->TotalDisks = GetThisDisk() + 1;
        TZip64EndRecord& z = *FZip64End;
        if (this_disk != Marker16)
            z.ThisDisk = this_disk;
        if (start_central_disk != Marker16)
            z.StartDisk = start_central_disk;
        if (num_entries_this_disk != Marker16)
            z.EntriesOnDisk = num_entries_this_disk;
        if (num_entries != Marker16)
            z.TotalEntries = num_entries;
        if (size_central != Marker32)
            z.CentralSize = size_central;
        if (offset_central != Marker32)
            z.CentralOffset = offset_central;
        const bool needed = start_central_disk == Marker16 || this_disk == Marker16 || num_entries_this_disk == Marker16 ||
                            num_entries == Marker16 || size_central == Marker32 || offset_central == Marker32;
        if (needed) {
            QByteArray b;
            PutLE32(b, ZIP64_END_OF_CENTRAL_DIR_SIGNATURE);
            PutLE64(b, 44);
            PutLE16(b, 45);
            PutLE16(b, 45);
            PutLE32(b, z.ThisDisk);
            PutLE32(b, z.StartDisk);
            PutLE64(b, z.EntriesOnDisk);
            PutLE64(b, z.TotalEntries);
            PutLE64(b, z.CentralSize);
            PutLE64(b, z.CentralOffset);
            PutLE32(b, ZIP64_END_OF_CENTRAL_LOCATOR_SIGNATURE);
            PutLE32(b, FLocator->Disk);
            PutLE64(b, FLocator->Offset);
            PutLE32(b, FLocator->TotalDisks);
            stream.WriteBuffer(b.constData(), b.size());
        } else {
            FZip64End.reset();
            FLocator.reset();
        }
    }
    QByteArray b;
    PutLE32(b, END_OF_CENTRAL_DIR_SIGNATURE);
    PutLE16(b, this_disk);
    PutLE16(b, start_central_disk);
    PutLE16(b, num_entries_this_disk);
    PutLE16(b, num_entries);
    PutLE32(b, size_central);
    PutLE32(b, offset_central);
    const bool comment = zip_comment_length != 0 && FComment;
    PutLE16(b, comment ? zip_comment_length : 0);
    if (comment)
        b.append(FComment->left(zip_comment_length));
    stream.WriteBuffer(b.constData(), b.size());
}

bool TEndCentral::ReadEndRecords(TStream& stream)
{
    const int64_t size = stream.Size();
    if (size < 22)
        return size == 0;
    const int64_t n = std::min<int64_t>(65557, size);
    stream.Seek(size - n, soFromBeginning);
    const QByteArray block = ReadBytes(stream, n);
    if (block.size() != n)
        return false;
    const auto* d = reinterpret_cast<const uint8_t*>(block.constData());
    const uint8_t first = static_cast<uint8_t>(END_OF_CENTRAL_DIR_SIGNATURE & 0xFF);
    int64_t at = -1;
    for (int64_t i = n - 22; i >= 0; --i)
        if (d[i] == first && GetLE32(d + i) == END_OF_CENTRAL_DIR_SIGNATURE) {
            at = i;
            break;
        }
    if (at < 0)
        return false;
    const uint8_t* r = d + at;
    ID = END_OF_CENTRAL_DIR_SIGNATURE;
    this_disk = GetLE16(r + 4);
    start_central_disk = GetLE16(r + 6);
    num_entries_this_disk = GetLE16(r + 8);
    num_entries = GetLE16(r + 10);
    size_central = GetLE32(r + 12);
    offset_central = GetLE32(r + 16);
    zip_comment_length = GetLE16(r + 20);
    FEndRecordOffset = size - n + at;
    ZipCommentPos = FEndRecordOffset + 22;
    // A comment running past the end of the file is cut to what is there.
    zip_comment_length = static_cast<uint16_t>(std::min<int64_t>(zip_comment_length, size - ZipCommentPos));
    FComment.reset();
    FZip64End.reset();
    FLocator.reset();
    if (at >= 20 && GetLE32(r - 20) == ZIP64_END_OF_CENTRAL_LOCATOR_SIGNATURE) {
        const uint8_t* l = r - 20;
        auto locator = std::make_unique<TZip64Locator>();
        locator->Disk = GetLE32(l + 4);
        locator->Offset = GetLE64(l + 8);
        locator->TotalDisks = GetLE32(l + 16);
        // The Zip64 end record is taken only when it lies inside the file
        // and carries its signature.
        if (locator->Offset + 56 <= static_cast<uint64_t>(size)) {
            stream.Seek(static_cast<int64_t>(locator->Offset), soFromBeginning);
            const QByteArray z = ReadBytes(stream, 56);
            const auto* zd = reinterpret_cast<const uint8_t*>(z.constData());
            if (z.size() == 56 && GetLE32(zd) == ZIP64_END_OF_CENTRAL_DIR_SIGNATURE) {
                auto rec = std::make_unique<TZip64EndRecord>();
                rec->RecordSize = GetLE64(zd + 4);
                rec->VersionMadeBy = GetLE16(zd + 12);
                rec->VersionNeeded = GetLE16(zd + 14);
                rec->ThisDisk = GetLE32(zd + 16);
                rec->StartDisk = GetLE32(zd + 20);
                rec->EntriesOnDisk = GetLE64(zd + 24);
                rec->TotalEntries = GetLE64(zd + 32);
                rec->CentralSize = GetLE64(zd + 40);
                rec->CentralOffset = GetLE64(zd + 48);
                FZip64End = std::move(rec);
            }
        }
        FLocator = std::move(locator);
    }
    return true;
}
