// The marker list: counting, marker texts and the state block. The
// document's upkeep of its list markers: entering and removing markers in the
// root's marker list, renumbering, and the markers' parts of RDF reads and
// writes.

#include "document/RDMarkerLists.h"

#include <algorithm>
#include <bitset>

#include <QtCore/QtEndian>

#include "ByteOrder.h"
#include "core/RDError.h"
#include "core/RDFormat.h"
#include "core/RDFStream.h"
#include "core/RDStrUtils.h"
#include "document/CRDData.h"
#include "document/RDFDocIO.h"
#include "document/RDItemSearch.h"
#include "styles/RDStyle.h"

namespace {

// One record of the marker-list state: ListNo, Level, Reset, StartFrom, Counter.
constexpr int MarkerStateRecordSize = 17;
constexpr int MarkerStateHeaderSize = 8;

constexpr int MaxMarkerFieldWidth = 255;

// Reads decimal digits at i of a format; -1 when there are none.
int ReadFormatNumber(const QByteArray& f, qsizetype& i)
{
    int value = -1;
    while (i < f.size() && f[i] >= '0' && f[i] <= '9') {
        value = std::min((value < 0 ? 0 : value * 10) + (f[i] - '0'), 1 << 20);
        ++i;
    }
    return value;
}

// The argument indexes a format refers to, by the formatter's rules
// (an index sets the place the next directives go on from). Scanning stops
// quietly at what the formatter refuses: it then raises itself. maxRef is
// -1 when the format refers to none; indexes from RDMaxMarkerLevels on are
// counted as RDMaxMarkerLevels. False when a directive asks for a field
// wider than MaxMarkerFieldWidth (a width, or the digits of %d): a style
// from a file could otherwise make every marker text megabytes long.
bool ReferencedArguments(const QByteArray& f, std::bitset<RDMaxMarkerLevels>& refs, int& maxRef, int& minRef)
{
    refs.reset();
    maxRef = -1;
    minRef = RDMaxMarkerLevels;
    int next = 0;
    qsizetype i = 0;
    while (i < f.size()) {
        if (f[i] != '%') {
            ++i;
            continue;
        }
        ++i;
        if (i >= f.size())
            return true;
        if (f[i] == '%') {
            ++i;
            continue;
        }
        const qsizetype start = i;
        const int number = ReadFormatNumber(f, i);
        if (number >= 0 && i < f.size() && f[i] == ':') {
            next = number;
            ++i;
        } else {
            i = start;
        }
        if (i < f.size() && f[i] == '-')
            ++i;
        if (ReadFormatNumber(f, i) > MaxMarkerFieldWidth)
            return false;
        int precision = -1;
        if (i < f.size() && f[i] == '.') {
            ++i;
            precision = ReadFormatNumber(f, i);
        }
        if (i >= f.size())
            return true;
        if ((f[i] == 'd' || f[i] == 'D') && precision > MaxMarkerFieldWidth)
            return false;
        ++i;
        const int index = std::min(next, RDMaxMarkerLevels);
        next = std::min(next + 1, 1 << 21);
        maxRef = std::max(maxRef, index);
        minRef = std::min(minRef, index);
        if (index < RDMaxMarkerLevels)
            refs[index] = true;
    }
    return true;
}

// Formats a byte-string format: the bytes travel unchanged (directives are ASCII).
QByteArray FormatBytes(const QByteArray& format, const QStringList& args)
{
    // Markers of a list share their format: its wide form is made once.
    thread_local QByteArray lastFormat;
    thread_local QString lastWide;
    if (format != lastFormat || lastWide.isNull()) {
        lastFormat = format;
        lastWide = QString::fromLatin1(format);
    }
    return RDFormat(lastWide, args).toLatin1();
}

// The next counter value; the largest one stays (counters from files may be anything).
int32_t NextCount(int32_t n)
{
    return n == INT32_MAX ? n : n + 1;
}

QString NumberTextW(int n, TRDListType listType)
{
    switch (listType) {
    case TRDListType::rdlstDecimal:
    case TRDListType::rdlstImageListCounter: return QString::number(n);
    case TRDListType::rdlstLowerAlpha: return AlphaNumeral(n).toLower();
    case TRDListType::rdlstUpperAlpha: return AlphaNumeral(n);
    // Roman numerals past the classical 3999 would grow by a letter per
    // thousand (a counter from a file may be near 2^31): decimal instead.
    case TRDListType::rdlstLowerRoman: return n > MaxRomanNumber ? QString::number(n) : RomanNumeral(n).toLower();
    case TRDListType::rdlstUpperRoman: return n > MaxRomanNumber ? QString::number(n) : RomanNumeral(n);
    default: return {};
    }
}

}  // namespace

