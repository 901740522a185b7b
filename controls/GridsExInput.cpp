// Keyboard, mouse, wheel, timer and focus handling of the grid.

#include "GridsEx.h"

#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QWheelEvent>
#include <QtWidgets/QApplication>

#include <algorithm>

namespace {

// Directions of the timed scroll while selecting.
constexpr unsigned sdLeft = 1, sdRight = 2, sdUp = 4, sdDown = 8;

bool IsNavigationKey(int key)
{
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        return true;
    default:
        return false;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Focus
// ---------------------------------------------------------------------------

bool TCustomGrid::IsActiveControl() const
{
    // While the editor has the focus the grid stays its form's active control.
    const QWidget* focus = window()->focusWidget();
    return focus == this || (FInplaceEdit && focus == FInplaceEdit);
}

void TCustomGrid::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    Guard([&] {
        const bool fromEditor = FFocusFromEditor;
        FFocusFromEditor = false;
        if (!fromEditor) {
            if (OnEnter && event->reason() != Qt::ActiveWindowFocusReason)
                OnEnter();
            InvalidateRect(Selection());
            UpdateEdit();
        }
    });
}

void TCustomGrid::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    Guard([&] {
        InvalidateRect(Selection());
        const QWidget* now = QApplication::focusWidget();
        if (FInplaceEdit && now != FInplaceEdit)
            FInplaceEdit->Hide();
        CheckExit(event->reason());
    });
}

void TCustomGrid::CheckExit(Qt::FocusReason reason)
{
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
        return;
    const QWidget* now = QApplication::focusWidget();
    if (now == this || (FInplaceEdit && now == FInplaceEdit))
        return;
    DoExit();
}

void TCustomGrid::DoExit()
{
    CancelMode();
    if (OnExit)
        OnExit();
    if (!(FOptions & goAlwaysShowEditor))
        HideEditor();
}

bool TCustomGrid::focusNextPrevChild(bool next)
{
    // With goTabs the grid keeps Tab for moving between cells.
    if ((FOptions & goTabs) && !(FOptions & goRowSelect))
        return false;
    return QAbstractScrollArea::focusNextPrevChild(next);
}

bool TCustomGrid::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        // The grid keeps its navigation keys from shortcuts.
        auto* key = static_cast<QKeyEvent*>(event);
        if (IsNavigationKey(key->key()) ||
            (key->key() == Qt::Key_Tab && (FOptions & goTabs) && !(FOptions & goRowSelect))) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void TCustomGrid::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    Guard([&] {
        UpdateScrollRange();
        if (UseRightToLeftAlignment())
            InvalidateGrid();
    });
}

void TCustomGrid::showEvent(QShowEvent* event)
{
    QAbstractScrollArea::showEvent(event);
    Guard([&] { UpdateScrollRange(); });
}

// ---------------------------------------------------------------------------
// Keyboard
// ---------------------------------------------------------------------------

void TCustomGrid::keyPressEvent(QKeyEvent* event)
{
    Guard([&] {
        int key = event->key();
        KeyDown(key, event->modifiers());
        const QString text = event->text();
        if (!text.isEmpty()) {
            QChar ch = text.at(0);
            if ((FOptions & goEditing) && (ch == QChar(8) || ch.unicode() >= 32))
                ShowEditorChar(ch);
            else
                KeyPress(ch);
        }
    });
    event->accept();
}

void TCustomGrid::keyReleaseEvent(QKeyEvent* event)
{
    Guard([&] {
        int key = event->key();
        KeyUp(key, event->modifiers());
    });
    event->accept();
}

bool TCustomGrid::CanGridAcceptKey(int, Qt::KeyboardModifiers)
{
    return true;
}

