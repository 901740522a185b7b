// The sentence player on the test device's virtual clock: queues, playing
// through, selected sentences, every move, the subtitle box, clips.

#include "Mp3Fixtures.h"
#include "TestSupport.h"
#include "UPiboAudioPlay.h"

#include "AnsiText.h"
#include "Forms.h"
#include "SndOscope.h"
#include "SndWavOut.h"
#include "TestAudioDevice.h"
#include "UPlayerShared.h"
#include "UPiboDataPack.h"
#include "UFrmShowInfo.h"
#include "lame.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtGui/QPaintEvent>
#include <QtGui/QScreen>
#include <QtTest/QTest>
#include <QtWidgets/QLabel>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int Rate = 8000;  // 16-bit mono: 16 bytes a millisecond

// Frame i holds the low 16 bits of i + 1 (never 0, so silence shows).
QByteArray PatternPcm(int frames)
{
    QByteArray data(frames * 2, '\0');
    auto* p = reinterpret_cast<unsigned char*>(data.data());
    for (int i = 0; i < frames; ++i) {
        const unsigned v = static_cast<unsigned>(i + 1) & 0xFFFF;
        *p++ = static_cast<unsigned char>(v & 0xFF);
        *p++ = static_cast<unsigned char>(v >> 8);
    }
    return data;
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// A ".plrc" with a sentence at each of the times (texts "S1", "S2", ...).
QByteArray Plrc(const std::vector<int>& startsMs)
{
    QString text;
    for (std::size_t i = 0; i < startsMs.size(); ++i)
        text += MSecToLrcTime(startsMs[i]) + QStringLiteral("\r\nS%1 English\r\n第%1句\r\n").arg(i + 1);
    return StringToAnsi(text);
}

class AudioPlay : public ::testing::Test {
protected:
    void SetUp() override { SetAudioSystem(&System); }
    void TearDown() override
    {
        Player.reset();
        SetAudioSystem(nullptr);
    }

    // Opens a lesson of ms milliseconds with sentences at starts.
    void Open(int ms, const std::vector<int>& starts, int rate = Rate)
    {
        Pcm = PatternPcm(ms * rate / 1000);
        const QString wav = Folder.File(QStringLiteral("temp/lesson.wav"));
        Mp3Fixtures::WriteWave(wav, 1, rate, 16, Pcm, false);
        WriteFile(Folder.File(QStringLiteral("temp/lesson.plrc")), Plrc(starts));
        Player = std::make_unique<TPiboAudioPlay>();
        Player->resize(400, 200);
        Player->OnPlayIndexChange = [this](QObject*, int q) { Changes.push_back({q, PlayedMs()}); };
        Player->OnPlayOver = [this](QObject*) { ++Overs; };
        Player->OnPlayProgress = [this](QObject*, int t) { LastProgress = t; };
        Player->SetFileName(wav);
        ASSERT_TRUE(Player->FileOpen());
        Player->LoadLrc(wav);
        Changes.clear();
    }

    // Gives the open lesson two sentences, 0-3 s with the English line
    // english and 3 s to the end, and shows the player.
    void ShowTwoSentences(const QString& english)
    {
        WriteFile(Folder.File(QStringLiteral("temp/lesson.plrc")),
                  StringToAnsi(MSecToLrcTime(0) + QStringLiteral("\r\n") + english + QStringLiteral("\r\n第1句\r\n")
                               + MSecToLrcTime(3000) + QStringLiteral("\r\nS2 English\r\n第2句\r\n")));
        Player->LoadLrc(Player->FileName());
        Player->show();
    }

    int PlayedMs() const
    {
        const TAudioFormat f = System.LastFormat();
        return static_cast<int>(System.Played(0).size() / f.BlockAlign() * 1000 / f.SampleRate);
    }
    std::vector<int> Indexes() const
    {
        std::vector<int> v;
        for (const auto& c : Changes)
            v.push_back(c.first);
        return v;
    }
    QByteArray Frames(int fromMs, int toMs) const { return Pcm.mid(fromMs * 16, (toMs - fromMs) * 16); }

    // Runs the virtual clock ms milliseconds, handling the device's buffers
    // and a timer tick after each step.
    void Run(int ms, int step = 5)
    {
        for (int t = 0; t < ms; t += step) {
            System.AdvanceMs(std::min(step, ms - t));
            QCoreApplication::sendPostedEvents();
            Player->TimerTick();
        }
    }
    // Runs until the player stops (at most limitMs).
    void RunToStop(int limitMs, int step = 5)
    {
        for (int t = 0; t < limitMs && (Player->WaveOut()->State() & dsStarted); t += step)
            Run(step, step);
        Player->TimerTick();
    }

    TTestProgramFolder Folder;
    TTestAudioSystem System{1};
    std::unique_ptr<TPiboAudioPlay> Player;
    QByteArray Pcm;
    std::vector<std::pair<int, int>> Changes;  // queue index, ms played when it changed
    int Overs = 0;
    int LastProgress = -1;
};

// Pixels of the sung colour in the English line's rows of the box.
int YellowPixels(QWidget* box)
{
    const QImage image = box->grab().toImage();
    int n = 0;
    for (int y = 0; y < 22 && y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            n += qRed(c) > 160 && qGreen(c) > 160 && qBlue(c) < 140;
        }
    return n;
}
// Counts the events of one type a widget receives while it lives.
class TEventCounter : public QObject {
public:
    TEventCounter(QObject* target, QEvent::Type type, int& count) : FType(type), FCount(count)
    {
        target->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == FType)
            ++FCount;
        return false;
    }

private:
    QEvent::Type FType;
    int& FCount;
};

