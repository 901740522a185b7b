// The DIB canvas: direct drawing on the DIB bytes, clipping, the pass rules,
// painting through the canvas and the blit.

#include "MMDIBCv.h"

#include <QtGui/QPainter>

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <utility>
#include <vector>

namespace {

using TPixels = std::set<std::pair<int, int>>;

// A canvas of the given size, open for drawing in index 1 on index 0.
class TPass {
public:
    TPass(int width, int height, int bits = 8) : FCanvas(nullptr)
    {
        FCanvas.SetBitsPerPixel(bits);
        FCanvas.SetBounds(0, 0, width, height);
        FCanvas.BeginDirectDraw();
        FCanvas.SelectDrawColor(0);
        ClearAll();
        FCanvas.SelectDrawColor(bits == 8 ? 1 : 0x010203);
    }
    ~TPass() { FCanvas.EndDirectDraw(); }

    TSndDIBCanvas& Canvas() { return FCanvas; }

    // Every pixel that is not 0.
    TPixels Set() const
    {
        TPixels result;
        const TDIBDrawState& s = DIBDrawState();
        for (int y = 0; y < s.Height; ++y)
            for (int x = 0; x < s.Width; ++x)
                if (GetPixelValue(x, y) != 0)
                    result.insert({x, y});
        return result;
    }

private:
    TSndDIBCanvas FCanvas;
};

TPixels Row(int y, std::initializer_list<int> xs)
{
    TPixels result;
    for (int x : xs)
        result.insert({x, y});
    return result;
}

TPixels Column(int x, int y1, int y2)
{
    TPixels result;
    for (int y = y1; y < y2; ++y)
        result.insert({x, y});
    return result;
}

TPixels Join(TPixels a, const TPixels& b)
{
    a.insert(b.begin(), b.end());
    return a;
}

TPixels Span(int x1, int x2, int y)
{
    TPixels result;
    for (int x = x1; x < x2; ++x)
        result.insert({x, y});
    return result;
}

}  // namespace

// Line ends: the lower or right end is never drawn, in either direction;
// lines reaching past an edge are clipped and those wholly outside draw
// nothing.
TEST(DIBCanvas, LineEndsAndClipping)
{
    struct TCase {
        int x1, y1, x2, y2;
        TPixels expected;
    };
    const std::vector<TCase> cases = {
        {0, 0, 3, 0, Row(0, {0, 1, 2})},
        {3, 0, 0, 0, Row(0, {0, 1, 2})},
        {5, 9, 5, 2, Column(5, 2, 9)},
        {5, 2, 5, 9, Column(5, 2, 9)},
        {0, 0, 3, 3, TPixels{{0, 0}, {1, 1}, {2, 2}}},
        {3, 3, 0, 0, TPixels{{0, 0}, {1, 1}, {2, 2}}},
        {0, 3, 3, 0, TPixels{{0, 3}, {1, 2}, {2, 1}}},
        {2, 4, 100, 4, Span(2, 15, 4)},     // moved onto the last column, which is the undrawn end
        {-50, 4, 3, 4, Span(0, 3, 4)},
        {4, -100, 4, 2, Column(4, 0, 2)},
        {4, 3, 4, 1000, Column(4, 3, 11)},  // last row 11 is the lower end
        {20, 0, 40, 11, {}},                // wholly right
        {-9, 0, -1, 11, {}},                // wholly left
        {0, -5, 15, -1, {}},                // wholly above
        {0, 12, 15, 30, {}},                // wholly below
        {7, 7, 7, 7, {}},
    };
    for (const TCase& c : cases) {
        TPass pass(16, 12);
        DrawLine(c.x1, c.y1, c.x2, c.y2);
        EXPECT_EQ(pass.Set(), c.expected) << c.x1 << "," << c.y1 << " - " << c.x2 << "," << c.y2;
    }
    // The pen follows PenLineTo to the unclipped end.
    TPass pass(16, 12);
    PenMoveTo(1, 1);
    PenLineTo(4, 1);
    PenLineTo(4, 3);
    EXPECT_EQ(pass.Set(), (TPixels{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {4, 2}}));
    EXPECT_EQ(DIBDrawState().PenX, 4);
    EXPECT_EQ(DIBDrawState().PenY, 3);
}

