// The main window's frame, courseware library, media list and recent list on
// a temporary program folder.

#include "UDataInterface.h"
#include "UDataOperaterFun.h"
#include "UFrmMain.h"
#include "UFrmSelectDir.h"
#include "UPiboComponent.h"
#include "UWebLinks.h"
#include "WindowsTestSupport.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtSql/QSqlQuery>
#include <QtGui/QAction>
#include <QtGui/QFontMetrics>
#include <QtTest/QTest>
#include <QtWidgets/QLabel>
#include <QtWidgets/QStackedWidget>
#include <QtWidgets/QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

// The texts below an item, sorted (the disk gives no order), folders marked with '/'.
QStringList Children(QTreeWidgetItem* item)
{
    QStringList texts;
    for (int i = 0; i < item->childCount(); ++i)
        texts << item->child(i)->text(0) + (TreeNodeData(item->child(i)).Kind == 1 ? QStringLiteral("/") : QString());
    texts.sort();
    return texts;
}

int CountRows(const QString& sql)
{
    QSqlQuery query(DataInterface->Connection());
    return query.exec(sql) && query.next() ? query.value(0).toInt() : -1;
}

class MainWindowTest : public ::testing::Test {
protected:
    TWindowTestEnvironment Env;

    std::unique_ptr<TFrmMain> Make()
    {
        auto main = std::make_unique<TFrmMain>();
        main->show();
        ProcessEvents();
        return main;
    }
};

TEST_F(MainWindowTest, TheLibraryMirrorsTheDisk)
{
    Env.Write(QStringLiteral("audio/Lessons/one.pibo"));
    Env.Write(QStringLiteral("audio/Lessons/two.PIBO"));      // not this extension: case counts
    Env.Write(QStringLiteral("audio/Lessons/three.vpibo"));   // a video package in the audio library
    Env.Write(QStringLiteral("audio/Lessons/Deeper/four.pibo"));
    Env.Write(QStringLiteral("audio/.PIBO"));                 // a name without a base
    Env.Write(QStringLiteral("audio/top.pibo"));
    QDir().mkpath(Env.File(QStringLiteral("audio/Empty")));
    Env.Write(QStringLiteral("video/film.vpibo"));
    Env.Write(QStringLiteral("video/wrong.pibo"));
    auto main = Make();

    QTreeWidgetItem* audio = FindTreeItem(main->tvMain, {QStringLiteral("音频课件")});
    QTreeWidgetItem* video = FindTreeItem(main->tvMain, {QStringLiteral("视频课件")});
    ASSERT_TRUE(audio && video);
    EXPECT_EQ(Children(audio), (QStringList{QStringLiteral("Empty/"), QStringLiteral("Lessons/"), QStringLiteral("top")}));
    EXPECT_EQ(Children(FindTreeItem(main->tvMain, {QStringLiteral("音频课件"), QStringLiteral("Lessons")})),
              (QStringList{QStringLiteral("Deeper/"), QStringLiteral("one")}));
    EXPECT_EQ(Children(video), QStringList{QStringLiteral("film")});

    const TTreeNodeData root = TreeNodeData(audio);
    EXPECT_EQ(root.Kind, 0);
    EXPECT_FALSE(root.IsVideo);
    EXPECT_EQ(root.Path, Env.File(QStringLiteral("audio")));
    const TTreeNodeData four =
        TreeNodeData(FindTreeItem(main->tvMain, {QStringLiteral("音频课件"), QStringLiteral("Lessons"), QStringLiteral("Deeper"),
                                         QStringLiteral("four")}));
    EXPECT_EQ(four.Kind, -1);
    EXPECT_EQ(four.Path, Env.File(QStringLiteral("audio/Lessons/Deeper/four.pibo")));
    const TTreeNodeData film = TreeNodeData(FindTreeItem(main->tvMain, {QStringLiteral("视频课件"), QStringLiteral("film")}));
    EXPECT_TRUE(film.IsVideo);
    EXPECT_EQ(FindTreeItem(main->tvMain, {QStringLiteral("视频课件"), QStringLiteral("film")})->data(0, TreeNodeImageRole), 2);
    EXPECT_EQ(main->tvMain->currentItem(), audio);
    EXPECT_EQ(main->nbMain->currentIndex(), 0);
}

