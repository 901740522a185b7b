#include "TextEditFolding.h"

TSkipRegionItem* TSkipRegions::Items(int index) const
{
    return index >= 0 && index < Count() ? FItems[static_cast<size_t>(index)].get() : nullptr;
}

TSkipRegionItem* TSkipRegions::Add()
{
    FItems.push_back(std::make_unique<TSkipRegionItem>());
    return FItems.back().get();
}

TFoldRegionItem::TFoldRegionItem() : FSubFoldRegions(std::make_unique<TFoldRegions>()) {}
TFoldRegionItem::~TFoldRegionItem() = default;

TFoldRegions::TFoldRegions() : FSkipRegions(std::make_unique<TSkipRegions>()) {}
TFoldRegions::~TFoldRegions() = default;

TFoldRegionItem* TFoldRegions::Items(int index) const
{
    return index >= 0 && index < Count() ? FItems[static_cast<size_t>(index)].get() : nullptr;
}

TFoldRegionItem* TFoldRegions::Add()
{
    FItems.push_back(std::make_unique<TFoldRegionItem>());
    return FItems.back().get();
}

void TFoldRegions::Assign(const TFoldRegions& source)
{
    if (&source == this)
        return;
    Clear();
    for (const auto& from : source.FItems) {
        TFoldRegionItem* item = Add();
        item->Kind = from->Kind;
        item->NoNestedFolds = from->NoNestedFolds;
        item->ShowCloseText = from->ShowCloseText;
        item->Open = from->Open;
        item->Close = from->Close;
        item->WholeWords = from->WholeWords;
        item->Text1 = from->Text1;
        item->Text2 = from->Text2;
        item->SubFoldRegions().Assign(from->SubFoldRegions());
    }
    FSkipRegions->Clear();
    for (int i = 0; i < source.FSkipRegions->Count(); ++i)
        *FSkipRegions->Add() = *source.FSkipRegions->Items(i);
}

TTextEditFoldRange* TTextEditFoldRanges::Ranges(int index) const
{
    return index >= 0 && index < Count() ? FRanges[static_cast<size_t>(index)] : nullptr;
}

TTextEditFoldRange* TTextEditFoldRanges::NewRange(TTextEditAllFoldRanges& allRanges, int headLine, int indentWidth,
                                                  int depth, TFoldRegionItem* region, int lastLine)
{
    auto* range = new TTextEditFoldRange;
    range->HeadLine = headLine;
    range->IndentWidth = indentWidth;
    range->Depth = depth;
    range->Region = region;
    range->LastLine = lastLine;
    range->Owner = &allRanges;
    FRanges.push_back(range);
    allRanges.Register(range);
    return range;
}

void TTextEditFoldRanges::Remove(int index)
{
    if (index >= 0 && index < Count())
        FRanges.erase(FRanges.begin() + index);
}

void TTextEditFoldRanges::Insert(int index, TTextEditFoldRange* range)
{
    if (index < 0 || index > Count())
        index = Count();
    FRanges.insert(FRanges.begin() + index, range);
}

int TTextEditFoldRange::NestedHidden() const
{
    int total = 0;
    for (int i = 0; i < Children.Count(); ++i) {
        const TTextEditFoldRange* child = Children.Ranges(i);
        if (child->IsCollapsed)
            total += child->NestedHidden() + child->HiddenCount + 1;
    }
    return total;
}

int TTextEditFoldRange::TotalHidden() const
{
    return HiddenCount + NestedHidden();
}

void TTextEditFoldRange::MarkChildrenHidden(bool hidden, int byLevel)
{
    for (int i = 0; i < Children.Count(); ++i) {
        TTextEditFoldRange* child = Children.Ranges(i);
        child->MarkChildrenHidden(hidden, byLevel);
        if (child->HiddenByLevel == -1 || child->HiddenByLevel == byLevel) {
            child->HiddenByParent = hidden;
            child->HiddenByLevel = hidden ? byLevel : -1;
        }
    }
}

void TTextEditFoldRange::Renumber(int depth)
{
    if (HiddenByParent)
        HiddenByLevel = depth - 1;
    Depth = depth;
    for (int i = 0; i < Children.Count(); ++i)
        Children.Ranges(i)->Renumber(depth + 1);
}

TTextEditAllFoldRanges::~TTextEditAllFoldRanges()
{
    FreeAllRanges();
    ForgetAll();
}

TTextEditFoldRange* TTextEditAllFoldRanges::RangeAt(int index) const
{
    return index >= 0 && index < TotalCount() ? FAllRanges[static_cast<size_t>(index)] : nullptr;
}

TTextEditFoldRange* TTextEditAllFoldRanges::Unregister(int index)
{
    if (index < 0 || index >= TotalCount())
        return nullptr;
    TTextEditFoldRange* range = FAllRanges[static_cast<size_t>(index)];
    FAllRanges.erase(FAllRanges.begin() + index);
    return range;
}

void TTextEditAllFoldRanges::FreeAllRanges()
{
    for (TTextEditFoldRange* range : FAllRanges)
        delete range;
    FAllRanges.clear();
}

void TTextEditAllFoldRanges::CopyInto(TTextEditFoldRanges& target, const TTextEditFoldRanges& source)
{
    for (int i = 0; i < source.Count(); ++i) {
        const TTextEditFoldRange* from = source.Ranges(i);
        TTextEditFoldRange* copy =
            target.NewRange(*this, from->HeadLine, from->IndentWidth, from->Depth, from->Region, from->LastLine);
        copy->HiddenCount = from->HiddenCount;
        copy->HiddenByLevel = from->HiddenByLevel;
        copy->IsCollapsed = from->IsCollapsed;
        copy->HiddenByParent = from->HiddenByParent;
        copy->HiddenLines = from->HiddenLines;
        copy->HiddenLineStates = from->HiddenLineStates;
        copy->CollapseMarkLeft = from->CollapseMarkLeft;
        CopyInto(copy->Children, from->Children);
    }
}

void TTextEditAllFoldRanges::Assign(const TTextEditAllFoldRanges& source)
{
    if (&source == this)
        return;
    CopyInto(*this, source);
}
