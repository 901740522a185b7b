#include "items/RDMarkerItems.h"

#include <algorithm>
#include <bitset>
#include <cstring>

#include <QtCore/QtEndian>
#include <QtGui/QFontMetrics>
#include <QtGui/QPainter>

#include "AnsiText.h"
#include "ByteOrder.h"
#include "document/CRDData.h"
#include "Graphics.h"
#include "core/RDError.h"
#include "document/RDFDocIO.h"
#include "core/RDFStream.h"
#include "core/RDFormat.h"
#include "items/RDPictureItems.h"
#include "core/RDGraphUtils.h"
#include "text/RDTextCanvas.h"
#include "document/RDTextItems.h"

namespace {

// One record of the marker-list state: ListNo, Level, Reset, StartFrom, Counter.
constexpr int MarkerStateRecordSize = 17;
constexpr int MarkerStateHeaderSize = 8;

constexpr int MaxMarkerFieldWidth = 255;

// Reads decimal digits at i of a format; -1 when there are none.
int ReadFormatNumber(const QByteArray& f, qsizetype& i)
{
    int value = -1;
    while (i < f.size() && f[i] >= '0' && f[i] <= '9') {
        value = std::min((value < 0 ? 0 : value * 10) + (f[i] - '0'), 1 << 20);
        ++i;
    }
    return value;
}

// The argument indexes a format refers to, by the formatter's rules
// (an index sets the place the next directives go on from). Scanning stops
// quietly at what the formatter refuses: it then raises itself. maxRef is
// -1 when the format refers to none; indexes from RDMaxMarkerLevels on are
// counted as RDMaxMarkerLevels. False when a directive asks for a field
// wider than MaxMarkerFieldWidth (a width, or the digits of %d): a style
// from a file could otherwise make every marker text megabytes long.
bool ReferencedArguments(const QByteArray& f, std::bitset<RDMaxMarkerLevels>& refs, int& maxRef, int& minRef)
{
    refs.reset();
    maxRef = -1;
    minRef = RDMaxMarkerLevels;
    int next = 0;
    qsizetype i = 0;
    while (i < f.size()) {
        if (f[i] != '%') {
            ++i;
            continue;
        }
        ++i;
        if (i >= f.size())
            return true;
        if (f[i] == '%') {
            ++i;
            continue;
        }
        const qsizetype start = i;
        const int number = ReadFormatNumber(f, i);
        if (number >= 0 && i < f.size() && f[i] == ':') {
            next = number;
            ++i;
        } else {
            i = start;
        }
        if (i < f.size() && f[i] == '-')
            ++i;
        if (ReadFormatNumber(f, i) > MaxMarkerFieldWidth)
            return false;
        int precision = -1;
        if (i < f.size() && f[i] == '.') {
            ++i;
            precision = ReadFormatNumber(f, i);
        }
        if (i >= f.size())
            return true;
        if ((f[i] == 'd' || f[i] == 'D') && precision > MaxMarkerFieldWidth)
            return false;
        ++i;
        const int index = std::min(next, RDMaxMarkerLevels);
        next = std::min(next + 1, 1 << 21);
        maxRef = std::max(maxRef, index);
        minRef = std::min(minRef, index);
        if (index < RDMaxMarkerLevels)
            refs[index] = true;
    }
    return true;
}

// Formats a byte-string format: the bytes travel unchanged (directives are ASCII).
QByteArray FormatBytes(const QByteArray& format, const QStringList& args)
{
    // Markers of a list share their format: its wide form is made once.
    thread_local QByteArray lastFormat;
    thread_local QString lastWide;
    if (format != lastFormat || lastWide.isNull()) {
        lastFormat = format;
        lastWide = QString::fromLatin1(format);
    }
    return RDFormat(lastWide, args).toLatin1();
}

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


// The next counter value; the largest one stays (counters from files may be anything).
int32_t NextCount(int32_t n)
{
    return n == INT32_MAX ? n : n + 1;
}

bool IsImageKind(TRDListType t)
{
    return t == TRDListType::rdlstImageList || t == TRDListType::rdlstImageListCounter;
}

}  // namespace

bool RDFormatFieldsBounded(const QByteArray& format)
{
    std::bitset<RDMaxMarkerLevels> refs;
    int maxRef = -1, minRef = 0;
    return ReferencedArguments(format, refs, maxRef, minRef);
}

