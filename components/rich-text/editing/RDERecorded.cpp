// The recorded edit primitives: every change the editor makes to its
// document's items goes through them. Each one records what undoes it in the
// list that records now (undo or redo), then changes the document, and tells
// whether the width the document needs may have changed. Also the undo
// groups, published-property edits, numbering after edits and the
// reformatting that ends every edit.

#include "editing/RDERDData.h"

#include <algorithm>

#include <QtCore/QMetaProperty>
#include <QtCore/QObject>
#include <QtCore/QVariant>
#include <QtWidgets/QWidget>

#include "core/RDError.h"
#include "core/RDUnicode.h"
#include "document/RDMarkerLists.h"
#include "document/RDSeqLists.h"
#include "editing/RDEdit.h"
#include "items/RDControlItems.h"

namespace {

// The error of a record whose numbers no longer fit the document.
[[noreturn]] void RecordedUndoError()
{
    throw ERichDocError("Undo error");
}

template <typename T>
T* RecordedAdd(TRDUndoList* list, std::unique_ptr<T> record, uint8_t kind)
{
    record->Kind = kind;
    T* raw = record.get();
    list->AddInfo(std::move(record));
    return raw;
}

// Adds a property-change record: of the class of recordClass (the record being undone) or,
// without one, of class Record; fill sets what is particular to the kind of change.
template <typename Record, typename Fill>
TRDUndoModifyItemProps* RecordedAddPropsRecord(TRDUndoList* list, const TRDUndoModifyItemProps* recordClass,
                                               int itemNo, QObject* target, Fill&& fill)
{
    std::unique_ptr<TRDUndoModifyItemProps> made =
        recordClass ? recordClass->CreateSameClass() : std::make_unique<Record>();
    auto* record = dynamic_cast<Record*>(made.get());
    if (!record)
        throw ERichDocError("Incorrect adding into undo list");
    record->ItemIndex = itemNo;
    record->Target = target;
    fill(*record);
    return RecordedAdd(list, std::move(made), 15);
}

// The object whose published property an edit reads and sets.
QObject* RecordedPropertyObject(TCustomRDItemInfo* item, QObject* target)
{
    if (target)
        return target;
    auto* object = dynamic_cast<QObject*>(item);
    if (!object)
        throw ERichDocError("This item has no published properties");
    return object;
}

QMetaProperty RecordedFindProperty(const QObject* object, const QString& name)
{
    const QMetaObject* meta = object->metaObject();
    const int index = meta->indexOfProperty(name.toLatin1().constData());
    if (index < 0)
        throw ERichDocError(QStringLiteral("Unknown property %1").arg(name));
    return meta->property(index);
}

int RecordedReadInt(const QObject* object, const QString& name)
{
    return RecordedFindProperty(object, name).read(object).toInt();
}

// The item's property-change bracket, closed even when setting raised.
class TRecordedPropertyChange {
public:
    explicit TRecordedPropertyChange(TCustomRDItemInfo* item) : FItem(item) { FItem->BeforePropertyChange(); }
    ~TRecordedPropertyChange() { FItem->AfterPropertyChange(); }
    TRecordedPropertyChange(const TRecordedPropertyChange&) = delete;
    TRecordedPropertyChange& operator=(const TRecordedPropertyChange&) = delete;

private:
    TCustomRDItemInfo* FItem;
};

void RecordedWriteProperty(QObject* object, const QString& name, const QVariant& value)
{
    if (!RecordedFindProperty(object, name).write(object, value))
        throw ERichDocError(QStringLiteral("Cannot set property %1").arg(name));
}

}  // namespace

// ---- recording switch and groups ----

TRDUndoList* TRDEditRDData::GetRecordingUndoList()
{
    if (RecordingState == 1 && UndoList->MaxGroupCount != 0)
        return UndoList.get();
    if (RecordingState == 2)
        return RedoList.get();
    return nullptr;
}

bool TRDEditRDData::BeginUndoGroup(uint8_t kind, bool endChosenItemEditing)
{
    return BeginNamedUndoGroup(kind, QString(), endChosenItemEditing);
}

bool TRDEditRDData::BeginNamedUndoGroup(uint8_t kind, const QString& caption, bool endChosenItemEditing)
{
    if (endChosenItemEditing)
        EndChosenItemEditing();
    const int caretItem = GetCaretItemNo();
    const int caretOffset = GetCaretOffset();
    const bool accepted = UndoList->BeginGroup(kind, caption, caretItem, caretOffset);
    RecordingState = accepted ? 1 : 0;
    return accepted;
}

bool TRDEditRDData::BeginRedoGroup(uint8_t kind, const QString& caption)
{
    const int caretItem = GetCaretItemNo();
    const int caretOffset = GetCaretOffset();
    const bool accepted = RedoList->BeginGroup(kind, caption, caretItem, caretOffset);
    RecordingState = accepted ? 2 : 0;
    return accepted;
}

void TRDEditRDData::SetUndoGroupMode(bool open)
{
    UndoList->ChangeGroupMode(open);
}

void TRDEditRDData::EndChosenItemEditing()
{
    if (EndingChosenItemEditing)
        return;
    EndingChosenItemEditing = true;
    try {
        if (TCustomRDItemInfo* chosen = GetChosenItem())
            chosen->MergeInnerUndo();
        else if (TCustomRDItemInfo* holder = GetChosenSubItem())
            holder->MergeInnerUndo();
    } catch (...) {
        EndingChosenItemEditing = false;
        throw;
    }
    EndingChosenItemEditing = false;
}

void TRDEditRDData::AddModifyItemTerminator(int itemNo, bool opening)
{
    TRDUndoList* list = GetRecordingUndoList();
    if (!list)
        return;
    auto record = std::make_unique<TRDUndoModifyItemTerminator>();
    record->ItemIndex = itemNo;
    record->IsOpening = opening;
    RecordedAdd(list, std::move(record), 15);
}