bool RDFormatFieldsBounded(const QByteArray& format)
{
    std::bitset<RDMaxMarkerLevels> refs;
    int maxRef = -1, minRef = 0;
    return ReferencedArguments(format, refs, maxRef, minRef);
}

QByteArray NumberText(int n, TRDListType listType)
{
    return NumberTextW(n, listType).toLatin1();
}

// The marker list entry.

const TRDListLevel* TRDMarkerListEntry::ListLevelOf(const TRDStyle* rdStyle, int listNo, int level)
{
    if (!rdStyle || listNo < 0 || level < 0 || listNo >= rdStyle->ListStyles().Count())
        return nullptr;
    const std::vector<TRDListLevel>& levels = rdStyle->ListStyles().GetItem(listNo)->Levels;
    if (levels.empty())
        return nullptr;
    return &levels[std::min<size_t>(level, levels.size() - 1)];
}

int TRDMarkerListEntry::GetIndexInList(const TRDMarkerList* list)
{
    if (!list)
        return -1;
    if (ListIndex >= 0 && ListIndex < list->Count() && (*list)[ListIndex] == this)
        return ListIndex;
    ListIndex = list->IndexOf(this);
    return ListIndex;
}

// Counting and texts.

void TRDMarkerListEntry::UpdateDisplayString(const TRDStyle* rdStyle, const TRDMarkerList* list, int index)
{
    DisplayString.clear();
    const TRDListLevel* level = GetLevelInfo(rdStyle);
    if (!level)
        return;
    std::bitset<RDMaxMarkerLevels> refs;
    int maxRef = -1, minRef = 0;
    const bool bounded = ReferencedArguments(level->FormatString, refs, maxRef, minRef);
    if (level->ListType == TRDListType::rdlstBullet) {
        try {
            if (!bounded)
                throw ERichDocError("Format field too wide");
            DisplayString = FormatBytes(level->FormatString, QStringList(20));
        } catch (const ERichDocError&) {
            DisplayString = level->FormatString;
        }
        return;
    }
    if (!level->HasTextNumbering() || Level >= RDMaxMarkerLevels)
        return;
    if (!bounded) {
        DisplayString = level->FormatString;
        return;
    }
    // Only the levels the format names are worked out.
    QStringList args(std::min(maxRef + 1, RDMaxMarkerLevels));
    const bool legal = level->Options & rdloLegalStyleNumbering;
    int k = Level;
    const TRDMarkerListEntry* current = this;
    const TRDListLevel* currentLevel = level;
    const TRDMarkerList* currentList = list;
    int currentIndex = list ? index : -1;
    while (true) {
        if (k < args.size() && refs[k]) {
            TRDListType type = currentLevel->ListType;
            if (k < Level && legal && type != TRDListType::rdlstDecimal)
                type = TRDListType::rdlstDecimal;
            args[k] = NumberTextW(current->Counter, type);
        }
        if (k == 0 || k <= minRef)
            break;
        int found = -1;
        const TRDMarkerList* foundList = nullptr;
        int d = -1;
        if (currentList && currentIndex >= 0 && currentList->FindParentMarker(currentIndex, current, found, foundList))
            d = (*foundList)[found]->Level;
        for (int between = std::max(d + 1, 0); between < k; ++between)
            if (between < args.size() && refs[between])
                if (const TRDListLevel* v = LevelAt(rdStyle, between))
                    args[between] = NumberTextW(v->StartFrom, v->ListType);
        k = d;
        if (k < 0)
            break;
        current = (*foundList)[found];
        currentList = foundList;
        currentIndex = found;
        currentLevel = LevelAt(rdStyle, k);
        if (!currentLevel)
            break;
    }
    try {
        DisplayString = FormatBytes(level->FormatString, args);
    } catch (const ERichDocError&) {
        // A format the formatter refuses shows itself, as bullet texts do.
        DisplayString = level->FormatString;
    }
}

