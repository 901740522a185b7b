#pragma once

// The sentence-based audio player of the audio study screens. It opens one
// PCM WAV file through the wave audio library, holds the lesson's sentence
// list, builds a play queue over it in one of three orders, and plays the
// whole queue, only the selected sentences, or a jump target, always knowing
// which sentence is current. A 1 ms timer follows the position that is heard,
// reports it and moves on when the current sentence is over. Under the player
// a subtitle box shows the current sentence, its English line sung along; a
// waveform of the whole file can show above it. Single sentences can be saved
// as WAV or MP3 clips.
//
// Queue indexes are positions in PlayQueue(); item indexes are positions in
// AudioLrcItems(). Entry q is the sentence AudioLrcItems()[PlayQueue()[q]].
// Everything runs on the GUI thread.

#include "UCommonFun.h"
#include "UPiboAudioClass.h"
#include "UPlayerShared.h"

#include <QtCore/QString>
#include <QtWidgets/QWidget>

#include <cstdint>
#include <functional>
#include <memory>

class QTimer;
class TAudioConverters;
class TCanvas;
class TPaintBox;
class TSndOscope;
class TSndWaveFile;
class TSndWaveOut;
struct TWaveFormatEx;

enum TPlayOrderType { potOrder, potReversed, potRandom };
enum TPlayType { ptAll, ptSelect, ptAgain };

using TPlayProgressEvent = std::function<void(QObject* sender, int playTime)>;
using TPlayIndexChange = std::function<void(QObject* sender, int playQueueIndex)>;
using TPlayOverEvent = std::function<void(QObject* sender)>;

class TPiboAudioPlay : public QWidget {
    Q_OBJECT
public:
    explicit TPiboAudioPlay(QWidget* parent = nullptr);
    ~TPiboAudioPlay() override;

    // ------------------------------------------------------------ properties
    QString FileName() const { return FFileName; }
    // Opens the WAV file (a name already set does nothing). A file that
    // cannot be played shows "载入音频失败！" and leaves the player without file.
    void SetFileName(const QString& value);
    bool FileOpen() const { return FOpen; }
    // Stops and closes the open file and forgets its name, so that setting
    // the same name again reads the file anew (a file rewritten meanwhile).
    void CloseMedia();

    // 0..100, the output device's volume (× 655 on both channels).
    int Volume() const { return FVolume; }
    void SetVolume(int value);

    int TotalTime() const { return FTotalTime; }
    int PlayTime() const { return FPlayTime; }
    // The play range in ms; opening a file sets 0 and TotalTime.
    int StartTime() const { return FStartTime; }
    void SetStartTime(int value);
    int EndTime() const { return FEndTime; }
    void SetEndTime(int value);

    const TAudioLrcItems& AudioLrcItems() const { return FItems; }
    int Count() const { return static_cast<int>(FItems.size()); }
    const TIntAry& PlayQueue() const { return FPlayQueue; }
    int PlayQueueIndex() const { return FPlayQueueIndex; }
    // A plain store: neither seeks nor reports.
    void SetPlayQueueIndex(int value) { FPlayQueueIndex = value; }
    TPlayOrderType PlayOrderType() const { return FPlayOrderType; }
    void SetPlayOrderType(TPlayOrderType value);
    TPlayType PlayType() const { return FPlayType; }
    void SetPlayType(TPlayType value) { FPlayType = value; }
    bool LoopPlay() const { return FLoopPlay; }
    void SetLoopPlay(bool value) { FLoopPlay = value; }
    bool DownEnabled() const { return FDownEnabled; }
    void SetDownEnabled(bool value) { FDownEnabled = value; }
    bool DisChina() const { return FDisChina; }
    void SetDisChina(bool value);
    bool DisEnglish() const { return FDisEnglish; }
    void SetDisEnglish(bool value);
    bool HasOscope() const { return FHasOscope; }
    void SetHasOscope(bool value);
    int OscopeHeight() const { return FOscopeHeight; }
    void SetOscopeHeight(int value);
    int LastMarkerPos() const { return FLastMarkerPos; }

