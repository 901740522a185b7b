#include "editing/RDERDData.h"

#include <climits>

#include "document/RDItem.h"
#include "editing/RDEdit.h"
#include "styles/RDStyle.h"

TRDEditRDData::TRDEditRDData(TCustomRichDoc* owner)
    : TRichDocRDData(owner),
      UndoList(std::make_unique<TRDUndoList>(GetRootData())),
      RedoList(std::make_unique<TRDRedoList>(GetRootData()))
{
    TabNavigation = TRDTabNavigationType::rdtnNone;
}

TRDEditRDData::~TRDEditRDData()
{
    // The records may hold items whose release asks this document.
    UndoList.reset();
    RedoList.reset();
}

TCustomRichDocEdit* TRDEditRDData::Editor() const
{
    return static_cast<TCustomRichDocEdit*>(Owner);
}

// ---- resets ----

void TRDEditRDData::ClearFormatting()
{
    CharPositions.clear();
    CaretDrawItemNo = -1;
    CaretCharPosNo = -1;
    ItemResizer.reset();
    DropPendingTag();
    State &= ~dsOpenInsertion;
    StopCustomCaretTimer();
    FreeCaretBackground();
    TRichDocRDData::ClearFormatting();
}

void TRDEditRDData::Clear()
{
    TRichDocRDData::Clear();
    Editor()->Modified = false;
    UndoList->Clear();
    RedoList->Clear();
    LastSwitchableStyleNo = 0;
    SetCurrentTextStyleNo(0);
    SetCurrentParaNo(0);
    State |= dsCaretReset;
}

void TRDEditRDData::EnsureNotEmpty()
{
    if (ItemCount() != 0 || GetRDStyle() == nullptr)
        return;
    AddTextRawNoTag(QByteArray(), CurrentTextStyleNo, CurrentParaNo);
    FormatAll(false);
    if (DrawItems.Count() > 0) {
        CaretDrawItemNo = 0;
        BuildCharPositions(-1);
        CaretCharPosNo = 0;
    }
}

bool TRDEditRDData::HasNoDrawItems() const
{
    return DrawItems.Count() == 0;
}

bool TRDEditRDData::CaretValid() const
{
    return CaretDrawItemNo >= 0 && CaretDrawItemNo < DrawItems.Count() && CaretCharPosNo >= 0
           && CaretCharPosNo < int(CharPositions.size());
}

// ---- the caret as an item position ----

int TRDEditRDData::GetCaretItemNo()
{
    EnsureNotEmpty();
    if (TCustomRDItemInfo* chosen = GetChosenItem()) {
        if (CaretDrawItemNo >= 0 && CaretDrawItemNo < DrawItems.Count()
            && ItemAt(DrawItems[CaretDrawItemNo]->ItemNo) == chosen)
            return DrawItems[CaretDrawItemNo]->ItemNo;
        return IndexOfItem(chosen);
    }
    if (CaretDrawItemNo < 0 || CaretDrawItemNo >= DrawItems.Count())
        return -1;
    return DrawItems[CaretDrawItemNo]->ItemNo;
}

int TRDEditRDData::GetCaretOffset()
{
    EnsureNotEmpty();
    if (GetChosenItem())
        return 1;
    if (!CaretValid())
        return -1;
    const TRDDrawLineInfo* di = DrawItems[CaretDrawItemNo];
    const int drawOffset = CharPositions[size_t(CaretCharPosNo)].DrawOffset;
    if (ItemAt(di->ItemNo)->StyleNo < 0)
        return drawOffset;
    return di->Offs + drawOffset - 1;
}

// ---- current styles and the pending tag ----

void TRDEditRDData::SetCurrentTextStyleNo(int value)
{
    Editor()->SetCurTextStyleNo(value);
}

void TRDEditRDData::SetCurrentParaNo(int value)
{
    Editor()->SetCurParaStyleNo(value);
}

int TRDEditRDData::GetCurrentStyleNo()
{
    return ResolveStyleNo(CurrentTextStyleNo, CurrentParaNo);
}

void TRDEditRDData::DropPendingTag()
{
    PendingTag = TRDTag();
}

void TRDEditRDData::TakePendingTag()
{
    DropPendingTag();
    const int itemNo = GetCaretItemNo();
    if (itemNo < 0 || itemNo >= ItemCount())
        return;
    if (EffectiveStyleOfItem(itemNo) == CurrentTextStyleNo)
        PendingTag = CopyStringTag(TagOfItem(itemNo), GetOptions() & rdoTagsArePChars);
}

// ---- change notification ----

