#include "AudioPipeLAME.h"

#include "AnsiText.h"
#include "ByteOrder.h"
#include "AudioPipeProcs.h"

#include <QtCore/QFile>

#include <cstring>

namespace {

// Binds the encoder library before the output's base is built, so that a
// missing library leaves no half-made output behind.
QObject* BindEncoder(QObject* owner)
{
    if (!LameAcquire())
        throw EAudioException(LameLibraryName() + QStringLiteral(" library could not be loaded."));
    return owner;
}

// The text as ANSI, at most maxChars characters and maxBytes bytes, never
// cutting a character in two.
QByteArray AnsiField(const QString& text, int maxChars, int maxBytes)
{
    QByteArray result;
    int chars = 0;
    for (int i = 0; i < text.size() && chars < maxChars; ++chars) {
        const int width = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray piece = StringToAnsi(text.mid(i, width));
        if (result.size() + piece.size() > maxBytes)
            break;
        result += piece;
        i += width;
    }
    return result;
}

void PutField(QByteArray& trailer, int offset, const QByteArray& field)
{
    std::memcpy(trailer.data() + offset, field.constData(), static_cast<std::size_t>(field.size()));
}

void PutLE32(TLameConfig& config, std::size_t offset, std::int32_t value)
{
    ::PutLE32(reinterpret_cast<unsigned char*>(&config) + offset, static_cast<std::uint32_t>(value));
}

}  // namespace

std::uint32_t MP3BitRateKbps(TMP3BitRate rate)
{
    static constexpr std::uint32_t Kbps[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320};
    const int index = static_cast<int>(rate);
    return index >= 0 && index < 16 ? Kbps[index] : 0;
}

TMP3Out::TMP3Out(QObject* owner)
    : TAudioTaggedFileOut(BindEncoder(owner))
{
}

TMP3Out::~TMP3Out()
{
    DestroyWorker();
    if (FEncoder)
        beCloseStream(FEncoder);
    LameRelease();
}

TLameConfig TMP3Out::MakeConfig(std::uint32_t sampleRate) const
{
    // Stored field by field in little-endian order, whatever the host's.
    TLameConfig config;
    std::memset(&config, 0, sizeof config);
    PutLE32(config, 0, 256);
    PutLE32(config, 4, 1);
    PutLE32(config, 8, 331);
    PutLE32(config, 12, static_cast<std::int32_t>(sampleRate));
    PutLE32(config, 16, 0);
    PutLE32(config, 20, static_cast<std::int32_t>(FMode));
    PutLE32(config, 24, static_cast<std::int32_t>(MP3BitRateKbps(FBitRate)));
    PutLE32(config, 28, static_cast<std::int32_t>(MP3BitRateKbps(FMaximumBitrate)));
    PutLE32(config, 52, FCRC);
    PutLE32(config, 56, FCopyright);
    PutLE32(config, 60, FOriginal);
    PutLE32(config, 64, FEnableVBR);
    PutLE32(config, 68, FEnableVBR);
    PutLE32(config, 72, FEnableVBR ? static_cast<std::int32_t>(FVBRQuality) : 0);
    PutLE32(config, 76, static_cast<std::int32_t>(MP3BitRateKbps(FAverageBitrate)));
    PutLE32(config, 80, FAverageBitrate != mbrAuto ? 4 : 2);
    PutLE32(config, 84, FEnableBitReservoir ? 0 : -1);
    PutLE32(config, 88, FStrinctISO ? -1 : 0);
    return config;
}

QByteArray TMP3Out::MakeTrailer() const
{
    QByteArray trailer(128, '\0');
    std::memcpy(trailer.data(), "TAG", 3);
    const TId3v1Tags& tags = *FId3v1Tags;
    PutField(trailer, 3, AnsiField(tags.Title(), 30, 30));
    PutField(trailer, 33, AnsiField(tags.Artist(), 30, 30));
    PutField(trailer, 63, AnsiField(tags.Album(), 30, 30));
    const std::uint16_t year = tags.Year();
    if (year >= 1000 && year <= 9999)
        PutField(trailer, 93, QByteArray::number(year));
    PutField(trailer, 97, AnsiField(tags.Comment(), 30, 30));
    return trailer;
}

void TMP3Out::WriteBytes(const void* data, std::uint32_t count)
{
    if (count == 0)
        return;
    if (!FSourceStream
        || FSourceStream->write(static_cast<const char*>(data), count) != static_cast<qint64>(count))
        throw EAudioException(QStringLiteral("Cannot write to the MP3 file."));
}

