#pragma once

#include <cstdint>

// The receive side of a port as the reception code sees it: how many bytes
// are waiting, take some of them, send some. TSerial implements it; tests feed
// the reception from memory through it.
class TByteSource {
public:
    virtual ~TByteSource() = default;
    // Bytes waiting in the receive queue; 0 when the port is closed.
    virtual int RecCount() = 0;
    // Takes up to count bytes; returns the number taken (0 when closed).
    virtual int ReadBuf(void* buffer, int count) = 0;
    // Sends count bytes; returns the number sent (0 when closed).
    virtual int WriteBuf(const void* buffer, int count) = 0;
};
