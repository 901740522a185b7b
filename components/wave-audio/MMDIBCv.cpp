#include "MMDIBCv.h"

#include "SndUtils.h"

#include <QtCore/QHash>
#include <QtGui/QPaintEvent>
#include <QtGui/QPainter>

#include "ApplicationException.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>

namespace {

// Products of two 64-bit differences.
__extension__ typedef __int128 TWide;

// ---------------------------------------------------------------- the drawing state

// The state of the pass in progress and the states of the passes it interrupted.
TDIBDrawState GState;
std::vector<TDIBDrawState> GOuterStates;
std::recursive_mutex GDrawLock;

// 32 pixels of 24 bits in the colour GPatternColor, for filling spans.
std::uint8_t GPattern[96] = {};
std::uint32_t GPatternColor = 0;
bool GPatternValid = false;

// Writes count pixels of 24 bits from a pattern of 32 pixels, in blocks of 96
// bytes (with the wider stores where the processor has them); the rest is one
// more block that ends with the span, over pixels of the same colour.
// Sanitized builds compile it once (PIBO_TARGET_CLONES off in the build).
#ifdef PIBO_NO_TARGET_CLONES
#define PIBO_DIB_FILL_CLONES
#else
#define PIBO_DIB_FILL_CLONES __attribute__((target_clones("avx2", "default")))
#endif
PIBO_DIB_FILL_CLONES void FillPixels24(std::uint8_t* p, std::int64_t count, const std::uint8_t* pattern)
{
    std::uint8_t block[96];
    std::memcpy(block, pattern, sizeof(block));
    if (count < 32) {
        std::memcpy(p, block, std::size_t(count) * 3);
        return;
    }
    std::uint8_t* const end = p + count * 3;
    for (std::int64_t i = count / 32; i > 0; --i, p += 96)
        std::memcpy(p, block, sizeof(block));
    if (p != end)
        std::memcpy(end - 96, block, sizeof(block));
}

// The biggest picture a canvas builds: its 32-bit screen copy stays within 1 GB.
constexpr std::int64_t MaxPixels = std::int64_t(1) << 28;

int StrideOf(int width, int bytesPerPixel)
{
    return static_cast<int>((std::int64_t(width) * bytesPerPixel + 3) & ~std::int64_t(3));
}

inline std::uint8_t* RowAddr(int y)
{
    return GState.Bits + std::int64_t(GState.Height - 1 - y) * GState.Stride;
}

inline std::uint8_t* PixelAddr(int x, int y)
{
    return RowAddr(y) + std::int64_t(x) * GState.BytesPerPixel;
}

enum TPixelOp { opSet, opXor, opNotXor };

template <TPixelOp Op>
inline void ApplyPixel(std::uint8_t* p, std::uint32_t color)
{
    if (GState.BytesPerPixel == 1) {
        const auto c = static_cast<std::uint8_t>(color);
        if (Op == opSet)
            *p = c;
        else if (Op == opXor)
            *p ^= c;
        else
            *p ^= static_cast<std::uint8_t>(~c);
    } else {
        // 0x00BBGGRR stored as blue, green, red.
        const std::uint8_t b = static_cast<std::uint8_t>(color >> 16);
        const std::uint8_t g = static_cast<std::uint8_t>(color >> 8);
        const std::uint8_t r = static_cast<std::uint8_t>(color);
        if (Op == opSet) {
            p[0] = b;
            p[1] = g;
            p[2] = r;
        } else if (Op == opXor) {
            p[0] ^= b;
            p[1] ^= g;
            p[2] ^= r;
        } else {
            p[0] ^= static_cast<std::uint8_t>(~b);
            p[1] ^= static_cast<std::uint8_t>(~g);
            p[2] ^= static_cast<std::uint8_t>(~r);
        }
    }
}

inline bool Inside(int x, int y)
{
    return x >= GState.ClipLeft && x < GState.ClipRight && y >= GState.ClipTop && y < GState.ClipBottom;
}

// Fills count pixels of one row from p in the current colour.
inline void FillRow(std::uint8_t* p, int count)
{
    if (count <= 0)
        return;
    if (GState.BytesPerPixel == 1) {
        std::memset(p, static_cast<std::uint8_t>(GState.Color), static_cast<std::size_t>(count));
        return;
    }
    // The pattern of 32 pixels is made once per colour.
    if (GPatternColor != GState.Color || !GPatternValid) {
        for (int i = 0; i < 96; i += 3) {
            GPattern[i] = static_cast<std::uint8_t>(GState.Color >> 16);
            GPattern[i + 1] = static_cast<std::uint8_t>(GState.Color >> 8);
            GPattern[i + 2] = static_cast<std::uint8_t>(GState.Color);
        }
        GPatternColor = GState.Color;
        GPatternValid = true;
    }
    FillPixels24(p, count, GPattern);
}

// Orders the ends of a horizontal span and cuts it to the clip rectangle;
// false when nothing of it is inside.
bool ClipHorz(int& x1, int& x2, int y)
{
    if (!GState.Bits || y < GState.ClipTop || y >= GState.ClipBottom)
        return false;
    if (x1 > x2)
        std::swap(x1, x2);
    x1 = std::max(x1, GState.ClipLeft);
    x2 = std::min(x2, GState.ClipRight);
    return x1 < x2;
}

bool ClipVert(int x, int& y1, int& y2)
{
    if (!GState.Bits || x < GState.ClipLeft || x >= GState.ClipRight)
        return false;
    if (y1 > y2)
        std::swap(y1, y2);
    y1 = std::max(y1, GState.ClipTop);
    y2 = std::min(y2, GState.ClipBottom);
    return y1 < y2;
}

template <TPixelOp Op>
void VertSpan(int x, int y1, int y2, int step, std::uint32_t color)
{
    if (!ClipVert(x, y1, y2))
        return;
    std::uint8_t* p = PixelAddr(x, y1);
    const std::int64_t rowStep = GState.RowStep * step;
    for (int y = y1; y < y2; y += step, p += rowStep)
        ApplyPixel<Op>(p, color);
}

// ---------------------------------------------------------------- lines

enum : int { codeLeft = 1, codeRight = 2, codeAbove = 4, codeBelow = 8 };

int OutCode(std::int64_t x, std::int64_t y)
{
    int code = 0;
    if (y >= GState.ClipBottom)
        code |= codeBelow;
    else if (y < GState.ClipTop)
        code |= codeAbove;
    if (x >= GState.ClipRight)
        code |= codeRight;
    else if (x < GState.ClipLeft)
        code |= codeLeft;
    return code;
}

// Clips the line to the clip rectangle by the four-region outcode method, in
// wide arithmetic; false when nothing of it is inside.
bool ClipLine(std::int64_t& x1, std::int64_t& y1, std::int64_t& x2, std::int64_t& y2)
{
    for (int round = 0; round < 8; ++round) {
        const int c1 = OutCode(x1, y1);
        const int c2 = OutCode(x2, y2);
        if ((c1 | c2) == 0)
            return true;
        if (c1 & c2)
            return false;
        const bool first = c1 != 0;
        const int code = first ? c1 : c2;
        std::int64_t& px = first ? x1 : x2;
        std::int64_t& py = first ? y1 : y2;
        const std::int64_t qx = first ? x2 : x1;
        const std::int64_t qy = first ? y2 : y1;
        const auto along = [](std::int64_t p, std::int64_t q, std::int64_t pe, std::int64_t qe, std::int64_t edge) {
            // The other coordinate where the line from p to q meets the edge.
            return p + static_cast<std::int64_t>(static_cast<TWide>(q - p) * (edge - pe) / (qe - pe));
        };
        if (code & codeBelow) {
            const std::int64_t edge = GState.ClipBottom - 1;
            px = along(px, qx, py, qy, edge);
            py = edge;
        } else if (code & codeAbove) {
            const std::int64_t edge = GState.ClipTop;
            px = along(px, qx, py, qy, edge);
            py = edge;
        } else if (code & codeRight) {
            const std::int64_t edge = GState.ClipRight - 1;
            py = along(py, qy, px, qx, edge);
            px = edge;
        } else {
            const std::int64_t edge = GState.ClipLeft;
            py = along(py, qy, px, qx, edge);
            px = edge;
        }
    }
    return OutCode(x1, y1) == 0 && OutCode(x2, y2) == 0;
}

template <TPixelOp Op>
void Line(int ax1, int ay1, int ax2, int ay2)
{
    if (!GState.Bits)
        return;
    std::int64_t x1 = ax1, y1 = ay1, x2 = ax2, y2 = ay2;
    if (!ClipLine(x1, y1, x2, y2))
        return;
    // Both ends now lie inside the picture.
    int px1 = static_cast<int>(x1), py1 = static_cast<int>(y1);
    int px2 = static_cast<int>(x2), py2 = static_cast<int>(y2);
    const std::uint32_t color = GState.Color;
    if (px1 == px2) {
        // The lower end is not drawn.
        const int top = std::min(py1, py2);
        const int count = std::abs(py2 - py1);
        std::uint8_t* p = PixelAddr(px1, top);
        for (int i = 0; i < count; ++i, p += GState.RowStep)
            ApplyPixel<Op>(p, color);
        return;
    }
    if (px1 > px2) {
        std::swap(px1, px2);
        std::swap(py1, py2);
    }
    const int dx = px2 - px1;
    const int dy = py2 - py1;
    const int adx = dx;
    const int ady = std::abs(dy);
    const std::int64_t rowStep = dy < 0 ? -GState.RowStep : GState.RowStep;
    const int bpp = GState.BytesPerPixel;
    std::uint8_t* p = PixelAddr(px1, py1);
    if (ady == 0) {
        for (int i = 0; i < adx; ++i, p += bpp)
            ApplyPixel<Op>(p, color);
        return;
    }
    // Bresenham stepping along the longer axis; the right end is not drawn.
    if (adx >= ady) {
        std::int64_t error = 2 * std::int64_t(ady) - adx;
        for (int i = 0; i < adx; ++i) {
            ApplyPixel<Op>(p, color);
            if (error > 0) {
                p += rowStep;
                error -= 2 * std::int64_t(adx);
            }
            error += 2 * std::int64_t(ady);
            p += bpp;
        }
    } else {
        std::int64_t error = 2 * std::int64_t(adx) - ady;
        for (int i = 0; i < ady; ++i) {
            ApplyPixel<Op>(p, color);
            if (error > 0) {
                p += bpp;
                error -= 2 * std::int64_t(ady);
            }
            error += 2 * std::int64_t(adx);
            p += rowStep;
        }
    }
}

// ---------------------------------------------------------------- pixel conversion

inline QRgb RgbOfTColor(TColor color)
{
    return qRgb(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                static_cast<int>((color >> 16) & 0xFF));
}

// 0x00BBGGRR of a 24-bit pixel in memory.
inline std::uint32_t ValueOf24(const std::uint8_t* p)
{
    return std::uint32_t(p[2]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[0]) << 16);
}

}  // namespace