void TRDEditRDData::RecordReformatRange(int firstItem, int lastItem, bool fullFormat)
{
    TRDUndoList* list = GetRecordingUndoList();
    if (!list)
        return;
    auto record = std::make_unique<TRDUndoReformateRange>();
    record->ItemIndex = firstItem;
    record->LastItemIndex = lastItem;
    record->FullFormat = fullFormat;
    RecordedAdd(list, std::move(record), 0);
}

// ---- helpers ----

bool TRDEditRDData::RecordedWidthCrosses(int widthBefore, int widthAfter) const
{
    return widthAfter != widthBefore && (widthBefore >= DocumentWidth || widthAfter > DocumentWidth);
}

std::unique_ptr<TRDCPInfo>& TRDEditRDData::RecordedCheckpointSlot(int itemNo)
{
    if (itemNo == -1)
        return PendingCP;
    if (itemNo < 0 || itemNo >= ItemCount())
        throw ERichDocError("Checkpoint error");
    return ItemAt(itemNo)->Checkpoint;
}

std::unique_ptr<TCustomRDItemInfo> TRDEditRDData::RecordedRemoveItem(int i, QByteArray& text, TRDUndoRecord* record)
{
    if (record) {
        ItemAt(i)->MovingToUndoList(i, this, record);
        return TakeItem(i, &text);
    }
    text = TextOfItem(i);
    FreeItemAt(i, false);
    FItems->erase(FItems->begin() + i);
    return nullptr;
}

TCustomRDItemInfo* TRDEditRDData::RecordedPlaceItem(int index, const QByteArray& text,
                                                    std::unique_ptr<TCustomRDItemInfo> item, bool fromUndoList)
{
    if (!item || index < 0 || index > ItemCount())
        RecordedUndoError();
    TCustomRDItemInfo* raw = item.get();
    QByteArray placed = text;
    raw->Inserting(this, placed, false);
    FItems->insert(FItems->begin() + index, TRDItemEntry{placed, std::move(item)});
    raw->Inserted(this, index);
    AddSeqItemToList(index);
    AddMarkerToList(index);
    if (fromUndoList)
        raw->MovingFromUndoList(index, this);
    raw->UpdatePaletteInfo(GetDoInPaletteMode(), false);
    return raw;
}

int TRDEditRDData::ParagraphEndItem(int itemNo)
{
    int last = std::clamp(itemNo, 0, std::max(ItemCount() - 1, 0));
    while (last + 1 < ItemCount() && !StartsParagraph(last + 1))
        ++last;
    return last;
}

// ---- deleting and inserting items ----

void TRDEditRDData::DeleteItemRecorded(int itemNo, bool& full)
{
    if (itemNo < 0 || itemNo >= ItemCount())
        RecordedUndoError();
    full = SectionWidthOf(itemNo) >= DocumentWidth;
    if (CheckpointOfItem(itemNo))
        DetachCheckpointRecorded(itemNo);
    TRDUndoDeleteItemInfo* record = nullptr;
    if (TRDUndoList* list = GetRecordingUndoList()) {
        auto made = std::make_unique<TRDUndoDeleteItemInfo>();
        made->ItemIndex = itemNo;
        made->Text = TextOfItem(itemNo);
        record = RecordedAdd(list, std::move(made), 1);
    }
    QByteArray text;
    std::unique_ptr<TCustomRDItemInfo> item = RecordedRemoveItem(itemNo, text, record);
    if (record)
        record->SavedItem = std::move(item);
}

void TRDEditRDData::DeleteItemsRecorded(int first, int last, bool& full)
{
    full = false;
    first = std::max(first, 0);
    last = std::min(last, ItemCount() - 1);
    if (last < first)
        return;
    full = RangeWidthOf(first, last) >= DocumentWidth;
    for (int i = last; i >= first; --i)
        if (CheckpointOfItem(i))
            DetachCheckpointRecorded(i);
    TRDUndoDeleteItemsInfo* record = nullptr;
    if (TRDUndoList* list = GetRecordingUndoList()) {
        auto made = std::make_unique<TRDUndoDeleteItemsInfo>();
        made->FirstItem = first;
        record = RecordedAdd(list, std::move(made), 2);
    }
    for (int i = last; i >= first; --i) {
        QByteArray text;
        std::unique_ptr<TCustomRDItemInfo> item = RecordedRemoveItem(i, text, record);
        if (record)
            record->Items.emplace_back(std::move(text), std::move(item));
    }
}

void TRDEditRDData::InsertItemRecorded(int index, const QByteArray& text, bool& full, bool fromUndoList,
                                       std::unique_ptr<TCustomRDItemInfo> item)
{
    full = false;
    if (!item || index < 0 || index > ItemCount())
        RecordedUndoError();
    // A new paragraph start in front of items that continued a paragraph
    // takes them into its own paragraph style.
    int lastIndex = -1;
    if (item->StartsParagraph() && index < ItemCount() && !StartsParagraph(index))
        lastIndex = ParagraphEndItem(index) + 1;
    std::unique_ptr<TRDCPInfo> checkpoint = std::move(item->Checkpoint);
    TRDUndoInsertItemInfo* record = nullptr;
    if (TRDUndoList* list = GetRecordingUndoList()) {
        auto made = std::make_unique<TRDUndoInsertItemInfo>();
        made->ItemIndex = index;
        made->LastItemIndex = lastIndex;
        record = RecordedAdd(list, std::move(made), 4);
    }
    TCustomRDItemInfo* placed = RecordedPlaceItem(index, text, std::move(item), fromUndoList);
    if (lastIndex >= 0) {
        bool paraFull = false;
        SetParaRangeRecorded(index + 1, lastIndex, paraFull, placed->ParaNo);
        full = full || paraFull;
    }
    if (checkpoint)
        AttachCheckpointRecorded(index, std::move(checkpoint));
    full = full || SectionWidthOf(index) > DocumentWidth;
    if (record)
        record->FullFormatNeeded = full;
}

TRDUndoInsertItemsInfo* TRDEditRDData::RecordInsertItems(int first, int count)
{
    TRDUndoList* list = GetRecordingUndoList();
    if (!list || count == 0)
        return nullptr;
    auto made = std::make_unique<TRDUndoInsertItemsInfo>();
    made->ItemIndex = first;
    made->Count = count;
    return RecordedAdd(list, std::move(made), 5);
}

