#pragma once

// The media graph: TFilterGraph plays one media file through Qt's media
// player and hands out small interfaces for its control, seeking, picture
// and sound; TVideoWindow shows the graph's picture. The player and the
// video sink live in the multimedia module (MultimediaModule.h), loaded when
// a graph is first activated.
//
// The graph keeps the behaviour its users rely on where the Qt player
// differs: Stop keeps the position (the player is held paused and the graph
// reports stopped), a seek works in every state and shows its frame while
// paused or stopped, and at the end of the media the current position equals
// the stop position (the duration) until the next seek.
//
// Components attached to the graph take part in it: a filter provider adds
// its output to the graph whenever the graph is active (the video window's
// output is its video sink); an event client hears of the graph's events and
// of play, pause, stop, rendering and activation.
//
// Everything runs on the GUI thread. The graph's events are queued to it and
// delivered through DoEvent.

#include "DSUtil.h"
#include "Forms.h"
#include "Graphics.h"

#include <QtCore/QFile>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtCore/QUuid>
#include <QtGui/QImage>
#include <QtWidgets/QMenu>
#include <QtWidgets/QWidget>

#include <cstdint>
#include <functional>
#include <memory>

class TGraphEngine;
class TVideoRendererBackEnd;
class TVideoFullScreenWindow;

// ------------------------------------------------------------ interfaces

// The base of what QueryInterface hands out.
class IGraphInterface {
public:
    virtual ~IGraphInterface() = default;
};

enum TFilterState { State_Stopped = 0, State_Paused = 1, State_Running = 2 };

// Play, pause and stop.
class IMediaControl : public IGraphInterface {
public:
    static const QUuid IID;
    virtual HResult Run() = 0;
    virtual HResult Pause() = 0;
    virtual HResult Stop() = 0;
    virtual HResult GetState(std::int32_t timeoutMs, TFilterState& state) = 0;
};

// Seeking flags.
constexpr std::uint32_t AM_SEEKING_NoPositioning = 0;
constexpr std::uint32_t AM_SEEKING_AbsolutePositioning = 1;
constexpr std::uint32_t AM_SEEKING_RelativePositioning = 2;

// Positions in units of 100 ns. Without rendered media every call fails
// with E_NOTIMPL. The stop position is the duration and cannot be moved.
class IMediaSeeking : public IGraphInterface {
public:
    static const QUuid IID;
    virtual HResult GetDuration(std::int64_t& duration) = 0;
    virtual HResult GetCurrentPosition(std::int64_t& current) = 0;
    virtual HResult GetStopPosition(std::int64_t& stop) = 0;
    virtual HResult SetPositions(std::int64_t* current, std::uint32_t currentFlags, std::int64_t* stop,
                                 std::uint32_t stopFlags) = 0;
    virtual HResult SetRate(double rate) = 0;
    virtual HResult GetRate(double& rate) = 0;
};

// The native size of the picture. Fails with E_NOINTERFACE when the media
// has no video stream.
class IBasicVideo : public IGraphInterface {
public:
    static const QUuid IID;
    virtual HResult GetVideoWidth(std::int32_t& width) = 0;
    virtual HResult GetVideoHeight(std::int32_t& height) = 0;
};

// Volume in hundredths of a decibel (-10000 silent .. 0 full) and balance
// (-10000 .. 10000; stored only: the sound output has no balance).
class IBasicAudio : public IGraphInterface {
public:
    static const QUuid IID;
    virtual HResult PutVolume(std::int32_t volume) = 0;
    virtual HResult GetVolume(std::int32_t& volume) = 0;
    virtual HResult PutBalance(std::int32_t balance) = 0;
    virtual HResult GetBalance(std::int32_t& balance) = 0;
};

// Operations of NotifyFilter.
constexpr int nfAboutToAdd = 0;
constexpr int nfAdded = 1;
constexpr int nfAboutToRemove = 2;
constexpr int nfRemoved = 3;

// A component that adds a filter of its own to the graph.
class IGraphFilterProvider {
public:
    virtual ~IGraphFilterProvider() = default;
    virtual HResult GetFilter(QObject*& filter) = 0;
    virtual HResult GetName(QString& name) = 0;
    virtual HResult NotifyFilter(int operation, int param = 0) = 0;
};

