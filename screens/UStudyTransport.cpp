#include "UStudyTransport.h"

#include "UDataOperaterFun.h"
#include "UFrmShowInfo.h"
#include "UPiboAudioPlay.h"
#include "UPiboComponent.h"
#include "UPiboVideoClass.h"

#include <QtCore/QCoreApplication>

#include <exception>

void FillBackground(QWidget* widget, std::uint32_t color)
{
    widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, ToQColor(color));
    widget->setPalette(palette);
}

void RunGuarded(const std::function<void()>& action)
{
    try {
        action();
    } catch (const std::exception& e) {
        ShowInfo(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowInfo(QStringLiteral("Unknown error"));
    }
}

namespace {

class TAudioTransportPlayer : public TTransportPlayer {
public:
    explicit TAudioTransportPlayer(TPiboAudioPlay* player) : P(player) {}
    bool IsVideo() const override { return false; }
    bool Playing() const override { return P->IsPlaying(); }
    bool Paused() const override { return P->IsPaused(); }
    bool SelectMode() const override { return P->PlayType() == ptSelect; }
    bool AllMode() const override { return P->PlayType() == ptAll; }
    bool InFileOrder() const override { return P->PlayOrderType() == potOrder; }
    int Count() const override { return P->Count(); }
    int PlayQueueIndex() const override { return P->PlayQueueIndex(); }
    void SetPlayQueueIndex(int value) override { P->SetPlayQueueIndex(value); }
    int NextSelected(int from) const override { return P->NextSelected(from); }
    int IndexOfTime(qint64 ms) const override { return P->IndexOfTime(static_cast<int>(ms)); }
    qint64 TotalTime() const override { return P->TotalTime(); }
    int Volume() const override { return P->Volume(); }
    void SetVolume(int value) override { P->SetVolume(value); }
    void SetDisEnglish(bool value) override { P->SetDisEnglish(value); }
    void SetDisChina(bool value) override { P->SetDisChina(value); }
    void Play() override { P->PlayFrom(-1); }
    void Pause() override { P->Pause(); }
    void Resume() override { P->Resume(); }
    void Stop() override { P->Stop(); }
    void Restart() override
    {
        P->SetPlayQueueIndex(0);
        P->Play();
    }
    void GotoFirst() override { P->GotoFirst(); }
    void GotoLast() override { P->GotoLast(); }
    void GotoSentence(int index) override { P->GotoSentence(index); }
    void GotoTime(int index, qint64 ms) override { P->GotoTime(index, static_cast<int>(ms)); }

private:
    TPiboAudioPlay* P;
};

class TVideoTransportPlayer : public TTransportPlayer {
public:
    explicit TVideoTransportPlayer(TPiboVideoClass* player) : P(player) {}
    bool IsVideo() const override { return true; }
    bool Playing() const override { return P->VideoPlayState() == vpsPlay; }
    bool Paused() const override { return P->VideoPlayState() == vpsPause; }
    bool SelectMode() const override { return P->VideoPlayType() == vptSelect; }
    bool AllMode() const override { return P->VideoPlayType() == vptAll; }
    bool InFileOrder() const override { return true; }
    int Count() const override { return P->Count(); }
    int PlayQueueIndex() const override { return P->PlayQueueIndex(); }
    void SetPlayQueueIndex(int value) override { P->SetPlayQueueIndex(value); }
    int NextSelected(int from) const override { return P->NextSelected(from); }
    int IndexOfTime(qint64 ms) const override { return P->IndexOfTime(ms); }
    qint64 TotalTime() const override { return P->TotalTime(); }
    int Volume() const override { return P->Volume(); }
    void SetVolume(int value) override { P->SetVolume(value); }
    void SetDisEnglish(bool value) override { P->SetDisEnglish(value); }
    void SetDisChina(bool value) override { P->SetDisChina(value); }
    void Play() override { P->Play(); }
    void Pause() override { P->Pause(); }
    void Resume() override { P->Resume(); }
    void Stop() override { P->Stop(); }
    void Restart() override { P->Restart(); }
    void GotoFirst() override { P->GotoFirst(); }
    void GotoLast() override { P->GotoLast(); }
    void GotoSentence(int index) override { P->GotoSentence(index); }
    void GotoTime(int index, qint64 ms) override { P->GotoTime(index, ms); }

private:
    TPiboVideoClass* P;
};

constexpr TColor BarColor = 16775144;
const QString NothingToPlayText = QStringLiteral("请选择要播放的项！");

TPiboSpeedButton* MakeButton(QWidget* parent, const char* name, TPiboSpeedButtonType kind, const QString& hint)
{
    auto* button = new TPiboSpeedButton(parent);
    button->setObjectName(QLatin1String(name));
    button->SetPiboSpeedButtonType(kind);
    button->setToolTip(hint);
    return button;
}

}  // namespace

std::unique_ptr<TTransportPlayer> MakeTransportPlayer(TPiboAudioPlay* player)
{
    return std::make_unique<TAudioTransportPlayer>(player);
}

std::unique_ptr<TTransportPlayer> MakeTransportPlayer(TPiboVideoClass* player)
{
    return std::make_unique<TVideoTransportPlayer>(player);
}

TStudyTransport::TStudyTransport(QWidget* parent, const TTransportOptions& options)
    : QObject(parent), FOptions(options)
{
    panPlayTool = new QWidget(parent);
    panPlayTool->setObjectName(QStringLiteral("panPlayTool"));
    panPlayTool->setFixedHeight(BarHeight);
    FillBackground(panPlayTool, BarColor);

    psbPlay = MakeButton(panPlayTool, "psbPlay", psbtPlay, QStringLiteral("播放/暂停"));
    psbPause = MakeButton(panPlayTool, "psbPause", psbtPause, QStringLiteral("播放/暂停"));
    psbStop = MakeButton(panPlayTool, "psbStop", psbtStop, QStringLiteral("停止"));
    psbToStart = MakeButton(panPlayTool, "psbToStart", psbtStart, QStringLiteral("跳转到开头"));
    psbToEnd = MakeButton(panPlayTool, "psbToEnd", psbtEnd, QStringLiteral("跳转到结尾"));
    ppsbEnglish = MakeButton(panPlayTool, "ppsbEnglish", psbtEnglish, QStringLiteral("显示/屏蔽英文字幕"));
    ppsbChina = MakeButton(panPlayTool, "ppsbChina", psbtChina, QStringLiteral("显示/屏蔽中文字幕"));
    psbRestart = MakeButton(panPlayTool, "psbRestart", psbtReStart, QStringLiteral("重新播放"));
    psbAgain = options.HasAgain
                   ? MakeButton(panPlayTool, "psbAgain", psbtAgain, QStringLiteral("区间循环播放"))
                   : nullptr;
    piboProgress = new TPiboProgressBar(panPlayTool);
    piboProgress->setObjectName(QStringLiteral("piboProgress"));
    ppsbSound = MakeButton(panPlayTool, "ppsbSound", psbtSound, QStringLiteral("开/关声音"));
    PiboSoundVolume = new TPiboSoundVolume(panPlayTool);
    PiboSoundVolume->setObjectName(QStringLiteral("PiboSoundVolume"));
    PiboSoundVolume->setToolTip(QStringLiteral("调节声音大小"));
    psbPause->hide();

    // Left to right, each button centred in the bar's height.
    int x = 10;
    const auto place = [&x](QWidget* w, int gap) {
        w->move(x, (BarHeight - w->height()) / 2);
        x += w->width() + gap;
    };
    place(psbPlay, 0);
    psbPause->move(psbPlay->pos());
    x = psbPlay->x() + std::max(psbPlay->width(), psbPause->width()) + 4;
    for (QWidget* w : {static_cast<QWidget*>(psbStop), static_cast<QWidget*>(psbToStart),
                       static_cast<QWidget*>(psbToEnd), static_cast<QWidget*>(ppsbEnglish),
                       static_cast<QWidget*>(ppsbChina), static_cast<QWidget*>(psbRestart)})
        place(w, 4);
    if (psbAgain)
        place(psbAgain, 4);
    x += 6;
    piboProgress->move(x, (BarHeight - piboProgress->height()) / 2);
    ppsbSound->move(x, (BarHeight - ppsbSound->height()) / 2);
    PiboSoundVolume->move(x, (BarHeight - PiboSoundVolume->height()) / 2);

    const auto bind = [this](TPiboSpeedButton* button, void (TStudyTransport::*handler)()) {
        if (button)
            button->OnClick = [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); };
    };
    bind(psbPlay, &TStudyTransport::psbPlayClick);
    bind(psbPause, &TStudyTransport::psbPauseClick);
    bind(psbStop, &TStudyTransport::psbStopClick);
    bind(psbToStart, &TStudyTransport::psbToStartClick);
    bind(psbToEnd, &TStudyTransport::psbToEndClick);
    bind(ppsbEnglish, &TStudyTransport::ppsbEnglishClick);
    bind(ppsbChina, &TStudyTransport::ppsbChinaClick);
    bind(psbRestart, &TStudyTransport::psbRestartClick);
    bind(psbAgain, &TStudyTransport::psbAgainClick);
    bind(ppsbSound, &TStudyTransport::ppsbSoundClick);
    piboProgress->OnClick = [this] { RunGuarded([this] { piboProgressClick(); }); };
    PiboSoundVolume->OnClick = [this] { RunGuarded([this] { PiboSoundVolumeClick(); }); };
}

