// Reading RDF into a document.

#include <cstring>
#include <limits>

#include <QtCore/QtEndian>

#include "AnsiText.h"
#include "document/CRDData.h"
#include "document/RDBack.h"
#include "core/RDGraphUtils.h"
#include "document/RDDocEncoding.h"
#include "core/RDUnicode.h"
#include "document/RDDocParams.h"
#include "document/RDFDocIO.h"
#include "core/RDFStream.h"
#include "document/RDMarkerLists.h"
#include "styles/RDStyleStream.h"

namespace {

// The list of a marker as read; -1 for other items.
int MarkerListNoOf(const TCustomRDItemInfo* item)
{
    const auto* marker = item ? const_cast<TCustomRDItemInfo*>(item)->AsMarkerListEntry() : nullptr;
    return marker ? marker->ListNo : -1;
}

}  // namespace

class TRDFReader {
public:
    TRDFReader(TCustomRDData* doc, int& index, int firstParaNo, bool wholeDocument, bool placeFirstItem,
               bool insertMode, TColor& color, TRDBackground* background, TRDLayoutInfo* layoutInfo, int& itemsAdded,
               bool& reformatAll)
        : FDoc(doc), FIndex(index), FFirstParaNo(firstParaNo), FWhole(wholeDocument), FPlaceFirst(placeFirstItem),
          FInsertMode(insertMode), FColor(color), FBackground(background), FLayout(layoutInfo),
          FItemsAdded(itemsAdded), FReformatAll(reformatAll)
    {
    }
    ~TRDFReader() = default;

    // True when the data ended between records.
    bool Read(const QByteArray& data);
    void Finish(bool success, int startIndex);

private:
    // The reader's own types live inside it: the reader is a friend of the
    // document and so has to stay at file scope, and a file-scope class may
    // not hold members whose types are local to this file.
    enum class TReadMode { Text, Binary, Utf16 };
    enum class TReadState { Header, TextRecord, Checkpoint, ExtraData, Background, ItemRecord, Skipping };

    struct THeader {
        int32_t StyleNo = 0;
        int32_t LineCount = 0;
        int32_t ParaNo = 0;
        int32_t DataMode = 0;
        int32_t Kind = 0;
        TRDTag Tag;
        bool RaiseEvent = false;
        bool Sticky = false;
        std::unique_ptr<TCustomRDItemInfo> Item;
    };

    // A part of the data: a copy (the data may be the stream's own memory),
    // or a view of it while FViewPieces is set.
    QByteArray Piece(qsizetype start, qsizetype length) const
    {
        return FViewPieces ? QByteArray::fromRawData(FData.constData() + start, length)
                           : QByteArray(FData.constData() + start, length);
    }
    bool ReadTextLine(QByteArray& line, bool& crlf);
    bool ReadBinaryBlock(QByteArray& block);
    bool ReadUtf16Line(QByteArray& line);
    bool ParseHeader(const QByteArray& line);
    bool MapTextStyle(int32_t& styleNo);
    bool MapParaStyle(int32_t& paraNo);
    bool HandleLine(const QByteArray& line);
    bool ReadExtraDataLine(const QByteArray& line);
    bool LoadStyleTable(TRDStyle& sheet, int kind, const QByteArray& data, TRDIntegerList& map,
                        const TRDIntegerList* textMap);
    bool InsertTextLine(const QByteArray& line);
    bool InsertReadItem(std::unique_ptr<TCustomRDItemInfo> item, QByteArray text);
    void Place(TCustomRDItemInfo* item, int paraNo);
    void AttachWaitingCheckpoint(TCustomRDItemInfo* item);
    void EndRecord();
    void Warn(uint8_t bit) { FDoc->SetRDFLoadWarnings(FDoc->GetRDFLoadWarnings() | bit); }
    TRDFOptions Options() const { return FOptions; }

    TCustomRDData* FDoc;
    int& FIndex;
    int FFirstParaNo;
    bool FWhole;
    bool FPlaceFirst;
    bool FInsertMode;
    TColor& FColor;
    TRDBackground* FBackground;
    QByteArray FBackgroundClass = "TBitmap";
    TRDLayoutInfo* FLayout;
    int& FItemsAdded;
    bool& FReformatAll;

    QByteArray FData;
    bool FViewPieces = false;
    qsizetype FPos = 0;
    int FVersion = 1;
    int FSubVersion = 0;
    TRDFOptions FOptions = 0;
    bool FTagsArePChars = false;
    bool FFirstItem = true;
    TReadMode FMode = TReadMode::Text;
    TReadState FState = TReadState::Header;
    THeader FHeader;
    int FLineNo = 0;
    QByteArray FItemName;
    // The checkpoint read for the next item: the reader's own, or, with
    // FOwnPendingWaiting, the document's pending one.
    std::unique_ptr<TRDCPInfo> FWaitingCP;
    TRDCPInfo* FLinkAfter = nullptr;
    bool FOwnPendingWaiting = false;
    bool HasWaitingCP() const { return FOwnPendingWaiting ? FDoc->PendingCP != nullptr : FWaitingCP != nullptr; }
public:
    TCustomRDData::TRDFStyleMapsRef Maps{};
    friend class TCustomRDData;
};

