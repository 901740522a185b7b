#pragma once

// The audio pipeline: inputs decode a source and hand out raw PCM bytes on
// request; an output owns one worker thread which, for every run started with
// StartOutput, prepares its sink, pulls blocks from its input until the input
// ends or the run is stopped, and finishes the sink. Progress, done and error
// events are delivered on the GUI thread (the application object's thread) by
// one process-wide event thread, in posting order.
//
// Writing a concrete output: implement Prepare, DoOutput and Done, and call
// DestroyWorker() first thing in the destructor, so that the worker has
// stopped before the concrete class's members go away. Done must finish only
// what Prepare set up; RunFailed() tells it whether the run failed or was
// stopped (the sink must then not be left looking complete).
//
// Writing a concrete file input: implement OpenFile and CloseFile (guarded by
// FOpenLock, counting opens in FOpenCount, setting FReadable, the format
// fields and FByteTotal), GetDataInternal and SeekInternal.

#include "AudioPipeTags.h"

#include <QtCore/QFile>
#include <QtCore/QIODevice>
#include <QtCore/QObject>
#include <QtCore/QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>

// Every error of the pipeline; the text is English.
class EAudioException : public std::runtime_error {
public:
    explicit EAudioException(const QString& message)
        : std::runtime_error(message.toStdString()), FMessage(message) {}
    const QString& Message() const { return FMessage; }

private:
    QString FMessage;
};

// Events of an output; the sender is the output (or the component posting).
using TOutputDoneEvent = std::function<void(QObject* sender)>;
using TOutputProgressEvent = std::function<void(QObject* sender)>;
using TThreadExceptionEvent = std::function<void(QObject* sender)>;

enum TFileOutputMode { foRewrite, foAppend };

enum TAudioOutputState { aosBusy = 0, aosIdle = 2 };

// ------------------------------------------------------------------ inputs

class TAudioInput : public QObject {
public:
    explicit TAudioInput(QObject* owner = nullptr);
    ~TAudioInput() override;

    virtual std::uint32_t GetBitsPerSample() = 0;
    virtual std::uint32_t GetChannels() = 0;
    virtual std::uint32_t GetSampleRate() = 0;
    // Whole seconds; 0 when unknown.
    virtual std::uint32_t GetTotalTime() { return 0; }
    // Sample frames; 0 (or -1) when unknown.
    virtual std::int64_t GetTotalSamples() { return 0; }

    // On entry bytes is the most the caller wants; on return buffer points
    // into the input's own block buffer and bytes is the count there (0 at the
    // end). The bytes stay valid until the next request.
    virtual void GetData(std::uint8_t*& buffer, std::uint32_t& bytes);
    // Returns a busy input to not busy (flushing it, errors swallowed).
    virtual void Reset();

    // Opens the source and resets the counters; raises EAudioException.
    void Init();
    // Closes the source.
    void Flush();
    // GetData into dest; returns the bytes copied.
    int CopyData(void* dest, int bytes);
    // CopyData until dest is full or the input ends; endOfInput tells the latter.
    int FillBuffer(void* dest, int bufferSize, bool& endOfInput);

    // Bytes handed out since Init; bytes to be handed out in total (-1 unknown).
    std::int64_t BytesDone() const { return FBytesDone; }
    std::int64_t ByteTotal() const { return FByteTotal; }
    bool Delivering() const { return FDelivering; }
    // The output reading this input was asked to stop (called on the thread
    // that asked, while the worker may be inside GetData). An input that can
    // wait for its source returns from that wait soon after; the default
    // does nothing.
    virtual void StopRequested() {}

protected:
    virtual void InitInternal() = 0;
    virtual void FlushInternal() = 0;
    virtual void GetDataInternal(std::uint8_t*& buffer, std::uint32_t& bytes) = 0;

    std::atomic<std::int64_t> FBytesDone{0};
    std::atomic<std::int64_t> FByteTotal{0};
    std::uint16_t FFrameBytes = 0;
    std::atomic<bool> FDelivering{false};
    // 1-based first and last valid byte of the concrete input's block buffer;
    // FBufTail < FBufHead: empty.
    std::uint32_t FBufHead = 1;
    std::uint32_t FBufTail = 0;
    std::recursive_mutex FDataLock;
    bool FDrained = false;
};

