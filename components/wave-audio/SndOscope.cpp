#include "SndOscope.h"

#include "SndUtils.h"

#include <QtGui/QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Every display that exists, for the scrolling mode's restart of the others.
std::vector<TSndOscope*>& ScopeList()
{
    static std::vector<TSndOscope*> list;
    return list;
}

// The pen position carried from buffer to buffer in scrolling okConLines.
QPoint GScrollPen;

constexpr int AmpScaleWidth = 32;
constexpr int TimeScaleHeight = 40;

inline std::int16_t Sample8(std::uint8_t value)
{
    return static_cast<std::int16_t>(int(value) * 256 - 32768);
}

inline std::int16_t Sample16(const std::uint8_t* p)
{
    return static_cast<std::int16_t>(std::uint16_t(p[0]) | (std::uint16_t(p[1]) << 8));
}

// Stores a changed value; false when it was already set.
template <typename T>
bool Change(T& field, T value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

bool IsCursor(const QWidget* widget, Qt::CursorShape shape)
{
    return widget->cursor().shape() == shape;
}

}  // namespace

// ---------------------------------------------------------------- life

TSndOscope::TSndOscope(QWidget* parent) : TSndDIBGraphicControl(parent)
{
    SetColor(clBlack);
    setCursor(Qt::CrossCursor);
    resize(194, 90);
    ScopeList().push_back(this);
    Layout();
}

TSndOscope::~TSndOscope()
{
    auto& list = ScopeList();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    if (list.empty())
        std::vector<TSndOscope*>().swap(list);
}

// ---------------------------------------------------------------- layout

void TSndOscope::SyncLayout()
{
    // A hidden control learns of its new size only when it is shown.
    if (size() != FLayoutSize)
        Layout();
}

void TSndOscope::Layout()
{
    FLayoutSize = size();
    QRect r = rect();
    if (FDrawAmpScale)
        r.adjust(AmpScaleWidth, 0, -AmpScaleWidth, 0);
    if (FDrawTimeScale)
        r.adjust(0, 0, 0, -TimeScaleHeight);
    const int e = BevelExtent();
    r.adjust(e, e, -e, -e);
    FPlotWidth = std::max(r.width(), 4);
    FPlotHeight = std::max(r.height(), 4);
    FPlotRect = QRect(r.left(), r.top(), FPlotWidth, FPlotHeight);
    FMiddle = FPlotHeight / 2;
    FData.assign(static_cast<std::size_t>(FPlotWidth) + 40, 0);
    ResetData();
    DIBCanvas().SetBounds(0, 0, FPlotWidth, FPlotHeight);
    UpdateEffectBand();
    UpdateDisplayBytes();
    FWriteColumn = -FBarWidth;
    FBarPos = 0;
    FAmpDivs = 10;
    while (FAmpDivs > 2 && FPlotHeight / FAmpDivs < 10)
        FAmpDivs -= 2;
    update();
}

void TSndOscope::BevelChanged()
{
    Layout();
}

void TSndOscope::BoundsChanged()
{
    SyncLayout();
}

void TSndOscope::ApplyMinimumSize()
{
    const int e = BevelExtent();
    const int minWidth = 2 * e + (FDrawAmpScale ? 66 : 2);
    const int minHeight = 2 * e + (FDrawTimeScale ? 42 : 2);
    setMinimumSize(minWidth, minHeight);
    if (width() < minWidth || height() < minHeight)
        SetBounds(x(), y(), width(), height());
    else
        Layout();
}

void TSndOscope::SetBounds(int left, int top, int width, int height)
{
    const int e = BevelExtent();
    width = std::max(width, 2 * e + (FDrawAmpScale ? 66 : 2));
    height = std::max(height, 2 * e + (FDrawTimeScale ? 42 : 2));
    TSndDIBGraphicControl::SetBounds(left, top, width, height);
}

void TSndOscope::UpdateDisplayBytes()
{
    const int frameBytes = (FBitLength + 1) * (FMode + 1);
    if (FScroll) {
        FDisplayBytes = frameBytes * FFFTLength;
        return;
    }
    const int n = frameBytes * FPlotWidth;
    if (FZoom > 0)
        FDisplayBytes = n * FZoom;
    else
        FDisplayBytes = ((n / (std::abs(FZoom) + 1)) + 5) / 4 * 4;
}

void TSndOscope::UpdateEffectBand()
{
    if (FEffect == efSplit) {
        FEffectLow = 0;
        FEffectHigh = FMiddle;
    } else {
        FEffectLow = FPlotHeight / 3;
        FEffectHigh = FPlotHeight - FPlotHeight / 3;
    }
}

void TSndOscope::RepaintNow()
{
    if (isVisible() && window()->isVisible() && !Canvas())
        repaint();
    else
        update();
}

// ---------------------------------------------------------------- properties

void TSndOscope::SetKind(TSndOscopeKind value)
{
    if (!Change(FKind, value))
        return;
    FRange = FKind == okSpikes ? 32767 : 65535;
    FOffset = FKind == okSpikes ? 0 : 32767;
    update();
}

void TSndOscope::SetEffect(TSndOscopeEffect value)
{
    FEffect = value;
    UpdateEffectBand();
    update();
}

