#include "items/RDNoteItems.h"

#include "AnsiText.h"
#include "document/RDFDocIO.h"
#include "core/RDFStream.h"
#include "items/RDPictureItems.h"
#include "core/RDLists.h"

TRDDocumentRTFHook SaveDocumentRTFHook = nullptr;
TRDDocumentRTFTablesHook MakeDocumentRTFTablesHook = nullptr;

namespace {

// The data lines of a note record before its property lines.
constexpr int NoteFixedLines = 7;

}  // namespace

// Sub-documents.

TRDSubData::TRDSubData(TCustomRDItemInfo* ownerItem, TCustomRDData* mainData)
    : OwnerItem(ownerItem), MainData(mainData)
{
    CreateItemList();
}

TRDSubData::~TRDSubData()
{
    Clear();
}

TRDSeqList* TRDSubData::GetSeqList(bool create)
{
    if (!SeqList && create)
        SeqList = std::make_unique<TRDSeqList>();
    return SeqList.get();
}

TRDMarkerList* TRDSubData::GetMarkerList(bool create)
{
    if (!MarkerList && create) {
        MarkerList = std::make_unique<TRDMarkerList>();
        MarkerList->PriorMarkerList = GetPrevMarkerList();
    }
    return MarkerList.get();
}

void TRDSubData::FreeRDFStyleMaps()
{
    if (TCustomRDData* root = MainRoot())
        root->FreeRDFStyleMaps();
}

void TRDSubData::ItemsMovingToUndoList(TRDUndoInfo* undoInfo)
{
    for (int i = 0; i < ItemCount(); ++i)
        ItemAt(i)->MovingToUndoList(i, this, undoInfo);
}

void TRDSubData::ItemsMovingFromUndoList()
{
    for (int i = 0; i < ItemCount(); ++i)
        ItemAt(i)->MovingFromUndoList(i, this);
}

bool TRDSubData::LoadFromMemoryStream(TRDStream& stream)
{
    Clear();
    // Without a document above it the sub-document has no settings to read with.
    if (!MainRoot())
        return false;
    TColor color = clNone;
    return InsertFromRDF(stream, 0, color, nullptr, nullptr, false);
}

bool TRDSubData::SaveToMemoryStream(TRDStream& stream)
{
    if (!MainRoot())
        return ItemCount() == 0;
    return SaveRDFToStream(stream, false, nullptr, nullptr, clNone);
}

bool TRDSubData::LoadNested(const QByteArray& data)
{
    TCustomRDData* root = MainRoot();
    if (!root)
        return false;
    // The read clears the warnings it reports; those of the enclosing read stay.
    const uint8_t warnings = root->GetRDFLoadWarnings();
    int index = 0;
    int itemsAdded = 0;
    bool interrupted = false;
    bool reformatAll = false;
    TColor color = clNone;
    const bool result = LoadRDFFromBytes(data, index, -1, false, false, false, color, nullptr, nullptr, itemsAdded,
                                         interrupted, reformatAll, true);
    root->SetRDFLoadWarnings(warnings | root->GetRDFLoadWarnings());
    return result;
}

QString TRDNoteData::GetNoteText()
{
    auto* note = dynamic_cast<TCustomRDNoteItemInfo*>(OwnerItem);
    return note ? note->Text : QString();
}

// Notes.

TCustomRDNoteItemInfo::TCustomRDNoteItemInfo(TCustomRDData* rdData, int32_t styleNo, const QString& seqName)
    : TRDSeqItemInfo(rdData)
{
    SeqName = seqName;
    SetUpNote(styleNo);
}

TCustomRDNoteItemInfo::TCustomRDNoteItemInfo(TCustomRDData* rdData, int32_t styleNo, const QString& seqName,
                                             int textStyleNo, int startFrom, bool reset)
    : TRDSeqItemInfo(rdData, seqName, TRDSeqType::rdseqDecimal, textStyleNo, startFrom, reset)
{
    SetUpNote(styleNo);
}

void TCustomRDNoteItemInfo::SetUpNote(int32_t styleNo)
{
    NoteDocument = std::make_unique<TRDNoteData>(this, Document ? Document->GetAbsoluteRootData() : nullptr);
    StyleNo = styleNo;
}

