// The translation-training screens: tiles into the answer row and back, the
// mark, scoring into transferrecord, skipping, the hot keys, "收藏本句", the
// player's buttons, and the sample lesson through to the study records.

#include "ScreensTestSupport.h"

#include "AnsiText.h"
#include "UCommonFun.h"
#include "UDataInterface.h"
#include "HotKeys.h"
#include "UDataOperaterFun.h"
#include "UFrmStudyRecord.h"
#include "UFrmTranslateTrain.h"
#include "UFrmVTranslateTrain.h"
#include "UPiboAudioPlay.h"
#include "UPiboComponent.h"
#include "UPiboDataPack.h"
#include "UPiboStringGrid.h"
#include "UPiboVideoClass.h"
#include "VideoFixtures.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtGui/QMouseEvent>
#include <QtSql/QSqlQuery>
#include <QtTest/QTest>
#include <QtWidgets/QLabel>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct TStoredRow {
    QString Name;
    int WordCount = 0;
    int MoveCount = 0;
    QString Accuracy;
    QString Sentence;
    int CostTime = 0;
    QString KeJianName;
    bool operator==(const TStoredRow&) const = default;
};

void PrintTo(const TStoredRow& r, std::ostream* os)
{
    *os << '{' << r.Name.toStdString() << ", " << r.WordCount << ", " << r.MoveCount << ", "
        << r.Accuracy.toStdString() << ", \"" << r.Sentence.toStdString() << "\", " << r.CostTime << ", "
        << r.KeJianName.toStdString() << '}';
}

QList<TStoredRow> StoredRows()
{
    QList<TStoredRow> rows;
    QSqlQuery query(DataInterface->Connection());
    EXPECT_TRUE(query.exec(QStringLiteral("select name, wordcount, movecount, accuracy, sentence, costtime, "
                                          "kejianname, endtime from transferrecord order by id")));
    while (query.next()) {
        rows.push_back({query.value(0).toString(), query.value(1).toInt(), query.value(2).toInt(),
                        query.value(3).toString(), query.value(4).toString(), query.value(5).toInt(),
                        query.value(6).toString()});
        EXPECT_TRUE(DateTimeFromDb(query.value(7)).isValid());
    }
    return rows;
}

