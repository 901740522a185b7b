// Backspace and Delete without a selection: characters and items before or
// after the caret, paragraphs joined at their boundary, list markers and page
// breaks removed, full-line items stepped over. A whole character goes with
// either key: a surrogate pair of UTF-16 text, a multi-byte character of
// ANSI text. The editor reports the change after each key; only the page
// break removal, which stands in for the editor's own, reports it here.

#include <algorithm>

#include "editing/RDEKeysSupport.h"
#include "editing/RDERDData.h"
#include "editing/RDEdit.h"
#include "styles/RDStyle.h"

namespace {

// The caret as an item position; false without a caret stop.
bool KeysCaretItemPos(TRDEditRDData& data, int& drawNo, int& itemNo, int& itemOffs)
{
    if (data.CaretCharPosNo < 0 || data.CaretCharPosNo >= int(data.CharPositions.size()))
        return false;
    const TRDCharPos& stop = data.CharPositions[size_t(data.CaretCharPosNo)];
    drawNo = stop.DrawIndex;
    if (drawNo < 0 || drawNo >= data.DrawItems.Count())
        return false;
    data.DrawPosToItemPos(drawNo, stop.DrawOffset, itemOffs, itemNo);
    return itemNo >= 0;
}

bool KeysOnLastStop(const TRDEditRDData& data)
{
    return data.CaretCharPosNo == int(data.CharPositions.size()) - 1;
}

}  // namespace

void TRDEditRDData::PlaceCaretAtItem(int itemNo, int offset, bool applyParaStyle)
{
    if (itemNo < 0 || itemNo >= ItemCount())
        return;
    int dOffs = -1, dNo = -1;
    ItemPosToDrawPos(itemNo, offset, dOffs, dNo);
    if (dNo < 0)
        return;
    CaretDrawItemNo = dNo;
    SkipMarkerDrawItem(true, dOffs);
    BuildCharPositions(dOffs - 2);
    UpdateCaret(true, false, true);
    if (applyParaStyle)
        ApplyCaretItemParaStyle();
}

bool TRDEditRDData::CaretAtParagraphStart(bool notAfterLineBreak)
{
    int d = -1, item = -1, offs = 0;
    if (CaretCharPosNo != 0 || !KeysCaretItemPos(*this, d, item, offs))
        return false;
    if (offs != StartOffsetOf(item))
        return false;
    if (ItemAt(item)->ContinuesPara() && !KeysIsMarker(*this, item - 1))
        return false;
    return !(notAfterLineBreak && ItemAt(item)->HasLineBreakBefore());
}

bool TRDEditRDData::CaretAtParagraphEnd(bool notBeforeLineBreak)
{
    int d = -1, item = -1, offs = 0;
    if (!KeysOnLastStop(*this) || !KeysCaretItemPos(*this, d, item, offs))
        return false;
    if (offs != EndOffsetOf(item))
        return false;
    if (item + 1 >= ItemCount())
        return true;
    if (ItemAt(item + 1)->ContinuesPara())
        return false;
    return !(notBeforeLineBreak && ItemAt(item + 1)->HasLineBreakBefore());
}

int TRDEditRDData::CharsBeforeCaret(int itemNo, int offset, bool word, bool wholeChar)
{
    const QByteArray& s = TextOfItem(itemNo);
    const uint8_t options = ItemOptionsOf(itemNo);
    if (offset <= 1)
        return 1;
    if (word && !wholeChar) {
        int c = offset - 1;  // the character just before the caret
        int count = 1;
        while (c >= 2) {
            const bool delimBefore = IsDelimiterAt(s, c - 1, options, itemNo);
            const bool delim = IsDelimiterAt(s, c, options, itemNo);
            if (delimBefore && !delim)
                break;
            if (!delimBefore && !CharIsSpace(s, c, options) && delim)
                break;
            --c;
            ++count;
        }
        return count;
    }
    // A whole character: a surrogate pair of Unicode text and a multi-byte
    // character of ANSI text go together, from either key.
    return offset - PrevCharPos(s, itemNo, offset);
}

