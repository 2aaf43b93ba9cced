#include "oskit/Folders.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace oskit {
namespace {

bool IsAbsolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// The home folder of the password database, for sessions without $HOME.
std::string PasswordHome() {
    const passwd* entry = ::getpwuid(::getuid());
    if (entry == nullptr || entry->pw_dir == nullptr)
        return {};
    return entry->pw_dir;
}

} // namespace

std::filesystem::path RuntimeFolder() {
    return RuntimeFolder({std::getenv("XDG_RUNTIME_DIR"), "/tmp", ::getuid()});
}

std::filesystem::path RuntimeFolder(const TRuntimePlace& place) {
    const std::filesystem::path folder =
        IsAbsolute(place.RuntimeDir)
            ? std::filesystem::path(place.RuntimeDir) / "Brisquell"
            : place.Temporary / ("brisquell-" + std::to_string(place.User));
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    // lstat: a link to a folder of ours could be swapped for one of theirs.
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != place.User || (info.st_mode & 07777) != 0700)
        return {};
    return folder;
}

std::string ConfigFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (IsAbsolute(xdg))
        return WithoutTrailingSlash(xdg);
    const char* variable = std::getenv("HOME");
    std::string home = IsAbsolute(variable) ? std::string(variable) : PasswordHome();
    if (home.empty())
        return {};
    home = WithoutTrailingSlash(home);
    return home == "/" ? "/.config" : home + "/.config";
}

} // namespace oskit
