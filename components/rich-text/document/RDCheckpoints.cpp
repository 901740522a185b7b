// Checkpoints, positions, ranges, moving and joining items of a document.

#include "document/CRDData.h"
#include "document/RDDocEncoding.h"
#include "core/RDUnicode.h"

// Checkpoints.

int TCustomRDData::SetPendingCheckpoint(const QString& name, bool raiseEvent, const TRDTag& tag)
{
    if (PendingCP)
        return CPCount - 1;
    PendingCP = std::make_unique<TRDCPInfo>();
    PendingCP->Name = name;
    PendingCP->RaiseEvent = raiseEvent;
    PendingCP->Tag = tag;
    return CPCount++;
}

void TCustomRDData::AttachPendingCheckpoint(TCustomRDItemInfo* item, TRDCPInfo*& after,
                                            std::unique_ptr<TRDCPInfo>& pending)
{
    if (!pending)
        return;
    TRDCPInfo* cp = pending.get();
    cp->PrevCP = after;
    if (after) {
        cp->NextCP = after->NextCP;
        if (after->NextCP)
            after->NextCP->PrevCP = cp;
        after->NextCP = cp;
    } else {
        cp->NextCP = FirstCP;
        if (FirstCP)
            FirstCP->PrevCP = cp;
        FirstCP = cp;
    }
    if (after == LastCP)
        LastCP = cp;
    cp->Item = item;
    item->Checkpoint = std::move(pending);
}

void TCustomRDData::UnlinkCheckpoint(TRDCPInfo* cp, bool countOff)
{
    if (!cp)
        return;
    if (cp->PrevCP)
        cp->PrevCP->NextCP = cp->NextCP;
    else if (FirstCP == cp)
        FirstCP = cp->NextCP;
    if (cp->NextCP)
        cp->NextCP->PrevCP = cp->PrevCP;
    else if (LastCP == cp)
        LastCP = cp->PrevCP;
    cp->PrevCP = nullptr;
    cp->NextCP = nullptr;
    if (countOff)
        --CPCount;
}

void TCustomRDData::FreeCheckpoint(std::unique_ptr<TRDCPInfo>& cp, bool unlink, bool countOff)
{
    if (!cp)
        return;
    if (unlink)
        UnlinkCheckpoint(cp.get(), false);
    cp.reset();
    if (countOff)
        --CPCount;
}

void TCustomRDData::LinkCheckpoint(TRDCPInfo* cp, int itemNo)
{
    if (itemNo == -1)
        return;
    UpdateCheckpointItemNos();
    cp->ItemNo = itemNo;
    TRDCPInfo* after = nullptr;
    if (!FirstCP || itemNo < FirstCP->ItemNo) {
        after = nullptr;
    } else if (itemNo >= LastCP->ItemNo) {
        after = LastCP;
    } else {
        for (TRDCPInfo* c = FirstCP; c && c->ItemNo <= itemNo; c = c->NextCP)
            after = c;
    }
    cp->PrevCP = after;
    cp->NextCP = after ? after->NextCP : FirstCP;
    if (cp->NextCP)
        cp->NextCP->PrevCP = cp;
    else
        LastCP = cp;
    if (after)
        after->NextCP = cp;
    else
        FirstCP = cp;
}

void TCustomRDData::UpdateCheckpointItemNos()
{
    if (CPCount == 0)
        return;
    int seen = 0;
    for (int i = 0; i < ItemCount() && seen < CPCount; ++i)
        if (TRDCPInfo* cp = CheckpointOfItem(i)) {
            cp->ItemNo = i;
            ++seen;
        }
}

TRDCPInfo* TCustomRDData::CheckpointBefore(int i)
{
    UpdateCheckpointItemNos();
    TRDCPInfo* result = nullptr;
    for (TRDCPInfo* cp = FirstCP; cp && cp->ItemNo < i; cp = cp->NextCP)
        result = cp;
    return result;
}

// Positions and ranges.

