#include "document/CRDData.h"

#include <QtGui/QCursor>
#include <QtWidgets/QApplication>

#include "Cursors.h"
#include "document/RDDocEncoding.h"
#include "core/RDUnicode.h"
#include "document/RDHost.h"
#include "document/RDTextItems.h"

namespace {

// The style that a number out of range stands for (style 0, whose copy the
// placeholder is), read without making the placeholder: the live-spelling
// thread asks these questions and must change nothing.
const TFontInfo* TextStyleForReading(const TRDStyle& sheet, int n)
{
    const TFontInfos& styles = sheet.TextStyles();
    if (n >= 0 && n < styles.Count())
        return styles.Items(n);
    return styles.Count() > 0 ? styles.Items(0) : nullptr;
}

const TParaInfo* ParaStyleForReading(const TRDStyle& sheet, int n)
{
    const TParaInfos& styles = sheet.ParaStyles();
    if (n >= 0 && n < styles.Count())
        return styles.Items(n);
    return styles.Count() > 0 ? styles.Items(0) : nullptr;
}

}  // namespace

TCustomRDData::TCustomRDData() = default;

void TCustomRDData::CreateItemList()
{
    if (!SharesItems() && !FOwnItems) {
        FOwnItems = std::make_unique<std::vector<TRDItemEntry>>();
        FItems = FOwnItems.get();
    }
}

TCustomRDData::~TCustomRDData()
{
    // Subclasses clear in their own destructors when they override Clear;
    // here only what the base owns is freed.
    TCustomRDData::Clear();
}

void TCustomRDData::SetParentCursor(int16_t cursor)
{
    if (TCustomRDData* root = GetAbsoluteRootData(); root != this)
        root->SetParentCursor(cursor);
    else if (TRDHost* host = GetHost())
        host->SetCursor(ScreenCursor(cursor));
}

// Item access.

QByteArray TCustomRDData::ItemTextAsAnsi(int i) const
{
    const TCustomRDItemInfo* item = ItemAt(i);
    const int styleNo = EffectiveStyleNo(*item);
    if (styleNo >= 0 && (item->ItemOptions & rdioUnicode))
        return Utf16ToAnsi(CodePageOfStyle(styleNo), TextOfItem(i));
    return TextOfItem(i);
}

int TCustomRDData::ResolveStyleNo(int styleNo, int paraNo) const
{
    if (styleNo != RDMaxInt)
        return styleNo;
    auto* self = const_cast<TCustomRDData*>(this);
    const TRDStyle* sheet = self->GetRDStyle();
    const TParaInfo* para = sheet ? ParaStyleForReading(*sheet, paraNo) : nullptr;
    const int def = para ? para->DefStyleNo : -1;
    return def < 0 ? 0 : def;
}

int TCustomRDData::ItemLengthOf(int i) const
{
    const TCustomRDItemInfo* item = ItemAt(i);
    if (item->StyleNo < 0)
        return 1;
    return CharLength(TextOfItem(i), item->ItemOptions);
}

int TCustomRDData::FirstItemOfPara(int i) const
{
    while (i > 0 && !StartsParagraph(i))
        --i;
    return i;
}

int TCustomRDData::FirstItemOfLine(int i) const
{
    while (i > 0 && !StartsNewLine(i))
        --i;
    return i;
}

void TCustomRDData::ClampItemNo(int& i) const
{
    if (i >= ItemCount())
        i = ItemCount() - 1;
    if (i < 0)
        i = 0;
}

int TCustomRDData::IndexOfItem(const TCustomRDItemInfo* item) const
{
    for (int i = 0; i < ItemCount(); ++i)
        if (ItemAt(i) == item)
            return i;
    return -1;
}

int TCustomRDData::IndexOfControl(const void* control) const
{
    for (int i = 0; i < ItemCount(); ++i)
        if (ItemAt(i)->OwnsControl(control))
            return i;
    return -1;
}

bool TCustomRDData::GetItemExtraIntProperty(int i, int id, int& value) const
{
    return ItemAt(i)->GetExtraIntProperty(id, value);
}

bool TCustomRDData::GetItemExtraStrProperty(int i, int id, QString& value) const
{
    return ItemAt(i)->GetExtraStrProperty(id, value);
}