void TRDEditRDData::DoChange(bool clearRedo)
{
    Editor()->Modified = true;
    if (!(State & dsOpenInsertion))
        DropPendingTag();
    Editor()->Change(clearRedo);
}

// ---- the drop caret of a drag over the editor ----

void TRDEditRDData::AcquireDragDropCaret()
{
    if (!(GetControlFlags() & cfOwnOptions))
        return;
    if (!DragDropCaret)
        DragDropCaret = std::make_unique<TRDDragDropCaretInfo>();
    ++DragDropCaret->RefCount;
}

void TRDEditRDData::ReleaseDragDropCaret()
{
    if (!DragDropCaret)
        return;
    if (--DragDropCaret->RefCount <= 0)
        DragDropCaret.reset();
}

TRDDragDropCaretInfo* TRDEditRDData::GetDragDropCaret()
{
    if (GetControlFlags() & cfOwnOptions)
        return DragDropCaret.get();
    auto* root = dynamic_cast<TCustomRDFormattedData*>(GetAbsoluteRootData());
    return root && root != this ? root->GetDragDropCaret() : nullptr;
}

// ---- overrides of the formatted document and the viewer's document ----

void TRDEditRDData::SetChosenItem(TCustomRDItemInfo* item)
{
    TCustomRDItemInfo* const old = GetChosenItem();
    TRichDocRDData::SetChosenItem(item);
    if (old != item)
        Editor()->DoCaretMove();
}

void TRDEditRDData::StylesRenumbered(const TRDStyleMaps& maps)
{
    // Old records hold old style numbers.
    Editor()->ClearUndoHistory();
    auto renumber = [](const TRDIntegerList& map, int value) {
        return value >= 0 && value < map.Count() ? value + 1 - map[value] : value;
    };
    int text = CurrentTextStyleNo, para = CurrentParaNo;
    if (text != -1)
        text = renumber(maps.TextMap, text);
    if (LastSwitchableStyleNo >= 0 && LastSwitchableStyleNo < maps.TextMap.Count())
        LastSwitchableStyleNo = maps.TextMap[LastSwitchableStyleNo] > 0
                                    ? renumber(maps.TextMap, LastSwitchableStyleNo)
                                    : 0;
    if (para != -1)
        para = renumber(maps.ParaMap, para);
    if (Editor()->GetInplaceEditor() == nullptr) {
        // Announced again even when the numbers stay: they name other styles now.
        State |= dsSubDataUnchosen;
        SetCurrentParaNo(para);
        SetCurrentTextStyleNo(text);
    } else {
        CurrentTextStyleNo = text;
        CurrentParaNo = para;
    }
    TRichDocRDData::StylesRenumbered(maps);
}

void TRDEditRDData::MarkUsedStyles(TRDStyleUsage& usage)
{
    TRichDocRDData::MarkUsedStyles(usage);
    if (CurrentTextStyleNo != -1) {
        CurrentTextStyleNo = GetCurrentStyleNo();
        if (CurrentTextStyleNo >= 0 && CurrentTextStyleNo < usage.TextUsed.Count())
            usage.TextUsed.SetItem(CurrentTextStyleNo, 1);
    }
    if (CurrentParaNo >= 0 && CurrentParaNo < usage.ParaUsed.Count())
        usage.ParaUsed.SetItem(CurrentParaNo, 1);
}

void TRDEditRDData::UnchooseAllBut(TCustomRDItemInfo* keep)
{
    const bool hadChosen = GetChosenItem() != nullptr;
    TRichDocRDData::UnchooseAllBut(keep);
    if (!hadChosen)
        return;
    for (TCustomRDData* d = this; d != nullptr; d = d->GetParentData())
        if (d->State & dsClearing)
            return;
    Editor()->DoCaretMove();
}

void TRDEditRDData::FinishFormatHook()
{
    TRichDocRDData::FinishFormatHook();
    StopCustomCaretTimer();
    StartCustomCaretTimer();
}

void TRDEditRDData::BeforeCaretMove()
{
    // Live spelling checks the word the caret leaves.
    if (Owner->SpellingThread() == nullptr || CaretDrawItemNo < 0 || CaretDrawItemNo >= DrawItems.Count())
        return;
    Owner->SpellingWordLeft(this, DrawItems[CaretDrawItemNo]->ItemNo);
}

void TRDEditRDData::ClickSelectsItem()
{
    const int d = GetDrawItemUnderMouse();
    if (d < 0 || d != MouseDownDrawItem || d >= DrawItems.Count())
        return;
    const TCustomRDItemInfo* item = ItemAt(DrawItems[d]->ItemNo);
    if (!item->GetBoolValue(7) && !item->GetBoolValue(10))
        return;
    if (SelStartNo >= 0 && (SelStartNo != SelEndNo || SelStartOffs != SelEndOffs))
        return;
    SelStartNo = SelEndNo = d;
    SelStartOffs = 0;
    SelEndOffs = 1;
}