TCustomRDNoteItemInfo::~TCustomRDNoteItemInfo() = default;

void TCustomRDNoteItemInfo::SetDocument(TCustomRDData* rdData)
{
    TRDSeqItemInfo::SetDocument(rdData);
    if (NoteDocument)
        NoteDocument->MainData = Document ? Document->GetAbsoluteRootData() : nullptr;
}

void TCustomRDNoteItemInfo::AssignProperties(const TCustomRDItemInfo& source)
{
    if (auto* s = dynamic_cast<const TCustomRDNoteItemInfo*>(&source); s && s != this) {
        TRDMemoryStream stream;
        s->NoteDocument->SaveToMemoryStream(stream);
        stream.SetPosition(0);
        NoteDocument->LoadFromMemoryStream(stream);
    }
    TRDSeqItemInfo::AssignProperties(source);
}

void TCustomRDNoteItemInfo::MovingToUndoList(int itemNo, TCustomRDData* rdData, TRDUndoInfo* undoInfo)
{
    TRDSeqItemInfo::MovingToUndoList(itemNo, rdData, undoInfo);
    NoteDocument->ItemsMovingToUndoList(undoInfo);
}

void TCustomRDNoteItemInfo::MovingFromUndoList(int itemNo, TCustomRDData* rdData)
{
    TRDSeqItemInfo::MovingFromUndoList(itemNo, rdData);
    NoteDocument->ItemsMovingFromUndoList();
}

void TCustomRDNoteItemInfo::MarkStylesInUse(TRDStyleUsage& usage) const
{
    TRDSeqItemInfo::MarkStylesInUse(usage);
    NoteDocument->MarkStylesInUse(usage);
}

void TCustomRDNoteItemInfo::UpdateStyles(const TRDStyleMaps& maps)
{
    TRDSeqItemInfo::UpdateStyles(maps);
    NoteDocument->UpdateStyles(maps);
}

void TCustomRDNoteItemInfo::FillRTFTables(TRDColorList& colors, TRDIntegerList* listOverrides,
                                          TCustomRDData*) const
{
    if (MakeDocumentRTFTablesHook)
        MakeDocumentRTFTablesHook(NoteDocument.get(), colors, listOverrides);
}

QByteArray TCustomRDNoteItemInfo::SaveRTF(TCustomRDData*, int, TRDRTFExportContext& context) const
{
    QByteArray rtf = "\\chftn{\\footnote" + GetRTFNotePrefix();
    if (SaveDocumentRTFHook)
        rtf += SaveDocumentRTFHook(NoteDocument.get(), context);
    return rtf + '}';
}

QByteArray TCustomRDNoteItemInfo::SaveToHTML(TCustomRDData* rdData, int itemNo, TRDHTMLImageContext& context) const
{
    return "<a href=\"#" + GetHTMLAnchorName() + "\">" + TRDSeqItemInfo::SaveToHTML(rdData, itemNo, context)
           + "</a>";
}

void TCustomRDNoteItemInfo::SaveRDF(TRDStream& stream, TCustomRDData* rdData, int, int paraNo,
                                    const QByteArray& name, bool forceContinuePara, int) const
{
    const bool binary = rdData->GetRDFOptions() & rdfoSaveBinary;
    // The note's text is gathered before the record starts.
    TRDMemoryStream memory;
    NoteDocument->SaveToMemoryStream(memory);
    RDFWriteItemHeader(stream, rdData, StyleNo, GetRDFExtraPropertyCount() + NoteFixedLines + 1,
                       forceContinuePara ? -1 : paraNo, ForcedOptions(ItemOptions, forceContinuePara),
                       binary ? 2 : 0, Tag, SaveRDFHeaderTail(rdData));
    WriteLabelLines(stream);
    RDFWriteLine(stream, Reset ? "1" : "0");
    RDFWriteLine(stream, QByteArray::number(StartFrom));
    RDFWriteLine(stream, name);
    SaveRDFExtraProperties(stream);
    if (binary) {
        RDFSaveStreamBinary(memory, stream);
    } else {
        QByteArray hex;
        RDFMemoryToHex(memory, hex);
        RDFWriteLine(stream, hex);
    }
}

