// Writing documents as RDF.

#include <algorithm>
#include <charconv>

#include <QtCore/QtEndian>

#include "AnsiText.h"
#include "document/CRDData.h"
#include "document/RDBack.h"
#include "document/RDDocParams.h"
#include "document/RDFDocIO.h"
#include "core/RDFStream.h"
#include "styles/RDStyleStream.h"

// The layout block.

QByteArray TRDLayoutInfo::SaveToBytes(bool ownRoot) const
{
    QByteArray body;
    auto put = [&](int32_t v) {
        char b[4];
        qToLittleEndian(v, b);
        body.append(b, 4);
    };
    if (ownRoot) {
        for (int32_t v : {LeftMargin, RightMargin, TopMargin, BottomMargin, MinTextWidth, MaxTextWidth})
            put(v);
        body.append(static_cast<char>(BiDiMode));
    }
    if (FirstParaAborted || LastParaAborted) {
        put(FirstParaAborted ? 1 : 0);
        put(LastParaAborted ? 1 : 0);
        put(FirstMarkerListNo);
        put(FirstMarkerLevel);
    }
    QByteArray block;
    char b[4];
    qToLittleEndian<int32_t>(ownRoot ? 0 : 1, b);
    block.append(b, 4);
    qToLittleEndian<int32_t>(static_cast<int32_t>(body.size()), b);
    block.append(b, 4);
    return block + body;
}

void TRDLayoutInfo::LoadFromBytes(const QByteArray& data)
{
    auto get = [&](qsizetype at) { return qFromLittleEndian<int32_t>(data.constData() + at); };
    if (data.size() < 8)
        throw ERichDocError("Invalid RDF format");
    const int32_t form = get(0);
    const int32_t size = get(4);
    if (size < 0 || size > data.size() - 8 || (form != 0 && form != 1))
        throw ERichDocError("Invalid RDF format");
    qsizetype at = 8;
    if (form == 0) {
        if (size < 25)
            throw ERichDocError("Invalid RDF format");
        // The viewer adds margins and widths up: bounded, as they come from
        // anywhere.
        const auto extent = [&](qsizetype i) { return std::clamp(get(i), 0, RDFMaxLayoutExtent); };
        LeftMargin = extent(at);
        RightMargin = extent(at + 4);
        TopMargin = extent(at + 8);
        BottomMargin = extent(at + 12);
        MinTextWidth = extent(at + 16);
        MaxTextWidth = extent(at + 20);
        const auto bidi = static_cast<uint8_t>(data[at + 24]);
        BiDiMode = bidi <= 2 ? static_cast<TRDBiDiMode>(bidi) : TRDBiDiMode::rdbdUnspecified;
        at += 25;
    }
    const qsizetype end = 8 + size;
    if (end - at >= 16) {
        FirstParaAborted = get(at) != 0;
        LastParaAborted = get(at + 4) != 0;
        FirstMarkerListNo = get(at + 8);
        FirstMarkerLevel = get(at + 12);
    } else if (end != at) {
        throw ERichDocError("Invalid RDF format");
    }
    Loaded = true;
}

// Header pieces.

// A document's names keep their bytes (what it read back compares them so).
QByteArray RDFParaStyleToString(TCustomRDData* rdData, int paraNo)
{
    TRDStyle* sheet = rdData->GetRDStyle();
    if (!sheet)
        return QByteArray::number(paraNo);
    return RDFStyleField(sheet->ParaStyles(), (rdData->GetRDFOptions() & rdfoUseStyleNames) != 0, paraNo,
                         [](const QString& name) { return StringToAnsiKeepingBytes(name); });
}

QByteArray RDFTextStyleToString(TCustomRDData* rdData, int styleNo)
{
    TRDStyle* sheet = rdData->GetRDStyle();
    if (!sheet)
        return QByteArray::number(styleNo);
    return RDFStyleField(sheet->TextStyles(), (rdData->GetRDFOptions() & rdfoUseStyleNames) != 0, styleNo,
                         [](const QString& name) { return StringToAnsiKeepingBytes(name); });
}

void RDFWriteItemHeader(TRDStream& stream, TCustomRDData* rdData, int styleNo, int lineCount, int paraNo,
                        uint8_t options, int dataMode, const TRDTag& tag, const QByteArray& tail)
{
    const bool tagsArePChars = rdData->GetOptions() & rdoTagsArePChars;
    RDFWriteLine(stream, QByteArray::number(styleNo) + ' ' + QByteArray::number(lineCount) + ' '
                             + RDFParaStyleToString(rdData, paraNo) + ' ' + QByteArray::number(options & 15) + ' '
                             + QByteArray::number(dataMode) + ' ' + RDFTagToString(tagsArePChars, tag) + ' ' + tail);
}