bool TRDFReader::ReadTextLine(QByteArray& line, bool& crlf)
{
    // Read-only access: the data may be the stream's own memory.
    const char* d = FData.constData();
    const qsizetype size = FData.size();
    const qsizetype start = FPos;
    // The line ends at the first CR, LF or NUL (lines of hex picture data are long).
    const char* stop = static_cast<const char*>(std::memchr(d + start, '\n', size - start));
    if (!stop)
        stop = d + size;
    for (char end : {'\r', '\0'})
        if (const void* found = std::memchr(d + start, end, stop - (d + start)))
            stop = static_cast<const char*>(found);
    FPos = stop - d;
    line = Piece(start, FPos - start);
    crlf = false;
    if (FPos < size && d[FPos] == '\0') {
        ++FPos;
        return true;
    }
    bool cr = false;
    if (FPos < size && d[FPos] == '\r') {
        ++FPos;
        cr = true;
    }
    if (FPos < size && d[FPos] == '\n') {
        ++FPos;
        crlf = cr;
    }
    return true;
}

bool TRDFReader::ReadBinaryBlock(QByteArray& block)
{
    if (FData.size() - FPos < 4)
        return false;
    const int32_t length = qFromLittleEndian<int32_t>(FData.constData() + FPos);
    if (length < 0 || length > FData.size() - FPos - 4)
        return false;
    block = Piece(FPos + 4, length);
    FPos += 4 + length;
    return true;
}

bool TRDFReader::ReadUtf16Line(QByteArray& line)
{
    const char* d = FData.constData();
    for (qsizetype p = FPos; p + 1 < FData.size(); p += 2) {
        const char lo = d[p];
        const char hi = d[p + 1];
        if ((lo == '\x29' && hi == '\x20') || (lo == '\0' && hi == '\0')) {
            line = Piece(FPos, p - FPos);
            FPos = p + 2;
            return true;
        }
    }
    return false;  // no end of line before the end of the data
}

bool TRDFReader::MapTextStyle(int32_t& styleNo)
{
    if (styleNo == RDMaxInt || styleNo < 0)
        return true;
    const std::unique_ptr<TRDIntegerList>& map = *Maps.Text;
    TRDStyle* sheet = FDoc->GetRDStyle();
    bool bad = false;
    if (map) {
        if (styleNo >= map->Count())
            bad = true;
        else
            styleNo = map->GetItem(styleNo);
    }
    if (!bad && (!sheet || styleNo >= sheet->TextStyles().Count()))
        bad = true;
    if (!bad)
        return true;
    Warn(rdfwConvertedUnknownStyles);
    if (!(Options() & rdfoConvUnknownStylesToZero))
        return false;
    styleNo = 0;
    return true;
}

bool TRDFReader::MapParaStyle(int32_t& paraNo)
{
    if (paraNo < 0)
        return true;
    const std::unique_ptr<TRDIntegerList>& map = *Maps.Para;
    if (map) {
        if (paraNo >= map->Count()) {
            Warn(rdfwConvertedUnknownStyles);
            return false;
        }
        paraNo = map->GetItem(paraNo);
    }
    TRDStyle* sheet = FDoc->GetRDStyle();
    if (!sheet || paraNo >= sheet->ParaStyles().Count()) {
        Warn(rdfwConvertedUnknownStyles);
        if (!(Options() & rdfoConvUnknownStylesToZero))
            return false;
        paraNo = 0;
    }
    return true;
}

