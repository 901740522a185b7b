#include "UFrmUpdateMain.h"

#include "ProgramFolder.h"
#include "UCommonFun.h"
#include "UFrmShowInfo.h"
#include "UPiboComponent.h"
#include "UUpdateHttp.h"
#include "pibozun.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtGui/QCloseEvent>
#include <QtGui/QPalette>
#include <QtWidgets/QLabel>
#include <QtWidgets/QProgressBar>
#include <QtXml/QDomDocument>
#include <QtXml/QDomElement>

#include <algorithm>
#include <limits>

namespace {
constexpr TColor BodyColor = 239 | (251 << 8) | (255u << 16);  // RGB(239, 251, 255)
constexpr TColor LabelColor = 98 | (98 << 8) | (98 << 16);      // RGB(98, 98, 98)

TFont LabelFont(bool bold)
{
    TFont font;  // "宋体", 12 pixels high
    font.Color = LabelColor;
    font.Bold = bold;
    return font;
}

QLabel* NewLabel(QWidget* parent, const QString& name, const QString& text, int left, int top, bool bold)
{
    const TFont font = LabelFont(bold);
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font.ToQFont());
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, ToQColor(font.Color));
    label->setPalette(palette);
    label->setText(text);
    label->setGeometry(left, top, TextWidthOf(font, text), TextHeightOf(font, text));
    return label;
}

// Sets a label's text and fits its width to it.
void SetLabelText(QLabel* label, const QString& text, bool bold)
{
    label->setText(text);
    label->resize(TextWidthOf(LabelFont(bold), text), label->height());
}

TPiboSpeedButton* NewButton(QWidget* parent, const QString& name, const QString& caption, int left, int top)
{
    auto* button = new TPiboSpeedButton(parent);
    button->setObjectName(name);
    button->SetPiboSpeedButtonType(pbstInfoButton);
    button->Font.Color = clWhite;  // "宋体", 12 pixels high
    button->SetCaption(caption);
    button->setGeometry(left, top, 79, 23);
    return button;
}

// The attribute of element, when both exist.
bool ReadAttribute(const QDomElement& element, const QString& name, QString& value)
{
    if (element.isNull() || !element.hasAttribute(name))
        return false;
    value = element.attribute(name);
    return true;
}

bool ReadIntAttribute(const QDomElement& element, const QString& name, qint32& value)
{
    QString text;
    if (!ReadAttribute(element, name, text))
        return false;
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    if (ok)
        value = number;
    return ok;
}

// True when path lies inside folder (both absolute, folder ending in '/').
bool InsideFolder(const QString& path, const QString& folder)
{
    const QString cleanFolder = QDir::cleanPath(folder) + u'/';
    const QString cleanPath = QDir::cleanPath(path);
    return cleanPath.startsWith(cleanFolder) && cleanPath.size() > cleanFolder.size();
}

const QString UpdateDoneText = QStringLiteral("软件升级成功！");
const QString UpdateFailedText = QStringLiteral("软件升级失败！");
}  // namespace

QString ConfinedRelativePath(const QString& listed)
{
    QString text = listed;
    text.replace(u'\\', u'/');
    if (text.isEmpty() || text.startsWith(u'/') || QDir::isAbsolutePath(text))
        return QString();
    if (text.size() >= 2 && text.at(1) == u':' && text.at(0).isLetter())
        return QString();  // a drive
    if (text.endsWith(u'/'))
        return QString();  // a folder, not a file
    QStringList kept;
    for (const QString& part : text.split(u'/')) {
        if (part == u"..")
            return QString();
        if (part.isEmpty() || part == u".")
            continue;
        kept.append(part);
    }
    return kept.join(u'/');
}

