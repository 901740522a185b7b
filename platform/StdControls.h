#pragma once

// The class library's standard controls that stored components name
// (TButton, TEdit, TPanel), standing in over Qt widgets: created by class
// name, written and read in the component encoding with one property table
// per class, and the control state every widget has in the class library
// (Visible, Enabled, TabStop, Tag).

#include <QtWidgets/QFrame>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>

#include "ComponentStream.h"
#include "Graphics.h"

// What a stand-in keeps beyond the widget's own state: the colour and the
// font as the stored form holds them.
class TStdControl {
public:
    virtual ~TStdControl() = default;

    virtual QString ClassName() const = 0;
    virtual QWidget* Widget() = 0;
    const QWidget* Widget() const { return const_cast<TStdControl*>(this)->Widget(); }

    TColor Color() const { return FColor; }
    void SetColor(TColor color);
    // The control's own font; with ParentFont the widget shows its parent's.
    const TFont& Font() const { return FFont; }
    void SetFont(const TFont& font);
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool value);

    // Reading changes the fields below directly; Loaded shows them.
    TFont& FontForReading()
    {
        FParentFont = false;
        return FFont;
    }
    TColor& ColorForReading() { return FColor; }
    void Loaded() { Apply(); }

protected:
    explicit TStdControl(TColor color);
    void Apply();
    // The palette roles of the background and of the text.
    virtual QPalette::ColorRole BackRole() const = 0;
    virtual QPalette::ColorRole TextRole() const = 0;

private:
    TColor FColor;
    TFont FFont;
    bool FParentFont = true;
};

class TButton : public QPushButton, public TStdControl {
public:
    explicit TButton(QWidget* parent = nullptr);
    QString ClassName() const override { return QStringLiteral("TButton"); }
    QWidget* Widget() override { return this; }
    QString Caption() const { return text(); }
    void SetCaption(const QString& caption) { setText(caption); }

protected:
    QPalette::ColorRole BackRole() const override { return QPalette::Button; }
    QPalette::ColorRole TextRole() const override { return QPalette::ButtonText; }
};

class TEdit : public QLineEdit, public TStdControl {
public:
    explicit TEdit(QWidget* parent = nullptr);
    QString ClassName() const override { return QStringLiteral("TEdit"); }
    QWidget* Widget() override { return this; }
    QString Text() const { return text(); }
    void SetText(const QString& value) { setText(value); }

protected:
    QPalette::ColorRole BackRole() const override { return QPalette::Base; }
    QPalette::ColorRole TextRole() const override { return QPalette::Text; }
};

// A raised panel with its caption centred; other controls may sit on it.
class TPanel : public QFrame, public TStdControl {
public:
    explicit TPanel(QWidget* parent = nullptr);
    QString ClassName() const override { return QStringLiteral("TPanel"); }
    QWidget* Widget() override { return this; }
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& caption);

protected:
    QPalette::ColorRole BackRole() const override { return QPalette::Window; }
    QPalette::ColorRole TextRole() const override { return QPalette::WindowText; }
    void paintEvent(QPaintEvent* event) override;

private:
    QString FCaption;
};

// The class library's control state of any widget. Visible is the control's
// own flag: a widget not explicitly hidden is visible, also before a window
// shows it. A widget without a parent is never shown as a window of its own:
// making it visible leaves it as it is.
bool ControlVisible(const QWidget& control);
void SetControlVisible(QWidget& control, bool value);
bool ControlEnabled(const QWidget& control);
bool ControlTabStop(const QWidget& control);
void SetControlTabStop(QWidget& control, bool value);
// The control and every parent up to its window are visible and enabled,
// and it has a parent.
bool ControlCanFocus(const QWidget& control);
// A number the owner keeps with the control (0 until set).
int ControlTag(const QWidget& control);
void SetControlTag(QWidget& control, int tag);
inline int ControlTag(const QWidget* control) { return ControlTag(*control); }
inline void SetControlTag(QWidget* control, int tag) { SetControlTag(*control, tag); }
// A control embedded in a scrolled document keeps its true top (in the
// client's coordinates) in its Tag; the widget itself stays within
// -10000..10000, a range every window system can place it in.
int ControlTopFromTag(const QWidget& control);
// Moves the control to ControlTopFromTag.
void SetControlTopFromTag(QWidget& control);
inline int ControlTopFromTag(const QWidget* control) { return ControlTopFromTag(*control); }
inline void SetControlTopFromTag(QWidget* control) { SetControlTopFromTag(*control); }

// The class name the stored form gives a control: the stand-in's own, or the
// widget's class for other widgets.
QString ControlClassName(const QWidget& control);
// Whether stored components of the class can be read (the class is known).
bool ControlClassRegistered(const QString& className);
// A new control of a registered class, nullptr for another name.
QWidget* CreateControlByClassName(const QString& className);

// A control as a stored component: the signature, class name and name, the
// properties of its class's table (widgets of other classes: the bounds,
// Enabled, TabStop and Visible), its child controls as owned components, and
// the end.
void WriteControl(TComponentWriter& writer, const QWidget& control);
// Reads a stored component into control, or into a new control of the
// stored class when control is nil (an unregistered class fails). Properties
// the class does not know are skipped; child controls of registered classes
// are made, others skipped. Raises EComponentStreamError for damaged data;
// a control made here is freed then.
QWidget* ReadControl(TComponentReader& reader, QWidget* control);
