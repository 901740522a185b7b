#pragma once

// The base of every item of a rich-text document, the item registry, item
// copies, checkpoints, property lines and misspelling marks.

#include <cstdint>
#include <memory>
#include <vector>

#include <QtCore/QByteArray>
#include <QtCore/QRect>
#include <QtCore/QString>
#include <QtGui/QImage>

#include "document/RDDocTypes.h"
#include "core/RDStrUtils.h"

class TCanvas;
class TRDMarkerListEntry;
class TRDSeqListEntry;
class TCustomRDItemInfo;
class TGraphic;
struct TRDJumpInfo;

// A checkpoint: a named, tagged position standing before an item.
class TRDCPInfo {
public:
    QString Name;
    TRDTag Tag;
    bool RaiseEvent = false;
    bool Sticky = false;
    TCustomRDItemInfo* Item = nullptr;
    int32_t ItemNo = -1;
    TRDCPInfo* PrevCP = nullptr;
    TRDCPInfo* NextCP = nullptr;

    // Name, flags and a copy of the tag.
    void Assign(const TRDCPInfo& source, bool tagsArePChars);
    std::unique_ptr<TRDCPInfo> CreateCopy(bool tagsArePChars) const;
};

class TCustomRDItemInfo {
public:
    // Items are made through the registry's factories; rdData is the owning
    // document (may be nil).
    explicit TCustomRDItemInfo(TCustomRDData* rdData = nullptr);
    TCustomRDItemInfo(const TCustomRDItemInfo&) = delete;
    TCustomRDItemInfo& operator=(const TCustomRDItemInfo&) = delete;
    virtual ~TCustomRDItemInfo();

    // A new object of this item's own class.
    virtual TCustomRDItemInfo* CreateSameClass(TCustomRDData* rdData) const = 0;

    int32_t StyleNo = 0;
    int32_t ParaNo = 0;
    uint8_t ItemOptions = 0;
    uint8_t SpellFlags = 0;
    std::unique_ptr<TRDWordPainterList> WordPainters;
    // The checkpoint standing before the item; the document's checkpoint
    // chain links it while the item is in the document.
    std::unique_ptr<TRDCPInfo> Checkpoint;
    int32_t JumpIndex = 0;
    TRDTag Tag;
    int32_t FirstDrawItem = -1;
    QString Hint;

    // Flag accessors.
    bool ContinuesPara() const { return ItemOptions & rdioContinuesPara; }
    bool BreaksPageBefore() const { return ItemOptions & rdioPageBreakBefore; }
    bool HasLineBreakBefore() const { return ItemOptions & rdioLineBreakBefore; }
    bool StartsParagraph() const { return !(ItemOptions & (rdioContinuesPara | rdioLineBreakBefore)); }
    void SetContinuesPara(bool value);
    void SetBreaksPageBefore(bool value);
    void SetLineBreakBefore(bool value);
    // StyleNo, or for MaxInt the default text style of the paragraph style.
    int GetActualStyleNo(const TRDStyle* rdStyle) const;

