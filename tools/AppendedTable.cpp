#include "tools/AppendedTable.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace appended_table {

namespace {

void PutInt64(std::string& out, std::int64_t value) {
    auto v = static_cast<std::uint64_t>(value);
    for (int i = 0; i < 8; ++i, v >>= 8)
        out += static_cast<char>(v & 0xFF);
}

bool GetInt64(const std::string& image, std::uint64_t at, std::int64_t& value) {
    if (at > image.size() || image.size() - at < 8)
        return false;
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(image[at + static_cast<std::uint64_t>(i)]);
    value = static_cast<std::int64_t>(v);
    return true;
}

std::uint64_t GetLittle(const std::string& image, std::uint64_t at, int bytes) {
    std::uint64_t v = 0;
    if (at > image.size() || image.size() - at < static_cast<std::uint64_t>(bytes))
        return 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(image[at + static_cast<std::uint64_t>(i)]);
    return v;
}

struct TRange {
    std::uint64_t Begin;
    std::uint64_t End;
};

// The file ranges that are loaded into memory. Debug information also holds
// the signature bytes (as the constant's value), but the program reads its
// loaded copy, so only loaded sections count. Files that are not
// little-endian ELF count as a whole.
std::vector<TRange> LoadedRanges(const std::string& image) {
    const std::vector<TRange> whole{{0, image.size()}};
    if (image.size() < 64 ||
        image.compare(0, 4,
                      "\x7F"
                      "ELF") != 0 ||
        image[5] != 1)
        return whole;
    const bool is64 = image[4] == 2;
    const std::uint64_t shoff = GetLittle(image, is64 ? 0x28 : 0x20, is64 ? 8 : 4);
    const std::uint64_t shentsize = GetLittle(image, is64 ? 0x3A : 0x2E, 2);
    const std::uint64_t shnum = GetLittle(image, is64 ? 0x3C : 0x30, 2);
    if (shoff == 0 || shnum == 0 || shentsize == 0)
        return whole;
    constexpr std::uint64_t SHF_ALLOC = 0x2;
    constexpr std::uint64_t SHT_NOBITS = 8;
    std::vector<TRange> ranges;
    for (std::uint64_t i = 0; i < shnum; ++i) {
        const std::uint64_t header = shoff + i * shentsize;
        const std::uint64_t type = GetLittle(image, header + 4, 4);
        const std::uint64_t flags = GetLittle(image, header + 8, is64 ? 8 : 4);
        const std::uint64_t offset = GetLittle(image, header + (is64 ? 0x18 : 0x10), is64 ? 8 : 4);
        const std::uint64_t size = GetLittle(image, header + (is64 ? 0x20 : 0x14), is64 ? 8 : 4);
        if ((flags & SHF_ALLOC) != 0 && type != SHT_NOBITS)
            ranges.push_back({offset, offset + size});
    }
    return ranges;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

std::string Signature() {
    return std::string("6637DB2E-62E1-4A60-") + "AC19-C23867046A89";
}

std::vector<std::size_t> FindSignature(const std::string& image) {
    const std::string signature = Signature();
    const std::vector<TRange> loaded = LoadedRanges(image);
    std::vector<std::size_t> found;
    for (std::size_t at = image.find(signature); at != std::string::npos;
         at = image.find(signature, at + 1)) {
        for (const TRange& range : loaded) {
            if (at >= range.Begin && at + signature.size() <= range.End) {
                found.push_back(at);
                break;
            }
        }
    }
    return found;
}

bool HasValidTable(const std::string& image, std::int64_t offset) {
    const auto size = static_cast<std::int64_t>(image.size());
    for (int entries = 0; entries < 100000; ++entries) {
        std::int64_t next = 0;
        if (offset <= 0 || offset > size ||
            !GetInt64(image, static_cast<std::uint64_t>(offset), next))
            return false;
        if (next == 0)
            return offset == size - 8;
        if (next < offset + 24)
            return false;
        offset = next;
    }
    return false;
}

std::string CheckName(const std::string& name) {
    if (name.empty())
        return "an empty name";
    if (name.size() > NameFieldSize)
        return "a name longer than " + std::to_string(NameFieldSize) + " bytes";
    if (name.find('\\') != std::string::npos)
        return "a name with \"\\\" (names use \"/\")";
    if (static_cast<unsigned char>(name.front()) <= ' ' ||
        static_cast<unsigned char>(name.back()) <= ' ')
        return "a name beginning or ending with a blank";
    for (unsigned char c : name)
        if (c < ' ')
            return "a name with a control character";
    return {};
}

std::string BuildAppendix(std::uint64_t imageSize, const std::vector<TFile>& files,
                          std::int64_t& tableOffset) {
    std::string appendix;
    std::vector<std::uint64_t> dataOffsets;
    for (const TFile& file : files) {
        dataOffsets.push_back(imageSize + appendix.size());
        appendix += file.Data;
    }
    const std::size_t padded =
        (appendix.size() + TableAlignment - 1) / TableAlignment * TableAlignment;
    appendix.resize(padded, '\0');
    tableOffset = static_cast<std::int64_t>(imageSize + appendix.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto entry = static_cast<std::int64_t>(imageSize + appendix.size());
        PutInt64(appendix, entry + static_cast<std::int64_t>(EntrySize));
        PutInt64(appendix, static_cast<std::int64_t>(dataOffsets[i]));
        PutInt64(appendix, static_cast<std::int64_t>(files[i].Data.size()));
        std::string name = files[i].Name;
        name.resize(NameFieldSize, ' ');
        appendix += name;
    }
    PutInt64(appendix, 0);
    return appendix;
}

TAppendResult Append(std::string& image, const std::vector<TFile>& files) {
    TAppendResult result;
    const std::vector<std::size_t> found = FindSignature(image);
    if (found.empty()) {
        result.Error = "no signature found: the file was not built with the catalog locator";
        return result;
    }
    if (found.size() > 1) {
        result.Error = "the signature occurs " + std::to_string(found.size()) +
                       " times; cannot tell which one the program reads";
        return result;
    }
    if (files.empty()) {
        result.Error = "no files to append";
        return result;
    }
    std::set<std::string> names;
    for (const TFile& file : files) {
        if (const std::string problem = CheckName(file.Name); !problem.empty()) {
            result.Error = "cannot store \"" + file.Name + "\": " + problem;
            return result;
        }
        // The program looks names up without regard to case.
        if (!names.insert(Lower(file.Name)).second) {
            result.Error = "the name \"" + file.Name + "\" is given twice";
            return result;
        }
    }
    const std::size_t offsetAt = found.front() + Signature().size();
    std::int64_t current = 0;
    if (!GetInt64(image, offsetAt, current)) {
        result.Error = "the signature is not followed by its 8-byte offset";
        return result;
    }
    if (current != 0) {
        if (HasValidTable(image, current)) {
            result.Error = "the file already carries a table of appended files";
            return result;
        }
        result.Note = "the table offset pointed to no table (stripped file?); replaced";
    }
    std::int64_t tableOffset = 0;
    image += BuildAppendix(image.size(), files, tableOffset);
    std::string patch;
    PutInt64(patch, tableOffset);
    image.replace(offsetAt, 8, patch);
    return result;
}

} // namespace appended_table