TEST_F(MainWindowTest, LibraryCommandsAreEnabledByNodeKind)
{
    Env.Write(QStringLiteral("audio/Lessons/one.pibo"));
    auto main = Make();
    const struct {
        QStringList Node;
        bool Add, Delete, AddDir, DeleteDir, Rename;
    } cases[] = {
        {{QStringLiteral("音频课件")}, false, false, true, false, false},
        {{QStringLiteral("音频课件"), QStringLiteral("Lessons")}, true, false, true, true, true},
        {{QStringLiteral("音频课件"), QStringLiteral("Lessons"), QStringLiteral("one")}, false, true, false, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Node.join(u'/').toStdString());
        main->tvMain->setCurrentItem(FindTreeItem(main->tvMain, c.Node));
        main->pmMainPopup();
        EXPECT_EQ(main->miAdd->isEnabled(), c.Add);
        EXPECT_EQ(main->miDelete->isEnabled(), c.Delete);
        EXPECT_EQ(main->miAddDir->isEnabled(), c.AddDir);
        EXPECT_EQ(main->miDeleteDir->isEnabled(), c.DeleteDir);
        EXPECT_EQ(main->miRename->isEnabled(), c.Rename);
    }
    // Without a selected node each command says what it needs.
    main->tvMain->setCurrentItem(nullptr);
    TDialogRecorder dialogs;
    main->miAddClick();
    main->miDeleteClick();
    main->miAddDirClick();
    main->miDeleteDirClick();
    main->miRenameClick();
    EXPECT_EQ(dialogs.Infos, (QStringList{QStringLiteral("请选择要添加课件所属的目录！"), QStringLiteral("请选择要删除的课件！"),
                                          QStringLiteral("请选择要创建目录的父目录！"), QStringLiteral("请选择要删除的目录！"),
                                          QStringLiteral("请选择要重命名的课件或目录！")}));
}

