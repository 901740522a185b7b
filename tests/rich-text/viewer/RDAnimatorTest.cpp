#include <gtest/gtest.h>

#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtWidgets/QApplication>

#include <memory>
#include <vector>

#include "Pictures.h"
#include "viewer/RDAnimator.h"
#include "items/RDPictureItems.h"
#include "viewer/RDRichDoc.h"
#include "styles/RDStyle.h"

// Picture animation, driven by calling the timer's step.

namespace {

const QRgb FrameColours[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 0)};

// A strip of `frames` frames of 10 x 10 side by side, each in its colour.
std::unique_ptr<TGraphic> Strip(int frames, int size = 10)
{
    QImage image(size * frames, size, QImage::Format_RGB32);
    QPainter painter(&image);
    for (int k = 0; k < frames; ++k)
        painter.fillRect(QRect(k * size, 0, size, size), QColor(FrameColours[k % 4]));
    painter.end();
    auto bitmap = std::make_unique<TBitmapGraphic>();
    bitmap->Assign(image);
    return bitmap;
}

class TSheet : public TRDStyle {
public:
    TSheet()
    {
        TextStyles().Items(0)->FontName = QStringLiteral("Arial");
        Color = clWhite;
    }
};

class TAnimViewer : public TRichDoc {
public:
    explicit TAnimViewer(TRDStyle* sheet)
    {
        SetBorderStyle(TBorderStyle::bsNone);
        SetHScrollVisible(false);
        SetVScrollVisible(false);
        SetStyle(sheet);
        resize(300, 200);
        show();
    }
    // A picture of `frames` frames with an interval in hundredths of a second; width: the frame width.
    TRDGraphicItemInfo* AddStrip(int frames, int interval, int width = 10)
    {
        auto* item = new TRDGraphicItemInfo(DocumentData(), Strip(frames), TRDItemVAlign::ivaBaseline);
        item->Interval = interval;
        item->ImageWidth = width;
        item->ImageHeight = 10;
        DocumentData()->AddItem("pic", item);
        return item;
    }
    TRDAnimatorList* List() { return DocumentData()->AnimatorList.get(); }
    // The colour at the middle of the picture's draw item, as painted now.
    QRgb Shown(const TRDGraphicItemInfo* item)
    {
        const TRDDrawLineInfo* d = DocumentData()->DrawItems[item->FirstDrawItem];
        const QImage image = viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        return image.pixel(d->Left + d->Width / 2, d->Top - DocumentData()->GetVOffset() + d->Height / 2);
    }
};

class AnimatorTest : public ::testing::Test {
protected:
    TSheet Sheet;
};

// A 4-frame strip with interval 10 (100 ms) shows frames 0, 1, 2, 3, 0 on
// successive ticks; each tick has the next paint draw the new frame.
TEST_F(AnimatorTest, FourFrameStripCycles)
{
    TAnimViewer v(&Sheet);
    TRDGraphicItemInfo* pic = v.AddStrip(4, 10);
    v.FormatDocument();
    ASSERT_TRUE(pic->Animator);
    ASSERT_NE(v.List(), nullptr);
    EXPECT_EQ(v.List()->Count(), 1);
    EXPECT_EQ(pic->Animator->GetFrameCount(), 4);
    v.StartAnimation();
    EXPECT_EQ(v.AnimationTimerInterval(), 100);
    std::vector<int> frames{pic->Animator->FrameIndex};
    std::vector<QRgb> shown{v.Shown(pic)};
    for (int k = 0; k < 4; ++k) {
        v.AnimationTimerTick();
        frames.push_back(pic->Animator->FrameIndex);
        shown.push_back(v.Shown(pic));
    }
    EXPECT_EQ(frames, (std::vector<int>{0, 1, 2, 3, 0}));
    EXPECT_EQ(shown, (std::vector<QRgb>{FrameColours[0], FrameColours[1], FrameColours[2], FrameColours[3],
                                        FrameColours[0]}));
    EXPECT_EQ(v.AnimationTimerInterval(), 100);
    v.StopAnimation();
    EXPECT_EQ(v.AnimationTimerInterval(), 0);
}

