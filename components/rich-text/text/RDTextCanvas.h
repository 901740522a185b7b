#pragma once

// How the rich-text measuring and drawing routines see a canvas, and item
// strings as the text engine sees them.
//
// The font selected into a canvas is the painter's font (a style's MakeFont);
// its character extra is the font's absolute letter spacing; its right-to-left
// reading is the painter's layout direction; the code page of ANSI text comes
// from the charset of the canvas's font record. The font colour
// and the brush are those of the canvas.

#include <cstdint>
#include <vector>

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtGui/QFont>

#include "Graphics.h"
#include "core/RDUnicode.h"

inline bool IsUnicodeItem(int flags) { return (flags & rdioUnicode) != 0; }

// U+200B, U+200D and U+2060 take no width.
inline bool IsZeroWidthChar(char16_t c) { return c == 0x200B || c == 0x200D || c == 0x2060; }

QFont CanvasFont(TCanvas& canvas);
// Selects a font and the charset its ANSI text is written in.
void SelectCanvasFont(TCanvas& canvas, const QFont& font, uint8_t charset = 1);
// Sets the character extra of the selected font, in pixels.
void SetCanvasCharacterExtra(TCanvas& canvas, int extra);

// An item string as UTF-16 text. UnitEnd has one entry per character of the
// item string (a byte of ANSI text, a unit of Unicode text): the number of
// UTF-16 units up to the end of the whole character it belongs to, so that the
// bytes of a double-byte character, and the two units of a surrogate pair, end
// together. Lead marks the first byte or unit of each character.
struct TRDItemChars {
    QString Text;
    std::vector<int> UnitEnd;
    std::vector<uint8_t> Lead;
    int Count() const { return int(UnitEnd.size()); }
};

// count characters of item string data p (bytes for ANSI in the canvas's code page).
void DecodeItemChars(TCanvas& canvas, const char* p, int count, int flags, TRDItemChars& out);