TEST_F(MainWindowTest, FolderNamesAreCheckedAndStayInsideTheLibrary)
{
    Env.Write(QStringLiteral("audio/Lessons/one.pibo"));
    auto main = Make();
    QTreeWidgetItem* audio = FindTreeItem(main->tvMain, {QStringLiteral("音频课件")});
    const struct {
        const char* Name;
        const char* Message;  // null: created
    } cases[] = {
        {"", "目录名不能为空"},
        {"   ", "目录名不能为空"},
        {"Lessons", "此目录名已经存在，请重新设置一个目录名。"},
        {"../escaped", "创建目录失败！"},
        {"a/b", "创建目录失败！"},
        {"..", "创建目录失败！"},
        {".", "创建目录失败！"},
        {"新 目录", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString name = QString::fromUtf8(c.Name);
        TDialogRecorder dialogs;
        dialogs.Inputs << qMakePair(name, true);
        main->tvMain->setCurrentItem(audio);
        main->miAddDir->trigger();
        if (c.Message) {
            EXPECT_EQ(dialogs.Infos, QStringList{QString::fromUtf8(c.Message)});
        } else {
            EXPECT_TRUE(dialogs.Infos.isEmpty()) << dialogs.Infos.join(u'|').toStdString();
            QTreeWidgetItem* node = FindTreeItem(main->tvMain, {QStringLiteral("音频课件"), name});
            ASSERT_NE(node, nullptr);
            EXPECT_EQ(TreeNodeData(node).Path, Env.File(QStringLiteral("audio/") + name));
            EXPECT_TRUE(QFileInfo(Env.File(QStringLiteral("audio/") + name)).isDir());
        }
    }
    EXPECT_FALSE(QFileInfo::exists(Env.File(QStringLiteral("escaped"))));
    EXPECT_FALSE(QFileInfo::exists(Env.File(QStringLiteral("audio/a"))));
    // Cancelling creates nothing and says nothing.
    TDialogRecorder dialogs;
    dialogs.Inputs << qMakePair(QStringLiteral("cancelled"), false);
    main->miAddDir->trigger();
    EXPECT_TRUE(dialogs.Infos.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(Env.File(QStringLiteral("audio/cancelled"))));
}

TEST_F(MainWindowTest, RenamingAFolderMovesTheNodesBelowIt)
{
    Env.Write(QStringLiteral("audio/Old/Inner/one.pibo"));
    Env.Write(QStringLiteral("audio/Other/two.pibo"));
    auto main = Make();
    QTreeWidgetItem* old = FindTreeItem(main->tvMain, {QStringLiteral("音频课件"), QStringLiteral("Old")});
    ASSERT_NE(old, nullptr);

    const struct {
        const char* Text;
        const char* Message;
    } refused[] = {{"  ", "名称不能为空"},
                   {"Other", "此名称已经存在，请重新设置一个名称。"},
                   {"../Out", "目录名重命名失败，请检查目录是否已经被打开。"},
                   {"..", "目录名重命名失败，请检查目录是否已经被打开。"}};
    for (const auto& c : refused) {
        SCOPED_TRACE(c.Text);
        TDialogRecorder dialogs;
        dialogs.Inputs << qMakePair(QString::fromUtf8(c.Text), true);
        main->tvMain->setCurrentItem(old);
        main->miRename->trigger();
        EXPECT_EQ(dialogs.Infos, QStringList{QString::fromUtf8(c.Message)});
        EXPECT_EQ(old->text(0), QStringLiteral("Old"));
    }
    EXPECT_TRUE(QFileInfo(Env.File(QStringLiteral("audio/Old/Inner/one.pibo"))).isFile());

    TDialogRecorder dialogs;
    dialogs.Inputs << qMakePair(QStringLiteral("New"), true);
    main->tvMain->setCurrentItem(old);
    main->miRename->trigger();
    EXPECT_TRUE(dialogs.Infos.isEmpty());
    EXPECT_EQ(old->text(0), QStringLiteral("New"));
    EXPECT_EQ(TreeNodeData(old).Path, Env.File(QStringLiteral("audio/New")));
    QTreeWidgetItem* one = FindTreeItem(main->tvMain, {QStringLiteral("音频课件"), QStringLiteral("New"), QStringLiteral("Inner"),
                                               QStringLiteral("one")});
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(TreeNodeData(one).Path, Env.File(QStringLiteral("audio/New/Inner/one.pibo")));
    EXPECT_TRUE(QFileInfo(TreeNodeData(one).Path).isFile());
    EXPECT_EQ(TreeNodeData(one->parent()).Path, Env.File(QStringLiteral("audio/New/Inner")));

    // A package keeps its extension.
    dialogs.Inputs << qMakePair(QStringLiteral("First"), true);
    main->tvMain->setCurrentItem(one);
    main->miRename->trigger();
    EXPECT_EQ(TreeNodeData(one).Path, Env.File(QStringLiteral("audio/New/Inner/First.pibo")));
    EXPECT_TRUE(QFileInfo(TreeNodeData(one).Path).isFile());
}

TEST_F(MainWindowTest, DeletingFoldersAndPackages)
{
    Env.Write(QStringLiteral("audio/Full/one.pibo"));
    Env.Write(QStringLiteral("audio/Stray/notes.txt"));  // a file the library does not show
    QDir().mkpath(Env.File(QStringLiteral("audio/Empty")));
    auto main = Make();
    TDialogRecorder dialogs;

    main->tvMain->setCurrentItem(FindTreeItem(main->tvMain, {QStringLiteral("音频课件"), QStringLiteral("Full")}));
    main->miDeleteDir->trigger();
    EXPECT_EQ(dialogs.Infos.value(0), QStringLiteral("此目录下存在子目录或课件，要删除此目录，请首先删除其子目录及课件。"));

    main->tvMain->setCurrentItem(FindTreeItem(main->tvMain, {QStringLiteral("音频课件"), QStringLiteral("Stray")}));
    main->miDeleteDir->trigger();
    EXPECT_EQ(dialogs.Questions.value(0), QStringLiteral("确定要删除【音频课件/Stray】？"));
    EXPECT_EQ(dialogs.Infos.value(1), QStringLiteral("删除目录失败！"));
    EXPECT_NE(FindTreeItem(main->tvMain, {QStringLiteral("音频课件"), QStringLiteral("Stray")}), nullptr);

    dialogs.QuestionAnswers << false;
    main->tvMain->setCurrentItem(FindTreeItem(main->tvMain, {QStringLiteral("音频课件"), QStringLiteral("Empty")}));
    main->miDeleteDir->trigger();
    EXPECT_TRUE(QFileInfo(Env.File(QStringLiteral("audio/Empty"))).isDir());
    main->miDeleteDir->trigger();
    EXPECT_FALSE(QFileInfo::exists(Env.File(QStringLiteral("audio/Empty"))));
    EXPECT_EQ(FindTreeItem(main->tvMain, {QStringLiteral("音频课件"), QStringLiteral("Empty")}), nullptr);

    main->tvMain->setCurrentItem(FindTreeItem(main->tvMain, {QStringLiteral("音频课件"), QStringLiteral("Full"), QStringLiteral("one")}));
    main->miDelete->trigger();
    EXPECT_EQ(dialogs.Questions.last(), QStringLiteral("确定要删除课件【音频课件/Full/one.pibo】？"));
    EXPECT_FALSE(QFileInfo::exists(Env.File(QStringLiteral("audio/Full/one.pibo"))));
    EXPECT_EQ(FindTreeItem(main->tvMain, {QStringLiteral("音频课件"), QStringLiteral("Full"), QStringLiteral("one")}), nullptr);
    EXPECT_EQ(dialogs.Infos.size(), 2);
}

TEST_F(MainWindowTest, AddingAPackageCopiesItAndNeverLosesTheSource)
{
    QDir().mkpath(Env.File(QStringLiteral("audio/Lessons")));
    const QString outside = Env.Write(QStringLiteral("elsewhere/new.pibo"), "package bytes");
    auto main = Make();
    QTreeWidgetItem* lessons = FindTreeItem(main->tvMain, {QStringLiteral("音频课件"), QStringLiteral("Lessons")});
    TDialogRecorder dialogs;

    dialogs.Files << outside;
    main->tvMain->setCurrentItem(lessons);
    main->miAdd->trigger();
    EXPECT_EQ(dialogs.FileFilters.value(0), QStringLiteral("皮博音频课件(*.pibo) (*.pibo)"));
    const QString inside = Env.File(QStringLiteral("audio/Lessons/new.pibo"));
    QTreeWidgetItem* added = FindTreeItem(main->tvMain, {QStringLiteral("音频课件"), QStringLiteral("Lessons"), QStringLiteral("new")});
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(TreeNodeData(added).Path, inside);
    EXPECT_EQ(added->data(0, TreeNodeImageRole), 1);

    // The package already at the target, chosen again and overwritten: nothing
    // is copied, nothing lost, no second node.
    dialogs.Files << inside;
    main->miAdd->trigger();
    EXPECT_EQ(dialogs.Questions, QStringList{QStringLiteral("已存在同名的课件，是否覆盖？")});
    QFile file(inside);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("package bytes"));
    EXPECT_EQ(lessons->childCount(), 1);
    EXPECT_TRUE(dialogs.Infos.isEmpty());
}