int BluePixels(QWidget* box)
{
    const QImage image = box->grab().toImage();
    int n = 0;
    for (int y = 0; y < 22 && y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            n += qBlue(c) > 160 && qRed(c) < 100;
        }
    return n;
}

TEST_F(AudioPlay, QueuesInThreeOrders)
{
    Open(4000, {0, 1000, 2000, 3000});
    EXPECT_EQ(Player->Count(), 4);
    EXPECT_EQ(Player->PlayQueue(), (TIntAry{0, 1, 2, 3}));
    EXPECT_EQ(Player->AudioLrcItems()[3].EndTime, QStringLiteral("00:04.00"));
    EXPECT_EQ(Player->AudioLrcItems()[1].EndTime, QStringLiteral("00:02.00"));
    Player->SetPlayOrderType(potReversed);
    EXPECT_EQ(Player->PlayQueue(), (TIntAry{3, 2, 1, 0}));
    EXPECT_EQ(Indexes(), std::vector<int>{0});
    Player->SetPlayQueueIndex(1);  // entry 1 is item 2
    EXPECT_EQ(Player->PlayQueue()[Player->PlayQueueIndex()], 2);
    Player->SetPlayOrderType(potRandom);
    TIntAry sorted = Player->PlayQueue();
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (TIntAry{0, 1, 2, 3}));
    EXPECT_EQ(Player->PlayQueueIndex(), 0);

    // No subtitle: one sentence over the whole file.
    Player->LoadLrc(QString(), true);
    ASSERT_EQ(Player->Count(), 1);
    EXPECT_EQ(Player->AudioLrcItems()[0].StartTime, QStringLiteral("00:00.00"));
    EXPECT_EQ(Player->AudioLrcItems()[0].EndTime, QStringLiteral("00:04.00"));
}

TEST_F(AudioPlay, PlayAllHandsEveryByteOnceAndEndsOnce)
{
    Open(4000, {0, 1000, 2000, 3000});
    Player->Play();
    RunToStop(6000);
    EXPECT_EQ(System.Played(0), Pcm);  // no gap, no repeat
    EXPECT_EQ(Indexes(), (std::vector<int>{0, 1, 2, 3}));
    for (std::size_t k = 1; k < Changes.size(); ++k) {
        EXPECT_GE(Changes[k].second, static_cast<int>(k) * 1000) << k;
        EXPECT_LE(Changes[k].second, static_cast<int>(k) * 1000 + 30) << k;
    }
    EXPECT_EQ(Overs, 1);
    EXPECT_EQ(LastProgress, 4000);
    EXPECT_FALSE(Player->WaveOut()->State() & dsStarted);
    Run(100);
    EXPECT_EQ(Overs, 1);
}

