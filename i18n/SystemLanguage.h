#pragma once

#include <QString>

namespace gnugettext {

// The language of the system settings: LC_ALL, then LC_MESSAGES, else "C".
QString SystemLanguageCode();

// The language the engine takes when none is given: LANG, else the system
// settings; cut at "." and "@" (de_DE.UTF-8 → de_DE).
QString EnvironmentLanguageCode();

} // namespace gnugettext