TEST_F(MainWindowTest, MediaListAddsOnceAndKeepsOneRow)
{
    const QString wav = Env.Write(QStringLiteral("media/it's.wav"));
    const QString text = Env.Write(QStringLiteral("media/notes.txt"));
    auto main = Make();
    TDialogRecorder dialogs;

    main->AddMediaFile(wav);
    main->AddMediaFile(wav);
    EXPECT_EQ(dialogs.Infos, QStringList{QStringLiteral("此媒体文件已经载入！")});
    main->AddMediaFile(text);  // kind 0: not added, nothing said
    EXPECT_EQ(dialogs.Infos.size(), 1);
    QTreeWidgetItem* node = FindTreeItem(main->tvMedia, {QStringLiteral("音频文件"), QStringLiteral("it's.wav")});
    ASSERT_NE(node, nullptr);

    main->tvMedia->setCurrentItem(node);
    main->miDeleteMdiea->trigger();
    EXPECT_FALSE(main->IsMediaLoaded(wav));
    EXPECT_TRUE(QFileInfo(wav).isFile());  // the file itself stays
    main->AddMediaFile(wav);
    EXPECT_EQ(CountRows(QStringLiteral("select count(*) from mediafileload")), 1);

    // The list of this user (a name with a quote) comes back at the next start.
    main.reset();
    QFile::remove(text);
    auto again = Make();
    EXPECT_NE(FindTreeItem(again->tvMedia, {QStringLiteral("音频文件"), QStringLiteral("it's.wav")}), nullptr);
    // Rows of files that are gone stay in the table but are not shown.
    again.reset();
    QFile::remove(wav);
    auto third = Make();
    EXPECT_EQ(FindTreeItem(third->tvMedia, {QStringLiteral("音频文件")})->childCount(), 0);
    EXPECT_EQ(CountRows(QStringLiteral("select count(*) from mediafileload")), 1);
}