void TRDEditRDData::FinishInsertItems(int first, int count, bool& full, TRDUndoInsertItemsInfo* record)
{
    full = false;
    const int last = first + count - 1;
    int lastIndex = -1;
    if (count > 0 && last + 1 < ItemCount() && !StartsParagraph(last + 1)) {
        lastIndex = ParagraphEndItem(last + 1);
        bool paraFull = false;
        SetParaRangeRecorded(last + 1, lastIndex, paraFull, ParaOfItem(last));
        full = paraFull;
    }
    for (int i = first; i <= last && i < ItemCount(); ++i) {
        std::unique_ptr<TRDCPInfo>& slot = ItemAt(i)->Checkpoint;
        if (!slot)
            continue;
        TRDCPInfo* cp = slot.get();
        // A checkpoint the caller linked in is taken out of the chain first.
        if (cp->PrevCP || cp->NextCP || FirstCP == cp)
            UnlinkCheckpoint(cp, true);
        std::unique_ptr<TRDCPInfo> taken = std::move(slot);
        AttachCheckpointRecorded(i, std::move(taken));
    }
    if (count > 0)
        full = full || RangeWidthOf(first, last) > DocumentWidth;
    if (record) {
        record->LastItemIndex = lastIndex;
        record->FullFormatNeeded = full;
    }
}

void TRDEditRDData::InsertItemListRecorded(
    int index, std::vector<std::pair<QByteArray, std::unique_ptr<TCustomRDItemInfo>>>& items, bool& full,
    bool fromUndoList)
{
    full = false;
    const int count = static_cast<int>(items.size());
    if (count == 0)
        return;
    if (index < 0 || index > ItemCount())
        RecordedUndoError();
    TRDUndoInsertItemsInfo* record = RecordInsertItems(index, count);
    // Last item first: each goes in at the same index, which restores the
    // order the items had before they were deleted.
    for (auto& [text, item] : items)
        RecordedPlaceItem(index, text, std::move(item), fromUndoList);
    items.clear();
    FinishInsertItems(index, count, full, record);
}

// ---- item text ----

void TRDEditRDData::DeleteSubstringRecorded(int itemNo, int position, int count)
{
    if (count == 0)
        return;
    if (itemNo < 0 || itemNo >= ItemCount() || ItemAt(itemNo)->StyleNo < 0)
        RecordedUndoError();
    TCustomRDItemInfo* item = ItemAt(itemNo);
    QByteArray s = TextOfItem(itemNo);
    const int flags = item->ItemOptions;
    if (flags & rdioUnicode)
        CheckEvenByteLength(s.size());
    const int length = CharLength(s, flags);
    if (position < 1 || position > length + 1)
        RecordedUndoError();
    if (count < 0 || position + count - 1 > length)
        count = length - position + 1;
    if (count <= 0)
        return;
    if (TRDUndoList* list = GetRecordingUndoList()) {
        auto made = std::make_unique<TRDUndoDeleteSubstringInfo>();
        made->ItemIndex = itemNo;
        made->Position = position;
        made->Text = CharCopy(s, position, count, flags);
        RecordedAdd(list, std::move(made), 3);
    }
    CharDelete(s, position, count, flags);
    DoItemAction(TRDItemAction::rdiaTextModifying, item, s, this);
    SetTextOfItem(itemNo, s);
}

void TRDEditRDData::InsertSubstringRecorded(int itemNo, int position, const QByteArray& chars)
{
    if (chars.isEmpty())
        return;
    if (itemNo < 0 || itemNo >= ItemCount() || ItemAt(itemNo)->StyleNo < 0)
        RecordedUndoError();
    TCustomRDItemInfo* item = ItemAt(itemNo);
    QByteArray s = TextOfItem(itemNo);
    const int flags = item->ItemOptions;
    if ((flags & rdioUnicode) && ((s.size() | chars.size()) & 1))
        RecordedUndoError();
    if (position < 1 || position > CharLength(s, flags) + 1)
        RecordedUndoError();
    if (TRDUndoList* list = GetRecordingUndoList()) {
        auto made = std::make_unique<TRDUndoInsertSubstringInfo>();
        made->ItemIndex = itemNo;
        made->Position = position;
        made->Length = CharLength(chars, flags);
        RecordedAdd(list, std::move(made), 6);
    }
    CharInsert(chars, s, position, flags);
    DoItemAction(TRDItemAction::rdiaTextModifying, item, s, this);
    SetTextOfItem(itemNo, s);
}

void TRDEditRDData::ChangeItemTextRecorded(int itemNo, const QByteArray& newText)
{
    if (itemNo < 0 || itemNo >= ItemCount())
        RecordedUndoError();
    if (TextOfItem(itemNo) == newText)
        return;
    TCustomRDItemInfo* item = ItemAt(itemNo);
    if (TRDUndoList* list = GetRecordingUndoList()) {
        auto made = std::make_unique<TRDUndoChangeTextInfo>();
        made->ItemIndex = itemNo;
        made->Text = TextOfItem(itemNo);
        RecordedAdd(list, std::move(made), 16);
    }
    QByteArray s = newText;
    DoItemAction(TRDItemAction::rdiaTextModifying, item, s, this);
    SetTextOfItem(itemNo, s);
}

// ---- paragraph styles ----

bool TRDEditRDData::SetParaRange(int first, int last, bool& full, int paraNo)
{
    full = false;
    first = std::max(first, 0);
    last = std::min(last, ItemCount() - 1);
    if (last < first)
        return false;
    const int widthBefore = RangeWidthOf(first, last);
    bool changed = false;
    for (int i = first; i <= last; ++i) {
        TCustomRDItemInfo* item = ItemAt(i);
        if (item->ParaNo == paraNo)
            continue;
        // A protected paragraph style stays, unless the item only continues
        // a paragraph whose earlier part already has the new style.
        const bool keeps = ParaHasOption(item->ParaNo, rdpaoStyleProtect)
                           && !(i > 0 && !item->StartsParagraph() && ItemAt(i - 1)->ParaNo == paraNo);
        if (keeps)
            continue;
        item->ParaNo = paraNo;
        changed = true;
    }
    if (changed) {
        const int widthAfter = RangeWidthOf(first, last);
        full = widthAfter > DocumentWidth || widthBefore >= DocumentWidth;
    }
    return changed;
}

