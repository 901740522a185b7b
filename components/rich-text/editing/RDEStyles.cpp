#include "editing/RDERDData.h"

#include <algorithm>

#include "core/RDStrUtils.h"
#include "core/RDUnicode.h"
#include "editing/RDEdit.h"
#include "styles/RDStyle.h"

// Applying text and paragraph styles. Every change goes through the recorded
// primitives; the editor's conversion hook answers the new style of each
// styled item (without a hook a style stays as it is).

namespace {

// The hook's answer for one style.
int StylesAsk(TRDEditRDData& data, int styleNo, int paraNo, int userData, bool appliedToText, bool flag)
{
    int answer = styleNo;
    TCustomRichDocEdit* editor = data.Editor();
    if (editor && editor->StyleConversionHook)
        editor->StyleConversionHook(editor, styleNo, paraNo, userData, appliedToText, answer, flag);
    return answer;
}

bool StylesIsUnicode(TRDEditRDData& data, int styleNo)
{
    TRDStyle* sheet = data.GetRDStyle();
    return sheet && styleNo >= 0 && styleNo < sheet->TextStyles().Count()
           && sheet->TextStyles().TextStyleAt(styleNo)->Unicode;
}

uint32_t StylesProtection(TRDEditRDData& data, int styleNo)
{
    TRDStyle* sheet = data.GetRDStyle();
    if (!sheet || styleNo < 0 || styleNo >= sheet->TextStyles().Count())
        return 0;
    return sheet->TextStyles().TextStyleAt(styleNo)->Protection;
}

bool StylesClearTags(TRDEditRDData& data)
{
    TCustomRichDocEdit* editor = data.Editor();
    return editor && (editor->EditorOptions & rdoClearTagOnStyleApp);
}

// The tag a new head or tail takes: a copy of the item's, or none.
TRDTag StylesPieceTag(TRDEditRDData& data, const TCustomRDItemInfo& item)
{
    if (StylesClearTags(data))
        return TRDTag{};
    return CopyStringTag(item.Tag, (data.GetOptions() & rdoTagsArePChars) || item.Tag.Str.has_value());
}

// Characters of an item's text re-encoded for a new effective style (ANSI and
// UTF-16 both ways; unchanged when the encoding stays).
QByteArray StylesReencode(TRDEditRDData& data, const QByteArray& chars, int oldEffective, bool oldUnicode,
                          int newEffective)
{
    const bool newUnicode = StylesIsUnicode(data, newEffective);
    if (oldUnicode && !newUnicode)
        return Utf16ToAnsi(data.CodePageOfStyle(newEffective), chars);
    if (!oldUnicode && newUnicode)
        return AnsiToUtf16(data.CodePageOfStyle(oldEffective), chars);
    return chars;
}

// Shifts a kept position for an item inserted at index (the position moves
// along unless it lies in an item before index).
void StylesShiftForInsert(TRDEditRDData::TRDStyledPos& pos, int index)
{
    if (pos.ItemNo >= index)
        ++pos.ItemNo;
}

// The last draw item of an item.
int StylesLastDrawOf(TRDEditRDData& data, int itemNo)
{
    int d = data.ItemAt(itemNo)->FirstDrawItem;
    if (d < 0)
        return d;
    while (d + 1 < data.DrawItems.Count() && data.DrawItems[d + 1]->ItemNo == itemNo)
        ++d;
    return d;
}

// A non-text item converts itself: an item with an associated text style
// (labels) through the recorded conversion, others (tables) on their own.
void StylesConvertNonText(TRDEditRDData& data, int itemNo, int userData, int mode)
{
    TCustomRDItemInfo* item = data.ItemAt(itemNo);
    if (item->GetAssociatedTextStyleNo() >= 0)
        data.ConvertAssociatedStyle(itemNo, userData, true);
    else
        item->ApplyStyleConversion(userData, mode, true);
}

}  // namespace

void TRDEditRDData::ConvertStyleNo(int32_t& styleNo, int32_t paraNo, int userData)
{
    TCustomRichDocEdit* editor = Editor();
    if (!editor)
        return;
    int answer = styleNo;
    if (editor->StyleConversionHook)
        editor->StyleConversionHook(editor, styleNo, paraNo, userData, true, answer, false);
    else if (editor->OnStyleConversion)
        editor->OnStyleConversion(editor, styleNo, userData, true, answer);
    styleNo = answer;
}

void TRDEditRDData::ClearTagOnStyleApply(int itemNo)
{
    if (StylesClearTags(*this))
        SetItemTagRecorded(itemNo, TRDTag{}, false);
}

