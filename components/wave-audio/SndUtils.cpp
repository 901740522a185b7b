#include "SndUtils.h"

#include "Graphics.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDeadlineTimer>
#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFileInfo>
#include <QtCore/QStorageInfo>
#include <QtCore/QThread>
#include <QtGui/QFontMetrics>
#include <QtGui/QPainter>

#include <cstdlib>
#include <cstring>
#include <new>

#include <sys/statvfs.h>

// ---------------------------------------------------------------- messages

QString LoadResStr(int n)
{
    switch (n) {
    case 6: return QStringLiteral("Unknown");
    case 60: return QStringLiteral("Change to property while device was open");
    case 61: return QStringLiteral("Invalid DeviceID");
    case 64: return QStringLiteral("Unable to allocate memory for wave header");
    case 70: return QStringLiteral("The actual device can''t play this format");
    case 80: return QStringLiteral("Unable to start device");
    case 81: return QStringLiteral("Error filling wave buffer");
    case 86: return QStringLiteral("Specified error number is out of range (unknown error)");
    case 87: return QStringLiteral("The actual device can''t record this format");
    case 88: return QStringLiteral("Could not create thread");
    case 89: return QStringLiteral("Invalid wave format");
    case 130: return QStringLiteral("Error reading wave file");
    case 131: return QStringLiteral("Can't write to MemoryWave");
    case 133: return QStringLiteral("Invalid wave file...");
    case 134: return QStringLiteral("Invalid param passed!");
    case 137: return QStringLiteral("Unable to setup file IO buffer");
    case 138: return QStringLiteral("Unable to open wave file");
    case 139: return QStringLiteral("Unable to create wave file");
    case 140: return QStringLiteral("Unable to save wave file");
    case 141: return QStringLiteral("Saving was aborted");
    case 147: return QStringLiteral("Error seeking file position");
    case 160: return QStringLiteral("No wave audio recording device found");
    case 161: return QStringLiteral("No wave audio playing device found");
    case 162: return QStringLiteral("Unable to open device");
    case 163: return QStringLiteral("Unable to close device");
    default: return QString();
    }
}

// ---------------------------------------------------------------- routine table

void SwapLongProc(std::int32_t& a, std::int32_t& b)
{
    const std::int32_t t = a;
    a = b;
    b = t;
}

void SwapSmallProc(std::int16_t& a, std::int16_t& b)
{
    const std::int16_t t = a;
    a = b;
    b = t;
}

void IncLongProc(std::int32_t& value, std::int32_t add)
{
    value = static_cast<std::int32_t>(static_cast<std::uint32_t>(value) + static_cast<std::uint32_t>(add));
}

void FillCharProc(void* dest, std::size_t count, std::uint8_t value)
{
    if (dest && count)
        std::memset(dest, value, count);
}

void FillLongProc(void* dest, std::size_t count, std::uint32_t value)
{
    if (!dest)
        return;
    auto* bytes = static_cast<unsigned char*>(dest);
    const std::size_t words = count / 4;
    for (std::size_t i = 0; i < words; ++i)
        std::memcpy(bytes + i * 4, &value, 4);
    std::memset(bytes + words * 4, static_cast<int>(value & 0xFF), count % 4);
}

void MoveProc(const void* source, void* dest, std::size_t count)
{
    if (source && dest && count)
        std::memmove(dest, source, count);
}

bool CompareProc(const void* a, const void* b, std::size_t count)
{
    if (count == 0)
        return true;
    if (!a || !b)
        return false;
    return std::memcmp(a, b, count) == 0;
}

// ---------------------------------------------------------------- platform flags

const bool Win95 = false;
const bool Win9x = false;
const bool WinNT4Up = true;
const bool Win2KUp = true;

// ---------------------------------------------------------------- memory blocks

namespace {

// Every block carries its size in front of the memory handed out.
constexpr std::size_t BlockHeader = 16;

}  // namespace

void* GlobalAllocMem(std::size_t size)
{
    auto* raw = static_cast<unsigned char*>(std::calloc(1, size + BlockHeader));
    if (!raw)
        throw std::bad_alloc();
    std::memcpy(raw, &size, sizeof size);
    return raw + BlockHeader;
}

void GlobalReAllocMem(void*& p, std::size_t size)
{
    GlobalFreeMem(p);
    p = GlobalAllocMem(size);
}

