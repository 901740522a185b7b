// Painting of the grid: grid lines, cells by area, the strips beyond the
// cells, and the sizing and move lines drawn over the cells.

#include "GridsEx.h"

#include <QtGui/QPaintEvent>
#include <QtGui/QPainter>

#include <algorithm>


void TCustomGrid::paintEvent(QPaintEvent* event)
{
    Guard([&] {
        QPainter painter(viewport());
        TCanvas canvas(painter);
        canvas.Font = FFont;
        canvas.BrushColor = FColor;
        Paint(canvas, event->region());
        PaintFeedbackLines(painter);
    });
}

void TCustomGrid::Paint(TCanvas& canvas, const QRegion& updateRegion)
{
    QPainter& painter = canvas.Painter();
    const bool rtl = UseRightToLeftAlignment();
    const int clientWidth = ClientWidth();
    if (rtl) {
        painter.save();
        painter.translate(clientWidth, 0);
        painter.scale(-1, 1);
    }
    // The update region in the painter's (possibly mirrored) coordinates.
    auto visible = [&](const QRect& r) {
        const QRect screen = rtl ? Rect(clientWidth - r.right() - 1, r.top(), clientWidth - r.left(), r.bottom() + 1)
                                 : r;
        return updateRegion.intersects(screen);
    };

    TGridDrawInfo info;
    CalcDrawInfo(info);
    const auto& h = info.Horz;
    const auto& v = info.Vert;

    // Grid lines, one batch per axis and area; a line whose option is off is
    // drawn in the area's background.
    if (h.EffectiveLineWidth > 0 || v.EffectiveLineWidth > 0) {
        const TColor lineColor = ColorToRGB(FColor) == clSilver ? clGray : clSilver;
        auto drawAxisLines = [&](const TGridAxisDrawInfo& axis, int cell, bool vertical, const int bounds[4],
                                 TColor color) {
            if (axis.EffectiveLineWidth == 0)
                return;
            QPen pen(ToQColor(color), FGridLineWidth);
            pen.setCapStyle(FGridLineWidth > 1 ? Qt::SquareCap : Qt::FlatCap);
            painter.setPen(pen);
            const int major = vertical ? 0 : 1;
            const int minor = major ^ 1;
            qint64 line = static_cast<qint64>(bounds[major]) + axis.EffectiveLineWidth / 2 + axis.GetExtent(cell);
            const int startMinor = bounds[minor];
            const int stopMinor = bounds[2 + minor];
            const qint64 stopMajor = static_cast<qint64>(bounds[2 + major]) + axis.EffectiveLineWidth;
            QVector<QLine> lines;
            do {
                const int at = static_cast<int>(line);
                if (vertical)
                    lines.append(QLine(at, startMinor, at, stopMinor - 1));
                else
                    lines.append(QLine(startMinor, at, stopMinor - 1, at));
                ++cell;
                line += static_cast<qint64>(axis.GetExtent(cell)) + axis.EffectiveLineWidth;
            } while (line <= stopMajor);
            painter.drawLines(lines);
        };
        auto drawLines = [&](bool doHorz, bool doVert, int col, int row, int left, int top, int right, int bottom,
                             TColor onColor, TColor offColor) {
            if (left == right || top == bottom)
                return;
            const int bounds[4] = {left, top, right, bottom};
            if (!doHorz) {
                drawAxisLines(v, row, false, bounds, doHorz ? onColor : offColor);
                drawAxisLines(h, col, true, bounds, doVert ? onColor : offColor);
            } else {
                drawAxisLines(h, col, true, bounds, doVert ? onColor : offColor);
                drawAxisLines(v, row, false, bounds, doHorz ? onColor : offColor);
            }
        };
        const bool fixedHorz = FOptions & goFixedHorzLine;
        const bool fixedVert = FOptions & goFixedVertLine;
        drawLines(fixedHorz, fixedVert, 0, 0, 0, 0, h.FixedBoundary, v.FixedBoundary, clBlack, FFixedColor);
        drawLines(fixedHorz, fixedVert, FTopLeft.X, 0, h.FixedBoundary, 0, h.GridBoundary, v.FixedBoundary, clBlack,
                  FFixedColor);
        drawLines(fixedHorz, fixedVert, 0, FTopLeft.Y, 0, v.FixedBoundary, h.FixedBoundary, v.GridBoundary, clBlack,
                  FFixedColor);
        drawLines(FOptions & goHorzLine, FOptions & goVertLine, FTopLeft.X, FTopLeft.Y, h.FixedBoundary,
                  v.FixedBoundary, h.GridBoundary, v.GridBoundary, lineColor, FColor);
    }

    // Cells, area by area.
    const TGridRect sel = Selection();
    const bool focused = IsActiveControl();
    const bool edgeRight = FOptions & goFixedVertLine;
    const bool edgeBottom = FOptions & goFixedHorzLine;
    const QColor light = ToQColor(clBtnHighlight);
    const QColor shadow = ToQColor(clBtnShadow);
    auto drawCells = [&](int firstCol, int firstRow, int startX, int startY, int stopX, int stopY, TColor color,
                         TGridDrawState include, int clipLeft) {
        int curRow = firstRow;
        qint64 top = startY;
        const bool clip = clipLeft > startX;
        if (clip) {
            painter.save();
            painter.setClipRect(Rect(clipLeft, startY, stopX, stopY), Qt::IntersectClip);
        }
        while (top < stopY && curRow < FRowCount) {
            int curCol = firstCol;
            qint64 left = startX;
            const qint64 bottom = top + RowHeights(curRow);
            while (left < stopX && curCol < FColCount) {
                const qint64 right = left + ColWidths(curCol);
                const QRect where = Rect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right),
                                         static_cast<int>(bottom));
                if (right > left && visible(where)) {
                    TGridDrawState state = include;
                    if (focused && curRow == FCurrent.Y && curCol == FCurrent.X)
                        state |= gdFocused;
                    if (sel.Contains(curCol, curRow))
                        state |= gdSelected;
                    if (!(state & gdFocused) || !(FOptions & goEditing) || !FEditorMode) {
                        if (FDefaultDrawing) {
                            canvas.Font = FFont;
                            // A selected cell keeps the brush as it stands.
                            if (!(state & gdSelected) ||
                                ((state & gdFocused) && !(FOptions & (goDrawFocusSelected | goRowSelect))))
                                canvas.BrushColor = color;
                            canvas.BrushStyle = TBrushStyle::Solid;
                            canvas.FillRect(where);
                        }
                        PaintCell(canvas, curCol, curRow, where, state);
                        if (FDefaultDrawing && (state & gdFixed) && (edgeRight || edgeBottom)) {
                            QRect edge = where;
                            if (!edgeRight)
                                edge.setRight(edge.right() + h.EffectiveLineWidth);
                            else if (!edgeBottom)
                                edge.setBottom(edge.bottom() + v.EffectiveLineWidth);
                            painter.save();
                            painter.setPen(light);
                            painter.drawLine(edge.topLeft(), edge.topRight());
                            painter.drawLine(edge.topLeft(), edge.bottomLeft());
                            painter.setPen(shadow);
                            painter.drawLine(edge.bottomLeft(), edge.bottomRight());
                            painter.drawLine(edge.topRight(), edge.bottomRight());
                            painter.restore();
                        }
                        if (rtl && FDefaultDrawing && (state & gdFocused) &&
                            (FOptions & (goEditing | goAlwaysShowEditor)) != (goEditing | goAlwaysShowEditor) &&
                            !(FOptions & goRowSelect)) {
                            painter.save();
                            painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
                            painter.setBrush(Qt::NoBrush);
                            painter.drawRect(where.adjusted(0, 0, -1, -1));
                            painter.restore();
                        }
                    }
                }
                left = right + h.EffectiveLineWidth;
                ++curCol;
            }
            top = bottom + v.EffectiveLineWidth;
            ++curRow;
        }
        if (clip)
            painter.restore();
    };
    drawCells(0, 0, 0, 0, h.FixedBoundary, v.FixedBoundary, FFixedColor, gdFixed, 0);
    drawCells(FTopLeft.X, 0, h.FixedBoundary - FColOffset, 0, h.GridBoundary, v.FixedBoundary, FFixedColor, gdFixed,
              h.FixedBoundary);
    drawCells(0, FTopLeft.Y, 0, v.FixedBoundary, h.FixedBoundary, v.GridBoundary, FFixedColor, gdFixed, 0);
    drawCells(FTopLeft.X, FTopLeft.Y, h.FixedBoundary - FColOffset, v.FixedBoundary, h.GridBoundary, v.GridBoundary,
              FColor, TGridDrawState(), h.FixedBoundary);

    // The area no cell covers.
    canvas.BrushStyle = TBrushStyle::Solid;
    canvas.BrushColor = FColor;
    if (h.GridBoundary < h.GridExtent)
        canvas.FillRect(Rect(h.GridBoundary, 0, h.GridExtent, v.GridBoundary));
    if (v.GridBoundary < v.GridExtent)
        canvas.FillRect(Rect(0, v.GridBoundary, h.GridExtent, v.GridExtent));

    if (rtl)
        painter.restore();
}

