#include "editing/RDUndo.h"

#include <algorithm>
#include <climits>


#include "core/RDError.h"
#include "core/RDUnicode.h"
#include "document/CRDData.h"
#include "document/RDItem.h"
#include "editing/RDERDData.h"

// Every record checks the item index, character position and length it
// stores against the document before it acts: a record that does not fit the
// document (corrupted undo data) raises "Undo error" and changes nothing.

namespace {

[[noreturn]] void UndoFail()
{
    throw ERichDocError("Undo error");
}

void UndoCheckItem(TRDEditRDData& data, int itemNo)
{
    if (itemNo < 0 || itemNo >= data.ItemCount())
        UndoFail();
}

// An item index or -1 (the end of the document), as checkpoint records keep it.
void UndoCheckItemOrEnd(TRDEditRDData& data, int itemNo)
{
    if (itemNo < -1 || itemNo >= data.ItemCount())
        UndoFail();
}

void UndoCheckRange(TRDEditRDData& data, int first, int count)
{
    if (first < 0 || count < 1 || first > data.ItemCount() - count)
        UndoFail();
}

// A text item whose text is whole UTF-16 units when it is Unicode; answers
// its length in characters (bytes of ANSI text, UTF-16 units).
int UndoCheckTextItem(TRDEditRDData& data, int itemNo)
{
    UndoCheckItem(data, itemNo);
    const TCustomRDItemInfo* item = data.ItemAt(itemNo);
    if (item->StyleNo < 0)
        UndoFail();
    const QByteArray& text = data.TextOfItem(itemNo);
    if ((item->ItemOptions & rdioUnicode) && text.size() % 2 != 0)
        UndoFail();
    return CharLength(text, item->ItemOptions);
}

bool UndoItemIsUnicode(TRDEditRDData& data, int itemNo)
{
    return data.ItemAt(itemNo)->ItemOptions & rdioUnicode;
}

// Whether 1-based character position pos of a Unicode text falls between
// the two halves of a surrogate pair.
bool UndoSplitsPair(const QByteArray& text, int pos)
{
    const qsizetype units = text.size() / 2;
    if (pos < 2 || pos > units)
        return false;
    return QChar::isHighSurrogate(WideUnitAt(text, pos - 2)) && QChar::isLowSurrogate(WideUnitAt(text, pos - 1));
}

int UndoItemWidth(TRDEditRDData& data, int itemNo)
{
    return itemNo >= 0 && itemNo < data.ItemCount() ? data.SectionWidthOf(itemNo) : 0;
}

// Runs a primitive without recording: the typing records keep their own
// opposite records.
class TUndoNoRecording {
public:
    explicit TUndoNoRecording(TRDEditRDData& data) : FData(data), FState(data.RecordingState)
    {
        data.RecordingState = 0;
    }
    ~TUndoNoRecording() { FData.RecordingState = FState; }
    TUndoNoRecording(const TUndoNoRecording&) = delete;
    TUndoNoRecording& operator=(const TUndoNoRecording&) = delete;

private:
    TRDEditRDData& FData;
    uint8_t FState;
};

// The end of the paragraph that item i belongs to.
int UndoParagraphEnd(TRDEditRDData& data, int i)
{
    while (i + 1 < data.ItemCount() && !data.StartsParagraph(i + 1))
        ++i;
    return i;
}

const TRDUndoTypingInfo* UndoTypingOf(const TRDUndoInfos& g)
{
    return g.Records.empty() ? nullptr : dynamic_cast<const TRDUndoTypingInfo*>(g.Records.front().get());
}

const TRDRedoTypingInfo* UndoRedoTypingOf(const TRDUndoInfos& g)
{
    return g.Records.empty() ? nullptr : dynamic_cast<const TRDRedoTypingInfo*>(g.Records.front().get());
}

} // namespace

// ======== records ========

TCustomRDData* TRDUndoRecord::GetRDData() const
{
    return OwnerList ? OwnerList->DocumentData : nullptr;
}

void TRDUndoRecord::GetAffectedRange(int&, int&, TRDEditRDData&) {}

void TRDUndoItemNoInfo::GetAffectedRange(int& first, int& last, TRDEditRDData&)
{
    if (ItemIndex < 0)
        return;
    first = ItemIndex;
    last = LastItemIndex >= 0 ? LastItemIndex : ItemIndex;
}

