// The editor control's painting: the gutter and its marks, the text rows
// with their selection and caret, the plugins' overlays.
#include "TextEdit.h"

#include "Graphics.h"
#include "TextEditHighlighter.h"
#include "TextEditInternal.h"

#include <QtGui/QPaintEvent>
#include <QtGui/QPainter>
#include <algorithm>

void TCustomTextEdit::PaintMarks(QPainter& painter, int firstRow, int lastRow)
{
    const int rh = RowHeight();
    if (!FBookMarkOptions.GlyphsVisible() || FMarks.Count() == 0) {
        if (OnGutterPaint)
            for (int row = firstRow; row <= lastRow && row <= DisplayRowCount(); ++row)
                OnGutterPaint(this, RowToLine(row), 0, (row - FTopRow) * rh);
        return;
    }
    std::vector<int> offsets(static_cast<size_t>(std::max(0, lastRow - firstRow + 1)), 0);
    TCanvas canvas(painter);
    const QList<QImage>* images = FBookMarkOptions.BookmarkImages();
    auto draw = [&](TTextEditMark* mark) {
        const int row = LineToRow(mark->MarkLine());
        if (row < firstRow || row > lastRow)
            return;
        int& offset = offsets[static_cast<size_t>(row - firstRow)];
        const int top = (row - FTopRow) * rh;
        if (mark->BuiltInPicture() || !images) {
            if (mark->PictureIndex() > 9)
                return;
            if (!FInternalImage)
                FInternalImage = std::make_unique<TTextInternalImage>(QStringLiteral("TextEditInternalImages"), 10);
            if (offset == 0)
                FInternalImage->Draw(canvas, mark->PictureIndex(), FBookMarkOptions.LeftMargin() + offset, top, rh);
        } else {
            if (mark->PictureIndex() < 0 || mark->PictureIndex() >= images->size())
                return;
            if (mark->IsNumbered() == FBookMarkOptions.DrawBookmarksFirst())
                offset = 0;
            else if (offset == 0)
                offset = FBookMarkOptions.Xoffset();
            painter.drawImage(FBookMarkOptions.LeftMargin() + offset, top, images->at(mark->PictureIndex()));
        }
        offset += FBookMarkOptions.Xoffset();
    };
    std::vector<TTextEditMark*> later;
    for (int i = 0; i < FMarks.Count(); ++i) {
        TTextEditMark* mark = FMarks.Items(i);
        if (!mark->Shown())
            continue;
        if (mark->IsNumbered() == FBookMarkOptions.DrawBookmarksFirst())
            draw(mark);
        else
            later.push_back(mark);
    }
    for (TTextEditMark* mark : later)
        draw(mark);
    if (OnGutterPaint)
        for (int row = firstRow; row <= lastRow && row <= DisplayRowCount(); ++row)
            OnGutterPaint(this, RowToLine(row), offsets[static_cast<size_t>(row - firstRow)], (row - FTopRow) * rh);
}

void TCustomTextEdit::PaintPlugins(QPainter& painter, const QRect& clip, int firstRow, int lastRow)
{
    const int lastTextRow = std::min(lastRow, DisplayRowCount());
    if (FPlugins && !FPlugins->empty() && firstRow <= lastTextRow) {
        ForEachPlugin([&](TTextEditPlugin* plugin) {
            painter.save();
            TCanvas canvas(painter);
            canvas.Font = FFont;
            canvas.BrushColor = FColor;
            plugin->PaintOverlay(canvas, clip, RowToLine(firstRow), RowToLine(lastTextRow));
            painter.restore();
        });
    }
    painter.save();
    TCanvas canvas(painter);
    canvas.Font = FFont;
    canvas.BrushColor = FColor;
    DoPaint(canvas);
    painter.restore();
}

void TCustomTextEdit::DoPaint(TCanvas& canvas)
{
    if (OnPaint)
        OnPaint(this, canvas);
}

