#include "MMDSPObj.h"

#include "GuiCalls.h"

#include <QtCore/QCoreApplication>

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

// The chain components and device threads that exist. Created and destroyed
// on the GUI thread; guarded all the same.
std::mutex& RegistryLock()
{
    static std::mutex lock;
    return lock;
}

std::vector<TSndDSPComponent*>& Components()
{
    static std::vector<TSndDSPComponent*> list;
    return list;
}

std::vector<TSndDSPThread*>& Threads()
{
    static std::vector<TSndDSPThread*> list;
    return list;
}

std::vector<TSndDSPComponent*> ComponentsSnapshot()
{
    const std::lock_guard<std::mutex> guard(RegistryLock());
    return Components();
}

bool IsRegistered(TSndDSPComponent* component)
{
    const std::lock_guard<std::mutex> guard(RegistryLock());
    const auto& list = Components();
    return std::find(list.begin(), list.end(), component) != list.end();
}

// The calls of device threads waiting for the GUI thread, in order.
TGuiCalls& MainCalls()
{
    static TGuiCalls calls;
    return calls;
}

const QString InputName = QStringLiteral("Input");
const QString OutputName = QStringLiteral("Output");

}  // namespace

// ---------------------------------------------------------------- TSndDSPComponent

TSndCustomDSPComponent::TSndCustomDSPComponent(QObject* owner)
    : TSndNonVisualComponent(owner)
{
}

TSndDSPComponent::TSndDSPComponent(QObject* owner)
    : TSndCustomDSPComponent(owner)
{
    const std::lock_guard<std::mutex> guard(RegistryLock());
    Components().push_back(this);
}

