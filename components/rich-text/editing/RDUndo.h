#pragma once

// Undo and redo of the editor: the two lists of groups, the group, and the
// record family. A record describes the state before one elementary change;
// undoing it calls the recorded edit operation that makes such changes, which
// records the opposite record into the other list (undo makes redo, redo makes
// undo). Records own what they keep: items, texts, checkpoints, nested lists.

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include <QtCore/QByteArray>
#include <QtCore/QString>

#include "core/RDStrUtils.h"
#include "document/RDDocTypes.h"

class QObject;
class TCustomRDData;
class TCustomRDItemInfo;
class TRDCPInfo;
class TRDEditRDData;
class TRDUndoList;

// Group kinds: what the editor's UndoAction and RedoAction answer.
enum : uint8_t {
    rdutNone = 0,          // the list is empty
    rdutDelete = 1,        // deleting the selection, Delete and Backspace
    rdutInsert = 2,        // text, items, pictures, RDF, RTF, pasting, dropping
    rdutPara = 3,          // paragraph style
    rdutNewLine = 4,       // Enter, and inserted text of more than one line
    rdutPageBreak = 6,
    rdutTyping = 7,
    rdutStyleNo = 9,       // text style
    rdutModifyItem = 13,   // item text, extra and published item properties, table operations
};

// One elementary change, undoable: the base of every record. (TRDUndoInfo
// below it is what an item moving into a record sees of it.)
class TRDUndoRecord : public TRDUndoInfo {
public:
    TRDUndoRecord() = default;
    TRDUndoRecord(const TRDUndoRecord&) = delete;
    TRDUndoRecord& operator=(const TRDUndoRecord&) = delete;

    uint8_t Kind = 0;
    TRDUndoList* OwnerList = nullptr;

    // The document data of the list that holds the record.
    TCustomRDData* GetRDData() const override;

    virtual bool NeedsFullFormatBefore(TRDEditRDData&) { return false; }
    virtual bool NeedsFullFormatAfter(TRDEditRDData&) { return false; }
    virtual bool NeedsReformat() { return true; }
    virtual bool NeedsRootReformat() { return false; }
    virtual bool NeedsFormatFirst() { return false; }
    // Reverses the change on data, recording the opposite record.
    virtual void Undo(TRDEditRDData&) {}
    // First and last item index the record touches (left as they are when it has no range).
    virtual void GetAffectedRange(int& first, int& last, TRDEditRDData& data);
    virtual int GetItemCountDelta() { return 0; }
};

class TRDUndoItemNoInfo : public TRDUndoRecord {
public:
    int ItemIndex = 0;
    int LastItemIndex = -1;
    void GetAffectedRange(int& first, int& last, TRDEditRDData& data) override;
};

class TRDUndoReformateRange : public TRDUndoItemNoInfo {
public:
    TRDUndoReformateRange() { Kind = 0; }
    bool FullFormat = false;
    bool NeedsRootReformat() override { return FullFormat; }
    void Undo(TRDEditRDData& data) override;
};

class TRDUndoResizeInfo : public TRDUndoItemNoInfo {
public:
    TRDUndoResizeInfo() { Kind = 15; }
    int SavedWidth = 0, OldWidth = 0, OldHeight = 0;
    void Undo(TRDEditRDData& data) override;
    bool NeedsFullFormatAfter(TRDEditRDData& data) override;
};

class TRDUndoStringInfo : public TRDUndoItemNoInfo {
public:
    QByteArray Text;
};

class TRDUndoChangeTextInfo : public TRDUndoStringInfo {
public:
    TRDUndoChangeTextInfo() { Kind = 16; }
    int SavedWidth = 0;
    void Undo(TRDEditRDData& data) override;
    bool NeedsFullFormatAfter(TRDEditRDData& data) override;
};

class TRDUndoSubStringInfo : public TRDUndoStringInfo {
public:
    int Position = 0;  // 1-based character offset
};

class TRDUndoDeleteSubstringInfo : public TRDUndoSubStringInfo {
public:
    TRDUndoDeleteSubstringInfo() { Kind = 3; }
    int SavedWidth = 0;
    void Undo(TRDEditRDData& data) override;
    bool NeedsFullFormatAfter(TRDEditRDData& data) override;
};

