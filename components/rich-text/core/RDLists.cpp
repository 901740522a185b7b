#include "core/RDLists.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/RDStrUtils.h"

// ---- TRDIntegerList --------------------------------------------------------

TRDIntegerList TRDIntegerList::CreateFilled(int count, int32_t value)
{
    TRDIntegerList list;
    list.Fill(value, count);
    return list;
}

int TRDIntegerList::Add(int32_t value)
{
    FItems.push_back(value);
    return Count() - 1;
}

void TRDIntegerList::Insert(int index, int32_t value)
{
    if (index < 0 || index > Count())
        throw ERichDocError("List index out of bounds (" + std::to_string(index) + ")");
    FItems.insert(FItems.begin() + index, value);
}

void TRDIntegerList::Delete(int index)
{
    GetItem(index);
    FItems.erase(FItems.begin() + index);
}

int32_t TRDIntegerList::GetItem(int index) const
{
    if (index < 0 || index >= Count())
        throw ERichDocError("List index out of bounds (" + std::to_string(index) + ")");
    return FItems[index];
}

void TRDIntegerList::SetItem(int index, int32_t value)
{
    GetItem(index);
    FItems[index] = value;
}

int TRDIntegerList::IndexOf(int32_t value) const
{
    const auto it = std::find(FItems.begin(), FItems.end(), value);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

int TRDIntegerList::AddUnique(int32_t value)
{
    const int index = IndexOf(value);
    return index >= 0 ? index : Add(value);
}

void TRDIntegerList::Fill(int32_t value, int count)
{
    FItems.assign(std::max(count, 0), value);
}

void TRDIntegerList::Sort()
{
    std::sort(FItems.begin(), FItems.end());
}

int TRDColorList::AddUnique(TColor color)
{
    if (color == clNone)
        return -1;
    return TRDIntegerList::AddUnique(static_cast<int32_t>(color));
}

// ---- streams ---------------------------------------------------------------

void TRDStream::ReadBuffer(void* buffer, int64_t count)
{
    if (count != 0 && Read(buffer, count) != count)
        throw EStreamError("Stream read error");
}

void TRDStream::WriteBuffer(const void* buffer, int64_t count)
{
    if (count != 0 && Write(buffer, count) != count)
        throw EStreamError("Stream write error");
}

void TRDMemoryStream::Realloc(int64_t& newCapacity)
{
    if (newCapacity > 0 && newCapacity != FSize)
        newCapacity = (newCapacity + (CapacityStep - 1)) / CapacityStep * CapacityStep;
    if (newCapacity == FCapacity)
        return;
    if (newCapacity <= 0) {
        std::free(FMemory);
        FMemory = nullptr;
        FCapacity = 0;
        newCapacity = 0;
        return;
    }
    char* memory = static_cast<char*>(std::realloc(FMemory, static_cast<size_t>(newCapacity)));
    if (!memory)
        throw EStreamError("Out of memory while expanding memory stream");
    FMemory = memory;
    FCapacity = newCapacity;
}

void TRDMemoryStream::SetCapacity(int64_t capacity)
{
    Realloc(capacity);
    FSize = std::min(FSize, FCapacity);
}

void TRDMemoryStream::SetSize(int64_t size)
{
    if (size < 0)
        size = 0;
    const int64_t oldPosition = FPosition;
    SetCapacity(size);
    FSize = size;
    if (oldPosition > size)
        FPosition = size;
}

void TRDMemoryStream::Clear()
{
    int64_t zero = 0;
    Realloc(zero);
    FSize = 0;
    FPosition = 0;
}

int64_t TRDMemoryStream::Write(const void* buffer, int64_t count)
{
    if (FPosition < 0 || count < 0)
        return 0;
    const int64_t end = FPosition + count;
    if (end <= 0)
        return 0;
    if (end > FSize) {
        if (end > FCapacity)
            SetCapacity(end);
        FSize = end;
    }
    std::memcpy(FMemory + FPosition, buffer, static_cast<size_t>(count));
    FPosition = end;
    return count;
}

int64_t TRDMemoryStream::Read(void* buffer, int64_t count)
{
    if (FPosition < 0 || count < 0)
        return 0;
    const int64_t available = std::min(FSize - FPosition, count);
    if (available <= 0)
        return 0;
    std::memcpy(buffer, FMemory + FPosition, static_cast<size_t>(available));
    FPosition += available;
    return available;
}

int64_t TRDMemoryStream::Seek(int64_t offset, int origin)
{
    switch (origin) {
    case 0: FPosition = offset; break;
    case 1: FPosition += offset; break;
    case 2: FPosition = FSize + offset; break;
    default: break;
    }
    return FPosition;
}

void TRDMemoryStream::LoadFromBytes(const QByteArray& bytes)
{
    SetSize(bytes.size());
    if (!bytes.isEmpty())
        std::memcpy(FMemory, bytes.constData(), static_cast<size_t>(bytes.size()));
    FPosition = 0;
}

// ---- RTF font table --------------------------------------------------------

int TRDRTFFontTable::Find(const QString& fontName, uint8_t charset) const
{
    for (int i = 0; i < Count(); ++i) {
        const TRDRTFFontTableItem& item = *FItems[i];
        if (item.Charset == charset && QString::localeAwareCompare(item.FontName.toLower(), fontName.toLower()) == 0)
            return i;
    }
    return -1;
}

int TRDRTFFontTable::AddUnique(const QString& fontName, uint8_t charset)
{
    const int index = Find(fontName, charset);
    if (index >= 0)
        return index;
    auto item = std::make_unique<TRDRTFFontTableItem>();
    item->FontName = fontName;
    item->Charset = charset;
    Add(std::move(item));
    return Count() - 1;
}

// ---- likeness --------------------------------------------------------------

int ValueLikeness(double a, double b, int weight)
{
    const double score = a == 0 ? (1 - std::fabs(b)) * weight : (1 - std::fabs(a - b) / std::fabs(a)) * weight;
    return static_cast<int>(std::nearbyint(score));  // the default rounding mode: halves to even
}

int ColorLikeness(TColor color1, TColor color2, int weight, int bonus)
{
    if ((color1 == clNone) != (color2 == clNone))
        return 0;
    if (color1 == clNone)
        return bonus + 3 * weight;
    const TColor rgb1 = ColorToRGB(color1);
    const TColor rgb2 = ColorToRGB(color2);
    int score = 0;
    bool light1 = false;
    bool light2 = false;
    for (int shift = 0; shift < 24; shift += 8) {
        const int c1 = static_cast<int>((rgb1 >> shift) & 0xFF);
        const int c2 = static_cast<int>((rgb2 >> shift) & 0xFF);
        light1 = light1 || c1 > 64;
        light2 = light2 || c2 > 64;
        score -= std::abs(c1 - c2) * weight / 255;
    }
    if (light1 == light2)
        score += bonus;
    return score;
}

void RDReplaceAll(QByteArray& s, const QByteArray& sub, const QByteArray& repl)
{
    ReplaceAllFromStart(s, sub, repl);
}

// ---- clipboard formats -----------------------------------------------------

const char* const ClipboardFormatRDF = "RichDoc Format";
const char* const ClipboardFormatRTF = "Rich Text Format";
const char* const ClipboardFormatHTML = "HTML Format";
const char* const ClipboardFormatURL = "UniformResourceLocator";

QString ClipboardFormatMimeType(const QString& formatName)
{
    static const struct {
        const char* name;
        const char* mime;
    } map[] = {
        {ClipboardFormatRDF, "application/x-richdoc-rdf"},
        {ClipboardFormatRTF, "text/rtf"},
        {ClipboardFormatHTML, "text/html"},
        {ClipboardFormatURL, "text/uri-list"},
    };
    for (const auto& entry : map)
        if (formatName == QLatin1String(entry.name))
            return QString::fromLatin1(entry.mime);
    return {};
}
