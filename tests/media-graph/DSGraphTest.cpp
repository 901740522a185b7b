// The media graph over the Qt media player and the video window.

#include "DSGraph.h"
#include "DSUtil.h"
#include "VideoFixtures.h"

#include "ApplicationException.h"
#include "TestSupport.h"

#include <QtCore/QFile>
#include <QtCore/QRegularExpression>
#include <QtCore/QStringList>
#include <QtCore/QTemporaryDir>
#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtMultimedia/QVideoFrame>
#include <QtMultimedia/QVideoFrameFormat>
#include <QtMultimedia/QVideoSink>

#include <gtest/gtest.h>

#include <memory>

using namespace VideoFixtures;

namespace {

// ------------------------------------------------------------ routines

TEST(DSUtil, VolumeAndBalanceScales)
{
    const struct {
        std::int32_t Linear, Decibel;
    } volumes[] = {{0, -10000}, {10000, 0}, {5000, -752}, {1, -9247}};
    for (const auto& v : volumes)
        EXPECT_EQ(LinearToDecibel(v.Linear), v.Decibel) << v.Linear;
    EXPECT_EQ(BalanceToDecibel(0), 0);
    EXPECT_EQ(BalanceToDecibel(-10000), 10000);
    EXPECT_EQ(BalanceToDecibel(10000), -10000);
    EXPECT_DOUBLE_EQ(DecibelToAmplitude(-10000), 0.0);
    EXPECT_DOUBLE_EQ(DecibelToAmplitude(0), 1.0);
    EXPECT_NEAR(DecibelToAmplitude(-2000), 0.1, 1e-12);
    EXPECT_EQ(RefTimeToMs(905000000), 90500);
}

TEST(DSUtil, CheckDSErrorRaisesForFailuresOnly)
{
    EXPECT_EQ(CheckDSError(S_OK), S_OK);
    EXPECT_EQ(CheckDSError(S_FALSE), S_FALSE);
    try {
        CheckDSError(VFW_E_NOT_FOUND);
        FAIL() << "no exception";
    } catch (const EDirectShowException& e) {
        EXPECT_EQ(e.ErrorCode(), VFW_E_NOT_FOUND);
        EXPECT_EQ(e.Message(), GetErrorString(VFW_E_NOT_FOUND) + " ($80040216).");
        EXPECT_FALSE(GetErrorString(VFW_E_NOT_FOUND).isEmpty());
    }
}

// ------------------------------------------------------------ graph set-up

// Records what the graph tells a provider and a client.
class TRecorder : public IGraphFilterProvider, public IGraphEventClient {
public:
    QStringList Calls;
    QObject Filter;

