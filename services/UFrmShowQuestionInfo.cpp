#include "UFrmShowQuestionInfo.h"

#include "UPiboComponent.h"

#include <memory>

namespace {
constexpr int ButtonGap = 5;
}

TFrmShowQuestionInfo::TFrmShowQuestionInfo(QWidget* parent) : TFrmShowInfo(parent)
{
    psbOk->move(45, 94);

    ppsbCancel = new TPiboSpeedButton(Panel1);
    ppsbCancel->setObjectName(QStringLiteral("ppsbCancel"));
    ppsbCancel->SetPiboSpeedButtonType(pbstInfoButton);
    ppsbCancel->SetCaption(QStringLiteral("取消"));
    ppsbCancel->move(133, 94);
    ppsbCancel->OnClick = [this]() { ppsbCancelClick(); };

    psbClose->OnClick = [this]() { ppsbCancelClick(); };
    // Tab goes OK, cancel, then the close button.
    setTabOrder(psbOk, ppsbCancel);
    setTabOrder(ppsbCancel, psbClose);
}

void TFrmShowQuestionInfo::ppsbCancelClick()
{
    SetModalResult(mrCancel);
}

bool ShowQuestionInfo(const QString& text)
{
    const auto form = std::make_unique<TFrmShowQuestionInfo>();
    const int w = TextWidthOf(form->Font, text);
    if (w > TFrmShowInfo::TextRoom) {
        form->SetClientSize(form->width() + w - TFrmShowInfo::TextRoom, form->height());
        const int buttons = form->psbOk->Width() + form->ppsbCancel->Width();
        form->psbOk->SetLeft(RoundHalfEven((form->width() - buttons - ButtonGap) / 2.0));
        form->ppsbCancel->SetLeft(form->psbOk->Left() + form->psbOk->Width() + ButtonGap);
        form->psbClose->SetLeft(form->width() - form->psbClose->Width() - 10);
    }
    form->SetInfo(text);
    return form->ShowModal() == mrOk;
}
