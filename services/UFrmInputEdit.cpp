#include "UFrmInputEdit.h"

#include "UPiboComponent.h"

#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>

#include <memory>

TFrmInputEdit::TFrmInputEdit(QWidget* parent) : TFrmModel(parent)
{
    SetClientSize(268, 171);

    Shape1 = new TFrameShape(Panel6);
    Shape1->PenColor = 15380224;
    Shape1->setGeometry(18, 24, 233, 63);

    labInputCaption = new QLabel(Panel6);
    labInputCaption->setObjectName(QStringLiteral("labInputCaption"));
    labInputCaption->setTextFormat(Qt::PlainText);
    labInputCaption->setAutoFillBackground(true);
    labInputCaption->move(32, 18);

    imaInputBG = new TFrameImage(Panel6);
    imaInputBG->Picture.SetTransparent(true);
    imaInputBG->LoadPicture(QStringLiteral("InputEditBG"));
    imaInputBG->move(35, 43);

    ediInput = new QLineEdit(Panel6);
    ediInput->setObjectName(QStringLiteral("ediInput"));
    ediInput->setFrame(false);
    ediInput->setGeometry(43, 46, 186, 17);
    // Enter in the field confirms, as pressing OK does.
    connect(ediInput, &QLineEdit::returnPressed, this, [this]() { ppsbOkClick(); });

    ppsbOk = new TPiboSpeedButton(Panel6);
    ppsbOk->setObjectName(QStringLiteral("ppsbOk"));
    ppsbOk->SetPiboSpeedButtonType(pbstInfoButton);
    ppsbOk->SetCaption(QStringLiteral("确定"));
    ppsbOk->move(77, 102);
    ppsbOk->OnClick = [this]() { ppsbOkClick(); };

    ppsbCancel = new TPiboSpeedButton(Panel6);
    ppsbCancel->setObjectName(QStringLiteral("ppsbCancel"));
    ppsbCancel->SetPiboSpeedButtonType(pbstInfoButton);
    ppsbCancel->SetCaption(QStringLiteral("取消"));
    ppsbCancel->move(165, 102);
    ppsbCancel->OnClick = [this]() { ppsbCancelClick(); };

    ediInput->setFocus();
}

void TFrmInputEdit::SetInputCaption(const QString& prompt)
{
    labInputCaption->setText(prompt);
    const TFont font;
    labInputCaption->resize(TextWidthOf(font, prompt), TextHeightOf(font, prompt));
}

void TFrmInputEdit::ppsbOkClick()
{
    SetModalResult(mrOk);
}

void TFrmInputEdit::ppsbCancelClick()
{
    SetModalResult(mrCancel);
}

void ShowInputEdit(const QString& title, const QString& prompt, QString& text, int& modalResult)
{
    const auto form = std::make_unique<TFrmInputEdit>();
    form->SetTitle(title);
    form->SetInputCaption(prompt);
    form->ediInput->setText(text);
    const int result = form->ShowModal();
    text = form->ediInput->text();
    modalResult = result == mrOk ? mrOk : mrCancel;
}
