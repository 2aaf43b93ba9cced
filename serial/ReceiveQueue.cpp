#include "serial/ReceiveQueue.h"

#include "serial/SerialEnums.h"

#include <algorithm>
#include <cstring>

TReceiveQueue::TReceiveQueue(int Capacity, const TOptions& Options)
    : FRing(static_cast<size_t>(std::max(Capacity, 1))), FOptions(Options) {}

void TReceiveQueue::Push(uint8_t Byte) {
    if (FOptions.EliminateNull && Byte == 0)
        return;
    FRing[static_cast<size_t>((FHead + FCount) % Capacity())] = Byte;
    ++FCount;
}

// Marked input: 0xFF 0xFF is a data byte 0xFF, 0xFF 0x00 0x00 a break,
// 0xFF 0x00 c the byte c received with a parity or framing error.
uint32_t TReceiveQueue::Put(const uint8_t* Raw, int Size) {
    using namespace CommEvent;
    if (Size <= 0)
        return 0;
    // Nearly always: no mark under way or to come, nothing to leave out.
    if (FMarkState == 0 && !FOptions.EliminateNull &&
        (!FOptions.Marked || std::memchr(Raw, 0xFF, Size) == nullptr))
        return PutPlain(Raw, Size);
    uint32_t events = 0;
    const int before = FCount;
    for (int i = 0; i < Size; ++i) {
        const uint8_t b = Raw[i];
        if (FMarkState == 0) {
            if (b == 0xFF && FOptions.Marked)
                FMarkState = 1;
            else
                Push(b);
        } else if (FMarkState == 1) {
            FMarkState = b == 0 ? 2 : 0;
            if (b != 0)
                Push(b); // 0xFF itself (any other byte cannot follow a mark)
        } else {
            FMarkState = 0;
            if (b == 0)
                events |= EV_BREAK;
            else {
                events |= EV_ERR;
                Push(FOptions.UseErrorChar ? static_cast<uint8_t>(FOptions.ErrorChar) : b);
            }
        }
    }
    if (FCount > before) {
        events |= EV_RXCHAR;
        // Look only at the new bytes for the event character.
        for (int i = before; i < FCount; ++i)
            if (FRing[static_cast<size_t>((FHead + i) % Capacity())] ==
                static_cast<uint8_t>(FOptions.EventChar)) {
                events |= EV_RXFLAG;
                break;
            }
    }
    return events;
}

uint32_t TReceiveQueue::PutPlain(const uint8_t* Raw, int Size) {
    using namespace CommEvent;
    const int n = std::min(Size, Free());
    if (n <= 0)
        return 0;
    const int tail = (FHead + FCount) % Capacity();
    const int first = std::min(n, Capacity() - tail);
    std::memcpy(FRing.data() + tail, Raw, static_cast<size_t>(first));
    std::memcpy(FRing.data(), Raw + first, static_cast<size_t>(n - first));
    FCount += n;
    const bool flag = std::memchr(Raw, static_cast<uint8_t>(FOptions.EventChar), n) != nullptr;
    return EV_RXCHAR | (flag ? EV_RXFLAG : 0u);
}

int TReceiveQueue::Take(uint8_t* Dest, int Size) {
    const int n = std::min(Size, FCount);
    if (n <= 0)
        return 0; // Dest may then be null
    const int first = std::min(n, Capacity() - FHead);
    std::memcpy(Dest, FRing.data() + FHead, static_cast<size_t>(first));
    std::memcpy(Dest + first, FRing.data(), static_cast<size_t>(n - first));
    FHead = (FHead + n) % Capacity();
    FCount -= n;
    return n;
}