// The writer.

class TRDFWriter {
public:
    TRDFWriter(TCustomRDData* doc, TRDStream& stream, int scope)
        : FDoc(doc), FStream(stream), FScope(scope), FOptions(doc->GetRDFOptions()),
          FTagsArePChars(doc->GetOptions() & rdoTagsArePChars)
    {
    }

    void Write(TRDLayoutInfo* layoutInfo, TRDBackground* background, TColor color);

private:
    bool Binary() const { return FOptions & rdfoSaveBinary; }
    void WriteObjectLine(const QByteArray& bytes);
    void WriteStyleTable(int kind);
    void WriteCheckpoint(const TRDCPInfo& cp);
    void WriteTextHeader(const TCustomRDItemInfo& first, int count, int paraNo, uint8_t options, bool unicode);
    void FlushGroup();
    void WriteRange(const TRDSaveRange& range);
    void WritePartItem(int itemNo, int partCode);
    void WriteTextPart(int itemNo, int startOffs, int endOffs);
    bool CanJoinGroup(int itemNo) const;

    TCustomRDData* FDoc;
    TRDStream& FStream;
    int FScope;
    TRDFOptions FOptions;
    bool FTagsArePChars;
    std::vector<int> FGroup;
    int FGroupParaNo = 0;
    bool FMarkerBefore = false;
};

void TRDFWriter::WriteObjectLine(const QByteArray& bytes)
{
    if (Binary()) {
        RDFWriteBinaryBlock(FStream, bytes);
    } else {
        QByteArray hex;
        RDFStringToHex(bytes, hex);
        RDFWriteLine(FStream, hex);
    }
}

void TRDFWriter::WriteStyleTable(int kind)
{
    TRDStyle* sheet = FDoc->GetRDStyle();
    if (!sheet)
        return;
    RDFWriteLine(FStream, QByteArray::number(RDFExtraDataRecord) + " 2 0 0 " + QByteArray::number(Binary() ? 2 : 0)
                              + " 0 " + QByteArray::number(kind));
    RDFWriteLine(FStream, QByteArray());
    QByteArray table;
    if (kind == 1) {
        table = SaveStylesToBytes(sheet->TextStyles());
    } else if (kind == 2) {
        table = SaveStylesToBytes(sheet->ParaStyles());
    } else {
        // List levels with pictures reach the document while they are written.
        sheet->ListStyles().StreamingData = [doc = FDoc](int tag) { return doc->DoRDFImageListNeeded(tag); };
        try {
            table = SaveStylesToBytes(sheet->ListStyles());
        } catch (...) {
            sheet->ListStyles().StreamingData = nullptr;
            throw;
        }
        sheet->ListStyles().StreamingData = nullptr;
    }
    WriteObjectLine(table);
}

void TRDFWriter::WriteCheckpoint(const TRDCPInfo& cp)
{
    RDFWriteLine(FStream, QByteArray::number(RDFCheckpointRecord) + " 1 0 0 0 "
                              + RDFTagToString(FTagsArePChars, cp.Tag) + ' '
                              + QByteArray::number(cp.RaiseEvent ? 1 : 0) + ' ' + QByteArray::number(cp.Sticky ? 1 : 0));
    RDFWriteLine(FStream, StringToAnsiKeepingBytes(cp.Name));
}

void TRDFWriter::WriteTextHeader(const TCustomRDItemInfo& first, int count, int paraNo, uint8_t options, bool unicode)
{
    const int dataMode = unicode && !Binary() ? 3 : 0;
    if (!(FOptions & rdfoUseStyleNames) && !FTagsArePChars && first.Hint.isEmpty()) {
        // The common header, built without allocating.
        // Six numbers of at most 11 characters and their separators fit.
        char line[96];
        char* p = line;
        char* const end = line + sizeof(line) - 2;
        auto put = [&](char c) {
            if (p < end)
                *p++ = c;
        };
        auto number = [&](int value) {
            p = std::to_chars(p, end, value).ptr;
            put(' ');
        };
        number(first.StyleNo);
        number(count);
        number(paraNo);
        number(options & 15);
        number(dataMode);
        p = std::to_chars(p, end, first.Tag.Int).ptr;
        p[0] = '\r';
        p[1] = '\n';
        p += 2;
        FStream.WriteBuffer(line, p - line);
        return;
    }
    QByteArray line = RDFTextStyleToString(FDoc, first.StyleNo) + ' ' + QByteArray::number(count) + ' '
                      + RDFParaStyleToString(FDoc, paraNo) + ' ' + QByteArray::number(options & 15) + ' '
                      + QByteArray::number(dataMode) + ' ' + RDFTagToString(FTagsArePChars, first.Tag);
    if (!first.Hint.isEmpty())
        line += ' ' + RDFQuoted(StringToAnsiKeepingBytes(first.Hint));
    RDFWriteLine(FStream, line);
}

