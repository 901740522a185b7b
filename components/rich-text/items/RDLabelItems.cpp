#include "items/RDLabelItems.h"

#include <algorithm>

#include <QtGui/QFontMetrics>
#include <QtGui/QImage>
#include <QtGui/QPainter>

#include "AnsiText.h"
#include "document/CRDData.h"
#include "Graphics.h"
#include "core/RDError.h"
#include "document/RDFDocIO.h"
#include "core/RDFStream.h"
#include "core/RDFormat.h"
#include "items/RDPictureItems.h"
#include "core/RDGraphUtils.h"
#include "items/RDMarkerItems.h"
#include "core/RDMarkup.h"
#include "document/RDTextItems.h"

namespace {

bool UseStylePixelsPerInch(TCustomRDData* rdData)
{
    return rdData && (rdData->GetControlFlags() & (1 << 10));
}

// A canvas on the screen: labels are measured at its resolution.
struct TScreenCanvas {
    TScreenCanvas() : Image(1, 1, QImage::Format_RGB32)
    {
        const int dpm = qRound(GetScreenPixelsPerInch() / 0.0254);
        Image.setDotsPerMeterX(dpm);
        Image.setDotsPerMeterY(dpm);
        Painter.begin(&Image);
    }
    ~TScreenCanvas() { Painter.end(); }
    QImage Image;
    QPainter Painter;
};


}  // namespace

// Labels.

TRDLabelItemInfo::TRDLabelItemInfo(TCustomRDData* rdData) : TRDRectItemInfo(rdData)
{
    StyleNo = LabelStyleNo;
    Spacing = 1;
    Document = rdData;
    UseStylePPI = UseStylePixelsPerInch(rdData);
}

TRDLabelItemInfo::TRDLabelItemInfo(TCustomRDData* rdData, const QString& text, int textStyleNo)
    : TRDLabelItemInfo(rdData)
{
    VAlign = TRDItemVAlign::ivaBaseline;
    Text = text;
    TextStyleNo = textStyleNo;
}

void TRDLabelItemInfo::SetMinWidth(int32_t value)
{
    if (value == FMinWidth)
        return;
    FMinWidth = value;
    Measured = false;
}

void TRDLabelItemInfo::MeasureLabel() const
{
    TRDStyle* sheet = Document ? Document->GetRDStyle() : nullptr;
    if (!sheet || Measured)
        return;
    auto* self = const_cast<TRDLabelItemInfo*>(this);
    TScreenCanvas screen;
    TCanvas canvas(screen.Painter);
    sheet->ApplyStyle(canvas, TextStyleNo, TRDBiDiMode::rdbdUnspecified, UseStylePPI, nullptr, false);
    const QFontMetrics metrics(canvas.Font.ToQFont(), &screen.Image);
    self->Descent = metrics.descent();
    self->Height = metrics.height();
    self->Width = std::max(metrics.horizontalAdvance(Text), FMinWidth);
    self->Measured = true;
}

int TRDLabelItemInfo::GetTextWidthOn(TCanvas& canvas, TCustomRDData* rdData) const
{
    TRDStyle* sheet = rdData ? rdData->GetRDStyle() : nullptr;
    if (!sheet)
        return 0;
    sheet->ApplyStyle(canvas, TextStyleNo, TRDBiDiMode::rdbdUnspecified, UseStylePixelsPerInch(rdData), nullptr,
                      false);
    const QFontMetrics metrics(canvas.Font.ToQFont(), canvas.Painter().device());
    return metrics.horizontalAdvance(GetDisplayText(rdData, nullptr));
}

int TRDLabelItemInfo::GetMinWidth(const TRDResolutionInfo* scaling, TCanvas*, TCustomRDData*) const
{
    MeasureLabel();
    const int w = std::max(Width, FMinWidth);
    return scaling ? ScaleToDeviceX(w, scaling) : w;
}

int TRDLabelItemInfo::GetWidthEx() const
{
    MeasureLabel();
    return Width;
}

int TRDLabelItemInfo::GetHeightEx() const
{
    MeasureLabel();
    return Height;
}

bool TRDLabelItemInfo::GetBoolValue(int id) const
{
    if (id == 3 || id == 5)
        return true;
    if (id >= 12)
        return !ProtectTextStyleNo;
    return TRDRectItemInfo::GetBoolValue(id);
}