    TSndWaveOut* WaveOut() const { return FWaveOut.get(); }
    TSndWaveFile* WaveFile() const { return FWaveFile.get(); }
    // The subtitle box (for screens and tests).
    TPaintBox* SubtitleBox() const { return FSubtitleBox; }
    // Shows or hides the subtitle box; while it is hidden the waveform takes
    // the player's whole height.
    void SetSubtitleBoxVisible(bool value);
    // The waveform, made by the first SetHasOscope(true); nullptr before.
    TSndOscope* Oscope() const { return FOscope; }

    TPlayProgressEvent OnPlayProgress;
    TPlayIndexChange OnPlayIndexChange;
    TPlayOverEvent OnPlayOver;

    // ------------------------------------------------------------ sentences
    // Loads the subtitle of mediaPath (or, with clearOnly, none), gives the
    // last sentence the total time as its end, makes one whole-file sentence
    // of an empty list, builds the queue and makes entry 0 current.
    void LoadLrc(const QString& mediaPath, bool clearOnly = false);
    void SetSelected(int queueIndex, bool value);
    int NextSelected(int from) const;
    int PrevSelected(int from) const;
    int IndexOfTime(int ms) const;

    // ------------------------------------------------------------ playback
    void Play() { PlayFrom(-1); }
    // Plays the current entry from its start; ms (from the file's start) is
    // used only when the device is stopped; -1 stands for the entry's start.
    void PlayFrom(int ms);
    void Pause();
    void Resume();
    void Stop();
    void StartOutput();
    // Makes an entry current, keeping the play state. An index outside the
    // queue changes nothing.
    void GotoSentence(int queueIndex);
    // Makes an entry current and moves to ms inside it, keeping the play
    // state. With an index outside the queue only the position moves.
    void GotoTime(int queueIndex, int ms);
    void GotoFirst();
    void GotoLast();
    // Relative move (negative: backwards), while playing or paused.
    void Skip(int deltaMs);
    void SeekSentenceStart();

    // The device state bits (dsOpened, dsStarted, dsPaused).
    bool IsPlaying() const;
    bool IsPaused() const;

    // ------------------------------------------------------------ box, waveform, clips
    // The played fraction of the current entry, leadMs after its start to
    // tailMs before its end (not clamped).
    double SentenceProgress(int leadMs, int tailMs) const;
    // Marks a time range on the waveform.
    void HighlightRange(int startMs, int endMs);
    // Sets the waveform up for the open file and loads it again, with the
    // current entry marked (the screens call it when the player's size
    // changed).
    void RefreshOscope();
    void SetupOscope();
    // One sample frame of every so many of the whole file, one a column.
    void LoadOscopeData();
    // The position line: at column x of the waveform (none for x <= 0).
    // Drawn when the waveform paints itself.
    void DrawMarker(int x);
    void EraseMarker();

    // Writes the sample range of sourceWav as a new WAV file.
    bool CutWave(std::int64_t startSample, std::int64_t endSample, const QString& targetWav, const QString& sourceWav);
    // Encodes sourceWav as MP3 and waits for the encoder's real end; true
    // only when targetMp3 was completely written.
    bool WavToMp3(const QString& sourceWav, const QString& targetMp3);
    // Saves sentence itemIndex (an item index) as folder + fileName, or
    // folder + <media base name> + "_" + itemIndex + ".mp3" without fileName.
    bool SaveSentenceMp3(int itemIndex, const QString& folder, const QString& fileName = QString());
    // Writes the one-line ".lrc" of sentence itemIndex; false when it
    // cannot be written or the index is outside the list.
    bool SaveSentenceLrc(int itemIndex, const QString& path);

