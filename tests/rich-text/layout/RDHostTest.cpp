// The host of a formatted document: a document without one formats, paints
// and takes every call that would reach its control; a host of the test's
// records what the document asks of it; a label's cursor reaches the
// viewer's widget.

#include <gtest/gtest.h>

#include <QtCore/QCoreApplication>
#include <QtGui/QCursor>
#include <QtGui/QImage>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtWidgets/QPushButton>

#include <algorithm>
#include <string>
#include <vector>

#include "Cursors.h"
#include "document/RDHost.h"
#include "document/RDTextItems.h"
#include "items/RDControlItems.h"
#include "items/RDLabelItems.h"
#include "RDLayoutTestSupport.h"
#include "styles/RDStyle.h"
#include "viewer/RDRichDoc.h"

namespace {

// Every call a document makes of its host, in order.
class TRecordingHost : public TRDHost {
public:
    std::vector<std::string> Calls;
    std::vector<QRect> Rects;
    std::vector<Qt::CursorShape> Cursors;
    std::vector<QWidget*> Inserted;
    bool Enabled = true;
    bool HasControls = false;
    bool FocusIn = false;

    void InvalidateRect(const QRect& rect) override
    {
        Calls.push_back("rect");
        Rects.push_back(rect);
    }
    void Invalidate() override { Calls.push_back("invalidate"); }
    void Repaint() override { Calls.push_back("repaint"); }
    void Update() override { Calls.push_back("update"); }
    bool UpdatesEnabled() const override { return Enabled; }
    void SetUpdatesEnabled(bool value) override
    {
        Calls.push_back(value ? "updates on" : "updates off");
        Enabled = value;
    }
    bool HasChildControls() const override { return HasControls; }
    void InsertControl(QWidget& control) override
    {
        Calls.push_back("insert");
        Inserted.push_back(&control);
        HasControls = true;
    }
    bool ChildHostOrigin(const TRDHost&, QPoint&) const override { return false; }
    QPoint ClientToScreen(const QPoint& point) const override { return point + QPoint(1000, 2000); }
    QPoint ScreenToClient(const QPoint& screen) const override { return screen - QPoint(1000, 2000); }
    void SetCursor(const QCursor& cursor) override
    {
        Calls.push_back("cursor");
        Cursors.push_back(cursor.shape());
    }
    bool Focused() const override { return FocusIn; }
    QWidget* EventControl() const override { return nullptr; }
};

// A layout document whose host is the test's (none when Host is nil), with
// the base's painting calls (the layout tests' document records them itself).
class THostedData : public TLayoutData {
public:
    using TLayoutData::TLayoutData;
    TRDHost* Host = nullptr;
    TRDHost* GetHost() override { return Host; }
    void InvalidateRect(const QRect& rect) override { TCustomRDFormattedData::InvalidateRect(rect); }
    void UpdateControl() override { TCustomRDFormattedData::UpdateControl(); }
    TColor GetColor() override { return clWhite; }
};

class RDHostTest : public ::testing::Test {
protected:
    RDHostTest()
    {
        Sheet.TextStyles().Items(0)->FontName = QStringLiteral("Liberation Sans");
        Doc.ClientWidth = 300;
        Doc.AddTextRawNoTag("first line of text", 0, 0);
        Label = new TRDLabelItemInfo(&Doc, QStringLiteral("label"), 0);
        Label->Cursor = crJump;
        Doc.AddItem("", Label);
        Button = new QPushButton;
        Button->resize(40, 20);
        Doc.AddItem("button", new TRDControlItemInfo(&Doc, Button, TRDItemVAlign::ivaBaseline));
    }

    // The document painted on a white image: whether any ink came out.
    bool PaintsInk()
    {
        QImage image(300, 200, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            TCanvas canvas(painter);
            Doc.PaintBackground(canvas, image.rect());
            Doc.PaintDocument(canvas, image.rect(), false, false, false, false);
        }
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) != 0xFFFFFFFF)
                    return true;
        return false;
    }
    // The point in the middle of the label (client coordinates).
    QPoint LabelCentre() const
    {
        const TRDDrawLineInfo* d = Doc.DrawItems[Label->FirstDrawItem];
        return QPoint(d->Left + d->Width / 2, d->Top + d->Height / 2);
    }

    TRDStyle Sheet;
    THostedData Doc{&Sheet};
    TRDLabelItemInfo* Label = nullptr;
    QPushButton* Button = nullptr;
};

TEST_F(RDHostTest, DocumentWithoutHostFormatsPaintsAndTakesTheControlsCalls)
{
    ASSERT_EQ(Doc.GetHost(), nullptr);
    Doc.Format();
    ASSERT_EQ(Doc.DrawItems.Count(), 3);
    EXPECT_TRUE(PaintsInk());
    EXPECT_EQ(Button->parentWidget(), nullptr);

    Doc.InvalidateRect(QRect(0, 0, 10, 10));
    Doc.InvalidateControl();
    Doc.RefreshControl();
    Doc.UpdateControl();
    Doc.SetCursor(crJump);
    Label->MouseMove(1, 1, 1, &Doc);
    const QPoint centre = LabelCentre();
    Doc.MouseMove(TRDShiftState{}, centre.x(), centre.y());
    Doc.MouseMove(TRDShiftState{}, 2, 150);
    QPoint moved;
    Doc.ClientToScreenPt(QPoint(3, 4), moved);
    EXPECT_EQ(moved, QPoint(3, 4));
    Doc.ScreenToClientPt(QPoint(5, 6), moved);
    EXPECT_EQ(moved, QPoint(5, 6));
    EXPECT_FALSE(Doc.IsControlFocused());
    EXPECT_EQ(Doc.DragSourceControl(), nullptr);
    QByteArray word;
    TCustomRDFormattedData* in = nullptr;
    int start = -1, itemNo = -1, style = -1;
    EXPECT_TRUE(Doc.GetWordAt(word, 8, in, start, itemNo, style, 10));
    EXPECT_EQ(word, QByteArray("first"));
}

