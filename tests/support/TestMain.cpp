// The main of every test executable: a Qt application (offscreen under CTest)
// with the audio system guard and the program's pictures registered, then the tests.

#include "AudioDevice.h"
#include "MediaBackend.h"
#include "PiboPictures.h"

#include <QtWidgets/QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    UseGStreamerMediaBackend();
    QApplication app(argc, argv);
    // Every stream of the sound server still open is closed before the application object goes.
    TAudioSystemGuard audio;
    RegisterPiboPictures();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
