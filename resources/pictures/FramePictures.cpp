// The title strips of the dialog frame and of the message box, the message
// box's information icon and the input dialog's edit-field background.

#include "PictureKit.h"

#include <QtGui/QPainter>

namespace PictureKit {
namespace {

using namespace Palette;

enum class TEdge { None, Left, Right };

// A cap or the middle of a title strip: the blue gradient, a dark line on
// top, a light line under it, and the dark outer column on the caps.
void TitleStrip(QPainter& p, QSize s, TEdge edge)
{
    p.setRenderHint(QPainter::Antialiasing, false);
    FillVertical(p, QRectF(0, 0, s.width(), s.height()), TitleLight, TitleDark);
    p.fillRect(QRect(0, 0, s.width(), 1), TitleEdge);
    p.fillRect(QRect(0, 1, s.width(), 1), QColor(255, 255, 255, 60));
    if (edge == TEdge::Left)
        p.fillRect(QRect(0, 0, 1, s.height()), TitleEdge);
    if (edge == TEdge::Right)
        p.fillRect(QRect(s.width() - 1, 0, 1, s.height()), TitleEdge);
}

void Strip(const QString& name, QSize size, TEdge edge)
{
    RegisterPicture(name, size, TLook::Normal, TBackdrop::Opaque,
                    [edge](QPainter& p, QSize s, TLook) { TitleStrip(p, s, edge); });
}

}  // namespace

void RegisterFramePictures()
{
    Strip(QStringLiteral("ModelTopLeft"), {2, 27}, TEdge::Left);
    Strip(QStringLiteral("ModelTopCenter"), {8, 27}, TEdge::None);
    Strip(QStringLiteral("ModelTopRight"), {2, 27}, TEdge::Right);

    RegisterPicture(QStringLiteral("ShowInfoTop"), {120, 29}, TLook::Normal, TBackdrop::Opaque,
                    [](QPainter& p, QSize s, TLook) {
                        TitleStrip(p, s, TEdge::Left);
                        p.setRenderHint(QPainter::Antialiasing);
                        const QRectF emblem(7, 6.5, 17, 17);
                        Badge(p, emblem, Paper);
                        InfoLetter(p, emblem, Accent);
                    });
    Strip(QStringLiteral("ShowInfoTopCenter"), {8, 29}, TEdge::None);
    Strip(QStringLiteral("ShowInfoTopRight"), {2, 29}, TEdge::Right);

    RegisterPicture(QStringLiteral("ShowInfoIcon"), {32, 32}, TLook::Normal, TBackdrop::Keyed,
                    [](QPainter& p, QSize, TLook) {
                        const QRectF disc(1, 1, 30, 30);
                        Badge(p, disc, Accent);
                        InfoLetter(p, disc, Paper);
                    });

    // Rounded: the corners carry the key, so the dialog draws it transparently.
    RegisterPicture(QStringLiteral("InputEditBG"), {200, 23}, TLook::Normal, TBackdrop::Keyed,
                    [](QPainter& p, QSize s, TLook) {
                        p.setPen(QPen(FieldEdge, 1));
                        p.setBrush(Paper);
                        p.drawRoundedRect(QRectF(0.5, 0.5, s.width() - 1, s.height() - 1), 3.5, 3.5);
                        p.setPen(QPen(QColor(0xE4, 0xEC, 0xF4), 1));
                        p.drawLine(QPointF(3, 1.5), QPointF(s.width() - 3, 1.5));
                    });
}

}  // namespace PictureKit
