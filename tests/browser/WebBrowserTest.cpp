// The browser host with the real web engine, against pages of a local HTTP
// server: the start page online, the host's answers to the page (its scripts
// run, its message boxes and script errors show nothing, the context menu
// follows the switches), the scroll bars and frame of the switches, pages that
// fail, and windows the page asks for.

#include "TestHttpServer.h"
#include "TestSupport.h"
#include "UFrmIni.h"
#include "UFrmModel.h"
#include "UWebLinks.h"
#include "quorWebBrowser.h"

#include <QtCore/QObject>
#include <QtGui/QDesktopServices>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

// Records the addresses the desktop's browser was asked to open.
class TUrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> Opened;
public slots:
    void Open(const QUrl& url) { Opened << url; }
};

namespace {

// The engine starts its processes on the first page: waits are generous; the
// deadline only guards against a hang. The browsers under test give their
// pages as long (the time-out has a case of its own).
constexpr int HangGuardMs = 90000;

bool WaitUntil(const std::function<bool()>& condition)
{
    return RunEventsUntil(condition, HangGuardMs);
}

// A page takes no input before it first shows its content: the pages the
// tests click say "painted" then (through a message box of the host).
const char PaintedReport[] = R"(<script>
  new PerformanceObserver(function (list) {
    if (list.getEntriesByName('first-contentful-paint').length)
      alert('painted');
  }).observe({type: 'paint', buffered: true});
</script>)";

// What the host received from the engine.
struct TBrowserLog {
    QList<bool> Completed;
    QStringList Messages;  // "kind: text", apart from the paint reports
    int Painted = 0;       // paint reports

    explicit TBrowserLog(TquorWebBrowserUI& browser)
    {
        browser.OnDocumentComplete = [this](bool ok) { Completed << ok; };
        browser.OnShowMessage = [this](const QString& kind, const QString& text) {
            if (kind == QLatin1String("alert") && text == QLatin1String("painted"))
                ++Painted;
            else
                Messages << kind + QStringLiteral(": ") + text;
        };
    }
    bool WaitCompleted(int count) { return WaitUntil([this, count] { return Completed.size() >= count; }); }
    bool WaitMessages(int count) { return WaitUntil([this, count] { return Messages.size() >= count; }); }
    bool WaitPainted(int count) { return WaitUntil([this, count] { return Painted >= count; }); }
    // The text of the last message that starts with prefix.
    QString Last(const QString& prefix) const
    {
        for (qsizetype i = Messages.size() - 1; i >= 0; --i)
            if (Messages.at(i).startsWith(prefix))
                return Messages.at(i).mid(prefix.size());
        return QString();
    }
};

// The widget of the engine that takes the mouse.
QWidget* PageInput(const TquorWebBrowserUI& browser)
{
    QWidget* view = browser.EngineView();
    if (!view)
        return nullptr;
    return view->focusProxy() ? view->focusProxy() : view;
}

// Clicks the page where it is drawn, at its centre.
void ClickPage(const TquorWebBrowserUI& browser, Qt::MouseButton button)
{
    QWidget* input = PageInput(browser);
    ASSERT_NE(input, nullptr);
    ASSERT_TRUE(input->isVisible());
    ASSERT_GT(input->width(), 0);
    QTest::mouseClick(input, button, Qt::NoModifier, input->rect().center());
}

// The page's scripts report through message boxes: the text after a script
// of its own changed it, the width of the vertical scroll bar, the answer of
// a confirmation. A script error and a call of a host object that does not
// exist come first and stop nothing.
QByteArray ReportingPage(const char* title)
{
    return QByteArray(R"(<!DOCTYPE html><html><head><meta charset="utf-8"><title>as served</title></head>
<body style="margin:0">
<p id="note">written by the server</p>
<div style="width:3000px;height:3000px">tall and wide</div>
<script>
  document.getElementById('note').textContent = 'changed by a script';
  document.title = ')") + title + R"(';
</script>
<script>noSuchFunction();</script>
<script>window.external.ShowHelp('help.htm');</script>
<script>
  window.addEventListener('load', function () {
    alert('note ' + document.getElementById('note').textContent);
    alert('bar ' + (window.innerWidth - document.documentElement.clientWidth));
    var answer = confirm('go on?');
    alert('answer ' + answer);
  });
</script>
)" + PaintedReport + R"(
</body></html>)";
}

// Windows of the program that show, apart from the one under test.
QList<QWidget*> OtherVisibleWindows(const QWidget* own)
{
    QList<QWidget*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget != own && widget->isVisible())
            windows << widget;
    return windows;
}

class WebBrowserTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { TquorWebBrowserUI::SetEngineModule(QStringLiteral(PIBO_WEBENGINE_MODULE)); }
    void TearDown() override { SetStartPageAddress(QString()); }

    TTestHttpServer Server;
};