void TCustomTextEdit::PaintFoldBar(QPainter& painter, int firstRow, int lastRow)
{
    // The right 10 pixels of the gutter: lines along expanded ranges, and a
    // box with a minus (expanded) or a plus (collapsed) on each header.
    const int rh = RowHeight();
    const int left = FGutterPixels - 10;
    const int right = FGutterPixels - 1;
    const int centre = left + (right - left) / 2;
    const QColor ink = ToQColor(FCodeFolding.FolderBarLinesColor());
    const int rowCount = DisplayRowCount();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(ink, 1));
    for (int row = std::max(firstRow, FTopRow); row <= lastRow && row <= FTopRow + FRowsInWindow && row <= rowCount;
         ++row) {
        const int top = (row - FTopRow) * rh;
        const int bottom = top + rh - 1;
        const int middle = top + rh / 2;
        const int line = RowToLine(row);
        bool inside = false;
        bool end = false;
        for (int i = 0; i < FAllFoldRanges.TotalCount(); ++i) {
            const TTextEditFoldRange* r = FAllFoldRanges.RangeAt(i);
            if (r->IsCollapsed || r->HiddenByParent || !r->SpansLines())
                continue;
            if (r->HeadLine < line && line < r->LastLine)
                inside = true;
            else if (r->LastLine == line)
                end = true;
        }
        if (inside) {
            painter.drawLine(centre, top, centre, bottom);
        } else if (end) {
            painter.drawLine(centre, top, centre, middle);
            painter.drawLine(centre, middle, right - 2, middle);
        }
        // A wrapped line's later rows carry no box.
        if (FWrap && LineToRow(line) != row)
            continue;
        const TTextEditFoldRange* head = RealFoldAt(line);
        if (!head)
            continue;
        if (!head->IsCollapsed)
            painter.drawLine(centre, middle, centre, bottom);
        const int side = right - left;
        const int boxTop = top + (rh - side) / 2;
        const QRect box(left, boxTop, side, side);
        painter.setBrush(ToQColor(clWindow));
        if (FCodeFolding.CollapsingMarkStyle() == msEllipse)
            painter.drawEllipse(box);
        else
            painter.drawRect(box);
        painter.setBrush(Qt::NoBrush);
        const int boxMiddle = boxTop + side / 2;
        painter.drawLine(left + 2, boxMiddle, right - 2, boxMiddle);
        if (head->IsCollapsed)
            painter.drawLine(centre, boxTop + 2, centre, boxTop + side - 2);
    }
    painter.restore();
}

