#pragma once

// Times reading an RDF text into a new document, the document's freeing
// left out of the timing.

#include <benchmark/benchmark.h>

#include <memory>
#include <utility>

#include <QtCore/QByteArray>

#include "core/RDFStream.h"
#include "Graphics.h"

// make() gives a new empty document; a read holding fewer than minItems
// items counts as failed.
template <typename MakeDocument>
void TimeRDFReads(benchmark::State& state, const QByteArray& rdf, int minItems, MakeDocument make)
{
    auto read = [&] {
        auto doc = make();
        TRDMemoryStream stream;
        stream.LoadFromBytes(rdf);
        stream.SetPosition(0);
        TColor color = clNone;
        const bool ok = doc->LoadFromRDF(stream, color, nullptr, nullptr) && doc->ItemCount() >= minItems;
        return std::make_pair(ok, std::move(doc));
    };
    // One read first, so that neither side pays for growing the heap.
    read();
    for (auto _ : state) {
        auto [ok, doc] = read();
        if (!ok)
            state.SkipWithError("read failed");
        state.PauseTiming();
        doc.reset();
        state.ResumeTiming();
    }
    state.counters["bytes"] = double(rdf.size());
}
