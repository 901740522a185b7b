// Every window and dialog as the learner sees it: at the size its layout
// gives, each control the layout names is shown, has a size, lies inside its
// window and is not covered by another control; and the main buttons of each
// screen, clicked where they are drawn, do their work.

#include "InventoryScenes.h"

#include "UDataInterface.h"
#include "UDictationEditor.h"
#include "UDictationScreen.h"
#include "UFrmAudioCutSet.h"
#include "UFrmInputEdit.h"
#include "UFrmMain.h"
#include "UFrmShowInfo.h"
#include "UFrmShowQuestionInfo.h"
#include "UFrmSingleCheck.h"
#include "UFrmStudyRecord.h"
#include "UFreeDictation.h"
#include "UPiboAudioPlay.h"
#include "UPiboComponent.h"
#include "UPiboStringGrid.h"
#include "USingleDictation.h"
#include "USpeakScreen.h"
#include "UTranslateScreen.h"

#include <QtCore/QFile>
#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtSql/QSqlQuery>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QSplitter>
#include <QtWidgets/QStackedWidget>
#include <QtWidgets/QToolButton>

#include <gtest/gtest.h>

#include <vector>

namespace {

// ---------------------------------------------------------------------------
// The inventory: one line per form, one checker for all.
// ---------------------------------------------------------------------------

struct TFormInventory {
    const char* Scene;  // the scene that shows the form (InventoryScenes)
    const char* Form;   // a form inside the scene by object name; null: the scene's form
    QSize Size;         // the window's size by its layout; empty: not checked (hosted screens)
    std::vector<const char*> Controls;
};

// The transport bar under every player (the range loop button where the
// screen has one).
std::vector<const char*> WithTransport(std::vector<const char*> controls, bool again)
{
    for (const char* name : {"panPlayTool", "psbPlay|psbPause", "psbStop", "psbToStart", "psbToEnd", "ppsbEnglish", "ppsbChina",
                             "psbRestart", "piboProgress", "ppsbSound", "PiboSoundVolume"})
        controls.push_back(name);
    if (again)
        controls.push_back("psbAgain");
    return controls;
}

const std::vector<const char*> CheckDialogControls{
    "labTitle", "psbClose", "labRightCount", "labWordCount", "labWrong", "labWrongRight", "labWrongCount", "labOver",
    "labOverCount", "labMiss", "labMissCount", "ediCard", "labTimeDesc", "rdCheckResult", "ppsbSave", "ppsbCancel"};

const std::vector<TFormInventory>& Inventory()
{
    static const std::vector<TFormInventory> table{
        {"FrmLogin", nullptr, QSize(642, 400),
         {"~imaBackground", "psbClose", "psbMin", "ediAddUser", "labAdd", "Label4", "Label5", "Label6", "UserList",
          "psbOk", "Label2", "Label3"}},
        {"FrmMain", nullptr, QSize(995, 613),
         {"labUser", "labMain", "pmbLiuLan", "pmbDanJu", "pmbtZiYou", "pmbKouYu", "pmbFanYi", "pmbChengJi",
          "pmbZhiZuo", "psbClose", "ppsbMax", "psbMin", "labUpdate", "labSet", "labHelp", "labFeedback", "labExit",
          "labHot", "labWebSite", "ppbKeJian", "ppbMedia", "ppbRecent", "tvMain", "Splitter", "panFormClient"}},
        {"FrmMain", "FrmIni", QSize(), {"Image1", "Panel1", "imaLogo"}},
        {"FrmMain-Media", nullptr, QSize(995, 613),
         {"ppbKeJian", "ppbMedia", "ppbRecent", "tvMedia", "panAddAudio", "labAddAudio", "panAddVideo", "labAddAideo"}},
        {"FrmMain-Recent", nullptr, QSize(995, 613), {"ppbKeJian", "ppbMedia", "ppbRecent", "tvRecentOpen"}},
        {"FrmBrowseRecite", nullptr, QSize(),
         WithTransport({"panContain", "Splitter", "Panel2", "sbDisEnglish", "sbDisChina", "sbOrder", "SpeedButton4",
                        "sbFontSize", "pcbSelect", "labSelect", "pcbLoop", "ppcbAll", "panGridTitle",
                        "panEnglishGridTitle", "panChinaGridTitle", "panGridClient", "Grid"},
                       true)},
        {"FrmVideoBrowseRecite", nullptr, QSize(),
         WithTransport({"panContain", "Splitter", "Panel2", "sbDisEnglish", "sbDisChina", "sbFontSize", "pcbSelect",
                        "labSelect", "pcbLoop", "ppcbAll", "panGridTitle", "panEnglishGridTitle", "panChinaGridTitle",
                        "panGridClient", "Grid"},
                       true)},
        {"FrmSingleSentence", nullptr, QSize(),
         WithTransport({"panContain", "Splitter", "ppcbAll", "panEnglishGridTitle", "labCount", "labRate",
                        "panGridClient", "Grid", "sediInput", "PiboSpeedButton1", "sbImport", "sbExport", "sbClear",
                        "labTime"},
                       false)},
        {"FrmVSingleSentence", nullptr, QSize(),
         WithTransport({"panContain", "Splitter", "ppcbAll", "panEnglishGridTitle", "labCount", "labRate",
                        "panGridClient", "Grid", "ediInput", "PiboSpeedButton1", "sbImport", "sbExport", "sbClear",
                        "labTime"},
                       false)},
        {"FrmFreeSentence", nullptr, QSize(),
         WithTransport({"panContain", "panGridClient", "rdeEdit", "PiboSpeedButton1", "sbImport", "sbExport", "sbClear",
                        "labTime"},
                       true)},
        {"FrmVFreeSentence", nullptr, QSize(),
         WithTransport({"panContain", "Splitter", "panGridClient", "rdeEdit", "PiboSpeedButton1", "sbImport",
                        "sbExport", "sbClear", "labTime"},
                       true)},
        {"FrmStudySpeak", nullptr, QSize(),
         WithTransport({"panContain", "panRecordContain", "Panel8", "psbNoRecord", "psbPlayRecord", "ppsbPlaySur",
                        "ppsbComparePlay", "ppsbSaveRecord", "labRecordTime", "labPlayRecordTime", "Panel2",
                        "sbDisEnglish", "sbDisChina", "sbOrder", "SpeedButton4", "sbFontSize", "pcbSelect", "labSelect",
                        "pcbLoop", "ppcbAll", "panGridTitle", "panEnglishGridTitle", "panChinaGridTitle",
                        "panGridClient", "Grid"},
                       true)},
        {"FrmVStudySpeak", nullptr, QSize(),
         WithTransport({"Panel4", "panContain", "Panel9", "Splitter", "psbNoRecord", "psbPlayRecord", "ppsbPlaySur",
                        "ppsbComparePlay", "ppsbSaveRecord", "labRecordTime", "labPlayRecordTime", "Panel2",
                        "sbDisEnglish", "sbDisChina", "sbFontSize", "pcbSelect", "labSelect", "pcbLoop", "ppcbAll",
                        "panGridTitle", "panEnglishGridTitle", "panChinaGridTitle", "panGridClient", "Grid"},
                       true)},
        {"FrmTranslateTrain", nullptr, QSize(),
         WithTransport({"panContain", "panGridClient", "labChina", "ppwSur", "~ppwDes", "ppsbDone", "ppsbNext",
                        "ppsbLast", "ppsbAdd", "labTime", "lanSentenceCount"},
                       false)},
        {"FrmVTranslateTrain", nullptr, QSize(),
         WithTransport({"panContain", "panGridClient", "labChina", "ppwSur", "~ppwDes", "ppsbDone", "ppsbNext",
                        "ppsbLast", "ppsbAdd", "labTime", "lanSentenceCount"},
                       false)},
        {"FrmSingleCheck", nullptr, QSize(761, 462), CheckDialogControls},
        {"FrmSingleCheck-Row", nullptr, QSize(761, 462),
         {"labTitle", "psbClose", "labRightCount", "labWordCount", "labWrong", "labWrongRight", "labWrongCount",
          "labOver", "labOverCount", "labMiss", "labMissCount", "ediCard", "labTimeDesc", "rdCheckResult",
          "ppsbCancel"}},
        {"FrmFreeCheck", nullptr, QSize(761, 462), CheckDialogControls},
        {"FrmStudyRecord", nullptr, QSize(863, 502),
         {"labTitle", "psbClose", "panMenu", "psbListen", "psbSpeak", "psbSentence", "psbTransfer", "labButtonTitle",
          "nbMain", "panListen", "panListenTitle", "ListenGrid"}},
        {"FrmStudyRecord-Speak", nullptr, QSize(863, 502),
         {"psbListen", "psbSpeak", "psbSentence", "psbTransfer", "labButtonTitle", "panSpeak", "panSpeakTitle",
          "SpeakGrid"}},
        {"FrmStudyRecord-Transfer", nullptr, QSize(863, 502),
         {"psbListen", "psbSpeak", "psbSentence", "psbTransfer", "labButtonTitle", "panTransfer", "panTransferTitle",
          "TransferGrid"}},
        {"FrmStudyRecord-Sentence", nullptr, QSize(863, 502),
         {"psbListen", "psbSpeak", "psbSentence", "psbTransfer", "labButtonTitle", "panSentence", "sbExport", "saTitle",
          "SentenceGrid"}},
        {"FrmAudioCutSet", nullptr, QSize(462, 337), {"labTitle", "psbClose", "lbPlan", "ppsbOk", "ppsbCancel"}},
        {"FrmShowInfo", nullptr, QSize(255, 135), {"psbClose", "imaInfo", "labInfo", "psbOk"}},
        {"FrmShowQuestionInfo", nullptr, QSize(255, 135), {"psbClose", "imaInfo", "labInfo", "psbOk", "ppsbCancel"}},
        {"FrmInputEdit", nullptr, QSize(268, 171),
         {"labTitle", "psbClose", "labInputCaption", "ediInput", "ppsbOk", "ppsbCancel"}},
        {"FrmSelectDir", nullptr, QSize(289, 330), {"labTitle", "psbClose", "tvDir", "ppsbOk", "ppsbCancel"}},
    };
    return table;
}

QString Describe(const QWidget* widget)
{
    const QString name = widget->objectName();
    return QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(widget->metaObject()->className()),
                                          name.isEmpty() ? QStringLiteral("(no name)") : name);
}

