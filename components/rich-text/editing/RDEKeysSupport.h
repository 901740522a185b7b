#pragma once

// Steps that deleting the selection, Backspace, Delete and Enter share:
// the numbering collected before a deletion and applied after it, the draw
// items of the paragraphs an edit touches, the kinds of items the keys ask
// about, and the empty text item that stands in for what went.

#include <memory>

#include <QtCore/QStringList>

#include "core/RDLists.h"
#include "document/RDItemKind.h"
#include "core/RDUnicode.h"
#include "editing/RDERDData.h"
#include "styles/RDStyle.h"

// The lists and sequences a deletion touches, collected before it.
struct TRDKeysNumbering {
    QStringList SeqNames;
    TRDIntegerList ListStyles;
    int SeqPos = -1;
    int MarkerPos = -1;
    int LastItem = -1;
    bool Collected = false;
};

inline void KeysCollectNumbering(TRDEditRDData& data, int first, int last, TRDKeysNumbering& numbering)
{
    data.CollectNumbering(first, last, numbering.SeqNames, numbering.ListStyles, numbering.SeqPos,
                          numbering.MarkerPos, numbering.LastItem, true);
    numbering.Collected = true;
}

// Renumbers what was collected, from the paragraph of item from on.
inline void KeysApplyNumbering(TRDEditRDData& data, int from, const TRDKeysNumbering& numbering)
{
    if (!numbering.Collected || data.ItemCount() == 0)
        return;
    (void)from;
    data.ApplyNumbering(std::min(numbering.LastItem, data.ItemCount() - 1), numbering.SeqPos, numbering.SeqNames,
                        numbering.ListStyles, numbering.MarkerPos);
}

// The draw items of the paragraphs that hold items first..last (taken
// before an edit, for ReformatAfterEdit).
inline void KeysParaDrawRange(const TRDEditRDData& data, int first, int last, int& d1, int& d2)
{
    d1 = d2 = -1;
    if (data.ItemCount() == 0 || data.DrawItems.Count() == 0)
        return;
    first = std::clamp(first, 0, data.ItemCount() - 1);
    last = std::clamp(last, first, data.ItemCount() - 1);
    const int p1 = data.FirstItemOfPara(first);
    int p2 = last;
    while (p2 + 1 < data.ItemCount() && !data.StartsParagraph(p2 + 1))
        ++p2;
    d1 = data.FirstDrawItemOfItem(p1);
    d2 = data.LastDrawItemOfItem(p2);
    if (d1 < 0)
        d1 = 0;
    if (d2 < 0)
        d2 = data.DrawItems.Count() - 1;
}

inline bool KeysIsFullLine(const TRDEditRDData& data, int itemNo)
{
    return itemNo >= 0 && itemNo < data.ItemCount() && data.ItemAt(itemNo)->GetBoolValue(0);
}

inline bool KeysIsMarker(const TRDEditRDData& data, int itemNo)
{
    return itemNo >= 0 && itemNo < data.ItemCount() && data.ItemAt(itemNo)->StyleNo == MarkerStyleNo;
}

inline bool KeysIsEmptyText(const TRDEditRDData& data, int itemNo)
{
    return itemNo >= 0 && itemNo < data.ItemCount() && data.ItemAt(itemNo)->StyleNo >= 0
        && data.TextOfItem(itemNo).isEmpty();
}

// Inserts an empty text item of a style at index (recorded): the tag
// copied, the paragraph style given, on a new line or continuing as asked.
inline void KeysInsertEmptyText(TRDEditRDData& data, int index, const TRDTag& tag, int paraNo, bool lineBreak,
                                bool continues, bool& full, int styleNo)
{
    data.InsertNewTextItemRecorded(index, QByteArray(), CopyStringTag(tag, data.GetOptions() & rdoTagsArePChars),
                                   paraNo, lineBreak && !continues, continues, styleNo, full);
}
