#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QtCore/QByteArray>
#include <QtCore/QString>

#include "core/RDUnicode.h"
#include "interchange/RDRTFProps.h"

class QIODevice;
class TGraphic;

// Where a delivered run of text stands.
enum TRDRTFPosition : uint8_t { rtf_ts_ContinuePara, rtf_ts_NewLine, rtf_ts_NewPara };
enum TRDRTFTableEventKind : uint8_t {
    rdf_tbl_TableStart, rdf_tbl_TableEnd, rdf_tbl_TableForcedEnd, rdf_tbl_RowEnd, rdf_tbl_CellEnd
};
enum TRDRTFProgressStage : uint8_t { rdprtfprStarting, rdprtfprRunning, rdprtfprEnding };
enum TRDRTFSeqType : uint8_t {
    rtf_seqDecimal, rtf_seqLowerAlpha, rtf_seqUpperAlpha, rtf_seqLowerRoman, rtf_seqUpperRoman
};

// Picture and object data above this size is refused (code 10), and so are
// included picture files above it.
constexpr int64_t RTFMaxPictureBytes = 64 * 1024 * 1024;
// Display sizes outside 1..this fall back to the graphic's own.
constexpr int RTFMaxPictureDisplaySize = 32767;

// One "\pict" group.
struct TRDRTFPicture {
    int PictKind = 0;  // 0 EMF, 1 PNG, 2 JPEG, 3 Mac PICT, 4 OS/2 metafile, 5 WMF, 6 DIB, 7 DDB
    int MapMode = 0;
    int SourceWidth = 0, SourceHeight = 0;
    int GoalWidth = 0, GoalHeight = 0;  // twips
    int ScaleX = 100, ScaleY = 100;
    int RowBytes = 0, BitsPerPixel = 1, PlaneCount = 1;
    bool HasBitmap = false;
    bool FromShape = false;
    QByteArray PictData;
    int64_t WritePos = 0;
    // Set when the graphic is made; 0 when not given or out of range.
    int PixelWidth = 0, PixelHeight = 0;

    // False once the data would exceed RTFMaxPictureBytes.
    bool Write(const char* data, int64_t count);
};

// The size a picture is shown at: its computed size (or the graphic's own)
// scaled by its percentages; a result outside 1..RTFMaxPictureDisplaySize
// gives the graphic's own size.
int RTFPictureDisplayWidth(const TRDRTFPicture& picture, int graphicWidth);
int RTFPictureDisplayHeight(const TRDRTFPicture& picture, int graphicHeight);

// One "\object" group.
struct TRDRTFObject {
    int ObjKind = 0;
    QByteArray ObjData;
    int ObjWidth = 0, ObjHeight = 0;
};

// Decodes picture bytes of a kind into a graphic, as the reader does; throws
// std::runtime_error for data that does not decode ("Invalid metafile" for a
// bad metafile header). Kinds without a graphic give nullptr.
std::unique_ptr<TGraphic> RTFMakePictureGraphic(TRDRTFPicture& picture, int pixelsPerInch, bool extractBitmaps);
// The one bitmap a metafile (EMF or WMF bytes) only wraps, or nullptr.
std::unique_ptr<TGraphic> RTFExtractMetafileBitmap(const QByteArray& metafile, bool enhanced);
// A graphic from the bytes of a picture file, or nullptr.
std::unique_ptr<TGraphic> RTFGraphicFromFileBytes(const QByteArray& bytes);

// Where the characters of the current group go.
enum TRDRTFDestState : uint8_t {
    rds_Norm, rds_Skip, rds_FontTable, rds_StyleSheet, rds_ColorTable, rds_StyleSheetEntry, rds_Picture,
    rds_ShpPict, rds_Object, rds_ObjData, rds_BmkStart, rds_Field, rds_FldInst, rds_PN, rds_PNTextAfter,
    rds_PNTextBefore, rds_PNSecLvl, rds_ListTable, rds_List, rds_ListLevel, rds_ListName, rds_LevelText,
    rds_LevelNumbers, rds_ListOverrideTable, rds_ListOverride, rds_ListOverrideLevel
};

enum TRDRTFInputMode : uint8_t { rim_Normal, rim_Binary, rim_Hex };

// What one open group holds; "{" saves a copy, "}" gives it back.
struct TRDRTFReaderState {
    TRDRTFFormatState Format;
    bool InNote = false;
    TRDRTFDestState Destination = rds_Norm;
    TRDRTFInputMode InputMode = rim_Normal;
    QByteArray FieldInstruction;
    bool SkipFieldResult = false;
    int HeaderFooter = 0;
    // Not given back by "}".
    QByteArray BookmarkName;

    // The group copy.
    void Assign(const TRDRTFReaderState& source);
};

// Result codes of TRDRTFReader::Read.
enum TRDRTFResult : uint8_t {
    rtf_ec_OK = 0, rtf_ec_StackUnderflow = 1, rtf_ec_StackOverflow = 2, rtf_ec_UnmatchedBrace = 3,
    rtf_ec_InvalidHex = 4, rtf_ec_BadTable = 5, rtf_ec_Assertion = 6, rtf_ec_EndOfFile = 7,
    rtf_ec_Exception = 9, rtf_ec_InvalidPicture = 10, rtf_ec_Aborted = 11
};

// More open groups than this end the read with rtf_ec_StackOverflow: each
// "{" copies the whole formatting state.
constexpr int RTFMaxGroupDepth = 512;

