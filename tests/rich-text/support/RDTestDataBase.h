#pragma once

// The neutral answers of a root document of the tests and benchmarks. A root
// document must answer every slot the base class leaves open or passes up to
// its root (itself); these answer them with no options, no handlers, no
// pictures or controls from the application and nothing saved. A test
// document derives from TTestRDDataBase (or from TTestFormattedDataBase,
// RDTestFormattedDataBase.h) and overrides only what it tests.

#include <memory>

#include <QtCore/QByteArray>
#include <QtCore/QString>

#include "document/CRDData.h"
#include "document/RDDocParams.h"
#include "styles/RDStyle.h"

// TData: TCustomRDData or a class of documents derived from it.
template <typename TData>
class TTestRDDataAnswers : public TData {
public:
    explicit TTestRDDataAnswers(TRDStyle* sheet = nullptr) : Sheet(sheet) { this->CreateItemList(); }

    TRDStyle* Sheet;
    TRDOptions Options = 0;
    TRDFOptions RDFOptions = 0;
    uint8_t Warnings = 0;
    uint16_t ControlFlags = 0;
    int MaxLength = 0;
    TRDFReaderStyleMode TextMode = TRDFReaderStyleMode::rdf_sInsertMerge;
    TRDFReaderStyleMode ParaMode = TRDFReaderStyleMode::rdf_sInsertMerge;
    std::unique_ptr<TRDIntegerList> TextMap, ParaMap, ListMap;
    std::unique_ptr<TRDDocParameters> Params;
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
    int GetMaxLength() override { return MaxLength; }
    TRDStyle* GetRDStyle() override { return Sheet; }
    void* GetPaletteHandle() override { return nullptr; }
    void* GetLogPalette() override { return nullptr; }
    TRDPaletteAction GetDoInPaletteMode() override { return TRDPaletteAction::rdpaDoNothing; }
    TRDBiDiMode GetBiDiMode() override { return TRDBiDiMode::rdbdUnspecified; }
    QByteArray GetDelimiters() override { return Delimiters; }
    void* GetRTFReadProperties() override { return nullptr; }
    QString DoUrlNeeded(int) override { return {}; }
    bool HasProgressHandler() override { return false; }
    void DoProgress(TRDLongOperation, TRDProgressStage, int) override {}

    // Reading: the application supplies no pictures, controls or image lists
    // and leaves hyperlinks as they are read.
    bool DoRDFPictureNeeded(const QString&, const TRDTag&, QImage&) override { return false; }
    bool DoRDFControlNeeded(const QString&, const TRDTag&, void*& control) override
    {
        control = nullptr;
        return false;
    }
    void* DoRDFImageListNeeded(int) override { return nullptr; }
    bool DoImportPicture(const QString&, int, int, QImage&) override { return false; }
    void DoReadHyperlink(const QString&, const QString&, TRDLoadFormat, int&, TRDTag&, QByteArray&) override {}
    void DoControlAction(TRDControlAction, int, void*&) override {}

    // Saving: nothing added to what the document writes by itself.
    bool DoSaveItemToFile(const QString&, TCustomRDData*, int, TRDSaveFormat, bool, QByteArray&) override
    {
        return false;
    }
    bool DoSaveComponentToFile(const QString&, const void*, TRDSaveFormat, QByteArray&) override { return false; }
    void DoSaveRTFExtra(TRDRTFSaveArea, void*, int, int, bool, QByteArray&) override {}
    void DoSaveHTMLExtra(TRDHTMLSaveArea, bool, QByteArray&) override {}
    void DoSaveParaToHTML(TCustomRDData*, int, bool, bool, QByteArray&) override {}
    void DoWriteHyperlink(int, TCustomRDData*, int, TRDSaveFormat, QString&, QString&) override {}
    void DoHTMLSaveImage(TCustomRDData*, int, const QString&, TColor, QString&, bool&) override {}
    void DoSaveImage2(const QImage&, TRDSaveFormat, const QString&, const QString&, int&, QString&, bool&) override {}

    // The style maps of an RDF read and the document parameters are the
    // document's own.
    typename TData::TRDFStyleMapsRef GetRDFStyleMaps() override { return {&TextMap, &ParaMap, &ListMap}; }
    void FreeRDFStyleMaps() override
    {
        TextMap.reset();
        ParaMap.reset();
        ListMap.reset();
    }
    TRDDocParameters* GetDocParameters(bool create) override
    {
        if (!Params && create)
            Params = std::make_unique<TRDDocParameters>();
        return Params.get();
    }
};

class TTestRDDataBase : public TTestRDDataAnswers<TCustomRDData> {
public:
    using TTestRDDataAnswers::TTestRDDataAnswers;
    // The items go while this document still answers for them.
    ~TTestRDDataBase() override { Clear(); }
};