bool TRDLabelItemInfo::GetBoolValueEx(int id, const TRDStyle* rdStyle) const
{
    switch (id) {
    case 0: return rdStyle && rdStyle->FieldHighlightType == TRDFieldHighlightType::rdfhCurrent;
    case 1: return false;
    case 2:
    case 3:
    case 5: return rdStyle && rdStyle->TextStyles().TextStyleAt(TextStyleNo)->Jump;
    case 4:
        return rdStyle && rdStyle->TextStyles().TextStyleAt(TextStyleNo)->Jump
               && const_cast<TRDStyle*>(rdStyle)->StyleHoverSensitive(TextStyleNo);
    case 6: return true;
    default: return TRDRectItemInfo::GetBoolValueEx(id, rdStyle);
    }
}

void TRDLabelItemInfo::Inserted(TCustomRDData* rdData, int)
{
    SetDocument(rdData);
    UseStylePPI = UseStylePixelsPerInch(rdData);
}

void TRDLabelItemInfo::MovingToUndoList(int itemNo, TCustomRDData* rdData, TRDUndoInfo* undoInfo)
{
    TRDRectItemInfo::MovingToUndoList(itemNo, rdData, undoInfo);
    if (undoInfo)
        SetDocument(undoInfo->GetRDData());
}

void TRDLabelItemInfo::MovingFromUndoList(int itemNo, TCustomRDData* rdData)
{
    TRDRectItemInfo::MovingFromUndoList(itemNo, rdData);
    SetDocument(rdData);
}

bool TRDLabelItemInfo::MouseMove(int x, int y, int itemNo, TCustomRDData* rdData)
{
    TRDRectItemInfo::MouseMove(x, y, itemNo, rdData);
    if (Cursor == 0)
        return false;
    if (rdData)
        rdData->SetParentCursor(Cursor);
    return true;
}

void TRDLabelItemInfo::Execute(TCustomRDData* rdData)
{
    // A jump is acted on by the formatted document, which overrides the slot
    // of its items; the document core has nothing to do.
    (void)rdData;
}

void TRDLabelItemInfo::ApplyStyleConversionDefault(TCustomRDData* rdData, int, int userData)
{
    if (ProtectTextStyleNo)
        return;
    if (rdData)
        rdData->ConvertStyleNo(TextStyleNo, ParaNo, userData);
    Measured = false;
}

void TRDLabelItemInfo::MarkStylesInUse(TRDStyleUsage& usage) const
{
    TRDRectItemInfo::MarkStylesInUse(usage);
    if (TextStyleNo >= 0 && TextStyleNo < usage.TextUsed.Count())
        usage.TextUsed.SetItem(TextStyleNo, 1);
}

void TRDLabelItemInfo::UpdateStyles(const TRDStyleMaps& maps)
{
    TRDRectItemInfo::UpdateStyles(maps);
    if (TextStyleNo >= 0 && TextStyleNo < maps.TextMap.Count())
        TextStyleNo = TextStyleNo + 1 - maps.TextMap[TextStyleNo];
    Measured = false;
}

void TRDLabelItemInfo::AssignProperties(const TCustomRDItemInfo& source)
{
    if (auto* s = dynamic_cast<const TRDLabelItemInfo*>(&source)) {
        TextStyleNo = s->TextStyleNo;
        Text = s->Text;
        ProtectTextStyleNo = s->ProtectTextStyleNo;
        SetMinWidth(s->FMinWidth);
        Alignment = s->Alignment;
        Cursor = s->Cursor;
        Measured = false;
    }
    TRDRectItemInfo::AssignProperties(source);
}

QByteArray TRDLabelItemInfo::SaveToHTML(TCustomRDData*, int, TRDHTMLImageContext&) const
{
    return EscapeHtmlText(StringToAnsiKeepingBytes(Text), false);
}

QByteArray TRDLabelItemInfo::SaveRTF(TCustomRDData*, int, TRDRTFExportContext&) const
{
    return RtfEscapeText(StringToAnsiKeepingBytes(Text), false, false);
}

QByteArray TRDLabelItemInfo::AsText(int, TCustomRDData*, bool, bool, const QString&, const QByteArray&) const
{
    return StringToAnsiKeepingBytes(Text);
}

