#pragma once

// The DIB canvas and the DIB graphic control: an off-screen picture in the
// library's own bitmap layout (rows bottom-up, padded to 4 bytes; 8-bit
// palette indices or 24-bit blue-green-red), drawn by direct-memory routines
// and by ordinary pen, brush and font drawing, and put on the screen in one
// blit.
//
// The direct-drawing routines act on one process-wide drawing state, filled
// by BeginDirectDraw and cleared by EndDirectDraw; a lock taken by the first
// and released by the second keeps drawing passes strictly one after another.

#include "MMDIB.h"
#include "SndObj.h"
#include "SndUtils.h"

#include <QtCore/QRect>
#include <QtGui/QImage>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QPainter;
class TSndDIBGraphicControl;

// Errors of the DIB canvas.
class ESndDIBError : public ESndError {
public:
    using ESndError::ESndError;
};

// ---------------------------------------------------------------- drawing state

// The geometry and colour of the drawing pass in progress.
struct TDIBDrawState {
    int BitsPerPixel = 0;
    int BytesPerPixel = 0;
    int Width = 0;
    int Height = 0;
    int Stride = 0;               // bytes per row, a multiple of 4
    std::int64_t RowStep = 0;     // from one picture row to the next lower one: -Stride
    std::uint8_t* Bits = nullptr; // the first byte of the bottom row
    std::uint32_t Color = 0;      // 8 bits: the index in all four bytes; 24 bits: 0x00BBGGRR
    int PenX = 0;
    int PenY = 0;
    int ClipLeft = 0;
    int ClipTop = 0;
    int ClipRight = 0;
    int ClipBottom = 0;
};

// The state of the pass in progress (all zero outside a pass).
const TDIBDrawState& DIBDrawState();

// Starts a drawing pass over memory in the DIB layout that belongs to the
// caller (bits: the bottom row; rows of (width x bytes per pixel + 3) & ~3
// bytes). Canvases start their passes through BeginDirectDraw.
void BeginDirectDrawBits(std::uint8_t* bits, int width, int height, int bitsPerPixel);
void EndDirectDrawBits();

// Direct-drawing routines, valid between BeginDirectDraw and EndDirectDraw.
// y counts from the top; spans and rectangles are half-open; nothing is ever
// written outside the picture.
void PutPixel(int x, int y, std::uint32_t value);
std::int32_t GetPixelValue(int x, int y);  // -1 outside
void PenMoveTo(int x, int y);
void PenLineTo(int x, int y);
void DrawLine(int x1, int y1, int x2, int y2);
void DrawLineNotXor(int x1, int y1, int x2, int y2);
void HorzLine(int x1, int x2, int y);
void HorzLineDashed(int x1, int x2, int y);
void HorzLineDotted(int x1, int x2, int y, int gap);
void VertLine(int x, int y1, int y2);
void VertLineDashed(int x, int y1, int y2);
void VertLineDotted(int x, int y1, int y2, int gap);
void VertLineXor(int x, int y1, int y2);
void VertLineNotXor(int x, int y1, int y2);
void VertLineCopy(int x, int y, const std::uint8_t* source, int count);
void FrameRectangle(int x1, int y1, int x2, int y2);
// Rectangles by their edges: left..right - 1, top..bottom - 1.
void FillRectangle(const QRect& rect);
void XorRectangle(const QRect& rect);
void FillRectanglePattern(const QRect& rect, bool pattern);
void ClearAll();
// Copies a block from a picture of the same geometry (another picture or the
// one being drawn; overlapping blocks copy correctly).
void CopyBits(const std::uint8_t* sourceBits, int x, int y, int width, int height, int sourceX, int sourceY);
void DrawArc(int centerX, int centerY, int startAngle, int endAngle, int radiusX, int radiusY);
void FillEllipse(int centerX, int centerY, int radiusX, int radiusY);

// ---------------------------------------------------------------- TSndDIBCanvas

class TSndDIBCanvas {
public:
    explicit TSndDIBCanvas(TSndDIBGraphicControl* owner);
    virtual ~TSndDIBCanvas();
    TSndDIBCanvas(const TSndDIBCanvas&) = delete;
    TSndDIBCanvas& operator=(const TSndDIBCanvas&) = delete;

    TSndDIBGraphicControl* Owner() const { return FOwner; }

    int BitsPerPixel() const { return FBitsPerPixel; }
    void SetBitsPerPixel(int value);  // 8 or 24; raises otherwise
    bool PaletteRealize() const { return FPaletteRealize; }
    void SetPaletteRealize(bool value);
    bool PaletteMapped() const { return FPaletteMapped; }
    void SetPaletteMapped(bool value) { FPaletteMapped = value; }
    int Width() const { return FWidth; }
    void SetWidth(int value) { SetBounds(0, 0, value, FHeight); }
    int Height() const { return FHeight; }
    void SetHeight(int value) { SetBounds(0, 0, FWidth, value); }
    // The position is ignored.
    virtual void SetBounds(int left, int top, int width, int height);

    const TBitmap& BackGroundBitmap() const { return FBackGroundBitmap; }
    void SetBackGroundBitmap(const TBitmap* value);  // nullptr empties it
    bool StretchBackGround() const { return FStretchBackGround; }
    void SetStretchBackGround(bool value);

