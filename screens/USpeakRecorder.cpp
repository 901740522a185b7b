#include "USpeakScreen.h"

#include "MMWRec.h"

namespace {

// The screens' recorder: PCM 44.1 kHz, stereo, 16 bits, 20 buffers of 4096
// bytes on the device's worker thread, no length limit, the file replaced.
class TWaveRecorderLink : public TSpeakRecorder {
public:
    TWaveRecorderLink() : FRecorder(std::make_unique<TSndWaveRecorder>())
    {
        TSndWaveRecorder* r = FRecorder.get();
        r->Wave()->SetTimeFormat(tfMillisecond);
        r->Wave()->SetFileMustExist(false);
        r->SetBufferSize(4096);
        r->SetNumBuffers(20);
        r->SetDeviceID(MapperId);
        r->SetTimeFormat(tfMillisecond);
        r->SetCallBackMode(cmThread);
        r->SetMaxRecordTime(-1);
        r->SetMode(mStereo);
        r->SetBitLength(b16Bit);
        r->SetSampleRate(44100);
        r->SetOverwriteExisting(true);
        r->OnStop = [this](QObject*) {
            if (OnStop)
                OnStop();
        };
    }
    ~TWaveRecorderLink() override
    {
        FRecorder->OnStop = nullptr;
        try {
            FRecorder->Stop();
        } catch (...) {
        }
    }

    void Start(const QString& file) override
    {
        FRecorder->Wave()->SetFileName(file);
        FRecorder->Start();
    }
    void Stop() override { FRecorder->Stop(); }
    bool Recording() const override { return FRecorder->GetState() & dsStarted; }
    qint64 PositionMs() const override { return FRecorder->GetPosition(); }

private:
    std::unique_ptr<TSndWaveRecorder> FRecorder;
};

}  // namespace

std::unique_ptr<TSpeakRecorder> MakeWaveRecorder()
{
    return std::make_unique<TWaveRecorderLink>();
}
