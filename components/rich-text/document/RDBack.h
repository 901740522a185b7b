#pragma once

// The background of a document: an optional picture with its placement,
// painted behind the text on the screen or on a printed page, and the
// current-line band of the courseware editors. The colour is not kept here:
// every drawing call receives it (clNone paints no colour).

#include <functional>
#include <memory>
#include <optional>

#include <QtCore/QPoint>
#include <QtCore/QRect>

#include "Graphics.h"
#include "Pictures.h"
#include "document/RDDocTypes.h"

class TCanvas;
class QPainter;
struct TRDResolutionInfo;

// The placement of a table's or a cell's picture.
enum class TRDItemBackgroundStyle : uint8_t { rdbsColor, rdbsStretched, rdbsTiled, rdbsCentered };

// Paints, into the painter, what lies behind a picture at a rectangle of the
// device (a printable document's page background); used for pictures that may
// be transparent when no colour is painted under them.
using TRDPrintBackgroundHook = std::function<void(QPainter& painter, const QRect& deviceRect)>;

class TRDBackground {
public:
    explicit TRDBackground(bool ownsBitmap);
    TRDBackground(const TRDBackground&) = delete;
    TRDBackground& operator=(const TRDBackground&) = delete;
    ~TRDBackground();

    // Height of the current-line band in pixels, and how far above the caret it starts.
    static constexpr int BandHeight = 26;
    static constexpr int BandAbove = 4;

    bool HasSelectColor = false;
    TColor SelectColor = clRed;
    int CursorPos = 1;
    TBackgroundStyle Style = TBackgroundStyle::bsNoBitmap;
    // The caret of the control this background paints for, in client
    // coordinates; none when the control has no caret (then no band is painted).
    std::optional<QPoint> CaretPoint;

    TGraphic* GetImage() const { return FImage.get(); }
    TRDItemBackgroundStyle GetItemBackgroundStyle() const;
    void SetItemBackgroundStyle(TRDItemBackgroundStyle value);
    void SetHasSelectColor(bool value) { HasSelectColor = value; }
    void SetSelectColor(TColor value) { SelectColor = value; }
    void SetCursorPos(int value) { CursorPos = value; }

    bool IsEmpty() const;
    bool HasVisibleImage() const;
    // The picture is fixed to the window: every scroll repaints the whole window.
    bool NeedsFullRedraw() const;
    // The colour must be painted under the picture.
    bool NeedsColorFill() const;

    void FreeImage();
    // A copy of graphic, of its own class (nullptr: no picture); nothing when
    // graphic is the picture already.
    void AssignImage(const TGraphic* graphic);
    // The background takes graphic over.
    void AssignImage(std::unique_ptr<TGraphic> graphic);
    // Hands the picture over to the caller without freeing it; the background
    // then has none.
    std::unique_ptr<TGraphic> TakeImage();
    // No display here uses a palette: only the palette copy is dropped.
    void UpdatePalette(TRDPaletteAction action);

    // Paints rect (client coordinates) of a window width x height whose canvas
    // point (0, 0) is rect's top-left corner; scrollX, scrollY are the
    // document's scroll offsets plus origin.
    void DrawBackgroundRect(TCanvas& canvas, const QRect& rect, bool drawAsDIB, bool clipAndShift, TColor color,
                            int width, int height, int shiftX, int shiftY, int scrollX, int scrollY) const;
    // Paints rect of a printed or previewed page on any paint device; outerRect
    // is the area the picture is placed in; device scales picture sizes.
    void PrintRect(QPainter& painter, const QRect& rect, const QRect& outerRect, const TRDResolutionInfo* device,
                   TColor color, const TRDPrintBackgroundHook& printData) const;

private:
    std::unique_ptr<TGraphic> FImage;
    std::unique_ptr<TGraphic> FWorkImage;

    const TGraphic* Picture() const { return FWorkImage ? FWorkImage.get() : FImage.get(); }
    bool PlacedStyle() const;
};
