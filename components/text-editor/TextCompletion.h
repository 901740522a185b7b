#pragma once

// The completion popup: a small top-level window of our own that works for
// one or more editors. In its list kind it offers items for the word before
// the caret, narrows them while the user types and replaces the word by the
// chosen one; in its hint kind it shows a few lines near a point without
// taking the focus; in its parameter kind it shows a parameter list with
// one parameter in bold. Item texts may carry formatting commands
// (TextFormattedText.h). Every editor owns one popup and uses it as the hint
// that shows the lines of a collapsed fold.

#include "Graphics.h"
#include "ShortCuts.h"
#include "TextEdit.h"
#include "TextEditHighlighter.h"
#include "TextEditKeyCmds.h"
#include "TextFormattedText.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QStringList>
#include <QtWidgets/QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QScrollBar;
class QTimer;
class TImageList;
class TTextBaseCompletionProposal;

enum TextCompletionType : std::uint8_t { ctCode, ctHint, ctParams };

enum TTextCompletionOption : std::uint8_t {
    scoAnsiStrings,             // compare with the locale
    scoCaseSensitive,
    scoLimitToMatchedText,      // show only the matching items
    scoTitleIsCentered,
    scoUseInsertList,           // the inserted text comes from InsertList
    scoUsePrettyText,           // items carry formatting commands
    scoUseBuiltInTimer,
    scoEndCharCompletion,       // a word-break character completes with the selected item
    scoConsiderWordBreakChars,  // the highlighter's word-break characters end a word too
    scoCompleteWithTab,
    scoCompleteWithEnter
};
// A set of options, one bit per option in the order above.
using TTextCompletionOptions = std::uint16_t;
constexpr TTextCompletionOptions CompletionOptionBit(TTextCompletionOption option)
{
    return static_cast<TTextCompletionOptions>(1u << option);
}
// The list popup's usual set: limit to matched text, complete with an end
// character, with Tab and with Enter.
constexpr TTextCompletionOptions TextCompletionDefaultOptions = 0x684;

// The window of a popup. Created hidden and without a frame; the list kind
// takes the focus and registers with its editor as a popup form while it is
// shown, the hint and parameter kinds show without taking it.
class TTextBaseCompletionProposalForm : public QWidget {
public:
    explicit TTextBaseCompletionProposalForm(TTextBaseCompletionProposal* owner);
    ~TTextBaseCompletionProposalForm() override;

    TTextBaseCompletionProposal* Owner() const { return FOwner; }

    // The filter: what was typed of the word so far.
    const QString& TypedText() const { return FTypedText; }
    void SetTypedText(const QString& value);
    // The selected entry of the shown items.
    int SelectedItem() const { return FSelectedItem; }
    void SelectItem(int value);
    // Moves the selection by delta, kept within the shown items.
    void MoveSelection(int delta);
    // The first shown item at the top of the window.
    int ScrollPosition() const;
    int VisibleLines() const { return FVisibleLines; }
    int FontHeight() const { return FFontHeight; }
    int TitleTextHeight() const { return FTitleTextHeight; }
    // Pixels above the items: the title's text height + 4 with a title.
    int TitleHeight() const { return FTitle.isEmpty() ? 0 : FTitleTextHeight + 4; }
    // Pixels per item: ItemHeight when above 0, else the font's height.
    int LineHeight() const { return FItemHeight > 0 ? FItemHeight : FFontHeight; }
    // The width of the list kind's frame on each side.
    static int FrameWidth();

    QStringList& ItemList() { return FItemList; }
    QStringList& InsertList() { return FInsertList; }
    // The shown items, each with the index of its ItemList entry.
    const QStringList& FilteredItems() const { return FFilteredItems; }
    int FilteredIndex(int shown) const;
    // The shown items become a copy of ItemList.
    void ResetFilteredItems();

    TextCompletionType PopupKind() const { return FPopupKind; }
    void SetPopupKind(TextCompletionType value);
    TCharSet& WordBreakSet() { return FWordBreakSet; }
    bool InWordBreakSet(QChar c) const { return c.unicode() < 256 && FWordBreakSet.test(c.unicode()); }
    TCustomTextEdit* Editor() const { return FEditor.data(); }
    void SetEditor(TCustomTextEdit* value) { FEditor = value; }
    // An editor that is being destroyed: forgotten without being called.
    void ForgetEditor(QObject* editor);