TEST_F(RDHostTest, InvalidationPlacingAndCursorReachTheHost)
{
    TRecordingHost host;
    Doc.Host = &host;
    // The control of an item inserted now becomes a child of the host's.
    auto* late = new QPushButton;
    Doc.AddItem("late", new TRDControlItemInfo(&Doc, late, TRDItemVAlign::ivaBaseline));
    EXPECT_EQ(host.Inserted, std::vector<QWidget*>({late}));
    host.Calls.clear();

    // Placing the controls holds the host's updates and gives them back.
    Doc.Format();
    const std::vector<std::string> placing = {"updates off", "updates on"};
    EXPECT_TRUE(std::search(host.Calls.begin(), host.Calls.end(), placing.begin(), placing.end()) != host.Calls.end());
    EXPECT_TRUE(host.Enabled);
    EXPECT_TRUE(PaintsInk());

    host.Calls.clear();
    host.Rects.clear();
    Doc.InvalidateRect(QRect(1, 2, 3, 4));
    Doc.InvalidateControl();
    Doc.RefreshControl();
    Doc.UpdateControl();
    EXPECT_EQ(host.Calls, std::vector<std::string>({"rect", "invalidate", "repaint", "update"}));
    EXPECT_EQ(host.Rects, std::vector<QRect>({QRect(1, 2, 3, 4)}));

    // Cursors: of a number, the normal one, and a label's own over it.
    host.Cursors.clear();
    Doc.SetCursor(crJump);
    Doc.MouseMove(TRDShiftState{}, 2, 150);
    EXPECT_EQ(host.Cursors, std::vector<Qt::CursorShape>({ScreenCursor(crJump).shape(), Qt::ArrowCursor}));
    host.Cursors.clear();
    const QPoint centre = LabelCentre();
    Doc.MouseMove(TRDShiftState{}, centre.x(), centre.y());
    EXPECT_EQ(host.Cursors, std::vector<Qt::CursorShape>({Qt::PointingHandCursor}));

    QPoint moved;
    Doc.ClientToScreenPt(QPoint(3, 4), moved);
    EXPECT_EQ(moved, QPoint(1003, 2004));
    Doc.ScreenToClientPt(QPoint(1005, 2006), moved);
    EXPECT_EQ(moved, QPoint(5, 6));
    EXPECT_FALSE(Doc.IsControlFocused());
    host.FocusIn = true;
    EXPECT_TRUE(Doc.IsControlFocused());
}

// The label's cursor over a viewer shows on the viewer's widget.
TEST(RDHostViewerTest, LabelCursorShowsOnTheViewersWidget)
{
    TRDStyle sheet;
    sheet.TextStyles().Items(0)->FontName = QStringLiteral("Liberation Sans");
    TRichDoc viewer;
    viewer.SetStyle(&sheet);
    viewer.resize(300, 200);
    viewer.show();
    TRichDocRDData& data = *viewer.DocumentData();
    viewer.AddTextInNewParagraph(QStringLiteral("text"), 0, 0);
    auto* label = new TRDLabelItemInfo(&data, QStringLiteral("label"), 0);
    label->Cursor = crJump;
    data.AddItem("", label);
    viewer.FormatDocument();
    ASSERT_EQ(viewer.viewport()->cursor().shape(), Qt::ArrowCursor);

    label->MouseMove(1, 1, 1, &data);
    EXPECT_EQ(viewer.viewport()->cursor().shape(), Qt::PointingHandCursor);

    // So does it when the mouse moves over the label, and off it the normal cursor comes back.
    viewer.viewport()->setCursor(Qt::IBeamCursor);
    const TRDDrawLineInfo* d = data.DrawItems[label->FirstDrawItem];
    const QPoint over(d->Left + d->Width / 2 - data.GetHOffset(), d->Top + d->Height / 2 - data.GetVOffset());
    QMouseEvent move(QEvent::MouseMove, over, viewer.viewport()->mapToGlobal(over), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(viewer.viewport(), &move);
    EXPECT_EQ(viewer.viewport()->cursor().shape(), Qt::PointingHandCursor);
    const QPoint below(5, 190);
    QMouseEvent off(QEvent::MouseMove, below, viewer.viewport()->mapToGlobal(below), Qt::NoButton, Qt::NoButton,
                    Qt::NoModifier);
    QCoreApplication::sendEvent(viewer.viewport(), &off);
    EXPECT_EQ(viewer.viewport()->cursor().shape(), Qt::ArrowCursor);
}

} // namespace