    HResult GetFilter(QObject*& filter) override
    {
        filter = &Filter;
        return S_OK;
    }
    HResult GetName(QString& name) override
    {
        name = QStringLiteral("recorder");
        return S_OK;
    }
    HResult NotifyFilter(int operation, int) override
    {
        Calls << QStringLiteral("N%1").arg(operation);
        return S_OK;
    }
    HResult GraphEvent(int event, std::intptr_t, std::intptr_t) override
    {
        Calls << QStringLiteral("G%1").arg(event);
        return S_OK;
    }
    HResult ControlEvent(int event, int param) override
    {
        Calls << QStringLiteral("C%1/%2").arg(event).arg(param);
        return S_OK;
    }
    QStringList Notifications() const { return Calls.filter(QRegularExpression("^N")); }
};

TEST(FilterGraph, ProvidersFollowActivationClearAndModeChange)
{
    TFilterGraph graph;
    TRecorder recorder;
    graph.AttachFilterProvider(&recorder);
    graph.AttachEventClient(&recorder);
    EXPECT_TRUE(recorder.Calls.isEmpty()) << "attaching to an inactive graph adds nothing";

    graph.SetActive(true);
    EXPECT_EQ(recorder.Calls, QStringList({"N0", "N1", "C7/1"}));
    EXPECT_EQ(graph.Filters(), QList<QObject*>{&recorder.Filter});

    recorder.Calls.clear();
    graph.ClearGraph();
    EXPECT_EQ(recorder.Notifications(), QStringList());
    EXPECT_EQ(graph.Filters(), QList<QObject*>{&recorder.Filter}) << "the provider's filter stays";

    graph.SetMode(gmDVD);
    EXPECT_EQ(recorder.Notifications(), QStringList({"N2", "N3", "N0", "N1"}));
    EXPECT_EQ(graph.Mode(), gmDVD);
    EXPECT_TRUE(graph.Active());
    EXPECT_TRUE(recorder.Calls.contains("C7/0"));

    recorder.Calls.clear();
    graph.DetachFilterProvider(&recorder);
    EXPECT_EQ(recorder.Notifications(), QStringList({"N2", "N3"}));
    EXPECT_TRUE(graph.Filters().isEmpty());
    graph.DetachEventClient(&recorder);
}

TEST(FilterGraph, InactiveGraphRendersNothingAndOffersNoInterface)
{
    TFilterGraph graph;
    EXPECT_EQ(graph.RenderFile(File("rgb.avi")), S_FALSE);
    EXPECT_EQ(graph.QueryInterface(IMediaSeeking::IID), nullptr);
    EXPECT_EQ(graph.Query<IMediaControl>(), nullptr);
    EXPECT_FALSE(graph.Play());
    EXPECT_EQ(graph.GetDuration(), 0);
    graph.SetVolume(5000);
    EXPECT_EQ(graph.Volume(), 5000) << "stored while inactive";
}

TEST(FilterGraph, VolumeReachesTheSoundOutputInHundredthsOfADecibel)
{
    TFilterGraph graph;
    graph.SetActive(true);
    const auto audio = graph.Query<IBasicAudio>();
    ASSERT_TRUE(audio);
    const struct {
        bool Linear;
        std::int32_t Set, Stored, Decibel;
    } cases[] = {{true, 15000, 10000, 0}, {true, 0, 0, -10000}, {true, 5000, 5000, -752}, {false, 7000, 7000, -3000},
                 {false, -5, 0, -10000}};
    for (const auto& c : cases) {
        graph.SetLinearVolume(c.Linear);
        graph.SetVolume(c.Set);
        std::int32_t decibel = 1;
        ASSERT_EQ(audio->GetVolume(decibel), S_OK);
        EXPECT_EQ(graph.Volume(), c.Stored) << c.Set;
        EXPECT_EQ(decibel, c.Decibel) << c.Set;
    }
    graph.SetBalance(-20000);
    EXPECT_EQ(graph.Balance(), -10000);
}

TEST(FilterGraph, LogFileIsWrittenAnewWhileActive)
{
    QTemporaryDir dir;
    const QString log = dir.filePath("graph.log");
    {
        QFile old(log);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old line\n");
    }
    TFilterGraph graph;
    graph.SetLogFile(log);
    graph.SetActive(true);
    graph.RenderFile(File("rgb.avi"));
    graph.SetLogFile(dir.filePath("no-such-folder/x.log"));
    EXPECT_EQ(graph.LogFile(), log) << "a log that cannot be made leaves the name as it was";
    graph.SetActive(false);
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_FALSE(text.contains("old line"));
    EXPECT_TRUE(text.contains("Activate"));
    EXPECT_TRUE(text.contains("RenderFile"));
}

// ------------------------------------------------------------ rendering

// An active graph with a video window attached.
class GraphTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Window = std::make_unique<TVideoWindow>();
        Window->resize(160, 120);
        Graph = std::make_unique<TFilterGraph>();
        Graph->SetActive(true);
        Window->SetFilterGraph(Graph.get());
    }
    void TearDown() override
    {
        Window.reset();
        Graph.reset();
    }

    std::shared_ptr<IMediaSeeking> Seeking() { return Graph->Query<IMediaSeeking>(); }
    std::int64_t Current()
    {
        std::int64_t value = -1;
        EXPECT_EQ(Seeking()->GetCurrentPosition(value), S_OK);
        return value / 10000;
    }
    std::int64_t StopPosition()
    {
        std::int64_t value = -1;
        EXPECT_EQ(Seeking()->GetStopPosition(value), S_OK);
        return value / 10000;
    }
    void SeekTo(std::int64_t ms)
    {
        std::int64_t position = ms * 10000;
        ASSERT_EQ(Seeking()->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr,
                                          AM_SEEKING_NoPositioning),
                  S_OK);
    }
    TFilterState State()
    {
        TFilterState state = State_Running;
        Graph->Query<IMediaControl>()->GetState(0, state);
        return state;
    }
    bool WaitForColour(char colour)
    {
        return WaitFor([&] { return MiddleColour(Window->grab().toImage()) == colour; });
    }

    std::unique_ptr<TVideoWindow> Window;
    std::unique_ptr<TFilterGraph> Graph;
};

