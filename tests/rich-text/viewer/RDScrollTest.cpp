#include <gtest/gtest.h>

#include <QtGui/QWheelEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QScrollBar>

#include <vector>

#include "viewer/RDScroll.h"

namespace {

// A shown scroller of 200 x 100 pixels, both bars off until a test switches them on.
class TTestScroller : public TRDScroller {
public:
    TTestScroller()
    {
        SetHScrollVisible(false);
        SetVScrollVisible(false);
        resize(200, 100);
        show();
    }
    int VScrolledCount = 0;
    int Before = 0;

protected:
    void DoVScrolled() override
    {
        ++VScrolledCount;
        TRDScroller::DoVScrolled();
    }
    void BeforeScroll() override { ++Before; }
};

class TWheelLines {
public:
    explicit TWheelLines(int lines) : FOld(QApplication::wheelScrollLines()) { QApplication::setWheelScrollLines(lines); }
    ~TWheelLines() { QApplication::setWheelScrollLines(FOld); }

private:
    int FOld;
};

TEST(RDScroll, ConstructionAndWindowCreation)
{
    TRDScroller s;
    EXPECT_EQ(s.VSmallStep, 1);
    EXPECT_FALSE(s.HandleAllocated());
    // Without the window nothing about positions is stored.
    s.UpdateScrollBars(1000, 500, true, true);
    s.SetVPos(20, true);
    EXPECT_EQ(s.DocHeight, 0);
    EXPECT_EQ(s.VPos, 0);
    EXPECT_EQ(s.WheelStep, 2);
    EXPECT_EQ(s.LineStep, 1);
    EXPECT_TRUE(s.Tracking());
    EXPECT_EQ(s.BorderStyle(), TBorderStyle::bsNone);
    s.resize(300, 200);
    s.show();
    EXPECT_TRUE(s.HandleAllocated());
    EXPECT_EQ(s.VSmallStep, 10);
}

TEST(RDScroll, UpdateScrollBarsAndSetVPosClamp)
{
    TTestScroller s;
    s.SetVScrollVisible(true);
    s.UpdateScrollBars(s.ClientWidth(), 50, true, true);
    const int page = s.ClientHeight() / s.VSmallStep;
    EXPECT_EQ(s.DocHeight, 50);
    EXPECT_EQ(s.VMax, 49);
    EXPECT_EQ(s.VPage, page);
    QScrollBar* bar = s.verticalScrollBar();
    EXPECT_EQ(bar->maximum(), 50 - page);
    EXPECT_EQ(bar->pageStep(), page);

    s.SetVPos(1000, true);
    EXPECT_EQ(s.VPos, 50 - page);
    EXPECT_EQ(bar->value(), s.VPos);
    s.SetVPos(-5, false);
    EXPECT_EQ(s.VPos, 0);

    // A shorter document pulls the position back into range.
    s.SetVPos(30, true);
    s.UpdateScrollBars(s.ClientWidth(), page + 3, true, true);
    EXPECT_EQ(s.VPos, 3);
    s.UpdateScrollBars(s.ClientWidth(), 2, true, true);
    EXPECT_EQ(s.VPos, 0);
    EXPECT_EQ(bar->maximum(), 0);
}

TEST(RDScroll, WithoutVisibleBarPositionLandsOnLastPage)
{
    TTestScroller s;
    s.UpdateScrollBars(s.ClientWidth(), 100, true, true);
    s.ScrollTo(5000);
    EXPECT_EQ(s.VPos, s.VMax - s.VPage + 1);
    EXPECT_EQ(s.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST(RDScroll, HorizontalRangeAndPageKeys)
{
    TTestScroller s;
    s.SetHScrollVisible(true);
    s.UpdateScrollBars(1000, 10, true, true);
    EXPECT_EQ(s.HMax, 999);
    EXPECT_EQ(s.HPage, s.ClientWidth());
    s.HScroll(TRDScrollCode::SB_LINEDOWN);
    EXPECT_EQ(s.HPos, 10);
    s.HScroll(TRDScrollCode::SB_PAGEDOWN);
    EXPECT_EQ(s.HPos, 10 + s.ClientWidth());
    s.HScroll(TRDScrollCode::SB_BOTTOM);
    EXPECT_EQ(s.HPos, 1000 - s.ClientWidth());
    EXPECT_EQ(s.horizontalScrollBar()->value(), s.HPos);
}

TEST(RDScroll, ScrollCommandsAndKeys)
{
    TTestScroller s;
    s.UpdateScrollBars(s.ClientWidth(), 100, true, true);
    const int page = s.ClientHeight() / s.VSmallStep;
    struct Case {
        int key;
        int expected;
    };
    const std::vector<Case> cases = {
        {Qt::Key_Down, 1}, {Qt::Key_Down, 2}, {Qt::Key_PageDown, 2 + page}, {Qt::Key_Up, 1 + page},
        {Qt::Key_End, 100 - page}, {Qt::Key_PageUp, 100 - 2 * page}, {Qt::Key_Home, 0},
    };
    for (const Case& c : cases) {
        QKeyEvent press(QEvent::KeyPress, c.key, Qt::NoModifier);
        QApplication::sendEvent(&s, &press);
        EXPECT_TRUE(press.isAccepted());
        EXPECT_EQ(s.VPos, c.expected) << c.key;
    }
    s.KeyboardScroll = false;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(&s, &press);
    EXPECT_EQ(s.VPos, 0);
}

TEST(RDScroll, ScrollEventsAndBeforeScroll)
{
    TTestScroller s;
    s.UpdateScrollBars(s.ClientWidth(), 100, true, true);
    s.ScrollTo(0);
    EXPECT_EQ(s.VScrolledCount, 0);
    EXPECT_EQ(s.Before, 0);
    s.ScrollTo(4);
    s.ScrollToPixelsNoRedraw(85);
    EXPECT_EQ(s.VPos, 8);
    EXPECT_EQ(s.VScrolledCount, 2);
    EXPECT_EQ(s.Before, 2);
    s.FullRedraw = true;
    s.ScrollToPixels(10);
    EXPECT_EQ(s.VPos, 1);
    EXPECT_EQ(s.VScrolledCount, 3);
}

TEST(RDScroll, WheelSteps)
{
    struct Case {
        int wheelStep, lines, notches, expected;
        bool handled;
    };
    // One notch of WheelStep 1 with one line is a third of a step: nothing, yet handled.
    const std::vector<Case> cases = {
        {1, 1, -1, 0, true}, {2, 3, -1, 2, true}, {2, 3, -2, 4, true}, {3, 3, -1, 3, true},
        {1, 2, -1, 1, true}, {0, 3, -1, 0, false}, {2, 3, 1, 0, true},
    };
    for (const Case& c : cases) {
        TTestScroller s;
        s.UpdateScrollBars(s.ClientWidth(), 1000, true, true);
        s.WheelStep = c.wheelStep;
        TWheelLines lines(c.lines);
        QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, 120 * c.notches), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        wheel.setAccepted(false);
        QApplication::sendEvent(s.viewport(), &wheel);
        EXPECT_EQ(s.VPos, c.expected) << c.wheelStep << " " << c.lines;
        EXPECT_EQ(s.VPos * s.VSmallStep, c.expected * 10);
        EXPECT_EQ(s.DoMouseWheelDown(), c.handled);
    }
}

TEST(RDScroll, HalfNotchesAddUp)
{
    TTestScroller s;
    s.UpdateScrollBars(s.ClientWidth(), 1000, true, true);
    TWheelLines lines(3);
    for (int i = 0; i < 2; ++i) {
        QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, -60), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(s.viewport(), &wheel);
        EXPECT_EQ(s.VPos, i == 0 ? 0 : 2);
    }
}

TEST(RDScroll, AdjustVScrollUnitsKeepsStepsWithin32000)
{
    TTestScroller s;
    s.SetVScrollVisible(true);
    struct Case {
        int height, expected;
    };
    const std::vector<Case> cases = {{320000, 10}, {400000, 13}, {640000, 20}, {640020, 21}, {320000, 10}};
    for (const Case& c : cases) {
        s.AdjustVScrollUnits(c.height);
        EXPECT_EQ(s.VSmallStep, c.expected) << c.height;
        EXPECT_LE(c.height / s.VSmallStep, 32000);
    }
    // Without a vertical bar a tall document keeps its step.
    s.SetVScrollVisible(false);
    s.AdjustVScrollUnits(400000);
    EXPECT_EQ(s.VSmallStep, 10);
}

TEST(RDScroll, ControlTopFromTag)
{
    QWidget w;
    struct Case {
        int tag, top;
    };
    for (const Case& c : std::vector<Case>{{25000, 10000}, {-10001, -10000}, {123, 123}, {0, 0}}) {
        SetControlTag(&w, c.tag);
        EXPECT_EQ(ControlTopFromTag(&w), c.top);
        SetControlTopFromTag(&w);
        EXPECT_EQ(w.y(), c.top);
    }
}

TEST(RDScroll, EmbeddedWidgetsMoveWithTheViewByTheirTag)
{
    TTestScroller s;
    s.UpdateScrollBars(s.ClientWidth(), 5000, true, true);
    auto* near = new QWidget(s.viewport());
    near->setGeometry(30, 40, 20, 20);
    SetControlTag(near, 40);
    auto* far = new QWidget(s.viewport());
    far->setGeometry(5, 10000, 20, 20);
    SetControlTag(far, 20000);
    s.ScrollTo(100); // 1000 pixels up
    EXPECT_EQ(ControlTag(near), -960);
    EXPECT_EQ(near->y(), -960);
    EXPECT_EQ(near->x(), 30);
    EXPECT_EQ(ControlTag(far), 19000);
    EXPECT_EQ(far->y(), 10000);
    s.ScrollTo(0);
    EXPECT_EQ(near->y(), 40);
}

TEST(RDScroll, ThumbTrackIgnoredWithoutTracking)
{
    TTestScroller s;
    s.SetVScrollVisible(true);
    s.UpdateScrollBars(s.ClientWidth(), 500, true, true);
    s.VScroll(TRDScrollCode::SB_THUMBTRACK, 40);
    EXPECT_EQ(s.VPos, 40);
    s.SetTracking(false);
    s.VScroll(TRDScrollCode::SB_THUMBTRACK, 70);
    EXPECT_EQ(s.VPos, 40);
    s.VScroll(TRDScrollCode::SB_THUMBPOSITION, 70);
    EXPECT_EQ(s.VPos, 70);

    // Dragging the bar's thumb: the view follows only on release.
    QScrollBar* bar = s.verticalScrollBar();
    bar->setSliderDown(true);
    bar->setSliderPosition(90);
    EXPECT_EQ(s.VPos, 70);
    bar->setSliderDown(false);
    EXPECT_EQ(s.VPos, 90);
    s.SetTracking(true);
    bar->setSliderDown(true);
    bar->setSliderPosition(95);
    EXPECT_EQ(s.VPos, 95);
    bar->setSliderDown(false);
}

TEST(RDScroll, BarActionsGoThroughTheScrollModel)
{
    TTestScroller s;
    s.SetVScrollVisible(true);
    s.UpdateScrollBars(s.ClientWidth(), 500, true, true);
    s.LineStep = 3;
    QScrollBar* bar = s.verticalScrollBar();
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(s.VPos, 3);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(s.VPos, 3 + s.ClientHeight() / 10);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(s.VPos, 500 - s.VPage);
    EXPECT_EQ(bar->value(), s.VPos);
    bar->setValue(7);
    EXPECT_EQ(s.VPos, 7);
}

TEST(RDScroll, KeptBarStaysDisabled)
{
    TTestScroller s;
    s.KeepVScrollBar = true;
    s.SetVScrollVisible(true);
    s.UpdateScrollBars(s.ClientWidth(), 2, true, true);
    EXPECT_EQ(s.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_FALSE(s.verticalScrollBar()->isEnabled());
    s.UpdateScrollBars(s.ClientWidth(), 2, false, true);
    EXPECT_EQ(s.verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
}

TEST(RDScroll, RightToLeftPutsTheVerticalBarOnTheLeft)
{
    TRDScroller s;
    s.resize(300, 200);
    s.show();
    s.UpdateScrollBars(s.ClientWidth(), 1000, false, true);
    QApplication::processEvents();
    ASSERT_TRUE(s.verticalScrollBar()->isVisible());
    EXPECT_GT(s.verticalScrollBar()->mapTo(&s, QPoint(0, 0)).x(), 150);
    // The window is made again: its owner gives the document size anew.
    s.SetBiDiMode(TRDBiDiMode::rdbdRightToLeft);
    s.UpdateScrollBars(s.ClientWidth(), 1000, false, true);
    QApplication::processEvents();
    ASSERT_TRUE(s.verticalScrollBar()->isVisible());
    EXPECT_LT(s.verticalScrollBar()->mapTo(&s, QPoint(0, 0)).x(), 50);
    EXPECT_GT(s.viewport()->mapTo(&s, QPoint(0, 0)).x(), 0);
    // The horizontal direction of the view and its bar stays left to right.
    EXPECT_EQ(s.viewport()->layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(s.horizontalScrollBar()->layoutDirection(), Qt::LeftToRight);
}

TEST(RDScroll, BorderThemedOrSunken)
{
    TRDScroller s;
    s.resize(200, 100);
    s.show();
    EXPECT_EQ(s.frameWidth(), 0);
    s.SetBorderStyle(TBorderStyle::bsSingle);
    EXPECT_TRUE(s.ThemedBorder());
    EXPECT_GT(s.frameWidth(), 0);
    EXPECT_EQ(s.frameShape(), QFrame::StyledPanel);
    s.SetUseXPThemes(false);
    EXPECT_FALSE(s.ThemedBorder());
    EXPECT_EQ(s.frameShape(), QFrame::Panel);
    EXPECT_EQ(s.frameShadow(), QFrame::Sunken);
    EXPECT_EQ(s.frameWidth(), 2);
    // Both paint without trouble.
    QImage image(s.size(), QImage::Format_RGB32);
    s.render(&image);
    s.SetUseXPThemes(true);
    s.render(&image);
}

TEST(RDScroll, PaletteCubeAndNoPaletteHere)
{
    TRDScroller s;
    auto palette = s.CreateLogPalette();
    EXPECT_EQ(palette->palVersion, 0x300);
    EXPECT_EQ(palette->palNumEntries, 216);
    const TRDPaletteEntry& e = palette->palPalEntry[36 * 2 + 6 * 3 + 4];
    EXPECT_EQ(e.peRed, 204);
    EXPECT_EQ(e.peGreen, 153);
    EXPECT_EQ(e.peBlue, 102);
    EXPECT_EQ(palette->palPalEntry[215].peRed, 255);
    s.SetDoInPaletteMode(TRDPaletteAction::rdpaAssignPalette);
    EXPECT_EQ(s.PaletteHandle, nullptr);
    EXPECT_EQ(s.LogPalette, nullptr);
}

} // namespace