void TRDEditRDData::SetStyleConvertingText(int itemNo, int styleNo)
{
    const TCustomRDItemInfo* item = ItemAt(itemNo);
    const int oldEffective = EffectiveStyleNo(*item);
    const int newEffective = ResolveStyleNo(styleNo, item->ParaNo);
    const bool oldUnicode = (item->ItemOptions & rdioUnicode) != 0;
    const QByteArray& text = TextOfItem(itemNo);
    const QByteArray converted = StylesReencode(*this, text, oldEffective, oldUnicode, newEffective);
    if (converted != text)
        ChangeItemTextRecorded(itemNo, converted);
    SetItemStyleRecorded(itemNo, styleNo);
}

void TRDEditRDData::ConvertItemStyle(int itemNo, int userData, bool wholeParagraphs)
{
    const TCustomRDItemInfo* item = ItemAt(itemNo);
    if (item->StyleNo < 0) {
        StylesConvertNonText(*this, itemNo, userData, StyleApplyMode);
        return;
    }
    const int newStyle = StylesAsk(*this, EffectiveStyleNo(*item), item->ParaNo, userData, true, wholeParagraphs);
    if (newStyle == item->StyleNo)
        return;
    ClearTagOnStyleApply(itemNo);
    SetStyleConvertingText(itemNo, newStyle);
}

void TRDEditRDData::ConvertItemHead(int itemNo, int offset, int userData, bool wholeParagraphs)
{
    const TCustomRDItemInfo* item = ItemAt(itemNo);
    const int newStyle = StylesAsk(*this, EffectiveStyleNo(*item), item->ParaNo, userData, true, wholeParagraphs);
    if (newStyle == item->StyleNo || offset <= 1)
        return;
    const int flags = item->ItemOptions;
    const QByteArray head = CharCopy(TextOfItem(itemNo), 1, offset - 1, flags);
    const QByteArray converted = StylesReencode(*this, head, EffectiveStyleNo(*item), flags & rdioUnicode,
                                                ResolveStyleNo(newStyle, item->ParaNo));
    const TRDTag tag = StylesPieceTag(*this, *item);
    const int paraNo = item->ParaNo;
    const bool lineBreak = item->HasLineBreakBefore();
    const bool continues = item->ContinuesPara();
    const bool pageBreak = !continues && item->BreaksPageBefore();
    DeleteSubstringRecorded(itemNo, 1, offset - 1);
    bool full = false;
    InsertNewTextItemRecorded(itemNo, converted, tag, paraNo, lineBreak, continues, newStyle, full);
    // The head takes the item's place: its checkpoint and page break go with it.
    MoveCheckpointRecorded(itemNo + 1, itemNo);
    if (pageBreak)
        SetPageBreakRecorded(itemNo, true);
    SetContinuesParaRecorded(itemNo + 1, true, full, -1);
    // The selection ends at the head's end (a position in the rest moves along).
    for (TRDStyledPos* pos : {&StyleSelStart, &StyleSelEnd, &StyleCaret}) {
        if (pos->ItemNo == itemNo && pos->Offset == offset)
            pos->Offset = CharLength(TextOfItem(itemNo), ItemAt(itemNo)->ItemOptions) + 1;
        else if (pos->ItemNo == itemNo && pos->Offset > offset)
            *pos = TRDStyledPos{itemNo + 1, pos->Offset - offset + 1};
        else
            StylesShiftForInsert(*pos, itemNo + 1);
    }
}

void TRDEditRDData::ConvertItemTail(int itemNo, int offset, int userData, bool wholeParagraphs)
{
    const TCustomRDItemInfo* item = ItemAt(itemNo);
    const int newStyle = StylesAsk(*this, EffectiveStyleNo(*item), item->ParaNo, userData, true, wholeParagraphs);
    if (newStyle == item->StyleNo)
        return;
    const int flags = item->ItemOptions;
    const int length = CharLength(TextOfItem(itemNo), flags);
    if (offset > length)
        return;
    const QByteArray tail = CharCopy(TextOfItem(itemNo), offset, length - offset + 1, flags);
    const QByteArray converted = StylesReencode(*this, tail, EffectiveStyleNo(*item), flags & rdioUnicode,
                                                ResolveStyleNo(newStyle, item->ParaNo));
    const TRDTag tag = StylesPieceTag(*this, *item);
    const int paraNo = item->ParaNo;
    DeleteSubstringRecorded(itemNo, offset, length - offset + 1);
    bool full = false;
    InsertNewTextItemRecorded(itemNo + 1, converted, tag, paraNo, false, true, newStyle, full);
    // The selection starts at the tail's start.
    for (TRDStyledPos* pos : {&StyleSelStart, &StyleSelEnd, &StyleCaret}) {
        if (pos->ItemNo == itemNo && pos->Offset >= offset)
            *pos = TRDStyledPos{itemNo + 1, pos->Offset - offset + 1};
        else
            StylesShiftForInsert(*pos, itemNo + 1);
    }
}

