#include "kpCntn.h"

#include "ZipExceptions.h"
#include "kpSStrm.h"

#include <algorithm>
#include <cstdint>

namespace {
constexpr int MaxListSize = 0x1FFFFFFE;
}

TObjectList::TObjectList() = default;

TObjectList::~TObjectList()
{
    for (int i = 0; i < FCount; ++i)
        FreeItem(FItems[i]);
    FCount = 0;
    FItems.reset();
    FCapacity = 0;
}

void TObjectList::Error(int index) const
{
    throw kpzip::EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
}

void TObjectList::Grow()
{
    // Small lists grow by 4 and 8; larger ones by half their capacity, so
    // that adding n items copies the array O(log n) times, not n / 16 times.
    int delta = std::max(16, FCapacity / 2);
    if (FCapacity < 5)
        delta = 4;
    else if (FCapacity < 9)
        delta = 8;
    SetCapacity(static_cast<int>(std::min<int64_t>(static_cast<int64_t>(FCapacity) + delta, std::max(MaxListSize, FCapacity + 1))));
}

void TObjectList::SetCapacity(int n)
{
    if (n < FCount || n > MaxListSize)
        Error(n);
    if (n == FCapacity)
        return;
    std::unique_ptr<TItem[]> items(n > 0 ? new TItem[static_cast<size_t>(n)] : nullptr);
    std::copy(FItems.get(), FItems.get() + FCount, items.get());
    FItems = std::move(items);
    FCapacity = n;
}

void TObjectList::SetCount(int n)
{
    if (n < 0 || n > MaxListSize)
        Error(n);
    if (n > FCapacity)
        SetCapacity(n);
    for (int i = FCount; i < n; ++i)
        FItems[i] = nullptr;
    FCount = n;
}

TObjectList::TItem TObjectList::Get(int i) const
{
    if (i < 0 || i >= FCount)
        Error(i);
    return FItems[i];
}

void TObjectList::Put(int i, TItem item)
{
    if (i < 0 || i >= FCount)
        Error(i);
    FItems[i] = item;
}

int TObjectList::Add(TItem item)
{
    if (FCount == FCapacity)
        Grow();
    FItems[FCount] = item;
    return FCount++;
}

void TObjectList::Insert(int i, TItem item)
{
    if (i < 0 || i > FCount)
        Error(i);
    if (FCount == FCapacity)
        Grow();
    std::move_backward(FItems.get() + i, FItems.get() + FCount, FItems.get() + FCount + 1);
    FItems[i] = item;
    ++FCount;
}

void TObjectList::Delete(int i)
{
    if (i < 0 || i >= FCount)
        Error(i);
    std::move(FItems.get() + i + 1, FItems.get() + FCount, FItems.get() + i);
    --FCount;
}

int TObjectList::IndexOf(TItem item) const
{
    for (int i = 0; i < FCount; ++i)
        if (FItems[i] == item)
            return i;
    return -1;
}

void TObjectList::FreeItem(TItem item)
{
    if (FOwnsItems)
        delete item;
}

void TObjectList::Clear()
{
    FCount = 0;
    FItems.reset();
    FCapacity = 0;
}

TObjectList::TItem TObjectList::First() const { return Get(0); }

TObjectList::TItem TObjectList::Last() const { return Get(FCount - 1); }

TObjectList::TItem TObjectList::Neighbour(TItem item, bool forward) const
{
    if (!item)
        return forward ? First() : Last();
    const int i = IndexOf(item);
    if (i < 0)
        throw kpzip::EListError(QStringLiteral("tObject %1 not in item list").arg(item->ClassName()));
    const int j = forward ? i + 1 : i - 1;
    return (j < 0 || j >= FCount) ? nullptr : FItems[j];
}

// No class is ever registered for the stream format, so every item stops the
// stream with its not-registered error.
void TObjectList::SaveToStream(TStream& stream) const
{
    const uint8_t owns = FOwnsItems ? 1 : 0;
    stream.WriteBuffer(&owns, 1);
    const int32_t count = FCount;
    stream.WriteBuffer(&count, 4);
    for (int i = 0; i < FCount; ++i) {
        if (!FItems[i])
            throw kpzip::EClassNotFound(QStringLiteral("Nil Source Class!"));
        throw kpzip::EClassNotFound(QStringLiteral("Source Class <%1> not registered").arg(FItems[i]->ClassName()));
    }
}

void TObjectList::LoadFromStream(TStream& stream)
{
    uint8_t owns = 0;
    stream.ReadBuffer(&owns, 1);
    int32_t count = 0;
    stream.ReadBuffer(&count, 4);
    FOwnsItems = owns != 0;
    for (int i = 0; i < count; ++i) {
        uint8_t len = 0;
        stream.ReadBuffer(&len, 1);
        QByteArray name(len, '\0');
        stream.ReadBuffer(name.data(), len);
        throw kpzip::EClassNotFound(QStringLiteral("Class <%1> not registered").arg(QString::fromLatin1(name)));
    }
}

TSortedObjectList::TSortedObjectList(TDuplicates duplicates) : FDuplicates(duplicates) {}

bool TSortedObjectList::Find(const void* key, int& index) const
{
    bool result = false;
    int lo = 0;
    int hi = FCount - 1;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        const int c = Compare(KeyOf(FItems[mid]), key);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) {
                result = true;
                if (FDuplicates != dupAccept)
                    lo = mid;
            }
        }
    }
    index = lo;
    return result;
}

void TSortedObjectList::Insert(int, TItem item)
{
    int index = 0;
    if (Find(KeyOf(item), index)) {
        if (FDuplicates == dupIgnore)
            return;
        if (FDuplicates == dupError)
            throw kpzip::EListError(QStringLiteral("Duplicate Object index"));
    }
    TObjectList::Insert(index, item);
}

int TSortedObjectList::Add(TItem item)
{
    Insert(0, item);
    return 0;
}

int TSortedObjectList::IndexOf(TItem item) const
{
    int index = 0;
    return Find(KeyOf(item), index) ? index : -1;
}

void TSortedObjectList::Put(int, TItem)
{
    throw kpzip::EListError(QStringLiteral("Cannot <Put> an Object in a sorted list!"));
}

void TSortedObjectList::SaveToStream(TStream& stream) const
{
    const uint8_t d = FDuplicates;
    stream.WriteBuffer(&d, 1);
    TObjectList::SaveToStream(stream);
}

void TSortedObjectList::LoadFromStream(TStream& stream)
{
    uint8_t d = 0;
    stream.ReadBuffer(&d, 1);
    FDuplicates = static_cast<TDuplicates>(d <= 2 ? d : 0);
    TObjectList::LoadFromStream(stream);
}
