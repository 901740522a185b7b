// The login window over the program folder given as argument, shown until its
// first paint is done, then the process ends. Linked like the main program, so
// the process loads what it loads at start, and started like it: the same
// steps before the window as the main program takes.
//   start_login_window <program folder> [screenshot file]

#include "FirstPaint.h"

#include "AudioDevice.h"
#include "MediaBackend.h"
#include "PiboPictures.h"
#include "ProgramFolder.h"
#include "QtTranslations.h"
#include "RichTextSuite.h"
#include "UDataInterface.h"
#include "UFrmLogin.h"
#include "UFrmShowInfo.h"
#include "UStudyScreen.h"

#include <QtWidgets/QApplication>

#include <memory>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    UseGStreamerMediaBackend();
    QApplication app(argc, argv);
    TAudioSystemGuard audio;
    TShowInfoExceptionHandler errors;
    QCoreApplication::setApplicationName(QStringLiteral("pibozunexc"));
    RegisterPiboPictures();
    InstallRichTextSuite();
    InstallQtTranslations();
    SetProgramFolder(QString::fromLocal8Bit(argv[1]));
    RegisterStudyScreens();
    DataInterface = new TDataInterface();
    int result = 3;
    if (DataInterface->Connect()) {
        auto login = std::make_unique<TFrmLogin>();
        result = StartupChild::ShowUntilPainted(*login, argc > 2 ? argv[2] : nullptr);
    }
    delete DataInterface;
    DataInterface = nullptr;
    return result;
}
