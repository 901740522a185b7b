#include "SndObj.h"

#include <QtCore/QCoreApplication>
#include <QtGui/QPainter>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMessageBox>

// ---------------------------------------------------------------- device ids, cursors

bool SndDeviceIdFromIdent(const QString& ident, TSndDeviceId& value)
{
    if (ident.compare(QLatin1String("MapperId"), Qt::CaseInsensitive) == 0) {
        value = MapperId;
        return true;
    }
    if (ident.compare(QLatin1String("InvalidId"), Qt::CaseInsensitive) == 0) {
        value = InvalidId;
        return true;
    }
    return false;
}

bool SndDeviceIdToIdent(TSndDeviceId value, QString& ident)
{
    if (value == MapperId) {
        ident = QStringLiteral("MapperId");
        return true;
    }
    if (value == InvalidId) {
        ident = QStringLiteral("InvalidId");
        return true;
    }
    return false;
}

QCursor LoadResCursor(int n)
{
    // The library's cursors, drawn from the standard shapes: 3 over a
    // selection that can be moved, 4 while it moves.
    switch (n) {
    case 3: return QCursor(Qt::OpenHandCursor);
    case 4: return QCursor(Qt::ClosedHandCursor);
    case 9: return QCursor(Qt::PointingHandCursor);
    case 1: case 2: return QCursor(Qt::IBeamCursor);
    default:
        if (n >= 1 && n <= 31)
            return QCursor(Qt::CrossCursor);
        return QCursor(Qt::ArrowCursor);
    }
}

// ---------------------------------------------------------------- exceptions

ESndError::ESndError(const QString& message)
    : std::runtime_error(message.toStdString()), FMessage(message)
{
}

// ---------------------------------------------------------------- TSndObject

void TSndObject::BeginUpdate()
{
    if (FUpdateCount == 0)
        UpdateNotify(true);
    ++FUpdateCount;
}

void TSndObject::EndUpdate()
{
    if (FUpdateCount <= 0)
        return;
    --FUpdateCount;
    if (FUpdateCount == 0)
        UpdateNotify(false);
}

void TSndObject::UpdateNotify(bool changing)
{
    if (changing)
        Changing();
    else
        Changed();
}

void TSndObject::Changing()
{
    if (FUpdateCount == 0 && OnChanging)
        OnChanging(this);
}

void TSndObject::Changed()
{
    if (FUpdateCount == 0 && OnChange)
        OnChange(this);
}

// ---------------------------------------------------------------- TSndBevel

namespace {

template <typename T>
void SetAndNotify(T& field, T value, const std::function<void()>& changed)
{
    if (field == value)
        return;
    field = value;
    changed();
}

}  // namespace

#define SND_BEVEL_SETTER(Name, Type, Field) \
    void TSndBevel::Set##Name(Type value) { SetAndNotify(Field, value, [this] { Changed(); }); }

SND_BEVEL_SETTER(BevelInner, TBevelCut, FBevelInner)
SND_BEVEL_SETTER(BevelOuter, TBevelCut, FBevelOuter)
SND_BEVEL_SETTER(BevelInnerWidth, int, FBevelInnerWidth)
SND_BEVEL_SETTER(BevelOuterWidth, int, FBevelOuterWidth)
SND_BEVEL_SETTER(BorderStyle, TBorderStyle, FBorderStyle)
SND_BEVEL_SETTER(BorderWidth, int, FBorderWidth)
SND_BEVEL_SETTER(BorderSpace, int, FBorderSpace)

#undef SND_BEVEL_SETTER

void TSndBevel::SetColor(int index, TColor value)
{
    if (index < 0 || index > 5)
        return;
    SetAndNotify(FColors[index], value, [this] { Changed(); });
}

void TSndBevel::Assign(const TSndBevel& source)
{
    if (&source == this)
        return;
    BeginUpdate();
    SetBevelInner(source.BevelInner());
    SetBevelOuter(source.BevelOuter());
    SetBevelInnerWidth(source.BevelInnerWidth());
    SetBevelOuterWidth(source.BevelOuterWidth());
    SetBorderStyle(source.BorderStyle());
    SetBorderWidth(source.BorderWidth());
    SetBorderSpace(source.BorderSpace());
    SetBorderColor(source.BorderColor());
    SetBorderSpaceColor(source.BorderSpaceColor());
    SetOuterLightColor(source.OuterLightColor());
    SetOuterShadowColor(source.OuterShadowColor());
    SetInnerLightColor(source.InnerLightColor());
    SetInnerShadowColor(source.InnerShadowColor());
    EndUpdate();
}

