// The main window hosting fake study screens: creating, reusing, replacing and
// freeing them, opening files, hot keys, dropped files, subtitles and the
// update command.

#include "HotKeys.h"
#include "UDataOperaterFun.h"
#include "UFrmIni.h"
#include "UFrmMain.h"
#include "UPiboComponent.h"
#include "UWebLinks.h"
#include "WindowsTestSupport.h"

#include <QtCore/QEventLoop>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QFileSystemWatcher>
#include <QtCore/QMimeData>
#include <QtCore/QProcess>
#include <QtCore/QTimer>
#include <QtCore/QUrl>
#include <QtGui/QDropEvent>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QStackedWidget>
#include <QtWidgets/QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class HostingTest : public ::testing::Test {
protected:
    TWindowTestEnvironment Env;
    TFakeScreens Screens;
    std::unique_ptr<TFrmMain> Main;

    void SetUp() override
    {
        Main = std::make_unique<TFrmMain>();
        Main->show();
        ProcessEvents();
    }

    void TearDown() override
    {
        Main.reset();
        ProcessEvents();
    }

    // Adds a media file to the list and selects it on the media page.
    void SelectMedia(const QString& path)
    {
        if (!Main->IsMediaLoaded(path))
            Main->AddMediaFile(path);
        Main->PageButtonClick(Main->ppbMedia);
        for (int i = 0; i < Main->tvMedia->topLevelItemCount(); ++i) {
            QTreeWidgetItem* root = Main->tvMedia->topLevelItem(i);
            for (int j = 0; j < root->childCount(); ++j)
                if (root->child(j)->data(0, TFrmMain::ItemPathRole).toString() == path)
                    Main->tvMedia->setCurrentItem(root->child(j));
        }
    }

    QString Temp(const QString& name) const { return Env.File(QStringLiteral("temp/") + name); }
};

TEST_F(HostingTest, ScreensAreCreatedReusedReplacedByTheirTwinAndFreed)
{
    const QString a = Env.File(QStringLiteral("media/a.wav"));
    const QString b = Env.File(QStringLiteral("media/b.wav"));
    WriteToneWave(a, 300);
    WriteToneWave(b, 300);
    const QString v = Env.Write(QStringLiteral("media/v.avi"));
    EXPECT_EQ(Main->ExistingScreens(), QStringList{QStringLiteral("FrmIni")});
    TDialogRecorder dialogs;

    SelectMedia(a);
    Main->ModeButtonClick(2);
    EXPECT_EQ(ScreenLog(), QStringList{QStringLiteral("show FrmSingleSentence ") + Temp(QStringLiteral("a.wav"))});
    EXPECT_EQ(Main->ExistingScreens(), QStringList{QStringLiteral("FrmSingleSentence")});
    EXPECT_EQ(Main->CurMode(), 2);
    EXPECT_EQ(Main->CurFile(), a);
    EXPECT_EQ(SystemPara.FilePath, a);
    TForm* screen = Main->Screen(QStringLiteral("FrmSingleSentence"));
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->parentWidget(), Main->panFormClient);
    EXPECT_EQ(screen->geometry(), Main->panFormClient->rect());
    EXPECT_FALSE(screen->isWindow());

    // The same item in the same mode: nothing at all.
    ScreenLog().clear();
    Main->ModeButtonClick(2);
    EXPECT_TRUE(ScreenLog().isEmpty());

    // Another audio file in the same mode reuses the screen.
    SelectMedia(b);
    Main->ModeButtonClick(2);
    EXPECT_EQ(ScreenLog(), QStringList{QStringLiteral("reload FrmSingleSentence ") + Temp(QStringLiteral("b.wav"))});
    EXPECT_EQ(Main->Screen(QStringLiteral("FrmSingleSentence")), screen);

    // A video file in the same mode: the twin replaces it.
    ScreenLog().clear();
    SelectMedia(v);
    Main->ModeButtonClick(2);
    EXPECT_EQ(ScreenLog(), (QStringList{QStringLiteral("show FrmVSingleSentence ") + v,
                                        QStringLiteral("free FrmSingleSentence")}));
    EXPECT_EQ(Main->ExistingScreens(), QStringList{QStringLiteral("FrmVSingleSentence")});

    // An audio file again: a new audio screen.
    ScreenLog().clear();
    SelectMedia(a);
    Main->ModeButtonClick(2);
    EXPECT_EQ(ScreenLog(), (QStringList{QStringLiteral("show FrmSingleSentence ") + Temp(QStringLiteral("a.wav")),
                                        QStringLiteral("free FrmVSingleSentence")}));

    // Another mode frees the screens of this one; the maker gets the library.
    ScreenLog().clear();
    Main->ModeButtonClick(6);
    EXPECT_EQ(Main->ExistingScreens(), QStringList{QStringLiteral("FrmWordMake")});
    EXPECT_EQ(AsStudyScreen(Main->Screen(QStringLiteral("FrmWordMake")))->LibraryTree(), Main->tvMain);
    EXPECT_EQ(Main->labHot->text(), TFrmMain::HotKeyHintMaker);
    Main->ModeButtonClick(1);
    EXPECT_EQ(Main->labHot->text(), TFrmMain::HotKeyHintStudy);
    EXPECT_EQ(AsStudyScreen(Main->Screen(QStringLiteral("FrmBrowseRecite")))->LibraryTree(), nullptr);

    // The start page frees everything and resets mode and file.
    Main->labMainClick();
    EXPECT_EQ(Main->ExistingScreens(), QStringList{QStringLiteral("FrmIni")});
    EXPECT_EQ(Main->CurMode(), 0);
    EXPECT_EQ(Main->CurFile(), QString());
    EXPECT_FALSE(ScreenLog().join(u'|').contains(QStringLiteral("late")));
    EXPECT_TRUE(dialogs.Infos.isEmpty()) << dialogs.Infos.join(u'|').toStdString();
}

