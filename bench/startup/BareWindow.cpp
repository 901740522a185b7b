// A bare Qt window shown until its first paint is done, then the process ends.

#include "FirstPaint.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(640, 480);
    return StartupChild::ShowUntilPainted(window);
}
