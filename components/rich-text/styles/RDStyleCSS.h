#pragma once

#include "core/RDLists.h"
#include "styles/RDStyle.h"

// CSS declarations of a text style (with a base: only what differs), each
// " name: value;", ended by CR LF when multiline.
void SaveCSSToStream(const TCustomRDFontInfo& style, TRDStream& stream, const TCustomRDFontInfo* base, bool multiline,
                     bool utf8Names);
void SaveCSSToStream(const TCustomRDParaInfo& style, TRDStream& stream, const TCustomRDParaInfo* base, bool multiline,
                     bool omitLeftAlignment, bool omitLeftIndents);

// Options of the whole sheet's CSS.
constexpr int rdcssUseBaseStyles = 1;
constexpr int rdcssOmitLeftAlignment = 2;
constexpr int rdcssNoDefaults = 4;
constexpr int rdcssUtf8Names = 8;
constexpr int rdcssSkipTextStyle0 = 16;
void SaveCSSToStream(const TRDStyle& sheet, TRDStream& stream, int options);

// The RTF character formatting of a text style. style0 is text style 0 of
// the style's collection (nullptr when it is in none).
void SaveRTFToStream(const TCustomRDFontInfo& style, TRDStream& stream, int styleNo, double twipsPerPixel,
                     const TRDIntegerList& fontMap, const TRDColorList& colorList, const TCustomRDFontInfo* style0);

// The RTF character formatting of a list marker font: the font table entry
// of its name and charset (when there is one), its styles, its size, its
// language when its charset is set and differs from text style 0's, and its
// colour unless that is clWindowText.
QByteArray SaveRTFMarkerFont(const TRDMarkerFont& font, const TRDColorList& colorList, const TRDStyle* rdStyle,
                             const TRDRTFFontTable& fontTable);
