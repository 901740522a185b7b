#include "PictureKit.h"

#include "Graphics.h"
#include "PictureStore.h"

#include <QtGui/QFont>
#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>

#include <algorithm>
#include <cmath>

namespace PictureKit {

QImage NewLayer(QSize size)
{
    QImage layer(size, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    return layer;
}

QImage KeyLayer(const QImage& layer)
{
    const QImage source = layer.convertToFormat(QImage::Format_ARGB32);
    QImage keyed(source.size(), QImage::Format_RGB32);
    const QRgb key = KeyColor.rgb();
    for (int y = 0; y < source.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(keyed.scanLine(y));
        for (int x = 0; x < source.width(); ++x)
            out[x] = qAlpha(in[x]) >= 128 ? qRgb(qRed(in[x]), qGreen(in[x]), qBlue(in[x])) : key;
    }
    return keyed;
}

QImage FlattenLayer(const QImage& layer, const QColor& under)
{
    QImage flat(layer.size(), QImage::Format_RGB32);
    flat.fill(under);
    QPainter p(&flat);
    p.drawImage(0, 0, layer);
    return flat;
}

namespace {
int Clamp255(double value)
{
    return std::clamp(static_cast<int>(std::lround(value)), 0, 255);
}

QRgb Greyed(QRgb c)
{
    const double luma = 0.299 * qRed(c) + 0.587 * qGreen(c) + 0.114 * qBlue(c);
    const int grey = Clamp255(118.0 + 0.52 * luma);
    return qRgba(grey, grey, grey, qAlpha(c));
}

QRgb Lightened(QRgb c)
{
    const auto up = [](int v) { return Clamp255(v + (255 - v) * 0.16); };
    return qRgba(up(qRed(c)), up(qGreen(c)), up(qBlue(c)), qAlpha(c));
}

QRgb Darkened(QRgb c)
{
    const auto down = [](int v) { return Clamp255(v * 0.84); };
    return qRgba(down(qRed(c)), down(qGreen(c)), down(qBlue(c)), qAlpha(c));
}
}  // namespace

void ApplyLook(QImage& layer, TLook look)
{
    if (look == TLook::Normal)
        return;
    if (layer.format() != QImage::Format_ARGB32)
        layer = layer.convertToFormat(QImage::Format_ARGB32);
    QRgb (*pass)(QRgb) = look == TLook::Disabled ? Greyed : look == TLook::Hover ? Lightened : Darkened;
    for (int y = 0; y < layer.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(layer.scanLine(y));
        for (int x = 0; x < layer.width(); ++x)
            line[x] = pass(line[x]);
    }
}

QImage Render(QSize size, TLook look, TBackdrop backdrop, const TPainterFn& painter, TLookPass pass)
{
    QImage layer = NewLayer(size);
    {
        QPainter p(&layer);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        painter(p, size, look);
    }
    layer = layer.convertToFormat(QImage::Format_ARGB32);
    if (pass == TLookPass::Auto || (pass == TLookPass::GreyOnly && look == TLook::Disabled))
        ApplyLook(layer, look);
    return backdrop == TBackdrop::Keyed ? KeyLayer(layer) : FlattenLayer(layer, Palette::Paper);
}

void RegisterPicture(const QString& name, QSize size, TLook look, TBackdrop backdrop, TPainterFn painter,
                     TLookPass pass)
{
    RegisterBitmapResource(name, [size, look, backdrop, painter = std::move(painter), pass] {
        return Render(size, look, backdrop, painter, pass);
    });
}

void RegisterKeptPicture(const QString& name, QSize size, TBackdrop backdrop, TPainterFn painter,
                         std::function<QString()> fontStamp)
{
    RegisterBitmapResource(name, [name, size, backdrop, painter = std::move(painter), fontStamp = std::move(fontStamp)] {
        return KeptPicture(name, size, fontStamp(), [&] { return Render(size, TLook::Normal, backdrop, painter); });
    });
}

void RegisterLooks(const TLookNames& names, QSize size, TBackdrop backdrop, const TPainterFn& painter,
                   TLookPass pass)
{
    const std::pair<const QString*, TLook> looks[] = {
        {&names.Normal, TLook::Normal},
        {&names.Hover, TLook::Hover},
        {&names.Down, TLook::Down},
        {&names.Disabled, TLook::Disabled},
    };
    for (const auto& [name, look] : looks)
        if (!name->isEmpty())
            RegisterPicture(*name, size, look, backdrop, painter, pass);
}

// ---- shapes -------------------------------------------------------------

void FillVertical(QPainter& p, const QRectF& rect, const QColor& top, const QColor& bottom)
{
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    p.fillRect(rect, gradient);
}

void Badge(QPainter& p, const QRectF& rect, const QColor& color)
{
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(rect);
    p.restore();
}

void PlusBadge(QPainter& p, const QRectF& rect, const QColor& color)
{
    Badge(p, rect, color);
    const qreal arm = std::round(rect.width() * 0.3);
    const qreal thick = rect.width() >= 16 ? 2 : 1.6;
    const QPointF c = rect.center();
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(Palette::Paper);
    p.drawRect(QRectF(c.x() - arm, c.y() - thick / 2, 2 * arm, thick));
    p.drawRect(QRectF(c.x() - thick / 2, c.y() - arm, thick, 2 * arm));
    p.restore();
}

void CrossBadge(QPainter& p, const QRectF& rect)
{
    Badge(p, rect, Palette::Red);
    const qreal arm = rect.width() * 0.21;
    const QPointF c = rect.center();
    p.save();
    p.setPen(QPen(Palette::Paper, rect.width() >= 14 ? 2 : 1.7, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(-arm, -arm), c + QPointF(arm, arm));
    p.drawLine(c + QPointF(-arm, arm), c + QPointF(arm, -arm));
    p.restore();
}

void ArcArrow(QPainter& p, QPointF centre, qreal radius, qreal startDeg, qreal sweepDeg, const QColor& color,
              qreal width, qreal head)
{
    constexpr qreal degree = 3.14159265358979323846 / 180.0;
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    p.save();
    QPainterPath arc;
    arc.arcMoveTo(box, startDeg);
    arc.arcTo(box, startDeg, sweepDeg);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(color, width, Qt::SolidLine, Qt::FlatCap));
    p.drawPath(arc);
    // the head: a triangle on the end point, pointing along the arc
    const qreal end = (startDeg + sweepDeg) * degree;
    const QPointF tip(centre.x() + radius * std::cos(end), centre.y() - radius * std::sin(end));
    const qreal sign = sweepDeg > 0 ? 1 : -1;
    const QPointF along(-std::sin(end) * sign, -std::cos(end) * sign);  // screen y runs down
    const QPointF across(-along.y(), along.x());
    const QPointF points[] = {tip + along * head, tip + across * head, tip - across * head};
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPolygon(points, 3);
    p.restore();
}

void InfoLetter(QPainter& p, const QRectF& rect, const QColor& color)
{
    const qreal stem = rect.width() * 0.11;  // half the stem's width
    const qreal cx = rect.center().x();
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    const qreal dot = stem * 1.25;
    p.drawEllipse(QPointF(cx, rect.top() + rect.height() * 0.26), dot, dot);
    p.drawRoundedRect(QRectF(cx - stem, rect.top() + rect.height() * 0.47, 2 * stem, rect.height() * 0.31),
                      stem * 0.6, stem * 0.6);
    p.restore();
}

void PushButton(QPainter& p, const QRectF& rect, qreal radius, const QColor& top, const QColor& bottom)
{
    p.save();
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    p.setPen(QPen(Palette::TitleEdge, 1));
    p.setBrush(gradient);
    p.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    // a thin light along the inner top edge
    p.setPen(QPen(QColor(255, 255, 255, 110), 1));
    p.drawLine(QPointF(rect.left() + radius, rect.top() + 1.5), QPointF(rect.right() - radius, rect.top() + 1.5));
    p.restore();
}

void CentredText(QPainter& p, const QRectF& rect, const QString& text, int pixelSize, const QColor& color,
                 bool bold)
{
    QFont font(MapFontName(QStringLiteral("黑体")));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QRectF box = path.boundingRect();
    const QPointF shift = rect.center() - box.center();
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.translate(std::round(shift.x() * 2) / 2, std::round(shift.y() * 2) / 2);
    p.drawPath(path);
    p.restore();
}

void DrawIcon(QPainter& p, const QRectF& box, const TIconFn& icon, const QColor& ink, const QColor& fill)
{
    p.save();
    p.translate(box.topLeft());
    p.scale(box.width() / 24.0, box.height() / 24.0);
    icon(p, ink, fill);
    p.restore();
}

TPainterFn IconPicture(const TIconFn& icon, const QColor& ink, const QColor& fill)
{
    return [icon, ink, fill](QPainter& p, QSize s, TLook) { DrawIcon(p, QRectF(QPointF(0, 0), s), icon, ink, fill); };
}

// ---- pictograms on the 24 x 24 grid ---------------------------------------

namespace Icons {
namespace {
QPen InkPen(const QColor& ink, qreal width = 1.6)
{
    return QPen(ink, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}
}  // namespace

void Book(QPainter& p, const QColor& ink, const QColor& fill)
{
    p.setPen(InkPen(ink));
    p.setBrush(fill);
    const QPointF left[] = {{2, 5}, {11.3, 6.5}, {11.3, 20.5}, {2, 19}};
    const QPointF right[] = {{22, 5}, {12.7, 6.5}, {12.7, 20.5}, {22, 19}};
    p.drawPolygon(left, 4);
    p.drawPolygon(right, 4);
    p.setPen(InkPen(ink, 1.2));
    for (int i = 0; i < 3; ++i) {
        const qreal y = 10 + i * 3.2;
        p.drawLine(QPointF(4.5, y - 0.3), QPointF(9.3, y + 0.4));
        p.drawLine(QPointF(19.5, y - 0.3), QPointF(14.7, y + 0.4));
    }
}

void Headphones(QPainter& p, const QColor& ink, const QColor& fill)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(InkPen(ink, 2.2));
    QPainterPath band;
    band.arcMoveTo(QRectF(4, 3.5, 16, 18), 180);
    band.arcTo(QRectF(4, 3.5, 16, 18), 180, -180);
    p.drawPath(band);
    p.setPen(InkPen(ink, 1.4));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(2.5, 12.5, 5.5, 9), 2, 2);
    p.drawRoundedRect(QRectF(16, 12.5, 5.5, 9), 2, 2);
}

void PencilPaper(QPainter& p, const QColor& ink, const QColor& fill)
{
    p.setPen(InkPen(ink));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(3, 2.5, 13.5, 18.5), 1.5, 1.5);
    p.setPen(InkPen(ink, 1.3));
    for (int i = 0; i < 4; ++i)
        p.drawLine(QPointF(6, 7 + i * 3.3), QPointF(i == 3 ? 9.5 : 13.5, 7 + i * 3.3));
    // the pencil, lying across the lower right corner
    p.setPen(InkPen(ink, 1.4));
    p.setBrush(fill);
    const QPointF pencil[] = {{11, 22}, {12, 18}, {20, 10}, {23, 13}, {15, 21}};
    p.drawPolygon(pencil, 5);
    p.drawLine(QPointF(12, 18), QPointF(15, 21));
}

void Microphone(QPainter& p, const QColor& ink, const QColor& fill)
{
    p.setPen(InkPen(ink));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(8, 2, 8, 13), 4, 4);
    p.setBrush(Qt::NoBrush);
    p.setPen(InkPen(ink, 1.8));
    QPainterPath holder;
    holder.arcMoveTo(QRectF(5, 4.5, 14, 14), 180);
    holder.arcTo(QRectF(5, 4.5, 14, 14), 180, 180);
    p.drawPath(holder);
    p.drawLine(QPointF(12, 18.5), QPointF(12, 21.5));
    p.drawLine(QPointF(8, 21.5), QPointF(16, 21.5));
}

