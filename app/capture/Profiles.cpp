#include "app/capture/Profiles.h"

namespace {

using L = TLinkKind;
constexpr int Setting = TProfile::BaudSetting;
constexpr int Unchanged = TProfile::BaudUnchanged;

// clang-format off
constexpr TProfile kProfiles[] = {
    // tag name       caption                              link         baud       echo   cycle  sep
    {0, "Manuell",  "Manuell",                            L::Serial,   Setting,   false, false, true},
    {1, "Profile1", "Velmarod (K10...K70)",               L::Serial,   1200,      false, true,  false},
    {2, "Profile2", "Velmarod K65 (USB)",                 L::Usb,      Unchanged, false, false, false},
    {3, "Profile3", "Velmarod (K101...K410)",             L::Serial,   9600,      false, true,  true},
    {4, "Profile4", "Velmarod PX (K200...K410)",          L::Serial,   9600,      false, true,  true},
    {5, "Profile5", "Zelvar (Kabel)",                     L::Serial,   1200,      false, true,  false},
    {6, "Profile6", "Zelvar (Infrarotadapter an COM)",    L::Serial,   9600,      true,  true,  true},
    {7, "Profile7", "Quintarion (Q40, Q41)",              L::Serial,   9600,      false, true,  true},
    {8, "Profile8", "Velmarod K7X (Kabel)",               L::Serial,   57600,     false, false, false},
    {9, "Profile9", "Velmarod K7 / K7X (Infrarot)",       L::Infrared, Unchanged, false, false, false},
};
// clang-format on

constexpr TProfile kNoProfile{-1, "", "", L::Serial, Unchanged, false, false, false};

} // namespace

std::span<const TProfile> Profiles() {
    return kProfiles;
}

const TProfile& ProfileFor(int tag) {
    return tag >= 0 && tag < static_cast<int>(std::size(kProfiles)) ? kProfiles[tag] : kNoProfile;
}