void SendMouse(QWidget* target, QEvent::Type type, QPoint pos)
{
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(pos), target->mapToGlobal(QPointF(pos)), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

// Points at the first visible tile of the word and clicks it.
bool ClickWord(TPiboWordOperate* row, const QString& word)
{
    for (const TPiboWordItem& item : row->WordItems())
        if (item.Visible && item.Word == word) {
            const QPoint at((item.Rect.Left + item.Rect.Right) / 2, (item.Rect.Top + item.Rect.Bottom) / 2);
            SendMouse(row, QEvent::MouseMove, at);
            SendMouse(row, QEvent::MouseButtonPress, at);
            SendMouse(row, QEvent::MouseButtonRelease, at);
            return true;
        }
    return false;
}

QStringList Words(const TPiboWordOperate* row, bool visibleOnly = true)
{
    QStringList words;
    for (const TPiboWordItem& item : row->WordItems())
        if (item.Visible || !visibleOnly)
            words << item.Word;
    return words;
}

// A lesson of tone bursts with our own lines: English and Chinese per sentence.
void WriteLesson(const QString& wav, const QList<QPair<QString, QString>>& lines)
{
    WriteToneLesson(wav, std::vector<int>(std::size_t(lines.size()), 600));
    QString plrc;
    for (int i = 0; i < lines.size(); ++i)
        plrc += MSecToLrcTime(i * 600) + QStringLiteral("\r\n") + lines.at(i).first + QStringLiteral("\r\n") +
                lines.at(i).second + QStringLiteral("\r\n");
    const QFileInfo info(wav);
    QFile file(info.absolutePath() + u'/' + info.completeBaseName() + QStringLiteral(".plrc"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(StringToAnsi(plrc));
}

const QList<QPair<QString, QString>> Lesson = {
    {QStringLiteral("Hello."), QStringLiteral("你好。")},
    {QStringLiteral("It is warm today"), QStringLiteral("今天很暖和")},
    {QStringLiteral("Spring  comes"), QStringLiteral("春天来了")},
    {QStringLiteral("Good night"), QStringLiteral("晚安")},
};

class TranslateTrain : public ::testing::Test {
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

    void Open(const QList<QPair<QString, QString>>& lines = Lesson)
    {
        Wav = Env.File(QStringLiteral("media/lesson.wav"));
        WriteLesson(Wav, lines);
        Screen = std::make_unique<TFrmTranslateTrain>();
        // The clock moves only when the test says so.
        Screen->Timer->stop();
        Screen->SetMediaFile(Wav);
        Screen->resize(900, 600);
        Screen->show();
        ProcessEvents();
        ASSERT_NE(Screen->Player(), nullptr);
        ASSERT_TRUE(Screen->Player()->FileOpen());
    }
    TStudyTransport* Bar() const { return Screen->Transport(); }
    QString Me() const { return SystemPara.UserInfo.UserName; }

    TWindowTestEnvironment Env;
    TTestAudioSystem System{1};
    TDialogRecorder Dialogs;
    std::unique_ptr<TFrmTranslateTrain> Screen;
    QString Wav;
};

TEST_F(TranslateTrain, OpensOnTheFirstSentenceWithShuffledTilesAndHiddenLines)
{
    Open();
    EXPECT_EQ(Screen->ShownIndex(), 0);
    EXPECT_EQ(Screen->labChina->text(), QStringLiteral("你好。"));
    EXPECT_EQ(Words(Screen->ppwSur), QStringList{"Hello."});
    EXPECT_TRUE(Screen->ppwDes->WordItems().isEmpty());
    EXPECT_EQ(Screen->lanSentenceCount->text(), QStringLiteral("总句数：4"));
    EXPECT_EQ(Screen->labTime->text(), QStringLiteral("00:00:00"));
    EXPECT_FALSE(Screen->ppsbCheck->isVisible());
    EXPECT_TRUE(Screen->ppsbDone->isEnabled());
    // One tile on the first sentence: no skipping forwards yet.
    EXPECT_FALSE(Screen->ppsbNext->isEnabled());
    EXPECT_FALSE(Screen->ppsbLast->isEnabled());
    EXPECT_FALSE(Bar()->piboProgress->isEnabled());
    EXPECT_EQ(Bar()->piboProgress->Max(), Screen->Player()->TotalTime());
    EXPECT_FALSE(Screen->Player()->DisEnglish());
    EXPECT_FALSE(Screen->Player()->DisChina());
    EXPECT_FALSE(Screen->Player()->AudioLrcItems()[0].Selected);

    Screen->NextSentence();
    EXPECT_EQ(Screen->ShownIndex(), 1);
    EXPECT_EQ(Screen->Player()->PlayQueueIndex(), 1);
    EXPECT_TRUE(Screen->Player()->AudioLrcItems()[1].Selected);
    QStringList shuffled = Words(Screen->ppwSur);
    shuffled.sort();
    EXPECT_EQ(shuffled, (QStringList{"It", "is", "today", "warm"}));
    EXPECT_EQ(Screen->TransRec.WordCount, 4);
    EXPECT_EQ(Screen->RefWords, (QStringList{"It", "is", "warm", "today"}));
    EXPECT_TRUE(Screen->ppsbNext->isEnabled());
    EXPECT_TRUE(Screen->ppsbLast->isEnabled());
}

// Each case starts on a sentence, clicks tiles ("+w" from the source row,
// "-w" back from the answer row), lets the clock run ("tick") or presses
// "完成" ("done"), and ends with the stored rows and the sentence on show.
TEST_F(TranslateTrain, TilesMarksAndScores)
{
    struct Case {
        const char* name;
        int start;
        QStringList actions;
        QList<TStoredRow> rows;
        int shown;
        QString mark;  // "", "right" or "wrong": the mark after the last action
        QStringList infos;
    };
    const QString me = QStringLiteral("O'Brien 小明");
    const QList<Case> cases = {
        {"one word scored at the first click, then the next sentence", 0, {"tick", "tick", "+Hello."},
         {{me, 1, 1, "100%", "Hello.", 2, "lesson"}}, 1, "", {}},
        {"a tile there and back counts two moves", 1, {"+warm", "-warm", "done"},
         {{me, 4, 2, "0%", "It is warm today", 0, "lesson"}}, 2, "", {QStringLiteral("自动进入下一句！")}},
        {"done with no tile placed stores 0%", 1, {"done"}, {{me, 4, 0, "0%", "It is warm today", 0, "lesson"}}, 2,
         "", {QStringLiteral("自动进入下一句！")}},
        {"the mark is right while the order is", 1, {"+It", "+is"}, {}, 1, "right", {}},
        {"the mark turns wrong at the first misplaced tile", 1, {"+It", "+warm"}, {}, 1, "wrong", {}},
        {"taking the wrong tile back makes it right again", 1, {"+It", "+warm", "-warm"}, {}, 1, "right", {}},
        {"an empty answer row hides the mark", 1, {"+is", "-is"}, {}, 1, "", {}},
        {"done scores what stands", 1, {"+It", "+is", "+today", "tick", "done"},
         {{me, 4, 3, "50%", "It is warm today", 1, "lesson"}}, 2, "", {QStringLiteral("自动进入下一句！")}},
        {"the words in order complete the sentence", 1, {"+It", "+is", "+warm", "+today"},
         {{me, 4, 4, "100%", "It is warm today", 0, "lesson"}}, 2, "", {}},
        {"blanks between words make no tile", 2, {"+Spring", "+comes"},
         {{me, 2, 2, "100%", "Spring  comes", 0, "lesson"}}, 3, "", {}},
        {"the last sentence completed stays shown", 3, {"+Good", "+night"},
         {{me, 2, 2, "100%", "Good night", 0, "lesson"}}, 3, "right", {}},
        {"done on the last sentence says all is done", 3, {"done"}, {{me, 2, 0, "0%", "Good night", 0, "lesson"}}, 3,
         "", {QStringLiteral("此音频所含的句子全部完成！")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Open();
        QSqlQuery(DataInterface->Connection()).exec(QStringLiteral("delete from transferrecord"));
        Dialogs.Infos.clear();
        for (int i = 0; i < c.start; ++i)
            Screen->NextSentence();
        ASSERT_EQ(Screen->ShownIndex(), c.start);
        for (const QString& action : c.actions) {
            if (action == "tick")
                Screen->TimerTimer();
            else if (action == "done")
                Screen->ppsbDone->PerformClick();
            else
                ASSERT_TRUE(ClickWord(action[0] == u'+' ? Screen->ppwSur : Screen->ppwDes, action.mid(1)))
                    << action.toStdString();
        }
        EXPECT_EQ(StoredRows(), c.rows);
        EXPECT_EQ(Screen->ShownIndex(), c.shown);
        EXPECT_EQ(Dialogs.Infos, c.infos);
        EXPECT_EQ(Screen->ppsbCheck->isVisible(), !c.mark.isEmpty());
        if (!c.mark.isEmpty()) {
            EXPECT_EQ(Screen->ppsbCheck->PiboSpeedButtonType(), c.mark == "right" ? psbtTansRight : psbtTansWrong);
        }
        Screen.reset();
    }
}

TEST_F(TranslateTrain, TheCompletedLastSentenceKeepsItsTilesAndDoneIsOffUntilGoingBack)
{
    Open();
    for (int i = 0; i < 3; ++i)
        Screen->NextSentence();
    ASSERT_TRUE(ClickWord(Screen->ppwSur, "Good"));
    ASSERT_TRUE(ClickWord(Screen->ppwSur, "night"));
    EXPECT_EQ(Words(Screen->ppwDes), (QStringList{"Good", "night"}));
    EXPECT_FALSE(Screen->ppsbNext->isEnabled());

    // Skipping forwards on the last sentence changes nothing but the buttons.
    const QString china = Screen->labChina->text();
    Screen->ppsbNext->PerformClick();
    EXPECT_EQ(Screen->ShownIndex(), 3);
    EXPECT_EQ(Screen->labChina->text(), china);
    EXPECT_EQ(Words(Screen->ppwDes), (QStringList{"Good", "night"}));
    EXPECT_EQ(StoredRows().size(), 1);

    Screen->ppsbDone->PerformClick();
    EXPECT_FALSE(Screen->ppsbDone->isEnabled());
    Screen->ppsbLast->PerformClick();
    EXPECT_EQ(Screen->ShownIndex(), 2);
    EXPECT_TRUE(Screen->ppsbDone->isEnabled());
    EXPECT_TRUE(Screen->ppsbNext->isEnabled());
    EXPECT_TRUE(Screen->ppsbLast->isEnabled());
    EXPECT_TRUE(Screen->ppwDes->WordItems().isEmpty());
    EXPECT_EQ(Screen->labTime->text(), QStringLiteral("00:00:00"));
}

TEST_F(TranslateTrain, TheClockCountsSecondsOfEachSentence)
{
    Open();
    Screen->labTime->setText(QStringLiteral("00:59:59"));
    Screen->TimerTimer();
    EXPECT_EQ(Screen->labTime->text(), QStringLiteral("01:00:00"));
    Screen->TimerTimer();
    EXPECT_EQ(Screen->labTime->text(), QStringLiteral("01:00:01"));
    Screen->ppsbDone->PerformClick();
    ASSERT_EQ(StoredRows().size(), 1);
    EXPECT_EQ(StoredRows().at(0).CostTime, 3601);
    EXPECT_EQ(Screen->labTime->text(), QStringLiteral("00:00:00"));
}

TEST_F(TranslateTrain, ALineWithoutWordsScoresNothingAndDoneMovesOn)
{
    Open({{QStringLiteral("Good morning"), QStringLiteral("早上好")},
          {QStringLiteral(". . ."), QStringLiteral("省略")},
          {QStringLiteral("Bye"), QStringLiteral("再见")}});
    // Words here are what the blanks separate: even ". . ." is three of them;
    // a line that is blank throughout is the one without words.
    Screen->RefWords.clear();
    Screen->ScoreSentence();
    ASSERT_EQ(StoredRows().size(), 1);
    EXPECT_EQ(StoredRows().at(0).Accuracy, QStringLiteral("0%"));

    QSqlQuery(DataInterface->Connection()).exec(QStringLiteral("delete from transferrecord"));
    Screen->NextSentence();
    Screen->RefWords.clear();
    Screen->ppsbDone->PerformClick();
    EXPECT_EQ(StoredRows().size(), 1);
    EXPECT_EQ(StoredRows().at(0).Accuracy, QStringLiteral("0%"));
    EXPECT_EQ(Screen->ShownIndex(), 2);
}

// A lesson whose English line is empty or blank throughout, as the file
// holds it: the sentence shows no tile, "完成" stores "0%" for no word and
// moves on to the next sentence.
TEST_F(TranslateTrain, ABlankEnglishLineOfTheLessonScoresZeroAndDoneMovesOn)
{
    const QString me = QStringLiteral("O'Brien 小明");
    struct Case {
        const char* name;
        QString english;
        int at;  // the sentence that has it
    };
    const Case cases[] = {
        {"an empty line opened on", QString(), 0},
        {"a line of blanks skipped to", QStringLiteral("   "), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QList<QPair<QString, QString>> lines = {{QStringLiteral("Good morning"), QStringLiteral("早上好")},
                                                {QStringLiteral("Bye"), QStringLiteral("再见")}};
        lines.insert(c.at, {c.english, QStringLiteral("空白")});
        Open(lines);
        QSqlQuery(DataInterface->Connection()).exec(QStringLiteral("delete from transferrecord"));
        Dialogs.Infos.clear();
        for (int i = 0; i < c.at; ++i)
            Screen->NextSentence();
        ASSERT_EQ(Screen->ShownIndex(), c.at);
        ASSERT_EQ(Screen->labChina->text(), QStringLiteral("空白"));
        EXPECT_TRUE(Screen->ppwSur->WordItems().isEmpty());
        EXPECT_TRUE(Screen->RefWords.isEmpty());

        Screen->ppsbDone->PerformClick();
        EXPECT_EQ(StoredRows(), (QList<TStoredRow>{{me, 0, 0, "0%", c.english, 0, "lesson"}}));
        EXPECT_EQ(Dialogs.Infos, QStringList{QStringLiteral("自动进入下一句！")});
        EXPECT_EQ(Screen->ShownIndex(), c.at + 1);
        EXPECT_EQ(Screen->labChina->text(), lines.at(c.at + 1).second);
        Screen.reset();
    }
}

TEST_F(TranslateTrain, HotKeysAltZForwardsAltXBackF9Again)
{
    Open();
    Screen->HandleHotKey(SystemPara.HotKeyAltZ);
    Screen->HandleHotKey(SystemPara.HotKeyAltZ);
    EXPECT_EQ(Screen->ShownIndex(), 2);
    Screen->HandleHotKey(SystemPara.HotKeyAltX);
    EXPECT_EQ(Screen->ShownIndex(), 1);
    EXPECT_EQ(Screen->Player()->PlayQueueIndex(), 1);
    // No wrapping round: the ends stay put.
    Screen->HandleHotKey(SystemPara.HotKeyAltX);
    Screen->HandleHotKey(SystemPara.HotKeyAltX);
    EXPECT_EQ(Screen->ShownIndex(), 0);
    for (int i = 0; i < 5; ++i)
        Screen->HandleHotKey(SystemPara.HotKeyAltZ);
    EXPECT_EQ(Screen->ShownIndex(), 3);
    Screen->HandleHotKey(SystemPara.HotKeyF5);
    Screen->HandleHotKey(SystemPara.HotKeyF7);
    EXPECT_EQ(Screen->ShownIndex(), 3);
    EXPECT_FALSE(DeviceStarted(Screen->Player()));
    // F8 plays the sentence on show, and pauses it.
    Screen->HandleHotKey(SystemPara.HotKeyF8);
    EXPECT_TRUE(Screen->Player()->IsPlaying());
    EXPECT_EQ(Screen->Player()->PlayQueueIndex(), 3);
    EXPECT_TRUE(SystemPara.IsPlaying);
    Screen->HandleHotKey(SystemPara.HotKeyF8);
    EXPECT_TRUE(Screen->Player()->IsPaused());
    EXPECT_FALSE(SystemPara.IsPlaying);
    EXPECT_TRUE(StoredRows().isEmpty());
    // Freed while it plays, the screen leaves nothing playing behind.
    Screen->HandleHotKey(SystemPara.HotKeyF8);
    EXPECT_TRUE(SystemPara.IsPlaying);
    Screen.reset();
    EXPECT_FALSE(SystemPara.IsPlaying);
}

TEST_F(TranslateTrain, PlayTakesTheFirstSentenceWhileNoneIsSelectedAndStopRewinds)
{
    Open();
    TAudioClock clock(System, Screen->Player());
    Bar()->psbPlay->PerformClick();
    EXPECT_TRUE(Screen->Player()->IsPlaying());
    EXPECT_EQ(Screen->Player()->PlayQueueIndex(), 0);
    EXPECT_TRUE(Bar()->psbPlay->isHidden());
    EXPECT_TRUE(Bar()->psbStop->isEnabled());
    clock.RunToStop(3000);
    EXPECT_FALSE(DeviceStarted(Screen->Player()));
    EXPECT_FALSE(Bar()->psbPlay->isHidden());

    Screen->NextSentence();
    Screen->NextSentence();
    Bar()->psbPlay->PerformClick();
    EXPECT_EQ(Screen->Player()->PlayQueueIndex(), 2);
    EXPECT_TRUE(Screen->Player()->IsPlaying());
    Bar()->psbStop->PerformClick();
    EXPECT_FALSE(DeviceStarted(Screen->Player()));
    EXPECT_EQ(Screen->Player()->PlayQueueIndex(), 0);
    // The sentence on show stays the learner's.
    EXPECT_EQ(Screen->ShownIndex(), 2);
    Screen->NextSentence();
    EXPECT_EQ(Screen->ShownIndex(), 3);
    // Moving between sentences stops the sound at the new sentence's start.
    Bar()->psbPlay->PerformClick();
    EXPECT_TRUE(Screen->Player()->IsPlaying());
    Screen->PreviousSentence();
    EXPECT_FALSE(DeviceStarted(Screen->Player()));
    EXPECT_FALSE(SystemPara.IsPlaying);
}

TEST_F(TranslateTrain, ReloadingStartsOverOnTheFirstSentence)
{
    Open();
    Screen->NextSentence();
    ASSERT_TRUE(ClickWord(Screen->ppwSur, "It"));
    Screen->TimerTimer();

    Screen->ReloadSubtitle();
    EXPECT_EQ(Screen->ShownIndex(), 0);
    EXPECT_EQ(Words(Screen->ppwSur), QStringList{"Hello."});
    EXPECT_TRUE(Screen->ppwDes->WordItems().isEmpty());
    EXPECT_EQ(Screen->labTime->text(), QStringLiteral("00:00:00"));
    EXPECT_FALSE(Screen->ppsbNext->isEnabled());
    EXPECT_FALSE(Screen->ppsbLast->isEnabled());

    const QString other = Env.File(QStringLiteral("media/other.wav"));
    WriteLesson(other, {{QStringLiteral("One two"), QStringLiteral("一二")}, {QStringLiteral("Three"), QStringLiteral("三")}});
    Screen->SetMediaFile(other);
    Screen->ReloadFile();
    EXPECT_EQ(Screen->lanSentenceCount->text(), QStringLiteral("总句数：2"));
    EXPECT_EQ(Screen->labChina->text(), QStringLiteral("一二"));
    EXPECT_TRUE(Screen->ppsbNext->isEnabled());
    EXPECT_EQ(Screen->TransRec.KeJianName, QStringLiteral("other"));
    // The subtitle switches flip again with every file.
    EXPECT_TRUE(Screen->Player()->DisEnglish());
    EXPECT_TRUE(Screen->Player()->DisChina());
    EXPECT_TRUE(StoredRows().isEmpty());
}

TEST_F(TranslateTrain, AddingTheSentenceStoresItWithItsClip)
{
    Open();
    Screen->NextSentence();
    Screen->ppsbAdd->PerformClick();
    EXPECT_EQ(Dialogs.Infos, QStringList{QStringLiteral("加入句库成功！")});
    EXPECT_FALSE(QFile::exists(TFrmTranslateTrain::AddClipPath()));
    QSqlQuery query(DataInterface->Connection());
    ASSERT_TRUE(query.exec(QStringLiteral("select name, filename, english, china, length(mp3file) from sentencelist")));
    ASSERT_TRUE(query.next());
    EXPECT_EQ(query.value(0).toString(), Me());
    EXPECT_EQ(query.value(1).toString(), QStringLiteral("lesson.wav"));
    EXPECT_EQ(query.value(2).toString(), QStringLiteral("It is warm today"));
    EXPECT_EQ(query.value(3).toString(), QStringLiteral("今天很暖和"));
    EXPECT_GT(query.value(4).toInt(), 0);
    EXPECT_FALSE(query.next());

    // Without a database the insert fails, and the clip still goes.
    Dialogs.Infos.clear();
    DataInterface->Close();
    Screen->ppsbAdd->PerformClick();
    EXPECT_EQ(Dialogs.Infos, QStringList{QStringLiteral("加入句库失败！")});
    EXPECT_FALSE(QFile::exists(TFrmTranslateTrain::AddClipPath()));
}

TEST_F(TranslateTrain, TheSampleLessonRebuiltShowsOnTheRecordsPage)
{
    QString wav;
    ASSERT_TRUE(OpenPackage(QStringLiteral(PIBO_SAMPLE_AUDIO_LESSON), wav));
    Screen = std::make_unique<TFrmTranslateTrain>();
    Screen->Timer->stop();
    Screen->SetMediaFile(wav);
    Screen->resize(900, 600);
    Screen->show();
    ProcessEvents();
    ASSERT_EQ(Screen->SentenceCount(), 5);
    for (int s = 0; s < 2; ++s) {
        const QStringList words = Screen->RefWords;
        ASSERT_FALSE(words.isEmpty());
        for (const QString& word : words)
            ASSERT_TRUE(ClickWord(Screen->ppwSur, word)) << word.toStdString();
        EXPECT_EQ(Screen->ShownIndex(), s + 1);
    }
    const QList<TStoredRow> rows = StoredRows();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows.at(0).Sentence, QStringLiteral("Good morning, everyone, and welcome to our English class."));
    EXPECT_EQ(rows.at(0).Accuracy, QStringLiteral("100%"));
    EXPECT_EQ(rows.at(0).KeJianName, QFileInfo(wav).completeBaseName());
    Screen.reset();

    TFrmStudyRecord records;
    records.show();
    ProcessEvents();
    records.psbTransfer->PerformClick();
    ASSERT_EQ(records.TransferGrid->RowCount(), 2);
    QStringList sentences{records.TransferGrid->GetCells(5, 0), records.TransferGrid->GetCells(5, 1)};
    sentences.sort();
    EXPECT_EQ(sentences.at(0), rows.at(0).Sentence);
    EXPECT_EQ(records.TransferGrid->GetCells(4, 0), QStringLiteral("100%"));
}

TEST_F(TranslateTrain, TheVideoScreenTrainsOnCuesAndAddsWithoutAClip)
{
    const QString video = Env.File(QStringLiteral("media/clip.avi"));
    ASSERT_TRUE(QDir().mkpath(Env.File(QStringLiteral("media"))));
    ASSERT_TRUE(QFile::copy(VideoFixtures::File(QStringLiteral("rgb.avi")), video));
    QFile srt(Env.File(QStringLiteral("media/clip.srt")));
    ASSERT_TRUE(srt.open(QIODevice::WriteOnly));
    srt.write(StringToAnsi(QStringLiteral("1\r\n00:00:00,000 --> 00:00:01,000\r\nSee you\r\n再见\r\n\r\n"
                                          "2\r\n00:00:01,000 --> 00:00:02,000\r\nThanks\r\n谢谢\r\n\r\n")));
    srt.close();
    auto screen = std::make_unique<TFrmVTranslateTrain>();
    screen->Timer->stop();
    screen->SetMediaFile(video);
    screen->resize(900, 600);
    screen->show();
    ProcessEvents();
    ASSERT_EQ(screen->SentenceCount(), 2);
    EXPECT_EQ(screen->labChina->text(), QStringLiteral("再见"));
    EXPECT_TRUE(screen->ppsbNext->isEnabled());
    ASSERT_TRUE(ClickWord(screen->ppwSur, "See"));
    ASSERT_TRUE(ClickWord(screen->ppwSur, "you"));
    EXPECT_EQ(screen->ShownIndex(), 1);
    EXPECT_EQ(screen->Player()->PlayQueueIndex(), 1);
    EXPECT_EQ(StoredRows(), (QList<TStoredRow>{{Me(), 2, 2, "100%", "See you", 0, "clip"}}));
    // Alt+Z forwards, Alt+X back, here too.
    screen->HandleHotKey(SystemPara.HotKeyAltX);
    EXPECT_EQ(screen->ShownIndex(), 0);
    screen->HandleHotKey(SystemPara.HotKeyAltZ);
    EXPECT_EQ(screen->ShownIndex(), 1);

    screen->ppsbAdd->PerformClick();
    EXPECT_EQ(Dialogs.Infos, QStringList{QStringLiteral("加入句库成功！")});
    QSqlQuery query(DataInterface->Connection());
    ASSERT_TRUE(query.exec(QStringLiteral("select english, filename, ifnull(length(mp3file), 0) = 0 from sentencelist")));
    ASSERT_TRUE(query.next());
    EXPECT_EQ(query.value(0).toString(), QStringLiteral("Thanks"));
    EXPECT_EQ(query.value(1).toString(), QStringLiteral("clip.avi"));
    EXPECT_TRUE(query.value(2).toBool());
    screen.reset();
    ProcessEvents();
}

// Stands in for the main window: the hot keys are registered on it, and each
// one it receives goes to the screen.
class THotKeyHost : public QWidget {
public:
    TStudyScreen* Screen = nullptr;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == THotKeyEvent::EventType()) {
            if (Screen)
                Screen->HandleHotKey(static_cast<THotKeyEvent*>(e)->Id());
            return true;
        }
        return QWidget::event(e);
    }
};

// Right after a video lesson opens no sentence is selected; the first F8 and
// the first click on the play button both play sentence 0, and the video
// stops where sentence 1 begins.
TEST_F(TranslateTrain, TheVideoScreenPlaysTheFirstSentenceOnTheFirstF8OrClick)
{
    const QString video = Env.File(QStringLiteral("media/rgb.avi"));
    ASSERT_TRUE(QDir().mkpath(Env.File(QStringLiteral("media"))));
    ASSERT_TRUE(QFile::copy(VideoFixtures::File(QStringLiteral("rgb.avi")), video));
    Env.Write(QStringLiteral("media/rgb.srt"),
              QByteArray("1\r\n00:00:00,000 --> 00:00:01,000\r\nRed light\r\n红\r\n\r\n"
                         "2\r\n00:00:01,000 --> 00:00:02,000\r\nGreen light\r\n绿\r\n\r\n"
                         "3\r\n00:00:02,000 --> 00:00:03,000\r\nBlue light\r\n蓝\r\n\r\n"));
    enum TStart { ByF8, ByClick };
    for (TStart start : {ByF8, ByClick}) {
        SCOPED_TRACE(start == ByF8 ? "F8" : "click");
        THotKeyHost host;
        host.resize(900, 600);
        auto* screen = new TFrmVTranslateTrain(&host);
        host.Screen = screen;
        RegisterHotKeys(&host);
        screen->Timer->stop();
        screen->SetMediaFile(video);
        screen->setGeometry(host.rect());
        host.show();
        screen->show();
        ProcessEvents();
        TPiboVideoClass* player = screen->Player();
        ASSERT_NE(player, nullptr);
        ASSERT_EQ(player->Count(), 3);
        ASSERT_EQ(player->NextSelected(0), -1) << "nothing is selected after opening";
        ASSERT_EQ(player->VideoPlayState(), vpsStop);

        QList<TVideoPlayState> states;
        const auto refresh = player->OnVideoStateChange;
        player->OnVideoStateChange = [&states, player, refresh](QObject* sender) {
            states.append(player->VideoPlayState());
            refresh(sender);
        };
        if (start == ByF8) {
            QTest::keyClick(screen->ppwSur, Qt::Key_F8);
        } else {
            TPiboSpeedButton* play = screen->Transport()->psbPlay;
            ASSERT_TRUE(play->isVisible());
            ASSERT_FALSE(play->size().isEmpty());
            QTest::mouseClick(play, Qt::LeftButton, Qt::NoModifier, play->rect().center());
        }
        ASSERT_TRUE(VideoFixtures::WaitFor([&] { return !states.isEmpty(); }));
        EXPECT_EQ(states.first(), vpsPlay);
        EXPECT_EQ(player->PlayQueueIndex(), 0);
        EXPECT_TRUE(player->VideoLrcItems().at(0).Selected);
        EXPECT_TRUE(screen->Transport()->psbPlay->isHidden()) << "the pause button shows while playing";
        // The first sentence plays to its end, and no further.
        ASSERT_TRUE(VideoFixtures::WaitFor([&] { return player->VideoPlayState() == vpsStop; }));
        EXPECT_EQ(states, (QList<TVideoPlayState>{vpsPlay, vpsStop}));
        EXPECT_EQ(player->PlayQueueIndex(), 0);
        EXPECT_GE(player->PlayTime(), 1000);
        EXPECT_LT(player->PlayTime(), 2000);
        EXPECT_EQ(screen->ShownIndex(), 0);
        EXPECT_FALSE(screen->Transport()->psbPlay->isHidden());
        EXPECT_TRUE(Dialogs.Infos.isEmpty());
        UnregisterHotKeys(&host);
        player->OnVideoStateChange = refresh;
        host.Screen = nullptr;
        delete screen;
        ProcessEvents();
    }
}

}  // namespace
