#pragma once

// What the start-up children share: shown, a window waits for its first paint
// to finish, writes the moment (steady clock, nanoseconds) to its standard
// output and ends. The parent takes its own moment just before starting the
// child, so that the difference is start to painted window, the loader's work
// included and the teardown left out.

#include <QtCore/QCoreApplication>
#include <QtCore/QEvent>
#include <QtCore/QObject>
#include <QtCore/QTimer>
#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtWidgets/QWidget>

#include <chrono>
#include <cstdio>

namespace StartupChild {

class TFirstPaintWatch : public QObject {
public:
    bool Painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !Painted) {
            Painted = true;
            // The paint of the window and its children ends, the backing store
            // is flushed, then the loop ends.
            QTimer::singleShot(0, QCoreApplication::instance(), [] { QCoreApplication::exit(0); });
        }
        return QObject::eventFilter(watched, event);
    }
};

// Shows the window, runs the loop until its first paint is done and writes the
// moment. With a file name, the screen under the window is saved there too
// (a real screenshot on X). Returns the exit code: 0 painted, 1 not.
inline int ShowUntilPainted(QWidget& window, const char* screenshot = nullptr)
{
    TFirstPaintWatch watch;
    window.installEventFilter(&watch);
    QTimer failure;
    failure.setSingleShot(true);
    QObject::connect(&failure, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    failure.start(20000);
    window.show();
    if (QCoreApplication::exec() != 0 || !watch.Painted)
        return 1;
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::printf("%lld\n", static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
    std::fflush(stdout);
    if (screenshot) {
        // Let the server take the flushed picture before it is read back.
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QScreen* screen = QGuiApplication::primaryScreen();
        const QRect area = window.frameGeometry();
        const QPixmap shot = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
        if (shot.isNull() || !shot.save(QString::fromLocal8Bit(screenshot)))
            return 1;
    }
    return 0;
}

}  // namespace StartupChild
