#include "layout/CRDFData.h"

#include <algorithm>
#include <climits>
#include <initializer_list>

#include <QtGui/QFontMetrics>
#include <QtGui/QPainter>

#include "document/RDHost.h"
#include "text/RDLineBreak.h"
#include "items/RDMarkerItems.h"
#include "text/RDTextCanvas.h"
#include "document/RDTextItems.h"
#include "text/RDTextMeasure.h"
#include "core/RDUnicode.h"

namespace {

int UnitSize(int flags) { return (flags & rdioUnicode) ? 2 : 1; }

bool IsSpaceAt(const QByteArray& s, int i, int flags)
{
    return (flags & rdioUnicode) ? WideUnitAt(s, i) == u' ' : s[i] == ' ';
}

// Margins, widths and heights added up in 64 bits, brought into the range
// of int: the owner's margins and widths may be any integers.
int FormatExtentSum(std::initializer_list<int64_t> parts)
{
    int64_t sum = 0;
    for (int64_t part : parts)
        sum += part;
    return static_cast<int>(std::clamp<int64_t>(sum, INT_MIN, INT_MAX));
}

} // namespace

// ---- font info cache ----

TRDFontInfoCache::TRDFontInfoCache(TCustomRDFormattedData* owner, TRDStyle* rdStyle, TCanvas* canvas,
                                   bool canUseCustomPPI)
    : Canvas(canvas), RDStyle(rdStyle), CanUseCustomPPI(canUseCustomPPI), OwnerRDData(owner)
{
    FItems.resize(size_t(rdStyle ? rdStyle->TextStyles().Count() : 0));
}

TRDFontInfoCacheItem* TRDFontInfoCache::GetItems(int styleNo)
{
    if (styleNo < 0 || styleNo >= Count())
        styleNo = 0;
    auto& slot = FItems[size_t(styleNo)];
    if (slot && slot->BiDiMode == CurParaBiDiMode && !RDStyle->OnApplyStyle) {
        // The font the style gave is selected again, not made anew.
        SelectCanvasFont(*Canvas, slot->Font, slot->Charset);
        Canvas->Painter().setLayoutDirection(slot->Direction);
        return slot.get();
    }
    RDStyle->ApplyStyle(*Canvas, styleNo, CurParaBiDiMode, CanUseCustomPPI, nullptr, false);
    if (!slot) {
        slot = std::make_unique<TRDFontInfoCacheItem>();
        ++MeasuredCount;
        TFontInfo* fi = RDStyle->TextStyles().Items(styleNo);
        slot->FontInfo = fi;
        slot->Canvas = Canvas;
        QFontMetrics fm(CanvasFont(*Canvas));
        TEXTMETRICA& tm = slot->TextMetric;
        tm.tmAscent = fm.ascent();
        tm.tmDescent = fm.descent();
        tm.tmHeight = tm.tmAscent + tm.tmDescent;
        tm.tmExternalLeading = std::max(0, fm.leading());
        int px = CanvasFont(*Canvas).pixelSize();
        tm.tmInternalLeading = px > 0 ? std::max(0, tm.tmHeight - px) : 0;
        tm.tmAveCharWidth = fm.averageCharWidth();
        tm.tmMaxCharWidth = fm.maxWidth();
        int shift = 0;
        if (fi->SubSuperScriptType == TRDSubSuperScriptType::rdsssSuperScript)
            shift = tm.tmHeight / 3;
        else if (fi->SubSuperScriptType == TRDSubSuperScriptType::rdsssSubscript)
            shift = -tm.tmHeight / 6;
        slot->VerticalOffset = shift + MulDiv(tm.tmHeight, fi->VShift, 100);
        slot->EmptyLineHeight = fm.height();
        slot->HyphenWidth = fm.horizontalAdvance(QLatin1Char('-'));
    }
    slot->BiDiMode = CurParaBiDiMode;
    slot->Font = CanvasFont(*Canvas);
    slot->Charset = Canvas->Font.Charset;
    slot->Direction = Canvas->Painter().layoutDirection();
    return slot.get();
}

double TRDFontInfoCacheItem::AdvanceOf(char16_t c)
{
    double& a = FAdvances[c];
    if (a < 0)
        a = FMetrics->horizontalAdvance(QChar(c)) + FSpacing;
    return a;
}

bool TRDFontInfoCacheItem::SimpleExtents(const char* p, int count, int flags, std::vector<int>& extents, int& height)
{
    constexpr char16_t Limit = 0x300;  // Latin, with no combining marks
    if (FSimple < 0) {
        FSimple = 1;
        if (Font.letterSpacingType() == QFont::AbsoluteSpacing)
            FSpacing = Font.letterSpacing();
        else if (Font.letterSpacing() != 0.0 && Font.letterSpacing() != 100.0)
            FSimple = 0;
        FMetrics = std::make_unique<QFontMetricsF>(Font, Canvas->Painter().device());
        FHeight = qRound(FMetrics->height());
        FAdvances.assign(Limit, -1.0);
    }
    if (!FSimple || Direction == Qt::RightToLeft)
        return false;
    bool unicode = flags & rdioUnicode;
    for (int i = 0; i < count; ++i) {
        char16_t c = unicode ? char16_t(uint8_t(p[2 * i]) | (uint8_t(p[2 * i + 1]) << 8)) : char16_t(uint8_t(p[i]));
        if (c < 0x20 || c >= (unicode ? Limit : 0x7F))
            return false;
    }
    extents.resize(size_t(count));
    double x = 0;
    for (int i = 0; i < count; ++i) {
        char16_t c = unicode ? char16_t(uint8_t(p[2 * i]) | (uint8_t(p[2 * i + 1]) << 8)) : char16_t(uint8_t(p[i]));
        x += AdvanceOf(c);
        extents[size_t(i)] = qRound(x);
    }
    height = FHeight;
    return true;
}

std::unique_ptr<TRDFontInfoCache> CreateFontInfoCacheFor(TCustomRDFormattedData* owner, TRDStyle* rdStyle,
                                                         TCanvas* canvas, bool canUseCustomPPI, bool fastFormatting)
{
    if (fastFormatting)
        return std::make_unique<TRDFontInfoCacheFast>(owner, rdStyle, canvas, canUseCustomPPI);
    return std::make_unique<TRDFontInfoCacheLowResource>(owner, rdStyle, canvas, canUseCustomPPI);
}

// ---- life ----

TCustomRDFormattedData::TCustomRDFormattedData() = default;

TCustomRDFormattedData::~TCustomRDFormattedData()
{
    DrawItems.Clear();
    JumpList.clear();
}

void TCustomRDFormattedData::ClearFormatting()
{
    DrawItems.Clear();
    ClearJumpList();
    JumpCount = 0;
    LastVisibleCheckpoint = nullptr;
    SelectingInfo.reset();
    HighlightedItem = nullptr;
    CapturingItem = nullptr;
    DrawItemUnderMouse = -1;
    State &= ~(dsMouseSelecting | dsLineSelecting | dsJumpHighlighted);
    MouseDownDrawItem = -1;
    LastFormattedItemNo = -1;
    DocumentHeight = FormatExtentSum({GetTopMargin(), GetBottomMargin()});
}

void TCustomRDFormattedData::FreeItem(std::unique_ptr<TCustomRDItemInfo> item, bool keepLists)
{
    ForgetItem(item.get());
    TCustomRDData::FreeItem(std::move(item), keepLists);
}

void TCustomRDFormattedData::ForgetItem(TCustomRDItemInfo* item)
{
    if (item == CapturingItem)
        CapturingItem = nullptr;
}

void TCustomRDFormattedData::GetResolution(TCanvas* canvas, TRDResolutionInfo& info)
{
    if (canvas && canvas->Painter().device())
        FillResolutionInfo(info, *canvas->Painter().device());
}

void TCustomRDFormattedData::ReleaseFontInfoCache(TRDFontInfoCache*& cache)
{
    if (cache && cache->OwnerRDData == this) {
        delete cache;
        cache = nullptr;
    }
}

TRDFontInfoCache* TCustomRDFormattedData::GetFontInfoCache(TCanvas* canvas, TCustomRDFormattedData* requester)
{
    auto* root = dynamic_cast<TCustomRDFormattedData*>(GetAbsoluteRootData());
    if (root && root != this)
        return root->GetFontInfoCache(canvas, requester);
    return CreateFontInfoCacheFor(requester, GetRDStyle(), canvas, GetControlFlags() & cfStylePixelsPerInch,
                                  GetOptions() & rdoFastFormatting)
        .release();
}

TParaInfo& TCustomRDFormattedData::ParaStyle(int paraNo) const
{
    TParaInfos& p = const_cast<TCustomRDFormattedData*>(this)->GetRDStyle()->ParaStyles();
    return *p.Items(paraNo >= 0 && paraNo < p.Count() ? paraNo : 0);
}

TParaInfo& TCustomRDFormattedData::ParaStyleOf(int itemNo) const { return ParaStyle(ItemAt(itemNo)->ParaNo); }

TFontInfo& TCustomRDFormattedData::TextStyleOf(int styleNo) const
{
    TFontInfos& t = const_cast<TCustomRDFormattedData*>(this)->GetRDStyle()->TextStyles();
    return *t.Items(styleNo >= 0 && styleNo < t.Count() ? styleNo : 0);
}

// ---- the pass ----

void TCustomRDFormattedData::FillFormatState(TRDFormatState& st, bool itemFlag1, bool itemFlag2)
{
    st = TRDFormatState();
    st.ItemFlag1 = itemFlag1;
    st.ItemFlag2 = itemFlag2;
    st.MaxLength = GetMaxLength();
    st.WordWrap = GetWordWrap();
}

void TCustomRDFormattedData::FillResolution(TCanvas* canvas, TRDFormatResolution& res)
{
    GetResolution(canvas, res.Info);
    res.LeftMargin = ScaleToDeviceX(GetLeftMargin(), &res.Info);
    res.RightMargin = ScaleToDeviceX(GetRightMargin(), &res.Info);
}

void TCustomRDFormattedData::SetItemFirstDrawItem(int itemNo, int d)
{
    if (!SharesItems())
        ItemAt(itemNo)->FirstDrawItem = d;
}

void TCustomRDFormattedData::DoFormat(bool keepSelection, bool force, bool itemFlag1, bool itemFlag2,
                                      bool onlyNewItems, TCanvas* canvas, int depth, bool keepScroll)
{
    if (SkipNextFormat) {
        SkipNextFormat = false;
        return;
    }
    if (depth > 1 || !GetRDStyle() || (State & dsFormatting)
        || (onlyNewItems && LastFormattedItemNo >= ItemCount() - 1))
        return;
    if (!canvas)
        canvas = GetCanvas();
    if (depth == 0)
        State |= dsFormatting;
    struct Finish {
        TCustomRDFormattedData* d;
        int depth;
        ~Finish()
        {
            if (depth != 0)
                return;
            d->State &= ~dsFormatting;
            d->LastFormattedItemNo = d->ItemCount() - 1;
            d->UpdateItemAnimators(0, d->ItemCount() - 1);
            d->ItemsFormattedHook(0, d->ItemCount() - 1, false);
            d->FinishFormatHook();
        }
    } finish{this, depth};

    TRDFormatState st;
    FillFormatState(st, itemFlag1, itemFlag2);
    int selA = -1, selAO = 0, selB = -1, selBO = 0, anchorItem = -1, anchorDist = 0, oldVOffset = 0;
    if (depth == 0) {
        if (keepSelection)
            GetSelectionBounds(selA, selAO, selB, selBO, false);
        if (keepSelection && !keepScroll && DrawItems.Count() > 0) {
            int d = std::min(FindDrawItemByY(GetVOffset(), 1), DrawItems.Count() - 1);
            anchorItem = DrawItems[d]->ItemNo;
            int first = ItemAt(anchorItem)->FirstDrawItem;
            if (first >= 0 && first < DrawItems.Count())
                anchorDist = GetVOffset() - DrawItems[first]->Top;
        }
        if (onlyNewItems)
            oldVOffset = GetVOffset();
    }
    int oldDocWidth = DocumentWidth, oldTextWidth = TextWidth;
    TRDFormatResolution res;
    FillResolution(canvas, res);
    int f = onlyNewItems ? LastFormattedItemNo + 1 : 0;
    const int64_t margins = int64_t(res.LeftMargin) + res.RightMargin;
    const int clientText = FormatExtentSum({GetWidth(), -margins});
    int minText = ScaleToDeviceX(GetMinTextWidth(), &res.Info);
    int maxText = ScaleToDeviceX(GetMaxTextWidth(), &res.Info);
    TextWidth = std::max(clientText, WidthFromItemToEnd(f, &res.Info, canvas));
    TextWidth = std::max(TextWidth, minText);
    if (GetOptions() & rdoClientTextWidth)
        DocumentWidth = std::max(clientText, minText);
    else
        DocumentWidth = maxText < 1 ? TextWidth : std::min(maxText, TextWidth);

    if (force || !keepSelection || DocumentWidth != oldDocWidth || TextWidth != oldTextWidth) {
        if (onlyNewItems) {
            st.Y = DocumentHeight - GetBottomMargin();
            if (LastFormattedItemNo >= 0)
                st.Y -= ScaleToDeviceY(ParaStyleOf(LastFormattedItemNo).SpaceAfter, &res.Info);
        } else {
            st.Y = GetTopMargin();
            ClearFormatting();
            f = 0;
        }
        st.NextDrawNo = DrawItems.Count();
        CreateFontInfoCache(canvas);
        st.FontCache = GetFontInfoCache(canvas, this);
        st.Canvas = canvas;
        FormatItems(f, ItemCount() - 1, st, res, canvas);
        FinishPendingTab(st);
        int e = FinishLine(res, st.Origin + st.Width, st, !(State & dsLastLineContinues));
        ReleaseFontInfoCache(st.FontCache);
        const int spaceAfter =
            ItemCount() > 0 ? ScaleToDeviceY(ParaStyleOf(ItemCount() - 1).SpaceAfter, &res.Info) : 0;
        DocumentHeight = FormatExtentSum({GetBottomMargin(), st.Y, st.Gap, e, spaceAfter});
        AdjustVScrollUnits();
        OffsetJumpRects();
    }
    int oldW = GetWidth(), oldH = GetHeight();
    SkipNextFormat = true;
    SetDocumentSize(FormatExtentSum({GetLeftMargin(), TextWidth, GetRightMargin()}), DocumentHeight, true);
    SkipNextFormat = false;
    if (oldW != GetWidth() || oldH != GetHeight()) {
        State &= ~dsFormatting;
        DoFormat(keepSelection, force, itemFlag1, itemFlag2, false, canvas, depth + 1, false);
        State |= dsFormatting;
    }
    if (depth == 0) {
        if (keepSelection && !keepScroll && anchorItem >= 0) {
            int first = anchorItem < ItemCount() ? ItemAt(anchorItem)->FirstDrawItem : -1;
            ScrollToV(first >= 0 ? DrawItems[first]->Top + anchorDist : 0, false);
        }
        PlaceControls();
        if (onlyNewItems)
            ScrollToV((GetOptions() & rdoScrollToEnd) ? DocumentHeight : oldVOffset, false);
        if (keepSelection)
            StoreSelection(selA, selAO, selB, selBO);
    }
}

