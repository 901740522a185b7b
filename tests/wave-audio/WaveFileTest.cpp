// RIFF WAVE files through the wave object and the wave file component: files
// made by sox, by hand and by the library in every PCM layout, region saving,
// damaged and fuzzed headers, the RIFF size limit and the temporary name.

#include "SndWave.h"
#include "SndWaveIO.h"
#include "WaveFixtures.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstring>
#include <random>

using namespace wavetest;

namespace {

// Every byte of the play range, read through the wave in buffers of bufferSize.
QByteArray ReadThroughWave(TSndWave& wave, int bufferSize)
{
    wave.SetPosition(0);
    wave.OpenFile();
    wave.SetPosition(0);
    QByteArray out;
    QByteArray buffer(bufferSize, '\0');
    for (;;) {
        const std::int64_t n = wave.ReadData(buffer.data(), bufferSize);
        if (n < 1)
            break;
        out += buffer.left(static_cast<qsizetype>(n));
    }
    wave.CloseFile();
    return out;
}

// Every byte the wave file component hands a playback device.
QByteArray PlayThroughComponent(TSndWaveFile& file, int bufferSize)
{
    file.Opened();
    file.Started();
    QByteArray out;
    std::vector<char> data(static_cast<std::size_t>(bufferSize));
    for (int guard = 0; guard < 1000000; ++guard) {
        TSndWaveHdr hdr;
        hdr.lpData = data.data();
        hdr.dwBufferLength = static_cast<std::uint32_t>(bufferSize);
        bool more = false;
        file.BufferLoad(&hdr, more);
        out += QByteArray(data.data(), static_cast<qsizetype>(hdr.dwBytesRecorded));
        if (hdr.dwBytesRecorded == 0 || !more)
            break;
    }
    file.Stopped();
    file.Closed();
    return out;
}

class WaveFileTest : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return FDir.filePath(name); }
    QTemporaryDir FDir;
};

struct TLayout {
    const char* Name;
    int Bits;
    int Channels;
    std::uint32_t Rate;
    int Frames;
    enum { Sox, Hand, Library } Maker;
    bool ListBefore;
    bool ListAfter;
    int TruncateBy;  // bytes cut off the end of the file
};

const TLayout Layouts[] = {
    {"sox_8bit_mono_22k_odd", 8, 1, 22050, 1001, TLayout::Sox, false, false, 0},
    {"sox_16bit_stereo_44k", 16, 2, 44100, 4410, TLayout::Sox, false, false, 0},
    {"sox_16bit_mono_22k", 16, 1, 22050, 3001, TLayout::Sox, false, false, 0},
    {"sox_8bit_stereo_44k", 8, 2, 44100, 777, TLayout::Sox, false, false, 0},
    {"sox_16bit_stereo_22k_truncated", 16, 2, 22050, 2000, TLayout::Sox, false, false, 103},
    {"hand_16bit_stereo_44k_list_before", 16, 2, 44100, 1500, TLayout::Hand, true, false, 0},
    {"hand_8bit_mono_22k_odd_list_after", 8, 1, 22050, 1333, TLayout::Hand, false, true, 0},
    {"hand_16bit_stereo_22k_lists_both", 16, 2, 22050, 999, TLayout::Hand, true, true, 0},
    {"hand_8bit_mono_44k_truncated", 8, 1, 44100, 5000, TLayout::Hand, false, false, 1234},
    {"library_16bit_stereo_44k", 16, 2, 44100, 2205, TLayout::Library, false, false, 0},
    {"library_8bit_mono_22k_odd", 8, 1, 22050, 555, TLayout::Library, false, false, 0},
};

// Makes the file of a layout; returns the raw samples it holds (whole frames).
QByteArray MakeLayout(const TLayout& l, const QString& wavePath, const QString& rawPath, bool& skipped)
{
    skipped = false;
    const int frameBytes = l.Bits / 8 * l.Channels;
    const QByteArray raw = RawSamples(static_cast<std::int64_t>(l.Frames) * frameBytes, l.Frames * 7u + l.Bits);
    switch (l.Maker) {
    case TLayout::Sox:
        if (!SoxAvailable()) {
            skipped = true;
            return QByteArray();
        }
        if (!WriteFile(rawPath, raw) || !SoxMakeWave(rawPath, wavePath, l.Bits, l.Channels, l.Rate))
            return QByteArray("sox failed");
        break;
    case TLayout::Hand: {
        QByteArray chunks = Chunk("fmt ", PcmFmt(l.Bits, l.Channels, l.Rate));
        if (l.ListBefore)
            chunks += InfoList({{"INAM", "Lesson one"}, {"IART", "Teacher"}});
        chunks += Chunk("data", raw);
        if (l.ListAfter)
            chunks += InfoList({{"ICMT", "after the data"}});
        WriteFile(wavePath, Riff(chunks));
        break;
    }
    case TLayout::Library: {
        TSndWave wave;
        const TWaveFormatEx format = PcmFormat(l.Bits, l.Channels, l.Rate);
        wave.CreateNewFile(wavePath, &format);
        // Written in uneven pieces.
        for (qsizetype pos = 0; pos < raw.size();) {
            const qsizetype n = std::min<qsizetype>(raw.size() - pos, 1000 + pos % 7);
            wave.WriteData(raw.constData() + pos, n);
            pos += n;
        }
        wave.CloseFile();
        break;
    }
    }
    if (l.TruncateBy > 0) {
        QFile f(wavePath);
        const qint64 size = f.size();
        f.resize(size - l.TruncateBy);
        // Whole frames of what is left of the data.
        const qsizetype left = raw.size() - l.TruncateBy + (raw.size() & 1 ? 1 : 0);
        return raw.left(left / frameBytes * frameBytes);
    }
    return raw;
}

