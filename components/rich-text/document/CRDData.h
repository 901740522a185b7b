#pragma once

// The in-memory rich-text document: items paired with their texts,
// paragraphs from the items' option bits, checkpoints, RDF and text output.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include "document/RDDocTypes.h"
#include "document/RDItem.h"
#include "core/RDStrUtils.h"

class TRDHost;
class TRDLayoutInfo;
class TRDMarkerListEntry;
class TRDSeqListEntry;

// One entry of the item list: the item's text and its object (owned).
struct TRDItemEntry {
    QByteArray Text;
    std::unique_ptr<TCustomRDItemInfo> Item;
};

// Sets state bits of a document for as long as it lives.
class TRDStateBits {
public:
    TRDStateBits(uint32_t& state, uint32_t bits) : FState(state), FBits(bits) { FState |= FBits; }
    ~TRDStateBits() { FState &= ~FBits; }
    TRDStateBits(const TRDStateBits&) = delete;
    TRDStateBits& operator=(const TRDStateBits&) = delete;

private:
    uint32_t& FState;
    uint32_t FBits;
};

// Replaces what BeepIfEnabled does with hook (nil: the system beep); answers
// the hook it replaced. Tests count beeps with it.
std::function<void()> SetRDBeepHook(std::function<void()> hook);

class TCustomRDData {
public:
    TCustomRDData();
    TCustomRDData(const TCustomRDData&) = delete;
    TCustomRDData& operator=(const TCustomRDData&) = delete;
    virtual ~TCustomRDData();
    // Creation tail: makes the item list unless shared. Subclasses that share
    // items call it from their constructor after they can answer SharesItems.
    void CreateItemList();

    int32_t FirstJumpNo = 0;
    bool AllowNewPara = true;
    TRDCPInfo* FirstCP = nullptr;
    TRDCPInfo* LastCP = nullptr;
    // The checkpoint the next item added takes.
    std::unique_ptr<TRDCPInfo> PendingCP;
    uint32_t State = 0;
    int32_t FirstParaMarkerListNo = -1;
    int32_t FirstParaMarkerLevel = -1;
    int32_t CPCount = 0;

    // Item access.
    int ItemCount() const { return FItems ? static_cast<int>(FItems->size()) : 0; }
    TCustomRDItemInfo* ItemAt(int i) const { return (*FItems)[i].Item.get(); }
    const QByteArray& TextOfItem(int i) const { return (*FItems)[i].Text; }
    // Stores a text without notifications.
    void SetTextOfItem(int i, const QByteArray& text) { (*FItems)[i].Text = text; }
    QByteArray ItemTextAsAnsi(int i) const;
    uint8_t ItemOptionsOf(int i) const { return ItemAt(i)->ItemOptions; }
    const TRDTag& TagOfItem(int i) const { return ItemAt(i)->Tag; }
    int ParaOfItem(int i) const { return ItemAt(i)->ParaNo; }
    int EffectiveStyleOfItem(int i) const { return EffectiveStyleNo(*ItemAt(i)); }
    int EffectiveStyleNo(const TCustomRDItemInfo& item) const { return ResolveStyleNo(item.StyleNo, item.ParaNo); }
    int ResolveStyleNo(int styleNo, int paraNo) const;
    int ItemLengthOf(int i) const;
    int StartOffsetOf(int i) const { return ItemAt(i)->StyleNo >= 0 ? 1 : 0; }
    int EndOffsetOf(int i) const { return ItemAt(i)->StyleNo >= 0 ? ItemLengthOf(i) + 1 : 1; }
    bool StartsNewLine(int i) const { return !(ItemAt(i)->ItemOptions & rdioContinuesPara); }
    bool StartsParagraph(int i) const { return ItemAt(i)->StartsParagraph(); }
    int FirstItemOfPara(int i) const;
    int FirstItemOfLine(int i) const;
    void ClampItemNo(int& i) const;
    int IndexOfItem(const TCustomRDItemInfo* item) const;
    int IndexOfControl(const void* control) const;
    // Raises when item i is not of class T.
    template <typename T>
    T* CheckItemClass(int i) const
    {
        auto* item = dynamic_cast<T*>(ItemAt(i));
        if (!item)
            throw ERichDocError("Can't get or set this kind of information for this item");
        return item;
    }
    bool GetItemExtraIntProperty(int i, int id, int& value) const;
    bool GetItemExtraStrProperty(int i, int id, QString& value) const;
    bool BreaksPageBeforeItem(int i) const;
    void SetBreaksPageBefore(int i, bool flag);
    uint32_t CodePageOfStyle(int n) const;
    uint32_t GetDefCodePage() const;
    uint32_t LocaleOfStyle(int n) const;
    bool TextStyleGoesToHtml(int n) const;
    bool IsDelimiterA(char ch) const;
    bool IsDelimiterW(char16_t code) const;
    // pos is 1-based; a trail byte of a double-byte character is never a delimiter.
    bool IsDelimiterAt(const QByteArray& s, int pos, uint8_t options, int itemNo = -1) const;
    // 1-based positions after, or of, the character before pos in the text of
    // item i; never inside a double-byte character or a surrogate pair.
    int NextCharPos(const QByteArray& s, int i, int pos) const;
    int PrevCharPos(const QByteArray& s, int i, int pos) const;
    TRDBiDiMode BiDiModeOfPara(int n) const;
    TRDBiDiMode BiDiModeOfItem(int i) const;
    // The system beep, when the style sheet allows sounds (through the beep hook when one is set).
    void BeepIfEnabled() const;
    static void ReplaceNulChars(QByteArray& s);
    void UpdateItemsPalette();

