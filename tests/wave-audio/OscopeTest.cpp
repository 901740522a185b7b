// The waveform display: property clamps, buffer sizes and column values, the
// picture in the DIB (marks, gain, kinds), the mouse selection, a recording's
// picture with a line drawn over it, and failures inside events.

#include "ApplicationException.h"
#include "SndOscope.h"
#include "WaveFixtures.h"

#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtGui/QScreen>
#include <QtWidgets/QApplication>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

// Palette indices of the DIB's static colours.
constexpr int IndexBlack = 0;
constexpr int IndexTeal = 6;
constexpr int IndexRed = 249;
constexpr int IndexLime = 250;
constexpr int IndexAqua = 254;

// A display inside a host window, with a flat frame so that the plot covers
// the whole control.
struct TScopeHost {
    QWidget Host;
    TSndOscope* Scope;

    TScopeHost(int width, int height, bool show = true)
    {
        Host.resize(width + 20, height + 20);
        Scope = new TSndOscope(&Host);
        Scope->Bevel().SetBevelOuter(bvNone);
        Scope->SetBounds(0, 0, width, height);
        if (show) {
            Host.show();
            QApplication::processEvents();
        }
    }

    void Show(const std::vector<std::uint8_t>& bytes) { Scope->ShowBuffer(bytes.data(), std::int64_t(bytes.size())); }

    // The DIB's value at a pixel of the plot.
    int Pixel(int x, int y)
    {
        TSndDIBCanvas& dib = Scope->DIBCanvas();
        dib.BeginDirectDraw();
        const int value = GetPixelValue(x, y);
        dib.EndDirectDraw();
        return value;
    }

    // The rows of one column that are not the background.
    std::vector<int> Drawn(int x)
    {
        std::vector<int> rows;
        for (int y = 0; y < Scope->PlotRect().height(); ++y)
            if (Pixel(x, y) != IndexBlack)
                rows.push_back(y);
        return rows;
    }
};

std::vector<std::uint8_t> Mono16(const std::vector<std::int16_t>& samples)
{
    std::vector<std::uint8_t> bytes(samples.size() * 2);
    std::memcpy(bytes.data(), samples.data(), bytes.size());
    return bytes;
}