// ---------------------------------------------------------------- pass control

const TDIBDrawState& DIBDrawState()
{
    return GState;
}

void BeginDirectDrawBits(std::uint8_t* bits, int width, int height, int bitsPerPixel)
{
    GDrawLock.lock();
    if (GState.Bits)
        GOuterStates.push_back(GState);
    TDIBDrawState state;
    state.BitsPerPixel = bitsPerPixel;
    state.BytesPerPixel = bitsPerPixel / 8;
    state.Width = width;
    state.Height = height;
    state.Stride = StrideOf(width, state.BytesPerPixel);
    state.RowStep = -std::int64_t(state.Stride);
    state.Bits = bits;
    state.ClipRight = width;
    state.ClipBottom = height;
    GState = state;
}

void EndDirectDrawBits()
{
    if (!GOuterStates.empty()) {
        GState = GOuterStates.back();
        GOuterStates.pop_back();
    } else {
        GState = TDIBDrawState();
    }
    GDrawLock.unlock();
}

// ---------------------------------------------------------------- routines

void PutPixel(int x, int y, std::uint32_t value)
{
    if (!GState.Bits || !Inside(x, y))
        return;
    ApplyPixel<opSet>(PixelAddr(x, y), value);
}

std::int32_t GetPixelValue(int x, int y)
{
    if (!GState.Bits || !Inside(x, y))
        return -1;
    const std::uint8_t* p = PixelAddr(x, y);
    return GState.BytesPerPixel == 1 ? *p : static_cast<std::int32_t>(ValueOf24(p));
}

