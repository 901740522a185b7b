#include "InventoryScenes.h"

#include "AudioDevice.h"
#include "FileDialogs.h"
#include "QtTranslations.h"
#include "UDataOperaterFun.h"
#include "UDictationCheck.h"
#include "UDictationEditor.h"
#include "UDictationScreen.h"
#include "UFrmAudioCutSet.h"
#include "UFrmFreeCheck.h"
#include "UFrmInputEdit.h"
#include "UFrmLogin.h"
#include "UFrmMain.h"
#include "UFrmSelectDir.h"
#include "UFrmShowInfo.h"
#include "UFrmShowQuestionInfo.h"
#include "UFrmSingleCheck.h"
#include "UFrmStudyRecord.h"
#include "UFreeDictation.h"
#include "UPiboComponent.h"
#include "UStudyScreen.h"
#include "USingleDictation.h"
#include "UTranslateScreen.h"
#include "UWebLinks.h"
#include "VideoFixtures.h"

#include <QtCore/QDateTime>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>
#include <QtWidgets/QStackedWidget>
#include <QtWidgets/QTreeWidget>

#include <gtest/gtest.h>

namespace {

const QString SampleLesson = QStringLiteral("第一课-谈季节");
const QByteArray ClipSubtitle("1\r\n00:00:00,000 --> 00:00:01,000\r\nRed is a warm colour\r\n红色是暖色\r\n\r\n"
                              "2\r\n00:00:01,000 --> 00:00:02,000\r\nGreen is the colour of spring\r\n绿色是春天的颜色\r\n\r\n"
                              "3\r\n00:00:02,000 --> 00:00:03,000\r\nBlue is cold and calm\r\n蓝色冷静\r\n\r\n");

QString Describe(const QWidget* widget)
{
    if (!widget)
        return QStringLiteral("(none)");
    const QString name = widget->objectName();
    return QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(widget->metaObject()->className()),
                                          name.isEmpty() ? QStringLiteral("(no name)") : name);
}

// Types text into the widget that has the keyboard (a key press and release
// per character), then Enter when asked.
void Type(QWidget* widget, const QString& text, bool enter)
{
    widget->setFocus();
    QTest::keyClicks(widget, text);
    if (enter)
        QTest::keyClick(widget, Qt::Key_Return);
    ProcessEvents();
}

TSingleCheckTotalRes SampleSingleResult()
{
    const QStringList lines = SampleLessonLines();
    TSingleCheckTotalRes res;
    ResetSingleTest(res, SampleLesson + QStringLiteral(".wav"), lines);
    QStringList answers{QStringLiteral("Good morning everyone and welcom to our English class"),
                        QStringLiteral("Today we're going to talk about our favorite season")};
    while (answers.size() < lines.size())
        answers << QString();
    CheckAllSingle(res, SampleLesson + QStringLiteral(".wav"), answers, QStringLiteral("00:03:25"));
    return res;
}

}  // namespace

QStringList SampleLessonLines()
{
    return {QStringLiteral("Good morning, everyone, and welcome to our English class."),
            QStringLiteral("Today we are going to talk about our favourite seasons."),
            QStringLiteral("I like autumn best, because the air is cool and the sky is clear."),
            QStringLiteral("My sister prefers summer, when she can swim in the lake."),
            QStringLiteral("Which season do you like, and why?")};
}

QStringList ClipLines()
{
    return {QStringLiteral("Red is a warm colour"), QStringLiteral("Green is the colour of spring"),
            QStringLiteral("Blue is cold and calm")};
}

