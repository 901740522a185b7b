#include "editing/RDUndo.h"

#include "document/CRDData.h"
#include "document/RDItem.h"
#include "editing/RDERDData.h"

TCustomRDData* TRDUndoRecord::GetRDData() const
{
    return OwnerList ? OwnerList->DocumentData : nullptr;
}

void TRDUndoRecord::GetAffectedRange(int&, int&, TRDEditRDData&) {}

TRDUndoList::TRDUndoList(TCustomRDData* documentData) : DocumentData(documentData) {}

TRDUndoList::~TRDUndoList() = default;