bool TRDFReader::ParseHeader(const QByteArray& line)
{
    FHeader = THeader();
    const char* p = line.constData();
    TRDStyle* sheet = FDoc->GetRDStyle();
    if (*p == '"') {
        QByteArray name;
        if (!RDFReadQuoted(p, name))
            return false;
        FHeader.StyleNo = 0;
        if (sheet)
            for (int i = 0; i < sheet->TextStyles().Count(); ++i)
                if (StringToAnsiKeepingBytes(sheet->TextStyles().TextStyleAt(i)->StyleName) == name) {
                    FHeader.StyleNo = i;
                    break;
                }
    } else if (!RDFReadInteger(p, FHeader.StyleNo)) {
        return false;
    }
    if (FHeader.StyleNo == RDFVersionRecord) {
        int32_t version = 0, subVersion = 0;
        if (!RDFReadInteger(p, version) || !RDFReadInteger(p, subVersion))
            return false;
        FVersion = version;
        FSubVersion = subVersion;
        return true;
    }
    if (!RDFReadInteger(p, FHeader.LineCount) || FHeader.LineCount < 0)
        return false;
    if (*p == '"') {
        QByteArray name;
        if (!RDFReadQuoted(p, name))
            return false;
        FHeader.ParaNo = 0;
        if (sheet)
            for (int i = 0; i < sheet->ParaStyles().Count(); ++i)
                if (StringToAnsiKeepingBytes(sheet->ParaStyles().ParaStyleAt(i)->StyleName) == name) {
                    FHeader.ParaNo = i;
                    break;
                }
    } else if (!RDFReadInteger(p, FHeader.ParaNo)) {
        return false;
    }
    const int32_t kind = FHeader.StyleNo;
    if (kind != RDFCheckpointRecord && kind != RDFBackgroundRecord && kind != RDFExtraDataRecord) {
        FHeader.Item = CreateItemByStyleNo(kind, FDoc);
        if (FHeader.Item)
            FHeader.Item->BeforeLoading(TRDLoadFormat::rdlfRDF);
    }
    if (FVersion > 0 && FSubVersion > 1) {
        int32_t options = 0;
        if (!RDFReadInteger(p, options))
            return false;
        if (FHeader.Item)
            FHeader.Item->ItemOptions = static_cast<uint8_t>(options & 15);
    }
    if (!RDFReadInteger(p, FHeader.DataMode) || FHeader.DataMode < 0 || FHeader.DataMode > 3)
        return false;
    if (!RDFReadTag(p, FTagsArePChars, FVersion > 1 || FSubVersion > 2, FHeader.Tag))
        return false;
    if (kind == RDFExtraDataRecord) {
        if (!RDFReadInteger(p, FHeader.Kind))
            return false;
        if (FHeader.Kind == 7)
            if (TRDDocParameters* params = FDoc->GetDocParameters(false))
                params->Reset();
    }
    if (FHeader.Item)
        FHeader.Item->Tag = FHeader.Tag;
    if (!RDFSkipStyleChecks) {
        if (kind >= 0 && !MapTextStyle(FHeader.StyleNo))
            return false;
        if (!MapParaStyle(FHeader.ParaNo))
            return false;
        if (FHeader.Item) {
            FHeader.Item->StyleNo = FHeader.StyleNo;
            FHeader.Item->ParaNo = FHeader.ParaNo;
        }
    } else if (FHeader.Item) {
        FHeader.Item->ParaNo = FHeader.ParaNo;
    }
    if (kind == RDFBackgroundRecord) {
        int32_t style = 0, color = 0;
        if (!RDFReadInteger(p, style) || !RDFReadInteger(p, color))
            return false;
        if ((Options() & rdfoLoadBack) && FWhole) {
            FColor = color;
            if (FBackground) {
                FBackground->Style = style >= 0 && style <= 8 ? static_cast<TBackgroundStyle>(style)
                                                               : TBackgroundStyle::bsNoBitmap;
                FBackground->FreeImage();
            }
        }
    } else if (kind == RDFCheckpointRecord) {
        int32_t value = 0;
        if (*p && RDFReadInteger(p, value))
            FHeader.RaiseEvent = value != 0;
        if (*p && RDFReadInteger(p, value))
            FHeader.Sticky = value != 0;
    } else if (FHeader.Item) {
        if (!FHeader.Item->ReadRDFHeaderTail(p, FDoc))
            return false;
    }
    return true;
}

void TRDFReader::Place(TCustomRDItemInfo* item, int paraNo)
{
    if (paraNo == -1) {
        if (FIndex > 0 && !FDoc->ItemAt(FIndex - 1)->GetBoolValue(0)) {
            item->SetContinuesPara(true);
            item->ParaNo = FDoc->ItemAt(FIndex - 1)->ParaNo;
        } else {
            item->ItemOptions &= ~rdioContinuesPara;
            item->ParaNo = 0;
        }
    } else {
        item->ItemOptions &= ~rdioContinuesPara;
        item->ParaNo = paraNo;
    }
}

void TRDFReader::AttachWaitingCheckpoint(TCustomRDItemInfo* item)
{
    if (!HasWaitingCP())
        return;
    std::unique_ptr<TRDCPInfo> cp = std::move(FOwnPendingWaiting ? FDoc->PendingCP : FWaitingCP);
    if (FOwnPendingWaiting) {
        --FDoc->CPCount;
        FOwnPendingWaiting = false;
    }
    if (!FInsertMode) {
        ++FDoc->CPCount;
        FDoc->AttachPendingCheckpoint(item, FLinkAfter, cp);
        FLinkAfter = item->Checkpoint.get();
    } else {
        cp->Item = item;
        item->Checkpoint = std::move(cp);
    }
}

