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
    {nullptr, nullptr, nullptr},
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
