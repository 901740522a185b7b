#include "styles/RDStyleTemplates.h"

#include <algorithm>
#include <limits>
#include <random>

#include "core/RDError.h"
#include "core/RDFormat.h"
#include "styles/RDStyle.h"

void RefuseTemplatePartProperty()
{
    throw ERichDocError("This property is not valid here");
}

namespace {
const QString NormalName = QStringLiteral("Normal");

// The template and its ancestors, each once: a chain read from a stream may
// loop, and the walk ends at the first template already seen.
std::vector<TRDStyleTemplate*> Chain(TRDStyleTemplate* start)
{
    std::vector<TRDStyleTemplate*> chain;
    for (TRDStyleTemplate* t = start; t; t = t->Parent()) {
        if (std::find(chain.begin(), chain.end(), t) != chain.end())
            break;
        chain.push_back(t);
    }
    return chain;
}

TRDFontInfoProperties ApplyTextChain(TRDStyleTemplate* start, TCustomRDFontInfo& style, TRDFontInfoProperties mask)
{
    TRDFontInfoProperties applied = 0;
    for (TRDStyleTemplate* t : Chain(start)) {
        const TRDFontInfoProperties props = t->ValidTextProperties & mask & ~applied;
        if (props) {
            style.AssignProperties(t->TextStyle(), props);
            applied |= props;
        }
    }
    return applied;
}

TRDParaInfoProperties ApplyParaChain(TRDStyleTemplate* start, TCustomRDParaInfo& style, TRDParaInfoProperties mask)
{
    TRDParaInfoProperties applied = 0;
    for (TRDStyleTemplate* t : Chain(start)) {
        const TRDParaInfoProperties props = t->ValidParaProperties() & mask & ~applied;
        if (props) {
            style.AssignProperties(t->ParaStyle(), props);
            applied |= props;
        }
    }
    return applied;
}

std::mt19937& IdGenerator()
{
    thread_local std::mt19937 generator{std::random_device{}()};
    return generator;
}
}  // namespace

// Templates.

TRDStyleTemplate::TRDStyleTemplate(TRDStyleTemplateCollection* collection)
    : FCollection(collection), FTextStyle(this), FParaStyle(this), FListStyle(this)
{
}

TRDStyleTemplate::~TRDStyleTemplate()
{
    if (FParent)
        FParent->RemoveChild(this);
    for (TRDStyleTemplate* child : FChildren) {
        child->FParentId = -1;
        child->FParent = nullptr;
    }
    FChildren.clear();
    if (FCollection && FCollection->FNormal == this)
        FCollection->FNormal = nullptr;
}

int TRDStyleTemplate::Index() const
{
    return FCollection ? FCollection->IndexOf(this) : -1;
}

void TRDStyleTemplate::SetName(const QString& value)
{
    if (value == FName)
        return;
    if (FName == NormalName && FCollection && FCollection->FNormal == this)
        FCollection->FNormal = nullptr;
    FName = value;
    if (FName == NormalName && FCollection)
        FCollection->FNormal = this;
}

TRDStyleTemplateId TRDStyleTemplate::GetId()
{
    if (FId > 0)
        return FId;
    std::uniform_int_distribution<int32_t> draw(0, 0x7FFFFFFE);
    for (;;) {
        const TRDStyleTemplateId candidate = draw(IdGenerator());
        bool taken = false;
        if (FCollection)
            for (const auto& other : FCollection->FItems)
                // Templates without an id yet check against this one when they draw theirs
                // (asking them here would have two new templates ask each other forever).
                if (other.get() != this && other->FId == candidate) {
                    taken = true;
                    break;
                }
        // 0 would not count as assigned.
        if (!taken && candidate > 0) {
            FId = candidate;
            return FId;
        }
    }
}

bool TRDStyleTemplate::LinkingActive() const
{
    return FCollection && FCollection->FOwner && !FCollection->Loading();
}

void TRDStyleTemplate::AddChild(TRDStyleTemplate* child)
{
    if (std::find(FChildren.begin(), FChildren.end(), child) == FChildren.end())
        FChildren.push_back(child);
}

void TRDStyleTemplate::RemoveChild(TRDStyleTemplate* child)
{
    FChildren.erase(std::remove(FChildren.begin(), FChildren.end(), child), FChildren.end());
}

bool TRDStyleTemplate::InOwnAncestors() const
{
    const std::vector<TRDStyleTemplate*> chain = Chain(FParent);
    return std::find(chain.begin(), chain.end(), this) != chain.end();
}

void TRDStyleTemplate::SetParentId(TRDStyleTemplateId value)
{
    if (value == FParentId)
        return;
    const bool active = LinkingActive();
    if (active && FParentId > 0)
        if (TRDStyleTemplate* old = FCollection->FindById(FParentId))
            old->RemoveChild(this);
    if (FParent)
        FParent->RemoveChild(this);
    FParentId = value;
    FParent = nullptr;
    if (!active || value <= 0)
        return;
    FParent = FCollection->FindById(value);
    if (!FParent)
        return;
    if (InOwnAncestors()) {
        FParentId = -1;
        FParent = nullptr;
        throw ERichDocError("Circular references are not allowed");
    }
    FParent->AddChild(this);
}

