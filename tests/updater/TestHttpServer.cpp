#include "TestHttpServer.h"

#include <QtNetwork/QHostAddress>
#include <QtNetwork/QTcpServer>
#include <QtNetwork/QTcpSocket>

#include <QtCore/QTimer>

#include <algorithm>
#include <memory>

namespace {
constexpr qint64 GenerateChunk = 64 * 1024;
constexpr qint64 GenerateBacklog = 512 * 1024;

QByteArray Header(int status, const char* reason, qint64 length,
                  const QByteArray& type = QByteArrayLiteral("application/octet-stream"))
{
    return QByteArray("HTTP/1.1 ") + QByteArray::number(status) + ' ' + reason + "\r\nContent-Type: " + type +
           "\r\nContent-Length: " + QByteArray::number(length) +
           "\r\nConnection: close\r\n\r\n";
}
}  // namespace

char GeneratedByte(qint64 i)
{
    return static_cast<char>((i * 7 + (i >> 12) * 13) & 0xFF);
}

TTestHttpServer::TTestHttpServer() : FServer(new QTcpServer(this))
{
    connect(FServer, &QTcpServer::newConnection, this, &TTestHttpServer::NewConnection);
    FServer->listen(QHostAddress::LocalHost, 0);
}

TTestHttpServer::~TTestHttpServer()
{
    for (QTcpSocket* socket : FServer->findChildren<QTcpSocket*>())
        socket->disconnect(this);
}

quint16 TTestHttpServer::Port() const
{
    return FServer->serverPort();
}

QString TTestHttpServer::BaseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(Port());
}

void TTestHttpServer::Serve(const QString& path, const QByteArray& body)
{
    FRoutes.insert(path, TRoute{TKind::Body, body, 0, 0});
}

void TTestHttpServer::ServePage(const QString& path, const QByteArray& html)
{
    FRoutes.insert(path, TRoute{TKind::Page, html, 0, 0});
}

void TTestHttpServer::Stall(const QString& path, const QByteArray& body, qint64 sentBytes)
{
    FRoutes.insert(path, TRoute{TKind::Stall, body, sentBytes, 0});
}

void TTestHttpServer::Truncate(const QString& path, const QByteArray& body, qint64 sentBytes)
{
    FRoutes.insert(path, TRoute{TKind::Truncate, body, sentBytes, 0});
}

void TTestHttpServer::Generate(const QString& path, qint64 size)
{
    FRoutes.insert(path, TRoute{TKind::Generate, {}, 0, size});
}

void TTestHttpServer::Trickle(const QString& path, qint64 size, int intervalMs)
{
    FRoutes.insert(path, TRoute{TKind::Trickle, {}, intervalMs, size});
}

void TTestHttpServer::Remove(const QString& path)
{
    FRoutes.remove(path);
}

void TTestHttpServer::NewConnection()
{
    while (QTcpSocket* socket = FServer->nextPendingConnection()) {
        socket->setParent(FServer);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket]() { ReadRequest(socket); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket]() { FeedGenerated(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket]() {
            if (socket->property("stalled").toBool())
                ++ClientClosedStalled;
            FPending.remove(socket);
            FGenerating.remove(socket);
            socket->deleteLater();
        });
    }
}

void TTestHttpServer::ReadRequest(QTcpSocket* socket)
{
    QByteArray& pending = FPending[socket];
    pending += socket->readAll();
    const qsizetype end = pending.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    const QList<QByteArray> lines = pending.left(end).split('\n');
    pending.clear();
    const QList<QByteArray> request = lines.value(0).trimmed().split(' ');
    QString path = QString::fromLatin1(request.value(1));
    path = path.left(path.indexOf(u'?') < 0 ? path.size() : path.indexOf(u'?'));
    while (path.contains(QLatin1String("//")))
        path.replace(QLatin1String("//"), QLatin1String("/"));
    for (const QByteArray& line : lines)
        if (line.toLower().startsWith("user-agent:"))
            UserAgents.append(line.mid(11).trimmed());
    Requests.append(path);
    if (OnRequest)
        OnRequest(path);
    Answer(socket, path);
}

void TTestHttpServer::Answer(QTcpSocket* socket, const QString& path)
{
    const auto route = FRoutes.constFind(path);
    if (route == FRoutes.constEnd()) {
        const QByteArray body("not found");
        socket->write(Header(404, "Not Found", body.size()) + body);
        socket->disconnectFromHost();
        return;
    }
    switch (route->Kind) {
    case TKind::Body:
        socket->write(Header(200, "OK", route->Body.size()) + route->Body);
        socket->disconnectFromHost();
        break;
    case TKind::Page:
        socket->write(Header(200, "OK", route->Body.size(), QByteArrayLiteral("text/html; charset=utf-8")) +
                      route->Body);
        socket->disconnectFromHost();
        break;
    case TKind::Stall:
        socket->setProperty("stalled", true);
        socket->write(Header(200, "OK", route->Body.size()) + route->Body.left(route->Sent));
        break;
    case TKind::Truncate:
        socket->write(Header(200, "OK", route->Body.size()) + route->Body.left(route->Sent));
        socket->disconnectFromHost();
        break;
    case TKind::Trickle: {
        socket->setProperty("stalled", true);
        socket->write(Header(200, "OK", route->Size));
        auto* timer = new QTimer(socket);
        auto offset = std::make_shared<qint64>(0);
        const qint64 size = route->Size;
        connect(timer, &QTimer::timeout, socket, [socket, offset, size]() {
            if (*offset < size)
                socket->write(QByteArray(1, GeneratedByte((*offset)++)));
        });
        timer->start(static_cast<int>(route->Sent));
        break;
    }
    case TKind::Generate:
        socket->write(Header(200, "OK", route->Size));
        FGenerating.insert(socket, {0, route->Size});
        FeedGenerated(socket);
        break;
    }
}

void TTestHttpServer::FeedGenerated(QTcpSocket* socket)
{
    auto it = FGenerating.find(socket);
    if (it == FGenerating.end())
        return;
    qint64& offset = it->first;
    const qint64 size = it->second;
    while (offset < size && socket->bytesToWrite() < GenerateBacklog) {
        const qint64 n = std::min(GenerateChunk, size - offset);
        QByteArray chunk(n, Qt::Uninitialized);
        for (qint64 i = 0; i < n; ++i)
            chunk[i] = GeneratedByte(offset + i);
        socket->write(chunk);
        offset += n;
    }
    if (offset >= size) {
        FGenerating.erase(it);
        socket->disconnectFromHost();
    }
}