const TRDMarkerFont& LevelFont(const TRDListLevel& level)
{
    static const TRDMarkerFont defaultFont;
    return level.HasFont() ? const_cast<TRDListLevel&>(level).Font() : defaultFont;
}

const TGraphic* LevelGraphic(const TRDListLevel& level)
{
    return level.HasPicture() ? const_cast<TRDListLevel&>(level).Picture().Graphic() : nullptr;
}

namespace {

QString NumberTextW(int n, TRDListType listType)
{
    switch (listType) {
    case TRDListType::rdlstDecimal:
    case TRDListType::rdlstImageListCounter: return QString::number(n);
    case TRDListType::rdlstLowerAlpha: return AlphaNumeral(n).toLower();
    case TRDListType::rdlstUpperAlpha: return AlphaNumeral(n);
    // Roman numerals past the classical 3999 would grow by a letter per
    // thousand (a counter from a file may be near 2^31): decimal instead.
    case TRDListType::rdlstLowerRoman: return n > MaxRomanNumber ? QString::number(n) : RomanNumeral(n).toLower();
    case TRDListType::rdlstUpperRoman: return n > MaxRomanNumber ? QString::number(n) : RomanNumeral(n);
    default: return {};
    }
}

}  // namespace

QByteArray NumberText(int n, TRDListType listType)
{
    return NumberTextW(n, listType).toLatin1();
}

// The marker item.

TRDMarkerItemInfo::TRDMarkerItemInfo(TCustomRDData* rdData) : TRDMarkerItemInfo(rdData, 0, 0, 0, false) {}

TRDMarkerItemInfo::TRDMarkerItemInfo(TCustomRDData* rdData, int listNo, int level, int startFrom, bool reset)
    : TRDRectItemInfo(rdData), ListNo(listNo), Level(level), Reset(reset), StartFrom(startFrom)
{
    StyleNo = MarkerStyleNo;
    ItemOptions &= ~rdioContinuesPara;
    FRDData = rdData;
}

const TRDListLevel* TRDMarkerItemInfo::ListLevelOf(const TRDStyle* rdStyle, int listNo, int level)
{
    if (!rdStyle || listNo < 0 || level < 0 || listNo >= rdStyle->ListStyles().Count())
        return nullptr;
    const std::vector<TRDListLevel>& levels = rdStyle->ListStyles().GetItem(listNo)->Levels;
    if (levels.empty())
        return nullptr;
    return &levels[std::min<size_t>(level, levels.size() - 1)];
}

