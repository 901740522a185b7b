// The editor control's geometry: buffer, display and pixel positions, word
// wrap's rows, the scroll bars and the scroll hint, the paint lock, and the
// rectangles that repaint.
#include "TextEdit.h"

#include "Graphics.h"

#include <QtWidgets/QLabel>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QStyle>
#include <algorithm>
#include <cmath>
#include <limits>

void TCustomTextEdit::CenterCaretLine()
{
    const int row = BufferToDisplayPos(FCaret).Row;
    if (row < FTopRow || (FRowsInWindow > 0 && row >= FTopRow + FRowsInWindow))
        SetTopRow(row - FRowsInWindow / 2);
}

// ================================================================ coordinates

int TCustomTextEdit::LineCells(int line) const
{
    return CellLength(FLines->Get(line - 1));
}

TDisplayPos TCustomTextEdit::BufferToDisplayPos(const TBufferCoord& p) const
{
    int column = 0;
    if (p.Line >= 1 && p.Line <= FLines->Count()) {
        const QString line = FLines->Get(p.Line - 1);
        int cell = 0;
        for (QChar c : line) {
            if (cell >= p.Char - 1)
                break;
            if (c == QLatin1Char('\t'))
                column += FTabWidth - (column % FTabWidth);
            else
                column += CellsOf(c);
            cell += CellsOf(c);
        }
        if (cell < p.Char - 1)
            column += p.Char - 1 - cell;
    } else {
        column = p.Char - 1;
    }
    if (FWrap)
        return FWrap->TextToScreen(BufferCoord(column + 1, p.Line));
    return DisplayPos(column + 1, p.Line);
}

// ================================================================ word wrap

int TCustomTextEdit::DisplayRowCount() const
{
    return FWrap ? FWrap->TotalRows() : FLines->Count();
}

int TCustomTextEdit::LineToRow(int line) const
{
    return FWrap ? FWrap->TextToScreen(BufferCoord(1, line)).Row : line;
}

int TCustomTextEdit::RowToLine(int row) const
{
    return FWrap ? FWrap->ScreenToText(DisplayPos(1, row)).Line : row;
}

std::pair<int, int> TCustomTextEdit::RowCells(int row) const
{
    if (!FWrap || row < 1 || row > FWrap->TotalRows())
        return {0, -1};
    const int line = RowToLine(row);
    const int first = FWrap->FirstRowOf(line - 1) + 1;
    int start = 0;
    for (int r = first; r < row; ++r)
        start += FWrap->RowLength(r);
    return {start, FWrap->RowLength(row)};
}

int TCustomTextEdit::TWrapHost::WrapLineCount() const
{
    return FEditor->FLines->Count();
}

QString TCustomTextEdit::TWrapHost::WrapExpandedLine(int index) const
{
    return FEditor->FLines->ExpandedLine(index);
}

int TCustomTextEdit::TWrapHost::WrapWidth() const
{
    int width = FEditor->FColumnsInWindow;
    switch (FEditor->FWordWrap.Style()) {
    case wwsClientWidth: break;
    case wwsRightEdge: width = FEditor->FRightEdge.Position(); break;
    case wwsSpecified: width = FEditor->FWordWrap.Position(); break;
    }
    // Rows hold at most 255 cells.
    return MinMax(width, 0, 255);
}

TCharSet TCustomTextEdit::TWrapHost::WrapIdentifierChars() const
{
    if (FEditor->FHighlighter)
        return FEditor->FHighlighter->IdentifierChars();
    TCharSet chars;
    for (size_t c = 33; c <= 255; ++c)
        chars.set(c);
    return chars;
}

void TCustomTextEdit::WordWrapChanged()
{
    if (FWordWrap.Enabled() != WordWrapActive())
        SetSoftWrap(FWordWrap.Enabled());
    else if (FWrap)
        FWrap->WidthMayHaveChanged();
    InvalidateClient();
}

void TCustomTextEdit::SetSoftWrap(bool on)
{
    if (on == WordWrapActive())
        return;
    // The same line stays at the top and a caret in view stays in view.
    const TDisplayPos caret = BufferToDisplayPos(FCaret);
    const bool caretVisible = caret.Row >= FTopRow && caret.Row < FTopRow + std::max(1, FRowsInWindow);
    const int topLine = RowToLine(FTopRow);
    if (on) {
        FWrap = std::make_unique<TTextWordWrapPlugin>(&FWrapHost);
        FLeftColumn = 1;
    } else {
        FWrap.reset();
    }
    FTopRow = 1;
    SetTopRow(LineToRow(topLine));
    RefreshScrollBars();
    if (caretVisible)
        EnsureCursorPosVisible();
    InvalidateClient();
}

