#pragma once

#include "i18n/ResourceStrings.h"

// The resource strings of the main window's module "Main".
inline constexpr gnugettext::TResStringRec SUnbenannt{"Main", 65535}; // untitled document name

// The program's table of resource strings, registered with the engine at start.
gnugettext::TResourceTable ProgramResourceStrings();
