#pragma once

#include <QtCore/QByteArray>

class TCustomRDFontInfo;
struct TRDMarkerFont;

// HTML of text and marker fonts: the tags that open and close a font, the
// CSS of a marker font. The markup of plain text is in core/RDMarkup.h.
QByteArray MakeHtmlFontOpenTags(const TCustomRDFontInfo& style, const TCustomRDFontInfo* base, bool onlyDifferences,
                                int options);
QByteArray MakeHtmlFontCloseTags(const TCustomRDFontInfo& style, const TCustomRDFontInfo* base, bool onlyDifferences);
QByteArray MakeHtmlMarkerFontOpenTags(const TRDMarkerFont& font, const TCustomRDFontInfo& base, bool withFace,
                                      int options);
QByteArray MakeHtmlMarkerFontCloseTags(const TRDMarkerFont& font, const TCustomRDFontInfo& base, bool withFace);
QByteArray MarkerFontToCss(const TRDMarkerFont& font, bool withFamily);
