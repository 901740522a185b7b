#pragma once

// The information box: the program's only way of telling the user something.

#include "Forms.h"
#include "Graphics.h"

#include <QtCore/QString>

class QLabel;
class QWidget;
class TFrameImage;
class TFrameShape;
class TPiboSpeedButton;

class TFrmShowInfo : public TForm {
    Q_OBJECT
public:
    explicit TFrmShowInfo(QWidget* parent = nullptr);

    static constexpr int DefaultWidth = 255;
    static constexpr int DefaultHeight = 135;
    static constexpr int TitleHeight = 29;
    // The width a message may take before the box grows with it.
    static constexpr int TextRoom = 150;

    TFont Font;  // the form's font, the one messages are measured with

    QWidget* Panel1;
    TFrameImage* imaTop;
    TFrameImage* imaTopCenter;
    TFrameImage* imaTopRight;
    TFrameImage* imaInfo;
    QLabel* labInfo;
    TPiboSpeedButton* psbOk;
    TPiboSpeedButton* psbClose;
    TFrameShape* Shape1;  // left border
    TFrameShape* Shape2;  // top border
    TFrameShape* Shape3;  // right border
    TFrameShape* Shape4;  // bottom border

    // Shows text on one line, sized to it.
    void SetInfo(const QString& text);

    void psbOkClick();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Enter presses the default button (OK), Esc the close button; Space
    // presses the button that has the focus (OK when the box opens).
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ArrangeFrame();
};

// Shows text and waits until the user presses OK or the close button.
void ShowInfo(const QString& text);

// While it lives, the application's exception handler shows every message
// with ShowInfo, on the GUI thread (messages from worker threads are posted
// there). Both programs declare one in main, after the application object.
class TShowInfoExceptionHandler {
public:
    TShowInfoExceptionHandler();
    ~TShowInfoExceptionHandler();
    TShowInfoExceptionHandler(const TShowInfoExceptionHandler&) = delete;
    TShowInfoExceptionHandler& operator=(const TShowInfoExceptionHandler&) = delete;
};
