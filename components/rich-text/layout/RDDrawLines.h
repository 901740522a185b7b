#pragma once

// The draw items of a formatted document in document order, with a gap of
// freed slots that a range of paragraphs is formatted again into. The list
// owns its pieces; those given as plain pointers too.

#include <memory>
#include <vector>

#include <QtCore/QByteArray>

#include "document/RDDocTypes.h"

class TCustomRDData;

class TRDDrawLines {
public:
    TRDDrawLines() = default;
    TRDDrawLines(const TRDDrawLines&) = delete;
    TRDDrawLines& operator=(const TRDDrawLines&) = delete;
    ~TRDDrawLines() { Clear(); }

    // First slot of the open gap (-1 none) and its number of slots; a gap is
    // open exactly when GapCount is non-zero.
    int GapStart = -1;
    int GapCount = 0;

    int Count() const { return int(FItems.size()); }
    // The piece in slot index; a slot inside an open gap is never read.
    TRDDrawLineInfo* DrawItemAt(int index) const { return FItems[size_t(index)].get(); }
    TRDDrawLineInfo* operator[](int index) const { return DrawItemAt(index); }
    // Appends the piece.
    void Add(std::unique_ptr<TRDDrawLineInfo> drawItem) { FItems.push_back(std::move(drawItem)); }
    void Add(TRDDrawLineInfo* drawItem) { Add(std::unique_ptr<TRDDrawLineInfo>(drawItem)); }
    // Puts the piece in at index: into the gap's first slot while a gap is open.
    void InsertDrawItem(int index, std::unique_ptr<TRDDrawLineInfo> drawItem);
    void InsertDrawItem(int index, TRDDrawLineInfo* drawItem)
    {
        InsertDrawItem(index, std::unique_ptr<TRDDrawLineInfo>(drawItem));
    }
    // Takes the piece out of its slot without freeing it; the slot is
    // removed (while a gap is open index is the slot before it, which joins
    // the gap).
    std::unique_ptr<TRDDrawLineInfo> TakeDrawItem(int index);
    // Frees the piece; its slot goes as with TakeDrawItem.
    void DeleteDrawItem(int index) { TakeDrawItem(index); }
    // Frees the pieces first..last and keeps their slots as the gap.
    void BeginReplace(int first, int last);
    // Drops what is left of the gap.
    void EndReplace();
    // Frees every piece and empties the list.
    void Clear();

    // The characters the piece shows, counted in its item's encoding.
    QByteArray GetDrawItemText(int index, const TCustomRDData& items) const;
    // count characters from the 1-based position start inside the piece,
    // clipped to its end; empty when start lies past it.
    QByteArray GetDrawItemSubText(int index, const TCustomRDData& items, int count, int start) const;

private:
    // Removes the slots first..last (freeing what they hold).
    void RemoveSlots(int first, int last);

    std::vector<std::unique_ptr<TRDDrawLineInfo>> FItems;
};