void TRDUndoReformateRange::Undo(TRDEditRDData& data)
{
    if (ItemIndex >= data.ItemCount() || LastItemIndex >= data.ItemCount())
        UndoFail();
    data.RecordReformatRange(ItemIndex, LastItemIndex, FullFormat);
}

void TRDUndoResizeInfo::Undo(TRDEditRDData& data)
{
    UndoCheckItem(data, ItemIndex);
    if (data.ItemAt(ItemIndex)->StyleNo >= 0)
        UndoFail();
    SavedWidth = UndoItemWidth(data, ItemIndex);
    data.ResizeControlRecorded(ItemIndex, OldWidth, false, OldHeight);
}

bool TRDUndoResizeInfo::NeedsFullFormatAfter(TRDEditRDData& data)
{
    return WidthChangeNeedsFullFormat(ItemIndex, SavedWidth, data);
}

void TRDUndoChangeTextInfo::Undo(TRDEditRDData& data)
{
    // No test of the text's encoding: a style conversion changes the text and
    // the style in two records, and between them the item holds text of the
    // other encoding.
    UndoCheckItem(data, ItemIndex);
    SavedWidth = UndoItemWidth(data, ItemIndex);
    data.ChangeItemTextRecorded(ItemIndex, Text);
}

bool TRDUndoChangeTextInfo::NeedsFullFormatAfter(TRDEditRDData& data)
{
    return WidthChangeNeedsFullFormat(ItemIndex, SavedWidth, data);
}

void TRDUndoDeleteSubstringInfo::Undo(TRDEditRDData& data)
{
    const int length = UndoCheckTextItem(data, ItemIndex);
    const bool unicode = UndoItemIsUnicode(data, ItemIndex);
    if (Position < 1 || Position > length + 1 || (unicode && Text.size() % 2 != 0)
        || (unicode && UndoSplitsPair(data.TextOfItem(ItemIndex), Position)))
        UndoFail();
    SavedWidth = UndoItemWidth(data, ItemIndex);
    data.InsertSubstringRecorded(ItemIndex, Position, Text);
}

bool TRDUndoDeleteSubstringInfo::NeedsFullFormatAfter(TRDEditRDData& data)
{
    return WidthChangeNeedsFullFormat(ItemIndex, SavedWidth, data);
}

void TRDUndoInsertSubstringInfo::Undo(TRDEditRDData& data)
{
    const int length = UndoCheckTextItem(data, ItemIndex);
    if (Position < 1 || Length < 0 || Position > length + 1 || Length > length - Position + 1)
        UndoFail();
    SavedWidth = UndoItemWidth(data, ItemIndex);
    data.DeleteSubstringRecorded(ItemIndex, Position, Length);
}

bool TRDUndoInsertSubstringInfo::NeedsFullFormatAfter(TRDEditRDData& data)
{
    return WidthChangeNeedsFullFormat(ItemIndex, SavedWidth, data);
}

// Takes back the last typed character; a surrogate pair typed as two units
// goes back whole.
void TRDUndoTypingInfo::Undo(TRDEditRDData& data)
{
    const int length = UndoCheckTextItem(data, ItemIndex);
    if (IsUnicode != UndoItemIsUnicode(data, ItemIndex) || Position < 1 || Length < 1
        || Position + Length - 1 > length)
        UndoFail();
    TypingWidth = UndoItemWidth(data, ItemIndex);
    const QByteArray& text = data.TextOfItem(ItemIndex);
    const int last = Position + Length - 1;  // the character to take back
    int step = 1;
    if (IsUnicode && Length >= 2 && UndoSplitsPair(text, last))
        step = 2;
    QByteArray removed = IsUnicode ? text.mid(qsizetype(last - step) * 2, qsizetype(step) * 2)
                                   : text.mid(last - 1, 1);
    {
        TUndoNoRecording off(data);
        data.DeleteSubstringRecorded(ItemIndex, last - step + 1, step);
    }
    Length -= step;
    LastStep = step;
    data.RedoList->AddRedoTyping(removed, ItemIndex, Position + Length + step, nullptr);
}

