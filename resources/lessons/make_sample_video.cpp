// Makes a sample video lesson package from a text of sentences:
//   make_sample_video <sentences.txt> <package.vpibo>
// Each line of the text holds an English sentence, a tab and its Chinese
// line ('#' starts a comment line). espeak-ng speaks every sentence, with a
// second of silence before the first, between two and after the last. The
// pictures are drawn here, frame by frame: a landscape under a sky that goes
// from dawn through the day to night while the lesson plays (the sentences
// follow a day), with the sentence's number in a corner. ffmpeg encodes the
// frames and the sound as an AVI (MPEG-4 and MP3); its ".srt" gives each
// sentence a cue from 0.3 s before its sound to 0.3 s after it, and the two
// are joined into the package (video packages are not zipped).

#include "SampleSpeech.h"
#include "UCommonFun.h"
#include "UPiboDataPack.h"
#include "UPiboVideoClass.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int FrameWidth = 480;
constexpr int FrameHeight = 360;
constexpr int FramesPerSecond = 25;
constexpr int SilenceMs = 1000;  // before the first sentence, between two, after the last
constexpr int CueMarginMs = 300;

QString GVideoPackage;

int Fail(const QString& why)
{
    std::fprintf(stderr, "cannot make the sample video lesson %s: %s\n", qPrintable(GVideoPackage), qPrintable(why));
    return 1;
}

QColor Mix(const QColor& a, const QColor& b, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t), float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t));
}

// The colour of a list of colours at day (0 .. 1), evenly spread.
QColor Along(const QList<QColor>& colours, double day)
{
    const double at = std::clamp(day, 0.0, 1.0) * double(colours.size() - 1);
    const int i = std::min(int(at), int(colours.size()) - 2);
    return Mix(colours.at(i), colours.at(i + 1), at - i);
}

