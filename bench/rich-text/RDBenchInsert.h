#pragma once

// Times inserting one item at the top of a document (the renumbering it
// causes included), the item's removal left out of the timing.

#include <benchmark/benchmark.h>

#include <QtCore/QByteArray>

#include "document/CRDData.h"

// make() gives a new item for the document; it is inserted at index 0 and
// deleted again after each timed insertion.
template <typename MakeItem>
void TimeInsertAtTop(benchmark::State& state, TCustomRDData& doc, MakeItem make)
{
    for (auto _ : state) {
        int index = 0;
        QByteArray text;
        TCustomRDItemInfo* item = make();
        bool reformat = false;
        int newListNo = -1;
        if (!doc.InsertItem(index, text, item, false, reformat, newListNo))
            state.SkipWithError("insertion failed");
        state.PauseTiming();
        doc.DeleteItemRange(0, 1);
        state.ResumeTiming();
    }
}
