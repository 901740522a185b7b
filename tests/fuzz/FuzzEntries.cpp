#include "FuzzEntries.h"
#include "FuzzSupport.h"

// Parsers.
#include "AnsiText.h"
#include "ArcUnZip.h"
#include "AudioPipeTags.h"
#include "AudioPipeWave.h"
#include "IniFile.h"
#include "MMPCMSup.h"
#include "ProgramFolder.h"
#include "SndWaveIO.h"
#include "SubtitleText.h"
#include "UFrmUpdateMain.h"
#include "UPiboAudioClass.h"
#include "UPiboDataPack.h"
#include "UPiboVideoClass.h"
#include "ZipLegacy.h"
#include "pibozun.h"


#include <QtCore/QBuffer>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QString>

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>

namespace {

using namespace PiboFuzz;

// ---------------------------------------------------------------- zip

// The archive's directory and entries, extracted into a folder of their own.
void RunZip(const std::uint8_t* data, std::size_t size)
{
    const TModeInput in = SplitMode(data, size, 2);
    const QString folder = FreshFolder("zip");
    const QString zip = folder + QStringLiteral("in.zip");
    if (!WriteFile(zip, in.Body))
        return;
    QDir().mkpath(folder + QStringLiteral("out"));
    Guarded([&] {
        TArcUnZip z;
        z.SetZipName(zip);
        z.SetDestDir(folder + QStringLiteral("out"));
        z.SetDoAll(true);
        z.SetRecreateDirs(true);
        z.SetOverwriteMode(TUZOverwriteMode::Always);
        z.SetIncompleteZipMode(in.Mode == 0 ? izAssumeMulti : izAssumeBad);
        z.SetPassword(QStringLiteral("password"));
        z.ReadZip();
        for (int i = 0; i < z.Count(); ++i) {
            z.EntryFileName(i);
            z.GetFileComment(i);
        }
        z.GetZipComment();
        z.UnZip();
    });
}

QList<QByteArray> ZipSeeds()
{
    QList<QByteArray> seeds;
    const QString folder = FreshFolder("zip-seeds");
    const QString text = folder + QStringLiteral("lesson.txt");
    WriteFile(text, QByteArray("one two three four five six seven eight nine ten\r\n").repeated(20));
    const QString small = folder + QStringLiteral("a.plrc");
    WriteFile(small, QByteArray("00:00.00\r\nHello.\r\n\xC4\xE3\xBA\xC3\r\n"));
    for (const QString& file : {text, small}) {
        const QString zip = file + QStringLiteral(".zip");
        if (ZipFile(file, zip)) {
            seeds.append(WithMode(0, ReadFile(zip)));
            seeds.append(WithMode(1, ReadFile(zip)));
        }
    }
    return seeds;
}

// The legacy methods on their own: the first byte picks the method, the next
// four give the declared size.
class TFuzzLegacyIO : public TLegacyIO {
public:
    TFuzzLegacyIO(const std::uint8_t* data, std::size_t size, std::uint64_t expected)
        : FData(data), FSize(size), FExpected(expected)
    {
    }
    int ReadInputByte() override { return FPos < FSize ? FData[FPos++] : -1; }
    void WriteOutput(const std::uint8_t*, std::size_t length) override { FWritten += length; }
    std::uint64_t ExpectedSize() const override { return FExpected; }

private:
    const std::uint8_t* FData;
    std::size_t FSize;
    std::size_t FPos = 0;
    std::uint64_t FExpected;
    std::uint64_t FWritten = 0;
};

void RunZipLegacy(const std::uint8_t* data, std::size_t size)
{
    if (size < 5)
        return;
    const int method = data[0] % 8;
    std::uint32_t expected = 0;
    std::memcpy(&expected, data + 1, 4);
    expected %= 1u << 20;
    TFuzzLegacyIO io(data + 5, size - 5, expected);
    Guarded([&] {
        if (method == 0)
            UnShrink(io);
        else if (method <= 4)
            UnReduce(io, method);
        else
            Explode(io, static_cast<std::uint16_t>((method - 5) * 2));  // bit 1: 8K window, bit 2: 3 trees
    });
}

// Bits from the lowest up, as the legacy methods read them.
class TLsbBits {
public:
    void Put(std::uint32_t value, int bits)
    {
        for (int i = 0; i < bits; ++i) {
            if (FUsed == 8) {
                FOut.append('\0');
                FUsed = 0;
            }
            if (FOut.isEmpty()) {
                FOut.append('\0');
                FUsed = 0;
            }
            if (value & (1u << i))
                FOut[FOut.size() - 1] = static_cast<char>(FOut.back() | (1 << FUsed));
            ++FUsed;
        }
    }
    QByteArray Out() const { return FOut; }

private:
    QByteArray FOut;
    int FUsed = 0;
};

QByteArray LegacySeed(int method, std::uint32_t expected, const QByteArray& stream)
{
    QByteArray seed(1, static_cast<char>(method));
    seed.append(reinterpret_cast<const char*>(&expected), 4);
    return seed + stream;
}

QList<QByteArray> ZipLegacySeeds()
{
    QList<QByteArray> seeds;
    // Shrink: "a b (ab) c", a partial clear, then "d" and codes from the table.
    TLsbBits shrink;
    for (int code : {97, 98, 257, 99, 256, 2, 100, 258, 257, 259})
        shrink.Put(static_cast<std::uint32_t>(code), 9);
    seeds.append(LegacySeed(0, 12, shrink.Out()));
    // Reduce, factor 1: empty follower sets, literals, a copy.
    TLsbBits reduce;
    for (int i = 0; i < 256; ++i)
        reduce.Put(0, 6);
    for (char c : QByteArray("abc"))
        reduce.Put(static_cast<std::uint8_t>(c), 8);
    for (int v : {144, 3, 2, 144, 0})
        reduce.Put(static_cast<std::uint32_t>(v), 8);
    for (int factor = 1; factor <= 4; ++factor)
        seeds.append(LegacySeed(factor, 10, reduce.Out()));
    // Implode: a short stream of literal bits in each window and tree choice.
    TLsbBits explode;
    for (int i = 0; i < 64; ++i)
        explode.Put(static_cast<std::uint32_t>(i * 37), 8);
    for (int method = 5; method < 8; ++method)
        seeds.append(LegacySeed(method, 32, explode.Out()));
    return seeds;
}

// ---------------------------------------------------------------- WAVE

// A RIFF WAVE file through the wave library's reader: its header, lists and
// every sample.
void RunRiffWave(const std::uint8_t* data, std::size_t size)
{
    const QString folder = FreshFolder("riff");
    const QString path = folder + QStringLiteral("in.wav");
    if (!WriteFile(path, Bytes(data, size)))
        return;
    Guarded([&] {
        PSndWaveIOInfo info = nullptr;
        if (ParseWaveFile(info, path) == 0 && info) {
            if (ReopenWaveFile(info) == 0) {
                char buffer[4096];
                for (int i = 0; i < 4096; ++i)
                    if (ReadWaveData(info, buffer, sizeof(buffer)) <= 0)
                        break;
                if (info->Length > 2)
                    SeekWaveData(info, info->Length / 2);
                ReadWaveData(info, buffer, sizeof(buffer));
                CloseWaveFile(info);
            }
            FormatDescription(info->Format());
            info->InfoList.FileBytes();
            info->DispList.FileBytes();
        }
        if (info)
            FreeWaveInfo(info);
    });
}

QByteArray WrittenWave(int bits, int channels, std::uint32_t rate, int frames)
{
    const QString folder = FreshFolder("riff-seeds");
    const QString path = folder + QStringLiteral("seed.wav");
    QByteArray bytes;
    Guarded([&] {
        const TWaveFormatEx format = PcmFormat(bits, channels, rate);
        PSndWaveIOInfo info = nullptr;
        if (CreateWaveInfo(info, &format) != 0 || !info)
            return;
        info->InfoList.SetText(0, "Lesson");
        if (CreateWaveFile(info, path) == 0) {
            QByteArray samples(frames * channels * bits / 8, '\0');
            for (qsizetype i = 0; i < samples.size(); ++i)
                samples[i] = static_cast<char>((i * 29) & 0xFF);
            WriteWaveData(info, samples.constData(), samples.size());
            CloseWaveFile(info);
        }
        FreeWaveInfo(info);
        bytes = ReadFile(path);
    });
    return bytes;
}

// The same header with another format tag, block align and bits.
QByteArray Retagged(QByteArray wave, std::uint16_t tag, std::uint16_t align, std::uint16_t bits)
{
    const qsizetype fmt = wave.indexOf("fmt ");
    if (fmt < 0 || wave.size() < fmt + 24)
        return wave;
    auto put16 = [&](qsizetype at, std::uint16_t v) {
        wave[at] = static_cast<char>(v & 0xFF);
        wave[at + 1] = static_cast<char>(v >> 8);
    };
    put16(fmt + 8, tag);
    put16(fmt + 20, align);
    put16(fmt + 22, bits);
    return wave;
}

QList<QByteArray> WaveSeeds()
{
    QList<QByteArray> seeds;
    seeds.append(WrittenWave(8, 1, 11025, 200));
    seeds.append(WrittenWave(16, 2, 22050, 120));
    const QByteArray base = WrittenWave(16, 1, 8000, 505);
    seeds.append(base);
    seeds.append(Retagged(base, 0x11, 256, 4));  // IMA ADPCM
    seeds.append(Retagged(base, 0x02, 256, 4));  // MS ADPCM
    seeds.append(Retagged(base, 0x03, 4, 32));   // IEEE float
    seeds.append(Retagged(base, 0x06, 1, 8));    // a-law
    return seeds;
}

// The audio pipeline's WAV input: the header scan, the decoders and a seek.
void RunPipelineWave(const std::uint8_t* data, std::size_t size)
{
    QByteArray bytes = Bytes(data, size);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    Guarded([&] {
        TWaveIn input;
        input.SetStream(&buffer);
        input.Init();
        input.GetBitsPerSample();
        input.GetChannels();
        input.GetSampleRate();
        input.GetTotalSamples();
        std::int64_t total = 0;
        for (int i = 0; i < 4096 && total < (std::int64_t(64) << 20); ++i) {
            std::uint8_t* out = nullptr;
            std::uint32_t got = 4096;
            input.GetData(out, got);
            if (got == 0 || !out)
                break;
            total += got;
        }
        input.Flush();
    });
}

// ---------------------------------------------------------------- tags

void RunTags(const std::uint8_t* data, std::size_t size)
{
    const TModeInput in = SplitMode(data, size, 3);
    QByteArray bytes = in.Body;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    Guarded([&] {
        std::unique_ptr<TAudioTags> tags;
        switch (in.Mode) {
        case 0: tags = std::make_unique<TId3v1Tags>(); break;
        case 1: tags = std::make_unique<TId3v2Tags>(); break;
        default: tags = std::make_unique<TAPEv2Tags>(); break;
        }
        if (tags->HasTag(&buffer)) {
            buffer.seek(0);
            tags->ReadFromFile(&buffer);
            for (const QString& name : tags->Names())
                tags->AsString(name);
        }
        buffer.seek(0);
        tags->ReadFromFile(&buffer);
    });
}

QList<QByteArray> TagSeeds()
{
    QList<QByteArray> seeds;
    const QByteArray audio = QByteArray("\xFF\xFB\x90\x00", 4) + QByteArray(400, '\x55');
    for (int mode = 0; mode < 3; ++mode) {
        std::unique_ptr<TAudioTags> tags;
        switch (mode) {
        case 0: {
            auto v1 = std::make_unique<TId3v1Tags>();
            v1->SetTitle(QStringLiteral("Lesson one"));
            v1->SetArtist(QStringLiteral("Teacher"));
            v1->SetYear(2024);
            v1->SetTrack(3);
            tags = std::move(v1);
            break;
        }
        case 1: {
            auto v2 = std::make_unique<TId3v2Tags>();
            v2->SetValue(QStringLiteral("TIT2"), QStringLiteral("第一课"));
            v2->SetValue(QStringLiteral("TPE1"), QStringLiteral("Teacher"));
            v2->SetValue(QStringLiteral("COMM"), QStringLiteral("A comment"));
            tags = std::move(v2);
            break;
        }
        default: {
            auto ape = std::make_unique<TAPEv2Tags>();
            ape->SetTitle(QStringLiteral("Lesson one"));
            ape->SetArtist(QStringLiteral("谈季节"));
            ape->SetYear(QStringLiteral("2024"));
            tags = std::move(ape);
            break;
        }
        }
        QByteArray bytes = audio;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadWrite);
        Guarded([&] {
            if (mode == 1)
                buffer.seek(0);
            else
                buffer.seek(buffer.size());
            tags->WriteToFile(&buffer);
        });
        buffer.close();
        seeds.append(WithMode(mode, bytes));
    }
    return seeds;
}

