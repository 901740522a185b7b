#include "TextEditUndo.h"

#include <limits>

void TTextEditUndoItem::Assign(const TTextEditUndoItem& source)
{
    Reason = source.Reason;
    SelectionMode = source.SelectionMode;
    StartPos = source.StartPos;
    EndPos = source.EndPos;
    Text = source.Text;
    GroupNumber = source.GroupNumber;
}

int TTextEditUndoList::NextChangeNumber()
{
    const std::int32_t result = FNextChangeNumber;
    if (FNextChangeNumber == std::numeric_limits<std::int32_t>::max())
        FNextChangeNumber = 1;
    else
        ++FNextChangeNumber;
    if (FNextChangeNumber == 0)
        FNextChangeNumber = 1;
    return result;
}

void TTextEditUndoList::RecordChange(TTextUndoReason reason, const TBufferCoord& startPos,
                                     const TBufferCoord& endPos, const QString& text,
                                     TTextSelectionMode selectionMode, void* data, int index)
{
    if (FLockCount > 0)
        return;
    auto item = std::make_unique<TTextEditUndoItem>();
    item->Reason = reason;
    item->SelectionMode = selectionMode;
    item->StartPos = startPos;
    item->EndPos = endPos;
    item->Text = text;
    item->Data = data;
    item->Index = index;
    item->GroupNumber = TakeGroupNumber();
    PushEntry(std::move(item));
}

std::int32_t TTextEditUndoList::TakeGroupNumber()
{
    if (FBlockChangeNumber != 0)
        return FBlockChangeNumber;
    const std::int32_t number = FNextChangeNumber;
    if (FBlockCount == 0)
        NextChangeNumber();
    return number;
}

void TTextEditUndoList::OpenBlock()
{
    ++FBlockCount;
    if (FBlockCount == 1)
        FBlockChangeNumber = FNextChangeNumber;
}

void TTextEditUndoList::CloseBlock()
{
    if (FBlockCount <= 0)
        return;
    --FBlockCount;
    if (FBlockCount == 0) {
        const std::int32_t block = FBlockChangeNumber;
        FBlockChangeNumber = 0;
        NextChangeNumber();
        if (!FItems.empty() && FItems.back()->GroupNumber == block && OnEntryAdded)
            OnEntryAdded(this);
    }
}

void TTextEditUndoList::AppendGroupBreak()
{
    if (TopReason() == urGroupBreak)
        return;
    auto item = std::make_unique<TTextEditUndoItem>();
    item->Reason = urGroupBreak;
    // A number of its own (the block's inside a block), so that a step of
    // undo or redo never takes the break for a part of the change below it.
    item->GroupNumber = TakeGroupNumber();
    PushEntry(std::move(item));
}

void TTextEditUndoList::ClearList()
{
    FItems.clear();
}

TTextEditUndoItem* TTextEditUndoList::Entries(int index) const
{
    if (index < 0 || index >= EntryCount())
        return nullptr;
    return FItems[static_cast<size_t>(index)].get();
}

TTextEditUndoItem* TTextEditUndoList::TopEntry() const
{
    return FItems.empty() ? nullptr : FItems.back().get();
}

std::unique_ptr<TTextEditUndoItem> TTextEditUndoList::TakeTopEntry()
{
    if (FItems.empty())
        return nullptr;
    std::unique_ptr<TTextEditUndoItem> item = std::move(FItems.back());
    FItems.pop_back();
    return item;
}

void TTextEditUndoList::PushEntry(std::unique_ptr<TTextEditUndoItem> item)
{
    if (!item)
        return;
    const TTextUndoReason reason = item->Reason;
    FItems.push_back(std::move(item));
    EnforceLimit();
    if (reason != urGroupBreak && OnEntryAdded)
        OnEntryAdded(this);
}

void TTextEditUndoList::EnforceLimit()
{
    // A deque drops its oldest entries in constant time.
    while (static_cast<int>(FItems.size()) > FEntryLimit)
        FItems.pop_front();
}

TTextUndoReason TTextEditUndoList::TopReason() const
{
    return FItems.empty() ? urNone : FItems.back()->Reason;
}

void TTextEditUndoList::SetEntryLimit(int value)
{
    if (value < 0)
        value = 0;
    if (value == FEntryLimit)
        return;
    FEntryLimit = value;
    EnforceLimit();
}

void TTextEditUndoList::MarkInitialState(bool clean)
{
    if (clean) {
        FInitialChangeNumber = FItems.empty() ? 0 : FItems.back()->GroupNumber;
        return;
    }
    const bool atPoint = FItems.empty() ? FInitialChangeNumber == 0
                                        : FItems.back()->GroupNumber == FInitialChangeNumber;
    if (atPoint)
        FInitialChangeNumber = -1;
}

bool TTextEditUndoList::IsInitialState() const
{
    if (FItems.empty())
        return FInitialChangeNumber == 0;
    return FItems.back()->GroupNumber == FInitialChangeNumber;
}

void TTextEditUndoList::Assign(const TTextEditUndoList& source)
{
    ClearList();
    for (const auto& from : source.FItems) {
        auto item = std::make_unique<TTextEditUndoItem>();
        item->Assign(*from);
        FItems.push_back(std::move(item));
    }
    FBlockChangeNumber = source.FBlockChangeNumber;
    FBlockCount = source.FBlockCount;
    FLockCount = source.FLockCount;
    FEntryLimit = source.FEntryLimit;
    FNextChangeNumber = source.FNextChangeNumber;
}