// The marker list.

int TRDMarkerList::IndexOf(const TRDMarkerListEntry* marker) const
{
    const auto it = std::find(FItems.begin(), FItems.end(), marker);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

void TRDMarkerList::Delete(int index)
{
    TRDMarkerListEntry* marker = FItems[index];
    FItems.erase(FItems.begin() + index);
    marker->ListIndex = -1;
    const auto owned =
        std::find_if(FOwned.begin(), FOwned.end(),
                     [marker](const std::unique_ptr<TRDMarkerListEntry>& m) { return m.get() == marker; });
    if (owned != FOwned.end())
        FOwned.erase(owned);
}

void TRDMarkerList::Clear()
{
    for (TRDMarkerListEntry* marker : FItems)
        marker->ListIndex = -1;
    FItems.clear();
    FOwned.clear();
}

void TRDMarkerList::InsertAfter(TRDMarkerListEntry* marker, TRDMarkerListEntry* prevMarker)
{
    int at = 0;
    if (prevMarker) {
        const int prev = prevMarker->GetIndexInList(this);
        at = prev >= 0 ? prev + 1 : 0;
    }
    FItems.insert(FItems.begin() + at, marker);
    marker->ListIndex = at;
}

void TRDMarkerList::RecalcCounters(int fromIndex, const TRDStyle* rdStyle)
{
    if (fromIndex < 0 || fromIndex >= Count())
        return;
    const int listNo = FItems[fromIndex]->ListNo;
    if (listNo < 0)
        return;
    for (int i = fromIndex; i < Count(); ++i) {
        TRDMarkerListEntry* m = FItems[i];
        m->ListIndex = i;
        if (m->ListNo != listNo)
            continue;
        if (m->Reset) {
            m->Counter = m->StartFrom;
        } else {
            const TRDListLevel* v = m->GetLevelInfo(rdStyle);
            if (!v) {
                // No level to count on: the counter stays, the text is empty.
                m->DisplayString.clear();
                continue;
            }
            m->Counter = v->StartFrom;
            for (int j = i - 1; j >= 0; --j) {
                const TRDMarkerListEntry* p = FItems[j];
                if (p->ListNo != listNo)
                    continue;
                if (p->Level == m->Level) {
                    m->Counter = NextCount(p->Counter);
                    break;
                }
                if (p->Level < m->Level) {
                    if (v->Options & rdloLevelReset) {
                        m->Counter = v->StartFrom;
                        break;
                    }
                } else {
                    m->Counter = NextCount(v->StartFrom);
                }
            }
        }
        m->UpdateDisplayString(rdStyle, this, i);
    }
}

bool TRDMarkerList::FindParentMarker(int index, const TRDMarkerListEntry* marker, int& outIndex,
                                     const TRDMarkerList*& outList) const
{
    if (!marker)
        marker = FItems[index];
    const TRDMarkerList* list = this;
    int from = index - 1;
    while (list) {
        for (int i = std::min(from, list->Count() - 1); i >= 0; --i) {
            const TRDMarkerListEntry* p = list->FItems[i];
            if (p->ListNo == marker->ListNo && p->Level < marker->Level) {
                outIndex = i;
                outList = list;
                return true;
            }
        }
        list = list->PriorMarkerList;
        if (list)
            from = list->Count() - 1;
    }
    outIndex = -1;
    outList = nullptr;
    return false;
}

namespace {

void PutLE32(QByteArray& block, int32_t value)
{
    ::PutLE32(block, static_cast<uint32_t>(value));
}

}  // namespace

void TRDMarkerList::SaveBinary(TRDStream& stream, int count, bool withSize) const
{
    count = std::clamp(count, 0, Count());
    QByteArray block;
    block.reserve(MarkerStateHeaderSize + 4 + MarkerStateRecordSize * count);
    if (withSize)
        PutLE32(block, MarkerStateHeaderSize + MarkerStateRecordSize * count);
    PutLE32(block, 0);
    PutLE32(block, count);
    for (int i = 0; i < count; ++i) {
        const TRDMarkerListEntry* m = FItems[i];
        PutLE32(block, m->ListNo);
        PutLE32(block, m->Level);
        block.append(m->Reset ? '\1' : '\0');
        PutLE32(block, m->StartFrom);
        PutLE32(block, m->Counter);
    }
    stream.WriteBuffer(block.constData(), block.size());
}

bool TRDMarkerList::LoadBinary(TRDStream& stream, TCustomRDData*, bool withSize)
{
    const int64_t start = stream.Position();
    int64_t available = stream.Size() - start;
    auto fail = [&stream, start]() {
        stream.SetPosition(start);
        return false;
    };
    char header[4];
    if (withSize) {
        if (available < 4 || stream.Read(header, 4) != 4)
            return fail();
        const int32_t size = qFromLittleEndian<int32_t>(header);
        available -= 4;
        if (size < MarkerStateHeaderSize || size > available)
            return fail();
        available = size;
    }
    if (available < MarkerStateHeaderSize)
        return fail();
    char head[MarkerStateHeaderSize];
    if (stream.Read(head, MarkerStateHeaderSize) != MarkerStateHeaderSize)
        return fail();
    const int32_t count = qFromLittleEndian<int32_t>(head + 4);
    // The count is checked against the block before anything is made.
    if (count < 0 || static_cast<int64_t>(count) * MarkerStateRecordSize > available - MarkerStateHeaderSize)
        return fail();
    QByteArray records(static_cast<qsizetype>(count) * MarkerStateRecordSize, '\0');
    if (count > 0 && stream.Read(records.data(), records.size()) != records.size())
        return fail();
    Clear();
    FItems.reserve(count);
    FOwned.reserve(count);
    for (int i = 0; i < count; ++i) {
        const char* r = records.constData() + i * MarkerStateRecordSize;
        auto marker = std::make_unique<TRDMarkerListEntry>(qFromLittleEndian<int32_t>(r),
                                                           qFromLittleEndian<int32_t>(r + 4),
                                                           qFromLittleEndian<int32_t>(r + 9), r[8] != 0);
        marker->Counter = qFromLittleEndian<int32_t>(r + 13);
        marker->ListIndex = i;
        FItems.push_back(marker.get());
        FOwned.push_back(std::move(marker));
    }
    return true;
}

void TRDMarkerList::SaveToRDF(TRDStream& stream, int count) const
{
    TRDMemoryStream memory;
    SaveBinary(memory, count, false);
    QByteArray hex;
    RDFMemoryToHex(memory, hex);
    RDFWriteLine(stream, hex);
}

bool TRDMarkerList::LoadFromHexString(const QByteArray& text, TCustomRDData* rdData)
{
    QByteArray bytes;
    if (!RDFHexToString(text, bytes))
        return false;
    return LoadFromBinaryString(bytes, rdData);
}

bool TRDMarkerList::LoadFromBinaryString(const QByteArray& bytes, TCustomRDData* rdData)
{
    TRDMemoryStream memory;
    memory.LoadFromBytes(bytes);
    memory.SetPosition(0);
    return LoadBinary(memory, rdData, false);
}
// The document's upkeep.

TRDMarkerListEntry* TCustomRDData::PrevMarkerItem(int i)
{
    return PrevItemOfKind<TRDMarkerListEntry>(this, i);
}

void TCustomRDData::AddMarkerToList(int i)
{
    if (i < 0 || i >= ItemCount())
        return;
    // The kind first: it rules out most items without a type test.
    if (ItemAt(i)->StyleNo != MarkerStyleNo)
        return;
    auto* marker = AsMarkerEntry(ItemAt(i));
    if (!marker)
        return;
    TRDMarkerList* list = GetMarkerList(true);
    if (!list)
        return;
    // A marker outside every list has no cached index.
    if (marker->ListIndex >= 0 && marker->GetIndexInList(list) >= 0)
        return;
    list->InsertAfter(marker, PrevMarkerItem(i - 1));
    list->RecalcCounters(marker->ListIndex, GetRDStyle());
}

void TCustomRDData::RemoveMarkerFromList(TCustomRDItemInfo* item, bool keepNumbers)
{
    auto* marker = AsMarkerEntry(item);
    if (!marker || item->StyleNo != MarkerStyleNo || marker->ListIndex < 0)
        return;
    TRDMarkerList* list = GetMarkerList(false);
    if (!list)
        return;
    const int index = marker->GetIndexInList(list);
    if (index < 0)
        return;
    list->Delete(index);
    if (list->Count() == 0) {
        DestroyMarkerList();
        return;
    }
    if (keepNumbers)
        return;
    // The markers of the removed marker's list after it count again.
    for (int j = index; j < list->Count(); ++j)
        if ((*list)[j]->ListNo == marker->ListNo) {
            list->RecalcCounters(j, GetRDStyle());
            break;
        }
}

void TCustomRDData::RenumberMarkersFrom(int i, bool create)
{
    if (i < 0 || i >= ItemCount())
        return;
    auto* marker = AsMarkerEntry(ItemAt(i));
    if (!marker)
        return;
    TRDMarkerList* list = GetMarkerList(create);
    const int index = marker->GetIndexInList(list);
    if (index >= 0)
        list->RecalcCounters(index, GetRDStyle());
}

int TCustomRDData::LastMarkerIndexOfLists(int i, const TRDIntegerList& lists)
{
    const TRDMarkerList* list = GetMarkerList(false);
    if (!list)
        return -1;
    for (int j = list->Count() - 1; j > i; --j)
        if (lists.IndexOf((*list)[j]->ListNo) >= 0)
            return j;
    return -1;
}

void TCustomRDData::DestroyOwnMarkerListForClear()
{
    if (GetAbsoluteRootData() == this && GetMarkerList(false))
        DestroyMarkerList();
}

bool TCustomRDData::MapReadMarkerListNo(TCustomRDItemInfo* item, const TRDIntegerList* listMap)
{
    auto* marker = AsMarkerEntry(item);
    if (!marker)
        return false;
    const uint8_t warned = GetRDFLoadWarnings() | rdfwConvertedUnknownStyles;
    if (listMap && marker->ListNo >= 0) {
        if (marker->ListNo >= listMap->Count()) {
            SetRDFLoadWarnings(warned);
            marker->ListNo = 0;
        } else {
            marker->ListNo = (*listMap)[marker->ListNo];
        }
    }
    const TRDStyle* sheet = GetRDStyle();
    const int count = sheet ? sheet->ListStyles().Count() : 0;
    if (marker->ListNo >= count) {
        SetRDFLoadWarnings(warned);
        marker->ListNo = count > 0 ? 0 : -1;
    }
    return true;
}

bool TCustomRDData::LoadMarkerStateFromRDF(const QByteArray& data, const TRDIntegerList* listMap)
{
    TRDMarkerList* list = GetPrevMarkerList();
    if (!list)
        return true;
    if (!list->LoadFromBinaryString(data, this))
        return false;
    if (listMap)
        for (int i = 0; i < list->Count(); ++i) {
            TRDMarkerListEntry* m = (*list)[i];
            if (m->ListNo >= 0 && m->ListNo < listMap->Count())
                m->ListNo = (*listMap)[m->ListNo];
        }
    return true;
}

void TCustomRDData::FillLayoutMarkerInfo(TRDLayoutInfo& layoutInfo, int firstItemNo)
{
    const int paraStart = FirstItemOfPara(firstItemNo);
    if (paraStart == firstItemNo)
        return;
    if (auto* marker = AsMarkerEntry(ItemAt(paraStart))) {
        layoutInfo.FirstMarkerListNo = marker->ListNo;
        layoutInfo.FirstMarkerLevel = marker->Level;
    }
}

void TCustomRDData::SaveMarkerStateBefore(TRDStream& stream, int firstItemNo, bool binary)
{
    if (GetRootData() != this || firstItemNo <= 0)
        return;
    TRDMarkerListEntry* marker = PrevMarkerItem(firstItemNo - 1);
    const TRDMarkerList* list = GetMarkerList(false);
    const int index = marker ? marker->GetIndexInList(list) : -1;
    if (index < 0)
        return;
    RDFWriteLine(stream,
                 QByteArray::number(RDFExtraDataRecord) + " 2 0 0 " + QByteArray::number(binary ? 2 : 0) + " 0 6");
    RDFWriteLine(stream, QByteArray());
    if (binary) {
        TRDMemoryStream memory;
        list->SaveBinary(memory, index + 1, false);
        RDFWriteBinaryBlock(stream, memory.ToBytes());
    } else {
        list->SaveToRDF(stream, index + 1);
    }
}
