// The start page offline, and online where no web engine can run (the
// engine's own tests are in browser_tests), and the filters of the open
// dialog.

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
#include <QtWidgets/QApplication>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

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

TEST_F(StartPageTest, OnlineWithoutAWebEngineTheLinkLabelsShow)
{
    // This test program has no engine module beside it: online, the page
    // shows as offline (the engine's own tests run in browser_tests).
    TTestHttpServer server;
    server.Serve(QStringLiteral("/start/"), QByteArray("<html><body>Welcome</body></html>"));
    SetStartPageAddress(server.BaseUrl() + QStringLiteral("/start/"));
    EXPECT_FALSE(TquorWebBrowserUI::EngineAvailable());
    TFrmIni page;
    page.resize(820, 566);
    page.show();
    ASSERT_TRUE(WaitFor([&page] { return page.ShowFinished(); }));
    EXPECT_FALSE(page.BrowserShown());
    EXPECT_FALSE(page.quorWebBrowserUI1->isVisible());
    EXPECT_EQ(page.quorWebBrowserUI1->EngineView(), nullptr);
    EXPECT_TRUE(page.Image1->isVisible());
    EXPECT_TRUE(page.Panel1->isVisible());
    for (TLinkLabel* label : page.Links)
        EXPECT_TRUE(label->isVisible()) << label->text().toStdString();
    // The connection test asked for nothing.
    EXPECT_TRUE(server.Requests.isEmpty());
}

TEST_F(StartPageTest, WithoutAWebEngineANavigationFailsAndTheSwitchesStillHold)
{
    TquorWebBrowserUI browser;
    browser.resize(200, 100);
    browser.show();
    EXPECT_NE(browser.frameShape(), QFrame::NoFrame);
    QList<bool> results;
    browser.OnDocumentComplete = [&results](bool ok) { results << ok; };
    browser.Navigate(QUrl(QStringLiteral("http://127.0.0.1:1/")));
    EXPECT_TRUE(browser.Busy());
    EXPECT_TRUE(results.isEmpty());  // reported from the event loop
    ASSERT_TRUE(WaitFor([&results] { return !results.isEmpty(); }));
    EXPECT_EQ(results, QList<bool>{false});
    EXPECT_FALSE(browser.Busy());
    EXPECT_EQ(browser.EngineView(), nullptr);
    EXPECT_EQ(browser.LocationURL(), QUrl(QStringLiteral("http://127.0.0.1:1/")));
    browser.UIProperties().SetBorder3DStyle(false);
    EXPECT_EQ(browser.frameShape(), QFrame::NoFrame);
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
