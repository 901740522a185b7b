#pragma once

// Buffered file access with RIFF chunk navigation: open, seek, read, write,
// enter ("descend") and leave ("ascend") chunks, create chunks whose sizes are
// written when they are left. Offsets and sizes are 64-bit; a chunk larger
// than a RIFF size field can hold is refused.

#include <QtCore/QString>

#include <cstdint>
#include <memory>
#include <vector>

using TFourCC = std::uint32_t;

constexpr TFourCC MakeFourCC(char a, char b, char c, char d)
{
    return static_cast<TFourCC>(static_cast<unsigned char>(a)) |
           (static_cast<TFourCC>(static_cast<unsigned char>(b)) << 8) |
           (static_cast<TFourCC>(static_cast<unsigned char>(c)) << 16) |
           (static_cast<TFourCC>(static_cast<unsigned char>(d)) << 24);
}

constexpr TFourCC FOURCC_RIFF = MakeFourCC('R', 'I', 'F', 'F');
constexpr TFourCC FOURCC_LIST = MakeFourCC('L', 'I', 'S', 'T');
constexpr TFourCC FOURCC_WAVE = MakeFourCC('W', 'A', 'V', 'E');
constexpr TFourCC FOURCC_FMT = MakeFourCC('f', 'm', 't', ' ');
constexpr TFourCC FOURCC_DATA = MakeFourCC('d', 'a', 't', 'a');
constexpr TFourCC FOURCC_FACT = MakeFourCC('f', 'a', 'c', 't');
constexpr TFourCC FOURCC_INFO = MakeFourCC('I', 'N', 'F', 'O');
constexpr TFourCC FOURCC_DISP = MakeFourCC('D', 'I', 'S', 'P');

// The largest value of a chunk size field.
constexpr std::int64_t RiffMaxChunkSize = 0xFFFFFFFFLL;

// Chunk flags and descend/create flags.
constexpr std::uint32_t MMIO_DIRTY = 0x10000000;
constexpr std::uint32_t MMIO_FINDCHUNK = 0x0010;
constexpr std::uint32_t MMIO_FINDRIFF = 0x0020;
constexpr std::uint32_t MMIO_FINDLIST = 0x0040;
constexpr std::uint32_t MMIO_CREATERIFF = 0x0020;
constexpr std::uint32_t MMIO_CREATELIST = 0x0040;

// One chunk: its id, its size (the form type included for RIFF and LIST), the
// form type, the offset of its data (behind the 8-byte header) and its flags.
struct TMMCkInfo {
    TFourCC ckid = 0;
    std::int64_t cksize = 0;
    TFourCC fccType = 0;
    std::int64_t dwDataOffset = 0;
    std::uint32_t dwFlags = 0;
};

enum TMmioMode { mmioRead, mmioReadWrite, mmioCreate };

class TSndMmio {
public:
    // Opens a file; nullptr when it cannot be opened. mmioCreate makes a new,
    // empty file (an existing one is emptied).
    static std::unique_ptr<TSndMmio> Open(const QString& fileName, TMmioMode mode);
    ~TSndMmio();
    TSndMmio(const TSndMmio&) = delete;
    TSndMmio& operator=(const TSndMmio&) = delete;

    bool Writable() const { return FWritable; }
    // The new position, -1 on failure. origin: SEEK_SET, SEEK_CUR or SEEK_END.
    std::int64_t Seek(std::int64_t offset, int origin);
    std::int64_t Position() const { return FPos; }
    std::int64_t Size() const;
    // Bytes read (fewer at the end of the file), -1 on failure.
    std::int64_t Read(void* buffer, std::int64_t count);
    // Bytes written, -1 on failure.
    std::int64_t Write(const void* buffer, std::int64_t count);
    bool Flush();
    // Sets the size of the I/O buffer (0: unbuffered).
    bool SetBuffer(std::int64_t size);
    bool Truncate(std::int64_t size);
    // Flushes and closes; false when the flush failed.
    bool Close();

    // Enters the chunk at the current position. With MMIO_FINDCHUNK /
    // MMIO_FINDRIFF / MMIO_FINDLIST the chunks are skipped until one with the
    // id (and form type) given in ck is found. With a parent, a header that
    // does not fit inside the parent fails. After entering a RIFF or LIST chunk
    // the position is behind its form type, else at its data.
    bool Descend(TMMCkInfo& ck, const TMMCkInfo* parent, std::uint32_t flags);
    // Leaves a chunk: a dirty chunk gets its size written (and a pad byte when
    // odd); the position moves behind the chunk. Fails when the chunk's data is
    // not all in the file or its size is beyond a RIFF size field.
    bool Ascend(TMMCkInfo& ck);
    // Writes a chunk header at the current position (MMIO_CREATERIFF /
    // MMIO_CREATELIST also the form type); the chunk is marked dirty.
    bool CreateChunk(TMMCkInfo& ck, std::uint32_t flags);

private:
    TSndMmio() = default;
    bool FlushWrite();

    enum TBufMode { bmNone, bmRead, bmWrite };
    int FFd = -1;
    bool FWritable = false;
    std::vector<char> FBuf;
    TBufMode FBufMode = bmNone;
    std::int64_t FBufStart = 0;
    std::int64_t FBufLen = 0;
    std::int64_t FPos = 0;
    std::int64_t FFileSize = 0;
};