TEST_F(HostingTest, RefusalsLeaveScreenModeAndFileAsTheyWere)
{
    const QString a = Env.File(QStringLiteral("media/a.wav"));
    WriteToneWave(a, 200);
    TDialogRecorder dialogs;
    Main->PageButtonClick(Main->ppbKeJian);
    Main->tvMain->setCurrentItem(Main->tvMain->topLevelItem(0));
    Main->ModeButtonClick(1);
    Main->PageButtonClick(Main->ppbMedia);
    Main->tvMedia->setCurrentItem(nullptr);
    Main->ModeButtonClick(1);
    Main->PageButtonClick(Main->ppbRecent);
    Main->tvRecentOpen->setCurrentItem(Main->tvRecentOpen->topLevelItem(0));
    Main->ModeButtonClick(1);
    SelectMedia(a);
    QFile::remove(a);
    Main->ModeButtonClick(1);
    EXPECT_EQ(dialogs.Infos, (QStringList{QStringLiteral("请选择课件！"), QStringLiteral("请选择媒体文件！"),
                                          QStringLiteral("请选择文件！"), QStringLiteral("您选择的媒体文件不存在！")}));
    EXPECT_EQ(Main->ExistingScreens(), QStringList{QStringLiteral("FrmIni")});
    EXPECT_EQ(Main->CurMode(), 0);
    EXPECT_TRUE(ScreenLog().isEmpty());
}

TEST_F(HostingTest, AfterAFailedOpenTheButtonOfTheShownScreenStaysDown)
{
    const QString a = Env.File(QStringLiteral("media/a.wav"));
    WriteToneWave(a, 200);
    TDialogRecorder dialogs;
    const auto click = [](TPiboMainButton* button) {
        ASSERT_TRUE(button->isVisible());
        QWidget* face = button->childAt(button->rect().center());
        ASSERT_NE(face, nullptr);
        QTest::mouseClick(face, Qt::LeftButton, Qt::NoModifier, face->mapFrom(button, button->rect().center()));
        ProcessEvents();
    };
    const auto downButtons = [this] {
        QStringList names;
        for (TPiboMainButton* button : {Main->pmbLiuLan, Main->pmbDanJu, Main->pmbtZiYou, Main->pmbKouYu,
                                        Main->pmbFanYi, Main->pmbChengJi, Main->pmbZhiZuo})
            if (button->CurrentPictureRole() == QStringLiteral("down"))
                names << button->objectName();
        return names;
    };
    EXPECT_TRUE(downButtons().isEmpty());  // the start page

    SelectMedia(a);
    click(Main->pmbLiuLan);
    ASSERT_EQ(Main->ExistingScreens(), QStringList{QStringLiteral("FrmBrowseRecite")});
    EXPECT_EQ(downButtons(), QStringList{QStringLiteral("pmbLiuLan")});

    // 单句听写 without a selected file: refused, and the browse screen with
    // its button stays.
    Main->tvMedia->setCurrentItem(nullptr);
    click(Main->pmbDanJu);
    EXPECT_EQ(dialogs.Infos, QStringList{QStringLiteral("请选择媒体文件！")});
    EXPECT_EQ(Main->ExistingScreens(), QStringList{QStringLiteral("FrmBrowseRecite")});
    EXPECT_EQ(downButtons(), QStringList{QStringLiteral("pmbLiuLan")});

    // The file gone: refused as well.
    SelectMedia(a);
    QFile::remove(a);
    click(Main->pmbKouYu);
    EXPECT_EQ(dialogs.Infos.size(), 2);
    EXPECT_EQ(downButtons(), QStringList{QStringLiteral("pmbLiuLan")});

    // The start page leaves no button down.
    Main->ShowStartPage();
    EXPECT_TRUE(downButtons().isEmpty());
}

