#pragma once

#include "wedge/TypingText.h"
#include "wedge/WedgeReport.h"

#include <functional>
#include <optional>

namespace wedge {

// One way of typing into the program that has the keyboard: the X server's
// XTEST extension, or the desktop's remote-desktop portal. A typer lives on
// the typing thread, which runs an event loop, from Open to its end; its
// destructor ends what Open began (the portal's session, keys it borrowed).
class TKeyTyper {
public:
    virtual ~TKeyTyper() = default;

    // Begins typing; Opened is called once, possibly before Open returns,
    // with nothing when keys can be sent now, else why not.
    virtual void Open() = 0;
    // Types one reading and its key; nothing when it was typed, else why
    // not (a report that StopsTyping ends the session).
    virtual std::optional<TWedgeReport> Type(const TKeystrokes& keystrokes) = 0;

    std::function<void(std::optional<TWedgeReport>)> Opened;
    // The session ended by itself (the portal closed it).
    std::function<void(TWedgeReport)> Lost;
};

} // namespace wedge
