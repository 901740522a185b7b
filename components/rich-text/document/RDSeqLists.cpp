// The sequence list and its numbering. The document's upkeep of its sequence
// fields: entering and removing them in the sequence list of the document
// tree, and renumbering.

#include "document/RDSeqLists.h"

#include <algorithm>

#include "document/CRDData.h"
#include "document/RDItemSearch.h"

// The sequence list.

int TRDSeqListEntry::GetIndexInList(const TRDSeqList* list)
{
    if (!list)
        return -1;
    if (IndexInList >= 0 && IndexInList < list->Count() && (*list)[IndexInList] == this)
        return IndexInList;
    IndexInList = list->IndexOf(this);
    return IndexInList;
}

bool SameSeqName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

int TRDSeqList::IndexOf(const TRDSeqListEntry* item) const
{
    const auto it = std::find(FItems.begin(), FItems.end(), item);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

void TRDSeqList::Delete(int index)
{
    FItems[index]->IndexInList = -1;
    FItems.erase(FItems.begin() + index);
}

int TRDSeqList::InsertAfter(TRDSeqListEntry* item, TRDSeqListEntry* prev)
{
    int at = 0;
    if (prev) {
        const int p = prev->GetIndexInList(this);
        at = p >= 0 ? p + 1 : 0;
    }
    FItems.insert(FItems.begin() + at, item);
    item->IndexInList = at;
    return at;
}

void TRDSeqList::RecalcCounters(int fromIndex)
{
    if (fromIndex < 0 || fromIndex >= Count())
        return;
    const QString name = FItems[fromIndex]->SeqName;
    // The last item of the sequence numbered so far.
    const TRDSeqListEntry* last = nullptr;
    for (int j = fromIndex - 1; j >= 0; --j)
        if (SameSeqName(FItems[j]->SeqName, name)) {
            last = FItems[j];
            break;
        }
    for (int i = fromIndex; i < Count(); ++i) {
        TRDSeqListEntry* item = FItems[i];
        item->IndexInList = i;
        if (!SameSeqName(item->SeqName, name))
            continue;
        if (item->Reset)
            item->Counter = item->StartFrom;
        else if (last)
            item->Counter = last->Counter == INT32_MAX ? INT32_MAX : last->Counter + 1;
        else
            item->Counter = 1;
        item->UpdateText();
        last = item;
    }
}

// The document's upkeep.

TRDSeqListEntry* TCustomRDData::PrevSeqItem(int i)
{
    return PrevItemOfKind<TRDSeqListEntry>(this, i);
}

void TCustomRDData::AddSeqItemToList(int i)
{
    if (i < 0 || i >= ItemCount())
        return;
    auto* seq = AsSeqEntry(ItemAt(i));
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
    auto* seq = AsSeqEntry(item);
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