QString RectText(const QRect& r)
{
    return QStringLiteral("%1 x %2 at %3,%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
}

// What is wrong with the named control of form in window; empty when
// nothing. "a|b": two controls at one place, exactly one of them shown (play
// and pause). "~name": a background the other controls lie on (not checked for
// being covered).
QString ControlFault(QWidget* window, QWidget* form, QString name)
{
    const bool background = name.startsWith(u'~');
    if (background)
        name.remove(0, 1);
    QList<QWidget*> found;
    for (const QString& part : name.split(u'|')) {
        found += form->findChildren<QWidget*>(part);
        if (form->objectName() == part)
            found.prepend(form);
    }
    if (found.isEmpty())
        return QStringLiteral("no control is named so");
    QList<QWidget*> shown;
    for (QWidget* w : found)
        if (w->isVisible())
            shown << w;
    if (shown.isEmpty())
        return QStringLiteral("%1 is not visible").arg(Describe(found.first()));
    if (shown.size() > 1)
        return QStringLiteral("%1 visible controls have this name").arg(shown.size());
    QWidget* control = shown.first();
    const QString what = Describe(control);
    if (control->width() <= 0 || control->height() <= 0)
        return QStringLiteral("%1 has no size (%2)").arg(what, RectText(control->geometry()));
    const QRect inWindow(control->mapTo(window, QPoint(0, 0)), control->size());
    if (!window->rect().contains(inWindow))
        return QStringLiteral("%1 (%2 in the window) lies outside its window (%3)")
            .arg(what, RectText(inWindow), RectText(window->rect()));
    // Every parent shows it whole, and no control above it in any parent
    // covers any part of it.
    for (QWidget* level = control; level != window; level = level->parentWidget()) {
        QWidget* parent = level->parentWidget();
        const QRect inParent(control->mapTo(parent, QPoint(0, 0)), control->size());
        if (!parent->rect().contains(inParent))
            return QStringLiteral("%1 is cut off by %2 (%3 of %4)")
                .arg(what, Describe(parent), RectText(inParent), RectText(parent->rect()));
        if (background)
            continue;
        const QObjectList& siblings = parent->children();
        for (qsizetype i = siblings.indexOf(level) + 1; i < siblings.size(); ++i) {
            auto* above = qobject_cast<QWidget*>(siblings[i]);
            // A splitter's handle reaches over both panes to be easier to
            // grab; it draws only its thin line.
            if (above && !above->isWindow() && above->isVisible() && !qobject_cast<QSplitterHandle*>(above) &&
                above->geometry().intersects(inParent))
                return QStringLiteral("%1 (%2) is covered by %3 (%4)")
                    .arg(what, RectText(inParent), Describe(above), RectText(above->geometry()));
        }
    }
    return QString();
}

void PrintTo(const TFormInventory& entry, std::ostream* os)
{
    *os << (entry.Form ? entry.Form : entry.Scene);
}

class ScreenInventory : public ::testing::TestWithParam<TFormInventory> {};

TEST_P(ScreenInventory, EveryNamedControlIsShownWholeInItsWindow)
{
    const TFormInventory& entry = GetParam();
    TSceneStage stage;
    const TSceneView view = stage.Show(QString::fromLatin1(entry.Scene));
    ASSERT_TRUE(view) << entry.Scene << " could not be shown";
    QWidget* form = view.Form;
    if (entry.Form) {
        form = view.Form->findChild<QWidget*>(QString::fromLatin1(entry.Form));
        ASSERT_NE(form, nullptr) << "no form " << entry.Form << " in " << entry.Scene;
        ASSERT_TRUE(form->isVisible()) << entry.Form << " is not visible";
    }
    if (!entry.Size.isEmpty()) {
        EXPECT_EQ(view.Window->size(), entry.Size) << "the window's size";
    }
    QStringList faults;
    for (const char* name : entry.Controls) {
        const QString fault = ControlFault(view.Window, form, QString::fromLatin1(name));
        if (!fault.isEmpty())
            faults << QStringLiteral("%1: %2").arg(QString::fromLatin1(name), fault);
    }
    EXPECT_TRUE(faults.isEmpty()) << (entry.Form ? entry.Form : entry.Scene) << ":\n  "
                                  << faults.join(QStringLiteral("\n  ")).toStdString();
}

std::string InventoryName(const ::testing::TestParamInfo<TFormInventory>& info)
{
    std::string name = info.param.Form ? info.param.Form : info.param.Scene;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Forms, ScreenInventory, ::testing::ValuesIn(Inventory()), InventoryName);

// ---------------------------------------------------------------------------
// The main buttons, clicked where they are drawn.
// ---------------------------------------------------------------------------

int CountRows(const QString& table)
{
    QSqlQuery query(DataInterface->Connection());
    return query.exec(QStringLiteral("select count(*) from ") + table) && query.next() ? query.value(0).toInt() : -1;
}

QString LastDictationLesson()
{
    QSqlQuery query(DataInterface->Connection());
    return query.exec(QStringLiteral("select kejianname from singledictaterecord order by id desc")) && query.next()
               ? query.value(0).toString()
               : QString();
}

// While it lives, acts on the first window of type T that is shown (from the
// event loop, so also inside its modal run). When the window is still in its
// modal run after act, that is a failure and the window is closed, so that
// the test goes on.
template <typename T>
class TWindowHandler : public QObject {
public:
    explicit TWindowHandler(std::function<void(T*)> act) : FAct(std::move(act)) { qApp->installEventFilter(this); }
    ~TWindowHandler() override { qApp->removeEventFilter(this); }
    bool Seen = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* window = event->type() == QEvent::Show ? qobject_cast<T*>(watched) : nullptr;
        if (!Seen && window && window->isWindow()) {
            Seen = true;
            QPointer<T> guard(window);
            QTimer::singleShot(0, this, [this, guard] {
                if (!guard)
                    return;
                FAct(guard);
                ProcessEvents();
                if (guard && guard->IsModal() && guard->ModalResult() == mrNone) {
                    ADD_FAILURE() << Describe(guard).toStdString() << " stayed open";
                    guard->SetModalResult(mrCancel);
                }
            });
        }
        return false;
    }

private:
    std::function<void(T*)> FAct;
};