TEST_F(WaveFileTest, EveryPcmLayoutReadsAndPlaysItsRawSamples)
{
    for (const TLayout& l : Layouts) {
        SCOPED_TRACE(l.Name);
        const QString wavePath = Path(QString::fromLatin1(l.Name) + ".wav");
        bool skipped = false;
        const QByteArray raw = MakeLayout(l, wavePath, Path(QString::fromLatin1(l.Name) + ".raw"), skipped);
        if (skipped)
            continue;
        ASSERT_NE(raw, QByteArray("sox failed"));
        const int frameBytes = l.Bits / 8 * l.Channels;

        TSndWave wave;
        wave.SetFileName(wavePath);
        EXPECT_EQ(wave.BitLength(), l.Bits);
        EXPECT_EQ(wave.Mode(), l.Channels == 2 ? mStereo : mMono);
        EXPECT_EQ(wave.SampleRate(), l.Rate);
        EXPECT_EQ(wave.FormatString(), "PCM");
        EXPECT_EQ(wave.DataSize(), raw.size() / frameBytes);
        EXPECT_EQ(wave.PlayLength(), raw.size() / frameBytes);
        EXPECT_EQ(wave.WaveIOInfo()->DataBytes, raw.size());

        for (int bufferSize : {frameBytes, 1000, 4096, 1 << 20}) {
            SCOPED_TRACE(bufferSize);
            EXPECT_EQ(ReadThroughWave(wave, bufferSize), raw);
        }

        TSndWaveFile file;
        file.Wave()->SetFileName(wavePath);
        EXPECT_EQ(PlayThroughComponent(file, 2048), raw);
        EXPECT_EQ(file.SilenceByte(), l.Bits == 8 ? 128 : 0);

        if (SoxAvailable() && l.TruncateBy == 0) {
            EXPECT_EQ(SoxRawSamples(wavePath), raw) << "sox reads the same samples";
        }
    }
}

TEST_F(WaveFileTest, SavedRegionEqualsTheRawSliceAndSoxAcceptsIt)
{
    for (const TLayout& l : Layouts) {
        SCOPED_TRACE(l.Name);
        const QString wavePath = Path(QString::fromLatin1(l.Name) + ".wav");
        bool skipped = false;
        const QByteArray raw = MakeLayout(l, wavePath, Path(QString::fromLatin1(l.Name) + ".raw"), skipped);
        if (skipped)
            continue;
        const int frameBytes = l.Bits / 8 * l.Channels;
        const std::int64_t frames = raw.size() / frameBytes;

        TSndWave wave;
        wave.SetFileName(wavePath);
        const std::int64_t start = frames / 4;
        const std::int64_t end = frames * 3 / 4 + 1;
        wave.SetEndPos(end);
        wave.SetStartPos(start);
        const QString target = Path(QString::fromLatin1(l.Name) + "-region.wav");
        wave.SaveRegionToFile(target);

        const QByteArray slice = raw.mid(static_cast<qsizetype>(start * frameBytes),
                                         static_cast<qsizetype>((end - start) * frameBytes));
        TSndWave saved;
        saved.SetFileName(target);
        EXPECT_EQ(saved.PlayLength(), end - start);
        EXPECT_EQ(ReadThroughWave(saved, 3000), slice);
        EXPECT_EQ(saved.BitLength(), l.Bits);
        EXPECT_EQ(saved.SampleRate(), l.Rate);
        if (SoxAvailable()) {
            EXPECT_TRUE(SoxAccepts(target));
            EXPECT_EQ(SoxRawSamples(target), slice);
        }
        // No temporary file is left next to the target.
        const QStringList leftovers = QDir(FDir.path()).entryList({QStringLiteral("w*.tmp")}, QDir::Files);
        EXPECT_TRUE(leftovers.isEmpty()) << leftovers.join(',').toStdString();
    }
}

