#pragma once

// What the two translation-training screens share, for audio and video
// lessons alike: the Chinese line of the current sentence, the words of its
// English line as shuffled source tiles that the learner clicks into the
// answer row (and back), the mark beside the answer, the scoring of each
// sentence into the table transferrecord, skipping forwards and back, the
// clock of the current sentence and adding the sentence to the sentence
// library. The player and the transport bar sit above.
//
// The current sentence is the player's PlayQueueIndex (a queue index: audio
// screens take the sentence that queue entry names, video screens the cue of
// that index).

#include "UDataOperaterFun.h"
#include "UStudyScreen.h"
#include "UStudyTransport.h"

#include <QtCore/QString>
#include <QtCore/QStringList>

class QLabel;
class QTimer;
class TPiboSpeedButton;
class TPiboWordOperate;

class TTranslateScreen : public TForm, public TStudyScreen {
    Q_OBJECT
public:
    ~TTranslateScreen() override;

    // TStudyScreen
    QString MediaFile() const override { return FMediaFile; }
    void SetMediaFile(const QString& path) override { FMediaFile = path; }
    void ReloadFile() override;
    void ReloadSubtitle() override;
    void HandleHotKey(qint32 id) override;

    TStudyTransport* Transport() const { return FTransport; }

    QWidget* panTop;       // the player strip
    QWidget* panContain;   // the player is created in it
    QWidget* panGridClient;
    QWidget* panWords;     // the upper part: the Chinese line and the source tiles
    QLabel* labChina;
    TPiboWordOperate* ppwSur;
    QWidget* Bevel1;       // the line between the rows
    TPiboWordOperate* ppwDes;
    TPiboSpeedButton* ppsbCheck;
    QWidget* panBottom;
    TPiboSpeedButton* ppsbDone;
    TPiboSpeedButton* ppsbNext;
    TPiboSpeedButton* ppsbLast;
    TPiboSpeedButton* ppsbAdd;
    QLabel* labAdd;
    QLabel* labTimeCaption;
    QLabel* labTime;
    QLabel* lanSentenceCount;
    QTimer* Timer;

    // The words of the current English line and the record being made.
    QStringList RefWords;
    TTranslateRecord TransRec;
    // The index of the sentence on show: skipping, finishing and adding go
    // by it, whatever the transport did to the player's current entry since.
    int ShownIndex() const { return FShownIndex; }

    void FormShow();
    void FormResize();
    void TimerTimer();
    void ppwSurClick();
    void ppwDesClick();
    void ppsbDoneClick();
    void ppsbNextClick();
    void ppsbLastClick();
    void ppsbAddClick();
    void psbPlayClick();

    void OpenMedia();
    // Shows the sentence of queue index index with fresh tiles, record and clock.
    void LoadSentence(int index);
    // Makes index the one selected sentence and the current one, positioned
    // at its start.
    void SelectSentence(int index);
    void Evaluate();
    void ScoreSentence();
    void NextSentence();
    void PreviousSentence();

    // The player's part the screens differ in.
    virtual int SentenceCount() const = 0;
    virtual QString EnglishOf(int index) const = 0;
    virtual QString ChinaOf(int index) const = 0;
    virtual QString PlayerFileName() const = 0;

protected:
    TTranslateScreen(QWidget* parent, bool video);

    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    // Creates the player in panContain and hands it to the transport bar.
    virtual void CreatePlayer() = 0;
    virtual bool PlayerExists() const = 0;
    // Stops the player as a reload does.
    virtual void StopForReload() = 0;
    // Sets the file and reads its sentences (clear flag false).
    virtual void OpenPlayerFile() = 0;
    virtual void ReloadSentences() = 0;
    // Clears every selection, then selects index.
    virtual void SelectOnly(int index) = 0;
    // Puts the player at the current sentence's start, as the screen wants it.
    virtual void PositionAtSentence() = 0;
    // The sentence's clip for the sentence library: the MP3 written, or empty.
    virtual QString MakeClip(int index) = 0;
    virtual void RemoveClip(const QString& path) = 0;
    virtual void StopClicked() = 0;
    // After panContain took a new size.
    virtual void ContainResized() = 0;

    void RefreshButtons();
    void UpdateSkipButtons();

private:
    void AfterOpen();
    // The row of tiles' width: the one line they take, or the whole row.
    int RowExtent(const TPiboWordOperate* row) const;

    bool FVideo;
    bool FShown = false;
    int FShownIndex = -1;
    QString FMediaFile;
    TStudyTransport* FTransport;
};
