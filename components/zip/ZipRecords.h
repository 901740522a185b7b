#pragma once

// The on-disk records of a zip archive and the two in-memory classes that
// hold them: one archive entry and the end of central directory record with
// its Zip64 companions. Integers in the file are little-endian.

#include "ByteOrder.h"
#include "kpCntn.h"

#include <QtCore/QByteArray>
#include <QtCore/QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class TStream;

// Signatures.
extern uint32_t CENTRAL_FILE_HEADER_SIGNATURE;
extern uint32_t LOCAL_FILE_HEADER_SIGNATURE;
extern uint32_t END_OF_CENTRAL_DIR_SIGNATURE;
constexpr uint32_t ZIP64_END_OF_CENTRAL_DIR_SIGNATURE = 0x06064B50;
constexpr uint32_t ZIP64_END_OF_CENTRAL_LOCATOR_SIGNATURE = 0x07064B50;
constexpr uint32_t SPAN_SIGNATURE = 0x08074B50;
constexpr uint32_t SINGLE_PART_MARKER = 0x30304B50;
// A zero argument keeps (or restores) the standard value.
void SetZipSignatures(uint32_t central, uint32_t local, uint32_t endOfCentral);
// The four bytes of the local signature, for the byte-wise recovery scan.
const uint8_t* LocalSignatureBytes();

// General purpose flag bits.
enum : uint16_t {
    gpEncrypted = 0x0001,
    gpDataDescriptor = 0x0008,
    gpUtf8Names = 0x0800,
};

// Host systems of the "version made by" field (its high byte).
enum : int { HostMsDos = 0, HostUnix = 3, HostOs2 = 6, HostNtfs = 11, HostOsx = 19 };

enum class TOEMConvert { oemAlways, oemNever, oemFlexible };
using enum TOEMConvert;

// The Zip64 extended information block (header id 1), kept as its values.
struct TZip64Record {
    uint16_t Id = 1;
    uint16_t Size = 0;
    uint64_t UncompressedSize = 0;
    uint64_t CompressedSize = 0;
    uint64_t RelativeOffset = 0;
    uint32_t DiskStart = 0;
};

// Repairs an MS-DOS date and time (time in the low 16 bits): fields out of
// range are clamped; an unchanged value is returned as it was.
uint32_t RepairDosDateTime(uint32_t dosDateTime);
// Whether the repaired value names a real day (not, say, the 31st of April).
bool DosDateTimeConvertible(uint32_t dosDateTime);
// Converts a (repaired) DOS value to seconds since the epoch in local time.
int64_t DosDateTimeToUnix(uint32_t dosDateTime);
uint32_t UnixToDosDateTime(int64_t seconds);

class TZipHeaderInfo : public kpzip::TPersistent {
public:
    TZipHeaderInfo();
    ~TZipHeaderInfo() override;
    QString ClassName() const override { return QStringLiteral("TZipHeaderInfo"); }
    void Clear();
    void Assign(const TZipHeaderInfo& source);

    // Fields as stored.
    uint16_t version_made_by = 45;
    uint16_t version_needed_to_extract = 20;
    uint16_t general_purpose_bit_flag = 0;
    uint16_t compression_method = 8;
    uint32_t last_mod_file_date_time = 0;
    uint32_t crc32 = 0xFFFFFFFF;
    uint32_t compressed_size = 0;
    uint32_t uncompressed_size = 0;
    uint16_t filename_length = 0;
    uint16_t Cextra_field_length = 0;
    uint16_t Lextra_field_length = 0;
    uint16_t file_comment_length = 0;
    uint16_t disk_number_start = 0;
    uint16_t internal_file_attributes = 1;
    uint32_t external_file_attributes = 0x20;
    uint32_t relative_offset = 0;
    int64_t central_offset = 0;
    uint8_t Selected = 0;
    uint8_t DeleteMark = 0;
    uint8_t SelectedByIndex = 0;
    TOEMConvert OEMConvert = oemNever;
    int64_t CentralExtraPosition = 0;
    uint16_t CentralExtraLength = 0;
    uint16_t Zip64BlockLength = 0;
    // The local header carries a Zip64 block for the sizes even when they still
    // fit, so that the header keeps its length when it is rewritten.
    bool ForceLocalZip64 = false;

    const QString& FileName() const { return FFileName; }
    void SetFileName(const QString& name);
    // The stored folder, '/'-separated, ending in '/' when not empty.
    const QString& Directory() const { return FDirectory; }
    void SetDirectory(const QString& path);
    // Directory and name together, as stored.
    const QString& FullName() const { return FFullName; }
    // Sets directory and name from a '/'-separated stored name.
    void SetFullName(const QString& full);

    uint64_t GetCompressedSize() const;
    void SetCompressedSize(uint64_t v);
    uint64_t GetUncompressedSize() const;
    void SetUncompressedSize(uint64_t v);
    uint64_t GetRelativeOffset() const;
    void SetRelativeOffset(uint64_t v);
    uint32_t GetDiskStart() const;
    void SetDiskStart(uint32_t v);