// ---------------------------------------------------------------- subtitles

// ".srt", ".plrc" and ".lrc" files as the players read them, next to a
// media file of the same base name.
void RunSubtitles(const std::uint8_t* data, std::size_t size)
{
    const TModeInput in = SplitMode(data, size, 3);
    const QString folder = FreshFolder("subtitles");
    static const char* const Extensions[] = {".srt", ".plrc", ".lrc"};
    if (!WriteFile(folder + QStringLiteral("lesson") + QLatin1String(Extensions[in.Mode]), in.Body))
        return;
    Guarded([&] {
        int errorLine = 0;
        if (in.Mode == 0) {
            TVideoLrcItems items;
            LoadSrtFile(items, folder + QStringLiteral("lesson.mp4"), &errorLine);
            SaveSrtFile(items, folder + QStringLiteral("out.srt"));
        } else {
            TAudioLrcItems items;
            LoadLrcFile(items, folder + QStringLiteral("lesson.mp3"), &errorLine);
            SavePlrcFile(items, folder + QStringLiteral("out.plrc"));
            if (in.Mode == 1)
                PlrcToLrc(folder + QStringLiteral("lesson.plrc"), folder + QStringLiteral("lesson2.lrc"));
        }
        QStringList lines;
        ReadSubtitleLines(folder + QStringLiteral("lesson") + QLatin1String(Extensions[in.Mode]), lines);
    });
}

