#pragma once

#include "Forms.h"

class QLabel;

// The main window. This first form of it is the frame the study screens will be
// hosted in.
class TFrmMain : public TForm {
    Q_OBJECT
public:
    explicit TFrmMain(QWidget* parent = nullptr);

private:
    QLabel* FWelcome;
};
