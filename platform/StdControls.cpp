#include "StdControls.h"

#include <algorithm>

#include <QtCore/QVariant>
#include <QtGui/QPainter>

#include "AnsiText.h"

namespace {

TFont DefaultControlFont()
{
    TFont font;
    font.Color = clWindowText;
    return font;
}

const char* const TagProperty = "Tag";

}  // namespace

// Stand-ins.

TStdControl::TStdControl(TColor color) : FColor(color), FFont(DefaultControlFont()) {}

void TStdControl::SetColor(TColor color)
{
    FColor = color;
    Apply();
}

void TStdControl::SetFont(const TFont& font)
{
    FFont = font;
    FParentFont = false;
    Apply();
}

void TStdControl::SetParentFont(bool value)
{
    FParentFont = value;
    Apply();
}

void TStdControl::Apply()
{
    QWidget* widget = Widget();
    QPalette palette = widget->palette();
    palette.setColor(BackRole(), ToQColor(FColor));
    if (!FParentFont)
        palette.setColor(TextRole(), ToQColor(FFont.Color));
    widget->setPalette(palette);
    widget->setFont(FParentFont ? QFont() : FFont.ToQFont());
}

TButton::TButton(QWidget* parent) : QPushButton(parent), TStdControl(clBtnFace)
{
    resize(75, 25);
    Apply();
}

TEdit::TEdit(QWidget* parent) : QLineEdit(parent), TStdControl(clWindow)
{
    resize(121, 21);
    Apply();
}

TPanel::TPanel(QWidget* parent) : QFrame(parent), TStdControl(clBtnFace)
{
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(1);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::NoFocus);
    resize(185, 41);
    Apply();
}

void TPanel::SetCaption(const QString& caption)
{
    FCaption = caption;
    update();
}

void TPanel::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    if (FCaption.isEmpty())
        return;
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(contentsRect(), Qt::AlignCenter | Qt::TextSingleLine, FCaption);
}

// The control state of any widget.

bool ControlVisible(const QWidget& control)
{
    return !(control.isHidden() && control.testAttribute(Qt::WA_WState_ExplicitShowHide));
}

void SetControlVisible(QWidget& control, bool value)
{
    if (value && !control.parentWidget())
        return;
    control.setVisible(value);
}

bool ControlEnabled(const QWidget& control)
{
    return !control.testAttribute(Qt::WA_ForceDisabled);
}

bool ControlTabStop(const QWidget& control)
{
    return control.focusPolicy() & Qt::TabFocus;
}

void SetControlTabStop(QWidget& control, bool value)
{
    const bool click = control.focusPolicy() & Qt::ClickFocus;
    if (value)
        control.setFocusPolicy(click ? Qt::StrongFocus : Qt::TabFocus);
    else
        control.setFocusPolicy(click ? Qt::ClickFocus : Qt::NoFocus);
}

bool ControlCanFocus(const QWidget& control)
{
    if (!control.parentWidget())
        return false;
    for (const QWidget* w = &control; w; w = w->parentWidget())
        if (!ControlVisible(*w) || !ControlEnabled(*w))
            return false;
    return true;
}

int ControlTag(const QWidget& control)
{
    return control.property(TagProperty).toInt();
}

void SetControlTag(QWidget& control, int tag)
{
    control.setProperty(TagProperty, tag);
}

int ControlTopFromTag(const QWidget& control)
{
    constexpr int MaxControlTop = 10000;
    return std::clamp(ControlTag(control), -MaxControlTop, MaxControlTop);
}

void SetControlTopFromTag(QWidget& control)
{
    control.move(control.x(), ControlTopFromTag(control));
}

// Property tables.

