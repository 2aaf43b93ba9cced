#pragma once

#include "platform/TThread.h"

#include <cstdint>

// Ordinals are used directly in the line configuration and the settings string.
enum class TDataBits : uint8_t { db_4, db_5, db_6, db_7, db_8 };
enum class TParityBit : uint8_t { none, odd, even, mark, space };
enum class TStopBits : uint8_t { sb_1, sb_15, sb_2 };

using TThreadPriority = platform::TThreadPriority;

// Communication-event bits, with the values the component's users know them by.
namespace CommEvent {
constexpr uint32_t EV_RXCHAR = 0x0001;
constexpr uint32_t EV_RXFLAG = 0x0002;
constexpr uint32_t EV_TXEMPTY = 0x0004;
constexpr uint32_t EV_CTS = 0x0008;
constexpr uint32_t EV_DSR = 0x0010;
constexpr uint32_t EV_RLSD = 0x0020;
constexpr uint32_t EV_BREAK = 0x0040;
constexpr uint32_t EV_ERR = 0x0080;
constexpr uint32_t EV_RING = 0x0100;
constexpr uint32_t ModemLines = EV_CTS | EV_DSR | EV_RLSD | EV_RING;
} // namespace CommEvent
