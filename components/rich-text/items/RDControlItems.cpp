#include "items/RDControlItems.h"

#include <QtGui/QPainter>

#include "AnsiText.h"
#include "document/CRDData.h"
#include "document/RDFDocIO.h"
#include "document/RDHost.h"
#include "core/RDFStream.h"
#include "core/RDGraphUtils.h"
#include "items/RDPictureItems.h"
#include "StdControls.h"

namespace {

// The control becomes a child of the control that shows the document, or
// of none when no control shows it.
void ParentToHost(QWidget& control, TCustomRDData* rdData)
{
    if (TRDHost* host = rdData ? rdData->GetHost() : nullptr)
        host->InsertControl(control);
    else
        control.setParent(nullptr);
}

bool PercentWidthUsed(int percent)
{
    return percent >= 1 && percent <= 100;
}

QByteArray ComponentText(TCustomRDData* rdData, const QWidget* control, const QString& path, TRDSaveFormat format)
{
    QByteArray text;
    if (rdData && control)
        rdData->DoSaveComponentToFile(path, control, format, text);
    return text;
}

}  // namespace

TRDControlItemInfo::TRDControlItemInfo(TCustomRDData* rdData) : TRDRectItemInfo(rdData)
{
    StyleNo = ControlStyleNo;
    Spacing = 1;
}

TRDControlItemInfo::TRDControlItemInfo(TCustomRDData* rdData, QWidget* control, TRDItemVAlign vAlign)
    : TRDControlItemInfo(rdData)
{
    Control = control;
    VAlign = vAlign;
}

TRDControlItemInfo::~TRDControlItemInfo()
{
    delete Control.data();
}

int TRDControlItemInfo::GetMinWidth(const TRDResolutionInfo* scaling, TCanvas*, TCustomRDData*) const
{
    const int width = PercentWidth != 0 ? 20 : GetWidthEx();
    return scaling ? ScaleToDeviceX(width, scaling) : width;
}

bool TRDControlItemInfo::GetBoolValue(int id) const
{
    switch (id) {
    case 1: return Control != nullptr;
    case 6:
    case 8: return true;
    case 7: return Resizable && PercentWidth == 0;
    default: return TRDRectItemInfo::GetBoolValue(id);
    }
}

bool TRDControlItemInfo::GetBoolValueEx(int id, const TRDStyle* rdStyle) const
{
    switch (id) {
    case 0: return true;
    case 3: return Control && ControlTabStop(*Control) && ControlCanFocus(*Control);
    case 5: return false;
    case 6: return PercentWidthUsed(PercentWidth);
    default: return TRDRectItemInfo::GetBoolValueEx(id, rdStyle);
    }
}

void TRDControlItemInfo::Focusing()
{
    if (Control)
        Control->setFocus();
}

void TRDControlItemInfo::Inserting(TCustomRDData* rdData, QByteArray& text, bool detached)
{
    if (Control) {
        Control->hide();
        if (detached)
            Control->setParent(nullptr);
        else
            ParentToHost(*Control, rdData);
    }
    TRDRectItemInfo::Inserting(rdData, text, detached);
}

void TRDControlItemInfo::SetPosition(int left, int top, bool updateTop)
{
    if (!Control)
        return;
    Control->move(left + Spacing, Control->y());
    SetControlTag(*Control, top + Spacing);
    if (updateTop)
        SetControlTopFromTag(*Control);
    SetControlVisible(*Control, Visible);
}

void TRDControlItemInfo::OnDocWidthChange(int docWidth, TRDDrawLineInfo* drawItem, bool printing, TCanvas*,
                                          TCustomRDData*, const TRDResolutionInfo* scaling, int& extra,
                                          int& descent)
{
    extra = 0;
    const auto vertical = [scaling](int n) { return scaling ? ScaleToDeviceY(n, scaling) : n; };
    if (!PercentWidthUsed(PercentWidth) || !Control) {
        descent = Spacing;
        return;
    }
    const int share = static_cast<int>(static_cast<int64_t>(docWidth) * PercentWidth / 100);
    if (!printing)
        Control->resize(std::max(share - 2 * Spacing, 0), Control->height());
    if (drawItem) {
        drawItem->Width = share;
        drawItem->Height = vertical(Control->height() + 2 * Spacing);
    }
    descent = vertical(Spacing);
}

