#pragma once

// Video lessons: the cue record, the SubRip-style subtitle files and the
// sentence-based video player.
//
// A video's subtitle lies next to it under the same base name: ".srt" as
// delivered or written by the courseware maker, ".psrt" as the working copy a
// package may carry. Each cue: an index line (1, 2, 3 ...), the line
// "hh:mm:ss,mmm --> hh:mm:ss,mmm", the English line, the Chinese line and an
// empty line. Files are read in UTF-16LE with its mark, UTF-8 or ANSI and
// never changed by reading; they are written in ANSI (GBK) with CR LF line
// ends. Times of 100 hours and more have three hour digits.

#include "UPlayerShared.h"

#include <QtCore/QList>
#include <QtCore/QString>
#include <QtWidgets/QWidget>

#include <cstdint>
#include <functional>
#include <memory>

// One cue of a video lesson.
struct TVideoLrcItem {
    QString StartTime;  // hh:mm:ss,mmm
    QString EndTime;    // hh:mm:ss,mmm, the cue's end as stored in the file
    QString NextStart;  // hh:mm:ss,mmm, set by the player: the next cue's start, or the total time
    QString China;
    QString English;
    bool Selected = false;
};
using TVideoLrcItems = QList<TVideoLrcItem>;

// Reads the subtitle of mediaPath into items in file order: its ".srt" when
// that exists, else its ".psrt"; neither gives an empty list and true. Empty
// lines between cues are skipped; the index line's content and whatever
// follows the end time on the time line are not looked at; a cue whose
// Chinese line is missing at the end of the file gets an empty one, a cue
// that ends before its English line is dropped. One time line that fails the
// test (also the line after a cue's third text line, which is read as the
// next index line) empties the list: the result is false with that line's
// number (from 1) in errorLine. errorLine is 0 otherwise, also when the file
// itself cannot be read (false, empty list). NextStart and Selected stay
// empty and false.
bool LoadSrtFile(TVideoLrcItems& items, const QString& mediaPath, int* errorLine = nullptr);

// Writes items as a ".srt": for item i (from 0) the index i + 1,
// StartTime + " --> " + EndTime, English, China and an empty line. Replaces
// path only when the new file is complete.
bool SaveSrtFile(const TVideoLrcItems& items, const QString& path);

// ------------------------------------------------------------ the video player

class IMediaSeeking;
class QTimer;
class TCanvas;
class TFilterGraph;
class TPaintBox;
class TVideoWindow;

enum TVideoPlayType { vptAll, vptSelect, vptAgain };
// The play state: always exactly one of the three.
enum TVideoPlayState { vpsPlay, vpsPause, vpsStop };

using TVideoProgressEvent = std::function<void(QObject* sender, std::int64_t playTime)>;
using TVideoPlayIndexChange = std::function<void(QObject* sender, int playQueueIndex)>;
using TVideoPlayStateChange = std::function<void(QObject* sender)>;
using TPlayOverEvent = std::function<void(QObject* sender)>;

// The sentence-based video player of the video study screens. It plays a
// video through a media graph into a video window fitted into a black panel,
// keeps the lesson's cue list and a current cue (an item index), follows the
// play position with a 5 ms timer and shows the current cue's lines in a
// subtitle box under the picture. It polls the position and uses none of the
// graph's events. The video is never paused between cues, and the player
// never seeks by itself while playing through the list.
//
// The current cue is always a valid index once cues are loaded: a time that
// no cue holds (before the first, in a gap) makes the next cue current, a
// time past the last cue the last one. With nothing selected, Play in
// vptSelect, and Restart, GotoFirst and GotoLast in vptSelect and vptAgain,
// change nothing; the follow-up of vptSelect stops the video.
class TPiboVideoClass : public QWidget {
    Q_OBJECT
public:
    // graph: the graph to play through, taken over (a new one when null).
    explicit TPiboVideoClass(QWidget* parent = nullptr, TFilterGraph* graph = nullptr);
    ~TPiboVideoClass() override;

    // ------------------------------------------------------------ properties
    QString FileName() const { return FFileName; }
    // Loads the video (a name already set does nothing). A file that cannot
    // be played shows "不支持该影片中部分数据流的格式！".
    void SetFileName(const QString& value);
    int Volume() const { return FVolume; }  // 0 .. 100
    void SetVolume(int value);
    std::int64_t TotalTime() const { return FTotalTime; }
    const TVideoLrcItems& VideoLrcItems() const { return FItems; }
    int Count() const { return static_cast<int>(FItems.size()); }
    int PlayQueueIndex() const { return FPlayQueueIndex; }
    void SetPlayQueueIndex(int value) { FPlayQueueIndex = value; }
    TVideoPlayType VideoPlayType() const { return FVideoPlayType; }
    void SetVideoPlayType(TVideoPlayType value) { FVideoPlayType = value; }
    TVideoPlayState VideoPlayState() const { return FVideoPlayState; }
    void SetVideoPlayState(TVideoPlayState value);
    bool LoopPlay() const { return FLoopPlay; }
    void SetLoopPlay(bool value) { FLoopPlay = value; }
    bool DisChina() const { return FDisChina; }
    void SetDisChina(bool value);
    bool DisEnglish() const { return FDisEnglish; }
    void SetDisEnglish(bool value);
    bool HasLrDis() const { return FHasLrDis; }
    void SetHasLrDis(bool value);