    TColor ClSelect = clHighlight;
    TColor ClSelectedText = clHighlightText;
    TColor ClBackground = clWindow;
    TColor ClTitleBackground = clBtnFace;
    const TFont& Font() const { return FFont; }
    void SetFont(const TFont& value);
    const TFont& TitleFont() const { return FTitleFont; }
    void SetTitleFont(const TFont& value);
    const QString& Title() const { return FTitle; }
    void SetTitle(const QString& value);
    TProposalColumns& Columns() { return FColumns; }
    const TImageList* Images = nullptr;
    // The parameter the parameter kind shows in bold (0-based).
    int CurrentIndex = 0;
    int Margin = 2;
    int ItemHeight() const { return FItemHeight; }
    void SetItemHeight(int value);
    bool Resizeable() const { return FResizeable; }
    void SetResizeable(bool value);
    TTextCompletionOptions Options = 0;
    bool HasOption(TTextCompletionOption o) const { return (Options & CompletionOptionBit(o)) != 0; }

    QScrollBar* ScrollBar() const { return FScrollBar; }
    // Scroll range, page and state from the shown items and the window.
    void UpdateScrollBar();
    // The shown item under a client y; -1 outside the items.
    int ItemAtY(int y) const;
    // Whether the text to compare of ItemList entry index begins with the
    // typed text, as the options say.
    bool ItemMatches(int index, const QString& typed) const;
    // The text an ItemList entry is compared by.
    QString CompareText(int index) const;
    // A height in whole items, for a requested client height (list kind).
    int SnappedHeight(int requested) const;
    // Hides the window; a list with the keys gives them back to its editor.
    void HideHandingBackKeys();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool focusNextPrevChild(bool next) override;

private:
    friend class TTextCompletionProposal;
    void MeasureFonts();
    void PaintItems(QPainter& painter, const QRect& area);
    void PaintTitle(QPainter& painter, const QRect& area);
    void PaintFrame(QPainter& painter);
    void ScrollBarMoved(int value);
    void EnsureSelectionVisible();
    // The character keys of the list kind.
    void CharacterTyped(QChar c);

    TTextBaseCompletionProposal* FOwner;
    QString FTypedText;
    int FSelectedItem = 0;
    int FScrollPosition = 0;
    int FVisibleLines = 1;
    int FFontHeight = 0;
    int FTitleTextHeight = 0;
    int FItemHeight = 0;
    int FWheelAccumulator = 0;
    QStringList FItemList;
    QStringList FInsertList;
    QStringList FFilteredItems;
    std::vector<int> FFilteredIndexes;
    TextCompletionType FPopupKind = ctCode;
    TCharSet FWordBreakSet;
    QPointer<TCustomTextEdit> FEditor;
    // The editor that the form registered with while shown, and the editor's
    // unfocused-caret setting from before.
    QPointer<TCustomTextEdit> FShownFor;
    bool FSavedShowCaretUnfocused = false;
    bool FRegistered = false;
    bool FWasActive = false;
    TFont FFont;
    TFont FTitleFont;
    QString FTitle;
    TProposalColumns FColumns{nullptr};
    bool FResizeable = true;
    QScrollBar* FScrollBar = nullptr;
};

// The popup component: the settings, the events and the showing of its window.
class TTextBaseCompletionProposal : public QObject {
public:
    explicit TTextBaseCompletionProposal(QObject* owner = nullptr);
    ~TTextBaseCompletionProposal() override;

    TTextBaseCompletionProposalForm* Form() const { return FForm.get(); }

