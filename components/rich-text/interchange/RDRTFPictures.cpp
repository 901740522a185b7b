#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>

#include <QtGui/QImage>
#include <QtGui/QImageReader>

#include "Pictures.h"
#include "interchange/RDRTF.h"

namespace {

uint32_t PictLE32(const QByteArray& d, int64_t at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(d.constData()) + at;
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t PictLE16(const QByteArray& d, int64_t at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(d.constData()) + at;
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

void PictPut32(QByteArray& d, int at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        d[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

[[noreturn]] void PictFail(const char* message)
{
    throw std::runtime_error(message);
}

// Rounds half to even and saturates; outside 1..RTFMaxPictureDisplaySize 0.
int PictDisplayPixels(double value)
{
    if (!std::isfinite(value))
        return 0;
    const double r = std::nearbyint(value);
    if (r < 1 || r > RTFMaxPictureDisplaySize)
        return 0;
    return static_cast<int>(r);
}

// Images larger than Qt's allocation limit are refused, as Qt's own readers do.
bool PictImageAllowed(int64_t width, int64_t height, int64_t bytesPerPixel)
{
    if (width <= 0 || height <= 0 || width > INT32_MAX / 4 || height > INT32_MAX / 4)
        return false;
    const int64_t limitMb = QImageReader::allocationLimit();
    if (limitMb > 0 && width * height * bytesPerPixel > limitMb * 1024 * 1024)
        return false;
    return true;
}

// The bytes of a colour table that follow a DIB header (BITMAPINFOHEADER or
// BITMAPCOREHEADER); -1 for a header that makes no sense.
int64_t PictDibColorBytes(const QByteArray& dib)
{
    if (dib.size() < 12)
        return -1;
    const uint32_t headerSize = PictLE32(dib, 0);
    if (headerSize == 12) {
        const int bits = PictLE16(dib, 10);
        return bits <= 8 ? (int64_t(1) << bits) * 3 : 0;
    }
    if (headerSize < 40 || headerSize > static_cast<uint32_t>(dib.size()))
        return -1;
    const int bits = PictLE16(dib, 14);
    const uint32_t compression = PictLE32(dib, 16);
    int64_t colors = PictLE32(dib, 32);
    if (colors == 0 && bits <= 8)
        colors = int64_t(1) << bits;
    if (bits > 8 && colors > 256)
        return -1;
    int64_t extra = 0;
    if (headerSize == 40 && (compression == 3 || compression == 6))
        extra = compression == 3 ? 12 : 16;
    return extra + colors * 4;
}

// A BMP file from a DIB header with its colour table (dib) and the bits.
QByteArray PictBmpFile(const QByteArray& dib, const QByteArray& bits)
{
    const int64_t colorBytes = PictDibColorBytes(dib);
    if (colorBytes < 0)
        PictFail("Invalid bitmap");
    const int64_t offset = 14 + int64_t(PictLE32(dib, 0)) + colorBytes;
    const int64_t total = 14 + dib.size() + bits.size();
    if (total > RTFMaxPictureBytes + 14 || offset > total)
        PictFail("Invalid bitmap");
    QByteArray file(14, '\0');
    file[0] = 'B';
    file[1] = 'M';
    PictPut32(file, 2, static_cast<uint32_t>(total));
    PictPut32(file, 10, static_cast<uint32_t>(offset));
    file.append(dib).append(bits);
    return file;
}

std::unique_ptr<TGraphic> PictBitmapFromBmp(const QByteArray& file)
{
    auto bitmap = std::make_unique<TBitmapGraphic>();
    bitmap->LoadFromStream(file);
    if (bitmap->Empty())
        PictFail("Invalid bitmap");
    return bitmap;
}

// Colours of a device-dependent bitmap: the standard 16 and the 20 static
// colours of the default palette.
QRgb PictDdbColor(int bits, int index)
{
    static const QRgb vga[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
                                 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    static const QRgb low[10] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080,
                                 0x800080, 0x008080, 0xC0C0C0, 0xC0DCC0, 0xA6CAF0};
    static const QRgb high[10] = {0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000, 0x00FF00,
                                  0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    if (bits == 1)
        return index ? 0xFFFFFFFF : 0xFF000000;
    if (bits == 4)
        return 0xFF000000 | vga[index & 15];
    if (index < 10)
        return 0xFF000000 | low[index];
    if (index >= 246)
        return 0xFF000000 | high[index - 246];
    return 0xFF000000;
}

// "\wbitmap": rows of the given stride, top row first. Every size is checked
// in 64 bits against the data before anything is allocated.
std::unique_ptr<TGraphic> PictDdb(const TRDRTFPicture& pic)
{
    const int64_t width = pic.SourceWidth, height = pic.SourceHeight;
    const int bits = pic.BitsPerPixel;
    if (pic.PlaneCount != 1 || (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32))
        PictFail("Invalid bitmap");
    if (width <= 0 || height <= 0)
        PictFail("Invalid bitmap");
    const int64_t minRow = (width * bits + 7) / 8;
    int64_t stride = pic.RowBytes >= minRow ? pic.RowBytes : (width * bits + 15) / 16 * 2;
    if (stride * height > pic.PictData.size() || !PictImageAllowed(width, height, 4))
        PictFail("Invalid bitmap");
    QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
    if (image.isNull())
        PictFail("Invalid bitmap");
    const auto* data = reinterpret_cast<const unsigned char*>(pic.PictData.constData());
    for (int64_t y = 0; y < height; ++y) {
        const unsigned char* row = data + y * stride;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)));
        for (int64_t x = 0; x < width; ++x) {
            QRgb c = 0;
            switch (bits) {
            case 1: c = PictDdbColor(1, (row[x / 8] >> (7 - x % 8)) & 1); break;
            case 4: c = PictDdbColor(4, (row[x / 2] >> (x % 2 ? 0 : 4)) & 15); break;
            case 8: c = PictDdbColor(8, row[x]); break;
            case 16: {
                const int v = row[2 * x] | (row[2 * x + 1] << 8);
                c = qRgb(((v >> 10) & 31) * 255 / 31, ((v >> 5) & 31) * 255 / 31, (v & 31) * 255 / 31);
                break;
            }
            case 24: c = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]); break;
            default: c = qRgb(row[4 * x + 2], row[4 * x + 1], row[4 * x]); break;
            }
            out[x] = c;
        }
    }
    auto bitmap = std::make_unique<TBitmapGraphic>();
    bitmap->Assign(image);
    return bitmap;
}

// Enhanced metafile records that draw nothing.
bool PictEmfHousekeeping(uint32_t type)
{
    switch (type) {
    case 1: case 9: case 10: case 11: case 14: case 17: case 21: case 24: case 25: case 33: case 34: case 37:
    case 48: case 70: case 75:
        return true;
    default:
        return false;
    }
}

// Old-style metafile records that become one of the records above.
bool PictWmfHousekeeping(uint16_t function, const QByteArray& d, int64_t at, int64_t size)
{
    switch (function) {
    case 0x020C: case 0x020B: case 0x020E: case 0x0000: case 0x0103: case 0x0107: case 0x0209: case 0x0201:
    case 0x001E: case 0x0127: case 0x012D: case 0x0234: case 0x012C:
        return true;
    case 0x0626:  // escape: only the comment escape
        return size >= 8 && PictLE16(d, at + 6) == 0x000F;
    default:
        return false;
    }
}

bool PictIsWmf(const QByteArray& d, int64_t& start)
{
    start = 0;
    if (d.size() >= 22 && PictLE32(d, 0) == 0x9AC6CDD7)
        start = 22;
    if (d.size() < start + 18)
        return false;
    const uint16_t type = PictLE16(d, start), headerWords = PictLE16(d, start + 2), version = PictLE16(d, start + 4);
    return (type == 1 || type == 2) && headerWords == 9 && (version == 0x0100 || version == 0x0300);
}

bool PictIsEmf(const QByteArray& d)
{
    return d.size() >= 88 && PictLE32(d, 0) == 1 && PictLE32(d, 40) == 0x464D4520 && PictLE32(d, 4) >= 88
           && PictLE32(d, 4) <= static_cast<uint32_t>(d.size());
}

}  // namespace