    // The play position in ms, from the last tick or seek.
    std::int64_t PlayTime() const { return FPlayTime; }
    // The lines on show in the subtitle box.
    QString ShownEnglish() const { return FEnglish; }
    QString ShownChina() const { return FChina; }
    // The parts (for screens and tests).
    TFilterGraph* FilterGraph() const { return FFilterGraph; }
    TVideoWindow* VideoWindow() const { return FVideoWindow; }
    QWidget* VideoPanel() const { return FPanel; }
    TPaintBox* SubtitleBox() const { return FSubtitleBox; }

    TVideoProgressEvent OnVideoProgress;
    TVideoPlayIndexChange OnVideoPlayIndexChange;
    TVideoPlayStateChange OnVideoStateChange;
    TPlayOverEvent OnPlayOver;

    // ------------------------------------------------------------ cues
    // Loads the subtitle of mediaPath (or, with clearOnly, none), gives each
    // cue the next one's start (the last the total time), makes one cue over
    // the whole video of an empty list and makes cue 0 current.
    void LoadSrt(const QString& mediaPath, bool clearOnly = false);
    void SetSelected(int index, bool value);
    int NextSelected(int from) const;
    int PrevSelected(int from) const;
    // The first cue with start <= ms <= end; -1 when none.
    int IndexOfTime(std::int64_t ms) const;

    // ------------------------------------------------------------ playback
    void Play();
    void Pause();
    void Resume();
    void Stop();
    void Restart();
    void GotoFirst();
    void GotoLast();
    void GotoSentence(int index);
    void GotoTime(int index, std::int64_t ms);
    void Skip(std::int64_t deltaMs);
    void SeekSentenceStart();
    // Moves the current position to ms; the stop position stays.
    void SeekTo(std::int64_t ms);
    // Whether the current position is the stop position (the end).
    bool IsAtEnd();

    // One tick of the position timer (the timer calls it every 5 ms).
    void TimerTick();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::shared_ptr<IMediaSeeking> MediaSeeking();
    std::int64_t StartOf(int index) const;
    std::int64_t EndOf(int index) const;
    bool ValidIndex(int index) const { return index >= 0 && index < Count(); }
    // IndexOfTime, or the cue next to the time when no cue holds it.
    int CueOfTime(std::int64_t ms) const;
    void FireIndexChange(int index);
    void FireProgress(std::int64_t ms);
    // Makes index current, moves there and reports both events.
    void GoTo(int index, std::int64_t ms);
    void RunGraph();
    void FollowAll(std::int64_t t);
    void FollowSelect(std::int64_t t);
    void FollowLastCue(std::int64_t t);
    void CheckEnd();
    void ShowLines(int index);
    void ClearLines();
    void UpdateBox();
    // The sung edge the box shows at progress (see VisibleSungEdge).
    int SungEdge(double progress) const;
    // Repaints what changes when the box's sung edge moves to edge.
    void MoveSungEdge(int edge);
    double LineProgress() const;
    void PaintSubtitle(TCanvas& canvas);
    void LayoutParts();
    void FitVideo();

    QString FFileName;
    int FVolume = 100;
    std::int64_t FTotalTime = 0;
    std::int64_t FPlayTime = 0;
    int FVideoWidth = 0;
    int FVideoHeight = 0;
    TVideoLrcItems FItems;
    int FPlayQueueIndex = 0;
    TVideoPlayType FVideoPlayType = vptAll;
    TVideoPlayState FVideoPlayState = vpsStop;
    bool FLoopPlay = false;
    bool FDisChina = true;
    bool FDisEnglish = true;
    bool FHasLrDis = true;

    QString FEnglish;
    QString FChina;
    int FShownIndex = -1;      // the cue whose lines are on show
    int FEnglishWidth = 0;     // of FEnglish in the box's font; 0 for a blank line
    int FPaintedSung = -1;     // the sung edge on show once the asked repaints are done; -1: unknown
    TSubtitleBoxPainter FBoxPainter;  // keeps the lines on show shaped

    QWidget* FPanel = nullptr;
    TFilterGraph* FFilterGraph = nullptr;
    TVideoWindow* FVideoWindow = nullptr;
    QTimer* FTimer = nullptr;
    TSubtitlePaintBox* FSubtitleBox = nullptr;
    std::shared_ptr<IMediaSeeking> FMediaSeeking;
};