void TRDEditRDData::SetParaRangeRecorded(int first, int last, bool& full, int paraNo)
{
    full = false;
    first = std::max(first, 0);
    last = std::min(last, ItemCount() - 1);
    if (last < first)
        return;
    TRDUndoParaListInfo* record = nullptr;
    if (TRDUndoList* list = GetRecordingUndoList()) {
        auto made = std::make_unique<TRDUndoParaListInfo>();
        made->FirstItem = first;
        for (int i = first; i <= last; ++i)
            made->Values.push_back(ItemAt(i)->ParaNo);
        record = RecordedAdd(list, std::move(made), 9);
    }
    SetParaRange(first, last, full, paraNo);
    if (record)
        record->FullFormatNeeded = full;
}

void TRDEditRDData::SetParaListRecorded(int first, const std::vector<int>& paraNos, bool& full)
{
    full = false;
    const int count = static_cast<int>(paraNos.size());
    if (count == 0)
        return;
    if (first < 0 || first + count > ItemCount())
        RecordedUndoError();
    const int last = first + count - 1;
    TRDUndoParaInfo* record = nullptr;
    if (TRDUndoList* list = GetRecordingUndoList()) {
        auto made = std::make_unique<TRDUndoParaInfo>();
        made->ItemIndex = first;
        made->Count = count;
        made->OldParaIndex = ItemAt(first)->ParaNo;
        for (int i = first; i <= last; ++i)
            if (!ItemAt(i)->GetBoolValue(0)) {
                made->OldParaIndex = ItemAt(i)->ParaNo;
                break;
            }
        record = RecordedAdd(list, std::move(made), 9);
    }
    const int widthBefore = RangeWidthOf(first, last);
    for (int i = first; i <= last; ++i)
        ItemAt(i)->ParaNo = paraNos[static_cast<size_t>(i - first)];
    full = RecordedWidthCrosses(widthBefore, RangeWidthOf(first, last));
    if (record)
        record->FullFormatNeeded = full;
}

// ---- text styles ----

void TRDEditRDData::SetItemStyleRecorded(int itemNo, int styleNo)
{
    if (itemNo < 0 || itemNo >= ItemCount())
        RecordedUndoError();
    TCustomRDItemInfo* item = ItemAt(itemNo);
    if (item->StyleNo < 0 || item->StyleNo == styleNo)
        return;
    if (TRDUndoList* list = GetRecordingUndoList()) {
        auto made = std::make_unique<TRDUndoStyleNoInfo>();
        made->ItemIndex = itemNo;
        made->OldStyleIndex = item->StyleNo;
        RecordedAdd(list, std::move(made), 13);
    }
    auto isUnicode = [this](int effective) {
        TRDStyle* sheet = GetRDStyle();
        return sheet && effective >= 0 && effective < sheet->TextStyles().Count()
               && sheet->TextStyles().TextStyleAt(effective)->Unicode;
    };
    const bool wasUnicode = isUnicode(EffectiveStyleNo(*item));
    item->StyleNo = styleNo;
    const bool nowUnicode = isUnicode(EffectiveStyleNo(*item));
    if (wasUnicode && !nowUnicode)
        item->ItemOptions &= ~rdioUnicode;
    else if (!wasUnicode && nowUnicode)
        item->ItemOptions |= rdioUnicode;
}

void TRDEditRDData::SetAssociatedStyleRecorded(int itemNo, int styleNo)
{
    if (itemNo < 0 || itemNo >= ItemCount())
        RecordedUndoError();
    TCustomRDItemInfo* item = ItemAt(itemNo);
    if (item->StyleNo >= 0)
        return;
    const int old = item->GetAssociatedTextStyleNo();
    if (old < 0 || old == styleNo)
        return;
    if (TRDUndoList* list = GetRecordingUndoList()) {
        auto made = std::make_unique<TRDUndoAssociatedTextStyleNoInfo>();
        made->ItemIndex = itemNo;
        made->OldStyleIndex = old;
        RecordedAdd(list, std::move(made), 13);
    }
    item->SetAssociatedTextStyleNo(styleNo);
}

// ---- paragraph, line and page breaks ----

void TRDEditRDData::SetContinuesParaRecorded(int itemNo, bool continues, bool& full, int newParaNo)
{
    full = false;
    if (itemNo < 0 || itemNo >= ItemCount())
        RecordedUndoError();
    TCustomRDItemInfo* item = ItemAt(itemNo);
    if (item->GetBoolValue(0))
        return;
    if (!continues && !item->ContinuesPara())
        return;
    if (continues) {
        bool breakFull = false;
        SetLineBreakRecorded(itemNo, false, breakFull);
        full = breakFull;
        SetPageBreakRecorded(itemNo, false);
    }
    const int lastIndex =
        itemNo + 1 < ItemCount() && !StartsParagraph(itemNo + 1) ? ParagraphEndItem(itemNo) : -1;
    TRDUndoNewLineInfo* record = nullptr;
    if (TRDUndoList* list = GetRecordingUndoList()) {
        auto made = std::make_unique<TRDUndoNewLineInfo>();
        made->ItemIndex = itemNo;
        made->LastItemIndex = lastIndex;
        made->ContinuedPara = item->ContinuesPara();
        made->OldParaIndex = item->ParaNo;
        record = RecordedAdd(list, std::move(made), 7);
    }
    const int runEnd = lastIndex >= 0 ? lastIndex : itemNo;
    bool paraFull = false;
    if (continues) {
        if (itemNo > 0)
            SetParaRangeRecorded(itemNo, runEnd, paraFull, ItemAt(itemNo - 1)->ParaNo);
    } else if (newParaNo >= 0) {
        SetParaRangeRecorded(itemNo, runEnd, paraFull, newParaNo);
    }
    full = full || paraFull;
    item->SetContinuesPara(continues);
    if (record)
        record->FullFormatNeeded = full;
}

