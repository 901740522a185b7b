// The login window over the program folder given as argument, shown and
// painted once, then the process ends. Linked like the main program, so the
// process loads what it loads at start.

#include "PiboPictures.h"
#include "ProgramFolder.h"
#include "UDataInterface.h"
#include "UFrmLogin.h"

#include <QtWidgets/QApplication>

#include <memory>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    RegisterPiboPictures();
    SetProgramFolder(QString::fromLocal8Bit(argv[1]));
    DataInterface = new TDataInterface();
    int result = 3;
    if (DataInterface->Connect()) {
        auto login = std::make_unique<TFrmLogin>();
        login->show();
        result = login->grab().isNull() ? 1 : 0;
    }
    delete DataInterface;
    DataInterface = nullptr;
    return result;
}
