// The sentence-based video player: fitting the picture, following the cues
// on a seeking interface whose position the test sets, and real playback.

#include "UPiboVideoClass.h"

#include "DSGraph.h"
#include "Forms.h"
#include "TestSupport.h"
#include "UCommonFun.h"
#include "UFrmShowInfo.h"
#include "UPiboComponent.h"
#include "VideoFixtures.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QPointer>
#include <QtCore/QTemporaryDir>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

using namespace VideoFixtures;

namespace {

// ------------------------------------------------------------ a graph the test moves

// Seeking with a position set by the test; a seek moves it.
class TFakeSeeking : public IMediaSeeking {
public:
    std::int64_t DurationMs = 0;
    std::int64_t CurrentMs = 0;
    QList<std::int64_t> Seeks;

    HResult GetDuration(std::int64_t& duration) override
    {
        duration = DurationMs * 10000;
        return S_OK;
    }
    HResult GetCurrentPosition(std::int64_t& current) override
    {
        current = CurrentMs * 10000;
        return S_OK;
    }
    HResult GetStopPosition(std::int64_t& stop) override
    {
        stop = DurationMs * 10000;
        return S_OK;
    }
    HResult SetPositions(std::int64_t* current, std::uint32_t flags, std::int64_t*, std::uint32_t) override
    {
        if (current && (flags & 3) == AM_SEEKING_AbsolutePositioning) {
            CurrentMs = *current / 10000;
            Seeks << CurrentMs;
        }
        return S_OK;
    }
    HResult SetRate(double) override { return S_OK; }
    HResult GetRate(double& rate) override
    {
        rate = 1;
        return S_OK;
    }
};

class TFakeControl : public IMediaControl {
public:
    QStringList Calls;
    bool FailStop = false;

    HResult Run() override
    {
        Calls << "Run";
        return S_OK;
    }
    HResult Pause() override
    {
        Calls << "Pause";
        return S_OK;
    }
    HResult Stop() override
    {
        Calls << "Stop";
        if (FailStop)
            throw std::runtime_error("stop failed");
        return S_OK;
    }
    HResult GetState(std::int32_t, TFilterState& state) override
    {
        state = State_Stopped;
        return S_OK;
    }
};

class TFakeVideo : public IBasicVideo {
public:
    int Width = 320;
    int Height = 240;
    HResult GetVideoWidth(std::int32_t& width) override
    {
        width = Width;
        return S_OK;
    }
    HResult GetVideoHeight(std::int32_t& height) override
    {
        height = Height;
        return S_OK;
    }
};

class TFakeGraph : public TFilterGraph {
public:
    std::shared_ptr<TFakeSeeking> Seeking = std::make_shared<TFakeSeeking>();
    std::shared_ptr<TFakeControl> Control = std::make_shared<TFakeControl>();
    std::shared_ptr<TFakeVideo> Video = std::make_shared<TFakeVideo>();

    std::shared_ptr<IGraphInterface> QueryInterface(const QUuid& iid) override
    {
        if (iid == IMediaSeeking::IID)
            return Seeking;
        if (iid == IMediaControl::IID)
            return Control;
        if (iid == IBasicVideo::IID)
            return Video;
        return TFilterGraph::QueryInterface(iid);
    }
};

struct TCue {
    const char* Start;
    const char* End;
    const char* English;
};

// A player on a fake graph, a lesson of the given cues and duration, and a
// record of what the player reports.
class FakePlayerTest : public ::testing::Test {
protected:
    void Load(std::initializer_list<TCue> cues, std::int64_t durationMs)
    {
        Graph = new TFakeGraph;
        Graph->Seeking->DurationMs = durationMs;
        Player = std::make_unique<TPiboVideoClass>(nullptr, Graph);
        Player->resize(400, 358);
        Player->show();  // a hidden widget hears of its size only when shown
        TVideoLrcItems items;
        for (const TCue& cue : cues) {
            TVideoLrcItem item;
            item.StartTime = cue.Start;
            item.EndTime = cue.End;
            item.English = cue.English;
            item.China = QStringLiteral("中文");
            items << item;
        }
        const QString media = Dir.filePath("lesson.avi");  // never made: the fake graph plays
        ASSERT_TRUE(SaveSrtFile(items, Dir.filePath("lesson.srt")));
        Player->SetFileName(media);
        Player->LoadSrt(media);
        Player->OnVideoPlayIndexChange = [this](QObject*, int index) { Indexes << index; };
        Player->OnVideoProgress = [this](QObject*, std::int64_t ms) { Progress << ms; };
        Player->OnPlayOver = [this](QObject*) { ++Overs; };
        Player->OnVideoStateChange = [this](QObject*) { States << Player->VideoPlayState(); };
        ClearRecords();
    }
    // Moves the position and lets the timer look at it.
    void TickAt(std::int64_t ms)
    {
        Graph->Seeking->CurrentMs = ms;
        Player->TimerTick();
    }
    void ClearRecords()
    {
        Indexes.clear();
        Progress.clear();
        States.clear();
        Graph->Seeking->Seeks.clear();
        Graph->Control->Calls.clear();
    }

