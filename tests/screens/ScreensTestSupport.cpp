#include "ScreensTestSupport.h"

#include "AnsiText.h"
#include "Mp3Fixtures.h"
#include "SndWavOut.h"
#include "UCommonFun.h"
#include "UDataOperaterFun.h"
#include "UFrmSelectDir.h"
#include "UPiboComponent.h"
#include "UPiboAudioPlay.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtCore/QtEndian>
#include <QtGui/QMouseEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QSplitter>
#include <QtWidgets/QTreeWidget>

#include <gtest/gtest.h>

#include <cmath>

void WritePcmWave(const QString& path, int channels, int rate, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    Mp3Fixtures::WriteWave(path, channels, rate, 16, data, false);
}

void WriteToneLesson(const QString& wavPath, const std::vector<int>& lengthsMs)
{
    const int rate = 8000;
    QByteArray data;
    QString plrc;
    int startMs = 0;
    for (std::size_t s = 0; s < lengthsMs.size(); ++s) {
        const int samples = rate * lengthsMs[s] / 1000;
        const double pitch = 300.0 + 100.0 * double(s);
        QByteArray burst(samples * 2, '\0');
        for (int i = 0; i < samples; ++i) {
            // A burst with 50 ms of quiet at each end.
            const bool quiet = i < rate / 20 || i >= samples - rate / 20;
            const auto v = qint16(quiet ? 0 : 9000 * std::sin(i * 2 * M_PI * pitch / rate));
            qToLittleEndian<qint16>(v, burst.data() + 2 * i);
        }
        data += burst;
        plrc += MSecToLrcTime(startMs) + QStringLiteral("\r\nSentence %1\r\n第%1句\r\n").arg(s + 1);
        startMs += lengthsMs[s];
    }
    WritePcmWave(wavPath, 1, rate, data);
    const QFileInfo info(wavPath);
    QFile sub(info.absolutePath() + u'/' + info.completeBaseName() + QStringLiteral(".plrc"));
    ASSERT_TRUE(sub.open(QIODevice::WriteOnly | QIODevice::Truncate));
    sub.write(StringToAnsi(plrc));
}

TFolderAndBoxAnswers::TFolderAndBoxAnswers()
{
    qApp->installEventFilter(this);
}

TFolderAndBoxAnswers::~TFolderAndBoxAnswers()
{
    qApp->removeEventFilter(this);
}

namespace {
// The tree item of path below the folder picker's home node, expanding on the way.
QTreeWidgetItem* FindFolder(TFrmSelectDir* form, const QString& path)
{
    for (int top = 0; top < form->tvDir->topLevelItemCount(); ++top) {
        QTreeWidgetItem* node = form->tvDir->topLevelItem(top);
        const QString root = node->data(0, TFrmSelectDir::PathRole).toString();
        if (!path.startsWith(root))
            continue;
        while (node && node->data(0, TFrmSelectDir::PathRole).toString() != path) {
            form->tvDir->expandItem(node);
            QTreeWidgetItem* next = nullptr;
            for (int c = 0; c < node->childCount() && !next; ++c) {
                const QString childPath = node->child(c)->data(0, TFrmSelectDir::PathRole).toString();
                if (path == childPath || path.startsWith(childPath + u'/'))
                    next = node->child(c);
            }
            node = next;
        }
        if (node)
            return node;
    }
    return nullptr;
}
}  // namespace

bool TFolderAndBoxAnswers::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Show)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || !widget->isWindow())
        return false;
    QPointer<QWidget> window(widget);
    QTimer::singleShot(0, this, [this, window] {
        if (!window || !window->isVisible())
            return;
        if (auto* form = qobject_cast<TFrmSelectDir*>(window.data())) {
            ++FolderDialogs;
            const QString folder = Folders.isEmpty() ? QString() : Folders.takeFirst();
            QTreeWidgetItem* item = folder.isEmpty() ? nullptr : FindFolder(form, folder);
            if (item) {
                form->tvDir->setCurrentItem(item);
                form->ppsbOk->PerformClick();
            } else {
                form->ppsbCancel->PerformClick();
            }
        } else if (auto* box = qobject_cast<QMessageBox*>(window.data())) {
            Boxes << box->windowTitle() + u'|' + box->text();
            box->accept();
        }
    });
    return false;
}

void TAudioClock::Run(int ms, int step)
{
    for (int t = 0; t < ms; t += step) {
        FSystem.AdvanceMs(std::min(step, ms - t));
        QCoreApplication::sendPostedEvents();
        FPlayer->TimerTick();
    }
}

void TAudioClock::RunToStop(int limitMs, int step)
{
    for (int t = 0; t < limitMs && (FPlayer->WaveOut()->State() & dsStarted); t += step)
        Run(step, step);
    FPlayer->TimerTick();
}

void TScreenTest::SetUp()
{
    SetAudioSystem(&System);
    SetTestHotKeys();
}

void TScreenTest::TearDown()
{
    FreeScreen();
    ProcessEvents();
    SetAudioSystem(nullptr);
}

void SetTestHotKeys()
{
    SystemPara.HotKeyF5 = 0xC101;
    SystemPara.HotKeyF7 = 0xC102;
    SystemPara.HotKeyF8 = 0xC103;
    SystemPara.HotKeyF9 = 0xC104;
    SystemPara.HotKeyAltZ = 0xC105;
    SystemPara.HotKeyAltX = 0xC106;
}

bool DeviceStarted(TPiboAudioPlay* player)
{
    return player->WaveOut()->State() & dsStarted;
}

bool DeviceStartedOut(TSndWaveOut* device)
{
    return device->State() & dsStarted;
}

void DragSplitterHandle(QSplitter* splitter, int dy)
{
    QSplitterHandle* handle = splitter->handle(1);
    // Qt widens a thin handle around its place and moves the pane's edge to
    // where the widened handle's top is dragged: aim from the edge itself.
    const int widened = splitter->sizes().at(0) - handle->y();
    const QPointF from(handle->width() / 2.0, 0);
    const QPointF to = from + QPointF(0, dy + widened);
    QMouseEvent press(QEvent::MouseButtonPress, from, handle->mapToGlobal(from), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(handle, &press);
    QMouseEvent move(QEvent::MouseMove, to, handle->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, to, handle->mapToGlobal(to), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(handle, &release);
}