int TCustomRDData::ComparePositions(int itemNo1, TCustomRDData* data2, int itemNo2)
{
    TCustomRDData* d1 = GetSourceData();
    int index1 = itemNo1;
    std::unique_ptr<TRDLocation> location1;
    TCustomRDData* d2 = data2->GetSourceData();
    int index2 = itemNo2;
    std::unique_ptr<TRDLocation> location2;
    while (d2 != d1) {
        d2->GetParentInfo(index2, location2);
        if (TCustomRDData* parent = d2->GetAbsoluteParentData()) {
            d2 = parent->GetSourceData();
            continue;
        }
        TCustomRDData* parent1 = d1->GetAbsoluteParentData();
        if (!parent1)
            throw ERichDocError("Error when comparing positions in the document");
        d1->GetParentInfo(index1, location1);
        d1 = parent1->GetSourceData();
        d2 = data2->GetSourceData();
        index2 = itemNo2;
        location2.reset();
    }
    if (index1 != index2)
        return index1 - index2;
    if (!location1 && !location2)
        return 0;
    if (location1 && !location2)
        return 1;
    if (!location1)
        return -1;
    return location1->Compare(*location2);
}

void TCustomRDData::WidenItemsToLines(int first, int last, int& newFirst, int& newLast) const
{
    newFirst = first;
    while (newFirst > 0 && !StartsNewLine(newFirst))
        --newFirst;
    newLast = last + 1;
    while (newLast < ItemCount() && !StartsNewLine(newLast))
        ++newLast;
    --newLast;
}

void TCustomRDData::WidenItemsToParagraphs(int first, int last, int& newFirst, int& newLast) const
{
    newFirst = first;
    while (newFirst > 0 && !StartsParagraph(newFirst))
        --newFirst;
    newLast = last + 1;
    while (newLast < ItemCount() && !StartsParagraph(newLast))
        ++newLast;
    --newLast;
}

bool TCustomRDData::EnumItems(const TRDEnumItemsProc& proc)
{
    bool cont = true;
    for (int i = 0; i < ItemCount() && cont; ++i) {
        proc(this, i, cont);
        if (!cont)
            break;
        std::unique_ptr<TRDStoreSubRDData> store;
        TCustomRDData* sub = ItemAt(i)->EnumSubDocuments(store, 0);
        while (sub && cont) {
            cont = sub->GetActiveData()->EnumItems(proc);
            if (cont)
                sub = ItemAt(i)->EnumSubDocuments(store, 4);
        }
    }
    return cont;
}

int TCustomRDData::IndexOfItemFrom(int from, const TCustomRDItemInfo* item)
{
    for (int i = std::max(from, 0); i < ItemCount(); ++i) {
        if (ItemAt(i) == item)
            return i;
        std::unique_ptr<TRDStoreSubRDData> store;
        for (TCustomRDData* sub = ItemAt(i)->EnumSubDocuments(store, 0); sub;
             sub = ItemAt(i)->EnumSubDocuments(store, 4))
            if (sub->GetActiveData()->IndexOfItemFrom(0, item) >= 0)
                return i;
    }
    return -1;
}

// Sharing and moving.

void TCustomRDData::EmptyItemListWithoutFreeing()
{
    if (FItems)
        FItems->clear();
    FirstCP = nullptr;
    LastCP = nullptr;
    PendingCP.reset();
    CPCount = 0;
}

void TCustomRDData::MoveItemsFrom(TCustomRDData* source)
{
    if (!source)
        return;
    if ((GetOptions() & rdoTagsArePChars) != (source->GetOptions() & rdoTagsArePChars))
        throw ERichDocError("Can't assign RichDoc to RichDoc - tags types mismatch");
    for (int i = 0; i < source->ItemCount(); ++i) {
        TCustomRDItemInfo* item = source->ItemAt(i);
        // The checkpoint travels with the item: it becomes this document's.
        if (item->Checkpoint)
            source->UnlinkCheckpoint(item->Checkpoint.get(), true);
        if (item->ContinuesPara())
            item->ParaNo = -1;
        AddItem(source->TextOfItem(i), std::move((*source->FItems)[i].Item));
    }
    if (source->PendingCP) {
        if (PendingCP) {
            source->FreeCheckpoint(source->PendingCP, false, true);
        } else {
            PendingCP = std::move(source->PendingCP);
            --source->CPCount;
            ++CPCount;
        }
    }
    source->EmptyItemListWithoutFreeing();
    const uint32_t was = source->State & rdstMovingItems;
    source->State |= rdstMovingItems;
    source->Clear();
    source->State = (source->State & ~rdstMovingItems) | was;
}

