#pragma once

// Inline pictures: a picture owning its graphic, the same as a hypertext
// jump, an image-list picture (bullet) and an image-list jump that shows
// another image under the mouse (hotspot).

#include <memory>
#include <vector>

#include "ImageList.h"
#include "Pictures.h"
#include "document/RDItem.h"

class QPainter;
class TCanvas;

// RTF options read by pictures (bit positions of the document's RTF options).
constexpr TRDRTFOptions rdrtfSaveEMFAsWMF = 1u << 2;
constexpr TRDRTFOptions rdrtfSaveJpegAsJpeg = 1u << 3;
constexpr TRDRTFOptions rdrtfSaveEMFDefault = 1u << 4;
constexpr TRDRTFOptions rdrtfSaveBitmapDefault = 1u << 5;
constexpr TRDRTFOptions rdrtfSavePicturesBinary = 1u << 6;
constexpr TRDRTFOptions rdrtfPNGInsteadOfBitmap = 1u << 7;

// HTML save options read by pictures.
constexpr int rdhsBorderZero = 0x20;
constexpr int rdhsImageSizes = 0x40;
constexpr int rdhsUseItemImageFileNames = 0x1000;
constexpr int rdhsXHTML = 0x2000;

class TRDGraphicItemInfo : public TRDRectItemInfo {
public:
    explicit TRDGraphicItemInfo(TCustomRDData* rdData = nullptr);
    // Takes graphic over.
    TRDGraphicItemInfo(TCustomRDData* rdData, std::unique_ptr<TGraphic> graphic, TRDItemVAlign vAlign);
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* rdData) const override
    {
        return new TRDGraphicItemInfo(rdData);
    }

    std::unique_ptr<TRDAnimator> Animator;
    bool Resizable = true;
    std::unique_ptr<TGraphic> Image;
    // Painted instead of Image when present. Without palettes none is made.
    std::unique_ptr<TGraphic> DisplayCopy;
    int32_t ImageWidth = 0;
    int32_t ImageHeight = 0;
    int32_t Interval = 0;
    bool NoHTMLSize = false;
    QString Alt;
    QString FileName;

    TGraphic* GetGraphic() const override { return Image.get(); }
    int GetImageWidth(const TRDStyle* = nullptr) const override;
    int GetImageHeight(const TRDStyle* = nullptr) const override;
    int GetWidthEx() const override { return GetImageWidth() + 2 * Spacing; }
    int GetHeightEx() const override { return GetImageHeight() + 2 * Spacing; }
    int GetMinWidth(const TRDResolutionInfo* scaling, TCanvas* canvas = nullptr,
                    TCustomRDData* rdData = nullptr) const override;
    bool GetBoolValue(int id) const override;
    bool GetBoolValueEx(int id, const TRDStyle* rdStyle) const override;
    std::unique_ptr<TRDDrawLineInfo> CreatePrintDrawItem(TCustomRDData* rdData,
                                                         const TRDResolutionInfo* scaling) override;
    void AssignProperties(const TCustomRDItemInfo& source) override;
    void UpdatePaletteInfo(TRDPaletteAction action, bool forceRecreate) override;
    void UpdateAnimator(TCustomRDData* rdData) override;
    void TakeAnimatorFrom(TCustomRDItemInfo* source, TCustomRDData* rdData) override;
    void MovingToUndoList(int itemNo, TCustomRDData* rdData, TRDUndoInfo* undoInfo) override;

    bool SetExtraIntProperty(int id, int value) override;
    bool GetExtraIntProperty(int id, int& value) const override;
    bool SetExtraStrProperty(int id, const QString& value) override;
    bool GetExtraStrProperty(int id, QString& value) const override;
    int GetRDFExtraPropertyCount() const override;
    void SaveRDFExtraProperties(TRDStream& stream) const override;
    void SaveRDF(TRDStream& stream, TCustomRDData* rdData, int itemNo, int paraNo, const QByteArray& name,
                 bool forceContinuePara, int partCode) const override;
    bool ReadRDFLine(const QByteArray& line, TCustomRDData* rdData, int dataMode, int lineNo, int lineCount,
                     QByteArray& name, int& readMode, int& readState) override;
    QByteArray AsText(int lineWidth, TCustomRDData* rdData, bool unicode, bool textOnly, const QString& path,
                      const QByteArray& name) const override;

    // x, y: the item's top left corner, spacing included.
    void Paint(TCanvas& canvas, int x, int y, uint16_t state, const TRDStyle* rdStyle) const;
    // Draws the picture into a bitmap prepared at the printed size; top is
    // minus the offset of a page part.
    bool PrintToBitmap(QImage& bitmap, bool preview, int top) const;
    QByteArray SaveToHTML(TCustomRDData* rdData, int itemNo, TRDHTMLImageContext& context) const override;
    QByteArray SaveRTF(TCustomRDData* rdData, double twipsPerPixel) const;

    // The item slots: x, y leave the spacing out.
    void Paint(TCanvas& canvas, int x, int y, int baseline, uint16_t state, const TRDStyle* rdStyle,
               const TRDDrawLineInfo* drawItem, TCustomRDData* rdData) const override
    {
        Paint(canvas, x - Spacing, y - Spacing, state, rdStyle);
    }
    bool PrintToBitmap(QImage& bitmap, bool preview, TCustomRDData* rdData,
                       const TRDItemPrintInfo& info) const override;
    QByteArray SaveRTF(TCustomRDData* rdData, int, TRDRTFExportContext& context) const override
    {
        return SaveRTF(rdData, context.TwipsPerPixel);
    }