int TRDMarkerItemInfo::GetIndexInList(const TRDMarkerList* list)
{
    if (!list)
        return -1;
    if (ListIndex >= 0 && ListIndex < list->Count() && (*list)[ListIndex] == this)
        return ListIndex;
    ListIndex = list->IndexOf(this);
    return ListIndex;
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

// Counting and texts.

void TRDMarkerItemInfo::UpdateDisplayString(const TRDStyle* rdStyle, const TRDMarkerList* list, int index)
{
    DisplayString.clear();
    const TRDListLevel* level = GetLevelInfo(rdStyle);
    if (!level)
        return;
    std::bitset<RDMaxMarkerLevels> refs;
    int maxRef = -1, minRef = 0;
    const bool bounded = ReferencedArguments(level->FormatString, refs, maxRef, minRef);
    if (level->ListType == TRDListType::rdlstBullet) {
        try {
            if (!bounded)
                throw ERichDocError("Format field too wide");
            DisplayString = FormatBytes(level->FormatString, QStringList(20));
        } catch (const ERichDocError&) {
            DisplayString = level->FormatString;
        }
        return;
    }
    if (!level->HasTextNumbering() || Level >= RDMaxMarkerLevels)
        return;
    if (!bounded) {
        DisplayString = level->FormatString;
        return;
    }
    // Only the levels the format names are worked out.
    QStringList args(std::min(maxRef + 1, RDMaxMarkerLevels));
    const bool legal = level->Options & rdloLegalStyleNumbering;
    int k = Level;
    const TRDMarkerItemInfo* current = this;
    const TRDListLevel* currentLevel = level;
    const TRDMarkerList* currentList = list;
    int currentIndex = list ? index : -1;
    while (true) {
        if (k < args.size() && refs[k]) {
            TRDListType type = currentLevel->ListType;
            if (k < Level && legal && type != TRDListType::rdlstDecimal)
                type = TRDListType::rdlstDecimal;
            args[k] = NumberTextW(current->Counter, type);
        }
        if (k == 0 || k <= minRef)
            break;
        int found = -1;
        const TRDMarkerList* foundList = nullptr;
        int d = -1;
        if (currentList && currentIndex >= 0 && currentList->FindParentMarker(currentIndex, current, found, foundList))
            d = (*foundList)[found]->Level;
        for (int between = std::max(d + 1, 0); between < k; ++between)
            if (between < args.size() && refs[between])
                if (const TRDListLevel* v = LevelAt(rdStyle, between))
                    args[between] = NumberTextW(v->StartFrom, v->ListType);
        k = d;
        if (k < 0)
            break;
        current = (*foundList)[found];
        currentList = foundList;
        currentIndex = found;
        currentLevel = LevelAt(rdStyle, k);
        if (!currentLevel)
            break;
    }
    try {
        DisplayString = FormatBytes(level->FormatString, args);
    } catch (const ERichDocError&) {
        // A format the formatter refuses shows itself, as bullet texts do.
        DisplayString = level->FormatString;
    }
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

// The marker list.

int TRDMarkerList::IndexOf(const TRDMarkerItemInfo* marker) const
{
    const auto it = std::find(FItems.begin(), FItems.end(), marker);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

void TRDMarkerList::Delete(int index)
{
    TRDMarkerItemInfo* marker = FItems[index];
    FItems.erase(FItems.begin() + index);
    marker->ListIndex = -1;
    const auto owned = std::find_if(FOwned.begin(), FOwned.end(),
                                    [marker](const std::unique_ptr<TRDMarkerItemInfo>& m) { return m.get() == marker; });
    if (owned != FOwned.end())
        FOwned.erase(owned);
}

void TRDMarkerList::Clear()
{
    for (TRDMarkerItemInfo* marker : FItems)
        marker->ListIndex = -1;
    FItems.clear();
    FOwned.clear();
}

void TRDMarkerList::InsertAfter(TRDMarkerItemInfo* marker, TRDMarkerItemInfo* prevMarker)
{
    int at = 0;
    if (prevMarker) {
        const int prev = prevMarker->GetIndexInList(this);
        at = prev >= 0 ? prev + 1 : 0;
    }
    FItems.insert(FItems.begin() + at, marker);
    marker->ListIndex = at;
}

void TRDMarkerList::RecalcCounters(int fromIndex, const TRDStyle* rdStyle)
{
    if (fromIndex < 0 || fromIndex >= Count())
        return;
    const int listNo = FItems[fromIndex]->ListNo;
    if (listNo < 0)
        return;
    for (int i = fromIndex; i < Count(); ++i) {
        TRDMarkerItemInfo* m = FItems[i];
        m->ListIndex = i;
        if (m->ListNo != listNo)
            continue;
        if (m->Reset) {
            m->Counter = m->StartFrom;
        } else {
            const TRDListLevel* v = m->GetLevelInfo(rdStyle);
            if (!v) {
                // No level to count on: the counter stays, the text is empty.
                m->DisplayString.clear();
                continue;
            }
            m->Counter = v->StartFrom;
            for (int j = i - 1; j >= 0; --j) {
                const TRDMarkerItemInfo* p = FItems[j];
                if (p->ListNo != listNo)
                    continue;
                if (p->Level == m->Level) {
                    m->Counter = NextCount(p->Counter);
                    break;
                }
                if (p->Level < m->Level) {
                    if (v->Options & rdloLevelReset) {
                        m->Counter = v->StartFrom;
                        break;
                    }
                } else {
                    m->Counter = NextCount(v->StartFrom);
                }
            }
        }
        m->UpdateDisplayString(rdStyle, this, i);
    }
}

bool TRDMarkerList::FindParentMarker(int index, const TRDMarkerItemInfo* marker, int& outIndex,
                                     const TRDMarkerList*& outList) const
{
    if (!marker)
        marker = FItems[index];
    const TRDMarkerList* list = this;
    int from = index - 1;
    while (list) {
        for (int i = std::min(from, list->Count() - 1); i >= 0; --i) {
            const TRDMarkerItemInfo* p = list->FItems[i];
            if (p->ListNo == marker->ListNo && p->Level < marker->Level) {
                outIndex = i;
                outList = list;
                return true;
            }
        }
        list = list->PriorMarkerList;
        if (list)
            from = list->Count() - 1;
    }
    outIndex = -1;
    outList = nullptr;
    return false;
}

namespace {

void PutLE32(QByteArray& block, int32_t value)
{
    ::PutLE32(block, static_cast<uint32_t>(value));
}

}  // namespace

void TRDMarkerList::SaveBinary(TRDStream& stream, int count, bool withSize) const
{
    count = std::clamp(count, 0, Count());
    QByteArray block;
    block.reserve(MarkerStateHeaderSize + 4 + MarkerStateRecordSize * count);
    if (withSize)
        PutLE32(block, MarkerStateHeaderSize + MarkerStateRecordSize * count);
    PutLE32(block, 0);
    PutLE32(block, count);
    for (int i = 0; i < count; ++i) {
        const TRDMarkerItemInfo* m = FItems[i];
        PutLE32(block, m->ListNo);
        PutLE32(block, m->Level);
        block.append(m->Reset ? '\1' : '\0');
        PutLE32(block, m->StartFrom);
        PutLE32(block, m->Counter);
    }
    stream.WriteBuffer(block.constData(), block.size());
}

bool TRDMarkerList::LoadBinary(TRDStream& stream, TCustomRDData* rdData, bool withSize)
{
    const int64_t start = stream.Position();
    int64_t available = stream.Size() - start;
    auto fail = [&stream, start]() {
        stream.SetPosition(start);
        return false;
    };
    char header[4];
    if (withSize) {
        if (available < 4 || stream.Read(header, 4) != 4)
            return fail();
        const int32_t size = qFromLittleEndian<int32_t>(header);
        available -= 4;
        if (size < MarkerStateHeaderSize || size > available)
            return fail();
        available = size;
    }
    if (available < MarkerStateHeaderSize)
        return fail();
    char head[MarkerStateHeaderSize];
    if (stream.Read(head, MarkerStateHeaderSize) != MarkerStateHeaderSize)
        return fail();
    const int32_t count = qFromLittleEndian<int32_t>(head + 4);
    // The count is checked against the block before anything is made.
    if (count < 0 || static_cast<int64_t>(count) * MarkerStateRecordSize > available - MarkerStateHeaderSize)
        return fail();
    QByteArray records(static_cast<qsizetype>(count) * MarkerStateRecordSize, '\0');
    if (count > 0 && stream.Read(records.data(), records.size()) != records.size())
        return fail();
    Clear();
    FItems.reserve(count);
    FOwned.reserve(count);
    for (int i = 0; i < count; ++i) {
        const char* r = records.constData() + i * MarkerStateRecordSize;
        auto marker = std::make_unique<TRDMarkerItemInfo>(rdData, qFromLittleEndian<int32_t>(r),
                                                          qFromLittleEndian<int32_t>(r + 4),
                                                          qFromLittleEndian<int32_t>(r + 9), r[8] != 0);
        marker->Counter = qFromLittleEndian<int32_t>(r + 13);
        marker->ListIndex = i;
        FItems.push_back(marker.get());
        FOwned.push_back(std::move(marker));
    }
    return true;
}

void TRDMarkerList::SaveToRDF(TRDStream& stream, int count) const
{
    TRDMemoryStream memory;
    SaveBinary(memory, count, false);
    QByteArray hex;
    RDFMemoryToHex(memory, hex);
    RDFWriteLine(stream, hex);
}

bool TRDMarkerList::LoadFromHexString(const QByteArray& text, TCustomRDData* rdData)
{
    QByteArray bytes;
    if (!RDFHexToString(text, bytes))
        return false;
    return LoadFromBinaryString(bytes, rdData);
}

bool TRDMarkerList::LoadFromBinaryString(const QByteArray& bytes, TCustomRDData* rdData)
{
    TRDMemoryStream memory;
    memory.LoadFromBytes(bytes);
    memory.SetPosition(0);
    return LoadBinary(memory, rdData, false);
}