bool TRDFReader::InsertReadItem(std::unique_ptr<TCustomRDItemInfo> owned, QByteArray text)
{
    TCustomRDItemInfo* item = owned.get();
    // An item with a text style of its own (a tab, a label) takes it through
    // the read's text style map; an unknown one drops the item, and the
    // checkpoint waiting for it, unless unknown styles become style 0.
    if (item->StyleNo < 0 && !RDFSkipStyleChecks) {
        int32_t associated = item->GetAssociatedTextStyleNo();
        if (associated >= 0) {
            if (!MapTextStyle(associated)) {
                if (!FOwnPendingWaiting)
                    FWaitingCP.reset();
                return true;
            }
            item->SetAssociatedTextStyleNo(associated);
        }
    }
    const int paraNo = item->ParaNo;
    Place(item, paraNo);
    item->UpdatePaletteInfo(FDoc->GetDoInPaletteMode(), false);
    AttachWaitingCheckpoint(item);
    if (item->StyleNo >= 0) {
        TRDStyle* sheet = FDoc->GetRDStyle();
        const int effective = FDoc->EffectiveStyleNo(*item);
        const bool styleUnicode = sheet && sheet->TextStyles().TextStyleAt(effective)->Unicode;
        if (item->ItemOptions & rdioUnicode) {
            if (text.size() % 2 != 0)
                return false;
            if (!styleUnicode) {
                text = Utf16ToAnsi(FDoc->CodePageOfStyle(effective), text);
                item->ItemOptions &= ~rdioUnicode;
                Warn(rdfwConvertedToAnsi);
            }
        } else if (styleUnicode) {
            text = AnsiToUtf16(FDoc->CodePageOfStyle(effective), text);
            item->ItemOptions |= rdioUnicode;
            Warn(rdfwConvertedToUnicode);
        }
    }
    // A marker's list goes through the read's list map.
    const int readListNo = MarkerListNoOf(item);
    const bool markerMapped = !RDFSkipStyleChecks && FDoc->MapReadMarkerListNo(item, Maps.List->get());
    if (FFirstItem) {
        FFirstItem = false;
        if (FPlaceFirst)
            Place(item, FFirstParaNo);
        int newListNo = -1;
        TCustomRDItemInfo* inserted = owned.release();
        if (!FDoc->InsertItem(FIndex, text, inserted, FInsertMode, FReformatAll, newListNo))
            return false;
        if (markerMapped && newListNo >= 0 && *Maps.List && readListNo >= 0 && readListNo < (*Maps.List)->Count())
            (*Maps.List)->SetItem(readListNo, newListNo);
        if (!inserted)
            return true;
    } else {
        TCustomRDItemInfo* inserted = owned.get();
        inserted->Inserting(FDoc, text, false);
        FDoc->FItems->insert(FDoc->FItems->begin() + FIndex, {text, std::move(owned)});
        inserted->Inserted(FDoc, FIndex);
        FDoc->AddSeqItemToList(FIndex);
        FDoc->AddMarkerToList(FIndex);
        ++FItemsAdded;
    }
    TCustomRDItemInfo* placed = FDoc->ItemAt(FIndex);
    ++FIndex;
    FDoc->DoControlItemAction(TRDControlAction::rdcaAfterRDFLoad, placed, FIndex - 1);
    if (!(FDoc->State & rdstLoadingRDFBlock))
        placed->AfterLoading(TRDLoadFormat::rdlfRDF);
    return true;
}

bool TRDFReader::InsertTextLine(const QByteArray& line)
{
    const TCustomRDItemInfo& tmpl = *FHeader.Item;
    QByteArray text = line;
    if (FHeader.DataMode == 3) {
        if (!RDFHexToString(line, text))
            return false;
    }
    TRDStyle* sheet = FDoc->GetRDStyle();
    if (FInsertMode && sheet
        && (sheet->TextStyles().TextStyleAt(FDoc->ResolveStyleNo(tmpl.StyleNo, std::max(tmpl.ParaNo, 0)))->Protection
            & rdprRDFInsertProtect))
        return true;
    // The last line of a record takes the record's own item (one line a
    // record is the common case in numbered lists), the others a copy.
    std::unique_ptr<TCustomRDItemInfo> item;
    if (FLineNo == FHeader.LineCount - 1) {
        item = std::move(FHeader.Item);
        item->Tag = CopyStringTag(item->Tag, FTagsArePChars);
        return InsertReadItem(std::move(item), text);
    }
    item.reset(TextItemClass(FDoc));
    item->BeforeLoading(TRDLoadFormat::rdlfRDF);
    item->AssignProperties(tmpl);
    item->Tag = CopyStringTag(tmpl.Tag, FTagsArePChars);
    return InsertReadItem(std::move(item), text);
}

