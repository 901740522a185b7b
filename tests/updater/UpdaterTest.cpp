#include "UFrmUpdateMain.h"
#include "UUpdateHttp.h"
#include "pibozun.h"

#include "IniFile.h"
#include "SingleInstance.h"
#include "UCommonFun.h"
#include "UFrmShowInfo.h"
#include "UPiboComponent.h"

#include "TestHttpServer.h"
#include "TestSupport.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtCore/QUuid>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QProgressBar>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <memory>
#include <ostream>
#include <vector>

// Readable QString values in failure messages.
void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

const QString DownloadFailed = QStringLiteral("下载文件失败！");
const QString UpdateDone = QStringLiteral("软件升级成功！");
const QString UpdateFailed = QStringLiteral("软件升级失败！");

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArrayLiteral("<missing>");
    return file.readAll();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
}

// Every byte value, a few times over: a binary file.
QByteArray BinaryBody(int salt)
{
    QByteArray bytes;
    for (int i = 0; i < 3000; ++i)
        bytes.append(static_cast<char>((i * 37 + salt) & 0xFF));
    return bytes;
}

QStringList PlainFilesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

// One file element of an update list.
struct TListed {
    QString Name;
    QString ReplaceDes;
    QString Http;  // empty: the test server's "/pibo/files/"
};

// The windows of a run as the test saw them.
struct TRunOutcome {
    bool WindowShown = false;
    QString RemoteVersionWhenShown;
    QStringList Messages;
};

class UpdaterTest : public ::testing::Test {
public:
    void SetUp() override
    {
        // The copies of the main program the updater starts become children
        // of this process when the updater's intermediate process ends.
        AdoptDetachedPrograms();
        SetDefaultReadTimeout(5000);
        // The stand-in main program records every start with its working folder.
        const QString script = QStringLiteral("#!/bin/sh\npwd >> '%1'\n").arg(StartLog());
        WriteFile(Folder.File(QStringLiteral("fakemain")), script.toUtf8());
        QFile::setPermissions(Folder.File(QStringLiteral("fakemain")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        WriteIni(QStringLiteral("fakemain"));

        WriteFile(Folder.File(QStringLiteral("a.txt")), OldA);
        WriteFile(Folder.File(QStringLiteral("data/b.dat")), OldB);
        Server.Serve(QStringLiteral("/pibo/files/a.txt"), NewA);
        Server.Serve(QStringLiteral("/pibo/files/b.dat"), NewB);
        Server.Serve(QStringLiteral("/pibo/files/c.txt"), NewC);
    }

    void TearDown() override
    {
        SetDefaultReadTimeout(15000);
        SetUpdateTimeLimits(TUpdateTimeLimits());
    }

    QString StartLog() const { return Folder.File(QStringLiteral("started.log")); }

    void WriteIni(const QString& exe, const QString& http = QString())
    {
        const QString text = QStringLiteral("[Update]\r\nVersion=1.0\r\nRemoteVersion=1.0\r\nUpdate=update\r\n"
                                            "Exe=%1\r\nHttp=%2\r\n")
                                 .arg(exe, http.isNull() ? Server.BaseUrl() + QStringLiteral("/pibo") : http);
        WriteFile(Folder.File(QStringLiteral("Update.ini")), text.toLatin1());
    }

    QString IniValue(const char* key) const
    {
        return TIniFile(Folder.File(QStringLiteral("Update.ini")))
            .ReadString(QStringLiteral("Update"), QLatin1String(key), QStringLiteral("<none>"));
    }

    QByteArray ListXml(const std::vector<TListed>& files, int count = -1, const QString& version = QStringLiteral("2.0"),
                       const QString& sign = QStringLiteral("1")) const
    {
        QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Root>\n"
                                     "  <Version Value=\"%1\"/>\n  <UpdateSign Value=\"%2\"/>\n"
                                     "  <FileList Count=\"%3\">\n")
                          .arg(version, sign)
                          .arg(count < 0 ? static_cast<int>(files.size()) : count);
        for (const TListed& f : files)
            xml += QStringLiteral("    <File Name=\"%1\" Http=\"%2\" ReplaceDes=\"%3\"/>\n")
                       .arg(f.Name, f.Http.isEmpty() ? Server.BaseUrl() + QStringLiteral("/pibo/files/") : f.Http,
                            f.ReplaceDes);
        xml += QStringLiteral("  </FileList>\n</Root>\n");
        return xml.toUtf8();
    }

    void ServeList(const QByteArray& xml) { Server.Serve(QStringLiteral("/pibo/update.xml"), xml); }

    // When the server is asked for path, change gives the update window's
    // client the bounds a test wants cut short. A transfer keeps the bounds it
    // began with, so they hold from the transfer after path's on: the list
    // and the files before keep the generous ones, however slowly a loaded
    // machine lets them run.
    void ChangeClientAtRequestOf(const QString& path, std::function<void(TUpdateHttp& http)> change)
    {
        Server.OnRequest = [path, change](const QString& asked) {
            if (asked != path)
                return;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* form = qobject_cast<TFrmUpdateMain*>(w))
                    change(*form->IdHTTP);
        };
    }

