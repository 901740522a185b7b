#include "MMDIB.h"

#include "SndUtils.h"

std::int32_t CalcBytesPerLine(std::int32_t bits)
{
    return (bits + 31) / 32 * 4;
}

std::int32_t DIBSize(const TBitmapInfoHeader* header)
{
    if (!header)
        return 0;
    return static_cast<std::int32_t>(header->biSize + header->biSizeImage + header->biClrUsed * 4);
}

TLogPalette* CreateSystemPalette()
{
    static const std::uint8_t low[10][3] = {{0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},
                                            {0, 0, 128},     {128, 0, 128},   {0, 128, 128},   {192, 192, 192},
                                            {192, 220, 192}, {166, 202, 240}};
    static const std::uint8_t high[10][3] = {{255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},
                                             {0, 255, 0},     {255, 255, 0},   {0, 0, 255},     {255, 0, 255},
                                             {0, 255, 255},   {255, 255, 255}};
    auto* palette = static_cast<TLogPalette*>(GlobalAllocMem(sizeof(TLogPalette)));
    palette->palVersion = 0x0300;
    palette->palNumEntries = 256;
    for (int i = 0; i < 10; ++i) {
        palette->palPalEntry[i] = TPaletteEntry{low[i][0], low[i][1], low[i][2], 0};
        palette->palPalEntry[246 + i] = TPaletteEntry{high[i][0], high[i][1], high[i][2], 0};
    }
    return palette;
}

TBitmapInfo* CreateBitmapInfo(int bitCount, int direction, int width, bool withBits, int height)
{
    static const std::uint8_t vga[16][3] = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},     {128, 128, 0},
                                            {0, 0, 128},   {128, 0, 128}, {0, 128, 128},   {192, 192, 192},
                                            {128, 128, 128}, {255, 0, 0}, {0, 255, 0},     {255, 255, 0},
                                            {0, 0, 255},   {255, 0, 255}, {0, 255, 255},   {255, 255, 255}};
    if (width < 1)
        width = 1;
    if (height < 1)
        height = 1;
    if (bitCount > 8)
        bitCount = 24;
    const std::uint32_t imageSize =
        withBits ? static_cast<std::uint32_t>(CalcBytesPerLine(width * bitCount)) * static_cast<std::uint32_t>(height)
                 : 0;
    auto* info = static_cast<TBitmapInfo*>(GlobalAllocMem(sizeof(TBitmapInfo) + imageSize));
    TBitmapInfoHeader& h = info->bmiHeader;
    h.biSize = 40;
    h.biWidth = width;
    h.biHeight = (direction < 0 ? -1 : 1) * height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<std::uint16_t>(bitCount);
    h.biCompression = 0;
    h.biSizeImage = imageSize;
    h.biClrUsed = bitCount == 4 ? 16 : (bitCount == 8 ? 256 : 0);
    for (std::uint32_t i = 0; i < h.biClrUsed; ++i) {
        const auto& c = vga[i % 16];
        info->bmiColors[i] = TRGBQuad{c[2], c[1], c[0], 0};
    }
    return info;
}
