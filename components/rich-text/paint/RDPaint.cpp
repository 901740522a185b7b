// Painting of a formatted document for one clipping rectangle: paragraph
// backgrounds and borders, text backgrounds, page breaks, checkpoints,
// non-text items, text with its selection and paragraph marks; and the soft
// page breaks that show where printed pages begin.

#include <algorithm>

#include <QtGui/QPainter>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include "layout/CRDFData.h"
#include "document/RDBack.h"
#include "document/RDHost.h"
#include "items/RDMarkerItems.h"
#include "styles/RDStyle.h"
#include "document/RDTextItems.h"
#include "text/RDTextMeasure.h"
#include "core/RDUnicode.h"

namespace {

// Item draw state bits beyond the ones the items read themselves.
constexpr uint16_t idsSelected = rdisSelected;
constexpr uint16_t idsHighlighted = 1 << 1;
constexpr uint16_t idsHover = rdisHover;
constexpr uint16_t idsControlFocused = rdisControlFocused;
constexpr uint16_t idsStylePixelsPerInch = 0x80;
constexpr uint16_t idsRightToLeft = 0x100;
constexpr uint16_t idsSpecialCharacters = 0x200;
constexpr uint16_t idsOwnerFlag1 = 0x400;
constexpr uint16_t idsOwnerFlag2 = 0x800;
// The bit of VisibleSpecialCharacters that shows paragraph marks.
constexpr uint8_t VisibleParagraphMarks = 4;

// The control handed to the style sheet's drawing events.
QWidget* ControlOf(TCustomRDFormattedData& data)
{
    TRDHost* host = data.GetHost();
    return host ? host->EventControl() : nullptr;
}

} // namespace

bool TCustomRDFormattedData::IsControlFocused()
{
    TRDHost* host = GetHost();
    return host != nullptr && host->Focused();
}

void TCustomRDFormattedData::PaintBackground(TCanvas& canvas, const QRect& rect)
{
    TRDBackground* background = GetBackground();
    if (background == nullptr) {
        const TColor color = GetColor();
        if (color != clNone) {
            canvas.BrushStyle = TBrushStyle::Solid;
            canvas.BrushColor = color;
            canvas.FillRect(QRect(0, 0, rect.width(), rect.height()));
        }
        return;
    }
    background->HasSelectColor = HasSelectColor;
    background->SelectColor = SelectColor;
    background->CursorPos = CursorPos;
    int ox = 0, oy = 0;
    GetOrigin(ox, oy);
    background->DrawBackgroundRect(canvas, rect, false, false, GetColor(), GetWidth(), GetHeight(), 0, 0,
                                   GetHOffset() + ox, GetVOffset() + oy);
}

void TCustomRDFormattedData::GetParaBackground(int itemNo, QRect& rect, bool& hasBitmap, QImage& bitmap,
                                               TColor& color, bool useItemRect)
{
    hasBitmap = false;
    if (itemNo < 0 || itemNo >= ItemCount()) {
        color = GetColor();
        return;
    }
    color = ParaStyleOf(itemNo).Background.Color;
    if (color != clNone)
        return;
    color = GetColor();
    const TRDBackground* background = GetBackground();
    if (background == nullptr || background->Style == TBackgroundStyle::bsNoBitmap)
        return;
    const int d = FirstDrawItemOfItem(itemNo);
    if (d < 0)
        return;
    hasBitmap = true;
    if (useItemRect) {
        const TCustomRDItemInfo* item = ItemAt(itemNo);
        const TRDDrawLineInfo* di = DrawItems[d];
        rect = QRect(di->Left + item->GetHorzSpacing() - GetHOffset(), di->Top + item->GetVertSpacing() - GetVOffset(),
                     item->GetImageWidth(GetRDStyle()), item->GetImageHeight(GetRDStyle()));
    }
    bitmap = QImage(rect.size().expandedTo(QSize(0, 0)), QImage::Format_ARGB32_Premultiplied);
    if (bitmap.isNull())
        return;
    bitmap.fill(color != clNone ? ToQColor(ColorToRGB(color)) : QColor(Qt::transparent));
    QPainter painter(&bitmap);
    TCanvas canvas(painter);
    PaintBackground(canvas, rect);
}

