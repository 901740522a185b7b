#pragma once

#include <cstdint>
#include <string_view>

// The RTF control words the reader knows. Every control word read is looked up
// here; a word missing from the table is unknown (ignored, or after "\*" its
// group is skipped).

// What a keyword is.
enum TRDRTFKind : uint8_t {
    rtf_kwd_Char = 0,      // a character; Target is its code
    rtf_kwd_WideChar = 1,  // a Unicode character; DefValue is UTF-16, Target the ANSI code
    rtf_kwd_Dest = 2,      // a destination; Target is a TRDRTFDestination
    rtf_kwd_Prop = 3,      // a property; Target is a TRDRTFPropertyId
    rtf_kwd_Spec = 4       // special: Target 0 "\bin", 1 "\'", 2 "\*"
};

// Which formatting a property keyword changes. A character property ends the
// pending text run before it is applied in document text.
enum TRDRTFAffects : uint8_t { rtf_af_None = 0, rtf_af_CharProp = 1, rtf_af_ParaProp = 2 };

enum TRDRTFSpecial : int32_t { rtf_spec_Bin = 0, rtf_spec_Hex = 1, rtf_spec_SkipDest = 2 };

enum TRDRTFDestination : int32_t {
    rdsNorm, rdsSkip, rdsShpPict, rdsNonShpPict, rdsPict, rdsFontTable, rdsStyleSheet, rdsColorTable,
    rdsBmkStart, rdsField, rdsFldInst, rdsFldRslt, rdsNestTableProps, rdsHeader, rdsFooter, rdsFootnote,
    rdsPNTextAfter, rdsPNTextBefore, rdsPN, rdsListTable, rdsList, rdsListName, rdsListLevel,
    rdsLevelText, rdsLevelNumbers, rdsListOverrideTable, rdsListOverride, rdsLFOLevel, rdsObject,
    rdsObjData, rdsObjResult
};

// One id per target; keywords that set one target with different fixed
// values share it.
enum TRDRTFPropertyId : int32_t {
    // character
    ipropBold, ipropItalic, ipropStrike, ipropUnderline, ipropUnderlineType, ipropUnderlineColor,
    ipropCharScaleX, ipropCharSpacing, ipropSScript, ipropVShiftUp, ipropVShiftDown, ipropAllCaps,
    ipropFontSize, ipropTextColor, ipropTextBackColor, ipropHighlight, ipropLanguage, ipropHidden,
    ipropPlain, ipropFont, ipropAFont, ipropFontCharset, ipropDefLanguage, ipropDefFont,
    // paragraph
    ipropSL, ipropSLMult, ipropLeftInd, ipropRightInd, ipropFirstInd, ipropSpaceBefore, ipropSpaceAfter,
    ipropJust, ipropPard, ipropKeep, ipropKeepN, ipropParaBackColor, ipropParaPatternColor,
    ipropParaShading, ipropBorderSide, ipropCharBorder, ipropBorderType, ipropBorderWidth,
    ipropBorderColor, ipropBorderSpace, ipropTabPos, ipropTabKind, ipropTabLeader, ipropListTab,
    ipropLS, ipropILvl, ipropInTbl, ipropItap, ipropNoOverlap,
    // section and document
    ipropSectd, ipropCols, ipropPgnX, ipropPgnY, ipropHeaderY, ipropFooterY, ipropSectBreak,
    ipropPgnFormat, ipropPaperWidth, ipropPaperHeight, ipropLeftMargin, ipropRightMargin,
    ipropTopMargin, ipropBottomMargin, ipropPgnStart, ipropFacingPages, ipropMirrorMargins,
    ipropLandscape, ipropViewScale, ipropViewZoomKind, ipropAnsiCodePage, ipropUnicode,
    ipropUnicodeSkip, ipropPage,
    // tables of the document
    ipropRed, ipropGreen, ipropBlue, ipropFontFamily, ipropStyleNo, ipropCharStyleNo, ipropSectStyleNo,
    ipropStyleBasedOn, ipropStyleNext, ipropStyleAdditive, ipropStyleHidden,
    // pictures and objects
    ipropPicW, ipropPicH, ipropPicScaleX, ipropPicScaleY, ipropPicWGoal, ipropPicHGoal,
    ipropWBMWidthBytes, ipropWBMBitsPixel, ipropWBMPlanes, ipropPicType, ipropMetafile, ipropPicBmp,
    ipropObjType, ipropObjWidth, ipropObjHeight,
    // old-style numbering
    ipropPNLevel, ipropPNHang, ipropPNType, ipropPNBold, ipropPNItalic, ipropPNUnderline, ipropPNStrike,
    ipropPNColor, ipropPNFont, ipropPNFontSize, ipropPNIndent, ipropPNSpace, ipropPNAlign, ipropPNStart,
    ipropPNSecLvl,
    // list table
    ipropListId, ipropListSimple, ipropLevelStartAt, ipropLevelNumberType, ipropLevelJustify,
    ipropLevelOld, ipropLevelIndent, ipropLevelSpace, ipropLevelFollow, ipropLevelLegal,
    ipropLevelNoRestart, ipropLOCount, ipropLOStart,
    // notes
    ipropFtnAlt, ipropNoteChar,
    // table rows and cells
    ipropRowDefaults, ipropRowEnd, ipropCellEnd, ipropLastRow, ipropRowAlign, ipropRowGap, ipropRowLeft,
    ipropRowHeight, ipropRowHeader, ipropRowPadL, ipropRowPadR, ipropRowPadT, ipropRowPadB,
    ipropRowPadFL, ipropRowPadFR, ipropRowPadFT, ipropRowPadFB, ipropRowSpcL, ipropRowSpcR,
    ipropRowSpcT, ipropRowSpcB, ipropRowSpcFL, ipropRowSpcFR, ipropRowSpcFT, ipropRowSpcFB,
    ipropRowWidth, ipropRowWidthUnits, ipropCellVMerge, ipropCellHMerge, ipropCellWidth,
    ipropCellWidthUnits, ipropCellColor, ipropCellPatternColor, ipropCellShading, ipropCellVertAlign,
    ipropCellX, ipropRichDocTableWidth, ipropRichDocCellWidth, ipropRichDocCellHeight,
    ipropRowBorderSide, ipropCellBorderSide,
    ipropCount
};

struct TRDRTFsymbol {
    std::string_view Keyword;  // without the backslash, case-sensitive
    int32_t DefValue;          // used when the keyword has no parameter (or always, see UseDef)
    bool UseDef;               // the parameter in the input is ignored
    TRDRTFKind Kind;
    int32_t Target;
    TRDRTFAffects Affects;
};

constexpr int RTFKeywordCount = 372;

// Sorts the table by keyword the first time it is called in the process;
// safe to call from several threads at once.
void SortRTFKeywordsOnce();

// The index of the keyword's entry in the sorted table, or -1. Sorts the
// table first when no one has.
int FindRTFKeyword(std::string_view keyword);

// The entry at an index FindRTFKeyword gave (0 <= index < RTFKeywordCount).
const TRDRTFsymbol& RTFKeyword(int index);