// Control events.
constexpr int ceActive = 7;  // parameter 0 before deactivation, 1 after activation
constexpr int cePlay = 0;
constexpr int cePause = 1;
constexpr int ceStop = 2;
constexpr int ceFileRendering = 3;
constexpr int ceFileRendered = 4;

// A component that hears of the graph's events and operations.
class IGraphEventClient {
public:
    virtual ~IGraphEventClient() = default;
    virtual HResult GraphEvent(int event, std::intptr_t param1, std::intptr_t param2) = 0;
    virtual HResult ControlEvent(int event, int param = 0) = 0;
};

// Graph event codes.
constexpr int EC_COMPLETE = 1;
constexpr int EC_USERABORT = 2;
constexpr int EC_ERRORABORT = 3;
constexpr int EC_STREAM_ERROR_STOPPED = 6;
constexpr int EC_STREAM_ERROR_STILLPLAYING = 7;
constexpr int EC_ERROR_STILLPLAYING = 8;
constexpr int EC_PALETTE_CHANGED = 9;
constexpr int EC_VIDEO_SIZE_CHANGED = 10;
constexpr int EC_QUALITY_CHANGE = 11;
constexpr int EC_CLOCK_CHANGED = 13;
constexpr int EC_PAUSED = 14;
constexpr int EC_OPENING_FILE = 16;
constexpr int EC_BUFFERING_DATA = 17;
constexpr int EC_FULLSCREEN_LOST = 18;
constexpr int EC_OLE_EVENT = 24;
constexpr int EC_STREAM_CONTROL_STOPPED = 26;
constexpr int EC_STREAM_CONTROL_STARTED = 27;
constexpr int EC_END_OF_SEGMENT = 28;
constexpr int EC_DEVICE_LOST = 31;
constexpr int EC_STEP_COMPLETE = 36;
constexpr int EC_TIMECODE_AVAILABLE = 48;
constexpr int EC_EXTDEVICE_MODE_CHANGE = 49;
constexpr int EC_GRAPH_CHANGED = 80;
constexpr int EC_CLOCK_UNSET = 81;
constexpr int EC_VMR_RENDERDEVICE_SET = 83;
constexpr int EC_DVD_DOMAIN_CHANGE = 257;
constexpr int EC_DVD_TITLE_CHANGE = 258;
constexpr int EC_DVD_CHAPTER_START = 259;
constexpr int EC_DVD_AUDIO_STREAM_CHANGE = 260;
constexpr int EC_DVD_SUBPICTURE_STREAM_CHANGE = 261;
constexpr int EC_DVD_ANGLE_CHANGE = 262;
constexpr int EC_DVD_BUTTON_CHANGE = 263;
constexpr int EC_DVD_VALID_UOPS_CHANGE = 264;
constexpr int EC_DVD_STILL_ON = 265;
constexpr int EC_DVD_STILL_OFF = 266;
constexpr int EC_DVD_CURRENT_TIME = 267;
constexpr int EC_DVD_ERROR = 268;
constexpr int EC_DVD_WARNING = 269;
constexpr int EC_DVD_CHAPTER_AUTOSTOP = 270;
constexpr int EC_DVD_NO_FP_PGC = 271;
constexpr int EC_DVD_PLAYBACK_RATE_CHANGE = 272;
constexpr int EC_DVD_PARENTAL_LEVEL_CHANGE = 273;
constexpr int EC_DVD_PLAYBACK_STOPPED = 274;
constexpr int EC_DVD_ANGLES_AVAILABLE = 275;
constexpr int EC_DVD_PLAYPERIOD_AUTOSTOP = 276;
constexpr int EC_DVD_BUTTON_AUTO_ACTIVATED = 277;
constexpr int EC_DVD_CMD_START = 278;
constexpr int EC_DVD_CMD_END = 279;
constexpr int EC_DVD_DISC_EJECTED = 280;
constexpr int EC_DVD_DISC_INSERTED = 281;
constexpr int EC_DVD_CURRENT_HMSF_TIME = 282;
constexpr int EC_DVD_KARAOKE_MODE = 283;
constexpr int EC_SNDDEV_IN_ERROR = 512;
constexpr int EC_SNDDEV_OUT_ERROR = 513;

