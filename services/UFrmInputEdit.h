#pragma once

// The one-line input dialog.

#include "UFrmModel.h"

#include <QtCore/QString>

class QLabel;
class QLineEdit;
class TPiboSpeedButton;

class TFrmInputEdit : public TFrmModel {
    Q_OBJECT
public:
    explicit TFrmInputEdit(QWidget* parent = nullptr);

    TFrameShape* Shape1;
    QLabel* labInputCaption;
    TFrameImage* imaInputBG;
    QLineEdit* ediInput;
    TPiboSpeedButton* ppsbOk;
    TPiboSpeedButton* ppsbCancel;

    void SetInputCaption(const QString& prompt);

    void ppsbOkClick();
    void ppsbCancelClick();
};

// Asks for one line of text. The field starts with text; afterwards text holds
// the field's content whatever button was pressed, and modalResult is 1 for OK
// and 2 otherwise.
void ShowInputEdit(const QString& title, const QString& prompt, QString& text, int& modalResult);