bool TCustomRDData::BreaksPageBeforeItem(int i) const
{
    if (i < 0 || i >= ItemCount())
        throw ERichDocError("Item index is out of bounds");
    if (i > 0 && ItemAt(i - 1)->StyleNo == MarkerStyleNo)
        return ItemAt(i - 1)->BreaksPageBefore();
    return ItemAt(i)->BreaksPageBefore();
}

void TCustomRDData::SetBreaksPageBefore(int i, bool flag)
{
    if (i < 0 || i >= ItemCount())
        throw ERichDocError("Item index is out of bounds");
    ItemAt(i)->SetBreaksPageBefore(flag);
}

uint32_t TCustomRDData::CodePageOfStyle(int n) const
{
    auto* self = const_cast<TCustomRDData*>(this);
    const TRDStyle* sheet = self->GetRDStyle();
    if (!sheet)
        return 0;
    const TFontInfo* style = n >= 0 ? TextStyleForReading(*sheet, n) : nullptr;
    if (!style || style->Charset == DEFAULT_CHARSET)
        return sheet->DefCodePage;
    return CodePageOfCharset(style->Charset);
}

uint32_t TCustomRDData::GetDefCodePage() const
{
    auto* self = const_cast<TCustomRDData*>(this);
    const TRDStyle* sheet = self->GetRDStyle();
    return sheet ? sheet->DefCodePage : 0;
}

uint32_t TCustomRDData::LocaleOfStyle(int n) const
{
    auto* self = const_cast<TCustomRDData*>(this);
    const TRDStyle* sheet = self->GetRDStyle();
    return LocaleOfLanguage(sheet && n >= 0 ? LanguageOfCharset(sheet->TextStyles().TextStyleAt(n)->Charset) : LanguageOfCharset(0));
}

bool TCustomRDData::TextStyleGoesToHtml(int n) const
{
    auto* self = const_cast<TCustomRDData*>(this);
    const TRDStyle* sheet = self->GetRDStyle();
    if (!sheet)
        return true;
    const uint8_t options = sheet->TextStyles().TextStyleAt(n)->Options;
    return (options & rdteoHTMLCode) || !(options & rdteoRTFCode);
}

bool TCustomRDData::IsDelimiterA(char ch) const
{
    return const_cast<TCustomRDData*>(this)->GetDelimiters().contains(ch);
}

bool TCustomRDData::IsDelimiterW(char16_t code) const
{
    return code <= 255 && IsDelimiterA(static_cast<char>(code));
}

bool TCustomRDData::ItemIsDoubleByte(int i) const
{
    if (i < 0 || i >= ItemCount())
        return IsDoubleByteCodePage(GetDefCodePage());
    const TCustomRDItemInfo* item = ItemAt(i);
    if (item->ItemOptions & rdioUnicode)
        return false;
    const int styleNo = EffectiveStyleNo(*item);
    return IsDoubleByteCodePage(styleNo >= 0 ? CodePageOfStyle(styleNo) : GetDefCodePage());
}

bool TCustomRDData::IsDelimiterAt(const QByteArray& s, int pos, uint8_t options, int itemNo) const
{
    if (options & rdioUnicode) {
        const qsizetype at = 2 * static_cast<qsizetype>(pos - 1);
        if (pos < 1 || at + 1 >= s.size())
            return false;
        const char16_t code = static_cast<unsigned char>(s[at]) | (static_cast<unsigned char>(s[at + 1]) << 8);
        return IsDelimiterW(code);
    }
    if (pos < 1 || pos > s.size())
        return false;
    if (ItemIsDoubleByte(itemNo)) {
        // A byte inside a double-byte character is never a delimiter.
        const uint32_t cp = itemNo >= 0 && itemNo < ItemCount() ? CodePageOfStyle(EffectiveStyleOfItem(itemNo))
                                                                : GetDefCodePage();
        qsizetype i = 0;
        while (i < pos - 1)
            i += DoubleByteCharSize(s, i, cp);
        if (i != pos - 1)
            return false;
    }
    return IsDelimiterA(s[pos - 1]);
}

