#pragma once

// Searching a document tree backwards for the last item of one kind (list
// markers, sequence fields): within a document, into the documents nested in
// its items, and on in the documents around it.

#include <algorithm>
#include <memory>
#include <type_traits>

#include "document/CRDData.h"
#include "document/RDItem.h"

// The item as T: list entries through the item's own answer, other kinds
// by a cast.
template <typename T>
T* ItemAsKind(TCustomRDItemInfo* item)
{
    if constexpr (std::is_same_v<T, TRDMarkerListEntry>)
        return item->AsMarkerListEntry();
    else if constexpr (std::is_same_v<T, TRDSeqListEntry>)
        return item->AsSeqListEntry();
    else
        return dynamic_cast<T*>(item);
}
inline TRDMarkerListEntry* AsMarkerEntry(TCustomRDItemInfo* item) { return item ? item->AsMarkerListEntry() : nullptr; }
inline TRDSeqListEntry* AsSeqEntry(TCustomRDItemInfo* item) { return item ? item->AsSeqListEntry() : nullptr; }

// The last item of kind T at or before item i of rdData, looking into the
// nested documents of the items passed (last to first).
template <typename T>
T* LastItemOfKindUpTo(TCustomRDData* rdData, int i)
{
    for (i = std::min(i, rdData->ItemCount() - 1); i >= 0; --i) {
        TCustomRDItemInfo* item = rdData->ItemAt(i);
        if (auto* found = ItemAsKind<T>(item))
            return found;
        std::unique_ptr<TRDStoreSubRDData> store;
        for (TCustomRDData* sub = item->EnumSubDocuments(store, 1); sub; sub = item->EnumSubDocuments(store, 5)) {
            TCustomRDData* active = sub->GetActiveData();
            if (T* found = LastItemOfKindUpTo<T>(active, active->ItemCount() - 1))
                return found;
        }
    }
    return nullptr;
}

// The same, going on in the documents around rdData, before the item that
// holds it.
template <typename T>
T* PrevItemOfKind(TCustomRDData* rdData, int i)
{
    if (T* found = LastItemOfKindUpTo<T>(rdData, i))
        return found;
    TCustomRDData* parent = rdData->GetAbsoluteParentData();
    if (!parent)
        return nullptr;
    int parentItemNo = -1;
    std::unique_ptr<TRDLocation> location;
    rdData->GetParentInfo(parentItemNo, location);
    if (parentItemNo < 0)
        return nullptr;
    return PrevItemOfKind<T>(parent, parentItemNo - 1);
}