void TSndOscope::SetBitLength(TSndBits value)
{
    if (!Change(FBitLength, value))
        return;
    UpdateDisplayBytes();
    update();
}

void TSndOscope::SetMode(TSndMode value)
{
    if (!Change(FMode, value))
        return;
    UpdateDisplayBytes();
    update();
}

void TSndOscope::SetChannel(TSndChannel value)
{
    if (!Change(FChannel, value))
        return;
    UpdateDisplayBytes();
    update();
}

void TSndOscope::SetSampleRate(int value)
{
    if (Change(FSampleRate, MinMaxProc(value, 8000, 88200)))
        update();
}

void TSndOscope::SetZoom(int value)
{
    if (value == 0)
        return;
    if (!Change(FZoom, MinMaxProc(value, -9, 9)))
        return;
    UpdateDisplayBytes();
    update();
}

void TSndOscope::SetSteps(int value)
{
    if (Change(FSteps, MinMaxProc(value, 1, 9)))
        update();
}

void TSndOscope::SetGain(int value)
{
    if (value >= -8 && value <= 32 && Change(FGain, value))
        update();
}

void TSndOscope::SetLowPass(bool value)
{
    if (Change(FLowPass, value))
        update();
}

void TSndOscope::SetScroll(bool value)
{
    if (Change(FScroll, value))
        Layout();
}

void TSndOscope::SetFFTLength(int value)
{
    value = MinMaxProc(value, 1, 4096);
    int power = 1;
    while (power * 2 <= value)
        power *= 2;
    if (Change(FFFTLength, power) && FScroll) {
        UpdateDisplayBytes();
        update();
    }
}

void TSndOscope::SetAccelerate(bool value)
{
    if (Change(FAccelerate, value) && FScroll && !value)
        update();
}

void TSndOscope::SetBarWidth(int value)
{
    if (Change(FBarWidth, std::max(value, 1)))
        update();
}

void TSndOscope::SetDrawAmpScale(bool value)
{
    if (Change(FDrawAmpScale, value))
        ApplyMinimumSize();
}

void TSndOscope::SetDrawTimeScale(bool value)
{
    if (Change(FDrawTimeScale, value))
        ApplyMinimumSize();
}

void TSndOscope::SetDrawGrid(bool value)
{
    if (Change(FDrawGrid, value))
        update();
}

void TSndOscope::SetDrawMidLine(bool value)
{
    if (Change(FDrawMidLine, value))
        update();
}

void TSndOscope::SetUseSelection(bool value)
{
    if (Change(FUseSelection, value))
        update();
}

void TSndOscope::SetEnabled(bool value)
{
    if (value == isEnabled())
        return;
    setEnabled(value);
    update();
}

TColor TSndOscope::GetColor(int index) const
{
    return index >= 0 && index <= 12 ? FColors[index] : clBlack;
}

void TSndOscope::SetColor(int index, TColor value)
{
    if (index < 0 || index > 12 || index == 9 || FColors[index] == value)
        return;
    FColors[index] = value;
    update();
}

// ---------------------------------------------------------------- data

TWaveFormatEx TSndOscope::GetPCMFormat() const
{
    return PcmFormat((FBitLength + 1) * 8, FMode + 1, static_cast<std::uint32_t>(FSampleRate));
}

void TSndOscope::ResetData()
{
    std::fill(FData.begin(), FData.end(), std::int16_t(0));
    FMarkFirst = 0;
    FMarkLast = FPlotWidth;
    FSelMin = -1;
    FSelMax = -1;
    FLocator = -1;
}

void TSndOscope::ResetDisplay()
{
    if (FReadoutActive)
        EndReadout();
    ResetData();
    RepaintNow();
}

int TSndOscope::DisplayBytes()
{
    SyncLayout();
    return FDisplayBytes;
}

