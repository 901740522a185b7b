#include "ApplicationException.h"

#include <QtCore/QtDebug>

#include <mutex>

namespace {
std::mutex GLock;
std::function<void(const QString&)>& Handler()
{
    static std::function<void(const QString&)> handler;
    return handler;
}
}  // namespace

void HandleApplicationException(const QString& message)
{
    std::function<void(const QString&)> handler;
    {
        std::lock_guard<std::mutex> lock(GLock);
        handler = Handler();
    }
    if (handler)
        handler(message);
    else
        qWarning("%s", qUtf8Printable(message));
}

void SetApplicationExceptionHandler(std::function<void(const QString& message)> handler)
{
    std::lock_guard<std::mutex> lock(GLock);
    Handler() = std::move(handler);
}