void TCustomTextEdit::PaintFoldText(QPainter& painter, int row, int line, const QRect& rowRect)
{
    const int rh = RowHeight();
    const int top = rowRect.top();
    const TTextEditFoldRange* head = FoldRangeAtLine(line);
    const bool collapsedHead = head && head->IsCollapsed && head->SpansLines();
    const bool firstRowOfLine = !FWrap || LineToRow(line) == row;
    // The marker after a collapsed header: a framed box with three dots in
    // the five blanks that collapsing appended.
    if (collapsedHead && FCodeFolding.CollapsedCodeHint()) {
        const QString text = DisplayLine(line);
        const int suffixCells = CellLength(FoldHeaderSuffix(head));
        auto* stored = const_cast<TTextEditFoldRange*>(head);
        stored->CollapseMarkLeft = (CellLength(text) - suffixCells) * FCharWidth + FGutterPixels + 2;
        const QRect mark = CollapseMarkRect(head, line).translated(-(FLeftColumn - 1) * FCharWidth, 0);
        if (mark.left() >= FGutterPixels && firstRowOfLine) {
            painter.save();
            painter.setRenderHint(QPainter::Antialiasing, false);
            painter.fillRect(mark, QColor(0xC0, 0xC0, 0xC0));
            painter.setPen(QPen(Qt::black, 1));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(mark.adjusted(0, 0, -1, -1));
            const int dotY = mark.top() + (mark.height() / 5) * 3;
            for (int x : {mark.left() + FCharWidth - 2, mark.left() + 3 * FCharWidth / 2, mark.right() + 1 - FCharWidth})
                painter.fillRect(QRect(x, dotY, 2, 2), Qt::black);
            painter.restore();
        }
    }
    // Indent guides: a dotted line at the header's indentation through
    // every row inside an expanded range.
    if (FCodeFolding.IndentGuides() && firstRowOfLine) {
        // The deepest range around the caret's line.
        const TTextEditFoldRange* caretRange = nullptr;
        for (int i = 0; i < FAllFoldRanges.TotalCount(); ++i) {
            const TTextEditFoldRange* r = FAllFoldRanges.RangeAt(i);
            if (r->IsCollapsed || r->HiddenByParent || !r->SpansLines())
                continue;
            if (r->HeadLine < FCaret.Line && FCaret.Line < r->LastLine && (!caretRange || r->Depth > caretRange->Depth))
                caretRange = r;
        }
        const int scrolled = (FLeftColumn - 1) * FCharWidth;
        for (int i = 0; i < FAllFoldRanges.TotalCount(); ++i) {
            const TTextEditFoldRange* r = FAllFoldRanges.RangeAt(i);
            if (r->IsCollapsed || r->HiddenByParent || !(r->HeadLine < line && line < r->LastLine))
                continue;
            const QString header = FLines->Get(r->HeadLine - 1);
            int blanks = 0;
            for (QChar c : header) {
                if (c == QLatin1Char(' '))
                    ++blanks;
                else if (c == QLatin1Char('\t'))
                    blanks += FTabWidth - blanks % FTabWidth;
                else
                    break;
            }
            const int x0 = blanks * FCharWidth;
            if (x0 <= scrolled)
                continue;
            const int x = FGutterPixels + x0 - scrolled;
            const bool caretGuide = r == caretRange && FCodeFolding.HighlightIndentGuides();
            painter.fillRect(QRect(x, top, 1, rh), caretGuide ? QColor(160, 160, 255) : ToQColor(clWindow));
            const QColor dot = caretGuide ? QColor(Qt::black) : QColor(128, 128, 128);
            const int start = (rh % 2 == 1 && line % 2 == 1) ? 1 : 0;
            for (int y = top + start; y < top + rh; y += 2)
                painter.fillRect(QRect(x, y, 1, 1), dot);
        }
    }
    // A line under a collapsed header.
    if (collapsedHead && FCodeFolding.ShowCollapsedLine()) {
        const TColor color = FCodeFolding.CollapsedLineColor() == clDefault ? FCodeFolding.FolderBarLinesColor()
                                                                            : FCodeFolding.CollapsedLineColor();
        painter.fillRect(QRect(rowRect.left(), top + rh - 1, width() - rowRect.left(), 1), ToQColor(color));
    }
}

// ================================================================ painting

QRect TCustomTextEdit::CaretRect() const
{
    const QPoint p = DisplayPosToPixels(BufferToDisplayPos(FCaret));
    const int rh = RowHeight();
    switch (FInsertMode ? FInsertCaret : FOverwriteCaret) {
    case ctVerticalLine: return QRect(p.x(), p.y(), 2, rh);
    case ctHorizontalLine: return QRect(p.x(), p.y() + rh - 2, FCharWidth, 2);
    case ctHalfBlock: return QRect(p.x(), p.y() + rh / 2, FCharWidth, rh - rh / 2);
    case ctBlock: return QRect(p.x(), p.y(), FCharWidth, rh);
    }
    return QRect(p.x(), p.y(), 2, rh);
}

QString TCustomTextEdit::DisplayLine(int line) const
{
    const QString s = FLines->Get(line - 1);
    if (!s.contains(QLatin1Char('\t')))
        return s;
    QString out;
    int column = 0;
    for (QChar c : s) {
        if (c == QLatin1Char('\t')) {
            const int n = FTabWidth - (column % FTabWidth);
            out += QString(n, QLatin1Char(' '));
            column += n;
        } else {
            out += c;
            column += CellsOf(c);
        }
    }
    return out;
}

