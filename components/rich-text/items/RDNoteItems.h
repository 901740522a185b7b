#pragma once

// Documents owned by items (sub-documents) and the notes that own them:
// footnotes and endnotes (numbered sequence fields with a document of their
// own holding the note's text) and the note reference that shows, inside a
// note's text, the number of its note.

#include <memory>

#include "document/CRDData.h"
#include "items/RDLabelItems.h"
#include "items/RDMarkerItems.h"

class TCustomRDNoteItemInfo;


// A document owned by an item of another document. It answers the questions
// of its place through the absolute root of the document that holds its
// item, and keeps sequence and marker lists of its own.
class TRDSubData : public TCustomRDData {
public:
    TRDSubData(TCustomRDItemInfo* ownerItem, TCustomRDData* mainData);
    // The items leave the document's own lists before they go.
    ~TRDSubData() override;

    uint16_t ControlFlags = 0x412;
    TCustomRDItemInfo* OwnerItem;
    std::unique_ptr<TRDSeqList> SeqList;
    std::unique_ptr<TRDMarkerList> MarkerList;
    // The document that holds the owning item; nil while it has none.
    TCustomRDData* MainData;

    uint16_t GetControlFlags() override { return ControlFlags; }
    void SetControlFlags(uint16_t value) override { ControlFlags = value; }
    TCustomRDData* GetParentData() override { return MainRoot(); }
    TCustomRDData* GetRootData() override { return MainRoot(); }
    TCustomRDData* GetAbsoluteParentData() override { return MainRoot(); }
    TCustomRDData* GetAbsoluteRootData() override { return MainRoot(); }
    QString DoUrlNeeded(int) override { return {}; }
    void DoControlAction(TRDControlAction, int, void*&) override {}
    TRDSeqList* GetSeqList(bool create) override;
    TRDMarkerList* GetMarkerList(bool create) override;
    void DestroySeqList() override { SeqList.reset(); }
    void DestroyMarkerList() override { MarkerList.reset(); }
    void FreeRDFStyleMaps() override;
    // Reported to the main document while there is one.
    void DoControlItemAction(TRDControlAction action, TCustomRDItemInfo* item, int itemNo) override
    {
        if (MainRoot())
            TCustomRDData::DoControlItemAction(action, item, itemNo);
    }

    void ItemsMovingToUndoList(TRDUndoInfo* undoInfo);
    void ItemsMovingFromUndoList();
    // The whole document from RDF (what it held goes), and to RDF, without
    // layout block or background.
    bool LoadFromMemoryStream(TRDStream& stream);
    bool SaveToMemoryStream(TRDStream& stream);
    // Reads RDF into the document at index 0 as part of a read going on in
    // the main document: the read's style maps and warnings stay that read's.
    // The data is read where it lies (a view of the enclosing read's data).
    bool LoadNested(const QByteArray& data);

private:
    TCustomRDData* MainRoot() { return MainData ? MainData->GetAbsoluteRootData() : nullptr; }
};

// The document of a footnote or an endnote.
class TRDNoteData : public TRDSubData {
public:
    using TRDSubData::TRDSubData;
    // The number text of the note that owns the document.
    QString GetNoteText() override;
};

class TCustomRDNoteItemInfo : public TRDSeqItemInfo {
public:
    ~TCustomRDNoteItemInfo() override;

    std::unique_ptr<TRDNoteData> NoteDocument;

    // Notes take their numbering type from the style sheet.
    void SetNumberType(TRDSeqType) override {}
    void SetDocument(TCustomRDData* rdData) override;
    void AssignProperties(const TCustomRDItemInfo& source) override;
    void MovingToUndoList(int itemNo, TCustomRDData* rdData, TRDUndoInfo* undoInfo) override;
    void MovingFromUndoList(int itemNo, TCustomRDData* rdData) override;
    void MarkStylesInUse(TRDStyleUsage& usage) const override;
    void UpdateStyles(const TRDStyleMaps& maps) override;
    void FillRTFTables(TRDColorList& colors, TRDIntegerList* listOverrides, TCustomRDData* rdData) const override;
    virtual QByteArray GetRTFNotePrefix() const { return " "; }
    virtual QByteArray GetHTMLAnchorName() const { return {}; }
    QByteArray SaveRTF(TCustomRDData* rdData, int itemNo, TRDRTFExportContext& context) const override;
    QByteArray SaveToHTML(TCustomRDData* rdData, int itemNo, TRDHTMLImageContext& context) const override;
    void SaveRDF(TRDStream& stream, TCustomRDData* rdData, int itemNo, int paraNo, const QByteArray& name,
                 bool forceContinuePara, int partCode) const override;
    bool ReadRDFLine(const QByteArray& line, TCustomRDData* rdData, int dataMode, int lineNo, int lineCount,
                     QByteArray& name, int& readMode, int& readState) override;
    // The note's document is read from the last line, which is not kept.
    bool ReadsLastRDFLineInPlace() const override { return true; }

protected:
    TCustomRDNoteItemInfo(TCustomRDData* rdData, int32_t styleNo, const QString& seqName);
    TCustomRDNoteItemInfo(TCustomRDData* rdData, int32_t styleNo, const QString& seqName, int textStyleNo,
                          int startFrom, bool reset);
    const TRDStyle* Sheet() const { return Document ? Document->GetRDStyle() : nullptr; }

private:
    void SetUpNote(int32_t styleNo);
};

