#include "ApplicationException.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QMetaObject>
#include <QtCore/QThread>
#include <QtCore/QtDebug>

#include <exception>
#include <mutex>

namespace {
std::mutex GLock;
std::function<void(const QString&)>& Handler()
{
    static std::function<void(const QString&)> handler;
    return handler;
}

// On the GUI thread (or without application object): the handler, or the warning.
void Deliver(const QString& message)
{
    std::function<void(const QString&)> handler;
    {
        std::lock_guard<std::mutex> lock(GLock);
        handler = Handler();
    }
    if (!handler) {
        qWarning("%s", qUtf8Printable(message));
        return;
    }
    // Nothing may leave the event that delivers it.
    try {
        handler(message);
    } catch (const std::exception& e) {
        qWarning("%s (%s)", qUtf8Printable(message), e.what());
    } catch (...) {
        qWarning("%s", qUtf8Printable(message));
    }
}
}  // namespace

void HandleApplicationException(const QString& message)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread()) {
        QMetaObject::invokeMethod(app, [message] { Deliver(message); }, Qt::QueuedConnection);
        return;
    }
    Deliver(message);
}

void SetApplicationExceptionHandler(std::function<void(const QString& message)> handler)
{
    std::lock_guard<std::mutex> lock(GLock);
    Handler() = std::move(handler);
}