void TCustomRDFormattedData::FormatItems(int first, int last, TRDFormatState& st, TRDFormatResolution& res,
                                         TCanvas* canvas)
{
    bool showSpecial = GetOptions() & rdoShowSpecialCharacters;
    for (int i = first; i <= last; ++i) {
        TCustomRDItemInfo* item = ItemAt(i);
        if (item->StartsParagraph())
            st.ParaFirstItemNo = i;
        if (item->StyleNo < 0) {
            FormatParagraph({}, {}, 0, TextOfItem(i).size(), i, canvas, res, st);
        } else if (ParaStyleOf(i).Alignment == TRDAlignment::rdaJustify) {
            FormatWordByWord(i, canvas, st, res);
        } else {
            QByteArray display;
            GetDisplayText(TextOfItem(i), TextStyleOf(EffectiveStyleOfItem(i)), false, display, false, showSpecial);
            FormatParagraph(display, TextOfItem(i), 0, CharLength(TextOfItem(i), item->ItemOptions), i, canvas, res,
                            st);
        }
    }
}

void TCustomRDFormattedData::FormatWordByWord(int itemNo, TCanvas* canvas, TRDFormatState& st,
                                              TRDFormatResolution& res)
{
    const QByteArray& stored = TextOfItem(itemNo);
    int flags = ItemOptionsOf(itemNo);
    QByteArray display;
    GetDisplayText(stored, TextStyleOf(EffectiveStyleOfItem(itemNo)), false, display, false,
                   GetOptions() & rdoShowSpecialCharacters);
    int n = CharLength(stored, flags);
    if (n == 0) {
        FormatParagraph(display, stored, 0, 0, itemNo, canvas, res, st);
        return;
    }
    int start = 0;
    while (start < n) {
        int end = start + 1;
        while (end < n && !IsSpaceAt(display, end, flags))
            ++end;
        FormatParagraph(display, stored, start, end - start, itemNo, canvas, res, st);
        start = end;
    }
}

void TCustomRDFormattedData::UseTextStyle(int itemNo, int styleNo, TRDFormatState& st,
                                          const TRDFormatResolution& res)
{
    if (styleNo == st.CurStyleNo && st.CurStyleNo >= 0)
        return;
    st.FontCache->LastTextStyle = st.CurStyleNo;
    st.FontCache->CurParaBiDiMode = BiDiModeOfPara(ItemAt(itemNo)->ParaNo);
    TRDFontInfoCacheItem* e = st.FontCache->GetItems(styleNo);
    st.TextAscent = e->TextMetric.tmAscent;
    st.TextDescent = e->TextMetric.tmDescent;
    st.TextHeight = e->TextMetric.tmHeight;
    st.InternalLeading = e->TextMetric.tmInternalLeading;
    st.ExternalLeading = e->TextMetric.tmExternalLeading;
    st.TextVShift = e->VerticalOffset;
    st.Canvas = e->Canvas;
    st.CurStyleNo = styleNo;
    st.CurEntry = GetRDStyle()->OnApplyStyle ? nullptr : e;
    // The style's own font spaces its characters for the screen; another
    // device gets the spacing scaled to it.
    const TFontInfo& font = TextStyleOf(styleNo);
    if (font.CharSpacing != 0 && BiDiModeOfItem(itemNo) == TRDBiDiMode::rdbdUnspecified
        && (res.Info.ScreenPpiX != res.Info.DevicePpiX || res.Info.ScreenPpiY != res.Info.DevicePpiY)) {
        SetCanvasCharacterExtra(*st.Canvas, ScaleToDeviceX(font.CharSpacing, &res.Info));
        st.CurEntry = nullptr;
    }
}

void TCustomRDFormattedData::SegmentExtents(TRDFormatState& st, const QByteArray& text, int p, int count, int flags,
                                            std::vector<int>& extents, int& height)
{
    const char* data = text.constData() + p * UnitSize(flags);
    if (count <= 0) {
        extents.clear();
        height = 0;
        return;
    }
    if (st.CurEntry && st.CurEntry->SimpleExtents(data, count, flags, extents, height))
        return;
    int fit = 0;
    QSize size;
    TextExtentEx(*st.Canvas, data, count, RDMaxInt, fit, &extents, flags, size);
    height = size.height();
}

int TCustomRDFormattedData::SegmentWidth(TRDFormatState& st, const QByteArray& text, int p, int count, int flags,
                                         int* height)
{
    std::vector<int>& ext = FExtents;
    int h = 0;
    SegmentExtents(st, text, p, count, flags, ext, h);
    if (height)
        *height = h;
    return ext.empty() ? 0 : ext.back();
}

int TCustomRDFormattedData::FitCharsByExtentEx(const QByteArray& display, const QByteArray& stored, int p, int n,
                                               int free, int flags, TRDFormatState& st, bool wraps, int hyphenWidth)
{
    int r = n;
    if (st.MaxLength > 0 && st.MaxLength - st.CharsOnLine < r && wraps)
        r = std::max(0, st.MaxLength - st.CharsOnLine);
    if (!wraps || r == 0)
        return r;
    int fit = 0;
    QSize size;
    std::vector<int>& ext = FExtents;
    TextExtentEx(*st.Canvas, display.constData() + p * UnitSize(flags), r, free, fit, &ext, flags, size);
    if (!(flags & rdioUnicode))
        return fit;  // the extents never let a fit end inside a character
    // A line that ends at a soft hyphen shows a hyphen.
    if (fit > 0 && WideUnitAt(stored, p + fit - 1) == 0x00AD && ext[size_t(fit - 1)] + hyphenWidth > free)
        --fit;
    if (fit > 0 && fit < r && WideUnitAt(stored, p + fit) == 0x00AD)
        --fit;
    while (fit > 0 && fit < n && QChar::isLowSurrogate(WideUnitAt(display, p + fit)))
        ++fit;
    return fit;
}

int TCustomRDFormattedData::FitChars(const QByteArray& display, const QByteArray& stored, int p, int n, int free,
                                     int flags, TRDFormatState& st, bool wraps, int hyphenWidth)
{
    int r = n;
    if (st.MaxLength > 0 && st.MaxLength - st.CharsOnLine < r && wraps)
        r = std::max(0, st.MaxLength - st.CharsOnLine);
    if (!wraps || r == 0)
        return r;
    // One measure gives the extent after every character; a character of
    // several bytes or units carries its whole extent on each of them, so a
    // fit never ends inside one.
    std::vector<int>& ext = FExtents;
    int height = 0;
    // Only as much is measured as the line can take: a prefix that grows
    // until a character well before its end (so that the cut cannot change
    // its extent) no longer fits. A long paragraph is then not measured to
    // its end again for every line.
    constexpr int cutMargin = 8;
    int measured = std::min(r, 256);
    for (;;) {
        SegmentExtents(st, display, p, measured, flags, ext, height);
        if (measured >= r || (measured > cutMargin && ext[size_t(measured - 1 - cutMargin)] > free))
            break;
        measured = std::min(r, measured * 2);
    }
    r = measured;
    bool unicode = flags & rdioUnicode;
    auto width = [&](int c) {
        int w = ext[size_t(c - 1)];
        if (unicode && WideUnitAt(stored, p + c - 1) == 0x00AD && WideUnitAt(display, p + c - 1) == 0x200B)
            w += hyphenWidth;
        return w;
    };
    int lo = 0;
    while (lo < r && ext[size_t(lo)] <= free)
        ++lo;
    while (lo > 0 && width(lo) > free)
        --lo;
    if (unicode && lo > 0 && lo < n && WideUnitAt(stored, p + lo) == 0x00AD) {
        --lo;
        if (lo > 0 && QChar::isLowSurrogate(WideUnitAt(display, p + lo)))
            --lo;
    }
    return lo;
}

const TRDListLevel* TCustomRDFormattedData::MarkerLevelOf(int itemNo) const
{
    if (itemNo < 0 || itemNo >= ItemCount())
        return nullptr;
    auto* marker = dynamic_cast<const TRDMarkerItemInfo*>(ItemAt(itemNo));
    return marker ? marker->GetLevelInfo(const_cast<TCustomRDFormattedData*>(this)->GetRDStyle()) : nullptr;
}

const TRDListLevel* TCustomRDFormattedData::LineListLevel(bool firstLine, int paraStart) const
{
    if (const TRDListLevel* level = MarkerLevelOf(paraStart))
        return level;
    int listNo = -1, level = -1;
    if (!firstLine && paraStart == 0 && (State & dsPartStartsInList)
        && const_cast<TCustomRDFormattedData*>(this)->GetFirstParaListInfo(listNo, level))
        return TRDMarkerItemInfo::ListLevelOf(const_cast<TCustomRDFormattedData*>(this)->GetRDStyle(), listNo, level);
    return nullptr;
}

void TCustomRDFormattedData::GetLineIndents(int itemNo, bool firstLine, int& base, int& right, int& left,
                                            int& paraStart)
{
    if (paraStart < 0)
        paraStart = FirstItemOfPara(itemNo);
    if ((State & dsPartStartsInList) && paraStart != 0)
        firstLine = false;
    const TParaInfo& para = ParaStyleOf(itemNo);
    if (const TRDListLevel* level = LineListLevel(firstLine, paraStart)) {
        bool startsWithMarker = ItemAt(paraStart)->StyleNo == MarkerStyleNo;
        int value = firstLine && startsWithMarker ? level->MarkerIndent : level->LeftIndent;
        if (BiDiModeOfPara(ItemAt(itemNo)->ParaNo) == TRDBiDiMode::rdbdRightToLeft) {
            right = value;
            left = para.LeftIndent;
        } else {
            left = value;
            right = para.RightIndent;
        }
        base = left;
        return;
    }
    left = base = para.LeftIndent;
    right = para.RightIndent;
    TCustomRDItemInfo* item = ItemAt(itemNo);
    if (firstLine && !item->HasLineBreakBefore() && !item->GetBoolValue(0))
        left += para.FirstIndent;
}

void TCustomRDFormattedData::RaiseLineAscent(int a, TRDFormatState& st)
{
    if (a <= st.Ascent)
        return;
    int shift = a - st.Ascent;
    for (int d = st.NextDrawNo - 1; d >= 0; --d) {
        DrawItems[d]->Top += shift;
        if (DrawItems[d]->StartsLine())
            break;
    }
    st.Y += shift;
    st.Ascent = a;
}

