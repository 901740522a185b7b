#include "AudioDevice.h"

#include "MultimediaModule.h"
#include "QtAudioDevice.h"

#include <atomic>
#include <mutex>
#include <utility>

namespace {
std::atomic<TAudioSystem*> GOverride{nullptr};

// The real system: made at first use (the multimedia module loaded then),
// destroyed by the guard.
std::mutex GRealLock;
TAudioSystem* GReal = nullptr;
bool GRealEnded = false;

// What stands in for the real system once the guard has ended: no device.
class TNoAudioSystem : public TAudioSystem {
public:
    int OutputDeviceCount() override { return 0; }
    int GetOutputDeviceCaps(int, TAudioDeviceCaps&) override { return aeNoDriver; }
    int OpenOutput(int, const TAudioFormat&, bool, TAudioCallback, std::unique_ptr<TAudioOutputStream>&) override
    {
        return aeNoDriver;
    }
    int GetOutputVolume(int, TAudioVolume&) override { return aeNoDriver; }
    int SetOutputVolume(int, TAudioVolume) override { return aeNoDriver; }
};

// What stands in for the real system when the multimedia module cannot be
// loaded: no device, and the driver's text says why.
class TUnloadedAudioSystem : public TNoAudioSystem {
public:
    explicit TUnloadedAudioSystem(QString reason) : FReason(std::move(reason)) {}
    QString ErrorText(int code) override { return code == aeNoDriver ? FReason : AudioErrorText(code); }

private:
    QString FReason;
};

TAudioSystem* MakeRealAudioSystem()
{
    if (std::unique_ptr<TQtAudioSystem> real = CreateQtAudioSystem())
        return real.release();
    return new TUnloadedAudioSystem(MultimediaModuleError());
}
}  // namespace

TAudioSystem& AudioSystem()
{
    if (TAudioSystem* system = GOverride.load())
        return *system;
    std::lock_guard<std::mutex> lock(GRealLock);
    if (!GReal) {
        if (GRealEnded) {
            static TNoAudioSystem none;
            return none;
        }
        GReal = MakeRealAudioSystem();
    }
    return *GReal;
}

void SetAudioSystem(TAudioSystem* system)
{
    GOverride.store(system);
}

TAudioSystemGuard::TAudioSystemGuard()
{
    std::lock_guard<std::mutex> lock(GRealLock);
    GRealEnded = false;
}

TAudioSystemGuard::~TAudioSystemGuard()
{
    TAudioSystem* ending = nullptr;
    {
        std::lock_guard<std::mutex> lock(GRealLock);
        ending = GReal;
        GReal = nullptr;
        GRealEnded = true;
    }
    // Closes the streams still open and joins their threads.
    delete ending;
}

