#include "TestSupport.h"

#include "ProgramFolder.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include <memory>

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