void SendMouse(QWidget* widget, QEvent::Type type, Qt::MouseButton button, QPoint point)
{
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease || type == QEvent::MouseMove
                                         ? Qt::MouseButtons(Qt::NoButton)
                                         : Qt::MouseButtons(button);
    QMouseEvent event(type, QPointF(point), widget->mapToGlobal(QPointF(point)),
                      type == QEvent::MouseMove ? Qt::NoButton : button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

}  // namespace

TEST(Oscope, PropertyClamps)
{
    TScopeHost host(100, 48, false);
    TSndOscope& s = *host.Scope;
    struct TCase {
        const char* name;
        std::function<void()> set;
        std::function<int()> get;
        int expected;
    };
    const std::vector<TCase> cases = {
        {"zoom 3", [&] { s.SetZoom(3); }, [&] { return s.Zoom(); }, 3},
        {"zoom 0 keeps", [&] { s.SetZoom(0); }, [&] { return s.Zoom(); }, 3},
        {"zoom 12", [&] { s.SetZoom(12); }, [&] { return s.Zoom(); }, 9},
        {"zoom -12", [&] { s.SetZoom(-12); }, [&] { return s.Zoom(); }, -9},
        {"fft 1000", [&] { s.SetFFTLength(1000); }, [&] { return s.FFTLength(); }, 512},
        {"fft 5000", [&] { s.SetFFTLength(5000); }, [&] { return s.FFTLength(); }, 4096},
        {"fft 0", [&] { s.SetFFTLength(0); }, [&] { return s.FFTLength(); }, 1},
        {"steps 20", [&] { s.SetSteps(20); }, [&] { return s.Steps(); }, 9},
        {"steps 0", [&] { s.SetSteps(0); }, [&] { return s.Steps(); }, 1},
        {"gain 5", [&] { s.SetGain(5); }, [&] { return s.Gain(); }, 5},
        {"gain 40 ignored", [&] { s.SetGain(40); }, [&] { return s.Gain(); }, 5},
        {"gain -9 ignored", [&] { s.SetGain(-9); }, [&] { return s.Gain(); }, 5},
        {"gain -8", [&] { s.SetGain(-8); }, [&] { return s.Gain(); }, -8},
        {"rate 100", [&] { s.SetSampleRate(100); }, [&] { return s.SampleRate(); }, 8000},
        {"rate 96000", [&] { s.SetSampleRate(96000); }, [&] { return s.SampleRate(); }, 88200},
        {"bar 0", [&] { s.SetBarWidth(0); }, [&] { return s.BarWidth(); }, 1},
    };
    for (const TCase& c : cases) {
        c.set();
        EXPECT_EQ(c.get(), c.expected) << c.name;
    }
    // Defaults.
    TSndOscope fresh;
    EXPECT_EQ(fresh.width(), 194);
    EXPECT_EQ(fresh.height(), 90);
    EXPECT_EQ(fresh.PlotRect(), QRect(1, 1, 192, 88));
    EXPECT_EQ(fresh.Kind(), okDots);
    EXPECT_EQ(fresh.ForegroundColor(), clAqua);
    EXPECT_EQ(fresh.cursor().shape(), Qt::CrossCursor);
}

TEST(Oscope, DisplayBytes)
{
    struct TCase {
        TSndBits bits;
        TSndMode mode;
        int zoom;
        bool scroll;
        int expected;
    };
    const std::vector<TCase> cases = {
        {b8Bit, mMono, 1, false, 100},   {b16Bit, mMono, 1, false, 200},  {b8Bit, mStereo, 1, false, 200},
        {b16Bit, mStereo, 1, false, 400}, {b8Bit, mMono, 2, false, 200},  {b16Bit, mStereo, 9, false, 3600},
        {b8Bit, mMono, -1, false, 52},   {b16Bit, mStereo, -3, false, 104}, {b16Bit, mMono, 1, true, 256},
    };
    for (const TCase& c : cases) {
        TScopeHost host(100, 48, false);
        TSndOscope& s = *host.Scope;
        s.SetBitLength(c.bits);
        s.SetMode(c.mode);
        s.SetZoom(c.zoom);
        s.SetScroll(c.scroll);
        EXPECT_EQ(s.DisplayBytes(), c.expected)
            << c.bits << " " << c.mode << " zoom " << c.zoom << " scroll " << c.scroll;
    }
}

TEST(Oscope, ColumnValuesFromTheBuffer)
{
    TScopeHost host(100, 48, false);
    TSndOscope& s = *host.Scope;
    // 16-bit stereo: left 1000, right -3001.
    s.SetBitLength(b16Bit);
    s.SetMode(mStereo);
    std::vector<std::int16_t> frames;
    for (int i = 0; i < 100; ++i) {
        frames.push_back(1000);
        frames.push_back(-3001);
    }
    const std::vector<std::uint8_t> stereo = Mono16(frames);
    struct TCase {
        TSndChannel channel;
        int expected;
    };
    for (const TCase& c : {TCase{chBoth, -1000}, TCase{chLeft, 1000}, TCase{chRight, -3001}}) {
        s.SetChannel(c.channel);
        host.Show(stereo);
        EXPECT_EQ(s.Data()[0], c.expected) << c.channel;
        EXPECT_EQ(s.Data()[99], c.expected) << c.channel;
    }
    // 8-bit: unsigned bytes become byte x 256 - 32768; both channels are
    // averaged on the bytes.
    s.SetBitLength(b8Bit);
    std::vector<std::uint8_t> bytes8;
    for (int i = 0; i < 100; ++i) {
        bytes8.push_back(201);
        bytes8.push_back(100);
    }
    s.SetChannel(chBoth);
    host.Show(bytes8);
    EXPECT_EQ(s.Data()[5], 150 * 256 - 32768);
    s.SetMode(mMono);
    host.Show(bytes8);
    EXPECT_EQ(s.Data()[0], 201 * 256 - 32768);
    EXPECT_EQ(s.Data()[1], 100 * 256 - 32768);

    // Zoom 2 takes every second frame, zoom -1 shows each frame twice.
    s.SetBitLength(b16Bit);
    std::vector<std::int16_t> ramp(200);
    for (int i = 0; i < 200; ++i)
        ramp[i] = std::int16_t(i);
    const std::vector<std::uint8_t> rampBytes = Mono16(ramp);
    s.SetZoom(2);
    host.Show(rampBytes);
    EXPECT_EQ(s.Data()[7], 14);
    s.SetZoom(-1);
    host.Show(rampBytes);
    EXPECT_EQ(s.Data()[6], 3);
    EXPECT_EQ(s.Data()[7], 3);
}

// A buffer shorter than DisplayBytes draws what it holds; the other columns are 0.
TEST(Oscope, ShortBufferIsNeverReadPastItsEnd)
{
    TScopeHost host(100, 48, false);
    TSndOscope& s = *host.Scope;
    s.SetBitLength(b16Bit);
    ASSERT_EQ(s.DisplayBytes(), 200);
    std::vector<std::int16_t> previous(100, 555);
    const std::vector<std::uint8_t> full = Mono16(previous);
    host.Show(full);
    // Ten samples in a block of exactly their size.
    std::vector<std::int16_t> samples{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    auto block = std::make_unique<std::uint8_t[]>(20);
    std::memcpy(block.get(), samples.data(), 20);
    s.ShowBuffer(block.get(), 20);
    for (int c = 0; c < 100; ++c)
        EXPECT_EQ(s.Data()[c], c < 10 ? c + 1 : 0) << c;
    // An odd byte count: the last half sample is not read.
    s.ShowBuffer(block.get(), 19);
    EXPECT_EQ(s.Data()[8], 9);
    EXPECT_EQ(s.Data()[9], 0);
    s.ShowBuffer(nullptr, 200);
    EXPECT_EQ(s.Data()[0], 0);
    s.ShowBuffer(block.get(), -5);
    EXPECT_EQ(s.Data()[0], 0);
}

// SetMarks: the marked columns in the foreground colour, the rest inactive.
TEST(Oscope, MarksColourTheColumns)
{
    TScopeHost host(60, 40);
    TSndOscope& s = *host.Scope;
    s.SetBitLength(b16Bit);
    std::vector<std::int16_t> samples(60, 16000);
    const std::vector<std::uint8_t> bytes = Mono16(samples);
    s.SetKind(okMirLines);
    host.Show(bytes);
    s.SetMarks(10, 20, true);
    // The bar of every column covers rows 10..28 (level 29 of 40, mirrored).
    for (int x : {0, 9, 10, 15, 20, 21, 59}) {
        const int expected = x >= 10 && x <= 20 ? IndexAqua : IndexTeal;
        EXPECT_EQ(host.Pixel(x, 12), expected) << "bar of column " << x;
        EXPECT_EQ(host.Pixel(x, 19), expected) << "middle line at column " << x;
    }
    // okConLines: the segment ending in column i colours from column i - 1;
    // segments ending in 11..20 are marked.
    s.SetKind(okConLines);
    s.SetMarks(10, 20, true);
    const int row = 40 - int(((16000LL + 32767) * 40) / 65535) - 1;
    for (int x : {8, 9, 10, 15, 19, 20, 21}) {
        const int expected = x >= 10 && x <= 19 ? IndexAqua : IndexTeal;
        EXPECT_EQ(host.Pixel(x, row), expected) << "line at column " << x;
    }
    // Marks beyond the plot are cut to its width, negative ones become -1.
    s.SetMarks(-5, 500, false);
    EXPECT_EQ(s.MarkFirst(), -1);
    EXPECT_EQ(s.MarkLast(), 60);
}

TEST(Oscope, SetSelectionOrdersAndClears)
{
    TScopeHost host(100, 40, false);
    TSndOscope& s = *host.Scope;
    struct TCase {
        int min, max, expectedMin, expectedMax;
    };
    for (const TCase& c : {TCase{30, 10, 10, 30}, TCase{5, 5, -1, -1}, TCase{10, 300, 10, 100},
                           TCase{-3, 10, -1, -1}, TCase{40, 60, 40, 60}}) {
        s.SetSelection(c.min, c.max, true);
        EXPECT_EQ(s.SelectionMin(), c.expectedMin) << c.min << ".." << c.max;
        EXPECT_EQ(s.SelectionMax(), c.expectedMax) << c.min << ".." << c.max;
    }
}

TEST(Oscope, RightButtonSelection)
{
    TScopeHost host(100, 40);
    TSndOscope& s = *host.Scope;
    s.SetUseSelection(true);
    std::vector<std::pair<int, int>> ends;
    std::vector<std::pair<int, int>> selecting;
    int mouseDowns = 0;
    s.OnSelectEnd = [&](TSndOscope*, int min, int max) { ends.push_back({min, max}); };
    s.OnSelecting = [&](TSndOscope*, int min, int max) { selecting.push_back({min, max}); };
    s.OnMouseDown = [&](TMouseButton, Qt::KeyboardModifiers, int, int) { ++mouseDowns; };

    // A click without moving selects nothing.
    SendMouse(&s, QEvent::MouseButtonPress, Qt::RightButton, QPoint(40, 10));
    SendMouse(&s, QEvent::MouseButtonRelease, Qt::RightButton, QPoint(40, 10));
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends.back(), std::make_pair(-1, -1));
    EXPECT_EQ(s.SelectionMin(), -1);
    EXPECT_EQ(mouseDowns, 1);
    EXPECT_EQ(selecting.front(), std::make_pair(-1, -1));

    // A drag selects from the pressed column to the pointer.
    SendMouse(&s, QEvent::MouseButtonPress, Qt::RightButton, QPoint(10, 10));
    SendMouse(&s, QEvent::MouseMove, Qt::RightButton, QPoint(20, 10));
    SendMouse(&s, QEvent::MouseMove, Qt::RightButton, QPoint(30, 12));
    SendMouse(&s, QEvent::MouseButtonRelease, Qt::RightButton, QPoint(30, 12));
    EXPECT_EQ(ends.back(), std::make_pair(10, 30));
    EXPECT_EQ(s.SelectionMin(), 10);
    EXPECT_EQ(s.SelectionMax(), 30);
    // The selection is drawn: filled in SelectionColor.
    EXPECT_EQ(host.Pixel(20, 5), IndexRed);
    EXPECT_EQ(host.Pixel(40, 5), IndexBlack);

    // Dragging inside the selection moves it, kept inside the plot.
    SendMouse(&s, QEvent::MouseButtonPress, Qt::RightButton, QPoint(20, 10));
    SendMouse(&s, QEvent::MouseMove, Qt::RightButton, QPoint(25, 10));
    SendMouse(&s, QEvent::MouseMove, Qt::RightButton, QPoint(300, 10));
    SendMouse(&s, QEvent::MouseButtonRelease, Qt::RightButton, QPoint(300, 10));
    EXPECT_EQ(ends.back(), std::make_pair(80, 100));

    // Dragging the left edge keeps the right one.
    SendMouse(&s, QEvent::MouseButtonPress, Qt::RightButton, QPoint(79, 10));
    SendMouse(&s, QEvent::MouseMove, Qt::RightButton, QPoint(-50, 10));
    SendMouse(&s, QEvent::MouseButtonRelease, Qt::RightButton, QPoint(-50, 10));
    EXPECT_EQ(ends.back(), std::make_pair(0, 100));

    // Locked: no selection by mouse.
    s.SetLocked(true);
    const std::size_t count = ends.size();
    SendMouse(&s, QEvent::MouseButtonPress, Qt::RightButton, QPoint(50, 10));
    SendMouse(&s, QEvent::MouseButtonRelease, Qt::RightButton, QPoint(50, 10));
    EXPECT_EQ(ends.size(), count);
}

TEST(Oscope, PcmOverflowOncePerPlottedColumn)
{
    TScopeHost host(40, 30);
    TSndOscope& s = *host.Scope;
    s.SetBitLength(b16Bit);
    std::vector<std::int16_t> samples(40, 0);
    samples[3] = 32767;
    samples[4] = 32767;
    samples[7] = 32767;
    const std::vector<std::uint8_t> bytes = Mono16(samples);
    int overflows = 0;
    s.OnPcmOverflow = [&](TSndOscope*) { ++overflows; };
    host.Show(bytes);
    EXPECT_EQ(overflows, 3);
    // With Steps 2 only the even columns are plotted.
    overflows = 0;
    s.SetSteps(2);
    host.Show(bytes);
    EXPECT_EQ(overflows, 1);
    // A gain that lifts a value above the plot reports it.
    int gainOverflows = 0;
    s.OnGainOverflow = [&](TSndOscope*) { ++gainOverflows; };
    s.SetSteps(1);
    s.SetGain(32);
    host.Show(bytes);
    EXPECT_EQ(gainOverflows, 3);
}

TEST(Oscope, GainMinus8DrawsOnTheMiddleLevel)
{
    TScopeHost host(30, 40);
    TSndOscope& s = *host.Scope;
    s.SetBitLength(b16Bit);
    std::vector<std::int16_t> samples;
    for (int i = 0; i < 30; ++i)
        samples.push_back(std::int16_t(i % 2 ? 30000 : -30000));
    const std::vector<std::uint8_t> bytes = Mono16(samples);
    s.SetGain(-8);
    s.SetKind(okMirLines);
    host.Show(bytes);
    for (int x = 0; x < 30; ++x)
        EXPECT_EQ(host.Drawn(x), (std::vector<int>{19, 20})) << "mirrored lines, column " << x;
    s.SetKind(okSpikes);
    host.Show(bytes);
    for (int x = 0; x < 30; ++x)
        EXPECT_EQ(host.Drawn(x), (std::vector<int>{39})) << "spikes, column " << x;
    s.SetKind(okDots);
    host.Show(bytes);
    for (int x = 0; x < 30; ++x)
        EXPECT_EQ(host.Drawn(x), (std::vector<int>{20})) << "dots, column " << x;
}

// A resize while the display is hidden takes effect at once, and showing the
// display later keeps the data it was given.
TEST(Oscope, HiddenResizeKeepsTheData)
{
    QWidget host;
    host.resize(400, 100);
    auto* scope = new TSndOscope(&host);
    scope->Bevel().SetBevelOuter(bvNone);
    scope->setGeometry(0, 0, 300, 60);
    scope->SetBitLength(b16Bit);
    EXPECT_EQ(scope->DisplayBytes(), 600);
    std::vector<std::int16_t> samples(300, 1234);
    const std::vector<std::uint8_t> bytes = Mono16(samples);
    scope->ShowBuffer(bytes.data(), std::int64_t(bytes.size()));
    scope->SetMarks(5, 10, true);
    host.show();
    QApplication::processEvents();
    EXPECT_EQ(scope->Data()[299], 1234);
    EXPECT_EQ(scope->MarkLast(), 10);
}

// A recording's picture: a tone, a second of silence, the tone again,
// decimated to one frame per column; the player's line drawn after the pass
// shows in the control's picture.
TEST(Oscope, RecordingPictureWithLineDrawnOver)
{
    if (!wavetest::SoxAvailable())
        GTEST_SKIP() << "sox is not installed";
    QTemporaryDir dir;
    const QString tone = dir.filePath(QStringLiteral("tone.wav"));
    const QString silence = dir.filePath(QStringLiteral("silence.wav"));
    const QString wave = dir.filePath(QStringLiteral("wave.wav"));
    const auto sox = [](const QStringList& args) {
        QProcess p;
        p.start(QStringLiteral("sox"), args);
        return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    };
    const QStringList format{"-r", "8000", "-b", "16", "-c", "1"};
    ASSERT_TRUE(sox(QStringList{"-n"} + format + QStringList{tone, "synth", "1", "sine", "440", "vol", "0.8"}));
    ASSERT_TRUE(sox(QStringList{"-n"} + format + QStringList{silence, "trim", "0", "1"}));
    ASSERT_TRUE(sox({tone, silence, tone, wave}));
    const QByteArray raw = wavetest::SoxRawSamples(wave);
    ASSERT_EQ(raw.size(), 3 * 8000 * 2);

    TScopeHost host(300, 60);
    TSndOscope& s = *host.Scope;
    s.SetKind(okMirLines);
    s.SetForegroundColor(clLime);
    s.SetZoom(1);
    s.SetEffect(efNone);
    s.SetChannel(chBoth);
    s.SetMode(mMono);
    s.SetBitLength(b16Bit);
    s.SetShowInfo(false);
    s.setCursor(Qt::ArrowCursor);
    // One sample frame at even steps through the recording per column.
    const int bytes = s.DisplayBytes();
    const int frames = bytes / 2;
    const int length = int(raw.size() / 2);
    const int step = int(std::lround(double(length) / frames));
    std::vector<std::uint8_t> buffer(std::size_t(bytes), 0);
    for (int k = 0; k < frames && std::int64_t(k) * step < length; ++k)
        std::memcpy(buffer.data() + 2 * k, raw.constData() + 2 * std::int64_t(k) * step, 2);
    s.ShowBuffer(buffer.data(), bytes);
    s.SetMarks(0, 100, true);

    const int middle = 30;
    int bars = 0;
    for (int x = 0; x < 300; ++x) {
        const int second = x * step / 8000;
        const std::vector<int> rows = host.Drawn(x);
        ASSERT_FALSE(rows.empty()) << x;
        const bool bar = rows.front() < middle - 4;
        bars += bar;
        if (second == 1 && (x * step) % 8000 > 200) {
            EXPECT_EQ(rows, (std::vector<int>{middle - 1, middle})) << "silence at column " << x;
        }
        // Every loud sampled point of the tone stands as a bar.
        if (second != 1) {
            EXPECT_TRUE(bar || std::abs(std::int16_t(buffer[2 * x] | (buffer[2 * x + 1] << 8))) < 9000)
                << "tone at column " << x;
        }
        EXPECT_EQ(host.Pixel(x, middle), x <= 100 ? IndexLime : IndexTeal) << x;
    }
    EXPECT_GT(bars, 150);

    // The player's position line, drawn after every pass in NOT XOR mode.
    int posts = 0;
    s.OnPostPaint = [&](TSndOscope* sender) {
        ++posts;
        ASSERT_NE(sender->Canvas(), nullptr);
        QPainter& painter = sender->Canvas()->Painter();
        painter.save();
        painter.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
        painter.setPen(ToQColor(0x800000));
        painter.drawLine(150, 0, 150, sender->height());
        painter.restore();
    };
    const QImage picture = s.grab().toImage();
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(s.Canvas(), nullptr);
    // Black under the line becomes NOT (navy XOR black).
    EXPECT_EQ(QColor(picture.pixel(150, 5)), QColor(255, 255, 127));
    EXPECT_EQ(QColor(picture.pixel(151, 5)), QColor(0, 0, 0));
}

// A failure inside a paint or mouse event stays there; the drawing lock is
// released and the display goes on drawing.
TEST(Oscope, FailureInsideAnEventIsCaught)
{
    QStringList messages;
    SetApplicationExceptionHandler([&](const QString& message) { messages << message; });
    {
        TScopeHost host(50, 30);
        TSndOscope& s = *host.Scope;
        s.OnDrawLine = [](TSndOscope* sender, TSndDIBCanvas& dib, const QRect&, const std::int16_t*) {
            dib.SetBitsPerPixel(24);  // a rebuild during the pass
            (void)sender;
        };
        s.repaint();
        ASSERT_EQ(messages.size(), 1);
        EXPECT_EQ(messages.front(), QStringLiteral("TSndOscope: Attempt to create new DIB while initialized for drawing"));
        EXPECT_TRUE(s.DIBCanvas().Idle());
        EXPECT_EQ(DIBDrawState().Bits, nullptr);

        s.OnDrawLine = nullptr;
        s.OnMouseDown = [](TMouseButton, Qt::KeyboardModifiers, int, int) {
            throw ESndDIBError(QStringLiteral("failure in a handler"));
        };
        SendMouse(&s, QEvent::MouseButtonPress, Qt::LeftButton, QPoint(5, 5));
        SendMouse(&s, QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(5, 5));
        ASSERT_EQ(messages.size(), 2);
        EXPECT_EQ(messages.back(), QStringLiteral("failure in a handler"));

        // Drawing goes on: the rebuilt 24-bit DIB holds the new picture.
        s.SetKind(okSpikes);
        std::vector<std::uint8_t> loud(50, 255);
        host.Show(loud);
        EXPECT_EQ(s.DIBCanvas().BitsPerPixel(), 24);
        EXPECT_EQ(host.Pixel(10, 29), std::int32_t(clAqua));
    }
    SetApplicationExceptionHandler(nullptr);
}

// The read-out box is drawn into the picture while the left button is held
// and the picture under it comes back on release.
TEST(Oscope, ReadoutComesAndGoes)
{
    TScopeHost host(200, 60);
    TSndOscope& s = *host.Scope;
    s.SetBitLength(b16Bit);
    std::vector<std::int16_t> samples(200, 0);
    const std::vector<std::uint8_t> bytes = Mono16(samples);
    host.Show(bytes);
    const auto snapshot = [&] {
        std::vector<int> values;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 200; ++x)
                values.push_back(host.Pixel(x, y));
        return values;
    };
    const std::vector<int> before = snapshot();
    SendMouse(&s, QEvent::MouseButtonPress, Qt::LeftButton, QPoint(20, 10));
    // A white box below the pointer.
    int white = 0;
    for (int y = 25; y < 45; ++y)
        for (int x = 20; x < 120; ++x)
            white += host.Pixel(x, y) == 255;
    EXPECT_GT(white, 100);
    // Buffers wait while the read-out is shown.
    std::vector<std::int16_t> loud(200, 20000);
    const std::vector<std::uint8_t> loudBytes = Mono16(loud);
    host.Show(loudBytes);
    EXPECT_EQ(s.Data()[0], 0);
    SendMouse(&s, QEvent::MouseMove, Qt::LeftButton, QPoint(500, 500));
    SendMouse(&s, QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(500, 500));
    EXPECT_EQ(snapshot(), before);
    // Amplitude and time at points of the plot.
    EXPECT_DOUBLE_EQ(s.GetAmplitudeAt(QPoint(5, 0)), 1.0);
    EXPECT_DOUBLE_EQ(s.GetAmplitudeAt(QPoint(5, 30)), 0.0);
    EXPECT_DOUBLE_EQ(s.GetAmplitudeAt(QPoint(5, 300)), 0.0);
    EXPECT_DOUBLE_EQ(s.GetTimeAt(QPoint(199, 5)), 400 * 1000.0 / (11025 * 2));
}