void TCustomGrid::KeyDown(int& key, Qt::KeyboardModifiers shift)
{
    if (OnKeyDown)
        OnKeyDown(key, shift);
    if (!CanGridAcceptKey(key, shift))
        key = 0;
    const int rtlFactor = UseRightToLeftAlignment() ? -1 : 1;
    TGridCoord newCurrent = FCurrent;
    TGridCoord newTopLeft = FTopLeft;
    TGridDrawInfo info;
    CalcDrawInfo(info);
    const int pageWidth = std::max(1, info.Horz.LastFullVisibleCell - FTopLeft.X);
    const int pageHeight = std::max(1, info.Vert.LastFullVisibleCell - FTopLeft.Y);
    bool needsInvalidating = false;
    if (shift & Qt::ControlModifier) {
        switch (key) {
        case Qt::Key_Up:
            --newTopLeft.Y;
            break;
        case Qt::Key_Down:
            ++newTopLeft.Y;
            break;
        case Qt::Key_Left:
            if (!(FOptions & goRowSelect)) {
                newCurrent.X -= pageWidth * rtlFactor;
                newTopLeft.X -= pageWidth * rtlFactor;
            }
            break;
        case Qt::Key_Right:
            if (!(FOptions & goRowSelect)) {
                newCurrent.X += pageWidth * rtlFactor;
                newTopLeft.X += pageWidth * rtlFactor;
            }
            break;
        case Qt::Key_PageUp:
            newCurrent.Y = FTopLeft.Y;
            break;
        case Qt::Key_PageDown:
            newCurrent.Y = info.Vert.LastFullVisibleCell;
            break;
        case Qt::Key_Home:
            newCurrent = TGridCoord{FFixedCols, FFixedRows};
            needsInvalidating = UseRightToLeftAlignment();
            break;
        case Qt::Key_End:
            newCurrent = TGridCoord{FColCount - 1, FRowCount - 1};
            needsInvalidating = UseRightToLeftAlignment();
            break;
        default:
            break;
        }
    } else {
        switch (key) {
        case Qt::Key_Up:
            --newCurrent.Y;
            break;
        case Qt::Key_Down:
            ++newCurrent.Y;
            break;
        case Qt::Key_Left:
            // The check-box column is never stepped into.
            if (FHasCheckBox && FCurrent.X == 1)
                return;
            if (FOptions & goRowSelect)
                newTopLeft.X -= rtlFactor;
            else
                newCurrent.X -= rtlFactor;
            break;
        case Qt::Key_Right:
            // Nor is the button column.
            if (FHasSpeedButton && FCurrent.X == FColCount - 2)
                return;
            if (FOptions & goRowSelect)
                newTopLeft.X += rtlFactor;
            else
                newCurrent.X += rtlFactor;
            break;
        case Qt::Key_PageDown:
            newCurrent.Y += pageHeight;
            newTopLeft.Y += pageHeight;
            break;
        case Qt::Key_PageUp:
            newCurrent.Y -= pageHeight;
            newTopLeft.Y -= pageHeight;
            break;
        case Qt::Key_Home:
            if (FOptions & goRowSelect)
                newCurrent.Y = FFixedRows;
            else
                newCurrent.X = FFixedCols;
            break;
        case Qt::Key_End:
            if (FOptions & goRowSelect)
                newCurrent.Y = FRowCount - 1;
            else
                newCurrent.X = FColCount - 1;
            break;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            if (!(shift & Qt::AltModifier)) {
                const bool back = key == Qt::Key_Backtab || (shift & Qt::ShiftModifier);
                do {
                    if (back) {
                        --newCurrent.X;
                        if (newCurrent.X < FFixedCols) {
                            newCurrent.X = FColCount - 1;
                            --newCurrent.Y;
                            if (newCurrent.Y < FFixedRows)
                                newCurrent.Y = FRowCount - 1;
                        }
                    } else {
                        ++newCurrent.X;
                        if (newCurrent.X >= FColCount) {
                            newCurrent.X = FFixedCols;
                            ++newCurrent.Y;
                            if (newCurrent.Y >= FRowCount)
                                newCurrent.Y = FFixedRows;
                        }
                    }
                } while (!TabStops(newCurrent.X) && newCurrent.X != FCurrent.X);
                // The anchor moves with the current cell.
                shift &= ~Qt::KeyboardModifiers(Qt::ShiftModifier);
            }
            break;
        case Qt::Key_F2:
            SetEditorMode(true);
            break;
        default:
            break;
        }
    }
    const TGridCoord maxTopLeft = CalcMaxTopLeft(TGridCoord{FColCount - 1, FRowCount - 1}, info);
    newTopLeft.X = std::max(FFixedCols, std::min(maxTopLeft.X, newTopLeft.X));
    newTopLeft.Y = std::max(FFixedRows, std::min(maxTopLeft.Y, newTopLeft.Y));
    if (newTopLeft != FTopLeft)
        MoveTopLeft(newTopLeft.X, newTopLeft.Y);
    newCurrent.X = std::max(FFixedCols, std::min(FColCount - 1, newCurrent.X));
    newCurrent.Y = std::max(FFixedRows, std::min(FRowCount - 1, newCurrent.Y));
    if (newCurrent != FCurrent)
        FocusCell(newCurrent.X, newCurrent.Y, !(shift & Qt::ShiftModifier));
    if (needsInvalidating)
        InvalidateGrid();
}