int TSndBevel::Extent() const
{
    int result = FBorderWidth + FBorderSpace;
    if (FBevelOuter != bvNone)
        result += FBevelOuterWidth;
    if (FBevelInner != bvNone)
        result += FBevelInnerWidth;
    if (FBorderStyle != bsNone)
        result += 1;
    return result;
}

namespace {

// A 3-D frame of width w: c1 on the top and left edges, c2 on the bottom and
// right edges; the rectangle steps inwards by w.
void Frame(QPainter& painter, QRect& rect, TColor c1, int w, TColor c2)
{
    for (int i = 0; i < w && rect.width() > 0 && rect.height() > 0; ++i) {
        const int l = rect.left();
        const int t = rect.top();
        const int r = rect.left() + rect.width() - 1;
        const int b = rect.top() + rect.height() - 1;
        painter.setPen(ToQColor(c1));
        painter.drawLine(l, t, r, t);
        painter.drawLine(l, t, l, b);
        painter.setPen(ToQColor(c2));
        painter.drawLine(r, t, r, b);
        painter.drawLine(l, b, r, b);
        rect.adjust(1, 1, -1, -1);
    }
}

}  // namespace

QRect TSndBevel::PaintBevel(TCanvas& canvas, const QRect& rect, bool drawBorder)
{
    QPainter& painter = canvas.Painter();
    painter.save();
    QRect r = rect;
    if (FBorderStyle == bsSingle)
        Frame(painter, r, clWindowFrame, 1, clWindowFrame);
    if (FBevelOuter == bvLowered)
        Frame(painter, r, OuterShadowColor(), FBevelOuterWidth, OuterLightColor());
    else if (FBevelOuter == bvRaised)
        Frame(painter, r, OuterLightColor(), FBevelOuterWidth, OuterShadowColor());
    if (drawBorder)
        Frame(painter, r, BorderColor(), FBorderWidth, BorderColor());
    else
        r.adjust(FBorderWidth, FBorderWidth, -FBorderWidth, -FBorderWidth);
    if (FBevelInner == bvLowered)
        Frame(painter, r, InnerShadowColor(), FBevelInnerWidth, InnerLightColor());
    else if (FBevelInner == bvRaised)
        Frame(painter, r, InnerLightColor(), FBevelInnerWidth, InnerShadowColor());
    if (FBorderSpace > 0)
        Frame(painter, r, BorderSpaceColor(), FBorderSpace, BorderSpaceColor());
    painter.restore();
    return r;
}

// ---------------------------------------------------------------- components

TSndComponent::TSndComponent(QObject* owner)
    : QObject(owner)
{
}

void TSndComponent::SetDesignMode(bool value)
{
    if (FDesigning == value)
        return;
    ChangeDesigning(value);
}

void TSndComponent::ChangeDesigning(bool value)
{
    FDesigning = value;
    for (QObject* child : children())
        if (auto* component = dynamic_cast<TSndComponent*>(child))
            component->ChangeDesigning(value);
}

TSndGraphicControl::TSndGraphicControl(QWidget* parent)
    : TPaintBox(parent), FBevel(std::make_unique<TSndBevel>())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    FBevel->OnChange = [this](TSndObject*) { BevelChanged(); };
}

TSndGraphicControl::~TSndGraphicControl()
{
    FBevel->OnChange = nullptr;
}

void TSndGraphicControl::SetColor(TColor value)
{
    if (FColor == value)
        return;
    FColor = value;
    update();
}

int TSndGraphicControl::BevelExtent() const
{
    return FBevel ? FBevel->Extent() : 0;
}

QRect TSndGraphicControl::InnerRect() const
{
    const int e = BevelExtent();
    return Rect(e, e, width() - e, height() - e);
}

void TSndGraphicControl::SetDesignMode(bool value)
{
    if (FDesigning == value)
        return;
    ChangeDesigning(value);
}

void TSndGraphicControl::ChangeDesigning(bool value)
{
    FDesigning = value;
}

void TSndGraphicControl::Paint(TCanvas& canvas)
{
    const QRect inner = FBevel->PaintBevel(canvas, rect(), true);
    canvas.Painter().fillRect(inner, ToQColor(FColor));
}

void TSndGraphicControl::BevelChanged()
{
    update();
}

void ShowCallbackModeRefusal(const QString& caption)
{
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QMessageBox::information(nullptr, caption,
                                 QStringLiteral("\"CallBacks\" are called at interrupt time !\n\r"
                                                "This is currently only supported under Windows 95"),
                                 QMessageBox::Ok);
}
