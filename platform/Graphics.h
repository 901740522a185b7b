#pragma once

// Colours, fonts, rectangles, bitmaps and the canvas the skinned controls draw on.

#include <QtCore/QRect>
#include <QtCore/QString>
#include <QtGui/QColor>
#include <QtGui/QFont>
#include <QtGui/QImage>

#include <cstdint>
#include <functional>
#include <stdexcept>

class QPainter;

// A colour number as the window layouts store it: red in the lowest byte, then
// green, then blue (255 red, 65280 green, 16711680 blue).
using TColor = std::uint32_t;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clFuchsia = 0xFF00FF;  // the transparent colour of the skinned pictures
constexpr TColor clNavy = 0x800000;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clAqua = 0xFFFF00;


// System colours: $FF000000 plus the index of the system's colour table; they
// resolve through the application palette when drawn.
constexpr TColor clSystemColor = 0xFF000000;
constexpr TColor clScrollBar = clSystemColor | 0;
constexpr TColor clBackground = clSystemColor | 1;
constexpr TColor clActiveCaption = clSystemColor | 2;
constexpr TColor clInactiveCaption = clSystemColor | 3;
constexpr TColor clMenu = clSystemColor | 4;
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowFrame = clSystemColor | 6;
constexpr TColor clMenuText = clSystemColor | 7;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clCaptionText = clSystemColor | 9;
constexpr TColor clActiveBorder = clSystemColor | 10;
constexpr TColor clInactiveBorder = clSystemColor | 11;
constexpr TColor clAppWorkSpace = clSystemColor | 12;
constexpr TColor clHighlight = clSystemColor | 13;
constexpr TColor clHighlightText = clSystemColor | 14;
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clBtnShadow = clSystemColor | 16;
constexpr TColor clGrayText = clSystemColor | 17;
constexpr TColor clBtnText = clSystemColor | 18;
constexpr TColor clInactiveCaptionText = clSystemColor | 19;
constexpr TColor clBtnHighlight = clSystemColor | 20;
constexpr TColor cl3DDkShadow = clSystemColor | 21;
constexpr TColor cl3DLight = clSystemColor | 22;
constexpr TColor clInfoText = clSystemColor | 23;
constexpr TColor clInfoBk = clSystemColor | 24;
constexpr TColor clHotLight = clSystemColor | 26;
constexpr TColor clMenuHighlight = clSystemColor | 29;
constexpr TColor clMenuBar = clSystemColor | 30;
// No colour, and the control's default colour.
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

// True for the system colours above.
constexpr bool IsSystemColor(TColor color)
{
    return (color & 0xFF000000) == clSystemColor;
}

// The red-green-blue value of a colour: system colours are looked up in the
// application palette (active group); every other value is returned as it is.
TColor ColorToRGB(TColor color);

// System colours resolve through ColorToRGB.
QColor ToQColor(TColor color);
TColor FromQColor(const QColor& color);

// A rectangle given by its edges; Right and Bottom lie outside it.
inline QRect Rect(int left, int top, int right, int bottom)
{
    return QRect(left, top, right - left, bottom - top);
}

// Rounds to the nearest integer, halves to the even neighbour.
int RoundHalfEven(double value);

// n * numerator / denominator rounded to the nearest, halves away from zero;
// -1 for a zero denominator.
int MulDiv(int n, int numerator, int denominator);

// The installed font that stands for a font name of the window layouts
// ("宋体", "Arial", "Courier New", ...). Unknown names are passed through.
QString MapFontName(const QString& layoutName);

// A font as the layouts describe it. Size is in points at 96 dots per inch;
// Height() is the layouts' negative pixel height (-12 for 9 points).
struct TFont {
    QString Name = QStringLiteral("宋体");
    int Size = 9;
    TColor Color = clBlack;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    std::uint8_t Charset = 1;  // DEFAULT_CHARSET

    int Height() const;
    void SetHeight(int height);
    QFont ToQFont() const;
};

// Raised when a named bitmap resource does not exist.
class EResNotFound : public std::runtime_error {
public:
    explicit EResNotFound(const QString& name);
};

// The program's named bitmap resources. A renderer is registered per name; the
// picture is made once, on first use, and kept.
using TBitmapRenderer = std::function<QImage()>;
void RegisterBitmapResource(const QString& name, TBitmapRenderer renderer);
void UnregisterBitmapResource(const QString& name);
bool BitmapResourceExists(const QString& name);
QStringList BitmapResourceNames();
QImage LoadBitmapResource(const QString& name);  // raises EResNotFound

// A bitmap with the transparency switches of the GUI library: when Transparent
// is on, pixels of TransparentColor are not drawn. The transparent colour is
// automatic (the bottom-left pixel) until one is set.
class TBitmap {
public:
    void LoadFromResourceName(const QString& name);  // raises EResNotFound
    void Assign(const QImage& image);
    void Clear();  // empties the picture
    bool Empty() const { return FImage.isNull(); }
    int Width() const { return FImage.width(); }
    int Height() const { return FImage.height(); }

    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);
    TColor TransparentColor() const;
    void SetTransparentColor(TColor color);

    const QImage& Image() const { return FImage; }
    // The picture as drawn: with the transparent colour cleared when Transparent.
    const QImage& DrawImage() const;

private:
    QImage FImage;
    bool FTransparent = false;
    bool FAutoTransparentColor = true;
    TColor FTransparentColor = clFuchsia;
    mutable QImage FDrawImage;
    mutable bool FDrawImageValid = false;
};

// The canvas of a control during painting, over a QPainter.
enum class TBrushStyle { Solid, Clear };

class TCanvas {
public:
    explicit TCanvas(QPainter& painter);

    TFont Font;
    TColor BrushColor = clWhite;
    TBrushStyle BrushStyle = TBrushStyle::Solid;
    TColor PenColor = clBlack;
    int PenWidth = 1;

    void Draw(int x, int y, const TBitmap& bitmap);
    void StretchDraw(const QRect& rect, const TBitmap& bitmap);
    void TextOut(int x, int y, const QString& text);
    int TextWidth(const QString& text) const;
    int TextHeight(const QString& text) const;
    void FillRect(const QRect& rect);
    void Rectangle(const QRect& rect);
    void MoveTo(int x, int y);
    void LineTo(int x, int y);

    QPainter& Painter() { return FPainter; }

private:
    QPainter& FPainter;
    QPoint FPenPos;
};

// Text measures outside of painting, with a font of the layouts.
int TextWidthOf(const TFont& font, const QString& text);
int TextHeightOf(const TFont& font, const QString& text);