void TSndOscope::ShowBuffer(const void* data, std::int64_t bytes)
{
    if (!isEnabled() || isHidden() || FReadoutActive)
        return;
    SyncLayout();
    const auto* buffer = static_cast<const std::uint8_t*>(data);
    const std::int64_t available = buffer ? std::clamp<std::int64_t>(bytes, 0, FDisplayBytes) : 0;
    const int sampleBytes = FBitLength + 1;
    const int frameBytes = sampleBytes * (FMode + 1);
    // One value of the chosen channel from the frame at offset.
    const auto valueAt = [&](std::int64_t offset) -> std::int16_t {
        const std::uint8_t* p = buffer + offset;
        if (FMode == mMono || FChannel == chLeft)
            return FBitLength == b8Bit ? Sample8(p[0]) : Sample16(p);
        if (FChannel == chRight)
            return FBitLength == b8Bit ? Sample8(p[1]) : Sample16(p + 2);
        if (FBitLength == b8Bit)
            return Sample8(static_cast<std::uint8_t>((int(p[0]) + int(p[1])) >> 1));
        return static_cast<std::int16_t>((int(Sample16(p)) + int(Sample16(p + 2))) / 2);
    };
    int count = FPlotWidth;
    if (FScroll) {
        count = 2;
        int lFirst = 0, lSecond = 0, rFirst = 0, rSecond = 0;
        const TWaveFormatEx format = GetPCMFormat();
        if (available >= frameBytes)
            PcmFindMinMax(&format, buffer, available / frameBytes * frameBytes, lFirst, lSecond, rFirst, rSecond);
        else if (FBitLength == b8Bit)
            lFirst = lSecond = rFirst = rSecond = 128;
        int first = lFirst, second = lSecond;
        if (FMode == mStereo && FChannel == chRight) {
            first = rFirst;
            second = rSecond;
        } else if (FMode == mStereo && FChannel == chBoth) {
            if (FBitLength == b8Bit) {
                first = (lFirst + rFirst) >> 1;
                second = (lSecond + rSecond) >> 1;
            } else {
                first = (lFirst + rFirst) / 2;
                second = (lSecond + rSecond) / 2;
            }
        }
        if (FBitLength == b8Bit) {
            FData[0] = Sample8(static_cast<std::uint8_t>(first));
            FData[1] = Sample8(static_cast<std::uint8_t>(second));
        } else {
            FData[0] = static_cast<std::int16_t>(first);
            FData[1] = static_cast<std::int16_t>(second);
        }
    } else {
        for (int c = 0; c < FPlotWidth; ++c) {
            const std::int64_t frame = FZoom > 0 ? std::int64_t(c) * FZoom : c / (std::abs(FZoom) + 1);
            const std::int64_t offset = frame * frameBytes;
            FData[c] = offset + frameBytes <= available ? valueAt(offset) : std::int16_t(0);
        }
    }
    if (FLowPass) {
        int previous = 0;
        for (int i = 0; i < count; ++i) {
            const int raw = FData[i];
            FData[i] = static_cast<std::int16_t>((previous + 3 * raw) / 4);
            previous = raw;
        }
    }
    DrawDirect([this](TCanvas& canvas) { RedrawData(canvas, false); }, FPlotRect);
    if (FScrollPending) {
        // The screen's picture moves one pixel to the left; the bar's columns
        // at the right stay.
        FScrollPending = false;
        FExposePending = true;
        scroll(-1, 0, QRect(FPlotRect.left(), FPlotRect.top(), FPlotWidth - (FBarWidth - 1), FPlotHeight));
    }
}

void TSndOscope::SetMarks(int first, int last, bool repaint)
{
    SyncLayout();
    const auto clampMark = [this](int value) { return value < 0 ? -1 : std::min(value, FPlotWidth); };
    FMarkFirst = clampMark(first);
    FMarkLast = clampMark(last);
    if (repaint)
        RepaintNow();
}

void TSndOscope::SetSelection(int min, int max, bool repaint)
{
    SyncLayout();
    const auto clampSel = [this](int value) { return value < 0 ? -1 : std::min(value, FPlotWidth); };
    min = clampSel(min);
    max = clampSel(max);
    if (min > max)
        std::swap(min, max);
    if (min < 0 || max - min <= 0) {
        min = -1;
        max = -1;
    }
    if (min == FSelMin && max == FSelMax)
        return;
    FSelMin = min;
    FSelMax = max;
    if (repaint)
        RepaintNow();
}

double TSndOscope::DisplayMs() const
{
    const TWaveFormatEx format = GetPCMFormat();
    return format.nAvgBytesPerSec ? FDisplayBytes * 1000.0 / format.nAvgBytesPerSec : 0.0;
}

double TSndOscope::GetAmplitudeAt(const QPoint& point) const
{
    if (!FPlotRect.contains(point))
        return 0.0;
    const int y = point.y() - FPlotRect.top();
    if (FKind == okSpikes)
        return double(FPlotHeight - y - 1) / (FPlotHeight - 1);
    int c = FPlotHeight / 2 - y;
    if (c < 0)
        c -= 1;
    return 2.0 * c / FPlotHeight;
}

double TSndOscope::GetTimeAt(const QPoint& point) const
{
    if (!FPlotRect.contains(point))
        return 0.0;
    return DisplayMs() * (point.x() + 1 - FPlotRect.left()) / FPlotWidth;
}

// ---------------------------------------------------------------- events fired

void TSndOscope::GainOverflow()
{
    if (OnGainOverflow)
        OnGainOverflow(this);
}

void TSndOscope::PcmOverflow()
{
    if (OnPcmOverflow)
        OnPcmOverflow(this);
}

void TSndOscope::Selecting(int min, int max)
{
    SetSelection(min, max, true);
    if (OnSelecting)
        OnSelecting(this, min, max);
}

void TSndOscope::SelectEnd(int min, int max)
{
    SetSelection(min, max, false);
    if (OnSelectEnd)
        OnSelectEnd(this, min, max);
}

// ---------------------------------------------------------------- drawing

std::int64_t TSndOscope::LevelOf(int value) const
{
    const std::int64_t v = FKind == okSpikes ? std::abs(value) : value;
    const std::int64_t level = ((v * (FGain + 8)) / 8 + FOffset) * FPlotHeight / FRange;
    return level;
}

int TSndOscope::TimeDivisions() const
{
    for (int t : {32, 16, 8, 4, 2})
        if (FPlotWidth / t >= 10)
            return t;
    return 1;
}