namespace {

// Reads a style table into a new collection of the sheet's style class, then
// either replaces the sheet's collection (whole) or maps the styles read onto
// it; false for an empty table.
template <typename TInfos>
bool MergeStyleTable(TRDStyle& sheet, TInfos& target, const QByteArray& data, bool whole, int mode,
                     TRDIntegerList& map, const TRDIntegerList* textMap,
                     typename TInfos::TFactory factory)
{
    TInfos loaded(&sheet, std::move(factory));
    if constexpr (std::is_same_v<TInfos, TRDListInfos>)
        loaded.StreamingData = target.StreamingData;
    LoadStylesFromBytes(data, loaded);
    if (loaded.Count() == 0)
        return false;
    if (whole)
        target.Assign(loaded);
    else
        target.MergeStyles(loaded, mode, map, textMap);
    return true;
}

}  // namespace

bool TRDFReader::LoadStyleTable(TRDStyle& sheet, int kind, const QByteArray& data, TRDIntegerList& map,
                                const TRDIntegerList* textMap)
{
    const TRDFReaderStyleMode readMode =
        kind == 1 ? FDoc->GetRDFTextStylesReadMode() : FDoc->GetRDFParaStylesReadMode();
    const int mode = readMode == TRDFReaderStyleMode::rdf_sInsertMap ? rdMergeClosest : rdMergeEqual;
    if (kind == 1)
        return MergeStyleTable(sheet, sheet.TextStyles(), data, FWhole, mode, map, textMap,
                               [&sheet](const TRDInfoOwner* o) { return sheet.GetTextStyleClass(o); });
    if (kind == 2)
        return MergeStyleTable(sheet, sheet.ParaStyles(), data, FWhole, mode, map, textMap,
                               [&sheet](const TRDInfoOwner* o) { return sheet.GetParaStyleClass(o); });
    TRDListInfos& lists = sheet.ListStyles();
    lists.StreamingData = [doc = FDoc](int tag) { return doc->DoRDFImageListNeeded(tag); };
    lists.CopyListIds = FWhole;
    struct TReset {
        TRDListInfos& Lists;
        ~TReset()
        {
            Lists.StreamingData = nullptr;
            Lists.CopyListIds = false;
        }
    } reset{lists};
    return MergeStyleTable(sheet, lists, data, FWhole, mode, map, textMap,
                           [&sheet](const TRDInfoOwner* o) { return sheet.GetListStyleClass(o); });
}

bool TRDFReader::ReadExtraDataLine(const QByteArray& line)
{
    const int kind = FHeader.Kind;
    const bool loadProps = FWhole && (Options() & rdfoLoadDocProperties);
    if (kind == 5) {
        if (loadProps)
            if (QStringList* properties = FDoc->GetDocProperties())
                properties->append(AnsiToStringKeepingBytes(RDFDecodeLineBreaks(line)));
        return true;
    }
    if (kind == 7) {
        if (loadProps)
            if (TRDDocParameters* params = FDoc->GetDocParameters(true))
                params->ReadRDFLine(line);
        return true;
    }
    if (FLineNo != 1)
        return true;
    QByteArray data = line;
    if (FHeader.DataMode != 2 && !RDFHexToString(line, data))
        return false;
    if (kind == 1 || kind == 2 || kind == 4) {
        TRDStyle* sheet = FDoc->GetRDStyle();
        if (!sheet)
            return true;
        if (data.isEmpty() || static_cast<unsigned char>(data[0]) != 14)
            return false;
        const TRDFReaderStyleMode mode =
            kind == 1 ? FDoc->GetRDFTextStylesReadMode() : FDoc->GetRDFParaStylesReadMode();
        std::unique_ptr<TRDIntegerList>& map = kind == 1 ? *Maps.Text : kind == 2 ? *Maps.Para : *Maps.List;
        if (mode == TRDFReaderStyleMode::rdf_sIgnore || map)
            return true;
        auto made = std::make_unique<TRDIntegerList>();
        try {
            if (!LoadStyleTable(*sheet, kind, data, *made, Maps.Text->get()))
                return true;
        } catch (const ERichDocError&) {
            Warn(rdfwInvalidStyleTable);
            return true;
        }
        if (!FWhole)
            map = std::move(made);
        return true;
    }
    if (kind == 3) {
        if (FLayout && FWhole && (Options() & rdfoLoadLayout)) {
            FLayout->LoadFromBytes(data);
            if (FLayout->FirstParaAborted && FLayout->FirstMarkerListNo >= 0 && *Maps.List) {
                const TRDIntegerList& list = **Maps.List;
                FLayout->FirstMarkerListNo = FLayout->FirstMarkerListNo < list.Count()
                                                 ? list[FLayout->FirstMarkerListNo] : 0;
            }
        }
        return true;
    }
    if (kind == 6 && FWhole && (Options() & rdfoLoadLayout))
        return FDoc->LoadMarkerStateFromRDF(data, Maps.List->get());
    return true;
}

