// The viewer's keyboard, focus, context menu and posted records.

#include "viewer/RDRichDoc.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QPointer>
#include <QtGui/QContextMenuEvent>
#include <QtGui/QFocusEvent>
#include <QtGui/QGuiApplication>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>

#include "viewer/RDViewerGuard.h"
#include "viewer/RDMessageData.h"
#include "styles/RDStyle.h"

QEvent::Type TRDMessageEvent::Type()
{
    static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
    return type;
}

namespace {


bool CtrlWithoutAlt(TShiftState shift) { return (shift & ssCtrl) && !(shift & ssAlt); }

} // namespace

// ---- shortcuts ----

bool TCustomRichDoc::IsCopyShortcut(TShiftState shift, uint16_t key)
{
    return CtrlWithoutAlt(shift) && (key == 'C' || key == VK_INSERT);
}

bool TCustomRichDoc::IsCutShortcut(TShiftState shift, uint16_t key)
{
    return (CtrlWithoutAlt(shift) && key == 'X') || ((shift & ssShift) && key == VK_DELETE);
}

bool TCustomRichDoc::IsPasteShortcut(TShiftState shift, uint16_t key)
{
    return (CtrlWithoutAlt(shift) && key == 'V') || ((shift & ssShift) && key == VK_INSERT);
}

void TCustomRichDoc::CopyRequested()
{
    if (TRDScroller* editor = GetInplaceEditor()) {
        QPointer<TRDScroller> target(editor);
        QMetaObject::invokeMethod(
            editor,
            [target] {
                if (auto* doc = dynamic_cast<TCustomRichDoc*>(target.data()))
                    ViewerGuarded("copy", [doc] { doc->CopyRequested(); });
            },
            Qt::QueuedConnection);
        return;
    }
    CopySelectionDefault();
}

void TCustomRichDoc::CopySelection()
{
    DocumentData()->Copy(GetEffectiveColor(), Background());
}

bool TCustomRichDoc::CopySelectionDefault()
{
    return DocumentData()->CopyDef(GetEffectiveColor(), Background());
}

// ---- keys ----

bool TCustomRichDoc::event(QEvent* e)
{
    if (e->type() == TRDMessageEvent::Type()) {
        // The record goes with the event, whatever happens here.
        auto* message = static_cast<TRDMessageEvent*>(e);
        if (message->Data)
            ViewerGuarded("posted record", [this, message] { DispatchMessageData(*message->Data); });
        return true;
    }
    if (e->type() == QEvent::ShortcutOverride) {
        // Keys the viewer answers itself are not taken by the window's shortcuts.
        auto* key = static_cast<QKeyEvent*>(e);
        const uint16_t vk = VirtualKeyFromQt(key->key(), key->modifiers());
        const TShiftState shift = ShiftStateFromQt(key->modifiers());
        if (IsCopyShortcut(shift, vk)
            || (vk == VK_TAB && (shift & ssCtrl) && !(shift & ssAlt)
                && TabNavigation() == TRDTabNavigationType::rdtnCtrlTab)) {
            e->accept();
            return true;
        }
    }
    return TRDScroller::event(e);
}

void TCustomRichDoc::keyPressEvent(QKeyEvent* e)
{
    ViewerGuarded("key", [this, e] {
        switch (e->key()) {
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
            TRDScroller::keyPressEvent(e);
            if (e->isAccepted())
                return;
            break;
        default: break;
        }
        const uint16_t key = VirtualKeyFromQt(e->key(), e->modifiers());
        const TShiftState shift = ShiftStateFromQt(e->modifiers());
        TRichDocRDData& data = *DocumentData();
        if (IsCopyShortcut(shift, key)) {
            CopyRequested();
            e->accept();
            return;
        }
        const TRDTabNavigationType navigation = TabNavigation();
        if (key == VK_TAB && navigation != TRDTabNavigationType::rdtnNone && !(shift & ssAlt)
            && (((shift & ssCtrl) && navigation == TRDTabNavigationType::rdtnCtrlTab)
                || (!(shift & ssCtrl) && navigation == TRDTabNavigationType::rdtnTab))) {
            data.State &= ~dsSkipFocusMove;
            data.MoveFocus(shift & ssShift, this);
            e->accept();
            return;
        }
        if (key == VK_RETURN && data.FocusedItemData != nullptr && data.FocusedItemNo >= 0) {
            data.ActivateFocusedItem();
            e->accept();
            return;
        }
        e->ignore();
    });
}

// ---- focus ----

bool TCustomRichDoc::focusNextPrevChild(bool next)
{
    if (TabNavigation() == TRDTabNavigationType::rdtnNone || Destroying())
        return TRDScroller::focusNextPrevChild(next);
    QWidget* from = QApplication::focusWidget();
    if (from != nullptr && from != this && isAncestorOf(from) && from != viewport()) {
        // Tab returns into the viewer between its embedded controls: the
        // focus comes back here and moves on from the control it left.
        setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        if (hasFocus() && FPendingFocusReason >= 0)
            FocusArrived(from, Qt::FocusReason(FPendingFocusReason));
        return true;
    }
    if ((from == this || from == viewport()) && TabNavigation() == TRDTabNavigationType::rdtnTab) {
        bool handled = false;
        ViewerGuarded("tab", [this, next, &handled] {
            TRichDocRDData& data = *DocumentData();
            data.State &= ~dsSkipFocusMove;
            data.MoveFocus(!next, this);
            handled = true;
        });
        return handled;
    }
    return TRDScroller::focusNextPrevChild(next);
}