void TCustomTextEdit::PaintGutter(QPainter& painter, int firstRow, int lastRow)
{
    if (FGutterPixels <= 0)
        return;
    const int rh = RowHeight();
    const int rowCount = DisplayRowCount();
    painter.fillRect(QRect(0, 0, FGutterPixels, height()), ToQColor(FGutter.Color()));
    if (FGutter.ShowLineNumbers()) {
        const QColor ink = ToQColor(FGutter.Font().Color);
        FDrawer->ChangeForeColor(FGutter.Font().Color);
        FDrawer->ChangeBackColor(FGutter.Color());
        // Ticks stand centred on the column of the last digit.
        const int d = FCharWidth;
        const int x0 = FGutterPixels - FGutter.RightOffset() - 2;
        for (int row = firstRow; row <= lastRow && row <= rowCount; ++row) {
            // A wrapped line shows its number on its first row only.
            const int line = RowToLine(row);
            if (FWrap && LineToRow(line) != row)
                continue;
            // With folding, lines are numbered as in the expanded text.
            QString number = FGutter.LineNumberText(FCodeFolding.Enabled() ? ExpandedLineIndex(line) : line);
            if (OnGutterGetText)
                OnGutterGetText(this, line, number);
            const int top = (row - FTopRow) * rh;
            if (FGutter.Intens() && line != FCaret.Line && !number.endsWith(QLatin1Char('0'))) {
                // Only every tenth line and the caret's line show their
                // number; a dash marks the fifth, two short strokes the rest.
                if (line % 5 == 0) {
                    const int y = top + (rh - 1) / 2;
                    painter.fillRect(QRect(QPoint(x0 + (d - 4) / 2 - d, y), QPoint(x0 - (d - 4) / 2 - 1, y)), ink);
                } else {
                    const int y = top + (rh - 2) / 2;
                    painter.fillRect(QRect(QPoint(x0 + (d - 2) / 2 - d, y), QPoint(x0 - (d - 2) / 2 - 1, y + 1)), ink);
                }
                continue;
            }
            const int x = x0 - CellLength(number) * FCharWidth;
            FDrawer->PutText(std::max(0, x), top, number);
        }
    }
    if (FGutter.LeftOffsetColor() != clNone)
        painter.fillRect(QRect(0, 0, FGutter.LeftOffset(), height()), ToQColor(FGutter.LeftOffsetColor()));
    if (FGutter.RightOffsetColor() != clNone)
        painter.fillRect(QRect(FGutterPixels - FGutter.RightOffset(), 0, FGutter.RightOffset(), height()),
                         ToQColor(FGutter.RightOffsetColor()));
    // The fold bar's strip.
    if (FCodeFolding.Enabled()) {
        const TColor strip = FCodeFolding.FolderBarColor() == clDefault ? FGutter.Color() : FCodeFolding.FolderBarColor();
        painter.fillRect(QRect(FGutterPixels - 12, 0, 12, height()), ToQColor(strip));
    }
    // The border: on the gutter's last pixel column, or on the one before
    // it with the last in the gutter's colour.
    if (FGutter.BorderStyle() != gbsNone) {
        if (FGutter.BorderStyle() == gbsMiddle) {
            painter.fillRect(QRect(FGutterPixels - 2, 0, 1, height()), ToQColor(FGutter.BorderColor()));
            painter.fillRect(QRect(FGutterPixels - 1, 0, 1, height()), ToQColor(FGutter.Color()));
        } else {
            painter.fillRect(QRect(FGutterPixels - 1, 0, 1, height()), ToQColor(FGutter.BorderColor()));
        }
    }
    PaintMarks(painter, firstRow, lastRow);
    // Changed lines: a bar in the colour of their state.
    if (FGutter.ShowLineModified()) {
        for (int row = firstRow; row <= lastRow && row <= rowCount; ++row) {
            const TTextLineState* state = FLines->LineExtra(RowToLine(row) - 1);
            if (!state || *state == lsUnchanged)
                continue;
            const TColor color = *state == lsSaved ? FGutter.LineNormalColor() : FGutter.LineModifiedColor();
            painter.fillRect(QRect(FGutterPixels - FGutter.RightOffset(), (row - FTopRow) * rh, 5, rh), ToQColor(color));
        }
    }
}