    // Adding items. The document takes the item (also when given as a plain
    // pointer).
    void AddItem(const QByteArray& text, std::unique_ptr<TCustomRDItemInfo> item);
    void AddItem(const QByteArray& text, TCustomRDItemInfo* item)
    {
        AddItem(text, std::unique_ptr<TCustomRDItemInfo>(item));
    }
    void AddItemAsIs(const QByteArray& text, std::unique_ptr<TCustomRDItemInfo> item);
    void AddItemAsIs(const QByteArray& text, TCustomRDItemInfo* item)
    {
        AddItemAsIs(text, std::unique_ptr<TCustomRDItemInfo>(item));
    }
    void AddTextRawKeepTabs(const QByteArray& s, int styleNo, int paraNo, const TRDTag& tag);
    void AddTextRaw(const QByteArray& s, int styleNo, int paraNo, const TRDTag& tag);
    void AddTextRawNoTag(const QByteArray& s, int styleNo, int paraNo);
    void AddTextConvertedKeepTabs(const QByteArray& s, int styleNo, int paraNo, const TRDTag& tag);
    void AddTextConverted(const QByteArray& s, int styleNo, int paraNo, const TRDTag& tag);
    QByteArray ExpandTabs(const QByteArray& s, int styleNo, bool unicode) const;
    bool AddMultilineText(const QByteArray& s, int styleNo, int firstParaNo, int paraNo, const TRDTag& tag);
    bool AddTextLines(const QByteArray& s, int styleNo, int firstParaNo, int paraNo, bool oneParagraph,
                      bool convert, const TRDTag& tag);
    void SetAllowNewPara(bool flag) { AllowNewPara = flag; }
    void UnifyParaNoOfParagraph(int i);

    // Removing items.
    void FreeItemAt(int i, bool keepLists);
    // Removes item i and frees it, as DeleteItemRange(i, 1).
    void RemoveItem(int i) { DeleteItemRange(i, 1); }

