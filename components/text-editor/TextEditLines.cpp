#include "TextEditLines.h"

#include "AnsiText.h"

#include <QtCore/QFile>
#include <QtCore/QIODevice>
#include <QtCore/QSaveFile>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

bool IsBlank(const QString& s)
{
    for (QChar c : s)
        if (c.unicode() > ' ')
            return false;
    return true;
}

// Lines are written into chunks of this size; a longer line gets a chunk of
// its own.
constexpr std::uint32_t ChunkSize = 64 * 1024;

// How a line is held, its size in bytes and in cells, and whether it has tabs.
struct TLineShape {
    TTextLineCoding Coding = lcLatin1;
    qsizetype Bytes = 0;
    qsizetype Cells = 0;
    bool HasTabs = false;
};

TLineShape ShapeOf(QStringView s)
{
    TLineShape shape;
    const char16_t* p = s.utf16();
    const qsizetype n = s.size();
    qsizetype utf8 = 0;
    bool wide = false;
    bool lone = false;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i];
        if (c < 0x80) {
            ++utf8;
            ++shape.Cells;
            shape.HasTabs |= c == u'\t';
            continue;
        }
        shape.Cells += 2;
        if (c < 0x100) {
            utf8 += 2;
            continue;
        }
        wide = true;
        if (c < 0x800) {
            utf8 += 2;
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(p[i + 1])) {
            utf8 += 4;
            ++i;
        } else {
            utf8 += 3;
            lone |= QChar::isSurrogate(c);
        }
    }
    if (!wide) {
        shape.Coding = lcLatin1;
        shape.Bytes = n;
    } else if (lone) {
        shape.Coding = lcUtf16;
        shape.Bytes = n * 2;
    } else {
        shape.Coding = lcUtf8;
        shape.Bytes = utf8;
    }
    return shape;
}

void Encode(QStringView s, TTextLineCoding coding, char* out)
{
    const char16_t* p = s.utf16();
    const qsizetype n = s.size();
    switch (coding) {
    case lcLatin1:
        for (qsizetype i = 0; i < n; ++i)
            out[i] = static_cast<char>(p[i]);
        return;
    case lcUtf16: std::memcpy(out, p, static_cast<size_t>(n) * 2); return;
    case lcUtf8: break;
    }
    auto* o = reinterpret_cast<unsigned char*>(out);
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = p[i];
        if (c < 0x80) {
            *o++ = static_cast<unsigned char>(c);
        } else if (c < 0x800) {
            *o++ = static_cast<unsigned char>(0xC0 | (c >> 6));
            *o++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
        } else if (QChar::isHighSurrogate(c)) {
            // Pairs only: a line with a lone surrogate is held as UTF-16.
            c = QChar::surrogateToUcs4(p[i], p[i + 1]);
            ++i;
            *o++ = static_cast<unsigned char>(0xF0 | (c >> 18));
            *o++ = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
            *o++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
            *o++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
        } else {
            *o++ = static_cast<unsigned char>(0xE0 | (c >> 12));
            *o++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
            *o++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
        }
    }
}

// The length of the line that starts at i, and where the next one starts
// (n when none follows).
qsizetype LineEnd(const char16_t* p, qsizetype i, qsizetype n)
{
    while (i < n && p[i] != u'\r' && p[i] != u'\n')
        ++i;
    return i;
}

qsizetype SkipBreak(const char16_t* p, qsizetype i, qsizetype n, bool* sawCR, bool* sawLF)
{
    if (i < n && p[i] == u'\r') {
        ++i;
        if (sawCR)
            *sawCR = true;
        if (i < n && p[i] == u'\n') {
            ++i;
            if (sawLF)
                *sawLF = true;
        }
    } else if (i < n && p[i] == u'\n') {
        ++i;
        if (sawLF)
            *sawLF = true;
    }
    return i;
}

}  // namespace

TTextEditStringList::TTextEditStringList() : FExpander(ChooseTabExpander(8)) {}

TTextEditStringList::~TTextEditStringList()
{
    OnChange = nullptr;
    OnChanging = nullptr;
    FList.clear();
    FCapacity = 0;
}

void TTextEditStringList::IndexError(int index)
{
    throw ETextEditStringList(QStringLiteral("Invalid stringlist index %1").arg(index));
}

void TTextEditStringList::BeginUpdate()
{
    if (FUpdateCount == 0)
        SetUpdateState(true);
    ++FUpdateCount;
}

