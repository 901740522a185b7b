// The free dictation screens: the whole text checked as one answer, the
// clock, clearing and the ".ppf" answer files.

#include "ScreensTestSupport.h"

#include "AnsiText.h"
#include "UCommonFun.h"
#include "UDataOperaterFun.h"
#include "UDictationCheck.h"
#include "UDictationEditor.h"
#include "UDictationFiles.h"
#include "UFrmFreeSentence.h"
#include "UPiboAudioPlay.h"
#include "UPiboComponent.h"
#include "UStudyTransport.h"

#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtWidgets/QLabel>

#include <gtest/gtest.h>

#include <memory>

namespace {

class FreeSentence : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetAudioSystem(&System);
        SetTestHotKeys();
    }
    void TearDown() override
    {
        Screen.reset();
        ProcessEvents();
        SetAudioSystem(nullptr);
    }
    void Open()
    {
        Wav = Env.File(QStringLiteral("media/lesson.wav"));
        WriteToneLesson(Wav, {600, 600});  // "Sentence 1", "Sentence 2"
        Screen = std::make_unique<TFrmFreeSentence>();
        Screen->Timer->stop();
        Screen->ShowCheckDialog = [this](const TSingleCheckTotalRes& res, const QStringList& lines) {
            Documents << BuildFreeCheckDocument(res, lines);
        };
        Screen->SetMediaFile(Wav);
        Screen->resize(900, 600);
        Screen->show();
        ProcessEvents();
        ASSERT_NE(Screen->AudioPlayer(), nullptr);
        ASSERT_EQ(Screen->SentenceCount(), 2);
    }

    TWindowTestEnvironment Env;
    TTestAudioSystem System{1};
    TDialogRecorder Dialogs;
    std::unique_ptr<TFrmFreeSentence> Screen;
    QString Wav;
    QList<TCheckDocument> Documents;
};

TEST_F(FreeSentence, TheWholeTextIsOneAnswer)
{
    Open();
    EXPECT_FALSE(Screen->SpellListOpen());
    EXPECT_EQ(Screen->CheckRes.Items.size(), 1);
    EXPECT_EQ(Screen->CheckRes.Items[0].Sentence, QStringLiteral(" Sentence 1 Sentence 2"));

    // An empty editor: every word missing, "0%".
    Screen->PiboSpeedButton1Click();
    EXPECT_EQ(Screen->CheckRes.MissCount, 4);
    EXPECT_EQ(Screen->CheckRes.Accuracy, QStringLiteral("0%"));
    ASSERT_EQ(Documents.size(), 1);

    // Two lines are checked as one answer joined by a blank; the document
    // breaks where the lines break.
    SetEditorText(Screen->rdeEdit, QStringLiteral("sentence 1\r\nsentence 2"));
    Screen->TimerTimer();
    Screen->PiboSpeedButton1Click();
    EXPECT_EQ(Screen->CheckRes.Items[0].Answer, QStringLiteral("sentence 1 sentence 2"));
    EXPECT_EQ(Screen->CheckRes.Accuracy, QStringLiteral("100%"));
    EXPECT_EQ(Screen->CheckRes.CostSeconds, 1);
    ASSERT_EQ(Documents.size(), 2);
    EXPECT_EQ(Documents[1].size(), 2);

    // "清除": the clock, the test and the editor start again.
    Screen->sbClearClick();
    EXPECT_EQ(Screen->labTime->text(), QStringLiteral("00:00:00"));
    EXPECT_EQ(Screen->CheckRes.Accuracy, QStringLiteral("0%"));
    EXPECT_TRUE(EditorLines(Screen->rdeEdit).join(QString()).isEmpty());
}

TEST_F(FreeSentence, TextExportAndImport)
{
    Open();
    SystemPara.FilePath = Wav;
    const QStringList typed{QStringLiteral("sentence one"), QString(), QStringLiteral("  two  ")};
    SetEditorText(Screen->rdeEdit, typed.join(QStringLiteral("\r\n")));
    ASSERT_EQ(EditorLines(Screen->rdeEdit), typed);
    const QString ppf = Env.File(QStringLiteral("text.ppf"));
    ASSERT_TRUE(Screen->ExportAnswers(ppf));
    QFile file(ppf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), StringToAnsi(Wav) + "\r\nsentence one\r\n\r\n  two  \r\n");
    file.close();

    Screen->sbClearClick();
    Screen->ImportAnswers(ppf);
    EXPECT_EQ(Dialogs.Infos.last(), QStringLiteral("导入文件成功！"));
    EXPECT_EQ(EditorLines(Screen->rdeEdit), typed);
    EXPECT_EQ(Screen->MediaFile(), Env.File(QStringLiteral("temp/lesson.wav")));
    // Written again after the import: the same bytes, naming the main window's file.
    const QString again = Env.File(QStringLiteral("again.ppf"));
    ASSERT_TRUE(Screen->ExportAnswers(again));
    QFile a(ppf), b(again);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), b.readAll());

    // A video file is refused by the audio screen.
    ASSERT_TRUE(WriteDictationFile(ppf, Env.File(QStringLiteral("media/x.avi")), {}));
    Screen->ImportAnswers(ppf);
    EXPECT_EQ(Dialogs.Infos.last(),
              QStringLiteral("您要导入的文件必须为音频文件或音频课件，在视频单句听写模式下才可导入视频文件或视频课件！"));
}

TEST_F(FreeSentence, TheAudioScreenHasNoSplitter)
{
    Open();
    EXPECT_EQ(Screen->Splitter, nullptr);
    EXPECT_EQ(Screen->panContain->height(), 151);
    Screen->resize(1000, 700);
    EXPECT_EQ(Screen->panContain->height(), 151);
}

TEST_F(FreeSentence, StopGoesBackToTheFirstSentence)
{
    Open();
    TStudyTransport* bar = Screen->Transport();
    Screen->AudioPlayer()->GotoSentence(1);
    bar->psbPlayClick();
    ASSERT_TRUE(Screen->AudioPlayer()->IsPlaying());
    EXPECT_EQ(Screen->AudioPlayer()->PlayQueueIndex(), 1);
    EXPECT_TRUE(bar->psbAgain->isEnabled());
    EXPECT_TRUE(SystemPara.IsPlaying);
    bar->psbStopClick();
    EXPECT_FALSE(Screen->AudioPlayer()->IsPlaying());
    EXPECT_EQ(Screen->AudioPlayer()->PlayQueueIndex(), 0);
    EXPECT_FALSE(bar->psbAgain->isEnabled());
    EXPECT_FALSE(SystemPara.IsPlaying);
}

}  // namespace