void TCustomRDFormattedData::StartNewLine(int itemNo, bool wrap, TRDFormatState& st, TRDFormatResolution& res)
{
    if (wrap && !st.SpaceSwallowed && st.NextDrawNo > 0) {
        int d = st.NextDrawNo - 1;
        TRDDrawLineInfo* di = DrawItems[d];
        int flags = ItemOptionsOf(di->ItemNo);
        bool afterMarker = d > 0 && ItemAt(DrawItems[d - 1]->ItemNo)->StyleNo == MarkerStyleNo;
        if (ItemAt(di->ItemNo)->StyleNo >= 0 && di->Length > 0
            && IsSpaceAt(TextOfItem(di->ItemNo), di->Offs + di->Length - 2, flags) && !afterMarker) {
            if (di->Length != 1 || d == 0 || DrawItems[d - 1]->ItemNo != di->ItemNo || di->StartsLine()) {
                --di->Length;
                int style = EffectiveStyleOfItem(di->ItemNo);
                UseTextStyle(di->ItemNo, style, st, res);
                QByteArray display;
                GetDisplayText(TextOfItem(di->ItemNo), TextStyleOf(style), false, display, false,
                               GetOptions() & rdoShowSpecialCharacters);
                di->Width = SegmentWidth(st, display, di->Offs - 1, di->Length, flags, nullptr);
                int cur = EffectiveStyleOfItem(itemNo);
                if (ItemAt(itemNo)->StyleNo >= 0 && cur != style)
                    UseTextStyle(itemNo, cur, st, res);
            } else {
                DrawItems.DeleteDrawItem(d);
                --st.NextDrawNo;
            }
            st.SpaceSwallowed = true;
        }
    }
    if (wrap && st.NextDrawNo > 0 && !((GetOptions() & rdoShowSpecialCharacters) && (VisibleSpecialCharacters & 8))) {
        TRDDrawLineInfo* di = DrawItems[st.NextDrawNo - 1];
        if ((ItemOptionsOf(di->ItemNo) & rdioUnicode) && di->Length > 0
            && WideUnitAt(TextOfItem(di->ItemNo), di->Offs + di->Length - 2) == 0x00AD) {
            int style = EffectiveStyleOfItem(di->ItemNo);
            TRDFontInfoCacheItem* e = st.FontCache->Known(style);
            if (!e) {
                // Measured now; the current style goes back on the canvas as it was.
                st.FontCache->CurParaBiDiMode = BiDiModeOfPara(ItemAt(di->ItemNo)->ParaNo);
                e = st.FontCache->GetItems(style);
                int cur = st.CurStyleNo;
                st.CurStyleNo = -1;
                if (cur >= 0)
                    UseTextStyle(itemNo, cur, st, res);
            }
            di->Width += e->HyphenWidth;
        }
    }
    FinishPendingTab(st);
    st.LineExtra = FinishLine(res, st.Origin + st.Width, st, st.NewLine);
    int base, right, left;
    int ps = -1;
    GetLineIndents(itemNo, st.NewLine, base, right, left, ps);
    base = ScaleToDeviceX(base, &res.Info);
    left = ScaleToDeviceX(left, &res.Info);
    right = ScaleToDeviceX(right, &res.Info);
    st.BaseIndent = base;
    st.RightIndent = right;
    TCustomRDItemInfo* item = ItemAt(itemNo);
    if (st.NewLine && !item->HasLineBreakBefore()) {
        if (itemNo > 0)
            st.Gap += ScaleToDeviceY(ParaStyleOf(itemNo - 1).SpaceAfter, &res.Info);
        st.Gap += ScaleToDeviceY(ParaStyleOf(itemNo).SpaceBefore, &res.Info);
    }
    bool noWrap = (ParaStyleOf(itemNo).Options & rdpaoNoWrap) || !st.WordWrap;
    st.Width = (noWrap ? TextWidth : DocumentWidth) - right - left;
    st.Origin = res.LeftMargin + left;
    st.CharsOnLine = 0;
    st.HasLineAlignedItems = false;
}

void TCustomRDFormattedData::PlaceRectItem(int itemNo, std::unique_ptr<TRDDrawLineInfo> owned, TRDFormatState& st,
                                           TRDFormatResolution& res)
{
    TRDDrawLineInfo* d = owned.get();
    auto* item = static_cast<TRDNonTextItemInfo*>(ItemAt(itemNo));
    auto* rect = dynamic_cast<TRDRectItemInfo*>(item);
    const TParaInfo& para = ParaStyleOf(itemNo);
    int offset = 0, depth = 0;
    item->OnDocWidthChangeEx(DocumentWidth - ScaleToDeviceX(para.LeftIndent + para.RightIndent + para.FirstIndent,
                                                            &res.Info),
                             d, GetControlFlags() & cfPrinting, st.Canvas, this, &res.Info, offset, depth,
                             st.ItemFlag1, st.ItemFlag2);
    if (item->GetBoolValue(3))
        st.CurStyleNo = -1;
    int width, height;
    if (item->GetBoolValueEx(6, GetRDStyle())) {
        width = d->Width;
        height = d->Height;
    } else {
        width = ScaleToDeviceX(item->GetWidthEx(), &res.Info);
        height = ScaleToDeviceY(item->GetHeightEx(), &res.Info);
        depth = ScaleToDeviceY(depth, &res.Info);
    }
    bool isTab = item->StyleNo == TabStyleNo;
    QString leader;
    TRDTabAlign align = TRDTabAlign::rdtaLeft;
    if (isTab) {
        FinishPendingTab(st);
        int pos = GetRDStyle()->FindNextTabStop(item->ParaNo, st.Origin + st.X, &res.Info, leader, align,
                                                GetBiDiMode(), st.BaseIndent, st.RightIndent);
        width = pos - st.Origin - st.X;
        if (pos - st.Origin <= st.Width) {
            if (align == TRDTabAlign::rdtaRight)
                width = 0;
            else if (align == TRDTabAlign::rdtaCenter)
                width = std::max(0, width + pos - st.Width - st.Origin);
        }
    }
    int v = 0;
    int assoc = item->GetAssociatedTextStyleNo();
    if (assoc >= 0)
        v = st.FontCache->GetItems(assoc)->VerticalOffset, st.CurStyleNo = -1;
    else if (rect)
        v = rect->VShiftAbs ? ScaleToDeviceY(rect->VShift, &res.Info) : height * rect->VShift / 100;
    int va = rect ? int(rect->VAlign) : 0;
    auto hOf = [&]() { return va == 0 ? height - depth : va == 1 ? height / 2 : 0; };
    bool wraps = !(para.Options & rdpaoNoWrap) && st.WordWrap;
    bool afterMarker = itemNo > 0 && ItemAt(itemNo - 1)->StyleNo == MarkerStyleNo;
    bool stays = item->ContinuesPara() && !dynamic_cast<TRDMultiImagePrintInfo*>(d)
        && ((st.X + width <= st.Width && !(st.MaxLength >= 1 && st.CharsOnLine == st.MaxLength)) || !wraps
            || afterMarker);
    int top;
    if (stays) {
        int h = hOf();
        if (va >= 2)
            st.HasLineAlignedItems = true;
        RaiseLineAscent(h + v, st);
        top = st.Y - h - v;
        if (va < 2)
            st.Gap = std::max(st.Gap, height - h - v);
        d->FromNewLine = 0;
        ++st.CharsOnLine;
    } else {
        if (item->ContinuesPara())
            st.NewLine = false;
        StartNewLine(itemNo, item->ContinuesPara(), st, res);
        d->FromNewLine = 255;
        st.X = 0;
        st.Y += st.LineExtra;
        st.LineExtra = 0;
        top = st.Y + st.Gap;
        int h = hOf();
        if (va >= 2)
            st.HasLineAlignedItems = true;
        st.Ascent = h + v;
        st.Y += st.Gap + st.Ascent;
        st.Gap = va >= 2 ? 0 : height - st.Ascent;
        ++st.CharsOnLine;
    }
    st.NewLine = false;
    d->Left = st.Origin + st.X + offset;
    if (isTab) {
        int pos = GetRDStyle()->FindNextTabStop(item->ParaNo, d->Left, &res.Info, leader, align, GetBiDiMode(),
                                                st.BaseIndent, st.RightIndent);
        if (auto* tab = dynamic_cast<TRDTabItemInfo*>(item))
            tab->Leader = leader;
        width = pos - d->Left;
        if (align == TRDTabAlign::rdtaRight) {
            width = 0;
            st.PendingTabNo = st.NextDrawNo;
            st.PendingTabAlign = uint8_t(align);
            st.PendingTabPos = pos;
        } else if (align == TRDTabAlign::rdtaCenter) {
            width = std::max(0, width + pos - st.Width - st.Origin);
            st.PendingTabNo = st.NextDrawNo;
            st.PendingTabAlign = uint8_t(align);
            st.PendingTabPos = pos;
        }
    }
    st.X += width + offset;
    d->Top = top;
    d->ItemNo = itemNo;
    d->Width = width;
    d->Height = height;
    d->Offs = 0;
    d->Length = 0;
    SetItemFirstDrawItem(itemNo, st.NextDrawNo);
    DrawItems.InsertDrawItem(st.NextDrawNo, std::move(owned));
    ++st.NextDrawNo;
    if (GetControlFlags() & cfJumpsActive)
        item->BuildJumps(d->Left, d->Top, JumpCount, JumpList);
}

// Opens a line with text of the given ascent; answers the line's top.
static int OpenTextLine(TRDFormatState& st, int lineAscent)
{
    st.X = 0;
    st.Y += st.LineExtra;
    st.LineExtra = 0;
    int top = st.Y + st.Gap;
    st.Ascent = lineAscent;
    st.Y += st.Ascent + st.Gap;
    return top;
}

// A run of one text item being formatted: its characters from startOffset,
// what the steps read of its item and style, and where the run stands.
struct TRDFormatRun {
    const QByteArray& Display;
    const QByteArray& Stored;
    TCustomRDItemInfo* Item;
    int ItemNo;
    int StartOffset;
    const TFontInfo& Font;
    int StyleNo;
    int Flags;
    uint16_t Cf;
    int ExtraLeading;
    int LineAscent;
    bool Wraps = false, Unicode = false, Swallow = false;
    // The item follows a list marker; the next item continues the paragraph.
    bool AfterMarker = false, NextContinues = false;
    int HyphenWidth = 0;
    // The next character (0-based) and the count left.
    int P = 0, N = 0;
    // The next piece begins a line; it is the run's first piece.
    bool AtLineStart = false, FirstSegment = false;
};

void TCustomRDFormattedData::FormatParagraph(const QByteArray& display, const QByteArray& stored, int startOffset,
                                             int length, int itemNo, TCanvas* canvas, TRDFormatResolution& res,
                                             TRDFormatState& st)
{
    TCustomRDItemInfo* item = ItemAt(itemNo);
    const TParaInfo& para = ParaStyleOf(itemNo);
    uint16_t cf = GetControlFlags();
    // 1. An item that starts a paragraph starts a line.
    if (!item->ContinuesPara() && startOffset == 0) {
        st.NewLine = true;
        st.SpaceSwallowed = false;
    }
    // 2. A non-text item that takes a line of its own (a break, a full-line item).
    if (item->StyleNo < 0 && !dynamic_cast<TRDRectItemInfo*>(item)) {
        FormatFullLineItem(itemNo, cf, canvas, res, st);
        return;
    }
    // 3. Another non-text item, placed in the line.
    if (item->StyleNo < 0) {
        FormatInlineItem(itemNo, cf, res, st);
        return;
    }

    // 4. A text item: its style and what its pieces share.
    int style = EffectiveStyleOfItem(itemNo);
    const TFontInfo& font = TextStyleOf(style);
    UseTextStyle(itemNo, style, st, res);
    const int extraLeading = (cf & cfExternalLeading) ? st.ExternalLeading : 0;
    TRDFormatRun run{display, stored, item, itemNo, startOffset, font, style, item->ItemOptions, cf, extraLeading,
                     st.TextAscent + extraLeading + st.TextVShift};
    // 5. An empty text item: one empty piece.
    if (length == 0) {
        FormatEmptyText(run, res, st);
        return;
    }
    // 6. The pieces of the text, one per line.
    run.Wraps = !(para.Options & rdpaoNoWrap) && st.WordWrap;
    run.Unicode = run.Flags & rdioUnicode;
    run.Swallow = cf & cfSwallowWrapSpaces;
    run.P = startOffset;
    run.N = length;
    run.AtLineStart = startOffset == 0 && !item->ContinuesPara();
    run.FirstSegment = startOffset == 0;
    run.AfterMarker = itemNo > 0 && ItemAt(itemNo - 1)->StyleNo == MarkerStyleNo;
    run.NextContinues = itemNo + 1 < ItemCount() && ItemAt(itemNo + 1)->ContinuesPara();
    run.HyphenWidth = st.FontCache->Known(style)->HyphenWidth;
    FormatTextPieces(run, res, st);
    if (font.Jump && startOffset == 0)
        item->JumpIndex = JumpCount++;
}

// Step 2 of FormatParagraph: a break or a full-line item on a line of its own.
void TCustomRDFormattedData::FormatFullLineItem(int itemNo, uint16_t cf, TCanvas* canvas, TRDFormatResolution& res,
                                                TRDFormatState& st)
{
    TCustomRDItemInfo* item = ItemAt(itemNo);
    const TParaInfo& para = ParaStyleOf(itemNo);
    FinishPendingTab(st);
    st.Y += FinishLine(res, st.Origin + st.Width, st, true);
    st.LineExtra = 0;
    if (itemNo > 0)
        st.Gap += ScaleToDeviceY(ParaStyleOf(itemNo - 1).SpaceAfter, &res.Info);
    st.Gap += ScaleToDeviceY(para.SpaceBefore, &res.Info);
    std::unique_ptr<TRDDrawLineInfo> made;
    TRDDrawLineInfo* d;
    int c = 0;
    if (item->StyleNo == BreakStyleNo) {
        st.Gap += ScaleToDeviceY(ParaStyle(0).SpaceBefore, &res.Info);
        c = ScaleToDeviceY(5, &res.Info);
        made = std::make_unique<TRDDrawLineInfo>(res.LeftMargin, st.Y + st.Gap, DocumentWidth, 2 * c + 1, itemNo, true);
        d = made.get();
    } else {
        int width = DocumentWidth - ScaleToDeviceX(para.LeftIndent + para.RightIndent, &res.Info);
        made = (cf & cfPrinting) ? item->CreatePrintDrawItem(this, &res.Info) : std::make_unique<TRDDrawLineInfo>();
        d = made.get();
        int offset = 0, depth = 0;
        item->OnDocWidthChangeEx(width, d, cf & cfPrinting, canvas, this, &res.Info, offset, depth, st.ItemFlag1,
                                 st.ItemFlag2);
        if (item->GetBoolValue(3))
            st.CurStyleNo = -1;
        auto* nt = static_cast<TRDNonTextItemInfo*>(item);
        int w = ScaleToDeviceX(nt->GetWidthEx(), &res.Info), h = ScaleToDeviceY(nt->GetHeightEx(), &res.Info);
        int left = res.LeftMargin + ScaleToDeviceX(para.LeftIndent, &res.Info);
        if (para.Alignment == TRDAlignment::rdaRight)
            left += width - w;
        else if (para.Alignment == TRDAlignment::rdaCenter)
            left += std::max(0, (width - w) / 2);
        d->SetData(left + offset, st.Y + st.Gap, itemNo, true);
        d->SetSize(w, h);
    }
    SetItemFirstDrawItem(itemNo, st.NextDrawNo);
    DrawItems.InsertDrawItem(st.NextDrawNo, std::move(made));
    ++st.NextDrawNo;
    if (cf & cfJumpsActive)
        item->BuildJumps(d->Left, d->Top, JumpCount, JumpList);
    if (item->StyleNo == BreakStyleNo) {
        st.Y += c + st.Gap + 1;
        st.Gap = c;
        st.Ascent = c;
    } else {
        st.Y += st.Gap + d->Height;
        st.Ascent = d->Height;
        st.Gap = 0;
    }
    st.X = 0;
    st.NewLine = true;
}

