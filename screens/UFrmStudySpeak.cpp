#include "UFrmStudySpeak.h"

#include <QtWidgets/QMessageBox>

TTransportOptions TFrmStudySpeak::TransportOptions()
{
    TTransportOptions options;
    options.ToStartResetsPauseKind = true;
    return options;
}

TFrmStudySpeak::TFrmStudySpeak(QWidget* parent) : TSpeakScreen(parent, false, TransportOptions())
{
    // The refused restart is told in the system's own message box.
    FTransport->ShowRestartRefusal = [this](const QString& text) {
        QMessageBox box(QMessageBox::Information, QStringLiteral("提示信息"), text, QMessageBox::Ok, this);
        box.exec();
    };
}
