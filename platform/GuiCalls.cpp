#include "GuiCalls.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QMetaObject>
#include <QtCore/QThread>

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>

struct TGuiCalls::TState {
    struct TCall {
        std::function<void()> Fn;
        std::exception_ptr Failure;
        bool Done = false;    // under the queue's lock
        bool Waited = false;  // a worker waits for it (else what it throws is dropped)
    };

    std::mutex Lock;
    std::condition_variable Changed;  // a call ran, a call came, or Wake
    std::deque<std::shared_ptr<TCall>> Queue;
    bool Closed = false;
    bool EventPosted = false;  // an event to run the queue is on its way
};

TGuiCalls::TGuiCalls() : FState(std::make_shared<TState>()) {}

TGuiCalls::~TGuiCalls()
{
    // An event still on its way finds the queue gone.
    const std::lock_guard<std::mutex> guard(FState->Lock);
    FState->Closed = true;
    FState->Queue.clear();
}

bool TGuiCalls::OnGuiThread()
{
    QCoreApplication* app = QCoreApplication::instance();
    return app && app->thread() == QThread::currentThread();
}

namespace {

using TGuiCall = TGuiCalls::TState::TCall;

// Runs call; what it throws is kept for the worker that waits for it.
void RunGuiCall(TGuiCall& call)
{
    try {
        call.Fn();
    } catch (...) {
        if (call.Waited)
            call.Failure = std::current_exception();
    }
}

// GUI thread: runs the queued calls, oldest first.
void RunQueuedGuiCalls(const std::shared_ptr<TGuiCalls::TState>& state)
{
    for (;;) {
        std::shared_ptr<TGuiCall> call;
        {
            const std::lock_guard<std::mutex> guard(state->Lock);
            if (state->Queue.empty())
                return;
            call = std::move(state->Queue.front());
            state->Queue.pop_front();
        }
        RunGuiCall(*call);
        if (!call->Waited)
            continue;
        {
            const std::lock_guard<std::mutex> guard(state->Lock);
            call->Done = true;
        }
        state->Changed.notify_all();
    }
}

// Queues call; false when closed. Posts the event that runs the queue on the
// GUI thread unless one is already on its way.
bool QueueGuiCall(const std::shared_ptr<TGuiCalls::TState>& state, QCoreApplication* app,
                  std::shared_ptr<TGuiCall> call)
{
    bool post = false;
    {
        const std::lock_guard<std::mutex> guard(state->Lock);
        if (state->Closed)
            return false;
        state->Queue.push_back(std::move(call));
        post = !state->EventPosted;
        state->EventPosted = true;
    }
    // A GUI-side wait serves it too.
    state->Changed.notify_all();
    if (post) {
        std::weak_ptr<TGuiCalls::TState> weak = state;
        QMetaObject::invokeMethod(
            app,
            [weak] {
                if (std::shared_ptr<TGuiCalls::TState> alive = weak.lock()) {
                    {
                        const std::lock_guard<std::mutex> guard(alive->Lock);
                        alive->EventPosted = false;
                    }
                    RunQueuedGuiCalls(alive);
                }
            },
            Qt::QueuedConnection);
    }
    return true;
}

// Runs fn at once on the GUI thread (or with no application object), else
// queues it, waiting until it ran when waited; false when the queue is closed.
bool SubmitGuiCall(const std::shared_ptr<TGuiCalls::TState>& state, std::function<void()> fn, bool waited)
{
    auto call = std::make_shared<TGuiCall>();
    call->Fn = std::move(fn);
    call->Waited = waited;
    QCoreApplication* app = QCoreApplication::instance();
    if (app && app->thread() != QThread::currentThread()) {
        if (!QueueGuiCall(state, app, call))
            return false;
        if (!waited)
            return true;
        std::unique_lock<std::mutex> lock(state->Lock);
        state->Changed.wait(lock, [&call] { return call->Done; });
    } else {
        {
            const std::lock_guard<std::mutex> guard(state->Lock);
            if (state->Closed)
                return false;
        }
        RunGuiCall(*call);
    }
    if (call->Failure)
        std::rethrow_exception(call->Failure);
    return true;
}

}  // namespace

bool TGuiCalls::Call(std::function<void()> fn)
{
    return SubmitGuiCall(FState, std::move(fn), true);
}

bool TGuiCalls::Post(std::function<void()> fn)
{
    return SubmitGuiCall(FState, std::move(fn), false);
}

void TGuiCalls::RunPending()
{
    RunQueuedGuiCalls(FState);
}

void TGuiCalls::WaitServing(const std::function<bool()>& ready)
{
    const bool gui = OnGuiThread();
    TState& state = *FState;
    std::unique_lock<std::mutex> lock(state.Lock);
    for (;;) {
        state.Changed.wait(lock, [&] { return ready() || (gui && !state.Queue.empty()); });
        if (!(gui && !state.Queue.empty()))
            return;
        lock.unlock();
        RunQueuedGuiCalls(FState);
        lock.lock();
    }
}

void TGuiCalls::Wake()
{
    {
        // Taken so that a waiter between its test and its sleep cannot miss the change.
        const std::lock_guard<std::mutex> guard(FState->Lock);
    }
    FState->Changed.notify_all();
}

void TGuiCalls::Close()
{
    {
        const std::lock_guard<std::mutex> guard(FState->Lock);
        FState->Closed = true;
    }
    FState->Changed.notify_all();
}
