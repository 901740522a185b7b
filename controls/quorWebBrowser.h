#pragma once

// The embedded browser of the start page: a rich-text browser that fetches a
// page over HTTP and shows it, with the host switches of the layouts. No
// script runs here; links open in the desktop's default browser.

#include <QtCore/QPointer>
#include <QtCore/QUrl>
#include <QtWidgets/QTextBrowser>

#include <cstdint>
#include <functional>

#include <QtNetwork/QNetworkReply>

class QNetworkAccessManager;

// The host switches. A changed value takes effect at once.
class TquorWebBrowser {
public:
    bool FlatScrollBars() const { return FFlatScrollBars; }
    void SetFlatScrollBars(bool value);  // stored only
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
// is switched off; it gets -1 and returns a result code (0 for done).
using TquorPopupMenuMethod = std::function<std::int32_t(std::int32_t mode)>;

class TquorWebBrowserUI : public QTextBrowser {
    Q_OBJECT
public:
    explicit TquorWebBrowserUI(QWidget* parent = nullptr);
    ~TquorWebBrowserUI() override;

    TquorWebBrowser& UIProperties() { return FUIProperties; }
    const TquorWebBrowser& UIProperties() const { return FUIProperties; }
    TquorPopupMenuMethod PopupMenuMethod;

    // How long a page may take to arrive.
    int NavigateTimeoutMs = 10000;

    // Fetches the page at url and shows it. A page that does not arrive (no
    // answer, an HTTP error, the time-out) leaves the browser empty. A
    // navigation still running is dropped.
    void Navigate(const QUrl& url);
    QUrl LocationURL() const { return FLocation; }
    bool Busy() const { return FReply != nullptr; }

    // After every navigation: true when the page arrived and is shown.
    std::function<void(bool success)> OnDocumentComplete;

    // Whether the last right click showed the browser's own menu.
    bool ContextMenuShown() const { return FContextMenuShown; }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void ApplyUIProperties();
    void ReplyFinished(QNetworkReply* reply);
    void LinkClicked(const QUrl& link);

    TquorWebBrowser FUIProperties;
    QNetworkAccessManager* FNetwork;
    QPointer<QNetworkReply> FReply;
    QUrl FLocation;
    bool FContextMenuShown = false;
};
