#include "UFrmLogin.h"

#include "UDataInterface.h"
#include "UDataOperaterFun.h"
#include "UFrmShowInfo.h"
#include "UPiboComponent.h"

#include <QtCore/QDateTime>
#include <QtSql/QSqlQuery>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLabel>

TFrmLogin::TFrmLogin(QWidget* parent) : TForm(parent)
{
    SetCaption(QStringLiteral("用户登录"));
    SetClientSize(300, 150);
    CenterOnScreen();

    auto* label = new QLabel(QStringLiteral("用户名："), this);
    label->setGeometry(30, 40, 60, 20);
    FUser = new QComboBox(this);
    FUser->setEditable(true);
    FUser->setGeometry(90, 38, 180, 22);
    if (DataInterface && DataInterface->Connected()) {
        QSqlQuery query(DataInterface->Connection());
        if (query.exec(QStringLiteral("select username from userinfo order by username")))
            while (query.next())
                FUser->addItem(query.value(0).toString());
    }

    FLogin = new TPiboSpeedButton(this);
    FLogin->SetPiboSpeedButtonType(pbstLoginButton);
    FLogin->SetCaption(QStringLiteral("登录"));
    FLogin->move((300 - FLogin->width()) / 2, 95);
    FLogin->OnClick = [this] { psbLoginClick(); };
}

void TFrmLogin::psbLoginClick()
{
    const QString name = FUser->currentText().trimmed();
    if (name.isEmpty()) {
        ShowInfo(QStringLiteral("请输入用户名！"));
        return;
    }
    if (!UserExists(name)) {
        TUserInfo user;
        user.UserName = name;
        if (!AddUser(user)) {
            ShowInfo(QStringLiteral("添加用户失败！"));
            return;
        }
    }
    if (IsFirstUse(name))
        UpdateFirstUseTime(name, QDateTime::currentDateTime());
    UpdateLastLoginTime(name, QDateTime::currentDateTime());
    SystemPara.UserInfo.UserName = name;
    SetModalResult(mrOk);
}