void TRDLabelItemInfo::DrawLabelText(const QRect& rect, TCanvas& canvas, const QString& text, TRDStyle* rdStyle,
                                     uint16_t state) const
{
    if (!rdStyle)
        return;
    rdStyle->ApplyStyle(canvas, TextStyleNo, TRDBiDiMode::rdbdUnspecified, state & rdisStylePixelsPerInch, nullptr,
                        false);
    TRDTextDrawStates drawState = 0;
    if (state & rdisSelected)
        drawState |= rdtsSelected;
    if (state & rdisHover)
        drawState |= rdtsHover;
    if (state & rdisControlFocused)
        drawState |= rdtsControlFocused;
    rdStyle->ApplyStyleColor(canvas, TextStyleNo, drawState, false, rdcmScreen);
    const bool selected = state & rdisSelected;
    if (!selected
        && (rdStyle->FieldHighlightType == TRDFieldHighlightType::rdfhAlways
            || (rdStyle->FieldHighlightType == TRDFieldHighlightType::rdfhCurrent && (state & rdisCurrent)
                && (state & rdisControlFocused)))) {
        canvas.BrushStyle = TBrushStyle::Solid;
        canvas.BrushColor = rdStyle->FieldHighlightColor;
    }
    if (canvas.BrushStyle != TBrushStyle::Clear && canvas.BrushColor != clNone)
        canvas.FillRect(rect);
    QPainter& painter = canvas.Painter();
    painter.save();
    painter.setFont(canvas.Font.ToQFont());
    painter.setPen(ToQColor(canvas.Font.Color));
    const Qt::Alignment align = Alignment == 1   ? Qt::AlignRight
                                : Alignment == 2 ? Qt::AlignHCenter
                                                 : Qt::AlignLeft;
    painter.drawText(rect, static_cast<int>(align | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip), text);
    painter.restore();
    canvas.BrushStyle = TBrushStyle::Clear;
}

void TRDLabelItemInfo::Paint(TCanvas& canvas, int x, int y, int, uint16_t state, const TRDStyle* rdStyle,
                             const TRDDrawLineInfo*, TCustomRDData*) const
{
    MeasureLabel();
    DrawLabelText(QRect(x, y, Width, Height), canvas, Text, const_cast<TRDStyle*>(rdStyle), state);
}

void TRDLabelItemInfo::Print(TCanvas& canvas, int x, int y, TRDStyle* rdStyle, TCustomRDData* rdData,
                             const TRDItemPrintInfo& info) const
{
    MeasureLabel();
    const QRect rect(x, y, ScaleToDeviceX(Width, info.Scaling), ScaleToDeviceY(Height, info.Scaling));
    const uint16_t state = UseStylePixelsPerInch(rdData) ? rdisStylePixelsPerInch : 0;
    DrawLabelText(rect, canvas, GetDisplayText(rdData, info.DrawItem), rdStyle, state);
}

void TRDLabelItemInfo::OnDocWidthChange(int docWidth, TRDDrawLineInfo* drawItem, bool printing, TCanvas* canvas,
                                        TCustomRDData* rdData, const TRDResolutionInfo* scaling, int& extra,
                                        int& descent)
{
    TRDRectItemInfo::OnDocWidthChange(docWidth, drawItem, printing, canvas, rdData, scaling, extra, descent);
    const bool sameResolution = !scaling || (scaling->ScreenPpiX == scaling->DevicePpiX
                                             && scaling->ScreenPpiY == scaling->DevicePpiY);
    if (sameResolution || !canvas) {
        MeasureLabel();
        if (drawItem) {
            drawItem->Width = Width;
            drawItem->Height = Height;
        }
        descent = Descent;
        return;
    }
    TRDStyle* sheet = rdData ? rdData->GetRDStyle() : nullptr;
    if (!sheet)
        return;
    sheet->ApplyStyle(*canvas, TextStyleNo, TRDBiDiMode::rdbdUnspecified, UseStylePixelsPerInch(rdData), nullptr,
                      false);
    const QFontMetrics metrics(canvas->Font.ToQFont(), canvas->Painter().device());
    descent = metrics.descent();
    if (drawItem) {
        drawItem->Width = metrics.horizontalAdvance(GetPrintText(rdData));
        drawItem->Height = metrics.height();
    }
}

void TRDLabelItemInfo::WriteLabelLines(TRDStream& stream) const
{
    RDFWriteLine(stream, QByteArray::number(TextStyleNo));
    RDFWriteLine(stream, QByteArray::number(FMinWidth));
    RDFWriteLine(stream, QByteArray::number(Alignment));
    RDFWriteLine(stream, ProtectTextStyleNo ? "protect" : "no-protect");
}

