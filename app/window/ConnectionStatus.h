#pragma once

#include "app/capture/Profiles.h"

#include <cstdint>
#include <string_view>

// The connection state as panel 0 of the status bar shows it: a German text
// (translated when shown) and the number of a state icon (0 disconnected,
// 1 connected, 2 waiting or searching).
struct TConnectionStatus {
    std::string_view Text; // a literal: null-terminated
    int Icon;
    bool operator==(const TConnectionStatus&) const = default;
};

struct TConnectionFacts {
    bool Connected = false;
    TLinkKind Link = TLinkKind::Serial;
    bool PeerConnected = false; // an infrared peer is connected
    uint8_t PromptCount = 0;
    bool Searching = false;
};

// The first row of the state table that applies. In the dark phase of the
// search blink the text is empty and the searching icon stays, so the state
// can still be seen while the text is away.
TConnectionStatus ConnectionStatus(const TConnectionFacts& facts);