TEST(DIBCanvas, SpansClipAtEveryEdge)
{
    struct TCase {
        const char* name;
        std::function<void()> draw;
        TPixels expected;
    };
    const std::vector<TCase> cases = {
        {"horz left", [] { HorzLine(-5, 3, 0); }, Span(0, 3, 0)},
        {"horz right", [] { HorzLine(50, 7, 7); }, Span(7, 10, 7)},
        {"horz above", [] { HorzLine(0, 10, -1); }, {}},
        {"horz below", [] { HorzLine(0, 10, 8); }, {}},
        {"vert top", [] { VertLine(0, -5, 3); }, Column(0, 0, 3)},
        {"vert bottom", [] { VertLine(9, 100, 5); }, Column(9, 5, 8)},
        {"vert left", [] { VertLine(-1, 0, 8); }, {}},
        {"vert right", [] { VertLine(10, 0, 8); }, {}},
        {"rect corner", [] { FillRectangle(Rect(-5, -5, 2, 2)); }, TPixels{{0, 0}, {1, 0}, {0, 1}, {1, 1}}},
        {"rect far corner", [] { FillRectangle(Rect(8, 6, 100, 100)); }, TPixels{{8, 6}, {9, 6}, {8, 7}, {9, 7}}},
        {"rect reversed", [] { FillRectangle(Rect(5, 0, 3, 4)); }, {}},
        {"frame", [] { FrameRectangle(1, 1, 4, 4); },
         TPixels{{1, 1}, {2, 1}, {3, 1}, {1, 3}, {2, 3}, {3, 3}, {1, 2}, {3, 2}}},
        {"pixel outside", [] { PutPixel(10, 0, 1); PutPixel(0, 8, 1); PutPixel(-1, 0, 1); PutPixel(0, -1, 1); }, {}},
        {"pixel inside", [] { PutPixel(9, 7, 5); }, TPixels{{9, 7}}},
    };
    for (const TCase& c : cases) {
        TPass pass(10, 8);
        c.draw();
        EXPECT_EQ(pass.Set(), c.expected) << c.name;
    }
    TPass pass(10, 8);
    for (auto [x, y] : std::vector<std::pair<int, int>>{{10, 0}, {0, 8}, {-1, 3}, {3, -1}})
        EXPECT_EQ(GetPixelValue(x, y), -1) << x << "," << y;
    PutPixel(9, 7, 77);
    EXPECT_EQ(GetPixelValue(9, 7), 77);
}

TEST(DIBCanvas, DashedAndDottedSpans)
{
    struct TCase {
        const char* name;
        std::function<void()> draw;
        TPixels expected;
    };
    const std::vector<TCase> cases = {
        {"dashed 3", [] { HorzLineDashed(0, 3, 1); }, {}},
        {"dashed 9", [] { HorzLineDashed(0, 9, 1); }, Row(1, {0, 1, 2, 3, 8})},
        {"dashed 9 reversed", [] { HorzLineDashed(9, 0, 1); }, Row(1, {0, 1, 2, 3, 8})},
        {"dashed 14", [] { HorzLineDashed(2, 16, 1); }, Row(1, {2, 3, 4, 5, 10, 11, 12, 13})},
        {"vert dashed 3", [] { VertLineDashed(1, 0, 3); }, Column(1, 0, 3)},
        {"vert dashed 10", [] { VertLineDashed(1, 0, 10); }, Join(Column(1, 0, 4), Column(1, 8, 10))},
        {"dotted gap 1", [] { HorzLineDotted(0, 9, 2, 1); }, Row(2, {0, 2, 4, 6, 8})},
        {"dotted gap 0", [] { HorzLineDotted(0, 9, 2, 0); }, Row(2, {0, 2, 4, 6, 8})},
        {"dotted gap 2", [] { HorzLineDotted(1, 8, 2, 2); }, Row(2, {1, 4, 7})},
        {"vert dotted", [] { VertLineDotted(3, 0, 7, 1); }, TPixels{{3, 0}, {3, 2}, {3, 4}, {3, 6}}},
    };
    for (const TCase& c : cases) {
        TPass pass(20, 12);
        c.draw();
        EXPECT_EQ(pass.Set(), c.expected) << c.name;
    }
}

