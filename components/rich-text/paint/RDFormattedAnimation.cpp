// The formatted document's animation slots: the root document keeps the
// animators of its pictures, the others ask it.

#include <algorithm>

#include "layout/CRDFData.h"

namespace {

TCustomRDFormattedData* FormattedRoot(TCustomRDFormattedData* data)
{
    auto* root = dynamic_cast<TCustomRDFormattedData*>(data->GetAbsoluteRootData());
    return root == data ? nullptr : root;
}

} // namespace

bool TCustomRDFormattedData::AnimationsEnabled()
{
    TCustomRDFormattedData* root = FormattedRoot(this);
    return root != nullptr && root->AnimationsEnabled();
}

void TCustomRDFormattedData::AddAnimator(std::unique_ptr<TRDAnimator>& animator)
{
    // A root without a control keeps no list: the item keeps a still picture.
    if (TCustomRDFormattedData* root = FormattedRoot(this))
        root->AddAnimator(animator);
}

void TCustomRDFormattedData::ResetAnimations()
{
    if (TCustomRDFormattedData* root = FormattedRoot(this))
        root->ResetAnimations();
}

void TCustomRDFormattedData::UpdateItemAnimators(int first, int last)
{
    if (MakeAnimatorHook == nullptr)
        return;
    first = std::max(first, 0);
    last = std::min(last, ItemCount() - 1);
    for (int i = first; i <= last; ++i) {
        TCustomRDItemInfo* item = ItemAt(i);
        if (item->StyleNo < 0)
            item->UpdateAnimator(this);
    }
}