void PenMoveTo(int x, int y)
{
    GState.PenX = x;
    GState.PenY = y;
}

void PenLineTo(int x, int y)
{
    Line<opSet>(GState.PenX, GState.PenY, x, y);
    GState.PenX = x;
    GState.PenY = y;
}

void DrawLine(int x1, int y1, int x2, int y2)
{
    Line<opSet>(x1, y1, x2, y2);
}

void DrawLineNotXor(int x1, int y1, int x2, int y2)
{
    Line<opNotXor>(x1, y1, x2, y2);
}

void HorzLine(int x1, int x2, int y)
{
    if (!ClipHorz(x1, x2, y))
        return;
    FillRow(PixelAddr(x1, y), x2 - x1);
}

void HorzLineDashed(int x1, int x2, int y)
{
    if (!ClipHorz(x1, x2, y))
        return;
    const int length = x2 - x1;
    if (length < 4)
        return;
    for (int x = x1; x < x2; x += 8)
        FillRow(PixelAddr(x, y), std::min(4, x2 - x));
}

void HorzLineDotted(int x1, int x2, int y, int gap)
{
    if (!ClipHorz(x1, x2, y))
        return;
    const int step = std::max(gap, 1) + 1;
    for (std::int64_t x = x1; x < x2; x += step)
        ApplyPixel<opSet>(PixelAddr(static_cast<int>(x), y), GState.Color);
}

void VertLine(int x, int y1, int y2)
{
    VertSpan<opSet>(x, y1, y2, 1, GState.Color);
}

void VertLineDashed(int x, int y1, int y2)
{
    if (!ClipVert(x, y1, y2))
        return;
    if (y2 - y1 < 4) {
        VertSpan<opSet>(x, y1, y2, 1, GState.Color);
        return;
    }
    for (int y = y1; y < y2; y += 8)
        VertSpan<opSet>(x, y, std::min(y + 4, y2), 1, GState.Color);
}

void VertLineDotted(int x, int y1, int y2, int gap)
{
    VertSpan<opSet>(x, y1, y2, std::max(gap, 1) + 1, GState.Color);
}

void VertLineXor(int x, int y1, int y2)
{
    VertSpan<opXor>(x, y1, y2, 1, GState.Color);
}

void VertLineNotXor(int x, int y1, int y2)
{
    VertSpan<opNotXor>(x, y1, y2, 1, GState.Color);
}

void VertLineCopy(int x, int y, const std::uint8_t* source, int count)
{
    if (GState.BytesPerPixel != 1 || !source || count <= 0)
        return;
    int y1 = y;
    int y2 = static_cast<int>(std::min<std::int64_t>(std::int64_t(y) + count, INT32_MAX));
    if (!ClipVert(x, y1, y2))
        return;
    const std::uint8_t* s = source + (y1 - y);
    std::uint8_t* p = PixelAddr(x, y1);
    for (int row = y1; row < y2; ++row, p += GState.RowStep)
        *p = *s++;
}

void FrameRectangle(int x1, int y1, int x2, int y2)
{
    HorzLine(x1, x2, y1);
    HorzLine(x1, x2, y2 - 1);
    VertLine(x1, y1, y2);
    VertLine(x2 - 1, y1, y2);
}