void TRDControlItemInfo::MovingToUndoList(int itemNo, TCustomRDData* rdData, TRDUndoInfo* undoInfo)
{
    if (Control)
        Control->setParent(nullptr);
    if (rdData)
        rdData->DoControlItemAction(TRDControlAction::rdcaMoveToUndoList, this, itemNo);
    TRDRectItemInfo::MovingToUndoList(itemNo, rdData, undoInfo);
}

void TRDControlItemInfo::MovingFromUndoList(int itemNo, TCustomRDData* rdData)
{
    if (rdData)
        rdData->DoControlItemAction(TRDControlAction::rdcaMoveFromUndoList, this, itemNo);
    if (Control)
        ParentToHost(*Control, rdData);
}

std::unique_ptr<TRDDrawLineInfo> TRDControlItemInfo::CreatePrintDrawItem(TCustomRDData*,
                                                                         const TRDResolutionInfo* scaling)
{
    if (MinHeightOnPage == 0)
        return std::make_unique<TRDDrawLineInfo>();
    auto drawItem = std::make_unique<TRDMultiImagePrintInfo>(this);
    drawItem->Width = scaling ? ScaleToDeviceX(GetWidthEx(), scaling) : GetWidthEx();
    drawItem->Height = scaling ? ScaleToDeviceY(GetHeightEx(), scaling) : GetHeightEx();
    return drawItem;
}

void TRDControlItemInfo::AssignProperties(const TCustomRDItemInfo& source)
{
    if (auto* s = dynamic_cast<const TRDControlItemInfo*>(&source)) {
        PercentWidth = s->PercentWidth;
        Resizable = s->Resizable;
        Visible = s->Visible;
    }
    TRDRectItemInfo::AssignProperties(source);
}

bool TRDControlItemInfo::SetExtraIntProperty(int id, int value)
{
    switch (id) {
    case 8: MinHeightOnPage = value; return true;
    case 10: Resizable = value != 0; return true;
    case 14:
        Visible = value != 0;
        if (Control && Control->parentWidget())
            SetControlVisible(*Control, Visible);
        return true;
    default: return TRDRectItemInfo::SetExtraIntProperty(id, value);
    }
}

bool TRDControlItemInfo::GetExtraIntProperty(int id, int& value) const
{
    switch (id) {
    case 8: value = MinHeightOnPage; return true;
    case 10: value = Resizable ? 1 : 0; return true;
    case 14: value = Visible ? 1 : 0; return true;
    default: return TRDRectItemInfo::GetExtraIntProperty(id, value);
    }
}

int TRDControlItemInfo::GetRDFExtraPropertyCount() const
{
    return TRDRectItemInfo::GetRDFExtraPropertyCount() + Resizable + (MinHeightOnPage > 0) + !Visible;
}

void TRDControlItemInfo::SaveRDFExtraProperties(TRDStream& stream) const
{
    TRDRectItemInfo::SaveRDFExtraProperties(stream);
    if (MinHeightOnPage > 0)
        RDFWriteExtraIntProperty(stream, 8, MinHeightOnPage);
    if (Resizable)
        RDFWriteExtraIntProperty(stream, 10, 1);
    if (!Visible)
        RDFWriteExtraIntProperty(stream, 14, 0);
}

void TRDControlItemInfo::SaveRDF(TRDStream& stream, TCustomRDData* rdData, int itemNo, int paraNo,
                                 const QByteArray& name, bool forceContinuePara, int) const
{
    const TRDFOptions options = rdData->GetRDFOptions();
    // Without a control there is no body to write.
    const bool body = (options & rdfoSaveControlsBody) && Control;
    const int dataMode = body ? ((options & rdfoSaveBinary) ? 2 : 0) : 1;
    const int propertyCount = GetRDFExtraPropertyCount();
    RDFWriteItemHeader(stream, rdData, StyleNo, propertyCount + (body ? 3 : 1), forceContinuePara ? -1 : paraNo,
                       ForcedOptions(ItemOptions, forceContinuePara), dataMode, Tag, SaveRDFHeaderTail(rdData));
    RDFWriteLine(stream, name);
    if (!body) {
        SaveRDFExtraProperties(stream);
        return;
    }
    RDFWriteLine(stream, StringToAnsiKeepingBytes(ControlClassName(*Control)));
    SaveRDFExtraProperties(stream);
    auto* self = const_cast<TRDControlItemInfo*>(this);
    rdData->DoControlItemAction(TRDControlAction::rdcaBeforeRDFSave, self, itemNo);
    if (dataMode == 2) {
        RDFSaveComponentBinary(stream, *Control);
    } else {
        QByteArray hex;
        RDFSaveComponentHex(*Control, hex);
        RDFWriteLine(stream, hex);
    }
    rdData->DoControlItemAction(TRDControlAction::rdcaAfterRDFSave, self, itemNo);
}

