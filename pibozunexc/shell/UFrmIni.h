#pragma once

// The start page: shown in the main window while no study screen is open. When
// the maker's start web page can be reached it is shown in the embedded
// browser; otherwise the page's own link labels show.

#include "Forms.h"

#include <QtCore/QList>

class QWidget;
class TFrameImage;
class TFrameShape;
class TLinkLabel;
class TquorWebBrowserUI;

class TFrmIni : public TForm {
    Q_OBJECT
public:
    explicit TFrmIni(QWidget* parent = nullptr);

    static constexpr int HeaderHeight = 122;
    static constexpr int BottomHeight = 70;
    static constexpr TColor PageColor = 16774600;
    static constexpr TColor LinkColor = 11957512;

    TFrameImage* Image1;                   // the header
    QList<TFrameImage*> Sections;          // the three section pictures
    QList<TFrameShape*> SectionLines;      // the line after each section picture
    QList<TLinkLabel*> Links;              // the 21 link labels, in tag order per section
    TquorWebBrowserUI* quorWebBrowserUI1;
    QWidget* Panel1;                       // the bottom panel
    TFrameImage* imaLogo;

    // Whether the browser shows the start web page (decided by FormShow).
    bool BrowserShown() const { return FBrowserShown; }
    // FormShow has run (it runs from the event loop right after the first show).
    bool ShowFinished() const { return FShowFinished; }

    void FormShow();
    void Label1MouseMove(TLinkLabel* sender);
    void Label1MouseLeave();
    void Label1Click(TLinkLabel* sender);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ArrangePage();

    bool FShowDone = false;
    bool FBrowserShown = false;
    bool FShowFinished = false;
};
