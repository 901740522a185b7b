// Enter and Shift+Enter: a new paragraph (or a new line of the same
// paragraph) at the caret. A new paragraph takes the style sheet's next
// paragraph and text styles, a list paragraph repeats its marker, and Enter
// in an empty list item ends the list. The editor reports the change after.

#include <algorithm>

#include "document/RDMarkerLists.h"
#include "editing/RDEKeysSupport.h"
#include "editing/RDERDData.h"
#include "editing/RDEdit.h"
#include "styles/RDStyle.h"

namespace {

// The tail of a text from item offset offs on (bytes of the item's text).
QByteArray EnterTextFrom(const TRDEditRDData& data, int itemNo, int offs)
{
    const QByteArray& s = data.TextOfItem(itemNo);
    const int unit = (data.ItemOptionsOf(itemNo) & rdioUnicode) ? 2 : 1;
    return s.mid(qsizetype(offs - 1) * unit);
}

}  // namespace

void TRDEditRDData::CaretToDrawItemStart()
{
    if (CaretDrawItemNo < 0 || CaretDrawItemNo >= DrawItems.Count())
        return;
    int offs = DrawItemStartOffset(CaretDrawItemNo);
    SkipMarkerDrawItem(true, offs);
    BuildCharPositions(offs - 2);
    UpdateCaret(true, false, false);
}

bool TRDEditRDData::BreakParagraph(bool lineBreak, bool again)
{
    const int item = GetCaretItemNo();
    if (item < 0 || CaretCharPosNo < 0 || CaretCharPosNo >= int(CharPositions.size()))
        return false;
    const int paraNo = ItemAt(item)->ParaNo;
    if (ParaHasOption(paraNo, rdpaoDoNotWantReturns) || (lineBreak && ParaIsReadOnly(item))) {
        BeepIfEnabled();
        return false;
    }
    const bool atStart = CaretAtParagraphStart(false);
    const bool atEnd = CaretAtParagraphEnd(false);
    if (atStart || atEnd) {
        const bool real = (atStart && CaretAtParagraphStart(true)) || (atEnd && CaretAtParagraphEnd(true));
        if (ParaIsReadOnly(item) && !real) {
            BeepIfEnabled();
            return false;
        }
        BeginUndoGroup(rdutNewLine, true);
        return InsertEmptyParagraph(lineBreak, again);
    }
    if (ParaIsReadOnly(item)) {
        BeepIfEnabled();
        return false;
    }
    BeginUndoGroup(rdutNewLine, true);
    const int width = SectionWidthOf(item);
    const bool noWrap = ParaHasOption(paraNo, rdpaoNoWrap) || !GetWordWrap();
    int d1 = -1, d2 = -1;
    KeysParaDrawRange(*this, item, item, d1, d2);
    const int offs = GetCaretOffset();
    if (ItemAt(item)->StyleNo < 0) {
        if (offs <= 0)
            return BreakBeforeItem(item, lineBreak, d1, d2, width, noWrap);
        return BreakAfterItem(item, lineBreak, d1, d2, width, noWrap);
    }
    if (offs <= StartOffsetOf(item))
        return BreakBeforeItem(item, lineBreak, d1, d2, width, noWrap);
    if (offs < EndOffsetOf(item))
        return SplitTextItem(item, offs, lineBreak, d1, d2, width, noWrap);
    return BreakAfterItem(item, lineBreak, d1, d2, width, noWrap);
}