void TCustomRDFormattedData::AddSoftPageBreak(TRDPageStarts& pages, int pageNo)
{
    if (!SoftPageBreaks)
        SoftPageBreaks = std::make_unique<TRDSoftPageBreakList>();
    if (pages.PageStartsInsideCells(pageNo)) {
        pages.PassPageStartToPart(pageNo, this);
        return;
    }
    SoftPageBreaks->push_back(pages.GetPageStartInfo(pageNo));
}

bool TCustomRDFormattedData::ClearSoftPageBreaks()
{
    if (State & dsKeepSoftPageBreaks)
        return false;
    if (!SoftPageBreaks)
        return false;
    SoftPageBreaks.reset();
    // Items with documents of their own (tables) drop those documents' breaks.
    TCustomRDData* active = GetActiveData();
    for (int i = 0; i < active->ItemCount(); ++i)
        active->ItemAt(i)->ClearSoftPageBreaks();
    return true;
}

void TCustomRDFormattedData::DrawSoftPageBreaks(TCanvas& canvas, int first, int last, int dx, int dy)
{
    TRDSoftPageBreakList* breaks = GetSoftPageBreaks();
    TRDStyle* style = GetRDStyle();
    if (breaks == nullptr || style == nullptr || DrawItems.Count() == 0 || first < 0)
        return;
    const int firstItem = DrawItems[first]->ItemNo;
    auto it = std::find_if(breaks->begin(), breaks->end(),
                           [firstItem](const TRDSoftPageBreakInfo& b) { return b.ItemNo >= firstItem; });
    for (; it != breaks->end(); ++it) {
        if (it->ItemNo < 0 || it->ItemNo >= ItemCount())
            continue;
        int offset = 0, d = -1;
        ItemPosToDrawPos(it->ItemNo, it->ItemOffset, offset, d);
        if (d < 0)
            continue;
        if (d > last)
            break;
        // A page that begins with the document is not marked.
        if (d == 0 && it->PartPosition < 0)
            continue;
        int y;
        if (it->PartPosition < 0) {
            int lineFirst = d, lineLast = d;
            GetLineBounds(d, lineFirst, lineLast);
            y = DrawItems[lineFirst]->Top;
            for (int j = lineFirst + 1; j <= lineLast; ++j)
                y = std::min(y, DrawItems[j]->Top);
        } else
            y = DrawItems[d]->Top + ItemAt(it->ItemNo)->GetPageBreakOffset(it->PartPosition);
        style->DrawPageBreak(canvas, y - dy - 1, dx, TRDPageBreakType::rdpbSoftPageBreak, ControlOf(*this), this,
                             it->ItemNo, GetWidth());
    }
}

// What the steps of one paint share: the canvas and the style sheet, the
// offsets and the clip, the selection, the states, the draw items painted,
// the text style last applied and the band of line selection.
struct TRDPaintContext {
    TRDPaintContext(TCanvas& canvas, TRDStyle* style) : Canvas(canvas), Style(style) {}
    TCanvas& Canvas;
    TRDStyle* Style;
    int Count = 0;
    // Document to client: subtract these.
    int Dx = 0, Dy = 0;
    // The clip in document coordinates.
    int ClipTop = 0, ClipBottom = 0;
    // The selection as draw-item positions.
    int S = -1, So = 0, E = -1, Eo = 0;
    bool AllSelected = false, HasSelection = false, LineSelection = false;
    TRDOptions Options = 0;
    bool ShowSpecial = false, StylePPI = false, OwnerFlag2 = false, WholeItemsOnly = false;
    TRDTextDrawStates TextFocus = 0;
    uint16_t ItemFocus = 0;
    TColor SelColor = clNone;
    int LeftMargin = 0, RightMargin = 0, MaxTextWidth = 0, ScrollWidth = 0;
    // The right end of a full-line item.
    int FullLineRight = 0;
    // The text style applied to the canvas (-1: none or unknown).
    int Applied = -1;
    // The first and last draw item painted.
    int First = 0, Last = 0;
    // The band of the current line under line selection (client coordinates).
    int BandTop = 0, BandBottom = 0;
};