class DurationTest : public GraphTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(DurationTest, DurationAndSizeAsTheFileHoldsThem)
{
    const QString path = File(GetParam());
    ASSERT_EQ(Graph->RenderFile(path), S_OK);
    const std::int64_t probed = ProbeDurationMs(path);
    ASSERT_GT(probed, 0);
    EXPECT_NEAR(Graph->GetDuration(), probed, 50);
    std::int32_t width = 0, height = 0;
    const auto video = Graph->Query<IBasicVideo>();
    EXPECT_EQ(video->GetVideoWidth(width), S_OK);
    EXPECT_EQ(video->GetVideoHeight(height), S_OK);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);
    EXPECT_EQ(State(), State_Stopped);
    EXPECT_EQ(Current(), 0);
    EXPECT_EQ(StopPosition(), Graph->GetDuration());
}

INSTANTIATE_TEST_SUITE_P(Containers, DurationTest, ::testing::Values("rgb.avi", "rgb.wmv", "rgb.asf"));

TEST_F(GraphTest, UnplayableFilesRaiseWithTheirCode)
{
    const struct {
        const char* Name;
        HResult Code;
    } cases[] = {{"junk.avi", VFW_E_UNKNOWN_FILE_TYPE}, {"missing.avi", VFW_E_NOT_FOUND}};
    const QRegularExpression tail(QStringLiteral(" \\(\\$[0-9A-F]{8}\\)\\.$"));
    for (const auto& c : cases) {
        try {
            Graph->RenderFile(File(c.Name));
            ADD_FAILURE() << c.Name << " rendered";
        } catch (const EDirectShowException& e) {
            EXPECT_EQ(e.ErrorCode(), c.Code) << c.Name;
            EXPECT_TRUE(tail.match(e.Message()).hasMatch()) << e.Message().toStdString();
        }
        EXPECT_EQ(Graph->GetDuration(), 0);
    }
    // The graph stays usable.
    EXPECT_EQ(Graph->RenderFile(File("rgb.avi")), S_OK);
    EXPECT_GT(Graph->GetDuration(), 2900);
}

TEST_F(GraphTest, AFileThatDoesNotLoadInTimeFailsAndTheGraphStaysUsable)
{
    Graph->SetRenderTimeout(0);
    try {
        Graph->RenderFile(File("rgb.avi"));
        ADD_FAILURE() << "rendered without waiting";
    } catch (const EDirectShowException& e) {
        EXPECT_EQ(e.ErrorCode(), VFW_E_TIMEOUT);
    }
    EXPECT_EQ(Graph->GetDuration(), 0);
    Graph->SetRenderTimeout(20000);
    EXPECT_EQ(Graph->RenderFile(File("rgb.avi")), S_OK);
}

TEST_F(GraphTest, AudioOnlyMediaHasNoPicture)
{
    ASSERT_EQ(Graph->RenderFile(File("audio.avi")), S_OK);
    EXPECT_GT(Graph->GetDuration(), 1900);
    std::int32_t width = 0;
    EXPECT_EQ(Graph->Query<IBasicVideo>()->GetVideoWidth(width), E_NOINTERFACE);
    QObject* sink = nullptr;
    Window->GetFilter(sink);
    EXPECT_FALSE(Graph->FilterConnected(sink));
}