bool TRDEditRDData::InsertEmptyParagraph(bool lineBreak, bool again)
{
    const int item = GetCaretItemNo();
    if (StyleHasProtection(item, rdprParaStartProtect)) {
        BeepIfEnabled();
        return false;
    }
    // Enter in an empty list item ends the list: its marker goes, then Enter
    // runs again in the plain paragraph.
    if (!lineBreak && !again && KeysIsEmptyText(*this, item) && KeysIsMarker(*this, item - 1)
        && CaretAtParagraphStart(false)) {
        BackspaceKey(false, false, false);
        return BreakParagraph(false, true);
    }
    TRDStyle* sheet = GetRDStyle();
    const int stopCount = int(CharPositions.size());
    const bool onLastStop = CaretCharPosNo == stopCount - 1;
    const bool onFirstStop = CaretCharPosNo == 0;
    if (onLastStop && ItemAt(item)->StyleNo == CurrentTextStyleNo && sheet) {
        const int next = sheet->TextStyles().TextStyleAt(GetCurrentStyleNo())->NextStyleNo;
        if (next != -1)
            SetCurrentTextStyleNo(next);
    }
    if (!lineBreak && !(item + 1 < ItemCount() && ItemAt(item + 1)->HasLineBreakBefore()) && sheet) {
        const int next = sheet->ParaStyles().ParaStyleAt(ItemAt(item)->ParaNo)->NextParaNo;
        if (ParaIsReadOnly(item))
            SetCurrentParaNo(next == -1 ? 0 : next);
        else if (onLastStop && next != -1)
            SetCurrentParaNo(next);
    }

    // The new empty text item.
    const bool tagsArePChars = GetOptions() & rdoTagsArePChars;
    const int currentStyle = GetCurrentStyleNo();
    const bool protectedStyle =
        sheet && (sheet->TextStyles().TextStyleAt(currentStyle)->Protection & rdprModifyProtect);
    std::unique_ptr<TCustomRDItemInfo> n(TextItemClass(this));
    n->StyleNo = protectedStyle ? 0 : CurrentTextStyleNo;
    n->ParaNo = CurrentParaNo;
    n->ItemOptions = 0;
    if (sheet && sheet->TextStyles().TextStyleAt(ResolveStyleNo(n->StyleNo, n->ParaNo))->Unicode)
        n->ItemOptions |= rdioUnicode;
    bool full = false;
    bool itemGetsLineBreak = false;
    if (lineBreak) {
        n->ParaNo = ItemAt(item)->ParaNo;
        if (!onFirstStop || stopCount == 1)
            n->SetLineBreakBefore(true);
        else {
            n->SetLineBreakBefore(ItemAt(item)->HasLineBreakBefore());
            itemGetsLineBreak = true;
        }
    }
    if (ResolveStyleNo(n->StyleNo, n->ParaNo) == EffectiveStyleOfItem(item)) {
        n->Tag = CopyStringTag(ItemAt(item)->Tag, tagsArePChars);
        n->Hint = ItemAt(item)->Hint;
    }

    const int lineFirst = CharPositions.front().DrawIndex;
    const int lineLast = CharPositions.back().DrawIndex;
    int added = 1;
    int index = -1;
    int caretItem = -1;
    bool copiedMarker = false;
    const int paraFirst = FirstItemOfPara(item);
    if (onLastStop) {
        index = item + 1;
        if (!lineBreak && n->ParaNo == ItemAt(item)->ParaNo && KeysIsMarker(*this, paraFirst)) {
            if (CopyParagraphMarker(item, item + 1, true, full)) {
                copiedMarker = true;
                ++added;
                ++index;
                n->ItemOptions |= rdioContinuesPara;
                n->ItemOptions &= ~rdioLineBreakBefore;
            }
        }
        if (itemGetsLineBreak)
            SetLineBreakRecorded(item, true, full);
        caretItem = index;
    } else {
        index = item;
        const bool lineBeginsWithMarker = KeysIsMarker(*this, item - 1);
        if (lineBreak) {
            if (lineBeginsWithMarker) {
                n->ItemOptions |= rdioContinuesPara;
                n->ItemOptions &= ~rdioLineBreakBefore;
                SetContinuesParaRecorded(item, false, full, -1);
                SetLineBreakRecorded(item, true, full);
            } else if (itemGetsLineBreak)
                SetLineBreakRecorded(item, true, full);
        } else if (lineBeginsWithMarker) {
            n->ItemOptions |= rdioContinuesPara;
        }
        caretItem = item + 1;
    }
    const bool paraBeginsWithMarker = KeysIsMarker(*this, paraFirst);
    InsertItemRecorded(index, QByteArray(), full, false, std::move(n));
    if (!onLastStop && !lineBreak && paraBeginsWithMarker) {
        // The text keeps its list item: a copy of the marker goes in front of it.
        if (CopyParagraphMarker(paraFirst, index + 1, true, full)) {
            copiedMarker = true;
            ++added;
            ++caretItem;
            if (!ItemAt(caretItem)->ContinuesPara())
                SetContinuesParaRecorded(caretItem, true, full, -1);
        }
    }
    if (!onLastStop && ItemAt(caretItem)->Checkpoint)
        MoveCheckpointRecorded(caretItem, index);
    RespellFrom(index, 0);

    if (full)
        FormatAll(false);
    else
        FormatParagraphsOfDrawRange(lineFirst, lineLast, false, added);
    InvalidateControl();
    CaretDrawItemNo = FirstDrawItemOfItem(caretItem);
    CaretToDrawItemStart();
    if (copiedMarker)
        RenumberAfterEdit(std::max(0, index - 1), std::min(ItemCount() - 1, caretItem));
    UpdateControl();
    return true;
}

