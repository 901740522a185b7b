#include "SndAlloc.h"

#include "SndUtils.h"

#include <cstring>
#include <new>

TSndAllocator::~TSndAllocator()
{
    FreeAll();
}

void* TSndAllocator::AllocBuffer(std::uint32_t, std::size_t size)
{
    const std::lock_guard<std::mutex> guard(FLock);
    TEntry* chosen = nullptr;
    for (TEntry& entry : FEntries)
        if (entry.InUse == 0 && entry.Size == size) {
            chosen = &entry;
            break;
        }
    if (!chosen)
        for (TEntry& entry : FEntries)
            if (entry.InUse == 0 && entry.Size >= size) {
                chosen = &entry;
                break;
            }
    if (!chosen) {
        void* block = nullptr;
        try {
            block = GlobalAllocMem(size);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        FEntries.push_back(TEntry{block, size, 0});
        chosen = &FEntries.back();
    } else {
        std::memset(chosen->Block, 0, chosen->Size);
    }
    ++chosen->InUse;
    return chosen->Block;
}

void TSndAllocator::FreeBuffer(void*& p)
{
    if (!p)
        return;
    const std::lock_guard<std::mutex> guard(FLock);
    for (TEntry& entry : FEntries)
        if (entry.Block == p) {
            if (entry.InUse > 0)
                --entry.InUse;
            p = nullptr;
            return;
        }
}

void TSndAllocator::FreeAll()
{
    const std::lock_guard<std::mutex> guard(FLock);
    while (!FEntries.empty()) {
        GlobalFreeMem(FEntries.back().Block);
        FEntries.pop_back();
    }
}

int TSndAllocator::Count() const
{
    const std::lock_guard<std::mutex> guard(FLock);
    return static_cast<int>(FEntries.size());
}