TEST_F(WaveFileTest, SavedRegionCarriesTheInfoListAlong)
{
    const QByteArray raw = RawSamples(4000, 3);
    const QString source = Path("info.wav");
    WriteFile(source, Riff(Chunk("fmt ", PcmFmt(16, 2, 22050)) +
                           InfoList({{"INAM", "Lesson one"}, {"IART", "Teacher"}, {"XXXX", "ignored"}}) +
                           Chunk("DISP", QByteArray("\x01\0\0\0Shown text\0", 15)) + Chunk("data", raw)));
    TSndWave wave;
    wave.SetFileName(source);
    EXPECT_EQ(wave.WaveIOInfo()->InfoList.Text(RiffInfoIndex(MakeFourCC('I', 'N', 'A', 'M'))), "Lesson one");
    const QString target = Path("info-copy.wav");
    wave.SaveRegionToFile(target);

    PSndWaveIOInfo info = nullptr;
    ASSERT_EQ(ParseWaveFile(info, target), WIOERR_NOERROR);
    TWaveIOInfoHolder holder(info);
    EXPECT_EQ(info->InfoList.Text(RiffInfoIndex(MakeFourCC('I', 'N', 'A', 'M'))), "Lesson one");
    EXPECT_EQ(info->InfoList.Text(RiffInfoIndex(MakeFourCC('I', 'A', 'R', 'T'))), "Teacher");
    ASSERT_EQ(info->DispList.Elements.size(), 1u);
    EXPECT_EQ(info->DispList.Elements[0].ClipboardFormat, CF_TEXT);
    EXPECT_EQ(info->DispList.Elements[0].Data(), QByteArray("Shown text\0", 11));
    EXPECT_EQ(info->DataBytes, raw.size());
    if (SoxAvailable()) {
        EXPECT_TRUE(SoxAccepts(target));
    }
}

TEST_F(WaveFileTest, LibraryFileLayoutHasExactSizesAndFact)
{
    const QString path = Path("new.wav");
    TSndWave wave;
    const TWaveFormatEx format = PcmFormat(16, 1, 8000);
    wave.CreateNewFile(path, &format);
    const QByteArray raw = RawSamples(1000, 9);
    EXPECT_EQ(wave.WriteData(raw.constData(), raw.size()), 1000);
    wave.CloseFile();
    const QByteArray bytes = ReadFile(path);
    ASSERT_EQ(bytes.size(), 1058);
    std::uint32_t riffSize = 0;
    std::memcpy(&riffSize, bytes.constData() + 4, 4);
    EXPECT_EQ(riffSize, 1050u);
    EXPECT_EQ(bytes.mid(12, 4), "fmt ");
    EXPECT_EQ(bytes.mid(38, 4), "data");
    EXPECT_EQ(bytes.mid(46, 1000), raw);
    EXPECT_EQ(bytes.mid(1046, 4), "fact");
    std::uint32_t fact = 0;
    std::memcpy(&fact, bytes.constData() + 1054, 4);
    EXPECT_EQ(fact, 500u);
}

TEST_F(WaveFileTest, ClosingWithoutWritingLeavesTheFileUntouched)
{
    const QString path = Path("keep.wav");
    const QByteArray original =
        Riff(Chunk("fmt ", PcmFmt(8, 1, 11025)) + Chunk("data", RawSamples(301, 4)) + InfoList({{"ICMT", "x"}}));
    WriteFile(path, original);
    TSndWave wave;
    wave.SetFileName(path);
    EXPECT_EQ(ReadThroughWave(wave, 64).size(), 301);
    wave.FreeWave();
    EXPECT_EQ(ReadFile(path), original);
}

