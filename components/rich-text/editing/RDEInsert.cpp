#include "editing/RDERDData.h"

#include <QtCore/QFile>
#include <QtCore/QIODevice>

#include "core/RDFStream.h"
#include "document/RDItem.h"
#include "document/RDTextItems.h"
#include "editing/RDEdit.h"

// Inserting blocks at the caret: plain text (ANSI or UTF-16) cut into
// paragraphs, lines and tabs, and RDF documents. The first item of a block
// goes through InsertItemAtCaret (it may split the caret's item); the others
// are inserted after it and recorded as one block; then the block's edges are
// joined with their neighbours.

namespace {

// The draw items of the caret's paragraph.
void InsertCaretParaDrawRange(TRDEditRDData& data, int& first, int& last)
{
    first = last = 0;
    const int count = data.DrawItems.Count();
    if (count == 0)
        return;
    first = last = std::clamp(data.CaretDrawItemNo, 0, count - 1);
    while (first > 0 && !data.DrawItemStartsParagraph(first))
        --first;
    while (last + 1 < count && !data.DrawItemStartsParagraph(last + 1))
        ++last;
}

// The places text is cut at.
enum class InsertCut { None, Para, Line, Tab, PageFromPara, PageFromLine };

}  // namespace

void TRDEditRDData::PlaceTextChunk(TRDTextRun& run, std::unique_ptr<TCustomRDItemInfo> item, const QByteArray& text)
{
    if (run.Failed)
        return;
    const bool tagsArePChars = GetOptions() & rdoTagsArePChars;
    if (!run.Placed) {
        if (run.PageBreak)
            item->ItemOptions |= rdioPageBreakBefore;
        int index = -1, added = 0, listNo = -1;
        bool full = false;
        QByteArray oldText;
        if (!InsertItemAtCaret(std::move(item), text, oldText, run.InheritTag, false, index, added, full, listNo)
            || index < 0) {
            BeepIfEnabled();
            run.Failed = true;
            return;
        }
        run.Full = run.Full || full;
        run.First = run.Last = index;
        run.Split = !oldText.isEmpty();
        run.OldText = oldText;
        const int paraStart = FirstItemOfPara(index);
        if (ItemAt(paraStart)->StyleNo == MarkerStyleNo)
            run.MarkerItem = paraStart;
    } else {
        int at = run.Last + 1;
        if (!run.NewPara || run.LineBreak || run.MarkerItem < 0) {
            if (!run.NewPara)
                item->SetContinuesPara(true);
            if (run.LineBreak)
                item->SetLineBreakBefore(true);
            if (run.PageBreak)
                item->ItemOptions |= rdioPageBreakBefore;
        } else {
            // A new paragraph inside a list: a new list item.
            bool full = false;
            CopyParagraphMarker(run.MarkerItem, at, false, full);
            item->SetContinuesPara(true);
            item->ParaNo = ItemAt(at)->ParaNo;
            run.Last = at;
            ++at;
        }
        if (run.InheritTag && item->Tag.IsNil())
            item->Tag = CopyStringTag(PendingTag, tagsArePChars);
        QByteArray itemText = text;
        TCustomRDItemInfo* raw = item.get();
        raw->Inserting(this, itemText, false);
        FItems->insert(FItems->begin() + at, {itemText, std::move(item)});
        raw->Inserted(this, at);
        AddSeqItemToList(at);
        AddMarkerToList(at);
        run.Last = at;
    }
    run.Placed = true;
    run.NewPara = run.LineBreak = run.PageBreak = false;
}

