#include "UFrmModel.h"

#include "UPiboComponent.h"

#include <QtGui/QPalette>
#include <QtGui/QResizeEvent>
#include <QtGui/QShowEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>

#include <algorithm>

TFrameImage::TFrameImage(QWidget* parent) : TPaintBox(parent) {}

void TFrameImage::LoadPicture(const QString& resourceName)
{
    Picture.LoadFromResourceName(resourceName);
    if (!Stretch)
        resize(Picture.Width(), Picture.Height());
    update();
}

void TFrameImage::Paint(TCanvas& canvas)
{
    if (Stretch)
        canvas.StretchDraw(rect(), Picture);
    else
        canvas.Draw(0, 0, Picture);
    TPaintBox::Paint(canvas);
}

TFrameShape::TFrameShape(QWidget* parent) : TPaintBox(parent) {}

void TFrameShape::Paint(TCanvas& canvas)
{
    canvas.BrushColor = BrushColor;
    canvas.BrushStyle = BrushClear ? TBrushStyle::Clear : TBrushStyle::Solid;
    canvas.PenColor = PenColor;
    canvas.Rectangle(rect());
    TPaintBox::Paint(canvas);
}

void SetWidgetColor(QWidget* widget, TColor color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, ToQColor(color));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QLabel* NewLabel(QWidget* parent, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->adjustSize();
    return label;
}

void SetLabelFont(QLabel* label, const TFont& font)
{
    label->setFont(font.ToQFont());
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, ToQColor(font.Color));
    label->setPalette(palette);
}

TFrmModel::TFrmModel(QWidget* parent) : TForm(parent)
{
    SetBorderless();
    setFont(TFont().ToQFont());

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));

    imaTopL = new TFrameImage(Panel1);
    imaTopL->LoadPicture(QStringLiteral("ModelTopLeft"));
    imaTopC = new TFrameImage(Panel1);
    imaTopC->Stretch = true;
    imaTopC->LoadPicture(QStringLiteral("ModelTopCenter"));
    imaTopR = new TFrameImage(Panel1);
    imaTopR->LoadPicture(QStringLiteral("ModelTopRight"));
    imaTopC->OnMouseDown = [this](TMouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
        imaTopCMouseDown(button, shift, x, y);
    };

    TFont titleFont;
    titleFont.Bold = true;
    titleFont.Color = clWhite;
    labTitle = NewLabel(Panel1);
    labTitle->setObjectName(QStringLiteral("labTitle"));
    SetLabelFont(labTitle, titleFont);
    // The title text is part of the strip: pressing on it drags the window too.
    labTitle->setAttribute(Qt::WA_TransparentForMouseEvents);
    SetTitle(QStringLiteral("窗口标题"));

    psbClose = new TPiboSpeedButton(Panel1);
    psbClose->setObjectName(QStringLiteral("psbClose"));
    psbClose->SetPiboSpeedButtonType(psbtClose);
    psbClose->OnClick = [this]() { psbCloseClick(); };

    Panel2 = new QWidget(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    SetWidgetColor(Panel2, BorderColor);
    Panel6 = new QWidget(Panel2);
    Panel6->setObjectName(QStringLiteral("Panel6"));
    // The content panel keeps the system's face colour, not the border's.
    SetWidgetColor(Panel6, FromQColor(QApplication::palette().color(QPalette::Window)));

    ArrangeFrame();
}

QString TFrmModel::Title() const
{
    return labTitle->text();
}

void TFrmModel::SetTitle(const QString& title)
{
    labTitle->setText(title);
    TFont titleFont;
    titleFont.Bold = true;
    labTitle->setGeometry(8, 8, TextWidthOf(titleFont, title), TextHeightOf(titleFont, title));
    SetCaption(title);
}

void TFrmModel::FormResize()
{
    psbClose->SetLeft(width() - 25);
}

void TFrmModel::FormActivate()
{
    psbClose->SetLeft(width() - 25);
}

void TFrmModel::psbCloseClick()
{
    close();
}

void TFrmModel::imaTopCMouseDown(TMouseButton button, Qt::KeyboardModifiers, int, int)
{
    if (button == TMouseButton::Left)
        BeginWindowDrag();
}

void TFrmModel::ArrangeFrame()
{
    const int w = width();
    const int h = height();
    Panel1->setGeometry(0, 0, w, TitleHeight);
    imaTopL->move(0, 0);
    imaTopR->move(w - imaTopR->width(), 0);
    imaTopC->setGeometry(imaTopL->width(), 0, std::max(0, w - imaTopL->width() - imaTopR->width()), TitleHeight);
    psbClose->SetTop(5);
    psbClose->raise();

    const int bodyHeight = std::max(0, h - TitleHeight);
    Panel2->setGeometry(0, TitleHeight, w, bodyHeight);
    Panel6->setGeometry(1, 0, std::max(0, w - 2), std::max(0, bodyHeight - 1));
}

void TFrmModel::resizeEvent(QResizeEvent* event)
{
    TForm::resizeEvent(event);
    ArrangeFrame();
    FormResize();
}

void TFrmModel::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    if (!event->spontaneous()) {
        ArrangeFrame();
        CenterOnMainForm();
        FormActivate();
    }
}