TEST_F(AudioPlay, ReversedOrderSeeksBetweenSentences)
{
    Open(3000, {0, 1000, 2000});
    Player->SetPlayOrderType(potReversed);
    Changes.clear();
    Player->Play();
    RunToStop(6000);
    EXPECT_EQ(Indexes(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(Overs, 1);
    const QByteArray played = System.Played(0);
    // Each sentence from its start; the last played (item 0) ends at its end.
    EXPECT_EQ(played.left(1000 * 16), Frames(2000, 3000));
    EXPECT_TRUE(played.contains(Frames(1000, 2000)));
    EXPECT_TRUE(played.contains(Frames(0, 1000)));
    EXPECT_LE(played.size(), 3100 * 16);
}

TEST_F(AudioPlay, SelectedSentencesWithAndWithoutLoop)
{
    for (bool loop : {false, true}) {
        SCOPED_TRACE(loop);
        System.ClearPlayed();
        Overs = 0;
        Open(5000, {0, 1000, 2000, 3000, 4000});
        Player->SetPlayType(ptSelect);
        Player->SetLoopPlay(loop);
        Player->SetSelected(1, true);
        Player->SetSelected(4, true);
        Player->SetPlayQueueIndex(Player->NextSelected(0));
        Player->Play();
        if (!loop) {
            RunToStop(8000);
            EXPECT_EQ(Indexes(), (std::vector<int>{1, 4}));
            EXPECT_EQ(Overs, 1);
            const QByteArray played = System.Played(0);
            EXPECT_EQ(played.left(1000 * 16), Frames(1000, 2000));
            EXPECT_TRUE(played.endsWith(Frames(4000, 5000)));
            EXPECT_LE(played.size(), 2060 * 16);
        } else {
            Run(2500);
            EXPECT_EQ(Indexes(), (std::vector<int>{1, 4, 1}));
            EXPECT_EQ(Overs, 0);
            EXPECT_TRUE(Player->IsPlaying());
            Player->Stop();
        }
        Player.reset();
    }
}

TEST_F(AudioPlay, LastSentenceEndsAtTheTotalTime)
{
    Open(65430, {0, 30000, 62000});
    EXPECT_EQ(Player->TotalTime(), 65430);
    std::vector<int> progress;
    Player->OnPlayProgress = [&](QObject*, int t) { progress.push_back(t); };
    Player->GotoSentence(2);
    Player->Play();
    RunToStop(5000, 20);
    EXPECT_EQ(Overs, 1);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(MSecToLrcTime(progress.back()), QStringLiteral("01:05.43"));
    EXPECT_EQ(System.Played(0), Frames(62000, 65430));
}

TEST_F(AudioPlay, PlayWhilePausedRestartsTheSentence)
{
    Open(4000, {0, 1000, 2000, 3000});
    Player->GotoSentence(1);
    Player->Play();
    Run(400);
    Player->Pause();
    EXPECT_TRUE(Player->IsPaused());
    Player->TimerTick();
    EXPECT_NEAR(Player->PlayTime(), 1400, 5);
    Run(200);  // paused: nothing plays
    EXPECT_NEAR(PlayedMs(), 400, 5);
    System.ClearPlayed();
    Player->Play();
    EXPECT_TRUE(Player->IsPlaying());
    Run(100);
    EXPECT_EQ(System.Played(0).left(100 * 16), Frames(1000, 1100));
    // Resume continues where it paused.
    Player->Pause();
    System.ClearPlayed();
    Player->Resume();
    Run(50);
    EXPECT_EQ(System.Played(0).left(50 * 16), Frames(1100, 1150));
    Player->Stop();
}

TEST_F(AudioPlay, MovesKeepAValidEntry)
{
    Open(5000, {1000, 2000, 3000, 4000});  // nothing before 1 s
    // Stopped: GotoSentence reports the entry and its start, without moving.
    Player->GotoSentence(2);
    EXPECT_EQ(Indexes(), std::vector<int>{2});
    EXPECT_EQ(LastProgress, 3000);
    Player->GotoSentence(-1);
    Player->GotoSentence(4);
    Player->GotoTime(-1, 500);
    EXPECT_EQ(Player->PlayQueueIndex(), 2);

    Player->Play();
    Run(200);
    // Skip before the first sentence: the first entry, paused.
    Player->Skip(-10000);
    EXPECT_EQ(Player->PlayQueueIndex(), 0);
    EXPECT_TRUE(Player->IsPaused());
    Player->Resume();
    Player->GotoTime(0, 300);  // inside no sentence
    Player->Skip(100);
    Player->TimerTick();
    EXPECT_EQ(Player->PlayQueueIndex(), 0);
    // Skip 2 s before the end past it: paused on the last entry.
    Player->GotoSentence(2);
    Player->Skip(5000);
    EXPECT_TRUE(Player->IsPaused());
    EXPECT_EQ(Player->PlayQueueIndex(), 3);

    // ptSelect with nothing selected: the first and last selected are none.
    Player->SetPlayType(ptSelect);
    EXPECT_EQ(Player->NextSelected(0), -1);
    EXPECT_EQ(Player->PrevSelected(3), -1);
    Player->GotoFirst();
    Player->GotoLast();
    EXPECT_EQ(Player->PlayQueueIndex(), 3);
    Player->SetPlayType(ptAll);
    Player->GotoFirst();
    EXPECT_EQ(Player->PlayQueueIndex(), 0);
    EXPECT_EQ(Player->IndexOfTime(2500), 1);
    EXPECT_EQ(Player->IndexOfTime(500), -1);
    Player->Stop();
}

TEST_F(AudioPlay, SelectedPlayWithNothingSelectedEnds)
{
    Open(2000, {0, 1000});
    Player->SetPlayType(ptSelect);
    Player->SetLoopPlay(true);
    Player->Play();
    RunToStop(3000);
    EXPECT_EQ(Overs, 1);
}

TEST_F(AudioPlay, SubtitleBoxSingsFromHalfASecond)
{
    Open(4000, {0, 3000});
    Player->show();
    QWidget* box = Player->SubtitleBox();
    EXPECT_EQ(box->height(), 58);
    EXPECT_EQ(box->y(), Player->height() - 58);
    Player->Play();
    Run(450);
    Player->Pause();
    Player->TimerTick();
    EXPECT_EQ(YellowPixels(box), 0);
    EXPECT_GT(BluePixels(box), 50);
    Player->Resume();
    Run(2550);  // exactly at the end of the 3 s sentence
    Player->Pause();
    Player->TimerTick();
    EXPECT_EQ(Player->PlayQueueIndex(), 0);
    EXPECT_GT(YellowPixels(box), 50);
    EXPECT_EQ(BluePixels(box), 0);
    Player->SetDisEnglish(false);
    EXPECT_EQ(YellowPixels(box), 0);
    Player->Stop();
}

TEST_F(AudioPlay, SubtitleBoxRepaintsOnlyWhenTheSungEdgeMovesInIt)
{
    // A first sentence (0-3 s) whose English line is many times as wide as
    // the box: its sung edge crosses the box in a fraction of the sentence.
    Open(4000, {0, 3000});
    QString english;
    while (english.size() < 2000)
        english += QStringLiteral("Sing along with me, ");
    ShowTwoSentences(english);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Player.get()));
    QWidget* box = Player->SubtitleBox();
    TSubtitleBoxPainter measure;
    const int width = measure.EnglishWidth(english);
    ASSERT_GT(width, 20 * box->width());
    int paints = 0;
    TEventCounter counter(box, QEvent::Paint, paints);
    Player->Play();
    Run(2950, 1);  // a tick every millisecond, as the timer gives them
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(Player->PlayQueueIndex(), 0);
    // The line is sung from 0.5 s to 3 s: its edge moves several pixels a
    // tick and is inside the box for only so many ticks. The box repaints
    // only on those (and a few times as the sentence starts), not on all
    // ticks.
    const double crossingTicks = box->width() * 2500.0 / width;
    EXPECT_GE(paints, crossingTicks / 2);
    EXPECT_LE(paints, crossingTicks + 6);
    EXPECT_GT(YellowPixels(box), 50);
    EXPECT_EQ(BluePixels(box), 0);
    Player->Stop();
}