class TRDFootnoteItemInfo : public TCustomRDNoteItemInfo {
public:
    explicit TRDFootnoteItemInfo(TCustomRDData* rdData = nullptr);
    TRDFootnoteItemInfo(TCustomRDData* rdData, int textStyleNo, int startFrom, bool reset);
    static std::unique_ptr<TRDFootnoteItemInfo> CreateEx(TCustomRDData* rdData, int textStyleNo, int startFrom,
                                                         bool reset)
    {
        return std::make_unique<TRDFootnoteItemInfo>(rdData, textStyleNo, startFrom, reset);
    }
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* rdData) const override
    {
        return new TRDFootnoteItemInfo(rdData);
    }
    TRDSeqType GetNumberType() const override;
    QString GetDisplayText(TCustomRDData* rdData, const TRDDrawLineInfo* drawItem) const override;
    QString GetPrintText(TCustomRDData* rdData) const override;
    std::unique_ptr<TRDDrawLineInfo> CreatePrintDrawItem(TCustomRDData* rdData,
                                                         const TRDResolutionInfo* scaling) override;
    QByteArray GetHTMLAnchorName() const override;
};

class TRDEndnoteItemInfo : public TCustomRDNoteItemInfo {
public:
    explicit TRDEndnoteItemInfo(TCustomRDData* rdData = nullptr);
    TRDEndnoteItemInfo(TCustomRDData* rdData, int textStyleNo, int startFrom, bool reset);
    static std::unique_ptr<TRDEndnoteItemInfo> CreateEx(TCustomRDData* rdData, int textStyleNo, int startFrom,
                                                        bool reset)
    {
        return std::make_unique<TRDEndnoteItemInfo>(rdData, textStyleNo, startFrom, reset);
    }
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* rdData) const override { return new TRDEndnoteItemInfo(rdData); }
    TRDSeqType GetNumberType() const override;
    QByteArray GetRTFNotePrefix() const override { return "\\ftnalt "; }
    QByteArray GetHTMLAnchorName() const override;
};

// The number of the note whose document holds the item.
class TRDNoteReferenceItemInfo : public TRDLabelItemInfo {
public:
    explicit TRDNoteReferenceItemInfo(TCustomRDData* rdData = nullptr);
    TRDNoteReferenceItemInfo(TCustomRDData* rdData, int textStyleNo);
    static std::unique_ptr<TRDNoteReferenceItemInfo> CreateEx(TCustomRDData* rdData, int textStyleNo)
    {
        return std::make_unique<TRDNoteReferenceItemInfo>(rdData, textStyleNo);
    }
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* rdData) const override
    {
        return new TRDNoteReferenceItemInfo(rdData);
    }
    void OnDocWidthChange(int docWidth, TRDDrawLineInfo* drawItem, bool printing, TCanvas* canvas,
                          TCustomRDData* rdData, const TRDResolutionInfo* scaling, int& extra,
                          int& descent) override;
    QString GetDisplayText(TCustomRDData* rdData, const TRDDrawLineInfo* drawItem) const override;
    QByteArray SaveToHTML(TCustomRDData* rdData, int itemNo, TRDHTMLImageContext& context) const override;
    QByteArray SaveRTF(TCustomRDData*, int, TRDRTFExportContext&) const override { return "\\chftn "; }
    void SaveRDF(TRDStream& stream, TCustomRDData* rdData, int itemNo, int paraNo, const QByteArray& name,
                 bool forceContinuePara, int partCode) const override;
    bool ReadRDFLine(const QByteArray& line, TCustomRDData* rdData, int dataMode, int lineNo, int lineCount,
                     QByteArray& name, int& readMode, int& readState) override;

private:
    QString NoteText() const { return Document ? Document->GetNoteText() : QString(); }
};

// The first note of the class after note (from the start for nil) in the
// sequence list of rdData; nil when none.
TCustomRDNoteItemInfo* FindNextNote(TCustomRDData* rdData, const TCustomRDNoteItemInfo* note, int32_t noteStyleNo);
TCustomRDNoteItemInfo* FindFirstFootnote(TCustomRDData* rdData);
TCustomRDNoteItemInfo* FindFirstEndnote(TCustomRDData* rdData);

// The RTF export's writer of a whole document and of its tables, which the
// notes use for their documents; set by the RTF export (none until then: a
// note's text is then left out of its RTF).
using TRDDocumentRTFHook = QByteArray (*)(TCustomRDData* rdData, TRDRTFExportContext& context);
using TRDDocumentRTFTablesHook = void (*)(TCustomRDData* rdData, TRDColorList& colors,
                                          TRDIntegerList* listOverrides);
extern TRDDocumentRTFHook SaveDocumentRTFHook;
extern TRDDocumentRTFTablesHook MakeDocumentRTFTablesHook;