void TRDEditRDData::FinishTextInsertion(TRDTextRun& run)
{
    if (run.First < 0)
        return;
    bool full = false;
    const int count = run.Last - run.First;
    if (count > 0) {
        TRDUndoInsertItemsInfo* record = RecordInsertItems(run.First + 1, count);
        FinishInsertItems(run.First + 1, count, full, record);
        run.Full = run.Full || full;
    }
    const bool single = run.First == run.Last;
    int caretOffset = run.CaretAtStart ? 1 : EndOffsetOf(run.Last);

    // The block's end joins what follows it.
    const bool joinsBefore =
        run.First > 0 && ItemsCanMerge(run.First - 1, ItemAt(run.First - 1), false, ItemAt(run.First));
    if (run.Last + 1 < ItemCount() && ItemsCanMerge(run.Last, ItemAt(run.Last), false, ItemAt(run.Last + 1))) {
        JoinItemsRecorded(run.Last, full);
        run.Full = run.Full || full;
        if (!(single && joinsBefore))
            FireItemTextEdit(run.OldText, run.Last);
    } else if (run.Split) {
        FireItemTextEdit(run.OldText, run.Last + 1);
    }
    // The block's start joins what precedes it.
    if (run.First > 0 && ItemsCanMerge(run.First - 1, ItemAt(run.First - 1), false, ItemAt(run.First))) {
        const int before = ItemLengthOf(run.First - 1);
        JoinItemsRecorded(run.First - 1, full);
        run.Full = run.Full || full;
        if (run.CaretAtStart || single)
            caretOffset += before;
        --run.First;
        --run.Last;
        FireItemTextEdit(run.OldText, run.First);
    } else if (run.Split && run.First > 0) {
        FireItemTextEdit(run.OldText, run.First - 1);
    }

    const int delta = ItemCount() - run.ItemCountBefore;
    const bool wide = run.Full || RangeWidthOf(run.First, run.Last) > DocumentWidth;
    const bool fullFormatted = wide && WidthFromItemToEnd(0, nullptr, nullptr) != DocumentWidth;
    ReformatAfterEdit(wide, run.FirstDraw, run.LastDraw, delta);

    const int caretItem = run.CaretAtStart ? run.First : run.Last;
    if (run.CaretAtStart && caretItem != run.Last)
        caretOffset = StartOffsetOf(caretItem) + (caretOffset - 1);
    PlaceCaretAfterEdit(caretItem, std::clamp(caretOffset, StartOffsetOf(caretItem), EndOffsetOf(caretItem)));
    UpdateCaret(true, false, true);

    if (!fullFormatted && ItemAt(FirstItemOfPara(run.First))->StyleNo == MarkerStyleNo)
        RenumberAfterEdit(run.First, run.Last);
    RespellFrom(run.First, 0);
}

void TRDEditRDData::StartTextRun(TRDTextRun& run, bool inheritTag, bool caretAtStart)
{
    run.InheritTag = inheritTag;
    run.CaretAtStart = caretAtStart;
    run.ItemCountBefore = ItemCount();
    GetCaretItemNo();
    InsertCaretParaDrawRange(*this, run.FirstDraw, run.LastDraw);
}

void TRDEditRDData::PlaceTabItem(TRDTextRun& run)
{
    auto tab = std::make_unique<TRDTabItemInfo>(this);
    tab->StyleNo = TabStyleNo;
    tab->TextStyleNo = CurrentTextStyleNo;
    tab->ParaNo = CurrentParaNo;
    PlaceTextChunk(run, std::move(tab), QByteArray());
}

void TRDEditRDData::InsertText(const QByteArray& text, bool inheritTag, bool caretAtStart)
{
    if (text.isEmpty()) {
        InvalidateControl();
        return;
    }
    TRDStyle* sheet = GetRDStyle();
    if (!sheet)
        return;
    TRDTextRun run;
    StartTextRun(run, inheritTag, caretAtStart);
    const bool tabItems = sheet->SpacesInTab < 1;
    const QByteArray s = tabItems ? text : ExpandTabsAnsi(text, sheet->SpacesInTab);
    const int style = GetCurrentStyleNo();
    const bool unicode = TextStyleOf(style).Unicode;
    const uint32_t codePage = CodePageOfStyle(style);
    const bool pageBreaks = AllowsPageBreaks();

    auto place = [&](int from, int to) {
        QByteArray chunk = s.mid(from, to - from);
        if (unicode)
            chunk = AnsiToUtf16(codePage, chunk);
        PlaceTextChunk(run, NewTextItem(TRDTag{}, CurrentParaNo, false, false, CurrentTextStyleNo), chunk);
    };
    int start = 0;
    for (int i = 0; i < s.size() && !run.Failed; ++i) {
        const char c = s[i];
        if (c != '\n' && c != '\f' && c != '\r' && !(tabItems && c == '\t'))
            continue;
        place(start, i);
        if (run.Failed)
            break;
        if (c == '\t') {
            PlaceTabItem(run);
        } else {
            if ((c == '\r' && i + 1 < s.size() && s[i + 1] == '\n')
                || (c == '\n' && i + 1 < s.size() && s[i + 1] == '\r'))
                ++i;
            run.NewPara = true;
            if (c == '\f' && pageBreaks)
                run.PageBreak = true;
        }
        start = i + 1;
    }
    if (!run.Failed)
        place(start, int(s.size()));
    if (run.Placed)
        FinishTextInsertion(run);
}

