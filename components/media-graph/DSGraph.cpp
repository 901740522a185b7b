#include "DSGraph.h"

#include "ApplicationException.h"
#include "MultimediaModule.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDateTime>
#include <QtCore/QEventLoop>
#include <QtCore/QFileInfo>
#include <QtCore/QLocale>
#include <QtCore/QTimer>
#include <QtGui/QContextMenuEvent>
#include <QtGui/QGuiApplication>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtGui/QScreen>
#include <QtWidgets/QMenu>

#include <algorithm>
#include <exception>

#include <malloc.h>

const QUuid IMediaControl::IID{QStringLiteral("{56A868B1-0AD4-11CE-B03A-0020AF0BA770}")};
const QUuid IMediaSeeking::IID{QStringLiteral("{36B73880-C2C8-11CF-8B46-00805F6CEF60}")};
const QUuid IBasicVideo::IID{QStringLiteral("{56A868B5-0AD4-11CE-B03A-0020AF0BA770}")};
const QUuid IBasicAudio::IID{QStringLiteral("{56A868B3-0AD4-11CE-B03A-0020AF0BA770}")};

namespace {

QString HexCode(HResult code)
{
    return QStringLiteral("$%1").arg(static_cast<std::uint32_t>(code), 8, 16, QLatin1Char('0')).toUpper();
}

QString ExceptionText(const std::exception& e)
{
    if (const auto* ds = dynamic_cast<const EDSException*>(&e))
        return ds->Message();
    return QString::fromLocal8Bit(e.what());
}

// Runs an event handler of ours; an exception goes to the application's handler.
template <class F>
void Guarded(F&& f)
{
    try {
        f();
    } catch (const std::exception& e) {
        HandleApplicationException(ExceptionText(e));
    } catch (...) {
        HandleApplicationException(QStringLiteral("Unknown exception in the media graph."));
    }
}

// Large blocks (decoded frames, sound buffers) get pages of their own from
// the C library, which go back to the system when the block is freed. By
// default the library raises that size limit each time such a block is
// freed, after which frames come from the arenas and leave them ragged with
// every file played. The limit is fixed here, once, at 256 KiB.
void KeepLargeBlocksApart()
{
    static const bool fixed = mallopt(M_MMAP_THRESHOLD, 256 * 1024) == 1;
    Q_UNUSED(fixed);
}

// Gives the memory a finished player freed back to the system. The media
// back end decodes on threads of its own, and the C library serves each of
// them from a memory arena of its own that it keeps when the thread's
// buffers are freed: without this, every file played grows the program by
// what its pipeline held. Once at once, and once more when the events queued
// meanwhile (the last frames among them) have been handled.
void ReleaseFreedMemory()
{
    malloc_trim(0);
    if (QCoreApplication* app = QCoreApplication::instance())
        QTimer::singleShot(0, app, [] { malloc_trim(0); });
}

}  // namespace

// ------------------------------------------------------------ the engine

// One activation of a graph: the player of the multimedia module with its
// sound output, and the state the graph reports over them.
class TGraphEngine : public QObject {
public:
    using TPlayer = TMediaPlayerBackEnd;

    // Raises EDirectShowException when the multimedia module cannot be loaded.
    explicit TGraphEngine(TFilterGraph* graph);
    ~TGraphEngine() override;

    HResult Render(const QString& fileName, int timeoutMs);
    void Clear();
    void AddFilter(QObject* filter, const QString& name);
    void RemoveFilter(QObject* filter);
    QList<QObject*> Filters() const;
    bool FilterConnected(QObject* filter) const;

    bool HasMedia() const { return FHasMedia; }
    // Control.
    HResult Run();
    HResult Pause();
    HResult Stop();
    TFilterState State() const { return FState; }
    // Seeking, in ms.
    std::int64_t Duration() const { return FPlayer->Duration(); }
    std::int64_t Position() const;
    HResult SeekTo(std::int64_t ms);
    HResult SetRate(double rate);
    double Rate() const { return FPlayer->Rate(); }
    // Picture and sound.
    HResult VideoSize(QSize& size) const;
    HResult PutVolume(std::int32_t volume);
    std::int32_t VolumeDb() const { return FVolumeDb; }
    void PutBalance(std::int32_t balance) { FBalanceDb = balance; }
    std::int32_t BalanceDb() const { return FBalanceDb; }

private:
    HResult ErrorCode(TPlayer::TError error, bool rendering) const;
    void StatusChanged(TPlayer::TStatus status);
    void ErrorOccurred(TPlayer::TError error);
    void MetaDataChanged();
    void Log(const QString& line) { FGraph->WriteLog(line); }
    // While Render waits: ends its wait once the file has loaded or failed.
    void CheckRendered();
    bool Rendered() const;

    TFilterGraph* FGraph;
    std::unique_ptr<TPlayer> FPlayer;
    struct TFilterEntry {
        QPointer<QObject> Filter;
        QString Name;
    };
    QList<TFilterEntry> FFilters;
    TFilterState FState = State_Stopped;
    bool FHasMedia = false;
    bool FAtEnd = false;
    bool FRendering = false;
    QEventLoop* FRenderWait = nullptr;
    HResult FRenderError = S_OK;
    std::int64_t FHeldPosition = 0;  // ms, where the graph was last paused, stopped or moved
    QSize FVideoSize;
    TPlayer::TStatus FLastStatus = TPlayer::msNoMedia;
    std::int32_t FVolumeDb = 0;
    std::int32_t FBalanceDb = 0;
};

TGraphEngine::TGraphEngine(TFilterGraph* graph) : FGraph(graph)
{
    const TMultimediaModule* module = MultimediaModule();
    if (!module)
        throw EDirectShowException(MultimediaModuleError(), E_FAIL);
    KeepLargeBlocksApart();
    FPlayer.reset(module->CreateMediaPlayer());
    FPlayer->OnStatusChanged = [this](TPlayer::TStatus status) {
        StatusChanged(status);
        CheckRendered();
    };
    FPlayer->OnError = [this](TPlayer::TError error) {
        ErrorOccurred(error);
        CheckRendered();
    };
    FPlayer->OnMetaDataChanged = [this] { MetaDataChanged(); };
}

TGraphEngine::~TGraphEngine()
{
    FPlayer.reset();
    ReleaseFreedMemory();
}