    // Taking items out and giving them back, for the undo of an edit. TakeItem
    // removes item i from the list without freeing it and hands it over with
    // its text: it leaves the marker and sequence lists (the numbers after it
    // are counted again), and its checkpoint, which stays with the item,
    // leaves the checkpoint chain. GiveItem puts such an item back at index
    // (0..ItemCount()), where the lists and the chain take it in again. The
    // item itself is told nothing (MovingToUndoList and MovingFromUndoList
    // are the caller's), the paragraphs around it are left as they are, and
    // the layout of a formatted document is not made anew.
    // Both raise on a document that shares another's items and on an index
    // out of range.
    std::unique_ptr<TCustomRDItemInfo> TakeItem(int i, QByteArray* text = nullptr);
    void GiveItem(int index, const QByteArray& text, std::unique_ptr<TCustomRDItemInfo> item);

    // Style upkeep.
    void MarkStylesInUse(TRDStyleUsage& usage) const;
    void UpdateStyles(const TRDStyleMaps& maps);

    // Checkpoints.
    int SetPendingCheckpoint(const QString& name, bool raiseEvent, const TRDTag& tag);
    // The item takes pending and the chain links it after after.
    void AttachPendingCheckpoint(TCustomRDItemInfo* item, TRDCPInfo*& after, std::unique_ptr<TRDCPInfo>& pending);
    // Takes cp out of the chain; whoever owns it keeps it.
    void UnlinkCheckpoint(TRDCPInfo* cp, bool countOff);
    void FreeCheckpoint(std::unique_ptr<TRDCPInfo>& cp, bool unlink, bool countOff);
    // Links cp into the chain before the checkpoints of later items.
    void LinkCheckpoint(TRDCPInfo* cp, int itemNo);
    void UpdateCheckpointItemNos();
    TRDCPInfo* CheckpointOfItem(int i) const { return ItemAt(i)->Checkpoint.get(); }
    TRDCPInfo* CheckpointBefore(int i);

    // Positions and ranges.
    int ComparePositions(int itemNo1, TCustomRDData* data2, int itemNo2);
    void WidenItemsToLines(int first, int last, int& newFirst, int& newLast) const;
    void WidenItemsToParagraphs(int first, int last, int& newFirst, int& newLast) const;
    using TRDEnumItemsProc = std::function<void(TCustomRDData* rdData, int itemNo, bool& cont)>;
    bool EnumItems(const TRDEnumItemsProc& proc);
    int IndexOfItemFrom(int from, const TCustomRDItemInfo* item);
    static int SaveScopeOf(bool selectionOnly) { return selectionOnly ? 1 : 0; }

    // Sharing and moving.
    void MoveItemsFrom(TCustomRDData* source);
    void NotifyItemsInserting(TCustomRDData* rdData, bool detached);
    void ShareItemsOf(TCustomRDData* other);
    void SetItemListFrom(TCustomRDData* other);

    // Joining.
    bool ItemsCanMerge(int i, TCustomRDItemInfo* item1, bool joinAcrossBreaks, TCustomRDItemInfo* item2) const;
    void JoinItems(int i, TCustomRDItemInfo* item1, TCustomRDItemInfo* item2);
    void JoinItemRange(int first, int last);
    void MergeItemsInSubDocs(int i);

    // RDF.
    bool SaveRDFToStream(TRDStream& stream, bool selectionOnly, TRDLayoutInfo* layoutInfo,
                         TRDBackground* background, TColor color);
    bool SaveRDF(TRDStream& stream, int scope, TRDLayoutInfo* layoutInfo, TRDBackground* background, TColor color);
    bool LoadRDFBlock(TRDStream& stream);
    bool LoadFromRDF(TRDStream& stream, TColor& color, TRDBackground* background, TRDLayoutInfo* layoutInfo);
    bool InsertFromRDF(TRDStream& stream, int index, TColor& color, TRDBackground* background,
                       TRDLayoutInfo* layoutInfo, bool wholeDocument);
    bool LoadRDF(TRDStream& stream, int& index, int firstParaNo, bool wholeDocument, bool placeFirstItem,
                 bool insertMode, TColor& color, TRDBackground* background, TRDLayoutInfo* layoutInfo,
                 int& itemsAdded, bool& interrupted, bool& reformatAll, bool nestedRead);
    // LoadRDF from bytes, read where they lie (they may be a view of a larger
    // read going on): nothing of them is kept beyond the call.
    bool LoadRDFFromBytes(const QByteArray& data, int& index, int firstParaNo, bool wholeDocument,
                          bool placeFirstItem, bool insertMode, TColor& color, TRDBackground* background,
                          TRDLayoutInfo* layoutInfo, int& itemsAdded, bool& interrupted, bool& reformatAll,
                          bool nestedRead);
    void ApplyLayoutInfo(const TRDLayoutInfo& layoutInfo);

