// The memory an RDF read takes beyond its result: notes nested deeply around
// a large text. The heap is counted by this program's own allocation hooks
// (a memory bound, not a time bound).

#include <gtest/gtest.h>

#include <QtCore/QtEndian>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>

#include "RDFTestIO.h"
#include "RDMarkerTestSupport.h"
#include "items/RDNoteItems.h"
#include "RDSeqTestSupport.h"

// ---------------------------------------------------------------- the heap count

namespace {

std::atomic<int64_t> HeapInUse{0};
std::atomic<int64_t> HeapPeak{0};

void CountAllocated(int64_t bytes)
{
    const int64_t now = HeapInUse.fetch_add(bytes, std::memory_order_relaxed) + bytes;
    int64_t peak = HeapPeak.load(std::memory_order_relaxed);
    while (now > peak && !HeapPeak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
    }
}

void CountFreed(int64_t bytes)
{
    HeapInUse.fetch_sub(bytes, std::memory_order_relaxed);
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define PIBO_SANITIZED_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define PIBO_SANITIZED_HEAP 1
#endif
#endif

#ifdef PIBO_SANITIZED_HEAP
// A sanitizer owns the allocator: its hooks do the counting. (Declared here:
// not every compiler ships the sanitizers' headers.)
extern "C" {
size_t __sanitizer_get_allocated_size(const volatile void* p);

void __sanitizer_malloc_hook(const volatile void* p, size_t size)
{
    if (p)
        CountAllocated(static_cast<int64_t>(size));
}
void __sanitizer_free_hook(const volatile void* p)
{
    if (p)
        CountFreed(static_cast<int64_t>(__sanitizer_get_allocated_size(p)));
}
}
#else
// The C library's allocator, wrapped: every block is counted with its usable
// size from its allocation to its release.
#include <malloc.h>
#include <unistd.h>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* p);

void* malloc(size_t size)
{
    void* p = __libc_malloc(size);
    if (p)
        CountAllocated(static_cast<int64_t>(malloc_usable_size(p)));
    return p;
}

void* calloc(size_t count, size_t size)
{
    void* p = __libc_calloc(count, size);
    if (p)
        CountAllocated(static_cast<int64_t>(malloc_usable_size(p)));
    return p;
}

void free(void* p)
{
    if (p)
        CountFreed(static_cast<int64_t>(malloc_usable_size(p)));
    __libc_free(p);
}

void* realloc(void* p, size_t size)
{
    if (!p)
        return malloc(size);
    if (size == 0) {
        free(p);
        return nullptr;
    }
    const auto before = static_cast<int64_t>(malloc_usable_size(p));
    void* q = __libc_realloc(p, size);
    if (q) {
        CountFreed(before);
        CountAllocated(static_cast<int64_t>(malloc_usable_size(q)));
    }
    return q;
}

void* memalign(size_t alignment, size_t size)
{
    void* p = __libc_memalign(alignment, size);
    if (p)
        CountAllocated(static_cast<int64_t>(malloc_usable_size(p)));
    return p;
}

void* aligned_alloc(size_t alignment, size_t size)
{
    return memalign(alignment, size);
}

int posix_memalign(void** result, size_t alignment, size_t size)
{
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    void* p = memalign(alignment, size);
    if (!p)
        return ENOMEM;
    *result = p;
    return 0;
}

void* valloc(size_t size)
{
    return memalign(static_cast<size_t>(sysconf(_SC_PAGESIZE)), size);
}

void* pvalloc(size_t size)
{
    const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    return memalign(page, (size + page - 1) / page * page);
}
}
#endif

// ---------------------------------------------------------------- the tests

namespace {

using TMemoryNoteDoc = TWithSeqList<TWithMarkerList<TTestRDData>>;

// The heap in use beyond a starting point, and its peak since then.
class THeapWatch {
public:
    THeapWatch() : FStart(HeapInUse.load())
    {
        HeapPeak.store(FStart);
    }
    int64_t Peak() const { return HeapPeak.load() - FStart; }
    int64_t Now() const { return HeapInUse.load() - FStart; }

private:
    int64_t FStart;
};

QByteArray BinaryBlock(const QByteArray& bytes)
{
    QByteArray length(4, '\0');
    qToLittleEndian<int32_t>(static_cast<int32_t>(bytes.size()), length.data());
    return length + bytes;
}

// A footnote whose document holds a footnote, depth levels deep, in binary
// form, the innermost document holding one line of text.
QByteArray NotesAround(int depth, const QByteArray& text)
{
    QByteArray inner = "-8 1 3\r\n0 1 0 0 0 0\r\n" + text + "\r\n";
    for (int k = 0; k < depth; ++k)
        inner = "-8 1 3\r\n-203 8 0 0 2 0 0\r\n0\r\n0\r\n0\r\nno-protect\r\n0\r\n0\r\n\r\n" + BinaryBlock(inner);
    return inner;
}

// The text of the innermost document and the depth it lies at.
int InnermostDepth(TCustomRDData* d, QByteArray& text)
{
    int depth = 0;
    while (d->ItemCount() > 0) {
        auto* note = dynamic_cast<TRDFootnoteItemInfo*>(d->ItemAt(0));
        if (!note)
            break;
        d = note->NoteDocument.get();
        ++depth;
    }
    text = d->ItemCount() > 0 ? d->TextOfItem(0) : QByteArray();
    return depth;
}

}  // namespace

class RDFMemory : public ::testing::Test {
protected:
    TTestStyleSheet Sheet;
    TMemoryNoteDoc Doc{&Sheet};
};

TEST(RDFMemoryCount, TheHooksCountTheHeap)
{
    THeapWatch watch;
    {
        QByteArray block(8 << 20, 'x');
        EXPECT_GE(watch.Now(), 8 << 20);
    }
    EXPECT_LT(watch.Now(), 1 << 20);
    EXPECT_GE(watch.Peak(), 8 << 20);
}

TEST_F(RDFMemory, SeventyNestedNotesAroundFourMegabytesStopAtTheDepthLimitWithinTheFilesSize)
{
    const QByteArray file = NotesAround(70, QByteArray(4 << 20, 'a'));
    TRDMemoryStream stream;
    stream.LoadFromBytes(file);
    stream.SetPosition(0);
    Doc.RDFOptions = rdfoSaveBinary;
    TColor color = clNone;
    THeapWatch watch;
    EXPECT_FALSE(Doc.LoadFromRDF(stream, color, nullptr, nullptr));
    EXPECT_LE(watch.Peak(), file.size()) << "peak " << watch.Peak() << " for a file of " << file.size();
}

TEST_F(RDFMemory, SixtyNestedNotesReadWithinTheResultAndTheFilesSize)
{
    const QByteArray text(4 << 20, 'b');
    const QByteArray file = NotesAround(60, text);
    TRDMemoryStream stream;
    stream.LoadFromBytes(file);
    stream.SetPosition(0);
    Doc.RDFOptions = rdfoSaveBinary;
    TColor color = clNone;
    THeapWatch watch;
    ASSERT_TRUE(Doc.LoadFromRDF(stream, color, nullptr, nullptr));
    const int64_t result = watch.Now();
    EXPECT_LE(watch.Peak() - result, file.size())
        << "peak " << watch.Peak() << ", result " << result << ", file " << file.size();
    QByteArray innermost;
    EXPECT_EQ(InnermostDepth(&Doc, innermost), 60);
    EXPECT_EQ(innermost, text);
}