bool TRDLabelItemInfo::ReadLabelLine(int k, const QByteArray& line)
{
    int32_t value = 0;
    switch (k) {
    case 0:
        if (!ReadRecordDecimal(line, value))
            return false;
        TextStyleNo = value;
        return true;
    case 1:
        if (!ReadRecordDecimal(line, value))
            return false;
        SetMinWidth(value);
        return true;
    case 2:
        if (!ReadRecordDecimal(line, value))
            return false;
        Alignment = static_cast<uint8_t>(value);
        return true;
    default: ProtectTextStyleNo = line == "protect"; return true;
    }
}

void TRDLabelItemInfo::SaveRDF(TRDStream& stream, TCustomRDData* rdData, int, int paraNo, const QByteArray& name,
                               bool forceContinuePara, int) const
{
    RDFWriteItemHeader(stream, rdData, StyleNo, GetRDFExtraPropertyCount() + 6, forceContinuePara ? -1 : paraNo,
                       ForcedOptions(ItemOptions, forceContinuePara), 0, Tag, SaveRDFHeaderTail(rdData));
    RDFWriteLine(stream, StringToAnsiKeepingBytes(Text));
    WriteLabelLines(stream);
    RDFWriteLine(stream, name);
    SaveRDFExtraProperties(stream);
}

bool TRDLabelItemInfo::ReadRDFLine(const QByteArray& line, TCustomRDData* rdData, int, int lineNo, int,
                                   QByteArray& name, int&, int&)
{
    switch (lineNo) {
    case 0: Text = AnsiToStringKeepingBytes(line); return true;
    case 1:
    case 2:
    case 3:
    case 4: return ReadLabelLine(lineNo - 1, line);
    case 5:
        name = line;
        SetDocument(rdData);
        return true;
    default: ReadRDFExtraLine(line); return true;
    }
}

// Sequence fields.

TRDSeqItemInfo::TRDSeqItemInfo(TCustomRDData* rdData) : TRDLabelItemInfo(rdData)
{
    StyleNo = SeqStyleNo;
    SeqName = QStringLiteral("trichdoc");
}

TRDSeqItemInfo::TRDSeqItemInfo(TCustomRDData* rdData, const QString& seqName, TRDSeqType numberType,
                               int textStyleNo, int startFrom, bool reset)
    : TRDLabelItemInfo(rdData, QString(), textStyleNo)
{
    StyleNo = SeqStyleNo;
    StartFrom = startFrom;
    Reset = reset;
    SeqName = seqName.isEmpty() ? QStringLiteral("trichdoc") : seqName;
    NumberType = numberType;
}

QString TRDSeqItemInfo::GetNumberText(int number) const
{
    QString s;
    switch (GetNumberType()) {
    case TRDSeqType::rdseqDecimal: s = QString::number(number); break;
    case TRDSeqType::rdseqLowerAlpha: s = AlphaNumeral(number).toLower(); break;
    case TRDSeqType::rdseqUpperAlpha: s = AlphaNumeral(number); break;
    // Roman numerals past the classical 3999 would grow by a letter a
    // thousand (a start value from a file may be near 2^31): decimal then.
    case TRDSeqType::rdseqLowerRoman:
        s = number > MaxRomanNumber ? QString::number(number) : RomanNumeral(number).toLower();
        break;
    case TRDSeqType::rdseqUpperRoman:
        s = number > MaxRomanNumber ? QString::number(number) : RomanNumeral(number);
        break;
    default: break;
    }
    if (FormatString.isEmpty())
        return s;
    // The usual format, one plain %s and no other directive, is filled in
    // directly: renumbering runs for every field a read or an edit touches.
    const qsizetype at = FormatString.indexOf(u'%');
    if (at >= 0 && at + 1 < FormatString.size() && (FormatString[at + 1] == u's' || FormatString[at + 1] == u'S') &&
        FormatString.indexOf(u'%', at + 2) < 0) {
        QString text;
        text.reserve(FormatString.size() - 2 + s.size());
        text.append(QStringView(FormatString).left(at)).append(s).append(QStringView(FormatString).mid(at + 2));
        return text;
    }
    // Formats come from files: one that the formatter refuses, or that asks
    // for a field wider than a marker may have, shows itself.
    if (!RDFormatFieldsBounded(FormatString.toUtf8()))
        return FormatString;
    try {
        return RDFormat(FormatString, {s});
    } catch (const ERichDocError&) {
        return FormatString;
    }
}