namespace {

// One text draw item being painted: its piece, its text style, whether it
// is a hovered jump and the direction of its paragraph.
struct TRDPaintedText {
    const TRDDrawLineInfo* D;
    int StyleNo;
    bool Hover;
    TRDBiDiMode BiDiMode;
};

// Draws a piece of a text draw item at x, width wide: selected or not, at the
// item's start or end or inside it, from character firstChar (1-based).
void PaintTextSegment(TCustomRDFormattedData& data, const TRDPaintContext& pc, const TRDPaintedText& t,
                      const QByteArray& text, int x, int width, bool selected, bool atEnd, bool atStart, int firstChar)
{
    TRDStyle* style = pc.Style;
    TCanvas& canvas = pc.Canvas;
    const TRDDrawLineInfo* d = t.D;
    TRDTextDrawStates states = pc.TextFocus;
    if (selected)
        states |= rdtsSelected;
    if (t.Hover)
        states |= rdtsHover;
    if (style->OnDrawStyleText) {
        if (atStart) {
            states |= rdtsDrawItemStart;
            if (d->Offs <= 1)
                states |= rdtsItemStart;
        }
        if (atEnd) {
            states |= rdtsDrawItemEnd;
            if (d->Offs + d->Length > data.ItemLengthOf(d->ItemNo))
                states |= rdtsItemEnd;
        }
    }
    if (pc.ShowSpecial)
        states |= rdtsSpecialCharacters;
    style->ApplyStyleColor(canvas, t.StyleNo, states, false, 0);
    int spaceBefore = 0;
    if (atStart)
        spaceBefore = d->JustifyExtra;
    else
        x += d->JustifyExtra;
    if (selected && pc.LineSelection && width > 0) {
        canvas.BrushStyle = TBrushStyle::Solid;
        canvas.BrushColor = pc.SelColor;
        canvas.FillRect(QRect(x - 1, pc.BandTop, width + 2, pc.BandBottom - pc.BandTop));
        style->ApplyStyleColor(canvas, t.StyleNo, states, false, 0);
    }
    style->DrawStyleText(text, canvas, d->ItemNo, d->Offs + firstChar - 1, t.StyleNo, &data, spaceBefore, x,
                         d->Top - pc.Dy, width, d->Height, 0, states, false, false, 0, t.BiDiMode);
}

} // namespace

void TCustomRDFormattedData::PaintDocument(TCanvas& canvas, const QRect& clip, bool ownerFlag2, bool ownerFlag1,
                                           bool wholeItemsOnly, bool startAtVisibleLine)
{
    TRDStyle* style = GetRDStyle();
    const int count = DrawItems.Count();
    const int dx = GetHOffset() + clip.left();
    const int dy = GetVOffset() + clip.top();
    if (style == nullptr || count == 0) {
        DrawOverlay(canvas, dx, -1, -1, dy);
        return;
    }
    TRDPaintContext pc(canvas, style);
    pc.Count = count;
    pc.Dx = dx;
    pc.Dy = dy;
    pc.OwnerFlag2 = ownerFlag2;
    pc.WholeItemsOnly = wholeItemsOnly;
    // 1. Selection, offsets, the clip in document coordinates, the states.
    PreparePaint(pc, clip, ownerFlag1);
    // 2. The first and last draw item.
    FindPaintRange(pc, startAtVisibleLine);
    // 3. Paragraph backgrounds and borders.
    PaintParagraphBacks(pc);
    // 4. Text backgrounds.
    if (style->OnDrawTextBack)
        PaintTextBacks(pc);
    // 5. Soft page breaks.
    if (SoftPageBreaks && (pc.Options & rdoShowPageBreaks))
        DrawSoftPageBreaks(canvas, pc.First, pc.Last, dx, dy);
    // 6. The draw items.
    for (int j = pc.First; j <= pc.Last; ++j)
        PaintDrawItem(pc, j);
    // 7. Misspelled words.
    PaintMisspellings(pc);
    // 8. A checkpoint waiting at the end of the document.
    if ((pc.Options & rdoShowCheckpoints) && PendingCP != nullptr)
        style->DrawCheckpoint(canvas, -1, DocumentHeight - GetBottomMargin() - dy, pc.LeftMargin - dx, GetWidth(),
                              this, -1, dx, PendingCP->RaiseEvent, ControlOf(*this));
    // 9. Overlays.
    DrawOverlay(canvas, dx, pc.Last, pc.First, dy);
}