namespace {

// The rectangle cut to the clip rectangle; false when empty.
bool ClipRect(const QRect& rect, int& left, int& top, int& right, int& bottom)
{
    if (!GState.Bits)
        return false;
    // QRect keeps the right and bottom edges as x + width and y + height.
    const std::int64_t r = std::int64_t(rect.x()) + rect.width();
    const std::int64_t b = std::int64_t(rect.y()) + rect.height();
    if (r <= rect.x() || b <= rect.y())
        return false;
    left = std::max(rect.x(), GState.ClipLeft);
    top = std::max(rect.y(), GState.ClipTop);
    right = static_cast<int>(std::min<std::int64_t>(r, GState.ClipRight));
    bottom = static_cast<int>(std::min<std::int64_t>(b, GState.ClipBottom));
    return left < right && top < bottom;
}

}  // namespace

void FillRectangle(const QRect& rect)
{
    int left, top, right, bottom;
    if (!ClipRect(rect, left, top, right, bottom))
        return;
    const int count = right - left;
    if (count == GState.Width && GState.Stride == GState.Width * GState.BytesPerPixel) {
        // Whole rows without padding lie in one block of memory.
        FillRow(RowAddr(bottom - 1), count * (bottom - top));
        return;
    }
    if (GState.BytesPerPixel == 1 || top + 1 == bottom) {
        for (int y = top; y < bottom; ++y)
            FillRow(PixelAddr(left, y), count);
        return;
    }
    // 24 bits: fill the first row, copy it to the others.
    std::uint8_t* first = PixelAddr(left, top);
    FillRow(first, count);
    const std::size_t bytes = std::size_t(count) * 3;
    for (int y = top + 1; y < bottom; ++y)
        std::memcpy(PixelAddr(left, y), first, bytes);
}

void XorRectangle(const QRect& rect)
{
    int left, top, right, bottom;
    if (!ClipRect(rect, left, top, right, bottom))
        return;
    for (int y = top; y < bottom; ++y) {
        std::uint8_t* p = PixelAddr(left, y);
        for (int x = left; x < right; ++x, p += GState.BytesPerPixel)
            ApplyPixel<opXor>(p, GState.Color);
    }
}

void FillRectanglePattern(const QRect& rect, bool pattern)
{
    if (!pattern) {
        FillRectangle(rect);
        return;
    }
    int left, top, right, bottom;
    if (!ClipRect(rect, left, top, right, bottom))
        return;
    // Every second pixel of every second row, counted from the rectangle's
    // own top-left pixel.
    const int x0 = left + ((left - rect.x()) & 1);
    const int y0 = top + ((top - rect.y()) & 1);
    for (int y = y0; y < bottom; y += 2) {
        std::uint8_t* p = PixelAddr(x0, y);
        for (int x = x0; x < right; x += 2, p += 2 * GState.BytesPerPixel)
            ApplyPixel<opSet>(p, GState.Color);
    }
}

void ClearAll()
{
    if (!GState.Bits)
        return;
    if (GState.BytesPerPixel == 1) {
        std::memset(GState.Bits, static_cast<std::uint8_t>(GState.Color),
                    std::size_t(GState.Stride) * std::size_t(GState.Height));
        return;
    }
    if (GState.Stride == GState.Width * 3) {
        FillRow(GState.Bits, GState.Width * GState.Height);
        return;
    }
    std::uint8_t* bottom = GState.Bits;
    FillRow(bottom, GState.Width);
    const std::size_t bytes = std::size_t(GState.Width) * 3;
    for (int row = 1; row < GState.Height; ++row)
        std::memcpy(bottom + std::int64_t(row) * GState.Stride, bottom, bytes);
}

void CopyBits(const std::uint8_t* sourceBits, int x, int y, int width, int height, int sourceX, int sourceY)
{
    if (!GState.Bits || !sourceBits || width <= 0 || height <= 0)
        return;
    std::int64_t dx = x, dy = y, sx = sourceX, sy = sourceY, w = width, h = height;
    // Clip both blocks to the picture.
    const auto cut = [](std::int64_t& a, std::int64_t& b, std::int64_t& size, std::int64_t limit) {
        if (a < 0) {
            b -= a;
            size += a;
            a = 0;
        }
        if (b < 0) {
            a -= b;
            size += b;
            b = 0;
        }
        size = std::min({size, limit - a, limit - b});
    };
    cut(dx, sx, w, GState.Width);
    cut(dy, sy, h, GState.Height);
    if (w <= 0 || h <= 0)
        return;
    const std::size_t bytes = std::size_t(w) * GState.BytesPerPixel;
    const auto sourceRow = [&](std::int64_t row) {
        return sourceBits + (GState.Height - 1 - row) * std::int64_t(GState.Stride) + sx * GState.BytesPerPixel;
    };
    // Rows in the order that leaves an overlapping source intact.
    if (dy > sy) {
        for (std::int64_t i = h - 1; i >= 0; --i)
            std::memmove(PixelAddr(static_cast<int>(dx), static_cast<int>(dy + i)), sourceRow(sy + i), bytes);
    } else {
        for (std::int64_t i = 0; i < h; ++i)
            std::memmove(PixelAddr(static_cast<int>(dx), static_cast<int>(dy + i)), sourceRow(sy + i), bytes);
    }
}

