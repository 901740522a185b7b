// The pipeline framework: runs on the worker, events on the GUI thread,
// starts, stops and restarts.

#include "AudioPipeWave.h"
#include "PipelineTestSupport.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtCore/QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

// An input of 16-bit mono samples, handed out 1000 bytes at a time. With a
// gate it hands out the bytes before the gate, then holds the worker there
// until a stop of its output is requested: a run that is surely still going
// when the test acts on it.
class TSlowInput : public TAudioInput {
public:
    static constexpr std::int64_t NoGate = -1;
    explicit TSlowInput(std::int64_t total, std::int64_t gate = NoGate) : FTotal(total), FGate(gate) {}
    std::uint32_t GetBitsPerSample() override { return 16; }
    std::uint32_t GetChannels() override { return 1; }
    std::uint32_t GetSampleRate() override { return 8000; }
    std::atomic<int> Inits{0};

    // Waits until the worker of the current run holds at the gate; false when
    // it does not within the bound (a guard against a hang only).
    bool WaitAtGate(int timeoutMs = 15000)
    {
        std::unique_lock<std::mutex> lock(FGateLock);
        return FGateChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return FAtGate; });
    }
    void StopRequested() override
    {
        {
            std::lock_guard<std::mutex> lock(FGateLock);
            FStopped = true;
        }
        FGateChanged.notify_all();
    }

protected:
    void InitInternal() override
    {
        ++Inits;
        FDelivering = true;
        FBytesDone = 0;
        FByteTotal = FTotal;
        FFrameBytes = 2;
        for (int i = 0; i < 1000; ++i)
            FBuf[i] = std::uint8_t(i * 7);
    }
    // The end of every run: a stop asked for until now was a stop of it (one
    // asked for before a run's start stays for that run).
    void FlushInternal() override
    {
        FDelivering = false;
        std::lock_guard<std::mutex> lock(FGateLock);
        FAtGate = false;
        FStopped = false;
    }
    void GetDataInternal(std::uint8_t*& buffer, std::uint32_t& bytes) override
    {
        if (FGate != NoGate && FBytesDone >= FGate) {
            std::unique_lock<std::mutex> lock(FGateLock);
            FAtGate = true;
            FGateChanged.notify_all();
            FGateChanged.wait(lock, [this] { return FStopped; });
        }
        const std::int64_t left = FTotal - FBytesDone;
        bytes = std::uint32_t(std::min<std::int64_t>({left, 1000, bytes}));
        bytes -= bytes % 2;
        buffer = FBuf;
        FBytesDone += bytes;
    }

private:
    std::int64_t FTotal;
    std::int64_t FGate;
    std::uint8_t FBuf[1000];
    std::mutex FGateLock;
    std::condition_variable FGateChanged;
    bool FAtGate = false;
    bool FStopped = false;
};

struct TRecorder {
    std::vector<int> Kinds;  // 0 progress, 1 done, 2 error
    bool OffGuiThread = false;
    void Hook(TAudioOutput& out)
    {
        auto note = [this](int kind) {
            return [this, kind](QObject*) {
                if (QThread::currentThread() != QCoreApplication::instance()->thread())
                    OffGuiThread = true;
                Kinds.push_back(kind);
            };
        };
        out.OnProgress = note(0);
        out.OnDone = note(1);
        out.OnThreadException = note(2);
    }
    int Count(int kind) const { return int(std::count(Kinds.begin(), Kinds.end(), kind)); }
};

class FrameworkTest : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    QString Out() const { return Dir.filePath("out.wav"); }

    // Returns once every event posted so far has been delivered: the one
    // event thread delivers in posting order, so a run of another output
    // started now ends with a done event that comes after all of them.
    void DrainEvents()
    {
        TSlowInput input(2);
        TWaveOut witness;
        bool done = false;
        witness.OnDone = [&](QObject*) { done = true; };
        witness.SetInput(&input);
        witness.SetFileName(Dir.filePath("witness.wav"));
        witness.StartOutput();
        ASSERT_TRUE(WaitFor([&] { return done; }));
    }
};

TEST_F(FrameworkTest, EventsArriveOnTheGuiThreadInOrder)
{
    TSlowInput input(40000);
    TWaveOut output;
    TRecorder rec;
    rec.Hook(output);
    output.SetInput(&input);
    output.SetFileName(Out());
    output.StartOutput();
    EXPECT_EQ(output.GetOutputState(), aosBusy);
    ASSERT_TRUE(WaitFor([&] { return rec.Count(1) == 1; }));
    EXPECT_FALSE(rec.OffGuiThread);
    EXPECT_GT(rec.Count(0), 2);
    EXPECT_EQ(rec.Kinds.back(), 1);
    EXPECT_EQ(rec.Count(2), 0);
    EXPECT_EQ(output.GetOutputState(), aosIdle);
    EXPECT_EQ(output.GetProgressPercent(), 100);
    EXPECT_FALSE(output.RunFailed());
    EXPECT_EQ(QFile(Out()).size(), 44 + 40000);
}