namespace {

template <typename T>
void AddBounds(TPropTable<T>& t)
{
    const auto always = [](const T&) { return true; };
    t.Add(
         "Left", always, [](TComponentWriter& w, const T& o) { w.WriteInteger(o.x()); },
         [](TComponentReader& r, T& o) { o.move(r.ReadInteger(), o.y()); })
        .Add(
            "Top", always, [](TComponentWriter& w, const T& o) { w.WriteInteger(o.y()); },
            [](TComponentReader& r, T& o) { o.move(o.x(), r.ReadInteger()); })
        .Add(
            "Width", always, [](TComponentWriter& w, const T& o) { w.WriteInteger(o.width()); },
            [](TComponentReader& r, T& o) { o.resize(std::max(r.ReadInteger(), 0), o.height()); })
        .Add(
            "Height", always, [](TComponentWriter& w, const T& o) { w.WriteInteger(o.height()); },
            [](TComponentReader& r, T& o) { o.resize(o.width(), std::max(r.ReadInteger(), 0)); });
}

template <typename T>
void AddEnabled(TPropTable<T>& t)
{
    t.Add(
        "Enabled", [](const T& o) { return !ControlEnabled(o); },
        [](TComponentWriter& w, const T& o) { w.WriteBoolean(ControlEnabled(o)); },
        [](TComponentReader& r, T& o) { o.setEnabled(r.ReadBoolean()); });
}

template <typename T>
void AddTabStop(TPropTable<T>& t, bool def)
{
    t.Add(
        "TabStop", [def](const T& o) { return ControlTabStop(o) != def; },
        [](TComponentWriter& w, const T& o) { w.WriteBoolean(ControlTabStop(o)); },
        [](TComponentReader& r, T& o) { SetControlTabStop(o, r.ReadBoolean()); });
}

template <typename T>
void AddVisible(TPropTable<T>& t)
{
    t.Add(
        "Visible", [](const T& o) { return !ControlVisible(o); },
        [](TComponentWriter& w, const T& o) { w.WriteBoolean(ControlVisible(o)); },
        [](TComponentReader& r, T& o) { SetControlVisible(o, r.ReadBoolean()); });
}

template <typename T>
void AddColor(TPropTable<T>& t, TColor def)
{
    t.Add(
        "Color", [def](const T& o) { return o.Color() != def; },
        [](TComponentWriter& w, const T& o) { w.WriteColor(o.Color()); },
        [](TComponentReader& r, T& o) { o.ColorForReading() = r.ReadColor(); });
}

const QStringList FontStyleNames = {QStringLiteral("fsBold"), QStringLiteral("fsItalic"),
                                    QStringLiteral("fsUnderline"), QStringLiteral("fsStrikeOut")};

uint32_t FontStyleBits(const TFont& f)
{
    return (f.Bold ? 1u : 0u) | (f.Italic ? 2u : 0u) | (f.Underline ? 4u : 0u) | (f.StrikeOut ? 8u : 0u);
}

const TPropTable<TFont>& FontTable()
{
    static const TPropTable<TFont> table = [] {
        const auto always = [](const TFont&) { return true; };
        TPropTable<TFont> t;
        t.Add(
             "Charset", always, [](TComponentWriter& w, const TFont& f) { w.WriteCharset(f.Charset); },
             [](TComponentReader& r, TFont& f) { f.Charset = r.ReadCharset(); })
            .Add(
                "Color", always, [](TComponentWriter& w, const TFont& f) { w.WriteColor(f.Color); },
                [](TComponentReader& r, TFont& f) { f.Color = r.ReadColor(); })
            .Add(
                "Height", always, [](TComponentWriter& w, const TFont& f) { w.WriteInteger(f.Height()); },
                [](TComponentReader& r, TFont& f) { f.SetHeight(r.ReadInteger()); })
            .Add(
                "Name", always, [](TComponentWriter& w, const TFont& f) { w.WriteString(f.Name); },
                [](TComponentReader& r, TFont& f) { f.Name = r.ReadString(); })
            .Add(
                "Style", always,
                [](TComponentWriter& w, const TFont& f) { w.WriteSet(FontStyleBits(f), FontStyleNames); },
                [](TComponentReader& r, TFont& f) {
                    const uint32_t bits = r.ReadSet(FontStyleNames);
                    f.Bold = bits & 1;
                    f.Italic = bits & 2;
                    f.Underline = bits & 4;
                    f.StrikeOut = bits & 8;
                });
        return t;
    }();
    return table;
}

// Font.* written while the control has a font of its own, then ParentFont.
template <typename T>
void AddFont(TPropTable<T>& t)
{
    for (const TProp<TFont>& p : FontTable().Props)
        t.Add(
            "Font." + p.Name, [](const T& o) { return !o.ParentFont(); },
            [p](TComponentWriter& w, const T& o) { p.Write(w, o.Font()); },
            [p](TComponentReader& r, T& o) { p.Read(r, o.FontForReading()); });
    t.Add(
        "ParentFont", [](const T& o) { return !o.ParentFont(); },
        [](TComponentWriter& w, const T& o) { w.WriteBoolean(o.ParentFont()); },
        [](TComponentReader& r, T& o) {
            const bool value = r.ReadBoolean();
            if (value)
                o.FontForReading() = DefaultControlFont();
            o.SetParentFont(value);
        });
}

template <typename T>
void AddCaption(TPropTable<T>& t, const char* name)
{
    t.Add(
        name, [](const T& o) { return !o.text().isEmpty(); },
        [](TComponentWriter& w, const T& o) { w.WriteString(o.text()); },
        [](TComponentReader& r, T& o) { o.setText(r.ReadString()); });
}

const TPropTable<TButton>& ButtonTable()
{
    static const TPropTable<TButton> table = [] {
        TPropTable<TButton> t;
        AddBounds(t);
        AddCaption(t, "Caption");
        AddColor(t, clBtnFace);
        AddEnabled(t);
        AddFont(t);
        AddTabStop(t, true);
        AddVisible(t);
        return t;
    }();
    return table;
}

const TPropTable<TEdit>& EditTable()
{
    static const TPropTable<TEdit> table = [] {
        TPropTable<TEdit> t;
        AddBounds(t);
        AddColor(t, clWindow);
        AddEnabled(t);
        AddFont(t);
        AddTabStop(t, true);
        AddCaption(t, "Text");
        AddVisible(t);
        return t;
    }();
    return table;
}

const TPropTable<TPanel>& PanelTable()
{
    static const TPropTable<TPanel> table = [] {
        TPropTable<TPanel> t;
        AddBounds(t);
        t.Add(
            "Caption", [](const TPanel& o) { return !o.Caption().isEmpty(); },
            [](TComponentWriter& w, const TPanel& o) { w.WriteString(o.Caption()); },
            [](TComponentReader& r, TPanel& o) { o.SetCaption(r.ReadString()); });
        AddColor(t, clBtnFace);
        AddEnabled(t);
        AddFont(t);
        AddTabStop(t, false);
        AddVisible(t);
        return t;
    }();
    return table;
}

const TPropTable<QWidget>& WidgetTable()
{
    static const TPropTable<QWidget> table = [] {
        TPropTable<QWidget> t;
        AddBounds(t);
        AddEnabled(t);
        AddTabStop(t, true);
        AddVisible(t);
        return t;
    }();
    return table;
}

// A class the stored form can name: how to make one and its two directions.
struct TControlClass {
    const char* Name;
    QWidget* (*Create)();
    void (*Write)(TComponentWriter&, const QWidget&);
    bool (*Read)(TComponentReader&, const QString&, QWidget&);
};

template <typename T, const TPropTable<T>& (*Table)()>
TControlClass MakeClass(const char* name)
{
    return {name, [] { return static_cast<QWidget*>(new T); },
            [](TComponentWriter& w, const QWidget& o) { Table().Write(w, static_cast<const T&>(o)); },
            [](TComponentReader& r, const QString& prop, QWidget& o) {
                return Table().TryRead(r, prop, static_cast<T&>(o));
            }};
}

const std::vector<TControlClass>& ControlClasses()
{
    static const std::vector<TControlClass> classes = {
        MakeClass<TButton, ButtonTable>("TButton"),
        MakeClass<TEdit, EditTable>("TEdit"),
        MakeClass<TPanel, PanelTable>("TPanel"),
    };
    return classes;
}

const TControlClass* FindClass(const QString& name)
{
    for (const TControlClass& c : ControlClasses())
        if (name.compare(QLatin1String(c.Name), Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

// The class whose table reads and writes control: its stand-in's class when
// it is of one; nil for other widgets.
const TControlClass* ClassOf(const QWidget& control)
{
    const auto* standIn = dynamic_cast<const TStdControl*>(&control);
    return standIn ? FindClass(standIn->ClassName()) : nullptr;
}

QList<QWidget*> ChildControls(const QWidget& control)
{
    return control.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
}

void WriteBody(TComponentWriter& writer, const QWidget& control)
{
    if (const TControlClass* c = ClassOf(control))
        c->Write(writer, control);
    else
        WidgetTable().Write(writer, control);
    writer.WriteListEnd();
    for (const QWidget* child : ChildControls(control)) {
        // Only stand-ins are stored: the parts Qt's own widgets are made of are not controls.
        if (!dynamic_cast<const TStdControl*>(child))
            continue;
        writer.WriteShortString(ControlClassName(*child).toLatin1());
        writer.WriteShortString(child->objectName().toLatin1());
        WriteBody(writer, *child);
    }
    writer.WriteListEnd();
}

void ReadProperties(TComponentReader& reader, QWidget& control)
{
    const TControlClass* c = ClassOf(control);
    while (!reader.EndOfList()) {
        const QString name = reader.ReadPropName();
        const bool known = c ? c->Read(reader, name, control) : WidgetTable().TryRead(reader, name, control);
        if (!known)
            reader.SkipValue();
    }
    if (auto* standIn = dynamic_cast<TStdControl*>(&control))
        standIn->Loaded();
}

void ReadChildren(TComponentReader& reader, QWidget& control);

// An owned component: flags when present, class name, name, properties,
// its own owned components.
void ReadChild(TComponentReader& reader, QWidget& parent)
{
    if ((static_cast<uint8_t>(reader.PeekValueType()) & 0xF0) == 0xF0 && (static_cast<uint8_t>(reader.ReadValueType()) & 2))
        reader.ReadInteger();
    const QString className = QString::fromLatin1(reader.ReadShortString());
    const QString name = QString::fromLatin1(reader.ReadShortString());
    const TControlClass* c = FindClass(className);
    if (!c) {
        while (!reader.EndOfList()) {
            reader.ReadPropName();
            reader.SkipValue();
        }
        reader.ReadComponentEnd();
        return;
    }
    QWidget* child = c->Create();
    child->setParent(&parent);
    child->setObjectName(name);
    ReadProperties(reader, *child);
    ReadChildren(reader, *child);
}

void ReadChildren(TComponentReader& reader, QWidget& control)
{
    reader.EnterNesting();
    while (!reader.EndOfList())
        ReadChild(reader, control);
    reader.LeaveNesting();
}

}  // namespace

QString ControlClassName(const QWidget& control)
{
    if (const auto* standIn = dynamic_cast<const TStdControl*>(&control))
        return standIn->ClassName();
    return QString::fromLatin1(control.metaObject()->className());
}

bool ControlClassRegistered(const QString& className)
{
    return FindClass(className) != nullptr;
}

QWidget* CreateControlByClassName(const QString& className)
{
    const TControlClass* c = FindClass(className);
    return c ? c->Create() : nullptr;
}

void WriteControl(TComponentWriter& writer, const QWidget& control)
{
    writer.WriteComponentStart(ControlClassName(control), control.objectName());
    WriteBody(writer, control);
}

QWidget* ReadControl(TComponentReader& reader, QWidget* control)
{
    QString className;
    QString name;
    reader.ReadComponentStart(className, name);
    std::unique_ptr<QWidget> made;
    if (!control) {
        made.reset(CreateControlByClassName(className));
        if (!made)
            throw EComponentStreamError("Class " + className.toStdString() + " not found");
        control = made.get();
    }
    control->setObjectName(name);
    ReadProperties(reader, *control);
    ReadChildren(reader, *control);
    made.release();
    return control;
}
