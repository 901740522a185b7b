#pragma once

// The program's skinned controls. Every picture is a named bitmap resource.

#include "Forms.h"
#include "Graphics.h"

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

// The picture button of every window. Windowless in spirit: a paint box that
// overrides its own painting, mouse and click handling.
class TPiboSpeedButton : public TPaintBox {
    Q_OBJECT
public:
    explicit TPiboSpeedButton(QWidget* parent = nullptr);

    TPiboSpeedButtonType PiboSpeedButtonType() const { return FPiboSpeedButtonType; }
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
    TBitmap FNormal, FHover, FDown, FDisabled;
    bool FHover_ = false;
    bool FPressed = false;
};

enum TPageButtonType { pbtKeJian, pbtMedia, pbtRecent };

// The tall page selector of the main window's side panel.
class TPiboPageButton : public QWidget {
    Q_OBJECT
public:
    explicit TPiboPageButton(QWidget* parent = nullptr);

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& value);
    bool Selected() const { return FSelected; }
    void SetSelected(bool value);
    TPageButtonType PageButtonType() const { return FPageButtonType; }
    void SetPageButtonType(TPageButtonType value);

    TNotifyEvent OnClick;

    TPaintBox* PaintBox() const { return FPaintBox; }

private:
    void PaintBoxPaint(TCanvas& canvas);

    QString FCaption;
    bool FSelected = false;
    TPageButtonType FPageButtonType = pbtKeJian;
    TPaintBox* FPaintBox;
    TBitmap FUpTop, FUpBottom, FUpCenter, FDownTop, FDownBottom, FDownCenter;
};

enum TMainButtonType { mbtLiuLan, mbtDanJu, mbtZiYou, mbtKouYu, mbtFanYi, mbtChengJi, mbtZhiZuo };

// The mode button of the main window.
class TPiboMainButton : public QWidget {
    Q_OBJECT
public:
    explicit TPiboMainButton(QWidget* parent = nullptr);

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& value);
    TMainButtonType MainButtonType() const { return FMainButtonType; }
    void SetMainButtonType(TMainButtonType value);

    TNotifyEvent OnClick;

    TPaintBox* PaintBox() const { return FPaintBox; }
    QString CurrentPictureRole() const;  // "normal", "hover" or "down"

private:
    void PaintBoxPaint(TCanvas& canvas);

    QString FCaption;
    TMainButtonType FMainButtonType = mbtLiuLan;
    TPaintBox* FPaintBox;
    TBitmap FNormal, FHover, FDown;
    bool FHover_ = false;
    bool FPressed = false;
};

// The 13 x 13 picture check box of the study screens.
class TPiboCheckBox : public QWidget {
    Q_OBJECT
public:
    explicit TPiboCheckBox(QWidget* parent = nullptr);

    bool Checked() const { return FChecked; }
    void SetChecked(bool value);

    TNotifyEvent OnClick;

    TPaintBox* PaintBox() const { return FPaintBox; }

private:
    TPaintBox* FPaintBox;
    TBitmap FChecked_, FNotChecked;
    bool FChecked = false;
};