bool TRDUndoTypingInfo::NeedsFullFormatAfter(TRDEditRDData& data)
{
    return WidthChangeNeedsFullFormat(ItemIndex, TypingWidth, data);
}

// Puts back the character that was taken back last (the last one of Text).
void TRDRedoTypingInfo::Undo(TRDEditRDData& data)
{
    const int length = UndoCheckTextItem(data, ItemIndex);
    if (IsUnicode != UndoItemIsUnicode(data, ItemIndex) || Text.isEmpty() || (IsUnicode && Text.size() % 2 != 0))
        UndoFail();
    const int n = IsUnicode ? int(Text.size() / 2) : int(Text.size());
    const int at = Position - n;  // where the character goes
    if (at < 1 || at > length + 1 || (IsUnicode && UndoSplitsPair(data.TextOfItem(ItemIndex), at)))
        UndoFail();
    SavedWidth = UndoItemWidth(data, ItemIndex);
    int step = 1;
    if (IsUnicode && n >= 2 && UndoSplitsPair(Text, n))
        step = 2;
    const qsizetype bytes = IsUnicode ? qsizetype(step) * 2 : 1;
    const QByteArray chars = Text.right(bytes);
    {
        TUndoNoRecording off(data);
        data.InsertSubstringRecorded(ItemIndex, at, chars);
    }
    Text.chop(bytes);
    LastStep = step;
    for (int k = 0; k < step; ++k)
        data.UndoList->AddTyping(ItemIndex, at + k, nullptr, IsUnicode);
}

bool TRDRedoTypingInfo::NeedsFullFormatAfter(TRDEditRDData& data)
{
    return WidthChangeNeedsFullFormat(ItemIndex, SavedWidth, data);
}

TRDUndoItemInfo::~TRDUndoItemInfo()
{
    FreeUndoItem(std::move(SavedItem), GetRDData());
}

void TRDUndoDeleteItemInfo::Undo(TRDEditRDData& data)
{
    if (!SavedItem || ItemIndex < 0 || ItemIndex > data.ItemCount())
        UndoFail();
    data.InsertItemRecorded(ItemIndex, Text, FullFormatNeeded, true, std::move(SavedItem));
}

bool TRDUndoDeleteItemInfo::NeedsFullFormatAfter(TRDEditRDData& data)
{
    return FullFormatNeeded || UndoItemWidth(data, ItemIndex) > data.DocumentWidth;
}

TRDUndoStringItemListInfo::~TRDUndoStringItemListInfo()
{
    for (auto& entry : Items)
        FreeUndoItem(std::move(entry.second), GetRDData());
}

void TRDUndoItemRangeInfo::GetAffectedRange(int& first, int& last, TRDEditRDData&)
{
    first = FirstItem;
    last = LastItem >= 0 ? LastItem : FirstItem + static_cast<int>(Items.size());
}

void TRDUndoDeleteItemsInfo::Undo(TRDEditRDData& data)
{
    if (Items.empty() || FirstItem < 0 || FirstItem > data.ItemCount())
        UndoFail();
    for (const auto& entry : Items)
        if (!entry.second)
            UndoFail();
    const int count = static_cast<int>(Items.size());
    data.InsertItemListRecorded(FirstItem, Items, FullFormatNeeded, true);
    EndItem = FirstItem + count - 1;
    Items.clear();
}

int TRDUndoDeleteItemsInfo::GetItemCountDelta()
{
    return static_cast<int>(Items.size());
}

bool TRDUndoDeleteItemsInfo::NeedsFullFormatAfter(TRDEditRDData& data)
{
    if (FullFormatNeeded)
        return true;
    const int last = std::min(EndItem, data.ItemCount() - 1);
    return FirstItem <= last && data.RangeWidthOf(FirstItem, last) > data.DocumentWidth;
}

void TRDUndoInsertItemInfo::Undo(TRDEditRDData& data)
{
    UndoCheckItem(data, ItemIndex);
    data.DeleteItemRecorded(ItemIndex, FullFormatNeeded);
}

bool TRDUndoInsertItemInfo::NeedsFullFormatBefore(TRDEditRDData& data)
{
    return UndoItemWidth(data, ItemIndex) >= data.DocumentWidth;
}

