#pragma once

// The draw items of a formatted document in document order, with a gap of
// freed slots that a range of paragraphs is formatted again into.

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
    TRDDrawLineInfo* DrawItemAt(int index) const { return FItems[size_t(index)]; }
    TRDDrawLineInfo* operator[](int index) const { return DrawItemAt(index); }
    // Stores into a slot without freeing what was there.
    void SetDrawItemAt(int index, TRDDrawLineInfo* drawItem) { FItems[size_t(index)] = drawItem; }
    // Appends and takes the piece.
    void Add(TRDDrawLineInfo* drawItem) { FItems.push_back(drawItem); }
    // Takes the piece: into the gap's first slot while a gap is open.
    void InsertDrawItem(int index, TRDDrawLineInfo* drawItem);
    // Frees the piece; while a gap is open index is the slot before it, which joins the gap.
    void DeleteDrawItem(int index);
    // Frees the pieces first..last and keeps their slots as the gap.
    void BeginReplace(int first, int last);
    // Drops what is left of the gap.
    void EndReplace();
    // Removes the slots first..last without freeing anything.
    void RemoveSlots(int first, int last);
    // Frees every piece (outside an open gap) and empties the list.
    void Clear();

    // The characters the piece shows, counted in its item's encoding.
    QByteArray GetDrawItemText(int index, const TCustomRDData& items) const;
    // count characters from the 1-based position start inside the piece,
    // clipped to its end; empty when start lies past it.
    QByteArray GetDrawItemSubText(int index, const TCustomRDData& items, int count, int start) const;

private:
    std::vector<TRDDrawLineInfo*> FItems;
};