HResult TGraphEngine::ErrorCode(TPlayer::TError error, bool rendering) const
{
    switch (error) {
    case TPlayer::meNone:
        return S_OK;
    case TPlayer::meResource:
        return rendering ? VFW_E_UNKNOWN_FILE_TYPE : E_FAIL;
    case TPlayer::meFormat:
        return VFW_E_UNSUPPORTED_STREAM;
    case TPlayer::meNetwork:
        return VFW_E_NOT_FOUND;
    case TPlayer::meAccessDenied:
        return E_ACCESSDENIED;
    }
    return E_FAIL;
}

bool TGraphEngine::Rendered() const
{
    const TPlayer::TStatus status = FPlayer->Status();
    return Failed(FRenderError) || status == TPlayer::msLoaded || status == TPlayer::msInvalid;
}

void TGraphEngine::CheckRendered()
{
    if (FRenderWait && Rendered())
        FRenderWait->quit();
}

HResult TGraphEngine::Render(const QString& fileName, int timeoutMs)
{
    Clear();
    const QFileInfo info(fileName);
    if (!info.exists() || !info.isFile())
        return VFW_E_NOT_FOUND;
    if (!info.isReadable())
        return E_ACCESSDENIED;

    FRendering = true;
    FRenderError = S_OK;
    FPlayer->SetSource(info.absoluteFilePath());

    // No time to wait: only what setting the source knew at once counts,
    // and no event of the player is handled meanwhile.
    if (!Rendered() && timeoutMs > 0) {
        QEventLoop loop;
        FRenderWait = &loop;
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
        FRenderWait = nullptr;
    }
    FRendering = false;

    HResult result = S_OK;
    if (Failed(FRenderError))
        result = FRenderError;
    else if (FPlayer->Status() == TPlayer::msInvalid)
        result = Failed(ErrorCode(FPlayer->Error(), true)) ? ErrorCode(FPlayer->Error(), true) : VFW_E_CANNOT_RENDER;
    else if (FPlayer->Status() != TPlayer::msLoaded)
        result = VFW_E_TIMEOUT;  // neither loaded nor failed in time
    if (Failed(result)) {
        // The player may still report on the failed file after this; a new
        // player hears nothing of it.
        Clear();
        FPlayer->Renew();
        return result;
    }
    FHasMedia = true;
    FVideoSize = FPlayer->Resolution();
    FState = State_Stopped;  // the first pause, run or seek brings up a frame
    return S_OK;
}

void TGraphEngine::Clear()
{
    FPlayer->Stop();
    FHasMedia = false;
    FAtEnd = false;
    FState = State_Stopped;
    FHeldPosition = 0;
    FVideoSize = QSize();
    if (FPlayer->HasSource())
        FPlayer->SetSource(QString());
}

void TGraphEngine::AddFilter(QObject* filter, const QString& name)
{
    if (!filter)
        return;
    FFilters.append({filter, name});
    FPlayer->SetVideoOutput(filter);
}

void TGraphEngine::RemoveFilter(QObject* filter)
{
    for (qsizetype i = FFilters.size() - 1; i >= 0; --i) {
        if (FFilters.at(i).Filter == filter)
            FFilters.removeAt(i);
    }
    if (filter && FPlayer->VideoOutput() == filter)
        FPlayer->SetVideoOutput(nullptr);
}

QList<QObject*> TGraphEngine::Filters() const
{
    QList<QObject*> result;
    for (const TFilterEntry& entry : FFilters) {
        if (entry.Filter)
            result.append(entry.Filter.data());
    }
    return result;
}

bool TGraphEngine::FilterConnected(QObject* filter) const
{
    return filter && FHasMedia && FPlayer->VideoOutput() == filter && FPlayer->HasVideo();
}

HResult TGraphEngine::Run()
{
    if (FHasMedia) {
        if (FAtEnd)
            FGraph->PostEvent(EC_COMPLETE, S_OK, 0);  // nothing left to play
        else
            FPlayer->Play();
    }
    FState = State_Running;
    Log(QStringLiteral("Run"));
    return S_OK;
}

HResult TGraphEngine::Pause()
{
    if (FHasMedia && !FAtEnd) {
        FPlayer->Pause();
        FHeldPosition = FPlayer->Position();
    }
    FState = State_Paused;
    Log(QStringLiteral("Pause"));
    if (FHasMedia)
        FGraph->PostEvent(EC_PAUSED, S_OK, 0);
    return S_OK;
}

HResult TGraphEngine::Stop()
{
    // The player would rewind on stop: hold it paused instead.
    if (FHasMedia && FPlayer->State() == TPlayer::psPlaying) {
        FPlayer->Pause();
        FHeldPosition = FPlayer->Position();
    }
    FState = State_Stopped;
    Log(QStringLiteral("Stop"));
    return S_OK;
}

std::int64_t TGraphEngine::Position() const
{
    if (FAtEnd)
        return FPlayer->Duration();
    return std::min(FPlayer->Position(), FPlayer->Duration());
}

HResult TGraphEngine::SeekTo(std::int64_t ms)
{
    if (!FHasMedia)
        return E_NOTIMPL;
    const std::int64_t duration = std::max<std::int64_t>(FPlayer->Duration(), 0);
    ms = std::clamp<std::int64_t>(ms, 0, duration);
    Log(QStringLiteral("Seek %1 ms").arg(ms));
    const bool wasAtEnd = FAtEnd;
    FAtEnd = ms >= duration;
    FHeldPosition = ms;
    // A stopped player shows no frame for a seek: bring it to pause first.
    if (FPlayer->State() == TPlayer::psStopped)
        FPlayer->Pause();
    FPlayer->SetPosition(ms);
    if (FState == State_Running && !FAtEnd) {
        if (FPlayer->State() != TPlayer::psPlaying)
            FPlayer->Play();
    } else if (FPlayer->State() == TPlayer::psPlaying) {
        FPlayer->Pause();
    }
    if (FState == State_Running && FAtEnd && !wasAtEnd)
        FGraph->PostEvent(EC_COMPLETE, S_OK, 0);
    return S_OK;
}

HResult TGraphEngine::SetRate(double rate)
{
    if (!(rate > 0))
        return E_INVALIDARG;
    FPlayer->SetRate(rate);
    Log(QStringLiteral("SetRate %1").arg(rate));
    return S_OK;
}