void TSndOscope::PaintGrid()
{
    DIBCanvas().SelectDrawTColor(GridColor());
    for (int k = 0; k <= FAmpDivs; ++k) {
        const int r = static_cast<int>(std::lround(k * 32760.0 / FAmpDivs / (32768.0 / FPlotHeight)));
        HorzLineDotted(0, FPlotWidth, FPlotHeight - r - 1, 1);
    }
    const int t = TimeDivisions();
    for (int k = 0; k <= t; ++k)
        VertLineDotted(k * (FPlotWidth - 1) / t, 0, FPlotHeight, 1);
}

void TSndOscope::DrawStatic()
{
    TSndDIBCanvas& dib = DIBCanvas();
    const std::uint32_t foreground = dib.TColorToDrawColor(ForegroundColor());
    const std::uint32_t inactive = dib.TColorToDrawColor(InactiveColor());
    const std::uint32_t effect = dib.TColorToDrawColor(EffectColor());
    const int pw = FPlotWidth;
    const int ph = FPlotHeight;
    const int mid = FMiddle;
    const bool conLines = FKind == okConLines;
    const auto marked = [this](int i) { return FMarkFirst <= i && i <= FMarkLast; };
    const auto colourOf = [&](int i) {
        const bool inRange = conLines ? (FMarkFirst < i && i <= FMarkLast) : marked(i);
        return inRange ? foreground : inactive;
    };
    const auto outsideBand = [this](std::int64_t v) { return v < FEffectLow || v > FEffectHigh; };

    if (FKind == okVertLines || FKind == okMirLines) {
        // The middle line: two rows, the marked part in the foreground colour.
        for (int row : {mid - 1, mid}) {
            dib.SelectDrawColor(inactive);
            HorzLine(0, FMarkFirst, row);
            HorzLine(FMarkLast + 1, pw, row);
            const bool split = FEffect == efSplit && FKind == okMirLines && row == mid - 1;
            dib.SelectDrawColor(split ? effect : foreground);
            if (FMarkFirst <= FMarkLast)
                HorzLine(std::max(FMarkFirst, 0), FMarkLast + 1, row);
        }
    }

    const auto clampRow = [ph](std::int64_t v) {
        return static_cast<int>(std::clamp<std::int64_t>(v, -2 * std::int64_t(ph) - 2, 2 * std::int64_t(ph) + 2));
    };
    int lastY = 0;
    for (int i = 0; i < pw; i += FSteps) {
        const int v = FData[i];
        const std::int64_t level = LevelOf(v);
        if (level > ph)
            GainOverflow();
        if (v == 32767)
            PcmOverflow();
        const int y = clampRow(ph - level - 1);
        const int lev = clampRow(level);
        const std::uint32_t colour = colourOf(i);
        const bool inMarks = marked(i);
        switch (FKind) {
        case okDots: {
            std::uint32_t c = colour;
            if (inMarks && ((FEffect == efPeak && outsideBand(level)) || (FEffect == efSplit && y < mid)))
                c = effect;
            PutPixel(i, y, c);
            break;
        }
        case okConLines: {
            if (i == 0) {
                PenMoveTo(0, y);
            } else {
                const bool inRange = FMarkFirst < i && i <= FMarkLast;
                std::uint32_t c = colour;
                if (inRange && ((FEffect == efPeak && outsideBand(level)) || (FEffect == efSplit && y < mid)))
                    c = effect;
                dib.SelectDrawColor(c);
                PenLineTo(i, y);
            }
            break;
        }
        case okVertLines: {
            dib.SelectDrawColor(colour);
            VertLine(i, mid, y);
            if (!inMarks)
                break;
            dib.SelectDrawColor(effect);
            if (FEffect == efPeak && outsideBand(y)) {
                if (y < mid)
                    VertLine(i, y, std::min(y + 5, mid));
                else
                    VertLine(i, std::max(mid, y - 5), y);
            } else if (FEffect == efSplit && y < mid) {
                VertLine(i, y, mid);
            }
            break;
        }
        case okMirLines: {
            dib.SelectDrawColor(colour);
            VertLine(i, y, lev);
            if (!inMarks)
                break;
            const int top = std::min(y, lev);
            const int bottom = std::max(y, lev);
            dib.SelectDrawColor(effect);
            if (FEffect == efPeak && outsideBand(y)) {
                VertLine(i, top, std::min(top + 5, bottom));
                VertLine(i, std::max(bottom - 5, top), bottom);
            } else if (FEffect == efSplit) {
                VertLine(i, top, std::min(mid, bottom));
            }
            break;
        }
        case okSpikes: {
            dib.SelectDrawColor(colour);
            VertLine(i, y, ph);
            if (!inMarks)
                break;
            dib.SelectDrawColor(effect);
            if (FEffect == efPeak && y < 2 * (ph / 3))
                VertLine(i, y, y + 5);
            else if (FEffect == efSplit && y < mid)
                VertLine(i, y, mid);
            break;
        }
        }
        lastY = y;
    }
    if (conLines) {
        const int end = (pw + FSteps - 1) / FSteps * FSteps;
        PenLineTo(end, lastY);
    }
}