TEST_F(GraphTest, PausedSeekShowsItsFrame)
{
    ASSERT_EQ(Graph->RenderFile(File("rgb.avi")), S_OK);
    ASSERT_TRUE(Graph->Pause());
    SeekTo(1500);
    EXPECT_TRUE(WaitForColour('g'));
    EXPECT_EQ(Current(), 1500);
    // Stopped too: the seek shows its frame and keeps the position.
    ASSERT_TRUE(Graph->Stop());
    SeekTo(2500);
    EXPECT_TRUE(WaitForColour('b'));
    EXPECT_EQ(Current(), 2500);
    EXPECT_EQ(State(), State_Stopped);
    // The window paints the frame scaled over its bounds.
    Window->resize(300, 50);
    const QImage image = Window->grab().toImage();
    EXPECT_EQ(MiddleColour(image), 'b');
    EXPECT_EQ(image.pixelColor(2, 2), image.pixelColor(297, 47));
}

TEST_F(GraphTest, StopKeepsThePosition)
{
    ASSERT_EQ(Graph->RenderFile(File("rgb.avi")), S_OK);
    SeekTo(1000);
    ASSERT_TRUE(Graph->Play());
    EXPECT_EQ(State(), State_Running);
    ASSERT_TRUE(WaitFor([&] { return Current() >= 1200; }));
    ASSERT_TRUE(Graph->Stop());
    const std::int64_t stopped = Current();
    EXPECT_EQ(State(), State_Stopped);
    EXPECT_GE(stopped, 1200);
    EXPECT_LT(stopped, 2900);
    // The position stays where it stopped once the pending events have run.
    ProcessEvents();
    EXPECT_NEAR(Current(), stopped, 40);
}

TEST_F(GraphTest, TheEndHoldsTheCurrentPositionAtTheStopPosition)
{
    ASSERT_EQ(Graph->RenderFile(File("rgb.avi")), S_OK);
    int completions = 0;
    HResult completion = E_FAIL;
    Graph->OnGraphComplete = [&](QObject* sender, HResult result, QObject*) {
        EXPECT_EQ(sender, Graph.get());
        completion = result;
        ++completions;
    };
    SeekTo(2700);
    ASSERT_TRUE(Graph->Play());
    ASSERT_TRUE(WaitFor([&] { return completions > 0; }));
    EXPECT_EQ(completion, S_OK);
    EXPECT_EQ(Current(), StopPosition());
    EXPECT_EQ(Current(), Graph->GetDuration());
    // It stays there through a pause, until the next seek.
    ASSERT_TRUE(Graph->Pause());
    EXPECT_EQ(Current(), StopPosition());
    SeekTo(500);
    EXPECT_EQ(Current(), 500);
    EXPECT_TRUE(WaitForColour('r'));
    // A seek to the end is the end as well.
    SeekTo(Graph->GetDuration());
    EXPECT_EQ(Current(), StopPosition());
    EXPECT_EQ(completions, 1);
}

TEST_F(GraphTest, ClearGraphKeepsTheVideoWindowsRenderer)
{
    ASSERT_EQ(Graph->RenderFile(File("rgb.avi")), S_OK);
    QObject* sink = nullptr;
    Window->GetFilter(sink);
    ASSERT_NE(sink, nullptr);
    EXPECT_TRUE(Graph->FilterConnected(sink));
    TPinList pins(*Graph, sink);
    ASSERT_EQ(pins.size(), 1);
    EXPECT_TRUE(pins.Connected(0));

    Graph->ClearGraph();
    EXPECT_EQ(TFilterList(*Graph), TFilterList(*Graph));
    EXPECT_EQ(Graph->Filters(), QList<QObject*>{sink});
    EXPECT_FALSE(TPinList(*Graph, sink).Connected(0));
    EXPECT_EQ(Graph->GetDuration(), 0);
    EXPECT_EQ(Graph->Query<IMediaSeeking>()->SetPositions(nullptr, AM_SEEKING_NoPositioning, nullptr,
                                                          AM_SEEKING_NoPositioning),
              E_NOTIMPL);
    // The next file plays into the same window.
    ASSERT_EQ(Graph->RenderFile(File("rgb.wmv")), S_OK);
    ASSERT_TRUE(Graph->Pause());
    SeekTo(1500);
    EXPECT_TRUE(WaitForColour('g'));
}

