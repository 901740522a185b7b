// The network module's entry points: the connection test over Qt Network.

#include "NetworkProbe.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QEventLoop>
#include <QtCore/QObject>
#include <QtCore/QTimer>
#include <QtNetwork/QTcpSocket>

extern "C" {

Q_DECL_EXPORT int PiboNetworkProbeVersion()
{
    return NetworkProbeInterfaceVersion;
}

Q_DECL_EXPORT bool PiboNetworkProbeConnect(const QString& host, std::uint16_t port, int timeoutMs)
{
    QTcpSocket socket;
    if (!QCoreApplication::instance()) {
        // No event loop to wait in: the socket waits by itself (a host name
        // is then looked up before the time-out starts).
        socket.connectToHost(host, port);
        return socket.waitForConnected(timeoutMs);
    }
    // Wait in a local loop, so that the look-up of the host name counts
    // against the time-out too; the user's input waits meanwhile.
    QEventLoop loop;
    bool done = false;
    const auto finish = [&done, &loop]() {
        done = true;
        loop.quit();
    };
    QObject::connect(&socket, &QTcpSocket::connected, &loop, finish);
    QObject::connect(&socket, &QTcpSocket::errorOccurred, &loop, finish);
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, finish);
    timer.start(timeoutMs);
    socket.connectToHost(host, port);
    if (!done && socket.state() != QAbstractSocket::ConnectedState)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    const bool connected = socket.state() == QAbstractSocket::ConnectedState;
    socket.abort();
    return connected;
}

}  // extern "C"