TEST_F(HostingTest, AModeWithoutFactoryKeepsTheStartPage)
{
    const QString a = Env.File(QStringLiteral("media/a.wav"));
    WriteToneWave(a, 200);
    RegisterFormFactory(QStringLiteral("FrmFreeSentence"), nullptr);
    TDialogRecorder dialogs;
    SelectMedia(a);
    Main->ModeButtonClick(3);
    EXPECT_EQ(Main->ExistingScreens(), QStringList{QStringLiteral("FrmIni")});
    EXPECT_EQ(Main->CurMode(), 3);  // the mode is taken even when its screen failed
    EXPECT_TRUE(dialogs.Infos.isEmpty());

    // The study records window without a factory: nothing happens either.
    Main->pmbChengJi->OnClick();
    EXPECT_TRUE(dialogs.Infos.isEmpty());
}

TEST_F(HostingTest, TheStudyRecordsWindowRunsModallyAndIsFreed)
{
    QPointer<TForm> shown;
    RegisterFormFactory(QStringLiteral("FrmStudyRecord"), [](QWidget* parent) {
        auto* form = new TForm(parent);
        form->resize(100, 80);
        return form;
    });
    WhenModalShown([&shown](QWidget* modal) {
        shown = qobject_cast<TForm*>(modal);
        if (shown)
            shown->SetModalResult(mrOk);
    });
    Main->pmbChengJi->OnClick();
    RegisterFormFactory(QStringLiteral("FrmStudyRecord"), nullptr);
    EXPECT_TRUE(shown.isNull());  // it was shown, and is freed again
    EXPECT_EQ(Main->ExistingScreens(), QStringList{QStringLiteral("FrmIni")});
}

TEST_F(HostingTest, HotKeysReachTheOpenScreenNotTheStartPage)
{
    EXPECT_EQ(TFrmMain::HotKeyOrder(),
              (QStringList{QStringLiteral("FrmBrowseRecite"), QStringLiteral("FrmVideoBrowseRecite"),
                           QStringLiteral("FrmSingleSentence"), QStringLiteral("FrmVSingleSentence"),
                           QStringLiteral("FrmFreeSentence"), QStringLiteral("FrmVFreeSentence"),
                           QStringLiteral("FrmTranslateTrain"), QStringLiteral("FrmVTranslateTrain"),
                           QStringLiteral("FrmStudySpeak"), QStringLiteral("FrmVStudySpeak"),
                           QStringLiteral("FrmWordMake"), QStringLiteral("FrmVWordMake")}));
    ASSERT_NE(SystemPara.HotKeyF8, 0);
    QCoreApplication::postEvent(Main.get(), new THotKeyEvent(SystemPara.HotKeyF8));
    ProcessEvents();
    EXPECT_TRUE(ScreenLog().isEmpty());

    const QString a = Env.File(QStringLiteral("media/a.wav"));
    WriteToneWave(a, 200);
    SelectMedia(a);
    Main->ModeButtonClick(5);
    ScreenLog().clear();
    QCoreApplication::postEvent(Main.get(), new THotKeyEvent(SystemPara.HotKeyAltX));
    ProcessEvents();
    EXPECT_EQ(ScreenLog(), QStringList{QStringLiteral("hotkey FrmTranslateTrain %1").arg(SystemPara.HotKeyAltX)});
}

TEST_F(HostingTest, ClosingWhileMaximisedRestoresAndFreesTheScreensFirst)
{
    const QString a = Env.File(QStringLiteral("media/a.wav"));
    WriteToneWave(a, 200);
    SelectMedia(a);
    Main->ModeButtonClick(1);
    const QSize normal(Main->NormalWidth(), Main->NormalHeight());
    Main->ppsbMaxClick();
    ASSERT_TRUE(Main->Maximized());
    ScreenLog().clear();
    Main->close();
    EXPECT_FALSE(Main->Maximized());
    EXPECT_EQ(Main->size(), normal);
    EXPECT_TRUE(Main->ppsbMax->isVisibleTo(Main.get()));
    EXPECT_TRUE(Main->ExistingScreens().isEmpty());
    EXPECT_EQ(ScreenLog(), QStringList{QStringLiteral("free FrmBrowseRecite")});

    // Destroyed without closing: the screens still go before the window's parts.
    Main->show();
    Main->ModeButtonClick(4);
    ASSERT_EQ(Main->ExistingScreens(), QStringList{QStringLiteral("FrmStudySpeak")});
    ScreenLog().clear();
    Main.reset();
    EXPECT_EQ(ScreenLog(), QStringList{QStringLiteral("free FrmStudySpeak")});
}

