#pragma once

// The buffer chain of the wave audio library. Chain components have at most
// one Input and one Output, linked in pairs (A.Output() == B exactly when
// B.Input() == A). A playback device at the end pulls buffers through
// BufferLoad from the components before it; a recording device pushes every
// finished buffer through BufferReady to the components behind it. The chain
// also carries the wave format downstream and the devices' life-cycle
// notifications (opened, started, paused, restarted, stopped, closed).

#include "MMPCMSup.h"
#include "SndObj.h"
#include "SndWaveIO.h"

#include <QtCore/QString>
#include <QtCore/QThread>

#include <atomic>
#include <exception>
#include <cstdint>
#include <functional>

// ---------------------------------------------------------------- buffer header

// Flags of a buffer header.
constexpr std::uint32_t WHDR_DONE = 0x00000001;
constexpr std::uint32_t WHDR_PREPARED = 0x00000002;
constexpr std::uint32_t WHDR_BEGINLOOP = 0x00000004;
constexpr std::uint32_t WHDR_ENDLOOP = 0x00000008;
constexpr std::uint32_t WHDR_INQUEUE = 0x00000010;

// A buffer travels as a pointer to this header: the device header (lpData ...
// reserved) followed by the library's additions. The sample data follows the
// header in the same memory block; lpData points at it.
struct TSndWaveHdr {
    char* lpData = nullptr;
    std::uint32_t dwBufferLength = 0;
    std::uint32_t dwBytesRecorded = 0;
    std::uintptr_t dwUser = 0;
    std::uint32_t dwFlags = 0;
    std::uint32_t dwLoops = 0;
    TSndWaveHdr* lpNext = nullptr;
    std::uintptr_t reserved = 0;
    // The library's additions.
    std::uint32_t wh_Reserved = 0;
    std::uint32_t wh_SavedBytes = 0;      // byte count kept across the driver's use of the header
    TSndWaveHdr* wh_NextHdr = nullptr;    // the buffer that plays next
    std::int32_t wh_Looping = 0;          // -1 when the device loops, else 0
    std::int32_t wh_LoopCount = 0;
    std::int32_t wh_LoopsRemaining = 0;
    std::int32_t wh_LoopRestart = 0;      // -1: the source wrapped to its start for this buffer
};
using PSndWaveHdr = TSndWaveHdr*;

// ---------------------------------------------------------------- components

class TSndDSPComponent;
using TSndBufferEvent = std::function<void(QObject* sender, TSndWaveHdr* lpWaveHdr)>;
using TSndBufferLoadEvent = std::function<void(QObject* sender, TSndWaveHdr* lpWaveHdr, bool& moreBuffers)>;
using TSndNotifyEvent = std::function<void(QObject* sender)>;

constexpr std::int32_t DefaultBufferSize = 2048;

class TSndCustomDSPComponent : public TSndNonVisualComponent {
public:
    explicit TSndCustomDSPComponent(QObject* owner = nullptr);
};

class TSndDSPComponent : public TSndCustomDSPComponent {
public:
    explicit TSndDSPComponent(QObject* owner = nullptr);
    ~TSndDSPComponent() override;

    // Links (property Input / Output).
    TSndDSPComponent* Input() const { return FInput; }
    TSndDSPComponent* Output() const { return FOutput; }
    virtual void SetInput(TSndDSPComponent* value);
    virtual void SetOutput(TSndDSPComponent* value);
    virtual TSndDSPComponent* GetInput() const { return FInput; }
    virtual TSndDSPComponent* GetOutput() const { return FOutput; }
    QString InputLinkName() const { return FInputLinkName; }
    QString OutputLinkName() const { return FOutputLinkName; }

    // Whether the concrete class publishes Input / Output. A component without
    // the published property can still be linked on that side while its
    // linkable flag is set.
    virtual bool HasInputProperty() const { return false; }
    virtual bool HasOutputProperty() const { return false; }
    bool InputLinkable() const { return FInputLinkable; }
    void SetInputLinkable(bool value) { FInputLinkable = value; }
    bool OutputLinkable() const { return FOutputLinkable; }
    void SetOutputLinkable(bool value) { FOutputLinkable = value; }

    // The component's own copy of the wave format (or none).
    TWaveFormatEx* PWaveFormat() const { return GetPWaveFormat(); }
    virtual TWaveFormatEx* GetPWaveFormat() const { return FPWaveFormat.get(); }
    virtual void SetPWaveFormat(const TWaveFormatEx* format);
    // The format arrives from upstream.
    virtual void ChangePWaveFormat(const TWaveFormatEx* format);
    virtual void UpdateFormat();

    // Bytes per buffer: the actual size while opened, else the requested one.
    std::int32_t BufferSize() const { return GetBufferSize(); }
    virtual std::int32_t GetBufferSize() const;
    virtual void SetBufferSize(std::int32_t value);

    bool IsOpened() const { return FOpened; }
    bool IsStarted() const { return FStarted; }
    bool IsPaused() const { return FPaused; }

