// The speak-and-record screens: recording, listening, comparing, saving and
// the study record of each recording, with a recorder the test drives; the
// recorder's own failures; the shared start state and the refused restart.

#include "ScreensTestSupport.h"

#include "UDataInterface.h"
#include "UDataOperaterFun.h"
#include "UFrmStudySpeak.h"
#include "UFrmVStudySpeak.h"
#include "UPiboAudioPlay.h"
#include "UPiboComponent.h"
#include "UPiboStringGrid.h"
#include "UPiboVideoClass.h"
#include "ProgramFolder.h"
#include "MultimediaModule.h"
#include "QtAudioDevice.h"
#include "RecordingSupport.h"
#include "VideoFixtures.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtSql/QSqlQuery>
#include <QtWidgets/QLabel>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace {

// A recorder the test drives: Start leaves the file to Stop, which writes
// PositionMs of 44.1 kHz stereo 16-bit silence and reports the stop.
class TScriptedRecorder : public TSpeakRecorder {
public:
    static inline TScriptedRecorder* Last = nullptr;
    TScriptedRecorder() { Last = this; }
    ~TScriptedRecorder() override
    {
        if (Last == this)
            Last = nullptr;
    }

    bool FailStart = false;
    // The stop is reported later, from the event loop, as the wave-in
    // recorder does; the file is written only then.
    bool DeferStop = false;
    qint64 Position = 0;
    QString File;
    int Starts = 0;
    int Stops = 0;

    void Start(const QString& file) override
    {
        if (FailStart)
            throw std::runtime_error("No wave-in device is present");
        File = file;
        ++Starts;
        FRecording = true;
        Position = 0;
    }
    void Stop() override
    {
        if (!FRecording)
            return;
        FRecording = false;
        ++Stops;
        const auto finish = [this, ms = Position] {
            WritePcmWave(File, 2, 44100, QByteArray(int(ms * 44100 / 1000) * 4, '\0'));
            if (OnStop)
                OnStop();
        };
        if (DeferStop)
            QTimer::singleShot(0, finish);
        else
            finish();
    }
    bool Recording() const override { return FRecording; }
    qint64 PositionMs() const override { return FRecording ? Position : 0; }

private:
    bool FRecording = false;
};

struct TSpeakRow {
    QString Name;
    int CostTime;
    qint64 Size;
    QString Content;
};

QList<TSpeakRow> SpeakRows()
{
    QList<TSpeakRow> rows;
    QSqlQuery query(DataInterface->Connection());
    EXPECT_TRUE(query.exec(QStringLiteral("SELECT name, costtime, recordfilesize, content FROM studyspeakrecord ORDER BY id")));
    while (query.next())
        rows.append({query.value(0).toString(), query.value(1).toInt(), query.value(2).toLongLong(),
                     query.value(3).toString()});
    return rows;
}

// The speak screens with the scripted recorder.
class TSpeakTest : public TScreenTest {
protected:
    void SetUp() override
    {
        TScreenTest::SetUp();
        SetSpeakRecorderFactory([] { return std::make_unique<TScriptedRecorder>(); });
    }
    void TearDown() override
    {
        TScreenTest::TearDown();
        SetSpeakRecorderFactory(nullptr);
    }
};

class StudySpeak : public TSpeakTest {
protected:
    void FreeScreen() override { Screen.reset(); }

    void Open(const std::vector<int>& lengthsMs)
    {
        const QString wav = Env.File(QStringLiteral("temp/lesson.wav"));
        WriteToneLesson(wav, lengthsMs);
        Screen = std::make_unique<TFrmStudySpeak>();
        Screen->SetMediaFile(wav);
        Screen->resize(900, 650);
        Screen->show();
        ProcessEvents();
        ASSERT_TRUE(Screen->AudioPlayer()->FileOpen());
        Recorder = TScriptedRecorder::Last;
        ASSERT_NE(Recorder, nullptr);
        Clock = std::make_unique<TAudioClock>(System, Screen->AudioPlayer());
    }
    // Records ms (the recorder's position at the stop) with the record button.
    void Record(qint64 ms)
    {
        Screen->psbNoRecordClick();
        ASSERT_TRUE(Screen->RecordingLook());
        Recorder->Position = ms;
        Screen->psbNoRecordClick();
    }
    QString Work() const { return Env.File(QStringLiteral("temp/RecordTmp.wav")); }
    void RunRecording(int ms)
    {
        TAudioClock clock(System, Screen->RecordPlayer());
        clock.Run(ms);
    }