class TRDRedoTypingInfo : public TRDUndoSubStringInfo {
public:
    TRDRedoTypingInfo() { Kind = 11; }
    int SavedWidth = 0;
    bool IsUnicode = false;
    // UTF-16 units the last Undo put back (2 for a surrogate pair).
    int LastStep = 1;
    void Undo(TRDEditRDData& data) override;
    bool NeedsFullFormatAfter(TRDEditRDData& data) override;
};

// A record that keeps a whole item; the item is freed with FreeUndoItem when
// the record goes while it still holds it.
class TRDUndoItemInfo : public TRDUndoStringInfo {
public:
    ~TRDUndoItemInfo() override;
    std::unique_ptr<TCustomRDItemInfo> SavedItem;
};

class TRDUndoDeleteItemInfo : public TRDUndoItemInfo {
public:
    TRDUndoDeleteItemInfo() { Kind = 1; }
    bool FullFormatNeeded = false;
    void Undo(TRDEditRDData& data) override;
    int GetItemCountDelta() override { return 1; }
    bool NeedsFullFormatAfter(TRDEditRDData& data) override;
};

// Item texts with their item objects (owned).
class TRDUndoStringItemListInfo : public TRDUndoRecord {
public:
    ~TRDUndoStringItemListInfo() override;
    std::vector<std::pair<QByteArray, std::unique_ptr<TCustomRDItemInfo>>> Items;
};

class TRDUndoItemRangeInfo : public TRDUndoStringItemListInfo {
public:
    int FirstItem = 0;
    int LastItem = -1;
    void GetAffectedRange(int& first, int& last, TRDEditRDData& data) override;
};

class TRDUndoDeleteItemsInfo : public TRDUndoItemRangeInfo {
public:
    TRDUndoDeleteItemsInfo() { Kind = 2; }
    int EndItem = 0;
    bool FullFormatNeeded = false;
    void Undo(TRDEditRDData& data) override;
    int GetItemCountDelta() override;
    bool NeedsFullFormatAfter(TRDEditRDData& data) override;
};

class TRDUndoInsertItemInfo : public TRDUndoItemNoInfo {
public:
    TRDUndoInsertItemInfo() { Kind = 4; }
    bool FullFormatNeeded = false;
    void Undo(TRDEditRDData& data) override;
    int GetItemCountDelta() override { return -1; }
    bool NeedsFullFormatBefore(TRDEditRDData& data) override;
    bool NeedsFullFormatAfter(TRDEditRDData&) override { return FullFormatNeeded; }
};

class TRDUndoInsertItemsInfo : public TRDUndoItemNoInfo {
public:
    TRDUndoInsertItemsInfo() { Kind = 5; }
    bool FullFormatNeeded = false;
    int Count = 0;
    void Undo(TRDEditRDData& data) override;
    int GetItemCountDelta() override { return -Count; }
    bool NeedsFullFormatBefore(TRDEditRDData& data) override;
    bool NeedsFullFormatAfter(TRDEditRDData&) override { return FullFormatNeeded; }
};

class TRDUndoInsertSubstringInfo : public TRDUndoItemNoInfo {
public:
    TRDUndoInsertSubstringInfo() { Kind = 6; }
    int SavedWidth = 0, Position = 0, Length = 0;
    void Undo(TRDEditRDData& data) override;
    bool NeedsFullFormatAfter(TRDEditRDData& data) override;
};

class TRDUndoTypingInfo : public TRDUndoInsertSubstringInfo {
public:
    TRDUndoTypingInfo() { Kind = 11; }
    int TypingWidth = 0;
    bool IsUnicode = false;
    // UTF-16 units the last Undo took back (2 for a surrogate pair).
    int LastStep = 1;
    void Undo(TRDEditRDData& data) override;
    bool NeedsFullFormatAfter(TRDEditRDData& data) override;
};

class TRDUndoNewLineInfo : public TRDUndoItemNoInfo {
public:
    TRDUndoNewLineInfo() { Kind = 7; }
    bool FullFormatNeeded = false;
    bool ContinuedPara = false;
    int OldParaIndex = 0;
    void Undo(TRDEditRDData& data) override;
    void GetAffectedRange(int& first, int& last, TRDEditRDData& data) override;
    bool NeedsFullFormatAfter(TRDEditRDData&) override { return FullFormatNeeded; }
};