HResult TGraphEngine::VideoSize(QSize& size) const
{
    size = QSize();
    if (!FHasMedia || !FPlayer->HasVideo())
        return E_NOINTERFACE;
    size = FVideoSize;
    if (!size.isValid())
        size = FPlayer->VideoOutputSize();
    return size.isValid() ? S_OK : VFW_E_NOT_CONNECTED;
}

HResult TGraphEngine::PutVolume(std::int32_t volume)
{
    if (volume < -10000 || volume > 0)
        return E_INVALIDARG;
    FVolumeDb = volume;
    FPlayer->SetVolume(static_cast<float>(DecibelToAmplitude(volume)));
    Log(QStringLiteral("SetVolume %1").arg(volume));
    return S_OK;
}

void TGraphEngine::StatusChanged(TPlayer::TStatus status)
{
    const TPlayer::TStatus last = FLastStatus;
    FLastStatus = status;
    switch (status) {
    case TPlayer::msLoading:
        FGraph->PostEvent(EC_OPENING_FILE, 1, 0);
        break;
    case TPlayer::msLoaded:
    case TPlayer::msInvalid:
        if (last == TPlayer::msLoading)
            FGraph->PostEvent(EC_OPENING_FILE, 0, 0);
        break;
    case TPlayer::msStalled:
    case TPlayer::msBuffering:
        if (last != TPlayer::msStalled && last != TPlayer::msBuffering)
            FGraph->PostEvent(EC_BUFFERING_DATA, 1, 0);
        break;
    case TPlayer::msBuffered:
        if (last == TPlayer::msStalled || last == TPlayer::msBuffering)
            FGraph->PostEvent(EC_BUFFERING_DATA, 0, 0);
        break;
    case TPlayer::msEndOfMedia:
        if (FHasMedia && !FAtEnd && FState != State_Running) {
            // Late news of an end reached before the graph was paused,
            // stopped or moved: the player has stopped at the end; bring it
            // back to where the graph stands.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (FHasMedia && !FAtEnd && FState != State_Running &&
                        FPlayer->Status() == TPlayer::msEndOfMedia) {
                        FPlayer->Pause();
                        FPlayer->SetPosition(FHeldPosition);
                    }
                },
                Qt::QueuedConnection);
        } else if (FHasMedia && !FAtEnd) {
            FAtEnd = true;
            Log(QStringLiteral("Complete"));
            FGraph->PostEvent(EC_COMPLETE, S_OK, 0);
        }
        break;
    case TPlayer::msNoMedia:
        break;
    }
}

void TGraphEngine::ErrorOccurred(TPlayer::TError error)
{
    if (error == TPlayer::meNone)
        return;
    if (FRendering) {
        if (!Failed(FRenderError))
            FRenderError = ErrorCode(error, true);
        return;
    }
    if (!FHasMedia)
        return;  // late news of a file that is gone
    const HResult code = ErrorCode(error, false);
    Log(QStringLiteral("Error %1").arg(HexCode(code)));
    FGraph->PostEvent(EC_ERRORABORT, code, 0);
}

void TGraphEngine::MetaDataChanged()
{
    const QSize size = FPlayer->Resolution();
    if (!size.isValid() || size == FVideoSize)
        return;
    const bool loaded = FHasMedia;
    FVideoSize = size;
    if (loaded)
        FGraph->PostEvent(EC_VIDEO_SIZE_CHANGED, (size.width() & 0xFFFF) | ((size.height() & 0xFFFF) << 16), 0);
}

// ------------------------------------------------------------ the interfaces

namespace {

class TEngineInterface {
public:
    explicit TEngineInterface(const std::shared_ptr<TGraphEngine>& engine) : FEngine(engine) {}

protected:
    std::shared_ptr<TGraphEngine> Engine() const { return FEngine.lock(); }

private:
    std::weak_ptr<TGraphEngine> FEngine;
};

class TMediaControl final : public IMediaControl, private TEngineInterface {
public:
    explicit TMediaControl(const std::shared_ptr<TGraphEngine>& engine) : TEngineInterface(engine) {}
    HResult Run() override { return Call(&TGraphEngine::Run); }
    HResult Pause() override { return Call(&TGraphEngine::Pause); }
    HResult Stop() override { return Call(&TGraphEngine::Stop); }
    HResult GetState(std::int32_t, TFilterState& state) override
    {
        const auto engine = Engine();
        state = engine ? engine->State() : State_Stopped;
        return engine ? S_OK : VFW_E_WRONG_STATE;
    }

private:
    HResult Call(HResult (TGraphEngine::*op)())
    {
        const auto engine = Engine();
        return engine ? (engine.get()->*op)() : VFW_E_WRONG_STATE;
    }
};

class TMediaSeeking final : public IMediaSeeking, private TEngineInterface {
public:
    explicit TMediaSeeking(const std::shared_ptr<TGraphEngine>& engine) : TEngineInterface(engine) {}
    HResult GetDuration(std::int64_t& duration) override
    {
        return Read(duration, [](TGraphEngine& e) { return e.Duration(); });
    }
    HResult GetCurrentPosition(std::int64_t& current) override
    {
        return Read(current, [](TGraphEngine& e) { return e.Position(); });
    }
    HResult GetStopPosition(std::int64_t& stop) override
    {
        return Read(stop, [](TGraphEngine& e) { return e.Duration(); });
    }
    HResult SetPositions(std::int64_t* current, std::uint32_t currentFlags, std::int64_t* stop,
                         std::uint32_t stopFlags) override
    {
        const auto engine = Engine();
        if (!engine || !engine->HasMedia())
            return E_NOTIMPL;
        if ((stopFlags & 3) != AM_SEEKING_NoPositioning)
            return E_NOTIMPL;  // the stop position is the end of the media
        Q_UNUSED(stop);
        switch (currentFlags & 3) {
        case AM_SEEKING_NoPositioning:
            return S_OK;
        case AM_SEEKING_AbsolutePositioning:
            if (!current)
                return E_POINTER;
            return engine->SeekTo(*current / 10000);
        case AM_SEEKING_RelativePositioning:
            if (!current)
                return E_POINTER;
            return engine->SeekTo(engine->Position() + *current / 10000);
        default:
            return E_INVALIDARG;
        }
    }
    HResult SetRate(double rate) override
    {
        const auto engine = Engine();
        return engine ? engine->SetRate(rate) : VFW_E_WRONG_STATE;
    }
    HResult GetRate(double& rate) override
    {
        const auto engine = Engine();
        rate = engine ? engine->Rate() : 1.0;
        return engine ? S_OK : VFW_E_WRONG_STATE;
    }

private:
    template <class F>
    HResult Read(std::int64_t& value, F f)
    {
        value = 0;
        const auto engine = Engine();
        if (!engine || !engine->HasMedia())
            return E_NOTIMPL;
        value = f(*engine) * 10000;
        return S_OK;
    }
};

class TBasicVideo final : public IBasicVideo, private TEngineInterface {
public:
    explicit TBasicVideo(const std::shared_ptr<TGraphEngine>& engine) : TEngineInterface(engine) {}
    HResult GetVideoWidth(std::int32_t& width) override { return Read(width, &QSize::width); }
    HResult GetVideoHeight(std::int32_t& height) override { return Read(height, &QSize::height); }

private:
    HResult Read(std::int32_t& value, int (QSize::*side)() const)
    {
        value = 0;
        const auto engine = Engine();
        if (!engine)
            return VFW_E_WRONG_STATE;
        QSize size;
        const HResult result = engine->VideoSize(size);
        if (Succeeded(result))
            value = (size.*side)();
        return result;
    }
};

class TBasicAudio final : public IBasicAudio, private TEngineInterface {
public:
    explicit TBasicAudio(const std::shared_ptr<TGraphEngine>& engine) : TEngineInterface(engine) {}
    HResult PutVolume(std::int32_t volume) override
    {
        const auto engine = Engine();
        return engine ? engine->PutVolume(volume) : VFW_E_WRONG_STATE;
    }
    HResult GetVolume(std::int32_t& volume) override
    {
        const auto engine = Engine();
        volume = engine ? engine->VolumeDb() : 0;
        return engine ? S_OK : VFW_E_WRONG_STATE;
    }
    HResult PutBalance(std::int32_t balance) override
    {
        const auto engine = Engine();
        if (!engine)
            return VFW_E_WRONG_STATE;
        if (balance < -10000 || balance > 10000)
            return E_INVALIDARG;
        engine->PutBalance(balance);
        return S_OK;
    }
    HResult GetBalance(std::int32_t& balance) override
    {
        const auto engine = Engine();
        balance = engine ? engine->BalanceDb() : 0;
        return engine ? S_OK : VFW_E_WRONG_STATE;
    }
};

}  // namespace

