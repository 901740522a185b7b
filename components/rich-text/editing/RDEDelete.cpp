// Deleting the selection: whether it may be deleted (protection, read-only
// paragraphs, persistent checkpoints), and the deletion itself as one undo
// group that joins what remains of the first and the last paragraph.

#include <algorithm>

#include "document/RDItemKind.h"
#include "editing/RDEKeysSupport.h"
#include "editing/RDERDData.h"
#include "editing/RDEdit.h"
#include "styles/RDStyle.h"

namespace {

// Whether the part from..to of an item may be deleted: an empty part, or one
// outside the item's characters, always; a non-text item unless it is
// delete-protected; a whole text item unless its style is delete-protected,
// a piece of one unless its style is modify-protected.
bool DelPartAllowed(TRDEditRDData& data, int itemNo, int from, int to)
{
    const int start = data.StartOffsetOf(itemNo);
    const int end = data.EndOffsetOf(itemNo);
    from = std::max(from, start);
    to = std::min(to, end);
    if (from >= to)
        return true;
    if (data.ItemAt(itemNo)->StyleNo < 0)
        return !data.StyleHasProtection(itemNo, rdprDeleteProtect);
    if (from == start && to == end)
        return !data.StyleHasProtection(itemNo, rdprDeleteProtect);
    return !data.StyleHasProtection(itemNo, rdprModifyProtect);
}

// The next item from i + 1 on that starts a paragraph (ItemCount when none).
int DelNextParaStart(const TRDEditRDData& data, int i)
{
    ++i;
    while (i < data.ItemCount() && !data.StartsParagraph(i))
        ++i;
    return i;
}

}  // namespace

bool TRDEditRDData::CanDeleteSelection()
{
    if (!DataSelectionExists(false, false)) {
        if (TCustomRDItemInfo* chosen = GetChosenItem())
            return chosen->CanDeleteSelectionInside();
        return true;
    }
    if (TCustomRDData* sub = GetChosenSubData(); sub && sub != this) {
        auto* edit = dynamic_cast<TRDEditRDData*>(sub);
        return edit && edit->CanDeleteSelection();
    }
    int f = -1, fo = 0, l = -1, lo = 0;
    GetSelectionBounds(f, fo, l, lo, true);
    if (f < 0 || l < 0)
        return true;
    for (int i = f + 1; i < l; ++i)
        if (StyleHasProtection(i, rdprDeleteProtect))
            return false;
    if (!DelPartAllowed(*this, f, fo, f == l ? lo : EndOffsetOf(f)))
        return false;
    if (f != l && !DelPartAllowed(*this, l, StartOffsetOf(l), lo))
        return false;
    if (ParaIsReadOnly(f) && (!StartsParagraph(f) || fo > StartOffsetOf(f)))
        return false;
    if (ParaIsReadOnly(l) && (lo < EndOffsetOf(l) || (l + 1 < ItemCount() && !StartsParagraph(l + 1))))
        return false;
    if (ParaIsReadOnly(f) && f == l && fo == lo)
        return false;
    if (ParaHasOption(CurrentParaNo, rdpaoReadOnly))
        return false;
    // Crossing a paragraph boundary merges the paragraphs from the first one
    // after F up to the end of L's paragraph away: their persistent
    // checkpoints would lose their place.
    const int firstStart = DelNextParaStart(*this, f);
    if (firstStart <= l) {
        for (int i = firstStart; i <= l; ++i)
            if (HasPersistentCheckpoint(i))
                return false;
        for (int i = l + 1; i < ItemCount() && !StartsParagraph(i); ++i)
            if (HasPersistentCheckpoint(i))
                return false;
    }
    return true;
}

void TRDEditRDData::SkipMarkerItem(int& itemNo, int& offset, bool forward)
{
    if (itemNo < 0 || itemNo >= ItemCount() || ItemAt(itemNo)->StyleNo != MarkerStyleNo)
        return;
    if (forward || itemNo == 0 || offset == 1) {
        if (itemNo + 1 < ItemCount()) {
            ++itemNo;
            offset = StartOffsetOf(itemNo);
        }
    } else {
        --itemNo;
        offset = EndOffsetOf(itemNo);
    }
}

