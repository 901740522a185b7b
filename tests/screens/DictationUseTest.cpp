// The dictation screens driven as the learner drives them: clicks where the
// controls are drawn, keys through the keyboard. "完成提交" on every screen,
// saving from the check dialogs into the study records, the "校对" column,
// the answer editor, importing answers, the hot keys and Tab. Also the
// skinned select and loop boxes of the browse and speak screens, which sit
// in a bar laid out the same way.

#include "ScreensTestSupport.h"

#include "HotKeys.h"
#include "UDataInterface.h"
#include "UDataOperaterFun.h"
#include "UDictationEditor.h"
#include "UDictationFiles.h"
#include "UFrmBrowseRecite.h"
#include "UFrmFreeCheck.h"
#include "UFrmFreeSentence.h"
#include "UFrmSingleCheck.h"
#include "UFrmSingleSentence.h"
#include "UFrmStudyRecord.h"
#include "UFrmStudySpeak.h"
#include "UFrmVFreeSentence.h"
#include "UFrmVSingleSentence.h"
#include "UPiboAudioPlay.h"
#include "UPiboComponent.h"
#include "UPiboStringGrid.h"
#include "USentenceScreen.h"
#include "UStudyTransport.h"
#include "VideoFixtures.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtSql/QSqlQuery>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QStackedWidget>
#include <QtWidgets/QToolButton>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace dictation_use {

// Where w is drawn: visible, not empty, inside its window and not covered
// there by another control. Empty when all holds, else what does not.
QString WhereDrawn(const QWidget* w)
{
    if (!w->isVisible())
        return QStringLiteral("hidden");
    if (w->width() <= 0 || w->height() <= 0)
        return QStringLiteral("empty");
    const QWidget* window = w->window();
    const QRect inWindow(w->mapTo(window, QPoint(0, 0)), w->size());
    if (!window->rect().contains(inWindow))
        return QStringLiteral("outside its window");
    const QWidget* top = window->childAt(inWindow.center());
    if (top != w && !w->isAncestorOf(top))
        return QStringLiteral("covered by ") + (top ? top->objectName() : QStringLiteral("nothing"));
    return QString();
}

// A left click at the centre of w, once w is seen to be drawn there. The
// click goes to the control the pointer is over: w or a child covering it.
void ClickCentre(QWidget* w)
{
    ASSERT_EQ(WhereDrawn(w), QString()) << w->objectName().toStdString();
    const QPoint centre = w->rect().center();
    QWidget* target = w->childAt(centre) ? w->childAt(centre) : w;
    QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, target->mapFrom(w, centre));
}

// A left click into a grid cell, where the cell is drawn.
void ClickCell(TPiboStringGrid* grid, int col, int row)
{
    ASSERT_EQ(WhereDrawn(grid), QString());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, grid->CellRect(col, row).center());
}

int RecordCount()
{
    QSqlQuery query(DataInterface->Connection());
    EXPECT_TRUE(query.exec(QStringLiteral("select count(*) from singledictaterecord")));
    return query.next() ? query.value(0).toInt() : -1;
}

// Runs the next queued step on each check dialog that shows; the step drives
// the dialog (its buttons are clicked where they are drawn).
class TCheckDialogSteps : public QObject {
public:
    TCheckDialogSteps() { qApp->installEventFilter(this); }
    ~TCheckDialogSteps() override { qApp->removeEventFilter(this); }
    QList<std::function<void(TFrmCheckWindow*)>> Steps;
    QStringList Shown;  // the class names of the dialogs, in order

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* dialog = event->type() == QEvent::Show ? qobject_cast<TFrmCheckWindow*>(watched) : nullptr;
        if (dialog) {
            Shown << QString::fromLatin1(dialog->metaObject()->className());
            QPointer<TFrmCheckWindow> guard(dialog);
            auto step = Steps.isEmpty() ? std::function<void(TFrmCheckWindow*)>() : Steps.takeFirst();
            QTimer::singleShot(0, this, [guard, step] {
                if (!guard)
                    return;
                if (step)
                    step(guard);
                // Whatever the step left open goes with "返回听写".
                if (guard && guard->isVisible() && guard->ppsbCancel->isVisible())
                    ClickCentre(guard->ppsbCancel);
            });
        }
        return QObject::eventFilter(watched, event);
    }
};