// ------------------------------------------------------------ TFilterGraph

TFilterGraph::TFilterGraph(QObject* owner) : QObject(owner) {}

TFilterGraph::~TFilterGraph()
{
    try {
        SetActive(false);
    } catch (...) {
        FEngine.reset();
        CloseLog();
    }
}

void TFilterGraph::SetActive(bool value)
{
    if (value == FActive)
        return;
    if (value)
        Activate();
    else
        Deactivate();
}

void TFilterGraph::Activate()
{
    FEngine = std::make_shared<TGraphEngine>(this);
    FActive = true;
    ++FGeneration;
    SetGraphEdit(FGraphEdit);
    const QString logFile = FLogFile;
    FLogFile.clear();
    SetLogFile(logFile);
    WriteLog(QStringLiteral("Activate"));
    for (IGraphFilterProvider* provider : QList<IGraphFilterProvider*>(FFilterClients))
        AddProviderFilter(provider);
    if (OnActivate)
        OnActivate(this);
    NotifyClients(ceActive, 1);
}

void TFilterGraph::Deactivate()
{
    NotifyClients(ceActive, 0);
    for (IGraphFilterProvider* provider : QList<IGraphFilterProvider*>(FFilterClients))
        RemoveProviderFilter(provider);
    ++FGeneration;  // no more events of this activation
    WriteLog(QStringLiteral("Deactivate"));
    CloseLog();
    FEngine.reset();
    FActive = false;
}

void TFilterGraph::AddProviderFilter(IGraphFilterProvider* provider)
{
    provider->NotifyFilter(nfAboutToAdd);
    QString name;
    provider->GetName(name);
    QObject* filter = nullptr;
    provider->GetFilter(filter);
    if (FEngine)
        FEngine->AddFilter(filter, name);
    WriteLog(QStringLiteral("AddFilter %1").arg(name));
    provider->NotifyFilter(nfAdded);
}

void TFilterGraph::RemoveProviderFilter(IGraphFilterProvider* provider)
{
    provider->NotifyFilter(nfAboutToRemove);
    QObject* filter = nullptr;
    provider->GetFilter(filter);
    if (FEngine)
        FEngine->RemoveFilter(filter);
    QString name;
    provider->GetName(name);
    WriteLog(QStringLiteral("RemoveFilter %1").arg(name));
    provider->NotifyFilter(nfRemoved);
}

void TFilterGraph::SetMode(TGraphMode value)
{
    if (value == FMode)
        return;
    if (FActive) {
        SetActive(false);
        FMode = value;
        SetActive(true);
    } else {
        FMode = value;
    }
}

void TFilterGraph::SetGraphEdit(bool value)
{
    FGraphEdit = value;
}

void TFilterGraph::SetLinearVolume(bool value)
{
    FLinearVolume = value;
    ApplyVolume();
    ApplyBalance();
}

void TFilterGraph::SetLogFile(const QString& value)
{
    if (!FActive) {
        FLogFile = value;
        return;
    }
    CloseLog();
    if (value.isEmpty()) {
        FLogFile = value;
        return;
    }
    auto file = std::make_unique<QFile>(value);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return;  // no log; the name stays as it was
    FLogStream = std::move(file);
    FLogFile = value;
}

void TFilterGraph::WriteLog(const QString& line)
{
    if (!FLogStream)
        return;
    const QString text = QDateTime::currentDateTime().toString(QStringLiteral("hh:mm:ss.zzz ")) + line + u'\n';
    FLogStream->write(text.toUtf8());
    FLogStream->flush();
}

void TFilterGraph::CloseLog()
{
    if (FLogStream) {
        FLogStream->close();
        FLogStream.reset();
    }
}

void TFilterGraph::Loaded()
{
    if (FAutoCreate)
        SetActive(true);
}

void TFilterGraph::NotifyClients(int event, int param)
{
    for (IGraphEventClient* client : QList<IGraphEventClient*>(FEventClients))
        client->ControlEvent(event, param);
}

