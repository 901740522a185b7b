#pragma once

// The result window of free dictation: the learner's whole text, word by
// word with the checker's marks, broken where the typed lines break.

#include "UFrmSingleCheck.h"

#include <QtCore/QStringList>

class TFrmFreeCheck : public TFrmCheckWindow {
    Q_OBJECT
public:
    explicit TFrmFreeCheck(QWidget* parent = nullptr);

    // The editor's lines, in order; filled before the dialog is shown.
    QStringList TypedLines;

    void ShowResult();

protected:
    void FormShow() override;
    // The dialog stays open after a save.
    void AfterSaved() override {}
};