TEST_F(WaveFileTest, HeaderDamageCases)
{
    const QByteArray data = RawSamples(4000, 5);
    struct TCase {
        const char* Name;
        QByteArray File;
        bool Valid;
        std::int64_t DataBytes;  // when valid
    };
    const QByteArray fmt16 = Chunk("fmt ", PcmFmt(16, 2, 22050));
    const TCase cases[] = {
        {"no fmt", Riff(Chunk("data", data)), false, 0},
        {"no data", Riff(fmt16), false, 0},
        {"not WAVE", QByteArray("RIFF\x10\0\0\0AVI ", 12) + fmt16, false, 0},
        {"not RIFF", QByteArray("RIFX") + Riff(fmt16).mid(4), false, 0},
        {"zero channels", Riff(Chunk("fmt ", FmtPayload(1, 0, 22050, 88200, 4, 16)) + Chunk("data", data)), false, 0},
        {"zero rate", Riff(Chunk("fmt ", FmtPayload(1, 2, 0, 88200, 4, 16)) + Chunk("data", data)), false, 0},
        {"zero bits", Riff(Chunk("fmt ", FmtPayload(1, 2, 22050, 88200, 4, 0)) + Chunk("data", data)), false, 0},
        {"zero block align", Riff(Chunk("fmt ", FmtPayload(1, 2, 22050, 88200, 0, 16)) + Chunk("data", data)), false,
         0},
        {"fmt too short", Riff(Chunk("fmt ", PcmFmt(16, 2, 22050).left(12)) + Chunk("data", data)), false, 0},
        {"extra bytes beyond fmt chunk",
         Riff(Chunk("fmt ", FmtPayload(2, 2, 22050, 22050, 1024, 4, 32).left(30)) + Chunk("data", data)), false, 0},
        {"compressed with zero average", Riff(Chunk("fmt ", FmtPayload(2, 2, 22050, 0, 1024, 4, 0)) + Chunk("data", data)),
         false, 0},
        {"fmt claims more than the file", Riff(Chunk("fmt ", PcmFmt(16, 2, 22050), 0x7FFFFFFF)), false, 0},
        {"block align 3 and no average",
         Riff(Chunk("fmt ", FmtPayload(1, 2, 22050, 0, 3, 16)) + Chunk("data", data.left(999))), true, 996},
        {"data claims more than the file", Riff(fmt16 + Chunk("data", data, 1000000)), true, 4000},
        {"partial frame", Riff(fmt16 + Chunk("data", data.left(4003))), true, 4000},
        {"wrong fact", Riff(fmt16 + Chunk("fact", QByteArray("\x10\0\0\0", 4)) + Chunk("data", data)), true, 4000},
        {"riff claims too much", Riff(fmt16 + Chunk("data", data), 0xFFFFFFF0), true, 4000},
        {"riff claims too little", Riff(fmt16 + Chunk("data", data), 20), true, 4000},
        {"garbage behind the data", Riff(fmt16 + Chunk("data", data)) + QByteArray(37, 'x'), true, 4000},
        {"empty file", QByteArray(), false, 0},
        {"header only", QByteArray("RIFF"), false, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString path = Path("damaged.wav");
        WriteFile(path, c.File);
        PSndWaveIOInfo info = nullptr;
        const int result = ParseWaveFile(info, path);
        TWaveIOInfoHolder holder(info);
        EXPECT_EQ(result == WIOERR_NOERROR, c.Valid) << result;
        if ((result == WIOERR_NOERROR) != c.Valid)
            continue;
        TSndWave wave;
        if (!c.Valid) {
            EXPECT_FALSE(IsWaveFile(path));
            try {
                wave.SetFileName(path);
                ADD_FAILURE() << "no error";
            } catch (const ESndWaveError& e) {
                EXPECT_EQ(e.Message(), "Invalid wave file...");
            }
            continue;
        }
        EXPECT_EQ(info->DataBytes, c.DataBytes);
        wave.SetFileName(path);
        const QByteArray read = ReadThroughWave(wave, 1000);
        EXPECT_EQ(read.size(), c.DataBytes);
        EXPECT_EQ(read, c.File.mid(static_cast<qsizetype>(info->DataOffset), read.size()));
    }
}

TEST_F(WaveFileTest, BlockAlignIsRepairedAfterTheDataLengthIsTaken)
{
    const QString path = Path("align3.wav");
    WriteFile(path, Riff(Chunk("fmt ", FmtPayload(1, 2, 22050, 0, 3, 16)) + Chunk("data", RawSamples(999, 1))));
    PSndWaveIOInfo info = nullptr;
    ASSERT_EQ(ParseWaveFile(info, path), WIOERR_NOERROR);
    TWaveIOInfoHolder holder(info);
    EXPECT_EQ(info->Format()->nBlockAlign, 4);
    EXPECT_EQ(info->Format()->nAvgBytesPerSec, 4u * 22050u);
    EXPECT_EQ(info->Length, 249);
    EXPECT_EQ(info->DataBytes, 996);
}

TEST_F(WaveFileTest, FuzzedHeadersNeverCrashAndNeverReadBeyondTheData)
{
    const QByteArray data = RawSamples(600, 77);
    const QByteArray good =
        Riff(Chunk("fmt ", PcmFmt(16, 2, 22050)) + InfoList({{"INAM", "n"}}) + Chunk("data", data) +
             Chunk("DISP", QByteArray("\x01\0\0\0text", 8)));
    std::mt19937 gen(20240601);
    int errors = 0;
    int sound = 0;
    for (int i = 0; i < 600; ++i) {
        QByteArray bytes = good;
        const int mutations = 1 + static_cast<int>(gen() % 4);
        for (int m = 0; m < mutations; ++m) {
            const int kind = static_cast<int>(gen() % 4);
            const qsizetype pos = static_cast<qsizetype>(gen() % 90);
            if (kind == 0 && pos < bytes.size()) {
                bytes[pos] = static_cast<char>(gen() & 0xFF);
            } else if (kind == 1 && pos + 4 <= bytes.size()) {
                const std::uint32_t v = gen();
                std::memcpy(bytes.data() + pos, &v, 4);
            } else if (kind == 2 && pos + 2 <= bytes.size()) {
                const std::uint16_t v = static_cast<std::uint16_t>(gen() % 5);
                std::memcpy(bytes.data() + pos, &v, 2);
            } else {
                bytes.truncate(static_cast<qsizetype>(gen() % static_cast<std::uint32_t>(bytes.size() + 1)));
            }
        }
        const QString path = Path(QStringLiteral("fuzz.wav"));
        WriteFile(path, bytes);
        SCOPED_TRACE(i);
        TSndWave wave;
        try {
            wave.SetFileName(path);
        } catch (const ESndWaveError&) {
            ++errors;
            continue;
        }
        const TSndWaveIOInfo* info = wave.WaveIOInfo();
        ASSERT_NE(info, nullptr);
        const TWaveFormatEx* f = info->Format();
        EXPECT_GT(f->nChannels, 0);
        EXPECT_GT(f->nSamplesPerSec, 0u);
        EXPECT_GT(f->nBlockAlign, 0);
        EXPECT_GE(info->DataOffset, 0);
        EXPECT_LE(info->DataOffset + info->DataBytes, bytes.size());
        QByteArray read;
        try {
            read = ReadThroughWave(wave, 512);
        } catch (const ESndWaveError&) {
            ++errors;
            continue;
        }
        EXPECT_LE(read.size(), info->DataBytes);
        EXPECT_EQ(read, bytes.mid(static_cast<qsizetype>(info->DataOffset), read.size()));
        if (f->wFormatTag == WAVE_FORMAT_PCM) {
            EXPECT_EQ(info->DataBytes % f->nBlockAlign, 0);
        }
        // A region of it saves into a file that parses again.
        try {
            wave.SaveRegionToFile(Path("fuzz-out.wav"));
            EXPECT_TRUE(IsWaveFile(Path("fuzz-out.wav")));
        } catch (const ESndWaveError&) {
        }
        ++sound;
    }
    EXPECT_GT(errors, 50);
    EXPECT_GT(sound, 50);
}

TEST_F(WaveFileTest, ReadingPastTheEndGivesWhatWasReadAndNoInventedBytes)
{
    const QString path = Path("short.wav");
    const QByteArray raw = RawSamples(8000, 12);
    WriteFile(path, Riff(Chunk("fmt ", PcmFmt(16, 2, 44100)) + Chunk("data", raw)));
    TSndWave wave;
    wave.SetFileName(path);
    // The file shrinks after it was parsed: 4000 data bytes stay.
    QFile::resize(path, 44 + 4000);
    wave.OpenFile();
    wave.SetPosition(0);
    QByteArray buffer(3000, '\x55');
    EXPECT_EQ(wave.ReadData(buffer.data(), 3000), 3000);
    EXPECT_EQ(buffer, raw.left(3000));
    buffer.fill('\x55');
    EXPECT_EQ(wave.ReadData(buffer.data(), 3000), 1000);
    EXPECT_EQ(buffer.left(1000), raw.mid(3000, 1000));
    EXPECT_EQ(buffer.mid(1000), QByteArray(2000, '\x55')) << "nothing written past what was read";
    buffer.fill('\x55');
    EXPECT_LE(wave.ReadData(buffer.data(), 3000), 0);
    EXPECT_EQ(buffer, QByteArray(3000, '\x55'));
    EXPECT_EQ(wave.ReadData(buffer.data(), 3000), -1);
    wave.CloseFile();
}

// A header claiming close to 4 GiB a second over a data chunk that holds
// nothing: the copy takes no more memory than the region needs.
TEST_F(WaveFileTest, SavingARegionOfACraftedHeaderUsesABoundedBuffer)
{
    const QString source = Path("crafted.wav");
    ASSERT_TRUE(QFile::copy(QStringLiteral(WAVE_FIXTURES_DIR "/huge-bytes-per-second.wav"), source));
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    TSndWave wave;
    const QString target = Path("region.wav");
    try {
        wave.SetFileName(source);
        ASSERT_NE(wave.WaveIOInfo(), nullptr);
        EXPECT_GT(wave.WaveIOInfo()->Format()->nAvgBytesPerSec, 3'000'000'000u);
        EXPECT_EQ(wave.WaveIOInfo()->DataBytes, 0);
        wave.SaveRegionToFile(target);
        EXPECT_TRUE(IsWaveFile(target));
    } catch (const ESndWaveError& e) {
        // A clean refusal is as good as an empty copy.
        EXPECT_FALSE(e.Message().isEmpty());
        EXPECT_FALSE(QFile::exists(target));
    }
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    // ru_maxrss is in KiB: the old buffer took the header's rate, about 3.7 GB.
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024);
    EXPECT_TRUE(QDir(FDir.path()).entryList({QStringLiteral("w*.tmp")}, QDir::Files).isEmpty());
}

TEST_F(WaveFileTest, SavingFromAShortSourceFails)
{
    const QString path = Path("shrinking.wav");
    WriteFile(path, Riff(Chunk("fmt ", PcmFmt(16, 2, 44100)) + Chunk("data", RawSamples(400000, 13))));
    TSndWave wave;
    wave.SetFileName(path);
    QFile::resize(path, 44 + 100000);
    const QString target = Path("target.wav");
    WriteFile(target, "previous");
    try {
        wave.SaveRegionToFile(target);
        ADD_FAILURE() << "a short copy was reported as saved";
    } catch (const ESndWaveError& e) {
        EXPECT_EQ(e.Message(), "Unable to save wave file");
    }
    EXPECT_EQ(ReadFile(target), "previous");
    EXPECT_TRUE(QDir(FDir.path()).entryList({QStringLiteral("w*.tmp")}, QDir::Files).isEmpty());
}

TEST_F(WaveFileTest, SavingCanBeCancelled)
{
    const QString path = Path("long.wav");
    WriteFile(path, Riff(Chunk("fmt ", PcmFmt(16, 2, 22050)) + Chunk("data", RawSamples(22050 * 4 * 3, 14))));
    TSndWave wave;
    wave.SetFileName(path);
    int calls = 0;
    wave.OnProgress = [&](TSndWave*, std::int64_t cur, std::int64_t total, bool& cancel) {
        ++calls;
        EXPECT_LE(cur, total);
        cancel = calls == 2;
    };
    try {
        wave.SaveRegionToFile(Path("cancelled.wav"));
        ADD_FAILURE() << "no error";
    } catch (const ESndWaveError& e) {
        EXPECT_EQ(e.Message(), "Saving was aborted");
    }
    EXPECT_FALSE(QFile::exists(Path("cancelled.wav")));
    EXPECT_THROW(TSndWave().SaveRegionToFile(Path("x.wav")), ESndWaveError);
}

TEST_F(WaveFileTest, ReadingAtTheEndLeavesTheRecordAndASeekRestoresIt)
{
    const QString path = Path("end.wav");
    WriteFile(path, Riff(Chunk("fmt ", PcmFmt(8, 1, 8000)) + Chunk("data", RawSamples(100, 2))));
    PSndWaveIOInfo info = nullptr;
    ASSERT_EQ(ParseWaveFile(info, path), WIOERR_NOERROR);
    TWaveIOInfoHolder holder(info);
    ASSERT_EQ(ReopenWaveFile(info), WIOERR_NOERROR);
    char buffer[200];
    EXPECT_EQ(ReadWaveData(info, buffer, 200), 100);
    const std::int64_t position = info->Position;
    EXPECT_EQ(ReadWaveData(info, buffer, 200), -1);
    EXPECT_EQ(info->Position, position);
    EXPECT_EQ(info->BytesLeft, 0);
    EXPECT_EQ(SeekWaveData(info, 40), WIOERR_NOERROR);
    EXPECT_EQ(ReadWaveData(info, buffer, 200), 60);
    EXPECT_EQ(CloseWaveFile(info), WIOERR_NOERROR);
}

TEST_F(WaveFileTest, AWaveWithoutSampleFramesIsPositionedAtItsFirstDataByte)
{
    // An empty "data" chunk: positioning must not step back into the chunk
    // header, and nothing is there to read.
    const QString path = Path("empty-data.wav");
    WriteFile(path, Riff(Chunk("fmt ", PcmFmt(16, 2, 44100)) + Chunk("data", QByteArray())));
    PSndWaveIOInfo info = nullptr;
    ASSERT_EQ(ParseWaveFile(info, path), WIOERR_NOERROR);
    TWaveIOInfoHolder holder(info);
    EXPECT_EQ(info->Length, 0);
    ASSERT_EQ(ReopenWaveFile(info), WIOERR_NOERROR);
    for (const std::int64_t position : {std::int64_t(0), std::int64_t(5), std::int64_t(-3)}) {
        EXPECT_EQ(SeekWaveData(info, position), WIOERR_NOERROR);
        EXPECT_EQ(info->Position, 0) << position;
        EXPECT_EQ(info->BytesLeft, 0) << position;
        EXPECT_EQ(info->Handle->Position(), info->DataOffset) << position;
        char buffer[16];
        EXPECT_EQ(ReadWaveData(info, buffer, sizeof buffer), -1) << position;
    }
    EXPECT_EQ(CloseWaveFile(info), WIOERR_NOERROR);
}

TEST_F(WaveFileTest, FilesBeyondTheRiffLimitAreRefused)
{
    // A sparse file whose data chunk nearly fills what a RIFF size can hold.
    const QString path = Path("huge.wav");
    const std::int64_t dataBytes = 0xFFFFFF00LL;
    const QByteArray header = Riff(Chunk("fmt ", PcmFmt(16, 2, 44100)), 4 + 24 + 8 + dataBytes).left(36) +
                              QByteArray("data") + QByteArray("\0\xFF\xFF\xFF", 4);
    ASSERT_TRUE(WriteFile(path, header));
    if (!QFile::resize(path, header.size() + dataBytes))
        GTEST_SKIP() << "no sparse files here";
    PSndWaveIOInfo info = nullptr;
    ASSERT_EQ(ParseWaveFile(info, path), WIOERR_NOERROR);
    TWaveIOInfoHolder holder(info);
    EXPECT_EQ(info->DataBytes, dataBytes);
    EXPECT_EQ(info->Length, dataBytes / 4);
    ASSERT_EQ(ReopenWaveFile(info), WIOERR_NOERROR);
    // Positions beyond 32 bits of bytes work.
    EXPECT_EQ(SeekWaveData(info, info->Length - 10), WIOERR_NOERROR);
    EXPECT_EQ(info->BytesLeft, 40);
    // Writing more would wrap the RIFF size: refused, nothing written.
    ASSERT_EQ(SeekWaveData(info, info->Length - 1), WIOERR_NOERROR);
    info->Handle->Seek(info->DataOffset + info->DataBytes, SEEK_SET);
    const QByteArray more(4096, 'z');
    EXPECT_EQ(WriteWaveData(info, more.constData(), more.size()), -1);
    EXPECT_EQ(info->DataBytes, dataBytes);
    EXPECT_EQ(CloseWaveFile(info), WIOERR_NOERROR);
    EXPECT_EQ(QFileInfo(path).size(), header.size() + dataBytes);
    QFile::remove(path);
}

TEST_F(WaveFileTest, TemporaryNamesNeverTouchExistingFiles)
{
    // Existing files with names the generator may pick.
    for (int n = 1; n <= 300; ++n)
        WriteFile(Path(QStringLiteral("w%1.tmp").arg(QString::number(n, 16).toUpper())), "keep");
    QStringList names;
    for (int i = 0; i < 200; ++i) {
        QString name = Path("target.wav");
        ASSERT_TRUE(GetTempWaveName(name));
        EXPECT_FALSE(names.contains(name));
        EXPECT_EQ(QFileInfo(name).absolutePath(), QFileInfo(Path("x")).absolutePath());
        EXPECT_EQ(QFileInfo(name).size(), 0) << "a new, empty file";
        names << name;
    }
    for (int n = 1; n <= 300; ++n)
        EXPECT_EQ(ReadFile(Path(QStringLiteral("w%1.tmp").arg(QString::number(n, 16).toUpper()))), "keep");
}

TEST_F(WaveFileTest, PlayRangeInMillisecondsAndClamping)
{
    const QString path = Path("range.wav");
    const QByteArray raw = RawSamples(22050 * 3, 21);  // 3 s, 8-bit mono
    WriteFile(path, Riff(Chunk("fmt ", PcmFmt(8, 1, 22050)) + Chunk("data", raw)));
    TSndWave wave;
    wave.SetTimeFormat(tfMillisecond);
    wave.SetFileName(path);
    wave.SetStartPos(1000);
    EXPECT_EQ(wave.Regions().Items(0).Start, 22050);
    wave.OpenFile();
    wave.SetPosition(500);
    EXPECT_EQ(wave.GetPosition(), 500);
    QByteArray buffer(100, '\0');
    EXPECT_EQ(wave.ReadData(buffer.data(), 100), 100);
    EXPECT_EQ(buffer, raw.mid(22050 + 11025, 100));
    wave.CloseFile();

    wave.SetTimeFormat(tfSample);
    wave.SetEndPos(10000000);
    EXPECT_EQ(wave.GetEndPos(), 22050 * 3);
    wave.SetStartPos(10000000);
    EXPECT_EQ(wave.PlayLength(), 0);
    wave.OpenFile();
    wave.SetPosition(0);
    EXPECT_EQ(wave.ReadData(buffer.data(), 100), -1);
    wave.CloseFile();
}

TEST_F(WaveFileTest, SetFileNameErrorsAndReloadWhenTheSizeChanged)
{
    const QString path = Path("a.wav");
    WriteFile(path, Riff(Chunk("fmt ", PcmFmt(8, 1, 8000)) + Chunk("data", RawSamples(800, 1))));
    TSndWave wave;
    wave.SetFileName(path);
    EXPECT_EQ(wave.PlayLength(), 800);
    try {
        wave.SetFileName(Path("missing.wav"));
        ADD_FAILURE();
    } catch (const ESndWaveError& e) {
        EXPECT_EQ(e.Message(), "Error reading wave file");
    }
    EXPECT_EQ(wave.FileName(), QFileInfo(path).absoluteFilePath()) << "the previous file stays";
    WriteFile(path, Riff(Chunk("fmt ", PcmFmt(8, 1, 8000)) + Chunk("data", RawSamples(1600, 1))));
    wave.SetFileName(path);
    EXPECT_EQ(wave.PlayLength(), 1600);
    wave.SetFileMustExist(false);
    wave.SetFileName(Path("future.wav"));
    EXPECT_EQ(wave.PWaveFormat(), nullptr);
    EXPECT_EQ(wave.GetPosition(), -1);
}

TEST_F(WaveFileTest, LoopCountTwoPlaysTheRangeThreeTimes)
{
    const QString path = Path("loop.wav");
    const QByteArray raw = RawSamples(3000, 31);
    WriteFile(path, Riff(Chunk("fmt ", PcmFmt(16, 1, 8000)) + Chunk("data", raw)));
    TSndWaveFile file;
    file.Wave()->SetFileName(path);
    int loops = 0;
    file.OnLooping = [&](QObject*) { ++loops; };
    file.Opened();
    file.Started();
    QByteArray played;
    std::vector<char> data(1024);
    TSndWaveHdr hdr;
    hdr.wh_Looping = -1;
    hdr.wh_LoopCount = 2;
    hdr.wh_LoopsRemaining = 2;
    for (int guard = 0; guard < 100; ++guard) {
        hdr.lpData = data.data();
        hdr.dwBufferLength = 1024;
        hdr.wh_LoopRestart = 0;
        bool more = false;
        file.BufferLoad(&hdr, more);
        played += QByteArray(data.data(), static_cast<qsizetype>(hdr.dwBytesRecorded));
        if (!more)
            break;
    }
    EXPECT_EQ(played, raw + raw + raw);
    EXPECT_EQ(loops, 2);
    file.Closed();
}

TEST_F(WaveFileTest, RecordingChainWritesBuffersAndAnEmptyRecordingHoldsFourZeroBytes)
{
    struct TSource : TSndDSPComponent {
        using TSndDSPComponent::TSndDSPComponent;
        bool HasOutputProperty() const override { return true; }
    };
    const TWaveFormatEx format = PcmFormat(16, 1, 16000);
    {
        TSource source;
        source.SetPWaveFormat(&format);
        TSndWaveFile file;
        file.Wave()->SetFileMustExist(false);
        file.Wave()->SetFileName(Path("empty-rec.wav"));
        file.SetInput(&source);
        file.Opened();
        file.Started();
        file.Closed();
        PSndWaveIOInfo info = nullptr;
        ASSERT_EQ(ParseWaveFile(info, Path("empty-rec.wav")), WIOERR_NOERROR);
        TWaveIOInfoHolder holder(info);
        EXPECT_EQ(info->DataBytes, 4);
    }
    {
        TSource source;
        source.SetPWaveFormat(&format);
        TSndWaveFile file;
        file.Wave()->SetFileMustExist(false);
        file.Wave()->SetFileName(Path("rec.wav"));
        file.SetInput(&source);
        file.Opened();
        file.Started();
        const QByteArray raw = RawSamples(10000, 41);
        for (int pos = 0; pos < raw.size(); pos += 2000) {
            QByteArray piece = raw.mid(pos, 2000);
            TSndWaveHdr hdr;
            hdr.lpData = piece.data();
            hdr.dwBufferLength = 2000;
            hdr.dwBytesRecorded = 2000;
            file.BufferReady(&hdr);
        }
        file.Closed();
        TSndWave wave;
        wave.SetFileName(Path("rec.wav"));
        EXPECT_EQ(ReadThroughWave(wave, 777), raw);
        if (SoxAvailable()) {
            EXPECT_TRUE(SoxAccepts(Path("rec.wav")));
        }
    }
}

}  // namespace