TBufferCoord TCustomTextEdit::DisplayToBufferPos(const TDisplayPos& pos) const
{
    // With word wrap the row's column is first made a column of its line.
    TDisplayPos p = pos;
    if (FWrap) {
        const TBufferCoord t = FWrap->ScreenToText(pos);
        p = DisplayPos(t.Char, t.Line);
    }
    const int lineNo = p.Row;
    if (lineNo < 1 || lineNo > FLines->Count())
        return BufferCoord(p.Column, lineNo);
    const QString line = FLines->Get(lineNo - 1);
    int column = 0;
    int cell = 0;
    for (QChar c : line) {
        if (c == QLatin1Char('\t')) {
            column += FTabWidth - (column % FTabWidth);
            ++cell;
            if (column >= p.Column)
                return BufferCoord(cell, lineNo);
        } else {
            for (int k = 0; k < CellsOf(c); ++k) {
                ++column;
                ++cell;
                if (column >= p.Column) {
                    int result = cell;
                    if (IsTrailCell(line, result))
                        ++result;
                    return BufferCoord(result, lineNo);
                }
            }
        }
    }
    return BufferCoord(cell + std::max(1, p.Column - column), lineNo);
}

int TCustomTextEdit::RowHeight() const
{
    int extra = 2;
    switch (FLineSpacingRule) {
    case lsSingle: extra = 2; break;
    case lsOneAndHalf: extra = static_cast<int>(std::nearbyint(FTextHeight * 0.5)) + 2; break;
    case lsDouble: extra = FTextHeight + 2; break;
    case lsSpecified: extra = FLineSpacing; break;
    }
    // A negative spacing must not leave rows of no height (divisions by it).
    return std::max(1, FTextHeight + extra);
}

QPoint TCustomTextEdit::DisplayPosToPixels(const TDisplayPos& p) const
{
    const int textLeft = FGutterPixels + 2 - (FLeftColumn - 1) * FCharWidth;
    return QPoint((p.Column - 1) * FCharWidth + textLeft, RowHeight() * (p.Row - FTopRow));
}

TDisplayPos TCustomTextEdit::PixelsToDisplayPos(int x, int y) const
{
    const int cw = std::max(1, FCharWidth);
    return DisplayPos(std::max(1, (x - FGutterPixels - 2) / cw + FLeftColumn),
                      std::max(1, y / RowHeight() + FTopRow));
}

TDisplayPos TCustomTextEdit::PixelsToNearestRowColumn(int x, int y) const
{
    const int rh = RowHeight();
    if (y >= rh * FRowsInWindow)
        y = std::max(0, rh * FRowsInWindow - 1);
    const float q = static_cast<float>(x - FGutterPixels - 2) / static_cast<float>(std::max(1, FCharWidth));
    const int column = std::max(1, FLeftColumn + static_cast<int>(std::nearbyint(q)));
    return DisplayPos(column, std::max(1, y / rh + FTopRow));
}

void TCustomTextEdit::MoveCaretToPixel(int x, int y)
{
    TDisplayPos p = PixelsToNearestRowColumn(x, y);
    p.Row = MinMax(p.Row, 1, std::max(1, DisplayRowCount()));
    BeginPaintLock();
    SetCaretPos(DisplayToBufferPos(p));
    EndPaintLock();
    FDesiredColumn = BufferToDisplayPos(FCaret).Column;
}

void TCustomTextEdit::SetTopRow(int value)
{
    int maxTop = std::max(1, DisplayRowCount());
    if (!HasOption(eoScrollPastEof))
        maxTop = std::max(1, DisplayRowCount() - FRowsInWindow + 1);
    value = MinMax(value, 1, maxTop);
    if (value == FTopRow)
        return;
    const int distance = FTopRow - value;
    FTopRow = value;
    // Less than a window: the pixels move with the rows (the gutter too),
    // and only the uncovered rows paint.
    if (std::abs(distance) < FRowsInWindow && isVisible()) {
        scroll(0, distance * RowHeight(), ClientRect());
        KeepRightEdgeDragLine(0);
    } else {
        InvalidateClient();
    }
    RefreshScrollBars();
    ReportStatusChange(0);
}