void TCustomTextEdit::PaintTextLines(QPainter& painter, const QRect& clip, int firstRow, int lastRow, int firstColumn,
                                     int lastColumn)
{
    const int rh = RowHeight();
    const int textX = FGutterPixels + 2 - (FLeftColumn - 1) * FCharWidth;
    const QRect textArea = QRect(FGutterPixels, 0, width() - FGutterPixels, height()) & clip;
    painter.setClipRect(textArea);
    const bool showSel = SelectionAvailable() && !(FHideSelection && !hasFocus());
    const TDisplayPos selB = BufferToDisplayPos(SelectionBegin());
    const TDisplayPos selE = BufferToDisplayPos(SelectionEnd());
    const int caretRow = BufferToDisplayPos(FCaret).Row;
    for (int row = firstRow; row <= lastRow; ++row) {
        const int y = (row - FTopRow) * rh;
        const QRect rowRect(textArea.left(), y, textArea.width(), rh);
        TColor back = FColor;
        TColor fore = FFont.Color;
        if (FActiveLine.Visible() && row == caretRow) {
            back = FActiveLine.Background();
            fore = FActiveLine.Foreground();
        }
        // A line the handler marks special takes the colours it sets, and
        // its selected text is drawn inverted.
        bool special = false;
        if (row <= DisplayRowCount() && OnSpecialLineColors) {
            TColor specialFore = clNone;
            TColor specialBack = clNone;
            OnSpecialLineColors(this, RowToLine(row), special, specialFore, specialBack);
            if (special) {
                if (specialFore != clNone)
                    fore = specialFore;
                if (specialBack != clNone)
                    back = specialBack;
            }
        }
        painter.fillRect(rowRect, ToQColor(back));
        if (row > DisplayRowCount())
            continue;
        QString text = DisplayLine(RowToLine(row));
        if (FWrap) {
            // The row's piece of its line.
            const auto [start, count] = RowCells(row);
            const int from = CellToIndex(text, start);
            text = text.mid(from, CellToIndex(text, start + count) - from);
        }
        // Only the columns inside the clip are drawn (a wide character cut
        // by the clip's left edge is drawn whole).
        int startCell = std::max(0, firstColumn - 1);
        if (startCell > 0 && startCell < CellLength(text) && IsTrailCell(text, startCell + 1))
            --startCell;
        const int startIndex = CellToIndex(text, startCell);
        const int endIndex = CellToIndex(text, std::max(startCell, lastColumn));
        const int shownX = textX + IndexToCell(text, startIndex) * FCharWidth;
        const QString shown = text.mid(startIndex, endIndex - startIndex);
        FDrawer->ChangeForeColor(fore);
        FDrawer->ChangeBackColor(back);
        FDrawer->PutText(shownX, y, shown);
        if (showSel && row >= selB.Row && row <= selE.Row) {
            int c1 = row == selB.Row ? selB.Column : 1;
            // Line ends inside the selection show one selected cell.
            int c2 = row == selE.Row ? selE.Column : std::max(CellLength(text) + 2, c1 + 1);
            if (FSelectionMode == smLine) {
                c1 = 1;
                c2 = std::max(CellLength(text) + 2, FLeftColumn + FColumnsInWindow + 1);
            } else if (FSelectionMode == smColumn) {
                std::tie(c1, c2) = SelectionColumns();
            }
            if (c2 > c1) {
                const QRect r(textX + (c1 - 1) * FCharWidth, y, (c2 - c1) * FCharWidth, rh);
                FDrawer->ChangeForeColor(special ? back : FSelectedColor.Foreground());
                FDrawer->ChangeBackColor(special ? fore : FSelectedColor.Background());
                FDrawer->PutTextClipped(shownX, y, r, shown, true);
            }
        }
        if (FCodeFolding.Enabled() && FAllFoldRanges.TotalCount() > 0)
            PaintFoldText(painter, row, RowToLine(row), rowRect);
    }
    if (FRightEdge.Visible()) {
        const int x = textX + FRightEdge.Position() * FCharWidth;
        painter.setPen(ToQColor(FRightEdge.Color()));
        painter.drawLine(x, 0, x, height());
    }
    // Without the focus the caret shows, steadily, only when asked to.
    if ((hasFocus() ? FCaretShown : FShowCaretUnfocused) && !HasOption(eoNoCaret)) {
        const QRect r = CaretRect();
        if (r.x() >= FGutterPixels + 2 || FLeftColumn == 1)
            painter.fillRect(r, ToQColor(FFont.Color));
    }
    if (!FPreedit.isEmpty()) {
        // The input method's unfinished text, drawn over the caret's place.
        const QPoint p = DisplayPosToPixels(BufferToDisplayPos(FCaret));
        const QRect r(p.x(), p.y(), CellLength(FPreedit) * FCharWidth, rh);
        FDrawer->ChangeForeColor(FFont.Color);
        FDrawer->ChangeBackColor(FColor);
        FDrawer->PutTextClipped(p.x(), p.y(), r, FPreedit, true);
        painter.setPen(ToQColor(FFont.Color));
        painter.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    }
    painter.setClipping(false);
}

