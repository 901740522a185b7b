#pragma once

// The study records ("学习成绩"): four pages of the current user's stored
// results: single-sentence dictation, speak and record, translation training
// and the sentence library. Rows can be deleted; saved sentences can be
// played and their clips exported as MP3 files.

#include "UFrmModel.h"

#include <QtCore/QStringList>

class QEventLoop;
class QLabel;
class QStackedWidget;
class QToolButton;
class TDXAudioOut;
class TMP3In;
class TPiboSpeedButton;
class TPiboStringGrid;

class TFrmStudyRecord : public TFrmModel {
    Q_OBJECT
public:
    explicit TFrmStudyRecord(QWidget* parent = nullptr);
    ~TFrmStudyRecord() override;

    // The pages of nbMain.
    enum TPage { pgListen = 0, pgSpeak = 1, pgTransfer = 2, pgSentence = 3 };
    // The wait for a stopped clip to let go of the output.
    static constexpr int StopWaitMs = 2000;
    // The bound that wait uses (StopWaitMs; tests shorten it).
    int StopWait = StopWaitMs;

    QWidget* panMenu;
    TPiboSpeedButton* psbListen;
    TPiboSpeedButton* psbSpeak;
    TPiboSpeedButton* psbSentence;
    TPiboSpeedButton* psbTransfer;
    QLabel* labButtonTitle;
    QStackedWidget* nbMain;
    QWidget* panListen;
    QWidget* panSpeak;
    QWidget* panTransfer;
    QWidget* panSentence;
    QWidget* panListenTitle;
    QWidget* panSpeakTitle;
    QWidget* panTransferTitle;
    QToolButton* sbExport;
    TFrameShape* saTitle;
    TBitmap imaDelete;
    TBitmap imaWave;
    TBitmap imaWave1;

    TMP3In* MP3In;
    TDXAudioOut* DXAudioOut;

    // Made at the first show, freed with the form.
    TPiboStringGrid* ListenGrid = nullptr;
    TPiboStringGrid* SpeakGrid = nullptr;
    TPiboStringGrid* TransferGrid = nullptr;
    TPiboStringGrid* SentenceGrid = nullptr;
    // Entry r: the id of the record in row r of the page's grid.
    QStringList ListenIds;
    QStringList SpeakIds;
    QStringList TransferIds;
    QStringList SentenceIds;

    void FormShow();
    void psbListenClick(TPiboSpeedButton* sender);
    void sbExportClick();

    // Reads the page's rows of the current user again.
    void LoadPage(TPage page);
    // Asks, then deletes the record of the grid's current row and reloads.
    void DeleteCurrent(TPage page);
    // Plays the stored clip of a sentence-library row.
    void PlaySentence(int row);

    // The hit rectangles of the sentence page's icons in a cell.
    QRect WaveIconRect(const QRect& cell) const;
    QRect DeleteIconRect(const QRect& cell) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    TPiboStringGrid* MakeGrid(QWidget* page, int top, int firstCheckBoxType, const QList<int>& widths, int rows);
    void MakeTitlePanel(QWidget* title, const QList<int>& widths, const QList<QPair<int, QString>>& columns);
    void MakeClearButton(QWidget* page);
    void SetEditableColumns(TPiboStringGrid* grid, const QList<int>& columns);
    void SentenceGridDrawCell(TCanvas& canvas, int col, int row, const QRect& rect);
    void SentenceGridMouseMove(int x, int y);
    void SentenceGridMouseUp(int x, int y);
    // Waits, serving events, until the output is idle; false after StopWait ms.
    bool WaitOutputIdle();

    bool FShown = false;
    QEventLoop* FIdleWait = nullptr;
};