// One frame: day runs from 0 (dawn) to 1 (night); cue is the sentence on
// show (from 1; 0 before the first).
void DrawFrame(QImage& image, double day, int cue, int cues)
{
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QList<QColor> skyTop{QColor(70, 80, 150), QColor(60, 140, 230), QColor(40, 120, 220),
                               QColor(90, 70, 140), QColor(15, 20, 60)};
    const QList<QColor> skyLow{QColor(250, 170, 120), QColor(170, 215, 250), QColor(150, 205, 250),
                               QColor(250, 140, 80), QColor(40, 45, 100)};
    QLinearGradient sky(0, 0, 0, FrameHeight * 0.7);
    sky.setColorAt(0, Along(skyTop, day));
    sky.setColorAt(1, Along(skyLow, day));
    p.fillRect(image.rect(), sky);

    // The sun crosses the sky by day; the moon rises as it sets.
    const double pi = 3.14159265358979;
    if (day < 0.85) {
        const double a = day / 0.85 * pi;
        const QPointF sun(FrameWidth * (0.1 + 0.8 * day / 0.85), FrameHeight * (0.62 - 0.5 * std::sin(a)));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 230, 120, 90));
        p.drawEllipse(sun, 40, 40);
        p.setBrush(QColor(255, 215, 60));
        p.drawEllipse(sun, 26, 26);
    }
    if (day > 0.7) {
        const double rise = std::clamp((day - 0.7) / 0.3, 0.0, 1.0);
        const QPointF moon(FrameWidth * 0.78, FrameHeight * (0.55 - 0.35 * rise));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(245, 245, 220));
        p.drawEllipse(moon, 20, 20);
        p.setBrush(Along(skyTop, day));
        p.drawEllipse(moon + QPointF(9, -6), 17, 17);
        p.setBrush(QColor(255, 255, 255, int(200 * rise)));
        for (int s = 0; s < 14; ++s)
            p.drawEllipse(QPointF((s * 137) % FrameWidth, (s * 61) % int(FrameHeight * 0.45) + 10), 1.5, 1.5);
    }

    // A cloud drifts across.
    const double cloudX = std::fmod(day * FrameWidth * 1.6, FrameWidth + 160.0) - 80;
    p.setPen(Qt::NoPen);
    p.setBrush(Mix(QColor(255, 255, 255, 230), QColor(120, 120, 150, 200), (day - 0.6) / 0.3));
    for (const QPointF& d : {QPointF(0, 0), QPointF(28, -12), QPointF(56, 0), QPointF(28, 6)})
        p.drawEllipse(QPointF(cloudX, 70) + d, 30, 18);

    // Hills, a path and a house with windows lit at night.
    const QColor grass = Mix(QColor(90, 170, 80), QColor(25, 55, 40), (day - 0.6) / 0.35);
    QPainterPath far;
    far.moveTo(0, FrameHeight * 0.72);
    far.cubicTo(FrameWidth * 0.3, FrameHeight * 0.55, FrameWidth * 0.6, FrameHeight * 0.8, FrameWidth, FrameHeight * 0.62);
    far.lineTo(FrameWidth, FrameHeight);
    far.lineTo(0, FrameHeight);
    p.setBrush(grass.darker(125));
    p.drawPath(far);
    QPainterPath near;
    near.moveTo(0, FrameHeight * 0.82);
    near.cubicTo(FrameWidth * 0.4, FrameHeight * 0.7, FrameWidth * 0.7, FrameHeight * 0.9, FrameWidth, FrameHeight * 0.78);
    near.lineTo(FrameWidth, FrameHeight);
    near.lineTo(0, FrameHeight);
    p.setBrush(grass);
    p.drawPath(near);

    const QRectF wall(FrameWidth * 0.18, FrameHeight * 0.6, 90, 62);
    p.setBrush(Mix(QColor(235, 215, 180), QColor(90, 85, 95), (day - 0.6) / 0.35));
    p.drawRect(wall);
    QPainterPath roof;
    roof.moveTo(wall.left() - 10, wall.top());
    roof.lineTo(wall.center().x(), wall.top() - 40);
    roof.lineTo(wall.right() + 10, wall.top());
    roof.closeSubpath();
    p.setBrush(QColor(170, 60, 50).darker(day > 0.75 ? 160 : 100));
    p.drawPath(roof);
    const QColor window = day > 0.72 ? QColor(255, 220, 110) : QColor(120, 170, 210);
    p.setBrush(window);
    p.drawRect(QRectF(wall.left() + 12, wall.top() + 14, 20, 18));
    p.drawRect(QRectF(wall.right() - 32, wall.top() + 14, 20, 18));
    p.setBrush(QColor(110, 70, 40));
    p.drawRect(QRectF(wall.center().x() - 9, wall.bottom() - 30, 18, 30));

    // The sentence's number.
    if (cue > 0) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(18);
        font.setBold(true);
        p.setFont(font);
        const QRectF badge(FrameWidth - 86, 12, 72, 30);
        p.setBrush(QColor(0, 0, 0, 110));
        p.drawRoundedRect(badge, 8, 8);
        p.setPen(Qt::white);
        p.drawText(badge, Qt::AlignCenter, QStringLiteral("%1 / %2").arg(cue).arg(cues));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: make_sample_video <sentences.txt> <package.vpibo>\n");
        return 2;
    }
    GVideoPackage = args[2];

    TAudioLrcItems sentences;
    QString why;
    if (!ReadSampleSentences(args[1], sentences, why))
        return Fail(why);
    QTemporaryDir work;
    if (!work.isValid())
        return Fail(QStringLiteral("no work folder"));

    // The sound, and a cue around each sentence.
    TSamplePcm sound;
    TVideoLrcItems cues;
    for (int k = 0; k < sentences.size(); ++k) {
        TSamplePcm spoken;
        if (!SpeakSampleSentence(sentences[k].English, work.path(), QStringLiteral("s%1.wav").arg(k), spoken, why))
            return Fail(why);
        if (k == 0) {
            sound.Channels = spoken.Channels;
            sound.Rate = spoken.Rate;
            sound.Bits = spoken.Bits;
        } else if (spoken.Channels != sound.Channels || spoken.Rate != sound.Rate || spoken.Bits != sound.Bits) {
            return Fail(QStringLiteral("espeak-ng changed its sound format"));
        }
        sound.AppendSilence(SilenceMs);
        const qint64 start = sound.LengthMs();
        sound.Data.append(spoken.Data);
        TVideoLrcItem cue;
        cue.StartTime = MSecToSrtTime(qint32(start - CueMarginMs));
        cue.EndTime = MSecToSrtTime(qint32(sound.LengthMs() + CueMarginMs));
        cue.English = sentences[k].English;
        cue.China = sentences[k].China;
        cues.append(cue);
    }
    sound.AppendSilence(SilenceMs);
    const QString wav = work.filePath(QStringLiteral("sound.wav"));
    if (!WriteSampleWave(wav, sound))
        return Fail(QStringLiteral("the joined sound cannot be written"));

    // The pictures, straight into ffmpeg.
    const QString avi = work.filePath(QStringLiteral("lesson.avi"));
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-v", "error", "-y", "-f", "rawvideo", "-pix_fmt", "rgb24", "-s",
                  QStringLiteral("%1x%2").arg(FrameWidth).arg(FrameHeight), "-r", QString::number(FramesPerSecond),
                  "-i", "-", "-i", wav, "-c:v", "mpeg4", "-q:v", "4", "-pix_fmt", "yuv420p", "-c:a", "libmp3lame",
                  "-b:a", "64k", "-shortest", avi});
    if (!ffmpeg.waitForStarted(30000))
        return Fail(QStringLiteral("ffmpeg is missing (apt-get install ffmpeg)"));
    const qint64 totalMs = sound.LengthMs();
    const qint64 frames = (totalMs * FramesPerSecond + 999) / 1000;
    QImage image(FrameWidth, FrameHeight, QImage::Format_RGB888);
    int cue = 0;
    for (qint64 f = 0; f < frames; ++f) {
        const qint64 ms = f * 1000 / FramesPerSecond;
        while (cue < cues.size() && SrtTimeToMSec(cues.at(cue).StartTime) <= ms)
            ++cue;
        DrawFrame(image, double(ms) / double(totalMs), cue, int(cues.size()));
        for (int y = 0; y < FrameHeight; ++y) {
            if (ffmpeg.write(reinterpret_cast<const char*>(image.constScanLine(y)), FrameWidth * 3) != FrameWidth * 3)
                return Fail(QStringLiteral("ffmpeg took no more frames"));
        }
        while (ffmpeg.bytesToWrite() > 0)
            if (!ffmpeg.waitForBytesWritten(60000))
                return Fail(QStringLiteral("ffmpeg took no more frames"));
    }
    ffmpeg.closeWriteChannel();
    if (!ffmpeg.waitForFinished(300000) || ffmpeg.exitStatus() != QProcess::NormalExit || ffmpeg.exitCode() != 0)
        return Fail(QStringLiteral("ffmpeg could not encode the video"));

    const QString srt = work.filePath(QStringLiteral("lesson.srt"));
    if (!SaveSrtFile(cues, srt))
        return Fail(QStringLiteral("the subtitle cannot be written"));
    const QString packed = work.filePath(QStringLiteral("lesson.vpibo"));
    if (!JoinPackFile(srt, avi, packed))
        return Fail(QStringLiteral("packing failed"));
    QDir().mkpath(QFileInfo(GVideoPackage).absolutePath());
    QFile::remove(GVideoPackage);
    if (!QFile::copy(packed, GVideoPackage))
        return Fail(QStringLiteral("the package cannot be written"));
    std::printf("%s: %lld sentences, %lld ms, %lld bytes\n", qPrintable(GVideoPackage),
                static_cast<long long>(cues.size()), static_cast<long long>(totalMs),
                static_cast<long long>(QFileInfo(GVideoPackage).size()));
    return 0;
}
