#pragma once

// The rich-text editor control: the viewer plus editing. This is the part the
// editing engine calls (construction and flags, its document, read-only state,
// the undo limit, change notification, the current styles and their events,
// the caret-move notification, undo groups and clearing the history), and the
// caret the control draws over its document.

#include <cstdint>
#include <functional>
#include <memory>

#include <QtCore/QBasicTimer>
#include <QtCore/QRect>
#include <QtCore/QString>

#include "editing/RDERDData.h"
#include "viewer/RDRichDoc.h"

class TCanvas;

// Options of the editor (EditorOptions).
enum TRDEditorOption : uint16_t {
    rdoClearTagOnStyleApp = 1u << 0,
    rdoCtrlJumps = 1u << 1,
    rdoDoNotWantReturns = 1u << 2,
    rdoDoNotWantShiftReturns = 1u << 3,
    rdoWantTabs = 1u << 4,
    rdoAutoSwitchLang = 1u << 5,
    rdoHideReadOnlyCaret = 1u << 6,
    rdoNoImageResize = 1u << 7,
    rdoNoCaretHighlightJumps = 1u << 8,
};
using TRDEditorOptions = uint16_t;

class TCustomRichDocEdit;

// Asked for the new style of each styled item while a style operation runs.
using TRDStyleConversionHook = std::function<void(TCustomRichDocEdit* sender, int styleNo, int paraNo, int userData,
                                                  bool appliedToText, int& newStyleNo, bool wholeParagraphs)>;

class TCustomRichDocEdit : public TCustomRichDoc {
public:
    explicit TCustomRichDocEdit(QWidget* parent = nullptr);
    ~TCustomRichDocEdit() override;

    // The editor's document.
    TRDEditRDData* EditData() const;

    bool ReadOnly() const { return FReadOnly; }
    // Read-only switches hypertext on, editable switches it off; the caret follows.
    void SetReadOnly(bool value);
    // Stores the flag without the side effects of SetReadOnly.
    void SetReadOnlyFlag(bool value) { FReadOnly = value; }
    // The undo list's group limit: -1 unlimited, 0 records nothing.
    int UndoLimit() const;
    void SetUndoLimit(int value);
    bool Modified = false;
    TRDEditorOptions EditorOptions = rdoCtrlJumps | rdoWantTabs;
    // Milliseconds of the custom caret's timer (0: the control's own blinking caret).
    int CustomCaretInterval = 0;

    // Whether the document may change now: not read-only, a style sheet, no
    // item capturing the mouse (unless ignoreCapture) and OnChanging agrees.
    // A refusal beeps.
    bool CanChange(bool ignoreCapture = false);
    // The document changed: modified, OnChange; clearRedo empties the redo list.
    void Change(bool clearRedo);
    // OnCaretMove, unless the control is going.
    void DoCaretMove();
    // Opens an undo group of the kind on the document (ending the edit of a chosen item).
    bool BeginUndoGroup(uint8_t kind);
    void SetUndoGroupMode(bool open);
    // Both lists emptied.
    void ClearUndoHistory();

    // The caret's item and offset in it (1 while an item is chosen).
    int GetCaretItemIndex();
    int GetCaretItemOffset();

    // The current text style (may be INT_MAX: the paragraph's default) and paragraph style.
    int CurTextStyleNo() const;
    int CurParaStyleNo() const;
    // The current text style resolved against the current paragraph style.
    int GetEffectiveTextStyle() const;
    // Store the value and fire the event when it differs (or when the
    // document asks for the notification again, dsSubDataUnchosen).
    void SetCurTextStyleNo(int value);
    void SetCurParaStyleNo(int value);
    void DoCurTextStyleChanged();
    void DoCurParaStyleChanged();

    // The point that would place a system caret now (client coordinates):
    // kept at every caret update, with or without the focus.
    QPoint CaretPos() const { return FCaretPos; }
    // The caret rectangle the control draws (client coordinates; empty when none is shown).
    QRect CaretRect() const { return FCaretRect; }
    // Whether the blinking caret is in its visible phase now.
    bool CaretVisiblePhase() const { return FCaretOn; }
    // Places the drawn caret (client coordinates; height 0 hides it) and restarts its blinking.
    void ShowDrawnCaret(const QRect& rect, const QPoint& systemPos);
    void HideDrawnCaret();
    void SetCaretPosOnly(const QPoint& systemPos) { FCaretPos = systemPos; }
    // The custom caret's timer (timer 3 of the document).
    void StartCustomCaretTimer();
    void StopCustomCaretTimer();
    bool CustomCaretTimerActive() const { return FCustomCaretTimer.isActive(); }
    // One tick of the custom caret's timer: the caret is drawn again.
    void CustomCaretTick();

    std::function<void(QObject* sender)> OnChange;
    std::function<void(QObject* sender)> OnCaretMove;
    std::function<void(QObject* sender)> OnCurTextStyleChanged;
    std::function<void(QObject* sender)> OnCurParaStyleChanged;
    std::function<void(TCustomRichDocEdit* sender, bool& canEdit)> OnChanging;
    std::function<void(TCustomRichDocEdit* sender, int styleNo, int userData, bool appliedToText, int& newStyleNo)>
        OnStyleConversion;
    std::function<void(TCustomRichDocEdit* sender, int styleNo, int userData, bool appliedToText, int& newStyleNo)>
        OnParaStyleConversion;
    std::function<void(TCustomRichDocEdit* sender, const QString& oldText, TCustomRDData* rdData, int itemNo,
                       int& newTag, int& newStyleNo)>
        OnItemTextEdit;
    std::function<void(TCustomRichDocEdit* sender, TCanvas& canvas, const QRect& rect)> OnDrawCustomCaret;
    std::function<void(TCustomRichDocEdit* sender, QRect& rect)> OnMeasureCustomCaret;
    // The engine's question for the new style of each styled item while a
    // style operation runs (set by the style operations for their duration).
    TRDStyleConversionHook StyleConversionHook;

protected:
    std::unique_ptr<TRichDocRDData> CreateDocumentData() override;
    void DoVScrolled() override;
    void DoHScrolled() override;
    void BeforeScroll() override;
    void paintEvent(QPaintEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void timerEvent(QTimerEvent* e) override;

private:
    void RestartBlink();
    void InvalidateCaretRect(const QRect& rect);

    bool FReadOnly = false;
    QPoint FCaretPos{-1, -1};
    QRect FCaretRect;
    bool FCaretOn = false;
    QBasicTimer FBlinkTimer;
    QBasicTimer FCustomCaretTimer;
};

// The editor as screens place it.
class TRichDocEdit : public TCustomRichDocEdit {
public:
    using TCustomRichDocEdit::TCustomRichDocEdit;
};
