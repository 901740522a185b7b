#include "items/RDMarkerItems.h"

#include <algorithm>
#include <cstring>

#include <QtGui/QFontMetrics>
#include <QtGui/QPainter>

#include "AnsiText.h"
#include "document/CRDData.h"
#include "Graphics.h"
#include "document/RDFDocIO.h"
#include "core/RDFStream.h"
#include "items/RDPictureItems.h"
#include "core/RDGraphUtils.h"
#include "text/RDTextCanvas.h"
#include "document/RDTextItems.h"

namespace {

QFont MarkerQFont(const TRDMarkerFont& f, const TRDStyle* rdStyle)
{
    QFont font(MapFontName(f.Name));
    const int sheetPpi = rdStyle ? rdStyle->TextStyles().FontPixelsPerInch : 0;
    const int ppi = sheetPpi > 0 && f.Size > 0 ? sheetPpi : GetScreenPixelsPerInch();
    font.setPixelSize(std::max(std::abs(MulDiv(f.Size, ppi, 72)), 1));
    font.setBold(f.Style & fsBold);
    font.setItalic(f.Style & fsItalic);
    font.setUnderline(f.Style & fsUnderline);
    font.setStrikeOut(f.Style & fsStrikeOut);
    font.setKerning(false);
    return font;
}

bool IsImageKind(TRDListType t)
{
    return t == TRDListType::rdlstImageList || t == TRDListType::rdlstImageListCounter;
}

}  // namespace

const TRDMarkerFont& LevelFont(const TRDListLevel& level)
{
    static const TRDMarkerFont defaultFont;
    return level.HasFont() ? const_cast<TRDListLevel&>(level).Font() : defaultFont;
}

const TGraphic* LevelGraphic(const TRDListLevel& level)
{
    return level.HasPicture() ? const_cast<TRDListLevel&>(level).Picture().Graphic() : nullptr;
}

// The marker item.

TRDMarkerItemInfo::TRDMarkerItemInfo(TCustomRDData* rdData) : TRDMarkerItemInfo(rdData, 0, 0, 0, false) {}

TRDMarkerItemInfo::TRDMarkerItemInfo(TCustomRDData* rdData, int listNo, int level, int startFrom, bool reset)
    : TRDRectItemInfo(rdData), TRDMarkerListEntry(listNo, level, startFrom, reset)
{
    StyleNo = MarkerStyleNo;
    ItemOptions &= ~rdioContinuesPara;
    FRDData = rdData;
}

const TRDStyle* TRDMarkerItemInfo::Sheet() const
{
    return FRDData ? FRDData->GetRDStyle() : nullptr;
}

void TRDMarkerItemInfo::Inserting(TCustomRDData* rdData, QByteArray& text, bool detached)
{
    if (rdData)
        FRDData = rdData;
    TRDRectItemInfo::Inserting(rdData, text, detached);
}

int TRDMarkerItemInfo::GetMinWidth(const TRDResolutionInfo* scaling, TCanvas*, TCustomRDData*) const
{
    return MeasureMarker(Sheet(), TRDBiDiMode::rdbdUnspecified, scaling, nullptr).MinWidth;
}

bool TRDMarkerItemInfo::GetBoolValue(int id) const
{
    if (id == 3 || id == 4)
        return true;
    return TRDRectItemInfo::GetBoolValue(id);
}

bool TRDMarkerItemInfo::GetBoolValueEx(int id, const TRDStyle* rdStyle) const
{
    if (id == 1) {
        const TRDListLevel* level = GetLevelInfo(rdStyle);
        if (!level)
            return false;
        if (IsImageKind(level->ListType))
            return true;
        if (level->ListType == TRDListType::rdlstPicture) {
            const TGraphic* graphic = LevelGraphic(*level);
            return graphic && !dynamic_cast<const TMetafile*>(graphic);
        }
        return false;
    }
    if (id == 6)
        return true;
    return TRDRectItemInfo::GetBoolValueEx(id, rdStyle);
}

int TRDMarkerItemInfo::GetImageWidth(const TRDStyle* rdStyle) const
{
    const TRDListLevel* level = GetLevelInfo(rdStyle);
    if (!level)
        return 0;
    if (level->ListType == TRDListType::rdlstPicture)
        return LevelGraphic(*level) ? LevelGraphic(*level)->Width() : 0;
    if (IsImageKind(level->ListType))
        return level->ImageList ? level->ImageList->Width : 0;
    return 0;
}

int TRDMarkerItemInfo::GetImageHeight(const TRDStyle* rdStyle) const
{
    const TRDListLevel* level = GetLevelInfo(rdStyle);
    if (!level)
        return 0;
    if (level->ListType == TRDListType::rdlstPicture)
        return LevelGraphic(*level) ? LevelGraphic(*level)->Height() : 0;
    if (IsImageKind(level->ListType))
        return level->ImageList ? level->ImageList->Height : 0;
    return 0;
}

