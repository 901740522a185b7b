#include "TestSupport.h"

#include "ProgramFolder.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDeadlineTimer>
#include <QtCore/QDir>
#include <QtCore/QEventLoop>
#include <QtCore/QElapsedTimer>
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include <memory>

#include <cerrno>

#include <sys/prctl.h>
#include <sys/wait.h>

TTestProgramFolder::TTestProgramFolder()
{
    QDir dir(FDir.path());
    for (const char* sub : {"data/dict", "audio", "video", "temp", "update/backup"})
        dir.mkpath(QString::fromLatin1(sub));
    SetProgramFolder(FDir.path());
}

TTestProgramFolder::~TTestProgramFolder()
{
    SetProgramFolder(QString());
}

QString TTestProgramFolder::Path() const
{
    return FDir.path() + u'/';
}

void WhenModalShown(std::function<void(QWidget*)> action, int timeoutMs)
{
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [action, timer, timeoutMs, poll]() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible()) {
            action(modal);
            *poll = nullptr;  // break the cycle
            return;
        }
        if (timer->elapsed() > timeoutMs) {
            *poll = nullptr;
            return;
        }
        QTimer::singleShot(10, [poll]() {
            if (*poll)
                (*poll)();
        });
    };
    QTimer::singleShot(0, [poll]() {
        if (*poll)
            (*poll)();
    });
}

void ProcessEvents()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

bool RunEventsUntil(const std::function<bool()>& done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    // Wakes the event wait at the deadline.
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void AdoptDetachedPrograms()
{
    if (::prctl(PR_SET_CHILD_SUBREAPER, 1) != 0)
        qFatal("this process cannot adopt the programs it starts");
}

void WaitForChildPrograms()
{
    for (;;) {
        if (::waitpid(-1, nullptr, 0) < 0 && errno != EINTR)
            return;  // ECHILD: none left
    }
}
