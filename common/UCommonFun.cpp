#include "UCommonFun.h"

#include "IniFile.h"
#include "ProgramFolder.h"
#include "AnsiText.h"
#include "NetworkProbe.h"
#include "ProgramModules.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QEventLoop>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QProcess>
#include <QtCore/QRandomGenerator>
#include <QtCore/QStringDecoder>
#include <QtCore/QTimer>
#include <QtCore/QUrl>
#include <QtGui/QDesktopServices>

#include <limits>
#include <mutex>
#include <utility>

namespace {

// Two-digit (or wider) decimal text of a non-negative number.
QString TwoDigits(qint64 value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

// The number written by the digits text[pos, pos + len); EConvertError when
// one of them is not an ASCII digit.
qint64 DigitsAt(const QString& text, qsizetype pos, qsizetype len)
{
    const QString part = text.mid(pos, len);
    bool digits = !part.isEmpty();
    for (const QChar c : part)
        digits = digits && c >= u'0' && c <= u'9';
    if (!digits)
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(part));
    return part.toLongLong();
}

[[noreturn]] void BadTime(const QString& text)
{
    throw EConvertError(QStringLiteral("'%1' is not a valid time").arg(text));
}

// Blank as the trimming of the programs counts it: spaces and control characters.
bool IsBlank(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() > 0x20)
            return false;
    return true;
}

bool IsWebAddress(const QString& target)
{
    if (target.startsWith(QLatin1String("www."), Qt::CaseInsensitive))
        return true;
    const QUrl url(target, QUrl::StrictMode);
    // One-letter schemes would be drive letters, not web addresses.
    return url.isValid() && url.scheme().size() > 1;
}

}  // namespace

bool PointInRect(int x, int y, const QRect& rect)
{
    const int right = rect.left() + rect.width();
    const int bottom = rect.top() + rect.height();
    return rect.left() < x && x < right && rect.top() < y && y < bottom;
}

void RandomizeIntArray(TIntAry& values)
{
    QRandomGenerator* random = QRandomGenerator::global();
    for (qsizetype i = values.size() - 1; i > 0; --i) {
        const auto j = static_cast<qsizetype>(random->bounded(static_cast<quint64>(i) + 1));
        std::swap(values[i], values[j]);
    }
}

QString MSecToLrcTime(qint32 ms)
{
    const qint64 t = ms < 0 ? 0 : ms;
    return TwoDigits(t / 60000) + u':' + TwoDigits(t / 1000 % 60) + u'.' + TwoDigits(t % 1000 / 10);
}

qint32 LrcTimeToMSec(const QString& text)
{
    // mm:ss.cc or mmm:ss.cc
    const qsizetype minuteDigits = text.size() - 6;
    if (minuteDigits != 2 && minuteDigits != 3)
        BadTime(text);
    const qint64 minutes = DigitsAt(text, 0, minuteDigits);
    const qint64 seconds = DigitsAt(text, minuteDigits + 1, 2);
    const qint64 hundredths = DigitsAt(text, minuteDigits + 4, 2);
    return static_cast<qint32>(minutes * 60000 + seconds * 1000 + hundredths * 10);
}

QString MSecToSrtTime(qint32 ms)
{
    const qint64 t = ms < 0 ? 0 : ms;
    return TwoDigits(t / 3600000) + u':' + TwoDigits(t / 1000 % 3600 / 60) + u':' + TwoDigits(t / 1000 % 60) + u','
           + QStringLiteral("%1").arg(t % 1000, 3, 10, QLatin1Char('0'));
}

qint32 SrtTimeToMSec(const QString& text)
{
    // hh:mm:ss,mmm or hhh:mm:ss,mmm
    const qsizetype hourDigits = text.size() - 10;
    if (hourDigits != 2 && hourDigits != 3)
        BadTime(text);
    const qint64 hours = DigitsAt(text, 0, hourDigits);
    const qint64 minutes = DigitsAt(text, hourDigits + 1, 2);
    const qint64 seconds = DigitsAt(text, hourDigits + 4, 2);
    const qint64 millis = DigitsAt(text, hourDigits + 7, 3);
    const qint64 total = hours * 3600000 + minutes * 60000 + seconds * 1000 + millis;
    if (total > std::numeric_limits<qint32>::max())
        BadTime(text);
    return static_cast<qint32>(total);
}

void SplitString(const QString& text, const QString& sep, QStringList& list)
{
    list.clear();
    QString rest = text;
    if (!sep.isEmpty()) {
        for (qsizetype at = rest.indexOf(sep); at >= 0; at = rest.indexOf(sep)) {
            const QString part = rest.left(at);
            if (!IsBlank(part))
                list.append(part);
            rest.remove(0, at + sep.size());
        }
    }
    if (!rest.isEmpty())
        list.append(rest);
}

void SplitStrings(const QString& text, const QString& sep, QStringList& strings)
{
    strings.clear();
    QString rest = text;
    if (!sep.isEmpty()) {
        for (qsizetype at = rest.indexOf(sep); at >= 0; at = rest.indexOf(sep)) {
            strings.append(rest.left(at));
            rest.remove(0, at + sep.size());
        }
    }
    strings.append(rest);
}

bool ShellRenameFile(const QString& oldPath, const QString& newPath)
{
    try {
        if (oldPath.isEmpty() || newPath.isEmpty() || !QFileInfo::exists(oldPath))
            return false;
        if (QFileInfo(newPath).exists() || QFileInfo(newPath).isSymLink())
            return false;
        return QDir().rename(oldPath, newPath);
    } catch (...) {
        return false;
    }
}

