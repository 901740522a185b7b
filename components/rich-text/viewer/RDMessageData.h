#pragma once

// Records of events that a document inside an item (a table cell) cannot
// fire at the moment it notices them: it posts one to the control that shows
// it, and the control fires the event on a later turn of its event loop. The
// control owns a record from the moment it is posted and frees it after the
// dispatch, whatever its Event says (and also when it goes before that).

#include <cstdint>
#include <memory>

#include <QtCore/QByteArray>
#include <QtCore/QEvent>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/Qt>

// Event selects the action: 0 double click on a word, 1 jump, 2 mouse
// release, 3 mouse press, 4 click, 5 double click, 6 mouse move, 7 drop,
// 8 end of a drag; any other value is ignored.
class TRDMessageData {
public:
    explicit TRDMessageData(uint8_t event) : Event(event) {}
    virtual ~TRDMessageData() = default;
    uint8_t Event;
};

class TRDDblClickMessageData : public TRDMessageData {
public:
    TRDDblClickMessageData(const QByteArray& clickedWord, int styleNo)
        : TRDMessageData(0), ClickedWord(clickedWord), StyleNo(styleNo)
    {
    }
    QByteArray ClickedWord;
    int StyleNo;
};

class TRDJumpMessageData : public TRDMessageData {
public:
    explicit TRDJumpMessageData(int jumpId) : TRDMessageData(1), JumpId(jumpId) {}
    int JumpId;
};

class TRDMouseMoveMessageData : public TRDMessageData {
public:
    TRDMouseMoveMessageData(uint8_t event, int x, int y, int itemNo, Qt::KeyboardModifiers shift)
        : TRDMessageData(event), X(x), Y(y), ItemNo(itemNo), Shift(shift)
    {
    }
    int X, Y, ItemNo;
    Qt::KeyboardModifiers Shift;
};

// Event 2 (release) or 3 (press).
class TRDMouseUpDownMessageData : public TRDMouseMoveMessageData {
public:
    TRDMouseUpDownMessageData(uint8_t event, int x, int y, int itemNo, Qt::KeyboardModifiers shift,
                              Qt::MouseButton button)
        : TRDMouseMoveMessageData(event, x, y, itemNo, shift), Button(button)
    {
    }
    Qt::MouseButton Button;
};

// Event 4 (click) or 5 (double click).
class TRDClickMessageData : public TRDMessageData {
public:
    using TRDMessageData::TRDMessageData;
};

// Event 7 (drop) or 8 (end of a drag).
class TRDDNDMessageData : public TRDMessageData {
public:
    TRDDNDMessageData(uint8_t event, int x, int y, QObject* source)
        : TRDMessageData(event), X(x), Y(y), Source(source)
    {
    }
    int X, Y;
    QPointer<QObject> Source;
};

// The posted form of a record: the event owns it.
class TRDMessageEvent : public QEvent {
public:
    explicit TRDMessageEvent(std::unique_ptr<TRDMessageData> data) : QEvent(Type()), Data(std::move(data)) {}
    static QEvent::Type Type();
    std::unique_ptr<TRDMessageData> Data;
};
