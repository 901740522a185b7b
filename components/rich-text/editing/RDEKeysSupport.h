#pragma once

// Steps that deleting the selection, Backspace, Delete and Enter share:
// the numbering collected before a deletion and applied after it, the draw
// items of the paragraphs an edit touches, the caret stepping over a
// full-line item, and the empty text item that stands in for what went.

#include <memory>

#include <QtCore/QStringList>

#include "core/RDLists.h"
#include "document/RDItemKind.h"
#include "core/RDUnicode.h"
#include "editing/RDERDData.h"
#include "styles/RDStyle.h"

// The lists and sequences a deletion touches, collected before it.
struct TRDKeysNumbering {
    int First = -1;
    int Last = -1;
};

inline void KeysCollectNumbering(TRDEditRDData& data, int first, int last, TRDKeysNumbering& numbering)
{
    numbering.First = first;
    numbering.Last = last;
}

// Renumbers the list markers and sequence fields from the paragraph of item
// from on (until CollectNumbering and ApplyNumbering land).
inline void KeysApplyNumbering(TRDEditRDData& data, int from, const TRDKeysNumbering& numbering)
{
    if (numbering.First < 0 || data.ItemCount() == 0)
        return;
    if (!data.GetMarkerList(false) && !data.GetSeqList(false))
        return;
    data.RenumberAfterEdit(std::max(0, std::min(from, data.ItemCount() - 1)), data.ItemCount() - 1);
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

// The caret from the first stop of its line to the end of the draw item
// before (over a list marker backwards); true when there is none (until
// MoveCaretLeft lands).
inline bool KeysCaretToPrevDrawItemEnd(TRDEditRDData& data)
{
    int d = data.CaretDrawItemNo - 1;
    if (d >= 0 && KeysIsMarker(data, data.DrawItems[d]->ItemNo))
        --d;
    if (d < 0)
        return true;
    data.CaretDrawItemNo = d;
    data.BuildCharPositions(data.DrawItemEndOffset(d) - 2);
    data.UpdateCaret(true, false, false);
    return false;
}

// The caret from the last stop of its line to the start of the next draw
// item (over a list marker forwards); true when there is none (until
// MoveCaretRight lands).
inline bool KeysCaretToNextDrawItemStart(TRDEditRDData& data)
{
    int d = data.CaretDrawItemNo + 1;
    if (d < data.DrawItems.Count() && KeysIsMarker(data, data.DrawItems[d]->ItemNo))
        ++d;
    if (d >= data.DrawItems.Count())
        return true;
    data.CaretDrawItemNo = d;
    data.BuildCharPositions(data.DrawItemStartOffset(d) - 2);
    data.UpdateCaret(true, false, false);
    return false;
}

// Inserts an empty text item of a style at index (recorded): the tag copied,
// the paragraph style given, on a new line or continuing as asked; the
// Unicode bit follows the style.
inline void KeysInsertEmptyText(TRDEditRDData& data, int index, const TRDTag& tag, int paraNo, bool lineBreak,
                                bool continues, bool& full, int styleNo)
{
    std::unique_ptr<TCustomRDItemInfo> item(TextItemClass(&data));
    item->StyleNo = styleNo;
    item->ParaNo = paraNo;
    item->Tag = CopyStringTag(tag, data.GetOptions() & rdoTagsArePChars);
    item->ItemOptions = 0;
    if (TRDStyle* sheet = data.GetRDStyle()) {
        const int resolved = data.ResolveStyleNo(styleNo, paraNo);
        if (sheet->TextStyles().TextStyleAt(resolved)->Unicode)
            item->ItemOptions |= rdioUnicode;
    }
    if (continues)
        item->ItemOptions |= rdioContinuesPara;
    else if (lineBreak)
        item->ItemOptions |= rdioLineBreakBefore;
    data.InsertItemRecorded(index, QByteArray(), full, false, std::move(item));
}

// The editor's OnItemTextEdit for an item whose text changed (until
// FireItemTextEdit lands: no handler is asked).
inline bool KeysFireTextEdit(TRDEditRDData& data, const QByteArray& oldText, int itemNo)
{
    (void)data;
    (void)oldText;
    (void)itemNo;
    return false;
}
