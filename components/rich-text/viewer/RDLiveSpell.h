#pragma once

// Live spelling: one background thread per viewer checks the words of the
// document, asking the viewer's OnSpellingCheck handler about each word (on
// the thread), and the misspelled ones are marked on their text items on the
// GUI thread.
//
// Threads: the walk through the document belongs to the GUI thread. The
// thread asks it for copies of the next items (a call the GUI thread answers),
// checks their words and hands back, per item, the words found wrong (a call
// queued to the GUI thread); it never reads the document itself. A change of
// the items pauses the walk first: the results handed back so far are
// applied, whatever the thread has in hand is dropped (a generation count
// tells), and the GUI thread never waits for the thread. Waiting and waking
// go through one mutex and condition variables; the control state and the
// flags both sides touch are atomics. The calls to the GUI thread go through
// a queue of their own, run from the event loop and in Pause and Finish.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "GuiCalls.h"

#include <QtCore/QString>
#include <QtCore/QThread>

class TCustomRDData;
class TCustomRichDoc;

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
    // The walk: the first item not checked yet. It belongs to the GUI thread:
    // the thread asks it for copies of the next items and hands back the
    // words found wrong, so that it never reads the document itself.
    TCustomRDData* DocData = nullptr;
    int ItemIndex = 0;
    // The walk resumes inside ItemIndex at this offset (a restart point inside an item).
    bool ItemInProgress = false;
    int ItemOffset = 0;
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
    // Stops the walk: the thread's work in progress no longer counts, the
    // results it handed back are applied. Never waits for the thread. With
    // reset the restart point is dropped.
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
    // document (after every mark it found).
    int EndOfDocumentCount() const { return FEndOfDocumentCount; }
    // Runs on the GUI thread when the end of the document is reached.
    std::function<void()> OnEndOfDocument;
    // The longest time in nanoseconds the GUI thread spent in Pause or Finish.
    qint64 LongestWait() const { return FLongestWait; }

    // What the thread gets of one text item.
    struct TItemCopy {
        TCustomRDData* Data = nullptr;
        int Index = 0;
        QByteArray Text;
        bool Unicode = false;
        uint32_t CodePage = 0;
        int StyleNo = 0;
        bool Jump = false, Symbol = false;
        // The scan starts at the word holding this offset (0: the start).
        int StartOffset = 0;
        // Only unmarked words are checked: the marks there are (start, length).
        bool Keep = false;
        std::vector<std::pair<int, int>> Marks;
    };
    // What the thread gets at a time: items, and whether the document ends after them.
    struct TBatch {
        bool Stale = false;
        bool End = false;
        std::vector<TItemCopy> Items;
        std::function<void(TCustomRichDoc*, const QString&, int, bool&)> Handler;
        std::vector<bool> Delimiters;
    };

protected:
    void run() override;

private:
    // The thread has fn run on the GUI thread and waits for it; false when
    // the thread is finishing (nothing ran).
    bool Synchronize(std::function<void()> fn);
    // The same without waiting: the calls run in the order queued, all of
    // them before a Pause or Finish returns.
    void Post(std::function<void()> fn);
    // GUI thread: runs the queued calls.
    void RunPendingCalls();
    // Thread: waits until woken.
    void WaitForResume(std::unique_lock<std::mutex>& lock);
    // GUI thread: the next items from the walk for generation gen.
    void FillBatch(TBatch& batch, unsigned gen);
    // GUI thread: from (data, index), the next text item to check; false at the document's end.
    bool SeekTextItem(TCustomRDData*& data, int& index, bool keep);
    // GUI thread: an item checked: old marks go (clearFrom: from that offset), new ones come.
    void FinishItem(unsigned gen, TCustomRDData* data, int index, int clearFrom,
                    const std::vector<std::pair<int, int>>& marks);
    // Thread: the words of one item; false when it was not checked (a pause came).
    bool CheckItem(const TItemCopy& item, const TBatch& batch, unsigned gen, int& clearFrom,
                   std::vector<std::pair<int, int>>& marks);
    void MarkMisspelled(TCustomRDData* data, int itemNo, int wordOffs, int wordLen);
    void Bump();

    std::atomic<TCustomRichDoc*> FViewer{nullptr};
    // Counts the pauses: work begun before the last one is dropped.
    std::atomic<unsigned> FGeneration{0};

    mutable std::mutex FMutex;
    std::condition_variable FThreadCv;  // the thread waits on it
    bool FWaiting = false;      // the thread waits for a Continue
    bool FTerminating = false;  // the thread is to end
    unsigned FResumeCount = 0;  // Continue calls so far
    TGuiCalls FCalls;           // closed when the thread is to end
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
