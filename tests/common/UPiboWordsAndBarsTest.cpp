#include "UPiboComponent.h"

#include "TestSupport.h"

#include <QtCore/QCoreApplication>
#include <QtGui/QMouseEvent>
#include <QtWidgets/QApplication>

#include <gtest/gtest.h>

#include <vector>

namespace {

void SendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton)
{
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    const Qt::MouseButton which = type == QEvent::MouseMove ? Qt::NoButton : button;
    QMouseEvent event(type, QPointF(pos), widget->mapToGlobal(QPointF(pos)), which, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

struct TShown {
    TShown()
    {
        Window.resize(600, 200);
        Window.show();
        ProcessEvents();
    }
    QWidget Window;
};

// ---------------------------------------------------------------------------
// TPiboWordOperate
// ---------------------------------------------------------------------------

struct TWords : TShown {
    TWords()
    {
        Words = new TPiboWordOperate(&Window);
        Words->resize(500, 16);
        Words->show();
        ProcessEvents();
    }
    QStringList WordsOf() const
    {
        QStringList list;
        for (const TPiboWordItem& item : Words->WordItems())
            list.append(item.Word);
        return list;
    }
    QList<qint32> Tags() const
    {
        QList<qint32> tags;
        for (const TPiboWordItem& item : Words->WordItems())
            tags.append(item.Tag);
        return tags;
    }
    TPiboWordOperate* Words;
};

TEST(PiboWordOperate, SentenceOnOneLine)
{
    TWords words;
    words.Words->SetText("what is this?");
    const TPiboWordItems& items = words.Words->WordItems();
    ASSERT_EQ(words.WordsOf(), (QStringList{"what", "is", "this?"}));
    EXPECT_EQ(items[0].Rect.Left, 0);
    EXPECT_EQ(items[1].Rect.Left, items[0].Rect.Right + 8);
    EXPECT_EQ(items[2].Rect.Left, items[1].Rect.Right + 8);
    for (const TPiboWordItem& item : items) {
        EXPECT_EQ(item.Rect.Top, 0);
        EXPECT_TRUE(item.Visible);
    }
    EXPECT_EQ(words.Words->LineCount(), 1);
    EXPECT_EQ(words.Words->height(), TextHeightOf(TFont(), "what is this?"));
    EXPECT_EQ(items[2].Tag, -1);  // the pending tag after construction
}

TEST(PiboWordOperate, EmptyTextThenAddAndDelete)
{
    TWords words;
    TPiboWordOperate& w = *words.Words;
    w.SetText("x");
    w.SetText("");
    EXPECT_TRUE(w.WordItems().isEmpty());
    EXPECT_EQ(w.LineCount(), 0);
    EXPECT_EQ(w.height(), 0);
    w.AddWord("a", 3);
    ASSERT_EQ(words.WordsOf(), QStringList{"a"});
    EXPECT_EQ(w.GetWordTag(0), 3);
    EXPECT_EQ(w.height(), TextHeightOf(TFont(), "a"));

    w.SetText("");
    w.AddWord("w1", 5);
    w.AddWord("w2", 2);
    EXPECT_EQ(words.Tags(), (QList<qint32>{5, 2}));
    w.DeleteWord(2);  // beyond the tiles: nothing
    EXPECT_EQ(words.WordsOf(), (QStringList{"w1", "w2"}));
    w.DeleteWord(0);
    EXPECT_EQ(words.WordsOf(), QStringList{"w2"});
    EXPECT_EQ(words.Tags(), QList<qint32>{2});
}

TEST(PiboWordOperate, HiddenTilesLeaveLayoutAndHitTest)
{
    TWords words;
    TPiboWordOperate& w = *words.Words;
    w.SetText("one two three");
    const int twoLeft = w.WordItems()[1].Rect.Left;
    w.SetWordVisible(1, false);
    EXPECT_EQ(w.Text(), "one two three");
    EXPECT_FALSE(w.WordItems()[1].Visible);
    EXPECT_EQ(w.WordItems()[1].Rect, TRect());
    EXPECT_EQ(w.WordItems()[2].Rect.Left, twoLeft);  // moved into the gap

    SendMouse(&w, QEvent::MouseMove, QPoint(twoLeft + 1, 3));
    EXPECT_EQ(w.MoveIndex(), 2);
    w.SetWordVisible(0, false);
    SendMouse(&w, QEvent::MouseMove, QPoint(0, 0));  // borders count
    EXPECT_EQ(w.MoveIndex(), 2);
    SendMouse(&w, QEvent::MouseMove, QPoint(480, 3));
    EXPECT_EQ(w.MoveIndex(), -1);

    int clicks = 0;
    w.OnClick = [&] { ++clicks; };
    SendMouse(&w, QEvent::MouseButtonPress, QPoint(2, 2));
    SendMouse(&w, QEvent::MouseButtonRelease, QPoint(2, 2));
    EXPECT_EQ(clicks, 1);
}

TEST(PiboWordOperate, WrappingShuffleAndNoWidth)
{
    TWords words;
    TPiboWordOperate& w = *words.Words;
    const int wide = TextWidthOf(TFont(), "extraordinary");
    w.resize(wide - 5, 16);
    w.SetText("extraordinary a");
    // A word wider than the control starts a new line even as the first word.
    EXPECT_EQ(w.WordItems()[0].Rect.Top, TextHeightOf(TFont(), "x"));
    EXPECT_GE(w.LineCount(), 2);

    w.resize(500, 16);
    w.SetText("alone");
    w.Shuffle();
    EXPECT_EQ(words.WordsOf(), QStringList{"alone"});
    w.SetText("b c d e f g");
    w.Shuffle();
    QStringList sorted = words.WordsOf();
    sorted.sort();
    EXPECT_EQ(sorted, (QStringList{"b", "c", "d", "e", "f", "g"}));

    w.resize(0, 16);
    w.SetText("no room here");
    EXPECT_EQ(w.LineCount(), 0);
    EXPECT_TRUE(w.WordItems().isEmpty());
}

// ---------------------------------------------------------------------------
// TPiboProgressBar
// ---------------------------------------------------------------------------

struct TSeekBar : TShown {
    TSeekBar()
    {
        Bar = new TPiboProgressBar(&Window);
        Bar->show();
        Bar->OnClick = [this] { Events.push_back("click " + QString::number(Bar->Position())); };
        Bar->OnPositionChange = [this] { Events.push_back("change " + QString::number(Bar->Position())); };
        ProcessEvents();
    }
    TPiboProgressBar* Bar;
    std::vector<QString> Events;
};

TEST(PiboProgressBar, PressOnTheTrack)
{
    TSeekBar seek;
    TPiboProgressBar& bar = *seek.Bar;
    bar.SetMax(1000);
    bar.SetPosition(0);
    seek.Events.clear();
    SendMouse(bar.PaintBox(), QEvent::MouseButtonPress, QPoint(20, 8));
    SendMouse(bar.PaintBox(), QEvent::MouseButtonRelease, QPoint(20, 8));
    EXPECT_EQ(seek.Events, (std::vector<QString>{"click 83", "change 83"}));
    EXPECT_EQ(bar.PlayedWidth(), 25);

    // The borders are outside the strict inside test.
    seek.Events.clear();
    for (const QPoint p : {QPoint(0, 8), QPoint(100, 0), QPoint(300, 8)}) {
        SendMouse(bar.PaintBox(), QEvent::MouseButtonPress, p);
        SendMouse(bar.PaintBox(), QEvent::MouseButtonRelease, p);
    }
    EXPECT_TRUE(seek.Events.empty());
    EXPECT_EQ(bar.Position(), 83);

    // Near the right end the position stops at Max.
    SendMouse(bar.PaintBox(), QEvent::MouseButtonPress, QPoint(298, 8));
    EXPECT_EQ(bar.Position(), 1000);
    EXPECT_EQ(bar.PlayedWidth(), 300);
}

TEST(PiboProgressBar, DraggingClampsAtBothEnds)
{
    TSeekBar seek;
    TPiboProgressBar& bar = *seek.Bar;
    bar.SetMax(1000);
    bar.SetPosition(500);
    const QRect thumb = bar.ThumbRect();
    EXPECT_EQ(thumb, Rect(141, 0, 150, 17));
    seek.Events.clear();
    const QPoint grip(thumb.left() + 3, 8);
    SendMouse(bar.PaintBox(), QEvent::MouseButtonPress, grip);
    SendMouse(bar.PaintBox(), QEvent::MouseMove, grip + QPoint(30, 0));
    EXPECT_EQ(bar.Position(), RoundHalfEven(180 / 300.0 * 1000));
    SendMouse(bar.PaintBox(), QEvent::MouseMove, grip + QPoint(400, 0));
    EXPECT_EQ(bar.Position(), 1000);
    EXPECT_EQ(bar.PlayedWidth(), 300);
    SendMouse(bar.PaintBox(), QEvent::MouseMove, grip - QPoint(800, 0));
    EXPECT_EQ(bar.Position(), 0);
    SendMouse(bar.PaintBox(), QEvent::MouseButtonRelease, grip - QPoint(800, 0));
    // A drag never fires OnClick.
    for (const QString& e : seek.Events)
        EXPECT_TRUE(e.startsWith("change")) << e.toStdString();
    SendMouse(bar.PaintBox(), QEvent::MouseMove, grip + QPoint(50, 0));
    EXPECT_EQ(bar.Position(), 0);  // released: moves do nothing
}

TEST(PiboProgressBar, EmptyRangesAndMarksNeverDivideByZero)
{
    TSeekBar seek;
    TPiboProgressBar& bar = *seek.Bar;
    bar.SetPosition(40);
    const int played = bar.PlayedWidth();
    bar.SetMax(0);  // Max = Min
    bar.SetPosition(5);
    EXPECT_EQ(bar.PlayedWidth(), played);
    bar.SetMarked(true);
    bar.SetStartMark(3);
    bar.SetEndMark(4);
    (void)bar.grab();  // paints the marks with Max 0
    bar.SetMax(100);
    bar.SetPosition(50);
    bar.SetStartMark(-1);
    bar.SetEndMark(50);
    const QImage image = bar.grab().toImage();
    EXPECT_EQ(image.pixelColor(150, 5), ToQColor(clRed));  // only the end mark
    EXPECT_NE(image.pixelColor(0, 5), ToQColor(clRed));
}

// ---------------------------------------------------------------------------
// TPiboSoundVolume
// ---------------------------------------------------------------------------

TEST(PiboSoundVolume, PressSetsThePosition)
{
    TShown shown;
    auto* volume = new TPiboSoundVolume(&shown.Window);
    volume->show();
    ProcessEvents();
    EXPECT_EQ(volume->FillWidth(), 25);
    int clicks = 0;
    volume->OnClick = [&] { ++clicks; };
    SendMouse(volume->PaintBox(), QEvent::MouseButtonPress, QPoint(49, 3));
    SendMouse(volume->PaintBox(), QEvent::MouseButtonRelease, QPoint(49, 3));
    EXPECT_EQ(volume->Position(), 98);
    EXPECT_EQ(clicks, 1);

    SendMouse(volume->PaintBox(), QEvent::MouseButtonPress, QPoint(0, 3));
    EXPECT_EQ(volume->Position(), 0);
    EXPECT_EQ(volume->FillWidth(), 0);
    const QImage image = volume->grab().toImage();
    EXPECT_EQ(image.pixelColor(0, 0), ToQColor(0xF1D1A6));  // the left border line

    volume->SetMax(0);  // Max = Min
    volume->SetPosition(7);
    EXPECT_EQ(volume->FillWidth(), 0);
}

}  // namespace