void TRDEditRDData::RescuePersistentCheckpoint(int first, int firstOffs, int last, int lastOffs)
{
    int carrier = -1;
    if (HasPersistentCheckpoint(first) && firstOffs < EndOffsetOf(first))
        carrier = first;
    else {
        for (int i = first + 1; i <= last && !StartsParagraph(i); ++i)
            if (HasPersistentCheckpoint(i)) {
                carrier = i;
                break;
            }
        if (carrier < 0 && last != first && !StartsParagraph(last) && lastOffs >= EndOffsetOf(last)
            && HasPersistentCheckpoint(last))
            carrier = last;
    }
    if (carrier < 0)
        return;
    const int target =
        (firstOffs > StartOffsetOf(first) || first == 0 || StartsParagraph(first)) ? first : first - 1;
    if (target < carrier)
        MoveCheckpointRecorded(carrier, target);
}

bool TRDEditRDData::DeleteSelection()
{
    if (!DataSelectionExists(false, false)) {
        if (TCustomRDItemInfo* chosen = GetChosenItem()) {
            if (chosen->CanDeleteSelectionInside()) {
                chosen->DeleteSelectionInside();
                return true;
            }
            BeepIfEnabled();
            return false;
        }
        return true;
    }
    if ((GetChosenSubData() && GetChosenSubData() != this) || !CanDeleteSelection()) {
        BeepIfEnabled();
        return false;
    }

    int f = -1, fo = 0, l = -1, lo = 0;
    GetSelectionBounds(f, fo, l, lo, true);

    // A drop caret of an OLE drag into this document: inside the selection
    // refuses; after it, it follows the items and characters that go.
    TRDDragDropCaretInfo* drop = (GetControlFlags() & cfOwnOptions) ? DragDropCaret.get() : nullptr;
    if (drop && (drop->RDData != this || drop->ItemNo < 0))
        drop = nullptr;
    if (drop && ItemPosInSelection(drop->ItemNo, drop->ItemOffs, false)) {
        BeepIfEnabled();
        return false;
    }
    const bool dropAfter = drop && (drop->ItemNo > l || (drop->ItemNo == l && drop->ItemOffs >= lo));
    if (!dropAfter)
        drop = nullptr;
    const int dropFromEnd = drop ? ItemCount() - drop->ItemNo : 0;
    const bool dropInLast = drop && drop->ItemNo == l;

    BeginUndoGroup(rdutDelete, true);

    // The draw items of the touched paragraphs, for the reformat.
    int d1 = -1, d1o = 0, d2 = -1, d2o = 0;
    GetSelBoundsDraw(d1, d1o, d2, d2o, true);
    while (d1 > 0 && !DrawItemStartsParagraph(d1))
        --d1;
    while (d2 >= 0 && d2 < DrawItems.Count() - 1 && !DrawItemEndsParagraph(d2))
        ++d2;

    // The tag that a text item of the current style standing in for what
    // went receives.
    const bool tagsArePChars = GetOptions() & rdoTagsArePChars;
    TRDTag keptTag;
    {
        int en = GetSelEndNo();
        if (en >= 0 && en < DrawItems.Count()) {
            const int item = DrawItems[en]->ItemNo;
            if (ItemAt(item)->StyleNo == CurrentTextStyleNo)
                keptTag = CopyStringTag(ItemAt(item)->Tag, tagsArePChars);
        }
    }

    Deselect(nullptr, false);
    if (ItemAt(f)->ContinuesPara() && fo <= StartOffsetOf(f) && f > 0) {
        --f;
        fo = EndOffsetOf(f);
    }
    SkipMarkerItem(f, fo, true);
    SkipMarkerItem(l, lo, true);

    const int countBefore = ItemCount();
    TRDKeysNumbering numbering;
    KeysCollectNumbering(*this, f, l, numbering);

    RescuePersistentCheckpoint(f, fo, l, lo);

    bool full = false;
    int widest = 0;
    bool paraEnds = false;
    bool lastSurvives = false;
    int firstPartEnd = lo;
    int dropHeadCut = 0;  // characters cut from the head of L before the drop caret
    if (f == l) {
        paraEnds = !(l + 1 < ItemCount() && ItemAt(l + 1)->ContinuesPara());
    } else {
        widest = std::max(widest, SectionWidthOf(l));
        if (lo < EndOffsetOf(l)) {
            if (ItemAt(l)->StyleNo >= 0 && lo > 1) {
                const QByteArray old = TextOfItem(l);
                DeleteSubstringRecorded(l, 1, lo - 1);
                FireItemTextEdit(old, l);
                dropHeadCut = lo - 1;
            }
            lastSurvives = true;
            paraEnds = false;
        } else {
            paraEnds = l == ItemCount() - 1 || !ItemAt(l + 1)->ContinuesPara();
            DeleteItemRecorded(l, full);
        }
        if (l - 1 >= f + 1) {
            widest = std::max(widest, RangeWidthOf(f + 1, l - 1));
            DeleteItemsRecorded(f + 1, l - 1, full);
        }
        firstPartEnd = EndOffsetOf(f);
    }

    widest = std::max(widest, SectionWidthOf(f));
    int caretItem = f;
    int caretOffs = fo;
    if (fo <= StartOffsetOf(f) && firstPartEnd >= EndOffsetOf(f)) {
        // All of F goes.
        const bool fContinued = ItemAt(f)->ContinuesPara();
        if (paraEnds && fContinued) {
            paraEnds = f > 0 && ItemAt(f - 1)->StyleNo == MarkerStyleNo;
        }
        std::unique_ptr<TRDCPInfo> keptCheckpoint;
        if (paraEnds && HasPersistentCheckpoint(f))
            keptCheckpoint = CheckpointOfItem(f)->CreateCopy(tagsArePChars);
        if (!paraEnds)
            MovePersistentCheckpointAway(f, false);
        const bool fLineBreak = ItemAt(f)->HasLineBreakBefore();
        const int fParaNo = ItemAt(f)->ParaNo;
        const bool fWasText = ItemAt(f)->StyleNo >= 0;
        const QByteArray fOldText = TextOfItem(f);
        DeleteItemRecorded(f, full);
        if (paraEnds) {
            KeysInsertEmptyText(*this, f, keptTag, fParaNo, fLineBreak, fContinued, full, CurrentTextStyleNo);
            if (fWasText)
                FireItemTextEdit(fOldText, f);
            if (keptCheckpoint)
                AttachCheckpointRecorded(f, std::move(keptCheckpoint));
            caretItem = f;
            caretOffs = 1;
        } else if (!fContinued && f < ItemCount()
                   && !(f != 0 && StyleHasProtection(f, rdprParaStartProtect))) {
            SetContinuesParaRecorded(f, false, full, -1);
            SetLineBreakRecorded(f, fLineBreak, full);
            caretItem = f;
            caretOffs = StartOffsetOf(f);
        } else {
            caretItem = f - 1;
            caretOffs = EndOffsetOf(f - 1);
            if (lastSurvives)
                SetContinuesParaRecorded(f, true, full, -1);
        }
    } else {
        if (ItemAt(f)->StyleNo >= 0 && firstPartEnd > fo) {
            const QByteArray old = TextOfItem(f);
            DeleteSubstringRecorded(f, fo, firstPartEnd - fo);
            FireItemTextEdit(old, f);
        }
        caretItem = f;
        caretOffs = fo;
        if (lastSurvives)
            SetContinuesParaRecorded(f + 1, true, full, -1);
    }

    if (drop) {
        drop->ItemNo = ItemCount() - dropFromEnd;
        if (dropInLast)
            drop->ItemOffs -= dropHeadCut;
    }

    if (caretItem + 1 < ItemCount() && ItemsCanMerge(caretItem, ItemAt(caretItem), false, ItemAt(caretItem + 1))) {
        const int joinAt = EndOffsetOf(caretItem);
        if (drop && drop->ItemNo == caretItem + 1) {
            drop->ItemNo = caretItem;
            drop->ItemOffs += joinAt - 1;
        } else if (drop && drop->ItemNo > caretItem + 1)
            --drop->ItemNo;
        JoinItemsRecorded(caretItem, full);
    }

    RespellFrom(caretItem, 0);

    ReformatAfterEdit(full || (DocumentWidth >= 0 && widest >= DocumentWidth), d1, d2, ItemCount() - countBefore);

    int dOffs = -1, dNo = -1;
    ItemPosToDrawPos(caretItem, caretOffs, dOffs, dNo);
    CaretDrawItemNo = dNo;
    if (dNo >= 0) {
        SkipMarkerDrawItem(true, dOffs);
        BuildCharPositions(dOffs - 2);
    }
    UpdateCaret(true, true, false);

    ApplyCaretItemParaStyle();
    {
        const int item = GetCaretItemNo();
        KeysApplyNumbering(*this, item >= 0 ? FirstItemOfPara(item) : 0, numbering);
    }

    UpdateControl();
    DoChange(true);
    DoSelect();
    InvalidateControl();
    return true;
}

void TRDEditRDData::ApplyCaretItemParaStyle()
{
    const int item = GetCaretItemNo();
    if (item < 0 || item >= ItemCount())
        return;
    ApplyParaStyle(ItemAt(item)->ParaNo, false);
}
