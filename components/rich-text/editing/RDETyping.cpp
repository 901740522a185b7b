#include "editing/RDERDData.h"

#include "document/RDItem.h"
#include "document/RDTextItems.h"
#include "editing/RDEdit.h"
#include "items/RDLabelItems.h"
#include "items/RDMarkerItems.h"

// Typing at the caret and inserting one item there. Every change goes
// through the recorded primitives; the typing record of a single character is
// the undo list's own (AddTyping), and the character itself is stored by the
// substring primitive with recording switched off for that one call.

namespace {

bool TypingIsText(const TCustomRDItemInfo* item)
{
    return item->StyleNo >= 0;
}

bool TypingIsFullLine(const TCustomRDItemInfo* item)
{
    return item->GetBoolValue(0);
}

bool TypingIsMarker(const TCustomRDItemInfo* item)
{
    return item->StyleNo == MarkerStyleNo;
}

// A checkpoint that keeps its paragraph position while text around it changes.
bool TypingHasPersistentCP(const TCustomRDItemInfo* item)
{
    return item->Checkpoint && item->Checkpoint->Sticky;
}

// Makes the item start a paragraph (neither continuing nor on a new line).
void TypingStartPara(TCustomRDItemInfo* item)
{
    item->ItemOptions &= ~(rdioContinuesPara | rdioLineBreakBefore);
}

// The recording switch off for one call (the typing record is already made).
class TypingRecordingOff {
public:
    explicit TypingRecordingOff(uint8_t& state) : FState(state), FSaved(state) { FState = 0; }
    ~TypingRecordingOff() { FState = FSaved; }
    TypingRecordingOff(const TypingRecordingOff&) = delete;
    TypingRecordingOff& operator=(const TypingRecordingOff&) = delete;

private:
    uint8_t& FState;
    uint8_t FSaved;
};

}  // namespace

void TRDEditRDData::TypeChar(const QByteArray& ch)
{
    if (!GetRDStyle() || GetChosenItem() || !CanDeleteSelection()) {
        BeepIfEnabled();
        return;
    }
    QByteArray text = ch;
    if (TextStyleOf(GetCurrentStyleNo()).Unicode) {
        text = KeyboardAnsiToUtf16(ch);
        if (text.isEmpty())
            return;
    }
    TypeText(text);
}

