#include "UDataOperaterFun.h"

#include "HotKeys.h"
#include "PcreRegEx.h"
#include "ProgramFolder.h"
#include "TestSupport.h"
#include "UCommonFun.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QSet>
#include <QtGui/QIcon>
#include <QtGui/QKeyEvent>
#include <QtGui/QPixmap>
#include <QtWidgets/QApplication>
#include <QtWidgets/QTreeWidget>
#include <QtWidgets/QTreeWidgetItemIterator>
#include <QtWidgets/QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

// ---------------------------------------------------------------------------
// Hot keys

// A window that records the hot keys it receives.
class THotKeyWindow : public QWidget {
public:
    QList<qint32> Ids;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == THotKeyEvent::EventType()) {
            Ids.append(static_cast<THotKeyEvent*>(e)->Id());
            return true;
        }
        return QWidget::event(e);
    }
};

// A control that records the keys it receives.
class TKeyRecorder : public QWidget {
public:
    using QWidget::QWidget;
    QList<int> Keys;

protected:
    void keyPressEvent(QKeyEvent* e) override { Keys.append(e->key()); }
};

void Press(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(target, &press);
    ProcessEvents();
}

class HotKeyTest : public ::testing::Test {
protected:
    void SetUp() override { FSaved = SystemPara; }
    void TearDown() override { SystemPara = FSaved; }

private:
    TSystemPara FSaved;
};

TEST_F(HotKeyTest, TheSixKeysReachTheMainWindowAsTheirAtoms)
{
    THotKeyWindow window;
    auto* edit = new TKeyRecorder(&window);
    RegisterHotKeys(&window);

    const qint32 atoms[] = {SystemPara.HotKeyF5, SystemPara.HotKeyF7,   SystemPara.HotKeyF8,
                            SystemPara.HotKeyF9, SystemPara.HotKeyAltZ, SystemPara.HotKeyAltX};
    const char* const names[] = {"HOTKEY_F5", "HOTKEY_F7", "HOTKEY_F8", "HOTKEY_F9", "HOTKEY_ALT_Z", "HOTKEY_ALT_X"};
    QSet<qint32> distinct;
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(atoms[i], GlobalFindAtom(QLatin1String(names[i]))) << names[i];
        EXPECT_GE(atoms[i], 0xC000) << names[i];
        distinct.insert(atoms[i]);
    }
    EXPECT_EQ(distinct.size(), 6);

    struct TPress {
        int Key;
        Qt::KeyboardModifiers Modifiers;
        qint32 Atom;  // 0: not a hot key, the control gets it
    };
    const TPress presses[] = {
        {Qt::Key_F5, Qt::NoModifier, SystemPara.HotKeyF5},    {Qt::Key_F7, Qt::NoModifier, SystemPara.HotKeyF7},
        {Qt::Key_F8, Qt::NoModifier, SystemPara.HotKeyF8},    {Qt::Key_F9, Qt::NoModifier, SystemPara.HotKeyF9},
        {Qt::Key_Z, Qt::AltModifier, SystemPara.HotKeyAltZ},  {Qt::Key_X, Qt::AltModifier, SystemPara.HotKeyAltX},
        {Qt::Key_Z, Qt::NoModifier, 0},                       {Qt::Key_X, Qt::ControlModifier, 0},
        {Qt::Key_F5, Qt::ShiftModifier, 0},                   {Qt::Key_F6, Qt::NoModifier, 0},
        {Qt::Key_Z, Qt::AltModifier | Qt::ShiftModifier, 0},
    };
    for (const TPress& p : presses) {
        window.Ids.clear();
        edit->Keys.clear();
        Press(edit, p.Key, p.Modifiers);
        if (p.Atom) {
            EXPECT_EQ(window.Ids, QList<qint32>{p.Atom}) << p.Key;
            EXPECT_TRUE(edit->Keys.isEmpty()) << p.Key;
        } else {
            EXPECT_TRUE(window.Ids.isEmpty()) << p.Key;
            EXPECT_EQ(edit->Keys, QList<int>{p.Key}) << p.Key;
        }
    }

    // Unregistered, the keys are ordinary keys again; the atoms stay the same.
    UnregisterHotKeys(&window);
    window.Ids.clear();
    edit->Keys.clear();
    Press(edit, Qt::Key_F5);
    Press(edit, Qt::Key_Z, Qt::AltModifier);
    EXPECT_TRUE(window.Ids.isEmpty());
    EXPECT_EQ(edit->Keys, (QList<int>{Qt::Key_F5, Qt::Key_Z}));
    const qint32 f5 = SystemPara.HotKeyF5;
    RegisterHotKeys(&window);
    EXPECT_EQ(SystemPara.HotKeyF5, f5);
    UnregisterHotKeys(&window);
}

