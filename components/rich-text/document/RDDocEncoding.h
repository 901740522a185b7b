#pragma once

// Stepping over characters of ANSI item texts in double-byte code pages.

#include <cstdint>

#include <QtCore/QByteArray>

// Code pages whose characters take one or two bytes (GBK also four).
bool IsDoubleByteCodePage(uint32_t codePage);
// Bytes of the character starting at 0-based index i of s in such a code
// page: 1, 2, or 4 for a four-byte GB18030 sequence.
int DoubleByteCharSize(const QByteArray& s, qsizetype i, uint32_t codePage);