QList<QByteArray> SubtitleSeeds()
{
    QList<QByteArray> seeds;
    const QString folder = FreshFolder("subtitle-seeds");
    TVideoLrcItems video;
    for (int i = 0; i < 3; ++i) {
        TVideoLrcItem item;
        item.StartTime = QStringLiteral("00:00:0%1,250").arg(i * 3);
        item.EndTime = QStringLiteral("00:00:0%1,100").arg(i * 3 + 2);
        item.English = QStringLiteral("Spring is warm, number %1.").arg(i);
        item.China = QStringLiteral("春天很暖和。");
        video.append(item);
    }
    if (SaveSrtFile(video, folder + QStringLiteral("v.srt")))
        seeds.append(WithMode(0, ReadFile(folder + QStringLiteral("v.srt"))));
    TAudioLrcItems audio;
    for (int i = 0; i < 3; ++i) {
        TAudioLrcItem item;
        item.StartTime = QStringLiteral("00:0%1.50").arg(i * 2);
        item.English = QStringLiteral("Summer is hot.");
        item.China = QStringLiteral("夏天很热。");
        audio.append(item);
    }
    if (SavePlrcFile(audio, folder + QStringLiteral("a.plrc"))) {
        seeds.append(WithMode(1, ReadFile(folder + QStringLiteral("a.plrc"))));
        if (PlrcToLrc(folder + QStringLiteral("a.plrc"), folder + QStringLiteral("a.lrc")))
            seeds.append(WithMode(2, QByteArray("[ti:Lesson]\r\n[offset:500]\r\n") + ReadFile(folder + QStringLiteral("a.lrc"))));
    }
    return seeds;
}

