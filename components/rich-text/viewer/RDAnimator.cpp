#include "viewer/RDAnimator.h"

#include <algorithm>

#include <QtGui/QPainter>

#include "layout/CRDFData.h"
#include "Graphics.h"
#include "Pictures.h"
#include "items/RDPictureItems.h"

// ---- the animator base ----

TRDAnimator::~TRDAnimator()
{
    if (List != nullptr)
        List->Remove(this);
}

void TRDAnimator::GetFrameSize(int& width, int& height) const
{
    width = Item != nullptr ? Item->GetImageWidth(nullptr) : 0;
    height = Item != nullptr ? Item->GetImageHeight(nullptr) : 0;
}

void TRDAnimator::NextFrame()
{
    ++FrameIndex;
    if (FrameIndex >= GetFrameCount())
        FrameIndex = 0;
}

// ---- the list ----

TRDAnimatorList::~TRDAnimatorList()
{
    Clear();
}

void TRDAnimatorList::Add(std::unique_ptr<TRDAnimator>& animator)
{
    if (!animator)
        return;
    if (Count() >= MaxAnimatorCount) {
        animator.reset();
        return;
    }
    animator->Reset();
    NextDue = std::min(NextDue, animator->TimeLeft);
    FItems.push_back(animator.get());
    animator->List = this;
}

void TRDAnimatorList::Clear()
{
    for (TRDAnimator* a : FItems)
        a->List = nullptr;
    FItems.clear();
    Running = false;
}

void TRDAnimatorList::Remove(TRDAnimator* animator)
{
    auto it = std::find(FItems.begin(), FItems.end(), animator);
    if (it != FItems.end())
        FItems.erase(it);
    animator->List = nullptr;
    if (FItems.empty())
        Running = false;  // the timer stops at its next tick
}

void TRDAnimatorList::UpdateAll()
{
    for (TRDAnimator* a : FItems)
        a->Update();
}

namespace {

// The client rectangle of the picture's first draw item in the control of
// the root document; empty when the picture has no draw item or is out of view.
QRect VisibleRect(const TRDAnimator& a)
{
    auto* data = dynamic_cast<TCustomRDFormattedData*>(a.RDData);
    if (data == nullptr || a.Item == nullptr)
        return {};
    auto* root = dynamic_cast<TCustomRDFormattedData*>(data->GetAbsoluteRootData());
    if (root == nullptr)
        return {};
    const int d = a.Item->FirstDrawItem;
    if (d < 0 || d >= data->DrawItems.Count() || data->DrawItems[d]->ItemNo >= data->ItemCount()
        || data->ItemAt(data->DrawItems[d]->ItemNo) != a.Item)
        return {};
    const TRDDrawLineInfo* di = data->DrawItems[d];
    int x0 = 0, y0 = 0, rx = 0, ry = 0;
    data->GetOrigin(x0, y0);
    root->GetOrigin(rx, ry);
    const int x = x0 - rx + di->Left - root->GetHOffset();
    const int y = y0 - ry + di->Top - root->GetVOffset();
    if (y >= root->GetHeight() || y + di->Height <= 0)
        return {};
    return QRect(x, y, di->Width, di->Height);
}

} // namespace

void TRDAnimatorList::Step(int elapsed)
{
    NextDue = INT_MAX;
    // A repaint request may not change the list, but the loop stays on indexes all the same.
    for (int i = 0; i < Count(); ++i) {
        TRDAnimator* a = FItems[size_t(i)];
        a->TimeLeft -= elapsed;
        if (a->TimeLeft < 1) {
            a->ChangeFrame();
            const QRect r = VisibleRect(*a);
            if (!r.isEmpty()) {
                auto* root = static_cast<TCustomRDFormattedData*>(a->RDData->GetAbsoluteRootData());
                root->InvalidateRect(r);
            } else {
                a->Update();
            }
        }
        NextDue = std::min(NextDue, a->TimeLeft);
    }
}