TEST_F(HostingTest, AnMp3IsConvertedOnceAndPaddedWithSilence)
{
    const QString wav = Env.File(QStringLiteral("media/tone.wav"));
    WriteToneWave(wav, 1000);
    const QString mp3 = Env.File(QStringLiteral("media/lesson.mp3"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("lame"), {QStringLiteral("--quiet"), QStringLiteral("-b"),
                                                         QStringLiteral("64"), wav, mp3}),
              0);
    SelectMedia(mp3);
    Main->ModeButtonClick(1);
    const QString play = Temp(QStringLiteral("lesson.wav"));
    ASSERT_EQ(ScreenLog().value(0), QStringLiteral("show FrmBrowseRecite ") + play);
    const QByteArray made = ReadAll(play);
    ASSERT_GT(made.size(), 44 + 8000);  // header, 0.5 s of silence, the sound
    const QDateTime time = QFileInfo(play).lastModified();

    // The second opening (another mode) finds the WAV made from the same file.
    QFile::remove(Temp(QStringLiteral("lesson.mp3")));
    Main->ModeButtonClick(2);
    EXPECT_EQ(ScreenLog().value(1), QStringLiteral("show FrmSingleSentence ") + play);
    EXPECT_EQ(ReadAll(play), made);
    EXPECT_EQ(QFileInfo(play).lastModified(), time);
    EXPECT_FALSE(QFileInfo::exists(Temp(QStringLiteral("lesson.mp3"))));  // nothing copied again
}

TEST_F(HostingTest, AnLrcIsShiftedByHalfASecondAndTheOpenScreenReloadsIt)
{
    const QString a = Env.File(QStringLiteral("media/talk.wav"));
    WriteToneWave(a, 200);
    const QString lrc = Env.Write(QStringLiteral("subs/talk words.lrc"),
                                  "[00:01.00]Hello\r\n[00:02.50]World\r\n[00:04.00]Bye\r\n");
    Env.Write(QStringLiteral("temp/talk.plrc"), "stale");
    SelectMedia(a);
    Main->ModeButtonClick(2);
    ScreenLog().clear();
    TDialogRecorder dialogs;
    dialogs.Files << lrc;
    Main->miLoadLrc->trigger();
    EXPECT_EQ(dialogs.FileFilters.value(0), QStringLiteral("音频字幕文件(*.lrc,*.plrc) (*.lrc *.plrc)"));
    const QByteArray shifted = ReadAll(Temp(QStringLiteral("talk.lrc")));
    EXPECT_TRUE(shifted.contains("[00:01.00]Hello")) << shifted.constData();
    EXPECT_TRUE(shifted.contains("[00:03.00]World")) << shifted.constData();
    EXPECT_TRUE(shifted.contains("[00:04.50]Bye")) << shifted.constData();
    EXPECT_FALSE(QFileInfo::exists(Temp(QStringLiteral("talk.plrc"))));
    EXPECT_EQ(ReadAll(lrc), QByteArray("[00:01.00]Hello\r\n[00:02.50]World\r\n[00:04.00]Bye\r\n"));
    EXPECT_EQ(ScreenLog(), QStringList{QStringLiteral("subtitle FrmSingleSentence")});

    // A ".plrc" is taken as it is; the media's own subtitle file is never lost.
    const QString video = Env.Write(QStringLiteral("media/film.avi"));
    const QString own = Env.Write(QStringLiteral("media/film.srt"), "1\r\n00:00:01,000 --> 00:00:02,000\r\nHi\r\n");
    SelectMedia(video);
    dialogs.Files << own;
    Main->miLoadLrc->trigger();
    EXPECT_EQ(ReadAll(own), QByteArray("1\r\n00:00:01,000 --> 00:00:02,000\r\nHi\r\n"));
    EXPECT_EQ(ScreenLog().size(), 1);  // the film is not the open file
    EXPECT_TRUE(dialogs.Infos.isEmpty());
}

