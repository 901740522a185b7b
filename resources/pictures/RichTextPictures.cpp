// The rich-text viewer's pictures: the placeholder drawn for a picture that
// cannot be shown, the mirrored arrow of line selection in the left margin
// (keyed on 0xFF00FF; the cursor's hot spot is its tip at the top right), and
// the short thick arrows that select a table's row (pointing right, tip at
// (24, 10)) or column (pointing down, tip at (10, 24)).

#include "PictureKit.h"

#include <QtGui/QPainter>
#include <QtGui/QPainterPath>

namespace PictureKit {

void RegisterRichTextPictures()
{
    RegisterPicture(QStringLiteral("RD_BAD_PICTURE"), {20, 20}, TLook::Normal, TBackdrop::Opaque,
                    [](QPainter& p, QSize s, TLook) {
                        p.setRenderHint(QPainter::Antialiasing, false);
                        p.fillRect(QRect(QPoint(0, 0), s), Palette::Paper);
                        p.setPen(QPen(Palette::FieldEdge, 1));
                        p.drawRect(0, 0, s.width() - 1, s.height() - 1);
                        // A torn picture: a red cross over a grey square.
                        p.fillRect(4, 4, s.width() - 8, s.height() - 8, QColor(0xC0, 0xC0, 0xC0));
                        p.setPen(QPen(Palette::Red, 2));
                        p.drawLine(5, 5, s.width() - 6, s.height() - 6);
                        p.drawLine(s.width() - 6, 5, 5, s.height() - 6);
                    },
                    TLookPass::Painted);
    RegisterPicture(QStringLiteral("RD_FLIPARROW_CURSOR"), {32, 32}, TLook::Normal, TBackdrop::Keyed,
                    [](QPainter& p, QSize, TLook) {
                        // The usual arrow, mirrored: the tip at (20, 1), pointing up and right.
                        QPainterPath arrow;
                        arrow.moveTo(20.5, 1.5);
                        arrow.lineTo(20.5, 18.5);
                        arrow.lineTo(16.5, 14.5);
                        arrow.lineTo(13.5, 20.5);
                        arrow.lineTo(11, 19.5);
                        arrow.lineTo(14, 13.5);
                        arrow.lineTo(8.5, 13.5);
                        arrow.closeSubpath();
                        p.setPen(QPen(Qt::black, 1));
                        p.setBrush(Qt::white);
                        p.drawPath(arrow);
                    },
                    TLookPass::Painted);
    // A thick arrow pointing right with its tip at (24.5, 10.5); the column
    // cursor is the same arrow turned to point down.
    auto selectArrow = [](QPainter& p, bool down) {
        QPainterPath arrow;
        arrow.moveTo(24.5, 10.5);
        arrow.lineTo(18.5, 4.5);
        arrow.lineTo(18.5, 8.5);
        arrow.lineTo(10.5, 8.5);
        arrow.lineTo(10.5, 12.5);
        arrow.lineTo(18.5, 12.5);
        arrow.lineTo(18.5, 16.5);
        arrow.closeSubpath();
        if (down) {
            // Mirrored over the diagonal: (x, y) becomes (y, x).
            p.setTransform(QTransform(0, 1, 1, 0, 0, 0));
        }
        p.setPen(QPen(Qt::white, 1));
        p.setBrush(Qt::black);
        p.drawPath(arrow);
    };
    RegisterPicture(QStringLiteral("RD_SELECTROW_CURSOR"), {32, 32}, TLook::Normal, TBackdrop::Keyed,
                    [selectArrow](QPainter& p, QSize, TLook) { selectArrow(p, false); }, TLookPass::Painted);
    RegisterPicture(QStringLiteral("RD_SELECTCOL_CURSOR"), {32, 32}, TLook::Normal, TBackdrop::Keyed,
                    [selectArrow](QPainter& p, QSize, TLook) { selectArrow(p, true); }, TLookPass::Painted);
}

}  // namespace PictureKit
