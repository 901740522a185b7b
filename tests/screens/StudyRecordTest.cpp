// The study records window: the four pages of the current user's rows, their
// order and formats, the column widths, deleting, playing saved sentences to
// the device and exporting their clips.

#include "AudioDevice.h"
#include "AudioPipeDXAudio.h"
#include "AudioPipesmpeg.h"
#include "ProgramFolder.h"
#include "TestAudioDevice.h"
#include "UAudioConverters.h"
#include "UDataInterface.h"
#include "UDataOperaterFun.h"
#include "UFrmSelectDir.h"
#include "UFrmStudyRecord.h"
#include "UPiboComponent.h"
#include "UPiboStringGrid.h"
#include "UStudyScreen.h"
#include "WindowsTestSupport.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QRegularExpression>
#include <QtCore/QTemporaryDir>
#include <QtGui/QMouseEvent>
#include <QtSql/QSqlQuery>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QStackedWidget>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QString Other = QStringLiteral("Other");

QDateTime At(int day, int hour, int minute = 0, int second = 0)
{
    return QDateTime(QDate(2026, 3, day), QTime(hour, minute, second, 789));
}

QStringList Row(const TPiboStringGrid* grid, int row, int firstCol = 1)
{
    QStringList cells;
    for (int c = firstCol; c < grid->ColCount(); ++c)
        cells << grid->GetCells(c, row);
    return cells;
}

void Click(QWidget* target, QPoint pos)
{
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        const Qt::MouseButtons buttons = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
        QMouseEvent event(type, QPointF(pos), target->mapToGlobal(QPointF(pos)), Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(target, &event);
    }
}

// A click where the user sees the widget: at its centre, on the child drawn
// there.
void ClickCentre(QWidget* widget)
{
    ASSERT_TRUE(widget->isVisible()) << widget->objectName().toStdString();
    const QPoint centre = widget->rect().center();
    QWidget* target = widget->childAt(centre);
    if (!target)
        target = widget;
    QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, target->mapFrom(widget, centre));
    ProcessEvents();
}

// The rows a page shows: none while its grid is hidden.
int ShownRows(const TPiboStringGrid* grid)
{
    return grid->isHidden() ? 0 : grid->RowCount();
}

int Count(const QString& table)
{
    QSqlQuery query(DataInterface->Connection());
    EXPECT_TRUE(query.exec(QStringLiteral("select count(*) from ") + table));
    return query.next() ? query.value(0).toInt() : -1;
}

class StudyRecordTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Sys.SetAdvanceOnPosition(5);
        SetAudioSystem(&Sys);
    }

    void TearDown() override
    {
        Form.reset();
        ProcessEvents();
        SetAudioSystem(nullptr);
    }

    void Open()
    {
        Form = std::make_unique<TFrmStudyRecord>();
        Form->DXAudioOut->SetPollingInterval(2);
        Form->show();
        ProcessEvents();
    }

    // An MP3 clip of a tone of the given length, made once per length.
    QString Clip(int ms)
    {
        const QString mp3 = ClipDir.filePath(QStringLiteral("clip%1.mp3").arg(ms));
        if (!QFile::exists(mp3)) {
            const QString wav = ClipDir.filePath(QStringLiteral("clip%1.wav").arg(ms));
            WriteToneWave(wav, ms);
            TAudioConverters converter;
            EXPECT_TRUE(converter.Convert(TAudioConverters::cmWavToMp3, wav, mp3)) << converter.LastError().toStdString();
        }
        return mp3;
    }

    void AddSentence(const QString& user, const QString& english, const QString& china, const QString& mp3 = {})
    {
        TSentenceList sentence;
        sentence.Name = user;
        sentence.FileName = QStringLiteral("第一课.wav");
        sentence.English = english;
        sentence.China = china;
        sentence.Mp3File = mp3;
        sentence.OperateTime = At(1, 8);
        ASSERT_TRUE(AddSentenceList(sentence));
    }

    // Clicks an icon of the sentence page: the row becomes current, then the
    // release on the icon acts.
    void ClickSentenceIcon(int col, int row)
    {
        TPiboStringGrid* grid = Form->SentenceGrid;
        const QRect cell = grid->CellRect(col, row);
        const QRect icon = col == 1 ? Form->WaveIconRect(cell) : Form->DeleteIconRect(cell);
        Click(grid->viewport(), icon.center());
    }

    bool WaitIdle()
    {
        return WaitFor([this] { return Form->DXAudioOut->GetOutputState() == aosIdle; });
    }

    TWindowTestEnvironment Env;  // the current user is "O'Brien 小明"
    TDialogRecorder Dialogs;
    TTestAudioSystem Sys{2};
    QTemporaryDir ClipDir;
    std::unique_ptr<TFrmStudyRecord> Form;
};