    virtual int GetAssociatedTextStyleNo() const { return -1; }
    virtual void SetAssociatedTextStyleNo(int) {}
    virtual int GetMinWidth(const TRDResolutionInfo* scaling, TCanvas* canvas = nullptr,
                            TCustomRDData* rdData = nullptr) const;
    virtual TGraphic* GetGraphic() const { return nullptr; }
    virtual bool GetBoolValue(int id) const;
    virtual bool GetBoolValueEx(int id, const TRDStyle* rdStyle) const;
    virtual int GetImageWidth(const TRDStyle*) const { return 0; }
    virtual int GetImageHeight(const TRDStyle*) const { return 0; }
    virtual int GetHorzSpacing() const { return 0; }
    virtual int GetVertSpacing() const { return 0; }
    // Painting. An item that fills a whole line paints across left..right
    // below top; an inline item whose top left corner, spacing left out, is
    // x, y. state holds the item draw state bits.
    virtual void PaintFullLine(int left, int right, int top, TRDStyle* rdStyle, uint16_t state, TCanvas& canvas,
                               TCustomRDData* rdData) const
    {
    }
    virtual void Paint(TCanvas& canvas, int x, int y, int baseline, uint16_t state, const TRDStyle* rdStyle,
                       const TRDDrawLineInfo* drawItem, TCustomRDData* rdData) const
    {
    }
    // Draws the item, or page part info.PartIndex of it, into a bitmap of
    // the printed size; false when the item cannot.
    virtual bool PrintToBitmap(QImage& bitmap, bool preview, TCustomRDData* rdData, const TRDItemPrintInfo& info) const
    {
        return false;
    }
    // Draws the item on paper at x, y, sizes scaled to the device.
    virtual void Print(TCanvas& canvas, int x, int y, TRDStyle* rdStyle, TCustomRDData* rdData,
                       const TRDItemPrintInfo& info) const
    {
    }
    // What the item puts behind content printed through a bitmap.
    virtual void DrawPrintBackground(TCanvas& canvas, const QRect& rect, int level, int colorMode,
                                     const QRect& itemRect) const
    {
    }
    virtual std::unique_ptr<TRDDrawLineInfo> CreatePrintDrawItem(TCustomRDData*, const TRDResolutionInfo*);
    virtual void Inserting(TCustomRDData* rdData, QByteArray& text, bool detached);
    virtual void Inserted(TCustomRDData* rdData, int itemNo);
    // The layout asks the part of the item's height below the base line.
    virtual void OnDocWidthChange(int docWidth, TRDDrawLineInfo* drawItem, bool printing, TCanvas* canvas,
                                  TCustomRDData* rdData,
                                  const TRDResolutionInfo* scaling, int& extra, int& descent);
    // The formatting pass's call. noCache asks an item that keeps its own
    // layout to lay out again even at an unchanged width; editorFlag asks it
    // to re-format an editor open inside it.
    virtual void OnDocWidthChangeEx(int docWidth, TRDDrawLineInfo* drawItem, bool printing, TCanvas* canvas,
                                    TCustomRDData* rdData, const TRDResolutionInfo* scaling, int& extra,
                                    int& descent, bool noCache, bool editorFlag)
    {
        OnDocWidthChange(docWidth, drawItem, printing, canvas, rdData, scaling, extra, descent);
    }
    // After the layout placed the item.
    virtual void AdjustInserted(TCanvas* canvas, const QRect& rect, int x, int y, const TRDResolutionInfo* scaling) {}

    // RDF.
    virtual QByteArray SaveRDFHeaderTail(TCustomRDData* rdData) const { return {}; }
    virtual int GetRDFExtraPropertyCount() const;
    virtual void SaveRDFExtraProperties(TRDStream& stream) const;
    virtual void AssignProperties(const TCustomRDItemInfo& source);
    // Reads the last field of a header line; p points into the NUL-ended line.
    virtual bool ReadRDFHeaderTail(const char*& p, TCustomRDData* rdData) { return true; }
    // One data line of the item's record. name receives the item's text;
    // readMode 1 asks for a binary block next; readState 2 skips the rest.
    virtual bool ReadRDFLine(const QByteArray& line, TCustomRDData* rdData, int dataMode, int lineNo, int lineCount,
                             QByteArray& name, int& readMode, int& readState);
    // True when ReadRDFLine only reads the last line of the record and keeps
    // nothing of it (a nested document): the reader then hands it over as a
    // view of the data it reads instead of a copy.
    virtual bool ReadsLastRDFLineInPlace() const { return false; }
    virtual void SaveRDF(TRDStream& stream, TCustomRDData* rdData, int itemNo, int paraNo, const QByteArray& name,
                         bool forceContinuePara, int partCode) const {}
    // Writes what is selected inside an item that holds documents.
    virtual void SaveRDFSelection(TRDStream& stream, TCustomRDData* rdData, int paraNo) const {}
    virtual void TakeAnimatorFrom(TCustomRDItemInfo* source, TCustomRDData* rdData) {}
    virtual TCustomRDData* GetActiveSubDocumentAt(int x, int y) { return nullptr; }
    virtual bool OwnsInplaceEditor(const void* editor) const { return false; }

    // Output of a non-text item; the text is the document's.
    virtual QByteArray SaveToHTML(TCustomRDData* rdData, int itemNo, TRDHTMLImageContext& context) const { return {}; }
    virtual QByteArray SaveRTF(TCustomRDData* rdData, int itemNo, TRDRTFExportContext& context) const { return {}; }
    // Adds the colours and lists the item's RTF uses to the export's tables.
    virtual void FillRTFTables(TRDColorList& colors, TRDIntegerList* listOverrides, TCustomRDData* rdData) const {}
    virtual void BeforeLoading(TRDLoadFormat) {}
    virtual void AfterLoading(TRDLoadFormat) {}
    virtual QByteArray AsText(int lineWidth, TCustomRDData* rdData, bool unicode, bool textOnly,
                              const QString& path, const QByteArray& name) const
    {
        return {};
    }
    virtual void MovingToUndoList(int itemNo, TCustomRDData* rdData, TRDUndoInfo* undoInfo);
    virtual void MovingFromUndoList(int itemNo, TCustomRDData* rdData) {}
    // Moves undo records kept inside the item into the document's lists.
    virtual void MergeInnerUndo() {}

