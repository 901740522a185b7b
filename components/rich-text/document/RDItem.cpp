#include "document/RDItem.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "AnsiText.h"
#include "document/CRDData.h"
#include "core/RDFStream.h"
#include "document/RDTextItems.h"

TRDMakeAnimatorHook MakeAnimatorHook = nullptr;

// Checkpoints.

void TRDCPInfo::Assign(const TRDCPInfo& source, bool tagsArePChars)
{
    Name = source.Name;
    RaiseEvent = source.RaiseEvent;
    Sticky = source.Sticky;
    Tag = CopyStringTag(source.Tag, tagsArePChars);
}

std::unique_ptr<TRDCPInfo> TRDCPInfo::CreateCopy(bool tagsArePChars) const
{
    auto copy = std::make_unique<TRDCPInfo>();
    copy->Assign(*this, tagsArePChars);
    return copy;
}

// The item base.

TCustomRDItemInfo::TCustomRDItemInfo(TCustomRDData*) {}

TCustomRDItemInfo::~TCustomRDItemInfo() = default;

void TCustomRDItemInfo::SetContinuesPara(bool value)
{
    if (value)
        ItemOptions = (ItemOptions | rdioContinuesPara) & ~(rdioPageBreakBefore | rdioLineBreakBefore);
    else
        ItemOptions &= ~rdioContinuesPara;
}

void TCustomRDItemInfo::SetBreaksPageBefore(bool value)
{
    if (value)
        ItemOptions = (ItemOptions | rdioPageBreakBefore) & ~(rdioContinuesPara | rdioLineBreakBefore);
    else
        ItemOptions &= ~rdioPageBreakBefore;
}

void TCustomRDItemInfo::SetLineBreakBefore(bool value)
{
    if (value && !GetBoolValue(0))
        ItemOptions = (ItemOptions | rdioLineBreakBefore) & ~rdioContinuesPara;
    else
        ItemOptions &= ~rdioLineBreakBefore;
}

int TCustomRDItemInfo::GetActualStyleNo(const TRDStyle* rdStyle) const
{
    if (StyleNo != RDMaxInt)
        return StyleNo;
    const int def = rdStyle ? rdStyle->ParaStyles().ParaStyleAt(ParaNo)->DefStyleNo : -1;
    return def < 0 ? 0 : def;
}

int TCustomRDItemInfo::GetMinWidth(const TRDResolutionInfo* scaling, TCanvas*, TCustomRDData*) const
{
    return scaling ? ScaleToDeviceX(20, scaling) : 20;
}

bool TCustomRDItemInfo::GetBoolValue(int id) const
{
    switch (id) {
    case 1: case 2: return true;
    default: return id >= 12;
    }
}

bool TCustomRDItemInfo::GetBoolValueEx(int id, const TRDStyle*) const
{
    return id == 1;
}

std::unique_ptr<TRDDrawLineInfo> TCustomRDItemInfo::CreatePrintDrawItem(TCustomRDData*, const TRDResolutionInfo*)
{
    return std::make_unique<TRDDrawLineInfo>();
}

void TCustomRDItemInfo::Inserting(TCustomRDData* rdData, QByteArray& text, bool)
{
    if (rdData)
        rdData->DoItemAction(TRDItemAction::rdiaInserting, this, text, rdData);
}

void TCustomRDItemInfo::Inserted(TCustomRDData* rdData, int)
{
    if (!rdData)
        return;
    UpdateAnimator(rdData);
    QByteArray empty;
    rdData->DoItemAction(TRDItemAction::rdiaInserted, this, empty, rdData);
}

void TCustomRDItemInfo::OnDocWidthChange(int, TRDDrawLineInfo*, bool, TCanvas*, TCustomRDData*,
                                         const TRDResolutionInfo*,
                                         int& extra, int& descent)
{
    descent = 1;
    extra = 0;
}

int TCustomRDItemInfo::GetRDFExtraPropertyCount() const
{
    return Hint.isEmpty() ? 0 : 1;
}

void TCustomRDItemInfo::SaveRDFExtraProperties(TRDStream& stream) const
{
    if (!Hint.isEmpty())
        RDFWriteExtraStrProperty(stream, 1, Hint);
}

void TCustomRDItemInfo::AssignProperties(const TCustomRDItemInfo& source)
{
    if (typeid(source) == typeid(*this))
        StyleNo = source.StyleNo;
    ParaNo = source.ParaNo;
    ItemOptions = source.ItemOptions;
    Hint = source.Hint;
}