TEST_F(HostingTest, OfThreeDroppedFilesTheFirstIsAddedAndOpened)
{
    QList<QUrl> urls;
    for (const char* name : {"one.wav", "two.wav", "three.wav"}) {
        const QString path = Env.File(QStringLiteral("drop/") + QLatin1String(name));
        WriteToneWave(path, 200);
        urls << QUrl::fromLocalFile(path);
    }
    const auto drop = [this](const QList<QUrl>& files) {
        auto* mime = new QMimeData;
        mime->setUrls(files);
        QWidget* target = Main->tvMedia->viewport();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        QDropEvent event(QPointF(5, 5), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &event);
        delete mime;
    };
    TDialogRecorder dialogs;
    Main->PageButtonClick(Main->ppbMedia);
    drop(urls);
    const QString first = urls.first().toLocalFile();
    EXPECT_TRUE(Main->IsMediaLoaded(first));
    EXPECT_FALSE(Main->IsMediaLoaded(urls.at(1).toLocalFile()));
    EXPECT_EQ(Main->CurMode(), 1);
    EXPECT_EQ(Main->CurFile(), first);
    EXPECT_EQ(ScreenLog(), QStringList{QStringLiteral("show FrmBrowseRecite ") + Temp(QStringLiteral("one.wav"))});

    // Dropping a listed file does nothing at all.
    drop({urls.first()});
    EXPECT_EQ(ScreenLog().size(), 1);
    EXPECT_TRUE(dialogs.Infos.isEmpty());
}

TEST_F(HostingTest, RecentFilesMoveToTheTopExceptWhenOpenedFromTheRecentList)
{
    const QString a = Env.File(QStringLiteral("media/a.wav"));
    const QString b = Env.File(QStringLiteral("media/b.wav"));
    WriteToneWave(a, 200);
    WriteToneWave(b, 200);
    SelectMedia(a);
    Main->ModeButtonClick(1);
    SelectMedia(b);
    Main->ModeButtonClick(1);
    QTreeWidgetItem* group = Main->RecentGroup(1);
    ASSERT_EQ(group->childCount(), 2);
    EXPECT_EQ(group->child(0)->text(0), b);

    Main->PageButtonClick(Main->ppbRecent);
    Main->tvRecentOpen->setCurrentItem(Main->RecentGroup(1)->child(1));  // a
    Main->ModeButtonClick(2);
    EXPECT_EQ(Main->CurFile(), a);
    EXPECT_EQ(Main->RecentGroup(1)->child(0)->text(0), b);  // unchanged order

    SelectMedia(a);
    Main->ModeButtonClick(3);
    EXPECT_EQ(Main->RecentGroup(1)->child(0)->text(0), a);
    EXPECT_EQ(Main->RecentGroup(1)->childCount(), 2);
}

TEST_F(HostingTest, TheUpdateLinkHandsOverToTheUpdater)
{
    const QString ini = Env.File(QStringLiteral("Update.ini"));
    Env.Write(QStringLiteral("Update.ini"), "[Update]\r\nVersion=1.1\r\nRemoteVersion=1.1\r\n");
    const QString marker = Env.File(QStringLiteral("update/started"));
    const QString script = Env.Write(QStringLiteral("pibozun"),
                                     QStringLiteral("#!/bin/sh\necho started > '%1'\n").arg(marker).toUtf8());
    QFile::setPermissions(script, QFile::permissions(script) | QFileDevice::ExeOwner);
    TDialogRecorder dialogs;

    Main->labUpdate->OnClick();
    EXPECT_EQ(dialogs.Infos, QStringList{QStringLiteral("您使用的已经是最新版本了！")});
    EXPECT_TRUE(dialogs.Questions.isEmpty());

    Env.Write(QStringLiteral("Update.ini"), "[Update]\r\nVersion=1.1\r\nRemoteVersion=1.2\r\n");
    dialogs.QuestionAnswers << false;
    Main->labUpdate->OnClick();
    EXPECT_EQ(dialogs.Questions, QStringList{QStringLiteral("有新版本可更新，是否更新？")});

    // Yes: the running loop ends and the updater starts.
    QFileSystemWatcher watcher({Env.File(QStringLiteral("update"))});
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [this] { Main->labUpdate->OnClick(); });
    const int result = loop.exec();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(dialogs.Questions.size(), 2);
    // The ended loop stays ended for new loops of this thread: wait by
    // processing events, woken by the folder watcher.
    EXPECT_TRUE(WaitFor([&marker] { return QFileInfo::exists(marker); }));
    Q_UNUSED(ini);
}

}  // namespace