    // Mouse: x, y in document coordinates. The base shows the item's hint
    // when the document's options ask for item hints.
    virtual bool MouseMove(int x, int y, int itemNo, TCustomRDData* rdData);
    virtual bool MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y, int itemNo,
                           TCustomRDData* rdData)
    {
        return false;
    }
    virtual bool MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y, int itemNo,
                         TCustomRDData* rdData)
    {
        return false;
    }
    virtual void DisableMouse() {}
    virtual void EnableMouse() {}

    // Selections inside items that hold documents.
    virtual void DeselectInside() {}
    virtual bool HasSelectionInside() const { return false; }
    virtual bool CanDeleteSelectionInside() const { return false; }
    virtual void DeleteSelectionInside() {}
    // The editor's text style conversion.
    virtual void ApplyStyleConversion(int userData, int mode, bool recursive) {}
    virtual void ApplyStyleConversionDefault(TCustomRDData* rdData, int itemNo, int userData)
    {
        ApplyStyleConversion(userData, 0, true);
    }
    virtual void BeginUpdateInside() {}
    virtual void EndUpdateInside() {}
    virtual void BeforePropertyChange() {}
    virtual void AfterPropertyChange() {}
    // A selection command of the editor carried out inside the item.
    virtual bool ExecuteInside(int command, intptr_t param) { return false; }

    // Jumps and focus.
    virtual int16_t GetJumpCursor(const TRDStyle* rdStyle) const;
    virtual void BuildJumps(int left, int top, int& jumpNo, std::vector<std::unique_ptr<TRDJumpInfo>>& jumpList) {}
    virtual void Focusing() {}
    virtual bool MoveFocus(bool goForward, TCustomRDData*& topData, int& topItemNo) { return false; }
    virtual void ClearFocus() {}
    virtual bool AdjustFocusToControl(const void* control, TCustomRDData*& topData, int& topItemNo) { return false; }
    virtual void MarkStylesInUse(TRDStyleUsage& usage) const;
    virtual void UpdateStyles(const TRDStyleMaps& maps);
    // Nested documents: position 0 the first, 1 the last, 4 the one after and
    // 5 the one before the one store names. The base holds none.
    virtual TCustomRDData* EnumSubDocuments(std::unique_ptr<TRDStoreSubRDData>& store, int position) const
    {
        store.reset();
        return nullptr;
    }
    virtual TCustomRDData* ChooseSubDocument(const TRDStoreSubRDData& store) { return nullptr; }
    virtual void LeaveChosenSubDocument() {}
    virtual bool UpdateSubCoords() { return false; }
    virtual bool OwnsControl(const void* control) const { return false; }
    // The control the item holds (a QWidget; nil when it is gone); false for
    // items that hold none.
    virtual bool GetHeldControl(void*& control) const { return false; }
    // The item as an entry of the marker list or of the sequence list; nil
    // for other kinds (cheaper than a cast across to the entry base).
    virtual TRDMarkerListEntry* AsMarkerListEntry() { return nullptr; }
    virtual TRDSeqListEntry* AsSeqListEntry() { return nullptr; }
    // The vertical offset from the item's top of a soft page break inside it.
    virtual int GetPageBreakOffset(int value) const { return value; }
    virtual void ClearSoftPageBreaks() {}
    virtual void UpdatePaletteInfo(TRDPaletteAction, bool forceRecreate) {}
    virtual void UpdateAnimator(TCustomRDData*) {}
    virtual bool SetExtraIntProperty(int id, int value) { return false; }
    virtual bool GetExtraIntProperty(int id, int& value) const { return false; }
    virtual bool SetExtraStrProperty(int id, const QString& value);
    virtual bool GetExtraStrProperty(int id, QString& value) const;
    virtual bool SetExtraCustomProperty(const QByteArray& name, const QByteArray& value) { return false; }
    virtual void Execute(TCustomRDData*) {}

    // Property lines.
    void ReadRDFExtraLine(const QByteArray& line);
    static void RDFWriteExtraIntProperty(TRDStream& stream, int id, int value);
    static void RDFWriteExtraStrProperty(TRDStream& stream, int id, const QString& value);

    // Misspelling marks.
    void AddMisspelling(int start, int length);
    bool GetMisspelling(int offset, int& start, int& length) const;
    bool IsMisspelledAt(int offset) const;
    void ClearLiveSpelling();
    void ClearWordPaintersFrom(int offset);
    bool AdjustPaintersOnInsert(int offset, char ch, const TCustomRDData* rdData);
    bool AdjustPaintersOnDelete(int offset, int count);

