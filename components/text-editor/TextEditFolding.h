#pragma once

// The fold data model: fold regions (what opens and closes a block, with
// skip regions in which nothing does) and the fold ranges found in a text,
// nested as a tree under one owner that also keeps every range in a flat
// list. A collapsed range keeps its hidden lines.

#include "TextEditLines.h"

#include <QtCore/QString>
#include <QtCore/QStringList>

#include <cstdint>
#include <memory>
#include <vector>

class TFoldRegions;
class TTextEditAllFoldRanges;

class TSkipRegionItem {
public:
    QString Open;
    QString Close;
    QString Escape;
    // 0: ends at Close unless the character before it is Escape; 1: ends at
    // Close and may span lines; 2: ends at the end of the line.
    std::uint8_t Kind = 0;
};

class TSkipRegions {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    TSkipRegionItem* Items(int index) const;
    TSkipRegionItem* Add();
    void Clear() { FItems.clear(); }

private:
    std::vector<std::unique_ptr<TSkipRegionItem>> FItems;
};

class TFoldRegionItem {
public:
    TFoldRegionItem();
    ~TFoldRegionItem();
    std::uint8_t Kind = 0;
    bool NoNestedFolds = false;
    // A collapsed header shows the Close text after its marker.
    bool ShowCloseText = false;
    QString Open;
    QString Close;
    bool WholeWords = false;
    QString Text1;
    QString Text2;
    TFoldRegions& SubFoldRegions() { return *FSubFoldRegions; }
    const TFoldRegions& SubFoldRegions() const { return *FSubFoldRegions; }

private:
    std::unique_ptr<TFoldRegions> FSubFoldRegions;
};

class TFoldRegions {
public:
    TFoldRegions();
    ~TFoldRegions();
    int Count() const { return static_cast<int>(FItems.size()); }
    TFoldRegionItem* Items(int index) const;
    TFoldRegionItem* Add();
    void Clear() { FItems.clear(); }
    TSkipRegions& SkipRegions() { return *FSkipRegions; }
    void Assign(const TFoldRegions& source);

private:
    std::vector<std::unique_ptr<TFoldRegionItem>> FItems;
    std::unique_ptr<TSkipRegions> FSkipRegions;
};

class TTextEditFoldRange;

// A list of ranges it does not own.
class TTextEditFoldRanges {
public:
    TTextEditFoldRanges() = default;
    virtual ~TTextEditFoldRanges() = default;
    TTextEditFoldRanges(const TTextEditFoldRanges&) = delete;
    TTextEditFoldRanges& operator=(const TTextEditFoldRanges&) = delete;

    int Count() const { return static_cast<int>(FRanges.size()); }
    TTextEditFoldRange* Ranges(int index) const;
    void AddRange(TTextEditFoldRange* range) { FRanges.push_back(range); }
    TTextEditFoldRange* NewRange(TTextEditAllFoldRanges& allRanges, int headLine, int indentWidth, int depth,
                                 TFoldRegionItem* region, int lastLine);
    void ForgetAll() { FRanges.clear(); }
    void Remove(int index);
    void Insert(int index, TTextEditFoldRange* range);

private:
    std::vector<TTextEditFoldRange*> FRanges;
};

class TTextEditFoldRange {
public:
    int HeadLine = 0;
    int LastLine = 0;
    int IndentWidth = 0;
    int HiddenCount = 0;
    int HiddenByLevel = -1;
    int Depth = 0;
    TTextEditFoldRanges Children;
    bool IsCollapsed = false;
    bool HiddenByParent = false;
    // While collapsed: the hidden lines' texts with their modification states.
    QStringList HiddenLines;
    std::vector<TTextLineState> HiddenLineStates;
    TTextEditAllFoldRanges* Owner = nullptr;
    TFoldRegionItem* Region = nullptr;
    // The client x of the collapsed marker, unscrolled; the painter keeps it.
    int CollapseMarkLeft = 0;
    // Marks a range that an undone removal gave back, so that the redo
    // finds it again.
    std::uint32_t UndoStamp = 0;

    bool SpansLines() const { return HeadLine != LastLine; }
    void Shift(int delta)
    {
        HeadLine += delta;
        LastLine += delta;
    }
    void ShiftEnd(int delta) { LastLine += delta; }
    // HiddenCount plus, for every collapsed child, the lines it hides below
    // it and its own hidden lines with its header.
    int TotalHidden() const;
    int NestedHidden() const;
    void MarkChildrenHidden(bool hidden, int byLevel);
    void Renumber(int depth);
};

// The top-level ranges (the inherited list) and every range of the tree (the
// flat list, which owns them).
class TTextEditAllFoldRanges : public TTextEditFoldRanges {
public:
    ~TTextEditAllFoldRanges() override;
    int TotalCount() const { return static_cast<int>(FAllRanges.size()); }
    TTextEditFoldRange* RangeAt(int index) const;
    void Register(TTextEditFoldRange* range) { FAllRanges.push_back(range); }
    // Takes the range out of the flat list without freeing it; the caller
    // owns it then.
    TTextEditFoldRange* Unregister(int index);
    void FreeAllRanges();
    // Appends a deep copy of source's tree.
    void Assign(const TTextEditAllFoldRanges& source);

private:
    void CopyInto(TTextEditFoldRanges& target, const TTextEditFoldRanges& source);
    std::vector<TTextEditFoldRange*> FAllRanges;
};