    std::unique_ptr<TFrmStudySpeak> Screen;
    std::unique_ptr<TAudioClock> Clock;
    TScriptedRecorder* Recorder = nullptr;
};

TEST_F(StudySpeak, StartsIdleWithTheWaveformsFillingTheirStrips)
{
    Open({1000, 1000, 1000});
    EXPECT_FALSE(Screen->RecordingLook());
    EXPECT_FALSE(Screen->RecordTimer->isActive());
    EXPECT_FALSE(Screen->psbPlayRecord->isEnabled());
    EXPECT_TRUE(Screen->ppsbPlaySur->isEnabled());
    EXPECT_TRUE(Screen->pcbSelect->Checked());
    EXPECT_EQ(Screen->AudioPlayer()->PlayType(), ptSelect);
    for (int r = 0; r < 3; ++r)
        EXPECT_TRUE(Screen->Grid->GetRowChecked(r));
    EXPECT_EQ(Screen->Grid->Font().Size, 9);
    EXPECT_EQ(Screen->Caption(), QStringLiteral("口语模仿"));
    // Both lines start hidden: no subtitle box, the waveform has the strip.
    EXPECT_FALSE(Screen->AudioPlayer()->DisEnglish());
    EXPECT_TRUE(Screen->AudioPlayer()->SubtitleBox()->isHidden());
    EXPECT_EQ(Screen->panContain->height(), TSpeakScreen::StripHeight);

    // The first click on the English switch turns its look off and keeps the
    // line hidden; the second shows the line, and the strip grows by the box.
    TStudyTransport* bar = Screen->Transport();
    bar->ppsbEnglishClick();
    EXPECT_FALSE(bar->ppsbEnglish->ButtonEnabled());
    EXPECT_FALSE(Screen->AudioPlayer()->DisEnglish());
    EXPECT_TRUE(Screen->AudioPlayer()->SubtitleBox()->isHidden());
    bar->ppsbEnglishClick();
    ProcessEvents();
    EXPECT_TRUE(Screen->AudioPlayer()->DisEnglish());
    EXPECT_FALSE(Screen->AudioPlayer()->SubtitleBox()->isHidden());
    EXPECT_EQ(Screen->panContain->height(), TSpeakScreen::StripHeight + 58);
}

TEST_F(StudySpeak, EachFinishedRecordingWritesOneRowWithItsLengthAtTheStop)
{
    Open({1000, 1000, 1000});
    Screen->Grid->SetRow(1);
    Screen->psbNoRecordClick();
    EXPECT_TRUE(Screen->RecordingLook());
    EXPECT_TRUE(Screen->RecordTimer->isActive());
    EXPECT_FALSE(Screen->ppsbSaveRecord->isEnabled());
    Recorder->Position = 2300;
    Screen->RecordTimerTimer();
    EXPECT_EQ(Screen->labRecordTime->text(), QStringLiteral("录音时长：00:00:02"));
    Recorder->Position = 3400;
    Recorder->DeferStop = true;
    Screen->psbNoRecordClick();
    EXPECT_FALSE(Screen->RecordingLook());
    // The row waits for the complete file; a click meanwhile starts nothing.
    EXPECT_TRUE(SpeakRows().isEmpty());
    Screen->psbNoRecordClick();
    EXPECT_FALSE(Screen->RecordingLook());
    ProcessEvents();
    EXPECT_EQ(SpeakRows().size(), 1);
    Recorder->DeferStop = false;
    EXPECT_FALSE(Screen->RecordTimer->isActive());
    EXPECT_TRUE(Screen->ppsbSaveRecord->isEnabled());
    EXPECT_TRUE(Screen->psbPlayRecord->isEnabled());

    // A recording shorter than one timer tick keeps its own length.
    Screen->Grid->SetRow(2);
    Record(600);
    const QList<TSpeakRow> rows = SpeakRows();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].Name, SystemPara.UserInfo.UserName);
    EXPECT_EQ(rows[0].CostTime, 3);
    EXPECT_EQ(rows[0].Size, 44 + 3400 * 44100 / 1000 * 4);
    EXPECT_EQ(rows[0].Content, QStringLiteral("Sentence 2"));
    EXPECT_EQ(rows[1].CostTime, 0);
    EXPECT_EQ(rows[1].Content, QStringLiteral("Sentence 3"));
    EXPECT_EQ(rows[1].Size, QFileInfo(Work()).size());

    // With the English column hidden the content is empty.
    Screen->sbDisEnglishClick();
    Record(1000);
    EXPECT_EQ(SpeakRows().value(2).Content, QString());
}

