#pragma once

// Streams of the zip library: a small stream base, file and memory streams,
// and the buffered stream that puts one memory buffer in front of another
// stream so that the many small header reads and writes cost no system call.

#include <QtCore/QByteArray>
#include <QtCore/QString>

#include <cstdint>
#include <functional>
#include <memory>

// Seek origins.
enum : int { soFromBeginning = 0, soFromCurrent = 1, soFromEnd = 2 };

// File open modes (the share bits have no meaning on this platform and are
// accepted for completeness).
enum : uint16_t {
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    fmShareDenyWrite = 0x0020,
    fmShareDenyNone = 0x0040,
    fmCreate = 0xFF00,
};

class TStream {
public:
    virtual ~TStream() = default;
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    virtual int64_t Seek(int64_t offset, int origin) = 0;
    virtual int64_t GetSize();
    virtual void SetSize(int64_t size);

    int64_t Position() { return Seek(0, soFromCurrent); }
    void SetPosition(int64_t p) { Seek(p, soFromBeginning); }
    int64_t Size() { return GetSize(); }
    // Whole reads and writes; a short one raises EReadError / EWriteError.
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);
    // Copies count bytes from source's position (count 0: all of source).
    int64_t CopyFrom(TStream& source, int64_t count);
};

// A file stream over a POSIX descriptor. It keeps its own position, so that
// asking for it, or seeking to where the stream already stands, costs no
// system call.
class TFileStream : public TStream {
public:
    TFileStream(const QString& fileName, uint16_t mode);  // raises EFCreateError / EFOpenError
    // Takes over a descriptor just opened (standing at its start).
    TFileStream(int handle, const QString& fileName);
    ~TFileStream() override;
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, int origin) override;
    int64_t GetSize() override;
    void SetSize(int64_t size) override;
    int Handle() const { return FHandle; }
    const QString& FileName() const { return FFileName; }
    // Pushes written data to the disk; false when the system refused.
    bool Sync();

private:
    int FHandle = -1;
    int64_t FPos = 0;
    bool FRegular = true;
    QString FFileName;
};

// A stream in memory.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(QByteArray data) : FData(std::move(data)) {}
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, int origin) override;
    int64_t GetSize() override { return FData.size(); }
    void SetSize(int64_t size) override;
    const QByteArray& Data() const { return FData; }
    QByteArray& Data() { return FData; }

private:
    QByteArray FData;
    int64_t FPos = 0;
};

class TS_BufferStream : public TStream {
public:
    TS_BufferStream(TStream* inner, int bufferSize);
    ~TS_BufferStream() override;
    TS_BufferStream(const TS_BufferStream&) = delete;
    TS_BufferStream& operator=(const TS_BufferStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, int origin) override;

    virtual bool FillBuffer();
    virtual bool FlushBuffer();
    virtual void PutBack(uint8_t b);
    virtual void DoFill();
    virtual void DoFlush();

    // Writes out pending bytes now; raises EWriteError when they could not
    // all be written (the destructor cannot report that).
    void FlushPending();
    // Overwrites count bytes at position when all of them are still waiting
    // in the buffer, and answers whether it did; the logical position and
    // everything else stay as they are.
    bool PatchPending(int64_t position, const void* data, int64_t count);

    std::function<void()> OnFill;
    std::function<void()> OnFlush;

protected:
    int64_t LogicalPosition();

    TStream* FInner;
    int FBufferSize;
    std::unique_ptr<char[]> FBuffer;
    int FEnd = 0;
    int FCur = 0;
    int FState = 0;  // 0 idle, 1 reading, 2 writing
    bool FFlushOnDestroy = false;
    bool FWritten = false;
};

class TLFNFileStream : public TS_BufferStream {
public:
    TLFNFileStream(const QString& fileName, int bufferSize, bool flushOnClose, uint16_t mode);
    // Buffers a file stream opened elsewhere for writing (and owns it).
    TLFNFileStream(std::unique_ptr<TFileStream> file, int bufferSize, bool flushOnClose);
    ~TLFNFileStream() override;
    int64_t GetSize() override;
    void SetSize(int64_t size) override;
    TFileStream& FileStream() { return *FFile; }

private:
    static TFileStream* OpenFile(const QString& fileName, uint16_t mode);
    std::unique_ptr<TFileStream> FFile;
};