bool TRDFWriter::CanJoinGroup(int itemNo) const
{
    if (FGroup.empty())
        return false;
    const TCustomRDItemInfo* item = FDoc->ItemAt(itemNo);
    const TCustomRDItemInfo* first = FDoc->ItemAt(FGroup.front());
    return item->StyleNo >= 0 && first->StyleNo >= 0 && item->StyleNo == first->StyleNo
           && item->ParaNo == first->ParaNo && (item->ItemOptions & 15) == (first->ItemOptions & 15)
           && SameTags(item->Tag, first->Tag, FTagsArePChars) && item->Hint == first->Hint && !item->Checkpoint
           && !item->ContinuesPara() && FGroupParaNo != -1;
}

void TRDFWriter::FlushGroup()
{
    if (FGroup.empty())
        return;
    const TCustomRDItemInfo* first = FDoc->ItemAt(FGroup.front());
    if (first->Checkpoint)
        WriteCheckpoint(*first->Checkpoint);
    const bool unicode = first->ItemOptions & rdioUnicode;
    const bool hex = unicode && !Binary();
    size_t from = 0;
    if (FMarkerBefore) {
        const uint8_t options = (first->ItemOptions | rdioContinuesPara) & ~(rdioPageBreakBefore | rdioLineBreakBefore);
        WriteTextHeader(*first, 1, -1, options, unicode);
        RDFWriteTextLine(FStream, FDoc->TextOfItem(FGroup.front()), unicode, hex);
        from = 1;
        FMarkerBefore = false;
    }
    if (from < FGroup.size()) {
        WriteTextHeader(*first, static_cast<int>(FGroup.size() - from), FGroupParaNo, first->ItemOptions, unicode);
        for (size_t k = from; k < FGroup.size(); ++k)
            RDFWriteTextLine(FStream, FDoc->TextOfItem(FGroup[k]), unicode, hex);
    }
    FGroup.clear();
}

void TRDFWriter::WriteTextPart(int itemNo, int startOffs, int endOffs)
{
    const TCustomRDItemInfo* item = FDoc->ItemAt(itemNo);
    const bool atStart = startOffs <= FDoc->StartOffsetOf(itemNo);
    if (atStart && item->Checkpoint)
        WriteCheckpoint(*item->Checkpoint);
    TRDStyle* sheet = FDoc->GetRDStyle();
    const int effective = FDoc->EffectiveStyleNo(*item);
    const bool unicode = (item->ItemOptions & rdioUnicode) || (sheet && sheet->TextStyles().TextStyleAt(effective)->Unicode);
    uint8_t options = item->ItemOptions;
    if (unicode)
        options |= rdioUnicode;
    const int paraNo = (!atStart || item->ContinuesPara()) && !(FScope == 2) ? -1 : item->ParaNo;
    WriteTextHeader(*item, 1, paraNo, options, unicode);
    const QByteArray& text = FDoc->TextOfItem(itemNo);
    const QByteArray part = CharCopy(text, startOffs, endOffs - startOffs, item->ItemOptions);
    RDFWriteTextLine(FStream, part, unicode, unicode && !Binary());
}

