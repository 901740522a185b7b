#include "Startup.h"

#include "DatabaseSchema.h"
#include "SingleInstance.h"
#include "TestSupport.h"
#include "UDataInterface.h"
#include "UDataOperaterFun.h"
#include "UFrmLogin.h"
#include "UFrmMain.h"
#include "UWebLinks.h"
#include "UPiboComponent.h"

#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QLabel>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <functional>

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {
// Watches every top-level window that shows up during a run and hands it to a
// handler, which answers it (so that no test can hang on a modal window).
class WindowWatcher : public QObject {
public:
    explicit WindowWatcher(std::function<void(QWidget*)> handler) : FHandler(std::move(handler))
    {
        qApp->installEventFilter(this);
    }
    ~WindowWatcher() override { qApp->removeEventFilter(this); }

    QList<QWidget*> Shown;  // only for counting: the windows may be gone
    QStringList Titles;
    QStringList Classes;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* widget = qobject_cast<QWidget*>(watched);
        // Each window here is shown once; a pointer is not a key, since a new
        // window may take the place of a freed one.
        if (event->type() == QEvent::Show && widget && widget->isWindow()) {
            Shown << widget;
            Titles << widget->windowTitle();
            Classes << QString::fromLatin1(widget->metaObject()->className());
            QTimer::singleShot(0, widget, [this, widget] { FHandler(widget); });
        }
        return false;
    }

private:
    std::function<void(QWidget*)> FHandler;
};

QStringList LabelTexts(QWidget* window)
{
    QStringList texts;
    for (QLabel* label : window->findChildren<QLabel*>())
        texts << label->text();
    return texts;
}

void MakeDatabase(const TTestProgramFolder& folder)
{
    QString error;
    ASSERT_TRUE(CreateDatabaseFromSchema(QStringLiteral(PIBO_SCHEMA_FILE), folder.File(QStringLiteral("data/data.db")),
                                         &error))
        << error.toStdString();
}
}  // namespace

TEST(Startup, MissingDatabaseShowsTheFailureOnceAndEnds)
{
    TTestProgramFolder folder;
    WindowWatcher watcher([](QWidget* window) { window->close(); });
    EXPECT_EQ(RunPibozunexc(), 0);
    ASSERT_EQ(watcher.Shown.size(), 1);
    EXPECT_EQ(watcher.Titles.first(), QStringLiteral("提示信息"));
    EXPECT_EQ(DataInterface, nullptr);
    EXPECT_FALSE(QFileInfo::exists(folder.File(QStringLiteral("data/data.db"))));
}