void TRDFReader::EndRecord()
{
    FState = TReadState::Header;
    FMode = TReadMode::Text;
    FHeader = THeader();
}

bool TRDFReader::HandleLine(const QByteArray& line)
{
    switch (FState) {
    case TReadState::TextRecord:
        return InsertTextLine(line);
    case TReadState::Checkpoint:
        if (!HasWaitingCP()) {
            FWaitingCP = std::make_unique<TRDCPInfo>();
            FWaitingCP->Name = AnsiToStringKeepingBytes(line);
            FWaitingCP->Tag = FHeader.Tag;
            FWaitingCP->RaiseEvent = FHeader.RaiseEvent;
            FWaitingCP->Sticky = FHeader.Sticky;
        }
        return true;
    case TReadState::ExtraData:
        return ReadExtraDataLine(line);
    case TReadState::Background:
        if (FLineNo == 1 && (Options() & rdfoLoadBack) && FWhole && FBackground) {
            QByteArray data = line;
            if (FHeader.DataMode != 2 && !RDFHexToString(line, data))
                return false;
            // A class this program does not know leaves no picture.
            std::unique_ptr<TGraphic> graphic = CreateGraphicHook(QString::fromLatin1(FBackgroundClass));
            if (graphic)
                graphic->LoadFromStream(data);
            FBackground->AssignImage(std::move(graphic));
        } else if (FLineNo == 0 && FBackground && (Options() & rdfoLoadBack) && FWhole) {
            FBackgroundClass = line;
        }
        return true;
    case TReadState::ItemRecord: {
        int readMode = 0;
        int readState = 0;
        if (!FHeader.Item->ReadRDFLine(line, FDoc, FHeader.DataMode, FLineNo, FHeader.LineCount, FItemName, readMode,
                                       readState))
            return false;
        if (readMode == 1)
            FMode = TReadMode::Binary;
        if (readState == 2)
            FState = TReadState::Skipping;
        return true;
    }
    case TReadState::Skipping:
    case TReadState::Header:
        return true;
    }
    return true;
}

bool TRDFReader::Read(const QByteArray& data)
{
    FData = data;
    FOptions = FDoc->GetRDFOptions();
    FTagsArePChars = FDoc->GetOptions() & rdoTagsArePChars;
    while (FPos < FData.size()) {
        QByteArray line;
        bool crlf = false;
        if (FState == TReadState::Header) {
            ReadTextLine(line, crlf);
            if (!ParseHeader(line))
                return false;
            if (FHeader.StyleNo == RDFVersionRecord)
                continue;
            const int kind = FHeader.StyleNo;
            if (FHeader.LineCount == 0) {
                if (FHeader.Item && kind != RDFCheckpointRecord && kind != RDFBackgroundRecord
                    && kind != RDFExtraDataRecord) {
                    if (!InsertReadItem(std::move(FHeader.Item), FItemName))
                        return false;
                } else if (HasWaitingCP() && kind != RDFCheckpointRecord) {
                    if (FOwnPendingWaiting) {
                        FDoc->PendingCP.reset();
                        --FDoc->CPCount;
                        FOwnPendingWaiting = false;
                    }
                    FWaitingCP.reset();
                }
                EndRecord();
                continue;
            }
            FLineNo = 0;
            FItemName.clear();
            if (kind >= 0 || kind == RDMaxInt)
                FState = TReadState::TextRecord;
            else if (kind == RDFCheckpointRecord)
                FState = TReadState::Checkpoint;
            else if (kind == RDFExtraDataRecord)
                FState = TReadState::ExtraData;
            else if (kind == RDFBackgroundRecord)
                FState = TReadState::Background;
            else if (FHeader.Item && FHeader.Item->GetBoolValue(2))
                FState = TReadState::ItemRecord;
            else
                FState = TReadState::Skipping;
            if (FState == TReadState::TextRecord && (FHeader.Item->ItemOptions & rdioUnicode)
                && FHeader.DataMode != 3)
                FMode = TReadMode::Utf16;
            else if (FState != TReadState::TextRecord && FHeader.DataMode == 2 && FHeader.LineCount == 1
                     && FState != TReadState::ItemRecord)
                FMode = TReadMode::Binary;
            if (FMode != TReadMode::Text && !crlf)
                return false;
            continue;
        }
        // The last line of an item that only reads it (a nested document) is
        // a view of the data: a copy at every level of nesting would hold the
        // rest of the data once more for each level.
        FViewPieces = FState == TReadState::ItemRecord && FHeader.Item && FLineNo == FHeader.LineCount - 1
                      && FHeader.Item->ReadsLastRDFLineInPlace();
        bool read = true;
        switch (FMode) {
        case TReadMode::Text: ReadTextLine(line, crlf); break;
        case TReadMode::Binary:
            read = ReadBinaryBlock(line);
            FMode = TReadMode::Text;
            break;
        case TReadMode::Utf16: read = ReadUtf16Line(line); break;
        }
        FViewPieces = false;
        if (!read || !HandleLine(line))
            return false;
        ++FLineNo;
        if (FLineNo >= FHeader.LineCount) {
            if (FHeader.Item && FState != TReadState::TextRecord) {
                if (!InsertReadItem(std::move(FHeader.Item), FItemName))
                    return false;
            }
            EndRecord();
            continue;
        }
        // The next line of a record that switches to a binary block.
        const bool nextIsLast = FLineNo == FHeader.LineCount - 1;
        if (FMode == TReadMode::Text && FHeader.DataMode == 2 && nextIsLast
            && (FState == TReadState::ExtraData || FState == TReadState::Background
                || FState == TReadState::Skipping)) {
            FMode = TReadMode::Binary;
            if (!crlf)
                return false;
        } else if (FMode == TReadMode::Binary && FState == TReadState::ItemRecord && !crlf) {
            return false;
        }
    }
    return FState == TReadState::Header;
}