void TTextEditStringList::EndUpdate()
{
    if (FUpdateCount <= 0)
        return;
    --FUpdateCount;
    if (FUpdateCount == 0)
        SetUpdateState(false);
}

void TTextEditStringList::SetUpdateState(bool updating)
{
    if (updating) {
        if (OnChanging)
            OnChanging(this);
    } else if (OnChange) {
        OnChange(this);
    }
}

// ---------------------------------------------------------------- storage

QString TTextEditStringList::Decode(const TTextEditStringRec& rec) const
{
    if (rec.Size == 0)
        return {};
    const char* bytes = FChunks[rec.Chunk].Data.get() + rec.Offset;
    switch (rec.Coding) {
    case lcLatin1: return QString::fromLatin1(bytes, rec.Size);
    case lcUtf8: return QString::fromUtf8(bytes, rec.Size);
    case lcUtf16: {
        QString s(rec.Size / 2, Qt::Uninitialized);
        std::memcpy(s.data(), bytes, rec.Size);
        return s;
    }
    }
    return {};
}

char* TTextEditStringList::Reserve(std::uint32_t size, std::uint32_t& chunk, std::uint32_t& offset)
{
    if (!FHasAppendChunk || FChunks[FAppendChunk].Capacity - FChunks[FAppendChunk].Used < size) {
        // The chunk that had no room is left to its lines; it goes when the
        // last of them does.
        if (FHasAppendChunk && FChunks[FAppendChunk].Live == 0) {
            FChunks[FAppendChunk].Data.reset();
            FFreeChunks.push_back(FAppendChunk);
        }
        TChunk fresh;
        fresh.Capacity = std::max(ChunkSize, size);
        fresh.Data.reset(new char[fresh.Capacity]);
        if (!FFreeChunks.empty()) {
            FAppendChunk = FFreeChunks.back();
            FFreeChunks.pop_back();
            FChunks[FAppendChunk] = std::move(fresh);
        } else {
            FAppendChunk = static_cast<std::uint32_t>(FChunks.size());
            FChunks.push_back(std::move(fresh));
        }
        FHasAppendChunk = true;
    }
    TChunk& c = FChunks[FAppendChunk];
    chunk = FAppendChunk;
    offset = c.Used;
    c.Used += size;
    c.Live += size;
    FLiveBytes += size;
    return c.Data.get() + offset;
}

void TTextEditStringList::Release(TTextEditStringRec& rec)
{
    if (rec.Size == 0)
        return;
    TChunk& c = FChunks[rec.Chunk];
    c.Live -= rec.Size;
    FLiveBytes -= rec.Size;
    if (c.Live == 0 && !(FHasAppendChunk && rec.Chunk == FAppendChunk)) {
        FGarbageBytes -= c.Used - rec.Size;
        c = TChunk();
        FFreeChunks.push_back(rec.Chunk);
    } else {
        FGarbageBytes += rec.Size;
    }
    rec.Size = 0;
}

void TTextEditStringList::EraseRecords(int index, int count)
{
    for (int i = index; i < index + count; ++i)
        Release(FList[static_cast<size_t>(i)]);
    FList.erase(FList.begin() + index, FList.begin() + index + count);
    if (!FRanges.empty())
        FRanges.erase(FRanges.begin() + index, FRanges.begin() + index + count);
    if (!FObjects.empty())
        FObjects.erase(FObjects.begin() + index, FObjects.begin() + index + count);
}

void TTextEditStringList::Store(TTextEditStringRec& rec, QStringView s)
{
    Release(rec);
    const TLineShape shape = ShapeOf(s);
    if (shape.Bytes > std::numeric_limits<std::int32_t>::max())
        throw ETextEditListError(QStringLiteral("Line too long"));
    rec.Coding = shape.Coding;
    rec.Size = static_cast<std::uint32_t>(shape.Bytes);
    if (shape.HasTabs) {
        rec.Flags = lfLengthUnknown;
        rec.ExpandedLength = -1;
    } else {
        rec.Flags = lfNoTabs;
        rec.ExpandedLength = static_cast<std::int32_t>(shape.Cells);
    }
    if (rec.Size > 0)
        Encode(s, rec.Coding, Reserve(rec.Size, rec.Chunk, rec.Offset));
    // Replaced lines leave garbage behind; once it outweighs half the text the
    // lines are packed anew, so the work stays in proportion to the edits.
    if (FGarbageBytes > ChunkSize * 16 && FGarbageBytes > FLiveBytes / 2)
        Compact();
}