    QTemporaryDir Dir;
    TFakeGraph* Graph = nullptr;  // owned by the player
    std::unique_ptr<TPiboVideoClass> Player;
    QList<int> Indexes;
    QList<std::int64_t> Progress;
    QList<TVideoPlayState> States;
    int Overs = 0;
};

TEST_F(FakePlayerTest, LoadingTakesDurationAndMakesCueZeroCurrent)
{
    Load({{"00:00:01,000", "00:00:02,000", "one"}, {"00:00:05,000", "00:00:06,000", "two"}}, 8000);
    EXPECT_EQ(Player->TotalTime(), 8000);
    EXPECT_EQ(Player->Count(), 2);
    EXPECT_EQ(Player->PlayQueueIndex(), 0);
    EXPECT_EQ(Player->VideoLrcItems().at(0).NextStart, "00:00:05,000");
    EXPECT_EQ(Player->VideoLrcItems().at(1).NextStart, "00:00:08,000");
    EXPECT_EQ(Player->VideoPlayState(), vpsStop);

    Player->LoadSrt(QString(), true);
    ASSERT_EQ(Player->Count(), 1);
    EXPECT_EQ(Player->VideoLrcItems().at(0).StartTime, "00:00:00,000");
    EXPECT_EQ(Player->VideoLrcItems().at(0).EndTime, "00:00:08,000");
}

TEST_F(FakePlayerTest, VideoFitsThePanelCentred)
{
    const struct {
        int VideoW, VideoH, PanelW, PanelH;
        QRect Expected;
    } cases[] = {
        {640, 480, 800, 400, QRect(134, 0, 533, 400)},  // taller only: full height; 133.5 goes to 134
        {320, 240, 800, 600, QRect(0, 0, 800, 600)},    // smaller both ways: scaled up
        {1000, 300, 800, 400, QRect(0, 80, 800, 240)},  // wider only: full width
        {300, 1000, 800, 600, QRect(310, 0, 180, 600)}, // taller only: full height
        {1600, 600, 800, 400, QRect(0, 50, 800, 300)},  // larger both ways, wide
        {400, 400, 800, 600, QRect(100, 0, 600, 600)},  // smaller both ways, tall
    };
    Load({}, 3000);
    int n = 0;
    for (const auto& c : cases) {
        Graph->Video->Width = c.VideoW;
        Graph->Video->Height = c.VideoH;
        Player->resize(c.PanelW, c.PanelH + 58);
        Player->SetFileName(Dir.filePath(QStringLiteral("video%1.avi").arg(++n)));
        EXPECT_EQ(Player->VideoPanel()->size(), QSize(c.PanelW, c.PanelH));
        EXPECT_EQ(Player->VideoWindow()->geometry(), c.Expected) << c.VideoW << "x" << c.VideoH;
    }
    // A resized panel refits the picture.
    Player->resize(400, 300 + 58);
    EXPECT_EQ(Player->VideoWindow()->geometry(), QRect(50, 0, 300, 300));
    // Without the subtitle box the panel takes the whole player.
    Player->SetHasLrDis(false);
    EXPECT_FALSE(Player->SubtitleBox()->isVisibleTo(Player.get()));
    EXPECT_EQ(Player->VideoPanel()->size(), QSize(400, 358));
}

TEST_F(FakePlayerTest, PlayingAllFollowsCuesThroughAGap)
{
    Load({{"00:00:01,000", "00:00:02,000", "one"}, {"00:00:05,000", "00:00:06,000", "two"}}, 8000);
    Player->Play();
    EXPECT_EQ(Graph->Seeking->Seeks, QList<std::int64_t>{1000});
    EXPECT_EQ(Graph->Control->Calls, QStringList{"Run"});
    EXPECT_EQ(Player->VideoPlayState(), vpsPlay);
    EXPECT_TRUE(Indexes.isEmpty()) << "Play from the current cue reports nothing";

    TickAt(1500);
    EXPECT_EQ(Player->ShownEnglish(), "one");
    EXPECT_EQ(Player->ShownChina(), "中文");
    TickAt(3000);
    EXPECT_EQ(Player->ShownEnglish(), "") << "a gap between cues shows nothing";
    EXPECT_EQ(Player->PlayQueueIndex(), 0);
    TickAt(5000);
    EXPECT_EQ(Player->PlayQueueIndex(), 1);
    EXPECT_EQ(Indexes, QList<int>{1});
    TickAt(5000);
    EXPECT_EQ(Player->ShownEnglish(), "two");
    TickAt(6500);
    EXPECT_EQ(Player->ShownEnglish(), "");
    EXPECT_EQ(Overs, 0);
    EXPECT_EQ(Progress, (QList<std::int64_t>{1500, 3000, 5000, 5000, 6500}));
    TickAt(8000);
    EXPECT_EQ(Overs, 1);
    EXPECT_EQ(Player->VideoPlayState(), vpsStop);
    EXPECT_EQ(Graph->Control->Calls, QStringList{"Run"}) << "the end needs no stop";

    // Play at the end starts again at 0.
    ClearRecords();
    Player->Play();
    EXPECT_EQ(Player->PlayQueueIndex(), 0);
    EXPECT_EQ(Graph->Seeking->Seeks, QList<std::int64_t>{0});
    EXPECT_EQ(Indexes, QList<int>{0});
    EXPECT_EQ(Progress, QList<std::int64_t>{0});
    EXPECT_EQ(Player->VideoPlayState(), vpsPlay);
    TickAt(500);
    EXPECT_EQ(Player->ShownEnglish(), "") << "before the first cue nothing shows";
    EXPECT_EQ(Player->PlayQueueIndex(), 0);
}

TEST_F(FakePlayerTest, LoopPlayStartsAgainAtTheEnd)
{
    Load({{"00:00:01,000", "00:00:02,000", "one"}}, 3000);
    Player->SetLoopPlay(true);
    Player->Play();
    ClearRecords();
    TickAt(3000);
    EXPECT_EQ(Overs, 1);
    EXPECT_EQ(Graph->Seeking->Seeks, QList<std::int64_t>{0});
    EXPECT_EQ(Player->VideoPlayState(), vpsPlay);
    EXPECT_EQ(States, (QList<TVideoPlayState>{vpsStop, vpsPlay}));
}

TEST_F(FakePlayerTest, PlayingSelectedPassesUnselectedCuesWithoutLines)
{
    Load({{"00:00:01,000", "00:00:02,000", "one"},
          {"00:00:03,000", "00:00:04,000", "two"},
          {"00:00:05,000", "00:00:06,000", "three"}},
         8000);
    Player->SetVideoPlayType(vptSelect);
    Player->SetSelected(0, true);
    Player->SetSelected(2, true);
    Player->Play();
    TickAt(1500);
    EXPECT_EQ(Player->ShownEnglish(), "one");
    TickAt(2500);
    EXPECT_EQ(Player->ShownEnglish(), "");
    TickAt(3000);
    EXPECT_EQ(Player->PlayQueueIndex(), 2) << "the unselected cue is passed over";
    EXPECT_EQ(Indexes, QList<int>{2});
    for (std::int64_t t : {3000, 3500, 4000, 4900}) {
        TickAt(t);
        EXPECT_EQ(Player->ShownEnglish(), "") << "the video plays through cue 2 without its lines at " << t;
    }
    TickAt(5000);
    EXPECT_EQ(Player->ShownEnglish(), "three");
    EXPECT_EQ(Graph->Seeking->Seeks, QList<std::int64_t>{1000}) << "never seeks by itself while playing";

    // Play on the last selected cue starts again at the first selected one.
    Player->Pause();
    ClearRecords();
    Player->Play();
    EXPECT_EQ(Player->PlayQueueIndex(), 0);
    EXPECT_EQ(Graph->Seeking->Seeks, QList<std::int64_t>{1000});
    EXPECT_EQ(Indexes, QList<int>{0});
    EXPECT_EQ(Progress, QList<std::int64_t>{1000});
}

TEST_F(FakePlayerTest, SelectedPlayStopsAfterTheLastSelectedCue)
{
    for (bool loop : {false, true}) {
        SCOPED_TRACE(loop);
        Load({{"00:00:01,000", "00:00:02,000", "one"},
              {"00:00:03,000", "00:00:04,000", "two"},
              {"00:00:05,000", "00:00:06,000", "three"}},
             8000);
        Player->SetVideoPlayType(vptSelect);
        Player->SetLoopPlay(loop);
        Player->SetSelected(1, true);
        Player->SetPlayQueueIndex(1);
        Player->Play();
        ClearRecords();
        TickAt(3500);
        EXPECT_EQ(Player->ShownEnglish(), "two");
        TickAt(5000);
        if (loop) {
            EXPECT_EQ(Player->PlayQueueIndex(), 1);
            EXPECT_EQ(Graph->Seeking->Seeks, QList<std::int64_t>{3000});
            EXPECT_EQ(Player->VideoPlayState(), vpsPlay);
        } else {
            EXPECT_EQ(Graph->Control->Calls, QStringList{"Stop"});
            EXPECT_EQ(Player->VideoPlayState(), vpsStop);
            EXPECT_EQ(Player->PlayQueueIndex(), 1);
        }
    }
}

TEST_F(FakePlayerTest, NothingSelectedLeavesSelectedOperationsWithoutEffect)
{
    Load({{"00:00:01,000", "00:00:02,000", "one"}, {"00:00:05,000", "00:00:06,000", "two"}}, 8000);
    Player->SetPlayQueueIndex(1);
    for (TVideoPlayType type : {vptSelect, vptAgain}) {
        Player->SetVideoPlayType(type);
        Player->Restart();
        Player->GotoFirst();
        Player->GotoLast();
        if (type == vptSelect)
            Player->Play();
        EXPECT_EQ(Player->PlayQueueIndex(), 1);
        EXPECT_TRUE(Graph->Seeking->Seeks.isEmpty());
        EXPECT_TRUE(Graph->Control->Calls.isEmpty());
        EXPECT_TRUE(Indexes.isEmpty());
        EXPECT_EQ(Player->VideoPlayState(), vpsStop);
    }
    // The follow-up finds no cue to go to either: the video stops.
    Player->SetVideoPlayType(vptSelect);
    Player->SetSelected(0, true);
    Player->SetPlayQueueIndex(0);
    Player->Play();
    Player->SetSelected(0, false);
    TickAt(5000);
    EXPECT_EQ(Player->VideoPlayState(), vpsStop);
    EXPECT_EQ(Player->PlayQueueIndex(), 0);
}

TEST_F(FakePlayerTest, SkipKeepsTheCurrentCueValid)
{
    Load({{"00:00:01,000", "00:00:02,000", "one"},
          {"00:00:05,000", "00:00:06,000", "two"},
          {"00:00:07,000", "00:00:08,000", "three"}},
         10000);
    const struct {
        std::int64_t From, Delta;
        int Index;
        std::int64_t Position;
    } cases[] = {
        {1500, 2000, 1, 3500},  // a gap: the next cue
        {1500, -1000, 0, 500},  // before the first cue: the first
        {7500, 1500, 2, 9000},  // past the last cue's end: the last
        {1500, 4000, 1, 5500},  // inside a cue
        {5500, 500, 1, 6000},   // at a cue's end, which is inside it
    };
    for (const auto& c : cases) {
        Player->GotoSentence(0);
        Player->Play();
        TickAt(c.From);
        ClearRecords();
        Player->Skip(c.Delta);
        EXPECT_EQ(Player->PlayQueueIndex(), c.Index) << c.From << " + " << c.Delta;
        EXPECT_EQ(Graph->Seeking->CurrentMs, c.Position);
        EXPECT_EQ(Indexes, QList<int>{c.Index});
        EXPECT_EQ(Graph->Control->Calls, (QStringList{"Pause", "Run"})) << "playing stays playing";
        EXPECT_EQ(Player->VideoPlayState(), vpsPlay);
    }
    // Past the end: the last cue, stopped at the end.
    TickAt(9000);
    Player->Skip(5000);
    EXPECT_EQ(Player->PlayQueueIndex(), 2);
    EXPECT_EQ(Player->VideoPlayState(), vpsStop);
    EXPECT_TRUE(Player->IsAtEnd());
    // Stopped: nothing moves.
    ClearRecords();
    Player->Skip(-3000);
    EXPECT_TRUE(Graph->Seeking->Seeks.isEmpty());
}

TEST_F(FakePlayerTest, GotoOperationsByPlayState)
{
    Load({{"00:00:01,000", "00:00:02,000", "one"}, {"00:00:05,000", "00:00:06,000", "two"}}, 8000);
    // Stopped: the cue becomes current and shows, the position stays.
    Player->GotoSentence(1);
    EXPECT_EQ(Player->PlayQueueIndex(), 1);
    EXPECT_EQ(Player->ShownEnglish(), "two");
    EXPECT_EQ(Progress, QList<std::int64_t>{5000});
    EXPECT_TRUE(Indexes.isEmpty());
    EXPECT_TRUE(Graph->Seeking->Seeks.isEmpty());
    Player->GotoTime(0, 1500);
    EXPECT_EQ(Player->ShownEnglish(), "one");
    EXPECT_TRUE(Graph->Seeking->Seeks.isEmpty());

    // Paused: seeks and reports, stays paused.
    Player->Play();
    Player->Pause();
    ClearRecords();
    Player->GotoSentence(1);
    EXPECT_EQ(Graph->Seeking->Seeks, QList<std::int64_t>{5000});
    EXPECT_EQ(Indexes, QList<int>{1});
    EXPECT_EQ(Progress, QList<std::int64_t>{5000});
    Player->GotoTime(0, 1700);
    EXPECT_EQ(Graph->Seeking->CurrentMs, 1700);
    EXPECT_EQ(Player->PlayQueueIndex(), 0);
    EXPECT_EQ(Player->VideoPlayState(), vpsPause);
    Player->SeekSentenceStart();
    EXPECT_EQ(Progress.last(), 1000);

    // GotoLast in vptAll: the last cue, the end, stopped without telling the graph.
    ClearRecords();
    Player->GotoLast();
    EXPECT_EQ(Player->PlayQueueIndex(), 1);
    EXPECT_EQ(Indexes, QList<int>{1});
    EXPECT_EQ(Progress, QList<std::int64_t>{8000});
    EXPECT_EQ(Player->VideoPlayState(), vpsStop);
    EXPECT_TRUE(Player->IsAtEnd());
    EXPECT_TRUE(Graph->Control->Calls.isEmpty());

    // GotoFirst in vptAll runs a stopped player from 0.
    ClearRecords();
    Player->GotoFirst();
    EXPECT_EQ(Graph->Seeking->Seeks, QList<std::int64_t>{0});
    EXPECT_EQ(Graph->Control->Calls, QStringList{"Run"});
    EXPECT_EQ(Player->VideoPlayState(), vpsPlay);

    // An index outside the list changes nothing.
    ClearRecords();
    Player->GotoSentence(5);
    Player->GotoTime(-1, 100);
    EXPECT_EQ(Player->PlayQueueIndex(), 0);
    EXPECT_TRUE(Graph->Seeking->Seeks.isEmpty());
}

TEST_F(FakePlayerTest, ExceptionsInTheTickAreSwallowed)
{
    Load({{"00:00:01,000", "00:00:02,000", "one"}}, 3000);
    Player->Play();
    Player->OnVideoProgress = [](QObject*, std::int64_t) { throw std::runtime_error("screen failed"); };
    EXPECT_NO_THROW(TickAt(1500));
    Player->OnVideoProgress = nullptr;
    TickAt(1500);
    EXPECT_EQ(Player->ShownEnglish(), "one");
}

TEST_F(FakePlayerTest, DestroyingReleasesEverythingWhenAStepFails)
{
    Load({{"00:00:01,000", "00:00:02,000", "one"}}, 3000);
    QPointer<TFilterGraph> graph = Graph;
    QPointer<TVideoWindow> window = Player->VideoWindow();
    QPointer<QWidget> panel = Player->VideoPanel();
    QPointer<TPaintBox> box = Player->SubtitleBox();
    Graph->Control->FailStop = true;  // clearing the graph fails
    EXPECT_NO_THROW(Player.reset());
    EXPECT_TRUE(graph.isNull());
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(panel.isNull());
    EXPECT_TRUE(box.isNull());
}

TEST_F(FakePlayerTest, SubtitleBoxShowsTheLinesAndSingsAlong)
{
    Load({{"00:00:01,000", "00:00:03,000", "Sing along with me"}}, 5000);
    Player->Play();
    const auto yellowPixels = [this] {
        const QImage image = Player->SubtitleBox()->grab().toImage();
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                count += c.red() > 200 && c.green() > 200 && c.blue() < 150;  // the sung colour
            }
        return count;
    };
    TickAt(1000);
    const int start = yellowPixels();
    TickAt(2000);
    const int middle = yellowPixels();
    TickAt(3000);
    const int end = yellowPixels();
    EXPECT_EQ(start, 0);
    EXPECT_GT(middle, 0);
    EXPECT_GT(end, middle);
    Player->SetDisEnglish(false);
    EXPECT_EQ(yellowPixels(), 0);
}