void TCustomGrid::KeyPress(QChar& key)
{
    if (OnKeyPress)
        OnKeyPress(key);
    if (!(FOptions & goAlwaysShowEditor) && key == QChar(13)) {
        if (FEditorMode)
            HideEditor();
        else
            ShowEditor();
        key = QChar(0);
    }
}

void TCustomGrid::KeyUp(int& key, Qt::KeyboardModifiers shift)
{
    if (OnKeyUp)
        OnKeyUp(key, shift);
}

void TCustomGrid::Click()
{
    if (OnClick)
        OnClick();
}

void TCustomGrid::DblClick()
{
    if (OnDblClick)
        OnDblClick();
}

// ---------------------------------------------------------------------------
// Mouse
// ---------------------------------------------------------------------------

void TCustomGrid::SetCursorShape(Qt::CursorShape value)
{
    FCursorShape = value;
    if (FGridState == gsNormal)
        viewport()->setCursor(value);
}

void TCustomGrid::UpdateCursor(int x, int y)
{
    TGridState state = FGridState;
    if (state == gsNormal) {
        TGridDrawInfo info;
        CalcDrawInfo(info);
        state = HitSizingBorder(x, y, info).State;
    }
    Qt::CursorShape shape = FCursorShape;
    if (state == gsRowSizing)
        shape = Qt::SplitVCursor;
    else if (state == gsColSizing)
        shape = Qt::SplitHCursor;
    if (viewport()->cursor().shape() != shape)
        viewport()->setCursor(shape);
}

void TCustomGrid::Press(QMouseEvent* event, bool doubleClick)
{
    const QPoint p = event->position().toPoint();
    FHitTest = p;
    FDoublePress = doubleClick && event->button() == Qt::LeftButton;
    Guard([&] { MouseDown(MouseButtonOf(event->button()), event->modifiers(), p.x(), p.y()); });
    FDoublePress = false;
    // The editor takes a press soon after this one as the double click.
    if (event->button() == Qt::LeftButton && FInplaceEdit)
        FInplaceEdit->SetClickTime(static_cast<qint64>(event->timestamp()));
    event->accept();
}

void TCustomGrid::mousePressEvent(QMouseEvent* event)
{
    Press(event, false);
}

void TCustomGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    Press(event, true);
}

void TCustomGrid::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    FHitTest = p;
    Guard([&] {
        MouseMove(event->modifiers(), p.x(), p.y());
        UpdateCursor(p.x(), p.y());
    });
    event->accept();
}

void TCustomGrid::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    FHitTest = p;
    Guard([&] { MouseUp(MouseButtonOf(event->button()), event->modifiers(), p.x(), p.y()); });
    event->accept();
}

TCustomGrid::TSizingHit TCustomGrid::HitSizingBorder(int x, int y, const TGridDrawInfo& fixedInfo)
{
    TSizingHit hit;
    hit.Index = -1;
    if (!(FOptions & (goColSizing | goRowSizing)))
        return hit;
    TGridDrawInfo info = fixedInfo;
    info.Vert.GridExtent = ClientHeight();
    info.Horz.GridExtent = ClientWidth();
    const bool rtl = UseRightToLeftAlignment();
    auto calcAxisState = [&](const TGridAxisDrawInfo& axis, int pos, TGridState newState) {
        if (newState == gsColSizing && rtl)
            pos = ClientWidth() - pos;
        qint64 line = axis.FixedBoundary;
        int range = axis.EffectiveLineWidth;
        int back = 0;
        if (range < 7) {
            range = 7;
            back = (range - axis.EffectiveLineWidth) / 2;
        }
        for (int i = axis.FirstGridCell; i < axis.GridCellCount; ++i) {
            line += axis.GetExtent(i);
            if (line > axis.GridBoundary)
                break;
            if (pos >= line - back && pos <= line - back + range) {
                hit.State = newState;
                hit.SizingPos = static_cast<int>(line);
                hit.SizingOfs = static_cast<int>(line - pos);
                hit.Index = i;
                return;
            }
            line += axis.EffectiveLineWidth;
        }
        if (axis.GridBoundary == axis.GridExtent && pos >= axis.GridExtent - back && pos <= axis.GridExtent) {
            hit.State = newState;
            hit.SizingPos = axis.GridExtent;
            hit.SizingOfs = axis.GridExtent - pos;
            hit.Index = axis.LastFullVisibleCell + 1;
        }
    };
    const bool outsideFixed = rtl ? x < ClientWidth() - info.Horz.FixedBoundary : x > info.Horz.FixedBoundary;
    const bool outsideOrEqualFixed =
        rtl ? x <= ClientWidth() - info.Horz.FixedBoundary : x >= info.Horz.FixedBoundary;
    if (outsideFixed && (FOptions & goColSizing)) {
        if (y >= info.Vert.FixedBoundary)
            return hit;
        calcAxisState(info.Horz, x, gsColSizing);
    } else if (y > info.Vert.FixedBoundary && (FOptions & goRowSizing)) {
        if (outsideOrEqualFixed)
            return hit;
        calcAxisState(info.Vert, y, gsRowSizing);
    }
    return hit;
}