void TRDEditRDData::ClearPageBreakAtCaretItem()
{
    const int item = GetCaretItemNo();
    if (item < 0 || !Editor()->CanChange())
        return;
    BeginUndoGroup(rdutPageBreak, true);
    SetPageBreakRecorded(item, false);
    DoChange(true);
    InvalidateControl();
}

bool TRDEditRDData::ReplaceItemByEmptyText(int itemNo)
{
    if (ParaIsReadOnly(itemNo) || StyleHasProtection(itemNo, rdprDeleteProtect)) {
        BeepIfEnabled();
        return false;
    }
    int d1 = -1, d2 = -1;
    KeysParaDrawRange(*this, itemNo, itemNo, d1, d2);
    const int width = SectionWidthOf(itemNo);
    const bool tagsArePChars = GetOptions() & rdoTagsArePChars;
    TCustomRDItemInfo* old = ItemAt(itemNo);
    const bool lineBreak = old->HasLineBreakBefore();
    const bool continues = old->ContinuesPara();
    const bool wasText = old->StyleNo >= 0;
    const QByteArray oldText = TextOfItem(itemNo);
    TRDTag tag;
    if (old->StyleNo == CurrentTextStyleNo)
        tag = CopyStringTag(old->Tag, tagsArePChars);
    std::unique_ptr<TRDCPInfo> checkpoint;
    if (old->Checkpoint)
        checkpoint = old->Checkpoint->CreateCopy(tagsArePChars);
    bool full = false;
    DeleteItemRecorded(itemNo, full);
    KeysInsertEmptyText(*this, itemNo, tag, CurrentParaNo, lineBreak, continues, full, CurrentTextStyleNo);
    if (checkpoint)
        AttachCheckpointRecorded(itemNo, std::move(checkpoint));
    if (wasText)
        FireItemTextEdit(oldText, itemNo);
    RespellFrom(itemNo, 0);
    ReformatAfterEdit(full || (DocumentWidth >= 0 && width >= DocumentWidth), d1, d2, 0);
    PlaceCaretAtItem(itemNo, 1, false);
    return true;
}

bool TRDEditRDData::DeleteWholeItemAtCaret(int itemNo)
{
    if (ParaIsReadOnly(itemNo) || StyleHasProtection(itemNo, rdprDeleteProtect)
        || !MovePersistentCheckpointAway(itemNo, false)) {
        BeepIfEnabled();
        return false;
    }
    int targetItem = itemNo - 1;
    int targetOffs = targetItem >= 0 ? EndOffsetOf(targetItem) : 0;
    int d1 = -1, d2 = -1;
    KeysParaDrawRange(*this, std::max(0, itemNo - 1), itemNo, d1, d2);
    const int width = SectionWidthOf(itemNo);
    TRDKeysNumbering numbering;
    KeysCollectNumbering(*this, itemNo, itemNo, numbering);
    const TCustomRDItemInfo* m = ItemAt(itemNo);
    const bool continued = m->ContinuesPara();
    const bool lineBreak = m->HasLineBreakBefore();
    const bool pageBreak = m->BreaksPageBefore();
    const int countBefore = ItemCount();
    bool full = false;
    DeleteItemRecorded(itemNo, full);
    if (itemNo < ItemCount() && !StartsParagraph(itemNo)) {
        if (continued) {
            if (itemNo > 0 && ItemsCanMerge(itemNo - 1, ItemAt(itemNo - 1), false, ItemAt(itemNo))) {
                JoinItemsRecorded(itemNo - 1, full);
                RespellFrom(itemNo - 1, targetOffs);
            }
        } else {
            SetContinuesParaRecorded(itemNo, false, full, -1);
            SetLineBreakRecorded(itemNo, lineBreak, full);
            SetPageBreakRecorded(itemNo, pageBreak);
            targetItem = itemNo;
            targetOffs = StartOffsetOf(itemNo);
        }
    }
    if (targetItem < 0) {
        targetItem = 0;
        targetOffs = ItemCount() > 0 ? StartOffsetOf(0) : 0;
    }
    if (targetItem < ItemCount())
        RespellFrom(targetItem, 0);
    const bool fullFormat = full || (DocumentWidth >= 0 && width >= DocumentWidth);
    ReformatAfterEdit(fullFormat, d1, d2, ItemCount() - countBefore);
    PlaceCaretAtItem(targetItem, targetOffs, false);
    if (!fullFormat)
        KeysApplyNumbering(*this, FirstItemOfPara(std::min(targetItem, ItemCount() - 1)), numbering);
    return true;
}

