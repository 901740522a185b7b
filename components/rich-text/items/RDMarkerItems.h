#pragma once

// List markers: the item that opens a numbered or bulleted paragraph (an
// entry of the document's marker list), measuring and drawing of markers, and
// their RDF, RTF, HTML and plain-text forms.

#include <memory>
#include <vector>

#include "document/RDItem.h"
#include "document/RDMarkerLists.h"
#include "styles/RDListStyles.h"

class TCanvas;
struct TRDHTMLImageContext;

// The HTML export option that writes list markers as text.
constexpr int rdhsListMarkersAsText = 0x200;

// The RTF option that writes Unicode text with an ANSI alternative.
constexpr TRDRTFOptions rdrtfDuplicateUnicode = 1u << 1;

// Colour modes of drawing (as ColorByColorMode takes them).
constexpr int rdcmScreen = 0;

class TRDMarkerItemInfo : public TRDRectItemInfo, public TRDMarkerListEntry {
public:
    TRDMarkerListEntry* AsMarkerListEntry() override { return this; }
    // A marker of list 0, level 0, not restarting.
    explicit TRDMarkerItemInfo(TCustomRDData* rdData = nullptr);
    // A marker of list style listNo and level level; reset restarts counting at startFrom.
    TRDMarkerItemInfo(TCustomRDData* rdData, int listNo, int level, int startFrom, bool reset);
    static std::unique_ptr<TRDMarkerItemInfo> CreateEx(TCustomRDData* rdData, int listNo, int level, int startFrom,
                                                      bool reset)
    {
        return std::make_unique<TRDMarkerItemInfo>(rdData, listNo, level, startFrom, reset);
    }
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* rdData) const override
    {
        return new TRDMarkerItemInfo(rdData);
    }

    // Measured by the layout.
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Descent = 0;
    int32_t LeftShift = 0;
    bool NoHtmlSize = false;

    int GetMinWidth(const TRDResolutionInfo* scaling, TCanvas* canvas = nullptr,
                    TCustomRDData* rdData = nullptr) const override;
    bool GetBoolValue(int id) const override;
    bool GetBoolValueEx(int id, const TRDStyle* rdStyle) const override;
    int GetImageWidth(const TRDStyle* rdStyle) const override;
    int GetImageHeight(const TRDStyle* rdStyle) const override;
    void OnDocWidthChange(int docWidth, TRDDrawLineInfo* drawItem, bool printing, TCanvas* canvas,
                          TCustomRDData* rdData, const TRDResolutionInfo* scaling, int& extra,
                          int& descent) override;
    int GetHeightEx() const override { return Height; }
    int GetWidthEx() const override { return Width; }
    int GetLeftShift() const override { return LeftShift; }

    QByteArray SaveRDFHeaderTail(TCustomRDData* rdData) const override;
    bool ReadRDFHeaderTail(const char*& p, TCustomRDData* rdData) override;
    int GetRDFExtraPropertyCount() const override;
    void SaveRDFExtraProperties(TRDStream& stream) const override;
    void AssignProperties(const TCustomRDItemInfo& source) override;
    void SaveRDF(TRDStream& stream, TCustomRDData* rdData, int itemNo, int paraNo, const QByteArray& name,
                 bool forceContinuePara, int partCode) const override;
    QByteArray AsText(int lineWidth, TCustomRDData* rdData, bool unicode, bool textOnly, const QString& path,
                      const QByteArray& name) const override;
    void MovingToUndoList(int itemNo, TCustomRDData* rdData, TRDUndoInfo* undoInfo) override;
    void MovingFromUndoList(int itemNo, TCustomRDData* rdData) override;
    void MarkStylesInUse(TRDStyleUsage& usage) const override;
    void UpdateStyles(const TRDStyleMaps& maps) override;
    // Renumbers ListNo by the list-style map (new = old + 1 - map[old]).
    void UpdateListStyle(const TRDIntegerList& listMap);
    bool SetExtraIntProperty(int id, int value) override;
    bool GetExtraIntProperty(int id, int& value) const override;

    // The marker's size, its minimum width (the part right of the marker
    // position, at least the room up to the text), and for the layout the
    // draw item's width, the shift and the inner x offset.
    struct TMeasure {
        int Width = 0;
        int Height = 0;
        int Descent = 0;
        int MinWidth = 0;
        int LeftShift = 0;
        int InnerX = 0;
        int DrawWidth = 0;
    };
    TMeasure MeasureMarker(const TRDStyle* rdStyle, TRDBiDiMode bidi, const TRDResolutionInfo* scaling,
                           const QPaintDevice* device) const;
    void DrawMarker(int x, int y, TCanvas& canvas, const TRDStyle* rdStyle, const TRDDrawLineInfo* drawItem,
                    int colorMode) const;
    // The marker's own forms below stand beside the base's virtual ones.
    using TRDRectItemInfo::FillRTFTables;
    using TRDRectItemInfo::Paint;
    using TRDRectItemInfo::PrintToBitmap;
    using TRDRectItemInfo::SaveRTF;
    void Paint(TCanvas& canvas, int x, int y, const TRDStyle* rdStyle, const TRDDrawLineInfo* drawItem) const
    {
        DrawMarker(x, y, canvas, rdStyle, drawItem, rdcmScreen);
    }
    bool PrintToBitmap(QImage& bitmap, const TRDStyle* rdStyle, int colorMode) const;

    // Output of other formats.
    // listOverrides: list override number per list style; restartOverrides:
    // the numbers of restarting lists, advanced by each restarting marker.
    QByteArray SaveRTF(TCustomRDData* rdData, const TRDColorList& colors, const TRDRTFFontTable& fonts,
                       const TRDIntegerList& listOverrides, TRDIntegerList& restartOverrides) const;
    void FillRTFTables(TRDIntegerList& restartCounts, TCustomRDData* rdData) const;
    QByteArray SaveToHTML(TCustomRDData* rdData, int itemNo, TRDHTMLImageContext& context) const override;
    // The style attribute of the HTML list item that the marker opens.
    QByteArray GetHTMLItemStyle(TCustomRDData* rdData, int itemNo, TRDHTMLImageContext& context) const;
    QByteArray WriteHTMLListLevels(int fromLevel, bool useCSS, const TRDStyle* rdStyle, int toLevel) const;
    QByteArray WriteHTMLListsAfter(const TRDMarkerItemInfo* prevMarker, bool useCSS, const TRDStyle* rdStyle) const;

    void Inserting(TCustomRDData* rdData, QByteArray& text, bool detached) override;

private:
    QString MarkerText(const TRDListLevel& level) const;
    const TRDStyle* Sheet() const;

    // The document the marker was made for or placed in.
    TCustomRDData* FRDData = nullptr;
};

// A level's marker font (the default one when it has none) and picture graphic (nil when none).
const TRDMarkerFont& LevelFont(const TRDListLevel& level);
const TGraphic* LevelGraphic(const TRDListLevel& level);
// A marker text in the Symbol font as plain text.
QByteArray SymbolMarkerToText(const QByteArray& s);
// The character HTML shows for byte b of a marker in the Wingdings font.
char16_t WingdingsBulletToUnicode(uint8_t b);


