#include "SndCutLst.h"

const TSndCutRegion& TSndCutList::Items(int index) const
{
    if (index < 0 || index >= Count())
        Error(index);
    return FItems[static_cast<std::size_t>(index)];
}

void TSndCutList::Error(int index) const
{
    throw EListError(index);
}

void TSndCutList::Grow()
{
    int delta = 16;
    if (FCapacity < 5)
        delta = 4;
    else if (FCapacity <= 8)
        delta = 8;
    FCapacity += delta;
    FItems.reserve(static_cast<std::size_t>(FCapacity));
}

int TSndCutList::Add(const TSndCutRegion& region)
{
    Changing();
    if (Count() == FCapacity)
        Grow();
    FItems.push_back(region);
    Changed();
    return Count() - 1;
}

void TSndCutList::Replace(int index, const TSndCutRegion& region)
{
    if (index < 0 || index >= Count())
        Error(index);
    Changing();
    FItems[static_cast<std::size_t>(index)] = region;
    Changed();
}

void TSndCutList::Insert(int index, const TSndCutRegion& region)
{
    if (index < 0 || index > Count())
        Error(index);
    if (Count() == FCapacity)
        Grow();
    FItems.insert(FItems.begin() + index, region);
}

int TSndCutList::IndexAfter(std::int64_t pos) const
{
    if (FItems.empty())
        return -1;
    int lo = 0;
    int hi = Count();
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (FItems[static_cast<std::size_t>(mid)].Start > pos)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

int TSndCutList::RegionIndexAt(std::int64_t pos) const
{
    const int after = IndexAfter(pos);
    if (after <= 0)
        return -1;
    const TSndCutRegion& r = FItems[static_cast<std::size_t>(after - 1)];
    return (pos >= r.Start && pos <= r.Start + r.Length - 1) ? after - 1 : -1;
}

bool TSndCutList::AddRegion(const TSndCutRegion& region)
{
    if (RegionIndexAt(region.Start) >= 0)
        return false;
    const int after = IndexAfter(region.Start);
    if (after < 0 || after == Count())
        Add(region);
    else
        Insert(after, region);
    return true;
}

void TSndCutList::Clear()
{
    Changing();
    FItems.clear();
    FItems.shrink_to_fit();
    FCapacity = 0;
    Changed();
}

void TSndCutList::Assign(const TSndCutList* source)
{
    if (source == this)
        return;
    BeginUpdate();
    Clear();
    if (source)
        for (const TSndCutRegion& r : source->FItems)
            Add(r);
    EndUpdate();
}