// ---------------------------------------------------------------------------
// Sizing and move lines
// ---------------------------------------------------------------------------

// The lines cannot be drawn by exclusive-or on the screen: each change of a
// line repaints the area it covers, and the paint draws the line where the
// grid state puts it, inverting the pixels below.

void TCustomGrid::DrawSizingLine(const TGridDrawInfo& info)
{
    QRect r;
    if (FGridState == gsRowSizing)
        r = Rect(0, FSizingPos - 1, std::max(info.Horz.GridBoundary, ClientWidth()), FSizingPos + 2);
    else if (FGridState == gsColSizing)
        r = Rect(FSizingPos - 1, 0, FSizingPos + 2, std::max(info.Vert.GridBoundary, ClientHeight()));
    if (!r.isEmpty())
        viewport()->update(r);
}

void TCustomGrid::DrawMove()
{
    // The whole line area, at either edge of the target cell.
    QRect cell = CellRect(FGridState == gsColMoving ? FMovePos : 0, FGridState == gsRowMoving ? FMovePos : 0);
    if (cell.isEmpty())
        cell = QRect(0, 0, ClientWidth(), ClientHeight());
    if (FGridState == gsRowMoving)
        viewport()->update(Rect(0, cell.top() - 4, ClientWidth(), cell.bottom() + 5));
    else if (FGridState == gsColMoving)
        viewport()->update(Rect(cell.left() - 4, 0, cell.right() + 5, ClientHeight()));
}