// Reads an RTF stream and reports what it finds through its events; it builds
// no document itself.
class TRDRTFReader {
public:
    TRDRTFReader();
    ~TRDRTFReader();
    TRDRTFReader(const TRDRTFReader&) = delete;
    TRDRTFReader& operator=(const TRDRTFReader&) = delete;

    // From the device's current position to its end.
    uint8_t Read(QIODevice& stream);

    TRDCodePage DefCodePage = 0;
    bool SeparateTabs = false;
    QString BasePath;

    std::function<void(TRDRTFReader&, const QByteArray&, TRDRTFPosition)> OnNewText;
    std::function<void(TRDRTFReader&, const QString&, TRDRTFPosition)> OnNewUnicodeText;
    std::function<void(TRDRTFReader&, TRDRTFTableEventKind, bool& processed)> OnTable;
    std::function<void(TRDRTFReader&)> OnRequiredPageBreak;
    std::function<void(TRDRTFReader&, const QByteArray&)> OnBookmarkStart;
    std::function<void(TRDRTFReader&, TRDRTFProgressStage, uint8_t)> OnProgress;
    std::function<void(TRDRTFReader&)> OnEndParsing;
    // picture is nullptr for an included picture; the handler takes graphic
    // (moves it out) when it sets inserted.
    std::function<void(TRDRTFReader&, TRDRTFPicture* picture, std::unique_ptr<TGraphic>& graphic, TRDRTFPosition,
                       const QString& fileName, bool& inserted)>
        OnNewPicture;
    std::function<void(TRDRTFReader&, TRDRTFObject&, TRDRTFPosition, bool& inserted)> OnNewObject;
    std::function<void(TRDRTFReader&, TRDRTFPosition, const QByteArray& seqName, TRDRTFSeqType, bool reset,
                       int startFrom)>
        OnNewSeq;
    std::function<void(TRDRTFReader&, const QString& location, std::unique_ptr<TGraphic>& graphic, bool& invalid)>
        OnImportPicture;

    bool ExtractMetafileBitmaps = true;
    int PixelsPerInch = 0;

    // What handlers may read while an event fires.
    TRDRTFReaderState State;
    TRDRTFDocTables Tables;
    TRDCodePage CodePage = 0;
    int TableLevel = 0;

    void SetConvertHighlight(TRDRTFHighlight mode) { Tables.ConvertHighlight = mode; }

private:
    void Reset();
    bool GetChar(uint8_t& c);
    void UngetChar() { FPushedBack = true; }
    bool AtEnd() const;
    uint8_t Parse();
    uint8_t ParseKeyword();
    uint8_t DoKeyword(const QByteArray& keyword, int32_t param, bool hasParam);
    uint8_t PushGroup();
    uint8_t PopGroup();
    uint8_t ChangeDestination(TRDRTFDestination dest);
    uint8_t EndDestination(TRDRTFDestState closing);
    uint8_t SetProperty(TRDRTFPropertyId id, int32_t value);
    uint8_t PutChar(uint8_t c);
    uint8_t PutTextChar(uint8_t c, bool allowClose, bool sync);
    uint8_t FlushText(TRDRTFPosition next);
    uint8_t PutUnicodeChar(char16_t unit);
    void PutUnicodeInto(char16_t unit);
    uint8_t SetHidden(bool hidden);
    void SyncTableLevel(bool allowClose);
    bool DoTable(TRDRTFTableEventKind kind);
    bool Refill();
    uint8_t ReadBinary(uint8_t first);
    uint8_t ReadPictureHex(uint8_t first);
    uint8_t EndPicture();
    uint8_t EndObjectData();
    uint8_t EndFieldInstruction();
    uint8_t EndField();
    uint8_t DoIncludePicture(const QByteArray& instruction);
    uint8_t DoSymbol(const QByteArray& instruction);
    uint8_t DoSeq(const QByteArray& instruction);
    std::unique_ptr<TGraphic> LoadIncludedPicture(const QByteArray& name, bool& invalid);
    std::unique_ptr<TGraphic> LoadPictureFile(const QByteArray& name);
    uint8_t DeliverPicture(TRDRTFPicture* picture, std::unique_ptr<TGraphic>& graphic, const QString& fileName,
                           bool& inserted);

    QIODevice* FStream = nullptr;
    int64_t FSize = 0;
    QByteArray FBuffer;
    int FBufPos = 0;
    uint8_t FLastChar = 0;
    bool FPushedBack = false;
    bool FReportProgress = false;

    std::vector<std::unique_ptr<TRDRTFReaderState>> FSaved;
    int FDepth = 0;
    QByteArray FPendingAnsi;
    QString FPendingUnicode;
    TRDRTFPosition FPendingPosition = rtf_ts_NewPara;
    int FSkipCount = 0;
    int FUnicodeSkip = 1;
    int64_t FBinCount = 0;
    bool FSkipDestMark = false;
    bool FHiddenChanging = false;
    int FHexNibbles = 0;
    uint8_t FHexByte = 0;
    bool FEnded = false;

    std::unique_ptr<TRDRTFPicture> FPicture;
    std::unique_ptr<TRDRTFObject> FObject;
    bool FShpPictInserted = false;
    bool FObjectInserted = false;
    bool FIncludedPictureDone = false;
    std::unique_ptr<TGraphic> FIncludedGraphic;
    QByteArray FEnclosingInstruction;
    bool FObjHexHigh = true;
    uint8_t FObjHexByte = 0;
};
