#include "AudioPipeWinMedia.h"

#include "FFmpegLibs.h"

#include <cmath>
#include <mutex>

namespace {

int ChannelRequest(TChannelsNumber value)
{
    switch (value) {
    case cnMaxAvailable:
        return -1;
    case cn5dot1:
        return 6;
    case cn7dot1:
        return 8;
    case cnMonoOrStereo:
        break;
    }
    return 0;
}

}  // namespace

TWMIn::TWMIn(QObject* owner)
    : TAudioTaggedFileIn(owner)
{
}

TWMIn::~TWMIn()
{
    // The base classes cannot reach this class's CloseFile any more.
    std::lock_guard<std::recursive_mutex> guard(FOpenLock);
    CloseReader();
}

void TWMIn::Reopen()
{
    std::lock_guard<std::recursive_mutex> guard(FOpenLock);
    if (FOpenCount > 0) {
        CloseFile();
        OpenFile();
    }
}

void TWMIn::SetHighPrecision(bool value)
{
    if (FDelivering || FOutputChannels != cnMonoOrStereo)
        return;
    FHighPrecision = value;
    Reopen();
}

void TWMIn::SetOutputChannels(TChannelsNumber value)
{
    if (FDelivering)
        return;
    if (value != cnMonoOrStereo)
        FHighPrecision = true;
    FOutputChannels = value;
    Reopen();
}

void TWMIn::OpenFile()
{
    std::lock_guard<std::recursive_mutex> guard(FOpenLock);
    if (FOpenCount > 0)
        return;
    if (!FSourceStream && FFileName.isEmpty())
        throw EAudioException(QStringLiteral("File name is not assigned"));
    // The decoder's libraries are loaded on first use, like the encoder's.
    if (!FFmpegLoad())
        throw EAudioException(FFmpegLoadError());
    if (!FSourceStream) {
        FSourceStream = new TAudioFileStream(FFileName, TAudioFileStream::fmOpenReadShareDenyWrite);
        FStreamBorrowed = false;
    }
    const bool hasReader = WmaOpen(FReader, FSourceStream, FHighPrecision, ChannelRequest(FOutputChannels));
    FReadable = FReader.HasAudio;
    if (!hasReader) {
        // Not open: nothing of the file is kept.
        FReadable = false;
        if (!FStreamBorrowed)
            FreeOwnedStream();
        else if (!FSourceStream->isSequential())
            FSourceStream->seek(0);
        return;
    }
    if (FReader.IsProtected) {
        CloseReader();
        FReadable = false;
        if (!FStreamBorrowed)
            FreeOwnedStream();
        throw EAudioException(QStringLiteral("File is protected"));
    }
    FDurationCs = WmaDurationCs(FReader);
    WmaGetFormat(FReader, FChannels, FBitsPerSample, FSampleFreq);
    if (FReader.HasAudio && FDurationCs > 0) {
        FFrameTotal = static_cast<std::int64_t>(std::trunc(FDurationCs / 100.0 * FSampleFreq));
        FByteTotal = FFrameTotal * FChannels * (FBitsPerSample / 8);
    } else {
        // No duration: the totals stay 0 (progress stays 0) and the data
        // run to the end of the stream.
        FFrameTotal = 0;
        FByteTotal = 0;
    }
    FCanSeek = !FSourceStream->isSequential();

    TId3v2Tags& tags = Id3v2Tags();
    tags.Clear();
    tags.SetArtist(WmaGetAuthor(FReader));
    tags.SetTitle(WmaGetTitle(FReader));
    tags.SetAlbum(WmaGetAlbum(FReader));
    tags.SetGenre(WmaGetGenre(FReader));
    tags.SetTrack(WmaGetTrack(FReader));
    tags.SetYear(WmaGetYear(FReader));
    tags.SetComment(WmaGetNotice(FReader));
    ++FOpenCount;
}

void TWMIn::CloseReader()
{
    WmaClose(FReader);
    FDurationCs = 0;
}

void TWMIn::CloseFile()
{
    std::lock_guard<std::recursive_mutex> guard(FOpenLock);
    if (FOpenCount <= 0)
        return;
    CloseReader();
    FOpenCount = 0;
    if (FStreamBorrowed) {
        if (FSourceStream && !FSourceStream->isSequential())
            FSourceStream->seek(0);
    } else {
        FreeOwnedStream();
    }
}

void TWMIn::GetDataInternal(std::uint8_t*& buffer, std::uint32_t& bytes)
{
    buffer = nullptr;
    if (!FDelivering || FOpenCount <= 0)
        throw EAudioException(QStringLiteral("The Stream is not opened"));
    const std::uint32_t frameBytes = FChannels * (FBitsPerSample / 8);
    if (frameBytes > 0) {
        bytes -= bytes % frameBytes;
        if (bytes == 0)
            bytes = frameBytes;
    }
    if (!WmaGetData(FReader, buffer, bytes))
        throw EAudioException(FReader.Error);
}

bool TWMIn::SeekInternal(std::int64_t& sampleNum)
{
    if (!FDelivering || FSampleFreq == 0)
        return false;
    if (sampleNum <= 0 && FSourceStream && !FSourceStream->isSequential()) {
        // Back to the start: the reader is opened afresh, so that the stream
        // starts exactly as it did the first time (encoder delay and all).
        WmaOpen(FReader, FSourceStream, FHighPrecision, ChannelRequest(FOutputChannels));
        return FReader.HasAudio;
    }
    const double cs = std::round(static_cast<double>(sampleNum) * 100.0 / FSampleFreq);
    return WmaSeekCs(FReader, static_cast<std::uint32_t>(std::max(0.0, cs)));
}

void TWMIn::GetData(std::uint8_t*& buffer, std::uint32_t& bytes)
{
    std::lock_guard<std::recursive_mutex> guard(FDataLock);
    if (FDrained) {
        buffer = nullptr;
        bytes = 0;
        return;
    }
    const std::uint32_t wanted = bytes;
    const bool ranged = FEndSample != -1;
    auto account = [&](bool cut) {
        if (bytes == 0) {
            FDrained = true;
            // The real end: the announced length becomes the true one, so
            // that outputs size their headers by what was delivered.
            if (!ranged && FByteTotal > 0)
                FByteTotal = FBytesDone.load();
            return;
        }
        FBytesDone += bytes;
        const std::int64_t total = FByteTotal;
        if (ranged) {
            if (total > 0 && FBytesDone >= total) {
                FDrained = true;
                if (cut && FBytesDone > total) {
                    bytes -= static_cast<std::uint32_t>(FBytesDone - total);
                    FBytesDone = total;
                }
            }
        } else if (total > 0 && FBytesDone > total) {
            // Longer than the header said: the estimate follows the data.
            FByteTotal = FBytesDone.load();
        }
    };
    GetDataInternal(buffer, bytes);
    account(true);
    if (FDrained && FLoop) {
        RewindForNextPass();
        bytes = wanted;
        GetDataInternal(buffer, bytes);
        account(false);
    }
}