void TRDFReader::Finish(bool success, int startIndex)
{
    // A marker never ends its paragraph.
    if (FIndex > 0 && FIndex - 1 < FDoc->ItemCount() && FDoc->ItemAt(FIndex - 1)->StyleNo == MarkerStyleNo
        && (FIndex == FDoc->ItemCount() || FDoc->StartsParagraph(FIndex))) {
        auto item = std::unique_ptr<TCustomRDItemInfo>(TextItemClass(FDoc));
        item->StyleNo = 0;
        item->SetContinuesPara(true);
        item->ParaNo = FDoc->ItemAt(FIndex - 1)->ParaNo;
        QByteArray text;
        item->Inserting(FDoc, text, false);
        FDoc->FItems->insert(FDoc->FItems->begin() + FIndex, {text, std::move(item)});
        ++FIndex;
    }
    if (!FInsertMode)
        FDoc->UnifyParaNoOfParagraph(startIndex);
    // A checkpoint read last becomes the document's pending one; the
    // document's own pending checkpoint stays where it is.
    if (FWaitingCP && !FOwnPendingWaiting && success && FIndex == FDoc->ItemCount() && !FDoc->PendingCP) {
        FDoc->PendingCP = std::move(FWaitingCP);
        ++FDoc->CPCount;
    }
}

namespace {

// How many reads are running inside one another on this thread.
thread_local int RDFReadDepth = 0;

struct TRDFReadDepthGuard {
    TRDFReadDepthGuard() { ++RDFReadDepth; }
    ~TRDFReadDepthGuard() { --RDFReadDepth; }
};

}  // namespace

bool RDFSkipStyleChecks = false;
bool RDFSaveNestedSelection = true;

bool TCustomRDData::LoadRDF(TRDStream& stream, int& index, int firstParaNo, bool wholeDocument, bool placeFirstItem,
                            bool insertMode, TColor& color, TRDBackground* background, TRDLayoutInfo* layoutInfo,
                            int& itemsAdded, bool& interrupted, bool& reformatAll, bool nestedRead)
{
    return LoadRDFData(&stream, nullptr, index, firstParaNo, wholeDocument, placeFirstItem, insertMode, color,
                       background, layoutInfo, itemsAdded, interrupted, reformatAll, nestedRead);
}

bool TCustomRDData::LoadRDFFromBytes(const QByteArray& data, int& index, int firstParaNo, bool wholeDocument,
                                     bool placeFirstItem, bool insertMode, TColor& color, TRDBackground* background,
                                     TRDLayoutInfo* layoutInfo, int& itemsAdded, bool& interrupted,
                                     bool& reformatAll, bool nestedRead)
{
    return LoadRDFData(nullptr, &data, index, firstParaNo, wholeDocument, placeFirstItem, insertMode, color,
                       background, layoutInfo, itemsAdded, interrupted, reformatAll, nestedRead);
}

