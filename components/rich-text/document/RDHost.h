#pragma once

// What a document asks of the control that shows it: painting, the controls
// of control items, points on the screen, the mouse cursor and the focus.
// The viewer answers for its documents (TRDWidgetHost in viewer/RDScroll.h);
// a document that no control shows (a printable document, one made in
// memory) has no host and asks nothing.

#include <QtCore/QPoint>
#include <QtCore/QRect>

class QCursor;
class QWidget;

class TRDHost {
public:
    virtual ~TRDHost() = default;

    // ---- painting ----
    // The rectangle (client coordinates) is repainted later.
    virtual void InvalidateRect(const QRect& rect) = 0;
    // The whole control is repainted later.
    virtual void Invalidate() = 0;
    // The whole control is repainted now.
    virtual void Repaint() = 0;
    // The repaints pending for the control's window are done now.
    virtual void Update() = 0;
    virtual bool UpdatesEnabled() const = 0;
    virtual void SetUpdatesEnabled(bool value) = 0;

    // ---- child controls ----
    // Whether the control has child controls (the controls of control items).
    virtual bool HasChildControls() const = 0;
    // The control of a control item becomes a child of the host's control.
    virtual void InsertControl(QWidget& control) = 0;
    // Where the control of another host (an in-place editor's) stands in
    // this one's, when it is a child of it.
    virtual bool ChildHostOrigin(const TRDHost& child, QPoint& origin) const = 0;

    // ---- points, cursor, focus ----
    virtual QPoint ClientToScreen(const QPoint& point) const = 0;
    virtual QPoint ScreenToClient(const QPoint& screen) const = 0;
    // The mouse cursor over the control.
    virtual void SetCursor(const QCursor& cursor) = 0;
    // Whether the keyboard focus is in the control or in one of its children.
    virtual bool Focused() const = 0;
    // The control, only to be handed on where the application receives it:
    // the style sheet's drawing events and the drag loop (as the drag's source).
    virtual QWidget* EventControl() const = 0;
};
