#pragma once

// The waveform display: a buffer of PCM bytes becomes one 16-bit value per
// pixel column, drawn into the DIB canvas as dots, connected lines, vertical
// lines, mirrored lines or spikes, with optional scales, grid, middle line, a
// marked column range, a mouse selection and a measuring read-out. In the
// scrolling mode each buffer draws one column and the picture moves sideways.
//
// A caller that shows one static picture of a recording sizes its buffer by
// DisplayBytes(), fills it with one sample frame per column and calls
// ShowBuffer; SetMarks picks out a column range; OnPostPaint runs after every
// drawing pass with Canvas() valid, so the caller can draw over the picture;
// at other times DrawDirect draws over the picture on the screen.

#include "MMDIBCv.h"
#include "MMPCMSup.h"

#include <QtCore/QPoint>
#include <QtCore/QRect>

#include <cstdint>
#include <functional>
#include <vector>

enum TSndOscopeKind { okDots, okConLines, okVertLines, okMirLines, okSpikes };
enum TSndOscopeEffect { efNone, efPeak, efSplit };
enum TSndChannel { chBoth, chLeft, chRight };

class TSndOscope;
using TSndOscopeEvent = std::function<void(TSndOscope* sender)>;
using TSndOscopeDrawLineEvent =
    std::function<void(TSndOscope* sender, TSndDIBCanvas& dib, const QRect& rect, const std::int16_t* data)>;
using TSndOscopeSelectEvent = std::function<void(TSndOscope* sender, int min, int max)>;

class TSndOscope : public TSndDIBGraphicControl {
    Q_OBJECT
public:
    explicit TSndOscope(QWidget* parent = nullptr);
    ~TSndOscope() override;

    // ------------------------------------------------------------ properties
    TSndOscopeKind Kind() const { return FKind; }
    void SetKind(TSndOscopeKind value);
    TSndOscopeEffect Effect() const { return FEffect; }
    void SetEffect(TSndOscopeEffect value);
    TSndBits BitLength() const { return FBitLength; }
    void SetBitLength(TSndBits value);
    TSndMode Mode() const { return FMode; }
    void SetMode(TSndMode value);
    TSndChannel Channel() const { return FChannel; }
    void SetChannel(TSndChannel value);
    int SampleRate() const { return FSampleRate; }
    void SetSampleRate(int value);  // clamped to 8000..88200
    int Zoom() const { return FZoom; }
    void SetZoom(int value);  // -9..9, 0 ignored
    int Steps() const { return FSteps; }
    void SetSteps(int value);  // clamped to 1..9
    int Gain() const { return FGain; }
    void SetGain(int value);  // -8..32, other values ignored
    bool LowPass() const { return FLowPass; }
    void SetLowPass(bool value);
    bool Scroll() const { return FScroll; }
    void SetScroll(bool value);
    int FFTLength() const { return FFFTLength; }
    void SetFFTLength(int value);  // 1..4096, rounded down to a power of two
    bool Accelerate() const { return FAccelerate; }
    void SetAccelerate(bool value);
    int BarWidth() const { return FBarWidth; }
    void SetBarWidth(int value);
    bool DrawAmpScale() const { return FDrawAmpScale; }
    void SetDrawAmpScale(bool value);
    bool DrawTimeScale() const { return FDrawTimeScale; }
    void SetDrawTimeScale(bool value);
    bool DrawGrid() const { return FDrawGrid; }
    void SetDrawGrid(bool value);
    bool DrawMidLine() const { return FDrawMidLine; }
    void SetDrawMidLine(bool value);
    bool ShowInfo() const { return FShowInfo; }
    void SetShowInfo(bool value) { FShowInfo = value; }
    bool UseSelection() const { return FUseSelection; }
    void SetUseSelection(bool value);
    bool Locked() const { return FLocked; }
    void SetLocked(bool value) { FLocked = value; }
    bool Enabled() const { return isEnabled(); }
    void SetEnabled(bool value);

    // The twelve colours share one indexed setter: 0 ForegroundColor, 1
    // InactiveColor, 2 EffectColor, 3 DisabledColor, 4 ScaleTextColor, 5
    // ScaleLineColor, 6 GridColor, 7 BarColor, 8 BarTickColor, 10
    // SelectionColor, 11 SelectionDotColor, 12 LocatorColor.
    using TSndDIBGraphicControl::SetColor;
    TColor GetColor(int index) const;
    void SetColor(int index, TColor value);
    TColor ForegroundColor() const { return FColors[0]; }
    void SetForegroundColor(TColor value) { SetColor(0, value); }
    TColor InactiveColor() const { return FColors[1]; }
    void SetInactiveColor(TColor value) { SetColor(1, value); }
    TColor EffectColor() const { return FColors[2]; }
    void SetEffectColor(TColor value) { SetColor(2, value); }
    TColor DisabledColor() const { return FColors[3]; }
    void SetDisabledColor(TColor value) { SetColor(3, value); }
    TColor ScaleTextColor() const { return FColors[4]; }
    void SetScaleTextColor(TColor value) { SetColor(4, value); }
    TColor ScaleLineColor() const { return FColors[5]; }
    void SetScaleLineColor(TColor value) { SetColor(5, value); }
    TColor GridColor() const { return FColors[6]; }
    void SetGridColor(TColor value) { SetColor(6, value); }
    TColor BarColor() const { return FColors[7]; }
    void SetBarColor(TColor value) { SetColor(7, value); }
    TColor BarTickColor() const { return FColors[8]; }
    void SetBarTickColor(TColor value) { SetColor(8, value); }
    TColor SelectionColor() const { return FColors[10]; }
    void SetSelectionColor(TColor value) { SetColor(10, value); }
    TColor SelectionDotColor() const { return FColors[11]; }
    void SetSelectionDotColor(TColor value) { SetColor(11, value); }
    TColor LocatorColor() const { return FColors[12]; }
    void SetLocatorColor(TColor value) { SetColor(12, value); }