bool TCustomRDData::LoadRDFData(TRDStream* stream, const QByteArray* bytes, int& index, int firstParaNo,
                                bool wholeDocument, bool placeFirstItem, bool insertMode, TColor& color,
                                TRDBackground* background, TRDLayoutInfo* layoutInfo, int& itemsAdded,
                                bool& interrupted, bool& reformatAll, bool nestedRead)
{
    interrupted = true;
    itemsAdded = 0;
    // Documents nested in items read their own RDF inside this read; a file
    // that nests them without end is refused.
    if (RDFReadDepth >= RDFMaxNestingDepth)
        return false;
    TRDFReadDepthGuard depth;
    if (index > ItemCount())
        index = ItemCount();
    if (index < 0)
        index = 0;
    const int startIndex = index;
    TRDFReader reader(this, index, firstParaNo, wholeDocument, placeFirstItem, insertMode, color, background,
                      layoutInfo, itemsAdded, reformatAll);
    if (index == ItemCount()) {
        reader.FLinkAfter = LastCP;
        if (!insertMode && PendingCP)
            reader.FOwnPendingWaiting = true;
    } else {
        reader.FLinkAfter = CheckpointBefore(index);
    }
    SetRDFLoadWarnings(0);
    if (wholeDocument)
        if (QStringList* properties = GetDocProperties())
            properties->clear();
    reader.Maps = GetRDFStyleMaps();
    bool result = false;
    try {
        QByteArray data;
        const int64_t remaining = stream ? stream->Size() - stream->Position() : 0;
        if (bytes) {
            data = *bytes;  // shared, or a view that stays one
        } else if (auto* memory = dynamic_cast<TRDMemoryStream*>(stream); memory && remaining > 0) {
            // A memory stream is read where it lies: pictures make documents
            // large, and a copy of all of it would be thrown away at once. The
            // reader copies every piece it keeps.
            data = QByteArray::fromRawData(memory->Memory() + memory->Position(), remaining);
            memory->Seek(remaining, 1);
        } else if (remaining > 0) {
            data.resize(remaining);
            stream->ReadBuffer(data.data(), remaining);
        }
        // The list grows as items come (no room is set aside by counting
        // lines: records of most kinds have many lines, and a list many times
        // too large was made, touched and copied again for every read).
        result = reader.Read(data);
        interrupted = false;
    } catch (const std::exception&) {
        result = false;
    }
    reader.Finish(result, startIndex);
    if (!nestedRead)
        FreeRDFStyleMaps();
    return result;
}

bool TCustomRDData::InsertFromRDF(TRDStream& stream, int index, TColor& color, TRDBackground* background,
                                  TRDLayoutInfo* layoutInfo, bool wholeDocument)
{
    int itemsAdded = 0;
    bool interrupted = false;
    bool reformatAll = false;
    return LoadRDF(stream, index, -1, wholeDocument, false, false, color, background, layoutInfo, itemsAdded,
                   interrupted, reformatAll, false);
}

bool TCustomRDData::LoadFromRDF(TRDStream& stream, TColor& color, TRDBackground* background, TRDLayoutInfo* layoutInfo)
{
    Clear();
    return InsertFromRDF(stream, 0, color, background, layoutInfo, true);
}

bool TCustomRDData::LoadRDFBlock(TRDStream& stream)
{
    char lengthBytes[4];
    if (stream.Read(lengthBytes, 4) != 4)
        return false;
    const int32_t length = qFromLittleEndian<int32_t>(lengthBytes);
    if (length < 0 || length > stream.Size() - stream.Position())
        return false;
    TRDMemoryStream block;
    block.SetSize(length);
    stream.ReadBuffer(block.Memory(), length);
    block.SetPosition(0);
    const uint32_t was = State & rdstLoadingRDFBlock;
    State |= rdstLoadingRDFBlock;
    TRDLayoutInfo layout;
    TColor color = clNone;
    bool result = false;
    try {
        result = LoadFromRDF(block, color, nullptr, &layout);
    } catch (...) {
        State = (State & ~rdstLoadingRDFBlock) | was;
        throw;
    }
    State = (State & ~rdstLoadingRDFBlock) | was;
    if (layout.Loaded)
        ApplyLayoutInfo(layout);
    return result;
}

void TCustomRDData::ApplyLayoutInfo(const TRDLayoutInfo& layoutInfo)
{
    if (layoutInfo.FirstParaAborted) {
        State |= rdstFirstParaAborted;
        FirstParaMarkerListNo = layoutInfo.FirstMarkerListNo;
        FirstParaMarkerLevel = layoutInfo.FirstMarkerLevel;
    } else {
        State &= ~rdstFirstParaAborted;
        FirstParaMarkerListNo = -1;
        FirstParaMarkerLevel = -1;
    }
    if (layoutInfo.LastParaAborted)
        State |= rdstLastParaAborted;
    else
        State &= ~rdstLastParaAborted;
}