    // Runs events until the server has seen the client give up count stalled
    // or trickling transfers: the client's connection closes on its own
    // network thread, after the transfer has already been reported.
    void ExpectClientClosedStalled(int count)
    {
        EXPECT_TRUE(RunEventsUntil([&] { return Server.ClientClosedStalled >= count; }))
            << "the client closed " << Server.ClientClosedStalled << " of " << count;
        EXPECT_EQ(Server.ClientClosedStalled, count);
    }

    std::vector<TListed> ThreeFiles() const
    {
        return {{QStringLiteral("a.txt"), QStringLiteral("a.txt"), {}},
                {QStringLiteral("b.dat"), QStringLiteral("data/b.dat"), {}},
                {QStringLiteral("c.txt"), QStringLiteral("c.txt"), {}}};
    }

    // Runs the updater. When its window shows, onWindow acts on it (by default a
    // click on "更新"); every information box is answered and its text kept, and
    // a window still open afterwards is closed with "取消".
    TRunOutcome Run(std::function<void(TFrmUpdateMain*)> onWindow = nullptr)
    {
        TRunOutcome outcome;
        // A run that ends without an information box leaves its watcher
        // behind; it must not answer the boxes of later runs.
        const auto alive = std::make_shared<bool>(true);
        QTimer watch;
        watch.setInterval(10);
        QObject::connect(&watch, &QTimer::timeout, [&]() {
            TFrmUpdateMain* form = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* f = qobject_cast<TFrmUpdateMain*>(w); f && f->isVisible())
                    form = f;
            if (!form)
                return;
            watch.stop();
            outcome.WindowShown = true;
            outcome.RemoteVersionWhenShown = IniValue("RemoteVersion");
            AnswerNextInfoBox(outcome.Messages, alive);
            if (onWindow)
                onWindow(form);
            else
                form->ppsbOk->PerformClick();
            if (form->isVisible())
                form->ppsbCancel->PerformClick();
        });
        watch.start();
        RunPibozun();
        watch.stop();
        ProcessEvents();
        *alive = false;
        return outcome;
    }

    // Answers the next information box and keeps its text in messages. Once
    // alive is false (the messages are gone), the watcher leaves boxes alone.
    static void AnswerNextInfoBox(QStringList& messages, std::shared_ptr<bool> alive = nullptr)
    {
        WhenModalShown(
            [&messages, alive](QWidget* modal) {
                if (alive && !*alive)
                    return;
                auto* box = qobject_cast<TFrmShowInfo*>(modal);
                ASSERT_NE(box, nullptr);
                messages.append(box->labInfo->text());
                box->psbOk->PerformClick();
            },
            30000);
    }

    // The starts of the stand-in main program (their working folders) made
    // by the runs so far. A started copy is detached from the updater, and
    // this process adopts it (it reaps its orphaned descendants): once every
    // child has ended, every copy started has written its line.
    QStringList MainStarts() const
    {
        WaitForChildPrograms();
        if (!QFileInfo::exists(StartLog()))
            return {};
        return QString::fromUtf8(ReadAll(StartLog())).split(u'\n', Qt::SkipEmptyParts);
    }

    void ExpectMainStartedOnce() const
    {
        const QStringList starts = MainStarts();
        ASSERT_EQ(starts.size(), 1) << "the main program must start exactly once";
        EXPECT_EQ(QDir::cleanPath(starts.first()), QDir::cleanPath(Folder.Path()));
    }

    void ExpectOriginalsIntact() const
    {
        EXPECT_EQ(ReadAll(Folder.File(QStringLiteral("a.txt"))), OldA);
        EXPECT_EQ(ReadAll(Folder.File(QStringLiteral("data/b.dat"))), OldB);
        EXPECT_FALSE(QFileInfo::exists(Folder.File(QStringLiteral("c.txt"))));
        EXPECT_EQ(IniValue("Version"), QStringLiteral("1.0"));
    }

    void ExpectWorkFoldersEmpty() const
    {
        EXPECT_EQ(PlainFilesIn(Folder.File(QStringLiteral("update"))), QStringList());
        EXPECT_EQ(PlainFilesIn(Folder.File(QStringLiteral("update/backup"))), QStringList());
    }

    TTestProgramFolder Folder;
    TTestHttpServer Server;
    const QByteArray OldA = QByteArrayLiteral("old a\n");
    const QByteArray OldB = BinaryBody(1);
    const QByteArray NewA = QByteArrayLiteral("new a, version 2\n");
    const QByteArray NewB = BinaryBody(2) + BinaryBody(3);
    const QByteArray NewC = QByteArrayLiteral("a file the old version did not have\n");
};

