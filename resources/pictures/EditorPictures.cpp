// The text editor's pictures: the strip of the ten numbered bookmarks and the
// mark of a wrapped line (on clLime, its transparent colour).

#include "PictureKit.h"

#include "Graphics.h"

#include <QtGui/QPainter>
#include <QtGui/QPainterPath>

namespace PictureKit {

namespace {

constexpr int BookmarkWidth = 12;
constexpr int BookmarkHeight = 16;

// One bookmark: a blue tag with a notch at the bottom and its digit.
void Bookmark(QPainter& p, int left, int digit)
{
    using namespace Palette;
    QPainterPath tag;
    const qreal l = left + 0.5, r = left + BookmarkWidth - 0.5;
    tag.moveTo(l, 0.5);
    tag.lineTo(r, 0.5);
    tag.lineTo(r, BookmarkHeight - 0.5);
    tag.lineTo((l + r) / 2, BookmarkHeight - 4);
    tag.lineTo(l, BookmarkHeight - 0.5);
    tag.closeSubpath();
    p.setPen(QPen(Ink, 1));
    p.setBrush(Accent);
    p.drawPath(tag);
    CentredText(p, QRectF(left, 0, BookmarkWidth, BookmarkHeight - 4), QString::number(digit), 9, Paper);
}

}  // namespace

void RegisterEditorPictures()
{
    RegisterPicture(QStringLiteral("TextEditInternalImages"), {BookmarkWidth * 10, BookmarkHeight}, TLook::Normal,
                    TBackdrop::Opaque, [](QPainter& p, QSize s, TLook) {
                        p.fillRect(QRect(QPoint(0, 0), s), Palette::Paper);
                        for (int i = 0; i < 10; ++i)
                            Bookmark(p, i * BookmarkWidth, i);
                    });
    RegisterPicture(QStringLiteral("TextEditWrapped"), {12, 12}, TLook::Normal, TBackdrop::Opaque,
                    [](QPainter& p, QSize s, TLook) {
                        p.setRenderHint(QPainter::Antialiasing, false);
                        p.fillRect(QRect(QPoint(0, 0), s), QColor(0, 255, 0));  // clLime: transparent
                        p.setPen(QPen(Palette::Ink, 1));
                        // A line running right, down and back left, ending in an arrow head.
                        p.drawLine(1, 2, 9, 2);
                        p.drawLine(9, 2, 9, 8);
                        p.drawLine(9, 8, 3, 8);
                        p.drawLine(3, 8, 5, 6);
                        p.drawLine(3, 8, 5, 10);
                    },
                    TLookPass::Painted);
}

}  // namespace PictureKit
