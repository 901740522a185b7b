#pragma once

// Live spelling: one background thread per viewer walks the document item by
// item and word by word, asks the viewer's OnSpellingCheck handler about each
// word (on the thread) and marks the misspelled ones on their text items
// through calls that run on the GUI thread. Every change of the items pauses
// the thread first (it acknowledges between two words and then waits) and
// lets it continue afterwards.
//
// Threads: the thread is never suspended from outside. Pause, continue and
// finish go through one mutex and two condition variables; the control state
// and the flags both sides touch are atomics. A call the thread wants run on
// the GUI thread goes into a queue of ours: the GUI thread runs it from a
// posted event, and while it waits in Pause or Finish.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include <QtCore/QRect>
#include <QtCore/QString>
#include <QtCore/QThread>
#include <QtGui/QPolygon>

class QEvent;
class TCustomRDData;
class TCustomRichDoc;

// The points of the wavy underline of a misspelled word under rect: from
// the left edge every 2 pixels while x < right (at most 1024), alternately
// 2 pixels above the bottom and at it; the last point moved to the right
// edge. Fewer than 2 points draw nothing.
QPolygon MisspellPolyline(const QRect& rect);

class TRDWordEnumThread : public QThread {
public:
    TRDWordEnumThread();
    // Finishes the thread and joins it.
    ~TRDWordEnumThread() override;

    // Control states.
    static constexpr int csRunning = 0, csStopRequested = 1, csStopped = 2, csFinished = 3;

    // The restart point: a document, an item (-1: none) and a character offset.
    TCustomRDData* RestartData = nullptr;
    int RestartItem = -1;
    int RestartOffs = -1;
    std::atomic<int> ControlState{csRunning};
    // The position of the walk (written by the GUI thread only while the thread waits).
    TCustomRDData* DocData = nullptr;
    int ItemIndex = 0;
    int WordOffs = 0, WordLen = 0;
    bool ItemInProgress = false;
    bool ResetRequested = false;
    std::atomic<bool> DelayActive{false}, EditedInDelay{false};
    bool EditedWordPending = false;
    bool KeepExistingMarks = false;

    // The viewer whose document is checked; nil when it lets go.
    TCustomRichDoc* Viewer() const { return FViewer.load(); }
    // Binds the thread to a viewer (nil: unbinds) and starts at its first item.
    void Init(TCustomRichDoc* viewer);
    // Starts the thread, or wakes it, at once (no quiet period).
    void Resume();
    // Asks the thread to stop between two words and waits until it does,
    // running the calls it queued meanwhile. With reset the restart point is
    // dropped and the marks of the item it was in are removed.
    void Pause(bool reset);
    // After a change: applies the restart point and lets the thread go on
    // after a quiet period of 50 ms.
    void Continue();
    // Stops the thread for good (it ends; the owner joins it).
    void Finish();
    void SetRestartPoint(TCustomRDData* data, int itemNo, int offset);
    void ApplyRestartPoint();
    void RecheckEditedItem(TCustomRDData* rdData, int itemNo);
    // The walk is at or past (rdData, itemNo).
    bool IsPassed(TCustomRDData* rdData, int itemNo);
    // The thread waits for a Continue (paused, or at the end of the document).
    bool Waiting() const;

    // Counted on the GUI thread each time the thread reaches the end of the
    // document (after the calls it queued before).
    int EndOfDocumentCount() const { return FEndOfDocumentCount; }
    // Runs on the GUI thread when the end of the document is reached.
    std::function<void()> OnEndOfDocument;
    // The longest time in nanoseconds the GUI thread waited in Pause or Finish.
    qint64 LongestWait() const { return FLongestWait; }

protected:
    void run() override;
    bool event(QEvent* e) override;

private:
    struct TCall {
        std::function<void()> Fn;
        bool Done = false;
    };
    // The thread has fn run on the GUI thread and waits for it; false when
    // the thread is finishing (nothing ran).
    bool Synchronize(std::function<void()> fn);
    // GUI thread: runs the queued calls.
    void RunPendingCalls();
    // GUI thread: waits until the thread acknowledged a stop or waits,
    // running queued calls meanwhile.
    void WaitForAcknowledge();
    // Thread: acknowledges a stop (or reaches the end of the document) and
    // waits until woken.
    void WaitForResume(std::unique_lock<std::mutex>& lock);
    // Loads the current item's text (nothing to check for URLs in a jump
    // style and symbol fonts); clearMarks: remove its marks (GUI thread).
    void LoadItemText();
    bool NextWord(QString& word);
    // The document the viewer shows.
    TCustomRDData* RootData() const;
    void RemoveMarks(TCustomRDData* data, int itemNo);
    void MarkMisspelled(TCustomRDData* data, int itemNo, int wordOffs, int wordLen);

    std::atomic<TCustomRichDoc*> FViewer{nullptr};
    std::function<void(TCustomRichDoc*, const QString&, int, bool&)> FHandler;
    bool FDelimiters[256] = {};
    // The current item's characters, the item offset of each (empty: index + 1), the scan position.
    QString FText;
    std::vector<int> FOffsets;
    int FTextPos = 0;
    int FEndOffset = 1;  // the item offset after the last character
    int FStyleNo = 0;
    bool FSkipItem = false;

    mutable std::mutex FMutex;
    std::condition_variable FGuiCv;     // the GUI thread waits on it
    std::condition_variable FThreadCv;  // the thread waits on it
    std::deque<TCall*> FCalls;
    bool FWaiting = false;      // the thread waits for a Continue
    bool FTerminating = false;  // the thread is to end
    unsigned FResumeCount = 0;  // Continue calls so far
    bool FEventPosted = false;
    int FEndOfDocumentCount = 0;
    qint64 FLongestWait = 0;
};

// Holds the live-spelling thread of a viewer still while its items change and
// lets it go on afterwards (from changedFrom, the first item changed, when
// the walk had passed it). Without a thread it does nothing.
class TRDLiveSpellingPause {
public:
    explicit TRDLiveSpellingPause(TCustomRichDoc& viewer, int changedFrom = -1);
    ~TRDLiveSpellingPause();
    TRDLiveSpellingPause(const TRDLiveSpellingPause&) = delete;
    TRDLiveSpellingPause& operator=(const TRDLiveSpellingPause&) = delete;

private:
    TRDWordEnumThread* FThread;
    TCustomRDData* FData = nullptr;
    int FChangedFrom;
};
