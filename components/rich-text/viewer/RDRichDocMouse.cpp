// The viewer and the mouse: presses, moves, releases and double clicks go to
// the document (selection, hypertext, items), the auto-scroll timer follows
// a selection dragged outside the window, leaving the window ends the
// hypertext hover, checkpoints are reported as they scroll into view, and a
// press on the selection starts a drag of it.

#include "viewer/RDRichDoc.h"

#include <QtCore/QMetaObject>
#include <QtCore/QMimeData>
#include <QtGui/QCursor>
#include <QtGui/QGuiApplication>
#include <QtGui/QMouseEvent>

#include "viewer/RDViewerGuard.h"
#include "core/RDLists.h"

namespace {


constexpr int AutoScrollInterval = 100;
constexpr int SlowAutoScrollInterval = 300;

// The direction of an auto-scroll step for a mouse coordinate and the client extent.
int AutoScrollDelta(int v, int extent)
{
    if (v < -20)
        return -10;
    if (v < 0)
        return -1;
    if (v > extent + 20)
        return 10;
    if (v > extent)
        return 1;
    return 0;
}

} // namespace

// ---- the document's answers ----

bool TRichDocRDData::CanStartDrag()
{
    if (!OwnOptions())
        return TRDControlData::CanStartDrag();
    return !(GetOptions() & rdoDisallowDrag) && DropSource == nullptr;
}

bool TRichDocRDData::GetDragSource(QMimeData*& data, Qt::DropActions& allowed)
{
    if (!OwnOptions())
        return TRDControlData::GetDragSource(data, allowed);
    data = nullptr;
    allowed = Qt::IgnoreAction;
    if ((GetOptions() & rdoDisallowDrag) || DropSource != nullptr)
        return false;
    data = Owner->CreateDragData();
    if (!data)
        return false;
    DropSource = data;
    allowed = Qt::CopyAction | Qt::LinkAction;
    return true;
}

void TRichDocRDData::DragFinished(bool moved)
{
    if (!OwnOptions()) {
        TRDControlData::DragFinished(moved);
        return;
    }
    DropSource = nullptr;
}

bool TRichDocRDData::IsDragging()
{
    return OwnOptions() ? DropSource != nullptr : TRDControlData::IsDragging();
}

TRDDragDropCaretInfo* TRichDocRDData::GetDragDropCaret()
{
    // A viewer shows no drop caret.
    return nullptr;
}

void TRichDocRDData::PostDragStart()
{
    if (OwnOptions())
        Owner->PostDragStart();
    else
        TRDControlData::PostDragStart();
}

QWidget* TRichDocRDData::DragSourceControl()
{
    return OwnOptions() ? Owner : TRDControlData::DragSourceControl();
}

bool TRichDocRDData::HasCheckpointVisibleHandler() { return bool(Owner->OnCheckpointVisible); }

void TRichDocRDData::DoCheckpointVisible(TRDCPInfo* checkpoint)
{
    if (Owner->OnCheckpointVisible && !Owner->Destroying())
        Owner->OnCheckpointVisible(Owner, checkpoint);
}

TCPEventKind TRichDocRDData::GetCPEventKind()
{
    return OwnOptions() ? Owner->CPEventKind : TRDControlData::GetCPEventKind();
}

void TRichDocRDData::FocusOwner()
{
    if ((Owner->focusPolicy() & Qt::ClickFocus) && !Owner->hasFocus())
        Owner->setFocus(Qt::MouseFocusReason);
}

// ---- the control ----

void TCustomRichDoc::PressAt(QMouseEvent* e, bool secondOfDouble)
{
    const QPoint p = e->position().toPoint();
    FLastMousePos = p;
    FLastShift = TRDShiftState{e->modifiers(), e->buttons(), secondOfDouble};
    if (!GetInplaceEditor())
        FDocumentData->State |= dsSkipFocusMove;
    if (FStyle != nullptr)
        FDocumentData->MouseDown(e->button(), FLastShift, p.x(), p.y());
    if (e->button() == Qt::LeftButton)
        StartAutoScrollTimer(false);
}

void TCustomRichDoc::mousePressEvent(QMouseEvent* e)
{
    ViewerGuarded("mouse press", [this, e] { PressAt(e, false); });
}