TEST_F(WebBrowserTest, OnlineTheStartPageRunsThePagesScriptsAndShowsNoBoxOrMenu)
{
    ASSERT_TRUE(TquorWebBrowserUI::EngineAvailable());
    Server.ServePage(QStringLiteral("/start/"), ReportingPage("start page of the test"));
    SetStartPageAddress(Server.BaseUrl() + QStringLiteral("/start/"));
    TFrmIni page;
    page.quorWebBrowserUI1->NavigateTimeoutMs = HangGuardMs;
    page.resize(820, 566);
    page.show();
    ASSERT_TRUE(WaitUntil([&page] { return page.ShowFinished(); }));
    ASSERT_TRUE(page.BrowserShown());
    TquorWebBrowserUI* browser = page.quorWebBrowserUI1;
    TBrowserLog log(*browser);
    ASSERT_TRUE(log.WaitCompleted(1));
    ASSERT_TRUE(log.WaitMessages(4));
    ASSERT_TRUE(log.WaitPainted(1));

    EXPECT_EQ(log.Completed, QList<bool>{true});
    EXPECT_FALSE(browser->Busy());
    EXPECT_EQ(log.Messages, (QStringList{QStringLiteral("alert: note changed by a script"),
                                         QStringLiteral("alert: bar 0"), QStringLiteral("confirm: go on?"),
                                         QStringLiteral("alert: answer false")}));
    EXPECT_EQ(browser->LocationName(), QStringLiteral("start page of the test"));
    EXPECT_EQ(browser->LocationURL(), QUrl(Server.BaseUrl() + QStringLiteral("/start/")));
    EXPECT_TRUE(Server.Requests.contains(QStringLiteral("/start/")));

    // The web page fills the start page, without the header and the bottom
    // panel, without a frame; no message box came up.
    EXPECT_TRUE(browser->isVisible());
    EXPECT_EQ(browser->geometry(), page.rect());
    EXPECT_EQ(browser->EngineView()->geometry(), browser->rect());
    EXPECT_FALSE(page.Image1->isVisible());
    EXPECT_FALSE(page.Panel1->isVisible());
    EXPECT_EQ(browser->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(OtherVisibleWindows(&page).isEmpty());

    // A right click in the page reaches the host, which shows no menu.
    ClickPage(*browser, Qt::RightButton);
    ASSERT_TRUE(WaitUntil([browser] { return browser->ContextMenuRequests() == 1; }));
    EXPECT_FALSE(browser->ContextMenuShown());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_TRUE(OtherVisibleWindows(&page).isEmpty());
}

TEST_F(WebBrowserTest, TheSwitchesDecideTheMenuTheScrollBarsAndTheFrame)
{
    Server.ServePage(QStringLiteral("/page"), ReportingPage("switches"));
    const QUrl address(Server.BaseUrl() + QStringLiteral("/page"));
    TquorWebBrowserUI browser;
    browser.NavigateTimeoutMs = HangGuardMs;
    TBrowserLog log(browser);
    browser.resize(500, 400);
    browser.show();
    // Defaults: the browser's own menu, normal scroll bars, a frame.
    EXPECT_TRUE(browser.UIProperties().RightPopupMenu());
    EXPECT_TRUE(browser.UIProperties().ScrollBars());
    EXPECT_FALSE(browser.UIProperties().FlatScrollBars());
    EXPECT_NE(browser.frameShape(), QFrame::NoFrame);
    EXPECT_EQ(browser.EngineView(), nullptr);  // made with the first page

    browser.Navigate(address);
    ASSERT_TRUE(log.WaitCompleted(1));
    ASSERT_TRUE(log.WaitMessages(4));
    ASSERT_TRUE(log.WaitPainted(1));
    EXPECT_EQ(log.Completed, QList<bool>{true});
    const int normalBar = log.Last(QStringLiteral("alert: bar ")).toInt();
    EXPECT_GT(normalBar, 0);

    ClickPage(browser, Qt::RightButton);
    ASSERT_TRUE(WaitUntil([&browser] { return browser.ContextMenuRequests() == 1; }));
    EXPECT_TRUE(browser.ContextMenuShown());
    ASSERT_TRUE(WaitUntil([] { return QApplication::activePopupWidget() != nullptr; }));
    EXPECT_NE(qobject_cast<QMenu*>(QApplication::activePopupWidget()), nullptr);
    QApplication::activePopupWidget()->close();
    ASSERT_TRUE(WaitUntil([] { return QApplication::activePopupWidget() == nullptr; }));

    // Switched off: the host's method answers with -1; 0 means it did the
    // work and no menu shows, any other answer lets the browser show its own.
    QList<int> modes;
    std::int32_t answer = 0;
    browser.UIProperties().SetRightPopupMenu(false);
    browser.PopupMenuMethod = [&modes, &answer](std::int32_t mode) {
        modes << mode;
        return answer;
    };
    ClickPage(browser, Qt::RightButton);
    ASSERT_TRUE(WaitUntil([&browser] { return browser.ContextMenuRequests() == 2; }));
    EXPECT_EQ(modes, QList<int>{-1});
    EXPECT_FALSE(browser.ContextMenuShown());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    answer = 1;
    ClickPage(browser, Qt::RightButton);
    ASSERT_TRUE(WaitUntil([&browser] { return browser.ContextMenuRequests() == 3; }));
    EXPECT_EQ(modes, (QList<int>{-1, -1}));
    EXPECT_TRUE(browser.ContextMenuShown());
    ASSERT_TRUE(WaitUntil([] { return QApplication::activePopupWidget() != nullptr; }));
    QApplication::activePopupWidget()->close();

    // Flat scroll bars are the host's own, narrower than the engine's.
    browser.UIProperties().SetFlatScrollBars(true);
    browser.Navigate(address);
    ASSERT_TRUE(log.WaitCompleted(2));
    ASSERT_TRUE(log.WaitMessages(8));
    EXPECT_EQ(log.Last(QStringLiteral("alert: bar ")).toInt(), 12);

    browser.UIProperties().SetScrollBars(false);
    browser.Navigate(address);
    ASSERT_TRUE(log.WaitCompleted(3));
    ASSERT_TRUE(log.WaitMessages(12));
    EXPECT_EQ(log.Last(QStringLiteral("alert: bar ")).toInt(), 0);
    EXPECT_EQ(log.Completed, (QList<bool>{true, true, true}));

    browser.UIProperties().SetBorder3DStyle(false);
    EXPECT_EQ(browser.frameShape(), QFrame::NoFrame);
    EXPECT_EQ(browser.EngineView()->geometry(), browser.rect());
}

TEST_F(WebBrowserTest, APageThatDoesNotComeLeavesTheBrowserEmpty)
{
    Server.Stall(QStringLiteral("/slow"), QByteArray(1000, 'x'), 10);
    Server.ServePage(QStringLiteral("/good"), QByteArray("<html><head><title>good</title></head><body>ok</body></html>"));
    TquorWebBrowserUI browser;
    TBrowserLog log(browser);
    browser.resize(300, 200);
    browser.show();
    const struct {
        QString Address;
        int TimeoutMs;
    } cases[] = {
        {Server.BaseUrl() + QStringLiteral("/missing"), HangGuardMs},  // 404
        {Server.BaseUrl() + QStringLiteral("/slow"), 500},             // the time-out
        {QStringLiteral("http://127.0.0.1:1/"), HangGuardMs},          // nobody answers
    };
    int count = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Address.toStdString());
        browser.NavigateTimeoutMs = c.TimeoutMs;
        browser.Navigate(QUrl(c.Address));
        EXPECT_TRUE(browser.Busy());
        ASSERT_TRUE(log.WaitCompleted(++count));
        EXPECT_FALSE(log.Completed.last());
        EXPECT_FALSE(browser.Busy());
        EXPECT_EQ(browser.LocationName(), QString());
        EXPECT_EQ(browser.LocationURL(), QUrl(c.Address));
    }
    EXPECT_TRUE(Server.Requests.contains(QStringLiteral("/missing")));
    EXPECT_TRUE(Server.Requests.contains(QStringLiteral("/slow")));
    // The browser goes on working.
    browser.NavigateTimeoutMs = HangGuardMs;
    browser.Navigate(QUrl(Server.BaseUrl() + QStringLiteral("/good")));
    ASSERT_TRUE(log.WaitCompleted(++count));
    EXPECT_TRUE(log.Completed.last());
    EXPECT_EQ(browser.LocationName(), QStringLiteral("good"));
    EXPECT_EQ(log.Completed.size(), count);
}

