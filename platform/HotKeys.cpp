#include "HotKeys.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QWidget>

namespace {

constexpr qint32 FirstAtom = 0xC000;
constexpr qint32 LastAtom = 0xFFFF;

struct TAtomTable {
    QHash<QString, qint32> Atoms;  // by case-folded name
    qint32 Next = FirstAtom;
};

TAtomTable& Atoms()
{
    static TAtomTable table;
    return table;
}

constexpr Qt::KeyboardModifiers ModifierMask =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

struct THotKey {
    QPointer<QWidget> Window;
    qint32 Id = 0;
    Qt::KeyboardModifiers Modifiers;
    int Key = 0;
};

// Watches every key event of the application while at least one hot key is
// registered. A hot key asks to be delivered as a key press (so that no
// shortcut of a widget takes it first), then its press is swallowed and the
// hot-key event posted.
class THotKeyFilter : public QObject {
public:
    QList<THotKey> HotKeys;

    void Prune()
    {
        HotKeys.removeIf([](const THotKey& h) { return h.Window.isNull(); });
    }

    const THotKey* Find(Qt::KeyboardModifiers modifiers, int key) const
    {
        for (const THotKey& h : HotKeys)
            if (!h.Window.isNull() && h.Key == key && h.Modifiers == (modifiers & ModifierMask))
                return &h;
        return nullptr;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride)
            return QObject::eventFilter(watched, event);
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        const THotKey* hotKey = Find(keyEvent->modifiers(), keyEvent->key());
        if (!hotKey)
            return QObject::eventFilter(watched, event);
        keyEvent->accept();
        if (type == QEvent::KeyPress)
            QCoreApplication::postEvent(hotKey->Window.data(), new THotKeyEvent(hotKey->Id));
        return true;
    }
};

THotKeyFilter* Filter(bool create)
{
    static QPointer<THotKeyFilter> filter;
    if (!filter && create && QCoreApplication::instance()) {
        filter = new THotKeyFilter;
        filter->setParent(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(filter);
    }
    return filter.data();
}

}  // namespace

qint32 GlobalAddAtom(const QString& name)
{
    if (name.isEmpty())
        return 0;
    TAtomTable& table = Atoms();
    const QString key = name.toCaseFolded();
    const auto found = table.Atoms.constFind(key);
    if (found != table.Atoms.cend())
        return found.value();
    if (table.Next > LastAtom)
        return 0;
    const qint32 atom = table.Next++;
    table.Atoms.insert(key, atom);
    return atom;
}

qint32 GlobalFindAtom(const QString& name)
{
    return Atoms().Atoms.value(name.toCaseFolded(), 0);
}

THotKeyEvent::THotKeyEvent(qint32 id) : QEvent(EventType()), FId(id) {}

QEvent::Type THotKeyEvent::EventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

bool RegisterHotKey(QWidget* window, qint32 id, Qt::KeyboardModifiers modifiers, int key)
{
    if (!window || key == 0)
        return false;
    THotKeyFilter* filter = Filter(true);
    if (!filter)
        return false;
    filter->Prune();
    modifiers &= ModifierMask;
    if (filter->Find(modifiers, key))
        return false;
    filter->HotKeys.append(THotKey{window, id, modifiers, key});
    return true;
}

bool UnregisterHotKey(QWidget* window, qint32 id)
{
    THotKeyFilter* filter = Filter(false);
    if (!filter || !window)
        return false;
    filter->Prune();
    const auto removed =
        filter->HotKeys.removeIf([window, id](const THotKey& h) { return h.Window.data() == window && h.Id == id; });
    return removed > 0;
}