void TRDUndoInsertItemsInfo::Undo(TRDEditRDData& data)
{
    UndoCheckRange(data, ItemIndex, Count);
    data.DeleteItemsRecorded(ItemIndex, ItemIndex + Count - 1, FullFormatNeeded);
}

bool TRDUndoInsertItemsInfo::NeedsFullFormatBefore(TRDEditRDData& data)
{
    if (ItemIndex < 0 || Count < 1 || ItemIndex + Count > data.ItemCount())
        return true;
    return data.RangeWidthOf(ItemIndex, ItemIndex + Count - 1) >= data.DocumentWidth;
}

void TRDUndoNewLineInfo::Undo(TRDEditRDData& data)
{
    UndoCheckItem(data, ItemIndex);
    data.SetContinuesParaRecorded(ItemIndex, ContinuedPara, FullFormatNeeded, OldParaIndex);
}

void TRDUndoNewLineInfo::GetAffectedRange(int& first, int& last, TRDEditRDData& data)
{
    if (ItemIndex < 0)
        return;
    first = ItemIndex;
    last = std::max(LastItemIndex, ItemIndex);
    if (ItemIndex < data.ItemCount())
        last = std::max(last, UndoParagraphEnd(data, ItemIndex));
}

void TRDUndoBRInfo::Undo(TRDEditRDData& data)
{
    UndoCheckItem(data, ItemIndex);
    bool full = false;
    data.SetLineBreakRecorded(ItemIndex, HadLineBreak, full);
}

void TRDUndoPageBreakInfo::Undo(TRDEditRDData& data)
{
    UndoCheckItem(data, ItemIndex);
    data.SetPageBreakRecorded(ItemIndex, HadPageBreak);
}

void TRDUndoExtraIntProperty::Undo(TRDEditRDData& data)
{
    UndoCheckItem(data, ItemIndex);
    SavedWidth = UndoItemWidth(data, ItemIndex);
    data.SetExtraIntPropertyRecorded(ItemIndex, PropId, OldValue);
}

bool TRDUndoExtraIntProperty::NeedsFullFormatAfter(TRDEditRDData& data)
{
    return WidthChangeNeedsFullFormat(ItemIndex, SavedWidth, data);
}

void TRDUndoExtraStrProperty::Undo(TRDEditRDData& data)
{
    UndoCheckItem(data, ItemIndex);
    data.SetExtraStrPropertyRecorded(ItemIndex, PropId, OldValue);
}

void TRDUndoParaListInfo::Undo(TRDEditRDData& data)
{
    UndoCheckRange(data, FirstItem, static_cast<int>(Values.size()));
    data.SetParaListRecorded(FirstItem, Values, FullFormatNeeded);
}

void TRDUndoParaListInfo::GetAffectedRange(int& first, int& last, TRDEditRDData&)
{
    first = FirstItem;
    last = FirstItem + static_cast<int>(Values.size());
}

void TRDUndoParaInfo::Undo(TRDEditRDData& data)
{
    UndoCheckRange(data, ItemIndex, Count);
    data.SetParaRangeRecorded(ItemIndex, ItemIndex + Count - 1, FullFormatNeeded, OldParaIndex);
}

void TRDUndoParaInfo::GetAffectedRange(int& first, int& last, TRDEditRDData&)
{
    first = ItemIndex;
    last = ItemIndex + Count;
}

void TRDUndoStyleNoInfo::Undo(TRDEditRDData& data)
{
    UndoCheckItem(data, ItemIndex);
    if (data.ItemAt(ItemIndex)->StyleNo < 0)
        UndoFail();
    SavedWidth = UndoItemWidth(data, ItemIndex);
    data.SetItemStyleRecorded(ItemIndex, OldStyleIndex);
}

bool TRDUndoStyleNoInfo::NeedsFullFormatAfter(TRDEditRDData& data)
{
    return WidthChangeNeedsFullFormat(ItemIndex, SavedWidth, data);
}

void TRDUndoAssociatedTextStyleNoInfo::Undo(TRDEditRDData& data)
{
    UndoCheckItem(data, ItemIndex);
    if (data.ItemAt(ItemIndex)->StyleNo >= 0)
        UndoFail();
    SavedWidth = UndoItemWidth(data, ItemIndex);
    data.SetAssociatedStyleRecorded(ItemIndex, OldStyleIndex);
}