TEST(Startup, UnreadableDatabaseShowsTheFailure)
{
    TTestProgramFolder folder;
    QFile junk(folder.File(QStringLiteral("data/data.db")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    QStringList texts;
    WindowWatcher watcher([&texts](QWidget* window) {
        texts = LabelTexts(window);
        window->close();
    });
    EXPECT_EQ(RunPibozunexc(), 0);
    ASSERT_EQ(watcher.Shown.size(), 1);
    EXPECT_TRUE(texts.contains(QStringLiteral("初始化程序失败！"))) << texts.join(u'|').toStdString();
}

TEST(Startup, ClosingTheLoginEndsWithoutMainWindow)
{
    TTestProgramFolder folder;
    MakeDatabase(folder);
    WindowWatcher watcher([](QWidget* window) { window->close(); });
    EXPECT_EQ(RunPibozunexc(), 0);
    ASSERT_EQ(watcher.Shown.size(), 1);
    EXPECT_EQ(watcher.Classes.first(), QStringLiteral("TFrmLogin"));
    EXPECT_EQ(DataInterface, nullptr);
}

TEST(Startup, LoginLeadsToTheMainWindowAndTheLockIsFreeAfterwards)
{
    TTestProgramFolder folder;
    MakeDatabase(folder);
    SetStartPageAddress(QStringLiteral("http://127.0.0.1:1/"));  // offline start page
    QString mainTitle;
    WindowWatcher watcher([&mainTitle](QWidget* window) {
        if (auto* login = qobject_cast<TFrmLogin*>(window)) {
            // A new user is added (its message box is closed by the watcher),
            // becomes the current row and logs in.
            login->ediAddUser->setText(QStringLiteral("O'Brien 小明"));
            login->labAdd->PerformClick();
            login->psbOk->PerformClick();
        } else if (qobject_cast<TFrmMain*>(window)) {
            mainTitle = window->windowTitle();
            window->close();
        } else {
            window->close();
        }
    });
    EXPECT_EQ(RunPibozunexc(), 0);
    EXPECT_EQ(mainTitle, QStringLiteral("皮博学习室"));
    EXPECT_EQ(SystemPara.UserInfo.UserName, QStringLiteral("O'Brien 小明"));

    TSingleInstanceLock lock(QStringLiteral("SingleApp"));
    EXPECT_TRUE(lock.TryAcquire());
}

namespace {
// Tells when another process opens a file: each copy of the program opens its
// database only once it holds its lock, so that open is the moment to look.
class TOpenWatch {
public:
    explicit TOpenWatch(const QString& path)
    {
        FFd = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        if (FFd >= 0 && ::inotify_add_watch(FFd, QFile::encodeName(path).constData(), IN_OPEN) < 0) {
            ::close(FFd);
            FFd = -1;
        }
    }
    ~TOpenWatch()
    {
        if (FFd >= 0)
            ::close(FFd);
    }
    TOpenWatch(const TOpenWatch&) = delete;
    TOpenWatch& operator=(const TOpenWatch&) = delete;

    // Blocks until the file was opened since the watch began; false when it
    // was not within the bound (a guard against a hang only).
    bool WaitForOpen(int timeoutMs)
    {
        if (FFd < 0)
            return false;
        pollfd p{FFd, POLLIN, 0};
        int ready = 0;
        do
            ready = ::poll(&p, 1, timeoutMs);
        while (ready < 0 && errno == EINTR);
        return ready > 0;
    }

private:
    int FFd = -1;
};

bool LockTakenByAnother()
{
    TSingleInstanceLock probe(QStringLiteral("SingleApp"));
    return !probe.TryAcquire();
}

void StartCopy(QProcess& process, const TTestProgramFolder& folder)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PIBO_PROGRAM_FOLDER"), folder.Path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(PIBO_MAIN_PROGRAM), {});
    ASSERT_TRUE(process.waitForStarted(5000));
}
}  // namespace

TEST(Startup, SecondCopyEndsSilentlyAndAKilledCopyLeavesNoLock)
{
    TTestProgramFolder folder;
    MakeDatabase(folder);

    const QString database = folder.File(QStringLiteral("data/data.db"));
    QProcess first;
    {
        TOpenWatch opened(database);
        StartCopy(first, folder);
        ASSERT_TRUE(opened.WaitForOpen(10000)) << "the first copy never opened its database";
    }
    ASSERT_TRUE(LockTakenByAnother()) << "the first copy runs without the lock";

    QProcess second;
    StartCopy(second, folder);
    ASSERT_TRUE(second.waitForFinished(10000)) << "the second copy did not end";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.readAllStandardOutput().isEmpty());
    EXPECT_EQ(first.state(), QProcess::Running);

    ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
    ASSERT_TRUE(first.waitForFinished(5000));

    QProcess third;
    {
        TOpenWatch opened(database);
        StartCopy(third, folder);
        EXPECT_TRUE(opened.WaitForOpen(10000)) << "a new copy could not start after the crash";
    }
    EXPECT_TRUE(LockTakenByAnother()) << "a new copy runs without the lock";
    EXPECT_EQ(third.state(), QProcess::Running);
    third.kill();
    third.waitForFinished(5000);
}

TEST(Startup, AnExceptionLeavingStartupStillRunsTheShutdownSteps)
{
    // The probe's login window raises while it is built; the exception stays
    // uncaught, as in the program, and reaches the default handler only after
    // the data module is freed and the lock released.
    TTestProgramFolder folder;
    MakeDatabase(folder);
    QProcess probe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PIBO_PROGRAM_FOLDER"), folder.Path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    probe.setProcessEnvironment(env);
    probe.start(QStringLiteral(PIBO_ESCAPE_PROBE), {});
    ASSERT_TRUE(probe.waitForFinished(10000));
    const QString err = QString::fromUtf8(probe.readAllStandardError());
    EXPECT_EQ(probe.exitCode(), 3) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("escaped: data module freed, lock free"))) << err.toStdString();
}