void TRDStyleTemplate::Assign(const TRDStyleTemplate& source)
{
    if (&source == this)
        return;
    FTextStyle.Assign(source.FTextStyle);
    FParaStyle.Assign(source.FParaStyle);
    if (FCollection && FCollection == source.FCollection)
        SetParentId(source.FParentId);
    SetName(source.FName);
    ValidTextProperties = source.ValidTextProperties;
    ValidParaProperties1 = source.ValidParaProperties1;
    ValidParaProperties2 = source.ValidParaProperties2;
}

void TRDStyleTemplate::ApplyToTextStyle(TCustomRDFontInfo& textStyle, const TCustomRDParaInfo* paraStyle,
                                        bool recordTemplate)
{
    auto* fontInfo = dynamic_cast<TFontInfo*>(&textStyle);
    TRDFontInfoProperties mask = RDAllFontInfoProperties;
    if (!recordTemplate && fontInfo)
        mask &= ~fontInfo->ModifiedProperties;
    TRDFontInfoProperties applied = ApplyTextChain(this, textStyle, mask);

    if (paraStyle && paraStyle->StyleTemplateId > 0 && FCollection)
        if (TRDStyleTemplate* paraTemplate = FCollection->FindById(paraStyle->StyleTemplateId)) {
            TRDFontInfoProperties mask2 = RDAllFontInfoProperties & ~applied;
            if (fontInfo && fontInfo->StyleTemplateId != paraTemplate->GetId())
                mask2 &= ~fontInfo->ModifiedProperties;
            applied |= ApplyTextChain(paraTemplate, textStyle, mask2);
        }

    if (!fontInfo)
        return;
    if (recordTemplate) {
        fontInfo->ModifiedProperties &= ~applied;
        fontInfo->StyleTemplateId = GetId();
    }
    const TRDFontInfoProperties rest = RDAllFontInfoProperties & ~applied & ~fontInfo->ModifiedProperties;
    if (!rest || !FCollection)
        return;
    if (TRDStyleTemplate* normal = FCollection->FNormal)
        ApplyTextChain(normal, textStyle, rest);
    else if (TRDStyle* sheet = FCollection->FOwner)
        textStyle.AssignProperties(*sheet->TextStyles().TextStyleAt(0), rest);
}

void TRDStyleTemplate::ApplyToParaStyle(TCustomRDParaInfo& paraStyle, bool recordTemplate)
{
    auto* paraInfo = dynamic_cast<TParaInfo*>(&paraStyle);
    TRDParaInfoProperties mask = RDAllParaInfoProperties;
    if (!recordTemplate && paraInfo)
        mask &= ~JoinParaProperties(paraInfo->ModifiedProperties1, paraInfo->ModifiedProperties2);
    const TRDParaInfoProperties applied = ApplyParaChain(this, paraStyle, mask);
    if (!paraInfo)
        return;
    if (recordTemplate) {
        paraInfo->ModifiedProperties1 &= ~ParaProperties1Of(applied);
        paraInfo->ModifiedProperties2 &= ~ParaProperties2Of(applied);
        paraInfo->StyleTemplateId = GetId();
    }
    const TRDParaInfoProperties rest = RDAllParaInfoProperties & ~applied
                                       & ~JoinParaProperties(paraInfo->ModifiedProperties1, paraInfo->ModifiedProperties2);
    if (!rest || !FCollection)
        return;
    if (TRDStyleTemplate* normal = FCollection->FNormal)
        ApplyParaChain(normal, paraStyle, rest);
    else if (TRDStyle* sheet = FCollection->FOwner)
        paraStyle.AssignProperties(*sheet->ParaStyles().ParaStyleAt(0), rest);
}

// The collection.

TRDStyleTemplateCollection::TRDStyleTemplateCollection(TRDStyle* owner) : FOwner(owner) {}

TRDStyleTemplateCollection::~TRDStyleTemplateCollection()
{
    Clear();
}

bool TRDStyleTemplateCollection::Loading() const
{
    return FOwner && FOwner->Loading();
}

TRDStyleTemplate* TRDStyleTemplateCollection::GetItem(int index) const
{
    if (index < 0 || index >= Count())
        throw ERichDocError("List index out of bounds (" + std::to_string(index) + ")");
    return FItems[static_cast<size_t>(index)].get();
}

TRDStyleTemplate* TRDStyleTemplateCollection::Add()
{
    FItems.push_back(std::make_unique<TRDStyleTemplate>(this));
    TRDStyleTemplate* item = FItems.back().get();
    if (!Loading())
        MakeDefaultName(*item);
    return item;
}

void TRDStyleTemplateCollection::Delete(int index)
{
    GetItem(index);
    // The template unlinks itself while it is still in the collection.
    std::unique_ptr<TRDStyleTemplate> item = std::move(FItems[static_cast<size_t>(index)]);
    item.reset();
    FItems.erase(FItems.begin() + index);
}