// Notes the part of a widget each of its paints covers.
class TPaintRects : public QObject {
public:
    explicit TPaintRects(QObject* target) { target->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            Rects.push_back(static_cast<QPaintEvent*>(event)->rect());
        return false;
    }
    std::vector<QRect> Rects;
};

TEST_F(AudioPlay, SubtitleBoxRepaintsOnlyTheColumnsTheSungEdgeCrosses)
{
    // A line a few hundred pixels wide, sung from 0.5 s to 3 s: its edge
    // moves a pixel every dozen ticks or so.
    Open(4000, {0, 3000});
    const QString english = QStringLiteral("Sing along with me, every word of this line in its time");
    ShowTwoSentences(english);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Player.get()));
    QWidget* box = Player->SubtitleBox();
    const QPoint at = box->mapTo(Player.get(), QPoint(0, 0));
    // What the screen shows of the box, and the box painted whole now: the
    // same pixels once the repaints asked for are done.
    const auto shown = [&] {
        QCoreApplication::sendPostedEvents();
        return QGuiApplication::primaryScreen()
            ->grabWindow(Player->winId(), at.x(), at.y(), box->width(), box->height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    };
    const auto whole = [&] { return box->grab().toImage().convertToFormat(QImage::Format_RGB32); };
    Player->Play();
    Run(700, 1);
    QCoreApplication::sendPostedEvents();
    TPaintRects paints(box);
    Run(1300, 1);  // the edge moves on over some hundred pixels
    QCoreApplication::sendPostedEvents();
    ASSERT_GT(paints.Rects.size(), 40u);
    for (const QRect& r : paints.Rects) {
        EXPECT_LE(r.width(), 2) << r.x();
        EXPECT_LE(r.height(), 22) << r.x();
    }
    Player->Pause();
    Player->TimerTick();
    EXPECT_GT(YellowPixels(box), 50);
    EXPECT_GT(BluePixels(box), 50);
    EXPECT_EQ(shown(), whole());

    // Back to the sentence's start (the sung part goes at once), on again,
    // on by a skip and into the next sentence: the screen keeps showing what
    // a whole paint would.
    Player->Resume();
    Player->SeekSentenceStart();
    Run(400, 1);
    Player->Pause();
    Player->TimerTick();
    EXPECT_EQ(YellowPixels(box), 0);  // nothing sung yet
    EXPECT_EQ(shown(), whole());
    Player->Resume();
    Player->Skip(2000);
    Run(100, 1);
    Player->Pause();
    Player->TimerTick();
    EXPECT_EQ(shown(), whole());
    Player->Resume();
    Run(800, 1);
    Player->Pause();
    Player->TimerTick();
    EXPECT_EQ(Player->PlayQueueIndex(), 1);
    EXPECT_EQ(shown(), whole());
    Player->Stop();
}