// Runs click, during which a window of type T is expected to come up; act
// runs on it.
template <typename T>
void WithModal(const std::function<void()>& click, const std::function<void(T*)>& act)
{
    TWindowHandler<T> handler(act);
    click();
    EXPECT_TRUE(handler.Seen) << "no " << T::staticMetaObject.className() << " came up";
}

class DictationSubmit : public ::testing::TestWithParam<const char*> {};

// "完成提交", then "保存退出" in the check dialog: one row per save (the free
// check dialog stays open and saves again), which 学习成绩 shows; "完成提交"
// again, then "返回听写": back, nothing stored.
TEST_P(DictationSubmit, SubmitSavesOneRowAndReturns)
{
    TSceneStage stage;
    const TSceneView view = stage.Show(QString::fromLatin1(GetParam()));
    ASSERT_TRUE(view);
    auto* screen = qobject_cast<TDictationScreen*>(view.Form);
    ASSERT_NE(screen, nullptr);
    const bool free = qobject_cast<TFreeDictationScreen*>(screen) != nullptr;
    const int before = CountRows(QStringLiteral("singledictaterecord"));

    WithModal<TFrmCheckWindow>([&] { ClickAtCentre(screen->PiboSpeedButton1); },
                               [&](TFrmCheckWindow* dialog) {
                                   EXPECT_NE(dialog->rdCheckResult, nullptr);
                                   ClickAtCentre(dialog->ppsbSave);
                                   if (!free)
                                       return;
                                   // The free check dialog stays open after saving:
                                   // each click stores one more row.
                                   EXPECT_TRUE(dialog->isVisible());
                                   if (dialog->isVisible())
                                       ClickAtCentre(dialog->ppsbSave);
                                   if (dialog->isVisible())
                                       ClickAtCentre(dialog->ppsbCancel);
                               });
    const int saved = free ? 2 : 1;
    EXPECT_EQ(CountRows(QStringLiteral("singledictaterecord")), before + saved);
    EXPECT_TRUE(stage.Dialogs.Infos.contains(QStringLiteral("保存成功！"))) << stage.Dialogs.Infos.join(u'/').toStdString();
    EXPECT_EQ(LastDictationLesson(), screen->CheckRes.FileName);

    WithModal<TFrmCheckWindow>([&] { ClickAtCentre(screen->PiboSpeedButton1); },
                               [&](TFrmCheckWindow* dialog) { ClickAtCentre(dialog->ppsbCancel); });
    EXPECT_EQ(CountRows(QStringLiteral("singledictaterecord")), before + saved);

    // 学习成绩 lists the saved test on its first page.
    WithModal<TFrmStudyRecord>([&] { ClickAtCentre(stage.Main()->pmbChengJi); },
                               [&](TFrmStudyRecord* records) {
                                   ASSERT_NE(records->ListenGrid, nullptr);
                                   EXPECT_EQ(records->ListenGrid->RowCount(), saved);
                                   for (int r = 0; r < saved; ++r)
                                       EXPECT_EQ(records->ListenGrid->GetCells(5, r), screen->CheckRes.FileName);
                                   ClickAtCentre(records->psbClose);
                               });
}

