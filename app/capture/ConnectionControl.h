#pragma once

#include "app/capture/Profiles.h"

#include <QString>

#include <array>

class TLink;
class TPromptCycle;

// Connect, disconnect, pause and resume of the chosen profile's link, and the
// prompt cycle that goes with a connected prompt-using profile. The window
// keeps its menus and status bar; this keeps the state.
class TConnectionControl {
public:
    explicit TConnectionControl(TPromptCycle& cycle) : FCycle(cycle) {}

    // The link that serves profiles of a kind; none makes their connect fail.
    void SetLink(TLinkKind kind, TLink* link);

    // Returns whether the link is connected afterwards; a failure is silent.
    bool Connect(const TProfile& profile);
    void Disconnect(const TProfile& profile);
    // Pause (true) or resume (false) around modal work; only a connected
    // link on a computer with a usable COM port is paused. Returns false when
    // a resumed link could not be taken up again: the caller disconnects.
    bool Halt(bool halt, const TProfile& profile, bool portAvailable);

    bool Connected() const { return FConnected; }
    // Why the last Connect of the profile's link failed; empty when unknown.
    QString FailureNote(const TProfile& profile) const;

private:
    TLink* LinkOf(const TProfile& profile) const;

    TPromptCycle& FCycle;
    std::array<TLink*, 3> FLinks{};
    bool FConnected = false;
};