void TRDEditRDData::ConvertItemMiddle(int itemNo, int first, int last, int userData, bool wholeParagraphs)
{
    const TCustomRDItemInfo* item = ItemAt(itemNo);
    const int newStyle = StylesAsk(*this, EffectiveStyleNo(*item), item->ParaNo, userData, true, wholeParagraphs);
    if (newStyle == item->StyleNo || first >= last)
        return;
    const int flags = item->ItemOptions;
    const QByteArray text = TextOfItem(itemNo);
    const int length = CharLength(text, flags);
    const QByteArray head = CharCopy(text, 1, first - 1, flags);
    const QByteArray tail = CharCopy(text, last, length - last + 1, flags);
    const TRDTag tag = CopyStringTag(item->Tag, (GetOptions() & rdoTagsArePChars) || item->Tag.Str.has_value());
    const bool lineBreak = item->HasLineBreakBefore();
    const bool continues = item->ContinuesPara();
    const bool pageBreak = !continues && item->BreaksPageBefore();
    DeleteSubstringRecorded(itemNo, last, length - last + 1);
    DeleteSubstringRecorded(itemNo, 1, first - 1);
    bool full = false;
    InsertTextItemLikeRecorded(itemNo + 1, tail, tag, *ItemAt(itemNo), false, true, full);
    InsertTextItemLikeRecorded(itemNo, head, tag, *ItemAt(itemNo), lineBreak, continues, full);
    const int middle = itemNo + 1;
    MoveCheckpointRecorded(middle, itemNo);
    if (pageBreak)
        SetPageBreakRecorded(itemNo, true);
    SetContinuesParaRecorded(middle, true, full, -1);
    ClearTagOnStyleApply(middle);
    SetStyleConvertingText(middle, newStyle);
    StyleSelStart = TRDStyledPos{middle, 1};
    StyleSelEnd = TRDStyledPos{middle, last - first + 1};
}

void TRDEditRDData::JoinAfterStyleApply(int a, int b, int& itemCountDelta, bool& full)
{
    RespellFrom(std::max(a - 1, 0), 1);
    if (b + 1 < ItemCount())
        ++b;
    if (a == 0)
        a = 1;
    for (int i = std::min(b, ItemCount() - 1); i >= a; --i) {
        if (!ItemsCanMerge(i - 1, ItemAt(i - 1), false, ItemAt(i)))
            continue;
        const int prevLength = CharLength(TextOfItem(i - 1), ItemAt(i - 1)->ItemOptions);
        bool partFull = false;
        JoinItemsRecorded(i - 1, partFull);
        full = full || partFull;
        --itemCountDelta;
        for (TRDStyledPos* pos : {&StyleSelStart, &StyleSelEnd, &StyleCaret}) {
            if (pos->ItemNo == i)
                *pos = TRDStyledPos{i - 1, prevLength + pos->Offset};
            else if (pos->ItemNo > i)
                --pos->ItemNo;
        }
        if (i - 1 < ItemCount())
            ItemAt(i - 1)->ClearWordPaintersFrom(0);
    }
}

