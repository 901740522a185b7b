#pragma once

// Wave formats and RIFF WAVE files: format sizes, copies, names and the
// conversions between sample frames, bytes and milliseconds; the record of one
// open wave file and the routines that parse, create, position, read, write
// and finish it. The file routines return result codes and never raise.

#include "MMPCMSup.h"
#include "MMRIFF.h"
#include "SndMmio.h"
#include "SndUtils.h"

#include <QtCore/QString>

#include <cstdint>
#include <memory>
#include <vector>

// ---------------------------------------------------------------- formats

// Bytes the record occupies as stored: 18 for PCM, 18 + cbSize otherwise, 0
// for none.
std::int32_t FormatSize(const TWaveFormatEx* format);
// A zero-filled copy of FormatSize bytes (cbSize 0 in a PCM copy); nullptr for
// no format. Free with GlobalFreeMem.
TWaveFormatEx* CopyWaveFormat(const TWaveFormatEx* format);
using TWaveFormatHolder = std::unique_ptr<TWaveFormatEx, TGlobalMemDeleter>;

// Conversions between sample frames, bytes and milliseconds, rounded to the
// nearest (MulDivRound); byte results are rounded up to whole blocks. A
// missing format or a zero rate, average rate or block align gives 0.
std::int64_t SamplesToBytes(const TWaveFormatEx* format, std::int64_t samples);
std::int64_t BytesToSamples(const TWaveFormatEx* format, std::int64_t bytes);
std::int64_t SamplesToMs(const TWaveFormatEx* format, std::int64_t samples);
std::int64_t MsToSamples(const TWaveFormatEx* format, std::int64_t ms);
std::int64_t BytesToMs(const TWaveFormatEx* format, std::int64_t bytes);
std::int64_t MsToBytes(const TWaveFormatEx* format, std::int64_t ms);
std::int64_t BytesPerSampleFrame(const TWaveFormatEx* format);
// Truncating 64-bit forms (MulDiv64).
std::int64_t SamplesToBytes64(const TWaveFormatEx* format, std::int64_t samples);
std::int64_t SamplesToMs64(const TWaveFormatEx* format, std::int64_t samples);

// The name of the format tag from the library's table; "Unknown" for none or
// a tag not in the table.
QString FormatTagName(const TWaveFormatEx* format);
// "44.100 kHz, 16 Bit, Stereo"; "Unknown" for none.
QString FormatDescription(const TWaveFormatEx* format);
// Both names, from the codec name table where it knows them; false only
// without format.
bool GetFormatNames(const TWaveFormatEx* format, QString& tagName, QString& description);
// The separators the description uses (initially "," and ".").
QChar ListSeparator();
QChar DecimalSeparator();

// ---------------------------------------------------------------- result codes

constexpr int WIOERR_NOERROR = 0;
constexpr int WIOERR_BADFILE = 101;   // not a usable WAVE file, a list cannot be copied, no I/O buffer
constexpr int WIOERR_BADPARAM = 104;  // a missing argument
constexpr int WIOERR_FILEERROR = 106; // cannot open, not RIFF "WAVE", a read, seek, write or finish failed
constexpr int WIOERR_NOMEM = 107;

// ---------------------------------------------------------------- the record

// One open wave file. Sizes and positions are 64-bit; positions and lengths
// count sample frames.
struct TSndWaveIOInfo {
    std::uint32_t Size = 0;   // bytes of the record, format bytes included
    std::uint32_t Flags = 1;  // open mode: 1 = file by name
    std::unique_ptr<TSndMmio> Handle;  // the open file, none while closed
    TMMCkInfo RiffChunk;
    TMMCkInfo DataChunk;      // MMIO_DIRTY in dwFlags: data was written
    std::int64_t FileSize = 0;
    std::int64_t DataBytes = 0;
    std::int64_t DataOffset = 0;
    std::int64_t Length = 0;  // sample frames in the data
    std::int64_t First = 0;   // first frame of the readable range (always 0)
    std::int64_t Last = 0;    // end of the readable range (= Length)
    std::int64_t BytesLeft = 0;
    std::int64_t Position = 0;
    QString FileName;
    TSndDispList DispList;
    TSndInfoList InfoList;
    bool Created = false;     // the open file was made by CreateWaveFile
    std::vector<unsigned char> FormatBytes;  // at least 18

    TWaveFormatEx* Format() { return reinterpret_cast<TWaveFormatEx*>(FormatBytes.data()); }
    const TWaveFormatEx* Format() const { return reinterpret_cast<const TWaveFormatEx*>(FormatBytes.data()); }
};
using PSndWaveIOInfo = TSndWaveIOInfo*;

// ---------------------------------------------------------------- file routines

// Parses a file into a new record; the file is closed again. Checks every
// header value before use: a file whose format or data chunk cannot be used
// gives WIOERR_BADFILE.
int ParseWaveFile(PSndWaveIOInfo& info, const QString& fileName);
bool IsWaveFile(const QString& fileName);
// A new record for the format, without file.
int CreateWaveInfo(PSndWaveIOInfo& info, const TWaveFormatEx* format);
// Copies the INFO texts and the DISP entries of source into target.
int CopyWaveLists(PSndWaveIOInfo target, PSndWaveIOInfo source);
// Creates the file for the record's format: RIFF "WAVE", "fmt ", an empty
// "data" chunk. A failure deletes the half-made file.
int CreateWaveFile(PSndWaveIOInfo info, const QString& fileName);
// Opens the record's file again (when closed) and positions it.
int ReopenWaveFile(PSndWaveIOInfo info);
int SetWaveIOBuffer(PSndWaveIOInfo info, std::int64_t size);
// Positions the file at a sample frame counted from First.
int SeekWaveData(PSndWaveIOInfo info, std::int64_t position);
// Reads up to count bytes of data: the bytes read, 0 when the file ended
// early, -1 without open file or when no bytes are left.
std::int64_t ReadWaveData(PSndWaveIOInfo info, void* buffer, std::int64_t count);
// Writes count bytes at the current position: the bytes written, 0 or -1.
// A write that would take the file beyond what a RIFF size field can hold is
// refused (-1).
std::int64_t WriteWaveData(PSndWaveIOInfo info, const void* buffer, std::int64_t count);
// Finishes a written file (sizes, "fact", DISP, INFO) and closes it.
int CloseWaveFile(PSndWaveIOInfo info);
// Closes (finishing a written file) and frees the record; info becomes nullptr.
int FreeWaveInfo(PSndWaveIOInfo& info);

// Makes a new, empty file with a unique temporary name in the folder of path
// (the system's temporary folder for an empty path) and returns its name in
// path. Never touches an existing file.
bool GetTempWaveName(QString& path);
bool WaveFileExists(const QString& fileName);
// True for a name that can be a file: not empty, not a folder, in an
// existing folder.
bool ParseWaveFileName(const QString& fileName);
bool DeleteWaveFile(const QString& fileName);

// Deleter for unique_ptr<TSndWaveIOInfo>.
struct TWaveIOInfoDeleter {
    void operator()(TSndWaveIOInfo* info) const
    {
        FreeWaveInfo(info);
    }
};
using TWaveIOInfoHolder = std::unique_ptr<TSndWaveIOInfo, TWaveIOInfoDeleter>;
