#pragma once

// The play regions of a wave: a sorted list of regions of the file.

#include "ListError.h"
#include "SndObj.h"

#include <cstdint>
#include <vector>

// One region: its first sample frame in the file, the same in bytes, its
// length in sample frames and in bytes.
struct TSndCutRegion {
    std::int64_t Start = 0;
    std::int64_t StartBytes = 0;
    std::int64_t Length = 0;
    std::int64_t LengthBytes = 0;
    std::int32_t Reserved = 0;
};

class TSndCutList : public TSndObject {
public:
    TSndCutList() = default;

    int Count() const { return static_cast<int>(FItems.size()); }
    int Capacity() const { return FCapacity; }
    const TSndCutRegion& Items(int index) const;

    int Add(const TSndCutRegion& region);
    // Puts region in the place of the one at index.
    void Replace(int index, const TSndCutRegion& region);
    void Insert(int index, const TSndCutRegion& region);
    // False when a region already holds the region's start; otherwise inserted
    // in start order.
    bool AddRegion(const TSndCutRegion& region);
    // The region holding pos, -1 when none.
    int RegionIndexAt(std::int64_t pos) const;
    // The first region whose start is greater than pos (Count when none, -1
    // for an empty list).
    int IndexAfter(std::int64_t pos) const;
    virtual void Clear();
    void Assign(const TSndCutList* source);

protected:
    virtual void Error(int index) const;
    virtual void Grow();

private:
    std::vector<TSndCutRegion> FItems;
    int FCapacity = 0;
};
