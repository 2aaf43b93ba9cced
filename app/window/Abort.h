#pragma once

#include <exception>
#include <functional>

// A silent abort: ends the running command without any message (the user
// cancelled a question whose answer the command needed).
class EAbort : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

namespace platform {
class TDialogs;
}

// Runs a command or handler so that an exception it raises is shown in the
// error box instead of leaving the event loop: a file error in the
// window's language with the program's own words for why, a silent abort
// not at all.
void RunGuarded(platform::TDialogs& dialogs, const std::function<void()>& command);
