#pragma once

// The sequence list of a document tree: what it keeps of each numbered
// sequence field and the numbering of the fields. The sequence item
// (items/RDLabelItems.h) is an entry of its own.

#include <cstdint>
#include <vector>

#include <QtCore/QString>

class TRDSeqList;

// A sequence field as the sequence list sees it: its sequence, its counter
// and its place in the list.
class TRDSeqListEntry {
public:
    TRDSeqListEntry() = default;
    TRDSeqListEntry(const TRDSeqListEntry&) = delete;
    TRDSeqListEntry& operator=(const TRDSeqListEntry&) = delete;
    virtual ~TRDSeqListEntry() = default;

    int32_t IndexInList = -1;
    int32_t Counter = 0;
    int32_t StartFrom = 0;
    bool Reset = false;
    QString SeqName;

    int GetIndexInList(const TRDSeqList* list);
    // Shows the counter in the entry's text.
    virtual void UpdateText() = 0;
};

// The sequence items of a document tree in document order (not owned).
class TRDSeqList {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    TRDSeqListEntry* operator[](int index) const { return FItems[index]; }
    int IndexOf(const TRDSeqListEntry* item) const;
    void Delete(int index);
    // Inserts right after prev (at 0 when prev is nil or not in the list);
    // answers the position.
    int InsertAfter(TRDSeqListEntry* item, TRDSeqListEntry* prev);
    // Numbers the items of the sequence of the item at fromIndex, from there on.
    void RecalcCounters(int fromIndex);

private:
    std::vector<TRDSeqListEntry*> FItems;
};

// Whether two sequence names name one sequence (letter case aside).
bool SameSeqName(const QString& a, const QString& b);
