#pragma once

#include <QtCore/QByteArray>

#include <cstdint>

// Little-endian 32-bit fields, as the file formats and stored blocks have them.

// Writes v to p[0..3], low byte first.
inline void PutLE32(unsigned char* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>((v >> (8 * i)) & 0xFF);
}

// Appends v to b, low byte first.
inline void PutLE32(QByteArray& b, std::uint32_t v)
{
    unsigned char bytes[4];
    PutLE32(bytes, v);
    b.append(reinterpret_cast<const char*>(bytes), 4);
}
