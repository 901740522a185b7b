#include "DSUtil.h"

#include "DSGraph.h"

#include <cmath>
#include <cstdlib>

HResult CheckDSError(HResult code)
{
    if (Failed(code)) {
        const QString hex = QString::number(static_cast<std::uint32_t>(code), 16).toUpper();
        throw EDirectShowException(GetErrorString(code) + QStringLiteral(" ($") + hex + QStringLiteral(")."), code);
    }
    return code;
}

QString GetErrorString(HResult code)
{
    switch (code) {
    case S_OK:
        return QStringLiteral("No error.");
    case S_FALSE:
        return QStringLiteral("The operation succeeded with nothing to do.");
    case E_NOTIMPL:
        return QStringLiteral("The operation is not supported.");
    case E_NOINTERFACE:
        return QStringLiteral("The media offers no such stream or interface.");
    case E_POINTER:
        return QStringLiteral("A required value was not given.");
    case E_FAIL:
        return QStringLiteral("The media operation failed.");
    case E_ACCESSDENIED:
        return QStringLiteral("Access to the media file was denied.");
    case E_INVALIDARG:
        return QStringLiteral("A value is out of its range.");
    case VFW_E_NOT_CONNECTED:
        return QStringLiteral("The renderer is not connected to a stream.");
    case VFW_E_NOT_FOUND:
        return QStringLiteral("The media file could not be found.");
    case VFW_E_CANNOT_RENDER:
        return QStringLiteral("The media cannot be rendered.");
    case VFW_E_WRONG_STATE:
        return QStringLiteral("The operation is not possible in the graph's present state.");
    case VFW_E_TIMEOUT:
        return QStringLiteral("The media file did not load in time.");
    case VFW_E_UNKNOWN_FILE_TYPE:
        return QStringLiteral("The media file's type is not recognised.");
    case VFW_E_UNSUPPORTED_STREAM:
        return QStringLiteral("A stream of the media file has a format that cannot be played.");
    default:
        return Failed(code) ? QStringLiteral("Unknown media error.") : QStringLiteral("Success.");
    }
}

std::int32_t LinearToDecibel(std::int32_t volume)
{
    if (volume < 0)
        volume = 0;
    return static_cast<std::int32_t>(std::lround(std::log(volume + 1.0) * 1085.73)) - 10000;
}

std::int32_t BalanceToDecibel(std::int32_t balance)
{
    const auto x = static_cast<std::int32_t>(std::lround(std::log(std::abs(balance) + 1.0) * 1085.73));
    return balance < 0 ? x : -x;
}

std::int64_t RefTimeToMs(std::int64_t refTime)
{
    return refTime / 10000;
}

double DecibelToAmplitude(std::int32_t decibels)
{
    if (decibels <= -10000)
        return 0.0;
    if (decibels >= 0)
        return 1.0;
    return std::pow(10.0, decibels / 2000.0);
}

void TFilterList::Assign(const TFilterGraph& graph)
{
    clear();
    for (QObject* filter : graph.Filters())
        append(filter);
}

void TPinList::Assign(const TFilterGraph& graph, QObject* filter)
{
    clear();
    if (!filter || !graph.Filters().contains(filter))
        return;
    append(TPinInfo{QStringLiteral("Input"), true, graph.FilterConnected(filter)});
}
