#pragma once

// The transport bar every study screen carries under its player: play and
// pause at one place, stop, jump to the first and last sentence, the English
// and Chinese subtitle switches, restart, the range loop between two marks of
// the seek bar, the seek bar itself, the sound switch and the volume slider.
//
// The bar drives either player through TTransportPlayer; the screens differ
// in a few rules (TTransportOptions) and add their own enabling through
// OnRefresh. The screen binds the player's events to Progress, PlayOver and
// StateChange and forwards hot keys to HandleHotKey.

#include <QtCore/QString>
#include <QtWidgets/QWidget>

#include <cstdint>
#include <functional>
#include <memory>

class TPiboAudioPlay;
class TPiboProgressBar;
class TPiboSoundVolume;
class TPiboSpeedButton;
class TPiboVideoClass;

// Paints widget's background in color (a colour number of the layouts).
void FillBackground(QWidget* widget, std::uint32_t color);

// Runs action and shows the message of an exception that leaves it through
// ShowInfo: the entry guard of the screens' event handlers.
void RunGuarded(const std::function<void()>& action);

// What the bar needs of a player.
class TTransportPlayer {
public:
    virtual ~TTransportPlayer() = default;
    virtual bool IsVideo() const = 0;
    virtual bool Playing() const = 0;  // playing and not paused
    virtual bool Paused() const = 0;
    bool Active() const { return Playing() || Paused(); }
    virtual bool SelectMode() const = 0;  // only selected sentences play
    virtual bool AllMode() const = 0;     // every sentence plays
    virtual bool InFileOrder() const = 0;
    virtual int Count() const = 0;
    virtual int PlayQueueIndex() const = 0;
    virtual void SetPlayQueueIndex(int value) = 0;
    virtual int NextSelected(int from) const = 0;
    virtual int IndexOfTime(qint64 ms) const = 0;
    virtual qint64 TotalTime() const = 0;
    virtual int Volume() const = 0;
    virtual void SetVolume(int value) = 0;
    virtual void SetDisEnglish(bool value) = 0;
    virtual void SetDisChina(bool value) = 0;
    // Plays the current entry from its start.
    virtual void Play() = 0;
    virtual void Pause() = 0;
    virtual void Resume() = 0;
    virtual void Stop() = 0;
    virtual void Restart() = 0;  // the player's own restart (video)
    virtual void GotoFirst() = 0;
    virtual void GotoLast() = 0;
    virtual void GotoSentence(int index) = 0;
    virtual void GotoTime(int index, qint64 ms) = 0;
};

std::unique_ptr<TTransportPlayer> MakeTransportPlayer(TPiboAudioPlay* player);
std::unique_ptr<TTransportPlayer> MakeTransportPlayer(TPiboVideoClass* player);

// The rules in which the screens differ.
struct TTransportOptions {
    // Audio screens refresh the buttons after each action and keep
    // SystemPara.IsPlaying; video screens refresh on the player's state events.
    bool RefreshAfterActions = true;
    bool SetsIsPlaying = true;
    // Whether the bar has the range loop button, and whether it needs the
    // queue in file order.
    bool HasAgain = true;
    bool AgainNeedsFileOrder = true;
    // Restart: the audio screens pick the first selected sentence and play
    // (refusing like play when nothing is checked); the video screens call
    // the player's Restart.
    bool RestartPicksSelected = true;
    bool RestartRefuses = true;
    // The jump to the first sentence also puts the pause button back.
    bool ToStartResetsPauseKind = false;
    // The play-over of the audio screens: back to the first (selected)
    // sentence; the video screens only refresh.
    bool PlayOverRewinds = true;
};

class TStudyTransport : public QObject {
    Q_OBJECT
public:
    // Makes the bar panPlayTool (39 px) inside parent.
    TStudyTransport(QWidget* parent, const TTransportOptions& options);
    ~TStudyTransport() override;

    static constexpr int BarHeight = 39;

    // The player the bar drives (taken over); null before the screen made it.
    void SetPlayer(std::unique_ptr<TTransportPlayer> player);
    TTransportPlayer* Player() const { return FPlayer.get(); }
    const TTransportOptions& Options() const { return FOptions; }

    QWidget* panPlayTool;
    TPiboSpeedButton* psbPlay;
    TPiboSpeedButton* psbPause;
    TPiboSpeedButton* psbStop;
    TPiboSpeedButton* psbToStart;
    TPiboSpeedButton* psbToEnd;
    TPiboSpeedButton* ppsbEnglish;
    TPiboSpeedButton* ppsbChina;
    TPiboSpeedButton* psbRestart;
    TPiboSpeedButton* psbAgain;  // null without the range loop
    TPiboProgressBar* piboProgress;
    TPiboSpeedButton* ppsbSound;
    TPiboSoundVolume* PiboSoundVolume;

    // The seek bar follows the play position only while set.
    bool FollowProgress = true;
    // The queue index that holds the range loop's start mark.
    int LoopStartIndex = -1;

    // Whether nothing can be played in select mode (the screen's test); the
    // play button then says "请选择要播放的项！" and does nothing else.
    std::function<bool()> NothingToPlay;
    // How the refused restart is told (default: ShowInfo).
    std::function<void(const QString& text)> ShowRestartRefusal;
    // The screen's own enabling, run by RefreshButtons before the range lock.
    std::function<void()> OnRefresh;
    // After the stop button's action, before the refresh.
    std::function<void()> OnStopped;
    // After a subtitle switch changed the player's lines.
    std::function<void()> OnSubtitlesChanged;
    // After the play-over rules.
    std::function<void()> OnPlayOverDone;

    // Lays the seek bar, the sound switch and the slider out to the bar's width.
    void LayoutBar();
    // A new file: no marks, the bar's range the player's total time, the
    // slider the player's volume.
    void ResetForFile();
    void RefreshButtons();
    // Disables (on) or enables (off) stop, the two jumps and restart.
    void LockTransport(bool on);
    bool RangeLocked() const;

    // Button actions.
    void psbPlayClick();
    void psbPauseClick();
    void psbStopClick();
    void psbToStartClick();
    void psbToEndClick();
    void psbRestartClick();
    void psbAgainClick();
    void ppsbEnglishClick();
    void ppsbChinaClick();
    void ppsbSoundClick();
    void PiboSoundVolumeClick();
    void piboProgressClick();

    // Player events.
    void Progress(qint64 playTime);
    void PlayOver();
    void StateChange();

    // F8 play or pause, F9 the current sentence again, Alt+Z the previous
    // and Alt+X the next sentence (wrapping round); other ids are ignored.
    void HandleHotKey(qint32 id);

private:
    bool RefuseNothingToPlay();
    void AfterAction();

    TTransportOptions FOptions;
    std::unique_ptr<TTransportPlayer> FPlayer;
};