void TMP3Out::Prepare()
{
    FFileCreated = false;
    FInfoTagReserved = false;
    if (!FSourceStream) {
        if (FFileName.isEmpty())
            throw EAudioException(QStringLiteral("File name is not assigned."));
        FSourceStream = new TAudioFileStream(FFileName, TAudioFileStream::fmCreate);
        FStreamBorrowed = false;
        FFileCreated = true;
    }
    FStreamStart = FSourceStream->isSequential() ? -1 : FSourceStream->pos();
    TAudioInput* input = Input();
    input->Init();

    // The encoder takes 16-bit PCM, one or two channels; 8-bit (unsigned),
    // 24- and 32-bit samples (float files arrive as 32-bit) are converted on
    // the way in.
    const std::uint32_t bits = input->GetBitsPerSample();
    const std::uint32_t channels = input->GetChannels();
    const std::uint32_t rate = input->GetSampleRate();
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32)
        throw EAudioException(QStringLiteral("Cannot encode %1 bit sound into MP3.").arg(bits));
    if (channels < 1 || channels > 2)
        throw EAudioException(QStringLiteral("Cannot encode %1 channels into MP3.").arg(channels));
    FInBytesPerSample = bits / 8;

    FConfig = MakeConfig(rate);
    // The first frame is kept for the information frame (encoder delay and
    // padding, so that decoders trim them; for VBR also the seek table), in
    // constant bit rate too, whenever the finished output can be rewritten
    // there. An output that cannot seek gets no placeholder that would only
    // decode as a frame of silence.
    FInfoTagReserved = FStreamStart >= 0;
    FConfig.WriteVbrHeader = FInfoTagReserved ? -1 : 0;
    std::uint32_t samplesPerChunk = 0;
    const int result = beInitStream(FConfig, channels, samplesPerChunk, FOutBufSize, FEncoder);
    if (result != LAME_OK) {
        FEncoder = nullptr;
        throw EAudioException(QStringLiteral("InitStream Error : ") + QString::number(result));
    }
    // One round: the library's chunk of samples, as the input delivers them
    // and as 16-bit samples for the encoder.
    FInBufSize = samplesPerChunk * FInBytesPerSample;
    FInBuf.assign(FInBufSize, 0);
    FSamples.assign(samplesPerChunk, 0);
    FOutBuf.assign(FOutBufSize, 0);
}

bool TMP3Out::DoOutput(bool abort)
{
    if (abort)
        return false;
    bool endOfInput = false;
    const int got = Input()->FillBuffer(FInBuf.data(), static_cast<int>(FInBufSize), endOfInput);
    if (got <= 0)
        return false;
    const std::uint32_t count = static_cast<std::uint32_t>(got) / FInBytesPerSample;
    ConvertTo16Bit(FInBuf.data(), count, FInBytesPerSample, FSamples.data());
    std::uint32_t produced = 0;
    const int result = beEncodeChunk(FEncoder, count, FSamples.data(), FOutBuf.data(), produced);
    if (result != LAME_OK)
        throw EAudioException(QStringLiteral("EncodeChunk Error : ") + QString::number(result));
    WriteBytes(FOutBuf.data(), produced);
    return !endOfInput;
}

void TMP3Out::Done()
{
    bool failed = RunFailed();
    if (FEncoder && !failed) {
        try {
            std::uint32_t produced = 0;
            if (beDeinitStream(FEncoder, FOutBuf.data(), produced) != LAME_OK)
                throw EAudioException(QStringLiteral("DeinitStream Error"));
            WriteBytes(FOutBuf.data(), produced);
            const QByteArray trailer = MakeTrailer();
            WriteBytes(trailer.constData(), static_cast<std::uint32_t>(trailer.size()));
            if (FInfoTagReserved) {
                // Into the frame kept for it; the stream is left at its end.
                const qint64 end = FSourceStream->pos();
                if (beWriteInfoTag(FEncoder, *FSourceStream, FStreamStart) != LAME_OK || !FSourceStream->seek(end))
                    throw EAudioException(QStringLiteral("Cannot write the MP3 information frame."));
            }
            if (auto* file = dynamic_cast<QFile*>(FSourceStream); file && !file->flush())
                throw EAudioException(QStringLiteral("Cannot write to the MP3 file."));
        } catch (const EAudioException& e) {
            SetLastErrorText(e.Message());
            failed = true;
        }
    }
    FreeOwnedStream();  // closes a file the run created
    if (FEncoder) {
        beCloseStream(FEncoder);
        FEncoder = nullptr;
    }
    FInBuf.clear();
    FInBuf.shrink_to_fit();
    FSamples.clear();
    FSamples.shrink_to_fit();
    FOutBuf.clear();
    FOutBuf.shrink_to_fit();
    // A run that failed or was stopped leaves no file that passes for a
    // finished one.
    if (failed && FFileCreated)
        QFile::remove(FFileName);
    FFileCreated = false;
    FInfoTagReserved = false;
    if (TAudioInput* input = Input()) {
        try {
            input->Flush();
        } catch (...) {
        }
    }
}