void TCustomRDData::NotifyItemsInserting(TCustomRDData* rdData, bool detached)
{
    for (int i = 0; i < ItemCount(); ++i) {
        QByteArray text = TextOfItem(i);
        ItemAt(i)->Inserting(rdData, text, detached);
        SetTextOfItem(i, text);
    }
}

void TCustomRDData::ShareItemsOf(TCustomRDData* other)
{
    if (!SharesItems())
        return;
    Clear();
    SetItemListFrom(other);
}

void TCustomRDData::SetItemListFrom(TCustomRDData* other)
{
    FItems = other ? other->FItems : nullptr;
}

// Joining.

bool TCustomRDData::ItemsCanMerge(int i, TCustomRDItemInfo* item1, bool joinAcrossBreaks,
                                  TCustomRDItemInfo* item2) const
{
    if (!item1 || !item2 || item1->StyleNo < 0 || item2->StyleNo < 0)
        return false;
    const bool empty1 = TextOfItem(i).isEmpty();
    const bool empty2 = TextOfItem(i + 1).isEmpty();
    const bool sameLine = joinAcrossBreaks || item2->ContinuesPara();
    if (empty1 && sameLine)
        return true;
    if (!empty1 && empty2 && sameLine)
        return true;
    if (item1->StyleNo != item2->StyleNo || !sameLine)
        return false;
    auto* self = const_cast<TCustomRDData*>(this);
    const TRDStyle* sheet = self->GetRDStyle();
    const int style1 = EffectiveStyleNo(*item1);
    const int style2 = EffectiveStyleNo(*item2);
    if (sheet && sheet->TextStyles().TextStyleAt(style1)->Unicode != sheet->TextStyles().TextStyleAt(style2)->Unicode)
        return false;
    if (item1->Hint != item2->Hint)
        return false;
    if (!SameTags(item1->Tag, item2->Tag, self->TagsArePChars()) || item2->Checkpoint)
        return false;
    if (empty1)
        return true;
    if (!empty2 && sheet && (sheet->TextStyles().TextStyleAt(style1)->Protection & (rdprModifyProtect | rdprConcateProtect)))
        return false;
    return true;
}

void TCustomRDData::JoinItems(int i, TCustomRDItemInfo* item1, TCustomRDItemInfo* item2)
{
    if (TextOfItem(i).isEmpty() && !TextOfItem(i + 1).isEmpty()) {
        item1->StyleNo = item2->StyleNo;
        item1->ItemOptions = (item1->ItemOptions & ~rdioUnicode) | (item2->ItemOptions & rdioUnicode);
    }
    (*FItems)[i].Text += TextOfItem(i + 1);
    FreeItem(std::move((*FItems)[i + 1].Item), false);
    FItems->erase(FItems->begin() + i + 1);
}

void TCustomRDData::JoinItemRange(int first, int last)
{
    first = std::max(first, 0);
    last = std::min(last, ItemCount() - 1);
    for (int c = last; c >= first + 1; --c) {
        MergeItemsInSubDocs(c);
        if (ItemsCanMerge(c - 1, ItemAt(c - 1), false, ItemAt(c)))
            JoinItems(c - 1, ItemAt(c - 1), ItemAt(c));
    }
    if (first < ItemCount() && first <= last)
        MergeItemsInSubDocs(first);
}

void TCustomRDData::MergeItemsInSubDocs(int i)
{
    std::unique_ptr<TRDStoreSubRDData> store;
    for (TCustomRDData* sub = ItemAt(i)->EnumSubDocuments(store, 0); sub;
         sub = ItemAt(i)->EnumSubDocuments(store, 4))
        sub->JoinItemRange(0, sub->ItemCount() - 1);
}