    // Sequence fields: the sequence list of the document tree kept in step
    // with the items. The last sequence item at or before item i, nested
    // documents included, then in the documents around this one.
    TRDSeqListEntry* PrevSeqItem(int i);
    void AddSeqItemToList(int i);
    void RemoveSeqItemFromList(TCustomRDItemInfo* item, bool keepNumbers);
    // The highest sequence-list index above i of an item whose sequence name
    // (lower case) is in the sorted list names; -1 when none.
    int LastSeqIndexOfNames(int i, const QStringList& names);

    // List markers: the root's marker list kept in step with the items.
    // The last marker at or before item i, nested documents included, then
    // in the documents around this one.
    TRDMarkerListEntry* PrevMarkerItem(int i);
    void AddMarkerToList(int i);
    void RemoveMarkerFromList(TCustomRDItemInfo* item, bool keepNumbers);
    void RenumberMarkersFrom(int i, bool create);
    // The highest marker-list index above i of a marker of one of the lists.
    int LastMarkerIndexOfLists(int i, const TRDIntegerList& lists);
    // A marker read from RDF: its list through the read's list map, then
    // checked against the list styles (warning $04). False for other items.
    bool MapReadMarkerListNo(TCustomRDItemInfo* item, const TRDIntegerList* listMap);
    // The marker-list state of an RDF read, into the previous marker list.
    bool LoadMarkerStateFromRDF(const QByteArray& data, const TRDIntegerList* listMap);
    void FillLayoutMarkerInfo(TRDLayoutInfo& layoutInfo, int firstItemNo);
    void SaveMarkerStateBefore(TRDStream& stream, int firstItemNo, bool binary);

    // Plain text.
    bool SaveTextToStream(const QString& path, TRDStream& stream, int lineWidth, bool selectionOnly, bool textOnly,
                          bool unicode, bool unicodeWriteSignature);