void TRDEditRDData::TypeText(const QByteArray& text)
{
    if (!GetRDStyle() || GetChosenItem() || !CanDeleteSelection()) {
        BeepIfEnabled();
        return;
    }
    if (text.isEmpty())
        return;
    const bool unicodeStyle = TextStyleOf(GetCurrentStyleNo()).Unicode;
    if (unicodeStyle)
        CheckEvenByteLength(text.size());
    const int length = unicodeStyle ? int(text.size() / 2) : int(text.size());
    const int caretItem = GetCaretItemNo();
    if (caretItem < 0 || CaretDrawItemNo < 0 || CaretCharPosNo < 0) {
        BeepIfEnabled();
        return;
    }
    if (ParaIsReadOnly(caretItem)) {
        BeepIfEnabled();
        return;
    }
    const int caretOffs = GetCaretOffset();

    // Which item takes the text.
    int target = caretItem, targetOffs = caretOffs;
    const TCustomRDItemInfo* item = ItemAt(caretItem);
    if (item->StyleNo != CurrentTextStyleNo) {
        const bool atEnd = TypingIsText(item) ? ItemLengthOf(caretItem) < caretOffs : caretOffs >= 1;
        const int next = caretItem + 1;
        if (atEnd && next < ItemCount() && ItemAt(next)->ContinuesPara()
            && ItemAt(next)->StyleNo == CurrentTextStyleNo && FirstDrawItemOfItem(next) >= 0) {
            target = next;
            targetOffs = 1;
        } else {
            TypeIntoNewItem(text);
            return;
        }
    }
    if (StyleHasProtection(target, rdprConcateProtect)) {
        TypeIntoNewItem(text);
        return;
    }
    if (StyleHasProtection(target, rdprModifyProtect)) {
        if (targetOffs > StartOffsetOf(target) && targetOffs < EndOffsetOf(target)) {
            BeepIfEnabled();
            return;
        }
        TypeIntoNewItem(text);
        return;
    }

    // The caret's line (and the target's pieces) as laid out now.
    int firstDraw = CaretDrawItemNo, lastDraw = CaretDrawItemNo;
    if (!CharPositions.empty()) {
        firstDraw = std::min(firstDraw, CharPositions.front().DrawIndex);
        lastDraw = std::max(lastDraw, CharPositions.back().DrawIndex);
    }
    firstDraw = std::min(firstDraw, FirstDrawItemOfItem(target));
    lastDraw = std::max(lastDraw, LastDrawItemOfItem(target));

    const uint8_t flags = ItemAt(target)->ItemOptions;
    if (length <= 1) {
        const QByteArray oldText = TextOfItem(target);
        if (oldText.isEmpty() && ItemAt(target)->ParaNo != CurrentParaNo) {
            // An empty line takes the current paragraph style.
            BeginUndoGroup(rdutTyping);
            bool full = false;
            SetParaRangeRecorded(target, target, full, CurrentParaNo);
        }
        QByteArray newText = oldText;
        CharInsert(text, newText, targetOffs, flags);
        SetTextOfItem(target, newText);
        const bool handlerChanged = FireItemTextEditGrouped(oldText, target, rdutTyping);
        SetTextOfItem(target, oldText);
        if (handlerChanged) {
            InsertSubstringRecorded(target, targetOffs, text);
            RespellFrom(target, 0);
        } else {
            UndoList->AddTyping(target, targetOffs, Editor(), flags & rdioUnicode);
            {
                TypingRecordingOff off(RecordingState);
                InsertSubstringRecorded(target, targetOffs, text);
            }
            // Live spelling looks at the character in the item's text.
            Editor()->SpellingCharsTyped(this, target, targetOffs, 1);
        }
    } else {
        BeginUndoGroup(rdutNewLine);
        InsertSubstringRecorded(target, targetOffs, text);
        RespellFrom(target, 0);
    }

    // Reformat: the whole document when the paragraph no longer fits.
    if (SectionWidthOf(target) > DocumentWidth) {
        FormatAll(false);
        InvalidateControl();
    } else {
        FormatParagraphsOfDrawRange(firstDraw, lastDraw, true, 0);
    }
    PlaceCaretAfterEdit(target, targetOffs + length);
    UpdateCaret(true, false, false);
    UpdateControl();
    DoChange(true);
}

void TRDEditRDData::TypeIntoNewItem(const QByteArray& text)
{
    if (!Editor()->CanChange())
        return;
    BeginUndoGroup(rdutInsert);
    auto item = NewTextItem(TRDTag{}, CurrentParaNo, false, false, CurrentTextStyleNo);
    QByteArray oldText;
    if (!InsertItemAndShow(std::move(item), text, oldText, true, false, true)) {
        // A refusal leaves the lists as they were: the group begun is dropped.
        UndoList->PopIfEmpty();
        return;
    }
    RefreshControl();
    DoChange(true);
}

namespace {

// The old text of an item as characters, whatever its encoding.
QString TypingOldTextAsString(TRDEditRDData& data, int itemNo, const QByteArray& oldText)
{
    if (data.ItemAt(itemNo)->ItemOptions & rdioUnicode)
        return RawToWideString(oldText);
    return AnsiToQString(data.CodePageOfStyle(data.EffectiveStyleOfItem(itemNo)), oldText);
}

}  // namespace

// Asks the editor's handler; answers whether it changed the tag or the style
// (then records the changes, in a group of groupKind begun first when given).
static bool TypingFireItemTextEdit(TRDEditRDData& data, const QByteArray& oldText, int itemNo, int groupKind)
{
    auto& handler = data.Editor()->OnItemTextEdit;
    if (!handler || itemNo < 0 || itemNo >= data.ItemCount())
        return false;
    int newTag = data.TagOfItem(itemNo).Int;
    const int oldTag = newTag;
    int newStyleNo = data.EffectiveStyleOfItem(itemNo);
    const int oldStyleNo = newStyleNo;
    handler(data.Editor(), TypingOldTextAsString(data, itemNo, oldText), &data, itemNo, newTag, newStyleNo);
    const bool tagChanged = newTag != oldTag;
    const bool styleChanged = newStyleNo != oldStyleNo;
    if (!tagChanged && !styleChanged)
        return false;
    if (groupKind >= 0)
        data.BeginUndoGroup(uint8_t(groupKind));
    if (tagChanged)
        data.SetItemTagRecorded(itemNo, TRDTag::FromInt(newTag), true);
    if (styleChanged)
        data.SetItemStyleRecorded(itemNo, newStyleNo);
    return true;
}