// ------------------------------------------------------------ events

using TGraphNotifyEvent = std::function<void(QObject* sender)>;
using TOnDSEvent = std::function<void(QObject* sender, int event, std::intptr_t param1, std::intptr_t param2)>;
using TOnSelectedFilter = std::function<bool(const QString& filterName, const QUuid& classId)>;
using TOnCreatedFilter = std::function<bool(QObject* filter, const QUuid& classId)>;
using TOnUnableToRender = std::function<bool(const TPinInfo& pin)>;
using TOnGraphResult = std::function<void(QObject* sender, HResult result)>;
using TOnGraphComplete = std::function<void(QObject* sender, HResult result, QObject* renderer)>;
using TOnGraphStreamError = std::function<void(QObject* sender, HResult operation, std::int32_t value)>;
using TOnGraphVideoSizeChanged = std::function<void(QObject* sender, int width, int height)>;
using TOnGraphFlag = std::function<void(QObject* sender, bool value)>;
using TOnGraphRenderer = std::function<void(QObject* sender, QObject* renderer)>;
using TOnGraphOleEvent = std::function<void(QObject* sender, const QString& name, const QString& value)>;
using TOnGraphParams = std::function<void(QObject* sender, std::intptr_t param1, std::intptr_t param2)>;
using TOnGraphEndOfSegment = std::function<void(QObject* sender, std::int64_t streamTime, std::int32_t segment)>;
using TOnGraphDeviceLost = std::function<void(QObject* sender, std::intptr_t device, bool arrived)>;
using TOnGraphValue = std::function<void(QObject* sender, std::int32_t value)>;
using TOnGraphTwoValues = std::function<void(QObject* sender, std::int32_t value1, std::int32_t value2)>;
using TOnDVDStreamChange = std::function<void(QObject* sender, std::int32_t stream, const QString& language,
                                              std::int32_t languageId)>;
using TOnDVDStillOn = std::function<void(QObject* sender, bool noButtonAvailable, std::int32_t seconds)>;
using TOnDVDCurrentTime = std::function<void(QObject* sender, int hours, int minutes, int seconds, int frames,
                                             int frameRate)>;
using TOnDVDCurrentHMSFTime = std::function<void(QObject* sender, int hours, int minutes, int seconds, int frames)>;
using TOnDVDPlaybackRateChange = std::function<void(QObject* sender, double rate)>;

// ------------------------------------------------------------ the graph

enum TGraphMode { gmNormal, gmCapture, gmDVD };

class TFilterGraph : public QObject {
public:
    explicit TFilterGraph(QObject* owner = nullptr);
    ~TFilterGraph() override;

    // ------------------------------------------------------------ properties
    bool Active() const { return FActive; }
    void SetActive(bool value);
    bool AutoCreate() const { return FAutoCreate; }
    void SetAutoCreate(bool value) { FAutoCreate = value; }
    // Capture and DVD graphs do not exist here: every mode plays files.
    TGraphMode Mode() const { return FMode; }
    void SetMode(TGraphMode value);
    // Stored only: there is no outside registry of running graphs.
    bool GraphEdit() const { return FGraphEdit; }
    void SetGraphEdit(bool value);
    bool LinearVolume() const { return FLinearVolume; }
    void SetLinearVolume(bool value);
    // While active, a file created anew with one line per graph operation.
    QString LogFile() const { return FLogFile; }
    void SetLogFile(const QString& value);
    std::int32_t Volume() const { return FVolumeLevel; }  // 0 .. 10000
    void SetVolume(std::int32_t value);
    std::int32_t Balance() const { return FBalance; }  // -10000 .. 10000
    void SetBalance(std::int32_t value);
    double Rate() const { return FRate; }
    void SetRate(double value);
    // How long RenderFile waits for a file to load or fail, in ms; 0 or less:
    // not at all (a file is then taken only if it loaded at once).
    int RenderTimeout() const { return FRenderTimeout; }
    void SetRenderTimeout(int ms) { FRenderTimeout = ms; }

    // After a stored layout has been read: activates when AutoCreate is set.
    void Loaded();

