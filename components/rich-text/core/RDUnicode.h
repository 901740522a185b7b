#pragma once

#include <cstdint>

#include <QtCore/QByteArray>
#include <QtCore/QString>


// Item strings: ANSI bytes in the code page of the item's text style, or
// UTF-16LE units (no terminator, no byte-order mark) when the Unicode bit of
// the item options is set. Character positions are 1-based.
constexpr int rdioUnicode = 8;

using TRDCodePage = uint32_t;
constexpr TRDCodePage CP_ACP = 0;
constexpr TRDCodePage CP_OEMCP = 1;
constexpr TRDCodePage CP_MACCP = 2;

// Always true: the wide-character services are there.
extern bool PlatformIsNT;
// Which special characters a viewer that shows them draws visibly: 1 spaces,
// 2 non-breaking spaces, 8 soft hyphens.
extern uint8_t VisibleSpecialCharacters;

// The UTF-16 unit at index i (0-based) of a Unicode item string.
inline char16_t WideUnitAt(const QByteArray& s, qsizetype i)
{
    return static_cast<char16_t>(static_cast<uint8_t>(s[2 * i]) | (static_cast<uint8_t>(s[2 * i + 1]) << 8));
}

// Raises ERichDocError "Can't perform Unicode operation" for an odd length.
void CheckEvenByteLength(qsizetype length);

int CharLength(const QByteArray& s, int flags);
QByteArray CharCopy(const QByteArray& s, int index, int count, int flags);
void CharDelete(QByteArray& s, int index, int count, int flags);
void CharInsert(const QByteArray& sub, QByteArray& s, int index, int flags);
bool CharIsSpace(const QByteArray& s, int index, int flags);
// The first of count units from p equal to ch; nullptr when none (or count 0).
const char16_t* FindWideChar(const char16_t* p, char16_t ch, int count);

TRDCodePage CodePageOfCharset(uint8_t charset);
int LanguageOfCharset(uint8_t charset);
uint32_t LocaleOfLanguage(int language);

QString RawToWideString(const QByteArray& s);
QByteArray WideStringToRaw(const QString& w);
void SwapUnicodeBytes(char16_t* p, int count);
// Moves p past a byte-order mark; a swapped mark also swaps the count-1 units after it.
void SkipUnicodeBOM(char16_t*& p, int count);

// Conversions between ANSI text of a code page and UTF-16LE item strings. The
// system code pages (CP_ACP, CP_OEMCP) and 936 are GBK written as GB18030;
// the other Windows code pages go through iconv; an unknown code page is taken
// as CP_ACP. A character the target cannot hold becomes "?". Safe on any
// thread: converters are kept per thread.
QByteArray AnsiToUtf16(TRDCodePage codePage, const QByteArray& s);
QByteArray AnsiToUtf8(TRDCodePage codePage, const QByteArray& s);
QByteArray Utf16ToAnsi(TRDCodePage codePage, const QByteArray& s);
// The same from and to QString. For the system code pages these keep every
// byte: a byte that is no GBK character reads as U+F700 + byte and is
// written back as that byte (AnsiText.h), so that the QString form of an ANSI
// item gives back its bytes.
QString AnsiToQString(TRDCodePage codePage, const QByteArray& s);
QByteArray QStringToAnsi(TRDCodePage codePage, const QString& s);
bool CanConvertToCodePage(TRDCodePage codePage, const QByteArray& s);

// Upper case that keeps the length: ANSI text changes single-byte characters
// only (never a byte of a double-byte character); UTF-16 text unit by unit.
QByteArray AnsiUpperCase(TRDCodePage codePage, const QByteArray& s);
QByteArray Utf16UpperCase(const QByteArray& s);

// The code page and language of the input method's locale; 936 and 2052
// when there is none.
TRDCodePage KeyboardCodePage();
int KeyboardLanguage();
QByteArray KeyboardAnsiToUtf16(const QByteArray& s);
