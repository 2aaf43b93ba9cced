#pragma once

#include <cstdint>
#include <vector>

// The component's receive queue: a ring of fixed capacity, and the decoder of
// the marked input (PARMRK) that turns the device's bytes into data and line
// events on the way in.
class TReceiveQueue {
public:
    struct TOptions {
        char EventChar = 0;
        bool EliminateNull = false;
        bool UseErrorChar = false;
        char ErrorChar = 0;
        // The device marks line errors in-band (PARMRK); unmarked input is
        // data as it comes, 0xFF included.
        bool Marked = true;
    };

    TReceiveQueue(int Capacity, const TOptions& Options);

    int Count() const { return FCount; }
    int Free() const { return Capacity() - FCount; }
    int Capacity() const { return static_cast<int>(FRing.size()); }

    // Decodes Size raw bytes into the queue (at most Free() come out, since
    // decoding never lengthens); returns the events they carry.
    uint32_t Put(const uint8_t* Raw, int Size);
    // Takes up to Size bytes.
    int Take(uint8_t* Dest, int Size);

private:
    uint32_t PutPlain(const uint8_t* Raw, int Size);
    void Push(uint8_t Byte);

    std::vector<uint8_t> FRing;
    int FHead = 0;
    int FCount = 0;
    TOptions FOptions;
    int FMarkState = 0; // bytes of a 0xFF mark sequence seen so far
};