// ---- the bitmap strip ----

namespace {

TRDGraphicItemInfo* PictureOf(TCustomRDItemInfo* item)
{
    return dynamic_cast<TRDGraphicItemInfo*>(item);
}

const TGraphic* BitmapOf(TCustomRDItemInfo* item)
{
    TRDGraphicItemInfo* picture = PictureOf(item);
    if (picture == nullptr)
        return nullptr;
    const TGraphic* g = picture->DisplayCopy ? picture->DisplayCopy.get() : picture->Image.get();
    return dynamic_cast<const TBitmapGraphic*>(g);
}

} // namespace

int TRDBitmapAnimator::CountFrames(TCustomRDItemInfo* item)
{
    TRDGraphicItemInfo* picture = PictureOf(item);
    if (picture == nullptr || !picture->Image)
        return 0;
    const int w = picture->GetImageWidth(), h = picture->GetImageHeight();
    if (w <= 0 || h <= 0)
        return 0;
    return (picture->Image->Width() / w) * (picture->Image->Height() / h);
}

int TRDBitmapAnimator::GetFrameCount() const
{
    return CountFrames(Item);
}

void TRDBitmapAnimator::Reset()
{
    TRDGraphicItemInfo* picture = PictureOf(Item);
    TimeLeft = picture != nullptr ? picture->Interval * 10 : 0;
    FrameIndex = 0;
}

void TRDBitmapAnimator::ChangeFrame()
{
    TRDGraphicItemInfo* picture = PictureOf(Item);
    TimeLeft = picture != nullptr ? picture->Interval * 10 : 0;
    NextFrame();
}

QRect TRDBitmapAnimator::FrameRect() const
{
    const TGraphic* g = BitmapOf(Item);
    int w = 0, h = 0;
    GetFrameSize(w, h);
    if (g == nullptr || w <= 0 || h <= 0)
        return {};
    const int perRow = std::max(1, g->Width() / w);
    return QRect(w * (FrameIndex % perRow), h * (FrameIndex / perRow), w, h);
}

void TRDBitmapAnimator::Draw(int x, int y, int, TCanvas& canvas)
{
    const TGraphic* g = BitmapOf(Item);
    const QRect source = FrameRect();
    if (g == nullptr || source.isEmpty())
        return;
    canvas.Painter().drawImage(QRect(QPoint(x, y), source.size()), g->Image(), source);
}

void TRDBitmapAnimator::DrawFirstFrame(TCanvas& canvas)
{
    const int saved = FrameIndex;
    struct TRestore {
        int& Index;
        int Saved;
        ~TRestore() { Index = Saved; }
    } restore{FrameIndex, saved};
    FrameIndex = 0;
    Draw(0, 0, 1, canvas);
}

// ---- the hook the picture items call ----

void MakeItemAnimator(TCustomRDItemInfo* item, TCustomRDData* rdData, std::unique_ptr<TRDAnimator>& animator)
{
    TRDGraphicItemInfo* picture = PictureOf(item);
    auto* formatted = dynamic_cast<TCustomRDFormattedData*>(rdData);
    // 1. Nothing to animate, or animation not allowed here.
    if (picture == nullptr || picture->Interval <= 0 || !dynamic_cast<const TBitmapGraphic*>(picture->Image.get())
        || TRDBitmapAnimator::CountFrames(item) <= 1 || formatted == nullptr || !formatted->AnimationsEnabled()) {
        animator.reset();
        return;
    }
    // 2. An animator of another kind goes.
    if (animator && !dynamic_cast<TRDBitmapAnimator*>(animator.get()))
        animator.reset();
    if (!animator) {
        // 3. A new one joins the root's list (which may free it).
        animator = std::make_unique<TRDBitmapAnimator>(rdData, item);
        formatted->AddAnimator(animator);
        return;
    }
    // 4. The item keeps its animator; one the list forgot (the animation was
    // reset) joins it again.
    animator->AttachToItem(rdData, item);
    animator->Reset();
    if (animator->List == nullptr)
        formatted->AddAnimator(animator);
}

