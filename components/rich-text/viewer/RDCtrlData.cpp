#include "viewer/RDCtrlData.h"

#include <exception>

#include <QtGui/QPaintEngine>
#include <QtGui/QPainter>
#include <QtWidgets/QWidget>

#include "Graphics.h"
#include "document/RDItem.h"

TRDControlData::TRDControlData() = default;

namespace {

// The focused item, when the pair still names one.
TCustomRDItemInfo* FocusedItem(TCustomRDFormattedData* data, int itemNo)
{
    return data && itemNo >= 0 && itemNo < data->ItemCount() ? data->ItemAt(itemNo) : nullptr;
}

} // namespace

void TRDControlData::SetFocusedItem(int itemNo, TCustomRDFormattedData* data, int subItemNo)
{
    if (TCustomRDItemInfo* item = FocusedItem(FocusedItemData, FocusedItemNo))
        item->ClearFocus();
    TCustomRDFormattedData::FocusedItemNo = itemNo;
    FocusedItemNo = subItemNo;
    FocusedItemData = data;
}

void TRDControlData::ClearFormatting()
{
    if (DrawItems.Count() > 0) {
        FocusedItemNo = -1;
        FocusedItemData = nullptr;
    }
    TCustomRDFormattedData::ClearFormatting();
}

void TRDControlData::Deselect(TCustomRDItemInfo* keep, bool notify)
{
    if (State & dsDeselecting)
        return;
    {
        const TRDStateBits deselecting(State, dsDeselecting);
        if (TCustomRDItemInfo* item = FocusedItem(FocusedItemData, FocusedItemNo))
            item->ClearFocus();
        TCustomRDFormattedData::FocusedItemNo = -1;
        FocusedItemNo = -1;
        FocusedItemData = nullptr;
    }
    TCustomRDFormattedData::Deselect(keep, notify);
}

void TRDControlData::ActivateFocusedItem()
{
    if (TCustomRDItemInfo* item = FocusedItem(FocusedItemData, FocusedItemNo))
        item->Execute(FocusedItemData);
}

void TRDControlData::FocusClickedItem(TCustomRDFormattedData* data, int itemNo)
{
    if (TabNavigation == TRDTabNavigationType::rdtnNone || !data || itemNo < 0 || itemNo >= data->ItemCount())
        return;
    // A nested document's item is focused where the root's focus already stands.
    SetFocusedItem(data == this ? itemNo : TCustomRDFormattedData::FocusedItemNo, data, itemNo);
    data->ItemAt(itemNo)->Focusing();
    InvalidateFocusRects();
}

std::vector<QRect> TRDControlData::FocusRects()
{
    std::vector<QRect> rects;
    auto* data = FocusedItemData;
    TCustomRDItemInfo* item = FocusedItem(data, FocusedItemNo);
    if (item == nullptr || !item->GetBoolValueEx(5, GetRDStyle()))
        return rects;
    int ox = 0, oy = 0, mx = 0, my = 0;
    data->GetOrigin(ox, oy);
    GetOrigin(mx, my);
    const int dx = ox - GetHOffset() - mx, dy = oy - GetVOffset() - my;
    for (int d = data->FirstDrawItemOfItem(FocusedItemNo);
         d >= 0 && d < data->DrawItems.Count() && data->DrawItems[d]->ItemNo == FocusedItemNo; ++d) {
        const TRDDrawLineInfo* di = data->DrawItems[d];
        rects.emplace_back(di->Left + dx - 1, di->Top + dy - 1, di->Width + 2, di->Height + 2);
    }
    return rects;
}

void TRDControlData::DrawFocusRects(TCanvas& canvas, QPoint origin)
{
    const std::vector<QRect> rects = FocusRects();
    if (rects.empty())
        return;
    QPainter& painter = canvas.Painter();
    painter.save();
    // Inverted, as a second frame at the same place would take it off again.
    if (painter.paintEngine() && painter.paintEngine()->hasFeature(QPaintEngine::RasterOpModes))
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    for (const QRect& r : rects)
        painter.drawRect(r.translated(-origin).adjusted(0, 0, -1, -1));
    painter.restore();
}

void TRDControlData::InvalidateFocusRects()
{
    for (const QRect& r : FocusRects())
        InvalidateRect(r);
}

void TRDControlData::DrawOverlay(TCanvas& canvas, int dx, int, int, int dy)
{
    // dx, dy: the document point at the canvas's (0, 0).
    DrawFocusRects(canvas, QPoint(dx - GetHOffset(), dy - GetVOffset()));
    // The drop caret of a drag over the control, in client coordinates.
    if (TRDDragDropCaretInfo* caret = GetDragDropCaret(); caret && caret->RDData) {
        QPainter& painter = canvas.Painter();
        painter.save();
        painter.translate(GetHOffset() - dx, GetVOffset() - dy);
        DrawDragDropCaret(canvas, false);
        painter.restore();
    }
}

