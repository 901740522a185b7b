#pragma once

#include <cstdint>

#include <QtCore/QByteArray>
#include <QtCore/QString>

#include "Pictures.h"
#include "core/RDLists.h"
#include "core/RDStrUtils.h"

class QWidget;

// Writing.
void RDFWrite(TRDStream& stream, const QByteArray& s);
void RDFWriteLine(TRDStream& stream, const QByteArray& s);
// unicode and hex: hexadecimal and CR LF; unicode only: the bytes and the
// UTF-16LE paragraph separator; else the bytes and CR LF.
void RDFWriteTextLine(TRDStream& stream, const QByteArray& s, bool unicode, bool hex);
// A binary block: 4-byte little-endian length, then the bytes.
void RDFSaveStreamBinary(const TRDMemoryStream& memory, TRDStream& stream);
void RDFWriteBinaryBlock(TRDStream& stream, const QByteArray& data);
// Reads a binary block; false (the stream position unspecified) when the
// length is negative or runs past the end of the stream.
bool RDFReadBinaryBlock(TRDStream& stream, QByteArray& data);

// Pictures: the bytes the graphic saves, as hexadecimal, raw or as a binary
// block; loading answers whether the data was valid.
void RDFSaveGraphicHex(const TGraphic& graphic, QByteArray& s);
bool RDFLoadGraphicHex(const QByteArray& s, TGraphic& graphic);
void RDFSaveGraphicRaw(const TGraphic& graphic, QByteArray& s);
void RDFLoadGraphicRaw(const QByteArray& s, TGraphic& graphic);
void RDFSaveGraphicBinary(TRDStream& stream, const TGraphic& graphic);
bool RDFLoadGraphicBinary(TRDStream& stream, TGraphic& graphic);

// Components (controls) in the component encoding, as hexadecimal or as a
// binary block. Loading: with className, a new control of that registered
// class replaces component (an unknown class fails, component unchanged);
// component, made or given, is read with parent as its parent; data that is
// damaged, or followed by more bytes, fails (as does hexadecimal that is
// not whole), and component is then freed and nil. The caller owns
// component before and after.
void RDFSaveComponentHex(const QWidget& component, QByteArray& s);
void RDFSaveComponentBinary(TRDStream& stream, const QWidget& component);
// Answers whether the hexadecimal was valid and reading succeeded.
bool RDFLoadComponentHex(const QByteArray& s, QWidget*& component, const QString& className, QWidget* parent);
// The same from the raw bytes of s.
bool RDFLoadComponentBinary(const QByteArray& s, QWidget*& component, const QString& className, QWidget* parent);

// Hexadecimal.
void RDFMemoryToHex(const TRDMemoryStream& memory, QByteArray& s);
void RDFStringToHex(const QByteArray& s, QByteArray& result);
bool RDFHexToMemory(const QByteArray& s, TRDMemoryStream& memory);
// Empty for an odd length; stops at the first pair that is not hexadecimal
// and answers false then.
bool RDFHexToString(const QByteArray& s, QByteArray& result);
void RDFWideToHex(const QString& ws, QByteArray& s);
bool RDFHexToWide(const QByteArray& s, QString& ws);

// Header field parsers: the cursor points into a NUL-terminated line and is
// moved past what was read.
bool RDFReadWord(const char*& cursor, QByteArray& s);
// Refuses a number that does not fit 32 bits.
bool RDFReadInteger(const char*& cursor, int32_t& n);
// False when the line does not start with a quote or the closing quote is missing.
bool RDFReadQuoted(const char*& cursor, QByteArray& s);
bool RDFReadTag(const char*& cursor, bool tagsArePChars, bool quotedAllowed, TRDTag& tag);

// Header field writers.
QByteArray RDFTagToString(bool tagsArePChars, const TRDTag& tag);
QByteArray RDFQuoted(const QByteArray& s);

// CR becomes $01 and LF $02, and back.
QByteArray RDFEncodeLineBreaks(const QByteArray& s);
QByteArray RDFDecodeLineBreaks(const QByteArray& s);
