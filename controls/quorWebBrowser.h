#pragma once

// The embedded browser of the start page: a host for the web engine
// (Qt WebEngine, in a module loaded on first use: quorBrowserEngine.h) with
// the host switches of the layouts. The host answers the engine: its own
// context menu or the host's method, no message boxes of the page's scripts,
// no script-error dialogs, the scroll bars and the frame the switches ask for.

#include "quorBrowserEngine.h"

#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtWidgets/QFrame>

#include <cstdint>
#include <functional>
#include <memory>

class QTimer;

// The host switches. A changed value takes effect at once (the scroll bars
// with the next page).
class TquorWebBrowser {
public:
    bool FlatScrollBars() const { return FFlatScrollBars; }
    void SetFlatScrollBars(bool value);  // flat scroll bars
    bool ScrollBars() const { return FScrollBars; }
    void SetScrollBars(bool value);      // false: no scroll bars
    bool RightPopupMenu() const { return FRightPopupMenu; }
    void SetRightPopupMenu(bool value);  // true: the browser's own context menu
    bool Border3DStyle() const { return FBorder3DStyle; }
    void SetBorder3DStyle(bool value);   // false: no frame
    bool ShowMsgBox() const { return FShowMsgBox; }
    void SetShowMsgBox(bool value);      // stored only
    bool ShowHelpBox() const { return FShowHelpBox; }
    void SetShowHelpBox(bool value);     // stored only

    std::function<void()> OnChange;

private:
    void Changed();

    bool FFlatScrollBars = false;
    bool FScrollBars = true;
    bool FRightPopupMenu = true;
    bool FBorder3DStyle = true;
    bool FShowMsgBox = false;
    bool FShowHelpBox = false;
};

// A method of the host that answers a right click when the browser's own menu
// is switched off; it gets -1 and returns a result code: 0 (done) shows no
// menu, any other code lets the browser show its own.
using TquorPopupMenuMethod = std::function<std::int32_t(std::int32_t mode)>;

class TquorWebBrowserUI : public QFrame, private TquorEngineHost {
    Q_OBJECT
public:
    explicit TquorWebBrowserUI(QWidget* parent = nullptr);
    ~TquorWebBrowserUI() override;

    TquorWebBrowser& UIProperties() { return FUIProperties; }
    const TquorWebBrowser& UIProperties() const { return FUIProperties; }
    TquorPopupMenuMethod PopupMenuMethod;

    // Whether the web engine can run in this process: its module loads and
    // the display gives it OpenGL. Loads and prepares the engine the first
    // time (which takes a moment); false ever after once it failed.
    static bool EngineAvailable();
    // Where the engine's module is; by default libpibo_webengine.so beside
    // the running program. Set before the first use.
    static void SetEngineModule(const QString& path);

    // How long a page may take to arrive, from the call of Navigate.
    int NavigateTimeoutMs = 15000;

    // Shows the page at url; the engine is made on the first call. A page
    // that does not arrive (no answer, an HTTP error, the time-out) leaves the
    // browser empty. A navigation still running is dropped.
    void Navigate(const QUrl& url);
    QUrl LocationURL() const;
    QString LocationName() const;  // the title of the page shown
    bool Busy() const { return FBusy; }

    // After every navigation of Navigate: true when the page arrived and is shown.
    std::function<void(bool success)> OnDocumentComplete;
    // A script of the page called a message box ("alert", "confirm",
    // "prompt"); none is shown, whatever ShowMsgBox says.
    std::function<void(const QString& kind, const QString& text)> OnShowMessage;

    // The engine's widget, which takes the mouse and keys (null before the
    // first navigation).
    QWidget* EngineView() const;
    // Right clicks the page asked about, and whether the last one showed the
    // browser's own menu.
    int ContextMenuRequests() const { return FContextMenuRequests; }
    bool ContextMenuShown() const { return FContextMenuShown; }

private:
    void ApplyUIProperties();
    void NavigateTimedOut();
    void Complete(bool ok);

    void EngineLoadFinished(bool ok) override;
    bool EngineContextMenu() override;
    void EngineScriptMessage(const QString& kind, const QString& text) override;
    void EngineNewWindow(const QUrl& url) override;

    TquorWebBrowser FUIProperties;
    std::unique_ptr<TquorBrowserEngine> FEngine;
    QTimer* FTimeout;
    QUrl FLocation;
    bool FBusy = false;
    int FContextMenuRequests = 0;
    bool FContextMenuShown = false;
};