TEST_F(StudyRecordTest, EachPageShowsOnlyTheCurrentUsersRowsInOrderAndFormat)
{
    const QString me = SystemPara.UserInfo.UserName;
    for (const auto& [user, day, accuracy] :
         {std::tuple{me, 2, "80%"}, std::tuple{Other, 9, "10%"}, std::tuple{me, 5, "100%"}}) {
        TSingleDictateRecord record{user, QString::fromLatin1(accuracy), At(day, 13, 4, 5), 61, QStringLiteral("第一课")};
        ASSERT_TRUE(AddSingleDictateRecord(record));
    }
    for (const auto& [user, day, content] : {std::tuple{me, 3, "Good morning."}, std::tuple{Other, 4, "Hi."},
                                             std::tuple{me, 1, "See you."}}) {
        TStudySpeakRecord record{user, At(day, 9, 30), 7, 12345, QString::fromLatin1(content)};
        ASSERT_TRUE(AddStudySpeakRecord(record));
    }
    for (const auto& [user, day, sentence] :
         {std::tuple{me, 6, "It is warm."}, std::tuple{me, 7, "Spring comes."}, std::tuple{Other, 8, "No."}}) {
        TTranslateRecord record{user, 3, 5, QStringLiteral("67%"), QString::fromLatin1(sentence), At(day, 22, 0, 1), 12,
                                QStringLiteral("第一课-谈季节")};
        ASSERT_TRUE(AddTransferRecord(record));
    }
    AddSentence(me, QStringLiteral("Spring is here."), QStringLiteral("春天来了。"));
    AddSentence(Other, QStringLiteral("Not mine."), QStringLiteral("不是我的。"));
    AddSentence(me, QStringLiteral("It's hot."), QStringLiteral("天很热。"));

    Open();
    EXPECT_EQ(Form->nbMain->currentIndex(), TFrmStudyRecord::pgListen);
    EXPECT_EQ(Form->labButtonTitle->text(), QStringLiteral("单句听写"));
    EXPECT_FALSE(Form->psbListen->ButtonEnabled());
    EXPECT_TRUE(Form->psbSpeak->ButtonEnabled());

    ASSERT_EQ(Form->ListenGrid->RowCount(), 2);
    EXPECT_EQ(Row(Form->ListenGrid, 0),
              (QStringList{"1", "2026-03-05 13:04:05", "61", "100%", QStringLiteral("第一课")}));
    EXPECT_EQ(Row(Form->ListenGrid, 1), (QStringList{"2", "2026-03-02 13:04:05", "61", "80%", QStringLiteral("第一课")}));
    EXPECT_EQ(Form->ListenIds, (QStringList{"3", "1"}));

    ASSERT_EQ(Form->SpeakGrid->RowCount(), 2);
    EXPECT_EQ(Row(Form->SpeakGrid, 0), (QStringList{"1", "2026-03-03 09:30:00", "12345", "7", "Good morning."}));
    EXPECT_EQ(Row(Form->SpeakGrid, 1), (QStringList{"2", "2026-03-01 09:30:00", "12345", "7", "See you."}));

    ASSERT_EQ(Form->TransferGrid->RowCount(), 2);
    EXPECT_EQ(Row(Form->TransferGrid, 0), (QStringList{"1", "3", "5", "67%", "Spring comes.", "2026-03-07 22:00:01",
                                                       QStringLiteral("第一课-谈季节"), "12"}));
    EXPECT_EQ(Form->TransferIds, (QStringList{"2", "1"}));

    ASSERT_EQ(Form->SentenceGrid->RowCount(), 2);
    EXPECT_EQ(Row(Form->SentenceGrid, 0, 2), (QStringList{"(1)", "Spring is here.", QStringLiteral("春天来了。"), ""}));
    EXPECT_EQ(Row(Form->SentenceGrid, 1, 2), (QStringList{"(2)", "It's hot.", QStringLiteral("天很热。"), ""}));
    EXPECT_EQ(Form->SentenceIds, (QStringList{"1", "3"}));

    Form->psbTransfer->PerformClick();
    EXPECT_EQ(Form->nbMain->currentIndex(), TFrmStudyRecord::pgTransfer);
    EXPECT_EQ(Form->labButtonTitle->text(), QStringLiteral("翻译训练"));
    EXPECT_FALSE(Form->psbTransfer->ButtonEnabled());
    EXPECT_TRUE(Form->psbListen->ButtonEnabled());
    // A disabled menu button marks the open page and does nothing.
    Form->psbTransfer->PerformClick();
    EXPECT_EQ(Form->nbMain->currentIndex(), TFrmStudyRecord::pgTransfer);
    Form->psbSentence->PerformClick();
    EXPECT_EQ(Form->labButtonTitle->text(), QStringLiteral("句型"));
    EXPECT_EQ(Form->nbMain->currentIndex(), TFrmStudyRecord::pgSentence);
}