void TCustomRichDoc::mouseDoubleClickEvent(QMouseEvent* e)
{
    ViewerGuarded("double click", [this, e] {
        // The document selects the word first, so that the second press
        // does not start a new selection.
        if (FStyle != nullptr && e->button() == Qt::LeftButton) {
            const QPoint p = e->position().toPoint();
            FDocumentData->DblClick(p.x(), p.y());
        }
        PressAt(e, true);
    });
}

void TCustomRichDoc::mouseMoveEvent(QMouseEvent* e)
{
    ViewerGuarded("mouse move", [this, e] {
        const QPoint p = e->position().toPoint();
        AutoScrollDY = AutoScrollDelta(p.y(), ClientHeight());
        AutoScrollDX = AutoScrollDelta(p.x(), ClientWidth());
        FLastMousePos = p;
        FLastShift = TRDShiftState{e->modifiers(), e->buttons(), false};
        if (FStyle != nullptr)
            FDocumentData->MouseMove(FLastShift, p.x(), p.y());
    });
}

void TCustomRichDoc::mouseReleaseEvent(QMouseEvent* e)
{
    ViewerGuarded("mouse release", [this, e] {
        const QPoint p = e->position().toPoint();
        FLastMousePos = p;
        FLastShift = TRDShiftState{e->modifiers(), e->buttons(), false};
        if (e->button() == Qt::LeftButton)
            StopAutoScrollTimer();
        if (FStyle != nullptr)
            FDocumentData->MouseUp(e->button(), FLastShift, p.x(), p.y());
    });
}

void TCustomRichDoc::leaveEvent(QEvent* e)
{
    TRDScroller::leaveEvent(e);
    ViewerGuarded("mouse leave", [this] {
        if (FStyle != nullptr)
            FDocumentData->MouseLeave();
    });
}

void TCustomRichDoc::timerEvent(QTimerEvent* e)
{
    if (e->timerId() == FAutoScrollTimer.timerId()) {
        ViewerGuarded("auto-scroll", [this] { AutoScrollStep(); });
        return;
    }
    TRDScroller::timerEvent(e);
}

void TCustomRichDoc::StartAutoScrollTimer(bool slow)
{
    if (!FAutoScrollTimer.isActive())
        FAutoScrollTimer.start(slow ? SlowAutoScrollInterval : AutoScrollInterval, this);
}

void TCustomRichDoc::StopAutoScrollTimer()
{
    FAutoScrollTimer.stop();
}

void TCustomRichDoc::AutoScrollStep()
{
    if (AutoScrollDY == 0 && AutoScrollDX == 0)
        return;
    if (AutoScrollDY != 0)
        SetVPos(VPos + AutoScrollDY, true);
    if (AutoScrollDX != 0)
        SetHPos(HPos + AutoScrollDX);
    FDocumentData->AfterAutoScroll();
    // A selection being dragged follows the scroll even while the mouse
    // stays outside the window and sends no moves of its own.
    if (FStyle != nullptr && (FDocumentData->State & dsMouseSelecting))
        FDocumentData->MouseMove(FLastShift, FLastMousePos.x(), FLastMousePos.y());
    else
        RefreshMouse();
}

void TCustomRichDoc::RefreshMouse()
{
    if (FStyle == nullptr)
        return;
    const QPoint p = viewport()->mapFromGlobal(QCursor::pos());
    if (p.x() < 0 || p.x() >= ClientWidth() || p.y() < 0 || p.y() >= ClientHeight())
        return;
    const TRDShiftState shift{QGuiApplication::queryKeyboardModifiers(), QGuiApplication::mouseButtons(), false};
    FDocumentData->MouseMove(shift, p.x(), p.y());
}

void TCustomRichDoc::StartDragOfSelection()
{
    ViewerGuarded("drag start", [this] {
        if (FDocumentData->State & dsDragStartPending)
            FDocumentData->StartOleDrag();
    });
}

QMimeData* TCustomRichDoc::CreateDragData()
{
    auto data = std::make_unique<QMimeData>();
    TRichDocRDData* document = DocumentData();
    document->CopyRDF(*data, GetEffectiveColor(), Background());
    document->CopyText(*data);
    document->CopyImage(*data);
    document->CopyRTF(*data, GetEffectiveColor(), Background());
    if (data->formats().isEmpty())
        return nullptr;
    return data.release();
}
