#include "UAudioConverters.h"

#include "ByteOrder.h"

#include "AudioPipeLAME.h"
#include "AudioPipeWave.h"
#include "AudioPipesmpeg.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QThread>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// How long an output may stay idle without reporting its end before a
// waiting caller gives up on it.
constexpr qint64 LostDoneTimeoutMs = 10000;

std::uint32_t GetLE32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

std::uint16_t GetLE16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

// Where the parts of a RIFF WAVE file lie, found by walking its chunks.
struct TWaveLayout {
    std::uint16_t FormatTag = 0;
    std::uint16_t Channels = 0;
    std::uint32_t SampleRate = 0;
    std::uint16_t BitsPerSample = 0;
    qint64 FileSize = 0;
    qint64 DataStart = 0;    // first byte of the sound
    qint64 DataBytes = 0;    // bytes of sound the file really holds
    qint64 AfterData = 0;    // first byte after the data chunk (and its pad byte)
};

bool ReadAt(QFile& file, qint64 pos, unsigned char* dest, qint64 count)
{
    return file.seek(pos) && file.read(reinterpret_cast<char*>(dest), count) == count;
}

// Walks the chunks from the RIFF header to the "data" chunk. A "data" size
// that claims more than the file holds, or the placeholders 0 and
// 0xFFFFFFFF of an unfinished file, stand for the bytes that are there.
bool WalkWave(QFile& file, TWaveLayout& layout)
{
    layout = TWaveLayout();
    layout.FileSize = file.size();
    unsigned char header[12];
    if (!ReadAt(file, 0, header, 12) || std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0)
        return false;
    bool fmtFound = false;
    qint64 pos = 12;
    while (pos + 8 <= layout.FileSize) {
        unsigned char chunk[8];
        if (!ReadAt(file, pos, chunk, 8))
            return false;
        const std::uint32_t size = GetLE32(chunk + 4);
        const qint64 body = pos + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            unsigned char fmt[16];
            if (size < 16 || !ReadAt(file, body, fmt, 16))
                return false;
            layout.FormatTag = GetLE16(fmt);
            layout.Channels = GetLE16(fmt + 2);
            layout.SampleRate = GetLE32(fmt + 4);
            layout.BitsPerSample = GetLE16(fmt + 14);
            fmtFound = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!fmtFound)
                return false;
            const qint64 present = layout.FileSize - body;
            qint64 bytes = size;
            if (size == 0 || size == 0xFFFFFFFFu || bytes > present)
                bytes = present;
            layout.DataStart = body;
            layout.DataBytes = bytes;
            layout.AfterData = body + bytes;
            if ((bytes & 1) && layout.AfterData < layout.FileSize)
                ++layout.AfterData;
            return true;
        }
        pos = body + size + (size & 1);
    }
    return false;
}

// Makes the two size fields of a PCM WAV file agree with its contents.
bool FixWaveSizes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    TWaveLayout layout;
    if (!WalkWave(file, layout) || layout.FileSize - 8 > 0xFFFFFFFFLL || layout.DataBytes > 0xFFFFFFFFLL)
        return false;
    unsigned char field[4];
    const struct {
        qint64 Pos;
        std::uint32_t Value;
    } sizes[] = {{4, std::uint32_t(layout.FileSize - 8)}, {layout.DataStart - 4, std::uint32_t(layout.DataBytes)}};
    for (const auto& s : sizes) {
        if (!ReadAt(file, s.Pos, field, 4))
            return false;
        if (GetLE32(field) == s.Value)
            continue;
        PutLE32(field, s.Value);
        if (!file.seek(s.Pos) || file.write(reinterpret_cast<const char*>(field), 4) != 4)
            return false;
    }
    return file.flush();
}

bool CopyRange(QFile& from, qint64 pos, qint64 count, QFile& to)
{
    if (!from.seek(pos))
        return false;
    std::vector<char> block(65536);
    while (count > 0) {
        const qint64 n = std::min<qint64>(count, static_cast<qint64>(block.size()));
        if (from.read(block.data(), n) != n || to.write(block.data(), n) != n)
            return false;
        count -= n;
    }
    return true;
}

// The silence byte: 0 for signed 16-bit samples, the midpoint 128 for
// unsigned 8-bit ones.
char SilenceByte(std::uint16_t bitsPerSample)
{
    return bitsPerSample == 8 ? char(0x80) : char(0);
}

}  // namespace

// ------------------------------------------------------------------ TLeadingSilenceIn