QString TRDMarkerItemInfo::MarkerText(const TRDListLevel& level) const
{
    if (level.ListType == TRDListType::rdlstUnicodeBullet)
        return level.FormatStringW;
    return AnsiToQString(CodePageOfCharset(LevelFont(level).Charset), DisplayString);
}

TRDMarkerItemInfo::TMeasure TRDMarkerItemInfo::MeasureMarker(const TRDStyle* rdStyle, TRDBiDiMode bidi,
                                                              const TRDResolutionInfo* scaling,
                                                              const QPaintDevice* device) const
{
    TMeasure m;
    const TRDListLevel* level = GetLevelInfo(rdStyle);
    if (!level)
        return m;
    int w = 0;
    switch (level->ListType) {
    case TRDListType::rdlstPicture:
    case TRDListType::rdlstImageList:
    case TRDListType::rdlstImageListCounter:
        w = GetImageWidth(rdStyle);
        m.Height = GetImageHeight(rdStyle);
        if (scaling) {
            w = ScaleToDeviceX(w, scaling);
            m.Height = ScaleToDeviceY(m.Height, scaling);
        }
        break;
    default: {
        const QFont font = MarkerQFont(LevelFont(*level), rdStyle);
        const QFontMetrics metrics = device ? QFontMetrics(font, device) : QFontMetrics(font);
        w = metrics.horizontalAdvance(MarkerText(*level));
        m.Height = metrics.height();
        m.Descent = metrics.descent();
    }
    }
    m.Width = w;
    int l = 0, r = 0;
    switch (level->MarkerAlignment) {
    case TRDMarkerAlignment::rdmaLeft: r = w; break;
    case TRDMarkerAlignment::rdmaRight: l = w; break;
    case TRDMarkerAlignment::rdmaCenter:
        r = w / 2;
        l = w - r;
        break;
    }
    int gap = level->LeftIndent + level->FirstIndent - level->MarkerIndent;
    if (scaling)
        gap = ScaleToDeviceX(gap, scaling);
    m.MinWidth = std::max(r, gap);
    r = std::max(r, gap);
    m.DrawWidth = l + r;
    if (bidi == TRDBiDiMode::rdbdRightToLeft) {
        m.LeftShift = l;
        m.InnerX = l + r - w;
    } else {
        m.LeftShift = -l;
        m.InnerX = 0;
    }
    return m;
}

void TRDMarkerItemInfo::OnDocWidthChange(int, TRDDrawLineInfo* drawItem, bool printing, TCanvas* canvas,
                                         TCustomRDData* rdData, const TRDResolutionInfo* scaling, int& extra,
                                         int& descent)
{
    if (rdData)
        FRDData = rdData;
    const TRDStyle* rdStyle = rdData ? rdData->GetRDStyle() : Sheet();
    const TRDBiDiMode bidi = rdData ? rdData->BiDiModeOfPara(ParaNo) : TRDBiDiMode::rdbdUnspecified;
    const QPaintDevice* device = canvas ? canvas->Painter().device() : nullptr;
    const TMeasure m = MeasureMarker(rdStyle, bidi, scaling, device);
    if (drawItem) {
        drawItem->Width = m.DrawWidth;
        drawItem->Height = m.Height;
        drawItem->X = m.InnerX;
    }
    extra = m.LeftShift;
    descent = m.Descent;
    if (!printing) {
        Width = m.DrawWidth;
        Height = m.Height;
        Descent = m.Descent;
        LeftShift = m.LeftShift;
    }
}

void TRDMarkerItemInfo::DrawMarker(int x, int y, TCanvas& canvas, const TRDStyle* rdStyle,
                                   const TRDDrawLineInfo* drawItem, int colorMode) const
{
    const TRDListLevel* level = GetLevelInfo(rdStyle);
    if (!level)
        return;
    if (drawItem)
        x += drawItem->X;
    QPainter& painter = canvas.Painter();
    switch (level->ListType) {
    case TRDListType::rdlstPicture:
        if (const TGraphic* graphic = LevelGraphic(*level))
            graphic->Draw(painter, QRect(x, y, graphic->Width(), graphic->Height()));
        return;
    case TRDListType::rdlstImageList:
    case TRDListType::rdlstImageListCounter: {
        const int index = level->ImageIndex
                          + (level->ListType == TRDListType::rdlstImageListCounter ? Counter - 1 : 0);
        if (level->ImageList && level->ImageList->ValidIndex(index))
            level->ImageList->Draw(painter, x, y, index);
        return;
    }
    default: break;
    }
    const TRDMarkerFont& markerFont = LevelFont(*level);
    const QFont font = MarkerQFont(markerFont, rdStyle);
    SelectCanvasFont(canvas, font, markerFont.Charset);
    canvas.Font.Color = markerFont.Color;
    painter.save();
    painter.setFont(font);
    painter.setPen(ToQColor(ColorByColorMode(markerFont.Color, colorMode)));
    painter.setBrush(Qt::NoBrush);
    const QFontMetrics metrics(font, painter.device());
    painter.drawText(QPoint(x, y + metrics.ascent()), MarkerText(*level));
    painter.restore();
}

