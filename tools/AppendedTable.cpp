#include "tools/AppendedTable.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <string_view>

namespace appended_table {

namespace {

void PutInt64(std::string& out, std::int64_t value) {
    auto v = static_cast<std::uint64_t>(value);
    for (int i = 0; i < 8; ++i, v >>= 8)
        out += static_cast<char>(v & 0xFF);
}

std::uint64_t GetLittle(const std::string& image, std::uint64_t at, int bytes) {
    std::uint64_t v = 0;
    if (at > image.size() || image.size() - at < static_cast<std::uint64_t>(bytes))
        return 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(image[at + static_cast<std::uint64_t>(i)]);
    return v;
}

bool Inside(const std::string& image, std::uint64_t offset, std::uint64_t size) {
    return offset <= image.size() && size <= image.size() - offset;
}

struct TSectionHeader {
    std::uint64_t Name; // offset in the section-name table
    std::uint64_t Type;
    std::uint64_t Flags;
    TSection Contents;
};

constexpr std::uint64_t SHT_NOBITS = 8;
constexpr std::uint64_t SHF_ALLOC = 0x2;

bool IsLittleEndianElf(const std::string& image) {
    return image.size() >= 64 &&
           image.compare(0, 4,
                         "\x7F"
                         "ELF") == 0 &&
           image[5] == 1;
}

// The section headers of a little-endian ELF image, and the index of the
// section-name table; nothing when the header table does not lie inside the
// image. A header's contents may still point anywhere: callers check.
std::vector<TSectionHeader> SectionHeaders(const std::string& image, std::uint64_t& namesIndex) {
    if (!IsLittleEndianElf(image))
        return {};
    const bool is64 = image[4] == 2;
    const int word = is64 ? 8 : 4;
    const std::uint64_t shoff = GetLittle(image, is64 ? 0x28 : 0x20, word);
    const std::uint64_t shentsize = GetLittle(image, is64 ? 0x3A : 0x2E, 2);
    const std::uint64_t shnum = GetLittle(image, is64 ? 0x3C : 0x30, 2);
    namesIndex = GetLittle(image, is64 ? 0x3E : 0x32, 2);
    // shentsize and shnum are 16-bit, so their product cannot overflow.
    if (shoff == 0 || shentsize < (is64 ? 0x28U : 0x18U) ||
        !Inside(image, shoff, shnum * shentsize))
        return {};
    std::vector<TSectionHeader> headers;
    for (std::uint64_t i = 0; i < shnum; ++i) {
        const std::uint64_t at = shoff + i * shentsize;
        headers.push_back({GetLittle(image, at, 4),
                           GetLittle(image, at + 4, 4),
                           GetLittle(image, at + 8, word),
                           {GetLittle(image, at + (is64 ? 0x18 : 0x10), word),
                            GetLittle(image, at + (is64 ? 0x20 : 0x14), word)}});
    }
    return headers;
}

// The file ranges that are loaded into memory. Debug information also holds
// the signature bytes (as the constant's value), but the program reads its
// loaded copy, so only loaded sections count. Files that are not
// little-endian ELF count as a whole.
std::vector<TSection> LoadedRanges(const std::string& image) {
    std::uint64_t namesIndex = 0;
    const std::vector<TSectionHeader> headers = SectionHeaders(image, namesIndex);
    if (headers.empty())
        return {{0, image.size()}};
    std::vector<TSection> ranges;
    for (const TSectionHeader& header : headers)
        if ((header.Flags & SHF_ALLOC) != 0 && header.Type != SHT_NOBITS &&
            Inside(image, header.Contents.Offset, header.Contents.Size))
            ranges.push_back(header.Contents);
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
    const std::vector<TSection> loaded = LoadedRanges(image);
    // The carried files are loaded too, but are never the program's constant.
    const TSection files = FindSection(image, SectionName).value_or(TSection{});
    std::vector<std::size_t> found;
    for (std::size_t at = image.find(signature); at != std::string::npos;
         at = image.find(signature, at + 1)) {
        if (at >= files.Offset && at - files.Offset < files.Size)
            continue;
        for (const TSection& range : loaded) {
            if (at >= range.Offset && at - range.Offset + signature.size() <= range.Size) {
                found.push_back(at);
                break;
            }
        }
    }
    return found;
}

std::optional<TSection> FindSection(const std::string& image, std::string_view name) {
    std::uint64_t namesIndex = 0;
    const std::vector<TSectionHeader> headers = SectionHeaders(image, namesIndex);
    if (namesIndex >= headers.size())
        return std::nullopt;
    const TSection names = headers[namesIndex].Contents;
    if (!Inside(image, names.Offset, names.Size))
        return std::nullopt;
    const std::string_view table(image.data() + names.Offset, names.Size);
    for (const TSectionHeader& header : headers) {
        if (header.Name >= table.size() ||
            table.substr(header.Name).substr(0, name.size() + 1) != std::string(name) + '\0')
            continue;
        if (header.Type == SHT_NOBITS ||
            !Inside(image, header.Contents.Offset, header.Contents.Size))
            return std::nullopt;
        return header.Contents;
    }
    return std::nullopt;
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

std::string BuildAppendix(std::uint64_t base, const std::vector<TFile>& files,
                          std::int64_t& tableOffset) {
    std::string appendix;
    std::vector<std::uint64_t> dataOffsets;
    for (const TFile& file : files) {
        dataOffsets.push_back(base + appendix.size());
        appendix += file.Data;
    }
    const std::size_t padded =
        (appendix.size() + TableAlignment - 1) / TableAlignment * TableAlignment;
    appendix.resize(padded, '\0');
    tableOffset = static_cast<std::int64_t>(base + appendix.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto entry = static_cast<std::int64_t>(base + appendix.size());
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

std::string CheckFiles(const std::vector<TFile>& files) {
    if (files.empty())
        return "no files to append";
    std::set<std::string> names;
    for (const TFile& file : files) {
        if (const std::string problem = CheckName(file.Name); !problem.empty())
            return "cannot store \"" + file.Name + "\": " + problem;
        // The program looks names up without regard to case.
        if (!names.insert(Lower(file.Name)).second)
            return "the name \"" + file.Name + "\" is given twice";
    }
    return {};
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
    if (result.Error = CheckFiles(files); !result.Error.empty())
        return result;
    const std::optional<TSection> section = FindSection(image, SectionName);
    if (!section) {
        result.Error = "no section " + std::string(SectionName) +
                       ": the file was not linked with the files' section";
        return result;
    }
    const std::size_t offsetAt = found.front() + Signature().size();
    if (offsetAt + 8 > image.size() ||
        (offsetAt + 8 > section->Offset && offsetAt < section->Offset + section->Size)) {
        result.Error = "the signature is not followed by its 8-byte offset";
        return result;
    }
    std::int64_t tableOffset = 0;
    const std::string contents = BuildAppendix(section->Offset, files, tableOffset);
    if (contents.size() != section->Size) {
        result.Error = "the section " + std::string(SectionName) + " holds " +
                       std::to_string(section->Size) + " bytes, the files take " +
                       std::to_string(contents.size()) + ": it was linked with other files";
        return result;
    }
    std::string patch;
    PutInt64(patch, tableOffset);
    result.Changed = image.compare(section->Offset, section->Size, contents) != 0 ||
                     image.compare(offsetAt, 8, patch) != 0;
    image.replace(section->Offset, section->Size, contents);
    image.replace(offsetAt, 8, patch);
    return result;
}

} // namespace appended_table