namespace {

// The horizontal half-width of an ellipse on the row dy away from its centre
// (rx, ry above 0, |dy| <= ry).
std::int64_t HalfWidthAt(std::int64_t dy, std::int64_t rx, std::int64_t ry)
{
    const long double t = 1.0L - (static_cast<long double>(dy) * dy) / (static_cast<long double>(ry) * ry);
    return static_cast<std::int64_t>(std::floor(static_cast<long double>(rx) * std::sqrt(std::max(t, 0.0L)) + 0.5L));
}

}  // namespace

void FillEllipse(int centerX, int centerY, int radiusX, int radiusY)
{
    if (!GState.Bits || radiusX <= 0 || radiusY <= 0)
        return;
    // Only the rows inside the picture are visited.
    const std::int64_t top = std::max<std::int64_t>(std::int64_t(centerY) - radiusY, GState.ClipTop);
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t(centerY) + radiusY, GState.ClipBottom - 1);
    for (std::int64_t row = top; row <= bottom; ++row) {
        const std::int64_t dx = HalfWidthAt(row - centerY, radiusX, radiusY);
        const std::int64_t left = std::max<std::int64_t>(centerX - dx, GState.ClipLeft);
        const std::int64_t right = std::min<std::int64_t>(std::int64_t(centerX) + dx + 1, GState.ClipRight);
        if (left < right)
            FillRow(PixelAddr(static_cast<int>(left), static_cast<int>(row)), static_cast<int>(right - left));
    }
}

void DrawArc(int centerX, int centerY, int startAngle, int endAngle, int radiusX, int radiusY)
{
    if (!GState.Bits || radiusX <= 0 || radiusY <= 0)
        return;
    const int a1 = ((startAngle % 360) + 360) % 360;
    const int a2 = ((endAngle % 360) + 360) % 360;
    if (a1 == a2)
        return;
    // Counter-clockwise from the start angle to the end angle, y pointing up.
    const auto onArc = [&](std::int64_t dx, std::int64_t dy) {
        double angle = std::atan2(-static_cast<double>(dy) * radiusX, static_cast<double>(dx) * radiusY) * 180.0 / M_PI;
        if (angle < 0)
            angle += 360.0;
        return a1 < a2 ? (angle >= a1 && angle <= a2) : (angle >= a1 || angle <= a2);
    };
    const auto plot = [&](std::int64_t dx, std::int64_t dy) {
        const std::int64_t x = centerX + dx;
        const std::int64_t y = centerY + dy;
        if (x >= GState.ClipLeft && x < GState.ClipRight && y >= GState.ClipTop && y < GState.ClipBottom &&
            onArc(dx, dy))
            ApplyPixel<opSet>(PixelAddr(static_cast<int>(x), static_cast<int>(y)), GState.Color);
    };
    // The outline: per visible row the two ends of the row's span, per
    // visible column the two ends of the column's span, so that flat and steep
    // parts both stay closed.
    const std::int64_t rowFrom = std::max<std::int64_t>(std::int64_t(centerY) - radiusY, GState.ClipTop);
    const std::int64_t rowTo = std::min<std::int64_t>(std::int64_t(centerY) + radiusY, GState.ClipBottom - 1);
    for (std::int64_t row = rowFrom; row <= rowTo; ++row) {
        const std::int64_t dy = row - centerY;
        const std::int64_t dx = HalfWidthAt(dy, radiusX, radiusY);
        plot(-dx, dy);
        if (dx != 0)
            plot(dx, dy);
    }
    const std::int64_t colFrom = std::max<std::int64_t>(std::int64_t(centerX) - radiusX, GState.ClipLeft);
    const std::int64_t colTo = std::min<std::int64_t>(std::int64_t(centerX) + radiusX, GState.ClipRight - 1);
    for (std::int64_t col = colFrom; col <= colTo; ++col) {
        const std::int64_t dx = col - centerX;
        const std::int64_t dy = HalfWidthAt(dx, radiusY, radiusX);
        plot(dx, -dy);
        if (dy != 0)
            plot(dx, dy);
    }
}

// ---------------------------------------------------------------- TSndDIBCanvas

TSndDIBCanvas::TSndDIBCanvas(TSndDIBGraphicControl* owner) : FOwner(owner)
{
}

TSndDIBCanvas::~TSndDIBCanvas() = default;

void TSndDIBCanvas::SetBitsPerPixel(int value)
{
    if (value == FBitsPerPixel)
        return;
    if (value != 8 && value != 24)
        throw ESndDIBError(QStringLiteral("Bitlength not supported yet"));
    FBitsPerPixel = value;
    RebuildDIB();
}

void TSndDIBCanvas::SetPaletteRealize(bool value)
{
    if (value == FPaletteRealize)
        return;
    FPaletteRealize = value;
    RebuildDIB();
}

void TSndDIBCanvas::SetBounds(int, int, int width, int height)
{
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (width == FWidth && height == FHeight)
        return;
    FWidth = width;
    FHeight = height;
    FRebuild = true;
    if (FPassDepth > 0)
        RebuildDIB();  // raises: the pass keeps drawing on the old picture
}