// ------------------------------------------------------------ real playback

// Answers every information box with OK and keeps its texts, while it lives.
class TInfoBoxes {
public:
    TInfoBoxes() { Arm(FState, nullptr); }
    ~TInfoBoxes() { FState->Active = false; }
    QStringList Texts() const { return FState->Texts; }

private:
    struct TState {
        QStringList Texts;
        bool Active = true;
    };
    // Watches for the next box; handled is the box answered last, which may
    // still be on its way out.
    static void Arm(const std::shared_ptr<TState>& state, QWidget* handled)
    {
        QPointer<QWidget> last(handled);
        WhenModalShown(
            [state, last](QWidget* modal) {
                if (!state->Active)
                    return;
                auto* form = qobject_cast<TFrmShowInfo*>(modal);
                if (form && form != last) {
                    state->Texts << form->labInfo->text();
                    form->psbOkClick();
                }
                Arm(state, modal);
            },
            60000);
    }
    std::shared_ptr<TState> FState = std::make_shared<TState>();
};

class RealPlayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Player = std::make_unique<TPiboVideoClass>();
        Player->resize(400, 358);
        Player->show();
        Player->OnVideoPlayIndexChange = [this](QObject*, int index) { Indexes << index; };
        Player->OnPlayOver = [this](QObject*) { ++Overs; };
    }
    // The lesson: the three-colour video with one cue inside each colour
    // (a frame at a colour's very first instant may still be the colour before).
    void LoadLesson(const char* video)
    {
        const QString source = File(video);
        const QString media = Dir.filePath(QFileInfo(source).fileName());
        ASSERT_TRUE(QFile::copy(source, media));
        TVideoLrcItems items;
        const char* times[][2] = {{"00:00:00,000", "00:00:00,900"},
                                  {"00:00:01,200", "00:00:01,900"},
                                  {"00:00:02,200", "00:00:02,900"}};
        const char* names[] = {"red", "green", "blue"};
        for (int i = 0; i < 3; ++i) {
            TVideoLrcItem item;
            item.StartTime = times[i][0];
            item.EndTime = times[i][1];
            item.English = names[i];
            item.China = QStringLiteral("颜色");
            items << item;
        }
        ASSERT_TRUE(SaveSrtFile(items, Dir.filePath(QFileInfo(media).completeBaseName() + ".srt")));
        Player->SetFileName(media);
        Player->LoadSrt(media);
    }

    // What the player is at, for a failure's message.
    std::string Where()
    {
        std::int64_t current = -1, stop = -1;
        if (const auto seeking = Player->FilterGraph()->Query<IMediaSeeking>()) {
            seeking->GetCurrentPosition(current);
            seeking->GetStopPosition(stop);
        }
        return QStringLiteral("position %1 of %2, cue %3, state %4, colour %5")
            .arg(current / 10000)
            .arg(stop / 10000)
            .arg(Player->PlayQueueIndex())
            .arg(Player->VideoPlayState())
            .arg(QChar(MiddleColour(Player->VideoWindow()->grab().toImage())))
            .toStdString();
    }

    QTemporaryDir Dir;
    std::unique_ptr<TPiboVideoClass> Player;
    QList<int> Indexes;
    int Overs = 0;
};