bool TRDEditRDData::BreakBeforeItem(int itemNo, bool lineBreak, int drawFirst, int drawLast, int paraWidth,
                                    bool noWrap)
{
    if (StyleHasProtection(itemNo, rdprParaStartProtect)) {
        BeepIfEnabled();
        return false;
    }
    bool full = false;
    int added = 0;
    bool copiedMarker = false;
    if (lineBreak) {
        SetContinuesParaRecorded(itemNo, false, full, -1);
        SetLineBreakRecorded(itemNo, true, full);
    } else if (KeysIsMarker(*this, FirstItemOfPara(itemNo)) && CopyParagraphMarker(itemNo, itemNo, true, full)) {
        copiedMarker = true;
        added = 1;
        RespellFrom(itemNo + 1, 0);
    } else {
        SetContinuesParaRecorded(itemNo, false, full, -1);
    }
    const int moved = itemNo + added;
    ReformatAfterEdit(full || (noWrap && DocumentWidth >= 0 && paraWidth >= DocumentWidth), drawFirst, drawLast,
                      added);
    CaretDrawItemNo = FirstDrawItemOfItem(moved);
    CaretToDrawItemStart();
    if (copiedMarker)
        RenumberAfterEdit(itemNo, moved);
    UpdateControl();
    return true;
}

bool TRDEditRDData::BreakAfterItem(int itemNo, bool lineBreak, int drawFirst, int drawLast, int paraWidth,
                                   bool noWrap)
{
    if (itemNo + 1 >= ItemCount())
        return false;
    if (CaretDrawItemNo + 1 < DrawItems.Count())
        drawLast = std::max(drawLast, CaretDrawItemNo + 1);
    return BreakBeforeItem(itemNo + 1, lineBreak, drawFirst, drawLast, paraWidth, noWrap);
}

bool TRDEditRDData::SplitTextItem(int itemNo, int offset, bool lineBreak, int drawFirst, int drawLast, int paraWidth,
                                  bool noWrap)
{
    if (StyleHasProtection(itemNo, rdprParaStartProtect) || StyleHasProtection(itemNo, rdprModifyProtect)) {
        BeepIfEnabled();
        return false;
    }
    bool full = false;
    const QByteArray old = TextOfItem(itemNo);
    const QByteArray tail = EnterTextFrom(*this, itemNo, offset);
    std::unique_ptr<TCustomRDItemInfo> copy = CloneTextItem(*ItemAt(itemNo));
    copy->ItemOptions &= ~rdioContinuesPara;
    if (lineBreak)
        copy->SetLineBreakBefore(true);
    DeleteSubstringRecorded(itemNo, offset, -1);
    FireItemTextEdit(old, itemNo);
    int index = itemNo + 1;
    int added = 1;
    bool copiedMarker = false;
    if (!lineBreak && KeysIsMarker(*this, FirstItemOfPara(itemNo)) && CopyParagraphMarker(itemNo, index, true, full)) {
        copiedMarker = true;
        ++index;
        ++added;
        copy->ItemOptions |= rdioContinuesPara;
    }
    InsertItemRecorded(index, tail, full, false, std::move(copy));
    FireItemTextEdit(old, index);
    RespellFrom(itemNo, offset);
    RespellFrom(index, 0);
    ReformatAfterEdit(full || (noWrap && DocumentWidth >= 0 && paraWidth >= DocumentWidth), drawFirst, drawLast,
                      added);
    CaretDrawItemNo = FirstDrawItemOfItem(index);
    CaretToDrawItemStart();
    if (copiedMarker)
        RenumberAfterEdit(itemNo, index);
    UpdateControl();
    return true;
}