void TCustomTextEdit::SetLeftColumn(int value)
{
    if (FWrap && FColumnsInWindow >= FWrapHost.WrapWidth())
        value = 1;
    // The last column can stand at the right of the window, no further.
    int maxLeft = 1;
    if (HasOption(eoScrollPastEol)) {
        maxLeft = HasOption(eoAutoSizeMaxScrollWidth) ? std::numeric_limits<int>::max() - FColumnsInWindow
                                                      : FMaxScrollWidth - FColumnsInWindow + 1;
    } else {
        const int longest = FWrap ? FWrapHost.WrapWidth() : FLines->LongestLineLength();
        if (longest > FColumnsInWindow)
            maxLeft = longest - FColumnsInWindow + 1;
    }
    value = MinMax(value, 1, std::max(1, maxLeft));
    if (value == FLeftColumn)
        return;
    const int distance = FLeftColumn - value;
    FLeftColumn = value;
    const QRect client = ClientRect();
    if (std::abs(distance) < FColumnsInWindow && isVisible()) {
        // The text right of its margin moves; the margin itself paints
        // again, as a selection reaching left of the first column shows in it.
        const QRect text(FGutterPixels + 2, 0, client.width() - FGutterPixels - 2, client.height());
        scroll(distance * FCharWidth, 0, text);
        update(QRect(FGutterPixels, 0, 2, client.height()));
        KeepRightEdgeDragLine(distance * FCharWidth);
    } else {
        RepaintLineRange(-1, -1);
    }
    if (HasOption(eoAutoSizeMaxScrollWidth) && HasOption(eoScrollPastEol) &&
        FMaxScrollWidth < FLeftColumn + FColumnsInWindow)
        FMaxScrollWidth = std::min(2147483646, FLeftColumn + FColumnsInWindow);
    RefreshScrollBars();
    ReportStatusChange(0);
    RepaintLineRange(FCaret.Line, FCaret.Line);
}

namespace {

// Ranges beyond 32767 go onto a 0..32767 scale.
constexpr int ScrollScale = 32767;

TTextScrollInfo ScrollInfoFor(int range, int page, int pos, bool disableNoScroll)
{
    TTextScrollInfo info;
    info.Mask = sifRange | sifPage | sifPos | sifTrackPos | (disableNoScroll ? sifDisableNoScroll : 0u);
    if (range <= ScrollScale) {
        info.Min = 1;
        info.Max = std::max(1, range);
        info.Page = static_cast<unsigned>(std::max(0, page));
        info.Pos = pos;
    } else {
        info.Min = 0;
        info.Max = ScrollScale;
        info.Page = static_cast<unsigned>(std::max(0, MulDiv(ScrollScale, page, range)));
        info.Pos = MulDiv(ScrollScale, pos, range);
    }
    info.TrackPos = info.Pos;
    return info;
}

// Arrow states as the custom scroll-bar events take them.
constexpr int ArrowsEnabled = 0, FirstArrowDisabled = 1, LastArrowDisabled = 2, ArrowsDisabled = 3;

}  // namespace

int TCustomTextEdit::HorizontalScrollRange()
{
    if (FWrap && !HasOption(eoScrollPastEol))
        return std::max(1, FWrapHost.WrapWidth());
    return HasOption(eoScrollPastEol) ? FMaxScrollWidth : std::max(1, FLines->LongestLineLength());
}

int TCustomTextEdit::VerticalScrollRange() const
{
    return DisplayRowCount() + (HasOption(eoScrollPastEof) ? FRowsInWindow - 1 : 0);
}

void TCustomTextEdit::ApplyScrollInfo(QScrollBar* bar, TTextEditScrollBar* custom, const TTextScrollInfo& info,
                                      bool show, int arrows)
{
    if (FScrollBars.Style() == sbsCustom) {
        // The application's own scroll bars get the calls; a missing one is skipped.
        if (custom) {
            custom->ShowScrollBar(show);
            if (show) {
                custom->SetScrollInfo(info, true);
                custom->EnableScrollBar(arrows);
            }
        }
        return;
    }
    bar->setVisible(show);
    // A bar's range ends where the last page begins.
    bar->setRange(info.Min, std::max(info.Min, info.Max - static_cast<int>(info.Page) + 1));
    bar->setPageStep(std::max(1, static_cast<int>(info.Page)));
    bar->setValue(info.Pos);
    // One arrow cannot be disabled alone: the bar is disabled when both are.
    bar->setEnabled(arrows != ArrowsDisabled);
}