bool TCustomRDNoteItemInfo::ReadRDFLine(const QByteArray& line, TCustomRDData* rdData, int dataMode, int lineNo,
                                        int lineCount, QByteArray& name, int& readMode, int&)
{
    // A record too short to hold the note's text is not a note.
    if (lineCount < NoteFixedLines + 1)
        return false;
    bool result = true;
    int32_t value = 0;
    if (lineNo == lineCount - 1) {
        QByteArray data = line;
        if (dataMode != 2 && !RDFHexToString(line, data))
            return false;
        NoteDocument->Clear();
        result = NoteDocument->LoadNested(data);
    } else if (lineNo < 4) {
        result = ReadLabelLine(lineNo, line);
    } else if (lineNo == 4) {
        Reset = line != "0";
    } else if (lineNo == 5) {
        result = ReadRecordDecimal(line, value);
        if (result)
            StartFrom = value;
    } else if (lineNo == 6) {
        name = line;
        SetDocument(rdData);
    } else {
        ReadRDFExtraLine(line);
    }
    if (dataMode == 2 && lineNo == lineCount - 2)
        readMode = 1;
    return result;
}

TRDFootnoteItemInfo::TRDFootnoteItemInfo(TCustomRDData* rdData)
    : TCustomRDNoteItemInfo(rdData, FootnoteStyleNo, QStringLiteral("@footnote@"))
{
}

TRDFootnoteItemInfo::TRDFootnoteItemInfo(TCustomRDData* rdData, int textStyleNo, int startFrom, bool reset)
    : TCustomRDNoteItemInfo(rdData, FootnoteStyleNo, QStringLiteral("@footnote@"), textStyleNo, startFrom, reset)
{
}

TRDSeqType TRDFootnoteItemInfo::GetNumberType() const
{
    const TRDStyle* sheet = Sheet();
    return sheet ? sheet->FootnoteNumbering : TRDSeqType::rdseqDecimal;
}

QString TRDFootnoteItemInfo::GetDisplayText(TCustomRDData*, const TRDDrawLineInfo* drawItem) const
{
    if (auto* footnoteItem = dynamic_cast<const TRDFootnoteDrawItem*>(drawItem))
        return GetNumberText(footnoteItem->PageRelatedIndex);
    return Text;
}

QString TRDFootnoteItemInfo::GetPrintText(TCustomRDData*) const
{
    const TRDStyle* sheet = Sheet();
    // Numbers restarting on every page are measured with a number of average width.
    if (sheet && sheet->FootnotePageReset)
        return GetNumberText(4);
    return Text;
}

std::unique_ptr<TRDDrawLineInfo> TRDFootnoteItemInfo::CreatePrintDrawItem(TCustomRDData* rdData,
                                                                          const TRDResolutionInfo* scaling)
{
    const TRDStyle* sheet = Sheet();
    if (sheet && sheet->FootnotePageReset)
        return std::make_unique<TRDFootnoteDrawItem>();
    return TCustomRDNoteItemInfo::CreatePrintDrawItem(rdData, scaling);
}

QByteArray TRDFootnoteItemInfo::GetHTMLAnchorName() const
{
    return "footnote" + QByteArray::number(IndexInList);
}

TRDEndnoteItemInfo::TRDEndnoteItemInfo(TCustomRDData* rdData)
    : TCustomRDNoteItemInfo(rdData, EndnoteStyleNo, QStringLiteral("@endnote@"))
{
}

TRDEndnoteItemInfo::TRDEndnoteItemInfo(TCustomRDData* rdData, int textStyleNo, int startFrom, bool reset)
    : TCustomRDNoteItemInfo(rdData, EndnoteStyleNo, QStringLiteral("@endnote@"), textStyleNo, startFrom, reset)
{
}

TRDSeqType TRDEndnoteItemInfo::GetNumberType() const
{
    const TRDStyle* sheet = Sheet();
    return sheet ? sheet->EndnoteNumbering : TRDSeqType::rdseqLowerRoman;
}

