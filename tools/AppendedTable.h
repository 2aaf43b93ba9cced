#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The table of files carried by an executable, as the program's catalog
// locator reads it: the files back to back, zero bytes up to the table at
// the next 4096-byte boundary (counted from the start of the files), 256-byte
// entries (next-entry offset, data offset and size as little-endian 64-bit
// numbers, a 232-byte blank-filled name), and an 8-byte zero end marker.
// The signature in the program's read-only data is followed by the table's
// offset. All offsets are absolute file offsets.
//
// Files and table fill a read-only section of their own that the linker
// places in a loaded segment: a strip (also Debian's, with
// --strip-unneeded) never moves loaded data, so the offsets stay true.
// Files merely appended behind the ELF data would be cut off by it.
namespace appended_table {

inline constexpr std::size_t EntrySize = 256;
inline constexpr std::size_t NameFieldSize = EntrySize - 24;
inline constexpr std::size_t TableAlignment = 4096;
inline constexpr std::string_view SectionName = ".brisquell_files";

struct TFile {
    std::string Name; // relative path with "/"
    std::string Data;
};

struct TAppendResult {
    std::string Error;    // empty on success
    bool Changed = false; // false when the image already carried these files
};

// Where a section's bytes lie in the file.
struct TSection {
    std::uint64_t Offset = 0;
    std::uint64_t Size = 0;
};

// The 36 signature bytes (built from parts, so this tool's own file does not
// carry them as one piece).
std::string Signature();

// Positions of the signature in the loaded sections of an ELF image (in the
// whole file for anything else).
std::vector<std::size_t> FindSignature(const std::string& image);

// The named section of a little-endian ELF image, when it has file contents
// that lie inside the image.
std::optional<TSection> FindSection(const std::string& image, std::string_view name);

// The section's bytes for the files when the section starts at file offset
// base, and the table offset to write after the signature. The size does not
// depend on base, so the linker can be given the layout for base 0.
std::string BuildAppendix(std::uint64_t base, const std::vector<TFile>& files,
                          std::int64_t& tableOffset);

// A reason why a name cannot be stored, or "".
std::string CheckName(const std::string& name);
// A reason why the files cannot be stored together, or "".
std::string CheckFiles(const std::vector<TFile>& files);

// Writes the files into the image's section and their table's offset after
// the signature, in memory. An image that already carries exactly these
// files stays as it is.
TAppendResult Append(std::string& image, const std::vector<TFile>& files);

} // namespace appended_table
