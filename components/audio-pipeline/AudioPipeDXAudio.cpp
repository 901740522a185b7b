#include "AudioPipeDXAudio.h"

#include <QtCore/QString>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

namespace {

constexpr int MaxPolls = 16;
constexpr std::uint32_t TailMs = 20;  // silence after the last sound

void SleepMs(std::uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

TDXAudioOut::TDXAudioOut(QObject* owner) : TAudioOutput(owner)
{
    DSEnumerate(FDevices);
    FDeviceCount = int(FDevices.Count);
}

TDXAudioOut::~TDXAudioOut()
{
    DestroyWorker();
    DSRelease(FDS);
}

void TDXAudioOut::SetFramesInBuffer(std::uint32_t v)
{
    if (v > 0)
        FFramesInBuffer = v;
}

void TDXAudioOut::Prepare()
{
    FReleased = false;
    if (FDeviceNumber < 0 || FDeviceNumber >= FDeviceCount)
        throw EAudioException(QStringLiteral("Invalid device number"));
    Input()->Init();
    FChannels = Input()->GetChannels();
    FSampleFreq = Input()->GetSampleRate();
    FBitsPerSample = Input()->GetBitsPerSample();
    FOutBits = FBitsPerSample == 8 ? 8 : 16;
    DSClear(FDS);
    if (DSCreate(FDS, FDevices.Items[FDeviceNumber].Id) != aeOk)
        throw EAudioException(QStringLiteral("Failed to create DirectSound device"));
    FBufferBytes = FFramesInBuffer * (FOutBits / 8) * FChannels;
    FBlock.assign(size_t(FFramesInBuffer) * (FBitsPerSample / 8) * FChannels, 0);
    FSilence = FBitsPerSample == 8 ? 128 : 0;
    TAudioFormat format;
    format.Channels = std::uint16_t(FChannels);
    format.SampleRate = FSampleFreq;
    format.BitsPerSample = std::uint16_t(FOutBits);
    const int code = DSInitOutput(FDS, format, FBufferBytes);
    if (code != aeOk)
        throw EAudioException(QStringLiteral("Failed to create DirectSound buffer")
                              + QStringLiteral("%1").arg(std::uint32_t(code), 8, 16, QLatin1Char('0')).toUpper());
    FFirstFill = true;
    FEndOfInput = false;
    FLastUnderflows = 0;
}

std::uint32_t TDXAudioOut::FillFromInput(std::uint32_t bytes)
{
    const std::uint32_t inFrame = FChannels * (FBitsPerSample / 8);
    const std::uint32_t outFrame = FChannels * (FOutBits / 8);
    const std::uint32_t frames = std::min<std::uint32_t>(bytes / outFrame, std::uint32_t(FBlock.size() / inFrame));
    bool end = false;
    const int got = Input()->FillBuffer(FBlock.data(), int(frames * inFrame), end);
    if (end)
        FEndOfInput = true;
    const std::uint32_t gotFrames = std::uint32_t(got) / inFrame;
    if (FBitsPerSample > 16) {
        // The two most significant bytes of each sample, packed in place.
        const std::uint32_t width = FBitsPerSample / 8;
        const std::uint32_t samples = gotFrames * FChannels;
        for (std::uint32_t i = 0; i < samples; ++i) {
            FBlock[i * 2] = FBlock[i * width + width - 2];
            FBlock[i * 2 + 1] = FBlock[i * width + width - 1];
        }
    }
    const std::uint32_t outBytes = gotFrames * outFrame;
    return DSWrite(FDS, FBlock.data(), outBytes);
}

void TDXAudioOut::PlayOut()
{
    FDS.State->Draining = true;
    const std::uint32_t frame = FChannels * (FOutBits / 8);
    const std::uint32_t tail = std::max<std::uint32_t>(1, FSampleFreq * TailMs / 1000) * frame;
    DSFillSilence(FDS, FSilence, std::min(tail, DSGetFree(FDS)));
    // Every byte plays to its end; a device that stops playing ends the run
    // with an error instead of a hang.
    const std::uint32_t step = std::clamp<std::uint32_t>(FPollingInterval, 1, 100);
    // Progress: the device's position moved or a piece came back.
    auto mark = [this] { return std::make_pair(DSPlayedFrames(FDS), DSQueued(FDS)); };
    auto last = mark();
    int still = 0;
    while (DSQueued(FDS) > 0 && !FHalted) {
        SleepMs(step);
        const auto now = mark();
        if (now == last) {
            if (++still > MaxPolls * 200 / int(step)) {
                SetLastErrorText(QStringLiteral("Audio output error"));
                if (OnThreadException)
                    PostEvent(2, OnThreadException);
                break;
            }
        } else {
            still = 0;
            last = now;
        }
    }
}

bool TDXAudioOut::DoOutput(bool abort)
{
    if (!FPrepared)
        return false;
    if (FFirstFill) {
        FillFromInput(FBufferBytes);
        DSStart(FDS);
        FFirstFill = false;
    }
    if (abort) {
        DSStop(FDS);
        FPrepared = false;
        return false;
    }
    if (FEndOfInput) {
        FPrepared = false;
        PlayOut();
        DSStop(FDS);
        return false;
    }
    const std::uint32_t frame = FChannels * (FOutBits / 8);
    std::uint32_t free = 0;
    // Room in the ring comes back a piece at a time; a device that plays on
    // is not stuck, however short the polling interval. Only polls during
    // which the device played nothing count towards the limit.
    std::int64_t played = DSPlayedFrames(FDS);
    for (int polls = 1;; ++polls) {
        if (polls > MaxPolls) {
            SetLastErrorText(QStringLiteral("Audio output error"));
            if (OnThreadException)
                PostEvent(2, OnThreadException);
            return false;
        }
        SleepMs(FPollingInterval);
        if (FHalted)
            return true;  // the stop ends the run after this round
        free = DSGetFree(FDS);
        free -= free % frame;
        if (free > 0)
            break;
        const std::int64_t now = DSPlayedFrames(FDS);
        if (now >= 0 && now != played) {
            played = now;
            polls = 0;
        }
    }
    FillFromInput(std::min(free, FBufferBytes));
    const std::uint32_t underflows = FDS.State->Underflows;
    if (underflows != FLastUnderflows) {
        FLastUnderflows = underflows;
        DSStop(FDS);
        if (OnUnderrun)
            PostEvent(2, OnUnderrun);
        DSRestart(FDS);
    }
    return true;
}

void TDXAudioOut::Done()
{
    if (!FReleased) {
        DSRelease(FDS);
        FBlock.clear();
        FBlock.shrink_to_fit();
    }
    if (Input())
        Input()->Flush();
    FReleased = true;
}