void TCustomTextEdit::PaintClip(QPainter& painter, const QRect& clip)
{
    const int rh = RowHeight();
    const int cw = std::max(1, FCharWidth);
    const int firstRow = FTopRow + std::max(0, clip.top()) / rh;
    const int lastRow = FTopRow + std::max(0, clip.bottom()) / rh;
    // The columns the clip reaches, counted from the first visible one.
    int firstColumn = FLeftColumn;
    if (clip.left() > FGutterPixels + 2)
        firstColumn += (clip.left() - FGutterPixels - 2) / cw;
    const int lastColumn = FLeftColumn + (clip.right() + 1 - FGutterPixels - 3 + cw) / cw;
    FDrawer->StartDrawing(&painter);
    try {
        // A clip only over the text paints no gutter, one only over the
        // gutter no text.
        if (clip.left() < FGutterPixels) {
            painter.setClipRect(clip & QRect(0, 0, FGutterPixels, height()));
            PaintGutter(painter, firstRow, lastRow);
            if (FCodeFolding.Enabled() && FGutterPixels > 0 && FLines->Count() > 0)
                PaintFoldBar(painter, firstRow, lastRow);
            painter.setClipping(false);
        }
        if (clip.right() >= FGutterPixels)
            PaintTextLines(painter, clip, firstRow, lastRow, firstColumn, lastColumn);
    } catch (...) {
        FDrawer->FinishDrawing();
        throw;
    }
    FDrawer->FinishDrawing();
    PaintPlugins(painter, clip, std::max(1, firstRow), lastRow);
}

void TCustomTextEdit::paintEvent(QPaintEvent* e)
{
    TextEditGuarded("paint", [&] {
        QPainter painter(this);
        const QRect client = ClientRect();
        // Beneath the scroll bars (the corner between them): the background.
        for (const QRect& r : e->region() - QRegion(client))
            painter.fillRect(r, ToQColor(FColor));
        // Each rectangle of the region on its own: two rows far apart
        // repaint as two rows, not as all the rows between them.
        for (const QRect& r : e->region()) {
            const QRect clip = r & client;
            if (!clip.isEmpty())
                PaintClip(painter, clip);
        }
        if (FTransientLock == 0 && OnPaintTransient) {
            painter.save();
            TCanvas canvas(painter);
            canvas.Font = FFont;
            canvas.BrushColor = FColor;
            OnPaintTransient(this, &canvas, ttAfter);
            painter.restore();
        }
        if (FRightEdgeDragging && FRightEdgeDragX >= 0) {
            // The dragged edge: a dotted black line, every other pixel.
            painter.setClipRect(client);
            for (int y = 1; y <= client.height(); y += 2)
                painter.fillRect(QRect(FRightEdgeDragX, y, 1, 1), Qt::black);
        }
    });
}