void TRDEditRDData::BackspaceKey(bool word, bool wholeChar, bool atPartEnd)
{
    int d = -1, item = -1, offs = 0;
    if (!KeysCaretItemPos(*this, d, item, offs))
        return;
    if (atPartEnd && d + 1 < DrawItems.Count() && DrawItems[d + 1]->ItemNo != item)
        offs = EndOffsetOf(item);
    if (ParaIsReadOnly(item)) {
        BeepIfEnabled();
        return;
    }
    const bool lineStart = CaretCharPosNo == 0 && offs == StartOffsetOf(item);
    if (lineStart) {
        if (item == 0) {
            if (ItemAt(0)->BreaksPageBefore())
                ClearPageBreakAtCaretItem();
            return;
        }
        if (KeysIsFullLine(*this, item) || (KeysIsFullLine(*this, item - 1) && !KeysIsEmptyText(*this, item))) {
            MoveCaretLeft(false, false);
            return;
        }
        if (ItemAt(item)->ContinuesPara() && !KeysIsMarker(*this, item - 1) && d > 0) {
            // The line was wrapped here: Backspace acts at the end of the line before.
            CaretDrawItemNo = d - 1;
            BuildCharPositions(DrawItemEndOffset(d - 1) - 2);
            BackspaceKey(word, wholeChar, true);
            UpdateCaret(true, false, false);
            return;
        }
    }
    if (!Editor()->CanChange())
        return;
    BeginUndoGroup(rdutDelete, true);

    if (CaretAtParagraphStart(false)) {
        const int a = item;
        const int b = item - 1;
        bool full = false;
        if (ItemAt(a)->BreaksPageBefore()) {
            SetPageBreakRecorded(a, false);
            InvalidateControl();
            DoChange(true);
            return;
        }
        if (KeysIsMarker(*this, b)) {
            DeleteWholeItemAtCaret(b);
            return;
        }
        int d1 = -1, d2 = -1;
        KeysParaDrawRange(*this, b, a, d1, d2);
        const int countBefore = ItemCount();
        if (KeysIsEmptyText(*this, a)) {
            if (StyleHasProtection(a, rdprDeleteProtect) || ParaIsReadOnly(a) || HasPersistentCheckpoint(a)) {
                BeepIfEnabled();
                return;
            }
            DeleteItemRecorded(a, full);
            ReformatAfterEdit(full, d1, d2, ItemCount() - countBefore);
            PlaceCaretAtItem(b, EndOffsetOf(b), true);
            return;
        }
        if (KeysIsEmptyText(*this, b)) {
            if (StyleHasProtection(b, rdprDeleteProtect) || ParaIsReadOnly(b) || ParaIsReadOnly(a)
                || ParaHasPersistentCheckpoint(b) || (KeysIsMarker(*this, b - 1) && ParaHasPersistentCheckpoint(a))) {
                BeepIfEnabled();
                return;
            }
            if (!ItemAt(b)->HasLineBreakBefore())
                SetLineBreakRecorded(a, false, full);
            if (KeysIsMarker(*this, b - 1))
                SetContinuesParaRecorded(a, true, full, -1);
            DeleteItemRecorded(b, full);
            ReformatAfterEdit(full, d1, d2, ItemCount() - countBefore);
            PlaceCaretAtItem(b, StartOffsetOf(b), false);
            return;
        }
        if (ItemsCanMerge(b, ItemAt(b), true, ItemAt(a))) {
            if (ParaIsReadOnly(a) || ParaIsReadOnly(b) || StyleHasProtection(a, rdprParaStartProtect)
                || ParaHasPersistentCheckpoint(a)) {
                BeepIfEnabled();
                return;
            }
            const int width = std::max(SectionWidthOf(a), SectionWidthOf(b));
            const int joint = EndOffsetOf(b);
            const QByteArray old = TextOfItem(b);
            JoinItemsRecorded(b, full);
            FireItemTextEdit(old, b);
            RespellFrom(b, joint);
            ReformatAfterEdit(full || (DocumentWidth >= 0 && width >= DocumentWidth), d1, d2,
                              ItemCount() - countBefore);
            PlaceCaretAtItem(b, joint, true);
            return;
        }
        if (StyleHasProtection(a, rdprParaStartProtect) || ParaIsReadOnly(a) || ParaIsReadOnly(b)
            || ParaHasPersistentCheckpoint(a)) {
            BeepIfEnabled();
            return;
        }
        SetContinuesParaRecorded(a, true, full, -1);
        ReformatAfterEdit(full, d1, d2, 0);
        PlaceCaretAtItem(a, StartOffsetOf(a), true);
        return;
    }

    // Inside a paragraph.
    if (ItemAt(item)->StyleNo >= 0) {
        const int count = CharsBeforeCaret(item, offs, word, wholeChar);
        if (count < offs) {
            if (StyleHasProtection(item, rdprModifyProtect)) {
                BeepIfEnabled();
                return;
            }
            int d1 = -1, d2 = -1;
            KeysParaDrawRange(*this, item, item, d1, d2);
            const int width = SectionWidthOf(item);
            const int position = offs - count;
            const QByteArray old = TextOfItem(item);
            DeleteSubstringRecorded(item, position, count);
            FireItemTextEdit(old, item);
            Owner->SpellingCharsDeleted(this, item, position, count);
            ReformatAfterEdit(DocumentWidth >= 0 && width >= DocumentWidth, d1, d2, 0);
            PlaceCaretAtItem(item, position, false);
            return;
        }
    } else if (offs != 1) {
        return;
    }
    const bool startsPara = StartsParagraph(item) || KeysIsMarker(*this, item - 1);
    const bool onlyItem = startsPara && (item + 1 >= ItemCount() || StartsParagraph(item + 1));
    if (onlyItem)
        ReplaceItemByEmptyText(item);
    else
        DeleteWholeItemAtCaret(item);
}