void TTextEditStringList::Compact()
{
    std::vector<TChunk> old;
    old.swap(FChunks);
    FFreeChunks.clear();
    FHasAppendChunk = false;
    FLiveBytes = 0;
    FGarbageBytes = 0;
    for (TTextEditStringRec& rec : FList) {
        if (rec.Size == 0)
            continue;
        TChunk& from = old[rec.Chunk];
        std::uint32_t chunk = 0;
        std::uint32_t offset = 0;
        std::memcpy(Reserve(rec.Size, chunk, offset), from.Data.get() + rec.Offset, rec.Size);
        // A chunk is freed as soon as its last line has moved.
        from.Live -= rec.Size;
        if (from.Live == 0)
            from = TChunk();
        rec.Chunk = chunk;
        rec.Offset = offset;
    }
}

void TTextEditStringList::OpenRecords(int index, int count)
{
    FList.insert(FList.begin() + index, static_cast<size_t>(count), TTextEditStringRec());
    if (!FRanges.empty())
        FRanges.insert(FRanges.begin() + index, static_cast<size_t>(count), -1);
    if (!FObjects.empty())
        FObjects.insert(FObjects.begin() + index, static_cast<size_t>(count), nullptr);
}

void TTextEditStringList::BeginInsert(int index, int count)
{
    BeginUpdate();
    if (OnBeforeLinesInserted)
        OnBeforeLinesInserted(this, index, count);
    if (Count() + count > FCapacity)
        SetCapacity(Count() + count);
    OpenRecords(index, count);
}

void TTextEditStringList::EndInsert(int index, int count)
{
    LongestAfterInsert(index, count);
    if (OnLinesInserted)
        OnLinesInserted(this, index, count);
    EndUpdate();
}

// ---------------------------------------------------------------- the list

QString TTextEditStringList::Get(int index) const
{
    if (index < 0 || index >= Count())
        return {};
    return Decode(FList[static_cast<size_t>(index)]);
}

void* TTextEditStringList::GetObject(int index) const
{
    if (index < 0 || index >= Count() || FObjects.empty())
        return nullptr;
    return FObjects[static_cast<size_t>(index)];
}

void TTextEditStringList::Grow()
{
    const int delta = FCapacity > 64 ? FCapacity / 4 : 16;
    SetCapacity(FCapacity + delta);
}

void TTextEditStringList::SetCapacity(int value)
{
    if (value < Count())
        throw ETextEditListError(QStringLiteral("Stringlist capacity cannot be smaller than count"));
    FCapacity = value;
    FList.reserve(static_cast<size_t>(value));
}

void TTextEditStringList::InsertItem(int index, const QString& s)
{
    if (Count() == FCapacity)
        Grow();
    OpenRecords(index, 1);
    Store(FList[static_cast<size_t>(index)], s);
    LongestAfterInsert(index, 1);
}

// The longest-line cache follows each change instead of being rebuilt by a
// scan of the whole text.
void TTextEditStringList::LongestAfterInsert(int index, int count)
{
    if (FIndexOfLongestLine < 0)
        return;
    if (FIndexOfLongestLine >= index)
        FIndexOfLongestLine += count;
    int longest = FList[static_cast<size_t>(FIndexOfLongestLine)].ExpandedLength;
    for (int i = index; i < index + count; ++i) {
        if (FList[static_cast<size_t>(i)].Size == 0)
            continue;
        const int length = ExpandedLineLength(i);
        if (length > longest) {
            longest = length;
            FIndexOfLongestLine = i;
        }
    }
}

void TTextEditStringList::LongestAfterDelete(int index, int count)
{
    if (FIndexOfLongestLine >= index + count)
        FIndexOfLongestLine -= count;
    else if (FIndexOfLongestLine >= index)
        FIndexOfLongestLine = -1;
}

int TTextEditStringList::Add(const QString& s)
{
    BeginUpdate();
    const int index = Count();
    if (OnBeforeLinesInserted)
        OnBeforeLinesInserted(this, index, 1);
    InsertItem(index, s);
    if (OnLinesInserted)
        OnLinesInserted(this, index, 1);
    EndUpdate();
    return index;
}