TEST_F(AudioPlay, ShortSentencesHaveAFiniteProgress)
{
    Open(2000, {0, 300, 600, 1000});
    Player->GotoSentence(1);
    Player->Play();
    Run(150);
    Player->Pause();
    const double p = Player->SentenceProgress(500, 0);
    EXPECT_TRUE(std::isfinite(p));
    EXPECT_NEAR(p, 0.5, 0.05);
    Player->Stop();
}

TEST_F(AudioPlay, VolumeGoesToTheDevice)
{
    Open(1000, {0});
    Player->SetVolume(50);
    TAudioVolume v;
    ASSERT_EQ(System.GetOutputVolume(0, v), aeOk);
    EXPECT_EQ(v.Left, 50 * 655);
    EXPECT_EQ(v.Right, 50 * 655);
    Player->SetVolume(250);
    EXPECT_EQ(Player->Volume(), 100);
}

TEST_F(AudioPlay, UnreadableFileSaysSo)
{
    const QString bad = Folder.File(QStringLiteral("temp/bad.wav"));
    WriteFile(bad, "RIFF....WAVEjunk");
    TPiboAudioPlay player;
    QString shown;
    WhenModalShown([&](QWidget* modal) {
        if (auto* info = qobject_cast<TFrmShowInfo*>(modal)) {
            shown = info->labInfo->text();
            info->psbOkClick();
        }
    });
    player.SetFileName(bad);
    EXPECT_EQ(shown, QStringLiteral("载入音频失败！"));
    EXPECT_FALSE(player.FileOpen());
    player.Play();  // nothing to play, nothing happens
    EXPECT_FALSE(player.WaveOut()->State() & dsStarted);
}

