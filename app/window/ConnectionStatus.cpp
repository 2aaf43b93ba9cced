#include "app/window/ConnectionStatus.h"

TConnectionStatus ConnectionStatus(const TConnectionFacts& facts) {
    if (!facts.Connected)
        return {"Getrennt", 0};
    if (facts.Link == TLinkKind::Infrared)
        return facts.PeerConnected ? TConnectionStatus{"Verbunden...", 1}
                                   : TConnectionStatus{"Warte...", 2};
    if (facts.PromptCount == 2)
        return {"Suche Gerät...", 2};
    if (!facts.Searching)
        return {"Verbunden...", 1};
    return {"", 2};
}
