#include "Startup.h"

#include "SingleInstance.h"
#include "UDataInterface.h"
#include "UFrmLogin.h"
#include "UFrmMain.h"
#include "UFrmShowInfo.h"
#include "UStudyScreen.h"

#include <QtGui/QGuiApplication>
#include <QtWidgets/QApplication>

#include <memory>

namespace {
// Shutdown steps: close the connection, free the data module. They run on every
// way out once the data module exists, also when an exception leaves start-up.
struct DataModuleScope {
    DataModuleScope() { DataInterface = new TDataInterface(); }
    ~DataModuleScope()
    {
        if (DataInterface->Connected())
            DataInterface->Close();
        delete DataInterface;
        DataInterface = nullptr;
    }
};
}  // namespace

int RunPibozunexc()
{
    TSingleInstanceLock singleApp(QStringLiteral("SingleApp"));
    if (!singleApp.TryAcquire())
        return 0;  // another copy runs: end silently

    QGuiApplication::setApplicationDisplayName(QString::fromUtf16(ApplicationTitle));
    QGuiApplication::setQuitOnLastWindowClosed(false);
    RegisterStudyScreens();

    int exitCode = 0;
    // The handler makes the stack unwind, so that the shutdown steps run before
    // an escaping exception goes on to the default handler.
    try {
        DataModuleScope dataModule;
        if (!DataInterface->Connect()) {
            ShowInfo(QStringLiteral("初始化程序失败！"));
        } else {
            int loginResult = mrCancel;
            {
                auto login = std::make_unique<TFrmLogin>();
                loginResult = login->ShowModal();
            }
            if (loginResult == mrOk) {
                auto main = std::make_unique<TFrmMain>();
                SetMainForm(main.get());
                main->OnClose = [] { QCoreApplication::quit(); };
                main->show();
                exitCode = QApplication::exec();
                SetMainForm(nullptr);
            }
        }
    } catch (...) {
        singleApp.Release();
        throw;
    }
    singleApp.Release();
    return exitCode;
}