TEST_F(StudyRecordTest, TheLastColumnGivesWayToTheScrollBarFromTwelveRows)
{
    const QString me = SystemPara.UserInfo.UserName;
    struct {
        int Rows;
        int Listen, Speak, Transfer, Sentence;
    } const cases[] = {{0, 274, 274, 62, 236}, {11, 274, 274, 62, 236}, {12, 257, 257, 45, 219}};
    int have = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Rows);
        for (; have < c.Rows; ++have) {
            ASSERT_TRUE(AddSingleDictateRecord({me, "50%", At(1, 1, have), 1, "k"}));
            ASSERT_TRUE(AddStudySpeakRecord({me, At(1, 1, have), 1, 1, "c"}));
            ASSERT_TRUE(AddTransferRecord({me, 1, 1, "50%", "s", At(1, 1, have), 1, "k"}));
            AddSentence(me, "e", QStringLiteral("中"));
        }
        Open();
        // Without records a page shows no row at all.
        for (const TPiboStringGrid* grid :
             {Form->ListenGrid, Form->SpeakGrid, Form->TransferGrid, Form->SentenceGrid})
            EXPECT_EQ(ShownRows(grid), c.Rows);
        EXPECT_EQ(Form->ListenIds.size(), c.Rows);
        EXPECT_EQ(Form->SentenceIds.size(), c.Rows);
        EXPECT_EQ(Form->ListenGrid->ColWidths(5), c.Listen);
        EXPECT_EQ(Form->SpeakGrid->ColWidths(5), c.Speak);
        EXPECT_EQ(Form->TransferGrid->ColWidths(8), c.Transfer);
        EXPECT_EQ(Form->SentenceGrid->ColWidths(4), c.Sentence);
        Form.reset();
    }
}

TEST_F(StudyRecordTest, DeletingAsksOnceAndNoChangesNothing)
{
    const QString me = SystemPara.UserInfo.UserName;
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(AddTransferRecord({me, 1, 1, "50%", QStringLiteral("s%1").arg(i), At(1 + i, 1), 1, "k"}));
    ASSERT_TRUE(AddTransferRecord({Other, 1, 1, "50%", "theirs", At(9, 1), 1, "k"}));
    AddSentence(me, "one", QStringLiteral("一"));
    AddSentence(me, "two", QStringLiteral("二"));
    Open();
    Form->psbTransfer->PerformClick();
    TPiboStringGrid* grid = Form->TransferGrid;
    ASSERT_EQ(Form->TransferIds, (QStringList{"3", "2", "1"}));
    const QPoint glyph = TPiboStringGrid::CheckBoxRect(grid->CellRect(0, 1)).center();

    Dialogs.QuestionAnswers = {false};
    Click(grid->viewport(), glyph);
    EXPECT_EQ(Dialogs.Questions, QStringList{QStringLiteral("确定要删除？")});
    EXPECT_EQ(Count("transferrecord"), 4);
    EXPECT_EQ(grid->RowCount(), 3);

    Dialogs.QuestionAnswers = {true};
    Click(grid->viewport(), glyph);
    EXPECT_EQ(Dialogs.Questions.size(), 2);
    EXPECT_EQ(Count("transferrecord"), 3);
    EXPECT_EQ(Form->TransferIds, (QStringList{"3", "1"}));
    EXPECT_EQ(grid->RowCount(), 2);
    EXPECT_EQ(grid->GetCells(5, 1), QStringLiteral("s0"));

    // The sentence page deletes through its own icon.
    Form->psbSentence->PerformClick();
    Dialogs.QuestionAnswers = {true};
    ClickSentenceIcon(5, 0);
    EXPECT_EQ(Dialogs.Questions.size(), 3);
    EXPECT_EQ(Form->SentenceIds, QStringList{"2"});
    EXPECT_EQ(Form->SentenceGrid->GetCells(3, 0), QStringLiteral("two"));

    // The last row goes and the page shows none; the blank row the grid
    // keeps asks nothing.
    ClickSentenceIcon(5, 0);
    EXPECT_EQ(Dialogs.Questions.size(), 4);
    EXPECT_TRUE(Form->SentenceIds.isEmpty());
    EXPECT_EQ(ShownRows(Form->SentenceGrid), 0);
    EXPECT_EQ(Form->SentenceGrid->GetCells(3, 0), QString());
    ClickSentenceIcon(5, 0);
    ClickSentenceIcon(1, 0);
    EXPECT_EQ(Dialogs.Questions.size(), 4);
    EXPECT_EQ(Count("sentencelist"), 0);
    EXPECT_TRUE(Dialogs.Infos.isEmpty());
}