// Step 1: the selection, the clip in document coordinates, the focus and the states.
void TCustomRDFormattedData::PreparePaint(TRDPaintContext& pc, const QRect& clip, bool ownerFlag1)
{
    TRDStyle* style = pc.Style;
    GetSelBoundsDraw(pc.S, pc.So, pc.E, pc.Eo);
    pc.AllSelected = State & dsAllSelected;
    pc.HasSelection = pc.AllSelected || (pc.S >= 0 && pc.E >= 0);
    pc.ClipTop = clip.top() + GetVOffset();
    pc.ClipBottom = pc.ClipTop + clip.height();
    pc.Canvas.BrushStyle = TBrushStyle::Clear;
    pc.Applied = -1;
    const TRDOptions options = GetOptions();
    pc.Options = options;
    pc.ShowSpecial = options & rdoShowSpecialCharacters;
    const bool focused = IsControlFocused();
    pc.TextFocus = focused ? rdtsControlFocused : 0;
    pc.StylePPI = GetControlFlags() & cfStylePixelsPerInch;
    uint16_t itemFocus = focused ? idsControlFocused : 0;
    if (pc.StylePPI)
        itemFocus |= idsStylePixelsPerInch;
    if (ownerFlag1)
        itemFocus |= idsOwnerFlag1;
    if (pc.OwnerFlag2)
        itemFocus |= idsOwnerFlag2;
    if (pc.ShowSpecial)
        itemFocus |= idsSpecialCharacters;
    pc.ItemFocus = itemFocus;
    pc.SelColor = focused ? style->SelColor : style->InactiveSelColor;
    pc.LineSelection = pc.HasSelection && style->SelectionStyle == TRDSelectionStyle::rdssLines;
    const int leftMargin = GetLeftMargin(), rightMargin = GetRightMargin();
    const int maxTextWidth = GetMaxTextWidth();
    const int scrollWidth = GetScrollWidth();
    pc.LeftMargin = leftMargin;
    pc.RightMargin = rightMargin;
    pc.MaxTextWidth = maxTextWidth;
    pc.ScrollWidth = scrollWidth;
    pc.FullLineRight = [&] {
        if (options & rdoClientTextWidth)
            return GetWidth() - rightMargin;
        int right = scrollWidth;
        if (maxTextWidth > 0 && maxTextWidth + leftMargin + rightMargin < right)
            right = maxTextWidth + leftMargin + rightMargin;
        return right - rightMargin;
    }();
}

// Step 2: the first and the last draw item to paint.
void TCustomRDFormattedData::FindPaintRange(TRDPaintContext& pc, bool startAtVisibleLine)
{
    const int count = pc.Count;
    int f = std::max(0, FindDrawItemByY(pc.ClipTop, 1));
    int l = count - 1;
    if (startAtVisibleLine) {
        bool seenVisible = false;
        for (int j = f; j < count; ++j) {
            if (DrawItemIsLineStart(j)) {
                if (seenVisible)
                    break;
                f = j;
            }
            if (DrawItems[j]->Top >= pc.ClipTop)
                seenVisible = true;
        }
    }

    // The last draw item: the line start after the first draw item below the clip.
    bool seenBelow = false;
    for (int j = f; j < count; ++j) {
        if (seenBelow && DrawItemIsLineStart(j)) {
            l = j;
            break;
        }
        if (DrawItems[j]->Top > pc.ClipBottom)
            seenBelow = true;
    }
    pc.First = f;
    pc.Last = l;
}

// Step 3: paragraph backgrounds and borders, from the paragraph of the first
// draw item (to the end of the document when the text width is limited).
void TCustomRDFormattedData::PaintParagraphBacks(TRDPaintContext& pc)
{
    const int count = pc.Count;
    int j = pc.First;
    while (j > 0 && !DrawItemStartsParagraph(j))
        --j;
    const bool toEnd = pc.MaxTextWidth != 0;
    while (j < count && (toEnd || j <= pc.Last)) {
        // The paragraph from j to its last draw item.
        int k = j;
        while (k + 1 < count && !DrawItemStartsParagraph(k + 1))
            ++k;
        PaintParagraphBack(pc, j, k);
        j = k + 1;
    }
}

