#pragma once

// The program's skinned controls. Every picture is a named bitmap resource.

#include "Forms.h"
#include "Graphics.h"

#include <QtCore/QStringList>
#include <QtWidgets/QWidget>

enum TPiboSpeedButtonType {
    psbtAddSentence,
    psbtPlay,
    psbtStop,
    psbtPause,
    psbtStart,
    psbtEnd,
    psbtReStart,
    psbtAgain,
    psbtChina,
    psbtEnglish,
    psbtSound,
    psbtClose,
    psbtMax,
    psbtNormal,
    psbtMin,
    pbstInfoButton,
    pbstLoginButton,
    pbstRecord,
    pbstNoRecord,
    pbstRecordButton,
    psbtRecordListen,
    psbtRecordSpeak,
    psbtRecordTransfer,
    psbtRecordSentence,
    psbtStudyRecordDelete,
    psbtWorkFileOpen,
    psbtWorkPlay,
    psbtWorkPause,
    psbtWorkStop,
    psbtWorkQuick,
    psbtWorkSlow,
    psbtWorkAdd,
    psbtWorkEdit,
    psbtWorkDelete,
    psbtWorkUndo,
    psbtWorkRedo,
    psbtWorkSave,
    psbtTransAdd,
    psbtTransLButton,
    psbtTansRight,
    psbtTansWrong,
    psbtCheckButton,
};

// ---------------------------------------------------------------------------
// Skinned buttons
// ---------------------------------------------------------------------------

// The picture button of every window. Windowless in spirit: a paint box that
// overrides its own painting, mouse and click handling. Its OnClick is the
// paint box's.
class TPiboSpeedButton : public TPaintBox {
    Q_OBJECT
public:
    explicit TPiboSpeedButton(QWidget* parent = nullptr);

    TPiboSpeedButtonType PiboSpeedButtonType() const { return FPiboSpeedButtonType; }
    // Loads the kind's pictures (raises EResNotFound for a missing one) and
    // takes the size of its normal picture; runs in full also for the same kind.
    void SetPiboSpeedButtonType(TPiboSpeedButtonType value);
    bool ButtonEnabled() const { return FButtonEnabled; }
    void SetButtonEnabled(bool value);
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& value);

    int Left() const { return x(); }
    void SetLeft(int value) { move(value, y()); }
    int Top() const { return y(); }
    void SetTop(int value) { move(x(), value); }
    int Width() const { return width(); }
    int Height() const { return height(); }

    // The picture the next paint draws: "normal", "hover", "down" or "disabled".
    QString CurrentPictureRole() const;

protected:
    void Paint(TCanvas& canvas) override;
    void MouseDown(TMouseButton button, Qt::KeyboardModifiers shift, int x, int y) override;
    void MouseUp(TMouseButton button, Qt::KeyboardModifiers shift, int x, int y) override;
    void MouseMove(Qt::KeyboardModifiers shift, int x, int y) override;
    void MouseLeave() override;
    void Click() override;

private:
    const TBitmap& CurrentPicture() const;

    TPiboSpeedButtonType FPiboSpeedButtonType = psbtAddSentence;
    bool FButtonEnabled = true;
    QString FCaption;
    TBitmap FNormalPicture, FHoverPicture, FDownPicture, FDisabledPicture;
    bool FMouseOver = false;
    bool FPressed = false;
};

// The windowed pattern of the skinned controls: a control with one child paint
// box covering its client area. All drawing goes to the paint box; a click on
// it runs the control's Click, which fires OnClick.
class TPiboWinControl : public QWidget {
    Q_OBJECT
public:
    int Left() const { return x(); }
    void SetLeft(int value) { move(value, y()); }
    int Top() const { return y(); }
    void SetTop(int value) { move(x(), value); }
    int Height() const { return height(); }
    void SetHeight(int value) { resize(width(), value); }

    TNotifyEvent OnClick;

    TPaintBox* PaintBox() const { return FPaintBox; }

protected:
    TPiboWinControl(QWidget* parent, int width, int height);
    virtual void PaintBoxPaint(TCanvas& canvas) = 0;
    virtual void Click();

    TPaintBox* FPaintBox;
};

enum TPageButtonType { pbtKeJian, pbtMedia, pbtRecent };

// The pieces of a page button's caption as they are written, one per line:
// the caption's ANSI bytes taken two at a time (one double-byte character per
// line); a trailing odd byte is dropped.
QStringList PageButtonCaptionLines(const QString& caption);

// The tall page selector of the main window's side panel.
class TPiboPageButton : public TPiboWinControl {
    Q_OBJECT
public:
    explicit TPiboPageButton(QWidget* parent = nullptr);

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& value);
    bool Selected() const { return FSelected; }
    void SetSelected(bool value);
    TPageButtonType PageButtonType() const { return FPageButtonType; }
    void SetPageButtonType(TPageButtonType value);

private:
    void PaintBoxPaint(TCanvas& canvas) override;

    QString FCaption;
    bool FSelected = false;
    TPageButtonType FPageButtonType = pbtKeJian;
    TBitmap FUpTop, FUpBottom, FUpCenter, FDownTop, FDownBottom, FDownCenter;
};

enum TMainButtonType { mbtLiuLan, mbtDanJu, mbtZiYou, mbtKouYu, mbtFanYi, mbtChengJi, mbtZhiZuo };

// The mode button of the main window.
class TPiboMainButton : public TPiboWinControl {
    Q_OBJECT
public:
    explicit TPiboMainButton(QWidget* parent = nullptr);

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& value);
    TMainButtonType MainButtonType() const { return FMainButtonType; }
    // Loads the three pictures of the type (raises EResNotFound for a missing
    // one); runs in full also for the same type.
    void SetMainButtonType(TMainButtonType value);

    QString CurrentPictureRole() const;  // "normal", "hover" or "down"

private:
    void PaintBoxPaint(TCanvas& canvas) override;
    void PaintBoxMouseDown(TMouseButton button);
    void PaintBoxMouseUp(TMouseButton button);
    void PaintBoxMouseMove();
    void PaintBoxMouseLeave();
    const TBitmap& CurrentPicture() const;

    QString FCaption;
    TMainButtonType FMainButtonType = mbtLiuLan;
    TBitmap FNormalPicture, FHoverPicture, FDownPicture;
    bool FMouseOver = false;
    bool FPressed = false;
};

// The 13 x 13 picture check box of the study screens.
class TPiboCheckBox : public TPiboWinControl {
    Q_OBJECT
public:
    explicit TPiboCheckBox(QWidget* parent = nullptr);

    bool Checked() const { return FChecked; }
    // A changed value is drawn at once.
    void SetChecked(bool value);

private:
    void PaintBoxPaint(TCanvas& canvas) override;
    void Click() override;

    TBitmap FCheckedPicture, FNotCheckedPicture;
    bool FChecked = false;
};
