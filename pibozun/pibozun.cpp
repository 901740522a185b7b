#include "pibozun.h"

#include "IniFile.h"
#include "ProgramFolder.h"
#include "SingleInstance.h"
#include "UCommonFun.h"
#include "UFrmShowInfo.h"
#include "UFrmUpdateMain.h"
#include "UUpdateHttp.h"

#include <QtCore/QEventLoop>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QProcess>
#include <QtGui/QGuiApplication>

#include <memory>

TUpdatePara UpdatePara;

namespace {
const QString MainProgramNotStartedText = QStringLiteral("启动主程序失败！");

QString UpdateIniPath()
{
    return ProgramFolder() + QLatin1String(UpdateIniName);
}

QString ReadUpdateKey(const TIniFile& ini, const char* key)
{
    return ini.ReadString(QLatin1String(UpdateIniSection), QLatin1String(key), QString());
}
}  // namespace

QString UpdateFolder()
{
    return ProgramFolder() + QStringLiteral("update/");
}

QString UpdateBackupFolder()
{
    return ProgramFolder() + QStringLiteral("update/backup/");
}

void ReadUpdatePara(TUpdatePara& para)
{
    const TIniFile ini(UpdateIniPath());
    para.Version = ReadUpdateKey(ini, UpdateKeyVersion);
    para.UpdateFile = ReadUpdateKey(ini, UpdateKeyUpdate);
    if (!para.UpdateFile.isEmpty())
        para.UpdateFile += QStringLiteral(".xml");
    para.Exe = ReadUpdateKey(ini, UpdateKeyExe);
    para.Http = ReadUpdateKey(ini, UpdateKeyHttp);
}

bool CheckUpdateServer(const QString& http)
{
    return IsOnline(http);
}

bool DownloadUpdateList(const TUpdatePara& para, bool* timedOut)
{
    return DownloadUrlToFile(para.Http + u'/' + para.UpdateFile, UpdateFolder() + para.UpdateFile, timedOut);
}

bool DownloadUrlToFile(const QString& url, const QString& fileName, bool* timedOut)
{
    if (timedOut)
        *timedOut = false;
    try {
        if (QFileInfo(fileName).isFile())
            QFile::remove(fileName);
        TUpdateHttp http;
        http.SetTimeLimit(UpdateTimeLimits().ListMs);
        const bool ok = http.Get(url, fileName);
        if (timedOut)
            *timedOut = http.TimedOut();
        return ok;
    } catch (...) {
        return false;
    }
}

bool WriteRemoteVersion(const QString& version)
{
    TIniFile ini(UpdateIniPath());
    return ini.WriteString(QLatin1String(UpdateIniSection), QLatin1String(UpdateKeyRemoteVersion), version);
}

bool WriteLocalVersion(const QString& version)
{
    TIniFile ini(UpdateIniPath());
    return ini.WriteString(QLatin1String(UpdateIniSection), QLatin1String(UpdateKeyVersion), version);
}

QString MainProgramPath(const QString& exe)
{
    if (exe.isEmpty())
        return QString();
    const QString path = ProgramFolder() + exe;
    if (!QFileInfo::exists(path) && path.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive)) {
        const QString bare = path.left(path.size() - 4);
        if (QFileInfo::exists(bare))
            return bare;
    }
    return path;
}

bool StartMainProgram(const QString& exe)
{
    try {
        const QString path = MainProgramPath(exe);
        if (path.isEmpty() || !QFileInfo(path).isFile())
            return false;
        return QProcess::startDetached(path, {}, ProgramFolder());
    } catch (...) {
        return false;
    }
}

int RunPibozun()
{
    TSingleInstanceLock lock{QString::fromLatin1(UpdaterProgramName)};
    if (!lock.TryAcquire())
        return 0;  // another copy updates this folder and starts the main program

    try {
        QGuiApplication::setApplicationDisplayName(QString::fromUtf16(UpdaterApplicationTitle));
        QGuiApplication::setQuitOnLastWindowClosed(false);
        UpdatePara = TUpdatePara();
        ClearFolder(UpdateFolder());
        ClearFolder(UpdateBackupFolder());
        ReadUpdatePara(UpdatePara);
        if (CheckUpdateServer(UpdatePara.Http)) {
            bool listTimedOut = false;
            if (DownloadUpdateList(UpdatePara, &listTimedOut)) {
                const auto form = std::make_unique<TFrmUpdateMain>();
                // A list that cannot be used is a failed update, not "no
                // update": the user who asked for it is told before the main
                // program starts.
                if (form->ListRefused())
                    ShowInfo(DownloadFailedText);
                if (!form->Terminated()) {
                    QEventLoop loop;
                    form->OnClose = [&loop]() { loop.quit(); };
                    form->show();
                    loop.exec();
                    form->OnClose = nullptr;
                }
            } else if (listTimedOut) {
                // A server that answers but never finishes the list: the user
                // who asked for the update has waited and is told.
                ShowInfo(DownloadFailedText);
            }
        }
    } catch (...) {
        // Dropped without a message: the main program starts all the same.
    }

    lock.Release();
    if (!StartMainProgram(UpdatePara.Exe)) {
        try {
            ShowInfo(MainProgramNotStartedText);
        } catch (...) {
        }
    }
    return 0;
}
