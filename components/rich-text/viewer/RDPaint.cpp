// Painting of a formatted document for one clipping rectangle: paragraph
// backgrounds and borders, text backgrounds, page breaks, checkpoints,
// non-text items, text with its selection and paragraph marks; and the soft
// page breaks that show where printed pages begin.

#include <algorithm>

#include <QtGui/QPolygon>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include "layout/CRDFData.h"
#include "document/RDBack.h"
#include "document/RDHost.h"
#include "viewer/RDLiveSpell.h"
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

void TRDWordMisspellPainter::Paint(TCanvas& canvas, const TRDDrawLineInfo&, TCustomRDData* rdData, const QRect& rect,
                                   int) const
{
    const QPolygon line = MisspellPolyline(rect);
    if (line.size() < 2)
        return;
    const TRDStyle* style = rdData != nullptr ? rdData->GetRDStyle() : nullptr;
    QPainter& painter = canvas.Painter();
    const QPen old = painter.pen();
    painter.setPen(QPen(ToQColor(style != nullptr ? style->LiveSpellingColor : TColor(0x0000FF)), 1, Qt::SolidLine));
    painter.drawPolyline(line);
    painter.setPen(old);
}

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
    // 1. Selection, offsets, the clip in document coordinates, the states.
    int s = -1, so = 0, e = -1, eo = 0;
    GetSelBoundsDraw(s, so, e, eo);
    const bool allSelected = State & dsAllSelected;
    const bool hasSelection = allSelected || (s >= 0 && e >= 0);
    const int clipTop = clip.top() + GetVOffset();
    const int clipBottom = clipTop + clip.height();
    canvas.BrushStyle = TBrushStyle::Clear;
    int applied = -1;
    const TRDOptions options = GetOptions();
    const bool showSpecial = options & rdoShowSpecialCharacters;
    const bool focused = IsControlFocused();
    const TRDTextDrawStates textFocus = focused ? rdtsControlFocused : 0;
    const bool stylePPI = GetControlFlags() & cfStylePixelsPerInch;
    uint16_t itemFocus = focused ? idsControlFocused : 0;
    if (stylePPI)
        itemFocus |= idsStylePixelsPerInch;
    if (ownerFlag1)
        itemFocus |= idsOwnerFlag1;
    if (ownerFlag2)
        itemFocus |= idsOwnerFlag2;
    if (showSpecial)
        itemFocus |= idsSpecialCharacters;
    const TColor selColor = focused ? style->SelColor : style->InactiveSelColor;
    const bool lineSelection = hasSelection && style->SelectionStyle == TRDSelectionStyle::rdssLines;
    const int leftMargin = GetLeftMargin(), rightMargin = GetRightMargin();
    const int maxTextWidth = GetMaxTextWidth();
    const int scrollWidth = GetScrollWidth();
    const int fullLineRight = [&] {
        if (options & rdoClientTextWidth)
            return GetWidth() - rightMargin;
        int right = scrollWidth;
        if (maxTextWidth > 0 && maxTextWidth + leftMargin + rightMargin < right)
            right = maxTextWidth + leftMargin + rightMargin;
        return right - rightMargin;
    }();

    // 2. The first and last draw item.
    int f = std::max(0, FindDrawItemByY(clipTop, 1));
    int l = count - 1;
    if (startAtVisibleLine) {
        bool seenVisible = false;
        for (int j = f; j < count; ++j) {
            if (DrawItemIsLineStart(j)) {
                if (seenVisible)
                    break;
                f = j;
            }
            if (DrawItems[j]->Top >= clipTop)
                seenVisible = true;
        }
    }

    // The last draw item: the line start after the first draw item below the clip.
    {
        bool seenBelow = false;
        for (int j = f; j < count; ++j) {
            if (seenBelow && DrawItemIsLineStart(j)) {
                l = j;
                break;
            }
            if (DrawItems[j]->Top > clipBottom)
                seenBelow = true;
        }
    }

    // 3. Paragraph backgrounds and borders (to the end of the document when
    // the text width is limited).
    {
        int j = f;
        while (j > 0 && !DrawItemStartsParagraph(j))
            --j;
        const bool toEnd = maxTextWidth != 0;
        while (j < count && (toEnd || j <= l)) {
            // The paragraph from j to its last draw item.
            int k = j;
            while (k + 1 < count && !DrawItemStartsParagraph(k + 1))
                ++k;
            const TCustomRDItemInfo* item = ItemAt(DrawItems[j]->ItemNo);
            const TParaInfo& para = ParaStyleOf(DrawItems[j]->ItemNo);
            const bool fullLine = item->GetBoolValue(0);
            if (!fullLine && (para.Border.Style != TRDBorderStyle::rdbNone || para.Background.Color != clNone ||
                              style->OnDrawParaBack)) {
                QRect r;
                int left = leftMargin + para.LeftIndent + std::min(0, int(para.FirstIndent));
                int right;
                if (options & rdoClientTextWidth)
                    right = GetWidth() - rightMargin - para.RightIndent;
                else if (maxTextWidth < 1)
                    right = scrollWidth - rightMargin - para.RightIndent;
                else
                    right = leftMargin + maxTextWidth - para.RightIndent;
                int top = DrawItems[j]->Top, bottom = top;
                for (int m = j; m <= k; ++m) {
                    const TRDDrawLineInfo* d = DrawItems[m];
                    right = std::max(right, d->Left + d->Width);
                    top = std::min(top, d->Top);
                    bottom = std::max(bottom, d->Top + d->Height + d->ExtraSpaceBelow);
                }
                r.setCoords(left - dx, top - dy, right - dx - 1, bottom - dy - 1);
                const QRect border = r;
                para.Background.PrepareDraw(r);
                style->DrawingData = this;
                style->DrawingItemNo = DrawItems[j]->ItemNo;
                style->DrawParaBack(canvas, item->ParaNo, r, false, 0);
                para.Border.Draw(border, canvas.Painter());
            }
            j = k + 1;
        }
    }

    auto hoverOf = [&](const TCustomRDItemInfo* item) {
        return (State & dsJumpHighlighted) && HoverJumpId != -1 && item->JumpIndex == HoverJumpId;
    };

    // 4. Text backgrounds.
    if (style->OnDrawTextBack)
        for (int j = f; j <= l; ++j) {
            const TRDDrawLineInfo* d = DrawItems[j];
            const TCustomRDItemInfo* item = ItemAt(d->ItemNo);
            if (item->StyleNo < 0)
                continue;
            const int styleNo = item->GetActualStyleNo(style);
            const bool hover = style->TextStyles().TextStyleAt(styleNo)->Jump && hoverOf(item);
            style->DrawTextBack(canvas, d->ItemNo, styleNo, this, d->Left - dx, d->Top - dy, d->Width, d->Height,
                                hover ? 2 : 0);
        }

    // 5. Soft page breaks.
    if (SoftPageBreaks && (options & rdoShowPageBreaks))
        DrawSoftPageBreaks(canvas, f, l, dx, dy);

    // 6. The draw items.
    int bandTop = 0, bandBottom = 0;
    for (int j = f; j <= l; ++j) {
        const TRDDrawLineInfo* d = DrawItems[j];
        TCustomRDItemInfo* item = ItemAt(d->ItemNo);
        const TParaInfo& para = ParaStyleOf(d->ItemNo);
        if (wholeItemsOnly && d->Top + d->Height > clipBottom)
            continue;
        // 6.1 The line band of line selection.
        if (DrawItemIsLineStart(j) && lineSelection && para.BiDiMode == TRDBiDiMode::rdbdUnspecified) {
            int first = j, last = j;
            GetLineBounds(j, first, last);
            bandTop = DrawItems[first]->Top;
            bandBottom = bandTop;
            for (int m = first; m <= last; ++m) {
                bandTop = std::min(bandTop, DrawItems[m]->Top);
                bandBottom = std::max(bandBottom, DrawItems[m]->Top + DrawItems[m]->Height +
                                                      DrawItems[m]->ExtraSpaceBelow);
            }
            if (DrawItemStartsParagraph(first))
                bandTop -= para.SpaceBefore;
            if (DrawItemEndsParagraph(last))
                bandBottom += ParaStyleOf(DrawItems[first]->ItemNo).SpaceAfter;
            bandTop -= dy;
            bandBottom -= dy;
        }
        const bool startsItem = DrawItemStartsItem(j);
        // 6.2 A hard page break above the item's first line.
        if (item->BreaksPageBefore() && (options & rdoShowPageBreaks) && startsItem) {
            int first = j, last = j;
            GetLineBounds(j, first, last);
            int lineTop = DrawItems[first]->Top;
            for (int m = first; m <= last; ++m)
                lineTop = std::min(lineTop, DrawItems[m]->Top);
            style->DrawPageBreak(canvas, lineTop - dy - 1, dx, TRDPageBreakType::rdpbPageBreak, ControlOf(*this),
                                 this, d->ItemNo, GetWidth());
            applied = -1;
        }
        // 6.3 A checkpoint.
        if (item->Checkpoint != nullptr && (options & rdoShowCheckpoints) && startsItem) {
            style->DrawCheckpoint(canvas, d->Left - dx, d->Top - dy, leftMargin - dx, GetWidth(), this, d->ItemNo,
                                  dx, item->Checkpoint->RaiseEvent, ControlOf(*this));
            applied = -1;
        }
        if (item->StyleNo < 0) {
            // 6.4 A non-text item: selected unless the selection only touches it from outside.
            uint16_t state = itemFocus;
            if (allSelected || (hasSelection && !(j < s || j > e || (j == e && eo == 0) || (j == s && so == 1))))
                state |= idsSelected;
            if (hoverOf(item) && item->GetBoolValueEx(2, style))
                state |= idsHover;
            if (para.BiDiMode == TRDBiDiMode::rdbdRightToLeft)
                state |= idsRightToLeft;
            if (item == HighlightedItem)
                state |= idsHighlighted;
            if (item->GetBoolValue(0))
                item->PaintFullLine(d->Left - dx, fullLineRight - dx, d->Top - dy, style, state, canvas, this);
            else {
                if ((state & idsSelected) && lineSelection && dynamic_cast<TRDMarkerItemInfo*>(item) == nullptr &&
                    selColor != clNone) {
                    canvas.BrushStyle = TBrushStyle::Solid;
                    canvas.BrushColor = selColor;
                    canvas.FillRect(QRect(d->Left - dx, bandTop, d->Width, bandBottom - bandTop));
                    canvas.BrushStyle = TBrushStyle::Clear;
                }
                const int x = d->Left - dx + item->GetHorzSpacing(), y = d->Top - dy + item->GetVertSpacing();
                QImage bitmap;
                if (ownerFlag2 && item->GetBoolValueEx(1, style)) {
                    // Through a bitmap of the image's size.
                    bitmap = QImage(item->GetImageWidth(style), item->GetImageHeight(style), QImage::Format_ARGB32);
                    TRDItemPrintInfo info;
                    info.DrawItem = const_cast<TRDDrawLineInfo*>(d);
                    if (!bitmap.isNull()) {
                        bitmap.fill(Qt::transparent);
                        if (!item->PrintToBitmap(bitmap, false, this, info))
                            bitmap = QImage();
                    }
                }
                if (!bitmap.isNull())
                    canvas.Painter().drawImage(x, y, bitmap);
                else
                    item->Paint(canvas, x, y, d->Top - dy + d->Height, state, style, d, this);
            }
            if (item->GetBoolValue(3))
                applied = -1;
        } else {
            // 6.5 Text.
            const int styleNo = item->GetActualStyleNo(style);
            const TFontInfo& font = *style->TextStyles().TextStyleAt(styleNo);
            if (styleNo != applied) {
                style->ApplyStyle(canvas, styleNo, para.BiDiMode, stylePPI, nullptr, false);
                applied = styleNo;
            }
            const bool hover = font.Jump && hoverOf(item);
            QByteArray display;
            GetDisplayText(DrawItems.GetDrawItemText(j, *this), font, LineWrapsAfter(j), display, true,
                           showSpecial);
            const int flags = item->ItemOptions;
            auto drawSegment = [&](const QByteArray& text, int x, int width, bool selected, bool atEnd,
                                   bool atStart, int firstChar) {
                TRDTextDrawStates states = textFocus;
                if (selected)
                    states |= rdtsSelected;
                if (hover)
                    states |= rdtsHover;
                if (style->OnDrawStyleText) {
                    if (atStart) {
                        states |= rdtsDrawItemStart;
                        if (d->Offs <= 1)
                            states |= rdtsItemStart;
                    }
                    if (atEnd) {
                        states |= rdtsDrawItemEnd;
                        if (d->Offs + d->Length > ItemLengthOf(d->ItemNo))
                            states |= rdtsItemEnd;
                    }
                }
                if (showSpecial)
                    states |= rdtsSpecialCharacters;
                style->ApplyStyleColor(canvas, styleNo, states, false, 0);
                int spaceBefore = 0;
                if (atStart)
                    spaceBefore = d->JustifyExtra;
                else
                    x += d->JustifyExtra;
                if (selected && lineSelection && width > 0) {
                    canvas.BrushStyle = TBrushStyle::Solid;
                    canvas.BrushColor = selColor;
                    canvas.FillRect(QRect(x - 1, bandTop, width + 2, bandBottom - bandTop));
                    style->ApplyStyleColor(canvas, styleNo, states, false, 0);
                }
                style->DrawStyleText(text, canvas, d->ItemNo, d->Offs + firstChar - 1, styleNo, this, spaceBefore, x,
                                     d->Top - dy, width, d->Height, 0, states, false, false, 0, para.BiDiMode);
            };
            const bool outside = !allSelected && (!hasSelection || j < s || j > e);
            const bool whole =
                allSelected || (!outside && (j > s || (j == s && so <= 1)) && (j < e || (j == e && eo > d->Length)));
            if (outside || whole)
                drawSegment(display, d->Left - dx, d->Width, whole, true, true, 1);
            else {
                drawSegment(display, d->Left - dx, d->Width, false, true, true, 1);
                const int a = (j == s && so > 1) ? so : 1;
                const int b = (j == e && eo <= d->Length) ? eo - 1 : d->Length;
                if (b >= a) {
                    bool done = false;
                    if (para.BiDiMode != TRDBiDiMode::rdbdUnspecified) {
                        TRDTextDrawStates states = textFocus | rdtsSelected;
                        style->ApplyStyleColor(canvas, styleNo, states, false, 0);
                        done = TryDrawBiDiTextRange(d->Left + d->JustifyExtra - dx, d->Top - dy,
                                                    d->Width - d->JustifyExtra, canvas, display, d->Height, a, b,
                                                    flags, true);
                    }
                    if (!done) {
                        const QByteArray before = DrawItems.GetDrawItemSubText(j, *this, a - 1, 1);
                        const int x = d->Left + ItemTextWidth(before, canvas, flags) - dx;
                        const QByteArray part = display.mid(
                            (a - 1) * (IsUnicodeItem(flags) ? 2 : 1), (b - a + 1) * (IsUnicodeItem(flags) ? 2 : 1));
                        const QByteArray stored = DrawItems.GetDrawItemSubText(j, *this, b - a + 1, a);
                        const int width = (style->OnDrawStyleText || lineSelection)
                                              ? ItemTextWidth(stored, canvas, flags)
                                              : d->Left + d->Width - dx - x;
                        drawSegment(part, x, width, true, b == d->Length, a == 1, a);
                    }
                }
            }
        }
        // 6.6 The paragraph mark or line-break sign after the item's last draw item.
        if (showSpecial && (VisibleSpecialCharacters & VisibleParagraphMarks) &&
            (j + 1 == count || (DrawItemIsLineStart(j + 1) && DrawItems[j + 1]->ItemNo != d->ItemNo))) {
            const bool lineBreak = j + 1 < count && ItemAt(DrawItems[j + 1]->ItemNo)->HasLineBreakBefore();
            const int markStyle = applied >= 0 ? applied : 0;
            if (applied < 0)
                style->ApplyStyle(canvas, markStyle, para.BiDiMode, stylePPI, nullptr, false);
            style->ApplyStyleColor(canvas, markStyle, textFocus, false, 0);
            QFont qfont = canvas.Font.ToQFont();
            const QString family = qfont.family();
            if (family.contains(QLatin1String("Symbol"), Qt::CaseInsensitive) ||
                family.contains(QLatin1String("Wingdings"), Qt::CaseInsensitive)) {
                qfont.setFamily(MapFontName(QStringLiteral("Arial")));
                applied = -1;
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
    }

    // 7. Misspelled words.
    for (int j = f; j <= l; ++j) {
        const TRDDrawLineInfo* d = DrawItems[j];
        const TCustomRDItemInfo* item = ItemAt(d->ItemNo);
        if (!item->WordPainters || item->StyleNo < 0)
            continue;
        const int styleNo = item->GetActualStyleNo(style);
        const TParaInfo& para = ParaStyleOf(d->ItemNo);
        if (styleNo != applied) {
            style->ApplyStyle(canvas, styleNo, para.BiDiMode, stylePPI, nullptr, false);
            applied = styleNo;
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

    // 8. A checkpoint waiting at the end of the document.
    if ((options & rdoShowCheckpoints) && PendingCP != nullptr)
        style->DrawCheckpoint(canvas, -1, DocumentHeight - GetBottomMargin() - dy, leftMargin - dx, GetWidth(),
                              this, -1, dx, PendingCP->RaiseEvent, ControlOf(*this));
    // 9. Overlays.
    DrawOverlay(canvas, dx, l, f, dy);
}
