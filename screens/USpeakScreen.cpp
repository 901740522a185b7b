#include "USpeakScreen.h"

#include "SndWavOut.h"
#include "SndWave.h"
#include "UCommonFun.h"
#include "UFrmShowInfo.h"
#include "UPiboAudioPlay.h"
#include "UPiboComponent.h"
#include "UPlayerShared.h"
#include "UPiboVideoClass.h"

#include <QtCore/QDateTime>
#include <QtCore/QEvent>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtWidgets/QLabel>
#include <QtWidgets/QVBoxLayout>

namespace {

constexpr TColor RecordBarColor = 4934475;
constexpr int VideoStripHeight = 5;
constexpr int VideoPanelHeight = 172;

std::function<std::unique_ptr<TSpeakRecorder>()>& RecorderFactory()
{
    static std::function<std::unique_ptr<TSpeakRecorder>()> factory;
    return factory;
}

QString TimeText(qint64 ms)
{
    return MSecToSrtTime(static_cast<qint32>(std::max<qint64>(0, ms))).left(8);
}

// The length of a PCM WAV file in ms; 0 when it cannot be read.
qint64 WaveLengthMs(const QString& path)
{
    try {
        TSndWave wave;
        wave.SetTimeFormat(tfMillisecond);
        wave.SetFileName(path);
        const qint64 ms = wave.DataSize();
        wave.FreeWave();
        return std::max<qint64>(0, ms);
    } catch (...) {
        return 0;
    }
}

}  // namespace

void SetSpeakRecorderFactory(std::function<std::unique_ptr<TSpeakRecorder>()> factory)
{
    RecorderFactory() = std::move(factory);
}

TSpeakScreen::TSpeakScreen(QWidget* parent, bool video, const TTransportOptions& transport)
    : TSentenceScreen(parent, video, true, transport)
{
    SetCaption(QStringLiteral("口语模仿"));
    FRecorder = RecorderFactory() ? RecorderFactory()() : MakeWaveRecorder();
    FRecorder->OnStop = [this] { RunGuarded([this] { WaveRecorderStop(); }); };
    FWaveFile = std::make_unique<TSndWaveFile>();
    FWaveOut = std::make_unique<TSndWaveOut>();
    FWaveFile->Wave()->SetTimeFormat(tfMillisecond);
    FWaveFile->SetOutput(FWaveOut.get());
    FWaveOut->SetBufferSize(4096);
    FWaveOut->SetNumBuffers(25);
    FWaveOut->SetCallBackMode(cmThread);
    FWaveOut->SetTimeFormat(tfMillisecond);
    FWaveOut->OnStop = [this](QObject*) {
        // In thread mode the stop may come from the worker thread.
        QMetaObject::invokeMethod(this, [this] { RunGuarded([this] { WaveOutStop(); }); }, Qt::QueuedConnection);
    };

    RecordTimer = new QTimer(this);
    RecordTimer->setInterval(100);
    connect(RecordTimer, &QTimer::timeout, this, [this] { RunGuarded([this] { RecordTimerTimer(); }); });
    PlayRecordTimer = new QTimer(this);
    PlayRecordTimer->setInterval(100);
    connect(PlayRecordTimer, &QTimer::timeout, this, [this] { RunGuarded([this] { PlayRecordTimerTimer(); }); });

    if (video) {
        FTopLayout->addSpacing(VideoStripHeight);
        auto* panel4 = new QWidget(panTop);
        panel4->setObjectName(QStringLiteral("Panel4"));
        auto* stack = new QVBoxLayout(panel4);
        stack->setContentsMargins(0, 0, 0, 0);
        stack->setSpacing(0);
        stack->addWidget(panContain, 1);
        BuildRecordBar(panel4);
        RecordBar->setObjectName(QStringLiteral("Panel9"));
        stack->addWidget(RecordBar);
        FTopLayout->addWidget(panel4, 1);
        SetTopHeight(VideoStripHeight + VideoPanelHeight);
    } else {
        panContain->setFixedHeight(StripHeight);
        FTopLayout->addWidget(panContain);
        panRecordContain = new QWidget(panTop);
        panRecordContain->setObjectName(QStringLiteral("panRecordContain"));
        FillBackground(panRecordContain, clBlack);
        panRecordContain->setFixedHeight(StripHeight);
        panRecordContain->installEventFilter(this);
        FTopLayout->addWidget(panRecordContain);
        BuildRecordBar(panTop);
        RecordBar->setObjectName(QStringLiteral("Panel8"));
        FTopLayout->addWidget(RecordBar);
        SetTopHeight(2 * StripHeight + RecordBarHeight);
        FTransport->OnSubtitlesChanged = [this] { SubtitlesChanged(); };
        FTransport->OnStopped = [this] { FCompareMode = false; };
        FTransport->OnPlayOverDone = [this] {
            if (FCompareMode)
                psbPlayRecordClick();
        };
    }
}

