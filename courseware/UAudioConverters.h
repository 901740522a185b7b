#pragma once

// The converters between lesson audio formats: an MP3 (or WMA) file becomes a
// PCM WAV file and a WAV file becomes an MP3 file, each by linking two audio
// pipeline components and running the output's worker; and the half second
// of silence put in front of a lesson's WAV file.

#include <QtCore/QString>

#include <cstdint>
#include <functional>
#include <memory>

class QWidget;
class QObject;
class TAudioOutput;
class TLeadingSilenceIn;
class TMP3In;
class TMP3Out;
class TWaveIn;
class TWaveOut;

class TAudioConverters {
public:
    // Conversion modes.
    static constexpr std::uint8_t cmMp3ToWav = 0;
    static constexpr std::uint8_t cmWavToMp3 = 1;

    explicit TAudioConverters(QWidget* owner = nullptr);
    // A conversion still running is stopped and its unfinished output file
    // deleted.
    virtual ~TAudioConverters();
    TAudioConverters(const TAudioConverters&) = delete;
    TAudioConverters& operator=(const TAudioConverters&) = delete;

    // Creates and links the components of the mode when missing. Raises
    // EAudioException when the MP3 encoder library cannot be loaded (mode 1).
    void Prepare(std::uint8_t mode);
    void SetInFileName(const QString& name);
    void SetOutFileName(const QString& name);
    // Mode 0 writes 0.5 s of silence in front of the sound, as PrependSilence
    // would put it there afterwards, in the same pass as the sound itself.
    bool LeadingSilence() const { return FLeadingSilence; }
    void SetLeadingSilence(bool v) { FLeadingSilence = v; }

    // Starts the conversion and returns at once; its end comes through
    // OnDone, its result through Succeeded(). False when it could not start
    // (a conversion still running, an unreadable WAV file, a busy output).
    // Exceptions of Prepare reach the caller.
    bool Start(std::uint8_t mode, const QString& inFile, const QString& outFile);
    // Like Start, then waits for the real end of the conversion, processing
    // the application's events meanwhile. True only when the output file was
    // completely written.
    bool Convert(std::uint8_t mode, const QString& inFile, const QString& outFile);
    // Waits, processing events, until the conversion started last has ended;
    // returns Succeeded(). Ends early (with failure) when the output has gone
    // idle and its end is never reported.
    bool WaitForEnd();
    // Stops a running conversion; it ends (through OnDone) as a failure.
    void Cancel();

    // The conversion started last has ended.
    bool Done() const { return FDone; }
    // The conversion started last ended with a complete output file.
    bool Succeeded() const { return FSucceeded; }
    // Why the conversion started last failed; empty after success.
    QString LastError() const { return FLastError; }
    std::uint8_t Mode() const { return FMode; }
    QString InFileName() const { return FInFileName; }
    QString OutFileName() const { return FOutFileName; }

    // The active output's progress in percent (-1: length unknown).
    std::function<void(TAudioConverters* sender, int percent)> OnProgress;
    // After Done is set.
    std::function<void(TAudioConverters* sender)> OnDone;

private:
    TAudioOutput* ActiveOutput() const;
    void OutputDone(QObject* sender);
    void OutputProgress(QObject* sender);
    void Finish(bool succeeded, const QString& error);

    QWidget* FOwner;
    std::uint8_t FMode = 0;
    QString FInFileName;
    QString FOutFileName;
    bool FDone = false;
    bool FSucceeded = false;
    bool FRunning = false;
    bool FCancelled = false;
    QString FLastError;
    TAudioOutput* FRunOutput = nullptr;
    bool FLeadingSilence = false;

    std::unique_ptr<TMP3In> FMP3In;
    std::unique_ptr<TLeadingSilenceIn> FSilenceIn;
    std::unique_ptr<TWaveOut> FWaveOut;
    std::unique_ptr<TWaveIn> FWaveIn;
    std::unique_ptr<TMP3Out> FMP3Out;
};

// Puts 0.5 s of digital silence in front of the sound of a PCM WAV file (8 or
// 16 bits, mono or stereo), wherever its "data" chunk lies, and patches the
// RIFF and "data" sizes. False, with the file unchanged, when it does not
// exist, is not a readable PCM WAV file or cannot be rewritten. Other PCM
// layouts are left as they are (true).
bool PrependSilence(const QString& wavPath);

// The bytes of the leading silence of a PCM layout: half the byte rate (a half
// going to the even neighbour) in whole sample frames; 0 for layouts that get
// none (other than 8 or 16 bits, mono or stereo).
std::uint32_t LeadingSilenceBytes(std::uint32_t sampleRate, std::uint16_t channels, std::uint16_t bitsPerSample);

// Writes targetPath as PrependSilence would leave a copy of sourcePath, in one
// pass: the head with both sizes patched, the silence, the sound and what
// follows it. The source is only read. False, with no target left, when the
// source is no readable PCM WAV file or the target cannot be written.
bool CopyWaveWithSilence(const QString& sourcePath, const QString& targetPath);