bool TRDEditRDData::FireItemTextEdit(const QByteArray& oldText, int itemNo)
{
    return TypingFireItemTextEdit(*this, oldText, itemNo, -1);
}

bool TRDEditRDData::FireItemTextEditGrouped(const QByteArray& oldText, int itemNo, uint8_t groupKind)
{
    return TypingFireItemTextEdit(*this, oldText, itemNo, groupKind);
}

std::unique_ptr<TCustomRDItemInfo> TRDEditRDData::NewTextItem(const TRDTag& tag, int paraNo, bool lineBreak,
                                                              bool continuesPara, int styleNo)
{
    std::unique_ptr<TCustomRDItemInfo> item(TextItemClass(this));
    item->StyleNo = styleNo;
    item->ParaNo = paraNo;
    item->Tag = tag;
    item->ItemOptions = 0;
    if (TextStyleOf(ResolveStyleNo(styleNo, std::max(paraNo, 0))).Unicode)
        item->ItemOptions |= rdioUnicode;
    if (continuesPara)
        item->SetContinuesPara(true);
    if (lineBreak)
        item->SetLineBreakBefore(true);
    return item;
}

std::unique_ptr<TCustomRDItemInfo> TRDEditRDData::NewTextItemLike(const TRDTag& tag, const TCustomRDItemInfo& model,
                                                                  bool lineBreak, bool continuesPara)
{
    std::unique_ptr<TCustomRDItemInfo> item(TextItemClass(this));
    item->StyleNo = model.StyleNo;
    item->AssignProperties(model);
    item->ItemOptions = 0;
    if (TextStyleOf(EffectiveStyleNo(*item)).Unicode)
        item->ItemOptions |= rdioUnicode;
    item->Tag = tag;
    if (continuesPara)
        item->SetContinuesPara(true);
    if (lineBreak)
        item->SetLineBreakBefore(true);
    return item;
}

std::unique_ptr<TCustomRDItemInfo> TRDEditRDData::CloneTextItem(const TCustomRDItemInfo& source)
{
    std::unique_ptr<TCustomRDItemInfo> item(source.CreateSameClass(this));
    item->StyleNo = source.StyleNo;
    item->AssignProperties(source);
    item->ItemOptions = source.ItemOptions & (rdioContinuesPara | rdioUnicode);
    item->Tag = CopyStringTag(source.Tag, (GetOptions() & rdoTagsArePChars) || source.Tag.Str.has_value());
    return item;
}

void TRDEditRDData::InsertNewTextItemRecorded(int index, const QByteArray& text, const TRDTag& tag, int paraNo,
                                              bool lineBreak, bool continuesPara, int styleNo, bool& full)
{
    InsertItemRecorded(index, text, full, false, NewTextItem(tag, paraNo, lineBreak, continuesPara, styleNo));
}

void TRDEditRDData::InsertTextItemLikeRecorded(int index, const QByteArray& text, const TRDTag& tag,
                                               const TCustomRDItemInfo& model, bool lineBreak, bool continuesPara,
                                               bool& full)
{
    InsertItemRecorded(index, text, full, false, NewTextItemLike(tag, model, lineBreak, continuesPara));
}

void TRDEditRDData::InsertEmptyTextItem(int index, int styleNo, int paraNo, bool continuesPara, bool& full)
{
    InsertNewTextItemRecorded(index, QByteArray(), TRDTag{}, paraNo, false, continuesPara, styleNo, full);
}

bool TRDEditRDData::CopyParagraphMarker(int itemNo, int targetIndex, bool recorded, bool& full)
{
    if (itemNo < 0 || itemNo >= ItemCount())
        return false;
    const int first = FirstItemOfPara(itemNo);
    const TCustomRDItemInfo* marker = ItemAt(first);
    if (!TypingIsMarker(marker))
        return false;
    std::unique_ptr<TCustomRDItemInfo> copy = CreateItemCopy(*marker, this, false);
    if (TRDMarkerListEntry* entry = copy->AsMarkerListEntry()) {
        entry->Reset = false;
        entry->StartFrom = 0;
    }
    TypingStartPara(copy.get());
    copy->ItemOptions &= ~rdioPageBreakBefore;
    QByteArray text = TextOfItem(first);
    if (recorded) {
        InsertItemRecorded(targetIndex, text, full, false, std::move(copy));
        return true;
    }
    TCustomRDItemInfo* raw = copy.get();
    raw->Inserting(this, text, false);
    FItems->insert(FItems->begin() + targetIndex, {text, std::move(copy)});
    raw->Inserted(this, targetIndex);
    AddMarkerToList(targetIndex);
    return true;
}