// Step 3, one paragraph: draw items first..last.
void TCustomRDFormattedData::PaintParagraphBack(TRDPaintContext& pc, int first, int last)
{
    TRDStyle* style = pc.Style;
    const int dx = pc.Dx, dy = pc.Dy;
    const TCustomRDItemInfo* item = ItemAt(DrawItems[first]->ItemNo);
    const TParaInfo& para = ParaStyleOf(DrawItems[first]->ItemNo);
    const bool fullLine = item->GetBoolValue(0);
    if (fullLine || (para.Border.Style == TRDBorderStyle::rdbNone && para.Background.Color == clNone &&
                     !style->OnDrawParaBack))
        return;
    QRect r;
    int left = pc.LeftMargin + para.LeftIndent + std::min(0, int(para.FirstIndent));
    int right;
    if (pc.Options & rdoClientTextWidth)
        right = GetWidth() - pc.RightMargin - para.RightIndent;
    else if (pc.MaxTextWidth < 1)
        right = pc.ScrollWidth - pc.RightMargin - para.RightIndent;
    else
        right = pc.LeftMargin + pc.MaxTextWidth - para.RightIndent;
    int top = DrawItems[first]->Top, bottom = top;
    for (int m = first; m <= last; ++m) {
        const TRDDrawLineInfo* d = DrawItems[m];
        right = std::max(right, d->Left + d->Width);
        top = std::min(top, d->Top);
        bottom = std::max(bottom, d->Top + d->Height + d->ExtraSpaceBelow);
    }
    r.setCoords(left - dx, top - dy, right - dx - 1, bottom - dy - 1);
    const QRect border = r;
    para.Background.PrepareDraw(r);
    style->DrawingData = this;
    style->DrawingItemNo = DrawItems[first]->ItemNo;
    style->DrawParaBack(pc.Canvas, item->ParaNo, r, false, 0);
    para.Border.Draw(border, pc.Canvas.Painter());
}

// Whether the item is a jump the mouse hovers over.
bool TCustomRDFormattedData::IsHoveredJump(const TCustomRDItemInfo* item) const
{
    return (State & dsJumpHighlighted) && HoverJumpId != -1 && item->JumpIndex == HoverJumpId;
}

// Step 4: text backgrounds (the style sheet's owner-draw hook).
void TCustomRDFormattedData::PaintTextBacks(TRDPaintContext& pc)
{
    TRDStyle* style = pc.Style;
    for (int j = pc.First; j <= pc.Last; ++j) {
        const TRDDrawLineInfo* d = DrawItems[j];
        const TCustomRDItemInfo* item = ItemAt(d->ItemNo);
        if (item->StyleNo < 0)
            continue;
        const int styleNo = item->GetActualStyleNo(style);
        const bool hover = style->TextStyles().TextStyleAt(styleNo)->Jump && IsHoveredJump(item);
        style->DrawTextBack(pc.Canvas, d->ItemNo, styleNo, this, d->Left - pc.Dx, d->Top - pc.Dy, d->Width,
                            d->Height, hover ? 2 : 0);
    }
}