bool TRDRTFPicture::Write(const char* data, int64_t count)
{
    if (WritePos + count > RTFMaxPictureBytes)
        return false;
    if (WritePos > PictData.size())
        PictData.resize(WritePos, '\0');
    const int64_t overlap = std::min<int64_t>(count, PictData.size() - WritePos);
    if (overlap > 0)
        std::copy(data, data + overlap, PictData.data() + WritePos);
    if (count > overlap)
        PictData.append(data + overlap, count - overlap);
    WritePos += count;
    return true;
}

int RTFPictureDisplayWidth(const TRDRTFPicture& picture, int graphicWidth)
{
    const double w = picture.PixelWidth >= 1 ? picture.PixelWidth : graphicWidth;
    const int result = PictDisplayPixels(w / 100.0 * picture.ScaleX);
    return result > 0 ? result : graphicWidth;
}

int RTFPictureDisplayHeight(const TRDRTFPicture& picture, int graphicHeight)
{
    const double h = picture.PixelHeight >= 1 ? picture.PixelHeight : graphicHeight;
    const int result = PictDisplayPixels(h / 100.0 * picture.ScaleY);
    return result > 0 ? result : graphicHeight;
}

std::unique_ptr<TGraphic> RTFExtractMetafileBitmap(const QByteArray& d, bool enhanced)
{
    QByteArray dib, bits;
    bool found = false;
    if (enhanced) {
        if (!PictIsEmf(d))
            return nullptr;
        int64_t at = 0;
        while (at + 8 <= d.size()) {
            const uint32_t type = PictLE32(d, at), size = PictLE32(d, at + 4);
            if (size < 8 || size % 4 != 0 || size > d.size() - at)
                return nullptr;
            if (type == 80 || type == 81) {
                if (found || size < (type == 81 ? 80u : 76u))
                    return nullptr;
                const int64_t offBmi = PictLE32(d, at + 48), cbBmi = PictLE32(d, at + 52);
                const int64_t offBits = PictLE32(d, at + 56), cbBits = PictLE32(d, at + 60);
                if (PictLE32(d, at + 64) != 0 || offBmi + cbBmi > size || offBits + cbBits > size || cbBmi < 12)
                    return nullptr;
                dib = d.mid(at + offBmi, cbBmi);
                bits = d.mid(at + offBits, cbBits);
                found = true;
            } else if (!PictEmfHousekeeping(type)) {
                return nullptr;
            }
            at += size;
            if (type == 14)
                break;
        }
    } else {
        int64_t at = 0;
        if (!PictIsWmf(d, at))
            return nullptr;
        at += int64_t(PictLE16(d, at + 2)) * 2;
        while (at + 6 <= d.size()) {
            const int64_t size = int64_t(PictLE32(d, at)) * 2;
            const uint16_t function = PictLE16(d, at + 4);
            if (size < 6 || size > d.size() - at)
                return nullptr;
            if (function == 0x0F43 || function == 0x0D33) {
                const int64_t dibAt = function == 0x0F43 ? 28 : 24;
                const int64_t usageAt = function == 0x0F43 ? 10 : 6;
                if (found || size < dibAt + 12 || PictLE16(d, at + usageAt) != 0)
                    return nullptr;
                const QByteArray all = d.mid(at + dibAt, size - dibAt);
                const int64_t colorBytes = PictDibColorBytes(all);
                if (colorBytes < 0 || int64_t(PictLE32(all, 0)) + colorBytes > all.size())
                    return nullptr;
                dib = all.left(PictLE32(all, 0) + colorBytes);
                bits = all.mid(dib.size());
                found = true;
            } else if (!PictWmfHousekeeping(function, d, at, size)) {
                return nullptr;
            }
            at += size;
            if (function == 0)
                break;
        }
    }
    if (!found)
        return nullptr;
    try {
        return PictBitmapFromBmp(PictBmpFile(dib, bits));
    } catch (const std::exception&) {
        return nullptr;
    }
}