void TRDFWriter::Write(TRDLayoutInfo* layoutInfo, TRDBackground* background, TColor color)
{
    RDFWriteLine(FStream, QByteArray::number(RDFVersionRecord) + ' ' + QByteArray::number(RDFVersion) + ' '
                              + QByteArray::number(RDFSubVersion));
    if (FScope != 1 && (FOptions & rdfoSaveBack) && background) {
        const QByteArray tail = QByteArray::number(static_cast<int>(background->Style)) + ' ' + QByteArray::number(color);
        const TGraphic* image = background->GetImage();
        if (!image || image->SaveToStream().isEmpty() || background->Style == TBackgroundStyle::bsNoBitmap) {
            RDFWriteLine(FStream, QByteArray::number(RDFBackgroundRecord) + " 0 -1 0 0 0 " + tail);
        } else {
            RDFWriteLine(FStream, QByteArray::number(RDFBackgroundRecord) + " 2 0 0 "
                                      + QByteArray::number(Binary() ? 2 : 0) + " 0 " + tail);
            RDFWriteLine(FStream, image->ClassName().toLatin1());
            WriteObjectLine(image->SaveToStream());
        }
    }
    const bool ownRoot = FDoc->GetRootData() == FDoc;
    if ((FDoc->GetControlFlags() & rdcfMainDocument) || FScope == 1) {
        if (FOptions & rdfoSaveTextStyles)
            WriteStyleTable(1);
        if ((FOptions & rdfoSaveParaStyles) && ownRoot) {
            WriteStyleTable(2);
            WriteStyleTable(4);
        }
        if ((FOptions & rdfoSaveDocProperties) && FScope != 2) {
            QStringList* properties = FDoc->GetDocProperties();
            if (properties && !properties->isEmpty()) {
                RDFWriteLine(FStream, QByteArray::number(RDFExtraDataRecord) + ' '
                                          + QByteArray::number(properties->size()) + " 0 0 0 0 5");
                for (const QString& p : *properties)
                    RDFWriteLine(FStream, RDFEncodeLineBreaks(StringToAnsiKeepingBytes(p)));
            }
            TRDDocParameters* params = FDoc->GetDocParameters(false);
            const int lines = params ? params->StoredValueCount() : 0;
            RDFWriteLine(FStream,
                         QByteArray::number(RDFExtraDataRecord) + ' ' + QByteArray::number(lines) + " 0 0 0 0 7");
            if (params)
                params->WriteRDFLines(FStream);
        }
    }
    TRDSaveRange range;
    FDoc->GetSaveRange(FScope, range);
    if (FScope == 2 && layoutInfo && range.StartItemNo >= 0 && range.EndItemNo >= range.StartItemNo) {
        const int s = range.StartItemNo;
        layoutInfo->FirstParaAborted = range.StartOffs > FDoc->StartOffsetOf(s) || !FDoc->StartsParagraph(s);
        const int e = range.EndItemNo;
        layoutInfo->LastParaAborted = range.EndOffs < FDoc->EndOffsetOf(e)
                                      || (e + 1 < FDoc->ItemCount() && !FDoc->StartsParagraph(e + 1));
        if (layoutInfo->FirstParaAborted)
            FDoc->FillLayoutMarkerInfo(*layoutInfo, s);
        FDoc->SaveMarkerStateBefore(FStream, s, Binary());
    }
    if (FScope != 1 && (FOptions & rdfoSaveLayout) && layoutInfo) {
        RDFWriteLine(FStream,
                     QByteArray::number(RDFExtraDataRecord) + " 2 0 0 " + QByteArray::number(Binary() ? 2 : 0) + " 0 3");
        RDFWriteLine(FStream, QByteArray());
        QByteArray block = layoutInfo->SaveToBytes(ownRoot);
        WriteObjectLine(block);
    }
    if (FScope == 1)
        if (TCustomRDData* chosen = FDoc->GetChosenSubData()) {
            chosen->SaveRDF(FStream, 1, nullptr, nullptr, clNone);
            return;
        }
    if (range.NestedItem) {
        // The selection lies inside one item that holds documents.
        if (RDFSaveNestedSelection)
            range.NestedItem->SaveRDFSelection(FStream, FDoc, range.NestedItem->ParaNo);
        return;
    }
    if (range.StartItemNo == -1 || range.EndItemNo < range.StartItemNo)
        return;
    if (range.StartItemNo == range.EndItemNo && FDoc->ItemAt(range.StartItemNo)->StyleNo >= 0
        && (range.StartOffs > FDoc->StartOffsetOf(range.StartItemNo)
            || range.EndOffs < FDoc->EndOffsetOf(range.StartItemNo))) {
        WriteTextPart(range.StartItemNo, range.StartOffs, range.EndOffs);
        return;
    }
    // Items selected only in part inside (cells of a table) write that part
    // themselves, told which end they are by the part codes.
    int lastPartItem = -1;
    if (range.FirstPartCode != 0) {
        WritePartItem(range.StartItemNo, range.FirstPartCode);
        ++range.StartItemNo;
        if (range.StartItemNo < FDoc->ItemCount())
            range.StartOffs = FDoc->StartOffsetOf(range.StartItemNo);
    }
    if (range.LastPartCode != 0 && range.EndItemNo >= range.StartItemNo) {
        lastPartItem = range.EndItemNo;
        --range.EndItemNo;
        if (range.EndItemNo >= 0)
            range.EndOffs = FDoc->EndOffsetOf(range.EndItemNo);
    }
    WriteRange(range);
    if (lastPartItem >= 0)
        WritePartItem(lastPartItem, range.LastPartCode);
}

