#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QString>

#include "Graphics.h"
#include "core/RDLists.h"
#include "core/RDUnicode.h"

// Bits of the HTML writer's options read here.
constexpr int rdhtmlXHTML = 0x2000;
constexpr int rdhtmlUTF8 = 0x4000;

// HTML.
QByteArray EscapeHtmlText(const QByteArray& s, bool isHTMLCode);
QByteArray UnicodeToHtmlEntities(const QByteArray& s, bool isHTMLCode);
QByteArray UnicodeToHtmlText(const QByteArray& s, bool isHTMLCode);
// Text in the Symbol font; "&", "<" and ">" are escaped.
QByteArray SymbolToHtmlEntities(const QByteArray& s);
QByteArray SymbolToHtmlEntitiesW(const QByteArray& s);
QByteArray ColorToHtml(TColor color, bool quoted = false);
QByteArray ColorToCss(TColor color);
QByteArray PathToHtmlUrl(const QByteArray& path, int options, TRDCodePage codePage);
int HtmlFontSize(int points);
QByteArray HtmlCharsetName(uint8_t charset);
QByteArray HtmlEmptyTagEnd(int options);
QByteArray HtmlBoolAttr(const QByteArray& name, int options);
QByteArray HtmlIntAttr(int value, int options);
QByteArray HtmlQuoteValue(const QByteArray& s, int options);
QByteArray DecodePercentEscapes(const QByteArray& s, bool allowLineBreaks);
QByteArray MakeHintAttribute(int kind, const QByteArray& hint);

// RTF.
void RtfEncodeChars(QByteArray& s, bool keywords);
QByteArray RtfEscapeText(const QByteArray& s, bool isRTFCode, bool keywords);
QByteArray RtfEscapeFieldText(const QByteArray& s);
QByteArray RtfSafeName(const QByteArray& s);
QByteArray RtfBookmarkName(const QByteArray& s);
void RtfWriteUnicodeText(TRDStream& stream, const QByteArray& text, TRDCodePage codePage, bool isRTFCode,
                         bool duplicateUnicode);
