#pragma once

// Text, break and tab items.

#include <QtCore/QRect>

#include "document/CRDData.h"
#include "document/RDItem.h"

class TCanvas;

// Item draw state bits read by these items.
constexpr uint16_t rdisSelected = 1 << 0;
constexpr uint16_t rdisCurrent = 1 << 1;
constexpr uint16_t rdisHover = 1 << 2;
constexpr uint16_t rdisControlFocused = 1 << 6;
constexpr uint16_t rdisStylePixelsPerInch = 1 << 7;
constexpr uint16_t rdisSpecialCharacters = 1 << 9;

// HTML save options read by the items.
constexpr int rdhsCSS = 1 << 7;
constexpr int rdhsUTF8 = 0x4000;

// A sunken frame of rounds one-pixel rings: top and left in topLeft, bottom
// and right in bottomRight.
void DrawSunkenFrame(TCanvas& canvas, QRect rect, TColor topLeft, TColor bottomRight, int rounds);
// The arrow of a tab shown as a special character.
void DrawTabArrow(TCanvas& canvas, const QRect& rect, bool rightToLeft);

class TRDTextItemInfo : public TCustomRDItemInfo {
public:
    using TCustomRDItemInfo::TCustomRDItemInfo;
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* rdData) const override { return new TRDTextItemInfo(rdData); }
    bool GetBoolValueEx(int id, const TRDStyle* rdStyle) const override;
    // An optional space and a quoted hint.
    bool ReadRDFHeaderTail(const char*& p, TCustomRDData* rdData) override;
    void MarkStylesInUse(TRDStyleUsage& usage) const override;
    void UpdateStyles(const TRDStyleMaps& maps) override;
};

enum class TRDBreakLook : uint8_t { blLine, blRectangle, bl3D, blDotted, blDashed };

class TRDBreakItemInfo : public TRDFullLineItemInfo {
public:
    using TRDFullLineItemInfo::TRDFullLineItemInfo;
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* rdData) const override { return new TRDBreakItemInfo(rdData); }
    uint8_t LineWidth = 0;
    TColor Color = 0;
    uint8_t BreakStyle = 0;

    bool GetBoolValueEx(int id, const TRDStyle* rdStyle) const override;
    void AssignProperties(const TCustomRDItemInfo& source) override;
    QByteArray SaveRDFHeaderTail(TCustomRDData* rdData) const override;
    bool ReadRDFHeaderTail(const char*& p, TCustomRDData* rdData) override;
    void SaveRDF(TRDStream& stream, TCustomRDData* rdData, int itemNo, int paraNo, const QByteArray& name,
                 bool forceContinuePara, int partCode) const override;
    QByteArray AsText(int lineWidth, TCustomRDData* rdData, bool unicode, bool textOnly, const QString& path,
                      const QByteArray& name) const override;

    // The line across left..right below top, and its selection frame.
    void PaintFullLine(int left, int right, int top, TRDStyle* rdStyle, uint16_t state, TCanvas& canvas,
                       TCustomRDData* rdData) const override;
    // On paper: sizes scaled to the device, colours in the colour mode.
    void Print(TCanvas& canvas, int left, int right, int top, TRDStyle* rdStyle, const TRDResolutionInfo* info,
               int colorMode) const;
    // An hr element; saveOptions are the HTML export's.
    QByteArray SaveToHTML(TRDStyle* rdStyle, int saveOptions, bool css) const;
    // colors: the export's colour table; level: the table nesting level.
    QByteArray SaveRTF(double twipsPerPixel, const TRDColorList& colors, int level) const;
    void FillRTFTables(TRDColorList& colors) const;

    // The item slots.
    void Print(TCanvas& canvas, int x, int y, TRDStyle* rdStyle, TCustomRDData* rdData,
               const TRDItemPrintInfo& info) const override;
    QByteArray SaveToHTML(TCustomRDData* rdData, int itemNo, TRDHTMLImageContext& context) const override;
    QByteArray SaveRTF(TCustomRDData* rdData, int itemNo, TRDRTFExportContext& context) const override;
    void FillRTFTables(TRDColorList& colors, TRDIntegerList* listOverrides, TCustomRDData* rdData) const override
    {
        FillRTFTables(colors);
    }

private:
    TColor LineColor(TRDStyle* rdStyle) const;
};

class TRDTabItemInfo : public TRDRectItemInfo {
public:
    using TRDRectItemInfo::TRDRectItemInfo;
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* rdData) const override { return new TRDTabItemInfo(rdData); }
    int32_t TextStyleNo = 0;
    QString Leader;

    int GetActualTextStyleNo(const TRDStyle* rdStyle) const;
    int GetAssociatedTextStyleNo() const override { return TextStyleNo; }
    void SetAssociatedTextStyleNo(int value) override { TextStyleNo = value; }
    bool GetBoolValue(int id) const override;
    bool GetBoolValueEx(int id, const TRDStyle* rdStyle) const override;
    void AssignProperties(const TCustomRDItemInfo& source) override;
    QByteArray SaveRDFHeaderTail(TCustomRDData* rdData) const override;
    bool ReadRDFHeaderTail(const char*& p, TCustomRDData* rdData) override;
    void SaveRDF(TRDStream& stream, TCustomRDData* rdData, int itemNo, int paraNo, const QByteArray& name,
                 bool forceContinuePara, int partCode) const override;
    QByteArray AsText(int lineWidth, TCustomRDData* rdData, bool unicode, bool textOnly, const QString& path,
                      const QByteArray& name) const override;
    void MarkStylesInUse(TRDStyleUsage& usage) const override;
    void UpdateStyles(const TRDStyleMaps& maps) override;
    // Width 0, the font's height and descent; the layout sets the width.
    void OnDocWidthChange(int docWidth, TRDDrawLineInfo* drawItem, bool printing, TCanvas* canvas,
                          TCustomRDData* rdData,
                          const TRDResolutionInfo* scaling, int& extra, int& descent) override;

    // Draws the tab in rect: background, lines of the style, the arrow
    // when special characters are shown, and the leader.
    void PaintTab(TCanvas& canvas, const QRect& rect, TRDStyle* rdStyle, uint16_t state, bool printing,
                  bool useFontPixelsPerInch, int colorMode, bool rightToLeft) const;
    QByteArray SaveToHTML(TRDStyle* rdStyle) const;
    QByteArray SaveRTF() const { return QByteArrayLiteral("\\tab "); }

    // The item slots: the rectangle is the draw item's.
    void Paint(TCanvas& canvas, int x, int y, int baseline, uint16_t state, const TRDStyle* rdStyle,
               const TRDDrawLineInfo* drawItem, TCustomRDData* rdData) const override;
    void Print(TCanvas& canvas, int x, int y, TRDStyle* rdStyle, TCustomRDData* rdData,
               const TRDItemPrintInfo& info) const override;
    QByteArray SaveToHTML(TCustomRDData* rdData, int itemNo, TRDHTMLImageContext& context) const override
    {
        return SaveToHTML(rdData ? rdData->GetRDStyle() : nullptr);
    }
    QByteArray SaveRTF(TCustomRDData*, int, TRDRTFExportContext&) const override { return SaveRTF(); }
};