TEST_F(AudioPlay, SentenceClips)
{
    Open(3000, {0, 1200, 2000}, 44100);
    const QString out = Folder.File(QStringLiteral("clips/"));
    QDir().mkpath(out);
    ASSERT_TRUE(Player->SaveSentenceMp3(1, out));
    const QString clip = out + QStringLiteral("lesson_1.mp3");
    ASSERT_TRUE(QFileInfo::exists(clip));
    // The clip runs from the sentence's start to the next one's (0.8 s).
    const int rate = Mp3Fixtures::Probe(clip, QStringLiteral("stream=sample_rate")).toInt();
    ASSERT_GT(rate, 0);
    const double seconds = Mp3Fixtures::FfmpegPcm(clip).size() / 2.0 / rate;
    EXPECT_NEAR(seconds, 0.8, 0.06) << Mp3Fixtures::Probe(clip, QStringLiteral("format=duration")).toStdString();
    EXPECT_FALSE(QFileInfo::exists(Folder.File(QStringLiteral("temp/PiboTempSave.wav"))));
    EXPECT_FALSE(QFileInfo::exists(Folder.File(QStringLiteral("temp/PiboTempTransfer.wav"))));

    EXPECT_FALSE(Player->SaveSentenceMp3(Player->Count(), out));
    EXPECT_FALSE(QFileInfo::exists(out + QStringLiteral("lesson_3.mp3")));
    EXPECT_FALSE(Player->SaveSentenceMp3(-1, out));

    ASSERT_TRUE(Player->SaveSentenceLrc(1, out + QStringLiteral("lesson_1.lrc")));
    QFile lrc(out + QStringLiteral("lesson_1.lrc"));
    ASSERT_TRUE(lrc.open(QIODevice::ReadOnly));
    EXPECT_EQ(lrc.readAll(), QByteArray("[00:01.20]S2 English"));

    // A cut is the sample range, byte for byte.
    const QString cut = out + QStringLiteral("cut.wav");
    ASSERT_TRUE(Player->CutWave(44100, 88200, cut, Player->FileName()));
    EXPECT_EQ(Mp3Fixtures::ReadWave(cut).Data, Pcm.mid(44100 * 2, 44100 * 2));
    EXPECT_FALSE(Player->CutWave(100, 50, cut + "x", Player->FileName()));
}

