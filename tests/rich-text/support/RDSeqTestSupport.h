#pragma once

// A document of the tests and benchmarks that keeps its own sequence list,
// as the top-level document of a viewer does.

#include <memory>

#include "items/RDLabelItems.h"

template <typename TBase>
class TWithSeqList : public TBase {
public:
    using TBase::TBase;
    // The items leave the list before it goes.
    ~TWithSeqList() override { this->Clear(); }

    std::unique_ptr<TRDSeqList> Sequences;

    TRDSeqList* GetSeqList(bool create) override
    {
        if (!Sequences && create)
            Sequences = std::make_unique<TRDSeqList>();
        return Sequences.get();
    }
    void DestroySeqList() override { Sequences.reset(); }
};