// ---------------------------------------------------------------- update list

void RunUpdateList(const std::uint8_t* data, std::size_t size)
{
    // The window reads UpdatePara's list when it is made: made once, without one.
    static TFrmUpdateMain* Window = nullptr;
    if (!Window) {
        UpdatePara = TUpdatePara();
        Window = new TFrmUpdateMain();
    }
    QDir().mkpath(UpdateFolder());
    QDir().mkpath(UpdateBackupFolder());
    if (!WriteFile(UpdateFolder() + QStringLiteral("fuzz.xml"), Bytes(data, size)))
        return;
    Guarded([&] {
        TUpdatePara para;
        para.Version = QStringLiteral("1.0");
        para.UpdateFile = QStringLiteral("fuzz.xml");
        Window->LoadUpdateFileList(para);
    });
}

QList<QByteArray> UpdateListSeeds()
{
    return {
        QByteArray("<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<Root>\r\n"
                   "<Version Value=\"1.2\"/>\r\n<UpdateSign Value=\"1\"/>\r\n"
                   "<FileList Count=\"2\">\r\n"
                   "<File Name=\"pibozunexc\" Http=\"http://127.0.0.1/update/\" ReplaceDes=\"pibozunexc\"/>\r\n"
                   "<File Name=\"data.db\" Http=\"http://127.0.0.1/update/\" ReplaceDes=\"data/data.db\"/>\r\n"
                   "</FileList>\r\n</Root>\r\n"),
        QByteArray("<Root><Version Value=\"2\"/><UpdateSign Value=\"0\"/><FileList Count=\"0\"/></Root>"),
    };
}

