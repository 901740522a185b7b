#pragma once

// Owning object lists that hold the archive entries: a plain list and a list
// kept in order by a compare function with a binary search.

#include <QtCore/QString>

#include <cstdint>
#include <memory>

class TStream;

namespace kpzip {
// Base of the objects the lists hold.
class TPersistent {
public:
    virtual ~TPersistent() = default;
    virtual QString ClassName() const { return QStringLiteral("TPersistent"); }
};
}  // namespace kpzip

// Duplicates rule of a sorted list.
enum TDuplicates : uint8_t { dupIgnore = 0, dupAccept = 1, dupError = 2 };

class TObjectList : public kpzip::TPersistent {
public:
    using TItem = kpzip::TPersistent*;

    TObjectList();
    ~TObjectList() override;
    TObjectList(const TObjectList&) = delete;
    TObjectList& operator=(const TObjectList&) = delete;
    QString ClassName() const override { return QStringLiteral("TObjectList"); }

    int Count() const { return FCount; }
    int Capacity() const { return FCapacity; }
    void SetCapacity(int n);
    void SetCount(int n);
    bool OwnsItems() const { return FOwnsItems; }
    void SetOwnsItems(bool v) { FOwnsItems = v; }

    TItem Get(int i) const;
    virtual void Put(int i, TItem item);
    virtual int Add(TItem item);
    virtual void Clear();
    virtual int IndexOf(TItem item) const;
    virtual void Insert(int i, TItem item);
    // Removes the item at i without freeing it.
    void Delete(int i);
    virtual void LoadFromStream(TStream& stream);
    virtual void SaveToStream(TStream& stream) const;
    virtual TItem First() const;
    virtual TItem Last() const;
    virtual TItem Neighbour(TItem item, bool forward) const;

protected:
    [[noreturn]] virtual void Error(int index) const;
    virtual void Grow();
    virtual void FreeItem(TItem item);

    std::unique_ptr<TItem[]> FItems;
    int FCount = 0;
    int FCapacity = 0;
    bool FOwnsItems = true;
};

class TSortedObjectList : public TObjectList {
public:
    explicit TSortedObjectList(TDuplicates duplicates);
    QString ClassName() const override { return QStringLiteral("TSortedObjectList"); }

    TDuplicates Duplicates() const { return FDuplicates; }
    void SetDuplicates(TDuplicates d) { FDuplicates = d; }

    virtual const void* KeyOf(TItem item) const { return item; }
    virtual int Compare(const void* key1, const void* key2) const = 0;
    virtual bool Find(const void* key, int& index) const;

    void Put(int i, TItem item) override;
    int Add(TItem item) override;
    int IndexOf(TItem item) const override;
    void Insert(int i, TItem item) override;
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) const override;

private:
    TDuplicates FDuplicates;
};
