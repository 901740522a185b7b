// The start page offline and online (against a local HTTP server), the
// browser host's switches, and the filters of the open dialog.

#include "FileDialogs.h"
#include "TestHttpServer.h"
#include "UFrmIni.h"
#include "UFrmMain.h"
#include "UFrmModel.h"
#include "UWebLinks.h"
#include "WindowsTestSupport.h"
#include "quorWebBrowser.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QTimer>
#include <QtGui/QContextMenuEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>
#include <QtWidgets/QScrollBar>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

void RightClick(TquorWebBrowserUI* browser)
{
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10), browser->viewport()->mapToGlobal(QPoint(10, 10)));
    QCoreApplication::sendEvent(browser->viewport(), &event);
}

class StartPageTest : public ::testing::Test {
protected:
    TWindowTestEnvironment Env;
};

TEST_F(StartPageTest, OfflineTheLinkLabelsShowAndNoBrowser)
{
    TFrmMain main;
    main.show();
    auto* page = qobject_cast<TFrmIni*>(main.Screen(QStringLiteral("FrmIni")));
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(WaitFor([page] { return page->ShowFinished(); }));
    EXPECT_FALSE(page->BrowserShown());
    EXPECT_FALSE(page->quorWebBrowserUI1->isVisible());
    EXPECT_TRUE(page->Image1->isVisible());
    EXPECT_TRUE(page->Panel1->isVisible());
    ASSERT_EQ(page->Links.size(), 21);
    QList<int> tags;
    for (TLinkLabel* label : page->Links) {
        EXPECT_TRUE(label->isVisible()) << label->text().toStdString();
        EXPECT_FALSE(LinkAddress(StartPageLinkGroups(), label->Tag).isEmpty());
        tags << label->Tag;
    }
    EXPECT_EQ(tags.mid(0, 3), (QList<int>{1, 2, 20}));
    EXPECT_EQ(tags.last(), 57);
    EXPECT_EQ(LinkAddress(StartPageLinkGroups(), 1), LinkAddress(StartPageLinkGroups(), 2));
    EXPECT_TRUE(LinkAddress(StartPageLinkGroups(), 40).isEmpty());

    page->Label1MouseMove(page->Links.at(4));
    EXPECT_EQ(page->Links.at(4)->FontColor(), clRed);
    EXPECT_EQ(page->Links.at(3)->FontColor(), TFrmIni::LinkColor);
    page->Label1MouseLeave();
    EXPECT_EQ(page->Links.at(4)->FontColor(), TFrmIni::LinkColor);
}

TEST_F(StartPageTest, OnlineThePageFillsTheStartPageWithoutAContextMenu)
{
    TTestHttpServer server;
    server.Serve(QStringLiteral("/start/"),
                 QByteArray("<html><body><p>Welcome to the study room</p><a href=\"more.html\">more</a></body></html>"));
    SetStartPageAddress(server.BaseUrl() + QStringLiteral("/start/"));
    TFrmIni page;
    page.resize(820, 566);
    page.show();
    ASSERT_TRUE(WaitFor([&page] { return page.ShowFinished(); }));
    ASSERT_TRUE(page.BrowserShown());
    TquorWebBrowserUI* browser = page.quorWebBrowserUI1;
    ASSERT_TRUE(WaitFor([browser] { return !browser->Busy(); }));
    EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("Welcome to the study room")));
    EXPECT_TRUE(browser->isVisible());
    EXPECT_FALSE(page.Image1->isVisible());
    EXPECT_FALSE(page.Panel1->isVisible());
    EXPECT_EQ(browser->geometry(), page.rect());
    EXPECT_EQ(browser->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(browser->frameShape(), QFrame::NoFrame);
    EXPECT_TRUE(browser->UIProperties().FlatScrollBars());

    RightClick(browser);
    EXPECT_FALSE(browser->ContextMenuShown());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_EQ(server.Requests, QStringList{QStringLiteral("/start/")});
}

