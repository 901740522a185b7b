// The editor control's popup windows: the list of popup forms that take the
// keys on its behalf, handing the focus to the newest of them, the caret
// shown without the focus, and the hint popup that shows collapsed code.
#include "TextEdit.h"

#include "TextCompletion.h"

#include <algorithm>

void TCustomTextEdit::CreateHintPopup()
{
    FHintPopup = std::make_unique<TTextCompletionProposal>();
    FHintPopup->SetDisplayType(ctHint);
    FHintPopup->SetTimerInterval(500);
    FHintPopup->SetClBackground(clInfoBk);
    // The hint is never a list: no shortcut opens its lines for completion.
    FHintPopup->SetShortCut(0);
}

void TCustomTextEdit::RegisterPopupForm(QWidget* form)
{
    if (form)
        FPopupForms.emplace_back(form);
}

void TCustomTextEdit::UnregisterPopupForm(QWidget* form)
{
    for (size_t i = FPopupForms.size(); i-- > 0;)
        if (FPopupForms[i].data() == form) {
            FPopupForms.erase(FPopupForms.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
}

int TCustomTextEdit::PopupFormCount() const
{
    return static_cast<int>(std::count_if(FPopupForms.begin(), FPopupForms.end(),
                                          [](const QPointer<QWidget>& form) { return !form.isNull(); }));
}

void TCustomTextEdit::SetFocus()
{
    for (size_t i = FPopupForms.size(); i-- > 0;)
        if (QWidget* form = FPopupForms[i].data()) {
            form->activateWindow();
            form->setFocus(Qt::PopupFocusReason);
            return;
        }
    activateWindow();
    setFocus(Qt::OtherFocusReason);
}

void TCustomTextEdit::SetShowCaretUnfocused(bool value)
{
    if (value == FShowCaretUnfocused)
        return;
    FShowCaretUnfocused = value;
    if (!hasFocus())
        update(CaretRect().adjusted(-1, -1, 1, 1));
}

void TCustomTextEdit::ShowHintPopup(const QStringList& items, const QPoint& screenPos)
{
    TTextCompletionProposal& hint = *FHintPopup;
    hint.SetItemList(items);
    hint.SetEditor(this);
    TFont font = hint.Font();
    font.Name = FFont.Name;
    font.Size = FFont.Size;
    hint.SetFont(font);
    hint.ShowAt(QString(), screenPos.x(), screenPos.y(), ctHint);
    FHintPopupShowing = true;
}

void TCustomTextEdit::HideHintPopup()
{
    if (!FHintPopupShowing)
        return;
    FHintPopupShowing = false;
    FHintPopup->CancelPopup();
}