    // Chain notifications.
    virtual void Opened();
    virtual void Closed();
    virtual void Started();
    virtual void Paused();
    virtual void Restarted();
    virtual void Stopped();
    virtual void ChainReset();
    virtual void Looped();
    // Push: fires OnBufferReady, then passes the buffer to Output.
    virtual void BufferReady(TSndWaveHdr* lpWaveHdr);
    // Pull: fires OnBufferLoad, then asks Input to fill the buffer.
    virtual void BufferLoad(TSndWaveHdr* lpWaveHdr, bool& moreBuffers);

    virtual void ConnectionChanged(TSndDSPComponent* component, bool outputSide, const QString& propName);
    virtual void SetInputLink(TSndDSPComponent* component, const QString& propName);
    virtual void SetOutputLink(TSndDSPComponent* component, const QString& propName);
    virtual bool CanConnectInput(TSndDSPComponent* component) const;
    virtual bool CanConnectOutput(TSndDSPComponent* component) const;

    TSndBufferEvent OnBufferReady;
    TSndBufferLoadEvent OnBufferLoad;

protected:
    // Set while the component is being destroyed or loaded: no format is
    // passed on then.
    bool Destroying() const { return FDestroying; }
    void SetDestroying() { FDestroying = true; }
    bool Loading() const { return FLoading; }
    void SetLoading(bool value) { FLoading = value; }

    // Read on device threads while the GUI thread changes them.
    std::atomic<bool> FOpened{false};
    std::atomic<bool> FStarted{false};
    std::atomic<bool> FPaused{false};
    std::int32_t FRequestedBufferSize = DefaultBufferSize;
    std::int32_t FActualBufferSize = DefaultBufferSize;

private:
    // The published property of this component named propName ("Input" or
    // "Output").
    TSndDSPComponent* LinkByName(const QString& propName) const;

    TSndDSPComponent* FInput = nullptr;
    TSndDSPComponent* FOutput = nullptr;
    QString FInputLinkName;
    QString FOutputLinkName;
    TWaveFormatHolder FPWaveFormat;
    bool FInputLinkable = false;
    bool FOutputLinkable = false;
    bool FDestroying = false;
    bool FLoading = false;
};

// The devices' base: life-cycle notifications walk the chain between devices.
class TSndCustomSoundComponent : public TSndDSPComponent {
public:
    explicit TSndCustomSoundComponent(QObject* owner = nullptr);

    // True when, at the last Opened, another device lay before this one.
    bool DeviceUpstream() const { return FDeviceUpstream; }

    void Opened() override;
    void Closed() override;
    void Started() override;
    void Paused() override;
    void Restarted() override;
    void Stopped() override;
    void ChainReset() override;
    void Looped() override;

    virtual void SetNumBuffers(std::int32_t value) = 0;
    virtual std::int32_t GetNumBuffers() const = 0;
    virtual void SetDeviceID(TSndDeviceId value) = 0;
    virtual TSndDeviceId GetDeviceID() const = 0;
    virtual void SetProductName(const QString& value) = 0;
    virtual QString GetProductName() const = 0;
    virtual void SetCallBackMode(TSndCBMode value) = 0;
    virtual TSndCBMode GetCallBackMode() const = 0;

protected:
    bool FDeviceUpstream = false;

private:
    enum TWalk { wOpened, wClosed, wStarted, wPaused, wRestarted, wStopped, wChainReset, wLooped };
    void Walk(TWalk kind);
    static void Notify(TSndDSPComponent* component, TWalk kind);
    // The base-class operation on this device.
    void Own(TWalk kind);
};

// The playback device's base.
class TSndCustomWaveOutComponent : public TSndCustomSoundComponent {
public:
    using TSndCustomSoundComponent::TSndCustomSoundComponent;

    virtual std::int64_t GetPosition() = 0;
    virtual void Open() = 0;
    virtual void Close() = 0;
    virtual void Reset() = 0;
    virtual void Start() = 0;
    virtual void Pause() = 0;
    virtual void Restart() = 0;
    virtual void Stop() = 0;
};

bool IsSoundDevice(const TSndDSPComponent* component);

// ---------------------------------------------------------------- threads

class TSndThreadEx : public QThread {
public:
    using QThread::QThread;
};

// A device's worker thread; registered while it exists. Created not running
// (start() runs it).
class TSndDSPThread : public TSndThreadEx {
public:
    explicit TSndDSPThread(TSndCustomSoundComponent* device);
    ~TSndDSPThread() override;
    TSndCustomSoundComponent* Device() const { return FDevice; }

private:
    TSndCustomSoundComponent* FDevice;
};

// Runs method on the GUI thread when called from a registered device thread
// (the device thread waits until it has run, and what it throws is raised
// again there); otherwise runs it directly.
void CallInMainThread(const std::function<void()>& method);
// On the GUI thread: waits until ready() holds, running meanwhile the calls
// that device threads make through CallInMainThread, so that a device thread
// the wait depends on never waits for the GUI thread in turn. ready() is
// tested again at every WakeMainThreadWaits.
void WaitServingMainThreadCalls(const std::function<bool()>& ready);
// Wakes the waits of WaitServingMainThreadCalls (after what they wait for
// may have changed).
void WakeMainThreadWaits();

// The chain components and device threads that exist (for tests).
int DSPComponentCount();
int DSPThreadCount();