TEST_F(StudySpeak, ListeningWhileRecordingStopsItPlaysItAndWritesNoRow)
{
    Open({1000, 1000});
    Recorder->DeferStop = true;
    Screen->psbNoRecordClick();
    Recorder->Position = 1500;
    Screen->psbPlayRecordClick();
    EXPECT_FALSE(Screen->RecordingLook());
    // The recording plays once its file is complete.
    EXPECT_FALSE(Screen->RecordPlayer()->FileOpen());
    ProcessEvents();
    EXPECT_FALSE(Screen->RecordTimer->isActive());
    EXPECT_EQ(Recorder->Stops, 1);
    EXPECT_TRUE(SpeakRows().isEmpty());
    EXPECT_EQ(Screen->labRecordTime->text(), QStringLiteral("录音时长：00:00:01"));
    TPiboAudioPlay* recording = Screen->RecordPlayer();
    EXPECT_TRUE(recording->IsPlaying());
    EXPECT_EQ(recording->TotalTime(), 1500);
    EXPECT_TRUE(Screen->PlayRecordTimer->isActive());
    RunRecording(2000);
    EXPECT_FALSE(recording->IsPlaying());
    EXPECT_FALSE(Screen->PlayRecordTimer->isActive());

    // A new recording replaces the file; listening reads the new one.
    Record(700);
    Screen->psbPlayRecordClick();
    ProcessEvents();
    EXPECT_EQ(recording->TotalTime(), 700);
    RunRecording(1000);
}

TEST_F(StudySpeak, CompareplaysTheRecordingAfterTheLesson)
{
    Open({500, 500});
    Record(800);
    Screen->ppsbComparePlayClick();
    EXPECT_TRUE(Screen->CompareMode());
    EXPECT_TRUE(Screen->AudioPlayer()->IsPlaying());
    EXPECT_FALSE(Screen->psbPlayRecord->isEnabled());
    EXPECT_FALSE(Screen->RecordPlayer()->IsPlaying());
    Clock->RunToStop(3000);
    // The lesson is over: the recording plays.
    EXPECT_TRUE(Screen->RecordPlayer()->IsPlaying());
    EXPECT_TRUE(Screen->CompareMode());
    RunRecording(1500);
    EXPECT_FALSE(Screen->RecordPlayer()->IsPlaying());
    EXPECT_FALSE(Screen->CompareMode());
    EXPECT_TRUE(Screen->psbPlayRecord->isEnabled());
}

TEST_F(StudySpeak, SavingTheRecording)
{
    Open({500});
    // Without a recording.
    QFile::remove(Work());
    Dialogs.Files << Env.File(QStringLiteral("none"));
    Screen->ppsbSaveRecordClick();
    EXPECT_EQ(Dialogs.Infos.value(0), QStringLiteral("您没有进行过录音！"));
    EXPECT_FALSE(QFile::exists(Env.File(QStringLiteral("none.mp3"))));

    Record(1200);
    Dialogs.Files << Env.File(QStringLiteral("x.MP3"));
    Screen->ppsbSaveRecordClick();
    EXPECT_EQ(Dialogs.Infos.value(1), QStringLiteral("保存录音文件成功！"));
    EXPECT_TRUE(QFile::exists(Env.File(QStringLiteral("x.MP3.mp3"))));
    EXPECT_NEAR(VideoFixtures::ProbeDurationMs(Env.File(QStringLiteral("x.MP3.mp3"))), 1200, 150);
}