void TSndDIBCanvas::SetBackGroundBitmap(const TBitmap* value)
{
    if (value)
        FBackGroundBitmap = *value;
    else
        FBackGroundBitmap.Clear();
    RebuildDIB();
}

void TSndDIBCanvas::SetStretchBackGround(bool value)
{
    if (value == FStretchBackGround)
        return;
    FStretchBackGround = value;
    if (!FBackGroundBitmap.Empty())
        RebuildDIB();
}

void TSndDIBCanvas::CheckDIB()
{
    if (FRebuild || !FBits)
        RebuildDIB();
}

void TSndDIBCanvas::RebuildDIB()
{
    if (FPassDepth > 0) {
        FRebuild = true;
        const QString owner =
            FOwner ? QString::fromLatin1(FOwner->metaObject()->className()) : QStringLiteral("TSndDIBCanvas");
        throw ESndDIBError(owner + QStringLiteral(": Attempt to create new DIB while initialized for drawing"));
    }
    FreeDIB();
    CreateDIB();
}

void TSndDIBCanvas::FreeDIB()
{
    FBackground.reset();
    FBits.reset();
    FScreen = QImage();
    FPalette.reset();
    FBitmapInfo.reset();
    FColorTable.clear();
    FRebuild = true;
}

void TSndDIBCanvas::CreateDIB()
{
    const std::int64_t stride = StrideOf(FWidth, FBitsPerPixel / 8);
    const std::int64_t bytes = stride * FHeight;
    if (std::int64_t(FWidth) * FHeight > MaxPixels)
        throw ESndDIBError(QStringLiteral("Unable to allocate memory for DIB"));

    FBitmapInfo.reset(CreateBitmapInfo(FBitsPerPixel, 1, FWidth, false, FHeight));
    FPalette.reset(CreateSystemPalette());
    const QImage& picture = FBackGroundBitmap.Image();
    if (!picture.isNull()) {
        // Entries 10 to 244 come from the picture's own palette.
        const QList<QRgb> colors = picture.colorTable();
        for (int i = 10; i < 245 && i < colors.size(); ++i)
            FPalette->palPalEntry[i] = TPaletteEntry{static_cast<std::uint8_t>(qRed(colors[i])),
                                                     static_cast<std::uint8_t>(qGreen(colors[i])),
                                                     static_cast<std::uint8_t>(qBlue(colors[i])), 0};
    }
    FColorTable.resize(256);
    for (int i = 0; i < 256; ++i) {
        const TPaletteEntry& e = FPalette->palPalEntry[i];
        FBitmapInfo->bmiColors[i] = TRGBQuad{e.peBlue, e.peGreen, e.peRed, std::uint8_t(i >= 10 && i <= 245 ? 4 : 0)};
        FColorTable[i] = qRgb(e.peRed, e.peGreen, e.peBlue);
    }

    FBits.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(bytes)]());
    FScreen = QImage(FWidth, FHeight, QImage::Format_RGB32);
    if (!FBits || FScreen.isNull()) {
        FreeDIB();
        throw ESndDIBError(QStringLiteral("Unable to allocate memory for DIB"));
    }

    if (!picture.isNull()) {
        QImage scaled(FWidth, FHeight, QImage::Format_RGB32);
        if (scaled.isNull()) {
            FreeDIB();
            throw ESndDIBError(QStringLiteral("Unable to allocate memory for DIB"));
        }
        {
            QPainter painter(&scaled);
            if (FStretchBackGround) {
                painter.drawImage(QRect(0, 0, FWidth, FHeight), picture);
            } else {
                for (int y = 0; y < FHeight; y += picture.height())
                    for (int x = 0; x < FWidth; x += picture.width())
                        painter.drawImage(x, y, picture);
            }
        }
        FBackground.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(bytes)]());
        if (!FBackground) {
            FreeDIB();
            throw ESndDIBError(QStringLiteral("Unable to allocate memory for DIB"));
        }
        QHash<QRgb, std::uint8_t> nearest;
        for (int y = 0; y < FHeight; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(scaled.constScanLine(y));
            std::uint8_t* row = FBackground.get() + std::int64_t(FHeight - 1 - y) * stride;
            for (int x = 0; x < FWidth; ++x) {
                const QRgb c = line[x] | 0xFF000000u;
                if (FBitsPerPixel == 8) {
                    auto it = nearest.constFind(c);
                    if (it == nearest.constEnd())
                        it = nearest.insert(c, NearestIndex(c));
                    row[x] = *it;
                } else {
                    row[3 * x] = static_cast<std::uint8_t>(qBlue(c));
                    row[3 * x + 1] = static_cast<std::uint8_t>(qGreen(c));
                    row[3 * x + 2] = static_cast<std::uint8_t>(qRed(c));
                }
            }
        }
    }
    FRebuild = false;
}

std::uint8_t* TSndDIBCanvas::Bits()
{
    CheckDIB();
    return FBits.get();
}

const std::uint8_t* TSndDIBCanvas::BackgroundBits()
{
    CheckDIB();
    return FBackground.get();
}

int TSndDIBCanvas::Stride() const
{
    return StrideOf(FWidth, FBitsPerPixel / 8);
}

const std::vector<QRgb>& TSndDIBCanvas::ColorTable()
{
    CheckDIB();
    return FColorTable;
}

