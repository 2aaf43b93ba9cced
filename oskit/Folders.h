#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>

namespace oskit {

// Where the runtime folder is looked for, and whose it must be.
struct TRuntimePlace {
    const char* RuntimeDir = nullptr;         // $XDG_RUNTIME_DIR; nullptr when unset
    std::filesystem::path Temporary = "/tmp"; // the fallback's parent
    uid_t User = 0;                           // who must own the folder
};

// The user's private folder for sockets and channels: $XDG_RUNTIME_DIR/
// Brisquell when that variable is an absolute path, else /tmp/brisquell-<uid>,
// created with mode 0700 when missing. Empty (refused) unless it is a folder,
// not a link, owned by the user with mode exactly 0700 (no set-id or sticky
// bit either): nobody else may reach or plant what is in it.
std::filesystem::path RuntimeFolder();
std::filesystem::path RuntimeFolder(const TRuntimePlace& place);

// The user's configuration folder, without a trailing slash: $XDG_CONFIG_HOME
// when it is an absolute path (a relative one is invalid and ignored), else
// $HOME/.config, else the password database's home + "/.config"; empty when
// none of these exists.
std::string ConfigFolder();

} // namespace oskit