class TRDUndoBRInfo : public TRDUndoItemNoInfo {
public:
    TRDUndoBRInfo() { Kind = 8; }
    bool HadLineBreak = false;
    void Undo(TRDEditRDData& data) override;
};

class TRDUndoPageBreakInfo : public TRDUndoItemNoInfo {
public:
    TRDUndoPageBreakInfo() { Kind = 10; }
    bool HadPageBreak = false;
    void Undo(TRDEditRDData& data) override;
};

class TRDUndoExtraIntProperty : public TRDUndoItemNoInfo {
public:
    TRDUndoExtraIntProperty() { Kind = 15; }
    int SavedWidth = 0;
    int OldValue = 0;
    uint8_t PropId = 0;
    void Undo(TRDEditRDData& data) override;
    bool NeedsFullFormatAfter(TRDEditRDData& data) override;
};

class TRDUndoExtraStrProperty : public TRDUndoItemNoInfo {
public:
    TRDUndoExtraStrProperty() { Kind = 15; }
    QString OldValue;
    uint8_t PropId = 0;
    void Undo(TRDEditRDData& data) override;
    bool NeedsReformat() override { return false; }
};

class TRDUndoListInfo : public TRDUndoRecord {
public:
    std::vector<int> Values;
};

class TRDUndoParaListInfo : public TRDUndoListInfo {
public:
    TRDUndoParaListInfo() { Kind = 9; }
    bool FullFormatNeeded = false;
    int FirstItem = 0;
    void Undo(TRDEditRDData& data) override;
    void GetAffectedRange(int& first, int& last, TRDEditRDData& data) override;
    bool NeedsFullFormatAfter(TRDEditRDData&) override { return FullFormatNeeded; }
};

class TRDUndoParaInfo : public TRDUndoItemNoInfo {
public:
    TRDUndoParaInfo() { Kind = 9; }
    bool FullFormatNeeded = false;
    int OldParaIndex = 0, Count = 0;
    void Undo(TRDEditRDData& data) override;
    void GetAffectedRange(int& first, int& last, TRDEditRDData& data) override;
    bool NeedsFullFormatAfter(TRDEditRDData&) override { return FullFormatNeeded; }
};

class TRDUndoStyleNoInfo : public TRDUndoItemNoInfo {
public:
    TRDUndoStyleNoInfo() { Kind = 13; }
    int SavedWidth = 0, OldStyleIndex = 0;
    void Undo(TRDEditRDData& data) override;
    bool NeedsFullFormatAfter(TRDEditRDData& data) override;
};

class TRDUndoAssociatedTextStyleNoInfo : public TRDUndoStyleNoInfo {
public:
    TRDUndoAssociatedTextStyleNoInfo() { Kind = 13; }
    void Undo(TRDEditRDData& data) override;
};

class TRDUndoTagInfo : public TRDUndoItemNoInfo {
public:
    TRDUndoTagInfo() { Kind = 12; }
    TRDTag OldTag;          // owns its string when TagIsString
    bool TagIsString = false;
    void Undo(TRDEditRDData& data) override;
    bool NeedsReformat() override { return false; }
};

class TRDUndoAddCPInfo : public TRDUndoItemNoInfo {
public:
    TRDUndoAddCPInfo() { Kind = 14; }
    void Undo(TRDEditRDData& data) override;
};

class TRDUndoDeleteCPInfo : public TRDUndoItemNoInfo {
public:
    TRDUndoDeleteCPInfo() { Kind = 14; }
    ~TRDUndoDeleteCPInfo() override;
    std::unique_ptr<TRDCPInfo> Checkpoint;
    bool TagIsString = false;
    void Undo(TRDEditRDData& data) override;
};

// A change of one item's published properties (tables and cells derive from it).
class TRDUndoModifyItemProps : public TRDUndoItemNoInfo {
public:
    TRDUndoModifyItemProps() { Kind = 15; }
    int WidthBefore = 0;
    bool ChangesWidth = false, ChangesSize = false;
    QObject* Target = nullptr;  // the object whose property changed; nil: the item
    bool NeedsReformat() override { return ChangesSize; }
    bool NeedsFullFormatBefore(TRDEditRDData& data) override;
    bool NeedsFullFormatAfter(TRDEditRDData& data) override;
    // A new record of this record's own class (the opposite record is made with it).
    virtual std::unique_ptr<TRDUndoModifyItemProps> CreateSameClass() const;
    virtual void SetUpOpposite(TRDUndoModifyItemProps*) {}
};

