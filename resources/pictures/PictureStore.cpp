#include "PictureStore.h"
#include "CacheFile.h"

#include "ProgramFolder.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDateTime>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>

#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PictureKit {
namespace {

// The file: a fixed head, the stamp (UTF-8), padding to 16 bytes, then the
// rows of the picture as they lie in a Format_RGB32 image.
constexpr char StoreMagic[8] = {'P', 'I', 'B', 'O', 'K', 'P', 'T', '1'};

struct TStoreHead {
    char Magic[8];
    quint32 Width;
    quint32 Height;
    quint32 BytesPerLine;
    quint32 StampBytes;
};

qsizetype PixelOffset(qsizetype stampBytes)
{
    return (qsizetype(sizeof(TStoreHead)) + stampBytes + 15) / 16 * 16;
}

// What makes a kept file valid: the picture, the running executable and the
// caller's stamp.
QByteArray FullStamp(const QString& name, QSize size, const QString& stamp)
{
    const QFileInfo program(QCoreApplication::applicationFilePath());
    return QStringLiteral("%1|%2x%3|%4|%5|%6|%7")
        .arg(name)
        .arg(size.width())
        .arg(size.height())
        .arg(program.absoluteFilePath())
        .arg(program.size())
        .arg(program.lastModified().toMSecsSinceEpoch())
        .arg(stamp)
        .toUtf8();
}

struct TMapping {
    void* Address;
    size_t Length;
};

void Unmap(void* info)
{
    auto* mapping = static_cast<TMapping*>(info);
    munmap(mapping->Address, mapping->Length);
    delete mapping;
}

// The kept picture when the file is whole and made for this stamp, else null.
QImage MapKept(const QString& file, QSize size, const QByteArray& stamp)
{
    const int fd = open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat info {};
    const qsizetype bytesPerLine = qsizetype(size.width()) * 4;
    const qsizetype offset = PixelOffset(stamp.size());
    const qsizetype expected = offset + bytesPerLine * size.height();
    void* address = MAP_FAILED;
    if (fstat(fd, &info) == 0 && info.st_size == expected)
        address = mmap(nullptr, size_t(expected), PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (address == MAP_FAILED)
        return {};
    const auto* bytes = static_cast<const uchar*>(address);
    TStoreHead head;
    std::memcpy(&head, bytes, sizeof head);
    if (std::memcmp(head.Magic, StoreMagic, sizeof StoreMagic) != 0 || head.Width != quint32(size.width())
        || head.Height != quint32(size.height()) || head.BytesPerLine != quint32(bytesPerLine)
        || head.StampBytes != quint32(stamp.size())
        || std::memcmp(bytes + sizeof head, stamp.constData(), size_t(stamp.size())) != 0) {
        munmap(address, size_t(expected));
        return {};
    }
    return QImage(bytes + offset, size.width(), size.height(), bytesPerLine, QImage::Format_RGB32, Unmap,
                  new TMapping{address, size_t(expected)});
}

// Writes the picture as a cache file. Failures are left silent: the picture
// is then drawn again at the next start.
void Keep(const QString& file, const QImage& image, const QByteArray& stamp)
{
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        return;
    TStoreHead head{};
    std::memcpy(head.Magic, StoreMagic, sizeof StoreMagic);
    head.Width = quint32(image.width());
    head.Height = quint32(image.height());
    head.BytesPerLine = quint32(image.width()) * 4;
    head.StampBytes = quint32(stamp.size());
    QByteArray start(PixelOffset(stamp.size()), '\0');
    std::memcpy(start.data(), &head, sizeof head);
    std::memcpy(start.data() + sizeof head, stamp.constData(), size_t(stamp.size()));
    WriteCacheFile(file, [&](QIODevice& out) {
        if (out.write(start) != start.size())
            return false;
        for (int y = 0; y < image.height(); ++y) {
            const auto* row = reinterpret_cast<const char*>(image.constScanLine(y));
            if (out.write(row, head.BytesPerLine) != qint64(head.BytesPerLine))
                return false;
        }
        return true;
    });
}

}  // namespace

QString KeptPictureFile(const QString& name)
{
    return ProgramFolder() + QStringLiteral("temp/pictures/") + name + QStringLiteral(".kept");
}

QImage KeptPicture(const QString& name, QSize size, const QString& stamp, const std::function<QImage()>& draw)
{
    if (!QCoreApplication::instance() || size.isEmpty())
        return draw().convertToFormat(QImage::Format_RGB32);
    const QString file = KeptPictureFile(name);
    const QByteArray fullStamp = FullStamp(name, size, stamp);
    QImage kept = MapKept(file, size, fullStamp);
    if (!kept.isNull())
        return kept;
    QImage drawn = draw().convertToFormat(QImage::Format_RGB32);
    if (drawn.size() == size)
        Keep(file, drawn, fullStamp);
    return drawn;
}

}  // namespace PictureKit