void TRDUndoTagInfo::Undo(TRDEditRDData& data)
{
    UndoCheckItem(data, ItemIndex);
    TRDTag tag = std::move(OldTag);
    OldTag = TRDTag();
    data.SetItemTagRecorded(ItemIndex, tag, true);
}

void TRDUndoAddCPInfo::Undo(TRDEditRDData& data)
{
    UndoCheckItemOrEnd(data, ItemIndex);
    data.DetachCheckpointRecorded(ItemIndex);
}

TRDUndoDeleteCPInfo::~TRDUndoDeleteCPInfo() = default;

void TRDUndoDeleteCPInfo::Undo(TRDEditRDData& data)
{
    UndoCheckItemOrEnd(data, ItemIndex);
    if (!Checkpoint)
        UndoFail();
    data.AttachCheckpointRecorded(ItemIndex, std::move(Checkpoint));
}

bool TRDUndoModifyItemProps::NeedsFullFormatBefore(TRDEditRDData& data)
{
    if (!ChangesSize || !ChangesWidth)
        return false;
    WidthBefore = UndoItemWidth(data, ItemIndex);
    return WidthBefore >= data.DocumentWidth;
}

bool TRDUndoModifyItemProps::NeedsFullFormatAfter(TRDEditRDData& data)
{
    if (!ChangesSize || !ChangesWidth)
        return false;
    const int width = UndoItemWidth(data, ItemIndex);
    return width != WidthBefore && width > data.DocumentWidth;
}

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoModifyItemProps::CreateSameClass() const
{
    return std::make_unique<TRDUndoModifyItemProps>();
}

void TRDUndoModifyItemTerminator::Undo(TRDEditRDData& data)
{
    UndoCheckItem(data, ItemIndex);
    data.AddModifyItemTerminator(ItemIndex, !IsOpening);
}

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoModifyItemTerminator::CreateSameClass() const
{
    return std::make_unique<TRDUndoModifyItemTerminator>();
}

void TRDUndoModifyItemIntProperty::Undo(TRDEditRDData& data)
{
    UndoCheckItem(data, ItemIndex);
    if (TRDUndoModifyItemProps* opposite =
            data.ModifyItemIntProperty(ItemIndex, Target, this, ChangesWidth, ChangesSize, OldValue, PropName))
        SetUpOpposite(opposite);
}

void TRDUndoModifyItemIntProperties::Undo(TRDEditRDData& data)
{
    UndoCheckItem(data, ItemIndex);
    if (TRDUndoModifyItemProps* opposite =
            data.ModifyItemIntProperties(ItemIndex, Target, this, ChangesWidth, ChangesSize, Props))
        SetUpOpposite(opposite);
}

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoModifyItemIntProperty::CreateSameClass() const
{
    return std::make_unique<TRDUndoModifyItemIntProperty>();
}

std::unique_ptr<TRDUndoModifyItemProps> TRDUndoModifyItemIntProperties::CreateSameClass() const
{
    return std::make_unique<TRDUndoModifyItemIntProperties>();
}

TRDCompositeUndo::TRDCompositeUndo() = default;

TRDCompositeUndo::~TRDCompositeUndo() = default;

void TRDCompositeUndo::Undo(TRDEditRDData& data)
{
    UndoCheckItem(data, ItemIndex);
    if (!Nested || Nested->Count() == 0)
        UndoFail();
    Nested->Undo(data);
}

void TRDCompositeUndo::GetAffectedRange(int& first, int& last, TRDEditRDData&)
{
    first = last = ItemIndex;
}

// ======== free routines ========

void FreeUndoItem(std::unique_ptr<TCustomRDItemInfo> item, TCustomRDData* data)
{
    if (!item)
        return;
    if (data) {
        QByteArray text;
        data->DoItemAction(TRDItemAction::rdiaDestroying, item.get(), text, data);
        data->DoControlItemAction(TRDControlAction::rdcaDestroyInUndoList, item.get(), -1);
    }
    item->Tag = TRDTag();
    item->Checkpoint.reset();
    item.reset();
}