TEST_F(MainWindowTest, MediaCommandsAndTheFolderImport)
{
    const QString folder = Env.File(QStringLiteral("import"));
    Env.Write(QStringLiteral("import/a.wav"));
    Env.Write(QStringLiteral("import/b.MP3"));
    Env.Write(QStringLiteral("import/c.avi"));
    Env.Write(QStringLiteral("import/readme.txt"));
    Env.Write(QStringLiteral("import/sub/d.wav"));  // sub-folders are not searched
    auto main = Make();
    main->tvMedia->setCurrentItem(FindTreeItem(main->tvMedia, {QStringLiteral("音频文件")}));
    main->pmMediaPopup();
    EXPECT_TRUE(main->miAddMdiea->isEnabled());
    EXPECT_TRUE(main->miAddMdieas->isEnabled());
    EXPECT_FALSE(main->miDeleteMdiea->isEnabled());
    EXPECT_FALSE(main->miLoadLrc->isEnabled());

    TDialogRecorder dialogs;
    dialogs.Files << QString();  // cancel the add-audio dialog
    main->labAddAudioClick();
    EXPECT_EQ(dialogs.FileFilters.value(0),
              QStringLiteral("音频文件(*.wav,*.mp3) (*.wav *.mp3)|wav(*.wav) (*.wav)|mp3(*.mp3) (*.mp3)"));

    // The folder picker: a node of the chosen folder is made the selection.
    WhenModalShown([&folder](QWidget* modal) {
        auto* picker = qobject_cast<TFrmSelectDir*>(modal);
        ASSERT_NE(picker, nullptr);
        auto* item = new QTreeWidgetItem(picker->tvDir, QStringList{QStringLiteral("import")});
        item->setData(0, TFrmSelectDir::PathRole, folder);
        picker->tvDir->setCurrentItem(item);
        item->setSelected(true);
        picker->ppsbOk->PerformClick();
    });
    main->miAddMdieas->trigger();
    EXPECT_TRUE(dialogs.Infos.isEmpty()) << dialogs.Infos.join(u'|').toStdString();
    EXPECT_EQ(Children(FindTreeItem(main->tvMedia, {QStringLiteral("音频文件")})),
              (QStringList{QStringLiteral("a.wav"), QStringLiteral("b.MP3")}));
    EXPECT_EQ(Children(FindTreeItem(main->tvMedia, {QStringLiteral("视频文件")})), QStringList{QStringLiteral("c.avi")});
    EXPECT_TRUE(main->IsMediaLoaded(folder + QStringLiteral("/c.avi")));
    EXPECT_EQ(CountRows(QStringLiteral("select count(*) from mediafileload")), 3);

    main->tvMedia->setCurrentItem(FindTreeItem(main->tvMedia, {QStringLiteral("视频文件"), QStringLiteral("c.avi")}));
    main->pmMediaPopup();
    EXPECT_TRUE(main->miDeleteMdiea->isEnabled());
    EXPECT_TRUE(main->miLoadLrc->isEnabled());
}

