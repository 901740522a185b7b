#pragma once

// Forms and the paint box: the window classes the program's own forms and
// skinned controls are built on.

#include "Graphics.h"

#include <QtWidgets/QWidget>

#include <functional>

class QEventLoop;

// Modal results.
constexpr int mrNone = 0;
constexpr int mrOk = 1;
constexpr int mrCancel = 2;

// The frame of a bordered control, and which scroll bars a control shows.
enum TBorderStyle { bsNone, bsSingle };
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

enum class TMouseButton { Left, Right, Middle };
// The button of a Qt mouse event; other buttons count as the left one.
TMouseButton MouseButtonOf(Qt::MouseButton button);

using TNotifyEvent = std::function<void()>;
using TMouseEvent = std::function<void(TMouseButton button, Qt::KeyboardModifiers shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(Qt::KeyboardModifiers shift, int x, int y)>;

// A top-level form. Layout coordinates are client pixels at 96 dots per inch.
// ShowModal runs the form until ModalResult becomes non-zero or the form is
// closed (closing a modal form gives mrCancel).
class TForm : public QWidget {
    Q_OBJECT
public:
    explicit TForm(QWidget* parent = nullptr);
    ~TForm() override;

    QString Caption() const { return windowTitle(); }
    void SetCaption(const QString& caption) { setWindowTitle(caption); }

    // A form without the system's frame and title bar.
    void SetBorderless();
    void SetClientSize(int width, int height);
    void CenterOnScreen();
    // Centres over the application's main form, or the screen when there is none.
    void CenterOnMainForm();

    int ModalResult() const { return FModalResult; }
    void SetModalResult(int result);
    int ShowModal();
    bool IsModal() const { return FModalLoop != nullptr; }

    // Starts a move of the window with the mouse, as dragging a title bar does.
    void BeginWindowDrag();

    TNotifyEvent OnClose;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    int FModalResult = mrNone;
    QEventLoop* FModalLoop = nullptr;
};

// The application's main form, the one modal forms centre on.
TForm* MainForm();
void SetMainForm(TForm* form);

// A control that paints through its OnPaint event or an override of Paint, and
// reports the mouse. A click is a left press and release over the control.
class TPaintBox : public QWidget {
    Q_OBJECT
public:
    explicit TPaintBox(QWidget* parent = nullptr);

    // Keeps the control covering its parent's whole client area.
    void SetAlignClient(bool value);

    TFont Font;

    std::function<void(TCanvas& canvas)> OnPaint;
    TNotifyEvent OnClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TNotifyEvent OnMouseLeave;

    // Runs the click path as a click of the mouse would.
    void PerformClick() { Click(); }

protected:
    virtual void Paint(TCanvas& canvas);
    virtual void MouseDown(TMouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    virtual void MouseUp(TMouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    virtual void MouseMove(Qt::KeyboardModifiers shift, int x, int y);
    virtual void MouseLeave();
    virtual void Click();

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool FAlignClient = false;
    bool FLeftDown = false;
};