    bool HasComment() const { return file_comment_length != 0; }
    bool CommentLoaded() const { return FComment.has_value(); }
    QByteArray Comment() const { return FComment.value_or(QByteArray()); }
    void SetComment(const std::optional<QByteArray>& text);
    bool IsEncrypted() const { return general_purpose_bit_flag & gpEncrypted; }
    bool HasDataDescriptor() const { return general_purpose_bit_flag & gpDataDescriptor; }
    int64_t LocalHeaderSize() const { return 30 + filename_length + Lextra_field_length; }
    int64_t CentralRecordSize() const { return 46 + filename_length + Cextra_field_length + file_comment_length; }
    const TZip64Record* Zip64() const { return FZip64.get(); }

    int Zip64ExtraDataLength(bool central) const;
    void WriteZip64Extra(TStream& stream, bool central) const;
    void WriteLocalHeader(TStream& stream);
    // The local header as WriteLocalHeader writes it, at the offset it has.
    QByteArray LocalHeaderBytes();
    void WriteCentralRecord(TStream& stream, TStream* source);
    bool ReadLocalHeader(TStream& stream);
    bool ReadCentralRecord(TStream*& stream, const std::function<TStream*()>& nextDisk);

    // The stored bytes of a name and back. Names are kept in the ANSI code
    // page (GBK) unless flag bit 11 marks UTF-8 (or a Unix host wrote valid
    // UTF-8, its system encoding, or an Info-ZIP Unicode path block gives the
    // name); a name we write that is not plain ASCII is written as UTF-8 with
    // bit 11 set, and an entry made on MS-DOS is then marked as made on NTFS.
    QByteArray ToArchiveName(const QString& name);
    QString FromArchiveName(const QByteArray& name) const;

private:
    void AppendZip64Extra(QByteArray& b, bool central) const;
    TZip64Record& EnsureZip64();
    QByteArray StoredName();

    void NameChanged();

    QString FFileName;
    QString FDirectory;
    QString FFullName;
    std::unique_ptr<TZip64Record> FZip64;
    std::optional<QByteArray> FComment;
};

struct TZip64EndRecord {
    uint32_t Signature = ZIP64_END_OF_CENTRAL_DIR_SIGNATURE;
    uint64_t RecordSize = 44;
    uint16_t VersionMadeBy = 45;
    uint16_t VersionNeeded = 45;
    uint32_t ThisDisk = 0;
    uint32_t StartDisk = 0;
    uint64_t EntriesOnDisk = 0;
    uint64_t TotalEntries = 0;
    uint64_t CentralSize = 0;
    uint64_t CentralOffset = 0;
};

struct TZip64Locator {
    uint32_t Signature = ZIP64_END_OF_CENTRAL_LOCATOR_SIGNATURE;
    uint32_t Disk = 0;
    uint64_t Offset = 0;
    uint32_t TotalDisks = 1;
};

class TEndCentral : public kpzip::TPersistent {
public:
    TEndCentral();
    ~TEndCentral() override;
    QString ClassName() const override { return QStringLiteral("TEndCentral"); }
    void Clear();
    void Assign(const TEndCentral& source);

    uint32_t ID = END_OF_CENTRAL_DIR_SIGNATURE;
    uint16_t this_disk = 0;
    uint16_t start_central_disk = 0;
    uint16_t num_entries_this_disk = 0;
    uint16_t num_entries = 0;
    uint32_t size_central = 0;
    uint32_t offset_central = 0;
    uint16_t zip_comment_length = 0;
    int64_t ZipCommentPos = 0;
    bool Modified = false;

    uint32_t GetThisDisk() const;
    void SetThisDisk(uint32_t v);
    uint32_t GetStartCentralDisk() const;
    void SetStartCentralDisk(uint32_t v);
    uint64_t GetEntriesThisDisk() const;
    void SetEntriesThisDisk(uint64_t v);
    uint64_t GetTotalEntries() const;
    void SetTotalEntries(uint64_t v);
    uint64_t GetCentralSize() const;
    void SetCentralSize(uint64_t v);
    uint64_t GetCentralOffset() const;
    void SetCentralOffset(uint64_t v);
    uint32_t GetTotalDisks() const { return FLocator ? FLocator->TotalDisks : 0; }

    bool HasComment() const { return zip_comment_length != 0; }
    bool CommentLoaded() const { return FComment.has_value(); }
    QByteArray Comment() const { return FComment.value_or(QByteArray()); }
    void SetComment(const std::optional<QByteArray>& text);
    int64_t EndRecordSize() const { return 22 + zip_comment_length; }
    const TZip64EndRecord* Zip64End() const { return FZip64End.get(); }
    const TZip64Locator* Locator() const { return FLocator.get(); }
    // Offset of the end record found by ReadEndRecords.
    int64_t EndRecordOffset() const { return FEndRecordOffset; }

    void WriteEndRecords(TStream& stream);
    bool ReadEndRecords(TStream& stream);

private:
    TZip64EndRecord& EnsureZip64End();
    std::optional<QByteArray> FComment;
    std::unique_ptr<TZip64EndRecord> FZip64End;
    std::unique_ptr<TZip64Locator> FLocator;
    int64_t FEndRecordOffset = 0;
};

// Little-endian helpers.
inline uint16_t GetLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t GetLE32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t GetLE64(const uint8_t* p) { return GetLE32(p) | (static_cast<uint64_t>(GetLE32(p + 4)) << 32); }
void PutLE16(QByteArray& b, uint16_t v);
// PutLE32 is the platform's (ByteOrder.h).
void PutLE64(QByteArray& b, uint64_t v);
