// The video twins' two play modes, shared by the browse and the speak
// screens' tests (apart from ScreensTestSupport.cpp: the grid's and the
// wave-out's headers do not go together).

#include "ScreensTestSupport.h"

#include "UPiboComponent.h"
#include "UPiboStringGrid.h"
#include "UPiboVideoClass.h"
#include "USentenceScreen.h"
#include "VideoFixtures.h"

#include <QtCore/QFile>
#include <QtWidgets/QLabel>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

void CheckVideoPlayModes(const TWindowTestEnvironment& env, const TDialogRecorder& dialogs, TSentenceScreen& screen)
{
    // Three cues over the three coloured seconds.
    const QString video = env.File(QStringLiteral("temp/rgb.avi"));
    ASSERT_TRUE(QFile::copy(VideoFixtures::File(QStringLiteral("rgb.avi")), video));
    env.Write(QStringLiteral("temp/rgb.srt"),
              QByteArray("1\r\n00:00:00,000 --> 00:00:01,000\r\nRed\r\n红\r\n\r\n"
                         "2\r\n00:00:01,000 --> 00:00:02,000\r\nGreen\r\n绿\r\n\r\n"
                         "3\r\n00:00:02,000 --> 00:00:03,000\r\nBlue\r\n蓝\r\n\r\n"));
    screen.SetMediaFile(video);
    screen.resize(900, 700);
    screen.show();
    ProcessEvents();
    TPiboVideoClass* player = screen.VideoPlayer();
    ASSERT_NE(player, nullptr);
    ASSERT_EQ(player->Count(), 3);
    EXPECT_TRUE(screen.pcbSelect->Checked());
    EXPECT_EQ(screen.labSelect->text(), QStringLiteral("播放全部"));
    EXPECT_EQ(player->VideoPlayType(), vptAll);
    EXPECT_EQ(screen.Grid->GetCells(0, 2), QStringLiteral("3"));

    std::vector<int> cues;
    const auto follow = player->OnVideoPlayIndexChange;
    player->OnVideoPlayIndexChange = [&cues, follow](QObject* sender, int index) {
        if (cues.empty() || cues.back() != index)
            cues.push_back(index);
        follow(sender, index);
    };
    // Row 1 unchecked: "播放全部" still plays it.
    screen.Grid->SetRowChecked(1, false);
    screen.GridCheckBoxClick(1);
    screen.Transport()->psbPlayClick();
    EXPECT_TRUE(VideoFixtures::WaitFor([&] { return player->VideoPlayState() == vpsPlay; }));
    EXPECT_TRUE(VideoFixtures::WaitFor([&] { return player->VideoPlayState() == vpsStop; }));
    // Cue 0 is current from the start; the others follow in turn.
    EXPECT_EQ(cues, (std::vector<int>{1, 2}));
    EXPECT_FALSE(screen.Transport()->psbPlay->isHidden());

    // Unchecked box: only the checked rows.
    screen.pcbSelect->SetChecked(false);
    screen.pcbSelectClick();
    EXPECT_EQ(player->VideoPlayType(), vptSelect);
    player->GotoSentence(0);
    cues.clear();
    screen.Transport()->psbPlayClick();
    EXPECT_TRUE(VideoFixtures::WaitFor([&] { return player->VideoPlayState() == vpsPlay; }));
    EXPECT_TRUE(VideoFixtures::WaitFor([&] { return player->VideoPlayState() == vpsStop; }));
    EXPECT_EQ(std::count(cues.begin(), cues.end(), 1), 0);
    EXPECT_NE(std::find(cues.begin(), cues.end(), 2), cues.end());
    // The screen's own handler again: the list above goes with this call.
    player->OnVideoPlayIndexChange = follow;

    // Nothing checked in this mode: refused.
    screen.ppcbAll->SetChecked(false);
    screen.ppcbAllClick();
    screen.Transport()->psbPlayClick();
    EXPECT_EQ(dialogs.Infos, QStringList{QStringLiteral("请选择要播放的项！")});
    EXPECT_EQ(player->VideoPlayState(), vpsStop);
}