bool WidthChangeNeedsFullFormat(int item, int savedWidth, TRDEditRDData& data)
{
    if (item < 0 || item >= data.ItemCount())
        return true;
    const int width = data.SectionWidthOf(item);
    return width != savedWidth && (savedWidth >= data.DocumentWidth || width > data.DocumentWidth);
}

// ======== the group ========

void TRDUndoInfos::SetOwnerList(TRDUndoList* list)
{
    for (auto& record : Records)
        record->OwnerList = list;
}

bool TRDUndoInfos::IsExhausted() const
{
    if (Records.empty())
        return true;
    const TRDUndoRecord* first = Records.front().get();
    if (auto* typing = dynamic_cast<const TRDUndoTypingInfo*>(first))
        return typing->Length <= 0;
    if (auto* redoTyping = dynamic_cast<const TRDRedoTypingInfo*>(first))
        return redoTyping->Text.isEmpty();
    if (auto* composite = dynamic_cast<const TRDCompositeUndo*>(first))
        return !composite->Nested || composite->Nested->Count() == 0;
    return true;
}

void TRDUndoInfos::PerformAsUndo(TRDEditRDData& data, bool reformat)
{
    data.BeginRedoGroup(Kind, Title);
    Perform(data, reformat);
}

void TRDUndoInfos::PerformAsRedo(TRDEditRDData& data, bool reformat)
{
    data.BeginNamedUndoGroup(Kind, Title, true);
    Perform(data, reformat);
}

void TRDUndoInfos::Perform(TRDEditRDData& data, bool reformat)
{
    if (Records.empty())
        return;
    data.Deselect(nullptr, false);

    // Which items the records touch, and how the item count changes.
    const int itemCount = data.ItemCount();
    int lo = itemCount - 1, hi = 0, delta = 0;
    bool needReformat = false, rootReformat = false;
    int a = INT_MIN, b = INT_MIN;
    for (auto it = Records.rbegin(); it != Records.rend(); ++it) {
        TRDUndoRecord& record = **it;
        needReformat = needReformat || record.NeedsReformat();
        rootReformat = rootReformat || record.NeedsRootReformat();
        record.GetAffectedRange(a, b, data);
        if (delta > 0 && b != INT_MIN)
            b += delta;
        const int n = record.GetItemCountDelta();
        if (n > 0 && b != INT_MIN)
            b += n;
        delta += n;
        if (a != INT_MIN) {
            lo = std::min(lo, a);
            hi = std::max(hi, b);
        }
    }
    if (hi < lo)
        std::swap(lo, hi);
    lo = std::max(lo, 0);
    hi = std::max(hi, lo);
    if (hi + delta < lo)
        hi = lo - delta;
    if (hi >= itemCount)
        hi = itemCount - 1;
    int firstDraw = 0, lastDraw = data.DrawItems.Count() - 1;
    if (itemCount > 0 && data.DrawItems.Count() > 0) {
        int offset = 0, d = -1;
        if (lo < itemCount) {
            data.ItemPosToDrawPos(lo, 1, offset, d);
            firstDraw = d >= 0 ? d : 0;
        }
        d = -1;
        if (hi >= 0)
            data.ItemPosToDrawPos(hi, 1, offset, d);
        lastDraw = d >= 0 ? d : data.DrawItems.Count() - 1;
        if (lastDraw < firstDraw)
            lastDraw = firstDraw;
    }

    // The records undone, the last first. A run of changes of one item
    // between two terminators is judged by the width before the whole run.
    bool fullFormat = false;
    int depth = 0, heldWidth = 0, undone = 0;
    try {
        for (auto it = Records.rbegin(); it != Records.rend(); ++it) {
            TRDUndoRecord& record = **it;
            if (depth == 0)
                fullFormat = needReformat && (fullFormat || record.NeedsFullFormatBefore(data));
            if (auto* terminator = dynamic_cast<TRDUndoModifyItemTerminator*>(&record)) {
                if (!terminator->IsOpening) {
                    if (depth == 0)
                        heldWidth = terminator->WidthBefore;
                    ++depth;
                } else {
                    --depth;
                    if (depth == 0)
                        terminator->WidthBefore = heldWidth;
                }
            }
            if (record.NeedsFormatFirst()) {
                data.FormatAll(false);
                needReformat = false;
            }
            record.Undo(data);
            ++undone;
            if (depth == 0)
                fullFormat = needReformat && (fullFormat || record.NeedsFullFormatAfter(data));
        }
    } catch (...) {
        // Whatever went back before the failing record is laid out anew, so
        // that the draw items match the items again.
        if (undone > 0) {
            data.FormatAll(false);
            data.InvalidateControl();
        }
        throw;
    }

    // Live spelling starts again over the touched lines.
    data.ClampItemNo(lo);
    data.ClampItemNo(hi);
    if (data.ItemCount() > 0) {
        int first = lo, last = hi;
        data.WidenItemsToLines(lo, std::max(lo, hi), first, last);
        for (int i = first; i <= last && i < data.ItemCount(); ++i)
            data.ItemAt(i)->ClearLiveSpelling();
        data.Owner->RestartSpellingAt(&data, lo, 0);
    }

    if (reformat && needReformat) {
        bool whole = data.DrawItems.Count() == 0 || data.ItemCount() == 0;
        if (!whole && fullFormat)
            whole = data.WidthFromItemToEnd(0, nullptr, data.GetCanvas()) != data.DocumentWidth;
        if (whole)
            data.FormatAll(false);
        else
            data.FormatParagraphsOfDrawRange(firstDraw, lastDraw, false, delta);
    }

    // A typing step that took back a surrogate pair leaves the caret one
    // unit further back.
    if (const TRDUndoTypingInfo* typing = UndoTypingOf(*this))
        CaretPos -= typing->LastStep - 1;
    if (!data.Owner->GetInplaceEditor() && data.ItemCount() > 0) {
        int item = CaretItem;
        data.ClampItemNo(item);
        data.SetSelectionBounds(item, CaretPos, item, CaretPos);
    }

    data.InvalidateControl();
    if (rootReformat)
        if (auto* root = dynamic_cast<TCustomRDFormattedData*>(data.GetRootData()))
            root->DoFormat(true, true, false, false, false, nullptr, 0, true);
}

