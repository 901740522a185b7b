#pragma once

// What every dictation screen has, single-sentence and free, audio and
// video: the player strip on top with the transport bar, the bottom bar
// ("完成提交", "导入", "导出", "清除" and the clock), the lesson's sentences,
// and the answer files' export and import around the screen's own lines.

#include "FileDialogs.h"
#include "UCheckAnswer.h"
#include "UDictationEditor.h"
#include "UStudyScreen.h"
#include "UStudyTransport.h"

#include <QtCore/QString>
#include <QtCore/QStringList>

class QLabel;
class QSplitter;
class QTimer;
class QToolButton;
class QVBoxLayout;
class TPiboAudioPlay;
class TPiboSpeedButton;
class TPiboVideoClass;

class TDictationScreen : public TForm, public TStudyScreen {
    Q_OBJECT
public:
    ~TDictationScreen() override;

    // TStudyScreen
    QString MediaFile() const override { return FMediaFile; }
    void SetMediaFile(const QString& path) override { FMediaFile = path; }
    void HandleHotKey(qint32 id) override;

    bool IsVideo() const { return FVideo; }
    TPiboAudioPlay* AudioPlayer() const { return FAudioPlayer; }
    TPiboVideoClass* VideoPlayer() const { return FVideoPlayer; }
    TStudyTransport* Transport() const { return FTransport; }

    QWidget* panContain;
    // Between the player and the work area; nullptr in the audio free screen.
    QSplitter* Splitter = nullptr;
    TSpellCheckPtr sscSpellCheck;
    TPiboSpeedButton* PiboSpeedButton1;
    QToolButton* sbImport;
    QToolButton* sbExport;
    QToolButton* sbClear;
    QLabel* labTime;
    QTimer* Timer;
    TSaveDialog SaveDialog;
    TOpenDialog OpenDialog;

    TSingleCheckTotalRes CheckRes;
    // Whether the spell checker's word list could be opened.
    bool SpellListOpen() const { return FSpellListOpen; }

    void TimerTimer();
    // The audio screens keep the player's strip while sound plays.
    bool SplitterCanResize() const;
    void SplitterMoved();
    void panContainResize();
    virtual void sbClearClick() = 0;
    virtual void PiboSpeedButton1Click() = 0;
    void sbExportClick();
    void sbImportClick();

    // The answer files; false when the file could not be written.
    virtual bool ExportAnswers(const QString& path) = 0;
    void ImportAnswers(const QString& path);
    bool OpenImportedMedia(const QString& source);

    int SentenceCount() const;
    QString EnglishOf(int index) const;
    QStringList EnglishLines() const;
    QString PlayerFileName() const;

protected:
    // ext: ".pps" or ".ppf"; the transport options are completed for video.
    TDictationScreen(QWidget* parent, bool video, bool splitterStrip, const QString& ext, TTransportOptions options);

    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    virtual void FormShow() = 0;
    virtual void FormResize() = 0;
    // Puts the lines of an imported file into the screen.
    virtual void RestoreAnswers(const QStringList& lines) = 0;

    // Creates the player in panContain; indexChange follows the playing sentence.
    void CreatePlayer(std::function<void(int index)> indexChange);
    // Sets the player's file and reads its sentences (clear flag false).
    void OpenPlayerFile();
    void ReloadSentences();
    // Audio: stops only what plays or is paused; video: always.
    void StopPlayer();
    void SetSelected(int index, bool value);
    void OpenSpellLists();
    // The work area's layout under the player: the transport bar, then the
    // screen's content, then the bottom bar.
    QVBoxLayout* FLayout;

    bool FVideo;
    bool FShown = false;
    bool FSpellListOpen = false;
    QString FMediaFile;
    QString FExt;
    TPiboAudioPlay* FAudioPlayer = nullptr;
    TPiboVideoClass* FVideoPlayer = nullptr;
    TStudyTransport* FTransport;

    // Adds the bottom bar to FLayout (the content goes before it).
    void AddBottomBar();
    // Tab goes through the transport bar, content, then the bottom bar.
    void ChainTabOrder(const QList<QWidget*>& content);
};