    TextCompletionType DefaultType() const { return FDefaultType; }
    // Sets the default and the current kind.
    void SetDefaultType(TextCompletionType value);
    // The kind shown now.
    TextCompletionType DisplayType() const { return FForm->PopupKind(); }
    void SetDisplayType(TextCompletionType value) { FForm->SetPopupKind(value); }
    TTextCompletionOptions Options() const { return FOptions; }
    virtual void SetOptions(TTextCompletionOptions value);
    QStringList ItemList() const { return FForm->ItemList(); }
    // A copy; the filter runs again.
    void SetItemList(const QStringList& value);
    QStringList InsertList() const { return FForm->InsertList(); }
    void SetInsertList(const QStringList& value) { FForm->InsertList() = value; }
    int NbLinesInWindow() const { return FNbLinesInWindow; }
    void SetNbLinesInWindow(int value) { FNbLinesInWindow = value; }
    int Width() const { return FWidth; }
    void SetWidth(int value) { FWidth = value; }
    TColor ClSelect() const { return FForm->ClSelect; }
    void SetClSelect(TColor value) { FForm->ClSelect = value; }
    TColor ClSelectedText() const { return FForm->ClSelectedText; }
    void SetClSelectedText(TColor value) { FForm->ClSelectedText = value; }
    TColor ClBackground() const { return FForm->ClBackground; }
    void SetClBackground(TColor value) { FForm->ClBackground = value; }
    TColor ClTitleBackground() const { return FForm->ClTitleBackground; }
    void SetClTitleBackground(TColor value) { FForm->ClTitleBackground = value; }
    QString Title() const { return FForm->Title(); }
    void SetTitle(const QString& value) { FForm->SetTitle(value); }
    const TFont& Font() const { return FForm->Font(); }
    void SetFont(const TFont& value) { FForm->SetFont(value); }
    const TFont& TitleFont() const { return FForm->TitleFont(); }
    void SetTitleFont(const TFont& value) { FForm->SetTitleFont(value); }
    TProposalColumns& Columns() { return FForm->Columns(); }
    void SetColumns(const TProposalColumns& value) { FForm->Columns().Assign(value); }
    bool Resizeable() const { return FForm->Resizeable(); }
    void SetResizeable(bool value) { FForm->SetResizeable(value); }
    int ItemHeight() const { return FForm->ItemHeight(); }
    void SetItemHeight(int value) { FForm->SetItemHeight(value); }
    // The image list is the caller's; set it back to nullptr before freeing it.
    const TImageList* Images() const { return FForm->Images; }
    void SetImages(const TImageList* value);
    int Margin() const { return FForm->Margin; }
    void SetMargin(int value) { FForm->Margin = value; }
    QString EndOfTokenChr() const { return FEndOfTokenChr; }
    void SetEndOfTokenChr(const QString& value) { FEndOfTokenChr = value; }
    QString TriggerChars() const { return FTriggerChars; }
    void SetTriggerChars(const QString& value) { FTriggerChars = value; }
    // The word before the one at the caret when the popup last opened.
    QString PreviousToken() const { return FPreviousToken; }
    TCustomTextEdit* FormEditor() const { return FForm->Editor(); }
    bool Visible() const;

    // Opens the popup with its top-left corner at a screen point: the list
    // kind filtered by text. Nothing shows without items.
    virtual void ShowAt(const QString& text, int x, int y, TextCompletionType kind);
    // Opens the popup for the word before the caret of an attached editor.
    virtual void ActivateFor(TCustomTextEdit* editor);
    virtual void ClosePopup();
    // ClosePopup, then OnCancelled.
    void CancelPopup();
    // The window's own cancel (Escape and the keys that end the popup): the
    // focus goes back to the editor.
    virtual void FormCancel();
    // Completes the word with the selected item; endToken is the character
    // that completed it (null for Tab, Enter and a double click).
    virtual void Complete(TShiftState shift, QChar endToken);
    // A character typed into the list: the editor types it.
    virtual void FormCharTyped(QChar c);

