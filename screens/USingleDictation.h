#pragma once

// What the two single-sentence dictation screens share, for audio and video
// lessons alike: the grid of typed answers (one row per sentence: number with
// check box, answer, play count, accuracy, "校对"), the answer editor with
// spell checking, rows played by selection and Enter, checking one row or the
// whole test, and the answers' files (".pps").

#include "UDictationScreen.h"

#include <cstdint>
#include <functional>

class TPaintBox;
class TPiboCheckBox;
class TPiboStringGrid;

class TSingleDictationScreen : public TDictationScreen {
    Q_OBJECT
public:
    ~TSingleDictationScreen() override;

    void ReloadFile() override;
    void ReloadSubtitle() override;

    TPiboCheckBox* ppcbAll;
    QWidget* panEnglishGridTitle;
    QLabel* labEnglishGridTitle;
    QWidget* panGridClient;
    TPaintBox* pbGridClient;
    TPiboStringGrid* Grid = nullptr;
    TTextEdit* Input;  // sediInput (audio) or ediInput (video)
    QWidget* InputWidget;

    int LastRow = -1;

    // How the check dialog is shown (by default the modal TFrmSingleCheck);
    // rowIndex -1 is the whole test.
    std::function<void(const TSingleCheckTotalRes& res, int rowIndex)> ShowCheckDialog;

    void FormResize() override;
    void LayoutGrid();
    void FillGrid();
    void ResetTest();
    void PlayRow(int index);
    void CheckAll();
    void sbClearClick() override;
    void ppcbAllClick();
    void PiboSpeedButton1Click() override;
    bool ExportAnswers(const QString& path) override;
    // Grid events.
    void GridCheckBoxClick(int row);
    void CheckRow(int col, int row);
    void SelectRow(int col, int row);
    // Editor events.
    void InputChange();
    void InputKeyUp(std::uint16_t key);

protected:
    TSingleDictationScreen(QWidget* parent, bool video);

    void FormShow() override;
    void RestoreAnswers(const QStringList& lines) override;

private:
    void CreateGrid();
    // The player went to another sentence: the grid and the editor follow.
    void PlayIndexChange(int index);
    void OpenMedia();
    void RefreshExtras();
    void LoadRowIntoEditor(int row);
    void PaintGridClient(TCanvas& canvas);
    void RunCheckDialog(int rowIndex);
};