    // ------------------------------------------------------------ operations
    bool Play();
    bool Pause();
    bool Stop();
    // Loads a file, waiting until it has loaded or failed (at most
    // RenderTimeout ms). 1 without an active graph; a failure raises
    // EDirectShowException.
    HResult RenderFile(const QString& fileName);
    // Stops and empties the graph; attached providers keep their filters.
    void ClearGraph();
    // Milliseconds; 0 when nothing can seek.
    std::int64_t GetDuration();

    // The graph's interfaces (IMediaControl, IMediaSeeking, IBasicVideo,
    // IBasicAudio); nullptr for others and while inactive.
    virtual std::shared_ptr<IGraphInterface> QueryInterface(const QUuid& iid);
    template <class T>
    std::shared_ptr<T> Query()
    {
        return std::dynamic_pointer_cast<T>(QueryInterface(T::IID));
    }

    void AttachFilterProvider(IGraphFilterProvider* provider);
    void DetachFilterProvider(IGraphFilterProvider* provider);
    void AttachEventClient(IGraphEventClient* client);
    void DetachEventClient(IGraphEventClient* client);

    // The filters in the graph, in the order they were added.
    QList<QObject*> Filters() const;
    // Whether a filter of the graph receives a stream of the rendered media.
    bool FilterConnected(QObject* filter) const;

    // Dispatches one graph event: to the event clients, OnDSEvent, then the
    // event of its code.
    virtual void DoEvent(int event, std::intptr_t param1, std::intptr_t param2);

    // ------------------------------------------------------------ events
    TGraphNotifyEvent OnActivate;
    TOnDSEvent OnDSEvent;
    // Filters are not chosen one by one here: these three never fire.
    TOnSelectedFilter OnSelectedFilter;
    TOnCreatedFilter OnCreatedFilter;
    TOnUnableToRender OnUnableToRender;

    TOnGraphComplete OnGraphComplete;
    TGraphNotifyEvent OnGraphUserAbort;
    TOnGraphResult OnGraphErrorAbort;
    TOnGraphStreamError OnGraphStreamErrorStopped;
    TOnGraphStreamError OnGraphStreamErrorStillPlaying;
    TOnGraphResult OnGraphErrorStillPlaying;
    TGraphNotifyEvent OnGraphPaletteChanged;
    TOnGraphVideoSizeChanged OnGraphVideoSizeChanged;
    TGraphNotifyEvent OnGraphQualityChange;
    TGraphNotifyEvent OnGraphClockChanged;
    TOnGraphResult OnGraphPaused;
    TOnGraphFlag OnGraphOpeningFile;
    TOnGraphFlag OnGraphBufferingData;
    TOnGraphRenderer OnGraphFullscreenLost;
    // Param 1 and 2 point at the two texts (QString), or are 0.
    TOnGraphOleEvent OnGraphOleEvent;
    TOnGraphParams OnGraphStreamControlStopped;
    TOnGraphParams OnGraphStreamControlStarted;
    TOnGraphEndOfSegment OnGraphEndOfSegment;
    TOnGraphDeviceLost OnGraphDeviceLost;
    TGraphNotifyEvent OnGraphStepComplete;
    TOnGraphParams OnGraphTimeCodeAvailable;
    TOnGraphParams OnGraphEXTDeviceModeChange;
    TGraphNotifyEvent OnGraphChanged;
    TGraphNotifyEvent OnGraphClockUnset;
    TOnGraphValue OnGraphVMRRenderDevice;
    TOnGraphParams OnGraphSNDDevInError;
    TOnGraphParams OnGraphSNDDevOutError;