void TCustomTextEdit::RefreshScrollBars()
{
    if (FPaintLock > 0 || FUpdatingScrollBars)
        return;
    FUpdatingScrollBars = true;
    const TScrollStyle style = FScrollBars.ScrollBars();
    const bool hideShow = HasOption(eoHideShowScrollbars);
    const bool arrowsByState = HasOption(eoDisableScrollArrows);
    {
        const int m = HorizontalScrollRange();
        const TTextScrollInfo info = ScrollInfoFor(m, FColumnsInWindow, FLeftColumn, !hideShow);
        bool show = style == ssHorizontal || style == ssBoth;
        if (show && hideShow && info.Min == 1 && info.Max <= FColumnsInWindow)
            show = false;
        int arrows = ArrowsEnabled;
        if (arrowsByState || m <= FColumnsInWindow) {
            const int e = FLeftColumn + FColumnsInWindow - 1;
            if (FLeftColumn <= 1 && m <= e)
                arrows = ArrowsDisabled;
            else if (FLeftColumn <= 1)
                arrows = FirstArrowDisabled;
            else if (m <= e)
                arrows = LastArrowDisabled;
        }
        ApplyScrollInfo(FHScroll, FScrollBars.Horizontal(), info, show, arrows);
    }
    {
        const int m = VerticalScrollRange();
        const TTextScrollInfo info = ScrollInfoFor(m, FRowsInWindow, FTopRow, !hideShow);
        bool show = style == ssVertical || style == ssBoth;
        if (show && hideShow && info.Min == 1 && info.Max <= FRowsInWindow)
            show = false;
        int arrows = ArrowsEnabled;
        if (arrowsByState || m <= FRowsInWindow) {
            if (FTopRow <= 1 && m <= FRowsInWindow)
                arrows = ArrowsDisabled;
            else if (FTopRow <= 1)
                arrows = FirstArrowDisabled;
            else if (DisplayRowCount() - FTopRow - FRowsInWindow + 1 == 0)
                arrows = LastArrowDisabled;
        }
        ApplyScrollInfo(FVScroll, FScrollBars.Vertical(), info, show, arrows);
    }
    if (FScrollBars.Style() == sbsCustom) {
        FHScroll->hide();
        FVScroll->hide();
    }
    FUpdatingScrollBars = false;
}

void TCustomTextEdit::ScrollBarMoved()
{
    if (FUpdatingScrollBars)
        return;
    // A value the program gave the bar: scaled back like a thumb position.
    const int v = VerticalScrollRange();
    const int h = HorizontalScrollRange();
    const int row = v > ScrollScale ? MulDiv(v, FVScroll->value(), ScrollScale) : FVScroll->value();
    const int column = h > ScrollScale ? MulDiv(h, FHScroll->value(), ScrollScale) : FHScroll->value();
    if (ScrollInfoFor(v, FRowsInWindow, FTopRow, false).Pos != FVScroll->value())
        SetTopRow(row);
    if (ScrollInfoFor(h, FColumnsInWindow, FLeftColumn, false).Pos != FHScroll->value())
        SetLeftColumn(column);
}

void TCustomTextEdit::ScrollBarAction(Qt::Orientation orientation, int action)
{
    QScrollBar* bar = orientation == Qt::Vertical ? FVScroll : FHScroll;
    TScrollCode code = scEndScroll;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: code = scLineDown; break;
    case QAbstractSlider::SliderSingleStepSub: code = scLineUp; break;
    case QAbstractSlider::SliderPageStepAdd: code = scPageDown; break;
    case QAbstractSlider::SliderPageStepSub: code = scPageUp; break;
    case QAbstractSlider::SliderToMinimum: code = scTop; break;
    case QAbstractSlider::SliderToMaximum: code = scBottom; break;
    case QAbstractSlider::SliderMove: code = scTrack; break;
    default: return;
    }
    if (orientation == Qt::Vertical)
        VScroll(code, bar->sliderPosition());
    else
        HScroll(code, bar->sliderPosition());
    // The bar ends where the editor put it.
    FUpdatingScrollBars = true;
    const TTextScrollInfo info = orientation == Qt::Vertical
                                     ? ScrollInfoFor(VerticalScrollRange(), FRowsInWindow, FTopRow, false)
                                     : ScrollInfoFor(HorizontalScrollRange(), FColumnsInWindow, FLeftColumn, false);
    bar->setSliderPosition(info.Pos);
    FUpdatingScrollBars = false;
}

