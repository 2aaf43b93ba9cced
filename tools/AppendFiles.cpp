// Appends files (the translation catalogs) to a built executable behind the
// table that the program's catalog locator reads, and writes the table's
// offset after the signature in the program's read-only data.
//
//   brisquell_append_files <executable> <name>=<file> ...
//
// <name> is the relative path the program asks for, e.g.
// locale/de/LC_MESSAGES/default.mo.

#include "tools/AppendedTable.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

namespace {

bool ReadFile(const std::string& path, std::string& data) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    data = buffer.str();
    return !in.bad();
}

// Rewrites the file in place: the executable keeps its mode and inode.
bool WriteFile(const std::string& path, const std::string& data) {
    std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
    if (!out)
        return false;
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.flush();
    return static_cast<bool>(out);
}

int Fail(const std::string& message) {
    std::cerr << "brisquell_append_files: " << message << '\n';
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return Fail("usage: brisquell_append_files <executable> <name>=<file> ...");
    const std::string executable = argv[1];
    std::vector<appended_table::TFile> files;
    for (int i = 2; i < argc; ++i) {
        const std::string argument = argv[i];
        const std::size_t eq = argument.find('=');
        if (eq == std::string::npos)
            return Fail("expected <name>=<file>, got \"" + argument + "\"");
        appended_table::TFile file{argument.substr(0, eq), {}};
        if (!ReadFile(argument.substr(eq + 1), file.Data))
            return Fail("cannot read " + argument.substr(eq + 1));
        files.push_back(std::move(file));
    }
    std::string image;
    if (!ReadFile(executable, image))
        return Fail("cannot read " + executable);
    const appended_table::TAppendResult result = appended_table::Append(image, files);
    if (!result.Error.empty())
        return Fail(executable + ": " + result.Error);
    if (!result.Note.empty())
        std::cerr << "brisquell_append_files: " << executable << ": " << result.Note << '\n';
    if (!WriteFile(executable, image))
        return Fail("cannot write " + executable);
    return 0;
}