void TRDEditRDData::ApplyTextStyleConversion(int userData, int mode, bool wholeParagraphs)
{
    if (TCustomRDItemInfo* chosen = GetChosenItem()) {
        chosen->ApplyStyleConversion(userData, mode, false);
        return;
    }
    StyleApplyMode = mode;
    const int currentEffective = ResolveStyleNo(CurrentTextStyleNo, std::max(CurrentParaNo, 0));
    if (!(StylesProtection(*this, currentEffective) & rdprDoNotAutoSwitch))
        LastSwitchableStyleNo = CurrentTextStyleNo;
    int newCurrent = StylesAsk(*this, currentEffective, CurrentParaNo, userData, false, wholeParagraphs);
    if (newCurrent == currentEffective)
        newCurrent = CurrentTextStyleNo;

    const bool hasSelection = DataSelectionExists(false, false);
    if (!wholeParagraphs && !hasSelection) {
        const int caretItem = GetCaretItemNo();
        if (caretItem >= 0 && caretItem < ItemCount() && ItemAt(caretItem)->StyleNo >= 0
            && TextOfItem(caretItem).isEmpty()) {
            BeginUndoGroup(rdutStyleNo);
            const int countBefore = ItemCount();
            ConvertItemStyle(caretItem, userData, wholeParagraphs);
            {
                TRDStateBits applying(State, dsStyleApplying);
                const int d = ItemAt(caretItem)->FirstDrawItem;
                ReformatAfterEdit(false, d, d, ItemCount() - countBefore);
            }
            SetCurrentTextStyleNo(newCurrent);
            int drawOffset = 0, d = -1;
            ItemPosToDrawPos(caretItem, StartOffsetOf(caretItem), drawOffset, d);
            if (d >= 0) {
                CaretDrawItemNo = d;
                BuildCharPositions(drawOffset - 2);
            }
            UpdateCaret(true, true, true);
            DoChange(true);
        }
        SetCurrentTextStyleNo(newCurrent);
        return;
    }

    BeginUndoGroup(rdutStyleNo);
    int startNo = 0, startOffs = 0, endNo = 0, endOffs = 0;
    int first = 0, fo = 0, last = 0, lo = 0;
    bool backwards = false;
    if (hasSelection) {
        GetSelBoundsDraw(startNo, startOffs, endNo, endOffs, true);
        GetSelBoundsItems(first, fo, last, lo, true);
        backwards = SelStartNo > SelEndNo || (SelStartNo == SelEndNo && SelStartOffs > SelEndOffs);
    } else {
        first = last = GetCaretItemNo();
        fo = lo = GetCaretOffset();
        startNo = endNo = CaretDrawItemNo;
    }
    if (first < 0 || last < 0) {
        SetCurrentTextStyleNo(newCurrent);
        return;
    }
    const int widthBefore = MaxLineWidth(first, last);
    if (wholeParagraphs) {
        int a = first, b = last;
        WidenItemsToParagraphs(first, last, a, b);
        first = a;
        fo = StartOffsetOf(a);
        last = b;
        lo = EndOffsetOf(b);
    }
    // The draw range to format again, widened to the paragraphs.
    {
        int a = first, b = last;
        WidenItemsToParagraphs(first, last, a, b);
        startNo = ItemAt(a)->FirstDrawItem;
        endNo = StylesLastDrawOf(*this, b);
    }
    StyleSelStart = TRDStyledPos{first, fo};
    StyleSelEnd = TRDStyledPos{last, lo};
    StyleCaret = TRDStyledPos{GetCaretItemNo(), GetCaretOffset()};
    const int countBefore = ItemCount();
    auto isSplitProtected = [this](int i) {
        return (StylesProtection(*this, EffectiveStyleOfItem(i)) & rdprStyleSplitProtect) != 0;
    };

    if (first != last) {
        // From the end backwards, so that indexes before stay valid.
        if (ItemAt(last)->StyleNo < 0)
            StylesConvertNonText(*this, last, userData, mode);
        else if (!isSplitProtected(last) && lo < EndOffsetOf(last))
            ConvertItemHead(last, lo, userData, wholeParagraphs);
        else
            ConvertItemStyle(last, userData, wholeParagraphs);
        for (int i = last - 1; i > first; --i)
            ConvertItemStyle(i, userData, wholeParagraphs);
        if (ItemAt(first)->StyleNo < 0) {
            if (fo <= StartOffsetOf(first))
                StylesConvertNonText(*this, first, userData, mode);
        } else if (!isSplitProtected(first) && fo > StartOffsetOf(first)) {
            ConvertItemTail(first, fo, userData, wholeParagraphs);
        } else {
            ConvertItemStyle(first, userData, wholeParagraphs);
        }
    } else if (ItemAt(first)->StyleNo < 0) {
        StylesConvertNonText(*this, first, userData, mode);
    } else {
        const bool fromStart = fo <= StartOffsetOf(first);
        const bool toEnd = lo >= EndOffsetOf(first);
        if (isSplitProtected(first) || (fromStart && toEnd))
            ConvertItemStyle(first, userData, wholeParagraphs);
        else if (!fromStart && !toEnd)
            ConvertItemMiddle(first, fo, lo, userData, wholeParagraphs);
        else if (!fromStart)
            ConvertItemTail(first, fo, userData, wholeParagraphs);
        else
            ConvertItemHead(first, lo, userData, wholeParagraphs);
    }

    int itemCountDelta = ItemCount() - countBefore;
    bool full = false;
    {
        // Over F..L with whole paragraphs, otherwise over the selection as it stands now.
        const int a = wholeParagraphs ? first : StyleSelStart.ItemNo;
        const int b = wholeParagraphs ? last + itemCountDelta : StyleSelEnd.ItemNo;
        JoinAfterStyleApply(std::max(a, 0), std::max(b, 0), itemCountDelta, full);
    }
    const int lastNow = std::clamp(last + itemCountDelta, first, ItemCount() - 1);
    const int firstNow = std::min(first, lastNow);
    const int widthAfter = MaxLineWidth(firstNow, lastNow);
    full = widthAfter != widthBefore && (widthBefore >= DocumentWidth || widthAfter >= DocumentWidth);
    {
        TRDStateBits applying(State, dsStyleApplying);
        ReformatAfterEdit(full, startNo, endNo, itemCountDelta);
    }

    // The selection again, in its direction; the caret at its moving end.
    if (hasSelection) {
        if (backwards)
            StoreSelection(StyleSelEnd.ItemNo, StyleSelEnd.Offset, StyleSelStart.ItemNo, StyleSelStart.Offset);
        else
            StoreSelection(StyleSelStart.ItemNo, StyleSelStart.Offset, StyleSelEnd.ItemNo, StyleSelEnd.Offset);
        CaretDrawItemNo = SelEndNo;
        BuildCharPositions(SelEndOffs - 2);
    } else {
        int drawOffset = 0, d = -1;
        ItemPosToDrawPos(StyleCaret.ItemNo, StyleCaret.Offset, drawOffset, d);
        if (d >= 0) {
            CaretDrawItemNo = d;
            BuildCharPositions(drawOffset - 2);
        }
    }
    SetCurrentTextStyleNo(newCurrent);
    UpdateCaret(true, true, true);
    InvalidateControl();
    RefreshControl();
    DoChange(true);
}