bool TCustomRDItemInfo::ReadRDFLine(const QByteArray& line, TCustomRDData*, int, int, int, QByteArray&, int&, int&)
{
    ReadRDFExtraLine(line);
    return true;
}

void TCustomRDItemInfo::MovingToUndoList(int itemNo, TCustomRDData* rdData, TRDUndoInfo*)
{
    if (rdData) {
        QByteArray text = rdData->TextOfItem(itemNo);
        rdData->DoItemAction(TRDItemAction::rdiaMovingToUndoList, this, text, rdData);
    }
    ClearWordPaintersFrom(0);
}

bool TCustomRDItemInfo::MouseMove(int, int, int itemNo, TCustomRDData* rdData)
{
    if (rdData && (rdData->GetOptions() & rdoShowItemHints))
        rdData->ShowItemHint(rdData->GetAbsoluteRootData()->DoItemHint(rdData, itemNo, Hint));
    return false;
}

int16_t TCustomRDItemInfo::GetJumpCursor(const TRDStyle* rdStyle) const
{
    return rdStyle ? rdStyle->JumpCursor : crJump;
}

void TCustomRDItemInfo::MarkStylesInUse(TRDStyleUsage& usage) const
{
    if (ParaNo >= 0 && ParaNo < usage.ParaUsed.Count())
        usage.ParaUsed.SetItem(ParaNo, 1);
}

void TCustomRDItemInfo::UpdateStyles(const TRDStyleMaps& maps)
{
    if (ParaNo >= 0 && ParaNo < maps.ParaMap.Count())
        ParaNo = ParaNo + 1 - maps.ParaMap[ParaNo];
}

bool TCustomRDItemInfo::SetExtraStrProperty(int id, const QString& value)
{
    if (id != 1)
        return false;
    Hint = value;
    return true;
}

bool TCustomRDItemInfo::GetExtraStrProperty(int id, QString& value) const
{
    if (id != 1)
        return false;
    value = Hint;
    return true;
}

// Property lines.

namespace {

const char* const IntPropertyNames[] = {"vshift", "vshiftabs", "width", "height", "transparent", "tmode", "tcolor",
                                        "minheightonpage", "spacing", "resizable", "unremovable", "nohtmlsize",
                                        "ainterval", "visible"};
const char* const StrPropertyNames[] = {"hint", "alt", "filename"};

// A decimal number, 0 for text that is not one.
int ToIntOrZero(const QByteArray& s)
{
    bool ok = false;
    const int value = s.toInt(&ok);
    return ok ? value : 0;
}

}  // namespace

int FindIntPropertyName(const QByteArray& name)
{
    for (int i = 0; i < 14; ++i)
        if (name == IntPropertyNames[i])
            return i + 1;
    return 0;
}

int FindStrPropertyName(const QByteArray& name)
{
    for (int i = 0; i < 3; ++i)
        if (name == StrPropertyNames[i])
            return i + 1;
    return 0;
}

QByteArray IntPropertyName(int id)
{
    return id >= 1 && id <= 14 ? QByteArray(IntPropertyNames[id - 1]) : QByteArray();
}

QByteArray StrPropertyName(int id)
{
    return id >= 1 && id <= 3 ? QByteArray(StrPropertyNames[id - 1]) : QByteArray();
}

void TCustomRDItemInfo::ReadRDFExtraLine(const QByteArray& line)
{
    const qsizetype eq = line.indexOf('=');
    if (eq < 0)
        return;
    const QByteArray name = line.left(eq);
    const QByteArray value = line.mid(eq + 1);
    if (const int id = FindIntPropertyName(name)) {
        SetExtraIntProperty(id, ToIntOrZero(value));
        return;
    }
    if (const int id = FindStrPropertyName(name)) {
        SetExtraStrProperty(id, AnsiToStringKeepingBytes(value));
        return;
    }
    SetExtraCustomProperty(name, value);
}

void TCustomRDItemInfo::RDFWriteExtraIntProperty(TRDStream& stream, int id, int value)
{
    RDFWriteLine(stream, IntPropertyName(id) + '=' + QByteArray::number(value));
}

void TCustomRDItemInfo::RDFWriteExtraStrProperty(TRDStream& stream, int id, const QString& value)
{
    RDFWriteLine(stream, StrPropertyName(id) + '=' + StringToAnsiKeepingBytes(value));
}

// Misspelling marks.

