// The grid's model: counts, extents, options, geometry, the current cell and
// the selection, the size change, and scrolling with its scroll bars.

#include "GridsEx.h"

#include "ApplicationException.h"

#include <QtGui/QFontMetrics>
#include <QtWidgets/QApplication>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QStyle>

#include <algorithm>

namespace {

const char* const SIndexOutOfRange = "Grid index out of range";
const char* const STooManyDeleted = "Too many rows or columns deleted";
const char* const SGridTooLarge = "Grid too large for operation";
const char* const SFixedColTooBig = "Fixed column count must be less than column count";
const char* const SFixedRowTooBig = "Fixed row count must be less than row count";

// The scroll bars of the cell axes always work in this range.
constexpr int ScrollBarRange = 127;
// An extent array never gets this many entries.
constexpr qint64 MaxExtentCount = 134217726;

[[noreturn]] void InvalidOp(const char* message)
{
    throw EInvalidGridOperation(message);
}

// a * b / c, rounded to the nearest integer (halves away from zero), in 64
// bits; 0 for a zero divisor.
int LongMulDiv(qint64 a, qint64 b, qint64 c)
{
    if (c == 0)
        return 0;
    qint64 product = a * b;
    if (c < 0) {
        product = -product;
        c = -c;
    }
    const qint64 result = product >= 0 ? (product + c / 2) / c : -((-product + c / 2) / c);
    return static_cast<int>(std::clamp<qint64>(result, INT_MIN, INT_MAX));
}

int ClampToInt(qint64 value)
{
    return static_cast<int>(std::clamp<qint64>(value, INT_MIN, INT_MAX));
}

// A cell index after a row or column moved from from to to.
void MoveAdjust(int& pos, int from, int to)
{
    if (pos == from) {
        pos = to;
        return;
    }
    if (pos >= std::min(from, to) && pos <= std::max(from, to))
        pos += from > to ? 1 : -1;
}

// Moves the entry of an extent or tab-stop array along with its cell.
template <typename T>
void MoveEntry(std::vector<T>& entries, int from, int to)
{
    if (entries.empty())
        return;
    const int count = static_cast<int>(entries.size());
    if (from < 0 || from >= count || to < 0 || to >= count)
        InvalidOp(SIndexOutOfRange);
    const T value = entries[static_cast<std::size_t>(from)];
    entries.erase(entries.begin() + from);
    entries.insert(entries.begin() + to, value);
}

// Scroll-bar requests in the terms the grid handles them.
enum TScrollCode { scLineUp, scLineDown, scPageUp, scPageDown, scThumbPosition, scThumbTrack, scTop, scBottom };

}  // namespace

QRect InplaceEditorRect(const QRect& cellRect, int textHeight)
{
    const int left = cellRect.left() + 1;
    const int right = cellRect.left() + cellRect.width() - 2;
    const int bottom = cellRect.top() + cellRect.height();
    const int top = cellRect.top() + RoundHalfEven((cellRect.height() - textHeight) / 2.0) - 2;
    return Rect(left, top, right, bottom);
}

// ---------------------------------------------------------------------------
// Construction
// ---------------------------------------------------------------------------

TCustomGrid::TCustomGrid(QWidget* parent) : QAbstractScrollArea(parent)
{
    FFixedColor = clBtnFace;
    FColor = clWindow;
    setFocusPolicy(Qt::StrongFocus);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
        bar->setRange(0, 0);
        bar->setFocusPolicy(Qt::NoFocus);
        const Qt::Orientation axis = bar->orientation();
        connect(bar, &QAbstractSlider::actionTriggered, this, [this, axis](int action) {
            Guard([&] { ScrollBarAction(axis, action); });
        });
        connect(bar, &QAbstractSlider::sliderReleased, this,
                [this, axis] { Guard([&] { ScrollBarReleased(axis); }); });
    }
    FCurrent = FAnchor = FTopLeft = TGridCoord{FFixedCols, FFixedRows};
    resize(FColCount * FDefaultColWidth, FRowCount * FDefaultRowHeight);
}

TCustomGrid::~TCustomGrid() = default;

void TCustomGrid::Guard(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const std::exception& e) {
        HandleApplicationException(QString::fromUtf8(e.what()));
    } catch (...) {
        HandleApplicationException(QStringLiteral("Unknown error"));
    }
}

// ---------------------------------------------------------------------------
// Extents
// ---------------------------------------------------------------------------

void TCustomGrid::ResizeExtents(std::vector<int>& extents, int newCount, int defaultValue)
{
    if (newCount < 0)
        InvalidOp(STooManyDeleted);
    if (static_cast<qint64>(newCount) >= MaxExtentCount)
        InvalidOp(SGridTooLarge);
    if (newCount == 0)
        extents.clear();
    else
        extents.resize(static_cast<std::size_t>(newCount), defaultValue);
}

void TCustomGrid::ResizeTabStops(int newCount)
{
    if (FTabStops.empty())
        return;
    if (newCount < 0)
        InvalidOp(STooManyDeleted);
    if (static_cast<qint64>(newCount) >= MaxExtentCount)
        InvalidOp(SGridTooLarge);
    FTabStops.resize(static_cast<std::size_t>(newCount), 1);
}

int TCustomGrid::ColWidths(int index) const
{
    if (FColWidths.empty() || index < 0 || index >= static_cast<int>(FColWidths.size()))
        return FDefaultColWidth;
    return FColWidths[static_cast<std::size_t>(index)];
}