TFrmUpdateMain::TFrmUpdateMain(QWidget* parent) : TFrmModel(parent)
{
    setObjectName(QStringLiteral("FrmUpdateMain"));
    SetClientSize(360, 183);
    SetTitle(QStringLiteral("在线升级"));
    SetWidgetColor(Panel6, BodyColor);

    Label4 = NewLabel(Panel6, QStringLiteral("Label4"),
                      QStringLiteral("有新版本程序可更新，请点击“更新”按钮进行在线更新。"), 16, 19, true);
    Label4->resize(338, 12);
    Label1 = NewLabel(Panel6, QStringLiteral("Label1"), QStringLiteral("需更新"), 16, 43, false);
    Label2 = NewLabel(Panel6, QStringLiteral("Label2"), QStringLiteral("1"), 57, 43, true);
    Label3 = NewLabel(Panel6, QStringLiteral("Label3"), QStringLiteral("个文件，正在更新"), 64, 43, false);
    labRefreshCount = NewLabel(Panel6, QStringLiteral("labRefreshCount"), QStringLiteral("0/1"), 172, 43, false);
    Label5 = NewLabel(Panel6, QStringLiteral("Label5"), QStringLiteral("......"), 197, 43, false);

    ProgressBar = new QProgressBar(Panel6);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setGeometry(17, 73, 321, 25);
    ProgressBar->setTextVisible(false);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);

    ppsbOk = NewButton(Panel6, QStringLiteral("ppsbOk"), QStringLiteral("更新"), 157, 111);
    ppsbOk->OnClick = [this]() { ppsbOkClick(); };
    ppsbCancel = NewButton(Panel6, QStringLiteral("ppsbCancel"), QStringLiteral("取消"), 239, 111);
    ppsbCancel->OnClick = [this]() { ppsbCancelClick(); };

    IdHTTP = new TUpdateHttp(this);
    IdHTTP->OnWorkBegin = [this](qint64 workCountMax) { IdHTTPWorkBegin(workCountMax); };
    IdHTTP->OnWork = [this](qint64 workCount) { IdHTTPWork(workCount); };

    CenterOnScreen();
    FormCreate();
}

TFrmUpdateMain::~TFrmUpdateMain() = default;

void TFrmUpdateMain::FormCreate()
{
    try {
        if (!LoadUpdateFileList(UpdatePara)) {
            FListRefused = true;
            FTerminated = true;
            return;
        }
        if (UpdatePara.UpdateSign == 0 || UpdatePara.Version == UpdatePara.RemoteVersion) {
            FTerminated = true;
            return;
        }
        WriteRemoteVersion(UpdatePara.RemoteVersion);

        // The number of files the update brings; the text after it moves
        // along when the number is wider than one digit.
        const int gap = Label3->x() - Label2->x() - Label2->width();
        SetLabelText(Label2, QString::number(FFileList.size()), true);
        Label3->move(std::max(Label3->x(), Label2->x() + Label2->width() + gap), Label3->y());
        SetLabelText(labRefreshCount, QStringLiteral("0/%1").arg(FFileList.size()), false);
    } catch (...) {
        FListRefused = true;
        FTerminated = true;
    }
}

bool TFrmUpdateMain::LoadUpdateFileList(TUpdatePara& para)
{
    try {
        const QString path = UpdateFolder() + para.UpdateFile;
        if (para.UpdateFile.isEmpty() || !QFileInfo(path).isFile())
            return false;
        QDomDocument document;
        {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly) || !document.setContent(&file))
                return false;
        }
        const QDomElement root = document.documentElement();
        if (root.tagName() != u"Root")
            return false;

        QString remoteVersion;
        if (!ReadAttribute(root.firstChildElement(QStringLiteral("Version")), QStringLiteral("Value"), remoteVersion))
            return false;
        para.RemoteVersion = remoteVersion;
        qint32 updateSign = 0;
        if (!ReadIntAttribute(root.firstChildElement(QStringLiteral("UpdateSign")), QStringLiteral("Value"), updateSign))
            return false;
        para.UpdateSign = updateSign;
        const QDomElement fileList = root.firstChildElement(QStringLiteral("FileList"));
        qint32 count = 0;
        if (!ReadIntAttribute(fileList, QStringLiteral("Count"), count) || count < 0)
            return false;

        QList<QDomElement> elements;
        for (QDomElement e = fileList.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
            elements.append(e);
        if (elements.size() != count)
            return false;  // the list says more or fewer files than it holds

        TUpdateFileList files;
        const QString programFolder = ProgramFolder();
        const QString updateFolder = UpdateFolder();
        for (const QDomElement& e : elements) {
            QString name, http, replaceDes;
            if (!ReadAttribute(e, QStringLiteral("Name"), name) || !ReadAttribute(e, QStringLiteral("Http"), http) ||
                !ReadAttribute(e, QStringLiteral("ReplaceDes"), replaceDes))
                return false;
            // Both paths come from the server: they must stay inside their folders.
            const QString localName = ConfinedRelativePath(name);
            const QString target = ConfinedRelativePath(replaceDes);
            if (localName.isEmpty() || target.isEmpty())
                return false;
            TUpdateFileItem item;
            item.Name = localName;
            item.Url = http + name;
            item.TempFile = updateFolder + localName;
            item.TargetFile = programFolder + target;
            if (!InsideFolder(item.TempFile, updateFolder) || !InsideFolder(item.TargetFile, programFolder) ||
                !InsideFolder(UpdateBackupFolder() + localName, UpdateBackupFolder()))
                return false;
            files.append(item);
        }
        FFileList = files;
        return true;
    } catch (...) {
        return false;
    }
}

