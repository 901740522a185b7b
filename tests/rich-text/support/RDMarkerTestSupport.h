#pragma once

// A document of the tests and benchmarks that keeps its own marker list, as
// the top-level document of a viewer does.

#include <memory>

#include "items/RDMarkerItems.h"

template <typename TBase>
class TWithMarkerList : public TBase {
public:
    using TBase::TBase;
    // The items leave the list before it goes.
    ~TWithMarkerList() override { this->Clear(); }

    std::unique_ptr<TRDMarkerList> Markers;

    TRDMarkerList* GetMarkerList(bool create) override
    {
        if (!Markers && create) {
            Markers = std::make_unique<TRDMarkerList>();
            Markers->PriorMarkerList = this->GetPrevMarkerList();
        }
        return Markers.get();
    }
    void DestroyMarkerList() override { Markers.reset(); }
};