int TCustomGrid::RowHeights(int index) const
{
    if (FRowHeights.empty() || index < 0 || index >= static_cast<int>(FRowHeights.size()))
        return FDefaultRowHeight;
    return FRowHeights[static_cast<std::size_t>(index)];
}

bool TCustomGrid::TabStops(int index) const
{
    if (FTabStops.empty() || index < 0 || index >= static_cast<int>(FTabStops.size()))
        return true;
    return FTabStops[static_cast<std::size_t>(index)] != 0;
}

void TCustomGrid::SetCellExtent(std::vector<int>& extents, int count, int defaultValue, int index, int value,
                                bool cols)
{
    if (extents.empty())
        ResizeExtents(extents, count, defaultValue);
    if (index < 0 || index >= count)
        InvalidOp(SIndexOutOfRange);
    int& slot = extents[static_cast<std::size_t>(index)];
    if (slot == value)
        return;
    InvalidateGrid();
    slot = value;
    if (cols)
        ColWidthsChanged();
    else
        RowHeightsChanged();
}

void TCustomGrid::SetColWidths(int index, int value)
{
    SetCellExtent(FColWidths, FColCount, FDefaultColWidth, index, value, true);
}

void TCustomGrid::SetRowHeights(int index, int value)
{
    SetCellExtent(FRowHeights, FRowCount, FDefaultRowHeight, index, value, false);
}

void TCustomGrid::SetTabStops(int index, bool value)
{
    if (FTabStops.empty()) {
        if (static_cast<qint64>(FColCount) >= MaxExtentCount)
            InvalidOp(SGridTooLarge);
        FTabStops.assign(static_cast<std::size_t>(FColCount), 1);
    }
    if (index < 0 || index >= FColCount)
        InvalidOp(SIndexOutOfRange);
    FTabStops[static_cast<std::size_t>(index)] = value ? 1 : 0;
}

void TCustomGrid::SetDefaultColWidth(int value)
{
    FColWidths.clear();
    FDefaultColWidth = value;
    ColWidthsChanged();
    InvalidateGrid();
}

void TCustomGrid::SetDefaultRowHeight(int value)
{
    FRowHeights.clear();
    FDefaultRowHeight = value;
    RowHeightsChanged();
    InvalidateGrid();
}

void TCustomGrid::ColWidthsChanged()
{
    UpdateScrollRange();
    UpdateEdit();
}

void TCustomGrid::RowHeightsChanged()
{
    ColWidthsChanged();  // the same recomputation
}

// ---------------------------------------------------------------------------
// Counts
// ---------------------------------------------------------------------------

void TCustomGrid::SetColCount(int value)
{
    if (value == FColCount)
        return;
    if (value < 1)
        value = 1;
    if (FFixedCols >= value)
        SetFixedCols(value - 1);
    ChangeSize(value, FRowCount);
    if (FOptions & goRowSelect) {
        FAnchor.X = FColCount - 1;
        InvalidateGrid();
    }
}

void TCustomGrid::SetRowCount(int value)
{
    if (value == FRowCount)
        return;
    if (value < 1)
        value = 1;
    if (FFixedRows >= value)
        SetFixedRows(value - 1);
    ChangeSize(FColCount, value);
}

void TCustomGrid::SetFixedCols(int value)
{
    if (value == FFixedCols)
        return;
    if (value < 0)
        InvalidOp(SIndexOutOfRange);
    if (value >= FColCount)
        InvalidOp(SFixedColTooBig);
    FFixedCols = value;
    FixedCountChanged();
}

void TCustomGrid::FixedCountChanged()
{
    // Top-left, current cell and anchor go to the first scrolling cell.
    FTopLeft = TGridCoord{FFixedCols, FFixedRows};
    FCurrent = FTopLeft;
    FAnchor = FCurrent;
    if (FOptions & goRowSelect)
        FAnchor.X = FColCount - 1;
    FColOffset = 0;
    InvalidateGrid();
    UpdateScrollRange();
}

void TCustomGrid::SetFixedRows(int value)
{
    if (value == FFixedRows)
        return;
    if (value < 0)
        InvalidOp(SIndexOutOfRange);
    if (value >= FRowCount)
        InvalidOp(SFixedRowTooBig);
    FFixedRows = value;
    FixedCountChanged();
}