std::uint8_t TSndDIBCanvas::NearestIndex(QRgb rgb) const
{
    int best = 0;
    std::int64_t bestDistance = INT64_MAX;
    for (int i = 0; i < 256; ++i) {
        const TPaletteEntry& e = FPalette->palPalEntry[i];
        const std::int64_t dr = int(e.peRed) - qRed(rgb);
        const std::int64_t dg = int(e.peGreen) - qGreen(rgb);
        const std::int64_t db = int(e.peBlue) - qBlue(rgb);
        const std::int64_t distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return static_cast<std::uint8_t>(best);
}

void TSndDIBCanvas::ConvertToScreen(int x, int y, int width, int height)
{
    const int left = std::max(x, 0);
    const int top = std::max(y, 0);
    const int right = static_cast<int>(std::min<std::int64_t>(std::int64_t(x) + width, FWidth));
    const int bottom = static_cast<int>(std::min<std::int64_t>(std::int64_t(y) + height, FHeight));
    if (left >= right || top >= bottom)
        return;
    const int stride = Stride();
    for (int row = top; row < bottom; ++row) {
        const std::uint8_t* src = FBits.get() + std::int64_t(FHeight - 1 - row) * stride;
        auto* dst = reinterpret_cast<QRgb*>(FScreen.scanLine(row));
        if (FBitsPerPixel == 8) {
            const QRgb* table = FColorTable.data();
            for (int col = left; col < right; ++col)
                dst[col] = table[src[col]];
        } else {
            for (int col = left; col < right; ++col) {
                const std::uint8_t* p = src + 3 * col;
                dst[col] = 0xFF000000u | (QRgb(p[2]) << 16) | (QRgb(p[1]) << 8) | p[0];
            }
        }
    }
}

void TSndDIBCanvas::BlitToDC(QPainter* target, int x, int y, int width, int height, int sourceX, int sourceY)
{
    if (!target || !FBits || width <= 0 || height <= 0)
        return;
    ConvertToScreen(sourceX, sourceY, width, height);
    target->drawImage(QPoint(x, y), FScreen, QRect(sourceX, sourceY, width, height));
}

std::uint32_t TSndDIBCanvas::TColorToDrawColor(TColor color)
{
    const TColor rgb = ColorToRGB(color) & 0xFFFFFF;
    if (FBitsPerPixel == 24)
        return rgb;
    CheckDIB();
    return NearestIndex(RgbOfTColor(rgb));
}

std::uint32_t TSndDIBCanvas::SelectDrawTColor(TColor color)
{
    const std::uint32_t value = TColorToDrawColor(color);
    SelectDrawColor(value);
    return value;
}

void TSndDIBCanvas::SelectDrawColor(std::uint32_t value)
{
    if (FBitsPerPixel == 8)
        GState.Color = (value & 0xFF) * 0x01010101u;
    else
        GState.Color = value & 0xFFFFFF;
}

void TSndDIBCanvas::BeginDirectDraw()
{
    GDrawLock.lock();
    try {
        if (OnChanging)
            OnChanging();
        CheckDIB();
    } catch (...) {
        GDrawLock.unlock();
        throw;
    }
    BeginDirectDrawBits(FBits.get(), FWidth, FHeight, FBitsPerPixel);
    GDrawLock.unlock();  // the pass holds the lock taken by BeginDirectDrawBits
    ++FPassDepth;
}

void TSndDIBCanvas::EndDirectDraw()
{
    if (FPassDepth == 0)
        return;
    --FPassDepth;
    EndDirectDrawBits();
    if (OnChange)
        OnChange();
}

// ---------------------------------------------------------------- TSndDIBPaint

TSndDIBPaint::TSndDIBPaint(TSndDIBCanvas& canvas) : FDIB(canvas)
{
    FDIB.CheckDIB();
    if (FDIB.FBitsPerPixel == 24) {
        // The memory seen top-down is the picture upside down: paint flipped.
        FImage = QImage(FDIB.FBits.get(), FDIB.FWidth, FDIB.FHeight, FDIB.Stride(), QImage::Format_BGR888);
        FPainter = std::make_unique<QPainter>(&FImage);
        FPainter->translate(0, FDIB.FHeight);
        FPainter->scale(1, -1);
    } else {
        FDIB.ConvertToScreen(0, 0, FDIB.FWidth, FDIB.FHeight);
        FPainter = std::make_unique<QPainter>(&FDIB.FScreen);
    }
    FCanvas = std::make_unique<TCanvas>(*FPainter);
}

TSndDIBPaint::~TSndDIBPaint()
{
    FCanvas.reset();
    FPainter.reset();
    if (FDIB.FBitsPerPixel != 8)
        return;
    // Every pixel the painting changed becomes the nearest palette index.
    const int stride = FDIB.Stride();
    const QRgb* table = FDIB.FColorTable.data();
    QRgb lastColor = 0;
    std::uint8_t lastIndex = 0;
    bool haveLast = false;
    for (int row = 0; row < FDIB.FHeight; ++row) {
        std::uint8_t* dst = FDIB.FBits.get() + std::int64_t(FDIB.FHeight - 1 - row) * stride;
        const auto* src = reinterpret_cast<const QRgb*>(FDIB.FScreen.constScanLine(row));
        for (int col = 0; col < FDIB.FWidth; ++col) {
            const QRgb c = src[col] | 0xFF000000u;
            if (c == table[dst[col]])
                continue;
            if (!haveLast || c != lastColor) {
                lastColor = c;
                lastIndex = FDIB.NearestIndex(c);
                haveLast = true;
            }
            dst[col] = lastIndex;
        }
    }
}

// ---------------------------------------------------------------- TSndDIBGraphicControl

TSndDIBGraphicControl::TSndDIBGraphicControl(QWidget* parent)
    : TSndGraphicControl(parent), FDIBCanvas(std::make_unique<TSndDIBCanvas>(this))
{
    FDIBCanvas->SetBounds(0, 0, width(), height());
}

TSndDIBGraphicControl::~TSndDIBGraphicControl() = default;

void TSndDIBGraphicControl::SetBackGroundDIB(const TBitmap& value)
{
    FBackGroundDIB = value;
    BackGroundChanged();
}

void TSndDIBGraphicControl::BackGroundChanged()
{
    FDIBCanvas->SetBackGroundBitmap(FUseBackGroundDIB ? &FBackGroundDIB : nullptr);
    update();
}

void TSndDIBGraphicControl::SetUseBackGroundDIB(bool value)
{
    if (value == FUseBackGroundDIB)
        return;
    FUseBackGroundDIB = value && !FBackGroundDIB.Empty();
    FDIBCanvas->SetPaletteRealize(FUseBackGroundDIB);
    BackGroundChanged();
}

void TSndDIBGraphicControl::SetPaletteRealize(bool value)
{
    if (value == FDIBCanvas->PaletteRealize())
        return;
    FDIBCanvas->SetPaletteRealize(value);
    update();
}

void TSndDIBGraphicControl::SetPaletteMapped(bool value)
{
    if (value == FDIBCanvas->PaletteMapped())
        return;
    FDIBCanvas->SetPaletteMapped(value);
    update();
}

void TSndDIBGraphicControl::SetBitsPerPixel(int value)
{
    FDIBCanvas->SetBitsPerPixel(value);
    update();
}

void TSndDIBGraphicControl::SetBounds(int left, int top, int width, int height)
{
    setGeometry(left, top, std::max(width, 0), std::max(height, 0));
    BoundsChanged();  // also when the size stayed (no resize event then)
}

void TSndDIBGraphicControl::BoundsChanged()
{
    FDIBCanvas->SetBounds(0, 0, width(), height());
}

void TSndDIBGraphicControl::PaintBackground()
{
    if (const std::uint8_t* background = FDIBCanvas->BackgroundBits()) {
        CopyBits(background, 0, 0, FDIBCanvas->Width(), FDIBCanvas->Height(), 0, 0);
    } else {
        FDIBCanvas->SelectDrawTColor(Color());
        ClearAll();
    }
}

void TSndDIBGraphicControl::DrawDirect(const std::function<void(TCanvas& canvas)>& procedure, const QRect& area)
{
    if (FPaintCanvas) {
        procedure(*FPaintCanvas);
        return;
    }
    if (!isVisible() || !window()->isVisible())
        return;
    FDirectProc = procedure;
    FDirectArea = area.isEmpty() ? rect() : area.intersected(rect());
    repaint(FDirectArea);
    FDirectProc = nullptr;
}

bool TSndDIBGraphicControl::PaintPart(TCanvas&, const QRect&)
{
    return false;
}

void TSndDIBGraphicControl::PaintEntry(QPaintEvent* event)
{
    QPainter painter(this);
    TCanvas canvas(painter);
    canvas.Font = Font;
    struct TPaintScope {
        TCanvas*& Slot;
        ~TPaintScope() { Slot = nullptr; }
    } scope{FPaintCanvas};
    FPaintCanvas = &canvas;
    if (FDirectProc) {
        const auto procedure = std::move(FDirectProc);
        FDirectProc = nullptr;
        if (!FDirectArea.contains(event->rect()))
            Paint(canvas);
        procedure(canvas);
    } else if (!PaintPart(canvas, event->rect())) {
        Paint(canvas);
    }
}

namespace {

// Runs an event's handling; no exception of ours leaves a Qt event handler.
template <typename F>
void AtEventEntry(F&& handling)
{
    try {
        handling();
    } catch (const std::exception& e) {
        HandleApplicationException(QString::fromUtf8(e.what()));
    }
}

}  // namespace

void TSndDIBGraphicControl::paintEvent(QPaintEvent* event)
{
    AtEventEntry([&] { PaintEntry(event); });
}

void TSndDIBGraphicControl::resizeEvent(QResizeEvent* event)
{
    AtEventEntry([&] {
        TSndGraphicControl::resizeEvent(event);
        BoundsChanged();
    });
}

void TSndDIBGraphicControl::mousePressEvent(QMouseEvent* event)
{
    AtEventEntry([&] { TSndGraphicControl::mousePressEvent(event); });
}

void TSndDIBGraphicControl::mouseReleaseEvent(QMouseEvent* event)
{
    AtEventEntry([&] { TSndGraphicControl::mouseReleaseEvent(event); });
}

void TSndDIBGraphicControl::mouseMoveEvent(QMouseEvent* event)
{
    AtEventEntry([&] { TSndGraphicControl::mouseMoveEvent(event); });
}
