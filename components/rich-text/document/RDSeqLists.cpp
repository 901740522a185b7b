// The document's upkeep of its sequence fields: entering and removing them
// in the sequence list of the document tree, and renumbering.

#include <algorithm>

#include "document/CRDData.h"
#include "document/RDItemSearch.h"
#include "items/RDLabelItems.h"

TRDSeqItemInfo* TCustomRDData::PrevSeqItem(int i)
{
    return PrevItemOfKind<TRDSeqItemInfo>(this, i);
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