// Hands the hot keys registered on it to a screen, as the main window does.
class THotKeyForwarder : public QWidget {
public:
    explicit THotKeyForwarder(TStudyScreen* screen) : FScreen(screen) {}

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == THotKeyEvent::EventType()) {
            FScreen->HandleHotKey(static_cast<THotKeyEvent*>(event)->Id());
            return true;
        }
        return QWidget::event(event);
    }

private:
    TStudyScreen* FScreen;
};

const QByteArray UseClipSubtitle("1\r\n00:00:00,000 --> 00:00:01,000\r\nRed is warm\r\n红\r\n\r\n"
                                 "2\r\n00:00:01,000 --> 00:00:02,000\r\nGreen is cool\r\n绿\r\n\r\n"
                                 "3\r\n00:00:02,000 --> 00:00:03,000\r\nBlue is cold\r\n蓝\r\n\r\n");

}  // namespace dictation_use

using namespace dictation_use;

class DictationUse : public TScreenTest {
protected:
    void FreeScreen() override { Screen.reset(); }

    // A lesson of three sentences "Sentence 1" .. "Sentence 3" at name in media/.
    QString AudioLesson(const QString& name = QStringLiteral("lesson.wav"))
    {
        const QString wav = Env.File(QStringLiteral("media/") + name);
        QDir().mkpath(Env.File(QStringLiteral("media")));
        WriteToneLesson(wav, {600, 600, 600});
        return wav;
    }
    QString VideoLesson()
    {
        const QString video = Env.File(QStringLiteral("media/clip.avi"));
        QDir().mkpath(Env.File(QStringLiteral("media")));
        if (!QFile::exists(video)) {
            EXPECT_TRUE(QFile::copy(VideoFixtures::File(QStringLiteral("rgb.avi")), video));
        }
        Env.Write(QStringLiteral("media/clip.srt"), UseClipSubtitle);
        return video;
    }
    // Shows screen (the clock stopped) on media at a usual size, active.
    void Show(TDictationScreen* screen, const QString& media)
    {
        Screen.reset(screen);
        screen->Timer->stop();
        screen->SetMediaFile(media);
        screen->resize(1000, 700);
        screen->show();
        QApplication::setActiveWindow(screen);
        ProcessEvents();
        ASSERT_EQ(screen->SentenceCount(), 3);
    }
    TSingleDictationScreen* Single() const { return static_cast<TSingleDictationScreen*>(Screen.get()); }
    QString Cell(int col, int row) const { return Single()->Grid->GetCells(col, row); }
    // Types text into the single screen's answer editor, which has the focus.
    void Type(const QString& text)
    {
        ASSERT_TRUE(Single()->InputWidget->hasFocus());
        QTest::keyClicks(Single()->InputWidget, text);
    }

    std::unique_ptr<TDictationScreen> Screen;
};