void TTextEditStringList::Insert(int index, const QString& s)
{
    if (index < 0 || index > Count())
        IndexError(index);
    BeginUpdate();
    if (OnBeforeLinesInserted)
        OnBeforeLinesInserted(this, index, 1);
    InsertItem(index, s);
    if (OnLinesInserted)
        OnLinesInserted(this, index, 1);
    EndUpdate();
}

void TTextEditStringList::InsertEmptyLines(int index, int count)
{
    if (index < 0 || index > Count())
        IndexError(index);
    if (count <= 0)
        return;
    BeginInsert(index, count);
    EndInsert(index, count);
}

void TTextEditStringList::InsertStrings(int index, const QStringList& lines)
{
    if (index < 0 || index > Count())
        IndexError(index);
    if (lines.isEmpty())
        return;
    const int count = static_cast<int>(lines.size());
    BeginInsert(index, count);
    for (int i = 0; i < count; ++i)
        Store(FList[static_cast<size_t>(index + i)], lines[i]);
    EndInsert(index, count);
}

int TTextEditStringList::SplitInto(int index, QStringView text, QStringView tail, TTextLineState state,
                                   bool finalBreakOpensLine, bool* sawCR, bool* sawLF)
{
    const char16_t* p = text.utf16();
    const qsizetype n = text.size();
    // The lines are counted first, so that the records open in one move.
    qsizetype count = 1;
    for (qsizetype i = 0; i < n; ++i) {
        if (p[i] == u'\n' || (p[i] == u'\r' && !(i + 1 < n && p[i + 1] == u'\n')))
            ++count;
    }
    const bool endsWithBreak = n > 0 && (p[n - 1] == u'\r' || p[n - 1] == u'\n');
    if (endsWithBreak && !finalBreakOpensLine)
        --count;
    if (Count() + count > std::numeric_limits<int>::max() / 2)
        throw ETextEditListError(QStringLiteral("Too many lines"));
    if (count == 0)
        return 0;
    const int added = static_cast<int>(count);
    BeginInsert(index, added);
    qsizetype i = 0;
    QString last;
    for (int k = 0; k < added; ++k) {
        TTextEditStringRec& rec = FList[static_cast<size_t>(index + k)];
        const qsizetype end = LineEnd(p, i, n);
        if (k + 1 == added && !tail.isEmpty()) {
            last.reserve(end - i + tail.size());
            last.append(text.mid(i, end - i)).append(tail);
            Store(rec, last);
        } else {
            Store(rec, text.mid(i, end - i));
        }
        rec.State = state;
        i = SkipBreak(p, end, n, sawCR, sawLF);
    }
    EndInsert(index, added);
    return added;
}

int TTextEditStringList::InsertText(int index, QStringView text, QStringView tail)
{
    if (index < 0 || index > Count())
        IndexError(index);
    return SplitInto(index, text, tail, lsChanged, true, nullptr, nullptr);
}

void TTextEditStringList::AddStrings(const QStringList& lines)
{
    if (lines.isEmpty())
        return;
    BeginUpdate();
    const int oldCount = Count();
    const int needed = oldCount + static_cast<int>(lines.size());
    if (needed > FCapacity)
        SetCapacity((needed + 15) / 16 * 16);
    OpenRecords(oldCount, static_cast<int>(lines.size()));
    for (int i = 0; i < lines.size(); ++i)
        Store(FList[static_cast<size_t>(oldCount + i)], lines[i]);
    LongestAfterInsert(oldCount, static_cast<int>(lines.size()));
    if (OnLinesInserted)
        OnLinesInserted(this, oldCount, static_cast<int>(lines.size()));
    EndUpdate();
}

void TTextEditStringList::AddStrings(const TTextEditStringList& source)
{
    if (source.Count() == 0)
        return;
    BeginUpdate();
    const int oldCount = Count();
    const int added = source.Count();
    const int needed = oldCount + added;
    if (needed > FCapacity)
        SetCapacity((needed + 15) / 16 * 16);
    OpenRecords(oldCount, added);
    for (int i = 0; i < added; ++i) {
        const TTextEditStringRec& from = source.FList[static_cast<size_t>(i)];
        TTextEditStringRec& rec = FList[static_cast<size_t>(oldCount + i)];
        Store(rec, source.Decode(from));
        rec.State = from.State;
        if (void* object = source.GetObject(i))
            PutObject(oldCount + i, object);
    }
    LongestAfterInsert(oldCount, added);
    if (OnLinesInserted)
        OnLinesInserted(this, oldCount, added);
    EndUpdate();
}