void TRDEditRDData::SetLineBreakRecorded(int itemNo, bool lineBreak, bool& full)
{
    full = false;
    if (itemNo < 0 || itemNo >= ItemCount())
        RecordedUndoError();
    TCustomRDItemInfo* item = ItemAt(itemNo);
    const bool isSet = item->ContinuesPara() || item->HasLineBreakBefore();
    if (isSet == lineBreak)
        return;
    const int widthBefore = SectionWidthOf(itemNo);
    if (TRDUndoList* list = GetRecordingUndoList()) {
        auto made = std::make_unique<TRDUndoBRInfo>();
        made->ItemIndex = itemNo;
        made->HadLineBreak = item->HasLineBreakBefore();
        RecordedAdd(list, std::move(made), 8);
    }
    item->SetLineBreakBefore(lineBreak);
    full = RecordedWidthCrosses(widthBefore, SectionWidthOf(itemNo));
}

void TRDEditRDData::SetPageBreakRecorded(int itemNo, bool pageBreak)
{
    if (itemNo < 0 || itemNo >= ItemCount())
        RecordedUndoError();
    // A list marker opens the paragraph: the break goes before it.
    if (itemNo > 0 && ItemAt(itemNo - 1)->StyleNo == MarkerStyleNo)
        --itemNo;
    TCustomRDItemInfo* item = ItemAt(itemNo);
    const bool isSet = item->ContinuesPara() || item->BreaksPageBefore();
    if (isSet == pageBreak)
        return;
    // A page break ends a line break; that change is recorded first, so
    // that undo gives the line break back.
    if (pageBreak && item->HasLineBreakBefore()) {
        bool full = false;
        SetLineBreakRecorded(itemNo, false, full);
    }
    if (TRDUndoList* list = GetRecordingUndoList()) {
        auto made = std::make_unique<TRDUndoPageBreakInfo>();
        made->ItemIndex = itemNo;
        made->HadPageBreak = item->BreaksPageBefore();
        RecordedAdd(list, std::move(made), 10);
    }
    item->SetBreaksPageBefore(pageBreak);
}

// ---- extra properties and tags ----

void TRDEditRDData::SetExtraIntPropertyRecorded(int itemNo, int propId, int value)
{
    if (itemNo < 0 || itemNo >= ItemCount())
        RecordedUndoError();
    TCustomRDItemInfo* item = ItemAt(itemNo);
    int old = 0;
    if (!item->GetExtraIntProperty(propId, old) || old == value)
        return;
    if (TRDUndoList* list = GetRecordingUndoList()) {
        auto made = std::make_unique<TRDUndoExtraIntProperty>();
        made->ItemIndex = itemNo;
        made->OldValue = old;
        made->PropId = static_cast<uint8_t>(propId);
        RecordedAdd(list, std::move(made), 15);
    }
    item->SetExtraIntProperty(propId, value);
    // Width, height and frame interval change what a picture animates.
    if (propId == 3 || propId == 4 || propId == 13)
        item->UpdateAnimator(this);
}

void TRDEditRDData::SetExtraStrPropertyRecorded(int itemNo, int propId, const QString& value)
{
    if (itemNo < 0 || itemNo >= ItemCount())
        RecordedUndoError();
    TCustomRDItemInfo* item = ItemAt(itemNo);
    QString old;
    if (!item->GetExtraStrProperty(propId, old) || old == value)
        return;
    if (TRDUndoList* list = GetRecordingUndoList()) {
        auto made = std::make_unique<TRDUndoExtraStrProperty>();
        made->ItemIndex = itemNo;
        made->OldValue = old;
        made->PropId = static_cast<uint8_t>(propId);
        RecordedAdd(list, std::move(made), 15);
    }
    item->SetExtraStrProperty(propId, value);
}

void TRDEditRDData::SetItemTagRecorded(int itemNo, const TRDTag& tag, bool takeOver)
{
    if (itemNo < 0 || itemNo >= ItemCount())
        RecordedUndoError();
    TCustomRDItemInfo* item = ItemAt(itemNo);
    const bool tagsAreStrings = GetOptions() & rdoTagsArePChars;
    if (SameTags(item->Tag, tag, tagsAreStrings))
        return;
    if (TRDUndoList* list = GetRecordingUndoList()) {
        auto made = std::make_unique<TRDUndoTagInfo>();
        made->ItemIndex = itemNo;
        made->OldTag = CopyStringTag(item->Tag, tagsAreStrings);
        made->TagIsString = tagsAreStrings;
        RecordedAdd(list, std::move(made), 12);
    }
    item->Tag = takeOver ? tag : CopyStringTag(tag, tagsAreStrings);
}

// ---- checkpoints ----

void TRDEditRDData::AttachCheckpointRecorded(int itemNo, std::unique_ptr<TRDCPInfo> checkpoint)
{
    std::unique_ptr<TRDCPInfo>& slot = RecordedCheckpointSlot(itemNo);
    if (slot)
        throw ERichDocError("Checkpoint error");
    if (!checkpoint)
        return;
    if (TRDUndoList* list = GetRecordingUndoList()) {
        auto made = std::make_unique<TRDUndoAddCPInfo>();
        made->ItemIndex = itemNo;
        RecordedAdd(list, std::move(made), 14);
    }
    TRDCPInfo* cp = checkpoint.get();
    cp->Item = itemNo >= 0 ? ItemAt(itemNo) : nullptr;
    cp->PrevCP = cp->NextCP = nullptr;
    slot = std::move(checkpoint);
    ++CPCount;
    LinkCheckpoint(cp, itemNo);
}

void TRDEditRDData::DetachCheckpointRecorded(int itemNo)
{
    std::unique_ptr<TRDCPInfo>& slot = RecordedCheckpointSlot(itemNo);
    if (!slot)
        throw ERichDocError("Checkpoint error");
    if (slot.get() == LastVisibleCheckpoint)
        LastVisibleCheckpoint = nullptr;
    if (TRDUndoList* list = GetRecordingUndoList()) {
        auto made = std::make_unique<TRDUndoDeleteCPInfo>();
        made->ItemIndex = itemNo;
        made->TagIsString = GetOptions() & rdoTagsArePChars;
        TRDUndoDeleteCPInfo* record = RecordedAdd(list, std::move(made), 14);
        UnlinkCheckpoint(slot.get(), true);
        slot->Item = nullptr;
        record->Checkpoint = std::move(slot);
        return;
    }
    FreeCheckpoint(slot, itemNo != -1, true);
}