bool TFilterGraph::Play()
{
    const auto control = Query<IMediaControl>();
    if (!control)
        return false;
    NotifyClients(cePlay, 0);
    return Succeeded(CheckDSError(control->Run()));
}

bool TFilterGraph::Pause()
{
    const auto control = Query<IMediaControl>();
    if (!control)
        return false;
    NotifyClients(cePause, 0);
    return CheckDSError(control->Pause()) == S_OK;
}

bool TFilterGraph::Stop()
{
    const auto control = Query<IMediaControl>();
    if (!control)
        return false;
    NotifyClients(ceStop, 0);
    return CheckDSError(control->Stop()) == S_OK;
}

HResult TFilterGraph::RenderFile(const QString& fileName)
{
    if (!FEngine)
        return S_FALSE;
    NotifyClients(ceFileRendering, 0);
    // The wait below processes events: a handler may deactivate the graph
    // meanwhile, so the engine is held until the wait is over.
    const std::shared_ptr<TGraphEngine> engine = FEngine;
    HResult result = engine->Render(fileName, FRenderTimeout);
    if (engine != FEngine && Succeeded(result))
        result = VFW_E_WRONG_STATE;
    WriteLog(QStringLiteral("RenderFile %1: %2").arg(fileName, HexCode(result)));
    CheckDSError(result);
    ApplyVolume();
    ApplyBalance();
    SetRate(FRate);
    NotifyClients(ceFileRendered, 0);
    return result;
}

void TFilterGraph::ClearGraph()
{
    if (!FEngine)
        return;
    Stop();
    FEngine->Clear();
    WriteLog(QStringLiteral("ClearGraph"));
}

void TFilterGraph::SetVolume(std::int32_t value)
{
    FVolumeLevel = std::clamp(value, 0, 10000);
    ApplyVolume();
}

void TFilterGraph::ApplyVolume()
{
    if (const auto audio = Query<IBasicAudio>())
        audio->PutVolume(FLinearVolume ? LinearToDecibel(FVolumeLevel) : FVolumeLevel - 10000);
}

void TFilterGraph::SetBalance(std::int32_t value)
{
    FBalance = std::clamp(value, -10000, 10000);
    ApplyBalance();
}

void TFilterGraph::ApplyBalance()
{
    if (const auto audio = Query<IBasicAudio>())
        audio->PutBalance(FLinearVolume ? BalanceToDecibel(FBalance) : FBalance);
}

void TFilterGraph::SetRate(double value)
{
    FRate = value;
    if (const auto seeking = Query<IMediaSeeking>())
        seeking->SetRate(value);
}

std::int64_t TFilterGraph::GetDuration()
{
    const auto seeking = Query<IMediaSeeking>();
    if (!seeking)
        return 0;
    std::int64_t duration = 0;
    if (Failed(seeking->GetDuration(duration)))
        return 0;
    return RefTimeToMs(duration);
}

std::shared_ptr<IGraphInterface> TFilterGraph::QueryInterface(const QUuid& iid)
{
    if (!FEngine)
        return nullptr;
    if (iid == IMediaControl::IID)
        return std::make_shared<TMediaControl>(FEngine);
    if (iid == IMediaSeeking::IID)
        return std::make_shared<TMediaSeeking>(FEngine);
    if (iid == IBasicVideo::IID)
        return std::make_shared<TBasicVideo>(FEngine);
    if (iid == IBasicAudio::IID)
        return std::make_shared<TBasicAudio>(FEngine);
    return nullptr;
}

void TFilterGraph::AttachFilterProvider(IGraphFilterProvider* provider)
{
    if (!provider || FFilterClients.contains(provider))
        return;
    FFilterClients.append(provider);
    if (FActive)
        AddProviderFilter(provider);
}

void TFilterGraph::DetachFilterProvider(IGraphFilterProvider* provider)
{
    if (!FFilterClients.contains(provider))
        return;
    if (FActive)
        RemoveProviderFilter(provider);
    FFilterClients.removeAll(provider);
}

void TFilterGraph::AttachEventClient(IGraphEventClient* client)
{
    if (client && !FEventClients.contains(client))
        FEventClients.append(client);
}

void TFilterGraph::DetachEventClient(IGraphEventClient* client)
{
    FEventClients.removeAll(client);
}

QList<QObject*> TFilterGraph::Filters() const
{
    return FEngine ? FEngine->Filters() : QList<QObject*>();
}

bool TFilterGraph::FilterConnected(QObject* filter) const
{
    return FEngine && FEngine->FilterConnected(filter);
}

void TFilterGraph::PostEvent(int event, std::intptr_t param1, std::intptr_t param2)
{
    const std::uint64_t generation = FGeneration;
    QMetaObject::invokeMethod(
        this, [this, generation, event, param1, param2] { HandleEvent(generation, event, param1, param2); },
        Qt::QueuedConnection);
}

void TFilterGraph::HandleEvent(std::uint64_t generation, int event, std::intptr_t param1, std::intptr_t param2)
{
    if (generation != FGeneration || !FActive)
        return;
    Guarded([&] { DoEvent(event, param1, param2); });
}

namespace {

template <class F, class... A>
void Fire(const F& handler, A&&... args)
{
    if (handler)
        handler(std::forward<A>(args)...);
}

QString TextParam(std::intptr_t param)
{
    const auto* text = reinterpret_cast<const QString*>(param);
    return text ? *text : QString();
}

// The English name of the language of a locale identifier (its low ten
// bits); empty for a language not listed.
QString LanguageName(std::int32_t languageId)
{
    static const struct {
        int Primary;
        QLocale::Language Language;
    } table[] = {
        {0x01, QLocale::Arabic},   {0x04, QLocale::Chinese},    {0x05, QLocale::Czech},
        {0x06, QLocale::Danish},   {0x07, QLocale::German},     {0x08, QLocale::Greek},
        {0x09, QLocale::English},  {0x0A, QLocale::Spanish},    {0x0B, QLocale::Finnish},
        {0x0C, QLocale::French},   {0x0D, QLocale::Hebrew},     {0x0E, QLocale::Hungarian},
        {0x10, QLocale::Italian},  {0x11, QLocale::Japanese},   {0x12, QLocale::Korean},
        {0x13, QLocale::Dutch},    {0x14, QLocale::NorwegianBokmal}, {0x15, QLocale::Polish},
        {0x16, QLocale::Portuguese}, {0x19, QLocale::Russian},  {0x1D, QLocale::Swedish},
        {0x1E, QLocale::Thai},     {0x1F, QLocale::Turkish},
    };
    const int primary = languageId & 0x3FF;
    for (const auto& entry : table) {
        if (entry.Primary == primary)
            return QLocale::languageToString(entry.Language);
    }
    return QString();
}

// A time code read as 4-bit groups from the most significant end.
struct TTimeCode {
    int Hours, Minutes, Seconds, Frames, RateCode;
};
TTimeCode DecodeTimeCode(std::intptr_t param)
{
    const auto value = static_cast<std::uint32_t>(param);
    return {static_cast<int>((value >> 28) & 0xF), static_cast<int>((value >> 24) & 0xF),
            static_cast<int>((value >> 20) & 0xF), static_cast<int>((value >> 16) & 0xF),
            static_cast<int>((value >> 12) & 0xF)};
}

}  // namespace