    // Builds the DIB when size or format changed.
    void CheckDIB();
    // Builds the DIB anew; raises during a drawing pass.
    void RebuildDIB();
    bool Idle() const { return FPassDepth == 0; }

    // The pixels (bottom row first) and the background picture's, nullptr
    // without one; Stride() bytes per row.
    std::uint8_t* Bits();
    const std::uint8_t* BackgroundBits();
    int Stride() const;
    // The colour table of an 8-bit DIB as 0xAARRGGBB values.
    const std::vector<QRgb>& ColorTable();

    // Copies the block (sourceX, sourceY, width, height) to (x, y) of the
    // painter's device, in one drawImage.
    void BlitToDC(QPainter* target, int x, int y, int width, int height, int sourceX, int sourceY);

    std::uint32_t TColorToDrawColor(TColor color);
    std::uint32_t SelectDrawTColor(TColor color);
    void SelectDrawColor(std::uint32_t value);

    void BeginDirectDraw();
    void EndDirectDraw();

    // Change notifications around a drawing pass.
    std::function<void()> OnChanging;
    std::function<void()> OnChange;

private:
    friend class TSndDIBPaint;

    void FreeDIB();
    void CreateDIB();
    void ConvertToScreen(int x, int y, int width, int height);
    std::uint8_t NearestIndex(QRgb rgb) const;

    TSndDIBGraphicControl* FOwner;
    int FBitsPerPixel = 8;
    bool FPaletteRealize = false;
    bool FPaletteMapped = false;
    int FWidth = 1;
    int FHeight = 1;
    TBitmap FBackGroundBitmap;
    bool FStretchBackGround = true;
    bool FRebuild = true;
    int FPassDepth = 0;  // open drawing passes on this canvas
    std::unique_ptr<TBitmapInfo, TGlobalMemDeleter> FBitmapInfo;
    std::unique_ptr<TLogPalette, TGlobalMemDeleter> FPalette;
    std::vector<QRgb> FColorTable;
    std::unique_ptr<std::uint8_t[]> FBits;
    std::unique_ptr<std::uint8_t[]> FBackground;
    QImage FScreen;  // 32-bit top-down copy: the blit's source and the 8-bit painting surface
};

// Pen, brush and font drawing into a DIB canvas: the canvas is valid while the
// object lives; the drawing reaches the DIB bytes when it ends (8 bits: each
// changed pixel becomes the nearest palette index).
class TSndDIBPaint {
public:
    explicit TSndDIBPaint(TSndDIBCanvas& canvas);
    ~TSndDIBPaint();
    TSndDIBPaint(const TSndDIBPaint&) = delete;
    TSndDIBPaint& operator=(const TSndDIBPaint&) = delete;

    TCanvas& Canvas() { return *FCanvas; }

private:
    TSndDIBCanvas& FDIB;
    QImage FImage;
    std::unique_ptr<QPainter> FPainter;
    std::unique_ptr<TCanvas> FCanvas;
};

// ---------------------------------------------------------------- TSndDIBGraphicControl

class TSndDIBGraphicControl : public TSndGraphicControl {
    Q_OBJECT
public:
    explicit TSndDIBGraphicControl(QWidget* parent = nullptr);
    ~TSndDIBGraphicControl() override;

    TSndDIBCanvas& DIBCanvas() { return *FDIBCanvas; }

    int Tag2() const { return FTag2; }
    void SetTag2(int value) { FTag2 = value; }

    const TBitmap& BackGroundDIB() const { return FBackGroundDIB; }
    void SetBackGroundDIB(const TBitmap& value);
    bool UseBackGroundDIB() const { return FUseBackGroundDIB; }
    void SetUseBackGroundDIB(bool value);
    bool PaletteRealize() const { return FDIBCanvas->PaletteRealize(); }
    void SetPaletteRealize(bool value);
    bool PaletteMapped() const { return FDIBCanvas->PaletteMapped(); }
    void SetPaletteMapped(bool value);

    virtual void SetBitsPerPixel(int value);
    virtual void SetBounds(int left, int top, int width, int height);

    // Prepares the DIB for a full redraw: the background picture, or the
    // control's Color. Inside a drawing pass.
    virtual void PaintBackground();

    // Draws on the control at once: the area the procedure draws (empty: the
    // whole control) is repainted now and the procedure runs inside that
    // paint with the control's canvas; when a larger part was waiting for a
    // paint, the control paints itself first. Runs at once when the control
    // is already painting; nothing happens while it is not on the screen.
    void DrawDirect(const std::function<void(TCanvas& canvas)>& procedure, const QRect& area = QRect());

    // The control's canvas while it paints (in a drawing procedure and the
    // events fired from it), nullptr otherwise.
    TCanvas* Canvas() const { return FPaintCanvas; }

protected:
    // The control's size changed; the canvas follows it.
    virtual void BoundsChanged();
    void PaintEntry(QPaintEvent* event);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

    // A paint request for part of the control that the control answers
    // itself (true) instead of a full Paint.
    virtual bool PaintPart(TCanvas& canvas, const QRect& rect);

private:
    void BackGroundChanged();

    std::unique_ptr<TSndDIBCanvas> FDIBCanvas;
    int FTag2 = 0;
    TBitmap FBackGroundDIB;
    bool FUseBackGroundDIB = false;
    std::function<void(TCanvas&)> FDirectProc;
    QRect FDirectArea;
    TCanvas* FPaintCanvas = nullptr;
};
