// The web engine behind the browser host: Qt WebEngine, built as the module
// libpibo_webengine.so that the host loads on first use (quorBrowserEngine.h).
// The host's answers become the engine's settings here: the context menu goes
// through the host, script message boxes and script errors show nothing, the
// scroll bars follow the host's switches, new windows go to the host.

#include "quorBrowserEngine.h"

#include <QtCore/QByteArray>
#include <QtCore/QLoggingCategory>
#include <QtCore/QPointer>
#include <QtGui/QContextMenuEvent>
#include <QtGui/QOpenGLContext>
#include <QtWebEngineCore/QWebEngineLoadingInfo>
#include <QtWebEngineCore/QWebEngineNewWindowRequest>
#include <QtWebEngineCore/QWebEnginePage>
#include <QtWebEngineCore/QWebEngineProfile>
#include <QtWebEngineCore/QWebEngineScript>
#include <QtWebEngineCore/QWebEngineScriptCollection>
#include <QtWebEngineCore/QWebEngineSettings>
#include <QtWebEngineWidgets/QWebEngineView>

#include <unistd.h>

namespace QtWebEngineCore {
// Makes the OpenGL context that the engine shares with the windows of the
// program. Qt runs it by itself when the engine's libraries are there before
// the application object; this module comes later, so it runs it here.
Q_DECL_IMPORT void initialize();
}  // namespace QtWebEngineCore

namespace {

constexpr char FlatScrollBarsScript[] = "pibo-flat-scroll-bars";

// Flat scroll bars: plain colours, no arrow buttons, no 3-D edges.
const char FlatScrollBarsSource[] = R"((function () {
  var style = document.createElement('style');
  style.textContent =
    '::-webkit-scrollbar { width: 12px; height: 12px; background: #f4f4f4; }' +
    '::-webkit-scrollbar-thumb { background: #c8c8c8; border: none; border-radius: 0; }' +
    '::-webkit-scrollbar-thumb:hover { background: #a8a8a8; }' +
    '::-webkit-scrollbar-button { display: none; }' +
    '::-webkit-scrollbar-corner { background: #f4f4f4; }';
  (document.head || document.documentElement).appendChild(style);
})();)";

class TquorEnginePage : public QWebEnginePage {
public:
    TquorEnginePage(QWebEngineProfile* profile, TquorEngineHost* host, QObject* parent)
        : QWebEnginePage(profile, parent), FHost(host)
    {
    }

protected:
    // The page's message boxes reach the host; the engine shows none.
    void javaScriptAlert(const QUrl&, const QString& text) override
    {
        FHost->EngineScriptMessage(QStringLiteral("alert"), text);
    }
    bool javaScriptConfirm(const QUrl&, const QString& text) override
    {
        FHost->EngineScriptMessage(QStringLiteral("confirm"), text);
        return false;
    }
    bool javaScriptPrompt(const QUrl&, const QString& text, const QString&, QString*) override
    {
        FHost->EngineScriptMessage(QStringLiteral("prompt"), text);
        return false;
    }
    // Script errors show no dialog and write nothing; the page's scripts run on.
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) override {}

private:
    TquorEngineHost* FHost;
};

class TquorEngineView : public QWebEngineView {
public:
    TquorEngineView(TquorEngineHost* host, QWidget* parent) : QWebEngineView(parent), FHost(host) {}

protected:
    void contextMenuEvent(QContextMenuEvent* event) override
    {
        // Only a request of the page has a menu to build.
        if (!lastContextMenuRequest()) {
            event->accept();
            return;
        }
        if (FHost->EngineContextMenu())
            QWebEngineView::contextMenuEvent(event);
        else
            event->accept();
    }

private:
    TquorEngineHost* FHost;
};