    TGraphNotifyEvent OnDVDDomainFirstPlay;
    TGraphNotifyEvent OnDVDDomainVideoManagerMenu;
    TGraphNotifyEvent OnDVDDomainVideoTitleSetMenu;
    TGraphNotifyEvent OnDVDDomainTitle;
    TGraphNotifyEvent OnDVDDomainStop;
    TOnGraphValue OnDVDTitleChange;
    TOnGraphValue OnDVDChapterStart;
    TOnDVDStreamChange OnDVDAudioStreamChange;
    TOnDVDStreamChange OnDVDSubpictureStreamChange;
    TOnGraphTwoValues OnDVDAngleChange;
    TOnGraphTwoValues OnDVDButtonChange;
    TOnGraphValue OnDVDValidUOPSChange;
    TOnDVDStillOn OnDVDStillOn;
    TGraphNotifyEvent OnDVDStillOff;
    TOnDVDCurrentTime OnDVDCurrentTime;
    TGraphNotifyEvent OnDVDErrorUnexpected;
    TGraphNotifyEvent OnDVDErrorCopyProtectFail;
    TGraphNotifyEvent OnDVDErrorInvalidDVD1_0Disc;
    TGraphNotifyEvent OnDVDErrorInvalidDiscRegion;
    TGraphNotifyEvent OnDVDErrorLowParentalLevel;
    TGraphNotifyEvent OnDVDErrorMacrovisionFail;
    TGraphNotifyEvent OnDVDErrorIncompatibleSystemAndDecoderRegions;
    TGraphNotifyEvent OnDVDErrorIncompatibleDiscAndDecoderRegions;
    TGraphNotifyEvent OnDVDWarningInvalidDVD1_0Disc;
    TGraphNotifyEvent OnDVDWarningFormatNotSupported;
    TGraphNotifyEvent OnDVDWarningIllegalNavCommand;
    TGraphNotifyEvent OnDVDWarningOpen;
    TGraphNotifyEvent OnDVDWarningSeek;
    TGraphNotifyEvent OnDVDWarningRead;
    TGraphNotifyEvent OnDVDChapterAutoStop;
    TGraphNotifyEvent OnDVDNoFP_PGC;
    TOnDVDPlaybackRateChange OnDVDPlaybackRateChange;
    TOnGraphValue OnDVDParentalLevelChange;
    TGraphNotifyEvent OnDVDPlaybackStopped;
    TOnGraphFlag OnDVDAnglesAvailable;
    TGraphNotifyEvent OnDVDPlayPeriodAutoStop;
    TOnGraphValue OnDVDButtonAutoActivated;
    TOnGraphTwoValues OnDVDCMDStart;
    TOnGraphTwoValues OnDVDCMDEnd;
    TGraphNotifyEvent OnDVDDiscEjected;
    TGraphNotifyEvent OnDVDDiscInserted;
    TOnDVDCurrentHMSFTime OnDVDCurrentHMSFTime;
    TOnGraphFlag OnDVDKaraokeMode;

private:
    friend class TGraphEngine;

    void Activate();
    void Deactivate();
    void AddProviderFilter(IGraphFilterProvider* provider);
    void RemoveProviderFilter(IGraphFilterProvider* provider);
    void NotifyClients(int event, int param);
    void ApplyVolume();
    void ApplyBalance();
    // Queues an event of the engine to the GUI thread.
    void PostEvent(int event, std::intptr_t param1, std::intptr_t param2);
    void HandleEvent(std::uint64_t generation, int event, std::intptr_t param1, std::intptr_t param2);
    void DoDVDEvent(int event, std::intptr_t param1, std::intptr_t param2);
    void WriteLog(const QString& line);
    void CloseLog();

    bool FActive = false;
    bool FAutoCreate = false;
    TGraphMode FMode = gmNormal;
    std::int32_t FVolumeLevel = 10000;
    std::int32_t FBalance = 0;
    double FRate = 1.0;
    bool FLinearVolume = true;
    bool FGraphEdit = false;
    QString FLogFile;
    std::unique_ptr<QFile> FLogStream;
    int FRenderTimeout = 20000;
    std::shared_ptr<TGraphEngine> FEngine;
    std::uint64_t FGeneration = 0;  // counts activations; events of an earlier one are dropped
    QList<IGraphFilterProvider*> FFilterClients;
    QList<IGraphEventClient*> FEventClients;
};

// ------------------------------------------------------------ the video window

enum TVideoMode { vmNormal, vmVMR };
enum TVMRVideoMode { vmrWindowed, vmrWindowless, vmrRenderless };
enum TVMRPreference {
    vpForceOffscreen,
    vpForceOverlays,
    vpForceMixer,
    vpDoNotRenderColorKeyAndBorder,
    vpRestrictToInitialMonitor,
    vpPreferAGPMemWhenMixing
};
// A set of TVMRPreference: bit n for value n.
using TVMRPreferences = std::uint32_t;
constexpr TVMRPreferences VMRPreference(TVMRPreference p) { return 1u << p; }