// Step 3 of FormatParagraph: a non-text item in the line, a hypertext area when it is a jump.
void TCustomRDFormattedData::FormatInlineItem(int itemNo, uint16_t cf, TRDFormatResolution& res, TRDFormatState& st)
{
    TCustomRDItemInfo* item = ItemAt(itemNo);
    std::unique_ptr<TRDDrawLineInfo> made =
        (cf & cfPrinting) ? item->CreatePrintDrawItem(this, &res.Info) : std::make_unique<TRDDrawLineInfo>();
    PlaceRectItem(itemNo, std::move(made), st, res);
    if (item->GetBoolValueEx(2, GetRDStyle())) {
        if (cf & cfJumpsActive) {
            auto j = std::make_unique<TRDJumpInfo>();
            TRDDrawLineInfo* d = DrawItems[st.NextDrawNo - 1];
            j->Width = d->Width;
            j->Height = d->Height;
            j->Id = JumpCount;
            j->DrawItemNo = st.NextDrawNo - 1;
            j->Cursor = item->GetJumpCursor(GetRDStyle());
            j->RDData = this;
            JumpList.push_back(std::move(j));
        }
        item->JumpIndex = JumpCount++;
    }
}

// Step 5 of FormatParagraph: an empty text item, one piece of no width.
void TCustomRDFormattedData::FormatEmptyText(const TRDFormatRun& run, TRDFormatResolution& res, TRDFormatState& st)
{
    TCustomRDItemInfo* item = run.Item;
    const int itemNo = run.ItemNo;
    int h = st.FontCache->Known(run.StyleNo)->EmptyLineHeight;
    int top;
    bool startsLine = !item->ContinuesPara();
    if (!startsLine) {
        RaiseLineAscent(run.LineAscent, st);
        top = st.Y - st.TextAscent - run.ExtraLeading - st.TextVShift;
        st.Gap = std::max(st.Gap, st.TextDescent - st.TextVShift);
    } else {
        StartNewLine(itemNo, false, st, res);
        top = OpenTextLine(st, run.LineAscent);
        st.Gap = st.TextDescent - st.TextVShift;
    }
    auto d = std::make_unique<TRDDrawLineInfo>(st.Origin + st.X, top, 0, h, itemNo, startsLine);
    d->Offs = run.StartOffset + 1;
    if (run.Font.Jump)
        item->JumpIndex = -3;
    if (run.StartOffset == 0)
        SetItemFirstDrawItem(itemNo, st.NextDrawNo);
    DrawItems.InsertDrawItem(st.NextDrawNo, std::move(d));
    ++st.NextDrawNo;
    st.NewLine = false;
}

// Step 6 of FormatParagraph: piece after piece, each as much as fits on its line.
void TCustomRDFormattedData::FormatTextPieces(TRDFormatRun& run, TRDFormatResolution& res, TRDFormatState& st)
{
    while (run.N > 0) {
        // 6.1 A new line: a space at a wrap may go.
        if (run.AtLineStart) {
            StartNewLine(run.ItemNo, !st.NewLine, st, res);
            st.X = 0;
            if (run.Swallow && !st.SpaceSwallowed && !st.NewLine && run.N > 1 &&
                IsSpaceAt(run.Display, run.P, run.Flags)) {
                ++run.P;
                --run.N;
            }
            st.SpaceSwallowed = false;
        }
        // 6.2 How many characters fit, broken where a line may break.
        const bool lineStartHere = run.AtLineStart || (run.FirstSegment && run.AfterMarker);
        int fit = FitTextPiece(run, st, lineStartHere);
        if (fit >= 0 && fit < run.N)
            fit = BreakTextPiece(run, st, fit, lineStartHere);
        if (fit < 0) {
            // Nothing goes on this line: the next one.
            st.NewLine = false;
            run.AtLineStart = true;
            continue;
        }
        // 6.3 The piece.
        PlaceTextPiece(run, fit, st);
    }
}

// Step 6.2: the count of characters that fit on the line, at least one at a
// line's start; -1 when none fits elsewhere.
int TCustomRDFormattedData::FitTextPiece(TRDFormatRun& run, TRDFormatState& st, bool lineStartHere)
{
    const int p = run.P, n = run.N;
    int free = std::max(0, st.Width - st.X);
    int fit;
    if (st.MaxLength >= 1 && st.CharsOnLine >= st.MaxLength && run.Wraps)
        fit = 0;
    else if (run.Cf & cfMeasureByExtentEx)
        fit = FitCharsByExtentEx(run.Display, run.Stored, p, n, free, run.Flags, st, run.Wraps, run.HyphenWidth);
    else
        fit = FitChars(run.Display, run.Stored, p, n, free, run.Flags, st, run.Wraps, run.HyphenWidth);
    if (fit != 0)
        return fit;
    if (!lineStartHere)
        return -1;
    fit = 1;
    if (run.Unicode && n > 1 && QChar::isHighSurrogate(WideUnitAt(run.Display, p)))
        fit = 2;
    else if (!run.Unicode) {
        // a whole character of the item's code page
        std::vector<int> ext;
        int f = 0;
        QSize size;
        TextExtentEx(*st.Canvas, run.Display.constData() + p, std::min(n, 4), RDMaxInt, f, &ext, run.Flags, size);
        while (fit < int(ext.size()) && ext[size_t(fit)] == ext[size_t(fit - 1)])
            ++fit;
    }
    return fit;
}

// Step 6.2: fit characters do not end the run; the piece ends where the line
// may break (a space at the break may go); -1 when it cannot break and the
// line does not start here.
int TCustomRDFormattedData::BreakTextPiece(TRDFormatRun& run, TRDFormatState& st, int fit, bool lineStartHere)
{
    const int p = run.P, n = run.N;
    const int flags = run.Flags;
    int breakAt = -1;
    if (run.Unicode) {
        const char16_t* t = reinterpret_cast<const char16_t*>(run.Stored.constData()) + p;
        const char16_t* b = FindLineBreak(t, n, fit, fit + 1 == n);
        if (b)
            breakAt = p + int(b - t);
    } else {
        int limit = fit + 1 == n ? fit : fit + 1;
        for (int k = limit - 1; k >= 0; --k)
            if (run.Display[p + k] == ' ') {
                breakAt = p + k;
                break;
            }
    }
    if (breakAt < 0 && run.Swallow && (fit + 1 < n || run.NextContinues) && IsSpaceAt(run.Display, p + fit, flags)) {
        breakAt = p + fit;
        ++fit;
    }
    if (breakAt >= 0) {
        if (run.Swallow && IsSpaceAt(run.Display, breakAt, flags) && breakAt != p) {
            fit = breakAt - p;
            st.SpaceSwallowed = true;
        } else if (run.Swallow && breakAt == p)
            fit = 1;
        else
            fit = breakAt - p + 1;
    } else if (!lineStartHere)
        return -1;
    return fit;
}

// Step 6.3: the next fit characters as a draw item (and a hypertext area).
void TCustomRDFormattedData::PlaceTextPiece(TRDFormatRun& run, int fit, TRDFormatState& st)
{
    const int itemNo = run.ItemNo;
    const TFontInfo& font = run.Font;
    int offs = run.P + 1;
    run.P += fit;
    run.N -= fit;
    if (st.SpaceSwallowed) {
        ++run.P;
        --run.N;
        st.SpaceSwallowed = run.N == 0;
    }
    if (fit > 0 || run.AtLineStart) {
        int height = 0;
        int width = SegmentWidth(st, run.Display, offs - 1, fit, run.Flags, &height);
        int top;
        if (run.AtLineStart) {
            top = OpenTextLine(st, run.LineAscent);
        } else {
            RaiseLineAscent(run.LineAscent, st);
            top = st.Y - st.TextAscent - run.ExtraLeading - st.TextVShift;
        }
        auto d = std::make_unique<TRDDrawLineInfo>(st.Origin + st.X, top, width, height, itemNo, run.AtLineStart);
        d->Offs = offs;
        d->Length = fit;
        st.CharsOnLine += fit;
        if (run.FirstSegment)
            SetItemFirstDrawItem(itemNo, st.NextDrawNo);
        DrawItems.InsertDrawItem(st.NextDrawNo, std::move(d));
        ++st.NextDrawNo;
        if ((run.Cf & cfJumpsActive) && font.Jump) {
            auto j = std::make_unique<TRDJumpInfo>();
            j->Width = width;
            j->Height = height;
            j->Id = run.StartOffset > 0 ? JumpCount - 1 : JumpCount;
            j->DrawItemNo = st.NextDrawNo - 1;
            j->Cursor = font.JumpCursor;
            j->RDData = this;
            JumpList.push_back(std::move(j));
        }
        st.Gap = run.AtLineStart ? st.TextDescent - st.TextVShift
                                 : std::max(st.Gap, st.TextDescent - st.TextVShift);
        st.X += width;
    }
    st.NewLine = false;
    run.FirstSegment = false;
    run.AtLineStart = true;
}

void TCustomRDFormattedData::FinishPendingTab(TRDFormatState& st)
{
    if (st.PendingTabNo < 0)
        return;
    TRDDrawLineInfo* t = DrawItems[st.PendingTabNo];
    TRDDrawLineInfo* e = DrawItems[st.NextDrawNo - 1];
    int pos = std::min(st.PendingTabPos, st.Origin + st.Width);
    int shift = 0;
    if (st.PendingTabAlign == uint8_t(TRDTabAlign::rdtaRight))
        shift = pos - e->Left - e->Width;
    else if (st.PendingTabAlign == uint8_t(TRDTabAlign::rdtaCenter))
        shift = (2 * pos - t->Left - t->Width - e->Left - e->Width) / 2;
    shift = std::max(0, shift);
    t->Width += shift;
    for (int d = st.PendingTabNo + 1; d < st.NextDrawNo; ++d)
        DrawItems[d]->Left += shift;
    st.X += shift;
    st.PendingTabNo = -1;
}

int TCustomRDFormattedData::FinishLine(TRDFormatResolution& res, int right, TRDFormatState& st, bool last)
{
    if (st.FirstLine) {
        st.FirstLine = false;
        return 0;
    }
    if (st.NextDrawNo == 0)
        return 0;
    int bi = st.NextDrawNo - 1;
    TRDDrawLineInfo* b = DrawItems[bi];
    if (ItemAt(b->ItemNo)->GetBoolValue(0) && ItemAt(b->ItemNo)->StyleNo < 0
        && !dynamic_cast<TRDRectItemInfo*>(ItemAt(b->ItemNo)))
        return 0;
    const TParaInfo& para = ParaStyleOf(b->ItemNo);
    TRDBiDiMode bidi = BiDiModeOfPara(ItemAt(b->ItemNo)->ParaNo);
    TRDAlignment a = para.Alignment;
    if (a == TRDAlignment::rdaJustify && bidi != TRDBiDiMode::rdbdUnspecified)
        a = TRDAlignment::rdaLeft;
    int first = bi;
    while (first > 0 && !DrawItems[first]->StartsLine())
        --first;
    int s = 0;
    if (a != TRDAlignment::rdaLeft && !(a == TRDAlignment::rdaJustify && last)) {
        s = right - b->Left - b->Width;
        if (a == TRDAlignment::rdaCenter)
            s = std::max(0, s / 2);
    }
    int v = 0;
    if (st.HasLineAlignedItems) {
        int top0 = DrawItems[first]->Top, bottom0 = INT32_MIN;
        auto lineAligned = [&](int d) {
            auto* r = dynamic_cast<TRDRectItemInfo*>(ItemAt(DrawItems[d]->ItemNo));
            return r && int(r->VAlign) >= 2 ? r : nullptr;
        };
        for (int d = first; d <= bi; ++d)
            if (!lineAligned(d)) {
                top0 = std::min(top0, DrawItems[d]->Top);
                bottom0 = std::max(bottom0, DrawItems[d]->Top + DrawItems[d]->Height);
            }
        if (bottom0 == INT32_MIN)
            bottom0 = top0;
        int t1 = top0, b1 = bottom0;
        for (int d = first; d <= bi; ++d)
            if (auto* r = lineAligned(d)) {
                TRDDrawLineInfo* di = DrawItems[d];
                if (r->VAlign == TRDItemVAlign::ivaAbsTop)
                    di->Top = top0;
                else if (r->VAlign == TRDItemVAlign::ivaAbsBottom)
                    di->Top = bottom0 - di->Height;
                else
                    di->Top = (top0 + bottom0 - di->Height) / 2;
                t1 = std::min(t1, di->Top);
                b1 = std::max(b1, di->Top + di->Height);
            }
        if (t1 < top0) {
            for (int d = first; d <= bi; ++d)
                DrawItems[d]->Top += top0 - t1;
            b1 += top0 - t1;
        }
        v = std::max(0, b1 - bottom0);
    }
    int extra = 0;
    if (para.LineSpacingType == TRDLineSpacingType::rdlsSpaceBetween) {
        if (para.LineSpacing >= 0)
            extra = ScaleToDeviceY(para.LineSpacing, &res.Info);
    } else if (para.LineSpacing != 100 && para.LineSpacing >= 50) {
        int top = INT32_MAX, bottom = INT32_MIN;
        for (int d = bi; d >= first; --d)
            if (ItemAt(DrawItems[d]->ItemNo)->StyleNo >= 0) {
                top = std::min(top, DrawItems[d]->Top);
                bottom = std::max(bottom, DrawItems[d]->Top + DrawItems[d]->Height);
            }
        if (top != INT32_MAX)
            extra = (bottom - top) * (para.LineSpacing - 100) / 100;
    }
    if (extra != 0)
        for (int d = first; d <= bi; ++d)
            DrawItems[d]->ExtraSpaceBelow = extra;
    extra += v;
    bool justify = a == TRDAlignment::rdaJustify && !last;
    if (!justify) {
        if (s != 0)
            for (int d = first; d <= bi; ++d)
                DrawItems[d]->Left += s;
        ReorderLineBiDi(first, bi, res);
    } else if (bi != first && s > 0) {
        int from = first + 1;
        for (int d = first + 1; d <= bi; ++d)
            if (ItemAt(DrawItems[d]->ItemNo)->StyleNo == TabStyleNo)
                from = d + 1;
        std::vector<int> spaced;
        for (int d = from; d <= bi; ++d) {
            TRDDrawLineInfo* di = DrawItems[d];
            if (ItemAt(di->ItemNo)->StyleNo >= 0 && di->Length > 0
                && IsSpaceAt(TextOfItem(di->ItemNo), di->Offs - 1, ItemOptionsOf(di->ItemNo)))
                spaced.push_back(d);
        }
        int rest = s;
        for (size_t k = 0; k < spaced.size(); ++k) {
            int add = rest / int(spaced.size() - k);
            DrawItems[spaced[k]]->JustifyExtra = add;
            DrawItems[spaced[k]]->Width += add;
            rest -= add;
        }
        if (!spaced.empty())
            for (int d = std::max(from, first + 1); d <= bi; ++d)
                DrawItems[d]->Left = DrawItems[d - 1]->Left + DrawItems[d - 1]->Width;
    }
    return extra;
}

