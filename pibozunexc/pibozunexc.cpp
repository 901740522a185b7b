// The main program.

#include "AudioDevice.h"
#include "MediaBackend.h"
#include "PiboPictures.h"
#include "QtTranslations.h"
#include "RichTextSuite.h"
#include "Startup.h"
#include "UFrmShowInfo.h"

#include <QtWidgets/QApplication>

int main(int argc, char** argv)
{
    UseGStreamerMediaBackend();
    QApplication app(argc, argv);
    // Every stream of the sound server still open is closed before the application object goes.
    TAudioSystemGuard audio;
    // Failures of worker threads reach the user.
    TShowInfoExceptionHandler errors;
    QCoreApplication::setApplicationName(QStringLiteral("pibozunexc"));
    RegisterPiboPictures();
    // The rich-text suite's hooks, before any document is made.
    InstallRichTextSuite();
    // Qt's own dialogs (open, save, folders) speak Chinese like the rest.
    InstallQtTranslations();
    return RunPibozunexc();
}