TStudyTransport::~TStudyTransport() = default;

void TStudyTransport::SetPlayer(std::unique_ptr<TTransportPlayer> player)
{
    FPlayer = std::move(player);
}

void TStudyTransport::LayoutBar()
{
    const int width = panPlayTool->width() - piboProgress->Left() - ppsbSound->width() - PiboSoundVolume->Width() - 20;
    piboProgress->SetWidth(std::max(0, width));
    ppsbSound->move(piboProgress->Left() + piboProgress->Width() + 10, ppsbSound->y());
    PiboSoundVolume->SetLeft(ppsbSound->x() + ppsbSound->width() + 5);
    // The thumb follows the new width.
    piboProgress->SetPosition(piboProgress->Position());
}

void TStudyTransport::ResetForFile()
{
    piboProgress->SetMarked(false);
    piboProgress->SetStartMark(-1);
    piboProgress->SetEndMark(-1);
    LoopStartIndex = -1;
    if (!FPlayer)
        return;
    piboProgress->SetMax(static_cast<int>(FPlayer->TotalTime()));
    piboProgress->SetPosition(0);
    PiboSoundVolume->SetPosition(FPlayer->Volume());
}

void TStudyTransport::RefreshButtons()
{
    const bool active = FPlayer && FPlayer->Active();
    psbPlay->setVisible(!active);
    psbPause->setVisible(active);
    psbStop->setEnabled(active);
    psbToStart->setEnabled(active);
    psbToEnd->setEnabled(active);
    if (psbAgain)
        psbAgain->setEnabled(active && (!FOptions.AgainNeedsFileOrder || (FPlayer && FPlayer->InFileOrder())));
    psbRestart->setEnabled(true);
    if (FOptions.SetsIsPlaying)
        SystemPara.IsPlaying = FPlayer && FPlayer->Playing();
    if (OnRefresh)
        OnRefresh();
    if (psbAgain && psbAgain->isEnabled() && piboProgress->Marked() && piboProgress->EndMark() >= 0)
        LockTransport(true);
}

