#pragma once

// Bitmap-header and palette blocks for the library's drawing controls: a
// bitmap-info block is a 40-byte header followed by a colour table of 256
// entries and optionally the pixel bits; a palette block holds 256 entries.

#include <cstdint>

#pragma pack(push, 1)
struct TBitmapInfoHeader {
    std::uint32_t biSize;
    std::int32_t biWidth;
    std::int32_t biHeight;
    std::uint16_t biPlanes;
    std::uint16_t biBitCount;
    std::uint32_t biCompression;
    std::uint32_t biSizeImage;
    std::int32_t biXPelsPerMeter;
    std::int32_t biYPelsPerMeter;
    std::uint32_t biClrUsed;
    std::uint32_t biClrImportant;
};

struct TRGBQuad {
    std::uint8_t rgbBlue;
    std::uint8_t rgbGreen;
    std::uint8_t rgbRed;
    std::uint8_t rgbReserved;
};

struct TBitmapInfo {
    TBitmapInfoHeader bmiHeader;
    TRGBQuad bmiColors[256];
};

struct TPaletteEntry {
    std::uint8_t peRed;
    std::uint8_t peGreen;
    std::uint8_t peBlue;
    std::uint8_t peFlags;
};

struct TLogPalette {
    std::uint16_t palVersion;
    std::uint16_t palNumEntries;
    TPaletteEntry palPalEntry[256];
};
#pragma pack(pop)

static_assert(sizeof(TBitmapInfoHeader) == 40, "bitmap header is 40 bytes");

// (bits + 31) div 32 * 4.
std::int32_t CalcBytesPerLine(std::int32_t bits);
// biSize + biSizeImage + biClrUsed * 4.
std::int32_t DIBSize(const TBitmapInfoHeader* header);
// A palette block (free with GlobalFreeMem) with the 20 static colours.
TLogPalette* CreateSystemPalette();
// A bitmap-info block (free with GlobalFreeMem): width and height at least 1,
// a bit count above 8 becomes 24, direction 1 (bottom-up) or -1 (top-down).
TBitmapInfo* CreateBitmapInfo(int bitCount, int direction, int width, bool withBits, int height);