void GlobalFreeMem(void*& p)
{
    if (p) {
        std::free(static_cast<unsigned char*>(p) - BlockHeader);
        p = nullptr;
    }
}

std::size_t GlobalMemSize(const void* p)
{
    if (!p)
        return 0;
    std::size_t size = 0;
    std::memcpy(&size, static_cast<const unsigned char*>(p) - BlockHeader, sizeof size);
    return size;
}

// ---------------------------------------------------------------- files, disks, threads

std::int64_t SndFileSize(const QString& fileName)
{
    if (fileName.isEmpty())
        return -1;
    const QFileInfo info(QFileInfo(fileName).absoluteFilePath());
    if (!info.exists() || !info.isFile())
        return -1;
    return info.size();
}

bool GetDiskFree(const QString& fileName, std::int64_t& freeBytes, std::int64_t& totalBytes)
{
    freeBytes = 0;
    totalBytes = 1;
    const QString folder = fileName.isEmpty() ? QDir::currentPath() : QFileInfo(fileName).absolutePath();
    QStorageInfo storage(folder);
    if (!storage.isValid() || !storage.isReady())
        return false;
    freeBytes = storage.bytesAvailable();
    totalBytes = storage.bytesTotal();
    if (freeBytes < 0 || totalBytes <= 0) {
        freeBytes = 0;
        totalBytes = 1;
        return false;
    }
    return true;
}

bool HasDiskSpace(const QString& fileName, std::int64_t bytes)
{
    std::int64_t freeBytes = 0;
    std::int64_t totalBytes = 1;
    return GetDiskFree(fileName, freeBytes, totalBytes) && freeBytes >= bytes;
}

bool HasDiskSpaceIn(const QByteArray& folder, std::int64_t bytes)
{
    struct statvfs fs;
    if (folder.isEmpty() || ::statvfs(folder.constData(), &fs) != 0)
        return false;
    return static_cast<std::int64_t>(fs.f_bavail) * static_cast<std::int64_t>(fs.f_frsize) >= bytes;
}

bool SndSetThreadPriority(QThread* thread, TThreadPriority priority)
{
    if (!thread || !thread->isRunning())
        return false;
    QThread::Priority p = QThread::NormalPriority;
    switch (priority) {
    case tpIdle: p = QThread::IdlePriority; break;
    case tpLowest: p = QThread::LowestPriority; break;
    case tpLower: p = QThread::LowPriority; break;
    case tpNormal: p = QThread::NormalPriority; break;
    case tpHigher: p = QThread::HighPriority; break;
    case tpHighest: p = QThread::HighestPriority; break;
    case tpTimeCritical: p = QThread::TimeCriticalPriority; break;
    }
    thread->setPriority(p);
    return true;
}

void DelayMs(std::int32_t milliseconds, bool processMessages)
{
    if (milliseconds <= 0)
        return;
    if (!processMessages || !QCoreApplication::instance()) {
        QThread::msleep(static_cast<unsigned long>(milliseconds));
        return;
    }
    QElapsedTimer timer;
    timer.start();
    while (!QCoreApplication::closingDown()) {
        const qint64 left = milliseconds - timer.elapsed();
        if (left <= 0)
            break;
        QCoreApplication::processEvents(QEventLoop::AllEvents, static_cast<int>(left));
        if (timer.elapsed() >= milliseconds)
            break;
        QThread::msleep(static_cast<unsigned long>(qMin<qint64>(left, 1)));
    }
}

// ---------------------------------------------------------------- drawing

void DrawRotatedText(TCanvas& canvas, int x, int y, const QString& text, const QString& fontName, int size,
                     int orientation)
{
    QPainter& painter = canvas.Painter();
    painter.save();
    QFont font(MapFontName(fontName));
    font.setWeight(QFont::Normal);
    font.setPixelSize(qMax(1, size));
    painter.setFont(font);
    painter.setPen(ToQColor(canvas.Font.Color));
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(text);
    const int height = metrics.height();
    if (orientation == 2) {
        // Reading upwards: the text starts width pixels below y and ends at y.
        painter.translate(x - height / 2, y + width);
        painter.rotate(-90);
        painter.drawText(0, metrics.ascent(), text);
    } else {
        const int left = orientation == 1 ? x - width : x;
        painter.drawText(left, y - height / 2 + metrics.ascent(), text);
    }
    painter.restore();
}