std::unique_ptr<TGraphic> RTFMakePictureGraphic(TRDRTFPicture& pic, int pixelsPerInch, bool extractBitmaps)
{
    std::unique_ptr<TGraphic> graphic;
    const QByteArray& data = pic.PictData;
    switch (pic.PictKind) {
    case 0:
    case 5: {
        const bool enhanced = pic.PictKind == 0;
        int64_t start = 0;
        if (enhanced ? !PictIsEmf(data) : !PictIsWmf(data, start))
            PictFail("Invalid metafile");
        if (!enhanced && pic.SourceWidth > 0 && pic.SourceHeight > 0) {
            pic.PixelWidth = PictDisplayPixels(pic.SourceWidth / 2540.0 * pixelsPerInch);
            pic.PixelHeight = PictDisplayPixels(pic.SourceHeight / 2540.0 * pixelsPerInch);
        }
        if (extractBitmaps)
            graphic = RTFExtractMetafileBitmap(data, enhanced);
        if (!graphic) {
            graphic = std::make_unique<TMetafile>();
            graphic->LoadFromStream(data);
        }
        break;
    }
    case 1: {
        // Decoded here (within Qt's allocation limit) and kept as a bitmap.
        const QImage image = QImage::fromData(data, "PNG");
        if (image.isNull())
            PictFail("Invalid PNG image");
        graphic = std::make_unique<TBitmapGraphic>();
        graphic->Assign(image);
        break;
    }
    case 2:
        graphic = std::make_unique<TJPEGImage>();
        graphic->LoadFromStream(data);
        if (graphic->Empty())
            PictFail("Invalid JPEG image");
        break;
    case 6: {
        const QByteArray dib = data.mid(14);
        const int64_t colorBytes = PictDibColorBytes(dib);
        if (colorBytes < 0 || int64_t(PictLE32(dib, 0)) + colorBytes > dib.size())
            PictFail("Invalid bitmap");
        const qsizetype headerBytes = static_cast<qsizetype>(PictLE32(dib, 0) + colorBytes);
        pic.PictData = PictBmpFile(dib.left(headerBytes), dib.mid(headerBytes));
        graphic = PictBitmapFromBmp(pic.PictData);
        break;
    }
    case 7:
        graphic = PictDdb(pic);
        break;
    default:
        return nullptr;
    }
    if (pic.GoalWidth != 0 && pic.GoalHeight != 0) {
        pic.PixelWidth = PictDisplayPixels(double(pic.GoalWidth) * pixelsPerInch / 1440.0);
        pic.PixelHeight = PictDisplayPixels(double(pic.GoalHeight) * pixelsPerInch / 1440.0);
    }
    return graphic;
}

std::unique_ptr<TGraphic> RTFGraphicFromFileBytes(const QByteArray& bytes)
{
    std::unique_ptr<TGraphic> graphic;
    int64_t start = 0;
    if (bytes.startsWith("BM")) {
        graphic = std::make_unique<TBitmapGraphic>();
    } else if (bytes.startsWith("\xFF\xD8")) {
        graphic = std::make_unique<TJPEGImage>();
    } else if (bytes.startsWith(QByteArray("\0\0\1\0", 4))) {
        graphic = std::make_unique<TIcon>();
    } else if (PictIsEmf(bytes) || PictIsWmf(bytes, start)) {
        graphic = std::make_unique<TMetafile>();
    } else {
        const QImage image = QImage::fromData(bytes);
        if (image.isNull())
            return nullptr;
        graphic = std::make_unique<TBitmapGraphic>();
        graphic->Assign(image);
        return graphic;
    }
    graphic->LoadFromStream(bytes);
    if (graphic->Empty())
        return nullptr;
    return graphic;
}