    // ------------------------------------------------------------ data
    // The PCM bytes one ShowBuffer reads.
    int DisplayBytes();
    // Draws a buffer of bytes at once; a buffer shorter than DisplayBytes()
    // gives 0 for the columns it does not reach.
    void ShowBuffer(const void* data, std::int64_t bytes);
    void SetMarks(int first, int last, bool repaint);
    void SetSelection(int min, int max, bool repaint);
    void ResetDisplay();
    void ResetData();
    TWaveFormatEx GetPCMFormat() const;
    double GetAmplitudeAt(const QPoint& point) const;
    double GetTimeAt(const QPoint& point) const;

    QRect PlotRect() const { return FPlotRect; }
    int MarkFirst() const { return FMarkFirst; }
    int MarkLast() const { return FMarkLast; }
    int SelectionMin() const { return FSelMin; }
    int SelectionMax() const { return FSelMax; }
    int AmplitudeDivisions() const { return FAmpDivs; }
    // The column values of the last buffer (plot width of them).
    const std::int16_t* Data() const { return FData.data(); }

    void SetBounds(int left, int top, int width, int height) override;

    // ------------------------------------------------------------ events
    TSndOscopeEvent OnPcmOverflow;
    TSndOscopeEvent OnGainOverflow;
    TSndOscopeDrawLineEvent OnDrawLine;
    TSndOscopeEvent OnPostPaint;
    TSndOscopeSelectEvent OnSelecting;
    TSndOscopeSelectEvent OnSelectEnd;

protected:
    void Paint(TCanvas& canvas) override;
    void BevelChanged() override;
    void BoundsChanged() override;
    bool PaintPart(TCanvas& canvas, const QRect& rect) override;
    void MouseDown(TMouseButton button, Qt::KeyboardModifiers shift, int x, int y) override;
    void MouseUp(TMouseButton button, Qt::KeyboardModifiers shift, int x, int y) override;
    void MouseMove(Qt::KeyboardModifiers shift, int x, int y) override;

    virtual void GainOverflow();
    virtual void PcmOverflow();
    virtual void Selecting(int min, int max);
    virtual void SelectEnd(int min, int max);

private:
    void Layout();
    void SyncLayout();
    void ApplyMinimumSize();
    void UpdateDisplayBytes();
    void UpdateEffectBand();
    void RepaintNow();
    void RedrawData(TCanvas& canvas, bool full);
    void DrawStatic();
    void DrawScrollColumn();
    void DrawBar(TCanvas* screen);
    void PaintGrid();
    void PaintAmpScales(TCanvas& canvas);
    void PaintTimeScale(TCanvas& canvas);
    std::int64_t LevelOf(int value) const;
    int TimeDivisions() const;
    double DisplayMs() const;

    void ShowReadout(const QPoint& point);
    void RestoreReadout();
    void EndReadout();
    int PlotColumn(int x) const;

    TSndOscopeKind FKind = okDots;
    TSndOscopeEffect FEffect = efNone;
    TSndBits FBitLength = b8Bit;
    TSndMode FMode = mMono;
    TSndChannel FChannel = chBoth;
    int FSampleRate = 11025;
    int FZoom = 1;
    int FSteps = 1;
    int FGain = 0;
    bool FLowPass = false;
    bool FScroll = false;
    int FFFTLength = 128;
    bool FAccelerate = true;
    int FBarWidth = 5;
    bool FDrawAmpScale = false;
    bool FDrawTimeScale = false;
    bool FDrawGrid = false;
    bool FDrawMidLine = false;
    bool FShowInfo = true;
    bool FUseSelection = false;
    bool FLocked = false;
    TColor FColors[13] = {clAqua, clTeal, clRed, clGray, clBlack, clBlack, clGray,
                          clGray, clWhite, clBlack, clRed, clRed, clYellow};

    QSize FLayoutSize;
    QRect FPlotRect;
    int FPlotWidth = 4;
    int FPlotHeight = 4;
    int FMiddle = 2;
    std::vector<std::int16_t> FData;
    int FDisplayBytes = 0;
    int FMarkFirst = 0;
    int FMarkLast = 0;
    int FSelMin = -1;
    int FSelMax = -1;
    int FLocator = -1;
    int FAmpDivs = 10;
    int FRange = 65535;
    int FOffset = 32767;
    int FEffectLow = 0;
    int FEffectHigh = 0;
    int FWriteColumn = -5;
    int FBarPos = 0;
    bool FForced = false;
    bool FScrollPending = false;
    bool FExposePending = false;

    bool FReadoutActive = false;
    bool FSelecting = false;
    bool FMoving = false;
    int FAnchor = -1;
    int FLastColumn = 0;
    QRect FSavedRect;
    std::vector<std::uint8_t> FSavedBits;
};