TEST(DIBCanvas, ByteLayoutAt8And24Bits)
{
    {
        // 24 bits: pure red is stored blue, green, red in memory row Height - 1 - y.
        TPass pass(5, 4, 24);
        PutPixel(2, 1, 0xFF);
        const std::uint8_t* bits = pass.Canvas().Bits();
        const int stride = pass.Canvas().Stride();
        EXPECT_EQ(stride, 16);
        const std::uint8_t* p = bits + (4 - 1 - 1) * stride + 2 * 3;
        EXPECT_EQ(p[0], 0x00);
        EXPECT_EQ(p[1], 0x00);
        EXPECT_EQ(p[2], 0xFF);
        EXPECT_EQ(GetPixelValue(2, 1), 0xFF);
        pass.Canvas().SelectDrawColor(0x00123456);
        HorzLine(0, 5, 3);
        EXPECT_EQ(bits[0], 0x12);
        EXPECT_EQ(bits[1], 0x34);
        EXPECT_EQ(bits[2], 0x56);
        EXPECT_EQ(GetPixelValue(4, 3), 0x00123456);
    }
    {
        // 24-bit spans of every length end exactly at their right end.
        for (int length = 1; length < 70; ++length) {
            TPass pass(80, 1, 24);
            pass.Canvas().SelectDrawColor(0x00A1B2C3);
            HorzLine(5, 5 + length, 0);
            for (int x = 0; x < 80; ++x)
                ASSERT_EQ(GetPixelValue(x, 0), x >= 5 && x < 5 + length ? 0x00A1B2C3 : 0) << length << " at " << x;
        }
    }
    {
        // 8 bits: ClearAll fills every byte, the row padding too.
        TPass pass(5, 3, 8);
        EXPECT_EQ(pass.Canvas().Stride(), 8);
        pass.Canvas().SelectDrawColor(7);
        ClearAll();
        const std::uint8_t* bits = pass.Canvas().Bits();
        for (int i = 0; i < 8 * 3; ++i)
            EXPECT_EQ(bits[i], 7) << i;
    }
}

TEST(DIBCanvas, CopyBitsOntoItselfInEveryDirection)
{
    struct TCase {
        const char* name;
        int x, y, w, h, sx, sy;  // the block copy
        int dx, dy;              // pixel (x, y) now holds the old pixel (x + dx, y + dy)
    };
    const std::vector<TCase> cases = {
        {"left", 0, 0, 15, 10, 1, 0, 1, 0},
        {"right", 1, 0, 15, 10, 0, 0, -1, 0},
        {"up", 0, 0, 16, 9, 0, 1, 0, 1},
        {"down", 0, 1, 16, 9, 0, 0, 0, -1},
    };
    for (int bits : {8, 24}) {
        for (const TCase& c : cases) {
            TPass pass(16, 10, bits);
            const auto value = [bits](int x, int y) {
                const std::uint32_t v = std::uint32_t(x * 7 + y * 13 + 1);
                return bits == 8 ? (v & 0xFF) : (v | (v << 8) | ((v ^ 0x5A) << 16));
            };
            for (int y = 0; y < 10; ++y)
                for (int x = 0; x < 16; ++x)
                    PutPixel(x, y, value(x, y));
            CopyBits(pass.Canvas().Bits(), c.x, c.y, c.w, c.h, c.sx, c.sy);
            for (int y = c.y; y < c.y + c.h; ++y)
                for (int x = c.x; x < c.x + c.w; ++x)
                    ASSERT_EQ(std::uint32_t(GetPixelValue(x, y)), value(x + c.dx, y + c.dy))
                        << c.name << " at " << bits << " bits, pixel " << x << "," << y;
        }
    }
}

