// Carries files (the translation catalogs) inside an executable in the table
// that the program's catalog locator reads.
//
//   brisquell_append_files --section-data <output> <name>=<file> ...
//       writes the contents of the files' section for the linker;
//   brisquell_append_files <executable> <name>=<file> ...
//       fills the linked executable's section with the table's final offsets
//       and writes the table's offset after the signature in its read-only
//       data. An executable that already carries these files (an installed
//       copy, stripped or not) is left as it is.
//
// <name> is the relative path the program asks for, e.g.
// locale/de/LC_MESSAGES/default.mo.

#include "tools/AppendedTable.h"

#include <fstream>
#include <iostream>
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
bool WriteFile(const std::string& path, const std::string& data, bool truncate) {
    const auto mode =
        std::ios::binary | std::ios::out | (truncate ? std::ios::trunc : std::ios::in);
    std::fstream out(path, mode);
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

int WriteSectionData(const std::string& output, const std::vector<appended_table::TFile>& files) {
    std::int64_t tableOffset = 0;
    if (!WriteFile(output, appended_table::BuildAppendix(0, files, tableOffset), true))
        return Fail("cannot write " + output);
    return 0;
}

int FillExecutable(const std::string& executable, const std::vector<appended_table::TFile>& files) {
    std::string image;
    if (!ReadFile(executable, image))
        return Fail("cannot read " + executable);
    const appended_table::TAppendResult result = appended_table::Append(image, files);
    if (!result.Error.empty())
        return Fail(executable + ": " + result.Error);
    if (result.Changed && !WriteFile(executable, image, false))
        return Fail("cannot write " + executable);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const bool sectionData = argc > 1 && std::string(argv[1]) == "--section-data";
    const int first = sectionData ? 2 : 1;
    if (argc < first + 2)
        return Fail("usage: brisquell_append_files [--section-data] <file> <name>=<file> ...");
    std::vector<appended_table::TFile> files;
    for (int i = first + 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const std::size_t eq = argument.find('=');
        if (eq == std::string::npos)
            return Fail("expected <name>=<file>, got \"" + argument + "\"");
        appended_table::TFile file{argument.substr(0, eq), {}};
        if (!ReadFile(argument.substr(eq + 1), file.Data))
            return Fail("cannot read " + argument.substr(eq + 1));
        files.push_back(std::move(file));
    }
    if (sectionData) {
        if (const std::string problem = appended_table::CheckFiles(files); !problem.empty())
            return Fail(problem);
        return WriteSectionData(argv[first], files);
    }
    return FillExecutable(argv[first], files);
}
