#pragma once

// The buffer pool of the wave audio library: blocks are handed out and taken
// back without being released, so a device reuses its buffer memory across
// starts. Every operation is thread-safe.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

class TSndAllocator {
public:
    TSndAllocator() = default;
    ~TSndAllocator();
    TSndAllocator(const TSndAllocator&) = delete;
    TSndAllocator& operator=(const TSndAllocator&) = delete;

    // A zero-filled block of at least size bytes: first a free block of
    // exactly that size, then the first free block that is large enough, else
    // a new block. nullptr when no memory can be had. Flags are kept for the
    // callers' sake and have no effect.
    void* AllocBuffer(std::uint32_t flags, std::size_t size);
    // Gives a block back to the pool and sets p to nullptr; a block the pool
    // does not hold is left alone.
    void FreeBuffer(void*& p);
    template <typename T>
    void FreeBuffer(T*& p)
    {
        void* raw = p;
        FreeBuffer(raw);
        p = static_cast<T*>(raw);
    }
    // Releases every block.
    void FreeAll();

    int Count() const;

private:
    struct TEntry {
        void* Block;
        std::size_t Size;
        int InUse;
    };
    mutable std::mutex FLock;
    std::vector<TEntry> FEntries;
};
