#include "QtAudioStream.h"

#include <QtCore/QTimer>

QAudioFormat ToQtAudioFormat(const TAudioFormat& format)
{
    QAudioFormat f;
    f.setSampleRate(static_cast<int>(format.SampleRate));
    f.setChannelCount(format.Channels);
    f.setSampleFormat(format.BitsPerSample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
    return f;
}

void HandleAudioStreamFailure(const std::exception* e)
{
    ReportModuleFailure(e ? QString::fromLocal8Bit(e->what())
                          : QStringLiteral("An unspecified error occurred in the audio device."));
}

TQtStreamThread::TQtStreamThread(std::shared_ptr<TQtLiveStreams> live) : FLive(std::move(live))
{
    std::lock_guard<std::mutex> lock(FLive->Lock);
    FLive->Streams.insert(this);
}

TQtStreamThread::~TQtStreamThread()
{
    // Only now: a system closing all its streams holds the list's lock while
    // it closes this one, so the memory stays until it is done.
    std::lock_guard<std::mutex> lock(FLive->Lock);
    FLive->Streams.erase(this);
}

void TQtStreamThread::CloseSilently()
{
    std::lock_guard<std::mutex> life(FLifeLock);
    if (!FClosed.load())
        CloseLocked();
}

QTimer* TQtStreamThread::MakePumpTimer(int intervalMs)
{
    auto* timer = new QTimer(FContext);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(intervalMs);
    QObject::connect(timer, &QTimer::timeout, FContext, [this] { PumpGuarded(); });
    return timer;
}

void TQtStreamThread::StartThread(const QString& name)
{
    FThread.setObjectName(name);
    FThread.start(QThread::HighestPriority);
    FContext = new QObject;
    FContext->moveToThread(&FThread);
}

void TQtStreamThread::CloseLocked()
{
    FClosed.store(true);
    if (FContext) {
        OnDriver([&] {
            ReleaseOnThread();
            delete FContext;
            FContext = nullptr;
        });
    }
    FThread.quit();
    FThread.wait();
}