void TCustomGrid::ChangeSize(int newColCount, int newRowCount)
{
    TGridDrawInfo oldInfo;
    CalcDrawInfo(oldInfo);
    const int oldColCount = FColCount;
    const int oldRowCount = FRowCount;
    const int oldFixedCols = FFixedCols;
    const int oldFixedRows = FFixedRows;

    auto doChange = [&] {
        FColCount = newColCount;
        FRowCount = newRowCount;
        if (FFixedCols >= FColCount)
            FFixedCols = FColCount - 1;
        if (FFixedRows >= FRowCount)
            FFixedRows = FRowCount - 1;
        if (!FColWidths.empty())
            ResizeExtents(FColWidths, FColCount, FDefaultColWidth);
        ResizeTabStops(FColCount);
        if (!FRowHeights.empty())
            ResizeExtents(FRowHeights, FRowCount, FDefaultRowHeight);
        // The top-left never points past the last cell.
        const TGridCoord oldTopLeft = FTopLeft;
        FTopLeft.X = std::clamp(FTopLeft.X, FFixedCols, FColCount - 1);
        FTopLeft.Y = std::clamp(FTopLeft.Y, FFixedRows, FRowCount - 1);
        TGridCoord current = FCurrent;
        current.X = std::min(current.X, FColCount - 1);
        current.Y = std::min(current.Y, FRowCount - 1);
        if (current != FCurrent)
            MoveCurrent(current.X, current.Y, true, true);
        TGridCoord anchor = FAnchor;
        anchor.X = std::min(anchor.X, FColCount - 1);
        anchor.Y = std::min(anchor.Y, FRowCount - 1);
        if (anchor != FAnchor) {
            const TGridRect oldSel = Selection();
            FAnchor = anchor;
            SelectionMoved(oldSel);
        }
        if (FTopLeft != oldTopLeft || FTopLeft.X != oldInfo.Horz.FirstGridCell ||
            FTopLeft.Y != oldInfo.Vert.FirstGridCell) {
            InvalidateGrid();
        } else {
            TGridDrawInfo newInfo;
            CalcDrawInfo(newInfo);
            const int firstCol = std::min(oldInfo.Horz.LastFullVisibleCell, newInfo.Horz.LastFullVisibleCell);
            const int firstRow = std::min(oldInfo.Vert.LastFullVisibleCell, newInfo.Vert.LastFullVisibleCell);
            QRect r = CellRect(firstCol, 0);
            viewport()->update(QRect(r.left(), 0, viewport()->width() - r.left(), viewport()->height()));
            r = CellRect(0, firstRow);
            viewport()->update(QRect(0, r.top(), viewport()->width(), viewport()->height() - r.top()));
            if (UseRightToLeftAlignment())
                InvalidateGrid();
        }
        UpdateScrollRange();
        SizeChanged();
    };
    try {
        doChange();
    } catch (...) {
        newColCount = oldColCount;
        newRowCount = oldRowCount;
        FFixedCols = oldFixedCols;
        FFixedRows = oldFixedRows;
        try {
            doChange();
        } catch (...) {
        }
        InvalidateGrid();
        throw;
    }
}

// ---------------------------------------------------------------------------
// Simple properties
// ---------------------------------------------------------------------------

void TCustomGrid::SetGridLineWidth(int value)
{
    if (value == FGridLineWidth)
        return;
    FGridLineWidth = value;
    InvalidateGrid();
}

void TCustomGrid::SetFixedColor(TColor value)
{
    if (value == FFixedColor)
        return;
    FFixedColor = value;
    InvalidateGrid();
}

void TCustomGrid::SetColor(TColor value)
{
    if (value == FColor)
        return;
    FColor = value;
    InvalidateGrid();
}

void TCustomGrid::SetFont(const TFont& value)
{
    FFont = value;
    InvalidateGrid();
}