// ---------------------------------------------------------------- ini

// An ini file through the ini class, and list, paragraph and text styles read
// from it as the rich-text styles store them.
void RunIni(const std::uint8_t* data, std::size_t size)
{
    const QString folder = FreshFolder("ini");
    const QString path = folder + QStringLiteral("in.ini");
    if (!WriteFile(path, Bytes(data, size)))
        return;
    Guarded([&] {
        TIniFile ini(path);
        // The file's lines as the ini class reads them (GBK).
        const QStringList lines = AnsiToString(Bytes(data, size)).split(u'\n');
        ini.SectionExists(QStringLiteral("Update"));
        ini.ReadString(QStringLiteral("Update"), QStringLiteral("Version"), QString());
        ini.ReadInteger(QStringLiteral("Update"), QStringLiteral("Sign"), 0);
        // Every section and key the file names.
        QString section;
        for (const QString& line : lines.mid(0, 200)) {
            const QString t = line.trimmed();
            if (t.startsWith(u'[') && t.endsWith(u']')) {
                section = t.mid(1, t.size() - 2);
                ini.SectionExists(section);
            } else if (const qsizetype eq = t.indexOf(u'='); eq > 0) {
                ini.ReadString(section, t.left(eq), QString());
                ini.ValueExists(section, t.left(eq));
            }
        }
        ini.WriteString(QStringLiteral("Update"), QStringLiteral("Version"), QStringLiteral("2.0"));
        ini.WriteInteger(section.isEmpty() ? QStringLiteral("New") : section, QStringLiteral("Count"), 7);
    });
    RunIniStyles(path);
}

QList<QByteArray> IniSeeds()
{
    QList<QByteArray> seeds;
    const QString folder = FreshFolder("ini-seeds");
    const QString path = folder + QStringLiteral("Update.ini");
    WriteFile(path, QByteArray("; Update\r\n"));
    Guarded([&] {
        TIniFile ini(path);
        ini.WriteString(QStringLiteral("Update"), QStringLiteral("Version"), QStringLiteral("1.0"));
        ini.WriteString(QStringLiteral("Update"), QStringLiteral("Http"), QStringLiteral("http://127.0.0.1/"));
        ini.WriteInteger(QStringLiteral("Update"), QStringLiteral("Sign"), 1);
        ini.WriteString(QStringLiteral("用户"), QStringLiteral("名字"), QStringLiteral("学生"));
    });
    seeds.append(ReadFile(path));
    const QString styles = folder + QStringLiteral("styles.ini");
    WriteFile(styles, QByteArray());
    WriteIniStyles(styles);
    seeds.append(ReadFile(styles));
    return seeds;
}

// ---------------------------------------------------------------- packages