bool ClickAt(QWidget* widget, const QPoint& pos)
{
    if (!widget) {
        ADD_FAILURE() << "no control to click";
        return false;
    }
    const QString name = Describe(widget);
    if (!widget->isVisible()) {
        ADD_FAILURE() << name.toStdString() << " cannot be clicked: it is not visible";
        return false;
    }
    if (widget->width() <= 0 || widget->height() <= 0) {
        ADD_FAILURE() << name.toStdString() << " cannot be clicked: it has no size (" << widget->width() << " x "
                      << widget->height() << ")";
        return false;
    }
    if (!widget->isEnabled()) {
        ADD_FAILURE() << name.toStdString() << " cannot be clicked: it is disabled";
        return false;
    }
    if (const auto* button = qobject_cast<TPiboSpeedButton*>(widget); button && !button->ButtonEnabled()) {
        ADD_FAILURE() << name.toStdString() << " cannot be clicked: it shows its disabled picture";
        return false;
    }
    QWidget* window = widget->window();
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != window) {
        ADD_FAILURE() << name.toStdString() << " cannot be clicked: the modal window " << Describe(modal).toStdString()
                      << " is in front of it";
        return false;
    }
    const QPoint inWindow = widget->mapTo(window, pos);
    if (!window->rect().contains(inWindow)) {
        ADD_FAILURE() << name.toStdString() << " cannot be clicked: the point lies outside its window";
        return false;
    }
    QWidget* hit = window->childAt(inWindow);
    if (!hit)
        hit = window;
    if (hit != widget && !widget->isAncestorOf(hit)) {
        ADD_FAILURE() << name.toStdString() << " cannot be clicked: " << Describe(hit).toStdString()
                      << " lies over it";
        return false;
    }
    // The pointer comes over the point first (controls that follow the
    // hover, such as the word tiles, know what is under it), then clicks.
    const QPoint at = hit->mapFrom(window, inWindow);
    QTest::mouseMove(hit, at);
    QTest::mouseClick(hit, Qt::LeftButton, Qt::NoModifier, at);
    ProcessEvents();
    return true;
}

bool ClickAtCentre(QWidget* widget)
{
    return ClickAt(widget, widget ? widget->rect().center() : QPoint());
}

TSceneStage::TSceneStage()
{
    // As both programs do at start-up: Qt's own dialogs in Chinese.
    InstallQtTranslations();
    RegisterStudyScreens();
    SetAudioSystem(&System);
    // The sample lesson in the library, as the build ships it.
    const QString lesson = Env.File(QStringLiteral("audio/示例课程/") + SampleLesson + QStringLiteral(".pibo"));
    QDir().mkpath(QFileInfo(lesson).absolutePath());
    EXPECT_TRUE(QFile::copy(QStringLiteral(PIBO_SAMPLE_AUDIO_LESSON), lesson))
        << "the sample lesson is missing: " PIBO_SAMPLE_AUDIO_LESSON;
    // The word list the build ships, for the spelling marks of the dictation editors.
    const QString words = QStringLiteral("data/dict/english.1-0-0.dic");
    EXPECT_TRUE(QFile::copy(QStringLiteral(PIBO_BUILT_PROGRAM_FOLDER) + words, Env.File(words)));
    // A three-second video clip (red, green, blue) with its subtitles.
    FClip = Env.File(QStringLiteral("media/colours.avi"));
    QDir().mkpath(QFileInfo(FClip).absolutePath());
    EXPECT_TRUE(QFile::copy(VideoFixtures::File(QStringLiteral("rgb.avi")), FClip));
    Env.Write(QStringLiteral("media/colours.srt"), ClipSubtitle);
    SystemPara.IsPlaying = false;
}

TSceneStage::~TSceneStage()
{
    while (!FWindows.empty()) {
        FWindows.back().reset();
        FWindows.pop_back();
    }
    if (FMain) {
        FMain->close();
        ProcessEvents();
        SetMainForm(nullptr);
        FMain.reset();
    }
    ProcessEvents();
    SetAudioSystem(nullptr);
}

template <typename T>
T* TSceneStage::Keep(std::unique_ptr<T> window)
{
    T* raw = window.get();
    FWindows.push_back(std::move(window));
    return raw;
}

TFrmMain* TSceneStage::Main()
{
    if (!FMain) {
        FMain = std::make_unique<TFrmMain>();
        SetMainForm(FMain.get());
        FMain->show();
        ProcessEvents();
        FMain->AddMediaFile(FClip);
        ProcessEvents();
    }
    return FMain.get();
}

QWidget* TSceneStage::OpenMode(int mode, bool video)
{
    TFrmMain* main = Main();
    QTreeWidget* tree = nullptr;
    QTreeWidgetItem* item = nullptr;
    if (video) {
        if (!ClickAtCentre(main->ppbMedia))
            return nullptr;
        tree = main->tvMedia;
        item = FindTreeItem(tree, {QStringLiteral("视频文件"), QFileInfo(FClip).fileName()});
    } else {
        if (!ClickAtCentre(main->ppbKeJian))
            return nullptr;
        tree = main->tvMain;
        item = FindTreeItem(tree, {QStringLiteral("音频课件"), QStringLiteral("示例课程"), SampleLesson});
    }
    if (!item) {
        ADD_FAILURE() << "the " << (video ? "clip" : "sample lesson") << " is not listed in the main window";
        return nullptr;
    }
    tree->setCurrentItem(item);
    const QList<TPiboMainButton*> buttons{main->pmbLiuLan, main->pmbDanJu, main->pmbtZiYou, main->pmbKouYu,
                                          main->pmbFanYi};
    if (mode < 1 || mode > buttons.size() || !ClickAtCentre(buttons[mode - 1]))
        return nullptr;
    const QString name = TFrmMain::ScreenFormName(mode, video ? 1 : 0);
    QWidget* screen = main->panFormClient->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
    if (!screen || !screen->isVisible()) {
        ADD_FAILURE() << "the mode button did not open " << name.toStdString() << "; messages: "
                      << Dialogs.Infos.join(QStringLiteral(" / ")).toStdString();
        return nullptr;
    }
    ProcessEvents();
    return screen;
}