void TCustomGrid::SetScrollBars(TScrollStyle value)
{
    if (value == FScrollBars)
        return;
    FScrollBars = value;
    setHorizontalScrollBarPolicy(value == ssHorizontal || value == ssBoth ? Qt::ScrollBarAsNeeded
                                                                         : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(value == ssVertical || value == ssBoth ? Qt::ScrollBarAsNeeded
                                                                     : Qt::ScrollBarAlwaysOff);
    UpdateScrollRange();
    InvalidateGrid();
}

void TCustomGrid::SetBorderStyle(TBorderStyle value)
{
    if (value == FBorderStyle)
        return;
    FBorderStyle = value;
    setFrameStyle(value == bsSingle ? (QFrame::StyledPanel | QFrame::Sunken) : QFrame::NoFrame);
    UpdateScrollRange();
    InvalidateGrid();
}

void TCustomGrid::SetOptions(TGridOptions value)
{
    if (value == FOptions)
        return;
    if (value & goRowSelect)
        value &= ~TGridOptions(goAlwaysShowEditor);
    FOptions = value;
    if (!FEditorMode) {
        if (value & goAlwaysShowEditor)
            ShowEditor();
        else
            HideEditor();
    }
    if (value & goRowSelect)
        MoveCurrent(FCurrent.X, FCurrent.Y, true, false);
    InvalidateGrid();
}

// ---------------------------------------------------------------------------
// Geometry
// ---------------------------------------------------------------------------

int TCustomGrid::ClientWidth() const
{
    return viewport()->width();
}

int TCustomGrid::ClientHeight() const
{
    return viewport()->height();
}

namespace {

void CalcFixedAxis(TGridAxisDrawInfo& axis, bool hasLine, int lineWidth, int fixedCount, int firstCell,
                   int cellCount, const std::vector<int>& extents, int defaultExtent)
{
    axis.EffectiveLineWidth = hasLine ? lineWidth : 0;
    axis.Extents = &extents;
    axis.DefaultExtent = defaultExtent;
    axis.FixedCellCount = fixedCount;
    axis.FirstGridCell = firstCell;
    axis.GridCellCount = cellCount;
    qint64 boundary = 0;
    for (int i = 0; i < fixedCount; ++i)
        boundary += static_cast<qint64>(axis.GetExtent(i)) + axis.EffectiveLineWidth;
    axis.FixedBoundary = ClampToInt(boundary);
}

void CalcAxis(TGridAxisDrawInfo& axis)
{
    qint64 boundary = axis.FixedBoundary;
    axis.GridBoundary = axis.FixedBoundary;
    axis.FullVisBoundary = axis.FixedBoundary;
    axis.LastFullVisibleCell = axis.FirstGridCell;
    const qint64 limit = static_cast<qint64>(axis.GridExtent) + axis.EffectiveLineWidth;
    for (int i = axis.FirstGridCell; i < axis.GridCellCount; ++i) {
        boundary += static_cast<qint64>(axis.GetExtent(i)) + axis.EffectiveLineWidth;
        if (boundary > limit) {
            axis.GridBoundary = axis.GridExtent;
            return;
        }
        axis.LastFullVisibleCell = i;
        axis.FullVisBoundary = ClampToInt(boundary);
        axis.GridBoundary = ClampToInt(boundary);
    }
}

// The cell of an axis under a position; -1 when none.
int CalcAxisCell(const TGridAxisDrawInfo& axis, int n)
{
    if (n < axis.FixedBoundary) {
        qint64 start = 0;
        for (int i = 0;; ++i) {
            if (i >= axis.FixedCellCount)
                return -1;
            const qint64 stop = start + axis.GetExtent(i) + axis.EffectiveLineWidth;
            if (n < stop)
                return i;
            start = stop;
        }
    }
    qint64 start = axis.FixedBoundary;
    for (int i = axis.FirstGridCell;; ++i) {
        if (i >= axis.GridCellCount || start > axis.GridExtent)
            return -1;
        const qint64 stop = start + axis.GetExtent(i) + axis.EffectiveLineWidth;
        if (n < stop)
            return i;
        start = stop;
    }
}

// The largest first cell that still shows cell start whole.
int CalcMaxCell(const TGridAxisDrawInfo& axis, int start)
{
    int result = start;
    if (start < axis.FixedCellCount)
        return result;
    qint64 line = static_cast<qint64>(axis.GridExtent) + axis.EffectiveLineWidth;
    for (int i = start; i >= axis.FixedCellCount; --i) {
        const int extent = axis.GetExtent(i);
        if (extent > 0) {
            line -= static_cast<qint64>(extent) + axis.EffectiveLineWidth;
            if (line < axis.FixedBoundary) {
                if (result == start && axis.GetExtent(start) <= 0)
                    result = i;
                break;
            }
            result = i;
        }
    }
    return result;
}

}  // namespace

void TCustomGrid::CalcDrawInfo(TGridDrawInfo& info) const
{
    CalcFixedAxis(info.Horz, FOptions & (goFixedVertLine | goVertLine), FGridLineWidth, FFixedCols, FTopLeft.X,
                  FColCount, FColWidths, FDefaultColWidth);
    CalcFixedAxis(info.Vert, FOptions & (goFixedHorzLine | goHorzLine), FGridLineWidth, FFixedRows, FTopLeft.Y,
                  FRowCount, FRowHeights, FDefaultRowHeight);
    info.Horz.GridExtent = ClientWidth();
    info.Vert.GridExtent = ClientHeight();
    CalcAxis(info.Horz);
    CalcAxis(info.Vert);
}

TGridCoord TCustomGrid::CalcMaxTopLeft(const TGridCoord& coord, const TGridDrawInfo& info) const
{
    return TGridCoord{CalcMaxCell(info.Horz, coord.X), CalcMaxCell(info.Vert, coord.Y)};
}

TGridCoord TCustomGrid::MouseCoord(int x, int y) const
{
    TGridDrawInfo info;
    CalcDrawInfo(info);
    if (UseRightToLeftAlignment())
        x = ClientWidth() - x;
    // A one-column grid scrolled by pixels shows its column shifted left.
    if (x >= info.Horz.FixedBoundary)
        x += FColOffset;
    TGridCoord result{CalcAxisCell(info.Horz, x), CalcAxisCell(info.Vert, y)};
    if (result.X == -1 || result.Y == -1)
        result = TGridCoord{-1, -1};
    return result;
}

void TCustomGrid::MouseToCell(int x, int y, int& col, int& row) const
{
    const TGridCoord coord = MouseCoord(x, y);
    col = coord.X;
    row = coord.Y;
}

QRect TCustomGrid::ClientRectOf(const TGridRect& gridRect, bool includeLine) const
{
    if (gridRect.Left > gridRect.Right || gridRect.Top > gridRect.Bottom)
        return QRect();
    TGridDrawInfo info;
    CalcDrawInfo(info);
    if (gridRect.Left > info.Horz.LastFullVisibleCell + 1 || gridRect.Top > info.Vert.LastFullVisibleCell + 1)
        return QRect();

    // The start of a cell, or -1 when it lies beyond the client area.
    auto linePos = [](const TGridAxisDrawInfo& axis, int line) -> qint64 {
        qint64 result = 0;
        int start;
        if (line < axis.FixedCellCount) {
            start = 0;
        } else {
            if (line >= axis.FirstGridCell)
                result = axis.FixedBoundary;
            start = axis.FirstGridCell;
        }
        for (int i = start; i < line; ++i) {
            result += static_cast<qint64>(axis.GetExtent(i)) + axis.EffectiveLineWidth;
            if (result > axis.GridExtent)
                return -1;
        }
        return result;
    };
    auto calcAxis = [&](const TGridAxisDrawInfo& axis, int minCell, int maxCell, int& lo, int& hi) -> bool {
        if (minCell >= axis.FixedCellCount && minCell < axis.FirstGridCell) {
            if (maxCell < axis.FirstGridCell)
                return false;
            minCell = axis.FirstGridCell;
        }
        if (maxCell > axis.LastFullVisibleCell) {
            maxCell = axis.LastFullVisibleCell;
            if (maxCell < axis.GridCellCount - 1)
                ++maxCell;
            if (linePos(axis, maxCell) < 0)
                --maxCell;
        }
        const qint64 start = linePos(axis, minCell);
        if (start < 0)
            return false;
        qint64 stop = linePos(axis, maxCell);
        if (stop < 0)
            stop = start + axis.GetExtent(minCell);
        else
            stop += axis.GetExtent(maxCell);
        if (stop > axis.GridExtent)
            stop = axis.GridExtent;
        if (includeLine)
            stop += axis.EffectiveLineWidth;
        lo = ClampToInt(start);
        hi = ClampToInt(stop);
        return true;
    };
    int left = 0, right = 0, top = 0, bottom = 0;
    if (!calcAxis(info.Horz, gridRect.Left, gridRect.Right, left, right))
        return QRect();
    if (!calcAxis(info.Vert, gridRect.Top, gridRect.Bottom, top, bottom))
        return QRect();
    // A one-column grid scrolled by pixels.
    if (FColOffset != 0 && gridRect.Left >= FFixedCols) {
        left = std::max(info.Horz.FixedBoundary, left - FColOffset);
        right -= FColOffset;
    }
    if (UseRightToLeftAlignment()) {
        const int hold = left;
        left = ClientWidth() - right;
        right = ClientWidth() - hold;
    }
    if (right <= left || bottom <= top)
        return QRect();
    return Rect(left, top, right, bottom);
}

QRect TCustomGrid::BoxRect(int left, int top, int right, int bottom) const
{
    return ClientRectOf(TGridRect{left, top, right, bottom}, false);
}

QRect TCustomGrid::CellRect(int col, int row) const
{
    return BoxRect(col, row, col, row);
}

int TCustomGrid::VisibleColCount() const
{
    TGridDrawInfo info;
    CalcDrawInfo(info);
    return info.Horz.LastFullVisibleCell - FTopLeft.X + 1;
}

int TCustomGrid::VisibleRowCount() const
{
    TGridDrawInfo info;
    CalcDrawInfo(info);
    return info.Vert.LastFullVisibleCell - FTopLeft.Y + 1;
}

// ---------------------------------------------------------------------------
// Invalidation
// ---------------------------------------------------------------------------

void TCustomGrid::InvalidateGrid()
{
    viewport()->update();
}

void TCustomGrid::InvalidateRect(const TGridRect& rect)
{
    const QRect r = ClientRectOf(rect, true);
    if (!r.isEmpty())
        viewport()->update(r);
}

void TCustomGrid::InvalidateCell(int col, int row)
{
    InvalidateRect(TGridRect{col, row, col, row});
}

void TCustomGrid::InvalidateRow(int row)
{
    InvalidateRect(TGridRect{0, row, FColCount - 1, row});
}

void TCustomGrid::InvalidateCol(int col)
{
    InvalidateRect(TGridRect{col, 0, col, FRowCount - 1});
}

// ---------------------------------------------------------------------------
// Current cell and selection
// ---------------------------------------------------------------------------

TGridRect TCustomGrid::Selection() const
{
    return TGridRect{std::min(FCurrent.X, FAnchor.X), std::min(FCurrent.Y, FAnchor.Y), std::max(FCurrent.X, FAnchor.X),
                     std::max(FCurrent.Y, FAnchor.Y)};
}

void TCustomGrid::SetSelection(const TGridRect& value)
{
    const TGridRect oldSel = Selection();
    FAnchor = TGridCoord{value.Left, value.Top};
    FCurrent = TGridCoord{value.Right, value.Bottom};
    SelectionMoved(oldSel);
}

void TCustomGrid::SelectionMoved(const TGridRect& oldSel)
{
    const QRegion oldRegion(ClientRectOf(oldSel, true));
    const QRegion newRegion(ClientRectOf(Selection(), true));
    const QRegion changed = oldRegion.xored(newRegion);
    if (!changed.isEmpty())
        viewport()->update(changed);
}

void TCustomGrid::SetCol(int value)
{
    if (value != FCurrent.X)
        FocusCell(value, FCurrent.Y, true);
}

void TCustomGrid::SetRow(int value)
{
    if (value != FCurrent.Y)
        FocusCell(FCurrent.X, value, true);
}

void TCustomGrid::SetLeftCol(int value)
{
    if (value != FTopLeft.X)
        MoveTopLeft(value, FTopLeft.Y);
}

void TCustomGrid::SetTopRow(int value)
{
    if (value != FTopLeft.Y)
        MoveTopLeft(FTopLeft.X, value);
}

bool TCustomGrid::AllowCellSelect(int, int)
{
    return true;
}

void TCustomGrid::FocusCell(int col, int row, bool moveAnchor)
{
    MoveCurrent(col, row, moveAnchor, true);
    UpdateEdit();
    Click();
}

void TCustomGrid::MoveCurrent(int col, int row, bool moveAnchor, bool show)
{
    if (col < 0 || row < 0 || col >= FColCount || row >= FRowCount)
        InvalidOp(SIndexOutOfRange);
    if (!AllowCellSelect(col, row))
        return;
    const TGridRect oldSel = Selection();
    const TGridCoord oldCurrent = FCurrent;
    FCurrent = TGridCoord{col, row};
    if (!(FOptions & goAlwaysShowEditor))
        HideEditor();
    if (moveAnchor || !(FOptions & goRangeSelect)) {
        FAnchor = FCurrent;
        if (FOptions & goRowSelect)
            FAnchor.X = FColCount - 1;
    }
    if (FOptions & goRowSelect)
        FCurrent.X = FFixedCols;
    if (show)
        ClampInView(FCurrent);
    SelectionMoved(oldSel);
    InvalidateCell(oldCurrent.X, oldCurrent.Y);
    InvalidateCell(col, row);
}

void TCustomGrid::MoveAnchor(const TGridCoord& newAnchor)
{
    if ((FOptions & goRangeSelect) && !(FOptions & goEditing)) {
        const TGridRect oldSel = Selection();
        FAnchor = newAnchor;
        if (FOptions & goRowSelect)
            FAnchor.X = FColCount - 1;
        ClampInView(newAnchor);
        SelectionMoved(oldSel);
    } else {
        MoveCurrent(newAnchor.X, newAnchor.Y, true, true);
    }
}

void TCustomGrid::MoveColumn(int fromIndex, int toIndex)
{
    if (fromIndex == toIndex)
        return;
    MoveEntry(FColWidths, fromIndex, toIndex);
    MoveEntry(FTabStops, fromIndex, toIndex);
    MoveAdjust(FCurrent.X, fromIndex, toIndex);
    MoveAdjust(FAnchor.X, fromIndex, toIndex);
    MoveAdjust(FInplaceCol, fromIndex, toIndex);
    InvalidateRect(TGridRect{std::min(fromIndex, toIndex), 0, std::max(fromIndex, toIndex), FRowCount - 1});
    ColumnMoved(fromIndex, toIndex);
    if (!FColWidths.empty())
        ColWidthsChanged();
    UpdateEdit();
}

void TCustomGrid::MoveRow(int fromIndex, int toIndex)
{
    if (fromIndex == toIndex)
        return;
    MoveEntry(FRowHeights, fromIndex, toIndex);
    MoveAdjust(FCurrent.Y, fromIndex, toIndex);
    MoveAdjust(FAnchor.Y, fromIndex, toIndex);
    MoveAdjust(FInplaceRow, fromIndex, toIndex);
    RowMoved(fromIndex, toIndex);
    if (!FRowHeights.empty())
        RowHeightsChanged();
    UpdateEdit();
}

void TCustomGrid::RemoveColumn(int col)
{
    MoveColumn(col, FColCount - 1);
    SetColCount(FColCount - 1);
}

void TCustomGrid::RemoveRow(int row)
{
    MoveRow(row, FRowCount - 1);
    SetRowCount(FRowCount - 1);
}

// ---------------------------------------------------------------------------
// Scrolling
// ---------------------------------------------------------------------------

void TCustomGrid::ClampInView(const TGridCoord& coord)
{
    TGridDrawInfo info;
    CalcDrawInfo(info);
    if (coord.X > info.Horz.LastFullVisibleCell || coord.Y > info.Vert.LastFullVisibleCell ||
        (coord.X < FTopLeft.X && coord.X >= FFixedCols) || (coord.Y < FTopLeft.Y && coord.Y >= FFixedRows)) {
        const TGridCoord oldTopLeft = FTopLeft;
        const TGridCoord maxTopLeft = CalcMaxTopLeft(coord, info);
        if (coord.X < FTopLeft.X && coord.X >= FFixedCols)
            FTopLeft.X = coord.X;
        else if (coord.X > info.Horz.LastFullVisibleCell)
            FTopLeft.X = maxTopLeft.X;
        if (coord.Y < FTopLeft.Y && coord.Y >= FFixedRows)
            FTopLeft.Y = coord.Y;
        else if (coord.Y > info.Vert.LastFullVisibleCell)
            FTopLeft.Y = maxTopLeft.Y;
        if (FTopLeft != oldTopLeft)
            TopLeftMoved(oldTopLeft);
    }
}

void TCustomGrid::MoveTopLeft(int col, int row)
{
    if (col == FTopLeft.X && row == FTopLeft.Y)
        return;
    const TGridCoord oldTopLeft = FTopLeft;
    FTopLeft = TGridCoord{col, row};
    TopLeftMoved(oldTopLeft);
}

void TCustomGrid::TopLeftMoved(const TGridCoord& oldTopLeft)
{
    UpdateScrollPos();
    TGridDrawInfo info;
    CalcDrawInfo(info);
    // The pixels between the old and the new first cell of an axis; false when
    // more than the scrolling area moves (everything is repainted then).
    auto calcScroll = [&](const TGridAxisDrawInfo& axis, int oldPos, int newPos, int& amount) -> bool {
        const int start = std::min(oldPos, newPos);
        const int stop = std::max(oldPos, newPos);
        const qint64 area = static_cast<qint64>(axis.GridBoundary) - axis.FixedBoundary;
        qint64 sum = 0;
        for (int i = start; i < stop; ++i) {
            sum += static_cast<qint64>(axis.GetExtent(i)) + axis.EffectiveLineWidth;
            if (sum > area) {
                InvalidateGrid();
                return false;
            }
        }
        amount = ClampToInt(oldPos < newPos ? -sum : sum);
        return true;
    };
    int dx = 0, dy = 0;
    if (calcScroll(info.Horz, oldTopLeft.X, FTopLeft.X, dx) && calcScroll(info.Vert, oldTopLeft.Y, FTopLeft.Y, dy))
        ScrollDataInfo(dx, dy, info);
    TopLeftChanged();
}

void TCustomGrid::ScrollDataInfo(int dx, int dy, const TGridDrawInfo& info)
{
    QWidget* port = viewport();
    const bool rtl = UseRightToLeftAlignment();
    const int width = ClientWidth();
    auto area = [&](int left, int top, int right, int bottom) {
        QRect r = Rect(left, top, right, bottom);
        if (rtl)
            r = Rect(width - right, top, width - left, bottom);
        return r;
    };
    const int sx = rtl ? -dx : dx;
    const auto& h = info.Horz;
    const auto& v = info.Vert;
    if (dx == 0) {
        port->scroll(0, dy, area(0, v.FixedBoundary, h.GridBoundary, v.GridBoundary));
    } else if (dy == 0) {
        port->scroll(sx, 0, area(h.FixedBoundary, 0, h.GridBoundary, v.GridBoundary));
    } else {
        port->scroll(sx, dy, area(h.FixedBoundary, v.FixedBoundary, h.GridBoundary, v.GridBoundary));
        port->scroll(0, dy, area(0, v.FixedBoundary, h.FixedBoundary, v.GridBoundary));
        port->scroll(sx, 0, area(h.FixedBoundary, 0, h.GridBoundary, v.FixedBoundary));
    }
    if (FOptions & goRowSelect)
        InvalidateRect(Selection());
}

QSize TCustomGrid::SizeWithoutScrollBars() const
{
    const QRect r = contentsRect();
    return r.size();
}

void TCustomGrid::UpdateScrollRange()
{
    if (FScrollBars == ssNone || !isVisible() || FUpdatingScrollBars)
        return;
    FUpdatingScrollBars = true;
    const TGridCoord oldTopLeft = FTopLeft;
    const QSize full = SizeWithoutScrollBars();
    const int barWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const bool horzAllowed = FScrollBars == ssHorizontal || FScrollBars == ssBoth;
    const bool vertAllowed = FScrollBars == ssVertical || FScrollBars == ssBoth;

    // The largest top-left for a client area of the given size.
    auto maxTopLeftFor = [&](int width, int height) {
        TGridDrawInfo info;
        CalcDrawInfo(info);
        info.Horz.GridExtent = width;
        info.Vert.GridExtent = height;
        CalcAxis(info.Horz);
        CalcAxis(info.Vert);
        return CalcMaxTopLeft(TGridCoord{FColCount - 1, FRowCount - 1}, info);
    };
    auto horzNeeded = [&](int width, int height) {
        if (!horzAllowed)
            return false;
        if (FColCount == 1)
            return ColWidths(0) - width > 0;
        return FFixedCols < maxTopLeftFor(width, height).X;
    };
    auto vertNeeded = [&](int width, int height) {
        return vertAllowed && FFixedRows < maxTopLeftFor(width, height).Y;
    };
    bool horz = horzNeeded(full.width(), full.height());
    const bool vert = vertNeeded(full.width(), full.height() - (horz ? barWidth : 0));
    const int width = full.width() - (vert ? barWidth : 0);
    horz = horzNeeded(width, full.height());
    const int height = full.height() - (horz ? barWidth : 0);

    const TGridCoord maxTopLeft = maxTopLeftFor(width, height);
    if (horzAllowed) {
        if (FColCount == 1) {
            const int range = std::max(0, ColWidths(0) - width);
            horizontalScrollBar()->setRange(0, range);
            horizontalScrollBar()->setPageStep(std::max(1, width));
            if (FColOffset > range) {
                const int old = FColOffset;
                FColOffset = range;
                viewport()->scroll(old - range, 0);
            }
        } else {
            horizontalScrollBar()->setRange(0, FFixedCols < maxTopLeft.X ? ScrollBarRange : 0);
            horizontalScrollBar()->setPageStep(10);
            if (FTopLeft.X > maxTopLeft.X)
                FTopLeft.X = std::max(FFixedCols, maxTopLeft.X);
        }
    }
    if (vertAllowed) {
        verticalScrollBar()->setRange(0, FFixedRows < maxTopLeft.Y ? ScrollBarRange : 0);
        verticalScrollBar()->setPageStep(10);
        if (FTopLeft.Y > maxTopLeft.Y)
            FTopLeft.Y = std::max(FFixedRows, maxTopLeft.Y);
    }
    FUpdatingScrollBars = false;
    UpdateScrollPos();
    if (FTopLeft != oldTopLeft)
        TopLeftMoved(oldTopLeft);
}

void TCustomGrid::UpdateScrollPos()
{
    if (FScrollBars == ssNone)
        return;
    TGridDrawInfo info;
    CalcDrawInfo(info);
    const TGridCoord maxTopLeft = CalcMaxTopLeft(TGridCoord{FColCount - 1, FRowCount - 1}, info);
    const QSignalBlocker hBlock(horizontalScrollBar());
    const QSignalBlocker vBlock(verticalScrollBar());
    if (FScrollBars == ssHorizontal || FScrollBars == ssBoth) {
        QScrollBar* bar = horizontalScrollBar();
        // Under right-to-left layout the bar mirrors itself.
        const int pos = FColCount == 1 ? FColOffset
                                       : LongMulDiv(FTopLeft.X - FFixedCols, ScrollBarRange, maxTopLeft.X - FFixedCols);
        bar->setValue(pos);
        bar->setSliderPosition(pos);
    }
    if (FScrollBars == ssVertical || FScrollBars == ssBoth) {
        const int pos = LongMulDiv(FTopLeft.Y - FFixedRows, ScrollBarRange, maxTopLeft.Y - FFixedRows);
        verticalScrollBar()->setValue(pos);
        verticalScrollBar()->setSliderPosition(pos);
    }
}

void TCustomGrid::ScrollBarAction(Qt::Orientation axis, int action)
{
    QScrollBar* bar = axis == Qt::Horizontal ? horizontalScrollBar() : verticalScrollBar();
    int code;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
        code = scLineDown;
        break;
    case QAbstractSlider::SliderSingleStepSub:
        code = scLineUp;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        code = scPageDown;
        break;
    case QAbstractSlider::SliderPageStepSub:
        code = scPageUp;
        break;
    case QAbstractSlider::SliderToMinimum:
        code = scTop;
        break;
    case QAbstractSlider::SliderToMaximum:
        code = scBottom;
        break;
    case QAbstractSlider::SliderMove:
        code = bar->isSliderDown() ? scThumbTrack : scThumbPosition;
        break;
    default:
        return;
    }
    // Without thumb tracking the thumb follows the mouse until its release.
    if (code == scThumbTrack && !(FOptions & goThumbTracking))
        return;
    ModifyScrollBar(axis, code, bar->sliderPosition());
    // The bar shows where the grid stands, not where the request pointed.
    UpdateScrollPos();
}

