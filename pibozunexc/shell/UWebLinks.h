#pragma once

// The maker's web addresses and the captions of the link labels of the login
// window, the main window and the start page: the one table of them. And the
// link label those windows share.

#include "Graphics.h"

#include <QtCore/QList>
#include <QtCore/QString>
#include <QtWidgets/QLabel>

#include <functional>

// One link label: its tag, its caption and the page it opens (may be empty).
struct TWebLink {
    int Tag;
    QString Caption;
    QString Address;
};

// A group of link labels under a caption.
struct TWebLinkGroup {
    QString Caption;
    QList<TWebLink> Links;
};

QString MakerWebSite();       // the web site (login window, main window)
QString MakerWebSiteText();   // how the web site is written on the windows
QString MakerBrandName();     // the brand name beside it on the main window
QString MakerHelpPage();
QString MakerFeedbackPage();

// The address of the start web page shown inside the start page when the
// machine is online. Tests point it at 127.0.0.1 with SetStartPageAddress;
// an empty text goes back to the built-in address.
QString StartPageAddress();
void SetStartPageAddress(const QString& address);

// The login window's two groups: tags 10 to 15 and 30 to 37.
QList<TWebLinkGroup> LoginLinkGroups();
// The start page's three sections: tags 1 and 2, 20 to 30, 50 to 57.
QList<TWebLinkGroup> StartPageLinkGroups();
// The page behind a tag of one of these tables; empty for a tag without one.
QString LinkAddress(const QList<TWebLinkGroup>& groups, int tag);

// A plain label of the layouts in a font of the layouts, sized to its text.
QLabel* NewPlainLabel(const QString& text, QWidget* parent, const TFont& font);

// Gives a borderless window rounded corners: an ellipse of radius * 2 across
// at each corner, over the window's full width and height.
void SetRoundedCorners(QWidget* window, qreal radius);

// A label of the layouts that reports the mouse: clicks, moves and leaving.
// Tag and Hint are the layouts' tag and hint (the hint is not shown).
class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLinkLabel(const QString& caption, QWidget* parent = nullptr);

    int Tag = 0;
    QString Hint;

    TFont Font() const { return FFont; }
    void SetFont(const TFont& font);
    // The font colour and style switches of the layouts.
    void SetFontColor(TColor color);
    TColor FontColor() const { return FFont.Color; }
    void SetFontStyle(bool bold, bool underline);
    void SetHandCursor(bool hand);

    std::function<void()> OnClick;
    std::function<void()> OnMouseMove;
    std::function<void()> OnMouseLeave;

    // Runs the click path as a click of the mouse would.
    void PerformClick();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    TFont FFont;
    bool FLeftDown = false;
};
