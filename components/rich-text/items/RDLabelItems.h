#pragma once

// Labels (a piece of text shown as one item in a text style of its own) and
// numbered sequence fields (entries of the sequence list of a document tree).

#include <memory>
#include <vector>

#include <QtCore/QString>

#include "document/RDItem.h"
#include "document/RDSeqLists.h"

class TCanvas;

class TRDLabelItemInfo : public TRDRectItemInfo {
public:
    explicit TRDLabelItemInfo(TCustomRDData* rdData = nullptr);
    TRDLabelItemInfo(TCustomRDData* rdData, const QString& text, int textStyleNo);
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* rdData) const override { return new TRDLabelItemInfo(rdData); }

    // Cached measure of the text (Width at least MinWidth); valid while Measured.
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Descent = 0;
    // 0 left, 1 right, 2 centre.
    uint8_t Alignment = 0;
    bool UseStylePPI = false;
    // The document whose style sheet the label uses (not owned).
    TCustomRDData* Document = nullptr;
    QString Text;
    int32_t TextStyleNo = 0;
    bool ProtectTextStyleNo = false;
    bool Measured = false;
    int16_t Cursor = 0;

    int32_t MinWidth() const { return FMinWidth; }
    // A different value drops the cached measure.
    void SetMinWidth(int32_t value);

    virtual void SetDocument(TCustomRDData* rdData) { Document = rdData; }
    virtual QString GetDisplayText(TCustomRDData* rdData, const TRDDrawLineInfo* drawItem) const { return Text; }
    virtual QString GetPrintText(TCustomRDData* rdData) const { return Text; }
    // Draws text in rect in the label's style; state holds the item draw state bits.
    void DrawLabelText(const QRect& rect, TCanvas& canvas, const QString& text, TRDStyle* rdStyle,
                       uint16_t state) const;
    // Measures the text on the screen when not measured yet.
    void MeasureLabel() const;
    int GetTextWidthOn(TCanvas& canvas, TCustomRDData* rdData) const;

    int GetAssociatedTextStyleNo() const override { return TextStyleNo; }
    void SetAssociatedTextStyleNo(int value) override { TextStyleNo = value; }
    int GetMinWidth(const TRDResolutionInfo* scaling, TCanvas* canvas = nullptr,
                    TCustomRDData* rdData = nullptr) const override;
    int GetWidthEx() const override;
    int GetHeightEx() const override;
    bool GetBoolValue(int id) const override;
    bool GetBoolValueEx(int id, const TRDStyle* rdStyle) const override;
    void Inserted(TCustomRDData* rdData, int itemNo) override;
    void MovingToUndoList(int itemNo, TCustomRDData* rdData, TRDUndoInfo* undoInfo) override;
    void MovingFromUndoList(int itemNo, TCustomRDData* rdData) override;
    bool MouseMove(int x, int y, int itemNo, TCustomRDData* rdData) override;
    void AfterLoading(TRDLoadFormat) override { Measured = false; }
    void ApplyStyleConversionDefault(TCustomRDData* rdData, int itemNo, int userData) override;
    void MarkStylesInUse(TRDStyleUsage& usage) const override;
    void UpdateStyles(const TRDStyleMaps& maps) override;
    void AssignProperties(const TCustomRDItemInfo& source) override;
    QByteArray SaveToHTML(TCustomRDData* rdData, int itemNo, TRDHTMLImageContext& context) const override;
    QByteArray SaveRTF(TCustomRDData* rdData, int itemNo, TRDRTFExportContext& context) const override;
    QByteArray AsText(int lineWidth, TCustomRDData* rdData, bool unicode, bool textOnly, const QString& path,
                      const QByteArray& name) const override;
    void Paint(TCanvas& canvas, int x, int y, int baseline, uint16_t state, const TRDStyle* rdStyle,
               const TRDDrawLineInfo* drawItem, TCustomRDData* rdData) const override;
    void Print(TCanvas& canvas, int x, int y, TRDStyle* rdStyle, TCustomRDData* rdData,
               const TRDItemPrintInfo& info) const override;
    void OnDocWidthChange(int docWidth, TRDDrawLineInfo* drawItem, bool printing, TCanvas* canvas,
                          TCustomRDData* rdData, const TRDResolutionInfo* scaling, int& extra,
                          int& descent) override;
    void SaveRDF(TRDStream& stream, TCustomRDData* rdData, int itemNo, int paraNo, const QByteArray& name,
                 bool forceContinuePara, int partCode) const override;
    bool ReadRDFLine(const QByteArray& line, TCustomRDData* rdData, int dataMode, int lineNo, int lineCount,
                     QByteArray& name, int& readMode, int& readState) override;
    void Execute(TCustomRDData* rdData) override;

protected:
    // The label's four lines of an RDF record: text style, minimum width,
    // alignment and protection.
    void WriteLabelLines(TRDStream& stream) const;
    // Line k (0 to 3) of those four; false for a number that does not read.
    bool ReadLabelLine(int k, const QByteArray& line);

private:
    int32_t FMinWidth = 0;
};

class TRDSeqItemInfo : public TRDLabelItemInfo, public TRDSeqListEntry {
public:
    TRDSeqListEntry* AsSeqListEntry() override { return this; }
    explicit TRDSeqItemInfo(TCustomRDData* rdData = nullptr);
    TRDSeqItemInfo(TCustomRDData* rdData, const QString& seqName, TRDSeqType numberType, int textStyleNo,
                   int startFrom, bool reset);
    static std::unique_ptr<TRDSeqItemInfo> CreateEx(TCustomRDData* rdData, const QString& seqName,
                                                    TRDSeqType numberType, int textStyleNo, int startFrom, bool reset)
    {
        return std::make_unique<TRDSeqItemInfo>(rdData, seqName, numberType, textStyleNo, startFrom, reset);
    }
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* rdData) const override { return new TRDSeqItemInfo(rdData); }

    TRDSeqType NumberType = TRDSeqType::rdseqDecimal;
    QString FormatString;

    virtual TRDSeqType GetNumberType() const { return NumberType; }
    virtual void SetNumberType(TRDSeqType value) { NumberType = value; }
    // The number in the item's numbering type, put into FormatString when
    // there is one; a format the formatter refuses shows itself.
    QString GetNumberText(int number) const;
    void UpdateText() override;

    void AssignProperties(const TCustomRDItemInfo& source) override;
    void MovingToUndoList(int itemNo, TCustomRDData* rdData, TRDUndoInfo* undoInfo) override;
    void MovingFromUndoList(int itemNo, TCustomRDData* rdData) override;
    QByteArray SaveRTF(TCustomRDData* rdData, int itemNo, TRDRTFExportContext& context) const override;
    void SaveRDF(TRDStream& stream, TCustomRDData* rdData, int itemNo, int paraNo, const QByteArray& name,
                 bool forceContinuePara, int partCode) const override;
    bool ReadRDFLine(const QByteArray& line, TCustomRDData* rdData, int dataMode, int lineNo, int lineCount,
                     QByteArray& name, int& readMode, int& readState) override;
};
