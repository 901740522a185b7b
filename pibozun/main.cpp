// The launcher and updater.

#include "PiboPictures.h"
#include "pibozun.h"

#include <QtWidgets/QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pibozun"));
    RegisterPiboPictures();
    return RunPibozun();
}