// The stage between the MP3 input and the WAV output of a lesson: it hands
// out the leading silence of its source's layout first and then the source's
// own sound, so that the output writes the padded file in one pass.
class TLeadingSilenceIn : public TAudioInput {
public:
    explicit TLeadingSilenceIn(TAudioInput* source) : FSource(source) {}

    std::uint32_t GetBitsPerSample() override { return FSource->GetBitsPerSample(); }
    std::uint32_t GetChannels() override { return FSource->GetChannels(); }
    std::uint32_t GetSampleRate() override { return FSource->GetSampleRate(); }
    void StopRequested() override { FSource->StopRequested(); }

protected:
    void InitInternal() override
    {
        FSource->Init();
        const auto channels = std::uint16_t(FSource->GetChannels());
        const auto bits = std::uint16_t(FSource->GetBitsPerSample());
        FLeft = LeadingSilenceBytes(FSource->GetSampleRate(), channels, bits);
        FFill.assign(std::min<std::size_t>(FLeft, 16384), SilenceByte(bits));
        FFrameBytes = std::uint16_t(channels * (bits / 8));
        FBytesDone = 0;
        const std::int64_t total = FSource->ByteTotal();
        FByteTotal = total > 0 ? total + std::int64_t(FLeft) : total;
    }
    void FlushInternal() override { FSource->Flush(); }
    void GetDataInternal(std::uint8_t*& buffer, std::uint32_t& bytes) override
    {
        if (FLeft > 0) {
            bytes = std::min({bytes, FLeft, std::uint32_t(FFill.size())});
            buffer = reinterpret_cast<std::uint8_t*>(FFill.data());
            FLeft -= bytes;
        } else {
            FSource->GetData(buffer, bytes);
        }
        if (buffer)
            FBytesDone += bytes;
    }

private:
    TAudioInput* FSource;
    std::uint32_t FLeft = 0;  // silence bytes still to hand out
    std::vector<char> FFill;
};

// ------------------------------------------------------------------ TAudioConverters

TAudioConverters::TAudioConverters(QWidget* owner)
    : FOwner(owner)
{
}

TAudioConverters::~TAudioConverters()
{
    const bool running = FRunning;
    // Outputs first: each stops its worker (without done event) before the
    // inputs it reads go away.
    OnDone = nullptr;
    OnProgress = nullptr;
    FWaveOut.reset();
    FMP3Out.reset();
    FSilenceIn.reset();
    FMP3In.reset();
    FWaveIn.reset();
    if (running && !FOutFileName.isEmpty())
        QFile::remove(FOutFileName);
}

void TAudioConverters::Prepare(std::uint8_t mode)
{
    FMode = mode;
    TAudioOutput* output = nullptr;
    if (mode == cmMp3ToWav) {
        if (!FMP3In)
            FMP3In = std::make_unique<TMP3In>();
        if (!FWaveOut)
            FWaveOut = std::make_unique<TWaveOut>();
        TAudioInput* input = FMP3In.get();
        if (FLeadingSilence) {
            if (!FSilenceIn)
                FSilenceIn = std::make_unique<TLeadingSilenceIn>(FMP3In.get());
            input = FSilenceIn.get();
        }
        if (FWaveOut->Input() != input)
            FWaveOut->SetInput(input);
        output = FWaveOut.get();
    } else if (mode == cmWavToMp3) {
        if (!FWaveIn)
            FWaveIn = std::make_unique<TWaveIn>();
        if (!FMP3Out)
            FMP3Out = std::make_unique<TMP3Out>();  // raises without encoder library
        if (FMP3Out->Input() != FWaveIn.get())
            FMP3Out->SetInput(FWaveIn.get());
        FMP3Out->SetBitRate(mbr128);
        FMP3Out->SetVBRQuality(mp3ql9);
        output = FMP3Out.get();
    } else {
        return;
    }
    output->OnDone = [this](QObject* sender) { OutputDone(sender); };
    output->OnProgress = [this](QObject* sender) { OutputProgress(sender); };
}

void TAudioConverters::SetInFileName(const QString& name)
{
    if (name != FInFileName)
        FInFileName = name;
}

void TAudioConverters::SetOutFileName(const QString& name)
{
    if (name != FOutFileName)
        FOutFileName = name;
}

TAudioOutput* TAudioConverters::ActiveOutput() const
{
    if (FMode == cmMp3ToWav)
        return FWaveOut.get();
    if (FMode == cmWavToMp3)
        return FMP3Out.get();
    return nullptr;
}