class TRDUndoModifyItemTerminator : public TRDUndoModifyItemProps {
public:
    TRDUndoModifyItemTerminator() { ChangesWidth = ChangesSize = true; }
    bool IsOpening = false;
    void Undo(TRDEditRDData& data) override;
    std::unique_ptr<TRDUndoModifyItemProps> CreateSameClass() const override;
};

class TRDUndoModifyItemIntProperty : public TRDUndoModifyItemProps {
public:
    QString PropName;
    int OldValue = 0;
    void Undo(TRDEditRDData& data) override;
    std::unique_ptr<TRDUndoModifyItemProps> CreateSameClass() const override;
};

class TRDUndoModifyItemIntProperties : public TRDUndoModifyItemProps {
public:
    std::vector<std::pair<QString, int>> Props;  // property name, old value
    void Undo(TRDEditRDData& data) override;
    std::unique_ptr<TRDUndoModifyItemProps> CreateSameClass() const override;
};

// A change of one published string property of an item.
class TRDUndoModifyItemStrProperty : public TRDUndoModifyItemProps {
public:
    QString PropName;
    QString OldValue;
    void Undo(TRDEditRDData& data) override;
    std::unique_ptr<TRDUndoModifyItemProps> CreateSameClass() const override;
};

// A record that holds a whole undo list of its own (the groups of an editor
// opened inside an item); each Undo performs one of its groups.
class TRDCompositeUndo : public TRDUndoRecord {
public:
    TRDCompositeUndo();
    ~TRDCompositeUndo() override;
    int ItemIndex = 0;
    bool ForRedo = false;
    std::unique_ptr<TRDUndoList> Nested;
    bool NeedsReformat() override { return false; }
    void Undo(TRDEditRDData& data) override;
    void GetAffectedRange(int& first, int& last, TRDEditRDData& data) override;
};

// One group of records, oldest first.
class TRDUndoInfos {
public:
    QString Title;
    uint8_t Kind = 0;
    int CaretItem = 0;
    int CaretPos = 0;
    std::vector<std::unique_ptr<TRDUndoRecord>> Records;

    void Perform(TRDEditRDData& data, bool reformat);
    void PerformAsUndo(TRDEditRDData& data, bool reformat);
    void PerformAsRedo(TRDEditRDData& data, bool reformat);
    bool IsExhausted() const;
    void SetOwnerList(TRDUndoList* list);
};

// The undo list of an editor: its groups, oldest first.
class TRDUndoList {
public:
    explicit TRDUndoList(TCustomRDData* documentData);
    virtual ~TRDUndoList();
    TRDUndoList(const TRDUndoList&) = delete;
    TRDUndoList& operator=(const TRDUndoList&) = delete;

    TCustomRDData* const DocumentData;
    int MaxGroupCount = -1;  // -1 unlimited, 0 records nothing
    int GroupModeDepth = 0;
    std::vector<std::unique_ptr<TRDUndoInfos>> Groups;

    int Count() const { return static_cast<int>(Groups.size()); }
    bool BeginGroup(uint8_t kind, const QString& title, int caretItem, int caretPos);
    // Appends a record to the last group; answers it.
    TRDUndoRecord* AddInfo(std::unique_ptr<TRDUndoRecord> record);
    void AddInfos(std::unique_ptr<TRDUndoInfos> group);
    void AddTyping(int item, int position, QObject* control, bool isUnicode);
    void AddRedoTyping(const QByteArray& text, int item, int position, QObject* control);
    void PopIfEmpty();
    void ChangeGroupMode(bool open);
    uint8_t GetCurrentKind() const;
    void Undo(TRDEditRDData& data);
    void Redo(TRDEditRDData& data);
    void Clear() { Groups.clear(); }
};

class TRDRedoList : public TRDUndoList {
public:
    using TRDUndoList::TRDUndoList;
};

// Frees an item a record still owns: its destroy notices, its tag and checkpoint.
void FreeUndoItem(std::unique_ptr<TCustomRDItemInfo> item, TCustomRDData* data);
// The item's section width changed from savedWidth across the document width.
bool WidthChangeNeedsFullFormat(int item, int savedWidth, TRDEditRDData& data);