TEST_F(FrameworkTest, StartRefusals)
{
    TWaveOut output;
    try {
        output.StartOutput();
        FAIL() << "no exception";
    } catch (const EAudioException& e) {
        EXPECT_EQ(e.Message(), "Input is not assigned");
    }
    TSlowInput input(200000, 0);
    output.SetInput(&input);
    output.SetFileName(Out());
    output.StartOutput();
    try {
        output.StartOutput();
        FAIL() << "no exception";
    } catch (const EAudioException& e) {
        EXPECT_EQ(e.Message(), "Component is Busy");
    }
    output.StopOutput(false);
    EXPECT_EQ(output.GetOutputState(), aosIdle);
}

// StartOutput inside the done handler, and right after the done event, both
// start a new run: never dropped.
TEST_F(FrameworkTest, StartRightAfterDoneRuns)
{
    TSlowInput input(4000);
    TWaveOut output;
    output.SetInput(&input);
    output.SetFileName(Out());
    int done = 0;
    output.OnDone = [&](QObject*) {
        ++done;
        if (done < 5)
            output.StartOutput();
    };
    output.StartOutput();
    ASSERT_TRUE(WaitFor([&] { return done == 5; }));
    EXPECT_EQ(input.Inits, 5);
    // A start issued from the GUI thread the moment the state turns idle.
    for (int i = 0; i < 20; ++i) {
        const int before = input.Inits;
        ASSERT_TRUE(WaitFor([&] { return output.GetOutputState() == aosIdle; }));
        output.StartOutput();
        ASSERT_TRUE(WaitFor([&] { return input.Inits == before + 1 && output.GetOutputState() == aosIdle; }));
    }
    WaitFor([&] { return done == 25; });
    EXPECT_EQ(done, 25);
}

// A stop with done event marks the run failed and removes the partial file;
// a synchronous stop posts no done event.
TEST_F(FrameworkTest, StoppedRunsLeaveNoFile)
{
    TSlowInput input(10000000, 20000);
    TWaveOut output;
    TRecorder rec;
    rec.Hook(output);
    output.SetInput(&input);
    output.SetFileName(Out());
    output.StartOutput();
    ASSERT_TRUE(input.WaitAtGate());
    output.StopOutput(true);
    ASSERT_TRUE(WaitFor([&] { return rec.Count(1) == 1; }));
    EXPECT_TRUE(output.RunFailed());
    EXPECT_FALSE(QFile::exists(Out()));
    EXPECT_FALSE(QFile::exists(Out() + ".part"));

    output.StartOutput();
    ASSERT_TRUE(input.WaitAtGate());
    output.StopOutput(false);
    EXPECT_EQ(output.GetOutputState(), aosIdle);
    DrainEvents();
    EXPECT_EQ(rec.Count(1), 1);
    EXPECT_FALSE(QFile::exists(Out()));
}

// A failing Prepare posts the error, then the done event; the message stays
// until the next start.
TEST_F(FrameworkTest, PrepareErrorThenDone)
{
    TWaveIn input;
    input.SetFileName(Dir.filePath("none.wav"));
    TWaveOut output;
    TRecorder rec;
    rec.Hook(output);
    output.SetInput(&input);
    output.SetFileName(Out());
    output.StartOutput();
    ASSERT_TRUE(WaitFor([&] { return rec.Count(1) == 1; }));
    ASSERT_EQ(rec.Kinds.size(), 2u);
    EXPECT_EQ(rec.Kinds[0], 2);
    EXPECT_FALSE(output.LastErrorText().isEmpty());
    EXPECT_TRUE(output.RunFailed());
}

// Changing the input of a busy output stops the run (no done event) and
// starts a new one; destroying a busy output delivers nothing afterwards.
TEST_F(FrameworkTest, InputChangeAndDestructionWhileBusy)
{
    TSlowInput first(10000000, 4000);
    TSlowInput second(2000);
    TRecorder rec;
    {
        TWaveOut output;
        rec.Hook(output);
        output.SetInput(&first);
        output.SetFileName(Out());
        output.StartOutput();
        ASSERT_TRUE(first.WaitAtGate());
        output.SetInput(&second);
        ASSERT_TRUE(WaitFor([&] { return rec.Count(1) == 1; }));
        EXPECT_EQ(second.Inits, 1);
        EXPECT_EQ(QFile(Out()).size(), 44 + 2000);
        rec.Kinds.clear();
        output.SetInput(&first);
        output.StartOutput();
        ASSERT_TRUE(first.WaitAtGate());
    }
    DrainEvents();
    EXPECT_EQ(rec.Count(1), 0);
}

TEST_F(FrameworkTest, ProgressOfUnknownSizeAndEmptyFill)
{
    TSlowInput unknown(-1);
    TWaveOut output;
    output.SetInput(&unknown);
    EXPECT_EQ(output.GetProgressPercent(), 0);  // not yet initialised: total 0
    unknown.Init();
    EXPECT_EQ(output.GetProgressPercent(), -1);
    bool end = false;
    char buf[4];
    EXPECT_EQ(unknown.FillBuffer(buf, 0, end), 0);
    EXPECT_TRUE(end);
    unknown.Flush();
    output.SetInput(nullptr);
}

}  // namespace
