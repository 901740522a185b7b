#include "document/RDBack.h"

#include <QtGui/QImage>
#include <QtGui/QPainter>

#include "core/RDGraphUtils.h"

TRDBackground::TRDBackground(bool ownsBitmap)
{
    if (ownsBitmap)
        FImage = std::make_unique<TBitmapGraphic>();
}

TRDBackground::~TRDBackground() = default;

TRDItemBackgroundStyle TRDBackground::GetItemBackgroundStyle() const
{
    switch (Style) {
    case TBackgroundStyle::bsNoBitmap: return TRDItemBackgroundStyle::rdbsColor;
    case TBackgroundStyle::bsStretched: return TRDItemBackgroundStyle::rdbsStretched;
    case TBackgroundStyle::bsTiled:
    case TBackgroundStyle::bsTiledAndScrolled: return TRDItemBackgroundStyle::rdbsTiled;
    default: return TRDItemBackgroundStyle::rdbsCentered;
    }
}

void TRDBackground::SetItemBackgroundStyle(TRDItemBackgroundStyle value)
{
    switch (value) {
    case TRDItemBackgroundStyle::rdbsColor: Style = TBackgroundStyle::bsNoBitmap; break;
    case TRDItemBackgroundStyle::rdbsStretched: Style = TBackgroundStyle::bsStretched; break;
    case TRDItemBackgroundStyle::rdbsTiled: Style = TBackgroundStyle::bsTiled; break;
    case TRDItemBackgroundStyle::rdbsCentered: Style = TBackgroundStyle::bsCentered; break;
    }
}

bool TRDBackground::IsEmpty() const
{
    return Style == TBackgroundStyle::bsNoBitmap && (!FImage || FImage->Empty());
}

bool TRDBackground::HasVisibleImage() const
{
    return Style != TBackgroundStyle::bsNoBitmap && FImage && !FImage->Empty();
}

bool TRDBackground::NeedsFullRedraw() const
{
    return FImage && !FImage->Empty() && Style != TBackgroundStyle::bsNoBitmap &&
           Style != TBackgroundStyle::bsTiledAndScrolled;
}

bool TRDBackground::PlacedStyle() const
{
    return Style == TBackgroundStyle::bsCentered || Style == TBackgroundStyle::bsTopLeft ||
           Style == TBackgroundStyle::bsTopRight || Style == TBackgroundStyle::bsBottomLeft ||
           Style == TBackgroundStyle::bsBottomRight;
}

bool TRDBackground::NeedsColorFill() const
{
    return FImage && !FImage->Empty() && (GraphicMayBeTransparent(*FImage) || PlacedStyle());
}

void TRDBackground::FreeImage()
{
    FImage.reset();
    FWorkImage.reset();
}

void TRDBackground::AssignImage(const TGraphic* graphic)
{
    if (graphic == FImage.get())
        return;
    FreeImage();
    if (graphic)
        FImage = graphic->Clone();
}

void TRDBackground::AssignImage(std::unique_ptr<TGraphic> graphic)
{
    if (graphic.get() == FImage.get())
        return;
    FWorkImage.reset();
    FImage = std::move(graphic);
}

std::unique_ptr<TGraphic> TRDBackground::TakeImage()
{
    FWorkImage.reset();
    return std::move(FImage);
}

void TRDBackground::UpdatePalette(TRDPaletteAction)
{
    FWorkImage.reset();
}

namespace {

// Positions of the picture fixed to a window or an area: the left-top corner
// for a centred or corner style in an area of width x height.
QPoint PlacedPosition(TBackgroundStyle style, int width, int height, int w, int h)
{
    switch (style) {
    case TBackgroundStyle::bsCentered: return {(width - w) / 2, (height - h) / 2};
    case TBackgroundStyle::bsTopRight: return {width - w, 0};
    case TBackgroundStyle::bsBottomLeft: return {0, height - h};
    case TBackgroundStyle::bsBottomRight: return {width - w, height - h};
    default: return {0, 0};
    }
}

} // namespace