TEST_F(RealPlayerTest, PlaysALessonCueByCueToTheEnd)
{
    for (const char* video : {"rgb.avi", "rgb.wmv"}) {
        SCOPED_TRACE(video);
        Indexes.clear();
        Overs = 0;
        LoadLesson(video);
        EXPECT_NEAR(Player->TotalTime(), 3040, 60);
        EXPECT_EQ(Player->VideoWindow()->geometry(), QRect(0, 0, 400, 300));
        QStringList shown;
        Player->OnVideoProgress = [&](QObject*, std::int64_t) {
            if (!Player->ShownEnglish().isEmpty() && (shown.isEmpty() || shown.last() != Player->ShownEnglish()))
                shown << Player->ShownEnglish();
        };
        Player->Play();
        ASSERT_TRUE(WaitFor([&] { return Overs > 0; })) << Where();
        EXPECT_EQ(Indexes, (QList<int>{1, 2}));
        EXPECT_EQ(shown, (QStringList{"red", "green", "blue"}));
        EXPECT_EQ(Player->VideoPlayState(), vpsStop);
        EXPECT_TRUE(Player->IsAtEnd());
        EXPECT_EQ(Player->ShownEnglish(), "");
        Player->OnVideoProgress = nullptr;
    }
}

TEST_F(RealPlayerTest, SelectedCuesPlayAndSeeksShowTheirFrame)
{
    LoadLesson("rgb.asf");
    Player->SetVideoPlayType(vptSelect);
    Player->SetSelected(0, true);
    Player->SetSelected(2, true);
    Player->Play();
    ASSERT_TRUE(WaitFor([&] { return Overs > 0; })) << Where();
    EXPECT_EQ(Indexes, QList<int>{2});

    // A paused seek shows its frame.
    Player->SetVideoPlayType(vptAll);
    Player->Play();
    Player->Pause();
    Player->GotoSentence(1);
    EXPECT_TRUE(WaitFor([&] { return MiddleColour(Player->VideoWindow()->grab().toImage()) == 'g'; })) << Where();
    Player->SetVolume(40);
    EXPECT_EQ(Player->FilterGraph()->Volume(), 4000);
}

TEST_F(RealPlayerTest, UnplayableFilesAreReportedOnceAndThePlayerStaysUsable)
{
    for (const char* name : {"junk.avi", "missing.avi", "audio.avi"}) {
        SCOPED_TRACE(name);
        TInfoBoxes boxes;
        Player->SetFileName(File(name));
        ProcessEvents();
        EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("不支持该影片中部分数据流的格式！")});
    }
    LoadLesson("rgb.avi");
    EXPECT_NEAR(Player->TotalTime(), 3040, 60);
    EXPECT_EQ(Player->Count(), 3);
}

}  // namespace
