// Puts a header field back into a compiled catalog. The message compiler
// leaves "POT-Creation-Date" out of the files it writes (for reproducible
// builds), but the program's catalogs carry it in their documented order.
//
//   brisquell_mo_header_field <file.mo> <field before> "<Field: value>"
//
// The line goes after the line of <field before>; the file is rewritten with
// the same entries, order and hash table.

#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::uint32_t Read32(const std::string& data, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value =
            (value << 8) | static_cast<unsigned char>(data.at(at + static_cast<std::size_t>(i)));
    return value;
}

void Write32(std::string& data, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        data.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

struct TCatalog {
    std::vector<std::string> Ids;
    std::vector<std::string> Texts;
    std::string HashTable;
};

std::string StringAt(const std::string& data, std::uint32_t table, std::uint32_t index) {
    const std::uint32_t length = Read32(data, table + 8 * index);
    const std::uint32_t offset = Read32(data, table + 8 * index + 4);
    return data.substr(offset, length);
}

TCatalog Parse(const std::string& data) {
    if (Read32(data, 0) != 0x950412DE)
        throw std::runtime_error("not a little-endian message catalog");
    TCatalog catalog;
    const std::uint32_t count = Read32(data, 8);
    const std::uint32_t ids = Read32(data, 12);
    const std::uint32_t texts = Read32(data, 16);
    const std::uint32_t hashSize = Read32(data, 20);
    const std::uint32_t hashAt = Read32(data, 24);
    for (std::uint32_t i = 0; i < count; ++i) {
        catalog.Ids.push_back(StringAt(data, ids, i));
        catalog.Texts.push_back(StringAt(data, texts, i));
    }
    catalog.HashTable = data.substr(hashAt, 4 * std::size_t{hashSize});
    return catalog;
}

std::string Build(const TCatalog& catalog) {
    const auto count = static_cast<std::uint32_t>(catalog.Ids.size());
    const std::uint32_t idsAt = 28;
    const std::uint32_t textsAt = idsAt + 8 * count;
    const std::uint32_t hashAt = textsAt + 8 * count;
    std::string out;
    for (std::uint32_t value : {0x950412DEU, 0U, count, idsAt, textsAt,
                                static_cast<std::uint32_t>(catalog.HashTable.size() / 4), hashAt})
        Write32(out, value);
    auto stringsAt = static_cast<std::uint32_t>(hashAt + catalog.HashTable.size());
    std::string strings;
    std::string tables;
    for (const auto* list : {&catalog.Ids, &catalog.Texts})
        for (const std::string& text : *list) {
            Write32(tables, static_cast<std::uint32_t>(text.size()));
            Write32(tables, static_cast<std::uint32_t>(stringsAt + strings.size()));
            strings += text;
            strings.push_back('\0');
        }
    return out + tables + catalog.HashTable + strings;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: brisquell_mo_header_field <file.mo> <field before> <line>\n";
        return 1;
    }
    try {
        std::ifstream in(argv[1], std::ios::binary);
        const std::string data{std::istreambuf_iterator<char>(in), {}};
        TCatalog catalog = Parse(data);
        if (catalog.Ids.empty() || !catalog.Ids[0].empty())
            throw std::runtime_error("the catalog has no header entry");
        std::string& header = catalog.Texts[0];
        const std::string line = std::string(argv[3]) + "\n";
        if (header.find(line) == std::string::npos) {
            const std::size_t field = header.find(std::string(argv[2]) + ":");
            const std::size_t end = field == std::string::npos ? field : header.find('\n', field);
            if (end == std::string::npos)
                throw std::runtime_error("no header field " + std::string(argv[2]));
            header.insert(end + 1, line);
        }
        std::ofstream(argv[1], std::ios::binary | std::ios::trunc) << Build(catalog);
    } catch (const std::exception& error) {
        std::cerr << "brisquell_mo_header_field: " << argv[1] << ": " << error.what() << '\n';
        return 1;
    }
    return 0;
}
