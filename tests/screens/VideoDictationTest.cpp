// The video dictation screens, single-sentence and free, on a three-second
// clip played through the media graph: where they differ from their audio
// twins (row numbers, nothing to play, stopping before a check, refreshing
// on the player's state events, IsPlaying and "全选" left alone, the
// splitter always movable, the editor's height, the sources an import takes).

#include "ScreensTestSupport.h"

#include "AnsiText.h"
#include "UDataOperaterFun.h"
#include "UDictationEditor.h"
#include "UDictationFiles.h"
#include "UFrmVFreeSentence.h"
#include "UFrmVSingleSentence.h"
#include "UPiboComponent.h"
#include "UPiboStringGrid.h"
#include "UPiboVideoClass.h"
#include "VideoFixtures.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QTimer>
#include <QtWidgets/QSplitter>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QByteArray ClipSubtitle("1\r\n00:00:00,000 --> 00:00:01,000\r\nRed is warm\r\n红\r\n\r\n"
                              "2\r\n00:00:01,000 --> 00:00:02,000\r\nGreen is cool\r\n绿\r\n\r\n"
                              "3\r\n00:00:02,000 --> 00:00:03,000\r\nBlue is cold\r\n蓝\r\n\r\n");

class VideoDictation : public TScreenTest {
protected:
    void SetUp() override
    {
        TScreenTest::SetUp();
        Video = Env.File(QStringLiteral("media/clip.avi"));
        ASSERT_TRUE(QDir().mkpath(Env.File(QStringLiteral("media"))));
        ASSERT_TRUE(QFile::copy(VideoFixtures::File(QStringLiteral("rgb.avi")), Video));
        Env.Write(QStringLiteral("media/clip.srt"), ClipSubtitle);
        SystemPara.IsPlaying = false;
    }
    void FreeScreen() override
    {
        Single.reset();
        Free.reset();
    }
    template <typename T>
    void Show(T& screen)
    {
        screen->Timer->stop();
        screen->SetMediaFile(Video);
        screen->resize(900, 700);
        screen->show();
        ProcessEvents();
        ASSERT_NE(screen->VideoPlayer(), nullptr);
        ASSERT_EQ(screen->SentenceCount(), 3);
    }
    void OpenSingle()
    {
        Single = std::make_unique<TFrmVSingleSentence>();
        Single->ShowCheckDialog = [this](const TSingleCheckTotalRes& res, int row) {
            Checks << row;
            StatesAtCheck << Single->VideoPlayer()->VideoPlayState();
            Accuracies << res.Accuracy;
        };
        Show(Single);
    }
    void OpenFree()
    {
        Free = std::make_unique<TFrmVFreeSentence>();
        Free->ShowCheckDialog = [this](const TSingleCheckTotalRes&, const QStringList& lines) { FreeLines << lines; };
        Show(Free);
    }
    // Waits until the player has stopped on its own or by the test.
    static bool Stopped(TPiboVideoClass* player)
    {
        return VideoFixtures::WaitFor([player] { return player->VideoPlayState() == vpsStop; });
    }

    QString Video;
    std::unique_ptr<TFrmVSingleSentence> Single;
    std::unique_ptr<TFrmVFreeSentence> Free;
    QList<int> Checks;
    QList<TVideoPlayState> StatesAtCheck;
    QStringList Accuracies;
    QList<QStringList> FreeLines;
};

TEST_F(VideoDictation, SingleScreenNumbersRowsPlaysRowZeroAndCountsItInTheTest)
{
    // Left as it is by the video screens (the audio screens would clear it
    // on a pause).
    SystemPara.IsPlaying = true;
    OpenSingle();
    TPiboVideoClass* player = Single->VideoPlayer();
    TPiboStringGrid* grid = Single->Grid;
    EXPECT_EQ(player->VideoPlayType(), vptSelect);
    ASSERT_EQ(grid->RowCount(), 3);
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(grid->GetCells(0, r), QString::number(r + 1)) << r;
        EXPECT_EQ(grid->GetCells(4, r), QStringLiteral("校对")) << r;
    }
    // Row 0 plays at once and is counted in the grid and in the test item,
    // so the check dialog's "次数" is right.
    EXPECT_EQ(grid->GetCells(2, 0), QStringLiteral("1"));
    EXPECT_EQ(Single->CheckRes.Items[0].PlayCount, 1);
    EXPECT_EQ(Single->CheckRes.Items[0].Sentence, QStringLiteral("Red is warm"));
    EXPECT_TRUE(player->VideoLrcItems()[0].Selected);
    EXPECT_FALSE(player->VideoLrcItems()[1].Selected);
    EXPECT_EQ(Single->InputWidget->objectName(), QStringLiteral("ediInput"));
    EXPECT_EQ(Single->InputWidget->height(), 62);
    // Paused, the video screen leaves IsPlaying and "全选" alone.
    Single->Transport()->psbPauseClick();
    ASSERT_EQ(player->VideoPlayState(), vpsPause);
    EXPECT_TRUE(SystemPara.IsPlaying);
    EXPECT_TRUE(Single->ppcbAll->isEnabled());
    EXPECT_FALSE(Single->Transport()->psbPause->isHidden());
    EXPECT_TRUE(Single->Transport()->psbPlay->isHidden());
    SystemPara.IsPlaying = false;
    // Its buttons follow the player's state event: resumed, the cue ends by itself.
    Single->Transport()->psbPauseClick();
    ASSERT_EQ(player->VideoPlayState(), vpsPlay);
    ASSERT_TRUE(Stopped(player));
    EXPECT_FALSE(SystemPara.IsPlaying);
    EXPECT_FALSE(Single->Transport()->psbPlay->isHidden());
    EXPECT_TRUE(Single->Transport()->psbPause->isHidden());
    EXPECT_FALSE(Single->Transport()->psbStop->isEnabled());

    // Enter: the next row plays, counted in its item too.
    SetEditorText(Single->Input, QStringLiteral("red is worm"));
    EXPECT_EQ(grid->GetCells(1, 0), QStringLiteral("red is worm"));
    Single->InputKeyUp(13);
    EXPECT_EQ(grid->Row(), 1);
    EXPECT_EQ(player->PlayQueueIndex(), 1);
    EXPECT_EQ(Single->CheckRes.Items[1].PlayCount, 1);
    EXPECT_EQ(player->VideoPlayState(), vpsPlay);
    ASSERT_TRUE(Stopped(player));
}