TEST_F(AudioPlay, SampleLessonPlaysThrough)
{
    QString wav;
    ASSERT_TRUE(OpenPackage(QStringLiteral(PIBO_SAMPLE_AUDIO_LESSON), wav));
    TAudioLrcItems items;
    ASSERT_TRUE(LoadLrcFile(items, wav));
    ASSERT_EQ(items.size(), 5);
    Player = std::make_unique<TPiboAudioPlay>();
    Player->OnPlayIndexChange = [this](QObject*, int q) { Changes.push_back({q, PlayedMs()}); };
    Player->OnPlayOver = [this](QObject*) { ++Overs; };
    Player->SetFileName(wav);
    ASSERT_TRUE(Player->FileOpen());
    EXPECT_GT(Player->TotalTime(), 15000);
    EXPECT_LT(Player->TotalTime(), 25000);
    Player->LoadLrc(wav);
    ASSERT_EQ(Player->Count(), 5);
    Changes.clear();
    Player->Play();
    RunToStop(30000);
    EXPECT_EQ(Indexes(), (std::vector<int>{0, 1, 2, 3, 4}));
    for (std::size_t k = 1; k < Changes.size(); ++k) {
        const int at = LrcTimeToMSec(items[static_cast<int>(k)].StartTime);
        EXPECT_GE(Changes[k].second, at) << k;
        EXPECT_LE(Changes[k].second, at + 30) << k;
    }
    EXPECT_EQ(Overs, 1);
    EXPECT_EQ(PlayedMs(), Player->TotalTime());
}

TEST_F(AudioPlay, DeviceFailuresStayInsideThePlayer)
{
    Open(3000, {0, 1000, 2000});
    Player->Play();
    Run(100);
    System.SetFault(TTestAudioCall::Pause, aeError);
    System.SetFault(TTestAudioCall::Reset, aeError);
    EXPECT_NO_THROW(Player->Skip(500));
    EXPECT_NO_THROW(Player->GotoTime(1, 1500));
    EXPECT_NO_THROW(Player->GotoLast());
    EXPECT_NO_THROW(Player->Pause());
    EXPECT_NO_THROW(Player->Play());
    EXPECT_NO_THROW(Run(50));
    System.ClearFaults();
    // The device closed itself; playing again opens it anew.
    Player->Stop();
    System.ClearPlayed();
    Player->GotoSentence(2);
    Player->Play();
    Run(100);
    EXPECT_EQ(System.Played(0).left(100 * 16), Frames(2000, 2100));
    Player->Stop();
}

TEST_F(AudioPlay, ClipWithoutEncoderFailsCleanly)
{
    Open(2000, {0, 1000});
    const QString out = Folder.File(QStringLiteral("clips/"));
    QDir().mkpath(out);
    const QString old = LameLibraryName();
    SetLameLibraryName(QStringLiteral("libmp3lame-not-installed.so.0"));
    const bool saved = Player->SaveSentenceMp3(0, out);
    SetLameLibraryName(old);
    EXPECT_FALSE(saved);
    EXPECT_FALSE(QFileInfo::exists(out + QStringLiteral("lesson_0.mp3")));
    EXPECT_FALSE(QFileInfo::exists(Folder.File(QStringLiteral("temp/PiboTempSave.wav"))));
    EXPECT_FALSE(QFileInfo::exists(Folder.File(QStringLiteral("temp/PiboTempTransfer.wav"))));
    // The same player encodes once the library is there.
    EXPECT_TRUE(Player->SaveSentenceMp3(0, out));
    EXPECT_TRUE(QFileInfo::exists(out + QStringLiteral("lesson_0.mp3")));
}

// ------------------------------------------------------------ waveform