void TSndOscope::DrawScrollColumn()
{
    TSndDIBCanvas& dib = DIBCanvas();
    const int x = FWriteColumn;
    if (x < 0 || x >= FPlotWidth)
        return;
    const int ph = FPlotHeight;
    const int mid = FMiddle;
    dib.SelectDrawTColor(Color());
    VertLine(x, 0, ph);
    const std::uint32_t foreground = dib.TColorToDrawColor(ForegroundColor());
    const std::uint32_t effect = dib.TColorToDrawColor(EffectColor());
    const int values[2] = {FData[0], FData[1]};
    const auto rowOf = [&](int v) {
        const std::int64_t level = LevelOf(v);
        if (level > ph)
            GainOverflow();
        if (v == 32767)
            PcmOverflow();
        return static_cast<int>(std::clamp<std::int64_t>(ph - level - 1, -2 * std::int64_t(ph), 2 * std::int64_t(ph)));
    };
    const auto outsideBand = [this](std::int64_t v) { return v < FEffectLow || v > FEffectHigh; };
    const auto pick = [&](int y, std::int64_t level) {
        if ((FEffect == efPeak && outsideBand(level)) || (FEffect == efSplit && y < mid))
            return effect;
        return foreground;
    };
    switch (FKind) {
    case okDots:
        for (int v : values)
            PutPixel(x, rowOf(v), pick(rowOf(v), LevelOf(v)));
        break;
    case okConLines:
        PenMoveTo(GScrollPen.x(), GScrollPen.y());
        for (int v : values) {
            const int y = rowOf(v);
            dib.SelectDrawColor(pick(y, LevelOf(v)));
            PenLineTo(x, y);
        }
        GScrollPen = QPoint(DIBDrawState().PenX, DIBDrawState().PenY);
        break;
    default: {
        // The value of larger magnitude (the first on a tie); with efSplit
        // vertical lines and spikes draw both.
        const bool both = FEffect == efSplit && (FKind == okVertLines || FKind == okSpikes);
        const int first = std::abs(values[1]) > std::abs(values[0]) ? 1 : 0;
        for (int k = 0; k < 2; ++k) {
            if (!both && k != first)
                continue;
            const int v = values[k];
            const int y = rowOf(v);
            const int lev = static_cast<int>(std::clamp<std::int64_t>(LevelOf(v), -2 * std::int64_t(ph), 2 * std::int64_t(ph)));
            dib.SelectDrawColor(foreground);
            if (FKind == okVertLines) {
                VertLine(x, mid, y);
            } else if (FKind == okMirLines) {
                VertLine(x, y, lev);
            } else {
                VertLine(x, y, ph);
            }
            dib.SelectDrawColor(effect);
            const int top = FKind == okMirLines ? std::min(y, lev) : std::min(y, mid);
            if (FEffect == efPeak && (FKind == okSpikes ? y < 2 * (ph / 3) : outsideBand(y))) {
                VertLine(x, y < mid || FKind != okVertLines ? top : std::max(mid, y - 5),
                         y < mid || FKind != okVertLines ? top + 5 : y);
            } else if (FEffect == efSplit && top < mid) {
                VertLine(x, top, mid);
            }
        }
        break;
    }
    }
}

void TSndOscope::DrawBar(TCanvas* screen)
{
    const int left = FBarPos;
    const int right = std::min(FBarPos + FBarWidth, FPlotWidth);
    if (left >= right)
        return;
    if (screen) {
        QPainter& painter = screen->Painter();
        painter.fillRect(QRect(FPlotRect.left() + left, FPlotRect.top(), right - left, FPlotHeight), ToQColor(BarColor()));
        painter.fillRect(QRect(FPlotRect.left() + left, FPlotRect.top() + FMiddle, right - left, 1),
                         ToQColor(BarTickColor()));
        return;
    }
    TSndDIBCanvas& dib = DIBCanvas();
    dib.SelectDrawTColor(BarColor());
    FillRectangle(Rect(left, 0, right, FPlotHeight));
    dib.SelectDrawTColor(BarTickColor());
    HorzLine(left, right, FMiddle);
}