void TCustomTextEdit::HScroll(TScrollCode code, int position)
{
    const int page = HasOption(eoScrollByOneLess) ? FColumnsInWindow - 1 : FColumnsInWindow;
    const int m = HorizontalScrollRange();
    switch (code) {
    case scLineUp: SetLeftColumn(FLeftColumn - 1); break;
    case scLineDown: SetLeftColumn(FLeftColumn + 1); break;
    case scPageUp: SetLeftColumn(FLeftColumn - page); break;
    case scPageDown: SetLeftColumn(FLeftColumn + page); break;
    case scPosition:
    case scTrack:
        FThumbTracking = true;
        SetLeftColumn(m > ScrollScale ? MulDiv(m, position, ScrollScale) : position);
        break;
    case scTop: SetLeftColumn(1); break;
    case scBottom:
        SetLeftColumn(HasOption(eoScrollPastEol) ? FMaxScrollWidth - FColumnsInWindow + 1 : FLines->LongestLineLength());
        break;
    case scEndScroll: FThumbTracking = false; break;
    }
    InvalidateClient();
    if (OnScroll)
        OnScroll(this, sbHorizontal);
}

void TCustomTextEdit::VScroll(TScrollCode code, int position)
{
    const int page = HasOption(eoScrollByOneLess) ? FRowsInWindow - 1 : FRowsInWindow;
    switch (code) {
    case scLineUp: SetTopRow(FTopRow - 1); break;
    case scLineDown: SetTopRow(FTopRow + 1); break;
    case scPageUp: SetTopRow(FTopRow - page); break;
    case scPageDown: SetTopRow(FTopRow + page); break;
    case scPosition:
    case scTrack: {
        FThumbTracking = true;
        const int m = VerticalScrollRange();
        SetTopRow(m > ScrollScale ? MulDiv(m, position, ScrollScale) : position);
        if (HasOption(eoShowScrollHint))
            ShowScrollHint();
        break;
    }
    case scTop: SetTopRow(1); break;
    case scBottom: SetTopRow(DisplayRowCount()); break;
    case scEndScroll:
        FThumbTracking = false;
        if (HasOption(eoShowScrollHint) && FScrollHint)
            FScrollHint->hide();
        break;
    }
    InvalidateClient();
    if (OnScroll)
        OnScroll(this, sbVertical);
}

QRect TCustomTextEdit::ClientRect() const
{
    const int vw = FVScroll->isVisibleTo(this) ? FVScroll->width() : 0;
    const int hh = FHScroll->isVisibleTo(this) ? FHScroll->height() : 0;
    return QRect(0, 0, std::max(0, width() - vw), std::max(0, height() - hh));
}

void TCustomTextEdit::InvalidateClient()
{
    // The scroll bars repaint themselves when they change.
    update(ClientRect());
}

QWidget* TCustomTextEdit::ScrollHintWindow() const
{
    return FScrollHint.get();
}

QString TCustomTextEdit::ScrollHintText() const
{
    if (FScrollBars.HintFormat() == shfTopToBottom)
        return QStringLiteral("%1 - %2")
            .arg(RowToLine(FTopRow))
            .arg(RowToLine(FTopRow + std::min(FRowsInWindow, DisplayRowCount() - FTopRow)));
    return QStringLiteral("Top Line: %1").arg(RowToLine(FTopRow));
}

void TCustomTextEdit::ShowScrollHint()
{
    if (!FScrollHint) {
        FScrollHint = std::make_unique<QLabel>(nullptr, Qt::ToolTip);
        FScrollHint->setMargin(2);
        FScrollHint->setFrameStyle(QFrame::Box | QFrame::Plain);
        FScrollHint->setAutoFillBackground(true);
    }
    QPalette palette = FScrollHint->palette();
    palette.setColor(QPalette::Window, ToQColor(FScrollBars.HintColor()));
    FScrollHint->setPalette(palette);
    FScrollHint->setMaximumWidth(200);
    FScrollHint->setText(ScrollHintText());
    FScrollHint->adjustSize();
    const QSize size = FScrollHint->size();
    const int clientW = width() - (FVScroll->isVisible() ? FVScroll->width() : 0);
    int y = 10;
    if (HasOption(eoShowScrollHint) && HasOption(eoScrollHintFollows) && FVScroll->maximum() > 0) {
        const int arrow = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        const int clientH = height() - (FHScroll->isVisible() ? FHScroll->height() : 0);
        y = arrow + static_cast<int>(std::lround(static_cast<double>(clientH - 2 * arrow) * FVScroll->sliderPosition() /
                                                 FVScroll->maximum())) +
            size.height() / 2;
    }
    FScrollHint->move(mapToGlobal(QPoint(clientW - size.width() - 4, y)));
    FScrollHint->show();
    FScrollHint->repaint();
}

