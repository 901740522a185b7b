#pragma once

// Decoders of the zip methods older than deflate: shrunk (1), reduced (2 to
// 5) and imploded (6). They read through an input routine and hand their
// output on in blocks; a damaged stream ends the decoder early (false) and
// never runs past its tables, stacks or windows.

#include <cstddef>
#include <cstdint>

class TLegacyIO {
public:
    virtual ~TLegacyIO() = default;
    // The next compressed byte, or -1 when the entry's data is used up.
    virtual int ReadInputByte() = 0;
    virtual void WriteOutput(const uint8_t* data, size_t length) = 0;
    // Bytes of output the entry declares.
    virtual uint64_t ExpectedSize() const = 0;
};

bool UnShrink(TLegacyIO& io);
bool UnReduce(TLegacyIO& io, int factor);
bool Explode(TLegacyIO& io, uint16_t flags);
