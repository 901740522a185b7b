#include "document/RDTextItems.h"

#include "AnsiText.h"
#include "document/CRDData.h"
#include "document/RDFDocIO.h"
#include "core/RDFStream.h"

namespace {

bool RestOfLineEmpty(const char* p)
{
    return *p == '\0' || *p == '\n' || *p == '\r';
}

void MarkText(TRDStyleUsage& usage, int styleNo)
{
    if (styleNo != RDMaxInt && styleNo >= 0 && styleNo < usage.TextUsed.Count())
        usage.TextUsed.SetItem(styleNo, 1);
}

void RenumberText(const TRDStyleMaps& maps, int32_t& styleNo)
{
    if (styleNo != RDMaxInt && styleNo >= 0 && styleNo < maps.TextMap.Count())
        styleNo = styleNo + 1 - maps.TextMap[styleNo];
}

}  // namespace

// Text.

bool TRDTextItemInfo::GetBoolValueEx(int id, const TRDStyle* rdStyle) const
{
    if (!rdStyle)
        return TCustomRDItemInfo::GetBoolValueEx(id, rdStyle);
    const int styleNo = GetActualStyleNo(rdStyle);
    switch (id) {
    case 2: case 3: case 5: return rdStyle->TextStyles().TextStyleAt(styleNo)->Jump;
    case 4: return rdStyle->TextStyles().TextStyleAt(styleNo)->Jump && const_cast<TRDStyle*>(rdStyle)->StyleHoverSensitive(styleNo);
    default: return TCustomRDItemInfo::GetBoolValueEx(id, rdStyle);
    }
}

bool TRDTextItemInfo::ReadRDFHeaderTail(const char*& p, TCustomRDData*)
{
    if (RestOfLineEmpty(p))
        return true;
    if (*p == ' ')
        ++p;
    QByteArray hint;
    if (!RDFReadQuoted(p, hint))
        return false;
    Hint = AnsiToStringKeepingBytes(hint);
    return true;
}

void TRDTextItemInfo::MarkStylesInUse(TRDStyleUsage& usage) const
{
    TCustomRDItemInfo::MarkStylesInUse(usage);
    MarkText(usage, StyleNo);
}

void TRDTextItemInfo::UpdateStyles(const TRDStyleMaps& maps)
{
    TCustomRDItemInfo::UpdateStyles(maps);
    RenumberText(maps, StyleNo);
}

// Break.

bool TRDBreakItemInfo::GetBoolValueEx(int id, const TRDStyle* rdStyle) const
{
    return id == 1 ? false : TRDFullLineItemInfo::GetBoolValueEx(id, rdStyle);
}

void TRDBreakItemInfo::AssignProperties(const TCustomRDItemInfo& source)
{
    if (auto* s = dynamic_cast<const TRDBreakItemInfo*>(&source)) {
        LineWidth = s->LineWidth;
        Color = s->Color;
        BreakStyle = s->BreakStyle;
    }
    TRDFullLineItemInfo::AssignProperties(source);
}

QByteArray TRDBreakItemInfo::SaveRDFHeaderTail(TCustomRDData*) const
{
    return QByteArray::number(Color) + ' ' + QByteArray::number(BreakStyle) + ' ' + QByteArray::number(LineWidth);
}

bool TRDBreakItemInfo::ReadRDFHeaderTail(const char*& p, TCustomRDData*)
{
    if (RestOfLineEmpty(p)) {
        Color = clNone;
        BreakStyle = 0;
        LineWidth = 1;
        return true;
    }
    int32_t color = 0, style = 0, width = 0;
    if (!RDFReadInteger(p, color) || !RDFReadInteger(p, style) || !RDFReadInteger(p, width))
        return false;
    Color = color;
    BreakStyle = static_cast<uint8_t>(style);
    LineWidth = static_cast<uint8_t>(width);
    return true;
}

void TRDBreakItemInfo::SaveRDF(TRDStream& stream, TCustomRDData* rdData, int, int paraNo, const QByteArray&, bool,
                               int) const
{
    RDFWriteItemHeader(stream, rdData, BreakStyleNo, GetRDFExtraPropertyCount(), paraNo, ItemOptions, 0, Tag,
                       SaveRDFHeaderTail(rdData));
    SaveRDFExtraProperties(stream);
}

QByteArray TRDBreakItemInfo::AsText(int lineWidth, TCustomRDData*, bool, bool, const QString&,
                                    const QByteArray&) const
{
    return QByteArray(std::max(lineWidth, 1), LineWidth < 2 ? '-' : '=');
}

// Tab.

int TRDTabItemInfo::GetActualTextStyleNo(const TRDStyle* rdStyle) const
{
    if (TextStyleNo != RDMaxInt)
        return TextStyleNo;
    const int def = rdStyle ? rdStyle->ParaStyles().ParaStyleAt(ParaNo)->DefStyleNo : -1;
    return def < 0 ? 0 : def;
}

bool TRDTabItemInfo::GetBoolValue(int id) const
{
    return id == 3 || id == 5 || id == 12 ? true : TRDRectItemInfo::GetBoolValue(id);
}

bool TRDTabItemInfo::GetBoolValueEx(int id, const TRDStyle* rdStyle) const
{
    if (id == 1)
        return false;
    if (id == 6)
        return true;
    return TRDRectItemInfo::GetBoolValueEx(id, rdStyle);
}

void TRDTabItemInfo::AssignProperties(const TCustomRDItemInfo& source)
{
    if (auto* s = dynamic_cast<const TRDTabItemInfo*>(&source)) {
        TextStyleNo = s->TextStyleNo;
        Leader = s->Leader;
    }
    TRDRectItemInfo::AssignProperties(source);
}

QByteArray TRDTabItemInfo::SaveRDFHeaderTail(TCustomRDData*) const
{
    return QByteArray::number(TextStyleNo);
}

bool TRDTabItemInfo::ReadRDFHeaderTail(const char*& p, TCustomRDData*)
{
    if (RestOfLineEmpty(p))
        return true;
    int32_t value = 0;
    if (!RDFReadInteger(p, value))
        return false;
    TextStyleNo = value;
    return true;
}

void TRDTabItemInfo::SaveRDF(TRDStream& stream, TCustomRDData* rdData, int, int paraNo, const QByteArray&, bool,
                             int) const
{
    RDFWriteItemHeader(stream, rdData, TabStyleNo, 0, paraNo, ItemOptions, 0, Tag, SaveRDFHeaderTail(rdData));
}

QByteArray TRDTabItemInfo::AsText(int, TCustomRDData*, bool, bool, const QString&, const QByteArray&) const
{
    return QByteArrayLiteral("\t");
}

void TRDTabItemInfo::MarkStylesInUse(TRDStyleUsage& usage) const
{
    TRDRectItemInfo::MarkStylesInUse(usage);
    MarkText(usage, TextStyleNo);
}

void TRDTabItemInfo::UpdateStyles(const TRDStyleMaps& maps)
{
    TRDRectItemInfo::UpdateStyles(maps);
    RenumberText(maps, TextStyleNo);
}
