#include "kpSStrm.h"

#include "ZipExceptions.h"

#include <QtCore/QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

int64_t TStream::GetSize()
{
    const int64_t pos = Seek(0, soFromCurrent);
    const int64_t size = Seek(0, soFromEnd);
    Seek(pos, soFromBeginning);
    return size;
}

void TStream::SetSize(int64_t) { throw kpzip::EStreamError(QStringLiteral("Stream size cannot be changed")); }

void TStream::ReadBuffer(void* buffer, int64_t count)
{
    if (count != 0 && Read(buffer, count) != count)
        throw kpzip::EReadError(QStringLiteral("Stream read error"));
}

void TStream::WriteBuffer(const void* buffer, int64_t count)
{
    if (count != 0 && Write(buffer, count) != count)
        throw kpzip::EWriteError(QStringLiteral("Stream write error"));
}

int64_t TStream::CopyFrom(TStream& source, int64_t count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    constexpr int64_t Block = 1 << 16;
    std::unique_ptr<char[]> buf(new char[Block]);
    int64_t done = 0;
    while (done < count) {
        const int64_t n = std::min(Block, count - done);
        source.ReadBuffer(buf.get(), n);
        WriteBuffer(buf.get(), n);
        done += n;
    }
    return done;
}

// ---------------------------------------------------------------------------

TFileStream::TFileStream(const QString& fileName, uint16_t mode) : FFileName(fileName)
{
    const QByteArray path = QFile::encodeName(fileName);
    if (mode == fmCreate) {
        FHandle = ::open(path.constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (FHandle < 0)
            throw kpzip::EFCreateError(QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, QString::fromLocal8Bit(std::strerror(errno))));
        return;
    }
    int flags = O_RDONLY;
    if ((mode & 3) == fmOpenWrite)
        flags = O_WRONLY;
    else if ((mode & 3) == fmOpenReadWrite)
        flags = O_RDWR;
    FHandle = ::open(path.constData(), flags | O_CLOEXEC);
    if (FHandle < 0)
        throw kpzip::EFOpenError(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, QString::fromLocal8Bit(std::strerror(errno))));
    struct stat st {};
    if (::fstat(FHandle, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(FHandle);
        FHandle = -1;
        throw kpzip::EFOpenError(QStringLiteral("Cannot open file \"%1\". Is a directory").arg(fileName));
    }
    FRegular = S_ISREG(st.st_mode);
}

TFileStream::TFileStream(int handle, const QString& fileName) : FHandle(handle), FFileName(fileName) {}

TFileStream::~TFileStream()
{
    if (FHandle >= 0)
        ::close(FHandle);
}

