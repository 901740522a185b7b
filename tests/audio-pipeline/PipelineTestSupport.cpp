#include "PipelineTestSupport.h"

#include "TestSupport.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QProcess>
#include <QtCore/QStandardPaths>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

bool RunTool(const QString& program, const QStringList& args, QByteArray* out)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(10000))
        return false;
    p.closeWriteChannel();
    QByteArray data;
    while (!p.waitForFinished(100))
        data += p.readAllStandardOutput();
    data += p.readAllStandardOutput();
    if (out)
        *out = data;
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool HaveTools(const QStringList& programs)
{
    for (const QString& p : programs)
        if (QStandardPaths::findExecutable(p).isEmpty())
            return false;
    return true;
}

QByteArray FfmpegS16(const QString& file)
{
    QByteArray out;
    if (!RunTool("ffmpeg", {"-v", "error", "-i", file, "-f", "s16le", "-"}, &out))
        return QByteArray();
    return out;
}

double ProbeDuration(const QString& file)
{
    QByteArray out;
    if (!RunTool("ffprobe", {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", file}, &out))
        return -1;
    bool ok = false;
    const double d = QString::fromLatin1(out).trimmed().toDouble(&ok);
    return ok ? d : -1;
}

double SoxiDuration(const QString& file)
{
    QByteArray out;
    if (!RunTool("soxi", {"-D", file}, &out))
        return -1;
    bool ok = false;
    const double d = QString::fromLatin1(out).trimmed().toDouble(&ok);
    return ok ? d : -1;
}

QByteArray ReadAll(TAudioInput& input)
{
    QByteArray all;
    input.Init();
    for (;;) {
        std::uint8_t* buffer = nullptr;
        std::uint32_t bytes = 16384;
        input.GetData(buffer, bytes);
        if (!buffer || bytes == 0)
            break;
        all.append(reinterpret_cast<const char*>(buffer), bytes);
    }
    input.Flush();
    return all;
}

std::vector<std::int16_t> ToS16(const QByteArray& data, int bits)
{
    std::vector<std::int16_t> s;
    const auto* p = reinterpret_cast<const std::uint8_t*>(data.constData());
    const int width = bits / 8;
    for (qsizetype i = 0; i + width <= data.size(); i += width) {
        if (width == 1)
            s.push_back(std::int16_t((int(p[i]) - 128) * 256));
        else
            s.push_back(std::int16_t(p[i + width - 2] | (p[i + width - 1] << 8)));
    }
    return s;
}

std::vector<std::int16_t> AsS16(const QByteArray& data)
{
    return ToS16(data, 16);
}

int MaxDifference(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b)
{
    if (a.size() != b.size())
        return INT_MAX;
    int worst = 0;
    for (size_t i = 0; i < a.size(); ++i)
        worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    return worst;
}

double RelativeRms(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b)
{
    double err = 0, sig = 0;
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const double d = double(a[i]) - double(b[i]);
        err += d * d;
        sig += double(b[i]) * double(b[i]);
    }
    return sig > 0 ? std::sqrt(err / sig) : (err > 0 ? 1.0 : 0.0);
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    return RunEventsUntil(done, timeoutMs);
}