void TCustomRDItemInfo::DropEmptyPainterList()
{
    if (WordPainters && WordPainters->Count() == 0)
        WordPainters.reset();
}

void TCustomRDItemInfo::AddMisspelling(int start, int length)
{
    if (!WordPainters)
        WordPainters = std::make_unique<TRDWordPainterList>();
    WordPainters->Add(std::make_unique<TRDWordMisspellPainter>(start, length));
}

bool TCustomRDItemInfo::IsMisspelledAt(int offset) const
{
    if (!WordPainters)
        return false;
    for (int i = 0; i < WordPainters->Count(); ++i) {
        const TRDWordPainter* p = WordPainters->PainterAt(i);
        if (p->StartOffset <= offset && offset < p->StartOffset + p->Length)
            return true;
    }
    return false;
}

bool TCustomRDItemInfo::GetMisspelling(int offset, int& start, int& length) const
{
    if (!WordPainters)
        return false;
    for (int i = WordPainters->Count() - 1; i >= 0; --i) {
        const TRDWordPainter* p = WordPainters->PainterAt(i);
        if (p->StartOffset <= offset && offset < p->StartOffset + p->Length + 1) {
            start = p->StartOffset;
            length = p->Length;
            return true;
        }
    }
    return false;
}

void TCustomRDItemInfo::ClearLiveSpelling()
{
    SpellFlags &= ~1;
    if (!WordPainters)
        return;
    for (int i = WordPainters->Count() - 1; i >= 0; --i)
        if (dynamic_cast<TRDWordMisspellPainter*>(WordPainters->PainterAt(i)))
            WordPainters->Delete(i);
    DropEmptyPainterList();
}

void TCustomRDItemInfo::ClearWordPaintersFrom(int offset)
{
    SpellFlags &= ~1;
    if (!WordPainters)
        return;
    if (offset <= 1) {
        WordPainters.reset();
        return;
    }
    for (int i = WordPainters->Count() - 1; i >= 0; --i) {
        const TRDWordPainter* p = WordPainters->PainterAt(i);
        if (offset < p->StartOffset + p->Length)
            WordPainters->Delete(i);
    }
    DropEmptyPainterList();
}

bool TCustomRDItemInfo::AdjustPaintersOnInsert(int offset, char ch, const TCustomRDData* rdData)
{
    const bool delimiter = rdData && rdData->IsDelimiterA(ch);
    const int d = delimiter ? 0 : 1;
    bool result = delimiter;
    if (!WordPainters)
        return result;
    for (int i = WordPainters->Count() - 1; i >= 0; --i) {
        TRDWordPainter* p = WordPainters->PainterAt(i);
        if (p->StartOffset + p->Length + d > offset) {
            if (p->StartOffset < offset + d) {
                WordPainters->Delete(i);
                result = true;
            } else {
                ++p->StartOffset;
            }
        }
    }
    DropEmptyPainterList();
    return result;
}

bool TCustomRDItemInfo::AdjustPaintersOnDelete(int offset, int count)
{
    bool result = false;
    if (!WordPainters)
        return result;
    for (int i = WordPainters->Count() - 1; i >= 0; --i) {
        TRDWordPainter* p = WordPainters->PainterAt(i);
        if (p->StartOffset + p->Length + 1 > offset + count - 1) {
            if (p->StartOffset <= offset + 1) {
                WordPainters->Delete(i);
                result = true;
            } else {
                p->StartOffset -= count;
            }
        }
    }
    DropEmptyPainterList();
    return result;
}

// Non-text items.

int TRDNonTextItemInfo::GetRDFExtraPropertyCount() const
{
    return TCustomRDItemInfo::GetRDFExtraPropertyCount() + (Unremovable ? 1 : 0);
}

void TRDNonTextItemInfo::SaveRDFExtraProperties(TRDStream& stream) const
{
    TCustomRDItemInfo::SaveRDFExtraProperties(stream);
    if (Unremovable)
        RDFWriteExtraIntProperty(stream, 11, 1);
}

void TRDNonTextItemInfo::AssignProperties(const TCustomRDItemInfo& source)
{
    if (auto* s = dynamic_cast<const TRDNonTextItemInfo*>(&source))
        Unremovable = s->Unremovable;
    TCustomRDItemInfo::AssignProperties(source);
}

bool TRDNonTextItemInfo::SetExtraIntProperty(int id, int value)
{
    if (id != 11)
        return false;
    Unremovable = value != 0;
    return true;
}