TEST_F(VideoDictation, SingleScreenStopsBeforeEveryCheckAndRefusesPlayWithNothingSelected)
{
    OpenSingle();
    TPiboVideoClass* player = Single->VideoPlayer();
    ASSERT_TRUE(Stopped(player));
    // Stopped or playing, the check stops the player first.
    struct Case {
        const char* name;
        bool playFirst;
    };
    const Case cases[] = {{"playing", true}, {"stopped", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.playFirst) {
            Single->Transport()->psbPlayClick();
            ASSERT_EQ(player->VideoPlayState(), vpsPlay);
        }
        Single->CheckRow(4, 0);
        ASSERT_FALSE(StatesAtCheck.isEmpty());
        EXPECT_EQ(StatesAtCheck.last(), vpsStop);
        EXPECT_EQ(Checks.last(), 0);
        EXPECT_EQ(player->VideoPlayState(), vpsStop);
        EXPECT_TRUE(Single->Grid->isEnabled());
    }

    // Nothing selected: the video test is NextSelected from 0.
    Single->ppcbAll->SetChecked(false);
    Single->ppcbAllClick();
    EXPECT_EQ(player->NextSelected(0), -1);
    Single->Transport()->psbPlayClick();
    EXPECT_EQ(Dialogs.Infos, QStringList{QStringLiteral("请选择要播放的项！")});
    EXPECT_EQ(player->VideoPlayState(), vpsStop);
}

TEST_F(VideoDictation, SingleScreenSplitterMovesWhateverPlaysAndRelaysTheScreen)
{
    OpenSingle();
    ASSERT_NE(Single->Splitter, nullptr);
    EXPECT_EQ(Single->panContain->height(), 218);
    // IsPlaying (set by the audio screens) does not hold the video screen's splitter.
    SystemPara.IsPlaying = true;
    EXPECT_TRUE(Single->SplitterCanResize());
    const int gridPanel = Single->panGridClient->height();
    DragSplitterHandle(Single->Splitter, 30);
    EXPECT_EQ(Single->panContain->height(), 248);
    EXPECT_EQ(Single->panGridClient->height(), gridPanel - 30);
    DragSplitterHandle(Single->Splitter, -50);
    EXPECT_EQ(Single->panContain->height(), 198);
    SystemPara.IsPlaying = false;
    ASSERT_TRUE(Stopped(Single->VideoPlayer()));
}