TEST_F(StudyRecordTest, PagesWithoutRecordsShowNoRowAndNoDeleteIcon)
{
    Open();
    const QColor page = Form->panListen->palette().color(QPalette::Window);
    for (const auto& [button, grid] : {std::pair{Form->psbListen, Form->ListenGrid},
                                       std::pair{Form->psbSpeak, Form->SpeakGrid},
                                       std::pair{Form->psbTransfer, Form->TransferGrid},
                                       std::pair{Form->psbSentence, Form->SentenceGrid}}) {
        if (button->ButtonEnabled())
            ClickCentre(button);
        QWidget* shown = Form->nbMain->currentWidget();
        SCOPED_TRACE(shown->objectName().toStdString());
        // Where the first row would be, the page is plain white: no focus
        // colour, no delete glyph, no check box.
        const QRect firstRow(grid->geometry().topLeft(), QSize(grid->width(), grid->RowHeights(0)));
        const QImage image = shown->grab(firstRow).toImage();
        int other = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                other += QColor(image.pixel(x, y)) != page;
        EXPECT_EQ(other, 0);
    }
    EXPECT_EQ(ShownRows(Form->ListenGrid) + ShownRows(Form->SpeakGrid) + ShownRows(Form->TransferGrid) +
                  ShownRows(Form->SentenceGrid),
              0);
}

TEST_F(StudyRecordTest, DeletingASentenceKeepsTheCheckMarksOnTheirSentences)
{
    const QString me = SystemPara.UserInfo.UserName;
    const QStringList english = {"one", "two", "three", "four", "five"};
    for (int i = 0; i < english.size(); ++i)
        AddSentence(me, english.at(i), QStringLiteral("句"), Clip(100 * (i + 1)));
    Open();
    ClickCentre(Form->psbSentence);
    ASSERT_EQ(Form->nbMain->currentIndex(), TFrmStudyRecord::pgSentence);
    TPiboStringGrid* grid = Form->SentenceGrid;
    const auto checked = [grid, this] {
        QStringList texts;
        for (int r = 0; r < Form->SentenceIds.size(); ++r)
            if (grid->GetRowChecked(r))
                texts << grid->GetCells(3, r);
        return texts;
    };
    // The user checks "two" and "four", then deletes "one" and "three".
    for (int row : {1, 3})
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier,
                          TPiboStringGrid::CheckBoxRect(grid->CellRect(0, row)).center());
    ASSERT_EQ(checked(), (QStringList{"two", "four"}));
    Dialogs.QuestionAnswers = {true, true};
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier,
                      Form->DeleteIconRect(grid->CellRect(5, 0)).center());
    ASSERT_EQ(Form->SentenceIds.size(), 4);
    EXPECT_EQ(checked(), (QStringList{"two", "four"}));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier,
                      Form->DeleteIconRect(grid->CellRect(5, 1)).center());
    ASSERT_EQ(Form->SentenceIds.size(), 3);
    EXPECT_EQ(checked(), (QStringList{"two", "four"}));
    EXPECT_EQ(grid->GetCells(2, 2), QStringLiteral("(3)"));
    EXPECT_EQ(Dialogs.Questions.size(), 2);

    // 导出 writes the clips of exactly those two sentences.
    QTemporaryDir target;
    WhenModalShown([&target](QWidget* modal) {
        auto* picker = qobject_cast<TFrmSelectDir*>(modal);
        ASSERT_NE(picker, nullptr);
        auto* item = new QTreeWidgetItem(picker->tvDir, QStringList{QStringLiteral("target")});
        item->setData(0, TFrmSelectDir::PathRole, target.path());
        picker->tvDir->setCurrentItem(item);
        picker->ppsbOk->PerformClick();
    });
    ClickCentre(Form->sbExport);
    EXPECT_EQ(Dialogs.Infos, QStringList{QStringLiteral("导出MP3文件完成！")});
    const QStringList files = QDir(target.path()).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 2);
    for (int i = 0; i < 2; ++i) {
        QFile exported(target.filePath(files.at(i)));
        QFile clip(Clip(i == 0 ? 200 : 400));
        ASSERT_TRUE(exported.open(QIODevice::ReadOnly) && clip.open(QIODevice::ReadOnly));
        EXPECT_EQ(exported.readAll(), clip.readAll()) << files.at(i).toStdString();
    }
}

