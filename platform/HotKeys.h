#pragma once

// Hot keys and the atom table their identifiers come from.
//
// A hot key is a key combination registered on a window under an identifier.
// While any window of the program is active, pressing it posts a THotKeyEvent
// carrying that identifier to the window it is registered on; the key press
// itself goes to no widget. Keys are taken from the program's own windows
// only, never from the rest of the desktop. One combination can be held by one
// registration at a time.

#include <QtCore/QEvent>
#include <QtCore/QString>

class QWidget;

// The process's atom table: an atom is a unique number for a name. The same
// name (without regard to case) always gives the same atom; atoms count up from
// 0xC000 and are never removed. 0 for an empty name or when the table is full.
qint32 GlobalAddAtom(const QString& name);
// The atom of a name added before, or 0.
qint32 GlobalFindAtom(const QString& name);

// Posted to a window when one of its hot keys is pressed.
class THotKeyEvent : public QEvent {
public:
    explicit THotKeyEvent(qint32 id);
    static QEvent::Type EventType();
    qint32 Id() const { return FId; }

private:
    qint32 FId;
};

// Registers key with exactly the given modifiers (Shift, Control, Alt, Meta)
// as hot key id of window. False, and nothing registered, when window is null,
// key is 0 or another registration holds the combination.
bool RegisterHotKey(QWidget* window, qint32 id, Qt::KeyboardModifiers modifiers, int key);
// Drops the registrations of id on window; false when there was none. A
// window's registrations also end when the window is destroyed.
bool UnregisterHotKey(QWidget* window, qint32 id);
