#pragma once

// What the two free dictation screens share, for audio and video lessons
// alike: the range loop of the transport bar, one large editor with line
// numbers and spell checking for the whole text, checked as one answer, and
// the text's answer files (".ppf").

#include "UDictationScreen.h"

#include <functional>

class TFreeDictationScreen : public TDictationScreen {
    Q_OBJECT
public:
    void ReloadFile() override;
    void ReloadSubtitle() override;

    QWidget* panGridClient;
    TTextEdit* rdeEdit;
    QWidget* rdeEditWidget;

    // How the check dialog is shown (by default the modal TFrmFreeCheck).
    std::function<void(const TSingleCheckTotalRes& res, const QStringList& typedLines)> ShowCheckDialog;

    void FormResize() override;
    void ResetTest();
    void CheckAll();
    void sbClearClick() override;
    void PiboSpeedButton1Click() override;
    bool ExportAnswers(const QString& path) override;

protected:
    TFreeDictationScreen(QWidget* parent, bool video);

    void FormShow() override;
    void RestoreAnswers(const QStringList& lines) override;

private:
    void OpenMedia();
};