void TStudyTransport::LockTransport(bool on)
{
    for (QWidget* w : {static_cast<QWidget*>(psbStop), static_cast<QWidget*>(psbToStart),
                       static_cast<QWidget*>(psbToEnd), static_cast<QWidget*>(psbRestart)})
        w->setEnabled(!on);
}

bool TStudyTransport::RangeLocked() const
{
    return !psbRestart->isEnabled();
}

bool TStudyTransport::RefuseNothingToPlay()
{
    if (!FPlayer)
        return true;
    if (FPlayer->SelectMode() && NothingToPlay && NothingToPlay()) {
        ShowInfo(NothingToPlayText);
        return true;
    }
    return false;
}

void TStudyTransport::AfterAction()
{
    if (FOptions.RefreshAfterActions)
        RefreshButtons();
}

void TStudyTransport::psbPlayClick()
{
    if (RefuseNothingToPlay())
        return;
    if (FPlayer->Paused()) {
        FPlayer->Resume();
    } else {
        if (FPlayer->SelectMode()) {
            int index = FPlayer->NextSelected(FPlayer->PlayQueueIndex());
            if (index == -1)
                index = FPlayer->NextSelected(0);
            FPlayer->SetPlayQueueIndex(index);
        }
        FPlayer->Play();
    }
    AfterAction();
}

void TStudyTransport::psbPauseClick()
{
    if (!FPlayer)
        return;
    if (FPlayer->Paused()) {
        FPlayer->Resume();
        psbPause->SetPiboSpeedButtonType(psbtPause);
    } else {
        FPlayer->Pause();
        psbPause->SetPiboSpeedButtonType(psbtPlay);
    }
    AfterAction();
}

void TStudyTransport::psbStopClick()
{
    if (!FPlayer)
        return;
    FPlayer->Stop();
    psbPause->SetPiboSpeedButtonType(psbtPause);
    if (OnStopped)
        OnStopped();
    AfterAction();
}

void TStudyTransport::psbToStartClick()
{
    if (!FPlayer)
        return;
    FPlayer->GotoFirst();
    if (FOptions.ToStartResetsPauseKind)
        psbPause->SetPiboSpeedButtonType(psbtPause);
    AfterAction();
}

void TStudyTransport::psbToEndClick()
{
    if (!FPlayer)
        return;
    FPlayer->GotoLast();
    AfterAction();
}

