#pragma once

// Picture animation: a picture whose bitmap holds frames of equal size side
// by side (and in rows) shows one frame at a time. Each such picture item
// owns a TRDBitmapAnimator; the root document of a viewer lists them (the
// list never owns them) and the viewer runs one timer for all of them at the
// smallest time left. A tick invalidates the rectangle of every visible
// picture whose frame changed; the item draws the new frame in the next paint.

#include <climits>
#include <vector>

#include "document/RDDocTypes.h"

class TCustomRDFormattedData;

class TRDAnimatorList {
public:
    // A list never holds more animators than this; a further one is freed.
    static constexpr int MaxAnimatorCount = 100000;

    TRDAnimatorList() = default;
    TRDAnimatorList(const TRDAnimatorList&) = delete;
    TRDAnimatorList& operator=(const TRDAnimatorList&) = delete;
    // Forgets the animators (their items own them).
    ~TRDAnimatorList();

    // The viewer's timer runs for this list.
    bool Running = false;
    // The smallest time left of the animators.
    int NextDue = INT_MAX;
    // The interval the timer was last set to.
    int TimerInterval = INT_MAX;

    int Count() const { return int(FItems.size()); }
    TRDAnimator* Items(int i) const { return FItems[size_t(i)]; }
    // Resets the animator and appends it; a full list frees it (animator nil).
    void Add(std::unique_ptr<TRDAnimator>& animator);
    // Every animator leaves the list; they stay alive.
    void Clear();
    // Every animator back to its first frame (TRDAnimator::Update on each).
    void UpdateAll();
    // One tick after elapsed milliseconds: the animators whose time ran out
    // change their frame; a visible picture has its rectangle repainted.
    void Step(int elapsed);
    // Called by an animator that goes.
    void Remove(TRDAnimator* animator);

private:
    std::vector<TRDAnimator*> FItems;
};

// The animator of a picture item whose bitmap is a strip of frames.
class TRDBitmapAnimator : public TRDAnimator {
public:
    using TRDAnimator::TRDAnimator;
    // (bitmap width div frame width) * (bitmap height div frame height); 0 without a frame size.
    static int CountFrames(TCustomRDItemInfo* item);
    int GetFrameCount() const override;
    void Reset() override;
    void ChangeFrame() override;
    void Draw(int x, int y, int mode, TCanvas& canvas) override;
    void DrawFirstFrame(TCanvas& canvas) override;
    bool HasOwnFrames() const override { return true; }
    // The source rectangle of the current frame in the bitmap.
    QRect FrameRect() const;
};

// Gives a picture item its animator, or takes it away: the routine the items
// call after a layout (MakeAnimatorHook, set by InstallRichTextSuite).
void MakeItemAnimator(TCustomRDItemInfo* item, TCustomRDData* rdData, std::unique_ptr<TRDAnimator>& animator);

#include <QtCore/QBasicTimer>
#include <QtCore/QObject>

class TCustomRichDoc;

// The viewer's animation timer (one per control).
class TRDAnimationTimer : public QObject {
public:
    explicit TRDAnimationTimer(TCustomRichDoc* viewer) : FViewer(viewer) {}
    QBasicTimer Timer;
    int Interval = 0;
    void Start(int interval);
    void Stop();

protected:
    void timerEvent(QTimerEvent* e) override;

private:
    TCustomRichDoc* FViewer;
};
