#pragma once

// The traditional PKWARE stream cipher of zip entries: three keys driven by
// the password and by every plain byte, and a 12-byte header in front of the
// compressed data.

#include <QtCore/QByteArray>

#include <cstddef>
#include <cstdint>

class TZipKeys {
public:
    void InitKeys(const QByteArray& password);
    void UpdateKeys(uint8_t c);
    uint8_t KeyStreamByte() const;
    uint8_t DecryptByte(uint8_t c);
    uint8_t EncryptByte(uint8_t p);
    void DecryptBuffer(uint8_t* buffer, size_t length);
    void EncryptBuffer(uint8_t* buffer, size_t length);

    uint32_t Key0 = 0x12345678;
    uint32_t Key1 = 0x23456789;
    uint32_t Key2 = 0x34567890;
};

// One step of CRC-32 (polynomial 0xEDB88320).
uint32_t Crc32Step(uint32_t crc, uint8_t b);
