#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The table of files appended to an executable, as the program's catalog
// locator reads it: the files back to back from the end of the executable,
// zero bytes up to the table at the next 4096-byte boundary (counted from
// the start of the appended data), 256-byte entries (next-entry offset, data
// offset and size as little-endian 64-bit numbers, a 232-byte blank-filled
// name), and an 8-byte zero end marker as the file's last bytes. The
// signature in the program's read-only data is followed by the table's
// offset.
namespace appended_table {

inline constexpr std::size_t EntrySize = 256;
inline constexpr std::size_t NameFieldSize = EntrySize - 24;
inline constexpr std::size_t TableAlignment = 4096;

struct TFile {
    std::string Name; // relative path with "/"
    std::string Data;
};

struct TAppendResult {
    std::string Error; // empty on success
    std::string Note;  // something worth telling, e.g. a stale table replaced
};

// The 36 signature bytes (built from parts, so this tool's own file does not
// carry them as one piece).
std::string Signature();

// Positions of the signature in the loaded sections of an ELF image (in the
// whole file for anything else).
std::vector<std::size_t> FindSignature(const std::string& image);

// Whether a valid table starts at offset and ends with the image.
bool HasValidTable(const std::string& image, std::int64_t offset);

// The bytes to append to an image of the given size, and the table offset
// to write after the signature.
std::string BuildAppendix(std::uint64_t imageSize, const std::vector<TFile>& files,
                          std::int64_t& tableOffset);

// A reason why a name cannot be stored, or "".
std::string CheckName(const std::string& name);

// Appends the files to the image in memory and patches the offset.
TAppendResult Append(std::string& image, const std::vector<TFile>& files);

} // namespace appended_table