// Step 6: one draw item with what goes above and after it.
void TCustomRDFormattedData::PaintDrawItem(TRDPaintContext& pc, int j)
{
    TRDStyle* style = pc.Style;
    const int dx = pc.Dx, dy = pc.Dy;
    const TRDDrawLineInfo* d = DrawItems[j];
    TCustomRDItemInfo* item = ItemAt(d->ItemNo);
    const TParaInfo& para = ParaStyleOf(d->ItemNo);
    if (pc.WholeItemsOnly && d->Top + d->Height > pc.ClipBottom)
        return;
    // 6.1 The line band of line selection.
    if (DrawItemIsLineStart(j) && pc.LineSelection && para.BiDiMode == TRDBiDiMode::rdbdUnspecified)
        MeasureSelectionBand(pc, j, para);
    const bool startsItem = DrawItemStartsItem(j);
    // 6.2 A hard page break above the item's first line.
    if (item->BreaksPageBefore() && (pc.Options & rdoShowPageBreaks) && startsItem) {
        int first = j, last = j;
        GetLineBounds(j, first, last);
        int lineTop = DrawItems[first]->Top;
        for (int m = first; m <= last; ++m)
            lineTop = std::min(lineTop, DrawItems[m]->Top);
        style->DrawPageBreak(pc.Canvas, lineTop - dy - 1, dx, TRDPageBreakType::rdpbPageBreak, ControlOf(*this),
                             this, d->ItemNo, GetWidth());
        pc.Applied = -1;
    }
    // 6.3 A checkpoint.
    if (item->Checkpoint != nullptr && (pc.Options & rdoShowCheckpoints) && startsItem) {
        style->DrawCheckpoint(pc.Canvas, d->Left - dx, d->Top - dy, pc.LeftMargin - dx, GetWidth(), this,
                              d->ItemNo, dx, item->Checkpoint->RaiseEvent, ControlOf(*this));
        pc.Applied = -1;
    }
    // 6.4 A non-text item, or 6.5 text.
    if (item->StyleNo < 0)
        PaintNonTextItem(pc, j, *item, para);
    else
        PaintTextItem(pc, j, *item, para);
    // 6.6 The paragraph mark or line-break sign after the item's last draw item.
    if (pc.ShowSpecial && (VisibleSpecialCharacters & VisibleParagraphMarks) &&
        (j + 1 == pc.Count || (DrawItemIsLineStart(j + 1) && DrawItems[j + 1]->ItemNo != d->ItemNo)))
        PaintParagraphMark(pc, j, para);
}

// Step 6.1: the band of the line starting at draw item j under line selection.
void TCustomRDFormattedData::MeasureSelectionBand(TRDPaintContext& pc, int j, const TParaInfo& para)
{
    int first = j, last = j;
    GetLineBounds(j, first, last);
    int bandTop = DrawItems[first]->Top;
    int bandBottom = bandTop;
    for (int m = first; m <= last; ++m) {
        bandTop = std::min(bandTop, DrawItems[m]->Top);
        bandBottom = std::max(bandBottom, DrawItems[m]->Top + DrawItems[m]->Height + DrawItems[m]->ExtraSpaceBelow);
    }
    if (DrawItemStartsParagraph(first))
        bandTop -= para.SpaceBefore;
    if (DrawItemEndsParagraph(last))
        bandBottom += ParaStyleOf(DrawItems[first]->ItemNo).SpaceAfter;
    pc.BandTop = bandTop - pc.Dy;
    pc.BandBottom = bandBottom - pc.Dy;
}

// Step 6.4: a non-text item, selected unless the selection only touches it from outside.
void TCustomRDFormattedData::PaintNonTextItem(TRDPaintContext& pc, int j, TCustomRDItemInfo& item,
                                              const TParaInfo& para)
{
    TRDStyle* style = pc.Style;
    TCanvas& canvas = pc.Canvas;
    const int dx = pc.Dx, dy = pc.Dy;
    const TRDDrawLineInfo* d = DrawItems[j];
    uint16_t state = pc.ItemFocus;
    if (pc.AllSelected || (pc.HasSelection && !(j < pc.S || j > pc.E || (j == pc.E && pc.Eo == 0) ||
                                                (j == pc.S && pc.So == 1))))
        state |= idsSelected;
    if (IsHoveredJump(&item) && item.GetBoolValueEx(2, style))
        state |= idsHover;
    if (para.BiDiMode == TRDBiDiMode::rdbdRightToLeft)
        state |= idsRightToLeft;
    if (&item == HighlightedItem)
        state |= idsHighlighted;
    if (item.GetBoolValue(0))
        item.PaintFullLine(d->Left - dx, pc.FullLineRight - dx, d->Top - dy, style, state, canvas, this);
    else {
        if ((state & idsSelected) && pc.LineSelection && dynamic_cast<TRDMarkerItemInfo*>(&item) == nullptr &&
            pc.SelColor != clNone) {
            canvas.BrushStyle = TBrushStyle::Solid;
            canvas.BrushColor = pc.SelColor;
            canvas.FillRect(QRect(d->Left - dx, pc.BandTop, d->Width, pc.BandBottom - pc.BandTop));
            canvas.BrushStyle = TBrushStyle::Clear;
        }
        const int x = d->Left - dx + item.GetHorzSpacing(), y = d->Top - dy + item.GetVertSpacing();
        QImage bitmap;
        if (pc.OwnerFlag2 && item.GetBoolValueEx(1, style)) {
            // Through a bitmap of the image's size.
            bitmap = QImage(item.GetImageWidth(style), item.GetImageHeight(style), QImage::Format_ARGB32);
            TRDItemPrintInfo info;
            info.DrawItem = const_cast<TRDDrawLineInfo*>(d);
            if (!bitmap.isNull()) {
                bitmap.fill(Qt::transparent);
                if (!item.PrintToBitmap(bitmap, false, this, info))
                    bitmap = QImage();
            }
        }
        if (!bitmap.isNull())
            canvas.Painter().drawImage(x, y, bitmap);
        else
            item.Paint(canvas, x, y, d->Top - dy + d->Height, state, style, d, this);
    }
    if (item.GetBoolValue(3))
        pc.Applied = -1;
}

