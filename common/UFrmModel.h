#pragma once

// The frame of the program's own dialogs: a borderless form with a painted
// title strip, a close button and a thin coloured border around the body.
// Each dialog puts its content on Panel6.

#include "Forms.h"
#include "Graphics.h"

#include <QtWidgets/QWidget>

class QLabel;
class TPiboSpeedButton;

// A picture placed on a form: drawn at its own size, or stretched over the
// control when Stretch is on.
class TFrameImage : public TPaintBox {
public:
    explicit TFrameImage(QWidget* parent = nullptr);

    TBitmap Picture;
    bool Stretch = false;

    // Loads the named picture and, unless stretched, takes its size.
    void LoadPicture(const QString& resourceName);

protected:
    void Paint(TCanvas& canvas) override;
};

// A rectangle of the layouts: outlined with PenColor, filled with BrushColor
// (nothing when BrushClear).
class TFrameShape : public TPaintBox {
public:
    explicit TFrameShape(QWidget* parent = nullptr);

    TColor PenColor = clBlack;
    TColor BrushColor = clWhite;
    bool BrushClear = false;

protected:
    void Paint(TCanvas& canvas) override;
};

// Fills a widget's background with a colour of the layouts.
void SetWidgetColor(QWidget* widget, TColor color);
// A label of plain text in parent, sized to its text.
QLabel* NewLabel(QWidget* parent, const QString& text = QString());
// Gives a label a font of the layouts, its colour included.
void SetLabelFont(QLabel* label, const TFont& font);

class TFrmModel : public TForm {
    Q_OBJECT
public:
    explicit TFrmModel(QWidget* parent = nullptr);

    static constexpr int TitleHeight = 27;
    static constexpr TColor BorderColor = 15707707;

    QString Title() const;
    void SetTitle(const QString& title);  // the title label and the window caption

    // Title strip.
    QWidget* Panel1;
    TFrameImage* imaTopL;
    TFrameImage* imaTopC;
    TFrameImage* imaTopR;
    TPiboSpeedButton* psbClose;
    QLabel* labTitle;
    // Body: Panel2 shows the border, Panel6 holds the dialog's content.
    QWidget* Panel2;
    QWidget* Panel6;

    // Handlers every dialog on the frame inherits.
    void FormResize();
    void FormActivate();
    void psbCloseClick();
    void imaTopCMouseDown(TMouseButton button, Qt::KeyboardModifiers shift, int x, int y);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void ArrangeFrame();
};
