#pragma once

#include <functional>
#include <memory>

// Calls that worker threads have run on the GUI thread. A worker's call waits
// until the GUI thread has run it; the GUI thread runs the calls from its
// event loop or, earlier, from a wait of its own (WaitServing), so that a
// worker the GUI thread waits for never waits for the GUI thread in turn.
//
// Called on the GUI thread itself (or with no application object), a call
// runs at once. After Close the queue takes no more calls; those already
// queued still run (RunPending). Destroying the queue drops what it holds
// unrun: no worker may be waiting on it then.
class TGuiCalls {
public:
    TGuiCalls();
    ~TGuiCalls();
    TGuiCalls(const TGuiCalls&) = delete;
    TGuiCalls& operator=(const TGuiCalls&) = delete;

    // Runs fn on the GUI thread and waits until it ran; what fn threw is
    // thrown again here. False when the queue is closed (fn did not run).
    bool Call(std::function<void()> fn);
    // Queues fn to run on the GUI thread, in order with the other calls,
    // without waiting; what it throws is dropped. False when closed.
    bool Post(std::function<void()> fn);
    // GUI thread: runs the queued calls, oldest first.
    void RunPending();
    // Waits until ready() holds. ready() is tested with the queue's lock
    // held (it may take other locks, as long as no thread holds one of them
    // while it calls Wake or queues a call), at first and again after every
    // Wake. On the GUI thread the queued calls run meanwhile.
    void WaitServing(const std::function<bool()>& ready);
    // Wakes the waits of WaitServing after what they wait for may have changed.
    void Wake();
    // Takes no more calls from now on.
    void Close();

    // Whether the calling thread is the application's GUI thread.
    static bool OnGuiThread();

    struct TState;  // the queue's own, shared with the events on their way

private:
    std::shared_ptr<TState> FState;
};