void TCustomGrid::MouseDown(TMouseButton button, Qt::KeyboardModifiers shift, int x, int y)
{
    auto startSizing = [&](const TSizingHit& hit, const TGridDrawInfo& info) {
        FGridState = hit.State;
        FSizingIndex = hit.Index;
        FSizingPos = hit.SizingPos;
        FSizingOfs = hit.SizingOfs;
        if (FGridState == gsColSizing && UseRightToLeftAlignment())
            FSizingPos = ClientWidth() - FSizingPos;
        DrawSizingLine(info);
    };
    auto inherited = [&] {
        if (OnMouseDown)
            OnMouseDown(button, shift, x, y);
    };

    // Presses on the check-box and button columns are left to the owner.
    if (FHasCheckBox || FHasSpeedButton) {
        TGridDrawInfo info;
        CalcDrawInfo(info);
        const TSizingHit hit = HitSizingBorder(x, y, info);
        if (hit.State != gsNormal) {
            startSizing(hit, info);
            return;
        }
        const TGridCoord cell = MouseCoord(x, y);
        if ((FHasCheckBox && cell.X == 0) || (FHasSpeedButton && cell.X == FColCount - 1 && cell.X >= 0)) {
            inherited();
            return;
        }
    }

    bool moveDrawn = false;
    HideEditorControl();
    if (focusPolicy() != Qt::NoFocus && isEnabled()) {
        setFocus(Qt::MouseFocusReason);
        if (!IsActiveControl())
            return;
    }
    if (button == TMouseButton::Left && FDoublePress) {
        DblClick();
    } else if (button == TMouseButton::Left) {
        TGridDrawInfo info;
        CalcDrawInfo(info);
        const TSizingHit hit = HitSizingBorder(x, y, info);
        if (hit.State != gsNormal) {
            startSizing(hit, info);
            return;
        }
        const TGridCoord cell = MouseCoord(x, y);
        if (cell.X >= FFixedCols && cell.Y >= FFixedRows) {
            if (FOptions & goEditing) {
                if (cell == FCurrent) {
                    ShowEditor();
                } else {
                    MoveCurrent(cell.X, cell.Y, true, true);
                    UpdateEdit();
                }
                Click();
            } else {
                FGridState = gsSelecting;
                FTimer.start(60, this);
                if (shift & Qt::ShiftModifier)
                    MoveAnchor(cell);
                else
                    MoveCurrent(cell.X, cell.Y, true, true);
            }
        } else if ((FOptions & goRowMoving) && cell.X >= 0 && cell.X < FFixedCols && cell.Y >= FFixedRows) {
            FMoveIndex = cell.Y;
            FMovePos = FMoveIndex;
            if (BeginRowDrag(FMoveIndex, FMovePos, QPoint(x, y))) {
                FGridState = gsRowMoving;
                DrawMove();
                moveDrawn = true;
                FTimer.start(60, this);
            }
        } else if ((FOptions & goColMoving) && cell.Y >= 0 && cell.Y < FFixedRows && cell.X >= FFixedCols) {
            FMoveIndex = cell.X;
            FMovePos = FMoveIndex;
            if (BeginColumnDrag(FMoveIndex, FMovePos, QPoint(x, y))) {
                FGridState = gsColMoving;
                DrawMove();
                moveDrawn = true;
                FTimer.start(60, this);
            }
        }
    }
    try {
        inherited();
    } catch (...) {
        if (moveDrawn)
            DrawMove();
        throw;
    }
}