void TTextEditStringList::Put(int index, const QString& s)
{
    if (index == Count() || (index == 0 && Count() == 0)) {
        Add(s);
        return;
    }
    if (index < 0 || index >= Count())
        IndexError(index);
    if (OnBeforeLineReplaced)
        OnBeforeLineReplaced(this, index, 1);
    BeginUpdate();
    const int longestBefore = FIndexOfLongestLine >= 0 ? FList[static_cast<size_t>(FIndexOfLongestLine)].ExpandedLength : 0;
    TTextEditStringRec& rec = FList[static_cast<size_t>(index)];
    Store(rec, s);
    rec.State = lsChanged;
    if (FIndexOfLongestLine >= 0) {
        const int length = ExpandedLineLength(index);
        if (length > longestBefore)
            FIndexOfLongestLine = index;
        else if (index == FIndexOfLongestLine && length < longestBefore)
            FIndexOfLongestLine = -1;  // the longest line shrank: the next query looks again
    }
    if (OnLineReplaced)
        OnLineReplaced(this, index, 1);
    EndUpdate();
}

void TTextEditStringList::PutObject(int index, void* object)
{
    if (index < 0 || index >= Count())
        IndexError(index);
    BeginUpdate();
    if (FObjects.empty() && object != nullptr)
        FObjects.assign(FList.size(), nullptr);
    if (!FObjects.empty())
        FObjects[static_cast<size_t>(index)] = object;
    EndUpdate();
}

void TTextEditStringList::Delete(int index)
{
    if (index < 0 || index >= Count())
        IndexError(index);
    BeginUpdate();
    if (OnBeforeLinesDeleted)
        OnBeforeLinesDeleted(this, index, 1);
    EraseRecords(index, 1);
    LongestAfterDelete(index, 1);
    if (OnLinesDeleted)
        OnLinesDeleted(this, index, 1);
    EndUpdate();
}

void TTextEditStringList::DeleteLineRange(int index, int count)
{
    if (index < 0 || index >= Count())
        IndexError(index);
    if (count <= 0)
        return;
    if (count > Count() - index)
        count = Count() - index;
    if (OnBeforeLinesDeleted)
        OnBeforeLinesDeleted(this, index, count);
    const bool linesFollow = index + count < Count();
    if (linesFollow)
        BeginUpdate();
    EraseRecords(index, count);
    LongestAfterDelete(index, count);
    if (linesFollow)
        EndUpdate();
    if (OnLinesDeleted)
        OnLinesDeleted(this, index, count);
}

void TTextEditStringList::Exchange(int index1, int index2)
{
    if (index1 < 0 || index1 >= Count())
        IndexError(index1);
    if (index2 < 0 || index2 >= Count())
        IndexError(index2);
    BeginUpdate();
    std::swap(FList[static_cast<size_t>(index1)], FList[static_cast<size_t>(index2)]);
    if (!FRanges.empty())
        std::swap(FRanges[static_cast<size_t>(index1)], FRanges[static_cast<size_t>(index2)]);
    if (!FObjects.empty())
        std::swap(FObjects[static_cast<size_t>(index1)], FObjects[static_cast<size_t>(index2)]);
    if (FIndexOfLongestLine == index1)
        FIndexOfLongestLine = index2;
    else if (FIndexOfLongestLine == index2)
        FIndexOfLongestLine = index1;
    EndUpdate();
}

void TTextEditStringList::Clear()
{
    if (!FList.empty()) {
        BeginUpdate();
        std::vector<TTextEditStringRec>().swap(FList);
        std::vector<TChunk>().swap(FChunks);
        std::vector<std::uint32_t>().swap(FFreeChunks);
        std::vector<std::intptr_t>().swap(FRanges);
        std::vector<void*>().swap(FObjects);
        FHasAppendChunk = false;
        FLiveBytes = 0;
        FGarbageBytes = 0;
        FCapacity = 0;
        if (OnCleared)
            OnCleared(this);
        EndUpdate();
    }
    FIndexOfLongestLine = -1;
}

QString TTextEditStringList::Text() const
{
    QString text = ToStringList().join(QLatin1String("\r\n"));
    return text;
}

QStringList TTextEditStringList::ToStringList() const
{
    QStringList lines;
    lines.reserve(Count());
    for (const TTextEditStringRec& rec : FList)
        lines.append(Decode(rec));
    return lines;
}