TSpeakScreen::~TSpeakScreen()
{
    RecordTimer->stop();
    PlayRecordTimer->stop();
    if (FRecorder) {
        FRecorder->OnStop = nullptr;
        try {
            if (FRecorder->Recording())
                FRecorder->Stop();
        } catch (...) {
        }
        FRecorder.reset();
    }
    // The recording's player goes before the fields its events use.
    delete FRecordPlayer;
    FRecordPlayer = nullptr;
    FWaveOut->OnStop = nullptr;
    try {
        FWaveOut->Stop();
        FWaveOut->Close();
        FWaveFile->Wave()->CloseFile();
    } catch (...) {
    }
    FWaveOut.reset();
    FWaveFile.reset();
}

void TSpeakScreen::BuildRecordBar(QWidget* parent)
{
    RecordBar = new QWidget(parent);
    RecordBar->setFixedHeight(RecordBarHeight);
    FillBackground(RecordBar, RecordBarColor);
    const auto button = [this](TPiboSpeedButtonType kind, const QString& caption, const QString& hint) {
        auto* b = new TPiboSpeedButton(RecordBar);
        b->SetPiboSpeedButtonType(kind);
        if (!caption.isEmpty())
            b->SetCaption(caption);
        if (!hint.isEmpty())
            b->setToolTip(hint);
        return b;
    };
    psbRecord = button(pbstRecord, QString(), QStringLiteral("开始录音/停止录音"));
    psbRecord->setObjectName(QStringLiteral("psbRecord"));
    psbNoRecord = button(pbstNoRecord, QString(), QStringLiteral("开始录音/停止录音"));
    psbNoRecord->setObjectName(QStringLiteral("psbNoRecord"));
    psbPlayRecord = button(pbstRecordButton, QStringLiteral("试听录音"), QString());
    psbPlayRecord->setObjectName(QStringLiteral("psbPlayRecord"));
    ppsbPlaySur = button(pbstRecordButton, QStringLiteral("播放原音"), QString());
    ppsbPlaySur->setObjectName(QStringLiteral("ppsbPlaySur"));
    ppsbComparePlay = button(pbstRecordButton, QStringLiteral("对比播放"), QString());
    ppsbComparePlay->setObjectName(QStringLiteral("ppsbComparePlay"));
    ppsbSaveRecord = button(pbstRecordButton, QStringLiteral("保存录音"), QString());
    ppsbSaveRecord->setObjectName(QStringLiteral("ppsbSaveRecord"));
    psbRecord->hide();
    int x = 10;
    psbRecord->move(x, (RecordBarHeight - psbRecord->height()) / 2);
    psbNoRecord->move(x, (RecordBarHeight - psbNoRecord->height()) / 2);
    x += std::max(psbRecord->width(), psbNoRecord->width()) + 10;
    for (TPiboSpeedButton* b : {psbPlayRecord, ppsbPlaySur, ppsbComparePlay, ppsbSaveRecord}) {
        b->move(x, (RecordBarHeight - b->height()) / 2);
        x += b->width() + 6;
    }
    labRecordTime = new QLabel(QStringLiteral("录音时长：00:00:00"), RecordBar);
    labRecordTime->setObjectName(QStringLiteral("labRecordTime"));
    labPlayRecordTime = new QLabel(QStringLiteral("当前位置：00:00:00"), RecordBar);
    labPlayRecordTime->setObjectName(QStringLiteral("labPlayRecordTime"));
    for (QLabel* label : {labRecordTime, labPlayRecordTime}) {
        label->setStyleSheet(QStringLiteral("color: silver; background: transparent;"));
        label->adjustSize();
    }

    const auto guard = [this](void (TSpeakScreen::*handler)()) {
        return [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); };
    };
    psbRecord->OnClick = guard(&TSpeakScreen::psbNoRecordClick);
    psbNoRecord->OnClick = guard(&TSpeakScreen::psbNoRecordClick);
    psbPlayRecord->OnClick = guard(&TSpeakScreen::psbPlayRecordClick);
    ppsbPlaySur->OnClick = [this] { RunGuarded([this] { FTransport->psbPlayClick(); }); };
    ppsbComparePlay->OnClick = guard(&TSpeakScreen::ppsbComparePlayClick);
    ppsbSaveRecord->OnClick = guard(&TSpeakScreen::ppsbSaveRecordClick);
}