bool TFrmUpdateMain::DownloadUpdateFiles()
{
    try {
        ppsbOk->SetButtonEnabled(false);
        // Each file as long as its size needs at a slow rate, never for ever.
        const TUpdateTimeLimits limits = UpdateTimeLimits();
        IdHTTP->SetTimeLimit(limits.FileFloorMs, limits.FileBytesPerSecond);
        const qsizetype n = FFileList.size();
        for (qsizetype i = 0; i < n; ++i) {
            const TUpdateFileItem& item = FFileList.at(i);
            SetLabelText(labRefreshCount, QStringLiteral("%1/%2").arg(i + 1).arg(n), false);
            ProgressBar->setValue(0);
            if (!IdHTTP->Get(item.Url, item.TempFile))
                return false;
        }
        return true;
    } catch (...) {
        IdHTTP->Disconnect();
        return false;
    }
}

bool TFrmUpdateMain::ReplaceUpdateFiles()
{
    FBackedUp.clear();
    FInstalled.clear();
    try {
        const QString backupFolder = UpdateBackupFolder();
        for (const TUpdateFileItem& item : std::as_const(FFileList)) {
            const QFileInfo target(item.TargetFile);
            if (!target.exists() && !target.isSymLink())
                continue;  // a new file: it keeps the ordinary mode it was created with
            if (target.isDir())
                return false;  // the list names a folder, not a file
            // The new file takes the place of the old one with its mode: a
            // replaced program stays executable.
            if (target.exists() && !QFile::setPermissions(item.TempFile, target.permissions()))
                return false;
            const QString backup = backupFolder + item.Name;
            if (!ShellRenameFile(item.TargetFile, backup))
                return false;
            FBackedUp.append({item.TargetFile, backup});
        }
        for (const TUpdateFileItem& item : std::as_const(FFileList)) {
            if (!ShellRenameFile(item.TempFile, item.TargetFile))
                return false;
            FInstalled.append(item.TargetFile);
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool TFrmUpdateMain::RestoreBackupFiles()
{
    bool restored = true;
    try {
        // The new files come out first, so that every original finds its
        // place free again.
        for (qsizetype i = FInstalled.size() - 1; i >= 0; --i)
            if (!QFile::remove(FInstalled.at(i)))
                restored = false;
        for (qsizetype i = FBackedUp.size() - 1; i >= 0; --i)
            if (!ShellRenameFile(FBackedUp.at(i).second, FBackedUp.at(i).first))
                restored = false;
    } catch (...) {
        restored = false;
    }
    FInstalled.clear();
    FBackedUp.clear();
    return restored;
}

void TFrmUpdateMain::ppsbOkClick()
{
    try {
        if (!DownloadUpdateFiles()) {
            ppsbOk->SetButtonEnabled(true);
            ClearFolder(UpdateFolder());
            ClearFolder(UpdateBackupFolder());
            ShowInfo(DownloadFailedText);
            return;
        }
        // The new version counts as installed only when every file is in place
        // and the version is recorded; otherwise the old files come back.
        if (ReplaceUpdateFiles() && WriteLocalVersion(UpdatePara.RemoteVersion)) {
            FInstalled.clear();
            FBackedUp.clear();
            ClearFolder(UpdateFolder());
            ClearFolder(UpdateBackupFolder());
            ShowInfo(UpdateDoneText);
            close();
            return;
        }
        const bool restored = RestoreBackupFiles();
        ClearFolder(UpdateFolder());
        if (restored)
            ClearFolder(UpdateBackupFolder());  // else the originals wait there
        ppsbOk->SetButtonEnabled(true);
        ShowInfo(UpdateFailedText);
    } catch (...) {
        if (!FInstalled.isEmpty() || !FBackedUp.isEmpty())
            RestoreBackupFiles();
        ppsbOk->SetButtonEnabled(true);
    }
}

void TFrmUpdateMain::ppsbCancelClick()
{
    if (IdHTTP->Connected())
        IdHTTP->Disconnect();
    close();
}

void TFrmUpdateMain::closeEvent(QCloseEvent* event)
{
    // Closing the window in any way stops a transfer that runs.
    IdHTTP->Disconnect();
    TFrmModel::closeEvent(event);
}

void TFrmUpdateMain::IdHTTPWorkBegin(qint64 workCountMax)
{
    const qint64 maximum = std::clamp<qint64>(workCountMax, 0, std::numeric_limits<int>::max());
    ProgressBar->setRange(0, static_cast<int>(maximum));
    ProgressBar->setValue(0);
}

void TFrmUpdateMain::IdHTTPWork(qint64 workCount)
{
    if (ProgressBar->maximum() > 0)
        ProgressBar->setValue(static_cast<int>(std::clamp<qint64>(workCount, 0, ProgressBar->maximum())));
}