// "完成提交" is drawn on each of the four dictation screens and a click on it
// opens the screen's check dialog, which shows "保存退出" and "返回听写".
TEST_F(DictationUse, SubmitIsShownAndOpensTheCheckDialogOnEveryScreen)
{
    const struct {
        const char* name;
        std::function<TDictationScreen*()> make;
        bool video;
        const char* dialog;
    } cases[] = {
        {"audio single", [] { return new TFrmSingleSentence; }, false, "TFrmSingleCheck"},
        {"video single", [] { return new TFrmVSingleSentence; }, true, "TFrmSingleCheck"},
        {"audio free", [] { return new TFrmFreeSentence; }, false, "TFrmFreeCheck"},
        {"video free", [] { return new TFrmVFreeSentence; }, true, "TFrmFreeCheck"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Show(c.make(), c.video ? VideoLesson() : AudioLesson());
        for (QWidget* w : std::initializer_list<QWidget*>{Screen->PiboSpeedButton1, Screen->sbImport,
                                                          Screen->sbExport, Screen->sbClear, Screen->labTime})
            EXPECT_EQ(WhereDrawn(w), QString()) << w->objectName().toStdString();
        EXPECT_EQ(Screen->PiboSpeedButton1->objectName(), QStringLiteral("PiboSpeedButton1"));
        EXPECT_EQ(Screen->PiboSpeedButton1->size(), QSize(79, 23));
        EXPECT_EQ(Screen->PiboSpeedButton1->Caption(), QStringLiteral("完成提交"));

        TCheckDialogSteps steps;
        QString save, cancel;
        steps.Steps << [&](TFrmCheckWindow* dialog) {
            save = WhereDrawn(dialog->ppsbSave);
            cancel = WhereDrawn(dialog->ppsbCancel);
        };
        ClickCentre(Screen->PiboSpeedButton1);
        ProcessEvents();
        EXPECT_EQ(steps.Shown, QStringList{QString::fromLatin1(c.dialog)});
        EXPECT_EQ(save, QString());
        EXPECT_EQ(cancel, QString());
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        Screen.reset();
        ProcessEvents();
    }
}

// "保存退出" after "完成提交" writes one row per click, which the records
// window's "单句听写" page lists; "返回听写" writes nothing.
TEST_F(DictationUse, SavingTheCheckWritesOneRecordPerClickThatTheRecordsShow)
{
    const QString wav = AudioLesson();
    Show(new TFrmSingleSentence, wav);
    ClickCentre(Single()->InputWidget);
    Type(QStringLiteral("Sentence one"));

    TCheckDialogSteps steps;
    bool closedBySave = false;
    const auto save = [&](TFrmCheckWindow* dialog) {
        ClickCentre(dialog->ppsbSave);
        closedBySave = dialog->ModalResult() != mrNone;
    };
    steps.Steps << save << save << nullptr;
    for (int expected : {1, 2, 2}) {
        ClickCentre(Screen->PiboSpeedButton1);
        ProcessEvents();
        EXPECT_EQ(RecordCount(), expected);
    }
    EXPECT_TRUE(closedBySave);
    EXPECT_EQ(steps.Shown.size(), 3);
    EXPECT_EQ(Dialogs.Infos, (QStringList{QStringLiteral("保存成功！"), QStringLiteral("保存成功！")}));
    // "Sentence" is right in the first of the three sentences of two words.
    const QString accuracy = Screen->CheckRes.Accuracy;
    EXPECT_EQ(accuracy, QStringLiteral("17%"));

    // The free check dialog saves as well and stays open for another look.
    Screen.reset();
    ProcessEvents();
    Show(new TFrmFreeSentence, wav);
    bool openAfterSave = false;
    steps.Steps << [&](TFrmCheckWindow* dialog) {
        ClickCentre(dialog->ppsbSave);
        openAfterSave = dialog->isVisible();
    };
    ClickCentre(Screen->PiboSpeedButton1);
    ProcessEvents();
    EXPECT_TRUE(openAfterSave);
    EXPECT_EQ(RecordCount(), 3);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    Screen.reset();
    ProcessEvents();

    TFrmStudyRecord records;
    records.show();
    ProcessEvents();
    ASSERT_EQ(records.nbMain->currentIndex(), TFrmStudyRecord::pgListen);
    EXPECT_EQ(records.labButtonTitle->text(), QStringLiteral("单句听写"));
    ASSERT_EQ(records.ListenGrid->RowCount(), 3);
    int single = 0;
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(records.ListenGrid->GetCells(5, r), QStringLiteral("lesson.wav")) << r;
        single += records.ListenGrid->GetCells(4, r) == accuracy;
    }
    EXPECT_EQ(single, 2);
}

