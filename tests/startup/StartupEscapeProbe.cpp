// A run of the main program whose start-up raises: the login window cannot be
// built without the picture of its button. The exception is left uncaught, as
// in the program itself; the terminate handler reports what the shutdown left.

#include "AudioDevice.h"
#include "Graphics.h"
#include "PiboPictures.h"
#include "SingleInstance.h"
#include "Startup.h"
#include "UDataInterface.h"

#include <QtWidgets/QApplication>

#include <cstdio>
#include <cstdlib>
#include <exception>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TAudioSystemGuard audio;
    RegisterPiboPictures();
    UnregisterBitmapResource(QStringLiteral("LoginButtonNormal"));
    std::set_terminate([] {
        TSingleInstanceLock probe(QStringLiteral("SingleApp"));
        std::fprintf(stderr, "escaped: data module %s, lock %s\n", DataInterface ? "alive" : "freed",
                     probe.TryAcquire() ? "free" : "held");
        std::fflush(stderr);
        std::_Exit(3);
    });
    return RunPibozunexc();
}
