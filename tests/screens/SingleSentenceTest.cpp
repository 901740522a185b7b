// The single-sentence dictation screens: typing into the rows, Enter, "校对",
// reloads, hot keys, the clock, submitting, the answer files and spell checking.

#include "ScreensTestSupport.h"

#include "AnsiText.h"
#include "UCommonFun.h"
#include "UDataOperaterFun.h"
#include "UDictationCheck.h"
#include "UDictationEditor.h"
#include "UDictationFiles.h"
#include "UFrmSingleSentence.h"
#include "UPiboAudioPlay.h"
#include "UPiboStringGrid.h"
#include "UStudyTransport.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtWidgets/QLabel>
#include <QtWidgets/QSplitter>

#include <gtest/gtest.h>

#include <memory>

namespace {

void WriteLesson(const QString& wav, const QStringList& english)
{
    WriteToneLesson(wav, std::vector<int>(std::size_t(english.size()), 600));
    QString plrc;
    for (int i = 0; i < english.size(); ++i)
        plrc += MSecToLrcTime(i * 600) + QStringLiteral("\r\n") + english[i] + QStringLiteral("\r\n句\r\n");
    const QFileInfo info(wav);
    QFile file(info.absolutePath() + u'/' + info.completeBaseName() + QStringLiteral(".plrc"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(StringToAnsi(plrc));
}

const QStringList SingleLesson{QStringLiteral("Spring is warm."), QStringLiteral("Summer is hot."),
                         QStringLiteral("Autumn is cool.")};

class SingleSentence : public ::testing::Test {
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
    void Open(bool withWordList = false, const QStringList& english = SingleLesson)
    {
        if (withWordList) {
            QFile list(Env.File(QStringLiteral("data/dict/english.1-0-0.dic")));
            ASSERT_TRUE(list.open(QIODevice::WriteOnly));
            list.write("spring\r\nis\r\nwarm\r\nsummer\r\nhot\r\n");
        }
        Wav = Env.File(QStringLiteral("media/lesson.wav"));
        WriteLesson(Wav, english);
        Screen = std::make_unique<TFrmSingleSentence>();
        Screen->Timer->stop();
        Screen->ShowCheckDialog = [this](const TSingleCheckTotalRes& res, int row) {
            Shown << row;
            Accuracies << res.Accuracy;
        };
        Screen->SetMediaFile(Wav);
        Screen->resize(900, 600);
        Screen->show();
        ProcessEvents();
        ASSERT_NE(Screen->Grid, nullptr);
        ASSERT_EQ(Screen->Grid->RowCount(), english.size());
    }
    QString Cell(int col, int row) const { return Screen->Grid->GetCells(col, row); }
    int Queue() const { return Screen->AudioPlayer()->PlayQueueIndex(); }

    TWindowTestEnvironment Env;
    TTestAudioSystem System{1};
    TDialogRecorder Dialogs;
    std::unique_ptr<TFrmSingleSentence> Screen;
    QString Wav;
    QList<int> Shown;
    QStringList Accuracies;
};

TEST_F(SingleSentence, OpensOnRowZeroWithOnePlayCounted)
{
    Open();
    EXPECT_EQ(Cell(0, 0), QStringLiteral("1"));
    EXPECT_EQ(Cell(2, 0), QStringLiteral("1"));
    EXPECT_EQ(Cell(2, 1), QStringLiteral("0"));
    EXPECT_EQ(Cell(3, 2), QStringLiteral("0%"));
    EXPECT_EQ(Cell(4, 1), QStringLiteral("校对"));
    EXPECT_EQ(Queue(), 0);
    EXPECT_TRUE(Screen->AudioPlayer()->AudioLrcItems()[0].Selected);
    EXPECT_FALSE(Screen->AudioPlayer()->AudioLrcItems()[1].Selected);
    EXPECT_EQ(Screen->CheckRes.Items.size(), 3);
    EXPECT_EQ(Screen->CheckRes.Items[0].PlayCount, 1);
    EXPECT_EQ(Screen->CheckRes.FileName, QStringLiteral("lesson.wav"));
    // No word list in this folder: the screen works without underlining.
    EXPECT_FALSE(Screen->SpellListOpen());
    SetEditorText(Screen->Input, QStringLiteral("sprng"));
    EXPECT_EQ(Cell(1, 0), QStringLiteral("sprng"));
}

TEST_F(SingleSentence, EditorRowsEnterAndCheckCells)
{
    Open();
    // A two-line answer lands in column 1 as one line without the breaks.
    SetEditorText(Screen->Input, QStringLiteral("spring is\r\nwarm  "));
    EXPECT_EQ(Cell(1, 0), QStringLiteral("spring iswarm"));

    // Enter: the next row plays and its answer comes into the editor.
    Screen->InputKeyUp(13);
    EXPECT_EQ(Screen->Grid->Row(), 1);
    EXPECT_EQ(Queue(), 1);
    EXPECT_EQ(Cell(2, 1), QStringLiteral("1"));
    EXPECT_EQ(AnswerFromEditorText(EditorFullText(Screen->Input)), QString());
    SetEditorText(Screen->Input, QStringLiteral("summer is hot"));
    Screen->InputKeyUp(13);
    EXPECT_EQ(Screen->Grid->Row(), 2);
    // Enter on the last row goes to row 0 and plays it.
    Screen->InputKeyUp(13);
    EXPECT_EQ(Screen->Grid->Row(), 0);
    EXPECT_EQ(Queue(), 0);
    EXPECT_EQ(Cell(2, 0), QStringLiteral("2"));
    EXPECT_EQ(EditorFullText(Screen->Input), QStringLiteral("spring iswarm\r\n"));

    // "校对" in another row than LastRow: the dialog for the row, then it plays.
    Screen->LastRow = 0;
    Screen->CheckRow(4, 1);
    Screen->SelectRow(4, 1);
    EXPECT_EQ(Shown, QList<int>{1});
    EXPECT_EQ(Cell(3, 1), QStringLiteral("100%"));
    EXPECT_EQ(Accuracies.last(), QStringLiteral("44%"));  // 4 of 9 words over the whole test
    EXPECT_EQ(Queue(), 1);
    EXPECT_EQ(Screen->LastRow, 1);
    const QString countBefore = Cell(2, 1);
    // In LastRow: only the dialog.
    Screen->CheckRow(4, 1);
    Screen->SelectRow(4, 1);
    EXPECT_EQ(Shown, (QList<int>{1, 1}));
    EXPECT_EQ(Cell(2, 1), countBefore);
    EXPECT_TRUE(Screen->Grid->isEnabled());

    // Submitting checks every row and shows the whole test.
    Screen->PiboSpeedButton1Click();
    EXPECT_EQ(Shown.last(), -1);
    EXPECT_EQ(Screen->CheckRes.RightCount, 4);
    EXPECT_EQ(Screen->CheckRes.WordCount, 9);
    EXPECT_EQ(Cell(3, 0), QStringLiteral("33%"));
}

TEST_F(SingleSentence, APlayCountThatIsNotANumberCountsUpFromZero)
{
    Open();
    const struct {
        const char* Cell;
        const char* After;
    } cases[] = {{"x", "1"}, {"", "1"}, {"-3", "1"}, {"2", "3"}};
    for (const auto& c : cases) {
        Screen->Grid->SetCells(2, 1, QString::fromUtf8(c.Cell));
        Screen->Grid->SetRow(1);
        Screen->PlayRow(1);
        EXPECT_EQ(Cell(2, 1), QString::fromUtf8(c.After)) << c.Cell;
        EXPECT_EQ(Screen->CheckRes.Items[1].PlayCount, QString::fromUtf8(c.After).toInt()) << c.Cell;
        EXPECT_EQ(Queue(), 1) << c.Cell;
    }
}

TEST_F(SingleSentence, ReloadHotKeysAndClear)
{
    Open();
    SetEditorText(Screen->Input, QStringLiteral("spring"));
    Screen->PiboSpeedButton1Click();
    EXPECT_EQ(Cell(3, 0), QStringLiteral("33%"));

    // Hot keys move the player without counting a play.
    Screen->HandleHotKey(SystemPara.HotKeyAltX);
    EXPECT_EQ(Queue(), 1);
    Screen->HandleHotKey(SystemPara.HotKeyAltZ);
    Screen->HandleHotKey(SystemPara.HotKeyAltZ);
    EXPECT_EQ(Queue(), 2);
    EXPECT_EQ(Cell(2, 0), QStringLiteral("1"));
    EXPECT_EQ(Cell(2, 1), QStringLiteral("0"));
    EXPECT_EQ(Cell(2, 2), QStringLiteral("0"));

    // A reload keeps typed answers and resets counts and accuracies.
    Screen->TimerTimer();
    Screen->ReloadFile();
    EXPECT_EQ(Cell(1, 0), QStringLiteral("spring"));
    EXPECT_EQ(Cell(3, 0), QStringLiteral("0%"));
    EXPECT_EQ(Cell(2, 1), QStringLiteral("0"));
    EXPECT_EQ(Screen->CheckRes.Accuracy, QStringLiteral("0%"));
    EXPECT_EQ(Screen->labTime->text(), QStringLiteral("00:00:01"));

    // "清除" empties the rows and resets the clock.
    Screen->sbClearClick();
    EXPECT_EQ(Cell(1, 0), QString());
    EXPECT_EQ(Cell(2, 0), QStringLiteral("0"));
    EXPECT_EQ(Screen->labTime->text(), QStringLiteral("00:00:00"));
    EXPECT_TRUE(Screen->Timer->isActive());
}

TEST_F(SingleSentence, AnswersExportAndImport)
{
    Open();
    SystemPara.FilePath = Wav;
    SetEditorText(Screen->Input, QStringLiteral("spring @@##$$ warm"));
    Screen->InputKeyUp(13);
    const QString pps = Env.File(QStringLiteral("answers.pps"));
    ASSERT_TRUE(Screen->ExportAnswers(pps));
    QFile file(pps);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(bytes, StringToAnsi(Wav) + "\r\nspring @@##$$ warm@@##$$1\r\n@@##$$1\r\n@@##$$0\r\n");
    file.close();

    // The subtitle of a plain audio file is loaded beside its copy in temp/,
    // as the main window's subtitle command does.
    ASSERT_TRUE(QFile::copy(Env.File(QStringLiteral("media/lesson.plrc")), Env.File(QStringLiteral("temp/lesson.plrc"))));
    Screen->sbClearClick();
    Screen->ImportAnswers(pps);
    EXPECT_EQ(Dialogs.Infos.last(), QStringLiteral("导入文件成功！"));
    EXPECT_EQ(Cell(1, 0), QStringLiteral("spring @@##$$ warm"));
    EXPECT_EQ(Cell(2, 0), QStringLiteral("1"));
    EXPECT_EQ(Cell(3, 0), QStringLiteral("67%"));
    // The screen now plays the prepared copy in temp/: the main window's
    // preparation, with 0.5 s of silence (8,000 bytes of 8 kHz 16-bit mono)
    // before the sound, so that the subtitle's times fit it.
    EXPECT_EQ(Screen->MediaFile(), Env.File(QStringLiteral("temp/lesson.wav")));
    EXPECT_EQ(QFileInfo(Env.File(QStringLiteral("temp/lesson.wav"))).size() - QFileInfo(Wav).size(), 8000);
    // The export still names the file the main window opened.
    ASSERT_TRUE(Screen->ExportAnswers(pps));
    QString source;
    QStringList lines;
    ASSERT_TRUE(ReadDictationFile(pps, source, lines));
    EXPECT_EQ(source, Wav);

    // Refused sources.
    struct Case {
        QString source;
        QString message;
    };
    const Case cases[] = {
        {Env.File(QStringLiteral("media/lesson.txt")),
         QStringLiteral("您要导入的文件必须为音频文件或音频课件，在视频单句听写模式下才可导入视频文件或视频课件！")},
        // A capital extension is an audio file as in the media list; this one is not there.
        {Env.File(QStringLiteral("media/LESSON.WAV")), QStringLiteral("您导入的文件对应的音频文件或课件不存在！")},
        {Env.File(QStringLiteral("media/lesson.avi")),
         QStringLiteral("您要导入的文件必须为音频文件或音频课件，在视频单句听写模式下才可导入视频文件或视频课件！")},
        {Env.File(QStringLiteral("media/gone.wav")), QStringLiteral("您导入的文件对应的音频文件或课件不存在！")},
        {Env.Write(QStringLiteral("media/bad.pibo"), "not a package"), QStringLiteral("载入音频文件失败！")},
        {Env.Write(QStringLiteral("media/bad.mp3"), "not an mp3"), QStringLiteral("载入音频文件失败！")},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteDictationFile(pps, c.source, {QStringLiteral("x@@##$$3")}));
        Screen->ImportAnswers(pps);
        EXPECT_EQ(Dialogs.Infos.last(), c.message) << c.source.toStdString();
    }
    EXPECT_EQ(Screen->MediaFile(), Env.File(QStringLiteral("temp/lesson.wav")));

    // A package: unpacked into temp/, its sentences take the answers.
    const QString package = QStringLiteral(PIBO_SAMPLE_AUDIO_LESSON);
    ASSERT_TRUE(WriteDictationFile(pps, package, {QStringLiteral("hello@@##$$2"), QStringLiteral("no count")}));
    Screen->ImportAnswers(pps);
    EXPECT_EQ(Dialogs.Infos.last(), QStringLiteral("导入文件成功！"));
    EXPECT_EQ(Screen->MediaFile(), Env.File(QStringLiteral("temp/") + QFileInfo(package).completeBaseName() + QStringLiteral(".wav")));
    ASSERT_GT(Screen->Grid->RowCount(), 2);
    EXPECT_EQ(Cell(1, 0), QStringLiteral("hello"));
    EXPECT_EQ(Cell(2, 0), QStringLiteral("2"));
    EXPECT_EQ(Cell(1, 1), QStringLiteral("no count"));
    EXPECT_EQ(Cell(2, 1), QStringLiteral("0"));
    EXPECT_EQ(Cell(1, 2), QString());
    EXPECT_EQ(Cell(3, 0), Screen->CheckRes.Items[0].Accuracy);
}

TEST_F(SingleSentence, MisspeltWordsAreMarkedByTheChecker)
{
    Open(true);
    ASSERT_TRUE(Screen->SpellListOpen());
    EXPECT_TRUE(DictationWordAccepted(*Screen->sscSpellCheck, QStringLiteral("spring")));
    EXPECT_FALSE(DictationWordAccepted(*Screen->sscSpellCheck, QStringLiteral("sprnig")));
}

TEST_F(SingleSentence, SplitterHoldsThePlayerStripWhileSoundPlaysAndRelaysTheGrid)
{
    QStringList many;
    for (int i = 1; i <= 16; ++i)
        many << QStringLiteral("Sentence %1.").arg(i);
    Open(false, many);
    ASSERT_NE(Screen->Splitter, nullptr);
    EXPECT_EQ(Screen->panContain->height(), 151);
    // Sixteen rows do not fit: the grid takes the panel's height.
    const int panel = Screen->panGridClient->height();
    ASSERT_EQ(Screen->Grid->height(), panel);

    // Row 0 plays on the test device: the strip keeps its height.
    ASSERT_TRUE(SystemPara.IsPlaying);
    EXPECT_FALSE(Screen->SplitterCanResize());
    DragSplitterHandle(Screen->Splitter, 40);
    EXPECT_EQ(Screen->panContain->height(), 151);
    EXPECT_EQ(Screen->panGridClient->height(), panel);

    // Stopped, it moves, and the grid is laid out again in the smaller panel.
    Screen->Transport()->psbStopClick();
    ASSERT_FALSE(SystemPara.IsPlaying);
    EXPECT_TRUE(Screen->SplitterCanResize());
    DragSplitterHandle(Screen->Splitter, 40);
    EXPECT_EQ(Screen->panContain->height(), 191);
    EXPECT_EQ(Screen->panGridClient->height(), panel - 40);
    EXPECT_EQ(Screen->Grid->height(), panel - 40);
    // Paused is not playing: it moves.
    Screen->PlayRow(0);
    ASSERT_TRUE(SystemPara.IsPlaying);
    Screen->Transport()->psbPauseClick();
    ASSERT_TRUE(Screen->AudioPlayer()->IsPaused());
    EXPECT_FALSE(SystemPara.IsPlaying);
    DragSplitterHandle(Screen->Splitter, -20);
    EXPECT_EQ(Screen->panContain->height(), 171);
}

TEST_F(SingleSentence, ExportAsksAboutTheFileReallyWritten)
{
    Open();
    SystemPara.FilePath = Wav;
    SetEditorText(Screen->Input, QStringLiteral("spring is warm"));
    const QByteArray written = StringToAnsi(Wav) + "\r\nspring is warm@@##$$1\r\n@@##$$0\r\n@@##$$0\r\n";
    const QByteArray old("old answers\r\n");
    struct Case {
        const char* name;
        const char* typed;          // the name given to the save dialog
        QStringList existing;       // files there before
        QList<bool> answers;        // to the overwrite question
        bool asked;
        bool overwritten;           // x.pps holds the new answers
    };
    const Case cases[] = {
        {"typed without extension over x.pps, yes", "x", {"x.pps"}, {true}, true, true},
        {"typed without extension over x.pps, no", "x", {"x.pps"}, {false}, true, false},
        {"another extension over x.pps", "x.txt", {"x.pps"}, {true}, true, true},
        {"a file named x only", "x", {"x"}, {}, false, true},
        {"nothing there", "x.pps", {}, {}, false, true},
    };
    int folder = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString dir = Env.File(QStringLiteral("export%1/").arg(++folder));
        ASSERT_TRUE(QDir().mkpath(dir));
        for (const QString& name : c.existing)
            Env.Write(QStringLiteral("export%1/").arg(folder) + name, old);
        const int questions = int(Dialogs.Questions.size());
        Dialogs.QuestionAnswers = c.answers;
        Dialogs.Files << dir + QString::fromUtf8(c.typed);
        Screen->sbExportClick();
        EXPECT_EQ(Dialogs.Questions.size(), questions + (c.asked ? 1 : 0));
        if (c.asked) {
            EXPECT_EQ(Dialogs.Questions.last(), QStringLiteral("此文件已经存在，确定要覆盖？"));
        }
        QFile pps(dir + QStringLiteral("x.pps"));
        if (c.overwritten) {
            ASSERT_TRUE(pps.open(QIODevice::ReadOnly));
            EXPECT_EQ(pps.readAll(), written);
        } else {
            ASSERT_TRUE(pps.open(QIODevice::ReadOnly));
            EXPECT_EQ(pps.readAll(), old);
        }
        // Only x.pps is written: the typed name itself stays as it was.
        for (const QString& name : c.existing) {
            if (name == QStringLiteral("x.pps"))
                continue;
            QFile other(dir + name);
            ASSERT_TRUE(other.open(QIODevice::ReadOnly));
            EXPECT_EQ(other.readAll(), old);
        }
    }
    EXPECT_TRUE(Dialogs.Infos.isEmpty());
    EXPECT_TRUE(Dialogs.Files.isEmpty());
}

TEST_F(SingleSentence, AFailedExportIsReportedAndKeepsTheOldFile)
{
    Open();
    SystemPara.FilePath = Wav;
    SetEditorText(Screen->Input, QStringLiteral("spring is warm"));
    // A name so long that no temporary file can be made beside it: the
    // answers cannot be written, whoever runs the test.
    const QString dir = Env.File(QStringLiteral("long/"));
    const QString name = QString(247, QLatin1Char('a')) + QStringLiteral(".pps");
    const QByteArray old("old answers\r\n");
    Env.Write(QStringLiteral("long/") + name, old);
    Dialogs.Files << dir + name;
    Dialogs.QuestionAnswers = {true};
    Screen->sbExportClick();
    EXPECT_EQ(Dialogs.Questions, QStringList{QStringLiteral("此文件已经存在，确定要覆盖？")});
    EXPECT_EQ(Dialogs.Infos, QStringList{QStringLiteral("导出文件失败！")});
    QFile file(dir + name);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), old);
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{name});
}