INSTANTIATE_TEST_SUITE_P(Screens, DictationSubmit,
                         ::testing::Values("FrmSingleSentence", "FrmVSingleSentence", "FrmFreeSentence",
                                           "FrmVFreeSentence"));

class CheckColumn : public ::testing::TestWithParam<const char*> {};

// Column 4 of single dictation reads "校对" in every row, with no button
// column; a click on a row's "校对" shows the check of that row alone.
TEST_P(CheckColumn, CheckCellsOpenTheRowsCheck)
{
    TSceneStage stage;
    const TSceneView view = stage.Show(QString::fromLatin1(GetParam()));
    ASSERT_TRUE(view);
    auto* screen = qobject_cast<TSingleDictationScreen*>(view.Form);
    ASSERT_NE(screen, nullptr);
    TPiboStringGrid* grid = screen->Grid;
    EXPECT_FALSE(grid->HasSpeedButton()) << "the grid shows its add-to-library button column";
    EXPECT_EQ(grid->ColCount(), 5);
    for (int r = 0; r < grid->RowCount(); ++r)
        EXPECT_EQ(grid->GetCells(4, r), QStringLiteral("校对")) << "row " << r;

    WithModal<TFrmSingleCheck>(
        [&] { ClickAt(grid, grid->CellRect(4, 1).center()); },
        [&](TFrmSingleCheck* dialog) {
            EXPECT_EQ(dialog->RowIndex, 1);
            EXPECT_FALSE(dialog->ppsbSave->isVisible());
            ClickAtCentre(dialog->ppsbCancel);
        });
}

