#pragma once

// Utilities of the wave audio library: its message texts, small integer and
// memory routines, platform flags, memory blocks, file and disk queries, a
// wait that keeps the event loop alive and rotated text output.

#include <QtCore/QByteArray>
#include <QtCore/QString>

#include <cstddef>
#include <cstdint>
#include <memory>

class QThread;
class TCanvas;

// ---------------------------------------------------------------- messages

// The library message n (its string id is 28000 + n). Numbers the library does
// not use give an empty text.
QString LoadResStr(int n);

// ---------------------------------------------------------------- routine table

// Small integer and memory routines. The library calls them by these names;
// the 64-bit overloads serve the 64-bit positions and sizes.
inline std::int32_t MinProc(std::int32_t a, std::int32_t b) { return a < b ? a : b; }
inline std::int64_t MinProc(std::int64_t a, std::int64_t b) { return a < b ? a : b; }
inline std::int32_t MaxProc(std::int32_t a, std::int32_t b) { return a > b ? a : b; }
inline std::int64_t MaxProc(std::int64_t a, std::int64_t b) { return a > b ? a : b; }

// Clamp: below the lower bound gives the lower bound, else above the upper
// bound gives the upper bound, else the value (lower bound tested first).
inline std::int32_t MinMaxProc(std::int32_t value, std::int32_t lo, std::int32_t hi)
{
    return value < lo ? lo : (value > hi ? hi : value);
}
inline std::int64_t MinMaxProc(std::int64_t value, std::int64_t lo, std::int64_t hi)
{
    return value < lo ? lo : (value > hi ? hi : value);
}
// Clamp to a range whose bounds may come in either order.
inline std::int32_t MinMaxAnyProc(std::int32_t value, std::int32_t a, std::int32_t b)
{
    return a <= b ? MinMaxProc(value, a, b) : MinMaxProc(value, b, a);
}
// True when lo <= value <= hi.
inline bool InMinMaxProc(std::int64_t value, std::int64_t lo, std::int64_t hi)
{
    return lo <= value && value <= hi;
}
// True when value lies between a and b, the bounds in either order.
inline bool InMinMaxAnyProc(std::int64_t value, std::int64_t a, std::int64_t b)
{
    return a <= b ? InMinMaxProc(value, a, b) : InMinMaxProc(value, b, a);
}
void SwapLongProc(std::int32_t& a, std::int32_t& b);
void SwapSmallProc(std::int16_t& a, std::int16_t& b);
void IncLongProc(std::int32_t& value, std::int32_t add);
void FillCharProc(void* dest, std::size_t count, std::uint8_t value);
// Writes value count div 4 times, then count mod 4 bytes of its low byte.
void FillLongProc(void* dest, std::size_t count, std::uint32_t value);
// Copies count bytes, correct for overlapping areas.
void MoveProc(const void* source, void* dest, std::size_t count);
// True when the two areas of count bytes are equal.
bool CompareProc(const void* a, const void* b, std::size_t count);

// ---------------------------------------------------------------- platform flags

// The library was written for a family of systems; here every flag describes
// the one system the program runs on (a current one: neither of the old
// consumer systems, NT 4 and 2000 or later).
extern const bool Win95;
extern const bool Win9x;
extern const bool WinNT4Up;
extern const bool Win2KUp;

// ---------------------------------------------------------------- memory blocks

// A zero-filled block of Size bytes; raises std::bad_alloc when none can be had.
void* GlobalAllocMem(std::size_t size);
// Frees p (when set) and stores a new zero-filled block of size in p; the old
// contents are not kept.
void GlobalReAllocMem(void*& p, std::size_t size);
// Frees the block when p is set and sets p to nullptr.
void GlobalFreeMem(void*& p);
template <typename T>
void GlobalFreeMem(T*& p)
{
    void* raw = p;
    GlobalFreeMem(raw);
    p = nullptr;
}
// The size of the block holding p, 0 for nullptr.
std::size_t GlobalMemSize(const void* p);

// Frees a block of GlobalAllocMem, for unique_ptr.
struct TGlobalMemDeleter {
    void operator()(void* p) const
    {
        GlobalFreeMem(p);
    }
};

// ---------------------------------------------------------------- files, disks, threads

// The size of the file (name made absolute first), -1 when it is not found.
std::int64_t SndFileSize(const QString& fileName);
// Free and total bytes of the disk holding the file's folder. On failure
// freeBytes is 0 and totalBytes 1.
bool GetDiskFree(const QString& fileName, std::int64_t& freeBytes, std::int64_t& totalBytes);
bool HasDiskSpace(const QString& fileName, std::int64_t bytes);
// The same for a folder given in the file system's encoding; one system call,
// nothing allocated (asked before every write of a recording).
bool HasDiskSpaceIn(const QByteArray& folder, std::int64_t bytes);

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };
// Sets a running thread's priority; false without thread or when not running.
bool SndSetThreadPriority(QThread* thread, TThreadPriority priority);

// Waits milliseconds; with processMessages the event loop of the calling
// thread runs meanwhile, and the wait ends early when the application is
// closing down.
void DelayMs(std::int32_t milliseconds, bool processMessages);

// ---------------------------------------------------------------- drawing

// Orientation 0: horizontal text left-aligned at x, vertically centred on y;
// 1: right-aligned at x, centred on y; 2: turned by 90 degrees (reading
// upwards), centred on x, ending at y.
void DrawRotatedText(TCanvas& canvas, int x, int y, const QString& text, const QString& fontName, int size,
                     int orientation);
