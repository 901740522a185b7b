// The buffer chain: links, format flow, buffer sizes and the device walks.

#include "MMDSPObj.h"
#include "TestSupport.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QThread>

#include <gtest/gtest.h>


#include <string>

namespace {

std::string Log;

class TPlain : public TSndDSPComponent {
public:
    explicit TPlain(char name) : FName(name) {}
    bool HasInputProperty() const override { return true; }
    bool HasOutputProperty() const override { return true; }
    void Paused() override
    {
        Log += FName;
        TSndDSPComponent::Paused();
    }
    void Stopped() override
    {
        Log += static_cast<char>(FName + 32);
        TSndDSPComponent::Stopped();
    }

private:
    char FName;
};

class TDevice : public TSndCustomSoundComponent {
public:
    explicit TDevice(char name) : FName(name) {}
    bool HasInputProperty() const override { return true; }
    bool HasOutputProperty() const override { return true; }
    void Paused() override
    {
        Log += FName;
        TSndCustomSoundComponent::Paused();
    }
    // A device hears the walk of another device only as a notification.
    void PauseWalk() { TSndCustomSoundComponent::Paused(); }
    void SetNumBuffers(std::int32_t) override {}
    std::int32_t GetNumBuffers() const override { return 10; }
    void SetDeviceID(TSndDeviceId) override {}
    TSndDeviceId GetDeviceID() const override { return 0; }
    void SetProductName(const QString&) override {}
    QString GetProductName() const override { return QString(); }
    void SetCallBackMode(TSndCBMode) override {}
    TSndCBMode GetCallBackMode() const override { return cmWindow; }

private:
    char FName;
};

}  // namespace

TEST(WaveChain, LinksStayOneToOne)
{
    TPlain a('A'), b('B'), e('E');
    a.SetOutput(&e);
    EXPECT_EQ(e.Input(), &a);
    b.SetInput(&a);
    EXPECT_EQ(a.Output(), &b);
    EXPECT_EQ(e.Input(), nullptr);
    EXPECT_EQ(b.InputLinkName(), "Output");
    EXPECT_EQ(a.OutputLinkName(), "Input");

    a.SetInput(&a);
    EXPECT_EQ(a.Input(), nullptr);
    a.SetInput(&b);  // b lies behind a: no cycle
    EXPECT_EQ(a.Input(), nullptr);
    EXPECT_EQ(a.Output(), &b);

    {
        TPlain temp('T');
        b.SetOutput(&temp);
        EXPECT_EQ(temp.Input(), &b);
    }
    EXPECT_EQ(b.Output(), nullptr) << "a destroyed component leaves no link behind";

    TSndDSPComponent unpublished;
    b.SetOutput(&unpublished);
    EXPECT_EQ(b.Output(), nullptr);
    unpublished.SetInputLinkable(true);
    b.SetOutput(&unpublished);
    EXPECT_EQ(b.Output(), &unpublished);
}

TEST(WaveChain, FormatFlowsDownstreamAsCopies)
{
    TPlain a('A'), b('B'), c('C');
    b.SetInput(&a);
    c.SetInput(&b);
    const TWaveFormatEx format = PcmFormat(16, 2, 44100);
    a.SetPWaveFormat(&format);
    ASSERT_NE(c.PWaveFormat(), nullptr);
    EXPECT_EQ(c.PWaveFormat()->nSamplesPerSec, 44100u);
    EXPECT_NE(c.PWaveFormat(), b.PWaveFormat());
    EXPECT_NE(b.PWaveFormat(), a.PWaveFormat());

    TPlain x('X');
    a.SetInput(&x);  // x has no format: none flows on
    EXPECT_EQ(a.PWaveFormat(), nullptr);
    EXPECT_EQ(c.PWaveFormat(), nullptr);
}

TEST(WaveChain, OpenedRoundsTheBufferSizeToBlocks)
{
    TPlain a('A');
    const TWaveFormatEx format = PcmFormat(16, 2, 44100);
    a.SetPWaveFormat(&format);
    a.SetBufferSize(4098);
    a.Opened();
    EXPECT_EQ(a.BufferSize(), 4096);
    a.Closed();
    EXPECT_EQ(a.BufferSize(), 4098);
    a.SetBufferSize(3);
    a.Opened();
    EXPECT_EQ(a.BufferSize(), 4);
    a.Started();
    EXPECT_TRUE(a.IsStarted());
    a.SetBufferSize(100);  // stops first
    EXPECT_FALSE(a.IsStarted());
}

TEST(WaveChain, DeviceWalksStopAtTheNextDevice)
{
    TPlain a('A'), b('B'), e('E');
    TDevice d1('1'), d2('2');
    b.SetInput(&a);
    d1.SetInput(&b);
    e.SetInput(&d1);
    d2.SetInput(&e);

    Log.clear();
    d1.PauseWalk();
    EXPECT_EQ(Log, "ABE2");
    EXPECT_TRUE(a.IsPaused());
    EXPECT_TRUE(d1.IsPaused());

    Log.clear();
    d2.PauseWalk();
    EXPECT_EQ(Log, "");

    d1.Opened();
    EXPECT_FALSE(d1.DeviceUpstream());
    d2.Opened();
    EXPECT_TRUE(d2.DeviceUpstream());

    Log.clear();
    d1.SetBufferSize(1000);
    d1.Stopped();
    EXPECT_EQ(Log, "abe") << "the stop walk ends before the next device";
}

TEST(WaveChain, OpenedWalkHandsTheDeviceBufferSizeOn)
{
    TPlain a('A');
    TDevice d('D');
    d.SetInput(&a);
    d.SetBufferSize(8192);
    d.Opened();
    EXPECT_TRUE(a.IsOpened());
    EXPECT_EQ(a.BufferSize(), 8192);
}

TEST(WaveChain, CallInMainThreadRunsOnTheGuiThreadForDeviceThreads)
{
    TDevice device('D');
    QThread* ranOn = nullptr;
    TSndDSPThread thread(&device);
    EXPECT_EQ(DSPThreadCount(), 1);
    QObject::connect(&thread, &QThread::started, [&] { CallInMainThread([&] { ranOn = QThread::currentThread(); }); });
    thread.start();
    // The call reaches this thread as an event; it has run when ranOn is set.
    const bool ran = RunEventsUntil([&] { return ranOn != nullptr; });
    thread.quit();
    thread.wait();
    ASSERT_TRUE(ran);
    EXPECT_EQ(ranOn, QCoreApplication::instance()->thread());
    CallInMainThread([&] { ranOn = nullptr; });
    EXPECT_EQ(ranOn, nullptr);
}