class TVideoWindow;

// Options of the mixing renderer. The mixing renderer does not exist here,
// so the video window never leaves vmNormal; the options are kept.
class TVMROptions {
public:
    explicit TVMROptions(TVideoWindow* owner) : FVideoWindowRef(owner) {}

    std::uint32_t Streams() const { return FStreams; }
    void SetStreams(std::uint32_t value);  // 1 .. 16, others become 1
    TVMRPreferences Preferences() const { return FPreferences; }
    void SetPreferences(TVMRPreferences value);
    TVMRVideoMode Mode() const { return FMode; }
    void SetMode(TVMRVideoMode value);
    bool KeepAspectRatio() const { return FKeepAspectRatio; }
    void SetKeepAspectRatio(bool value) { FKeepAspectRatio = value; }

private:
    void Rebuild();

    TVideoWindow* FVideoWindowRef;
    std::uint32_t FStreams = 4;
    TVMRPreferences FPreferences = VMRPreference(vpForceMixer);
    TVMRVideoMode FMode = vmrWindowed;
    bool FKeepAspectRatio = true;
};

// Shows the latest frame of the graph's picture scaled over its bounds, or
// full screen in a frameless window of its own.
class TVideoWindow : public QWidget, public IGraphFilterProvider, public IGraphEventClient {
public:
    explicit TVideoWindow(QWidget* parent = nullptr);
    ~TVideoWindow() override;

    // ------------------------------------------------------------ properties
    TVideoMode Mode() const { return FMode; }
    void SetMode(TVideoMode value);  // vmVMR is not available: stays vmNormal
    TFilterGraph* FilterGraph() const { return FFilterGraph; }
    void SetFilterGraph(TFilterGraph* graph);
    TVMROptions& VMROptions() { return FVMROptions; }
    bool FullScreen() const { return FFullScreen; }
    void SetFullScreen(bool value);
    bool FullScreenTopMost() const { return FFullScreenTopMost; }
    void SetFullScreenTopMost(bool value);
    // The control the picture is shown in: the full-screen window while the
    // picture is full screen, else the control itself.
    QWidget* VideoHandle() const;
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    QMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(QMenu* menu) { FPopupMenu = menu; }
    bool InFullScreen() const { return FInFullScreen; }

    // The latest frame (empty before the first). The usual decoder outputs
    // (planar and packed YUV, RGB) are converted here on the processor:
    // showing a video makes no graphics context of its own.
    QImage CurrentImage() const;

    // ------------------------------------------------------------ events
    std::function<void(QPainter& painter)> OnPaint;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TNotifyEvent OnDblClick;

    // ------------------------------------------------------------ graph side
    HResult GetFilter(QObject*& filter) override;
    HResult GetName(QString& name) override;
    HResult NotifyFilter(int operation, int param = 0) override;
    HResult GraphEvent(int event, std::intptr_t param1, std::intptr_t param2) override;
    HResult ControlEvent(int event, int param = 0) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    friend class TVideoFullScreenWindow;
    friend class TVMROptions;

    void ReleaseRenderer();
    void FrameArrived();
    bool RendererConnected() const;
    void ApplyFullScreen();
    void LeaveFullScreen();
    // Paints the picture over rect (the frame scaled, black without one).
    void PaintPicture(QPainter& painter, const QRect& rect) const;
    // Mouse handling of the control and of its full-screen window; pos is
    // the position to report.
    void MouseEvent(QMouseEvent* event, const QPoint& pos);
    void PopupAt(const QPoint& globalPos);

    TVideoMode FMode = vmNormal;
    TVMROptions FVMROptions;
    QPointer<TFilterGraph> FFilterGraph;
    std::unique_ptr<TVideoRendererBackEnd> FRenderer;  // its sink is a child of this control
    mutable QImage FImage;  // the renderer's latest frame converted, made on demand
    mutable bool FImageValid = false;
    bool FFullScreen = false;
    bool FFullScreenTopMost = false;
    bool FInFullScreen = false;
    TColor FColor = clBlack;
    QPointer<QMenu> FPopupMenu;
    QWidget* FFullScreenWindow = nullptr;
};
