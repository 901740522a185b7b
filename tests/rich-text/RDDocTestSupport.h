#pragma once

// A style sheet and a root document of the tests' own.

#include <deque>
#include <memory>

#include "document/CRDData.h"
#include "document/RDDocParams.h"
#include "styles/RDStyle.h"

class TTestStyleSheet : public TRDStyle {
public:
    TTestStyleSheet()
    {
        SpacesInTab = 8;
        ParaStyles().Add()->StyleName = QStringLiteral("Third");
    }
};

class TTestRDData : public TCustomRDData {
public:
    explicit TTestRDData(TRDStyle* sheet = nullptr) : Sheet(sheet) { CreateItemList(); }
    ~TTestRDData() override { Clear(); }

    TRDStyle* Sheet;
    TRDOptions Options = 0;
    TRDFOptions RDFOptions = 0;
    uint8_t Warnings = 0;
    uint16_t ControlFlags = rdcfMainDocument;
    TRDFReaderStyleMode TextMode = TRDFReaderStyleMode::rdf_sInsertMerge;
    TRDFReaderStyleMode ParaMode = TRDFReaderStyleMode::rdf_sInsertMerge;
    std::unique_ptr<TRDIntegerList> TextMap, ParaMap, ListMap;
    std::unique_ptr<TRDDocParameters> Params;
    QStringList Properties;
    QByteArray Delimiters = " .;,:(){}\"/\\<>!?[]";

    bool GetWordWrap() override { return true; }
    TRDOptions GetOptions() override { return Options; }
    void SetOptions(TRDOptions v) override { Options = v; }
    TRDFOptions GetRDFOptions() override { return RDFOptions; }
    void SetRDFOptions(TRDFOptions v) override { RDFOptions = v; }
    TRDRTFOptions GetRTFOptions() override { return 0; }
    void SetRTFOptions(TRDRTFOptions) override {}
    uint8_t GetRDFLoadWarnings() override { return Warnings; }
    void SetRDFLoadWarnings(uint8_t v) override { Warnings = v; }
    TRDFReaderStyleMode GetRDFTextStylesReadMode() override { return TextMode; }
    TRDFReaderStyleMode GetRDFParaStylesReadMode() override { return ParaMode; }
    uint16_t GetControlFlags() override { return ControlFlags; }
    void SetControlFlags(uint16_t v) override { ControlFlags = v; }
    int GetMaxLength() override { return 0; }
    TRDStyle* GetRDStyle() override { return Sheet; }
    void* GetPaletteHandle() override { return nullptr; }
    void* GetLogPalette() override { return nullptr; }
    TRDPaletteAction GetDoInPaletteMode() override { return TRDPaletteAction::rdpaDoNothing; }
    TRDBiDiMode GetBiDiMode() override { return TRDBiDiMode::rdbdUnspecified; }
    bool DoSaveItemToFile(const QString&, TCustomRDData*, int, TRDSaveFormat, bool, QByteArray&) override
    {
        return false;
    }
    bool DoSaveComponentToFile(const QString&, const void*, TRDSaveFormat, QByteArray&) override { return false; }
    QString DoUrlNeeded(int) override { return {}; }
    QByteArray GetDelimiters() override { return Delimiters; }
    void DoControlAction(TRDControlAction, int, void*&) override {}
    void DoSaveImage2(const QImage&, TRDSaveFormat, const QString&, const QString&, int&, QString&, bool&) override {}
    TRDFStyleMapsRef GetRDFStyleMaps() override { return {&TextMap, &ParaMap, &ListMap}; }
    void FreeRDFStyleMaps() override
    {
        TextMap.reset();
        ParaMap.reset();
        ListMap.reset();
    }
    TRDSeqList* GetSeqList(bool) override { return nullptr; }
    TRDMarkerList* GetMarkerList(bool) override { return nullptr; }
    TRDDocParameters* GetDocParameters(bool create) override
    {
        if (!Params && create)
            Params = std::make_unique<TRDDocParameters>();
        return Params.get();
    }
    QStringList* GetDocProperties() override { return &Properties; }
    QString ShownHint;
    void ShowItemHint(const QString& hint) override { ShownHint = hint; }
};

// A document inside item ParentItemNo of Parent, at a place inside it.
class TTestLocation : public TRDLocation {
public:
    explicit TTestLocation(int place) : Place(place) {}
    int Place;
    int Compare(const TRDLocation& other) const override
    {
        return Place - static_cast<const TTestLocation&>(other).Place;
    }
};

class TTestSubData : public TTestRDData {
public:
    TTestSubData(TCustomRDData* parent, int parentItemNo, int place)
        : TTestRDData(parent->GetRDStyle()), Parent(parent), ParentItemNo(parentItemNo), Place(place)
    {
    }
    TCustomRDData* Parent;
    int ParentItemNo;
    int Place;
    TCustomRDData* GetParentData() override { return Parent; }
    TCustomRDData* GetAbsoluteParentData() override { return Parent; }
    void GetParentInfo(int& parentItemNo, std::unique_ptr<TRDLocation>& location) override
    {
        parentItemNo = ParentItemNo;
        location = std::make_unique<TTestLocation>(Place);
    }
};

// A document with a selection.
class TTestSelectionData : public TTestRDData {
public:
    using TTestRDData::TTestRDData;
    TRDSaveRange Selection;
    void GetSaveRange(int scope, TRDSaveRange& range) override
    {
        if (scope == 1)
            range = Selection;
        else
            TTestRDData::GetSaveRange(scope, range);
    }
};