TEST_F(StudyRecordTest, TextCellsShowTheStartOfTheirSentence)
{
    const QString me = SystemPara.UserInfo.UserName;
    const QString longText =
        QStringLiteral("We are going to talk about the four seasons of the year and what people like to do in each");
    ASSERT_TRUE(AddStudySpeakRecord({me, At(1, 1), 1, 1, longText}));
    AddSentence(me, longText, QStringLiteral("我们要谈一谈一年的四个季节，以及人们在每个季节里喜欢做的事情，还有更多"));
    Open();
    for (const auto& [button, grid, col] : {std::tuple{Form->psbSpeak, Form->SpeakGrid, 5},
                                            std::tuple{Form->psbSentence, Form->SentenceGrid, 3},
                                            std::tuple{Form->psbSentence, Form->SentenceGrid, 4}}) {
        SCOPED_TRACE(col);
        if (button->ButtonEnabled())
            ClickCentre(button);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, grid->CellRect(col, 0).center());
        ProcessEvents();
        TInplaceEdit* editor = grid->InplaceEdit();
        ASSERT_TRUE(editor && editor->isVisible());
        ASSERT_EQ(editor->text(), grid->GetCells(col, 0));
        ASSERT_GT(editor->fontMetrics().horizontalAdvance(editor->text()), editor->width());
        EXPECT_EQ(editor->cursorPosition(), 0);
        EXPECT_LT(editor->inputMethodQuery(Qt::ImCursorRectangle).toRect().left(), 8);
    }
}