void TRDEditRDData::PlaceCaretAfterEdit(int itemNo, int offset)
{
    int drawOffset = 0, drawNo = 0;
    ItemPosToDrawPos(itemNo, offset, drawOffset, drawNo);
    if (drawNo < 0)
        return;
    // The first character of a wrapped line: the caret stands at that
    // line's start. Before it may lie a space swallowed at the end of the
    // line above, where there is no stop after the space: the caret would
    // fall back before the space (and the next character typed would go in
    // front of it).
    if (ItemAt(itemNo)->StyleNo >= 0 && drawNo + 1 < DrawItems.Count() && DrawItems[drawNo + 1]->ItemNo == itemNo
        && DrawItems[drawNo + 1]->Offs == offset && DrawItems[drawNo + 1]->StartsLine()) {
        ++drawNo;
        drawOffset = DrawItemStartOffset(drawNo);
    }
    CaretDrawItemNo = drawNo;
    BuildCharPositions(drawOffset - 2);
}

bool TRDEditRDData::InsertItemAndShow(std::unique_ptr<TCustomRDItemInfo> item, const QByteArray& text,
                                      QByteArray& oldText, bool inheritTag, bool caretBefore, bool fireEvents)
{
    oldText.clear();
    if (item->StyleNo != BreakStyleNo && !TypingHasPersistentCP(item.get()))
        item->ParaNo = CurrentParaNo;
    if (GetChosenItem()) {
        BeepIfEnabled();
        return false;
    }
    // The caret's line, as laid out before the change.
    int firstDraw = 0, lastDraw = 0;
    const bool hadDrawItems = DrawItems.Count() > 0;
    if (hadDrawItems) {
        firstDraw = lastDraw = std::max(CaretDrawItemNo, 0);
        if (!CharPositions.empty()) {
            firstDraw = std::min(firstDraw, CharPositions.front().DrawIndex);
            lastDraw = std::max(lastDraw, CharPositions.back().DrawIndex);
        }
    }
    int index = -1, itemsAdded = 0, newListNo = -1;
    bool full = false;
    if (!InsertItemAtCaret(std::move(item), text, oldText, inheritTag, fireEvents, index, itemsAdded, full,
                           newListNo)) {
        BeepIfEnabled();
        return false;
    }
    if (index < 0)
        return true;
    const int sectionWidth = SectionWidthOf(index);
    if (hadDrawItems
        && ((!full && sectionWidth <= DocumentWidth) || WidthFromItemToEnd(0, nullptr, nullptr) == DocumentWidth)) {
        FormatParagraphsOfDrawRange(firstDraw, lastDraw, true, itemsAdded);
        if (dynamic_cast<TRDSeqItemInfo*>(ItemAt(index)))
            RenumberAfterEdit(index, index);
    } else {
        FormatAll(false);
        InvalidateControl();
    }
    int offset;
    if (caretBefore)
        offset = StartOffsetOf(index);
    else
        offset = EndOffsetOf(index);
    PlaceCaretAfterEdit(index, offset);
    UpdateCaret(true, false, false);
    return true;
}

