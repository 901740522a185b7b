// Makes a sample audio lesson package from a text of sentences:
//   make_sample_lesson <sentences.txt> <package.pibo>
// Each line of the text holds an English sentence, a tab and its Chinese
// line ('#' starts a comment line). espeak-ng speaks every sentence, 0.8 s of
// silence goes between them, the sound becomes an MP3 through the program's
// own converter, and the subtitle and the MP3 are joined and zipped into the
// package. Sentence times refer to the sound as the program plays it, with
// 0.5 s of silence in front: the first at 00:00.00, each other 0.3 s before
// its sentence starts.

#include "SampleSpeech.h"
#include "UAudioConverters.h"
#include "UCommonFun.h"
#include "UPiboAudioClass.h"
#include "UPiboDataPack.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTemporaryDir>

#include <cstdio>

namespace {

constexpr int GapMs = 800;
constexpr int LeadMs = 300;
constexpr int PaddingMs = 500;

QString GPackage;

int Fail(const QString& why)
{
    std::fprintf(stderr, "cannot make the sample lesson %s: %s\n", qPrintable(GPackage), qPrintable(why));
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: make_sample_lesson <sentences.txt> <package.pibo>\n");
        return 2;
    }
    GPackage = args[2];

    TAudioLrcItems items;
    QString why;
    if (!ReadSampleSentences(args[1], items, why))
        return Fail(why);

    QTemporaryDir work;
    if (!work.isValid())
        return Fail(QStringLiteral("no work folder"));

    TSamplePcm lesson;
    for (int k = 0; k < items.size(); ++k) {
        TSamplePcm sentence;
        if (!SpeakSampleSentence(items[k].English, work.path(), QStringLiteral("s%1.wav").arg(k), sentence, why))
            return Fail(why);
        if (k == 0) {
            lesson.Channels = sentence.Channels;
            lesson.Rate = sentence.Rate;
            lesson.Bits = sentence.Bits;
        } else if (sentence.Channels != lesson.Channels || sentence.Rate != lesson.Rate || sentence.Bits != lesson.Bits) {
            return Fail(QStringLiteral("espeak-ng changed its sound format"));
        }
        if (k > 0)
            lesson.AppendSilence(GapMs);
        const qint64 startMs = lesson.LengthMs();
        items[k].StartTime = MSecToLrcTime(k == 0 ? 0 : static_cast<qint32>(startMs - LeadMs + PaddingMs));
        lesson.Data.append(sentence.Data);
    }

    const QString joined = work.filePath(QStringLiteral("lesson.wav"));
    const QString mp3 = work.filePath(QStringLiteral("lesson.mp3"));
    if (!WriteSampleWave(joined, lesson))
        return Fail(QStringLiteral("the joined sound cannot be written"));
    try {
        TAudioConverters converter;
        if (!converter.Convert(TAudioConverters::cmWavToMp3, joined, mp3))
            return Fail(QStringLiteral("the MP3 conversion failed: %1").arg(converter.LastError()));
    } catch (const std::exception& e) {
        return Fail(QStringLiteral("the MP3 encoder cannot be used: %1").arg(QString::fromLocal8Bit(e.what())));
    }

    const QString plrc = work.filePath(QStringLiteral("lesson.plrc"));
    if (!SavePlrcFile(items, plrc))
        return Fail(QStringLiteral("the subtitle cannot be written"));
    // Packed under its own name: the archive's entry is named after it.
    const QString packed = work.filePath(QFileInfo(GPackage).fileName());
    if (!JoinPackFile(plrc, mp3, packed) || !ZipInPlace(packed))
        return Fail(QStringLiteral("packing failed"));
    QDir().mkpath(QFileInfo(GPackage).absolutePath());
    QFile::remove(GPackage);
    if (!QFile::copy(packed, GPackage))
        return Fail(QStringLiteral("the package cannot be written"));
    std::printf("%s: %lld sentences, %lld bytes\n", qPrintable(GPackage), static_cast<long long>(items.size()),
                static_cast<long long>(QFileInfo(GPackage).size()));
    return 0;
}