void TCustomGrid::MouseMove(Qt::KeyboardModifiers shift, int x, int y)
{
    TGridDrawInfo info;
    CalcDrawInfo(info);
    switch (FGridState) {
    case gsSelecting:
    case gsColMoving:
    case gsRowMoving: {
        const TGridCoord cell = MouseCoord(x, y);
        if (cell.X >= FFixedCols && cell.Y >= FFixedRows && cell.X <= info.Horz.LastFullVisibleCell + 1 &&
            cell.Y <= info.Vert.LastFullVisibleCell + 1) {
            if (FGridState == gsSelecting) {
                if (cell != FAnchor)
                    MoveAnchor(cell);
            } else if (FGridState == gsColMoving) {
                MoveAndScroll(x, cell.X, info, true, QPoint(x, y));
            } else {
                MoveAndScroll(y, cell.Y, info, false, QPoint(x, y));
            }
        }
        break;
    }
    case gsRowSizing:
    case gsColSizing:
        DrawSizingLine(info);
        FSizingPos = (FGridState == gsRowSizing ? y : x) + FSizingOfs;
        DrawSizingLine(info);
        break;
    default:
        break;
    }
    if (OnMouseMove)
        OnMouseMove(shift, x, y);
}

void TCustomGrid::MouseUp(TMouseButton button, Qt::KeyboardModifiers shift, int x, int y)
{
    struct TBackToNormal {
        TGridState& State;
        ~TBackToNormal() { State = gsNormal; }
    } backToNormal{FGridState};
    TGridDrawInfo info;
    switch (FGridState) {
    case gsSelecting:
        MouseMove(shift, x, y);
        FTimer.stop();
        UpdateEdit();
        Click();
        break;
    case gsRowSizing:
    case gsColSizing: {
        CalcDrawInfo(info);
        DrawSizingLine(info);
        if (FGridState == gsColSizing && UseRightToLeftAlignment())
            FSizingPos = ClientWidth() - FSizingPos;
        const TGridAxisDrawInfo& axis = FGridState == gsColSizing ? info.Horz : info.Vert;
        qint64 start = axis.FixedBoundary;
        for (int i = axis.FirstGridCell; i < FSizingIndex; ++i)
            start += static_cast<qint64>(axis.GetExtent(i)) + axis.EffectiveLineWidth;
        const qint64 newSize = FSizingPos - start;
        if (newSize > 1 && newSize <= INT_MAX) {
            if (FGridState == gsColSizing && FSizingIndex < FColCount)
                SetColWidths(FSizingIndex, static_cast<int>(newSize));
            else if (FGridState == gsRowSizing && FSizingIndex < FRowCount)
                SetRowHeights(FSizingIndex, static_cast<int>(newSize));
        }
        break;
    }
    case gsColMoving:
        DrawMove();
        FTimer.stop();
        if (EndColumnDrag(FMoveIndex, FMovePos, QPoint(x, y)) && FMoveIndex != FMovePos)
            MoveColumn(FMoveIndex, FMovePos);
        UpdateEdit();
        break;
    case gsRowMoving:
        DrawMove();
        FTimer.stop();
        if (EndRowDrag(FMoveIndex, FMovePos, QPoint(x, y)) && FMoveIndex != FMovePos)
            MoveRow(FMoveIndex, FMovePos);
        UpdateEdit();
        break;
    default:
        UpdateEdit();
        break;
    }
    if (OnMouseUp)
        OnMouseUp(button, shift, x, y);
}

void TCustomGrid::MoveAndScroll(int mouse, int cellHit, TGridDrawInfo& info, bool horz, QPoint mousePt)
{
    auto axis = [&]() -> const TGridAxisDrawInfo& { return horz ? info.Horz : info.Vert; };
    if (UseRightToLeftAlignment() && horz)
        mouse = ClientWidth() - mouse;
    if (cellHit == FMovePos || (FMovePos == axis().FixedCellCount && mouse < axis().FixedBoundary) ||
        (FMovePos == axis().GridCellCount - 1 && mouse > axis().GridBoundary))
        return;
    DrawMove();
    const Qt::Orientation bar = horz ? Qt::Horizontal : Qt::Vertical;
    if (mouse < axis().FixedBoundary) {
        if (FMovePos > axis().FixedCellCount) {
            ModifyScrollBar(bar, 0 /* line up */, 0);
            CalcDrawInfo(info);
        }
        cellHit = axis().FirstGridCell;
    } else if (mouse >= axis().FullVisBoundary) {
        if (FMovePos == axis().LastFullVisibleCell && FMovePos < axis().GridCellCount - 1) {
            ModifyScrollBar(bar, 1 /* line down */, 0);
            CalcDrawInfo(info);
        }
        cellHit = axis().LastFullVisibleCell;
    } else if (cellHit < 0) {
        cellHit = FMovePos;
    }
    if ((FGridState == gsColMoving && CheckColumnDrag(FMoveIndex, cellHit, mousePt)) ||
        (FGridState == gsRowMoving && CheckRowDrag(FMoveIndex, cellHit, mousePt)))
        FMovePos = cellHit;
    DrawMove();
}

