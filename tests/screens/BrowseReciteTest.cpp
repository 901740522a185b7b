// The browse-and-recite screens: start state, hot keys, playing only what is
// checked, the order menu with the sentence bank, the range loop, the seek
// bar while stopped, the exports, and the video twin's two play modes.

#include "ScreensTestSupport.h"

#include "AnsiText.h"
#include "UDataInterface.h"
#include "UDataOperaterFun.h"
#include "UFrmBrowseRecite.h"
#include "UFrmVideoBrowseRecite.h"
#include "UPiboAudioPlay.h"
#include "UPiboComponent.h"
#include "UPiboDataPack.h"
#include "UPiboStringGrid.h"
#include "UPiboVideoClass.h"
#include "DSGraph.h"
#include "VideoFixtures.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QMetaObject>
#include <QtSql/QSqlQuery>
#include <QtGui/QAction>
#include <QtTest/QTest>
#include <QtWidgets/QLabel>
#include <QtWidgets/QToolButton>

#include <gtest/gtest.h>

#include <memory>

namespace {

class BrowseRecite : public TScreenTest {
protected:
    void SetUp() override
    {
        TScreenTest::SetUp();
        // The folder picker starts at home.
        SavedHome = qEnvironmentVariable("HOME");
        qputenv("HOME", Env.File(QString()).toUtf8());
    }
    void TearDown() override
    {
        TScreenTest::TearDown();
        qputenv("HOME", SavedHome.toUtf8());
    }
    void FreeScreen() override { Screen.reset(); }

    // Shows the screen on a lesson of the given sentence lengths.
    void Open(const std::vector<int>& lengthsMs)
    {
        Wav = Env.File(QStringLiteral("temp/lesson.wav"));
        WriteToneLesson(Wav, lengthsMs);
        Screen = std::make_unique<TFrmBrowseRecite>();
        Screen->SetMediaFile(Wav);
        Screen->resize(900, 600);
        Screen->show();
        ProcessEvents();
        ASSERT_NE(Screen->AudioPlayer(), nullptr);
        ASSERT_TRUE(Screen->AudioPlayer()->FileOpen());
        Clock = std::make_unique<TAudioClock>(System, Screen->AudioPlayer());
    }
    TPiboAudioPlay* Player() const { return Screen->AudioPlayer(); }
    TStudyTransport* Bar() const { return Screen->Transport(); }
    bool Playing() const { return Player()->IsPlaying(); }

