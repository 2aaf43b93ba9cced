#pragma once

#include "i18n/ResourceStrings.h"

namespace gnugettext {

// The resource strings of the main window's module "Main".
inline constexpr TResStringRec SUnbenannt{"Main", 65535}; // untitled document name

} // namespace gnugettext