void TSpeakScreen::LayoutRecordBar()
{
    const int y1 = (RecordBarHeight - labRecordTime->height()) / 2;
    labRecordTime->move(width() - labPlayRecordTime->width() - labRecordTime->width() - 30, y1);
    labPlayRecordTime->move(labRecordTime->x() + labRecordTime->width() + 15, y1);
}

void TSpeakScreen::resizeEvent(QResizeEvent* event)
{
    TSentenceScreen::resizeEvent(event);
    RunGuarded([this] { LayoutRecordBar(); });
}

void TSpeakScreen::panContainResize()
{
    TSentenceScreen::panContainResize();
}

bool TSpeakScreen::eventFilter(QObject* watched, QEvent* event)
{
    // The recording's strip: both waveforms follow.
    if (watched == panRecordContain && event->type() == QEvent::Resize)
        RunGuarded([this] {
            panContainResize();
            if (FRecordPlayer && FRecordPlayer->FileOpen())
                FRecordPlayer->RefreshOscope();
        });
    return TSentenceScreen::eventFilter(watched, event);
}

void TSpeakScreen::CreatePlayers()
{
    TSentenceScreen::CreatePlayers();
    if (FVideo)
        return;
    FAudioPlayer->SetDisChina(false);
    FAudioPlayer->SetDisEnglish(false);
    FAudioPlayer->SetSubtitleBoxVisible(false);
    FRecordPlayer = new TPiboAudioPlay(panRecordContain);
    FRecordPlayer->SetHasOscope(true);
    FRecordPlayer->OnPlayOver = [this](QObject*) { RunGuarded([this] { RecordingOver(); }); };
    FRecordPlayer->SetDownEnabled(false);
    FRecordPlayer->SetPlayOrderType(potOrder);
    FRecordPlayer->SetDisChina(false);
    FRecordPlayer->SetDisEnglish(false);
    // The recording has no subtitle: its waveform takes the whole strip.
    FRecordPlayer->SetSubtitleBoxVisible(false);
    auto* layout = new QVBoxLayout(panRecordContain);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(FRecordPlayer);
    FRecordPlayer->show();
}

void TSpeakScreen::SubtitlesChanged()
{
    if (!FAudioPlayer)
        return;
    const bool shown = FAudioPlayer->DisEnglish() || FAudioPlayer->DisChina();
    FAudioPlayer->SetSubtitleBoxVisible(shown);
    const int height = StripHeight + (shown ? SubtitleBoxHeight : 0);
    panContain->setFixedHeight(height);
    panTop->setFixedHeight(height + StripHeight + RecordBarHeight);
}

