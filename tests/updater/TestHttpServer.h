#pragma once

// A small HTTP/1.1 server on 127.0.0.1 for the updater's tests. It runs on the
// test's thread: it answers while the code under test waits in an event loop.

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QPair>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <functional>

class QTcpServer;
class QTcpSocket;

// The byte at offset i of a generated body.
char GeneratedByte(qint64 i);

class TTestHttpServer : public QObject {
    Q_OBJECT
public:
    TTestHttpServer();
    ~TTestHttpServer() override;

    quint16 Port() const;
    QString BaseUrl() const;  // "http://127.0.0.1:<port>"

    // Answers GET path with body (200). Paths that are not set answer 404.
    void Serve(const QString& path, const QByteArray& body);
    // Answers GET path with an HTML page (200, UTF-8).
    void ServePage(const QString& path, const QByteArray& html);
    // Announces the whole body, sends its first sentBytes and then stays
    // silent with the connection open.
    void Stall(const QString& path, const QByteArray& body, qint64 sentBytes);
    // Announces the whole body, sends its first sentBytes and closes.
    void Truncate(const QString& path, const QByteArray& body, qint64 sentBytes);
    // A body of size bytes (GeneratedByte), produced as the client takes it.
    void Generate(const QString& path, qint64 size);
    // Announces a body of size bytes (GeneratedByte) and sends it one byte
    // every intervalMs, with the connection open.
    void Trickle(const QString& path, qint64 size, int intervalMs);
    // Answers path with 404 again.
    void Remove(const QString& path);

    QStringList Requests;        // paths in the order they were asked for
    QList<QByteArray> UserAgents;
    int ClientClosedStalled = 0;  // stalled or trickling transfers the client gave up
    std::function<void(const QString& path)> OnRequest;

private:
    enum class TKind { Body, Page, Stall, Truncate, Generate, Trickle };
    struct TRoute {
        TKind Kind = TKind::Body;
        QByteArray Body;
        qint64 Sent = 0;
        qint64 Size = 0;
    };

    void NewConnection();
    void ReadRequest(QTcpSocket* socket);
    void Answer(QTcpSocket* socket, const QString& path);
    void FeedGenerated(QTcpSocket* socket);

    QTcpServer* FServer;
    QHash<QString, TRoute> FRoutes;
    QHash<QTcpSocket*, QByteArray> FPending;
    QHash<QTcpSocket*, QPair<qint64, qint64>> FGenerating;  // next offset, size
};