void TRDControlItemInfo::Attach(QWidget* control, TCustomRDData* rdData)
{
    if (control == Control.data())
        return;
    delete Control.data();
    Control = control;
    if (!control)
        return;
    control->hide();
    ParentToHost(*control, rdData);
}

bool TRDControlItemInfo::ReadRDFLine(const QByteArray& line, TCustomRDData* rdData, int dataMode, int lineNo,
                                     int lineCount, QByteArray& name, int& readMode, int& readState)
{
    if (dataMode == 1) {
        if (lineNo == 0) {
            name = line;
            void* supplied = nullptr;
            if (rdData->DoRDFControlNeeded(AnsiToStringKeepingBytes(line), Tag, supplied) && supplied)
                Attach(static_cast<QWidget*>(supplied), rdData);
        } else {
            ReadRDFExtraLine(line);
        }
        return true;
    }
    if (lineNo == 0) {
        name = line;
    } else if (lineNo == lineCount - 1) {
        readState = 2;
        if (!Control) {
            // The record names a class that is not known here: its component cannot be read.
            rdData->SetRDFLoadWarnings(rdData->GetRDFLoadWarnings() | rdfwUnknownControls);
            return rdData->GetRDFOptions() & rdfoIgnoreUnknownCtrls;
        }
        QWidget* control = Control.data();
        Control = nullptr;
        // The control is read as a child of the document's control.
        ParentToHost(*control, rdData);
        QWidget* parent = control->parentWidget();
        const bool read = dataMode == 2 ? RDFLoadComponentBinary(line, control, QString(), parent)
                                        : RDFLoadComponentHex(line, control, QString(), parent);
        Control = control;
        if (!read)
            return false;
        Control->hide();
    } else if (lineNo == 1) {
        const QString className = AnsiToStringKeepingBytes(line);
        if (ControlClassRegistered(className))
            Attach(CreateControlByClassName(className), rdData);
    } else {
        ReadRDFExtraLine(line);
    }
    if (dataMode == 2 && lineNo == lineCount - 2)
        readMode = 1;
    return true;
}

QByteArray TRDControlItemInfo::AsText(int, TCustomRDData* rdData, bool, bool, const QString& path,
                                      const QByteArray&) const
{
    return ComponentText(rdData, Control.data(), path, TRDSaveFormat::rdsfText);
}

QByteArray TRDControlItemInfo::SaveToHTML(TCustomRDData* rdData, const QString& path) const
{
    return ComponentText(rdData, Control.data(), path, TRDSaveFormat::rdsfHTML);
}

QByteArray TRDControlItemInfo::SaveRTF(TCustomRDData* rdData, const QString& path) const
{
    return ComponentText(rdData, Control.data(), path, TRDSaveFormat::rdsfRTF);
}

void TRDControlItemInfo::Paint(TCanvas& canvas, int x, int y, uint16_t state, const TRDStyle* rdStyle) const
{
    if (!Visible)
        return;
    PaintSelectionFrames(canvas.Painter(), x, y, GetImageWidth(), GetImageHeight(), Spacing, state, rdStyle);
}

bool TRDControlItemInfo::PrintToBitmap(QImage& bitmap, int top) const
{
    if (!Visible || !Control)
        return false;
    const QImage picture = DrawControlToBitmap(*Control);
    if (picture.isNull())
        return false;
    if (MinHeightOnPage > 0) {
        QPainter painter(&bitmap);
        painter.drawImage(0, top, picture);
        return true;
    }
    if (bitmap.width() < picture.width() || bitmap.height() < picture.height()) {
        QImage larger(std::max(bitmap.width(), picture.width()), std::max(bitmap.height(), picture.height()),
                      bitmap.isNull() ? QImage::Format_RGB32 : bitmap.format());
        larger.fill(Qt::white);
        if (!bitmap.isNull()) {
            QPainter painter(&larger);
            painter.drawImage(0, 0, bitmap);
        }
        bitmap = larger;
    }
    QPainter painter(&bitmap);
    painter.drawImage((bitmap.width() - picture.width()) / 2, (bitmap.height() - picture.height()) / 2, picture);
    return true;
}

QImage DrawControlToBitmap(QWidget& control)
{
    if (control.width() <= 0 || control.height() <= 0)
        return {};
    QImage image(control.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    control.ensurePolished();
    control.render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    return image;
}