TEST(DIBCanvas, BitsPerPixelAndRebuildRules)
{
    TSndDIBGraphicControl control;
    TSndDIBCanvas& canvas = control.DIBCanvas();
    try {
        canvas.SetBitsPerPixel(16);
        FAIL() << "16 bits accepted";
    } catch (const ESndDIBError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Bitlength not supported yet"));
    }
    EXPECT_EQ(canvas.BitsPerPixel(), 8);

    canvas.SetBounds(0, 0, 20, 10);
    canvas.BeginDirectDraw();
    const QString expected = QStringLiteral("TSndDIBGraphicControl: Attempt to create new DIB while initialized for drawing");
    try {
        canvas.SetBitsPerPixel(24);
        ADD_FAILURE() << "rebuild during a pass";
    } catch (const ESndDIBError& e) {
        EXPECT_EQ(e.Message(), expected);
    }
    try {
        canvas.SetBounds(0, 0, 30, 10);
        ADD_FAILURE() << "resize during a pass";
    } catch (const ESndDIBError& e) {
        EXPECT_EQ(e.Message(), expected);
    }
    // The pass goes on over the old picture.
    EXPECT_EQ(DIBDrawState().Width, 20);
    HorzLine(0, 100, 0);
    canvas.EndDirectDraw();
    EXPECT_TRUE(canvas.Idle());
    // The next pass has the new picture.
    canvas.BeginDirectDraw();
    EXPECT_EQ(DIBDrawState().Width, 30);
    EXPECT_EQ(DIBDrawState().BitsPerPixel, 24);
    canvas.EndDirectDraw();
}

TEST(DIBCanvas, SizeThatCannotBeAllocatedIsRefused)
{
    TSndDIBCanvas canvas(nullptr);
    canvas.SetBounds(0, 0, 100000, 100000);
    EXPECT_THROW(canvas.BeginDirectDraw(), ESndDIBError);
    EXPECT_EQ(DIBDrawState().Bits, nullptr);
    canvas.SetBounds(0, 0, 8, 8);
    canvas.BeginDirectDraw();
    EXPECT_NE(DIBDrawState().Bits, nullptr);
    canvas.EndDirectDraw();
}

// Random figures far beyond the picture never touch the bytes around it.
TEST(DIBCanvas, FuzzedFiguresStayInsideThePicture)
{
    std::mt19937 random(20261210);
    const auto coordinate = [&random]() {
        switch (random() % 3) {
        case 0: return int(random() % 2000001) - 1000000;
        case 1: return int(random() % 81) - 20;
        default: return int(random() % 32769) - 16384;
        }
    };
    constexpr int Guard = 64;
    for (int bits : {8, 24}) {
        for (int round = 0; round < 40; ++round) {
            const int width = 1 + int(random() % 37);
            const int height = 1 + int(random() % 23);
            const int stride = (width * bits / 8 + 3) & ~3;
            std::vector<std::uint8_t> memory(std::size_t(stride) * height + 2 * Guard, 0xA5);
            std::uint8_t* picture = memory.data() + Guard;
            std::vector<std::uint8_t> source(std::size_t(stride) * height, 0x3C);
            TSndDIBCanvas colours(nullptr);
            colours.SetBitsPerPixel(bits);
            BeginDirectDrawBits(picture, width, height, bits);
            for (int step = 0; step < 300; ++step) {
                const std::uint32_t colour = random();
                colours.SelectDrawColor(colour);
                const int a = coordinate(), b = coordinate(), c = coordinate(), d = coordinate();
                switch (random() % 17) {
                case 0: DrawLine(a, b, c, d); break;
                case 1: DrawLineNotXor(a, b, c, d); break;
                case 2: PenMoveTo(a, b); PenLineTo(c, d); break;
                case 3: HorzLine(a, b, c); break;
                case 4: HorzLineDashed(a, b, c); break;
                case 5: HorzLineDotted(a, b, c, d % 5); break;
                case 6: VertLine(a, b, c); break;
                case 7: VertLineDashed(a, b, c); break;
                case 8: VertLineDotted(a, b, c, d % 5); break;
                case 9: VertLineXor(a, b, c); VertLineNotXor(a, b, c); break;
                case 10: VertLineCopy(a, b, source.data(), int(random() % 40)); break;
                case 11: FrameRectangle(a, b, c, d); break;
                case 12: FillRectangle(Rect(a, b, c, d)); XorRectangle(Rect(c, d, a, b)); break;
                case 13: FillRectanglePattern(Rect(a, b, c, d), random() % 2); break;
                case 14: FillEllipse(a, b, c, d); break;
                case 15: DrawArc(a, b, c, d, int(random() % 1000000), int(random() % 1000000)); break;
                default: CopyBits(source.data(), a % 100, b % 100, c % 100, d % 100, c % 50, a % 50); break;
                }
                PutPixel(a, b, colour);
                (void)GetPixelValue(c, d);
            }
            EndDirectDrawBits();
            for (int i = 0; i < Guard; ++i) {
                ASSERT_EQ(memory[i], 0xA5) << "before, round " << round;
                ASSERT_EQ(memory[memory.size() - 1 - i], 0xA5) << "after, round " << round;
            }
        }
    }
}