void TFilterGraph::DoEvent(int event, std::intptr_t param1, std::intptr_t param2)
{
    for (IGraphEventClient* client : QList<IGraphEventClient*>(FEventClients))
        client->GraphEvent(event, param1, param2);
    Fire(OnDSEvent, this, event, param1, param2);

    const auto p1 = static_cast<std::int32_t>(param1);
    const auto p2 = static_cast<std::int32_t>(param2);
    switch (event) {
    case EC_COMPLETE:
        Fire(OnGraphComplete, this, p1, reinterpret_cast<QObject*>(param2));
        break;
    case EC_USERABORT:
        Fire(OnGraphUserAbort, this);
        break;
    case EC_ERRORABORT:
        Fire(OnGraphErrorAbort, this, p1);
        break;
    case EC_STREAM_ERROR_STOPPED:
        Fire(OnGraphStreamErrorStopped, this, p1, p2);
        break;
    case EC_STREAM_ERROR_STILLPLAYING:
        Fire(OnGraphStreamErrorStillPlaying, this, p1, p2);
        break;
    case EC_ERROR_STILLPLAYING:
        Fire(OnGraphErrorStillPlaying, this, p1);
        break;
    case EC_PALETTE_CHANGED:
        Fire(OnGraphPaletteChanged, this);
        break;
    case EC_VIDEO_SIZE_CHANGED:
        Fire(OnGraphVideoSizeChanged, this, p1 & 0xFFFF, (p1 >> 16) & 0xFFFF);
        break;
    case EC_QUALITY_CHANGE:
        Fire(OnGraphQualityChange, this);
        break;
    case EC_CLOCK_CHANGED:
        Fire(OnGraphClockChanged, this);
        break;
    case EC_PAUSED:
        Fire(OnGraphPaused, this, p1);
        break;
    case EC_OPENING_FILE:
        Fire(OnGraphOpeningFile, this, p1 == 1);
        break;
    case EC_BUFFERING_DATA:
        Fire(OnGraphBufferingData, this, p1 == 1);
        break;
    case EC_FULLSCREEN_LOST:
        Fire(OnGraphFullscreenLost, this, reinterpret_cast<QObject*>(param2));
        break;
    case EC_OLE_EVENT:
        Fire(OnGraphOleEvent, this, TextParam(param1), TextParam(param2));
        break;
    case EC_STREAM_CONTROL_STOPPED:
        Fire(OnGraphStreamControlStopped, this, param1, param2);
        break;
    case EC_STREAM_CONTROL_STARTED:
        Fire(OnGraphStreamControlStarted, this, param1, param2);
        break;
    case EC_END_OF_SEGMENT:
        Fire(OnGraphEndOfSegment, this, static_cast<std::int64_t>(param1), p2);
        break;
    case EC_DEVICE_LOST:
        Fire(OnGraphDeviceLost, this, param1, p2 == 1);
        break;
    case EC_STEP_COMPLETE:
        Fire(OnGraphStepComplete, this);
        break;
    case EC_TIMECODE_AVAILABLE:
        Fire(OnGraphTimeCodeAvailable, this, param1, param2);
        break;
    case EC_EXTDEVICE_MODE_CHANGE:
        Fire(OnGraphEXTDeviceModeChange, this, param1, param2);
        break;
    case EC_GRAPH_CHANGED:
        Fire(OnGraphChanged, this);
        break;
    case EC_CLOCK_UNSET:
        Fire(OnGraphClockUnset, this);
        break;
    case EC_VMR_RENDERDEVICE_SET:
        Fire(OnGraphVMRRenderDevice, this, p1);
        break;
    case EC_SNDDEV_IN_ERROR:
        Fire(OnGraphSNDDevInError, this, param1, param2);
        break;
    case EC_SNDDEV_OUT_ERROR:
        Fire(OnGraphSNDDevOutError, this, param1, param2);
        break;
    default:
        if (event >= EC_DVD_DOMAIN_CHANGE && event <= EC_DVD_KARAOKE_MODE)
            DoDVDEvent(event, param1, param2);
        break;
    }
}