void TRDEditRDData::MoveCheckpointRecorded(int fromItem, int toItem)
{
    std::unique_ptr<TRDCPInfo>& source = RecordedCheckpointSlot(fromItem);
    if (!source)
        return;
    if (RecordedCheckpointSlot(toItem))
        DetachCheckpointRecorded(toItem);
    AttachCheckpointRecorded(toItem, source->CreateCopy(GetOptions() & rdoTagsArePChars));
    DetachCheckpointRecorded(fromItem);
}

// ---- joining ----

void TRDEditRDData::JoinItemsRecorded(int itemNo, bool& full)
{
    full = false;
    const int next = itemNo + 1;
    if (itemNo < 0 || next >= ItemCount())
        RecordedUndoError();
    TCustomRDItemInfo* first = ItemAt(itemNo);
    TCustomRDItemInfo* second = ItemAt(next);
    bool partFull = false;
    const bool unicodeDiffers = (first->ItemOptions & rdioUnicode) != (second->ItemOptions & rdioUnicode);
    // Texts of two encodings never go into one item: one of them must be empty.
    if (unicodeDiffers && !TextOfItem(itemNo).isEmpty() && !TextOfItem(next).isEmpty())
        throw ERichDocError("Can't perform Unicode operation");
    if (unicodeDiffers && !TextOfItem(next).isEmpty()) {
        // The first one is the empty one: the second takes its place.
        if (first->StartsParagraph()) {
            SetContinuesParaRecorded(next, false, partFull, first->ParaNo);
            full = full || partFull;
        }
        if (first->HasLineBreakBefore()) {
            SetLineBreakRecorded(next, true, partFull);
            full = full || partFull;
        }
        if (first->Checkpoint && !second->Checkpoint)
            MoveCheckpointRecorded(itemNo, next);
        DeleteItemRecorded(itemNo, partFull);
        full = full || partFull;
        return;
    }
    if (TextOfItem(itemNo).isEmpty()) {
        SetItemTagRecorded(itemNo, second->Tag, false);
        SetItemStyleRecorded(itemNo, second->StyleNo);
    }
    const QByteArray appended = TextOfItem(next);
    InsertSubstringRecorded(itemNo, CharLength(TextOfItem(itemNo), first->ItemOptions) + 1, appended);
    if (second->Checkpoint && !first->Checkpoint)
        MoveCheckpointRecorded(next, itemNo);
    DeleteItemRecorded(next, partFull);
    full = full || partFull;
}

// ---- controls ----

void TRDEditRDData::ResizeControlRecorded(int itemNo, int width, bool reformat, int height)
{
    if (itemNo < 0 || itemNo >= ItemCount())
        RecordedUndoError();
    auto* item = CheckItemClass<TRDControlItemInfo>(itemNo);
    QWidget* control = item->Control.data();
    if (!control || (control->width() == width && control->height() == height))
        return;
    if (TRDUndoList* list = GetRecordingUndoList()) {
        auto made = std::make_unique<TRDUndoResizeInfo>();
        made->ItemIndex = itemNo;
        made->OldWidth = control->width();
        made->OldHeight = control->height();
        RecordedAdd(list, std::move(made), 15);
    }
    const int oldWidth = control->width();
    ResizingControl = control;
    try {
        control->setGeometry(control->x(), control->y(), width, height);
    } catch (...) {
        ResizingControl = nullptr;
        throw;
    }
    ResizingControl = nullptr;
    if (!reformat)
        return;
    const int newSection = SectionWidthOf(itemNo);
    const int oldSection = newSection + oldWidth - width;
    const bool full = width != oldWidth && (oldSection >= DocumentWidth || newSection > DocumentWidth);
    ReformatKeepingCaret(full, false, false, itemNo, true);
    InvalidateControl();
}

// ---- published properties ----

namespace {

// Sets one published property of item itemNo (or of target) to value:
// nothing when it holds value already; otherwise recorded, when a list
// records, by a record of class Record that fill completes with the old value.
template <typename Record, typename Value, typename Fill>
TRDUndoModifyItemProps* RecordedSetProperty(TRDEditRDData& data, int itemNo, QObject* target,
                                            const TRDUndoModifyItemProps* recordClass, const Value& value,
                                            const QString& propName, Fill&& fill)
{
    if (itemNo < 0 || itemNo >= data.ItemCount())
        RecordedUndoError();
    TCustomRDItemInfo* item = data.ItemAt(itemNo);
    QObject* object = RecordedPropertyObject(item, target);
    const Value old = RecordedFindProperty(object, propName).read(object).template value<Value>();
    if (old == value)
        return nullptr;
    TRDUndoModifyItemProps* added = nullptr;
    if (TRDUndoList* list = data.GetRecordingUndoList()) {
        added = RecordedAddPropsRecord<Record>(list, recordClass, itemNo, target, [&](Record& record) {
            record.PropName = propName;
            record.OldValue = old;
            fill(record);
        });
    }
    TRecordedPropertyChange bracket(item);
    RecordedWriteProperty(object, propName, value);
    return added;
}

}  // namespace

TRDUndoModifyItemProps* TRDEditRDData::ModifyItemIntProperty(int itemNo, QObject* target,
                                                             const TRDUndoModifyItemProps* recordClass,
                                                             bool changesWidth, bool changesSize, int value,
                                                             const QString& propName)
{
    return RecordedSetProperty<TRDUndoModifyItemIntProperty>(
        *this, itemNo, target, recordClass, value, propName, [&](TRDUndoModifyItemIntProperty& record) {
            record.ChangesWidth = changesWidth;
            record.ChangesSize = changesSize;
        });
}