int TCustomRDData::NextCharPos(const QByteArray& s, int i, int pos) const
{
    const uint8_t options = (i >= 0 && i < ItemCount()) ? ItemOptionsOf(i) : 0;
    if (options & rdioUnicode) {
        const qsizetype at = 2 * static_cast<qsizetype>(pos - 1);
        if (at + 3 < s.size()) {
            const char16_t unit = static_cast<unsigned char>(s[at]) | (static_cast<unsigned char>(s[at + 1]) << 8);
            const char16_t next = static_cast<unsigned char>(s[at + 2]) | (static_cast<unsigned char>(s[at + 3]) << 8);
            if (QChar::isHighSurrogate(unit) && QChar::isLowSurrogate(next))
                return pos + 2;
        }
        return pos + 1;
    }
    if (!ItemIsDoubleByte(i) || pos < 1 || pos > s.size())
        return pos + 1;
    const uint32_t cp = CodePageOfStyle(EffectiveStyleOfItem(i));
    qsizetype at = 0;
    while (at < pos - 1)
        at += DoubleByteCharSize(s, at, cp);
    return static_cast<int>(at + DoubleByteCharSize(s, at, cp) + 1);
}

int TCustomRDData::PrevCharPos(const QByteArray& s, int i, int pos) const
{
    const uint8_t options = (i >= 0 && i < ItemCount()) ? ItemOptionsOf(i) : 0;
    if (options & rdioUnicode) {
        if (pos <= 1)
            return 1;
        const qsizetype at = 2 * static_cast<qsizetype>(pos - 2);
        if (pos >= 3 && at + 1 < s.size()) {
            const char16_t unit = static_cast<unsigned char>(s[at]) | (static_cast<unsigned char>(s[at + 1]) << 8);
            const char16_t prev = static_cast<unsigned char>(s[at - 2]) | (static_cast<unsigned char>(s[at - 1]) << 8);
            if (QChar::isLowSurrogate(unit) && QChar::isHighSurrogate(prev))
                return pos - 2;
        }
        return pos - 1;
    }
    if (!ItemIsDoubleByte(i) || pos < 2)
        return pos - 1;
    const uint32_t cp = CodePageOfStyle(EffectiveStyleOfItem(i));
    qsizetype at = 0;
    qsizetype last = 0;
    const qsizetype limit = std::min<qsizetype>(pos - 1, s.size());
    while (at < limit) {
        last = at;
        at += DoubleByteCharSize(s, at, cp);
    }
    return static_cast<int>(last + 1);
}

TRDBiDiMode TCustomRDData::BiDiModeOfPara(int n) const
{
    auto* self = const_cast<TCustomRDData*>(this);
    const TRDStyle* sheet = self->GetRDStyle();
    if (sheet && sheet->ParaStyles().ParaStyleAt(n)->BiDiMode != TRDBiDiMode::rdbdUnspecified)
        return sheet->ParaStyles().ParaStyleAt(n)->BiDiMode;
    return self->GetBiDiMode();
}

TRDBiDiMode TCustomRDData::BiDiModeOfItem(int i) const
{
    auto* self = const_cast<TCustomRDData*>(this);
    const TRDStyle* sheet = self->GetRDStyle();
    const int styleNo = EffectiveStyleOfItem(i);
    if (sheet && styleNo >= 0 && sheet->TextStyles().TextStyleAt(styleNo)->BiDiMode != TRDBiDiMode::rdbdUnspecified)
        return sheet->TextStyles().TextStyleAt(styleNo)->BiDiMode;
    return BiDiModeOfPara(ParaOfItem(i));
}

namespace {
std::function<void()> RDBeepHookFunction;
}

void TCustomRDData::BeepIfEnabled() const
{
    auto* self = const_cast<TCustomRDData*>(this);
    const TRDStyle* sheet = self->GetRDStyle();
    if (!sheet || !sheet->UseSound)
        return;
    if (RDBeepHookFunction)
        RDBeepHookFunction();
    else
        QApplication::beep();
}

std::function<void()> SetRDBeepHook(std::function<void()> hook)
{
    std::swap(RDBeepHookFunction, hook);
    return hook;
}

void TCustomRDData::ReplaceNulChars(QByteArray& s)
{
    s.replace('\0', '?');
}

