#include "quorWebBrowser.h"

#include "UCommonFun.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QLibrary>
#include <QtCore/QTimer>
#include <QtWidgets/QVBoxLayout>

namespace {

// The engine's module, loaded once per process and never unloaded (the
// engine cannot go while the process lives).
struct TQuorEngineModule {
    bool Tried = false;
    bool Ready = false;
    TquorEngineCreateFn Create = nullptr;
    QString Path;
};

TQuorEngineModule& QuorEngineModule()
{
    static TQuorEngineModule module;
    return module;
}

// While the module comes in after the application object, the engine says
// that it would rather have come before; that is expected here and tells the
// user nothing.
QtMessageHandler QuorEnginePreviousHandler = nullptr;

void QuorEngineStartFilter(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.contains(QLatin1String("AA_ShareOpenGLContexts")))
        return;
    if (QuorEnginePreviousHandler)
        QuorEnginePreviousHandler(type, context, message);
    else
        qt_message_output(type, context, message);
}

bool LoadQuorEngineModule(TQuorEngineModule& module)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return false;
    const QString path = module.Path.isEmpty()
                             ? QCoreApplication::applicationDirPath() + QStringLiteral("/libpibo_webengine.so")
                             : module.Path;
    // A child of the application object; its destructor leaves the library loaded.
    auto* library = new QLibrary(path, app);
    QuorEnginePreviousHandler = qInstallMessageHandler(QuorEngineStartFilter);
    bool ok = library->load();
    if (ok) {
        const auto version = reinterpret_cast<TquorEngineVersionFn>(library->resolve(QuorEngineVersionSymbol));
        const auto start = reinterpret_cast<TquorEngineStartFn>(library->resolve(QuorEngineStartSymbol));
        module.Create = reinterpret_cast<TquorEngineCreateFn>(library->resolve(QuorEngineCreateSymbol));
        ok = version && start && module.Create && version() == QuorEngineInterfaceVersion && start();
    }
    qInstallMessageHandler(QuorEnginePreviousHandler);
    QuorEnginePreviousHandler = nullptr;
    return ok;
}

}  // namespace

void TquorWebBrowser::Changed()
{
    if (OnChange)
        OnChange();
}

void TquorWebBrowser::SetFlatScrollBars(bool value)
{
    FFlatScrollBars = value;
    Changed();
}

void TquorWebBrowser::SetScrollBars(bool value)
{
    FScrollBars = value;
    Changed();
}

void TquorWebBrowser::SetRightPopupMenu(bool value)
{
    FRightPopupMenu = value;
    Changed();
}

void TquorWebBrowser::SetBorder3DStyle(bool value)
{
    FBorder3DStyle = value;
    Changed();
}

void TquorWebBrowser::SetShowMsgBox(bool value)
{
    FShowMsgBox = value;
    Changed();
}

void TquorWebBrowser::SetShowHelpBox(bool value)
{
    FShowHelpBox = value;
    Changed();
}

bool TquorWebBrowserUI::EngineAvailable()
{
    TQuorEngineModule& module = QuorEngineModule();
    if (!module.Tried) {
        module.Tried = true;
        try {
            module.Ready = LoadQuorEngineModule(module);
        } catch (...) {
            module.Ready = false;
        }
    }
    return module.Ready;
}

void TquorWebBrowserUI::SetEngineModule(const QString& path)
{
    QuorEngineModule().Path = path;
}

TquorWebBrowserUI::TquorWebBrowserUI(QWidget* parent) : QFrame(parent), FTimeout(new QTimer(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    FTimeout->setSingleShot(true);
    connect(FTimeout, &QTimer::timeout, this, &TquorWebBrowserUI::NavigateTimedOut);
    FUIProperties.OnChange = [this] { ApplyUIProperties(); };
    ApplyUIProperties();
}

TquorWebBrowserUI::~TquorWebBrowserUI()
{
    FUIProperties.OnChange = nullptr;
    // The engine and its widget go before the frame's children.
    FEngine.reset();
}

void TquorWebBrowserUI::ApplyUIProperties()
{
    if (FUIProperties.Border3DStyle())
        setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    else
        setFrameStyle(QFrame::NoFrame);
    if (FEngine) {
        TquorEngineOptions options;
        options.ScrollBars = FUIProperties.ScrollBars();
        options.FlatScrollBars = FUIProperties.FlatScrollBars();
        FEngine->Apply(options);
    }
}

QWidget* TquorWebBrowserUI::EngineView() const
{
    return FEngine ? FEngine->View() : nullptr;
}

void TquorWebBrowserUI::Navigate(const QUrl& url)
{
    FLocation = url;
    if (!FEngine && EngineAvailable()) {
        TquorEngineCreateFn create = QuorEngineModule().Create;
        FEngine.reset(create ? create(this, this) : nullptr);
        if (FEngine) {
            layout()->addWidget(FEngine->View());
            ApplyUIProperties();
        }
    }
    FBusy = true;
    if (!FEngine) {
        // Reported from the event loop, as a page that failed would be.
        FTimeout->stop();
        QTimer::singleShot(0, this, [this] {
            if (FBusy && !FEngine)
                Complete(false);
        });
        return;
    }
    FTimeout->start(NavigateTimeoutMs);
    FEngine->Load(url);
}

QUrl TquorWebBrowserUI::LocationURL() const
{
    // The page shown (a link of the page may have led on); while a page is on
    // its way, and after one failed, the address asked for.
    if (FEngine && !FBusy && !FEngine->Url().isEmpty())
        return FEngine->Url();
    return FLocation;
}

QString TquorWebBrowserUI::LocationName() const
{
    return FEngine ? FEngine->Title() : QString();
}

void TquorWebBrowserUI::Complete(bool ok)
{
    FTimeout->stop();
    FBusy = false;
    // Runs from the engine's events: nothing of ours may leave it.
    try {
        if (OnDocumentComplete)
            OnDocumentComplete(ok);
    } catch (...) {
    }
}

void TquorWebBrowserUI::NavigateTimedOut()
{
    if (!FBusy)
        return;
    if (FEngine)
        FEngine->Clear();
    Complete(false);
}

void TquorWebBrowserUI::EngineLoadFinished(bool ok)
{
    if (FBusy)
        Complete(ok);
}

bool TquorWebBrowserUI::EngineContextMenu()
{
    ++FContextMenuRequests;
    bool own = FUIProperties.RightPopupMenu();
    if (!own && PopupMenuMethod) {
        try {
            own = PopupMenuMethod(-1) != 0;
        } catch (...) {
            own = false;
        }
    }
    FContextMenuShown = own;
    return own;
}

void TquorWebBrowserUI::EngineScriptMessage(const QString& kind, const QString& text)
{
    try {
        if (OnShowMessage)
            OnShowMessage(kind, text);
    } catch (...) {
    }
}

void TquorWebBrowserUI::EngineNewWindow(const QUrl& url)
{
    // Only web pages go to the desktop's browser; a page cannot start a
    // program or open a file this way.
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return;
    try {
        RunProgram(url.toString(QUrl::FullyEncoded));
    } catch (...) {
    }
}
