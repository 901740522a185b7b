#include "SndWaveDev.h"

#include "ApplicationException.h"
#include "SndObj.h"
#include "SndUtils.h"
#include "ThreadSanitizer.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QEvent>

#include <atomic>
#include <exception>

namespace SndWaveDev {

void SetFlag(TSndWaveHdr* hdr, std::uint32_t flag)
{
    std::atomic_ref<std::uint32_t>(hdr->dwFlags).fetch_or(flag);
}

void ClearFlag(TSndWaveHdr* hdr, std::uint32_t flag)
{
    std::atomic_ref<std::uint32_t>(hdr->dwFlags).fetch_and(~flag);
}

bool HasFlag(TSndWaveHdr* hdr, std::uint32_t flag)
{
    return (std::atomic_ref<std::uint32_t>(hdr->dwFlags).load() & flag) != 0;
}

QString CurrentExceptionText(const char* device)
{
    try {
        throw;
    } catch (const ESndError& e) {
        return e.Message();
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QString::fromLatin1(device) + QStringLiteral(":\n\rUnknown error");
    }
}

bool ToAudioFormat(const TWaveFormatEx* format, TAudioFormat& out)
{
    if (!format || format->wFormatTag != WAVE_FORMAT_PCM)
        return false;
    out.Channels = format->nChannels;
    out.SampleRate = format->nSamplesPerSec;
    out.BitsPerSample = format->wBitsPerSample;
    return out.IsValid();
}

QString DriverErrorText(TAudioSystem& driver, int result)
{
    const QString text = driver.ErrorText(result).left(255);
    return text.isEmpty() ? LoadResStr(86) : text;
}

int DoneEventType()
{
    static const int type = QEvent::registerEventType();
    return type;
}

int EndEventType()
{
    static const int type = QEvent::registerEventType();
    return type;
}

int CloseEventType()
{
    static const int type = QEvent::registerEventType();
    return type;
}

void Post(QObject* window, int type)
{
    if (!window)
        return;
    auto* event = new QEvent(static_cast<QEvent::Type>(type));
    MarkHappensBefore(event);
    QCoreApplication::postEvent(window, event);
}

TSndDeviceWindow::TSndDeviceWindow(const char* device, std::function<void()> onDone, std::function<void()> onEnd,
                                   std::function<void()> onClose)
    : FDevice(device), FOnDone(std::move(onDone)), FOnEnd(std::move(onEnd)), FOnClose(std::move(onClose))
{
}

bool TSndDeviceWindow::event(QEvent* e)
{
    MarkHappensAfter(e);
    const int type = e->type();
    if (type != DoneEventType() && type != EndEventType() && type != CloseEventType())
        return QObject::event(e);
    // Each handler catches what it can report; nothing leaves the event.
    try {
        if (type == DoneEventType())
            FOnDone();
        else if (type == EndEventType())
            FOnEnd();
        else
            FOnClose();
    } catch (...) {
        HandleApplicationException(CurrentExceptionText(FDevice));
    }
    return true;
}

}  // namespace SndWaveDev

// ---------------------------------------------------------------- worker thread

TSndWaveDeviceThread::TSndWaveDeviceThread(TSndCustomSoundComponent* device, const QString& name)
    : TSndDSPThread(device)
{
    setObjectName(name);
}

void TSndWaveDeviceThread::Join()
{
    RequestQuit();
    wait();
    MarkHappensAfter(this);
}

void TSndWaveDeviceThread::RequestQuit()
{
    {
        std::lock_guard<std::mutex> lock(FLock);
        FQuit = true;
    }
    FWake.notify_one();
}

bool TSndWaveDeviceThread::WaitReady(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(FLock);
    const bool ready = FReadyCv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return FReady; });
    FReady = false;  // auto-reset
    return ready;
}

void TSndWaveDeviceThread::SignalReady()
{
    {
        std::lock_guard<std::mutex> lock(FLock);
        FReady = true;
    }
    FReadyCv.notify_all();
}

void TSndWaveDeviceThread::BeginRun(TThreadPriority priority)
{
    SndSetThreadPriority(this, priority);
    SignalReady();
}

TSndWaveDeviceThread::TRunEnd::~TRunEnd()
{
    MarkHappensBefore(Thread);
}
