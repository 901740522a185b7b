#pragma once

// The result windows of dictation: the totals of a test, a legend of the
// marks and the marked document in a rich-text viewer, with "保存退出" and
// "返回听写". TFrmCheckWindow is the window both check dialogs share;
// TFrmSingleCheck shows the single-sentence test (all of it or one sentence).

#include "UDictationCheck.h"
#include "UFrmModel.h"

#include <memory>

class QLabel;
class QLineEdit;
class TPiboSpeedButton;
class TRDStyle;
class TRichDoc;

// The style sheet of the check documents: the eight text styles and the two
// paragraph styles (0 spaced, 1 centred).
std::unique_ptr<TRDStyle> NewCheckStyleSheet();

class TFrmCheckWindow : public TFrmModel {
    Q_OBJECT
public:
    ~TFrmCheckWindow() override;

    // The screen's test record, read only; set before the dialog is shown.
    const TSingleCheckTotalRes* CheckRes = nullptr;

    QWidget* panHeader;
    QLabel* labRightCount;
    QLabel* labWordCount;
    QLabel* labWrong;
    QLabel* labWrongRight;
    QLabel* labWrongCount;
    QLabel* labOver;
    QLabel* labOverCount;
    QLabel* labMiss;
    QLabel* labMissCount;
    QLineEdit* ediCard;
    QLabel* labTimeDesc;
    TRichDoc* rdCheckResult;
    std::unique_ptr<TRDStyle> RDStyle;
    QWidget* panBottom;
    TPiboSpeedButton* ppsbSave;
    TPiboSpeedButton* ppsbCancel;

    void ppsbCancelClick();
    void ppsbSaveClick();

protected:
    explicit TFrmCheckWindow(QWidget* parent);

    void showEvent(QShowEvent* event) override;
    virtual void FormShow() = 0;
    // What a successful save does after "保存成功！".
    virtual void AfterSaved() = 0;

    // The header labels and the time line from the record's totals.
    void ShowTotals();
    // Replaces the viewer's document and formats it once.
    void ShowDocument(const TCheckDocument& doc);
};

class TFrmSingleCheck : public TFrmCheckWindow {
    Q_OBJECT
public:
    explicit TFrmSingleCheck(QWidget* parent = nullptr);

    // -1: the whole test (with the save button); else that sentence alone.
    int RowIndex = -1;

    void ShowResult();

protected:
    void FormShow() override;
    void AfterSaved() override;
};