TEST_F(MainWindowTest, TheRecentListShowsTenPerGroupNewestFirst)
{
    for (int i = 0; i < 11; ++i) {
        const QString path = Env.Write(QStringLiteral("audio/p%1.pibo").arg(i));
        TRecentFileList r;
        r.Name = SystemPara.UserInfo.UserName;
        r.FileType = 3;
        r.Path = path;
        r.FileName = QFileInfo(path).fileName();
        ASSERT_TRUE(AddRecentFile(r));
    }
    TRecentFileList gone;
    gone.Name = SystemPara.UserInfo.UserName;
    gone.FileType = 1;
    gone.Path = Env.File(QStringLiteral("missing.wav"));
    ASSERT_TRUE(AddRecentFile(gone));
    TRecentFileList other = gone;
    other.Name = QStringLiteral("someone else");
    other.Path = Env.Write(QStringLiteral("theirs.wav"));
    ASSERT_TRUE(AddRecentFile(other));

    auto main = Make();
    QTreeWidgetItem* group = main->RecentGroup(3);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->text(0), QStringLiteral("音频课件"));
    ASSERT_EQ(group->childCount(), 10);
    EXPECT_EQ(group->child(0)->text(0), QStringLiteral("p10.pibo"));
    EXPECT_EQ(group->child(9)->text(0), QStringLiteral("p1.pibo"));
    EXPECT_EQ(main->RecentGroup(1)->childCount(), 0);
    EXPECT_TRUE(main->IsRecentFile(Env.File(QStringLiteral("audio/p5.pibo"))));

    TDialogRecorder dialogs;
    main->N3->trigger();
    EXPECT_EQ(main->RecentGroup(3)->childCount(), 0);
    EXPECT_EQ(CountRows(QStringLiteral("select count(*) from recentfilelist")), 1);  // the other user's row
}

TEST_F(MainWindowTest, TheAddVideoLinkFollowsTheVideoRoot)
{
    const QString a = Env.Write(QStringLiteral("m/a.wav"));
    const QString b = Env.Write(QStringLiteral("m/b.wav"));
    auto main = Make();
    const int row = main->MediaRowHeight();
    EXPECT_EQ(row, TextHeightOf(TFont(), QStringLiteral("Sample")) + 3);
    EXPECT_EQ(main->panAddVideo->geometry().topLeft(), QPoint(149, row));
    main->AddMediaFile(a);
    main->AddMediaFile(b);
    EXPECT_EQ(main->panAddVideo->y(), row * 3);
    QTreeWidgetItem* video = FindTreeItem(main->tvMedia, {QStringLiteral("视频文件")});
    EXPECT_EQ(main->tvMedia->visualItemRect(video).top(), row * 3);  // the rows match the arithmetic
    FindTreeItem(main->tvMedia, {QStringLiteral("音频文件")})->setExpanded(false);
    EXPECT_EQ(main->panAddVideo->y(), row);
}