bool TAudioConverters::Start(std::uint8_t mode, const QString& inFile, const QString& outFile)
{
    // One conversion at a time: the end of the running one must not be
    // taken for the end of a new one.
    if (FRunning)
        return false;
    Prepare(mode);
    SetInFileName(inFile);
    SetOutFileName(outFile);
    FDone = false;
    FSucceeded = false;
    FCancelled = false;
    FLastError.clear();
    if (mode != cmMp3ToWav && mode != cmWavToMp3)
        return true;
    try {
        // An older file of that name must not pass for this conversion's
        // result when the conversion fails.
        if (QFileInfo::exists(FOutFileName) && !QFile::remove(FOutFileName)) {
            FLastError = QStringLiteral("Cannot replace ") + FOutFileName;
            return false;
        }
        TAudioOutput* output = nullptr;
        if (mode == cmMp3ToWav) {
            FMP3In->SetFileName(FInFileName);
            FWaveOut->SetFileName(FOutFileName);
            output = FWaveOut.get();
        } else {
            FWaveIn->SetFileName(FInFileName);
            const std::uint32_t channels = FWaveIn->GetChannels();
            if (!FWaveIn->GetValid()) {
                FLastError = QStringLiteral("Cannot read ") + FInFileName;
                return false;
            }
            FMP3Out->SetMode(channels == 1 ? mmMono : mmStereo);
            FMP3Out->SetFileName(FOutFileName);
            output = FMP3Out.get();
        }
        FRunOutput = output;
        FRunning = true;
        output->StartOutput();
        return true;
    } catch (const EAudioException& e) {
        FRunning = false;
        FRunOutput = nullptr;
        FLastError = e.Message();
    } catch (const std::exception& e) {
        FRunning = false;
        FRunOutput = nullptr;
        FLastError = QString::fromLocal8Bit(e.what());
    }
    return false;
}

bool TAudioConverters::Convert(std::uint8_t mode, const QString& inFile, const QString& outFile)
{
    FDone = false;
    if (!Start(mode, inFile, outFile))
        return false;
    if (mode != cmMp3ToWav && mode != cmWavToMp3)
        return true;
    return WaitForEnd();
}

bool TAudioConverters::WaitForEnd()
{
    QElapsedTimer idleFor;
    while (FRunning) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (!FRunning)
            break;
        QThread::msleep(1);
        // A way out: an output that has gone idle reports its end at once;
        // one that never does is given up.
        TAudioOutput* output = FRunOutput;
        if (output && output->GetOutputState() == aosIdle) {
            if (!idleFor.isValid())
                idleFor.start();
            else if (idleFor.elapsed() > LostDoneTimeoutMs)
                Finish(false, QStringLiteral("The conversion never reported its end"));
        } else {
            idleFor.invalidate();
        }
    }
    return FSucceeded;
}

void TAudioConverters::Cancel()
{
    if (!FRunning || !FRunOutput)
        return;
    FCancelled = true;
    FRunOutput->StopOutput(true);
}

void TAudioConverters::OutputProgress(QObject* sender)
{
    auto* output = dynamic_cast<TAudioOutput*>(sender);
    if (!output)
        output = ActiveOutput();
    if (output && OnProgress)
        OnProgress(this, output->GetProgressPercent());
}

void TAudioConverters::OutputDone(QObject* sender)
{
    if (!FRunning || sender != FRunOutput)
        return;
    TAudioOutput* output = FRunOutput;
    QString error = output->LastErrorText();
    bool ok = !output->RunFailed() && error.isEmpty() && !FCancelled;
    if (ok && !QFileInfo::exists(FOutFileName)) {
        ok = false;
        error = QStringLiteral("The conversion wrote no file");
    }
    // The WAV written must describe exactly the sound it holds.
    if (ok && output == FWaveOut.get() && !FixWaveSizes(FOutFileName)) {
        ok = false;
        error = QStringLiteral("The WAV file written cannot be read back");
    }
    if (!ok && error.isEmpty())
        error = FCancelled ? QStringLiteral("The conversion was cancelled") : QStringLiteral("The conversion failed");
    Finish(ok, error);
}

void TAudioConverters::Finish(bool succeeded, const QString& error)
{
    FRunning = false;
    FRunOutput = nullptr;
    FSucceeded = succeeded;
    FLastError = succeeded ? QString() : error;
    // A failed or cancelled conversion leaves no file that passes for a
    // finished one.
    if (!succeeded && !FOutFileName.isEmpty())
        QFile::remove(FOutFileName);
    FDone = true;
    if (OnDone)
        OnDone(this);
}

// ------------------------------------------------------------------ leading silence

