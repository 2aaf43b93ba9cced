#pragma once

#include <QString>

namespace platform {

// Shell folder identifiers (the Windows CSIDL values) that the program asks for.
inline constexpr int CSIDL_APPDATA = 26;

// The path of a shell folder, without a trailing delimiter; empty when it
// cannot be determined. CSIDL_APPDATA is the XDG configuration folder:
// $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config, else the
// password database's home + "/.config". Unknown identifiers give "".
QString GetSpecialFolder(int csidl);

} // namespace platform
