#pragma once

// Code pages of item texts: ANSI text of a text style and UTF-16LE bytes.

#include <cstdint>

#include <QtCore/QByteArray>

// The Windows code page of a font charset (0 the system's ANSI code page).
uint32_t DocCodePageOfCharset(uint8_t charset);
uint32_t DocLanguageOfCharset(uint8_t charset);
// ANSI bytes in a code page to UTF-16LE bytes, and back ("?" for what does
// not map). Code page 0, 1 and 936 are the system's GBK.
QByteArray DocAnsiToUtf16(uint32_t codePage, const QByteArray& s);
QByteArray DocUtf16ToAnsi(uint32_t codePage, const QByteArray& s);
// Code pages whose characters take one or two bytes.
bool IsDoubleByteCodePage(uint32_t codePage);
// Bytes of the character starting at 0-based index i of s in such a code
// page: 1, 2, or 4 for a four-byte GB18030 sequence; cut at the end of s.
int DoubleByteCharSize(const QByteArray& s, qsizetype i, uint32_t codePage);