// ======== the lists ========

TRDUndoList::TRDUndoList(TCustomRDData* documentData) : DocumentData(documentData) {}

TRDUndoList::~TRDUndoList() = default;

bool TRDUndoList::BeginGroup(uint8_t kind, const QString& title, int caretItem, int caretPos)
{
    if (MaxGroupCount == 0)
        return false;
    if (GroupModeDepth >= 1 && !Groups.empty()) {
        const TRDUndoInfos& last = *Groups.back();
        if (!(last.Records.size() == 1 && last.Records.front()->Kind == 11))
            return true;
    }
    // A limit lowered since the last group brings the list down to it now.
    while (MaxGroupCount > 0 && Count() >= MaxGroupCount)
        Groups.erase(Groups.begin());
    auto group = std::make_unique<TRDUndoInfos>();
    group->Kind = kind;
    group->Title = title;
    group->CaretItem = caretItem;
    group->CaretPos = caretPos;
    if (!Groups.empty() && Groups.back()->Records.empty()) {
        const TRDUndoInfos& empty = *Groups.back();
        group->Title = empty.Title;
        group->CaretItem = empty.CaretItem;
        group->CaretPos = empty.CaretPos;
        Groups.pop_back();
    }
    Groups.push_back(std::move(group));
    return true;
}

TRDUndoRecord* TRDUndoList::AddInfo(std::unique_ptr<TRDUndoRecord> record)
{
    if (Groups.empty())
        throw ERichDocError("Can't modify empty undo list");
    TRDUndoInfos& last = *Groups.back();
    if (last.Records.size() == 1 && last.Records.front()->Kind == 11)
        throw ERichDocError("Incorrect adding into undo list");
    record->OwnerList = this;
    last.Records.push_back(std::move(record));
    return last.Records.back().get();
}

void TRDUndoList::AddInfos(std::unique_ptr<TRDUndoInfos> group)
{
    group->SetOwnerList(this);
    Groups.push_back(std::move(group));
}