TRDUndoModifyItemProps* TRDEditRDData::ModifyItemStrProperty(int itemNo, QObject* target,
                                                             const TRDUndoModifyItemProps* recordClass,
                                                             const QString& value, const QString& propName)
{
    return RecordedSetProperty<TRDUndoModifyItemStrProperty>(*this, itemNo, target, recordClass, value, propName,
                                                             [](TRDUndoModifyItemStrProperty&) {});
}

TRDUndoModifyItemProps* TRDEditRDData::ModifyItemIntProperties(int itemNo, QObject* target,
                                                               const TRDUndoModifyItemProps* recordClass,
                                                               bool changesWidth, bool changesSize,
                                                               const std::vector<std::pair<QString, int>>& props)
{
    if (itemNo < 0 || itemNo >= ItemCount())
        RecordedUndoError();
    TCustomRDItemInfo* item = ItemAt(itemNo);
    QObject* object = RecordedPropertyObject(item, target);
    std::vector<std::pair<QString, int>> changing;  // name, old value; last entry first
    for (auto it = props.rbegin(); it != props.rend(); ++it) {
        const int old = RecordedReadInt(object, it->first);
        if (old != it->second)
            changing.emplace_back(it->first, old);
    }
    if (changing.empty())
        return nullptr;
    TRDUndoModifyItemProps* added = nullptr;
    if (TRDUndoList* list = GetRecordingUndoList()) {
        added = RecordedAddPropsRecord<TRDUndoModifyItemIntProperties>(
            list, recordClass, itemNo, target, [&](TRDUndoModifyItemIntProperties& record) {
                record.Props = changing;
                record.ChangesWidth = changesWidth;
                record.ChangesSize = changesSize;
            });
    }
    TRecordedPropertyChange bracket(item);
    for (const auto& [name, value] : props)
        RecordedWriteProperty(object, name, value);
    return added;
}

void TRDUndoModifyItemStrProperty::Undo(TRDEditRDData& data)
{
    if (ItemIndex < 0 || ItemIndex >= data.ItemCount())
        RecordedUndoError();
    TRDUndoModifyItemProps* opposite = data.ModifyItemStrProperty(ItemIndex, Target, this, OldValue, PropName);
    if (opposite)
        SetUpOpposite(opposite);
}

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoModifyItemStrProperty::CreateSameClass() const
{
    return std::make_unique<TRDUndoModifyItemStrProperty>();
}

// ---- numbering after edits ----

void TRDEditRDData::CollectNumbering(int first, int last, QStringList& seqNames, TRDIntegerList& listStyles,
                                     int& seqPos, int& markerPos, int& lastItem, bool beforeRange, bool widen)
{
    seqNames.clear();
    listStyles.Clear();
    seqPos = -1;
    markerPos = -1;
    lastItem = last;
    TRDMarkerList* markers = GetMarkerList(false);
    TRDSeqList* sequences = GetSeqList(false);
    if ((!markers && !sequences) || ItemCount() == 0)
        return;
    ClampItemNo(first);
    ClampItemNo(last);
    if (widen)
        WidenItemsToParagraphs(first, last, first, last);
    lastItem = last;
    TRDStyle* sheet = GetRDStyle();
    bool markerFound = false, seqFound = false;
    for (int i = first; i <= last; ++i) {
        TCustomRDItemInfo* item = ItemAt(i);
        if (item->StyleNo == MarkerStyleNo && markers) {
            TRDMarkerListEntry* marker = item->AsMarkerListEntry();
            if (!marker || !sheet || marker->ListNo < 0 || marker->ListNo >= sheet->ListStyles().Count())
                continue;
            if (!sheet->ListStyles().GetItem(marker->ListNo)->HasTextNumbering())
                continue;
            if (listStyles.IndexOf(marker->ListNo) < 0)
                listStyles.Add(marker->ListNo);
            if (!beforeRange || !markerFound)
                markerPos = marker->GetIndexInList(markers) - (beforeRange ? 1 : 0);
            markerFound = true;
        } else if (TRDSeqListEntry* seq = item->AsSeqListEntry(); seq && sequences) {
            const QString name = seq->SeqName.toLower();
            const auto at = std::lower_bound(seqNames.begin(), seqNames.end(), name);
            if (at == seqNames.end() || *at != name)
                seqNames.insert(at, name);
            if (!beforeRange || !seqFound)
                seqPos = seq->GetIndexInList(sequences) - (beforeRange ? 1 : 0);
            seqFound = true;
        }
    }
}

void TRDEditRDData::ApplyNumbering(int lastItem, int seqPos, const QStringList& seqNames,
                                   const TRDIntegerList& listStyles, int markerPos)
{
    TRDMarkerList* markers = GetMarkerList(false);
    TRDSeqList* sequences = GetSeqList(false);
    if (!markers && !sequences)
        return;
    if (seqNames.isEmpty() && listStyles.Count() == 0)
        return;
    TCustomRDItemInfo* lastTouched = nullptr;
    int lastTouchedNo = -1;
    bool elsewhere = false;
    auto note = [&](TCustomRDItemInfo* item) {
        if (!item)
            return;
        const int index = IndexOfItemFrom(std::max(lastItem + 1, 0), item);
        if (index < 0) {
            elsewhere = true;
        } else if (index > lastTouchedNo) {
            lastTouchedNo = index;
            lastTouched = item;
        }
    };
    if (markers && listStyles.Count() > 0) {
        const int from = std::max(markerPos + 1, 0);
        if (from < markers->Count())
            markers->RecalcCounters(from, GetRDStyle());
        const int last = LastMarkerIndexOfLists(markerPos, listStyles);
        if (last >= 0)
            note(dynamic_cast<TCustomRDItemInfo*>((*markers)[last]));
    }
    if (sequences && !seqNames.isEmpty()) {
        for (const QString& name : seqNames)
            for (int j = std::max(seqPos + 1, 0); j < sequences->Count(); ++j)
                if (SameSeqName((*sequences)[j]->SeqName, name)) {
                    sequences->RecalcCounters(j);
                    break;
                }
        const int last = LastSeqIndexOfNames(seqPos, seqNames);
        if (last >= 0)
            note(dynamic_cast<TCustomRDItemInfo*>((*sequences)[last]));
    }
    if (elsewhere) {
        // The numbers go on in another part of the document (a table cell):
        // the whole root is laid out again.
        RecordReformatRange(-1, -1, true);
        if (auto* root = dynamic_cast<TCustomRDFormattedData*>(GetAbsoluteRootData())) {
            root->FormatAll(false);
            root->InvalidateControl();
        }
        return;
    }
    if (!lastTouched || DrawItems.Count() == 0)
        return;
    const int first = std::min(lastItem + 1, lastTouchedNo);
    RecordReformatRange(first, lastTouchedNo, false);
    const int d1 = FirstDrawItemOfItem(first);
    const int d2 = LastDrawItemOfItem(lastTouchedNo);
    if (d1 >= 0 && d2 >= 0)
        FormatParagraphsOfDrawRange(d1, d2, true, 0);
}

