// The main program.

#include "PiboPictures.h"
#include "Startup.h"

#include <QtWidgets/QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pibozunexc"));
    RegisterPiboPictures();
    return RunPibozunexc();
}