void TCustomGrid::ScrollBarReleased(Qt::Orientation axis)
{
    QScrollBar* bar = axis == Qt::Horizontal ? horizontalScrollBar() : verticalScrollBar();
    ModifyScrollBar(axis, scThumbPosition, bar->sliderPosition());
    UpdateScrollPos();
}

void TCustomGrid::ModifyScrollBar(Qt::Orientation axis, int code, int pos)
{
    if (isVisible() && focusPolicy() != Qt::NoFocus && !hasFocus() && isEnabled())
        setFocus(Qt::OtherFocusReason);
    const bool horz = axis == Qt::Horizontal;
    // Under right-to-left layout the scroll bar mirrors itself: its requests
    // need no mirroring here.
    TGridDrawInfo info;
    CalcDrawInfo(info);

    if (horz && FColCount == 1) {
        // A one-column grid scrolls by pixels.
        const QFontMetrics metrics(FFont.ToQFont());
        const int colWidth = ColWidths(info.Horz.FirstGridCell);
        const int gridSpace = ClientWidth() - info.Horz.FixedBoundary;
        const int maxOffset = std::max(0, colWidth - gridSpace);
        int offset = FColOffset;
        switch (code) {
        case scLineUp:
            offset -= metrics.horizontalAdvance(QLatin1Char('0'));
            break;
        case scLineDown:
            offset += metrics.horizontalAdvance(QLatin1Char('0'));
            break;
        case scPageUp:
            offset -= gridSpace;
            break;
        case scPageDown:
            offset += gridSpace;
            break;
        case scThumbPosition:
        case scThumbTrack:
            if ((FOptions & goThumbTracking) || code == scThumbPosition)
                offset = pos;
            break;
        case scTop:
            offset = 0;
            break;
        case scBottom:
            offset = maxOffset;
            break;
        }
        offset = std::clamp(offset, 0, maxOffset);
        if (offset != FColOffset) {
            const int old = FColOffset;
            FColOffset = offset;
            const bool rtl = UseRightToLeftAlignment();
            const int dx = (old - offset) * (rtl ? -1 : 1);
            const QRect area = rtl ? Rect(0, 0, ClientWidth() - info.Horz.FixedBoundary, ClientHeight())
                                   : Rect(info.Horz.FixedBoundary, 0, ClientWidth(), ClientHeight());
            viewport()->scroll(dx, 0, area);
            InvalidateRect(TGridRect{0, 0, FColCount - 1, FFixedRows - 1});
            UpdateScrollPos();
            TopLeftChanged();
        }
        return;
    }

    const TGridCoord maxTopLeft = CalcMaxTopLeft(TGridCoord{FColCount - 1, FRowCount - 1}, info);
    const int minCell = horz ? FFixedCols : FFixedRows;
    const int maxCell = horz ? maxTopLeft.X : maxTopLeft.Y;
    auto pageUp = [&] {
        const TGridCoord m = CalcMaxTopLeft(FTopLeft, info);
        const int result = horz ? FTopLeft.X - m.X : FTopLeft.Y - m.Y;
        return std::max(1, result);
    };
    auto pageDown = [&] {
        const int result =
            horz ? info.Horz.LastFullVisibleCell - FTopLeft.X : info.Vert.LastFullVisibleCell - FTopLeft.Y;
        return std::max(1, result);
    };
    auto step = [&](int value) -> int {
        switch (code) {
        case scLineUp:
            return value - 1;
        case scLineDown:
            return value + 1;
        case scPageUp:
            return value - pageUp();
        case scPageDown:
            return value + pageDown();
        case scThumbPosition:
        case scThumbTrack:
            if ((FOptions & goThumbTracking) || code == scThumbPosition)
                return minCell + LongMulDiv(pos, maxCell - minCell, ScrollBarRange);
            return value;
        case scTop:
            return minCell;
        case scBottom:
            return maxCell;
        }
        return value;
    };
    int value = horz ? FTopLeft.X : FTopLeft.Y;
    // Cells without extent are stepped over.
    for (;;) {
        const int before = value;
        value = step(value);
        if (value <= minCell || value >= maxCell || value == before ||
            (horz ? ColWidths(value) : RowHeights(value)) > 0)
            break;
    }
    value = std::max(minCell, std::min(maxCell, value));
    if (horz)
        MoveTopLeft(value, FTopLeft.Y);
    else
        MoveTopLeft(FTopLeft.X, value);
}

void TCustomGrid::scrollContentsBy(int, int)
{
    // The grid moves its contents itself when its top-left changes.
}
