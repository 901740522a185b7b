#pragma once

// The updater's HTTP client: GETs one address into one file, streaming the body
// to disk as it arrives, and reports its progress.

#include <QtCore/QObject>
#include <QtCore/QString>

#include <functional>

class QEventLoop;
class QNetworkAccessManager;
class QNetworkReply;

// The read time-out new clients start with, in ms: a transfer that receives
// nothing for this long is ended as failed. 15000 unless changed (tests shorten it).
// What the learner is told when a download fails.
inline const QString DownloadFailedText = QStringLiteral("下载文件失败！");

int DefaultReadTimeout();
void SetDefaultReadTimeout(int ms);

// How long whole transfers of the updater may take, in ms, however steadily
// bytes arrive: the update list at most ListMs; a listed file as long as its
// announced size takes at FileBytesPerSecond, but at least FileFloorMs (the
// floor alone when no size is announced). Tests shorten them.
struct TUpdateTimeLimits {
    int ListMs = 60000;
    int FileFloorMs = 120000;
    qint64 FileBytesPerSecond = 4096;
};
TUpdateTimeLimits UpdateTimeLimits();
void SetUpdateTimeLimits(const TUpdateTimeLimits& limits);

// The time a transfer may take: floorMs, or the time announcedBytes take at
// bytesPerSecond when that is longer (announcedBytes < 0: not announced;
// bytesPerSecond <= 0: the floor only). 0 means no bound.
qint64 TransferTimeLimitMs(qint64 floorMs, qint64 bytesPerSecond, qint64 announcedBytes);

class TUpdateHttp : public QObject {
    Q_OBJECT
public:
    explicit TUpdateHttp(QObject* parent = nullptr);
    ~TUpdateHttp() override;

    // GETs url into fileName, replacing any file there, while the caller's
    // thread goes on handling events. True when a 2xx response arrived whole
    // (as many bytes as the server announced) and every byte is on disk. On
    // failure the file is removed. One transfer at a time: a call while another
    // runs fails at once.
    bool Get(const QString& url, const QString& fileName);

    // True while a transfer runs.
    bool Connected() const { return FReply != nullptr; }
    // Stops the running transfer; its Get returns false. Nothing when idle.
    void Disconnect();

    int ReadTimeout() const { return FReadTimeout; }
    void SetReadTimeout(int ms) { FReadTimeout = ms; }
    // Bounds every transfer as a whole (see TransferTimeLimitMs); 0: none.
    // Both bounds hold from the next Get on: a transfer keeps those it began with.
    void SetTimeLimit(qint64 floorMs, qint64 bytesPerSecond = 0)
    {
        FTimeLimitMs = floorMs;
        FBytesPerSecond = bytesPerSecond;
    }
    // The last transfer was ended by a time-out (read or whole-transfer).
    bool TimedOut() const { return FTimedOut; }

    // Progress of the running transfer: the expected byte count when the
    // transfer begins (-1 when the server gives none), then the bytes so far.
    std::function<void(qint64 workCountMax)> OnWorkBegin;
    std::function<void(qint64 workCount)> OnWork;

private:
    QNetworkAccessManager* FManager;
    QNetworkReply* FReply = nullptr;
    int FReadTimeout;
    qint64 FTimeLimitMs = 0;
    qint64 FBytesPerSecond = 0;
    bool FTimedOut = false;
};