TEST_F(UpdaterTest, FullUpdateInstallsEveryFileRecordsTheVersionAndStartsTheMainProgram)
{
    ServeList(ListXml(ThreeFiles()));
    QString title, offer, counterAfter, filesLabel;
    QRect okGeometry, cancelGeometry;
    int progressMax = -1, progressValue = -1;
    QSize clientSize;
    const TRunOutcome outcome = Run([&](TFrmUpdateMain* form) {
        title = form->labTitle->text();
        offer = form->Label4->text();
        filesLabel = form->Label2->text();
        clientSize = form->size();
        okGeometry = form->ppsbOk->geometry();
        cancelGeometry = form->ppsbCancel->geometry();
        form->ppsbOk->PerformClick();
        counterAfter = form->labRefreshCount->text();
        progressMax = form->ProgressBar->maximum();
        progressValue = form->ProgressBar->value();
    });

    ASSERT_TRUE(outcome.WindowShown);
    EXPECT_EQ(outcome.RemoteVersionWhenShown, QStringLiteral("2.0"));
    EXPECT_EQ(outcome.Messages, QStringList{UpdateDone});
    EXPECT_EQ(title, QStringLiteral("在线升级"));
    EXPECT_EQ(offer, QStringLiteral("有新版本程序可更新，请点击“更新”按钮进行在线更新。"));
    EXPECT_EQ(filesLabel, QStringLiteral("3"));
    EXPECT_EQ(clientSize, QSize(360, 183));
    EXPECT_EQ(okGeometry, QRect(157, 111, 79, 23));
    EXPECT_EQ(cancelGeometry, QRect(239, 111, 79, 23));
    // The progress events followed the last file to its end.
    EXPECT_EQ(counterAfter, QStringLiteral("3/3"));
    EXPECT_EQ(progressMax, NewC.size());
    EXPECT_EQ(progressValue, NewC.size());

    EXPECT_EQ(ReadAll(Folder.File(QStringLiteral("a.txt"))), NewA);
    EXPECT_EQ(ReadAll(Folder.File(QStringLiteral("data/b.dat"))), NewB);
    EXPECT_EQ(ReadAll(Folder.File(QStringLiteral("c.txt"))), NewC);
    EXPECT_EQ(IniValue("Version"), QStringLiteral("2.0"));
    EXPECT_EQ(IniValue("RemoteVersion"), QStringLiteral("2.0"));
    ExpectWorkFoldersEmpty();
    EXPECT_EQ(Server.Requests, (QStringList{QStringLiteral("/pibo/update.xml"), QStringLiteral("/pibo/files/a.txt"),
                                            QStringLiteral("/pibo/files/b.dat"), QStringLiteral("/pibo/files/c.txt")}));
    ASSERT_FALSE(Server.UserAgents.isEmpty());
    EXPECT_EQ(Server.UserAgents.last(), QByteArrayLiteral("Mozilla/3.0 (compatible; Indy Library)"));
    ExpectMainStartedOnce();
}

// A failed update leaves every original in place, does not record the new
// version, shows its message, keeps the window for another try and, once the
// window is closed, starts the main program.
struct TFailureCase {
    const char* Label;
    std::function<void(UpdaterTest& t, std::vector<TListed>& files)> Arrange;
    const QString* Message;
};

class UpdaterFailureTest : public UpdaterTest, public ::testing::WithParamInterface<int> {};

const std::vector<TFailureCase>& FailureCases()
{
    static const std::vector<TFailureCase> cases = {
        {"404 on the second file",
         [](UpdaterTest&, std::vector<TListed>& files) { files[1].Name = QStringLiteral("missing.dat"); },
         &DownloadFailed},
        {"server stalls in the middle of the second file",
         [](UpdaterTest& t, std::vector<TListed>&) {
             t.ChangeClientAtRequestOf(QStringLiteral("/pibo/files/a.txt"),
                                       [](TUpdateHttp& http) { http.SetReadTimeout(300); });
             t.Server.Stall(QStringLiteral("/pibo/files/b.dat"), BinaryBody(2), 1000);
         },
         &DownloadFailed},
        {"connection ends before the second file is whole",
         [](UpdaterTest& t, std::vector<TListed>&) {
             t.Server.Truncate(QStringLiteral("/pibo/files/b.dat"), BinaryBody(2), 1000);
         },
         &DownloadFailed},
        {"second target is a folder with files in it",
         [](UpdaterTest& t, std::vector<TListed>& files) {
             WriteFile(t.Folder.File(QStringLiteral("plugins/keep.bin")), QByteArrayLiteral("keep"));
             files[1].ReplaceDes = QStringLiteral("plugins");
         },
         &UpdateFailed},
        {"second target's folder does not exist, after the first is in place",
         [](UpdaterTest&, std::vector<TListed>& files) { files[1].ReplaceDes = QStringLiteral("nofolder/b.dat"); },
         &UpdateFailed},
        {"backup of the second target is blocked",
         [](UpdaterTest& t, std::vector<TListed>&) {
             // A folder left in the backup folder (emptying keeps folders).
             WriteFile(t.Folder.File(QStringLiteral("update/backup/b.dat/stale")), QByteArrayLiteral("x"));
         },
         &UpdateFailed},
        {"last file replaces the first one's target",
         [](UpdaterTest&, std::vector<TListed>& files) { files[2].ReplaceDes = QStringLiteral("a.txt"); },
         &UpdateFailed},
    };
    return cases;
}