void TRDControlData::MoveFocus(bool backward, QWidget* fromControl)
{
    QWidget* control = FocusControl();
    for (int round = 0; round < 2; ++round) {
        // 1. A move this document asked to skip.
        if (State & dsSkipFocusMove) {
            State &= ~dsSkipFocusMove;
            return;
        }
        // 2. The focus came from another window.
        if (fromControl != nullptr && control != nullptr && fromControl->window() != control->window())
            return;
        TCustomRDItemInfo* focused = FocusedItem(FocusedItemData, FocusedItemNo);
        // 3. An item has the focus already.
        if (focused != nullptr && fromControl == nullptr)
            return;
        int current = TCustomRDFormattedData::FocusedItemNo;
        if (current >= ItemCount())
            current = -1;
        // 4. Start from the item that holds fromControl.
        if (fromControl != nullptr) {
            int holder = -1;
            if (current >= 0 && ItemAt(current)->OwnsControl(fromControl))
                holder = current;
            else
                holder = IndexOfControl(fromControl);
            if (holder >= 0) {
                InvalidateFocusRects();
                TCustomRDData* top = this;
                int topItemNo = holder;
                if (!ItemAt(holder)->AdjustFocusToControl(fromControl, top, topItemNo)) {
                    top = this;
                    topItemNo = holder;
                }
                SetFocusedItem(holder, dynamic_cast<TCustomRDFormattedData*>(top), topItemNo);
                current = holder;
                InvalidateFocusRects();
            }
        }
        // 5. The next item that takes the focus.
        const bool hadFocus = FocusedItem(FocusedItemData, FocusedItemNo) != nullptr;
        InvalidateFocusRects();
        if (TCustomRDItemInfo* item = FocusedItem(FocusedItemData, FocusedItemNo))
            item->ClearFocus();
        // Items that hold documents are asked too: the focus may go into them.
        TCustomRDData* foundData = nullptr;
        int found = -1;
        FindNextFocusableItem(current, !backward, foundData, found);
        if (foundData == nullptr)
            found = -1;
        // The item of this document that holds the found one.
        int holder = found;
        for (TCustomRDData* d = foundData; found >= 0 && d != nullptr && d->GetSourceData() != GetSourceData();) {
            std::unique_ptr<TRDLocation> location;
            d->GetParentInfo(holder, location);
            d = d->GetAbsoluteParentData();
            if (d == nullptr)
                holder = -1;
        }
        auto* target = dynamic_cast<TCustomRDFormattedData*>(foundData);
        if (holder < 0 || target == nullptr)
            found = -1;
        if (found < 0) {
            TCustomRDFormattedData::FocusedItemNo = -1;
            FocusedItemNo = -1;
            FocusedItemData = nullptr;
        }
        // 6. Nothing to focus here: the control itself takes the focus.
        if (found < 0 && !hadFocus && fromControl != control) {
            if (control != nullptr)
                control->setFocus(backward ? Qt::BacktabFocusReason : Qt::TabFocusReason);
            return;
        }
        // 7. The found item gets the focus and is shown.
        if (found >= 0) {
            TCustomRDFormattedData::FocusedItemNo = holder;
            FocusedItemNo = found;
            FocusedItemData = target;
            target->ItemAt(found)->Focusing();
            InvalidateFocusRects();
            const int d = target->FirstDrawItemOfItem(found);
            if (d >= 0 && d < target->DrawItems.Count()) {
                const TRDDrawLineInfo* di = target->DrawItems[d];
                target->ScrollRectIntoView(di->Left, di->Top, di->Width, di->Height);
            }
            return;
        }
        // 8. Past the last item: the next widget of the window's tab order.
        if (control != nullptr) {
            for (QWidget* w = backward ? control->previousInFocusChain() : control->nextInFocusChain();
                 w != nullptr && w != control; w = backward ? w->previousInFocusChain() : w->nextInFocusChain()) {
                if (control->isAncestorOf(w) || w->window() != control->window())
                    continue;
                if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisible()) {
                    w->setFocus(backward ? Qt::BacktabFocusReason : Qt::TabFocusReason);
                    return;
                }
            }
        }
        if (!hadFocus)
            return;
        fromControl = control;
    }
}

bool TRDControlData::PaintBuffered(TCanvas& canvas, const QRect& clip)
{
    QPainter& painter = canvas.Painter();
    QString error;
    bool failed = false;
    painter.save();
    painter.setClipRect(clip, Qt::IntersectClip);
    painter.translate(clip.topLeft());
    try {
        PaintBufferedBackground(canvas, clip);
        PaintBufferedDocument(canvas, clip);
    } catch (const std::exception& e) {
        failed = true;
        error = QString::fromUtf8(e.what());
    } catch (...) {
        failed = true;
        error = QStringLiteral("unknown failure");
    }
    painter.restore();
    LastPaintError = error;
    if (failed) {
        TFont font;
        font.Name = QStringLiteral("Arial");
        font.Size = 10;
        font.Color = clRed;
        painter.save();
        painter.setFont(font.ToQFont());
        painter.setPen(ToQColor(clRed));
        painter.setBackgroundMode(Qt::OpaqueMode);
        painter.setBackground(QColor(Qt::white));
        const QString text = QStringLiteral("Error:") + error;
        painter.drawText(QPoint(0, painter.fontMetrics().ascent()), text);
        painter.restore();
    }
    return failed;
}