// The whole-lesson export of the speak screen hands the lesson's ".plrc" on
// as it is (the browse screen writes an ".lrc" instead); an export beside
// the lesson under its own name leaves the ".plrc" in place.
TEST_F(StudySpeak, WholeLessonExportCopiesThePlrc)
{
    Open({600, 600});
    QFile source(Env.File(QStringLiteral("temp/lesson.plrc")));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray plrc = source.readAll();
    source.close();
    ASSERT_FALSE(plrc.isEmpty());
    struct Case {
        const char* chosen;
        const char* mp3;
        const char* subtitle;
    } cases[] = {
        {"whole", "whole.mp3", "whole.plrc"},
        {"upper.MP3", "upper.MP3.mp3", "upper.MP3.plrc"},
        {"temp/lesson.mp3", "temp/lesson.mp3", "temp/lesson.plrc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen);
        Dialogs.Files << Env.File(QString::fromUtf8(c.chosen));
        Screen->miAllExportMp3Click();
        const QString mp3 = Env.File(QString::fromUtf8(c.mp3));
        EXPECT_TRUE(QFile::exists(mp3));
        QFile copy(Env.File(QString::fromUtf8(c.subtitle)));
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
        EXPECT_EQ(copy.readAll(), plrc);
        const QFileInfo info(mp3);
        EXPECT_FALSE(QFile::exists(info.absolutePath() + u'/' + info.completeBaseName() + QStringLiteral(".lrc")));
    }
    EXPECT_EQ(Dialogs.Infos, QStringList(3, QStringLiteral("导出MP3文件成功！")));
}

TEST_F(StudySpeak, ARecorderThatCannotStartLeavesTheIdleLook)
{
    Open({500});
    Recorder->FailStart = true;
    Screen->psbNoRecordClick();
    EXPECT_EQ(Dialogs.Infos, QStringList{QStringLiteral("No wave-in device is present")});
    EXPECT_FALSE(Screen->RecordingLook());
    EXPECT_FALSE(Screen->RecordTimer->isActive());
    EXPECT_TRUE(Screen->ppsbSaveRecord->isEnabled());
    EXPECT_TRUE(SpeakRows().isEmpty());
    // The next click tries again.
    Recorder->FailStart = false;
    Record(900);
    EXPECT_EQ(SpeakRows().size(), 1);
}

TEST_F(StudySpeak, ARecorderThatStopsByItselfIsFollowedAndLoggedOnce)
{
    Open({500, 500});
    Screen->psbNoRecordClick();
    Recorder->Position = 2500;
    Screen->RecordTimerTimer();
    Recorder->Position = 4200;
    Recorder->Stop();  // a full disk
    EXPECT_FALSE(Screen->RecordingLook());
    EXPECT_FALSE(Screen->RecordTimer->isActive());
    EXPECT_TRUE(Screen->ppsbSaveRecord->isEnabled());
    QList<TSpeakRow> rows = SpeakRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].Size, QFileInfo(Work()).size());
    EXPECT_EQ(rows[0].CostTime, 4);
    // The next click starts a new recording rather than logging the old again.
    Screen->psbNoRecordClick();
    EXPECT_TRUE(Screen->RecordingLook());
    EXPECT_EQ(Recorder->Starts, 2);
    EXPECT_EQ(SpeakRows().size(), 1);
    Recorder->Position = 100;
    Screen->psbNoRecordClick();
}

TEST_F(StudySpeak, RestartWithNothingCheckedIsRefusedInTheSystemBox)
{
    Open({500, 500});
    Screen->ppcbAll->SetChecked(false);
    Screen->ppcbAllClick();
    Screen->Transport()->psbRestartClick();
    EXPECT_EQ(Boxes.Boxes, QStringList{QStringLiteral("提示信息|请选择要播放的项！")});
    Screen->ppsbPlaySur->PerformClick();
    Screen->ppsbComparePlayClick();
    EXPECT_EQ(Dialogs.Infos, QStringList(2, QStringLiteral("请选择要播放的项！")));
    EXPECT_FALSE(Screen->AudioPlayer()->IsPlaying());
    // The refused compare stays set until a stop.
    EXPECT_TRUE(Screen->CompareMode());
    EXPECT_FALSE(Screen->psbPlayRecord->isEnabled());
    Screen->Transport()->psbStopClick();
    EXPECT_FALSE(Screen->CompareMode());
}

