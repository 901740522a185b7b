#include "VideoFixtures.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDeadlineTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QProcess>
#include <QtCore/QRandomGenerator>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>
#include <QtGui/QImage>

#include <gtest/gtest.h>

namespace VideoFixtures {

namespace {

QTemporaryDir& Dir()
{
    static QTemporaryDir dir;
    return dir;
}

QByteArray Run(const QString& program, const QStringList& args, bool& ok)
{
    QProcess process;
    process.start(program, args);
    ok = process.waitForStarted(30000) && process.waitForFinished(120000) &&
         process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return ok ? process.readAllStandardOutput() : QByteArray();
}

// Three seconds of red, green and blue at the given size with a tone.
QStringList ColourSeconds(const QString& size)
{
    QStringList args;
    for (const char* colour : {"0xFF0000", "0x00FF00", "0x0000FF"})
        args << "-f" << "lavfi" << "-i" << QStringLiteral("color=c=%1:s=%2:r=25:d=1").arg(colour, size);
    args << "-f" << "lavfi" << "-i" << "sine=frequency=440:duration=3:sample_rate=44100"
         << "-filter_complex" << "[0:v][1:v][2:v]concat=n=3:v=1:a=0[v]" << "-map" << "[v]" << "-map" << "3:a";
    return args;
}

void Make(const QString& name, const QString& path)
{
    if (name == "junk.avi") {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        QByteArray bytes(20000, '\0');
        QRandomGenerator generator(1234);
        for (char& c : bytes)
            c = static_cast<char>(generator.bounded(256));
        file.write(bytes);
        return;
    }
    QStringList args{"-v", "error", "-y"};
    const QStringList avi{"-c:v", "mpeg4", "-q:v", "5", "-c:a", "libmp3lame", "-b:a", "64k"};
    const QStringList wmv{"-c:v", "wmv2", "-b:v", "300k", "-c:a", "wmav2", "-b:a", "64k"};
    if (name == "rgb.avi")
        args << ColourSeconds("320x240") << avi;
    else if (name == "rgb.wmv" || name == "rgb.asf")
        args << ColourSeconds("320x240") << wmv;
    else if (name == "wide.avi")
        args << ColourSeconds("640x480") << avi;
    else if (name == "audio.avi")
        args << "-f" << "lavfi" << "-i" << "sine=frequency=440:duration=2" << "-c:a" << "libmp3lame";
    else
        FAIL() << "no recipe for " << name.toStdString();
    args << path;
    bool ok = false;
    Run(QStringLiteral("ffmpeg"), args, ok);
    EXPECT_TRUE(ok) << "ffmpeg could not make " << name.toStdString();
}

}  // namespace

QString File(const QString& name)
{
    const QString path = Dir().path() + u'/' + name;
    if (name != "missing.avi" && !QFileInfo::exists(path))
        Make(name, path);
    return path;
}

std::int64_t ProbeDurationMs(const QString& path)
{
    bool ok = false;
    const QByteArray out = Run(QStringLiteral("ffprobe"),
                               {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path}, ok);
    bool number = false;
    const double seconds = out.trimmed().toDouble(&number);
    return ok && number ? static_cast<std::int64_t>(seconds * 1000 + 0.5) : -1;
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        // Runs the event loop for a short while, waiting for events without
        // spinning.
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

char MiddleColour(const QImage& image)
{
    if (image.isNull())
        return '?';
    const QColor c = image.pixelColor(image.width() / 2, image.height() / 2);
    if (c.red() > 150 && c.green() < 100 && c.blue() < 100)
        return 'r';
    if (c.green() > 150 && c.red() < 100 && c.blue() < 100)
        return 'g';
    if (c.blue() > 150 && c.red() < 100 && c.green() < 100)
        return 'b';
    return '?';
}

}  // namespace VideoFixtures