TEST_F(HotKeyTest, AKeyHeldElsewhereStaysThereAndTheOthersAreRegistered)
{
    THotKeyWindow holder;
    ASSERT_TRUE(RegisterHotKey(&holder, 77, Qt::NoModifier, Qt::Key_F5));
    THotKeyWindow window;
    auto* edit = new TKeyRecorder(&window);
    RegisterHotKeys(&window);
    EXPECT_NE(SystemPara.HotKeyF5, 0);  // the atom is stored all the same

    Press(edit, Qt::Key_F5);
    Press(edit, Qt::Key_F7);
    Press(edit, Qt::Key_X, Qt::AltModifier);
    EXPECT_EQ(holder.Ids, QList<qint32>{77});
    EXPECT_EQ(window.Ids, (QList<qint32>{SystemPara.HotKeyF7, SystemPara.HotKeyAltX}));

    UnregisterHotKeys(&window);
    EXPECT_TRUE(UnregisterHotKey(&holder, 77));
    EXPECT_FALSE(UnregisterHotKey(&holder, 77));
}

TEST_F(HotKeyTest, ADestroyedWindowGivesItsKeysBack)
{
    {
        THotKeyWindow gone;
        RegisterHotKeys(&gone);
    }
    THotKeyWindow window;
    EXPECT_TRUE(RegisterHotKey(&window, 1, Qt::NoModifier, Qt::Key_F5));
    EXPECT_FALSE(RegisterHotKey(&window, 2, Qt::NoModifier, Qt::Key_F5));
    EXPECT_FALSE(RegisterHotKey(nullptr, 3, Qt::NoModifier, Qt::Key_F9));
    EXPECT_TRUE(UnregisterHotKey(&window, 1));
}

TEST(AtomTest, OneAtomPerNameWithoutRegardToCase)
{
    const qint32 a = GlobalAddAtom(QStringLiteral("Pibo_Test_Atom"));
    EXPECT_GE(a, 0xC000);
    EXPECT_LE(a, 0xFFFF);
    EXPECT_EQ(GlobalAddAtom(QStringLiteral("PIBO_TEST_ATOM")), a);
    EXPECT_EQ(GlobalFindAtom(QStringLiteral("pibo_test_atom")), a);
    EXPECT_NE(GlobalAddAtom(QStringLiteral("Pibo_Test_Atom_2")), a);
    EXPECT_EQ(GlobalAddAtom(QString()), 0);
    EXPECT_EQ(GlobalFindAtom(QStringLiteral("never added")), 0);
}

// ---------------------------------------------------------------------------
// Courseware tree

QTreeWidgetItem* NewNode(const QString& text, qint32 kind, bool isVideo, const QString& path)
{
    auto* item = new QTreeWidgetItem(QStringList{text});
    SetTreeNodeData(item, TTreeNodeData{kind, isVideo, path});
    return item;
}

// Fills a node with the folders and packages below its folder on disk, as the
// main window's library does.
void LoadChildren(QTreeWidgetItem* node)
{
    const TTreeNodeData data = TreeNodeData(node);
    const QDir dir(data.Path);
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        QTreeWidgetItem* child = NewNode(name, 1, data.IsVideo, data.Path + u'/' + name);
        node->addChild(child);
        LoadChildren(child);
    }
    const QStringList packages{data.IsVideo ? QStringLiteral("*.vpibo") : QStringLiteral("*.pibo")};
    for (const QString& name : dir.entryList(packages, QDir::Files, QDir::Name))
        node->addChild(NewNode(QFileInfo(name).completeBaseName(), -1, data.IsVideo, data.Path + u'/' + name));
}

void LoadTree(QTreeWidget& tree)
{
    tree.clear();
    const QString folder = ProgramFolder();
    QTreeWidgetItem* audio = NewNode(QStringLiteral("音频课件"), 0, false, folder + QStringLiteral("audio"));
    QTreeWidgetItem* video = NewNode(QStringLiteral("视频课件"), 0, true, folder + QStringLiteral("video"));
    tree.addTopLevelItem(audio);
    tree.addTopLevelItem(video);
    LoadChildren(audio);
    LoadChildren(video);
}

// The tree as (path, kind, text) lines in tree order.
QStringList Describe(QTreeWidget& tree)
{
    QStringList lines;
    for (QTreeWidgetItemIterator it(&tree); *it; ++it) {
        const TTreeNodeData data = TreeNodeData(*it);
        lines.append(QStringLiteral("%1 %2 %3 %4")
                         .arg(data.Path, QString::number(data.Kind), QString::number(data.IsVideo), (*it)->text(0)));
    }
    lines.sort();
    return lines;
}

void Touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

QIcon ColourIcon(Qt::GlobalColor colour)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

class KeJianTreeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir root(FFolder.Path());
        ASSERT_TRUE(root.mkpath(QStringLiteral("audio/新概念/第一册")));
        ASSERT_TRUE(root.mkpath(QStringLiteral("audio/听力")));
        ASSERT_TRUE(root.mkpath(QStringLiteral("video/电影")));
        Touch(FFolder.File(QStringLiteral("audio/听力/Unit 1.pibo")));
        FIcons = {ColourIcon(Qt::yellow), ColourIcon(Qt::green), ColourIcon(Qt::blue)};
        FTree.setProperty(TreeImageListProperty, QVariant::fromValue(FIcons));
        LoadTree(FTree);
    }

    QString Audio(const QString& relative) const { return FFolder.File(QStringLiteral("audio/") + relative); }
    QString Video(const QString& relative) const { return FFolder.File(QStringLiteral("video/") + relative); }

    TTestProgramFolder FFolder;
    QTreeWidget FTree;
    QList<QIcon> FIcons;
};

TEST_F(KeJianTreeTest, NewPackagesAndFoldersLandWhereTheDiskHasThem)
{
    // Saving packages and making folders on disk and telling the tree gives
    // the same tree as loading the library afresh.
    const QString lesson = Audio(QStringLiteral("新概念/第一册/Lesson 1.part.pibo"));
    Touch(lesson);
    QTreeWidgetItem* node = AddKeJianFileNode(&FTree, lesson, false);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->parent()->text(0), QStringLiteral("第一册"));
    EXPECT_EQ(node->text(0), QStringLiteral("Lesson 1.part"));
    const TTreeNodeData data = TreeNodeData(node);
    EXPECT_EQ(data.Kind, -1);
    EXPECT_FALSE(data.IsVideo);
    EXPECT_EQ(data.Path, lesson);
    EXPECT_EQ(node->data(0, TreeNodeImageRole).toInt(), 1);
    EXPECT_EQ(node->icon(0).cacheKey(), FIcons[1].cacheKey());

    const QString movie = Video(QStringLiteral("电影/movie.vpibo"));
    Touch(movie);
    node = AddKeJianFileNode(&FTree, movie, true);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->data(0, TreeNodeImageRole).toInt(), 2);
    EXPECT_TRUE(TreeNodeData(node).IsVideo);

    const QString top = Audio(QStringLiteral("top.pibo"));  // straight under the root
    Touch(top);
    node = AddKeJianFileNode(&FTree, top, false);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->parent(), FTree.topLevelItem(0));

    ASSERT_TRUE(QDir().mkdir(Audio(QStringLiteral("新概念/第二册"))));
    node = AddKeJianDirNode(&FTree, Audio(QStringLiteral("新概念")), QStringLiteral("第二册"), false);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(TreeNodeData(node).Kind, 1);
    EXPECT_EQ(TreeNodeData(node).Path, Audio(QStringLiteral("新概念/第二册")));
    EXPECT_EQ(node->data(0, TreeNodeImageRole).toInt(), 0);
    const QString second = Audio(QStringLiteral("新概念/第二册/Lesson 2.pibo"));
    Touch(second);
    ASSERT_NE(AddKeJianFileNode(&FTree, second, false), nullptr);

    ASSERT_TRUE(QDir().mkdir(Video(QStringLiteral("新建"))));
    ASSERT_NE(AddKeJianDirNode(&FTree, FFolder.File(QStringLiteral("video")), QStringLiteral("新建"), true), nullptr);

    const QStringList built = Describe(FTree);
    QTreeWidget loaded;
    LoadTree(loaded);
    EXPECT_EQ(built, Describe(loaded));
}

TEST_F(KeJianTreeTest, NothingMatchesNothingChanges)
{
    const QStringList before = Describe(FTree);
    QTemporaryDir elsewhere;
    EXPECT_EQ(AddKeJianFileNode(&FTree, elsewhere.path() + QStringLiteral("/x.pibo"), false), nullptr);
    // Paths compare exactly, letter case included.
    EXPECT_EQ(AddKeJianFileNode(&FTree, FFolder.File(QStringLiteral("Audio/听力/x.pibo")), false), nullptr);
    EXPECT_EQ(AddKeJianFileNode(&FTree, Audio(QStringLiteral("没有/x.pibo")), false), nullptr);
    EXPECT_EQ(AddKeJianDirNode(&FTree, Audio(QStringLiteral("没有")), QStringLiteral("x"), false), nullptr);
    EXPECT_EQ(AddKeJianDirNode(&FTree, Audio(QStringLiteral("听力/")), QStringLiteral("x"), false), nullptr);
    // A package is never a parent.
    EXPECT_EQ(AddKeJianDirNode(&FTree, Audio(QStringLiteral("听力/Unit 1.pibo")), QStringLiteral("x"), false),
              nullptr);
    EXPECT_EQ(AddKeJianFileNode(nullptr, Audio(QStringLiteral("听力/x.pibo")), false), nullptr);
    EXPECT_EQ(Describe(FTree), before);
}

