#include "UUpdateHttp.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QFile>
#include <QtCore/QTimer>
#include <QtCore/QUrl>
#include <QtNetwork/QNetworkAccessManager>
#include <QtNetwork/QNetworkProxy>
#include <QtNetwork/QNetworkReply>
#include <QtNetwork/QNetworkRequest>

#include <algorithm>
#include <limits>

namespace {
int GDefaultReadTimeout = 15000;
TUpdateTimeLimits GUpdateTimeLimits;

// What the socket may hold before the reply waits for us to read: the body goes
// to disk in pieces of about this size, whatever the file's size.
constexpr qint64 ReadBufferSize = 256 * 1024;
}  // namespace

int DefaultReadTimeout()
{
    return GDefaultReadTimeout;
}

void SetDefaultReadTimeout(int ms)
{
    GDefaultReadTimeout = std::max(1, ms);
}

TUpdateTimeLimits UpdateTimeLimits()
{
    return GUpdateTimeLimits;
}

void SetUpdateTimeLimits(const TUpdateTimeLimits& limits)
{
    GUpdateTimeLimits = limits;
}

qint64 TransferTimeLimitMs(qint64 floorMs, qint64 bytesPerSecond, qint64 announcedBytes)
{
    qint64 limit = std::max<qint64>(0, floorMs);
    if (bytesPerSecond > 0 && announcedBytes > 0) {
        // Seconds first: no overflow for any size.
        const qint64 forSize = announcedBytes / bytesPerSecond * 1000 + announcedBytes % bytesPerSecond * 1000 / bytesPerSecond;
        limit = std::max(limit, forSize);
    }
    return limit;
}

TUpdateHttp::TUpdateHttp(QObject* parent)
    : QObject(parent), FManager(new QNetworkAccessManager(this)), FReadTimeout(GDefaultReadTimeout)
{
    FManager->setProxy(QNetworkProxy::NoProxy);
}

TUpdateHttp::~TUpdateHttp()
{
    Disconnect();
}

void TUpdateHttp::Disconnect()
{
    if (FReply)
        FReply->abort();
}

bool TUpdateHttp::Get(const QString& url, const QString& fileName)
{
    if (FReply)
        return false;
    FTimedOut = false;
    if (fileName.isEmpty())
        return false;
    const QUrl address(url.trimmed(), QUrl::TolerantMode);
    const QString scheme = address.scheme().toLower();
    if (!address.isValid() || address.host().isEmpty() || (scheme != u"http" && scheme != u"https"))
        return false;

    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;

    QNetworkRequest request(address);
    request.setRawHeader("Accept", "text/html, */*");
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("text/html"));
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Mozilla/3.0 (compatible; Indy Library)"));

    QNetworkReply* reply = FManager->get(request);
    reply->setReadBufferSize(ReadBufferSize);
    FReply = reply;

    // The bounds as they stand now hold for the whole of this transfer; a
    // change meanwhile is for the next one.
    const int readTimeout = std::max(1, FReadTimeout);
    const qint64 timeLimitMs = FTimeLimitMs;
    const qint64 bytesPerSecond = FBytesPerSecond;
    bool writeFailed = false;
    bool begun = false;
    qint64 written = 0;
    QEventLoop loop;
    QTimer idle;
    idle.setSingleShot(true);
    idle.setInterval(readTimeout);
    // The whole transfer: bounded from the request on, the bound moved once
    // the server announces the size.
    QElapsedTimer clock;
    clock.start();
    QTimer whole;
    whole.setSingleShot(true);
    bool sizeSeen = false;
    const auto armWhole = [&](qint64 announced) {
        const qint64 limit = TransferTimeLimitMs(timeLimitMs, bytesPerSecond, announced);
        if (limit <= 0)
            return;
        const qint64 left = std::clamp<qint64>(limit - clock.elapsed(), 0, std::numeric_limits<int>::max());
        whole.start(static_cast<int>(left));
    };
    const auto announcedSize = [&]() {
        if (sizeSeen)
            return;
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid()) {
            sizeSeen = true;
            armWhole(length.toLongLong());
        }
    };
    const auto timeOut = [&]() {
        if (reply->isFinished())
            return;
        FTimedOut = true;
        reply->abort();
    };

    const auto drain = [&]() {
        while (!writeFailed && reply->bytesAvailable() > 0) {
            const QByteArray piece = reply->read(ReadBufferSize);
            if (piece.isEmpty())
                break;
            if (file.write(piece) != piece.size()) {
                writeFailed = true;
                reply->abort();
                return;
            }
            written += piece.size();
        }
    };
    connect(reply, &QNetworkReply::metaDataChanged, &loop, announcedSize);
    connect(reply, &QNetworkReply::readyRead, &loop, [&]() {
        idle.start();
        drain();
    });
    connect(reply, &QNetworkReply::downloadProgress, &loop, [&](qint64 received, qint64 total) {
        idle.start();
        announcedSize();
        if (!begun) {
            begun = true;
            if (OnWorkBegin)
                OnWorkBegin(total);
        }
        if (OnWork)
            OnWork(received);
    });
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    connect(&idle, &QTimer::timeout, &loop, timeOut);
    connect(&whole, &QTimer::timeout, &loop, timeOut);

    idle.start();
    armWhole(-1);
    // The handlers above may run the caller's code (progress, a cancel that
    // stops the transfer); the reply finishes in every case, also when aborted.
    if (!reply->isFinished())
        loop.exec();
    idle.stop();
    whole.stop();
    drain();

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    bool ok = !writeFailed && reply->error() == QNetworkReply::NoError && status >= 200 && status < 300;
    // A body the client unpacked is longer than the announced count; a plain
    // one must be as long: the connection may have ended early.
    if (ok && length.isValid() && reply->rawHeader("Content-Encoding").isEmpty() && length.toLongLong() != written)
        ok = false;
    FReply = nullptr;
    reply->disconnect(&loop);
    reply->deleteLater();

    if (!file.flush())
        ok = false;
    file.close();
    if (file.error() != QFileDevice::NoError)
        ok = false;
    if (!ok)
        file.remove();
    return ok;
}