    // Virtual slots.
    virtual bool GetWordWrap() { return GetAbsoluteRootData()->GetWordWrap(); }
    virtual TRDOptions GetOptions() { return GetRootData()->GetOptions(); }
    virtual void SetOptions(TRDOptions value) { GetRootData()->SetOptions(value); }
    virtual TRDFOptions GetRDFOptions() { return GetRootData()->GetRDFOptions(); }
    virtual void SetRDFOptions(TRDFOptions value) { GetRootData()->SetRDFOptions(value); }
    virtual TRDRTFOptions GetRTFOptions() { return GetRootData()->GetRTFOptions(); }
    virtual void SetRTFOptions(TRDRTFOptions value) { GetRootData()->SetRTFOptions(value); }
    virtual uint8_t GetRDFLoadWarnings() { return GetRootData()->GetRDFLoadWarnings(); }
    virtual void SetRDFLoadWarnings(uint8_t value) { GetRootData()->SetRDFLoadWarnings(value); }
    virtual TRDFReaderStyleMode GetRDFTextStylesReadMode() { return GetRootData()->GetRDFTextStylesReadMode(); }
    virtual TRDFReaderStyleMode GetRDFParaStylesReadMode() { return GetRootData()->GetRDFParaStylesReadMode(); }
    // Frees an item that left the list: it leaves the marker and sequence
    // lists, its checkpoint the chain.
    virtual void FreeItem(std::unique_ptr<TCustomRDItemInfo> item, bool keepLists);
    // An item leaves the document unfreed (TakeItem): what points at it goes.
    virtual void ForgetItem(TCustomRDItemInfo*) {}
    virtual uint16_t GetControlFlags() = 0;
    virtual void SetControlFlags(uint16_t value) = 0;
    virtual int GetMaxLength() { return GetAbsoluteRootData()->GetMaxLength(); }
    virtual TCustomRDData* GetActiveData() { return this; }
    virtual TCustomRDData* GetSourceData() { return this; }
    virtual TRDStyle* GetRDStyle();
    virtual TCustomRDData* GetParentData() { return nullptr; }
    virtual TCustomRDData* GetRootData() { return this; }
    virtual TCustomRDData* GetAbsoluteParentData() { return nullptr; }
    virtual TCustomRDData* GetAbsoluteRootData() { return this; }
    virtual void* GetPaletteHandle() { return GetRootData()->GetPaletteHandle(); }
    virtual void* GetLogPalette() { return GetRootData()->GetLogPalette(); }
    virtual TRDPaletteAction GetDoInPaletteMode() { return GetRootData()->GetDoInPaletteMode(); }
    virtual TRDBiDiMode GetBiDiMode() { return GetRootData()->GetBiDiMode(); }
    virtual bool DoSaveItemToFile(const QString& path, TCustomRDData* rdData, int itemNo, TRDSaveFormat format,
                                  bool unicode, QByteArray& outStr)
    {
        return GetAbsoluteRootData()->DoSaveItemToFile(path, rdData, itemNo, format, unicode, outStr);
    }
    virtual bool SaveImageForHtml(int kind, const QString& imagesPrefix, QString& location, const QImage& graphic,
                                  TColor backColor, bool overwriteImages, int& imageSaveNo, const QString& path);
    virtual void DoItemAction(TRDItemAction action, TCustomRDItemInfo* item, QByteArray& text, TCustomRDData* rdData)
    {
    }
    virtual bool DoSaveComponentToFile(const QString& path, const void* saveMe, TRDSaveFormat format,
                                       QByteArray& outStr)
    {
        return GetAbsoluteRootData()->DoSaveComponentToFile(path, saveMe, format, outStr);
    }
    virtual TColor GetColor() { return clNone; }