void TCustomRDData::UpdateItemsPalette()
{
    if (SharesItems())
        return;
    const TRDPaletteAction action = GetDoInPaletteMode();
    for (int i = 0; i < ItemCount(); ++i)
        ItemAt(i)->UpdatePaletteInfo(action, false);
}

// Adding items.

void TCustomRDData::AddItem(const QByteArray& text, std::unique_ptr<TCustomRDItemInfo> item)
{
    const int count = ItemCount();
    if (item->ParaNo == -1 && count > 0 && !ItemAt(count - 1)->GetBoolValue(0)) {
        item->SetContinuesPara(true);
        item->ParaNo = ItemAt(count - 1)->ParaNo;
    } else {
        if (count > 0 && ItemAt(count - 1)->StyleNo == MarkerStyleNo)
            AddTextRawNoTag(QByteArray(), 0, -1);
        item->ItemOptions &= ~rdioContinuesPara;
        if ((item->ItemOptions & rdioLineBreakBefore) || !AllowNewPara) {
            if (!item->GetBoolValue(0) && ItemCount() > 0)
                item->ItemOptions |= rdioLineBreakBefore;
            else
                item->ItemOptions &= ~rdioLineBreakBefore;
        } else {
            item->ItemOptions &= ~rdioLineBreakBefore;
        }
        if (item->ParaNo == -1)
            item->ParaNo = 0;
    }
    AddItemAsIs(text, std::move(item));
}

void TCustomRDData::AddItemAsIs(const QByteArray& text, std::unique_ptr<TCustomRDItemInfo> owned)
{
    TCustomRDItemInfo* item = owned.get();
    if (const std::unique_ptr<TRDCPInfo> carried = std::move(item->Checkpoint))
        SetPendingCheckpoint(carried->Name, carried->RaiseEvent, carried->Tag);
    TRDCPInfo* after = LastCP;
    AttachPendingCheckpoint(item, after, PendingCP);
    item->UpdatePaletteInfo(GetDoInPaletteMode(), false);
    QByteArray stored = text;
    item->Inserting(this, stored, false);
    FItems->push_back({stored, std::move(owned)});
    item->Inserted(this, ItemCount() - 1);
    AddSeqItemToList(ItemCount() - 1);
    AddMarkerToList(ItemCount() - 1);
}

void TCustomRDData::ConvertForStyle(QByteArray& s, int styleNo, int paraNo) const
{
    if (styleNo < 0)
        styleNo = RDMaxInt;
    if (paraNo == -1)
        paraNo = ItemCount() > 0 ? ParaOfItem(ItemCount() - 1) : 0;
    const int effective = ResolveStyleNo(styleNo, paraNo);
    auto* self = const_cast<TCustomRDData*>(this);
    const TRDStyle* sheet = self->GetRDStyle();
    if (sheet && sheet->TextStyles().TextStyleAt(effective)->Unicode)
        s = AnsiToUtf16(CodePageOfStyle(effective), s);
}

void TCustomRDData::AddTextItem(const QByteArray& s, int styleNo, int paraNo, const TRDTag& tag, bool expandTabs)
{
    std::unique_ptr<TCustomRDItemInfo> item(TextItemClass(this));
    item->StyleNo = styleNo < 0 ? RDMaxInt : styleNo;
    item->ParaNo = paraNo;
    item->Tag = tag;
    const TRDStyle* sheet = GetRDStyle();
    const int effective = ResolveStyleNo(item->StyleNo, paraNo);
    const bool unicode = sheet && sheet->TextStyles().TextStyleAt(effective)->Unicode;
    if (unicode)
        item->ItemOptions |= rdioUnicode;
    AddItem(expandTabs ? ExpandTabs(s, effective, unicode) : s, std::move(item));
}

void TCustomRDData::AddTextRawKeepTabs(const QByteArray& s, int styleNo, int paraNo, const TRDTag& tag)
{
    AddTextItem(s, styleNo, paraNo, tag, false);
}

void TCustomRDData::AddTextRaw(const QByteArray& s, int styleNo, int paraNo, const TRDTag& tag)
{
    AddTextItem(s, styleNo, paraNo, tag, true);
}

void TCustomRDData::AddTextRawNoTag(const QByteArray& s, int styleNo, int paraNo)
{
    AddTextRaw(s, styleNo, paraNo, TRDTag());
}

