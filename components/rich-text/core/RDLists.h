#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include <QtCore/QByteArray>
#include <QtCore/QString>

#include "Graphics.h"
#include "core/RDError.h"

// A list that owns its objects.
template <typename T>
class TRDList {
public:
    TRDList() = default;
    TRDList(const TRDList&) = delete;
    TRDList& operator=(const TRDList&) = delete;
    virtual ~TRDList() { Clear(); }

    int Count() const { return static_cast<int>(FItems.size()); }
    T* Items(int index) const { return FItems.at(CheckIndex(index)).get(); }
    T* operator[](int index) const { return Items(index); }

    T* Add(std::unique_ptr<T> item)
    {
        FItems.push_back(std::move(item));
        return FItems.back().get();
    }
    T* Insert(int index, std::unique_ptr<T> item)
    {
        if (index < 0 || index > Count())
            throw ERichDocError("List index out of bounds (" + std::to_string(index) + ")");
        return FItems.insert(FItems.begin() + index, std::move(item))->get();
    }
    // Frees every object, in order, then empties the list.
    void Clear()
    {
        for (auto& item : FItems)
            item.reset();
        FItems.clear();
    }
    // Frees object index and removes the entry.
    void Delete(int index) { FItems.erase(FItems.begin() + CheckIndex(index)); }
    // Removes the entry and hands the object to the caller.
    std::unique_ptr<T> DetachAt(int index)
    {
        auto item = std::move(FItems.at(CheckIndex(index)));
        FItems.erase(FItems.begin() + index);
        return item;
    }
    int IndexOf(const T* item) const
    {
        for (int i = 0; i < Count(); ++i)
            if (FItems[i].get() == item)
                return i;
        return -1;
    }
    // Binary search of a list sorted by compare(item, key); -1 when not found.
    template <typename Key>
    int BinarySearch(const Key& key, const std::function<int(const T&, const Key&)>& compare) const
    {
        int low = 0;
        int high = Count() - 1;
        while (low <= high) {
            const int middle = (low + high) / 2;
            const int c = compare(*FItems[middle], key);
            if (c == 0)
                return middle;
            if (c < 0)
                low = middle + 1;
            else
                high = middle - 1;
        }
        return -1;
    }

protected:
    int CheckIndex(int index) const
    {
        if (index < 0 || index >= Count())
            throw ERichDocError("List index out of bounds (" + std::to_string(index) + ")");
        return index;
    }

    std::vector<std::unique_ptr<T>> FItems;
};

// A list of 32-bit integers.
class TRDIntegerList {
public:
    TRDIntegerList() = default;
    static TRDIntegerList CreateFilled(int count, int32_t value);
    static TRDIntegerList CreateCopy(const TRDIntegerList& other) { return other; }

    int Count() const { return static_cast<int>(FItems.size()); }
    int Add(int32_t value);
    void Insert(int index, int32_t value);
    void Delete(int index);
    int32_t GetItem(int index) const;
    void SetItem(int index, int32_t value);
    int32_t operator[](int index) const { return GetItem(index); }
    int IndexOf(int32_t value) const;
    // The index of value, appending it when absent.
    int AddUnique(int32_t value);
    void Assign(const TRDIntegerList& other) { FItems = other.FItems; }
    void Fill(int32_t value, int count);
    void Clear() { FItems.clear(); }
    void Sort();

protected:
    std::vector<int32_t> FItems;
};

// Colours without duplicates and without clNone.
class TRDColorList : public TRDIntegerList {
public:
    int AddUnique(TColor color);
};

// An abstract byte stream (the part of the class library's stream the suite uses).
class TRDStream {
public:
    virtual ~TRDStream() = default;
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // origin 0 from the beginning, 1 from the current position, 2 from the end
    virtual int64_t Seek(int64_t offset, int origin) = 0;
    virtual int64_t Size() const = 0;
    int64_t Position() { return Seek(0, 1); }
    void SetPosition(int64_t position) { Seek(position, 0); }
    // Reads exactly count bytes; raises EStreamError when they are not there.
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);
};

// A memory stream whose capacity grows in steps of 256 KiB.
class TRDMemoryStream : public TRDStream {
public:
    static constexpr int64_t CapacityStep = 262144;

    TRDMemoryStream() = default;
    TRDMemoryStream(const TRDMemoryStream&) = delete;
    TRDMemoryStream& operator=(const TRDMemoryStream&) = delete;
    ~TRDMemoryStream() override { Clear(); }

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, int origin) override;
    int64_t Size() const override { return FSize; }

    int64_t Capacity() const { return FCapacity; }
    void SetCapacity(int64_t capacity);
    void SetSize(int64_t size);
    void Clear();
    char* Memory() { return FMemory; }
    const char* Memory() const { return FMemory; }
    QByteArray ToBytes() const { return QByteArray(FMemory, FSize); }
    void LoadFromBytes(const QByteArray& bytes);

private:
    void Realloc(int64_t& newCapacity);

    char* FMemory = nullptr;
    int64_t FCapacity = 0;
    int64_t FSize = 0;
    int64_t FPosition = 0;
};

// The font table collected for RTF export.
struct TRDRTFFontTableItem {
    QString FontName;
    uint8_t Charset = 0;
};

class TRDRTFFontTable : public TRDList<TRDRTFFontTableItem> {
public:
    int Find(const QString& fontName, uint8_t charset) const;
    int AddUnique(const QString& fontName, uint8_t charset);
    TRDRTFFontTableItem* GetItem(int index) const { return Items(index); }
};

// Likeness scores of the closest-style search.
int ValueLikeness(double a, double b, int weight);
int ColorLikeness(TColor color1, TColor color2, int weight, int bonus);

// Replaces the first occurrence of sub again and again, searching from the
// start each time. When repl holds sub, this would never end: every
// occurrence is then replaced once, left to right.
void RDReplaceAll(QByteArray& s, const QByteArray& sub, const QByteArray& repl);

// The clipboard formats of the suite, by their registered names, and the MIME
// types they travel as.
extern const char* const ClipboardFormatRDF;   // "RichDoc Format"
extern const char* const ClipboardFormatRTF;   // "Rich Text Format"
extern const char* const ClipboardFormatHTML;  // "HTML Format"
extern const char* const ClipboardFormatURL;   // "UniformResourceLocator"
// The MIME type of a clipboard format name; empty for an unknown name.
QString ClipboardFormatMimeType(const QString& formatName);