TEST(DIBCanvas, EllipsesAndArcs)
{
    {
        TPass pass(20, 20);
        FillEllipse(10, 10, 0, 5);
        FillEllipse(10, 10, 5, -1);
        DrawArc(10, 10, 0, 90, 0, 4);
        DrawArc(10, 10, 30, 30, 4, 4);
        EXPECT_TRUE(pass.Set().empty());
    }
    {
        TPass pass(20, 20);
        FillEllipse(10, 10, 3, 2);
        const TPixels set = pass.Set();
        EXPECT_EQ(set.count({10, 10}), 1u);
        EXPECT_EQ(set.count({13, 10}), 1u);
        EXPECT_EQ(set.count({7, 10}), 1u);
        EXPECT_EQ(set.count({14, 10}), 0u);
        EXPECT_EQ(set.count({10, 8}), 1u);
        EXPECT_EQ(set.count({10, 7}), 0u);
    }
    {
        // A quarter arc from 0 to 90 degrees lies right of and above the centre.
        TPass pass(20, 20);
        DrawArc(10, 10, 0, 90, 5, 5);
        const TPixels set = pass.Set();
        EXPECT_FALSE(set.empty());
        for (auto [x, y] : set) {
            EXPECT_GE(x, 10);
            EXPECT_LE(y, 10);
        }
        EXPECT_EQ(set.count({15, 10}), 1u);
        EXPECT_EQ(set.count({10, 5}), 1u);
    }
}

// Pen, brush and font drawing reaches the same bytes as direct drawing.
TEST(DIBCanvas, PaintingThroughTheCanvasReachesTheBits)
{
    for (int bits : {8, 24}) {
        TSndDIBCanvas canvas(nullptr);
        canvas.SetBitsPerPixel(bits);
        canvas.SetBounds(0, 0, 12, 6);
        {
            TSndDIBPaint paint(canvas);
            paint.Canvas().Painter().fillRect(QRect(2, 1, 3, 2), QColor(255, 0, 0));
        }
        canvas.BeginDirectDraw();
        const std::uint32_t red = canvas.TColorToDrawColor(clRed);
        EXPECT_EQ(red, bits == 8 ? 249u : 0xFFu);
        // System colours resolve through the application palette first.
        if (bits == 24) {
            EXPECT_EQ(canvas.TColorToDrawColor(clWindow), ColorToRGB(clWindow) & 0xFFFFFF);
        }
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 12; ++x) {
                const bool inside = x >= 2 && x < 5 && y >= 1 && y < 3;
                EXPECT_EQ(GetPixelValue(x, y), inside ? std::int32_t(red) : 0) << bits << " bits at " << x << "," << y;
            }
        canvas.EndDirectDraw();
    }
}

// The blit shows the picture the right way up in the palette's colours.
TEST(DIBCanvas, BlitShowsThePicture)
{
    for (int bits : {8, 24}) {
        TSndDIBCanvas canvas(nullptr);
        canvas.SetBitsPerPixel(bits);
        canvas.SetBounds(0, 0, 8, 5);
        canvas.BeginDirectDraw();
        canvas.SelectDrawTColor(clWhite);
        ClearAll();
        canvas.SelectDrawTColor(0x00FF00);
        HorzLine(0, 8, 0);
        canvas.SelectDrawTColor(0xFF0000);
        PutPixel(7, 4, canvas.TColorToDrawColor(0xFF0000));
        canvas.EndDirectDraw();
        QImage target(20, 20, QImage::Format_RGB32);
        target.fill(Qt::black);
        {
            QPainter painter(&target);
            canvas.BlitToDC(&painter, 3, 4, 8, 5, 0, 0);
        }
        EXPECT_EQ(target.pixel(3, 4), qRgb(0, 255, 0)) << bits;
        EXPECT_EQ(target.pixel(10, 4), qRgb(0, 255, 0)) << bits;
        EXPECT_EQ(target.pixel(4, 5), qRgb(255, 255, 255)) << bits;
        EXPECT_EQ(target.pixel(10, 8), qRgb(0, 0, 255)) << bits;
        EXPECT_EQ(target.pixel(11, 8), qRgb(0, 0, 0)) << bits;
    }
}