int64_t TFileStream::Read(void* buffer, int64_t count)
{
    int64_t done = 0;
    char* p = static_cast<char*>(buffer);
    while (done < count) {
        const ssize_t n = ::read(FHandle, p + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
        // A regular file reads short only at its end: no need to ask again.
        if (FRegular && done < count)
            break;
    }
    FPos += done;
    return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count)
{
    int64_t done = 0;
    const char* p = static_cast<const char*>(buffer);
    while (done < count) {
        const ssize_t n = ::write(FHandle, p + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    FPos += done;
    return done;
}

int64_t TFileStream::Seek(int64_t offset, int origin)
{
    if ((origin == soFromBeginning && offset == FPos) || (origin == soFromCurrent && offset == 0))
        return FPos;
    int whence = SEEK_END;
    if (origin == soFromBeginning || origin == soFromCurrent) {
        // Relative moves are made absolute from the position kept here.
        offset = origin == soFromCurrent ? FPos + offset : offset;
        whence = SEEK_SET;
    }
    const off_t r = ::lseek(FHandle, static_cast<off_t>(offset), whence);
    if (r < 0)
        throw kpzip::EStreamError(QStringLiteral("Seek error"));
    FPos = r;
    return r;
}

int64_t TFileStream::GetSize()
{
    struct stat st {};
    if (::fstat(FHandle, &st) != 0)
        throw kpzip::EStreamError(QStringLiteral("Cannot read the size of \"%1\"").arg(FFileName));
    return st.st_size;
}

void TFileStream::SetSize(int64_t size)
{
    if (::ftruncate(FHandle, static_cast<off_t>(size)) != 0)
        throw kpzip::EStreamError(QStringLiteral("Cannot set the size of \"%1\"").arg(FFileName));
}

bool TFileStream::Sync() { return ::fsync(FHandle) == 0; }

// ---------------------------------------------------------------------------

int64_t TMemoryStream::Read(void* buffer, int64_t count)
{
    const int64_t n = std::max<int64_t>(0, std::min<int64_t>(count, FData.size() - FPos));
    if (n > 0)
        std::memcpy(buffer, FData.constData() + FPos, static_cast<size_t>(n));
    FPos += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count)
{
    if (count <= 0)
        return 0;
    if (FPos + count > FData.size())
        FData.resize(FPos + count);
    std::memcpy(FData.data() + FPos, buffer, static_cast<size_t>(count));
    FPos += count;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, int origin)
{
    int64_t target = offset;
    if (origin == soFromCurrent)
        target = FPos + offset;
    else if (origin == soFromEnd)
        target = FData.size() + offset;
    FPos = std::max<int64_t>(0, target);
    return FPos;
}

void TMemoryStream::SetSize(int64_t size)
{
    FData.resize(size);
    FPos = std::min<int64_t>(FPos, size);
}

// ---------------------------------------------------------------------------

TS_BufferStream::TS_BufferStream(TStream* inner, int bufferSize)
    : FInner(inner), FBufferSize(std::max(bufferSize, 16)), FBuffer(new char[static_cast<size_t>(std::max(bufferSize, 16))])
{
}

TS_BufferStream::~TS_BufferStream()
{
    try {
        if (FState == 2)
            FlushBuffer();
        if (FFlushOnDestroy && FWritten)
            if (auto* file = dynamic_cast<TFileStream*>(FInner))
                file->Sync();
    } catch (...) {
    }
}

int64_t TS_BufferStream::LogicalPosition()
{
    const int64_t inner = FInner->Position();
    if (FState == 1)
        return inner + (FCur - FEnd);
    if (FState == 2)
        return inner + FCur;
    return inner;
}

void TS_BufferStream::DoFill()
{
    if (OnFill)
        OnFill();
}

void TS_BufferStream::DoFlush()
{
    if (OnFlush)
        OnFlush();
}

bool TS_BufferStream::FillBuffer()
{
    const int64_t n = FInner->Read(FBuffer.get(), FBufferSize);
    FCur = 0;
    FEnd = static_cast<int>(n);
    FState = n > 0 ? 1 : 0;
    DoFill();
    return n > 0;
}

bool TS_BufferStream::FlushBuffer()
{
    const int pending = FState == 2 ? FCur : 0;
    const int64_t n = pending > 0 ? FInner->Write(FBuffer.get(), pending) : 0;
    FCur = 0;
    FEnd = 0;
    FState = 0;
    DoFlush();
    return n == pending;
}

void TS_BufferStream::FlushPending()
{
    if (FState == 2 && !FlushBuffer())
        throw kpzip::EWriteError(QStringLiteral("Stream write error"));
}

bool TS_BufferStream::PatchPending(int64_t position, const void* data, int64_t count)
{
    if (FState != 2)
        return false;
    const int64_t start = FInner->Position();  // where the pending bytes go
    if (position < start || count < 0 || position + count > start + FCur)
        return false;
    std::memcpy(FBuffer.get() + (position - start), data, static_cast<size_t>(count));
    return true;
}

int64_t TS_BufferStream::Read(void* buffer, int64_t count)
{
    if (FState == 2)
        FlushBuffer();
    if (FState != 1) {
        FCur = 0;
        FEnd = 0;
    }
    char* dst = static_cast<char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        int avail = FEnd - FCur;
        if (avail == 0) {
            const int64_t wanted = count - done;
            if (wanted >= FBufferSize) {
                // A large request goes straight to the inner stream.
                FCur = FEnd = 0;
                FState = 0;
                done += FInner->Read(dst + done, wanted);
                break;
            }
            if (!FillBuffer())
                break;
            avail = FEnd - FCur;
        }
        const int n = static_cast<int>(std::min<int64_t>(avail, count - done));
        std::memcpy(dst + done, FBuffer.get() + FCur, static_cast<size_t>(n));
        FCur += n;
        done += n;
    }
    return done;
}

int64_t TS_BufferStream::Write(const void* buffer, int64_t count)
{
    if (count <= 0)
        return 0;
    if (FState != 2) {
        if (FState == 1)
            FInner->Seek(LogicalPosition(), soFromBeginning);
        FState = 0;
        FCur = 0;
        FEnd = FBufferSize;
    }
    const char* src = static_cast<const char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        if (FCur == 0 && count - done >= FBufferSize) {
            FState = 0;
            done += FInner->Write(src + done, count - done);
            FWritten = true;
            return done;
        }
        int space = FEnd - FCur;
        if (space == 0) {
            if (!FlushBuffer())
                break;
            FEnd = FBufferSize;
            continue;
        }
        const int n = static_cast<int>(std::min<int64_t>(space, count - done));
        std::memcpy(FBuffer.get() + FCur, src + done, static_cast<size_t>(n));
        FCur += n;
        done += n;
        FState = 2;
    }
    FWritten = true;
    return done;
}

int64_t TS_BufferStream::Seek(int64_t offset, int origin)
{
    const int64_t logical = LogicalPosition();
    int64_t target = 0;
    switch (origin) {
    case soFromBeginning: target = offset; break;
    case soFromCurrent: target = logical + offset; break;
    case soFromEnd: {
        const int64_t end = std::max(logical, FInner->Size());
        target = end - (offset < 0 ? -offset : offset);
        break;
    }
    default: throw kpzip::Exception(ZipMessage(ZM_InvalidSeekOrigin).replace(QLatin1String("%d"), QString::number(origin)));
    }
    if (target == logical)
        return target;
    if (FState == 1) {
        // Inside the bytes read ahead: move within the buffer.
        const int64_t bufStart = logical - FCur;
        if (target >= bufStart && target <= bufStart + FEnd) {
            FCur = static_cast<int>(target - bufStart);
            return target;
        }
    }
    if (FState == 2 && !FlushBuffer())
        throw kpzip::Exception(ZipMessage(ZM_SeekError));
    FInner->Seek(target, soFromBeginning);
    FCur = 0;
    FEnd = 0;
    FState = 0;
    return target;
}

void TS_BufferStream::PutBack(uint8_t b)
{
    if (FState != 1 || FCur <= 0)
        throw kpzip::EStreamError(ZipMessage(ZM_PutbackOverflow));
    --FCur;
    FBuffer[FCur] = static_cast<char>(b);
}

// ---------------------------------------------------------------------------

TFileStream* TLFNFileStream::OpenFile(const QString& fileName, uint16_t mode) { return new TFileStream(fileName, mode); }

TLFNFileStream::TLFNFileStream(const QString& fileName, int bufferSize, bool flushOnClose, uint16_t mode)
    : TS_BufferStream(OpenFile(fileName, mode), bufferSize)
{
    FFile.reset(static_cast<TFileStream*>(FInner));
    FFlushOnDestroy = flushOnClose && (mode == fmCreate || (mode & 3) != 0);
}

TLFNFileStream::TLFNFileStream(std::unique_ptr<TFileStream> file, int bufferSize, bool flushOnClose)
    : TS_BufferStream(file.get(), bufferSize), FFile(std::move(file))
{
    FFlushOnDestroy = flushOnClose;
}

TLFNFileStream::~TLFNFileStream()
{
    try {
        if (FState == 2)
            FlushBuffer();
        if (FFlushOnDestroy && FWritten)
            FFile->Sync();
    } catch (...) {
    }
    FState = 0;
    FWritten = false;
}

int64_t TLFNFileStream::GetSize()
{
    // The file's size, or the end of the bytes waiting in the buffer when
    // they reach past it; the buffer stays as it is.
    const int64_t pendingEnd = FState == 2 ? FInner->Position() + FCur : 0;
    return std::max(FInner->Size(), pendingEnd);
}

void TLFNFileStream::SetSize(int64_t size)
{
    const int64_t pos = LogicalPosition();
    FlushPending();
    FFile->SetSize(size);
    FInner->Seek(std::min(pos, size), soFromBeginning);
    FCur = FEnd = 0;
    FState = 0;
}