TEST_F(VideoDictation, SingleScreenImportsVideoSourcesAndRefusesAudio)
{
    OpenSingle();
    ASSERT_TRUE(Stopped(Single->VideoPlayer()));
    SystemPara.FilePath = Video;
    SetEditorText(Single->Input, QStringLiteral("red is warm"));
    const QString pps = Env.File(QStringLiteral("answers.pps"));
    ASSERT_TRUE(Single->ExportAnswers(pps));
    QFile file(pps);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), StringToAnsi(Video) + "\r\nred is warm@@##$$1\r\n@@##$$0\r\n@@##$$0\r\n");
    file.close();

    // A video source plays where it is; the answers and counts come back.
    Single->sbClearClick();
    Single->ImportAnswers(pps);
    EXPECT_EQ(Dialogs.Infos.last(), QStringLiteral("导入文件成功！"));
    EXPECT_EQ(Single->MediaFile(), Video);
    EXPECT_EQ(Single->Grid->GetCells(1, 0), QStringLiteral("red is warm"));
    EXPECT_EQ(Single->Grid->GetCells(2, 0), QStringLiteral("1"));
    EXPECT_EQ(Single->Grid->GetCells(3, 0), QStringLiteral("100%"));
    ASSERT_TRUE(Stopped(Single->VideoPlayer()));

    const QString refused =
        QStringLiteral("您要导入的文件必须为视频文件或视频课件，在音频单句听写模式下才可导入音频文件或音频课件！");
    struct Case {
        QString source;
        QString message;
    };
    const Case cases[] = {
        {Env.Write(QStringLiteral("media/lesson.wav")), refused},
        {Env.Write(QStringLiteral("media/lesson.pibo")), refused},
        {Env.Write(QStringLiteral("media/clip.txt")), refused},
        {Env.File(QStringLiteral("media/gone.wmv")), QStringLiteral("您导入的文件对应的视频文件或课件不存在！")},
        {Env.Write(QStringLiteral("media/bad.vpibo"), "not a package"), QStringLiteral("载入视频文件失败！")},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteDictationFile(pps, c.source, {QStringLiteral("x@@##$$3")}));
        Single->ImportAnswers(pps);
        EXPECT_EQ(Dialogs.Infos.last(), c.message) << c.source.toStdString();
        EXPECT_EQ(Single->MediaFile(), Video);
    }
}

TEST_F(VideoDictation, FreeScreenLoopsWhilePlayingAndStopGoesToTheFirstSentence)
{
    OpenFree();
    TPiboVideoClass* player = Free->VideoPlayer();
    TStudyTransport* bar = Free->Transport();
    ASSERT_NE(bar->psbAgain, nullptr);
    ASSERT_NE(Free->Splitter, nullptr);
    EXPECT_EQ(Free->panContain->height(), 218);
    EXPECT_EQ(player->VideoPlayState(), vpsStop);
    EXPECT_FALSE(bar->psbAgain->isEnabled());

    // Playing from the second sentence: the loop button is there whatever
    // the order, and the buttons come through the state event.
    player->GotoSentence(1);
    bar->psbPlayClick();
    EXPECT_EQ(player->VideoPlayState(), vpsPlay);
    EXPECT_TRUE(bar->psbAgain->isEnabled());
    EXPECT_TRUE(bar->psbStop->isEnabled());
    EXPECT_FALSE(SystemPara.IsPlaying);

    // Stop: the first sentence again.
    bar->psbStopClick();
    EXPECT_EQ(player->VideoPlayState(), vpsStop);
    EXPECT_EQ(player->PlayQueueIndex(), 0);
    EXPECT_FALSE(bar->psbAgain->isEnabled());
    EXPECT_FALSE(bar->psbStop->isEnabled());

    // The splitter under the player moves whatever plays.
    SystemPara.IsPlaying = true;
    DragSplitterHandle(Free->Splitter, 20);
    EXPECT_EQ(Free->panContain->height(), 238);
    SystemPara.IsPlaying = false;
}

TEST_F(VideoDictation, FreeScreenChecksTheLinesAsOneAnswerAndImportsItsText)
{
    OpenFree();
    EXPECT_EQ(Free->CheckRes.Items[0].Sentence, QStringLiteral(" Red is warm Green is cool Blue is cold"));
    SetEditorText(Free->rdeEdit, QStringLiteral("red is warm\r\ngreen is cool"));
    Free->PiboSpeedButton1Click();
    EXPECT_EQ(Free->CheckRes.Items[0].Answer, QStringLiteral("red is warm green is cool"));
    EXPECT_EQ(Free->CheckRes.RightCount, 6);
    EXPECT_EQ(Free->CheckRes.MissCount, 3);
    EXPECT_EQ(Free->CheckRes.Accuracy, QStringLiteral("67%"));
    ASSERT_EQ(FreeLines.size(), 1);
    EXPECT_EQ(FreeLines[0], (QStringList{QStringLiteral("red is warm"), QStringLiteral("green is cool")}));

    SystemPara.FilePath = Video;
    const QString ppf = Env.File(QStringLiteral("text.ppf"));
    ASSERT_TRUE(Free->ExportAnswers(ppf));
    Free->sbClearClick();
    EXPECT_TRUE(EditorLines(Free->rdeEdit).join(QString()).isEmpty());
    Free->ImportAnswers(ppf);
    EXPECT_EQ(Dialogs.Infos.last(), QStringLiteral("导入文件成功！"));
    EXPECT_EQ(EditorLines(Free->rdeEdit), (QStringList{QStringLiteral("red is warm"), QStringLiteral("green is cool")}));
    EXPECT_EQ(Free->MediaFile(), Video);

    ASSERT_TRUE(WriteDictationFile(ppf, Env.Write(QStringLiteral("media/lesson.mp3")), {QStringLiteral("x")}));
    Free->ImportAnswers(ppf);
    EXPECT_EQ(Dialogs.Infos.last(),
              QStringLiteral("您要导入的文件必须为视频文件或视频课件，在音频单句听写模式下才可导入音频文件或音频课件！"));
}

}  // namespace
