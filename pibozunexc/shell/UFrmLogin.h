#pragma once

#include "Forms.h"

class QComboBox;
class TPiboSpeedButton;

// The user picker shown before the main window. This is the plain first form
// of it: pick a known user or type a new name, then log in.
class TFrmLogin : public TForm {
    Q_OBJECT
public:
    explicit TFrmLogin(QWidget* parent = nullptr);

    QComboBox* cbUser() const { return FUser; }
    TPiboSpeedButton* psbLogin() const { return FLogin; }

private:
    void psbLoginClick();

    QComboBox* FUser;
    TPiboSpeedButton* FLogin;
};