void TSpeakScreen::RefreshExtras(bool active)
{
    TSentenceScreen::RefreshExtras(active);
    const bool haveRecording = QFile::exists(RecordWorkFile());
    if (FVideo) {
        psbPlayRecord->setEnabled(haveRecording);
        return;
    }
    ppsbPlaySur->setEnabled(!active);
    ppsbComparePlay->setEnabled(!active);
    psbPlayRecord->setEnabled(!FCompareMode && haveRecording);
}

// ------------------------------------------------------------ recording

void TSpeakScreen::psbNoRecordClick()
{
    // The last recording is still being finished.
    if (!FRecording && FLog.Pending)
        return;
    if (FRecording)
        FinishRecording(true);
    else
        StartRecording();
    if (FVideo)
        RefreshButtons();
}

void TSpeakScreen::StartRecording()
{
    const QString work = RecordWorkFile();
    // Nothing may hold the old recording open while it is replaced.
    StopListening();
    if (FRecordPlayer)
        FRecordPlayer->CloseMedia();
    QFile::remove(work);
    psbNoRecord->hide();
    psbRecord->show();
    try {
        FRecording = true;
        FLastPositionMs = 0;
        FRecorder->Start(work);
    } catch (const std::exception& e) {
        // No input device: back to the idle look, and say why.
        FRecording = false;
        psbRecord->hide();
        psbNoRecord->show();
        ShowInfo(QString::fromUtf8(e.what()));
        return;
    }
    RecordTimer->start();
    ppsbSaveRecord->setEnabled(false);
    FSpeakRecord = TStudySpeakRecord();
    FSpeakRecord.Name = SystemPara.UserInfo.UserName;
    FSpeakRecord.RecordTime = QDateTime::currentDateTime();
    FSpeakRecord.Content = CurrentRowEnglish();
}

void TSpeakScreen::ShowIdleLook()
{
    RecordTimer->stop();
    psbRecord->hide();
    psbNoRecord->show();
    ppsbSaveRecord->setEnabled(true);
}

void TSpeakScreen::FinishRecording(bool writeRecord)
{
    if (!FRecording)
        return;
    FRecording = false;
    // The length is the recorder's at its stop (the timer may not have run).
    qint64 ms = FLastPositionMs;
    bool stopping = false;
    try {
        if (FRecorder->Recording()) {
            ms = FRecorder->PositionMs();
            stopping = true;
        }
    } catch (...) {
    }
    ShowIdleLook();
    FLog = {true, writeRecord, ms};
    if (stopping) {
        // The file is complete when the recorder reports its stop, which
        // may come at once or later; the log waits for it.
        try {
            FRecorder->Stop();
        } catch (...) {
            LogRecording();
        }
    } else {
        LogRecording();
    }
}

void TSpeakScreen::LogRecording()
{
    if (!FLog.Pending)
        return;
    FLog.Pending = false;
    const QString work = RecordWorkFile();
    const QFileInfo info(work);
    FSpeakRecord.RecordFileSize = info.exists() ? static_cast<qint32>(std::min<qint64>(info.size(), INT32_MAX)) : 0;
    qint64 ms = FLog.Ms;
    if (ms <= 0 && FSpeakRecord.RecordFileSize > 0)
        ms = WaveLengthMs(work);
    FSpeakRecord.CostTime = static_cast<qint32>(ms / 1000);
    labRecordTime->setText(QStringLiteral("录音时长：") + TimeText(ms));
    labRecordTime->adjustSize();
    if (FLog.Write && FSpeakRecord.RecordFileSize > 0)
        AddStudySpeakRecord(FSpeakRecord);
}

void TSpeakScreen::RecordTimerTimer()
{
    if (!FRecording)
        return;
    const qint64 t = FRecorder->PositionMs();
    FLastPositionMs = t;
    labRecordTime->setText(QStringLiteral("录音时长：") + TimeText(t));
    labRecordTime->adjustSize();
    FSpeakRecord.CostTime = static_cast<qint32>(t / 1000);
}