// ------------------------------------------------------------ the wave-in recorder

class StudySpeakRecording : public TScreenTest {
protected:
    void FreeScreen() override { Screen.reset(); }
    void Open(TTestAudioSystem* supplied)
    {
        (void)supplied;
        const QString wav = Env.File(QStringLiteral("temp/lesson.wav"));
        WriteToneLesson(wav, {1000, 1000});
        Screen = std::make_unique<TFrmStudySpeak>();
        Screen->SetMediaFile(wav);
        Screen->resize(900, 650);
        Screen->show();
        ProcessEvents();
    }
    QString Work() const { return Env.File(QStringLiteral("temp/RecordTmp.wav")); }

    std::unique_ptr<TFrmStudySpeak> Screen;
};

TEST_F(StudySpeakRecording, ARecordingIsCdQualityStereoAndLoggedOnce)
{
    const QByteArray tone = SoxTone(44100, 2, 16, 1.5);
    ASSERT_FALSE(tone.isEmpty());
    System.SupplyInput(0, tone);
    Open(&System);
    Screen->Grid->SetRow(1);
    Screen->psbNoRecordClick();
    ASSERT_TRUE(Screen->RecordingLook());
    System.AdvanceMs(1500);
    ASSERT_TRUE(RunEventsUntil([&] { return Screen->WaveRecorder()->PositionMs() >= 1500; }));
    Screen->RecordTimerTimer();
    EXPECT_EQ(Screen->labRecordTime->text(), QStringLiteral("录音时长：00:00:01"));
    Screen->psbNoRecordClick();
    EXPECT_FALSE(Screen->RecordingLook());
    ASSERT_TRUE(RunEventsUntil([&] { return !SpeakRows().isEmpty(); }));
    EXPECT_TRUE(SoxiAccepts(Work(), 44100, 2, 16));
    TWaveContents contents;
    ASSERT_TRUE(ReadWaveContents(Work(), contents));
    EXPECT_EQ(contents.Data.left(tone.size()), tone);
    const QList<TSpeakRow> rows = SpeakRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].Size, QFileInfo(Work()).size());
    EXPECT_EQ(rows[0].CostTime, 1);
    EXPECT_EQ(rows[0].Content, QStringLiteral("Sentence 2"));
    EXPECT_EQ(System.OpenInputStreamCount(), 0);

    // Listening while a new recording runs ends it without a row.
    Screen->psbNoRecordClick();
    System.AdvanceMs(300);
    Screen->psbPlayRecordClick();
    EXPECT_FALSE(Screen->RecordingLook());
    ASSERT_TRUE(RunEventsUntil([&] { return Screen->RecordPlayer()->FileOpen(); }));
    EXPECT_EQ(SpeakRows().size(), 1);
    EXPECT_EQ(Screen->RecordPlayer()->TotalTime(), 300);
    EXPECT_EQ(System.OpenInputStreamCount(), 0);
}

TEST_F(StudySpeakRecording, WithoutAnInputDeviceTheScreenSaysSoAndStaysIdle)
{
    System.SetInputDeviceCount(0);
    Open(&System);
    Screen->psbNoRecordClick();
    ASSERT_EQ(Dialogs.Infos.size(), 1);
    EXPECT_FALSE(Dialogs.Infos[0].isEmpty());
    EXPECT_FALSE(Screen->RecordingLook());
    EXPECT_FALSE(Screen->RecordTimer->isActive());
    EXPECT_TRUE(SpeakRows().isEmpty());
}

