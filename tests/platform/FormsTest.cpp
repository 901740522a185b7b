#include "Forms.h"

#include "TestSupport.h"

#include <QtCore/QCoreApplication>
#include <QtGui/QMouseEvent>

#include <gtest/gtest.h>

TEST(Form, ShowModalReturnsTheModalResult)
{
    TForm form;
    WhenModalShown([&form](QWidget* modal) {
        EXPECT_EQ(modal, &form);
        form.SetModalResult(mrOk);
    });
    EXPECT_EQ(form.ShowModal(), mrOk);
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.IsModal());
}

TEST(Form, ClosingAModalFormGivesCancel)
{
    TForm form;
    bool closed = false;
    form.OnClose = [&closed] { closed = true; };
    WhenModalShown([](QWidget* modal) { modal->close(); });
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_TRUE(closed);
}

namespace {
void Mouse(QWidget* w, QEvent::Type type, QPoint at)
{
    QMouseEvent event(type, at, w->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &event);
}
}  // namespace

TEST(PaintBox, ClickIsALeftPressAndReleaseOverTheControl)
{
    TPaintBox box;
    box.resize(20, 20);
    QStringList order;
    box.OnClick = [&order] { order << QStringLiteral("click"); };
    box.OnMouseUp = [&order](TMouseButton, Qt::KeyboardModifiers, int, int) { order << QStringLiteral("up"); };

    Mouse(&box, QEvent::MouseButtonPress, QPoint(5, 5));
    Mouse(&box, QEvent::MouseButtonRelease, QPoint(6, 6));
    EXPECT_EQ(order, QStringList({QStringLiteral("click"), QStringLiteral("up")}));

    order.clear();
    Mouse(&box, QEvent::MouseButtonPress, QPoint(5, 5));
    Mouse(&box, QEvent::MouseButtonRelease, QPoint(40, 5));  // released outside
    EXPECT_EQ(order, QStringList({QStringLiteral("up")}));
}

TEST(PaintBox, AlignedToClientFollowsItsParent)
{
    QWidget parent;
    parent.resize(30, 40);
    auto* box = new TPaintBox(&parent);
    box->SetAlignClient(true);
    EXPECT_EQ(box->geometry(), QRect(0, 0, 30, 40));
    parent.show();
    parent.resize(50, 60);
    EXPECT_EQ(box->size(), QSize(50, 60));
}