    // One tick of the position timer (the timer calls it every millisecond).
    void TimerTick();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void PaintSubtitle(TCanvas& canvas);
    const TWaveFormatEx* Format() const;
    std::int64_t MsToSamples(std::int64_t ms) const;
    std::int64_t SamplesToMs(std::int64_t samples) const;
    bool ValidEntry(int q) const { return q >= 0 && q < FPlayQueue.size(); }
    int CurrentEntry() const;
    std::int64_t EntryStartMs(int q) const;
    std::int64_t EntryEndMs(int q) const;
    // Samples from the range start.
    std::int64_t EntryStartSamples(int q) const;
    std::int64_t HeardPosition() const;
    void Seek(std::int64_t samples);
    // Starts the stopped device at samples, paused.
    void StartPaused(std::int64_t samples);
    void StopDevice();
    void CloseFile();
    void BuildQueue();
    void DoPlayIndexChange(int q);
    void Highlight(int q);
    // Moves playback on to entry q at the end of the current one; seeks only
    // when q does not follow the current sentence in the file.
    void AdvanceTo(int q, bool contiguous);
    // The advance of ptAll and ptSelect; true when it moved on without a seek.
    bool Advance(bool sourceEnded);
    void FinishQueue();
    void UpdateBox();
    // The sung edge the box shows at progress (see VisibleSungEdge).
    int SungEdge(double progress) const;
    // Repaints what changes when the box's sung edge moves to edge.
    void MoveSungEdge(int edge);
    void LayoutParts();
    // The waveform column of a position in samples from the file's start.
    int OscopeColumn(std::int64_t samples) const;
    void UpdateMarkerColumn(int x);
    void OscopePostPaint();
    void OscopeMouseDown(int x);

    QString FFileName;
    bool FOpen = false;
    int FVolume = 100;
    int FTotalTime = 0;
    int FPlayTime = 0;
    int FStartTime = 0;
    int FEndTime = 0;
    std::int64_t FLength = 0;       // samples of the file
    std::int64_t FRangeStart = 0;   // samples
    std::int64_t FRangeEnd = 0;     // samples
    std::int64_t FDeviceBase = 0;   // position (from the range start) where the device's buffers begin
    bool FOwnStop = false;
    bool FSourceEnded = false;

    TAudioLrcItems FItems;
    TIntAry FPlayQueue;
    int FPlayQueueIndex = 0;
    TPlayOrderType FPlayOrderType = potOrder;
    TPlayType FPlayType = ptAll;
    bool FLoopPlay = false;
    bool FDownEnabled = false;
    bool FDisChina = true;
    bool FDisEnglish = true;
    bool FHasOscope = false;
    int FOscopeHeight = 0;
    int FLastMarkerPos = -10;

    // The last time text read and its value, so that a tick does not parse
    // the current sentence's times again.
    struct TLrcTimeCache {
        QString Text;
        std::int64_t Ms = 0;
        bool Known = false;
        bool Valid = false;
        // The value of text; false when it is no time.
        bool Read(const QString& text, std::int64_t& ms);
    };
    mutable TLrcTimeCache FStartCache;
    mutable TLrcTimeCache FEndCache;

    QString FEnglish;
    QString FChina;
    int FEnglishWidth = 0;  // of FEnglish in the box's font; 0 for a blank line
    int FPaintedSung = -1;  // the sung edge on show once the asked repaints are done; -1: unknown
    TSubtitleBoxPainter FBoxPainter;  // keeps the current sentence shaped

    std::unique_ptr<TSndWaveOut> FWaveOut;
    std::unique_ptr<TSndWaveFile> FWaveFile;
    std::unique_ptr<TAudioConverters> FConverter;
    QTimer* FTimer = nullptr;
    TSubtitlePaintBox* FSubtitleBox = nullptr;
    bool FSubtitleBoxShown = true;
    QWidget* FOscopePanel = nullptr;
    TSndOscope* FOscope = nullptr;
};