// The sound server's default source (the null source on the test machine).
TEST_F(StudySpeakRecording, RecordsFromTheSoundServer)
{
    auto real = CreateQtAudioSystem();
    ASSERT_TRUE(real) << MultimediaModuleError().toStdString();
    if (real->InputDeviceCount() == 0)
        GTEST_SKIP() << "no sound server answers";
    SetAudioSystem(real.get());
    Open(nullptr);
    Screen->psbNoRecordClick();
    ASSERT_TRUE(Screen->RecordingLook());
    ASSERT_TRUE(RunEventsUntil([&] { return Screen->WaveRecorder()->PositionMs() >= 1000; }));
    Screen->psbNoRecordClick();
    ASSERT_TRUE(RunEventsUntil([&] { return !SpeakRows().isEmpty(); }));
    EXPECT_TRUE(SoxiAccepts(Work(), 44100, 2, 16));
    const QList<TSpeakRow> rows = SpeakRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].Size, QFileInfo(Work()).size());
    EXPECT_GE(rows[0].CostTime, 1);
    EXPECT_EQ(rows[0].Content, QStringLiteral("Sentence 1"));
    Screen.reset();
    ProcessEvents();
    SetAudioSystem(&System);
    real->CloseAllStreams();
    EXPECT_EQ(real->LiveStreamCount(), 0);
}

// ------------------------------------------------------------ video

class VStudySpeak : public TSpeakTest {
protected:
    void FreeScreen() override { Screen.reset(); }

    std::unique_ptr<TFrmVStudySpeak> Screen;
};

TEST_F(VStudySpeak, CompareStartsTheVideoAndTheRecordingTogether)
{
    const QString video = Env.File(QStringLiteral("temp/rgb.avi"));
    ASSERT_TRUE(QFile::copy(VideoFixtures::File(QStringLiteral("rgb.avi")), video));
    Env.Write(QStringLiteral("temp/rgb.srt"), QByteArray("1\r\n00:00:00,000 --> 00:00:03,000\r\nAll\r\n全\r\n\r\n"));
    Screen = std::make_unique<TFrmVStudySpeak>();
    Screen->SetMediaFile(video);
    Screen->resize(900, 700);
    Screen->show();
    ProcessEvents();
    TPiboVideoClass* player = Screen->VideoPlayer();
    EXPECT_TRUE(Screen->pcbSelect->Checked());
    EXPECT_EQ(player->VideoPlayType(), vptAll);
    EXPECT_FALSE(Screen->psbPlayRecord->isEnabled());

    TScriptedRecorder* recorder = TScriptedRecorder::Last;
    Screen->psbNoRecordClick();
    recorder->Position = 1000;
    Screen->psbNoRecordClick();
    EXPECT_TRUE(Screen->psbPlayRecord->isEnabled());
    ASSERT_EQ(SpeakRows().size(), 1);
    EXPECT_EQ(SpeakRows()[0].Content, QStringLiteral("All"));

    Screen->ppsbComparePlayClick();
    EXPECT_TRUE(Screen->PlayRecordTimer->isActive());
    EXPECT_TRUE(Screen->WaveOut() && DeviceStartedOut(Screen->WaveOut()));
    EXPECT_TRUE(VideoFixtures::WaitFor([&] { return player->VideoPlayState() == vpsPlay; }));
    // The recording plays to its end on the virtual clock.
    for (int i = 0; i < 100 && DeviceStartedOut(Screen->WaveOut()); ++i) {
        System.AdvanceMs(20);
        VideoFixtures::WaitFor([] { return false; }, 1);
    }
    EXPECT_TRUE(VideoFixtures::WaitFor([&] { return !Screen->PlayRecordTimer->isActive(); }));
    EXPECT_EQ(System.Played(0).size(), 1000 * 44100 / 1000 * 4);
    Screen->Transport()->psbStopClick();
    EXPECT_TRUE(VideoFixtures::WaitFor([&] { return player->VideoPlayState() == vpsStop; }));

    // Saving goes through a converter of its own.
    Dialogs.Files << Env.File(QStringLiteral("mine"));
    Screen->ppsbSaveRecordClick();
    EXPECT_EQ(Dialogs.Infos, QStringList{QStringLiteral("保存录音文件成功！")});
    EXPECT_TRUE(QFile::exists(Env.File(QStringLiteral("mine.mp3"))));
}

TEST_F(VStudySpeak, PlayAllPlaysEveryCueAndUncheckedPlaysTheCheckedOnly)
{
    Screen = std::make_unique<TFrmVStudySpeak>();
    CheckVideoPlayModes(Env, Dialogs, *Screen);
}

}  // namespace