TSndDSPComponent::~TSndDSPComponent()
{
    FDestroying = true;
    SetInput(nullptr);
    SetOutput(nullptr);
    FPWaveFormat.reset();
    const std::lock_guard<std::mutex> guard(RegistryLock());
    auto& list = Components();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

TSndDSPComponent* TSndDSPComponent::LinkByName(const QString& propName) const
{
    if (propName == InputName)
        return FInput;
    if (propName == OutputName)
        return FOutput;
    return nullptr;
}

void TSndDSPComponent::SetInput(TSndDSPComponent* value)
{
    if (value == FInput)
        return;
    if (value && !CanConnectInput(value))
        return;
    Stopped();
    if (FInput) {
        for (TSndDSPComponent* c : ComponentsSnapshot())
            if (IsRegistered(c))
                c->ConnectionChanged(this, false, InputName);
        FInput = nullptr;
        FInputLinkName.clear();
        ChangePWaveFormat(nullptr);
    }
    if (value) {
        for (TSndDSPComponent* c : ComponentsSnapshot())
            if (IsRegistered(c))
                c->ConnectionChanged(value, true, OutputName);
        FInput = value;
        FInputLinkName = OutputName;
        value->SetOutputLink(this, InputName);
        UpdateFormat();
    }
}

void TSndDSPComponent::SetOutput(TSndDSPComponent* value)
{
    if (value == FOutput)
        return;
    if (value && !CanConnectOutput(value))
        return;
    Stopped();
    if (FOutput) {
        TSndDSPComponent* old = FOutput;
        for (TSndDSPComponent* c : ComponentsSnapshot())
            if (IsRegistered(c))
                c->ConnectionChanged(this, true, OutputName);
        old->ChangePWaveFormat(nullptr);
        FOutput = nullptr;
        FOutputLinkName.clear();
    }
    if (value) {
        for (TSndDSPComponent* c : ComponentsSnapshot())
            if (IsRegistered(c))
                c->ConnectionChanged(value, false, InputName);
        FOutput = value;
        FOutputLinkName = InputName;
        value->SetInputLink(this, OutputName);
        UpdateFormat();
    }
}

void TSndDSPComponent::ConnectionChanged(TSndDSPComponent* component, bool outputSide, const QString& propName)
{
    if (!component)
        return;
    if (outputSide) {
        if (FInput == component && FInputLinkName == propName && component->LinkByName(propName) == this) {
            FInput = nullptr;
            FInputLinkName.clear();
        }
    } else {
        if (FOutput == component && FOutputLinkName == propName && component->LinkByName(propName) == this) {
            FOutput = nullptr;
            FOutputLinkName.clear();
        }
    }
}

void TSndDSPComponent::SetInputLink(TSndDSPComponent* component, const QString& propName)
{
    FInput = component;
    FInputLinkName = component ? propName : QString();
}

void TSndDSPComponent::SetOutputLink(TSndDSPComponent* component, const QString& propName)
{
    FOutput = component;
    FOutputLinkName = component ? propName : QString();
}

bool TSndDSPComponent::CanConnectInput(TSndDSPComponent* component) const
{
    if (!component || component == this)
        return false;
    if (!component->HasOutputProperty() && !component->OutputLinkable())
        return false;
    return FOutput ? FOutput->CanConnectInput(component) : true;
}

bool TSndDSPComponent::CanConnectOutput(TSndDSPComponent* component) const
{
    if (!component || component == this)
        return false;
    if (!component->HasInputProperty() && !component->InputLinkable())
        return false;
    return FInput ? FInput->CanConnectOutput(component) : true;
}

void TSndDSPComponent::SetPWaveFormat(const TWaveFormatEx* format)
{
    if (format != FPWaveFormat.get()) {
        if (FStarted)
            Stopped();
        FPWaveFormat.reset(CopyWaveFormat(format));
    }
    if (!FLoading && !FDestroying && FOutput)
        FOutput->ChangePWaveFormat(FPWaveFormat.get());
}

void TSndDSPComponent::ChangePWaveFormat(const TWaveFormatEx* format)
{
    SetPWaveFormat(format);
}

void TSndDSPComponent::UpdateFormat()
{
    if (FLoading || FDestroying)
        return;
    if (FInput)
        ChangePWaveFormat(FInput->GetPWaveFormat());
    else if (FOutput)
        FOutput->ChangePWaveFormat(GetPWaveFormat());
}

std::int32_t TSndDSPComponent::GetBufferSize() const
{
    return FOpened ? FActualBufferSize : FRequestedBufferSize;
}

void TSndDSPComponent::SetBufferSize(std::int32_t value)
{
    if (FStarted)
        Stopped();
    FRequestedBufferSize = value;
}

void TSndDSPComponent::Opened()
{
    if (FOpened)
        return;
    FActualBufferSize = FRequestedBufferSize;
    const TWaveFormatEx* format = GetPWaveFormat();
    if (format && format->nBlockAlign > 0) {
        const std::int32_t align = format->nBlockAlign;
        FActualBufferSize = std::max(align, FRequestedBufferSize / align * align);
    }
    FOpened = true;
    FStarted = false;
    FPaused = false;
}

void TSndDSPComponent::Closed()
{
    FOpened = false;
}

void TSndDSPComponent::Started()
{
    if (FOpened)
        FStarted = true;
}

void TSndDSPComponent::Paused()
{
    FPaused = true;
}

void TSndDSPComponent::Restarted()
{
    FPaused = false;
}

void TSndDSPComponent::Stopped()
{
    if (FStarted) {
        FStarted = false;
        FPaused = false;
    }
}

void TSndDSPComponent::ChainReset()
{
}

void TSndDSPComponent::Looped()
{
}

void TSndDSPComponent::BufferReady(TSndWaveHdr* lpWaveHdr)
{
    if (OnBufferReady)
        OnBufferReady(this, lpWaveHdr);
    if (FOutput)
        FOutput->BufferReady(lpWaveHdr);
}

void TSndDSPComponent::BufferLoad(TSndWaveHdr* lpWaveHdr, bool& moreBuffers)
{
    if (OnBufferLoad)
        OnBufferLoad(this, lpWaveHdr, moreBuffers);
    if (FInput)
        FInput->BufferLoad(lpWaveHdr, moreBuffers);
}

// ---------------------------------------------------------------- devices

bool IsSoundDevice(const TSndDSPComponent* component)
{
    return dynamic_cast<const TSndCustomSoundComponent*>(component) != nullptr;
}

TSndCustomSoundComponent::TSndCustomSoundComponent(QObject* owner)
    : TSndDSPComponent(owner)
{
}

void TSndCustomSoundComponent::Notify(TSndDSPComponent* component, TWalk kind)
{
    switch (kind) {
    case wOpened: component->Opened(); break;
    case wClosed: component->Closed(); break;
    case wStarted: component->Started(); break;
    case wPaused: component->Paused(); break;
    case wRestarted: component->Restarted(); break;
    case wStopped: component->Stopped(); break;
    case wChainReset: component->ChainReset(); break;
    case wLooped: component->Looped(); break;
    }
}

void TSndCustomSoundComponent::Own(TWalk kind)
{
    switch (kind) {
    case wOpened: TSndDSPComponent::Opened(); break;
    case wClosed: TSndDSPComponent::Closed(); break;
    case wStarted: TSndDSPComponent::Started(); break;
    case wPaused: TSndDSPComponent::Paused(); break;
    case wRestarted: TSndDSPComponent::Restarted(); break;
    case wStopped: TSndDSPComponent::Stopped(); break;
    case wChainReset: TSndDSPComponent::ChainReset(); break;
    case wLooped: TSndDSPComponent::Looped(); break;
    }
}

void TSndCustomSoundComponent::Walk(TWalk kind)
{
    const bool endsBeforeDevice = kind == wClosed || kind == wStopped;
    if (endsBeforeDevice) {
        // The next device downstream hears it first.
        for (TSndDSPComponent* c = Output(); c; c = c->Output())
            if (IsSoundDevice(c)) {
                Notify(c, kind);
                break;
            }
    }
    // The start: the first component upstream, or this device when another
    // device lies before it.
    TSndDSPComponent* start = this;
    bool upstream = false;
    for (TSndDSPComponent* c = Input(); c; c = c->Input()) {
        if (IsSoundDevice(c)) {
            upstream = true;
            start = this;
            break;
        }
        start = c;
    }
    if (kind == wOpened)
        FDeviceUpstream = upstream;
    const std::int32_t bufferSize = GetBufferSize();
    for (TSndDSPComponent* c = start; c; c = c->Output()) {
        if (c == this)
            continue;
        const bool device = IsSoundDevice(c);
        if (device && endsBeforeDevice)
            break;
        if (kind == wOpened)
            c->SetBufferSize(bufferSize);
        Notify(c, kind);
        if (device)
            break;
    }
    Own(kind);
}

void TSndCustomSoundComponent::Opened()
{
    Walk(wOpened);
}

void TSndCustomSoundComponent::Closed()
{
    Walk(wClosed);
}

void TSndCustomSoundComponent::Started()
{
    Walk(wStarted);
}

void TSndCustomSoundComponent::Paused()
{
    Walk(wPaused);
}

void TSndCustomSoundComponent::Restarted()
{
    Walk(wRestarted);
}

void TSndCustomSoundComponent::Stopped()
{
    Walk(wStopped);
}

void TSndCustomSoundComponent::ChainReset()
{
    Walk(wChainReset);
}

void TSndCustomSoundComponent::Looped()
{
    Walk(wLooped);
}

// ---------------------------------------------------------------- threads

TSndDSPThread::TSndDSPThread(TSndCustomSoundComponent* device)
    : FDevice(device)
{
    const std::lock_guard<std::mutex> guard(RegistryLock());
    Threads().push_back(this);
}

TSndDSPThread::~TSndDSPThread()
{
    const std::lock_guard<std::mutex> guard(RegistryLock());
    auto& list = Threads();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void CallInMainThread(const std::function<void()>& method)
{
    if (!method)
        return;
    QCoreApplication* app = QCoreApplication::instance();
    QThread* current = QThread::currentThread();
    bool viaGui = false;
    if (app && current != app->thread()) {
        const std::lock_guard<std::mutex> guard(RegistryLock());
        const auto& list = Threads();
        viaGui = std::any_of(list.begin(), list.end(),
                             [current](TSndDSPThread* t) { return static_cast<QThread*>(t) == current; });
    }
    if (viaGui)
        MainCalls().Call(method);
    else
        method();
}

void WaitServingMainThreadCalls(const std::function<bool()>& ready)
{
    MainCalls().WaitServing(ready);
}

void WakeMainThreadWaits()
{
    MainCalls().Wake();
}

int DSPComponentCount()
{
    const std::lock_guard<std::mutex> guard(RegistryLock());
    return static_cast<int>(Components().size());
}

int DSPThreadCount()
{
    const std::lock_guard<std::mutex> guard(RegistryLock());
    return static_cast<int>(Threads().size());
}