void TSpeakScreen::WaveRecorderStop()
{
    if (FRecording) {
        // The recorder stopped by itself (a failed write, a full disk): the
        // screen follows, and the recording is logged with what the file holds.
        FRecording = false;
        ShowIdleLook();
        FLog = {true, true, 0};
    }
    LogRecording();
    ppsbSaveRecord->setEnabled(true);
    if (!FVideo)
        RefreshButtons();
    if (FListenAfterStop) {
        FListenAfterStop = false;
        psbPlayRecordClick();
    }
}

// ------------------------------------------------------------ listening

void TSpeakScreen::StopListening()
{
    if (FWaveOut->State() & dsStarted)
        FWaveOut->Stop();
    if (FWaveOut->State() & dsOpened)
        FWaveOut->Close();
    FWaveFile->Wave()->CloseFile();
    FWaveFile->Wave()->FreeWave();
    if (FRecordPlayer && FRecordPlayer->FileOpen())
        FRecordPlayer->Stop();
    PlayRecordTimer->stop();
}

void TSpeakScreen::psbPlayRecordClick()
{
    // Listening ends a recording without logging it, and begins once the
    // recorder has completed the file.
    if (FRecording)
        FinishRecording(false);
    if (FLog.Pending) {
        FListenAfterStop = true;
        return;
    }
    StopListening();
    const QString work = RecordWorkFile();
    if (!QFile::exists(work))
        return;
    TSndWave* wave = FWaveFile->Wave();
    wave->SetFileName(work);
    wave->OpenFile();
    const qint64 length = wave->DataSize();
    labRecordTime->setText(QStringLiteral("录音时长：") + TimeText(length));
    labRecordTime->adjustSize();
    if (FVideo) {
        wave->SetStartPos(0);
        wave->SetEndPos(length);
        FWaveOut->Start();
    } else {
        FRecordPlayer->CloseMedia();
        FRecordPlayer->SetFileName(work);
        FRecordPlayer->LoadLrc(work, false);
        FRecordPlayer->PlayFrom(-1);
    }
    PlayRecordTimer->start();
}

void TSpeakScreen::PlayRecordTimerTimer()
{
    qint64 ms = 0;
    if (FVideo)
        ms = (FWaveOut->State() & dsStarted) ? FWaveOut->GetPosition() : 0;
    else if (FRecordPlayer)
        ms = FRecordPlayer->PlayTime();
    labPlayRecordTime->setText(QStringLiteral("当前位置：") + TimeText(ms));
    labPlayRecordTime->adjustSize();
}

void TSpeakScreen::RecordingOver()
{
    PlayRecordTimer->stop();
    PlayRecordTimerTimer();
    FCompareMode = false;
    RefreshButtons();
}

void TSpeakScreen::WaveOutStop()
{
    PlayRecordTimer->stop();
}

void TSpeakScreen::ppsbComparePlayClick()
{
    if (FVideo) {
        FTransport->psbPlayClick();
        psbPlayRecordClick();
        return;
    }
    FCompareMode = true;
    FTransport->psbPlayClick();
}

void TSpeakScreen::ppsbSaveRecordClick()
{
    if (!SaveDialog.Execute(this))
        return;
    const QString name = WithMp3Extension(SaveDialog.FileName);
    const QString work = RecordWorkFile();
    if (!QFile::exists(work)) {
        ShowInfo(QStringLiteral("您没有进行过录音！"));
        return;
    }
    bool ok = false;
    if (FVideo) {
        // A hidden sentence player only for its converter.
        auto* converter = new TPiboAudioPlay(this);
        converter->hide();
        try {
            ok = converter->WavToMp3(work, name);
        } catch (...) {
            ok = false;
        }
        delete converter;
    } else {
        ok = FAudioPlayer->WavToMp3(work, name);
    }
    ShowInfo(ok ? QStringLiteral("保存录音文件成功！") : QStringLiteral("保存录音文件失败！"));
}

bool TSpeakScreen::RecordingLook() const
{
    return psbNoRecord->isHidden();
}
