// A bare Qt window shown and painted once, then the process ends.

#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(640, 480);
    window.show();
    const QPixmap painted = window.grab();
    return painted.isNull() ? 1 : 0;
}
