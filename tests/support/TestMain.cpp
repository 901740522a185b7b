// The start of every test executable (its main is TestProgramMain.cpp or,
// for the programs that use the rich-text suite, RichTextTestMain.cpp): a Qt
// application (offscreen under CTest) with the audio system guard and the
// program's pictures registered, then the program's own start-up, then the
// tests.

#include "TestSupport.h"

#include "AudioDevice.h"
#include "MediaBackend.h"
#include "PiboPictures.h"

#include <QtCore/QSettings>
#include <QtCore/QTemporaryDir>
#include <QtWidgets/QApplication>

#include <gtest/gtest.h>

int RunTestMain(int argc, char** argv, void (*startUp)())
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Each test runs in its own process, many at once: settings that Qt or
    // the program keep for the user (the file dialog's history and last
    // folder among them) go to a folder of this process, not to the user's
    // shared one. (The user's configuration folder itself stays: the sound
    // server's client finds its key there.)
    QTemporaryDir settingsHome;
    if (settingsHome.isValid()) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsHome.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsHome.path());
    }
    UseGStreamerMediaBackend();
    QApplication app(argc, argv);
    // Every stream of the sound server still open is closed before the application object goes.
    TAudioSystemGuard audio;
    RegisterPiboPictures();
    if (startUp)
        startUp();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