TEST_F(WebBrowserTest, AWindowThePageAsksForOpensInTheDesktopsBrowser)
{
    const QString other = Server.BaseUrl() + QStringLiteral("/other");
    const QByteArray links = QByteArray(R"(<html><body style="margin:0"><a href=")") + other.toUtf8() +
                             R"(" target="_blank" style="position:absolute;left:0;top:0;width:100%;height:100%">more</a>)" +
                             PaintedReport + "</body></html>";
    Server.ServePage(QStringLiteral("/links"), links);
    TUrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &recorder, "Open");
    TquorWebBrowserUI browser;
    browser.NavigateTimeoutMs = HangGuardMs;
    TBrowserLog log(browser);
    browser.resize(300, 200);
    browser.show();
    browser.Navigate(QUrl(Server.BaseUrl() + QStringLiteral("/links")));
    ASSERT_TRUE(log.WaitCompleted(1));
    ASSERT_TRUE(log.Completed.last());
    ASSERT_TRUE(log.WaitPainted(1));
    ClickPage(browser, Qt::LeftButton);
    const bool opened = WaitUntil([&recorder] { return !recorder.Opened.isEmpty(); });
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    ASSERT_TRUE(opened);
    EXPECT_EQ(recorder.Opened, QList<QUrl>{QUrl(other)});
    // The page itself stays.
    EXPECT_EQ(browser.LocationURL(), QUrl(Server.BaseUrl() + QStringLiteral("/links")));
}

}  // namespace

#include "WebBrowserTest.moc"