void TRDEditRDData::DeleteKey(bool word, bool again)
{
    int d = -1, item = -1, offs = 0;
    if (!KeysCaretItemPos(*this, d, item, offs))
        return;
    if (ParaIsReadOnly(item)) {
        BeepIfEnabled();
        return;
    }
    const bool lineEnd = KeysOnLastStop(*this) && offs == EndOffsetOf(item);
    if (lineEnd) {
        if (KeysIsFullLine(*this, item) || (KeysIsFullLine(*this, item + 1) && !KeysIsEmptyText(*this, item))) {
            MoveCaretRight(false, false);
            return;
        }
        if (item == ItemCount() - 1) {
            if (KeysIsEmptyText(*this, item))
                BackspaceKey(word, false, false);
            return;
        }
        if (ItemAt(item + 1)->ContinuesPara() && d + 1 < DrawItems.Count()) {
            // The line was wrapped here: Delete acts at the start of the next line.
            CaretDrawItemNo = d + 1;
            BuildCharPositions(DrawItemStartOffset(d + 1) - 2);
            DeleteKey(word, true);
            UpdateCaret(true, false, false);
            return;
        }
    }
    if (!Editor()->CanChange())
        return;
    BeginUndoGroup(rdutDelete, true);

    if (!lineEnd) {
        if (KeysOnLastStop(*this) && d + 1 < DrawItems.Count() && DrawItems[d + 1]->ItemNo == item) {
            CaretDrawItemNo = d + 1;
            BuildCharPositions(DrawItemStartOffset(d + 1) - 2);
            DeleteKey(word, true);
        } else {
            if (KeysOnLastStop(*this)) {
                if (d + 1 >= DrawItems.Count())
                    return;
                CaretDrawItemNo = d + 1;
                BuildCharPositions(DrawItemStartOffset(d + 1) - 2);
            }
            if (CaretCharPosNo + 1 < int(CharPositions.size()))
                ++CaretCharPosNo;
            CaretDrawItemNo = CharPositions[size_t(CaretCharPosNo)].DrawIndex;
            BackspaceKey(false, true, false);
        }
        UpdateCaret(true, false, false);
        return;
    }

    // At a paragraph end.
    const int a = item;
    const int b = item + 1;
    bool full = false;
    int d1 = -1, d2 = -1;
    KeysParaDrawRange(*this, a, b, d1, d2);
    const int countBefore = ItemCount();
    if (KeysIsEmptyText(*this, a) || KeysIsEmptyText(*this, b)) {
        const int e = KeysIsEmptyText(*this, a) ? a : b;
        const bool afterMarker = KeysIsMarker(*this, e - 1);
        if (StyleHasProtection(e, rdprDeleteProtect) || ParaIsReadOnly(e) || ParaHasPersistentCheckpoint(e)
            || (afterMarker && StyleHasProtection(e - 1, rdprDeleteProtect))) {
            BeepIfEnabled();
            return;
        }
        TRDKeysNumbering numbering;
        KeysCollectNumbering(*this, afterMarker ? e - 1 : e, e, numbering);
        if (e == a && !ItemAt(a)->HasLineBreakBefore())
            SetLineBreakRecorded(b, false, full);
        DeleteItemRecorded(e, full);
        int first = e;
        if (afterMarker) {
            DeleteItemRecorded(e - 1, full);
            --first;
        }
        ReformatAfterEdit(full, d1, d2, ItemCount() - countBefore);
        if (e == a && first < ItemCount())
            PlaceCaretAtItem(first, StartOffsetOf(first), false);
        else if (first > 0)
            PlaceCaretAtItem(first - 1, EndOffsetOf(first - 1), e == b);
        else
            PlaceCaretAtItem(0, StartOffsetOf(0), e == b);
        KeysApplyNumbering(*this, std::max(0, std::min(first, ItemCount() - 1)), numbering);
        return;
    }
    if (ItemsCanMerge(a, ItemAt(a), true, ItemAt(b))) {
        if (ParaIsReadOnly(a) || ParaIsReadOnly(b) || StyleHasProtection(b, rdprParaStartProtect)
            || ParaHasPersistentCheckpoint(b)) {
            BeepIfEnabled();
            return;
        }
        const int width = SectionWidthOf(a);
        const int joint = EndOffsetOf(a);
        const QByteArray old = TextOfItem(a);
        JoinItemsRecorded(a, full);
        FireItemTextEdit(old, a);
        RespellFrom(a, joint);
        ReformatAfterEdit(full || (DocumentWidth >= 0 && width >= DocumentWidth), d1, d2, ItemCount() - countBefore);
        PlaceCaretAtItem(a, joint, true);
        return;
    }
    const bool markerB = KeysIsMarker(*this, b);
    if (ParaIsReadOnly(a) || ParaIsReadOnly(b) || StyleHasProtection(b, rdprParaStartProtect)
        || ParaHasPersistentCheckpoint(b) || (markerB && StyleHasProtection(b, rdprDeleteProtect))) {
        BeepIfEnabled();
        return;
    }
    TRDKeysNumbering numbering;
    const int aEnd = EndOffsetOf(a);
    SetContinuesParaRecorded(b, true, full, -1);
    if (markerB) {
        KeysCollectNumbering(*this, b, b, numbering);
        DeleteItemRecorded(b, full);
        if (b < ItemCount() && ItemsCanMerge(a, ItemAt(a), false, ItemAt(b)))
            JoinItemsRecorded(a, full);
    }
    ReformatAfterEdit(full, d1, d2, ItemCount() - countBefore);
    PlaceCaretAtItem(a, aEnd, true);
    if (!full)
        KeysApplyNumbering(*this, FirstItemOfPara(a), numbering);
}