namespace {

// Writes to target the WAV file of source with n bytes of silence in front of
// its sound: everything up to the sound with both sizes patched where they
// are, the silence, the sound, and what followed the data chunk.
bool WriteWithSilence(QFile& source, const TWaveLayout& layout, std::uint64_t n, QFile& target)
{
    const qint64 newData = layout.DataBytes + qint64(n);
    const qint64 rest = layout.FileSize - layout.AfterData;  // chunks after "data"
    const bool padByte = (newData & 1) && rest > 0;
    const qint64 newSize = layout.DataStart + newData + (padByte ? 1 : 0) + rest;
    if (newData > 0xFFFFFFFFLL || newSize - 8 > 0xFFFFFFFFLL)
        return false;
    std::vector<unsigned char> head(static_cast<std::size_t>(layout.DataStart));
    bool ok = ReadAt(source, 0, head.data(), layout.DataStart);
    if (ok) {
        PutLE32(head.data() + 4, std::uint32_t(newSize - 8));
        PutLE32(head.data() + layout.DataStart - 4, std::uint32_t(newData));
        ok = target.write(reinterpret_cast<const char*>(head.data()), layout.DataStart) == layout.DataStart;
    }
    const std::vector<char> silence(65536, SilenceByte(layout.BitsPerSample));
    for (std::uint64_t left = n; ok && left > 0;) {
        const qint64 count = qint64(std::min<std::uint64_t>(left, silence.size()));
        ok = target.write(silence.data(), count) == count;
        left -= std::uint64_t(count);
    }
    ok = ok && CopyRange(source, layout.DataStart, layout.DataBytes, target);
    if (ok && padByte)
        ok = target.write("\0", 1) == 1;
    ok = ok && CopyRange(source, layout.AfterData, rest, target);
    return ok && target.flush();
}

// The silence for a walked layout (0: the layout gets none).
std::uint64_t SilenceFor(const TWaveLayout& layout)
{
    return LeadingSilenceBytes(layout.SampleRate, layout.Channels, layout.BitsPerSample);
}

}  // namespace

std::uint32_t LeadingSilenceBytes(std::uint32_t sampleRate, std::uint16_t channels, std::uint16_t bitsPerSample)
{
    const bool padded = (bitsPerSample == 8 || bitsPerSample == 16) && (channels == 1 || channels == 2) && sampleRate > 0;
    if (!padded)
        return 0;
    // Half a second: half the byte rate, a half going to the even
    // neighbour, cut down to whole sample frames.
    const std::uint32_t frameBytes = std::uint32_t(channels) * (bitsPerSample / 8);
    const std::uint64_t byteRate = std::uint64_t(sampleRate) * frameBytes;
    std::uint64_t n = byteRate / 2;
    if ((byteRate & 1) && (n & 1))
        ++n;
    n -= n % frameBytes;
    return std::uint32_t(n);
}

bool PrependSilence(const QString& wavPath)
{
    if (!QFileInfo::exists(wavPath))
        return false;
    const QString folder = QFileInfo(wavPath).absolutePath();
    const QString tempPath = folder + QStringLiteral("/PiboTempMuteWave.wav");
    bool ok = false;
    {
        QFile source(wavPath);
        if (!source.open(QIODevice::ReadOnly))
            return false;
        TWaveLayout layout;
        if (!WalkWave(source, layout) || layout.FormatTag != 1)
            return false;
        const std::uint64_t n = SilenceFor(layout);
        if (n == 0)
            return true;  // a layout that gets no silence stays as it is
        QFile target(tempPath);
        if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        ok = WriteWithSilence(source, layout, n, target);
        target.close();
        ok = ok && target.error() == QFileDevice::NoError;
    }
    // The finished copy takes the file's place in one step.
    if (ok)
        ok = std::rename(QFile::encodeName(tempPath).constData(), QFile::encodeName(wavPath).constData()) == 0;
    if (!ok)
        QFile::remove(tempPath);
    return ok;
}

bool CopyWaveWithSilence(const QString& sourcePath, const QString& targetPath)
{
    bool ok = false;
    {
        QFile source(sourcePath);
        if (!source.open(QIODevice::ReadOnly))
            return false;
        TWaveLayout layout;
        if (!WalkWave(source, layout) || layout.FormatTag != 1)
            return false;
        QFile target(targetPath);
        if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        const std::uint64_t n = SilenceFor(layout);
        // A layout that gets no silence is copied as it is.
        ok = n > 0 ? WriteWithSilence(source, layout, n, target)
                   : CopyRange(source, 0, layout.FileSize, target) && target.flush();
        target.close();
        ok = ok && target.error() == QFileDevice::NoError;
    }
    if (!ok)
        QFile::remove(targetPath);
    return ok;
}
