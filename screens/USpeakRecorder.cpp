#include "USpeakScreen.h"

#include <stdexcept>

std::unique_ptr<TSpeakRecorder> MakeWaveRecorder()
{
    class TNoRecorder : public TSpeakRecorder {
    public:
        void Start(const QString&) override { throw std::runtime_error("No recording device"); }
        void Stop() override {}
        bool Recording() const override { return false; }
        qint64 PositionMs() const override { return 0; }
    };
    return std::make_unique<TNoRecorder>();
}