protected:
    QByteArray HtmlAttrs(TCustomRDData* rdData, const TRDHTMLImageContext& context) const;
};

class TRDHotGraphicItemInfo : public TRDGraphicItemInfo {
public:
    using TRDGraphicItemInfo::TRDGraphicItemInfo;
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* rdData) const override
    {
        return new TRDHotGraphicItemInfo(rdData);
    }
    bool GetBoolValueEx(int id, const TRDStyle* rdStyle) const override;
    void Execute(TCustomRDData* rdData) override;
};

class TRDBulletItemInfo : public TRDRectItemInfo {
public:
    using TRDRectItemInfo::TRDRectItemInfo;
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* rdData) const override
    {
        return new TRDBulletItemInfo(rdData);
    }

    // Not owned.
    TImageList* ImageList = nullptr;
    int32_t ImageIndex = 0;
    bool NoHTMLSize = false;
    QString Alt;

    virtual int GetImageIndex(bool hot) const { return ImageIndex; }
    int GetImageWidth(const TRDStyle* = nullptr) const override { return ImageList ? ImageList->Width : 0; }
    int GetImageHeight(const TRDStyle* = nullptr) const override { return ImageList ? ImageList->Height : 0; }
    int GetWidthEx() const override { return GetImageWidth() + 2 * Spacing; }
    int GetHeightEx() const override { return GetImageHeight() + 2 * Spacing; }
    int GetMinWidth(const TRDResolutionInfo* scaling, TCanvas* canvas = nullptr,
                    TCustomRDData* rdData = nullptr) const override;
    bool GetBoolValue(int id) const override;
    bool GetBoolValueEx(int id, const TRDStyle* rdStyle) const override;
    void AssignProperties(const TCustomRDItemInfo& source) override;
    bool SetExtraIntProperty(int id, int value) override;
    bool GetExtraIntProperty(int id, int& value) const override;
    bool SetExtraStrProperty(int id, const QString& value) override;
    bool GetExtraStrProperty(int id, QString& value) const override;
    int GetRDFExtraPropertyCount() const override;
    void SaveRDFExtraProperties(TRDStream& stream) const override;
    QByteArray SaveRDFHeaderTail(TCustomRDData* rdData) const override;
    bool ReadRDFHeaderTail(const char*& p, TCustomRDData* rdData) override;
    void SaveRDF(TRDStream& stream, TCustomRDData* rdData, int itemNo, int paraNo, const QByteArray& name,
                 bool forceContinuePara, int partCode) const override;
    bool ReadRDFLine(const QByteArray& line, TCustomRDData* rdData, int dataMode, int lineNo, int lineCount,
                     QByteArray& name, int& readMode, int& readState) override;

    void Paint(TCanvas& canvas, int x, int y, uint16_t state, const TRDStyle* rdStyle) const;
    bool PrintToBitmap(QImage& bitmap) const;
    QByteArray SaveToHTML(TCustomRDData* rdData, int itemNo, TRDHTMLImageContext& context) const override;
    QByteArray SaveRTF(TCustomRDData* rdData) const;

    // The item slots: x, y leave the spacing out.
    void Paint(TCanvas& canvas, int x, int y, int baseline, uint16_t state, const TRDStyle* rdStyle,
               const TRDDrawLineInfo* drawItem, TCustomRDData* rdData) const override
    {
        Paint(canvas, x - Spacing, y - Spacing, state, rdStyle);
    }
    bool PrintToBitmap(QImage& bitmap, bool, TCustomRDData*, const TRDItemPrintInfo&) const override
    {
        return PrintToBitmap(bitmap);
    }
    QByteArray SaveRTF(TCustomRDData* rdData, int, TRDRTFExportContext&) const override { return SaveRTF(rdData); }

