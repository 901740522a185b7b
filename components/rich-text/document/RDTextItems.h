#pragma once

// Text, break and tab items.

#include "RDItem.h"

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
};