void TRDUndoList::AddTyping(int item, int position, QObject*, bool isUnicode)
{
    if (MaxGroupCount == 0)
        return;
    if (!Groups.empty() && Groups.back()->Records.empty())
        Groups.pop_back();
    if (!Groups.empty()) {
        TRDUndoInfos& last = *Groups.back();
        auto* typing = last.Records.empty() ? nullptr : dynamic_cast<TRDUndoTypingInfo*>(last.Records.front().get());
        if (typing && typing->ItemIndex == item && typing->Position + typing->Length == position) {
            ++typing->Length;
            ++last.CaretPos;
            return;
        }
    }
    BeginGroup(rdutTyping, QString(), item, position);
    auto record = std::make_unique<TRDUndoTypingInfo>();
    record->ItemIndex = item;
    record->Position = position;
    record->Length = 1;
    record->IsUnicode = isUnicode;
    AddInfo(std::move(record));
}

void TRDUndoList::AddRedoTyping(const QByteArray& text, int item, int position, QObject*)
{
    const bool isUnicode = text.size() > 1;
    if (!Groups.empty() && Groups.back()->Records.empty())
        Groups.pop_back();
    if (!Groups.empty()) {
        TRDUndoInfos& last = *Groups.back();
        auto* typing = last.Records.empty() ? nullptr : dynamic_cast<TRDRedoTypingInfo*>(last.Records.front().get());
        if (typing && typing->ItemIndex == item) {
            int n = static_cast<int>(typing->Text.size());
            if (typing->IsUnicode) {
                CheckEvenByteLength(n);
                n /= 2;
            }
            if (typing->Position - n == position) {
                // The caret stays after the character that is put back next:
                // it moves by the units of the one that was last so far.
                int lastUnits = 1;
                if (typing->IsUnicode && n >= 2 && UndoSplitsPair(typing->Text, n))
                    lastUnits = 2;
                typing->Text.append(text);
                last.CaretPos -= lastUnits;
                return;
            }
        }
    }
    BeginGroup(rdutTyping, QString(), item, position);
    auto record = std::make_unique<TRDRedoTypingInfo>();
    record->ItemIndex = item;
    record->Position = position;
    record->Text = text;
    record->IsUnicode = isUnicode;
    AddInfo(std::move(record));
}

void TRDUndoList::PopIfEmpty()
{
    if (!Groups.empty() && GroupModeDepth <= 0 && Groups.back()->Records.empty())
        Groups.pop_back();
}

void TRDUndoList::ChangeGroupMode(bool open)
{
    GroupModeDepth += open ? 1 : -1;
}

uint8_t TRDUndoList::GetCurrentKind() const
{
    return Groups.empty() ? static_cast<uint8_t>(rdutNone) : Groups.back()->Kind;
}

namespace {

// After a group was performed: a used-up group goes; a typing group stays
// with its caret moved to the character it takes (puts) back next.
void UndoAfterPerform(TRDUndoList& list, TRDUndoInfos* g)
{
    auto it = std::find_if(list.Groups.begin(), list.Groups.end(),
                           [g](const std::unique_ptr<TRDUndoInfos>& p) { return p.get() == g; });
    if (it == list.Groups.end())
        return;
    if (g->IsExhausted()) {
        list.Groups.erase(it);
        return;
    }
    if (UndoTypingOf(*g))
        --g->CaretPos;
    else if (const TRDRedoTypingInfo* redo = UndoRedoTypingOf(*g)) {
        const int n = redo->IsUnicode ? int(redo->Text.size() / 2) : int(redo->Text.size());
        g->CaretPos += redo->IsUnicode && n >= 2 && UndoSplitsPair(redo->Text, n) ? 2 : 1;
    } else
        ++g->CaretPos;
}

} // namespace

void TRDUndoList::Undo(TRDEditRDData& data)
{
    if (Groups.empty())
        throw ERichDocError("Undo buffer is empty");
    TRDUndoInfos* g = Groups.back().get();
    try {
        g->PerformAsUndo(data, true);
    } catch (...) {
        data.RedoList->PopIfEmpty();
        throw;
    }
    UndoAfterPerform(*this, g);
}

void TRDUndoList::Redo(TRDEditRDData& data)
{
    if (Groups.empty())
        throw ERichDocError("Undo buffer is empty");
    TRDUndoInfos* g = Groups.back().get();
    try {
        g->PerformAsRedo(data, true);
    } catch (...) {
        data.UndoList->PopIfEmpty();
        throw;
    }
    UndoAfterPerform(*this, g);
}
