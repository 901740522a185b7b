#include "WindowsTestSupport.h"

#include <QtWidgets/QTreeWidget>

#include "DatabaseSchema.h"
#include "UDataInterface.h"
#include "UDataOperaterFun.h"
#include "UFrmInputEdit.h"
#include "UFrmMain.h"
#include "UFrmShowInfo.h"
#include "UFrmShowQuestionInfo.h"
#include "UPiboComponent.h"
#include "UWebLinks.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtCore/QtEndian>
#include <QtWidgets/QApplication>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>

#include <gtest/gtest.h>

#include <cmath>

bool WaitFor(const std::function<bool()>& condition)
{
    return RunEventsUntil(condition, 20000);
}

TWindowTestEnvironment::TWindowTestEnvironment(const QString& user)
{
    QString error;
    EXPECT_TRUE(CreateDatabaseFromSchema(QStringLiteral(PIBO_SCHEMA_FILE), FFolder.File(QStringLiteral("data/data.db")),
                                         &error))
        << error.toStdString();
    DataInterface = new TDataInterface();
    EXPECT_TRUE(DataInterface->Connect());
    SystemPara = TSystemPara();
    SystemPara.UserInfo.UserName = user;
    SetStartPageAddress(QStringLiteral("http://127.0.0.1:1/"));
}

TWindowTestEnvironment::~TWindowTestEnvironment()
{
    ProcessEvents();
    delete DataInterface;
    DataInterface = nullptr;
    SetStartPageAddress(QString());
}

QString TWindowTestEnvironment::Write(const QString& relative, const QByteArray& bytes) const
{
    const QString path = FFolder.File(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    return path;
}

TDialogRecorder::TDialogRecorder()
{
    qApp->installEventFilter(this);
}

TDialogRecorder::~TDialogRecorder()
{
    qApp->removeEventFilter(this);
}

bool TDialogRecorder::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->isWindow()) {
            QPointer<QWidget> window(widget);
            QTimer::singleShot(0, this, [this, window] {
                if (window && window->isVisible())
                    Answer(window);
            });
        }
    }
    return false;
}

void TDialogRecorder::Answer(QWidget* window)
{
    if (auto* question = qobject_cast<TFrmShowQuestionInfo*>(window)) {
        Questions << question->labInfo->text();
        const bool yes = QuestionAnswers.isEmpty() ? true : QuestionAnswers.takeFirst();
        (yes ? question->psbOk : question->ppsbCancel)->PerformClick();
    } else if (auto* info = qobject_cast<TFrmShowInfo*>(window)) {
        Infos << info->labInfo->text();
        info->psbOk->PerformClick();
    } else if (auto* input = qobject_cast<TFrmInputEdit*>(window)) {
        const QPair<QString, bool> answer = Inputs.isEmpty() ? qMakePair(QString(), false) : Inputs.takeFirst();
        input->ediInput->setText(answer.first);
        (answer.second ? input->ppsbOk : input->ppsbCancel)->PerformClick();
    } else if (auto* dialog = qobject_cast<QFileDialog*>(window)) {
        ++FileDialogs;
        FileFilters << dialog->nameFilters().join(u'|');
        const QString file = Files.isEmpty() ? QString() : Files.takeFirst();
        if (file.isEmpty()) {
            dialog->reject();
        } else {
            dialog->selectFile(file);
            QMetaObject::invokeMethod(dialog, "accept");
        }
    }
}

QStringList& ScreenLog()
{
    static QStringList log;
    return log;
}

TFakeScreen::TFakeScreen(QWidget* parent) : TForm(parent) {}

TFakeScreen::~TFakeScreen()
{
    ScreenLog() << QStringLiteral("free ") + objectName();
    // The main window frees its screens while it is still whole.
    if (!qobject_cast<TFrmMain*>(window()))
        ScreenLog() << QStringLiteral("late ") + objectName();
}

void TFakeScreen::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    ScreenLog() << QStringLiteral("show %1 %2").arg(objectName(), FMediaFile);
}

void TFakeScreen::ReloadFile()
{
    ScreenLog() << QStringLiteral("reload %1 %2").arg(objectName(), FMediaFile);
}

void TFakeScreen::ReloadSubtitle()
{
    ScreenLog() << QStringLiteral("subtitle ") + objectName();
}

void TFakeScreen::HandleHotKey(qint32 id)
{
    ScreenLog() << QStringLiteral("hotkey %1 %2").arg(objectName()).arg(id);
}

TFakeScreens::TFakeScreens()
{
    ScreenLog().clear();
    for (int mode = 1; mode <= 6; ++mode)
        for (int kind = 0; kind < 2; ++kind)
            RegisterFormFactory(TFrmMain::ScreenFormName(mode, kind),
                                [](QWidget* parent) { return new TFakeScreen(parent); });
}

TFakeScreens::~TFakeScreens()
{
    for (int mode = 1; mode <= 6; ++mode)
        for (int kind = 0; kind < 2; ++kind)
            RegisterFormFactory(TFrmMain::ScreenFormName(mode, kind), nullptr);
}

void WriteToneWave(const QString& path, int ms)
{
    const int rate = 8000;
    const int samples = rate * ms / 1000;
    QByteArray data(samples * 2, '\0');
    for (int i = 0; i < samples; ++i)
        qToLittleEndian<qint16>(qint16(8000 * std::sin(i * 2 * M_PI * 440 / rate)), data.data() + 2 * i);
    QByteArray header;
    const auto u32 = [&header](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        header.append(b, 4);
    };
    const auto u16 = [&header](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        header.append(b, 2);
    };
    header += "RIFF";
    u32(36 + quint32(data.size()));
    header += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(1);
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    header += "data";
    u32(quint32(data.size()));
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(header + data);
}

QTreeWidgetItem* FindTreeItem(QTreeWidget* tree, const QStringList& texts)
{
    QTreeWidgetItem* found = nullptr;
    for (const QString& text : texts) {
        QTreeWidgetItem* next = nullptr;
        const int count = found ? found->childCount() : tree->topLevelItemCount();
        for (int i = 0; i < count && !next; ++i) {
            QTreeWidgetItem* item = found ? found->child(i) : tree->topLevelItem(i);
            if (item->text(0) == text)
                next = item;
        }
        if (!next)
            return nullptr;
        found = next;
    }
    return found;
}