TEST_F(GraphTest, DeactivationReleasesTheRendererAndActivationBringsItBack)
{
    ASSERT_EQ(Graph->RenderFile(File("rgb.avi")), S_OK);
    ASSERT_TRUE(Graph->Pause());
    ASSERT_TRUE(WaitForColour('r'));
    Graph->SetActive(false);
    QObject* sink = reinterpret_cast<QObject*>(1);
    Window->GetFilter(sink);
    EXPECT_EQ(sink, nullptr);
    EXPECT_TRUE(Window->CurrentImage().isNull());
    EXPECT_EQ(MiddleColour(Window->grab().toImage()), '?');
    Graph->SetActive(true);
    Window->GetFilter(sink);
    EXPECT_NE(sink, nullptr);
    EXPECT_EQ(Graph->Filters(), QList<QObject*>{sink});
}

TEST_F(GraphTest, EventsOfTheMediaArriveQueuedAndHandlerExceptionsAreContained)
{
    QStringList errors;
    SetApplicationExceptionHandler([&](const QString& message) { errors << message; });
    QList<int> codes;
    Graph->OnDSEvent = [&](QObject*, int event, std::intptr_t, std::intptr_t) { codes << event; };
    Graph->OnGraphComplete = [&](QObject*, HResult, QObject*) {
        throw EDirectShowException(QStringLiteral("handler failed"), E_FAIL);
    };
    ASSERT_EQ(Graph->RenderFile(File("rgb.avi")), S_OK);
    SeekTo(2800);
    ASSERT_TRUE(Graph->Play());
    EXPECT_TRUE(WaitFor([&] { return codes.contains(EC_COMPLETE); }));
    EXPECT_EQ(errors, QStringList{"handler failed"});
    SetApplicationExceptionHandler({});
}