void TCustomRDData::AddTextConvertedKeepTabs(const QByteArray& s, int styleNo, int paraNo, const TRDTag& tag)
{
    QByteArray text = s;
    ConvertForStyle(text, styleNo, paraNo);
    AddTextRawKeepTabs(text, styleNo, paraNo, tag);
}

void TCustomRDData::AddTextConverted(const QByteArray& s, int styleNo, int paraNo, const TRDTag& tag)
{
    QByteArray text = s;
    ConvertForStyle(text, styleNo, paraNo);
    AddTextRaw(text, styleNo, paraNo, tag);
}

QByteArray TCustomRDData::ExpandTabs(const QByteArray& s, int styleNo, bool unicode) const
{
    auto* self = const_cast<TCustomRDData*>(this);
    const TRDStyle* sheet = self->GetRDStyle();
    if (!sheet)
        return unicode ? ExpandTabsUnicode(s, 8) : ExpandTabsAnsi(s, 8);
    if (sheet->TextStyles().TextStyleAt(styleNo)->Unicode)
        return ExpandTabsUnicode(s, sheet->SpacesInTab);
    return ExpandTabsAnsi(s, sheet->SpacesInTab);
}

bool TCustomRDData::AddMultilineText(const QByteArray& s, int styleNo, int firstParaNo, int paraNo,
                                     const TRDTag& tag)
{
    return AddTextLines(s, styleNo, firstParaNo, paraNo, false, true, tag);
}

bool TCustomRDData::AddTextLines(const QByteArray& s, int styleNo, int firstParaNo, int paraNo, bool oneParagraph,
                                 bool convert, const TRDTag& tag)
{
    const bool savedAllowNewPara = AllowNewPara;
    const bool tagsArePChars = TagsArePChars();
    const TRDStyle* sheet = GetRDStyle();
    const bool tabItems = sheet && sheet->SpacesInTab < 1;
    bool result = true;
    try {
        bool newPara = firstParaNo >= 0;
        int currentPara = firstParaNo;
        bool pageBreak = false;
        bool addedOne = false;
        char partner = 0;
        qsizetype start = 0;
        auto flush = [&](qsizetype end) {
            if (end <= start && !newPara)
                return;
            const QByteArray segment = s.mid(start, end - start);
            const int para = (newPara || pageBreak) ? currentPara : -1;
            const TRDTag itemTag = tagsArePChars ? CopyStringTag(tag, true) : tag;
            if (convert) {
                if (tabItems)
                    AddTextConvertedKeepTabs(segment, styleNo, para, itemTag);
                else
                    AddTextConverted(segment, styleNo, para, itemTag);
            } else if (tabItems) {
                AddTextRawKeepTabs(segment, styleNo, para, itemTag);
            } else {
                AddTextRaw(segment, styleNo, para, itemTag);
            }
            newPara = false;
            if (pageBreak) {
                ItemAt(ItemCount() - 1)->SetBreaksPageBefore(true);
                pageBreak = false;
            }
            if (oneParagraph && !addedOne)
                AllowNewPara = false;
            addedOne = true;
        };
        for (qsizetype i = 0; i < s.size(); ++i) {
            const char c = s[i];
            if (partner && c == partner) {
                start = i + 1;
                partner = 0;
                continue;
            }
            partner = 0;
            if (c == '\n' || c == '\r' || c == '\f' || (c == '\t' && tabItems)) {
                flush(i);
                start = i + 1;
                if (c == '\t') {
                    auto tab = std::make_unique<TRDTabItemInfo>(this);
                    tab->StyleNo = TabStyleNo;
                    tab->TextStyleNo = styleNo;
                    tab->ParaNo = newPara ? currentPara : -1;
                    AddItem(QByteArray(), std::move(tab));
                    newPara = false;
                } else {
                    newPara = true;
                    currentPara = paraNo;
                    if (c == '\n')
                        partner = '\r';
                    else if (c == '\r')
                        partner = '\n';
                    else if (AllowsPageBreaks())
                        pageBreak = true;
                }
            }
        }
        flush(s.size());
    } catch (...) {
        result = false;
    }
    AllowNewPara = savedAllowNewPara;
    return result;
}