// An input that reads a stream (borrowed from the user, or owned: a file the
// input opened itself).
class TAudioStreamedInput : public TAudioInput {
public:
    explicit TAudioStreamedInput(QObject* owner = nullptr);
    ~TAudioStreamedInput() override;

    void GetData(std::uint8_t*& buffer, std::uint32_t& bytes) override;
    // A stream supplied by the user (not owned); nullptr: none.
    virtual void SetStream(QIODevice* stream);
    QIODevice* Stream() const { return FSourceStream; }

    std::int64_t StartSample() const { return FStartSample; }
    void SetStartSample(std::int64_t v) { FStartSample = v; }
    // -1: to the end.
    std::int64_t EndSample() const { return FEndSample; }
    void SetEndSample(std::int64_t v) { FEndSample = v; }
    bool Loop() const { return FLoop; }
    void SetLoop(bool v) { FLoop = v; }

protected:
    virtual bool SeekInternal(std::int64_t& sampleNum) = 0;
    // Starts the next pass of a looping input: back to StartSample, or from
    // the beginning of a stream that cannot seek.
    void RewindForNextPass();
    // Frees the stream when it is owned; the stream pointer is cleared then.
    void FreeOwnedStream();

    QIODevice* FSourceStream = nullptr;
    bool FStreamBorrowed = false;
    bool FCanSeek = true;
    std::int64_t FStartSample = 0;
    std::int64_t FEndSample = -1;
    bool FLoop = false;
    std::int64_t FFrameTotal = 0;
};

class TAudioFileIn : public TAudioStreamedInput {
public:
    explicit TAudioFileIn(QObject* owner = nullptr);
    ~TAudioFileIn() override;

    QString FileName() const { return FFileName; }
    // Closes the file, then stores the name.
    void SetFileName(const QString& name);

    // Format queries open the file.
    std::uint32_t GetBitsPerSample() override;
    std::uint32_t GetChannels() override;
    std::uint32_t GetSampleRate() override;
    std::uint32_t GetTotalTime() override;
    std::int64_t GetTotalSamples() override;
    void Reset() override;
    void SetStream(QIODevice* stream) override;

    // Busy: positions the source (relative to StartSample); otherwise sets the
    // start of the next run.
    bool Seek(std::int64_t sampleNum);
    // Opens the file; true when it can be decoded (it then stays open).
    bool GetValid();

protected:
    virtual void OpenFile() = 0;
    virtual void CloseFile() = 0;
    void InitInternal() override;
    void FlushInternal() override;

    std::recursive_mutex FOpenLock;
    QString FFileName;
    int FOpenCount = 0;
    bool FReadable = false;
    std::uint32_t FBitsPerSample = 0;
    std::uint32_t FSampleFreq = 0;
    std::uint32_t FChannels = 0;
    std::uint32_t FSeconds = 0;
};

// The three tag containers of a tagged file input or output.
class TAudioTagHolder {
public:
    TId3v1Tags& Id3v1Tags() { return *FId3v1Tags; }
    TId3v2Tags& Id3v2Tags() { return *FId3v2Tags; }
    TAPEv2Tags& APEv2Tags() { return *FAPEv2Tags; }

protected:
    TAudioTagHolder();
    ~TAudioTagHolder();

    std::unique_ptr<TId3v1Tags> FId3v1Tags;
    std::unique_ptr<TId3v2Tags> FId3v2Tags;
    std::unique_ptr<TAPEv2Tags> FAPEv2Tags;
};

class TAudioTaggedFileIn : public TAudioFileIn, public TAudioTagHolder {
public:
    explicit TAudioTaggedFileIn(QObject* owner = nullptr);
    ~TAudioTaggedFileIn() override;
};

// ------------------------------------------------------------------ outputs

class TAudioThread;

class TAudioOutput : public QObject {
public:
    explicit TAudioOutput(QObject* owner = nullptr);
    ~TAudioOutput() override;