void TStudyTransport::psbRestartClick()
{
    if (!FPlayer)
        return;
    if (!FOptions.RestartPicksSelected) {
        FPlayer->Restart();
        AfterAction();
        return;
    }
    if (FOptions.RestartRefuses && FPlayer->SelectMode() && NothingToPlay && NothingToPlay()) {
        if (ShowRestartRefusal)
            ShowRestartRefusal(NothingToPlayText);
        else
            ShowInfo(NothingToPlayText);
        return;
    }
    FPlayer->SetPlayQueueIndex(FPlayer->SelectMode() ? FPlayer->NextSelected(0) : 0);
    FPlayer->Play();
    AfterAction();
}

void TStudyTransport::psbAgainClick()
{
    if (!FPlayer || !psbAgain)
        return;
    if (piboProgress->StartMark() < 0) {
        piboProgress->SetStartMark(piboProgress->Position());
        LoopStartIndex = FPlayer->IndexOfTime(piboProgress->Position());
        if (LoopStartIndex < 0)
            piboProgress->SetStartMark(-1);
        else
            piboProgress->SetMarked(true);
    } else if (piboProgress->EndMark() < 0) {
        piboProgress->SetEndMark(piboProgress->Position());
        LockTransport(true);
    } else {
        piboProgress->SetStartMark(-1);
        piboProgress->SetEndMark(-1);
        piboProgress->SetMarked(false);
        LockTransport(false);
    }
}

void TStudyTransport::ppsbEnglishClick()
{
    ppsbEnglish->SetButtonEnabled(!ppsbEnglish->ButtonEnabled());
    if (FPlayer)
        FPlayer->SetDisEnglish(ppsbEnglish->ButtonEnabled());
    if (OnSubtitlesChanged)
        OnSubtitlesChanged();
}

void TStudyTransport::ppsbChinaClick()
{
    ppsbChina->SetButtonEnabled(!ppsbChina->ButtonEnabled());
    if (FPlayer)
        FPlayer->SetDisChina(ppsbChina->ButtonEnabled());
    if (OnSubtitlesChanged)
        OnSubtitlesChanged();
}

void TStudyTransport::ppsbSoundClick()
{
    ppsbSound->SetButtonEnabled(!ppsbSound->ButtonEnabled());
    if (FPlayer)
        FPlayer->SetVolume(ppsbSound->ButtonEnabled() ? PiboSoundVolume->Position() : 0);
}

void TStudyTransport::PiboSoundVolumeClick()
{
    if (FPlayer)
        FPlayer->SetVolume(PiboSoundVolume->Position());
}

void TStudyTransport::piboProgressClick()
{
    if (!FPlayer)
        return;
    FollowProgress = false;
    const int position = piboProgress->Position();
    const int index = FPlayer->IndexOfTime(position);
    try {
        if (index >= 0)
            FPlayer->GotoTime(index, position);
    } catch (...) {
        FollowProgress = true;
        throw;
    }
    FollowProgress = true;
}

void TStudyTransport::Progress(qint64 playTime)
{
    if (!FollowProgress)
        return;
    piboProgress->SetPosition(static_cast<int>(playTime));
    if (FPlayer && piboProgress->Marked() && piboProgress->EndMark() >= 0
        && piboProgress->Position() >= piboProgress->EndMark()) {
        FPlayer->GotoTime(LoopStartIndex, piboProgress->StartMark());
        // The range loop: what the jump set off (the player's new position,
        // the repaints) is handled before playing on. Nothing of this object
        // is used afterwards: a handler may free the screen.
        QCoreApplication::processEvents();
    }
}

void TStudyTransport::PlayOver()
{
    RefreshButtons();
    if (FPlayer && FOptions.PlayOverRewinds) {
        int index = FPlayer->AllMode() ? 0 : FPlayer->NextSelected(0);
        // With nothing selected any more the first sentence stays current.
        if (index < 0)
            index = 0;
        FPlayer->GotoSentence(index);
        FPlayer->SetPlayQueueIndex(index);
    }
    if (OnPlayOverDone)
        OnPlayOverDone();
}

void TStudyTransport::StateChange()
{
    RefreshButtons();
}

void TStudyTransport::HandleHotKey(qint32 id)
{
    if (!FPlayer || id == 0)
        return;
    const int count = FPlayer->Count();
    const int index = FPlayer->PlayQueueIndex();
    if (id == SystemPara.HotKeyF8) {
        if (FPlayer->Active())
            psbPauseClick();
        else
            psbPlayClick();
    } else if (id == SystemPara.HotKeyF9) {
        if (index >= 0)
            FPlayer->GotoSentence(index);
    } else if (id == SystemPara.HotKeyAltZ) {
        FPlayer->GotoSentence(index <= 0 ? count - 1 : index - 1);
    } else if (id == SystemPara.HotKeyAltX) {
        FPlayer->GotoSentence(index >= count - 1 ? 0 : index + 1);
    }
}