private:
    void DropEmptyPainterList();
};

class TRDNonTextItemInfo : public TCustomRDItemInfo {
public:
    using TCustomRDItemInfo::TCustomRDItemInfo;
    bool Unremovable = false;

    virtual int GetHeightEx() const { return 0; }
    virtual int GetWidthEx() const { return 0; }
    virtual int GetLeftShift() const { return 0; }
    virtual void SetPosition(int left, int top, bool updateTop) {}

    int GetRDFExtraPropertyCount() const override;
    void SaveRDFExtraProperties(TRDStream& stream) const override;
    void AssignProperties(const TCustomRDItemInfo& source) override;
    bool SetExtraIntProperty(int id, int value) override;
    bool GetExtraIntProperty(int id, int& value) const override;
};

class TRDFullLineItemInfo : public TRDNonTextItemInfo {
public:
    using TRDNonTextItemInfo::TRDNonTextItemInfo;
    bool GetBoolValue(int id) const override;
};

enum class TRDItemVAlign : uint8_t { ivaBaseline, ivaMiddle, ivaAbsTop, ivaAbsBottom, ivaAbsMiddle };

class TRDRectItemInfo : public TRDNonTextItemInfo {
public:
    explicit TRDRectItemInfo(TCustomRDData* rdData = nullptr);
    int32_t MinHeightOnPage = 0;
    TRDItemVAlign VAlign = TRDItemVAlign::ivaBaseline;
    int32_t VShift = 0;
    bool VShiftAbs = false;
    int32_t Spacing = 1;

    int GetHorzSpacing() const override { return Spacing; }
    int GetVertSpacing() const override { return Spacing; }
    QByteArray SaveRDFHeaderTail(TCustomRDData* rdData) const override;
    bool ReadRDFHeaderTail(const char*& p, TCustomRDData* rdData) override;
    int GetRDFExtraPropertyCount() const override;
    void SaveRDFExtraProperties(TRDStream& stream) const override;
    void AssignProperties(const TCustomRDItemInfo& source) override;
    bool SetExtraIntProperty(int id, int value) override;
    bool GetExtraIntProperty(int id, int& value) const override;
    // The CSS vertical-align of a shifted item in HTML; empty when none.
    QString GetVShiftCSS(const TRDStyle* rdStyle) const;
};

// The registry of item kinds: the class of an item kind is its factory.
using TRDItemFactory = TCustomRDItemInfo* (*)(TCustomRDData* rdData);
template <typename T>
TCustomRDItemInfo* NewRDItem(TCustomRDData* rdData)
{
    return new T(rdData);
}
struct TRichDocItemTypeInfo {
    int32_t StyleNo;
    TRDItemFactory ItemClass;
};
// The suite's kinds (RDItemKinds.cpp, above the item units): InstallRichTextSuite
// puts them in the registry. A document knows its breaks and tabs without it.
std::vector<TRichDocItemTypeInfo> SuiteItemKinds();
// Puts kinds of the suite's own numbers in the registry; the same factory
// again for a number is accepted, another one fails as in RegisterRDItemType.
void RegisterSuiteItemKinds(const std::vector<TRichDocItemTypeInfo>& kinds);
// Only numbers below -9; the same factory again for a number is accepted;
// another factory for a number already taken, the suite's own kinds
// included, fails.
void RegisterRDItemType(int32_t styleNo, TRDItemFactory itemClass);
// The class created for text items.
extern TRDItemFactory TextItemClass;
// A new item of the kind, StyleNo set; nil for records and unknown kinds.
std::unique_ptr<TCustomRDItemInfo> CreateItemByStyleNo(int32_t styleNo, TCustomRDData* rdData);
// Class, StyleNo, properties, the checkpoint when asked, and a copy of the tag.
std::unique_ptr<TCustomRDItemInfo> CreateItemCopy(const TCustomRDItemInfo& source, TCustomRDData* rdData,
                                                  bool copyCheckpoint);

// Property names.
int FindIntPropertyName(const QByteArray& name);
int FindStrPropertyName(const QByteArray& name);
QByteArray IntPropertyName(int id);
QByteArray StrPropertyName(int id);

// Style usage.
void InitStyleUsage(TRDStyleUsage& usage, TRDStyle* rdStyle);
