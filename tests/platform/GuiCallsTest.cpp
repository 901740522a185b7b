#include "GuiCalls.h"

#include "TestSupport.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QMetaObject>
#include <QtCore/QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

QThread* GuiThread()
{
    return QCoreApplication::instance()->thread();
}

}  // namespace

TEST(GuiCalls, ACallOfAWorkerRunsOnTheGuiThreadBeforeItReturns)
{
    TGuiCalls calls;
    QThread* ranOn = nullptr;
    std::atomic<bool> returned{false};
    bool ranBeforeReturn = false;
    std::thread worker([&] {
        EXPECT_FALSE(TGuiCalls::OnGuiThread());
        EXPECT_TRUE(calls.Call([&] { ranOn = QThread::currentThread(); }));
        ranBeforeReturn = ranOn != nullptr;
        returned = true;
        // The event loop below waits for an event to see the change.
        QMetaObject::invokeMethod(QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
    });
    const bool done = RunEventsUntil([&] { return returned.load(); });
    worker.join();
    ASSERT_TRUE(done);
    EXPECT_EQ(ranOn, GuiThread());
    EXPECT_TRUE(ranBeforeReturn);

    // On the GUI thread itself a call runs at once.
    ranOn = nullptr;
    EXPECT_TRUE(TGuiCalls::OnGuiThread());
    EXPECT_TRUE(calls.Call([&] { ranOn = QThread::currentThread(); }));
    EXPECT_EQ(ranOn, GuiThread());
}

TEST(GuiCalls, WhatACallThrowsIsThrownAgainInTheWorker)
{
    TGuiCalls calls;
    std::string caught;
    bool finished = false;  // GUI thread only
    std::thread worker([&] {
        try {
            calls.Call([] { throw std::runtime_error("no device"); });
        } catch (const std::runtime_error& e) {
            caught = e.what();
        }
        // A posted call that throws takes nothing down; the next call still runs.
        EXPECT_TRUE(calls.Post([] { throw std::runtime_error("dropped"); }));
        EXPECT_TRUE(calls.Call([] {}));
        calls.Post([&] { finished = true; });
    });
    calls.WaitServing([&] { return finished; });
    worker.join();
    EXPECT_EQ(caught, "no device");
}

// The GUI thread waits for workers (as a synchronous stop does) without
// running its event loop: the calls they make meanwhile run inside the wait,
// in the order each worker queued them.
TEST(GuiCalls, AWaitOfTheGuiThreadServesTheWorkersItWaitsFor)
{
    TGuiCalls calls;
    constexpr int Workers = 4, CallsEach = 50;
    std::vector<std::vector<int>> seen(Workers);  // GUI thread only
    std::mutex lock;
    int finished = 0;  // under lock
    std::vector<std::thread> threads;
    for (int w = 0; w < Workers; ++w)
        threads.emplace_back([&, w] {
            for (int i = 0; i < CallsEach; ++i) {
                auto note = [&seen, w, i] {
                    EXPECT_EQ(QThread::currentThread(), GuiThread());
                    seen[w].push_back(i);
                };
                if (i % 2)
                    calls.Post(note);
                else
                    calls.Call(note);
            }
            calls.Call([] {});  // all posted calls before it have run
            {
                const std::lock_guard<std::mutex> guard(lock);
                ++finished;
            }
            calls.Wake();
        });
    // ready() takes the test's lock inside the queue's; the workers never
    // hold the test's lock while calling the queue.
    calls.WaitServing([&] {
        const std::lock_guard<std::mutex> guard(lock);
        return finished == Workers;
    });
    for (std::thread& t : threads)
        t.join();
    for (int w = 0; w < Workers; ++w) {
        ASSERT_EQ(seen[w].size(), std::size_t(CallsEach)) << w;
        for (int i = 0; i < CallsEach; ++i)
            EXPECT_EQ(seen[w][i], i) << w;
    }
}

TEST(GuiCalls, AWaitOffTheGuiThreadRunsNoCalls)
{
    TGuiCalls calls;
    std::mutex lock;
    bool served = false, stop = false;  // under lock
    std::thread caller([&] {
        calls.Call([&] {
            EXPECT_EQ(QThread::currentThread(), GuiThread());
            served = true;
        });
    });
    std::thread waiter([&] {
        // Woken by the call being queued and by Wake; runs nothing itself.
        calls.WaitServing([&] {
            const std::lock_guard<std::mutex> guard(lock);
            return stop;
        });
        EXPECT_FALSE(TGuiCalls::OnGuiThread());
    });
    calls.WaitServing([&] { return served; });
    {
        const std::lock_guard<std::mutex> guard(lock);
        stop = true;
    }
    calls.Wake();
    caller.join();
    waiter.join();
    EXPECT_TRUE(served);
}

// Closing refuses new calls; a call that races the close either ran and
// says so, or did not run and says so, and never waits for ever.
TEST(GuiCalls, AClosedQueueRefusesCallsAndAnswersThoseQueued)
{
    for (int round = 0; round < 20; ++round) {
        TGuiCalls calls;
        bool ran = false, returned = false, accepted = false;
        std::thread worker([&] {
            calls.Post([&calls] { calls.Close(); });
            const bool result = calls.Call([&] { ran = true; });
            calls.Wake();  // nothing may use the queue after this but Wake
            // Not served by the wait below once closed: tell the GUI thread directly.
            QMetaObject::invokeMethod(QCoreApplication::instance(), [&, result] {
                accepted = result;
                returned = true;
            }, Qt::QueuedConnection);
        });
        // Runs the closing call (and the racing one, if it came first).
        const bool done = RunEventsUntil([&] { return returned; });
        worker.join();
        ASSERT_TRUE(done);
        EXPECT_EQ(accepted, ran) << round;
        EXPECT_FALSE(calls.Call([] { FAIL() << "ran after close"; }));
        EXPECT_FALSE(calls.Post([] { FAIL() << "ran after close"; }));
    }

    // Closed from the worker's view before it calls: nothing runs.
    TGuiCalls calls;
    calls.Close();
    bool ran = false;
    std::thread worker([&] {
        EXPECT_FALSE(calls.Call([&] { ran = true; }));
        EXPECT_FALSE(calls.Post([&] { ran = true; }));
    });
    worker.join();
    ProcessEvents();
    EXPECT_FALSE(ran);
}

TEST(GuiCalls, ACallQueuedWhenTheQueueGoesIsDroppedUnrun)
{
    bool ran = false;
    {
        TGuiCalls calls;
        std::thread worker([&] { EXPECT_TRUE(calls.Post([&] { ran = true; })); });
        worker.join();
    }
    // The event that would have run it still comes.
    ProcessEvents();
    EXPECT_FALSE(ran);
}
