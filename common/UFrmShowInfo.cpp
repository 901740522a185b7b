#include "UFrmShowInfo.h"

#include "ApplicationException.h"
#include "UFrmModel.h"
#include "UPiboComponent.h"

#include <QtGui/QKeyEvent>
#include <QtGui/QPalette>
#include <QtGui/QResizeEvent>
#include <QtGui/QShowEvent>
#include <QtWidgets/QLabel>

#include <algorithm>
#include <memory>

namespace {
constexpr TColor ShapeColor = 13469211;
constexpr TColor PanelColor = 16776175;
constexpr TColor InfoColor = 7163918;

TFrameShape* NewBorderShape(QWidget* parent)
{
    auto* shape = new TFrameShape(parent);
    shape->PenColor = ShapeColor;
    shape->BrushColor = ShapeColor;
    return shape;
}
}  // namespace

TFrmShowInfo::TFrmShowInfo(QWidget* parent) : TForm(parent)
{
    SetBorderless();
    SetCaption(QStringLiteral("提示信息"));
    setFont(Font.ToQFont());
    SetClientSize(DefaultWidth, DefaultHeight);

    Panel1 = new QWidget(this);
    SetWidgetColor(Panel1, PanelColor);

    imaTop = new TFrameImage(Panel1);
    imaTop->LoadPicture(QStringLiteral("ShowInfoTop"));
    imaTopCenter = new TFrameImage(Panel1);
    imaTopCenter->Stretch = true;
    imaTopCenter->LoadPicture(QStringLiteral("ShowInfoTopCenter"));
    imaTopRight = new TFrameImage(Panel1);
    imaTopRight->LoadPicture(QStringLiteral("ShowInfoTopRight"));

    imaInfo = new TFrameImage(Panel1);
    imaInfo->setObjectName(QStringLiteral("imaInfo"));
    imaInfo->Picture.SetTransparent(true);
    imaInfo->LoadPicture(QStringLiteral("ShowInfoIcon"));
    imaInfo->move(32, 48);

    TFont infoFont = Font;
    infoFont.Color = InfoColor;
    labInfo = new QLabel(Panel1);
    labInfo->setObjectName(QStringLiteral("labInfo"));
    labInfo->setTextFormat(Qt::PlainText);
    labInfo->setFont(infoFont.ToQFont());
    QPalette infoPalette = labInfo->palette();
    infoPalette.setColor(QPalette::WindowText, ToQColor(InfoColor));
    labInfo->setPalette(infoPalette);
    labInfo->move(75, 59);

    psbOk = new TPiboSpeedButton(Panel1);
    psbOk->setObjectName(QStringLiteral("psbOk"));
    psbOk->SetPiboSpeedButtonType(pbstInfoButton);
    psbOk->SetCaption(QStringLiteral("确定"));
    psbOk->move(93, 94);
    psbOk->OnClick = [this]() { psbOkClick(); };

    psbClose = new TPiboSpeedButton(Panel1);
    psbClose->setObjectName(QStringLiteral("psbClose"));
    psbClose->SetPiboSpeedButtonType(psbtClose);
    psbClose->move(229, 5);
    psbClose->OnClick = [this]() { psbOkClick(); };

    Shape1 = NewBorderShape(this);
    Shape2 = NewBorderShape(this);
    Shape3 = NewBorderShape(this);
    Shape4 = NewBorderShape(this);

    ArrangeFrame();
}

void TFrmShowInfo::SetInfo(const QString& text)
{
    labInfo->setText(text);
    labInfo->resize(TextWidthOf(Font, text), TextHeightOf(Font, text));
}

void TFrmShowInfo::psbOkClick()
{
    SetModalResult(mrOk);
}

void TFrmShowInfo::ArrangeFrame()
{
    const int w = width();
    const int h = height();
    Panel1->setGeometry(0, 0, w, h);
    imaTop->move(0, 0);
    imaTopRight->move(w - imaTopRight->width(), 0);
    imaTopCenter->setGeometry(imaTop->width(), 0, std::max(0, w - imaTop->width() - imaTopRight->width()),
                              TitleHeight);
    Shape1->setGeometry(0, 0, 1, h);
    Shape2->setGeometry(0, 0, w, 1);
    Shape3->setGeometry(w - 1, 0, 1, h);
    Shape4->setGeometry(0, h - 1, w, 1);
}

void TFrmShowInfo::resizeEvent(QResizeEvent* event)
{
    TForm::resizeEvent(event);
    ArrangeFrame();
}

void TFrmShowInfo::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    if (!event->spontaneous()) {
        CenterOnScreen();
        psbOk->setFocus(Qt::OtherFocusReason);
    }
}

void TFrmShowInfo::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        psbOk->PerformClick();
        return;
    case Qt::Key_Escape:
        event->accept();
        psbClose->PerformClick();
        return;
    default: TForm::keyPressEvent(event);
    }
}

void ShowInfo(const QString& text)
{
    const auto form = std::make_unique<TFrmShowInfo>();
    const int w = TextWidthOf(form->Font, text);
    if (w > TFrmShowInfo::TextRoom) {
        form->SetClientSize(form->width() + w - TFrmShowInfo::TextRoom, form->height());
        form->psbOk->SetLeft(RoundHalfEven((form->width() - form->psbOk->Width()) / 2.0));
        form->psbClose->SetLeft(form->width() - form->psbClose->Width() - 10);
    }
    form->SetInfo(text);
    form->ShowModal();
}

TShowInfoExceptionHandler::TShowInfoExceptionHandler()
{
    SetApplicationExceptionHandler([](const QString& message) { ShowInfo(message); });
}

TShowInfoExceptionHandler::~TShowInfoExceptionHandler()
{
    SetApplicationExceptionHandler({});
}