bool TRDEditRDData::InsertItemAtCaret(std::unique_ptr<TCustomRDItemInfo> item, const QByteArray& text,
                                      QByteArray& oldText, bool inheritTag, bool fireEvents, int& index,
                                      int& itemsAdded, bool& full, int& newListNo)
{
    index = LastInsertedAtCaret = -1;
    itemsAdded = 1;
    full = false;
    newListNo = -1;
    oldText.clear();
    TRDStyle* sheet = GetRDStyle();
    TCustomRDItemInfo* n = item.get();
    const bool tagsArePChars = GetOptions() & rdoTagsArePChars;
    const bool nFullLine = TypingIsFullLine(n);
    const bool nMarker = TypingIsMarker(n);
    const bool nPersistent = TypingHasPersistentCP(n);

    // 1. The paragraph style the item asks for.
    int wanted = n->ParaNo;
    if (n->ContinuesPara() || !sheet || wanted < 0 || wanted >= sheet->ParaStyles().Count())
        wanted = -1;

    // 2. Its paragraph.
    const bool hasDrawItems = DrawItems.Count() > 0 && ItemCount() > 0;
    int t = -1, k = 0;
    if (hasDrawItems) {
        t = GetCaretItemNo();
        k = GetCaretOffset();
    }
    if (!hasDrawItems || t < 0 || nFullLine || nPersistent || nMarker) {
        TypingStartPara(n);
        n->ParaNo = CurrentParaNo;
    } else {
        n->SetContinuesPara(true);
        n->ParaNo = ParaOfItem(t);
    }
    if (ParaHasOption(n->ParaNo, rdpaoReadOnly))
        return false;

    // 3. The pending tag.
    if (inheritTag && TypingIsText(n) && n->Tag.IsNil() && n->StyleNo == CurrentTextStyleNo)
        n->Tag = CopyStringTag(PendingTag, tagsArePChars);

    // 4. Where it goes.
    int at;
    if (!hasDrawItems || t < 0) {
        at = ItemCount();
    } else if (!TypingIsText(ItemAt(t))) {
        TCustomRDItemInfo* tItem = ItemAt(t);
        if (nMarker)
            return true;
        if (k >= 1) {
            at = t + 1;
            wanted = -1;
            if (TypingIsFullLine(tItem))
                TypingStartPara(n);
        } else if (tItem->ContinuesPara()) {
            at = t;
            wanted = -1;
            if (t > 0 && TypingIsMarker(ItemAt(t - 1))
                && (nFullLine || (nPersistent && TypingHasPersistentCP(ItemAt(t - 1))))) {
                InsertEmptyTextItem(t, CurrentTextStyleNo, tItem->ParaNo, true, full);
                ++itemsAdded;
                at = t + 1;
            }
        } else {
            at = t;
            TypingStartPara(n);
            if (tItem->HasLineBreakBefore()) {
                n->SetLineBreakBefore(true);
                wanted = -1;
            }
            if (tItem->BreaksPageBefore())
                n->ItemOptions |= rdioPageBreakBefore;
            bool f = false;
            SetContinuesParaRecorded(t, true, f, -1);
            full = full || f;
        }
    } else if (TextOfItem(t).isEmpty()) {
        TCustomRDItemInfo* tItem = ItemAt(t);
        if (ItemsStick(t - 1, true) || ItemsStick(t, true))
            return false;
        if (t > 0 && TypingIsMarker(ItemAt(t - 1))
            && (nFullLine || (nPersistent && ParaHasPersistentCheckpoint(t)))) {
            at = t + 1;
        } else {
            if (nMarker) {
                if (auto* entry = n->AsMarkerListEntry(); entry && sheet && entry->ListNo >= 0
                    && entry->ListNo < sheet->ListStyles().Count()
                    && sheet->ListStyles().Items(entry->ListNo)->HasNumbering()) {
                    const int before = t > 0 ? FirstItemOfPara(t - 1) : -1;
                    if (before >= 0 && before != FirstItemOfPara(t) && TypingIsMarker(ItemAt(before))) {
                        auto* prev = ItemAt(before)->AsMarkerListEntry();
                        if (prev && prev->ListNo >= 0 && prev->ListNo < sheet->ListStyles().Count()
                            && sheet->ListStyles().Items(prev->ListNo)->IsSameStyle(
                                *sheet->ListStyles().Items(entry->ListNo), true)) {
                            entry->ListNo = prev->ListNo;
                            newListNo = prev->ListNo;
                        }
                    }
                }
            }
            if (!tItem->ContinuesPara()) {
                TypingStartPara(n);
                if (!nMarker && tItem->HasLineBreakBefore())
                    n->SetLineBreakBefore(true);
            }
            if (n->HasLineBreakBefore())
                wanted = -1;
            if (tItem->BreaksPageBefore())
                n->ItemOptions |= rdioPageBreakBefore;
            bool f = false;
            DeleteItemRecorded(t, f);
            full = full || f;
            --itemsAdded;
            n->ParaNo = CurrentParaNo;
            at = t;
            if (nMarker && t > 0 && TypingIsMarker(ItemAt(t - 1))) {
                const uint8_t markerBits = ItemAt(t - 1)->ItemOptions & (rdioPageBreakBefore);
                DeleteItemRecorded(t - 1, f);
                full = full || f;
                --itemsAdded;
                n->ItemOptions |= markerBits;
                at = t - 1;
            }
        }
    } else {
        TCustomRDItemInfo* tItem = ItemAt(t);
        if (nMarker)
            return true;
        const bool afterMarker = t > 0 && TypingIsMarker(ItemAt(t - 1));
        const bool splitAtStart =
            k <= 1 && afterMarker && (nFullLine || (nPersistent && TypingHasPersistentCP(ItemAt(t - 1))));
        int neighbour = -1;
        if (k > 1 || splitAtStart) {
            if (k >= EndOffsetOf(t)) {
                if (ItemsStick(t, true))
                    return false;
                at = t + 1;
                wanted = -1;
                neighbour = t;
            } else {
                if (StyleHasProtection(t, rdprModifyProtect))
                    return false;
                oldText = TextOfItem(t);
                const QByteArray tail = CharCopy(oldText, k, CharLength(oldText, tItem->ItemOptions) - k + 1,
                                                 tItem->ItemOptions);
                DeleteSubstringRecorded(t, k, -1);
                std::unique_ptr<TCustomRDItemInfo> second = CloneTextItem(*tItem);
                second->SetContinuesPara(true);
                bool f = false;
                InsertItemRecorded(t + 1, tail, f, false, std::move(second));
                full = full || f;
                ++itemsAdded;
                if (fireEvents) {
                    FireItemTextEdit(oldText, t);
                    FireItemTextEdit(oldText, t + 1);
                }
                ItemAt(t)->ClearWordPaintersFrom(k - 1);
                wanted = -1;
                at = t + 1;
                neighbour = t + 1;
            }
        } else {
            if (ItemsStick(t - 1, true))
                return false;
            at = t;
            neighbour = t;
            if (nFullLine || tItem->ContinuesPara())
                wanted = -1;
            if (!tItem->ContinuesPara()) {
                // The item takes over the start of the line or paragraph.
                TypingStartPara(n);
                if (tItem->HasLineBreakBefore())
                    n->SetLineBreakBefore(true);
                if (tItem->BreaksPageBefore())
                    n->ItemOptions |= rdioPageBreakBefore;
                bool f = false;
                SetContinuesParaRecorded(t, true, f, -1);
                full = full || f;
            }
        }
        if (inheritTag && TypingIsText(n) && n->Tag.IsNil() && neighbour >= 0 && neighbour < ItemCount()
            && n->StyleNo == ItemAt(neighbour)->StyleNo)
            n->Tag = CopyStringTag(TagOfItem(neighbour), tagsArePChars);
    }

    // 6. Around the insertion point.
    if (at > 0 && TypingIsMarker(ItemAt(at - 1)))
        n->SetContinuesPara(true);
    if (nFullLine && at < ItemCount()) {
        bool f = false;
        SetContinuesParaRecorded(at, false, f, -1);
        full = full || f;
        SetLineBreakRecorded(at, false, f);
        full = full || f;
    }
    if (n->StyleNo == BreakStyleNo)
        n->ParaNo = 0;

    // 7. The item goes in.
    {
        bool f = false;
        InsertItemRecorded(at, text, f, false, std::move(item));
        full = full || f;
    }
    index = LastInsertedAtCaret = at;

    // 8. A persistent checkpoint of the next item stays at its paragraph position.
    if (at + 1 < ItemCount() && !StartsParagraph(at + 1) && HasPersistentCheckpoint(at + 1)
        && !HasPersistentCheckpoint(at))
        MovePersistentCheckpointAway(at + 1, true);

    // 9. The wanted paragraph style.
    if (wanted >= 0 && wanted != ItemAt(at)->ParaNo && ItemAt(at)->StyleNo != BreakStyleNo) {
        int a = at, b = at;
        WidenItemsToParagraphs(at, at, a, b);
        bool f = false;
        SetParaRangeRecorded(a, b, f, wanted);
        full = full || f;
    }

    // 10.
    if (at + 1 < ItemCount() && !StartsParagraph(at + 1) && HasPersistentCheckpoint(at + 1)) {
        bool f = false;
        SetContinuesParaRecorded(at + 1, false, f, -1);
        full = full || f;
    }

    // 11.
    ItemAt(at)->ClearLiveSpelling();
    RespellFrom(at, 0, false);
    return true;
}