INSTANTIATE_TEST_SUITE_P(Screens, CheckColumn, ::testing::Values("FrmSingleSentence", "FrmVSingleSentence"));

class DictationFileButtons : public ::testing::TestWithParam<const char*> {};

// "导出" writes the typed answers, "清除" empties them, "导入" brings them back.
TEST_P(DictationFileButtons, ExportClearImport)
{
    TSceneStage stage;
    const TSceneView view = stage.Show(QString::fromLatin1(GetParam()));
    ASSERT_TRUE(view);
    auto* screen = qobject_cast<TDictationScreen*>(view.Form);
    ASSERT_NE(screen, nullptr);
    auto* single = qobject_cast<TSingleDictationScreen*>(screen);
    auto* free = qobject_cast<TFreeDictationScreen*>(screen);
    const auto typed = [&] {
        return single ? single->Grid->GetCells(1, 0) : EditorLines(free->rdeEdit).value(0);
    };
    const QString answer = typed();
    ASSERT_FALSE(answer.isEmpty());

    const QString file = stage.Env.File(single ? QStringLiteral("answers.pps") : QStringLiteral("answers.ppf"));
    stage.Dialogs.Files << file;
    ASSERT_TRUE(ClickAtCentre(screen->sbExport));
    ASSERT_TRUE(QFile::exists(file)) << stage.Dialogs.Infos.join(u'/').toStdString();

    ASSERT_TRUE(ClickAtCentre(screen->sbClear));
    EXPECT_EQ(typed(), QString());
    EXPECT_EQ(screen->labTime->text(), QStringLiteral("00:00:00"));

    stage.Dialogs.Files << file;
    ASSERT_TRUE(ClickAtCentre(screen->sbImport));
    EXPECT_EQ(typed(), answer) << stage.Dialogs.Infos.join(u'/').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Screens, DictationFileButtons, ::testing::Values("FrmSingleSentence", "FrmFreeSentence"));