TEST_P(UpdaterFailureTest, RestoresTheOriginalsShowsTheMessageAndStartsTheMainProgram)
{
    const TFailureCase& c = FailureCases().at(static_cast<size_t>(GetParam()));
    SCOPED_TRACE(c.Label);
    std::vector<TListed> files = ThreeFiles();
    c.Arrange(*this, files);
    ServeList(ListXml(files));

    bool okEnabledAgain = false;
    bool stillOpen = false;
    const TRunOutcome outcome = Run([&](TFrmUpdateMain* form) {
        form->ppsbOk->PerformClick();
        okEnabledAgain = form->ppsbOk->ButtonEnabled();
        stillOpen = form->isVisible();
    });

    ASSERT_TRUE(outcome.WindowShown);
    EXPECT_EQ(outcome.Messages, QStringList{*c.Message});
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(okEnabledAgain);
    ExpectOriginalsIntact();
    EXPECT_EQ(ReadAll(Folder.File(QStringLiteral("plugins/keep.bin"))),
              QFileInfo::exists(Folder.File(QStringLiteral("plugins"))) ? QByteArrayLiteral("keep")
                                                                        : QByteArrayLiteral("<missing>"));
    EXPECT_FALSE(QFileInfo::exists(Folder.File(QStringLiteral("nofolder"))));
    // The offer stays: the main program keeps proposing the update.
    EXPECT_EQ(IniValue("RemoteVersion"), QStringLiteral("2.0"));
    ExpectWorkFoldersEmpty();
    ExpectMainStartedOnce();
}