TEST_F(GraphTest, FullScreenCoversTheScreenAndReturns)
{
    ASSERT_EQ(Graph->RenderFile(File("rgb.avi")), S_OK);
    Window->SetFullScreenTopMost(true);
    Window->SetFullScreen(true);
    ASSERT_TRUE(Window->InFullScreen());
    QWidget* full = Window->VideoHandle();
    ASSERT_NE(full, Window.get());
    EXPECT_TRUE(full->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(full->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(full->isFullScreen());
    EXPECT_EQ(full->geometry(), QGuiApplication::primaryScreen()->geometry());
    Window->SetFullScreen(false);
    EXPECT_FALSE(Window->InFullScreen());
    EXPECT_EQ(Window->VideoHandle(), Window.get());

    // Without a picture in the graph the flag is only stored.
    Graph->ClearGraph();
    Window->SetFullScreen(true);
    EXPECT_TRUE(Window->FullScreen());
    EXPECT_FALSE(Window->InFullScreen());
}

TEST(VideoWindow, OptionsAndModeKeepWhatCanExistHere)
{
    TVideoWindow window;
    EXPECT_EQ(window.width(), 160);
    EXPECT_EQ(window.height(), 120);
    window.VMROptions().SetStreams(20);
    EXPECT_EQ(window.VMROptions().Streams(), 1u);
    window.VMROptions().SetStreams(16);
    EXPECT_EQ(window.VMROptions().Streams(), 16u);
    window.SetMode(vmVMR);
    EXPECT_EQ(window.Mode(), vmNormal);

    TFilterGraph graph;
    graph.SetActive(true);
    TRecorder recorder;
    graph.AttachEventClient(&recorder);
    window.SetFilterGraph(&graph);
    QObject* sink = nullptr;
    window.GetFilter(sink);
    window.SetFilterGraph(&graph);  // the same graph again changes nothing
    QObject* again = nullptr;
    window.GetFilter(again);
    EXPECT_EQ(again, sink);
    EXPECT_EQ(graph.Filters().size(), 1);
    graph.DetachEventClient(&recorder);
}

TEST(VideoWindow, GraphDestroyedFirstLeavesTheWindowDetached)
{
    TVideoWindow window;
    {
        TFilterGraph graph;
        graph.SetActive(true);
        window.SetFilterGraph(&graph);
    }
    EXPECT_EQ(window.FilterGraph(), nullptr);
    QObject* sink = reinterpret_cast<QObject*>(1);
    window.GetFilter(sink);
    EXPECT_EQ(sink, nullptr);
}

// ------------------------------------------------------------ event dispatch

TEST(FilterGraph, DoEventDispatchesEveryCodeToItsEvent)
{
    TFilterGraph graph;
    QStringList fired;
    const auto note = [&fired](const QString& text) { fired << text; };
    const QString ole1 = QStringLiteral("name"), ole2 = QStringLiteral("value");
    QObject renderer;

    graph.OnGraphComplete = [&](QObject*, HResult r, QObject* o) { note(QString("complete %1 %2").arg(r).arg(o == &renderer)); };
    graph.OnGraphUserAbort = [&](QObject*) { note("userabort"); };
    graph.OnGraphErrorAbort = [&](QObject*, HResult r) { note(QString("errorabort %1").arg(r)); };
    graph.OnGraphStreamErrorStopped = [&](QObject*, HResult a, std::int32_t b) { note(QString("streamstopped %1 %2").arg(a).arg(b)); };
    graph.OnGraphStreamErrorStillPlaying = [&](QObject*, HResult a, std::int32_t b) { note(QString("streamplaying %1 %2").arg(a).arg(b)); };
    graph.OnGraphErrorStillPlaying = [&](QObject*, HResult r) { note(QString("errorplaying %1").arg(r)); };
    graph.OnGraphPaletteChanged = [&](QObject*) { note("palette"); };
    graph.OnGraphVideoSizeChanged = [&](QObject*, int w, int h) { note(QString("size %1x%2").arg(w).arg(h)); };
    graph.OnGraphQualityChange = [&](QObject*) { note("quality"); };
    graph.OnGraphClockChanged = [&](QObject*) { note("clock"); };
    graph.OnGraphPaused = [&](QObject*, HResult r) { note(QString("paused %1").arg(r)); };
    graph.OnGraphOpeningFile = [&](QObject*, bool b) { note(QString("opening %1").arg(b)); };
    graph.OnGraphBufferingData = [&](QObject*, bool b) { note(QString("buffering %1").arg(b)); };
    graph.OnGraphFullscreenLost = [&](QObject*, QObject* o) { note(QString("fslost %1").arg(o == &renderer)); };
    graph.OnGraphOleEvent = [&](QObject*, const QString& a, const QString& b) { note("ole " + a + " " + b); };
    graph.OnGraphStreamControlStopped = [&](QObject*, std::intptr_t a, std::intptr_t b) { note(QString("scstopped %1 %2").arg(a).arg(b)); };
    graph.OnGraphStreamControlStarted = [&](QObject*, std::intptr_t a, std::intptr_t b) { note(QString("scstarted %1 %2").arg(a).arg(b)); };
    graph.OnGraphEndOfSegment = [&](QObject*, std::int64_t t, std::int32_t s) { note(QString("segment %1 %2").arg(t).arg(s)); };
    graph.OnGraphDeviceLost = [&](QObject*, std::intptr_t d, bool a) { note(QString("devicelost %1 %2").arg(d).arg(a)); };
    graph.OnGraphStepComplete = [&](QObject*) { note("step"); };
    graph.OnGraphTimeCodeAvailable = [&](QObject*, std::intptr_t a, std::intptr_t b) { note(QString("timecode %1 %2").arg(a).arg(b)); };
    graph.OnGraphEXTDeviceModeChange = [&](QObject*, std::intptr_t a, std::intptr_t b) { note(QString("extmode %1 %2").arg(a).arg(b)); };
    graph.OnGraphChanged = [&](QObject*) { note("changed"); };
    graph.OnGraphClockUnset = [&](QObject*) { note("clockunset"); };
    graph.OnGraphVMRRenderDevice = [&](QObject*, std::int32_t v) { note(QString("vmr %1").arg(v)); };
    graph.OnGraphSNDDevInError = [&](QObject*, std::intptr_t a, std::intptr_t b) { note(QString("sndin %1 %2").arg(a).arg(b)); };
    graph.OnGraphSNDDevOutError = [&](QObject*, std::intptr_t a, std::intptr_t b) { note(QString("sndout %1 %2").arg(a).arg(b)); };
    graph.OnDVDDomainFirstPlay = [&](QObject*) { note("domain1"); };
    graph.OnDVDDomainStop = [&](QObject*) { note("domain5"); };
    graph.OnDVDTitleChange = [&](QObject*, std::int32_t v) { note(QString("title %1").arg(v)); };
    graph.OnDVDAudioStreamChange = [&](QObject*, std::int32_t s, const QString& l, std::int32_t id) { note(QString("audio %1 %2 %3").arg(QString::number(s), l, QString::number(id))); };
    graph.OnDVDSubpictureStreamChange = [&](QObject*, std::int32_t s, const QString& l, std::int32_t id) { note(QString("sub %1 %2 %3").arg(QString::number(s), l, QString::number(id))); };
    graph.OnDVDStillOn = [&](QObject*, bool b, std::int32_t s) { note(QString("stillon %1 %2").arg(b).arg(s)); };
    graph.OnDVDCurrentTime = [&](QObject*, int h, int m, int s, int f, int r) { note(QString("time %1:%2:%3.%4 @%5").arg(h).arg(m).arg(s).arg(f).arg(r)); };
    graph.OnDVDErrorUnexpected = [&](QObject*) { note("error1"); };
    graph.OnDVDErrorIncompatibleDiscAndDecoderRegions = [&](QObject*) { note("error8"); };
    graph.OnDVDWarningRead = [&](QObject*) { note("warning6"); };
    graph.OnDVDPlaybackRateChange = [&](QObject*, double r) { note(QString("rate %1").arg(r)); };
    graph.OnDVDAnglesAvailable = [&](QObject*, bool b) { note(QString("angles %1").arg(b)); };
    graph.OnDVDCMDEnd = [&](QObject*, std::int32_t a, std::int32_t b) { note(QString("cmdend %1 %2").arg(a).arg(b)); };
    graph.OnDVDCurrentHMSFTime = [&](QObject*, int h, int m, int s, int f) { note(QString("hmsf %1:%2:%3.%4").arg(h).arg(m).arg(s).arg(f)); };
    graph.OnDVDKaraokeMode = [&](QObject*, bool b) { note(QString("karaoke %1").arg(b)); };
    QList<int> allEvents;
    graph.OnDSEvent = [&](QObject*, int event, std::intptr_t, std::intptr_t) { allEvents << event; };

    const auto p = [](const void* pointer) { return reinterpret_cast<std::intptr_t>(pointer); };
    const struct {
        int Code;
        std::intptr_t P1, P2;
        QString Expected;  // empty: no event of the code fires
    } table[] = {
        {1, 0, p(&renderer), "complete 0 1"},
        {2, 0, 0, "userabort"},
        {3, VFW_E_NOT_FOUND, 0, QString("errorabort %1").arg(VFW_E_NOT_FOUND)},
        {6, 4, 5, "streamstopped 4 5"},
        {7, 6, 7, "streamplaying 6 7"},
        {8, 9, 0, "errorplaying 9"},
        {9, 0, 0, "palette"},
        {10, 320 | (240 << 16), 0, "size 320x240"},
        {11, 0, 0, "quality"},
        {13, 0, 0, "clock"},
        {14, 0, 0, "paused 0"},
        {16, 1, 0, "opening 1"},
        {17, 0, 0, "buffering 0"},
        {18, 0, p(&renderer), "fslost 1"},
        {24, p(&ole1), p(&ole2), "ole name value"},
        {26, 1, 2, "scstopped 1 2"},
        {27, 3, 4, "scstarted 3 4"},
        {28, 123456789, 3, "segment 123456789 3"},
        {31, 77, 1, "devicelost 77 1"},
        {36, 0, 0, "step"},
        {48, 5, 6, "timecode 5 6"},
        {49, 7, 8, "extmode 7 8"},
        {80, 0, 0, "changed"},
        {81, 0, 0, "clockunset"},
        {83, 2, 0, "vmr 2"},
        {512, 1, 2, "sndin 1 2"},
        {513, 3, 4, "sndout 3 4"},
        {257, 1, 0, "domain1"},
        {257, 5, 0, "domain5"},
        {257, 6, 0, ""},
        {258, 4, 0, "title 4"},
        {260, 2, 0x0409, "audio 2 English 1033"},
        {261, 1, 0x0804, "sub 1 Chinese 2052"},
        {265, 1, 10, "stillon 1 10"},
        {267, 0x12345000, 0, "time 1:2:3.4 @30"},
        {267, 0x01021000, 0, "time 0:1:0.2 @25"},
        {268, 1, 0, "error1"},
        {268, 8, 0, "error8"},
        {268, 9, 0, ""},
        {269, 6, 0, "warning6"},
        {272, 20000, 0, "rate 2"},
        {275, 1, 0, "angles 1"},
        {279, 3, 0, "cmdend 3 0"},
        {282, 0x21430000, 0, "hmsf 2:1:4.3"},
        {283, 5, 0, "karaoke 1"},
        {999, 0, 0, ""},
        {266, 0, 0, ""},  // no handler assigned
    };
    for (const auto& row : table) {
        fired.clear();
        allEvents.clear();
        graph.DoEvent(row.Code, row.P1, row.P2);
        EXPECT_EQ(fired, row.Expected.isEmpty() ? QStringList() : QStringList{row.Expected}) << row.Code;
        EXPECT_EQ(allEvents, QList<int>{row.Code}) << row.Code;
    }
}

// Frames the decoders deliver are turned into the picture by the window
// itself: each layout of planar, semi-planar and packed YUV (BT.601, video
// range), filled with one colour, shows that colour.
TEST(VideoWindow, EveryYuvLayoutShowsItsColour)
{
    TFilterGraph graph;
    TVideoWindow window;
    window.SetFilterGraph(&graph);
    graph.SetActive(true);
    auto* sink = qobject_cast<QVideoSink*>(graph.Filters().value(0));
    ASSERT_NE(sink, nullptr);

    using F = QVideoFrameFormat;
    struct TColourYuv {
        char Colour;
        uchar Y, U, V;
    };
    const TColourYuv colours[] = {{'r', 82, 90, 240}, {'g', 145, 54, 34}, {'b', 41, 240, 110}};
    const F::PixelFormat formats[] = {F::Format_YUV420P, F::Format_YV12, F::Format_YUV422P, F::Format_NV12,
                                      F::Format_NV21,    F::Format_UYVY, F::Format_YUYV};
    for (const F::PixelFormat format : formats) {
        for (const TColourYuv& c : colours) {
            SCOPED_TRACE(testing::Message() << F::pixelFormatToString(format).toStdString() << ' ' << c.Colour);
            QVideoFrame frame(F(QSize(16, 12), format));
            ASSERT_TRUE(frame.map(QVideoFrame::WriteOnly));
            const auto fill = [&frame](int plane, const QByteArray& pattern) {
                uchar* bits = frame.bits(plane);
                for (int at = 0; at < frame.mappedBytes(plane); ++at)
                    bits[at] = uchar(pattern.at(at % pattern.size()));
            };
            const auto bytes = [](std::initializer_list<uchar> list) {
                QByteArray b;
                for (uchar u : list)
                    b.append(char(u));
                return b;
            };
            switch (format) {
            case F::Format_YUV420P:
            case F::Format_YUV422P:
                fill(0, bytes({c.Y}));
                fill(1, bytes({c.U}));
                fill(2, bytes({c.V}));
                break;
            case F::Format_YV12:
                fill(0, bytes({c.Y}));
                fill(1, bytes({c.V}));
                fill(2, bytes({c.U}));
                break;
            case F::Format_NV12:
                fill(0, bytes({c.Y}));
                fill(1, bytes({c.U, c.V}));
                break;
            case F::Format_NV21:
                fill(0, bytes({c.Y}));
                fill(1, bytes({c.V, c.U}));
                break;
            case F::Format_UYVY:
                fill(0, bytes({c.U, c.Y, c.V, c.Y}));
                break;
            case F::Format_YUYV:
                fill(0, bytes({c.Y, c.U, c.Y, c.V}));
                break;
            default:
                FAIL();
            }
            frame.unmap();
            sink->setVideoFrame(frame);
            const QImage image = window.CurrentImage();
            ASSERT_EQ(image.size(), QSize(16, 12));
            EXPECT_EQ(MiddleColour(image), c.Colour);
            EXPECT_EQ(MiddleColour(image.copy(0, 0, 1, 1)), c.Colour) << "the corner too";
        }
    }
}

}  // namespace