class SpeakButtons : public ::testing::TestWithParam<const char*> {};

// The record button starts a recording and, clicked again, stops it and logs
// it; "对比播放" plays the lesson to compare.
TEST_P(SpeakButtons, RecordAndCompare)
{
    TSceneStage stage;
    const TSceneView view = stage.Show(QString::fromLatin1(GetParam()));
    ASSERT_TRUE(view);
    auto* screen = qobject_cast<TSpeakScreen*>(view.Form);
    ASSERT_NE(screen, nullptr);

    ASSERT_TRUE(ClickAtCentre(screen->psbNoRecord));
    ASSERT_TRUE(screen->RecordingLook());
    stage.System.AdvanceMs(1200);
    ASSERT_TRUE(RunEventsUntil([&] { return screen->WaveRecorder()->PositionMs() >= 1200; }));
    ASSERT_TRUE(ClickAtCentre(screen->psbRecord));
    EXPECT_FALSE(screen->RecordingLook());
    EXPECT_TRUE(RunEventsUntil([&] { return CountRows(QStringLiteral("studyspeakrecord")) == 1; }));

    if (!screen->IsVideo()) {
        ASSERT_TRUE(ClickAtCentre(screen->ppsbComparePlay));
        EXPECT_TRUE(screen->CompareMode());
        EXPECT_TRUE(screen->AudioPlayer()->WaveOut() != nullptr);
        EXPECT_TRUE(screen->Transport()->psbPlay->isHidden()) << "the lesson does not play";
        screen->Transport()->psbStopClick();
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, SpeakButtons, ::testing::Values("FrmStudySpeak", "FrmVStudySpeak"));

// Clicking the tiles of a sentence in order scores it and brings the next;
// "完成" scores a sentence as it stands.
TEST(TranslationTiles, TilesClickedInOrderScoreTheSentence)
{
    TSceneStage stage;
    const TSceneView view = stage.Show(QStringLiteral("FrmTranslateTrain"));
    ASSERT_TRUE(view);
    auto* screen = qobject_cast<TTranslateScreen*>(view.Form);
    ASSERT_NE(screen, nullptr);
    // The scene placed the first two words; the rest follow in order.
    const QStringList words = screen->RefWords;
    ASSERT_GT(words.size(), 2);
    for (int w = 2; w < words.size(); ++w) {
        bool clicked = false;
        for (const TPiboWordItem& tile : screen->ppwSur->WordItems()) {
            if (tile.Visible && tile.Word == words[w]) {
                const QRect r(QPoint(tile.Rect.Left, tile.Rect.Top),
                              QPoint(tile.Rect.Right - 1, tile.Rect.Bottom - 1));
                clicked = ClickAt(screen->ppwSur, r.center());
                break;
            }
        }
        ASSERT_TRUE(clicked) << "no tile for " << words[w].toStdString();
    }
    EXPECT_EQ(CountRows(QStringLiteral("transferrecord")), 1);
    EXPECT_EQ(screen->ShownIndex(), 1);
    // The mark beside the answer row stands after its tiles, never on one.
    ASSERT_TRUE(ClickAt(screen->ppwSur, [&] {
        const TRect& r = screen->ppwSur->WordItems().first().Rect;
        return QRect(QPoint(r.Left, r.Top), QPoint(r.Right - 1, r.Bottom - 1)).center();
    }()));
    ASSERT_TRUE(screen->ppsbCheck->isVisible());
    const QRect mark(screen->ppwDes->mapFromParent(screen->ppsbCheck->pos()), screen->ppsbCheck->size());
    for (const TPiboWordItem& tile : screen->ppwDes->WordItems()) {
        const QRect r(QPoint(tile.Rect.Left, tile.Rect.Top), QPoint(tile.Rect.Right - 1, tile.Rect.Bottom - 1));
        EXPECT_FALSE(tile.Visible && mark.intersects(r)) << "the mark covers the tile " << tile.Word.toStdString();
    }
    EXPECT_EQ(screen->labChina->text(), QStringLiteral("今天我们来谈谈各自最喜欢的季节。"));

    ASSERT_TRUE(ClickAtCentre(screen->ppsbDone));
    EXPECT_EQ(CountRows(QStringLiteral("transferrecord")), 2);
    EXPECT_EQ(screen->ShownIndex(), 2);
}

// The pages of 学习成绩 by their menu buttons.
TEST(StudyRecordMenu, EachMenuButtonOpensItsPage)
{
    TSceneStage stage;
    const TSceneView view = stage.Show(QStringLiteral("FrmStudyRecord"));
    ASSERT_TRUE(view);
    auto* records = qobject_cast<TFrmStudyRecord*>(view.Form);
    ASSERT_NE(records, nullptr);
    const struct {
        TPiboSpeedButton* Button;
        int Page;
        const char* Title;
    } cases[] = {{records->psbSpeak, 1, "口语模仿"},
                 {records->psbTransfer, 2, "翻译训练"},
                 {records->psbSentence, 3, "句型"},
                 {records->psbListen, 0, "单句听写"}};
    for (const auto& c : cases) {
        ASSERT_TRUE(ClickAtCentre(c.Button)) << c.Title;
        EXPECT_EQ(records->nbMain->currentIndex(), c.Page) << c.Title;
        EXPECT_EQ(records->labButtonTitle->text(), QString::fromUtf8(c.Title));
        EXPECT_FALSE(c.Button->ButtonEnabled()) << c.Title;
    }
}

// The shared dialogs' buttons give their results.
TEST(DialogButtons, EachButtonGivesItsResult)
{
    // No dialog answerer here: the clicks below answer.
    TWindowTestEnvironment env;
    const auto info = [] {
        auto form = std::make_unique<TFrmShowInfo>();
        form->SetInfo(QStringLiteral("加入句库成功！"));
        return std::unique_ptr<TForm>(std::move(form));
    };
    const auto question = [] {
        auto form = std::make_unique<TFrmShowQuestionInfo>();
        form->SetInfo(QStringLiteral("确定要删除？"));
        return std::unique_ptr<TForm>(std::move(form));
    };
    const auto input = [] {
        auto form = std::make_unique<TFrmInputEdit>();
        form->SetInputCaption(QStringLiteral("请输入目录名称"));
        return std::unique_ptr<TForm>(std::move(form));
    };
    const auto cutPlan = [] { return std::unique_ptr<TForm>(std::make_unique<TFrmAudioCutSet>()); };
    const struct {
        std::function<std::unique_ptr<TForm>()> Make;
        const char* Button;
        int Result;
    } cases[] = {{info, "psbOk", mrOk},           {info, "psbClose", mrOk},
                 {question, "psbOk", mrOk},       {question, "ppsbCancel", mrCancel},
                 {question, "psbClose", mrCancel}, {input, "ppsbOk", mrOk},
                 {input, "ppsbCancel", mrCancel}, {input, "psbClose", mrCancel},
                 {cutPlan, "ppsbCancel", mrCancel}, {cutPlan, "psbClose", mrCancel}};
    for (const auto& c : cases) {
        const std::unique_ptr<TForm> form = c.Make();
        TWindowHandler<TForm> handler(
            [&](TForm* shown) { ClickAtCentre(shown->findChild<QWidget*>(QString::fromLatin1(c.Button))); });
        EXPECT_EQ(form->ShowModal(), c.Result) << form->metaObject()->className() << " " << c.Button;
        EXPECT_TRUE(handler.Seen);
    }
}

// The login window: "添加新用户" adds the typed user, the login button takes
// the selected one.
TEST(LoginButtons, AddUserAndLogIn)
{
    TSceneStage stage;
    const TSceneView view = stage.Show(QStringLiteral("FrmLogin"));
    ASSERT_TRUE(view);
    auto* edit = view.Form->findChild<QLineEdit*>(QStringLiteral("ediAddUser"));
    ASSERT_NE(edit, nullptr);
    edit->setText(QStringLiteral("新同学"));
    ASSERT_TRUE(ClickAtCentre(view.Form->findChild<QWidget*>(QStringLiteral("labAdd"))));
    EXPECT_EQ(stage.Dialogs.Infos, QStringList{QStringLiteral("用户添加成功！")});
    EXPECT_EQ(CountRows(QStringLiteral("userinfo")), 3);

    auto* form = qobject_cast<TForm*>(view.Window);
    ASSERT_NE(form, nullptr);
    form->hide();
    TWindowHandler<TForm> handler(
        [&](TForm* shown) { ClickAtCentre(shown->findChild<QWidget*>(QStringLiteral("psbOk"))); });
    EXPECT_EQ(form->ShowModal(), mrOk);
    EXPECT_EQ(SystemPara.UserInfo.UserName, QStringLiteral("新同学"));
}

}  // namespace