// ---- right-to-left lines ----

namespace {

// The direction of a character: left to right, right to left, or neither.
TRDBiDiMode DirectionOf(char32_t c, TRDBiDiMode neutral)
{
    switch (QChar::direction(c)) {
    case QChar::DirL:
        return TRDBiDiMode::rdbdLeftToRight;
    case QChar::DirR:
    case QChar::DirAL:
        return TRDBiDiMode::rdbdRightToLeft;
    default:
        return neutral;
    }
}

} // namespace

void TCustomRDFormattedData::GetSegmentDirections(int d, TRDBiDiMode& firstDir, TRDBiDiMode& lastDir) const
{
    const TRDDrawLineInfo* di = DrawItems[d];
    firstDir = lastDir = BiDiModeOfPara(ItemAt(di->ItemNo)->ParaNo);
    if (ItemAt(di->ItemNo)->StyleNo < 0 || di->Length <= 0)
        return;
    int style = EffectiveStyleOfItem(di->ItemNo);
    if (TextStyleOf(style).BiDiMode != TRDBiDiMode::rdbdUnspecified)
        firstDir = lastDir = TextStyleOf(style).BiDiMode;
    int flags = ItemOptionsOf(di->ItemNo);
    QByteArray part = CharCopy(TextOfItem(di->ItemNo), di->Offs, di->Length, flags);
    QString text = (flags & rdioUnicode) ? RawToWideString(part) : AnsiToQString(CodePageOfStyle(style), part);
    if (text.isEmpty())
        return;
    char32_t c = text.at(0).unicode();
    if (text.at(0).isHighSurrogate() && text.size() > 1)
        c = QChar::surrogateToUcs4(text.at(0), text.at(1));
    firstDir = DirectionOf(c, firstDir);
    qsizetype n = text.size();
    c = text.at(n - 1).unicode();
    if (text.at(n - 1).isLowSurrogate() && n > 1)
        c = QChar::surrogateToUcs4(text.at(n - 2), text.at(n - 1));
    lastDir = DirectionOf(c, lastDir);
}

void TCustomRDFormattedData::ShiftFirstLineRTL(int first, int last, TRDFormatResolution& res)
{
    const TRDDrawLineInfo* f = DrawItems[first];
    TCustomRDItemInfo* item = ItemAt(f->ItemNo);
    if (!DrawItemStartsItem(first) || item->ContinuesPara() || (item->StyleNo >= 0 && f->Offs != 1))
        return;
    int shift;
    if (item->StyleNo == MarkerStyleNo)
        shift = -ScaleToDeviceX(static_cast<TRDNonTextItemInfo*>(item)->GetLeftShift(), &res.Info);
    else
        shift = ScaleToDeviceX(ParaStyleOf(f->ItemNo).FirstIndent, &res.Info);
    if (shift != 0)
        for (int d = first; d <= last; ++d)
            DrawItems[d]->Left -= shift;
}

void TCustomRDFormattedData::ReorderLineBiDi(int first, int last, TRDFormatResolution& res)
{
    TRDBiDiMode para = BiDiModeOfPara(ItemAt(DrawItems[last]->ItemNo)->ParaNo);
    if (para == TRDBiDiMode::rdbdUnspecified)
        return;
    bool rtlPara = para == TRDBiDiMode::rdbdRightToLeft;
    if (rtlPara)
        ShiftFirstLineRTL(first, last, res);
    if (last <= first)
        return;
    // Visual order: runs of the paragraph's direction go to their end of the
    // line, runs against it stay together in their reading order.
    std::vector<int> order;
    order.reserve(size_t(last - first + 1));
    size_t i = 0;
    TRDBiDiMode prevLast = para;
    for (int d = first; d <= last; ++d) {
        TRDBiDiMode f, l;
        GetSegmentDirections(d, f, l);
        TRDBiDiMode run = f == prevLast ? f : para;
        bool rtlRun = run == TRDBiDiMode::rdbdRightToLeft;
        if (!rtlRun && !rtlPara)
            i = order.size();
        else if (!rtlRun && rtlPara) {
            if (i < order.size())
                ++i;
        } else if (rtlRun && rtlPara)
            i = 0;
        order.insert(order.begin() + std::ptrdiff_t(i), d);
        prevLast = l;
    }
    std::vector<int> gap(size_t(last - first + 1), 0);
    for (int d = first + 1; d <= last; ++d)
        gap[size_t(d - first)] = DrawItems[d]->Left - (DrawItems[d - 1]->Left + DrawItems[d - 1]->Width);
    int pos = DrawItems[first]->Left;
    for (int d : order) {
        DrawItems[d]->Left = pos;
        pos += DrawItems[d]->Width + gap[size_t(d - first)];
    }
}

// ---- widths ----

int TCustomRDFormattedData::LineIndentTotal(int firstItemOfLine, int& paraStart)
{
    if (paraStart < 0)
        paraStart = FirstItemOfPara(firstItemOfLine);
    const TParaInfo& para = ParaStyleOf(firstItemOfLine);
    bool firstLine = !(State & dsPartStartsInList) || paraStart == 0;
    if (const TRDListLevel* level = LineListLevel(firstLine && firstItemOfLine == paraStart, paraStart)) {
        bool rtl = BiDiModeOfPara(ItemAt(firstItemOfLine)->ParaNo) == TRDBiDiMode::rdbdRightToLeft;
        return level->LeftIndent + std::max(0, level->FirstIndent) + (rtl ? para.LeftIndent : para.RightIndent);
    }
    int r = para.LeftIndent + para.RightIndent;
    if (para.FirstIndent >= 1 && !ItemAt(firstItemOfLine)->GetBoolValue(0))
        r += para.FirstIndent;
    return r;
}

int TCustomRDFormattedData::ItemMinWidthWithMarker(int itemNo, const TRDResolutionInfo* info)
{
    int w = ItemAt(itemNo)->GetMinWidth(info);
    if (itemNo > 0 && ItemAt(itemNo)->ContinuesPara() && ItemAt(itemNo - 1)->StyleNo == MarkerStyleNo)
        w += ItemAt(itemNo - 1)->GetMinWidth(info);
    return w;
}

int TCustomRDFormattedData::WidestItemInRange(int first, int last, TCanvas*, const TRDResolutionInfo* info,
                                              int& paraStart)
{
    int best = 0;
    int indent = ScaleToDeviceX(LineIndentTotal(FirstItemOfLine(first), paraStart), info);
    for (int i = first; i <= last; ++i) {
        if (i != first && StartsNewLine(i)) {
            if (StartsParagraph(i))
                paraStart = i;
            indent = ScaleToDeviceX(LineIndentTotal(i, paraStart), info);
        }
        best = std::max(best, indent + ItemMinWidthWithMarker(i, info));
    }
    return best;
}

int TCustomRDFormattedData::LineWidthOf(int itemNo, int& paraStart, TCanvas* canvas, const TRDResolutionInfo* info)
{
    int first = 0, last = 0;
    WidenItemsToLines(itemNo, itemNo, first, last);
    const TParaInfo& para = ParaStyleOf(first);
    if (!(para.Options & rdpaoNoWrap) && GetWordWrap())
        return WidestItemInRange(first, last, canvas, info, paraStart);
    int w = ScaleToDeviceX(LineIndentTotal(first, paraStart), info);
    for (int i = first; i <= last; ++i) {
        TCustomRDItemInfo* item = ItemAt(i);
        if (item->StyleNo < 0)
            w += item->GetMinWidth(info);
        else if (canvas) {
            GetRDStyle()->ApplyStyle(*canvas, EffectiveStyleOfItem(i), BiDiModeOfPara(item->ParaNo),
                                     GetControlFlags() & cfStylePixelsPerInch, nullptr, false);
            w += ItemTextWidth(TextOfItem(i), *canvas, item->ItemOptions);
        }
    }
    return w;
}

int TCustomRDFormattedData::MaxLineWidthInRange(int first, int last, TCanvas* canvas, const TRDResolutionInfo* info,
                                                int& paraStart)
{
    if (first > last || ItemCount() == 0)
        return 0;
    int a = 0, b = 0;
    WidenItemsToLines(first, last, a, b);
    int best = 0;
    for (int i = a; i <= b; ++i) {
        if (StartsParagraph(i))
            paraStart = i;
        if (StartsNewLine(i))
            best = std::max(best, LineWidthOf(i, paraStart, canvas, info));
    }
    return best;
}

bool TCustomRDFormattedData::LineWraps(int itemNo)
{
    return !(ParaStyleOf(itemNo).Options & rdpaoNoWrap) && GetWordWrap();
}

int TCustomRDFormattedData::SectionWidthOf(int itemNo)
{
    int ps = -1;
    return LineWidthOf(itemNo, ps, GetCanvas(), nullptr);
}

int TCustomRDFormattedData::MaxLineWidth(int first, int last)
{
    int ps = -1;
    return MaxLineWidthInRange(first, last, GetCanvas(), nullptr, ps);
}

int TCustomRDFormattedData::RangeWidthOf(int a, int b)
{
    if (b < a || a < 0 || b >= ItemCount())
        return 0;
    TCanvas* canvas = GetCanvas();
    int aFirst = 0, aLast = 0, bFirst = 0, bLast = 0, ps = -1;
    WidenItemsToLines(a, a, aFirst, aLast);
    int width = LineWraps(a) ? WidestItemInRange(a, std::min(b, aLast), canvas, nullptr, ps)
                             : LineWidthOf(a, ps, canvas, nullptr);
    if (aLast >= b)
        return width;
    WidenItemsToLines(b, b, bFirst, bLast);
    ps = -1;
    width = std::max(width, LineWraps(b) ? WidestItemInRange(bFirst, b, canvas, nullptr, ps)
                                         : LineWidthOf(b, ps, canvas, nullptr));
    if (aLast + 1 <= bFirst - 1) {
        ps = -1;
        width = std::max(width, MaxLineWidthInRange(aLast + 1, bFirst - 1, canvas, nullptr, ps));
    }
    return width;
}

int TCustomRDFormattedData::WidthFromItemToEnd(int itemNo, const TRDResolutionInfo* info, TCanvas* canvas)
{
    if (info && info->ScreenPpiX == info->DevicePpiX && info->ScreenPpiY == info->DevicePpiY)
        info = nullptr;
    int ps = -1;
    return MaxLineWidthInRange(itemNo, ItemCount() - 1, canvas, info, ps);
}

// ---- partial formatting ----

void TCustomRDFormattedData::FormatParagraphsOfDrawRange(int first, int last, bool update, int itemDelta)
{
    if (DrawItems.Count() == 0 || first < 0)
        return;
    int d1 = std::min(first, DrawItems.Count() - 1);
    // The draw items are those before the edit: one may still name an item
    // the edit removed (past the end now), which counts as continuing.
    while (d1 > 0
           && (DrawItems[d1]->ItemNo >= ItemCount() || ItemAt(DrawItems[d1]->ItemNo)->ContinuesPara()
               || DrawItems[d1 - 1]->ItemNo == DrawItems[d1]->ItemNo))
        --d1;
    int d2 = std::clamp(last, d1, DrawItems.Count() - 1);
    int i = DrawItems[d2]->ItemNo;
    if (i + itemDelta < ItemCount() - 1) {
        int k = d2;
        while (k < DrawItems.Count() && DrawItems[k]->ItemNo == i)
            ++k;
        while (k < DrawItems.Count() && DrawItems[k]->ItemNo + itemDelta < ItemCount()
               && ItemAt(DrawItems[k]->ItemNo + itemDelta)->ContinuesPara())
            ++k;
        d2 = k < DrawItems.Count() ? k - 1 : DrawItems.Count() - 1;
    } else
        d2 = DrawItems.Count() - 1;
    FormatRange(d1, d2, update, false, itemDelta);
}