    std::unique_ptr<TFrmBrowseRecite> Screen;
    std::unique_ptr<TAudioClock> Clock;
    QString Wav;
    QString SavedHome;
};

TEST(StudyScreenTable, TheFourScreensAreCreatedByTheirFormNames)
{
    RegisterStudyScreens();
    for (const char* name : {"FrmBrowseRecite", "FrmVideoBrowseRecite", "FrmStudySpeak", "FrmVStudySpeak"}) {
        SCOPED_TRACE(name);
        std::unique_ptr<TForm> form(CreateRegisteredForm(QString::fromLatin1(name), nullptr));
        EXPECT_NE(AsStudyScreen(form.get()), nullptr);
        EXPECT_EQ(form->objectName(), QString::fromLatin1(name));
    }
}

TEST_F(BrowseRecite, StartsWithEveryRowCheckedPlayingOnlySelectedAtFontNine)
{
    Open({1000, 1000, 1000});
    const TPiboStringGrid* grid = Screen->Grid;
    ASSERT_EQ(grid->RowCount(), 3);
    for (int r = 0; r < 3; ++r) {
        EXPECT_TRUE(grid->GetRowChecked(r)) << r;
        EXPECT_TRUE(Player()->AudioLrcItems()[r].Selected) << r;
        EXPECT_EQ(grid->GetCells(0, r), QString::number(r + 1));
        EXPECT_EQ(grid->GetCells(1, r), QStringLiteral("Sentence %1").arg(r + 1));
        EXPECT_EQ(grid->GetCells(2, r), QStringLiteral("第%1句").arg(r + 1));
    }
    EXPECT_TRUE(Screen->pcbSelect->Checked());
    EXPECT_TRUE(Screen->ppcbAll->Checked());
    EXPECT_EQ(Player()->PlayType(), ptSelect);
    EXPECT_EQ(grid->Font().Size, 9);
    EXPECT_TRUE(Screen->miFontSize[2]->isChecked());
    EXPECT_FALSE(Bar()->psbPlay->isHidden());
    EXPECT_TRUE(Bar()->psbPause->isHidden());
    EXPECT_FALSE(Bar()->psbStop->isEnabled());
    EXPECT_FALSE(Bar()->psbAgain->isEnabled());
    EXPECT_TRUE(Bar()->psbRestart->isEnabled());
    EXPECT_EQ(Bar()->piboProgress->Max(), Player()->TotalTime());
    EXPECT_FALSE(SystemPara.IsPlaying);
    EXPECT_EQ(Screen->panContain->height(), 151);
    // The column titles share the text width: the grid's width less the
    // number and button columns.
    EXPECT_EQ(grid->ColWidths(1) + grid->ColWidths(2), grid->width() - 60 - 40);
}

TEST_F(BrowseRecite, HotKeys)
{
    Open({1000, 1000, 1000, 1000});
    struct Case {
        const char* name;
        qint32 id;
        int startIndex;
        int expectedIndex;
        bool expectPlaying;
    } cases[] = {
        {"F5 ignored", SystemPara.HotKeyF5, 1, 1, false},
        {"F7 ignored", SystemPara.HotKeyF7, 1, 1, false},
        {"Alt+Z on the first goes to the last", SystemPara.HotKeyAltZ, 0, 3, false},
        {"Alt+Z steps back", SystemPara.HotKeyAltZ, 2, 1, false},
        {"Alt+X on the last goes to the first", SystemPara.HotKeyAltX, 3, 0, false},
        {"Alt+X steps on", SystemPara.HotKeyAltX, 1, 2, false},
        {"F9 the current sentence again", SystemPara.HotKeyF9, 2, 2, false},
        {"F8 plays", SystemPara.HotKeyF8, 1, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Player()->Stop();
        Player()->GotoSentence(c.startIndex);
        ASSERT_EQ(Player()->PlayQueueIndex(), c.startIndex);
        Screen->HandleHotKey(c.id);
        EXPECT_EQ(Player()->PlayQueueIndex(), c.expectedIndex);
        EXPECT_EQ(Playing(), c.expectPlaying);
    }
    // F8 while playing pauses, and again resumes.
    Screen->HandleHotKey(SystemPara.HotKeyF8);
    EXPECT_TRUE(Player()->IsPaused());
    EXPECT_EQ(Bar()->psbPause->PiboSpeedButtonType(), psbtPlay);
    EXPECT_FALSE(SystemPara.IsPlaying);
    Screen->HandleHotKey(SystemPara.HotKeyF8);
    EXPECT_TRUE(Playing());
    EXPECT_TRUE(SystemPara.IsPlaying);
    EXPECT_EQ(Bar()->psbPause->PiboSpeedButtonType(), psbtPause);
    Player()->Stop();
}

TEST_F(BrowseRecite, PlayWithNothingCheckedRefusesAndPlaysNothing)
{
    Open({1000, 1000, 1000});
    Screen->ppcbAll->SetChecked(false);
    Screen->ppcbAllClick();
    Bar()->psbPlayClick();
    Bar()->psbRestartClick();
    EXPECT_EQ(Dialogs.Infos, (QStringList{QStringLiteral("请选择要播放的项！"), QStringLiteral("请选择要播放的项！")}));
    EXPECT_FALSE(DeviceStarted(Player()));
    EXPECT_EQ(System.Played(0).size(), 0);

    // Only the checked rows play: row 1 alone.
    Screen->Grid->SetRowChecked(1, true);
    Screen->GridCheckBoxClick(1);
    Player()->GotoSentence(0);
    Bar()->psbPlayClick();
    EXPECT_EQ(Player()->PlayQueueIndex(), 1);
    EXPECT_TRUE(Bar()->psbPlay->isHidden());
    EXPECT_FALSE(Screen->pcbSelect->isEnabled());
    Clock->RunToStop(5000);
    // About 1 s of 8 kHz 16-bit mono (the clock runs in 20 ms steps), and the
    // bar back to the first selected row.
    EXPECT_NEAR(System.Played(0).size(), 16000, 16 * 40);
    EXPECT_FALSE(Bar()->psbPlay->isHidden());
    EXPECT_EQ(Player()->PlayQueueIndex(), 1);
}

TEST_F(BrowseRecite, ReversedOrderShowsTheLastSentenceFirstAndBanksIt)
{
    Open({500, 500, 500, 500, 3000});
    Screen->N2Click();
    const TPiboStringGrid* grid = Screen->Grid;
    EXPECT_EQ(grid->GetCells(0, 0), QStringLiteral("5"));
    EXPECT_EQ(grid->GetCells(0, 4), QStringLiteral("1"));
    EXPECT_FALSE(Bar()->psbAgain->isEnabled());

    Screen->GridAddClick(0);
    ASSERT_EQ(Dialogs.Infos, QStringList{QStringLiteral("加入句库成功！")});
    QSqlQuery query(DataInterface->Connection());
    ASSERT_TRUE(query.exec(QStringLiteral("SELECT id, Name, FileName, English, China FROM sentencelist")));
    ASSERT_TRUE(query.next());
    EXPECT_EQ(query.value(1).toString(), SystemPara.UserInfo.UserName);
    EXPECT_EQ(query.value(2).toString(), QStringLiteral("lesson.wav"));
    EXPECT_EQ(query.value(3).toString(), QStringLiteral("Sentence 5"));
    EXPECT_EQ(query.value(4).toString(), QStringLiteral("第5句"));
    const QString clip = Env.File(QStringLiteral("clip.mp3"));
    ASSERT_TRUE(SaveSentenceMp3ToFile(query.value(0).toInt(), clip));
    // The encoder pads a little; the other sentences are 500 ms.
    EXPECT_NEAR(VideoFixtures::ProbeDurationMs(clip), 3000, 300);
    EXPECT_FALSE(QFile::exists(Env.File(QStringLiteral("temp/PiboTempAddSentence.mp3"))));
    EXPECT_FALSE(query.next());
}

TEST_F(BrowseRecite, RangeLoopReturnsToTheStartMarkUntilTheThirdClick)
{
    Open({5000, 5000, 5000, 5000, 5000});
    Bar()->psbPlayClick();
    Clock->Run(10000);
    // The first mark where the bar stands, inside sentence 3.
    const int start = Bar()->piboProgress->Position();
    ASSERT_GE(start, 9900);
    Bar()->psbAgainClick();
    EXPECT_TRUE(Bar()->piboProgress->Marked());
    EXPECT_EQ(Bar()->LoopStartIndex, 2);
    Clock->Run(5000);
    const int end = Bar()->piboProgress->Position();
    Bar()->psbAgainClick();
    EXPECT_EQ(Bar()->piboProgress->EndMark(), end);
    for (QWidget* w : {static_cast<QWidget*>(Bar()->psbStop), static_cast<QWidget*>(Bar()->psbToStart),
                       static_cast<QWidget*>(Bar()->psbToEnd), static_cast<QWidget*>(Bar()->psbRestart)})
        EXPECT_FALSE(w->isEnabled());

    int wraps = 0;
    int last = Bar()->piboProgress->Position();
    int highest = 0;
    for (int t = 0; t < 16000; t += 20) {
        Clock->Run(20);
        const int now = Player()->PlayTime();
        if (now < last)
            ++wraps;
        last = now;
        highest = std::max(highest, now);
    }
    EXPECT_GE(wraps, 2);
    EXPECT_LE(highest, end + 100);
    EXPECT_GE(last, start);
    // A refresh keeps the lock; the third click lifts it.
    Screen->RefreshButtons();
    EXPECT_FALSE(Bar()->psbStop->isEnabled());
    Bar()->psbAgainClick();
    EXPECT_FALSE(Bar()->piboProgress->Marked());
    EXPECT_EQ(Bar()->piboProgress->StartMark(), -1);
    EXPECT_EQ(Bar()->piboProgress->EndMark(), -1);
    EXPECT_TRUE(Bar()->psbStop->isEnabled());
    EXPECT_TRUE(Bar()->psbRestart->isEnabled());
    for (int t = 0; t < 6000 && Player()->PlayTime() <= end + 500; t += 20)
        Clock->Run(20);
    EXPECT_GT(Player()->PlayTime(), end + 500);
    Bar()->psbStopClick();
}

TEST_F(BrowseRecite, SeekBarClickWhileStoppedSelectsWithoutPlaying)
{
    Open({2000, 2000, 2000, 2000});
    Bar()->piboProgress->SetPosition(4500);
    Bar()->piboProgressClick();
    EXPECT_EQ(Player()->PlayQueueIndex(), 2);
    EXPECT_EQ(Screen->Grid->Row(), 2);
    EXPECT_FALSE(DeviceStarted(Player()));
    EXPECT_TRUE(Bar()->FollowProgress);
    EXPECT_EQ(System.Played(0).size(), 0);
}

// The range loop's jump back handles the events waiting before play goes
// on; a progress short of the end mark leaves them waiting.
TEST_F(BrowseRecite, TheRangeLoopJumpHandlesTheWaitingEvents)
{
    Open({5000, 5000, 5000, 5000, 5000});
    Bar()->psbPlayClick();
    Clock->Run(10000);
    const int start = Bar()->piboProgress->Position();
    Bar()->psbAgainClick();
    Clock->Run(2000);
    const int end = Bar()->piboProgress->Position();
    Bar()->psbAgainClick();
    ASSERT_EQ(Bar()->piboProgress->EndMark(), end);
    ASSERT_EQ(Bar()->LoopStartIndex, 2);

    bool handled = false;
    QMetaObject::invokeMethod(Screen.get(), [&handled] { handled = true; }, Qt::QueuedConnection);
    Bar()->Progress(end - 1);
    EXPECT_FALSE(handled);
    EXPECT_EQ(Player()->PlayQueueIndex(), 2);
    Bar()->Progress(end);
    EXPECT_TRUE(handled);
    // Back at the start mark, playing on from there.
    EXPECT_EQ(Player()->PlayQueueIndex(), 2);
    EXPECT_TRUE(Playing());
    Clock->Run(100);
    EXPECT_GE(Player()->PlayTime(), start);
    EXPECT_LT(Player()->PlayTime(), start + 500);
}

TEST_F(BrowseRecite, SentenceExportsWriteClipsAndSubtitlesNamedByTheLesson)
{
    Open({700, 1400, 2100});
    const QString out = Env.File(QStringLiteral("out"));
    QDir().mkpath(out + QStringLiteral("/all"));
    QDir().mkpath(out + QStringLiteral("/some"));
    const auto names = [](const QString& folder) {
        return QDir(folder).entryList(QDir::Files, QDir::Name);
    };

    Boxes.Folders << out + QStringLiteral("/all");
    Screen->miExportAllClick();
    EXPECT_EQ(names(out + QStringLiteral("/all/lesson")),
              (QStringList{"lesson_0.lrc", "lesson_0.mp3", "lesson_1.lrc", "lesson_1.mp3", "lesson_2.lrc",
                           "lesson_2.mp3"}));
    EXPECT_NEAR(VideoFixtures::ProbeDurationMs(out + QStringLiteral("/all/lesson/lesson_2.mp3")), 2100, 300);

    Screen->Grid->SetRowChecked(1, false);
    Screen->GridCheckBoxClick(1);
    Boxes.Folders << out + QStringLiteral("/some");
    Screen->miExportSelectClick();
    EXPECT_EQ(names(out + QStringLiteral("/some/lesson")),
              (QStringList{"lesson_0.lrc", "lesson_0.mp3", "lesson_2.lrc", "lesson_2.mp3"}));

    // Cancelling the folder choice still says it is done, and writes nothing.
    const QStringList before = QDir(Env.File(QString())).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    Screen->miExportAllClick();
    EXPECT_EQ(Boxes.FolderDialogs, 3);
    EXPECT_EQ(QDir(Env.File(QString())).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    EXPECT_EQ(Dialogs.Infos, (QStringList{QStringLiteral("导出MP3文件完成！"), QStringLiteral("导出MP3文件完成！"),
                                          QStringLiteral("导出MP3文件完成！")}));
}

TEST_F(BrowseRecite, WholeLessonExportWritesTheMp3AndItsLrc)
{
    Open({600, 600});
    struct Case {
        const char* chosen;
        const char* mp3;
        const char* lrc;
    } cases[] = {
        {"whole", "whole.mp3", "whole.lrc"},
        {"upper.MP3", "upper.MP3.mp3", "upper.MP3.lrc"},
        {"plain.mp3", "plain.mp3", "plain.lrc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen);
        Dialogs.Files << Env.File(QString::fromUtf8(c.chosen));
        Screen->miAllExportMp3Click();
        EXPECT_TRUE(QFile::exists(Env.File(QString::fromUtf8(c.mp3))));
        QFile lrc(Env.File(QString::fromUtf8(c.lrc)));
        ASSERT_TRUE(lrc.open(QIODevice::ReadOnly));
        EXPECT_EQ(lrc.readAll(), QByteArray("[00:00.00]Sentence 1\r\n[00:00.60]Sentence 2\r\n"));
    }
    EXPECT_EQ(Dialogs.Infos, QStringList(3, QStringLiteral("导出MP3文件成功！")));
    // A cancelled save dialog does nothing.
    Screen->miAllExportMp3Click();
    EXPECT_EQ(Dialogs.Infos.size(), 3);
}

TEST_F(BrowseRecite, HidingAColumnEmptiesItsCellsAndGivesTheOtherTheWidth)
{
    Open({1000, 1000});
    TPiboStringGrid* grid = Screen->Grid;
    const int text = grid->ColWidths(1) + grid->ColWidths(2);
    Screen->sbDisEnglishClick();
    EXPECT_EQ(Screen->sbDisEnglish->text(), QStringLiteral("显示原文"));
    EXPECT_EQ(grid->GetCells(1, 0), QString());
    EXPECT_EQ(grid->ColWidths(1), 0);
    EXPECT_EQ(grid->ColWidths(2), text);
    Screen->GridAddClick(1);
    QSqlQuery query(DataInterface->Connection());
    ASSERT_TRUE(query.exec(QStringLiteral("SELECT English, China FROM sentencelist")));
    ASSERT_TRUE(query.next());
    EXPECT_EQ(query.value(0).toString(), QString());
    EXPECT_EQ(query.value(1).toString(), QStringLiteral("第2句"));
    Screen->sbDisEnglishClick();
    EXPECT_EQ(grid->GetCells(1, 1), QStringLiteral("Sentence 2"));
    EXPECT_EQ(grid->ColWidths(1) + grid->ColWidths(2), text);
    Screen->miFontSizeClick(4);
    EXPECT_EQ(grid->Font().Size, 15);
    EXPECT_FALSE(Screen->miFontSize[2]->isChecked());
}

TEST_F(BrowseRecite, TheCurrentEnglishCellShowsTheStartOfItsSentence)
{
    Wav = Env.File(QStringLiteral("temp/lesson.wav"));
    WriteToneLesson(Wav, {1000, 1000});
    const QString first = QStringLiteral("Good morning, everyone, and welcome to our talk about the four seasons");
    const QString second = QStringLiteral("Spring is the season when the trees turn green and the birds come back");
    QFile plrc(Env.File(QStringLiteral("temp/lesson.plrc")));
    ASSERT_TRUE(plrc.open(QIODevice::WriteOnly | QIODevice::Truncate));
    plrc.write(StringToAnsi(QStringLiteral("00:00.00\r\n%1\r\n一\r\n00:01.00\r\n%2\r\n二\r\n").arg(first, second)));
    plrc.close();
    Screen = std::make_unique<TFrmBrowseRecite>();
    Screen->SetMediaFile(Wav);
    Screen->resize(900, 600);
    Screen->show();
    ProcessEvents();
    TPiboStringGrid* grid = Screen->Grid;
    const auto expectStart = [grid](const QString& text) {
        TInplaceEdit* editor = grid->InplaceEdit();
        ASSERT_TRUE(editor && editor->isVisible());
        EXPECT_EQ(editor->text(), text);
        ASSERT_GT(editor->fontMetrics().horizontalAdvance(text), editor->width());
        EXPECT_EQ(editor->cursorPosition(), 0);
        EXPECT_LT(editor->inputMethodQuery(Qt::ImCursorRectangle).toRect().left(), 8);
    };
    ASSERT_EQ(grid->Row(), 0);
    expectStart(first);
    // Down to the next sentence, as the user moves.
    QTest::keyClick(grid->InplaceEdit(), Qt::Key_Down);
    ProcessEvents();
    ASSERT_EQ(grid->Row(), 1);
    expectStart(second);
}

TEST_F(BrowseRecite, SampleLessonPlaysSentenceBySentence)
{
    QString playPath;
    ASSERT_TRUE(OpenPackage(QStringLiteral(PIBO_SAMPLE_AUDIO_LESSON), playPath));
    Screen = std::make_unique<TFrmBrowseRecite>();
    Screen->SetMediaFile(playPath);
    Screen->resize(900, 600);
    Screen->show();
    ProcessEvents();
    ASSERT_TRUE(Player()->FileOpen());
    Clock = std::make_unique<TAudioClock>(System, Player());
    const int count = Player()->Count();
    ASSERT_GE(count, 2);
    std::vector<int> rows;
    Bar()->psbPlayClick();
    int lastRow = -1;
    for (int t = 0; t < Player()->TotalTime() + 2000 && (DeviceStarted(Player())); t += 20) {
        Clock->Run(20);
        if (Screen->Grid->Row() != lastRow)
            rows.push_back(lastRow = Screen->Grid->Row());
    }
    std::vector<int> expected;
    for (int i = 0; i < count; ++i)
        expected.push_back(i);
    // The grid follows every sentence in turn, then the first is current again.
    rows.pop_back();
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(Player()->PlayQueueIndex(), 0);
    EXPECT_FALSE(SystemPara.IsPlaying);
}

// ------------------------------------------------------------ video

class VideoBrowseRecite : public TScreenTest {
protected:
    void FreeScreen() override { Screen.reset(); }

    std::unique_ptr<TFrmVideoBrowseRecite> Screen;
};

TEST_F(VideoBrowseRecite, PlayAllPlaysEveryCueAndUncheckedPlaysTheCheckedOnly)
{
    Screen = std::make_unique<TFrmVideoBrowseRecite>();
    CheckVideoPlayModes(Env, Dialogs, *Screen);
}

// The sample video lesson the build makes opens in the video browse screen,
// shows its picture and plays cue by cue with the grid and the subtitle
// following.
TEST_F(VideoBrowseRecite, TheSampleVideoLessonShowsItsPictureAndPlaysCueByCue)
{
    QString playPath;
    ASSERT_TRUE(OpenPackage(QStringLiteral(PIBO_SAMPLE_VIDEO_LESSON), playPath));
    EXPECT_TRUE(QFileInfo::exists(QFileInfo(playPath).path() + u'/' + QFileInfo(playPath).completeBaseName() +
                                  QStringLiteral(".srt")));
    Screen = std::make_unique<TFrmVideoBrowseRecite>();
    Screen->SetMediaFile(playPath);
    Screen->resize(900, 700);
    Screen->show();
    ProcessEvents();
    TPiboVideoClass* player = Screen->VideoPlayer();
    ASSERT_NE(player, nullptr);
    EXPECT_TRUE(Dialogs.Infos.isEmpty()) << "the video plays here";
    ASSERT_EQ(player->Count(), 6);
    EXPECT_GT(player->TotalTime(), 15000);
    EXPECT_EQ(Screen->Grid->GetCells(1, 0), QStringLiteral("Every morning I get up at seven o'clock."));
    EXPECT_EQ(Screen->Grid->GetCells(2, 0), QStringLiteral("我每天早上七点起床。"));
    for (int i = 0; i + 1 < player->Count(); ++i)
        EXPECT_LT(SrtTimeToMSec(player->VideoLrcItems().at(i).EndTime),
                  SrtTimeToMSec(player->VideoLrcItems().at(i + 1).StartTime))
            << "cue " << i << " ends before the next begins";

    std::vector<int> cues;
    const auto follow = player->OnVideoPlayIndexChange;
    player->OnVideoPlayIndexChange = [&cues, follow](QObject* sender, int index) {
        cues.push_back(index);
        follow(sender, index);
    };
    TPiboSpeedButton* play = Screen->Transport()->psbPlay;
    ASSERT_TRUE(play->isVisible());
    QTest::mouseClick(play, Qt::LeftButton, Qt::NoModifier, play->rect().center());
    ASSERT_TRUE(VideoFixtures::WaitFor([&] { return player->VideoPlayState() == vpsPlay; }));

    // A picture: most of the video window is not black.
    TVideoWindow* window = player->VideoWindow();
    ASSERT_TRUE(window->isVisible());
    ASSERT_GT(window->width(), 100);
    const auto litShare = [window] {
        const QImage image = window->grab().toImage();
        qint64 lit = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) > 40)
                    ++lit;
        return image.isNull() ? 0.0 : double(lit) / double(image.width() * image.height());
    };
    EXPECT_TRUE(VideoFixtures::WaitFor([&] { return litShare() > 0.5; }));

    // The first cue's lines, then the second cue with the grid on its row.
    const TVideoLrcItems items = player->VideoLrcItems();
    EXPECT_TRUE(VideoFixtures::WaitFor([&] { return player->ShownEnglish() == items.at(0).English; }));
    EXPECT_TRUE(VideoFixtures::WaitFor([&] { return player->ShownEnglish() == items.at(1).English; }));
    EXPECT_EQ(cues, std::vector<int>{1});
    EXPECT_EQ(Screen->Grid->Row(), 1);
    EXPECT_GE(player->PlayTime(), SrtTimeToMSec(items.at(1).StartTime));
    player->OnVideoPlayIndexChange = follow;
    Screen->Transport()->psbStopClick();
    EXPECT_EQ(player->VideoPlayState(), vpsStop);
}

}  // namespace
