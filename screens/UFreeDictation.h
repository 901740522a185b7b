#pragma once

// What the two free dictation screens share, for audio and video lessons
// alike: the player and the transport bar with the range loop on top, one
// large editor with line numbers and spell checking for the whole text, the
// clock, and submitting, clearing, exporting and importing the text.

#include "FileDialogs.h"
#include "UCheckAnswer.h"
#include "UDictationEditor.h"
#include "UStudyScreen.h"
#include "UStudyTransport.h"

#include <QtCore/QString>
#include <QtCore/QStringList>

#include <functional>

class QLabel;
class QTimer;
class QToolButton;
class TPiboAudioPlay;
class TPiboSpeedButton;
class TPiboVideoClass;

class TFreeDictationScreen : public TForm, public TStudyScreen {
    Q_OBJECT
public:
    ~TFreeDictationScreen() override;

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

    QWidget* panContain;
    QWidget* panGridClient;
    TTextEdit* rdeEdit;
    QWidget* rdeEditWidget;
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
    bool SpellListOpen() const { return FSpellListOpen; }

    // How the check dialog is shown (by default nothing is shown yet).
    std::function<void(const TSingleCheckTotalRes& res, const QStringList& typedLines)> ShowCheckDialog;

    void FormResize();
    void ResetTest();
    void CheckAll();
    void TimerTimer();
    void sbClearClick();
    void PiboSpeedButton1Click();
    void sbExportClick();
    void sbImportClick();

    // The answer files (".ppf"); false when the file could not be written.
    bool ExportAnswers(const QString& path);
    void ImportAnswers(const QString& path);
    bool OpenImportedMedia(const QString& source);

    int SentenceCount() const;
    QString EnglishOf(int index) const;
    QString PlayerFileName() const;

protected:
    TFreeDictationScreen(QWidget* parent, bool video);

    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormShow();
    void CreatePlayer();
    void OpenMedia();
    void StopForReload();

    bool FVideo;
    bool FShown = false;
    bool FSpellListOpen = false;
    QString FMediaFile;
    TPiboAudioPlay* FAudioPlayer = nullptr;
    TPiboVideoClass* FVideoPlayer = nullptr;
    TStudyTransport* FTransport;
};