// Step 6.5: a text draw item, its selected part over the rest.
void TCustomRDFormattedData::PaintTextItem(TRDPaintContext& pc, int j, TCustomRDItemInfo& item, const TParaInfo& para)
{
    TRDStyle* style = pc.Style;
    TCanvas& canvas = pc.Canvas;
    const int dx = pc.Dx;
    const TRDDrawLineInfo* d = DrawItems[j];
    const int styleNo = item.GetActualStyleNo(style);
    const TFontInfo& font = *style->TextStyles().TextStyleAt(styleNo);
    if (styleNo != pc.Applied) {
        style->ApplyStyle(canvas, styleNo, para.BiDiMode, pc.StylePPI, nullptr, false);
        pc.Applied = styleNo;
    }
    const TRDPaintedText text{d, styleNo, font.Jump && IsHoveredJump(&item), para.BiDiMode};
    QByteArray display;
    GetDisplayText(DrawItems.GetDrawItemText(j, *this), font, LineWrapsAfter(j), display, true, pc.ShowSpecial);
    const int flags = item.ItemOptions;
    const int s = pc.S, so = pc.So, e = pc.E, eo = pc.Eo;
    const bool outside = !pc.AllSelected && (!pc.HasSelection || j < s || j > e);
    const bool whole =
        pc.AllSelected || (!outside && (j > s || (j == s && so <= 1)) && (j < e || (j == e && eo > d->Length)));
    if (outside || whole) {
        PaintTextSegment(*this, pc, text, display, d->Left - dx, d->Width, whole, true, true, 1);
        return;
    }
    PaintTextSegment(*this, pc, text, display, d->Left - dx, d->Width, false, true, true, 1);
    const int a = (j == s && so > 1) ? so : 1;
    const int b = (j == e && eo <= d->Length) ? eo - 1 : d->Length;
    if (b < a)
        return;
    if (para.BiDiMode != TRDBiDiMode::rdbdUnspecified) {
        TRDTextDrawStates states = pc.TextFocus | rdtsSelected;
        style->ApplyStyleColor(canvas, styleNo, states, false, 0);
        if (TryDrawBiDiTextRange(d->Left + d->JustifyExtra - dx, d->Top - pc.Dy, d->Width - d->JustifyExtra, canvas,
                                 display, d->Height, a, b, flags, true))
            return;
    }
    const QByteArray before = DrawItems.GetDrawItemSubText(j, *this, a - 1, 1);
    const int x = d->Left + ItemTextWidth(before, canvas, flags) - dx;
    const QByteArray part =
        display.mid((a - 1) * (IsUnicodeItem(flags) ? 2 : 1), (b - a + 1) * (IsUnicodeItem(flags) ? 2 : 1));
    const QByteArray stored = DrawItems.GetDrawItemSubText(j, *this, b - a + 1, a);
    const int width = (style->OnDrawStyleText || pc.LineSelection) ? ItemTextWidth(stored, canvas, flags)
                                                                   : d->Left + d->Width - dx - x;
    PaintTextSegment(*this, pc, text, part, x, width, true, b == d->Length, a == 1, a);
}

