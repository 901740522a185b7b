// Inputs that once crashed a fuzz target, read again through the target's
// entry (under the sanitized build they must run clean), and the seeds of
// every target, which our own writers make.

#include "FuzzEntries.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct TFuzzCrash {
    const char* Entry;
    const char* Fault;  // what it did
    const char* Hex;    // the input
};

const TFuzzCrash FuzzCrashes[] = {
    // A whole document whose layout record holds margins and text widths
    // near INT_MAX: laying it out overflowed a signed sum of them
    // (TCustomRDFormattedData::ClearFormatting, CRDFData.cpp).
    {"rdf", "layout record sums overflow",
     "002d382031203331203020302030203020353931310d0a2d392032203020302032203020310d0a0d0a330100000e0109"
     "00000000000002c965060b4e6f726d616c20436f6c6f720707636c477265656e044a75000000224e7465787422203120"
     "2d312031203020300d0a20b4baccecbadcc5afbacda1a30d0a224e6f726d616c74657874222031202252617261677261"
     "7068205374796c65222030203020300d0a6f6e647061726167726170680d0a6143656e74657200002d39203220302030"
     "2032203020340d0a0d0a0200b4baccec65222030203020300d0a6f6e647061726167726170680d0a0d0a20b4baccecba"
     "dcc5afbacda1a30d0a224e6f726d616c746578742220312022526172616772617068205374796c65222030203020300d"
     "0a6f6e647061726167726170680d0a6143656e74657200002d392032203020302032203020340d0a0d0a020000000e00"
     "2d392030203020302030203020370d0a2d392032203020302032203020330d0a0d0a2100000000000000190000000700"
     "000005302030203020300d0a537072696e00fa00000000224e7474222031202d312031203020300d0a6e647061726167"
     "0d0a"},
};

}  // namespace

TEST(FuzzRegression, InputsThatOnceCrashedAreReadCleanly)
{
    TTestProgramFolder folder;
    for (const TFuzzCrash& c : FuzzCrashes) {
        if (!c.Entry)
            continue;
        SCOPED_TRACE(std::string(c.Entry) + ": " + c.Fault);
        ASSERT_NE(FindFuzzEntry(c.Entry), nullptr);
        RunFuzzEntry(c.Entry, QByteArray::fromHex(c.Hex));
    }
}

TEST(FuzzRegression, EveryTargetHasSeedsThatItReads)
{
    TTestProgramFolder folder;
    for (const TFuzzEntry& entry : FuzzEntries()) {
        SCOPED_TRACE(entry.Name);
        const QList<QByteArray> seeds = entry.Seeds();
        EXPECT_FALSE(seeds.isEmpty());
        for (const QByteArray& seed : seeds) {
            EXPECT_FALSE(seed.isEmpty());
            RunFuzzEntry(entry.Name, seed);
        }
    }
}