TEST_F(MainWindowTest, MaximiseAndRestoreWaitForThePlayingToStop)
{
    auto main = Make();
    const QSize normal = main->size();
    SystemPara.IsPlaying = true;
    main->ppsbMaxClick();
    EXPECT_FALSE(main->Maximized());
    EXPECT_FALSE(main->SplitterCanResize());
    SystemPara.IsPlaying = false;
    main->ppsbMaxClick();
    EXPECT_TRUE(main->Maximized());
    EXPECT_TRUE(main->ppsbNormal->isVisible());
    EXPECT_FALSE(main->ppsbMax->isVisible());
    SystemPara.IsPlaying = true;
    main->ppsbNormalClick();
    EXPECT_TRUE(main->Maximized());
    SystemPara.IsPlaying = false;
    main->ppsbNormalClick();
    EXPECT_FALSE(main->Maximized());
    EXPECT_EQ(main->size(), normal);
}

TEST_F(MainWindowTest, PageButtonsShowTheirList)
{
    auto main = Make();
    const struct {
        TPiboPageButton* Button;
        int Page;
    } cases[] = {{main->ppbMedia, 1}, {main->ppbRecent, 2}, {main->ppbKeJian, 0}};
    for (const auto& c : cases) {
        main->PageButtonClick(c.Button);
        EXPECT_EQ(main->nbMain->currentIndex(), c.Page);
        for (TPiboPageButton* button : {main->ppbKeJian, main->ppbMedia, main->ppbRecent})
            EXPECT_EQ(button->Selected(), button == c.Button);
    }
}

TEST_F(MainWindowTest, AtItsMinimumSizeEveryFrameControlLiesInsideTheWindowClearOfTheOthers)
{
    auto main = Make();
    const QSize minimum = main->minimumSize();
    EXPECT_EQ(minimum, main->FrameMinimumSize());
    // The longer hot-key hint is the one the window is measured with.
    for (const QString& hint : {TFrmMain::HotKeyHintStudy, TFrmMain::HotKeyHintMaker}) {
        main->labHot->setText(hint);
        main->labHot->adjustSize();
        for (const QSize asked : {QSize(800, 600), QSize(500, 400), QSize(1, 1), minimum}) {
            SCOPED_TRACE(QStringLiteral("%1 x %2, %3").arg(asked.width()).arg(asked.height()).arg(hint).toStdString());
            main->resize(asked);
            ProcessEvents();
            ASSERT_EQ(main->size(), minimum.expandedTo(asked));
            const struct {
                const char* Name;
                QWidget* Widget;
            } controls[] = {
                {"labUser", main->labUser},       {"labMain", main->labMain},         {"pmbLiuLan", main->pmbLiuLan},
                {"pmbDanJu", main->pmbDanJu},     {"pmbtZiYou", main->pmbtZiYou},     {"pmbKouYu", main->pmbKouYu},
                {"pmbFanYi", main->pmbFanYi},     {"pmbChengJi", main->pmbChengJi},   {"pmbZhiZuo", main->pmbZhiZuo},
                {"psbClose", main->psbClose},     {"ppsbMax", main->ppsbMax},         {"psbMin", main->psbMin},
                {"labUpdate", main->labUpdate},   {"labSet", main->labSet},           {"labHelp", main->labHelp},
                {"labFeedback", main->labFeedback}, {"labExit", main->labExit},       {"labHot", main->labHot},
                {"labBrand", main->labBrand},     {"labWebSite", main->labWebSite},   {"imgMainBottomR", main->imgMainBottomR},
                {"ppbKeJian", main->ppbKeJian},   {"ppbMedia", main->ppbMedia},       {"ppbRecent", main->ppbRecent},
                {"nbMain", main->nbMain},         {"panFormClient", main->panFormClient},
            };
            QList<QPair<const char*, QRect>> placed;
            for (const auto& c : controls) {
                ASSERT_TRUE(c.Widget->isVisible()) << c.Name;
                const QRect r(c.Widget->mapTo(main.get(), QPoint(0, 0)), c.Widget->size());
                EXPECT_FALSE(r.isEmpty()) << c.Name;
                EXPECT_TRUE(main->rect().contains(r)) << c.Name;
                placed.append({c.Name, r});
            }
            // No control of the frame lies over another (the panels holding
            // the lists hold nothing of the strips).
            for (qsizetype i = 0; i < placed.size(); ++i)
                for (qsizetype j = i + 1; j < placed.size(); ++j)
                    EXPECT_FALSE(placed[i].second.intersects(placed[j].second))
                        << placed[i].first << " " << placed[j].first;
        }
    }
    // A larger window is not held back.
    main->resize(minimum + QSize(40, 30));
    EXPECT_EQ(main->size(), minimum + QSize(40, 30));
}

