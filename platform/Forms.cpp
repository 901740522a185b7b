#include "Forms.h"

#include <QtCore/QEventLoop>
#include <QtCore/QPointer>
#include <QtGui/QCloseEvent>
#include <QtGui/QGuiApplication>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtGui/QScreen>
#include <QtGui/QWindow>

namespace {
QPointer<TForm>& MainFormRef()
{
    static QPointer<TForm> form;
    return form;
}
}  // namespace

TMouseButton MouseButtonOf(Qt::MouseButton button)
{
    switch (button) {
    case Qt::RightButton:
        return TMouseButton::Right;
    case Qt::MiddleButton:
        return TMouseButton::Middle;
    default:
        return TMouseButton::Left;
    }
}

TForm* MainForm()
{
    return MainFormRef().data();
}

void SetMainForm(TForm* form)
{
    MainFormRef() = form;
}

TForm::TForm(QWidget* parent) : QWidget(parent, Qt::Window) {}

TForm::~TForm()
{
    if (FModalLoop)
        FModalLoop->exit(mrCancel);
}

void TForm::SetBorderless()
{
    setWindowFlag(Qt::FramelessWindowHint, true);
}

void TForm::SetClientSize(int width, int height)
{
    setFixedSize(width, height);
}

void TForm::CenterOnScreen()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
}

void TForm::CenterOnMainForm()
{
    TForm* main = MainForm();
    if (!main || main == this || !main->isVisible()) {
        CenterOnScreen();
        return;
    }
    const QRect frame = main->geometry();
    move(frame.left() + (frame.width() - width()) / 2, frame.top() + (frame.height() - height()) / 2);
}

void TForm::SetModalResult(int result)
{
    FModalResult = result;
    if (FModalLoop && result != mrNone)
        FModalLoop->exit(result);
}

int TForm::ShowModal()
{
    FModalResult = mrNone;
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
    QEventLoop loop;
    FModalLoop = &loop;
    QPointer<TForm> self(this);
    loop.exec(QEventLoop::DialogExec);
    if (!self)
        return mrCancel;
    FModalLoop = nullptr;
    hide();
    setWindowModality(Qt::NonModal);
    return FModalResult;
}

void TForm::BeginWindowDrag()
{
    if (QWindow* handle = windowHandle())
        handle->startSystemMove();
}

void TForm::closeEvent(QCloseEvent* event)
{
    if (OnClose)
        OnClose();
    if (FModalLoop) {
        event->ignore();
        if (FModalResult == mrNone)
            SetModalResult(mrCancel);
        return;
    }
    QWidget::closeEvent(event);
}

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
}

void TPaintBox::SetAlignClient(bool value)
{
    FAlignClient = value;
    if (QWidget* owner = parentWidget()) {
        owner->removeEventFilter(this);
        if (value) {
            owner->installEventFilter(this);
            setGeometry(owner->rect());
        }
    }
}

bool TPaintBox::eventFilter(QObject* watched, QEvent* event)
{
    if (FAlignClient && watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void TPaintBox::Paint(TCanvas& canvas)
{
    if (OnPaint)
        OnPaint(canvas);
}

void TPaintBox::MouseDown(TMouseButton button, Qt::KeyboardModifiers shift, int x, int y)
{
    if (OnMouseDown)
        OnMouseDown(button, shift, x, y);
}

void TPaintBox::MouseUp(TMouseButton button, Qt::KeyboardModifiers shift, int x, int y)
{
    if (OnMouseUp)
        OnMouseUp(button, shift, x, y);
}

void TPaintBox::MouseMove(Qt::KeyboardModifiers shift, int x, int y)
{
    if (OnMouseMove)
        OnMouseMove(shift, x, y);
}

void TPaintBox::MouseLeave()
{
    if (OnMouseLeave)
        OnMouseLeave();
}

void TPaintBox::Click()
{
    if (OnClick)
        OnClick();
}

void TPaintBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    TCanvas canvas(painter);
    canvas.Font = Font;
    Paint(canvas);
}

void TPaintBox::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        FLeftDown = true;
    const QPoint p = event->position().toPoint();
    MouseDown(MouseButtonOf(event->button()), event->modifiers(), p.x(), p.y());
}

void TPaintBox::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    const bool click = event->button() == Qt::LeftButton && FLeftDown && rect().contains(p);
    if (event->button() == Qt::LeftButton)
        FLeftDown = false;
    QPointer<TPaintBox> self(this);
    if (click)
        Click();
    if (self)
        MouseUp(MouseButtonOf(event->button()), event->modifiers(), p.x(), p.y());
}

void TPaintBox::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    MouseMove(event->modifiers(), p.x(), p.y());
}

void TPaintBox::leaveEvent(QEvent*)
{
    MouseLeave();
}