// Two animators at 100 and 250 ms: the timer runs at 100, then 150 and 50
// are left, so after the second tick it runs at 50.
TEST_F(AnimatorTest, TimerFollowsTheSmallestTimeLeft)
{
    TAnimViewer v(&Sheet);
    TRDGraphicItemInfo* a = v.AddStrip(4, 10);
    TRDGraphicItemInfo* b = v.AddStrip(4, 25);
    v.FormatDocument();
    v.StartAnimation();
    EXPECT_EQ(v.AnimationTimerInterval(), 100);
    v.AnimationTimerTick();
    EXPECT_EQ(b->Animator->TimeLeft, 150);
    EXPECT_EQ(v.AnimationTimerInterval(), 100);
    v.AnimationTimerTick();
    EXPECT_EQ(b->Animator->TimeLeft, 50);
    EXPECT_EQ(a->Animator->TimeLeft, 100);
    EXPECT_EQ(v.List()->TimerInterval, 50);
    EXPECT_EQ(v.AnimationTimerInterval(), 50);
    v.AnimationTimerTick();
    EXPECT_EQ(b->Animator->FrameIndex, 1);
    EXPECT_EQ(b->Animator->TimeLeft, 250);
}

// No animator: one frame, an interval of 0, a picture that is no bitmap,
// animation disabled.
TEST_F(AnimatorTest, PicturesThatDoNotAnimate)
{
    TAnimViewer v(&Sheet);
    TRDGraphicItemInfo* single = v.AddStrip(1, 10);
    TRDGraphicItemInfo* still = v.AddStrip(4, 0);
    auto* jpeg = new TRDGraphicItemInfo(v.DocumentData(), std::make_unique<TJPEGImage>(), TRDItemVAlign::ivaBaseline);
    jpeg->Interval = 10;
    v.DocumentData()->AddItem("jpeg", jpeg);
    TRDGraphicItemInfo* strip = v.AddStrip(4, 10);
    v.FormatDocument();
    EXPECT_FALSE(single->Animator);
    EXPECT_FALSE(still->Animator);
    EXPECT_FALSE(jpeg->Animator);
    EXPECT_TRUE(strip->Animator);
    v.SetAnimationMode(TRDAnimationMode::rdaniDisabled);
    EXPECT_EQ(v.List(), nullptr);
    v.FormatDocument();
    EXPECT_FALSE(strip->Animator);
}

// ResetAnimation only forgets the animators; the next layout takes them
// back, and freeing items, the list or the viewer afterwards leaves nothing
// dangling (checked under AddressSanitizer).
TEST_F(AnimatorTest, ResetThenFormatLeavesNothingDangling)
{
    auto v = std::make_unique<TAnimViewer>(&Sheet);
    v->SetAnimationMode(TRDAnimationMode::rdaniOnFormat);
    TRDGraphicItemInfo* a = v->AddStrip(4, 10);
    v->AddStrip(4, 20);
    v->FormatDocument();
    EXPECT_EQ(v->AnimationTimerInterval(), 100);
    TRDAnimator* kept = a->Animator.get();
    v->ResetAnimation();
    EXPECT_EQ(v->List(), nullptr);
    EXPECT_EQ(v->AnimationTimerInterval(), 0);
    ASSERT_EQ(a->Animator.get(), kept);
    EXPECT_EQ(kept->List, nullptr);
    v->FormatDocument();
    ASSERT_NE(v->List(), nullptr);
    EXPECT_EQ(v->List()->Count(), 2);
    v->AnimationTimerTick();
    // An item that goes takes its animator out of the list.
    v->DeleteItemRange(0, 1);
    EXPECT_EQ(v->List()->Count(), 1);
    v->AnimationTimerTick();
    v->ResetAnimation();
    v->ClearDocument();
    v->AnimationTimerTick();
    v.reset();
}

// The list never holds more than its maximum; the animator it refuses is freed.
TEST(AnimatorListTest, FullListFreesTheAnimator)
{
    // The animators outlive the list here: it forgets them when it goes.
    std::vector<std::unique_ptr<TRDAnimator>> held;
    TRDAnimatorList list;
    for (int i = 0; i < TRDAnimatorList::MaxAnimatorCount; ++i) {
        held.push_back(std::make_unique<TRDAnimator>());
        list.Add(held.back());
    }
    auto extra = std::make_unique<TRDAnimator>();
    list.Add(extra);
    EXPECT_FALSE(extra);
    EXPECT_EQ(list.Count(), TRDAnimatorList::MaxAnimatorCount);
    held.pop_back();
    EXPECT_EQ(list.Count(), TRDAnimatorList::MaxAnimatorCount - 1);
}

}  // namespace
