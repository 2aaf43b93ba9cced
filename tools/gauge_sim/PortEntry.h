#pragma once

#include <filesystem>
#include <string>

// The folder where the program looks up its ports: <config>/Brisquell/ports,
// with the program's rule for the configuration folder. Throws
// std::runtime_error when there is no configuration folder.
std::filesystem::path PortsFolder();

// The lowest port number from 3 upwards that has no entry in the folder
// (COM1/COM2 stand for the machine's own ports); 0 when all are taken.
int FreePort(const std::filesystem::path& folder);

// The entry COMn in the ports folder, a link to the simulated device. It is
// removed when this object goes, unless something else has replaced it.
class TPortEntry {
public:
    // Replaces only an entry that points nowhere (an absent port); throws
    // std::runtime_error when COMn names a present device.
    TPortEntry(const std::filesystem::path& folder, int port, std::string target);
    ~TPortEntry();
    TPortEntry(const TPortEntry&) = delete;
    TPortEntry& operator=(const TPortEntry&) = delete;

    const std::filesystem::path& Path() const { return FPath; }

private:
    std::filesystem::path FPath;
    std::string FTarget;
};

// A file naming the registered port and its device ("COMn /dev/pts/N"),
// written in one step so a script never reads half of it; removed when this
// object goes.
class TReadyFile {
public:
    TReadyFile(std::filesystem::path path, const std::string& line);
    ~TReadyFile();
    TReadyFile(const TReadyFile&) = delete;
    TReadyFile& operator=(const TReadyFile&) = delete;

private:
    std::filesystem::path FPath;
};