void TRDStyleTemplateCollection::Clear()
{
    while (!FItems.empty())
        Delete(Count() - 1);
    FNormal = nullptr;
}

int TRDStyleTemplateCollection::IndexOf(const TRDStyleTemplate* item) const
{
    for (int i = 0; i < Count(); ++i)
        if (FItems[static_cast<size_t>(i)].get() == item)
            return i;
    return -1;
}

int TRDStyleTemplateCollection::IndexOfId(TRDStyleTemplateId id) const
{
    for (int i = 0; i < Count(); ++i)
        if (FItems[static_cast<size_t>(i)]->GetId() == id)
            return i;
    return -1;
}

TRDStyleTemplate* TRDStyleTemplateCollection::FindById(TRDStyleTemplateId id) const
{
    const int index = IndexOfId(id);
    return index < 0 ? nullptr : FItems[static_cast<size_t>(index)].get();
}

void TRDStyleTemplateCollection::AssignTemplates(const TRDStyleTemplateCollection& source, bool copyIds)
{
    if (&source == this)
        return;
    Clear();
    for (const auto& s : source.FItems)
        Add()->Assign(*s);
    if (copyIds)
        for (int i = 0; i < Count(); ++i)
            FItems[static_cast<size_t>(i)]->FId = source.FItems[static_cast<size_t>(i)]->GetId();
    for (int i = 0; i < Count(); ++i) {
        TRDStyleTemplate& copy = *FItems[static_cast<size_t>(i)];
        const TRDStyleTemplate& original = *source.FItems[static_cast<size_t>(i)];
        if (copyIds) {
            copy.SetParentId(original.FParentId);
        } else if (original.FParent) {
            const int parentIndex = source.IndexOf(original.FParent);
            if (parentIndex >= 0)
                copy.SetParentId(FItems[static_cast<size_t>(parentIndex)]->GetId());
        }
    }
}

void TRDStyleTemplateCollection::TakeItemsFrom(TRDStyleTemplateCollection& other)
{
    if (&other == this)
        return;
    Clear();
    for (auto& item : other.FItems) {
        if (item->FParent)
            item->FParent->RemoveChild(item.get());
        item->FParent = nullptr;
        item->FChildren.clear();
        item->FCollection = this;
        FItems.push_back(std::move(item));
    }
    other.FItems.clear();
    other.FNormal = nullptr;
    FNormal = nullptr;
    for (auto& item : FItems)
        if (item->FName == NormalName && !FNormal)
            FNormal = item.get();
}

void TRDStyleTemplateCollection::ResolveParents()
{
    for (auto& item : FItems) {
        if (item->FParent)
            item->FParent->RemoveChild(item.get());
        item->FParent = nullptr;
    }
    for (auto& item : FItems)
        if (item->FParentId > 0)
            if (TRDStyleTemplate* parent = FindById(item->FParentId)) {
                item->FParent = parent;
                parent->AddChild(item.get());
            }
}

void TRDStyleTemplateCollection::ApplyNormalToTextStyle(TCustomRDFontInfo& textStyle, const TCustomRDParaInfo* paraStyle)
{
    if (FNormal) {
        FNormal->ApplyToTextStyle(textStyle, paraStyle, true);
    } else if (FOwner) {
        textStyle.Assign(*FOwner->TextStyles().TextStyleAt(0));
        if (auto* fontInfo = dynamic_cast<TFontInfo*>(&textStyle)) {
            fontInfo->ModifiedProperties = 0;
            fontInfo->StyleTemplateId = -1;
        }
    }
}

void TRDStyleTemplateCollection::ApplyNormalToParaStyle(TCustomRDParaInfo& paraStyle)
{
    if (FNormal) {
        FNormal->ApplyToParaStyle(paraStyle, true);
    } else if (FOwner) {
        paraStyle.Assign(*FOwner->ParaStyles().ParaStyleAt(0));
        if (auto* paraInfo = dynamic_cast<TParaInfo*>(&paraStyle)) {
            paraInfo->ModifiedProperties1 = 0;
            paraInfo->ModifiedProperties2 = 0;
            paraInfo->StyleTemplateId = -1;
        }
    }
}

void TRDStyleTemplateCollection::MakeDefaultName(TRDStyleTemplate& item)
{
    if ((Count() == 1 && FItems.front().get() == &item) || FNameCounter == std::numeric_limits<int32_t>::max())
        FNameCounter = 0;
    for (;;) {
        ++FNameCounter;
        const QString name = RDFormat(DefStyleName, {QString::number(FNameCounter)});
        bool taken = false;
        for (const auto& other : FItems)
            if (other.get() != &item && other->Name() == name) {
                taken = true;
                break;
            }
        if (!taken) {
            item.SetName(name);
            return;
        }
        if (FNameCounter == std::numeric_limits<int32_t>::max())
            FNameCounter = 0;
    }
}