TEST_F(MainWindowTest, RecentPathsKeepTheirFileNameWhenTheyAreTooWide)
{
    const QString folder = QStringLiteral("media/a folder with a rather long name/and another one below it/");
    const QStringList names = {QStringLiteral("lesson one.wav"), QStringLiteral("lesson two.wav")};
    for (const QString& name : names) {
        TRecentFileList r;
        r.Name = SystemPara.UserInfo.UserName;
        r.FileType = 1;
        r.Path = Env.Write(folder + name);
        r.FileName = name;
        ASSERT_TRUE(AddRecentFile(r));
    }
    auto main = Make();
    main->PageButtonClick(main->ppbRecent);
    ProcessEvents();
    QTreeWidgetItem* group = main->RecentGroup(1);
    ASSERT_EQ(group->childCount(), 2);
    const QFontMetrics metrics(main->tvRecentOpen->font());
    for (int i = 0; i < 2; ++i) {
        QTreeWidgetItem* node = group->child(i);
        // The node holds the whole path; the list draws it to its width.
        EXPECT_EQ(node->text(0), Env.File(folder + names.at(1 - i)));
        const int room = main->tvRecentOpen->visualItemRect(node).width();
        ASSERT_GT(metrics.horizontalAdvance(node->text(0)), room);
        const QString shown = TFrmMain::ElidePathKeepingName(node->text(0), metrics, room);
        EXPECT_TRUE(shown.endsWith(u'/' + names.at(1 - i))) << shown.toStdString();
        EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
        EXPECT_LE(metrics.horizontalAdvance(shown), room);
    }

    struct {
        const char* Text;
        int Room;  // in widths of "x"
        const char* Shown;
    } const cases[] = {
        {"/a/b.wav", 40, "/a/b.wav"},                                  // fits: whole
        {"/home/me/lessons/term one/week two/day.wav", 24, nullptr},  // folder elided, name whole
        {"/x/an extremely long file name of a lesson.wav", 12, nullptr},  // name alone too wide: its end
        {"no folder at all in this name.wav", 10, nullptr},
    };
    const int x = metrics.horizontalAdvance(u'x');
    for (const auto& c : cases) {
        const QString text = QString::fromUtf8(c.Text);
        const QString shown = TFrmMain::ElidePathKeepingName(text, metrics, c.Room * x);
        SCOPED_TRACE(shown.toStdString());
        EXPECT_LE(metrics.horizontalAdvance(shown), c.Room * x);
        if (c.Shown) {
            EXPECT_EQ(shown, QString::fromUtf8(c.Shown));
            continue;
        }
        const QString name = text.mid(text.lastIndexOf(u'/') + 1);
        if (metrics.horizontalAdvance(u'/' + name) + metrics.horizontalAdvance(QStringLiteral("\u2026")) <= c.Room * x)
            EXPECT_TRUE(shown.endsWith(u'/' + name));
        else
            EXPECT_TRUE(shown.startsWith(QChar(0x2026)) && text.endsWith(shown.mid(1)));
    }
}

}  // namespace