class TquorWebEngine : public TquorBrowserEngine {
public:
    TquorWebEngine(QWidget* parent, TquorEngineHost* host) : FHost(host)
    {
        // A page of its own: nothing is kept on disk, nothing shared between
        // processes that run at once.
        FProfile = new QWebEngineProfile();
        FProfile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        FProfile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        FView = new TquorEngineView(host, parent);
        FView->setObjectName(QStringLiteral("EngineView"));
        FPage = new TquorEnginePage(FProfile, host, FView);
        QWebEngineSettings* settings = FPage->settings();
        settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
        settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
        settings->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
        QObject::connect(FPage, &QWebEnginePage::loadingChanged, FView,
                         [this](const QWebEngineLoadingInfo& info) { LoadingChanged(info); });
        QObject::connect(FPage, &QWebEnginePage::newWindowRequested, FView,
                         [this](QWebEngineNewWindowRequest& request) { FHost->EngineNewWindow(request.requestedUrl()); });
        FView->setPage(FPage);
    }

    ~TquorWebEngine() override
    {
        // The page goes with its view, before the profile it uses.
        delete FView.data();
        delete FProfile;
    }

    QWidget* View() const override { return FView; }

    void Apply(const TquorEngineOptions& options) override
    {
        FPage->settings()->setAttribute(QWebEngineSettings::ShowScrollBars, options.ScrollBars);
        QWebEngineScriptCollection& scripts = FPage->scripts();
        for (const QWebEngineScript& script : scripts.find(QString::fromLatin1(FlatScrollBarsScript)))
            scripts.remove(script);
        if (options.FlatScrollBars) {
            QWebEngineScript script;
            script.setName(QString::fromLatin1(FlatScrollBarsScript));
            script.setInjectionPoint(QWebEngineScript::DocumentReady);
            script.setWorldId(QWebEngineScript::ApplicationWorld);
            script.setRunsOnSubFrames(true);
            script.setSourceCode(QString::fromLatin1(FlatScrollBarsSource));
            scripts.insert(script);
        }
    }

    void Load(const QUrl& url) override
    {
        FPending = true;
        FBlank = false;
        FPage->load(url);
    }

    void Clear() override
    {
        FPending = false;
        FBlank = true;
        FPage->triggerAction(QWebEnginePage::Stop);
        FPage->setHtml(QString());
    }

    // The empty page has no address and no title.
    QUrl Url() const override { return FBlank ? QUrl() : FPage->url(); }
    QString Title() const override { return FBlank ? QString() : FPage->title(); }

private:
    void LoadingChanged(const QWebEngineLoadingInfo& info)
    {
        // Only the end of a navigation of the host counts; a navigation
        // that another one replaced ends as stopped.
        if (!FPending || info.status() == QWebEngineLoadingInfo::LoadStartedStatus ||
            info.status() == QWebEngineLoadingInfo::LoadStoppedStatus)
            return;
        const bool ok = info.status() == QWebEngineLoadingInfo::LoadSucceededStatus &&
                        !(info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain && info.errorCode() >= 400);
        if (ok)
            FPending = false;
        else
            Clear();
        FHost->EngineLoadFinished(ok);
    }

    TquorEngineHost* FHost;
    QWebEngineProfile* FProfile;
    QPointer<QWebEngineView> FView;
    TquorEnginePage* FPage;
    bool FPending = false;
    bool FBlank = false;
};

}  // namespace

extern "C" {

Q_DECL_EXPORT int QuorBrowserEngineVersion()
{
    return QuorEngineInterfaceVersion;
}

Q_DECL_EXPORT bool QuorBrowserEngineStart()
{
    static const bool started = [] {
        // The engine's own sandbox cannot run for the root user (in CI, for
        // one): it is switched off there, and only there. This is the one
        // place that decides it; it counts as long as no page exists yet.
        if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
            qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        QtWebEngineCore::initialize();
        // The engine reports its graphics set-up on its first page; that is
        // no news to the user (QT_LOGGING_RULES can still ask for it).
        QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
        const QOpenGLContext* shared = QOpenGLContext::globalShareContext();
        return shared && shared->isValid();
    }();
    return started;
}

Q_DECL_EXPORT TquorBrowserEngine* QuorBrowserEngineCreate(QWidget* parent, TquorEngineHost* host)
{
    if (!QuorBrowserEngineStart())
        return nullptr;
    return new TquorWebEngine(parent, host);
}

}  // extern "C"