bool TRDNonTextItemInfo::GetExtraIntProperty(int id, int& value) const
{
    if (id != 11)
        return false;
    value = Unremovable ? 1 : 0;
    return true;
}

bool TRDFullLineItemInfo::GetBoolValue(int id) const
{
    return id == 0 ? true : TRDNonTextItemInfo::GetBoolValue(id);
}

// Rect items.

TRDRectItemInfo::TRDRectItemInfo(TCustomRDData* rdData) : TRDNonTextItemInfo(rdData) {}

QByteArray TRDRectItemInfo::SaveRDFHeaderTail(TCustomRDData*) const
{
    return QByteArray::number(static_cast<int>(VAlign));
}

bool TRDRectItemInfo::ReadRDFHeaderTail(const char*& p, TCustomRDData*)
{
    if (*p == '\0' || *p == '\n' || *p == '\r') {
        VAlign = TRDItemVAlign::ivaBaseline;
        return true;
    }
    int32_t value = 0;
    if (!RDFReadInteger(p, value) || value < 0 || value > 4)
        return false;
    VAlign = static_cast<TRDItemVAlign>(value);
    return true;
}

int TRDRectItemInfo::GetRDFExtraPropertyCount() const
{
    return TRDNonTextItemInfo::GetRDFExtraPropertyCount() + (VShift != 0 ? 1 : 0) + (VShiftAbs ? 1 : 0)
           + (Spacing != 1 ? 1 : 0);
}

void TRDRectItemInfo::SaveRDFExtraProperties(TRDStream& stream) const
{
    TRDNonTextItemInfo::SaveRDFExtraProperties(stream);
    if (VShift != 0)
        RDFWriteExtraIntProperty(stream, 1, VShift);
    if (VShiftAbs)
        RDFWriteExtraIntProperty(stream, 2, 1);
    if (Spacing != 1)
        RDFWriteExtraIntProperty(stream, 9, Spacing);
}

void TRDRectItemInfo::AssignProperties(const TCustomRDItemInfo& source)
{
    if (auto* s = dynamic_cast<const TRDRectItemInfo*>(&source)) {
        MinHeightOnPage = s->MinHeightOnPage;
        VAlign = s->VAlign;
        VShift = s->VShift;
        VShiftAbs = s->VShiftAbs;
        Spacing = s->Spacing;
    }
    TRDNonTextItemInfo::AssignProperties(source);
}

bool TRDRectItemInfo::SetExtraIntProperty(int id, int value)
{
    switch (id) {
    case 1: VShift = value; return true;
    case 2: VShiftAbs = value != 0; return true;
    case 9: Spacing = std::max(value, 0); return true;
    default: return TRDNonTextItemInfo::SetExtraIntProperty(id, value);
    }
}

bool TRDRectItemInfo::GetExtraIntProperty(int id, int& value) const
{
    switch (id) {
    case 1: value = VShift; return true;
    case 2: value = VShiftAbs ? 1 : 0; return true;
    case 9: value = Spacing; return true;
    default: return TRDNonTextItemInfo::GetExtraIntProperty(id, value);
    }
}

QString TRDRectItemInfo::GetVShiftCSS(const TRDStyle* rdStyle) const
{
    const int height = GetImageHeight(rdStyle);
    if (VShift == 0 || height == 0 || VAlign != TRDItemVAlign::ivaBaseline)
        return {};
    const int shift = VShiftAbs ? VShift : static_cast<int>(static_cast<int64_t>(height) * VShift / 100);
    return QStringLiteral("vertical-align : %1").arg(shift);
}

// The registry, made on first use with the kinds of this layer; the suite's
// start-up adds the item units' kinds. A function-local static is
// initialised once and safely, also when other units register at static
// start-up.

namespace {

struct TRDItemRegistry {
    std::mutex Lock;
    std::vector<TRichDocItemTypeInfo> Entries = {
        {BreakStyleNo, &NewRDItem<TRDBreakItemInfo>},
        {TabStyleNo, &NewRDItem<TRDTabItemInfo>},
    };
};

TRDItemRegistry& Registry()
{
    static TRDItemRegistry registry;
    return registry;
}

// Adds the kind, or accepts it again with the same factory; false when the
// number is taken by another factory.
bool AddItemKind(TRDItemRegistry& registry, int32_t styleNo, TRDItemFactory itemClass)
{
    for (const auto& entry : registry.Entries) {
        if (entry.StyleNo != styleNo)
            continue;
        return entry.ItemClass == itemClass;
    }
    registry.Entries.push_back({styleNo, itemClass});
    return true;
}

}  // namespace

