#include "SndMmio.h"

#include "ByteOrder.h"

#include <QtCore/QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::int64_t MmioBufferSize = 8192;

std::uint32_t GetLE32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::int64_t PRead(int fd, void* buffer, std::int64_t count, std::int64_t offset)
{
    std::int64_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < count) {
        const ssize_t r = ::pread(fd, out + done, static_cast<size_t>(count - done), offset + done);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return done > 0 ? done : -1;
        }
        if (r == 0)
            break;
        done += r;
    }
    return done;
}

std::int64_t PWrite(int fd, const void* buffer, std::int64_t count, std::int64_t offset)
{
    std::int64_t done = 0;
    const auto* in = static_cast<const char*>(buffer);
    while (done < count) {
        const ssize_t r = ::pwrite(fd, in + done, static_cast<size_t>(count - done), offset + done);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (r == 0)
            return -1;
        done += r;
    }
    return done;
}

}  // namespace

std::unique_ptr<TSndMmio> TSndMmio::Open(const QString& fileName, TMmioMode mode)
{
    if (fileName.isEmpty())
        return nullptr;
    int flags = O_CLOEXEC;
    switch (mode) {
    case mmioRead: flags |= O_RDONLY; break;
    case mmioReadWrite: flags |= O_RDWR; break;
    case mmioCreate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    }
    const QByteArray name = QFile::encodeName(fileName);
    int fd;
    do {
        fd = ::open(name.constData(), flags, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<TSndMmio> io(new TSndMmio());
    io->FFd = fd;
    io->FWritable = mode != mmioRead;
    io->FFileSize = st.st_size;
    io->FBuf.resize(MmioBufferSize);
    return io;
}

TSndMmio::~TSndMmio()
{
    Close();
}

bool TSndMmio::Close()
{
    if (FFd < 0)
        return true;
    const bool ok = FlushWrite();
    ::close(FFd);
    FFd = -1;
    return ok;
}

std::int64_t TSndMmio::Size() const
{
    std::int64_t size = FFileSize;
    if (FBufMode == bmWrite)
        size = std::max(size, FBufStart + FBufLen);
    return size;
}

std::int64_t TSndMmio::Seek(std::int64_t offset, int origin)
{
    if (FFd < 0)
        return -1;
    std::int64_t target;
    switch (origin) {
    case SEEK_SET: target = offset; break;
    case SEEK_CUR: target = FPos + offset; break;
    case SEEK_END: target = Size() + offset; break;
    default: return -1;
    }
    if (target < 0)
        return -1;
    FPos = target;
    return FPos;
}

bool TSndMmio::FlushWrite()
{
    if (FBufMode != bmWrite)
        return true;
    const std::int64_t len = FBufLen;
    FBufMode = bmNone;
    FBufLen = 0;
    if (len == 0)
        return true;
    if (PWrite(FFd, FBuf.data(), len, FBufStart) != len)
        return false;
    FFileSize = std::max(FFileSize, FBufStart + len);
    return true;
}

bool TSndMmio::Flush()
{
    if (FFd < 0)
        return false;
    return FlushWrite();
}

std::int64_t TSndMmio::Read(void* buffer, std::int64_t count)
{
    if (FFd < 0 || count < 0 || (count > 0 && !buffer))
        return -1;
    if (count == 0)
        return 0;
    if (!FlushWrite())
        return -1;
    auto* out = static_cast<char*>(buffer);
    const auto cap = static_cast<std::int64_t>(FBuf.size());
    std::int64_t total = 0;
    while (count > 0) {
        if (FBufMode == bmRead && FPos >= FBufStart && FPos < FBufStart + FBufLen) {
            const std::int64_t k = std::min(count, FBufStart + FBufLen - FPos);
            std::memcpy(out + total, FBuf.data() + (FPos - FBufStart), static_cast<size_t>(k));
            total += k;
            FPos += k;
            count -= k;
            continue;
        }
        if (count >= cap) {
            const std::int64_t r = PRead(FFd, out + total, count, FPos);
            if (r < 0)
                return total > 0 ? total : -1;
            total += r;
            FPos += r;
            break;
        }
        const std::int64_t r = PRead(FFd, FBuf.data(), cap, FPos);
        if (r < 0)
            return total > 0 ? total : -1;
        if (r == 0)
            break;
        FBufMode = bmRead;
        FBufStart = FPos;
        FBufLen = r;
    }
    return total;
}

std::int64_t TSndMmio::Write(const void* buffer, std::int64_t count)
{
    if (FFd < 0 || !FWritable || count < 0 || (count > 0 && !buffer))
        return -1;
    if (count == 0)
        return 0;
    if (FBufMode == bmRead) {
        FBufMode = bmNone;
        FBufLen = 0;
    }
    const auto cap = static_cast<std::int64_t>(FBuf.size());
    if (FBufMode == bmWrite && FPos == FBufStart + FBufLen && FBufLen + count <= cap) {
        std::memcpy(FBuf.data() + FBufLen, buffer, static_cast<size_t>(count));
        FBufLen += count;
        FPos += count;
        return count;
    }
    if (!FlushWrite())
        return -1;
    if (count >= cap) {
        const std::int64_t w = PWrite(FFd, buffer, count, FPos);
        if (w != count)
            return -1;
        FPos += count;
        FFileSize = std::max(FFileSize, FPos);
        return count;
    }
    FBufMode = bmWrite;
    FBufStart = FPos;
    std::memcpy(FBuf.data(), buffer, static_cast<size_t>(count));
    FBufLen = count;
    FPos += count;
    return count;
}

bool TSndMmio::SetBuffer(std::int64_t size)
{
    if (FFd < 0 || size < 0)
        return false;
    if (!FlushWrite())
        return false;
    FBufMode = bmNone;
    FBufLen = 0;
    try {
        FBuf.assign(static_cast<size_t>(size), 0);
        FBuf.shrink_to_fit();
    } catch (...) {
        return false;
    }
    return true;
}

bool TSndMmio::Truncate(std::int64_t size)
{
    if (FFd < 0 || !FWritable || size < 0 || !FlushWrite())
        return false;
    if (FBufMode == bmRead) {
        FBufMode = bmNone;
        FBufLen = 0;
    }
    if (::ftruncate(FFd, size) != 0)
        return false;
    FFileSize = size;
    return true;
}

bool TSndMmio::Descend(TMMCkInfo& ck, const TMMCkInfo* parent, std::uint32_t flags)
{
    const TFourCC wantedId = ck.ckid;
    const TFourCC wantedType = ck.fccType;
    for (;;) {
        const std::int64_t start = FPos;
        if (parent && start + 8 > parent->dwDataOffset + parent->cksize)
            return false;
        unsigned char header[8];
        if (Read(header, 8) != 8)
            return false;
        TMMCkInfo found;
        found.ckid = GetLE32(header);
        found.cksize = GetLE32(header + 4);
        found.dwDataOffset = start + 8;
        if ((found.ckid == FOURCC_RIFF || found.ckid == FOURCC_LIST) && found.cksize >= 4) {
            unsigned char type[4];
            if (Read(type, 4) != 4)
                return false;
            found.fccType = GetLE32(type);
        }
        bool match = true;
        if (flags & MMIO_FINDRIFF)
            match = found.ckid == FOURCC_RIFF && found.fccType == wantedType;
        else if (flags & MMIO_FINDLIST)
            match = found.ckid == FOURCC_LIST && found.fccType == wantedType;
        else if (flags & MMIO_FINDCHUNK)
            match = found.ckid == wantedId;
        if (match) {
            ck = found;
            return true;
        }
        if (Seek(found.dwDataOffset + found.cksize + (found.cksize & 1), SEEK_SET) < 0)
            return false;
    }
}

bool TSndMmio::Ascend(TMMCkInfo& ck)
{
    if (ck.dwFlags & MMIO_DIRTY) {
        const std::int64_t size = FPos - ck.dwDataOffset;
        if (size < 0 || size > RiffMaxChunkSize)
            return false;
        const std::int64_t end = FPos;
        unsigned char field[4];
        PutLE32(field, static_cast<std::uint32_t>(size));
        if (Seek(ck.dwDataOffset - 4, SEEK_SET) < 0 || Write(field, 4) != 4)
            return false;
        if (Seek(end, SEEK_SET) < 0)
            return false;
        if (size & 1) {
            const char pad = 0;
            if (Write(&pad, 1) != 1)
                return false;
        }
        ck.cksize = size;
        ck.dwFlags &= ~MMIO_DIRTY;
    }
    if (ck.dwDataOffset + ck.cksize > Size())
        return false;
    return Seek(ck.dwDataOffset + ck.cksize + (ck.cksize & 1), SEEK_SET) >= 0;
}

bool TSndMmio::CreateChunk(TMMCkInfo& ck, std::uint32_t flags)
{
    if (!FWritable)
        return false;
    const bool withType = (flags & (MMIO_CREATERIFF | MMIO_CREATELIST)) != 0;
    if (flags & MMIO_CREATERIFF)
        ck.ckid = FOURCC_RIFF;
    else if (flags & MMIO_CREATELIST)
        ck.ckid = FOURCC_LIST;
    if (ck.cksize < 0 || ck.cksize > RiffMaxChunkSize)
        return false;
    const std::int64_t start = FPos;
    unsigned char header[12];
    PutLE32(header, ck.ckid);
    PutLE32(header + 4, static_cast<std::uint32_t>(ck.cksize));
    PutLE32(header + 8, ck.fccType);
    const std::int64_t n = withType ? 12 : 8;
    if (Write(header, n) != n)
        return false;
    ck.dwDataOffset = start + 8;
    ck.dwFlags = MMIO_DIRTY;
    return true;
}
