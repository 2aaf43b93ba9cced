#pragma once

#include <span>

// The link an instrument profile uses; the values are the link-item codes of
// the port menu (serial 0, infrared 1, USB 2).
enum class TLinkKind { Serial = 0, Infrared = 1, Usb = 2 };

// One instrument profile: one item of the Device menu, tag = profile number.
// Every rule that depends on the chosen instrument reads its row here.
struct TProfile {
    // The serial rate a profile sets: a number, or one of these.
    static constexpr int BaudSetting = 0;    // the "Baud" setting (the manual profile)
    static constexpr int BaudUnchanged = -1; // the link is not serial

    int Tag;
    const char* Name;    // object name of the menu item
    const char* Caption; // German; translated with the window
    TLinkKind Link;
    int Baudrate;
    bool Echo; // echo every received serial character back
    // Connect starts the prompt cycle, received data restarts it and resume
    // takes it up again; the other profiles keep the prompt timer off.
    bool PromptCycle;
    bool SeparatorAfter; // a separator follows the item in the menu
};

// The ten profiles in tag order.
std::span<const TProfile> Profiles();

// The profile with this tag; a tag without a profile gets a serial row that
// sets nothing (no rate, no echo, no cycle).
const TProfile& ProfileFor(int tag);
