#pragma once

// What the two single-sentence dictation screens share, for audio and video
// lessons alike: the player and the transport bar on top, the grid of typed
// answers (one row per sentence: number with check box, answer, play count,
// accuracy, "校对"), the answer editor with spell checking, the clock, and
// submitting, clearing, exporting and importing the answers.

#include "FileDialogs.h"
#include "UCheckAnswer.h"
#include "UDictationEditor.h"
#include "UStudyScreen.h"
#include "UStudyTransport.h"

#include <QtCore/QString>
#include <QtCore/QStringList>

#include <functional>
#include <memory>

class QLabel;
class QTimer;
class QToolButton;
class TPaintBox;
class TPiboAudioPlay;
class TPiboCheckBox;
class TPiboSpeedButton;
class TPiboStringGrid;
class TPiboVideoClass;
class TTextEdit;
class TTextSpellCheck;

class TSingleDictationScreen : public TForm, public TStudyScreen {
    Q_OBJECT
public:
    ~TSingleDictationScreen() override;

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
    TPiboCheckBox* ppcbAll;
    QLabel* panEnglishGridTitle;
    QWidget* panGridClient;
    TPaintBox* pbGridClient;
    TPiboStringGrid* Grid = nullptr;
    TTextEdit* Input;  // sediInput (audio) or ediInput (video)
    QWidget* InputWidget;
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
    int LastRow = -1;
    // Whether the spell checker's word list could be opened.
    bool SpellListOpen() const { return FSpellListOpen; }

    // How the check dialog is shown: by default TFrmSingleCheck, modally.
    // rowIndex -1 is the whole test.
    std::function<void(const TSingleCheckTotalRes& res, int rowIndex)> ShowCheckDialog;

    void FormResize();
    void LayoutGrid();
    void FillGrid();
    void ResetTest();
    void PlayRow(int index);
    void CheckAll();
    void TimerTimer();
    void sbClearClick();
    void ppcbAllClick();
    void PiboSpeedButton1Click();
    void sbExportClick();
    void sbImportClick();
    // Grid events.
    void GridCheckBoxClick(int row);
    void CheckRow(int col, int row);
    void SelectRow(int col, int row);
    // Editor events.
    void InputChange();
    void InputKeyUp(std::uint16_t key);

    // The answer files (".pps"); false when the file could not be written.
    bool ExportAnswers(const QString& path);
    void ImportAnswers(const QString& path);
    bool OpenImportedMedia(const QString& source);

    int SentenceCount() const;
    QString EnglishOf(int index) const;
    QString PlayerFileName() const;

protected:
    TSingleDictationScreen(QWidget* parent, bool video);

    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormShow();
    void CreateGrid();
    void CreatePlayer();
    void OpenMedia();
    void StopForCheck();
    void SetSelected(int index, bool value);
    void RefreshExtras();
    void LoadRowIntoEditor(int row);
    void PaintGridClient(TCanvas& canvas);
    void RunCheckDialog(int rowIndex);

    bool FVideo;
    bool FShown = false;
    bool FSpellListOpen = false;
    QString FMediaFile;
    TPiboAudioPlay* FAudioPlayer = nullptr;
    TPiboVideoClass* FVideoPlayer = nullptr;
    TStudyTransport* FTransport;
};
