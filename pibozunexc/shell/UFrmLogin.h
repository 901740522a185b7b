#pragma once

// The login window: the user picker shown before the main window. It lists the
// users with their first-use and last-login dates, adds a new user by name and
// closes with OK (modal result 1) once a user is chosen; the chosen user goes
// to SystemPara. No password is asked for.

#include "Forms.h"

#include <QtCore/QList>

class QLabel;
class QLineEdit;
class TFrameImage;
class TLinkLabel;
class TPiboSpeedButton;
class TPiboStringGrid;

class TFrmLogin : public TForm {
    Q_OBJECT
public:
    explicit TFrmLogin(QWidget* parent = nullptr);
    ~TFrmLogin() override;

    static constexpr int FormWidth = 642;
    static constexpr int FormHeight = 400;
    static constexpr TColor LinkColor = 9727256;
    static constexpr TColor VersionColor = 11568420;
    // The hint text that marks a link label.
    static inline const QString LinkMarker = QStringLiteral("PiboWebLink");

    TFrameImage* imaBackground;
    TPiboSpeedButton* psbClose;
    TPiboSpeedButton* psbMin;
    TFrameImage* Image1;  // under the new-user field
    QLineEdit* ediAddUser;
    TLinkLabel* labAdd;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    TPiboSpeedButton* psbOk;
    QLabel* Label2;
    TLinkLabel* Label3;
    QList<QLabel*> GroupCaptions;
    QList<TLinkLabel*> LinkLabels;  // the 14 labels of the maker's web services

    // The user list (made at the first show): one row per user, the columns
    // user name, first use and last login.
    QWidget* UserList() const;
    int UserListRowCount() const;
    QString UserListCell(int col, int row) const;
    int UserListColWidth(int col) const;
    int UserListCurrentRow() const;
    void SelectUserRow(int row);

    // Published handlers.
    void FormShow();
    void imaBackgroundMouseDown(TMouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void psbCloseClick();
    void psbMinClick();
    void psbOkClick();
    void labAddClick();
    void labAddMouseMove();
    void labAddMouseLeave();
    void Label3Click();
    void Label3MouseMove();
    void Label3MouseLeave();
    void Label8Click(TLinkLabel* sender);
    void Label8MouseMove(TLinkLabel* sender);
    void Label8MouseLeave();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void MakeUserList();
    void FillUserList();

    TPiboStringGrid* FUserList = nullptr;
};