// ---- the viewer's document and control ----

#include <QtCore/QTimerEvent>

#include "EventGuard.h"
#include "viewer/RDRichDoc.h"

bool TRichDocRDData::AnimationsEnabled()
{
    if (!OwnOptions())
        return TRDControlData::AnimationsEnabled();
    return Owner->AnimationMode() != TRDAnimationMode::rdaniDisabled;
}

void TRichDocRDData::AddAnimator(std::unique_ptr<TRDAnimator>& animator)
{
    if (!OwnOptions()) {
        TRDControlData::AddAnimator(animator);
        return;
    }
    if (!AnimatorList)
        AnimatorList = std::make_unique<TRDAnimatorList>();
    AnimatorList->Add(animator);
    if (AnimationStarted)
        Owner->StartAnimation();
}

void TRichDocRDData::ResetAnimations()
{
    if (!OwnOptions()) {
        TRDControlData::ResetAnimations();
        return;
    }
    if (AnimatorList)
        AnimatorList->UpdateAll();
}

void TRDAnimationTimer::Start(int interval)
{
    Interval = std::max(interval, 1);
    Timer.start(Interval, this);
}

void TRDAnimationTimer::Stop()
{
    Timer.stop();
    Interval = 0;
}

void TRDAnimationTimer::timerEvent(QTimerEvent* e)
{
    if (e->timerId() != Timer.timerId()) {
        QObject::timerEvent(e);
        return;
    }
    GuardedEvent("rich-text viewer", "animation timer", [this] { FViewer->AnimationTimerTick(); });
}

void TCustomRichDoc::SetAnimationMode(TRDAnimationMode value)
{
    if (value == FAnimationMode)
        return;
    FAnimationMode = value;
    if (value == TRDAnimationMode::rdaniDisabled)
        ResetAnimation();
}

void TCustomRichDoc::StartAnimation()
{
    TRichDocRDData* data = FDocumentData.get();
    data->AnimationStarted = true;
    TRDAnimatorList* list = data->AnimatorList.get();
    if (list == nullptr || list->Count() == 0 || list->Running)
        return;
    list->Running = true;
    list->TimerInterval = list->NextDue;
    if (!FAnimationTimer)
        FAnimationTimer = std::make_unique<TRDAnimationTimer>(this);
    FAnimationTimer->Start(list->NextDue);
}

void TCustomRichDoc::StopAnimation()
{
    if (!FDocumentData)
        return;
    TRichDocRDData* data = FDocumentData.get();
    data->AnimationStarted = false;
    if (data->AnimatorList)
        data->AnimatorList->Running = false;
    if (FAnimationTimer)
        FAnimationTimer->Stop();
}

void TCustomRichDoc::ResetAnimation()
{
    StopAnimation();
    if (!FDocumentData)
        return;
    // The list only forgets the animators: their items own them and free
    // them (or take them back) at the next layout.
    FDocumentData->AnimatorList.reset();
}

void TCustomRichDoc::AnimationTimerTick()
{
    TRDAnimatorList* list = FDocumentData ? FDocumentData->AnimatorList.get() : nullptr;
    if (list == nullptr || list->Count() == 0) {
        if (list != nullptr)
            list->Running = false;
        if (FAnimationTimer)
            FAnimationTimer->Stop();
        return;
    }
    list->Step(list->TimerInterval);
    if (list->NextDue != list->TimerInterval) {
        list->TimerInterval = list->NextDue;
        if (FAnimationTimer && FAnimationTimer->Timer.isActive())
            FAnimationTimer->Start(list->NextDue);
    }
}

int TCustomRichDoc::AnimationTimerInterval() const
{
    return FAnimationTimer && FAnimationTimer->Timer.isActive() ? FAnimationTimer->Interval : 0;
}