void TCustomGrid::PaintFeedbackLines(QPainter& painter)
{
    if (FGridState != gsRowSizing && FGridState != gsColSizing && FGridState != gsRowMoving &&
        FGridState != gsColMoving)
        return;
    TGridDrawInfo info;
    CalcDrawInfo(info);
    painter.save();
    painter.resetTransform();
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    if (FGridState == gsRowSizing || FGridState == gsColSizing) {
        painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
        if (FGridState == gsRowSizing)
            painter.drawLine(0, FSizingPos, info.Horz.GridBoundary, FSizingPos);
        else
            painter.drawLine(FSizingPos, 0, FSizingPos, info.Vert.GridBoundary);
    } else {
        painter.setPen(QPen(Qt::white, 5, Qt::DotLine, Qt::FlatCap));
        if (FGridState == gsRowMoving) {
            const QRect r = CellRect(0, FMovePos);
            const int y = FMovePos > FMoveIndex ? r.top() + r.height() : r.top();
            painter.drawLine(0, y, ClientWidth(), y);
        } else {
            const QRect r = CellRect(FMovePos, 0);
            int x = FMovePos > FMoveIndex ? r.left() + r.width() : r.left();
            if (UseRightToLeftAlignment())
                x = FMovePos > FMoveIndex ? r.left() : r.left() + r.width();
            painter.drawLine(x, 0, x, ClientHeight());
        }
    }
    painter.restore();
}