void TRDEditRDData::InsertTextW(const QByteArray& text, bool inheritTag, bool caretAtStart)
{
    CheckEvenByteLength(text.size());
    TRDStyle* sheet = GetRDStyle();
    std::u16string units(size_t(text.size() / 2), u'\0');
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = WideUnitAt(text, qsizetype(i));
    char16_t* p = units.data();
    SkipUnicodeBOM(p, int(units.size()));
    const int skipped = int(p - units.data());
    units.erase(0, size_t(skipped));
    if (units.empty() || !sheet) {
        InvalidateControl();
        return;
    }
    TRDTextRun run;
    StartTextRun(run, inheritTag, caretAtStart);
    const bool tabItems = sheet->SpacesInTab < 1;
    QByteArray bytes(int(units.size() * 2), '\0');
    for (size_t i = 0; i < units.size(); ++i) {
        bytes[qsizetype(2 * i)] = char(units[i] & 0xFF);
        bytes[qsizetype(2 * i + 1)] = char(units[i] >> 8);
    }
    if (!tabItems)
        bytes = ExpandTabsUnicode(bytes, sheet->SpacesInTab);
    const int style = GetCurrentStyleNo();
    const bool unicode = TextStyleOf(style).Unicode;
    const uint32_t codePage = CodePageOfStyle(style);
    const bool pageBreaks = AllowsPageBreaks();
    const int count = int(bytes.size() / 2);

    auto place = [&](int from, int to) {
        QByteArray chunk = bytes.mid(2 * from, 2 * (to - from));
        if (!unicode)
            chunk = Utf16ToAnsi(codePage, chunk);
        PlaceTextChunk(run, NewTextItem(TRDTag{}, CurrentParaNo, false, false, CurrentTextStyleNo), chunk);
    };
    bool lastBreakWasLine = false;
    int start = 0;
    for (int i = 0; i < count && !run.Failed; ++i) {
        const char16_t c = WideUnitAt(bytes, i);
        const bool cut = c == 10 || c == 13 || c == 11 || c == 12 || c == 0x2028 || c == 0x2029
                         || (tabItems && c == 9);
        if (!cut)
            continue;
        place(start, i);
        if (run.Failed)
            break;
        switch (c) {
        case 9:
            PlaceTabItem(run);
            break;
        case 10:
        case 13:
            if (i + 1 < count && WideUnitAt(bytes, i + 1) == (c == 10 ? 13 : 10))
                ++i;
            run.NewPara = true;
            lastBreakWasLine = false;
            break;
        case 11:
        case 0x2028:
            run.LineBreak = true;
            lastBreakWasLine = true;
            break;
        case 0x2029:
            run.NewPara = true;
            lastBreakWasLine = false;
            break;
        case 12:
            if (lastBreakWasLine)
                run.LineBreak = true;
            else
                run.NewPara = true;
            if (pageBreaks)
                run.PageBreak = true;
            break;
        default:
            break;
        }
        start = i + 1;
    }
    if (!run.Failed)
        place(start, count);
    if (run.Placed)
        FinishTextInsertion(run);
}

