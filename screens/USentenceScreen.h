#pragma once

// What the browse-and-recite and the speak-and-record screens share, for
// audio and video lessons alike: the player on top, the transport bar, the
// option bar (hide a column, order, export, font, play only the selected or
// all, loop), the column titles with "全选", the sentence grid with its check
// boxes and sentence-bank buttons, the popup menus, the sentence bank and the
// audio exports.
//
// Grid rows: audio screens show the player's play queue (row r is queue
// entry r, its number the item index + 1); video screens show the cues in
// file order (number = row + 1).

#include "FileDialogs.h"
#include "UStudyScreen.h"
#include "UStudyTransport.h"

#include <QtCore/QString>

class QAction;
class QLabel;
class QMenu;
class QSplitter;
class QToolButton;
class QVBoxLayout;
class TPaintBox;
class TPiboAudioPlay;
class TPiboCheckBox;
class TPiboStringGrid;
class TPiboVideoClass;

class TSentenceScreen : public TForm, public TStudyScreen {
    Q_OBJECT
public:
    ~TSentenceScreen() override;

    // TStudyScreen
    QString MediaFile() const override { return FMediaFile; }
    void SetMediaFile(const QString& path) override { FMediaFile = path; }
    void ReloadFile() override;
    void ReloadSubtitle() override;
    void HandleHotKey(qint32 id) override;

    bool IsVideo() const { return FVideo; }
    TPiboAudioPlay* AudioPlayer() const { return FAudioPlayer; }
    TPiboVideoClass* VideoPlayer() const { return FVideoPlayer; }
    TStudyTransport* Transport() const { return FTransport; }

    // The layout's parts.
    QWidget* panTop;        // above the splitter: the player strips
    QSplitter* Splitter;    // null in the screens without one
    QWidget* panContain;    // the player is created in it
    QWidget* Panel1;
    QWidget* Panel2;        // the option bar
    QToolButton* sbDisEnglish;
    QToolButton* sbDisChina;
    QToolButton* sbOrder;       // audio only
    QToolButton* SpeedButton4;  // audio only ("导出")
    QToolButton* sbFontSize;
    TPiboCheckBox* pcbSelect;
    QLabel* labSelect;
    TPiboCheckBox* pcbLoop;
    QLabel* labLoop;
    TPiboCheckBox* ppcbAll;
    QSplitter* panGridTitle;
    QLabel* panEnglishGridTitle;
    QLabel* panChinaGridTitle;
    QWidget* panGridClient;
    TPaintBox* pbGridClient;
    TPiboStringGrid* Grid = nullptr;
    QMenu* PopupMenu1 = nullptr;  // order (audio)
    QAction* N1 = nullptr;
    QAction* N2 = nullptr;
    QAction* N3 = nullptr;
    QMenu* PopupMenu2 = nullptr;  // export (audio)
    QAction* miAllExportMp3 = nullptr;
    QAction* miExportAll = nullptr;
    QAction* miExportSelect = nullptr;
    QMenu* PopupMenu3;            // font size
    QAction* miFontSize[4];       // "大", "中", "小", "极大" (Tags 1 to 4)
    TSaveDialog SaveDialog;

    // Actions.
    void FormResize();
    void LayoutGrid();
    void FillGrid(int order);  // a TPlayOrderType; video screens ignore it
    void RefreshButtons() { FTransport->RefreshButtons(); }
    void sbDisEnglishClick();
    void sbDisChinaClick();
    void N1Click();
    void N2Click();
    void N3Click();
    void miAllExportMp3Click();
    void miExportAllClick();
    void miExportSelectClick();
    void miFontSizeClick(int tag);
    void pcbSelectClick();
    void pcbLoopClick();
    void ppcbAllClick();
    void Splitter1Moved();
    // Grid events (rows).
    void GridCheckBoxClick(int row);
    void GridSelectClick(int row);
    void GridAddClick(int row);

    // Writes <base>_<i>.mp3 and <base>_<i>.lrc of every (or every selected)
    // sentence i into <folder>/<base>, base the media's base name; raises
    // when that folder cannot be made. What becomes of each clip is not
    // looked at.
    void ExportSentencesTo(const QString& folder, bool selectedOnly);

    // The English and Chinese line of grid row r.
    QString RowEnglish(int row) const;
    QString RowChina(int row) const;
    // The English line of the grid's current row (empty while hidden).
    QString CurrentRowEnglish() const;
    // Whether any grid row is checked.
    bool AnyRowChecked() const;

protected:
    TSentenceScreen(QWidget* parent, bool video, bool speak, const TTransportOptions& transport);

    // Builds the top strips into panTop and sets their height; called by the
    // constructor of the form.
    void SetTopHeight(int height);
    // Creates the lesson player in panContain and binds its events; the
    // speak screens add their recording player.
    virtual void CreatePlayers();
    // Enabling of the screen's own buttons, run by the transport's refresh.
    virtual void RefreshExtras(bool active);
    // What runs when the first show of the form is over.
    virtual void AfterFormShow() {}
    void FormShow();
    void OpenMedia();
    void SelectAllFromBox();
    // The sentence exports after the folder choice.
    void ExportSentences(bool selectedOnly);

    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Runs on every resize of panContain (audio: the waveform follows).
    virtual void panContainResize();

    QVBoxLayout* FTopLayout;

    bool FVideo;
    bool FSpeak;
    QString FMediaFile;
    TPiboAudioPlay* FAudioPlayer = nullptr;
    TPiboVideoClass* FVideoPlayer = nullptr;
    TStudyTransport* FTransport;
    bool FShown = false;
    QList<int> FSplitterSizes;

private:
    void BuildList();
    void BuildMenus();
    void CreateGrid();
    void PaintGridClient(TCanvas& canvas);
    void ShowColumn(int col, bool show);
    int ItemOfRow(int row) const;
    QString ItemEnglish(int item) const;
    QString ItemChina(int item) const;
    bool ItemSelected(int item) const;
    int ItemCount() const;
    bool Active() const;
};

// Continues the grid's column lines from the top to bottom of the area under
// it (nothing when the grid has no rows).
void PaintGridColumnLines(TCanvas& canvas, const TPiboStringGrid* grid, int bottom);

// The full name of the work file R of the recordings: temp/RecordTmp.wav.
QString RecordWorkFile();
// name with ".mp3" appended unless it ends in exactly ".mp3".
QString WithMp3Extension(const QString& name);
