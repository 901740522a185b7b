#pragma once

#include <cstdint>

#include <QtCore/QRect>

#include "Graphics.h"

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

// n * numerator / denominator rounded to the nearest, halves away from zero;
// -1 for a zero denominator.
int MulDiv(int n, int numerator, int denominator);

void FillResolutionInfo(TRDResolutionInfo& info, const QPaintDevice& device);
int ScaleToDeviceX(int n, const TRDResolutionInfo* info);
int ScaleToDeviceY(int n, const TRDResolutionInfo* info);
int ScaleToScreenX(int n, const TRDResolutionInfo* info);
int ScaleToScreenY(int n, const TRDResolutionInfo* info);
void ScaleRectToScreen(QRect& r, const TRDResolutionInfo* info);
int GetScreenPixelsPerInch();
bool PointInBounds(int x, int y, int left, int top, int width, int height);

int ColorLuminance(TColor color);
TColor ColorToGray(TColor color);
TColor ResolveSystemColor(TColor color);
TColor ColorByColorMode(TColor color, int mode);
TColor BackColorByColorMode(TColor color, int mode);

// Line styles: 0 solid, 1 dots, 2 dashes, 3 long dashes, 4 dash and dot,
// 5 dash and two dots. The pattern lengths scale with patternBase at the
// resolution of the painter's device when patternBase is not 0.
void DrawStyledHLine(QPainter& painter, TColor color, int lineStyle, int width, int left, int right, int y,
                     int patternBase);