void TFilterGraph::DoDVDEvent(int event, std::intptr_t param1, std::intptr_t param2)
{
    const auto p1 = static_cast<std::int32_t>(param1);
    const auto p2 = static_cast<std::int32_t>(param2);
    const auto byIndex = [this](int index, std::initializer_list<TGraphNotifyEvent*> handlers) {
        if (index >= 1 && index <= static_cast<int>(handlers.size()))
            Fire(*handlers.begin()[index - 1], this);
    };
    switch (event) {
    case EC_DVD_DOMAIN_CHANGE:
        byIndex(p1, {&OnDVDDomainFirstPlay, &OnDVDDomainVideoManagerMenu, &OnDVDDomainVideoTitleSetMenu,
                     &OnDVDDomainTitle, &OnDVDDomainStop});
        break;
    case EC_DVD_TITLE_CHANGE:
        Fire(OnDVDTitleChange, this, p1);
        break;
    case EC_DVD_CHAPTER_START:
        Fire(OnDVDChapterStart, this, p1);
        break;
    case EC_DVD_AUDIO_STREAM_CHANGE:
        Fire(OnDVDAudioStreamChange, this, p1, LanguageName(p2), p2);
        break;
    case EC_DVD_SUBPICTURE_STREAM_CHANGE:
        Fire(OnDVDSubpictureStreamChange, this, p1, LanguageName(p2), p2);
        break;
    case EC_DVD_ANGLE_CHANGE:
        Fire(OnDVDAngleChange, this, p1, p2);
        break;
    case EC_DVD_BUTTON_CHANGE:
        Fire(OnDVDButtonChange, this, p1, p2);
        break;
    case EC_DVD_VALID_UOPS_CHANGE:
        Fire(OnDVDValidUOPSChange, this, p1);
        break;
    case EC_DVD_STILL_ON:
        Fire(OnDVDStillOn, this, p1 == 1, p2);
        break;
    case EC_DVD_STILL_OFF:
        Fire(OnDVDStillOff, this);
        break;
    case EC_DVD_CURRENT_TIME: {
        const TTimeCode t = DecodeTimeCode(param1);
        Fire(OnDVDCurrentTime, this, t.Hours, t.Minutes, t.Seconds, t.Frames, t.RateCode == 1 ? 25 : 30);
        break;
    }
    case EC_DVD_ERROR:
        byIndex(p1, {&OnDVDErrorUnexpected, &OnDVDErrorCopyProtectFail, &OnDVDErrorInvalidDVD1_0Disc,
                     &OnDVDErrorInvalidDiscRegion, &OnDVDErrorLowParentalLevel, &OnDVDErrorMacrovisionFail,
                     &OnDVDErrorIncompatibleSystemAndDecoderRegions,
                     &OnDVDErrorIncompatibleDiscAndDecoderRegions});
        break;
    case EC_DVD_WARNING:
        byIndex(p1, {&OnDVDWarningInvalidDVD1_0Disc, &OnDVDWarningFormatNotSupported,
                     &OnDVDWarningIllegalNavCommand, &OnDVDWarningOpen, &OnDVDWarningSeek, &OnDVDWarningRead});
        break;
    case EC_DVD_CHAPTER_AUTOSTOP:
        Fire(OnDVDChapterAutoStop, this);
        break;
    case EC_DVD_NO_FP_PGC:
        Fire(OnDVDNoFP_PGC, this);
        break;
    case EC_DVD_PLAYBACK_RATE_CHANGE:
        Fire(OnDVDPlaybackRateChange, this, p1 / 10000.0);
        break;
    case EC_DVD_PARENTAL_LEVEL_CHANGE:
        Fire(OnDVDParentalLevelChange, this, p1);
        break;
    case EC_DVD_PLAYBACK_STOPPED:
        Fire(OnDVDPlaybackStopped, this);
        break;
    case EC_DVD_ANGLES_AVAILABLE:
        Fire(OnDVDAnglesAvailable, this, p1 == 1);
        break;
    case EC_DVD_PLAYPERIOD_AUTOSTOP:
        Fire(OnDVDPlayPeriodAutoStop, this);
        break;
    case EC_DVD_BUTTON_AUTO_ACTIVATED:
        Fire(OnDVDButtonAutoActivated, this, p1);
        break;
    case EC_DVD_CMD_START:
        Fire(OnDVDCMDStart, this, p1, p2);
        break;
    case EC_DVD_CMD_END:
        Fire(OnDVDCMDEnd, this, p1, p2);
        break;
    case EC_DVD_DISC_EJECTED:
        Fire(OnDVDDiscEjected, this);
        break;
    case EC_DVD_DISC_INSERTED:
        Fire(OnDVDDiscInserted, this);
        break;
    case EC_DVD_CURRENT_HMSF_TIME: {
        const TTimeCode t = DecodeTimeCode(param1);
        Fire(OnDVDCurrentHMSFTime, this, t.Hours, t.Minutes, t.Seconds, t.Frames);
        break;
    }
    case EC_DVD_KARAOKE_MODE:
        Fire(OnDVDKaraokeMode, this, p1 != 0);
        break;
    default:
        break;
    }
}

// ------------------------------------------------------------ TVMROptions

void TVMROptions::SetStreams(std::uint32_t value)
{
    FStreams = value >= 1 && value <= 16 ? value : 1;
    Rebuild();
}

void TVMROptions::SetPreferences(TVMRPreferences value)
{
    FPreferences = value;
    Rebuild();
}

void TVMROptions::SetMode(TVMRVideoMode value)
{
    FMode = value;
    Rebuild();
}

void TVMROptions::Rebuild()
{
    // The renderer is rebuilt only in the mixing renderer's mode, which the
    // video window never takes here.
    TVideoWindow* window = FVideoWindowRef;
    if (window && window->FMode == vmVMR && window->FFilterGraph && window->FFilterGraph->Active()) {
        TFilterGraph* graph = window->FFilterGraph;
        graph->DetachFilterProvider(window);
        graph->AttachFilterProvider(window);
    }
}

// ------------------------------------------------------------ full screen

// The frameless full-screen window that shows the video window's picture.
class TVideoFullScreenWindow : public QWidget {
public:
    TVideoFullScreenWindow(TVideoWindow* owner, bool topMost)
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | (topMost ? Qt::WindowStaysOnTopHint : Qt::Widget)),
          FOwner(owner)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMouseTracking(owner->hasMouseTracking());
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        Guarded([&] {
            QPainter painter(this);
            FOwner->PaintPicture(painter, rect());
        });
    }
    void mousePressEvent(QMouseEvent* event) override { FOwner->MouseEvent(event, event->globalPosition().toPoint()); }
    void mouseReleaseEvent(QMouseEvent* event) override { FOwner->MouseEvent(event, event->globalPosition().toPoint()); }
    void mouseMoveEvent(QMouseEvent* event) override { FOwner->MouseEvent(event, event->globalPosition().toPoint()); }
    void mouseDoubleClickEvent(QMouseEvent* event) override { FOwner->mouseDoubleClickEvent(event); }
    void contextMenuEvent(QContextMenuEvent* event) override
    {
        if (FOwner->FPopupMenu) {
            FOwner->PopupAt(QCursor::pos());
            event->accept();
        }
    }

private:
    TVideoWindow* FOwner;
};

// ------------------------------------------------------------ TVideoWindow

TVideoWindow::TVideoWindow(QWidget* parent) : QWidget(parent), FVMROptions(this)
{
    resize(160, 120);
    setFocusPolicy(Qt::StrongFocus);  // tab stop
    setAttribute(Qt::WA_OpaquePaintEvent);
}

TVideoWindow::~TVideoWindow()
{
    try {
        SetFilterGraph(nullptr);
    } catch (...) {
    }
    LeaveFullScreen();
    ReleaseRenderer();
}