void TCustomRichDoc::focusInEvent(QFocusEvent* e)
{
    TRDScroller::focusInEvent(e);
    if (Destroying())
        return;
    FPendingFocusReason = -1;
    const Qt::FocusReason reason = e->reason();
    if (TabNavigation() != TRDTabNavigationType::rdtnNone && reason != Qt::ActiveWindowFocusReason
        && reason != Qt::PopupFocusReason) {
        // The widget the focus came from is known once the application
        // announces the change, right after this event.
        FPendingFocusReason = int(reason);
        if (!FFocusHooked) {
            FFocusHooked = true;
            connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
                if (FPendingFocusReason < 0)
                    return;
                if (now == this || now == viewport())
                    FocusArrived(old, Qt::FocusReason(FPendingFocusReason));
                else
                    FPendingFocusReason = -1;
            });
        }
    }
    InvalidateForFocusColors();
}

void TCustomRichDoc::focusOutEvent(QFocusEvent* e)
{
    TRDScroller::focusOutEvent(e);
    FPendingFocusReason = -1;
    if (!Destroying())
        InvalidateForFocusColors();
}

void TCustomRichDoc::FocusArrived(QWidget* from, Qt::FocusReason reason)
{
    FPendingFocusReason = -1;
    if (Destroying() || TabNavigation() == TRDTabNavigationType::rdtnNone)
        return;
    ViewerGuarded("focus", [this, from, reason] {
        TRichDocRDData& data = *DocumentData();
        // A click places the focus itself; a focus from nowhere moves nothing.
        if (from == nullptr || reason == Qt::MouseFocusReason)
            data.State |= dsSkipFocusMove;
        const bool backward = reason == Qt::BacktabFocusReason
                              || (reason != Qt::TabFocusReason
                                  && (QGuiApplication::keyboardModifiers() & Qt::ShiftModifier));
        data.MoveFocus(backward, from);
    });
}

void TCustomRichDoc::InvalidateForFocusColors()
{
    const TRDStyle* sheet = Style();
    if (sheet != nullptr
        && (sheet->SelColor != sheet->InactiveSelColor || sheet->SelTextColor != sheet->InactiveSelTextColor))
        viewport()->update();
}

// ---- the context menu ----

void TCustomRichDoc::contextMenuEvent(QContextMenuEvent* e)
{
    ViewerGuarded("context menu", [this, e] {
        if (e->reason() == QContextMenuEvent::Keyboard) {
            if (PopupMenu) {
                PopupMenu->popup(e->globalPos());
                e->accept();
            } else {
                e->ignore();
            }
            return;
        }
        // The text's menu comes with the release of the right button; here
        // only for an embedded control that shows none of its own. The
        // position is the viewport's, where the embedded controls live.
        QWidget* child = viewport()->childAt(e->pos());
        if (child == nullptr || !PopupMenu) {
            e->accept();
            return;
        }
        PopupMenu->popup(e->globalPos());
        e->accept();
    });
}

// ---- posted records ----

void TCustomRichDoc::PostMessageData(std::unique_ptr<TRDMessageData> data)
{
    if (data)
        QCoreApplication::postEvent(this, new TRDMessageEvent(std::move(data)));
}

void TCustomRichDoc::PostDragStart()
{
    QPointer<TCustomRichDoc> self(this);
    QMetaObject::invokeMethod(
        this,
        [self] {
            if (self && !self->Destroying())
                self->StartDragOfSelection();
        },
        Qt::QueuedConnection);
}

void TCustomRichDoc::Click()
{
    if (OnClick)
        OnClick(this);
}

void TCustomRichDoc::DblClick()
{
    if (OnDblClick)
        OnDblClick(this);
}

void TCustomRichDoc::DispatchMessageData(const TRDMessageData& message)
{
    TRichDocRDData& data = *DocumentData();
    switch (message.Event) {
    case 0: {
        const auto& m = static_cast<const TRDDblClickMessageData&>(message);
        data.DoRDDblClick(m.ClickedWord, m.StyleNo);
        break;
    }
    case 1: data.DoJump(static_cast<const TRDJumpMessageData&>(message).JumpId); break;
    case 2:
    case 3: {
        const auto& m = static_cast<const TRDMouseUpDownMessageData&>(message);
        if (message.Event == 2) {
            if (data.HasRDMouseUpHandler())
                data.DoRDMouseUp(m.Button, m.Shift, m.ItemNo, m.X, m.Y);
        } else if (data.HasRDMouseDownHandler()) {
            data.DoRDMouseDown(m.Button, m.Shift, m.ItemNo, m.X, m.Y);
        }
        break;
    }
    case 4: Click(); break;
    case 5: DblClick(); break;
    case 6: {
        // The control's own mouse handling, as for a move of the mouse.
        const auto& m = static_cast<const TRDMouseMoveMessageData&>(message);
        const QPointF local(m.X, m.Y);
        QMouseEvent move(QEvent::MouseMove, local, viewport()->mapToGlobal(local), Qt::NoButton, Qt::NoButton,
                         m.Shift);
        QCoreApplication::sendEvent(viewport(), &move);
        break;
    }
    case 7:
    case 8: {
        const auto& m = static_cast<const TRDDNDMessageData&>(message);
        if (message.Event == 7) {
            if (OnDragDrop)
                OnDragDrop(this, m.Source.data(), m.X, m.Y);
        } else if (OnEndDrag) {
            OnEndDrag(this, m.Source.data(), m.X, m.Y);
        }
        break;
    }
    default: break;  // unknown records are only freed
    }
}
