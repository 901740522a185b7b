#include "editing/RDEdit.h"

#include <QtGui/QFocusEvent>
#include <QtGui/QGuiApplication>
#include <QtGui/QPainter>
#include <QtGui/QPaintEvent>
#include <QtGui/QStyleHints>
#include <QtWidgets/QApplication>

#include "styles/RDStyle.h"
#include "viewer/RDLiveSpell.h"
#include "viewer/RDViewerGuard.h"

TCustomRichDocEdit::TCustomRichDocEdit(QWidget* parent) : TCustomRichDoc(parent)
{
    ControlFlags = (ControlFlags & ~(cfJumpsActive | cfExternalLeading)) | cfEditor;
    Cursor = Qt::IBeamCursor;
    LiveSpellingMode = TRDLiveSpellingMode::rdlspOnChange;
}

TCustomRichDocEdit::~TCustomRichDocEdit()
{
    FDestroying = true;
    FBlinkTimer.stop();
    FCustomCaretTimer.stop();
}

TRDEditRDData* TCustomRichDocEdit::EditData() const
{
    return static_cast<TRDEditRDData*>(DocumentData());
}

std::unique_ptr<TRichDocRDData> TCustomRichDocEdit::CreateDocumentData()
{
    return std::make_unique<TRDEditRDData>(this);
}

// ---- flags ----

void TCustomRichDocEdit::SetReadOnly(bool value)
{
    FReadOnly = value;
    TRDEditRDData* data = EditData();
    if (value)
        data->EnableJumps(true);
    else
        data->DisableJumps();
    if (Style() != nullptr && !data->HasNoDrawItems())
        data->UpdateCaret(false, true, false);
    viewport()->update();
}

int TCustomRichDocEdit::UndoLimit() const
{
    return EditData()->UndoList->MaxGroupCount;
}

void TCustomRichDocEdit::SetUndoLimit(int value)
{
    EditData()->UndoList->MaxGroupCount = value;
}

// ---- changes ----

bool TCustomRichDocEdit::CanChange(bool ignoreCapture)
{
    TRDEditRDData* data = EditData();
    bool allowed = !FReadOnly && Style() != nullptr && (ignoreCapture || data->GetCapturingItem() == nullptr);
    if (allowed && OnChanging)
        OnChanging(this, allowed);
    if (!allowed) {
        data->BeepIfEnabled();
        return false;
    }
    // Live spelling stops reading the document until the change is announced.
    if (TRDWordEnumThread* thread = SpellingThread())
        thread->Pause(false);
    data->EnsureNotEmpty();
    if (data->ClearSoftPageBreaks())
        viewport()->update();
    return true;
}

void TCustomRichDocEdit::Change(bool clearRedo)
{
    TRDEditRDData* data = EditData();
    Modified = true;
    if (data->ClearSoftPageBreaks())
        viewport()->update();
    data->DisableJumps();
    if (clearRedo)
        data->RedoList->Clear();
    if (OnChange)
        OnChange(this);
    if (data->UndoList->GroupModeDepth == 0) {
        if (SpellingThread() != nullptr)
            ContinueSpelling();
        else if (LiveSpellingMode == TRDLiveSpellingMode::rdlspOnChange)
            StartLiveSpelling();
    }
}

void TCustomRichDocEdit::DoCaretMove()
{
    if (Destroying())
        return;
    if (OnCaretMove)
        OnCaretMove(this);
}

bool TCustomRichDocEdit::BeginUndoGroup(uint8_t kind)
{
    return EditData()->BeginUndoGroup(kind, true);
}

void TCustomRichDocEdit::SetUndoGroupMode(bool open)
{
    EditData()->SetUndoGroupMode(open);
}

void TCustomRichDocEdit::ClearUndoHistory()
{
    if (auto* inner = dynamic_cast<TCustomRichDocEdit*>(GetInplaceEditor()))
        inner->ClearUndoHistory();
    EditData()->UndoList->Clear();
    EditData()->RedoList->Clear();
}

int TCustomRichDocEdit::GetCaretItemIndex()
{
    return EditData()->GetCaretItemNo();
}

int TCustomRichDocEdit::GetCaretItemOffset()
{
    return EditData()->GetCaretOffset();
}

// ---- current styles ----

int TCustomRichDocEdit::CurTextStyleNo() const
{
    return EditData()->CurrentTextStyleNo;
}

int TCustomRichDocEdit::CurParaStyleNo() const
{
    return EditData()->CurrentParaNo;
}

int TCustomRichDocEdit::GetEffectiveTextStyle() const
{
    return EditData()->GetCurrentStyleNo();
}

void TCustomRichDocEdit::SetCurTextStyleNo(int value)
{
    TRDEditRDData* data = EditData();
    if (value == data->CurrentTextStyleNo && !(data->State & dsSubDataUnchosen))
        return;
    data->State &= ~dsSubDataUnchosen;
    data->CurrentTextStyleNo = value;
    DoCurTextStyleChanged();
}