TSceneView TSceneStage::ShowDialog(QWidget* dialog, QWidget* form)
{
    dialog->show();
    ProcessEvents();
    return TSceneView{dialog, form ? form : dialog};
}

QStringList TSceneStage::SceneNames()
{
    return {QStringLiteral("FrmLogin"),
            QStringLiteral("FrmMain"),
            QStringLiteral("FrmMain-Settings"),
            QStringLiteral("FrmMain-Media"),
            QStringLiteral("FrmMain-Recent"),
            QStringLiteral("FrmBrowseRecite"),
            QStringLiteral("FrmVideoBrowseRecite"),
            QStringLiteral("FrmSingleSentence"),
            QStringLiteral("FrmVSingleSentence"),
            QStringLiteral("FrmFreeSentence"),
            QStringLiteral("FrmVFreeSentence"),
            QStringLiteral("FrmStudySpeak"),
            QStringLiteral("FrmVStudySpeak"),
            QStringLiteral("FrmTranslateTrain"),
            QStringLiteral("FrmVTranslateTrain"),
            QStringLiteral("FrmSingleCheck"),
            QStringLiteral("FrmSingleCheck-Row"),
            QStringLiteral("FrmFreeCheck"),
            QStringLiteral("FrmStudyRecord"),
            QStringLiteral("FrmStudyRecord-Speak"),
            QStringLiteral("FrmStudyRecord-Transfer"),
            QStringLiteral("FrmStudyRecord-Sentence"),
            QStringLiteral("FrmAudioCutSet"),
            QStringLiteral("FrmShowInfo"),
            QStringLiteral("FrmShowQuestionInfo"),
            QStringLiteral("FrmInputEdit"),
            QStringLiteral("FrmSelectDir"),
            QStringLiteral("QtOpenDialog")};
}