// Column 4 is the text "校对", not the grid's button; a click on it checks
// that row and then plays it.
TEST_F(DictationUse, TheCheckColumnIsTextAndAClickOnItChecksItsRow)
{
    Show(new TFrmSingleSentence, AudioLesson());
    auto* screen = Single();
    QList<int> checked;
    screen->ShowCheckDialog = [&checked](const TSingleCheckTotalRes&, int row) { checked << row; };
    EXPECT_FALSE(screen->Grid->HasSpeedButton());
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(Cell(4, r), QStringLiteral("校对")) << r;
    ClickCell(screen->Grid, 4, 1);
    EXPECT_EQ(checked, QList<int>{1});
    EXPECT_EQ(screen->Grid->Row(), 1);
    EXPECT_EQ(screen->AudioPlayer()->PlayQueueIndex(), 1);
    EXPECT_EQ(Cell(2, 1), QStringLiteral("1"));
}

// The answer editor has a vertical scroll bar only, and a click into it when
// it is empty leaves the caret at the line's start: what is typed is stored
// without blanks before it.
TEST_F(DictationUse, AClickIntoTheEmptyAnswerEditorStoresNoLeadingBlanks)
{
    Show(new TFrmSingleSentence, AudioLesson());
    QWidget* editor = Single()->InputWidget;
    int vertical = 0, horizontal = 0;
    for (QScrollBar* bar : editor->findChildren<QScrollBar*>())
        if (bar->isVisible())
            ++(bar->orientation() == Qt::Vertical ? vertical : horizontal);
    EXPECT_EQ(vertical, 1);
    EXPECT_EQ(horizontal, 0);

    ClickCentre(editor);
    Type(QStringLiteral("spring"));
    EXPECT_EQ(Cell(1, 0), QStringLiteral("spring"));
    EXPECT_EQ(EditorFullText(Single()->Input), QStringLiteral("spring\r\n"));
}

