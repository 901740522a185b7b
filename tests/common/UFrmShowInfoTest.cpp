#include "UFrmShowInfo.h"

#include "ApplicationException.h"
#include "UFrmModel.h"
#include "UPiboComponent.h"

#include "TestSupport.h"

#include <QtCore/QThread>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>

#include <gtest/gtest.h>

#include <thread>

namespace {

// A text exactly `target` pixels wide in the box's font: Chinese characters
// topped up with up to three narrow ones.
QString TextOfWidth(int target)
{
    const TFont font;
    const QString fillers = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789 .,;:!il|ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    QString base;
    while (TextWidthOf(font, base + QStringLiteral("中")) <= target)
        base += QStringLiteral("中");
    for (; !base.isEmpty(); base.chop(1)) {
        for (const QChar a : fillers)
            for (const QChar b : fillers)
                for (const QChar c : fillers) {
                    for (const QString& text : {base + a, base + a + b, base + a + b + c})
                        if (TextWidthOf(font, text) == target)
                            return text;
                }
    }
    return base;
}

class ShowInfoTest : public ::testing::Test {};

TEST_F(ShowInfoTest, ReturnsAfterOkAndAfterCloseWithResultOne)
{
    for (const char* button : {"psbOk", "psbClose"}) {
        SCOPED_TRACE(button);
        QString shownText;
        WhenModalShown([&](QWidget* modal) {
            auto* form = qobject_cast<TFrmShowInfo*>(modal);
            ASSERT_NE(form, nullptr);
            shownText = form->labInfo->text();
            form->findChild<TPiboSpeedButton*>(QString::fromLatin1(button))->PerformClick();
        });
        ShowInfo(QStringLiteral("保存成功！"));
        EXPECT_EQ(shownText, QStringLiteral("保存成功！"));
        ProcessEvents();
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        for (QWidget* window : QApplication::topLevelWidgets())
            EXPECT_EQ(qobject_cast<TFrmShowInfo*>(window), nullptr) << "the box outlives ShowInfo";

        TFrmShowInfo form;
        WhenModalShown([button](QWidget* modal) {
            modal->findChild<TPiboSpeedButton*>(QString::fromLatin1(button))->PerformClick();
        });
        EXPECT_EQ(form.ShowModal(), mrOk);
    }
}

TEST_F(ShowInfoTest, WidensForLongTextsAndKeepsButtonsInPlace)
{
    struct Case {
        int textWidth;
        int formWidth;
        int okLeft;
        int closeLeft;
    };
    const Case cases[] = {
        {100, 255, 93, 229},
        {150, 255, 93, 229},
        {153, 258, 90, 258 - 16 - 10},  // (258 - 79) / 2 = 89.5 goes to the even 90
        {250, 355, (355 - 79) / 2, 355 - 16 - 10},
    };
    for (const Case& c : cases) {
        const QString text = TextOfWidth(c.textWidth);
        ASSERT_EQ(TextWidthOf(TFont(), text), c.textWidth) << "no text of that width in this font";
        SCOPED_TRACE(c.textWidth);
        QRect ok, close, info, rightCap, rightBorder;
        int width = 0;
        WhenModalShown([&](QWidget* modal) {
            auto* form = qobject_cast<TFrmShowInfo*>(modal);
            ASSERT_NE(form, nullptr);
            width = form->width();
            ok = form->psbOk->geometry();
            close = form->psbClose->geometry();
            info = form->labInfo->geometry();
            rightCap = form->imaTopRight->geometry();
            rightBorder = form->Shape3->geometry();
            form->psbOk->PerformClick();
        });
        ShowInfo(text);
        EXPECT_EQ(width, c.formWidth);
        EXPECT_EQ(ok, QRect(c.okLeft, 94, 79, 23));
        EXPECT_EQ(close, QRect(c.closeLeft, 5, 16, 16));
        EXPECT_EQ(info, QRect(75, 59, c.textWidth, TextHeightOf(TFont(), text)));
        EXPECT_EQ(rightCap.right() + 1, c.formWidth);
        EXPECT_EQ(rightBorder, QRect(c.formWidth - 1, 0, 1, 135));
    }
}

// The handler both programs install: a failure on a worker thread is shown
// with the information box, on the GUI thread, once the worker has posted it.
TEST_F(ShowInfoTest, WorkerThreadFailuresAreShownOnTheGuiThread)
{
    TShowInfoExceptionHandler handler;
    QString shownText;
    bool onGuiThread = false;
    WhenModalShown([&](QWidget* modal) {
        auto* form = qobject_cast<TFrmShowInfo*>(modal);
        ASSERT_NE(form, nullptr);
        shownText = form->labInfo->text();
        onGuiThread = QThread::currentThread() == qApp->thread();
        form->psbOk->PerformClick();
    });
    std::thread worker([] { HandleApplicationException(QStringLiteral("WaveOutWrite: failed")); });
    worker.join();  // returned at once: the message waits on the GUI thread
    EXPECT_TRUE(shownText.isEmpty());
    ProcessEvents();
    EXPECT_EQ(shownText, QStringLiteral("WaveOutWrite: failed"));
    EXPECT_TRUE(onGuiThread);
}

// The box is closed from the keyboard as well: Enter (either key), Esc and
// Space on the button that has the focus (OK when the box opens).
TEST_F(ShowInfoTest, EnterEscAndSpaceCloseTheBox)
{
    const struct {
        const char* name;
        Qt::Key key;
    } cases[] = {{"Return", Qt::Key_Return}, {"Enter", Qt::Key_Enter}, {"Esc", Qt::Key_Escape}, {"Space", Qt::Key_Space}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bool okHadFocus = false;
        bool closed = false;
        WhenModalShown([&](QWidget* modal) {
            auto* form = qobject_cast<TFrmShowInfo*>(modal);
            ASSERT_NE(form, nullptr);
            QApplication::setActiveWindow(form);  // as the window manager does
            okHadFocus = form->psbOk->hasFocus();
            QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : form;
            QTest::keyClick(target, c.key);
            closed = form->ModalResult() != mrNone;
            if (!closed)
                form->psbOk->PerformClick();
        });
        TFrmShowInfo form;
        EXPECT_EQ(form.ShowModal(), mrOk);
        EXPECT_TRUE(okHadFocus);
        EXPECT_TRUE(closed);
    }
}

}  // namespace