void TRDEditRDData::ApplyParaStyle(int value, bool convert)
{
    if (TCustomRDItemInfo* chosen = GetChosenItem()) {
        chosen->ApplyStyleConversion(value, convert ? 2 : 0, false);
        return;
    }
    if (CaretDrawItemNo < 0 || CaretDrawItemNo >= DrawItems.Count())
        return;
    const bool hasSelection = DataSelectionExists(false, false);
    int startNo = CaretDrawItemNo, endNo = CaretDrawItemNo, startOffs = 0, endOffs = 0;
    if (hasSelection)
        GetSelBoundsDraw(startNo, startOffs, endNo, endOffs, true);
    // The caret and the selection as item positions.
    const int caretItem = GetCaretItemNo();
    const int caretOffset = GetCaretOffset();
    int anchorItem = -1, anchorOffs = 0, movingItem = -1, movingOffs = 0;
    if (hasSelection) {
        DrawPosToItemPos(SelStartNo, SelStartOffs, anchorOffs, anchorItem);
        DrawPosToItemPos(SelEndNo, SelEndOffs, movingOffs, movingItem);
    }
    int first = DrawItems[startNo]->ItemNo;
    int last = DrawItems[endNo]->ItemNo;
    WidenItemsToParagraphs(first, last, first, last);

    bool changed = false;
    bool full = false;
    if (!convert) {
        for (int i = first; i <= last && !changed; ++i)
            changed = ItemAt(i)->ParaNo != value;
        if (changed)
            SetParaRangeRecorded(first, last, full, value);
    } else {
        std::vector<int> paraNos;
        paraNos.reserve(static_cast<size_t>(last - first + 1));
        for (int i = first; i <= last; ++i) {
            const int old = ItemAt(i)->ParaNo;
            paraNos.push_back(StylesAsk(*this, old, old, value, false, true));
            changed = changed || paraNos.back() != old;
        }
        if (changed)
            SetParaListRecorded(first, paraNos, full);
    }

    if (changed) {
        {
            TRDStateBits applying(State, dsStyleApplying);
            if (full)
                FormatAll(false);
            else
                FormatParagraphsOfDrawRange(ItemAt(first)->FirstDrawItem, StylesLastDrawOf(*this, last), false, 0);
        }
        if (hasSelection)
            StoreSelection(anchorItem, anchorOffs, movingItem, movingOffs);
        InvalidateControl();
        int drawOffset = 0, d = -1;
        ItemPosToDrawPos(caretItem, caretOffset, drawOffset, d);
        if (d >= 0) {
            CaretDrawItemNo = d;
            BuildCharPositions(drawOffset - 2);
        }
    }
    UpdateCaret(true, false, true);
    DoChange(true);
}
