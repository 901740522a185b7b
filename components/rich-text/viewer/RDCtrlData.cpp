#include "RDCtrlData.h"

#include <exception>

#include <QtGui/QPainter>

#include "Graphics.h"
#include "RDItem.h"

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
        State |= dsDeselecting;
        struct TClear {
            uint32_t& S;
            ~TClear() { S &= ~dsDeselecting; }
        } clear{State};
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