void TRDEditRDData::RenumberAfterEdit(int first, int last)
{
    QStringList seqNames;
    TRDIntegerList listStyles;
    int seqPos = -1, markerPos = -1, lastItem = last;
    CollectNumbering(first, last, seqNames, listStyles, seqPos, markerPos, lastItem, false, false);
    ApplyNumbering(lastItem, seqPos, seqNames, listStyles, markerPos);
}

// ---- live spelling and reformatting ----

void TRDEditRDData::RespellFrom(int itemNo, int offset, bool clearMarks)
{
    if (itemNo < 0 || itemNo >= ItemCount())
        return;
    if (clearMarks)
        ItemAt(itemNo)->ClearWordPaintersFrom(offset - 1);
    if (Owner)
        Owner->RestartSpellingAt(GetSourceData(), itemNo, offset);
}

void TRDEditRDData::ReformatAfterEdit(bool full, int firstDrawItem, int lastDrawItem, int itemCountDelta)
{
    if (full && WidthFromItemToEnd(0, nullptr, GetCanvas()) != DocumentWidth) {
        DoFormat(false, true, false, false, false, GetCanvas(), 0, false);
        InvalidateControl();
        return;
    }
    if (DrawItems.Count() == 0) {
        FormatAll(false);
        return;
    }
    int d1 = std::clamp(firstDrawItem, 0, DrawItems.Count() - 1);
    int d2 = std::clamp(lastDrawItem, d1, DrawItems.Count() - 1);
    // When every item of the range is gone, the range takes in a neighbour
    // that is still there, so that the old draw items are replaced.
    if (DrawItems[d2]->ItemNo + itemCountDelta < DrawItems[d1]->ItemNo) {
        if (d1 > 0)
            --d1;
        else if (d2 + 1 < DrawItems.Count())
            ++d2;
        else {
            DoFormat(false, true, false, false, false, GetCanvas(), 0, false);
            InvalidateControl();
            return;
        }
    }
    FormatParagraphsOfDrawRange(d1, d2, true, itemCountDelta);
}

void TRDEditRDData::ReformatKeepingCaret(bool full, bool force, bool keepScroll, int itemNo, bool updateCaret)
{
    int caretItem = -1, caretOffset = 0;
    if (CaretDrawItemNo >= 0 && CaretDrawItemNo < DrawItems.Count() && CaretCharPosNo >= 0
        && CaretCharPosNo < static_cast<int>(CharPositions.size()))
        DrawPosToItemPos(CaretDrawItemNo, CharPositions[static_cast<size_t>(CaretCharPosNo)].DrawOffset, caretOffset,
                         caretItem);
    if (full || DrawItems.Count() == 0) {
        DoFormat(true, force, false, false, false, GetCanvas(), 0, keepScroll);
        InvalidateControl();
    } else {
        const int d = itemNo == caretItem ? CaretDrawItemNo : FirstDrawItemOfItem(itemNo);
        if (d >= 0)
            FormatParagraphsOfDrawRange(d, d, true, 0);
    }
    if (caretItem >= 0 && caretItem < ItemCount() && DrawItems.Count() > 0) {
        int drawOffset = 0, drawNo = -1;
        ItemPosToDrawPos(caretItem, caretOffset, drawOffset, drawNo);
        if (drawNo >= 0) {
            CaretDrawItemNo = drawNo;
            BuildCharPositions(drawOffset - 2);
            UpdateCaret(updateCaret, false, updateCaret);
        }
    }
    if (updateCaret)
        UpdateControl();
}

int TRDEditRDData::BeginItemModify(int itemNo)
{
    return SectionWidthOf(itemNo);
}

void TRDEditRDData::EndItemModify(int itemNo, int widthKept)
{
    const bool full = RecordedWidthCrosses(widthKept, SectionWidthOf(itemNo));
    ReformatKeepingCaret(full, true, false, itemNo, true);
}

// ---- persistent checkpoints ----

bool TRDEditRDData::HasPersistentCheckpoint(int itemNo)
{
    if (itemNo < 0 || itemNo >= ItemCount())
        return false;
    const TRDCPInfo* cp = CheckpointOfItem(itemNo);
    return cp && cp->Sticky;
}

bool TRDEditRDData::ParaHasPersistentCheckpoint(int itemNo)
{
    if (itemNo < 0 || itemNo >= ItemCount())
        return false;
    const int first = FirstItemOfPara(itemNo);
    const int last = ParagraphEndItem(itemNo);
    for (int i = first; i <= last; ++i)
        if (HasPersistentCheckpoint(i))
            return true;
    return false;
}

bool TRDEditRDData::MovePersistentCheckpointAway(int itemNo, bool preferPrevious)
{
    if (!HasPersistentCheckpoint(itemNo))
        return true;
    const int next = itemNo + 1;
    if (!preferPrevious && next < ItemCount() && !StartsParagraph(next) && !HasPersistentCheckpoint(next)) {
        MoveCheckpointRecorded(itemNo, next);
        return true;
    }
    if (itemNo > 0 && !StartsParagraph(itemNo) && !HasPersistentCheckpoint(itemNo - 1)) {
        MoveCheckpointRecorded(itemNo, itemNo - 1);
        return true;
    }
    return false;
}
