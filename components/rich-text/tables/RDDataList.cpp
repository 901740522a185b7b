#include "tables/RDDataList.h"

#include "core/RDError.h"

uint16_t TRDItemFormattedData::GetControlFlags()
{
    return OwnerList ? OwnerList->DocFlags : RDDataListDocFlags;
}

void TRDItemFormattedData::SetControlFlags(uint16_t)
{
    throw ERichDocError("This method is not supported for TRDItemFormattedData");
}

TCustomRDData* TRDItemFormattedData::GetParentData()
{
    return OwnerList ? OwnerList->GetParentRDData() : nullptr;
}

TCustomRDData* TRDItemFormattedData::GetAbsoluteParentData()
{
    return OwnerList ? OwnerList->GetParentRDData() : nullptr;
}

TCustomRDData* TRDItemFormattedData::GetRootData()
{
    TCustomRDData* parent = GetParentData();
    return parent ? parent->GetRootData() : this;
}

TCustomRDData* TRDItemFormattedData::GetAbsoluteRootData()
{
    TCustomRDData* parent = GetAbsoluteParentData();
    return parent ? parent->GetAbsoluteRootData() : this;
}

QString TRDItemFormattedData::DoUrlNeeded(int id)
{
    TCustomRDData* root = GetRootData();
    return root != this ? root->DoUrlNeeded(id) : QString();
}

TRDPaletteAction TRDItemFormattedData::GetDoInPaletteMode()
{
    TCustomRDData* parent = GetParentData();
    return parent ? parent->GetDoInPaletteMode() : TRDPaletteAction{};
}

TCanvas* TRDItemFormattedData::GetCanvas()
{
    auto* root = dynamic_cast<TCustomRDFormattedData*>(GetAbsoluteRootData());
    return root && root != this ? root->GetCanvas() : nullptr;
}

void TRDItemFormattedData::ScrollRectIntoView(int x, int y, int width, int height)
{
    auto* root = dynamic_cast<TCustomRDFormattedData*>(GetRootData());
    if (!root || root == this)
        return;
    int ox = 0;
    int oy = 0;
    GetOrigin(ox, oy);
    root->ScrollRectIntoView(x + ox, y + oy, width, height);
}

Qt::CursorShape TRDItemFormattedData::GetNormalCursor()
{
    auto* root = dynamic_cast<TCustomRDFormattedData*>(GetRootData());
    return root && root != this ? root->GetNormalCursor() : Qt::ArrowCursor;
}

namespace {

// Sign of a - b without overflow.
int DataListCompareInts(int32_t a, int32_t b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace

std::unique_ptr<TRDStoreSubRDData> TRDTableStoreSubRDData::Duplicate() const
{
    return std::make_unique<TRDTableStoreSubRDData>(Row, Col);
}

int TRDTableStoreSubRDData::Compare(const TRDStoreSubRDData& other) const
{
    const auto* cell = dynamic_cast<const TRDTableStoreSubRDData*>(&other);
    if (!cell)
        return 0;
    return Row != cell->Row ? DataListCompareInts(Row, cell->Row) : DataListCompareInts(Col, cell->Col);
}

int TRDTableStoreSubRDData::Compare(const TRDLocation& other) const
{
    const auto* cell = dynamic_cast<const TRDTableStoreSubRDData*>(&other);
    if (!cell)
        return 0;
    return Compare(static_cast<const TRDStoreSubRDData&>(*cell));
}