void TCustomGrid::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != FTimer.timerId()) {
        QAbstractScrollArea::timerEvent(event);
        return;
    }
    Guard([&] {
        if (FGridState != gsSelecting && FGridState != gsRowMoving && FGridState != gsColMoving)
            return;
        const QPoint point = FHitTest;
        TGridDrawInfo info;
        CalcDrawInfo(info);
        const TGridCoord cell = MouseCoord(point.x(), point.y());
        if (FGridState == gsColMoving) {
            MoveAndScroll(point.x(), cell.X, info, true, point);
        } else if (FGridState == gsRowMoving) {
            MoveAndScroll(point.y(), cell.Y, info, false, point);
        } else {
            unsigned directions = 0;
            if (!UseRightToLeftAlignment()) {
                if (point.x() < info.Horz.FixedBoundary)
                    directions |= sdLeft;
                else if (point.x() > info.Horz.FullVisBoundary)
                    directions |= sdRight;
            } else {
                const int leftSide = ClientWidth() - info.Horz.FullVisBoundary;
                const int rightSide = ClientWidth() - info.Horz.FixedBoundary;
                if (point.x() < leftSide)
                    directions |= sdRight;
                else if (point.x() > rightSide)
                    directions |= sdLeft;
            }
            if (point.y() < info.Vert.FixedBoundary)
                directions |= sdUp;
            else if (point.y() > info.Vert.FullVisBoundary)
                directions |= sdDown;
            if (directions)
                TimedScroll(directions);
        }
    });
}

void TCustomGrid::TimedScroll(unsigned directions)
{
    TGridCoord newAnchor = FAnchor;
    if ((directions & sdLeft) && FAnchor.X > FFixedCols)
        --newAnchor.X;
    if ((directions & sdRight) && FAnchor.X < FColCount - 1)
        ++newAnchor.X;
    if ((directions & sdUp) && FAnchor.Y > FFixedRows)
        --newAnchor.Y;
    if ((directions & sdDown) && FAnchor.Y < FRowCount - 1)
        ++newAnchor.Y;
    if (newAnchor != FAnchor)
        MoveAnchor(newAnchor);
}

void TCustomGrid::CancelMode()
{
    TGridDrawInfo info;
    CalcDrawInfo(info);
    switch (FGridState) {
    case gsSelecting:
        FTimer.stop();
        break;
    case gsRowSizing:
    case gsColSizing:
        DrawSizingLine(info);
        break;
    case gsRowMoving:
    case gsColMoving:
        DrawMove();
        FTimer.stop();
        break;
    default:
        break;
    }
    FGridState = gsNormal;
}

// ---------------------------------------------------------------------------
// Wheel
// ---------------------------------------------------------------------------

void TCustomGrid::wheelEvent(QWheelEvent* event)
{
    Guard([&] {
        FWheelAccumulator += event->angleDelta().y();
        const QPoint pos = event->position().toPoint();
        while (FWheelAccumulator <= -120) {
            FWheelAccumulator += 120;
            DoMouseWheelDown(event->modifiers(), pos);
        }
        while (FWheelAccumulator >= 120) {
            FWheelAccumulator -= 120;
            DoMouseWheelUp(event->modifiers(), pos);
        }
    });
    event->accept();
}

bool TCustomGrid::DoMouseWheelDown(Qt::KeyboardModifiers shift, QPoint pos)
{
    bool handled = false;
    if (OnMouseWheelDown)
        OnMouseWheelDown(shift, pos, handled);
    if (!handled) {
        if (FCurrent.Y < FRowCount - 1)
            SetRow(FCurrent.Y + 1);
        handled = true;
    }
    return handled;
}

bool TCustomGrid::DoMouseWheelUp(Qt::KeyboardModifiers shift, QPoint pos)
{
    bool handled = false;
    if (OnMouseWheelUp)
        OnMouseWheelUp(shift, pos, handled);
    if (!handled) {
        if (FCurrent.Y > FFixedRows)
            SetRow(FCurrent.Y - 1);
        handled = true;
    }
    return handled;
}