void TRDSeqItemInfo::UpdateText()
{
    Text = GetNumberText(Counter);
    Measured = false;
}

void TRDSeqItemInfo::AssignProperties(const TCustomRDItemInfo& source)
{
    if (auto* s = dynamic_cast<const TRDSeqItemInfo*>(&source)) {
        NumberType = s->NumberType;
        StartFrom = s->StartFrom;
        Reset = s->Reset;
        SeqName = s->SeqName;
        FormatString = s->FormatString;
    }
    TRDLabelItemInfo::AssignProperties(source);
}

void TRDSeqItemInfo::MovingToUndoList(int itemNo, TCustomRDData* rdData, TRDUndoInfo* undoInfo)
{
    TRDLabelItemInfo::MovingToUndoList(itemNo, rdData, undoInfo);
    if (rdData)
        rdData->RemoveSeqItemFromList(this, false);
}

void TRDSeqItemInfo::MovingFromUndoList(int itemNo, TCustomRDData* rdData)
{
    TRDLabelItemInfo::MovingFromUndoList(itemNo, rdData);
    if (rdData)
        rdData->AddSeqItemToList(itemNo);
}

QByteArray TRDSeqItemInfo::SaveRTF(TCustomRDData*, int, TRDRTFExportContext&) const
{
    QByteArray numbering;
    switch (NumberType) {
    case TRDSeqType::rdseqLowerAlpha: numbering = "\\\\*alphabetic"; break;
    case TRDSeqType::rdseqUpperAlpha: numbering = "\\\\*ALPHABETIC"; break;
    case TRDSeqType::rdseqLowerRoman: numbering = "\\\\*roman"; break;
    case TRDSeqType::rdseqUpperRoman: numbering = "\\\\*ROMAN"; break;
    default: break;
    }
    const QByteArray reset = Reset ? " \\\\r " + QByteArray::number(StartFrom) : QByteArray();
    return "{\\field{\\*\\fldinst {SEQ " + RtfEscapeText(StringToAnsiKeepingBytes(SeqName), false, false) + numbering + reset
           + " \\\\* MERGEFORMAT }}{\\fldrslt {" + RtfEscapeText(StringToAnsiKeepingBytes(Text), false, false) + "}}}";
}

void TRDSeqItemInfo::SaveRDF(TRDStream& stream, TCustomRDData* rdData, int, int paraNo, const QByteArray& name,
                             bool forceContinuePara, int) const
{
    RDFWriteItemHeader(stream, rdData, StyleNo, GetRDFExtraPropertyCount() + 10, forceContinuePara ? -1 : paraNo,
                       ForcedOptions(ItemOptions, forceContinuePara), 0, Tag, SaveRDFHeaderTail(rdData));
    RDFWriteLine(stream, StringToAnsiKeepingBytes(SeqName));
    RDFWriteLine(stream, QByteArray::number(static_cast<int>(NumberType)));
    RDFWriteLine(stream, Reset ? "1" : "0");
    RDFWriteLine(stream, QByteArray::number(StartFrom));
    WriteLabelLines(stream);
    RDFWriteLine(stream, name);
    RDFWriteLine(stream, StringToAnsiKeepingBytes(FormatString));
    SaveRDFExtraProperties(stream);
}

bool TRDSeqItemInfo::ReadRDFLine(const QByteArray& line, TCustomRDData* rdData, int, int lineNo, int,
                                 QByteArray& name, int&, int&)
{
    int32_t value = 0;
    switch (lineNo) {
    case 0: SeqName = AnsiToStringKeepingBytes(line); return true;
    case 1:
        if (!ReadRecordDecimal(line, value))
            return false;
        NumberType = static_cast<TRDSeqType>(value);
        return true;
    case 2: Reset = line != "0"; return true;
    case 3:
        if (!ReadRecordDecimal(line, value))
            return false;
        StartFrom = value;
        return true;
    case 4:
    case 5:
    case 6:
    case 7: return ReadLabelLine(lineNo - 4, line);
    case 8:
        name = line;
        SetDocument(rdData);
        return true;
    case 9: FormatString = AnsiToStringKeepingBytes(line); return true;
    default: ReadRDFExtraLine(line); return true;
    }
}