int MediaKindOfExt(const QString& ext)
{
    for (const char* audio : {".wav", ".mp3"})
        if (ext.compare(QLatin1String(audio), Qt::CaseInsensitive) == 0)
            return 1;
    for (const char* video : {".asf", ".avi", ".wmv"})
        if (ext.compare(QLatin1String(video), Qt::CaseInsensitive) == 0)
            return 2;
    return 0;
}

bool RunProgram(const QString& target)
{
    try {
        const QString text = target.trimmed();
        if (text.isEmpty())
            return false;
        if (IsWebAddress(text)) {
            const QUrl url = text.startsWith(QLatin1String("www."), Qt::CaseInsensitive)
                                 ? QUrl(QStringLiteral("http://") + text)
                                 : QUrl(text);
            return QDesktopServices::openUrl(url);
        }
        const QFileInfo file(QDir::isAbsolutePath(text) ? text : ProgramFolder() + text);
        if (!file.exists())
            return false;
        if (file.isFile() && file.isExecutable())
            return QProcess::startDetached(file.absoluteFilePath(), {}, ProgramFolder());
        return QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath()));
    } catch (...) {
        return false;
    }
}

namespace {

// The connection test of the network module, loaded at the first call and
// kept for the life of the process; nullptr (and a warning, once) when the
// module cannot be loaded: the program is then offline.
TNetworkProbeConnectFn NetworkProbe()
{
    static std::once_flag once;
    static TNetworkProbeConnectFn probe = nullptr;
    std::call_once(once, [] {
        const QString path = ProgramModulePath(QString::fromLatin1(NetworkProbeModuleFileName));
        QString error;
        void* module = OpenProgramModule(path, error);
        const auto version =
            reinterpret_cast<TNetworkProbeVersionFn>(ProgramModuleSymbol(module, NetworkProbeVersionSymbol));
        if (version && version() == NetworkProbeInterfaceVersion)
            probe = reinterpret_cast<TNetworkProbeConnectFn>(ProgramModuleSymbol(module, NetworkProbeConnectSymbol));
        else if (module)
            error = path + QStringLiteral(": not the interface version this program needs");
        if (!probe)
            qWarning("The network module cannot be loaded: %s", qUtf8Printable(error));
    });
    return probe;
}

}  // namespace

bool IsOnline(const QString& url, int timeoutMs)
{
    try {
        QString text = url.trimmed();
        if (text.isEmpty())
            return false;
        if (!text.contains(QLatin1String("://")))
            text.prepend(QStringLiteral("http://"));
        const QUrl address(text);
        if (!address.isValid() || address.host().isEmpty())
            return false;
        const int defaultPort = address.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80;
        const auto port = static_cast<quint16>(address.port(defaultPort));
        if (timeoutMs < 0)
            timeoutMs = 0;

        const TNetworkProbeConnectFn probe = NetworkProbe();
        return probe && probe(address.host(), port, timeoutMs);
    } catch (...) {
        return false;
    }
}

bool ClearFolder(const QString& folder, QStringList* notDeleted)
{
    QStringList failed;
    bool result = false;
    try {
        if (!folder.isEmpty()) {
            const QDir dir(folder);
            if (dir.exists()) {
                const QFileInfoList entries =
                    dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
                for (const QFileInfo& entry : entries)
                    if (!QFile::remove(entry.filePath()))
                        failed.append(entry.filePath());
            }
            result = failed.isEmpty();
        }
    } catch (...) {
        result = false;
    }
    if (notDeleted)
        *notDeleted = failed;
    return result;
}

QString DecodeTextBytes(const QByteArray& bytes)
{
    const auto byteAt = [&bytes](qsizetype i) { return static_cast<unsigned char>(bytes.at(i)); };
    if (bytes.size() >= 2 && byteAt(0) == 0xFF && byteAt(1) == 0xFE) {
        QStringDecoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::ConvertInitialBom);
        return utf16.decode(bytes.mid(2));
    }
    if (bytes.size() >= 3 && byteAt(0) == 0xEF && byteAt(1) == 0xBB && byteAt(2) == 0xBF) {
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
        return utf8.decode(bytes.mid(3));
    }
    QStringDecoder utf8(QStringConverter::Utf8,
                        QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return AnsiToString(bytes);
}

bool ReadTextFile(const QString& path, QString& text)
{
    text.clear();
    try {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || file.size() >= MaxSubtitleFileSize)
            return false;
        // A file that grows meanwhile (or a device without a size) is read up
        // to the limit and no further.
        const QByteArray bytes = file.read(MaxSubtitleFileSize);
        if (file.error() != QFileDevice::NoError || bytes.size() >= MaxSubtitleFileSize)
            return false;
        text = DecodeTextBytes(bytes);
        return true;
    } catch (...) {
        text.clear();
        return false;
    }
}

bool ConvertTextFileToAnsi(const QString& path, QByteArray& ansiText)
{
    ansiText.clear();
    QString text;
    if (!ReadTextFile(path, text))
        return false;
    ansiText = StringToAnsi(text);
    return true;
}

bool HasNewVersion()
{
    try {
        const TIniFile ini(ProgramFolder() + QLatin1String(UpdateIniName));
        const QString section = QLatin1String(UpdateIniSection);
        const QString version = ini.ReadString(section, QLatin1String(UpdateKeyVersion), QString());
        const QString remoteVersion = ini.ReadString(section, QLatin1String(UpdateKeyRemoteVersion), QString());
        return version != remoteVersion;
    } catch (...) {
        return false;
    }
}