TSceneView TSceneStage::Show(const QString& scene)
{
    const auto hosted = [this](int mode, bool video) -> TSceneView {
        QWidget* screen = OpenMode(mode, video);
        return screen ? TSceneView{Main(), screen} : TSceneView{};
    };

    if (scene == QStringLiteral("FrmLogin")) {
        TUserInfo other;
        other.UserName = QStringLiteral("Alice");
        other.UserPass = QStringLiteral("402719");
        EXPECT_TRUE(AddUser(other));
        TUserInfo user;
        user.UserName = SystemPara.UserInfo.UserName;
        user.UserPass = QStringLiteral("402719");
        EXPECT_TRUE(AddUser(user));
        EXPECT_TRUE(UpdateFirstUseTime(user.UserName, QDateTime(QDate(2026, 9, 1), QTime(8, 0))));
        EXPECT_TRUE(UpdateLastLoginTime(user.UserName, QDateTime(QDate(2026, 12, 10), QTime(19, 30))));
        return ShowDialog(Keep(std::make_unique<TFrmLogin>()));
    }
    if (scene == QStringLiteral("FrmMain")) {
        TFrmMain* main = Main();
        return TSceneView{main, main};
    }
    if (scene == QStringLiteral("FrmMain-Settings")) {
        TFrmMain* main = Main();
        if (!ClickAtCentre(main->labSet))
            return {};
        if (!main->pmSet->isVisible()) {
            ADD_FAILURE() << "设置 opened no menu";
            return {};
        }
        return TSceneView{main->pmSet, main->pmSet};
    }

    if (scene == QStringLiteral("FrmMain-Media") || scene == QStringLiteral("FrmMain-Recent")) {
        TFrmMain* main = Main();
        if (scene.endsWith(QStringLiteral("Recent"))) {
            // Two files opened: the lesson and the clip, so both groups list one.
            if (!OpenMode(1, false) || !OpenMode(1, true))
                return {};
            if (!ClickAtCentre(main->labMain))
                return {};
        }
        if (!ClickAtCentre(scene.endsWith(QStringLiteral("Recent")) ? main->ppbRecent : main->ppbMedia))
            return {};
        return TSceneView{main, main};
    }

    const QStringList screens{QStringLiteral("FrmBrowseRecite"), QStringLiteral("FrmSingleSentence"),
                              QStringLiteral("FrmFreeSentence"), QStringLiteral("FrmStudySpeak"),
                              QStringLiteral("FrmTranslateTrain")};
    const QStringList videoScreens{QStringLiteral("FrmVideoBrowseRecite"), QStringLiteral("FrmVSingleSentence"),
                                   QStringLiteral("FrmVFreeSentence"), QStringLiteral("FrmVStudySpeak"),
                                   QStringLiteral("FrmVTranslateTrain")};
    const bool video = videoScreens.contains(scene);
    const int mode = int((video ? videoScreens : screens).indexOf(scene)) + 1;
    if (mode > 0) {
        TSceneView view = hosted(mode, video);
        if (!view)
            return view;
        const QStringList english = video ? ClipLines() : SampleLessonLines();
        if (auto* single = qobject_cast<TSingleDictationScreen*>(view.Form)) {
            // Two answers typed, each ended with Enter, the third row current.
            single->Timer->stop();
            Type(single->InputWidget, english[0].left(english[0].size() - 6), true);
            Type(single->InputWidget, english[1].toLower(), true);
        } else if (auto* free = qobject_cast<TFreeDictationScreen*>(view.Form)) {
            free->Timer->stop();
            Type(free->rdeEditWidget, english[0], true);
            Type(free->rdeEditWidget, english[1].left(english[1].size() / 2), false);
        } else if (auto* translate = qobject_cast<TTranslateScreen*>(view.Form)) {
            // The first two words of the sentence placed, by clicking their tiles.
            translate->Timer->stop();
            const QStringList words = english[0].split(u' ', Qt::SkipEmptyParts);
            for (int w = 0; w < 2; ++w) {
                const TPiboWordItems& tiles = translate->ppwSur->WordItems();
                for (const TPiboWordItem& tile : tiles) {
                    if (tile.Visible && tile.Word == words[w]) {
                        const QRect r(QPoint(tile.Rect.Left, tile.Rect.Top), QPoint(tile.Rect.Right - 1, tile.Rect.Bottom - 1));
                        ClickAt(translate->ppwSur, r.center());
                        break;
                    }
                }
            }
        }
        return view;
    }

    if (scene == QStringLiteral("FrmSingleCheck") || scene == QStringLiteral("FrmSingleCheck-Row")) {
        TSingleCheckTotalRes& res = FResults.emplace_back(SampleSingleResult());
        auto dialog = std::make_unique<TFrmSingleCheck>();
        dialog->CheckRes = &res;
        dialog->RowIndex = scene.endsWith(QStringLiteral("-Row")) ? 0 : -1;
        return ShowDialog(Keep(std::move(dialog)));
    }
    if (scene == QStringLiteral("FrmFreeCheck")) {
        TSingleCheckTotalRes& res = FResults.emplace_back();
        const QStringList lines{QStringLiteral("Good morning everyone and welcome to our English glass."),
                                QStringLiteral("Today we are going to talk about our seasons.")};
        ResetFreeTest(res, SampleLesson + QStringLiteral(".wav"), SampleLessonLines());
        CheckAllFree(res, SampleLesson + QStringLiteral(".wav"), lines, QStringLiteral("00:04:10"));
        auto dialog = std::make_unique<TFrmFreeCheck>();
        dialog->CheckRes = &res;
        dialog->TypedLines = lines;
        return ShowDialog(Keep(std::move(dialog)));
    }
    if (scene.startsWith(QStringLiteral("FrmStudyRecord"))) {
        const QString user = SystemPara.UserInfo.UserName;
        for (int i = 0; i < 3; ++i) {
            TSingleDictateRecord dictation;
            dictation.Name = user;
            dictation.Accuracy = QStringLiteral("%1%").arg(60 + 15 * i);
            dictation.DictateTime = QDateTime(QDate(2026, 12, 8 + i), QTime(20, 15, 0));
            dictation.CostTime = 300 + 40 * i;
            dictation.KeJianName = SampleLesson + QStringLiteral(".pibo");
            EXPECT_TRUE(AddSingleDictateRecord(dictation));
            TStudySpeakRecord speak;
            speak.Name = user;
            speak.RecordTime = QDateTime(QDate(2026, 12, 8 + i), QTime(21, 0, 0));
            speak.CostTime = 4 + i;
            speak.RecordFileSize = 705600 * (4 + i);
            speak.Content = SampleLessonLines()[i];
            EXPECT_TRUE(AddStudySpeakRecord(speak));
            TTranslateRecord transfer;
            transfer.Name = user;
            transfer.WordCount = 10;
            transfer.MoveCount = 10 + i;
            transfer.Accuracy = QStringLiteral("%1%").arg(100 - 10 * i);
            transfer.Sentence = SampleLessonLines()[i];
            transfer.EndTime = QDateTime(QDate(2026, 12, 9), QTime(18, 10 + i, 0));
            transfer.CostTime = 25 + i;
            transfer.KeJianName = SampleLesson;
            EXPECT_TRUE(AddTransferRecord(transfer));
            TSentenceList sentence;
            sentence.Name = user;
            sentence.FileName = SampleLesson + QStringLiteral(".wav");
            sentence.English = SampleLessonLines()[i];
            sentence.China = QStringLiteral("第%1句").arg(i + 1);
            sentence.OperateTime = QDateTime(QDate(2026, 12, 9), QTime(18, 30 + i, 0));
            EXPECT_TRUE(AddSentenceList(sentence));
        }
        TSceneView view = ShowDialog(Keep(std::make_unique<TFrmStudyRecord>(Main())));
        auto* records = static_cast<TFrmStudyRecord*>(view.Form);
        TPiboSpeedButton* page = scene.endsWith(QStringLiteral("-Speak"))      ? records->psbSpeak
                                 : scene.endsWith(QStringLiteral("-Transfer")) ? records->psbTransfer
                                 : scene.endsWith(QStringLiteral("-Sentence")) ? records->psbSentence
                                                                               : nullptr;
        if (page && !ClickAtCentre(page))
            return {};
        return view;
    }
    if (scene == QStringLiteral("FrmAudioCutSet"))
        return ShowDialog(Keep(std::make_unique<TFrmAudioCutSet>(Main())));
    if (scene == QStringLiteral("FrmShowInfo")) {
        auto dialog = std::make_unique<TFrmShowInfo>();
        dialog->SetInfo(QStringLiteral("加入句库成功！"));
        return ShowDialog(Keep(std::move(dialog)));
    }
    if (scene == QStringLiteral("FrmShowQuestionInfo")) {
        auto dialog = std::make_unique<TFrmShowQuestionInfo>();
        dialog->SetInfo(QStringLiteral("确定要删除？"));
        return ShowDialog(Keep(std::move(dialog)));
    }
    if (scene == QStringLiteral("FrmInputEdit")) {
        auto dialog = std::make_unique<TFrmInputEdit>();
        dialog->SetTitle(QStringLiteral("添加目录"));
        dialog->SetInputCaption(QStringLiteral("请输入目录名称"));
        // Typed after the stage's answerer has seen the dialog come up.
        TFrmInputEdit* shown = Keep(std::move(dialog));
        const TSceneView view = ShowDialog(shown);
        shown->ediInput->setText(QStringLiteral("第二单元"));
        ProcessEvents();
        return view;
    }
    if (scene == QStringLiteral("FrmSelectDir")) {
        auto dialog = std::make_unique<TFrmSelectDir>();
        if (dialog->tvDir->topLevelItemCount() > 0) {
            dialog->tvDir->expandItem(dialog->tvDir->topLevelItem(dialog->tvDir->topLevelItemCount() - 1));
            dialog->tvDir->setCurrentItem(dialog->tvDir->topLevelItem(0));
        }
        return ShowDialog(Keep(std::move(dialog)));
    }
    if (scene == QStringLiteral("QtOpenDialog")) {
        // Qt's own open dialog as "添加文件" of the media list shows it (the
        // stage's answerer would close it at once: it looks away meanwhile).
        qApp->removeEventFilter(&Dialogs);
        auto dialog = std::make_unique<QFileDialog>(nullptr, QStringLiteral("打开"));
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::ExistingFile);
        dialog->setOption(QFileDialog::DontUseNativeDialog);
        dialog->setNameFilters(NameFiltersOf(QStringLiteral(
            "媒体文件(*.wav,*.mp3,*.avi,*.asf,*.wmv)|*.wav;*.mp3;*.avi;*.asf;*.wmv|音频文件(*.wav,*.mp3)|*.wav;*.mp3")));
        dialog->setDirectory(QFileInfo(FClip).absolutePath());
        dialog->resize(640, 420);
        const TSceneView view = ShowDialog(Keep(std::move(dialog)));
        qApp->installEventFilter(&Dialogs);
        return view;
    }
    ADD_FAILURE() << "no scene is called " << scene.toStdString();
    return {};
}
