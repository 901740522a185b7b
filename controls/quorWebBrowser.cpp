#include "quorWebBrowser.h"

#include "UCommonFun.h"

#include <QtGui/QContextMenuEvent>
#include <QtNetwork/QNetworkAccessManager>
#include <QtNetwork/QNetworkReply>
#include <QtNetwork/QNetworkRequest>
#include <QtWidgets/QMenu>

#include <memory>

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

TquorWebBrowserUI::TquorWebBrowserUI(QWidget* parent)
    : QTextBrowser(parent), FNetwork(new QNetworkAccessManager(this))
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &TquorWebBrowserUI::LinkClicked);
    FUIProperties.OnChange = [this] { ApplyUIProperties(); };
    ApplyUIProperties();
}

TquorWebBrowserUI::~TquorWebBrowserUI()
{
    FUIProperties.OnChange = nullptr;
    if (FReply) {
        FReply->disconnect(this);
        FReply->abort();
    }
}

void TquorWebBrowserUI::ApplyUIProperties()
{
    const Qt::ScrollBarPolicy policy = FUIProperties.ScrollBars() ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
    setVerticalScrollBarPolicy(policy);
    setHorizontalScrollBarPolicy(policy);
    setFrameShape(FUIProperties.Border3DStyle() ? QFrame::StyledPanel : QFrame::NoFrame);
}

void TquorWebBrowserUI::Navigate(const QUrl& url)
{
    if (FReply) {
        QNetworkReply* old = FReply;
        FReply = nullptr;
        old->disconnect(this);
        old->abort();
        old->deleteLater();
    }
    FLocation = url;
    QNetworkRequest request(url);
    request.setTransferTimeout(NavigateTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply* reply = FNetwork->get(request);
    FReply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { ReplyFinished(reply); });
}

void TquorWebBrowserUI::ReplyFinished(QNetworkReply* reply)
{
    reply->deleteLater();
    if (reply != FReply)
        return;
    FReply = nullptr;
    // Runs from the network's event: nothing of ours may leave it.
    try {
        const bool ok = reply->error() == QNetworkReply::NoError;
        if (ok) {
            setSearchPaths({});
            document()->setBaseUrl(reply->url());
            const QByteArray body = reply->readAll();
            const QString type = reply->header(QNetworkRequest::ContentTypeHeader).toString();
            if (type.startsWith(QStringLiteral("text/plain")))
                setPlainText(QString::fromUtf8(body));
            else
                setHtml(QString::fromUtf8(body));
        } else {
            clear();
        }
        if (OnDocumentComplete)
            OnDocumentComplete(ok);
    } catch (...) {
    }
}

void TquorWebBrowserUI::LinkClicked(const QUrl& link)
{
    const QUrl target = FLocation.isValid() ? FLocation.resolved(link) : link;
    try {
        RunProgram(target.toString());
    } catch (...) {
    }
}

void TquorWebBrowserUI::contextMenuEvent(QContextMenuEvent* event)
{
    FContextMenuShown = false;
    if (FUIProperties.RightPopupMenu()) {
        FContextMenuShown = true;
        QTextBrowser::contextMenuEvent(event);
        return;
    }
    event->accept();
    if (PopupMenuMethod) {
        try {
            PopupMenuMethod(-1);
        } catch (...) {
        }
    }
}