// A courseware package opened as the players open it: a video package is
// split, an audio package unzipped and split (its media made playable).
void RunPackage(const std::uint8_t* data, std::size_t size)
{
    const TModeInput in = SplitMode(data, size, 3);
    const QString folder = FreshFolder("package");
    // temp/ holds what an earlier opening unpacked: gone, so each input is read.
    QDir(ProgramFolder() + QStringLiteral("temp")).removeRecursively();
    QDir().mkpath(ProgramFolder() + QStringLiteral("temp"));
    QDir().mkpath(folder);
    const QString pack = folder + (in.Mode == 1 ? QStringLiteral("lesson.pibo") : QStringLiteral("lesson.vpibo"));
    if (!WriteFile(pack, in.Body))
        return;
    Guarded([&] {
        if (in.Mode == 2) {
            QString media = folder + QStringLiteral("split");
            SplitPackFile(pack, folder + QStringLiteral("split.srt"), media);
            QString ext;
            try {
                ReadPackMediaExt(pack, ext);
            } catch (const EPackError&) {
            }
            return;
        }
        QString play;
        OpenPackage(pack, play);
    });
}

QList<QByteArray> PackageSeeds()
{
    QList<QByteArray> seeds;
    const QString folder = FreshFolder("package-seeds");
    const QString srt = folder + QStringLiteral("LESSON.srt");
    WriteFile(srt, QByteArray("1\r\n00:00:00,000 --> 00:00:01,000\r\nHello.\r\n\xC4\xE3\xBA\xC3\r\n\r\n"));
    const QString plrc = folder + QStringLiteral("LESSON.plrc");
    WriteFile(plrc, QByteArray("00:00.00\r\nHello.\r\n\xC4\xE3\xBA\xC3\r\n"));
    const QString mp4 = folder + QStringLiteral("LESSON.MP4");
    WriteFile(mp4, QByteArray("\x00\x00\x00\x18" "ftypmp42", 12) + QByteArray(64, '\0'));
    const QString wav = folder + QStringLiteral("LESSON.WAV");
    WriteFile(wav, WrittenWave(16, 1, 8000, 400));
    const QString video = folder + QStringLiteral("video.vpibo");
    if (JoinPackFile(srt, mp4, video)) {
        seeds.append(WithMode(0, ReadFile(video)));
        seeds.append(WithMode(2, ReadFile(video)));
    }
    const QString audio = folder + QStringLiteral("audio.pibo");
    if (JoinPackFile(plrc, wav, audio) && ZipInPlace(audio))
        seeds.append(WithMode(1, ReadFile(audio)));
    return seeds;
}

}  // namespace

// ---------------------------------------------------------------- the table

const QList<TFuzzEntry>& FuzzEntries()
{
    static const QList<TFuzzEntry> Entries = {
        {"zip", RunZip, ZipSeeds},
        {"zip_legacy", RunZipLegacy, ZipLegacySeeds},
        {"riff_wave", RunRiffWave, WaveSeeds},
        {"pipeline_wave", RunPipelineWave, WaveSeeds},
        {"audio_tags", RunTags, TagSeeds},
        {"subtitles", RunSubtitles, SubtitleSeeds},
        {"update_list", RunUpdateList, UpdateListSeeds},
        {"ini", RunIni, IniSeeds},
        {"package", RunPackage, PackageSeeds},
        {"rdf", RunRdf, RdfSeeds},
        {"rdf_styles", RunRdfStyles, RdfStyleSeeds},
        {"markup", RunMarkup, MarkupSeeds},
        {"code_pages", RunCodePages, CodePageSeeds},
        {"text_file", RunTextFile, TextFileSeeds},
        {"spell_lists", RunSpellLists, SpellListSeeds},
    };
    return Entries;
}

const TFuzzEntry* FindFuzzEntry(const char* name)
{
    for (const TFuzzEntry& entry : FuzzEntries())
        if (std::strcmp(entry.Name, name) == 0)
            return &entry;
    return nullptr;
}

void RunFuzzEntry(const char* name, const QByteArray& input)
{
    FindFuzzEntry(name)->Run(reinterpret_cast<const std::uint8_t*>(input.constData()),
                             static_cast<std::size_t>(input.size()));
}
