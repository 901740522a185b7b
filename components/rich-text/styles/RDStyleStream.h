#pragma once

#include <QtCore/QByteArray>

#include "ComponentStream.h"
#include "core/RDFStream.h"
#include "styles/RDStyle.h"
#include "styles/RDStyleTemplates.h"

// The style collections in the component encoding: a collection value (type
// 14) of one item per style, each with its stored properties in published
// order (owned objects as dotted names, tab stops and list levels as nested
// collections), then the defined ones ("LstID", "FormatStringWCode",
// "FormatStringCode", "IDProp").
//
// Writing gives the bytes; reading fills a new collection of the target's
// style class and replaces the target only when the whole value read
// cleanly; any fault of the data raises ERichDocError and leaves the target
// as it was.
QByteArray SaveStylesToBytes(const TFontInfos& styles);
QByteArray SaveStylesToBytes(const TParaInfos& styles);
QByteArray SaveStylesToBytes(const TRDListInfos& styles);
QByteArray SaveStylesToBytes(const TRDStyleTemplateCollection& templates);
void LoadStylesFromBytes(const QByteArray& data, TFontInfos& styles);
void LoadStylesFromBytes(const QByteArray& data, TParaInfos& styles);
void LoadStylesFromBytes(const QByteArray& data, TRDListInfos& styles);
// Templates are read with the sheet in its loading state, then linked.
void LoadStylesFromBytes(const QByteArray& data, TRDStyleTemplateCollection& templates);

// The same inside a larger stream: the collection value at the writer's or
// reader's position.
void WriteStyles(TComponentWriter& writer, const TFontInfos& styles);
void WriteStyles(TComponentWriter& writer, const TParaInfos& styles);
void WriteStyles(TComponentWriter& writer, const TRDListInfos& styles);
void WriteStyles(TComponentWriter& writer, const TRDStyleTemplateCollection& templates);
void ReadStyles(TComponentReader& reader, TFontInfos& styles);
void ReadStyles(TComponentReader& reader, TParaInfos& styles);
void ReadStyles(TComponentReader& reader, TRDListInfos& styles);
void ReadStyles(TComponentReader& reader, TRDStyleTemplateCollection& templates);

// Style numbers in RDF header fields: a decimal number, or a quoted style
// name (the first style of that name, case-sensitive; 0 when none). The
// cursor points into a NUL-terminated line and moves past the field.
bool RDFReadTextStyle(const TRDStyle& sheet, const char*& cursor, int32_t& n);
bool RDFReadParaStyle(const TRDStyle& sheet, const char*& cursor, int32_t& n);
// The quoted style name when useNames and n is a style, else the number.
QByteArray RDFTextStyleToString(const TRDStyle& sheet, bool useNames, int n);
QByteArray RDFParaStyleToString(const TRDStyle& sheet, bool useNames, int n);

// The field of style n of styles (text or paragraph) as above, with the
// name's bytes made by encode.
template <typename Infos, typename Encode>
QByteArray RDFStyleField(const Infos& styles, bool useNames, int n, Encode encode)
{
    if (useNames && n >= 0 && n < styles.Count())
        return RDFQuoted(encode(styles[n]->StyleName));
    return QByteArray::number(n);
}

// The four flags of a border rectangle as stored properties ("Left",
// "Right", "Top", "Bottom", each true by default).
const TPropTable<TRDBooleanRect>& BooleanRectPropTable();