void TTextEditStringList::SetText(const QString& text)
{
    Clear();
    BeginUpdate();
    if (!text.isEmpty())
        SplitInto(0, text, {}, lsChanged, !FTrailingLineBreak, nullptr, nullptr);
    EndUpdate();
}

void TTextEditStringList::LoadFromFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw ETextEditError(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, file.errorString()));
    LoadFromStream(file);
}

void TTextEditStringList::LoadFromStream(QIODevice& stream)
{
    if (!stream.isSequential())
        stream.seek(0);
    // The bytes are freed once decoded. GBK trail bytes are never CR or LF,
    // so the decoded text breaks where the bytes do.
    LoadFromText(AnsiToString(stream.readAll()));
}

void TTextEditStringList::LoadFromBytes(const QByteArray& bytes)
{
    LoadFromText(AnsiToString(bytes));
}

void TTextEditStringList::LoadFromText(const QString& text)
{
    BeginUpdate();
    Clear();
    bool sawCR = false;
    bool sawLF = false;
    if (!text.isEmpty())
        SplitInto(0, text, {}, lsUnchanged, !FTrailingLineBreak, &sawCR, &sawLF);
    if (FTrimTrailingBlankLines)
        while (Count() > 0 && IsBlank(Get(Count() - 1)))
            Delete(Count() - 1);
    EndUpdate();
    if (sawCR && !sawLF)
        FLineBreakStyle = lbsCR;
    else if (sawLF && !sawCR)
        FLineBreakStyle = lbsLF;
    else
        FLineBreakStyle = lbsCRLF;
}

QByteArray TTextEditStringList::BreakBytes(TTextLineBreakStyle style)
{
    switch (style) {
    case lbsLF: return QByteArrayLiteral("\n");
    case lbsCR: return QByteArrayLiteral("\r");
    default: return QByteArrayLiteral("\r\n");
    }
}

QByteArray TTextEditStringList::SaveToBytes() const
{
    if (FList.empty())
        return {};
    const QByteArray brk = BreakBytes(FLineBreakStyle);
    qsizetype size = 0;
    for (const TTextEditStringRec& rec : FList)
        size += rec.Size + brk.size();
    QByteArray bytes;
    bytes.reserve(size + size / 8);
    const size_t n = FList.size();
    for (size_t i = 0; i < n; ++i) {
        AppendAnsi(bytes, Decode(FList[i]));
        if (i + 1 < n || FTrailingLineBreak)
            bytes += brk;
    }
    return bytes;
}

void TTextEditStringList::SaveToStream(QIODevice& stream)
{
    const QByteArray bytes = SaveToBytes();
    if (stream.write(bytes) != bytes.size())
        throw ETextEditError(QStringLiteral("Stream write error"));
}

void TTextEditStringList::SaveToFile(const QString& fileName)
{
    TTextEditFileWriter writer(fileName);
    writer.LineBreakStyle = FLineBreakStyle;
    writer.AppendText(SaveToBytes());
    writer.Commit();
}

QString TTextEditStringList::ExpandLine(int index)
{
    TTextEditStringRec& rec = FList[static_cast<size_t>(index)];
    if (rec.Size == 0) {
        rec.ExpandedLength = 0;
        rec.Flags = lfNoTabs;
        return {};
    }
    bool hasTabs = false;
    QString expanded = FExpander(Decode(rec), FTabWidth, hasTabs);
    rec.ExpandedLength = CellLength(expanded);
    rec.Flags = hasTabs ? lfHasTabs : lfNoTabs;
    return expanded;
}

QString TTextEditStringList::ExpandedLine(int index)
{
    if (index < 0 || index >= Count())
        return {};
    const TTextEditStringRec& rec = FList[static_cast<size_t>(index)];
    if (rec.Flags & lfNoTabs)
        return Decode(rec);
    return ExpandLine(index);
}

int TTextEditStringList::ExpandedLineLength(int index)
{
    if (index < 0 || index >= Count())
        return 0;
    if (FList[static_cast<size_t>(index)].Flags & lfLengthUnknown)
        ExpandLine(index);
    return FList[static_cast<size_t>(index)].ExpandedLength;
}