    // Dynamic slots.
    virtual bool SharesItems() { return false; }
    virtual bool ViewerDocumentFlag() { return false; }
    virtual QString DoUrlNeeded(int id) = 0;
    virtual QByteArray GetDelimiters() { return GetRootData()->GetDelimiters(); }
    virtual void GetSaveRange(int scope, TRDSaveRange& range);
    virtual void* GetRTFReadProperties() { return GetRootData()->GetRTFReadProperties(); }
    virtual bool SaveRDFBlock(TRDStream& stream);
    virtual bool AllowsPageBreaks() { return true; }
    // A root that keeps no sequence list answers none.
    virtual void DestroySeqList()
    {
        if (TCustomRDData* root = GetAbsoluteRootData(); root != this)
            root->DestroySeqList();
    }
    // A root that keeps no marker list answers none (also while it is being destroyed).
    virtual void DestroyMarkerList()
    {
        if (TCustomRDData* root = GetAbsoluteRootData(); root != this)
            root->DestroyMarkerList();
    }
    virtual void StylesRenumbered(const TRDStyleMaps&) {}
    // The host of the control that shows the document; nil for a root without one.
    virtual TRDHost* GetHost()
    {
        TCustomRDData* root = GetRootData();
        return root == this ? nullptr : root->GetHost();
    }
    virtual void GetParentInfo(int& parentItemNo, std::unique_ptr<TRDLocation>& location)
    {
        parentItemNo = -1;
        location.reset();
    }
    // The hint display of the control; a formatted document that answers for
    // its control shows it, the base passes it to the absolute root.
    virtual void ShowItemHint(const QString& hint)
    {
        if (TCustomRDData* root = GetAbsoluteRootData(); root != this)
            root->ShowItemHint(hint);
    }
    // The editor's text style conversion, asked for one style number
    // (converted in place) with the paragraph style of its item and the
    // caller's value; the editor's document answers it, the base passes it to
    // the absolute root, and a root without an editor leaves the style alone.
    virtual void ConvertStyleNo(int32_t& styleNo, int32_t paraNo, int userData)
    {
        if (TCustomRDData* root = GetAbsoluteRootData(); root != this)
            root->ConvertStyleNo(styleNo, paraNo, userData);
    }
    // The mouse cursor an item asks for while the mouse is over it (a cursor
    // number of the screen's table); the base passes it to the absolute root,
    // which sets it on the control that shows it.
    virtual void SetParentCursor(int16_t cursor);
    virtual TCustomRDData* GetChosenSubData() { return nullptr; }
    virtual TCustomRDItemInfo* GetChosenSubItem() { return nullptr; }
    // A root that answers no note text has none.
    virtual QString GetNoteText()
    {
        TCustomRDData* root = GetAbsoluteRootData();
        return root != this ? root->GetNoteText() : QString();
    }
    virtual void Clear();
    virtual void DeleteItemRange(int first, int count);
    virtual bool HasProgressHandler() { return GetAbsoluteRootData()->HasProgressHandler(); }
    virtual void DoProgress(TRDLongOperation operation, TRDProgressStage stage, int percent)
    {
        GetAbsoluteRootData()->DoProgress(operation, stage, percent);
    }
    virtual void DoSaveRTFExtra(TRDRTFSaveArea area, void* obj, int index1, int index2, bool inStyleSheet,
                                QByteArray& rtfCode)
    {
        GetAbsoluteRootData()->DoSaveRTFExtra(area, obj, index1, index2, inStyleSheet, rtfCode);
    }
    virtual void DoSaveHTMLExtra(TRDHTMLSaveArea area, bool cssVersion, QByteArray& htmlCode)
    {
        GetAbsoluteRootData()->DoSaveHTMLExtra(area, cssVersion, htmlCode);
    }
    virtual void DoSaveParaToHTML(TCustomRDData* rdData, int itemNo, bool paraStart, bool cssVersion,
                                  QByteArray& htmlCode)
    {
        GetAbsoluteRootData()->DoSaveParaToHTML(rdData, itemNo, paraStart, cssVersion, htmlCode);
    }
    virtual void DoReadHyperlink(const QString& target, const QString& extras, TRDLoadFormat docFormat, int& styleNo,
                                 TRDTag& itemTag, QByteArray& itemName)
    {
        GetRootData()->DoReadHyperlink(target, extras, docFormat, styleNo, itemTag, itemName);
    }
    virtual void DoWriteHyperlink(int id, TCustomRDData* rdData, int itemNo, TRDSaveFormat format, QString& target,
                                  QString& extras)
    {
        GetAbsoluteRootData()->DoWriteHyperlink(id, rdData, itemNo, format, target, extras);
    }
    virtual bool DoImportPicture(const QString& location, int width, int height, QImage& graphic)
    {
        return GetAbsoluteRootData()->DoImportPicture(location, width, height, graphic);
    }
    virtual QString DoItemHint(TCustomRDData* rdData, int itemNo, const QString& hint)
    {
        TCustomRDData* parent = GetAbsoluteParentData();
        return parent ? parent->DoItemHint(rdData, itemNo, hint) : hint;
    }
    virtual bool DoRDFPictureNeeded(const QString& name, const TRDTag& tag, QImage& graphic)
    {
        return GetRootData()->DoRDFPictureNeeded(name, tag, graphic);
    }
    virtual void DoControlItemAction(TRDControlAction action, TCustomRDItemInfo* item, int itemNo);
    virtual void DoControlAction(TRDControlAction action, int itemNo, void*& control) = 0;
    virtual bool DoRDFControlNeeded(const QString& name, const TRDTag& tag, void*& control)
    {
        return GetRootData()->DoRDFControlNeeded(name, tag, control);
    }
    virtual void* DoRDFImageListNeeded(int imageListTag) { return GetRootData()->DoRDFImageListNeeded(imageListTag); }
    virtual void DoHTMLSaveImage(TCustomRDData* rdData, int itemNo, const QString& path, TColor backgroundColor,
                                 QString& location, bool& doDefault)
    {
        GetAbsoluteRootData()->DoHTMLSaveImage(rdData, itemNo, path, backgroundColor, location, doDefault);
    }
    virtual void DoSaveImage2(const QImage& graphic, TRDSaveFormat format, const QString& path,
                              const QString& imagePrefix, int& imageSaveNo, QString& location, bool& doDefault)
    {
        GetAbsoluteRootData()->DoSaveImage2(graphic, format, path, imagePrefix, imageSaveNo, location, doDefault);
    }
    virtual bool GetNextImageFileName(const QString& imagesPrefix, const QString& path, QString& fileName,
                                      bool overwriteImages, int& imageSaveNo, const QString& ext);
    // The three style maps of an RDF read (text, paragraph, list).
    struct TRDFStyleMapsRef {
        std::unique_ptr<TRDIntegerList>* Text;
        std::unique_ptr<TRDIntegerList>* Para;
        std::unique_ptr<TRDIntegerList>* List;
    };
    virtual TRDFStyleMapsRef GetRDFStyleMaps() { return GetRootData()->GetRDFStyleMaps(); }
    virtual void FreeRDFStyleMaps() {}
    virtual bool InsertItem(int& index, QByteArray& text, TCustomRDItemInfo*& item, bool insertMode,
                            bool& reformatAll, int& newListNo);
    virtual void DeleteUnusedStyles(TRDStyleUsage& usage);
    // Marks the styles the document uses before unused ones are deleted (an
    // editor's document also marks its current styles).
    virtual void MarkUsedStyles(TRDStyleUsage& usage) { MarkStylesInUse(usage); }
    virtual TRDSeqList* GetSeqList(bool create)
    {
        TCustomRDData* root = GetAbsoluteRootData();
        return root != this ? root->GetSeqList(create) : nullptr;
    }
    virtual TRDMarkerList* GetMarkerList(bool create)
    {
        TCustomRDData* root = GetAbsoluteRootData();
        return root != this ? root->GetMarkerList(create) : nullptr;
    }
    virtual TRDMarkerList* GetPrevMarkerList() { return nullptr; }
    virtual TCustomRDData* GetDataForEditing() { return this; }
    virtual TRDDocParameters* GetDocParameters(bool create) { return GetRootData()->GetDocParameters(create); }
    virtual QStringList* GetDocProperties() { return nullptr; }

protected:
    std::vector<TRDItemEntry>* FItems = nullptr;

private:
    bool TagsArePChars() { return GetOptions() & rdoTagsArePChars; }
    void AddTextItem(const QByteArray& s, int styleNo, int paraNo, const TRDTag& tag, bool expandTabs);
    void ConvertForStyle(QByteArray& s, int styleNo, int paraNo) const;
    bool ItemIsDoubleByte(int i) const;
    void EmptyItemListWithoutFreeing();
    void DestroyOwnMarkerListForClear();
    void DestroyOwnSeqListForClear();
    // What LoadRDF and LoadRDFFromBytes share: the bytes given, else the rest
    // of the stream.
    bool LoadRDFData(TRDStream* stream, const QByteArray* bytes, int& index, int firstParaNo, bool wholeDocument,
                     bool placeFirstItem, bool insertMode, TColor& color, TRDBackground* background,
                     TRDLayoutInfo* layoutInfo, int& itemsAdded, bool& interrupted, bool& reformatAll,
                     bool nestedRead);

    std::unique_ptr<std::vector<TRDItemEntry>> FOwnItems;
    friend class TRDFReader;
    friend class TRDFWriter;
};
