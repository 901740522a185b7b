#pragma once

#include <cstdint>
#include <optional>

#include <QtCore/QRect>

#include <functional>
#include <memory>

#include "Graphics.h"
#include "Pictures.h"

class QFont;
class QPainter;
class QPaintDevice;

// Converts sizes between the screen (documents are laid out in screen pixels)
// and a device of another resolution. Origin is the horizontal origin of the
// drawing, read by the tab-stop placement.
struct TRDResolutionInfo {
    int32_t ScreenPpiX = 96;
    int32_t ScreenPpiY = 96;
    int32_t DevicePpiX = 96;
    int32_t DevicePpiY = 96;
    int32_t Origin = 0;
};

// When positive, replaces the screen resolution.
extern int PixelsPerInchOverride;
extern bool HalftoneBitmapPrinting;

// MulDiv comes from Graphics.h.

void FillResolutionInfo(TRDResolutionInfo& info, const QPaintDevice& device);
int ScaleToDeviceX(int n, const TRDResolutionInfo* info);
int ScaleToDeviceY(int n, const TRDResolutionInfo* info);
int ScaleToScreenX(int n, const TRDResolutionInfo* info);
int ScaleToScreenY(int n, const TRDResolutionInfo* info);
void ScaleRectToScreen(QRect& r, const TRDResolutionInfo* info);
int GetScreenPixelsPerInch();
bool PointInBounds(int x, int y, int left, int top, int width, int height);

// The outline metrics of a scalable font in device pixels (the underscore
// position is negative below the base line, as the font files give it).
struct TRDOutlineTextMetrics {
    int Ascent = 0;
    int Descent = 0;
    int LineGap = 0;
    int EmSquare = 0;
    int AvgCharWidth = 0;
    int Weight = 400;
    int UnderscoreSize = 1;
    int UnderscorePosition = 0;
    int StrikeoutSize = 1;
    int StrikeoutPosition = 0;
};
// Nothing for a font that has no OS/2 table (not an outline font). device
// gives the resolution; nullptr means the screen.
std::optional<TRDOutlineTextMetrics> AllocOutlineTextMetrics(const QFont& font, const QPaintDevice* device = nullptr);

int ColorLuminance(TColor color);
TColor ColorToGray(TColor color);
TColor ResolveSystemColor(TColor color);
TColor ColorByColorMode(TColor color, int mode);
TColor BackColorByColorMode(TColor color, int mode);

// Makes a new, empty graphic of a stored class name (nullptr when unknown);
// the default is CreateGraphicByName. After an import the second hook may
// change the graphic; by default it does nothing.
using TCreateGraphicHook = std::function<std::unique_ptr<TGraphic>(const QString& className)>;
using TAfterImportGraphicHook = std::function<void(TGraphic& graphic)>;
extern TCreateGraphicHook CreateGraphicHook;
extern TAfterImportGraphicHook AfterImportGraphicHook;
std::unique_ptr<TGraphic> DefaultCreateGraphic(const QString& className);
void DefaultAfterImportGraphic(TGraphic& graphic);

// A bitmap: its Transparent switch; a JPEG: false; any other graphic: true.
bool GraphicMayBeTransparent(const TGraphic& graphic);
// Draws graphic at x, y; a negative width or height is the graphic's own,
// both scaled to the device when info is given. Without stretch drawing
// (devices that take device-independent bitmaps) only bitmaps are drawn.
void DrawGraphicScaled(QPainter& painter, int x, int y, int width, int height, const TRDResolutionInfo* info,
                       const TGraphic& graphic, bool useStretchDraw);

// Line styles: 0 solid, 1 dots, 2 dashes, 3 long dashes, 4 dash and dot,
// 5 dash and two dots. The pattern lengths scale with patternBase at the
// resolution of the painter's device when patternBase is not 0.
void DrawStyledHLine(QPainter& painter, TColor color, int lineStyle, int width, int left, int right, int y,
                     int patternBase);