void TCustomRDFormattedData::FormatRange(int d1, int d2, bool update, bool itemFlag1, int delta)
{
    if (!GetRDStyle() || DrawItems.Count() == 0 || ItemCount() == 0)
        return;
    TCanvas* canvas = GetCanvas();
    TRDFormatState st;
    FillFormatState(st, itemFlag1, false);
    int a = std::clamp(DrawItems[d1]->ItemNo, 0, ItemCount() - 1);
    int b = std::clamp(DrawItems[d2]->ItemNo + delta, 0, ItemCount() - 1);
    b = std::max(a, b);
    int top = GetTopMargin();
    if (d1 > 0) {
        int f = d1 - 1;
        while (f > 0 && !DrawItems[f]->StartsLine())
            --f;
        for (int d = f; d < d1; ++d)
            top = std::max(top, DrawItems[d]->Top + DrawItems[d]->Height + DrawItems[d]->ExtraSpaceBelow);
    }
    int oldNext = -1;
    if (d2 + 1 < DrawItems.Count()) {
        oldNext = DrawItems[d2 + 1]->Top;
        for (int d = d2 + 2; d < DrawItems.Count() && !DrawItems[d]->StartsLine(); ++d)
            oldNext = std::min(oldNext, DrawItems[d]->Top);
    }
    int oldCount = DrawItems.Count();
    int oldContentBottom = DocumentHeight - GetBottomMargin();
    int vOffset = GetVOffset();
    QRect dirty(0, top - vOffset - 10, GetWidth(), 0);
    TRDFormatResolution res;
    FillResolution(canvas, res);
    st.Y = top;
    st.Width = 0;
    st.NextDrawNo = d1;
    DrawItems.BeginReplace(d1, d2);
    // The hypertext areas of the range are made again, numbered from the id
    // the range starts with; those after it follow the change of ids.
    std::vector<std::unique_ptr<TRDJumpInfo>> jumpsAfter;
    {
        std::vector<std::unique_ptr<TRDJumpInfo>> kept;
        for (auto& j : JumpList) {
            if (j->DrawItemNo < d1)
                kept.push_back(std::move(j));
            else if (j->DrawItemNo > d2)
                jumpsAfter.push_back(std::move(j));
        }
        JumpList = std::move(kept);
    }
    int oldJumpCount = JumpCount;
    int oldEndId = oldJumpCount;
    // Without ids given out so far no item outside the range holds one.
    for (int i = b + 1; oldJumpCount > 0 && i < ItemCount(); ++i)
        if (IsNumberedJump(i)) {
            oldEndId = ItemAt(i)->JumpIndex;
            break;
        }
    JumpCount = 0;
    for (int i = a - 1; oldJumpCount > 0 && i >= 0; --i)
        if (IsNumberedJump(i)) {
            JumpCount = ItemAt(i)->JumpIndex + 1;
            break;
        }
    CreateFontInfoCache(canvas);
    st.FontCache = GetFontInfoCache(canvas, this);
    st.Canvas = canvas;
    FormatItems(a, b, st, res, canvas);
    FinishPendingTab(st);
    st.Y += FinishLine(res, st.Origin + st.Width, st, true);
    ReleaseFontInfoCache(st.FontCache);
    DrawItems.EndReplace();
    int idDelta = JumpCount - oldEndId;
    int drawDelta = DrawItems.Count() - oldCount;
    JumpCount = oldJumpCount + idDelta;
    for (auto& j : jumpsAfter) {
        j->Id += idDelta;
        j->DrawItemNo += drawDelta;
        JumpList.push_back(std::move(j));
    }
    if (idDelta != 0)
        for (int i = b + 1; i < ItemCount(); ++i)
            if (IsNumberedJump(i))
                ItemAt(i)->JumpIndex += idDelta;
    if (b == ItemCount() - 1 || ItemAt(b + 1)->StartsParagraph())
        st.Gap += ParaStyleOf(b).SpaceAfter;
    if (b < ItemCount() - 1 && ItemAt(b + 1)->StartsParagraph())
        st.Gap += ParaStyleOf(b + 1).SpaceBefore;
    int newNext = st.Y + st.Gap;
    dirty.setBottom(newNext - vOffset + 10 - 1);  // bottom edges exclusive, as in the owner's rectangles
    if (delta != 0 || DrawItems.Count() != oldCount || (oldNext >= 0 && newNext != oldNext) || oldNext < 0) {
        int shift = oldNext >= 0 ? newNext - oldNext : 0;
        int bottom = newNext;
        int lastItem = -1;
        for (int d = st.NextDrawNo; d < DrawItems.Count(); ++d) {
            TRDDrawLineInfo* di = DrawItems[d];
            di->Top += shift;
            di->ItemNo += delta;
            if (di->ItemNo != lastItem) {
                SetItemFirstDrawItem(di->ItemNo, d);
                lastItem = di->ItemNo;
            }
            bottom = std::max(bottom, di->Top + di->Height + di->ExtraSpaceBelow);
        }
        if (st.NextDrawNo < DrawItems.Count())
            bottom += ParaStyleOf(ItemCount() - 1).SpaceAfter;
        // Everything below the range moved: repaint down to the old or new end.
        dirty.setBottom(std::min(std::max(bottom, oldContentBottom) - vOffset + 10, GetHeight()) - 1);
        if (const int height = FormatExtentSum({GetBottomMargin(), bottom}); height != DocumentHeight) {
            DocumentHeight = height;
            AdjustVScrollUnits();
            // The owner's size handling must not start a pass of its own.
            SkipNextFormat = true;
            SetDocumentSize(GetScrollWidth(), DocumentHeight, false);
            SkipNextFormat = false;
            if (GetVOffset() != vOffset)
                dirty = QRect(0, 0, GetWidth(), GetHeight());
        }
    }
    OffsetJumpRects();
    PlaceControls();
    LastFormattedItemNo = ItemCount() - 1;
    UpdateItemAnimators(a, b);
    InvalidateRect(dirty);
    if (update)
        UpdateControl();
    ItemsFormattedHook(a, b, true);
}

void TCustomRDFormattedData::InvalidateRect(const QRect& rect)
{
    if (TRDHost* host = GetHost())
        host->InvalidateRect(rect);
}

void TCustomRDFormattedData::UpdateControl()
{
    // The repaint the control has pending is done now.
    if (TRDHost* host = GetHost())
        host->Update();
}

bool TCustomRDFormattedData::IsNumberedJump(int itemNo) const
{
    TCustomRDItemInfo* item = ItemAt(itemNo);
    if (item->JumpIndex < 0)
        return false;
    if (item->StyleNo >= 0)
        return TextStyleOf(EffectiveStyleOfItem(itemNo)).Jump;
    return item->GetBoolValueEx(2, const_cast<TCustomRDFormattedData*>(this)->GetRDStyle());
}

void TCustomRDFormattedData::OffsetJumpRects()
{
    int valign = GetVAlignOffset();
    for (auto& j : JumpList) {
        TCustomRDFormattedData* data = j->RDData ? j->RDData : this;
        if (j->DrawItemNo < 0 || j->DrawItemNo >= data->DrawItems.Count())
            continue;
        int x0 = 0, y0 = 0;
        data->GetOrigin(x0, y0);
        y0 -= valign;
        j->Left = data->DrawItems[j->DrawItemNo]->Left + x0;
        j->Top = data->DrawItems[j->DrawItemNo]->Top + y0;
    }
}

void TCustomRDFormattedData::PlaceControls()
{
    if ((GetControlFlags() & cfNoControlPlacing) || (State & dsFormattingByOwner))
        return;
    TRDHost* host = GetHost();
    if (!host || !host->HasChildControls())
        return;
    int dx = GetHOffset(), dy = GetVOffset();
    // Moving one child must not make the owner lay the others out meanwhile.
    bool updates = host->UpdatesEnabled();
    host->SetUpdatesEnabled(false);
    for (int d = 0; d < DrawItems.Count(); ++d) {
        const TRDDrawLineInfo* di = DrawItems[d];
        if (ItemAt(di->ItemNo)->StyleNo < 0)
            static_cast<TRDNonTextItemInfo*>(ItemAt(di->ItemNo))->SetPosition(di->Left - dx, di->Top - dy, true);
    }
    host->SetUpdatesEnabled(updates);
    if (auto* root = dynamic_cast<TCustomRDFormattedData*>(GetAbsoluteRootData()))
        root->ControlsPlacedHook(this);
}

void TCustomRDFormattedData::ChangeDrawItemWidth(int d, int width)
{
    TRDDrawLineInfo* di = DrawItems[d];
    int delta = width - di->Width;
    di->Width = width;
    if (delta == 0)
        return;
    int first = 0, last = 0;
    GetLineBounds(d, first, last);
    switch (ParaStyleOf(di->ItemNo).Alignment) {
    case TRDAlignment::rdaRight:
        for (int k = first; k <= d; ++k)
            DrawItems[k]->Left -= delta;
        return;
    case TRDAlignment::rdaJustify: {
        // The space-initial pieces give back what justification added to them.
        auto spaced = [&](int k) {
            const TRDDrawLineInfo* x = DrawItems[k];
            return ItemAt(x->ItemNo)->StyleNo >= 0 && x->Length > 0
                && IsSpaceAt(TextOfItem(x->ItemNo), x->Offs - 1, ItemOptionsOf(x->ItemNo));
        };
        int count = 0;
        for (int k = first; k <= last; ++k)
            count += spaced(k) ? 1 : 0;
        if (count > 0) {
            int correction = 0, rest = delta;
            for (int k = first; k <= last; ++k) {
                TRDDrawLineInfo* x = DrawItems[k];
                x->Left += correction;
                if (!spaced(k))
                    continue;
                int r = std::min(x->JustifyExtra, rest / count);
                x->JustifyExtra -= r;
                x->Width -= r;
                correction -= r;
                rest -= r;
                --count;
            }
        }
        break;
    }
    default:
        break;
    }
    for (int k = d + 1; k <= last; ++k)
        DrawItems[k]->Left += delta;
}

bool TCustomRDFormattedData::GetItemCoords(int itemNo, int& x, int& y) const
{
    int d = FirstDrawItemOfItem(itemNo);
    if (d < 0)
        return false;
    x = DrawItems[d]->Left;
    y = DrawItems[d]->Top;
    return true;
}

bool TCustomRDFormattedData::GetItemClientCoords(int itemNo, int& x, int& y)
{
    if (!GetItemCoords(itemNo, x, y))
        return false;
    x -= GetHOffset();
    y -= GetVOffset();
    return true;
}

void TCustomRDFormattedData::ScrollRectIntoView(int x, int y, int width, int height)
{
    int h = GetHOffset(), v = GetVOffset(), step = GetVSmallStep();
    if (x < h || x + width > h + GetWidth())
        ScrollToH(x - GetWidth() / 4);
    int bottom = y + height;
    if (bottom > v + GetHeight() - 2 * step && y < v + step)
        return;  // taller than the view and its top is shown
    if (bottom > v + GetHeight())
        ScrollToV(bottom + step - GetHeight(), true);
    else if (y < v)
        ScrollToV(y, true);
}

void TCustomRDFormattedData::Clear()
{
    uint32_t was = State & dsClearing;
    State |= dsClearing;
    ClearSoftPageBreaks();
    Deselect(nullptr, true);
    ClearFormatting();
    TCustomRDData::Clear();
    State = (State & ~dsClearing) | was;
}

void TCustomRDFormattedData::DeleteItemRange(int first, int count)
{
    Deselect(nullptr, true);
    TCustomRDData::DeleteItemRange(first, count);
}

// ---- queries ----

bool TCustomRDFormattedData::DrawItemStartsItem(int d) const
{
    return d == 0 || DrawItems[d]->ItemNo != DrawItems[d - 1]->ItemNo;
}

bool TCustomRDFormattedData::DrawItemStartsParagraph(int d) const
{
    return d == 0 || (DrawItemStartsItem(d) && ItemAt(DrawItems[d]->ItemNo)->StartsParagraph());
}

bool TCustomRDFormattedData::DrawItemStartsLine(int d) const
{
    return d == 0 || (DrawItemStartsItem(d) && !ItemAt(DrawItems[d]->ItemNo)->ContinuesPara());
}

bool TCustomRDFormattedData::DrawItemEndsParagraph(int d) const
{
    return d == DrawItems.Count() - 1 || DrawItemStartsParagraph(d + 1);
}

bool TCustomRDFormattedData::DrawItemIsLineStart(int d) const
{
    return DrawItems[d]->StartsLine()
        || (d > 0 && DrawItemStartsItem(d) && ItemAt(DrawItems[d - 1]->ItemNo)->StyleNo == MarkerStyleNo);
}

bool TCustomRDFormattedData::LineWrapsAfter(int d) const
{
    return d < DrawItems.Count() - 1 && DrawItems[d + 1]->StartsLine() && !DrawItemStartsLine(d + 1);
}

bool TCustomRDFormattedData::TextContinuesAfter(int d) const
{
    const TRDDrawLineInfo* di = DrawItems[d];
    if (di->Offs + di->Length > ItemLengthOf(di->ItemNo))
        return false;
    if (d + 1 >= DrawItems.Count())
        return true;
    const TRDDrawLineInfo* next = DrawItems[d + 1];
    return next->ItemNo != di->ItemNo || next->Offs != di->Offs + di->Length;
}

// ---- positions ----