TEST_F(StudyRecordTest, TextColumnsEditInPlaceWithoutWritingBackAndIconsShowTheHand)
{
    const QString me = SystemPara.UserInfo.UserName;
    ASSERT_TRUE(AddTransferRecord({me, 2, 3, "50%", "Two words", At(1, 1), 4, "k"}));
    AddSentence(me, "one", QStringLiteral("一"));
    Open();
    Form->psbTransfer->PerformClick();
    TPiboStringGrid* grid = Form->TransferGrid;
    Click(grid->viewport(), grid->CellRect(5, 0).center());
    EXPECT_TRUE(grid->Options() & goEditing);
    EXPECT_TRUE(grid->EditorMode());
    Click(grid->viewport(), grid->CellRect(3, 0).center());
    EXPECT_FALSE(grid->Options() & goEditing);
    EXPECT_FALSE(grid->EditorMode());
    grid->SetCells(5, 0, QStringLiteral("changed"));
    Form->LoadPage(TFrmStudyRecord::pgTransfer);
    EXPECT_EQ(grid->GetCells(5, 0), QStringLiteral("Two words"));
    EXPECT_EQ(Count("transferrecord"), 1);

    Form->psbSentence->PerformClick();
    TPiboStringGrid* sentences = Form->SentenceGrid;
    const auto cursorAt = [sentences](QPoint at) {
        QMouseEvent move(QEvent::MouseMove, QPointF(at), sentences->viewport()->mapToGlobal(QPointF(at)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(sentences->viewport(), &move);
        return sentences->CursorShape();
    };
    EXPECT_EQ(cursorAt(Form->WaveIconRect(sentences->CellRect(1, 0)).center()), Qt::PointingHandCursor);
    EXPECT_EQ(cursorAt(Form->DeleteIconRect(sentences->CellRect(5, 0)).center()), Qt::PointingHandCursor);
    EXPECT_EQ(cursorAt(sentences->CellRect(3, 0).center()), Qt::ArrowCursor);
    EXPECT_EQ(cursorAt(TPiboStringGrid::CheckBoxRect(sentences->CellRect(0, 0)).center()), Qt::PointingHandCursor);
}

TEST_F(StudyRecordTest, ASavedSentencePlaysToTheDeviceAndOneWithoutAClipSaysSo)
{
    const QString me = SystemPara.UserInfo.UserName;
    AddSentence(me, "no clip", QStringLiteral("没有"));
    AddSentence(me, "with clip", QStringLiteral("有"), Clip(1000));
    Open();
    Form->psbSentence->PerformClick();

    ClickSentenceIcon(1, 0);
    EXPECT_EQ(Dialogs.Infos, QStringList{QStringLiteral("没有可播放的音频！")});
    EXPECT_EQ(Form->DXAudioOut->GetOutputState(), aosIdle);

    Dialogs.Infos.clear();
    ClickSentenceIcon(1, 1);
    EXPECT_EQ(Form->SentenceGrid->Row(), 1);
    EXPECT_TRUE(Dialogs.Infos.isEmpty());
    ASSERT_TRUE(WaitIdle());
    EXPECT_FALSE(Form->DXAudioOut->RunFailed()) << Form->DXAudioOut->LastErrorText().toStdString();
    // One second of 8 kHz 16-bit mono, give or take the encoder's padding.
    const QByteArray played = Sys.Played(0);
    EXPECT_GE(played.size(), 15000);
    EXPECT_LE(played.size(), 24000);
    EXPECT_EQ(Sys.OpenStreamCount(), 0);
}

TEST_F(StudyRecordTest, PlayingAnotherSentenceStopsTheOneThatPlays)
{
    const QString me = SystemPara.UserInfo.UserName;
    AddSentence(me, "long", QStringLiteral("长"), Clip(3000));
    AddSentence(me, "short", QStringLiteral("短"), Clip(500));
    Sys.SetAdvanceOnPosition(0);  // the first clip cannot end by itself
    Open();
    Form->PlaySentence(0);
    EXPECT_EQ(Form->DXAudioOut->GetOutputState(), aosBusy);

    Sys.SetAdvanceOnPosition(5);
    Sys.ClearPlayed();
    Form->PlaySentence(1);
    EXPECT_TRUE(Dialogs.Infos.isEmpty());
    ASSERT_TRUE(WaitIdle());
    EXPECT_FALSE(Form->DXAudioOut->RunFailed());
    // Only the second clip played: half a second, not three.
    const QByteArray played = Sys.Played(0);
    EXPECT_GE(played.size(), 7000);
    EXPECT_LE(played.size(), 14000);
}

// An output whose stopped run never lets go (the device hangs in a call) is
// waited for only so long: the new sentence is refused with "播放音频失败！"
// and the clip the output still reads stays in place. Once the device comes
// back the output ends its run and the next click plays.
TEST_F(StudyRecordTest, AnOutputThatStaysBusyAfterItsStopRefusesTheNextClipAndKeepsTheFile)
{
    const QString me = SystemPara.UserInfo.UserName;
    AddSentence(me, "long", QStringLiteral("长"), Clip(3000));
    AddSentence(me, "short", QStringLiteral("短"), Clip(500));
    Sys.SetAdvanceOnPosition(0);  // the first clip cannot end by itself
    Open();
    Form->StopWait = 0;  // the bound runs out at the first pass of the wait
    const QString playing = ProgramFolder() + QStringLiteral("temp/PiboTempRecordSentence.mp3");

    // The output's worker asks the device for its position and never returns.
    Sys.HoldNextCall(TTestAudioCall::GetPosition);
    struct TRelease {
        TTestAudioSystem& System;
        ~TRelease() { System.ReleaseHold(); }
    } release{Sys};
    Form->PlaySentence(0);
    ASSERT_TRUE(Sys.WaitUntilHeld());
    const QByteArray first = [&playing] {
        QFile f(playing);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    ASSERT_FALSE(first.isEmpty());

    Form->PlaySentence(1);
    EXPECT_EQ(Dialogs.Infos, QStringList{QStringLiteral("播放音频失败！")});
    EXPECT_EQ(Form->DXAudioOut->GetOutputState(), aosBusy);
    QFile kept(playing);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), first);
    kept.close();

    Sys.ReleaseHold();
    ASSERT_TRUE(WaitIdle());
    Dialogs.Infos.clear();
    Sys.SetAdvanceOnPosition(5);
    Sys.ClearPlayed();
    Form->PlaySentence(1);
    EXPECT_TRUE(Dialogs.Infos.isEmpty());
    ASSERT_TRUE(WaitIdle());
    EXPECT_FALSE(Form->DXAudioOut->RunFailed()) << Form->DXAudioOut->LastErrorText().toStdString();
    const QByteArray played = Sys.Played(0);
    EXPECT_GE(played.size(), 7000);
    EXPECT_LE(played.size(), 14000);
}

TEST_F(StudyRecordTest, ExportWritesTheCheckedClipsUnderOneTimeStamp)
{
    const QString me = SystemPara.UserInfo.UserName;
    for (int i = 1; i <= 5; ++i)
        AddSentence(me, QStringLiteral("s%1").arg(i), QStringLiteral("句"), i == 2 ? QString() : Clip(300));
    Open();
    Form->psbSentence->PerformClick();

    Form->sbExportClick();
    EXPECT_EQ(Dialogs.Infos, QStringList{QStringLiteral("请选择要导出的句子！")});

    QTemporaryDir target;
    const auto chooseFolder = [&target]() {
        WhenModalShown([&target](QWidget* modal) {
            auto* picker = qobject_cast<TFrmSelectDir*>(modal);
            ASSERT_NE(picker, nullptr);
            auto* item = new QTreeWidgetItem(picker->tvDir, QStringList{QStringLiteral("target")});
            item->setData(0, TFrmSelectDir::PathRole, target.path());
            picker->tvDir->setCurrentItem(item);
            picker->ppsbOk->PerformClick();
        });
    };
    for (const int row : {0, 3, 4})
        Form->SentenceGrid->SetRowChecked(row, true);
    Dialogs.Infos.clear();
    chooseFolder();
    Form->sbExportClick();
    EXPECT_EQ(Dialogs.Infos, QStringList{QStringLiteral("导出MP3文件完成！")});
    QStringList files = QDir(target.path()).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 3);
    const QRegularExpression name(QStringLiteral("^Export_(\\d{14})_(\\d)\\.mp3$"));
    QStringList stamps, numbers;
    for (const QString& file : files) {
        const QRegularExpressionMatch match = name.match(file);
        ASSERT_TRUE(match.hasMatch()) << file.toStdString();
        stamps << match.captured(1);
        numbers << match.captured(2);
    }
    EXPECT_EQ(numbers, (QStringList{"1", "4", "5"}));
    EXPECT_EQ(stamps.count(stamps.first()), 3);
    QFile exported(target.filePath(files.first()));
    QFile clip(Clip(300));
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly) && clip.open(QIODevice::ReadOnly));
    EXPECT_EQ(exported.readAll(), clip.readAll());

    // A checked row without a clip makes the export a failure.
    for (const QString& file : files)
        QFile::remove(target.filePath(file));
    Form->SentenceGrid->SetRowChecked(1, true);
    Dialogs.Infos.clear();
    chooseFolder();
    Form->sbExportClick();
    EXPECT_EQ(Dialogs.Infos, QStringList{QStringLiteral("导出MP3文件失败！")});
    EXPECT_EQ(QDir(target.path()).entryList(QDir::Files).size(), 3);
}

TEST_F(StudyRecordTest, TheMainWindowCreatesItByName)
{
    RegisterStudyScreens();
    std::unique_ptr<TForm> form(CreateRegisteredForm(QStringLiteral("FrmStudyRecord"), nullptr));
    EXPECT_NE(qobject_cast<TFrmStudyRecord*>(form.get()), nullptr);
}

}  // namespace
