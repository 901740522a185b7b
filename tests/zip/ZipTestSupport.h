#pragma once

// Helpers of the zip tests: temporary folders, files, external tools and a
// small builder of raw archives for fixtures the tools cannot make.

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QTemporaryDir>

#include <cstdint>
#include <vector>

QByteArray ReadAll(const QString& path);
void WriteAll(const QString& path, const QByteArray& data);
// Compressible but not trivial text: pseudo-random words.
QByteArray RandomWords(int64_t size, uint32_t seed);
QByteArray RandomBytes(int64_t size, uint32_t seed);
uint32_t Crc32Of(const QByteArray& data);
QByteArray RawDeflate(const QByteArray& data, int level = 6);

bool HaveTool(const QString& name);
// Runs a program in folder; answers its exit code (-1 when it did not run).
int RunTool(const QString& program, const QStringList& args, const QString& folder = QString(), QByteArray* output = nullptr);
// Runs a python3 script given as text.
int RunPython(const QString& script, const QString& folder = QString(), QByteArray* output = nullptr);

// Every file below folder (relative '/'-paths, folders end in '/').
QStringList ListTree(const QString& folder);

// One entry of a hand-made archive.
struct TRawEntry {
    QByteArray Name;
    QByteArray Data;  // bytes stored as the entry's data
    uint16_t Method = 0;
    uint16_t Flags = 0;
    uint32_t Crc = 0;
    uint64_t UncompressedSize = 0;
    uint64_t CompressedSize = UINT64_MAX;  // UINT64_MAX: the data's size
    uint32_t DosTime = 0x5A210000;         // 2025-01-01
    uint32_t ExternalAttributes = 0x20;    // archive bit; 0x01 is read-only
    uint16_t MadeBy = 20;                  // host (high byte) and version
};
// A single-part archive with local headers, central directory and end record.
QByteArray MakeRawZip(const std::vector<TRawEntry>& entries, const QByteArray& comment = QByteArray());
// An entry holding plain bytes, stored or deflated.
TRawEntry StoredEntry(const QByteArray& name, const QByteArray& data);
TRawEntry DeflatedEntry(const QByteArray& name, const QByteArray& data);

// LSB-first bit writer for the legacy fixtures.
class TBitWriter {
public:
    void Put(uint32_t value, int bits);
    QByteArray Finish();

private:
    QByteArray FOut;
    uint32_t FBits = 0;
    int FCount = 0;
};