void TVideoWindow::SetMode(TVideoMode value)
{
    Q_UNUSED(value);
    // The mixing renderer cannot be created here: the mode stays vmNormal.
    FMode = vmNormal;
}

void TVideoWindow::SetFilterGraph(TFilterGraph* graph)
{
    if (graph == FFilterGraph)
        return;
    if (FFilterGraph) {
        FFilterGraph->DetachFilterProvider(this);
        FFilterGraph->DetachEventClient(this);
    }
    FFilterGraph = graph;
    if (graph) {
        graph->AttachFilterProvider(this);
        graph->AttachEventClient(this);
    }
}

void TVideoWindow::SetFullScreenTopMost(bool value)
{
    FFullScreenTopMost = value;
    if (FFullScreen)
        SetFullScreen(true);
}

QWidget* TVideoWindow::VideoHandle() const
{
    return FInFullScreen && FFullScreenWindow ? FFullScreenWindow : const_cast<TVideoWindow*>(this);
}

void TVideoWindow::SetColor(TColor value)
{
    FColor = value;
    update();
}

QImage TVideoWindow::CurrentImage() const
{
    if (!FImageValid) {
        FImage = FRenderer ? FRenderer->FrameImage() : QImage();
        FImageValid = true;
    }
    return FImage;
}

HResult TVideoWindow::GetFilter(QObject*& filter)
{
    filter = FRenderer ? FRenderer->Sink() : nullptr;
    return filter ? S_OK : E_POINTER;
}

HResult TVideoWindow::GetName(QString& name)
{
    name = objectName();
    return S_OK;
}

HResult TVideoWindow::NotifyFilter(int operation, int)
{
    switch (operation) {
    case nfAboutToAdd:
        ReleaseRenderer();
        // Only an active graph adds its providers' filters, so the module
        // is loaded by now.
        if (const TMultimediaModule* module = MultimediaModule()) {
            FRenderer.reset(module->CreateVideoRenderer(this));
            FRenderer->OnFrame = [this] { FrameArrived(); };
        }
        break;
    case nfAboutToRemove:
        LeaveFullScreen();
        break;
    case nfRemoved:
        ReleaseRenderer();
        break;
    default:
        break;
    }
    return S_OK;
}

HResult TVideoWindow::ControlEvent(int event, int)
{
    if (event == cePlay && RendererConnected())
        ApplyFullScreen();
    return S_OK;
}

HResult TVideoWindow::GraphEvent(int event, std::intptr_t, std::intptr_t)
{
    if (event == EC_PALETTE_CHANGED && RendererConnected())
        ApplyFullScreen();
    return S_OK;
}

void TVideoWindow::ReleaseRenderer()
{
    FRenderer.reset();
    FImageValid = false;
    update();
}

void TVideoWindow::FrameArrived()
{
    FImageValid = false;
    update();
    if (FFullScreenWindow)
        FFullScreenWindow->update();
}

bool TVideoWindow::RendererConnected() const
{
    return FRenderer && FFilterGraph && FFilterGraph->FilterConnected(FRenderer->Sink());
}

void TVideoWindow::SetFullScreen(bool value)
{
    if (RendererConnected()) {
        FFullScreen = value;
        ApplyFullScreen();
    }
    FFullScreen = value;
}

void TVideoWindow::ApplyFullScreen()
{
    if (!FFullScreen) {
        LeaveFullScreen();
        return;
    }
    const bool topMost = FFullScreenWindow && FFullScreenWindow->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    if (FFullScreenWindow && topMost != FFullScreenTopMost)
        LeaveFullScreen();
    if (!FFullScreenWindow) {
        FFullScreenWindow = new TVideoFullScreenWindow(this, FFullScreenTopMost);
        const QScreen* screen = window()->screen() ? window()->screen() : QGuiApplication::primaryScreen();
        if (screen)
            FFullScreenWindow->setGeometry(screen->geometry());
    }
    FFullScreenWindow->showFullScreen();
    FInFullScreen = true;
}

void TVideoWindow::LeaveFullScreen()
{
    if (FFullScreenWindow) {
        QWidget* fullScreen = FFullScreenWindow;
        FFullScreenWindow = nullptr;
        fullScreen->hide();
        delete fullScreen;
    }
    FInFullScreen = false;
}

void TVideoWindow::PaintPicture(QPainter& painter, const QRect& rect) const
{
    painter.fillRect(rect, ToQColor(FColor));
    const QImage image = CurrentImage();
    if (!image.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(rect, image);
    }
}

void TVideoWindow::paintEvent(QPaintEvent*)
{
    Guarded([&] {
        QPainter painter(this);
        PaintPicture(painter, rect());
        if (OnPaint)
            OnPaint(painter);
    });
}

void TVideoWindow::MouseEvent(QMouseEvent* event, const QPoint& pos)
{
    Guarded([&] {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            if (OnMouseDown)
                OnMouseDown(MouseButtonOf(event->button()), event->modifiers(), pos.x(), pos.y());
            break;
        case QEvent::MouseButtonRelease:
            if (OnMouseUp)
                OnMouseUp(MouseButtonOf(event->button()), event->modifiers(), pos.x(), pos.y());
            break;
        case QEvent::MouseMove:
            if (OnMouseMove)
                OnMouseMove(event->modifiers(), pos.x(), pos.y());
            break;
        default:
            break;
        }
    });
}

void TVideoWindow::mousePressEvent(QMouseEvent* event)
{
    MouseEvent(event, event->position().toPoint());
}

void TVideoWindow::mouseReleaseEvent(QMouseEvent* event)
{
    MouseEvent(event, event->position().toPoint());
}

void TVideoWindow::mouseMoveEvent(QMouseEvent* event)
{
    MouseEvent(event, event->position().toPoint());
}

void TVideoWindow::mouseDoubleClickEvent(QMouseEvent*)
{
    Guarded([&] {
        if (OnDblClick)
            OnDblClick();
    });
}

void TVideoWindow::contextMenuEvent(QContextMenuEvent* event)
{
    if (FPopupMenu) {
        PopupAt(event->globalPos());
        event->accept();
        return;
    }
    QWidget::contextMenuEvent(event);
}

void TVideoWindow::PopupAt(const QPoint& globalPos)
{
    if (FPopupMenu)
        FPopupMenu->popup(globalPos);
}