void TCustomTextEdit::EnsureCursorPosVisible()
{
    const TDisplayPos p = BufferToDisplayPos(FCaret);
    if (p.Column < FLeftColumn)
        SetLeftColumn(p.Column);
    else if (FColumnsInWindow > 0 && p.Column >= FLeftColumn + FColumnsInWindow)
        // The view jumps ahead, leaving room to type on.
        SetLeftColumn(p.Column - FColumnsInWindow + 24);
    if (p.Row < FTopRow)
        SetTopRow(p.Row);
    else if (FRowsInWindow > 0 && p.Row >= FTopRow + FRowsInWindow)
        SetTopRow(p.Row - FRowsInWindow + 1);
}

void TCustomTextEdit::BeginPaintLock()
{
    if (FPaintLock++ == 0) {
        FLockCaret = FCaret;
        FLockAnchor = FAnchor;
        FLockSelEnd = FSelEnd;
        FLockSelection = SelectionAvailable();
    }
}

void TCustomTextEdit::EndPaintLock()
{
    if (FPaintLock == 0)
        return;
    if (--FPaintLock == 0) {
        RefreshScrollBars();
        // Rows whose caret or selection changed under the lock repaint; the
        // text changes repainted their own lines.
        if (!(FLockCaret == FCaret)) {
            InvalidateLine(FLockCaret.Line);
            InvalidateLine(FCaret.Line);
        }
        const bool selection = SelectionAvailable();
        if ((selection || FLockSelection) && !(FLockAnchor == FAnchor && FLockSelEnd == FSelEnd)) {
            int first = std::numeric_limits<int>::max();
            int last = 0;
            for (const TBufferCoord& p : {FLockAnchor, FLockSelEnd, FAnchor, FSelEnd}) {
                first = std::min(first, p.Line);
                last = std::max(last, p.Line);
            }
            RepaintLineRange(first, last);
        }
        FlushStatus();
    }
}

// ================================================================ invalidation

QRect TCustomTextEdit::LinesRect(int firstLine, int lastLine, int left, int right) const
{
    const QRect client = ClientRect();
    if (!isVisible() || left >= right)
        return {};
    const int rh = RowHeight();
    int firstRow = 1;
    int lastRow = std::numeric_limits<int>::max();
    if (firstLine != -1 || lastLine != -1) {
        firstLine = std::max(1, firstLine);
        lastLine = std::max(1, lastLine);
        if (firstLine > lastLine)
            std::swap(firstLine, lastLine);
        firstRow = LineToRow(std::min(firstLine, std::max(1, FLines->Count())));
        if (firstLine > FLines->Count())
            firstRow = DisplayRowCount() + 1;
        // A last line at or past the end reaches the window's bottom: the
        // rows below the text may have held lines.
        if (lastLine < FLines->Count())
            lastRow = LineToRow(lastLine + 1) - 1;
    }
    firstRow = std::max(firstRow, FTopRow);
    if (lastRow < firstRow || firstRow > FTopRow + FRowsInWindow)
        return {};
    const int top = (firstRow - FTopRow) * rh;
    const int bottom = lastRow == std::numeric_limits<int>::max() || lastRow >= FTopRow + FRowsInWindow
                           ? client.bottom() + 1
                           : (lastRow - FTopRow + 1) * rh;
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)) & client;
}

void TCustomTextEdit::RepaintLineRange(int firstLine, int lastLine)
{
    const QRect r = LinesRect(firstLine, lastLine, FGutterPixels, ClientRect().width());
    if (!r.isEmpty())
        update(r);
}

void TCustomTextEdit::InvalidateGutterLines(int firstLine, int lastLine)
{
    const QRect r = LinesRect(firstLine, lastLine, 0, FGutterPixels);
    if (!r.isEmpty())
        update(r);
}

void TCustomTextEdit::InvalidateLines(int firstLine, int lastLine)
{
    const QRect r = LinesRect(firstLine, lastLine, 0, ClientRect().width());
    if (!r.isEmpty())
        update(r);
}

void TCustomTextEdit::InvalidateSelection()
{
    if (SelectionAvailable())
        RepaintLineRange(SelectionBegin().Line, SelectionEnd().Line);
}
