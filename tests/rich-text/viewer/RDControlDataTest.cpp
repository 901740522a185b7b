#include <gtest/gtest.h>

#include <QtGui/QImage>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QVBoxLayout>

#include <memory>
#include <string>
#include <vector>

#include "document/RDItem.h"
#include "viewer/RDRichDoc.h"
#include "RDFocusBox.h"
#include "styles/RDStyle.h"

namespace {

class TWhiteSheet : public TRDStyle {
public:
    TWhiteSheet() { Color = clWhite; }
};

// A window holding an edit, the viewer and another edit, in that tab order.
// The viewer holds text and boxes 1 to 4 (box 2 does not take the focus).
class RDControlData : public ::testing::Test {
protected:
    RDControlData()
    {
        auto* layout = new QVBoxLayout(&Window);
        Before = new QLineEdit(&Window);
        Doc = new TRichDoc(&Window);
        After = new QLineEdit(&Window);
        layout->addWidget(Before);
        layout->addWidget(Doc);
        layout->addWidget(After);
        Doc->SetBorderStyle(TBorderStyle::bsNone);
        Doc->SetStyle(&Sheet);
        Doc->setMinimumSize(300, 200);
        TRichDocRDData& data = *Doc->DocumentData();
        Doc->AddTextInNewParagraph(QStringLiteral("text"), 0, 0);
        for (int i = 1; i <= 4; ++i) {
            auto* box = new TFocusBox(&data, i != 2, &Log, i);
            data.AddItem("", box);
            box->ItemOptions |= rdioContinuesPara;
        }
        Window.show();
        Doc->FormatDocument();
    }
    TRichDocRDData& Data() { return *Doc->DocumentData(); }
    QImage Grab() { return Doc->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    TWhiteSheet Sheet;
    QWidget Window;
    QLineEdit* Before = nullptr;
    TRichDoc* Doc = nullptr;
    QLineEdit* After = nullptr;
    std::vector<std::string> Log;
};

TEST_F(RDControlData, SetFocusedItemTellsThePreviousItemAndActivationExecutes)
{
    TRichDocRDData& data = Data();
    EXPECT_EQ(data.FocusedItemNo, -1);
    data.ActivateFocusedItem();
    EXPECT_TRUE(Log.empty());
    data.SetFocusedItem(1, &data, 1);
    EXPECT_TRUE(Log.empty());
    data.SetFocusedItem(3, &data, 3);
    data.ActivateFocusedItem();
    EXPECT_EQ(Log, (std::vector<std::string>{"clear 1", "execute 3"}));
    EXPECT_EQ(data.FocusedItemData, &data);
    // Deselecting drops the item focus.
    Log.clear();
    data.Deselect();
    EXPECT_EQ(Log, (std::vector<std::string>{"clear 3"}));
    EXPECT_EQ(data.FocusedItemNo, -1);
    EXPECT_EQ(data.FocusedItemData, nullptr);
    // Losing the layout drops it too.
    data.SetFocusedItem(1, &data, 1);
    data.ClearFormatting();
    EXPECT_EQ(data.FocusedItemNo, -1);
}

TEST_F(RDControlData, FocusRectanglesFrameTheFocusedItemsDrawItems)
{
    TRichDocRDData& data = Data();
    EXPECT_TRUE(data.FocusRects().empty());
    const QImage plain = Grab();
    data.SetFocusedItem(3, &data, 3);
    const std::vector<QRect> rects = data.FocusRects();
    ASSERT_EQ(rects.size(), 1u);
    const TRDDrawLineInfo& d = *data.DrawItems[data.FirstDrawItemOfItem(3)];
    EXPECT_EQ(rects[0], QRect(d.Left - 1, d.Top - 1, 32, 22));
    const QImage framed = Grab();
    // The frame is inverted page: dark dots on its edges, nothing inside or outside it.
    int dark = 0;
    for (int x = rects[0].left(); x <= rects[0].right(); ++x)
        dark += framed.pixel(x, rects[0].top()) != plain.pixel(x, rects[0].top());
    EXPECT_GE(dark, rects[0].width() / 3);
    const QRect inside = rects[0].adjusted(2, 2, -2, -2);
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            ASSERT_EQ(framed.pixel(x, y), plain.pixel(x, y));
    // An item that draws no frame: no rectangles.
    data.SetFocusedItem(2, &data, 2);
    EXPECT_TRUE(data.FocusRects().empty());
    // Drawing twice on the same canvas takes the frame off again.
    data.SetFocusedItem(4, &data, 4);
    QImage twice = plain.copy();
    {
        QPainter painter(&twice);
        TCanvas canvas(painter);
        data.DrawFocusRects(canvas);
        EXPECT_NE(twice, plain);
        data.DrawFocusRects(canvas);
    }
    EXPECT_EQ(twice, plain);
}

TEST_F(RDControlData, MoveFocusWalksTheItemsThatTakeIt)
{
    TRichDocRDData& data = Data();
    // Forward from nothing: boxes 1, 3, 4 (items 1, 3, 4), skipping box 2.
    data.MoveFocus(false, Doc);
    EXPECT_EQ(data.FocusedItemNo, 1);
    EXPECT_EQ(data.FocusedItemData, &data);
    // An item has the focus: a move without a source changes nothing.
    data.MoveFocus(false, nullptr);
    EXPECT_EQ(data.FocusedItemNo, 1);
    data.MoveFocus(false, Doc);
    EXPECT_EQ(data.FocusedItemNo, 3);
    data.MoveFocus(false, Doc);
    EXPECT_EQ(data.FocusedItemNo, 4);
    EXPECT_EQ(Log, (std::vector<std::string>{"focus 1", "clear 1", "focus 3", "clear 3", "focus 4"}));
    data.MoveFocus(true, Doc);
    EXPECT_EQ(data.FocusedItemNo, 3);
    // A skip asked for is taken once.
    data.State |= dsSkipFocusMove;
    data.MoveFocus(false, Doc);
    EXPECT_EQ(data.FocusedItemNo, 3);
    EXPECT_FALSE(data.State & dsSkipFocusMove);
    // A widget of another window is not followed.
    QLineEdit stranger;
    data.MoveFocus(false, &stranger);
    EXPECT_EQ(data.FocusedItemNo, 3);
}

TEST_F(RDControlData, PastTheLastItemTheTabOrderGoesOn)
{
    TRichDocRDData& data = Data();
    data.SetFocusedItem(4, &data, 4);
    data.MoveFocus(false, Doc);
    EXPECT_EQ(data.FocusedItemNo, -1);
    EXPECT_EQ(data.FocusedItemData, nullptr);
    EXPECT_EQ(Window.focusWidget(), After);
    data.SetFocusedItem(1, &data, 1);
    data.MoveFocus(true, Doc);
    EXPECT_EQ(Window.focusWidget(), Before);
}

TEST_F(RDControlData, WithoutFocusableItemsTheControlTakesTheFocus)
{
    Doc->ClearDocument();
    Doc->AddTextInNewParagraph(QStringLiteral("only text"), 0, 0);
    Doc->FormatDocument();
    Before->setFocus();
    Data().MoveFocus(false, Before);
    EXPECT_EQ(Window.focusWidget(), Doc);
    EXPECT_EQ(Data().FocusedItemNo, -1);
}

}  // namespace