TEST_F(StartPageTest, TheBrowserHostSwitches)
{
    TquorWebBrowserUI browser;
    browser.resize(200, 100);
    browser.show();
    // Defaults: the browser's own menu, scroll bars and frame.
    EXPECT_TRUE(browser.UIProperties().ScrollBars());
    EXPECT_TRUE(browser.UIProperties().RightPopupMenu());
    EXPECT_TRUE(browser.UIProperties().Border3DStyle());
    EXPECT_FALSE(browser.UIProperties().ShowMsgBox());
    EXPECT_EQ(browser.verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    EXPECT_NE(browser.frameShape(), QFrame::NoFrame);
    RightClick(&browser);
    EXPECT_TRUE(browser.ContextMenuShown());
    QWidget* menu = QApplication::activePopupWidget();
    ASSERT_NE(menu, nullptr);
    EXPECT_NE(qobject_cast<QMenu*>(menu), nullptr);
    menu->close();
    ProcessEvents();

    // Switched off: the host's method answers, with -1.
    QList<int> modes;
    browser.UIProperties().SetRightPopupMenu(false);
    browser.PopupMenuMethod = [&modes](std::int32_t mode) {
        modes << mode;
        return 0;
    };
    RightClick(&browser);
    EXPECT_FALSE(browser.ContextMenuShown());
    EXPECT_EQ(modes, QList<int>{-1});

    browser.UIProperties().SetScrollBars(false);
    browser.UIProperties().SetBorder3DStyle(false);
    EXPECT_EQ(browser.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(browser.frameShape(), QFrame::NoFrame);
}

TEST_F(StartPageTest, APageThatDoesNotComeLeavesTheBrowserEmpty)
{
    TTestHttpServer server;
    server.Stall(QStringLiteral("/slow"), QByteArray(1000, 'x'), 10);
    TquorWebBrowserUI browser;
    browser.NavigateTimeoutMs = 300;
    QList<bool> results;
    browser.OnDocumentComplete = [&results](bool ok) { results << ok; };
    browser.Navigate(QUrl(server.BaseUrl() + QStringLiteral("/missing")));
    ASSERT_TRUE(WaitFor([&results] { return results.size() == 1; }));
    browser.Navigate(QUrl(server.BaseUrl() + QStringLiteral("/slow")));
    ASSERT_TRUE(WaitFor([&results] { return results.size() == 2; }));
    EXPECT_EQ(results, (QList<bool>{false, false}));
    EXPECT_TRUE(browser.toPlainText().isEmpty());
}

TEST(FileDialogs, LayoutFiltersBecomeNameFilters)
{
    const struct {
        const char* Filter;
        QStringList Expected;
    } cases[] = {
        {"皮博音频课件(*.pibo)|*.pibo", {QStringLiteral("皮博音频课件(*.pibo) (*.pibo)")}},
        {"音频文件(*.wav,*.mp3)|*.wav;*.mp3|wav(*.wav)|*.wav",
         {QStringLiteral("音频文件(*.wav,*.mp3) (*.wav *.mp3)"), QStringLiteral("wav(*.wav) (*.wav)")}},
        {"all files", {QStringLiteral("all files (*)")}},
        {"", {}},
        {"|*.x|text|", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Filter);
        EXPECT_EQ(NameFiltersOf(QString::fromUtf8(c.Filter)), c.Expected);
    }
}

TEST(FileDialogs, CancelKeepsTheFileNameAndOpenSetsIt)
{
    TTestProgramFolder folder;
    const QString file = folder.File(QStringLiteral("audio/lesson.pibo"));
    QFile(file).open(QIODevice::WriteOnly);
    TOpenDialog dialog;
    dialog.Filter = QStringLiteral("皮博音频课件(*.pibo)|*.pibo");
    dialog.FileName = QStringLiteral("before");
    TDialogRecorder dialogs;
    dialogs.Files << QString() << file;
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(dialog.FileName, QStringLiteral("before"));
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.FileName, file);
    EXPECT_EQ(dialogs.FileDialogs, 2);
}

}  // namespace