void Translate(QPainter& p, const QColor& ink, const QColor& fill)
{
    p.setPen(InkPen(ink, 1.4));
    p.setBrush(fill);
    QPainterPath first;
    first.addRoundedRect(QRectF(1.5, 2, 13, 11), 2.5, 2.5);
    first.moveTo(4, 13);
    first.lineTo(4, 16.5);
    first.lineTo(7.5, 13);
    p.drawPath(first.simplified());
    QPainterPath second;
    second.addRoundedRect(QRectF(9.5, 9, 13, 11.5), 2.5, 2.5);
    second.moveTo(20, 20.5);
    second.lineTo(20, 23);
    second.lineTo(16.5, 20.5);
    p.drawPath(second.simplified());
    CentredText(p, QRectF(1.5, 2, 11, 11), QStringLiteral("A"), 9, ink);
    CentredText(p, QRectF(9.5, 9, 13, 11.5), QStringLiteral("文"), 9, ink);
}

void BarChart(QPainter& p, const QColor& ink, const QColor& fill)
{
    p.setPen(InkPen(ink, 1.4));
    p.setBrush(fill);
    p.drawRect(QRectF(4.5, 12, 4, 9));
    p.drawRect(QRectF(10, 5, 4, 16));
    p.drawRect(QRectF(15.5, 9, 4, 12));
    p.setPen(InkPen(ink, 1.8));
    p.drawLine(QPointF(2.5, 21.5), QPointF(21.5, 21.5));
}

