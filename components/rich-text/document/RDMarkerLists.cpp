// The document's upkeep of its list markers: entering and removing markers
// in the root's marker list, renumbering, and the markers' parts of RDF reads
// and writes.

#include "document/CRDData.h"
#include "document/RDItemSearch.h"
#include "document/RDFDocIO.h"
#include "core/RDFStream.h"
#include "items/RDMarkerItems.h"

TRDMarkerItemInfo* TCustomRDData::PrevMarkerItem(int i)
{
    return PrevItemOfKind<TRDMarkerItemInfo>(this, i);
}

void TCustomRDData::AddMarkerToList(int i)
{
    if (i < 0 || i >= ItemCount())
        return;
    // The kind first: it rules out most items without a type test.
    if (ItemAt(i)->StyleNo != MarkerStyleNo)
        return;
    auto* marker = dynamic_cast<TRDMarkerItemInfo*>(ItemAt(i));
    if (!marker)
        return;
    TRDMarkerList* list = GetMarkerList(true);
    if (!list)
        return;
    // A marker outside every list has no cached index.
    if (marker->ListIndex >= 0 && marker->GetIndexInList(list) >= 0)
        return;
    list->InsertAfter(marker, PrevMarkerItem(i - 1));
    list->RecalcCounters(marker->ListIndex, GetRDStyle());
}

void TCustomRDData::RemoveMarkerFromList(TCustomRDItemInfo* item, bool keepNumbers)
{
    auto* marker = dynamic_cast<TRDMarkerItemInfo*>(item);
    if (!marker || marker->StyleNo != MarkerStyleNo || marker->ListIndex < 0)
        return;
    TRDMarkerList* list = GetMarkerList(false);
    if (!list)
        return;
    const int index = marker->GetIndexInList(list);
    if (index < 0)
        return;
    list->Delete(index);
    if (list->Count() == 0) {
        DestroyMarkerList();
        return;
    }
    if (keepNumbers)
        return;
    // The markers of the removed marker's list after it count again.
    for (int j = index; j < list->Count(); ++j)
        if ((*list)[j]->ListNo == marker->ListNo) {
            list->RecalcCounters(j, GetRDStyle());
            break;
        }
}

void TCustomRDData::RenumberMarkersFrom(int i, bool create)
{
    if (i < 0 || i >= ItemCount())
        return;
    auto* marker = dynamic_cast<TRDMarkerItemInfo*>(ItemAt(i));
    if (!marker)
        return;
    TRDMarkerList* list = GetMarkerList(create);
    const int index = marker->GetIndexInList(list);
    if (index >= 0)
        list->RecalcCounters(index, GetRDStyle());
}

int TCustomRDData::LastMarkerIndexOfLists(int i, const TRDIntegerList& lists)
{
    const TRDMarkerList* list = GetMarkerList(false);
    if (!list)
        return -1;
    for (int j = list->Count() - 1; j > i; --j)
        if (lists.IndexOf((*list)[j]->ListNo) >= 0)
            return j;
    return -1;
}

void TCustomRDData::DestroyOwnMarkerListForClear()
{
    if (GetAbsoluteRootData() == this && GetMarkerList(false))
        DestroyMarkerList();
}

bool TCustomRDData::MapReadMarkerListNo(TCustomRDItemInfo* item, const TRDIntegerList* listMap)
{
    auto* marker = dynamic_cast<TRDMarkerItemInfo*>(item);
    if (!marker)
        return false;
    const uint8_t warned = GetRDFLoadWarnings() | rdfwConvertedUnknownStyles;
    if (listMap && marker->ListNo >= 0) {
        if (marker->ListNo >= listMap->Count()) {
            SetRDFLoadWarnings(warned);
            marker->ListNo = 0;
        } else {
            marker->ListNo = (*listMap)[marker->ListNo];
        }
    }
    const TRDStyle* sheet = GetRDStyle();
    const int count = sheet ? sheet->ListStyles().Count() : 0;
    if (marker->ListNo >= count) {
        SetRDFLoadWarnings(warned);
        marker->ListNo = count > 0 ? 0 : -1;
    }
    return true;
}

bool TCustomRDData::LoadMarkerStateFromRDF(const QByteArray& data, const TRDIntegerList* listMap)
{
    TRDMarkerList* list = GetPrevMarkerList();
    if (!list)
        return true;
    if (!list->LoadFromBinaryString(data, this))
        return false;
    if (listMap)
        for (int i = 0; i < list->Count(); ++i) {
            TRDMarkerItemInfo* m = (*list)[i];
            if (m->ListNo >= 0 && m->ListNo < listMap->Count())
                m->ListNo = (*listMap)[m->ListNo];
        }
    return true;
}

void TCustomRDData::FillLayoutMarkerInfo(TRDLayoutInfo& layoutInfo, int firstItemNo)
{
    const int paraStart = FirstItemOfPara(firstItemNo);
    if (paraStart == firstItemNo)
        return;
    if (auto* marker = dynamic_cast<TRDMarkerItemInfo*>(ItemAt(paraStart))) {
        layoutInfo.FirstMarkerListNo = marker->ListNo;
        layoutInfo.FirstMarkerLevel = marker->Level;
    }
}

void TCustomRDData::SaveMarkerStateBefore(TRDStream& stream, int firstItemNo, bool binary)
{
    if (GetRootData() != this || firstItemNo <= 0)
        return;
    TRDMarkerItemInfo* marker = PrevMarkerItem(firstItemNo - 1);
    const TRDMarkerList* list = GetMarkerList(false);
    const int index = marker ? marker->GetIndexInList(list) : -1;
    if (index < 0)
        return;
    RDFWriteLine(stream,
                 QByteArray::number(RDFExtraDataRecord) + " 2 0 0 " + QByteArray::number(binary ? 2 : 0) + " 0 6");
    RDFWriteLine(stream, QByteArray());
    if (binary) {
        TRDMemoryStream memory;
        list->SaveBinary(memory, index + 1, false);
        RDFWriteBinaryBlock(stream, memory.ToBytes());
    } else {
        list->SaveToRDF(stream, index + 1);
    }
}