// Drawing on the control outside a pass draws over the picture already on
// the screen: the rest of it stays.
TEST(Oscope, DrawDirectDrawsOverTheScreenPicture)
{
    TScopeHost host(80, 40);
    TSndOscope& s = *host.Scope;
    s.SetKind(okSpikes);
    std::vector<std::uint8_t> loud(80, 255);
    host.Show(loud);
    s.DrawDirect([](TCanvas& canvas) {
        canvas.Painter().fillRect(QRect(40, 0, 1, 40), QColor(255, 0, 0));
    });
    const QImage screen = QGuiApplication::primaryScreen()->grabWindow(host.Host.winId()).toImage();
    EXPECT_EQ(QColor(screen.pixel(40, 10)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(screen.pixel(20, 10)), QColor(0, 255, 255));
}

// Scrolling mode: one column per buffer behind the bar, then the picture
// moves left one column per buffer: in the DIB, or on the screen with
// Accelerate.
TEST(Oscope, ScrollingModeWritesColumnsThenShifts)
{
    TScopeHost host(20, 20);
    TSndOscope& s = *host.Scope;
    s.SetScroll(true);
    s.SetAccelerate(false);
    s.SetKind(okSpikes);
    s.SetFFTLength(4);
    ASSERT_EQ(s.DisplayBytes(), 4);
    s.repaint();  // a full picture starts the run
    const std::vector<std::uint8_t> loud(4, 255);
    const std::vector<std::uint8_t> quiet(4, 128);
    const auto feed = [&](int k) {
        const auto& buffer = k % 3 == 0 ? loud : quiet;
        s.ShowBuffer(buffer.data(), 4);
    };
    // While the bar runs, each buffer fills the next column behind it.
    std::vector<int> firstLoud;
    for (int k = 0; k < 10; ++k)
        feed(k);
    for (int c = 0; c < 5; ++c)
        if (host.Pixel(c, 0) == IndexAqua)
            firstLoud.push_back(c);
    ASSERT_FALSE(firstLoud.empty());
    EXPECT_EQ(host.Pixel(firstLoud[0] + 3, 0), IndexAqua);
    EXPECT_EQ(host.Pixel(firstLoud[0] + 1, 0), IndexBlack);
    EXPECT_EQ(host.Pixel(firstLoud[0] + 1, 19), IndexAqua);  // a quiet spike is one pixel high
    // Once the bar has passed the right edge, the newest buffer stands in
    // column 14 after the shift and the older ones left of it.
    for (int k = 10; k <= 40; ++k)
        feed(k);
    for (int c = 0; c < 15; ++c)
        EXPECT_EQ(host.Pixel(c, 0), (40 - 14 + c) % 3 == 0 ? IndexAqua : IndexBlack) << "column " << c;

    // With Accelerate the screen moves instead: the newest column is written
    // at the bar's left, column 15, and shown there and in column 14.
    s.SetAccelerate(true);
    s.repaint();
    for (int k = 0; k <= 30; ++k)
        feed(k);
    QApplication::processEvents();
    EXPECT_EQ(host.Pixel(15, 0), IndexAqua);  // buffer 30
    const QImage screen = QGuiApplication::primaryScreen()->grabWindow(host.Host.winId()).toImage();
    const QColor aqua(0, 255, 255);
    const QColor black(0, 0, 0);
    EXPECT_EQ(QColor(screen.pixel(11, 0)), aqua);
    EXPECT_EQ(QColor(screen.pixel(12, 0)), black);
    EXPECT_EQ(QColor(screen.pixel(13, 0)), black);
    EXPECT_EQ(QColor(screen.pixel(14, 0)), aqua);
    EXPECT_EQ(QColor(screen.pixel(15, 0)), aqua);
}

// Effects pick out parts of the marked columns in EffectColor.
TEST(Oscope, EffectsPickOutPeaksAndUpperHalves)
{
    TScopeHost host(10, 30);
    TSndOscope& s = *host.Scope;
    s.SetBitLength(b16Bit);
    std::vector<std::int16_t> samples(10, 30000);
    samples[1] = -30000;
    const std::vector<std::uint8_t> bytes = Mono16(samples);
    struct TCase {
        TSndOscopeKind kind;
        TSndOscopeEffect effect;
        int column, row, expected;
    };
    // ph 30: 30000 gives level 28, row 1; -30000 gives level 1, row 28; as
    // spikes both give level 27, row 2.
    const std::vector<TCase> cases = {
        {okSpikes, efPeak, 0, 2, IndexRed},    {okSpikes, efPeak, 1, 6, IndexRed},
        {okSpikes, efPeak, 0, 7, IndexAqua},   {okSpikes, efNone, 0, 2, IndexAqua},
        {okDots, efSplit, 0, 1, IndexRed},     {okDots, efSplit, 1, 28, IndexAqua},
        {okMirLines, efPeak, 0, 1, IndexRed},  {okMirLines, efPeak, 0, 27, IndexRed},
        {okMirLines, efPeak, 0, 10, IndexAqua}, {okMirLines, efSplit, 0, 10, IndexRed},
        {okMirLines, efSplit, 0, 20, IndexAqua}, {okVertLines, efSplit, 0, 5, IndexRed},
        {okVertLines, efSplit, 1, 20, IndexAqua}, {okVertLines, efPeak, 1, 27, IndexRed},
    };
    for (const TCase& c : cases) {
        s.SetKind(c.kind);
        s.SetEffect(c.effect);
        host.Show(bytes);
        EXPECT_EQ(host.Pixel(c.column, c.row), c.expected)
            << "kind " << c.kind << " effect " << c.effect << " at " << c.column << "," << c.row;
    }
    // Outside the marks no effect is drawn.
    s.SetKind(okSpikes);
    s.SetEffect(efPeak);
    s.SetMarks(5, 9, true);
    EXPECT_EQ(host.Pixel(0, 2), IndexTeal);
    EXPECT_EQ(host.Pixel(6, 2), IndexRed);
}

// Scales, grid and middle line: the control keeps its minimum size and the
// plot moves inside the scales.
TEST(Oscope, ScalesAndGrid)
{
    TScopeHost host(40, 30);
    TSndOscope& s = *host.Scope;
    s.SetDrawAmpScale(true);
    s.SetDrawTimeScale(true);
    EXPECT_GE(s.width(), 66);
    EXPECT_GE(s.height(), 42);
    s.SetBounds(0, 0, 300, 140);
    EXPECT_EQ(s.PlotRect(), QRect(32, 0, 236, 100));
    EXPECT_EQ(s.AmplitudeDivisions(), 10);
    s.SetDrawGrid(true);
    s.SetDrawMidLine(true);
    s.SetKind(okSpikes);
    s.repaint();
    // Grid dots in gray: row 49 (the middle division) and column 14 (the first
    // of 16 time divisions); the dashed middle line on row 50.
    EXPECT_EQ(host.Pixel(0, 49), 248);
    EXPECT_EQ(host.Pixel(1, 49), IndexBlack);
    EXPECT_EQ(host.Pixel(14, 10), 248);
    EXPECT_EQ(host.Pixel(14, 11), IndexBlack);
    EXPECT_EQ(host.Pixel(2, 50), 248);
    EXPECT_EQ(host.Pixel(5, 50), IndexBlack);
    const QImage picture = s.grab().toImage();
    EXPECT_EQ(picture.size(), QSize(300, 140));
    s.SetBounds(0, 0, 300, 40);
    EXPECT_EQ(s.height(), 42);
    EXPECT_EQ(s.AmplitudeDivisions(), 2);
}

// A background picture replaces the plain colour under the data.
TEST(Oscope, BackgroundPicture)
{
    TScopeHost host(20, 10);
    TSndOscope& s = *host.Scope;
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(QColor(0, 0, 255));
    TBitmap bitmap;
    bitmap.Assign(picture);
    s.SetBackGroundDIB(bitmap);
    s.SetUseBackGroundDIB(true);
    s.SetKind(okSpikes);
    s.repaint();
    EXPECT_EQ(host.Pixel(3, 2), 252);  // blue
    s.SetUseBackGroundDIB(false);
    s.repaint();
    EXPECT_EQ(host.Pixel(3, 2), IndexBlack);
}

// A disabled display draws only a flat line and ignores buffers.
TEST(Oscope, DisabledDrawsAFlatLine)
{
    TScopeHost host(40, 20);
    TSndOscope& s = *host.Scope;
    s.SetKind(okSpikes);
    s.SetEnabled(false);
    const std::vector<std::uint8_t> loud(40, 255);
    host.Show(loud);
    EXPECT_EQ(s.Data()[0], 0);
    s.repaint();
    for (int x = 0; x < 40; ++x) {
        EXPECT_EQ(host.Drawn(x), x >= 5 && x < 35 ? std::vector<int>{10} : std::vector<int>{}) << x;
    }
    EXPECT_EQ(host.Pixel(5, 10), 248);
}

// Random settings, sizes and buffers of every length: the display draws them
// without reading past a buffer or writing past its picture, and every pass
// ends.
TEST(Oscope, RandomSettingsAndBuffers)
{
    std::mt19937 random(1210);
    TScopeHost host(120, 60);
    TSndOscope& s = *host.Scope;
    int passes = 0;
    s.OnPostPaint = [&](TSndOscope*) { ++passes; };
    for (int round = 0; round < 150; ++round) {
        switch (random() % 6) {
        case 0: s.SetBounds(0, 0, int(random() % 300), int(random() % 200)); break;
        case 1: s.SetDrawAmpScale(random() % 2); s.SetDrawTimeScale(random() % 2); break;
        case 2: s.SetScroll(random() % 4 == 0); s.SetAccelerate(random() % 2); break;
        case 3: s.SetMarks(int(random() % 400) - 100, int(random() % 400) - 100, random() % 2); break;
        case 4: s.SetSelection(int(random() % 400) - 100, int(random() % 400) - 100, random() % 2); break;
        default: s.SetDrawGrid(random() % 2); s.SetDrawMidLine(random() % 2); break;
        }
        s.SetKind(TSndOscopeKind(random() % 5));
        s.SetEffect(TSndOscopeEffect(random() % 3));
        s.SetBitLength(TSndBits(random() % 2));
        s.SetMode(TSndMode(random() % 2));
        s.SetChannel(TSndChannel(random() % 3));
        s.SetZoom(int(random() % 19) - 9);
        s.SetSteps(int(random() % 10));
        s.SetGain(int(random() % 41) - 8);
        s.SetLowPass(random() % 2);
        s.SetFFTLength(int(random() % 5000));
        const int wanted = s.DisplayBytes();
        const int length = random() % 3 == 0 ? wanted : int(random() % std::max(wanted * 2, 1));
        std::vector<std::uint8_t> buffer(static_cast<std::size_t>(length));
        for (auto& b : buffer)
            b = std::uint8_t(random());
        s.ShowBuffer(buffer.data(), std::int64_t(buffer.size()));
        ASSERT_TRUE(s.DIBCanvas().Idle()) << round;
    }
    EXPECT_GT(passes, 100);
    EXPECT_EQ(DIBDrawState().Bits, nullptr);
}
