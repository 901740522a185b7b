#include "layout/RDDrawLines.h"

#include "document/CRDData.h"
#include "core/RDUnicode.h"

void TRDDrawLines::InsertDrawItem(int index, std::unique_ptr<TRDDrawLineInfo> drawItem)
{
    if (GapCount == 0) {
        FItems.insert(FItems.begin() + index, std::move(drawItem));
        return;
    }
    FItems[size_t(index)] = std::move(drawItem);
    ++GapStart;
    --GapCount;
}

std::unique_ptr<TRDDrawLineInfo> TRDDrawLines::TakeDrawItem(int index)
{
    std::unique_ptr<TRDDrawLineInfo> taken = std::move(FItems[size_t(index)]);
    if (GapCount == 0) {
        FItems.erase(FItems.begin() + index);
        return taken;
    }
    --GapStart;
    ++GapCount;
    return taken;
}

void TRDDrawLines::BeginReplace(int first, int last)
{
    for (int i = first; i <= last; ++i)
        FItems[size_t(i)].reset();
    GapStart = first;
    GapCount = last - first + 1;
}

void TRDDrawLines::EndReplace()
{
    if (GapCount == 0)
        return;
    RemoveSlots(GapStart, GapStart + GapCount - 1);
    GapCount = 0;
}

void TRDDrawLines::RemoveSlots(int first, int last)
{
    FItems.erase(FItems.begin() + first, FItems.begin() + last + 1);
}

void TRDDrawLines::Clear()
{
    FItems.clear();
    GapStart = -1;
    GapCount = 0;
}

QByteArray TRDDrawLines::GetDrawItemText(int index, const TCustomRDData& items) const
{
    const TRDDrawLineInfo* d = DrawItemAt(index);
    return CharCopy(items.TextOfItem(d->ItemNo), d->Offs, d->Length, items.ItemOptionsOf(d->ItemNo));
}

QByteArray TRDDrawLines::GetDrawItemSubText(int index, const TCustomRDData& items, int count, int start) const
{
    const TRDDrawLineInfo* d = DrawItemAt(index);
    if (start < 1 || start > d->Length || count <= 0)
        return {};
    int n = count;
    if (d->Length + 1 < count + start)
        n = d->Length - start + 1;
    return CharCopy(items.TextOfItem(d->ItemNo), d->Offs + start - 1, n, items.ItemOptionsOf(d->ItemNo));
}
