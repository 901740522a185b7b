#pragma once

// The OK/Cancel confirmation, with the look of the information box.

#include "UFrmShowInfo.h"

class TFrmShowQuestionInfo : public TFrmShowInfo {
    Q_OBJECT
public:
    explicit TFrmShowQuestionInfo(QWidget* parent = nullptr);

    TPiboSpeedButton* ppsbCancel;

    void ppsbCancelClick();
};

// True when the user pressed OK, false for cancel or close.
bool ShowQuestionInfo(const QString& text);