void TCustomRichDocEdit::SetCurParaStyleNo(int value)
{
    TRDEditRDData* data = EditData();
    if (value == data->CurrentParaNo && !(data->State & dsSubDataUnchosen))
        return;
    data->CurrentParaNo = value;
    DoCurParaStyleChanged();
}

void TCustomRichDocEdit::DoCurTextStyleChanged()
{
    if (Style() == nullptr || Destroying() || !OnCurTextStyleChanged)
        return;
    OnCurTextStyleChanged(this);
}

void TCustomRichDocEdit::DoCurParaStyleChanged()
{
    if (Style() == nullptr || Destroying() || !OnCurParaStyleChanged)
        return;
    OnCurParaStyleChanged(this);
}

// ---- the drawn caret ----

void TCustomRichDocEdit::InvalidateCaretRect(const QRect& rect)
{
    if (!rect.isEmpty())
        viewport()->update(rect);
}

void TCustomRichDocEdit::RestartBlink()
{
    FCaretOn = true;
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (flash > 0 && !FCaretRect.isEmpty())
        FBlinkTimer.start(flash / 2, this);
    else
        FBlinkTimer.stop();
}

void TCustomRichDocEdit::ShowDrawnCaret(const QRect& rect, const QPoint& systemPos)
{
    FCaretPos = systemPos;
    InvalidateCaretRect(FCaretRect);
    FCaretRect = rect;
    RestartBlink();
    InvalidateCaretRect(FCaretRect);
}

void TCustomRichDocEdit::HideDrawnCaret()
{
    InvalidateCaretRect(FCaretRect);
    FCaretRect = QRect();
    FCaretOn = false;
    FBlinkTimer.stop();
}

void TCustomRichDocEdit::StartCustomCaretTimer()
{
    if (CustomCaretInterval > 0)
        FCustomCaretTimer.start(CustomCaretInterval, this);
}

void TCustomRichDocEdit::StopCustomCaretTimer()
{
    FCustomCaretTimer.stop();
}

void TCustomRichDocEdit::CustomCaretTick()
{
    EditData()->DrawCustomCaret();
}

void TCustomRichDocEdit::paintEvent(QPaintEvent* e)
{
    TCustomRichDoc::paintEvent(e);
    if (!FCaretOn || FCaretRect.isEmpty() || !FCaretRect.intersects(e->rect()) || !HasFocusWithin())
        return;
    // The caret inverts the pixels it covers.
    QPainter painter(viewport());
    painter.setCompositionMode(QPainter::CompositionMode_Difference);
    painter.fillRect(FCaretRect, Qt::white);
}

void TCustomRichDocEdit::timerEvent(QTimerEvent* e)
{
    if (e->timerId() == FBlinkTimer.timerId()) {
        FCaretOn = !FCaretOn;
        InvalidateCaretRect(FCaretRect);
        return;
    }
    if (e->timerId() == FCustomCaretTimer.timerId()) {
        ViewerGuarded("custom caret", [this] { CustomCaretTick(); });
        return;
    }
    TCustomRichDoc::timerEvent(e);
}

void TCustomRichDocEdit::focusInEvent(QFocusEvent* e)
{
    TCustomRichDoc::focusInEvent(e);
    if (Destroying())
        return;
    ViewerGuarded("focus", [this] {
        TRDEditRDData* data = EditData();
        data->EnsureNotEmpty();
        if (Style() != nullptr && !data->HasNoDrawItems()) {
            data->UpdateCaret(true, true, false);
            viewport()->update();
        }
    });
}

void TCustomRichDocEdit::focusOutEvent(QFocusEvent* e)
{
    TCustomRichDoc::focusOutEvent(e);
    if (Destroying())
        return;
    TRDEditRDData* data = EditData();
    if (data->GetAbsoluteRootData()->State & dsFocusingCellEditor)
        return;
    ViewerGuarded("focus", [this, data] {
        data->DisableJumps();
        data->EraseCustomCaret();
        HideDrawnCaret();
    });
}

// ---- scrolling moves the caret with the document ----

void TCustomRichDocEdit::DoVScrolled()
{
    TCustomRichDoc::DoVScrolled();
    if (Style() != nullptr && !EditData()->HasNoDrawItems())
        ViewerGuarded("scroll", [this] { EditData()->UpdateCaret(false, true, false); });
}

void TCustomRichDocEdit::DoHScrolled()
{
    TCustomRichDoc::DoHScrolled();
    if (Style() != nullptr && !EditData()->HasNoDrawItems())
        ViewerGuarded("scroll", [this] { EditData()->UpdateCaret(false, true, false); });
}

void TCustomRichDocEdit::BeforeScroll()
{
    TCustomRichDoc::BeforeScroll();
    EditData()->EraseCustomCaret();
}