void TSndOscope::RedrawData(TCanvas& canvas, bool full)
{
    TSndDIBCanvas& dib = DIBCanvas();
    QPainter* target = &canvas.Painter();
    const QRect plot = FPlotRect;
    const int pw = FPlotWidth;
    const int ph = FPlotHeight;
    dib.BeginDirectDraw();
    try {
        if (OnDrawLine) {
            OnDrawLine(this, dib, QRect(0, 0, pw, ph), FData.data());
            dib.BlitToDC(target, plot.left(), plot.top(), pw, ph, 0, 0);
        } else {
            if (!FScroll || full || FForced) {
                PaintBackground();
                FWriteColumn = -FBarWidth;
                FBarPos = 0;
                GScrollPen = QPoint(0, FMiddle);
                if (FScroll && !FForced)
                    for (TSndOscope* other : ScopeList())
                        if (other != this)
                            other->FForced = true;
            }
            if (isEnabled()) {
                if (!FScroll) {
                    if (FSelMin >= 0) {
                        dib.SelectDrawTColor(SelectionColor());
                        FillRectangle(Rect(FSelMin, 0, FSelMax, ph));
                    }
                    if (FDrawMidLine) {
                        dib.SelectDrawTColor(DisabledColor());
                        HorzLineDashed(0, pw, FMiddle);
                    }
                    if (FDrawGrid)
                        PaintGrid();
                    DrawStatic();
                } else {
                    if (FDrawMidLine) {
                        dib.SelectDrawTColor(DisabledColor());
                        HorzLineDashed(0, pw, FMiddle);
                    }
                    if (FDrawGrid)
                        PaintGrid();
                    DrawScrollColumn();
                }
            } else {
                dib.SelectDrawTColor(DisabledColor());
                HorzLine(5, pw - 5, FMiddle);
            }
            if (!FScroll) {
                if (FSelMin >= 0) {
                    dib.SelectDrawTColor(SelectionDotColor());
                    HorzLineDashed(FSelMin, FSelMax, 0);
                    HorzLineDashed(FSelMin, FSelMax, ph - 1);
                    VertLineDashed(FSelMin, 0, ph);
                    VertLineDashed(FSelMax, 0, ph);
                }
                if (FLocator >= 0) {
                    dib.SelectDrawTColor(LocatorColor());
                    VertLine(FLocator, 0, ph);
                }
                dib.BlitToDC(target, plot.left(), plot.top(), pw, ph, 0, 0);
            } else {
                if (full || FForced || !FAccelerate) {
                    if (FBarPos < pw)
                        DrawBar(nullptr);
                    dib.BlitToDC(target, plot.left(), plot.top(), pw, ph, 0, 0);
                    FForced = false;
                } else if (FWriteColumn >= 0) {
                    dib.BlitToDC(target, plot.left() + FWriteColumn, plot.top(), 1, ph, FWriteColumn, 0);
                }
                if (FBarPos < pw) {
                    if (FAccelerate)
                        DrawBar(&canvas);
                    ++FWriteColumn;
                    ++FBarPos;
                } else if (FAccelerate) {
                    FScrollPending = true;  // the screen moves once this paint is over
                } else {
                    CopyBits(dib.Bits(), 0, 0, pw - 1, ph, 1, 0);
                }
            }
        }
    } catch (...) {
        dib.EndDirectDraw();
        throw;
    }
    dib.EndDirectDraw();
    if (OnPostPaint)
        OnPostPaint(this);
}

bool TSndOscope::PaintPart(TCanvas& canvas, const QRect& rect)
{
    // The column that scrolling the screen uncovered: taken from the picture,
    // so that the scrolling goes on.
    if (!FExposePending)
        return false;
    FExposePending = false;
    if (!FScroll || !FAccelerate || !FPlotRect.contains(rect))
        return false;
    const QRect source = rect.translated(-FPlotRect.topLeft());
    DIBCanvas().BlitToDC(&canvas.Painter(), rect.left(), rect.top(), rect.width(), rect.height(), source.left(),
                         source.top());
    return true;
}

void TSndOscope::PaintAmpScales(TCanvas& canvas)
{
    QPainter& painter = canvas.Painter();
    const QColor parentColor = parentWidget() ? parentWidget()->palette().color(QPalette::Window) : QColor(Qt::white);
    const int height = this->height() - (FDrawTimeScale ? TimeScaleHeight : 0);
    const int bottom = FPlotRect.top() + FPlotHeight;  // the plot bottom in control coordinates
    for (int side = 0; side < 2; ++side) {
        const int left = side == 0 ? -3 : width() - 29;
        const int lineX = side == 0 ? left + AmpScaleWidth - 1 : left;
        painter.fillRect(QRect(left, 0, AmpScaleWidth, height), parentColor);
        painter.setPen(ToQColor(ScaleLineColor()));
        painter.drawLine(lineX, 0, lineX, height - 1);
        canvas.Font.Color = ScaleTextColor();
        for (int k = 0; k <= FAmpDivs; ++k) {
            const int y = bottom - 1 - static_cast<int>(std::lround(double(k) * FPlotHeight / FAmpDivs));
            painter.setPen(ToQColor(ScaleLineColor()));
            if (side == 0)
                painter.drawLine(lineX - 3, y, lineX, y);
            else
                painter.drawLine(lineX, y, lineX + 3, y);
            QString label;
            if (FKind == okSpikes) {
                label = QString::asprintf("%4.2f", double(k) / FAmpDivs);
            } else {
                const int half = FAmpDivs / 2;
                if (k == half)
                    label = QStringLiteral("0.00");
                else if (k > half)
                    label = QStringLiteral("+") + QString::asprintf("%4.2f", 2.0 * (k - half) / FAmpDivs).trimmed();
                else
                    label = QStringLiteral("-") + QString::asprintf("%4.2f", 2.0 * (half - k) / FAmpDivs).trimmed();
            }
            const int textX = side == 0 ? lineX - 5 : left + 29;
            DrawRotatedText(canvas, textX, y, label, QStringLiteral("ARIAL"), 10, 1);
        }
    }
}

