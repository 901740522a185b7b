// The main program.

#include "AudioDevice.h"
#include "PiboPictures.h"
#include "Startup.h"
#include "UFrmShowInfo.h"

#include <QtWidgets/QApplication>

int main(int argc, char** argv)
{
    // Video plays through the GStreamer back end of Qt Multimedia.
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "gstreamer");
    QApplication app(argc, argv);
    // Every stream of the sound server still open is closed before the application object goes.
    TAudioSystemGuard audio;
    // Failures of worker threads reach the user.
    TShowInfoExceptionHandler errors;
    QCoreApplication::setApplicationName(QStringLiteral("pibozunexc"));
    RegisterPiboPictures();
    return RunPibozunexc();
}