// Step 6.6: the paragraph mark or line-break sign after draw item j.
void TCustomRDFormattedData::PaintParagraphMark(TRDPaintContext& pc, int j, const TParaInfo& para)
{
    TRDStyle* style = pc.Style;
    TCanvas& canvas = pc.Canvas;
    const int dx = pc.Dx, dy = pc.Dy;
    const TRDDrawLineInfo* d = DrawItems[j];
    const bool lineBreak = j + 1 < pc.Count && ItemAt(DrawItems[j + 1]->ItemNo)->HasLineBreakBefore();
    const int markStyle = pc.Applied >= 0 ? pc.Applied : 0;
    if (pc.Applied < 0)
        style->ApplyStyle(canvas, markStyle, para.BiDiMode, pc.StylePPI, nullptr, false);
    style->ApplyStyleColor(canvas, markStyle, pc.TextFocus, false, 0);
    QFont qfont = canvas.Font.ToQFont();
    const QString family = qfont.family();
    if (family.contains(QLatin1String("Symbol"), Qt::CaseInsensitive) ||
        family.contains(QLatin1String("Wingdings"), Qt::CaseInsensitive)) {
        qfont.setFamily(MapFontName(QStringLiteral("Arial")));
        pc.Applied = -1;
    }
    const QString sign = lineBreak ? QString(QChar(0x21B5)) : QString(QChar(0x00B6));
    QPainter& painter = canvas.Painter();
    painter.save();
    painter.setFont(qfont);
    painter.setPen(ToQColor(canvas.Font.Color));
    const QFontMetrics metrics(qfont);
    const int w = metrics.horizontalAdvance(sign);
    const int x = para.BiDiMode == TRDBiDiMode::rdbdRightToLeft ? d->Left - dx - w : d->Left + d->Width - dx;
    painter.drawText(x, d->Top + d->Height - dy - metrics.descent(), sign);
    painter.restore();
}

// Step 7: the marks of misspelled words (the word painters of the text items).
void TCustomRDFormattedData::PaintMisspellings(TRDPaintContext& pc)
{
    TRDStyle* style = pc.Style;
    TCanvas& canvas = pc.Canvas;
    const int dx = pc.Dx, dy = pc.Dy;
    for (int j = pc.First; j <= pc.Last; ++j) {
        const TRDDrawLineInfo* d = DrawItems[j];
        const TCustomRDItemInfo* item = ItemAt(d->ItemNo);
        if (!item->WordPainters || item->StyleNo < 0)
            continue;
        const int styleNo = item->GetActualStyleNo(style);
        const TParaInfo& para = ParaStyleOf(d->ItemNo);
        if (styleNo != pc.Applied) {
            style->ApplyStyle(canvas, styleNo, para.BiDiMode, pc.StylePPI, nullptr, false);
            pc.Applied = styleNo;
        }
        const int flags = item->ItemOptions;
        for (int k = 0; k < item->WordPainters->Count(); ++k) {
            const TRDWordPainter* painter = item->WordPainters->PainterAt(k);
            const int a = std::max(painter->StartOffset, d->Offs);
            const int b = std::min(painter->StartOffset + painter->Length, d->Offs + d->Length) - 1;
            if (b < a)
                continue;
            int left = 0, right = 0;
            bool placed = false;
            if (para.BiDiMode != TRDBiDiMode::rdbdUnspecified)
                placed = GetBiDiRangeExtent(canvas, DrawItems.GetDrawItemText(j, *this), a - d->Offs + 1, b - a + 1,
                                            flags, d->Width - d->JustifyExtra, left, right);
            if (!placed) {
                left = ItemTextWidth(DrawItems.GetDrawItemSubText(j, *this, a - d->Offs, 1), canvas, flags);
                right = left + ItemTextWidth(DrawItems.GetDrawItemSubText(j, *this, b - a + 1, a - d->Offs + 1),
                                             canvas, flags);
            }
            const QRect r(d->Left + d->JustifyExtra + left - dx, d->Top - dy, right - left, d->Height);
            painter->Paint(canvas, *d, this, r, k);
        }
    }
}