void TCustomRDData::UnifyParaNoOfParagraph(int i)
{
    if (ItemCount() == 0)
        return;
    if (i >= ItemCount())
        i = ItemCount() - 1;
    i = FirstItemOfPara(std::max(i, 0));
    const int paraNo = ParaOfItem(i);
    for (int j = i + 1; j < ItemCount() && !StartsParagraph(j); ++j)
        ItemAt(j)->ParaNo = paraNo;
}

// Removing items.

void TCustomRDData::FreeItem(std::unique_ptr<TCustomRDItemInfo> item, bool keepLists)
{
    if (!item)
        return;
    RemoveSeqItemFromList(item.get(), keepLists);
    RemoveMarkerFromList(item.get(), keepLists);
    FreeCheckpoint(item->Checkpoint, true, true);
}

void TCustomRDData::FreeItemAt(int i, bool keepLists)
{
    TCustomRDItemInfo* item = ItemAt(i);
    QByteArray text = TextOfItem(i);
    DoItemAction(TRDItemAction::rdiaDestroying, item, text, this);
    DoControlItemAction(TRDControlAction::rdcaDestroy, item, i);
    FreeItem(std::move((*FItems)[i].Item), keepLists);
}

std::unique_ptr<TCustomRDItemInfo> TCustomRDData::TakeItem(int i, QByteArray* text)
{
    if (SharesItems() || i < 0 || i >= ItemCount())
        throw ERichDocError("Item index is out of bounds");
    TRDItemEntry& entry = (*FItems)[i];
    TCustomRDItemInfo* item = entry.Item.get();
    RemoveSeqItemFromList(item, false);
    RemoveMarkerFromList(item, false);
    if (item->Checkpoint)
        UnlinkCheckpoint(item->Checkpoint.get(), true);
    ForgetItem(item);
    std::unique_ptr<TCustomRDItemInfo> taken = std::move(entry.Item);
    if (text)
        *text = std::move(entry.Text);
    FItems->erase(FItems->begin() + i);
    return taken;
}

void TCustomRDData::GiveItem(int index, const QByteArray& text, std::unique_ptr<TCustomRDItemInfo> item)
{
    if (SharesItems() || !FItems || index < 0 || index > ItemCount() || !item)
        throw ERichDocError("Item index is out of bounds");
    TCustomRDItemInfo* given = item.get();
    FItems->insert(FItems->begin() + index, {text, std::move(item)});
    if (TRDCPInfo* cp = given->Checkpoint.get()) {
        cp->Item = given;
        ++CPCount;
        LinkCheckpoint(cp, index);
    }
    AddSeqItemToList(index);
    AddMarkerToList(index);
}

void TCustomRDData::DeleteItemRange(int first, int count)
{
    if (SharesItems() || first < 0 || first >= ItemCount())
        return;
    count = std::min(count, ItemCount() - first);
    if (count <= 0)
        return;
    for (int i = first; i < first + count; ++i)
        FreeItemAt(i, false);
    FItems->erase(FItems->begin() + first, FItems->begin() + first + count);
}

void TCustomRDData::Clear()
{
    const uint32_t wasClearing = State & rdstClearing;
    State |= rdstClearing;
    State &= ~(rdstFirstParaAborted | rdstLastParaAborted);
    FirstParaMarkerListNo = -1;
    FirstParaMarkerLevel = -1;
    if (FItems && !SharesItems()) {
        DestroyOwnMarkerListForClear();
        DestroyOwnSeqListForClear();
        for (int i = 0; i < ItemCount(); ++i)
            if (ItemAt(i))
                FreeItemAt(i, true);
        FItems->clear();
    }
    FreeCheckpoint(PendingCP, false, true);
    FirstCP = nullptr;
    LastCP = nullptr;
    if (!(State & rdstMovingItems) && FItems)
        if (QStringList* properties = GetDocProperties())
            properties->clear();
    State = (State & ~rdstClearing) | wasClearing;
}

void TCustomRDData::DoControlItemAction(TRDControlAction action, TCustomRDItemInfo* item, int itemNo)
{
    void* control = nullptr;
    if (!item || !item->GetHeldControl(control))
        return;
    GetAbsoluteRootData()->DoControlAction(action, itemNo, control);
}

// Style upkeep.

