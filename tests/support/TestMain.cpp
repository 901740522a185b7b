// The main of every test executable: a Qt application (offscreen under CTest)
// with the program's pictures registered, then the tests.

#include "PiboPictures.h"

#include <QtWidgets/QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RegisterPiboPictures();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
