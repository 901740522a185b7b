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

// ---- the file form. Every byte that is no character of the encoding is
// held as U+F700 + byte (see AnsiText.h), and a character in that range is
// taken apart into such bytes, so that decoding and encoding give back the
// bytes of any file.

QChar EscapedByte(unsigned char b) { return QChar(static_cast<char16_t>(AnsiByteEscapeFirst + b)); }

QString Utf8KeepingBytes(const unsigned char* p, qsizetype n)
{
    QString out;
    out.reserve(n);
    for (qsizetype i = 0; i < n;) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            out.append(QChar(b));
            ++i;
            continue;
        }
        // The length and the allowed range of the second byte of each lead
        // byte: no overlong forms, no surrogates, nothing above U+10FFFF.
        int length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            if (b == 0xE0)
                low = 0xA0;
            else if (b == 0xED)
                high = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            if (b == 0xF0)
                low = 0x90;
            else if (b == 0xF4)
                high = 0x8F;
        }
        bool valid = length > 0 && i + length <= n && p[i + 1] >= low && p[i + 1] <= high;
        for (int k = 2; valid && k < length; ++k)
            valid = p[i + k] >= 0x80 && p[i + k] <= 0xBF;
        char32_t c = 0;
        if (valid) {
            c = b & (0xFF >> (length + 1));
            for (int k = 1; k < length; ++k)
                c = (c << 6) | (p[i + k] & 0x3F);
            valid = !(c >= AnsiByteEscapeFirst && c <= AnsiByteEscapeLast);
        }
        if (!valid) {
            out.append(EscapedByte(b));
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            out.append(QChar(QChar::highSurrogate(c)));
            out.append(QChar(QChar::lowSurrogate(c)));
        } else {
            out.append(QChar(static_cast<char16_t>(c)));
        }
        i += length;
    }
    return out;
}

void AppendUtf8KeepingBytes(QByteArray& out, QStringView s)
{
    const char16_t* p = s.utf16();
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = p[i];
        if (c < 0x80) {
            out.append(static_cast<char>(c));
        } else if (IsAnsiByteEscape(static_cast<char16_t>(c))) {
            out.append(static_cast<char>(c - AnsiByteEscapeFirst));
        } else if (c < 0x800) {
            out.append(static_cast<char>(0xC0 | (c >> 6)));
            out.append(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (QChar::isSurrogate(c)) {
            if (!(QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(p[i + 1]))) {
                out.append('?');  // a lone half of a pair has no UTF-8 form
                continue;
            }
            c = QChar::surrogateToUcs4(p[i], p[i + 1]);
            ++i;
            out.append(static_cast<char>(0xF0 | (c >> 18)));
            out.append(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.append(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.append(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.append(static_cast<char>(0xE0 | (c >> 12)));
            out.append(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.append(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
}

// UTF-16 keeps every unit, lone halves of pairs too; only a unit in the
// escape range and an odd last byte are held as bytes.
QString Utf16KeepingBytes(const unsigned char* p, qsizetype n, bool bigEndian)
{
    QString out;
    out.reserve(n / 2 + 1);
    qsizetype i = 0;
    for (; i + 1 < n; i += 2) {
        const char16_t u = bigEndian ? static_cast<char16_t>((p[i] << 8) | p[i + 1])
                                     : static_cast<char16_t>(p[i] | (p[i + 1] << 8));
        if (IsAnsiByteEscape(u)) {
            out.append(EscapedByte(p[i]));
            out.append(EscapedByte(p[i + 1]));
        } else {
            out.append(QChar(u));
        }
    }
    if (i < n)
        out.append(EscapedByte(p[i]));
    return out;
}

void AppendUtf16KeepingBytes(QByteArray& out, QStringView s, bool bigEndian)
{
    for (const QChar ch : s) {
        const char16_t u = ch.unicode();
        if (IsAnsiByteEscape(u)) {
            out.append(static_cast<char>(u - AnsiByteEscapeFirst));
        } else if (bigEndian) {
            out.append(static_cast<char>(u >> 8));
            out.append(static_cast<char>(u & 0xFF));
        } else {
            out.append(static_cast<char>(u & 0xFF));
            out.append(static_cast<char>(u >> 8));
        }
    }
}

QByteArray ByteOrderMark(TTextFileEncoding encoding)
{
    switch (encoding) {
    case tfeUtf8: return QByteArrayLiteral("\xEF\xBB\xBF");
    case tfeUtf16LE: return QByteArrayLiteral("\xFF\xFE");
    case tfeUtf16BE: return QByteArrayLiteral("\xFE\xFF");
    case tfeAnsi: break;
    }
    return {};
}

// The text of a file's bytes, and the encoding its mark announces.
QString DecodeFileBytes(const QByteArray& bytes, TTextFileEncoding& encoding)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    encoding = tfeAnsi;
    for (TTextFileEncoding e : {tfeUtf8, tfeUtf16LE, tfeUtf16BE}) {
        const QByteArray mark = ByteOrderMark(e);
        if (bytes.startsWith(mark)) {
            encoding = e;
            break;
        }
    }
    const qsizetype skip = ByteOrderMark(encoding).size();
    switch (encoding) {
    case tfeUtf8: return Utf8KeepingBytes(p + skip, n - skip);
    case tfeUtf16LE: return Utf16KeepingBytes(p + skip, n - skip, false);
    case tfeUtf16BE: return Utf16KeepingBytes(p + skip, n - skip, true);
    case tfeAnsi: break;
    }
    return AnsiToStringKeepingBytes(bytes);
}

void AppendEncoded(QByteArray& out, QStringView s, TTextFileEncoding encoding)
{
    switch (encoding) {
    case tfeUtf8: AppendUtf8KeepingBytes(out, s); return;
    case tfeUtf16LE: AppendUtf16KeepingBytes(out, s, false); return;
    case tfeUtf16BE: AppendUtf16KeepingBytes(out, s, true); return;
    case tfeAnsi: break;
    }
    AppendAnsiKeepingBytes(out, s);
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
    // The bytes are freed once decoded.
    LoadFromBytes(stream.readAll());
}

void TTextEditStringList::LoadFromBytes(const QByteArray& bytes)
{
    // No byte of a multi-byte GBK or UTF-8 sequence is CR or LF, and in
    // UTF-16 the breaks are units of their own, so the text breaks where
    // the file does.
    TTextFileEncoding encoding = tfeAnsi;
    const QString text = DecodeFileBytes(bytes, encoding);
    FFileEncoding = encoding;
    LoadFromText(text);
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

QByteArray TTextEditStringList::BreakBytes() const
{
    QByteArray bytes;
    switch (FLineBreakStyle) {
    case lbsLF: AppendEncoded(bytes, u"\n", FFileEncoding); break;
    case lbsCR: AppendEncoded(bytes, u"\r", FFileEncoding); break;
    default: AppendEncoded(bytes, u"\r\n", FFileEncoding); break;
    }
    return bytes;
}

QByteArray TTextEditStringList::SaveToBytes() const
{
    // An empty store saves as an empty file, with its byte-order mark when
    // it has one.
    if (FList.empty())
        return ByteOrderMark(FFileEncoding);
    const QByteArray brk = BreakBytes();
    qsizetype size = 0;
    for (const TTextEditStringRec& rec : FList)
        size += rec.Size + brk.size();
    QByteArray bytes = ByteOrderMark(FFileEncoding);
    bytes.reserve(size + size / 8);
    const size_t n = FList.size();
    for (size_t i = 0; i < n; ++i) {
        AppendEncoded(bytes, Decode(FList[i]), FFileEncoding);
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