// Answers of a lesson whose extension is in capitals come back through
// "导入"; a file that is refused, and a cancelled choice, change nothing.
TEST_F(DictationUse, AnImportRestoresTheAnswersOfACapitalisedLessonAndARefusedOneChangesNothing)
{
    const QString wav = AudioLesson(QStringLiteral("大写.WAV"));
    SystemPara.FilePath = wav;
    Show(new TFrmSingleSentence, wav);
    ClickCentre(Single()->InputWidget);
    Type(QStringLiteral("first answer"));
    QTest::keyClick(Single()->InputWidget, Qt::Key_Return);
    Type(QStringLiteral("second"));
    const QStringList typed{Cell(1, 0), Cell(1, 1), Cell(1, 2)};
    ASSERT_EQ(typed, (QStringList{QStringLiteral("first answer"), QStringLiteral("second"), QString()}));
    const QStringList counts{Cell(2, 0), Cell(2, 1), Cell(2, 2)};

    const QString pps = Env.File(QStringLiteral("answers.pps"));
    Dialogs.Files << pps;
    ClickCentre(Screen->sbExport);
    ASSERT_TRUE(QFile::exists(pps));

    // The prepared copy in temp/ reads its subtitle beside it.
    ASSERT_TRUE(QFile::copy(Env.File(QStringLiteral("media/大写.plrc")), Env.File(QStringLiteral("temp/大写.plrc"))));
    ClickCentre(Screen->sbClear);
    EXPECT_EQ(Cell(1, 0), QString());
    Dialogs.Files << pps;
    ClickCentre(Screen->sbImport);
    ASSERT_EQ(Dialogs.Infos.value(Dialogs.Infos.size() - 1), QStringLiteral("导入文件成功！"));
    EXPECT_EQ(Screen->MediaFile(), Env.File(QStringLiteral("temp/大写.wav")));
    EXPECT_EQ((QStringList{Cell(1, 0), Cell(1, 1), Cell(1, 2)}), typed);
    EXPECT_EQ((QStringList{Cell(2, 0), Cell(2, 1), Cell(2, 2)}), counts);
    // The restored answers are checked again.
    EXPECT_EQ(Screen->CheckRes.Items[1].Answer, QStringLiteral("second"));
    EXPECT_EQ(Cell(3, 1), Screen->CheckRes.Items[1].Accuracy);

    // Refused files and a cancelled choice: the answers, counts and the clock stay.
    Screen->labTime->setText(QStringLiteral("00:03:21"));
    const QString refused = Env.File(QStringLiteral("refused.pps"));
    const struct {
        const char* name;
        QString source;  // empty: the file dialog is cancelled
        QString message;
    } cases[] = {
        {"video source", Env.Write(QStringLiteral("media/clip.avi")),
         QStringLiteral("您要导入的文件必须为音频文件或音频课件，在视频单句听写模式下才可导入视频文件或视频课件！")},
        {"missing source", Env.File(QStringLiteral("media/gone.WAV")),
         QStringLiteral("您导入的文件对应的音频文件或课件不存在！")},
        {"bad package", Env.Write(QStringLiteral("media/bad.pibo"), "not a package"),
         QStringLiteral("载入音频文件失败！")},
        {"cancelled", QString(), QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const qsizetype infos = Dialogs.Infos.size();
        if (!c.source.isEmpty()) {
            ASSERT_TRUE(WriteDictationFile(refused, c.source, {QStringLiteral("x@@##$$9")}));
            Dialogs.Files << refused;
        }
        ClickCentre(Screen->sbImport);
        if (c.source.isEmpty())
            EXPECT_EQ(Dialogs.Infos.size(), infos);
        else
            EXPECT_EQ(Dialogs.Infos.value(Dialogs.Infos.size() - 1), c.message);
        EXPECT_EQ((QStringList{Cell(1, 0), Cell(1, 1), Cell(1, 2)}), typed);
        EXPECT_EQ((QStringList{Cell(2, 0), Cell(2, 1), Cell(2, 2)}), counts);
        EXPECT_EQ(Screen->labTime->text(), QStringLiteral("00:03:21"));
        EXPECT_EQ(Screen->MediaFile(), Env.File(QStringLiteral("temp/大写.wav")));
    }
}

// Alt+X and Alt+Z move to another row; the editor then holds that row's
// answer, so what is typed next goes to that row and the first stays.
TEST_F(DictationUse, AltXThenTypingLeavesTheFirstRowsAnswerAlone)
{
    Show(new TFrmSingleSentence, AudioLesson());
    THotKeyForwarder forwarder(Screen.get());
    RegisterHotKeys(&forwarder);
    ClickCentre(Single()->InputWidget);
    Type(QStringLiteral("first"));
    ASSERT_EQ(Cell(1, 0), QStringLiteral("first"));

    QTest::keyClick(Single()->InputWidget, Qt::Key_X, Qt::AltModifier);
    ProcessEvents();
    EXPECT_EQ(Single()->Grid->Row(), 1);
    EXPECT_EQ(Single()->AudioPlayer()->PlayQueueIndex(), 1);
    EXPECT_EQ(AnswerFromEditorText(EditorFullText(Single()->Input)), QString());
    Type(QStringLiteral("second"));
    EXPECT_EQ(Cell(1, 0), QStringLiteral("first"));
    EXPECT_EQ(Cell(1, 1), QStringLiteral("second"));
    // The hot keys count no play.
    EXPECT_EQ(Cell(2, 1), QStringLiteral("0"));

    QTest::keyClick(Single()->InputWidget, Qt::Key_Z, Qt::AltModifier);
    ProcessEvents();
    EXPECT_EQ(Single()->Grid->Row(), 0);
    EXPECT_EQ(AnswerFromEditorText(EditorFullText(Single()->Input)), QStringLiteral("first"));
    Type(QStringLiteral(" again"));
    EXPECT_EQ(Cell(1, 0), QStringLiteral("first again"));
    EXPECT_EQ(Cell(1, 1), QStringLiteral("second"));
    UnregisterHotKeys(&forwarder);
}

// Tab goes through the whole screen: the transport bar, the sentence grid,
// the editor and the bottom bar with "完成提交", which Space then presses.
TEST_F(DictationUse, TabReachesTheGridAndSubmitWhichSpacePresses)
{
    for (bool free : {false, true}) {
        SCOPED_TRACE(free ? "free" : "single");
        if (free)
            Show(new TFrmFreeSentence, AudioLesson());
        else
            Show(new TFrmSingleSentence, AudioLesson());
        QWidget* start = QApplication::focusWidget();
        ASSERT_NE(start, nullptr);
        QList<QWidget*> reached;
        for (int i = 0; i < 40 && !reached.contains(QApplication::focusWidget()); ++i) {
            reached << QApplication::focusWidget();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        // The round from the editor: the bottom bar, the transport bar's
        // enabled buttons (the single screen plays its first sentence, the
        // free one waits), then the grid and back to the editor.
        QStringList names;
        for (QWidget* w : reached)
            names << w->objectName();
        const QStringList round =
            free ? QStringList{"rdeEdit", "PiboSpeedButton1", "sbImport", "sbExport", "sbClear", "psbPlay",
                               "ppsbEnglish", "ppsbChina", "psbRestart", "ppsbSound"}
                 : QStringList{"sediInput", "PiboSpeedButton1", "sbImport", "sbExport", "sbClear", "psbPause",
                               "psbStop", "psbToStart", "psbToEnd", "ppsbEnglish", "ppsbChina", "psbRestart",
                               "ppsbSound", "Grid"};
        EXPECT_EQ(names, round);

        TCheckDialogSteps steps;
        Screen->PiboSpeedButton1->setFocus(Qt::TabFocusReason);
        QTest::keyClick(Screen->PiboSpeedButton1, Qt::Key_Space);
        ProcessEvents();
        EXPECT_EQ(steps.Shown.size(), 1);
        Screen.reset();
        ProcessEvents();
    }
}

// The select and loop boxes beside their texts on the browse and speak
// screens: drawn at their size, and a click on each flips it.
TEST_F(DictationUse, TheBrowseAndSpeakScreensShowTheirSelectAndLoopBoxes)
{
    const QString wav = AudioLesson();
    for (bool speak : {false, true}) {
        SCOPED_TRACE(speak ? "speak" : "browse");
        std::unique_ptr<TSentenceScreen> screen;
        if (speak)
            screen = std::make_unique<TFrmStudySpeak>();
        else
            screen = std::make_unique<TFrmBrowseRecite>();
        screen->SetMediaFile(wav);
        screen->resize(1000, 700);
        screen->show();
        ProcessEvents();
        // The select box is locked while a sentence plays.
        ClickCentre(screen->Transport()->psbStop);
        for (TPiboCheckBox* box : {screen->pcbSelect, screen->pcbLoop}) {
            EXPECT_EQ(box->size(), QSize(13, 13));
            EXPECT_TRUE(box->isEnabled());
            const bool before = box->Checked();
            ClickCentre(box);
            EXPECT_NE(box->Checked(), before) << box->objectName().toStdString();
        }
        EXPECT_EQ(screen->pcbSelect->objectName(), QStringLiteral("pcbSelect"));
        EXPECT_EQ(screen->pcbLoop->objectName(), QStringLiteral("pcbLoop"));
        EXPECT_EQ(WhereDrawn(screen->labSelect), QString());
        // Each box stands just left of its text.
        EXPECT_LT(screen->pcbSelect->x(), screen->labSelect->x());
        EXPECT_LT(screen->labSelect->x(), screen->pcbLoop->x());
        screen.reset();
        ProcessEvents();
    }
}