void TRDFWriter::WritePartItem(int itemNo, int partCode)
{
    const TCustomRDItemInfo* item = FDoc->ItemAt(itemNo);
    if (item->Checkpoint)
        WriteCheckpoint(*item->Checkpoint);
    item->SaveRDF(FStream, FDoc, itemNo, item->ContinuesPara() ? -1 : item->ParaNo, FDoc->TextOfItem(itemNo), false,
                  partCode);
}

void TRDFWriter::WriteRange(const TRDSaveRange& range)
{
    const int first = range.StartItemNo;
    const int last = range.EndItemNo;
    if (last < first)
        return;
    if (FScope == 1) {
        const int paraStart = FDoc->FirstItemOfPara(first);
        if (paraStart != first && FDoc->ItemAt(paraStart)->StyleNo == MarkerStyleNo) {
            const TCustomRDItemInfo* marker = FDoc->ItemAt(paraStart);
            marker->SaveRDF(FStream, FDoc, paraStart, marker->ParaNo, FDoc->TextOfItem(paraStart), false, 0);
            FMarkerBefore = true;
        }
    }
    int lastPartEnd = -1;
    for (int i = first; i <= last; ++i) {
        const TCustomRDItemInfo* item = FDoc->ItemAt(i);
        if (i == first && item->StyleNo >= 0 && (range.StartOffs > FDoc->StartOffsetOf(i) || FScope == 2)) {
            const int end = (i == last) ? range.EndOffs : FDoc->EndOffsetOf(i);
            WriteTextPart(i, range.StartOffs, end);
            continue;
        }
        if (i == first && range.StartOffs > FDoc->StartOffsetOf(i))
            continue;
        if (i == last && i != first && item->StyleNo >= 0 && range.EndOffs < FDoc->EndOffsetOf(i)) {
            lastPartEnd = range.EndOffs;
            break;
        }
        if (i != first && CanJoinGroup(i)) {
            FGroup.push_back(i);
            continue;
        }
        FlushGroup();
        if (item->StyleNo >= 0) {
            FGroup.push_back(i);
            FGroupParaNo = item->ContinuesPara() ? -1 : item->ParaNo;
            continue;
        }
        if (i == last && range.EndOffs == 0)
            break;
        if (item->Checkpoint)
            WriteCheckpoint(*item->Checkpoint);
        item->SaveRDF(FStream, FDoc, i, item->ContinuesPara() ? -1 : item->ParaNo, FDoc->TextOfItem(i), FMarkerBefore,
                      0);
        FMarkerBefore = false;
    }
    FlushGroup();
    if (lastPartEnd >= 0) {
        WriteTextPart(last, FDoc->StartOffsetOf(last), lastPartEnd);
    } else if (last == FDoc->ItemCount() - 1 && range.EndOffs >= FDoc->EndOffsetOf(last) && FDoc->PendingCP) {
        WriteCheckpoint(*FDoc->PendingCP);
    }
}

bool TCustomRDData::SaveRDFToStream(TRDStream& stream, bool selectionOnly, TRDLayoutInfo* layoutInfo,
                                    TRDBackground* background, TColor color)
{
    return SaveRDF(stream, SaveScopeOf(selectionOnly), layoutInfo, background, color);
}

bool TCustomRDData::SaveRDF(TRDStream& stream, int scope, TRDLayoutInfo* layoutInfo, TRDBackground* background,
                            TColor color)
{
    if (ItemCount() == 0)
        return true;
    try {
        TRDFWriter writer(this, stream, scope);
        writer.Write(layoutInfo, background, color);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool TCustomRDData::SaveRDFBlock(TRDStream& stream)
{
    const int64_t start = stream.Position();
    const int32_t placeholder = 0;
    stream.WriteBuffer(&placeholder, 4);
    const TRDFOptions options = GetRDFOptions();
    if (options & rdfoSaveBack)
        SetRDFOptions(options & ~rdfoSaveBack);
    bool result = false;
    try {
        result = GetActiveData()->SaveRDFToStream(stream, false, nullptr, nullptr, clNone);
    } catch (...) {
        SetRDFOptions(options);
        throw;
    }
    SetRDFOptions(options);
    const int64_t end = stream.Position();
    char length[4];
    qToLittleEndian<int32_t>(static_cast<int32_t>(end - start - 4), length);
    stream.SetPosition(start);
    stream.WriteBuffer(length, 4);
    stream.SetPosition(end);
    return result;
}
