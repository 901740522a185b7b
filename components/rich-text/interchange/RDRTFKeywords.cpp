#include "interchange/RDRTFKeywords.h"

#include <algorithm>
#include <array>
#include <mutex>

namespace {

constexpr TRDRTFsymbol KwChar(std::string_view k, int32_t code)
{
    return {k, 0, false, rtf_kwd_Char, code, rtf_af_None};
}
constexpr TRDRTFsymbol KwWide(std::string_view k, int32_t utf16, int32_t ansi)
{
    return {k, utf16, false, rtf_kwd_WideChar, ansi, rtf_af_None};
}
constexpr TRDRTFsymbol KwSpec(std::string_view k, TRDRTFSpecial s)
{
    return {k, 0, false, rtf_kwd_Spec, s, rtf_af_None};
}
constexpr TRDRTFsymbol KwDest(std::string_view k, TRDRTFDestination d)
{
    return {k, 0, false, rtf_kwd_Dest, d, rtf_af_None};
}
// A property with a default used when no parameter is given.
constexpr TRDRTFsymbol KwProp(std::string_view k, TRDRTFPropertyId id, int32_t def = 0,
                              TRDRTFAffects affects = rtf_af_None)
{
    return {k, def, false, rtf_kwd_Prop, id, affects};
}
// A property whose value is fixed: the parameter is ignored.
constexpr TRDRTFsymbol KwFixed(std::string_view k, TRDRTFPropertyId id, int32_t value,
                               TRDRTFAffects affects = rtf_af_None)
{
    return {k, value, true, rtf_kwd_Prop, id, affects};
}

constexpr TRDRTFAffects kwCh = rtf_af_CharProp;
constexpr TRDRTFAffects kwPa = rtf_af_ParaProp;

// In no particular order; sorted once on first use.
constexpr std::array<TRDRTFsymbol, RTFKeywordCount> RTFKeywordSource = {{
    // characters
    KwChar("par", 10), KwChar("sect", 10), KwChar("\r", 10), KwChar("\n", 10), KwChar("line", 13),
    KwChar("tab", 9), KwChar("~", 160), KwChar("bullet", 149), KwChar("{", 123), KwChar("}", 125),
    KwChar("\\", 92),
    KwWide("ldblquote", 0x201C, 147), KwWide("rdblquote", 0x201D, 148), KwWide("lquote", 0x2018, 145),
    KwWide("rquote", 0x2019, 146), KwWide("endash", 0x2013, 150), KwWide("emdash", 0x2014, 151),
    KwWide("emspace", 0x2003, 32), KwWide("enspace", 0x2002, 32), KwWide("qmspace", 0x2005, 32),
    KwWide("-", 0x00AD, 173),
    KwSpec("bin", rtf_spec_Bin), KwSpec("'", rtf_spec_Hex), KwSpec("*", rtf_spec_SkipDest),
    // destinations with their own handling
    KwDest("shppict", rdsShpPict), KwDest("nonshppict", rdsNonShpPict), KwDest("pict", rdsPict),
    KwDest("fonttbl", rdsFontTable), KwDest("stylesheet", rdsStyleSheet), KwDest("colortbl", rdsColorTable),
    KwDest("bkmkstart", rdsBmkStart), KwDest("field", rdsField), KwDest("fldinst", rdsFldInst),
    KwDest("fldrslt", rdsFldRslt), KwDest("nesttableprops", rdsNestTableProps), KwDest("header", rdsHeader),
    KwDest("footer", rdsFooter), KwDest("footnote", rdsFootnote), KwDest("pntxta", rdsPNTextAfter),
    KwDest("pntxtb", rdsPNTextBefore), KwDest("pn", rdsPN), KwDest("listtable", rdsListTable),
    KwDest("list", rdsList), KwDest("listname", rdsListName), KwDest("listlevel", rdsListLevel),
    KwDest("leveltext", rdsLevelText), KwDest("levelnumbers", rdsLevelNumbers),
    KwDest("listoverridetable", rdsListOverrideTable), KwDest("listoverride", rdsListOverride),
    KwDest("lfolevel", rdsLFOLevel), KwDest("object", rdsObject), KwDest("objdata", rdsObjData),
    KwDest("result", rdsObjResult),
    // destinations whose group is skipped
    KwDest("author", rdsSkip), KwDest("buptim", rdsSkip), KwDest("comment", rdsSkip),
    KwDest("creatim", rdsSkip), KwDest("doccomm", rdsSkip), KwDest("footerf", rdsSkip),
    KwDest("footerl", rdsSkip), KwDest("footerr", rdsSkip), KwDest("ftncn", rdsSkip),
    KwDest("ftnsep", rdsSkip), KwDest("ftnsepc", rdsSkip), KwDest("headerf", rdsSkip),
    KwDest("headerl", rdsSkip), KwDest("headerr", rdsSkip), KwDest("info", rdsSkip),
    KwDest("keywords", rdsSkip), KwDest("operator", rdsSkip), KwDest("printim", rdsSkip),
    KwDest("private1", rdsSkip), KwDest("revtim", rdsSkip), KwDest("rxe", rdsSkip),
    KwDest("subject", rdsSkip), KwDest("tc", rdsSkip), KwDest("title", rdsSkip), KwDest("txe", rdsSkip),
    KwDest("xe", rdsSkip), KwDest("pntext", rdsSkip), KwDest("listtext", rdsSkip),
    KwDest("nonesttables", rdsSkip),
    // character properties
    KwProp("b", ipropBold, 1, kwCh), KwProp("i", ipropItalic, 1, kwCh), KwProp("strike", ipropStrike, 1, kwCh),
    KwProp("ul", ipropUnderline, 1, kwCh), KwFixed("ulnone", ipropUnderline, 0, kwCh),
    KwProp("ulth", ipropUnderlineType, 1, kwCh), KwProp("uldb", ipropUnderlineType, 2, kwCh),
    KwProp("uld", ipropUnderlineType, 3, kwCh), KwProp("ulthd", ipropUnderlineType, 4, kwCh),
    KwProp("uldash", ipropUnderlineType, 5, kwCh), KwProp("ulthdash", ipropUnderlineType, 6, kwCh),
    KwProp("ulldash", ipropUnderlineType, 7, kwCh), KwProp("ulthldash", ipropUnderlineType, 8, kwCh),
    KwProp("uldashd", ipropUnderlineType, 9, kwCh), KwProp("ulthdashd", ipropUnderlineType, 10, kwCh),
    KwProp("uldashdd", ipropUnderlineType, 11, kwCh), KwProp("ulthdashdd", ipropUnderlineType, 12, kwCh),
    KwProp("ulc", ipropUnderlineColor, 0, kwCh), KwProp("charscalex", ipropCharScaleX, 100, kwCh),
    KwProp("expndtw", ipropCharSpacing, 0, kwCh),
    KwFixed("nosupersub", ipropSScript, 0, kwCh), KwFixed("sub", ipropSScript, 1, kwCh),
    KwFixed("super", ipropSScript, 2, kwCh),
    KwProp("up", ipropVShiftUp, 6, kwCh), KwProp("dn", ipropVShiftDown, 6, kwCh),
    KwProp("caps", ipropAllCaps, 1, kwCh), KwProp("fs", ipropFontSize, 24, kwCh),
    KwProp("cf", ipropTextColor, 0, kwCh), KwProp("chcbpat", ipropTextBackColor, 0, kwCh),
    KwProp("highlight", ipropHighlight, 0, kwCh), KwProp("lang", ipropLanguage, 0, kwCh),
    KwProp("v", ipropHidden, 1, kwCh), KwProp("plain", ipropPlain, 0, kwCh),
    KwProp("f", ipropFont, 0, kwCh), KwProp("af", ipropAFont, 0, kwCh),
    KwProp("fcharset", ipropFontCharset, 0, kwCh),
    KwProp("deflang", ipropDefLanguage), KwProp("deff", ipropDefFont),
    // paragraph properties
    KwProp("sl", ipropSL, 240, kwPa), KwProp("slmult", ipropSLMult, 1, kwPa),
    KwProp("li", ipropLeftInd, 0, kwPa), KwProp("ri", ipropRightInd, 0, kwPa),
    KwProp("fi", ipropFirstInd, 0, kwPa), KwProp("sb", ipropSpaceBefore, 0, kwPa),
    KwProp("sa", ipropSpaceAfter, 0, kwPa),
    KwFixed("ql", ipropJust, 0, kwPa), KwFixed("qr", ipropJust, 1, kwPa), KwFixed("qc", ipropJust, 2, kwPa),
    KwFixed("qj", ipropJust, 3, kwPa),
    KwProp("pard", ipropPard, 0, kwPa),
    KwFixed("keep", ipropKeep, 1, kwPa), KwFixed("keepn", ipropKeepN, 1, kwPa),
    KwProp("cbpat", ipropParaBackColor, 0, kwPa), KwProp("cfpat", ipropParaPatternColor, 0, kwPa),
    KwProp("shading", ipropParaShading, 0, kwPa),
    KwFixed("brdrl", ipropBorderSide, 0, kwPa), KwFixed("brdrt", ipropBorderSide, 1, kwPa),
    KwFixed("brdrr", ipropBorderSide, 2, kwPa), KwFixed("brdrb", ipropBorderSide, 3, kwPa),
    KwFixed("chbrdr", ipropCharBorder, 0),
    KwFixed("brdrnone", ipropBorderType, 0, kwPa), KwFixed("brdrs", ipropBorderType, 1, kwPa),
    KwFixed("brdrth", ipropBorderType, 2, kwPa), KwFixed("brdrsh", ipropBorderType, 3, kwPa),
    KwFixed("brdrdb", ipropBorderType, 4, kwPa), KwFixed("brdrdot", ipropBorderType, 5, kwPa),
    KwFixed("brdrdash", ipropBorderType, 6, kwPa), KwFixed("brdrhair", ipropBorderType, 7, kwPa),
    KwFixed("brdrdashsm", ipropBorderType, 8, kwPa), KwFixed("brdrdashd", ipropBorderType, 9, kwPa),
    KwFixed("brdrdashdd", ipropBorderType, 10, kwPa), KwFixed("brdrtriple", ipropBorderType, 11, kwPa),
    KwFixed("brdrtnthsg", ipropBorderType, 12, kwPa), KwFixed("brdrthtnsg", ipropBorderType, 13, kwPa),
    KwFixed("brdrtnthtnsg", ipropBorderType, 14, kwPa), KwFixed("brdrtnthmg", ipropBorderType, 15, kwPa),
    KwFixed("brdrthtnmg", ipropBorderType, 16, kwPa), KwFixed("brdrtnthtnmg", ipropBorderType, 17, kwPa),
    KwFixed("brdrtnthlg", ipropBorderType, 18, kwPa), KwFixed("brdrthtnlg", ipropBorderType, 19, kwPa),
    KwFixed("brdrtnthtnlg", ipropBorderType, 20, kwPa), KwFixed("brdrwavy", ipropBorderType, 21, kwPa),
    KwFixed("brdrwavydb", ipropBorderType, 22, kwPa), KwFixed("brdrdashdotstr", ipropBorderType, 23, kwPa),
    KwFixed("brdremboss", ipropBorderType, 24, kwPa), KwFixed("brdrengrave", ipropBorderType, 24, kwPa),
    KwFixed("brdrinset", ipropBorderType, 26, kwPa), KwFixed("brdroutset", ipropBorderType, 27, kwPa),
    KwProp("brdrw", ipropBorderWidth, 1, kwPa), KwProp("brdrcf", ipropBorderColor, 0, kwPa),
    KwProp("brsp", ipropBorderSpace, 0, kwPa),
    KwProp("tx", ipropTabPos, 0, kwPa), KwFixed("tqr", ipropTabKind, 1, kwPa),
    KwFixed("tqc", ipropTabKind, 2, kwPa), KwFixed("tqdec", ipropTabKind, 3, kwPa),
    KwFixed("tldot", ipropTabLeader, 1, kwPa), KwFixed("tlmdot", ipropTabLeader, 2, kwPa),
    KwFixed("tlhyph", ipropTabLeader, 3, kwPa), KwFixed("tlul", ipropTabLeader, 4, kwPa),
    KwFixed("tlth", ipropTabLeader, 4, kwPa), KwFixed("tleq", ipropTabLeader, 5, kwPa),
    KwProp("jclisttab", ipropListTab, 0, kwPa),
    KwProp("ls", ipropLS, 1, kwPa), KwProp("ilvl", ipropILvl, 1, kwPa),
    KwProp("intbl", ipropInTbl), KwProp("itap", ipropItap, 1),
    KwProp("absnoovrlp", ipropNoOverlap, 0, kwPa),
    // section
    KwProp("sectd", ipropSectd), KwProp("cols", ipropCols, 1), KwProp("pgnx", ipropPgnX),
    KwProp("pgny", ipropPgnY), KwProp("headery", ipropHeaderY, 720), KwProp("footery", ipropFooterY, 720),
    KwFixed("sbknone", ipropSectBreak, 0), KwFixed("sbkcol", ipropSectBreak, 1),
    KwFixed("sbkeven", ipropSectBreak, 2), KwFixed("sbkodd", ipropSectBreak, 3),
    KwFixed("sbkpage", ipropSectBreak, 4),
    KwFixed("pgndec", ipropPgnFormat, 0), KwFixed("pgnucrm", ipropPgnFormat, 1),
    KwFixed("pgnlcrm", ipropPgnFormat, 2), KwFixed("pgnucltr", ipropPgnFormat, 3),
    KwFixed("pgnlcltr", ipropPgnFormat, 4),
    // document
    KwProp("paperw", ipropPaperWidth, 12240), KwProp("paperh", ipropPaperHeight, 15480),
    KwProp("margl", ipropLeftMargin, 1800), KwProp("margr", ipropRightMargin, 1800),
    KwProp("margt", ipropTopMargin, 1440), KwProp("margb", ipropBottomMargin, 1440),
    KwProp("pgnstart", ipropPgnStart, 1), KwFixed("facingp", ipropFacingPages, 1),
    KwFixed("margmirror", ipropMirrorMargins, 1), KwFixed("landscape", ipropLandscape, 1),
    KwProp("viewscale", ipropViewScale, 100), KwProp("viewzk", ipropViewZoomKind),
    KwProp("ansicpg", ipropAnsiCodePage), KwProp("u", ipropUnicode), KwProp("uc", ipropUnicodeSkip, 1),
    KwProp("page", ipropPage),
    // colour, font and style tables
    KwProp("red", ipropRed), KwProp("green", ipropGreen), KwProp("blue", ipropBlue),
    KwFixed("fnil", ipropFontFamily, 0), KwFixed("froman", ipropFontFamily, 1),
    KwFixed("fswiss", ipropFontFamily, 2), KwFixed("fmodern", ipropFontFamily, 3),
    KwFixed("fscript", ipropFontFamily, 4), KwFixed("fdecor", ipropFontFamily, 5),
    KwFixed("ftech", ipropFontFamily, 6), KwFixed("fbidi", ipropFontFamily, 7),
    KwProp("s", ipropStyleNo), KwProp("cs", ipropCharStyleNo), KwProp("ds", ipropSectStyleNo),
    KwProp("sbasedon", ipropStyleBasedOn), KwProp("snext", ipropStyleNext),
    KwProp("additive", ipropStyleAdditive), KwProp("shidden", ipropStyleHidden),
    // pictures
    KwProp("picw", ipropPicW), KwProp("pich", ipropPicH), KwProp("picscalex", ipropPicScaleX, 100),
    KwProp("picscaley", ipropPicScaleY, 100), KwProp("picwgoal", ipropPicWGoal),
    KwProp("pichgoal", ipropPicHGoal), KwProp("wbmwidthbytes", ipropWBMWidthBytes),
    KwProp("wbmbitspixel", ipropWBMBitsPixel, 1), KwProp("wbmplanes", ipropWBMPlanes, 1),
    KwFixed("emfblip", ipropPicType, 0), KwFixed("pngblip", ipropPicType, 1),
    KwFixed("jpegblip", ipropPicType, 2), KwFixed("macpict", ipropPicType, 3),
    KwFixed("pmmetafile", ipropPicType, 4), KwFixed("dibitmap", ipropPicType, 6),
    KwFixed("wbitmap", ipropPicType, 7), KwProp("wmetafile", ipropMetafile, 1),
    KwProp("picbmp", ipropPicBmp, 1),
    // objects
    KwFixed("objemb", ipropObjType, 0), KwFixed("objlink", ipropObjType, 1),
    KwFixed("objautlink", ipropObjType, 2), KwFixed("objsub", ipropObjType, 3),
    KwFixed("objpub", ipropObjType, 4), KwFixed("objicemb", ipropObjType, 5),
    KwFixed("objhtml", ipropObjType, 6), KwFixed("objocx", ipropObjType, 7),
    KwProp("objw", ipropObjWidth), KwProp("objh", ipropObjHeight),
    // old-style numbering ("pnuld" is present twice, with the same values)
    KwProp("pnlvl", ipropPNLevel, 1), KwFixed("pnlvlbody", ipropPNLevel, 10),
    KwFixed("pnlvlblt", ipropPNLevel, 11), KwProp("pnhang", ipropPNHang, 1),
    KwFixed("pndec", ipropPNType, 1), KwFixed("pnlcltr", ipropPNType, 2), KwFixed("pnucltr", ipropPNType, 3),
    KwFixed("pnlcrm", ipropPNType, 4), KwFixed("pnucrm", ipropPNType, 5),
    KwProp("pnb", ipropPNBold, 1), KwProp("pni", ipropPNItalic, 1),
    KwProp("pnul", ipropPNUnderline, 1), KwProp("pnuld", ipropPNUnderline, 1),
    KwProp("pnuldb", ipropPNUnderline, 1), KwProp("pnuldash", ipropPNUnderline, 1),
    KwProp("pnuldashd", ipropPNUnderline, 1), KwProp("pnuldashdd", ipropPNUnderline, 1),
    KwProp("pnulhair", ipropPNUnderline, 1), KwProp("pnulth", ipropPNUnderline, 1),
    KwProp("pnulwave", ipropPNUnderline, 1), KwProp("pnulw", ipropPNUnderline, 1),
    KwProp("pnuld", ipropPNUnderline, 1), KwFixed("pnulnone", ipropPNUnderline, 0),
    KwProp("pnstrike", ipropPNStrike, 1), KwProp("pncf", ipropPNColor), KwProp("pnf", ipropPNFont),
    KwProp("pnfs", ipropPNFontSize), KwProp("pnindent", ipropPNIndent), KwProp("pnsp", ipropPNSpace),
    KwFixed("pnql", ipropPNAlign, 0), KwFixed("pnqr", ipropPNAlign, 1), KwFixed("pnqc", ipropPNAlign, 2),
    KwProp("pnstart", ipropPNStart, 1), KwProp("pnseclvl", ipropPNSecLvl, 1),
    // list table
    KwProp("listid", ipropListId), KwProp("listsimple", ipropListSimple, 1),
    KwProp("levelstartat", ipropLevelStartAt, 1), KwProp("levelnfc", ipropLevelNumberType),
    KwProp("leveljc", ipropLevelJustify), KwProp("levelold", ipropLevelOld, 1),
    KwProp("levelindent", ipropLevelIndent), KwProp("levelspace", ipropLevelSpace),
    KwProp("levelfollow", ipropLevelFollow), KwProp("levellegal", ipropLevelLegal, 1),
    KwProp("levelnorestart", ipropLevelNoRestart, 1), KwProp("listoverridecount", ipropLOCount),
    KwProp("listoverridestartat", ipropLOStart, 1),
    // notes
    KwProp("ftnalt", ipropFtnAlt), KwProp("chftn", ipropNoteChar),
    // table rows and cells
    KwProp("trowd", ipropRowDefaults), KwFixed("row", ipropRowEnd, 0), KwFixed("nestrow", ipropRowEnd, 1),
    KwFixed("cell", ipropCellEnd, 0), KwFixed("nestcell", ipropCellEnd, 1), KwFixed("lastrow", ipropLastRow, 0),
    KwFixed("trql", ipropRowAlign, 0), KwFixed("trqr", ipropRowAlign, 1), KwFixed("trqc", ipropRowAlign, 2),
    KwProp("trgaph", ipropRowGap), KwProp("trleft", ipropRowLeft), KwProp("trrh", ipropRowHeight),
    KwProp("trhdr", ipropRowHeader, 1),
    KwProp("trpaddl", ipropRowPadL), KwProp("trpaddr", ipropRowPadR), KwProp("trpaddt", ipropRowPadT),
    KwProp("trpaddb", ipropRowPadB), KwProp("trpaddfl", ipropRowPadFL), KwProp("trpaddfr", ipropRowPadFR),
    KwProp("trpaddft", ipropRowPadFT), KwProp("trpaddfb", ipropRowPadFB),
    KwProp("trspdl", ipropRowSpcL), KwProp("trspdr", ipropRowSpcR), KwProp("trspdt", ipropRowSpcT),
    KwProp("trspdb", ipropRowSpcB), KwProp("trspdfl", ipropRowSpcFL), KwProp("trspdfr", ipropRowSpcFR),
    KwProp("trspdft", ipropRowSpcFT), KwProp("trspdfb", ipropRowSpcFB),
    KwProp("trwWidth", ipropRowWidth), KwProp("trftsWidth", ipropRowWidthUnits),
    KwFixed("clvmgf", ipropCellVMerge, 1), KwFixed("clvmrg", ipropCellVMerge, 2),
    KwFixed("clmgf", ipropCellHMerge, 1), KwFixed("clmrg", ipropCellHMerge, 2),
    KwProp("clwWidth", ipropCellWidth), KwProp("clftsWidth", ipropCellWidthUnits),
    KwProp("clcbpat", ipropCellColor), KwProp("clcbpatraw", ipropCellColor),
    KwProp("clcfpat", ipropCellPatternColor), KwProp("clshdng", ipropCellShading),
    KwFixed("clvertalt", ipropCellVertAlign, 0), KwFixed("clvertalb", ipropCellVertAlign, 1),
    KwFixed("clvertalc", ipropCellVertAlign, 2),
    KwProp("cellx", ipropCellX), KwProp("richdoctbw", ipropRichDocTableWidth),
    KwProp("richdoccbw", ipropRichDocCellWidth), KwProp("richdoccbh", ipropRichDocCellHeight),
    KwFixed("trbrdrl", ipropRowBorderSide, 0, kwPa), KwFixed("trbrdrt", ipropRowBorderSide, 1, kwPa),
    KwFixed("trbrdrr", ipropRowBorderSide, 2, kwPa), KwFixed("trbrdrb", ipropRowBorderSide, 3, kwPa),
    KwFixed("clbrdrl", ipropCellBorderSide, 0, kwPa), KwFixed("clbrdrt", ipropCellBorderSide, 1, kwPa),
    KwFixed("clbrdrr", ipropCellBorderSide, 2, kwPa), KwFixed("clbrdrb", ipropCellBorderSide, 3, kwPa),
}};

// std::string_view compares byte-wise: an ordinal, case-sensitive order.
const std::array<TRDRTFsymbol, RTFKeywordCount>& SortedRTFKeywords()
{
    // Built once, under the initialisation lock of the local static.
    static const std::array<TRDRTFsymbol, RTFKeywordCount> sorted = [] {
        auto table = RTFKeywordSource;
        std::stable_sort(table.begin(), table.end(),
                         [](const TRDRTFsymbol& a, const TRDRTFsymbol& b) { return a.Keyword < b.Keyword; });
        return table;
    }();
    return sorted;
}

}  // namespace

void SortRTFKeywordsOnce()
{
    (void)SortedRTFKeywords();
}

int FindRTFKeyword(std::string_view keyword)
{
    const auto& table = SortedRTFKeywords();
    int lo = 0;
    int hi = RTFKeywordCount - 1;
    while (hi - lo > 1) {
        const int mid = lo + (hi - lo) / 2;
        const int c = table[static_cast<size_t>(mid)].Keyword.compare(keyword);
        if (c == 0)
            return mid;
        if (c < 0)
            lo = mid;
        else
            hi = mid;
    }
    if (table[static_cast<size_t>(lo)].Keyword == keyword)
        return lo;
    if (hi != lo && table[static_cast<size_t>(hi)].Keyword == keyword)
        return hi;
    return -1;
}

const TRDRTFsymbol& RTFKeyword(int index)
{
    return SortedRTFKeywords().at(static_cast<size_t>(index));
}