bool TRDMarkerItemInfo::PrintToBitmap(QImage& bitmap, const TRDStyle* rdStyle, int colorMode) const
{
    QPainter painter(&bitmap);
    TCanvas canvas(painter);
    DrawMarker(0, 0, canvas, rdStyle, nullptr, colorMode);
    return true;
}

// RDF.

QByteArray TRDMarkerItemInfo::SaveRDFHeaderTail(TCustomRDData*) const
{
    return QByteArray::number(ListNo) + ' ' + QByteArray::number(Level) + ' ' + QByteArray::number(StartFrom) + ' '
           + (Reset ? '1' : '0');
}

bool TRDMarkerItemInfo::ReadRDFHeaderTail(const char*& p, TCustomRDData*)
{
    int32_t reset = 0;
    if (!RDFReadInteger(p, ListNo) || !RDFReadInteger(p, Level) || !RDFReadInteger(p, StartFrom)
        || !RDFReadInteger(p, reset))
        return false;
    Reset = reset != 0;
    return true;
}

int TRDMarkerItemInfo::GetRDFExtraPropertyCount() const
{
    return TRDRectItemInfo::GetRDFExtraPropertyCount() + (NoHtmlSize ? 1 : 0);
}

void TRDMarkerItemInfo::SaveRDFExtraProperties(TRDStream& stream) const
{
    TRDRectItemInfo::SaveRDFExtraProperties(stream);
    if (NoHtmlSize)
        RDFWriteLine(stream, "nohtmlsize=1");
}

void TRDMarkerItemInfo::AssignProperties(const TCustomRDItemInfo& source)
{
    if (auto* s = dynamic_cast<const TRDMarkerItemInfo*>(&source)) {
        ListNo = s->ListNo;
        Level = s->Level;
        StartFrom = s->StartFrom;
        Reset = s->Reset;
        NoHtmlSize = s->NoHtmlSize;
    }
    TRDRectItemInfo::AssignProperties(source);
}

void TRDMarkerItemInfo::SaveRDF(TRDStream& stream, TCustomRDData* rdData, int, int paraNo, const QByteArray&,
                                bool forceContinuePara, int) const
{
    RDFWriteItemHeader(stream, rdData, StyleNo, GetRDFExtraPropertyCount(), paraNo,
                       ForcedOptions(ItemOptions, forceContinuePara), 0, Tag, SaveRDFHeaderTail(rdData));
    SaveRDFExtraProperties(stream);
}

void TRDMarkerItemInfo::MovingToUndoList(int itemNo, TCustomRDData* rdData, TRDUndoInfo* undoInfo)
{
    TRDRectItemInfo::MovingToUndoList(itemNo, rdData, undoInfo);
    if (rdData)
        rdData->RemoveMarkerFromList(this, false);
}

void TRDMarkerItemInfo::MovingFromUndoList(int itemNo, TCustomRDData* rdData)
{
    TRDRectItemInfo::MovingFromUndoList(itemNo, rdData);
    if (rdData)
        rdData->AddMarkerToList(itemNo);
}

void TRDMarkerItemInfo::MarkStylesInUse(TRDStyleUsage& usage) const
{
    TRDRectItemInfo::MarkStylesInUse(usage);
    if (ListNo >= 0 && ListNo < usage.ListUsed.Count())
        usage.ListUsed.SetItem(ListNo, 1);
}

void TRDMarkerItemInfo::UpdateStyles(const TRDStyleMaps& maps)
{
    TRDRectItemInfo::UpdateStyles(maps);
    UpdateListStyle(maps.ListMap);
}

void TRDMarkerItemInfo::UpdateListStyle(const TRDIntegerList& listMap)
{
    if (ListNo >= 0 && ListNo < listMap.Count())
        ListNo = ListNo + 1 - listMap[ListNo];
}

bool TRDMarkerItemInfo::SetExtraIntProperty(int id, int value)
{
    if (id == 12) {
        NoHtmlSize = value != 0;
        return true;
    }
    return TRDRectItemInfo::SetExtraIntProperty(id, value);
}

bool TRDMarkerItemInfo::GetExtraIntProperty(int id, int& value) const
{
    if (id == 12) {
        value = NoHtmlSize ? 1 : 0;
        return true;
    }
    return TRDRectItemInfo::GetExtraIntProperty(id, value);
}
