#pragma once

// Routines of the media graph: result codes and their texts, the exceptions
// that carry them, the volume and balance scales, time units, and the lists
// of a graph's filters and of a filter's pins.
//
// Result codes follow the usual convention: 0 success, other non-negative
// values success with a remark, negative values failures. Times of the graph
// are counted in units of 100 ns.

#include <QtCore/QList>
#include <QtCore/QString>

#include <cstdint>
#include <stdexcept>

class QObject;
class TFilterGraph;

using HResult = std::int32_t;

// Result codes of the graph and its interfaces.
constexpr HResult S_OK = 0;
constexpr HResult S_FALSE = 1;
constexpr HResult E_NOTIMPL = static_cast<HResult>(0x80004001u);
constexpr HResult E_NOINTERFACE = static_cast<HResult>(0x80004002u);
constexpr HResult E_POINTER = static_cast<HResult>(0x80004003u);
constexpr HResult E_FAIL = static_cast<HResult>(0x80004005u);
constexpr HResult E_ACCESSDENIED = static_cast<HResult>(0x80070005u);
constexpr HResult E_INVALIDARG = static_cast<HResult>(0x80070057u);
constexpr HResult VFW_E_NOT_CONNECTED = static_cast<HResult>(0x80040209u);
constexpr HResult VFW_E_NOT_FOUND = static_cast<HResult>(0x80040216u);
constexpr HResult VFW_E_CANNOT_RENDER = static_cast<HResult>(0x80040218u);
constexpr HResult VFW_E_WRONG_STATE = static_cast<HResult>(0x80040227u);
constexpr HResult VFW_E_TIMEOUT = static_cast<HResult>(0x8004022Eu);
constexpr HResult VFW_E_UNKNOWN_FILE_TYPE = static_cast<HResult>(0x80040240u);
constexpr HResult VFW_E_UNSUPPORTED_STREAM = static_cast<HResult>(0x80040265u);

inline bool Failed(HResult code) { return code < 0; }
inline bool Succeeded(HResult code) { return code >= 0; }

// An error of the media graph: an English text and a result code.
class EDSException : public std::runtime_error {
public:
    EDSException(const QString& message, HResult code)
        : std::runtime_error(message.toStdString()), FMessage(message), FErrorCode(code) {}
    const QString& Message() const { return FMessage; }
    HResult ErrorCode() const { return FErrorCode; }

private:
    QString FMessage;
    HResult FErrorCode;
};

// A failed graph operation.
class EDirectShowException : public EDSException {
public:
    using EDSException::EDSException;
};

// A failure of the video window's renderer set-up.
class EDSGraphException : public EDSException {
public:
    using EDSException::EDSException;
};

// Returns code, or raises EDirectShowException for a failure code with the
// text GetErrorString(code) + " ($" + the code in upper-case hexadecimal + ").".
HResult CheckDSError(HResult code);
// The English text of a result code.
QString GetErrorString(HResult code);

// A linear volume 0..10000 as hundredths of a decibel: -10000 for 0, 0 for
// 10000 (logarithmic in between).
std::int32_t LinearToDecibel(std::int32_t volume);
// A linear balance -10000..10000 as hundredths of a decibel: the attenuation
// of the other side, negative for a balance to the right.
std::int32_t BalanceToDecibel(std::int32_t balance);
// Units of 100 ns to milliseconds.
std::int64_t RefTimeToMs(std::int64_t refTime);

// Hundredths of a decibel (-10000 silent .. 0) as a linear amplitude 0..1.
double DecibelToAmplitude(std::int32_t decibels);

// The filters of a graph, in the order they were added.
class TFilterList : public QList<QObject*> {
public:
    TFilterList() = default;
    explicit TFilterList(const TFilterGraph& graph) { Assign(graph); }
    void Assign(const TFilterGraph& graph);
};

// One pin of a filter.
struct TPinInfo {
    QString Name;
    bool Input = true;
    bool Connected = false;
};

// The pins of a filter of a graph: the one input pin through which the
// graph's picture reaches it, connected while media with a video stream is
// rendered into the graph.
class TPinList : public QList<TPinInfo> {
public:
    TPinList() = default;
    TPinList(const TFilterGraph& graph, QObject* filter) { Assign(graph, filter); }
    void Assign(const TFilterGraph& graph, QObject* filter);
    bool Connected(qsizetype index) const { return at(index).Connected; }
};