bool TRDEditRDData::InsertTextFromStream(QIODevice& stream, bool oem, bool inheritTag)
{
    // The OEM code page is GB18030 here, as the ANSI one: OEM text needs no conversion.
    (void)oem;
    try {
        QByteArray text = stream.readAll();
        if (text.isEmpty())
            return true;
        ReplaceNulChars(text);
        InsertText(text, inheritTag, false);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool TRDEditRDData::InsertTextFromFile(const QString& fileName, bool oem, bool inheritTag)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return InsertTextFromStream(file, oem, inheritTag);
}

void TRDEditRDData::MergeInsertedBlock(int& first, int& last, int& caretOffset, int& itemCountDelta, bool& full)
{
    bool f = false;
    // After the block.
    if (last + 1 < ItemCount()) {
        if (ItemsCanMerge(last, ItemAt(last), false, ItemAt(last + 1))) {
            JoinItemsRecorded(last, f);
            full = full || f;
            --itemCountDelta;
        } else if (ItemAt(last)->GetBoolValue(0) && ItemAt(last + 1)->ContinuesPara()) {
            SetContinuesParaRecorded(last + 1, false, f, ParaOfItem(last + 1));
            full = full || f;
        }
    }
    // Inside the block.
    bool contiguous = true;
    for (int i = last; i > first; --i) {
        if (ItemsCanMerge(i - 1, ItemAt(i - 1), false, ItemAt(i))) {
            if (contiguous && i == last)
                caretOffset += ItemLengthOf(i - 1);
            JoinItemsRecorded(i - 1, f);
            full = full || f;
            --last;
            --itemCountDelta;
        } else {
            contiguous = false;
            MergeItemsInSubDocs(i);
        }
    }
    MergeItemsInSubDocs(first);
    // Before the block.
    if (first > 0 && ItemsCanMerge(first - 1, ItemAt(first - 1), false, ItemAt(first))) {
        if (first == last)
            caretOffset += ItemLengthOf(first - 1);
        JoinItemsRecorded(first - 1, f);
        full = full || f;
        --first;
        --last;
        --itemCountDelta;
    } else if (first < last && ItemAt(first)->StyleNo >= 0 && TextOfItem(first).isEmpty()
               && ItemAt(first)->ContinuesPara() && !(first > 0 && ItemAt(first - 1)->StyleNo == MarkerStyleNo)) {
        DeleteItemRecorded(first, f);
        full = full || f;
        --last;
        --itemCountDelta;
    }
    for (int i = first; i <= last && i < ItemCount(); ++i)
        ItemAt(i)->ClearLiveSpelling();
}

bool TRDEditRDData::InsertRDFFromStream(QIODevice& stream)
{
    const int caretItem = GetCaretItemNo();
    if (caretItem < 0)
        return false;
    const int caretOffs = GetCaretOffset();
    int index = caretItem;
    if (caretOffs >= EndOffsetOf(caretItem) && (ItemAt(caretItem)->StyleNo >= 0 || caretOffs >= 1))
        index = caretItem + 1;
    int firstDraw = 0, lastDraw = 0;
    InsertCaretParaDrawRange(*this, firstDraw, lastDraw);
    const int countBefore = ItemCount();

    BeginUndoGroup(rdutInsert);
    const TColor editorColor = Editor()->Color();
    ItemInsertedDuringLoad = false;
    LastInsertedAtCaret = -1;

    TRDMemoryStream rdf;
    rdf.LoadFromBytes(stream.readAll());
    rdf.SetPosition(0);
    TColor readColor = editorColor;
    int itemsAdded = 0;
    bool interrupted = false, reformatAll = false;
    int readIndex = index;
    const bool ok = LoadRDF(rdf, readIndex, -1, false, false, true, readColor, nullptr, nullptr, itemsAdded,
                            interrupted, reformatAll, false);
    // An RDF background colour never changes the editor.
    if (Editor()->Color() != editorColor)
        Editor()->SetColor(editorColor);
    if (!ok) {
        FormatAll(false);
        InvalidateControl();
        BeepIfEnabled();
        return false;
    }
    if (!ItemInsertedDuringLoad || LastInsertedAtCaret < 0)
        return ok;

    int first = LastInsertedAtCaret;
    int last = std::clamp(readIndex - 1, first, ItemCount() - 1);
    bool full = reformatAll;
    if (last > first) {
        bool f = false;
        TRDUndoInsertItemsInfo* record = RecordInsertItems(first + 1, last - first);
        FinishInsertItems(first + 1, last - first, f, record);
        full = full || f;
    }
    int delta = ItemCount() - countBefore;
    int caretOffset = EndOffsetOf(last);
    MergeInsertedBlock(first, last, caretOffset, delta, full);
    delta = ItemCount() - countBefore;
    const bool wide = full || RangeWidthOf(first, last) > DocumentWidth;
    const bool fullFormatted = wide && WidthFromItemToEnd(0, nullptr, nullptr) != DocumentWidth;
    ReformatAfterEdit(wide, firstDraw, lastDraw, delta);
    PlaceCaretAfterEdit(last, std::clamp(caretOffset, StartOffsetOf(last), EndOffsetOf(last)));
    UpdateCaret(true, false, true);
    if (!fullFormatted)
        RenumberAfterEdit(first, last);
    return true;
}

bool TRDEditRDData::InsertItem(int& index, QByteArray& text, TCustomRDItemInfo*& item, bool insertMode,
                               bool& reformatAll, int& newListNo)
{
    if (!insertMode)
        return TRichDocRDData::InsertItem(index, text, item, insertMode, reformatAll, newListNo);
    reformatAll = false;
    newListNo = -1;
    std::unique_ptr<TCustomRDItemInfo> owned(item);
    item = nullptr;
    QByteArray oldText;
    int at = -1, added = 0;
    bool full = false;
    if (!InsertItemAtCaret(std::move(owned), text, oldText, false, true, at, added, full, newListNo)) {
        BeepIfEnabled();
        return false;
    }
    reformatAll = full;
    ItemInsertedDuringLoad = true;
    if (at >= 0) {
        index = at;
        item = ItemAt(at);
    }
    return true;
}