protected:
    // Checks an index read from RDF against the list.
    bool CheckReadIndex(int32_t& index, TCustomRDData* rdData) const;
};

class TRDHotspotItemInfo : public TRDBulletItemInfo {
public:
    using TRDBulletItemInfo::TRDBulletItemInfo;
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* rdData) const override
    {
        return new TRDHotspotItemInfo(rdData);
    }
    int32_t HoverImageIndex = 0;

    int GetImageIndex(bool hot) const override { return hot ? HoverImageIndex : ImageIndex; }
    bool GetBoolValueEx(int id, const TRDStyle* rdStyle) const override;
    void AssignProperties(const TCustomRDItemInfo& source) override;
    QByteArray SaveRDFHeaderTail(TCustomRDData* rdData) const override;
    bool ReadRDFHeaderTail(const char*& p, TCustomRDData* rdData) override;
    void Execute(TCustomRDData* rdData) override;
};

// Picture RTF: "{\pict ...}" for graphic, stretched to the sizes when positive.
QByteArray SavePictureToRTF(const TGraphic* graphic, int stretchWidth, const TRDAnimator* animator,
                            TRDRTFOptions options, int stretchHeight, double twipsPerPixel);
// Image index of list as RTF; nothing for an index outside the list.
QByteArray SaveImageListImageToRTF(const TImageList* list, int index, TRDRTFOptions options);
// The location of a picture file holding the image (or the graphic) on
// backColor, written once per export for the same image and colour.
QString SaveBulletImageForHTML(const TImageList* list, int index, const TGraphic* graphic,
                               TRDHTMLImageContext& context, TCustomRDData* rdData);

// The item options an item header stores: bits 0 to 3; forced to continue
// the paragraph: bit 0 set, bits 1 and 2 cleared.
uint8_t ForcedOptions(uint8_t options, bool forceContinuePara);
// A decimal number of a record line, as the class library converts it
// (leading blanks allowed); false when the line is not one.
bool ReadRecordDecimal(const QByteArray& line, int32_t& value);
// A 1-pixel frame of color around the rectangle.
void FrameItem(QPainter& painter, TColor color, int x, int y, int w, int h);
// The frames of a selected item (on its rectangle, spacing included) and of
// the current item (one pixel outside) in the sheet's colours.
void PaintSelectionFrames(QPainter& painter, int x, int y, int w, int h, int spacing, uint16_t state,
                          const TRDStyle* rdStyle);
