#pragma once

// The marker list of a document tree: what it keeps of each list marker (the
// item that opens a numbered or bulleted paragraph), the counting of the
// markers and their texts, and the list's state block. The marker item
// (items/RDMarkerItems.h) is an entry of its own.

#include <cstdint>
#include <memory>
#include <vector>

#include <QtCore/QByteArray>

#include "core/RDLists.h"
#include "styles/RDListStyles.h"

class TCustomRDData;
class TRDMarkerList;
class TRDStyle;

// The number of level arguments a counter format is given (%0:s .. %255:s).
constexpr int RDMaxMarkerLevels = 256;

// A marker as the marker list sees it: its list and level, its counter and
// the text that shows it. A state read (TRDMarkerList::LoadBinary) makes
// entries that carry only this.
class TRDMarkerListEntry {
public:
    TRDMarkerListEntry() = default;
    TRDMarkerListEntry(int listNo, int level, int startFrom, bool reset)
        : ListNo(listNo), Level(level), Reset(reset), StartFrom(startFrom)
    {
    }
    TRDMarkerListEntry(const TRDMarkerListEntry&) = delete;
    TRDMarkerListEntry& operator=(const TRDMarkerListEntry&) = delete;
    virtual ~TRDMarkerListEntry() = default;

    // Cached index in the marker list; -1 when not known.
    int32_t ListIndex = -1;
    int32_t ListNo = 0;
    int32_t Level = 0;
    int32_t Counter = 1;
    bool Reset = false;
    int32_t StartFrom = 0;
    QByteArray DisplayString;

    // The level of a list style: nil for a negative list or level, a list
    // number past the sheet's list styles, or a style without levels; a level
    // past the last one is the last one.
    static const TRDListLevel* ListLevelOf(const TRDStyle* rdStyle, int listNo, int level);
    const TRDListLevel* GetLevelInfo(const TRDStyle* rdStyle) const { return ListLevelOf(rdStyle, ListNo, Level); }
    // Level index of the marker's own list, clamped to the last one.
    const TRDListLevel* LevelAt(const TRDStyle* rdStyle, int index) const
    {
        return ListLevelOf(rdStyle, ListNo, index);
    }
    int GetIndexInList(const TRDMarkerList* list);

    // The marker's text from its counter and those of the markers above it.
    void UpdateDisplayString(const TRDStyle* rdStyle, const TRDMarkerList* list, int index);
};

// The markers of a document in reading order. Entries are not owned, except
// the ones a state read creates (LoadBinary), which only carry the state.
class TRDMarkerList {
public:
    TRDMarkerList() = default;
    TRDMarkerList(const TRDMarkerList&) = delete;
    TRDMarkerList& operator=(const TRDMarkerList&) = delete;

    // The list whose numbering this one continues; nil when none.
    TRDMarkerList* PriorMarkerList = nullptr;

    int Count() const { return static_cast<int>(FItems.size()); }
    TRDMarkerListEntry* operator[](int index) const { return FItems[index]; }
    int IndexOf(const TRDMarkerListEntry* marker) const;
    void Delete(int index);
    void Clear();

    // Inserts at 0 when prevMarker is nil (or not in the list), else after it.
    void InsertAfter(TRDMarkerListEntry* marker, TRDMarkerListEntry* prevMarker);
    // Counts markers from index fromIndex on and renews their texts.
    void RecalcCounters(int fromIndex, const TRDStyle* rdStyle);
    // The nearest marker before index (of marker, or List[index] when nil) of
    // the same list on a shallower level, looking on in the prior list.
    bool FindParentMarker(int index, const TRDMarkerListEntry* marker, int& outIndex,
                          const TRDMarkerList*& outList) const;

    // The state of the first count markers.
    void SaveBinary(TRDStream& stream, int count, bool withSize) const;
    // False, the list unchanged, for a block that is short or claims more
    // markers than it holds. The entries made carry only the state: they
    // need nothing of rdData.
    bool LoadBinary(TRDStream& stream, TCustomRDData* rdData, bool withSize);
    void SaveToRDF(TRDStream& stream, int count) const;
    bool LoadFromHexString(const QByteArray& text, TCustomRDData* rdData);
    bool LoadFromBinaryString(const QByteArray& bytes, TCustomRDData* rdData);

private:
    std::vector<TRDMarkerListEntry*> FItems;
    std::vector<std::unique_ptr<TRDMarkerListEntry>> FOwned;
};

// False when a format asks for a field wider than a marker text may have
// (a width, or the digits of %d, past 255 characters).
bool RDFormatFieldsBounded(const QByteArray& format);
// Number text of n for a counting list kind; empty for other kinds.
QByteArray NumberText(int n, TRDListType listType);