TEST_F(KeJianTreeTest, OfSeveralMatchingNodesTheLastWins)
{
    const QString path = Audio(QStringLiteral("听力"));
    QTreeWidgetItem* twin = NewNode(QStringLiteral("听力"), 1, false, path);
    FTree.addTopLevelItem(twin);
    QTreeWidgetItem* node = AddKeJianFileNode(&FTree, path + QStringLiteral("/Unit 2.pibo"), false);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->parent(), twin);
    node = AddKeJianDirNode(&FTree, path, QStringLiteral("sub"), false);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->parent(), twin);
}

TEST(IsInCoursewareFolderTest, TheLibraryFoldersAnywhereInThePath)
{
    TTestProgramFolder folder;
    const QString base = folder.Path();
    const struct {
        QString Path;
        bool Expected;
    } cases[] = {
        {base + QStringLiteral("audio/a.pibo"), true},
        {base + QStringLiteral("video/电影/b.vpibo"), true},
        {QStringLiteral("/copy") + base + QStringLiteral("audio/x.pibo"), true},  // merely contains it
        {base + QStringLiteral("Audio/a.pibo"), false},
        {base + QStringLiteral("audio"), false},
        {base + QStringLiteral("temp/a.pibo"), false},
        {QStringLiteral("/elsewhere/audio/a.pibo"), false},
        {QString(), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsInCoursewareFolder(c.Path), c.Expected) << c.Path.toStdString();
}

// ---------------------------------------------------------------------------
// Time tags

TEST(TimeTagTest, AudioTags)
{
    const struct {
        const char* Tag;
        bool Expected;
    } cases[] = {
        {"[01:02.50]", true},   {"[01:02:50]", true},   {"[01:02,50]", true},  {"[00:00.00]", true},
        {"[99:59.99]", true},   {"[100:00.00]", true},  {"[999:59.99]", true}, {"[1:02.50]", false},
        {"[01:60.00]", false},  {"[1000:00.00]", false}, {"[01:02.50] ", false}, {" [01:02.50]", false},
        {"01:02.50", false},    {"[01:02.5]", false},   {"[0a:02.50]", false}, {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsLrcTimeTag(QString::fromUtf8(c.Tag)), c.Expected) << c.Tag;
}

TEST(TimeTagTest, VideoTags)
{
    const struct {
        const char* Tag;
        bool Expected;
    } cases[] = {
        {"[00:01:23,456]", true},  {"[99:59:59,999]", true},  {"[100:00:00,000]", true},
        {"[00:01:23.456]", false}, {"[00:60:00,000]", false}, {"[00:00:60,000]", false},
        {"[0:01:23,456]", false},  {"[00:01:23,45]", false},  {"[00:01:23,456] ", false},
        {"00:01:23,456", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsSrtTimeTag(QString::fromUtf8(c.Tag)), c.Expected) << c.Tag;
}

TEST(TimeTagTest, WriterReaderAndTagTestsAgree)
{
    // A time written for a lesson of any length passes the tag test and reads
    // back; every text the tag test passes can be read.
    for (qint32 ms : {0, 450, 59990, 5999990, 6000000, 6000450, 59999990}) {
        const QString lrc = MSecToLrcTime(ms);
        EXPECT_TRUE(IsLrcTimeTag(u'[' + lrc + u']')) << lrc.toStdString();
        EXPECT_EQ(LrcTimeToMSec(lrc), ms / 10 * 10) << lrc.toStdString();
    }
    for (qint32 ms : {0, 3723004, 359999999, 360000000, std::numeric_limits<qint32>::max()}) {
        const QString srt = MSecToSrtTime(ms);
        EXPECT_TRUE(IsSrtTimeTag(u'[' + srt + u']')) << srt.toStdString();
        EXPECT_EQ(SrtTimeToMSec(srt), ms) << srt.toStdString();
    }
    for (const char* lrc : {"01:02x50", "123:45:67", "00:00000"}) {
        ASSERT_TRUE(IsLrcTimeTag(u'[' + QString::fromLatin1(lrc) + u']')) << lrc;
        EXPECT_NO_THROW(LrcTimeToMSec(QString::fromLatin1(lrc))) << lrc;
    }
}

TEST(RegExMatchTest, ABadPatternRaisesToTheCaller)
{
    EXPECT_TRUE(RegExMatch(QStringLiteral("abc"), QStringLiteral("^a.c$")));
    EXPECT_FALSE(RegExMatch(QStringLiteral("abd"), QStringLiteral("^a.c$")));
    EXPECT_THROW(RegExMatch(QStringLiteral("abc"), QStringLiteral("a(")), EPcreError);
    EXPECT_THROW(RegExMatch(QStringLiteral("abc"), QString()), EPcreError);
}

}  // namespace