void Clapper(QPainter& p, const QColor& ink, const QColor& fill)
{
    p.setPen(InkPen(ink, 1.4));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(3, 10, 18, 11), 1.5, 1.5);
    // the clapstick, opened a little
    p.save();
    p.translate(3, 9);
    p.rotate(-14);
    p.drawRect(QRectF(0, -4, 18, 4));
    p.setPen(InkPen(ink, 1.6));
    for (int i = 0; i < 3; ++i)
        p.drawLine(QPointF(4 + i * 5, 0), QPointF(6.5 + i * 5, -4));
    p.restore();
    p.setBrush(ink);
    p.setPen(Qt::NoPen);
    const QPointF play[] = {{10, 12.5}, {15.5, 15.5}, {10, 18.5}};
    p.drawPolygon(play, 3);
}

void TextLines(QPainter& p, const QColor& ink, const QColor& fill)
{
    p.setPen(InkPen(ink));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(2.5, 4, 19, 16), 2, 2);
    p.setPen(InkPen(ink, 1.6));
    p.drawLine(QPointF(6, 9), QPointF(18, 9));
    p.drawLine(QPointF(6, 12.5), QPointF(15, 12.5));
    p.drawLine(QPointF(6, 16), QPointF(17, 16));
}

void Folder(QPainter& p, const QColor& ink, const QColor& fill)
{
    p.setPen(InkPen(ink, 1.3));
    p.setBrush(fill.darker(112));
    QPainterPath back;
    back.moveTo(2, 19.5);
    back.lineTo(2, 5);
    back.lineTo(9, 5);
    back.lineTo(11, 7.5);
    back.lineTo(21, 7.5);
    back.lineTo(21, 19.5);
    back.closeSubpath();
    p.drawPath(back);
    p.setBrush(fill);
    const QPointF front[] = {{2, 20.5}, {4.5, 10.5}, {23, 10.5}, {20.5, 20.5}};
    p.drawPolygon(front, 4);
}

void Film(QPainter& p, const QColor& ink, const QColor& fill)
{
    p.setPen(InkPen(ink, 1.4));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(2, 4, 20, 16), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    for (int i = 0; i < 5; ++i) {
        p.drawRect(QRectF(4 + i * 3.6, 5.8, 1.8, 1.8));
        p.drawRect(QRectF(4 + i * 3.6, 16.4, 1.8, 1.8));
    }
    const QPointF play[] = {{9, 8.5}, {16.5, 12}, {9, 15.5}};
    p.drawPolygon(play, 3);
}

void Clock(QPainter& p, const QColor& ink, const QColor& fill)
{
    p.setPen(InkPen(ink, 1.8));
    p.setBrush(fill);
    p.drawEllipse(QRectF(2.5, 2.5, 19, 19));
    p.setPen(InkPen(ink, 1.8));
    p.drawLine(QPointF(12, 12), QPointF(12, 6.5));
    p.drawLine(QPointF(12, 12), QPointF(16, 14.5));
}
}  // namespace Icons

}  // namespace PictureKit
