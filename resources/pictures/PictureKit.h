#pragma once

// The palette and the small drawing kit shared by every family of the program's
// pictures. A picture is painted on a transparent layer and then either keyed
// onto the transparent colour 0xFF00FF (pictures with a shape of their own) or
// flattened to an opaque picture (strips and backgrounds).

#include <QtCore/QPointF>
#include <QtCore/QRectF>
#include <QtCore/QSize>
#include <QtCore/QString>
#include <QtGui/QColor>
#include <QtGui/QImage>

#include <functional>

class QPainter;
class QPainterPath;

namespace PictureKit {

// The transparent colour of the skinned pictures.
inline const QColor KeyColor(255, 0, 255);

// The light-blue skin.
namespace Palette {
inline const QColor TitleLight(0x3C, 0x8B, 0xE0);  // top of the title strips
inline const QColor TitleDark(0x1F, 0x6F, 0xC5);   // bottom of the title strips
inline const QColor TitleEdge(0x19, 0x5C, 0xA8);   // outer line of strips and buttons
inline const QColor Border(59, 173, 239);          // body borders
inline const QColor Accent(0x1F, 0x6F, 0xC5);      // glyphs and badges
inline const QColor AccentLight(0x4F, 0xA3, 0xEE);
inline const QColor Ink(0x1B, 0x4F, 0x8A);          // dark text and outlines
inline const QColor Pale(0xEA, 0xF4, 0xFD);         // pale fills
inline const QColor Track(0xD4, 0xE3, 0xF1);        // unfilled tracks
inline const QColor TrackEdge(0xA6, 0xD1, 0xF1);
inline const QColor Paper(0xFF, 0xFF, 0xFF);
inline const QColor Red(0xE0, 0x4B, 0x3A);
inline const QColor Green(0x2E, 0xA8, 0x4F);
inline const QColor Amber(0xF6, 0xB8, 0x3C);
inline const QColor AmberEdge(0xB9, 0x7A, 0x12);
inline const QColor FieldEdge(0x9D, 0xB6, 0xCF);    // edit fields
}  // namespace Palette

// How one picture of a control's set looks.
enum class TLook { Normal, Hover, Down, Disabled };

// What becomes of the layer around the painted shapes.
enum class TBackdrop {
    Keyed,   // uncovered and half-covered pixels become exactly 0xFF00FF
    Opaque,  // the painter covers the whole picture; any gap is flattened onto white
};

// Paints one picture of the given size and look on a transparent layer
// (antialiasing switched on).
using TPainterFn = std::function<void(QPainter&, QSize, TLook)>;

// A transparent layer and the two ways of finishing it.
QImage NewLayer(QSize size);
QImage KeyLayer(const QImage& layer);                    // alpha >= 128: its colour, else the key
QImage FlattenLayer(const QImage& layer, const QColor& under);

// The look passes over a layer: disabled pictures are greyed, hover pictures
// lightened, pressed pictures darkened. Transparent pixels stay transparent.
void ApplyLook(QImage& layer, TLook look);

// Which looks the pass after the painter makes: all of them (Auto), only the
// grey of the disabled picture (GreyOnly: the painter draws hover and pressed
// itself), or none (Painted: the painter draws every look).
enum class TLookPass { Auto, GreyOnly, Painted };

// Renders one picture: layer, painter, look pass, backdrop.
QImage Render(QSize size, TLook look, TBackdrop backdrop, const TPainterFn& painter,
              TLookPass pass = TLookPass::Auto);

// Registers one picture under name.
void RegisterPicture(const QString& name, QSize size, TLook look, TBackdrop backdrop, TPainterFn painter,
                     TLookPass pass = TLookPass::Auto);

// Registers a big picture drawn once and kept between starts (PictureStore.h);
// fontStamp names what besides the program decides its look (the font
// families its text is drawn in).
void RegisterKeptPicture(const QString& name, QSize size, TBackdrop backdrop, TPainterFn painter,
                         std::function<QString()> fontStamp);

// Registers the set of a control from one painter: the normal picture and,
// for each name given (not empty), the hover, pressed and disabled pictures.
struct TLookNames {
    QString Normal;
    QString Hover;
    QString Down;
    QString Disabled;
};
void RegisterLooks(const TLookNames& names, QSize size, TBackdrop backdrop, const TPainterFn& painter,
                   TLookPass pass = TLookPass::Auto);

// ---- shapes -------------------------------------------------------------

// A vertical gradient from top to bottom over rect.
void FillVertical(QPainter& p, const QRectF& rect, const QColor& top, const QColor& bottom);

// A round badge filling the rectangle (ellipse), in the badge colour.
void Badge(QPainter& p, const QRectF& rect, const QColor& color);

// A round badge with a white plus: the "add" glyph of the toolbars and grids.
void PlusBadge(QPainter& p, const QRectF& rect, const QColor& color);

// A round red badge with a white cross: the "delete" glyph.
void CrossBadge(QPainter& p, const QRectF& rect);

// An arc of a circle ending in an arrow head; sweep > 0 runs counter-clockwise
// (angles in degrees, 0 at three o'clock, as QPainter counts them).
void ArcArrow(QPainter& p, QPointF centre, qreal radius, qreal startDeg, qreal sweepDeg, const QColor& color,
              qreal width, qreal head);

// The letter "i" of the information glyphs, drawn as a dot and a stem in rect.
void InfoLetter(QPainter& p, const QRectF& rect, const QColor& color);

// A rounded push button with the skin's gradient, a dark rim and a top light.
void PushButton(QPainter& p, const QRectF& rect, qreal radius, const QColor& top, const QColor& bottom);

// Text centred in rect, bold, in the given pixel size; the CJK face of the
// program is used so that Chinese letters come out right.
void CentredText(QPainter& p, const QRectF& rect, const QString& text, int pixelSize, const QColor& color,
                 bool bold = true);

// Pictograms drawn into a box (any size; they are designed on a 24 x 24 grid
// and scaled to the box). ink is the line colour, fill the inner colour.
using TIconFn = std::function<void(QPainter&, const QColor& ink, const QColor& fill)>;
void DrawIcon(QPainter& p, const QRectF& box, const TIconFn& icon, const QColor& ink, const QColor& fill);
// A picture that is only a pictogram filling the whole picture.
TPainterFn IconPicture(const TIconFn& icon, const QColor& ink, const QColor& fill);

namespace Icons {
void Book(QPainter& p, const QColor& ink, const QColor& fill);          // open book
void Headphones(QPainter& p, const QColor& ink, const QColor& fill);
void PencilPaper(QPainter& p, const QColor& ink, const QColor& fill);   // sheet with lines and a pencil
void Microphone(QPainter& p, const QColor& ink, const QColor& fill);
void Translate(QPainter& p, const QColor& ink, const QColor& fill);     // two bubbles "A" and "文"
void BarChart(QPainter& p, const QColor& ink, const QColor& fill);
void Clapper(QPainter& p, const QColor& ink, const QColor& fill);       // clapperboard
void TextLines(QPainter& p, const QColor& ink, const QColor& fill);     // a sentence pattern card
void Folder(QPainter& p, const QColor& ink, const QColor& fill);
void Film(QPainter& p, const QColor& ink, const QColor& fill);
void Clock(QPainter& p, const QColor& ink, const QColor& fill);
}  // namespace Icons

// ---- the families -----------------------------------------------------

void RegisterSpeedButtonPictures();
void RegisterPanelButtonPictures();  // page buttons, mode buttons, check boxes
void RegisterBarPictures();          // seek bar, volume, list grid
void RegisterFramePictures();        // dialog title strips, information icon, edit field
void RegisterEditorPictures();       // bookmarks and the wrapped-line mark of the text editor
void RegisterWindowPictures();       // login window, main window frame and trees, start page
void RegisterRichTextPictures();     // the rich-text placeholder picture and line-selection cursor

}  // namespace PictureKit