void TCustomRDData::MarkStylesInUse(TRDStyleUsage& usage) const
{
    for (int i = 0; i < ItemCount(); ++i)
        ItemAt(i)->MarkStylesInUse(usage);
}

void TCustomRDData::UpdateStyles(const TRDStyleMaps& maps)
{
    for (int i = 0; i < ItemCount(); ++i)
        ItemAt(i)->UpdateStyles(maps);
}

namespace {

// Marks a style and, recursively, the styles it refers to; a reference past
// the collection is cut to -1.
template <typename Get>
void MarkReferences(TRDIntegerList& used, int index, const Get& references, std::vector<bool>& visited)
{
    if (index < 0 || index >= used.Count() || visited[index])
        return;
    visited[index] = true;
    used.SetItem(index, 1);
    for (int next : references(index))
        MarkReferences(used, next, references, visited);
}

}  // namespace

void TCustomRDData::DeleteUnusedStyles(TRDStyleUsage& usage)
{
    TRDStyle* sheet = GetRDStyle();
    InitStyleUsage(usage, sheet);
    MarkUsedStyles(usage);
    if (!sheet)
        return;
    auto inRange = [](int v, int count) { return v >= 0 && v < count ? v : -1; };
    if (usage.DoPara) {
        std::vector<bool> visited(usage.ParaUsed.Count(), false);
        const int count = sheet->ParaStyles().Count();
        auto refs = [&](int i) {
            const TParaInfo& p = *sheet->ParaStyles().ParaStyleAt(i);
            return std::vector<int>{inRange(p.BaseStyleNo, count), inRange(p.NextParaNo, count)};
        };
        for (int i = 0; i < usage.ParaUsed.Count(); ++i)
            if (usage.ParaUsed[i] == 1 && !visited[i])
                MarkReferences(usage.ParaUsed, i, refs, visited);
    }
    if (usage.DoText) {
        for (int i = 0; i < usage.ParaUsed.Count() && i < sheet->ParaStyles().Count(); ++i) {
            const int def = sheet->ParaStyles().ParaStyleAt(i)->DefStyleNo;
            if (usage.ParaUsed[i] == 1 && def >= 0 && def < usage.TextUsed.Count())
                usage.TextUsed.SetItem(def, 1);
        }
        const int defUnicode = sheet->DefUnicodeStyle;
        if (defUnicode >= 0 && defUnicode < usage.TextUsed.Count())
            usage.TextUsed.SetItem(defUnicode, 1);
        else if (defUnicode >= 0)
            sheet->DefUnicodeStyle = -1;
        std::vector<bool> visited(usage.TextUsed.Count(), false);
        const int count = sheet->TextStyles().Count();
        auto refs = [&](int i) {
            const TFontInfo& f = *sheet->TextStyles().TextStyleAt(i);
            return std::vector<int>{inRange(f.BaseStyleNo, count), inRange(f.NextStyleNo, count)};
        };
        for (int i = 0; i < usage.TextUsed.Count(); ++i)
            if (usage.TextUsed[i] == 1 && !visited[i])
                MarkReferences(usage.TextUsed, i, refs, visited);
    }
}

// Base answers of the slots.

TRDStyle* TCustomRDData::GetRDStyle()
{
    TCustomRDData* parent = GetParentData();
    return parent ? parent->GetRDStyle() : nullptr;
}

void TCustomRDData::GetSaveRange(int, TRDSaveRange& range)
{
    range.FirstPartCode = 0;
    range.LastPartCode = 0;
    range.NestedItem = nullptr;
    range.StartItemNo = 0;
    range.EndItemNo = ItemCount() - 1;
    if (ItemCount() == 0)
        return;
    range.StartOffs = StartOffsetOf(0);
    range.EndOffs = EndOffsetOf(ItemCount() - 1);
}

bool TCustomRDData::InsertItem(int& index, QByteArray& text, TCustomRDItemInfo*& item, bool, bool& reformatAll,
                               int& newListNo)
{
    newListNo = -1;
    reformatAll = false;
    item->Inserting(this, text, false);
    FItems->insert(FItems->begin() + index, {text, std::unique_ptr<TCustomRDItemInfo>(item)});
    item->Inserted(this, index);
    AddSeqItemToList(index);
    AddMarkerToList(index);
    return true;
}
