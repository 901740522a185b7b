#pragma once

// The editor's text: an array of line records with the string-list surface
// the screens use, a cache of each line's length with tabs expanded, the
// highlighter's range state and a modification state per line. Every
// structural change is announced through nine events. Files are ANSI (GBK)
// text unless a byte-order mark says UTF-8 or UTF-16; the encoding, the mark
// and the line-break style of a loaded file are kept for saving, and a file
// opened and saved unchanged keeps every byte (bytes that are no character
// of the encoding are held as the private-use characters of AnsiText.h).

#include "TextEditUtils.h"

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QStringView>

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

class QIODevice;

// The editor's errors.
class ETextEditError : public std::runtime_error {
public:
    explicit ETextEditError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString Message() const { return QString::fromStdString(what()); }
};
class ETextEditStringList : public ETextEditError {
    using ETextEditError::ETextEditError;
};
// The string list's capacity error.
class ETextEditListError : public ETextEditError {
    using ETextEditError::ETextEditError;
};

enum TTextLineFlag : std::uint8_t { lfHasTabs = 1, lfNoTabs = 2, lfLengthUnknown = 4 };
enum TTextLineState : std::uint8_t { lsUnchanged = 0, lsSaved = 1, lsChanged = 2 };
enum TTextLineBreakStyle : std::uint8_t { lbsCRLF = 0, lbsLF = 1, lbsCR = 2 };
// The encoding of the file form: ANSI (GBK) without a mark, or the encoding a
// byte-order mark announced (EF BB BF, FF FE, FE FF), written again with it.
enum TTextFileEncoding : std::uint8_t { tfeAnsi = 0, tfeUtf8 = 1, tfeUtf16LE = 2, tfeUtf16BE = 3 };

// One line's record. The characters live in the list's shared chunks:
// lines whose characters are all below U+0100 take one byte a character,
// others are held as UTF-8 (UTF-16 when they hold a lone surrogate, which
// UTF-8 cannot carry). An empty line has no bytes.
enum TTextLineCoding : std::uint8_t { lcLatin1 = 0, lcUtf8 = 1, lcUtf16 = 2 };

struct TTextEditStringRec {
    std::uint32_t Chunk = 0;
    std::uint32_t Offset = 0;
    std::uint32_t Size = 0;  // bytes
    std::int32_t ExpandedLength = -1;
    std::uint8_t Flags = lfLengthUnknown;
    TTextLineState State = lsChanged;
    TTextLineCoding Coding = lcLatin1;
};

class TTextEditStringList {
public:
    using TNotifyEvent = std::function<void(TTextEditStringList* sender)>;
    using TStringListChangeEvent = std::function<void(TTextEditStringList* sender, int index, int count)>;

    TTextEditStringList();
    virtual ~TTextEditStringList();
    TTextEditStringList(const TTextEditStringList&) = delete;
    TTextEditStringList& operator=(const TTextEditStringList&) = delete;

    // The string-list surface.
    int Count() const { return static_cast<int>(FList.size()); }
    QString Get(int index) const;  // empty out of range
    QString Strings(int index) const { return Get(index); }
    QString operator[](int index) const { return Get(index); }
    void Put(int index, const QString& s);
    void* GetObject(int index) const;
    void PutObject(int index, void* object);
    int Add(const QString& s);
    void AddStrings(const QStringList& lines);
    void AddStrings(const TTextEditStringList& source);
    void Insert(int index, const QString& s);
    void Delete(int index);
    void Exchange(int index1, int index2);
    void Clear();
    int Capacity() const { return FCapacity; }
    void SetCapacity(int value);
    QString Text() const;
    void SetText(const QString& text);
    QStringList ToStringList() const;

    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    // Files and streams: ANSI (GBK) text, or UTF-8 or UTF-16 after a
    // byte-order mark, which sets FileEncoding.
    void LoadFromFile(const QString& fileName);
    void LoadFromStream(QIODevice& stream);
    void LoadFromBytes(const QByteArray& bytes);
    // Loads decoded text as a file's content (line states unchanged, style
    // and encoding kept).
    void LoadFromText(const QString& text);
    // Writes the whole new file before it replaces the old one; a failure
    // raises and keeps the old file.
    void SaveToFile(const QString& fileName);
    void SaveToStream(QIODevice& stream);
    QByteArray SaveToBytes() const;

    // The editor's operations.
    void InsertEmptyLines(int index, int count);
    // Lines inserted before index with one notification.
    void InsertStrings(int index, const QStringList& lines);
    // The lines of text (split at CR LF, CR and LF) inserted before index with
    // one notification, tail appended to the last of them; answers how many.
    int InsertText(int index, QStringView text, QStringView tail = {});
    void DeleteLineRange(int index, int count);
    QString ExpandedLine(int index);
    int ExpandedLineLength(int index);
    int LongestLineLength();
    std::intptr_t LineRange(int index) const;
    void SetLineRange(int index, std::intptr_t value);
    // The line's modification state; null outside 0..Count-1.
    TTextLineState* LineExtra(int index);
    std::uint8_t LineFlags(int index) const;

