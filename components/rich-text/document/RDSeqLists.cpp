// The document's upkeep of its sequence fields: entering and removing them
// in the sequence list of the document tree, and renumbering.

#include <algorithm>

#include "CRDData.h"
#include "RDLabelItems.h"

namespace {

// The last sequence item at or before item i of rdData, looking into the
// nested documents of the items passed (last to first).
TRDSeqItemInfo* LastSeqItemUpTo(TCustomRDData* rdData, int i)
{
    for (i = std::min(i, rdData->ItemCount() - 1); i >= 0; --i) {
        TCustomRDItemInfo* item = rdData->ItemAt(i);
        if (auto* seq = dynamic_cast<TRDSeqItemInfo*>(item))
            return seq;
        std::unique_ptr<TRDStoreSubRDData> store;
        for (TCustomRDData* sub = item->EnumSubDocuments(store, 1); sub; sub = item->EnumSubDocuments(store, 5)) {
            TCustomRDData* active = sub->GetActiveData();
            if (TRDSeqItemInfo* found = LastSeqItemUpTo(active, active->ItemCount() - 1))
                return found;
        }
    }
    return nullptr;
}

}  // namespace

TRDSeqItemInfo* TCustomRDData::PrevSeqItem(int i)
{
    if (TRDSeqItemInfo* found = LastSeqItemUpTo(this, i))
        return found;
    TCustomRDData* parent = GetAbsoluteParentData();
    if (!parent)
        return nullptr;
    int parentItemNo = -1;
    std::unique_ptr<TRDLocation> location;
    GetParentInfo(parentItemNo, location);
    if (parentItemNo < 0)
        return nullptr;
    return parent->PrevSeqItem(parentItemNo - 1);
}

void TCustomRDData::AddSeqItemToList(int i)
{
    if (i < 0 || i >= ItemCount())
        return;
    auto* seq = dynamic_cast<TRDSeqItemInfo*>(ItemAt(i));
    if (!seq)
        return;
    TRDSeqList* list = GetSeqList(true);
    // An item outside every list has no cached place, so a new item is not
    // searched for in a long list.
    if (!list || (seq->IndexInList >= 0 && seq->GetIndexInList(list) >= 0))
        return;
    list->RecalcCounters(list->InsertAfter(seq, PrevSeqItem(i - 1)));
}

void TCustomRDData::RemoveSeqItemFromList(TCustomRDItemInfo* item, bool keepNumbers)
{
    auto* seq = dynamic_cast<TRDSeqItemInfo*>(item);
    if (!seq || seq->IndexInList < 0)
        return;
    TRDSeqList* list = GetSeqList(false);
    if (!list)
        return;
    const int index = seq->GetIndexInList(list);
    if (index < 0)
        return;
    list->Delete(index);
    if (list->Count() == 0) {
        DestroySeqList();
        return;
    }
    // Later items keep their cached places right.
    for (int j = index; j < list->Count(); ++j)
        (*list)[j]->IndexInList = j;
    if (keepNumbers)
        return;
    // The items of the removed item's sequence after it count again.
    for (int j = index; j < list->Count(); ++j)
        if (SameSeqName((*list)[j]->SeqName, seq->SeqName)) {
            list->RecalcCounters(j);
            break;
        }
}

int TCustomRDData::LastSeqIndexOfNames(int i, const QStringList& names)
{
    const TRDSeqList* list = GetSeqList(false);
    if (!list)
        return -1;
    for (int j = list->Count() - 1; j > i; --j)
        if (std::binary_search(names.begin(), names.end(), (*list)[j]->SeqName.toLower()))
            return j;
    return -1;
}

void TCustomRDData::DestroyOwnSeqListForClear()
{
    if (GetAbsoluteRootData() != this)
        return;
    if (TRDSeqList* list = GetSeqList(false)) {
        for (int j = 0; j < list->Count(); ++j)
            (*list)[j]->IndexInList = -1;
        DestroySeqList();
    }
}