INSTANTIATE_TEST_SUITE_P(Cases, UpdaterFailureTest, ::testing::Range(0, static_cast<int>(FailureCases().size())),
                         [](const ::testing::TestParamInfo<int>& info) {
                             std::string name = FailureCases().at(static_cast<size_t>(info.param)).Label;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

// Lists the updater must not act on, and servers it cannot use: the run ends
// without the update window, nothing is downloaded or touched, the offer is not
// recorded, the main program starts. A list that arrived but cannot be used is
// reported as a failed download; no update on offer and no server stay quiet.
TEST_F(UpdaterTest, RefusedListsAndUnusableServersEndTheRunWithoutTouchingAnything)
{
    const QString escape = QStringLiteral("pibo-escape-") + QUuid::createUuid().toString(QUuid::Id128);
    struct TCase {
        const char* Label;
        std::function<QByteArray(UpdaterTest&)> List;  // null: no list served
        QString Http;                                  // null: the test server
        bool Refused = true;                           // reported as a failed download
    };
    const auto with = [](TListed changed) {
        return [changed](UpdaterTest& t) {
            auto files = t.ThreeFiles();
            files[1] = changed;
            return t.ListXml(files);
        };
    };
    const std::vector<TCase> cases = {
        {"Name leads out of the update folder", with({"../" + escape, "data/b.dat", {}}), {}},
        {"Name leads out with backslashes", with({"..\\" + escape, "data/b.dat", {}}), {}},
        {"Name is absolute", with({"/tmp/" + escape, "data/b.dat", {}}), {}},
        {"ReplaceDes leads out of the program folder", with({"b.dat", "../" + escape, {}}), {}},
        {"ReplaceDes leads out through a folder", with({"b.dat", "data/../../" + escape, {}}), {}},
        {"ReplaceDes is absolute", with({"b.dat", "/tmp/" + escape, {}}), {}},
        {"ReplaceDes is a drive path", with({"b.dat", "C:\\" + escape, {}}), {}},
        {"ReplaceDes is empty", with({"b.dat", "", {}}), {}},
        {"Count larger than the elements", [](UpdaterTest& t) { return t.ListXml(t.ThreeFiles(), 4); }, {}},
        {"Count smaller than the elements", [](UpdaterTest& t) { return t.ListXml(t.ThreeFiles(), 2); }, {}},
        {"Count not a number",
         [](UpdaterTest& t) { return t.ListXml(t.ThreeFiles()).replace("Count=\"3\"", "Count=\"three\""); }, {}},
        {"UpdateSign not a number",
         [](UpdaterTest& t) { return t.ListXml(t.ThreeFiles(), -1, QStringLiteral("2.0"), QStringLiteral("x")); }, {}},
        {"a file element without ReplaceDes",
         [](UpdaterTest& t) { return t.ListXml(t.ThreeFiles()).replace("ReplaceDes=\"c.txt\"", ""); }, {}},
        {"malformed list", [](UpdaterTest& t) { return t.ListXml(t.ThreeFiles()).left(120); }, {}},
        {"not an XML list at all", [](UpdaterTest&) { return QByteArrayLiteral("<html>busy</html>"); }, {}},
        {"UpdateSign 0",
         [](UpdaterTest& t) { return t.ListXml(t.ThreeFiles(), -1, QStringLiteral("2.0"), QStringLiteral("0")); }, {}, false},
        {"the installed version", [](UpdaterTest& t) { return t.ListXml(t.ThreeFiles(), -1, QStringLiteral("1.0")); },
         {}, false},
        {"no list on the server (404)", nullptr, {}, false},
        {"server not reachable", [](UpdaterTest& t) { return t.ListXml(t.ThreeFiles()); },
         QStringLiteral("http://127.0.0.1:1/pibo"), false},
        {"no server in Update.ini", [](UpdaterTest& t) { return t.ListXml(t.ThreeFiles()); }, QStringLiteral(""), false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Label);
        Server.Requests.clear();
        QFile::remove(StartLog());
        WriteIni(QStringLiteral("fakemain"), c.Http);
        if (c.List)
            ServeList(c.List(*this));
        else
            Server.Remove(QStringLiteral("/pibo/update.xml"));

        QStringList messages;
        if (c.Refused)
            AnswerNextInfoBox(messages);
        const TRunOutcome outcome = Run();

        EXPECT_FALSE(outcome.WindowShown);
        EXPECT_EQ(messages, c.Refused ? QStringList{QStringLiteral("下载文件失败！")} : QStringList());
        EXPECT_TRUE(outcome.Messages.isEmpty());
        for (const QString& path : Server.Requests)
            EXPECT_FALSE(path.startsWith(QLatin1String("/pibo/files/"))) << path.toStdString();
        ExpectOriginalsIntact();
        EXPECT_EQ(IniValue("RemoteVersion"), QStringLiteral("1.0"));
        EXPECT_FALSE(QFileInfo::exists(QDir::tempPath() + u'/' + escape));
        EXPECT_FALSE(QFileInfo::exists(Folder.File(QStringLiteral("../")) + escape));
        // At most the list itself waits in the update folder for the next start.
        for (const QString& name : PlainFilesIn(Folder.File(QStringLiteral("update"))))
            EXPECT_EQ(name, QStringLiteral("update.xml"));
        EXPECT_EQ(PlainFilesIn(Folder.File(QStringLiteral("update/backup"))), QStringList());
        ExpectMainStartedOnce();
    }
}

TEST_F(UpdaterTest, ClosingTheWindowDuringADownloadStopsTheTransfer)
{
    // Far longer than the test may run: only the close can end the transfer.
    SetDefaultReadTimeout(3600000);
    Server.Stall(QStringLiteral("/pibo/files/b.dat"), BinaryBody(2), 1000);
    ServeList(ListXml(ThreeFiles()));
    QPointer<TFrmUpdateMain> window;
    Server.OnRequest = [&window](const QString& path) {
        if (path == u"/pibo/files/b.dat")
            QTimer::singleShot(100, [&window]() {
                if (window)
                    window->psbClose->PerformClick();  // the title bar's close button
            });
    };
    const TRunOutcome outcome = Run([&window](TFrmUpdateMain* form) {
        window = form;
        form->ppsbOk->PerformClick();
    });

    ASSERT_TRUE(outcome.WindowShown);
    ExpectClientClosedStalled(1);
    EXPECT_EQ(outcome.Messages, QStringList{DownloadFailed});
    ExpectOriginalsIntact();
    ExpectWorkFoldersEmpty();
    ExpectMainStartedOnce();
}

TEST_F(UpdaterTest, CancelDuringADownloadStopsTheTransferAndEndsTheRun)
{
    // Far longer than the test may run: only the cancel can end the transfer.
    SetDefaultReadTimeout(3600000);
    Server.Stall(QStringLiteral("/pibo/files/a.txt"), NewA, 3);
    ServeList(ListXml(ThreeFiles()));
    QPointer<TFrmUpdateMain> window;
    Server.OnRequest = [&window](const QString& path) {
        if (path == u"/pibo/files/a.txt")
            QTimer::singleShot(100, [&window]() {
                if (window)
                    window->ppsbCancel->PerformClick();
            });
    };
    bool visibleAfter = true;
    const TRunOutcome outcome = Run([&](TFrmUpdateMain* form) {
        window = form;
        form->ppsbOk->PerformClick();
        visibleAfter = form->isVisible();
    });

    EXPECT_FALSE(visibleAfter);
    EXPECT_EQ(Server.Requests.count(QStringLiteral("/pibo/files/b.dat")), 0);
    ExpectOriginalsIntact();
    ExpectWorkFoldersEmpty();
    ExpectMainStartedOnce();
}

TEST_F(UpdaterTest, AnEmptyListInstallsNothingAndRecordsTheVersion)
{
    ServeList(ListXml({}));
    const TRunOutcome outcome = Run();
    ASSERT_TRUE(outcome.WindowShown);
    EXPECT_EQ(outcome.Messages, QStringList{UpdateDone});
    EXPECT_EQ(IniValue("Version"), QStringLiteral("2.0"));
    EXPECT_EQ(ReadAll(Folder.File(QStringLiteral("a.txt"))), OldA);
    ExpectMainStartedOnce();
}

TEST_F(UpdaterTest, ReadsTheKeysOfUpdateIniAndAnEmptyListNameFetchesNothing)
{
    TUpdatePara para;
    ReadUpdatePara(para);
    EXPECT_EQ(para.Version, QStringLiteral("1.0"));
    EXPECT_EQ(para.UpdateFile, QStringLiteral("update.xml"));
    EXPECT_EQ(para.Exe, QStringLiteral("fakemain"));
    EXPECT_EQ(para.Http, Server.BaseUrl() + QStringLiteral("/pibo"));

    // Without the Update key the list has no name and no ".xml": there is
    // nothing to fetch, no window, and the main program starts.
    ServeList(ListXml(ThreeFiles()));
    WriteFile(Folder.File(QStringLiteral("Update.ini")),
              QStringLiteral("[Update]\r\nVersion=1.0\r\nExe=fakemain\r\nHttp=%1/pibo\r\n")
                  .arg(Server.BaseUrl())
                  .toLatin1());
    para = TUpdatePara();
    ReadUpdatePara(para);
    EXPECT_EQ(para.UpdateFile, QString());
    EXPECT_EQ(para.RemoteVersion, QString());
    const TRunOutcome outcome = Run();
    EXPECT_FALSE(outcome.WindowShown);
    EXPECT_TRUE(outcome.Messages.isEmpty());
    EXPECT_FALSE(Server.Requests.contains(QStringLiteral("/pibo/update.xml")));
    EXPECT_EQ(IniValue("RemoteVersion"), QStringLiteral("<none>"));
    ExpectOriginalsIntact();
    ExpectMainStartedOnce();
}

// Versions are compared as texts only, and a file's address is its Http and
// Name joined with nothing between them.
TEST_F(UpdaterTest, AnyOtherVersionTextIsOfferedAndHttpRunsIntoTheName)
{
    const struct {
        const char* Version;
    } cases[] = {{"0.9"}, {"1.00"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Version);
        WriteIni(QStringLiteral("fakemain"));
        QFile::remove(StartLog());
        ServeList(ListXml({}, -1, QString::fromLatin1(c.Version)));
        const TRunOutcome outcome = Run([](TFrmUpdateMain* form) { form->ppsbCancel->PerformClick(); });
        EXPECT_TRUE(outcome.WindowShown);
        EXPECT_EQ(outcome.RemoteVersionWhenShown, QString::fromLatin1(c.Version));
        EXPECT_EQ(IniValue("Version"), QStringLiteral("1.0"));
        ExpectMainStartedOnce();
    }
    {
        // Letter case alone makes another version.
        WriteFile(Folder.File(QStringLiteral("Update.ini")),
                  QStringLiteral("[Update]\r\nVersion=v2.0\r\nUpdate=update\r\nExe=fakemain\r\nHttp=%1/pibo\r\n")
                      .arg(Server.BaseUrl())
                      .toLatin1());
        QFile::remove(StartLog());
        ServeList(ListXml({}, -1, QStringLiteral("V2.0")));
        const TRunOutcome outcome = Run([](TFrmUpdateMain* form) { form->ppsbCancel->PerformClick(); });
        EXPECT_TRUE(outcome.WindowShown);
        EXPECT_EQ(outcome.RemoteVersionWhenShown, QStringLiteral("V2.0"));
        ExpectMainStartedOnce();
    }

    WriteIni(QStringLiteral("fakemain"));
    QFile::remove(StartLog());
    Server.Requests.clear();
    Server.Serve(QStringLiteral("/pibo/filesa.txt"), NewA);
    ServeList(ListXml({{QStringLiteral("a.txt"), QStringLiteral("a.txt"), Server.BaseUrl() + QStringLiteral("/pibo/files")}}));
    const TRunOutcome outcome = Run();
    ASSERT_TRUE(outcome.WindowShown);
    EXPECT_EQ(outcome.Messages, QStringList{UpdateDone});
    EXPECT_TRUE(Server.Requests.contains(QStringLiteral("/pibo/filesa.txt")));
    EXPECT_EQ(ReadAll(Folder.File(QStringLiteral("a.txt"))), NewA);
    ExpectWorkFoldersEmpty();
    ExpectMainStartedOnce();
}

TEST_F(UpdaterTest, TheMainProgramNamedWithExeStartsWithoutIt)
{
    WriteIni(QStringLiteral("fakemain.exe"), QStringLiteral("http://127.0.0.1:1/pibo"));
    RunPibozun();
    ExpectMainStartedOnce();

    EXPECT_EQ(MainProgramPath(QStringLiteral("fakemain.exe")), Folder.File(QStringLiteral("fakemain")));
    EXPECT_EQ(MainProgramPath(QStringLiteral("fakemain")), Folder.File(QStringLiteral("fakemain")));
    WriteFile(Folder.File(QStringLiteral("real.exe")), "x");
    EXPECT_EQ(MainProgramPath(QStringLiteral("real.exe")), Folder.File(QStringLiteral("real.exe")));
    EXPECT_EQ(MainProgramPath(QString()), QString());
}

TEST_F(UpdaterTest, ASecondCopyEndsAtOnceWithoutTouchingTheFolder)
{
    ServeList(ListXml(ThreeFiles()));
    WriteFile(Folder.File(QStringLiteral("update/inflight.bin")), "the first copy's download");
    TSingleInstanceLock first(QString::fromLatin1(UpdaterProgramName));
    ASSERT_TRUE(first.TryAcquire());

    const TRunOutcome outcome = Run();

    EXPECT_FALSE(outcome.WindowShown);
    EXPECT_TRUE(Server.Requests.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(Folder.File(QStringLiteral("update/inflight.bin"))));
    EXPECT_TRUE(MainStarts().isEmpty()) << "the first copy starts the main program";
    first.Release();
    EXPECT_TRUE(first.TryAcquire()) << "the second copy left the lock alone";
}

// Peak resident memory of the process, in bytes.
qint64 ResidentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    return -1;
}

TEST_F(UpdaterTest, DownloadsStreamToDiskWithFlatMemory)
{
    constexpr qint64 Size = 64LL * 1024 * 1024;
    Server.Generate(QStringLiteral("/big.bin"), Size);
    TUpdateHttp http;
    const qint64 before = ResidentBytes();
    ASSERT_GT(before, 0);
    qint64 peak = before;
    qint64 expected = -2;
    qint64 lastCount = 0;
    http.OnWorkBegin = [&](qint64 max) { expected = max; };
    http.OnWork = [&](qint64 count) {
        lastCount = count;
        peak = std::max(peak, ResidentBytes());
    };
    const QString file = Folder.File(QStringLiteral("update/big.bin"));
    ASSERT_TRUE(http.Get(Server.BaseUrl() + QStringLiteral("/big.bin"), file));

    EXPECT_EQ(expected, Size);
    EXPECT_EQ(lastCount, Size);
    EXPECT_LT(peak - before, 16LL * 1024 * 1024) << "the body was held in memory";
    QFile result(file);
    ASSERT_TRUE(result.open(QIODevice::ReadOnly));
    ASSERT_EQ(result.size(), Size);
    qint64 offset = 0;
    bool same = true;
    while (same && offset < Size) {
        const QByteArray chunk = result.read(1 << 20);
        for (qsizetype i = 0; i < chunk.size() && same; ++i)
            same = chunk[i] == GeneratedByte(offset + i);
        offset += chunk.size();
        if (chunk.isEmpty())
            break;
    }
    EXPECT_TRUE(same);
    EXPECT_EQ(offset, Size);
}

TEST_F(UpdaterTest, FailedTransfersLeaveNoFile)
{
    Server.Stall(QStringLiteral("/stall"), NewB, 100);
    Server.Truncate(QStringLiteral("/cut"), NewB, 100);
    const QString file = Folder.File(QStringLiteral("update/x.bin"));
    for (const char* path : {"/stall", "/cut", "/missing"}) {
        SCOPED_TRACE(path);
        // Only the stalled transfer is to end by the read time-out; the
        // others end by what the server does, however slowly they run.
        SetDefaultReadTimeout(QByteArray(path) == "/stall" ? 300 : 60000);
        WriteFile(file, "before");
        EXPECT_FALSE(DownloadUrlToFile(Server.BaseUrl() + QLatin1String(path), file));
        EXPECT_FALSE(QFileInfo::exists(file));
    }
    EXPECT_FALSE(DownloadUrlToFile(QStringLiteral("not a url"), file));
    EXPECT_TRUE(DownloadUrlToFile(Server.BaseUrl() + QStringLiteral("/pibo/files/a.txt"), file));
    EXPECT_EQ(ReadAll(file), NewA);
}

// An update that replaces the main program keeps its mode, so the new
// program is the one started; a file the update adds gets the ordinary mode
// under the process's umask, like any file it creates.
TEST_F(UpdaterTest, AReplacedProgramKeepsItsModeAndIsStarted)
{
    const QString main = Folder.File(QStringLiteral("fakemain"));
    const QFile::Permissions mode =
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup;
    ASSERT_TRUE(QFile::setPermissions(main, mode));
    const QByteArray newMain = QStringLiteral("#!/bin/sh\necho \"new $(pwd)\" >> '%1'\n").arg(StartLog()).toUtf8();
    Server.Serve(QStringLiteral("/pibo/files/fakemain"), newMain);
    ServeList(ListXml({{QStringLiteral("fakemain"), QStringLiteral("fakemain"), {}},
                       {QStringLiteral("c.txt"), QStringLiteral("c.txt"), {}}}));

    const TRunOutcome outcome = Run();

    ASSERT_TRUE(outcome.WindowShown);
    EXPECT_EQ(outcome.Messages, QStringList{UpdateDone});
    EXPECT_EQ(ReadAll(main), newMain);
    const QFile::Permissions kinds = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                     QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther |
                                     QFile::ExeOther;
    EXPECT_EQ(QFile::permissions(main) & kinds, mode);
    const QString probe = Folder.File(QStringLiteral("probe.txt"));
    WriteFile(probe, "x");
    EXPECT_EQ(QFile::permissions(Folder.File(QStringLiteral("c.txt"))) & kinds, QFile::permissions(probe) & kinds);
    EXPECT_EQ(MainStarts(), QStringList{QStringLiteral("new ") + QDir::cleanPath(Folder.Path())});
}

// When the main program cannot be started the updater says so instead of
// ending silently.
TEST_F(UpdaterTest, AMainProgramThatCannotStartIsReported)
{
    WriteFile(Folder.File(QStringLiteral("plain")), "#!/bin/sh\ntrue\n");
    ASSERT_TRUE(QFile::setPermissions(Folder.File(QStringLiteral("plain")), QFile::ReadOwner | QFile::WriteOwner));
    for (const char* exe : {"plain", "missing", ""}) {
        SCOPED_TRACE(exe);
        WriteIni(QString::fromLatin1(exe), QStringLiteral("http://127.0.0.1:1/pibo"));
        QStringList messages;
        AnswerNextInfoBox(messages);
        RunPibozun();
        ProcessEvents();
        EXPECT_EQ(messages, QStringList{QStringLiteral("启动主程序失败！")});
    }
    EXPECT_FALSE(QFileInfo::exists(StartLog()));
}

// A server that sends the update list or a listed file a byte at a time,
// never letting the read time-out run out, is cut off at the bound of the
// whole transfer: "下载文件失败！", nothing replaced, and the main program
// starts. Only the trickling transfer runs under a short bound.
TEST_F(UpdaterTest, ATricklingServerIsCutOffAtTheBound)
{
    SetDefaultReadTimeout(60000);  // only the bound of the whole transfer can end it
    constexpr qint64 Endless = 100 * 1000 * 1000;

    {
        SCOPED_TRACE("the list");
        TUpdateTimeLimits limits;
        limits.ListMs = 300;  // the list is the run's only transfer
        SetUpdateTimeLimits(limits);
        Server.Trickle(QStringLiteral("/pibo/update.xml"), Endless, 5);
        QStringList messages;
        AnswerNextInfoBox(messages);
        const TRunOutcome outcome = Run();
        EXPECT_FALSE(outcome.WindowShown);
        EXPECT_EQ(messages, QStringList{DownloadFailed});
        ExpectClientClosedStalled(1);
        ExpectOriginalsIntact();
        ExpectWorkFoldersEmpty();
        ExpectMainStartedOnce();
    }
    {
        SCOPED_TRACE("a listed file");
        SetUpdateTimeLimits(TUpdateTimeLimits());  // the list and a.txt: far more than they need
        QFile::remove(StartLog());
        ServeList(ListXml(ThreeFiles()));
        Server.Trickle(QStringLiteral("/pibo/files/b.dat"), Endless, 5);
        ChangeClientAtRequestOf(QStringLiteral("/pibo/files/a.txt"), [](TUpdateHttp& http) {
            http.SetTimeLimit(300, 1000 * 1000 * 1000);  // the floor governs
        });
        const TRunOutcome outcome = Run();
        ASSERT_TRUE(outcome.WindowShown);
        EXPECT_EQ(outcome.Messages, QStringList{DownloadFailed});
        ExpectClientClosedStalled(2);
        EXPECT_EQ(Server.Requests.count(QStringLiteral("/pibo/files/a.txt")), 1);
        EXPECT_EQ(Server.Requests.count(QStringLiteral("/pibo/files/c.txt")), 0);
        ExpectOriginalsIntact();
        ExpectWorkFoldersEmpty();
        ExpectMainStartedOnce();
    }
}

TEST(TransferTimeLimitTest, GrowsWithTheAnnouncedSizeAboveTheFloor)
{
    const struct {
        qint64 Floor, Rate, Announced, Expected;
    } cases[] = {
        {120000, 4096, -1, 120000},                    // no size announced: the floor
        {120000, 4096, 4096 * 10, 120000},             // small file: the floor
        {120000, 4096, 4096 * 1000, 1000000},          // large file: its size at the rate
        {120000, 0, 4096 * 1000, 120000},              // no rate: the floor
        {0, 0, 5000, 0},                               // no bound
        {1000, 3, 10, 3333},                           // rounds down
        {0, 1, Q_INT64_C(1) << 50, (Q_INT64_C(1) << 50) * 1000},  // no overflow
    };
    for (const auto& c : cases)
        EXPECT_EQ(TransferTimeLimitMs(c.Floor, c.Rate, c.Announced), c.Expected)
            << c.Floor << " " << c.Rate << " " << c.Announced;
}

TEST(ConfinedRelativePathTest, KeepsPathsInsideTheirFolder)
{
    const struct {
        const char* Listed;
        const char* Expected;
    } cases[] = {
        {"pibozunexc", "pibozunexc"},
        {"data/dict/english.dic", "data/dict/english.dic"},
        {"data\\dict\\english.dic", "data/dict/english.dic"},
        {"./a.txt", "a.txt"},
        {"data//a.txt", "data/a.txt"},
        {"..", ""},
        {"../x", ""},
        {"..\\x", ""},
        {"data/../x", ""},
        {"a/b/../../../x", ""},
        {"/etc/passwd", ""},
        {"\\x", ""},
        {"C:\\Windows\\x.dll", ""},
        {"c:x", ""},
        {"", ""},
        {".", ""},
        {"data/", ""},
        {"..a", "..a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConfinedRelativePath(QString::fromUtf8(c.Listed)), QString::fromUtf8(c.Expected)) << c.Listed;
}

}  // namespace
