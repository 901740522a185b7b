#pragma once

// Controls placed inline in a document: the item owns its widget, gives it
// the document's control as parent, moves it where the layout placed the
// item, stores it as a component in RDF (or asks the application for it
// when the record holds none) and paints it into a picture for printing.

#include <QtCore/QPointer>
#include <QtGui/QImage>
#include <QtWidgets/QWidget>

#include "document/RDItem.h"

class TCanvas;

class TRDControlItemInfo : public TRDRectItemInfo {
public:
    explicit TRDControlItemInfo(TCustomRDData* rdData = nullptr);
    // Takes control over.
    TRDControlItemInfo(TCustomRDData* rdData, QWidget* control, TRDItemVAlign vAlign);
    ~TRDControlItemInfo() override;
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* rdData) const override
    {
        return new TRDControlItemInfo(rdData);
    }

    bool Resizable = false;
    // When false the control is kept hidden and nothing of it is painted or printed.
    bool Visible = true;
    // Owned: freed with the item (unless a parent widget freed it first).
    QPointer<QWidget> Control;
    // 1..100: the control's width is that part of the document width, less
    // the spacing on both sides; other values: the control keeps its width.
    int32_t PercentWidth = 0;

    int GetImageWidth(const TRDStyle* = nullptr) const override { return Control ? Control->width() : 0; }
    int GetImageHeight(const TRDStyle* = nullptr) const override { return Control ? Control->height() : 0; }
    int GetWidthEx() const override { return GetImageWidth() + 2 * Spacing; }
    int GetHeightEx() const override { return GetImageHeight() + 2 * Spacing; }
    int GetMinWidth(const TRDResolutionInfo* scaling, TCanvas* canvas = nullptr,
                    TCustomRDData* rdData = nullptr) const override;
    bool GetBoolValue(int id) const override;
    bool GetBoolValueEx(int id, const TRDStyle* rdStyle) const override;
    bool OwnsControl(const void* control) const override { return control && control == Control.data(); }
    bool GetHeldControl(void*& control) const override
    {
        control = Control.data();
        return true;
    }
    void Focusing() override;
    void Inserting(TCustomRDData* rdData, QByteArray& text, bool detached) override;
    void SetPosition(int left, int top, bool updateTop) override;
    void OnDocWidthChange(int docWidth, TRDDrawLineInfo* drawItem, bool printing, TCanvas* canvas,
                          TCustomRDData* rdData, const TRDResolutionInfo* scaling, int& extra,
                          int& descent) override;
    void MovingToUndoList(int itemNo, TCustomRDData* rdData, TRDUndoInfo* undoInfo) override;
    void MovingFromUndoList(int itemNo, TCustomRDData* rdData) override;
    std::unique_ptr<TRDDrawLineInfo> CreatePrintDrawItem(TCustomRDData* rdData,
                                                         const TRDResolutionInfo* scaling) override;
    void AssignProperties(const TCustomRDItemInfo& source) override;

    bool SetExtraIntProperty(int id, int value) override;
    bool GetExtraIntProperty(int id, int& value) const override;
    int GetRDFExtraPropertyCount() const override;
    void SaveRDFExtraProperties(TRDStream& stream) const override;
    void SaveRDF(TRDStream& stream, TCustomRDData* rdData, int itemNo, int paraNo, const QByteArray& name,
                 bool forceContinuePara, int partCode) const override;
    bool ReadRDFLine(const QByteArray& line, TCustomRDData* rdData, int dataMode, int lineNo, int lineCount,
                     QByteArray& name, int& readMode, int& readState) override;
    // What the application gives for the control in plain text.
    QByteArray AsText(int lineWidth, TCustomRDData* rdData, bool unicode, bool textOnly, const QString& path,
                      const QByteArray& name) const override;

    // The item kinds' own forms below stand beside the base's virtual ones.
    using TRDRectItemInfo::Paint;
    using TRDRectItemInfo::PrintToBitmap;
    using TRDRectItemInfo::SaveRTF;
    using TRDRectItemInfo::SaveToHTML;
    // x, y: the item's top left corner, spacing included. The control paints
    // itself; this draws the selection and current-item frames.
    void Paint(TCanvas& canvas, int x, int y, uint16_t state, const TRDStyle* rdStyle) const;
    // Draws the control's picture into a bitmap prepared at the printed size;
    // top is minus the offset of a page part. False when there is nothing to print.
    bool PrintToBitmap(QImage& bitmap, int top) const;
    // What the application gives for the control in HTML and RTF.
    QByteArray SaveToHTML(TCustomRDData* rdData, const QString& path) const;
    QByteArray SaveRTF(TCustomRDData* rdData, const QString& path) const;

private:
    void Attach(QWidget* control, TCustomRDData* rdData);
};

// A picture of the control's size with the control (and its children at
// their offsets) painted into it at (0, 0); a null image without a size.
QImage DrawControlToBitmap(QWidget& control);