void TSndOscope::PaintTimeScale(TCanvas& canvas)
{
    QPainter& painter = canvas.Painter();
    const QColor parentColor = parentWidget() ? parentWidget()->palette().color(QPalette::Window) : QColor(Qt::white);
    const int e = BevelExtent();
    const int left = FPlotRect.left() - e;
    const int top = FPlotRect.top() + FPlotHeight + e + 3;
    const int widthTotal = FPlotWidth + 2 * e;
    painter.fillRect(QRect(left, top, widthTotal, TimeScaleHeight), parentColor);
    painter.setPen(ToQColor(ScaleLineColor()));
    painter.drawLine(left, top, left + widthTotal - 1, top);
    const int t = TimeDivisions();
    const double ms = DisplayMs();
    canvas.Font.Color = ScaleTextColor();
    for (int k = 0; k <= t; ++k) {
        const int x = left + e + k * (FPlotWidth - 1) / t;
        painter.setPen(ToQColor(ScaleLineColor()));
        painter.drawLine(x, top, x, top + 3);
        DrawRotatedText(canvas, x, top + 6, QString::asprintf("%4.1f", k * ms / t).trimmed(),
                        QStringLiteral("ARIAL"), 10, 2);
    }
}

void TSndOscope::Paint(TCanvas& canvas)
{
    QPainter& painter = canvas.Painter();
    const QColor parentColor = parentWidget() ? parentWidget()->palette().color(QPalette::Window) : QColor(Qt::white);
    const int e = BevelExtent();
    if (FDrawAmpScale || FDrawTimeScale) {
        // The gaps beside and below the plot.
        if (FDrawAmpScale) {
            painter.fillRect(QRect(AmpScaleWidth - 3, 0, 3, height()), parentColor);
            painter.fillRect(QRect(width() - AmpScaleWidth, 0, 3, height()), parentColor);
        }
        if (FDrawTimeScale)
            painter.fillRect(QRect(0, FPlotRect.bottom() + e + 1, width(), 3), parentColor);
        if (FDrawAmpScale && FDrawTimeScale) {
            painter.fillRect(QRect(0, height() - TimeScaleHeight, AmpScaleWidth, TimeScaleHeight), parentColor);
            painter.fillRect(QRect(width() - AmpScaleWidth, height() - TimeScaleHeight, AmpScaleWidth, TimeScaleHeight),
                             parentColor);
            canvas.Font.Name = QStringLiteral("ARIAL");
            canvas.Font.Color = ScaleTextColor();
            DrawRotatedText(canvas, 16, height() - 34, QStringLiteral("V"), QStringLiteral("ARIAL"), 10, 1);
            DrawRotatedText(canvas, width() - 14, height() - 34, QStringLiteral("V"), QStringLiteral("ARIAL"), 10, 0);
            DrawRotatedText(canvas, width() - 30, height() - 20, QStringLiteral("mS"), QStringLiteral("ARIAL"), 10, 0);
        }
    }
    Bevel().PaintBevel(canvas, FPlotRect.adjusted(-e, -e, e, e), true);
    if (FDrawAmpScale)
        PaintAmpScales(canvas);
    if (FDrawTimeScale)
        PaintTimeScale(canvas);
    DrawDirect([this](TCanvas& c) { RedrawData(c, true); });
}

// ---------------------------------------------------------------- read-out

void TSndOscope::RestoreReadout()
{
    if (FSavedRect.isEmpty())
        return;
    TSndDIBCanvas& dib = DIBCanvas();
    std::uint8_t* bits = dib.Bits();
    const int stride = dib.Stride();
    const int bpp = dib.BitsPerPixel() / 8;
    const std::size_t rowBytes = std::size_t(FSavedRect.width()) * bpp;
    if (FSavedRect.right() < dib.Width() && FSavedRect.bottom() < dib.Height() &&
        FSavedBits.size() >= rowBytes * FSavedRect.height()) {
        for (int r = 0; r < FSavedRect.height(); ++r) {
            const int row = FSavedRect.top() + r;
            std::memcpy(bits + std::int64_t(dib.Height() - 1 - row) * stride + std::int64_t(FSavedRect.left()) * bpp,
                        FSavedBits.data() + rowBytes * r, rowBytes);
        }
    }
    FSavedRect = QRect();
}

void TSndOscope::ShowReadout(const QPoint& point)
{
    TSndDIBCanvas& dib = DIBCanvas();
    RestoreReadout();
    // The pointer stays on the plot while the read-out is shown.
    const QPoint p(std::clamp(point.x(), FPlotRect.left(), FPlotRect.left() + FPlotWidth - 1),
                   std::clamp(point.y(), FPlotRect.top(), FPlotRect.top() + FPlotHeight - 1));
    const QString text =
        QString::asprintf("%4.1f ms", GetTimeAt(p)) + QString::asprintf(" %4.2f V", GetAmplitudeAt(p));
    TFont font;
    font.Name = QStringLiteral("MS Sans Serif");
    font.Size = 8;
    const int boxWidth = TextWidthOf(font, text) + 4;
    const int boxHeight = TextHeightOf(font, text) + 2;
    int left = p.x() - BevelExtent() - (FDrawAmpScale ? AmpScaleWidth : 0);
    int top = p.y() - BevelExtent() + 15;
    if (top + boxHeight > FPlotHeight)
        top -= 40;
    if (left + boxWidth > FPlotWidth)
        left = FPlotWidth - boxWidth;
    top = std::max(top, 0);
    const QRect box(left, top, boxWidth, boxHeight);
    // Save what lies under the box.
    FSavedRect = box.intersected(QRect(0, 0, dib.Width(), dib.Height()));
    if (!FSavedRect.isEmpty()) {
        const std::uint8_t* bits = dib.Bits();
        const int stride = dib.Stride();
        const int bpp = dib.BitsPerPixel() / 8;
        const std::size_t rowBytes = std::size_t(FSavedRect.width()) * bpp;
        FSavedBits.resize(rowBytes * FSavedRect.height());
        for (int r = 0; r < FSavedRect.height(); ++r) {
            const int row = FSavedRect.top() + r;
            std::memcpy(FSavedBits.data() + rowBytes * r,
                        bits + std::int64_t(dib.Height() - 1 - row) * stride + std::int64_t(FSavedRect.left()) * bpp,
                        rowBytes);
        }
    }
    {
        TSndDIBPaint paint(dib);
        TCanvas& c = paint.Canvas();
        QPainter& painter = c.Painter();
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.fillRect(box, Qt::white);
        painter.setPen(Qt::black);
        painter.drawRect(box.adjusted(0, 0, -1, -1));
        painter.setFont(font.ToQFont());
        painter.setPen(ToQColor(clInfoText));
        painter.drawText(box, Qt::AlignCenter, text);
    }
    DrawDirect([this](TCanvas& c) {
        DIBCanvas().BlitToDC(&c.Painter(), FPlotRect.left(), FPlotRect.top(), FPlotWidth, FPlotHeight, 0, 0);
    }, FPlotRect);
}

