#include "ZipCrypt.h"

#include <zlib.h>

uint32_t Crc32Step(uint32_t crc, uint8_t b)
{
    static const auto* table = get_crc_table();
    return static_cast<uint32_t>(table[(crc ^ b) & 0xFF]) ^ (crc >> 8);
}

void TZipKeys::InitKeys(const QByteArray& password)
{
    Key0 = 0x12345678;
    Key1 = 0x23456789;
    Key2 = 0x34567890;
    for (char c : password)
        UpdateKeys(static_cast<uint8_t>(c));
}

void TZipKeys::UpdateKeys(uint8_t c)
{
    Key0 = Crc32Step(Key0, c);
    Key1 = (Key1 + (Key0 & 0xFF)) * 134775813u + 1;
    Key2 = Crc32Step(Key2, static_cast<uint8_t>(Key1 >> 24));
}

uint8_t TZipKeys::KeyStreamByte() const
{
    const uint32_t t = (Key2 | 2) & 0xFFFF;
    return static_cast<uint8_t>(((t * (t ^ 1)) >> 8) & 0xFF);
}

uint8_t TZipKeys::DecryptByte(uint8_t c)
{
    const uint8_t p = c ^ KeyStreamByte();
    UpdateKeys(p);
    return p;
}

uint8_t TZipKeys::EncryptByte(uint8_t p)
{
    const uint8_t t = KeyStreamByte();
    UpdateKeys(p);
    return p ^ t;
}

void TZipKeys::DecryptBuffer(uint8_t* buffer, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        buffer[i] = DecryptByte(buffer[i]);
}

void TZipKeys::EncryptBuffer(uint8_t* buffer, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        buffer[i] = EncryptByte(buffer[i]);
}