int TCustomRDFormattedData::FindDrawItemByY(int y, int mode) const
{
    int count = DrawItems.Count();
    if (count == 0)
        return -1;
    if (y <= DrawItems[0]->Top)
        return 0;
    int last = count - 1;
    if (mode == 3 && y > DrawItems[last]->Top)
        return last;
    int lo = 1, hi = last, b = last;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        if (DrawItems[mid]->Top >= y) {
            b = mid;
            hi = mid - 1;
        } else
            lo = mid + 1;
    }
    b = std::min(b, last);
    if (mode == 1) {
        int first = 0, l = 0;
        GetLineBounds(b, first, l);
        b = first;
        if (b > 0) {
            GetLineBounds(b - 1, first, l);
            b = first;
            if (b > 0) {
                GetLineBounds(b - 1, first, l);
                b = first;
            }
        }
        return b;
    }
    while (b < last && DrawItems[b]->Top < y)
        ++b;
    return b;
}

void TCustomRDFormattedData::GetLineBounds(int d, int& first, int& last) const
{
    first = d;
    while (first > 0 && !DrawItems[first]->StartsLine())
        --first;
    last = d;
    while (last + 1 < DrawItems.Count() && !DrawItems[last + 1]->StartsLine())
        ++last;
}

namespace {

bool Contains(const TRDDrawLineInfo* d, int x, int y)
{
    return x >= d->Left && x < d->Left + d->Width && y >= d->Top && y < d->Top + d->Height;
}

} // namespace

int TCustomRDFormattedData::LastDrawItemAtOrAbove(int y) const
{
    int lo = 1, hi = DrawItems.Count() - 1, n = 0;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        if (DrawItems[mid]->Top <= y) {
            n = mid;
            lo = mid + 1;
        } else
            hi = mid - 1;
    }
    return n;
}

int TCustomRDFormattedData::DrawItemAtPoint(int x, int y) const
{
    int count = DrawItems.Count();
    if (count == 0)
        return -1;
    if (Contains(DrawItems[0], x, y))
        return 0;
    if (count == 1)
        return -1;
    int n = LastDrawItemAtOrAbove(y);
    while (n > 0 && DrawItems[n - 1]->Top + DrawItems[n - 1]->Height > DrawItems[n]->Top)
        --n;
    for (int pass = 0; pass < 2 && n < count; ++pass) {
        int t = DrawItems[n]->Top, h = DrawItems[n]->Height;
        int d = n;
        for (; d < count && DrawItems[d]->Top <= t + h - 1; ++d)
            if (Contains(DrawItems[d], x, y))
                return d;
        n = d;
    }
    return -1;
}

int TCustomRDFormattedData::CharBoundaryAt(int d, int x, bool nearest, bool rtlPara)
{
    const TRDDrawLineInfo* di = DrawItems[d];
    int itemNo = di->ItemNo;
    int flags = ItemOptionsOf(itemNo);
    TCanvas* canvas = GetCanvas();
    int style = EffectiveStyleOfItem(itemNo);
    GetRDStyle()->ApplyStyle(*canvas, style, BiDiModeOfPara(ItemAt(itemNo)->ParaNo),
                             GetControlFlags() & cfStylePixelsPerInch, nullptr, false);
    QByteArray display;
    GetDisplayText(TextOfItem(itemNo), TextStyleOf(style), LineWrapsAfter(d), display, false,
                   GetOptions() & rdoShowSpecialCharacters);
    QByteArray part = CharCopy(display, di->Offs, di->Length, flags);
    if (part.isEmpty())
        return 0;
    if (BiDiModeOfItem(itemNo) != TRDBiDiMode::rdbdUnspecified) {
        std::vector<int> caret;
        if (GetBiDiCaretPositions(*canvas, part, caret, flags, di->Width - di->JustifyExtra)) {
            int best = 0, bestDist = INT32_MAX;
            for (int k = 0; k < int(caret.size()); ++k) {
                int dist = std::abs(x - (caret[size_t(k)] + di->Left + di->JustifyExtra));
                if (dist < bestDist) {
                    best = k;
                    bestDist = dist;
                }
            }
            return best;
        }
    }
    std::vector<int> ext;
    int fit = 0;
    ItemTextExtentEx(*canvas, part, 10 * std::max(1, di->Width), fit, &ext, flags);
    int n = int(ext.size());
    // Several bytes or units of one character carry the same extent: a
    // boundary inside it is never chosen.
    auto insideChar = [&](int k) { return k > 0 && k < n && ext[size_t(k)] == ext[size_t(k - 1)]; };
    if (!nearest) {
        int room = x - di->Left - di->JustifyExtra;
        int k = 0;
        while (k < n && ext[size_t(k)] <= room)
            ++k;
        while (insideChar(k))
            --k;
        return k;
    }
    int best = 0, bestDist = std::abs(x - di->Left);
    for (int k = 1; k <= n; ++k) {
        if (insideChar(k))
            continue;
        int at = di->Left + di->JustifyExtra + ext[size_t(k - 1)];
        int dist = std::abs(x - at);
        if (dist < bestDist || (dist == bestDist && (rtlPara ? x < at : x >= at))) {
            best = k;
            bestDist = dist;
        }
    }
    return best;
}

void TCustomRDFormattedData::FindDrawItemAtPos(int x, int y, bool strict, int& offset, int& drawItemNo)
{
    offset = -1;
    drawItemNo = -1;
    int count = DrawItems.Count();
    if (count == 0)
        return;
    int h = y < DrawItems[0]->Top + DrawItems[0]->Height ? 0 : LastDrawItemAtOrAbove(y);
    int first = 0, last = 0;
    GetLineBounds(h, first, last);
    if (last + 1 < count) {
        int nf = 0, nl = 0;
        GetLineBounds(last + 1, nf, nl);
        for (int d = nf; d <= nl; ++d)
            if (y >= DrawItems[d]->Top) {
                first = nf;
                last = nl;
                break;
            }
    }
    TRDBiDiMode paraMode = BiDiModeOfPara(ItemAt(DrawItems[first]->ItemNo)->ParaNo);
    bool rtl = paraMode == TRDBiDiMode::rdbdRightToLeft;
    // A piece covers x from its left edge up to the next piece's in visual
    // order; the outer pieces take everything beyond them.
    std::vector<int> order;
    for (int d = first; d <= last; ++d)
        order.push_back(d);
    if (paraMode != TRDBiDiMode::rdbdUnspecified)
        std::stable_sort(order.begin(), order.end(),
                         [&](int p, int q) { return DrawItems[p]->Left < DrawItems[q]->Left; });
    int picked = -1;
    if (strict) {
        for (int d = first; d <= last && picked < 0; ++d) {
            const TRDDrawLineInfo* di = DrawItems[d];
            if (x >= di->Left && x < di->Left + di->Width && y >= di->Top && y <= di->Top + di->Height)
                picked = d;
        }
    } else {
        int n = int(order.size());
        for (int k = 0; k < n && picked < 0; ++k)
            if ((k == 0 || x >= DrawItems[order[size_t(k)]]->Left)
                && (k == n - 1 || x < DrawItems[order[size_t(k + 1)]]->Left))
                picked = order[size_t(k)];
    }
    if (picked < 0)
        return;
    const TRDDrawLineInfo* di = DrawItems[picked];
    drawItemNo = picked;
    if (ItemAt(di->ItemNo)->StyleNo < 0) {
        bool leftHalf = x < di->Left + di->Width / 2;
        offset = (leftHalf != rtl) ? 0 : 1;
    } else if (di->Length == 0) {
        offset = 1;
    } else {
        int k = CharBoundaryAt(picked, x, true, rtl);
        offset = std::clamp(k + 1, 1, di->Length + 1);
    }
    if (!strict && ItemAt(di->ItemNo)->StyleNo == MarkerStyleNo && picked + 1 < count) {
        drawItemNo = picked + 1;
        offset = DrawItemStartOffset(picked + 1);
    }
}

void TCustomRDFormattedData::FindItemAtPos(int x, int y, bool& special, bool strict, int& itemOffset, int& itemNo,
                                           TCustomRDFormattedData*& data)
{
    special = false;
    data = this;
    // Documents nested in items (table cells) are entered at the point; the
    // depth is bounded as the stored documents' nesting is.
    for (int depth = 0; depth < 64; ++depth) {
        int d = -1, offset = -1;
        data->FindDrawItemAtPos(x, y, strict, offset, d);
        data->DrawPosToItemPos(d, offset, itemOffset, itemNo);
        if (itemNo < 0)
            return;
        int ix = 0, iy = 0;
        data->GetItemCoords(itemNo, ix, iy);
        TCustomRDData* inner = data->ItemAt(itemNo)->GetActiveSubDocumentAt(x - ix, y - iy);
        auto* nested = dynamic_cast<TCustomRDFormattedData*>(inner);
        if (!nested || nested == data)
            break;
        int ox = 0, oy = 0, nx = 0, ny = 0;
        data->GetPointOrigin(ox, oy);
        nested->GetPointOrigin(nx, ny);
        x += ox - nx;
        y += oy - ny;
        data = nested;
    }
    special = data->ItemAt(itemNo)->GetBoolValue(9);
}

bool TCustomRDFormattedData::GetWordAt(QByteArray& word, int x, TCustomRDFormattedData*& data, int& wordStart,
                                       int& itemNo, int& style, int y)
{
    return WordAt(word, x, data, wordStart, itemNo, style, y, 0);
}

bool TCustomRDFormattedData::WordAt(QByteArray& word, int x, TCustomRDFormattedData*& data, int& wordStart,
                                    int& itemNo, int& style, int y, int depth)
{
    data = this;
    word.clear();
    wordStart = -1;
    itemNo = -1;
    style = 0;
    int d = DrawItemAtPoint(x + GetHOffset(), y + GetVOffset());
    if (d < 0)
        return false;
    const TRDDrawLineInfo* di = DrawItems[d];
    itemNo = di->ItemNo;
    const QByteArray& text = TextOfItem(itemNo);
    TCustomRDItemInfo* item = ItemAt(itemNo);
    if (item->StyleNo < 0) {
        // An item holding documents (a table) lets the one at the point answer.
        item->UpdateSubCoords();
        int ix = 0, iy = 0;
        GetItemClientCoords(itemNo, ix, iy);
        TCustomRDData* inner = item->GetActiveSubDocumentAt(x - ix, y - iy);
        auto* nested = inner ? dynamic_cast<TCustomRDFormattedData*>(inner->GetActiveData()) : nullptr;
        // Nesting is bounded as the stored documents' nesting is.
        if (!nested || nested == this || depth >= 64) {
            word = text;
            style = item->StyleNo;
            return true;
        }
        // The document of an in-place editor takes points of its own control.
        TRDHost* own = GetHost();
        TRDHost* its = nested->GetHost();
        if (QPoint origin; own && its && own->ChildHostOrigin(*its, origin)) {
            x -= origin.x();
            y -= origin.y();
        }
        itemNo = -1;
        return nested->WordAt(word, x, data, wordStart, itemNo, style, y, depth + 1);
    }
    style = EffectiveStyleOfItem(itemNo);
    int flags = item->ItemOptions;
    int length = CharLength(text, flags);
    bool rtl = BiDiModeOfPara(item->ParaNo) == TRDBiDiMode::rdbdRightToLeft;
    int p = (di->Length > 0 ? CharBoundaryAt(d, x + GetHOffset(), false, rtl) : 0) + di->Offs;
    p = std::clamp(p, 1, std::max(1, length));
    if (length == 0 || IsDelimiterAt(text, p, flags, itemNo)) {
        wordStart = p;
        return true;
    }
    int from = p, to = p;
    while (from > 1 && !IsDelimiterAt(text, from - 1, flags, itemNo))
        --from;
    while (to < length && !IsDelimiterAt(text, to + 1, flags, itemNo))
        ++to;
    wordStart = from;
    word = CharCopy(text, from, to - from + 1, flags);
    return true;
}

void TCustomRDFormattedData::DrawPosToItemPos(int d, int drawOffset, int& itemOffset, int& itemNo) const
{
    if (d < 0 || d >= DrawItems.Count()) {
        itemNo = -1;
        itemOffset = -1;
        return;
    }
    const TRDDrawLineInfo* di = DrawItems[d];
    itemNo = di->ItemNo;
    itemOffset = ItemAt(itemNo)->StyleNo < 0 ? drawOffset : drawOffset + di->Offs - 1;
}

void TCustomRDFormattedData::ItemPosToDrawPos(int itemNo, int itemOffset, int& drawOffset, int& drawItemNo) const
{
    drawItemNo = -1;
    drawOffset = -1;
    if (itemNo < 0 || itemNo >= ItemCount())
        return;
    int d = ItemAt(itemNo)->FirstDrawItem;
    if (d < 0 || d >= DrawItems.Count() || DrawItems[d]->ItemNo != itemNo)
        return;
    if (ItemAt(itemNo)->StyleNo < 0) {
        drawItemNo = d;
        drawOffset = itemOffset - DrawItems[d]->Offs;
        return;
    }
    int k = d + 1;
    while (k < DrawItems.Count() && DrawItems[k]->ItemNo == itemNo && DrawItems[k]->Offs < itemOffset)
        ++k;
    if (k >= DrawItems.Count()) {
        drawItemNo = DrawItems.Count() - 1;
        drawOffset = itemOffset - DrawItems[drawItemNo]->Offs + 1;
        if (drawOffset <= DrawItems[drawItemNo]->Length + 1)
            return;
    }
    int e = k - 1;
    const TRDDrawLineInfo* de = DrawItems[e];
    int off = itemOffset - de->Offs + 1;
    if (off > de->Length + 1) {
        // a space consumed at the line's end
        if (k < DrawItems.Count() && DrawItems[k]->ItemNo == itemNo && DrawItems[k]->Offs > 1) {
            drawItemNo = e;
            drawOffset = de->Length + 1;
        } else if (k < DrawItems.Count()) {
            drawItemNo = k;
            drawOffset = DrawItemStartOffset(k);
        } else {
            drawItemNo = e;
            drawOffset = de->Length + 1;
        }
        return;
    }
    drawItemNo = e;
    drawOffset = off;
}