void RegisterSuiteItemKinds(const std::vector<TRichDocItemTypeInfo>& kinds)
{
    auto& registry = Registry();
    std::lock_guard<std::mutex> lock(registry.Lock);
    for (const auto& kind : kinds)
        if (!kind.ItemClass || !AddItemKind(registry, kind.StyleNo, kind.ItemClass))
            throw ERichDocError("Can't register RichDoc item type - this StyleNo is already registered");
}

TRDItemFactory TextItemClass = &NewRDItem<TRDTextItemInfo>;

void RegisterRDItemType(int32_t styleNo, TRDItemFactory itemClass)
{
    // -9 and above are records and the kinds every document knows.
    if (styleNo >= RDFExtraDataRecord || !itemClass)
        throw ERichDocError("Can't register RichDoc item type - this StyleNo is already registered");
    auto& registry = Registry();
    std::lock_guard<std::mutex> lock(registry.Lock);
    if (!AddItemKind(registry, styleNo, itemClass))
        throw ERichDocError("Can't register RichDoc item type - this StyleNo is already registered");
}

std::unique_ptr<TCustomRDItemInfo> CreateItemByStyleNo(int32_t styleNo, TCustomRDData* rdData)
{
    TRDItemFactory factory = nullptr;
    if (styleNo >= 0) {
        factory = TextItemClass;
    } else {
        auto& registry = Registry();
        std::lock_guard<std::mutex> lock(registry.Lock);
        for (const auto& entry : registry.Entries)
            if (entry.StyleNo == styleNo) {
                factory = entry.ItemClass;
                break;
            }
    }
    std::unique_ptr<TCustomRDItemInfo> item(factory ? factory(rdData) : nullptr);
    if (item)
        item->StyleNo = styleNo;
    return item;
}

std::unique_ptr<TCustomRDItemInfo> CreateItemCopy(const TCustomRDItemInfo& source, TCustomRDData* rdData,
                                                  bool copyCheckpoint)
{
    std::unique_ptr<TCustomRDItemInfo> item(source.CreateSameClass(rdData));
    item->StyleNo = source.StyleNo;
    item->AssignProperties(source);
    const bool tagsArePChars = rdData && (rdData->GetOptions() & rdoTagsArePChars);
    if (copyCheckpoint && source.Checkpoint) {
        item->Checkpoint = source.Checkpoint->CreateCopy(tagsArePChars);
        item->Checkpoint->Item = item.get();
    }
    item->Tag = CopyStringTag(source.Tag, tagsArePChars || source.Tag.Str.has_value());
    return item;
}

// Style usage.

namespace {

void MarkStandardStyles(int count, const std::function<bool(int)>& standard, TRDIntegerList& list)
{
    for (int i = 0; i < count; ++i)
        if (standard(i))
            list.SetItem(i, 1);
}

}  // namespace

void InitStyleUsage(TRDStyleUsage& usage, TRDStyle* rdStyle)
{
    if (usage.Initialized || !rdStyle)
        return;
    usage.TextUsed = TRDIntegerList::CreateFilled(rdStyle->TextStyles().Count(), usage.DoText ? 0 : 1);
    usage.ParaUsed = TRDIntegerList::CreateFilled(rdStyle->ParaStyles().Count(), usage.DoPara ? 0 : 1);
    usage.ListUsed = TRDIntegerList::CreateFilled(rdStyle->ListStyles().Count(), usage.DoList ? 0 : 1);
    if (usage.DoText && rdStyle->DefUnicodeStyle >= 0) {
        if (rdStyle->DefUnicodeStyle < rdStyle->TextStyles().Count())
            usage.TextUsed.SetItem(rdStyle->DefUnicodeStyle, 1);
        else
            rdStyle->DefUnicodeStyle = -1;
    }
    if (usage.DoText)
        MarkStandardStyles(rdStyle->TextStyles().Count(), [&](int i) { return rdStyle->TextStyles().TextStyleAt(i)->Standard; },
                           usage.TextUsed);
    if (usage.DoPara)
        MarkStandardStyles(rdStyle->ParaStyles().Count(), [&](int i) { return rdStyle->ParaStyles().ParaStyleAt(i)->Standard; },
                           usage.ParaUsed);
    usage.Initialized = true;
}