    // Starts a run and returns at once. Raises EAudioException "Component is
    // Busy" while a run is going, "Input is not assigned" without input. A
    // start right after a run ended (its worker still parking) is kept and
    // runs as soon as the worker is free.
    void StartOutput();
    // Requests the end of the run. async: returns at once, the run ends with
    // its done event. Otherwise waits for the worker (running pending
    // cross-thread calls of the GUI thread meanwhile) and posts no done event.
    void StopOutput(bool async);
    TAudioOutputState GetOutputState() const;
    // 0 without input, -1 when the input's size is unknown, else 0 .. 100.
    int GetProgressPercent() const;

    TAudioInput* Input() const { return FInput; }
    // On a busy output: synchronous stop, new input, new run.
    virtual void SetInput(TAudioInput* input);

    // The message of the last run's error; cleared by StartOutput.
    QString LastErrorText() const;
    // The last run failed (an error) or was stopped before its end.
    bool RunFailed() const { return FRunFailed; }

    TOutputDoneEvent OnDone;
    TOutputProgressEvent OnProgress;
    TThreadExceptionEvent OnThreadException;

protected:
    // Moves one block from the input to the sink; true while there is more.
    // abort: release the sink and return false.
    virtual bool DoOutput(bool abort) = 0;
    // Finishes the sink and flushes the input; runs after every run, also
    // when Prepare failed.
    virtual void Done() = 0;
    // Opens the sink and initialises the input.
    virtual void Prepare() = 0;

    // Stops and ends the worker; concrete outputs call it first in their
    // destructor. Safe to call more than once.
    void DestroyWorker();
    // Posts an event of the given kind (0 progress, 1 done, 2 error) with a
    // handler to be called on the GUI thread with this output as sender.
    void PostEvent(int kind, const std::function<void(QObject*)>& handler);
    void SetLastErrorText(const QString& text);

    std::atomic<bool> FHalted{false};
    std::atomic<bool> FPrepared{false};
    std::atomic<int> FLastProgress{0};
    std::atomic<bool> FDelivering{false};
    std::atomic<bool> FRunFailed{false};

private:
    friend class TAudioThread;

    void RunOnce();  // one run, on the worker thread

    mutable std::mutex FErrorLock;
    QString FLastErrorText;
    TAudioInput* FInput = nullptr;
    QMetaObject::Connection FInputGone;
    std::unique_ptr<TAudioThread> FWorker;
    bool FRegistered = false;
};

class TAudioStreamedOutput : public TAudioOutput {
public:
    explicit TAudioStreamedOutput(QObject* owner = nullptr);
    ~TAudioStreamedOutput() override;

    // A stream supplied by the user (not owned); nullptr: none.
    void SetStream(QIODevice* stream);
    QIODevice* Stream() const { return FSourceStream; }

protected:
    void FreeOwnedStream();

    QIODevice* FSourceStream = nullptr;
    bool FStreamBorrowed = false;
};

class TAudioFileOut : public TAudioStreamedOutput {
public:
    explicit TAudioFileOut(QObject* owner = nullptr);
    ~TAudioFileOut() override;

    QString FileName() const { return FFileName; }
    void SetFileName(const QString& name) { FFileName = name; }
    TFileOutputMode FileMode() const { return FFileMode; }
    // The base class only writes anew (foRewrite).
    virtual void SetFileMode(TFileOutputMode mode);

protected:
    QString FFileName;
    TFileOutputMode FFileMode = foRewrite;
};

class TAudioTaggedFileOut : public TAudioFileOut, public TAudioTagHolder {
public:
    explicit TAudioTaggedFileOut(QObject* owner = nullptr);
    ~TAudioTaggedFileOut() override;
};

// ------------------------------------------------------------------ file stream

// A file opened by name. mode 0xFFFF creates the file anew (read-write);
// any other mode opens an existing file, its low two bits choosing read (0),
// write (1) or read-write (2) access. Raises EAudioException with the
// system's text when the file cannot be opened or created.
class TAudioFileStream : public QFile {
public:
    static constexpr std::uint16_t fmCreate = 0xFFFF;
    static constexpr std::uint16_t fmOpenReadShareDenyWrite = 0x20;
    static constexpr std::uint16_t fmOpenReadWriteExclusive = 0x12;

    TAudioFileStream(const QString& name, std::uint16_t mode);
    ~TAudioFileStream() override;
};