    int TabWidth() const { return FTabWidth; }
    void SetTabWidth(int value);

    TTextLineBreakStyle LineBreakStyle() const { return FLineBreakStyle; }
    void SetLineBreakStyle(TTextLineBreakStyle value) { FLineBreakStyle = value; }
    TTextFileEncoding FileEncoding() const { return FFileEncoding; }
    void SetFileEncoding(TTextFileEncoding value) { FFileEncoding = value; }
    bool TrailingLineBreak() const { return FTrailingLineBreak; }
    void SetTrailingLineBreak(bool value) { FTrailingLineBreak = value; }
    bool TrimTrailingBlankLines() const { return FTrimTrailingBlankLines; }
    void SetTrimTrailingBlankLines(bool value) { FTrimTrailingBlankLines = value; }

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;
    TNotifyEvent OnCleared;
    TStringListChangeEvent OnLinesDeleted;
    TStringListChangeEvent OnLinesInserted;
    TStringListChangeEvent OnLineReplaced;
    TStringListChangeEvent OnBeforeLineReplaced;
    TStringListChangeEvent OnBeforeLinesDeleted;
    TStringListChangeEvent OnBeforeLinesInserted;

protected:
    virtual void SetUpdateState(bool updating);

private:
    [[noreturn]] static void IndexError(int index);
    // A run of bytes that whole lines are written into.
    struct TChunk {
        std::unique_ptr<char[]> Data;
        std::uint32_t Capacity = 0;
        std::uint32_t Used = 0;
        std::uint32_t Live = 0;
    };
    void Grow();
    void InsertItem(int index, const QString& s);
    void LongestAfterInsert(int index, int count);
    void LongestAfterDelete(int index, int count);
    QString ExpandLine(int index);
    QString Decode(const TTextEditStringRec& rec) const;
    // Stores s as rec's characters (the old ones become garbage).
    void Store(TTextEditStringRec& rec, QStringView s);
    void Release(TTextEditStringRec& rec);
    // Closes count records at index, their bytes and side-table entries too.
    void EraseRecords(int index, int count);
    char* Reserve(std::uint32_t size, std::uint32_t& chunk, std::uint32_t& offset);
    void Compact();
    // Opens count records before index, keeping the side tables in step.
    void OpenRecords(int index, int count);
    // An insertion of count lines before index: announced, records opened;
    // the end fixes the longest line and announces the lines in place.
    void BeginInsert(int index, int count);
    void EndInsert(int index, int count);
    int SplitInto(int index, QStringView text, QStringView tail, TTextLineState state, bool finalBreakOpensLine,
                  bool* sawCR, bool* sawLF);
    QByteArray BreakBytes() const;

    std::vector<TTextEditStringRec> FList;
    std::vector<TChunk> FChunks;
    std::vector<std::uint32_t> FFreeChunks;
    std::uint32_t FAppendChunk = 0;
    bool FHasAppendChunk = false;
    qsizetype FLiveBytes = 0;
    qsizetype FGarbageBytes = 0;
    // Highlighter ranges and objects, held only once a line has one.
    std::vector<std::intptr_t> FRanges;
    std::vector<void*> FObjects;
    int FCapacity = 0;
    int FUpdateCount = 0;
    TTextLineBreakStyle FLineBreakStyle = lbsCRLF;
    TTextFileEncoding FFileEncoding = tfeAnsi;
    bool FTrailingLineBreak = false;
    bool FTrimTrailingBlankLines = true;
    TTabExpander FExpander;
    int FIndexOfLongestLine = -1;
    int FTabWidth = 8;
};

// The buffered writer that saving goes through: lines are collected in a
// byte buffer and written in large pieces. The file is written under a
// temporary name and replaces the old one only when Commit succeeds.
class TTextEditFileWriter {
public:
    explicit TTextEditFileWriter(const QString& fileName);  // raises ETextEditError when it cannot create
    ~TTextEditFileWriter();
    TTextEditFileWriter(const TTextEditFileWriter&) = delete;
    TTextEditFileWriter& operator=(const TTextEditFileWriter&) = delete;

    TTextLineBreakStyle LineBreakStyle = lbsLF;
    void AppendText(const QByteArray& text);
    void AppendLine(const QByteArray& text);
    // Flushes and puts the new file in place; raises ETextEditError on failure
    // (the old file stays).
    void Commit();

private:
    void WriteOut();
    struct TImpl;
    TImpl* FImpl;
    QByteArray FBuffer;
    qsizetype FPos = 0;
};
