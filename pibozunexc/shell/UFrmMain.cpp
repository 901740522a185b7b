#include "UFrmMain.h"

#include "UDataOperaterFun.h"

#include <QtWidgets/QLabel>

TFrmMain::TFrmMain(QWidget* parent) : TForm(parent)
{
    SetCaption(QStringLiteral("皮博学习室"));
    resize(1000, 700);
    setMinimumSize(800, 600);
    CenterOnScreen();

    SystemPara.IsPlaying = false;
    LoadDefaultCutPlan(SystemPara.AudioCutPara);

    FWelcome = new QLabel(this);
    FWelcome->setText(QStringLiteral("欢迎，%1").arg(SystemPara.UserInfo.UserName));
    FWelcome->setGeometry(20, 20, 400, 24);
}