    std::function<void(TextCompletionType kind, TTextBaseCompletionProposal* sender, QString& currentInput, int& x,
                       int& y, bool& canExecute)>
        OnExecute;
    // The selection of the list moved; index is the ItemList index.
    std::function<void(TTextBaseCompletionProposal* sender, int index)> OnChange;
    std::function<void(TTextBaseCompletionProposal* sender, int index, TCanvas& canvas, const QRect& itemRect,
                       bool& customDraw)>
        OnPaintItem;
    std::function<void(TTextBaseCompletionProposal* sender, int index, TCanvas& canvas, int& itemWidth)> OnMeasureItem;
    // Kept for applications; the popup itself never calls it.
    std::function<void(TTextBaseCompletionProposal* sender, int currentIndex, int& level, int& indexToDisplay,
                       QChar& key, QString& displayString)>
        OnParameterToken;
    std::function<void(TTextBaseCompletionProposal* sender)> OnShow;
    std::function<void(TTextBaseCompletionProposal* sender)> OnClose;
    std::function<void(TTextBaseCompletionProposal* sender, QString& value, TShiftState shift, int index,
                       QChar endToken)>
        OnCodeCompletion;
    std::function<void(TTextBaseCompletionProposal* sender, const QString& value, TShiftState shift, int index,
                       QChar endToken)>
        OnAfterCodeCompletion;
    std::function<void(TTextBaseCompletionProposal* sender)> OnCancelled;

protected:
    // The window's size and place for its kind, kept on the screen.
    void PlaceWindow(int x, int y);
    bool FCanExecute = true;
    QString FPreviousToken;

private:
    friend class TTextBaseCompletionProposalForm;
    // The window went away: Width and NbLinesInWindow of the list kind take its size.
    void FormHidden();

    std::unique_ptr<TTextBaseCompletionProposalForm> FForm;
    TextCompletionType FDefaultType = ctCode;
    TTextCompletionOptions FOptions = 0;
    int FNbLinesInWindow = 8;
    int FWidth = 260;
    QString FEndOfTokenChr = QStringLiteral("()[]. ");
    QString FTriggerChars;
};

// The popup attached to editors: the shortcut that opens it, the keys and
// commands of the editors it hears, and the timer that opens it after a
// trigger character.
class TTextCompletionProposal : public TTextBaseCompletionProposal, private ITextEditCommandHook {
public:
    explicit TTextCompletionProposal(QObject* owner = nullptr);
    ~TTextCompletionProposal() override;

    void SetOptions(TTextCompletionOptions value) override;
    TShortCut ShortCut() const { return FShortCut; }
    void SetShortCut(TShortCut value) { FShortCut = value; }
    // The editor the popup works for; setting it detaches the old one and
    // attaches the new one.
    TCustomTextEdit* Editor() const { return FEditor.data(); }
    void SetEditor(TCustomTextEdit* value);
    int TimerInterval() const { return FTimerInterval; }
    void SetTimerInterval(int value);
    // The built-in timer; nullptr unless scoUseBuiltInTimer.
    QTimer* Timer() const { return FTimer; }

    void AttachEditor(TCustomTextEdit* editor);
    bool DetachEditor(TCustomTextEdit* editor);
    int EditorsCount() const { return static_cast<int>(FEditors.size()); }
    TCustomTextEdit* Editors(int index) const { return FEditors.at(static_cast<size_t>(index)).data(); }

    // The first column of the word being completed.
    int CompletionStart() const { return FCompletionStart; }
    bool SkipNextKey() const { return FSkipNextKey; }

    void ShowAt(const QString& text, int x, int y, TextCompletionType kind) override;
    void ActivateFor(TCustomTextEdit* editor) override;
    void ClosePopup() override;
    void FormCancel() override;
    void Complete(TShiftState shift, QChar endToken) override;
    void FormCharTyped(QChar c) override;

private:
    void EditorKeyDownHook(void* sender, std::uint16_t& key, TShiftState shift);
    void EditorKeyPressHook(void* sender, QChar& key);
    void HookedCommand(TCustomTextEdit* sender, bool afterProcessing, bool& handled, TTextEditorCommand& command,
                       QChar& aChar, void* data, void* handlerData) override;
    void TimerFired();
    void StopTimer();
    bool IsAttached(const TCustomTextEdit* editor) const;
    // Takes an editor that is going away out of the lists.
    // An attached editor going: forgotten while it is still an editor, so
    // no pointer to it is read once only its widget part is left.
    void EditorGoing(TCustomTextEdit* sender) override;
    void EditorDestroyed(QObject* editor);

    std::vector<QPointer<TCustomTextEdit>> FEditors;
    QPointer<TCustomTextEdit> FEditor;
    // The editor the timer opens the popup for.
    QPointer<TCustomTextEdit> FTimerEditor;
    int FCompletionStart = 0;
    bool FSkipNextKey = false;
    QTimer* FTimer = nullptr;
    TShortCut FShortCut;
    int FTimerInterval = 1000;
};