TEST_F(AudioPlay, WaveformShowsTheFileTheSentenceAndThePosition)
{
    Open(4000, {0, 2000});
    Player->SetHasOscope(true);
    Player->show();
    Player->RefreshOscope();
    TSndOscope* scope = Player->Oscope();
    ASSERT_NE(scope, nullptr);
    const int width = scope->PlotRect().width();
    ASSERT_GT(width, 100);
    EXPECT_EQ(scope->height(), Player->height() - 58);
    // One frame of every step for a column: frame k * step holds k * step + 1.
    const int step = RoundHalfEven(4000.0 * Rate / 1000 / width + 0.5);  // halves to even
    EXPECT_EQ(scope->Data()[10], static_cast<std::int16_t>(10 * step + 1));
    EXPECT_EQ(scope->Data()[width - 1], static_cast<std::int16_t>((width - 1) * step + 1));
    // The current sentence (the first half) is marked.
    EXPECT_EQ(scope->MarkFirst(), 0);
    EXPECT_NEAR(scope->MarkLast(), width / 2, 1);

    Player->Play();
    Run(1000);
    EXPECT_NEAR(Player->LastMarkerPos(), width / 4, 2);
    QCoreApplication::processEvents();
    const QImage image = scope->grab().toImage();
    const int x = scope->PlotRect().left() + Player->LastMarkerPos();
    // The not-xor navy line over the black background: ~(navy ^ black).
    const QRgb line = qRgb(255, 255, 127);
    int onLine = 0, beside = 0;
    for (int y = 0; y < image.height(); ++y) {
        onLine += image.pixel(x, y) == line;
        beside += image.pixel(x + 6, y) == line;
    }
    EXPECT_GT(onLine, image.height() / 2);
    EXPECT_EQ(beside, 0);

    // Moving on marks the next sentence.
    Run(1100);
    EXPECT_EQ(Player->PlayQueueIndex(), 1);
    EXPECT_NEAR(scope->MarkFirst(), width / 2, 1);
    EXPECT_EQ(scope->MarkLast(), width);
    Player->Stop();
    Player->TimerTick();
    EXPECT_EQ(Player->LastMarkerPos(), -10);
}

TEST_F(AudioPlay, EightBitWaveformEndsFlat)
{
    // 200 frames of a loud 8-bit square wave: far fewer than the columns.
    QByteArray pcm(200, '\0');
    for (int i = 0; i < pcm.size(); ++i)
        pcm[i] = static_cast<char>(i % 2 ? 250 : 5);
    const QString wav = Folder.File(QStringLiteral("temp/eight.wav"));
    Mp3Fixtures::WriteWave(wav, 1, 8000, 8, pcm, false);
    TPiboAudioPlay player;
    player.resize(600, 200);
    player.SetHasOscope(true);
    player.show();
    player.SetFileName(wav);
    ASSERT_TRUE(player.FileOpen());
    TSndOscope* scope = player.Oscope();
    const int width = scope->PlotRect().width();
    ASSERT_GT(width, 250);
    const std::int16_t* data = scope->Data();
    EXPECT_NE(data[0], 0);
    for (int c = 210; c < width; ++c)
        ASSERT_EQ(data[c], 0) << "column " << c;  // the middle line
}

TEST_F(AudioPlay, WaveformOfNothingAndClicks)
{
    // An empty WAV and a waveform without room: nothing to show, no fault.
    const QString empty = Folder.File(QStringLiteral("temp/empty.wav"));
    Mp3Fixtures::WriteWave(empty, 2, 44100, 16, QByteArray(), false);
    {
        TPiboAudioPlay player;
        player.resize(0, 0);
        player.SetHasOscope(true);
        player.SetFileName(empty);
        player.LoadLrc(empty);
        player.RefreshOscope();
        player.resize(300, 40);
        player.RefreshOscope();
        EXPECT_EQ(player.SentenceProgress(500, 0), 0);
    }

    Open(4000, {0, 2000});
    Player->SetHasOscope(true);
    Player->show();
    Player->GotoSentence(1);
    Player->Play();
    Run(100);
    // Clicks seek only when the screen allows it.
    Player->Oscope()->OnMouseDown(TMouseButton::Left, Qt::NoModifier, -20, 10);
    Player->TimerTick();
    EXPECT_NEAR(Player->PlayTime(), 2100, 10);
    Player->SetDownEnabled(true);
    Player->Pause();
    // Left of the range start: from the range start, playing again; the
    // current sentence stays until the position reaches it.
    Player->Oscope()->OnMouseDown(TMouseButton::Left, Qt::NoModifier, -20, 10);
    EXPECT_TRUE(Player->IsPlaying());
    System.ClearPlayed();
    Run(50);
    EXPECT_EQ(System.Played(0).left(50 * 16), Frames(0, 50));
    EXPECT_EQ(Player->PlayQueueIndex(), 1);
    Player->Stop();
}

}  // namespace