bool TRDEditRDData::GetDragSource(QMimeData*& data, Qt::DropActions& allowed)
{
    if (!TRichDocRDData::GetDragSource(data, allowed))
        return false;
    // An editor that may delete the selection lets it be moved.
    constexpr uint16_t readOnlyDragFlag = 512;
    if ((GetControlFlags() & cfOwnOptions) && (!Editor()->ReadOnly() || (GetControlFlags() & readOnlyDragFlag))
        && CanDeleteSelection())
        allowed |= Qt::MoveAction;
    return true;
}

void TRDEditRDData::ConvertAssociatedStyle(int itemNo, int userData, bool appliedToText)
{
    TCustomRichDocEdit* editor = Editor();
    if (!editor->StyleConversionHook || itemNo < 0 || itemNo >= ItemCount())
        return;
    const TCustomRDItemInfo* item = ItemAt(itemNo);
    const int old = item->GetAssociatedTextStyleNo();
    if (old < 0)
        return;
    int styleNo = old;
    editor->StyleConversionHook(editor, old, item->ParaNo, userData, appliedToText, styleNo, false);
    if (styleNo != old)
        SetAssociatedStyleRecorded(itemNo, styleNo);
}

void TRDEditRDData::SelectRange(int itemNo, int offset, int length, bool backwards)
{
    if (itemNo < 0 || itemNo >= ItemCount())
        return;
    HideDragDropCaret();
    Deselect(nullptr, false);
    if (backwards)
        StoreSelection(itemNo, offset + length, itemNo, offset);
    else
        StoreSelection(itemNo, offset, itemNo, offset + length);
    InvalidateControl();
    AfterMouseSelection(true);
    RefreshControl();
}

void TRDEditRDData::GetSearchStart(bool fromStart, bool wholeDocument, int& itemNo, int& offset)
{
    if (wholeDocument) {
        TRichDocRDData::GetSearchStart(fromStart, true, itemNo, offset);
        return;
    }
    itemNo = GetCaretItemNo();
    offset = GetCaretOffset();
    if (itemNo < 0) {
        TRichDocRDData::GetSearchStart(fromStart, false, itemNo, offset);
        return;
    }
    if (fromStart) {
        if (offset >= EndOffsetOf(itemNo) && itemNo + 1 < ItemCount()) {
            ++itemNo;
            offset = StartOffsetOf(itemNo);
        }
    } else if (offset <= StartOffsetOf(itemNo) && itemNo > 0) {
        --itemNo;
        offset = EndOffsetOf(itemNo);
    }
}

void TRDEditRDData::GetSelBoundsDraw(int& startNo, int& startOffs, int& endNo, int& endOffs, bool normalize)
{
    if (SelStartNo < 0 && CaretValid()) {
        startNo = endNo = CaretDrawItemNo;
        startOffs = endOffs = CharPositions[size_t(CaretCharPosNo)].DrawOffset;
        return;
    }
    TRichDocRDData::GetSelBoundsDraw(startNo, startOffs, endNo, endOffs, normalize);
}

void TRDEditRDData::GetSelBoundsItems(int& startItem, int& startOffs, int& endItem, int& endOffs, bool normalize)
{
    if (SelStartNo < 0) {
        startItem = endItem = GetCaretItemNo();
        startOffs = endOffs = GetCaretOffset();
        return;
    }
    TRichDocRDData::GetSelBoundsItems(startItem, startOffs, endItem, endOffs, normalize);
}

void TRDEditRDData::GetSelStartDraw(int& drawNo, int& offset)
{
    TRichDocRDData::GetSelStartDraw(drawNo, offset);
    if (drawNo < 0 && CaretValid()) {
        drawNo = CaretDrawItemNo;
        offset = CharPositions[size_t(CaretCharPosNo)].DrawOffset;
    }
}

void TRDEditRDData::AfterMouseSelection(bool scroll)
{
    TRichDocRDData::AfterMouseSelection(scroll);
    if (SelEndNo >= 0 && SelEndNo < DrawItems.Count()) {
        if (StyleOfDrawItem(SelEndNo) == MarkerStyleNo && SelEndNo + 1 < DrawItems.Count()) {
            ++SelEndNo;
            SelEndOffs = DrawItemStartOffset(SelEndNo);
        }
        CaretDrawItemNo = SelEndNo;
        BuildCharPositions(SelEndOffs - 2);
    }
    UpdateCaret(scroll, false, true);
}
