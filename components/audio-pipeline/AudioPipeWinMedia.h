#pragma once

// The pipeline input for compressed audio files: MP3 and WMA, decoded
// through the media reader of libwma1 into interleaved 16-bit PCM at the
// file's own rate, mono or stereo.

#include "AudioPipeClasses.h"
#include "libwma1.h"

#include <cstdint>

// The channel request of the input.
enum TChannelsNumber { cnMaxAvailable, cnMonoOrStereo, cn5dot1, cn7dot1 };

class TWMIn : public TAudioTaggedFileIn {
public:
    explicit TWMIn(QObject* owner = nullptr);
    ~TWMIn() override;

    bool HighPrecision() const { return FHighPrecision; }
    // Ignored while busy or while OutputChannels is not cnMonoOrStereo; an
    // open file is reopened.
    void SetHighPrecision(bool value);
    TChannelsNumber OutputChannels() const { return FOutputChannels; }
    // Ignored while busy; any request other than cnMonoOrStereo also sets
    // HighPrecision. An open file is reopened. The reader mixes every file
    // down to at most two channels whatever is asked.
    void SetOutputChannels(TChannelsNumber value);

    // Hands out the decoded PCM to the real end of the stream. The length
    // announced at open is only an estimate (taken from the file's header) for
    // the progress; at the end of the stream the real total replaces it. Only
    // a range asked for with EndSample cuts the data. Without a duration in
    // the file the total stays 0 (unknown) to the end.
    void GetData(std::uint8_t*& buffer, std::uint32_t& bytes) override;

    // Hundredths of a second, from the file's header; 0 when unknown.
    std::uint32_t DurationCs() const { return FDurationCs; }

protected:
    void OpenFile() override;
    void CloseFile() override;
    void GetDataInternal(std::uint8_t*& buffer, std::uint32_t& bytes) override;
    bool SeekInternal(std::int64_t& sampleNum) override;

private:
    void Reopen();
    void CloseReader();

    wma_sync_reader FReader;
    std::uint32_t FDurationCs = 0;
    bool FHighPrecision = false;
    TChannelsNumber FOutputChannels = cnMonoOrStereo;
};