void TRDBackground::DrawBackgroundRect(TCanvas& canvas, const QRect& rect, bool drawAsDIB, bool clipAndShift,
                                       TColor color, int width, int height, int shiftX, int shiftY, int scrollX,
                                       int scrollY) const
{
    QPainter& p = canvas.Painter();
    const TGraphic* picture = Picture();
    p.save();
    if (clipAndShift) {
        p.setClipRect(rect, Qt::IntersectClip);
        p.translate(rect.left(), rect.top());
    }
    const QPoint o = rect.topLeft();
    const QRect r = rect.translated(-shiftX, -shiftY);
    const bool hasPicture = picture && !picture->Empty();
    if (color != clNone && (!hasPicture || GraphicMayBeTransparent(*picture) || Style == TBackgroundStyle::bsNoBitmap ||
                            PlacedStyle()))
        p.fillRect(r.translated(-o), ToQColor(ColorToRGB(color)));
    if (HasSelectColor && CaretPoint) {
        const int y = CaretPoint->y() == 3 ? 0 : CaretPoint->y() - BandAbove;
        p.fillRect(QRect(0, y, width, BandHeight).translated(-o), ToQColor(ColorToRGB(SelectColor)));
    }
    if (hasPicture && Style != TBackgroundStyle::bsNoBitmap) {
        const int w = picture->Width(), h = picture->Height();
        const bool blit = dynamic_cast<const TBitmapGraphic*>(picture) && Style != TBackgroundStyle::bsStretched &&
                          !drawAsDIB;
        // A copy of the bitmap's pixels as they are; otherwise the picture's own
        // drawing (with its transparency), or its pixels for device-independent output.
        auto place = [&](int x, int y) {
            const QPoint at = QPoint(x, y) - o;
            if (blit || drawAsDIB)
                p.drawImage(at, picture->Image());
            else
                picture->Draw(p, QRect(at, QSize(w, h)));
        };
        switch (Style) {
        case TBackgroundStyle::bsTiled:
        case TBackgroundStyle::bsTiledAndScrolled: {
            const int sx = Style == TBackgroundStyle::bsTiled ? 0 : scrollX;
            const int sy = Style == TBackgroundStyle::bsTiled ? 0 : scrollY;
            for (int row = (r.top() + sy) / h; row <= (r.top() + r.height() + sy) / h; ++row)
                for (int col = (r.left() + sx) / w; col <= (r.left() + r.width() + sx) / w; ++col)
                    place(col * w - sx, row * h - sy);
            break;
        }
        case TBackgroundStyle::bsStretched:
            if (drawAsDIB)
                p.drawImage(QRect(QPoint(0, 0) - o, QSize(width, height)), picture->Image());
            else
                picture->Draw(p, QRect(QPoint(0, 0) - o, QSize(width, height)));
            break;
        default: {
            const QPoint at = PlacedPosition(Style, width, height, w, h);
            place(at.x(), at.y());
            break;
        }
        }
    }
    p.restore();
}

void TRDBackground::PrintRect(QPainter& p, const QRect& rect, const QRect& outerRect, const TRDResolutionInfo* device,
                              TColor color, const TRDPrintBackgroundHook& printData) const
{
    p.save();
    p.translate(rect.topLeft());
    const QRect r(0, 0, rect.width(), rect.height());
    const QPoint o = rect.topLeft();
    const TGraphic* picture = Picture();
    const bool hasPicture = picture && !picture->Empty();
    if (color != clNone && (!hasPicture || Style == TBackgroundStyle::bsNoBitmap || PlacedStyle()))
        p.fillRect(r, ToQColor(ColorToRGB(color)));
    if (hasPicture && Style != TBackgroundStyle::bsNoBitmap) {
        const bool seeThrough = GraphicMayBeTransparent(*picture) && color == clNone;
        const int w = ScaleToDeviceX(picture->Width(), device);
        const int h = ScaleToDeviceY(picture->Height(), device);
        // One tile or placed picture of size sw x sh at device position at
        // (relative to rect's corner), only its part inside rect.
        auto drawTile = [&](const QPoint& at, int sw, int sh) {
            const QRect tile(at, QSize(sw, sh));
            const QRect visible = tile.intersected(r);
            if (visible.width() <= 0 || visible.height() <= 0)
                return;
            QImage image(sw, sh, QImage::Format_ARGB32_Premultiplied);
            image.fill(color != clNone ? ToQColor(ColorToRGB(color)) : QColor(Qt::transparent));
            {
                QPainter ip(&image);
                if (seeThrough && printData) {
                    ip.translate(-(tile.topLeft() + o));
                    printData(ip, tile.translated(o));
                    ip.resetTransform();
                }
                picture->Draw(ip, QRect(0, 0, sw, sh));
            }
            p.drawImage(visible.topLeft(), image, visible.translated(-tile.topLeft()));
        };
        switch (Style) {
        case TBackgroundStyle::bsStretched:
            drawTile(outerRect.topLeft() - o, ScaleToDeviceX(outerRect.width(), device),
                     ScaleToDeviceY(outerRect.height(), device));
            break;
        case TBackgroundStyle::bsTiled:
        case TBackgroundStyle::bsTiledAndScrolled:
            if (w > 0 && h > 0)
                for (int row = 0; row <= r.height() / h; ++row)
                    for (int col = 0; col <= r.width() / w; ++col)
                        drawTile(QPoint(col * w, row * h), w, h);
            break;
        default:
            drawTile(outerRect.topLeft() - o + PlacedPosition(Style, outerRect.width(), outerRect.height(), w, h), w,
                     h);
            break;
        }
    }
    p.restore();
}
