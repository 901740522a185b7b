#pragma once

// The editor's undo and redo lists: a bounded stack of entries, each the
// record of one text change, caret move or selection change. The list
// stores, numbers, groups and bounds entries; the editor carries them out.

#include "TextEditUtils.h"

#include <QtCore/QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>

enum TTextUndoReason : std::uint8_t {
    urInsert,
    urPaste,
    urDropInsert,
    urDeleteForward,
    urDelete,
    urLineBreak,
    urIndent,
    urUnindent,
    urQuietDelete,
    urQuietDeleteForward,
    urBlock1Begin,
    urBlock1End,
    urBlock2Begin,
    urBlock2End,
    urBlock3Begin,
    urBlock3End,
    urBlock4Begin,
    urBlock4End,
    urCaret,
    urSelection,
    urNone,
    urGroupBreak,
    urClearAll,
    urFold
};

enum TTextSelectionMode : std::uint8_t { smNormal, smLine, smColumn };

class TTextEditUndoItem {
public:
    TTextUndoReason Reason = urNone;
    TTextSelectionMode SelectionMode = smNormal;
    TBufferCoord StartPos;
    TBufferCoord EndPos;
    QString Text;
    std::int32_t GroupNumber = 0;
    void* Data = nullptr;
    std::int32_t Index = 0;
    // What the entry owns besides its text (a removed fold range); freed
    // with the entry.
    std::shared_ptr<void> Payload;

    // Copies everything but Data and Index.
    void Assign(const TTextEditUndoItem& source);
};

class TTextEditUndoList {
public:
    TTextEditUndoList() = default;
    TTextEditUndoList(const TTextEditUndoList&) = delete;
    TTextEditUndoList& operator=(const TTextEditUndoList&) = delete;

    void RecordChange(TTextUndoReason reason, const TBufferCoord& startPos, const TBufferCoord& endPos,
                      const QString& text, TTextSelectionMode selectionMode, void* data = nullptr, int index = 0);
    void OpenBlock();
    void CloseBlock();
    void AppendGroupBreak();
    void ClearList();
    void SuspendRecording() { ++FLockCount; }
    void ResumeRecording()
    {
        if (FLockCount > 0)
            --FLockCount;
    }
    bool HasEntries() const { return !FItems.empty(); }
    int EntryCount() const { return static_cast<int>(FItems.size()); }
    TTextEditUndoItem* Entries(int index) const;
    TTextEditUndoItem* TopEntry() const;
    // Removes the newest entry and hands it to the caller.
    std::unique_ptr<TTextEditUndoItem> TakeTopEntry();
    void PushEntry(std::unique_ptr<TTextEditUndoItem> item);
    TTextUndoReason TopReason() const;
    int EntryLimit() const { return FEntryLimit; }
    void SetEntryLimit(int value);
    void MarkInitialState(bool clean);
    bool IsInitialState() const;
    void Assign(const TTextEditUndoList& source);

    int BlockCount() const { return FBlockCount; }
    int LockCount() const { return FLockCount; }

    std::function<void(TTextEditUndoList* sender)> OnEntryAdded;

private:
    void EnforceLimit();
    int NextChangeNumber();
    // The number of a new entry: the open block's, else the next one.
    std::int32_t TakeGroupNumber();

    std::int32_t FBlockChangeNumber = 0;
    int FBlockCount = 0;
    std::deque<std::unique_ptr<TTextEditUndoItem>> FItems;
    int FLockCount = 0;
    int FEntryLimit = 1024;
    std::int32_t FNextChangeNumber = 1;
    std::int32_t FInitialChangeNumber = 0;
};