void TSndOscope::EndReadout()
{
    RestoreReadout();
    FSavedBits.clear();
    FSavedBits.shrink_to_fit();
    FReadoutActive = false;
    DrawDirect([this](TCanvas& c) {
        DIBCanvas().BlitToDC(&c.Painter(), FPlotRect.left(), FPlotRect.top(), FPlotWidth, FPlotHeight, 0, 0);
    }, FPlotRect);
}

// ---------------------------------------------------------------- mouse

int TSndOscope::PlotColumn(int x) const
{
    return std::clamp(x - FPlotRect.left(), 0, FPlotWidth);
}

void TSndOscope::MouseDown(TMouseButton button, Qt::KeyboardModifiers shift, int x, int y)
{
    const QPoint point(x, y);
    if (button == TMouseButton::Left && FShowInfo && isEnabled() && !FReadoutActive) {
        FReadoutActive = true;
        ShowReadout(point);
    } else if (button == TMouseButton::Right && FUseSelection && !FLocked && !FSelecting &&
               FPlotRect.contains(point)) {
        FSelecting = true;
        FMoving = false;
        const int column = x - FPlotRect.left();
        if (FSelMin >= 0 && column >= FSelMin - 3 && column <= FSelMin + 2) {
            FAnchor = FSelMax;
        } else if (FSelMax >= 0 && column >= FSelMax - 2 && column <= FSelMax + 3) {
            FAnchor = FSelMin;
        } else if (FSelMin >= 0 && column > FSelMin && column < FSelMax) {
            FMoving = true;
            FLastColumn = column;
            setCursor(LoadResCursor(4));
        } else {
            setCursor(Qt::SizeHorCursor);
            FAnchor = column;
            Selecting(-1, -1);
            Selecting(column, column + 1);
        }
    }
    TSndDIBGraphicControl::MouseDown(button, shift, x, y);
}

void TSndOscope::MouseMove(Qt::KeyboardModifiers shift, int x, int y)
{
    if (FReadoutActive) {
        ShowReadout(QPoint(x, y));
    } else if (FSelecting) {
        const int column = PlotColumn(x);
        if (FMoving) {
            int d = column - FLastColumn;
            d = std::clamp(d, -FSelMin, FPlotWidth - FSelMax);
            if (d != 0 && FSelMin >= 0) {
                FLastColumn += d;
                Selecting(FSelMin + d, FSelMax + d);
            }
        } else {
            Selecting(FAnchor, column);
        }
    } else if (FUseSelection && !FLocked) {
        const int column = x - FPlotRect.left();
        const bool nearEdge = FSelMin >= 0 && ((column >= FSelMin - 3 && column <= FSelMin + 2) ||
                                               (column >= FSelMax - 2 && column <= FSelMax + 3));
        if (nearEdge)
            setCursor(Qt::SizeHorCursor);
        else if (FSelMin >= 0 && column > FSelMin && column < FSelMax)
            setCursor(LoadResCursor(3));
        else if (IsCursor(this, Qt::SizeHorCursor) || IsCursor(this, LoadResCursor(3).shape()) ||
                 IsCursor(this, LoadResCursor(9).shape()))
            setCursor(Qt::ArrowCursor);
    } else if (!IsCursor(this, Qt::CrossCursor) && !IsCursor(this, Qt::WaitCursor)) {
        setCursor(Qt::ArrowCursor);
    }
    TSndDIBGraphicControl::MouseMove(shift, x, y);
}

void TSndOscope::MouseUp(TMouseButton button, Qt::KeyboardModifiers shift, int x, int y)
{
    if (button == TMouseButton::Left && FReadoutActive) {
        EndReadout();
    } else if (button == TMouseButton::Right && FSelecting) {
        FSelecting = false;
        FMoving = false;
        if (FSelMax - FSelMin == 1)
            Selecting(-1, -1);
        SelectEnd(FSelMin, FSelMax);
    }
    TSndDIBGraphicControl::MouseUp(button, shift, x, y);
}
