#include "paint/RDMisspellMark.h"

#include <QtGui/QPainter>

#include "document/RDDocTypes.h"
#include "document/CRDData.h"
#include "styles/RDStyle.h"

QPolygon MisspellPolyline(const QRect& rect)
{
    constexpr int MaxPoints = 1024;
    // rect's right and bottom edges are exclusive.
    const int right = rect.left() + rect.width(), bottom = rect.top() + rect.height();
    QPolygon line;
    for (int x = rect.left(), k = 0; x < right && k < MaxPoints; x += 2, ++k)
        line << QPoint(x, k % 2 == 0 ? bottom - 2 : bottom);
    if (line.size() < 2)
        return {};
    line.last().setX(right);
    return line;
}

void TRDWordMisspellPainter::Paint(TCanvas& canvas, const TRDDrawLineInfo&, TCustomRDData* rdData, const QRect& rect,
                                   int) const
{
    const QPolygon line = MisspellPolyline(rect);
    if (line.size() < 2)
        return;
    const TRDStyle* style = rdData != nullptr ? rdData->GetRDStyle() : nullptr;
    QPainter& painter = canvas.Painter();
    const QPen old = painter.pen();
    painter.setPen(QPen(ToQColor(style != nullptr ? style->LiveSpellingColor : TColor(0x0000FF)), 1, Qt::SolidLine));
    painter.drawPolyline(line);
    painter.setPen(old);
}