int TCustomRDFormattedData::FirstDrawItemOfItem(int itemNo) const
{
    if (itemNo < 0 || itemNo >= ItemCount())
        return -1;
    int d = ItemAt(itemNo)->FirstDrawItem;
    return d >= 0 && d < DrawItems.Count() ? d : -1;
}

int TCustomRDFormattedData::LastDrawItemOfItem(int itemNo) const
{
    if (FirstDrawItemOfItem(itemNo) < 0)
        return -1;
    int off = 0, d = -1;
    ItemPosToDrawPos(itemNo, EndOffsetOf(itemNo), off, d);
    return d;
}

int TCustomRDFormattedData::GetFirstVisibleItemNo()
{
    int d = FindDrawItemByY(GetVOffset(), 1);
    return d < 0 ? -1 : DrawItems[std::min(d, DrawItems.Count() - 1)]->ItemNo;
}

int TCustomRDFormattedData::GetLastVisibleItemNo()
{
    int d = FindDrawItemByY(GetVOffset() + GetHeight(), 3);
    return d < 0 ? -1 : DrawItems[std::min(d, DrawItems.Count() - 1)]->ItemNo;
}

// ---- stored selection ----

void TCustomRDFormattedData::Deselect(TCustomRDItemInfo* keep, bool notify)
{
    if (State & dsDeselecting)
        return;
    const TRDStateBits deselecting(State, dsDeselecting);
    State &= ~(dsMouseSelecting | dsLineSelecting | dsAllSelected);
    SelStartNo = SelEndNo = -1;
    SelStartOffs = SelEndOffs = 0;
    if (FocusedItemNo >= 0 && FocusedItemNo < ItemCount()) {
        ItemAt(FocusedItemNo)->ClearFocus();
        FocusedItemNo = -1;
    }
    UnchooseAllBut(keep);
    if (notify)
        DoSelect();
}

void TCustomRDFormattedData::SelectAll()
{
    if (ItemCount() == 0 || DrawItems.Count() == 0)
        return;
    BeforeCaretMove();
    DestroyInplaceEditor();
    UnchooseAllBut(nullptr);
    SelStartNo = 0;
    SelStartOffs = DrawItemStartOffset(0);
    SelEndNo = DrawItems.Count() - 1;
    SelEndOffs = DrawItemEndOffset(SelEndNo);
    State |= dsAllSelected;
    AfterMouseSelection(false);
    DoSelect();
}

bool TCustomRDFormattedData::DataSelectionExists(bool deselectWhenEmpty, bool askChosen)
{
    if (auto* sub = dynamic_cast<TCustomRDFormattedData*>(GetChosenSubData()); sub && sub != this)
        return sub->DataSelectionExists(deselectWhenEmpty, askChosen);
    if (askChosen && ChosenItem && ChosenItem->HasSelectionInside())
        return true;
    int s = -1, so = 0, e = -1, eo = 0;
    GetSelBoundsDraw(s, so, e, eo, true);
    if (s < 0 || e < 0)
        return false;
    if (s == e && so == eo) {
        if (deselectWhenEmpty && !(State & dsMouseSelecting))
            Deselect(ChosenItem, true);
        return false;
    }
    return true;
}

void TCustomRDFormattedData::GetSelBoundsDraw(int& startNo, int& startOffs, int& endNo, int& endOffs,
                                              bool normalize)
{
    startNo = SelStartNo;
    startOffs = SelStartOffs;
    endNo = SelEndNo;
    endOffs = SelEndOffs;
    if (normalize && (endNo < startNo || (endNo == startNo && endOffs < startOffs))) {
        std::swap(startNo, endNo);
        std::swap(startOffs, endOffs);
    }
}

void TCustomRDFormattedData::GetSelectionBounds(int& startItem, int& startOffs, int& endItem, int& endOffs,
                                                bool normalize)
{
    int sn = -1, so = 0, en = -1, eo = 0;
    GetSelBoundsDraw(sn, so, en, eo, normalize);
    DrawPosToItemPos(sn, so, startOffs, startItem);
    DrawPosToItemPos(en, eo, endOffs, endItem);
}

void TCustomRDFormattedData::StoreSelection(int startItem, int startOffs, int endItem, int endOffs)
{
    State &= ~dsAllSelected;
    ItemPosToDrawPos(startItem, startOffs, SelStartOffs, SelStartNo);
    ItemPosToDrawPos(endItem, endOffs, SelEndOffs, SelEndNo);
    // Half a selection is none: an end whose item has no draw item drops both.
    if (SelStartNo < 0 || SelEndNo < 0) {
        SelStartNo = SelEndNo = -1;
        SelStartOffs = SelEndOffs = 0;
    }
}

void TCustomRDFormattedData::SetSelectionBounds(int startItem, int startOffs, int endItem, int endOffs)
{
    BeforeCaretMove();
    UnchooseAllBut(nullptr);
    DestroyInplaceEditor();
    if (startItem >= 0 && endItem >= 0) {
        // An end on a list marker goes to the text after it.
        auto offMarker = [this](int& item, int& offset) {
            if (item < ItemCount() - 1 && ItemAt(item)->StyleNo == MarkerStyleNo) {
                ++item;
                offset = StartOffsetOf(item);
            }
        };
        offMarker(startItem, startOffs);
        offMarker(endItem, endOffs);
    }
    // Offsets beyond an item's ends would convert to another item's draw item.
    auto clampOffset = [this](int item, int& offset) {
        if (item >= 0 && item < ItemCount())
            offset = std::clamp(offset, StartOffsetOf(item), EndOffsetOf(item));
    };
    clampOffset(startItem, startOffs);
    clampOffset(endItem, endOffs);
    StoreSelection(startItem, startOffs, endItem, endOffs);
    if (SelStartNo >= 0) {
        SelStartOffs = std::clamp(SelStartOffs, DrawItemStartOffset(SelStartNo), DrawItemEndOffset(SelStartNo));
        SelEndOffs = std::clamp(SelEndOffs, DrawItemStartOffset(SelEndNo), DrawItemEndOffset(SelEndNo));
    }
    AfterMouseSelection(true);
    DoSelect();
}

void TCustomRDFormattedData::SelectRange(int itemNo, int offset, int length, bool backwards)
{
    if (itemNo < 0 || itemNo >= ItemCount())
        return;
    BeforeCaretMove();
    UnchooseAllBut(nullptr);
    if (backwards)
        StoreSelection(itemNo, offset + length, itemNo, offset);
    else
        StoreSelection(itemNo, offset, itemNo, offset + length);
    if (SelStartNo >= 0) {
        const TRDDrawLineInfo* anchor = DrawItems[SelStartNo];
        ScrollRectIntoView(anchor->Left, anchor->Top, anchor->Width, anchor->Height);
    }
    InvalidateControl();
    AfterMouseSelection(true);
    DoSelect();
}

void TCustomRDFormattedData::GetSearchStart(bool fromStart, bool wholeDocument, int& itemNo, int& offset)
{
    if (ItemCount() == 0) {
        itemNo = 0;
        offset = 0;
        return;
    }
    if (wholeDocument) {
        if (fromStart) {
            itemNo = 0;
            offset = StartOffsetOf(0);
        } else {
            itemNo = ItemCount() - 1;
            offset = EndOffsetOf(itemNo) + 1;
        }
        return;
    }
    if (SelEndNo >= 0) {
        DrawPosToItemPos(SelEndNo, SelEndOffs, offset, itemNo);
    } else if (fromStart) {
        itemNo = GetFirstVisibleItemNo();
        offset = itemNo >= 0 ? StartOffsetOf(itemNo) : 0;
    } else {
        itemNo = GetLastVisibleItemNo();
        offset = itemNo >= 0 ? EndOffsetOf(itemNo) + 1 : 0;
    }
    if (itemNo < 0) {
        itemNo = 0;
        offset = StartOffsetOf(0);
    }
}

void TCustomRDFormattedData::ConvertAssociatedStyle(int itemNo, int userData, bool appliedToText)
{
    if (GetControlFlags() & cfOwnOptions)
        return;
    auto* root = dynamic_cast<TCustomRDFormattedData*>(GetAbsoluteRootData());
    if (root && root != this)
        root->ConvertAssociatedStyle(itemNo, userData, appliedToText);
}

void TCustomRDFormattedData::BeforeCaretMove()
{
    if (GetControlFlags() & cfOwnOptions)
        return;
    auto* root = dynamic_cast<TCustomRDFormattedData*>(GetAbsoluteRootData());
    if (root && root != this)
        root->BeforeCaretMove();
}

void TCustomRDFormattedData::UnchooseAllBut(TCustomRDItemInfo* keep)
{
    if (ChosenItem && ChosenItem != keep) {
        TCustomRDItemInfo* item = ChosenItem;
        ChosenItem = nullptr;
        item->LeaveChosenSubDocument();
    }
    if (TCustomRDItemInfo* subItem = GetChosenSubItem(); subItem && subItem != keep)
        UnchooseSubData(GetChosenSubData());
}

void TCustomRDFormattedData::DoSelect()
{
    auto* root = dynamic_cast<TCustomRDFormattedData*>(GetAbsoluteRootData());
    if (root && root != this)
        root->DoSelect();
}

// ---- protection, focus and repainting ----

bool TCustomRDFormattedData::StyleHasProtection(int itemNo, uint32_t options) const
{
    options &= 0xFFFF;  // the protection set has sixteen options
    if (itemNo < 0 || itemNo >= ItemCount() || options == 0)
        return false;
    const TCustomRDItemInfo* item = ItemAt(itemNo);
    int style = item->StyleNo;
    if (style < 0) {
        auto* nonText = dynamic_cast<const TRDNonTextItemInfo*>(item);
        if ((options & rdprDeleteProtect) && nonText && nonText->Unremovable)
            return true;
        style = item->GetAssociatedTextStyleNo();
        if (style < 0)
            return false;
    } else {
        style = EffectiveStyleOfItem(itemNo);
    }
    return TextStyleOf(style).Protection & options;
}

bool TCustomRDFormattedData::ParaHasOption(int paraNo, uint32_t options) const
{
    return ParaStyle(paraNo).Options & options & 0xFF;
}

bool TCustomRDFormattedData::ParaIsReadOnly(int itemNo) const
{
    return itemNo >= 0 && itemNo < ItemCount() && ParaHasOption(ItemAt(itemNo)->ParaNo, rdpaoReadOnly);
}

bool TCustomRDFormattedData::ItemsStick(int i, bool silent) const
{
    int count = ItemCount();
    bool stick = false;
    if (count == 0 || i < -1 || i >= count)
        stick = false;
    else if (i == -1)
        stick = StyleHasProtection(0, rdprStickToTop);
    else if (i == count - 1)
        stick = StyleHasProtection(i, rdprStickToBottom);
    else
        for (uint32_t option : {rdprSticking, rdprSticking2, rdprSticking3})
            if (StyleHasProtection(i, option) && StyleHasProtection(i + 1, option))
                stick = true;
    if (stick && !silent)
        BeepIfEnabled();
    return stick;
}

bool TCustomRDFormattedData::CanInsertAt(int itemNo, int offset) const
{
    if (itemNo < 0 || itemNo >= ItemCount() || ParaIsReadOnly(itemNo))
        return false;
    if (offset <= StartOffsetOf(itemNo))
        return !ItemsStick(itemNo - 1, true);
    if (offset >= EndOffsetOf(itemNo))
        return !ItemsStick(itemNo, true);
    return !StyleHasProtection(itemNo, rdprModifyProtect);
}

void TCustomRDFormattedData::InvalidateControl()
{
    if (TRDHost* host = GetHost())
        host->Invalidate();
}

void TCustomRDFormattedData::RefreshControl()
{
    if (TRDHost* host = GetHost())
        host->Repaint();
}

void TCustomRDFormattedData::InvalidateDrawItem(int d, int inflate)
{
    if (d < 0 || d >= DrawItems.Count())
        return;
    PrepareInvalidate();
    const TRDDrawLineInfo* di = DrawItems[d];
    QRect r(di->Left - GetHOffset(), di->Top - GetVOffset(), di->Width, di->Height);
    InvalidateRect(r.adjusted(-inflate, -inflate, inflate, inflate));
}

void TCustomRDFormattedData::FindNextFocusableItem(int from, bool forward, TCustomRDData*& data, int& itemNo)
{
    data = nullptr;
    itemNo = -1;
    int count = ItemCount();
    if (FocusedItemNo >= count)
        FocusedItemNo = -1;
    TRDStyle* sheet = GetRDStyle();
    auto takesFocus = [&](int i) { return i >= 0 && i < count && ItemAt(i)->GetBoolValueEx(3, sheet); };
    auto tryItem = [&](int i) {
        if (takesFocus(i)) {
            data = this;
            itemNo = i;
            return true;
        }
        TCustomRDData* inner = nullptr;
        int innerItem = -1;
        if (ItemAt(i)->MoveFocus(forward, inner, innerItem) && inner && innerItem >= 0) {
            data = inner;
            itemNo = innerItem;
            return true;
        }
        return false;
    };
    if (forward) {
        int i = std::max(from, 0);
        if (from >= 0 && takesFocus(from))
            ++i;
        for (; i < count; ++i)
            if (tryItem(i))
                return;
    } else {
        int i = from < 0 ? count : std::min(from, count);
        if (i == count || takesFocus(i))
            --i;
        for (; i >= 0; --i)
            if (tryItem(i))
                return;
    }
}

void TCustomRDFormattedData::UnfocusItem()
{
    if (FocusedItemNo >= ItemCount())
        FocusedItemNo = -1;
    if (FocusedItemNo >= 0)
        ItemAt(FocusedItemNo)->ClearFocus();
}
