#include "UFrmIni.h"

#include "UCommonFun.h"
#include "UFrmModel.h"
#include "UWebLinks.h"
#include "quorWebBrowser.h"

#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtCore/QUrl>
#include <QtGui/QShowEvent>

namespace {
constexpr int SectionTops[] = {142, 215, 319};
constexpr int SectionLeft = 40;
constexpr int LineWidth = 448;
constexpr TColor LineColor = 14794871;
}  // namespace

TFrmIni::TFrmIni(QWidget* parent) : TForm(parent)
{
    SetBorderless();
    resize(820, 566);
    SetWidgetColor(this, PageColor);
    setFont(TFont().ToQFont());

    Image1 = new TFrameImage(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->Stretch = true;
    Image1->LoadPicture(QStringLiteral("IniHeader"));

    TFont linkFont;
    linkFont.Color = LinkColor;
    const QList<TWebLinkGroup> groups = StartPageLinkGroups();
    for (int s = 0; s < groups.size() && s < 3; ++s) {
        auto* section = new TFrameImage(this);
        section->LoadPicture(QStringLiteral("IniSection%1").arg(s + 1));
        section->Picture.SetTransparent(true);
        section->move(SectionLeft, SectionTops[s]);
        Sections << section;
        auto* line = new TFrameShape(this);
        line->PenColor = LineColor;
        line->BrushColor = LineColor;
        line->setGeometry(SectionLeft + section->width(), SectionTops[s] + section->height() - 1, LineWidth, 1);
        SectionLines << line;

        // The labels flow in rows under the section, with short separators.
        int x = SectionLeft + 10;
        int y = SectionTops[s] + section->height() + 12;
        const int right = SectionLeft + section->width() + LineWidth;
        for (const TWebLink& link : groups.at(s).Links) {
            auto* label = new TLinkLabel(link.Caption, this);
            label->Tag = link.Tag;
            label->SetFont(linkFont);
            label->SetHandCursor(true);
            if (x + label->width() > right) {
                x = SectionLeft + 10;
                y += 24;
            }
            label->move(x, y);
            x += label->width() + 8;
            auto* separator = new TFrameShape(this);
            separator->PenColor = LineColor;
            separator->setGeometry(x, y + 2, 1, label->height() - 4);
            x += 9;
            label->OnMouseMove = [this, label] { Label1MouseMove(label); };
            label->OnMouseLeave = [this] { Label1MouseLeave(); };
            label->OnClick = [this, label] { Label1Click(label); };
            Links << label;
        }
    }

    quorWebBrowserUI1 = new TquorWebBrowserUI(this);
    quorWebBrowserUI1->setObjectName(QStringLiteral("quorWebBrowserUI1"));
    TquorWebBrowser& ui = quorWebBrowserUI1->UIProperties();
    ui.SetFlatScrollBars(true);
    ui.SetScrollBars(false);
    ui.SetRightPopupMenu(false);
    ui.SetBorder3DStyle(false);
    ui.SetShowMsgBox(false);
    ui.SetShowHelpBox(false);
    quorWebBrowserUI1->hide();

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    SetWidgetColor(Panel1, PageColor);
    imaLogo = new TFrameImage(Panel1);
    imaLogo->setObjectName(QStringLiteral("imaLogo"));
    imaLogo->LoadPicture(QStringLiteral("IniLogo"));

    ArrangePage();
}

void TFrmIni::ArrangePage()
{
    const int w = width();
    const int h = height();
    const int top = Image1->isHidden() ? 0 : HeaderHeight;
    Image1->setGeometry(0, 0, w, HeaderHeight);
    Panel1->setGeometry(0, h - BottomHeight, w, BottomHeight);
    imaLogo->move(w - imaLogo->width() - 20, (BottomHeight - imaLogo->height()) / 2);
    if (FBrowserShown)
        quorWebBrowserUI1->setGeometry(0, top, w, h - top);
    else
        quorWebBrowserUI1->setGeometry(-100, top, 10, h - top);
}

void TFrmIni::resizeEvent(QResizeEvent* event)
{
    TForm::resizeEvent(event);
    ArrangePage();
}

void TFrmIni::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    if (FShowDone)
        return;
    FShowDone = true;
    // The connection test waits in an event loop of its own; it runs from the
    // main loop, not from inside the show of the page and its window.
    QTimer::singleShot(0, this, [this] {
        try {
            FormShow();
        } catch (...) {  // the page stays offline
        }
    });
}

void TFrmIni::FormShow()
{
    const QString address = StartPageAddress();
    QPointer<TFrmIni> self(this);
    const bool online = IsOnline(address);
    if (!self)
        return;  // the page was closed while the test waited
    // Where the web engine cannot run (no OpenGL on this display), the page
    // shows as offline.
    FBrowserShown = online && TquorWebBrowserUI::EngineAvailable();
    if (FBrowserShown) {
        Image1->hide();
        Panel1->hide();
        quorWebBrowserUI1->show();
        quorWebBrowserUI1->raise();
        quorWebBrowserUI1->Navigate(QUrl(address));
    } else {
        quorWebBrowserUI1->hide();
    }
    ArrangePage();
    FShowFinished = true;
}

void TFrmIni::Label1MouseMove(TLinkLabel* sender)
{
    for (TLinkLabel* label : Links) {
        label->SetFontStyle(false, false);
        label->SetFontColor(LinkColor);
    }
    sender->SetFontColor(clRed);
}

void TFrmIni::Label1MouseLeave()
{
    for (TLinkLabel* label : Links) {
        label->SetFontStyle(false, false);
        label->SetFontColor(LinkColor);
    }
}

void TFrmIni::Label1Click(TLinkLabel* sender)
{
    const QString address = LinkAddress(StartPageLinkGroups(), sender->Tag);
    if (!address.isEmpty())
        RunProgram(address);
}