QByteArray TRDEndnoteItemInfo::GetHTMLAnchorName() const
{
    return "endnote" + QByteArray::number(IndexInList);
}

// Note references.

TRDNoteReferenceItemInfo::TRDNoteReferenceItemInfo(TCustomRDData* rdData)
    : TRDLabelItemInfo(rdData, rdData ? rdData->GetNoteText() : QString(), 0)
{
    StyleNo = NoteReferenceStyleNo;
}

TRDNoteReferenceItemInfo::TRDNoteReferenceItemInfo(TCustomRDData* rdData, int textStyleNo)
    : TRDLabelItemInfo(rdData, rdData ? rdData->GetNoteText() : QString(), textStyleNo)
{
    StyleNo = NoteReferenceStyleNo;
}

void TRDNoteReferenceItemInfo::OnDocWidthChange(int docWidth, TRDDrawLineInfo* drawItem, bool printing,
                                                TCanvas* canvas, TCustomRDData* rdData,
                                                const TRDResolutionInfo* scaling, int& extra, int& descent)
{
    const QString noteText = NoteText();
    if (Text != noteText) {
        Text = noteText;
        Measured = false;
        MeasureLabel();
    }
    TRDLabelItemInfo::OnDocWidthChange(docWidth, drawItem, printing, canvas, rdData, scaling, extra, descent);
}

QString TRDNoteReferenceItemInfo::GetDisplayText(TCustomRDData*, const TRDDrawLineInfo*) const
{
    return NoteText();
}

QByteArray TRDNoteReferenceItemInfo::SaveToHTML(TCustomRDData* rdData, int itemNo,
                                                TRDHTMLImageContext& context) const
{
    auto* self = const_cast<TRDNoteReferenceItemInfo*>(this);
    const QString noteText = NoteText();
    if (self->Text != noteText) {
        self->Text = noteText;
        self->Measured = false;
    }
    return TRDLabelItemInfo::SaveToHTML(rdData, itemNo, context);
}

void TRDNoteReferenceItemInfo::SaveRDF(TRDStream& stream, TCustomRDData* rdData, int, int paraNo,
                                       const QByteArray& name, bool forceContinuePara, int) const
{
    RDFWriteItemHeader(stream, rdData, StyleNo, GetRDFExtraPropertyCount() + 5, forceContinuePara ? -1 : paraNo,
                       ForcedOptions(ItemOptions, forceContinuePara), 0, Tag, SaveRDFHeaderTail(rdData));
    WriteLabelLines(stream);
    RDFWriteLine(stream, name);
    SaveRDFExtraProperties(stream);
}

bool TRDNoteReferenceItemInfo::ReadRDFLine(const QByteArray& line, TCustomRDData* rdData, int, int lineNo, int,
                                           QByteArray& name, int&, int&)
{
    if (lineNo < 4)
        return ReadLabelLine(lineNo, line);
    if (lineNo == 4) {
        name = line;
        SetDocument(rdData);
        Text = NoteText();
        return true;
    }
    ReadRDFExtraLine(line);
    return true;
}

// Finding notes.

TCustomRDNoteItemInfo* FindNextNote(TCustomRDData* rdData, const TCustomRDNoteItemInfo* note, int32_t noteStyleNo)
{
    const TRDSeqList* list = rdData ? rdData->GetSeqList(false) : nullptr;
    if (!list)
        return nullptr;
    int from = 0;
    if (note) {
        from = const_cast<TCustomRDNoteItemInfo*>(note)->GetIndexInList(list);
        if (from < 0)
            return nullptr;
        ++from;
    }
    for (int i = from; i < list->Count(); ++i)
        if (auto* found = dynamic_cast<TCustomRDNoteItemInfo*>((*list)[i]); found && found->StyleNo == noteStyleNo)
            return found;
    return nullptr;
}

TCustomRDNoteItemInfo* FindFirstFootnote(TCustomRDData* rdData)
{
    return FindNextNote(rdData, nullptr, FootnoteStyleNo);
}

TCustomRDNoteItemInfo* FindFirstEndnote(TCustomRDData* rdData)
{
    return FindNextNote(rdData, nullptr, EndnoteStyleNo);
}
