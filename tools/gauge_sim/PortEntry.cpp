#include "PortEntry.h"

#include "oskit/Folders.h"

#include <fstream>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kFirstFreePort = 3;
constexpr int kLastPort = 99;

fs::path EntryPath(const fs::path& folder, int port) {
    return folder / ("COM" + std::to_string(port));
}

// A name beside the final one, unique to this process.
fs::path TemporaryBeside(const fs::path& path) {
    return path.parent_path() /
           ("." + path.filename().string() + ".gauge-" + std::to_string(::getpid()));
}

bool EntryExists(const fs::path& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

bool PointsSomewhere(const fs::path& path) {
    std::error_code error;
    return fs::exists(fs::status(path, error));
}

} // namespace

fs::path PortsFolder() {
    const fs::path config = oskit::ConfigFolder();
    if (config.empty())
        throw std::runtime_error("no configuration folder (set XDG_CONFIG_HOME or HOME)");
    return config / "Brisquell" / "ports";
}

int FreePort(const fs::path& folder) {
    for (int port = kFirstFreePort; port <= kLastPort; ++port)
        if (!EntryExists(EntryPath(folder, port)))
            return port;
    return 0;
}

TPortEntry::TPortEntry(const fs::path& folder, int port, std::string target)
    : FPath(EntryPath(folder, port)), FTarget(std::move(target)) {
    fs::create_directories(folder);
    if (PointsSomewhere(FPath)) {
        std::error_code error;
        const fs::path used = fs::read_symlink(FPath, error);
        throw std::runtime_error(FPath.string() + " is in use" +
                                 (error ? std::string() : " by " + used.string()));
    }
    // Link under a private name, then rename: the program never sees a
    // half-made entry, and a dangling one is replaced in one step.
    const fs::path temporary = TemporaryBeside(FPath);
    fs::remove(temporary);
    fs::create_symlink(FTarget, temporary);
    fs::rename(temporary, FPath);
}

TPortEntry::~TPortEntry() {
    std::error_code error;
    if (fs::read_symlink(FPath, error) == FTarget && !error)
        fs::remove(FPath, error);
}

TReadyFile::TReadyFile(fs::path path, const std::string& line) : FPath(std::move(path)) {
    const fs::path temporary = TemporaryBeside(FPath);
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << line << '\n';
        if (!out.flush())
            throw std::runtime_error("cannot write " + temporary.string());
    }
    fs::rename(temporary, FPath);
}

TReadyFile::~TReadyFile() {
    std::error_code error;
    fs::remove(FPath, error);
}