int TTextEditStringList::LongestLineLength()
{
    if (FIndexOfLongestLine < 0) {
        int longest = 0;
        const int n = Count();
        for (int i = 0; i < n; ++i) {
            if (FList[static_cast<size_t>(i)].Flags & lfLengthUnknown)
                ExpandLine(i);
            if (FList[static_cast<size_t>(i)].ExpandedLength > longest) {
                longest = FList[static_cast<size_t>(i)].ExpandedLength;
                FIndexOfLongestLine = i;
            }
        }
    }
    if (FIndexOfLongestLine < 0 || FIndexOfLongestLine >= Count())
        return 0;
    return FList[static_cast<size_t>(FIndexOfLongestLine)].ExpandedLength;
}

std::intptr_t TTextEditStringList::LineRange(int index) const
{
    if (index < 0 || index >= Count())
        return 0;
    return FRanges.empty() ? -1 : FRanges[static_cast<size_t>(index)];
}

void TTextEditStringList::SetLineRange(int index, std::intptr_t value)
{
    if (index < 0 || index >= Count())
        IndexError(index);
    BeginUpdate();
    if (FRanges.empty() && value != -1)
        FRanges.assign(FList.size(), -1);
    if (!FRanges.empty())
        FRanges[static_cast<size_t>(index)] = value;
    EndUpdate();
}

TTextLineState* TTextEditStringList::LineExtra(int index)
{
    if (index < 0 || index >= Count())
        return nullptr;
    return &FList[static_cast<size_t>(index)].State;
}

std::uint8_t TTextEditStringList::LineFlags(int index) const
{
    if (index < 0 || index >= Count())
        return 0;
    return FList[static_cast<size_t>(index)].Flags;
}

void TTextEditStringList::SetTabWidth(int value)
{
    if (value == FTabWidth)
        return;
    FTabWidth = value;
    FExpander = ChooseTabExpander(value);
    FIndexOfLongestLine = -1;
    for (TTextEditStringRec& rec : FList) {
        // Lines without tabs keep their length: it does not depend on the width.
        if (rec.Flags & lfNoTabs)
            continue;
        rec.ExpandedLength = -1;
        rec.Flags = static_cast<std::uint8_t>((rec.Flags & ~lfNoTabs) | lfLengthUnknown);
    }
}

// ---------------------------------------------------------------- writer

struct TTextEditFileWriter::TImpl {
    explicit TImpl(const QString& name) : File(name) {}
    QSaveFile File;
};

TTextEditFileWriter::TTextEditFileWriter(const QString& fileName) : FImpl(new TImpl(fileName))
{
    if (!FImpl->File.open(QIODevice::WriteOnly)) {
        const QString error = FImpl->File.errorString();
        delete FImpl;
        throw ETextEditError(QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, error));
    }
    FBuffer.resize(16384);
}

TTextEditFileWriter::~TTextEditFileWriter()
{
    // Without Commit the new file is dropped and the old one stays.
    delete FImpl;
}

void TTextEditFileWriter::WriteOut()
{
    if (FPos > 0 && FImpl->File.write(FBuffer.constData(), FPos) != FPos)
        throw ETextEditError(QStringLiteral("Stream write error"));
    FPos = 0;
}

void TTextEditFileWriter::AppendText(const QByteArray& text)
{
    if (FPos + text.size() > FBuffer.size()) {
        WriteOut();
        if (text.size() > FBuffer.size()) {
            // Larger than the buffer: written as it is, without a copy.
            if (FImpl->File.write(text) != text.size())
                throw ETextEditError(QStringLiteral("Stream write error"));
            return;
        }
    }
    std::copy(text.constBegin(), text.constEnd(), FBuffer.begin() + FPos);
    FPos += text.size();
}

void TTextEditFileWriter::AppendLine(const QByteArray& text)
{
    const int breakLength = LineBreakStyle == lbsCRLF ? 2 : 1;
    if (FPos + text.size() + breakLength > FBuffer.size()) {
        WriteOut();
        if (FBuffer.size() < text.size() + breakLength)
            FBuffer.resize(text.size() + breakLength);
    }
    std::copy(text.constBegin(), text.constEnd(), FBuffer.begin() + FPos);
    FPos += text.size();
    if (LineBreakStyle != lbsLF)
        FBuffer[FPos++] = '\r';
    if (LineBreakStyle != lbsCR)
        FBuffer[FPos++] = '\n';
}

void TTextEditFileWriter::Commit()
{
    WriteOut();
    if (!FImpl->File.commit())
        throw ETextEditError(QStringLiteral("Cannot write file \"%1\". %2")
                                 .arg(FImpl->File.fileName(), FImpl->File.errorString()));
}