TEST_F(SingleSentence, ImportedLinesBeyondTheSentencesAreIgnored)
{
    Open();
    ASSERT_TRUE(QFile::copy(Env.File(QStringLiteral("media/lesson.plrc")), Env.File(QStringLiteral("temp/lesson.plrc"))));
    const QString pps = Env.File(QStringLiteral("more.pps"));
    // Five lines for three sentences; the first answer holds the separator
    // twice and comes back whole, its count read after the last one.
    ASSERT_TRUE(WriteDictationFile(pps, Wav,
                                   {QStringLiteral("spring@@##$$is@@##$$warm@@##$$4"), QStringLiteral("summer is hot@@##$$2"),
                                    QStringLiteral("autumn@@##$$1"), QStringLiteral("winter@@##$$9"),
                                    QStringLiteral("extra@@##$$7")}));
    Screen->ImportAnswers(pps);
    EXPECT_EQ(Dialogs.Infos.last(), QStringLiteral("导入文件成功！"));
    ASSERT_EQ(Screen->Grid->RowCount(), 3);
    ASSERT_EQ(Screen->CheckRes.Items.size(), 3);
    EXPECT_EQ(Cell(1, 0), QStringLiteral("spring@@##$$is@@##$$warm"));
    EXPECT_EQ(Cell(2, 0), QStringLiteral("4"));
    EXPECT_EQ(Screen->CheckRes.Items[0].Answer, QStringLiteral("spring@@##$$is@@##$$warm"));
    EXPECT_EQ(Cell(1, 1), QStringLiteral("summer is hot"));
    EXPECT_EQ(Cell(3, 1), QStringLiteral("100%"));
    EXPECT_EQ(Cell(1, 2), QStringLiteral("autumn"));
    EXPECT_EQ(Cell(2, 2), QStringLiteral("1"));
    EXPECT_EQ(Cell(3, 2), QStringLiteral("33%"));
    // Written again: the three rows only, the first answer whole.
    const QString again = Env.File(QStringLiteral("again.pps"));
    SystemPara.FilePath = Wav;
    ASSERT_TRUE(Screen->ExportAnswers(again));
    QString source;
    QStringList lines;
    ASSERT_TRUE(ReadDictationFile(again, source, lines));
    EXPECT_EQ(lines, (QStringList{QStringLiteral("spring@@##$$is@@##$$warm@@##$$4"), QStringLiteral("summer is hot@@##$$2"),
                                  QStringLiteral("autumn@@##$$1")}));
}

}  // namespace
