#include "TextEditLines.h"

#include "AnsiText.h"

#include <QtCore/QFile>
#include <QtCore/QIODevice>
#include <QtCore/QSaveFile>

namespace {

bool IsBlank(const QString& s)
{
    for (QChar c : s)
        if (c.unicode() > ' ')
            return false;
    return true;
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

QString TTextEditStringList::Get(int index) const
{
    if (index < 0 || index >= Count())
        return {};
    return FList[static_cast<size_t>(index)].Text;
}

void* TTextEditStringList::GetObject(int index) const
{
    if (index < 0 || index >= Count())
        return nullptr;
    return FList[static_cast<size_t>(index)].Obj;
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
    TTextEditStringRec rec;
    rec.Text = s;
    FList.insert(FList.begin() + index, std::move(rec));
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
        if (FList[static_cast<size_t>(i)].Text.isEmpty())
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
    BeginUpdate();
    if (OnBeforeLinesInserted)
        OnBeforeLinesInserted(this, index, count);
    SetCapacity(Count() + count);
    FList.insert(FList.begin() + index, static_cast<size_t>(count), TTextEditStringRec());
    LongestAfterInsert(index, count);
    if (OnLinesInserted)
        OnLinesInserted(this, index, count);
    EndUpdate();
}

void TTextEditStringList::InsertStrings(int index, const QStringList& lines)
{
    if (index < 0 || index > Count())
        IndexError(index);
    if (lines.isEmpty())
        return;
    const int count = static_cast<int>(lines.size());
    BeginUpdate();
    if (OnBeforeLinesInserted)
        OnBeforeLinesInserted(this, index, count);
    if (Count() + count > FCapacity)
        SetCapacity(Count() + count);
    FList.insert(FList.begin() + index, static_cast<size_t>(count), TTextEditStringRec());
    for (int i = 0; i < count; ++i)
        FList[static_cast<size_t>(index + i)].Text = lines[i];
    LongestAfterInsert(index, count);
    if (OnLinesInserted)
        OnLinesInserted(this, index, count);
    EndUpdate();
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
    for (const QString& line : lines) {
        TTextEditStringRec rec;
        rec.Text = line;
        FList.push_back(std::move(rec));
    }
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
    for (int i = 0; i < added; ++i) {
        const TTextEditStringRec& from = source.FList[static_cast<size_t>(i)];
        TTextEditStringRec rec;
        rec.Text = from.Text;
        rec.Obj = from.Obj;
        rec.State = from.State;
        FList.push_back(std::move(rec));
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
    TTextEditStringRec& rec = FList[static_cast<size_t>(index)];
    const int longestBefore = FIndexOfLongestLine >= 0 ? FList[static_cast<size_t>(FIndexOfLongestLine)].ExpandedLength : 0;
    rec.Text = s;
    rec.Flags = lfLengthUnknown;
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
    FList[static_cast<size_t>(index)].Obj = object;
    EndUpdate();
}

void TTextEditStringList::Delete(int index)
{
    if (index < 0 || index >= Count())
        IndexError(index);
    BeginUpdate();
    if (OnBeforeLinesDeleted)
        OnBeforeLinesDeleted(this, index, 1);
    FList.erase(FList.begin() + index);
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
    FList.erase(FList.begin() + index, FList.begin() + index + count);
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
        FCapacity = 0;
        if (OnCleared)
            OnCleared(this);
        EndUpdate();
    }
    FIndexOfLongestLine = -1;
}

QString TTextEditStringList::Text() const
{
    qsizetype size = 0;
    for (const TTextEditStringRec& rec : FList)
        size += rec.Text.size() + 2;
    QString text;
    text.reserve(size);
    for (const TTextEditStringRec& rec : FList) {
        text += rec.Text;
        text += QLatin1String("\r\n");
    }
    text.chop(2);
    return text;
}

QStringList TTextEditStringList::ToStringList() const
{
    QStringList lines;
    lines.reserve(Count());
    for (const TTextEditStringRec& rec : FList)
        lines.append(rec.Text);
    return lines;
}

void TTextEditStringList::AppendLines(const QString& text, TTextLineState state, bool* sawCR, bool* sawLF)
{
    const QChar* p = text.constData();
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype start = i;
        while (i < n && p[i] != QLatin1Char('\r') && p[i] != QLatin1Char('\n'))
            ++i;
        const int index = Add(QString(p + start, i - start));
        FList[static_cast<size_t>(index)].State = state;
        if (i < n && p[i] == QLatin1Char('\r')) {
            ++i;
            if (sawCR)
                *sawCR = true;
        }
        if (i < n && p[i] == QLatin1Char('\n')) {
            ++i;
            if (sawLF)
                *sawLF = true;
        }
    }
    if (!FTrailingLineBreak && n > 0 && (p[n - 1] == QLatin1Char('\r') || p[n - 1] == QLatin1Char('\n'))) {
        const int index = Add(QString());
        FList[static_cast<size_t>(index)].State = state;
    }
}

void TTextEditStringList::SetText(const QString& text)
{
    Clear();
    BeginUpdate();
    AppendLines(text, lsChanged, nullptr, nullptr);
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
    qsizetype breaks = text.count(QLatin1Char('\n'));
    if (breaks == 0)
        breaks = text.count(QLatin1Char('\r'));
    if (FCapacity < breaks + 1)
        SetCapacity(static_cast<int>(breaks + 1));
    AppendLines(text, lsUnchanged, &sawCR, &sawLF);
    if (FTrimTrailingBlankLines)
        while (Count() > 0 && IsBlank(FList.back().Text))
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
        size += rec.Text.size() + brk.size();
    QByteArray bytes;
    bytes.reserve(size + size / 8);
    const size_t n = FList.size();
    for (size_t i = 0; i < n; ++i) {
        AppendAnsi(bytes, FList[i].Text);
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
    if (rec.Text.isEmpty()) {
        rec.ExpandedLength = 0;
        rec.Flags = lfNoTabs;
        return {};
    }
    bool hasTabs = false;
    QString expanded = FExpander(rec.Text, FTabWidth, hasTabs);
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
        return rec.Text;
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
    return FList[static_cast<size_t>(index)].Range;
}

void TTextEditStringList::SetLineRange(int index, std::intptr_t value)
{
    if (index < 0 || index >= Count())
        IndexError(index);
    BeginUpdate();
    FList[static_cast<size_t>(index)].Range = value;
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
